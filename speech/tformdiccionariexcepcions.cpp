#include "speech/tformdiccionariexcepcions.h"

#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>

#include "platform/paths.h"
#include "speech/unitfileini.h"

namespace {

const std::string kSection = "FormDiccionariExcepcions";
const std::string kKeyInUse = "HiHaDiccionariExcepcions";
const std::string kKeyFileName = "NomFitxerDiccionariExcepcions";

}  // namespace

TFormDiccionariExcepcions::TFormDiccionariExcepcions(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("FormDiccionariExcepcions"));
    setAccessibleName(QStringLiteral("Diccionari d'excepcions"));

    inUse_.enabled = false;
    brunzit::OpenProgramIni();
    if (brunzit::ReadIniString(kSection, kKeyInUse, "NO") == "SI") {
        dictionaryFileName_ = brunzit::ReadIniString(kSection, kKeyFileName, "");
        if (!dictionaryFileName_.empty())
            LoadDictionary(dictionaryFileName_);
    }
}

QFileDialog* TFormDiccionariExcepcions::openDialog()
{
    if (FormOpenDialogDiccionariExcepcions)
        return FormOpenDialogDiccionariExcepcions;
    FormOpenDialogDiccionariExcepcions =
        new QFileDialog(this, QStringLiteral("TAMBORI - Obrir diccionari d'excepcions"));
    QFileDialog* dialog = FormOpenDialogDiccionariExcepcions;
    dialog->setObjectName(QStringLiteral("FormOpenDialogDiccionariExcepcions"));
    dialog->setAccessibleName(QStringLiteral("Obrir diccionari d'excepcions"));
    // Qt's own dialog, so that its title and position are the ones set here.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->setNameFilters({QStringLiteral("TXT (*.txt)"), QStringLiteral("Tot tipus de fitxers (*)")});
    dialog->setDirectory(QFile::decodeName(QByteArray::fromStdString(brunzit::executableFolder())));

    return dialog;
}

void TFormDiccionariExcepcions::ApplyExceptions(std::string& text) const
{
    inUse_.apply(text);
}

bool TFormDiccionariExcepcions::ChooseDictionary()
{
    QFileDialog* dialog = openDialog();
    // Centred across the screen, a third of the free height from its top.
    dialog->adjustSize();
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        const QSize size = dialog->size();
        dialog->move(free.x() + (free.width() - size.width()) / 2,
                     free.y() + (free.height() - size.height()) / 3);
    }
    if (dialog->exec() == QDialog::Accepted) {
        const QStringList files = dialog->selectedFiles();
        if (!files.isEmpty())
            LoadDictionary(QFile::encodeName(files.first()).toStdString());
    }
    return inUse_.enabled;
}

bool TFormDiccionariExcepcions::LoadDictionary(const std::string& path)
{
    inUse_.enabled = false;
    const auto status = inUse_.table.loadFromFile(path);
    if (status == brunzit::ExceptionDictionary::LoadStatus::ReadFailed) {
        // The stored choice stays, so the next start tries that file again.
        brunzit::WriteIniString(kSection, kKeyInUse, "SI");
        brunzit::WriteIniString(kSection, kKeyFileName, dictionaryFileName_);
        return false;
    }
    if (inUse_.table.ExceptionCount() > 0) {
        inUse_.enabled = true;
        dictionaryFileName_ = path;
    }
    brunzit::WriteIniString(kSection, kKeyInUse, inUse_.enabled ? "SI" : "NO");
    brunzit::WriteIniString(kSection, kKeyFileName, inUse_.enabled ? dictionaryFileName_ : std::string());
    return inUse_.enabled;
}

bool TFormDiccionariExcepcions::DictionaryEnabled() const
{
    return inUse_.enabled;
}

void TFormDiccionariExcepcions::SetDictionaryEnabled(bool enabled)
{
    inUse_.enabled = enabled && inUse_.table.ExceptionCount() > 0;
}
