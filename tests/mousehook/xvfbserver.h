#pragma once
// A private Xvfb server on a display number it picks itself.

#include <string>
#include <sys/types.h>

namespace brunzit::test {

class XvfbServer {
public:
    XvfbServer() = default;
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool installed();

    // Starts the server and waits until it takes connections; false on failure.
    bool start();
    // Ends the server at once, as a crash would.
    void kill();

    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace brunzit::test
