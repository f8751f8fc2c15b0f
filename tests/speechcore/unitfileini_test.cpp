// The program settings file of the speech subsystem.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/paths.h"
#include "platform/profilefile.h"
#include "speech/unitfileini.h"

namespace brunzit {
namespace {

TEST(UnitFileIniTest, ReadsDefaultsWritesAndCutsAt1023)
{
    char pattern[] = "/tmp/brunzit-ini-XXXXXX";
    const std::string dir = ::mkdtemp(pattern);
    const std::string path = dir + "/program.ini";
    OpenProgramIniAt(path);
    OpenProgramIni();  // keeps the file already open
    EXPECT_EQ(ProgramIniPath(), path);

    EXPECT_EQ(ReadIniString("tts", "Numero sintetitzador", "-1"), "-1");
    WriteIniString("tts", "Numero sintetitzador", "2");
    EXPECT_EQ(ReadIniString("TTS", "numero sintetitzador", "-1"), "2");

    WriteIniString("FormDiccionariExcepcions", "NomFitxerDiccionariExcepcions", std::string(1500, 'p'));
    EXPECT_EQ(ReadIniString("FormDiccionariExcepcions", "NomFitxerDiccionariExcepcions", ""),
              std::string(1023, 'p'));

    // A failed write is swallowed: the folder cannot be made below a file.
    OpenProgramIniAt(path + "/below-a-file.ini");
    WriteIniString("tts", "x", "1");
    ProfileFile::finishQueuedWrites();  // once it has failed, nothing of it remains
    EXPECT_EQ(ReadIniString("tts", "x", "d"), "d");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace brunzit
