#pragma once
// Loading a library at run time by name.

#include <string>

namespace brunzit {

class DynamicLibrary {
public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads fileName from the full path that locate() finds; an absolute
    // path is taken as it is. Nothing is ever handed to the system loader by
    // bare name or by a relative path, so a library planted in the working
    // folder can never run, whatever LD_LIBRARY_PATH holds.
    bool load(const std::string& fileName);
    void unload();
    bool isLoaded() const { return handle_ != nullptr; }

    // Address of an exported symbol, or nullptr.
    void* symbol(const char* name) const;

    // The full path of the first regular file named fileName in: each
    // absolute entry of LD_LIBRARY_PATH in order (empty and relative entries
    // are skipped), the program's folder, the folders of /etc/ld.so.conf,
    // the folder of the C library and the standard library folders.
    // Empty when none holds it, or when fileName is a relative path.
    static std::string locate(const std::string& fileName);

private:
    void* handle_ = nullptr;
};

}  // namespace brunzit
