#include "speech/unitupctv.h"

#include <type_traits>
#include <utility>

namespace brunzit {

int UpctvSpeedFromRate(int rate) {
    if (rate > 0) return 100 + 15 * rate;
    if (rate < -9) rate = -9;
    return (rate + 10) * 10;
}

UpctvBinding::UpctvBinding(std::string libraryName) : libraryName_(std::move(libraryName)) {}

UpctvBinding::~UpctvBinding() {
    FreeUpctvLibrary();
}

void UpctvBinding::BindSlots() {
    auto bind = [this](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(library_.symbol(name));
    };
    bind(upcTVAbout_, "upcTVAbout");
    bind(upcTVRead_, "upcTVRead");
    bind(upcTVReadFile_, "upcTVReadFile");
    bind(upcTVStop_, "upcTVStop");
    bind(upcTVPause_, "upcTVPause");
    bind(upcTVResume_, "upcTVResume");
    bind(upcTVSetLanguage_, "upcTVSetLanguage");
    bind(upcTVSetSpeed_, "upcTVSetSpeed");
    bind(upcTVSetSpeaker_, "upcTVSetSpeaker");
    bind(upcTVStatus_, "upcTVStatus");
}

void UpctvBinding::ClearSlots() {
    upcTVAbout_ = nullptr;
    upcTVRead_ = nullptr;
    upcTVReadFile_ = nullptr;
    upcTVStop_ = nullptr;
    upcTVPause_ = nullptr;
    upcTVResume_ = nullptr;
    upcTVSetLanguage_ = nullptr;
    upcTVSetSpeed_ = nullptr;
    upcTVSetSpeaker_ = nullptr;
    upcTVStatus_ = nullptr;
}

bool UpctvBinding::LoadUpctvLibrary() {
    if (!library_.load(libraryName_)) return false;
    BindSlots();
    if (upcTVSetSpeed_) upcTVSetSpeed_(100);
    return true;
}

void UpctvBinding::FreeUpctvLibrary() {
    if (!library_.isLoaded()) return;
    ClearSlots();
    library_.unload();
}

void UpctvBinding::ReloadUpctvLibrary() {
    if (!library_.isLoaded()) return;
    ClearSlots();
    library_.unload();
    // A failed load leaves the engine unloaded for the rest of the run.
    LoadUpctvLibrary();
}

void UpctvBinding::SetVoice(const std::string& language, bool female) {
    if (!library_.isLoaded()) return;
    if (upcTVStop_) upcTVStop_();
    ReloadUpctvLibrary();
    const bool catalan = language == "catala";
    const std::int32_t speaker = catalan ? (female ? 2 : 0) : (female ? 0 : 1);
    if (upcTVSetLanguage_) upcTVSetLanguage_(catalan ? 99 : 101);
    if (upcTVSetSpeaker_) upcTVSetSpeaker_(speaker);
}

void UpctvBinding::SetUpctvMaleVoice(const std::string& language) {
    SetVoice(language, false);
}

void UpctvBinding::SetUpctvFemaleVoice(const std::string& language) {
    SetVoice(language, true);
}

void UpctvBinding::UpctvStartSpeaking(const std::string& text) {
    if (!library_.isLoaded()) return;
    if (upcTVStop_) upcTVStop_();
    std::string spoken = text;
    for (char& c : spoken) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    spoken += ' ';
    if (upcTVRead_) upcTVRead_(spoken.c_str());
}

// Without a status entry nobody can tell: the engine counts as idle, so a
// queue behind it never stalls.
bool UpctvBinding::UpctvSpeaking() {
    return library_.isLoaded() && upcTVStatus_ && upcTVStatus_(0) != 0;
}

void UpctvBinding::UpctvStop() {
    if (library_.isLoaded() && upcTVStop_) upcTVStop_();
}

void UpctvBinding::SetUpctvSpeed(int value) {
    if (library_.isLoaded() && upcTVSetSpeed_) upcTVSetSpeed_(value);
}

}  // namespace brunzit
