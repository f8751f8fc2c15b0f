#include "editor/prediction/wordtext.h"


namespace brunzit::prediction {

namespace {

constexpr unsigned char MiddleDot = 0xB7;

struct Tables {
    std::array<char, 256> lower{}, fold{};
    std::array<bool, 256> letter{};
};

// Windows-1252 letters: A-Z, a-z, À-ÿ but × and ÷, and Š Œ Ž š œ ž Ÿ.
constexpr Tables makeTables()
{
    Tables t;
    for (int c = 0; c < 256; ++c) {
        t.lower[c] = static_cast<char>(c);
        t.fold[c] = static_cast<char>(c);
        t.letter[c] = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
                      || (c >= 0xC0 && c != 0xD7 && c != 0xF7)
                      || c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9A || c == 0x9C || c == 0x9E || c == 0x9F;
    }
    for (int c = 'A'; c <= 'Z'; ++c)
        t.lower[c] = static_cast<char>(c + 32);
    for (int c = 0xC0; c <= 0xDE; ++c)
        if (c != 0xD7)
            t.lower[c] = static_cast<char>(c + 32);
    t.lower[0x8A] = static_cast<char>(0x9A);
    t.lower[0x8C] = static_cast<char>(0x9C);
    t.lower[0x8E] = static_cast<char>(0x9E);
    t.lower[0x9F] = static_cast<char>(0xFF);
    // Folded: the lower-case letter without its mark, where it has one.
    const char* marked = "\xE0\xE1\xE2\xE3\xE4\xE5\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF1\xF2\xF3\xF4\xF5\xF6\xF9\xFA\xFB\xFC\xFD\xFF\x9A\x9E";
    const char* plain = "aaaaaaceeeeiiiinooooouuuuyysz";
    for (int c = 0; c < 256; ++c) {
        t.fold[c] = t.lower[c];
        for (int i = 0; marked[i]; ++i)
            if (static_cast<unsigned char>(t.lower[c]) == static_cast<unsigned char>(marked[i]))
                t.fold[c] = plain[i];
    }
    return t;
}

constexpr Tables tables = makeTables();

bool elides(std::string_view word)
{
    if (word.size() != 1)
        return false;
    const char c = lowerLetter(word[0]);
    return c == 'l' || c == 'd' || c == 's' || c == 'n' || c == 'm' || c == 't';
}

}  // namespace

namespace detail {
const std::array<char, 256> lowerTable = tables.lower;
const std::array<char, 256> foldTable = tables.fold;
const std::array<bool, 256> letterTable = tables.letter;
}  // namespace detail

std::string lowerText(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = lowerLetter(c);
    return out;
}

std::string foldText(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = foldLetter(c);
    return out;
}

bool startsWithTyped(std::string_view word, std::string_view typed)
{
    if (typed.size() > word.size())
        return false;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        const char t = lowerLetter(typed[i]);
        const char w = lowerLetter(word[i]);
        if (t != w && (foldLetter(t) != t || foldLetter(w) != t))
            return false;
    }
    return true;
}

std::vector<Token> tokenize(std::string_view text)
{
    std::vector<Token> tokens;
    const std::size_t n = text.size();
    auto letterAt = [&](std::size_t i) { return i < n && isLetter(static_cast<unsigned char>(text[i])); };
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (isLetter(c)) {
            std::size_t j = i + 1;
            for (;;) {
                if (letterAt(j))
                    ++j;
                else if (j < n && static_cast<unsigned char>(text[j]) == MiddleDot && letterAt(j + 1))
                    j += 2;
                else
                    break;
            }
            // "l'" before a letter, or as the last thing written.
            if (j < n && text[j] == '\'' && elides(text.substr(i, j - i)) && (j + 1 == n || letterAt(j + 1)))
                ++j;
            tokens.push_back({Token::Word, i, j});
            i = j;
            continue;
        }
        if (c == ' ' || c == '\t') {
        } else if (c == '.' || c == '!' || c == '?' || c == ';' || c == ':' || c == '\n' || c == '\r') {
            if (tokens.empty() || tokens.back().kind != Token::SentenceStart)
                tokens.push_back({Token::SentenceStart, i, i});
        } else {
            tokens.push_back({Token::Break, i, i});
        }
        ++i;
    }
    return tokens;
}

namespace {

// The context at the end of `text`; with `finished`, the last word counts as
// finished even when nothing follows it.
Context describe(std::string_view text, bool finished)
{
    // Only the last few words matter; a long document is not read whole.
    std::size_t base = text.size() > 200 ? text.size() - 200 : 0;
    while (base > 0 && text[base - 1] != ' ' && text[base - 1] != '\n')
        --base;
    const std::string_view tail = text.substr(base);
    const std::vector<Token> tokens = tokenize(tail);
    auto wordText = [&](const Token& t) { return tail.substr(t.begin, t.end - t.begin); };

    Context context;
    std::size_t last = tokens.size();
    if (finished) {
        while (last > 0 && tokens[last - 1].kind != Token::Word)
            --last;
        if (last == 0)
            return context;
        context.partial = lowerText(wordText(tokens[--last]));
    } else if (last > 0 && tokens.back().kind == Token::Word && tokens.back().end == tail.size() && tail.back() != '\'') {
        context.partial.assign(wordText(tokens[--last]));
    } else if (tail.size() >= 2 && static_cast<unsigned char>(tail.back()) == MiddleDot
               && isLetter(static_cast<unsigned char>(tail[tail.size() - 2]))) {
        // "COL·": the word goes on after the dot.
        std::size_t b = tail.size() - 1;
        while (b > 0 && (isLetter(static_cast<unsigned char>(tail[b - 1])) || static_cast<unsigned char>(tail[b - 1]) == MiddleDot))
            --b;
        context.partial.assign(tail.substr(b));
        while (last > 0 && tokens[last - 1].begin >= b)
            --last;
    }
    if (last == 0) {
        context.previousKnown = base == 0;   // the start of the text starts a sentence
    } else if (tokens[last - 1].kind == Token::Word) {
        context.previous = lowerText(wordText(tokens[last - 1]));
        context.previousKnown = true;
    } else {
        context.previousKnown = tokens[last - 1].kind == Token::SentenceStart;
    }
    return context;
}

}  // namespace

Context contextOf(std::string_view text) { return describe(text, false); }
Context lastWordOf(std::string_view text) { return describe(text, true); }

}  // namespace brunzit::prediction
