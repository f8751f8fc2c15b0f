// The main window: creation, the editor, the grid keyboard and its mouse
// handling. Key handling is in tformprincipal_keys.cpp, the menus in
// tformprincipal_menus.cpp, the speaking entry in saytext.cpp, settings,
// documents, fonts, colours and mouse clicks in tformprincipal_keeping.cpp.

#include "editor/tformprincipal.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "editor/fontcolour.h"
#include "editor/keyhandling/textrules.h"
#include "editor/scanning.h"
#include "editor/tformlletra.h"
#include "platform/cp1252.h"
#include "platform/paths.h"

namespace {

constexpr int kDesignWidth = 774;
constexpr int kDesignHeight = 596;
constexpr int kPanelLletresHeight = 290;
constexpr int kEditorFontPixels = 16;
constexpr int kKeyFontPixels = 67;
constexpr int kWordKeyFontPixels = 53;
constexpr int kMouseHookPeriodMs = 100;
const QColor kHighlight(255, 0, 0);

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
    setAccessibleName(QStringLiteral("brunzit"));
    CreateEditor();
    CreateKeyboard();
    CreateMenus();
    CreateDocuments();
    CreateMouseClickControl();

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
    central->setAccessibleName(QStringLiteral("Finestra principal"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    PanelEditor = new QWidget(central);
    PanelEditor->setObjectName(QStringLiteral("PanelEditor"));
    PanelEditor->setAccessibleName(QStringLiteral("PanelEditor"));
    auto* editorLayout = new QVBoxLayout(PanelEditor);
    editorLayout->setContentsMargins(0, 0, 0, 0);

    Editor = new QPlainTextEdit(PanelEditor);
    Editor->setObjectName(QStringLiteral("Editor"));
    Editor->setAccessibleName(QStringLiteral("Editor"));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(kEditorFontPixels);
    font.setBold(true);
    Editor->setFont(font);
    QPalette palette = Editor->palette();
    palette.setColor(QPalette::Text, Qt::black);
    Editor->setPalette(palette);
    // Both scroll bars: lines are never wrapped, so a line is a paragraph.
    Editor->setLineWrapMode(QPlainTextEdit::NoWrap);
    Editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Editor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
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
    PanelLletres->setAccessibleName(QStringLiteral("Teclat"));
    PanelLletres->setFixedHeight(kPanelLletresHeight);
    // The extra rows sit above the grid, hidden until their option is on.
    FilaParaules = new brunzit::KeyRow(QStringLiteral("FilaParaules"), centralWidget());
    FilaLletres = new brunzit::KeyRow(QStringLiteral("FilaLletres"), centralWidget());
    for (brunzit::KeyRow* row : {FilaParaules, FilaLletres}) {
        row->hide();
        centralWidget()->layout()->addWidget(row);
        const int which = row == FilaParaules ? 0 : 1;
        connect(row, &brunzit::KeyRow::pointed, this, [this, which](int index) { RowPointed(which, index); });
        connect(row, &brunzit::KeyRow::chosen, this, [this, which](int index) { RowChosen(which, index); });
    }
    centralWidget()->layout()->addWidget(PanelLletres);

    QLabel** members[brunzit::GridRows][brunzit::GridColumns] = {
        {&A, &B, &C, &D, &E, &F, &G, &H, &I, &J, &Return, &Llegir},
        {&K, &L, &M, &N, &O, &P, &Q, &R, &S, &T, &punt, &Esborrar},
        {&U, &V, &W, &ICS, &YGREGA, &Z, &mes, &menys, &per, &dividid, &igual, &Calcular},
        {&zero, &un, &dos, &tres, &quatre, &cinc, &sis, &siete, &vuit, &nou, &espai, &Imprimir},
    };
    // One font shared by all 48 keys: each font of its own would be matched
    // against the font database again.
    QFont keyFont(QStringLiteral("Arial"));
    keyFont.setPixelSize(kKeyFontPixels);
    keyFont.setBold(true);
    QFont wordKeyFont = keyFont;
    wordKeyFont.setPixelSize(kWordKeyFontPixels);
    for (int row = 0; row < brunzit::GridRows; ++row) {
        for (int col = 0; col < brunzit::GridColumns; ++col) {
            const brunzit::GridCell& cell = *brunzit::GridCellAt(col, row);
            auto* key = new QLabel(toQt(cell.caption), PanelLletres);
            key->setObjectName(QString::fromLatin1(cell.name));
            key->setAccessibleName(toQt(brunzit::SpokenKeyName(cell.code)));
            key->setGeometry(col * brunzit::GridKeyWidth, row * brunzit::GridKeyHeight, brunzit::GridKeyWidth,
                             brunzit::GridKeyHeight);
            key->setAlignment(Qt::AlignCenter);
            key->setAutoFillBackground(true);
            key->setFont(brunzit::IsWordKey(cell) ? wordKeyFont : keyFont);
            QPalette palette = key->palette();
            palette.setColor(QPalette::Window, Qt::white);
            palette.setColor(QPalette::WindowText, Qt::black);
            key->setPalette(palette);
            key->setMouseTracking(true);
            key->installEventFilter(this);
            *members[row][col] = key;
            keys_[static_cast<std::size_t>(row * brunzit::GridColumns + col)] = key;
        }
    }
    PanelLletres->hide();
    KeyAt(0, 0);
    ColourKey(CurrentKey, true);
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

namespace {

QFileDialog* makeTextFileDialog(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode)
{
    auto* dialog = new QFileDialog(parent, title, QString::fromStdString(brunzit::executableFolder()),
                                   QStringLiteral("Text Files (*.txt)"));
    dialog->setAccessibleName(title);
    dialog->setAcceptMode(mode);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
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
    cursor.insertText(toQt(brunzit::FromCrLf(text)));
}

void TFormPrincipal::AppendText(const std::string& text)
{
    QTextCursor cursor(Editor->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(toQt(brunzit::FromCrLf(text)));
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
    QPalette palette = key->palette();
    const bool dark = MenuFonsNegre && MenuFonsNegre->isChecked();
    palette.setColor(QPalette::WindowText, highlighted ? kHighlight : dark ? Qt::white : Qt::black);
    key->setPalette(palette);
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

