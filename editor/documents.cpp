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
#include <QTextCursor>
#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <cstdint>
#include <cstring>
#include <mutex>
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

QString lineTooLong() {
    return QStringLiteral("El fitxer t\u00E9 una l\u00EDnia massa llarga: nom\u00E9s es poden obrir fitxers amb "
                          "l\u00EDnies de fins a %1 MB.")
        .arg(MaxLineBytes / (1024 * 1024));
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool isContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Hands the bytes of fd, from its start, to take in pieces of at most
// DocumentPieceBytes that end neither inside a UTF-8 character nor between
// CR and LF, so that each piece decodes on its own. total counts the bytes.
// False, with the reason, on a read error or a file past the size limit
// (one that grew while it was read included), or when take says stop.
bool readPieces(int fd, qsizetype& total, QString& error, const std::function<bool(QByteArrayView)>& take) {
    QByteArray buffer(DocumentPieceBytes, Qt::Uninitialized);
    qsizetype held = 0;
    bool end = false;
    total = 0;
    while (!end || held > 0) {
        while (!end && held < buffer.size()) {
            const ssize_t n = ::pread(fd, buffer.data() + held, static_cast<std::size_t>(buffer.size() - held),
                                      static_cast<off_t>(total));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = systemError();
                return false;
            }
            end = n == 0;
            held += n;
            total += n;
            if (total > MaxDocumentBytes) {
                error = tooLarge();
                return false;
            }
        }
        qsizetype cut = held;
        if (!end) {
            // The byte after the piece decides where it may end.
            cut = held - 1;
            while (cut > held - 4 && isContinuationByte(buffer[cut]))
                --cut;
            if (buffer[cut - 1] == '\r')
                --cut;
        }
        if (cut > 0 && !take(QByteArrayView(buffer).first(cut)))
            return false;
        std::memmove(buffer.data(), buffer.data() + cut, static_cast<std::size_t>(held - cut));
        held -= cut;
    }
    return true;
}

// What the reading thread hands to the interface thread: decoded pieces, a
// few at a time, then the outcome.
struct Handover {
    static constexpr std::size_t MostWaiting = 2;
    std::mutex mutex;
    std::condition_variable space;
    std::deque<QString> pieces;
    bool finished = false;   // no more pieces will come
    bool cancelled = false;  // the interface thread takes no more
    QString error;           // why the file is not a document
    TextEncoding encoding = TextEncoding::Windows1252;
    bool byteOrderMark = false;

    // Waits while the interface thread is behind; false once it takes no more.
    bool Hand(QString piece, const std::function<void()>& wake) {
        std::unique_lock lock(mutex);
        space.wait(lock, [this] { return cancelled || pieces.size() < MostWaiting; });
        if (cancelled)
            return false;
        pieces.push_back(std::move(piece));
        lock.unlock();
        wake();
        return true;
    }
    void Cancel() {
        {
            const std::lock_guard lock(mutex);
            cancelled = true;
        }
        space.notify_all();
    }
};

// Reads the file twice, a piece at a time, so that never more than a few
// pieces of it are held: once to tell its encoding (UTF-8 only if all of it
// is), once to decode it. A file changed in between is refused rather than
// opened half old, half new. The type is taken from the opened descriptor
// (a name checked first could be swapped before the open), and the open
// does not wait: a named pipe or a device gets its message at once instead
// of hanging the editor.
QString readDocument(const QString& path, Handover& handover, const std::function<void()>& wake) {
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return systemError();
    struct stat before {};
    if (::fstat(fd.get(), &before) != 0 || !S_ISREG(before.st_mode))
        return notARegularFile(before.st_mode);
    if (before.st_size > MaxDocumentBytes)
        return tooLarge();

    static const QByteArrayView Bom("\xEF\xBB\xBF");
    bool first = true, bom = false, nonAscii = false, utf8 = true;
    qsizetype checked = 0, lineBytes = 0;
    QString error;
    const bool whole = readPieces(fd.get(), checked, error, [&](QByteArrayView piece) {
        if (first)
            bom = piece.startsWith(Bom);
        first = false;
        nonAscii = nonAscii || std::any_of(piece.begin(), piece.end(), [](char c) { return c & 0x80; });
        utf8 = utf8 && piece.isValidUtf8();
        // CR and LF are the only line breaks the editor's lines end at.
        for (const char c : piece) {
            lineBytes = c == '\n' || c == '\r' ? 0 : lineBytes + 1;
            if (lineBytes > MaxLineBytes) {
                error = lineTooLong();
                return false;
            }
        }
        return true;
    });
    if (!whole)
        return error;
    const TextEncoding encoding = (bom || nonAscii) && utf8 ? TextEncoding::Utf8 : TextEncoding::Windows1252;
    handover.encoding = encoding;
    handover.byteOrderMark = bom && encoding == TextEncoding::Utf8;

    first = true;
    qsizetype decoded = 0;
    const bool handed = readPieces(fd.get(), decoded, error, [&](QByteArrayView piece) {
        if (first && handover.byteOrderMark)
            piece = piece.sliced(Bom.size());
        first = false;
        return handover.Hand(decodeAs(piece, encoding), wake);
    });
    if (!handed)
        return error;
    struct stat after {};
    if (::fstat(fd.get(), &after) != 0)
        return systemError();
    if (decoded != checked || after.st_size != before.st_size || after.st_mtim.tv_sec != before.st_mtim.tv_sec ||
        after.st_mtim.tv_nsec != before.st_mtim.tv_nsec)
        return QStringLiteral("El fitxer ha canviat mentre es llegia.");
    return {};
}

// A new document in the editor, filled a piece at a time; until it is kept,
// the editor's old document waits aside, whole, with its undo steps, and
// goes back into the editor if the open fails.
//
// The new document goes into the editor while it is still empty: a document
// handed over full gets a layout record for each of its lines (about 300
// bytes a line, four times a file of short lines), while one filled in the
// editor lays out only the lines on the screen. The filling is one edit,
// unseen until it ends: laid out after every piece, a long line would be
// laid out again and again.
class IncomingDocument {
public:
    explicit IncomingDocument(QPlainTextEdit* editor)
        : editor_(editor), old_(editor->document()), oldOwner_(old_->parent()) {}
    ~IncomingDocument() { Restore(); }
    IncomingDocument(const IncomingDocument&) = delete;
    IncomingDocument& operator=(const IncomingDocument&) = delete;

    void Append(const QString& piece) {
        if (!document_)
            Begin();
        cursor_.insertText(piece);
    }

    // The old document back in the editor, the new one gone.
    void Restore() {
        if (!document_ || kept_)
            return;
        cursor_ = QTextCursor();
        old_->setParent(oldOwner_);
        editor_->setDocument(old_);
        delete document_;
        document_ = nullptr;
        editor_->setUpdatesEnabled(true);
    }

    // The old document goes if it was the editor's own.
    void Keep() {
        if (!document_)
            Begin();
        cursor_.endEditBlock();
        cursor_ = QTextCursor();
        document_->blockSignals(false);
        document_->setUndoRedoEnabled(true);
        document_->setModified(false);
        editor_->setUpdatesEnabled(true);
        kept_ = true;
        if (oldOwner_ == editor_ || (oldOwner_ && oldOwner_->parent() == editor_))
            delete old_;
        else
            old_->setParent(oldOwner_);
    }

private:
    void Begin() {
        document_ = new QTextDocument(editor_);
        document_->setUndoRedoEnabled(false);
        document_->setDefaultFont(editor_->font());
        document_->setDocumentLayout(new QPlainTextDocumentLayout(document_));
        // The editor deletes a document of its own when it gets another.
        old_->setParent(nullptr);
        editor_->setDocument(document_);
        // The editor's text control would take the text as typed and pass
        // all of it to a screen reader; the layout still follows.
        document_->blockSignals(true);
        editor_->setUpdatesEnabled(false);
        cursor_ = QTextCursor(document_);
        cursor_.beginEditBlock();
    }

    QPlainTextEdit* editor_;
    QTextDocument* old_;
    QObject* oldOwner_;
    QTextDocument* document_ = nullptr;
    QTextCursor cursor_;
    bool kept_ = false;
};

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
    // A worker thread reads and decodes the file; this thread puts each
    // piece into the editor as it comes and paints and runs its timers in
    // between, so a 10 MB file never stops the window for long. Keys and
    // clicks wait until the text is in.
    Handover handover;
    IncomingDocument incoming(editor_);
    QString failure;
    QEventLoop waiting;
    QObject receiver;
    // One call per piece, then one for the end.
    const auto takePiece = [&] {
        std::unique_lock lock(handover.mutex);
        if (handover.pieces.empty()) {
            if (handover.finished)
                waiting.quit();
            return;
        }
        const QString piece = std::move(handover.pieces.front());
        handover.pieces.pop_front();
        lock.unlock();
        handover.space.notify_one();
        if (!failure.isEmpty())
            return;
        try {
            incoming.Append(piece);
        } catch (const std::bad_alloc&) {
            failure = QStringLiteral("No hi ha prou mem\u00F2ria per obrir-lo.");
            handover.Cancel();
            waiting.quit();
        }
    };
    std::thread worker([&] {
        const auto wake = [&] { QMetaObject::invokeMethod(&receiver, takePiece, Qt::QueuedConnection); };
        QString error;
        try {
            error = readDocument(path, handover, wake);
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("No hi ha prou mem\u00F2ria per obrir-lo.");
        }
        {
            const std::lock_guard lock(handover.mutex);
            handover.error = error;
            handover.finished = true;
        }
        wake();
    });
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    handover.Cancel();
    worker.join();
    loading_ = false;

    if (failure.isEmpty())
        failure = handover.error;
    if (!failure.isEmpty()) {
        // The text in the editor stays as it was.
        incoming.Restore();
        dialogs_.showError(QStringLiteral("No s'ha pogut obrir el fitxer %1:\n%2").arg(path, failure));
        return false;
    }
    incoming.Keep();
    encoding_ = handover.encoding;
    byteOrderMark_ = handover.byteOrderMark;
    SetDocumentName(path);
    editor_->setFocus();
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
