#include "editor/selection.h"

#include <vector>

#include "editor/keyhandling/textrules.h"
#include "editor/scanlayout.h"

namespace brunzit {

namespace {

const char* const kLetterDeleted = "\xDAltima lletra esborrada: ";
const char* const kWordDeleted = "He esborrat l'\xFAltima paraula: ";
const char* const kNoWordToDelete = "No hi ha cap paraula per esborrar";

ScanBlockList fixedScanBlocks()
{
    ScanBlockList blocks;
    for (int block = 0; block < ScanBlockCount; ++block) {
        std::vector<std::string> entries;
        for (int entry = 0; entry <= ScanItemCount(block); ++entry)
            entries.emplace_back(ScanEntry(block, entry));
        blocks.push_back(std::move(entries));
    }
    return blocks;
}

Choice function(FunctionItem item, bool sayOnlyIfTyped = false)
{
    Choice choice;
    choice.kind = Choice::Kind::Function;
    choice.function = item;
    choice.sayOnlyIfTyped = sayOnlyIfTyped;
    return choice;
}

Choice write(std::string text, std::string say, bool sayOnlyIfTyped)
{
    Choice choice;
    choice.kind = Choice::Kind::Write;
    choice.write = std::move(text);
    choice.say = std::move(say);
    choice.sayOnlyIfTyped = sayOnlyIfTyped;
    return choice;
}

}  // namespace

std::optional<FunctionItem> FunctionItemAt(int item)
{
    if (item < 0 || item >= FunctionItemCount)
        return std::nullopt;
    return static_cast<FunctionItem>(item);
}

int ItemIndex(FunctionItem item)
{
    return static_cast<int>(item);
}

Choice GridChoice(char code)
{
    // Every grid key speaks only while the typed letters are read.
    switch (code) {
    case CodeLlegir: return function(FunctionItem::ReadAll);
    case CodeReturn: return write("\r\n", "Nova l\xEDnia", true);
    case CodeEsborrar: return function(FunctionItem::DeleteAll, true);
    case CodeImprimir: return function(FunctionItem::Print, true);
    case CodeCalcular: return function(FunctionItem::Calculate, true);
    default: return write(std::string(1, code), SpokenKeyName(code), true);
    }
}

Choice ScanChoice(Position at)
{
    if (at.row < 0 || at.row >= ScanBlockCount || at.col >= ScanItemCount(at.row))
        return {};
    if (at.col < 0) {
        // A block name is not something to write: choosing it says where the
        // user is.
        Choice choice;
        choice.kind = Choice::Kind::Say;
        choice.say = ScanEntry(at.row, 0);
        return choice;
    }
    if (at.row == FunctionsBlock)
        return function(*FunctionItemAt(at.col));
    const std::string entry = ScanEntry(at.row, at.col + 1);
    if (entry == "retorn")
        return write("\r\n", entry, false);
    const std::string written = ScanEntryText(entry);
    if (written == " " || written == "." || written == ",") {
        Choice choice;
        choice.kind = Choice::Kind::EndWord;
        choice.write = written;
        return choice;
    }
    return write(written, entry, true);
}

TextEdit DeleteLastLetterEdit(const std::string& text)
{
    const Split split = RemoveLastLetter(text);
    return {split.kept, kLetterDeleted + split.removed, !split.removed.empty()};
}

TextEdit DeleteLastWordEdit(const std::string& text)
{
    // The separators after the last word go with it: after "BON DIA " the
    // word meant is "DIA".
    std::size_t end = text.size();
    while (end > 1 && IsWordSeparator(text[end - 1]))
        --end;
    const Split split = DeleteLastWord(text.substr(0, end));
    if (split.removed.empty() || (split.kept.empty() && end == 1 && IsWordSeparator(text[0])))
        return {text, kNoWordToDelete, false};
    return {split.kept, kWordDeleted + split.removed, true};
}

std::size_t Utf16Prefix(const std::u16string& text, std::size_t characters)
{
    std::size_t at = 0;
    for (; characters > 0 && at < text.size(); --characters) {
        const bool pair = at + 1 < text.size() && text[at] >= 0xD800 && text[at] <= 0xDBFF &&
                          text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF;
        at += pair ? 2 : 1;
    }
    return at;
}

Selection::Selection() : click_(fixedScanBlocks()), layout_(std::make_unique<ScanLayout>()) {}

Selection::~Selection() = default;

void Selection::setWritingOptions(const WritingOptions& options)
{
    if (options == layout_->options())
        return;
    layout_ = std::make_unique<ScanLayout>(options);
    // Block sizes change with the options: back to the start of the letters.
    setPosition({0, LettersBlock});
}

bool Selection::shaped() const
{
    WritingOptions fixed;
    fixed.catalan = layout_->options().catalan;
    return !(layout_->options() == fixed);
}

void Selection::setWords(const std::vector<std::string>& words)
{
    layout_->setPredictions(words);
}

void Selection::offerWords(const std::vector<std::string>& words)
{
    layout_->setPredictions(words);
    setPosition(layout_->start());
}

void Selection::offerLetters(const std::vector<std::string>& likeliest, const std::vector<double>& letterChances,
                             const std::vector<double>& wordChances, bool move)
{
    layout_->setLikelyLetters(likeliest, letterChances, wordChances);
    if (move)
        setPosition(layout_->start());
}

void Selection::setPosition(Position at)
{
    click_.state().CursorCol = at.col;
    click_.state().CursorRow = at.row;
}

Step Selection::gridMove(Arrow arrow)
{
    const Step step = GridMove(position(), arrow);
    setPosition(step.to);
    return step;
}

Step Selection::scanMove(Arrow arrow, bool catalan)
{
    const Step step = shaped() ? layout_->move(position(), arrow) : ScanMove(position(), arrow, catalan);
    setPosition(step.to);
    return step;
}

bool Selection::pointAt(int column, int row)
{
    if (position() == Position{column, row})
        return false;
    setPosition({column, row});
    return true;
}

void Selection::selectFunction(FunctionItem item)
{
    setPosition({ItemIndex(item), FunctionsBlock});
}

Choice Selection::chooseScan(bool clickControl, const std::string& before)
{
    if (shaped() && !clickControl) {
        const Choice choice = layout_->choose(position(), before);
        if (choice.kind != Choice::Kind::Say)
            setPosition(layout_->start());
        return choice;
    }
    const Choice choice = ScanChoice(position());
    if (choice.kind != Choice::Kind::Say)
        setPosition({clickControl ? -1 : 0, LettersBlock});
    return choice;
}

}  // namespace brunzit
