#include <gtest/gtest.h>

#include <string>

#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"
#include "launcher/BossKeyConfig.h"

namespace Volux {
namespace {

using VoluxTest::ScratchFolder;

struct StoredCase {
    const char* what;
    bool present;
    std::string bytes;
    int hotkey;
    bool enabled;
};

TEST(BossKeyConfigTest, BothValuesAreTakenOnlyFromAtLeastEightBytes) {
    const StoredCase cases[] = {
        {"missing file", false, "", 0, false},
        {"empty file", true, "", 0, false},
        {"seven bytes", true, std::string("\x41\x02\x00\x00\x01\x00\x00", 7), 0, false},
        {"eight bytes", true, std::string("\x41\x02\x00\x00\x01\x00\x00\x00", 8), 0x241, true},
        {"any non-zero switch is on", true, std::string("\x41\x02\x00\x00\x00\x01\x00\x00", 8), 0x241, true},
        {"zero switch is off", true, std::string("\x41\x03\x00\x00\x00\x00\x00\x00", 8), 0x341, false},
        {"high bytes count", true, std::string("\x01\x02\x03\x04\x01\x00\x00\x00", 8), 0x04030201, true},
        {"bytes past the eighth ignored", true, std::string("\x42\x02\x00\x00\x01\x00\x00\x00\xFF\xFF", 10), 0x242, true},
    };
    for (const StoredCase& row : cases) {
        SCOPED_TRACE(row.what);
        ScratchFolder folder;
        ASSERT_TRUE(folder.IsReady());
        if (row.present) {
            ASSERT_TRUE(folder.Put(_BOSS_KEY_FILE, row.bytes));
        }
        BossKeyConfig config = ReadBossKeyConfig(folder.path);
        EXPECT_EQ(config.hotkey, row.hotkey);
        EXPECT_EQ(config.enabled, row.enabled);
    }
}

TEST(BossKeyConfigTest, WriteReplacesALongerReadOnlyFileWithExactlyEightBytes) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Put(_BOSS_KEY_FILE, std::string(16, '\x7F')));
    ASSERT_TRUE(FileSystem::SetReadOnly(folder.At(_BOSS_KEY_FILE), true));

    BossKeyConfig config;
    config.hotkey = 0x0641;  // Ctrl+Alt+A
    config.enabled = true;
    ASSERT_TRUE(WriteBossKeyConfig(folder.path, config));
    EXPECT_EQ(folder.Get(_BOSS_KEY_FILE), std::string("\x41\x06\x00\x00\x01\x00\x00\x00", 8));

    BossKeyConfig back = ReadBossKeyConfig(folder.path);
    EXPECT_EQ(back.hotkey, 0x0641);
    EXPECT_TRUE(back.enabled);

    config.enabled = false;
    ASSERT_TRUE(WriteBossKeyConfig(folder.path, config));
    EXPECT_EQ(folder.Get(_BOSS_KEY_FILE), std::string("\x41\x06\x00\x00\x00\x00\x00\x00", 8));
}

TEST(BossKeyConfigTest, WriteIntoAFileInsteadOfAFolderFailsWithOneLogLine) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Put(u"plain", "x"));
    VoluxTest::LogCapture log;
    EXPECT_FALSE(WriteBossKeyConfig(folder.At(u"plain"), BossKeyConfig()));
    EXPECT_NE(log.trace.find(u"[MC] Write boss key settings fail"), std::u16string::npos)
        << VoluxTest::Narrow(log.trace);
    EXPECT_EQ(folder.Get(u"plain"), "x");
}

} // namespace
} // namespace Volux
