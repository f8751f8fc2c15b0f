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

// Exit code of library_loader run in folder with LD_LIBRARY_PATH set to path.
int loadInFreshProcess(const std::string& folder, const std::string& path, const std::string& name)
{
    const std::string command = "cd '" + folder + "' && LD_LIBRARY_PATH='" + path + "' '" LIBRARY_LOADER "' '" +
                                name + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DynamicLibraryTest, LibraryPlantedInTheWorkingFolderNeverRuns)
{
    // Every form of LD_LIBRARY_PATH that makes the system loader look in the
    // working folder: empty entries (what "export LD_LIBRARY_PATH=$LD_LIBRARY_PATH:/x"
    // gives when it was empty), "." and relative folders.
    test::TempDir dir;
    std::filesystem::create_directory(dir.file("sub"));
    const std::string onlyHere = "libbrunzit-planted-only.so";
    for (const std::string& name : {onlyHere, std::string(TEST_LIBRARY_NAME)}) {
        std::filesystem::copy_file(PLANTED_LIBRARY, dir.file(name));
        std::filesystem::copy_file(PLANTED_LIBRARY, dir.file("sub/" + name));
    }
    for (const char* form : {"", ":", ":/nonexistent", "/nonexistent:", "/a::/b", ".", "./", "sub", "./sub",
                             "sub:/nonexistent", "/nonexistent;.", "$ORIGIN"}) {
        SCOPED_TRACE(std::string("LD_LIBRARY_PATH=") + form);
        // Only the planted copy exists: nothing loads.
        EXPECT_EQ(loadInFreshProcess(dir.path(), form, onlyHere), 1);
        // The real library beside the program is the one loaded.
        EXPECT_EQ(loadInFreshProcess(dir.path(), form, TEST_LIBRARY_NAME), 42);
        EXPECT_FALSE(std::filesystem::exists(dir.file("planted-library-ran")));
    }
    // An absolute entry is searched first, before the program's folder.
    EXPECT_EQ(loadInFreshProcess(dir.file("sub"), dir.file("sub"), TEST_LIBRARY_NAME), 666 & 0xFF);
    EXPECT_EQ(DynamicLibrary::locate(onlyHere), "");
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
