// The selection rules without a window: what choosing each item asks for,
// where the position goes afterwards, and the deleting rules.

#include "editor/selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brunzit {
namespace {

using Kind = Choice::Kind;

Choice make(Kind kind, std::string write, std::string say, bool ifTyped,
            FunctionItem item = FunctionItem::ReadAll)
{
    Choice c;
    c.kind = kind;
    c.write = std::move(write);
    c.say = std::move(say);
    c.sayOnlyIfTyped = ifTyped;
    c.function = item;
    return c;
}

Choice fn(FunctionItem item, bool ifTyped = false)
{
    return make(Kind::Function, "", "", ifTyped, item);
}

TEST(ScanChoiceTest, EachKindOfEntry)
{
    struct Row {
        Position at;
        Choice choice;
    };
    const std::vector<Row> rows = {
        {{2, 0}, make(Kind::Write, "B", "B", true)},
        {{18, 0}, make(Kind::Write, "Q", "quu", true)},
        {{26, 0}, make(Kind::Write, "Y", "ii grega", true)},
        {{5, 0}, make(Kind::Write, "E", "\xC8", true)},
        {{28, 0}, make(Kind::Write, "\xC7", "\xC7", true)},
        {{0, 0}, make(Kind::EndWord, " ", "", false)},
        {{0, 2}, make(Kind::EndWord, ".", "", false)},
        {{1, 2}, make(Kind::EndWord, ",", "", false)},
        {{2, 2}, make(Kind::Write, "?", "interrogaci\xF3", true)},
        {{5, 2}, make(Kind::Write, "\r\n", "retorn", false)},  // said always
        {{7, 3}, make(Kind::Write, "7", "7", true)},
        {{0, 4}, make(Kind::Write, "+", "m\xE9s", true)},
        {{-1, 3}, make(Kind::Say, "", "bloc n\xFAmeros", false)},
        {{29, 0}, Choice{}},  // past the last item
        {{0, 5}, Choice{}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ScanChoice(row.at), row.choice) << row.at.col << "," << row.at.row;

    // The function block by name, item by item, and every block's name.
    const FunctionItem items[] = {FunctionItem::ReadAll,   FunctionItem::ReadLastWord, FunctionItem::DeleteLastLetter,
                                  FunctionItem::DeleteLastWord, FunctionItem::DeleteAll, FunctionItem::Print,
                                  FunctionItem::Calculate};
    ASSERT_EQ(std::size(items), static_cast<std::size_t>(ScanItemCount(FunctionsBlock)));
    for (int i = 0; i < FunctionItemCount; ++i)
        EXPECT_EQ(ScanChoice({i, FunctionsBlock}), fn(items[i])) << ScanEntry(FunctionsBlock, i + 1);
    for (int block = 0; block < ScanBlockCount; ++block)
        EXPECT_EQ(ScanChoice({-1, block}).say, ScanEntry(block, 0));
}

TEST(GridChoiceTest, EveryKeyOfTheGrid)
{
    for (int row = 0; row < GridRows; ++row) {
        for (int col = 0; col < GridColumns; ++col) {
            const char code = GridCellAt(col, row)->code;
            Choice expected;
            switch (code) {
            case CodeLlegir: expected = fn(FunctionItem::ReadAll); break;
            case CodeEsborrar: expected = fn(FunctionItem::DeleteAll, true); break;
            case CodeImprimir: expected = fn(FunctionItem::Print, true); break;
            case CodeCalcular: expected = fn(FunctionItem::Calculate, true); break;
            case CodeReturn: expected = make(Kind::Write, "\r\n", "Nova l\xEDnia", true); break;
            default: expected = make(Kind::Write, std::string(1, code), SpokenKeyName(code), true); break;
            }
            EXPECT_EQ(GridChoice(code), expected) << GridCellAt(col, row)->name;
        }
    }
}

TEST(SelectionTest, ChoosingReturnsToTheLettersExceptOnABlockName)
{
    struct Row {
        Position from;
        bool clickControl;
        Position after;
    };
    const std::vector<Row> rows = {
        {{3, 0}, false, {0, 0}},   // a letter
        {{3, 1}, false, {0, 0}},   // a function
        {{3, 1}, true, {-1, 0}},   // under mouse-click control: the block's name
        {{-1, 2}, true, {-1, 2}},  // a block name chosen keeps the position
        {{-1, 2}, false, {-1, 2}},
    };
    for (const Row& row : rows) {
        Selection selection;
        selection.setPosition(row.from);
        selection.chooseScan(row.clickControl);
        EXPECT_EQ(selection.position(), row.after) << row.from.col << "," << row.from.row;
    }
}

TEST(SelectionTest, ThePositionIsSharedByKeysPointerAndClicks)
{
    Selection s;
    EXPECT_EQ(s.scanMove(Arrow::Down, true).say, "LLEGIR-HO TOT");
    EXPECT_EQ(s.position(), (Position{0, 1}));
    EXPECT_FALSE(s.pointAt(0, 1));
    EXPECT_TRUE(s.pointAt(4, 2));
    EXPECT_EQ(s.gridMove(Arrow::Left).to, (Position{3, 2}));
    s.selectFunction(FunctionItem::Calculate);
    EXPECT_EQ(s.position(), (Position{6, 1}));
    // A click follows the keys: next item after CALCULAR is the block's name.
    EXPECT_EQ(s.click("1", 0).say, "bloc funcions");
    EXPECT_EQ(s.switchOn(0), "bloc lletres");
    EXPECT_EQ(s.click("1", 10).say, "espai");
    EXPECT_TRUE(s.click("2", 2000).choose);
    EXPECT_EQ(ScanChoice(s.position()).kind, Kind::EndWord);
}

TEST(TextEditTest, DeletingLettersAndWords)
{
    const std::string word = "He esborrat l'\xFAltima paraula: ";
    const std::string letter = "\xDAltima lletra esborrada: ";
    const std::string none = "No hi ha cap paraula per esborrar";
    struct Row {
        bool wholeWord;
        const char* text;
        const char* kept;
        std::string said;
        bool changed;
    };
    const std::vector<Row> rows = {
        {true, "HOLA BON", "HOLA ", word + "BON", true},
        {true, "BON DIA ", "BON ", word + "DIA", true},  // the separators go with the word
        {true, "BON DIA., ", "BON ", word + "DIA", true},
        {true, "A,B.C", "A,B.", word + "C", true},
        {true, "DIA ", "", word + "DIA", true},
        {true, "HOLA", "", word + "HOLA", true},
        {true, " HOLA", "", word + " HOLA", true},  // position 1 is never a separator
        {true, "A\r\nB ", "", word + "A\r\nB", true},  // a line break is not one either
        {true, "", "", none, false},
        {true, "   ", "   ", none, false},
        {true, ".", ".", none, false},
        {false, "HOLA", "HOL", letter + "A", true},
        {false, "HOLA\r\n", "HOLA", letter + "\r\n", true},
        {false, "", "", letter, false},
    };
    for (const Row& row : rows) {
        const TextEdit edit = row.wholeWord ? DeleteLastWordEdit(row.text) : DeleteLastLetterEdit(row.text);
        EXPECT_EQ(edit, (TextEdit{row.kept, row.said, row.changed})) << row.text;
    }
}

TEST(Utf16PrefixTest, NeverCutsASurrogatePair)
{
    const std::u16string text = u"A\U0001F600B\U0001F600";  // A, pair, B, pair
    const std::u16string lone = {u'A', 0xD83D, u'B', 0xDE00};
    struct Row {
        const std::u16string* text;
        std::size_t characters;
        std::size_t units;
    };
    const std::vector<Row> rows = {
        {&text, 0, 0}, {&text, 1, 1}, {&text, 2, 3}, {&text, 3, 4}, {&text, 4, 6}, {&text, 9, 6},
        {&lone, 2, 2}, {&lone, 4, 4},  // halves without their partner count as one character each
    };
    for (const Row& row : rows)
        EXPECT_EQ(Utf16Prefix(*row.text, row.characters), row.units) << row.characters;
}

}  // namespace
}  // namespace brunzit
