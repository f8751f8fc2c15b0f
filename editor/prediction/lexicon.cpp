#include "editor/prediction/lexicon.h"

#include "editor/prediction/wordtext.h"
#include "platform/cp1252.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

namespace brunzit::prediction {

namespace {

constexpr std::size_t CommonestKept = 64;

bool readFile(const std::string& path, std::string& out)
{
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    if (!file)
        return false;
    const std::streamoff size = file.tellg();
    if (size < 0)
        return false;
    out.resize(static_cast<std::size_t>(size));
    file.seekg(0);
    return static_cast<bool>(file.read(out.data(), size));
}

// Appends a UTF-8 word in Windows-1252; false when it has a character that
// code page lacks. Most words are plain ASCII and are copied as they are.
bool appendCp1252(std::string& out, std::string_view word)
{
    for (std::size_t i = 0; i < word.size(); ++i) {
        const auto c = static_cast<unsigned char>(word[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < word.size() && (static_cast<unsigned char>(word[i + 1]) & 0xC0) == 0x80
                   && (c == 0xC3 || static_cast<unsigned char>(word[i + 1]) >= 0xA0)) {
            // U+00A0 to U+00FF: the same byte in Windows-1252.
            out.push_back(static_cast<char>(((c & 0x03) << 6) | (static_cast<unsigned char>(word[i + 1]) & 0x3F)));
            ++i;
        } else {
            const std::string converted = utf8ToCp1252(word.substr(i));
            if (converted.find('?') != std::string::npos)
                return false;
            out.append(converted);
            return true;
        }
    }
    return true;
}

// Compares two words in lower case, without copying them.
int compareLower(std::string_view a, std::string_view b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(lowerLetter(a[i])), y = static_cast<unsigned char>(lowerLetter(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Splits "a<TAB>b<TAB>...<TAB>number" into its fields; false when malformed.
template <std::size_t Fields>
bool splitLine(std::string_view line, std::string_view (&field)[Fields], std::uint32_t& number)
{
    for (std::size_t f = 0; f + 1 < Fields; ++f) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return false;
        field[f] = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), number);
    return error == std::errc() && end == line.data() + line.size();
}

template <typename Fn>
void forEachLine(std::string_view text, Fn fn)
{
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        fn(text.substr(0, nl));
        if (nl == std::string_view::npos)
            break;
        text.remove_prefix(nl + 1);
    }
}

}  // namespace

bool Lexicon::load(const std::string& wordsPath, const std::string& pairsPath)
{
    std::string words;
    if (!readFile(wordsPath, words)) {
        parse({}, {});
        return false;
    }
    parseWords(words);
    if (!readFile(pairsPath, pairs_))
        pairs_.clear();
    indexPairs();
    return true;
}

void Lexicon::parse(std::string_view wordsUtf8, std::string_view pairsUtf8)
{
    parseWords(wordsUtf8);
    pairs_.assign(pairsUtf8);
    indexPairs();
}

void Lexicon::parseWords(std::string_view text)
{
    text_.clear();
    entries_.clear();
    total_ = 0;
    text_.reserve(text.size());
    entries_.reserve(text.size() / 12);
    forEachLine(text, [&](std::string_view line) {
        std::string_view field[2];
        std::uint32_t count = 0;
        if (!splitLine(line, field, count) || field[0].empty() || field[0].size() > MaxWord)
            return;
        const std::size_t offset = text_.size();
        if (!appendCp1252(text_, field[0])) {
            text_.resize(offset);
            return;
        }
        entries_.push_back({static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(text_.size() - offset), count});
        total_ += count;
    });
    folded_ = foldText(text_);

    // The script writes the file in this order; a file edited by hand is put
    // back in it rather than trusted, and a word listed twice counts once
    // with both counts.
    auto order = [&](const Entry& a, const Entry& b) {
        if (const int f = folded(a).compare(folded(b)))
            return f;
        if (const int l = compareLower(word(a), word(b)))
            return l;
        return word(a).compare(word(b));
    };
    auto before = [&](const Entry& a, const Entry& b) { return order(a, b) < 0; };
    if (!std::is_sorted(entries_.begin(), entries_.end(), before))
        std::stable_sort(entries_.begin(), entries_.end(), before);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (kept > 0 && folded(entries_[kept - 1]) == folded(entries_[i]) && compareLower(word(entries_[kept - 1]), word(entries_[i])) == 0)
            entries_[kept - 1].count += entries_[i].count;
        else
            entries_[kept++] = entries_[i];
    }
    entries_.resize(kept);

    commonest_.resize(entries_.size());
    for (std::uint32_t i = 0; i < commonest_.size(); ++i)
        commonest_[i] = i;
    const std::size_t common = std::min(CommonestKept, commonest_.size());
    std::partial_sort(commonest_.begin(), commonest_.begin() + common, commonest_.end(),
                      [&](std::uint32_t a, std::uint32_t b) { return entries_[a].count > entries_[b].count; });
    commonest_.resize(common);
}

void Lexicon::indexPairs()
{
    groups_.clear();
    followers_.clear();
    std::string_view runFirst = "\n";   // no line begins so
    std::vector<Lines>* run = nullptr;
    std::string first;
    std::size_t at = 0;
    while (at < pairs_.size()) {
        std::size_t end = pairs_.find('\n', at);
        if (end == std::string::npos)
            end = pairs_.size();
        const std::string_view line(pairs_.data() + at, end - at);
        const std::size_t tab = line.find('\t');
        if (tab != std::string_view::npos) {
            if (line.substr(0, tab) != runFirst || !run) {
                runFirst = line.substr(0, tab);
                first.clear();
                run = appendCp1252(first, runFirst) ? &groups_[lowerText(first)] : nullptr;
                if (run)
                    run->push_back({static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(at)});
            }
            if (run)
                run->back().end = static_cast<std::uint32_t>(end);
        }
        at = end + 1;
    }
}

std::size_t NextLetterSlot(std::string_view word, std::size_t at)
{
    if (at == word.size())
        return LetterEnd;
    if (word[at] == '\xB7' || (at > 0 && word[at - 1] == '\xB7'))
        return LetterSlots;
    if (at + 1 < word.size() && word[at + 1] == '\xB7' && lowerLetter(word[at]) == 'l')
        return LetterGeminada;
    const auto c = static_cast<unsigned char>(word[at]);
    const bool small = (c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7);
    return small ? c - 0x20u : c;
}

namespace {

// The last two letters before `at`, lower case, 0 for none.
std::uint32_t letterContext(std::string_view word, std::size_t at)
{
    const auto byte = [&](std::size_t back) {
        return at >= back ? static_cast<unsigned char>(lowerLetter(word[at - back])) : 0u;
    };
    return byte(2) << 8 | byte(1);
}

}  // namespace

const LetterWeights& Lexicon::afterLetters(std::string_view partial) const
{
    if (afterLetters_.empty()) {
        afterLetters_[0] = {};  // built, even from no words
        for (const Entry& e : entries_) {
            const std::string_view w = word(e);
            for (std::size_t at = 0; at <= w.size(); ++at)
                if (const std::size_t slot = NextLetterSlot(w, at); slot < LetterSlots)
                    afterLetters_[letterContext(w, at)][slot] += e.count;
        }
    }
    static const LetterWeights none{};
    const auto known = afterLetters_.find(letterContext(partial, partial.size()));
    return known == afterLetters_.end() ? none : known->second;
}

const Lexicon::Followers& Lexicon::followers(std::string_view previous) const
{
    std::string key = lowerText(previous);
    if (const auto known = followers_.find(key); known != followers_.end())
        return known->second;
    Followers& out = followers_[key];
    const auto group = groups_.find(key);
    if (group == groups_.end())
        return out;
    std::string second;
    for (const Lines& lines : group->second) {
        forEachLine(std::string_view(pairs_).substr(lines.begin, lines.end - lines.begin), [&](std::string_view line) {
            std::string_view field[3];
            std::uint32_t count = 0;
            second.clear();
            if (!splitLine(line, field, count) || !appendCp1252(second, field[1]))
                return;
            if (const auto i = find(second)) {
                out.words.push_back({*i, count});
                out.total += count;
            }
        });
    }
    std::sort(out.words.begin(), out.words.end(), [](const Follower& a, const Follower& b) { return a.word < b.word; });
    return out;
}

std::uint32_t Lexicon::Followers::countOf(std::uint32_t word) const
{
    const auto it = std::lower_bound(words.begin(), words.end(), word, [](const Follower& f, std::uint32_t w) { return f.word < w; });
    return it != words.end() && it->word == word ? it->count : 0;
}

std::uint32_t Lexicon::lowerBound(std::string_view foldedPrefix) const
{
    std::uint32_t lo = 0, hi = static_cast<std::uint32_t>(entries_.size());
    while (lo < hi) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        if (folded(mid) < foldedPrefix)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::pair<std::uint32_t, std::uint32_t> Lexicon::foldedRange(std::string_view prefix) const
{
    const std::uint32_t first = lowerBound(prefix);
    // The first entry after it that does not begin with the prefix.
    std::uint32_t lo = first, hi = static_cast<std::uint32_t>(entries_.size());
    while (lo < hi) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        if (folded(mid).substr(0, prefix.size()) == prefix)
            lo = mid + 1;
        else
            hi = mid;
    }
    return {first, lo};
}

std::optional<std::uint32_t> Lexicon::find(std::string_view word) const
{
    if (word.empty() || word.size() > MaxWord)
        return std::nullopt;
    char buffer[MaxWord];
    std::transform(word.begin(), word.end(), buffer, foldLetter);
    const std::string_view key(buffer, word.size());
    for (std::uint32_t i = lowerBound(key); i < entries_.size() && folded(i) == key; ++i)
        if (compareLower(this->word(i), word) == 0)
            return i;
    return std::nullopt;
}

}  // namespace brunzit::prediction
