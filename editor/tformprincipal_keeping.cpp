// The main window's settings, documents, fonts, colour scheme and mouse-click
// control: the commands that hand their work to the blocks of the editor
// library (settings file, document commands, font dialogs, schemes, clicks).

#include <QAction>
#include <QCloseEvent>
#include <QApplication>
#include <QCoreApplication>
#include <QFontDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>

#include "editor/darkcolours.h"
#include "editor/documents.h"
#include "editor/fontcolour.h"
#include "editor/mouseclickcontrol.h"
#include "editor/scanning.h"
#include "editor/settingsfile.h"
#include "editor/tformlletra.h"
#include "editor/tformprincipal.h"
#include "outside/mousehook/brunzitmousehook.h"
#include "platform/cp1252.h"
#include "platform/paths.h"
#include "platform/profilefile.h"
#include "platform/ticks.h"
#include "platform/windowing.h"

namespace {

QString toQt(const std::string& cp1252)
{
    return QString::fromUtf8(brunzit::cp1252ToUtf8(cp1252));
}

std::string fromQt(const QString& text)
{
    return brunzit::utf8ToCp1252(text.toUtf8().toStdString());
}

}  // namespace

// ---- Settings --------------------------------------------------------------

void TFormPrincipal::LoadSettings()
{
    const brunzit::StoredSettings stored = brunzit::SettingsFile().Read();
    const brunzit::EditorOptions& options = stored.options;
    // Each command flips its option from the state of creation, so running
    // it once brings the option to the stored value.
    if (!options.catalan)
        MenuCastellanoClick();
    // Mouse-click control wants the panel hidden; a user who can only click
    // gets the control back at each start.
    if (options.keyboardVisible && !options.clickControl)
        MenuTeclatVisibleClick();
    if (options.showLetter)
        MenuVeureLaLletraQueEsDiuClick();
    if (!options.speakTyped)
        MenuLlegirlalletraquesescriuClick();
    if (!options.cutSpeech)
        MenuTallarLaVeu->setChecked(false);
    if (!options.speakCurrent)
        MenuLlegirlalletraactualClick();
    if (!options.cursorControl)
        MenuControldelcursoriReturnpercontrolarelteclatClick();
    if (stored.fontLletra && formLletra_)
        formLletra_->ApplyLetterFont(*stored.fontLletra);
    if (stored.fontEditor) {
        FontEditor = *stored.fontEditor;
        ApplyEditorFont();
    }
    if (options.darkColours)
        MenuFonsNegreClick();
    MenuTotesLesLletres->setChecked(options.everyLetter);
    MenuMinuscules->setChecked(options.lowercase);
    MenuLletresPerFrequencia->setChecked(options.frequencyOrder);
    MenuLletresSegonsLaParaula->setChecked(options.wordOrder);
    MenuPrediccioDeParaules->setChecked(options.prediction);
    SetAutoScanInterval(options.autoScanMs);
    SetAcceptanceTime(options.acceptanceMs);
    SetLockoutTime(options.lockoutMs);
    MenuEscombratAutomatic->setChecked(options.autoScan);
    if (options.clickControl && !selection_.state().HookActive)
        SwitchMouseClickOn();
}

void TFormPrincipal::SaveSettings()
{
    // The hook writes into the same file: released before anything is written.
    if (selection_.state().HookActive && MouseHook.unHookHook)
        MouseHook.unHookHook();
    brunzit::EditorOptions options;
    options.catalan = MenuCatala->isChecked();
    options.keyboardVisible = MenuTeclatVisible->isChecked();
    options.showLetter = MenuVeureLaLletraQueEsDiu->isChecked();
    options.speakTyped = MenuLlegirlalletraquesescriu->isChecked();
    options.speakCurrent = MenuLlegirlalletraactual->isChecked();
    options.cursorControl = MenuControldelcursoriReturnpercontrolarelteclat->isChecked();
    options.cutSpeech = MenuTallarLaVeu->isChecked();
    options.clickControl = MenuTeclesesquerraiavallambelclic->isChecked();
    options.everyLetter = MenuTotesLesLletres->isChecked();
    options.lowercase = MenuMinuscules->isChecked();
    options.frequencyOrder = MenuLletresPerFrequencia->isChecked();
    options.wordOrder = MenuLletresSegonsLaParaula->isChecked();
    options.prediction = MenuPrediccioDeParaules->isChecked();
    options.autoScan = MenuEscombratAutomatic->isChecked();
    options.autoScanMs = autoScanMs_;
    options.acceptanceMs = switchFilter_.timing().acceptanceMs;
    options.lockoutMs = switchFilter_.timing().lockoutMs;
    const brunzit::FontChoice letter = formLletra_ ? formLletra_->FontLletra : brunzit::initialLetterFont();
    brunzit::SettingsFile().Save(options, letter, FontEditor);
}

void TFormPrincipal::closeEvent(QCloseEvent* event)
{
    // A failure inside the query (a save that throws) keeps the window open
    // without a message of its own.
    bool mayClose = false;
    try {
        mayClose = QuerySaveChanges();
    } catch (...) {
        mayClose = false;
    }
    if (!mayClose) {
        event->ignore();
        return;
    }
    SaveSettings();
    event->accept();
    // The application does not end with its last window (the large-letter
    // window may be open): this window ends it.
    QCoreApplication::quit();
}

// ---- Documents -------------------------------------------------------------

void TFormPrincipal::SetDocumentName(const std::string& name)
{
    // The caption is set by the document commands; DocumentName follows
    // them through DocumentNameChanged.
    if (documents_)
        documents_->SetDocumentName(toQt(name));
    else
        DocumentName = name;
}

bool TFormPrincipal::QuerySaveChanges()
{
    return documents_->QuerySaveChanges();
}

void TFormPrincipal::LoadDocument(const std::string& path)
{
    documents_->LoadDocument(toQt(path));
}

bool TFormPrincipal::SaveDocument()
{
    return documents_->SaveDocument();
}

bool TFormPrincipal::SaveDocumentAs()
{
    return documents_->SaveDocumentAs();
}

void TFormPrincipal::CopyTextToClipboard(const std::string& text)
{
    brunzit::DocumentCommands::CopyTextToClipboard(toQt(text));
}

void TFormPrincipal::MenuNouClick()
{
    documents_->New();
}

void TFormPrincipal::MenuObrirArxiuClick()
{
    documents_->Open();
}

void TFormPrincipal::MenuFileSaveClick()
{
    documents_->Save();
}

void TFormPrincipal::MenuFileSaveAsClick()
{
    documents_->SaveAs();
}

void TFormPrincipal::MenuImprimirClick()
{
    documents_->Print();
    PrintDialog = documents_->PrintDialog();
}

void TFormPrincipal::MenuCopiarALaCarpetaClick()
{
    documents_->CopyToFolder();
}

void TFormPrincipal::CreateDocuments()
{
    documents_ = new brunzit::DocumentCommands(Editor, this, this);
    documents_->setObjectName(QStringLiteral("Documents"));
    documents_->UseFileDialogs([this] { return OpenDialogInstance(); }, [this] { return SaveDialogInstance(); });
    connect(documents_, &brunzit::DocumentCommands::DocumentNameChanged, this,
            [this](const QString& name) { DocumentName = fromQt(name); });
    DocumentName = fromQt(documents_->DocumentName());
}

// ---- Editor font and colour scheme -------------------------------------------

void TFormPrincipal::MenuCanviarLaFontDelEditorClick()
{
    if (brunzit::runFontDialog(FontDialogEditorInstance(), FontEditor))
        ApplyEditorFont();
}

void TFormPrincipal::ApplyEditorFont()
{
    brunzit::applyFontChoice(Editor, FontEditor);
    const QColor own = brunzit::colourOf(FontEditor.colour, QGuiApplication::palette());
    brunzit::setTextColour(Editor, brunzit::editorTextColour(own, MenuFonsNegre->isChecked()));
}

void TFormPrincipal::MenuFonsNegreClick()
{
    ApplyDarkColours();
}

void TFormPrincipal::ApplyDarkColours()
{
    // The tick is the scheme; FonsNegreToggled applies what it says.
    MenuFonsNegre->toggle();
}

void TFormPrincipal::FonsNegreToggled(bool dark)
{
    // The highlighted key is found again from the position.
    KeyAt(selection_.position().col, selection_.position().row);
    const std::string word = brunzit::ApplyDarkColours(dark, formLletra_, Editor, keys_, CurrentKey);
    ApplyEditorFont();
    brunzit::SettingsFile().WriteDarkColours(word == brunzit::YesWord);
}

// ---- Mouse-click control -----------------------------------------------------

namespace {

// While mouse-click control is on, a click on any window of the program is
// only a report for the poll: it must not open a menu or a dialog, move the
// caret or select text.
class ClickOnlyFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::ContextMenu:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
            return watched->isWidgetType() || watched->inherits("QWindow");
        default:
            return false;
        }
    }
};

}  // namespace

void TFormPrincipal::CreateMouseClickControl()
{
    MouseHook.setHook = [](unsigned long window) { SetHook(window); };
    MouseHook.unHookHook = [] { UnHookHook(); };
    clickOnly_ = new ClickOnlyFilter(this);
}

void TFormPrincipal::MenuTeclesesquerraiavallambelclicClick()
{
    // The menu has flipped the tick already; the hook's state decides.
    if (selection_.state().HookActive)
        SwitchMouseClickOff();
    else
        SwitchMouseClickOn();
}

void TFormPrincipal::SwitchMouseClickOn()
{
    SayText(selection_.switchOn(brunzit::tickCountMs()));
    MenuTeclesesquerraiavallambelclic->setChecked(true);
    if (MouseHook.setHook)
        MouseHook.setHook(static_cast<unsigned long>(winId()));
    TimerMouseHook->start();
    MenuTeclatVisible->setEnabled(false);
    Editor->setContextMenuPolicy(Qt::NoContextMenu);
    qApp->installEventFilter(clickOnly_);
}

void TFormPrincipal::SwitchMouseClickOff()
{
    MenuTeclesesquerraiavallambelclic->setChecked(false);
    if (MouseHook.unHookHook)
        MouseHook.unHookHook();
    TimerMouseHook->stop();
    selection_.switchOff();
    MenuTeclatVisible->setEnabled(true);
    qApp->removeEventFilter(clickOnly_);
    Editor->setContextMenuPolicy(Qt::DefaultContextMenu);
}

void TFormPrincipal::TimerMouseHookTimer()
{
    PollMouseHook(brunzit::tickCountMs());
}

void TFormPrincipal::PollMouseHook(std::int64_t now)
{
    // A tick that comes while a speak waits, while a document loads or
    // inside another poll leaves the report where it is for a later tick:
    // clicks keep their order, and none goes into a document being replaced.
    if (polling_ || speaking_ > 0 || documents_->Loading())
        return;
    polling_ = true;
    const std::string report = brunzit::takeClickReport(brunzit::ProfileFile(brunzit::sharedSettingsPath()));
    if (AutoScanning()) {
        // One switch: the left button chooses; the right one is not used.
        // A click report has no length: only the lockout filters it.
        if (report == "1" && switchFilter_.accept(now, now, false)) {
            brunzit::bringToFront(this);
            AutoScanPress();
        }
        polling_ = false;
        return;
    }
    const brunzit::MouseClickControl::Step step = selection_.click(report, now);
    {
        const InputEvent input(this);
        // A click may have gone to another window: this one comes to the
        // front before anything is said or chosen.
        if (step.bringToFront)
            brunzit::bringToFront(this);
        if (step.say)
            SayText(*step.say);
        if (step.choose)
            ChooseCurrent();
    }
    polling_ = false;
}
