#pragma once
// The editor's one document: its name in the window's caption, the commands
// new, open, save, save as, print and copy to the clipboard, and the question
// asked before unsaved text would be dropped.
//
// Documents are Windows-1252 text with CR LF line breaks. A file that is
// valid UTF-8 and holds non-ASCII characters is read as UTF-8 and saved back
// as UTF-8; text that Windows-1252 cannot hold is saved as UTF-8 rather than
// lost. Files with LF (or lone CR) line breaks open as well.

#include <QByteArray>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QFileDialog;
class QPlainTextEdit;
class QPrintDialog;
class QPrinter;
class QWidget;

namespace brunzit {

inline constexpr char UntitledDocumentName[] = "Sense nom";

enum class TextEncoding { Windows1252, Utf8 };

struct DecodedText {
    QString text;  // line breaks as '\n'
    TextEncoding encoding = TextEncoding::Windows1252;
    bool byteOrderMark = false;  // a UTF-8 file that began with one keeps it
};

DecodedText decodeDocument(const QByteArray& bytes);
// bytes in the given encoding, line breaks made '\n'.
QString decodeAs(QByteArrayView bytes, TextEncoding encoding);

// How many bytes of a file are decoded and put into the editor at a time.
inline constexpr qsizetype DocumentPieceBytes = qsizetype(256) * 1024;

// Larger files are not opened: the editor would hold several times their size.
inline constexpr qsizetype MaxDocumentBytes = qsizetype(64) * 1024 * 1024;
// Nor files with a longer line: the editor lays out a line whole, at about
// 40 bytes a character, on the interface thread (a 60 MB file without a line
// break took 2.4 GB and 17 s).
inline constexpr qsizetype MaxLineBytes = qsizetype(1) * 1024 * 1024;

// Line breaks become CR LF. Windows-1252 unless preferred is UTF-8 or the
// text holds a character Windows-1252 lacks; used tells which was written.
QByteArray encodeDocument(const QString& text, TextEncoding preferred, bool byteOrderMark = false,
                          TextEncoding* used = nullptr);

// The text after the last '/': what the caption shows of a document name.
QString fileNamePart(const QString& documentName);

// Everything the commands ask the user, replaceable so that tests can answer.
struct DocumentDialogs {
    // A Yes / No / Cancel question; closing the box answers Cancel.
    std::function<QMessageBox::StandardButton(const QString& question)> ask;
    // The chosen path, or an empty text when the user cancelled.
    std::function<QString()> chooseFileToOpen;
    std::function<QString()> chooseFileToSave;
    // The printer dialog on printer; true when the user confirmed it.
    std::function<bool(QPrinter& printer)> confirmPrint;
    std::function<void(const QString& message)> showError;
};

class DocumentCommands : public QObject {
    Q_OBJECT
public:
    // window gets the caption and parents the dialogs. The commands start
    // with message boxes and dialogs of their own; UseFileDialogs puts the
    // window's file dialogs in their place, each asked for when first needed.
    DocumentCommands(QPlainTextEdit* editor, QWidget* window, QObject* parent = nullptr);
    ~DocumentCommands() override;

    using FileDialogSource = std::function<QFileDialog*()>;
    void UseFileDialogs(FileDialogSource openDialog, FileDialogSource saveDialog);
    DocumentDialogs& Dialogs() { return dialogs_; }
    // Made when first needed.
    QPrintDialog* PrintDialog() const { return printDialog_; }

    // The title after the document name in the caption; the application's
    // name unless set.
    void SetApplicationTitle(const QString& title);

    const QString& DocumentName() const { return documentName_; }
    // A document is being read on the worker thread.
    bool Loading() const { return loading_; }
    TextEncoding Encoding() const { return encoding_; }

    void SetDocumentName(const QString& name);
    bool QuerySaveChanges();
    bool LoadDocument(const QString& path);
    bool SaveDocument();
    bool SaveDocumentAs();
    static void CopyTextToClipboard(const QString& text);

    // The menu commands.
    void New();
    void Open();
    void Save();
    void SaveAs();
    void Print();
    void CopyToFolder();
    // May the main window close?
    bool CloseQuery();

    // The editor's text with '\n' line breaks, every character as typed
    // (QPlainTextEdit::toPlainText turns no-break spaces into blanks).
    QString EditorText() const;

Q_SIGNALS:
    void DocumentNameChanged(const QString& name);

private:
    bool WriteFile(const QString& path);
    void SetStandardDialogs();

    QPlainTextEdit* editor_;
    QWidget* window_;
    DocumentDialogs dialogs_;
    QString documentName_;
    QString applicationTitle_;
    TextEncoding encoding_ = TextEncoding::Windows1252;
    bool loading_ = false;
    bool byteOrderMark_ = false;
    FileDialogSource openDialog_;
    FileDialogSource saveDialog_;
    QPrintDialog* printDialog_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
};

}  // namespace brunzit
