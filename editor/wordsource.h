#pragma once
// The predicted words the scanning keyboard offers: the language's lexicon
// (beside the program) and what this user has written (under the XDG data
// folder), loaded when prediction is first used.

#include <memory>
#include <string>
#include <vector>

#include "editor/prediction/lexicon.h"
#include "editor/prediction/predictor.h"
#include "editor/prediction/usermodel.h"
#include "editor/scanlayout.h"

namespace brunzit {

class WordSource {
public:
    // keepUserModel false: the user's model stays in memory (tests).
    explicit WordSource(bool keepUserModel = true) : keepUserModel_(keepUserModel) {}

    // The text after a choice (Windows-1252): learns a word it has just
    // finished and gives the words to offer now.
    std::vector<std::string> after(const std::string& text, bool catalan);
    // The letters likeliest to come next, best first, leaving out the words
    // offered whole; for "Lletres segons la paraula".
    prediction::Predictor::Next likelyLetters(const std::string& text, bool catalan,
                                              const std::vector<std::string>& offered);
    // Forgets what the user wrote, in memory and on disk.
    void forget();

private:
    void load(bool catalan);

    bool keepUserModel_;
    bool loaded_ = false;
    bool catalan_ = true;
    prediction::Lexicon lexicon_;
    std::unique_ptr<prediction::UserModel> user_;
    WordOffer offer_;
    static constexpr std::size_t LearnedContext = 64;
    std::string learnedUpTo_;  // the text just before the end of the last word learned
};

}  // namespace brunzit
