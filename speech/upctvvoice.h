#pragma once
// The UPCTV engine as a voice engine: four fixed voices (male and female,
// Catalan and Spanish) and speed on the engine's own scale. The engine says
// one text at a time, so texts given while it speaks wait here, in order,
// and a timer hands each on once the engine is idle: nobody's keys wait for
// the engine.
//
// On newer systems the engine opens a window of its own when it is loaded;
// a short-lived timer finds it by its title and presses Return on it. The
// timer runs 21 ticks of 200 ms after the engine's creation and after every
// voice choice.

#include <QTimer>
#include <deque>
#include <string>

#include "speech/unitupctv.h"
#include "speech/voiceengine.h"

namespace brunzit {

class UpctvVoice final : public VoiceEngine {
public:
    // Starts the window timer (newer systems) and then loads the library.
    UpctvVoice(std::string libraryName, int osMajorVersion);
    ~UpctvVoice() override;

    // Loaded at creation: the four entries are listed.
    bool isAvailable() const override { return loadedAtStart_; }
    int voiceCount() override { return loadedAtStart_ ? 4 : 0; }
    std::string voiceDescription(int index) override;
    // Restarts the window timer; sets the engine up only when the entry
    // differs from the one it is set up for (a reload, then language and
    // speaker).
    bool chooseVoice(int index) override;
    // Starts saying text, or queues it behind what the engine still says.
    void speak(const std::string& text) override;
    // Silences the engine and drops the queue.
    void skip() override;
    void setRate(int rate) override;
    bool speaking() override;

    // One tick of the window timer.
    void TimerTreureFinestraUPCTVTimer();

    QTimer TimerTreureFinestraUPCTV;
    int DismissTicks = 0;
    int CurrentUpctvVoice = -1;
    int OsMajorVersion = 0;

    // Watches the engine while it speaks: hands on the next text once it
    // is idle.
    QTimer TimerSeguentText;

private:
    void StartDismissing();
    void TimerSeguentTextTimer();
    std::deque<std::string> waiting_;

    UpctvBinding binding_;
    bool loadedAtStart_ = false;
};

}  // namespace brunzit
