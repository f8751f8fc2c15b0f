#include "editor/scanning.h"

#include <cstring>

namespace brunzit {

namespace {

// Row by row, column by column.
constexpr GridCell kGrid[GridRows][GridColumns] = {
    {{"A", "A", 'A'}, {"B", "B", 'B'}, {"C", "C", 'C'}, {"D", "D", 'D'}, {"E", "E", 'E'}, {"F", "F", 'F'},
     {"G", "G", 'G'}, {"H", "H", 'H'}, {"I", "I", 'I'}, {"J", "J", 'J'}, {"Return", "Return", CodeReturn},
     {"Llegir", "Llegir", CodeLlegir}},
    {{"K", "K", 'K'}, {"L", "L", 'L'}, {"M", "M", 'M'}, {"N", "N", 'N'}, {"O", "O", 'O'}, {"P", "P", 'P'},
     {"Q", "Q", 'Q'}, {"R", "R", 'R'}, {"S", "S", 'S'}, {"T", "T", 'T'}, {"punt", ".", '.'},
     {"Esborrar", "Esborrar", CodeEsborrar}},
    {{"U", "U", 'U'}, {"V", "V", 'V'}, {"W", "W", 'W'}, {"ICS", "X", 'X'}, {"YGREGA", "Y", 'Y'},
     {"Z", "Z", 'Z'}, {"mes", "+", '+'}, {"menys", "-", '-'}, {"per", "*", '*'}, {"dividid", "/", '/'},
     {"igual", "=", '='}, {"Calcular", "Calcular", CodeCalcular}},
    {{"zero", "0", '0'}, {"un", "1", '1'}, {"dos", "2", '2'}, {"tres", "3", '3'}, {"quatre", "4", '4'},
     {"cinc", "5", '5'}, {"sis", "6", '6'}, {"siete", "7", '7'}, {"vuit", "8", '8'}, {"nou", "9", '9'},
     {"espai", "", ' '}, {"Imprimir", "Imprimir", CodeImprimir}},
};

struct ScanBlockData {
    int size;
    const char* entries[ScanBlockEntries];
};

// Spoken forms, Windows-1252: letters a voice would say badly are phonetic.
constexpr ScanBlockData kScanBlocks[ScanBlockCount] = {
    {29,
     {"bloc lletres", "espai", "A", "B", "C", "D", "\xC8", "F", "G", "H", "ii", "J", "K", "L", "M", "N",
      "\xD1", "O", "P", "quu", "R", "S", "T", "uu", "V", "W", "X", "ii grega", "Z", "\xC7", ""}},
    {7,
     {"bloc funcions", "LLEGIR-HO TOT", "LLEGIR L'\xDALTIMA PARAULA", "ESBORRAR L'\xDALTIMA LLETRA",
      "ESBORRAR \xDALTIMA PARAULA", "ESBORRAR-HO TOT", "IMPRIMIR", "CALCULAR", ""}},
    {6,
     {"bloc puntuaci\xF3", "punt", "coma", "interrogaci\xF3", "admiraci\xF3", "ap\xF3strof", "retorn", ""}},
    {10, {"bloc n\xFAmeros", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9", ""}},
    {4, {"bloc calculadora", "m\xE9s", "menys", "per", "dividid", ""}},
};

static_assert(kScanBlocks[0].size == 29 && kScanBlocks[1].size == 7 && kScanBlocks[2].size == 6 &&
              kScanBlocks[3].size == 10 && kScanBlocks[4].size == 4);
static_assert(ScanBlockEntries > 29 + 1, "every block keeps an empty entry after its last item");

int wrap(int value, int modulus)
{
    const int r = value % modulus;
    return r < 0 ? r + modulus : r;
}

}  // namespace

std::array<std::array<std::string, ScanBlockEntries>, ScanBlockCount> ScanBlocks;
std::array<int, ScanBlockCount> ScanBlockSize{};

const GridCell* GridCellAt(int column, int row)
{
    if (column < 0 || column >= GridColumns || row < 0 || row >= GridRows)
        return nullptr;
    return &kGrid[row][column];
}

bool IsWordKey(const GridCell& cell)
{
    return std::strlen(cell.caption) > 1;
}

std::string SpokenKeyName(char code)
{
    switch (code) {
    case CodeReturn: return "return";
    case ' ': return "espai";
    case '*': return "per";
    case '+': return "m\xE9s";
    case '-': return "menys";
    case '.': return "punt";
    case '/': return "dividid";
    case '=': return "igual";
    case 'A': return "a";
    case 'I': return "ii";
    case 'Q': return "quu";
    case 'U': return "uu";
    case 'Y': return "i grega";
    case CodeCalcular: return "calcular";
    case CodeEsborrar: return "esborrar";
    case CodeImprimir: return "imprimir";
    case CodeLlegir: return "Llegir";
    default: return std::string(1, code) + " ";
    }
}

void FillScanBlocks()
{
    for (int b = 0; b < ScanBlockCount; ++b) {
        for (int e = 0; e < ScanBlockEntries; ++e)
            ScanBlocks[b][e] = ScanEntry(b, e);
        ScanBlockSize[b] = kScanBlocks[b].size;
    }
}

const char* ScanEntry(int block, int entry)
{
    if (block < 0 || block >= ScanBlockCount || entry < 0 || entry >= ScanBlockEntries)
        return "";
    const char* text = kScanBlocks[block].entries[entry];
    return text ? text : "";
}

int ScanItemCount(int block)
{
    return block >= 0 && block < ScanBlockCount ? kScanBlocks[block].size : 0;
}

Step GridMove(Position from, Arrow arrow)
{
    Position to = from;
    switch (arrow) {
    case Arrow::Right: to.col = wrap(from.col + 1, GridColumns); break;
    case Arrow::Left: to.col = wrap(from.col + GridColumns - 1, GridColumns); break;
    case Arrow::Down: to.row = wrap(from.row + 1, GridRows); break;
    case Arrow::Up: to.row = wrap(from.row + GridRows - 1, GridRows); break;
    }
    const GridCell* cell = GridCellAt(to.col, to.row);
    return {to, cell ? SpokenKeyName(cell->code) : std::string()};
}

Step ScanMove(Position from, Arrow arrow, bool catalan)
{
    Position to = from;
    const int block = wrap(from.row, ScanBlockCount);
    const int n = ScanItemCount(block);
    switch (arrow) {
    case Arrow::Right:
        to.col = wrap(from.col + 1, n);
        if (!catalan && block == LettersBlock && to.col == CedillaItem)
            to.col = 0;
        break;
    case Arrow::Left:
        // From the block's name (-1) this gives n - 2, as the formula does.
        to.col = wrap(from.col + n - 1, n);
        if (!catalan && block == LettersBlock && to.col == CedillaItem)
            to.col = CedillaItem - 1;
        break;
    case Arrow::Down:
        to.row = wrap(block + 1, ScanBlockCount);
        to.col = 0;
        break;
    case Arrow::Up:
        to.row = wrap(block + ScanBlockCount - 1, ScanBlockCount);
        to.col = 0;
        break;
    }
    if (arrow == Arrow::Right || arrow == Arrow::Left)
        to.row = block;
    return {to, ScanEntry(to.row, to.col + 1)};
}

}  // namespace brunzit
