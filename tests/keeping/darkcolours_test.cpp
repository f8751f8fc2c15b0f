#include <QLabel>
#include <QPlainTextEdit>
#include <array>
#include <gtest/gtest.h>
#include <memory>

#include "editor/darkcolours.h"
#include "editor/fontcolour.h"
#include "editor/gridkey.h"
#include "editor/tformlletra.h"
#include "tests/keeping/qtprinters.h"

namespace {

const QColor Black(0, 0, 0);
const QColor White(255, 255, 255);
const QColor Red(255, 0, 0);

// The pieces the scheme touches, as the main window holds them.
struct Screen {
    TFormLletra letterWindow;
    QPlainTextEdit editor;
    std::array<std::unique_ptr<QLabel>, 5> owned;
    std::array<QLabel*, 5> keys{};

    Screen() {
        for (std::size_t i = 0; i < keys.size(); ++i) {
            owned[i] = std::make_unique<QLabel>(QString::number(i));
            keys[i] = owned[i].get();
        }
        // A desktop whose window colour is not white, and a blue editor font.
        QPalette palette = editor.palette();
        palette.setColor(QPalette::Base, QColor(200, 200, 180));
        palette.setColor(QPalette::Text, QColor(0, 0, 255));
        editor.setPalette(palette);
    }
    QLabel* highlighted() { return keys[2]; }
};

TEST(DarkColours, SchemesColourEveryPiece) {
    struct Case {
        const char* name;
        std::vector<bool> switches;  // the scheme chosen at each switch
        QColor background, text;
        std::string word;
    };
    const Case cases[] = {
        {"dark", {true}, Black, White, "S\xCD"},
        {"light", {false}, White, Black, "NO"},
        {"dark then light", {true, false}, White, Black, "NO"},
        {"light then dark", {false, true}, Black, White, "S\xCD"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Screen s;
        std::string word;
        for (bool dark : c.switches)
            word = brunzit::ApplyDarkColours(dark, &s.letterWindow, &s.editor, s.keys, s.highlighted());

        EXPECT_EQ(word, c.word);
        EXPECT_EQ(s.letterWindow.palette().color(QPalette::Window), c.background);
        EXPECT_TRUE(s.letterWindow.autoFillBackground());
        EXPECT_EQ(s.letterWindow.LabelLletra->palette().color(QPalette::WindowText), c.text);
        EXPECT_EQ(s.editor.palette().color(QPalette::Base), c.background);
        // The editor's text keeps the colour of its font.
        EXPECT_EQ(s.editor.palette().color(QPalette::Text), QColor(0, 0, 255));
        for (QLabel* key : s.keys) {
            SCOPED_TRACE(key->text().toStdString());
            EXPECT_EQ(key->palette().color(QPalette::Window), c.background);
            EXPECT_TRUE(key->autoFillBackground());
            EXPECT_EQ(key->palette().color(QPalette::WindowText), key == s.highlighted() ? Red : c.text);
        }
    }
}

TEST(DarkColours, MissingPiecesAreSkipped) {
    std::array<QWidget*, 0> noKeys{};
    EXPECT_EQ(brunzit::ApplyDarkColours(true, nullptr, nullptr, noKeys, nullptr), "S\xCD");
}

TEST(DarkColours, TheLetterDialogKeepsItsColour) {
    // The scheme's letter colour is not stored with the letter's font.
    Screen s;
    const brunzit::FontChoice before = s.letterWindow.FontLletra;
    brunzit::ApplyDarkColours(true, &s.letterWindow, &s.editor, s.keys, s.highlighted());
    EXPECT_EQ(s.letterWindow.FontLletra, before);
}

TEST(DarkColours, OnlyTheBlackEditorFontTurnsWhiteOnDark) {
    const QColor blue(0, 0, 255);
    EXPECT_EQ(brunzit::editorTextColour(Black, true), White);
    EXPECT_EQ(brunzit::editorTextColour(Black, false), Black);
    EXPECT_EQ(brunzit::editorTextColour(blue, true), blue);
    EXPECT_EQ(brunzit::editorTextColour(White, false), White);
}

TEST(DarkColours, TheHighlightedKeyStandsOutInBothSchemes) {
    // The ratio itself, on pairs whose values are known.
    EXPECT_NEAR(brunzit::contrastRatio(Black, White), 21.0, 0.01);
    EXPECT_NEAR(brunzit::contrastRatio(Red, White), 4.0, 0.01);
    EXPECT_NEAR(brunzit::contrastRatio(Red, Black), 5.25, 0.01);
    EXPECT_NEAR(brunzit::contrastRatio(Red, Red), 1.0, 0.01);
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        const brunzit::HighlightLook look = brunzit::highlightLook(dark);
        EXPECT_EQ(look.mark, Red);
        EXPECT_EQ(look.body, brunzit::schemeColours(!dark).background) << "inverted";
        for (const brunzit::ColourEdge& edge : brunzit::highlightEdges(dark))
            EXPECT_GE(brunzit::contrastRatio(edge.a, edge.b), 4.5) << edge.where;
    }
}

TEST(DarkColours, GridKeysDrawTheMarksTheyAnnounce) {
    // Pixels of a painted key: the body inverted, the red frame and caption.
    for (const bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        brunzit::GridKey key(QStringLiteral("W"));
        key.resize(120, 100);
        QFont font(QStringLiteral("Arial"));
        font.setBold(true);
        font.setPixelSize(brunzit::fittingPixelSize(font, {key.text()}, brunzit::GridKey::captionBoxFor(key.size()).size(), 200));
        key.setFont(font);
        key.setScheme(dark);
        const QImage plain = key.grab().toImage();
        key.setHighlighted(true);
        const QImage marked = key.grab().toImage();
        const int frame = brunzit::GridKey::frameWidthFor(key.size());
        const QColor background = brunzit::schemeColours(dark).background;
        EXPECT_EQ(plain.pixelColor(1, 1), background);
        EXPECT_EQ(marked.pixelColor(0, 0), brunzit::schemeColours(!dark).background);
        // Somewhere on the frame's band along the top edge, red.
        bool redFrame = false;
        for (int y = 0; y < 2 * frame + 4; ++y)
            redFrame = redFrame || marked.pixelColor(key.width() / 2, y) == Red;
        EXPECT_TRUE(redFrame);
        int redInside = 0;
        const QRect box = brunzit::GridKey::captionBoxFor(key.size());
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                redInside += marked.pixelColor(x, y) == Red;
        EXPECT_GT(redInside, 50) << "the caption is red";
        EXPECT_EQ(key.palette().color(QPalette::WindowText), Red);
    }
}

}  // namespace
