#include <gtest/gtest.h>

#include <string>

#include "Common/StringFormatter.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"
#include "launcher/InstallInf.h"

namespace Volux {
namespace {

using VoluxTest::ScratchFolder;

// The text's UTF-16LE bytes, without mark or terminator.
std::string Utf16Bytes(const char16_t* text) {
    std::string bytes;
    for (const char16_t* at = text; *at != 0; at++) {
        bytes += char(*at & 0xFF);
        bytes += char(*at >> 8);
    }
    return bytes;
}

// The same text one byte per character (ASCII paths only).
std::string AnsiBytes(const char16_t* text) {
    std::string bytes;
    for (const char16_t* at = text; *at != 0; at++)
        bytes += char(*at);
    return bytes;
}

std::string Narrow(const char16_t* text) { return VoluxTest::Narrow(text); }

TEST(InstallInfTest, PathsUnderTheProfile) {
    EXPECT_TRUE(DefaultInstallFolder(u"C:\\Users\\p", u"game") == u"C:\\Users\\p\\volux\\game");
    EXPECT_TRUE(DefaultInstallFolder(u"C:\\Users\\p", u"") == u"C:\\Users\\p\\volux");
    EXPECT_TRUE(InstallInfPath(u"C:\\Users\\p", u"game") == u"C:\\Users\\p\\volux\\game\\install.inf");
}

TEST(InstallInfTest, WrittenAsBareUtf16AndReadBack) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsReady());
    // Non-ASCII in the path: a profile folder may carry the user's name in any script.
    WString target = folder.At(u"游戏 files");
    ASSERT_TRUE(FileSystem::CreateDirectories(target));
    WString inf = folder.At(u"profile\\volux\\game\\install.inf");

    ASSERT_TRUE(WriteInstallInf(inf, target));
    EXPECT_EQ(folder.Get(u"profile\\volux\\game\\install.inf"), Utf16Bytes(target));
    EXPECT_TRUE(ReadInstallInf(inf) == target) << Narrow(ReadInstallInf(inf));

    // A shorter path written later leaves nothing of the longer one behind.
    ASSERT_TRUE(WriteInstallInf(inf, folder.path));
    EXPECT_TRUE(ReadInstallInf(inf) == folder.path);
}

struct MalformedCase {
    const char* what;
    std::string bytes;
};

TEST(InstallInfTest, AnythingButAnExistingFolderCountsAsMissing) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.IsReady());
    ASSERT_TRUE(folder.Put(u"a file", "x"));
    std::string existing = Utf16Bytes(folder.path);
    const MalformedCase cases[] = {
        {"empty", ""},
        {"truncated to an odd size", existing.substr(0, existing.size() - 1)},
        {"ANSI text", AnsiBytes(folder.path)},
        {"a NUL inside", existing + std::string("\0\0", 2) + Utf16Bytes(u"junk")},
        {"line end after the path", existing + Utf16Bytes(u"\r\n")},
        {"names a file", Utf16Bytes(folder.At(u"a file"))},
        {"names a folder that is gone", Utf16Bytes(folder.At(u"gone"))},
        {"relative", Utf16Bytes(u".")},
        {"huge", std::string(1 << 20, 'a')},
    };
    for (const MalformedCase& row : cases) {
        SCOPED_TRACE(row.what);
        ASSERT_TRUE(folder.Put(u"install.inf", row.bytes));
        EXPECT_TRUE(ReadInstallInf(folder.At(u"install.inf")).IsEmpty());
    }
    EXPECT_TRUE(ReadInstallInf(folder.At(u"missing.inf")).IsEmpty());
}

TEST(InstallInfTest, WriteFailureIsLogged) {
    ScratchFolder folder;
    ASSERT_TRUE(folder.Put(u"blocker", "x"));
    VoluxTest::LogCapture log;
    // The parent "folder" is a file, so the file cannot be created.
    EXPECT_FALSE(WriteInstallInf(folder.At(u"blocker\\install.inf"), folder.path));
    EXPECT_NE(log.trace.find(u"[MC] Write install folder"), std::u16string::npos) << VoluxTest::Narrow(log.trace);
}

} // namespace
} // namespace Volux
