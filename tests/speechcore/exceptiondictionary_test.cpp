// Dictionary lines and whole-word replacement.

#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>

#include "speech/exceptiondictionary.h"

namespace brunzit {
namespace {

struct SeparatorCase {
    const char* name;
    std::string line;
    std::size_t position;
};
inline void PrintTo(const SeparatorCase& c, std::ostream* os)
{
    *os << c.name;
}

class FindSeparatorTest : public testing::TestWithParam<SeparatorCase> {};

TEST_P(FindSeparatorTest, ByPriorityNotByPosition)
{
    EXPECT_EQ(FindSeparator(GetParam().line), GetParam().position);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FindSeparatorTest,
    testing::Values(SeparatorCase {"blank", "BCN Barcelona", 4}, SeparatorCase {"comma", "BCN,Barcelona", 4},
                    SeparatorCase {"semicolon", "BCN;Barcelona", 4}, SeparatorCase {"tab", "BCN\tBarcelona", 4},
                    SeparatorCase {"blank_beats_earlier_comma", "a,b c", 4},
                    SeparatorCase {"comma_beats_earlier_semicolon", "a;b,c", 4},
                    SeparatorCase {"semicolon_beats_earlier_tab", "a\tb;c", 4},
                    SeparatorCase {"first_of_several_blanks", "ab c d", 3},
                    SeparatorCase {"leading_blank", " BCN", 1}, SeparatorCase {"none", "BCN", 0},
                    SeparatorCase {"empty", "", 0}),
    [](const testing::TestParamInfo<SeparatorCase>& info) { return std::string(info.param.name); });

struct LineCase {
    const char* name;
    std::string line;
    bool accepted;
    std::string key;
    std::string replacement;
};
inline void PrintTo(const LineCase& c, std::ostream* os)
{
    *os << c.name;
}

class ParseLineTest : public testing::TestWithParam<LineCase> {};

TEST_P(ParseLineTest, SplitsAndDropsBlanks)
{
    const LineCase& c = GetParam();
    ExceptionEntry entry;
    ASSERT_EQ(ExceptionDictionary::parseLine(c.line, entry), c.accepted);
    if (c.accepted) {
        EXPECT_EQ(entry.key, c.key);
        EXPECT_EQ(entry.replacement, c.replacement);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ParseLineTest,
    testing::Values(LineCase {"blank", "BCN Barcelona", true, "BCN", "Barcelona"},
                    LineCase {"comma", "BCN,Barcelona", true, "BCN", "Barcelona"},
                    LineCase {"semicolon", "BCN;Barcelona", true, "BCN", "Barcelona"},
                    LineCase {"tab", "BCN\tBarcelona", true, "BCN", "Barcelona"},
                    LineCase {"leading_blank_skipped", " BCN Barcelona", false, "", ""},
                    LineCase {"blank_wins_over_comma", "BCN,Barcelona i voltants", true, "BCN,Barcelona",
                              "ivoltants"},
                    LineCase {"double_blank", "sr  senyor", true, "sr", "senyor"},
                    LineCase {"tab_stays_in_key", "a\tb c", true, "a\tb", "c"},
                    LineCase {"later_separators_stay", "x,y;z", true, "x", "y;z"},
                    LineCase {"no_separator", "BCN", false, "", ""},
                    LineCase {"empty_replacement", "BCN ", false, "", ""},
                    LineCase {"only_blanks_after", "BCN   ", false, "", ""},
                    LineCase {"empty_line", "", false, "", ""}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

struct ReplaceCase {
    const char* name;
    std::string text;
    std::string key;
    std::string replacement;
    std::string expected;
};
inline void PrintTo(const ReplaceCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplaceWholeWordTest : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceWholeWordTest, ReplacesWholeWordsOnly)
{
    const ReplaceCase& c = GetParam();
    std::string text = c.text;
    ReplaceWholeWord(text, c.key, c.replacement);
    EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReplaceWholeWordTest,
    testing::Values(
        ReplaceCase {"comma_after", "hola sr, adeu", "sr", "senyor", "hola senyor, adeu"},
        ReplaceCase {"upper_case_at_start", "SR. Puig", "sr", "senyor", "senyor. Puig"},
        ReplaceCase {"mixed_case_key", "sR", "Sr", "senyor", "senyor"},
        ReplaceCase {"part_of_word", "srs", "sr", "senyor", "srs"},
        ReplaceCase {"brackets_are_no_boundary", "(sr)", "sr", "senyor", "(sr)"},
        ReplaceCase {"tab_is_no_boundary", "sr\tPuig", "sr", "senyor", "sr\tPuig"},
        ReplaceCase {"line_break_is_no_boundary", "sr\r\nPuig", "sr", "senyor", "sr\r\nPuig"},
        ReplaceCase {"every_boundary", "sr sr.sr,sr;sr", "sr", "senyor", "senyor senyor.senyor,senyor;senyor"},
        ReplaceCase {"accents_compare_exactly", "\xC0 \xE0", "\xE0", "a", "\xC0 a"},
        ReplaceCase {"replacement_keeps_its_case", "bcn", "BCN", "Barcelona", "Barcelona"},
        ReplaceCase {"key_longer_than_text", "sr", "senyor", "x", "sr"},
        ReplaceCase {"empty_key", "a b", "", "x", "a b"},
        ReplaceCase {"empty_replacement_deletes", "a sr b", "sr", "", "a  b"},
        ReplaceCase {"key_with_full_stop", "el sr. Puig", "sr.", "senyor", "el senyor Puig"},
        // Scanning again from the start: the inserted text can complete an
        // occurrence of a key that holds a full stop.
        ReplaceCase {"rescan_finds_new_occurrence", "a..", "a.", ".a", "..a"},
        ReplaceCase {"shrinking_cascade", "a.a.a", "a.a", "a", "a"},
        // Replacements that hold their own key end, each occurrence done once.
        ReplaceCase {"self_containing", "sr i sr", "sr", "senyor.sr", "senyor.sr i senyor.sr"},
        ReplaceCase {"self_containing_same", "x", "x", "X", "X"},
        ReplaceCase {"self_reproducing_at_the_edge", "a..", "a.", "..a.a", "..a.a."}),
    [](const testing::TestParamInfo<ReplaceCase>& info) { return std::string(info.param.name); });

struct ReproduceCase {
    const char* name;
    std::string key;
    std::string replacement;
    bool reproduces;
};
inline void PrintTo(const ReproduceCase& c, std::ostream* os)
{
    *os << c.name;
}

class ReplacementReproducesKeyTest : public testing::TestWithParam<ReproduceCase> {};

TEST_P(ReplacementReproducesKeyTest, SpotsEntriesThatWouldNeverEnd)
{
    const ReproduceCase& c = GetParam();
    EXPECT_EQ(ReplacementReproducesKey(c.key, c.replacement), c.reproduces);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReplacementReproducesKeyTest,
    testing::Values(ReproduceCase {"plain", "sr", "senyor", false},
                    ReproduceCase {"holds_key_as_word", "sr", "senyor.sr", true},
                    ReproduceCase {"holds_key_in_other_case", "x", "X", true},
                    ReproduceCase {"holds_key_inside_word", "sr", "srs", false},
                    ReproduceCase {"rebuilt_with_the_boundary_after", "a.", "..a.a", true},
                    ReproduceCase {"shorter_always_ends", "ab", "a", false}),
    [](const testing::TestParamInfo<ReproduceCase>& info) { return std::string(info.param.name); });

TEST(ApplyExceptionsTest, EntriesApplyInFileOrder)
{
    ExceptionDictionary dictionary;
    ASSERT_EQ(dictionary.loadFromBytes("a b\r\nb c\r\n"), 2u);
    std::string text = "a";
    dictionary.ApplyExceptions(text);
    EXPECT_EQ(text, "c");

    ASSERT_EQ(dictionary.loadFromBytes("b c\r\na b\r\n"), 2u);
    text = "a";
    dictionary.ApplyExceptions(text);
    EXPECT_EQ(text, "b");
}

TEST(ApplyExceptionsTest, LongTextWithManyOccurrences)
{
    ExceptionDictionary dictionary;
    ASSERT_EQ(dictionary.loadFromBytes("sr senyor\nbcn Barcelona\n"), 2u);
    std::string text;
    std::string expected;
    for (int i = 0; i < 20000; ++i) {
        text += "sr de bcn. ";
        expected += "senyor de Barcelona. ";
    }
    dictionary.ApplyExceptions(text);
    EXPECT_EQ(text, expected);
}

// The indexed application against the rule applied entry by entry, on
// random dictionaries over a few short words so that keys meet often: chains
// of entries, keys reproduced by their replacements, punctuated keys between
// one-word ones, replacements that split a word, and chains that grow the
// text past its limit.
TEST(ApplyExceptionsTest, SameResultAsTheEntriesInTurn)
{
    std::mt19937 random(16);
    const auto pick = [&](std::initializer_list<const char*> choices) {
        return std::string(choices.begin()[random() % choices.size()]);
    };
    const auto piece = [&] { return pick({"a", "b", "ab", "Sr", "sR", "x", "\xC0", "a\tb"}); };
    const auto boundary = [&] { return pick({" ", ".", ",", ";", "\n", "("}); };
    int growing = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string file;
        const int entries = 1 + static_cast<int>(random() % 12);
        for (int e = 0; e < entries; ++e) {
            std::string key = piece();
            if (random() % 6 == 0)
                key += pick({".", ",", ";"}) + (random() % 2 ? piece() : std::string());
            std::string replacement = piece();
            for (int more = static_cast<int>(random() % 4); more > 0; --more)
                replacement += pick({".", ",", ";", ""}) + (random() % 3 ? piece() : key);
            file += key + " " + replacement + "\n";
        }
        if (round % 50 == 0) {  // each entry doubles the text: the limit is reached
            for (int e = 0; e < 14; ++e)
                file += "a a.a\n";
            ++growing;
        }
        std::string text;
        for (int w = static_cast<int>(random() % 12); w > 0; --w)
            text += piece() + boundary();
        ExceptionDictionary dictionary;
        dictionary.loadFromBytes(file);
        std::string expected = text;
        ApplyEntriesInTurn(dictionary.entries(), expected);
        std::string got = text;
        dictionary.ApplyExceptions(got);
        ASSERT_EQ(got, expected) << "dictionary:\n" << file << "text: " << text;
    }
    EXPECT_GT(growing, 0);
}

}  // namespace
}  // namespace brunzit
