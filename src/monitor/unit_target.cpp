#include "monitor/unit_target.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>

#include "monitor/ini_settings.h"
#include "text/mem_ini_file.h"

namespace quorvane {

namespace {

int32_t Milliseconds(int32_t seconds) {
    return static_cast<int32_t>(std::clamp<int64_t>(int64_t{seconds} * 1000, INT32_MIN, INT32_MAX));
}

}  // namespace

TUnitTarget TUnitSettings::Target() const {
    return TUnitTarget{Address, UnitPort(Port), UserName, Password, Milliseconds(ConnectTimeout),
                       Milliseconds(ReadTimeout)};
}

const std::array<TUnitSettingKey, 7>& UnitSettingKeys() {
    static const std::array<TUnitSettingKey, 7> keys{{
        {"IPV4", &TUnitSettings::Address},
        {"Port", &TUnitSettings::Port},
        {"UserName", &TUnitSettings::UserName},
        {"Pass", &TUnitSettings::Password},
        {"Timeout", nullptr, &TUnitSettings::ConnectTimeout, 0, TUnitSettings::kMaxTimeout},
        {"RTimeout", nullptr, &TUnitSettings::ReadTimeout, 0, TUnitSettings::kMaxTimeout},
        {"Interval", nullptr, &TUnitSettings::Interval, 0, TUnitSettings::kMaxInterval},
    }};
    return keys;
}

const TUnitSettingKey& UnitSettingKeyOf(int32_t TUnitSettings::* number) {
    for (const TUnitSettingKey& key : UnitSettingKeys()) {
        if (key.Number == number) return key;
    }
    throw std::invalid_argument("no such setting");
}

int32_t UnitPort(const std::string& portText) { return TCustomIniFile::ParseNumber(portText).value_or(80); }

void LoadUnitSetting(const std::string& fileName, const std::string& section, const TUnitSettingKey& key,
                     TUnitSettings& settings) {
    if (key.Text != nullptr) {
        settings.*key.Text = IniReadString(fileName, section, key.Name, settings.*key.Text);
    } else {
        settings.*key.Number = IniReadInteger(fileName, section, key.Name, settings.*key.Number);
    }
}

void SaveUnitSettings(const std::string& fileName, const std::string& section, const TUnitSettings& settings) {
    for (const TUnitSettingKey& key : UnitSettingKeys()) {
        if (key.Text != nullptr) {
            IniWriteString(fileName, section, key.Name, settings.*key.Text);
        } else {
            IniWriteInteger(fileName, section, key.Name, settings.*key.Number);
        }
    }
}

}  // namespace quorvane
