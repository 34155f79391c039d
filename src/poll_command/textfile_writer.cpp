#include "poll_command/textfile_writer.h"

#include "platform/file_system.h"
#include "rtl/exception.h"

namespace quorvane {

void WriteTextfile(const std::string& path, const std::string& content) {
    if (const int error = platform::ReplaceFileContent(path, content); error != 0) {
        throw EFCreateError("--textfile: cannot write " + path + ": " + platform::FileErrorText(error));
    }
}

}  // namespace quorvane
