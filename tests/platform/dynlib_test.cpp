// Loading a library at run time, never from the working folder.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include <filesystem>
#include <string>

#include "platform/dynlib.h"
#include "platform/paths.h"
#include "tests/platform/test_support.h"

namespace brunzit {
namespace {

using Answer = int (*)();

// Runs a test body in another working folder and comes back.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : old_(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder);
    }
    ~InFolder() { std::filesystem::current_path(old_); }

private:
    std::filesystem::path old_;
};

TEST(DynamicLibraryTest, BareNameFoundBesideTheProgram)
{
    DynamicLibrary library;
    ASSERT_TRUE(library.load(TEST_LIBRARY_NAME));
    auto answer = reinterpret_cast<Answer>(library.symbol("brunzitTestAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(library.symbol("noSuchSymbol"), nullptr);
    library.unload();
    EXPECT_FALSE(library.isLoaded());
    EXPECT_EQ(library.symbol("brunzitTestAnswer"), nullptr);
}

TEST(DynamicLibraryTest, AbsolutePathLoads)
{
    DynamicLibrary library;
    EXPECT_TRUE(library.load(executableFolder() + TEST_LIBRARY_NAME));
}

TEST(DynamicLibraryTest, WorkingFolderIsNeverSearched)
{
    test::TempDir dir;
    const std::string name = "libbrunzit-cwd-only-test.so";
    std::filesystem::copy_file(executableFolder() + TEST_LIBRARY_NAME, dir.file(name));
    InFolder inside(dir.path());
    DynamicLibrary library;
    EXPECT_FALSE(library.load(name));
    EXPECT_FALSE(library.load("./" + name));
    EXPECT_FALSE(library.isLoaded());
}

// Exit code of library_loader run in folder with LD_LIBRARY_PATH set to path.
int loadInFreshProcess(const std::string& folder, const std::string& path, const std::string& name)
{
    const std::string command = "cd '" + folder + "' && LD_LIBRARY_PATH='" + path + "' '" LIBRARY_LOADER "' '" +
                                name + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DynamicLibraryTest, EmptySearchPathEntryDoesNotReachTheWorkingFolder)
{
    // An empty entry in LD_LIBRARY_PATH ("a:" or ":b") makes the system
    // loader look in the working folder.
    test::TempDir dir;
    const std::string name = "libbrunzit-cwd-only-test.so";
    std::filesystem::copy_file(executableFolder() + TEST_LIBRARY_NAME, dir.file(name));
    EXPECT_EQ(loadInFreshProcess(dir.path(), ":/nonexistent", name), 1);
    EXPECT_EQ(loadInFreshProcess(dir.path(), ".", name), 1);
    // The same library through an absolute entry loads.
    EXPECT_EQ(loadInFreshProcess("/", dir.path(), name), 0);
}

TEST(DynamicLibraryTest, RelativePathWithFolderIsRefused)
{
    // Even where the relative path would reach the real library.
    InFolder inside(executableFolder());
    DynamicLibrary library;
    EXPECT_FALSE(library.load(std::string("./") + TEST_LIBRARY_NAME));
    EXPECT_FALSE(library.load(std::string("../bin/") + TEST_LIBRARY_NAME));
}

TEST(DynamicLibraryTest, MissingLibraryFails)
{
    DynamicLibrary library;
    EXPECT_FALSE(library.load("libbrunzit-does-not-exist.so"));
    EXPECT_FALSE(library.load(""));
    EXPECT_EQ(library.symbol("brunzitTestAnswer"), nullptr);
}

}  // namespace
}  // namespace brunzit
