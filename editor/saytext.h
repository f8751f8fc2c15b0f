#pragma once
// What SayText does to a text before it is shown and spoken, as pure
// functions; TFormPrincipal::SayText applies them.

#include <optional>
#include <string>

namespace brunzit {

// The character shown in the large-letter window for a spoken form
// ("quu" -> "Q", "m\xE9s" -> "+", "espai" -> " "); other texts unchanged.
std::string DisplayForm(const std::string& spoken);

// True when the text, its last four characters upper-cased (a..z only),
// ends in ".WAV" or ".MP3": sound-file names are never read out.
bool IsSoundFileName(const std::string& text);

// A..Z lower-cased; every other byte (accented capitals included) unchanged.
std::string LowerCaseAscii(const std::string& text);

// The text handed to the speech service, or nothing when nothing is said:
// "\xD1" (Ñ) becomes "enye" in Catalan; empty texts and sound-file names are
// dropped; line breaks become spaces; A..Z are lower-cased.
std::optional<std::string> SpokenText(const std::string& text, bool catalan);

}  // namespace brunzit
