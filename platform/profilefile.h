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
//   beside it, whatever its mode; the folder when that name cannot be
//   opened) and replaces it through a temporary file of a unique name and a
//   rename, so no concurrent write is lost and no reader ever sees half a
//   file. Waiting for the lock is bounded (2 s): then the write fails.
// - A damaged file is read line by line: a line holding a NUL byte, or one
//   that is neither a section nor a key, is passed over and kept as it is by
//   a write. Of a file larger than profiletext::kMaxFileBytes, the lines in
//   its first kMaxFileBytes are read; a write keeps the rest behind them.
// - A file that cannot be read at all (permissions, not a regular file,
//   larger than 16 MB) or that is read-only (no write permission bit) is
//   never replaced: the write fails. Every failed write is logged on the
//   standard error with its reason.
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

    // The same, queued: returns at once (false only when an entry cannot be
    // stored). One worker thread does the queued writes of the process in
    // order; until a write is done, read() on its path already gives its
    // values. done, if given, runs on that thread with the write's result.
    // For the interface thread, which must never wait for another process.
    bool writeLater(std::vector<Entry> entries, std::function<void(bool)> done = {}) const;
    // Waits until every queued write is done (at program end, and in tests).
    static void finishQueuedWrites();

    // Reads key and, in the same locked operation, writes newValue; no write
    // by another process can fall between the two. A write that would not
    // change the file is skipped. Returns the value read (defaultValue when
    // absent). It waits at most 20 ms for the lock; without it, or when the
    // file cannot be written, it takes nothing and returns defaultValue.
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
// Read whole: not larger than kMaxFileBytes.
bool isSettingsText(std::string_view content);
// How much of content is read: all of it, or the lines in its first kMaxFileBytes.
std::size_t readablePart(std::string_view content);
// The names and the value can be written and read back unchanged.
bool canStore(const std::string& section, const std::string& key, const std::string& value);
std::optional<std::string> lookup(const std::string& content, const std::string& section,
                                  const std::string& key);
// Returns the new content with key set to value.
std::string assign(const std::string& content, const std::string& section, const std::string& key,
                   const std::string& value);
}  // namespace profiletext

}  // namespace brunzit
