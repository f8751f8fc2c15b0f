#include "editor/documents.h"

#include <QClipboard>
#include <QEventLoop>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextDocumentLayout>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>
#include <QThread>
#include <QTextCursor>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/cp1252.h"

namespace brunzit {

namespace {

const QString TextFilesFilter = QStringLiteral("Text Files (*.txt)");

// The characters of the 256 Windows-1252 bytes, and the byte of each
// character (-1: none), taken once from the system's code-page conversion.
struct CodePage {
    std::array<char16_t, 256> character{};
    std::vector<std::int16_t> byte = std::vector<std::int16_t>(0x10000, -1);

    CodePage() {
        for (int b = 0; b < 256; ++b) {
            const QString one = QString::fromStdString(cp1252ToUtf8(std::string(1, static_cast<char>(b))));
            character[static_cast<std::size_t>(b)] = one.size() == 1 ? one[0].unicode() : u'\uFFFD';
        }
        for (int b = 255; b >= 0; --b)
            byte[character[static_cast<std::size_t>(b)]] = static_cast<std::int16_t>(b);
    }
};

const CodePage& codePage() {
    static const CodePage table;
    return table;
}

// CR LF and lone CR become '\n'.
void unifyLineBreaks(QString& text) {
    if (!text.contains(u'\r'))
        return;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
}

QByteArray utf8WithCrLf(const QString& text, bool byteOrderMark) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + utf8.count('\n') + 3);
    if (byteOrderMark)
        out += "\xEF\xBB\xBF";
    for (const char c : utf8) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

bool hasNonAscii(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return true;
    }
    return false;
}

QFileDialog* makeFileDialog(QWidget* parent, const QString& title, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(parent, title, QCoreApplication::applicationDirPath(), TextFilesFilter);
    dialog->setAccessibleName(title);
    dialog->setAcceptMode(mode);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    return dialog;
}

// What the worker thread of LoadDocument hands back: a document ready for
// the editor, or the reason the file could not be read.
struct LoadedFile {
    QTextDocument* document = nullptr;
    QString error;
    TextEncoding encoding = TextEncoding::Windows1252;
    bool byteOrderMark = false;
};

// Why a file that is not a regular file cannot be opened as a document.
QString notARegularFile(mode_t mode) {
    if (S_ISDIR(mode))
        return QStringLiteral("\u00C9s una carpeta, no un fitxer de text.");
    if (S_ISFIFO(mode))
        return QStringLiteral("\u00C9s una canonada (FIFO), no un fitxer de text.");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("\u00C9s un dispositiu, no un fitxer de text.");
    return QStringLiteral("No \u00E9s un fitxer de text normal.");
}

QString tooLarge() {
    return QStringLiteral("El fitxer \u00E9s massa gran: nom\u00E9s es poden obrir fitxers de fins a %1 MB.")
        .arg(MaxDocumentBytes / (1024 * 1024));
}

// The whole file, or the reason it cannot be a document. The type is taken
// from the opened descriptor (a name checked first could be swapped before
// the open), and the open does not wait: a named pipe or a device gets its
// message at once instead of hanging the editor.
bool readRegularFile(const QString& path, QByteArray& bytes, QString& error) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = notARegularFile(info.st_mode);
        ::close(fd);
        return false;
    }
    if (info.st_size > MaxDocumentBytes) {
        error = tooLarge();
        ::close(fd);
        return false;
    }
    // One byte more than the limit tells a file that grew past it meanwhile.
    bytes.resize(static_cast<qsizetype>(info.st_size) + 1);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > MaxDocumentBytes)
                break;
            bytes.resize(std::min<qsizetype>(got * 2 + 4096, MaxDocumentBytes + 1));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, static_cast<std::size_t>(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        got += n;
    }
    ::close(fd);
    if (got > MaxDocumentBytes) {
        error = tooLarge();
        return false;
    }
    bytes.truncate(got);
    return true;
}

// Where a piece of at most about size bytes from start may end: not inside
// a UTF-8 sequence, not between CR and LF.
qsizetype pieceEnd(const QByteArray& bytes, qsizetype start, qsizetype size) {
    qsizetype end = std::min(bytes.size(), start + size);
    while (end < bytes.size() && ((static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80 || bytes[end - 1] == '\r'))
        ++end;
    return end;
}

LoadedFile readDocument(const QString& path, QThread* uiThread) {
    LoadedFile loaded;
    QByteArray bytes;
    if (!readRegularFile(path, bytes, loaded.error))
        return loaded;
    static const QByteArray Bom("\xEF\xBB\xBF");
    const bool bom = bytes.startsWith(Bom);
    loaded.encoding = (bom || hasNonAscii(bytes)) && QByteArrayView(bytes).isValidUtf8() ? TextEncoding::Utf8
                                                                                         : TextEncoding::Windows1252;
    loaded.byteOrderMark = bom && loaded.encoding == TextEncoding::Utf8;
    auto* document = new QTextDocument;
    document->setUndoRedoEnabled(false);
    // The text goes in piece by piece, so that the file, the document and
    // one piece are all the memory an open takes: a whole decoded copy
    // beside the document would double it.
    QTextCursor cursor(document);
    constexpr qsizetype Piece = 1 << 20;
    for (qsizetype start = loaded.byteOrderMark ? 3 : 0; start < bytes.size();) {
        const qsizetype end = pieceEnd(bytes, start, Piece);
        cursor.insertText(decodeAs(QByteArrayView(bytes).sliced(start, end - start), loaded.encoding));
        start = end;
    }
    bytes = QByteArray();
    document->setUndoRedoEnabled(true);
    document->moveToThread(uiThread);
    loaded.document = document;
    return loaded;
}

QString runFileDialog(QFileDialog* dialog) {
    if (dialog->exec() != QDialog::Accepted)
        return {};
    return dialog->selectedFiles().value(0);
}

}  // namespace

QString decodeAs(QByteArrayView bytes, TextEncoding encoding) {
    if (encoding == TextEncoding::Utf8) {
        QString text = QString::fromUtf8(bytes);
        unifyLineBreaks(text);
        return text;
    }
    // One pass, line breaks included: a 10 MB file must open quickly.
    const CodePage& table = codePage();
    QString text;
    text.resize(bytes.size());
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    char16_t* const begin = out;
    const qsizetype size = bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '\r') {
            *out++ = u'\n';
            if (i + 1 < size && bytes[i + 1] == '\n')
                ++i;
        } else {
            *out++ = table.character[b];
        }
    }
    text.truncate(out - begin);
    return text;
}

DecodedText decodeDocument(const QByteArray& bytes) {
    static const QByteArray Bom("\xEF\xBB\xBF");
    DecodedText decoded;
    const bool bom = bytes.startsWith(Bom);
    if ((bom || hasNonAscii(bytes)) && QByteArrayView(bytes).isValidUtf8()) {
        decoded.encoding = TextEncoding::Utf8;
        decoded.byteOrderMark = bom;
        decoded.text = decodeAs(QByteArrayView(bytes).sliced(bom ? 3 : 0), TextEncoding::Utf8);
        return decoded;
    }
    decoded.text = decodeAs(bytes, TextEncoding::Windows1252);
    return decoded;
}

QByteArray encodeDocument(const QString& text, TextEncoding preferred, bool byteOrderMark, TextEncoding* used) {
    if (preferred == TextEncoding::Windows1252) {
        const CodePage& table = codePage();
        QByteArray bytes;
        bytes.resize(text.size() + text.count(u'\n'));
        char* out = bytes.data();
        bool fits = true;
        for (const QChar c : text) {
            if (c == u'\n') {
                *out++ = '\r';
                *out++ = '\n';
                continue;
            }
            const std::int16_t b = table.byte[c.unicode()];
            if (b < 0) {
                fits = false;
                break;
            }
            *out++ = static_cast<char>(b);
        }
        if (fits) {
            if (used)
                *used = TextEncoding::Windows1252;
            return bytes;
        }
    }
    // UTF-8: asked for, or the only way to keep every character.
    if (used)
        *used = TextEncoding::Utf8;
    return utf8WithCrLf(text, byteOrderMark && preferred == TextEncoding::Utf8);
}

QString fileNamePart(const QString& documentName) {
    return documentName.mid(documentName.lastIndexOf(u'/') + 1);
}

DocumentCommands::DocumentCommands(QPlainTextEdit* editor, QWidget* window, QObject* parent)
    : QObject(parent), editor_(editor), window_(window), applicationTitle_(QCoreApplication::applicationName()) {
    SetStandardDialogs();
    SetDocumentName(QString::fromLatin1(UntitledDocumentName));
}

DocumentCommands::~DocumentCommands() = default;

void DocumentCommands::SetStandardDialogs() {
    dialogs_.ask = [this](const QString& question) {
        QMessageBox box(QMessageBox::Question, applicationTitle_, question,
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, window_);
        box.setEscapeButton(QMessageBox::Cancel);
        const int answer = box.exec();
        return static_cast<QMessageBox::StandardButton>(answer);
    };
    dialogs_.chooseFileToOpen = [this] {
        if (!openDialog_) {
            QFileDialog* const own = makeFileDialog(window_, QStringLiteral("Obrir"), QFileDialog::AcceptOpen);
            own->setFileMode(QFileDialog::ExistingFile);
            openDialog_ = [own] { return own; };
        }
        return runFileDialog(openDialog_());
    };
    dialogs_.chooseFileToSave = [this] {
        if (!saveDialog_) {
            QFileDialog* const own = makeFileDialog(window_, QStringLiteral("Salvar"), QFileDialog::AcceptSave);
            saveDialog_ = [own] { return own; };
        }
        QFileDialog* const dialog = saveDialog_();
        // The command asks its own question about an existing file.
        dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
        return runFileDialog(dialog);
    };
    dialogs_.confirmPrint = [this](QPrinter& printer) {
        if (!printDialog_) {
            printDialog_ = new QPrintDialog(&printer, window_);
            printDialog_->setAccessibleName(QStringLiteral("PrintDialog"));
        }
        return printDialog_->exec() == QDialog::Accepted;
    };
    dialogs_.showError = [this](const QString& message) {
        QMessageBox::critical(window_, applicationTitle_, message);
    };
}

void DocumentCommands::UseFileDialogs(FileDialogSource openDialog, FileDialogSource saveDialog) {
    openDialog_ = std::move(openDialog);
    saveDialog_ = std::move(saveDialog);
}

void DocumentCommands::SetApplicationTitle(const QString& title) {
    applicationTitle_ = title;
    SetDocumentName(documentName_);
}

void DocumentCommands::SetDocumentName(const QString& name) {
    documentName_ = name;
    if (window_) {
        // "[*]" in a caption marks the modified state; a file may be named so.
        QString shown = fileNamePart(name);
        shown.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
        window_->setWindowTitle(QStringLiteral("%1 - %2").arg(shown, applicationTitle_));
    }
    emit DocumentNameChanged(name);
}

QString DocumentCommands::EditorText() const {
    QString text = editor_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    return text;
}

bool DocumentCommands::QuerySaveChanges() {
    if (!editor_->document()->isModified())
        return true;
    switch (dialogs_.ask(QStringLiteral("Salvar canvis a %1?").arg(documentName_))) {
    case QMessageBox::Cancel:
        return false;
    case QMessageBox::Yes:
        return SaveDocument();
    default:
        return true;
    }
}

bool DocumentCommands::LoadDocument(const QString& path) {
    // A load started by a timer while this one waits is refused.
    if (loading_)
        return false;
    loading_ = true;
    // Reading, decoding and laying the text into a document take a few
    // hundred milliseconds for a 10 MB file; they run on a worker thread
    // while this thread keeps painting and running its timers. Keys and
    // clicks wait until the text is in.
    LoadedFile loaded;
    QEventLoop waiting;
    QThread* const uiThread = QThread::currentThread();
    std::thread worker([&loaded, &waiting, &path, uiThread] {
        try {
            loaded = readDocument(path, uiThread);
        } catch (const std::bad_alloc&) {
            // The text in the editor stays as it was.
            loaded = LoadedFile();
            loaded.error = QStringLiteral("No hi ha prou mem\u00F2ria per obrir-lo.");
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    loading_ = false;

    if (!loaded.document) {
        dialogs_.showError(QStringLiteral("No s'ha pogut obrir el fitxer %1:\n%2").arg(path, loaded.error));
        return false;
    }
    loaded.document->setDefaultFont(editor_->font());
    loaded.document->setDocumentLayout(new QPlainTextDocumentLayout(loaded.document));
    QTextDocument* const old = editor_->document();
    // The editor deletes a document of its own when it gets another; one
    // given by an earlier load is ours to delete.
    const bool ours = old->parent() == editor_;
    editor_->setDocument(loaded.document);
    loaded.document->setParent(editor_);
    if (ours)
        delete old;
    encoding_ = loaded.encoding;
    byteOrderMark_ = loaded.byteOrderMark;
    SetDocumentName(path);
    editor_->setFocus();
    editor_->document()->setModified(false);
    return true;
}

bool DocumentCommands::WriteFile(const QString& path) {
    TextEncoding used = encoding_;
    const QByteArray bytes = encodeDocument(EditorText(), encoding_, byteOrderMark_, &used);
    // A temporary file beside the old one, renamed over it only when all is
    // written: a failure or a crash half-way leaves the old file whole.
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!saved) {
        dialogs_.showError(QStringLiteral("No s'ha pogut desar el fitxer %1:\n%2").arg(path, file.errorString()));
        return false;
    }
    encoding_ = used;
    return true;
}

bool DocumentCommands::SaveDocument() {
    if (documentName_ == QLatin1String(UntitledDocumentName))
        return SaveDocumentAs();
    if (!WriteFile(documentName_))
        return false;
    editor_->document()->setModified(false);
    return true;
}

bool DocumentCommands::SaveDocumentAs() {
    const QString chosen = dialogs_.chooseFileToSave();
    if (chosen.isEmpty())
        return false;
    if (QFileInfo::exists(chosen) &&
        dialogs_.ask(QStringLiteral("OK per sobreescriure %1").arg(chosen)) != QMessageBox::Yes)
        return false;
    if (!WriteFile(chosen))
        return false;
    SetDocumentName(chosen);
    editor_->document()->setModified(false);
    return true;
}

void DocumentCommands::CopyTextToClipboard(const QString& text) {
    QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
}

void DocumentCommands::New() {
    if (!QuerySaveChanges())
        return;
    SetDocumentName(QString::fromLatin1(UntitledDocumentName));
    editor_->clear();
    editor_->document()->setModified(false);
    encoding_ = TextEncoding::Windows1252;
    byteOrderMark_ = false;
}

void DocumentCommands::Open() {
    if (!QuerySaveChanges())
        return;
    const QString chosen = dialogs_.chooseFileToOpen();
    if (chosen.isEmpty())
        return;
    // The open dialog offers no read-only choice, so an opened text is writable.
    if (LoadDocument(chosen))
        editor_->setReadOnly(false);
}

void DocumentCommands::Save() {
    SaveDocument();
}

void DocumentCommands::SaveAs() {
    SaveDocumentAs();
}

void DocumentCommands::Print() {
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer_->setDocName(documentName_);
    if (!dialogs_.confirmPrint(*printer_))
        return;
    printer_->setDocName(documentName_);
    editor_->print(printer_.get());
}

void DocumentCommands::CopyToFolder() {
    CopyTextToClipboard(EditorText());
}

bool DocumentCommands::CloseQuery() {
    // A failing save has shown its message already; the window stays open.
    return QuerySaveChanges();
}

}  // namespace brunzit
