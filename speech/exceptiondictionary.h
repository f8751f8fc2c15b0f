#pragma once
// The pronunciation exceptions dictionary: pairs of a word and the text said
// in its place, read from a user-written file of one pair per line and applied
// to every text before it is spoken. Plain C++; the holder window
// (TFormDiccionariExcepcions) adds the settings and the open dialog.
//
// Choices this implementation makes:
// - The table grows past 1000 entries: every accepted line of the file is
//   kept, in file order. A file is refused (as unreadable) when it is larger
//   than kMaxFileBytes or holds a NUL byte (not a text file), so loading is
//   bounded and a binary file never becomes a table of garbage.
// - An entry whose replacement holds its own key as a whole word would be
//   replaced for ever when the scan starts again from the beginning after
//   each replacement. For such an entry the scan resumes after the inserted
//   text instead, so every occurrence present in the text is replaced once
//   ('sr senyor.sr' turns 'sr' into 'senyor.sr', not into an endless text).
//   Entries that end anyway keep the exact scan-again-from-the-start result:
//   - a key of letters and other non-boundary characters (the usual word)
//     ends unless its replacement holds it, and is done in one pass;
//   - a key holding a full stop, comma or semicolon can be rebuilt across the
//     edges of its replacement ('a. ..a.a'); it is scanned again from the
//     start up to a budget (when ReplacementReproducesKey: 1024 + 4n
//     replacements, a text of 1024 + 4n + 4r characters and about 32 MB of
//     characters moved, for a text of n and a replacement of r characters;
//     otherwise a million and more replacements), and when still replacing
//     after that it is done again from the original text, resuming after
//     each inserted text.
// - No replacement makes a text longer than 64 KB plus 16 times its length
//   before the dictionary ran (and never longer than 64 MB); the occurrences
//   that would are left as they are. So a huge replacement, or a chain of
//   entries that each multiply the text, cannot exhaust memory or time.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brunzit {

struct ExceptionEntry {
    std::string key;
    std::string replacement;
    // Derived at load (see the note above).
    std::string upperKey;
    std::string upperReplacement;
    bool keyHasBoundary = false;
    bool selfContaining = false;  // ReplacementReproducesKey
};

// 1-based position of the separator of a dictionary line, 0 when none: the
// first blank if the line holds any; otherwise the first comma; otherwise the
// first semicolon; otherwise the first TAB.
std::size_t FindSeparator(std::string_view line);

// True when key occurs in text as a whole word (a..z compared without regard
// to case; blank, full stop, comma and semicolon, and the text's ends, are the
// word boundaries).
bool ContainsWholeWord(std::string_view text, std::string_view key);

// True when replacing a whole-word occurrence of key by replacement can make
// a new occurrence out of the inserted text (alone, or with the boundaries
// around it): restarting the scan after each replacement would then never end.
// A replacement shorter than the key always ends and never counts.
bool ReplacementReproducesKey(std::string_view key, std::string_view replacement);

// Replaces every whole-word occurrence of key in text by replacement,
// scanning again from the start after each replacement until no occurrence is
// left. Returns at once for an empty key. When the replacement holds the key
// as a whole word, each scan resumes after the inserted text instead, so the
// call always ends.
void ReplaceWholeWord(std::string& text, const std::string& key, const std::string& replacement);

// The entries applied one after the other over the whole text, each on the
// text left by the ones before: the rule as written, whose cost grows with
// the number of entries. ExceptionDictionary::ApplyExceptions gives exactly
// this result in time that does not.
void ApplyEntriesInTurn(const std::vector<ExceptionEntry>& entries, std::string& text);

class ExceptionDictionary {
public:
    static constexpr std::size_t kMaxFileBytes = 16u * 1024u * 1024u;

    enum class LoadStatus {
        Loaded,      // at least one entry
        NoEntries,   // read, but no valid line
        ReadFailed,  // missing, unreadable, too large or not a text file
    };

    // Rebuilds the table from the whole content of a file. Lines end with
    // CR LF, CR or LF. Returns the number of entries.
    std::size_t loadFromBytes(std::string_view content);
    // Rebuilds the table from a file. On ReadFailed the table is left empty.
    LoadStatus loadFromFile(const std::string& path);
    void clear();

    // Parses one line (without its line break); false when the line is
    // skipped: empty, no separator, or an empty key or replacement.
    static bool parseLine(std::string_view line, ExceptionEntry& entry);

    // Runs ReplaceWholeWord for every entry in file order; each entry works on
    // the text left by the ones before it. Entries whose key is one word (no
    // blank, full stop, comma or semicolon) are found through an index over
    // whole words, so their cost does not grow with their number; each key
    // holding punctuation costs one search of the text.
    void ApplyExceptions(std::string& text) const;

    const std::vector<ExceptionEntry>& entries() const { return entries_; }
    std::size_t ExceptionCount() const { return entries_.size(); }

private:
    void buildIndex();
    // Entries [from, to), all of one-word keys, applied to text through the
    // index. False, with text unchanged, when the text could grow past limit
    // or the entries chain too deep: then the rule as written is needed.
    bool applyWordEntries(std::string& text, std::size_t from, std::size_t to, std::size_t limit) const;

    std::vector<ExceptionEntry> entries_;
    // Upper-case key -> indices of the one-word entries with that key, in order.
    std::unordered_map<std::string, std::vector<std::uint32_t>> wordEntries_;
    // Indices of the entries whose key holds punctuation, in order.
    std::vector<std::uint32_t> punctuatedEntries_;
    // The upper-case words of all replacements: with the words of a text,
    // every word the text can ever hold.
    std::unordered_map<std::string, bool> replacementWords_;
};

}  // namespace brunzit
