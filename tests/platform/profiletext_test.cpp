// The text rules of settings files, byte for byte.

#include <gtest/gtest.h>

#include <ostream>

#include <optional>
#include <string>

#include "platform/profilefile.h"

namespace brunzit {
namespace {

using namespace std::string_literals;

struct LookupCase {
    const char* name;
    std::string content;
    std::string section;
    std::string key;
    std::optional<std::string> expected;
};
inline void PrintTo(const LookupCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookup, FindsTheValueAsStored)
{
    const LookupCase& c = GetParam();
    EXPECT_EQ(profiletext::lookup(c.content, c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileLookup,
    testing::Values(
        LookupCase {"crlf_file", "[s]\r\nk=v\r\n", "s", "k", "v"},
        LookupCase {"lf_file", "[s]\nk=v\n", "s", "k", "v"},
        LookupCase {"last_line_without_break", "[s]\r\nk=v", "s", "k", "v"},
        LookupCase {"names_ignore_ascii_case", "[BrunzitMouseHook]\r\nCLIC=1\r\n", "brunzitmousehook", "clic", "1"},
        LookupCase {"accented_names_match_exactly", "[Font Lletra]\r\nIt\xE0lica=NO\r\n", "FONT LLETRA",
                    "IT\xE0LICA", "NO"},
        LookupCase {"accented_letters_do_not_fold", "[Font Lletra]\r\nIt\xE0lica=NO\r\n", "Font Lletra",
                    "It\xC0lica", std::nullopt},
        LookupCase {"blanks_around_names_and_value", "  [ s ]  \r\n  k  =  v  w  \r\n", "s", "k", "v  w"},
        LookupCase {"tabs_trimmed", "[s]\r\nk=\tv\t\r\n", "s", "k", "v"},
        LookupCase {"value_bytes_kept", "[brunzit]\r\nTeclat visible=S\xCD\r\n", "brunzit", "Teclat visible",
                    "S\xCD"},
        LookupCase {"empty_value_is_present", "[s]\r\nk=\r\n", "s", "k", ""},
        LookupCase {"equals_inside_value", "[s]\r\nk=a=b\r\n", "s", "k", "a=b"},
        LookupCase {"key_of_other_section", "[a]\r\nk=1\r\n[b]\r\nj=2\r\n", "b", "k", std::nullopt},
        LookupCase {"first_of_duplicate_keys", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "1"},
        LookupCase {"only_first_of_duplicate_sections", "[s]\r\nk=1\r\n[s]\r\nj=2\r\n", "s", "j", std::nullopt},
        LookupCase {"comment_line_is_no_key", "[s]\r\n;k=1\r\n", "s", "k", std::nullopt},
        LookupCase {"key_before_any_section", "k=1\r\n[s]\r\n", "s", "k", std::nullopt},
        LookupCase {"byte_order_mark_before_first_section", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "v"},
        LookupCase {"text_after_closing_bracket", "[s] ; note\r\nk=v\r\n", "s", "k", "v"},
        LookupCase {"unclosed_bracket_is_no_section", "[s\r\nk=v\r\n", "s", "k", std::nullopt},
        LookupCase {"line_without_equals", "[s]\r\nk\r\n", "s", "k", std::nullopt},
        LookupCase {"nul_line_after", "[s]\r\nk=v\r\n\0"s, "s", "k", "v"},
        LookupCase {"nul_in_the_key_line", "[s]\r\nk=v\0\r\n"s, "s", "k", std::nullopt},
        LookupCase {"empty_content", "", "s", "k", std::nullopt}),
    [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

struct AssignCase {
    const char* name;
    std::string before;
    std::string section;
    std::string key;
    std::string value;
    std::string after;
};
inline void PrintTo(const AssignCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileAssign : public testing::TestWithParam<AssignCase> {};

TEST_P(ProfileAssign, ChangesOnlyWhatItMust)
{
    const AssignCase& c = GetParam();
    EXPECT_EQ(profiletext::assign(c.before, c.section, c.key, c.value), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileAssign,
    testing::Values(
        AssignCase {"into_empty_file", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
        AssignCase {"new_section_at_end", "[a]\r\nx=1\r\n", "s", "k", "v", "[a]\r\nx=1\r\n[s]\r\nk=v\r\n"},
        AssignCase {"new_section_after_unterminated_line", "[a]\r\nx=1", "s", "k", "v",
                    "[a]\r\nx=1\r\n[s]\r\nk=v\r\n"},
        AssignCase {"new_key_at_end_of_its_section", "[s]\r\na=1\r\n\r\n[t]\r\nb=2\r\n", "s", "k", "v",
                    "[s]\r\na=1\r\nk=v\r\n\r\n[t]\r\nb=2\r\n"},
        AssignCase {"new_key_in_last_section", "[s]\r\na=1\r\n", "S", "k", "v", "[s]\r\na=1\r\nk=v\r\n"},
        AssignCase {"new_key_under_bare_header", "[s]", "s", "k", "v", "[s]\r\nk=v\r\n"},
        AssignCase {"new_key_after_comment_of_section", "[s]\r\na=1\r\n; c\r\n\r\n", "s", "k", "v",
                    "[s]\r\na=1\r\n; c\r\nk=v\r\n\r\n"},
        AssignCase {"lf_lines_left_alone", "[s]\na=1\n[t]\n", "s", "k", "v", "[s]\na=1\nk=v\r\n[t]\n"},
        AssignCase {"value_changed_spelling_kept", "[S]\r\n  Key = old \r\n", "s", "KEY", "v",
                    "[S]\r\n  Key =v\r\n"},
        AssignCase {"changed_line_in_lf_file", "[s]\nk=1\nz=2\n", "s", "k", "v", "[s]\nk=v\r\nz=2\n"},
        AssignCase {"only_first_duplicate_changed", "[s]\r\nk=1\r\nk=2\r\n", "s", "k", "v",
                    "[s]\r\nk=v\r\nk=2\r\n"},
        AssignCase {"same_key_other_section_untouched", "[a]\r\nk=1\r\n[b]\r\nk=2\r\n", "b", "k", "v",
                    "[a]\r\nk=1\r\n[b]\r\nk=v\r\n"},
        AssignCase {"windows_1252_bytes", "", "brunzit", "Llengua Catal\xE0", "S\xCD",
                    "[brunzit]\r\nLlengua Catal\xE0=S\xCD\r\n"},
        AssignCase {"odd_lines_kept_byte_for_byte", "junk\x01\xFF\r\n[s]\r\nno equals\r\n", "s", "k", "v",
                    "junk\x01\xFF\r\n[s]\r\nno equals\r\nk=v\r\n"},
        AssignCase {"nul_line_kept", "[s]\r\n\0"s, "s", "k", "v", "[s]\r\n\0\r\nk=v\r\n"s},
        AssignCase {"value_with_line_break_refused", "[s]\r\nk=1\r\n", "s", "k", "a\r\n[x]", "[s]\r\nk=1\r\n"}),
    [](const testing::TestParamInfo<AssignCase>& info) { return std::string(info.param.name); });

struct StoreCase {
    const char* name;
    std::string section;
    std::string key;
    std::string value;
    bool storable;
};
inline void PrintTo(const StoreCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileCanStore : public testing::TestWithParam<StoreCase> {};

TEST_P(ProfileCanStore, RefusesWhatWouldNotReadBack)
{
    const StoreCase& c = GetParam();
    EXPECT_EQ(profiletext::canStore(c.section, c.key, c.value), c.storable);
    if (c.storable) {
        const std::string content = profiletext::assign("", c.section, c.key, c.value);
        EXPECT_EQ(profiletext::lookup(content, c.section, c.key), c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ProfileCanStore,
    testing::Values(StoreCase {"plain", "s", "k", "v", true},
                    StoreCase {"empty_value", "s", "k", "", true},
                    StoreCase {"path_value", "FormDiccionariExcepcions", "NomFitxerDiccionariExcepcions",
                               "/home/u/dic=1;a.txt", true},
                    StoreCase {"empty_key", "s", "", "v", false},
                    StoreCase {"empty_section", "", "k", "v", false},
                    StoreCase {"equals_in_key", "s", "a=b", "v", false},
                    StoreCase {"bracket_in_section", "s]x", "k", "v", false},
                    StoreCase {"comment_key", "s", ";k", "v", false},
                    StoreCase {"blank_around_key", "s", " k", "v", false},
                    StoreCase {"line_feed_in_value", "s", "k", "a\nb", false},
                    StoreCase {"carriage_return_in_key", "s", "k\r", "v", false},
                    StoreCase {"nul_in_value", "s", "k", "a\0b"s, false}),
    [](const testing::TestParamInfo<StoreCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brunzit
