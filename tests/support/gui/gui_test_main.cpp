// Main of the toolkit tests: the offscreen platform and a private runtime directory must be in
// the environment before the application object exists, and every modal dialog is recorded
// instead of shown.

#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "gui_test_support.h"
#include "platform/gui/application.h"

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string runtime = (std::filesystem::temp_directory_path() / "quorvane-xdg-XXXXXX").string();
    if (mkdtemp(runtime.data()) != nullptr) setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    // The transport loads the socket library for each poll and unloads it afterwards; its
    // process-wide handle table then lives in unmapped memory, which the leak checker reports.
    // Holding the library for the whole run keeps the table reachable.
    std::error_code error;
    const auto beside = std::filesystem::read_symlink("/proc/self/exe", error).parent_path() / "libquorvane_socket.so";
    void* socketLibrary = error ? nullptr : dlopen(beside.c_str(), RTLD_NOW);

    ::testing::InitGoogleMock(&argc, argv);
    int result = 0;
    {
        quorvane::platform::TApplication application(argc, argv);
        application.SetTitle("Quorvane");
        quorvane::platform::SetDialogHook([](const quorvane::platform::DialogRequest& request) {
            quorvane::testing::RecordedDialogs().push_back(request);
            return quorvane::platform::mrOk;
        });
        result = RUN_ALL_TESTS();
        quorvane::platform::SetDialogHook({});
    }
    std::error_code ignored;
    std::filesystem::remove_all(runtime, ignored);
    (void)socketLibrary;  // deliberately held until the process ends
    return result;
}
