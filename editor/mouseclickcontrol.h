#pragma once
// Mouse-click control: clicks reported by the mouse-hook library step through
// the scanning keyboard. A left click ("1") runs through the items of the
// current block and says the block's name between two passes; a right click
// ("2") goes to the next block, or, on an item, chooses it with a Return.
// Pure logic: the main window reads the report, applies the step and does the
// speaking, the raising and the key injection itself.

#include <cstdint>
#include <functional>
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

class MouseClickControl {
public:
    using Clock = std::function<std::int64_t()>;

    // Quiet time after each reported click, handled or not.
    static constexpr std::int64_t kQuietMs = 1000;

    // What the main window does after a poll, in this order.
    struct Step {
        bool bringToFront = false;
        std::optional<std::string> say;  // through SayText
        bool pressReturn = false;        // a Return pressed and released
    };

    // cursorCol and cursorRow are the scanning keyboard's position, shared
    // with the key handling. clock gives milliseconds (tickCountMs).
    MouseClickControl(ScanBlockList blocks, int& cursorCol, int& cursorRow, Clock clock);

    // Switching on: resets the position to block 0's name and returns that
    // name to say. The window then ticks the menu item, calls SetHook, starts
    // TimerMouseHook and disables "Teclat visible".
    std::string switchOn();

    // Switching off: nothing is said. The window unticks the item, calls
    // UnHookHook, stops TimerMouseHook and enables "Teclat visible".
    void switchOff();

    // One tick of TimerMouseHook with the report just taken.
    Step poll(const std::string& report);

    bool HookActive() const { return hookActive_; }
    bool InItems() const { return inItems_; }
    std::int64_t NextClickTick() const { return nextClickTick_; }

private:
    int blockSize(int block) const;
    void keepPositionInRange();
    Step stepItems();
    Step stepBlockOrChoose();

    ScanBlockList blocks_;
    int& cursorCol_;
    int& cursorRow_;
    Clock clock_;
    bool hookActive_ = false;
    bool inItems_ = true;
    std::int64_t nextClickTick_ = 0;
};

}  // namespace brunzit
