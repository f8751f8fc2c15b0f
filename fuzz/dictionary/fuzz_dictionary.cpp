// Input: a dictionary file. The text spoken is the file's last line.
// Checks: every entry has a key and a replacement without blanks or line
// breaks; applying the dictionary ends and gives the same text as the entries
// applied one after the other (the indexed path against the rule as
// written); an entry applied alone gives the
// same text as the plain rule (scan from the start after every replacement)
// whenever that rule ends within its step limit; a plain-word entry that
// does not reproduce its key leaves no occurrence of it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "speech/exceptiondictionary.h"

namespace {

bool isBoundary(char c)
{
    return c == ' ' || c == '.' || c == ',' || c == ';';
}

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

bool matchesAt(const std::string& text, const std::string& key, std::size_t i)
{
    if (i + key.size() > text.size())
        return false;
    for (std::size_t k = 0; k < key.size(); ++k) {
        if (upper(text[i + k]) != upper(key[k]))
            return false;
    }
    return (i == 0 || isBoundary(text[i - 1])) && (i + key.size() == text.size() || isBoundary(text[i + key.size()]));
}

// The rule as written, slowly. False when it has not ended after maxSteps.
bool plainRule(std::string& text, const std::string& key, const std::string& replacement, int maxSteps)
{
    for (int step = 0; step <= maxSteps; ++step) {
        std::size_t i = 0;
        while (i < text.size() && !matchesAt(text, key, i))
            ++i;
        if (i >= text.size())
            return true;
        text.replace(i, key.size(), replacement);
        if (text.size() > 1024)
            return false;
    }
    return false;
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string content(reinterpret_cast<const char*>(data), size);
    brunzit::ExceptionDictionary dictionary;
    dictionary.loadFromBytes(content);
    for (const auto& entry : dictionary.entries()) {
        check(!entry.key.empty() && !entry.replacement.empty());
        check(entry.key.find_first_of(" \r\n") == std::string::npos);
        check(entry.replacement.find_first_of(" \r\n") == std::string::npos);
    }
    const std::size_t lastBreak = content.find_last_of("\r\n");
    const std::string spoken = lastBreak == std::string::npos ? content : content.substr(lastBreak + 1);

    std::string all = spoken;
    dictionary.ApplyExceptions(all);
    std::string inTurn = spoken;
    brunzit::ApplyEntriesInTurn(dictionary.entries(), inTurn);
    check(all == inTurn);

    std::size_t checked = 0;
    for (const auto& entry : dictionary.entries()) {
        if (++checked > 8)
            break;
        std::string fast = spoken;
        brunzit::ReplaceWholeWord(fast, entry.key, entry.replacement);
        std::string slow = spoken;
        if (plainRule(slow, entry.key, entry.replacement, 100))
            check(fast == slow);
        if (!entry.selfContaining && !entry.keyHasBoundary)
            check(!brunzit::ContainsWholeWord(fast, entry.key));
    }
    return 0;
}
