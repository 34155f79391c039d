#include "gui_test_support.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace quorvane::testing {

namespace {

std::string MakeDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvane-opener-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return std::string();
    return pattern;
}

std::string CurrentPath() {
    const char* path = getenv("PATH");
    return path ? path : "";
}

}  // namespace

std::vector<platform::DialogRequest>& RecordedDialogs() {
    static std::vector<platform::DialogRequest> dialogs;
    return dialogs;
}

void ClearRecordedDialogs() { RecordedDialogs().clear(); }

FakeOpener::FakeOpener(int exitCode, int runSeconds) : directory_(MakeDirectory()), previousPath_(CurrentPath()) {
    const std::string script = directory_ + "/xdg-open";
    {
        std::ofstream out(script);
        out << "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" << directory_ << "/calls'\n";
        out << "echo $$ > '" << directory_ << "/pid'\n";
        if (runSeconds > 0) out << "sleep " << runSeconds << "\n";
        out << "exit " << exitCode << "\n";
    }
    chmod(script.c_str(), 0755);
    setenv("PATH", (directory_ + ":" + previousPath_).c_str(), 1);
}

FakeOpener::~FakeOpener() {
    setenv("PATH", previousPath_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

std::vector<std::string> FakeOpener::Calls() const {
    std::vector<std::string> lines;
    std::ifstream in(directory_ + "/calls");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int FakeOpener::LastPid() const {
    std::ifstream in(directory_ + "/pid");
    int pid = 0;
    in >> pid;
    return pid;
}

NoOpener::NoOpener() : directory_(MakeDirectory()), previousPath_(CurrentPath()) {
    // Only an empty directory on PATH: no opener can be found at all.
    setenv("PATH", directory_.c_str(), 1);
}

NoOpener::~NoOpener() {
    setenv("PATH", previousPath_.c_str(), 1);
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

}  // namespace quorvane::testing
