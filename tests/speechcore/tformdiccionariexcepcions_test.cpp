// The dictionary holder: start-up load, the stored choice, the open dialog.

#include <gtest/gtest.h>

#include <ostream>

#include <stdlib.h>

#include <QApplication>
#include <QFileDialog>
#include <QScreen>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "platform/paths.h"
#include "speech/tformdiccionariexcepcions.h"
#include "platform/profilefile.h"
#include "speech/unitfileini.h"

namespace brunzit {
namespace {

const std::string kSection = "FormDiccionariExcepcions";
const std::string kInUse = "HiHaDiccionariExcepcions";
const std::string kName = "NomFitxerDiccionariExcepcions";

class DictionaryHolder : public testing::Test {
protected:
    DictionaryHolder()
    {
        char pattern[] = "/tmp/brunzit-holder-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        OpenProgramIniAt(dir_ + "/program.ini");
    }
    ~DictionaryHolder() override
    {
        ProfileFile::finishQueuedWrites();  // the settings writes are queued
        std::filesystem::remove_all(dir_);
    }

    std::string dictionary(const std::string& name, const std::string& content) const
    {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    void store(const std::string& inUse, const std::string& name) const
    {
        WriteIniString(kSection, kInUse, inUse);
        WriteIniString(kSection, kName, name);
    }
    std::string stored(const std::string& key) const { return ReadIniString(kSection, key, "<absent>"); }

    static std::string spoken(const TFormDiccionariExcepcions& holder, std::string text)
    {
        holder.ApplyExceptions(text);
        return text;
    }

    std::string dir_;
};

TEST_F(DictionaryHolder, StartUpLoadsTheStoredDictionary)
{
    const std::string path = dictionary("d.txt", "sr senyor\r\n");
    store("SI", path);
    TFormDiccionariExcepcions holder;
    EXPECT_TRUE(holder.DictionaryEnabled());
    EXPECT_EQ(holder.DictionaryFileName(), path);
    EXPECT_EQ(spoken(holder, "hola sr, adeu"), "hola senyor, adeu");
    EXPECT_FALSE(holder.isVisible());
}

struct StoredCase {
    const char* name;
    std::string inUse;
    bool nameIsFile;  // else the stored name is empty
};
inline void PrintTo(const StoredCase& c, std::ostream* os)
{
    *os << c.name;
}

class DictionaryHolderStored : public DictionaryHolder, public testing::WithParamInterface<StoredCase> {};

TEST_P(DictionaryHolderStored, NothingLoadedAndSettingsUntouched)
{
    const StoredCase& c = GetParam();
    const std::string name = c.nameIsFile ? dictionary("d.txt", "sr senyor\r\n") : "";
    store(c.inUse, name);
    TFormDiccionariExcepcions holder;
    EXPECT_FALSE(holder.DictionaryEnabled());
    EXPECT_EQ(spoken(holder, "sr"), "sr");
    EXPECT_EQ(stored(kInUse), c.inUse);
    EXPECT_EQ(stored(kName), name);
}

INSTANTIATE_TEST_SUITE_P(Settings, DictionaryHolderStored,
                         testing::Values(StoredCase {"lower_case_si", "si", true},
                                         StoredCase {"accented_si", "S\xCD", true},
                                         StoredCase {"no", "NO", true},
                                         StoredCase {"si_without_name", "SI", false}),
                         [](const testing::TestParamInfo<StoredCase>& info) { return std::string(info.param.name); });

TEST_F(DictionaryHolder, StoredFileThatCannotBeReadIsTriedAgainNextTime)
{
    store("SI", dir_ + "/gone.txt");
    TFormDiccionariExcepcions holder;
    EXPECT_FALSE(holder.DictionaryEnabled());
    EXPECT_EQ(stored(kInUse), "SI");
    EXPECT_EQ(stored(kName), dir_ + "/gone.txt");
}

TEST_F(DictionaryHolder, LoadRecordsTheChoice)
{
    TFormDiccionariExcepcions holder;
    const std::string good = dictionary("good.txt", "bcn Barcelona\n");
    EXPECT_TRUE(holder.LoadDictionary(good));
    EXPECT_EQ(stored(kInUse), "SI");
    EXPECT_EQ(stored(kName), good);

    // Unreadable: off for now, the previous choice kept for the next start.
    EXPECT_FALSE(holder.LoadDictionary(dir_ + "/missing.txt"));
    EXPECT_FALSE(holder.DictionaryEnabled());
    EXPECT_EQ(spoken(holder, "bcn"), "bcn");
    EXPECT_EQ(stored(kInUse), "SI");
    EXPECT_EQ(stored(kName), good);

    // Read, but without a single entry: the choice is dropped.
    EXPECT_FALSE(holder.LoadDictionary(dictionary("empty.txt", "no-separator\n")));
    EXPECT_EQ(stored(kInUse), "NO");
    EXPECT_EQ(stored(kName), "");
}

TEST_F(DictionaryHolder, UntickingLastsOnlyForThisRun)
{
    const std::string path = dictionary("d.txt", "sr senyor\n");
    {
        TFormDiccionariExcepcions holder;
        ASSERT_TRUE(holder.LoadDictionary(path));
        holder.SetDictionaryEnabled(false);
        EXPECT_EQ(spoken(holder, "sr"), "sr");
        holder.SetDictionaryEnabled(true);
        EXPECT_EQ(spoken(holder, "sr"), "senyor");
        holder.SetDictionaryEnabled(false);
    }
    TFormDiccionariExcepcions restarted;
    EXPECT_TRUE(restarted.DictionaryEnabled());
    EXPECT_EQ(spoken(restarted, "sr"), "senyor");
}

TEST_F(DictionaryHolder, SwitchingOnTakesALoadedTable)
{
    TFormDiccionariExcepcions holder;
    holder.SetDictionaryEnabled(true);
    EXPECT_FALSE(holder.DictionaryEnabled());
}

TEST_F(DictionaryHolder, OpenDialogAsTheUserSeesIt)
{
    TFormDiccionariExcepcions holder;
    // Made when first asked for, not at start-up.
    EXPECT_TRUE(holder.findChildren<QFileDialog*>().isEmpty());
    QFileDialog* dialog = holder.openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(holder.openDialog(), dialog);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("TAMBORI - Obrir diccionari d'excepcions"));
    EXPECT_EQ(dialog->nameFilters(),
              QStringList({QStringLiteral("TXT (*.txt)"), QStringLiteral("Tot tipus de fitxers (*)")}));
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("txt"));
    EXPECT_EQ(std::filesystem::path(dialog->directory().absolutePath().toStdString()),
              std::filesystem::path(executableFolder()).parent_path());
}

TEST_F(DictionaryHolder, ChoosingAFileLoadsIt)
{
    TFormDiccionariExcepcions holder;
    const std::string path = dictionary("chosen.txt", "bcn Barcelona\n");
    QFileDialog* dialog = holder.openDialog();
    QPoint shownAt;
    QTimer::singleShot(0, dialog, [&] {
        shownAt = dialog->pos();
        dialog->selectFile(QString::fromStdString(path));
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_TRUE(holder.ChooseDictionary());
    EXPECT_EQ(spoken(holder, "bcn"), "Barcelona");
    EXPECT_EQ(stored(kName), path);

    // Centred across the screen, a third of the free height from the top.
    const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(shownAt.x(), free.x() + (free.width() - dialog->width()) / 2, 2);
    EXPECT_NEAR(shownAt.y(), free.y() + (free.height() - dialog->height()) / 3, 2);
}

TEST_F(DictionaryHolder, CancellingLeavesTheDictionaryOff)
{
    const std::string path = dictionary("d.txt", "sr senyor\n");
    store("SI", path);
    TFormDiccionariExcepcions holder;
    holder.SetDictionaryEnabled(false);  // the check box does this before choosing
    QFileDialog* dialog = holder.openDialog();
    QTimer::singleShot(0, dialog, [dialog] { dialog->reject(); });
    EXPECT_FALSE(holder.ChooseDictionary());
    EXPECT_FALSE(holder.DictionaryEnabled());
    EXPECT_EQ(stored(kInUse), "SI");
    EXPECT_EQ(stored(kName), path);
}

}  // namespace
}  // namespace brunzit
