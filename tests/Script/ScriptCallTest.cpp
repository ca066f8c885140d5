// The native-call protocol: argument numbering and readers, pooled texts, return
// operations, call errors and references taken from arguments.
#include <gtest/gtest.h>

#include <lua.hpp>
#include <string>

#include "Common/EngineContext.h"
#include "Common/StringFormatter.h"
#include "Script/LuaScriptManager.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::LogCapture;
using VoluxTest::Narrow;

namespace {

// What the probe functions saw in their last call.
struct Seen {
    int count = -1;
    int32_t int32 = 0;
    int8_t int8 = 0;
    uint8_t uint8 = 0;
    int16_t int16 = 0;
    uint16_t uint16 = 0;
    uint32_t uint32 = 0;
    int64_t int64 = 0;
    uint64_t uint64 = 0;
    double number = 0;
    float single = 0;
    bool truth = false;
    std::u16string text;
    std::u16string beyond;
    int32_t missing = -1;
} sSeen;

int Probe(IScriptManager& scripts, ScriptObject*) {
    sSeen.count = scripts.GetArgCount();
    sSeen.int32 = scripts.GetArgInt32(0);
    sSeen.int8 = scripts.GetArgInt8(0);
    sSeen.uint8 = scripts.GetArgUInt8(0);
    sSeen.int16 = scripts.GetArgInt16(0);
    sSeen.uint16 = scripts.GetArgUInt16(0);
    sSeen.uint32 = scripts.GetArgUInt32(0);
    sSeen.int64 = scripts.GetArgInt64(0);
    sSeen.uint64 = scripts.GetArgUInt64(0);
    sSeen.number = scripts.GetArgDouble(0);
    sSeen.single = scripts.GetArgFloat(0);
    sSeen.truth = scripts.GetArgBool(0);
    sSeen.text = scripts.GetArgString(0);
    sSeen.beyond = scripts.GetArgString(sSeen.count);
    sSeen.missing = scripts.GetArgInt32(sSeen.count);
    return scripts.ReturnNothing();
}

int FailWithText(IScriptManager& scripts, ScriptObject*) {
    scripts.GetArgString(0);
    scripts.SetCallError(u"widget refused: bad size");
    return scripts.ReturnNothing();
}

int Echo(IScriptManager& scripts, ScriptObject*) { return scripts.ReturnString(scripts.GetArgString(0)); }

int RaiseInside(IScriptManager& scripts, ScriptObject*) {
    scripts.GetArgString(0);
    lua_State* state = scripts.GetState();
    return luaL_error(state, "raised by native code");
}

int RunAndHandOn(IScriptManager& scripts, ScriptObject*) {
    Variable ignored;
    scripts.RunString(ignored, u"return 'from the run'", u"inner.lua", _RUN_LEAVE);
    return scripts.ReturnNothing();
}

int Returns(IScriptManager& scripts, ScriptObject*) {
    switch (scripts.GetArgInt32(0)) {
        case 0: return scripts.ReturnBool(true);
        case 1: return scripts.ReturnWChar(u'\xFFFF');
        case 2: return scripts.ReturnInt8(-5);
        case 3: return scripts.ReturnInt16(-30000);
        case 4: return scripts.ReturnInt32(-2000000000);
        case 5: return scripts.ReturnInt64(-5000000000LL);
        case 6: return scripts.ReturnUInt8(250);
        case 7: return scripts.ReturnUInt16(65535);
        case 8: return scripts.ReturnUInt32(4294967295u);
        case 9: return scripts.ReturnUInt64(10000000000ULL);
        case 10: return scripts.ReturnFloat(0.5f);
        case 11: return scripts.ReturnDouble(2.25);
        case 12: {
            Variable value;
            value.SetText(u"variable");
            return scripts.ReturnValue(value);
        }
        default: return scripts.ReturnNothing();
    }
}

int sFunctionRef = 0;
int KeepFunction(IScriptManager& scripts, ScriptObject*) {
    sFunctionRef = scripts.RefArgFunction(0);
    return scripts.ReturnNothing();
}

// Argument 0 checked against [argument 1, argument 2]: the number, or "refused".
int InRange(IScriptManager& scripts, ScriptObject*) {
    int64_t value = -7;
    if (!scripts.GetArgIntInRange(0, scripts.GetArgInt64(1), scripts.GetArgInt64(2), &value))
        return scripts.ReturnString(u"refused");
    return scripts.ReturnInt64(value);
}

class ScriptCallTest : public testing::Test {
protected:
    void SetUp() override {
        RegisterStatic(scripts, u"probe", &Probe);
        RegisterStatic(scripts, u"failWithText", &FailWithText);
        RegisterStatic(scripts, u"echo", &Echo);
        RegisterStatic(scripts, u"raiseInside", &RaiseInside);
        RegisterStatic(scripts, u"runAndHandOn", &RunAndHandOn);
        RegisterStatic(scripts, u"returns", &Returns);
        RegisterStatic(scripts, u"keepFunction", &KeepFunction);
        RegisterStatic(scripts, u"inRange", &InRange);
    }
    std::u16string Run(const char16_t* text) {
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, text, u"call.lua", _RUN_CONVERT)) << Narrow(scripts.GetLastError().Text());
        return std::u16string(result.AsText().Text());
    }
    void Exec(const char16_t* text) {
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, text, u"call.lua", _RUN_DISCARD)) << Narrow(scripts.GetLastError().Text());
    }
    LogCapture log;
    LuaScriptManager scripts;
};

} // namespace

TEST_F(ScriptCallTest, ReadersWithoutArgumentsGiveZeroAndEmptyText) {
    Exec(u"probe()");
    EXPECT_EQ(sSeen.count, 0);
    EXPECT_EQ(sSeen.int32, 0);
    EXPECT_EQ(sSeen.text, u"");
    EXPECT_EQ(sSeen.beyond, u"");
    EXPECT_FALSE(sSeen.truth);
    // Outside any call.
    EXPECT_EQ(scripts.GetArgCount(), 0);
    EXPECT_EQ(scripts.GetArgInt32(0), 0);
    EXPECT_STREQ(reinterpret_cast<const char*>(scripts.GetArgString(0)), "");
    EXPECT_EQ(scripts.ReturnInt32(1), 0);
    EXPECT_EQ(scripts.ReturnNothing(), 0);
}

TEST_F(ScriptCallTest, NumericReadersConvertAndTruncate) {
    Exec(u"probe(300.75, 'second')");
    EXPECT_EQ(sSeen.count, 2);
    EXPECT_EQ(sSeen.int32, 300);
    EXPECT_EQ(sSeen.int8, int8_t(44));
    EXPECT_EQ(sSeen.uint8, 44);
    EXPECT_EQ(sSeen.number, 300.75);
    EXPECT_EQ(sSeen.single, 300.75f);
    EXPECT_TRUE(sSeen.truth);
    EXPECT_EQ(sSeen.text, u"300.75");
    EXPECT_EQ(sSeen.beyond, u"");
    EXPECT_EQ(sSeen.missing, 0);

    Exec(u"probe(4294967295)");
    EXPECT_EQ(sSeen.uint32, 4294967295u);
    EXPECT_EQ(sSeen.int64, 4294967295LL);
    Exec(u"probe(-1)");
    EXPECT_EQ(sSeen.int32, -1);
    EXPECT_EQ(sSeen.uint16, 65535);
    EXPECT_EQ(sSeen.int16, -1);
    Exec(u"probe(1e300)");
    EXPECT_EQ(sSeen.int64, INT64_MAX);  // saturates instead of undefined behaviour
    Exec(u"probe(1e19)");
    EXPECT_EQ(sSeen.uint64, 10000000000000000000ULL);
}

TEST_F(ScriptCallTest, StringReaderTextForEveryKind) {
    struct Case {
        const char16_t* argument;
        std::u16string expected;  // a prefix when prefix is set
        bool prefix;
    } cases[] = {
        {u"'plain'", u"plain", false},
        {u"'gr\u00fc\u00df'", u"gr\u00fc\u00df", false},
        {u"12", u"12", false},
        {u"nil", u"nil", false},
        {u"true", u"true", false},
        {u"false", u"false", false},
        {u"print", u"function: 0x", true},
        {u"{}", u"table: 0x", true},
        {u"setmetatable({}, {__tostring = function() return 'custom' end})", u"custom", false},
        {u"coroutine.create(print)", u"", false},
    };
    for (const Case& c : cases) {
        Exec(Format(u"probe(%ls)", c.argument));
        if (c.prefix)
            EXPECT_EQ(sSeen.text.rfind(c.expected, 0), 0u) << Narrow(c.argument) << " -> " << Narrow(sSeen.text);
        else
            EXPECT_EQ(sSeen.text, c.expected) << Narrow(c.argument);
    }
}

TEST_F(ScriptCallTest, LongTextsSurviveBothWays) {
    Exec(u"long = string.rep('ab', 1500)");
    EXPECT_EQ(Run(u"return tostring(echo(long) == long)"), u"true");
    Exec(u"probe(long)");
    EXPECT_EQ(sSeen.text.size(), 3000u);
}

TEST_F(ScriptCallTest, ArgumentTextBuffersAreReused) {
    Exec(u"for i = 1, 200 do probe('text ' .. i) end");
    EXPECT_EQ(scripts.PooledTextBuffers(), 1u);
    EXPECT_EQ(scripts.argTexts.Count(), 0u);
}

TEST_F(ScriptCallTest, CallErrorFailsTheScriptCallWithExactlyThatText) {
    EXPECT_EQ(Run(u"local ok, message = pcall(failWithText, 'x') return tostring(ok) .. '|' .. message"),
              u"false|widget refused: bad size");
    EXPECT_TRUE(scripts.callError.IsEmpty());
    EXPECT_EQ(scripts.callFrames.Length(), 0u);
    EXPECT_EQ(scripts.argTexts.Count(), 0u);
}

TEST_F(ScriptCallTest, NativeErrorsLeaveNoFramesBehind) {
    Variable result;
    EXPECT_FALSE(scripts.RunString(result, u"raiseInside('t')", u"raise.lua", _RUN_DISCARD));
    EXPECT_NE(std::u16string(scripts.GetLastError().Text()).find(u"raised by native code"), std::u16string::npos);
    EXPECT_EQ(scripts.callFrames.Length(), 0u);
    EXPECT_EQ(scripts.argTexts.Count(), 0u);
    // The next call numbers its arguments from its own frame.
    Exec(u"probe(9)");
    EXPECT_EQ(sSeen.int32, 9);
}

TEST_F(ScriptCallTest, ReturnNothingHandsOnARunsLeftResult) {
    EXPECT_EQ(Run(u"return runAndHandOn()"), u"from the run");
    EXPECT_FALSE(scripts.resultLeft);
}

TEST_F(ScriptCallTest, ReturnOperations) {
    const char16_t* expected[] = {u"true",        u"65535", u"-5",   u"-30000",      u"-2000000000",
                                  u"-5000000000", u"250",   u"65535", u"4294967295", u"10000000000",
                                  u"0.5",         u"2.25",  u"variable", u"nil"};
    for (int i = 0; i < 14; i++)
        EXPECT_EQ(Run(Format(u"return tostring((returns(%d)))", i)), expected[i])
            << i;
}

TEST_F(ScriptCallTest, FunctionReferencesFromArguments) {
    Exec(u"keepFunction(function(x) return x * 3 end)");
    ASSERT_GT(sFunctionRef, 0);
    Variable argument;
    argument.SetInt32(5);
    Variable result;
    ASSERT_TRUE(scripts.CallFunction(nullptr, sFunctionRef, argument, &result));
    EXPECT_EQ(result.AsDouble(), 15.0);
    scripts.ReleaseRef(sFunctionRef);
    EXPECT_EQ(sFunctionRef, 0);
    Exec(u"keepFunction(5)");
    EXPECT_EQ(sFunctionRef, 0);

    int made = scripts.MakeFunction(reinterpret_cast<void*>(&Returns), &ScriptFunctionThunk);
    ASSERT_GT(made, 0);
    argument.SetInt32(11);
    ASSERT_TRUE(scripts.CallFunction(nullptr, made, argument, &result));
    EXPECT_EQ(result.AsDouble(), 2.25);
    scripts.ReleaseRef(made);
}

TEST_F(ScriptCallTest, MissingNativeFunctionFailsTheCall) {
    scripts.RegisterFunction(u"empty", nullptr, &ScriptFunctionThunk, true);
    EXPECT_EQ(Run(u"local ok, message = pcall(empty) return message"), u"Internal Error : function empty");
}

namespace {

// A class whose objects report, when deleted, which state the manager was acting on:
// deletion runs from the collector, outside any native call.
lua_State* sStateAtDeletion = nullptr;
int sKeeperRef = 0;

class Keeper : public ScriptObject {
public:
    ~Keeper() override {
        IScriptManager* scripts = EngineContext::Get().scriptManager;
        sStateAtDeletion = scripts->GetState();
        scripts->ReleaseRef(sKeeperRef);  // what a button releasing its onClick does
    }
};

int NewKeeper(lua_State*) {
    IScriptManager& scripts = *EngineContext::Get().scriptManager;
    scripts.BeginCall(nullptr);
    Keeper* keeper = new Keeper();
    scripts.BindObject(u"Keeper", keeper, false);
    sKeeperRef = scripts.RefArgFunction(0);
    return scripts.ReturnObject(keeper);
}

// A thunk of its own (entered through the manager's thread entry) that raises.
int RawRaise(lua_State* state) {
    IScriptManager& scripts = *EngineContext::Get().scriptManager;
    scripts.BeginCall(nullptr);
    scripts.GetArgString(0);
    return luaL_error(state, "raised by a raw thunk");
}

// What the current call sees of the manager's own bookkeeping.
int Bookkeeping(IScriptManager& scripts, ScriptObject*) {
    LuaScriptManager& manager = static_cast<LuaScriptManager&>(scripts);
    return scripts.ReturnString(
        Format(u"%d %d", int(manager.callFrames.Length()), int(manager.argTexts.Count())).Text());
}

// Runs a chunk leaving its result, then returns something else: the left value is not
// this call's result and must not become anybody else's.
int RunLeavingThenReturnNumber(IScriptManager& scripts, ScriptObject*) {
    Variable ignored;
    scripts.RunString(ignored, u"return 'left over'", u"inner.lua", _RUN_LEAVE);
    return scripts.ReturnInt32(7);
}

// Runs a chunk leaving its result, calls back into the script (whose native calls end in
// ReturnNothing), then hands its own run's result on.
int RunLeavingAroundACall(IScriptManager& scripts, ScriptObject*) {
    Variable ignored;
    scripts.RunString(ignored, u"return 'mine'", u"inner.lua", _RUN_LEAVE);
    int inner = scripts.LoadString(u"return tostring(select('#', probe(1, 'inner last')))");
    Variable count;
    scripts.CallFunction(nullptr, inner, &count);
    scripts.ReleaseRef(inner);
    sSeen.text = count.AsText().Text();
    return scripts.ReturnNothing();
}

int NoResultAfterRun(IScriptManager& scripts, ScriptObject*) {
    Variable ignored;
    scripts.RunString(ignored, u"return 'left'", u"inner.lua", _RUN_LEAVE);
    return scripts.ReturnNoResult();
}

// Makes as many return operations as its first argument says, the values 1..n.
int ReturnsSeveral(IScriptManager& scripts, ScriptObject*) {
    int count = scripts.GetArgInt32(0);
    int result = 0;
    for (int i = 1; i <= count; i++)
        result = scripts.ReturnInt32(i);
    return result;
}

// Calls its first argument back, then returns its own second argument.
int CallBack(IScriptManager& scripts, ScriptObject*) {
    int function = scripts.RefArgFunction(0);
    scripts.CallFunction(nullptr, function, nullptr);
    scripts.ReleaseRef(function);
    return scripts.ReturnString(scripts.GetArgString(1));
}

} // namespace

TEST_F(ScriptCallTest, NativeErrorInACoroutineLeavesTheManagerOnTheMainState) {
    ASSERT_TRUE(scripts.BeginClass(u"Keeper", &NewKeeper));
    scripts.EndClass();
    scripts.RegisterFunction(u"rawRaise", nullptr, &RawRaise, true);
    lua_State* main = scripts.GetState();
    const char16_t* failures[] = {
        u"coroutine.resume(coroutine.create(function() failWithText('x') end))",
        u"coroutine.resume(coroutine.create(function() raiseInside('x') end))",
        u"coroutine.resume(coroutine.create(function() rawRaise('x') end))",
        u"pcall(coroutine.wrap(function() raiseInside('x') end))",
        u"coroutine.resume(coroutine.create(function() pcall(raiseInside, 'x') raiseInside('y') end))",
    };
    for (const char16_t* failure : failures) {
        sStateAtDeletion = nullptr;
        // The keeper is dropped before the failure and deleted by the collection after it,
        // when the failed coroutine is garbage too.
        Exec(Format(u"Keeper.new(function() end) %ls collectgarbage() collectgarbage()", failure));
        EXPECT_EQ(sStateAtDeletion, main) << Narrow(failure);
        EXPECT_EQ(sKeeperRef, 0);
        EXPECT_EQ(scripts.GetState(), main);
        EXPECT_EQ(scripts.callFrames.Length(), 0u);
    }
}

TEST_F(ScriptCallTest, NativeErrorsCaughtInsideTheScriptDropTheirFramesAndTexts) {
    RegisterStatic(scripts, u"bookkeeping", &Bookkeeping);
    scripts.RegisterFunction(u"rawRaise", nullptr, &RawRaise, true);
    EXPECT_EQ(Run(u"for i = 1, 10000 do pcall(raiseInside, 'x') xpcall(rawRaise, tostring, 'y') "
                  u"coroutine.resume(coroutine.create(raiseInside), 'z') end return bookkeeping()"),
              u"1 0");
    // A handler that calls natives while the failed call is still on the stack.
    EXPECT_EQ(Run(u"local seen xpcall(function() raiseInside('x') end, function(m) seen = bookkeeping() end) "
                  u"return seen .. ' ' .. bookkeeping()"),
              u"2 1 1 0");
    // A yield across a script's pcall.
    EXPECT_EQ(Run(u"local co = coroutine.create(function() pcall(function() coroutine.yield() raiseInside('x') end) "
                  u"return bookkeeping() end) coroutine.resume(co) local ok, inner = coroutine.resume(co) "
                  u"return inner .. ' ' .. bookkeeping()"),
              u"1 0 1 0");
}

TEST_F(ScriptCallTest, LeftResultBelongsToTheCallWhoseRunLeftIt) {
    RegisterStatic(scripts, u"runLeavingThenReturnNumber", &RunLeavingThenReturnNumber);
    RegisterStatic(scripts, u"runLeavingAroundACall", &RunLeavingAroundACall);
    // A run inside one native call, then another native call ending in ReturnNothing.
    EXPECT_EQ(Run(u"runLeavingThenReturnNumber() return tostring(select('#', probe(1, 'last')))"), u"0");
    // Nested: the inner calls hand nothing on, the outer call hands its own run's result on.
    EXPECT_EQ(Run(u"return runLeavingAroundACall()"), u"mine");
    EXPECT_EQ(sSeen.text, u"0");
    EXPECT_FALSE(scripts.resultLeft);

    // A top-level run that leaves its result, then a call of a script function whose native
    // call ends in ReturnNothing.
    lua_State* state = scripts.GetState();
    int top = lua_gettop(state);
    Variable ignored;
    ASSERT_TRUE(scripts.RunString(ignored, u"return 'top level'", u"top.lua", _RUN_LEAVE));
    EXPECT_EQ(lua_gettop(state), top + 1);
    int function = scripts.LoadString(u"return tostring(select('#', probe(1, 'last')))");
    Variable count;
    ASSERT_TRUE(scripts.CallFunction(nullptr, function, &count));
    scripts.ReleaseRef(function);
    EXPECT_EQ(std::u16string(count.AsText().Text()), u"0");
    EXPECT_STREQ(lua_tostring(state, -1), "top level");  // still the top-level caller's
    lua_settop(state, top);
}

TEST_F(ScriptCallTest, ReturnNoResultReturnsNothingAtAll) {
    RegisterStatic(scripts, u"noResultAfterRun", &NoResultAfterRun);
    EXPECT_EQ(Run(u"return tostring(select('#', noResultAfterRun()))"), u"0");
    EXPECT_FALSE(scripts.resultLeft);
    EXPECT_EQ(scripts.ReturnNoResult(), 0);  // outside any call
}

TEST_F(ScriptCallTest, EachCallEndsWithExactlyOneResult) {
    RegisterStatic(scripts, u"returnsSeveral", &ReturnsSeveral);
    RegisterStatic(scripts, u"bookkeeping", &Bookkeeping);
    RegisterStatic(scripts, u"callBack", &CallBack);
    struct Case {
        int returns;
        const char16_t* expected;  // count and values the script sees
        bool logged;
    } cases[] = {
        {0, u"0", false},
        {1, u"1 1", false},
        {3, u"1 3", true},  // the last one wins
    };
    for (const Case& c : cases) {
        log.Clear();
        // Made from inside another native call (callBack), whose frame must stay its own.
        EXPECT_EQ(Run(Format(u"local function show(...) local t = {select('#', ...)} "
                             u"for i = 1, select('#', ...) do t[#t + 1] = tostring((select(i, ...))) end "
                             u"return table.concat(t, ' ') end "
                             u"local seen return callBack(function() seen = show(returnsSeveral(%d)) end, 'own') "
                             u".. '|' .. seen .. '|' .. bookkeeping()",
                             c.returns)),
                  std::u16string(u"own|") + c.expected + u"|1 0")
            << c.returns;
        EXPECT_EQ(log.trace.find(u"[LS] ") != std::u16string::npos, c.logged) << c.returns;
    }
    EXPECT_EQ(scripts.callFrames.Length(), 0u);
}

TEST_F(ScriptCallTest, RangeCheckedIntegerReader) {
    struct Case {
        const char16_t* arguments;  // value, low, high
        const char16_t* expected;
    } cases[] = {
        {u"6, 0, 6", u"6"},
        {u"0, 0, 6", u"0"},
        {u"-3, -5, 5", u"-3"},
        {u"7, 0, 6", u"refused"},
        {u"-1, 0, 6", u"refused"},
        {u"2^32 + 3, 0, 6", u"refused"},  // the UInt32 reader would see 3
        {u"2^32, 0, 6", u"refused"},
        {u"0/0, 0, 6", u"refused"},
        {u"1/0, 0, 6", u"refused"},
        {u"-1/0, 0, 6", u"refused"},
        {u"2.5, 0, 6", u"refused"},
        {u"'3', 0, 6", u"refused"},
        {u"true, 0, 6", u"refused"},
        {u"nil, 0, 6", u"refused"},
        {u"{}, 0, 6", u"refused"},
        {u"-2^63, -2^63, 2^63", u"-9.2233720368548e+18"},
        {u"2^53, -2^63, 2^63", u"9.007199254741e+15"},
        {u"2^63, -2^63, 2^63", u"refused"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Run(Format(u"return tostring(inRange(%ls))", c.arguments)), c.expected) << Narrow(c.arguments);
    EXPECT_EQ(Run(u"return tostring(inRange())"), u"refused");
    // Outside a call there is no argument.
    int64_t value = 5;
    EXPECT_FALSE(scripts.GetArgIntInRange(0, 0, 10, &value));
    EXPECT_EQ(value, 5);
}

namespace {

// Argument 0's text, then the argument count and argument 1 as an integer.
int TextThenInt(IScriptManager& scripts, ScriptObject*) {
    std::u16string text = scripts.GetArgString(0);
    int count = scripts.GetArgCount();
    int32_t second = scripts.GetArgInt32(1);
    return scripts.ReturnString(Format(u"%ls %d %d", text.c_str(), count, int(second)).Text());
}

} // namespace

TEST_F(ScriptCallTest, NativeErrorCaughtUnderAnArgumentTextLeavesTheReadingCallIntact) {
    ASSERT_TRUE(scripts.BeginClass(u"Keeper", &NewKeeper));
    RegisterMethod(scripts, u"boom", &RaiseInside);
    scripts.EndClass();
    RegisterStatic(scripts, u"textThenInt", &TextThenInt);
    RegisterStatic(scripts, u"bookkeeping", &Bookkeeping);
    scripts.RegisterFunction(u"rawRaise", nullptr, &RawRaise, true);
    lua_State* main = scripts.GetState();
    Exec(u"k = Keeper.new(function() end) long = string.rep('x', 3000)");
    // What a "__tostring" runs before giving its text: each catches a failed native call,
    // whose frame (a method's, a raw thunk's, one on a coroutine) ends under the reader.
    const char16_t* caught[] = {
        u"pcall(raiseInside, 'x')",
        u"pcall(k.boom, k, 1, 2, 3)",
        u"xpcall(rawRaise, tostring, 'y')",
        u"coroutine.resume(coroutine.create(function(a, b, c) raiseInside('z') end), 7, 8, 9)",
        u"pcall(raiseInside, long)",
    };
    for (const char16_t* failure : caught) {
        Exec(Format(u"short = setmetatable({}, {__tostring = function() %ls return 'abc' end}) "
                    u"longer = setmetatable({}, {__tostring = function() %ls return long end})",
                    failure, failure));
        EXPECT_EQ(Run(u"return textThenInt(short, 42)"), u"abc 2 42") << Narrow(failure);
        EXPECT_EQ(Run(u"local text = echo(longer) return #text .. ' ' .. tostring(text == long)"), u"3000 true")
            << Narrow(failure);
        EXPECT_EQ(Run(u"return bookkeeping()"), u"1 0") << Narrow(failure);
        EXPECT_EQ(scripts.GetState(), main) << Narrow(failure);
    }
}
