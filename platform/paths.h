#pragma once
// Where the settings files live on this platform.

#include <string>

namespace brunzit {

// The per-user configuration folder: $XDG_CONFIG_HOME/brunzit, or
// ~/.config/brunzit. Not created here; ProfileFile creates it on first write.
std::string userConfigFolder();

// The per-user data folder: $XDG_DATA_HOME/brunzit, or ~/.local/share/brunzit.
// Not created here.
std::string userDataFolder();

// "brunzit.ini" opened by bare name: the editor's settings and the
// mouse-hook's click report.
std::string sharedSettingsPath();

// The running executable's full path and folder (with a trailing '/').
std::string executablePath();
std::string executableFolder();

// Whether a program folder may hold the program's settings: it can be
// written, and it is not one of the system's program folders (under /usr,
// /bin or /sbin), which only an administrator could write and no program
// writes into.
bool settingsBesideProgramAllowed(const std::string& folder);

// The program settings file (the executable's path with ".ini") and
// "mussol.ini"; both move to userConfigFolder() when the program's folder
// may not hold them (settingsBesideProgramAllowed).
std::string programSettingsPath();
std::string mussolSettingsPath();

}  // namespace brunzit
