#include "platform/login_autostart.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/file_system.h"

namespace quorvane::platform {

namespace {

bool ValidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        int trailing = 0;
        uint32_t point = 0;
        if (byte < 0x80) {
            point = byte;
        } else if (byte >= 0xC2 && byte <= 0xDF) {
            trailing = 1;
            point = byte & 0x1Fu;
        } else if (byte >= 0xE0 && byte <= 0xEF) {
            trailing = 2;
            point = byte & 0x0Fu;
        } else if (byte >= 0xF0 && byte <= 0xF4) {
            trailing = 3;
            point = byte & 0x07u;
        } else {
            return false;
        }
        if (i + static_cast<size_t>(trailing) >= text.size() && trailing > 0) return false;
        for (int k = 1; k <= trailing; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            if ((next & 0xC0u) != 0x80u) return false;
            point = (point << 6) | (next & 0x3Fu);
        }
        // Overlong forms, surrogates and points beyond U+10FFFF are not UTF-8.
        if ((trailing == 2 && (point < 0x800 || (point >= 0xD800 && point <= 0xDFFF))) ||
            (trailing == 3 && (point < 0x10000 || point > 0x10FFFF))) {
            return false;
        }
        i += static_cast<size_t>(trailing) + 1;
    }
    return true;
}

// A path a desktop entry can carry: absolute, UTF-8, and without control characters (the
// format has no way to write most of them, and a line break would end the line).
std::string CheckPath(const std::string& path, const char* what) {
    if (path.empty() || path.front() != '/') return std::string(what) + " is not an absolute path";
    if (!ValidUtf8(path)) return std::string(what) + " is not UTF-8, which a desktop entry needs";
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
