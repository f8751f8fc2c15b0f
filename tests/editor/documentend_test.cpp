// The rules read at the end of the document against the same rules on the
// whole text, on random texts: the answers and the text left must agree.

#include <gtest/gtest.h>

#include <QTextCursor>
#include <QTextDocument>
#include <random>

#include "editor/keyhandling/documentend.h"
#include "editor/keyhandling/textrules.h"
#include "platform/cp1252.h"

namespace {

using namespace brunzit;

// What the window's EditorText gives for the document.
std::string WholeText(const QTextDocument& document)
{
    return ToCrLf(utf8ToCp1252(document.toPlainText().toUtf8().toStdString()));
}

// Letters of "BEXO", separators, line breaks of every kind, a no-break space,
// a character Windows-1252 lacks and one outside the Basic Multilingual
// Plane. Separators are rare in some texts, so the end read must grow.
QString RandomText(std::mt19937& random)
{
    static const char16_t kLetters[] = u"BEXOA\u00D3\u00D1\u0411";
    static const char16_t kOthers[] = u" ,.\n\u00A0\u2028";
    const int length = std::uniform_int_distribution<int>(0, 1500)(random);
    const double separators = std::uniform_real_distribution<double>(0.0, 0.3)(random) *
                              std::uniform_int_distribution<int>(0, 1)(random);
    QString text;
    for (int i = 0; i < length; ++i) {
        if (std::uniform_real_distribution<double>(0, 1)(random) < separators)
            text += QChar(kOthers[random() % 6]);
        else if (random() % 50 == 0)
            text += QString::fromUcs4(U"\U0001F600");
        else
            text += QChar(kLetters[random() % 8]);
    }
    return text;
}

TEST(DocumentEnd, RulesAgreeWithTheWholeText)
{
    std::mt19937 random(1609);
    for (int round = 0; round < 400; ++round) {
        const QString text = RandomText(random);
        SCOPED_TRACE(text.toStdString());
        QTextDocument document;
        document.setPlainText(text);
        const std::string whole = WholeText(document);

        EXPECT_EQ(LastWordAtEnd(document, ""), LastWord(whole, static_cast<long>(whole.size())));
        EXPECT_EQ(LastWordAtEnd(document, "."), LastWord(whole + ".", static_cast<long>(whole.size())));

        for (const FunctionItem item : {FunctionItem::DeleteLastLetter, FunctionItem::DeleteLastWord}) {
            const TextEdit expected = item == FunctionItem::DeleteLastLetter ? DeleteLastLetterEdit(whole)
                                                                             : DeleteLastWordEdit(whole);
            QTextDocument cut;
            cut.setPlainText(text);
            const EndEdit edit = DeleteAtEnd(cut, item);
            EXPECT_EQ(edit.say, expected.say);
            EXPECT_EQ(edit.cutAt >= 0, expected.changed);
            if (edit.cutAt >= 0)
                CutDocumentAt(cut, edit.cutAt);
            EXPECT_EQ(WholeText(cut), expected.kept);
        }
    }
}

// Random edits anywhere (typing, deleting, pasting) between fixes: after
// each fix the text is what replacing every "BEXO" in the whole text gives.
TEST(DocumentEnd, BexoFixedWhereverTheTextChanged)
{
    std::mt19937 random(2611);
    static const char* const kPieces[] = {"B", "E", "X", "O", "BEX", "EXO", "BEXO", " ", "\n", "BEXOBEXO", "XO"};
    for (int round = 0; round < 30; ++round) {
        QTextDocument document;
        document.setPlainText(RandomText(random));
        BexoFixer fixer;
        for (int step = 0; step < 200; ++step) {
            // Fixes now and then: many apart changes wait for one fix.
            if (step % 50 == 0 || random() % 30 == 0) {
                const std::string before = WholeText(document);
                fixer.Fix(&document);
                ASSERT_EQ(WholeText(document), ReplaceAll(before, "BEXO", "BEX\xD3")) << round << ' ' << step;
            }
            QTextCursor cursor(&document);
            const int end = document.characterCount() - 1;
            cursor.setPosition(std::uniform_int_distribution<int>(0, end)(random));
            if (random() % 3 == 0) {
                cursor.setPosition(std::min(end, cursor.position() + static_cast<int>(random() % 5)),
                                   QTextCursor::KeepAnchor);
                cursor.removeSelectedText();
            } else {
                cursor.insertText(QString::fromLatin1(kPieces[random() % 11]));
            }
        }
    }
}

}  // namespace

namespace {

// Every byte, and line breaks in every form, as the UTF-8 route gives them.
TEST(DocumentEnd, EditorTextFromCp1252AsThroughUtf8)
{
    std::string text;
    for (int byte = 1; byte < 256; ++byte)
        text += static_cast<char>(byte);
    text += "A\r\nB\rC\nD\r\r\n\n\r";
    for (const std::string& sample : {text, std::string(), std::string("\r"), std::string("\x80\r\n\xFF")}) {
        const QString expected = QString::fromUtf8(brunzit::cp1252ToUtf8(brunzit::FromCrLf(sample)));
        EXPECT_EQ(brunzit::Cp1252ToEditorText(sample), expected);
    }
}

}  // namespace
