#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace brunzit {

namespace {

std::string homeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/tmp";
}

std::string fileNameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The program's folder when it can be written, else the per-user folder.
std::string writableProgramFolder()
{
    const std::string folder = executableFolder();
    if (!folder.empty() && ::access(folder.c_str(), W_OK | X_OK) == 0)
        return folder;
    return userConfigFolder() + "/";
}

}  // namespace

// A relative XDG folder is invalid and ignored, as the XDG rules say.
static std::string xdgFolder(const char* variable, const char* fallbackUnderHome)
{
    const char* xdg = std::getenv(variable);
    const std::string base = (xdg && xdg[0] == '/') ? std::string(xdg) : homeFolder() + fallbackUnderHome;
    return base + "/brunzit";
}

std::string userConfigFolder()
{
    return xdgFolder("XDG_CONFIG_HOME", "/.config");
}

std::string userDataFolder()
{
    return xdgFolder("XDG_DATA_HOME", "/.local/share");
}

std::string sharedSettingsPath()
{
    return userConfigFolder() + "/brunzit.ini";
}

std::string executablePath()
{
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0)
            return {};
        if (static_cast<std::size_t>(n) < buffer.size())
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        buffer.resize(buffer.size() * 2);
    }
}

std::string executableFolder()
{
    const std::string path = executablePath();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string programSettingsPath()
{
    // The extension of the file name, if any, becomes ".ini".
    std::string name = fileNameOf(executablePath());
    if (name.empty())
        name = "brunzit";
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return writableProgramFolder() + name + ".ini";
}

std::string mussolSettingsPath()
{
    return writableProgramFolder() + "mussol.ini";
}

}  // namespace brunzit
