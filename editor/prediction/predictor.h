#pragma once
// Word prediction: the words most likely to complete the word being written,
// or, after a space, to follow the last word. Text in and out is
// Windows-1252. Matching ignores case and lets a plain letter stand for its
// accented forms; the words come back whole, in the lexicon's spelling
// (lower case but for names), so the caller replaces the unfinished word
// with the chosen one. A chosen word that ends in an apostrophe ("l'", "d'")
// takes no space after it.
//
// The score of a word is its share of the lexicon's counts plus its share
// of what the user wrote, plus, when the word before is known, its share
// among the words that followed that one in the lexicon's texts and in the
// user's writing.

#include "editor/prediction/lexicon.h"
#include "editor/prediction/usermodel.h"

#include <string>
#include <string_view>
#include <vector>

namespace brunzit::prediction {

class Predictor {
public:
    // `user` may be null: the lexicon alone.
    Predictor(const Lexicon& lexicon, const UserModel* user) : lexicon_(lexicon), user_(user) {}

    std::vector<std::string> predict(std::string_view textBeforeCaret, std::size_t count) const;
    // The letters that may come next in the word being written, likeliest
    // first, in capitals as the keyboard writes them ("L\xB7L" for the ela
    // geminada, " " for the word's end): each weighs the summed scores of
    // the words it leads to, leaving out the words already offered whole (a
    // user wanting one of those takes it). With each letter its chance of
    // coming next, and with each word offered its chance of being the word
    // now written: the automatic scanning says first what is likeliest.
    struct Next {
        std::vector<std::string> letters;
        std::vector<double> letterChances;  // as `letters`
        std::vector<double> wordChances;    // as `offered`
    };
    Next likelyLetters(std::string_view textBeforeCaret, const std::vector<std::string>& offered) const;

private:
    // Calls fn(index, word, score) for the words the text may be writing: at
    // a word's start every word when `everyWord`, else only the commonest and
    // those the previous word or the user's writing suggest.
    template <typename Fn> void score(std::string_view text, bool everyWord, Fn&& fn) const;

    const Lexicon& lexicon_;
    const UserModel* user_;
};

// What prediction saves an ideal user, who takes a word as soon as it is
// offered among the first `offered` and otherwise types every character.
// The model learns each word once it is written, as it would in the editor.
struct Savings {
    std::size_t characters = 0;   // of the text
    std::size_t words = 0;
    std::size_t wordsChosen = 0;  // words taken from the offer
    std::size_t actions = 0;      // characters typed plus offers taken
    // Per word, the letters typed before it was offered (its length when never).
    std::vector<std::size_t> lettersTyped;
    double actionsPerCharacter() const { return characters ? double(actions) / double(characters) : 0; }
};
Savings measureSavings(const Lexicon& lexicon, std::string_view text, std::size_t offered);

}  // namespace brunzit::prediction
