#include "support/promtool.h"

#include <cstdlib>

#include "support/temp_dir.h"

namespace quorvane::testing {

bool PromtoolPresent() { return std::system("command -v promtool >/dev/null 2>&1") == 0; }

std::string PromtoolProblems(const std::string& exposition) {
    TempDir dir;
    WriteFile(dir.File("metrics.prom"), exposition);
    const std::string command =
        "promtool check metrics <'" + dir.File("metrics.prom") + "' >'" + dir.File("said") + "' 2>&1";
    const int status = std::system(command.c_str());
    const std::string said = ReadFile(dir.File("said"));
    if (status == 0) return "";
    return said.empty() ? "promtool failed with status " + std::to_string(status) : said;
}

}  // namespace quorvane::testing
