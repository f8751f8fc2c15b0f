#include "editor/saytext.h"


#include <QAction>
#include <QLabel>
#include <array>
#include <utility>

#include "editor/dialogwatch.h"
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

void TFormPrincipal::SayText(const std::string& text)
{
    if (formLletra_ && MenuVeureLaLletraQueEsDiu->isChecked()) {
        // Function and block names are said but not shown.
        const brunzit::Position at = selection_.position();
        const bool hidden = !GridVisible() && (at.row == brunzit::FunctionsBlock || at.col == -1);
        const std::string shown = hidden ? std::string() : brunzit::DisplayForm(text);
        if (formLletra_->LabelLletra)
            formLletra_->LabelLletra->setText(QString::fromUtf8(brunzit::cp1252ToUtf8(shown)));
        // While a dialog is open the letter waits behind it; the dialog keeps
        // the keyboard.
        if (!dialogWatch_ || !dialogWatch_->anyOpen()) {
            if (!formLletra_->isVisible())
                formLletra_->show();
            // The letter window must not take the keyboard away from the editor.
            brunzit::bringToFront(this);
        }
    }
    const std::optional<std::string> spoken = brunzit::SpokenText(text, Catalan());
    if (!spoken || !speaker_)
        return;
    // The first text of a key, a click or a pointer move cuts off what is
    // still being said, so that what is heard is where the user is.
    if (cutPending_ && MenuTallarLaVeu->isChecked())
        speaker_->StopSpeaking();
    cutPending_ = false;
    ++speaking_;
    speaker_->SpeakText(*spoken);
    --speaking_;
}
