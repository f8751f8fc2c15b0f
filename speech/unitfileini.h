#pragma once
// The program settings file of the speech subsystem: the executable's path
// with ".ini" (or the per-user folder when the program's folder is read-only).

#include <string>

namespace brunzit {

// Opens the program settings file; a second call keeps the one already open.
void OpenProgramIni();
// Tests point the helpers at a file of their own.
void OpenProgramIniAt(const std::string& path);
std::string ProgramIniPath();

// The stored value (at most 1023 characters), or defaultValue when the file,
// section or key is absent.
std::string ReadIniString(const std::string& section, const std::string& key,
                          const std::string& defaultValue);
// Returns at once: the write is queued, and reads see its value at once; a
// failure is swallowed.
void WriteIniString(const std::string& section, const std::string& key, const std::string& value);

}  // namespace brunzit
