#include "editor/wordsource.h"

#include "editor/prediction/predictor.h"
#include "platform/paths.h"

#include <algorithm>
#include <unistd.h>

namespace brunzit {

namespace {

bool isLetter(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= 0xC0 && u != 0xD7 && u != 0xF7) || u == 0xB7;
}

}  // namespace

// Beside the program in a build; under share/ when installed.
static std::string LexiconFolder()
{
    const std::string beside = executableFolder() + "/lexicon/";
    if (::access((beside + "ca.tsv").c_str(), R_OK) == 0)
        return beside;
    return executableFolder() + "/../share/brunzit/lexicon/";
}

void WordSource::load(bool catalan)
{
    if (loaded_ && catalan == catalan_)
        return;
    const std::string language = catalan ? "ca" : "es";
    const std::string dir = LexiconFolder();
    lexicon_ = prediction::Lexicon();
    // Without its files the lexicon stays empty and only the user's words are offered.
    lexicon_.load(dir + language + ".tsv", dir + language + "-pairs.tsv");
    user_ = std::make_unique<prediction::UserModel>(keepUserModel_ ? prediction::UserModel::defaultPath(language)
                                                                   : std::string());
    catalan_ = catalan;
    loaded_ = true;
}

std::vector<std::string> WordSource::after(const std::string& text, bool catalan)
{
    load(catalan);
    // A word is finished when a sign or space follows its last letter; a
    // chosen word brings its space, so "CASA " finishes "CASA".
    std::size_t end = text.size();
    while (end > 0 && !isLetter(text[end - 1]) && text[end - 1] != '\'')
        --end;
    // The text is the end of the document, which slides as it grows: the
    // word last learned is known by the characters just before its end.
    const std::size_t context = std::min(end, LearnedContext);
    const std::string learned = text.substr(end - context, context);
    if (end > 0 && end < text.size() && learned != learnedUpTo_) {
        user_->learnLastWord(std::string_view(text).substr(0, end));
        learnedUpTo_ = learned;
    }
    const prediction::Predictor predictor(lexicon_, user_.get());
    return offer_.offer(predictor.predict(text, 3 * PredictionsOffered), text);
}

prediction::Predictor::Next WordSource::likelyLetters(const std::string& text, bool catalan,
                                                     const std::vector<std::string>& offered)
{
    load(catalan);
    return prediction::Predictor(lexicon_, user_.get()).likelyLetters(text, offered);
}

void WordSource::forget()
{
    if (user_)
        user_->forget();
}

}  // namespace brunzit
