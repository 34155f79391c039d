#include "platform/file_system.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quorvane::platform {
namespace {

using testing::ReadFile;
using testing::RunInChild;
using testing::TempDir;
using testing::WriteFile;

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 07777;
}

size_t EntriesIn(const std::filesystem::path& directory) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) {
        ++count;
    }
    return count;
}

TEST(FileSystemTest, NamesAndTexts) {
    TempDir dir;
    WriteFile(dir.File("a.ini"), "x");
    EXPECT_TRUE(FileExists(dir.File("a.ini")));
    EXPECT_FALSE(FileExists(dir.File("missing.ini")));
    EXPECT_FALSE(FileExists(dir.Path().string()));  // a directory is no file
    EXPECT_FALSE(FileExists(""));

    testing::ScopedWorkingDirectory cwd(dir.Path());
    const std::string base = std::filesystem::current_path().string();
    EXPECT_EQ(FullPathName("a.ini"), base + "/a.ini");
    EXPECT_EQ(FullPathName("sub/../b.ini"), base + "/b.ini");
    EXPECT_EQ(FullPathName("/x/./y/../z.ini"), "/x/z.ini");

    const std::string exe = ExecutablePath();
    EXPECT_EQ(std::filesystem::path(exe).filename(), "platform_file_system_test");
    EXPECT_TRUE(std::filesystem::path(exe).is_absolute());
}

TEST(FileSystemTest, ReadWholeFileTakesEveryByteAndReportsErrno) {
    TempDir dir;
    const std::string bytes("a\0b\r\n\xff\x83\x5c", 8);
    WriteFile(dir.File("bin"), bytes);
    std::string content = "stale";
    ASSERT_EQ(ReadWholeFile(dir.File("bin"), content), 0);
    EXPECT_EQ(content, bytes);

    EXPECT_EQ(ReadWholeFile(dir.File("missing"), content), ENOENT);
    EXPECT_EQ(ReadWholeFile(dir.Path().string(), content), EISDIR);

    // Sources that never end, or are too big, stop at the bound instead of eating memory.
    EXPECT_EQ(ReadWholeFile("/dev/zero", content, 1024 * 1024), EFBIG);
    EXPECT_EQ(ReadWholeFile(dir.File("bin"), content, 7), EFBIG);
    EXPECT_EQ(ReadWholeFile(dir.File("bin"), content, 8), 0);
}

TEST(FileSystemTest, ReaderIsRefusedWhileWriterHoldsTheFile) {
    TempDir dir;
    const std::string path = dir.File("held.ini");
    WriteFile(path, "old");
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    std::string content;
    EXPECT_EQ(ReadWholeFile(path, content), EWOULDBLOCK);
    // The writer is kept out by a reader in the same way.
    ::flock(fd, LOCK_UN);
    ASSERT_EQ(::flock(fd, LOCK_SH), 0);
    EXPECT_EQ(ReplaceFileContent(path, "new"), EWOULDBLOCK);
    ::close(fd);
    EXPECT_EQ(ReadFile(path), "old");
    EXPECT_EQ(ReplaceFileContent(path, "new"), 0);
    EXPECT_EQ(ReadFile(path), "new");
}

TEST(FileSystemTest, ReplacementKeepsModeFollowsLinksAndLeavesNoLitter) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");

    // A new file gets what the umask leaves of 0666, as a plain create would.
    const mode_t mask = ::umask(022);
    ASSERT_EQ(ReplaceFileContent(path, "one"), 0);
    EXPECT_EQ(ModeOf(path), 0644u);
    ::umask(mask);

    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(ReplaceFileContent(path, "two, longer"), 0);
    EXPECT_EQ(ReadFile(path), "two, longer");
    EXPECT_EQ(ModeOf(path), 0640u);

    ASSERT_EQ(ReplaceFileContent(path, ""), 0);
    EXPECT_EQ(std::filesystem::file_size(path), 0u);

    const std::string link = dir.File("link.ini");
    std::filesystem::create_symlink(path, link);
    ASSERT_EQ(ReplaceFileContent(link, "through the link"), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(path), "through the link");

    EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}

TEST(FileSystemTest, ReplacementRefusalsLeaveEverythingAsItWas) {
    TempDir dir;
    WriteFile(dir.File("plain"), "content");
    // A path whose parent is a regular file: no folder to write into, even for root.
    EXPECT_EQ(ReplaceFileContent(dir.File("plain") + "/x.ini", "new"), ENOTDIR);
    EXPECT_EQ(ReplaceFileContent(dir.File("nowhere") + "/x.ini", "new"), ENOENT);
    // A directory in the file's place.
    std::filesystem::create_directory(dir.File("folder.ini"));
    EXPECT_EQ(ReplaceFileContent(dir.File("folder.ini"), "new"), EISDIR);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.ini")));
    EXPECT_EQ(ReplaceFileContent("", "new"), ENOENT);
    EXPECT_EQ(ReadFile(dir.File("plain")), "content");
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}

// A full disk: the file-size limit makes the write fail part way, as ENOSPC would. Both ways
// of writing meet it: the fresh file renamed over the old one, and the rewrite in place that a
// folder refusing the fresh file leaves (tried by an unprivileged writer, whom the folder's
// mode binds).
TEST(FileSystemTest, FailedWriteLeavesTheOldFileWhole) {
    for (const bool lockedFolder : {false, true}) {
        TempDir dir;
        const std::string path = dir.File("settings.ini");
        const std::string old = "[monitor]\r\nPort=80\r\n\r\n";
        WriteFile(path, old);
        ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
        ASSERT_EQ(::chmod(dir.Path().c_str(), lockedFolder ? 0555 : 0777), 0);
        const std::string big(64 * 1024, 'x');
        const int code = RunInChild([&] {
            if (lockedFolder && !testing::DropPrivileges()) {
                return 2;
            }
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{4096, 4096};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return 2;
            }
            return ReplaceFileContent(path, big) == EFBIG ? 0 : 1;
        });
        EXPECT_EQ(code, 0) << "locked folder: " << lockedFolder;
        EXPECT_EQ(ReadFile(path), old) << "locked folder: " << lockedFolder;
        EXPECT_EQ(EntriesIn(dir.Path()), 1u);
    }
}

// Root passes every mode check, so the refusals an ordinary user meets are tried in a child
// that has given up root.
TEST(FileSystemTest, UnprivilegedWriterMeetsReadOnlyFileAndFolderButStillWritesAWritableFile) {
    TempDir dir;
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    const std::string readOnly = dir.File("ro.ini");
    WriteFile(readOnly, "kept");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    // The folder is writable, so only the explicit check keeps the file from being renamed
    // over.
    const int code = RunInChild([&] {
        if (!testing::DropPrivileges()) {
            return 2;
        }
        return ReplaceFileContent(readOnly, "new") == EACCES ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile(readOnly), "kept");

    TempDir locked;
    WriteFile(locked.File("s.ini"), "kept");
    ASSERT_EQ(::chmod(locked.File("s.ini").c_str(), 0666), 0);
    ASSERT_EQ(::chmod(locked.Path().c_str(), 0555), 0);
    const int lockedCode = RunInChild([&] {
        if (!testing::DropPrivileges()) {
            return 2;
        }
        const bool newRefused = ReplaceFileContent(locked.File("new.ini"), "x") == EACCES;
        // The file itself is writable: it is rewritten in place.
        const bool oldWritten = ReplaceFileContent(locked.File("s.ini"), "x") == 0;
        return newRefused && oldWritten ? 0 : 1;
    });
    EXPECT_EQ(lockedCode, 0);
    EXPECT_EQ(ReadFile(locked.File("s.ini")), "x");
    EXPECT_EQ(EntriesIn(locked.Path()), 1u);
}

}  // namespace
}  // namespace quorvane::platform
