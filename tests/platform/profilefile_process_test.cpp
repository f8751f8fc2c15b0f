// Settings files shared by processes: the mouse-hook component writes the
// same file as the editor.

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/profilefile.h"
#include "tests/platform/test_support.h"

extern char** environ;

namespace brunzit {
namespace {

using test::TempDir;

pid_t spawn(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), PROFILE_WRITER);
    std::vector<char*> argv;
    for (std::string& a : arguments)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (::posix_spawn(&pid, PROFILE_WRITER, nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    return pid;
}

int exitCode(pid_t pid)
{
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class ProfileProcesses : public testing::Test {
protected:
    void SetUp() override { ProfileFile::setSyncToDisk(false); }
    void TearDown() override { ProfileFile::setSyncToDisk(true); }
};

TEST_F(ProfileProcesses, TwoWritersLoseNoKey)
{
    TempDir dir(true);
    const std::string path = dir.file("shared.ini");
    const pid_t a = spawn({"keys", path, "a", "1000"});
    const pid_t b = spawn({"keys", path, "b", "1000"});
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(exitCode(a), 0);
    EXPECT_EQ(exitCode(b), 0);

    const std::string content = test::readWhole(path);
    int missing = 0;
    for (int i = 0; i < 1000; ++i) {
        for (const char* prefix : {"a", "b"}) {
            if (profiletext::lookup(content, "keys", prefix + std::to_string(i)) != std::to_string(i))
                ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
}

TEST_F(ProfileProcesses, ExchangeNeverLosesAReport)
{
    // The click poll reads and resets "CLIC" while another process reports:
    // every report must be seen once, in order.
    TempDir dir(true);
    const std::string path = dir.file("clic.ini");
    const ProfileFile file(path);
    constexpr int kReports = 300;
    const pid_t reporter = spawn({"report", path, std::to_string(kReports)});
    ASSERT_GT(reporter, 0);

    std::vector<int> seen;
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (static_cast<int>(seen.size()) < kReports && std::chrono::steady_clock::now() < giveUp) {
        const std::string value = file.exchange("BrunzitMouseHook", "CLIC", "0", "0", 50);
        if (value != "0")
            seen.push_back(std::stoi(value));
    }
    EXPECT_EQ(exitCode(reporter), 0);
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kReports));
    for (int i = 0; i < kReports; ++i)
        EXPECT_EQ(seen[i], i + 1);
}

TEST(ProfileKilledWriter, LeavesAWholeFile)
{
    TempDir dir;
    const std::string path = dir.file("big.ini");
    {
        std::string content = "[keep]\r\nx=1\r\n[big]\r\n";
        for (int i = 0; i < 300; ++i)
            content += "k" + std::to_string(i) + "=" + std::string(2000, 'B') + "\r\n";
        test::writeWhole(path, content);
    }
    for (int round = 0; round < 8; ++round) {
        const pid_t writer = spawn({"churn", path});
        ASSERT_GT(writer, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 7 * round));
        ::kill(writer, SIGKILL);
        ::waitpid(writer, nullptr, 0);

        const std::string content = test::readWhole(path);
        ASSERT_EQ(profiletext::lookup(content, "keep", "x"), "1") << "round " << round;
        for (int i = 0; i < 300; ++i) {
            const auto value = profiletext::lookup(content, "big", "k" + std::to_string(i));
            ASSERT_TRUE(value.has_value()) << "round " << round << " key " << i;
            ASSERT_EQ(value->size(), 2000u);
            ASSERT_EQ(value->find_first_not_of(value->front()), std::string::npos);
        }
    }
    // A temporary file left by a killed writer does not stop the next one,
    // which clears them all away.
    EXPECT_TRUE(ProfileFile(path).write("keep", "x", "2"));
    EXPECT_EQ(ProfileFile(path).read("keep", "x", "", 50), "2");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name == "big.ini" || name == "big.ini.lock") << name;
    }
}

}  // namespace
}  // namespace brunzit
