#pragma once
// The two colour schemes: dark (white on black) and light (black on white),
// for the large-letter window, the editor's background and the 48 keys.

#include <QColor>
#include <string>

class QPlainTextEdit;
class QWidget;
class TFormLletra;

namespace brunzit {

struct SchemeColours {
    QColor background;
    QColor text;
};

SchemeColours schemeColours(bool dark);
// The highlighted key is red in both schemes.
inline const QColor HighlightedKeyColour{255, 0, 0};

void setLetterWindowColours(TFormLletra* window, bool dark);
// The background only: the editor's text keeps the colour of its font.
void setEditorBackground(QPlainTextEdit* editor, bool dark);
// The colour the editor's text is drawn in: the font's own, except that the
// black of the default font would vanish on the dark background and is
// drawn white there.
QColor editorTextColour(const QColor& fontColour, bool dark);
void setKeyBackground(QWidget* key, bool dark);
// A key's text: red when highlighted, else the scheme's text colour.
void setKeyTextColour(QWidget* key, bool dark, bool highlighted);

// Applies a scheme, in this order: the letter window's background, the
// letter's colour, the editor's background, the keys' backgrounds, the keys'
// text colours, then the highlighted key in red. Any pointer may be null.
// Returns the word to store under "FONS NEGRE": "S\xCD" or "NO".
template <typename KeyRange>
std::string ApplyDarkColours(bool dark, TFormLletra* letterWindow, QPlainTextEdit* editor, const KeyRange& keys,
                             QWidget* highlightedKey) {
    setLetterWindowColours(letterWindow, dark);
    setEditorBackground(editor, dark);
    for (QWidget* key : keys)
        setKeyBackground(key, dark);
    for (QWidget* key : keys)
        setKeyTextColour(key, dark, false);
    setKeyTextColour(highlightedKey, dark, true);
    return dark ? "S\xCD" : "NO";
}

}  // namespace brunzit
