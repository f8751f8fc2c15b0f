#pragma once
// Mouse-click control: clicks reported by the mouse-hook library step through
// the scanning keyboard. A left click ("1") runs through the items of the
// current block and says the block's name between two passes; a right click
// ("2") goes to the next block, or, on an item, chooses it.
// Pure logic over a state of its own: the window reads the report, then does
// the raising, the speaking and the choosing a step asks for.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace brunzit {

class ProfileFile;

// The scanning blocks as this control needs them: entry 0 of each block is
// its name, entries 1 to n its items (ScanBlocks cut at ScanBlockSize).
using ScanBlockList = std::vector<std::vector<std::string>>;

// Takes the click report and resets it in one locked operation, so a click
// written between the two is neither lost nor handled twice. Nothing is
// written when the report is already "0".
std::string takeClickReport(const ProfileFile& settings);

// The scanning position and the state of the clicks.
struct MouseClickState {
    int CursorCol = 0;  // item in the block; -1 while the block's name is current
    int CursorRow = 0;  // block
    bool HookActive = false;
    bool InItems = true;
    std::int64_t NextClickTick = 0;  // milliseconds; clicks before it are ignored
};

class MouseClickControl {
public:
    // Quiet time after each reported click, handled or not.
    static constexpr std::int64_t kQuietMs = 1000;

    // What the main window does after a poll, in this order.
    struct Step {
        bool bringToFront = false;
        std::optional<std::string> say;  // through SayText
        bool choose = false;             // the current item chosen
    };

    // Every block needs a name and at least one item.
    explicit MouseClickControl(ScanBlockList blocks, MouseClickState state = {});

    const MouseClickState& state() const { return s_; }
    MouseClickState& state() { return s_; }

    // Switching on: resets the position to block 0's name and returns that
    // name to say. The window then ticks the menu item, calls SetHook, starts
    // TimerMouseHook and disables "Teclat visible".
    std::string switchOn(std::int64_t now);

    // Switching off: nothing is said. The window unticks the item, calls
    // UnHookHook, stops TimerMouseHook and enables "Teclat visible".
    void switchOff();

    // A lockout (ms) after each handled click in place of the quiet second,
    // which a click during it does not prolong; -1 keeps the quiet second.
    void setLockout(int ms) { lockoutMs_ = ms; }

    // One tick of TimerMouseHook with the report just taken and the tick count.
    Step poll(const std::string& report, std::int64_t now);

private:
    int blockCount() const;
    int blockSize(int block) const;
    const std::string& entry(int block, int index) const;
    void keepPositionInRange();
    Step stepItems(std::int64_t now);
    Step stepBlockOrChoose(std::int64_t now);
    void quiet(std::int64_t now, bool handled);

    ScanBlockList blocks_;
    MouseClickState s_;
    int lockoutMs_ = -1;
};

}  // namespace brunzit
