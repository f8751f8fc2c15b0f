#include "outside/mousehook/clickreport.h"

#include "platform/profilefile.h"

namespace brunzit {

std::optional<std::string> clickReportFor(int button)
{
    // Physical buttons, before any left-handed remapping: a switch adapter
    // wired to the left button keeps its meaning whatever the desktop does.
    switch (button) {
    case 1:
        return "1";
    case 3:
        return "2";
    default:
        return std::nullopt;
    }
}

bool reportClick(const ProfileFile& settings, int button)
{
    const std::optional<std::string> value = clickReportFor(button);
    if (!value)
        return false;
    return settings.write(kClickReportSection, kClickReportKey, *value);
}

}  // namespace brunzit
