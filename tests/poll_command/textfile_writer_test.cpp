#include "poll_command/textfile_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

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

}  // namespace
}  // namespace quorvane
