#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvane::platform {

// Whole-file access for the settings file and the string lists. These calls report failures
// as errno values (0 for success) instead of raising, because the runtime's exception classes
// live in a layer above this one; the callers turn a failure into EFOpenError/EFCreateError
// with FullPathName() and FileErrorText().

// True when the name denotes an existing file that is not a directory.
bool FileExists(const std::string& fileName);

// The absolute, lexically normalised form of the name (relative names are taken against the
// current working directory; symbolic links are not resolved).
std::string FullPathName(const std::string& fileName);

// The platform's text for an errno value of these calls ("Permission denied").
std::string FileErrorText(int errorCode);

// The same text under the name the loader layer gives it (defined in dynamic_library.cpp);
// declared here as well for callers that report file errors with it.
std::string SystemErrorText(int32_t code);

// The path of the running executable, empty when the platform cannot tell.
std::string ExecutablePath();

// Reads the whole file into content. While reading, the file is held with a shared advisory
// lock, so a writer of this layer cannot replace it underneath (others may read, not write).
// A file held exclusively by someone else is waited for a short while and then reported as
// EWOULDBLOCK. A file (or device) that yields more than maxBytes is refused with EFBIG
// rather than exhausting memory.
constexpr size_t kMaxWholeFileSize = size_t{512} * 1024 * 1024;
int ReadWholeFile(const std::string& fileName, std::string& content, size_t maxBytes = kMaxWholeFileSize);

// Replaces the file's content by the given bytes. The bytes go to a fresh file beside the old
// one, are flushed to the disk and then renamed over it, so a full disk, a crash or a write
// error leaves either the old content or the new one, never a mix or an empty file. The new
// file keeps the old file's permission bits (and, where allowed, its owner); a file that the
// caller may not open for writing is refused with that error, exactly as truncating it would
// be, and stays untouched. A symbolic link is followed: the file it names is replaced.
//
// A file that does not exist yet is created with newFileMode (less the umask). An existing,
// writable file in a folder that refuses the fresh file (no write permission there) is
// rewritten in place and flushed instead, so whatever a plain rewrite could save is saved: the
// room for the new bytes is taken first (a full disk refuses the rewrite with the old content
// whole), and the file is cut to the new length only after they are all written. A reader
// may then meet a mix of both contents, so a file read by others at any moment refuses the
// rewrite in place (inPlace Refused) and reports the folder's error instead.
enum class TInPlace { Allowed, Refused };
int ReplaceFileContent(const std::string& fileName, const std::string& content, uint32_t newFileMode = 0666,
                       TInPlace inPlace = TInPlace::Allowed);

}  // namespace quorvane::platform
