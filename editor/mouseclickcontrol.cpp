#include "editor/mouseclickcontrol.h"

#include "platform/profilefile.h"

#include <utility>

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

}  // namespace

std::string takeClickReport(const ProfileFile& settings)
{
    return settings.exchange(kReportSection, kReportKey, "0", "0", kReportBuffer);
}

MouseClickControl::MouseClickControl(ScanBlockList blocks, int& cursorCol, int& cursorRow, Clock clock)
    : blocks_(std::move(blocks)), cursorCol_(cursorCol), cursorRow_(cursorRow), clock_(std::move(clock))
{
    // An empty block would make the item steps divide by zero.
    if (blocks_.empty())
        blocks_.push_back({""});
    for (auto& block : blocks_) {
        if (block.empty())
            block.push_back("");
        if (block.size() < 2)
            block.push_back("");
    }
}

int MouseClickControl::blockSize(int block) const
{
    return static_cast<int>(blocks_[static_cast<std::size_t>(block)].size()) - 1;
}

void MouseClickControl::keepPositionInRange()
{
    // The position is shared with the grid keyboard, whose columns and rows
    // go further than the blocks.
    const int blockCount = static_cast<int>(blocks_.size());
    if (cursorRow_ < 0 || cursorRow_ >= blockCount)
        cursorRow_ = wrap(cursorRow_, blockCount);
    if (cursorCol_ < -1 || cursorCol_ >= blockSize(cursorRow_))
        cursorCol_ = wrap(cursorCol_, blockSize(cursorRow_));
}

std::string MouseClickControl::switchOn()
{
    nextClickTick_ = clock_();
    cursorCol_ = -1;
    cursorRow_ = 0;
    hookActive_ = true;
    inItems_ = false;
    return blocks_[0][0];
}

void MouseClickControl::switchOff()
{
    hookActive_ = false;
    inItems_ = true;
}

MouseClickControl::Step MouseClickControl::poll(const std::string& report)
{
    // With the hook off a report can only be stale (the click that closed the
    // previous run, or another program's): it is taken but not acted upon.
    if (!hookActive_ || (report != "1" && report != "2"))
        return {};
    keepPositionInRange();
    return report == "1" ? stepItems() : stepBlockOrChoose();
}

MouseClickControl::Step MouseClickControl::stepItems()
{
    const std::int64_t now = clock_();
    Step step;
    if (now < nextClickTick_) {
        nextClickTick_ = now + kQuietMs;
        return step;
    }
    step.bringToFront = true;
    cursorCol_ = (cursorCol_ + 1) % blockSize(cursorRow_);
    const auto& block = blocks_[static_cast<std::size_t>(cursorRow_)];
    if (cursorCol_ == 0 && inItems_) {
        // Every item has been offered: say the block's name before the next pass.
        inItems_ = false;
        cursorCol_ = -1;
        step.say = block[0];
    } else {
        inItems_ = true;
        step.say = block[static_cast<std::size_t>(cursorCol_) + 1];
    }
    nextClickTick_ = now + kQuietMs;
    return step;
}

MouseClickControl::Step MouseClickControl::stepBlockOrChoose()
{
    const std::int64_t now = clock_();
    Step step;
    if (now >= nextClickTick_) {
        step.bringToFront = true;
        if (inItems_) {
            inItems_ = false;
            step.pressReturn = true;
        } else {
            cursorRow_ = (cursorRow_ + 1) % static_cast<int>(blocks_.size());
            cursorCol_ = -1;
            step.say = blocks_[static_cast<std::size_t>(cursorRow_)][0];
        }
    }
    nextClickTick_ = now + kQuietMs;
    return step;
}

}  // namespace brunzit
