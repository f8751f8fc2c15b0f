#pragma once
// The program's one speech service: the voices of three engine kinds ("MSP",
// "SAPI", "UPCTV") in one list, a speed from -10 to 10, the exceptions
// dictionary applied to every text, and the settings that record the choice
// (the program settings file and "mussol.ini"). No window: TFormTTS shows it.
//
// The chosen voice is only a position in the list; every operation maps the
// current position to an engine through the position rule. Every engine kind
// has an engine object at all times (a silent one when it could not be
// made), so no caller tests for a missing engine.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/profilefile.h"
#include "speech/exceptionsinuse.h"
#include "speech/speechengines.h"
#include "speech/textspeaker.h"
#include "speech/voiceengine.h"

namespace brunzit {

enum class EngineKind { Msp, Sapi, Upctv };

struct EnginePosition {
    EngineKind kind;
    int index;  // voice index within the engine, or UPCTV entry
};

// The position rule: p (-1 when nothing is selected) to engine and index.
EnginePosition PositionRule(int p, int mspVoiceCount, int sapiVoiceCount);
const char* EngineKindName(EngineKind kind);

class SpeechService : public TextSpeaker {
public:
    // Shows an error (UTF-8) to the user; the host puts it in a box.
    using ErrorReport = std::function<void(const std::string&)>;

    // Creates and lists the engines (MSP, SAPI, then UPCTV), restores the
    // stored voice and speed. The program settings file must already be open.
    SpeechService(SpeechEngines engines, const ExceptionsInUse* exceptions, ErrorReport reportError);
    ~SpeechService() override;
    SpeechService(const SpeechService&) = delete;
    SpeechService& operator=(const SpeechService&) = delete;

    // Rewrites the text with the dictionary and hands it to the chosen voice.
    void SpeakText(const std::string& text) override;
    // Silences every engine (what is said and what is queued) at once.
    void StopSpeaking() override;
    bool StillSpeaking() override;

    // The list entries, Windows-1252, in list order.
    const std::vector<std::string>& Entries() const { return entries_; }
    int Position() const { return position_; }
    // Selects p without setting up any engine; outside the list, nothing.
    void Select(int p);
    // Selects p and sets up its engine (the user's choice of a voice).
    void Choose(int p);

    int Rate() const { return rate_; }
    // What the speed label shows and "velocitat" stores on close.
    const std::string& RateText() const { return rateText_; }
    // Moves the speed (kept within -10..10) and applies it.
    void SetRate(int rate);
    // Applies the speed to the chosen engine and records it.
    void ApplyRate();

    // Stores the chosen position, its engine kind and the speed (the window
    // closing).
    void StoreOnClose();

    int VoiceCount(EngineKind kind) const { return slot(kind).count; }
    bool Available(EngineKind kind) const { return slot(kind).available; }
    VoiceEngine& Engine(EngineKind kind) const { return *slot(kind).engine; }
    bool AnyVoiceListed() const;
    // Whether any listed voice can be heard: the sound server answers and
    // the voice's engine can play.
    bool CanMakeSound() const;

private:
    struct Slot {
        EngineKind kind;
        std::string prefix;   // before each voice's description in the list
        bool storesIndex;     // "Sintetitzador" records the voice index
        bool needsListing;    // chosen and recorded only when its voices are listed
        std::unique_ptr<VoiceEngine> engine;
        int count = 0;
        bool available = true;
    };

    const Slot& slot(EngineKind kind) const { return slots_[static_cast<std::size_t>(kind)]; }
    Slot& slot(EngineKind kind) { return slots_[static_cast<std::size_t>(kind)]; }
    void List(Slot& slot);
    EnginePosition CurrentPosition() const;
    // Writes to "mussol.ini"; a failure is reported.
    bool WriteMussol(const std::string& key, const std::string& value);

    std::array<Slot, 3> slots_;
    const ExceptionsInUse* exceptions_;
    ErrorReport reportError_;
    std::function<bool()> soundServerAnswers_;
    ProfileFile mussol_;
    std::vector<std::string> entries_;
    int position_ = -1;
    int rate_ = 0;
    std::string rateText_ = "0";
};

}  // namespace brunzit
