#pragma once
// A language's words with their counts and the counts of word pairs, read
// from the files that scripts/build-lexicons.sh writes (UTF-8):
//   LANG.tsv        word<TAB>count                 sorted by folded word
//   LANG-pairs.tsv  first<TAB>second<TAB>count     first empty: sentence start
// Held as one block of Windows-1252 text with a sorted index, so a prefix is
// found by binary search and loading is one read and one pass.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brunzit::prediction {

// What may follow the letters written so far of a word, as slots: a
// letter's byte in capitals, LetterGeminada for "l\xB7l", LetterEnd for the
// word's end.
constexpr std::size_t LetterGeminada = 256, LetterEnd = 257, LetterSlots = 258;
using LetterWeights = std::array<double, LetterSlots>;
// The slot of what follows the first `at` bytes of `word`; LetterSlots
// inside an "l\xB7l", which the keyboard writes whole.
std::size_t NextLetterSlot(std::string_view word, std::size_t at);

class Lexicon {
public:
    struct Follower {
        std::uint32_t word;
        std::uint32_t count;
    };

    // False, with the lexicon left empty, when the word file cannot be read;
    // a missing pair file only leaves the pairs out. Lines that are not
    // "word<TAB>count" are skipped.
    bool load(const std::string& wordsPath, const std::string& pairsPath);
    // The same from text already in memory (UTF-8).
    void parse(std::string_view wordsUtf8, std::string_view pairsUtf8);

    std::size_t size() const { return entries_.size(); }
    std::string_view word(std::uint32_t i) const { return {text_.data() + entries_[i].offset, entries_[i].length}; }
    std::uint32_t count(std::uint32_t i) const { return entries_[i].count; }
    std::uint64_t total() const { return total_; }

    // Indexes [first, last) of the words whose folded form begins with `folded`.
    std::pair<std::uint32_t, std::uint32_t> foldedRange(std::string_view folded) const;
    // The word itself, ignoring case.
    std::optional<std::uint32_t> find(std::string_view word) const;

    struct Followers {
        std::vector<Follower> words;   // by word index
        std::uint64_t total = 0;       // the sum of their counts
        std::uint32_t countOf(std::uint32_t word) const;
    };
    // Words seen after `previous` ("" for a sentence start). The pairs are
    // read from their text the first time a word asks for them, which keeps
    // loading quick; so a lexicon serves one thread at a time.
    const Followers& followers(std::string_view previous) const;

    // What follows the last two letters of `partial` (fewer at a word's
    // start) in the lexicon's words, weighed by their counts: for the words
    // no lexicon holds. Built the first time it is asked for, like the pairs.
    const LetterWeights& afterLetters(std::string_view partial) const;

    // The most frequent words, for when nothing narrows the choice.
    const std::vector<std::uint32_t>& commonest() const { return commonest_; }

private:
    struct Entry {
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t count;
    };
    static constexpr std::size_t MaxWord = 255;
    std::string_view folded(const Entry& e) const { return {folded_.data() + e.offset, e.length}; }
    std::string_view word(const Entry& e) const { return {text_.data() + e.offset, e.length}; }
    std::string_view folded(std::uint32_t i) const { return folded(entries_[i]); }
    std::uint32_t lowerBound(std::string_view foldedPrefix) const;
    void parseWords(std::string_view text);
    void indexPairs();

    std::string text_, folded_;
    std::vector<Entry> entries_;
    std::uint64_t total_ = 0;
    struct Lines {
        std::uint32_t begin, end;   // in pairs_
    };
    std::string pairs_;                                           // the pair file, UTF-8
    std::unordered_map<std::string, std::vector<Lines>> groups_;  // by first word, lower case
    mutable std::unordered_map<std::string, Followers> followers_;
    std::vector<std::uint32_t> commonest_;
    mutable std::unordered_map<std::uint32_t, LetterWeights> afterLetters_;
};

}  // namespace brunzit::prediction
