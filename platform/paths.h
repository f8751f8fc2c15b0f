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

// The program settings file (the executable's path with ".ini") and
// "mussol.ini"; both move to userConfigFolder() when the program's folder
// cannot be written.
std::string programSettingsPath();
std::string mussolSettingsPath();

}  // namespace brunzit
