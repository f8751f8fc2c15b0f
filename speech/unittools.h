#pragma once
// String helpers shared by the speech service and the editor.

#include <string>

namespace brunzit {

// Copy with a..z turned into A..Z; every other byte unchanged.
std::string UpperCaseAscii(const std::string& s);
// Copy with every CR LF pair replaced by one blank; lone CR or LF stay.
std::string ReplaceLineBreaks(const std::string& s);
// Deletes every blank (character 32); other white space stays.
void RemoveSpaces(std::string& s);

}  // namespace brunzit
