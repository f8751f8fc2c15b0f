// Windows-1252 to UTF-8 and back.

#include <gtest/gtest.h>

#include <ostream>

#include <string>

#include "platform/cp1252.h"

namespace brunzit {
namespace {

struct ByteCase {
    unsigned char byte;
    const char* utf8;
};
inline void PrintTo(const ByteCase& c, std::ostream* os)
{
    *os << "byte " << static_cast<int>(c.byte);
}

class Cp1252Byte : public testing::TestWithParam<ByteCase> {};

TEST_P(Cp1252Byte, ConvertsBothWays)
{
    const ByteCase& c = GetParam();
    const std::string byte(1, static_cast<char>(c.byte));
    EXPECT_EQ(cp1252ToUtf8(byte), c.utf8);
    EXPECT_EQ(utf8ToCp1252(c.utf8), byte);
    EXPECT_TRUE(fitsCp1252(c.utf8));
}

// The whole 0x80..0x9F block, where Windows-1252 differs from Latin-1, and
// the letters the program speaks.
INSTANTIATE_TEST_SUITE_P(
    Table, Cp1252Byte,
    testing::Values(ByteCase {0x80, "\u20AC"}, ByteCase {0x81, "\u0081"}, ByteCase {0x82, "\u201A"},
                    ByteCase {0x83, "\u0192"}, ByteCase {0x84, "\u201E"}, ByteCase {0x85, "\u2026"},
                    ByteCase {0x86, "\u2020"}, ByteCase {0x87, "\u2021"}, ByteCase {0x88, "\u02C6"},
                    ByteCase {0x89, "\u2030"}, ByteCase {0x8A, "\u0160"}, ByteCase {0x8B, "\u2039"},
                    ByteCase {0x8C, "\u0152"}, ByteCase {0x8D, "\u008D"}, ByteCase {0x8E, "\u017D"},
                    ByteCase {0x8F, "\u008F"}, ByteCase {0x90, "\u0090"}, ByteCase {0x91, "\u2018"},
                    ByteCase {0x92, "\u2019"}, ByteCase {0x93, "\u201C"}, ByteCase {0x94, "\u201D"},
                    ByteCase {0x95, "\u2022"}, ByteCase {0x96, "\u2013"}, ByteCase {0x97, "\u2014"},
                    ByteCase {0x98, "\u02DC"}, ByteCase {0x99, "\u2122"}, ByteCase {0x9A, "\u0161"},
                    ByteCase {0x9B, "\u203A"}, ByteCase {0x9C, "\u0153"}, ByteCase {0x9D, "\u009D"},
                    ByteCase {0x9E, "\u017E"}, ByteCase {0x9F, "\u0178"}, ByteCase {0xA0, "\u00A0"},
                    ByteCase {0xC0, "\u00C0"}, ByteCase {0xC7, "\u00C7"}, ByteCase {0xCD, "\u00CD"},
                    ByteCase {0xD1, "\u00D1"}, ByteCase {0xE0, "\u00E0"}, ByteCase {0xE7, "\u00E7"},
                    ByteCase {0xF1, "\u00F1"}, ByteCase {0xFF, "\u00FF"}, ByteCase {0x41, "A"}));

TEST(Cp1252Test, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
}

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::string cp1252;
    bool fits;
};
inline void PrintTo(const Utf8Case& c, std::ostream* os)
{
    *os << c.name;
}

class Utf8ToCp1252 : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToCp1252, MapsOrReplacesOrKeeps)
{
    const Utf8Case& c = GetParam();
    EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252);
    EXPECT_EQ(fitsCp1252(c.utf8), c.fits);
}

INSTANTIATE_TEST_SUITE_P(
    Text, Utf8ToCp1252,
    testing::Values(Utf8Case {"catalan_word", "pa\u00E7 i m\u00E9s", "pa\xE7 i m\xE9s", true},
                    Utf8Case {"no_byte_for_it", "\u4E2D\u03A9", "??", false},
                    Utf8Case {"emoji", "a\U0001F600b", "a?b", false},
                    Utf8Case {"lone_lead_byte_kept", "m\xC3", "m\xC3", true},
                    Utf8Case {"latin1_bytes_kept", "S\xCD", "S\xCD", true},
                    Utf8Case {"overlong_slash_kept", "\xC0\xAF", "\xC0\xAF", true},
                    Utf8Case {"encoded_surrogate_kept", "\xED\xA0\x80", "\xED\xA0\x80", true},
                    Utf8Case {"truncated_sequence", "\xE2\x82", "\xE2\x82", true}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return std::string(info.param.name); });

TEST(Cp1252Test, AFileIsReadAsUtf8OnlyWhenItIsValidUtf8)
{
    struct Row {
        const char* name;
        std::string bytes, cp1252;
    };
    const Row rows[] = {
        {"utf8", "revisi\xC3\xB3 revisio\r\n", "revisi\xF3 revisio\r\n"},
        {"utf8 with a byte-order mark", "\xEF\xBB\xBFm\xC3\xA9s mes", "m\xE9s mes"},
        {"windows-1252", "revisi\xF3 revisio", "revisi\xF3 revisio"},
        {"mixed: one invalid byte keeps it all", "\xC3\xB3 \xF3", "\xC3\xB3 \xF3"},
        {"ascii", "abc", "abc"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(fileTextToCp1252(row.bytes), row.cp1252) << row.name;
}

}  // namespace
}  // namespace brunzit
