#include "editor/prediction/predictor.h"

#include "editor/prediction/wordtext.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace brunzit::prediction {

namespace {

// Weight of a user count against the lexicon's shares: a word written once
// outranks every lexicon word but the commonest hundred or so.
constexpr double UserPrior = 100;
constexpr double UserPairPrior = 5;
// Weight of what follows the last two letters in any word, against the words
// the letters written so far begin.
constexpr double LetterShare = 0.05;

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

template <typename Fn> void Predictor::score(std::string_view text, bool everyWord, Fn&& fn) const
{
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
    const auto wordOf = [&](std::uint32_t i) {
        return i < lexiconSize ? lexicon_.word(i) : std::string_view(userWords[i - lexiconSize]);
    };
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
        fn(i, wordOf(i), s);
    };
    if (context.partial.empty() && everyWord) {
        for (std::uint32_t i = 0; i < lexiconSize + userWords.size(); ++i)
            consider(i);
    } else if (context.partial.empty()) {
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
}

std::vector<std::string> Predictor::predict(std::string_view text, std::size_t count) const
{
    if (count == 0)
        return {};
    Best best(count);
    std::unordered_map<std::uint32_t, std::string> userWords;  // the user's words no lexicon holds
    score(text, false, [&](std::uint32_t i, std::string_view word, double s) {
        if (i >= lexicon_.size())
            userWords.emplace(i, word);
        best.offer(i, s);
    });
    std::vector<std::string> out;
    for (const auto& c : best.best())
        out.push_back(c.index < lexicon_.size() ? std::string(lexicon_.word(c.index)) : userWords[c.index]);
    return out;
}

Predictor::Next Predictor::likelyLetters(std::string_view text, const std::vector<std::string>& offered) const
{
    Next next;
    next.wordChances.assign(offered.size(), 0.0);
    // After a sign that keeps to its word (". , ; : ? !") the space comes next.
    if (!text.empty() && std::string_view(".,;:?!").find(text.back()) != std::string_view::npos) {
        next.letters = {" "};
        next.letterChances = {1.0};
        return next;
    }
    const std::string partial = contextOf(text).partial;
    const std::size_t typed = partial.size();
    std::vector<std::string> skipped;
    for (const std::string& w : offered)
        skipped.push_back(lowerText(w));
    LetterWeights weight{};
    double offeredWeight = 0;
    // At a word's start every word counts, so each first letter has its share.
    score(text, true, [&](std::uint32_t, std::string_view word, double s) {
        if (s <= 0)
            return;
        for (std::size_t k = 0; k < skipped.size(); ++k)
            if (skipped[k].size() == word.size() && skipped[k] == lowerText(word)) {
                next.wordChances[k] += s;
                offeredWeight += s;
                return;
            }
        if (const std::size_t slot = NextLetterSlot(word, typed); slot < LetterSlots)
            weight[slot] += s;
    });
    // The letters that follow the last two written in any word give their
    // order to letters the words do not reach, and a share to the others.
    const LetterWeights& after = lexicon_.afterLetters(partial);
    double words = 0, inAnyWord = 0;
    for (std::size_t slot = 0; slot < LetterSlots; ++slot) {
        words += weight[slot];
        inAnyWord += after[slot];
    }
    for (std::size_t slot = 0; slot < LetterSlots && inAnyWord > 0; ++slot)
        weight[slot] = (words > 0 ? weight[slot] / words : 0) + LetterShare * after[slot] / inAnyWord;
    std::vector<std::size_t> slots;
    double letters = 0;
    for (std::size_t slot = 0; slot < weight.size(); ++slot)
        if (weight[slot] > 0) {
            slots.push_back(slot);
            letters += weight[slot];
        }
    std::stable_sort(slots.begin(), slots.end(), [&](std::size_t a, std::size_t b) { return weight[a] > weight[b]; });
    // The chances: the words offered take their share of every word's
    // weight, the letters share the rest.
    const double all = words + offeredWeight;
    const double lettersPart = all > 0 ? words / all : 1.0;
    for (double& chance : next.wordChances)
        chance = all > 0 ? chance / all : 0.0;
    for (const std::size_t slot : slots) {
        next.letters.push_back(slot == LetterEnd        ? std::string(" ")
                               : slot == LetterGeminada ? std::string("L\xB7L")
                                                        : std::string(1, static_cast<char>(slot)));
        next.letterChances.push_back(lettersPart * weight[slot] / letters);
    }
    return next;
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
