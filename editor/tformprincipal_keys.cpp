// Key handling of the main window: which keys are taken over from the editor
// and what a selection (Return) on either keyboard writes and says.

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <optional>

#include "calc/dcalculs.h"
#include "editor/keyhandling/textrules.h"
#include "editor/scanning.h"
#include "editor/tformlletra.h"
#include "editor/tformprincipal.h"
#include "platform/cp1252.h"
#include "platform/keyinjection.h"

namespace {

// The line calculated is the one holding this character position: for any
// text shorter than that, the last line, wherever the caret is.
constexpr int kCalculationPosition = 0xFFFF;
constexpr std::size_t kMaxAnswerLength = 255;

constexpr int kF1Item = 0;  // LLEGIR-HO TOT
constexpr int kF2Item = 4;  // ESBORRAR-HO TOT
constexpr int kF3Item = 6;  // CALCULAR

const char* const kPrinted = "Enviat a l'impressora";
const char* const kPrintFailed = "No s'ha pogut imprimir";

std::optional<brunzit::Arrow> ArrowOf(int key)
{
    switch (key) {
    case Qt::Key_Right: return brunzit::Arrow::Right;
    case Qt::Key_Left: return brunzit::Arrow::Left;
    case Qt::Key_Down: return brunzit::Arrow::Down;
    case Qt::Key_Up: return brunzit::Arrow::Up;
    default: return std::nullopt;
    }
}

bool IsReturn(int key)
{
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QString toQt(const std::string& cp1252)
{
    return QString::fromUtf8(brunzit::cp1252ToUtf8(cp1252));
}

std::string fromQt(const QString& text)
{
    return brunzit::utf8ToCp1252(text.toUtf8().toStdString());
}

}  // namespace

bool TFormPrincipal::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Editor) {
        if (event->type() == QEvent::ShortcutOverride) {
            // The editor claims some Ctrl keys for itself (Ctrl+A selects all);
            // the menu's shortcuts win.
            auto* keyEvent = static_cast<QKeyEvent*>(event);
            if (!(keyEvent->modifiers() & Qt::ControlModifier))
                return false;
            const QKeySequence pressed(keyEvent->keyCombination());
            for (QAction* action : findChildren<QAction*>()) {
                if (!action->shortcut().isEmpty() && action->shortcut() == pressed && action->isEnabled()) {
                    event->ignore();
                    return true;
                }
            }
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            EditorKeyDown(key);
            // The editor still gets every key, except that Return breaks a
            // line only while the editor accepts returns.
            return IsReturn(key) && !wantReturns_;
        }
        return false;
    }
    if (auto* key = qobject_cast<QLabel*>(watched); key && key->parentWidget() == PanelLletres) {
        if (event->type() == QEvent::MouseMove) {
            const QPoint at = static_cast<QMouseEvent*>(event)->position().toPoint();
            ControlMouseMove(key, at.x(), at.y());
        } else if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton && key->rect().contains(mouse->position().toPoint()))
                ControlClick(key);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TFormPrincipal::keyPressEvent(QKeyEvent* event)
{
    // Keys the editor ignores bubble up here; they were handled on the way in.
    if (QApplication::focusWidget() == Editor) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    FormKeyDown(event->key());
}

void TFormPrincipal::EditorKeyDown(int key)
{
    if (ArrowOf(key) || IsReturn(key)) {
        FormKeyDown(key);
        return;
    }
    int item = -1;
    switch (key) {
    case Qt::Key_F1: item = kF1Item; break;
    case Qt::Key_F2: item = kF2Item; break;
    case Qt::Key_F3: item = kF3Item; break;
    default: return;
    }
    if (GridVisible()) {
        // On the grid, F1-F3 keep their scanning meaning (read all, clear
        // silently, calculate) and leave the highlight where it is, rather
        // than writing the letters K, O and Q found at those positions.
        if (!MenuControldelcursoriReturnpercontrolarelteclat->isChecked())
            return;
        SilentClear = key == Qt::Key_F2;
        RunFunctionItem(item);
        SilentClear = false;
        JumpToEnd();
        return;
    }
    CursorCol = item;
    CursorRow = brunzit::FunctionsBlock;
    SilentClear = key == Qt::Key_F2;
    FormKeyDown(Qt::Key_Return);
    SilentClear = false;
}

void TFormPrincipal::FormKeyDown(int key)
{
    if (!MenuControldelcursoriReturnpercontrolarelteclat->isChecked())
        return;
    const std::optional<brunzit::Arrow> arrow = ArrowOf(key);

    if (GridVisible()) {
        KeyAt(CursorCol, CursorRow);
        ColourKey(CurrentKey, false);
        if (arrow) {
            const brunzit::Step step = brunzit::GridMove({CursorCol, CursorRow}, *arrow);
            CursorCol = step.to.col;
            CursorRow = step.to.row;
        }
        const char code = CurrentKeyCode;
        // The calculation's answer is said, so it comes first; every other
        // change waits until the key has been said (GridSelection).
        std::string answer;
        if (IsReturn(key) && code == brunzit::CodeCalcular)
            answer = CalculateEditorLine();
        KeyAt(CursorCol, CursorRow);
        ColourKey(CurrentKey, true);
        JumpToEnd();
        if (!IsReturn(key)) {
            if (MenuLlegirlalletraactual->isChecked())
                SayText(brunzit::SpokenKeyName(CurrentKeyCode));
            return;
        }
        GridSelection(code, answer);
        return;
    }

    if (MenuVeureLaLletraQueEsDiu->isChecked() && formLletra_ && formLletra_->isVisible())
        formLletra_->hide();
    JumpToEnd();
    if (arrow) {
        const brunzit::Step step = brunzit::ScanMove({CursorCol, CursorRow}, *arrow, Catalan());
        CursorCol = step.to.col;
        CursorRow = step.to.row;
        SayText(step.say);
    } else if (IsReturn(key)) {
        ScanSelection();
    }
}

// Speech comes before the text change wherever what is said does not depend
// on it: the user works by ear, and laying out a long line must not delay the
// echo of the key.
void TFormPrincipal::GridSelection(char code, const std::string& answer)
{
    switch (code) {
    case brunzit::CodeLlegir:
        ReadAll();
        return;
    case brunzit::CodeReturn:
        if (SpeakTyped())
            SayText("Nova l\xEDnia");
        AppendText("\r\n");
        return;
    case brunzit::CodeEsborrar:
        if (SpeakTyped())
            SayText("Text esborrat");
        SetEditorText(std::string());
        return;
    case brunzit::CodeImprimir: {
        const std::string outcome = PrintText();
        if (SpeakTyped())
            SayText(outcome);
        return;
    }
    case brunzit::CodeCalcular:
        if (SpeakTyped())
            SayText(answer);
        return;
    default:
        if (SpeakTyped())
            SayText(brunzit::SpokenKeyName(code));
        AppendText(std::string(1, code));
        return;
    }
}

void TFormPrincipal::ScanSelection()
{
    if (CursorCol < 0) {
        // A block name is not something to write: a Return on it says where
        // the user is and leaves the position alone.
        SayText(brunzit::ScanBlocks[CursorRow][0]);
        return;
    }
    const std::string entry = brunzit::ScanBlocks[CursorRow][CursorCol + 1];
    if (CursorRow == brunzit::FunctionsBlock) {
        RunFunctionItem(CursorCol);
    } else if (entry == "retorn") {
        AppendText("\r\n");
        SayText(entry);
    } else {
        const std::string written = brunzit::ScanEntryText(entry);
        if (written == " " || written == "." || written == ",") {
            // The word just finished, with its separator, read as it will be
            // kept: a "BEXO" never straddles a separator, so the word can be
            // fixed on its own and the whole text afterwards.
            const std::string tail = EditorTailWithLastSeparator() + written;
            SayText(brunzit::ReplaceBexo(brunzit::LastWord(tail, static_cast<long>(tail.size()) - 1)));
            AppendText(written);
            ReplaceBexo();
        } else {
            if (SpeakTyped())
                SayText(entry);
            AppendText(written);
        }
    }
    CursorRow = brunzit::LettersBlock;
    CursorCol = MenuTeclesesquerraiavallambelclic->isChecked() ? -1 : 0;
}

void TFormPrincipal::RunFunctionItem(int item)
{
    switch (item) {
    case 0:
        ReadAll();
        break;
    case 1: {
        ReplaceBexo();
        const std::string tail = EditorTailWithLastSeparator();
        SayText(brunzit::LastWord(tail, static_cast<long>(tail.size())));
        break;
    }
    case 2: {
        const brunzit::Split split = brunzit::RemoveLastLetter(EditorText());
        TruncateEditorText(split.kept);
        SayText("\xDAltima lletra esborrada: " + split.removed);
        break;
    }
    case 3: {
        const brunzit::Split split = brunzit::DeleteLastWord(EditorText());
        TruncateEditorText(split.kept);
        SayText("He esborrat l'\xFAltima paraula: " + split.removed);
        break;
    }
    case 4:
        SetEditorText(std::string());
        if (!SilentClear)
            SayText("Text esborrat");
        break;
    case 5:
        SayText(PrintText());
        break;
    case 6:
        SayText(CalculateEditorLine());
        break;
    default:
        break;
    }
}

void TFormPrincipal::ReadAll()
{
    ReplaceBexo();
    SayText(EditorText());
}

void TFormPrincipal::ReplaceBexo()
{
    // In place, occurrence by occurrence: an unchanged document stays
    // unmodified, and a long one is not rebuilt.
    QTextDocument* document = Editor->document();
    const QString pattern = QStringLiteral("BEXO");
    const QString replacement = QStringLiteral("BEX\u00D3");
    for (QTextCursor found = document->find(pattern, 0, QTextDocument::FindCaseSensitively); !found.isNull();
         found = document->find(pattern, found, QTextDocument::FindCaseSensitively))
        found.insertText(replacement);
}

std::string TFormPrincipal::EditorTailWithLastSeparator() const
{
    // Whole lines from the end, back to the first line holding a word
    // separator; the last word never reaches further back.
    QStringList lines;
    for (QTextBlock line = Editor->document()->lastBlock(); line.isValid(); line = line.previous()) {
        const QString text = line.text();
        lines.prepend(text);
        if (text.contains(QLatin1Char(' ')) || text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('.'))) {
            // Keep the line break before it, so that the text's first
            // character, never examined, is not this line's first.
            if (line.previous().isValid())
                lines.prepend(QString());
            break;
        }
    }
    return brunzit::ToCrLf(fromQt(lines.join(QLatin1Char('\n'))));
}

void TFormPrincipal::TruncateEditorText(const std::string& kept)
{
    QTextCursor cursor(Editor->document());
    cursor.setPosition(static_cast<int>(toQt(brunzit::FromCrLf(kept)).size()));
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

std::string TFormPrincipal::PrintText()
{
    // At once on the current printer: no dialog, no document title. A failure
    // is said as such rather than reported as sent.
    const QPrinterInfo current = QPrinterInfo::defaultPrinter();
    if (current.isNull())
        return kPrintFailed;
    QPrinter printer(current, QPrinter::HighResolution);
    if (!printer.isValid())
        return kPrintFailed;
    printer.setDocName(QString());
    Editor->document()->print(&printer);
    return printer.printerState() == QPrinter::Error ? kPrintFailed : kPrinted;
}

std::string TFormPrincipal::CalculateEditorLine()
{
    QTextDocument* document = Editor->document();
    const int lastPosition = document->characterCount() - 1;
    QTextBlock line = document->findBlock(std::min(kCalculationPosition, lastPosition));
    if (!line.isValid())
        line = document->lastBlock();
    std::string answer = brunzit::CalculateLine(fromQt(line.text()));
    if (answer.size() > kMaxAnswerLength)
        answer.resize(kMaxAnswerLength);

    // The line is replaced by the answer followed by a line break: after the
    // last line, writing goes on on a new empty line.
    QTextCursor cursor(line);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QString replacement = toQt(answer);
    const bool wasLast = line.next().isValid() == false;
    if (wasLast)
        replacement += QLatin1Char('\n');
    cursor.insertText(replacement);
    if (!wasLast)
        cursor.movePosition(QTextCursor::NextBlock);
    Editor->setTextCursor(cursor);
    return answer;
}

void TFormPrincipal::JumpToEnd()
{
    // Queued behind the key being handled: the editor moves its caret for
    // that key first, then to the end of the text.
    brunzit::injectCtrlEnd();
}
