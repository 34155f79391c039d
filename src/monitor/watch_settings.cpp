#include "monitor/watch_settings.h"

#include <ostream>

#include "text/mem_ini_file.h"

namespace quorvane {

namespace {

struct TSwitchKey {
    const char* Name;
    bool TWatchSettings::* Member;
};
constexpr TSwitchKey kKeys[] = {{"StartWatching", &TWatchSettings::StartWatching},
                                {"KeepInTray", &TWatchSettings::KeepInTray}};

}  // namespace

TWatchSettings TWatchSettings::Load(const std::string& fileName, std::ostream& warnings) {
    const TMemIniFile ini(fileName);
    TWatchSettings settings;
    for (const TSwitchKey& key : kKeys) {
        if (!ini.HasKey(kSection, key.Name)) continue;
        const std::string value = ini.ReadText(kSection, key.Name, std::string());
        const std::optional<int32_t> number = TCustomIniFile::ParseNumber(value);
        if (number && (*number == 0 || *number == 1)) {
            settings.*key.Member = *number == 1;
        } else {
            warnings << fileName << ", [" << kSection << "]: ignored " << key.Name << "=" << value << " (0 or 1)\n";
        }
    }
    return settings;
}

void TWatchSettings::Save(const std::string& fileName, const TWatchSettings& settings) {
    TMemIniFile ini(fileName);
    for (const TSwitchKey& key : kKeys) ini.StoreText(kSection, key.Name, settings.*key.Member ? "1" : "0");
    ini.WriteBack();
}

}  // namespace quorvane
