#pragma once
// A stand-in Speech Dispatcher daemon on a Unix socket: it answers the SSIP
// commands a client sends with success and records every command line, so a
// test can check what the engine asked of the daemon. A second connection is
// answered with a voice list of the given languages and not recorded.

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace brunzit::test {

class FakeSpeechd {
public:
    // languages: those of the synthesis voices the daemon lists.
    explicit FakeSpeechd(std::vector<std::string> languages = {"ca", "es", "en"}) : languages_(std::move(languages))
    {
        char folder[] = "/tmp/brunzit-fakespeechd.XXXXXX";
        if (mkdtemp(folder) != nullptr)
            folder_ = folder;
        path_ = folder_ + "/speechd.sock";
        listener_ = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
            && listen(listener_, 4) == 0)
            thread_ = std::thread([this] { serve(); });
    }
    ~FakeSpeechd()
    {
        quit_ = true;
        shutdown(listener_, SHUT_RDWR);
        close(listener_);
        if (client_ >= 0)
            shutdown(client_, SHUT_RDWR);
        if (lister_ >= 0)
            shutdown(lister_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        if (listerThread_.joinable())
            listerThread_.join();
        unlink(path_.c_str());
        rmdir(folder_.c_str());
    }

    std::string address() const { return "unix_socket:" + path_; }

    // Commands received so far, in order; "speak <text>" for each message.
    std::vector<std::string> commands()
    {
        std::lock_guard lock(mutex_);
        return commands_;
    }

    // Waits until the client has closed its connection.
    bool waitUntilClosed()
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return closed_; });
    }

private:
    void serve()
    {
        client_ = accept(listener_, nullptr, nullptr);
        if (client_ < 0)
            return;
        // The engine's second connection only fetches the voice list.
        listerThread_ = std::thread([this] { serveLister(); });
        std::string pending, message;
        bool receiving = false;
        char buffer[4096];
        while (!quit_) {
            const ssize_t n = read(client_, buffer, sizeof buffer);
            if (n <= 0)
                break;
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                if (receiving) {
                    if (line == ".") {
                        receiving = false;
                        record("speak " + message);
                        reply("225-" + std::to_string(++messages_) + "\r\n225 OK MESSAGE QUEUED\r\n");
                    } else {
                        message += (message.empty() ? "" : "\n") + line;
                    }
                } else if (line == "SPEAK" || line == "speak") {
                    receiving = true;
                    message.clear();
                    reply("230 OK RECEIVING DATA\r\n");
                } else if (line.rfind("HISTORY GET CLIENT_ID", 0) == 0) {
                    reply("245-1\r\n245 OK CLIENT ID SENT\r\n");
                } else {
                    record(line);
                    reply("200 OK\r\n");
                }
            }
        }
        close(client_);
        std::lock_guard lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }
    void record(const std::string& line)
    {
        std::lock_guard lock(mutex_);
        commands_.push_back(line);
        changed_.notify_all();
    }
    void serveLister()
    {
        lister_ = accept(listener_, nullptr, nullptr);
        if (lister_ < 0)
            return;
        std::string pending;
        char buffer[4096];
        for (ssize_t n; !quit_ && (n = read(lister_, buffer, sizeof buffer)) > 0;) {
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find("\r\n")) != std::string::npos;) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                std::string answer = "200 OK\r\n";
                if (line == "LIST SYNTHESIS_VOICES") {
                    answer.clear();
                    for (const std::string& language : languages_)
                        answer += "249-voice " + language + "\t" + language + "\tnone\r\n";
                    answer += "249 OK VOICE LIST SENT\r\n";
                } else if (line.rfind("HISTORY GET CLIENT_ID", 0) == 0) {
                    answer = "245-2\r\n245 OK CLIENT ID SENT\r\n";
                }
                (void)!send(lister_, answer.data(), answer.size(), MSG_NOSIGNAL);
            }
        }
        close(lister_);
    }

    std::vector<std::string> languages_;
    void reply(const std::string& text) { (void)!send(client_, text.data(), text.size(), MSG_NOSIGNAL); }

    std::string folder_ = "/tmp";
    std::string path_;
    int listener_ = -1;
    std::atomic<int> client_{-1};
    std::atomic<int> lister_{-1};
    std::thread listerThread_;
    std::atomic<bool> quit_{false};
    int messages_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> commands_;
    bool closed_ = false;
};

}  // namespace brunzit::test
