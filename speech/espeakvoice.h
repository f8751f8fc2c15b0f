#pragma once
// eSpeak NG in the program: the "MSP" engine type.
//
// One worker thread owns the eSpeak instance (it is process-global) and the
// audio sink. Texts wait in our own queue and are synthesised in order,
// straight into the sink in slices of at most 10 ms; skip() drops the queue
// and cuts the current text before its next slice.
//
// Rate curve, -10..10 to eSpeak's words per minute (175 is eSpeak's normal):
//   r <= 0: 175 + 9.5 * r    (-10 gives 80, eSpeak's slowest: x0.46)
//   r >  0: 175 + 27.4 * r   (+10 gives 449: x2.6)
// Piecewise linear, about a factor of two to three each way. 449 rather than
// 450 keeps eSpeak from switching to its sonic speed-up, which sounds rough.

#include <memory>

#include "speech/audiosink.h"
#include "speech/voiceengine.h"

namespace brunzit {

// Words per minute eSpeak gets for rate -10..10 (clamped).
int espeakWordsPerMinute(int rate);

// With the desktop's sound server as the sink.
std::unique_ptr<VoiceEngine> createEspeakVoice();
// With a sink of the caller's choosing (tests, tools, benchmarks).
std::unique_ptr<VoiceEngine> createEspeakVoice(std::unique_ptr<AudioSink> sink);

}  // namespace brunzit
