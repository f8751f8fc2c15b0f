// Key handling of the main window: which keys are taken over from the editor
// and what a selection (Return) on either keyboard writes and says.

#include <algorithm>
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
#include "editor/keyhandling/documentend.h"
#include "editor/keyhandling/textrules.h"
#include "editor/scanning.h"
#include "editor/tformlletra.h"
#include "editor/tformprincipal.h"
#include "platform/cp1252.h"
#include "speech/textspeaker.h"

namespace {

// The line calculated is the one holding this character position: for any
// text shorter than that, the last line, wherever the caret is.
constexpr int kCalculationPosition = 0xFFFF;
constexpr std::size_t kMaxAnswerLength = 255;

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
        if (event->type() == QEvent::KeyRelease) {
            auto* release = static_cast<QKeyEvent*>(event);
            if (AutoScanning() && (release->key() == Qt::Key_Space || IsReturn(release->key()))) {
                SwitchKey(release);
                return true;
            }
        } else if (event->type() == QEvent::ShortcutOverride) {
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
            if (AutoScanning() && (key == Qt::Key_Space || IsReturn(key))) {
                SwitchKey(static_cast<QKeyEvent*>(event));
                return true;
            }
            EditorKeyDown(key);
            // The editor still gets every other key. Arrows that drive a
            // keyboard must not move the caret, which stays at the end; Return
            // breaks a line only while the editor accepts returns.
            const bool driving = MenuControldelcursoriReturnpercontrolarelteclat->isChecked();
            return (ArrowOf(key) && driving) || (IsReturn(key) && !wantReturns_);
        }
        return false;
    }
    if (watched == PanelLletres && event->type() == QEvent::Resize) {
        LayoutKeys(static_cast<QResizeEvent*>(event)->size());
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
    StopSpeechOnEscape(event->key());
    if (AutoScanning() && (event->key() == Qt::Key_Space || IsReturn(event->key()))) {
        SwitchKey(event);
        return;
    }
    FormKeyDown(event->key());
}

void TFormPrincipal::keyReleaseEvent(QKeyEvent* event)
{
    if (QApplication::focusWidget() != Editor && AutoScanning() &&
        (event->key() == Qt::Key_Space || IsReturn(event->key()))) {
        SwitchKey(event);
        return;
    }
    QMainWindow::keyReleaseEvent(event);
}

void TFormPrincipal::StopSpeechOnEscape(int key)
{
    if (key == Qt::Key_Escape)
        StopSpeaking();
}

void TFormPrincipal::EditorKeyDown(int key)
{
    const InputEvent input(this);
    StopSpeechOnEscape(key);
    if (ArrowOf(key) || IsReturn(key)) {
        FormKeyDown(key);
        return;
    }
    brunzit::FunctionItem item;
    switch (key) {
    case Qt::Key_F1: item = brunzit::FunctionItem::ReadAll; break;
    case Qt::Key_F2: item = brunzit::FunctionItem::DeleteAll; break;
    case Qt::Key_F3: item = brunzit::FunctionItem::Calculate; break;
    default: return;
    }
    if (GridVisible() && !MenuControldelcursoriReturnpercontrolarelteclat->isChecked())
        return;
    SilentClear = key == Qt::Key_F2;
    if (GridVisible()) {
        // On the grid, F1-F3 keep their scanning meaning (read all, clear
        // silently, calculate) and leave the highlight where it is, rather
        // than writing the letters K, O and Q found at those positions.
        RunFunctionItem(item);
        JumpToEnd();
    } else {
        selection_.selectFunction(item);
        ChooseCurrent();
    }
    SilentClear = false;
}

void TFormPrincipal::FormKeyDown(int key)
{
    if (!MenuControldelcursoriReturnpercontrolarelteclat->isChecked())
        return;
    const InputEvent input(this);
    const std::optional<brunzit::Arrow> arrow = ArrowOf(key);

    if (GridVisible()) {
        if (arrow) {
            rowCurrent_.reset();
            KeyAt(selection_.position().col, selection_.position().row);
            ColourKey(CurrentKey, false);
            selection_.gridMove(*arrow);
            KeyAt(selection_.position().col, selection_.position().row);
            ColourKey(CurrentKey, true);
            JumpToEnd();
            if (MenuLlegirlalletraactual->isChecked())
                SayText(brunzit::SpokenKeyName(CurrentKeyCode));
        } else if (IsReturn(key)) {
            ChooseCurrent();
        }
        return;
    }

    if (MenuVeureLaLletraQueEsDiu->isChecked() && formLletra_ && formLletra_->isVisible())
        formLletra_->hide();
    JumpToEnd();
    if (arrow)
        SayText(selection_.scanMove(*arrow, Catalan()).say);
    else if (IsReturn(key))
        ChooseCurrent();
}

void TFormPrincipal::ChooseCurrent()
{
    if (!MenuControldelcursoriReturnpercontrolarelteclat->isChecked())
        return;
    const InputEvent input(this);
    if (GridVisible()) {
        KeyAt(selection_.position().col, selection_.position().row);
        ColourKey(CurrentKey, true);
        JumpToEnd();
        if (rowCurrent_) {
            // A key of the rows above the grid, under the pointer.
            ApplyChoice(selection_.layout().choose(*rowCurrent_, TextBeforeChoice()));
        } else {
            brunzit::Choice choice = brunzit::GridChoice(CurrentKeyCode);
            if (MenuMinuscules->isChecked() && choice.kind == brunzit::Choice::Kind::Write && choice.write != "\r\n")
                choice.write = brunzit::CaseFor(choice.write, true, TextBeforeChoice());
            ApplyChoice(choice);
        }
        if (MenuPrediccioDeParaules->isChecked())
            OfferWords();
        return;
    }
    JumpToEnd();
    const bool shaped = selection_.shaped() && !MenuTeclesesquerraiavallambelclic->isChecked();
    const brunzit::Choice choice =
        selection_.chooseScan(MenuTeclesesquerraiavallambelclic->isChecked(), shaped ? TextBeforeChoice() : std::string());
    ApplyChoice(choice);
    // Each choice brings the words for what is written now, and the
    // scanning stands on the first: it is said, since a word never heard
    // cannot be chosen. The automatic scanning says the blocks instead.
    if (shaped && MenuPrediccioDeParaules->isChecked() && choice.kind != brunzit::Choice::Kind::Say) {
        OfferWords();
        const brunzit::Position at = selection_.position();
        if (at.row == brunzit::PredictionBlock && !AutoScanning())
            SayText(selection_.layout().blocks()[brunzit::PredictionBlock].items[static_cast<std::size_t>(at.col)].say);
    }
}

// Speech comes before the text change wherever what is said does not depend
// on it: the user works by ear, and laying out a long line must not delay the
// echo of the key.
void TFormPrincipal::ApplyChoice(const brunzit::Choice& choice)
{
    using Kind = brunzit::Choice::Kind;
    switch (choice.kind) {
    case Kind::Nothing:
        return;
    case Kind::Say:
        SayText(choice.say);
        return;
    case Kind::Write:
        if (!choice.sayOnlyIfTyped || SpeakTyped())
            SayText(choice.say);
        if (choice.replace)
            DropLastCharacters(choice.replace);
        AppendText(choice.write);
        return;
    case Kind::EndWord:
        // A sign taking the space a chosen word brought.
        if (choice.replace)
            DropLastCharacters(choice.replace);
        // The word just finished, with its separator, read as it will be
        // kept: a "BEXO" never straddles a separator, so the word can be
        // fixed on its own and the text afterwards.
        SayText(brunzit::ReplaceBexo(brunzit::LastWordAtEnd(*Editor->document(), choice.write.substr(0, 1))));
        AppendText(choice.write);
        ReplaceBexo();
        return;
    case Kind::Function:
        RunFunctionItem(choice.function, choice.sayOnlyIfTyped);
        return;
    }
}

// Letters a chosen word replaces, or the space a sign takes: at the end of the
// document, never more than it holds.
void TFormPrincipal::DropLastCharacters(std::size_t characters)
{
    QTextCursor cursor(Editor->document());
    cursor.movePosition(QTextCursor::End);
    cursor.movePosition(QTextCursor::PreviousCharacter, QTextCursor::KeepAnchor, static_cast<int>(characters));
    cursor.removeSelectedText();
}

void TFormPrincipal::RunFunctionItem(brunzit::FunctionItem item, bool sayOnlyIfTyped)
{
    const bool speak = !sayOnlyIfTyped || SpeakTyped();
    using brunzit::FunctionItem;
    switch (item) {
    case FunctionItem::ReadAll:
        ReadAll();
        break;
    case FunctionItem::ReadLastWord:
        ReplaceBexo();
        SayText(brunzit::LastWordAtEnd(*Editor->document(), std::string()));
        break;
    case FunctionItem::DeleteLastLetter:
    case FunctionItem::DeleteLastWord: {
        const brunzit::EndEdit edit = brunzit::DeleteAtEnd(*Editor->document(), item);
        SayText(edit.say);
        if (edit.cutAt >= 0)
            brunzit::CutDocumentAt(*Editor->document(), edit.cutAt);
        break;
    }
    case FunctionItem::DeleteAll:
        if (speak && !SilentClear)
            SayText("Text esborrat");
        SetEditorText(std::string());
        break;
    case FunctionItem::Print: {
        const std::string outcome = PrintText();
        if (speak)
            SayText(outcome);
        break;
    }
    case FunctionItem::Calculate: {
        const std::string answer = CalculateEditorLine();
        if (speak)
            SayText(answer);
        break;
    }
    }
}

void TFormPrincipal::ReplaceBexo()
{
    bexo_.Fix(Editor->document());
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
    Editor->moveCursor(QTextCursor::End);
}
