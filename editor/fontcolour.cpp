#include "editor/fontcolour.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QWidget>

namespace brunzit {

namespace {

// Where a font dialog keeps its choice between uses.
constexpr char FontProperty[] = "brunzitFont";
constexpr char ColourProperty[] = "brunzitColour";
constexpr char CharsetProperty[] = "brunzitCharset";
// The colour picked while the dialog is open, kept only if it is confirmed.
constexpr char PendingColourProperty[] = "brunzitPendingColour";

QPalette::ColorRole systemColourRole(int index) {
    switch (index) {
    case 1: case 4: return QPalette::Window;             // desktop, menu
    case 2: case 13: return QPalette::Highlight;         // active caption, highlight
    case 3: case 10: case 11: return QPalette::Mid;      // inactive caption, borders
    case 5: return QPalette::Base;                       // window
    case 6: case 21: return QPalette::Shadow;            // frame, dark shadow
    case 9: case 14: return QPalette::HighlightedText;   // caption text, highlight text
    case 12: case 16: return QPalette::Dark;             // workspace, button shadow
    case 0: case 15: return QPalette::Button;            // scroll bar, button face
    case 17: return QPalette::PlaceholderText;           // grey text
    case 18: return QPalette::ButtonText;
    case 20: return QPalette::Light;
    case 22: return QPalette::Midlight;
    case 23: return QPalette::ToolTipText;
    case 24: return QPalette::ToolTipBase;
    case 26: return QPalette::Link;
    default: return QPalette::WindowText;                // 7 menu text, 8 window text, ...
    }
}

// The font as the dialog can show it: a family the system lacks ("Arial")
// would leave the dialog on its first family and plain style, so it starts
// from the family the font really gets, with its size and weight. The style
// goes by its name in the font files: the dialog would look for the
// translated name ("Negreta") among untranslated styles and lose the bold.
QFont shownFont(const QFont& font)
{
    const QFontInfo real(font);
    QFont shown = font;
    shown.setFamilies({real.family()});
    shown.setStyleName(real.styleName());
    return shown;
}

}  // namespace

QColor colourOf(ColourNumber number, const QPalette& palette) {
    const auto bits = static_cast<std::uint32_t>(number);
    if (bits & 0x80000000u)
        return palette.color(QPalette::Active, systemColourRole(static_cast<int>(bits & 0xFFu)));
    return QColor(static_cast<int>(bits & 0xFFu), static_cast<int>((bits >> 8) & 0xFFu),
                  static_cast<int>((bits >> 16) & 0xFFu));
}

ColourNumber numberOf(const QColor& colour) {
    const QColor rgb = colour.toRgb();
    return static_cast<ColourNumber>(static_cast<std::uint32_t>(rgb.red()) |
                                     (static_cast<std::uint32_t>(rgb.green()) << 8) |
                                     (static_cast<std::uint32_t>(rgb.blue()) << 16));
}

FontChoice initialLetterFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(267);
    font.setBold(true);
    return {font, WindowTextColourNumber, 0};
}

FontChoice initialEditorFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    font.setBold(true);
    return {font, 0, 0};
}

void prepareFontDialog(QFontDialog* dialog, const FontChoice& choice) {
    dialog->setOption(QFontDialog::DontUseNativeDialog, true);
    setFontChoice(dialog, choice);
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    if (!buttons)
        return;
    QPushButton* colourButton = buttons->addButton(QStringLiteral("&Color..."), QDialogButtonBox::ActionRole);
    colourButton->setAccessibleName(QStringLiteral("Color"));
    QObject::connect(colourButton, &QPushButton::clicked, dialog, [dialog] {
        const QPalette palette = QGuiApplication::palette();
        const auto pending = static_cast<ColourNumber>(dialog->property(PendingColourProperty).toInt());
        const QColor picked = QColorDialog::getColor(colourOf(pending, palette), dialog, QStringLiteral("Color"),
                                                     QColorDialog::DontUseNativeDialog);
        if (picked.isValid())
            dialog->setProperty(PendingColourProperty, numberOf(picked));
    });
}

FontChoice fontChoiceOf(const QFontDialog* dialog) {
    return {dialog->property(FontProperty).value<QFont>(),
            static_cast<ColourNumber>(dialog->property(ColourProperty).toInt()),
            dialog->property(CharsetProperty).toInt()};
}

void setFontChoice(QFontDialog* dialog, const FontChoice& choice) {
    dialog->setProperty(FontProperty, choice.font);
    dialog->setProperty(ColourProperty, choice.colour);
    dialog->setProperty(CharsetProperty, choice.charset);
    dialog->setCurrentFont(shownFont(choice.font));
}

bool runFontDialog(QFontDialog* dialog) {
    FontChoice choice = fontChoiceOf(dialog);
    dialog->setCurrentFont(shownFont(choice.font));
    dialog->setProperty(PendingColourProperty, choice.colour);
    if (dialog->exec() != QDialog::Accepted) {
        // The dialog keeps what the user browsed; go back to the stored font.
        dialog->setCurrentFont(shownFont(choice.font));
        return false;
    }
    choice.font = dialog->selectedFont();
    choice.colour = static_cast<ColourNumber>(dialog->property(PendingColourProperty).toInt());
    setFontChoice(dialog, choice);
    return true;
}

bool runFontDialog(QFontDialog* dialog, FontChoice& choice) {
    setFontChoice(dialog, choice);
    if (!runFontDialog(dialog))
        return false;
    choice = fontChoiceOf(dialog);
    return true;
}

void applyFontChoice(QWidget* widget, const FontChoice& choice) {
    widget->setFont(choice.font);
    setTextColour(widget, colourOf(choice.colour, QGuiApplication::palette()));
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

QColor textColour(const QWidget* widget) {
    return widget->palette().color(QPalette::Active, QPalette::WindowText);
}

}  // namespace brunzit
