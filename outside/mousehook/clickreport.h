#pragma once
// How a click is reported to the program: one value in one key of the shared
// settings file.

#include <optional>
#include <string>

namespace brunzit {

class ProfileFile;

inline constexpr const char* kClickReportSection = "BrunzitMouseHook";
inline constexpr const char* kClickReportKey = "CLIC";

// The report for a press of X button number `button` (1 left, 2 middle,
// 3 right, 4 and up wheel): "1" for the left button, "2" for the right one,
// nothing for the others.
std::optional<std::string> clickReportFor(int button);

// One locked write of the report for `button`; false when the button is not
// reported or the file could not be written.
bool reportClick(const ProfileFile& settings, int button);

}  // namespace brunzit
