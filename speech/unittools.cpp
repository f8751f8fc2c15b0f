#include "speech/unittools.h"

#include <algorithm>

namespace brunzit {

std::string UpperCaseAscii(const std::string& s)
{
    std::string result = s;
    for (char& c : result) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return result;
}

std::string ReplaceLineBreaks(const std::string& s)
{
    // One left-to-right pass gives the same text as replacing the first pair
    // again and again: a replaced pair leaves a blank, which never starts a
    // new pair.
    std::string result;
    result.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            result += ' ';
            ++i;
        } else {
            result += s[i];
        }
    }
    return result;
}

void RemoveSpaces(std::string& s)
{
    s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
}

}  // namespace brunzit
