#pragma once
// The text changes of a selection, as pure functions on Windows-1252 text
// whose line breaks are CR LF. Positions count from 1, as the rules are told.

#include <cstddef>
#include <string>

namespace brunzit {

// Word separators: space, comma and full stop (a line break is not one).
bool IsWordSeparator(char c);

// The word ending the text: walking i from start down to 2, the first
// separator at i gives the text from i + 1 to the end; none gives the whole
// text. Position 1 is never examined; a start of 1 or less gives the whole text.
std::string LastWord(const std::string& text, long start);

struct Split {
    std::string kept;
    std::string removed;
};

// Delete-last-word rule: kept is the text up to and including the last
// separator after position 1, removed the rest; without such a separator the
// whole text goes.
Split DeleteLastWord(const std::string& text);

// The last character goes; a CR LF pair counts as one character, so a line
// break is never split into a lone CR.
Split RemoveLastLetter(const std::string& text);

// Every occurrence of pattern replaced, left to right. Replaced text is not
// searched again, so a replacement that contains the pattern still ends.
std::string ReplaceAll(const std::string& text, const std::string& pattern, const std::string& replacement);
// "BEXO" read as "BEX\xD3" (BEXÓ).
std::string ReplaceBexo(const std::string& text);

// Scanning selection: the text a chosen entry writes ("espai" -> " ",
// "quu" -> "Q", "m\xE9s" -> "+" ...; other entries unchanged).
std::string ScanEntryText(const std::string& entry);

// Lower-level helpers for the editor edge.
std::string ToCrLf(const std::string& text);     // LF or lone CR -> CR LF
std::string FromCrLf(const std::string& text);   // CR LF or lone CR -> LF

}  // namespace brunzit
