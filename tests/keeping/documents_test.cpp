#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

#include "editor/documents.h"
#include "tests/keeping/qtprinters.h"

namespace {

using brunzit::DocumentCommands;
using brunzit::TextEncoding;

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void typeText(QPlainTextEdit& editor, const QString& text) {
    QTextCursor cursor(editor.document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

// A main window whose dialogs answer from a script and record what was asked.
struct Desk {
    QTemporaryDir dir;
    QWidget window;
    QPlainTextEdit editor{&window};
    DocumentCommands documents{&editor, &window};

    std::vector<QString> questions;
    std::vector<QMessageBox::StandardButton> answers;  // taken in order
    std::vector<QString> errors;
    QString fileToOpen, fileToSave;  // empty: the dialog is cancelled
    int openDialogs = 0, saveDialogs = 0;

    Desk() {
        documents.SetApplicationTitle(QStringLiteral("brunzit"));
        brunzit::DocumentDialogs& dialogs = documents.Dialogs();
        dialogs.ask = [this](const QString& question) {
            questions.push_back(question);
            if (answers.empty())
                return QMessageBox::Cancel;
            const QMessageBox::StandardButton answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        };
        dialogs.chooseFileToOpen = [this] {
            ++openDialogs;
            return fileToOpen;
        };
        dialogs.chooseFileToSave = [this] {
            ++saveDialogs;
            return fileToSave;
        };
        dialogs.showError = [this](const QString& message) { errors.push_back(message); };
    }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    bool modified() const { return editor.document()->isModified(); }
};

TEST(Documents, BytesBecomeText) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QString text;
        TextEncoding encoding;
        bool bom;
    };
    const auto W = TextEncoding::Windows1252;
    const auto U = TextEncoding::Utf8;
    const Case cases[] = {
        {"Windows-1252 with CR LF", "Caf\xE9\r\nna\xEF" "f\r\n", QString::fromUtf16(u"Caf\u00e9\nna\u00eff\n"), W, false},
        {"euro and no-break space", "\x80\xA0" "1", QString::fromUtf16(u"\u20ac\u00a0" "1"), W, false},
        {"LF line breaks", "a\nb\n", QStringLiteral("a\nb\n"), W, false},
        {"lone CR", "a\rb", QStringLiteral("a\nb"), W, false},
        {"blank lines", "a\r\n\r\n\nb", QStringLiteral("a\n\n\nb"), W, false},
        {"plain ASCII", "abc", QStringLiteral("abc"), W, false},
        {"empty", "", QString(), W, false},
        {"UTF-8", "Caf\xC3\xA9\r\n", QString::fromUtf16(u"Caf\u00e9\n"), U, false},
        {"UTF-8 beyond Windows-1252", "\xE2\x89\xA0", QString::fromUtf16(u"\u2260"), U, false},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" "abc", QStringLiteral("abc"), U, true},
        {"broken UTF-8 is Windows-1252", "\xC3\x28", QString::fromUtf16(u"\u00c3("), W, false},
        {"overlong UTF-8 is Windows-1252", "\xC0\xAF", QString::fromUtf16(u"\u00c0\u00af"), W, false},
        {"UTF-8 surrogate is Windows-1252", "\xED\xA0\x80", QString::fromUtf16(u"\u00ed\u00a0\u20ac"), W, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const brunzit::DecodedText decoded = brunzit::decodeDocument(c.bytes);
        EXPECT_EQ(decoded.text, c.text);
        EXPECT_EQ(decoded.encoding, c.encoding);
        EXPECT_EQ(decoded.byteOrderMark, c.bom);
    }
}

TEST(Documents, TextBecomesBytes) {
    struct Case {
        const char* name;
        QString text;
        TextEncoding preferred;
        bool bom;
        QByteArray bytes;
        TextEncoding used;
    };
    const auto W = TextEncoding::Windows1252;
    const auto U = TextEncoding::Utf8;
    const Case cases[] = {
        {"Windows-1252 with CR LF", QString::fromUtf16(u"Caf\u00e9\nna\u00eff\n"), W, false, "Caf\xE9\r\nna\xEF" "f\r\n", W},
        {"no line break added", QStringLiteral("abc"), W, false, "abc", W},
        {"euro", QString::fromUtf16(u"\u20ac"), W, false, "\x80", W},
        {"UTF-8 stays UTF-8", QString::fromUtf16(u"Caf\u00e9\n"), U, false, "Caf\xC3\xA9\r\n", U},
        {"UTF-8 keeps its mark", QStringLiteral("a"), U, true, "\xEF\xBB\xBF" "a", U},
        {"unencodable text is saved as UTF-8", QString::fromUtf16(u"\u00e9 \u2260\n"), W, false,
         "\xC3\xA9 \xE2\x89\xA0\r\n", U},
        {"Greek is saved as UTF-8", QString::fromUtf16(u"\u03a9"), W, false, "\xCE\xA9", U},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextEncoding used = c.preferred == W ? U : W;
        EXPECT_EQ(brunzit::encodeDocument(c.text, c.preferred, c.bom, &used), c.bytes);
        EXPECT_EQ(used, c.used);
    }
}

TEST(Documents, EveryWindows1252ByteSurvives) {
    QByteArray bytes;
    for (int b = 1; b < 256; ++b) {
        if (b != '\r' && b != '\n')
            bytes += static_cast<char>(b);
    }
    const brunzit::DecodedText decoded = brunzit::decodeDocument(bytes);
    ASSERT_EQ(decoded.encoding, TextEncoding::Windows1252);
    TextEncoding used = TextEncoding::Utf8;
    EXPECT_EQ(brunzit::encodeDocument(decoded.text, decoded.encoding, false, &used), bytes);
    EXPECT_EQ(used, TextEncoding::Windows1252);
}

TEST(Documents, OpenAndSaveRoundTrips) {
    struct Case {
        const char* name;
        QByteArray file;
        QString typed;
        QByteArray saved;
        TextEncoding encoding;
    };
    const auto W = TextEncoding::Windows1252;
    const auto U = TextEncoding::Utf8;
    const Case cases[] = {
        {"Windows-1252 unchanged", "\xC0 la pla\xE7" "a\r\n\xA0\x80\r\n", {}, "\xC0 la pla\xE7" "a\r\n\xA0\x80\r\n", W},
        {"UTF-8 unchanged", "\xC3\x80 la pla\xC3\xA7" "a\r\n", {}, "\xC3\x80 la pla\xC3\xA7" "a\r\n", U},
        {"LF file saved with CR LF", "una\ndues\n", {}, "una\r\ndues\r\n", W},
        {"typed text Windows-1252 lacks", "pla\xE7" "a\r\n", QString::fromUtf16(u"\u2260\u0107"),
         "pla\xC3\xA7" "a\r\n\xE2\x89\xA0\xC4\x87", U},
        {"typed accents stay Windows-1252", "a\r\n", QString::fromUtf16(u"\u00e8"), "a\r\n\xE8", W},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk;
        const QString path = desk.path("doc.txt");
        writeBytes(path, c.file);
        ASSERT_TRUE(desk.documents.LoadDocument(path));
        EXPECT_EQ(desk.documents.DocumentName(), path);
        EXPECT_EQ(desk.window.windowTitle(), QStringLiteral("doc.txt - brunzit"));
        EXPECT_FALSE(desk.modified());
        typeText(desk.editor, c.typed);
        ASSERT_TRUE(desk.documents.SaveDocument());
        EXPECT_EQ(readBytes(path), c.saved);
        EXPECT_EQ(desk.documents.Encoding(), c.encoding);
        EXPECT_FALSE(desk.modified());
        EXPECT_TRUE(desk.questions.empty());  // a named text saves without a question
        EXPECT_TRUE(desk.errors.empty());
    }
}

TEST(Documents, TheInterfaceRunsWhileAFileLoads) {
    Desk desk;
    const QString path = desk.path("long.txt");
    writeBytes(path, QByteArray("una l\xEDnia\r\n").repeated(20000));
    bool ran = false;
    bool nestedLoad = true;
    // Posted before the load: handled while the file is read, not after.
    QTimer::singleShot(0, &desk.window, [&] {
        ran = true;
        nestedLoad = desk.documents.LoadDocument(path);
    });
    ASSERT_TRUE(desk.documents.LoadDocument(path));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(nestedLoad);  // one load at a time
    EXPECT_EQ(desk.editor.blockCount(), 20001);
    // The view knows every line: it scrolls to the last.
    EXPECT_GT(desk.editor.verticalScrollBar()->maximum(), 19900);
    EXPECT_EQ(desk.editor.document()->defaultFont(), desk.editor.font());
    EXPECT_FALSE(desk.modified());
    // The loaded text is edited and undone like typed text.
    typeText(desk.editor, QStringLiteral("!"));
    EXPECT_TRUE(desk.modified());
    desk.editor.undo();
    EXPECT_EQ(desk.documents.EditorText(), QString::fromUtf16(u"una l\u00ednia\n").repeated(20000));
}

TEST(Documents, SavingKeepsThePermissions) {
    Desk desk;
    const QString path = desk.path("shared.txt");
    writeBytes(path, "old");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const QFile::Permissions permissions = QFile::permissions(path);
    ASSERT_TRUE(desk.documents.LoadDocument(path));
    typeText(desk.editor, QStringLiteral(" new"));
    ASSERT_TRUE(desk.documents.SaveDocument());
    EXPECT_EQ(readBytes(path), QByteArray("old new"));
    EXPECT_EQ(QFile::permissions(path), permissions);
}

// Writes beyond a small size fail as a full disk would, half-way through.
struct FileSizeLimit {
    rlimit old{};
    void (*oldHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
};

TEST(Documents, AFailingSaveKeepsTheOldFileAndTheName) {
    Desk desk;
    const QString path = desk.path("old.txt");
    writeBytes(path, "old text\r\n");
    ASSERT_TRUE(desk.documents.LoadDocument(path));
    typeText(desk.editor, QString(1000, u'x').append(u'\n').repeated(200));
    {
        FileSizeLimit limit(64 * 1024);
        EXPECT_FALSE(desk.documents.SaveDocument());
    }
    EXPECT_EQ(readBytes(path), QByteArray("old text\r\n"));
    EXPECT_EQ(desk.documents.DocumentName(), path);
    EXPECT_TRUE(desk.modified());
    ASSERT_EQ(desk.errors.size(), 1u);
    EXPECT_TRUE(desk.errors[0].contains(path));
    // No temporary file is left behind.
    EXPECT_EQ(QDir(desk.dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("old.txt")});
}

TEST(Documents, AFailingSaveAsKeepsTheName) {
    Desk desk;
    writeBytes(desk.path("afile"), "x");
    typeText(desk.editor, QStringLiteral("text"));
    desk.fileToSave = desk.path("afile") + QStringLiteral("/inside.txt");  // a folder that is a file
    EXPECT_FALSE(desk.documents.SaveDocumentAs());
    EXPECT_EQ(desk.documents.DocumentName(), QStringLiteral("Sense nom"));
    EXPECT_EQ(desk.window.windowTitle(), QStringLiteral("Sense nom - brunzit"));
    EXPECT_TRUE(desk.modified());
    ASSERT_EQ(desk.errors.size(), 1u);
    EXPECT_TRUE(desk.errors[0].contains(desk.fileToSave));
}

// What cannot be a document is refused at once with its reason, and the
// text in the editor, unsaved, stays: a named pipe would hang a plain open, a
// device never ends, a huge file would take the memory.
TEST(Documents, WhatCannotBeADocumentChangesNothing) {
    struct Case {
        const char* name;
        const char* file;  // in the desk's folder, or an absolute path
        const char* reason;
    };
    const Case cases[] = {
        {"missing", "missing.txt", ""},
        {"a folder", "folder", "carpeta"},
        {"a named pipe", "pipe.txt", "canonada"},
        {"a device", "/dev/zero", "dispositiu"},
        {"over the limit", "huge.txt", "64 MB"},
        {"a line over the limit", "longline.txt", "l\u00EDnies de fins a 1 MB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk;
        QDir(desk.dir.path()).mkdir(QStringLiteral("folder"));
        ASSERT_EQ(::mkfifo(desk.path("pipe.txt").toLocal8Bit().constData(), 0600), 0);
        ASSERT_EQ(::truncate(desk.path("huge.txt").toLocal8Bit().constData(), 0), -1);  // not there yet
        QFile huge(desk.path("huge.txt"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(brunzit::MaxDocumentBytes + 1));
        huge.close();
        writeBytes(desk.path("longline.txt"), "short\r\n" + QByteArray(brunzit::MaxLineBytes + 1, 'w') + "\r\n");
        typeText(desk.editor, QStringLiteral("kept"));
        const QString path = c.file[0] == '/' ? QString::fromLatin1(c.file) : desk.path(c.file);
        EXPECT_FALSE(desk.documents.LoadDocument(path));
        EXPECT_EQ(desk.documents.EditorText(), QStringLiteral("kept"));
        EXPECT_EQ(desk.documents.DocumentName(), QStringLiteral("Sense nom"));
        EXPECT_TRUE(desk.modified());
        ASSERT_EQ(desk.errors.size(), 1u);
        EXPECT_TRUE(desk.errors[0].contains(path));
        EXPECT_TRUE(desk.errors[0].contains(QString::fromUtf8(c.reason))) << desk.errors[0].toStdString();
    }
}

// A long file goes into the editor piece by piece: the pieces' edges must not
// split a CR LF or a UTF-8 character, and the encoding is the whole file's.
// The whole file decoded at once is the reference.
TEST(Documents, LongFilesOpenAsTheyDecode) {
    constexpr qsizetype Piece = brunzit::DocumentPieceBytes;
    // Plain lines, with a stretch of unit repeated across each piece edge;
    // shifting the file by one byte at a time puts every byte of unit on
    // the edges.
    const QByteArray line = QByteArray(200, 'l') + "\xC3\xAD\r\n";
    const auto acrossEdges = [&line](const QByteArray& unit, qsizetype shift) {
        QByteArray bytes(shift, 'a');
        while (bytes.size() < 2 * Piece + Piece / 2) {
            const qsizetype fromEdge = bytes.size() % Piece;
            bytes += fromEdge < 32 || fromEdge + line.size() > Piece - 32 ? unit : line;
        }
        return bytes;
    };
    const QByteArray ascii = (QByteArray(200, 'a') + "\r\n").repeated(Piece / 80);
    struct Case {
        std::string name;
        QByteArray bytes;
        TextEncoding encoding;
    };
    std::vector<Case> cases = {
        {"UTF-8 only at the end", ascii + "\xC3\xA9", TextEncoding::Utf8},
        {"broken UTF-8 only at the end", "\xC3\xA9" + ascii + "\xC3", TextEncoding::Windows1252},
        {"Windows-1252 only at the start", "\xE9" + ascii, TextEncoding::Windows1252},
        {"lines as long as allowed",
         QByteArray(brunzit::MaxLineBytes, 'w') + "\r" + QByteArray(brunzit::MaxLineBytes, 'v') + "\n" +
             QByteArray(brunzit::MaxLineBytes, 'u'),
         TextEncoding::Windows1252},
    };
    const QByteArray utf8Unit = "\r\n\xF0\x9F\x98\x80\xE2\x82\xAC\r\xC3\xA0\n";
    const QByteArray cp1252Unit = "\r\n\xE0\r\r\n\n\xE9";
    for (qsizetype shift = 0; shift < utf8Unit.size(); ++shift)
        cases.push_back({"UTF-8 shifted " + std::to_string(shift), acrossEdges(utf8Unit, shift), TextEncoding::Utf8});
    for (qsizetype shift = 0; shift < cp1252Unit.size(); ++shift)
        cases.push_back({"Windows-1252 shifted " + std::to_string(shift), acrossEdges(cp1252Unit, shift),
                         TextEncoding::Windows1252});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk;
        writeBytes(desk.path("long.txt"), c.bytes);
        ASSERT_TRUE(desk.documents.LoadDocument(desk.path("long.txt")));
        const brunzit::DecodedText whole = brunzit::decodeDocument(c.bytes);
        ASSERT_EQ(whole.encoding, c.encoding);
        EXPECT_TRUE(desk.documents.EditorText() == whole.text);
        EXPECT_EQ(desk.documents.Encoding(), c.encoding);
    }
}

// The text goes into the editor while the file is read; when the open fails
// after that (here the file changes under it), the old text comes back whole
// with its undo steps and stays unsaved.
TEST(Documents, AnOpenThatFailsHalfWayKeepsTheOldText) {
    Desk desk;
    const QString path = desk.path("changing.txt");
    writeBytes(path, (QByteArray(200, 'l') + "\xEDnia\r\n").repeated(5 * brunzit::DocumentPieceBytes / 200));
    typeText(desk.editor, QStringLiteral("kept"));
    QTextDocument* const old = desk.editor.document();
    // Changed as the new text goes into the editor: the reading thread, at
    // most a few pieces ahead, has not finished yet.
    bool changed = false;
    QObject::connect(&desk.editor, &QPlainTextEdit::textChanged, &desk.window, [&] {
        if (changed || desk.editor.document() == old)
            return;
        QFile file(path);
        changed = file.open(QIODevice::Append) && file.write("more\r\n") == 6;
    });
    EXPECT_FALSE(desk.documents.LoadDocument(path));
    ASSERT_TRUE(changed);
    EXPECT_EQ(desk.editor.document(), old);
    EXPECT_EQ(desk.documents.EditorText(), QStringLiteral("kept"));
    EXPECT_TRUE(desk.modified());
    EXPECT_EQ(desk.documents.DocumentName(), QStringLiteral("Sense nom"));
    ASSERT_EQ(desk.errors.size(), 1u);
    EXPECT_TRUE(desk.errors[0].contains(QStringLiteral("canviat")));
    desk.editor.undo();
    EXPECT_EQ(desk.documents.EditorText(), QString());
}

TEST(Documents, QuestionBeforeDroppingText) {
    struct Case {
        const char* name;
        bool modified;
        bool named;
        QMessageBox::StandardButton answer;
        bool fileChosen;  // in the save dialog, when one is shown
        bool mayDrop;
        int questions, saveDialogs;
        bool written;
    };
    const Case cases[] = {
        {"not modified", false, false, QMessageBox::Yes, true, true, 0, 0, false},
        {"cancel", true, false, QMessageBox::Cancel, true, false, 1, 0, false},
        {"no", true, true, QMessageBox::No, true, true, 1, 0, false},
        {"yes, untitled, dialog cancelled", true, false, QMessageBox::Yes, false, false, 1, 1, false},
        {"yes, untitled, file chosen", true, false, QMessageBox::Yes, true, true, 1, 1, true},
        {"yes, named", true, true, QMessageBox::Yes, true, true, 1, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk;
        const QString path = desk.path("named.txt");
        if (c.named) {
            writeBytes(path, "");
            ASSERT_TRUE(desk.documents.LoadDocument(path));
        } else {
            desk.fileToSave = c.fileChosen ? path : QString();
        }
        if (c.modified)
            typeText(desk.editor, QStringLiteral("text"));
        desk.answers = {c.answer};
        EXPECT_EQ(desk.documents.CloseQuery(), c.mayDrop);
        ASSERT_EQ(static_cast<int>(desk.questions.size()), c.questions);
        if (c.questions) {
            const QString name = c.named ? path : QStringLiteral("Sense nom");
            EXPECT_EQ(desk.questions[0], QStringLiteral("Salvar canvis a %1?").arg(name));
        }
        EXPECT_EQ(desk.saveDialogs, c.saveDialogs);
        EXPECT_EQ(readBytes(path) == QByteArray("text"), c.written);
    }
}

TEST(Documents, SaveAsOntoAnExistingFile) {
    struct Case {
        QMessageBox::StandardButton answer;
        bool written;
    };
    const Case cases[] = {
        {QMessageBox::Yes, true},
        {QMessageBox::No, false},
        {QMessageBox::Cancel, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        Desk desk;
        const QString path = desk.path("existing.txt");
        writeBytes(path, "before");
        typeText(desk.editor, QStringLiteral("after"));
        desk.fileToSave = path;
        desk.answers = {c.answer};
        EXPECT_EQ(desk.documents.SaveDocumentAs(), c.written);
        ASSERT_EQ(desk.questions.size(), 1u);
        EXPECT_EQ(desk.questions[0], QStringLiteral("OK per sobreescriure %1").arg(path));
        EXPECT_EQ(readBytes(path), c.written ? QByteArray("after") : QByteArray("before"));
        EXPECT_EQ(desk.documents.DocumentName(), c.written ? path : QStringLiteral("Sense nom"));
        EXPECT_EQ(desk.modified(), !c.written);
    }
}

TEST(Documents, SaveOnAnUntitledTextAsksForAName) {
    Desk desk;
    typeText(desk.editor, QStringLiteral("nou"));
    desk.fileToSave = desk.path("nou.txt");
    EXPECT_TRUE(desk.documents.SaveDocument());
    EXPECT_EQ(desk.saveDialogs, 1);
    EXPECT_TRUE(desk.questions.empty());
    EXPECT_EQ(readBytes(desk.fileToSave), QByteArray("nou"));
    EXPECT_EQ(desk.window.windowTitle(), QStringLiteral("nou.txt - brunzit"));
}

TEST(Documents, NewAndOpen) {
    Desk desk;
    const QString path = desk.path("a.txt");
    writeBytes(path, "contingut");
    typeText(desk.editor, QStringLiteral("unsaved"));

    // Cancelled: nothing happens, not even the open dialog.
    desk.fileToOpen = path;
    desk.answers = {QMessageBox::Cancel};
    desk.documents.Open();
    EXPECT_EQ(desk.openDialogs, 0);
    EXPECT_EQ(desk.documents.EditorText(), QStringLiteral("unsaved"));

    desk.answers = {QMessageBox::No};
    desk.editor.setReadOnly(true);
    desk.documents.Open();
    EXPECT_EQ(desk.documents.EditorText(), QStringLiteral("contingut"));
    EXPECT_FALSE(desk.editor.isReadOnly());
    EXPECT_EQ(desk.window.windowTitle(), QStringLiteral("a.txt - brunzit"));

    typeText(desk.editor, QStringLiteral(" more"));
    desk.answers = {QMessageBox::No};
    desk.documents.New();
    EXPECT_EQ(desk.documents.EditorText(), QString());
    EXPECT_FALSE(desk.modified());
    EXPECT_EQ(desk.documents.DocumentName(), QStringLiteral("Sense nom"));
    EXPECT_EQ(desk.window.windowTitle(), QStringLiteral("Sense nom - brunzit"));
    EXPECT_EQ(readBytes(path), QByteArray("contingut"));
}

TEST(Documents, Captions) {
    struct Case {
        const char* name;
        QString documentName;
        QString caption;
    };
    const Case cases[] = {
        {"untitled", QStringLiteral("Sense nom"), QStringLiteral("Sense nom - brunzit")},
        {"full path", QStringLiteral("/home/u/cartes/carta.txt"), QStringLiteral("carta.txt - brunzit")},
        {"modified marker in a name", QStringLiteral("/tmp/a[*].txt"), QStringLiteral("a[*].txt - brunzit")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Desk desk;
        desk.window.winId();  // the caption as the window system shows it
        desk.documents.SetDocumentName(c.documentName);
        EXPECT_EQ(desk.documents.DocumentName(), c.documentName);
        EXPECT_EQ(desk.window.windowHandle()->title(), c.caption);
    }
}

TEST(Documents, CopyPutsTheWholeTextOnTheClipboard) {
    Desk desk;
    typeText(desk.editor, QString::fromUtf16(u"primera\nsegona\u00a0l\u00ednia"));
    QTextCursor cursor(desk.editor.document());
    cursor.setPosition(2);
    cursor.setPosition(5, QTextCursor::KeepAnchor);
    desk.editor.setTextCursor(cursor);
    desk.documents.CopyToFolder();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf16(u"primera\nsegona\u00a0l\u00ednia"));
    EXPECT_EQ(desk.editor.textCursor().selectedText(), QStringLiteral("ime"));
}

TEST(Documents, PrintingOnlyWhenConfirmed) {
    for (const bool confirm : {true, false}) {
        SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
        Desk desk;
        const QString pdf = desk.path("out.pdf");
        typeText(desk.editor, QStringLiteral("Hola"));
        desk.documents.SetDocumentName(QStringLiteral("/tmp/carta.txt"));
        QString jobName;
        desk.documents.Dialogs().confirmPrint = [&](QPrinter& printer) {
            jobName = printer.docName();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return confirm;
        };
        desk.documents.Print();
        EXPECT_EQ(jobName, QStringLiteral("/tmp/carta.txt"));
        EXPECT_EQ(readBytes(pdf).startsWith("%PDF"), confirm);
    }
}

}  // namespace
