// writing-cost: what writing a text costs an ideal user of the scanning
// keyboard, through the program's own scanning layout and moves. The user
// knows the text and always takes the fewest actions (keys mode: Right,
// Left, Down, Up and Return; one-switch mode: the fewest automatic scan
// steps). Case is not counted: the keyboard writes capitals, or lower case
// with sentence capitals, and either spells the text. The prediction model
// sees only the text already written, plus its lexicon, and learns each
// word once it is written, as in the editor.

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <map>
#include <queue>
#include <sstream>
#include <string>
#include <vector>

#include "editor/prediction/lexicon.h"
#include "editor/prediction/predictor.h"
#include "editor/prediction/usermodel.h"
#include "editor/scanlayout.h"
#include "platform/paths.h"

using namespace brunzit;

namespace {

// UTF-8 to Windows-1252; a character it cannot hold becomes 0x81 (unused
// there), which nothing on the keyboard writes. Typographic apostrophes
// are the apostrophe the keyboard writes.
std::string toCp1252(const std::string& utf8)
{
    static const std::map<char32_t, unsigned char> high = {
        {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
        {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
        {0x017D, 0x8E}, {0x2018, '\''}, {0x2019, '\''}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
        {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
        {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}};
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        char32_t code = c;
        int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        if (extra)
            code = c & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < utf8.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += 1 + extra;
        if (code == '\r')
            continue;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF))
            out += static_cast<char>(code);
        else if (auto it = high.find(code); it != high.end())
            out += static_cast<char>(it->second);
        else
            out += '\x81';
    }
    return out;
}

char fold(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 0xE0 && u <= 0xFE && u != 0xF7))
        return static_cast<char>(u - 0x20);
    return c;
}

std::string folded(const std::string& s)
{
    std::string out;
    for (char c : s)
        out += fold(c);
    return out;
}

// What one choice writes, seen as text with LF line breaks, and its cost.
struct Move {
    std::string text;  // folded
    std::size_t replace = 0;
    long actions = 0;
    long steps = 0;
};

std::string written(const Choice& choice)
{
    if (choice.kind != Choice::Kind::Write && choice.kind != Choice::Kind::EndWord)
        return {};
    return choice.write == "\r\n" ? std::string("\n") : folded(choice.write);
}

// Keys mode: the fewest arrow keys from the start to each item, then Return.
std::vector<Move> keyMoves(const ScanLayout& layout, const std::string& before)
{
    std::map<std::pair<int, int>, long> dist;
    std::queue<Position> queue;
    const Position start = layout.start();
    dist[{start.col, start.row}] = 0;
    queue.push(start);
    while (!queue.empty()) {
        const Position at = queue.front();
        queue.pop();
        for (Arrow arrow : {Arrow::Right, Arrow::Left, Arrow::Down, Arrow::Up}) {
            const Position to = layout.move(at, arrow).to;
            if (dist.emplace(std::make_pair(to.col, to.row), dist[{at.col, at.row}] + 1).second)
                queue.push(to);
        }
    }
    std::vector<Move> moves;
    for (const auto& [at, arrows] : dist) {
        const Choice choice = layout.choose({at.first, at.second}, before);
        const std::string text = written(choice);
        if (!text.empty())
            moves.push_back({text, choice.replace, arrows + 1, arrows});
    }
    return moves;
}

// One-switch mode: the ticks of the automatic scanning until each item is
// said, with a press to choose it and, inside a block, one to enter it.
std::vector<Move> switchMoves(const ScanLayout& layout, const std::string& before)
{
    std::vector<Move> moves;
    const auto add = [&](const AutoScan& scan, long presses, long ticks) {
        const Choice choice = layout.choose(scan.position(), before);
        const std::string text = written(choice);
        if (!text.empty())
            moves.push_back({text, choice.replace, presses, ticks});
    };
    const std::size_t entries = AutoScanTop(layout).size();
    for (std::size_t entry = 0; entry < entries; ++entry) {
        AutoScan scan;
        long ticks = 0;
        for (; ticks <= static_cast<long>(entry); ++ticks)
            scan.tick(layout);
        if (scan.press() == AutoScan::Press::Chosen) {
            add(scan, 1, ticks);
            continue;
        }
        for (;;) {
            scan.tick(layout);
            ++ticks;
            if (!scan.inItems())
                break;
            add(scan, 2, ticks);
        }
    }
    return moves;
}

// What the ideal user keeps fewest: in keys mode the actions, in one-switch
// mode the scan steps (the time spent listening), each then the other.
struct Cost {
    long unwritable = std::numeric_limits<long>::max() / 4;
    long actions = 0;
    long steps = 0;
    bool bySteps = false;
    bool operator<(const Cost& o) const
    {
        if (unwritable != o.unwritable)
            return unwritable < o.unwritable;
        const auto first = [&](const Cost& c) { return bySteps ? c.steps : c.actions; };
        const auto second = [&](const Cost& c) { return bySteps ? c.actions : c.steps; };
        return first(*this) != first(o) ? first(*this) < first(o) : second(*this) < second(o);
    }
};

int usage()
{
    std::cerr << "usage: writing-cost [--language ca|es] [--mode keys|one-switch] [--prediction on|off]\n"
                 "                    [--order alphabetical|frequency|word] [--lowercase on|off] [--every-letter on|off] FILE\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    WritingOptions options;
    // Every letter is on unless asked off: the goal is a keyboard that
    // writes the whole language; "--every-letter off" is the fixed keyboard.
    options.everyLetter = true;
    bool oneSwitch = false;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::string value = i + 1 < argc ? argv[i + 1] : "";
        if (arg == "--language" && (value == "ca" || value == "es"))
            options.catalan = value == "ca";
        else if (arg == "--mode" && (value == "keys" || value == "one-switch"))
            oneSwitch = value == "one-switch";
        else if (arg == "--prediction" && (value == "on" || value == "off"))
            options.prediction = value == "on";
        else if (arg == "--order" && (value == "alphabetical" || value == "frequency" || value == "word")) {
            options.frequencyOrder = value == "frequency";
            options.wordOrder = value == "word";
        }
        else if (arg == "--lowercase" && (value == "on" || value == "off"))
            options.lowercase = value == "on";
        else if (arg == "--every-letter" && (value == "on" || value == "off"))
            options.everyLetter = value == "on";
        else if (arg.rfind("--", 0) != 0 && file.empty()) {
            file = arg;
            continue;
        } else
            return usage();
        ++i;
    }
    if (file.empty())
        return usage();
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::cerr << "writing-cost: cannot read " << file << "\n";
        return 1;
    }
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = toCp1252(buffer.str());
    const std::string target = folded(text);
    const std::size_t n = text.size();

    const std::string language = options.catalan ? "ca" : "es";
    prediction::Lexicon lexicon;
    prediction::UserModel user;  // in memory: the user's own file is not touched
    if (options.prediction || options.wordOrder) {
        const std::string dir = executableFolder() + "/lexicon/";
        if (!lexicon.load(dir + language + ".tsv", dir + language + "-pairs.tsv")) {
            std::cerr << "writing-cost: no lexicon in " << dir << "\n";
            return 1;
        }
    }
    const prediction::Predictor predictor(lexicon, &user);

    // Fewest actions to have written the first i characters. The position
    // after every choice is the layout's start, so the cost of what follows
    // depends only on the text already written.
    std::vector<Cost> best(n + 1, Cost{.bySteps = oneSwitch});
    best[0] = {0, 0, 0, oneSwitch};
    ScanLayout layout(options);
    WordOffer offers;
    bool inWord = false;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string before = text.substr(0, i);
        const bool letter = std::isalpha(static_cast<unsigned char>(text[i])) ||
                            static_cast<unsigned char>(text[i]) >= 0xC0 || text[i] == '\xB7';
        if (inWord && !letter && text[i] != '\'')
            user.learnLastWord(before);
        inWord = letter || (inWord && text[i] == '\'');
        if (best[i].unwritable == Cost{}.unwritable)
            continue;
        Cost skip = best[i];
        ++skip.unwritable;
        if (skip < best[i + 1])
            best[i + 1] = skip;
        const auto movesAfter = [&](const std::string& written, WordOffer& offers) {
            if (options.prediction)
                layout.setPredictions(offers.offer(predictor.predict(written, 3 * PredictionsOffered), written));
            if (options.wordOrder) {
                const prediction::Predictor::Next next = predictor.likelyLetters(written, layout.offeredWords());
                layout.setLikelyLetters(next.letters, next.letterChances, next.wordChances);
            }
            return oneSwitch ? switchMoves(layout, written) : keyMoves(layout, written);
        };
        const auto relax = [&](std::size_t to, long actions, long steps) {
            const Cost cost{best[i].unwritable, best[i].actions + actions, best[i].steps + steps, oneSwitch};
            if (cost < best[to])
                best[to] = cost;
        };
        for (const Move& move : movesAfter(before, offers)) {
            if (move.replace > i)
                continue;
            const std::size_t from = i - move.replace;
            const std::size_t end = from + move.text.size();
            if (move.text.size() > 1 && move.text.back() == ' ' && end <= n &&
                target.compare(from, move.text.size() - 1, move.text, 0, move.text.size() - 1) == 0 &&
                std::strchr(".,:;?!", target[end - 1]) && end - 1 > i) {
                // A word whose space a sign then takes: "word " + "," = "word, ".
                const std::string sign = target.substr(end - 1, 1) + " ";
                if (target.compare(end - 1, 2, sign) != 0)
                    continue;
                const std::string written = text.substr(0, end - 1) + " ";
                WordOffer later = offers;  // what the user would hear there, without changing this path
                for (const Move& next : movesAfter(written, later)) {
                    if (next.replace == 1 && next.text == sign)
                        relax(end + 1, move.actions + next.actions, move.steps + next.steps);
                }
                continue;
            }
            if (target.compare(from, move.text.size(), move.text) != 0 || from + move.text.size() <= i)
                continue;
            relax(from + move.text.size(), move.actions, move.steps);
        }
    }
    const Cost& total = best[n];
    const double chars = n ? double(n) : 1.0;
    std::printf("actions per character: %.2f; scan steps per character: %.2f; characters not writable: %ld of %zu\n",
                double(total.actions) / chars, double(total.steps) / chars, total.unwritable, n);
    return 0;
}
