#pragma once
// The settings file a first run writes when it is closed without changes,
// line by line (Windows-1252), as both the settings file's tests and the
// main window's tests expect it.

#include <string>
#include <vector>

namespace brunzit::testing {

inline const std::vector<std::string>& FirstRunSettingsLines()
{
    static const std::vector<std::string> lines = {
        "[BrunzitMouseHook]",
        "CLIC=0",
        "[brunzit]",
        "Llengua Catal\xE0=S\xCD",
        "Teclat visible=NO",
        "Veure la lletra que es diu=NO",
        "Llegir la lletra que s'escriu=S\xCD",
        "Llegir la lletra actual=S\xCD",
        "Control del cursor i Return per controlar el teclat=S\xCD",
        "[Font Lletra]",
        "Charset=0",
        "Color=-2147483640",
        "Height=-267",
        "Name=Arial",
        "Size=200",
        "Negreta=S\xCD",
        "It\xE0lica=NO",
        "Subrratllat=NO",
        "Tatxat=NO",
        "[Font Editor]",
        "Charset=0",
        "Color=0",
        "Height=-16",
        "Name=Arial",
        "Size=12",
        "Negreta=S\xCD",
        "It\xE0lica=NO",
        "Subrratllat=NO",
        "Tatxat=NO",
    };
    return lines;
}

}  // namespace brunzit::testing
