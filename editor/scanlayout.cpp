#include "editor/scanlayout.h"

#include <algorithm>
#include <cstring>

#include "editor/keyhandling/textrules.h"

namespace brunzit {

namespace {

struct Extra {
    const char* say;
    const char* write;
};

// Windows-1252, upper case: the program writes capitals unless "Minúscules".
constexpr Extra kCatalanLetters[] = {
    {"a accentuada", "\xC0"}, {"e oberta", "\xC8"},      {"e tancada", "\xC9"},
    {"i accentuada", "\xCD"}, {"i amb di\xE8resi", "\xCF"}, {"o oberta", "\xD2"},
    {"o tancada", "\xD3"},    {"u accentuada", "\xDA"},  {"u amb di\xE8resi", "\xDC"},
    {"ela geminada", "L\xB7L"},
};
constexpr Extra kSpanishLetters[] = {
    {"a con tilde", "\xC1"}, {"e con tilde", "\xC9"}, {"i con tilde", "\xCD"},
    {"o con tilde", "\xD3"}, {"u con tilde", "\xDA"}, {"u con di\xE9resis", "\xDC"},
};
constexpr Extra kSigns[] = {
    {"dos punts", ":"},      {"punt i coma", ";"},       {"obrir par\xE8ntesi", "("},
    {"tancar par\xE8ntesi", ")"}, {"gui\xF3", "-"},      {"obrir cometes", "\xAB"},
    {"tancar cometes", "\xBB"},
};

// Letters by how often they are written, most used first.
const char* const kCatalanOrder[] = {"E", "A", "S", "I", "R", "N", "L", "T", "O", "U", "C", "D", "M",
                                     "P", "\xC9", "G", "V", "\xC0", "B", "F", "Q", "\xC8", "\xD2", "\xC7",
                                     "H", "X", "\xCD", "\xD3", "J", "\xDA", "Z", "\xCF", "Y", "\xDC",
                                     "L\xB7L", "K", "W", "\xD1"};
const char* const kSpanishOrder[] = {"E", "A", "O", "S", "N", "R", "I", "L", "D", "T", "C", "U",
                                     "M", "P", "B", "G", "V", "Y", "Q", "\xD3", "H", "F", "\xCD", "Z",
                                     "J", "\xC1", "\xC9", "\xD1", "X", "\xDA", "K", "W", "\xDC", "\xC7"};

int rank(const std::string& written, bool catalan)
{
    const auto find = [&](const auto& order) {
        const auto* end = std::end(order);
        const auto* it = std::find_if(std::begin(order), end, [&](const char* w) { return written == w; });
        return it == end ? static_cast<int>(std::size(order)) : static_cast<int>(it - std::begin(order));
    };
    return catalan ? find(kCatalanOrder) : find(kSpanishOrder);
}

unsigned char lower(unsigned char c)
{
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<unsigned char>(c + 0x20);
    return c;
}

bool isLetter(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c != 0xD7 && c != 0xF7) ||
           c == 0xB7;
}

std::string upper(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7))
            c = static_cast<char>(u - 0x20);
    }
    return out;
}

ScanLayoutBlock fixedBlock(int block)
{
    ScanLayoutBlock out{ScanEntry(block, 0), {}};
    for (int e = 1; e <= ScanItemCount(block); ++e) {
        const std::string say = ScanEntry(block, e);
        out.items.push_back({say, say == "retorn" ? "\r\n" : ScanEntryText(say),
                             block == LettersBlock && e - 1 == CedillaItem, false});
    }
    return out;
}

// The unfinished word at the end of the text: its letters and apostrophes'
// run back to the last character that is not a letter.
std::size_t unfinishedLength(const std::string& before)
{
    std::size_t n = 0;
    while (n < before.size() && isLetter(static_cast<unsigned char>(before[before.size() - 1 - n])))
        ++n;
    return n;
}

// Item k of a block whose ranks go out from item 0: 0, 1, n-1, 2, n-2, ...
int outwardItem(int rank, int n)
{
    return rank == 0 ? 0 : rank % 2 ? (rank + 1) / 2 : n - rank / 2;
}

std::vector<ScanItem> outwardFrom(const std::vector<ScanItem>& ranked)
{
    const int n = static_cast<int>(ranked.size());
    std::vector<ScanItem> placed(ranked.size());
    for (int rank = 0; rank < n; ++rank)
        placed[static_cast<std::size_t>(outwardItem(rank, n))] = ranked[static_cast<std::size_t>(rank)];
    return placed;
}

// The letter an accented one is written with.
char PlainLetter(const ScanItem& item)
{
    static const std::string plain = "AAAAAAACEEEEIIIIDNOOOOOxOUUUUY";
    const auto c = static_cast<unsigned char>(item.write[0]);
    return c >= 0xC0 && c <= 0xDD ? plain[c - 0xC0] : static_cast<char>(c);
}

int wrap(int value, int modulus)
{
    const int r = value % modulus;
    return r < 0 ? r + modulus : r;
}

}  // namespace

std::vector<std::string> WordOffer::offer(const std::vector<std::string>& candidates, const std::string& before)
{
    // Known by the characters just before the word: the text given is the
    // end of the document, which slides as it grows.
    const std::size_t startLength = before.size() - unfinishedLength(before);
    const std::size_t context = std::min<std::size_t>(startLength, 64);
    const std::string start = before.substr(startLength - context, context);
    if (start != wordStart_) {
        wordStart_ = start;
        heard_.clear();
    }
    std::vector<std::string> words;
    for (const std::string& word : candidates) {
        if (words.size() == PredictionsOffered)
            break;
        if (std::find(heard_.begin(), heard_.end(), word) == heard_.end())
            words.push_back(word);
    }
    heard_.insert(heard_.end(), words.begin(), words.end());
    return words;
}

bool SentenceStart(const std::string& before)
{
    for (auto it = before.rbegin(); it != before.rend(); ++it) {
        const char c = *it;
        if (c == '.' || c == '?' || c == '!' || c == '\n' || c == '\r')
            return true;
        if (c != ' ' && c != '\xAB' && c != '(' && c != '"')
            return false;
    }
    return true;
}

std::string CaseFor(const std::string& letters, bool lowercase, const std::string& before)
{
    if (!lowercase)
        return upper(letters);
    std::string out = letters;
    for (char& c : out)
        c = static_cast<char>(lower(static_cast<unsigned char>(c)));
    if (!out.empty() && SentenceStart(before))
        out[0] = upper(out.substr(0, 1))[0];
    return out;
}

ScanLayout::ScanLayout(const WritingOptions& options) : options_(options)
{
    for (int b = 0; b < ScanBlockCount; ++b)
        blocks_.push_back(fixedBlock(b));
    auto& letters = blocks_[LettersBlock].items;
    if (options.everyLetter) {
        const auto add = [&](const auto& extras) {
            for (const Extra& extra : extras)
                letters.push_back({extra.say, extra.write, false, false});
        };
        add(options.catalan ? std::vector<Extra>(std::begin(kCatalanLetters), std::end(kCatalanLetters))
                            : std::vector<Extra>(std::begin(kSpanishLetters), std::end(kSpanishLetters)));
        for (const Extra& sign : kSigns)
            blocks_[2].items.push_back({sign.say, sign.write, false, false});
    }
    const auto key = [&](const ScanItem& item) {
        if (item.write == " ")
            return -1;  // "espai" stays first
        return options.frequencyOrder || options.wordOrder ? rank(item.write, options.catalan) : 0;
    };
    if (options.frequencyOrder || options.wordOrder || options.everyLetter) {
        // Alphabetical with the accented letters: by their plain letter.
        const auto plainOf = [](const ScanItem& item) {
            // � stays at the end, where the fixed block has it.
            return item.write[0] == '\xC7' ? '[' : PlainLetter(item);
        };
        std::stable_sort(letters.begin(), letters.end(), [&](const ScanItem& a, const ScanItem& b) {
            if (key(a) != key(b))
                return key(a) < key(b);
            if (options.frequencyOrder || options.wordOrder || a.write == " " || b.write == " ")
                return false;
            const char pa = plainOf(a), pb = plainOf(b);
            if (pa != pb)
                return pa < pb;
            // The plain letter before its accented forms; Ñ and Ç keep their place.
            return a.write.size() == 1 && static_cast<unsigned char>(a.write[0]) < 0x80 &&
                   static_cast<unsigned char>(b.write[0]) >= 0x80;
        });
    }
    if (options.wordOrder) {
        byFrequency_ = letters;
        setLikelyLetters({});
    } else if (options.frequencyOrder) {
        // Right and Left both start at "espai": the most used letters go
        // out from it on either side, so a keyboard user reaches each in as
        // few steps as its rank allows (E right, A left, S right, ...).
        letters = outwardFrom(letters);
    }
    if (options.prediction)
        blocks_.push_back({PredictionBlockName, {}});
}

void ScanLayout::setPredictions(const std::vector<std::string>& words)
{
    if (!options_.prediction)
        return;
    auto& items = blocks_[PredictionBlock].items;
    items.clear();
    for (const std::string& word : words)
        items.push_back({word, word, false, true});
}

void ScanLayout::setLikelyLetters(const std::vector<std::string>& likeliest, const std::vector<double>& letterChances,
                                  const std::vector<double>& wordChances)
{
    if (!options_.wordOrder)
        return;
    std::vector<ScanItem> ranked;
    std::vector<double> chances;
    for (std::size_t k = 0; k < likeliest.size(); ++k) {
        const auto it = std::find_if(byFrequency_.begin(), byFrequency_.end(),
                                     [&](const ScanItem& item) { return item.write == likeliest[k]; });
        if (it != byFrequency_.end() && std::find(ranked.begin(), ranked.end(), *it) == ranked.end() &&
            !(it->catalanOnly && !options_.catalan)) {
            ranked.push_back(*it);
            chances.push_back(k < letterChances.size() ? letterChances[k] : 0.0);
        }
    }
    letterChances_ = letterChances.empty() ? std::vector<double>{} : chances;
    wordChances_ = wordChances.size() == blocks_[PredictionBlock].items.size() ? wordChances : std::vector<double>{};
    for (const ScanItem& item : byFrequency_)
        if (std::find(ranked.begin(), ranked.end(), item) == ranked.end())
            ranked.push_back(item);
    blocks_[LettersBlock].items = outwardFrom(ranked);
}

std::vector<std::string> ScanLayout::offeredWords() const
{
    std::vector<std::string> words;
    if (options_.prediction)
        for (const ScanItem& item : blocks_[PredictionBlock].items)
            words.push_back(item.write);
    return words;
}

bool ScanLayout::hasPredictions() const
{
    return options_.prediction && !blocks_[PredictionBlock].items.empty();
}

Position ScanLayout::start() const
{
    // Letters in the word's order: the likeliest next letter is where the
    // position lands, the words one Up away.
    if (options_.wordOrder)
        return Position{0, LettersBlock};
    return hasPredictions() ? Position{0, PredictionBlock} : Position{0, LettersBlock};
}

bool ScanLayout::skipped(int block, int item) const
{
    return !options_.catalan && blocks_[block].items[static_cast<std::size_t>(item)].catalanOnly;
}

Step ScanLayout::move(Position from, Arrow arrow) const
{
    Position to = from;
    const int count = blockCount();
    int block = wrap(from.row, count);
    const auto next = [&](int b, int by) {
        do
            b = wrap(b + by, count);
        while (blocks_[b].items.empty());
        return b;
    };
    if (blocks_[block].items.empty())
        block = next(block, 1);
    const int n = static_cast<int>(blocks_[block].items.size());
    switch (arrow) {
    case Arrow::Right:
        to.col = wrap(from.col + 1, n);
        if (skipped(block, to.col))
            to.col = wrap(to.col + 1, n);
        break;
    case Arrow::Left:
        // From the block's name (-1) this gives n - 2, as the fixed rule does.
        to.col = wrap(from.col + n - 1, n);
        if (skipped(block, to.col))
            to.col = wrap(to.col - 1, n);
        break;
    case Arrow::Down: to.row = next(block, 1); to.col = 0; break;
    case Arrow::Up: to.row = next(block, -1); to.col = 0; break;
    }
    if (arrow == Arrow::Right || arrow == Arrow::Left)
        to.row = block;
    return {to, blocks_[to.row].items[static_cast<std::size_t>(to.col)].say};
}

Choice ScanLayout::choose(Position at, const std::string& before) const
{
    Choice choice;
    if (at.row < 0 || at.row >= blockCount() || at.col >= static_cast<int>(blocks_[at.row].items.size()))
        return choice;
    if (at.col < 0) {
        choice.kind = Choice::Kind::Say;
        choice.say = blocks_[at.row].name;
        return choice;
    }
    if (at.row == FunctionsBlock && at.col < FunctionItemCount) {
        choice.kind = Choice::Kind::Function;
        choice.function = *FunctionItemAt(at.col);
        return choice;
    }
    const ScanItem& item = blocks_[at.row].items[static_cast<std::size_t>(at.col)];
    if (item.word) {
        // The whole word in place of its letters written so far, and a
        // space unless it ends in an apostrophe ("l'", "d'").
        choice.kind = Choice::Kind::Write;
        choice.replace = unfinishedLength(before);
        const std::string head = before.substr(0, before.size() - choice.replace);
        choice.write = CaseFor(item.write, options_.lowercase, head);
        if (item.write.back() != '\'')
            choice.write += ' ';
        choice.say = item.say;
        return choice;
    }
    const bool closing = item.write.size() == 1 && std::strchr(".,:;?!", item.write[0]) != nullptr;
    if (options_.prediction && closing && !before.empty() && before.back() == ' ') {
        // A chosen word brings its space: the sign after it takes that
        // space's place and brings its own.
        choice.kind = item.write == "." || item.write == "," ? Choice::Kind::EndWord : Choice::Kind::Write;
        choice.replace = 1;
        choice.write = item.write + " ";
        if (choice.kind == Choice::Kind::Write) {
            choice.say = item.say;
            choice.sayOnlyIfTyped = true;
        }
        return choice;
    }
    if (item.write == " " || item.write == "." || item.write == ",") {
        choice.kind = Choice::Kind::EndWord;
        choice.write = item.write;
        return choice;
    }
    choice.kind = Choice::Kind::Write;
    choice.say = item.say;
    if (item.write == "\r\n") {
        choice.write = item.write;
        return choice;
    }
    choice.write = CaseFor(item.write, options_.lowercase, before);
    choice.sayOnlyIfTyped = true;
    return choice;
}

std::vector<int> ScanLayout::itemOrder(int block) const
{
    std::vector<int> order;
    const int n = static_cast<int>(blocks_[block].items.size());
    const bool ranked = block == LettersBlock && outward();
    for (int k = 0; k < n; ++k) {
        const int item = ranked ? outwardItem(k, n) : k;
        if (!skipped(block, item))
            order.push_back(item);
    }
    return order;
}

int LetterHalf(const ScanItem& letter)
{
    const char plain = PlainLetter(letter);
    return plain >= 'M' && plain <= 'Z' ? 1 : 0;
}

std::vector<Position> AutoScanTop(const ScanLayout& layout)
{
    std::vector<Position> top;
    std::vector<double> chances;  // as `top`
    // An entry goes after those at least as likely.
    const auto place = [&](Position entry, double chance) {
        std::size_t at = 0;
        while (at < chances.size() && chances[at] >= chance)
            ++at;
        top.insert(top.begin() + static_cast<std::ptrdiff_t>(at), entry);
        chances.insert(chances.begin() + static_cast<std::ptrdiff_t>(at), chance);
    };
    const bool wordOrder = layout.options().wordOrder;
    const std::vector<int> letters = wordOrder ? layout.itemOrder(LettersBlock) : std::vector<int>{};
    const std::vector<double>& known = layout.letterChances();
    std::size_t direct = 0;
    for (; direct < letters.size() && direct < DirectLetters; ++direct) {
        if (!known.empty() && (direct >= known.size() || known[direct] < DirectLetterChance))
            break;
        top.push_back({letters[direct], LettersBlock});
        chances.push_back(direct < known.size() ? known[direct] : 0.0);
    }
    if (wordOrder) {
        // Each half of the letters not said directly is as likely as its letters together.
        double halves[2] = {0, 0};
        for (std::size_t r = direct; r < letters.size() && r < known.size(); ++r)
            halves[LetterHalf(layout.blocks()[LettersBlock].items[static_cast<std::size_t>(letters[r])])] += known[r];
        place({-1, LettersBlock}, halves[0]);
        place({-2, LettersBlock}, halves[1]);
    }
    if (layout.hasPredictions()) {
        // The words come first after a choice: the likeliest alone when it is
        // more likely than not the word being written, then their block.
        std::vector<Position> words;
        const std::vector<double>& wordChances = layout.wordChances();
        const auto best = std::max_element(wordChances.begin(), wordChances.end());
        const bool alone = best != wordChances.end() && *best >= WordAlone;
        if (alone)
            words.push_back({static_cast<int>(best - wordChances.begin()), PredictionBlock});
        if (!alone || layout.blocks()[PredictionBlock].items.size() > 1)
            words.push_back({-1, PredictionBlock});
        top.insert(top.begin(), words.begin(), words.end());
    }
    // While writing, the signs are wanted more often than the functions.
    for (int b : wordOrder ? std::vector<int>{2, FunctionsBlock, 3, 4} : std::vector<int>{0, 1, 2, 3, 4})
        top.push_back({-1, b});
    return top;
}

std::vector<int> AutoScanItems(const ScanLayout& layout, int block, int name)
{
    const std::vector<Position> top = AutoScanTop(layout);
    const bool halves = block == LettersBlock && layout.options().wordOrder;
    std::vector<int> items;
    for (int item : layout.itemOrder(block))
        if (std::find(top.begin(), top.end(), Position{item, block}) == top.end() &&
            (!halves || LetterHalf(layout.blocks()[block].items[static_cast<std::size_t>(item)]) == -1 - name))
            items.push_back(item);
    return items;
}

std::string AutoScanName(const ScanLayout& layout, Position at)
{
    if (at.row == LettersBlock && layout.options().wordOrder)
        return LetterHalfNames[-1 - at.col];
    return layout.blocks()[at.row].name;
}

void AutoScan::restart()
{
    *this = AutoScan{};
}

AutoScan::Tick AutoScan::tick(const ScanLayout& layout)
{
    if (paused_)
        return {};
    const auto sayAt = [&](Position at) -> Tick {
        at_ = at;
        if (at.col < 0)
            return {AutoScanName(layout, at), false};
        return {layout.blocks()[at.row].items[static_cast<std::size_t>(at.col)].say, false};
    };
    const std::vector<Position> top = AutoScanTop(layout);
    if (inItems_) {
        const std::vector<int> items = AutoScanItems(layout, at_.row, name_);
        if (++step_ < static_cast<int>(items.size()))
            return sayAt({items[static_cast<std::size_t>(step_)], at_.row});
        // Past the last item: back to the top, at this block's name.
        inItems_ = false;
        top_ = static_cast<int>(std::find(top.begin(), top.end(), Position{name_, at_.row}) - top.begin());
        return sayAt({name_, at_.row});
    }
    if (++top_ >= static_cast<int>(top.size())) {
        if (++rounds_ >= kRoundsBeforePause) {
            paused_ = true;
            return {kPause, true};
        }
        top_ = 0;
    }
    return sayAt(top[static_cast<std::size_t>(top_)]);
}

AutoScan::Press AutoScan::press()
{
    if (paused_) {
        restart();
        return Press::Resumed;
    }
    if (at_.row < 0)
        return Press::Nothing;
    if (at_.col >= 0)
        return Press::Chosen;
    if (inItems_)
        return Press::Nothing;
    inItems_ = true;
    name_ = at_.col;
    step_ = -1;
    return Press::Entered;
}

}  // namespace brunzit
