#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include <cstring>

#include "platform/file_system.h"

namespace quorvane::platform {

namespace {

void Report(TLoaderError* error) {
    const char* text = dlerror();
    if (error == nullptr) return;
    error->Code = 1;
    error->Text = text != nullptr ? text : "unknown loader error";
}

}  // namespace

TLibraryHandle LoadDynamicLibrary(const std::string& fileName, TLoaderError* error) {
    // Local binding: the library's entry points carry the C library's names and must never
    // take their place for the rest of the process.
    constexpr int kMode = RTLD_NOW | RTLD_LOCAL;
    // A bare file name is looked for beside the executable first. The executable's RUNPATH
    // says the same, but the loader applies it only when the executable itself calls dlopen,
    // and sanitizer runtimes put their own dlopen in between.
    if (fileName.find('/') == std::string::npos) {
        const std::string executable = ExecutablePath();
        const size_t slash = executable.rfind('/');
        if (slash != std::string::npos) {
            const std::string besideExecutable = executable.substr(0, slash + 1) + fileName;
            if (TLibraryHandle handle = dlopen(besideExecutable.c_str(), kMode)) return handle;
        }
    }
    dlerror();
    TLibraryHandle handle = dlopen(fileName.c_str(), kMode);
    if (handle == nullptr) Report(error);
    return handle;
}

void* FindLibraryEntry(TLibraryHandle library, const char* name, TLoaderError* error) {
    dlerror();
    void* entry = library != nullptr ? dlsym(library, name) : nullptr;
    if (entry == nullptr) {
        if (library == nullptr) {
            if (error != nullptr) *error = TLoaderError{1, "library not loaded"};
        } else {
            Report(error);
        }
    }
    return entry;
}

void FreeDynamicLibrary(TLibraryHandle library) noexcept {
    if (library != nullptr) dlclose(library);
}

std::string SystemErrorText(int32_t code) {
    char buffer[256];
    // GNU strerror_r: the text may or may not be placed in the buffer.
    const char* text = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    return text != nullptr ? text : std::string();
}

}  // namespace quorvane::platform
