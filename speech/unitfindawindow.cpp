#include "speech/unitfindawindow.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>
#include <vector>

#include "platform/cp1252.h"

namespace brunzit {

namespace {

// Titles and class names are read into a 255-byte buffer.
constexpr std::size_t kMaxText = 254;

class DisplayConnection {
public:
    // No DISPLAY, or one that cannot be reached: no window exists for us.
    DisplayConnection() : display_(std::getenv("DISPLAY") ? XOpenDisplay(nullptr) : nullptr) {}
    ~DisplayConnection() {
        if (display_) XCloseDisplay(display_);
    }
    DisplayConnection(const DisplayConnection&) = delete;
    DisplayConnection& operator=(const DisplayConnection&) = delete;
    Display* get() const { return display_; }

private:
    Display* display_;
};

// Windows that vanish between listing and reading raise BadWindow; those
// windows simply do not match.
int IgnoreXErrors(Display*, XErrorEvent*) {
    return 0;
}

std::string ReadProperty(Display* display, Window window, Atom property, Atom type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::string value;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, type, &actualType, &format, &count,
                           &remaining, &data) == Success &&
        data) {
        if (format == 8) value.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return value;
}

struct TitleAtoms {
    Atom netWmName;
    Atom utf8String;
};

std::string WindowTitle(Display* display, const TitleAtoms& atoms, Window window) {
    std::string title = utf8ToCp1252(ReadProperty(display, window, atoms.netWmName, atoms.utf8String));
    if (title.empty()) {
        // WM_NAME as STRING is Latin-1, which Windows-1252 extends.
        title = ReadProperty(display, window, XA_WM_NAME, XA_STRING);
    }
    if (title.size() > kMaxText) title.resize(kMaxText);
    return title;
}

std::string WindowClass(Display* display, Window window) {
    // WM_CLASS holds the instance name and the class name, NUL-separated; the
    // class is the second.
    std::string both = ReadProperty(display, window, XA_WM_CLASS, XA_STRING);
    const auto nul = both.find('\0');
    std::string cls = nul == std::string::npos ? both : both.substr(nul + 1);
    if (const auto end = cls.find('\0'); end != std::string::npos) cls.resize(end);
    if (cls.size() > kMaxText) cls.resize(kMaxText);
    return cls;
}

struct Search {
    Display* display;
    TitleAtoms atoms;
    const std::string& titlePart;
    const std::string& classPart;

    bool Matches(Window window, const std::string& title) const {
        if (title.find(titlePart) == std::string::npos) return false;
        if (classPart.empty()) return true;
        const std::string cls = WindowClass(display, window);
        return !cls.empty() && cls.find(classPart) != std::string::npos;
    }

    // The top-level windows in stacking order. Window managers put the client
    // window one or two levels below the root's children, so below a window
    // without a title the search goes on into its children.
    WindowHandle In(Window parent, int depth) const {
        Window root = 0;
        Window parentReturn = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display, parent, &root, &parentReturn, &children, &count)) return 0;
        WindowHandle found = 0;
        for (unsigned int i = 0; i < count && found == 0; ++i) {
            const std::string title = WindowTitle(display, atoms, children[i]);
            if (!title.empty()) {
                if (Matches(children[i], title)) found = children[i];
            } else if (depth < 2) {
                found = In(children[i], depth + 1);
            }
        }
        if (children) XFree(children);
        return found;
    }
};

}  // namespace

WindowHandle FindAWindow(const std::string& titlePart, const std::string& classPart) {
    if (titlePart.empty()) return 0;
    DisplayConnection connection;
    Display* display = connection.get();
    if (!display) return 0;
    auto* previous = XSetErrorHandler(IgnoreXErrors);
    char netWmName[] = "_NET_WM_NAME";
    char utf8String[] = "UTF8_STRING";
    char* names[] = {netWmName, utf8String};
    Atom atoms[2] = {0, 0};
    XInternAtoms(display, names, 2, False, atoms);  // one round trip for both
    const Search search{display, {atoms[0], atoms[1]}, titlePart, classPart};
    const WindowHandle found = search.In(DefaultRootWindow(display), 0);
    XSync(display, False);
    XSetErrorHandler(previous);
    return found;
}

void PressReturnOnWindow(WindowHandle window) {
    if (window == 0) return;
    DisplayConnection connection;
    Display* display = connection.get();
    if (!display) return;
    auto* previous = XSetErrorHandler(IgnoreXErrors);
    XRaiseWindow(display, window);
    // Ask the window manager to activate it, and set the focus ourselves for
    // displays without one.
    XEvent activate{};
    activate.xclient.type = ClientMessage;
    activate.xclient.window = window;
    activate.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    activate.xclient.format = 32;
    activate.xclient.data.l[0] = 2;  // a request from a pager-like tool
    activate.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
               &activate);
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    XSync(display, False);
    // XTest types into whatever has the focus: when the window could not take
    // it (gone, or not viewable), the Return would land in another program,
    // ours included, so it is not pressed at all.
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (focus == window && XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        const KeyCode code = XKeysymToKeycode(display, XK_Return);
        if (code != 0) {
            XTestFakeKeyEvent(display, code, True, CurrentTime);
            XTestFakeKeyEvent(display, code, False, CurrentTime);
        }
    }
    XSync(display, False);
    XSetErrorHandler(previous);
}

}  // namespace brunzit
