#pragma once
// Windows-1252 is the code page of every text the system stores or speaks.
// These convert at the edges: to UTF-8 for terminals, files and Qt.

#include <string>
#include <string_view>

namespace brunzit {

std::string cp1252ToUtf8(std::string_view text);

// Characters that Windows-1252 cannot hold become '?'; invalid UTF-8 bytes
// are taken as Windows-1252 bytes themselves.
std::string utf8ToCp1252(std::string_view text);

// True when the bytes are well-formed UTF-8 throughout.
bool isUtf8(std::string_view text);

// The text of a user-written file in Windows-1252: a file that is valid
// UTF-8 and uses bytes above 127 is converted (a leading byte-order mark
// dropped); any other file is taken as Windows-1252 already.
std::string fileTextToCp1252(std::string_view bytes);

// True when every character of the UTF-8 text has a Windows-1252 byte.
bool fitsCp1252(std::string_view utf8);

}  // namespace brunzit
