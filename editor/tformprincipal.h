#pragma once
// The main window: a plain-text editor over the 48-key grid keyboard. The
// cursor keys and Return drive the grid keyboard (panel shown) or the
// scanning keyboard (panel hidden); everything the window says goes through
// SayText.

#include <QMainWindow>
#include <QString>
#include <array>
#include <deque>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "editor/fontcolour.h"
#include "editor/keyhandling/documentend.h"
#include "editor/selection.h"
#include "editor/scanlayout.h"
#include <optional>
#include <vector>

#include "editor/keyrow.h"
#include "editor/switchfilter.h"
#include "editor/wordsource.h"

class QAction;
class QActionGroup;
class QDialog;
class QFileDialog;
class QFontDialog;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPrintDialog;
class QTimer;
class TFormLletra;

namespace brunzit {
// Where Open and Save start: the program's folder, or the user's documents
// folder when the program's cannot be written.
QString DocumentsStartFolder();
QString StartFolderFor(const QString& programFolder);
class DialogWatch;
class DocumentCommands;
class TextSpeaker;
}

class TFormPrincipal : public QMainWindow {
    Q_OBJECT
public:
    // FormCreate: builds the window, fills ScanBlocks, sets the dialogs'
    // folders and names the document "Sense nom".
    explicit TFormPrincipal(QWidget* parent = nullptr);
    ~TFormPrincipal() override;

    // The windows created after this one, in start-up order. speaker is the
    // speech service; any of them may be null (nothing is shown or said).
    void SetCompanions(QDialog* aboutBox, TFormLletra* formLletra, QDialog* speechWindow,
                       brunzit::TextSpeaker* speaker);

    // The one speaking entry (Windows-1252).
    void SayText(const std::string& text);

    // The editor's text in Windows-1252 with CR LF line breaks, and its
    // replacement (CR LF, lone CR or LF all read as one line break).
    std::string EditorText() const;
    // The end of the text, as much as a choice needs to look back over
    // (Windows-1252, CR LF; a longer text starts with one filler letter).
    std::string TextBeforeChoice() const;
    static constexpr int kChoiceContext = 1024;
    void SetEditorText(const std::string& text);

    // Key handling. Keys are Qt::Key values; the shift state is ignored.
    void EditorKeyDown(int key);
    void FormKeyDown(int key);
    void JumpToEnd();
    bool WantReturns() const { return wantReturns_; }

    // Grid keyboard.
    void KeyAt(int column, int row);
    void ControlMouseMove(QLabel* key, int x, int y);
    void ControlClick(QLabel* key);
    QLabel* GridKey(int column, int row) const;
    // The key lit by the highlight, as assistive technology is told of it.
    QLabel* HighlightedKey() const { return highlightedKey_; }

    // Menu commands. Each is what its item does when clicked; the settings
    // loader runs the option commands directly to apply a stored value.
    void MenuCatalaClick();
    void MenuCastellanoClick();
    void MenuControldelcursoriReturnpercontrolarelteclatClick();
    void MenuLlegirlalletraquesescriuClick();
    void MenuVeureLaLletraQueEsDiuClick();
    void MenuTeclatVisibleClick();
    void MenuLlegirlalletraactualClick();
    void MenuCalcularClick();
    void MenuSintetitzadorClick();
    void MenuParlantClick();
    void MenuSortirClick();

    // Stores the document name and titles the window "<file name> - <application>".
    void SetDocumentName(const std::string& name);

    // Settings, documents, the editor font, the colour scheme and mouse-click
    // control (tformprincipal_keeping.cpp): each hands its work to its block
    // of the editor library.
    void LoadSettings();
    void SaveSettings();
    bool QuerySaveChanges();
    void LoadDocument(const std::string& path);
    bool SaveDocument();
    bool SaveDocumentAs();
    void CopyTextToClipboard(const std::string& text);
    void ApplyDarkColours();
    void MenuNouClick();
    void MenuObrirArxiuClick();
    void MenuFileSaveClick();
    void MenuFileSaveAsClick();
    void MenuImprimirClick();
    void MenuCopiarALaCarpetaClick();
    void MenuCanviarLaFontDelEditorClick();
    void MenuFonsNegreClick();
    void MenuTeclesesquerraiavallambelclicClick();
    void MenuOblidarLesParaulesClick();

    // The poll of the mouse-click control: takes the click report and acts
    // on it. PollMouseHook does the same at a given tick count (milliseconds).
    void TimerMouseHookTimer();
    void PollMouseHook(std::int64_t now);

    // The mouse-hook library's two calls; replaceable so that tests can
    // watch them without a display.
    struct MouseHookCalls {
        std::function<void(unsigned long window)> setHook;
        std::function<void()> unHookHook;
    };
    MouseHookCalls MouseHook;

    // The document commands behind the file menu and the close query.
    brunzit::DocumentCommands* Documents() const { return documents_; }

    // The position of the keyboards and mouse-click control's state.
    const brunzit::Selection& Choosing() const { return selection_; }
    // Puts the keyboards at a position, as the pointer or F1-F3 would.
    void SetPosition(brunzit::Position at) { selection_.setPosition(at); }

    // The current item chosen, as Return chooses it, whatever window has
    // the focus.
    void ChooseCurrent();

    // State shared by the parts of the editor.
    QLabel* CurrentKey = nullptr;
    char CurrentKeyCode = ' ';
    bool SilentClear = false;
    std::string DocumentName;

    // Controls.
    QWidget* PanelEditor = nullptr;
    QPlainTextEdit* Editor = nullptr;
    QWidget* PanelLletres = nullptr;
    QTimer* TimerMouseHook = nullptr;
    QPrintDialog* PrintDialog = nullptr;  // made by the documents area when first needed

    // The editor's font as its font dialog keeps it between uses and the
    // settings file stores it.
    brunzit::FontChoice FontEditor;
    // The dialogs are made when first used: building one takes tens to
    // hundreds of milliseconds, too long to spend while the program starts.
    QFontDialog* FontDialogEditorInstance();
    QFileDialog* OpenDialogInstance();
    QFileDialog* SaveDialogInstance();

    // The keys of the grid keyboard, named after their sign.
    QLabel *A = nullptr, *B = nullptr, *C = nullptr, *D = nullptr, *E = nullptr, *F = nullptr;
    QLabel *G = nullptr, *H = nullptr, *I = nullptr, *J = nullptr, *Return = nullptr, *Llegir = nullptr;
    QLabel *K = nullptr, *L = nullptr, *M = nullptr, *N = nullptr, *O = nullptr, *P = nullptr;
    QLabel *Q = nullptr, *R = nullptr, *S = nullptr, *T = nullptr, *punt = nullptr, *Esborrar = nullptr;
    QLabel *U = nullptr, *V = nullptr, *W = nullptr, *ICS = nullptr, *YGREGA = nullptr, *Z = nullptr;
    QLabel *mes = nullptr, *menys = nullptr, *per = nullptr, *dividid = nullptr, *igual = nullptr,
           *Calcular = nullptr;
    QLabel *zero = nullptr, *un = nullptr, *dos = nullptr, *tres = nullptr, *quatre = nullptr,
           *cinc = nullptr;
    QLabel *sis = nullptr, *siete = nullptr, *vuit = nullptr, *nou = nullptr, *espai = nullptr,
           *Imprimir = nullptr;

    // MainMenu1.
    QMenuBar* MainMenu1 = nullptr;
    QMenu* MenuArxiu = nullptr;
    QAction* MenuNou = nullptr;
    QAction* MenuObrirArxiu = nullptr;
    QAction* MenuFileSave = nullptr;
    QAction* MenuFileSaveAs = nullptr;
    QAction* MenuImprimir = nullptr;
    QAction* MenuSortir = nullptr;
    QMenu* MenuOpcion = nullptr;
    QAction* MenuControldelcursoriReturnpercontrolarelteclat = nullptr;
    QAction* MenuLlegirlalletraquesescriu = nullptr;
    QAction* MenuVeureLaLletraQueEsDiu = nullptr;
    QAction* MenuTeclatVisible = nullptr;
    QAction* MenuLlegirlalletraactual = nullptr;
    QAction* MenuCopiarALaCarpeta = nullptr;
    QAction* MenuCalcular = nullptr;
    QAction* MenuTeclesesquerraiavallambelclic = nullptr;
    QAction* MenuTallarLaVeu = nullptr;
    QAction* MenuCanviarLaFontDelEditor = nullptr;
    QAction* MenuFonsNegre = nullptr;
    // Writing options for switch users, and forgetting the learnt words.
    QAction* MenuTotesLesLletres = nullptr;
    QAction* MenuMinuscules = nullptr;
    QAction* MenuLletresPerFrequencia = nullptr;
    QAction* MenuLletresSegonsLaParaula = nullptr;
    QAction* MenuPrediccioDeParaules = nullptr;
    QAction* MenuOblidarLesParaules = nullptr;
    QAction* MenuEscombratAutomatic = nullptr;
    QMenu* MenuIntervalEscombrat = nullptr;
    // Rows above the grid: the predicted words, and the letters and signs
    // the grid lacks.
    brunzit::KeyRow* FilaParaules = nullptr;
    brunzit::KeyRow* FilaLletres = nullptr;
    QMenu* MenuTempsAcceptacio = nullptr;
    QMenu* MenuTempsBloqueig = nullptr;
    void SetAcceptanceTime(int ms);
    void SetLockoutTime(int ms);
    const brunzit::SwitchTiming& SwitchTiming() const { return switchFilter_.timing(); }
    // Steps the automatic scanning.
    QTimer* TimerAutoScan = nullptr;
    int AutoScanInterval() const { return autoScanMs_; }
    // The one switch of the automatic scanning (Space, Return or the left
    // button's report).
    void AutoScanPress();
    void SayStart();
    void TimerAutoScanTimer();
    QAction* MenuSintetitzador = nullptr;
    QMenu* MenuLlengua = nullptr;
    QAction* MenuCatala = nullptr;
    QAction* MenuCastellano = nullptr;
    QAction* MenuParlant = nullptr;

    // Companions given by SetCompanions.
    QDialog* AboutBox() const { return aboutBox_; }
    TFormLletra* FormLletra() const { return formLletra_; }
    QDialog* SpeechWindow() const { return speechWindow_; }
    brunzit::TextSpeaker* Speaker() const { return speaker_; }

protected:
    // The close query, then the settings; the program ends with this window.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void FormCreate();
    void CreateEditor();
    void CreateKeyboard();
    void CreateMenus();
    void CreateDocuments();
    void CreateMouseClickControl();
    void SetCaptions(bool catalan);
    // Names for screen readers; again after each change of language.
    void NameForAccessibility();
    void ReportHighlight(QLabel* key);

    // Consequences of a tick that changed (by the menu or by a command).
    void CursorControlToggled(bool on);
    void VeureLaLletraToggled(bool on);
    void TeclatVisibleToggled(bool on);
    void FonsNegreToggled(bool on);
    // The scanning keyboard follows the writing options and the language.
    void ApplyWritingOptions();
    void EscombratAutomaticToggled(bool on);
    void SetAutoScanInterval(int ms);
    bool AutoScanning() const;
    // Space or Return as the one switch, pressed or released.
    void SwitchKey(QKeyEvent* event);
    // The rows above the grid follow the options and the words offered.
    void UpdateKeyRows();
    void RowPointed(int row, int index);
    void RowChosen(int row, int index);
    std::vector<brunzit::Position> rowLetters_;  // FilaLletres' keys in the scanning layout
    std::optional<brunzit::Position> rowCurrent_;  // the row key under the pointer
    void OfferWords();
    void SwitchMouseClickOn();
    void SwitchMouseClickOff();

    // Selections (Return) and their helpers.
    void GridSelection(char code, const std::string& answer);
    void ScanSelection();
    void ApplyChoice(const brunzit::Choice& choice);
    void RunFunctionItem(brunzit::FunctionItem item, bool sayOnlyIfTyped = false);
    // Speaking: what the large-letter window shows, the cut of the first
    // text of an input, and a read-all handed over in pieces.
    void ShowSaid(const std::string& text);
    void CutOnInput();
    void Speak(const std::string& spoken);
    void StopSpeaking();
    void ReadAll();
    void SpeakNextPiece();
    // A long text being read, and what was said after it: handed over in
    // order, one piece per pass of the event loop.
    struct Queued {
        QString toRead;       // a read-all's text, or empty
        qsizetype next = 0;   // of toRead, the first character not handed over
        std::string spoken;   // otherwise: a text ready to speak
    };
    std::deque<Queued> queued_;
    QTimer* readTimer_ = nullptr;
    std::string PrintText();
    std::string CalculateEditorLine();
    void AppendText(const std::string& text);
    void DropLastCharacters(std::size_t characters);
    void StopSpeechOnEscape(int key);
    // While an input event is handled, its first text cuts off what is
    // still being said (option "Tallar la veu a cada tecla").
    class InputEvent {
    public:
        explicit InputEvent(TFormPrincipal* form) : form_(form) { form_->cutPending_ = true; }
        ~InputEvent() { form_->cutPending_ = false; }
        InputEvent(const InputEvent&) = delete;
        InputEvent& operator=(const InputEvent&) = delete;
    private:
        TFormPrincipal* form_;
    };
    bool cutPending_ = false;
    int speaking_ = 0;   // inside SpeakText: a voice that runs events meanwhile starts nothing else
    bool polling_ = false;
    QObject* clickOnly_ = nullptr;  // swallows clicks while mouse-click control is on
    void ReplaceBexo();
    brunzit::BexoFixer bexo_;
    void ColourKey(QLabel* key, bool highlighted);
    // Sizes and places the 48 keys and their fonts for a panel of that size.
    void LayoutKeys(QSize panel);
    // The editor font, its colour as the scheme shows it.
    void ApplyEditorFont();
    bool Catalan() const;
    bool GridVisible() const;
    bool SpeakTyped() const;

    std::array<QLabel*, 48> keys_{};
    QLabel* highlightedKey_ = nullptr;
    QLabel* reportedKey_ = nullptr;
    QActionGroup* languageGroup_ = nullptr;
    bool wantReturns_ = false;

    QDialog* aboutBox_ = nullptr;
    TFormLletra* formLletra_ = nullptr;
    QDialog* speechWindow_ = nullptr;
    brunzit::TextSpeaker* speaker_ = nullptr;

    brunzit::DocumentCommands* documents_ = nullptr;
    // Keeps the large-letter window out of the dialogs' way and says what
    // each message box asks.
    brunzit::DialogWatch* dialogWatch_ = nullptr;
    bool lletraHiddenForDialog_ = false;
    void WatchDialogs();
    QFontDialog* fontDialogEditor_ = nullptr;
    QFileDialog* openDialog_ = nullptr;
    QFileDialog* saveDialog_ = nullptr;
    brunzit::Selection selection_;
    brunzit::WordSource words_;
    brunzit::AutoScan autoScan_;
    QActionGroup* intervalGroup_ = nullptr;
    int autoScanMs_ = 1500;
    brunzit::SwitchFilter switchFilter_;
    std::int64_t switchDown_ = -1;
};
