#pragma once
// The scanning keyboard as the writing options shape it: letters in
// alphabetical or frequency order, every Catalan and Spanish letter and
// sign, lower case, and a block of predicted words. With every option off
// the layout is the fixed one of scanning.h, item for item, and its moves
// and choices are those of ScanMove and ScanChoice.
//
// The automatic (one-switch) scanning steps through the same layout: the
// block names from the top, then the items of the block chosen.

#include <optional>
#include <string>
#include <vector>

#include "editor/scanning.h"
#include "editor/selection.h"

namespace brunzit {

struct WritingOptions {
    bool catalan = true;
    bool everyLetter = false;     // "Totes les lletres"
    bool frequencyOrder = false;  // "Lletres per freqüència"
    bool lowercase = false;       // "Minúscules"
    bool prediction = false;      // "Predicció de paraules"
    bool wordOrder = false;       // "Lletres segons la paraula"
    bool operator==(const WritingOptions&) const = default;
};

struct ScanItem {
    std::string say;    // Windows-1252, said as stored
    std::string write;  // what choosing it writes ("\r\n" for retorn)
    bool catalanOnly = false;
    bool word = false;  // a predicted word: `write` is the whole word
    bool operator==(const ScanItem&) const = default;
};

struct ScanLayoutBlock {
    std::string name;
    std::vector<ScanItem> items;
};

// The block of predicted words sits after the fixed blocks, so Down from it
// reaches the letters and the fixed blocks keep their numbers.
constexpr int PredictionBlock = ScanBlockCount;
constexpr const char* PredictionBlockName = "bloc paraules";
constexpr std::size_t PredictionsOffered = 8;

class ScanLayout {
public:
    explicit ScanLayout(const WritingOptions& options = {});

    const WritingOptions& options() const { return options_; }
    const std::vector<ScanLayoutBlock>& blocks() const { return blocks_; }
    int blockCount() const { return static_cast<int>(blocks_.size()); }

    // The words offered now (empty: the prediction block is left out of
    // the scanning until words come back).
    void setPredictions(const std::vector<std::string>& words);
    bool hasPredictions() const;
    std::vector<std::string> offeredWords() const;

    // "Lletres segons la paraula": the letters likeliest to come next, best
    // first (as written: capitals, "L\xB7L", " " for "espai"), take the
    // letter block's first place and then go out from it on both sides; the
    // letters not named follow in frequency order.
    // With their chances (as `likeliest`, and as the words offered), the
    // automatic scanning places the words' block among the letters it says
    // directly by how likely the words are.
    void setLikelyLetters(const std::vector<std::string>& likeliest, const std::vector<double>& letterChances = {},
                          const std::vector<double>& wordChances = {});
    // The chances set with the letters: of the letter at each rank, and of
    // each word offered (empty when not known).
    const std::vector<double>& letterChances() const { return letterChances_; }
    const std::vector<double>& wordChances() const { return wordChances_; }

    // Where a choice sends the position: with the letters in the word's
    // order the likeliest letter; otherwise the first word when words are
    // offered, else the first item of the letters.
    Position start() const;

    Step move(Position from, Arrow arrow) const;
    // The items of a block in the order the automatic scanning says them:
    // the letters by frequency when they are so ordered.
    std::vector<int> itemOrder(int block) const;
    // The entry at `at` chosen, after `before` (the editor's text, for the
    // sentence capital and for what a word replaces).
    Choice choose(Position at, const std::string& before) const;

private:
    bool skipped(int block, int item) const;
    bool outward() const { return options_.frequencyOrder || options_.wordOrder; }

    WritingOptions options_;
    std::vector<ScanLayoutBlock> blocks_;
    std::vector<ScanItem> byFrequency_;  // the letter block, most used first
    std::vector<double> letterChances_;
    std::vector<double> wordChances_;
};

// The words to offer from the predictor's candidates (best first): those
// already offered for the word being written, and not taken, give their
// place to new ones, so each letter brings words not yet heard.
class WordOffer {
public:
    std::vector<std::string> offer(const std::vector<std::string>& candidates, const std::string& before);

private:
    std::string wordStart_;  // the characters just before the word now being written
    std::vector<std::string> heard_;
};

// The letter written at this point of the text with "Minúscules" on: a
// capital at the start of the text and after . ? ! and a line break.
bool SentenceStart(const std::string& before);
std::string CaseFor(const std::string& letters, bool lowercase, const std::string& before);

// One-switch scanning without a timer: each tick says the next entry of
// the top (a block name, or with "Lletres segons la paraula" a likely
// letter said directly), or, inside a block, its next item; the switch
// enters the block or chooses the item. After a choice it starts again at
// the top. After the last item of a block it goes back to the top
// at that block's name; after three rounds of the top without a press it
// says "pausa" and waits.
class AutoScan {
public:
    static constexpr int kRoundsBeforePause = 3;
    static constexpr const char* kPause = "pausa";

    struct Tick {
        std::string say;
        bool paused = false;
    };
    enum class Press { Nothing, Entered, Chosen, Resumed };

    void restart();
    Tick tick(const ScanLayout& layout);
    Press press();
    bool paused() const { return paused_; }
    bool inItems() const { return inItems_; }
    // The block (and item, below 0 for a name) now current.
    Position position() const { return at_; }

private:
    Position at_{-1, -1};
    int name_ = -1;  // the name of the block (or half) entered
    int top_ = -1;   // in AutoScanTop
    int step_ = -1;  // in the block's item order
    int rounds_ = 0;
    bool inItems_ = false;
    bool paused_ = false;
};

// After a choice the automatic scanning says the predicted words first
// (the likeliest alone, without the block's name, when it is more likely
// than not the word being written). With "Lletres segons la paraula" the
// rest of its top is in the order of the chances: every entry said before
// the one wanted costs a step. The likeliest letters are said directly (up
// to six, each with a chance of at least 5 %); each half of the other
// letters is as likely as its letters together. With no chances known the
// letters said directly come first, then the halves.
constexpr std::size_t DirectLetters = 6;
constexpr double DirectLetterChance = 0.05;
constexpr double WordAlone = 0.5;

// With "Lletres segons la paraula" the letters not said directly are in
// two halves of the alphabet, each with its name at the top, so a user
// who has not heard a letter knows which half holds it. A letter's half
// is that of its plain letter (\xC8 of E, L\xB7L of L, \xD1 of N); "espai" is
// in the first.
constexpr const char* LetterHalfNames[] = {"lletres de A a L", "lletres de M a Z"};
int LetterHalf(const ScanItem& letter);

// The top of the automatic scanning, in order: block names (item -1; the
// second half of the letters, item -2) and items said directly. The words
// come first when offered.
std::vector<Position> AutoScanTop(const ScanLayout& layout);
// The items of a block (of the letters' half `name` names, -1 or -2) as
// the automatic scanning says them once entered: those said directly at
// the top are not said again.
std::vector<int> AutoScanItems(const ScanLayout& layout, int block, int name = -1);
// What the automatic scanning says for an entry of its top.
std::string AutoScanName(const ScanLayout& layout, Position at);

}  // namespace brunzit
