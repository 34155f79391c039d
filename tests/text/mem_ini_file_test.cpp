#include "text/mem_ini_file.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <filesystem>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "rtl/exception.h"
#include "support/child_process.h"
#include "support/temp_dir.h"

namespace quorvane {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

class MemIniFileTest : public ::testing::Test {
protected:
    std::string Path() const { return dir_.File("test.ini"); }
    // A store over the given file text.
    std::unique_ptr<TMemIniFile> Load(const std::string& text) {
        WriteFile(Path(), text);
        return std::make_unique<TMemIniFile>(Path());
    }

    TempDir dir_;
};

TEST_F(MemIniFileTest, LastLineWinsAndRewriteNormalisesTheFile) {
    auto ini = Load("top=dropped\r\n  [Main]  \r\nPort = 8080 \r\n;note\r\nPort=81\r\n");
    EXPECT_EQ(ini->ReadNumber("Main", "Port", 0), 81);
    ini->StoreText("Main", "Port", "82");
    ini->WriteBack();
    EXPECT_EQ(ReadFile(Path()), "[Main]\r\nPort=8080\r\nPort=82\r\n\r\n");
}

TEST_F(MemIniFileTest, LineKindsOfTheFileFormat) {
    auto ini = Load(
        "[A]\n"
        "  plain line \t\n"
        "\n"
        "URL=a=b\n"
        "Pass=\n"
        "[broken\n"
        "[ Spaced ]\r"
        "k= v \n"
        "[]\n"
        "e=1\n"
        "[A]\n"
        "second=2\n");
    EXPECT_EQ(ini->ReadText("A", "URL", "-"), "-");  // the later [A] hides the first
    EXPECT_EQ(ini->ReadText("A", "second", "-"), "2");
    EXPECT_EQ(ini->ReadText("Spaced", "k", "-"), "v");
    EXPECT_EQ(ini->ReadText("", "e", "-"), "1");
    TStringList lines;
    ini->CollectLines(lines);
    EXPECT_EQ(lines.GetText(),
              "[A]\r\nplain line\r\nURL=a=b\r\nPass=\r\n[broken\r\n\r\n"
              "[Spaced]\r\nk=v\r\n\r\n[]\r\ne=1\r\n\r\n[A]\r\nsecond=2\r\n\r\n");

    auto single = Load("[A]\nURL=a=b\nPass=\nTimeout=\nplain\n");
    EXPECT_EQ(single->ReadText("A", "URL", "-"), "a=b");
    EXPECT_EQ(single->ReadText("A", "Pass", "-"), "");
    EXPECT_EQ(single->ReadNumber("A", "Timeout", 7), 7);
    EXPECT_EQ(single->ReadText("A", "plain", "-"), "-");
    EXPECT_EQ(single->ReadText("B", "URL", "-"), "-");
    EXPECT_TRUE(single->HasKey("a", "url"));
    EXPECT_FALSE(single->HasKey("A", "plain"));
    EXPECT_FALSE(single->HasKey("B", "URL"));
}

TEST_F(MemIniFileTest, NamesMatchIgnoringCaseUnlessAskedOtherwise) {
    auto ini = Load("[MAIN]\nPORT=1\n[main]\nport=2\n");
    EXPECT_EQ(ini->ReadText("Main", "Port", "-"), "2");
    ini->SetMatchCase(true);
    EXPECT_EQ(ini->ReadText("Main", "Port", "-"), "-");
    EXPECT_EQ(ini->ReadText("MAIN", "PORT", "-"), "1");
    EXPECT_EQ(ini->ReadText("MAIN", "port", "-"), "-");
    EXPECT_TRUE(ini->HasKey("MAIN", "port"));  // HasKey always ignores the key's case
    EXPECT_FALSE(ini->HasKey("Main", "port"));
    ini->SetMatchCase(false);
    EXPECT_EQ(ini->ReadText("Main", "Port", "-"), "2");
}

TEST_F(MemIniFileTest, StoreReplacesTheLastKeyInPlaceOrAppends) {
    auto ini = Load("[S]\na=1\nb=2\nA=3\nc=4\n[T]\nx=1\n");
    ini->StoreText("s", "a", " spaced ");
    ini->StoreText("S", "d", "5");
    ini->StoreText("New", "k", "v");
    ini->StoreNumber("T", "n", -42);
    ini->StoreNumber("T", "x", INT32_MIN);
    TStringList lines;
    ini->CollectLines(lines);
    EXPECT_EQ(lines.GetText(),
              "[S]\r\na=1\r\nb=2\r\na= spaced \r\nc=4\r\nd=5\r\n\r\n"
              "[T]\r\nx=-2147483648\r\nn=-42\r\n\r\n[New]\r\nk=v\r\n\r\n");
    EXPECT_EQ(ini->ReadText("S", "A", "-"), " spaced ");
}

TEST_F(MemIniFileTest, MissingFileGivesAnEmptyPrivateFileAndAnExistingOneKeepsItsMode) {
    TMemIniFile ini(Path());
    EXPECT_EQ(ini.ReadText("S", "k", "def"), "def");
    ini.WriteBack();
    EXPECT_TRUE(std::filesystem::exists(Path()));
    EXPECT_EQ(std::filesystem::file_size(Path()), 0u);
    // It will hold a password in clear.
    struct stat info {};
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::chmod(Path().c_str(), 0644), 0);
    ini.WriteBack();
    ASSERT_EQ(::stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    TMemIniFile unnamed("");
    EXPECT_THROW(unnamed.WriteBack(), EFCreateError);
}

// A section name whose last byte is "]" but as the trail of a double-byte character is no
// section header under code page 932.
TEST_F(MemIniFileTest, DoubleByteTrailIsNoClosingBracket) {
    platform::ScopedCodePage shiftJis(932);
    auto ini = Load("[S]\n[\x83]\nk=1\n[\x83\x5c]\nj=2\n");
    EXPECT_EQ(ini->ReadText("S", "k", "-"), "1");
    EXPECT_EQ(ini->ReadText("S", "[\x83]", "-"), "-");
    EXPECT_EQ(ini->ReadText("\x83\x5c", "j", "-"), "2");
}

struct NumberCase {
    std::string text;
    int32_t expected;
};

void PrintTo(const NumberCase& c, std::ostream* out) { *out << ::testing::PrintToString(c.text); }

class ReadNumberTest : public MemIniFileTest, public ::testing::WithParamInterface<NumberCase> {};

constexpr int32_t kDefault = -777;

TEST_P(ReadNumberTest, ParsesOrFallsBack) {
    TMemIniFile ini(Path());
    ini.StoreText("S", "n", GetParam().text);
    EXPECT_EQ(ini.ReadNumber("S", "n", kDefault), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadNumberTest,
    ::testing::Values(NumberCase{"0x10", 16}, NumberCase{"$10", 16}, NumberCase{"  -5", -5},
                      NumberCase{"12abc", kDefault}, NumberCase{"", kDefault}, NumberCase{"0X1f", 31},
                      NumberCase{"x1F", 31}, NumberCase{"-$10", -16}, NumberCase{"+7", 7}, NumberCase{"007", 7},
                      NumberCase{"2147483647", INT32_MAX}, NumberCase{"2147483648", kDefault},
                      NumberCase{"-2147483648", INT32_MIN}, NumberCase{"-2147483649", kDefault},
                      NumberCase{"99999999999999999999", kDefault}, NumberCase{"$FFFFFFFF", -1},
                      NumberCase{"0x80000000", INT32_MIN}, NumberCase{"$100000000", kDefault},
                      NumberCase{"$000000010", 16}, NumberCase{"0x", kDefault}, NumberCase{"$", kDefault},
                      NumberCase{"-", kDefault}, NumberCase{"5 ", kDefault}, NumberCase{"1 2", kDefault},
                      NumberCase{"0x-5", kDefault}, NumberCase{"\t5", kDefault}, NumberCase{"$g", kDefault},
                      NumberCase{"--5", kDefault}, NumberCase{"0", 0}, NumberCase{"-0", 0}));

// ---- failures ----

TEST_F(MemIniFileTest, UnwritablePlacesRaiseCreateErrorAndKeepMemory) {
    WriteFile(dir_.File("plain"), "x");
    TMemIniFile ini(dir_.File("plain") + "/test.ini");
    ini.StoreText("S", "k", "v");
    try {
        ini.WriteBack();
        ADD_FAILURE() << "no error";
    } catch (const EFCreateError& error) {
        EXPECT_EQ(error.Message(), "ファイル \"" + dir_.File("plain") + "/test.ini\". Not a directory を作成できません");
    }
    EXPECT_EQ(ini.ReadText("S", "k", "-"), "v");
}

TEST_F(MemIniFileTest, UnreadableFileRaisesOpenError) {
    WriteFile(Path(), "[S]\nk=v\n");
    ASSERT_EQ(::chmod(Path().c_str(), 0), 0);
    ASSERT_EQ(::chmod(dir_.Path().c_str(), 0755), 0);
    const int code = testing::RunInChild([&] {
        if (!testing::DropPrivileges()) {
            return 2;
        }
        try {
            TMemIniFile ini(Path());
        } catch (const EFOpenError& error) {
            return error.Message() == "ファイル \"" + Path() + "\". Permission denied は開けません" ? 0 : 3;
        }
        return 1;
    });
    EXPECT_EQ(code, 0);
}

// ---- hostile files ----

TEST_F(MemIniFileTest, HostileFilesLoadQuickly) {
    std::string text;
    for (int index = 0; index < 20000; ++index) {
        text += "[same]\nkey=" + std::to_string(index) + "\n";
    }
    text += std::string("[bin]\n\x01\x02\xff=\x80\r\r\r", 14) + std::string(2 * 1024 * 1024, 'v') + "\rtail=1";
    text += std::string("\0[after]\nk=1\n", 13);
    const auto start = std::chrono::steady_clock::now();
    auto ini = Load(text);
    EXPECT_EQ(ini->ReadText("same", "key", "-"), "19999");
    EXPECT_EQ(ini->ReadText("bin", "tail", "-"), "1");  // no final break
    EXPECT_EQ(ini->ReadText("after", "k", "-"), "-");   // code 0 ends the text
    for (int round = 0; round < 100; ++round) {
        ini->StoreNumber("same", "key", round);
    }
    EXPECT_EQ(ini->ReadNumber("same", "key", -1), 99);
    ini->WriteBack();
    TMemIniFile again(Path());
    EXPECT_EQ(again.ReadText("same", "key", "-"), "99");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

}  // namespace
}  // namespace quorvane
