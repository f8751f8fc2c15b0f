#include "editor/mouseclickcontrol.h"

#include <utility>

#include "platform/profilefile.h"

namespace brunzit {

namespace {

constexpr const char* kReportSection = "BrunzitMouseHook";
constexpr const char* kReportKey = "CLIC";
constexpr int kReportBuffer = 50;

int wrap(int value, int count)
{
    const int r = value % count;
    return r < 0 ? r + count : r;
}

const std::string kNoText;

}  // namespace

std::string takeClickReport(const ProfileFile& settings)
{
    return settings.exchange(kReportSection, kReportKey, "0", "0", kReportBuffer);
}

MouseClickControl::MouseClickControl(ScanBlockList blocks, MouseClickState state)
    : blocks_(std::move(blocks)), s_(state)
{
}

int MouseClickControl::blockCount() const
{
    return static_cast<int>(blocks_.size());
}

int MouseClickControl::blockSize(int block) const
{
    return static_cast<int>(blocks_[static_cast<std::size_t>(block)].size()) - 1;
}

const std::string& MouseClickControl::entry(int block, int index) const
{
    const auto& entries = blocks_[static_cast<std::size_t>(block)];
    return index >= 0 && static_cast<std::size_t>(index) < entries.size()
               ? entries[static_cast<std::size_t>(index)]
               : kNoText;
}

void MouseClickControl::keepPositionInRange()
{
    // The position is shared with the grid keyboard, whose columns and rows
    // go further than the blocks.
    if (s_.CursorRow < 0 || s_.CursorRow >= blockCount())
        s_.CursorRow = wrap(s_.CursorRow, blockCount());
    if (s_.CursorCol < -1 || s_.CursorCol >= blockSize(s_.CursorRow))
        s_.CursorCol = wrap(s_.CursorCol, blockSize(s_.CursorRow));
}

std::string MouseClickControl::switchOn(std::int64_t now)
{
    s_.NextClickTick = now;
    s_.CursorCol = -1;
    s_.CursorRow = 0;
    s_.HookActive = true;
    s_.InItems = false;
    return blocks_.empty() ? kNoText : entry(0, 0);
}

void MouseClickControl::switchOff()
{
    s_.HookActive = false;
    s_.InItems = true;
}

MouseClickControl::Step MouseClickControl::poll(const std::string& report, std::int64_t now)
{
    // Reports are acted upon whether or not the hook is set: the poll runs
    // from the window's creation, and another program may report clicks too.
    if (report != "1" && report != "2")
        return {};
    if (blockCount() == 0)
        return {};
    for (int block = 0; block < blockCount(); ++block) {
        if (blockSize(block) < 1)
            return {};  // a block without items: nothing to step through
    }
    keepPositionInRange();
    return report == "1" ? stepItems(now) : stepBlockOrChoose(now);
}

MouseClickControl::Step MouseClickControl::stepItems(std::int64_t now)
{
    Step step;
    if (now < s_.NextClickTick) {
        quiet(now, false);
        return step;
    }
    step.bringToFront = true;
    s_.CursorCol = (s_.CursorCol + 1) % blockSize(s_.CursorRow);
    if (s_.CursorCol == 0 && s_.InItems) {
        // Every item has been offered: say the block's name before the next pass.
        s_.InItems = false;
        s_.CursorCol = -1;
        step.say = entry(s_.CursorRow, 0);
    } else {
        s_.InItems = true;
        step.say = entry(s_.CursorRow, s_.CursorCol + 1);
    }
    quiet(now, true);
    return step;
}

void MouseClickControl::quiet(std::int64_t now, bool handled)
{
    if (lockoutMs_ < 0)
        s_.NextClickTick = now + kQuietMs;  // every report, handled or not
    else if (handled)
        s_.NextClickTick = now + lockoutMs_;
}

MouseClickControl::Step MouseClickControl::stepBlockOrChoose(std::int64_t now)
{
    Step step;
    const bool handled = now >= s_.NextClickTick;
    if (handled) {
        step.bringToFront = true;
        if (s_.InItems) {
            s_.InItems = false;
            step.choose = true;
        } else {
            s_.CursorRow = (s_.CursorRow + 1) % blockCount();
            s_.CursorCol = -1;
            step.say = entry(s_.CursorRow, 0);
        }
    }
    quiet(now, handled);
    return step;
}

}  // namespace brunzit
