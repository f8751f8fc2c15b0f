#pragma once
// Speech Dispatcher, the desktop's speech service: the "SAPI" engine type.
//
// The connection is opened on the engine's own worker thread, which makes
// every call to libspeechd, so nothing here ever blocks the caller. Texts are
// sent with the message priority (they queue behind each other); skip()
// cancels only this program's speech, never other clients' (a screen reader).
// Rate -10..10 is Speech Dispatcher's -100..100 in steps of 10.
//
// The full voice list takes over a second to fetch, so the voices offered are
// voice types per language, which the service resolves itself.
// Without a reachable daemon the engine stays silent.

#include <memory>

#include "speech/voiceengine.h"

namespace brunzit {

std::unique_ptr<VoiceEngine> createSpeechdVoice();

}  // namespace brunzit
