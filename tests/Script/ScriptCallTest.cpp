// The native-call protocol: argument numbering and readers, pooled texts, return
// operations, call errors and references taken from arguments.
#include <gtest/gtest.h>

#include <lua.hpp>
#include <string>

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
