// Settings files on disk: reading, writing, exchanging, and files that are
// not what they should be.

#include <gtest/gtest.h>

#include <ostream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

struct DamagedCase {
    const char* name;
    std::string content;  // empty: a 100 MB file
};
inline void PrintTo(const DamagedCase& c, std::ostream* os)
{
    *os << c.name;
}

class ProfileDamagedFile : public testing::TestWithParam<DamagedCase> {};

TEST_P(ProfileDamagedFile, ReadsAsDefaultsAndAWriteKeepsItAside)
{
    TempDir dir;
    const std::string path = dir.file("brunzit.ini");
    std::string content = GetParam().content;
    if (content.empty()) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 100LL * 1024 * 1024), 0);
        ASSERT_EQ(::pwrite(fd, "[s]\r\nk=1\r\n", 10, 0), 10);
        ::close(fd);
    } else {
        writeWhole(path, content);
    }
    const auto size = std::filesystem::file_size(path);
    const ProfileFile file(path);
    EXPECT_EQ(file.read("s", "k", "default", 50), "default");
    EXPECT_EQ(file.exchange("s", "k", "default", "2", 50), "default");

    EXPECT_EQ(file.read("s", "k", "default", 50), "2");
    EXPECT_EQ(readWhole(path), "[s]\r\nk=2\r\n");
    int asideCount = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("brunzit.ini.damaged-", 0) == 0) {
            ++asideCount;
            EXPECT_EQ(entry.file_size(), size);
            if (!content.empty()) {
                EXPECT_EQ(readWhole(entry.path().string()), content);
            }
        }
    }
    EXPECT_EQ(asideCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ProfileDamagedFile,
    testing::Values(DamagedCase {"nul_bytes", std::string("[s]\r\nk=1\r\n\0\0\x7F" "ELF", 14)},
                    DamagedCase {"binary_block", std::string(4096, '\0') + "[s]\r\nk=1\r\n"},
                    DamagedCase {"hundred_megabytes", ""}),
    [](const testing::TestParamInfo<DamagedCase>& info) { return std::string(info.param.name); });

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
