#include "platform/login_autostart.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quorvane::platform {

namespace {

// A path a desktop entry can carry: absolute, UTF-8, and without control characters (the
// format has no way to write most of them, and a line break would end the line).
std::string CheckPath(const std::string& path, const char* what) {
    if (path.empty() || path.front() != '/') return std::string(what) + " is not an absolute path";
    if (Utf8Text(path) != path) return std::string(what) + " is not UTF-8, which a desktop entry needs";
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return std::string(what) + " holds a control character";
        }
    }
    return std::string();
}

// A string value: a backslash is written doubled; a blank at the end would be cut off by
// readers, so it is written as "\s".
std::string StringValue(const std::string& text) {
    std::string value;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') value += "\\\\";
        else if (c == ' ' && text.find_first_not_of(' ', i) == std::string::npos) value += "\\s";
        else value += c;
    }
    return value;
}

// The program as one quoted argument of Exec: inside the quotes '"', '`', '$' and '\' take a
// backslash, '%' (a field code otherwise) is doubled, and then the line is a string value.
std::string ExecProgram(const std::string& path) {
    std::string quoted = "\"";
    for (const char c : path) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
        if (c == '%') quoted += '%';
    }
    quoted += '"';
    return StringValue(quoted);
}

}  // namespace

std::string LoginAutostartPath() {
    std::filesystem::path base;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        base = configHome;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        base = std::filesystem::path(home) / ".config";
    } else {
        return std::string();
    }
    return (base / "autostart" / "quorvane.desktop").string();
}

bool LoginAutostartEnabled() {
    const std::string path = LoginAutostartPath();
    return !path.empty() && FileExists(path);
}

std::string LoginAutostartEntry(const std::string& executable, const std::string& folder, std::string& error) {
    error = CheckPath(executable, "The program's path");
    if (error.empty()) error = CheckPath(folder, "The settings folder");
    if (!error.empty()) return std::string();
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quorvane\n"
           "Comment=Watch the sensor unit from the start of the session\n"
           "Exec=" + ExecProgram(executable) + " --watch\n"
           "Path=" + StringValue(folder) + "\n"
           "Icon=quorvane\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

std::string EnableLoginAutostart(const std::string& executable, const std::string& folder) {
    const std::string path = LoginAutostartPath();
    if (path.empty()) return "Neither XDG_CONFIG_HOME nor HOME names a folder for the autostart entry";
    std::string error;
    const std::string entry = LoginAutostartEntry(executable, folder, error);
    if (!error.empty()) return error;
    std::error_code made;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), made);
    if (made) return std::filesystem::path(path).parent_path().string() + ": " + made.message();
    const int written = ReplaceFileContent(path, entry, 0644);
    return written == 0 ? std::string() : path + ": " + FileErrorText(written);
}

std::string DisableLoginAutostart() {
    const std::string path = LoginAutostartPath();
    if (path.empty() || !FileExists(path)) return std::string();
    std::error_code removed;
    std::filesystem::remove(path, removed);
    return removed ? path + ": " + removed.message() : std::string();
}

}  // namespace quorvane::platform
