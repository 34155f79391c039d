#include "poll_command/textfile_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include <sys/stat.h>

#include "rtl/exception.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::TempDir;

// node_exporter reads the file whenever Prometheus scrapes, with no regard to the writer: each
// read must find one whole poll. Large contents make a torn write likely to be seen.
TEST(TextfileWriterTest, AReaderNeverSeesAHalfFile) {
    TempDir dir;
    const std::string path = dir.File("quorvane.prom");
    const std::string first(256 * 1024, 'a');
    const std::string second(192 * 1024, 'b');
    WriteTextfile(path, first);

    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; i < 150; ++i) WriteTextfile(path, i % 2 == 0 ? second : first);
        writing = false;
    });
    int reads = 0;
    int torn = 0;
    while (writing || reads == 0) {
        const std::string seen = testing::ReadFile(path);
        ++reads;
        if (seen != first && seen != second) ++torn;
    }
    writer.join();
    EXPECT_EQ(torn, 0) << "of " << reads << " reads";
    // Nothing is left beside the file for the collector to pick up.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// A folder that refuses the temporary file (the service user lacks write access there) must not
// make the file be rewritten in place, where the collector could read it half-written.
TEST(TextfileWriterTest, AFolderWithoutRoomForTheTemporaryFileFailsAndNamesIt) {
    TempDir dir;
    const std::string path = dir.File("quorvane.prom");
    testing::WriteFile(path, "old\n");
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0555), 0);
    const int code = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) return 10;
        try {
            WriteTextfile(path, "new\n");
        } catch (const EFCreateError& e) {
            return e.Message().find("folder " + dir.Path().string() + ")") != std::string::npos ? 0 : 11;
        }
        return 12;
    });
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(testing::ReadFile(path), "old\n");
}

}  // namespace
}  // namespace quorvane
