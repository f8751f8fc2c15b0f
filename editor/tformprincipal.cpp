// The main window: creation, the editor, the grid keyboard and its mouse
// handling. Key handling is in tformprincipal_keys.cpp, the menus in
// tformprincipal_menus.cpp, the speaking entry in saytext.cpp, settings,
// documents, fonts, colours and mouse clicks in tformprincipal_keeping.cpp.

#include "editor/tformprincipal.h"
#include "editor/keyhandling/documentend.h"

#include <QAction>
#include <QApplication>
#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QFontDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "editor/dialogwatch.h"
#include "editor/fontcolour.h"
#include "editor/gridkey.h"
#include "editor/keyhandling/textrules.h"
#include "editor/scanning.h"
#include "editor/tformlletra.h"
#include "platform/cp1252.h"
#include "platform/paths.h"
#include "platform/windowing.h"

namespace {

constexpr int kDesignWidth = 774;
constexpr int kDesignHeight = 596;
constexpr int kPanelLletresHeight = 290;
constexpr int kEditorFontPixels = 16;
constexpr int kKeyFontPixels = 67;
constexpr int kWordKeyFontPixels = 53;
constexpr int kMouseHookPeriodMs = 100;
// Shares of the window's height: the editor above, the keyboard below.
constexpr int kEditorShare = 11;
constexpr int kKeyboardShare = 9;

QString toQt(const std::string& cp1252)
{
    return QString::fromUtf8(brunzit::cp1252ToUtf8(cp1252));
}

std::string fromQt(const QString& text)
{
    return brunzit::utf8ToCp1252(text.toUtf8().toStdString());
}

}  // namespace

TFormPrincipal::TFormPrincipal(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FormPrincipal"));
    CreateEditor();
    CreateKeyboard();
    CreateMenus();
    CreateDocuments();
    CreateMouseClickControl();
    NameForAccessibility();
    WatchDialogs();

    TimerMouseHook = new QTimer(this);
    TimerMouseHook->setObjectName(QStringLiteral("TimerMouseHook"));
    TimerMouseHook->setInterval(kMouseHookPeriodMs);
    connect(TimerMouseHook, &QTimer::timeout, this, &TFormPrincipal::TimerMouseHookTimer);
    TimerMouseHook->start();

    TimerAutoScan = new QTimer(this);
    TimerAutoScan->setObjectName(QStringLiteral("TimerAutoScan"));
    TimerAutoScan->setInterval(autoScanMs_);
    connect(TimerAutoScan, &QTimer::timeout, this, &TFormPrincipal::TimerAutoScanTimer);

    resize(kDesignWidth, kDesignHeight);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setWindowState(Qt::WindowMaximized);

    FormCreate();
}

TFormPrincipal::~TFormPrincipal() = default;

void TFormPrincipal::FormCreate()
{
    brunzit::FillScanBlocks();
    SilentClear = false;
    // The font dialog's choice: the editor's font (and colour) from now on.
    FontEditor = brunzit::initialEditorFont();
    SetDocumentName("Sense nom");
}

void TFormPrincipal::CreateEditor()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PanelEditor = new QWidget(central);
    PanelEditor->setObjectName(QStringLiteral("PanelEditor"));
    auto* editorLayout = new QVBoxLayout(PanelEditor);
    editorLayout->setContentsMargins(0, 0, 0, 0);

    Editor = new QPlainTextEdit(PanelEditor);
    Editor->setObjectName(QStringLiteral("Editor"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kEditorFontPixels);
    font.setBold(true);
    Editor->setFont(font);
    QPalette palette = Editor->palette();
    palette.setColor(QPalette::Text, Qt::black);
    Editor->setPalette(palette);
    // Long lines wrap at the window's edge, where a user who cannot scroll
    // sideways still sees them; a line of the text is still a paragraph.
    Editor->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Editor->installEventFilter(this);
    editorLayout->addWidget(Editor);

    layout->addWidget(PanelEditor, 1);
    setCentralWidget(central);
    Editor->setFocus();
}

void TFormPrincipal::CreateKeyboard()
{
    PanelLletres = new QWidget(centralWidget());
    PanelLletres->setObjectName(QStringLiteral("PanelLletres"));
    // The keys grow with the window: the panel takes a good share of the
    // height, never less than the design's.
    PanelLletres->setMinimumHeight(kPanelLletresHeight);
    PanelLletres->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* layout = static_cast<QVBoxLayout*>(centralWidget()->layout());
    // The extra rows sit above the grid, hidden until their option is on.
    FilaParaules = new brunzit::KeyRow(QStringLiteral("FilaParaules"), centralWidget());
    FilaLletres = new brunzit::KeyRow(QStringLiteral("FilaLletres"), centralWidget());
    for (brunzit::KeyRow* row : {FilaParaules, FilaLletres}) {
        row->hide();
        layout->addWidget(row);
        const int which = row == FilaParaules ? 0 : 1;
        connect(row, &brunzit::KeyRow::pointed, this, [this, which](int index) { RowPointed(which, index); });
        connect(row, &brunzit::KeyRow::chosen, this, [this, which](int index) { RowChosen(which, index); });
    }
    layout->addWidget(PanelLletres);
    layout->setStretchFactor(PanelEditor, kEditorShare);
    layout->setStretchFactor(PanelLletres, kKeyboardShare);
    PanelLletres->installEventFilter(this);

    QLabel** members[brunzit::GridRows][brunzit::GridColumns] = {
        {&A, &B, &C, &D, &E, &F, &G, &H, &I, &J, &Return, &Llegir},
        {&K, &L, &M, &N, &O, &P, &Q, &R, &S, &T, &punt, &Esborrar},
        {&U, &V, &W, &ICS, &YGREGA, &Z, &mes, &menys, &per, &dividid, &igual, &Calcular},
        {&zero, &un, &dos, &tres, &quatre, &cinc, &sis, &siete, &vuit, &nou, &espai, &Imprimir},
    };
    for (int row = 0; row < brunzit::GridRows; ++row) {
        for (int col = 0; col < brunzit::GridColumns; ++col) {
            const brunzit::GridCell& cell = *brunzit::GridCellAt(col, row);
            auto* key = new brunzit::GridKey(toQt(cell.caption), PanelLletres);
            key->setObjectName(QString::fromLatin1(cell.name));
            key->setMouseTracking(true);
            key->installEventFilter(this);
            *members[row][col] = key;
            keys_[static_cast<std::size_t>(row * brunzit::GridColumns + col)] = key;
        }
    }
    LayoutKeys(QSize(brunzit::GridColumns * brunzit::GridKeyWidth, brunzit::GridRows * brunzit::GridKeyHeight));
    PanelLletres->hide();
    KeyAt(0, 0);
    ColourKey(CurrentKey, true);
}

void TFormPrincipal::LayoutKeys(QSize panel)
{
    // Equal keys from the panel's top-left corner, so that the pointer's cell
    // is its position divided by the size of "A".
    const QSize key(std::max(1, panel.width() / brunzit::GridColumns),
                    std::max(1, panel.height() / brunzit::GridRows));
    if (A && A->size() == key)
        return;
    // Two fonts, shared by the keys that use them (a font of its own per key
    // would be matched against the font database again): one for the
    // one-sign keys and one for the five word keys, each as large as the
    // design's proportion allows and shrunk until every caption fits.
    QStringList signs;
    QStringList words;
    for (int row = 0; row < brunzit::GridRows; ++row)
        for (int col = 0; col < brunzit::GridColumns; ++col) {
            const brunzit::GridCell& cell = *brunzit::GridCellAt(col, row);
            (brunzit::IsWordKey(cell) ? words : signs) << toQt(cell.caption);
        }
    QFont keyFont(QStringLiteral("Arial"));
    keyFont.setBold(true);
    const QSize box = brunzit::GridKey::captionBoxFor(key).size();
    QFont signFont = keyFont;
    signFont.setPixelSize(brunzit::fittingPixelSize(keyFont, signs, box,
                                                    key.height() * kKeyFontPixels / brunzit::GridKeyHeight));
    QFont wordFont = keyFont;
    wordFont.setPixelSize(brunzit::fittingPixelSize(keyFont, words, box,
                                                    key.height() * kWordKeyFontPixels / brunzit::GridKeyHeight));
    for (int row = 0; row < brunzit::GridRows; ++row)
        for (int col = 0; col < brunzit::GridColumns; ++col) {
            QLabel* label = GridKey(col, row);
            label->setGeometry(col * key.width(), row * key.height(), key.width(), key.height());
            label->setFont(brunzit::IsWordKey(*brunzit::GridCellAt(col, row)) ? wordFont : signFont);
        }
}

QFontDialog* TFormPrincipal::FontDialogEditorInstance()
{
    if (!fontDialogEditor_) {
        fontDialogEditor_ = new QFontDialog(this);
        fontDialogEditor_->setObjectName(QStringLiteral("FontDialogEditor"));
        fontDialogEditor_->setAccessibleName(QStringLiteral("Font de l'editor"));
        brunzit::prepareFontDialog(fontDialogEditor_, FontEditor);
    }
    return fontDialogEditor_;
}

namespace brunzit {

QString DocumentsStartFolder()
{
    return StartFolderFor(QString::fromStdString(executableFolder()));
}

QString StartFolderFor(const QString& program)
{
    // An installed program's folder cannot be written: the user's documents.
    if (QFileInfo(program).isWritable())
        return program;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && (QFileInfo(documents).isDir() || QDir().mkpath(documents)))
        return documents;
    return QDir::homePath();
}

}  // namespace brunzit

namespace {

QFileDialog* makeTextFileDialog(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode)
{
    auto* dialog = new QFileDialog(parent, title, brunzit::DocumentsStartFolder(),
                                   QStringLiteral("Text Files (*.txt)"));
    dialog->setAccessibleName(title);
    dialog->setAcceptMode(mode);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    // A name typed while the completion list shows must not leave the list
    // open over the editor, catching every key, once the dialog has closed.
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
        for (QCompleter* completer : dialog->findChildren<QCompleter*>())
            if (completer->popup())
                completer->popup()->hide();
        // Each Open starts from an empty name, not the last one typed.
        if (dialog->acceptMode() == QFileDialog::AcceptOpen) {
            dialog->selectFile(QString());
            for (QLineEdit* name : dialog->findChildren<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->clear();
        }
    });
    return dialog;
}

}  // namespace

QFileDialog* TFormPrincipal::OpenDialogInstance()
{
    if (!openDialog_) {
        openDialog_ = makeTextFileDialog(this, QStringLiteral("Obrir"), QFileDialog::AcceptOpen);
        openDialog_->setObjectName(QStringLiteral("OpenDialog"));
        openDialog_->setFileMode(QFileDialog::ExistingFile);
    }
    return openDialog_;
}

QFileDialog* TFormPrincipal::SaveDialogInstance()
{
    if (!saveDialog_) {
        saveDialog_ = makeTextFileDialog(this, QStringLiteral("Salvar"), QFileDialog::AcceptSave);
        saveDialog_->setObjectName(QStringLiteral("SaveDialog"));
    }
    return saveDialog_;
}

void TFormPrincipal::SetCompanions(QDialog* aboutBox, TFormLletra* formLletra, QDialog* speechWindow,
                                   brunzit::TextSpeaker* speaker)
{
    aboutBox_ = aboutBox;
    formLletra_ = formLletra;
    speechWindow_ = speechWindow;
    speaker_ = speaker;
    if (formLletra_) {
        // Closed by its title bar: the next spoken text must not bring it back.
        connect(formLletra_, &TFormLletra::ClosedByTitleBar, this, [this] {
            if (MenuVeureLaLletraQueEsDiu->isChecked())
                MenuVeureLaLletraQueEsDiu->setChecked(false);
        });
    }
}

void TFormPrincipal::WatchDialogs()
{
    dialogWatch_ = new brunzit::DialogWatch(this);
    dialogWatch_->firstOpened = [this] {
        if (formLletra_ && formLletra_->isVisible()) {
            formLletra_->hide();
            lletraHiddenForDialog_ = true;
        }
    };
    dialogWatch_->lastClosed = [this] {
        const bool back = std::exchange(lletraHiddenForDialog_, false);
        if (back && formLletra_ && MenuVeureLaLletraQueEsDiu->isChecked()) {
            formLletra_->show();
            if (isVisible())
                brunzit::bringToFront(this);
        }
    };
    dialogWatch_->messageShown = [this](const QString& said) { SayText(fromQt(said)); };
}

std::string TFormPrincipal::TextBeforeChoice() const
{
    // A choice looks back over the word being written and the sentence it
    // is in, never the whole document: the key path must not grow with it.
    return brunzit::ReadDocumentEnd(*Editor->document(), kChoiceContext).text;
}

std::string TFormPrincipal::EditorText() const
{
    return brunzit::ToCrLf(fromQt(Editor->toPlainText()));
}

void TFormPrincipal::SetEditorText(const std::string& text)
{
    // Through a cursor, not setPlainText: the change stays undoable and marks
    // the document modified, as typing would.
    QTextCursor cursor(Editor->document());
    cursor.select(QTextCursor::Document);
    cursor.insertText(brunzit::Cp1252ToEditorText(text));
}

void TFormPrincipal::AppendText(const std::string& text)
{
    QTextCursor cursor(Editor->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(brunzit::Cp1252ToEditorText(text));
}

// ---- Grid keyboard ---------------------------------------------------------

QLabel* TFormPrincipal::GridKey(int column, int row) const
{
    if (!brunzit::GridCellAt(column, row))
        return nullptr;
    return keys_[static_cast<std::size_t>(row * brunzit::GridColumns + column)];
}

void TFormPrincipal::KeyAt(int column, int row)
{
    CurrentKeyCode = ' ';
    if (const brunzit::GridCell* cell = brunzit::GridCellAt(column, row)) {
        CurrentKey = GridKey(column, row);
        CurrentKeyCode = cell->code;
    }
}

void TFormPrincipal::ColourKey(QLabel* key, bool highlighted)
{
    if (!key)
        return;
    // One key at a time: highlighting a key takes the highlight off any
    // other, whatever sequence of scheme and keyboard switches came before.
    const bool dark = MenuFonsNegre && MenuFonsNegre->isChecked();
    for (QLabel* other : keys_) {
        auto* gridKey = static_cast<brunzit::GridKey*>(other);
        gridKey->setScheme(dark);
        if (other == key)
            gridKey->setHighlighted(highlighted);
        else if (highlighted)
            gridKey->setHighlighted(false);
    }
    if (highlighted)
        ReportHighlight(key);
}

void TFormPrincipal::ControlMouseMove(QLabel* key, int x, int y)
{
    const int column = (x + key->x()) / A->width();
    const int row = (y + key->y()) / A->height();
    const brunzit::Position from = selection_.position();
    // Back from a row above the grid, the key is said again even if it is
    // the current one: Return will choose it.
    const bool fromRow = rowCurrent_.has_value();
    rowCurrent_.reset();
    if (!selection_.pointAt(column, row) && !fromRow)
        return;
    const InputEvent input(this);
    KeyAt(from.col, from.row);
    ColourKey(CurrentKey, false);
    KeyAt(column, row);
    // The pointer always says the key, whatever the reading options say.
    SayText(brunzit::SpokenKeyName(CurrentKeyCode));
    ColourKey(CurrentKey, true);
    Editor->moveCursor(QTextCursor::End);
}

void TFormPrincipal::ControlClick(QLabel*)
{
    // The key the pointer made current.
    Editor->setFocus();
    ChooseCurrent();
}

