#include "platform/dynlib.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <vector>

#include "platform/paths.h"

namespace brunzit {

namespace {

// Opened and checked on the descriptor: a named pipe or a device of that
// name is not a library, and opening it must not block.
bool isRegularFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    ::close(fd);
    return regular;
}

std::string trimmed(const std::string& s)
{
    const std::size_t begin = s.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    return s.substr(begin, s.find_last_not_of(" \t\r") - begin + 1);
}

// The folders of ld.so.conf, following its "include" lines (globs), in the
// order the cache builder takes them. Relative entries are ignored.
void readLdConf(const std::string& file, std::vector<std::string>& folders, int depth)
{
    std::ifstream in(file);
    std::string line;
    while (depth < 8 && std::getline(in, line)) {
        line = trimmed(line.substr(0, line.find('#')));
        if (line.rfind("include", 0) == 0 && line.size() > 7 && (line[7] == ' ' || line[7] == '\t')) {
            std::string pattern = trimmed(line.substr(8));
            if (!pattern.empty() && pattern[0] != '/') {
                const std::size_t slash = file.rfind('/');
                pattern = file.substr(0, slash + 1) + pattern;
            }
            glob_t found {};
            if (::glob(pattern.c_str(), 0, nullptr, &found) == 0) {
                for (std::size_t i = 0; i < found.gl_pathc; ++i)
                    readLdConf(found.gl_pathv[i], folders, depth + 1);
            }
            ::globfree(&found);
        } else if (!line.empty() && line[0] == '/') {
            folders.push_back(line);
        }
    }
}

// The folder the C library was loaded from: the multiarch folder of this
// machine ("/lib/x86_64-linux-gnu"), whatever the architecture.
std::string cLibraryFolder()
{
    Dl_info info {};
    if (::dladdr(reinterpret_cast<void*>(&::getpid), &info) == 0 || !info.dli_fname)
        return {};
    const std::string path = info.dli_fname;
    const std::size_t slash = path.rfind('/');
    return (path[0] == '/' && slash != std::string::npos) ? path.substr(0, slash) : std::string();
}

std::vector<std::string> searchFolders()
{
    std::vector<std::string> folders;
    if (const char* env = std::getenv("LD_LIBRARY_PATH")) {
        // The system loader splits on ':' and ';'.
        const std::string list(env);
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = list.find_first_of(":;", start);
            const std::string entry = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!entry.empty() && entry[0] == '/')
                folders.push_back(entry);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
    }
    const std::string own = executableFolder();
    if (!own.empty() && own[0] == '/')
        folders.push_back(own);
    readLdConf("/etc/ld.so.conf", folders, 0);
    const std::string libc = cLibraryFolder();
    if (!libc.empty())
        folders.push_back(libc);
    for (const char* standard : {"/lib", "/usr/lib", "/lib64", "/usr/lib64"})
        folders.emplace_back(standard);
    return folders;
}

}  // namespace

std::string DynamicLibrary::locate(const std::string& fileName)
{
    if (fileName.empty())
        return {};
    if (fileName.find('/') != std::string::npos) {
        // A path relative to the working folder is exactly what must not be
        // loaded; an absolute path is taken as it is.
        return fileName[0] == '/' && isRegularFile(fileName) ? fileName : std::string();
    }
    std::set<std::string> tried;
    for (std::string folder : searchFolders()) {
        if (folder.back() != '/')
            folder += '/';
        if (!tried.insert(folder).second)
            continue;
        const std::string candidate = folder + fileName;
        if (isRegularFile(candidate))
            return candidate;
    }
    return {};
}

DynamicLibrary::~DynamicLibrary()
{
    unload();
}

bool DynamicLibrary::load(const std::string& fileName)
{
    unload();
    const std::string path = locate(fileName);
    if (path.empty())
        return false;
    handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
}

void DynamicLibrary::unload()
{
    if (handle_) {
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

void* DynamicLibrary::symbol(const char* name) const
{
    if (!handle_ || !name)
        return nullptr;
    return ::dlsym(handle_, name);
}

}  // namespace brunzit
