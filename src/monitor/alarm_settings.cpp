#include "monitor/alarm_settings.h"

#include <ostream>
#include <vector>

#include "platform/locale_text.h"
#include "text/mem_ini_file.h"

namespace quorvane {

namespace {

const char* const kInputWatchNames[] = {"", "Change", "On", "Off"};

std::string InputKey(int index) { return ReadingOf(TReadingGroup::Input, index + 1).Key(); }
std::string ReadingKey(int row) { return Readings().at(static_cast<size_t>(row)).Key(); }

bool Same(const std::string& a, const std::string& b) { return platform::AnsiSameText(a, b); }

std::optional<TInputWatch> ParseInputWatch(const std::string& text) {
    for (int i = 1; i < 4; ++i) {
        if (Same(text, kInputWatchNames[i])) return static_cast<TInputWatch>(i);
    }
    return std::nullopt;
}

std::optional<bool> ParseSwitch(const std::string& text) {
    const std::optional<int32_t> number = TCustomIniFile::ParseNumber(text);
    if (!number || (*number != 0 && *number != 1)) return std::nullopt;
    return *number == 1;
}

// Applies one key of the section to the rules; false, leaving them as they were, when the key
// or its value is unknown.
bool ApplyKey(const std::string& key, const std::string& value, TAlarmRules& rules) {
    for (int row = 0; row < kAnalogueReadingCount; ++row) {
        const std::string prefix = ReadingKey(row);
        TReadingLimits& limits = rules.Readings[static_cast<size_t>(row)];
        if (Same(key, prefix + "Low") || Same(key, prefix + "High")) {
            const std::optional<double> number = ReadingNumber(value);
            if (!number) return false;
            (Same(key, prefix + "Low") ? limits.Low : limits.High) = TAlarmLimit{*number, value};
            return true;
        }
        if (Same(key, prefix + "Enabled")) {
            const std::optional<bool> on = ParseSwitch(value);
            if (on) limits.Enabled = *on;
            return on.has_value();
        }
        if (Same(key, prefix + "Delay")) {
            const std::optional<int32_t> polls = TCustomIniFile::ParseNumber(value);
            if (!polls || *polls < 1 || *polls > TReadingLimits::kMaxDelay) return false;
            limits.Delay = *polls;
            return true;
        }
    }
    for (int index = 0; index < kInputCount; ++index) {
        if (Same(key, InputKey(index))) {
            const std::optional<TInputWatch> watch = ParseInputWatch(value);
            if (watch) rules.Inputs[static_cast<size_t>(index)] = *watch;
            return watch.has_value();
        }
    }
    if (Same(key, "UnitSilentEnabled")) {
        const std::optional<bool> on = ParseSwitch(value);
        if (on) rules.SilenceEnabled = *on;
        return on.has_value();
    }
    if (Same(key, "Command")) {
        // Run without a shell and never looked up on the PATH: only a full path says which
        // program it is.
        if (!value.empty() && value.front() != '/') return false;
        rules.Command = value;
        return true;
    }
    if (Same(key, "UnitSilentPolls")) {
        const std::optional<int32_t> polls = TCustomIniFile::ParseNumber(value);
        if (!polls || *polls < 1 || *polls > 1000) return false;
        rules.SilencePolls = *polls;
        return true;
    }
    return false;
}

// The row of a reading's key ("Temp2High" is 1), or -1 for a key of no reading's row.
int ReadingRowOf(const std::string& key) {
    for (int row = 0; row < kAnalogueReadingCount; ++row) {
        const std::string prefix = ReadingKey(row);
        if (Same(key, prefix + "Low") || Same(key, prefix + "High") || Same(key, prefix + "Enabled")) return row;
    }
    return -1;
}

// Replaces a value or drops the key when the rule is unset, every line of it either way: an
// earlier line of the key would otherwise set the rule again at the next start. A value the
// rules cannot have come from (malformed) is the user's own text: it stays unless the rule
// now sets the key.
void Put(TMemIniFile& ini, const std::string& key, const std::optional<std::string>& value) {
    if (value) {
        ini.StoreSoleText(TAlarmSettings::kSection, key, *value);
        return;
    }
    ini.DeleteKey(TAlarmSettings::kSection, key, [&key](const std::string& text) {
        TAlarmRules probe;
        return ApplyKey(key, text, probe);
    });
}

}  // namespace

TAlarmRules TAlarmSettings::Load(const std::string& fileName, std::ostream& warnings, TAlarmRowNotes* rowNotes) {
    TMemIniFile ini(fileName);
    TAlarmRules rules;
    TAlarmRowNotes notes;
    const auto note = [&notes](int row, const std::string& text) {
        if (row >= 0) notes[static_cast<size_t>(row)] += (notes[static_cast<size_t>(row)].empty() ? "" : "; ") + text;
    };
    std::vector<TMemIniFile::TSectionText> sections = ini.SectionsNamed(kSection);
    for (size_t earlier = 0; earlier + 1 < sections.size(); ++earlier) {
        warnings << fileName << ": ignored the section [" << sections[earlier].Name << "]: a later section ["
                 << sections.back().Name << "] takes its place\n";
        for (const std::string& line : sections[earlier].Lines) {
            note(ReadingRowOf(TStrings::NameOf(line)), "\"" + line + "\" is ignored: a later [" + sections.back().Name +
                                                           "] section takes the place of its section");
        }
    }
    const std::vector<std::string> lines = sections.empty() ? std::vector<std::string>() : sections.back().Lines;
    for (const std::string& line : lines) {
        const size_t separator = line.find('=');
        if (separator == std::string::npos) {
            warnings << fileName << ", [" << kSection << "]: ignored a line without \"=\": \"" << line << "\"\n";
            continue;
        }
        const std::string key = line.substr(0, separator);
        const std::string value = line.substr(separator + 1);
        if (!ApplyKey(key, value, rules)) {
            warnings << fileName << ", [" << kSection << "]: ignored \"" << line
                     << "\" (unknown key or a value that does not fit it)\n";
            note(ReadingRowOf(key), "\"" + line + "\" in the settings file does not fit");
        }
    }
    for (int row = 0; row < kAnalogueReadingCount; ++row) {
        const TReadingLimits& limits = rules.Readings[static_cast<size_t>(row)];
        if (!limits.Crossed()) continue;
        warnings << fileName << ", [" << kSection << "]: " << ReadingKey(row) << "Low=" << limits.Low->Text
                 << " is not below " << ReadingKey(row) << "High=" << limits.High->Text
                 << "; that row watches nothing until it is mended\n";
        note(row, "low must be below high; not watched");
    }
    if (rowNotes != nullptr) *rowNotes = notes;
    return rules;
}

void TAlarmSettings::Save(const std::string& fileName, const TAlarmRules& rules) {
    TMemIniFile ini(fileName);
    ini.SetMatchCase(false);
    for (int row = 0; row < kAnalogueReadingCount; ++row) {
        const TReadingLimits& limits = rules.Readings[static_cast<size_t>(row)];
        const std::string prefix = ReadingKey(row);
        auto text = [](const std::optional<TAlarmLimit>& limit) {
            return limit ? std::optional<std::string>(limit->Text) : std::nullopt;
        };
        Put(ini, prefix + "Low", text(limits.Low));
        Put(ini, prefix + "High", text(limits.High));
        // Only what differs from a fresh start is written: a row that is off, a silence alarm that
        // is on, a count other than the usual one.
        Put(ini, prefix + "Enabled", limits.Enabled ? std::nullopt : std::optional<std::string>("0"));
        Put(ini, prefix + "Delay",
            limits.Delay == 1 ? std::nullopt : std::optional<std::string>(std::to_string(limits.Delay)));
    }
    for (int index = 0; index < kInputCount; ++index) {
        const TInputWatch watch = rules.Inputs[static_cast<size_t>(index)];
        Put(ini, InputKey(index),
            watch == TInputWatch::None ? std::nullopt
                                       : std::optional<std::string>(kInputWatchNames[static_cast<int>(watch)]));
    }
    Put(ini, "UnitSilentEnabled", rules.SilenceEnabled ? std::optional<std::string>("1") : std::nullopt);
    Put(ini, "UnitSilentPolls", rules.SilencePolls != TAlarmRules{}.SilencePolls
                                    ? std::optional<std::string>(std::to_string(rules.SilencePolls))
                                    : std::nullopt);
    Put(ini, "Command", rules.Command.empty() ? std::nullopt : std::optional<std::string>(rules.Command));
    ini.WriteBack();
}

}  // namespace quorvane
