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

// The best `size` candidates seen so far, best first; on equal scores the
// one seen first stays ahead.
class Best {
public:
    explicit Best(std::size_t size) : size_(size) {}
    void offer(std::uint32_t index, double score)
    {
        if (best_.size() == size_ && score <= best_.back().score)
            return;
        auto at = std::upper_bound(best_.begin(), best_.end(), score, [](double s, const Scored& c) { return s > c.score; });
        best_.insert(at, {index, score});
        if (best_.size() > size_)
            best_.pop_back();
    }
    struct Scored {
        std::uint32_t index;
        double score;
    };
    const std::vector<Scored>& best() const { return best_; }

private:
    std::size_t size_;
    std::vector<Scored> best_;
};

}  // namespace

std::vector<std::string> Predictor::predict(std::string_view text, std::size_t count) const
{
    if (count == 0)
        return {};
    const Context context = contextOf(text);
    auto matches = [&](std::string_view word) { return startsWithTyped(word, context.partial); };

    static const Lexicon::Followers none;
    const Lexicon::Followers& followers = context.previousKnown ? lexicon_.followers(context.previous) : none;

    // The user's own shares: of lexicon words by index, of the others by
    // spelling, numbered after the lexicon's words.
    std::unordered_map<std::uint32_t, double> userShare;
    std::vector<std::string> userWords;
    const auto lexiconSize = static_cast<std::uint32_t>(lexicon_.size());
    if (user_) {
        std::unordered_map<std::string, std::uint32_t> userIndex;
        auto add = [&](const std::string& word, double share) {
            if (!matches(word))
                return;
            auto [known, fresh] = userIndex.emplace(word, 0);
            if (fresh) {
                const auto i = lexicon_.find(word);
                known->second = i ? *i : lexiconSize + static_cast<std::uint32_t>(userWords.size());
                if (!i)
                    userWords.push_back(word);
            }
            userShare[known->second] += share;
        };
        const double total = user_->totalWeight() + UserPrior;
        user_->forEachWord([&](const std::string& word, double weight) { add(word, weight / total); });
        if (context.previousKnown) {
            const double pairs = user_->followerTotal(context.previous) + UserPairPrior;
            user_->forEachFollower(context.previous, [&](const std::string& word, double weight) { add(word, weight / pairs); });
        }
    }

    const double lexTotal = double(std::max<std::uint64_t>(lexicon_.total(), 1));
    Best best(count);
    auto consider = [&](std::uint32_t i) {
        double s = 0;
        if (i < lexiconSize) {
            if (!matches(lexicon_.word(i)))
                return;
            s = lexicon_.count(i) / lexTotal;
            if (followers.total > 0)
                s += double(followers.countOf(i)) / double(followers.total);
        }
        if (!userShare.empty())
            if (const auto u = userShare.find(i); u != userShare.end())
                s += u->second;
        best.offer(i, s);
    };
    if (context.partial.empty()) {
        // Every word would match: only those with something for them.
        std::vector<std::uint32_t> some(lexicon_.commonest());
        for (const auto& f : followers.words)
            some.push_back(f.word);
        for (const auto& [i, share] : userShare)
            some.push_back(i);
        std::sort(some.begin(), some.end());
        some.erase(std::unique(some.begin(), some.end()), some.end());
        for (std::uint32_t i : some)
            consider(i);
    } else {
        const auto [first, last] = lexicon_.foldedRange(foldText(context.partial));
        for (std::uint32_t i = first; i < last; ++i)
            consider(i);
        for (std::uint32_t j = 0; j < userWords.size(); ++j)
            consider(lexiconSize + j);
    }

    std::vector<std::string> out;
    for (const auto& c : best.best())
        out.push_back(c.index < lexiconSize ? std::string(lexicon_.word(c.index)) : userWords[c.index - lexiconSize]);
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
