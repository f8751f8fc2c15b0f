// The mouse-hook library as the program meets it: clicks made on an X server
// arrive as reports in the settings file, nothing is reported without a
// display, and a report is never lost between the hook and the poll.

#include "editor/mouseclickcontrol.h"
#include "outside/mousehook/brunzitmousehook.h"
#include "outside/mousehook/clickreport.h"
#include "outside/mousehook/clickwatcher.h"
#include "platform/profilefile.h"
#include "tests/mousehook/xvfbserver.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Last: Xlib's macros (None, Status, Bool) clash with names in the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace brunzit {
namespace {

using namespace std::chrono_literals;

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "mousehook-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readAll(int fd)
{
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

TEST(ClickReport, OnlyTheLeftAndRightButtonsAreReported)
{
    struct Row {
        const char* name;
        int button;
        std::optional<std::string> report;
    };
    const Row rows[] = {
        {"left button steps through items", 1, "1"},
        {"right button goes on or chooses", 3, "2"},
        {"middle button", 2, std::nullopt},
        {"wheel up", 4, std::nullopt},
        {"wheel down", 5, std::nullopt},
        {"wheel sideways", 6, std::nullopt},
        {"back button", 8, std::nullopt},
        {"no button", 0, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(clickReportFor(row.button), row.report);
    }
}

TEST(MouseHookWithoutDisplay, ReportsNothingAndSaysSoOnce)
{
    struct Row {
        const char* name;
        const char* display;  // nullptr: DISPLAY unset
    };
    const Row rows[] = {
        {"no DISPLAY at all", nullptr},
        {"DISPLAY naming no running server", ":4711"},
        {"DISPLAY that is not a display name", "not a display"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder config;
        int out[2];
        int err[2];
        ASSERT_EQ(::pipe(out), 0);
        ASSERT_EQ(::pipe(err), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (row.display)
                ::setenv("DISPLAY", row.display, 1);
            else
                ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            ::execl(MOUSEHOOK_PROBE, MOUSEHOOK_PROBE, static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        const std::string printed = readAll(out[0]);
        const std::string said = readAll(err[0]);
        ::close(out[0]);
        ::close(err[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_EQ(printed, "0 0\n") << "SetHook must say that nothing will be reported";
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find("BrunzitMouseHook"), std::string::npos) << said;
        EXPECT_FALSE(std::filesystem::exists(config.path() + "/brunzit/brunzit.ini"));
    }
}

class MouseHookOnXvfb : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::XvfbServer::installed())
            GTEST_SKIP() << "Xvfb is not installed";
        ASSERT_TRUE(server.start());
        ::setenv("DISPLAY", server.display().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        display = ::XOpenDisplay(server.display().c_str());
        ASSERT_NE(display, nullptr);
        int event = 0, error = 0, major = 0, minor = 0;
        ASSERT_TRUE(::XTestQueryExtension(display, &event, &error, &major, &minor));
    }

    void TearDown() override
    {
        UnHookHook();
        closeDisplay();
    }

    void closeDisplay()
    {
        if (display)
            ::XCloseDisplay(display);
        display = nullptr;
    }

    void click(unsigned button)
    {
        ::XTestFakeButtonEvent(display, button, True, CurrentTime);
        ::XTestFakeButtonEvent(display, button, False, CurrentTime);
        ::XSync(display, False);
    }

    // Takes the report as the program's poll does, waiting up to five seconds
    // for one to arrive; "0" when none came.
    std::string nextReport()
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        for (;;) {
            const std::string report = takeClickReport(settings);
            if (report != "0" || std::chrono::steady_clock::now() > deadline)
                return report;
            std::this_thread::sleep_for(5ms);
        }
    }

    test::XvfbServer server;
    TempFolder config;
    ProfileFile settings {config.path() + "/brunzit/brunzit.ini"};
    Display* display = nullptr;
};

TEST_F(MouseHookOnXvfb, ClicksAreReportedByButton)
{
    ASSERT_EQ(SetHook(0), 1);
    struct Row {
        const char* name;
        unsigned button;
        const char* report;
    };
    const Row rows[] = {
        {"left", 1, "1"},
        {"right", 3, "2"},
        {"left again after a right", 1, "1"},
        {"right twice in a row: first", 3, "2"},
        {"right twice in a row: second", 3, "2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        click(row.button);
        EXPECT_EQ(nextReport(), row.report);
    }
}

TEST_F(MouseHookOnXvfb, EachPressIsSeenOnceWithItsPhysicalButton)
{
    std::mutex mutex;
    std::vector<int> seen;
    ClickWatcher watcher;
    std::string error;
    ASSERT_TRUE(watcher.start(
        [&](int button) {
            std::lock_guard lock(mutex);
            seen.push_back(button);
        },
        error, server.display()))
        << error;
    const std::vector<int> pressed = {1, 2, 3, 4, 5, 1, 3};
    for (const int button : pressed)
        click(static_cast<unsigned>(button));
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
        {
            std::lock_guard lock(mutex);
            if (seen.size() >= pressed.size())
                break;
        }
        std::this_thread::sleep_for(5ms);
    }
    // Late duplicates (a press seen from both the mouse and its master
    // device) would arrive right after.
    std::this_thread::sleep_for(200ms);
    watcher.stop();
    EXPECT_EQ(seen, pressed);
}

TEST_F(MouseHookOnXvfb, ClicksStillReachTheWindowUnderThePointer)
{
    XSetWindowAttributes attributes {};
    attributes.override_redirect = True;
    attributes.event_mask = ButtonPressMask | StructureNotifyMask;
    const Window window = ::XCreateWindow(display, DefaultRootWindow(display), 0, 0, 200, 200, 0,
                                          CopyFromParent, InputOutput, CopyFromParent,
                                          CWOverrideRedirect | CWEventMask, &attributes);
    ::XMapRaised(display, window);
    XEvent event;
    ::XWindowEvent(display, window, StructureNotifyMask, &event);
    while (event.type != MapNotify)
        ::XWindowEvent(display, window, StructureNotifyMask, &event);
    ::XTestFakeMotionEvent(display, -1, 50, 50, CurrentTime);
    ::XSync(display, False);

    ASSERT_EQ(SetHook(0), 1);
    click(1);
    EXPECT_EQ(nextReport(), "1");

    bool pressed = false;
    pollfd fd {ConnectionNumber(display), POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!pressed && std::chrono::steady_clock::now() < deadline) {
        while (::XCheckWindowEvent(display, window, ButtonPressMask, &event))
            pressed = pressed || event.xbutton.button == 1;
        if (!pressed)
            ::poll(&fd, 1, 50);
    }
    EXPECT_TRUE(pressed) << "the hook must not keep the click from the window";
    ::XDestroyWindow(display, window);
}

TEST_F(MouseHookOnXvfb, NothingIsReportedAfterUnHookHookAndSettingItAgainWorks)
{
    ASSERT_EQ(SetHook(0), 1);
    click(1);
    ASSERT_EQ(nextReport(), "1");

    UnHookHook();
    click(1);
    click(3);
    // The presses have reached the server; a hook still listening would have
    // been sent them already.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(takeClickReport(settings), "0");

    ASSERT_EQ(SetHook(0), 1);
    click(3);
    EXPECT_EQ(nextReport(), "2");
}

TEST_F(MouseHookOnXvfb, LosingTheDisplayLeavesTheHostRunning)
{
    ASSERT_EQ(SetHook(0), 1);
    click(1);
    ASSERT_EQ(nextReport(), "1");
    closeDisplay();
    server.kill();
    // Give the watcher time to notice; Xlib would end this process by default.
    std::this_thread::sleep_for(300ms);
    UnHookHook();
    // Tests running beside this one may start a server on the freed display
    // number at once: the "no server" check names one nobody starts.
    ::setenv("DISPLAY", ":4711", 1);
    EXPECT_EQ(SetHook(0), 0) << "no server any more";
    EXPECT_EQ(takeClickReport(settings), "0");
}

TEST_F(MouseHookOnXvfb, RealClicksDriveTheScanningKeyboard)
{
    // The whole path but the window: button, hook, settings file, poll. The
    // tick count is made up so the test need not wait out the quiet time.
    MouseClickControl control({{"bloc lletres", "espai", "A", "B"}, {"bloc funcions", "LLEGIR-HO TOT"}});
    ASSERT_EQ(control.switchOn(0), "bloc lletres");
    ASSERT_EQ(SetHook(0), 1);

    struct Row {
        unsigned button;
        const char* outcome;  // said, or "<Return>"
    };
    const Row rows[] = {{1, "espai"}, {1, "A"}, {1, "B"}, {1, "bloc lletres"},
                        {3, "bloc funcions"}, {1, "LLEGIR-HO TOT"}, {3, "<Return>"}};
    std::int64_t now = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.outcome);
        click(row.button);
        const MouseClickControl::Step step = control.poll(nextReport(), now += 1100);
        EXPECT_TRUE(step.bringToFront);
        EXPECT_EQ(step.choose ? std::string("<Return>") : step.say.value_or("(nothing)"), row.outcome);
    }
}

TEST(ClickReportAcrossProcesses, EveryReportIsTakenExactlyOnce)
{
    // A hook process reports clicks as fast as the poll takes them while this
    // process polls; a report written between a poll's read and its reset
    // would be lost, and a reset that missed would hand a report out twice.
    TempFolder folder;
    const ProfileFile settings(folder.path() + "/brunzit.ini");
    ASSERT_TRUE(settings.write("brunzit", "Llegir", "1"));
    ASSERT_TRUE(settings.write("Font Lletra", "Name", "Arial"));
    constexpr int kClicks = 120;

    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        for (int i = 0; i < kClicks; ++i) {
            if (!reportClick(settings, i % 2 == 0 ? 1 : 3))
                ::_exit(2);
            // The next click comes once this one has been taken.
            while (settings.read(kClickReportSection, kClickReportKey, "0", 50) != "0") {
                if (std::chrono::steady_clock::now() > deadline)
                    ::_exit(3);
                std::this_thread::sleep_for(std::chrono::microseconds(100 * (i % 4)));
            }
        }
        ::_exit(0);
    }

    std::vector<std::string> taken;
    int status = 0;
    bool writerDone = false;
    while (!writerDone) {
        writerDone = ::waitpid(writer, &status, WNOHANG) == writer;
        // One more take after the writer ended collects its last report.
        const std::string report = takeClickReport(settings);
        if (report != "0")
            taken.push_back(report);
    }
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "the writer saw a report that was never taken";

    std::vector<std::string> expected;
    for (int i = 0; i < kClicks; ++i)
        expected.push_back(i % 2 == 0 ? "1" : "2");
    EXPECT_EQ(taken, expected);
    EXPECT_EQ(settings.read("brunzit", "Llegir", ""), "1");
    EXPECT_EQ(settings.read("Font Lletra", "Name", ""), "Arial");
    EXPECT_EQ(settings.read(kClickReportSection, kClickReportKey, "missing"), "0");
}

}  // namespace
}  // namespace brunzit
