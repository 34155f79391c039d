#include "monitor/ini_settings.h"

#include "platform/file_system.h"
#include "text/mem_ini_file.h"

namespace quorvane {

namespace {

std::string FileNameOnly(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The extension starts at the last "." of the file name, that "." included; a name
// without one has none.
size_t ExtensionStart(const std::string& fileName) {
    const size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName.size() : dot;
}

// Every function works on a store of its own, matching names ignoring case.
class SettingsStore {
public:
    explicit SettingsStore(const std::string& fileName) : ini_(fileName) { ini_.SetMatchCase(false); }
    TMemIniFile& operator*() { return ini_; }
    TMemIniFile* operator->() { return &ini_; }

private:
    TMemIniFile ini_;
};

}  // namespace

std::string IniSectionNameFor(const std::string& executablePath) {
    const std::string name = FileNameOnly(executablePath);
    return name.substr(0, ExtensionStart(name));
}

std::string IniFileNameFor(const std::string& executablePath) { return IniSectionNameFor(executablePath) + ".ini"; }

std::string IniFileName() { return IniFileNameFor(platform::ExecutablePath()); }

std::string IniSectionName() { return IniSectionNameFor(platform::ExecutablePath()); }

bool EnsureIniFile(const std::string& fileName) {
    if (!platform::FileExists(fileName)) {
        SettingsStore store(fileName);
        store->WriteBack();
    }
    return platform::FileExists(fileName);
}

bool IniValueExists(const std::string& fileName, const std::string& section, const std::string& key) {
    SettingsStore store(fileName);
    return store->HasKey(section, key);
}

std::string IniReadString(const std::string& fileName, const std::string& section, const std::string& key,
                          const std::string& defaultValue) {
    // Loaded before a missing key is written, so a missing key reads as the default.
    SettingsStore store(fileName);
    if (!IniValueExists(fileName, section, key)) {
        IniWriteString(fileName, section, key, defaultValue);
    }
    return store->ReadText(section, key, defaultValue);
}

int32_t IniReadInteger(const std::string& fileName, const std::string& section, const std::string& key,
                       int32_t defaultValue) {
    SettingsStore store(fileName);
    if (!IniValueExists(fileName, section, key)) {
        IniWriteInteger(fileName, section, key, defaultValue);
    }
    return store->ReadNumber(section, key, defaultValue);
}

bool IniWriteString(const std::string& fileName, const std::string& section, const std::string& key,
                    const std::string& value) {
    SettingsStore store(fileName);
    store->StoreText(section, key, value);
    store->WriteBack();
    return true;
}

bool IniWriteInteger(const std::string& fileName, const std::string& section, const std::string& key,
                     int32_t value) {
    SettingsStore store(fileName);
    store->StoreNumber(section, key, value);
    store->WriteBack();
    return true;
}

}  // namespace quorvane
