#include "platform/profilefile.h"

#include "platform/fileio.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
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
        if (trimmed.find('\0') != std::string_view::npos) {
            // A damaged line: kept as it is, neither a section nor a key.
        } else if (!trimmed.empty() && trimmed[0] == '[') {
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
constexpr mode_t kLockFileMode = 0600;  // no other user can hold it
constexpr mode_t kNewFolderMode = 0755;
// A write keeps the whole file, past the part that is read, up to this size.
constexpr std::size_t kMaxWriteBytes = 16u * 1024u * 1024u;
std::atomic<bool> syncToDisk {true};

enum class FileState {
    Missing,     // no file: an empty settings file
    Readable,    // content holds the file (or, for a read, its first part)
    Failed,      // could not be read (permissions, not a regular file, too large to keep)
};

struct FileContent {
    FileState state = FileState::Missing;
    std::string content;
    mode_t mode = kNewFileMode;
    std::string reason;  // why it Failed
};

std::string errnoText(int error)
{
    return std::strerror(error);
}

// Each reason once per file: the click poll may fail ten times a second.
void logFailure(const std::string& path, const std::string& reason)
{
    static std::mutex mutex;
    static std::set<std::string> logged;
    std::lock_guard<std::mutex> guard(mutex);
    if (logged.insert(path + '\n' + reason).second)
        std::fprintf(stderr, "brunzit: settings file %s not written: %s\n", path.c_str(), reason.c_str());
}

// Reads at most limit + 1 bytes: one more tells a larger file.
bool readUpTo(int fd, std::string& out, std::size_t limit)
{
    out.clear();
    char buffer[65536];
    while (out.size() <= limit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit + 1 - out.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        out.append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

// limit: what is read (the first kMaxFileBytes and one more for a read; the
// whole file for a write, which keeps what it does not look at).
FileContent readFile(const std::string& path, std::size_t limit)
{
    FileContent result;
    // Non-blocking, so a named pipe in place of the file cannot hang a read;
    // the type is taken from the opened descriptor.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.state = errno == ENOENT ? FileState::Missing : FileState::Failed;
        result.reason = errnoText(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.state = FileState::Failed;
        result.reason = "not a regular file";
        return result;
    }
    result.mode = info.st_mode & 07777;
    const bool ok = readUpTo(fd, result.content, limit);
    const int error = errno;
    ::close(fd);
    if (!ok) {
        result.state = FileState::Failed;
        result.reason = errnoText(error);
        result.content.clear();
    } else if (result.content.size() > limit && limit >= kMaxWriteBytes) {
        result.state = FileState::Failed;
        result.reason = "larger than " + std::to_string(kMaxWriteBytes / (1024 * 1024)) + " MB";
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

// The writers' lock: flock on "<target>.lock". Whatever is left under that
// name does not stop a write: a read-only file or a folder is locked just
// the same (flock needs no write access), and a name that cannot be opened
// at all (another user's file, a link) gives way to the folder itself, which
// every writer then finds in the same state. The wait is bounded: a lock
// that another process keeps makes the write fail instead of freezing it.
class FileLock {
public:
    FileLock(const std::string& target, std::chrono::milliseconds wait)
    {
        const std::string name = target + ".lock";
        fd_ = ::open(name.c_str(), O_RDONLY | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, kLockFileMode);
        if (fd_ < 0 && errno == EISDIR)
            fd_ = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0)
            fd_ = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd_ < 0) {
            reason_ = "no lock: " + errnoText(errno);
            return;
        }
        const auto deadline = std::chrono::steady_clock::now() + wait;
        auto pause = std::chrono::milliseconds(1);
        for (;;) {
            if (::flock(fd_, LOCK_EX | LOCK_NB) == 0)
                return;
            if (errno != EWOULDBLOCK && errno != EINTR) {
                reason_ = "no lock: " + errnoText(errno);
                break;
            }
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                reason_ = "another process holds " + name + " for longer than " +
                          std::to_string(wait.count()) + " ms";
                break;
            }
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
            pause = std::min(pause * 2, std::chrono::milliseconds(50));
        }
        ::close(fd_);
        fd_ = -1;
    }
    ~FileLock()
    {
        if (fd_ >= 0)
            ::close(fd_);  // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }
    const std::string& reason() const { return reason_; }

private:
    int fd_ = -1;
    std::string reason_;
};

// Writes the whole content to a temporary file of a unique name beside
// target and renames it over target: a reader sees the old file or the new
// one, never a mixture, and a writer killed halfway leaves the old file
// whole (and a temporary that no later write trips over). The data reach the
// disk before the rename, so a power cut cannot leave an empty file; the
// folder itself is not synced (that would double the cost of every write, and
// losing the rename only brings back the old, whole file). The lock must be held.
// Temporary files are named "<target>.tmp-" and six letters or digits.
constexpr char kTemporaryInfix[] = ".tmp-";

// Temporaries that writers killed halfway left behind. Under the lock no
// other writer of the file is at work, so every one of them is a leftover.
void removeLeftoverTemporaries(const std::string& target)
{
    const std::string folder = folderOf(target);
    const std::size_t slash = target.rfind('/');
    const std::string prefix = (slash == std::string::npos ? target : target.substr(slash + 1)) + kTemporaryInfix;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        if (std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                        [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
            ::unlink((folder + "/" + name).c_str());
    }
    ::closedir(dir);
}

bool replaceFile(const std::string& target, const std::string& content, mode_t mode, std::string& reason)
{
    removeLeftoverTemporaries(target);
    std::string temporary = target + kTemporaryInfix + "XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        reason = "no temporary file: " + errnoText(errno);
        return false;
    }
    (void)::fchmod(fd, mode);  // the old file's permissions, past the umask; best effort
    bool ok = writeAll(fd, content) && (!syncToDisk || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    if (!ok)
        reason = "writing the temporary file: " + errnoText(errno);
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        reason = "rename: " + errnoText(errno);
        ok = false;
    }
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

// A file nobody may write (no write permission bit, as the user's way of
// keeping it as it is, or one this process may not write) is never replaced.
// The bits are looked at too: the superuser may write anything.
bool isReadOnly(const std::string& target, mode_t mode)
{
    return (mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0;
}

// The locked read-modify-write shared by write and exchange. change receives
// the current content (empty for a missing file) and returns the new one. A
// content that would not change the file is not written. Every failure is
// logged with its reason.
template <typename Change>
bool modifyFile(const std::string& path, std::chrono::milliseconds lockWait, Change change)
{
    std::string target;
    std::string reason;
    if (!resolveTarget(path, target)) {
        reason = "broken symbolic link";
    } else if (!makeFolders(folderOf(target))) {
        reason = "cannot create the folder " + folderOf(target);
    } else {
        FileLock lock(target, lockWait);
        if (!lock.held()) {
            reason = lock.reason();
        } else {
            const FileContent current = readFile(target, kMaxWriteBytes);
            if (current.state == FileState::Failed) {
                reason = current.reason;  // cannot see what is there, so cannot keep it
            } else if (current.state == FileState::Readable && isReadOnly(target, current.mode)) {
                reason = "the file is read-only";
            } else {
                const std::string updated = change(current.content);
                if (current.state == FileState::Readable && updated == current.content)
                    return true;
                if (replaceFile(target, updated, current.mode, reason))
                    return true;
            }
        }
    }
    logFailure(path, reason);
    return false;
}

constexpr std::chrono::milliseconds kLockWait {2000};
// The click poll runs every 100 ms on the interface thread: it does not wait
// longer than this, and a report it could not take is taken at a later tick.
constexpr std::chrono::milliseconds kExchangeLockWait {20};

}  // namespace

// ---------------------------------------------------------------------------

namespace profiletext {

bool isSettingsText(std::string_view content)
{
    return content.size() <= kMaxFileBytes;
}

std::size_t readablePart(std::string_view content)
{
    if (content.size() <= kMaxFileBytes)
        return content.size();
    const std::size_t lastBreak = content.substr(0, kMaxFileBytes).rfind('\n');
    return lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
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
    const std::vector<Line> lines = splitLines(std::string_view(content).substr(0, readablePart(content)));
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
    // Only the part a read sees is changed; the rest stays behind it as it was.
    const std::size_t readable = readablePart(content);
    if (readable < content.size())
        return assign(content.substr(0, readable), section, key, value) + content.substr(readable);
    const std::string& base = content;
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

namespace {

// The queued writes of this process, done in order on one worker thread, so
// that no write made on the interface thread waits there for another process.
// Until a write is done, reads see its values through pending().
class WriteQueue {
public:
    struct Job {
        std::string path;
        std::vector<ProfileFile::Entry> entries;
        std::function<void(bool)> done;
    };

    ~WriteQueue()
    {
        finish();
        {
            std::lock_guard<std::mutex> guard(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (worker_.joinable())
            worker_.join();
    }

    void post(Job job)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        jobs_.push_back(std::move(job));
        if (!worker_.joinable())
            worker_ = std::thread([this] { run(); });
        wake_.notify_all();
    }

    // The value of the last queued (or running) write of key, if any.
    std::optional<std::string> pending(const std::string& path, const std::string& section,
                                       const std::string& key)
    {
        std::lock_guard<std::mutex> guard(mutex_);
        for (auto job = jobs_.rbegin(); job != jobs_.rend(); ++job) {
            if (job->path != path)
                continue;
            for (auto entry = job->entries.rbegin(); entry != job->entries.rend(); ++entry) {
                if (equalsIgnoringAsciiCase(entry->section, section) && equalsIgnoringAsciiCase(entry->key, key))
                    return trimBlanks(entry->value).empty() ? std::string() : std::string(trimBlanks(entry->value));
            }
        }
        return std::nullopt;
    }

    void finish()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return jobs_.empty(); });
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
            if (jobs_.empty())
                return;
            // The job stays in the queue while it runs: reads keep seeing it.
            Job& job = jobs_.front();
            lock.unlock();
            const bool ok = ProfileFile(job.path).write(job.entries);
            if (job.done)
                job.done(ok);
            lock.lock();
            jobs_.pop_front();
            if (jobs_.empty())
                idle_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    bool stop_ = false;
    std::thread worker_;
};

WriteQueue& writeQueue()
{
    static WriteQueue queue;
    return queue;
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

void ProfileFile::setSyncToDisk(bool sync)
{
    syncToDisk = sync;
}

std::string ProfileFile::read(const std::string& section, const std::string& key,
                              const std::string& defaultValue, int bufferSize) const
{
    if (auto queued = writeQueue().pending(path_, section, key))
        return cut(*queued, bufferSize);
    const FileContent file = readFile(path_, profiletext::kMaxFileBytes);
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
    return modifyFile(path_, kLockWait, [&](const std::string& content) {
        return profiletext::assign(content, section, key, value);
    });
}

bool ProfileFile::write(const std::vector<Entry>& entries) const
{
    for (const Entry& entry : entries) {
        if (!profiletext::canStore(entry.section, entry.key, entry.value))
            return false;
    }
    return modifyFile(path_, kLockWait, [&](const std::string& content) {
        std::string updated = content;
        for (const Entry& entry : entries)
            updated = profiletext::assign(updated, entry.section, entry.key, entry.value);
        return updated;
    });
}

bool ProfileFile::writeLater(std::vector<Entry> entries, std::function<void(bool)> done) const
{
    for (const Entry& entry : entries) {
        if (!profiletext::canStore(entry.section, entry.key, entry.value))
            return false;
    }
    writeQueue().post({path_, std::move(entries), std::move(done)});
    return true;
}

void ProfileFile::finishQueuedWrites()
{
    writeQueue().finish();
}

std::string ProfileFile::exchange(const std::string& section, const std::string& key,
                                  const std::string& defaultValue, const std::string& newValue,
                                  int bufferSize) const
{
    if (!profiletext::canStore(section, key, newValue))
        return read(section, key, defaultValue, bufferSize);
    std::optional<std::string> seen;
    // Without the lock, or with a file that cannot be written, the value is
    // not taken: it could not be reset, and would be taken again and again.
    const bool written = modifyFile(path_, kExchangeLockWait, [&](const std::string& content) {
        seen = profiletext::lookup(content, section, key);
        return profiletext::assign(content, section, key, newValue);
    });
    return cut(written && seen ? *seen : defaultValue, bufferSize);
}

}  // namespace brunzit
