#include <gtest/gtest.h>

#include <string>

#include "Common/EngineContext.h"
#include "Common/LocalTime.h"
#include "Common/Log.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Support/LogCapture.h"

using namespace Volux;

TEST(Log, TimestampPrefixComesFirst) {
    VoluxTest::LogCapture log;
    logTimestamp = true;
    PrintLine(u"[MC] hello %d", 7);
    // 2016/08/26-09:05:03 hello
    ASSERT_GE(log.trace.size(), 20u);
    const std::u16string& t = log.trace;
    for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18})
        EXPECT_TRUE(t[i] >= u'0' && t[i] <= u'9') << i;
    EXPECT_EQ(t[4], u'/');
    EXPECT_EQ(t[7], u'/');
    EXPECT_EQ(t[10], u'-');
    EXPECT_EQ(t[13], u':');
    EXPECT_EQ(t[16], u':');
    EXPECT_EQ(t.substr(19), u" [MC] hello 7\n");
    EXPECT_TRUE(log.error.empty());
}

TEST(Log, SwitchesControlOutput) {
    VoluxTest::LogCapture log;
    logEnabled = false;
    EXPECT_EQ(PrintLine(u"dropped"), 0);
    EXPECT_EQ(ReportError(u"dropped"), 0);
    logEnabled = true;
    EXPECT_TRUE(log.trace.empty());
    EXPECT_TRUE(log.error.empty());
    logNewline = false;
    ReportError(u"no break");
    logNewline = true;
    EXPECT_EQ(log.error, u"no break");
}

TEST(Log, LongMessageIsCutTo8191Characters) {
    VoluxTest::LogCapture log;
    std::u16string big(10000, u'q');
    PrintLine(u"%ls", big.c_str());
    EXPECT_EQ(log.trace.size(), 8191u + 1u);
}

TEST(Log, AssertionReportReachesTheErrorStreamAndReturns) {
    VoluxTest::LogCapture log;
    ReportAssertion(u"IsIndexValid( index )", u"Common/Array", 42);
    std::u16string expected = std::u16string(u"Build Date : ") + BuildDate() +
                              u"\r\nAssertion Failed : IsIndexValid( index )\r\nCommon/Array:42\n";
    EXPECT_EQ(log.error, expected);
    EXPECT_TRUE(log.trace.empty());
    // The compile date reads like "Aug 26 2016".
    std::u16string date(BuildDate());
    ASSERT_EQ(date.size(), 11u);
    EXPECT_EQ(date[3], u' ');
    EXPECT_EQ(date[6], u' ');
}

TEST(Log, PrintBothWritesOnceWhenSinksAreTheSame) {
    VoluxTest::LogCapture log;
    PrintBoth(u"[KL] twice %d", 2);
    EXPECT_EQ(log.trace, u"[KL] twice 2\n");
    EXPECT_EQ(log.error, u"[KL] twice 2\n");
    EXPECT_FALSE(SameSinks());
    EngineContext& context = EngineContext::Get();
    context.errorSink = context.printSink;
    EXPECT_TRUE(SameSinks());
    log.Clear();
    PrintBoth(u"once");
    EXPECT_EQ(log.trace, u"once\n");
}

namespace {
std::u16string ReadUtf16File(const WString& path) {
    ByteBuffer bytes;
    if (!FileSystem::ReadFile(path, bytes))
        return u"<missing>";
    std::u16string out;
    for (_dword i = 0; i + 1 < bytes.size; i += 2)
        out += char16_t(bytes.data[i] | bytes.data[i + 1] << 8);
    return out;
}
} // namespace

TEST(Log, LogFilesAreUtf16WithMarkAndLineBreaks) {
    EngineContext& context = EngineContext::Get();
    Sink savedPrint = context.printSink, savedError = context.errorSink;
    WString folder = Format(u"%ls\\volux-logtest-%u", FileSystem::TemporaryFolder().Text(), TickMilliseconds());
    bool savedTimestamp = logTimestamp;
    logTimestamp = false;

    OpenLogFiles(u"", folder, u"program");
    PrintLine(u"trace %ls", u"\u4E2D");
    ReportError(u"error line");
    ASSERT_NE(context.closeSinks, nullptr);
    context.closeSinks();
    PrintLine(u"lost after close");

    logTimestamp = savedTimestamp;
    context.printSink = savedPrint;
    context.errorSink = savedError;
    EXPECT_EQ(ReadUtf16File(folder + u"\\program-[Trace].log"), u"\uFEFFtrace \u4E2D\r\n");
    EXPECT_EQ(ReadUtf16File(folder + u"\\program-[Error].log"), u"\uFEFFerror line\r\n");
    FileSystem::RemoveDirectoryTree(folder);
}

TEST(Log, NamePartAddsSecondDash) {
    EngineContext& context = EngineContext::Get();
    Sink savedPrint = context.printSink, savedError = context.errorSink;
    WString folder = Format(u"%ls\\volux-logname-%u", FileSystem::TemporaryFolder().Text(), TickMilliseconds());
    OpenLogFiles(u"mc1234", folder, u"prog");
    context.closeSinks();
    context.printSink = savedPrint;
    context.errorSink = savedError;
    EXPECT_TRUE(FileSystem::IsFile(folder + u"\\prog-mc1234-[Trace].log"));
    EXPECT_TRUE(FileSystem::IsFile(folder + u"\\prog-mc1234-[Error].log"));
    FileSystem::RemoveDirectoryTree(folder);
}
