#pragma once
// Sectioned key=value settings files with the behaviour of the Windows
// profile-string functions, safe when several processes write one file.
//
// - Section and key names match without regard to ASCII case.
// - Values come back byte for byte (Windows-1252), trimmed of surrounding
//   blanks, cut at bufferSize - 1 characters.
// - Every read goes to the file and every write replaces it at once; nothing
//   is cached. Other lines, sections and keys stay exactly as they were.
// - A new key goes at the end of its section, a new section at the end of the
//   file. Lines are written with CR LF; LF and CR LF files read alike.
// - Each write re-reads the file under an advisory lock (a ".lock" file
//   beside it) and replaces it through a temporary file and a rename, so no
//   concurrent write is lost and no reader ever sees half a file.
// - A file that cannot be a settings file (it holds a NUL byte, or is larger
//   than profiletext::kMaxFileBytes) reads as all defaults. A write to it
//   first renames it to "<name>.damaged-<date>-<time>", so nothing the user
//   had is lost, and then starts a new file. A file that cannot be read at
//   all (permissions) is never replaced: the write fails.
// - A section, key or value that could not be read back as written (line
//   breaks or NUL in any of them, '=' in a key, ']' in a section, surrounding
//   blanks in a name) is refused: the write returns false and changes nothing.
// - A symbolic link is followed: its target is the file replaced.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brunzit {

class ProfileFile {
public:
    explicit ProfileFile(std::string path);

    const std::string& path() const { return path_; }

    // GetPrivateProfileString: the value of key in section, or defaultValue
    // when the file, the section or the key is absent.
    std::string read(const std::string& section, const std::string& key,
                     const std::string& defaultValue, int bufferSize = 1024) const;

    // WritePrivateProfileString: creates the file, the folder, the section or
    // the key as needed. Returns false when the file could not be replaced.
    bool write(const std::string& section, const std::string& key, const std::string& value) const;

    // Several writes in one locked replacement of the file, in order: one
    // disk sync instead of one per key (a whole settings section at close).
    // False, with nothing written, when any entry cannot be stored.
    struct Entry {
        std::string section;
        std::string key;
        std::string value;
    };
    bool write(const std::vector<Entry>& entries) const;

    // Reads key and, in the same locked operation, writes newValue; no write
    // by another process can fall between the two. A write that would not
    // change the file is skipped. Returns the value read (defaultValue when absent).
    std::string exchange(const std::string& section, const std::string& key,
                         const std::string& defaultValue, const std::string& newValue,
                         int bufferSize = 1024) const;

    // Every write reaches the disk before it replaces the file (the default).
    // Tests that only look at the content turn it off to run quickly.
    static void setSyncToDisk(bool sync);

private:
    std::string path_;
};

// Pure text operations on the content of a settings file, used by ProfileFile
// and by the tests and fuzzers.
namespace profiletext {
constexpr std::size_t kMaxFileBytes = 1024 * 1024;
// Not binary and not too large.
bool isSettingsText(std::string_view content);
// The names and the value can be written and read back unchanged.
bool canStore(const std::string& section, const std::string& key, const std::string& value);
std::optional<std::string> lookup(const std::string& content, const std::string& section,
                                  const std::string& key);
// Returns the new content with key set to value.
std::string assign(const std::string& content, const std::string& section, const std::string& key,
                   const std::string& value);
}  // namespace profiletext

}  // namespace brunzit
