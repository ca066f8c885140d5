#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "launcher/LocalConfig.h"

namespace Volux {
namespace {

struct SwitchCase {
    const char* text;  // ASCII
    bool fileLogging;
    bool autoUpgrade;
};

TEST(LocalConfigTest, OnlyTheExactCaseSensitiveWordsCount) {
    const SwitchCase cases[] = {
        {"", false, true},
        {"mclog", true, true},
        {"MCLOG NoAutoUpgrade", false, true},
        {"noautoupgrade\r\nmclog\r\n", true, false},
        // Containment, not whole words: the file is a bag of switches.
        {"xmclogx", true, true},
        {"mclo g noautoupgrad", false, true},
    };
    for (const SwitchCase& row : cases) {
        SCOPED_TRACE(row.text);
        std::string narrow(row.text);
        std::u16string text(narrow.begin(), narrow.end());
        LocalConfig config = ParseLocalConfig(text.c_str());
        EXPECT_EQ(config.fileLogging, row.fileLogging);
        EXPECT_EQ(config.autoUpgrade, row.autoUpgrade);
    }
}

// A switch file in the temporary folder, removed again with the test.
class LocalConfigFileTest : public testing::Test {
protected:
    void SetUp() override {
        path = Format(u"%ls\\volux-localconfig-%d.cfg", FileSystem::TemporaryFolder().Text(),
                      int(GetCurrentProcessId()));
    }
    void TearDown() override { FileSystem::DeleteFile(path); }

    void Write(const std::string& bytes) {
        ASSERT_TRUE(FileSystem::WriteFile(path, bytes.data(), _dword(bytes.size())));
    }

    WString path;
};

TEST_F(LocalConfigFileTest, MissingFileLeavesBothSwitchesAtTheirDefaults) {
    LocalConfig config = ReadLocalConfig(path);
    EXPECT_FALSE(config.fileLogging);
    EXPECT_TRUE(config.autoUpgrade);
}

struct EncodedFile {
    const char* encoding;
    std::string bytes;
};

TEST_F(LocalConfigFileTest, SwitchesAreFoundInEveryTextEncoding) {
    const EncodedFile files[] = {
        {"ANSI", "mclog noautoupgrade"},
        {"UTF-8 with mark", "\xEF\xBB\xBFmclog noautoupgrade"},
        {"UTF-16LE with mark", std::string("\xFF\xFEm\0c\0l\0o\0g\0 \0n\0o\0a\0u\0t\0o\0u\0p\0g\0r\0a\0d\0e\0", 40)},
    };
    for (const EncodedFile& file : files) {
        SCOPED_TRACE(file.encoding);
        Write(file.bytes);
        LocalConfig config = ReadLocalConfig(path);
        EXPECT_TRUE(config.fileLogging);
        EXPECT_FALSE(config.autoUpgrade);
    }
}

TEST_F(LocalConfigFileTest, AnOversizedFileIsNotReadAtAll) {
    std::string switches = "mclog noautoupgrade ";
    std::string atCeiling = switches + std::string(_MAX_LOCAL_CONFIG_BYTES - switches.size(), ' ');
    Write(atCeiling);
    EXPECT_TRUE(ReadLocalConfig(path).fileLogging);
    Write(atCeiling + " ");
    LocalConfig config = ReadLocalConfig(path);
    EXPECT_FALSE(config.fileLogging);
    EXPECT_TRUE(config.autoUpgrade);
}

TEST(LocalConfigTest, UserDataFolderIsVoluxUnderTheProfile) {
    WString profile = FileSystem::SpecialFolderPath(FileSystem::_PROFILE);
    ASSERT_FALSE(profile.IsEmpty());
    EXPECT_TRUE(UserDataFolder() == Format(u"%ls\\volux", profile.Text()));
}

} // namespace
} // namespace Volux
