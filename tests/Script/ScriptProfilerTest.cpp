// Profiling output for known scripts, slow-call warnings, dump limits, balance after
// errors, and allocation statistics.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "Common/StringFormatter.h"
#include "Platform/Thread.h"
#include "Script/LuaScriptManager.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::LogCapture;
using VoluxTest::Narrow;

namespace {

int Quick(IScriptManager& scripts, ScriptObject*) { return scripts.ReturnInt32(1); }
int Early(IScriptManager& scripts, ScriptObject*) { return scripts.ReturnInt32(2); }

int Slow(IScriptManager& scripts, ScriptObject*) {
    _qword start = PerformanceCounter();
    while (ElapsedMilliseconds(start, PerformanceCounter()) < 5.0)
        SleepAlertable(1);
    return scripts.ReturnNothing();
}

int Fail(IScriptManager& scripts, ScriptObject*) {
    scripts.SetCallError(u"refused");
    return scripts.ReturnNothing();
}

LuaScriptManager* sProfiled = nullptr;
int Depth(IScriptManager& scripts, ScriptObject*) { return scripts.ReturnInt32(int(sProfiled->mProfStack.Length())); }

size_t Count(const std::string& text, const std::regex& pattern) {
    return size_t(std::distance(std::sregex_iterator(text.begin(), text.end(), pattern), std::sregex_iterator()));
}

class ScriptProfilerTest : public testing::Test {
protected:
    void Exec(const char16_t* text, const char16_t* name = u"prof.lua") {
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, text, name, _RUN_DISCARD)) << Narrow(scripts.GetLastError().Text());
    }
    std::string Trace() const { return Narrow(log.trace); }
    LogCapture log;
    LuaScriptManager scripts;
};

const char* const _EMPTY_DUMP =
    "[LS] Dump lua profile Begin\n\n[LS] Order by total call cost (ms)\n\n[LS] Order by avg call cost (ms)\n\n"
    "[LS] Dump lua profile finished\n";

} // namespace

TEST_F(ScriptProfilerTest, DumpOfAKnownScript) {
    scripts.EnableProfiling(true);
    EXPECT_TRUE(scripts.IsProfiling());
    RegisterStatic(scripts, u"quick", &Quick);
    Exec(u"function f() return quick() end\nfor i = 1, 3 do f() end\nquick()\n");
    log.Clear();
    scripts.DumpProfile();
    std::string trace = Trace();
    const char* number = "[0-9]+\\.[0-9]{2}";
    std::string expected = std::string("\\[LS\\] Dump lua profile Begin\n\n\\[LS\\] Order by total call cost \\(ms\\)\n") +
                           "(  \\[(Lua\\], f, \\(prof\\.lua:1\\), called 3|C\\], quick, \\(\\), called 4) time\\(s\\), "
                           "total call cost " + number + " ms, avg " + number + " ms\n){2}\n"
                           "\\[LS\\] Order by avg call cost \\(ms\\)\n"
                           "(  \\[(Lua\\], f, \\(prof\\.lua:1\\), called 3|C\\], quick, \\(Unknown\\), called 4) "
                           "time\\(s\\), avg call cost " + number + " ms\n){2}\n"
                           "\\[LS\\] Dump lua profile finished\n";
    EXPECT_TRUE(std::regex_match(trace, std::regex(expected))) << trace;
    EXPECT_EQ(Count(trace, std::regex("\\[Lua\\], f,")), 2u);

    // Counters were reset: a second dump prints only the frame.
    log.Clear();
    scripts.DumpProfile();
    EXPECT_EQ(Trace(), _EMPTY_DUMP);
    scripts.EnableProfiling(false);
    log.Clear();
    scripts.DumpProfile();
    EXPECT_EQ(Trace(), "");
}

TEST_F(ScriptProfilerTest, DumpListsAHundredEntriesPerTable) {
    scripts.EnableProfiling(true);
    WString source;
    for (int i = 1; i <= 150; i++)
        source += Format(u"function fn%d() end fn%d()\n", i, i);
    Exec(source);
    log.Clear();
    scripts.DumpProfile();
    std::string trace = Trace();
    EXPECT_EQ(Count(trace, std::regex("total call cost [0-9]")), 100u) << trace;
    EXPECT_EQ(Count(trace, std::regex(", avg call cost")), 100u);
    EXPECT_EQ(Count(trace, std::regex("\n  50 more \\.\\.\\.\n")), 2u);
    scripts.EnableProfiling(false);
}

TEST_F(ScriptProfilerTest, SlowCallWarningsFollowTheThreshold) {
    scripts.EnableProfiling(true);
    RegisterStatic(scripts, u"slow", &Slow);
    Exec(u"slow()");
    EXPECT_EQ(Trace().find("Cost too much time"), std::string::npos);  // threshold -1
    scripts.SetProfileThreshold(1);
    EXPECT_EQ(scripts.GetProfileThreshold(), 1);
    log.Clear();
    Exec(u"slow()");
    std::string trace = Trace();
    EXPECT_TRUE(std::regex_search(trace, std::regex("\\[LS\\] Cost too much time, threshold is 1 ms\n\n"
                                                    "  \\[C\\], slow, \\(\\), cost [0-9]+\\.[0-9]{2} ms\n\n")))
        << trace;
    // The chunk around the call took as long, and is reported after it.
    EXPECT_EQ(Count(trace, std::regex("Cost too much time")), 2u) << trace;
    scripts.EnableProfiling(false);
}

TEST_F(ScriptProfilerTest, FailedCallsLeaveTheStackBalanced) {
    scripts.EnableProfiling(true);
    RegisterStatic(scripts, u"quick", &Quick);
    Variable result;
    EXPECT_FALSE(scripts.RunString(result, u"function g() quick() error('x') end g()", u"err.lua", _RUN_DISCARD));
    EXPECT_EQ(scripts.mProfStack.Length(), 0u);
    EXPECT_FALSE(scripts.RunString(result, u"function h() return h() + 1 end h()", u"deep.lua", _RUN_DISCARD));
    EXPECT_EQ(scripts.mProfStack.Length(), 0u);
    Exec(u"local function tail(n) if n > 0 then return tail(n - 1) end end tail(5)");
    EXPECT_EQ(scripts.mProfStack.Length(), 0u);
    log.Clear();
    scripts.DumpProfile();
    EXPECT_NE(Trace().find("[Lua], g, (err.lua:1), called 1 time(s)"), std::string::npos) << Trace();

    // A call error caught by the script itself closes the native entry as well.
    sProfiled = &scripts;
    RegisterStatic(scripts, u"fail", &Fail);
    RegisterStatic(scripts, u"depth", &Depth);
    Variable depth;
    ASSERT_TRUE(scripts.RunString(depth, u"local before = depth() for i = 1, 3 do pcall(fail) end "
                                         u"return depth() - before", u"caught.lua", _RUN_CONVERT));
    EXPECT_EQ(depth.AsInt32(), 0);
    scripts.EnableProfiling(false);
}

TEST_F(ScriptProfilerTest, FunctionsRegisteredBeforeProfilingAreNotMeasured) {
    RegisterStatic(scripts, u"early", &Early);
    scripts.EnableProfiling(true);
    RegisterStatic(scripts, u"late", &Quick);
    Exec(u"early() late()");
    log.Clear();
    scripts.DumpProfile();
    std::string trace = Trace();
    EXPECT_NE(trace.find("[C], late, (), called 1 time(s)"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("[C], 0x"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("early"), std::string::npos) << trace;
    EXPECT_EQ(log.error, u"");
    scripts.EnableProfiling(false);
}

TEST_F(ScriptProfilerTest, AllocationStatisticsPerPosition) {
    scripts.TrackAllocations(1);
    Exec(u"local t = {}\nfor i = 1, 200 do t[i] = {i, tostring(i)} end\n", u"alloc.lua");
    log.Clear();
    scripts.TrackAllocations(0);
    std::string trace = Trace();
    EXPECT_EQ(trace.rfind("[LS] Dump Lua Alloc Begin\n[LS] Order by total alloc size (byte)\n", 0), 0u) << trace;
    EXPECT_TRUE(std::regex_search(trace, std::regex("\nalloc\\.lua:2:\\?\t\t[0-9]+\t[0-9]+\t[0-9]+\n"))) << trace;
    EXPECT_NE(trace.find("[LS] Dump Lua Alloc End\n"), std::string::npos);
    EXPECT_EQ(scripts.allocThreshold, -1);

    // Nothing below the threshold in force while tracking is listed.
    scripts.TrackAllocations(100000000);
    Exec(u"local t = {}\nfor i = 1, 200 do t[i] = {i} end\n", u"alloc.lua");
    log.Clear();
    scripts.TrackAllocations(0);
    EXPECT_EQ(Trace(), "[LS] Dump Lua Alloc Begin\n[LS] Order by total alloc size (byte)\n[LS] Dump Lua Alloc End\n");
}
