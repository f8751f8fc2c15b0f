#include "tests/mousehook/xvfbserver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace brunzit::test {

namespace {

std::string findXvfb()
{
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t from = 0;
    while (from <= dirs.size()) {
        const std::size_t colon = dirs.find(':', from);
        const std::string dir = dirs.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
        const std::string candidate = (dir.empty() ? "." : dir) + "/Xvfb";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (colon == std::string::npos)
            break;
        from = colon + 1;
    }
    return {};
}

}  // namespace

XvfbServer::~XvfbServer()
{
    kill();
}

bool XvfbServer::installed()
{
    return !findXvfb().empty();
}

bool XvfbServer::start()
{
    const std::string xvfb = findXvfb();
    int fds[2];
    if (xvfb.empty() || ::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    pid_ = ::fork();
    if (pid_ == 0) {
        // -displayfd: the server chooses a free display and writes its number.
        if (fds[1] == 3)
            ::fcntl(3, F_SETFD, 0);
        else
            ::dup2(fds[1], 3);
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, 1);
        ::dup2(devnull, 2);
        ::execl(xvfb.c_str(), "Xvfb", "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid_ < 0) {
        ::close(fds[0]);
        return false;
    }
    std::string number;
    pollfd fd {fds[0], POLLIN, 0};
    char buffer[32];
    while (::poll(&fd, 1, 10000) > 0) {
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(n));
        if (number.find('\n') != std::string::npos)
            break;
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == ' '))
        number.pop_back();
    if (number.empty()) {
        kill();
        return false;
    }
    display_ = ":" + number;
    return true;
}

void XvfbServer::kill()
{
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

}  // namespace brunzit::test
