#include "speech/unitfileini.h"

#include <memory>

#include "platform/paths.h"
#include "platform/profilefile.h"

namespace brunzit {

namespace {

constexpr int kValueBufferSize = 1024;

std::unique_ptr<ProfileFile>& programIni()
{
    static std::unique_ptr<ProfileFile> file;
    return file;
}

// Reads and writes before OpenProgramIni open it then, rather than going
// nowhere.
const ProfileFile& openedProgramIni()
{
    OpenProgramIni();
    return *programIni();
}

}  // namespace

void OpenProgramIni()
{
    if (!programIni())
        programIni() = std::make_unique<ProfileFile>(programSettingsPath());
}

void OpenProgramIniAt(const std::string& path)
{
    programIni() = std::make_unique<ProfileFile>(path);
}

std::string ProgramIniPath()
{
    return openedProgramIni().path();
}

std::string ReadIniString(const std::string& section, const std::string& key, const std::string& defaultValue)
{
    return openedProgramIni().read(section, key, defaultValue, kValueBufferSize);
}

void WriteIniString(const std::string& section, const std::string& key, const std::string& value)
{
    // Queued: "ESTIC LLEGINT" is written at every stop, which is every key
    // while speech is cut at each key, and no key may wait on the disk or on
    // another process's lock.
    (void)openedProgramIni().writeLater({{section, key, value}});
}

}  // namespace brunzit
