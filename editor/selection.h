#pragma once
// The choosing, shared by the grid keyboard, the scanning keyboard and
// mouse-click control: one position, the rules that move it and the choice
// an item makes, each returning what the window is to do. No widgets here:
// the window applies the results.

#include <cstdint>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "editor/mouseclickcontrol.h"
#include "editor/scanning.h"

namespace brunzit {
class ScanLayout;
struct WritingOptions;
}

namespace brunzit {

// The items of "bloc funcions", in block order.
enum class FunctionItem {
    ReadAll,           // "LLEGIR-HO TOT"
    ReadLastWord,      // "LLEGIR L'ÚLTIMA PARAULA"
    DeleteLastLetter,  // "ESBORRAR L'ÚLTIMA LLETRA"
    DeleteLastWord,    // "ESBORRAR ÚLTIMA PARAULA"
    DeleteAll,         // "ESBORRAR-HO TOT"
    Print,             // "IMPRIMIR"
    Calculate,         // "CALCULAR"
};
constexpr int FunctionItemCount = 7;
std::optional<FunctionItem> FunctionItemAt(int item);
int ItemIndex(FunctionItem item);

// What choosing an item asks of the window.
struct Choice {
    enum class Kind {
        Nothing,
        Say,       // say `say`, change nothing
        Write,     // append `write` (CR LF line breaks), say `say`
        EndWord,   // append the separator `write`, then say the word it ends
        Function,  // carry out `function`
    };
    Kind kind = Kind::Nothing;
    std::string write;
    std::string say;
    // Characters at the end of the text that `write` replaces: a predicted
    // word takes the place of the letters written of it.
    std::size_t replace = 0;
    // Said only while "Llegir la lletra que s'escriu" is on (the grid's keys
    // and the scanning letters); otherwise always.
    bool sayOnlyIfTyped = false;
    FunctionItem function = FunctionItem::ReadAll;

    bool operator==(const Choice&) const = default;
};

// The grid key with this code, chosen.
Choice GridChoice(char code);
// The scanning entry at this position (block name at col -1), chosen.
Choice ScanChoice(Position at);

// The outcome of a text-changing function item on the editor's text
// (Windows-1252, CR LF): the text kept and what is said.
struct TextEdit {
    std::string kept;
    std::string say;
    bool changed = false;
    bool operator==(const TextEdit&) const = default;
};
TextEdit DeleteLastLetterEdit(const std::string& text);
TextEdit DeleteLastWordEdit(const std::string& text);

// The UTF-16 length of the first `characters` characters of text: a
// character outside the Basic Multilingual Plane is two units, so a cut
// never falls between the halves of a surrogate pair.
std::size_t Utf16Prefix(const std::u16string& text, std::size_t characters);

// The one position of the three input methods and mouse-click control's
// state. The grid reads (col, row) as column and row; the scanning keyboard
// as item (-1: the block's name) and block.
class Selection {
public:
    Selection();
    ~Selection();

    // The scanning keyboard as the writing options shape it; with every
    // option off (the language aside) the fixed keyboard's rules apply.
    void setWritingOptions(const WritingOptions& options);
    bool shaped() const;
    const ScanLayout& layout() const { return *layout_; }
    // The predicted words now offered; the position goes to the layout's
    // start, the first word when there is one.
    void offerWords(const std::vector<std::string>& words);
    // The same for the grid's row of words: the position stays.
    void setWords(const std::vector<std::string>& words);
    // "Lletres segons la paraula": the letters likeliest next, best first,
    // with their chances and those of the words offered (see
    // ScanLayout::setLikelyLetters); the position goes to the layout's
    // start when `move`.
    void offerLetters(const std::vector<std::string>& likeliest, const std::vector<double>& letterChances,
                      const std::vector<double>& wordChances, bool move);

    Position position() const { return {click_.state().CursorCol, click_.state().CursorRow}; }
    const MouseClickState& state() const { return click_.state(); }
    void setPosition(Position at);

    Step gridMove(Arrow arrow);
    Step scanMove(Arrow arrow, bool catalan);
    // The pointer over the grid key at (column, row): false when it is
    // already the current one.
    bool pointAt(int column, int row);
    // F1 to F3 on the scanning keyboard.
    void selectFunction(FunctionItem item);

    // The scanning item chosen; the position goes back to the start of
    // the letters block (its name under mouse-click control). A block name
    // chosen keeps the position.
    // `before` is the editor's text, for lower case and predicted words.
    Choice chooseScan(bool clickControl, const std::string& before = {});

    // Mouse-click control.
    std::string switchOn(std::int64_t now) { return click_.switchOn(now); }
    void switchOff() { click_.switchOff(); }
    MouseClickControl::Step click(const std::string& report, std::int64_t now) { return click_.poll(report, now); }
    void setClickLockout(int ms) { click_.setLockout(ms); }

private:
    MouseClickControl click_;
    std::unique_ptr<ScanLayout> layout_;
};

}  // namespace brunzit
