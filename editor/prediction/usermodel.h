#pragma once
// What one user writes: how often each word and each word pair was written,
// with older writing counting less (a count halves every HalfLife words
// written after it), so words written often or lately rise in prediction.
//
// Kept in one file per user and language under the XDG data folder, never
// sent anywhere, readable by its owner only. Saved by temporary file and
// rename, every SaveEvery words learned, on save() and on destruction; a file
// that cannot be read as a model is taken as an empty one.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace brunzit::prediction {

class UserModel {
public:
    static constexpr double HalfLife = 2000;      // words written
    static constexpr unsigned SaveEvery = 25;     // words learned between saves
    static constexpr double Faded = 1e-3;         // a weight below this is dropped on saving

    // An empty path keeps the model in memory only.
    explicit UserModel(std::string path = {});
    ~UserModel();
    UserModel(const UserModel&) = delete;
    UserModel& operator=(const UserModel&) = delete;

    // "$XDG_DATA_HOME/brunzit/prediction-LANG.tsv".
    static std::string defaultPath(std::string_view language);

    // Learns the last word of the text before the caret, with the word before
    // it; call it once the word is finished (a space or a sign written after it).
    void learnLastWord(std::string_view textBeforeCaret);
    // Learns one word; `previous` is "" at a sentence start and is ignored
    // when not known.
    void learn(std::string_view previous, bool previousKnown, std::string_view word);

    // Present weights (decayed counts) of a word, of a pair, and of all words
    // or all pairs that begin with `previous`.
    double weight(std::string_view word) const;
    double pairWeight(std::string_view previous, std::string_view word) const;
    double totalWeight() const { return total_; }
    double followerTotal(std::string_view previous) const;

    // Every word learned (lower case) with its present weight, and the same
    // for the words learned after `previous`.
    template <typename Fn> void forEachWord(Fn fn) const
    {
        for (const auto& [word, s] : words_)
            fn(word, present(s));
    }
    template <typename Fn> void forEachFollower(std::string_view previous, Fn fn) const
    {
        if (const auto table = pairs_.find(std::string(previous)); table != pairs_.end())
            for (const auto& [word, s] : table->second)
                fn(word, present(s));
    }

    // Writes the model now if it changed; false when the file could not be written.
    bool save();
    // Erases the model and its file.
    void forget();

private:
    struct Stat {
        double weight = 0;
        std::uint64_t stamp = 0;
    };
    using Table = std::unordered_map<std::string, Stat>;
    double present(const Stat& s) const;
    void bump(Table& table, const std::string& key);
    void read();

    std::string path_;
    std::uint64_t clock_ = 0;   // words learned, ever
    double total_ = 0;          // present weight of all words
    Table words_;
    std::unordered_map<std::string, Table> pairs_;   // previous -> following words
    unsigned unsaved_ = 0;
};

}  // namespace brunzit::prediction
