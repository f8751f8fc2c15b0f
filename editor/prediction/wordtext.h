#pragma once
// Words as word prediction sees them. All text here is Windows-1252, the
// editor's own code page: every Catalan and Spanish letter is one byte.
//
// A word is a run of letters, with "·" allowed between two letters (l·l);
// in Catalan an elided article or pronoun keeps its apostrophe ("l'", "d'")
// and is a word of its own. Spaces keep two words a pair; . ! ? ; : and line
// breaks start a sentence; any other character breaks the pair.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace brunzit::prediction {

namespace detail {
extern const std::array<char, 256> lowerTable, foldTable;
extern const std::array<bool, 256> letterTable;
}

inline bool isLetter(unsigned char c) { return detail::letterTable[c]; }
inline char lowerLetter(char c) { return detail::lowerTable[static_cast<unsigned char>(c)]; }
// Lower case with accents, diaeresis and cedilla off ("È" -> 'e', "ç" -> 'c').
// One byte for one byte, so a folded word keeps its length.
inline char foldLetter(char c) { return detail::foldTable[static_cast<unsigned char>(c)]; }
std::string lowerText(std::string_view text);
std::string foldText(std::string_view text);

// True when `word` begins with what the user typed, ignoring case. A plain
// letter typed matches its accented forms ("que" reaches "què"); an accented
// letter typed matches only itself.
bool startsWithTyped(std::string_view word, std::string_view typed);

struct Token {
    enum Kind { Word, SentenceStart, Break };
    Kind kind;
    std::size_t begin, end;   // the word's bytes; empty for the other kinds
};
std::vector<Token> tokenize(std::string_view text);

// What the text before the caret says about the word being written.
struct Context {
    std::string partial;        // letters of the unfinished word, maybe none
    std::string previous;       // the word before it, lower case; "" at a sentence start
    bool previousKnown = false; // false after a comma, a digit, a bracket...
};
Context contextOf(std::string_view textBeforeCaret);
// The same for the last finished word: `partial` holds that word (empty when
// the text has none) and `previous` the word before it.
Context lastWordOf(std::string_view text);

}  // namespace brunzit::prediction
