// Word prediction over a small made-up lexicon: completion with accents and
// case, the next word after a space, learning, the user's file.
#include "editor/prediction/predictor.h"
#include "editor/prediction/wordtext.h"
#include "platform/cp1252.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

namespace brunzit::prediction {
namespace {

const char* const Words =
    "aigua\t12\narxiu\t6\naixò\t15\ncasa\t40\ncatalunya\t10\ncatalà\t25\ncol·lecció\t8\nd'\t55\nde\t100\n"
    "el\t80\nescriure\t9\nés\t70\nHongria\t2\nl'\t60\nla\t90\nnova\t3\nquan\t20\nquant\t5\nque\t50\nquè\t30\n";
const char* const Pairs =
    "\tel\t10\nde\tla\t30\nde\tl'\t20\nl'\taigua\t3\nl'\tarxiu\t9\nla\tcatalunya\t5\n";

std::vector<std::string> utf8(const std::vector<std::string>& words)
{
    std::vector<std::string> out;
    for (const std::string& w : words)
        out.push_back(cp1252ToUtf8(w));
    return out;
}

class Prediction : public ::testing::Test {
protected:
    void SetUp() override { lexicon.parse(Words, Pairs); }
    std::vector<std::string> offer(const char* text, std::size_t k, const UserModel* user = nullptr)
    {
        return utf8(Predictor(lexicon, user).predict(utf8ToCp1252(text), k));
    }
    Lexicon lexicon;
};

TEST(WordText, ContextOfTheTextBeforeTheCaret)
{
    struct Row { const char* text; const char* partial; const char* previous; bool known; };
    const Row rows[] = {
        {"", "", "", true},
        {"HOLA QUE", "QUE", "hola", true},
        {"HOLA. BON", "BON", "", true},
        {"HOLA\nBON ", "", "bon", true},
        {"3 GATS", "GATS", "", false},
        {"DE, ", "", "", false},
        {"L'A", "A", "l'", true},
        {"DE L'", "", "l'", true},
        {"COL·", "COL·", "", true},
        {"VA COL·L", "COL·L", "va", true},
        {"ÀVIA ÉS", "ÉS", "àvia", true},
        {"QUI'", "", "", false},           // only elided articles and pronouns keep an apostrophe
    };
    for (const Row& row : rows) {
        const Context c = contextOf(utf8ToCp1252(row.text));
        EXPECT_EQ(cp1252ToUtf8(c.partial), row.partial) << row.text;
        EXPECT_EQ(cp1252ToUtf8(c.previous), row.previous) << row.text;
        EXPECT_EQ(c.previousKnown, row.known) << row.text;
    }
    // A long text is read from its end only, and still gives the last words.
    const Context c = contextOf(std::string(5000, 'x') + " una casa nov");
    EXPECT_EQ(c.partial, "nov");
    EXPECT_EQ(c.previous, "casa");
}

TEST_F(Prediction, CompletesTheWordIgnoringCaseWithAccentsOnlyWhenTyped)
{
    struct Row { const char* text; std::vector<std::string> offered; };
    const Row rows[] = {
        {"QUE", {"que", "què"}},
        {"QUÈ", {"què"}},
        {"què", {"què"}},
        {"QUA", {"quan", "quant"}},
        {"ES", {"és", "escriure"}},
        {"É", {"és"}},
        {"CAT", {"català", "catalunya"}},
        {"COL", {"col·lecció"}},
        {"COL·LE", {"col·lecció"}},
        {"HON", {"Hongria"}},
        {"AIX", {"això"}},
        {"XYZ", {}},
        {"UNA CASA NOVA I ES", {"és", "escriure"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(offer(row.text, 5), row.offered) << row.text;
    EXPECT_EQ(offer("QU", 2), (std::vector<std::string>{"que", "què"}));
}

TEST_F(Prediction, AfterASpaceOffersWhatFollowsTheLastWord)
{
    struct Row { const char* text; std::size_t k; std::vector<std::string> offered; };
    const Row rows[] = {
        {"DE ", 2, {"la", "l'"}},
        {"DE L'", 2, {"arxiu", "aigua"}},
        {"VA VENIR. ", 1, {"el"}},            // a sentence start
        {"", 1, {"el"}},
        {"DE, ", 3, {"de", "la", "el"}},      // nothing known: the commonest words
        {"DE LA C", 2, {"catalunya", "casa"}},// the pair outweighs a higher word count
        {"DE LA Q", 2, {"que", "què"}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(offer(row.text, row.k), row.offered) << row.text;
}

// The next letter by the words it leads to: their counts, the pairs after
// the last word, the words already offered left out, a sign's space first.
TEST_F(Prediction, LikelyLettersFollowTheWordsTheyLeadTo)
{
    struct Row { const char* text; std::vector<std::string> offered, first; };
    const Row rows[] = {
        {"CA", {}, {"S", "T"}},               // casa 40 against catal� 25 + catalunya 10
        {"CA", {"casa"}, {"T"}},              // casa is offered whole
        {"QUA", {}, {"N"}},
        {"QUE", {}, {" "}},                   // que and qu� both end here
        {"CO", {}, {"L\xB7L"}},              // col�lecci�: written whole
        {"DE ", {}, {"L"}},                   // la and l' follow de
        {"", {}, {"E"}},                      // el follows a sentence start
        {"CASA, ", {}, {"D", "L"}},           // no pair known: the counts alone
        {"CASA.", {}, {" "}},
        {"ARX", {}, {"I"}},
    };
    for (const Row& row : rows) {
        const Predictor::Next next = Predictor(lexicon, nullptr).likelyLetters(row.text, row.offered);
        std::vector<std::string> letters = next.letters;
        letters.resize(std::min(letters.size(), row.first.size()));
        EXPECT_EQ(letters, row.first) << row.text << " offered " << row.offered.size();
        // The chances: one to each letter, the likeliest first, one to each
        // word offered, all together certain.
        ASSERT_EQ(next.letterChances.size(), next.letters.size()) << row.text;
        ASSERT_EQ(next.wordChances.size(), row.offered.size()) << row.text;
        EXPECT_TRUE(std::is_sorted(next.letterChances.rbegin(), next.letterChances.rend())) << row.text;
        double all = 0;
        for (double chance : next.letterChances)
            all += chance;
        for (double chance : next.wordChances)
            all += chance;
        EXPECT_NEAR(all, 1.0, 1e-9) << row.text;
    }
    // "casa" offered at "CA" takes its share from the letters: 40 of 75.
    const Predictor::Next casa = Predictor(lexicon, nullptr).likelyLetters("CA", {"casa"});
    EXPECT_NEAR(casa.wordChances[0], 40.0 / 75.0, 1e-9);
}

// The binary search by prefix against a plain scan of every word.
TEST_F(Prediction, PrefixSearchAgreesWithAScanOfEveryWord)
{
    Lexicon big;
    std::string text;
    std::mt19937 random(7);
    const std::string letters = utf8ToCp1252("aàbcçeèéilmnoòóquúü·");
    std::vector<std::string> typedForms;
    for (int i = 0; i < 3000; ++i) {
        std::string w(1 + random() % 7, 'a');
        for (char& c : w)
            c = letters[random() % letters.size()];
        if (static_cast<unsigned char>(w.front()) == 0xB7 || static_cast<unsigned char>(w.back()) == 0xB7)
            continue;
        text += cp1252ToUtf8(w) + "\t" + std::to_string(random() % 1000) + "\n";
        const std::string typed = w.substr(0, 1 + random() % 3);
        if (contextOf(typed).partial == typed)
            typedForms.push_back(typed);
    }
    big.parse(text, "");   // unsorted, as a file edited by hand
    const Predictor predictor(big, nullptr);
    for (std::string typed : typedForms) {
        if (random() % 2)
            for (char& c : typed)
                c = foldLetter(c) == c && c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
        std::vector<std::uint32_t> all;
        for (std::uint32_t i = 0; i < big.size(); ++i)
            if (startsWithTyped(big.word(i), typed))
                all.push_back(i);
        std::stable_sort(all.begin(), all.end(), [&](auto a, auto b) { return big.count(a) > big.count(b); });
        std::vector<std::uint32_t> counts, expected;
        for (const std::string& w : predictor.predict("x, " + typed, 1000))
            counts.push_back(big.count(*big.find(w)));
        for (std::size_t i = 0; i < all.size(); ++i)
            expected.push_back(big.count(all[i]));
        EXPECT_EQ(counts, expected) << cp1252ToUtf8(typed);
    }
}

TEST_F(Prediction, WhatTheUserWritesRises)
{
    UserModel user;
    EXPECT_EQ(offer("QU", 1, &user), (std::vector<std::string>{"que"}));
    for (int i = 0; i < 10; ++i)
        user.learnLastWord(utf8ToCp1252("FA QUANT "));
    EXPECT_EQ(offer("QU", 1, &user), (std::vector<std::string>{"quant"}));
    // A word the lexicon lacks is offered once written, spelt as written.
    EXPECT_EQ(offer("TRO", 1, &user), (std::vector<std::string>{}));
    user.learnLastWord(utf8ToCp1252("TROBÀVEM."));
    EXPECT_EQ(offer("TRO", 1, &user), (std::vector<std::string>{"trobàvem"}));
    // Pairs: after "casa" the user writes "nova".
    for (int i = 0; i < 3; ++i)
        user.learnLastWord(utf8ToCp1252("UNA CASA NOVA "));
    EXPECT_EQ(offer("LA CASA ", 1, &user), (std::vector<std::string>{"nova"}));
    // Older writing fades: a word written long ago falls behind a fresher one.
    for (int i = 0; i < 10; ++i)
        user.learnLastWord(utf8ToCp1252("QUAN "));
    EXPECT_EQ(offer("QUA", 2, &user), (std::vector<std::string>{"quan", "quant"}));
}

TEST(UserModelFile, IsSavedInBatchesReadBackAndForgotten)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("prediction-" + std::to_string(::getpid()));
    const std::string path = (folder / "sub" / "prediction-ca.tsv").string();
    double written = 0;
    {
        UserModel user(path);
        for (unsigned i = 0; i + 1 < UserModel::SaveEvery; ++i)
            user.learnLastWord(utf8ToCp1252("ÀVIA "));
        EXPECT_FALSE(std::filesystem::exists(path)) << "written on every word";
        user.learnLastWord(utf8ToCp1252("ÀVIA "));
        ASSERT_TRUE(std::filesystem::exists(path));
        using std::filesystem::perms;
        EXPECT_EQ(std::filesystem::status(path).permissions() & perms::all, perms::owner_read | perms::owner_write)
            << "others can read what the user writes";
        user.learnLastWord(utf8ToCp1252("L'ÀVIA "));
        written = user.weight(utf8ToCp1252("àvia"));
        EXPECT_GT(written, UserModel::SaveEvery);
    }   // the last word is saved on closing
    {
        UserModel user(path);
        EXPECT_NEAR(user.weight(utf8ToCp1252("àvia")), written, 1e-3);
        EXPECT_GT(user.pairWeight("l'", utf8ToCp1252("àvia")), 0.9);
        user.forget();
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(user.totalWeight(), 0);
    }
    EXPECT_EQ(UserModel(path).totalWeight(), 0);
    std::filesystem::remove_all(folder);
}

TEST(UserModelFile, ADamagedFileReadsAsEmptyOrKeepsItsGoodLines)
{
    const std::string path = (std::filesystem::temp_directory_path() / ("damaged-" + std::to_string(::getpid()))).string();
    struct Row { const char* name; std::string content; double weight; };
    const Row rows[] = {
        {"garbage", std::string("\x00\xff\x13\n\tw\t\t\t", 9), 0},
        {"no header", "w\tcasa\t3\t1\n", 0},
        {"empty", "", 0},
        {"good", "brunzit prediction 1\nclock\t10\nw\tcasa\t3\t10\n", 3},
        {"bad lines skipped", "brunzit prediction 1\nclock\t10\nw\tcasa\t3\t10\nw\tcasa\tnan\t1\nw\t\t1\t1\n"
                              "w\t1234\t5\t5\np\tx\nw\tcasa\n", 3},
        {"stamp from the future", "brunzit prediction 1\nclock\t10\nw\tcasa\t3\t99999999\n", 3},
        {"negative weight", "brunzit prediction 1\nw\tcasa\t-3\t0\n", 0},
    };
    for (const Row& row : rows) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << row.content;
        UserModel user(path);
        EXPECT_NEAR(user.weight("casa"), row.weight, 1e-9) << row.name;
        EXPECT_NEAR(user.totalWeight(), row.weight, 1e-9) << row.name;
    }
    std::filesystem::remove(path);
}

TEST_F(Prediction, LexiconFilesLoadOrLeaveTheLexiconEmpty)
{
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("lexicon-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "ca.tsv") << Words << "bad line\nnocount\t\n";
    Lexicon loaded;
    EXPECT_TRUE(loaded.load((folder / "ca.tsv").string(), (folder / "missing.tsv").string()));
    EXPECT_EQ(loaded.size(), lexicon.size());
    EXPECT_FALSE(loaded.load((folder / "missing.tsv").string(), (folder / "ca.tsv").string()));
    EXPECT_EQ(loaded.size(), 0u);
    EXPECT_TRUE(Predictor(loaded, nullptr).predict("QU", 3).empty());
    std::filesystem::remove_all(folder);
}

TEST_F(Prediction, SavingsOfAnIdealUser)
{
    struct Row { const char* text; std::size_t k; std::vector<std::size_t> typed; std::size_t actions; };
    const Row rows[] = {
        // "c" offers "casa" first; taking it writes the space as well.
        {"casa casa", 1, {1, 1}, 4},
        // A sentence starts with "el" first; after "de" the pair offers "la".
        {"de la", 1, {1, 0}, 3},
        // "l'" takes no space, and "aigua" follows it.
        {"de l'aigua", 2, {0, 0, 0}, 3},
        // A word never offered is typed whole; signs are typed.
        {"xyz, de", 1, {3, 0}, 6},
    };
    for (const Row& row : rows) {
        const Savings s = measureSavings(lexicon, utf8ToCp1252(row.text), row.k);
        EXPECT_EQ(s.lettersTyped, row.typed) << row.text;
        EXPECT_EQ(s.actions, row.actions) << row.text;
        EXPECT_EQ(s.characters, utf8ToCp1252(row.text).size()) << row.text;
    }
}

// The committed lexicons: the accented words that matter most are one choice.
TEST(ShippedLexicons, OfferTheCommonAccentedWordsWhole)
{
    struct Row { const char* language; const char* text; const char* word; };
    const Row rows[] = {
        {"ca", "QUE", "què"}, {"ca", "QUE", "que"}, {"ca", "TAMB", "també"}, {"ca", "EST", "està"},
        {"ca", "COL·LE", "col·lecció"}, {"ca", "PERQU", "perquè"}, {"ca", "D'AQUEST", "aquesta"},
        {"es", "ESTA", "está"}, {"es", "AÑ", "año"}, {"es", "TAMB", "también"}, {"es", "QUE", "qué"},
    };
    for (const Row& row : rows) {
        Lexicon lexicon;
        const std::string folder = LEXICON_FOLDER;
        ASSERT_TRUE(lexicon.load(folder + row.language + ".tsv", folder + row.language + "-pairs.tsv"));
        EXPECT_GT(lexicon.size(), 50000u);
        const std::vector<std::string> offered = utf8(Predictor(lexicon, nullptr).predict(utf8ToCp1252(row.text), 5));
        EXPECT_NE(std::find(offered.begin(), offered.end(), row.word), offered.end()) << row.language << " " << row.text;
    }
}

}  // namespace
}  // namespace brunzit::prediction
