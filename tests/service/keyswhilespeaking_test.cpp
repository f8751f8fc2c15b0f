// Keys typed while the UPCTV engine speaks are handled at once, in the order
// typed, while the engine still speaks: nobody waits for it (a user's Escape
// must stop a long reading). Real key events from a private X server, so
// they travel the way a user's keys do.

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "speech/upctvvoice.h"
#include "tests/mousehook/xvfbserver.h"

// Last: Xlib's macros clash with the names above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace brunzit {
namespace {

void Type(Display* display, KeySym key) {
    const KeyCode code = XKeysymToKeycode(display, key);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XSync(display, False);
}

TEST(KeysWhileSpeaking, KeysTypedWhileUpctvSpeaksAreHandledAtOnceInOrder) {
    QLineEdit edit;
    edit.show();
    edit.activateWindow();
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XSetInputFocus(display, static_cast<Window>(edit.winId()), RevertToParent, CurrentTime);
    XSync(display, False);
    QElapsedTimer clock;
    clock.start();
    while (!edit.hasFocus() && clock.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    ASSERT_TRUE(edit.hasFocus());

    std::vector<std::string> order;
    // Far longer than the test: the engine speaks throughout.
    setenv("RECORDING_UPCTV_BUSY", "100000", 1);
    UpctvVoice voice("libupctv_recording.so", 0);
    ASSERT_TRUE(voice.isAvailable());
    QObject::connect(&edit, &QLineEdit::textChanged, [&](const QString& text) {
        order.push_back("handled " + text.toStdString() + (voice.speaking() ? " while speaking" : ""));
    });
    voice.speak("bon dia");
    order.push_back("said");
    QTimer::singleShot(150, [&] {
        order.push_back("typed");
        Type(display, XK_a);
        Type(display, XK_b);
        Type(display, XK_c);
    });

    clock.restart();
    while (edit.text() != "abc" && clock.elapsed() < 5000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(order, (std::vector<std::string>{"said", "typed", "handled a while speaking", "handled ab while speaking",
                                               "handled abc while speaking"}));
    voice.skip();
    EXPECT_FALSE(voice.speaking());
    XCloseDisplay(display);
}

}  // namespace
}  // namespace brunzit

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!brunzit::test::XvfbServer::installed()) {
        std::fprintf(stderr, "Xvfb is not installed\n");
        return 1;
    }
    brunzit::test::XvfbServer server;
    if (!server.start()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    setenv("DISPLAY", server.display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("RECORDING_UPCTV_LOG");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
