#include "speech/speechservice.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "platform/cp1252.h"
#include "platform/paths.h"
#include "platform/windowing.h"
#include "speech/unitfileini.h"
#include "speech/upctvvoice.h"

namespace brunzit {

EnginePosition PositionRule(int p, int mspVoiceCount, int sapiVoiceCount) {
    if (p < mspVoiceCount) return {EngineKind::Msp, p};
    if (p < mspVoiceCount + sapiVoiceCount) return {EngineKind::Sapi, p - mspVoiceCount};
    return {EngineKind::Upctv, p - mspVoiceCount - sapiVoiceCount};
}

const char* EngineKindName(EngineKind kind) {
    switch (kind) {
    case EngineKind::Msp: return "MSP";
    case EngineKind::Sapi: return "SAPI";
    case EngineKind::Upctv: return "UPCTV";
    }
    return "";
}

namespace {

const char* const kSection = "tts";
const char* const kMussolSection = "tts to Wav";
const char* const kKeyNumber = "Numero sintetitzador";
const char* const kKeySpeed = "velocitat";
const char* const kKeyReading = "ESTIC LLEGINT";
const char* const kKeyType = "Tipus de sintetitzador";
const char* const kKeyIndex = "Sintetitzador";
const char* const kKeyWavSpeed = "SPEED";

// Stands in for an engine that could not be made: lists nothing, says nothing.
class SilentVoice final : public VoiceEngine {
public:
    bool isAvailable() const override { return false; }
    int voiceCount() override { return -1; }
    std::string voiceDescription(int) override { return {}; }
    bool chooseVoice(int) override { return false; }
    void speak(const std::string&) override {}
    void skip() override {}
    void setRate(int) override {}
    bool canMakeSound() override { return false; }
};

std::unique_ptr<VoiceEngine> Create(const std::function<std::unique_ptr<VoiceEngine>()>& factory) {
    std::unique_ptr<VoiceEngine> engine = factory ? factory() : nullptr;
    if (!engine || !engine->isAvailable()) return std::make_unique<SilentVoice>();
    return engine;
}

// A whole decimal number with an optional sign, nothing else.
bool ParseInteger(const std::string& text, int& value) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+') ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc() && end == last && first != last;
}

}  // namespace

SpeechService::SpeechService(SpeechEngines engines, const ExceptionsInUse* exceptions, ErrorReport reportError)
    : slots_{Slot{EngineKind::Msp, "", true, false, nullptr},
             Slot{EngineKind::Sapi, "SAPI - ", true, false, nullptr},
             Slot{EngineKind::Upctv, "", false, true, nullptr}},
      exceptions_(exceptions),
      reportError_(std::move(reportError)),
      soundServerAnswers_(std::move(engines.soundServerAnswers)),
      mussol_(engines.mussolIniPath.empty() ? mussolSettingsPath() : engines.mussolIniPath) {
    const std::string storedVoice = ReadIniString(kSection, kKeyNumber, "-1");

    slot(EngineKind::Msp).engine = Create(engines.createMsp);
    List(slot(EngineKind::Msp));
    slot(EngineKind::Sapi).engine = Create(engines.createSapi);
    List(slot(EngineKind::Sapi));
    const int osMajor = osMajorVersion();
    const std::string upctvLibrary = engines.upctvLibrary;
    slot(EngineKind::Upctv).engine = Create([&]() -> std::unique_ptr<VoiceEngine> {
        return std::make_unique<UpctvVoice>(upctvLibrary, osMajor);
    });
    List(slot(EngineKind::Upctv));

    if (AnyVoiceListed()) {
        int stored = 0;
        if (ParseInteger(storedVoice, stored)) {
            if (stored < 0) {
                Select(0);
            } else {
                Select(stored);
                Choose(position_);
            }
        }
    }

    const std::string storedSpeed = ReadIniString(kSection, kKeySpeed, "0");
    rateText_ = storedSpeed;
    int speed = 0;
    if (!ParseInteger(storedSpeed, speed)) {
        // The speed stays 0 and the label keeps the stored text, which the
        // next close writes back unchanged.
        if (reportError_) reportError_("'" + cp1252ToUtf8(storedSpeed) + "' is not a valid integer value");
        return;
    }
    SetRate(speed);
}

SpeechService::~SpeechService() = default;

void SpeechService::List(Slot& slot) {
    if (!slot.engine->isAvailable()) {
        slot.available = false;
        return;
    }
    const int voices = slot.engine->voiceCount();
    if (voices < 0) {
        slot.available = false;
        return;
    }
    slot.count = voices;
    for (int i = 0; i < voices; ++i) {
        const std::string description = slot.engine->voiceDescription(i);
        if (description.empty()) {
            // Keep the count equal to the entries listed, so the positions
            // after them still map to their own engine.
            slot.count = i;
            slot.available = false;
            return;
        }
        entries_.push_back(slot.prefix + description);
    }
}

bool SpeechService::AnyVoiceListed() const {
    return std::any_of(slots_.begin(), slots_.end(), [](const Slot& s) { return s.count > 0; });
}

bool SpeechService::CanMakeSound() const {
    if (soundServerAnswers_ && !soundServerAnswers_()) return false;
    return std::any_of(slots_.begin(), slots_.end(),
                       [](const Slot& s) { return s.count > 0 && s.engine->canMakeSound(); });
}

void SpeechService::Select(int p) {
    position_ = p >= 0 && p < static_cast<int>(entries_.size()) ? p : -1;
}

EnginePosition SpeechService::CurrentPosition() const {
    return PositionRule(position_, VoiceCount(EngineKind::Msp), VoiceCount(EngineKind::Sapi));
}

bool SpeechService::WriteMussol(const std::string& key, const std::string& value) {
    if (mussol_.write(kMussolSection, key, value)) return true;
    if (reportError_) reportError_("Unable to write to " + mussol_.path());
    return false;
}

void SpeechService::SpeakText(const std::string& text) {
    std::string spoken = text;
    if (exceptions_) exceptions_->apply(spoken);
    Engine(CurrentPosition().kind).speak(spoken);
}

void SpeechService::StopSpeaking() {
    for (Slot& s : slots_) s.engine->skip();
    WriteIniString(kSection, kKeyReading, "0");
}

bool SpeechService::StillSpeaking() {
    for (Slot& s : slots_) {
        if (s.engine->speaking()) return true;
    }
    return false;
}

void SpeechService::Choose(int p) {
    Select(p);
    const EnginePosition position = CurrentPosition();
    Slot& chosen = slot(position.kind);
    if (!chosen.needsListing || chosen.count > 0) {
        if (!WriteMussol(kKeyType, EngineKindName(position.kind))) return;
        if (chosen.storesIndex && !WriteMussol(kKeyIndex, std::to_string(position.index))) return;
        // An index the engine does not have leaves its voice as it was.
        chosen.engine->chooseVoice(position.index);
    }
    ApplyRate();
}

void SpeechService::SetRate(int rate) {
    rate_ = std::clamp(rate, -10, 10);
    ApplyRate();
}

void SpeechService::ApplyRate() {
    Engine(CurrentPosition().kind).setRate(rate_);
    rateText_ = std::to_string(rate_);
    WriteMussol(kKeyWavSpeed, rateText_);
}

void SpeechService::StoreOnClose() {
    if (AnyVoiceListed()) {
        WriteIniString(kSection, kKeyNumber, std::to_string(position_));
        const EnginePosition position = CurrentPosition();
        const Slot& chosen = slot(position.kind);
        // A failure here is reported, and the speed below is still stored.
        if (!chosen.needsListing || chosen.count > 0) WriteMussol(kKeyType, EngineKindName(position.kind));
    }
    WriteIniString(kSection, kKeySpeed, rateText_);
}

}  // namespace brunzit
