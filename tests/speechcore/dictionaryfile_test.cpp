// Dictionary files: line breaks, size, and files that are not dictionaries.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "speech/exceptiondictionary.h"

namespace brunzit {
namespace {

using Status = ExceptionDictionary::LoadStatus;

class DictionaryFile : public testing::Test {
protected:
    DictionaryFile()
    {
        char pattern[] = "/tmp/brunzit-dictionary-XXXXXX";
        dir_ = ::mkdtemp(pattern);
    }
    ~DictionaryFile() override { std::filesystem::remove_all(dir_); }

    std::string write(const std::string& name, const std::string& content) const
    {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string dir_;
};

TEST_F(DictionaryFile, EveryKindOfLineBreakEndsALine)
{
    ExceptionDictionary dictionary;
    EXPECT_EQ(dictionary.loadFromFile(write("d.txt", "a 1\r\nb 2\rc 3\nd 4\r\n\r\n\n\re 5")), Status::Loaded);
    ASSERT_EQ(dictionary.ExceptionCount(), 5u);
    const char* keys[] = {"a", "b", "c", "d", "e"};
    const char* replacements[] = {"1", "2", "3", "4", "5"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(dictionary.entries()[i].key, keys[i]);
        EXPECT_EQ(dictionary.entries()[i].replacement, replacements[i]);
    }
}

TEST_F(DictionaryFile, AUtf8FileReachesTheEnginesInWindows1252)
{
    ExceptionDictionary dictionary;
    ASSERT_EQ(dictionary.loadFromFile(write("u.txt", "revisi\xC3\xB3 revisi\xC3\xB2\r\n")), Status::Loaded);
    std::string text = "la revisi\xF3 final";
    dictionary.ApplyExceptions(text);
    EXPECT_EQ(text, "la revisi\xF2 final");
}

TEST_F(DictionaryFile, ReloadReplacesTheWholeTable)
{
    ExceptionDictionary dictionary;
    ASSERT_EQ(dictionary.loadFromFile(write("big.txt", "a 1\nb 2\nc 3\n")), Status::Loaded);
    ASSERT_EQ(dictionary.loadFromFile(write("small.txt", "z 9\n")), Status::Loaded);
    ASSERT_EQ(dictionary.ExceptionCount(), 1u);
    std::string text = "a b z";
    dictionary.ApplyExceptions(text);
    EXPECT_EQ(text, "a b 9");
}

TEST_F(DictionaryFile, MoreThanAThousandEntriesAreAllKept)
{
    std::string content;
    for (int i = 0; i < 100000; ++i)
        content += "w" + std::to_string(i) + " r" + std::to_string(i) + "\r\n";
    ExceptionDictionary dictionary;
    ASSERT_EQ(dictionary.loadFromFile(write("many.txt", content)), Status::Loaded);
    EXPECT_EQ(dictionary.ExceptionCount(), 100000u);
    std::string text = "w0 w1000 w99999";
    dictionary.ApplyExceptions(text);
    EXPECT_EQ(text, "r0 r1000 r99999");
}

TEST_F(DictionaryFile, TenMegabyteLineLoads)
{
    ExceptionDictionary dictionary;
    const std::string huge(10 * 1024 * 1024, 'x');
    ASSERT_EQ(dictionary.loadFromFile(write("long.txt", "sr senyor\n" + huge + "," + huge.substr(0, 10) + "\n")),
              Status::Loaded);
    ASSERT_EQ(dictionary.ExceptionCount(), 2u);
    EXPECT_EQ(dictionary.entries()[1].key.size(), huge.size());
    std::string text = "sr x";
    dictionary.ApplyExceptions(text);
    EXPECT_EQ(text, "senyor x");
}

TEST_F(DictionaryFile, ReplacementsCannotGrowTheTextWithoutBound)
{
    // A text of 200 characters may grow to 64 KB + 16 * 200.
    const std::size_t limit = 64 * 1024 + 16 * 200;
    ExceptionDictionary dictionary;
    ASSERT_EQ(dictionary.loadFromBytes("a " + std::string(999, 'y') + "\n. ..\n"), 2u);
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "a ";
    dictionary.ApplyExceptions(text);
    EXPECT_LE(text.size(), limit);
    EXPECT_GT(text.size(), limit - 1000);  // it grew as far as it could
    EXPECT_EQ(text.find('.'), std::string::npos);

    // Entries that each double the text stop at the same limit.
    std::string chain;
    for (int i = 0; i < 40; ++i)
        chain += ". ..\n";
    ASSERT_EQ(dictionary.loadFromBytes(chain), 40u);
    std::string dots = std::string(100, '.') + std::string(100, 'x');
    dictionary.ApplyExceptions(dots);
    EXPECT_LE(dots.size(), limit);
    EXPECT_GT(dots.size(), limit / 2);
}

TEST_F(DictionaryFile, FilesThatAreNoDictionary)
{
    ExceptionDictionary dictionary;
    ASSERT_EQ(dictionary.loadFromBytes("keep me\n"), 1u);
    EXPECT_EQ(dictionary.loadFromFile(dir_ + "/missing.txt"), Status::ReadFailed);
    EXPECT_EQ(dictionary.ExceptionCount(), 0u);

    EXPECT_EQ(dictionary.loadFromFile(dir_), Status::ReadFailed);
    EXPECT_EQ(dictionary.loadFromFile(write("binary.txt", std::string("sr senyor\n\0\x01\x02 x\n", 16))),
              Status::ReadFailed);
    EXPECT_EQ(dictionary.loadFromFile(write("empty.txt", "")), Status::NoEntries);
    EXPECT_EQ(dictionary.loadFromFile(write("nothing.txt", "\r\n BCN Barcelona\r\nBCN\r\n")), Status::NoEntries);

    // Larger than any dictionary: refused without being read.
    const std::string large = dir_ + "/large.txt";
    const int fd = ::open(large.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, ExceptionDictionary::kMaxFileBytes + 1), 0);
    ::close(fd);
    EXPECT_EQ(dictionary.loadFromFile(large), Status::ReadFailed);

    // A named pipe with no writer would block a plain read for ever.
    const std::string pipe = dir_ + "/pipe.txt";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    EXPECT_EQ(dictionary.loadFromFile(pipe), Status::ReadFailed);
}

}  // namespace
}  // namespace brunzit
