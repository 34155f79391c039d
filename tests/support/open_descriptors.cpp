#include "support/open_descriptors.h"

#include <dirent.h>

namespace quorvane::testing {

int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.') ++count;
        }
        ::closedir(dir);
    }
    // The directory stream itself was one of them.
    return count - 1;
}

}  // namespace quorvane::testing
