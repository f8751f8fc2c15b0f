#include "speech/exceptiondictionary.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "speech/unittools.h"

namespace brunzit {

namespace {

bool isBoundary(char c)
{
    return c == ' ' || c == '.' || c == ',' || c == ';';
}

char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upperCopy(std::string_view s)
{
    std::string result(s);
    for (char& c : result)
        c = upperAscii(c);
    return result;
}

// First whole-word occurrence of upperKey at or after from, in a text already
// turned to upper case (boundaries are not letters, so they survive that).
std::size_t findWholeWord(const std::string& upperText, const std::string& upperKey, std::size_t from)
{
    const std::size_t n = upperText.size();
    const std::size_t k = upperKey.size();
    while (from <= n && n - from >= k) {
        const std::size_t p = upperText.find(upperKey, from);
        if (p == std::string::npos)
            return std::string::npos;
        const bool startOk = p == 0 || isBoundary(upperText[p - 1]);
        const bool endOk = p + k == n || isBoundary(upperText[p + k]);
        if (startOk && endOk)
            return p;
        from = p + 1;
    }
    return std::string::npos;
}

// The replacement loop on a text whose upper-case copy the caller keeps, so
// that a whole dictionary can share one copy.
void replaceWholeWordKeepingUpper(std::string& text, std::string& upperText, const std::string& upperKey,
                                  const std::string& replacement, const std::string& upperReplacement,
                                  bool selfContaining)
{
    const std::size_t k = upperKey.size();
    if (k == 0)
        return;
    std::size_t from = 0;
    for (;;) {
        const std::size_t p = findWholeWord(upperText, upperKey, from);
        if (p == std::string::npos)
            return;
        text.replace(p, k, replacement);
        upperText.replace(p, k, upperReplacement);
        if (selfContaining) {
            from = p + replacement.size();
        } else {
            // Scanning again from the start finds nothing before p - k: no
            // match lay before p, and a match ending before the changed text
            // cannot have changed. Resuming there gives the same result
            // without going over the whole text after every replacement.
            from = p >= k ? p - k : 0;
        }
    }
}

}  // namespace

std::size_t FindSeparator(std::string_view line)
{
    for (char separator : {' ', ',', ';', '\t'}) {
        const std::size_t p = line.find(separator);
        if (p != std::string_view::npos)
            return p + 1;
    }
    return 0;
}

bool ContainsWholeWord(std::string_view text, std::string_view key)
{
    if (key.empty())
        return false;
    return findWholeWord(upperCopy(text), upperCopy(key), 0) != std::string::npos;
}

void ReplaceWholeWord(std::string& text, const std::string& key, const std::string& replacement)
{
    if (key.empty())
        return;
    std::string upperText = upperCopy(text);
    replaceWholeWordKeepingUpper(text, upperText, upperCopy(key), replacement, upperCopy(replacement),
                                 ContainsWholeWord(replacement, key));
}

bool ExceptionDictionary::parseLine(std::string_view line, ExceptionEntry& entry)
{
    if (line.empty())
        return false;
    const std::size_t separator = FindSeparator(line);
    if (separator == 0)
        return false;
    std::string key(line.substr(0, separator - 1));
    std::string replacement(line.substr(separator));
    RemoveSpaces(key);
    RemoveSpaces(replacement);
    if (key.empty() || replacement.empty())
        return false;
    entry.selfContaining = ContainsWholeWord(replacement, key);
    entry.key = std::move(key);
    entry.replacement = std::move(replacement);
    return true;
}

std::size_t ExceptionDictionary::loadFromBytes(std::string_view content)
{
    entries_.clear();
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t end = start;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n')
            ++end;
        ExceptionEntry entry;
        if (parseLine(content.substr(start, end - start), entry))
            entries_.push_back(std::move(entry));
        // CR LF, CR and LF each end one line.
        if (end < content.size() && content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n')
            end += 2;
        else
            end += 1;
        start = end;
    }
    return entries_.size();
}

ExceptionDictionary::LoadStatus ExceptionDictionary::loadFromFile(const std::string& path)
{
    entries_.clear();
    // Non-blocking, so that a named pipe given as a dictionary cannot hang the
    // program; only regular files are read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return LoadStatus::ReadFailed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<unsigned long long>(info.st_size) > kMaxFileBytes) {
        ::close(fd);
        return LoadStatus::ReadFailed;
    }
    std::string content;
    content.resize(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    bool failed = false;
    while (got < content.size()) {
        const ssize_t n = ::read(fd, content.data() + got, content.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            failed = true;
            break;
        }
        if (n == 0)
            break;  // the file shrank meanwhile: take what there is
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (failed)
        return LoadStatus::ReadFailed;
    content.resize(got);
    if (content.find('\0') != std::string::npos)
        return LoadStatus::ReadFailed;
    return loadFromBytes(content) > 0 ? LoadStatus::Loaded : LoadStatus::NoEntries;
}

void ExceptionDictionary::ApplyExceptions(std::string& text) const
{
    if (entries_.empty() || text.empty())
        return;
    std::string upperText = upperCopy(text);
    for (const ExceptionEntry& entry : entries_) {
        if (entry.key.empty() || entry.replacement.empty())
            continue;
        replaceWholeWordKeepingUpper(text, upperText, upperCopy(entry.key), entry.replacement,
                                     upperCopy(entry.replacement), entry.selfContaining);
    }
}

}  // namespace brunzit
