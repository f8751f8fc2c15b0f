// Key handling of the real main window: what each key writes and says.

#include <QAccessible>
#include <QLabel>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextCursor>

#include <QTemporaryDir>

#include "editor/saytext.h"
#include "editor/scanlayout.h"
#include "editor/scanning.h"
#include "windowfixture.h"

namespace brunzit {
namespace {

using ScanningTest = WindowTest;
using GridTest = WindowTest;
using FunctionKeysTest = WindowTest;
using CalculatorTest = WindowTest;

// ---- Scanning keyboard ------------------------------------------------------

TEST_F(ScanningTest, ChoosingLettersAndASpaceWritesAndSaysTheWord)
{
    Key(Qt::Key_Right);
    EXPECT_EQ(Said(), Spoken{"a"});
    Key(Qt::Key_Left);
    Said();

    Choose(0, 2);  // B
    EXPECT_EQ(Said(), Spoken{"b"});
    Choose(0, 16);  // O
    EXPECT_EQ(Said(), Spoken{"o"});
    Choose(0, 14);  // N
    EXPECT_EQ(Said(), Spoken{"n"});
    Choose(0, 0);  // espai
    EXPECT_EQ(Said(), Spoken{"bon "});
    EXPECT_EQ(Text(), "BON ");
}

TEST_F(ScanningTest, PredictedWordsComeFirstAndASignTakesTheirSpace)
{
    QTemporaryDir data;  // the learnt words go here, not into the user's folder
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    form->MenuMinuscules->trigger();
    form->MenuPrediccioDeParaules->trigger();
    Said();
    ASSERT_EQ(form->Choosing().position(), (Position{0, PredictionBlock}));  // words for a sentence start
    Key(Qt::Key_Down);
    EXPECT_EQ(Said(), Spoken{"espai"});
    form->SetPosition({18, LettersBlock});  // "quu"
    Key(Qt::Key_Return);
    EXPECT_EQ(Text(), "Q");  // a capital at the sentence start
    ASSERT_EQ(form->Choosing().position(), (Position{0, PredictionBlock}));
    const auto firstWord = [&] { return form->Choosing().layout().blocks()[PredictionBlock].items[0].say; };
    const std::string word = firstWord();
    ASSERT_GT(word.size(), 1u);
    EXPECT_EQ(word[0], 'q');
    EXPECT_EQ(Said(), (Spoken{"quu", word}));  // the letter, then the word Return would take
    Key(Qt::Key_Return);
    EXPECT_EQ(Said(), (Spoken{word, firstWord()}));
    EXPECT_EQ(Text(), "Q" + word.substr(1) + " ");
    form->SetPosition({1, 2});  // "coma"
    Key(Qt::Key_Return);
    EXPECT_EQ(Text(), "Q" + word.substr(1) + ", ");
    form->SetPosition({1, LettersBlock});  // "A", after a comma: lower case
    Key(Qt::Key_Return);
    EXPECT_EQ(Text(), "Q" + word.substr(1) + ", a");
    form->MenuPrediccioDeParaules->trigger();
    form->MenuMinuscules->trigger();
    qunsetenv("XDG_DATA_HOME");
}

// The window orders the letters as the layout does: after Q the position
// lands on U and says it, so Return takes what was heard.
TEST_F(ScanningTest, LettersInTheWordsOrderLandOnTheLikeliestAndSayIt)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    form->MenuLletresSegonsLaParaula->trigger();
    Said();
    ASSERT_EQ(form->Choosing().position(), (Position{0, LettersBlock}));
    const auto& items = form->Choosing().layout().blocks()[LettersBlock].items;
    int q = 0;
    while (items[static_cast<std::size_t>(q)].write != "Q")
        ++q;
    form->SetPosition({q, LettersBlock});
    Key(Qt::Key_Return);
    EXPECT_EQ(Said(), (Spoken{"quu", "uu"}));
    Key(Qt::Key_Return);
    EXPECT_EQ(Text(), "QU");
    // The chances reach the automatic scanning: "que" makes E likely enough
    // to be said first.
    const ScanLayout& layout = form->Choosing().layout();
    EXPECT_FALSE(layout.letterChances().empty());
    EXPECT_EQ(AutoScanTop(layout).front(), (Position{layout.itemOrder(LettersBlock)[0], LettersBlock}));
    form->MenuLletresSegonsLaParaula->trigger();
    EXPECT_EQ(form->Choosing().layout().blocks()[LettersBlock].items[1].write, "A");  // alphabetical again
    qunsetenv("XDG_DATA_HOME");
}

TEST_F(GridTest, RowsAboveTheGridSayOnPointingAndWriteOnClickOrReturn)
{
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    ShowGrid();
    EXPECT_FALSE(form->FilaLletres->isVisible());
    form->MenuTotesLesLletres->trigger();
    form->MenuPrediccioDeParaules->trigger();
    Said();
    ASSERT_TRUE(form->FilaLletres->isVisible());
    ASSERT_TRUE(form->FilaParaules->isVisible());
    int grave = -1;
    for (int i = 0; i < form->FilaLletres->count(); ++i)
        if (form->FilaLletres->label(i)->text() == QString::fromUtf8("\u00C0"))
            grave = i;
    ASSERT_GE(grave, 0);
    QTest::mouseClick(form->FilaLletres->label(grave), Qt::LeftButton);
    EXPECT_EQ(Said(), (Spoken{"a accentuada", "a accentuada"}));  // pointed, then written
    EXPECT_EQ(Text(), "\xC0");
    ASSERT_GT(form->FilaParaules->count(), 0);
    QLabel* word = form->FilaParaules->label(0);
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(word, &enter);
    const std::string said = Said().at(0);
    Key(Qt::Key_Return);
    EXPECT_EQ(Text().back(), ' ');
    EXPECT_EQ(Said(), Spoken{said});
    // A screen reader reads the row's keys as buttons by what they say; its press writes.
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(form->FilaLletres->label(grave));
    ASSERT_TRUE(read && read->actionInterface());
    EXPECT_EQ(read->role(), QAccessible::Button);
    EXPECT_EQ(read->text(QAccessible::Name), QString::fromUtf8("a accentuada"));
    const std::string before = Text();
    read->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(Text(), before + "\xC0");
    Said();
    const std::string written = Text();
    form->MenuMinuscules->trigger();  // the grid's letters too
    ChooseKey(1, 0);
    EXPECT_EQ(Text(), written + "b");
    form->MenuMinuscules->trigger();
    form->MenuPrediccioDeParaules->trigger();
    form->MenuTotesLesLletres->trigger();
    EXPECT_FALSE(form->FilaLletres->isVisible());
    qunsetenv("XDG_DATA_HOME");
}

TEST_F(ScanningTest, SeparatorsSayTheWordJustFinishedEvenWithTypedEchoOff)
{
    form->MenuLlegirlalletraquesescriuClick();
    struct Row {
        int block, item;
        const char* said;
    };
    const std::vector<Row> rows = {{0, 0, "hola dia "}, {2, 0, "hola dia."}, {2, 1, "hola dia,"}};
    for (const Row& row : rows) {
        form->SetEditorText("UN HOLA\r\nDIA");
        Said();
        Choose(row.block, row.item);
        EXPECT_EQ(Said(), Spoken{row.said});
    }
    form->SetEditorText("");
    Choose(0, 2);
    EXPECT_EQ(Text(), "B");
    EXPECT_TRUE(Said().empty());
}

TEST_F(ScanningTest, BexoIsReadAndKeptAsBexoWithAccent)
{
    struct Row {
        const char* name;
        int block, item;
        const char* said;
    };
    const std::vector<Row> rows = {
        {"read all", 1, 0, "un bex\xD3"},
        {"read last word", 1, 1, "bex\xD3"},
        {"separator", 2, 0, "bex\xD3."},
    };
    form->SetEditorText("X\r\n BEXO");
    Choose(0, 0);
    EXPECT_EQ(Said(), Spoken{"bex\xD3 "});
    EXPECT_EQ(Text(), "X\r\n BEX\xD3 ");
    for (const Row& row : rows) {
        form->SetEditorText("UN BEXO");
        Said();
        Choose(row.block, row.item);
        EXPECT_EQ(LastSaid(), row.said) << row.name;
        EXPECT_EQ(Text().substr(0, 7), "UN BEX\xD3") << row.name;
    }
}

TEST_F(ScanningTest, FunctionEntriesChangeTheTextAndSayWhatTheyDid)
{
    struct Row {
        const char* name;
        const char* text;
        int item;
        const char* after;
        const char* said;
    };
    const std::vector<Row> rows = {
        {"last word after a space is empty", "HOLA BON ", 1, "HOLA BON ", nullptr},
        {"last word reaches over a line break", "HOLA BON\r\nDIA", 1, "HOLA BON\r\nDIA", "bon dia"},
        {"last word of a text without separators", "HOLA\r\nDIA", 1, "HOLA\r\nDIA", "hola dia"},
        {"last word on a line opening with a space", "AB\r\n HOLA", 1, "AB\r\n HOLA", "hola"},
        {"last word of a text opening with a space", " HOLA", 1, " HOLA", " hola"},
        {"remove a line break whole", "HOLA\r\n", 2, "HOLA", "\xDAltima lletra esborrada:  "},
        {"delete the last word and its separator", "HOLA BON ", 3, "HOLA ", "he esborrat l'\xFAltima paraula: bon"},
        {"delete everything", "HOLA BON", 4, "", "text esborrat"},
    };
    for (const Row& row : rows) {
        form->SetEditorText(row.text);
        Said();
        Choose(1, row.item);
        EXPECT_EQ(Text(), row.after) << row.name;
        if (row.said)
            EXPECT_EQ(Said(), Spoken{row.said}) << row.name;
        else
            EXPECT_TRUE(Said().empty()) << row.name;
    }
}

TEST_F(ScanningTest, DeletingKeepsCharactersOutsideTheBasicPlaneWhole)
{
    struct Row {
        QString text;
        int item;
        QString after;
    };
    const QString face = QString::fromUtf8("\xF0\x9F\x98\x80");  // two UTF-16 units
    const std::vector<Row> rows = {
        {"BON " + face, 2, "BON "},
        {face + face + "A", 2, face + face},
        {"A " + face + face + " ", 3, "A "},
        {face + " " + face + "B", 3, face + " "},
    };
    for (const Row& row : rows) {
        form->Editor->setPlainText(row.text);
        Choose(1, row.item);
        EXPECT_EQ(form->Editor->toPlainText(), row.after) << row.text.toStdString();
    }
}

TEST_F(ScanningTest, EachKeyCutsOffTheSpeechBeforeItsFirstText)
{
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    form->MenuTeclatVisibleClick();  // not a key of the keyboards: it queues
    form->MenuTeclatVisibleClick();
    Key(Qt::Key_Escape);
    EXPECT_EQ(speaker.log, (Spoken{"<stop>", "a", "<stop>", "b", "espai", "<stop>"}));

    speaker.log.clear();
    form->MenuTallarLaVeu->trigger();
    EXPECT_FALSE(form->MenuTallarLaVeu->isChecked());
    Key(Qt::Key_Right);
    Key(Qt::Key_Escape);
    EXPECT_EQ(speaker.log, (Spoken{"a", "<stop>"})) << "off, texts queue; Escape still stops";
}

TEST_F(ScanningTest, SpanishSkipsTheCedilla)
{
    form->MenuCastellanoClick();
    Key(Qt::Key_Left);
    EXPECT_EQ(Said(), Spoken{"z"});
    Key(Qt::Key_Right);
    EXPECT_EQ(Said(), Spoken{"espai"});
    Choose(0, 15);
    EXPECT_EQ(LastSaid(), "\xD1");  // no "enye" in Spanish
}

TEST_F(ScanningTest, ArrowsAndShiftArrowsMoveAlike)
{
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ControlModifier);
    Key(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(Said(), (Spoken{"a", "llegir-ho tot", "espai"}));
}

TEST_F(ScanningTest, ReturnDoesNotBreakTheLineAndTheCaretEndsAtTheEnd)
{
    form->SetEditorText("AB\r\nCD");
    QTextCursor start(form->Editor->document());
    form->Editor->setTextCursor(start);
    Choose(0, 0);
    EXPECT_EQ(Text(), "AB\r\nCD ");
    EXPECT_EQ(form->Editor->textCursor().position(), form->Editor->document()->characterCount() - 1);

    form->Editor->setTextCursor(start);
    Key(Qt::Key_Right);
    EXPECT_EQ(form->Editor->textCursor().position(), form->Editor->document()->characterCount() - 1);
}

TEST_F(ScanningTest, ReturnOnABlockNameSaysTheNameAndWritesNothing)
{
    form->SetEditorText("X");
    form->SetPosition({-1, 2});
    Said();
    Key(Qt::Key_Return);
    EXPECT_EQ(Text(), "X");
    EXPECT_EQ(Said(), Spoken{"bloc puntuaci\xF3"});
    EXPECT_EQ(form->Choosing().position().row, 2);
    EXPECT_EQ(form->Choosing().position().col, -1);
}

TEST_F(ScanningTest, CursorControlOffLeavesArrowsAndReturnToTheEditor)
{
    form->MenuControldelcursoriReturnpercontrolarelteclatClick();
    EXPECT_TRUE(form->WantReturns());
    form->SetEditorText("AB");
    QTextCursor cursor(form->Editor->document());
    cursor.setPosition(1);
    form->Editor->setTextCursor(cursor);
    Key(Qt::Key_Right);
    Key(Qt::Key_Left);
    Key(Qt::Key_Return);
    Key(Qt::Key_F1);
    EXPECT_EQ(Text(), "A\r\nB");
    EXPECT_TRUE(Said().empty());
    EXPECT_EQ(form->Choosing().position().row, 1);  // F1 still set the position

    form->MenuControldelcursoriReturnpercontrolarelteclatClick();
    EXPECT_FALSE(form->WantReturns());
    form->SetPosition({0, 0});
    Key(Qt::Key_Return);
    EXPECT_EQ(Text(), "A\r\nB ");
}

// ---- Function keys ------------------------------------------------------------

TEST_F(FunctionKeysTest, ReadClearSilentlyAndCalculate)
{
    form->SetEditorText("UN BEXO");
    Key(Qt::Key_F1);
    EXPECT_EQ(Said(), Spoken{"un bex\xD3"});
    Key(Qt::Key_F2);
    EXPECT_EQ(Text(), "");
    EXPECT_TRUE(Said().empty());
    EXPECT_FALSE(form->SilentClear);

    form->SetEditorText("HOLA");
    Choose(1, 4);
    EXPECT_EQ(Said().back(), "text esborrat");
}

// A long text is handed over in pieces: together they are what the whole
// text would have been, a key said meanwhile comes after them, and Escape
// drops the pieces not yet handed over.
TEST_F(FunctionKeysTest, ALongReadAllIsHandedOverInPiecesInOrder)
{
    form->MenuTallarLaVeu->setChecked(false);
    std::string text;
    for (int line = 0; text.size() < 100000; ++line)
        text += "Linia " + std::to_string(line) + " amb un BEXO,\xA0" "el senyor.\r\n" + std::string(line % 3, ' ');
    form->SetEditorText(text);
    const auto drain = [] {
        for (int i = 0; i < 100; ++i)
            QCoreApplication::processEvents();
    };

    QTest::keyClick(form->Editor, Qt::Key_F1);
    QTest::keyClick(form->Editor, Qt::Key_Right);  // says the next item
    drain();
    std::vector<std::string> said = Said();
    ASSERT_GT(said.size(), 3u);
    EXPECT_EQ(said.back(), "a");
    said.pop_back();
    std::string joined;
    for (const std::string& piece : said)
        joined += piece;
    EXPECT_EQ(joined, SpokenText(Text(), true).value());

    speaker.log.clear();
    QTest::keyClick(form->Editor, Qt::Key_F1);
    QTest::keyClick(form->Editor, Qt::Key_Escape);
    drain();
    ASSERT_EQ(speaker.log.size(), 2u);
    EXPECT_EQ(speaker.log.back(), "<stop>");
}

TEST_F(FunctionKeysTest, OnTheGridTheyKeepTheirMeaningAndTheHighlight)
{
    ShowGrid();
    Key(Qt::Key_Right);
    Said();
    form->SetEditorText("HOLA");
    Key(Qt::Key_F1);
    EXPECT_EQ(Said(), Spoken{"hola"});
    Key(Qt::Key_F2);
    EXPECT_EQ(Text(), "");
    EXPECT_TRUE(Said().empty());
    EXPECT_EQ(form->Choosing().position().col, 1);
    EXPECT_EQ(form->Choosing().position().row, 0);
}

// ---- Grid keyboard -------------------------------------------------------------

TEST_F(GridTest, ShowingSaysNothingAndHighlightsA)
{
    form->MenuTeclatVisibleClick();
    EXPECT_TRUE(form->PanelLletres->isVisible());
    EXPECT_TRUE(Said().empty());
    EXPECT_TRUE(form->MenuLlegirlalletraactual->isEnabled());
    EXPECT_EQ(form->A->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    Key(Qt::Key_Right);
    EXPECT_EQ(form->A->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(form->B->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    form->MenuTeclatVisibleClick();
    EXPECT_FALSE(form->PanelLletres->isVisible());
    EXPECT_EQ(Said(), (Spoken{"b ", "espai"}));
    EXPECT_EQ(form->Choosing().position().col, 0);
    form->MenuTeclatVisibleClick();
    EXPECT_EQ(form->B->palette().color(QPalette::WindowText), QColor(Qt::black));
    EXPECT_EQ(form->A->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

TEST_F(GridTest, ArrowsWrapAndSayTheKeyReached)
{
    ShowGrid();
    Key(Qt::Key_Left);
    EXPECT_EQ(Said(), Spoken{"llegir"});
    EXPECT_EQ(form->Llegir->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    Key(Qt::Key_Right);
    Key(Qt::Key_Up);
    EXPECT_EQ(Said(), (Spoken{"a", "0 "}));
}

TEST_F(GridTest, ReturnWritesTheKeyAndSaysIt)
{
    struct Row {
        const char* name;
        int col, row;
        const char* written;
        const char* said;
    };
    const std::vector<Row> rows = {
        {"A", 0, 0, "A", "a"},        {"B", 1, 0, "B", "b "},       {"Q", 6, 1, "Q", "quu"},
        {"Y", 4, 2, "Y", "i grega"},  {"X", 3, 2, "X", "x "},       {"plus", 6, 2, "+", "m\xE9s"},
        {"equals", 10, 2, "=", "igual"}, {"stop", 10, 1, ".", "punt"}, {"space", 10, 3, " ", "espai"},
        {"seven", 7, 3, "7", "7 "},   {"line break", 10, 0, "\r\n", "nova l\xEDnia"},
    };
    ShowGrid();
    for (const Row& row : rows) {
        form->SetEditorText("Z");
        ChooseKey(row.col, row.row);
        EXPECT_EQ(Text(), std::string("Z") + row.written) << row.name;
        EXPECT_EQ(LastSaid(), row.said) << row.name;
        Said();
    }
}

TEST_F(GridTest, WordKeysReadAndClearTheWholeText)
{
    ShowGrid();
    form->SetEditorText("UN BEXO");
    ChooseKey(11, 0);  // Llegir
    EXPECT_EQ(LastSaid(), "un bex\xD3");
    EXPECT_EQ(Text(), "UN BEX\xD3");
    ChooseKey(11, 1);  // Esborrar
    EXPECT_EQ(Text(), "");
    EXPECT_EQ(LastSaid(), "text esborrat");
}

TEST_F(GridTest, ReadingOptionsGateWhatIsSaid)
{
    ShowGrid();
    form->MenuLlegirlalletraactualClick();
    Key(Qt::Key_Right);
    EXPECT_TRUE(Said().empty());
    form->MenuLlegirlalletraquesescriuClick();
    Key(Qt::Key_Return);
    EXPECT_EQ(Text(), "B");
    EXPECT_TRUE(Said().empty());
    form->SetEditorText("HOLA");
    ChooseKey(11, 0);  // Llegir speaks whatever the options say
    EXPECT_EQ(Said(), Spoken{"hola"});
}

TEST_F(GridTest, MouseOverAKeySaysItEvenWithTheReadingOptionOff)
{
    ShowGrid();
    form->MenuLlegirlalletraactualClick();
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 10), QPointF(10, 10), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(form->Q, &move);
    EXPECT_EQ(Said(), Spoken{"quu"});
    EXPECT_EQ(form->Choosing().position().col, 6);
    EXPECT_EQ(form->Choosing().position().row, 1);
    EXPECT_EQ(form->Q->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(form->A->palette().color(QPalette::WindowText), QColor(Qt::black));
    QApplication::sendEvent(form->Q, &move);
    EXPECT_TRUE(Said().empty());  // the same key says nothing again

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form->Q, &press);
    QApplication::sendEvent(form->Q, &release);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(Text(), "Q");
    EXPECT_EQ(Said(), Spoken{"quu"});
}

// ---- Calculator and printing -------------------------------------------------

TEST_F(CalculatorTest, CalcularReplacesTheLastLineAndOpensANewOne)
{
    struct Row {
        const char* line;
        const char* answer;
    };
    const std::vector<Row> rows = {
        {"2+3", "2+3 = 5"},
        {"1/0", "1/0 = ERROR DE C\xC0LCUL"},
    };
    for (const Row& row : rows) {
        form->SetEditorText(std::string("FETS\r\n") + row.line);
        Said();
        Choose(1, 6);
        EXPECT_EQ(Text(), std::string("FETS\r\n") + row.answer + "\r\n") << row.line;
        EXPECT_EQ(Said().back(), SpokenText(row.answer, true).value()) << row.line;
        EXPECT_EQ(form->Editor->textCursor().block().blockNumber(), 2) << row.line;
        EXPECT_TRUE(form->Editor->textCursor().block().text().isEmpty()) << row.line;
    }
}

TEST_F(CalculatorTest, WrittenWithTheKeyboardAndChosenWithF3)
{
    Choose(3, 2);
    Choose(4, 0);
    Choose(3, 3);
    Said();
    Key(Qt::Key_F3);
    EXPECT_EQ(Text(), "2+3 = 5\r\n");
    EXPECT_EQ(Said(), Spoken{"2+3 = 5"});
}

TEST_F(CalculatorTest, MenuCalculatesTheLastLineWhereverTheCaretIs)
{
    form->SetEditorText("1+1\r\n2+2\r\n3+3");
    form->Editor->setTextCursor(QTextCursor(form->Editor->document()));
    QTest::keyClick(form->Editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Text(), "1+1\r\n2+2\r\n3+3 = 6\r\n");
    EXPECT_EQ(Said(), Spoken{"3+3 = 6"});
    EXPECT_EQ(form->Editor->textCursor().position(), form->Editor->document()->characterCount() - 1);

    form->MenuLlegirlalletraquesescriuClick();
    form->SetEditorText("2+3");
    form->MenuCalcular->trigger();
    EXPECT_EQ(Text(), "2+3 = 5\r\n");
    EXPECT_TRUE(Said().empty());
}

TEST_F(CalculatorTest, LongTextCalculatesTheLineHoldingPosition65535)
{
    // Line 0 takes positions 0..65534 with its line break; line 1 starts at 65535.
    const std::string first(65534, 'A');
    form->SetEditorText(first + "\r\n2+3\r\n9+9");
    form->MenuCalcularClick();
    EXPECT_EQ(Text(), first + "\r\n2+3 = 5\r\n9+9");
}

TEST_F(CalculatorTest, PrintingIsNeverReportedSentWithoutAPrinter)
{
    form->SetEditorText("HOLA");
    Choose(1, 5);
    const bool noPrinter = QPrinterInfo::defaultPrinter().isNull();
    EXPECT_EQ(Said().back(), noPrinter ? "no s'ha pogut imprimir" : "enviat a l'impressora");
    EXPECT_EQ(Text(), "HOLA");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
}  // namespace brunzit
