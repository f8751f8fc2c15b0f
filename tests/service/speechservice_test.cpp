// The speech service without its window: voices, choice, speed, settings.

#include <QFile>

#include "tests/service/servicefixture.h"

namespace brunzit::testing {
namespace {

using Calls = std::vector<std::string>;

TEST_F(ServiceTest, ListsTheEnginesInOrderAndEachPositionSpeaksWithItsEngine) {
    auto service = FullService();
    EXPECT_EQ(service->Entries(), (std::vector<std::string>{"Veu A", "Veu B", "SAPI - Veu S",
                                                           "UPCTV - Home - Catal\xE0", "UPCTV - Dona - Catal\xE0",
                                                           "UPCTV - Hombre - Espa\xF1ol",
                                                           "UPCTV - Mujer - Espa\xF1ol"}));
    struct Row {
        int position;
        const char* type;
        const char* index;  // "Sintetitzador", absent for UPCTV
        int mspSpoken, sapiSpoken, upctvRead;
    };
    const Row rows[] = {
        {0, "MSP", "0", 1, 0, 0},   {1, "MSP", "1", 1, 0, 0},   {2, "SAPI", "0", 0, 1, 0},
        {3, "UPCTV", "<absent>", 0, 0, 1}, {6, "UPCTV", "<absent>", 0, 0, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.position);
        QFile::remove(QString::fromStdString(mussolPath));
        msp->clear();
        sapi->clear();
        ClearUpctvCalls();
        service->Choose(row.position);
        EXPECT_EQ(Mussol("Tipus de sintetitzador"), row.type);
        EXPECT_EQ(Mussol("Sintetitzador"), row.index);
        service->SpeakText("bon dia");
        EXPECT_EQ(static_cast<int>(msp->spoken.size()), row.mspSpoken);
        EXPECT_EQ(static_cast<int>(sapi->spoken.size()), row.sapiSpoken);
        int reads = 0;
        for (const auto& call : UpctvCalls()) reads += call == "upcTVRead [bon dia ]";
        EXPECT_EQ(reads, row.upctvRead);
    }
}

TEST_F(ServiceTest, ChoosingAVoiceChoosesItInItsEngineAndReappliesTheSpeed) {
    StoreProgram("velocitat", "-4");
    auto service = FullService();
    service->Choose(2);
    EXPECT_EQ(sapi->chosen, std::vector<int>{0});
    EXPECT_EQ(sapi->calls.back(), "rate -4");
    EXPECT_EQ(Mussol("SPEED"), "-4");
    service->Choose(1);
    EXPECT_EQ(msp->chosen, std::vector<int>{1});
    EXPECT_EQ(msp->calls.back(), "rate -4");
}

TEST_F(ServiceTest, StoredPositionAtStart) {
    struct Row {
        const char* name;
        const char* stored;  // nullptr: never stored
        int position;
        std::vector<int> mspChosen, sapiChosen;
        const char* mussolType;
    };
    const Row rows[] = {
        {"first start", nullptr, 0, {}, {}, "<absent>"},
        {"negative", "-3", 0, {}, {}, "<absent>"},
        {"a SAPI voice", "2", 2, {}, {0}, "SAPI"},
        {"beyond the list", "9", -1, {-1}, {}, "MSP"},
        {"not a number", "dos", -1, {}, {}, "<absent>"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(QString::fromStdString(iniPath));
        QFile::remove(QString::fromStdString(mussolPath));
        msp->clear();
        sapi->clear();
        if (row.stored) StoreProgram("Numero sintetitzador", row.stored);
        auto service = FullService();
        EXPECT_EQ(service->Position(), row.position);
        EXPECT_EQ(msp->chosen, row.mspChosen);
        EXPECT_EQ(sapi->chosen, row.sapiChosen);
        EXPECT_EQ(Mussol("Tipus de sintetitzador"), row.mussolType);
    }
}

TEST_F(ServiceTest, StoringOnCloseWritesPositionSpeedAndEngineType) {
    auto service = FullService();
    service->SetRate(3);
    service->StoreOnClose();
    EXPECT_EQ(Program("Numero sintetitzador"), "0");
    EXPECT_EQ(Program("velocitat"), "3");
    EXPECT_EQ(Mussol("Tipus de sintetitzador"), "MSP");
    service->Choose(4);
    service->StoreOnClose();
    EXPECT_EQ(Program("Numero sintetitzador"), "4");
    EXPECT_EQ(Mussol("Tipus de sintetitzador"), "UPCTV");
}

// Nothing to speak with: every engine kind still has a (silent) engine, the
// service stays usable and says it cannot be heard; closing writes the speed.
TEST_F(ServiceTest, WithNoEngineAtAllSilentStandInsAnswer) {
    SpeechEngines engines;  // no engine can be created
    engines.upctvLibrary = kNoUpctv;
    engines.mussolIniPath = mussolPath;
    auto service = Service(engines);
    EXPECT_TRUE(service->Entries().empty());
    EXPECT_FALSE(service->AnyVoiceListed());
    EXPECT_FALSE(service->CanMakeSound());
    service->SpeakText("res");
    service->StopSpeaking();
    service->Choose(0);
    service->StoreOnClose();
    EXPECT_EQ(Program("velocitat"), "0");
    EXPECT_EQ(Program("Numero sintetitzador"), "<absent>");
}

TEST_F(ServiceTest, WhetherAnyVoiceCanBeHeard) {
    struct Row {
        const char* name;
        std::vector<std::string> mspVoices, sapiVoices;
        bool mspAvailable;
        const char* upctv;
        bool soundServer;
        bool heard;
    };
    const Row rows[] = {
        {"an MSP voice", {"Veu A"}, {}, true, kNoUpctv, true, true},
        {"engines without voices", {}, {}, true, kNoUpctv, true, false},
        {"MSP voices but no MSP engine", {"Veu A"}, {}, false, kNoUpctv, true, false},
        {"only UPCTV", {}, {}, true, kRecordingUpctv, true, true},
        {"no sound server", {"Veu A"}, {"Veu S"}, true, kRecordingUpctv, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SpeechEngines engines = Engines({}, row.sapiVoices, row.upctv);
        engines.createMsp = RecordingVoice::factory(row.mspVoices, msp, row.mspAvailable);
        engines.soundServerAnswers = [&] { return row.soundServer; };
        EXPECT_EQ(Service(engines)->CanMakeSound(), row.heard);
    }
}

TEST_F(ServiceTest, AFailedListingKeepsLaterPositionsOnTheirOwnEngine) {
    SpeechEngines engines = Engines({}, {"Veu S"}, kNoUpctv);
    engines.createMsp = [this]() -> std::unique_ptr<VoiceEngine> {
        auto voice = std::make_unique<RecordingVoice>(std::vector<std::string>{"Veu A", "Veu B", "Veu C"}, msp);
        voice->setDescriptionFailsAt(1);
        return voice;
    };
    auto service = Service(engines);
    EXPECT_EQ(service->Entries(), (std::vector<std::string>{"Veu A", "SAPI - Veu S"}));
    EXPECT_FALSE(service->Available(EngineKind::Msp));
    service->Choose(1);
    EXPECT_EQ(sapi->chosen, std::vector<int>{0});
    EXPECT_EQ(Mussol("Tipus de sintetitzador"), "SAPI");
}

TEST_F(ServiceTest, SpeedGoesToTheSelectedEngineOnItsOwnScale) {
    struct Row {
        int rate;
        const char* upctvSpeed;
    };
    const Row rows[] = {{-10, "10"}, {-9, "10"}, {-1, "90"}, {0, "100"}, {1, "115"}, {10, "250"}};
    auto service = FullService();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rate);
        service->Choose(0);
        msp->clear();
        service->SetRate(row.rate);
        EXPECT_EQ(msp->rates, std::vector<int>{row.rate});
        EXPECT_EQ(service->RateText(), std::to_string(row.rate));
        EXPECT_EQ(Mussol("SPEED"), std::to_string(row.rate));

        service->Choose(3);
        ClearUpctvCalls();
        service->ApplyRate();
        EXPECT_EQ(UpctvCalls(), Calls{std::string("upcTVSetSpeed ") + row.upctvSpeed});
    }
    service->SetRate(25);
    EXPECT_EQ(service->Rate(), 10);
}

// Whatever voice is chosen, a stop silences every engine: a text still
// queued in another engine must not go on after it.
TEST_F(ServiceTest, StopSpeakingSilencesEveryEngineAndRecordsIt) {
    for (int position : {0, 2, 5}) {
        SCOPED_TRACE(position);
        auto service = FullService();
        service->Choose(position);
        msp->clear();
        sapi->clear();
        ClearUpctvCalls();
        service->StopSpeaking();
        EXPECT_EQ(msp->skips, 1);
        EXPECT_EQ(sapi->skips, 1);
        EXPECT_EQ(UpctvCalls(), Calls{"upcTVStop"});
        EXPECT_EQ(Program("ESTIC LLEGINT"), "0");
    }
}

TEST_F(ServiceTest, AutomationVoicesQueueTextsInOrder) {
    auto service = FullService();
    service->SpeakText("primer");
    service->SpeakText("segon");
    EXPECT_EQ(msp->queued, (std::vector<std::string>{"primer", "segon"}));
    EXPECT_EQ(msp->skips, 0);
}

TEST_F(ServiceTest, SpeedThatIsNotANumberIsReportedAndKeptAsStored) {
    StoreProgram("velocitat", "rapid");
    auto service = FullService();
    EXPECT_EQ(errors, std::vector<std::string>{"'rapid' is not a valid integer value"});
    EXPECT_EQ(service->Rate(), 0);
    EXPECT_EQ(service->RateText(), "rapid");
    EXPECT_EQ(Mussol("SPEED"), "<absent>");
    service->StoreOnClose();
    EXPECT_EQ(Program("velocitat"), "rapid");
}

TEST_F(ServiceTest, AFailingMussolWriteIsReportedAndTheSpeedStillStored) {
    // A folder that cannot exist: its parent is a file.
    const std::string blocker = iniPath + ".file";
    std::ofstream(blocker) << "x";
    mussolPath = blocker + "/mussol.ini";
    auto service = FullService();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors[0], "Unable to write to " + mussolPath);
    service->SetRate(-2);
    service->StoreOnClose();
    EXPECT_EQ(Program("velocitat"), "-2");
    EXPECT_EQ(Program("Numero sintetitzador"), "0");
}

TEST_F(ServiceTest, TheDictionaryRewritesTextBeforeTheEngineWhileItIsOn) {
    ExceptionsInUse exceptions;
    ASSERT_EQ(exceptions.table.loadFromBytes("sr senyor\r\n"), 1u);
    auto service = Service(Engines({"Veu A"}, {}, kNoUpctv), &exceptions);
    service->SpeakText("hola sr, adeu");
    exceptions.enabled = true;
    service->SpeakText("hola sr, adeu");
    EXPECT_EQ(msp->spoken, (std::vector<std::string>{"hola sr, adeu", "hola senyor, adeu"}));
}

}  // namespace
}  // namespace brunzit::testing
