#include "platform/profilefile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace brunzit {

namespace {

// ---------------------------------------------------------------------------
// The text of a settings file, line by line.

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

std::string_view trimBlanks(std::string_view s)
{
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && isBlank(s[begin]))
        ++begin;
    while (end > begin && isBlank(s[end - 1]))
        --end;
    return s.substr(begin, end - begin);
}

enum class LineKind { Other, Section, Key };

struct Line {
    std::size_t start = 0;       // first byte of the line
    std::size_t end = 0;         // one past its last byte, before the line break
    std::size_t breakEnd = 0;    // one past the line break (== end on a last line without one)
    LineKind kind = LineKind::Other;
    std::string_view name;       // section or key name, trimmed
    std::size_t equals = 0;      // position of '=' of a key line
    std::string_view value;      // value of a key line, trimmed
};

// Splits at LF; a CR right before the LF belongs to the line break, so LF and
// CR LF files read alike. Everything else is content.
std::vector<Line> splitLines(std::string_view content)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    // A byte-order mark left by an editor does not hide the first line.
    const std::size_t firstContent = content.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
    while (pos < content.size()) {
        Line line;
        line.start = pos;
        const std::size_t lf = content.find('\n', pos);
        if (lf == std::string_view::npos) {
            line.end = content.size();
            line.breakEnd = content.size();
        } else {
            line.end = (lf > pos && content[lf - 1] == '\r') ? lf - 1 : lf;
            line.breakEnd = lf + 1;
        }
        const std::size_t textStart = pos == 0 ? firstContent : pos;
        const std::string_view text = textStart <= line.end
            ? content.substr(textStart, line.end - textStart) : std::string_view();
        const std::string_view trimmed = trimBlanks(text);
        if (!trimmed.empty() && trimmed[0] == '[') {
            const std::size_t close = trimmed.find(']');
            if (close != std::string_view::npos) {
                line.kind = LineKind::Section;
                line.name = trimBlanks(trimmed.substr(1, close - 1));
            }
        } else if (!trimmed.empty() && trimmed[0] != ';') {
            const std::size_t eq = text.find('=');
            if (eq != std::string_view::npos) {
                const std::string_view name = trimBlanks(text.substr(0, eq));
                if (!name.empty()) {
                    line.kind = LineKind::Key;
                    line.name = name;
                    line.equals = textStart + eq;
                    line.value = trimBlanks(text.substr(eq + 1));
                }
            }
        }
        lines.push_back(line);
        pos = line.breakEnd;
    }
    return lines;
}

// Index of the first header of section, or lines.size().
std::size_t findSection(const std::vector<Line>& lines, std::string_view section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Section && equalsIgnoringAsciiCase(lines[i].name, section))
            return i;
    }
    return lines.size();
}

std::string cut(std::string_view value, int bufferSize)
{
    if (bufferSize <= 1)
        return {};
    const auto room = static_cast<std::size_t>(bufferSize - 1);
    return std::string(value.substr(0, room));
}

bool hasLineBreakOrNul(std::string_view s)
{
    return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// ---------------------------------------------------------------------------
// Files.

constexpr mode_t kNewFileMode = 0644;
std::atomic<bool> syncToDisk {true};
constexpr mode_t kNewFolderMode = 0755;

enum class FileState {
    Missing,     // no file: an empty settings file
    Readable,    // content holds the whole file
    Unusable,    // a regular file that is not a settings file: too large or binary
    Failed,      // could not be read at all (permissions, not a regular file ...)
};

struct FileContent {
    FileState state = FileState::Missing;
    std::string content;
    mode_t mode = kNewFileMode;
};

bool readAll(int fd, std::string& out, std::size_t limit)
{
    out.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        out.append(buffer, static_cast<std::size_t>(n));
        if (out.size() > limit)
            return true;  // the caller sees it is too large
    }
}

FileContent readFile(const std::string& path)
{
    FileContent result;
    // Non-blocking, so a named pipe in place of the file cannot hang a read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.state = errno == ENOENT ? FileState::Missing : FileState::Failed;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.state = FileState::Failed;
        return result;
    }
    result.mode = info.st_mode & 07777;
    if (static_cast<unsigned long long>(info.st_size) > profiletext::kMaxFileBytes) {
        ::close(fd);
        result.state = FileState::Unusable;
        return result;
    }
    const bool ok = readAll(fd, result.content, profiletext::kMaxFileBytes);
    ::close(fd);
    if (!ok) {
        result.state = FileState::Failed;
        result.content.clear();
    } else if (!profiletext::isSettingsText(result.content)) {
        result.state = FileState::Unusable;
        result.content.clear();
    } else {
        result.state = FileState::Readable;
    }
    return result;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool makeFolders(const std::string& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const std::string parent = folderOf(folder);
    if (parent != folder && !makeFolders(parent))
        return false;
    return ::mkdir(folder.c_str(), kNewFolderMode) == 0 || errno == EEXIST;
}

// The file a write replaces: a symbolic link (a settings file kept elsewhere)
// is followed, so the rename replaces its target and not the link.
bool resolveTarget(const std::string& path, std::string& target)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
        target = path;
        return true;
    }
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return false;
    target = real;
    std::free(real);
    return true;
}

class FileLock {
public:
    explicit FileLock(const std::string& target)
    {
        fd_ = ::open((target + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode);
        if (fd_ < 0)
            return;
        int rc;
        do {
            rc = ::flock(fd_, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~FileLock()
    {
        if (fd_ >= 0)
            ::close(fd_);  // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

bool writeAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the whole content to a temporary file beside target and renames it
// over target: a reader sees the old file or the new one, never a mixture,
// and a writer killed halfway leaves the old file whole. The data reach the
// disk before the rename, so a power cut cannot leave an empty file; the
// folder itself is not synced (that would double the cost of every write, and
// losing the rename only brings back the old, whole file). The lock must be held.

bool replaceFile(const std::string& target, const std::string& content, mode_t mode)
{
    const std::string temporary = target + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    (void)::fchmod(fd, mode);  // the old file's permissions, past the umask; best effort
    bool ok = writeAll(fd, content) && (!syncToDisk || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// A file that cannot be a settings file (binary, or far too large) is kept
// under another name before a write starts a new one, so the user's data is
// never thrown away. Returns false when it could not be moved.
bool moveAside(const std::string& target)
{
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm parts {};
    ::localtime_r(&now, &parts);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &parts);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string aside = target + ".damaged-" + stamp;
        if (attempt > 0)
            aside += "-" + std::to_string(attempt);
        struct stat info {};
        if (::lstat(aside.c_str(), &info) == 0)
            continue;
        return ::rename(target.c_str(), aside.c_str()) == 0;
    }
    return false;
}

// The locked read-modify-write shared by write and exchange. change receives
// the current content (empty for a missing or unusable file) and returns the
// new one. A content that would not change the file is not written.
template <typename Change>
bool modifyFile(const std::string& path, Change change)
{
    std::string target;
    if (!resolveTarget(path, target))
        return false;
    if (!makeFolders(folderOf(target)))
        return false;
    FileLock lock(target);
    if (!lock.held())
        return false;
    FileContent current = readFile(target);
    if (current.state == FileState::Failed)
        return false;  // cannot see what is there, so cannot keep it
    const std::string updated = change(current.content);
    if (current.state == FileState::Readable && updated == current.content)
        return true;
    if (current.state == FileState::Unusable && !moveAside(target))
        return false;
    return replaceFile(target, updated, current.mode);
}

}  // namespace

// ---------------------------------------------------------------------------

namespace profiletext {

bool isSettingsText(std::string_view content)
{
    return content.size() <= kMaxFileBytes && content.find('\0') == std::string_view::npos;
}

bool canStore(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string_view s = section;
    const std::string_view k = key;
    if (s.empty() || trimBlanks(s) != s || hasLineBreakOrNul(s) || s.find(']') != std::string_view::npos)
        return false;
    if (k.empty() || trimBlanks(k) != k || hasLineBreakOrNul(k) || k.find('=') != std::string_view::npos ||
        k[0] == '[' || k[0] == ';')
        return false;
    return !hasLineBreakOrNul(value);
}

std::optional<std::string> lookup(const std::string& content, const std::string& section, const std::string& key)
{
    if (!isSettingsText(content))
        return std::nullopt;
    const std::vector<Line> lines = splitLines(content);
    const std::size_t header = findSection(lines, section);
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        if (lines[i].kind == LineKind::Section)
            break;
        if (lines[i].kind == LineKind::Key && equalsIgnoringAsciiCase(lines[i].name, key))
            return std::string(lines[i].value);
    }
    return std::nullopt;
}

std::string assign(const std::string& content, const std::string& section, const std::string& key,
                   const std::string& value)
{
    if (!canStore(section, key, value))
        return content;
    const std::string base = isSettingsText(content) ? content : std::string();
    const std::vector<Line> lines = splitLines(base);
    const std::size_t header = findSection(lines, section);

    if (header == lines.size()) {
        std::string result = base;
        if (!result.empty() && result.back() != '\n')
            result += "\r\n";
        result += "[" + section + "]\r\n" + key + "=" + value + "\r\n";
        return result;
    }

    std::size_t lastContent = header;  // last line of the section that is not blank
    for (std::size_t i = header + 1; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == LineKind::Section)
            break;
        if (line.kind == LineKind::Key && equalsIgnoringAsciiCase(line.name, key)) {
            // Keep the line's own spelling of the key, change the value.
            std::string result = base.substr(0, line.equals + 1);
            result += value;
            result += "\r\n";
            result += base.substr(line.breakEnd);
            return result;
        }
        if (!trimBlanks(std::string_view(base).substr(line.start, line.end - line.start)).empty())
            lastContent = i;
    }
    const Line& after = lines[lastContent];
    std::string result = base.substr(0, after.breakEnd);
    if (after.breakEnd == after.end)
        result += "\r\n";  // the section's last line ended the file without a line break
    result += key + "=" + value + "\r\n";
    result += base.substr(after.breakEnd);
    return result;
}

}  // namespace profiletext

// ---------------------------------------------------------------------------

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

void ProfileFile::setSyncToDisk(bool sync)
{
    syncToDisk = sync;
}

std::string ProfileFile::read(const std::string& section, const std::string& key,
                              const std::string& defaultValue, int bufferSize) const
{
    const FileContent file = readFile(path_);
    if (file.state == FileState::Readable) {
        if (auto value = profiletext::lookup(file.content, section, key))
            return cut(*value, bufferSize);
    }
    return cut(defaultValue, bufferSize);
}

bool ProfileFile::write(const std::string& section, const std::string& key, const std::string& value) const
{
    if (!profiletext::canStore(section, key, value))
        return false;
    return modifyFile(path_, [&](const std::string& content) {
        return profiletext::assign(content, section, key, value);
    });
}

bool ProfileFile::write(const std::vector<Entry>& entries) const
{
    for (const Entry& entry : entries) {
        if (!profiletext::canStore(entry.section, entry.key, entry.value))
            return false;
    }
    return modifyFile(path_, [&](const std::string& content) {
        std::string updated = content;
        for (const Entry& entry : entries)
            updated = profiletext::assign(updated, entry.section, entry.key, entry.value);
        return updated;
    });
}

std::string ProfileFile::exchange(const std::string& section, const std::string& key,
                                  const std::string& defaultValue, const std::string& newValue,
                                  int bufferSize) const
{
    std::optional<std::string> seen;
    bool readInside = false;
    if (profiletext::canStore(section, key, newValue)) {
        modifyFile(path_, [&](const std::string& content) {
            readInside = true;
            seen = profiletext::lookup(content, section, key);
            return profiletext::assign(content, section, key, newValue);
        });
    }
    if (!readInside)  // no lock could be taken: a plain read is the best there is
        return read(section, key, defaultValue, bufferSize);
    return cut(seen ? *seen : defaultValue, bufferSize);
}

}  // namespace brunzit
