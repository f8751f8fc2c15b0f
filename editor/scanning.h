#pragma once
// The two keyboards as data: the 4 x 12 grid of keys and the five spoken
// blocks of the scanning keyboard, with every movement as a pure function of
// (position, key, language) giving (new position, text to say).

#include <array>
#include <string>

namespace brunzit {

// ---- Grid keyboard ---------------------------------------------------------

constexpr int GridColumns = 12;
constexpr int GridRows = 4;
constexpr int GridKeyWidth = 64;
constexpr int GridKeyHeight = 72;

// Key codes that are not the character they write.
constexpr char CodeReturn = '\r';
constexpr char CodeLlegir = 'l';
constexpr char CodeEsborrar = 'e';
constexpr char CodeCalcular = 'c';
constexpr char CodeImprimir = 'i';

struct GridCell {
    const char* name;     // the key control's name
    const char* caption;  // what the key shows
    char code;
};

// The cell at (column, row); nullptr outside the grid.
const GridCell* GridCellAt(int column, int row);
// True for the five keys whose caption is a word (smaller font).
bool IsWordKey(const GridCell& cell);

// The text said for a key that is reached.
std::string SpokenKeyName(char code);

// ---- Scanning keyboard -----------------------------------------------------

constexpr int ScanBlockCount = 5;
constexpr int ScanBlockEntries = 32;
constexpr int FunctionsBlock = 1;
constexpr int LettersBlock = 0;
constexpr int CedillaItem = 28;  // "Ç": Catalan only

// Entry 0 of a block is its name, entries 1..ScanBlockSize[b] its items, the
// entry after the last item is empty. Filled by FillScanBlocks (the main
// window's creation) and never changed afterwards.
extern std::array<std::array<std::string, ScanBlockEntries>, ScanBlockCount> ScanBlocks;
extern std::array<int, ScanBlockCount> ScanBlockSize;
void FillScanBlocks();

// The fixed content, readable without FillScanBlocks.
const char* ScanEntry(int block, int entry);
int ScanItemCount(int block);

// ---- Movements -------------------------------------------------------------

enum class Arrow { Right, Left, Down, Up };

struct Position {
    int col = 0;  // grid column, or item index (-1: the block's name)
    int row = 0;  // grid row, or block index
    bool operator==(const Position&) const = default;
};

struct Step {
    Position to;
    std::string say;  // for the grid: the key's spoken name (said if the option is on)
};

// Both axes wrap independently.
Step GridMove(Position from, Arrow arrow);
// Right/Left step through the items (Spanish skips "Ç"), Down/Up step to the
// first item of the next or previous block.
Step ScanMove(Position from, Arrow arrow, bool catalan);

}  // namespace brunzit
