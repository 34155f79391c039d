#pragma once

#include <cstdint>
#include <string>

namespace quorvane::platform {

// The platform's loader of shared libraries: load by file name, find an entry by name,
// release. This is the only place that knows how; a port to another system swaps this file.
using TLibraryHandle = void*;

// The loader's report of a failed call. POSIX loaders give a text but no number; a failure
// then carries the code 1 so that callers that show "text only when the code is set" show it.
struct TLoaderError {
    int32_t Code = 0;
    std::string Text;
};

// nullptr on failure; error (when given) receives the loader's report.
TLibraryHandle LoadDynamicLibrary(const std::string& fileName, TLoaderError* error = nullptr);
// nullptr when the library has no such entry; error (when given) receives the loader's report.
void* FindLibraryEntry(TLibraryHandle library, const char* name, TLoaderError* error = nullptr);
void FreeDynamicLibrary(TLibraryHandle library) noexcept;

// The system's message text for an error code ("Unknown error 10093" for codes it has none for).
std::string SystemErrorText(int32_t code);

}  // namespace quorvane::platform
