#include "platform/dynlib.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/paths.h"

namespace brunzit {

namespace {

bool isRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// An empty or relative entry of LD_LIBRARY_PATH makes the system search look
// in (or below) the current working folder. When such an entry would find the
// name, the system search is not used at all: the library's constructors
// would run before any check after loading could refuse it.
bool systemSearchReachesWorkingFolder(const std::string& fileName)
{
    const char* env = std::getenv("LD_LIBRARY_PATH");
    if (!env)
        return false;
    const std::string list(env);
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = list.find_first_of(":;", start);
        const std::string entry = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (entry.empty() || entry[0] != '/') {
            const std::string candidate = entry.empty() ? fileName : entry + "/" + fileName;
            if (isRegularFile(candidate))
                return true;
        }
        if (end == std::string::npos)
            return false;
        start = end + 1;
    }
}

// The file the loader actually opened, to refuse one found by a relative path.
bool loadedFromAbsolutePath(void* handle)
{
    link_map* map = nullptr;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name)
        return false;
    return map->l_name[0] == '/';
}

}  // namespace

DynamicLibrary::~DynamicLibrary()
{
    unload();
}

bool DynamicLibrary::load(const std::string& fileName)
{
    unload();
    if (fileName.empty())
        return false;
    if (fileName.find('/') != std::string::npos) {
        // A path relative to the working folder is exactly what must not be
        // loaded; an absolute path is taken as it is.
        if (fileName[0] != '/')
            return false;
        handle_ = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
        return handle_ != nullptr;
    }
    if (!systemSearchReachesWorkingFolder(fileName)) {
        handle_ = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ && !loadedFromAbsolutePath(handle_)) {
            ::dlclose(handle_);
            handle_ = nullptr;
        }
        if (handle_)
            return true;
    }
    const std::string folder = executableFolder();
    if (folder.empty())
        return false;
    handle_ = ::dlopen((folder + fileName).c_str(), RTLD_NOW | RTLD_LOCAL);
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
