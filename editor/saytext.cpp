#include "editor/saytext.h"


#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <array>
#include <utility>

#include "editor/dialogwatch.h"
#include "editor/keyhandling/documentend.h"
#include "editor/scanning.h"
#include "editor/tformlletra.h"
#include "editor/tformprincipal.h"
#include "platform/cp1252.h"
#include "platform/windowing.h"
#include "speech/textspeaker.h"
#include "speech/unittools.h"

namespace brunzit {

std::string DisplayForm(const std::string& spoken)
{
    // First match wins; exact and case-sensitive.
    static const std::array<std::pair<const char*, const char*>, 18> kTable{{
        {"espai", " "},
        {"ii grega", "Y"},
        {"i grega", "Y"},
        {"AA", "A"},
        {"aa", "A"},
        {"ii", "I"},
        {"uu", "U"},
        {"quu", "Q"},
        {"\xC8", "E"},
        {"punt", "."},
        {"coma", ","},
        {"interrogaci\xF3", "?"},
        {"admiraci\xF3", "!"},
        {"ap\xF3strof", "'"},
        {"m\xE9s", "+"},
        {"menys", "-"},
        {"per", "*"},
        {"dividid", "/"},
    }};
    for (const auto& [form, shown] : kTable) {
        if (spoken == form)
            return shown;
    }
    return spoken;
}

bool IsSoundFileName(const std::string& text)
{
    if (text.size() < 4)
        return false;
    const std::string tail = UpperCaseAscii(text.substr(text.size() - 4));
    return tail == ".WAV" || tail == ".MP3";
}

std::string LowerCaseAscii(const std::string& text)
{
    std::string result = text;
    for (char& c : result) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return result;
}

std::optional<std::string> SpokenText(const std::string& text, bool catalan)
{
    const std::string said = catalan && text == "\xD1" ? std::string("enye") : text;
    if (said.empty() || IsSoundFileName(said))
        return std::nullopt;
    return LowerCaseAscii(ReplaceLineBreaks(said));
}

}  // namespace brunzit

void TFormPrincipal::ShowSaid(const std::string& text)
{
    if (!formLletra_ || !MenuVeureLaLletraQueEsDiu->isChecked())
        return;
    // Function and block names are said but not shown.
    const brunzit::Position at = selection_.position();
    const bool hidden = !GridVisible() && (at.row == brunzit::FunctionsBlock || at.col == -1);
    const std::string shown = hidden ? std::string() : brunzit::DisplayForm(text);
    if (formLletra_->LabelLletra)
        formLletra_->LabelLletra->setText(QString::fromUtf8(brunzit::cp1252ToUtf8(shown)));
    // While a dialog is open the letter waits behind it; the dialog keeps
    // the keyboard.
    if (dialogWatch_ && dialogWatch_->anyOpen())
        return;
    if (!formLletra_->isVisible())
        formLletra_->show();
    // The letter window must not take the keyboard away from the editor.
    brunzit::bringToFront(this);
}

void TFormPrincipal::SayText(const std::string& text)
{
    ShowSaid(text);
    const std::optional<std::string> spoken = brunzit::SpokenText(text, Catalan());
    if (!spoken || !speaker_)
        return;
    CutOnInput();
    if (!queued_.empty()) {
        // Said after the text being read, as it would have been had that
        // text been handed over whole.
        queued_.push_back({QString(), 0, *spoken});
        return;
    }
    Speak(*spoken);
}

void TFormPrincipal::CutOnInput()
{
    // The first text of a key, a click or a pointer move cuts off what is
    // still being said, so that what is heard is where the user is.
    if (cutPending_ && MenuTallarLaVeu->isChecked())
        StopSpeaking();
    cutPending_ = false;
}

void TFormPrincipal::Speak(const std::string& spoken)
{
    ++speaking_;
    speaker_->SpeakText(spoken);
    --speaking_;
}

void TFormPrincipal::StopSpeaking()
{
    queued_.clear();
    if (readTimer_)
        readTimer_->stop();
    if (speaker_)
        speaker_->StopSpeaking();
}

namespace {

// Pieces of a read-all end after a blank or a line break: the dictionary's
// words never hold one, so it rewrites each piece as it would the whole.
bool EndsPiece(QChar c)
{
    switch (c.unicode()) {
    case u' ':
    case u'\n':
    case QChar::Nbsp:
    case QChar::ParagraphSeparator:
    case QChar::LineSeparator:
        return true;
    default:
        return false;
    }
}

constexpr qsizetype kReadPiece = 16 * 1024;

}  // namespace

void TFormPrincipal::ReadAll()
{
    ReplaceBexo();
    const QString text = Editor->toPlainText();
    if (text.size() <= kReadPiece) {
        SayText(brunzit::PlainTextToCp1252(text));
        return;
    }
    // A long text is handed to the speech service a piece at a time, each
    // from its own pass of the event loop, so that no key waits for the
    // whole text to be converted and rewritten.
    if (formLletra_ && MenuVeureLaLletraQueEsDiu->isChecked())
        ShowSaid(brunzit::PlainTextToCp1252(text));
    if (!speaker_ || brunzit::IsSoundFileName(brunzit::PlainTextToCp1252(text.right(8))))
        return;
    CutOnInput();
    queued_.push_back({text, 0, std::string()});
    if (queued_.size() == 1)
        SpeakNextPiece();
}

void TFormPrincipal::SpeakNextPiece()
{
    if (queued_.empty())
        return;
    Queued& first = queued_.front();
    std::string spoken = first.spoken;
    if (!first.toRead.isEmpty()) {
        const QString& text = first.toRead;
        qsizetype end = std::min(text.size(), first.next + kReadPiece);
        while (end < text.size() && !EndsPiece(text[end - 1]))
            ++end;
        spoken = brunzit::LowerCaseAscii(
            brunzit::ReplaceLineBreaks(brunzit::PlainTextToCp1252(text.mid(first.next, end - first.next))));
        first.next = end;
    }
    if (first.toRead.isEmpty() || first.next == first.toRead.size())
        queued_.pop_front();
    Speak(spoken);
    if (queued_.empty())
        return;
    if (!readTimer_) {
        readTimer_ = new QTimer(this);
        readTimer_->setSingleShot(true);
        connect(readTimer_, &QTimer::timeout, this, &TFormPrincipal::SpeakNextPiece);
    }
    readTimer_->start(0);
}
