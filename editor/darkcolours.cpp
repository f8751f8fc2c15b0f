#include "editor/darkcolours.h"

#include <QLabel>
#include <QPlainTextEdit>

#include "editor/fontcolour.h"
#include "editor/gridkey.h"
#include "editor/tformlletra.h"

namespace brunzit {

namespace {

void setRole(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

}  // namespace

SchemeColours schemeColours(bool dark) {
    if (dark)
        return {QColor(0, 0, 0), QColor(255, 255, 255)};
    return {QColor(255, 255, 255), QColor(0, 0, 0)};
}

void setLetterWindowColours(TFormLletra* window, bool dark) {
    if (!window)
        return;
    const SchemeColours colours = schemeColours(dark);
    setRole(window, QPalette::Window, colours.background);
    window->setAutoFillBackground(true);
    setTextColour(window->LabelLletra, colours.text);
}

void setEditorBackground(QPlainTextEdit* editor, bool dark) {
    if (editor)
        setRole(editor, QPalette::Base, schemeColours(dark).background);
}

QColor editorTextColour(const QColor& fontColour, bool dark) {
    if (dark && fontColour.toRgb() == QColor(0, 0, 0))
        return QColor(255, 255, 255);
    return fontColour;
}

void setKeyBackground(QWidget* key, bool dark) {
    if (!key)
        return;
    if (auto* gridKey = qobject_cast<GridKey*>(key)) {
        gridKey->setScheme(dark);
        return;
    }
    setRole(key, QPalette::Window, schemeColours(dark).background);
    key->setAutoFillBackground(true);
}

void setKeyTextColour(QWidget* key, bool dark, bool highlighted) {
    if (auto* gridKey = qobject_cast<GridKey*>(key)) {
        gridKey->setScheme(dark);
        gridKey->setHighlighted(highlighted);
    } else if (key)
        setRole(key, QPalette::WindowText, highlighted ? HighlightedKeyColour : schemeColours(dark).text);
}

}  // namespace brunzit
