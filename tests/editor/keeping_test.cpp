// The main window's settings, close, documents, colour scheme and mouse-click
// control, through the real window with the settings folder in a temporary
// place: what reaches "brunzit.ini", what a restart brings back, what clicks
// reported in the file make the window say and type.

#include "editor/gridkey.h"
#include <random>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontDialog>
#include <QFontInfo>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>

#include "platform/profilefile.h"

#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "editor/documents.h"
#include "editor/fontcolour.h"
#include "editor/settingsfile.h"
#include "platform/cp1252.h"
#include "platform/paths.h"
#include "platform/profilefile.h"
#include "windowfixture.h"
#include "tests/keeping/firstrunsettings.h"

namespace brunzit {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;  // key of "brunzit", value

std::string ReadFile(const std::string& path)
{
    ProfileFile::finishQueuedWrites();
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

std::string Lines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

std::string CaptionOf(const QAction* action)
{
    return utf8ToCp1252(action->text().toUtf8().toStdString());
}

// A window of its own, as a new run of the program: created, given its
// companions, settings applied, shown.
struct ProgramRun {
    RecordingSpeaker speaker;
    std::unique_ptr<TFormPrincipal> form = std::make_unique<TFormPrincipal>();
    std::unique_ptr<TFormLletra> lletra = std::make_unique<TFormLletra>();

    ProgramRun()
    {
        lletra->SetMainWindow(form.get());
        form->SetCompanions(nullptr, lletra.get(), nullptr, &speaker);
        // No display: the library is not asked to watch clicks.
        form->MouseHook = {[](unsigned long) {}, [] {}};
        form->LoadSettings();
        form->show();
        QCoreApplication::processEvents();
    }
};

class KeepingTest : public WindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        WindowTest::SetUp();
        form->MouseHook = {[this](unsigned long) { hookCalls.push_back("SetHook"); },
                           [this] { hookCalls.push_back(UnHookedWith()); }};
    }

    // What the file held when the hook was released.
    std::string UnHookedWith() const
    {
        return "UnHookHook with Llengua=" + Settings().read(SettingsSection, "Llengua Catal\xE0", "<none>");
    }

    ProfileFile Settings() const { return ProfileFile(sharedSettingsPath()); }
    std::string FileText() const { return ReadFile(sharedSettingsPath()); }

    void Store(const Entries& entries) const
    {
        for (const auto& [key, value] : entries)
            Settings().write(SettingsSection, key, value);
    }

    QTemporaryDir config;
    std::vector<std::string> hookCalls;
};

// ---- Settings ------------------------------------------------------------------

TEST_F(KeepingTest, FirstRunClosedWithoutChangesWritesTheWorkedExample)
{
    form->LoadSettings();
    QTest::qWait(250);  // the click poll's first ticks
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(FileText(), Lines(brunzit::testing::FirstRunSettingsLines()));
}

TEST_F(KeepingTest, EachStoredOptionIsAppliedOnStart)
{
    struct Row {
        const char* name;
        Entries stored;
        std::function<void(TFormPrincipal&, TFormLletra&)> check;
    };
    const std::vector<Row> rows = {
        {"nothing stored: the state of creation", {},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_TRUE(f.MenuCatala->isChecked());
             EXPECT_FALSE(f.PanelLletres->isVisible());
             EXPECT_TRUE(f.MenuLlegirlalletraquesescriu->isChecked());
             EXPECT_TRUE(f.MenuControldelcursoriReturnpercontrolarelteclat->isChecked());
             EXPECT_FALSE(f.WantReturns());
             EXPECT_FALSE(f.MenuFonsNegre->isChecked());
         }},
        {"Spanish", {{"Llengua Catal\xE0", "NO"}},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_TRUE(f.MenuCastellano->isChecked());
             EXPECT_FALSE(f.MenuCatala->isChecked());
             EXPECT_EQ(CaptionOf(f.MenuArxiu->menuAction()), "&Archivo");
             EXPECT_EQ(CaptionOf(f.MenuFileSave), "&Salvar");
         }},
        {"lower-case no keeps Catalan", {{"Llengua Catal\xE0", "no"}},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_TRUE(f.MenuCatala->isChecked());
             EXPECT_EQ(CaptionOf(f.MenuFileSave), "&Desar");
         }},
        {"keyboard shown", {{"Teclat visible", "S\xCD"}},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_TRUE(f.PanelLletres->isVisible());
             EXPECT_TRUE(f.MenuLlegirlalletraactual->isEnabled());
             EXPECT_FALSE(f.MenuTeclesesquerraiavallambelclic->isEnabled());
         }},
        {"lower-case si keeps the keyboard hidden", {{"Teclat visible", "si"}},
         [](TFormPrincipal& f, TFormLletra&) { EXPECT_FALSE(f.PanelLletres->isVisible()); }},
        {"large letter: ticked, shown with the next word", {{"Veure la lletra que es diu", "S\xCD"}},
         [](TFormPrincipal& f, TFormLletra& l) {
             EXPECT_TRUE(f.MenuVeureLaLletraQueEsDiu->isChecked());
             EXPECT_FALSE(l.isVisible());
             f.SayText("A");
             EXPECT_TRUE(l.isVisible());
         }},
        {"typed text not spoken", {{"Llegir la lletra que s'escriu", "NO"}},
         [](TFormPrincipal& f, TFormLletra&) { EXPECT_FALSE(f.MenuLlegirlalletraquesescriu->isChecked()); }},
        {"highlighted key not spoken", {{"Llegir la lletra actual", "NO"}},
         [](TFormPrincipal& f, TFormLletra&) { EXPECT_FALSE(f.MenuLlegirlalletraactual->isChecked()); }},
        {"cursor control off lets Return into the editor",
         {{"Control del cursor i Return per controlar el teclat", "NO"}},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_FALSE(f.MenuControldelcursoriReturnpercontrolarelteclat->isChecked());
             EXPECT_TRUE(f.WantReturns());
         }},
        {"speech not cut at each key", {{"Tallar la veu a cada tecla", "NO"}},
         [](TFormPrincipal& f, TFormLletra&) { EXPECT_FALSE(f.MenuTallarLaVeu->isChecked()); }},
        {"mouse-click control on, and it keeps the keyboard hidden",
         {{"Teclat visible", "S\xCD"}, {"Tecles esquerra i avall amb el clic", "S\xCD"}},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_TRUE(f.MenuTeclesesquerraiavallambelclic->isChecked());
             EXPECT_TRUE(f.Choosing().state().HookActive);
             EXPECT_TRUE(f.TimerMouseHook->isActive());
             EXPECT_FALSE(f.PanelLletres->isVisible());
             EXPECT_EQ(f.Editor->contextMenuPolicy(), Qt::NoContextMenu);
         }},
        {"writing options: every letter by frequency, lower case",
         {{"Totes les lletres", "S\xCD"}, {"Min\xFAscules", "S\xCD"}, {"Lletres per freq\xFC\xE8ncia", "S\xCD"}},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_TRUE(f.MenuTotesLesLletres->isChecked());
             EXPECT_TRUE(f.MenuMinuscules->isChecked());
             EXPECT_TRUE(f.MenuLletresPerFrequencia->isChecked());
             EXPECT_FALSE(f.MenuPrediccioDeParaules->isChecked());
             EXPECT_TRUE(f.Choosing().shaped());
             EXPECT_EQ(f.Choosing().layout().blocks()[0].items[1].write, "E");
             EXPECT_FALSE(f.MenuEscombratAutomatic->isChecked());
             EXPECT_EQ(f.AutoScanInterval(), 1500);
         }},
        {"letters in the word's order", {{"Lletres segons la paraula", "S\xCD"}},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_TRUE(f.MenuLletresSegonsLaParaula->isChecked());
             EXPECT_FALSE(f.MenuLletresPerFrequencia->isChecked());
             EXPECT_EQ(f.Choosing().layout().start(), (Position{0, LettersBlock}));
         }},
        {"automatic scanning at its stored interval", {{"Escombrat autom\xE0tic", "S\xCD"}, {"Interval de l'escombrat", "800"}},
         [](TFormPrincipal& f, TFormLletra&) {
             EXPECT_TRUE(f.MenuEscombratAutomatic->isChecked());
             EXPECT_TRUE(f.TimerAutoScan->isActive());
             EXPECT_EQ(f.TimerAutoScan->interval(), 800);
         }},
        {"an interval out of range keeps the default", {{"Interval de l'escombrat", "200"}},
         [](TFormPrincipal& f, TFormLletra&) { EXPECT_EQ(f.AutoScanInterval(), 1500); }},
        {"switch filtering", {{"Temps d'acceptaci\xF3", "200"}, {"Temps de bloqueig", "3000"}},
         [](TFormPrincipal& f, TFormLletra&) { EXPECT_EQ(f.SwitchTiming(), (SwitchTiming{200, 3000})); }},
        {"switch filtering out of range keeps the rules", {{"Temps d'acceptaci\xF3", "1001"}, {"Temps de bloqueig", "-5"}},
         [](TFormPrincipal& f, TFormLletra&) { EXPECT_EQ(f.SwitchTiming(), SwitchTiming{}); }},
        {"dark scheme", {{"FONS NEGRE", "S\xCD"}},
         [](TFormPrincipal& f, TFormLletra& l) {
             EXPECT_TRUE(f.MenuFonsNegre->isChecked());
             EXPECT_EQ(f.Editor->palette().color(QPalette::Base), QColor(0, 0, 0));
             EXPECT_EQ(l.palette().color(QPalette::Window), QColor(0, 0, 0));
             EXPECT_EQ(f.A->palette().color(QPalette::WindowText), QColor(255, 0, 0)) << "highlighted";
             EXPECT_EQ(f.B->palette().color(QPalette::WindowText), QColor(255, 255, 255));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir folder;
        qputenv("XDG_CONFIG_HOME", folder.path().toLocal8Bit());
        Store(row.stored);
        ProgramRun run;
        row.check(*run.form, *run.lletra);
        if (HasFailure())
            return;
    }
}

TEST_F(KeepingTest, RestartRestoresLanguageOptionsFontsAndScheme)
{
    form->LoadSettings();
    form->MenuCastellano->trigger();
    form->MenuTeclatVisible->trigger();
    form->MenuLlegirlalletraquesescriu->trigger();
    form->MenuControldelcursoriReturnpercontrolarelteclat->trigger();
    form->MenuFonsNegre->trigger();
    QFont editorFont(QStringLiteral("Courier"));
    editorFont.setPixelSize(20);
    editorFont.setItalic(true);
    const FontChoice editorChoice{editorFont, 0x00FFFFFF, 0};
    form->FontEditor = editorChoice;
    applyFontChoice(form->Editor, editorChoice);
    QFont letterFont(QStringLiteral("Symbol"));
    letterFont.setPixelSize(100);
    letterFont.setUnderline(true);
    lletra->ApplyLetterFont({letterFont, 255, 2});
    QTest::qWait(250);  // the click poll adds its section, as in any run
    form->close();
    const std::string closedFirst = FileText();

    {
        ProgramRun second;
        TFormPrincipal& f = *second.form;
        EXPECT_TRUE(f.MenuCastellano->isChecked());
        EXPECT_EQ(CaptionOf(f.MenuFonsNegre), "Fondo negro");
        EXPECT_TRUE(f.PanelLletres->isVisible());
        EXPECT_FALSE(f.MenuLlegirlalletraquesescriu->isChecked());
        EXPECT_TRUE(f.WantReturns());
        EXPECT_TRUE(f.MenuFonsNegre->isChecked());
        // White text on the black editor: the font from its section, the scheme from its key.
        EXPECT_EQ(f.Editor->palette().color(QPalette::Base), QColor(0, 0, 0));
        EXPECT_EQ(f.Editor->palette().color(QPalette::Text), QColor(255, 255, 255));
        EXPECT_EQ(f.Editor->font().family(), QStringLiteral("Courier"));
        EXPECT_EQ(f.Editor->font().pixelSize(), 20);
        EXPECT_TRUE(f.Editor->font().italic());
        EXPECT_FALSE(f.Editor->font().bold()) << "stored not bold, though the first font is";
        const FontChoice letter = second.lletra->FontLletra;
        EXPECT_EQ(letter.font.family(), QStringLiteral("Symbol"));
        EXPECT_EQ(letter.font.pixelSize(), 100);
        EXPECT_TRUE(letter.font.underline());
        EXPECT_EQ(letter.colour, 255);
        EXPECT_EQ(letter.charset, 2);
        EXPECT_EQ(second.lletra->LabelLletra->font().pixelSize(), 100);
        // The dialogs, made after the settings were read, start from them.
        EXPECT_EQ(fontChoiceOf(f.FontDialogEditorInstance()), f.FontEditor);
        EXPECT_EQ(f.FontEditor.font.family(), QStringLiteral("Courier"));
        EXPECT_EQ(fontChoiceOf(second.lletra->FontDialogLletraInstance()), letter);
        f.close();
    }
    EXPECT_EQ(FileText(), closedFirst) << "a run without changes writes back what it read";
}

TEST_F(KeepingTest, ClosingReleasesTheHookBeforeAnyKeyIsWritten)
{
    form->LoadSettings();
    form->MenuTeclesesquerraiavallambelclic->trigger();
    EXPECT_TRUE(form->Choosing().state().HookActive);
    EXPECT_TRUE(form->MenuTeclesesquerraiavallambelclic->isChecked());
    EXPECT_FALSE(form->MenuTeclatVisible->isEnabled());
    EXPECT_TRUE(form->TimerMouseHook->isActive());
    EXPECT_EQ(Said(), Spoken{"bloc lletres"});
    form->close();
    EXPECT_EQ(hookCalls, (std::vector<std::string>{"SetHook", "UnHookHook with Llengua=<none>"}));
    EXPECT_EQ(Settings().read(SettingsSection, "Llengua Catal\xE0", "<none>"), "S\xCD");
}

TEST_F(KeepingTest, CloseQueryDecidesWhetherTheWindowClosesAndTheSettingsAreWritten)
{
    struct Row {
        const char* name;
        std::function<QMessageBox::StandardButton(const QString&)> answer;
        bool closes;
    };
    const std::vector<Row> rows = {
        {"Cancel keeps the window", [](const QString&) { return QMessageBox::Cancel; }, false},
        {"a failure inside keeps the window, without a message",
         [](const QString&) -> QMessageBox::StandardButton { throw std::runtime_error("disk gone"); }, false},
        {"No closes without saving", [](const QString&) { return QMessageBox::No; }, true},
    };
    form->LoadSettings();
    form->SetEditorText("hola");
    ASSERT_TRUE(form->Editor->document()->isModified());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QString asked;
        form->Documents()->Dialogs().ask = [&](const QString& question) {
            asked = question;
            return row.answer(question);
        };
        form->close();
        EXPECT_EQ(asked, QStringLiteral("Salvar canvis a Sense nom?"));
        EXPECT_EQ(form->isVisible(), !row.closes);
        EXPECT_EQ(Settings().read(SettingsSection, "Teclat visible", "<none>"), row.closes ? "NO" : "<none>");
    }
}

// ---- Documents and the scheme ----------------------------------------------------

TEST_F(KeepingTest, DocumentNameAndModifiedFlagFollowTheCommands)
{
    const QString path = config.filePath(QStringLiteral("carta.txt"));
    form->Documents()->Dialogs().chooseFileToSave = [&] { return path; };
    form->Documents()->Dialogs().ask = [](const QString&) { return QMessageBox::No; };
    EXPECT_EQ(form->DocumentName, "Sense nom");
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("Sense nom - ")));

    Key(Qt::Key_H);
    EXPECT_TRUE(form->Editor->document()->isModified()) << "typing marks the text";
    form->MenuFileSave->trigger();  // untitled: saves as
    EXPECT_EQ(form->DocumentName, path.toStdString());
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("carta.txt - ")));
    EXPECT_FALSE(form->Editor->document()->isModified());
    EXPECT_EQ(ReadFile(path.toStdString()), "h");

    Key(Qt::Key_O);
    form->MenuNou->trigger();  // asked; No drops the text
    EXPECT_EQ(form->DocumentName, "Sense nom");
    EXPECT_EQ(Text(), "");
    EXPECT_FALSE(form->Editor->document()->isModified());

    form->Documents()->Dialogs().chooseFileToOpen = [&] { return path; };
    form->MenuObrirArxiu->trigger();
    EXPECT_EQ(Text(), "h");
    EXPECT_EQ(form->DocumentName, path.toStdString());
    Key(Qt::Key_I);
    EXPECT_TRUE(form->Editor->document()->isModified()) << "the loaded text is the editor's";
}

TEST_F(KeepingTest, EditorFontCommandAppliesOnlyAConfirmedChoice)
{
    for (const bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
        QTimer::singleShot(0, form.get(), [this, confirm] {
            QFontDialog* dialog = form->FontDialogEditorInstance();
            ASSERT_TRUE(dialog->isVisible());
            // It starts from the editor's font as the system draws it, bold.
            EXPECT_EQ(dialog->currentFont().family(), QFontInfo(initialEditorFont().font).family());
            EXPECT_TRUE(dialog->currentFont().bold());
            QFont browsed(QStringLiteral("Courier"));
            browsed.setPixelSize(30);
            dialog->setCurrentFont(browsed);
            confirm ? dialog->accept() : dialog->reject();
        });
        form->MenuCanviarLaFontDelEditor->trigger();  // returns once the dialog is closed
        // The choice kept is what SaveSettings writes; the editor shows the same.
        const QFont stored = form->FontEditor.font;
        EXPECT_EQ(form->Editor->font(), stored);
        EXPECT_EQ(stored == initialEditorFont().font, !confirm);
    }
    EXPECT_EQ(Said(), Spoken{});
}

TEST_F(KeepingTest, SwitchingTheSchemeWritesItAtOnce)
{
    ShowGrid();
    struct Row {
        const char* word;
        QColor background;
        QColor keyText;
    };
    for (const Row& row : {Row{"S\xCD", QColor(0, 0, 0), QColor(255, 255, 255)},
                           Row{"NO", QColor(255, 255, 255), QColor(0, 0, 0)}}) {
        SCOPED_TRACE(row.word);
        form->MenuFonsNegre->trigger();
        EXPECT_EQ(Settings().read(SettingsSection, "FONS NEGRE", "<none>"), row.word);
        EXPECT_EQ(form->Editor->palette().color(QPalette::Base), row.background);
        // The default black editor font is drawn in the scheme's text colour.
        EXPECT_EQ(form->Editor->palette().color(QPalette::Text), row.keyText);
        EXPECT_EQ(form->B->palette().color(QPalette::Window), row.background);
        EXPECT_EQ(form->B->palette().color(QPalette::WindowText), row.keyText);
        EXPECT_EQ(form->A->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        // The highlight keeps the scheme when it moves.
        Key(Qt::Key_Right);
        EXPECT_EQ(form->A->palette().color(QPalette::WindowText), row.keyText);
        EXPECT_EQ(form->B->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        Key(Qt::Key_Left);
    }
}

TEST_F(KeepingTest, ExactlyOneKeyIsHighlightedAfterAnySequenceOfSwitches)
{
    auto highlighted = [this] {
        std::vector<QString> names;
        for (auto* key : form->PanelLletres->findChildren<GridKey*>())
            if (key->highlighted() || key->palette().color(QPalette::WindowText) == QColor(255, 0, 0))
                names.push_back(key->objectName());
        return names;
    };
    // Scanning moves the shared position; the scheme switched meanwhile must
    // not leave a second key red once the grid is back.
    Keys(Qt::Key_Right, 3);
    form->MenuFonsNegre->trigger();
    Key(Qt::Key_Right);
    ShowGrid();
    EXPECT_EQ(highlighted(), std::vector<QString>{QStringLiteral("A")});

    // Any mixture of switches and moves, checked against the position.
    std::mt19937 random(13);
    for (int step = 0; step < 300; ++step) {
        switch (random() % 6) {
        case 0: form->MenuFonsNegre->trigger(); break;
        case 1: form->MenuTeclatVisible->trigger(); break;
        case 2: Key(Qt::Key_Right); break;
        case 3: Key(Qt::Key_Down); break;
        case 4: Key(Qt::Key_Left); break;
        default: Key(Qt::Key_Up); break;
        }
        if (!form->MenuTeclatVisible->isChecked())
            continue;
        const Position at = form->Choosing().position();
        ASSERT_EQ(highlighted(), std::vector<QString>{form->GridKey(at.col, at.row)->objectName()}) << "step " << step;
    }
}

// ---- Mouse-click control through the settings file --------------------------------

class MouseClickWindowTest : public KeepingTest {
protected:
    // A click reported by the library at tick `at`; the poll's outcome.
    std::vector<std::string> Click(const char* report, std::int64_t at)
    {
        Settings().write("BrunzitMouseHook", "CLIC", report);
        form->PollMouseHook(at);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        EXPECT_EQ(Settings().read("BrunzitMouseHook", "CLIC", "<none>"), "0") << "the report is taken";
        return Said();
    }
};

TEST_F(MouseClickWindowTest, ClicksStepSayAndTypeThroughTheWindow)
{
    form->MenuTeclesesquerraiavallambelclicClick();
    form->TimerMouseHook->stop();  // the ticks are the test's
    EXPECT_EQ(Said(), Spoken{"bloc lletres"});
    const std::int64_t t = form->Choosing().state().NextClickTick;
    struct Row {
        const char* report;
        std::int64_t at;
        Spoken said;
    };
    const Row rows[] = {
        {"1", t + 1000, {"espai"}},
        {"1", t + 1500, {}},            // 500 ms after: ignored, quiet time again
        {"1", t + 2300, {}},            // 800 ms after the ignored one: ignored too
        {"1", t + 3400, {"a"}},         // letters are spoken in lower case
        {"7", t + 4500, {}},            // not a click
        {"2", t + 4600, {"a"}},         // chooses "A": typed and said by the key handling
        {"2", t + 5700, {"bloc funcions"}},
        {"2", t + 6800, {"bloc puntuaci\xF3"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.report) + " at +" + std::to_string(row.at - t));
        EXPECT_EQ(Click(row.report, row.at), row.said);
    }
    EXPECT_EQ(Text(), "A");
}

TEST_F(MouseClickWindowTest, OneSwitchScanningChoosesByTheLeftButtonOrSpace)
{
    form->MenuTeclesesquerraiavallambelclicClick();
    form->TimerMouseHook->stop();
    form->MenuEscombratAutomatic->trigger();
    form->TimerAutoScan->stop();  // the ticks are the test's
    Said();
    const auto tick = [this] {
        form->TimerAutoScanTimer();
        return Said();
    };
    EXPECT_EQ(tick(), Spoken{"bloc lletres"});
    speaker.stillSpeaking = true;  // an item is never cut off by the next
    EXPECT_TRUE(tick().empty());
    speaker.stillSpeaking = false;
    EXPECT_TRUE(Click("2", 0).empty());  // the right button does nothing here
    Key(Qt::Key_Space);
    EXPECT_EQ(tick(), Spoken{"espai"});
    EXPECT_EQ(tick(), Spoken{"a"});
    Click("1", 0);
    EXPECT_EQ(Text(), "A");
    EXPECT_EQ(tick(), Spoken{"bloc lletres"});  // from the top after a choice
    for (int step = 1; step < 3 * ScanBlockCount; ++step)
        tick();
    EXPECT_EQ(tick(), Spoken{"pausa"});
    EXPECT_TRUE(tick().empty());
    Key(Qt::Key_Return);  // wakes it without choosing
    EXPECT_EQ(tick(), Spoken{"bloc lletres"});
    EXPECT_EQ(Text(), "A");

    // With an acceptance time, a tap is a tremor; a press held that long counts.
    form->SetAcceptanceTime(200);
    Key(Qt::Key_Space);
    EXPECT_EQ(tick(), Spoken{"bloc funcions"});
    form->TimerAutoScan->stop();  // no step of its own while the key is held
    QTest::keyPress(form->Editor, Qt::Key_Space);
    QTest::qWait(250);
    QTest::keyRelease(form->Editor, Qt::Key_Space);
    EXPECT_EQ(tick(), Spoken{"llegir-ho tot"});
    form->SetAcceptanceTime(0);
    form->MenuEscombratAutomatic->trigger();
    form->MenuTeclesesquerraiavallambelclicClick();
}

TEST_F(MouseClickWindowTest, ReportsAreActedUponBeforeSwitchingOnAndAfterSwitchingOff)
{
    // From creation: the position is the letters block's first item.
    EXPECT_EQ(Click("1", 100000), Spoken{"a"});
    form->MenuTeclesesquerraiavallambelclicClick();
    form->MenuTeclesesquerraiavallambelclicClick();
    EXPECT_FALSE(form->Choosing().state().HookActive);
    EXPECT_TRUE(form->MenuTeclatVisible->isEnabled());
    EXPECT_FALSE(form->TimerMouseHook->isActive());
    EXPECT_EQ(hookCalls, (std::vector<std::string>{"SetHook", "UnHookHook with Llengua=<none>"}));
    Said();
    // Switching on put the position on the block's name; off, clicks step items.
    EXPECT_EQ(Click("1", form->Choosing().state().NextClickTick + 1000), Spoken{"bloc lletres"});
    EXPECT_EQ(Click("1", form->Choosing().state().NextClickTick + 1000), Spoken{"espai"});
}

TEST_F(MouseClickWindowTest, ClicksOnTheWindowOnlyReportAndChoicesNeedNoFocus)
{
    form->MenuTeclesesquerraiavallambelclicClick();
    form->TimerMouseHook->stop();
    form->SetEditorText("AB");
    const int end = form->Editor->textCursor().position();
    // A context menu would wait in its own loop: closed at once if one opens.
    bool menuOpened = false;
    QTimer::singleShot(200, [&] {
        if (QWidget* popup = QApplication::activePopupWidget()) {
            menuOpened = true;
            popup->close();
        }
    });
    QWidget* area = form->Editor->viewport();
    QTest::mouseClick(area, Qt::RightButton, {}, QPoint(3, 3));
    QContextMenuEvent menuKey(QContextMenuEvent::Mouse, QPoint(3, 3), area->mapToGlobal(QPoint(3, 3)));
    QApplication::sendEvent(area, &menuKey);
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseDClick(area, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::qWait(300);
    EXPECT_FALSE(menuOpened);
    EXPECT_EQ(form->Editor->textCursor().position(), end) << "no caret move";
    EXPECT_FALSE(form->Editor->textCursor().hasSelection());

    // The focus in another window: a choice still writes into the editor.
    lletra->show();
    lletra->activateWindow();
    QTest::qWait(50);
    Said();
    const std::int64_t t = form->Choosing().state().NextClickTick;
    EXPECT_EQ(Click("1", t + 1000), Spoken{"espai"});
    EXPECT_EQ(Click("1", t + 2100), Spoken{"a"});
    EXPECT_EQ(Click("2", t + 3200), Spoken{"a"});
    EXPECT_EQ(Text(), "ABA");

    form->MenuTeclesesquerraiavallambelclicClick();
    QTest::mouseClick(area, Qt::LeftButton, {}, QPoint(3, 3));
    EXPECT_EQ(form->Editor->textCursor().position(), 0) << "off, clicks reach the editor again";
}

TEST_F(MouseClickWindowTest, APollInsideASpeakLeavesTheReportForTheNextTick)
{
    form->MenuTeclesesquerraiavallambelclicClick();
    form->TimerMouseHook->stop();
    Said();
    const std::int64_t t = form->Choosing().state().NextClickTick;
    bool nested = false;
    speaker.duringSpeak = [&] {
        if (nested)
            return;
        nested = true;
        Settings().write("BrunzitMouseHook", "CLIC", "2");
        form->PollMouseHook(t + 5000);
    };
    Settings().write("BrunzitMouseHook", "CLIC", "1");
    form->PollMouseHook(t + 1000);
    speaker.duringSpeak = nullptr;
    EXPECT_TRUE(nested);
    EXPECT_EQ(Said(), Spoken{"espai"});
    EXPECT_EQ(Settings().read("BrunzitMouseHook", "CLIC", "<none>"), "2");
    // The right click taken only now chooses the item heard, in order.
    form->PollMouseHook(t + 2100);
    EXPECT_EQ(Text(), " ");
}

TEST_F(MouseClickWindowTest, TheControlIsRememberedAcrossStarts)
{
    Settings().write(SettingsSection, "Tecles esquerra i avall amb el clic", "S\xCD");
    form->LoadSettings();
    EXPECT_TRUE(form->Choosing().state().HookActive);
    EXPECT_TRUE(form->TimerMouseHook->isActive());
    EXPECT_EQ(Said(), Spoken{"bloc lletres"});
    form->MenuTeclesesquerraiavallambelclicClick();
    form->close();
    EXPECT_EQ(Settings().read(SettingsSection, "Tecles esquerra i avall amb el clic", "<none>"), "NO")
        << "a key in the file is kept up to date";
}

}  // namespace
}  // namespace brunzit
