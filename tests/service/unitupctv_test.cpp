#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "speech/unitupctv.h"
#include "tests/service/servicefixture.h"

namespace brunzit::testing {
namespace {

using Calls = std::vector<std::string>;

constexpr int kFirstUpctv = 3;  // after two MSP voices and one SAPI voice

TEST_F(ServiceTest, LoadingBindsTheLibraryAndSetsNormalSpeed) {
    UpctvBinding binding(kRecordingUpctv);
    ASSERT_TRUE(binding.LoadUpctvLibrary());
    EXPECT_EQ(UpctvCalls(), (Calls{"load", "upcTVSetSpeed 100"}));
    binding.FreeUpctvLibrary();
    EXPECT_EQ(UpctvCalls().back(), "unload");

    UpctvBinding missing(kNoUpctv);
    EXPECT_FALSE(missing.LoadUpctvLibrary());
    missing.UpctvStartSpeaking("res");  // skipped, not a crash
    EXPECT_FALSE(missing.UpctvSpeaking());
    missing.SetUpctvMaleVoice("catala");
}

TEST_F(ServiceTest, EachUpctvEntrySetsUpItsLanguageAndSpeaker) {
    struct Row {
        int entry;
        const char* language;
        const char* speaker;
    };
    const Row rows[] = {{0, "99", "0"}, {1, "99", "2"}, {2, "101", "1"}, {3, "101", "0"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.entry);
        auto form = FullService();
        ClearUpctvCalls();
        form->Choose(kFirstUpctv + row.entry);
        EXPECT_EQ(UpctvCalls(), (Calls{"upcTVStop", "unload", "load", "upcTVSetSpeed 100",
                                       std::string("upcTVSetLanguage ") + row.language,
                                       std::string("upcTVSetSpeaker ") + row.speaker, "upcTVSetSpeed 100"}));
        EXPECT_EQ(Upctv(*form).CurrentUpctvVoice, row.entry);
    }
}

TEST_F(ServiceTest, ChangingUpctvVoiceReloadsThenAppliesTheServiceSpeed) {
    StoreProgram("velocitat", "2");
    auto form = FullService();
    form->Choose(kFirstUpctv);
    ClearUpctvCalls();
    form->Choose(kFirstUpctv + 1);
    EXPECT_EQ(UpctvCalls(), (Calls{"upcTVStop", "unload", "load", "upcTVSetSpeed 100", "upcTVSetLanguage 99",
                                   "upcTVSetSpeaker 2", "upcTVSetSpeed 130"}));
}

TEST_F(ServiceTest, ChoosingTheSameUpctvEntryAgainDoesNotReload) {
    auto form = FullService();
    form->Choose(kFirstUpctv + 1);
    form->Choose(0);  // another engine in between keeps the UPCTV set-up
    Upctv(*form).TimerTreureFinestraUPCTV.stop();
    Upctv(*form).DismissTicks = 7;
    ClearUpctvCalls();
    form->Choose(kFirstUpctv + 1);
    EXPECT_EQ(UpctvCalls(), Calls{"upcTVSetSpeed 100"});
    EXPECT_TRUE(Upctv(*form).TimerTreureFinestraUPCTV.isActive());
    EXPECT_EQ(Upctv(*form).DismissTicks, 0);
    ClearUpctvCalls();
    form->Choose(kFirstUpctv + 1);  // a click on the entry already chosen
    EXPECT_EQ(UpctvCalls(), Calls{"upcTVSetSpeed 100"});
}

TEST_F(ServiceTest, OnOlderSystemsTheWindowTimerNeverRuns) {
    auto form = FullService();
    Upctv(*form).TimerTreureFinestraUPCTV.stop();
    Upctv(*form).OsMajorVersion = 5;
    form->Choose(kFirstUpctv + 2);
    EXPECT_FALSE(Upctv(*form).TimerTreureFinestraUPCTV.isActive());
    EXPECT_EQ(Upctv(*form).CurrentUpctvVoice, 2);
}

TEST_F(ServiceTest, TheWindowTimerStopsAfterTwentyOneTicks) {
    auto form = FullService();
    ASSERT_TRUE(Upctv(*form).TimerTreureFinestraUPCTV.isActive());  // started at creation
    EXPECT_EQ(Upctv(*form).TimerTreureFinestraUPCTV.interval(), 200);
    for (int tick = 1; tick <= 20; ++tick) Upctv(*form).TimerTreureFinestraUPCTVTimer();
    EXPECT_TRUE(Upctv(*form).TimerTreureFinestraUPCTV.isActive());
    Upctv(*form).TimerTreureFinestraUPCTVTimer();
    EXPECT_FALSE(Upctv(*form).TimerTreureFinestraUPCTV.isActive());
}

TEST_F(ServiceTest, AMissingEntryPointIsSkipped) {
    auto form = Service(Engines({"Veu A", "Veu B"}, {"Veu S"}, "libupctv_recording_nospeaker.so"));
    ASSERT_EQ(form->VoiceCount(EngineKind::Upctv), 4);
    ClearUpctvCalls();
    form->Choose(kFirstUpctv + 1);
    EXPECT_EQ(UpctvCalls(), (Calls{"upcTVStop", "unload", "load", "upcTVSetSpeed 100", "upcTVSetLanguage 99",
                                   "upcTVSetSpeed 100"}));
}

TEST_F(ServiceTest, UpctvTextIsLowerCasedWithABlankAppended) {
    struct Row {
        const char* given;
        const char* read;
    };
    const Row rows[] = {
        {"BON DIA", "[bon dia ]"},
        {"\xC0VILA \xC7", "[\xC0vila \xC7 ]"},  // accented capitals stay
        {"", "[ ]"},
        {"hola\r\n", "[hola\r\n ]"},
    };
    UpctvBinding binding(kRecordingUpctv);
    ASSERT_TRUE(binding.LoadUpctvLibrary());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given);
        ClearUpctvCalls();
        binding.UpctvStartSpeaking(row.given);
        std::string log;
        for (const auto& line : UpctvCalls()) log += line + "\n";
        EXPECT_EQ(log, std::string("upcTVStop\nupcTVRead ") + row.read + "\n");
    }
}

// The engine cuts off what it says when given a new text, so texts given
// while it speaks wait in order; none of it holds the caller.
TEST_F(ServiceTest, UpctvTextsGivenWhileItSpeaksFollowInOrderWithoutWaiting) {
    setenv("RECORDING_UPCTV_BUSY", "2", 1);
    auto form = FullService();
    form->Choose(kFirstUpctv);
    ClearUpctvCalls();
    form->SpeakText("primer");
    form->SpeakText("segon");
    form->SpeakText("tercer");
    EXPECT_TRUE(form->StillSpeaking());
    EXPECT_EQ(UpctvCalls(),
              (Calls{"upcTVStatus 0 -> 0", "upcTVStop", "upcTVRead [primer ]", "upcTVStatus 0 -> 1"}));

    QElapsedTimer clock;
    clock.start();
    while (form->StillSpeaking() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_FALSE(form->StillSpeaking());
    Calls reads;
    for (const auto& line : UpctvCalls()) {
        if (line.rfind("upcTVRead", 0) == 0) reads.push_back(line);
    }
    EXPECT_EQ(reads, (Calls{"upcTVRead [primer ]", "upcTVRead [segon ]", "upcTVRead [tercer ]"}));
    // Each text was started only once the engine said it was idle.
    const Calls calls = UpctvCalls();
    for (std::size_t i = 1; i < calls.size(); ++i) {
        if (calls[i] == "upcTVStop") {
            EXPECT_EQ(calls[i - 1], "upcTVStatus 0 -> 0") << i;
        }
    }
    unsetenv("RECORDING_UPCTV_BUSY");
}

TEST_F(ServiceTest, StoppingUpctvDropsWhatWaits) {
    setenv("RECORDING_UPCTV_BUSY", "1000", 1);
    auto form = FullService();
    form->Choose(kFirstUpctv);
    form->SpeakText("primer");
    form->SpeakText("segon");
    ClearUpctvCalls();
    form->StopSpeaking();
    EXPECT_FALSE(form->StillSpeaking());
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 150) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    for (const auto& line : UpctvCalls()) EXPECT_EQ(line.rfind("upcTVRead", 0), std::string::npos) << line;
    unsetenv("RECORDING_UPCTV_BUSY");
}

TEST_F(ServiceTest, DestroyingTheServiceUnloadsTheLibrary) {
    auto form = FullService();
    ClearUpctvCalls();
    form.reset();
    EXPECT_EQ(UpctvCalls(), Calls{"unload"});
}

}  // namespace
}  // namespace brunzit::testing
