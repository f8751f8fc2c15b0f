// A stand-in for the UPCTV Catalan/Spanish speech engine: the ten entry
// points of the original library, speaking through an espeak-ng child
// process. The program that loads this library owns the one eSpeak NG
// instance of its process, so synthesis must happen elsewhere; a child also
// makes "still speaking" and "stop" plain process questions.
//
// Set UPCTV_LOG to a file path to have every call appended to it, one line
// each ("load", "upcTVSetSpeed 100", "upcTVRead hola ", "unload", ...).
// UPCTV_SPEAKER_PROGRAM names another program to run in place of espeak-ng
// (with the same arguments), for tests and for other synthesisers.

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" char** environ;

#define UPCTV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr std::int32_t kCatalan = 99;
constexpr std::size_t kMaxTextBytes = 100000;  // well under one argument's limit

struct Engine {
    std::int32_t language = kCatalan;
    std::int32_t speaker = 0;
    std::int32_t speed = 100;
    pid_t child = 0;
};

Engine engine;

void Log(const std::string& line) {
    const char* path = std::getenv("UPCTV_LOG");
    if (!path || !*path) return;
    if (FILE* file = std::fopen(path, "ab")) {
        std::fwrite(line.data(), 1, line.size(), file);
        std::fputc('\n', file);
        std::fclose(file);
    }
}

// The engine takes Windows-1252 text; espeak-ng reads UTF-8.
std::string Cp1252ToUtf8(const char* text) {
    static const char16_t kHigh[32] = {
        0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        char32_t c = *p;
        if (c >= 0x80 && c < 0xA0) c = kHigh[c - 0x80];
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// Catalan: speaker 2 is the woman, others the man. Spanish: speaker 1 is the
// man, others the woman (the numbering of the original engine's voices).
const char* VoiceName() {
    if (engine.language == kCatalan) return engine.speaker == 2 ? "ca+f3" : "ca+m3";
    return engine.speaker == 1 ? "es+m3" : "es+f3";
}

// 100 is eSpeak's normal 175 words a minute; eSpeak's own range is 80..450.
int WordsPerMinute() {
    long wpm = 175L * engine.speed / 100;
    if (wpm < 80) wpm = 80;
    if (wpm > 450) wpm = 450;
    return static_cast<int>(wpm);
}

bool ChildRunning() {
    if (engine.child <= 0) return false;
    int status = 0;
    const pid_t done = waitpid(engine.child, &status, WNOHANG);
    if (done == 0) return true;
    engine.child = 0;
    return false;
}

void StopChild() {
    if (engine.child <= 0) return;
    kill(engine.child, SIGCONT);  // a paused child must still see the kill
    kill(engine.child, SIGTERM);
    int status = 0;
    waitpid(engine.child, &status, 0);
    engine.child = 0;
}

// posix_spawn rather than fork: the host program runs several threads.
void Spawn(const std::string& sourceFlag, const std::string& source) {
    StopChild();
    const std::string voice = VoiceName();
    const std::string speed = std::to_string(WordsPerMinute());
    const char* custom = std::getenv("UPCTV_SPEAKER_PROGRAM");
    std::string program = custom && *custom ? custom : "espeak-ng";
    std::string vFlag = "-v", sFlag = "-s";
    std::string flag = sourceFlag, text = source;
    char* argv[8] = {program.data(), vFlag.data(), const_cast<char*>(voice.c_str()), sFlag.data(),
                     const_cast<char*>(speed.c_str()), nullptr, nullptr, nullptr};
    int n = 5;
    if (!flag.empty()) argv[n++] = flag.data();
    argv[n++] = text.data();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0) engine.child = pid;
    posix_spawn_file_actions_destroy(&actions);
}

__attribute__((constructor)) void OnLoad() {
    Log("load");
}

__attribute__((destructor)) void OnUnload() {
    StopChild();
    Log("unload");
}

}  // namespace

UPCTV_EXPORT std::int32_t upcTVAbout() {
    Log("upcTVAbout");
    return 0;
}

UPCTV_EXPORT std::int32_t upcTVRead(const char* text) {
    Log(std::string("upcTVRead ") + (text ? text : ""));
    if (!text) return -1;
    std::string utf8 = Cp1252ToUtf8(text);
    if (utf8.size() > kMaxTextBytes) utf8.resize(kMaxTextBytes);
    // The leading blank keeps a text such as "-5" from being read as an option.
    Spawn("", " " + utf8);
    return engine.child > 0 ? 0 : -1;
}

UPCTV_EXPORT std::int32_t upcTVReadFile(const char* path) {
    Log(std::string("upcTVReadFile ") + (path ? path : ""));
    if (!path) return -1;
    Spawn("-f", path);
    return engine.child > 0 ? 0 : -1;
}

UPCTV_EXPORT std::int32_t upcTVStop() {
    Log("upcTVStop");
    StopChild();
    return 0;
}

UPCTV_EXPORT std::int32_t upcTVPause() {
    Log("upcTVPause");
    if (ChildRunning()) kill(engine.child, SIGSTOP);
    return 0;
}

UPCTV_EXPORT std::int32_t upcTVResume() {
    Log("upcTVResume");
    if (ChildRunning()) kill(engine.child, SIGCONT);
    return 0;
}

UPCTV_EXPORT std::int32_t upcTVSetLanguage(std::int32_t language) {
    Log("upcTVSetLanguage " + std::to_string(language));
    engine.language = language;
    return 0;
}

UPCTV_EXPORT std::int32_t upcTVSetSpeed(std::int32_t speed) {
    Log("upcTVSetSpeed " + std::to_string(speed));
    engine.speed = speed;
    return 0;
}

UPCTV_EXPORT std::int32_t upcTVSetSpeaker(std::int32_t speaker) {
    Log("upcTVSetSpeaker " + std::to_string(speaker));
    engine.speaker = speaker;
    return 0;
}

// Nonzero while the text is being said. The argument has no meaning here.
UPCTV_EXPORT std::int32_t upcTVStatus(std::int32_t which) {
    const std::int32_t speaking = ChildRunning() ? 1 : 0;
    Log("upcTVStatus " + std::to_string(which) + " " + std::to_string(speaking));
    return speaking;
}
