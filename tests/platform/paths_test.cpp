// Where the settings files live.

#include <gtest/gtest.h>

#include <ostream>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/paths.h"

namespace brunzit {
namespace {

// Sets or clears an environment variable for one test and puts it back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct FolderCase {
    const char* name;
    std::optional<std::string> xdg;
    std::string expected;
};
inline void PrintTo(const FolderCase& c, std::ostream* os)
{
    *os << c.name;
}

class UserConfigFolder : public testing::TestWithParam<FolderCase> {};

TEST_P(UserConfigFolder, FollowsXdgConfigHome)
{
    const FolderCase& c = GetParam();
    ScopedEnv home("HOME", std::string("/home/tester"));
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    EXPECT_EQ(userConfigFolder(), c.expected);
    EXPECT_EQ(sharedSettingsPath(), c.expected + "/brunzit.ini");
}

INSTANTIATE_TEST_SUITE_P(
    Environment, UserConfigFolder,
    testing::Values(FolderCase {"xdg_set", std::string("/var/cfg"), "/var/cfg/brunzit"},
                    FolderCase {"xdg_unset", std::nullopt, "/home/tester/.config/brunzit"},
                    FolderCase {"xdg_empty", std::string(""), "/home/tester/.config/brunzit"},
                    FolderCase {"xdg_relative_ignored", std::string("cfg"), "/home/tester/.config/brunzit"}),
    [](const testing::TestParamInfo<FolderCase>& info) { return std::string(info.param.name); });

TEST(ProgramPaths, SettingsBesideTheProgramWhenItsFolderIsWritable)
{
    const std::string exe = executablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.substr(exe.rfind('/') + 1), "platform_tests");
    EXPECT_EQ(executableFolder(), exe.substr(0, exe.rfind('/') + 1));
    // The test program is built into a folder it can write.
    EXPECT_EQ(programSettingsPath(), executableFolder() + "platform_tests.ini");
    EXPECT_EQ(mussolSettingsPath(), executableFolder() + "mussol.ini");
}

// Root can write /usr/bin, so writability alone would put an installed
// program's settings there; the rows under /usr are sharp when run as root.
TEST(ProgramPaths, SettingsBesideTheProgramOnlyInAWritableFolderOutsideTheSystemOnes)
{
    char scratch[] = "/tmp/paths_test_XXXXXX";
    ASSERT_NE(::mkdtemp(scratch), nullptr);
    const std::string own = std::string(scratch) + "/";
    const std::string ownUsr = own + "usr/";
    ASSERT_EQ(::mkdir(ownUsr.c_str(), 0755), 0);

    const struct {
        std::string folder;
        bool allowed;
    } rows[] = {
        {own, true},
        {ownUsr, true},
        {"/usr/bin/", false},
        {"/usr/local/bin/", false},
        {"/bin/", false},
        {"/sbin/", false},
        {own + "missing/", false},
        {"tmp/", false},
        {"", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(settingsBesideProgramAllowed(row.folder), row.allowed) << "folder \"" << row.folder << '"';

    ::rmdir(ownUsr.c_str());
    ::rmdir(scratch);
}

}  // namespace
}  // namespace brunzit
