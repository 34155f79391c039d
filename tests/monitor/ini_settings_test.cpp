#include "monitor/ini_settings.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "rtl/exception.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

struct NameCase {
    std::string executable;
    std::string fileName;
    std::string section;
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.executable; }

class IniNamesTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(IniNamesTest, FollowTheExecutable) {
    EXPECT_EQ(IniFileNameFor(GetParam().executable), GetParam().fileName);
    EXPECT_EQ(IniSectionNameFor(GetParam().executable), GetParam().section);
}

INSTANTIATE_TEST_SUITE_P(Table, IniNamesTest,
                         ::testing::Values(NameCase{"/opt/app/monitor.exe", "monitor.ini", "monitor"},
                                           NameCase{"/usr/bin/quorvane", "quorvane.ini", "quorvane"},
                                           NameCase{"/odd.dir/mon", "mon.ini", "mon"},
                                           NameCase{"x.tar.gz", "x.tar.ini", "x.tar"},
                                           NameCase{"/bin/trail.", "trail.ini", "trail"}));

TEST(IniNamesTest, RunningExecutableGivesNamesWithoutDirectory) {
    EXPECT_EQ(IniFileName(), "monitor_ini_settings_test.ini");
    EXPECT_EQ(IniSectionName(), "monitor_ini_settings_test");
}

// The window's controls as the settings see them: four texts and three spinner positions.
struct Controls {
    std::string ipv4 = "192.168.0.10";
    std::string port = "80";
    std::string userName = "admin";
    std::string pass = "57203941";
    int32_t timeout = 2;
    int32_t rTimeout = 10;
    int32_t interval = 60;
};

// The window's order of loading and saving.
void Load(const std::string& file, const std::string& section, Controls& c) {
    EnsureIniFile(file);
    c.ipv4 = IniReadString(file, section, "IPV4", c.ipv4);
    c.port = IniReadString(file, section, "Port", c.port);
    c.userName = IniReadString(file, section, "UserName", c.userName);
    c.pass = IniReadString(file, section, "Pass", c.pass);
    c.timeout = IniReadInteger(file, section, "Timeout", c.timeout);
    c.rTimeout = IniReadInteger(file, section, "RTimeout", c.rTimeout);
    c.interval = IniReadInteger(file, section, "Interval", c.interval);
}

void Save(const std::string& file, const std::string& section, const Controls& c) {
    IniWriteString(file, section, "IPV4", c.ipv4);
    IniWriteString(file, section, "Port", c.port);
    IniWriteString(file, section, "UserName", c.userName);
    IniWriteString(file, section, "Pass", c.pass);
    IniWriteInteger(file, section, "Timeout", c.timeout);
    IniWriteInteger(file, section, "RTimeout", c.rTimeout);
    IniWriteInteger(file, section, "Interval", c.interval);
}

const char* const kDefaultFile =
    "[monitor]\r\nIPV4=192.168.0.10\r\nPort=80\r\nUserName=admin\r\nPass=57203941\r\n"
    "Timeout=2\r\nRTimeout=10\r\nInterval=60\r\n\r\n";

class IniSettingsTest : public ::testing::Test {
protected:
    TempDir dir_;
    testing::ScopedWorkingDirectory cwd_{dir_.Path()};
};

TEST_F(IniSettingsTest, FirstStartCreatesAndSeedsTheFile) {
    EXPECT_TRUE(EnsureIniFile("monitor.ini"));
    EXPECT_EQ(ReadFile("monitor.ini"), "");
    Controls controls;
    Load("monitor.ini", "monitor", controls);
    EXPECT_EQ(ReadFile("monitor.ini"), kDefaultFile);
    EXPECT_EQ(controls.port, "80");
    EXPECT_EQ(controls.interval, 60);
    // A second start finds everything and changes nothing; a save rewrites the same text.
    Load("monitor.ini", "monitor", controls);
    Save("monitor.ini", "monitor", controls);
    EXPECT_EQ(ReadFile("monitor.ini"), kDefaultFile);
}

TEST_F(IniSettingsTest, KeysAndSectionMatchIgnoringCase) {
    WriteFile("monitor.ini", "[MONITOR]\r\nport=81\r\n");
    Controls controls;
    Load("monitor.ini", "monitor", controls);
    EXPECT_EQ(controls.port, "81");
    Save("monitor.ini", "monitor", controls);
    EXPECT_EQ(ReadFile("monitor.ini"),
              "[MONITOR]\r\nPort=81\r\nIPV4=192.168.0.10\r\nUserName=admin\r\nPass=57203941\r\n"
              "Timeout=2\r\nRTimeout=10\r\nInterval=60\r\n\r\n");
}

TEST_F(IniSettingsTest, MissingKeyIsWrittenBackWithTheDefault) {
    WriteFile("monitor.ini",
              "[monitor]\r\nIPV4=10.1.2.3\r\nPort=8080\r\nUserName=u\r\nPass=p\r\nTimeout=3\r\nRTimeout=4\r\n\r\n");
    Controls controls;
    controls.interval = 60;
    Load("monitor.ini", "monitor", controls);
    EXPECT_EQ(controls.interval, 60);
    EXPECT_EQ(controls.ipv4, "10.1.2.3");
    EXPECT_EQ(controls.timeout, 3);
    EXPECT_EQ(ReadFile("monitor.ini"),
              "[monitor]\r\nIPV4=10.1.2.3\r\nPort=8080\r\nUserName=u\r\nPass=p\r\nTimeout=3\r\nRTimeout=4\r\n"
              "Interval=60\r\n\r\n");
}

TEST_F(IniSettingsTest, BadNumbersReadAsTheControlsValueUntilTheNextSave) {
    WriteFile("monitor.ini", "[monitor]\nTimeout=abc\nRTimeout=99999999999\nInterval=0x1E\nPass=\n");
    Controls controls;
    controls.timeout = 5;
    Load("monitor.ini", "monitor", controls);
    EXPECT_EQ(controls.timeout, 5);
    EXPECT_EQ(controls.rTimeout, 10);
    EXPECT_EQ(controls.interval, 30);
    EXPECT_EQ(controls.pass, "");  // present but empty is no missing key
    EXPECT_NE(ReadFile("monitor.ini").find("Timeout=abc\r\n"), std::string::npos);
    Save("monitor.ini", "monitor", controls);
    const std::string saved = ReadFile("monitor.ini");
    EXPECT_NE(saved.find("Timeout=5\r\nRTimeout=10\r\nInterval=30\r\n"), std::string::npos) << saved;
}

TEST_F(IniSettingsTest, EnsureLeavesAnExistingFileAlone) {
    WriteFile("monitor.ini", "not an ini file\x01\x02");
    EXPECT_TRUE(EnsureIniFile("monitor.ini"));
    EXPECT_EQ(ReadFile("monitor.ini"), "not an ini file\x01\x02");
    EXPECT_FALSE(IniValueExists("monitor.ini", "monitor", "Port"));
    EXPECT_FALSE(IniValueExists("absent.ini", "monitor", "Port"));
    EXPECT_FALSE(std::filesystem::exists("absent.ini"));
}

TEST_F(IniSettingsTest, AnotherWorkingDirectoryGetsItsOwnFile) {
    EnsureIniFile("monitor.ini");
    TempDir other;
    {
        testing::ScopedWorkingDirectory there(other.Path());
        Controls controls;
        controls.port = "81";
        Load("monitor.ini", "monitor", controls);
    }
    EXPECT_EQ(ReadFile("monitor.ini"), "");
    EXPECT_NE(ReadFile(other.File("monitor.ini")).find("Port=81\r\n"), std::string::npos);
}

TEST_F(IniSettingsTest, UnwritablePlacesRaiseCreateError) {
    WriteFile("plain", "x");
    EXPECT_THROW(EnsureIniFile("plain/monitor.ini"), EFCreateError);
    EXPECT_THROW(IniReadString("plain/monitor.ini", "monitor", "Port", "80"), EFCreateError);

    // What a user without root meets: a read-only file, a folder without write permission.
    WriteFile("monitor.ini", kDefaultFile);
    ASSERT_EQ(::chmod("monitor.ini", 0444), 0);
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0777), 0);
    TempDir readOnlyDir;
    ASSERT_EQ(::chmod(readOnlyDir.Path().c_str(), 0555), 0);
    const std::string inLockedDir = readOnlyDir.File("monitor.ini");
    const int code = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) {
            return 2;
        }
        int failures = 0;
        try {
            IniWriteString("monitor.ini", "monitor", "Port", "81");
        } catch (const EFCreateError&) {
            ++failures;
        }
        try {
            EnsureIniFile(inLockedDir);
        } catch (const EFCreateError&) {
            ++failures;
        }
        // Loading stops at the first key that must be written.
        if (IniReadString("monitor.ini", "monitor", "Port", "1") != "80") {
            return 4;
        }
        try {
            IniReadString("monitor.ini", "monitor", "NewKey", "x");
        } catch (const EFCreateError&) {
            ++failures;
        }
        return failures == 3 ? 0 : 3;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile("monitor.ini"), kDefaultFile);
    EXPECT_FALSE(std::filesystem::exists(inLockedDir));
}

// A save on a full disk (the file-size limit stands in for it) fails, but every setting the
// file held before survives.
TEST_F(IniSettingsTest, FullDiskKeepsTheOldSettings) {
    WriteFile("monitor.ini", kDefaultFile);
    const int code = testing::RunInChild([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64, 64};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return 2;
        }
        try {
            IniWriteInteger("monitor.ini", "monitor", "Interval", 120);
        } catch (const EFCreateError&) {
            return 0;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadFile("monitor.ini"), kDefaultFile);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1);
}

}  // namespace
}  // namespace quorvane
