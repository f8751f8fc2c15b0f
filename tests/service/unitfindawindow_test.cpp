#include <gtest/gtest.h>
// Xlib after gtest: its macros (None, Bool) clash with gtest names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <fcntl.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "speech/unitfindawindow.h"

extern "C" char** environ;

namespace brunzit {
namespace {

const char* const kTitle = "upcTV 1.0 - Lector de text en catal\xE0 i castell\xE0";

TEST(FindAWindow, WithoutADisplayNothingIsFound) {
    const char* saved = std::getenv("DISPLAY");
    const std::string display = saved ? saved : "";
    unsetenv("DISPLAY");
    EXPECT_EQ(FindAWindow(kTitle, ""), 0u);
    PressReturnOnWindow(12345);  // nothing to press on, and no crash
    if (saved) setenv("DISPLAY", display.c_str(), 1);
}

// A private X server with a few windows of known titles and classes.
class PrivateDisplay : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed";
        // Xvfb picks a free display itself and writes its number to the pipe,
        // so a display of another test run is never reused.
        int pipeEnds[2];
        ASSERT_EQ(pipe(pipeEnds), 0);
        std::string program = "/usr/bin/Xvfb", displayFd = "-displayfd", fd = std::to_string(pipeEnds[1]),
                    screen = "-screen", which = "0", geometry = "640x480x24", noListen = "-nolisten", tcp = "tcp";
        char* argv[] = {program.data(), displayFd.data(), fd.data(), screen.data(), which.data(),
                        geometry.data(), noListen.data(), tcp.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        const int spawned = posix_spawn(&server_, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        ASSERT_EQ(spawned, 0);
        std::string number;
        pollfd ready{pipeEnds[0], POLLIN, 0};
        char c = 0;
        while (poll(&ready, 1, 5000) == 1 && read(pipeEnds[0], &c, 1) == 1 && c != '\n') number += c;
        close(pipeEnds[0]);
        if (number.empty()) GTEST_SKIP() << "Xvfb did not start";
        name_ = ":" + number;
        setenv("DISPLAY", name_.c_str(), 1);
        display_ = XOpenDisplay(name_.c_str());
        if (!display_) GTEST_SKIP() << "Xvfb did not start";
    }

    void TearDown() override {
        if (display_) XCloseDisplay(display_);
        unsetenv("DISPLAY");
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }

    // A mapped top-level window; its title is set as UTF-8 and as Latin-1.
    Window MakeWindow(const std::string& utf8Title, const std::string& latin1Title, const char* className) {
        const Window window = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 100, 100, 0, 0, 0);
        if (!utf8Title.empty()) {
            XChangeProperty(display_, window, XInternAtom(display_, "_NET_WM_NAME", False),
                            XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(utf8Title.data()),
                            static_cast<int>(utf8Title.size()));
        }
        if (!latin1Title.empty()) XStoreName(display_, window, latin1Title.c_str());
        std::string instance = "inst", cls = className;
        XClassHint hint{instance.data(), cls.data()};
        XSetClassHint(display_, window, &hint);
        XSelectInput(display_, window, KeyPressMask | KeyReleaseMask);
        XMapWindow(display_, window);
        XSync(display_, False);
        return window;
    }

    Display* display_ = nullptr;
    std::string name_;
    pid_t server_ = 0;
};

TEST_F(PrivateDisplay, FindsByTitleAndClassParts) {
    const Window other = MakeWindow("Sense nom - brunzit", "", "Brunzit");
    const Window engine =
        MakeWindow("upcTV 1.0 - Lector de text en catal\xC3\xA0 i castell\xC3\xA0 (actiu)", "", "UpctvWindow");
    const Window oldStyle = MakeWindow("", "Finestra antiga \xE0", "Antiga");
    struct Row {
        const char* name;
        std::string title, cls;
        Window expected;
    };
    const Row rows[] = {
        {"title followed by more text", kTitle, "", engine},
        {"class matches too", kTitle, "Upctv", engine},
        {"class does not match", kTitle, "Brunzit", 0},
        {"title is case-sensitive", "UPCTV 1.0", "", 0},
        {"empty title matches nothing", "", "", 0},
        {"another window", "brunzit", "", other},
        {"Latin-1 title", "antiga \xE0", "", oldStyle},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(FindAWindow(row.title, row.cls), row.expected) << row.name;
    }
}

TEST_F(PrivateDisplay, PressesReturnOnTheWindowFound) {
    const Window engine = MakeWindow("upcTV 1.0 - Lector de text en catal\xC3\xA0 i castell\xC3\xA0", "", "Upctv");
    const WindowHandle found = FindAWindow(kTitle, "");
    ASSERT_EQ(found, engine);
    PressReturnOnWindow(found);
    bool pressed = false, released = false;
    const KeyCode returnKey = XKeysymToKeycode(display_, XK_Return);
    for (int i = 0; i < 100 && !(pressed && released); ++i) {
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.xany.window != engine) continue;
            if (event.type == KeyPress && event.xkey.keycode == returnKey) pressed = true;
            if (event.type == KeyRelease && event.xkey.keycode == returnKey) released = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(released);
}

TEST_F(PrivateDisplay, AWindowThatCannotTakeTheFocusGetsNoReturn) {
    const Window focused = MakeWindow("Sense nom - brunzit", "", "Brunzit");
    XSetInputFocus(display_, focused, RevertToParent, CurrentTime);
    const Window hidden = MakeWindow("upcTV 1.0 amagada", "", "Upctv");
    XUnmapWindow(display_, hidden);
    XSync(display_, False);
    PressReturnOnWindow(hidden);
    XSync(display_, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int keys = 0;
    while (XPending(display_)) {
        XEvent event;
        XNextEvent(display_, &event);
        keys += event.type == KeyPress || event.type == KeyRelease;
    }
    EXPECT_EQ(keys, 0) << "the Return reached the window that had the focus";
}

}  // namespace
}  // namespace brunzit
