#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "platform/cp1252.h"
#include "speech/tformdiccionariexcepcions.h"
#include "tests/service/servicefixture.h"

namespace brunzit::testing {
namespace {

using Calls = std::vector<std::string>;

std::vector<std::string> Entries(const TFormTTS& form) {
    std::vector<std::string> texts;
    for (int i = 0; i < form.ListBoxMotorsDeVeu->count(); ++i) {
        texts.push_back(utf8ToCp1252(form.ListBoxMotorsDeVeu->item(i)->text().toStdString()));
    }
    return texts;
}

// A click on an entry as the user makes it, also on the entry already chosen.
void ClickEntry(TFormTTS& form, int row) {
    QListWidget* list = form.ListBoxMotorsDeVeu;
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

TEST_F(ServiceTest, ListsTheEnginesInOrderAndEachPositionSpeaksWithItsEngine) {
    auto form = FullService();
    form->show();
    EXPECT_EQ(Entries(*form), (std::vector<std::string>{"Veu A", "Veu B", "SAPI - Veu S",
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
        ClickEntry(*form, row.position);
        EXPECT_EQ(Mussol("Tipus de sintetitzador"), row.type);
        EXPECT_EQ(Mussol("Sintetitzador"), row.index);
        form->SpeakText("bon dia");
        EXPECT_EQ(static_cast<int>(msp->spoken.size()), row.mspSpoken);
        EXPECT_EQ(static_cast<int>(sapi->spoken.size()), row.sapiSpoken);
        int reads = 0;
        for (const auto& call : UpctvCalls()) reads += call == "upcTVRead [bon dia ]";
        EXPECT_EQ(reads, row.upctvRead);
    }
}

TEST_F(ServiceTest, ChoosingAVoiceChoosesItInItsEngineAndReappliesTheSpeed) {
    StoreProgram("velocitat", "-4");
    auto form = FullService();
    form->show();
    ClickEntry(*form, 2);
    EXPECT_EQ(sapi->chosen, std::vector<int>{0});
    EXPECT_EQ(sapi->calls.back(), "rate -4");
    EXPECT_EQ(Mussol("SPEED"), "-4");
    ClickEntry(*form, 1);
    EXPECT_EQ(msp->chosen, std::vector<int>{1});
    EXPECT_EQ(msp->calls.back(), "rate -4");
}

TEST_F(ServiceTest, StoredPositionAtStart) {
    struct Row {
        const char* name;
        const char* stored;  // nullptr: never stored
        int selectedRow;
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
        auto form = FullService();
        EXPECT_EQ(form->ListBoxMotorsDeVeu->currentRow(), row.selectedRow);
        EXPECT_EQ(msp->chosen, row.mspChosen);
        EXPECT_EQ(sapi->chosen, row.sapiChosen);
        EXPECT_EQ(Mussol("Tipus de sintetitzador"), row.mussolType);
    }
}

TEST_F(ServiceTest, ClosingStoresPositionSpeedAndEngineType) {
    auto form = FullService();
    form->show();
    form->tbRate->setValue(3);
    form->BitBtnTancar->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Program("Numero sintetitzador"), "0");
    EXPECT_EQ(Program("velocitat"), "3");
    EXPECT_EQ(Mussol("Tipus de sintetitzador"), "MSP");

    // The close box closes the same way.
    form->show();
    ClickEntry(*form, 4);
    form->close();
    EXPECT_EQ(Program("Numero sintetitzador"), "4");
    EXPECT_EQ(Mussol("Tipus de sintetitzador"), "UPCTV");
}

TEST_F(ServiceTest, WithNoVoiceAtAllClosingWritesOnlyTheSpeed) {
    SpeechEngines engines;  // no engine can be created
    engines.upctvLibrary = kNoUpctv;
    engines.mussolIniPath = mussolPath;
    TFormTTS form(engines, nullptr, false);
    EXPECT_EQ(form.ListBoxMotorsDeVeu->count(), 0);
    EXPECT_TRUE(form.ButtonParlar->isHidden());
    EXPECT_TRUE(form.ButtonCalla->isHidden());
    EXPECT_TRUE(form.ButtonWav->isHidden());
    EXPECT_FALSE(form.EditText->isHidden());
    form.show();
    form.accept();
    EXPECT_EQ(Program("velocitat"), "0");
    EXPECT_EQ(Program("Numero sintetitzador"), "<absent>");
    EXPECT_EQ(Mussol("Tipus de sintetitzador"), "<absent>");
    form.SpeakText("res");  // silent, and no crash without engines
}

TEST_F(ServiceTest, EngineAvailabilityDecidesTheTestButtons) {
    struct Row {
        const char* name;
        bool mspAvailable, sapiAvailable;
        bool talkEnabled;
    };
    const Row rows[] = {
        {"both engines", true, true, true},
        {"only SAPI", false, true, true},
        {"neither, UPCTV listed", false, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SpeechEngines engines = Engines({"Veu A"}, {"Veu S"});
        engines.createMsp = RecordingVoice::factory({"Veu A"}, msp, row.mspAvailable);
        engines.createSapi = RecordingVoice::factory({"Veu S"}, sapi, row.sapiAvailable);
        TFormTTS form(engines, nullptr, false);
        EXPECT_EQ(form.ButtonParlar->isEnabled(), row.talkEnabled);
        EXPECT_EQ(form.ButtonWav->isEnabled(), row.talkEnabled);
        EXPECT_FALSE(form.ButtonParlar->isHidden());
        EXPECT_FALSE(form.ButtonCalla->isHidden());
    }
}

TEST_F(ServiceTest, AFailedListingKeepsLaterPositionsOnTheirOwnEngine) {
    SpeechEngines engines = Engines({}, {"Veu S"}, kNoUpctv);
    engines.createMsp = [this]() -> std::unique_ptr<VoiceEngine> {
        auto voice = std::make_unique<RecordingVoice>(std::vector<std::string>{"Veu A", "Veu B", "Veu C"}, msp);
        voice->setDescriptionFailsAt(1);
        return voice;
    };
    TFormTTS form(engines, nullptr, true);
    EXPECT_EQ(Entries(form), (std::vector<std::string>{"Veu A", "SAPI - Veu S"}));
    EXPECT_FALSE(form.MspAvailable);
    form.show();
    ClickEntry(form, 1);
    EXPECT_EQ(sapi->chosen, std::vector<int>{0});
    EXPECT_EQ(Mussol("Tipus de sintetitzador"), "SAPI");
}

TEST_F(ServiceTest, HidingTheTestControlsLengthensTheList) {
    for (bool hide : {false, true}) {
        SCOPED_TRACE(hide);
        auto form = FullService(hide);
        EXPECT_EQ(form->ButtonParlar->isHidden(), hide);
        EXPECT_EQ(form->ButtonCalla->isHidden(), hide);
        EXPECT_EQ(form->ButtonWav->isHidden(), hide);
        EXPECT_EQ(form->EditText->isHidden(), hide);
        EXPECT_EQ(form->ListBoxMotorsDeVeu->height(), hide ? 293 : 193);
        EXPECT_FALSE(form->BitBtnTancar->isHidden());
    }
}

TEST_F(ServiceTest, SpeedGoesToTheSelectedEngineOnItsOwnScale) {
    struct Row {
        int rate;
        const char* upctvSpeed;
    };
    const Row rows[] = {{-10, "10"}, {-9, "10"}, {-1, "90"}, {0, "100"}, {1, "115"}, {10, "250"}};
    auto form = FullService();
    form->show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rate);
        ClickEntry(*form, 0);
        form->tbRate->setValue(row.rate == 0 ? 1 : 0);  // make the next value a change
        msp->clear();
        form->tbRate->setValue(row.rate);
        EXPECT_EQ(msp->rates, std::vector<int>{row.rate});
        EXPECT_EQ(form->lblRate->text().toStdString(), std::to_string(row.rate));
        EXPECT_EQ(Mussol("SPEED"), std::to_string(row.rate));

        ClickEntry(*form, 3);
        ClearUpctvCalls();
        form->ApplyRate();
        EXPECT_EQ(UpctvCalls(), Calls{std::string("upcTVSetSpeed ") + row.upctvSpeed});
    }
}

TEST_F(ServiceTest, StopSpeakingSilencesTheSelectedEngineAndRecordsIt) {
    auto form = FullService();
    form->show();
    form->StopSpeaking();
    EXPECT_EQ(msp->skips, 1);
    EXPECT_EQ(Program("ESTIC LLEGINT"), "0");

    ClickEntry(*form, 5);
    ClearUpctvCalls();
    form->ButtonCalla->click();
    EXPECT_EQ(UpctvCalls(), Calls{"upcTVStop"});
    EXPECT_EQ(msp->skips, 1);
}

TEST_F(ServiceTest, AutomationVoicesQueueTextsInOrder) {
    auto form = FullService();
    form->SpeakText("primer");
    form->SpeakText("segon");
    EXPECT_EQ(msp->queued, (std::vector<std::string>{"primer", "segon"}));
    EXPECT_EQ(msp->skips, 0);
}

TEST_F(ServiceTest, SpeedThatIsNotANumberIsReportedAndKeptAsStored) {
    StoreProgram("velocitat", "rapid");
    MessageBoxCatcher boxes;
    auto form = FullService();
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_NE(boxes.texts[0].find("rapid"), std::string::npos);
    EXPECT_EQ(form->tbRate->value(), 0);
    EXPECT_EQ(form->lblRate->text().toStdString(), "rapid");
    EXPECT_EQ(Mussol("SPEED"), "<absent>");
    form->show();
    form->accept();
    EXPECT_EQ(Program("velocitat"), "rapid");
}

TEST_F(ServiceTest, SpeedOutsideTheRangeIsClamped) {
    StoreProgram("velocitat", "25");
    auto form = FullService();
    EXPECT_EQ(form->tbRate->value(), 10);
    EXPECT_EQ(form->lblRate->text().toStdString(), "10");
    EXPECT_EQ(msp->rates.back(), 10);
}

TEST_F(ServiceTest, AFailingMussolWriteIsReportedAndTheSpeedStillStored) {
    // A folder that cannot exist: its parent is a file.
    const std::string blocker = iniPath + ".file";
    std::ofstream(blocker) << "x";
    mussolPath = blocker + "/mussol.ini";
    MessageBoxCatcher boxes;
    auto form = FullService();
    ASSERT_FALSE(boxes.texts.empty());
    EXPECT_EQ(boxes.texts[0], "Unable to write to " + mussolPath);
    form->show();
    form->tbRate->setValue(-2);
    form->accept();
    EXPECT_EQ(Program("velocitat"), "-2");
    EXPECT_EQ(Program("Numero sintetitzador"), "0");
}

TEST_F(ServiceTest, TheDictionaryRewritesTextBeforeTheEngine) {
    const std::string dictionaryPath = iniPath + ".dic";
    std::ofstream(dictionaryPath, std::ios::binary) << "sr senyor\r\n";
    TFormDiccionariExcepcions dictionary;
    ASSERT_TRUE(dictionary.LoadDictionary(dictionaryPath));
    TFormTTS form(Engines({"Veu A"}, {}, kNoUpctv), &dictionary, true);
    form.SpeakText("hola sr, adeu");
    EXPECT_EQ(msp->spoken, std::vector<std::string>{"hola senyor, adeu"});

    // Showing the window shows the dictionary's state; unticking the box with
    // the left button switches it off, the right button does nothing.
    form.show();
    EXPECT_TRUE(form.CheckBoxDicExc->isChecked());
    const QPoint box = form.CheckBoxDicExc->rect().center();
    QTest::mouseClick(form.CheckBoxDicExc, Qt::RightButton, {}, box);
    EXPECT_TRUE(dictionary.DictionaryEnabled());
    QTest::mouseClick(form.CheckBoxDicExc, Qt::LeftButton, {}, box);
    EXPECT_FALSE(form.CheckBoxDicExc->isChecked());
    EXPECT_FALSE(dictionary.DictionaryEnabled());
    form.SpeakText("sr");
    EXPECT_EQ(msp->spoken.back(), "sr");
}

TEST_F(ServiceTest, ParlaSpeaksTheTestText) {
    auto form = FullService(false);
    form->ButtonParlar->click();
    ASSERT_EQ(msp->spoken.size(), 1u);
    EXPECT_EQ(msp->spoken[0], "Hola mundo. Estoy muy contento de estar aqu\xED. Deseo que seais muy felices.");
}

TEST_F(ServiceTest, ArrowKeysChooseAVoice) {
    auto form = FullService();
    form->show();
    form->ListBoxMotorsDeVeu->setFocus();
    QTest::keyClick(form->ListBoxMotorsDeVeu, Qt::Key_Down);
    EXPECT_EQ(msp->chosen, std::vector<int>{1});
    QTest::keyClick(form->ListBoxMotorsDeVeu, Qt::Key_Down);
    EXPECT_EQ(sapi->chosen, std::vector<int>{0});
}

TEST_F(ServiceTest, AClickBelowTheEntriesKeepsTheChosenVoice) {
    auto form = FullService();
    form->show();
    ClickEntry(*form, 2);
    sapi->clear();
    const QRect last = form->ListBoxMotorsDeVeu->visualItemRect(form->ListBoxMotorsDeVeu->item(6));
    QTest::mouseClick(form->ListBoxMotorsDeVeu->viewport(), Qt::LeftButton, {}, last.bottomLeft() + QPoint(20, 8));
    EXPECT_EQ(form->ListBoxMotorsDeVeu->currentRow(), 2);
    EXPECT_TRUE(form->ListBoxMotorsDeVeu->item(2)->isSelected());
    EXPECT_TRUE(sapi->chosen.empty());
    form->SpeakText("encara");
    EXPECT_EQ(sapi->spoken, std::vector<std::string>{"encara"});
}

}  // namespace
}  // namespace brunzit::testing
