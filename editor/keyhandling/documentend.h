#pragma once
// The text rules applied to the end of the editor's document without copying
// the whole text: a rule reads ever longer ends until what lies before can no
// longer change its answer. Answers are those of the rules on the whole text
// (EditorText), in Windows-1252 with CR LF line breaks.

#include <QMetaObject>
#include <QPointer>
#include <QString>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/selection.h"

class QTextDocument;

namespace brunzit {

// The editor's text from `from` to the end, as QPlainTextEdit::toPlainText
// gives it (line and paragraph separators as '\n', no-break spaces as
// blanks), in Windows-1252 with CR LF line breaks. Unless `from` is the
// start, the text begins with one filler character, never a separator, that
// stands for what lies before: a rule never examines a text's first position.
struct DocumentEnd {
    std::string text;
    int from = 0;
    bool whole = false;
    QString raw;  // the document's characters from `from`
};
DocumentEnd ReadDocumentEnd(QTextDocument& document, int characters);

// The editor's text (Windows-1252, CR LF) of a piece of the document's plain
// text.
std::string PlainTextToCp1252(QString text);

// The other way: Windows-1252 text, its line breaks in any form, as the
// editor holds it.
QString Cp1252ToEditorText(std::string_view text);

// The word LastWord finds at the end of the text followed by `typed`,
// starting before what was typed.
std::string LastWordAtEnd(QTextDocument& document, const std::string& typed);

// What deleting the last letter or the last word says, and where the text is
// cut (-1: nothing is removed).
struct EndEdit {
    std::string say;
    int cutAt = -1;
};
EndEdit DeleteAtEnd(QTextDocument& document, FunctionItem item);
void CutDocumentAt(QTextDocument& document, int position);

// Keeps "BEXO" out of a document as "BEX\xD3": only the text changed since the
// last fix is searched, since every "BEXO" elsewhere was replaced then. A
// document met for the first time is searched whole.
class BexoFixer {
public:
    BexoFixer() = default;
    ~BexoFixer();
    BexoFixer(const BexoFixer&) = delete;
    BexoFixer& operator=(const BexoFixer&) = delete;
    void Fix(QTextDocument* document);

private:
    void Watch(QTextDocument* document);
    void Changed(int position, int removed, int added);
    QPointer<QTextDocument> document_;
    QMetaObject::Connection changes_;
    // The changed ranges [from, to), apart and in order: an edit far back
    // (a calculated line) must not make the next fix read all that follows.
    std::vector<std::pair<int, int>> changed_;
};

}  // namespace brunzit
