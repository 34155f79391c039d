#include "poll_command/textfile_writer.h"

#include <filesystem>

#include "platform/file_system.h"
#include "rtl/exception.h"

namespace quorvane {

void WriteTextfile(const std::string& path, const std::string& content) {
    // Never in place: the collector reads whenever it is scraped and must not meet a file
    // that is part old, part new or cut short.
    const int error = platform::ReplaceFileContent(path, content, 0666, platform::TInPlace::Refused);
    if (error != 0) {
        const std::string folder = std::filesystem::path(platform::FullPathName(path)).parent_path().string();
        throw EFCreateError("--textfile: cannot write " + path + " (it is replaced by a temporary file in the folder " +
                            folder + "): " + platform::FileErrorText(error));
    }
}

}  // namespace quorvane
