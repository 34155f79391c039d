#include "poll_command/unit_settings.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <vector>

#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEnvironmentLookup Environment(std::map<std::string, std::string> variables) {
    return [variables](const std::string& name) -> std::optional<std::string> {
        const auto found = variables.find(name);
        if (found == variables.end()) return std::nullopt;
        return found->second;
    };
}

std::string UsageError(const TPollCommandOptions& options) {
    try {
        ResolveUnitTarget(options, Environment({}));
    } catch (const EPollUsageError& e) {
        return e.Message();
    }
    return "accepted";
}

TEST(UnitSettingsTest, ReadsTheWindowsFileWithoutWritingItAndOptionsWin) {
    TempDir dir;
    // Lower-case keys, and RTimeout missing: the window would add it to the file at once.
    const std::string content = "[QUORVANE]\r\nipv4=127.0.0.3\r\nport=81\r\nUserName=admin\r\nPass=from-file\r\nTimeout=3\r\n\r\n";
    const std::string file = dir.File("Quorvane.ini");
    WriteFile(file, content);
    const auto modified = std::filesystem::last_write_time(file);

    TPollCommandOptions options = ParsePollCommandLine({"--settings", file, "--user", "operator"});
    const TUnitTarget target = ResolveUnitTarget(options, Environment({}));
    EXPECT_EQ(target.Host, "127.0.0.3");
    EXPECT_EQ(target.Port, 81);
    EXPECT_EQ(target.UserName, "operator");
    EXPECT_EQ(target.Password, "from-file");
    EXPECT_EQ(target.ConnectTimeoutMs, 3000);
    EXPECT_EQ(target.ReadTimeoutMs, 10000);

    EXPECT_EQ(ReadFile(file), content);
    EXPECT_EQ(std::filesystem::last_write_time(file), modified);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    EXPECT_EQ(ResolveUnitTarget(options, Environment({{"QUORVANE_PASSWORD", "from-variable"}})).Password,
              "from-variable");
}

TEST(UnitSettingsTest, ErrorsNameTheFileOrKey) {
    TempDir dir;
    const std::string file = dir.File("Quorvane.ini");
    TPollCommandOptions options;
    options.SettingsFile = file;
    EXPECT_EQ(UsageError(options), "--settings: no such file: " + file);

    WriteFile(file, "[Quorvane]\r\nIPV4=127.0.0.1\r\nPort=eighty\r\n");
    EXPECT_EQ(UsageError(options), "settings file " + file +
                                       ", section [Quorvane]: key Port: expected a whole number from 1 to 65535, "
                                       "not 'eighty'");

    WriteFile(file, "[Quorvane]\r\nPort=80\r\n");
    EXPECT_EQ(UsageError(options), "settings file " + file + ": key IPV4: no unit address (or give --address)");
    options.Address = "127.0.0.1";
    EXPECT_EQ(UsageError(options), "accepted");

    options.Section = "Other";
    EXPECT_NE(UsageError(options).find("section [Other]: the section is missing"), std::string::npos);
    EXPECT_EQ(UsageError(TPollCommandOptions{}), "no unit address: give --address ADDR or --settings FILE");
}

// A blank first line would send an empty password; a file others may read is said, as ssh
// says it of a key.
TEST(UnitSettingsTest, PasswordFileMustHoldAPasswordAndIsWarnedAboutWhenOthersMayReadIt) {
    TempDir dir;
    TPollCommandOptions options = ParsePollCommandLine({"--address", "127.0.0.1", "--password-file", dir.File("pw")});
    std::vector<std::string> warnings;
    const auto resolve = [&] {
        warnings.clear();
        return ResolveUnitTarget(options, Environment({}), [&](const std::string& line) { warnings.push_back(line); });
    };
    for (const char* blank : {"", "\n", " \t\r\nsecond line\n"}) {
        WriteFile(dir.File("pw"), blank);
        EXPECT_EQ(UsageError(options), "--password-file: the first line of " + dir.File("pw") +
                                           " is empty; the password goes on the first line");
    }
    WriteFile(dir.File("pw"), "s3cret\n");
    ASSERT_EQ(::chmod(dir.File("pw").c_str(), 0644), 0);
    EXPECT_EQ(resolve().Password, "s3cret");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0], "warning: the password file " + dir.File("pw") +
                               " may be read by others (mode 0644); make it readable by its owner only (chmod 600)");
    ASSERT_EQ(::chmod(dir.File("pw").c_str(), 0600), 0);
    EXPECT_EQ(resolve().Password, "s3cret");
    EXPECT_TRUE(warnings.empty());
}

}  // namespace
}  // namespace quorvane
