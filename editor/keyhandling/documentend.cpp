#include "editor/keyhandling/documentend.h"

#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <optional>

#include "editor/keyhandling/textrules.h"
#include "platform/cp1252.h"

namespace brunzit {

namespace {

constexpr char kFiller = 'x';
constexpr int kFirstRead = 256;

QString Characters(QTextDocument& document, int from, int to)
{
    QTextCursor cursor(&document);
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

int EndOf(const QTextDocument& document)
{
    return document.characterCount() - 1;  // the last paragraph's separator is not text
}

// Applies rule to ever longer ends (four times as long each try) until it
// answers; it must answer on the whole text.
template <typename Rule>
auto AtEnd(QTextDocument& document, Rule rule)
{
    for (long long characters = kFirstRead;; characters *= 4) {
        const DocumentEnd end =
            ReadDocumentEnd(document, static_cast<int>(std::min<long long>(characters, EndOf(document))));
        if (auto answer = rule(end))
            return *answer;
    }
}

// The document position just after `kept`, a beginning of end.text.
int PositionAfter(const DocumentEnd& end, const std::string& kept)
{
    const std::string own = end.whole ? kept : kept.substr(1);
    const std::size_t characters = FromCrLf(own).size();
    return end.from + static_cast<int>(Utf16Prefix(end.raw.toStdU16String(), characters));
}

}  // namespace

std::string PlainTextToCp1252(QString text)
{
    for (QChar& c : text) {
        switch (c.unicode()) {
        case 0xFDD0:  // frame marks, as toPlainText maps them
        case 0xFDD1:
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
            c = u'\n';
            break;
        case QChar::Nbsp:
            c = u' ';
            break;
        default:
            break;
        }
    }
    return ToCrLf(utf8ToCp1252(text.toUtf8().toStdString()));
}

QString Cp1252ToEditorText(std::string_view text)
{
    // One pass, where a 10 MB text through UTF-8 and back took three.
    static const std::array<QChar, 256> kUnicode = [] {
        std::array<QChar, 256> table{};
        for (int byte = 0; byte < 256; ++byte)
            table[static_cast<std::size_t>(byte)] =
                QString::fromUtf8(cp1252ToUtf8(std::string(1, static_cast<char>(byte)))).at(0);
        return table;
    }();
    QString result(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    QChar* out = result.data();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            *out++ = u'\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            *out++ = kUnicode[static_cast<unsigned char>(c)];
        }
    }
    result.truncate(out - result.constData());
    return result;
}

DocumentEnd ReadDocumentEnd(QTextDocument& document, int characters)
{
    DocumentEnd end;
    const int last = EndOf(document);
    end.from = std::max(0, last - characters);
    // Never the second half of a pair: one character, one code point.
    if (end.from > 0 && document.characterAt(end.from).isLowSurrogate())
        --end.from;
    end.whole = end.from == 0;
    end.raw = Characters(document, end.from, last);
    end.text = PlainTextToCp1252(end.raw);
    if (!end.whole)
        end.text.insert(end.text.begin(), kFiller);
    return end;
}

std::string LastWordAtEnd(QTextDocument& document, const std::string& typed)
{
    return AtEnd(document, [&typed](const DocumentEnd& end) -> std::optional<std::string> {
        const std::string text = end.text + typed;
        std::string word = LastWord(text, static_cast<long>(end.text.size()));
        // The whole text back to position 2 held no separator: what lies
        // before may.
        if (!end.whole && word.size() == text.size())
            return std::nullopt;
        return word;
    });
}

EndEdit DeleteAtEnd(QTextDocument& document, FunctionItem item)
{
    return AtEnd(document, [item](const DocumentEnd& end) -> std::optional<EndEdit> {
        const TextEdit edit = item == FunctionItem::DeleteLastLetter ? DeleteLastLetterEdit(end.text)
                                                                      : DeleteLastWordEdit(end.text);
        // Kept text beyond the filler means the cut was found here.
        if (!end.whole && (!edit.changed || edit.kept.size() < 2))
            return std::nullopt;
        return EndEdit{edit.say, edit.changed ? PositionAfter(end, edit.kept) : -1};
    });
}

void CutDocumentAt(QTextDocument& document, int position)
{
    QTextCursor cursor(&document);
    cursor.setPosition(position);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

BexoFixer::~BexoFixer()
{
    QObject::disconnect(changes_);
}

void BexoFixer::Watch(QTextDocument* document)
{
    QObject::disconnect(changes_);
    document_ = document;
    // A document reports its changes only once it has a layout.
    document->documentLayout();
    changed_ = {{0, EndOf(*document)}};
    changes_ = QObject::connect(document, &QTextDocument::contentsChange, document,
                                [this](int position, int removed, int added) { Changed(position, removed, added); });
}

void BexoFixer::Changed(int position, int removed, int added)
{
    // Ranges after the change move with the text; one that the change
    // touches joins the changed text.
    std::pair<int, int> fresh{position, position + added};
    std::vector<std::pair<int, int>> ranges;
    ranges.reserve(changed_.size() + 1);
    for (auto [from, to] : changed_) {
        if (to < position) {
            ranges.push_back({from, to});
        } else if (from > position + removed) {
            ranges.push_back({from + added - removed, to + added - removed});
        } else {
            fresh.first = std::min(fresh.first, from);
            fresh.second = std::max(fresh.second, to + added - removed);
        }
    }
    ranges.insert(std::upper_bound(ranges.begin(), ranges.end(), fresh), fresh);
    constexpr std::size_t kMostRanges = 16;
    if (ranges.size() > kMostRanges) {
        // The two nearest become one.
        std::size_t nearest = 0;
        for (std::size_t i = 1; i + 1 < ranges.size(); ++i) {
            if (ranges[i + 1].first - ranges[i].second < ranges[nearest + 1].first - ranges[nearest].second)
                nearest = i;
        }
        ranges[nearest].second = ranges[nearest + 1].second;
        ranges.erase(ranges.begin() + static_cast<std::ptrdiff_t>(nearest) + 1);
    }
    changed_ = std::move(ranges);
}

void BexoFixer::Fix(QTextDocument* document)
{
    if (document != document_)
        Watch(document);
    const QString pattern = QStringLiteral("BEXO");
    const int reach = static_cast<int>(pattern.size()) - 1;
    const int last = EndOf(*document);
    // One edit for all: one undo step, one layout. The replacement is as long
    // as the pattern, so the positions found stay valid.
    QTextCursor cursor(document);
    bool editing = false;
    for (const auto& [changedFrom, changedTo] : changed_) {
        const int from = std::clamp(changedFrom - reach, 0, last);
        const QString text = Characters(*document, from, std::clamp(changedTo + reach, from, last));
        for (qsizetype at = text.indexOf(pattern); at >= 0; at = text.indexOf(pattern, at + pattern.size())) {
            if (!editing) {
                cursor.beginEditBlock();
                editing = true;
            }
            cursor.setPosition(from + static_cast<int>(at));
            cursor.setPosition(from + static_cast<int>(at + pattern.size()), QTextCursor::KeepAnchor);
            cursor.insertText(QStringLiteral("BEX\u00D3"));
        }
    }
    if (editing)
        cursor.endEditBlock();
    changed_.clear();
}

}  // namespace brunzit
