#include "history/history_window_settings.h"

#include <ostream>

#include "platform/locale_text.h"
#include "text/mem_ini_file.h"

namespace quorvane {

const std::array<const char*, THistoryWindowSettings::kGroupCount> THistoryWindowSettings::kGroupWords = {
    "Temperatures", "FanSpeeds", "Voltages", "Inputs"};
const std::array<const char*, THistoryWindowSettings::kRangeCount> THistoryWindowSettings::kRangeWords = {
    "5m", "15m", "1h", "24h", "7d", "30d", "All"};

namespace {

bool Same(const std::string& a, const std::string& b) { return platform::AnsiSameText(a, b); }

// Applies one key; false, leaving the settings as they were, when the key or value is unknown.
bool ApplyKey(const std::string& key, const std::string& value, THistoryWindowSettings& settings) {
    const std::optional<int32_t> number = TCustomIniFile::ParseNumber(value);
    if (Same(key, "Left") || Same(key, "Top")) {
        if (!number) return false;
        (Same(key, "Left") ? settings.Left : settings.Top) = *number;
        return true;
    }
    if (Same(key, "Width") || Same(key, "Height")) {
        if (!number || *number < 100 || *number > 100'000) return false;
        (Same(key, "Width") ? settings.Width : settings.Height) = *number;
        return true;
    }
    if (Same(key, "Maximized")) {
        if (!number || (*number != 0 && *number != 1)) return false;
        settings.Maximized = *number == 1;
        return true;
    }
    if (Same(key, "Range")) {
        for (int i = 0; i < THistoryWindowSettings::kRangeCount; ++i) {
            if (!Same(value, THistoryWindowSettings::kRangeWords[static_cast<size_t>(i)])) continue;
            settings.Range = i;
            return true;
        }
        return false;
    }
    if (Same(key, "Groups")) {
        std::array<bool, THistoryWindowSettings::kGroupCount> groups{};
        size_t start = 0;
        while (start <= value.size()) {
            const size_t end = std::min(value.find(',', start), value.size());
            const std::string word = value.substr(start, end - start);
            bool known = false;
            for (int i = 0; i < THistoryWindowSettings::kGroupCount; ++i) {
                if (Same(word, THistoryWindowSettings::kGroupWords[static_cast<size_t>(i)]))
                    known = groups[static_cast<size_t>(i)] = true;
            }
            if (!known && !word.empty()) return false;
            start = end + 1;
        }
        settings.Groups = groups;
        return true;
    }
    return false;
}

}  // namespace

THistoryWindowSettings THistoryWindowSettings::Load(const std::string& fileName, std::ostream& warnings) {
    TMemIniFile ini(fileName);
    THistoryWindowSettings settings;
    for (const std::string& line : ini.SectionLines(kSection)) {
        const size_t separator = line.find('=');
        if (separator == std::string::npos ||
            !ApplyKey(line.substr(0, separator), line.substr(separator + 1), settings)) {
            warnings << fileName << ", [" << kSection << "]: ignored \"" << line
                     << "\" (unknown key or a value that does not fit it)\n";
        }
    }
    return settings;
}

void THistoryWindowSettings::Save(const std::string& fileName, const THistoryWindowSettings& settings) {
    TMemIniFile ini(fileName);
    ini.SetMatchCase(false);
    auto put = [&](const char* key, const std::optional<int32_t>& value) {
        if (value)
            ini.StoreText(kSection, key, std::to_string(*value));
        else
            ini.DeleteKey(kSection, key);
    };
    put("Left", settings.Left);
    put("Top", settings.Top);
    put("Width", settings.Width);
    put("Height", settings.Height);
    put("Maximized", settings.Maximized ? 1 : 0);
    std::string groups;
    for (int i = 0; i < kGroupCount; ++i) {
        if (settings.Groups[static_cast<size_t>(i)])
            groups += std::string(groups.empty() ? "" : ",") + kGroupWords[static_cast<size_t>(i)];
    }
    ini.StoreText(kSection, "Groups", groups);
    ini.StoreText(kSection, "Range", kRangeWords[static_cast<size_t>(settings.Range)]);
    ini.WriteBack();
}

}  // namespace quorvane
