// The stand-in UPCTV engine that ships beside the program, run with a
// recording program in place of espeak-ng.

#include <QTemporaryDir>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>


#include "platform/dynlib.h"
#include "tests/service/servicefixture.h"

namespace brunzit {
namespace {

class StandInUpctv : public ::testing::Test {
protected:
    using IntArg = std::int32_t (*)(std::int32_t);
    using TextArg = std::int32_t (*)(const char*);
    using NoArg = std::int32_t (*)();

    void SetUp() override {
        ASSERT_TRUE(folder_.isValid());
        argsPath_ = folder_.filePath("args").toStdString();
        const std::string script = folder_.filePath("speaker.sh").toStdString();
        // Records its arguments and its process id, then "speaks" for a while.
        std::ofstream(script) << "#!/bin/sh\necho \"$$ $*\" >> '" << argsPath_ << "'\nexec sleep 5\n";
        chmod(script.c_str(), 0755);
        setenv("UPCTV_SPEAKER_PROGRAM", script.c_str(), 1);
        unsetenv("UPCTV_LOG");
        ASSERT_TRUE(library_.load("libupctv.so"));
        read_ = reinterpret_cast<TextArg>(library_.symbol("upcTVRead"));
        stop_ = reinterpret_cast<NoArg>(library_.symbol("upcTVStop"));
        status_ = reinterpret_cast<IntArg>(library_.symbol("upcTVStatus"));
        language_ = reinterpret_cast<IntArg>(library_.symbol("upcTVSetLanguage"));
        speaker_ = reinterpret_cast<IntArg>(library_.symbol("upcTVSetSpeaker"));
        speed_ = reinterpret_cast<IntArg>(library_.symbol("upcTVSetSpeed"));
        ASSERT_TRUE(read_ && stop_ && status_ && language_ && speaker_ && speed_);
    }

    void TearDown() override {
        if (stop_) stop_();
        unsetenv("UPCTV_SPEAKER_PROGRAM");
    }

    // The last line the speaking program recorded: "<pid> <arguments>".
    std::string LastRun() {
        for (int i = 0; i < 200; ++i) {
            std::ifstream file(argsPath_);
            std::string line, last;
            while (std::getline(file, line)) last = line;
            if (!last.empty() && last != previous_) {
                previous_ = last;
                return last;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    static std::string Arguments(const std::string& run) { return run.substr(run.find(' ') + 1); }

    TextArg read_ = nullptr;
    NoArg stop_ = nullptr;
    IntArg status_ = nullptr, language_ = nullptr, speaker_ = nullptr, speed_ = nullptr;

private:
    QTemporaryDir folder_;
    std::string argsPath_;
    std::string previous_;
    DynamicLibrary library_;
};

TEST_F(StandInUpctv, EachLanguageAndSpeakerHasItsVoice) {
    struct Row {
        std::int32_t language, speaker, speed;
        const char* arguments;
    };
    const Row rows[] = {
        {99, 0, 100, "-v ca+m3 -s 175  hola"},   // Home - Català
        {99, 2, 100, "-v ca+f3 -s 175  hola"},   // Dona - Català
        {101, 1, 250, "-v es+m3 -s 437  hola"},  // Hombre - Español, fastest
        {101, 0, 10, "-v es+f3 -s 80  hola"},    // Mujer - Español, slowest clamps
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.arguments);
        language_(row.language);
        speaker_(row.speaker);
        speed_(row.speed);
        read_("hola");
        EXPECT_EQ(Arguments(LastRun()), row.arguments);
    }
}

TEST_F(StandInUpctv, TextIsHandedOverAsUtf8) {
    language_(99);
    speaker_(0);
    speed_(100);
    read_("pa\xEDs \x80");
    EXPECT_EQ(Arguments(LastRun()), "-v ca+m3 -s 175  pa\xC3\xADs \xE2\x82\xAC");
}

TEST_F(StandInUpctv, StatusIsBusyUntilStopped) {
    EXPECT_EQ(status_(0), 0);
    read_("una frase llarga");
    const std::string run = LastRun();
    ASSERT_FALSE(run.empty());
    const std::string pid = run.substr(0, run.find(' '));
    EXPECT_NE(status_(0), 0);
    stop_();
    EXPECT_EQ(status_(0), 0);
    EXPECT_NE(access(("/proc/" + pid).c_str(), F_OK), 0) << "the speaking process is still there";
}

TEST_F(StandInUpctv, ANewTextStopsTheOneBeingSaid) {
    read_("primer");
    const std::string first = LastRun();
    read_("segon");
    const std::string second = LastRun();
    EXPECT_NE(access(("/proc/" + first.substr(0, first.find(' '))).c_str(), F_OK), 0);
    EXPECT_NE(second.find("segon"), std::string::npos);
    EXPECT_NE(status_(0), 0);
}

}  // namespace
}  // namespace brunzit

// The service driving the stand-in shipped beside the program: the calls it
// receives, and a text that is said to its end before SpeakText returns.
namespace brunzit::testing {

TEST_F(ServiceTest, TheServiceDrivesTheStandInEngine) {
    const std::string runs = logPath + ".runs";
    const std::string script = logPath + ".sh";
    std::ofstream(script) << "#!/bin/sh\necho \"$$ $*\" >> '" << runs << "'\nexec sleep 0.5\n";
    chmod(script.c_str(), 0755);
    setenv("UPCTV_SPEAKER_PROGRAM", script.c_str(), 1);
    setenv("UPCTV_LOG", logPath.c_str(), 1);
    {
        auto form = Service(Engines({}, {}, "libupctv.so"));
        ASSERT_EQ(form->VoiceCount(EngineKind::Upctv), 4);
        ClearUpctvCalls();
        form->Choose(1);
        form->SpeakText("Hola M\xD3N");

        // Returned at once: the child, which runs half a second, is still on.
        EXPECT_TRUE(form->StillSpeaking());
        QElapsedTimer clock;
        clock.start();
        while (form->StillSpeaking() && clock.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        EXPECT_GE(clock.elapsed(), 300) << "idle before the child ended";
        std::string run;
        std::getline(std::ifstream(runs), run);
        EXPECT_EQ(run.substr(run.find(' ') + 1), "-v ca+f3 -s 175  hola m\xC3\x93n ");
        EXPECT_NE(access(("/proc/" + run.substr(0, run.find(' '))).c_str(), F_OK), 0);
        std::vector<std::string> calls = UpctvCalls();
        ASSERT_GE(calls.size(), 11u) << "at least one poll while speaking, one after";
        EXPECT_EQ(std::vector<std::string>(calls.begin(), calls.begin() + 10),
                  (std::vector<std::string>{"upcTVStop", "unload", "load", "upcTVSetSpeed 100", "upcTVSetLanguage 99",
                                            "upcTVSetSpeaker 2", "upcTVSetSpeed 100", "upcTVStatus 0 0", "upcTVStop",
                                            "upcTVRead hola m\xD3n "}));
        EXPECT_EQ(calls[10], "upcTVStatus 0 1");
        EXPECT_EQ(calls.back(), "upcTVStatus 0 0");
    }
    unsetenv("UPCTV_SPEAKER_PROGRAM");
    unsetenv("UPCTV_LOG");
}

}  // namespace brunzit::testing
