#include "editor/documents.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTextDocument>
#include <string>

#include "platform/cp1252.h"

namespace brunzit {

namespace {

const QString TextFilesFilter = QStringLiteral("Text Files (*.txt)");

// CR LF, lone CR and lone LF all become '\n'.
std::string unifyLineBreaks(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\r') {
            out += '\n';
            if (i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string toCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
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

QString runFileDialog(QFileDialog* dialog) {
    if (dialog->exec() != QDialog::Accepted)
        return {};
    return dialog->selectedFiles().value(0);
}

}  // namespace

DecodedText decodeDocument(const QByteArray& bytes) {
    static const QByteArray Bom("\xEF\xBB\xBF");
    DecodedText decoded;
    const bool bom = bytes.startsWith(Bom);
    if ((bom || hasNonAscii(bytes)) && QByteArrayView(bytes).isValidUtf8()) {
        decoded.encoding = TextEncoding::Utf8;
        decoded.byteOrderMark = bom;
        const std::string_view body(bytes.constData() + (bom ? 3 : 0), bytes.size() - (bom ? 3 : 0));
        decoded.text = QString::fromStdString(unifyLineBreaks(body));
    } else {
        decoded.text = QString::fromStdString(
            cp1252ToUtf8(unifyLineBreaks(std::string_view(bytes.constData(), bytes.size()))));
    }
    return decoded;
}

QByteArray encodeDocument(const QString& text, TextEncoding preferred, bool byteOrderMark, TextEncoding* used) {
    const std::string utf8 = toCrLf(text.toStdString());
    TextEncoding encoding = preferred;
    if (encoding == TextEncoding::Windows1252 && !fitsCp1252(utf8))
        encoding = TextEncoding::Utf8;
    if (used)
        *used = encoding;
    if (encoding == TextEncoding::Windows1252)
        return QByteArray::fromStdString(utf8ToCp1252(utf8));
    QByteArray bytes;
    if (byteOrderMark)
        bytes = QByteArray("\xEF\xBB\xBF");
    bytes += QByteArray::fromStdString(utf8);
    return bytes;
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
            openDialog_ = makeFileDialog(window_, QStringLiteral("Obrir"), QFileDialog::AcceptOpen);
            openDialog_->setFileMode(QFileDialog::ExistingFile);
        }
        return runFileDialog(openDialog_);
    };
    dialogs_.chooseFileToSave = [this] {
        if (!saveDialog_) {
            saveDialog_ = makeFileDialog(window_, QStringLiteral("Salvar"), QFileDialog::AcceptSave);
            // The command asks its own question about an existing file.
            saveDialog_->setOption(QFileDialog::DontConfirmOverwrite, true);
        }
        return runFileDialog(saveDialog_);
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

void DocumentCommands::UseFileDialogs(QFileDialog* openDialog, QFileDialog* saveDialog) {
    openDialog_ = openDialog;
    saveDialog_ = saveDialog;
    if (saveDialog_)
        saveDialog_->setOption(QFileDialog::DontConfirmOverwrite, true);
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
    QFile file(path);
    QByteArray bytes;
    bool read = file.open(QIODevice::ReadOnly);
    if (read) {
        bytes = file.readAll();
        read = file.error() == QFileDevice::NoError;
    }
    if (!read) {
        dialogs_.showError(QStringLiteral("No s'ha pogut obrir el fitxer %1:\n%2").arg(path, file.errorString()));
        return false;
    }
    const DecodedText decoded = decodeDocument(bytes);
    editor_->setPlainText(decoded.text);
    encoding_ = decoded.encoding;
    byteOrderMark_ = decoded.byteOrderMark;
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
