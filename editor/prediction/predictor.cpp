#include "editor/prediction/predictor.h"

#include "editor/prediction/wordtext.h"

#include <algorithm>
#include <unordered_map>

namespace brunzit::prediction {

namespace {

// Weight of a user count against the lexicon's shares: a word written once
// outranks every lexicon word but the commonest hundred or so.
constexpr double UserPrior = 100;
constexpr double UserPairPrior = 5;

struct Candidate {
    std::uint32_t index;   // in the lexicon, or NotInLexicon
    double score;
    std::string word;      // only for words the lexicon lacks
};
constexpr std::uint32_t NotInLexicon = 0xFFFFFFFF;

}  // namespace

std::vector<std::string> Predictor::predict(std::string_view text, std::size_t count) const
{
    if (count == 0)
        return {};
    const Context context = contextOf(text);
    auto matches = [&](std::string_view word) { return startsWithTyped(word, context.partial); };

    // Pair shares of the words that followed the previous one in the lexicon's texts.
    std::unordered_map<std::uint32_t, double> pairShare;
    if (context.previousKnown) {
        std::uint64_t total = 0;
        for (const auto& f : lexicon_.followers(context.previous, total))
            pairShare[f.word] += double(f.count) / double(total);
    }

    // The user's own shares, for lexicon words by index, for the others by spelling.
    std::unordered_map<std::uint32_t, double> userShare;
    std::unordered_map<std::string, double> userOnly;
    if (user_) {
        auto add = [&](const std::string& word, double share) {
            if (!matches(word))
                return;
            if (const auto i = lexicon_.find(word))
                userShare[*i] += share;
            else
                userOnly[word] += share;
        };
        const double total = user_->totalWeight() + UserPrior;
        user_->forEachWord([&](const std::string& word, double weight) { add(word, weight / total); });
        if (context.previousKnown) {
            const double pairs = user_->followerTotal(context.previous) + UserPairPrior;
            user_->forEachFollower(context.previous, [&](const std::string& word, double weight) { add(word, weight / pairs); });
        }
    }

    const double lexTotal = double(std::max<std::uint64_t>(lexicon_.total(), 1));
    std::vector<Candidate> ranked;
    auto considerIndex = [&](std::uint32_t i) {
        if (!matches(lexicon_.word(i)))
            return;
        double s = lexicon_.count(i) / lexTotal;
        if (const auto p = pairShare.find(i); p != pairShare.end())
            s += p->second;
        if (const auto u = userShare.find(i); u != userShare.end())
            s += u->second;
        ranked.push_back({i, s, {}});
    };
    if (context.partial.empty()) {
        // Every word would match: only those with something for them.
        std::unordered_map<std::uint32_t, bool> seen;
        auto once = [&](std::uint32_t i) { if (seen.emplace(i, true).second) considerIndex(i); };
        for (const auto& [i, share] : pairShare)
            once(i);
        for (const auto& [i, share] : userShare)
            once(i);
        for (std::uint32_t i : lexicon_.commonest())
            once(i);
    } else {
        const auto [first, last] = lexicon_.foldedRange(foldText(context.partial));
        for (std::uint32_t i = first; i < last; ++i)
            considerIndex(i);
    }
    for (auto& [word, share] : userOnly)
        ranked.push_back({NotInLexicon, share, word});

    auto better = [](const Candidate& a, const Candidate& b) {
        return a.score != b.score ? a.score > b.score : a.index < b.index;
    };
    const std::size_t kept = std::min(count, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + kept, ranked.end(), better);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < kept; ++i)
        out.push_back(ranked[i].index == NotInLexicon ? ranked[i].word : std::string(lexicon_.word(ranked[i].index)));
    return out;
}

Savings measureSavings(const Lexicon& lexicon, std::string_view text, std::size_t offered)
{
    UserModel user;
    const Predictor predictor(lexicon, &user);
    Savings savings;
    savings.characters = text.size();
    std::size_t at = 0;
    for (const Token& token : tokenize(text)) {
        if (token.kind != Token::Word)
            continue;
        savings.actions += token.begin - at;   // spaces and signs before the word, typed
        const std::string_view word = text.substr(token.begin, token.end - token.begin);
        const std::string lower = lowerText(word);
        std::size_t typed = 0;
        bool chosen = false;
        for (; typed < word.size() && !chosen; ++typed) {
            for (const std::string& offer : predictor.predict(text.substr(0, token.begin + typed), offered))
                chosen = chosen || lowerText(offer) == lower;
            if (chosen)
                break;
        }
        at = token.end;
        ++savings.words;
        savings.lettersTyped.push_back(typed);
        if (chosen) {
            ++savings.wordsChosen;
            savings.actions += typed + 1;
            if (at < text.size() && text[at] == ' ' && word.back() != '\'')
                ++at;                             // the offer writes the space too
        } else {
            savings.actions += word.size();
        }
        user.learnLastWord(text.substr(0, token.end));
    }
    savings.actions += text.size() - at;
    return savings;
}

}  // namespace brunzit::prediction
