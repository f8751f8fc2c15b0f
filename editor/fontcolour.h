#pragma once
// Fonts as the font dialogs and the settings file keep them: a QFont plus the
// colour and the character set that QFont itself does not carry.

#include <QColor>
#include <QFont>
#include <QPalette>
#include <cstdint>

class QFontDialog;
class QWidget;

namespace brunzit {

// A colour as the settings file stores it: 0x00BBGGRR for a plain colour; with
// the top bit set, the index of a system colour in the low byte.
using ColourNumber = std::int32_t;
inline constexpr ColourNumber WindowTextColourNumber = static_cast<ColourNumber>(0x80000008u);

// System colours come from the palette, so they follow the desktop's theme.
QColor colourOf(ColourNumber number, const QPalette& palette);
ColourNumber numberOf(const QColor& colour);

struct FontChoice {
    QFont font;
    ColourNumber colour = 0;
    // Kept and stored as chosen; Qt finds glyphs for any text by itself.
    int charset = 0;

    bool operator==(const FontChoice&) const = default;
};

// The large letter at creation: Arial bold, 267 pixels, the window-text colour.
FontChoice initialLetterFont();
// The editor at creation: Arial bold, 16 pixels, black.
FontChoice initialEditorFont();

// A font dialog keeps its FontChoice between uses, like the dialogs the
// settings file reads and writes. prepareFontDialog makes the dialog the
// program's own (not the desktop's, which cannot pick a colour), adds a
// colour button and stores the choice it starts from.
void prepareFontDialog(QFontDialog* dialog, const FontChoice& choice);
FontChoice fontChoiceOf(const QFontDialog* dialog);
void setFontChoice(QFontDialog* dialog, const FontChoice& choice);

// Shows the dialog modally, starting from its stored choice. Returns true and
// keeps the new choice when the user confirms; a cancel keeps the old one.
bool runFontDialog(QFontDialog* dialog);
// The same for a choice kept outside the dialog: the dialog starts from
// choice, and a confirmed choice replaces it.
bool runFontDialog(QFontDialog* dialog, FontChoice& choice);

// Gives a widget the font and the text colour of a choice.
void applyFontChoice(QWidget* widget, const FontChoice& choice);

// Text colour of labels (WindowText) and of text editors (Text) alike.
void setTextColour(QWidget* widget, const QColor& colour);
QColor textColour(const QWidget* widget);

}  // namespace brunzit
