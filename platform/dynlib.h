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

    // Loads fileName through the system's library search (LD_LIBRARY_PATH is
    // honoured), then from the program's own folder. Never from the current
    // working folder: a bare name is never resolved against it.
    bool load(const std::string& fileName);
    void unload();
    bool isLoaded() const { return handle_ != nullptr; }

    // Address of an exported symbol, or nullptr.
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
};

}  // namespace brunzit
