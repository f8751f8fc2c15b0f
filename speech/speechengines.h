#pragma once
// How the speech service obtains its engines. The program passes the real
// ones; tests pass recording doubles and a library of their own.

#include <functional>
#include <memory>
#include <string>

#include "speech/voiceengine.h"

namespace brunzit {

struct SpeechEngines {
    // The "MSP" and "SAPI" engine kinds. An empty function, a null engine or
    // one that reports itself unavailable counts as a failed creation.
    std::function<std::unique_ptr<VoiceEngine>()> createMsp;
    std::function<std::unique_ptr<VoiceEngine>()> createSapi;
    // The third engine, loaded at run time by this name.
    std::string upctvLibrary = "libupctv.so";
    // Whether the desktop's sound server answers: every engine plays through
    // it. Empty counts as yes.
    std::function<bool()> soundServerAnswers;
    // Where "mussol.ini" is written; empty means mussolSettingsPath().
    std::string mussolIniPath;
};

}  // namespace brunzit
