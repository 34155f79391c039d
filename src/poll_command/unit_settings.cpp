#include "poll_command/unit_settings.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/file_system.h"
#include "text/blank_text.h"
#include "text/mem_ini_file.h"

namespace quorvane {

namespace {

// A password file holds a secret, not a document: anything longer is the wrong file.
constexpr size_t kMaxPasswordFileBytes = 4096;

int32_t KeyNumber(const TMemIniFile& store, const std::string& place, const std::string& section,
                  const std::string& key, int32_t lowest, int32_t highest) {
    const std::string text = store.ReadText(section, key, "");
    const std::optional<int32_t> value = TCustomIniFile::ParseNumber(text);
    if (!value || *value < lowest || *value > highest) {
        throw EPollUsageError(place + ": key " + key + ": expected a whole number from " + std::to_string(lowest) +
                              " to " + std::to_string(highest) + ", not '" + text + "'");
    }
    return *value;
}

// The keys of the file over the window's defaults. The interval is the window's own (the
// command has --every), so neither read nor checked.
void ApplySettingsFile(const TPollCommandOptions& options, TUnitSettings& settings) {
    const std::string& fileName = options.SettingsFile;
    if (!platform::FileExists(fileName)) throw EPollUsageError("--settings: no such file: " + fileName);
    const std::string section = options.Section.value_or(std::filesystem::path(fileName).stem().string());
    const std::string place = "settings file " + fileName + ", section [" + section + "]";
    std::optional<TMemIniFile> store;
    try {
        store.emplace(fileName);
    } catch (const EStreamError& e) {
        throw EPollUsageError("--settings: " + e.Message());
    }
    store->SetMatchCase(false);
    bool anyKey = false;
    for (const TUnitSettingKey& key : UnitSettingKeys()) {
        if (key.Number == &TUnitSettings::Interval || !store->HasKey(section, key.Name)) continue;
        anyKey = true;
        if (key.Text == &TUnitSettings::Port) {
            // The window keeps the port as text; here a bad one is an error rather than a silent 80.
            settings.Port = std::to_string(KeyNumber(*store, place, section, key.Name, 1, 65535));
        } else if (key.Text != nullptr) {
            settings.*key.Text = store->ReadText(section, key.Name, "");
        } else {
            settings.*key.Number = KeyNumber(*store, place, section, key.Name, key.Lowest, key.Highest);
        }
    }
    if (!anyKey) throw EPollUsageError(place + ": the section is missing or holds none of the unit's keys");
}

std::string PasswordFromFile(const std::string& fileName, const TWarningSink& warn) {
    std::string content;
    if (const int error = platform::ReadWholeFile(fileName, content, kMaxPasswordFileBytes); error != 0) {
        throw EPollUsageError("--password-file: cannot read " + fileName + ": " + platform::FileErrorText(error));
    }
    const size_t lineEnd = content.find_first_of("\r\n");
    std::string password = lineEnd == std::string::npos ? content : content.substr(0, lineEnd);
    // Blanks around a password are never sent, so a blank line would be an empty password: a
    // file written wrongly, not a choice.
    if (Trim(password).empty()) {
        throw EPollUsageError("--password-file: the first line of " + fileName +
                              " is empty; the password goes on the first line");
    }
    // As ssh does for keys: said, not refused, since the poll itself is not at risk.
    struct stat info {};
    if (warn && ::stat(fileName.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
        warn("warning: the password file " + fileName + " may be read by others (mode " + mode +
             "); make it readable by its owner only (chmod 600)");
    }
    return password;
}

}  // namespace

std::optional<std::string> ProcessEnvironment(const std::string& name) {
    const char* const value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

TUnitTarget ResolveUnitTarget(const TPollCommandOptions& options, const TEnvironmentLookup& environment,
                              const TWarningSink& warn) {
    TUnitSettings settings;
    // The window's default address is a stand-in for the user's own unit: never polled unasked.
    settings.Address.clear();
    if (!options.SettingsFile.empty()) ApplySettingsFile(options, settings);
    if (options.Address) settings.Address = *options.Address;
    if (options.Port) settings.Port = std::to_string(*options.Port);
    if (options.User) settings.UserName = *options.User;
    if (options.ConnectTimeoutSeconds) settings.ConnectTimeout = *options.ConnectTimeoutSeconds;
    if (options.ReadTimeoutSeconds) settings.ReadTimeout = *options.ReadTimeoutSeconds;
    if (!options.PasswordFile.empty()) {
        settings.Password = PasswordFromFile(options.PasswordFile, warn);
    } else if (const std::optional<std::string> fromEnvironment = environment("QUORVANE_PASSWORD")) {
        settings.Password = *fromEnvironment;
    }
    if (settings.Address.empty()) {
        throw EPollUsageError(options.SettingsFile.empty()
                                  ? "no unit address: give --address ADDR or --settings FILE"
                                  : "settings file " + options.SettingsFile + ": key IPV4: no unit address (or give --address)");
    }
    return settings.Target();
}

}  // namespace quorvane
