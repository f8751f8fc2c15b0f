// The scanning layout under the writing options: with every option off it
// is the fixed keyboard, move for move and choice for choice; with them on,
// every letter and sign can be written and each is said distinctly.

#include "editor/scanlayout.h"
#include "editor/switchfilter.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace brunzit {
namespace {

using Kind = Choice::Kind;

TEST(ScanLayoutTest, OptionsOffAreTheFixedKeyboard)
{
    for (const bool catalan : {true, false}) {
        WritingOptions options;
        options.catalan = catalan;
        const ScanLayout layout(options);
        ASSERT_EQ(layout.blockCount(), ScanBlockCount);
        for (int block = 0; block < ScanBlockCount; ++block) {
            for (int col = -1; col < ScanItemCount(block); ++col) {
                const Position at{col, block};
                EXPECT_EQ(layout.choose(at, "AB"), ScanChoice(at)) << col << "," << block;
                for (Arrow arrow : {Arrow::Right, Arrow::Left, Arrow::Down, Arrow::Up}) {
                    const Step fixed = ScanMove(at, arrow, catalan);
                    const Step step = layout.move(at, arrow);
                    EXPECT_EQ(step.to, fixed.to) << col << "," << block << " arrow " << int(arrow);
                    EXPECT_EQ(step.say, fixed.say) << col << "," << block << " arrow " << int(arrow);
                }
            }
        }
    }
}

// Every item the layout offers, as (written text, spoken form).
std::vector<ScanItem> allItems(const ScanLayout& layout)
{
    std::vector<ScanItem> items;
    for (const ScanLayoutBlock& block : layout.blocks())
        items.insert(items.end(), block.items.begin(), block.items.end());
    return items;
}

TEST(ScanLayoutTest, EveryLetterAndSignWritableAndSaidDistinctly)
{
    struct Row {
        bool catalan;
        const char* letters;  // Windows-1252, upper case; "L" also stands for "L·L"
    };
    const char* const signs = ".,?!':;()-\xAB\xBB";
    for (const Row& row : {Row{true, "\xC0\xC8\xC9\xCD\xCF\xD2\xD3\xDA\xDC\xC7\xD1"},
                           Row{false, "\xC1\xC9\xCD\xD3\xDA\xDC\xD1"}}) {
        for (const bool frequency : {false, true}) {
            WritingOptions options;
            options.catalan = row.catalan;
            options.everyLetter = true;
            options.frequencyOrder = frequency;
            const ScanLayout layout(options);
            std::set<std::string> written, said;
            for (const ScanItem& item : allItems(layout)) {
                if (!(item.catalanOnly && !row.catalan))
                    written.insert(item.write);
                EXPECT_TRUE(said.insert(item.say).second) << "said twice: " << item.say;
            }
            for (const char* c = row.letters; *c; ++c)
                EXPECT_TRUE(written.count(std::string(1, *c))) << "catalan " << row.catalan << ": " << *c;
            for (const char* c = signs; *c; ++c)
                EXPECT_TRUE(written.count(std::string(1, *c))) << *c;
            for (char c = 'A'; c <= 'Z'; ++c)
                EXPECT_TRUE(written.count(std::string(1, c))) << c;
            EXPECT_EQ(written.count("L\xB7L"), row.catalan ? 1u : 0u);
            EXPECT_EQ(written.count("\xC7"), row.catalan ? 1u : 0u);
            // Accented letters follow their plain letter alphabetically.
            if (!frequency && row.catalan) {
                const auto& letters = layout.blocks()[LettersBlock].items;
                EXPECT_EQ(letters[1].write, "A");
                EXPECT_EQ(letters[2].write, "\xC0");
                EXPECT_EQ(letters[3].write, "B");
                EXPECT_EQ(letters.back().write, "\xC7");
            }
        }
    }
}

TEST(ScanLayoutTest, LettersByFrequencyGoOutFromEspai)
{
    struct Row {
        bool catalan;
        std::vector<std::string> right, left, scanned;  // said from "espai"
    };
    const std::vector<Row> rows = {
        {true, {"\xC8", "S", "R", "L"}, {"A", "ii", "N", "T"}, {"espai", "\xC8", "A", "S", "ii", "R", "N"}},
        {false, {"\xC8", "O", "N", "ii"}, {"A", "S", "R", "L"}, {"espai", "\xC8", "A", "O", "S", "N", "R"}},
    };
    for (const Row& row : rows) {
        WritingOptions options;
        options.catalan = row.catalan;
        options.frequencyOrder = true;
        const ScanLayout layout(options);
        for (const auto& [arrow, expected] : {std::pair{Arrow::Right, row.right}, std::pair{Arrow::Left, row.left}}) {
            Position at{0, LettersBlock};
            for (const std::string& say : expected) {
                const Step step = layout.move(at, arrow);
                EXPECT_EQ(step.say, say) << "catalan " << row.catalan;
                at = step.to;
            }
        }
        AutoScan scan;
        EXPECT_EQ(scan.tick(layout).say, "bloc lletres");
        EXPECT_EQ(scan.press(), AutoScan::Press::Entered);
        for (const std::string& say : row.scanned)
            EXPECT_EQ(scan.tick(layout).say, say) << "catalan " << row.catalan;
    }
    // Spanish never reaches "Ç", neither by keys nor by the automatic scanning.
    WritingOptions spanish;
    spanish.catalan = false;
    spanish.frequencyOrder = true;
    const ScanLayout layout(spanish);
    AutoScan scan;
    scan.tick(layout);
    scan.press();
    Position at{0, LettersBlock};
    for (int i = 0; i < 60; ++i) {
        EXPECT_NE(scan.tick(layout).say, "\xC7");
        at = layout.move(at, i < 30 ? Arrow::Right : Arrow::Left).to;
        EXPECT_NE(layout.blocks()[LettersBlock].items[at.col].write, "\xC7");
    }
}

TEST(ScanLayoutTest, CaseOfWhatIsWritten)
{
    struct Row {
        const char* letters;
        bool lowercase;
        const char* before;
        const char* written;
    };
    const Row rows[] = {
        {"\xE0", false, "HOLA ", "\xC0"},
        {"l\xB7l", false, "", "L\xB7L"},
        {"A", true, "", "A"},                 // the text's start
        {"A", true, "hola ", "a"},
        {"A", true, "hola. ", "A"},
        {"A", true, "hola? \xAB", "A"},       // an opening sign does not end the sentence start
        {"A", true, "hola\r\n", "A"},
        {"A", true, "hola, ", "a"},
        {"\xC0", true, "i ", "\xE0"},
        {"QU\xC8", true, "Diu ", "qu\xE8"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(CaseFor(row.letters, row.lowercase, row.before), row.written) << row.before << "|" << row.letters;
}

TEST(ScanLayoutTest, ChoosingAWordOrASignAfterIt)
{
    WritingOptions options;
    options.prediction = true;
    options.everyLetter = true;
    ScanLayout layout(options);
    EXPECT_EQ(layout.start(), (Position{0, LettersBlock}));  // no words yet
    layout.setPredictions({"qu\xE8", "l'", "que"});
    EXPECT_EQ(layout.start(), (Position{0, PredictionBlock}));
    EXPECT_EQ(layout.move({0, PredictionBlock}, Arrow::Down).to, (Position{0, LettersBlock}));
    EXPECT_EQ(layout.move({0, LettersBlock}, Arrow::Up).to, (Position{0, PredictionBlock}));

    struct Row {
        Position at;
        const char* before;
        Kind kind;
        std::size_t replace;
        const char* write;
    };
    const auto comma = [&] {
        for (int i = 0;; ++i)
            if (layout.blocks()[2].items[i].write == ",")
                return i;
    }();
    const Row rows[] = {
        {{0, PredictionBlock}, "DIU QU", Kind::Write, 2, "QU\xC8 "},  // accents come with the word
        {{0, PredictionBlock}, "DIU ", Kind::Write, 0, "QU\xC8 "},
        {{1, PredictionBlock}, "VEIG ", Kind::Write, 0, "L'"},         // no space after an apostrophe
        {{comma, 2}, "DIU QU\xC8 ", Kind::EndWord, 1, ", "},          // the comma takes the word's space
        {{comma, 2}, "DIU QU\xC8", Kind::EndWord, 0, ","},
    };
    for (const Row& row : rows) {
        const Choice choice = layout.choose(row.at, row.before);
        EXPECT_EQ(choice.kind, row.kind) << row.before;
        EXPECT_EQ(choice.replace, row.replace) << row.before;
        EXPECT_EQ(choice.write, row.write) << row.before;
    }
}

TEST(AutoScanTest, RoundsPauseAndChoice)
{
    WritingOptions options;
    options.prediction = true;
    ScanLayout layout(options);
    layout.setPredictions({"casa"});
    AutoScan scan;
    EXPECT_EQ(scan.press(), AutoScan::Press::Nothing);  // nothing said yet
    const std::vector<std::string> names = {"bloc paraules", "bloc lletres",     "bloc funcions",
                                            "bloc puntuaci\xF3", "bloc n\xFAmeros", "bloc calculadora"};
    for (int round = 0; round < AutoScan::kRoundsBeforePause; ++round)
        for (const std::string& name : names)
            EXPECT_EQ(scan.tick(layout).say, name) << "round " << round;
    const AutoScan::Tick pause = scan.tick(layout);
    EXPECT_EQ(pause.say, "pausa");
    EXPECT_TRUE(pause.paused);
    EXPECT_EQ(scan.tick(layout).say, "");  // waits
    EXPECT_EQ(scan.press(), AutoScan::Press::Resumed);
    EXPECT_EQ(scan.tick(layout).say, "bloc paraules");
    EXPECT_EQ(scan.press(), AutoScan::Press::Entered);
    EXPECT_EQ(scan.tick(layout).say, "casa");
    EXPECT_EQ(scan.tick(layout).say, "bloc paraules");  // past the last item, back to the names
    EXPECT_EQ(scan.tick(layout).say, "bloc lletres");
    scan.press();
    scan.tick(layout);
    EXPECT_EQ(scan.tick(layout).say, "A");
    EXPECT_EQ(scan.press(), AutoScan::Press::Chosen);
    EXPECT_EQ(scan.position(), (Position{1, LettersBlock}));
}

// "Lletres segons la paraula": the likeliest letter where the position lands,
// the next ones out from it on both sides, the rest by frequency; the
// automatic scanning says the words' name, then the likeliest letters
// directly, then the blocks, the letters' halves holding only the rest.
TEST(ScanLayoutTest, LettersInTheWordsOrder)
{
    struct Row {
        bool catalan;
        std::vector<std::string> likeliest;
        std::vector<std::string> right, left;  // written, from the start
    };
    const Row rows[] = {
        {true, {"U", " ", "L\xB7L"}, {"U", " ", "E", "S"}, {"U", "L\xB7L", "A", "I"}},
        {true, {}, {" ", "E", "S", "R"}, {" ", "A", "I", "N"}},                // nothing known: by frequency
        {false, {"\xC7", "O", "X", "O"}, {"O", "X", "E", "S"}, {"O", " ", "A"}},  // no � in Spanish, no letter twice
    };
    for (const Row& row : rows) {
        WritingOptions options;
        options.catalan = row.catalan;
        options.everyLetter = true;
        options.wordOrder = true;
        ScanLayout layout(options);
        layout.setLikelyLetters(row.likeliest);
        EXPECT_EQ(layout.start(), (Position{0, LettersBlock}));
        for (const auto& [arrow, expected] : {std::pair{Arrow::Right, row.right}, std::pair{Arrow::Left, row.left}}) {
            Position at = layout.start();
            std::vector<std::string> written{layout.blocks()[LettersBlock].items[0].write};
            while (written.size() < expected.size()) {
                at = layout.move(at, arrow).to;
                written.push_back(layout.blocks()[LettersBlock].items[static_cast<std::size_t>(at.col)].write);
            }
            EXPECT_EQ(written, expected) << "catalan " << row.catalan;
        }
    }

    WritingOptions options;
    options.wordOrder = true;
    options.prediction = true;
    ScanLayout layout(options);
    layout.setPredictions({"quan"});
    layout.setLikelyLetters({"U", "A", "O"});
    AutoScan scan;
    const std::vector<std::string> top = {"bloc paraules", "uu", "A", "O", "espai", "\xC8", "S",
                                          "lletres de A a L", "lletres de M a Z", "bloc puntuaci\xF3"};
    for (const std::string& say : top)
        EXPECT_EQ(scan.tick(layout).say, say);
    scan.restart();
    scan.tick(layout);
    scan.tick(layout);
    scan.tick(layout);
    EXPECT_EQ(scan.press(), AutoScan::Press::Chosen);  // "A", said directly, chosen at once
    EXPECT_EQ(layout.choose(scan.position(), "Q").write, "A");
    scan.restart();
    for (std::size_t i = 0; i < 8; ++i)
        scan.tick(layout);
    EXPECT_EQ(scan.press(), AutoScan::Press::Entered);
    EXPECT_EQ(scan.tick(layout).say, "ii");  // the letters not said above
    scan.restart();
    for (int round = 0; round < AutoScan::kRoundsBeforePause; ++round)
        for (std::size_t i = 0; i < top.size() + 3; ++i)  // the names of the other three blocks
            scan.tick(layout);
    EXPECT_EQ(scan.tick(layout).say, "pausa");
}

// With their chances the entries of the top go likeliest first: a letter
// said directly only when likely enough, a word alone when more likely than
// not, each half of the other letters as likely as its letters together.
// Every letter is reached once, at the top or in its half.
TEST(AutoScanTest, TopInTheOrderOfTheChances)
{
    struct Row {
        const char* name;
        std::vector<std::string> letters;
        std::vector<double> letterChances;
        std::vector<std::string> words;
        std::vector<double> wordChances;
        std::vector<std::string> top;                // said, up to the signs' block
        std::vector<std::string> firstHalf, secondHalf;  // their first items
    };
    const Row rows[] = {
        // The words first even when unlikely: they are what a choice brings.
        {"words unlikely", {"U", "A", "O"}, {0.6, 0.2, 0.1}, {"quan", "quant"}, {0.03, 0.02},
         {"bloc paraules", "uu", "A", "O", "lletres de A a L", "lletres de M a Z"}, {"espai", "\xC8"}, {"S", "R"}},
        {"a word alone", {"U", "A"}, {0.15, 0.05}, {"quan", "quant"}, {0.7, 0.1},
         {"quan", "bloc paraules", "uu", "A", "lletres de A a L", "lletres de M a Z"}, {"espai"}, {"S", "R"}},
        {"the only word alone", {"U"}, {0.2}, {"quan"}, {0.8},
         {"quan", "uu", "lletres de A a L", "lletres de M a Z"}, {"espai"}, {"S", "R"}},
        {"a word's start", {"D", "L", "C", "B", "M", "T"}, {0.3, 0.06, 0.04, 0.04, 0.03, 0.02}, {}, {},
         {"D", "lletres de A a L", "L", "lletres de M a Z"}, {"C", "B", "espai"}, {"M", "T", "S"}},
    };
    for (const Row& row : rows) {
        WritingOptions options;
        options.everyLetter = true;
        options.wordOrder = true;
        options.prediction = true;
        ScanLayout layout(options);
        layout.setPredictions(row.words);
        layout.setLikelyLetters(row.letters, row.letterChances, row.wordChances);
        const std::vector<Position> top = AutoScanTop(layout);
        std::vector<std::string> said;
        for (const Position& at : top) {
            if (at == Position{-1, 2})
                break;
            said.push_back(at.col < 0 ? AutoScanName(layout, at)
                                      : layout.blocks()[at.row].items[static_cast<std::size_t>(at.col)].say);
        }
        EXPECT_EQ(said, row.top) << row.name;
        std::multiset<int> reached;
        for (const Position& at : top)
            if (at.row == LettersBlock && at.col >= 0)
                reached.insert(at.col);
        for (int half : {-1, -2}) {
            const std::vector<int> items = AutoScanItems(layout, LettersBlock, half);
            reached.insert(items.begin(), items.end());
            const std::vector<std::string>& first = half == -1 ? row.firstHalf : row.secondHalf;
            for (std::size_t k = 0; k < first.size() && k < items.size(); ++k)
                EXPECT_EQ(layout.blocks()[LettersBlock].items[static_cast<std::size_t>(items[k])].say, first[k])
                    << row.name << " half " << half;
        }
        const std::vector<int> all = layout.itemOrder(LettersBlock);
        EXPECT_EQ(reached, std::multiset<int>(all.begin(), all.end())) << row.name;
    }
}

TEST(SwitchFilterTest, AcceptanceTimeAndLockout)
{
    struct Row {
        std::int64_t down, up;
        bool measured;
        bool accepted;
    };
    SwitchFilter filter;
    filter.setTiming({200, 1000});
    const Row rows[] = {
        {0, 100, true, false},     // a tremor: too short
        {200, 450, true, true},
        {500, 800, true, false},   // inside the lockout, long as it is
        {1400, 1460, true, false}, // too short, after the lockout
        {1500, 1700, true, true},
        {3000, 3000, false, true}, // a click report has no length to check
        {3900, 3900, false, false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(filter.accept(row.down, row.up, row.measured), row.accepted) << row.down;
}

TEST(SwitchFilterTest, ClickLockoutReplacesTheQuietSecond)
{
    struct Row {
        std::int64_t at;
        bool fixedRule, withLockout;  // handled (something said)
    };
    const Row rows[] = {
        {0, true, true},
        {300, false, false},
        {600, false, true},   // 600 ms after a handled click
        {1200, false, true},  // the fixed rule: 900 ms after an ignored one
        {2300, true, true},
    };
    ScanBlockList blocks{{"bloc", "u", "dos", "tres"}};
    MouseClickControl fixed(blocks), locked(blocks);
    locked.setLockout(500);
    fixed.switchOn(0);
    locked.switchOn(0);
    for (const Row& row : rows) {
        EXPECT_EQ(fixed.poll("1", row.at).say.has_value(), row.fixedRule) << row.at;
        EXPECT_EQ(locked.poll("1", row.at).say.has_value(), row.withLockout) << row.at;
    }
}

}  // namespace
}  // namespace brunzit
