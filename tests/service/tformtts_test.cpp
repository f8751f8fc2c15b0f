// The speech settings window over the service: its controls hand the user's
// choices to the service and show its state.

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "platform/cp1252.h"
#include "speech/tformdiccionariexcepcions.h"
#include "tests/service/servicefixture.h"

namespace brunzit::testing {
namespace {

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

TEST_F(ServiceTest, WindowShowsTheServiceAndClicksChooseVoices) {
    StoreProgram("Numero sintetitzador", "2");
    StoreProgram("velocitat", "-4");
    auto service = FullService();
    TFormTTS form(*service, nullptr, true);
    EXPECT_EQ(Entries(form), service->Entries());
    EXPECT_EQ(form.ListBoxMotorsDeVeu->currentRow(), 2);
    EXPECT_EQ(form.tbRate->value(), -4);
    EXPECT_EQ(form.lblRate->text().toStdString(), "-4");
    form.show();
    ClickEntry(form, 1);
    EXPECT_EQ(service->Position(), 1);
    EXPECT_EQ(msp->chosen, std::vector<int>{1});
    ClickEntry(form, 4);
    EXPECT_EQ(Upctv(*service).CurrentUpctvVoice, 1);
    form.tbRate->setValue(3);
    EXPECT_EQ(service->Rate(), 3);
    EXPECT_EQ(form.lblRate->text().toStdString(), "3");
    // Both the button and the close box store the choice.
    form.BitBtnTancar->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Program("Numero sintetitzador"), "4");
    EXPECT_EQ(Program("velocitat"), "3");
    form.show();
    ClickEntry(form, 0);
    form.close();
    EXPECT_EQ(Program("Numero sintetitzador"), "0");
}

TEST_F(ServiceTest, EngineAvailabilityDecidesTheTestButtons) {
    struct Row {
        const char* name;
        bool mspAvailable, sapiAvailable;
        const char* upctv;
        bool talkEnabled, buttonsShown;
    };
    const Row rows[] = {
        {"both engines", true, true, kRecordingUpctv, true, true},
        {"only SAPI", false, true, kRecordingUpctv, true, true},
        {"neither, UPCTV listed", false, false, kRecordingUpctv, false, true},
        {"no voice at all", false, false, kNoUpctv, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SpeechEngines engines = Engines({"Veu A"}, {"Veu S"}, row.upctv);
        engines.createMsp = RecordingVoice::factory({"Veu A"}, msp, row.mspAvailable);
        engines.createSapi = RecordingVoice::factory({"Veu S"}, sapi, row.sapiAvailable);
        auto service = Service(engines);
        TFormTTS form(*service, nullptr, false);
        EXPECT_EQ(form.ButtonParlar->isEnabled(), row.talkEnabled);
        EXPECT_EQ(form.ButtonWav->isEnabled(), row.talkEnabled);
        EXPECT_EQ(form.ButtonParlar->isHidden(), !row.buttonsShown);
        EXPECT_EQ(form.ButtonCalla->isHidden(), !row.buttonsShown);
        EXPECT_FALSE(form.EditText->isHidden());
    }
}

TEST_F(ServiceTest, HidingTheTestControlsLengthensTheList) {
    auto service = FullService();
    for (bool hide : {false, true}) {
        SCOPED_TRACE(hide);
        TFormTTS form(*service, nullptr, hide);
        EXPECT_EQ(form.ButtonParlar->isHidden(), hide);
        EXPECT_EQ(form.ButtonCalla->isHidden(), hide);
        EXPECT_EQ(form.ButtonWav->isHidden(), hide);
        EXPECT_EQ(form.EditText->isHidden(), hide);
        EXPECT_EQ(form.ListBoxMotorsDeVeu->height(), hide ? 293 : 193);
        EXPECT_FALSE(form.BitBtnTancar->isHidden());
    }
}

TEST_F(ServiceTest, ParlaSpeaksTheTestTextAndCallaStops) {
    auto service = FullService();
    TFormTTS form(*service, nullptr, false);
    form.ButtonParlar->click();
    ASSERT_EQ(msp->spoken.size(), 1u);
    EXPECT_EQ(msp->spoken[0], "Hola mundo. Estoy muy contento de estar aqu\xED. Deseo que seais muy felices.");
    form.ButtonCalla->click();
    EXPECT_EQ(msp->skips, 1);
}

TEST_F(ServiceTest, TheDictionaryBoxSwitchesTheDictionaryTheServiceApplies) {
    const std::string dictionaryPath = iniPath + ".dic";
    std::ofstream(dictionaryPath, std::ios::binary) << "sr senyor\r\n";
    TFormDiccionariExcepcions dictionary;
    ASSERT_TRUE(dictionary.LoadDictionary(dictionaryPath));
    auto service = Service(Engines({"Veu A"}, {}, kNoUpctv), &dictionary.inUse());
    TFormTTS form(*service, &dictionary, true);
    service->SpeakText("hola sr");
    // Showing the window shows the dictionary's state; unticking the box with
    // the left button switches it off, the right button does nothing.
    form.show();
    EXPECT_TRUE(form.CheckBoxDicExc->isChecked());
    const QPoint box = form.CheckBoxDicExc->rect().center();
    QTest::mouseClick(form.CheckBoxDicExc, Qt::RightButton, {}, box);
    EXPECT_TRUE(dictionary.DictionaryEnabled());
    QTest::mouseClick(form.CheckBoxDicExc, Qt::LeftButton, {}, box);
    EXPECT_FALSE(form.CheckBoxDicExc->isChecked());
    service->SpeakText("hola sr");
    EXPECT_EQ(msp->spoken, (std::vector<std::string>{"hola senyor", "hola sr"}));
}

TEST_F(ServiceTest, ArrowKeysChooseAVoice) {
    auto service = FullService();
    TFormTTS form(*service, nullptr, true);
    form.show();
    form.ListBoxMotorsDeVeu->setFocus();
    QTest::keyClick(form.ListBoxMotorsDeVeu, Qt::Key_Down);
    EXPECT_EQ(msp->chosen, std::vector<int>{1});
    QTest::keyClick(form.ListBoxMotorsDeVeu, Qt::Key_Down);
    EXPECT_EQ(sapi->chosen, std::vector<int>{0});
    // Each voice reached says its own entry, so that it can be chosen by ear.
    EXPECT_EQ(msp->spoken, std::vector<std::string>{service->Entries()[1]});
    EXPECT_EQ(sapi->spoken, std::vector<std::string>{service->Entries()[2]});
}

TEST_F(ServiceTest, AClickBelowTheEntriesKeepsTheChosenVoice) {
    auto service = FullService();
    TFormTTS form(*service, nullptr, true);
    form.show();
    ClickEntry(form, 2);
    sapi->clear();
    const QRect last = form.ListBoxMotorsDeVeu->visualItemRect(form.ListBoxMotorsDeVeu->item(6));
    QTest::mouseClick(form.ListBoxMotorsDeVeu->viewport(), Qt::LeftButton, {}, last.bottomLeft() + QPoint(20, 8));
    EXPECT_EQ(form.ListBoxMotorsDeVeu->currentRow(), 2);
    EXPECT_TRUE(form.ListBoxMotorsDeVeu->item(2)->isSelected());
    EXPECT_TRUE(sapi->chosen.empty());
    service->SpeakText("encara");
    EXPECT_EQ(sapi->spoken, std::vector<std::string>{"encara"});
}

}  // namespace
}  // namespace brunzit::testing
