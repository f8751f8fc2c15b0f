#include <QListWidget>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "speech/unitupctv.h"
#include "tests/service/servicefixture.h"

namespace brunzit::testing {
namespace {

using Calls = std::vector<std::string>;

void ClickEntry(TFormTTS& form, int row) {
    QListWidget* list = form.ListBoxMotorsDeVeu;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

constexpr int kFirstUpctv = 3;  // after two MSP voices and one SAPI voice

TEST_F(ServiceTest, LoadingBindsTheLibraryAndSetsNormalSpeed) {
    UpctvBinding binding(kRecordingUpctv);
    ASSERT_TRUE(binding.LoadUpctvLibrary());
    EXPECT_EQ(UpctvCalls(), (Calls{"load", "upcTVSetSpeed 100"}));
    binding.FreeUpctvLibrary();
    EXPECT_EQ(UpctvCalls().back(), "unload");

    UpctvBinding missing(kNoUpctv);
    EXPECT_FALSE(missing.LoadUpctvLibrary());
    missing.UpctvSpeak("res");  // skipped, not a crash
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
        form->show();
        ClearUpctvCalls();
        ClickEntry(*form, kFirstUpctv + row.entry);
        EXPECT_EQ(UpctvCalls(), (Calls{"upcTVStop", "unload", "load", "upcTVSetSpeed 100",
                                       std::string("upcTVSetLanguage ") + row.language,
                                       std::string("upcTVSetSpeaker ") + row.speaker, "upcTVSetSpeed 100"}));
        EXPECT_EQ(form->CurrentUpctvVoice, row.entry);
    }
}

TEST_F(ServiceTest, ChangingUpctvVoiceReloadsThenAppliesTheServiceSpeed) {
    StoreProgram("velocitat", "2");
    auto form = FullService();
    form->show();
    ClickEntry(*form, kFirstUpctv);
    ClearUpctvCalls();
    ClickEntry(*form, kFirstUpctv + 1);
    EXPECT_EQ(UpctvCalls(), (Calls{"upcTVStop", "unload", "load", "upcTVSetSpeed 100", "upcTVSetLanguage 99",
                                   "upcTVSetSpeaker 2", "upcTVSetSpeed 130"}));
}

TEST_F(ServiceTest, ChoosingTheSameUpctvEntryAgainDoesNotReload) {
    auto form = FullService();
    form->show();
    ClickEntry(*form, kFirstUpctv + 1);
    ClickEntry(*form, 0);  // another engine in between keeps the UPCTV set-up
    form->TimerTreureFinestraUPCTV->stop();
    form->DismissTicks = 7;
    ClearUpctvCalls();
    ClickEntry(*form, kFirstUpctv + 1);
    EXPECT_EQ(UpctvCalls(), Calls{"upcTVSetSpeed 100"});
    EXPECT_TRUE(form->TimerTreureFinestraUPCTV->isActive());
    EXPECT_EQ(form->DismissTicks, 0);
    ClearUpctvCalls();
    ClickEntry(*form, kFirstUpctv + 1);  // a click on the entry already chosen
    EXPECT_EQ(UpctvCalls(), Calls{"upcTVSetSpeed 100"});
}

TEST_F(ServiceTest, OnOlderSystemsTheWindowTimerNeverRuns) {
    auto form = FullService();
    form->show();
    form->TimerTreureFinestraUPCTV->stop();
    form->OsMajorVersion = 5;
    ClickEntry(*form, kFirstUpctv + 2);
    EXPECT_FALSE(form->TimerTreureFinestraUPCTV->isActive());
    EXPECT_EQ(form->CurrentUpctvVoice, 2);
}

TEST_F(ServiceTest, TheWindowTimerStopsAfterTwentyOneTicks) {
    auto form = FullService();
    ASSERT_TRUE(form->TimerTreureFinestraUPCTV->isActive());  // started at creation
    EXPECT_EQ(form->TimerTreureFinestraUPCTV->interval(), 200);
    for (int tick = 1; tick <= 20; ++tick) form->TimerTreureFinestraUPCTVTimer();
    EXPECT_TRUE(form->TimerTreureFinestraUPCTV->isActive());
    form->TimerTreureFinestraUPCTVTimer();
    EXPECT_FALSE(form->TimerTreureFinestraUPCTV->isActive());
}

TEST_F(ServiceTest, AMissingEntryPointIsSkipped) {
    auto form = std::make_unique<TFormTTS>(Engines({"Veu A", "Veu B"}, {"Veu S"}, "libupctv_recording_nospeaker.so"),
                                           nullptr, true);
    ASSERT_TRUE(form->UpctvLoaded);
    form->show();
    ClearUpctvCalls();
    ClickEntry(*form, kFirstUpctv + 1);
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
        binding.UpctvSpeak(row.given);
        std::string log;
        for (const auto& line : UpctvCalls()) log += line + "\n";
        EXPECT_EQ(log, std::string("upcTVStop\nupcTVRead ") + row.read + "\nupcTVStatus 0 -> 0\n");
    }
}

TEST_F(ServiceTest, UpctvSpeakWaitsAndASecondTextCutsInDuringTheWait) {
    setenv("RECORDING_UPCTV_BUSY", "2", 1);
    auto form = FullService();
    form->show();
    ClickEntry(*form, kFirstUpctv);
    ClearUpctvCalls();
    bool innerDone = false;
    QTimer::singleShot(0, form.get(), [&] {
        form->SpeakText("segon");
        innerDone = true;
    });
    form->SpeakText("primer");
    EXPECT_TRUE(innerDone);
    EXPECT_EQ(UpctvCalls(), (Calls{"upcTVStop", "upcTVRead [primer ]", "upcTVStatus 0 -> 1",
                                   // the key press handled during the wait
                                   "upcTVStop", "upcTVRead [segon ]", "upcTVStatus 0 -> 1", "upcTVStatus 0 -> 1",
                                   "upcTVStatus 0 -> 0",
                                   // back in the first call: the engine is idle
                                   "upcTVStatus 0 -> 0"}));
}

TEST_F(ServiceTest, DestroyingTheServiceUnloadsTheLibrary) {
    auto form = FullService();
    ClearUpctvCalls();
    form.reset();
    EXPECT_EQ(UpctvCalls(), Calls{"unload"});
}

}  // namespace
}  // namespace brunzit::testing
