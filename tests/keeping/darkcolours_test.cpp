#include <QLabel>
#include <QPlainTextEdit>
#include <array>
#include <gtest/gtest.h>
#include <memory>

#include "editor/darkcolours.h"
#include "editor/fontcolour.h"
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

}  // namespace
