#pragma once
// Binding of the UPCTV Catalan/Spanish engine, a library loaded at run time
// and bound entry point by entry point. The engine says one text at a time
// and a new one cuts off the old: whoever queues texts asks UpctvSpeaking
// before starting the next.

#include <cstdint>
#include <string>

#include "platform/dynlib.h"

namespace brunzit {

// Engine speed for the service's speed position -10..10: 100 is normal,
// 15 more per step above, 10 less per step below, -10 treated as -9.
int UpctvSpeedFromRate(int rate);

class UpctvBinding {
public:
    // libraryName is looked up through the system's search, then beside the
    // program (never in the working folder).
    explicit UpctvBinding(std::string libraryName);
    ~UpctvBinding();
    UpctvBinding(const UpctvBinding&) = delete;
    UpctvBinding& operator=(const UpctvBinding&) = delete;

    bool LoadUpctvLibrary();
    void FreeUpctvLibrary();
    void ReloadUpctvLibrary();
    bool isLoaded() const { return library_.isLoaded(); }

    // language "catala" selects Catalan; any other text Spanish.
    void SetUpctvMaleVoice(const std::string& language);
    void SetUpctvFemaleVoice(const std::string& language);
    // Stops the engine and starts saying text (A..Z lower-cased, one blank
    // appended); returns at once.
    void UpctvStartSpeaking(const std::string& text);
    // Whether the engine reports it is still saying something.
    bool UpctvSpeaking();
    void UpctvStop();
    void SetUpctvSpeed(int value);

private:
    using NoArg = std::int32_t (*)();
    using IntArg = std::int32_t (*)(std::int32_t);
    using TextArg = std::int32_t (*)(const char*);

    void BindSlots();
    void ClearSlots();
    void SetVoice(const std::string& language, bool female);

    std::string libraryName_;
    DynamicLibrary library_;
    // The ten entry points, bound in this order; null when missing.
    NoArg upcTVAbout_ = nullptr;
    TextArg upcTVRead_ = nullptr;
    TextArg upcTVReadFile_ = nullptr;
    NoArg upcTVStop_ = nullptr;
    NoArg upcTVPause_ = nullptr;
    NoArg upcTVResume_ = nullptr;
    IntArg upcTVSetLanguage_ = nullptr;
    IntArg upcTVSetSpeed_ = nullptr;
    IntArg upcTVSetSpeaker_ = nullptr;
    IntArg upcTVStatus_ = nullptr;
};

}  // namespace brunzit
