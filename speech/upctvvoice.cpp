#include "speech/upctvvoice.h"

#include <utility>

#include "speech/unitfindawindow.h"

namespace brunzit {

namespace {

const char* const kUpctvWindowTitle = "upcTV 1.0 - Lector de text en catal\xE0 i castell\xE0";

const char* const kUpctvEntries[] = {
    "UPCTV - Home - Catal\xE0",
    "UPCTV - Dona - Catal\xE0",
    "UPCTV - Hombre - Espa\xF1ol",
    "UPCTV - Mujer - Espa\xF1ol",
};

}  // namespace

UpctvVoice::UpctvVoice(std::string libraryName, int osMajorVersion)
    : OsMajorVersion(osMajorVersion), binding_(std::move(libraryName)) {
    TimerTreureFinestraUPCTV.setInterval(200);
    TimerTreureFinestraUPCTV.setObjectName(QStringLiteral("TimerTreureFinestraUPCTV"));
    QObject::connect(&TimerTreureFinestraUPCTV, &QTimer::timeout, [this] { TimerTreureFinestraUPCTVTimer(); });
    // The old wait polled every 200 ms; texts now follow each other sooner.
    TimerSeguentText.setInterval(25);
    TimerSeguentText.setObjectName(QStringLiteral("TimerSeguentText"));
    QObject::connect(&TimerSeguentText, &QTimer::timeout, [this] { TimerSeguentTextTimer(); });
    // Started before the load: the engine opens its window while loading.
    StartDismissing();
    loadedAtStart_ = binding_.LoadUpctvLibrary();
}

UpctvVoice::~UpctvVoice() {
    TimerSeguentText.stop();
    binding_.FreeUpctvLibrary();
}

void UpctvVoice::StartDismissing() {
    if (OsMajorVersion >= 6) {
        DismissTicks = 0;
        TimerTreureFinestraUPCTV.start();
    }
}

std::string UpctvVoice::voiceDescription(int index) {
    if (index < 0 || index >= voiceCount()) return {};
    return kUpctvEntries[index];
}

bool UpctvVoice::chooseVoice(int index) {
    if (!loadedAtStart_) return false;
    StartDismissing();
    if (index == CurrentUpctvVoice) return true;
    switch (index) {
    case 0: binding_.SetUpctvMaleVoice("catala"); break;
    case 1: binding_.SetUpctvFemaleVoice("catala"); break;
    case 2: binding_.SetUpctvMaleVoice("castella"); break;
    case 3: binding_.SetUpctvFemaleVoice("castella"); break;
    default: return false;
    }
    CurrentUpctvVoice = index;
    return true;
}

void UpctvVoice::speak(const std::string& text) {
    if (!waiting_.empty() || binding_.UpctvSpeaking()) {
        waiting_.push_back(text);
    } else {
        binding_.UpctvStartSpeaking(text);
    }
    // Watched until the engine is idle, also with nothing queued, so that
    // speaking() and the engine's own status agree.
    TimerSeguentText.start();
}

void UpctvVoice::skip() {
    waiting_.clear();
    TimerSeguentText.stop();
    binding_.UpctvStop();
}

bool UpctvVoice::speaking() {
    return !waiting_.empty() || (TimerSeguentText.isActive() && binding_.UpctvSpeaking());
}

void UpctvVoice::TimerSeguentTextTimer() {
    if (binding_.UpctvSpeaking()) return;
    if (waiting_.empty()) {
        TimerSeguentText.stop();
        return;
    }
    const std::string next = std::move(waiting_.front());
    waiting_.pop_front();
    binding_.UpctvStartSpeaking(next);
}

void UpctvVoice::setRate(int rate) {
    binding_.SetUpctvSpeed(UpctvSpeedFromRate(rate));
}

void UpctvVoice::TimerTreureFinestraUPCTVTimer() {
    if (const WindowHandle window = FindAWindow(kUpctvWindowTitle, "")) {
        PressReturnOnWindow(window);
    }
    ++DismissTicks;
    if (DismissTicks > 20) TimerTreureFinestraUPCTV.stop();
}

}  // namespace brunzit
