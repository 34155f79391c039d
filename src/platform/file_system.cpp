#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>

namespace quorvane::platform {

namespace {

// How long a lock held by someone else is waited for before the access is refused. Readers
// and writers of this layer hold their locks only for one read or one replacement.
constexpr auto kLockPatience = std::chrono::milliseconds(250);
constexpr auto kLockRetryStep = std::chrono::milliseconds(5);

// A file descriptor closed on every path.
class Descriptor {
public:
    explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
    ~Descriptor() { Reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const noexcept { return fd_; }
    bool Valid() const noexcept { return fd_ >= 0; }
    void Reset(int fd = -1) noexcept {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = fd;
    }

private:
    int fd_;
};

// Takes an advisory lock, waiting a short while for a holder to finish.
int LockPatiently(int fd, int operation) {
    const auto deadline = std::chrono::steady_clock::now() + kLockPatience;
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0) {
            return 0;
        }
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        if (error != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            return error;
        }
        std::this_thread::sleep_for(kLockRetryStep);
    }
}

int WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (written == 0) {
            return EIO;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

int ReadAll(int fd, std::string& content, size_t maxBytes) {
    content.clear();
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        if (static_cast<uint64_t>(info.st_size) > maxBytes) {
            return EFBIG;
        }
        content.reserve(static_cast<size_t>(info.st_size));
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            return 0;
        }
        if (static_cast<size_t>(got) > maxBytes - content.size()) {
            content.clear();
            return EFBIG;
        }
        content.append(buffer, static_cast<size_t>(got));
    }
}

// The file a name finally denotes: a symbolic link is followed so that replacing the file
// keeps the link. A name whose target does not exist yet is used as it is.
std::string ResolveTarget(const std::string& fileName) {
    struct stat info {};
    if (::lstat(fileName.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(fileName.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return fileName;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    if (slash == 0) {
        return "/";
    }
    return path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates a file of a fresh name beside the target, with the mode (less the umask) that
// creating the target itself would give it.
int CreateSibling(const std::string& target, mode_t mode, Descriptor& file, std::string& siblingName) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 generator{std::random_device{}()};
    const std::string prefix = DirectoryOf(target) + "/." + BaseNameOf(target) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = prefix + std::to_string(::getpid()) + "-" +
                                      std::to_string(counter.fetch_add(1)) + "-" +
                                      std::to_string(generator() % 1000000u) + ".tmp";
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            file.Reset(fd);
            siblingName = candidate;
            return 0;
        }
        if (errno != EEXIST && errno != EINTR) {
            return errno;
        }
    }
    return EEXIST;
}

void SyncDirectory(const std::string& directory) {
    const Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid()) {
        ::fsync(dir.Get());
    }
}

// Writes into a file that cannot be replaced by renaming (a device, a pipe): the old way,
// emptying it first.
int WriteInPlace(int fd, const std::string& content) {
    if (::ftruncate(fd, 0) != 0 && errno != EINVAL) {
        return errno;
    }
    return WriteAll(fd, content.data(), content.size());
}

// Room for the new content, taken before any byte of the file changes, so that a full disk (or
// a file-size limit) refuses the rewrite while the old content is still whole. Where the file
// system cannot reserve ahead, the part of the new content beyond the old end is written
// first instead, and the old length comes back if even that fails.
int ReserveRoom(int fd, off_t oldSize, const std::string& content) {
    if (content.empty()) {
        return 0;
    }
    const int error = ::posix_fallocate(fd, 0, static_cast<off_t>(content.size()));
    if (error != EOPNOTSUPP && error != EINVAL && error != EBADF) {
        return error;
    }
    if (static_cast<off_t>(content.size()) <= oldSize) {
        return 0;
    }
    if (::lseek(fd, oldSize, SEEK_SET) < 0) {
        return errno;
    }
    if (const int written = WriteAll(fd, content.data() + oldSize, content.size() - static_cast<size_t>(oldSize));
        written != 0) {
        (void)!::ftruncate(fd, oldSize);
        return written;
    }
    return 0;
}

// Rewrites a regular file whose folder refuses a fresh one. The file is never empty or short of
// its old content on the way: the room comes first, the new bytes go over the old from the
// start, and a shorter content cuts the old tail off only once it is all written.
int OverwriteInPlace(int fd, off_t oldSize, const std::string& content) {
    if (const int error = ReserveRoom(fd, oldSize, content); error != 0) {
        return error;
    }
    if (::lseek(fd, 0, SEEK_SET) < 0) {
        return errno;
    }
    if (const int error = WriteAll(fd, content.data(), content.size()); error != 0) {
        return error;
    }
    if (::ftruncate(fd, static_cast<off_t>(content.size())) != 0) {
        return errno;
    }
    return ::fsync(fd) == 0 ? 0 : errno;
}

}  // namespace

bool FileExists(const std::string& fileName) {
    struct stat info {};
    return !fileName.empty() && ::stat(fileName.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string FullPathName(const std::string& fileName) {
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(std::filesystem::path(fileName), error);
    if (error) {
        path = std::filesystem::path(fileName);
    }
    return path.lexically_normal().string();
}

std::string FileErrorText(int errorCode) {
    char buffer[256];
    // The GNU variant returns the text, which may or may not live in the buffer.
    const char* text = ::strerror_r(errorCode, buffer, sizeof buffer);
    return text != nullptr ? std::string(text) : std::string();
}

std::string ExecutablePath() {
    char buffer[PATH_MAX + 1];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (length <= 0) {
        return std::string();
    }
    return std::string(buffer, static_cast<size_t>(length));
}

int ReadWholeFile(const std::string& fileName, std::string& content, size_t maxBytes) {
    content.clear();
    // A replacement may land between open and lock; then the descriptor holds the old file
    // and the name the new one, so open again. Bounded: a name that keeps changing is read as
    // it is on the last try.
    for (int attempt = 0;; ++attempt) {
        // Non-blocking open, so that a pipe without a writer cannot hold the caller.
        Descriptor file(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (!file.Valid()) {
            return errno;
        }
        struct stat opened {};
        if (::fstat(file.Get(), &opened) != 0) {
            return errno;
        }
        if (S_ISDIR(opened.st_mode)) {
            return EISDIR;
        }
        const int flags = ::fcntl(file.Get(), F_GETFL);
        if (flags >= 0) {
            ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK);
        }
        if (const int error = LockPatiently(file.Get(), LOCK_SH); error != 0 && error != ENOLCK) {
            return error;
        }
        struct stat named {};
        if (attempt < 5 && S_ISREG(opened.st_mode) &&
            (::stat(fileName.c_str(), &named) != 0 || named.st_ino != opened.st_ino ||
             named.st_dev != opened.st_dev)) {
            continue;
        }
        return ReadAll(file.Get(), content, maxBytes);
    }
}

int ReplaceFileContent(const std::string& fileName, const std::string& content, uint32_t newFileMode,
                       TInPlace inPlace) {
    if (fileName.empty()) {
        return ENOENT;
    }
    const std::string target = ResolveTarget(fileName);

    // Open the old file for writing without changing it: this refuses exactly what emptying
    // it would be refused (a read-only file, a directory), and its lock keeps readers of this
    // layer out while it is being replaced.
    Descriptor old(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat oldInfo {};
    if (old.Valid()) {
        if (::fstat(old.Get(), &oldInfo) != 0) {
            return errno;
        }
        if (const int error = LockPatiently(old.Get(), LOCK_EX); error != 0 && error != ENOLCK) {
            return error;
        }
        if (!S_ISREG(oldInfo.st_mode)) {
            return WriteInPlace(old.Get(), content);
        }
    } else if (errno != ENOENT) {
        return errno;
    }

    Descriptor fresh;
    std::string freshName;
    // Beside an old file the fresh one stays private until it takes the old one's mode.
    const mode_t freshMode = old.Valid() ? 0600 : static_cast<mode_t>(newFileMode & 07777);
    if (const int error = CreateSibling(target, freshMode, fresh, freshName); error != 0) {
        // A folder that may not be written to still leaves a writable file writable. In place
        // is less safe than a rename, but it saves what a plain rewrite would; a full disk
        // (or any other failure) does not come here.
        if (inPlace == TInPlace::Allowed && old.Valid() && (error == EACCES || error == EPERM)) {
            return OverwriteInPlace(old.Get(), oldInfo.st_size, content);
        }
        return error;
    }
    int error = WriteAll(fresh.Get(), content.data(), content.size());
    if (error == 0 && old.Valid()) {
        // Only a privileged writer can hand the file back to its owner; others keep it as
        // theirs, as a rewrite by them would. The owner goes first because changing it clears
        // set-id bits.
        if (::geteuid() == 0) {
            (void)!::fchown(fresh.Get(), oldInfo.st_uid, oldInfo.st_gid);
        }
        if (::fchmod(fresh.Get(), oldInfo.st_mode & 07777) != 0) {
            error = errno;
        }
    }
    if (error == 0 && ::fsync(fresh.Get()) != 0) {
        error = errno;
    }
    if (error == 0 && ::rename(freshName.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(freshName.c_str());
        return error;
    }
    SyncDirectory(DirectoryOf(target));
    return 0;
}

}  // namespace quorvane::platform
