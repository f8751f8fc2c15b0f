// Settings files on disk: reading, writing, exchanging, and files that are
// not what they should be.

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/profilefile.h"
#include "tests/platform/test_support.h"

namespace brunzit {
namespace {

using test::exists;
using test::readWhole;
using test::TempDir;
using test::writeWhole;

ino_t inodeOf(const std::string& path)
{
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
}

struct CutCase {
    const char* name;
    int bufferSize;
    std::size_t stored;
    std::size_t expected;
};
inline void PrintTo(const CutCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileReadCut : public testing::TestWithParam<CutCase> {};

TEST_P(ProfileReadCut, ValueAndDefaultCutAtBufferSizeLessOne)
{
    const CutCase& c = GetParam();
    TempDir dir;
    const ProfileFile file(dir.file("cut.ini"));
    ASSERT_TRUE(file.write("s", "k", std::string(c.stored, 'x')));
    EXPECT_EQ(file.read("s", "k", "", c.bufferSize), std::string(c.expected, 'x'));
    EXPECT_EQ(file.read("s", "absent", std::string(c.stored, 'd'), c.bufferSize), std::string(c.expected, 'd'));
}

INSTANTIATE_TEST_SUITE_P(Buffers, ProfileReadCut,
                         testing::Values(CutCase {"editor_buffer_long", 50, 60, 49},
                                         CutCase {"editor_buffer_fits", 50, 49, 49},
                                         CutCase {"speech_buffer_long", 1024, 2000, 1023},
                                         CutCase {"speech_buffer_fits", 1024, 1023, 1023},
                                         CutCase {"one_byte_buffer", 1, 5, 0},
                                         CutCase {"no_buffer", 0, 5, 0}),
                         [](const testing::TestParamInfo<CutCase>& info) { return std::string(info.param.name); });

TEST(ProfileFileTest, FirstRunWritesTheFileInWriteOrder)
{
    // The click poll writes first, so its section comes first.
    TempDir dir;
    const ProfileFile file(dir.file("config/brunzit/brunzit.ini"));
    EXPECT_EQ(file.read("brunzit", "Teclat visible", "NO", 50), "NO");
    EXPECT_TRUE(file.write("BrunzitMouseHook", "CLIC", "0"));
    EXPECT_TRUE(file.write("brunzit", "Llengua Catal\xE0", "S\xCD"));
    EXPECT_TRUE(file.write("brunzit", "Teclat visible", "NO"));
    EXPECT_TRUE(file.write("Font Lletra", "Charset", "0"));
    EXPECT_TRUE(file.write("BRUNZIT", "FONS NEGRE", "S\xCD"));
    EXPECT_TRUE(file.write("brunzit", "teclat VISIBLE", "S\xCD"));
    EXPECT_EQ(readWhole(file.path()),
              "[BrunzitMouseHook]\r\nCLIC=0\r\n"
              "[brunzit]\r\nLlengua Catal\xE0=S\xCD\r\nTeclat visible=S\xCD\r\nFONS NEGRE=S\xCD\r\n"
              "[Font Lletra]\r\nCharset=0\r\n");
    EXPECT_EQ(file.read("brunzit", "Teclat visible", "NO", 50), "S\xCD");
}

TEST(ProfileFileTest, SeveralKeysInOneWrite)
{
    TempDir dir;
    const ProfileFile file(dir.file("many.ini"));
    ASSERT_TRUE(file.write("BrunzitMouseHook", "CLIC", "0"));
    EXPECT_TRUE(file.write({{"Font Editor", "Charset", "0"}, {"Font Editor", "Height", "-16"},
                            {"brunzit", "Teclat visible", "NO"}, {"font editor", "Height", "-20"}}));
    EXPECT_EQ(readWhole(file.path()),
              "[BrunzitMouseHook]\r\nCLIC=0\r\n"
              "[Font Editor]\r\nCharset=0\r\nHeight=-20\r\n"
              "[brunzit]\r\nTeclat visible=NO\r\n");
    // One entry that cannot be stored stops them all.
    EXPECT_FALSE(file.write({{"brunzit", "Teclat visible", "S\xCD"}, {"brunzit", "bad=key", "1"}}));
    EXPECT_EQ(file.read("brunzit", "Teclat visible", "", 50), "NO");
}

TEST(ProfileFileTest, HandEditedFileKeepsEverythingElse)
{
    TempDir dir;
    const std::string original = "; made by hand\n[brunzit]\nFONS NEGRE = NO \n\n[Other]\nx=1\n";
    writeWhole(dir.file("b.ini"), original);
    const ProfileFile file(dir.file("b.ini"));
    EXPECT_EQ(file.read("brunzit", "FONS NEGRE", "S\xCD", 50), "NO");
    ASSERT_TRUE(file.write("brunzit", "fons negre", "S\xCD"));
    EXPECT_EQ(readWhole(file.path()), "; made by hand\n[brunzit]\nFONS NEGRE =S\xCD\r\n\n[Other]\nx=1\n");
}

TEST(ProfileFileTest, WriteThatChangesNothingLeavesTheFile)
{
    TempDir dir;
    const ProfileFile file(dir.file("same.ini"));
    ASSERT_TRUE(file.write("s", "k", "v"));
    const ino_t before = inodeOf(file.path());
    EXPECT_TRUE(file.write("S", "K", "v"));
    EXPECT_EQ(inodeOf(file.path()), before);
    EXPECT_TRUE(file.write("s", "k", "w"));
    EXPECT_NE(inodeOf(file.path()), before);
}

TEST(ProfileFileTest, ExchangeReturnsTheOldValueAndStoresTheNew)
{
    TempDir dir;
    const ProfileFile file(dir.file("clic.ini"));
    // A missing key gives the default, and the file is created.
    EXPECT_EQ(file.exchange("BrunzitMouseHook", "CLIC", "0", "0", 50), "0");
    EXPECT_EQ(readWhole(file.path()), "[BrunzitMouseHook]\r\nCLIC=0\r\n");
    const ino_t untouched = inodeOf(file.path());
    EXPECT_EQ(file.exchange("BrunzitMouseHook", "CLIC", "0", "0", 50), "0");
    EXPECT_EQ(inodeOf(file.path()), untouched);

    ASSERT_TRUE(file.write("BrunzitMouseHook", "CLIC", "2"));
    EXPECT_EQ(file.exchange("BrunzitMouseHook", "CLIC", "0", "0", 50), "2");
    EXPECT_EQ(file.read("BrunzitMouseHook", "CLIC", "x", 50), "0");
}

// A damaged file is read line by line: the keys around a NUL byte or a line
// of garbage keep their values, and a write changes its key and keeps every
// other byte, the damage included.
struct DamagedCase {
    const char* name;
    std::string content;  // holds "[s]", "a=1" before the damage and "b=2" after
    std::string written;  // the file after k=3 is written
};
inline void PrintTo(const DamagedCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileDamagedFile : public testing::TestWithParam<DamagedCase> {};

TEST_P(ProfileDamagedFile, KeysAroundTheDamageKeepTheirValues)
{
    TempDir dir;
    const std::string path = dir.file("brunzit.ini");
    writeWhole(path, GetParam().content);
    const ProfileFile file(path);
    EXPECT_EQ(file.read("s", "a", "d", 50), "1");
    EXPECT_EQ(file.read("s", "b", "d", 50), "2");
    ASSERT_TRUE(file.write("s", "k", "3"));
    EXPECT_EQ(readWhole(path), GetParam().written);
    EXPECT_EQ(file.read("s", "a", "d", 50), "1");
    EXPECT_EQ(file.read("s", "b", "d", 50), "2");
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileDamagedFile,
    testing::Values(
        DamagedCase {"nul_line", std::string("[s]\r\na=1\r\n\0\0\x7F" "ELF\r\nb=2\r\n", 23),
                     std::string("[s]\r\na=1\r\n\0\0\x7F" "ELF\r\nb=2\r\nk=3\r\n", 28)},
        DamagedCase {"nul_inside_a_key_line", std::string("[s]\r\na=1\r\nx=\0y\r\nb=2\r\n", 21),
                     std::string("[s]\r\na=1\r\nx=\0y\r\nb=2\r\nk=3\r\n", 26)},
        DamagedCase {"garbage_lines", "[s]\r\na=1\r\n\xFF\xFE garbage\r\n]]\r\n[broken\r\nb=2\r\n",
                     "[s]\r\na=1\r\n\xFF\xFE garbage\r\n]]\r\n[broken\r\nb=2\r\nk=3\r\n"}),
    [](const testing::TestParamInfo<DamagedCase>& info) { return std::string(info.param.name); });

TEST(ProfileFileTest, LargeFileIsReadInItsFirstMegabyteAndKeptWhole)
{
    TempDir dir;
    const std::string path = dir.file("big.ini");
    std::string content = "[s]\r\na=1\r\n[filler]\r\n";
    while (content.size() < profiletext::kMaxFileBytes + 4096)
        content += "f=" + std::string(100, 'x') + "\r\n";
    const std::string tail = "[late]\r\nz=9\r\n";
    content += tail;
    writeWhole(path, content);
    const ProfileFile file(path);
    EXPECT_EQ(file.read("s", "a", "d", 50), "1");
    EXPECT_EQ(file.read("late", "z", "d", 50), "d");  // past the part read
    ASSERT_TRUE(file.write("s", "a", "2"));
    EXPECT_EQ(file.read("s", "a", "d", 50), "2");
    const std::string written = readWhole(path);
    EXPECT_EQ(written.size(), content.size());
    EXPECT_EQ(written.substr(written.size() - tail.size()), tail);
}

// Whatever a killed writer or a careless hand leaves beside the file does not
// stop the next write, and a write leaves nothing of its own behind.
TEST(ProfileFileTest, LeftoversBesideTheFileNeverBlockAWrite)
{
    const auto readOnlyFile = [](const std::string& path) {
        writeWhole(path, "old");
        ::chmod(path.c_str(), 0444);
    };
    const auto folder = [](const std::string& path) { std::filesystem::create_directory(path); };
    const auto fifo = [](const std::string& path) { ::mkfifo(path.c_str(), 0600); };
    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> leftovers = {
        {".tmp", readOnlyFile}, {".tmp", folder}, {".lock", readOnlyFile}, {".lock", folder}, {".lock", fifo}};
    for (const auto& [suffix, make] : leftovers) {
        TempDir dir;
        const std::string path = dir.file("brunzit.ini");
        writeWhole(path, "[s]\r\nk=1\r\n");
        make(path + suffix);
        SCOPED_TRACE(suffix);
        EXPECT_TRUE(ProfileFile(path).write("s", "k", "2"));
        EXPECT_TRUE(ProfileFile(path).write({{"s", "k", "3"}, {"t", "u", "4"}}));
        EXPECT_EQ(readWhole(path), "[s]\r\nk=3\r\n[t]\r\nu=4\r\n");
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
            const std::string name = entry.path().filename().string();
            EXPECT_TRUE(name == "brunzit.ini" || name == "brunzit.ini.lock" || name == "brunzit.ini" + suffix) << name;
            ++files;
        }
        EXPECT_LE(files, 3u);
    }
}

// The user keeps a file as it is by taking away its write permission: it is
// never replaced, and the writes to it fail (also for the superuser).
TEST(ProfileFileTest, ReadOnlyFileIsNeverReplaced)
{
    TempDir dir;
    const std::string path = dir.file("ro.ini");
    writeWhole(path, "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const ino_t before = inodeOf(path);
    const ProfileFile file(path);
    EXPECT_FALSE(file.write("s", "k", "2"));
    EXPECT_EQ(file.exchange("s", "k", "d", "0", 50), "d");
    bool queuedResult = true;
    ASSERT_TRUE(file.writeLater({{"s", "k", "5"}}, [&](bool ok) { queuedResult = ok; }));
    ProfileFile::finishQueuedWrites();
    EXPECT_FALSE(queuedResult);
    EXPECT_EQ(inodeOf(path), before);
    EXPECT_EQ(readWhole(path), "[s]\r\nk=1\r\n");
    EXPECT_EQ(file.read("s", "k", "d", 50), "1");
}

// Another process holding the lock (any user who can open the lock file)
// makes a write fail after a bounded wait; a queued write returns at once,
// reads see its value meanwhile, and it is done once the lock is free.
TEST(ProfileFileTest, HeldLockMakesWritesFailOrWaitOffTheCaller)
{
    TempDir dir;
    const std::string path = dir.file("held.ini");
    writeWhole(path, "[s]\r\nk=1\r\n");
    writeWhole(path + ".lock", "");
    const int holder = ::open((path + ".lock").c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    const ProfileFile file(path);
    EXPECT_FALSE(file.write("s", "k", "2"));
    EXPECT_EQ(file.exchange("s", "k", "d", "0", 50), "d");
    std::vector<bool> results;
    ASSERT_TRUE(file.writeLater({{"s", "k", "3"}}, [&](bool ok) { results.push_back(ok); }));
    ASSERT_TRUE(file.writeLater({{"s", "k", "4"}, {"s", "m", "5"}}, [&](bool ok) { results.push_back(ok); }));
    EXPECT_EQ(file.read("s", "k", "d", 50), "4");
    EXPECT_EQ(file.read("s", "m", "d", 50), "5");
    ::close(holder);  // released while the first queued write still waits
    ProfileFile::finishQueuedWrites();
    EXPECT_EQ(readWhole(path), "[s]\r\nk=4\r\nm=5\r\n");
    EXPECT_EQ(results.size(), 2u);
}

TEST(ProfileFileTest, TruncatedFileKeepsItsReadablePart)
{
    TempDir dir;
    writeWhole(dir.file("t.ini"), "[s]\r\na=1\r\nb=2\r\n[t");
    const ProfileFile file(dir.file("t.ini"));
    EXPECT_EQ(file.read("s", "b", "", 50), "2");
    ASSERT_TRUE(file.write("s", "c", "3"));
    EXPECT_EQ(readWhole(file.path()), "[s]\r\na=1\r\nb=2\r\n[t\r\nc=3\r\n");
}

TEST(ProfileFileTest, SymbolicLinkKeepsPointingAtTheRewrittenFile)
{
    TempDir dir;
    writeWhole(dir.file("real.ini"), "[s]\r\nk=1\r\n");
    std::filesystem::create_symlink(dir.file("real.ini"), dir.file("link.ini"));
    const ProfileFile file(dir.file("link.ini"));
    ASSERT_TRUE(file.write("s", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(readWhole(dir.file("real.ini")), "[s]\r\nk=2\r\n");
}

TEST(ProfileFileTest, PermissionsOfTheFileSurviveAWrite)
{
    TempDir dir;
    writeWhole(dir.file("p.ini"), "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(dir.file("p.ini").c_str(), 0600), 0);
    ASSERT_TRUE(ProfileFile(dir.file("p.ini")).write("s", "k", "2"));
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("p.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(ProfileFileTest, PlacesThatCannotHoldTheFileFailWithoutHarm)
{
    TempDir dir;
    writeWhole(dir.file("plain"), "not a folder");
    EXPECT_FALSE(ProfileFile(dir.file("plain/brunzit.ini")).write("s", "k", "v"));
    EXPECT_EQ(readWhole(dir.file("plain")), "not a folder");

    std::filesystem::create_directory(dir.file("folder.ini"));
    const ProfileFile folder(dir.file("folder.ini"));
    EXPECT_EQ(folder.read("s", "k", "d", 50), "d");
    EXPECT_FALSE(folder.write("s", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.ini")));
}

TEST(ProfileFileTest, UnreadableFileIsNeverReplaced)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    TempDir dir;
    writeWhole(dir.file("locked.ini"), "[s]\r\nk=1\r\n");
    ASSERT_EQ(::chmod(dir.file("locked.ini").c_str(), 0), 0);
    const ProfileFile file(dir.file("locked.ini"));
    EXPECT_EQ(file.read("s", "k", "d", 50), "d");
    EXPECT_FALSE(file.write("s", "k", "2"));
    ::chmod(dir.file("locked.ini").c_str(), 0600);
    EXPECT_EQ(readWhole(dir.file("locked.ini")), "[s]\r\nk=1\r\n");
}

TEST(ProfileFileTest, RefusedValueLeavesTheFileAlone)
{
    TempDir dir;
    const ProfileFile file(dir.file("r.ini"));
    ASSERT_TRUE(file.write("s", "k", "1"));
    EXPECT_FALSE(file.write("s", "k", "x\r\n[evil]\r\ny=1"));
    EXPECT_EQ(readWhole(file.path()), "[s]\r\nk=1\r\n");
    EXPECT_EQ(file.exchange("s", "k", "d", "a\nb", 50), "1");
    EXPECT_EQ(readWhole(file.path()), "[s]\r\nk=1\r\n");
}

}  // namespace
}  // namespace brunzit
