// The decisions of mouse-click control, click by click: what is said, when the
// window is raised, when a Return is pressed, and the quiet time.

#include "editor/mouseclickcontrol.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace brunzit {
namespace {

// The scanning blocks, spoken forms in Windows-1252.
ScanBlockList scanBlocks()
{
    return {
        {"bloc lletres", "espai", "A", "B", "C", "D", "\xC8", "F", "G", "H", "ii", "J", "K", "L",
         "M", "N", "\xD1", "O", "P", "quu", "R", "S", "T", "uu", "V", "W", "X", "ii grega", "Z",
         "\xC7"},
        {"bloc funcions", "LLEGIR-HO TOT", "LLEGIR L'\xDALTIMA PARAULA", "ESBORRAR L'\xDALTIMA LLETRA",
         "ESBORRAR \xDALTIMA PARAULA", "ESBORRAR-HO TOT", "IMPRIMIR", "CALCULAR"},
        {"bloc puntuaci\xF3", "punt", "coma", "interrogaci\xF3", "admiraci\xF3", "ap\xF3strof", "retorn"},
        {"bloc n\xFAmeros", "0", "1", "2", "3", "4", "5", "6", "7", "8", "9"},
        {"bloc calculadora", "m\xE9s", "menys", "per", "dividid"},
    };
}

// What a poll made the window do, written as the test expects it:
// "-" nothing at all, "<Return>" a Return, otherwise the text said.
constexpr const char* kNothing = "-";
constexpr const char* kReturn = "<Return>";

struct Click {
    std::int64_t atMs;
    const char* report;
    std::string outcome;
};

struct ClickCase {
    const char* name;
    std::int64_t switchedOnAt;
    std::vector<Click> clicks;
};

// Clicks far enough apart that none falls in the quiet time.
std::vector<Click> spaced(const char* report, const std::vector<std::string>& outcomes,
                          std::int64_t from = 2000)
{
    std::vector<Click> clicks;
    for (const auto& outcome : outcomes) {
        clicks.push_back({from, report, outcome});
        from += 1100;
    }
    return clicks;
}

std::vector<Click> concat(std::vector<Click> a, const std::vector<Click>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class MouseClickPoll : public ::testing::Test {
protected:
    MouseClickControl control {scanBlocks()};
    int& cursorCol = control.state().CursorCol;
    int& cursorRow = control.state().CursorRow;
    bool& hookActive = control.state().HookActive;
    bool& inItems = control.state().InItems;
    std::int64_t& nextClickTick = control.state().NextClickTick;

    // Runs the clicks and returns each outcome. A Return is followed by what
    // the key handling does after a scanning choice in this mode.
    std::vector<std::string> run(const std::vector<Click>& clicks)
    {
        std::vector<std::string> outcomes;
        for (const Click& click : clicks) {
            const MouseClickControl::Step step = control.poll(click.report, click.atMs);
            std::string outcome = kNothing;
            if (step.choose) {
                outcome = kReturn;
                cursorRow = 0;
                cursorCol = -1;
            }
            if (step.say) {
                EXPECT_FALSE(step.choose) << "a choice says nothing itself";
                outcome = *step.say;
            }
            EXPECT_EQ(step.bringToFront, outcome != kNothing)
                << "the window is raised exactly when a click is acted upon, at " << click.atMs;
            outcomes.push_back(outcome);
        }
        return outcomes;
    }
};

TEST_F(MouseClickPoll, ClicksStepAsTheUserHearsThem)
{
    const std::vector<std::string> letters = {
        "espai", "A", "B", "C", "D", "\xC8", "F", "G", "H", "ii", "J", "K", "L", "M", "N",
        "\xD1", "O", "P", "quu", "R", "S", "T", "uu", "V", "W", "X", "ii grega", "Z", "\xC7"};
    std::vector<std::string> letterPass = letters;
    letterPass.push_back("bloc lletres");
    std::vector<std::string> twoPasses = letterPass;
    twoPasses.push_back("espai");

    const std::vector<ClickCase> cases = {
        {"left clicks run through every letter and name the block between passes", 0,
         spaced("1", twoPasses)},
        {"right clicks between items step through the blocks and wrap", 0,
         spaced("2", {"bloc funcions", "bloc puntuaci\xF3", "bloc n\xFAmeros", "bloc calculadora",
                      "bloc lletres", "bloc funcions"})},
        {"left clicks in the functions block offer its seven items", 0,
         concat(spaced("2", {"bloc funcions"}),
                spaced("1",
                       {"LLEGIR-HO TOT", "LLEGIR L'\xDALTIMA PARAULA", "ESBORRAR L'\xDALTIMA LLETRA",
                        "ESBORRAR \xDALTIMA PARAULA", "ESBORRAR-HO TOT", "IMPRIMIR", "CALCULAR",
                        "bloc funcions", "LLEGIR-HO TOT"},
                       4000))},
        {"left clicks in the calculator block offer its four signs", 0,
         concat(spaced("2", {"bloc funcions", "bloc puntuaci\xF3", "bloc n\xFAmeros", "bloc calculadora"}),
                spaced("1", {"m\xE9s", "menys", "per", "dividid", "bloc calculadora"}, 9000))},
        {"a right click on an item chooses it; the next left click starts again at espai", 0,
         concat(concat(spaced("1", {"espai", "A", "B"}), spaced("2", {kReturn}, 6000)),
                spaced("1", {"espai"}, 8000))},
        {"after a choice a right click names the next block", 0,
         concat(spaced("1", {"espai"}), spaced("2", {kReturn, "bloc funcions"}, 4000))},
        {"a right click on the name said after a full pass goes on to the next block", 0,
         concat(concat(spaced("1", letterPass), spaced("2", {"bloc funcions"}, 40000)),
                spaced("1", {"LLEGIR-HO TOT"}, 42000))},
        {"the first click straight after switching on is acted upon", 5000,
         {{5000, "1", "espai"}}},
        {"a click 500 ms after another is ignored and one 800 ms later still is", 0,
         {{2000, "1", "espai"}, {2500, "1", kNothing}, {3300, "1", kNothing}, {4301, "1", "A"}}},
        {"a click exactly when the quiet time ends is acted upon", 0,
         {{2000, "1", "espai"}, {3000, "1", "A"}, {3999, "2", kNothing}, {4999, "2", kReturn},
          {5998, "1", kNothing}}},
        {"an ignored right click restarts the quiet time for left clicks", 0,
         {{2000, "1", "espai"}, {2500, "2", kNothing}, {3400, "1", kNothing}, {4400, "1", "A"}}},
        {"other reports do nothing and do not restart the quiet time", 0,
         {{2000, "1", "espai"}, {2100, "0", kNothing}, {2200, "3", kNothing}, {2300, "", kNothing},
          {2400, "11", kNothing}, {2500, " 1", kNothing}, {2600, "x", kNothing}, {3000, "1", "A"}}},
        {"the quiet time survives tick counts past 32 bits", 2147483000,
         {{2147483000, "1", "espai"}, {2147483500, "1", kNothing}, {2147484400, "1", kNothing},
          {2147485400, "1", "A"}, {4294967000, "1", "B"}, {4294967500, "1", kNothing}}},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        cursorCol = 7;
        cursorRow = 3;
        EXPECT_EQ(control.switchOn(c.switchedOnAt), "bloc lletres");
        EXPECT_EQ(cursorCol, -1);
        EXPECT_EQ(cursorRow, 0);
        std::vector<std::string> expected;
        for (const Click& click : c.clicks)
            expected.push_back(click.outcome);
        EXPECT_EQ(run(c.clicks), expected);
        control.switchOff();
    }
}

TEST_F(MouseClickPoll, SwitchingSetsTheFlags)
{
    struct Row {
        const char* name;
        bool on;
        bool hookActive;
        bool inItems;
    };
    const Row rows[] = {
        {"on: the hook is set and clicks start at block level", true, true, false},
        {"off: the hook is released and the keys step items again", false, false, true},
        {"on again", true, true, false},
    };
    std::int64_t now = 12345;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.on)
            control.switchOn(now);
        else
            control.switchOff();
        EXPECT_EQ(hookActive, row.hookActive);
        EXPECT_EQ(inItems, row.inItems);
        now += 100;
    }
    EXPECT_EQ(nextClickTick, 12545) << "switching on starts the quiet time from now";
}

TEST_F(MouseClickPoll, ReportsWhileOffAreActedUponLikeWhileOn)
{
    // The poll runs from the window's creation: before the mode is ever
    // switched on, and after it is switched off, clicks still step, choose
    // and keep the quiet time.
    for (const bool wasOn : {false, true}) {
        SCOPED_TRACE(wasOn ? "after switching off" : "never switched on");
        if (wasOn) {
            control.switchOn(0);
            control.switchOff();
        }
        cursorCol = 0;
        cursorRow = 0;
        nextClickTick = 0;
        EXPECT_EQ(run({{100000, "1", "A"},
                       {100500, "1", kNothing},
                       {101600, "2", kReturn},
                       {101900, "1", kNothing},
                       {103000, "3", kNothing}}),
                  (std::vector<std::string> {"A", kNothing, kReturn, kNothing, kNothing}));
        EXPECT_FALSE(hookActive);
    }
}

TEST_F(MouseClickPoll, LeftClickFollowsTheKeyboardPosition)
{
    // The cursor keys share the position: Right moved to "Z" (item 27), so
    // the next left click offers "Ç", and the one after names the block.
    control.switchOn(0);
    EXPECT_EQ(run({{5000, "1", "espai"}}), std::vector<std::string> {"espai"});
    cursorCol = 27;
    EXPECT_EQ(run({{7000, "1", kNothing}, {9000, "1", kNothing}}),
              (std::vector<std::string> {"\xC7", "bloc lletres"}));
}

}  // namespace
}  // namespace brunzit
