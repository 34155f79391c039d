#include "platform/gui/shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace quorvane::platform {

int ShellExecuteA(QWidget* /*parent*/, const std::string& operation, const std::string& file,
                  const std::string& /*parameters*/, const std::string& /*directory*/, int /*showCmd*/) {
    if (!operation.empty() && operation != "open") return SE_ERR_NOASSOC;
    if (file.empty()) return SE_ERR_FNF;

    std::string program = "xdg-open";
    std::string argument = file;
    std::vector<char*> argv{program.data(), argument.data(), nullptr};
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (spawned == ENOENT) return SE_ERR_FNF;
    if (spawned != 0) return SE_ERR_ACCESSDENIED;

    int status = 0;
    pid_t waited = 0;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited != child) return SE_ERR_ACCESSDENIED;
    if (!WIFEXITED(status)) return SE_ERR_ACCESSDENIED;
    switch (WEXITSTATUS(status)) {
        case 0: return ShellExecuteSuccess;
        case 127: return SE_ERR_FNF;  // the shell that runs a spawned script found no program
        default: return SE_ERR_NOASSOC;
    }
}

}  // namespace quorvane::platform
