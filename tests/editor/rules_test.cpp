// The keyboards' data, movements, text rules and spoken forms, as tables.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/keyhandling/textrules.h"
#include "editor/saytext.h"
#include "editor/scanning.h"

namespace brunzit {
namespace {

// ---- Grid ------------------------------------------------------------------

struct GridMoveRow {
    const char* name;
    Position from;
    Arrow arrow;
    Position to;
    const char* said;
};

TEST(GridMoveTest, WrapsEachAxisAndNamesTheKeyReached)
{
    const std::vector<GridMoveRow> rows = {
        {"left from A reaches Llegir", {0, 0}, Arrow::Left, {11, 0}, "Llegir"},
        {"up from A reaches zero", {0, 0}, Arrow::Up, {0, 3}, "0 "},
        {"right from J says return", {9, 0}, Arrow::Right, {10, 0}, "return"},
        {"right from Return says Llegir", {10, 0}, Arrow::Right, {11, 0}, "Llegir"},
        {"right from Llegir wraps in its row", {11, 0}, Arrow::Right, {0, 0}, "a"},
        {"down from the last row wraps in its column", {5, 3}, Arrow::Down, {5, 0}, "F "},
        {"down from U reaches zero", {0, 2}, Arrow::Down, {0, 3}, "0 "},
        {"onto Y", {3, 2}, Arrow::Right, {4, 2}, "i grega"},
        {"onto the space", {9, 3}, Arrow::Right, {10, 3}, "espai"},
        {"onto Imprimir", {10, 3}, Arrow::Right, {11, 3}, "imprimir"},
        {"onto Esborrar", {11, 0}, Arrow::Down, {11, 1}, "esborrar"},
        {"onto Calcular", {11, 3}, Arrow::Up, {11, 2}, "calcular"},
        {"onto the full stop", {9, 1}, Arrow::Right, {10, 1}, "punt"},
        {"onto plus", {5, 2}, Arrow::Right, {6, 2}, "m\xE9s"},
    };
    for (const GridMoveRow& row : rows) {
        const Step step = GridMove(row.from, row.arrow);
        EXPECT_EQ(step.to, row.to) << row.name;
        EXPECT_EQ(step.say, row.said) << row.name;
    }
}

TEST(GridTableTest, KeysAreNamedAndCodedByTheirSign)
{
    struct Row {
        int col, row;
        const char* name;
        const char* caption;
        char code;
    };
    const std::vector<Row> rows = {
        {0, 0, "A", "A", 'A'},           {10, 0, "Return", "Return", '\r'}, {11, 0, "Llegir", "Llegir", 'l'},
        {10, 1, "punt", ".", '.'},       {11, 1, "Esborrar", "Esborrar", 'e'}, {3, 2, "ICS", "X", 'X'},
        {4, 2, "YGREGA", "Y", 'Y'},      {9, 2, "dividid", "/", '/'},         {10, 2, "igual", "=", '='},
        {11, 2, "Calcular", "Calcular", 'c'}, {7, 3, "siete", "7", '7'},     {10, 3, "espai", "", ' '},
        {11, 3, "Imprimir", "Imprimir", 'i'},
    };
    for (const Row& r : rows) {
        const GridCell* cell = GridCellAt(r.col, r.row);
        ASSERT_NE(cell, nullptr) << r.name;
        EXPECT_STREQ(cell->name, r.name);
        EXPECT_STREQ(cell->caption, r.caption) << r.name;
        EXPECT_EQ(cell->code, r.code) << r.name;
    }
    EXPECT_EQ(GridCellAt(12, 0), nullptr);
    EXPECT_EQ(GridCellAt(0, 4), nullptr);
    EXPECT_EQ(GridCellAt(-1, 0), nullptr);
}

TEST(SpokenKeyNameTest, SaysWordsForSignsAndPhoneticLetters)
{
    const std::vector<std::pair<char, std::string>> rows = {
        {'\r', "return"}, {' ', "espai"},  {'*', "per"},     {'+', "m\xE9s"},    {'-', "menys"},
        {'.', "punt"},    {'/', "dividid"}, {'=', "igual"},  {'A', "a"},         {'I', "ii"},
        {'Q', "quu"},     {'U', "uu"},     {'Y', "i grega"}, {'c', "calcular"},  {'e', "esborrar"},
        {'i', "imprimir"}, {'l', "Llegir"}, {'B', "B "},     {'7', "7 "},
    };
    for (const auto& [code, said] : rows)
        EXPECT_EQ(SpokenKeyName(code), said) << "code " << int(code);
}

// ---- Scanning ---------------------------------------------------------------

struct ScanMoveRow {
    const char* name;
    Position from;
    Arrow arrow;
    bool catalan;
    Position to;
    const char* said;
};

TEST(ScanMoveTest, StepsThroughItemsAndBlocks)
{
    const std::vector<ScanMoveRow> rows = {
        {"right from espai says A", {0, 0}, Arrow::Right, true, {1, 0}, "A"},
        {"catalan: right from Z says \xC7", {27, 0}, Arrow::Right, true, {28, 0}, "\xC7"},
        {"catalan: right from \xC7 says espai", {28, 0}, Arrow::Right, true, {0, 0}, "espai"},
        {"catalan: left from espai says \xC7", {0, 0}, Arrow::Left, true, {28, 0}, "\xC7"},
        {"spanish: right from Z says espai", {27, 0}, Arrow::Right, false, {0, 0}, "espai"},
        {"spanish: left from espai says Z", {0, 0}, Arrow::Left, false, {27, 0}, "Z"},
        {"spanish keeps the last item of other blocks", {8, 3}, Arrow::Right, false, {9, 3}, "9"},
        {"down from calculadora wraps to espai", {2, 4}, Arrow::Down, true, {0, 0}, "espai"},
        {"up from lletres says m\xE9s", {5, 0}, Arrow::Up, true, {0, 4}, "m\xE9s"},
        {"down says the first item, not the name", {3, 0}, Arrow::Down, true, {0, 1}, "LLEGIR-HO TOT"},
        {"right wraps in the functions block", {6, 1}, Arrow::Right, true, {0, 1}, "LLEGIR-HO TOT"},
        {"left to the last punctuation item", {0, 2}, Arrow::Left, true, {5, 2}, "retorn"},
        {"right from a block name gives item 0", {-1, 3}, Arrow::Right, true, {0, 3}, "0"},
        {"left from a block name gives item n - 2", {-1, 3}, Arrow::Left, true, {8, 3}, "8"},
    };
    for (const ScanMoveRow& row : rows) {
        const Step step = ScanMove(row.from, row.arrow, row.catalan);
        EXPECT_EQ(step.to, row.to) << row.name;
        EXPECT_EQ(step.say, row.said) << row.name;
    }
}

TEST(ScanBlocksTest, FilledTableHasNamesItemsAndAnEmptyEntryAfterTheLast)
{
    FillScanBlocks();
    const std::vector<std::pair<std::string, int>> blocks = {
        {"bloc lletres", 29}, {"bloc funcions", 7}, {"bloc puntuaci\xF3", 6},
        {"bloc n\xFAmeros", 10}, {"bloc calculadora", 4},
    };
    for (int b = 0; b < ScanBlockCount; ++b) {
        EXPECT_EQ(ScanBlocks[b][0], blocks[b].first);
        EXPECT_EQ(ScanBlockSize[b], blocks[b].second);
        EXPECT_FALSE(ScanBlocks[b][ScanBlockSize[b]].empty()) << blocks[b].first;
        EXPECT_TRUE(ScanBlocks[b][ScanBlockSize[b] + 1].empty()) << blocks[b].first;
    }
    EXPECT_EQ(ScanBlocks[0][6], "\xC8");
    EXPECT_EQ(ScanBlocks[0][27], "ii grega");
    EXPECT_EQ(ScanBlocks[1][4], "ESBORRAR \xDALTIMA PARAULA");
    EXPECT_EQ(ScanBlocks[2][5], "ap\xF3strof");
}

// ---- Text rules --------------------------------------------------------------

TEST(LastWordTest, WalksBackToTheLastSeparator)
{
    struct Row {
        const char* text;
        long start;
        const char* word;
    };
    const std::vector<Row> rows = {
        {"BON ", 3, "BON "},                       // after a space: the word with its space
        {"HOLA BON ", 8, "BON "},
        {"HOLA BON", 8, "BON"},
        {"HOLA BON ", 9, ""},                      // right after a space: empty
        {"UN,DOS", 6, "DOS"},
        {"UN.DOS", 6, "DOS"},
        {" HOLA", 5, " HOLA"},                     // position 1 is never examined
        {"HOLA BON\r\nDIA", 13, "BON\r\nDIA"},     // a line break is not a separator
        {"HOLA", 1, "HOLA"},
        {"HOLA", 0, "HOLA"},
        {"", -1, ""},
    };
    for (const Row& row : rows)
        EXPECT_EQ(LastWord(row.text, row.start), row.word) << row.text << " from " << row.start;
}

TEST(RemoveLastLetterTest, RemovesOneCharacterAndNeverSplitsALineBreak)
{
    struct Row {
        const char* text;
        const char* kept;
        const char* removed;
    };
    const std::vector<Row> rows = {
        {"HOLA", "HOL", "A"},
        {"A", "", "A"},
        {"", "", ""},
        {"HOLA\r\n", "HOLA", "\r\n"},
        {"\r\n", "", "\r\n"},
        {"HOLA\n", "HOLA", "\n"},
    };
    for (const Row& row : rows) {
        const Split split = RemoveLastLetter(row.text);
        EXPECT_EQ(split.kept, row.kept) << row.text;
        EXPECT_EQ(split.removed, row.removed) << row.text;
    }
}

TEST(ReplaceAllTest, ReplacesEveryOccurrenceAndAlwaysEnds)
{
    struct Row {
        const char* text;
        const char* pattern;
        const char* replacement;
        const char* result;
    };
    const std::vector<Row> rows = {
        {"BEXO", "BEXO", "BEX\xD3", "BEX\xD3"},
        {"UN BEXO I UN BEXO.", "BEXO", "BEX\xD3", "UN BEX\xD3 I UN BEX\xD3."},
        {"BEXOBEXO", "BEXO", "BEX\xD3", "BEX\xD3" "BEX\xD3"},
        {"bexo", "BEXO", "BEX\xD3", "bexo"},            // case-sensitive
        {"BEXBEXOO", "BEXO", "BEX\xD3", "BEXBEX\xD3O"},
        {"AA", "A", "AA", "AAAA"},                       // a replacement holding the pattern ends
        {"ABC", "", "X", "ABC"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ReplaceAll(row.text, row.pattern, row.replacement), row.result) << row.text;
    EXPECT_EQ(ReplaceBexo("BEXO BEXO"), "BEX\xD3 BEX\xD3");
}

TEST(ScanEntryTextTest, TurnsSpokenFormsIntoTheCharacterWritten)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"espai", " "},      {"ii grega", "Y"}, {"AA", "A"},          {"ii", "I"},
        {"uu", "U"},         {"quu", "Q"},      {"\xC8", "E"},        {"punt", "."},
        {"coma", ","},       {"interrogaci\xF3", "?"}, {"admiraci\xF3", "!"}, {"ap\xF3strof", "'"},
        {"m\xE9s", "+"},     {"menys", "-"},    {"per", "*"},         {"dividid", "/"},
        {"B", "B"},          {"\xD1", "\xD1"},  {"\xC7", "\xC7"},     {"7", "7"},
    };
    for (const auto& [entry, written] : rows)
        EXPECT_EQ(ScanEntryText(entry), written) << entry;
}

TEST(LineBreakTest, EditorEdgeConvertsEveryLineBreakForm)
{
    EXPECT_EQ(ToCrLf("A\nB\rC\r\nD"), "A\r\nB\r\nC\r\nD");
    EXPECT_EQ(FromCrLf("A\r\nB\rC\nD"), "A\nB\nC\nD");
    EXPECT_EQ(ToCrLf(FromCrLf("X\r\n\r\nY\r\n")), "X\r\n\r\nY\r\n");
}

// ---- Spoken forms ------------------------------------------------------------

TEST(DisplayFormTest, ShowsTheCharacterOfASpokenForm)
{
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"espai", " "},  {"ii grega", "Y"}, {"i grega", "Y"}, {"AA", "A"},   {"aa", "A"},
        {"ii", "I"},     {"uu", "U"},       {"quu", "Q"},     {"\xC8", "E"}, {"punt", "."},
        {"coma", ","},   {"interrogaci\xF3", "?"}, {"admiraci\xF3", "!"}, {"ap\xF3strof", "'"},
        {"m\xE9s", "+"}, {"menys", "-"},    {"per", "*"},     {"dividid", "/"},
        {"B", "B"},      {"Quu", "Quu"},    {"Text esborrat", "Text esborrat"},
    };
    for (const auto& [spoken, shown] : rows)
        EXPECT_EQ(DisplayForm(spoken), shown) << spoken;
}

TEST(SpokenTextTest, WhatReachesTheSpeechService)
{
    struct Row {
        const char* name;
        std::string text;
        bool catalan;
        std::optional<std::string> spoken;
    };
    const std::vector<Row> rows = {
        {"a grid letter with its space", "B ", true, "b "},
        {"a scanning letter", "B", true, "b"},
        {"phonetic form unchanged", "ii grega", true, "ii grega"},
        {"accented capital kept", "\xC8", true, "\xC8"},
        {"sign name", "m\xE9s", true, "m\xE9s"},
        {"message lower-cased", "Text esborrat", true, "text esborrat"},
        {"catalan \xD1 is enye", "\xD1", true, "enye"},
        {"spanish \xD1 unchanged", "\xD1", false, "\xD1"},
        {"\xD1 inside a word is not enye", "\xD1" "A", true, "\xD1" "a"},
        {"two lines said as one", "HOLA\r\nDIA", true, "hola dia"},
        {"empty", "", true, std::nullopt},
        {"wav, any case", "SO.wav", true, std::nullopt},
        {"WAV", "C:\\SONS\\X.WAV", true, std::nullopt},
        {"mp3", "a.Mp3", true, std::nullopt},
        {"the bare extension", ".wav", true, std::nullopt},
        {"short text never matches", "wav", true, "wav"},
        {"not at the end", "x.wav ", true, "x.wav "},
    };
    for (const Row& row : rows)
        EXPECT_EQ(SpokenText(row.text, row.catalan), row.spoken) << row.name;
}

TEST(LowerCaseAsciiTest, OnlyAToZChange)
{
    EXPECT_EQ(LowerCaseAscii("AZaz09\xC8\xD1\xC7\xD3@[`{"), "azaz09\xC8\xD1\xC7\xD3@[`{");
}

}  // namespace
}  // namespace brunzit
