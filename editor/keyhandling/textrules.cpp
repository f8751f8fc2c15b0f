#include "editor/keyhandling/textrules.h"

#include <array>
#include <utility>

namespace brunzit {

bool IsWordSeparator(char c)
{
    return c == ' ' || c == ',' || c == '.';
}

std::string LastWord(const std::string& text, long start)
{
    const long length = static_cast<long>(text.size());
    if (start > length)
        start = length;
    for (long i = start; i >= 2; --i) {
        if (IsWordSeparator(text[static_cast<std::size_t>(i - 1)]))
            return text.substr(static_cast<std::size_t>(i));
    }
    return text;
}

Split DeleteLastWord(const std::string& text)
{
    for (std::size_t i = text.size(); i >= 2; --i) {
        if (IsWordSeparator(text[i - 1]))
            return {text.substr(0, i), text.substr(i)};
    }
    return {std::string(), text};
}

Split RemoveLastLetter(const std::string& text)
{
    if (text.empty())
        return {};
    std::size_t cut = text.size() - 1;
    if (cut > 0 && text[cut] == '\n' && text[cut - 1] == '\r')
        --cut;
    return {text.substr(0, cut), text.substr(cut)};
}

std::string ReplaceAll(const std::string& text, const std::string& pattern, const std::string& replacement)
{
    if (pattern.empty())
        return text;
    std::string result;
    result.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at = text.find(pattern); at != std::string::npos; at = text.find(pattern, from)) {
        result.append(text, from, at - from);
        result += replacement;
        from = at + pattern.size();
    }
    result.append(text, from, std::string::npos);
    return result;
}

std::string ReplaceBexo(const std::string& text)
{
    return ReplaceAll(text, "BEXO", "BEX\xD3");
}

std::string ScanEntryText(const std::string& entry)
{
    // First match wins; every other entry is written as it is stored.
    static const std::array<std::pair<const char*, const char*>, 16> kTable{{
        {"espai", " "},
        {"ii grega", "Y"},
        {"AA", "A"},
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
    for (const auto& [spoken, written] : kTable) {
        if (entry == spoken)
            return written;
    }
    return entry;
}

std::string ToCrLf(const std::string& text)
{
    std::string result;
    result.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            result += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if (c == '\n') {
            result += "\r\n";
        } else {
            result += c;
        }
    }
    return result;
}

std::string FromCrLf(const std::string& text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            result += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            result += c;
        }
    }
    return result;
}

}  // namespace brunzit
