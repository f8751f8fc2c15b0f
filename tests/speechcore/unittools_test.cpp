// The three string helpers.

#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "speech/unittools.h"

namespace brunzit {
namespace {

struct TextCase {
    const char* name;
    std::string in;
    std::string out;
};
inline void PrintTo(const TextCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string nameOf(const testing::TestParamInfo<TextCase>& info)
{
    return info.param.name;
}

class UpperCaseAsciiTest : public testing::TestWithParam<TextCase> {};
TEST_P(UpperCaseAsciiTest, OnlyLettersAToZChange)
{
    EXPECT_EQ(UpperCaseAscii(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Rows, UpperCaseAsciiTest,
                         testing::Values(TextCase {"letters", "sr. Bcn", "SR. BCN"},
                                         TextCase {"accented_stay", "\xE0\xE7\xF1\xE9", "\xE0\xE7\xF1\xE9"},
                                         TextCase {"edges_of_range", "`az{@AZ[", "`AZ{@AZ["},
                                         TextCase {"empty", "", ""}),
                         nameOf);

class ReplaceLineBreaksTest : public testing::TestWithParam<TextCase> {};
TEST_P(ReplaceLineBreaksTest, EachCrLfPairBecomesOneBlank)
{
    EXPECT_EQ(ReplaceLineBreaks(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Rows, ReplaceLineBreaksTest,
                         testing::Values(TextCase {"two_lines", "hola\r\nadeu", "hola adeu"},
                                         TextCase {"ends_in_break", "hola\r\n", "hola "},
                                         TextCase {"lone_cr_and_lf_stay", "a\rb\nc", "a\rb\nc"},
                                         TextCase {"lf_cr_is_no_pair", "a\n\rb", "a\n\rb"},
                                         TextCase {"pair_inside_cr_and_lf", "\r\r\n\n", "\r \n"},
                                         TextCase {"blank_lines", "\r\n\r\n", "  "}),
                         nameOf);

class RemoveSpacesTest : public testing::TestWithParam<TextCase> {};
TEST_P(RemoveSpacesTest, OnlyCharacter32Goes)
{
    std::string s = GetParam().in;
    RemoveSpaces(s);
    EXPECT_EQ(s, GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Rows, RemoveSpacesTest,
                         testing::Values(TextCase {"blanks", " i  voltants ", "ivoltants"},
                                         TextCase {"tab_stays", "a\tb", "a\tb"},
                                         TextCase {"no_break_space_stays", "a\xA0" "b", "a\xA0" "b"},
                                         TextCase {"only_blanks", "   ", ""}),
                         nameOf);

}  // namespace
}  // namespace brunzit
