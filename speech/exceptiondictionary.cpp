#include "speech/exceptiondictionary.h"

#include "platform/cp1252.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "speech/unittools.h"

namespace brunzit {

namespace {

bool isBoundary(char c)
{
    return c == ' ' || c == '.' || c == ',' || c == ';';
}

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperCopy(std::string_view s)
{
    std::string result(s);
    for (char& c : result)
        c = upperAscii(c);
    return result;
}

// First whole-word occurrence of upperKey at or after from, in a text already
// turned to upper case (boundaries are not letters, so they survive that).
// before, when given, stands for the character before position from: the
// last character written in its place by a replacement (0: the text's start).
std::size_t findWholeWord(const std::string& upperText, const std::string& upperKey, std::size_t from,
                          const char* before = nullptr)
{
    const std::size_t n = upperText.size();
    const std::size_t k = upperKey.size();
    const std::size_t first = from;
    while (from <= n && n - from >= k) {
        const std::size_t p = upperText.find(upperKey, from);
        if (p == std::string::npos)
            return std::string::npos;
        bool startOk;
        if (p == first && before)
            startOk = *before == 0 || isBoundary(*before);
        else
            startOk = p == 0 || isBoundary(upperText[p - 1]);
        const bool endOk = p + k == n || isBoundary(upperText[p + k]);
        if (startOk && endOk)
            return p;
        from = p + 1;
    }
    return std::string::npos;
}

// A text is not made longer than 64 KB plus 16 times its length before the
// dictionary ran, nor than 64 MB: a replacement that would pass that is left
// out. Real entries stay far below; a huge replacement, or a chain of
// entries that each multiply the text, cannot exhaust memory or time.
constexpr std::size_t kMaxTextBytes = 64u * 1024u * 1024u;

std::size_t growthLimit(std::size_t originalSize)
{
    return std::min(kMaxTextBytes, 64u * 1024u + 16u * std::min(originalSize, kMaxTextBytes));
}

// Every occurrence, left to right, each replaced once, resuming the scan
// after each inserted text; built in one pass. For a key without boundary
// characters this is the same as scanning again from the start after each
// replacement: words around an inserted replacement stay as they were, and
// the replacement's own words are those it had alone.
void replaceEachOnce(std::string& text, std::string& upperText, const ExceptionEntry& entry, std::size_t limit)
{
    const std::size_t k = entry.upperKey.size();
    std::size_t p = findWholeWord(upperText, entry.upperKey, 0);
    if (p == std::string::npos)
        return;
    std::string out;
    std::string upperOut;
    std::size_t copied = 0;
    while (p != std::string::npos) {
        const std::size_t grown = out.size() + (p - copied) + entry.replacement.size() + (text.size() - p - k);
        if (grown > limit && grown > text.size())
            break;
        out.append(text, copied, p - copied);
        upperOut.append(upperText, copied, p - copied);
        out += entry.replacement;
        upperOut += entry.upperReplacement;
        copied = p + k;
        const char before = upperOut.empty() ? '\0' : upperOut.back();
        p = findWholeWord(upperText, entry.upperKey, copied, &before);
    }
    out.append(text, copied, std::string::npos);
    upperOut.append(upperText, copied, std::string::npos);
    text.swap(out);
    upperText.swap(upperOut);
}

// What the exact scan may spend before an entry is taken to run for ever.
struct Budget {
    std::size_t replacements;
    std::size_t textSize;
    std::size_t bytesMoved;  // the cost of the replacements, roughly
};

// Scanning again from the start after each replacement, within the budget.
// Resumes just before the change instead of at the very start: no match lay
// before p, and none ending before the changed text can have appeared, so
// the result is the same. Returns false when the budget ran out.
bool replaceRestarting(std::string& text, std::string& upperText, const ExceptionEntry& entry, const Budget& budget,
                       std::size_t limit)
{
    const std::size_t k = entry.upperKey.size();
    std::size_t from = 0;
    std::size_t moved = 0;
    for (std::size_t steps = 0;; ++steps) {
        const std::size_t p = findWholeWord(upperText, entry.upperKey, from);
        if (p == std::string::npos)
            return true;
        if (steps >= budget.replacements || text.size() > budget.textSize || moved > budget.bytesMoved)
            return false;
        if (text.size() - k + entry.replacement.size() > limit && entry.replacement.size() > k)
            return true;
        text.replace(p, k, entry.replacement);
        upperText.replace(p, k, entry.upperReplacement);
        moved += entry.replacement.size() == k ? k : text.size() - p;
        from = p >= k ? p - k : 0;
    }
}

void applyEntry(std::string& text, std::string& upperText, const ExceptionEntry& entry, std::size_t limit)
{
    if (entry.upperKey.empty())
        return;
    if (!entry.keyHasBoundary) {
        replaceEachOnce(text, upperText, entry, limit);
        return;
    }
    // A key holding full stops, commas or semicolons can be rebuilt across
    // the edges of a replacement. Such an entry first gets the exact
    // treatment; one that is still replacing after its budget is taken to
    // run for ever and is done again from the original text, resuming after
    // each inserted text.
    const std::size_t n = text.size();
    const std::size_t r = entry.replacement.size();
    const Budget budget = entry.selfContaining
        ? Budget {1024 + 4 * n, 1024 + 4 * n + 4 * r, 32u * 1024u * 1024u}
        : Budget {1000000 + 64 * n, limit, static_cast<std::size_t>(-1)};
    const std::string originalText = text;
    const std::string originalUpper = upperText;
    if (replaceRestarting(text, upperText, entry, budget, limit))
        return;
    text = originalText;
    upperText = originalUpper;
    replaceEachOnce(text, upperText, entry, limit);
}

// Entries [from, to) one after the other over the whole text.
void applyInTurn(const std::vector<ExceptionEntry>& entries, std::size_t from, std::size_t to, std::string& text,
                 std::string& upperText, std::size_t limit)
{
    for (std::size_t i = from; i < to; ++i) {
        const ExceptionEntry& entry = entries[i];
        if (entry.key.empty() || entry.replacement.empty())
            continue;
        applyEntry(text, upperText, entry, limit);
    }
}

void prepare(ExceptionEntry& entry)
{
    entry.upperKey = upperCopy(entry.key);
    entry.upperReplacement = upperCopy(entry.replacement);
    entry.keyHasBoundary = entry.key.find_first_of(" .,;") != std::string::npos;
    entry.selfContaining = ReplacementReproducesKey(entry.key, entry.replacement);
}

}  // namespace

std::size_t FindSeparator(std::string_view line)
{
    for (char separator : {' ', ',', ';', '\t'}) {
        const std::size_t p = line.find(separator);
        if (p != std::string_view::npos)
            return p + 1;
    }
    return 0;
}

bool ContainsWholeWord(std::string_view text, std::string_view key)
{
    if (key.empty())
        return false;
    return findWholeWord(upperCopy(text), upperCopy(key), 0) != std::string::npos;
}

bool ReplacementReproducesKey(std::string_view key, std::string_view replacement)
{
    if (key.empty() || replacement.size() < key.size())
        return false;  // every replacement shortens the text: it ends
    const std::string upperKey = upperCopy(key);
    const std::string upperReplacement = upperCopy(replacement);
    // A key without boundary characters can only be rebuilt inside the
    // replacement itself.
    if (key.find_first_of(" .,;") == std::string_view::npos)
        return findWholeWord(upperReplacement, upperKey, 0) != std::string::npos;
    // A match was bounded by a boundary or an end on each side; put the
    // replacement between each such pair and look for a match that takes in
    // at least one of its characters.
    static constexpr std::string_view kSides[] = {"", " ", ".", ",", ";"};
    for (std::string_view before : kSides) {
        for (std::string_view after : kSides) {
            const std::string probe = std::string(before) + upperReplacement + std::string(after);
            std::size_t from = 0;
            for (;;) {
                const std::size_t p = findWholeWord(probe, upperKey, from);
                if (p == std::string::npos)
                    break;
                if (p + upperKey.size() > before.size() && p < before.size() + upperReplacement.size())
                    return true;
                from = p + 1;
            }
        }
    }
    return false;
}

void ReplaceWholeWord(std::string& text, const std::string& key, const std::string& replacement)
{
    if (key.empty())
        return;
    ExceptionEntry entry;
    entry.key = key;
    entry.replacement = replacement;
    prepare(entry);
    std::string upperText = upperCopy(text);
    applyEntry(text, upperText, entry, growthLimit(text.size()));
}

bool ExceptionDictionary::parseLine(std::string_view line, ExceptionEntry& entry)
{
    if (line.empty())
        return false;
    const std::size_t separator = FindSeparator(line);
    if (separator == 0)
        return false;
    std::string key(line.substr(0, separator - 1));
    std::string replacement(line.substr(separator));
    RemoveSpaces(key);
    RemoveSpaces(replacement);
    if (key.empty() || replacement.empty())
        return false;
    entry.key = std::move(key);
    entry.replacement = std::move(replacement);
    prepare(entry);
    return true;
}

std::size_t ExceptionDictionary::loadFromBytes(std::string_view content)
{
    clear();
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = start;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        ExceptionEntry entry;
        if (parseLine(content.substr(start, end - start), entry))
            entries_.push_back(std::move(entry));
        // CR LF, CR and LF each end one line.
        if (end < content.size() && content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n')
            end += 2;
        else
            end += 1;
        start = end;
    }
    buildIndex();
    return entries_.size();
}

ExceptionDictionary::LoadStatus ExceptionDictionary::loadFromFile(const std::string& path)
{
    clear();
    // Non-blocking, so that a named pipe given as a dictionary cannot hang the
    // program; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return LoadStatus::ReadFailed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<unsigned long long>(info.st_size) > kMaxFileBytes) {
        ::close(fd);
        return LoadStatus::ReadFailed;
    }
    std::string content;
    content.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    bool failed = false;
    while (got < content.size()) {
        const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0)
            break;  // the file shrank meanwhile: take what there is
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed)
        return LoadStatus::ReadFailed;
    content.resize(got);
    if (content.find('\0') != std::string::npos)
        return LoadStatus::ReadFailed;
    // The engines take Windows-1252; an editor may well have saved UTF-8.
    return loadFromBytes(fileTextToCp1252(content)) > 0 ? LoadStatus::Loaded : LoadStatus::NoEntries;
}

void ApplyEntriesInTurn(const std::vector<ExceptionEntry>& entries, std::string& text)
{
    if (entries.empty() || text.empty())
        return;
    std::string upperText = upperCopy(text);
    applyInTurn(entries, 0, entries.size(), text, upperText, growthLimit(text.size()));
}

void ExceptionDictionary::clear()
{
    entries_.clear();
    wordEntries_.clear();
    punctuatedEntries_.clear();
    replacementWords_.clear();
}

namespace {

// Calls each(word) for every word of text: the runs between boundaries.
template <typename Each>
void forEachWord(std::string_view text, Each each)
{
    std::size_t i = 0;
    while (i < text.size()) {
        if (isBoundary(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !isBoundary(text[end]))
            ++end;
        each(text.substr(i, end - i));
        i = end;
    }
}

// The leading word of a punctuated key ("ETC" of "ETC."): a match of the
// key starts with that whole word. Empty when the key starts with punctuation.
std::string_view leadingWord(const std::string& upperKey)
{
    std::size_t end = 0;
    while (end < upperKey.size() && !isBoundary(upperKey[end]))
        ++end;
    return std::string_view(upperKey).substr(0, end);
}

}  // namespace

void ExceptionDictionary::buildIndex()
{
    wordEntries_.clear();
    punctuatedEntries_.clear();
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        const ExceptionEntry& entry = entries_[i];
        if (entry.key.empty() || entry.replacement.empty())
            continue;
        if (entry.keyHasBoundary)
            punctuatedEntries_.push_back(static_cast<std::uint32_t>(i));
        else
            wordEntries_[entry.upperKey].push_back(static_cast<std::uint32_t>(i));
        forEachWord(entry.upperReplacement, [this](std::string_view word) { replacementWords_[std::string(word)] = true; });
    }
}

namespace {

// A one-word key matches exactly one whole word of the text, and its
// replacement takes that word's place between the same boundaries; the next
// entries see the replacement's own words. So the text can be taken word by
// word: each word goes through the entries with its key in order, and each
// word of a replacement put in by entry j goes on from entry j + 1. peak is
// the longest the word's part of the text ever is on the way; the sum of the
// peaks bounds the whole text at any step, so when it stays within the
// growth limit no replacement was refused and the result is the rule's.
struct Expansion {
    std::string text;
    std::size_t peak = 0;
};

class WordExpander {
public:
    WordExpander(const std::vector<ExceptionEntry>& entries,
                 const std::unordered_map<std::string, std::vector<std::uint32_t>>& index, std::size_t to,
                 std::size_t limit)
        : entries_(entries), index_(index), to_(to), limit_(limit)
    {
    }

    // The word as the entries [from, to) leave it; nullopt when it grows
    // past the limit or chains too deep.
    std::optional<Expansion> word(std::string_view word, std::size_t from, int depth)
    {
        upper_.assign(word);
        for (char& c : upper_)
            c = upperAscii(c);
        const auto found = index_.find(upper_);
        if (found != index_.end()) {
            const auto& indices = found->second;
            const auto next = std::lower_bound(indices.begin(), indices.end(), from);
            if (next != indices.end() && *next < to_) {
                const Expansion* replaced = replacement(*next, depth);
                if (!replaced)
                    return std::nullopt;
                return Expansion {replaced->text, std::max(word.size(), replaced->peak)};
            }
        }
        return Expansion {std::string(word), word.size()};
    }

private:
    // The replacement of entry j as the entries after it leave it.
    const Expansion* replacement(std::uint32_t j, int depth)
    {
        if (const auto done = replacements_.find(j); done != replacements_.end())
            return done->second ? &*done->second : nullptr;
        std::optional<Expansion> result;
        if (depth < kMaxDepth) {
            result = Expansion {};
            const std::string& r = entries_[j].replacement;
            std::size_t i = 0;
            while (result && i < r.size()) {
                if (isBoundary(r[i])) {
                    result->text += r[i++];
                    result->peak += 1;
                    continue;
                }
                std::size_t end = i;
                while (end < r.size() && !isBoundary(r[end]))
                    ++end;
                const std::optional<Expansion> part = word(std::string_view(r).substr(i, end - i), j + 1, depth + 1);
                if (part && result->peak + part->peak <= limit_) {
                    result->text += part->text;
                    result->peak += part->peak;
                } else {
                    result.reset();
                }
                i = end;
            }
        }
        const auto stored = replacements_.emplace(j, std::move(result)).first;
        return stored->second ? &*stored->second : nullptr;
    }

    // Chains longer than this (a -> b -> c ...) are left to the rule as written.
    static constexpr int kMaxDepth = 256;

    const std::vector<ExceptionEntry>& entries_;
    const std::unordered_map<std::string, std::vector<std::uint32_t>>& index_;
    std::size_t to_;
    std::size_t limit_;
    std::string upper_;
    std::unordered_map<std::uint32_t, std::optional<Expansion>> replacements_;
};

}  // namespace

bool ExceptionDictionary::applyWordEntries(std::string& text, std::size_t from, std::size_t to,
                                           std::size_t limit) const
{
    WordExpander expander(entries_, wordEntries_, to, limit);
    // Most words of a long text repeat: each distinct word is looked up once.
    std::unordered_map<std::string_view, std::optional<Expansion>> seen;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t peak = 0;
    std::size_t i = 0;
    const std::string_view all(text);
    while (i < all.size()) {
        if (isBoundary(all[i])) {
            out += all[i++];
            ++peak;
            continue;
        }
        std::size_t end = i;
        while (end < all.size() && !isBoundary(all[end]))
            ++end;
        const std::string_view w = all.substr(i, end - i);
        auto known = seen.find(w);
        if (known == seen.end())
            known = seen.emplace(w, expander.word(w, from, 0)).first;
        if (!known->second)
            return false;
        out += known->second->text;
        peak += known->second->peak;
        if (peak > limit)
            return false;
        i = end;
    }
    text.swap(out);
    return true;
}

void ExceptionDictionary::ApplyExceptions(std::string& text) const
{
    if (entries_.empty() || text.empty())
        return;
    const std::size_t limit = growthLimit(text.size());
    // A punctuated key whose leading word is neither a word of the text nor
    // of any replacement can never match: it is passed over, and the
    // one-word entries around it go in one pass.
    std::vector<std::uint32_t> punctuated;
    if (!punctuatedEntries_.empty()) {
        std::unordered_map<std::string, bool> textWords;
        std::string upper;
        forEachWord(text, [&](std::string_view word) {
            upper.assign(word);
            for (char& c : upper)
                c = upperAscii(c);
            textWords.emplace(upper, true);
        });
        for (const std::uint32_t index : punctuatedEntries_) {
            const std::string lead(leadingWord(entries_[index].upperKey));
            if (lead.empty() || textWords.count(lead) || replacementWords_.count(lead))
                punctuated.push_back(index);
        }
    }
    std::string upperText;
    bool upperKnown = false;
    std::size_t from = 0;
    for (std::size_t k = 0; k <= punctuated.size(); ++k) {
        const std::size_t stop = k < punctuated.size() ? punctuated[k] : entries_.size();
        if (from < stop) {
            if (!applyWordEntries(text, from, stop, limit)) {
                upperText = upperCopy(text);
                applyInTurn(entries_, from, stop, text, upperText, limit);
            }
            upperKnown = false;
        }
        if (k == punctuated.size())
            break;
        if (!upperKnown) {
            upperText = upperCopy(text);
            upperKnown = true;
        }
        const ExceptionEntry& entry = entries_[stop];
        // A key that is not in the text at all cannot match.
        if (upperText.find(entry.upperKey) != std::string::npos)
            applyEntry(text, upperText, entry, limit);
        from = stop + 1;
    }
}

}  // namespace brunzit
