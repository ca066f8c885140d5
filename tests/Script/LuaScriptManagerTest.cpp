// States, libraries, runs and their result modes, error capture and logging, globals,
// references and calls into script functions.
#include <gtest/gtest.h>

#include <functional>
#include <lua.hpp>
#include <string>

#include "Common/EngineContext.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Script/LuaScriptManager.h"
#include "Storage/ResourceManager.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::LogCapture;
using VoluxTest::Narrow;

namespace {

std::u16string Str(WStringPtr text) { return std::u16string(text.Text()); }

size_t Occurrences(const std::u16string& haystack, const std::u16string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::u16string::npos; at = haystack.find(needle, at + 1))
        count++;
    return count;
}

std::u16string sCallbackText;
int sCallbackCalls = 0;
int RecordError(const char16_t* text) {
    sCallbackText = text;
    sCallbackCalls++;
    return 7;
}

// A global function that runs a broken buffer from inside the native call.
int RunBrokenBuffer(IScriptManager& scripts, ScriptObject*) {
    ByteBuffer buffer;
    buffer.Append("this is not lua", 15);
    buffer.name = u"inner.lua";
    Variable ignored;
    scripts.RunBuffer(ignored, buffer, _RUN_DISCARD);
    return scripts.ReturnNothing();
}

int Ping(IScriptManager& scripts, ScriptObject*) { return scripts.ReturnInt32(1); }

class Plain : public ScriptObject {};

// Leaves a proxy whose finaliser fails as garbage: the next full collection runs it.
const char16_t* const _FAILING_FINALISER =
    u"local p = newproxy(true) getmetatable(p).__gc = function() error('gc boom') end p = nil ";
// With the step multiplier at 0 one collection step runs a whole cycle, finalisers included;
// after the restart that step is due at the next allocation, whoever makes it.
const char16_t* const _STEP_DUE = u"collectgarbage('setstepmul', 0) collectgarbage('restart')";

// Runs the text in a fresh manager and yields mode-1 results as text.
class ScriptRun : public testing::Test {
protected:
    std::u16string Run(const char16_t* text) {
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, text, u"case.lua", _RUN_CONVERT)) << Narrow(Str(scripts.GetLastError()));
        return Str(result.AsText());
    }
    LogCapture log;
    LuaScriptManager scripts;
};

} // namespace

TEST(LuaScriptManagerTest, ConstructionCreatesCurrentStateAndRegistersInContext) {
    {
        LuaScriptManager scripts;
        EXPECT_EQ(EngineContext::Get().scriptManager, &scripts);
        EXPECT_EQ(scripts.GetScriptType(), 2);
        ASSERT_NE(scripts.GetState(), nullptr);
        EXPECT_EQ(scripts.GetCurrentState(), scripts.GetState());
        EXPECT_EQ(scripts.states.Count(), 1u);
        EXPECT_EQ(scripts.GetProfileThreshold(), -1);
        EXPECT_FALSE(scripts.IsProfiling());
        EXPECT_EQ(scripts.allocThreshold, -1);
        EXPECT_EQ(scripts.ReservedSlot(5), 0);
    }
    EXPECT_EQ(EngineContext::Get().scriptManager, nullptr);
}

TEST_F(ScriptRun, OpensExactlyTheListedLibrariesWithTheCompilerOff) {
    struct Case {
        const char16_t* name;
        const char16_t* type;
    } cases[] = {
        {u"coroutine", u"table"}, {u"table", u"table"}, {u"string", u"table"}, {u"math", u"table"},
        {u"bit", u"table"},       {u"debug", u"table"}, {u"jit", u"table"},    {u"package", u"nil"},
        {u"io", u"nil"},          {u"os", u"nil"},      {u"require", u"nil"},  {u"dofile", u"function"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Run(Format(u"return type(%ls)", c.name)), c.type) << Narrow(c.name);
    EXPECT_EQ(Run(u"return tostring((jit.status()))"), u"false");
}

TEST_F(ScriptRun, ResultModes) {
    lua_State* state = scripts.GetState();
    Variable result;
    ASSERT_TRUE(scripts.RunString(result, u"return 1, 'a'", u"m.lua", _RUN_CONVERT));
    EXPECT_EQ(result.Kind(), _dword(_KIND_DOUBLE));
    EXPECT_EQ(result.AsDouble(), 1.0);

    int top = lua_gettop(state);
    ASSERT_TRUE(scripts.RunString(result, u"return 5", u"m.lua", _RUN_DISCARD));
    EXPECT_TRUE(result.IsNone());
    EXPECT_EQ(lua_gettop(state), top);

    // Outside native calls the left result is the caller's alone: no later call hands it on.
    ASSERT_TRUE(scripts.RunString(result, u"return 'kept'", u"m.lua", _RUN_LEAVE));
    EXPECT_FALSE(scripts.resultLeft);
    ASSERT_EQ(lua_gettop(state), top + 1);
    EXPECT_STREQ(lua_tostring(state, -1), "kept");
    lua_pop(state, 1);
}

TEST_F(ScriptRun, ErrorReachesBothStreamsOnceWithTracebackAndCallback) {
    sCallbackText.clear();
    sCallbackCalls = 0;
    scripts.SetErrorCallback(&RecordError);
    Variable result(u"r", _KIND_INT32);
    EXPECT_FALSE(scripts.RunString(result, u"local function inner()\n  error('boom')\nend\ninner()\n", u"broken.lua",
                                   _RUN_CONVERT));
    EXPECT_TRUE(result.IsNone());
    std::u16string error = Str(scripts.GetLastError());
    EXPECT_EQ(error.rfind(u"broken.lua:2: boom", 0), 0u) << Narrow(error);
    EXPECT_NE(error.find(u"stack traceback:"), std::u16string::npos) << Narrow(error);
    EXPECT_EQ(Occurrences(log.trace, error), 1u) << Narrow(log.trace);
    EXPECT_EQ(Occurrences(log.error, error), 1u) << Narrow(log.error);
    EXPECT_EQ(sCallbackCalls, 1);
    EXPECT_EQ(sCallbackText, error);
    EXPECT_EQ(scripts.CallErrorCallback(u"x"), 7);
    // Reading a global afterwards is no run: the text stays.
    Variable read;
    EXPECT_TRUE(scripts.GetGlobal(read, nullptr, "inner"));
    EXPECT_EQ(Str(scripts.GetLastError()), error);

    // The next good run clears the text.
    ASSERT_TRUE(scripts.RunString(result, u"return 1", u"ok.lua", _RUN_DISCARD));
    EXPECT_TRUE(scripts.GetLastError().IsEmpty());
}

TEST_F(ScriptRun, ErrorIsLoggedOnceWhenBothStreamsAreTheSameSink) {
    EngineContext& context = EngineContext::Get();
    Sink saved = context.errorSink;
    context.errorSink = context.printSink;
    Variable result;
    EXPECT_FALSE(scripts.RunString(result, u"error('same sink')", u"s.lua", _RUN_DISCARD));
    context.errorSink = saved;
    EXPECT_EQ(Occurrences(log.trace, u"s.lua:1: same sink"), 1u) << Narrow(log.trace);
}

TEST_F(ScriptRun, NonTextErrorValuesLeaveLastErrorEmpty) {
    Variable result;
    EXPECT_FALSE(scripts.RunString(result, u"error({})", u"t.lua", _RUN_DISCARD));
    EXPECT_TRUE(scripts.GetLastError().IsEmpty());
    EXPECT_NE(log.trace.find(u"[LS] Script failed with an error value that is not text"), std::u16string::npos);
}

TEST_F(ScriptRun, SyntaxErrorNamesTheChunk) {
    Variable result;
    EXPECT_FALSE(scripts.RunString(result, u"x = = 1", u"syntax.lua", _RUN_DISCARD));
    EXPECT_EQ(Str(scripts.GetLastError()).rfind(u"syntax.lua:1:", 0), 0u) << Narrow(Str(scripts.GetLastError()));
}

TEST_F(ScriptRun, SwitchStateRejectsInvalidIndexAndKeepsCurrentState) {
    lua_State* before = scripts.GetState();
    EXPECT_FALSE(scripts.SwitchState(1));
    EXPECT_FALSE(scripts.SwitchState(-1));
    EXPECT_EQ(scripts.GetState(), before);
    EXPECT_NE(log.trace.find(u"[LS] Failed to switch script state to invalid index 1"), std::u16string::npos);

    // An adopted state is not closed by the manager.
    lua_State* own = luaL_newstate();
    int index = scripts.CreateState(own);
    ASSERT_EQ(index, 1);
    EXPECT_EQ(scripts.states[1].owned, 0);
    ASSERT_TRUE(scripts.SwitchState(index));
    EXPECT_EQ(scripts.GetState(), own);
    ASSERT_TRUE(scripts.SwitchState(0));
    EXPECT_EQ(scripts.GetState(), before);
    scripts.states[1].state = nullptr;
    lua_close(own);
}

TEST_F(ScriptRun, LoadedChunksAreCalledThroughTheirReference) {
    int ref = scripts.LoadString(u"counter = (counter or 0) + 1; return counter * 10");
    ASSERT_GT(ref, 0);
    Variable result;
    ASSERT_TRUE(scripts.CallFunction(nullptr, ref, &result));
    EXPECT_EQ(result.AsDouble(), 10.0);
    ASSERT_TRUE(scripts.CallFunction(nullptr, ref, &result));
    EXPECT_EQ(result.AsDouble(), 20.0);
    scripts.ReleaseRef(ref);
    EXPECT_EQ(ref, 0);

    EXPECT_EQ(scripts.LoadString(u"return +"), 0);
    EXPECT_FALSE(scripts.GetLastError().IsEmpty());
    EXPECT_FALSE(scripts.CallFunction(nullptr, 0, &result));

    ByteBuffer buffer;
    buffer.Append("return ...", 10);
    buffer.name = u"args.lua";
    ref = scripts.LoadBuffer(buffer);
    ASSERT_GT(ref, 0);
    Array<Variable> arguments;
    Variable& first = arguments.Append(Variable());
    first.SetText(u"first");
    arguments.Append(Variable()).SetInt32(2);
    Variable text;
    ASSERT_TRUE(scripts.CallFunction(nullptr, ref, arguments, &text));
    EXPECT_EQ(Str(text.AsText()), u"first");
    Variable one;
    one.SetBool(true);
    Variable truth;
    ASSERT_TRUE(scripts.CallFunction(nullptr, ref, one, &truth));
    EXPECT_EQ(truth.Kind(), _dword(_KIND_BOOL));
    // A typed target keeps its kind: the text converts to a number.
    Variable typed(u"n", _KIND_INT32);
    Variable digits;
    digits.SetText(u"77");
    ASSERT_TRUE(scripts.CallFunction(nullptr, ref, digits, &typed));
    EXPECT_EQ(typed.Kind(), _dword(_KIND_INT32));
    EXPECT_EQ(typed.AsInt32(), 77);
    scripts.ReleaseRef(ref);
}

TEST_F(ScriptRun, FailingCallFunctionLogsAndRestoresTheStack) {
    lua_State* state = scripts.GetState();
    int ref = scripts.LoadString(u"error('in call')");
    ASSERT_GT(ref, 0);
    int top = lua_gettop(state);
    Variable result;
    EXPECT_FALSE(scripts.CallFunction(nullptr, ref, &result));
    EXPECT_EQ(lua_gettop(state), top);
    EXPECT_NE(log.error.find(u"in call"), std::u16string::npos);
    scripts.ReleaseRef(ref);
}

TEST_F(ScriptRun, GlobalsBothNameForms) {
    Variable value;
    value.SetText(u"wert");
    ASSERT_TRUE(scripts.SetGlobal(nullptr, "narrow", value));
    value.SetInt32(42);
    ASSERT_TRUE(scripts.SetGlobal(nullptr, u"wide", value));
    EXPECT_EQ(Run(u"return narrow .. wide"), u"wert42");
    Variable read;
    ASSERT_TRUE(scripts.GetGlobal(read, nullptr, u"wide"));
    EXPECT_EQ(read.AsDouble(), 42.0);
    Variable missing;
    ASSERT_TRUE(scripts.GetGlobal(missing, nullptr, "missing"));
    EXPECT_TRUE(missing.IsNone());
}

TEST_F(ScriptRun, FilesRunWithTheirNameAndMissingFilesGiveEmptyResults) {
    WString path = FileSystem::TemporaryName(FileSystem::TemporaryFolder(), u"vls");
    ASSERT_TRUE(FileSystem::WriteFile(path, "return 'from file'", 18));
    Variable result;
    EXPECT_TRUE(scripts.RunFile(result, path, _RUN_CONVERT));
    EXPECT_EQ(Str(result.AsText()), u"from file");
    EXPECT_GT(scripts.LoadFile(path), 0);
    ASSERT_TRUE(FileSystem::WriteFile(path, "error('x')", 10));
    EXPECT_FALSE(scripts.RunFile(result, path, _RUN_CONVERT));
    EXPECT_NE(Str(scripts.GetLastError()).find(Str(Path::FileNameOf(path))), std::u16string::npos)
        << Narrow(Str(scripts.GetLastError()));
    EXPECT_TRUE(FileSystem::DeleteFile(path));

    result.SetInt32(3);
    EXPECT_FALSE(scripts.RunFile(result, path, _RUN_CONVERT));
    EXPECT_TRUE(result.IsNone());
    EXPECT_EQ(scripts.LoadFile(path), 0);
}

TEST_F(ScriptRun, FilesAreReadThroughTheResourceManagerWhenOneExists) {
    ResourceManager resources;
    IDataArchive* archive = resources.CreateMemArchive(u"", u"");
    ASSERT_TRUE(archive->WriteResource(u"scripts\\packed.lua", "return 'from archive'", 21, Md5Digest()));
    Variable result;
    EXPECT_TRUE(scripts.RunFile(result, u"scripts/packed.lua", _RUN_CONVERT));
    EXPECT_EQ(Str(result.AsText()), u"from archive");
    EXPECT_EQ(scripts.LoadFile(u"scripts\\absent.lua"), 0);
}

TEST_F(ScriptRun, BrokenRunInsideNativeCallFailsThatCallOnly) {
    RegisterStatic(scripts, u"runBroken", &RunBrokenBuffer);
    RegisterStatic(scripts, u"ping", &Ping);
    EXPECT_EQ(Run(u"local ok, message = pcall(runBroken) return tostring(ok) .. ' ' .. message:sub(1, 9)"),
              u"false inner.lua");
    // Outside a native call a broken run leaves nothing behind for later calls.
    ByteBuffer buffer;
    buffer.Append("broken(", 7);
    Variable ignored;
    EXPECT_FALSE(scripts.RunBuffer(ignored, buffer, _RUN_DISCARD));
    EXPECT_TRUE(scripts.callError.IsEmpty());
    EXPECT_EQ(Run(u"return tostring(ping())"), u"1");
}

TEST_F(ScriptRun, FullCollectionAfterFailure) {
    // A table only the failed chunk held is gone right after the failure.
    Variable result;
    ASSERT_TRUE(scripts.RunString(result, u"probe = setmetatable({}, {__mode = 'v'})", u"p.lua", _RUN_DISCARD));
    EXPECT_FALSE(scripts.RunString(result, u"probe[1] = {} error('x')", u"p.lua", _RUN_DISCARD));
    EXPECT_EQ(Run(u"return tostring(probe[1])"), u"nil");
}

TEST(LuaScriptManagerGuardTest, FailingFinalisersNeverLeaveTheHost) {
    struct Case {
        const char* name;
        std::u16string setUp;  // run first; whether it fails is up to the case
        // What the host operation gives back (a reference made before the set-up at hand).
        std::function<bool(LuaScriptManager&, int)> operation;
        bool expected;
        const char16_t* logged;  // the line of the finaliser's error
    } cases[] = {
        {"the collection after a failed run", std::u16string(_FAILING_FINALISER) + u"error('script failed')",
         [](LuaScriptManager& m, int) { return Str(m.GetLastError()).find(u"script failed") != std::u16string::npos; },
         true, u"[LS] Garbage collection stopped at a failing finaliser: gc.lua:1: gc boom"},
        {"a requested collection", _FAILING_FINALISER, [](LuaScriptManager& m, int) { m.CollectGarbage(); return true; },
         true, u"[LS] Garbage collection stopped at a failing finaliser: gc.lua:1: gc boom"},
        {"setting a global", std::u16string(_FAILING_FINALISER) + _STEP_DUE,
         [](LuaScriptManager& m, int) {
             Variable text;
             text.SetText(u"allocated");
             return m.SetGlobal(nullptr, "g", text);
         },
         false, u"[LS] Setting a global failed: gc.lua:1: gc boom"},
        {"reading a global", std::u16string(_FAILING_FINALISER) + _STEP_DUE,
         [](LuaScriptManager& m, int) {
             Variable read;
             return m.GetGlobal(read, nullptr, "print");
         },
         false, u"[LS] Reading a global failed: gc.lua:1: gc boom"},
        {"calling a function with a text", std::u16string(_FAILING_FINALISER) + _STEP_DUE,
         [](LuaScriptManager& m, int ref) {
             Variable text;
             text.SetText(u"argument");
             Variable result;
             return m.CallFunction(nullptr, ref, text, &result);
         },
         false, u"[LS] Calling a script function failed: gc.lua:1: gc boom"},
        {"running a chunk", std::u16string(_FAILING_FINALISER) + _STEP_DUE,
         [](LuaScriptManager& m, int) {
             Variable result;
             return m.RunString(result, u"return 'x'", u"later.lua", _RUN_CONVERT);
         },
         false, u"gc.lua:1: gc boom"},  // the run's own error
        {"loading a chunk", std::u16string(_FAILING_FINALISER) + _STEP_DUE,
         [](LuaScriptManager& m, int) { return m.LoadString(u"return 1") != 0; }, false,
         u"gc.lua:1: gc boom"},  // the load's own error
        {"binding an object", std::u16string(_FAILING_FINALISER) + _STEP_DUE,
         [](LuaScriptManager& m, int) {
             Plain* plain = new Plain();
             bool bound = m.BindObject(u"Plain", plain, false) != nullptr;
             if (!bound)
                 delete plain;
             return bound;
         },
         false, u"[LS] Binding an object failed: gc.lua:1: gc boom"},
        {"registering a class", std::u16string(_FAILING_FINALISER) + _STEP_DUE,
         [](LuaScriptManager& m, int) {
             bool begun = m.BeginClass(u"Late", nullptr);
             if (begun)
                 m.EndClass();
             return begun;
         },
         false, u"[LS] Registering a class failed: gc.lua:1: gc boom"},
        {"making a native function", std::u16string(_FAILING_FINALISER) + _STEP_DUE,
         [](LuaScriptManager& m, int) { return m.MakeFunction(reinterpret_cast<void*>(&Ping), &ScriptFunctionThunk) != 0; },
         false, u"[LS] Making a native function failed: gc.lua:1: gc boom"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        LuaScriptManager scripts;
        ASSERT_TRUE(scripts.BeginClass(u"Plain", nullptr));
        scripts.EndClass();
        int ref = scripts.LoadString(u"return ...");
        ASSERT_GT(ref, 0);
        lua_State* state = scripts.GetState();
        Variable ignored;
        scripts.RunString(ignored, c.setUp.c_str(), u"gc.lua", _RUN_DISCARD);
        int top = lua_gettop(state);
        EXPECT_EQ(c.operation(scripts, ref), c.expected) << c.name;
        EXPECT_EQ(lua_gettop(state), top) << c.name;
        EXPECT_EQ(Occurrences(log.trace, u"gc boom"), 1u) << c.name << ": " << Narrow(log.trace);
        EXPECT_EQ(Occurrences(log.trace, c.logged), 1u) << c.name << ": " << Narrow(log.trace);
        // The host goes on working.
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, u"return tostring(1 + 1)", u"after.lua", _RUN_CONVERT)) << c.name;
        EXPECT_EQ(Str(result.AsText()), u"2") << c.name;
        scripts.ReleaseRef(ref);
    }
}

TEST(LuaScriptManagerGuardTest, RaisingGlobalsMetamethodsFailTheOperationOnly) {
    struct Case {
        const char* name;
        std::function<bool(LuaScriptManager&)> operation;  // what it gives back
        bool expected;
        const char16_t* logged;
    } cases[] = {
        {"registering a class", [](LuaScriptManager& m) { return m.BeginClass(u"Late", nullptr); }, false,
         u"[LS] Registering a class failed: no new global Late"},
        {"registering a global function",
         [](LuaScriptManager& m) {
             RegisterStatic(m, u"late", &Ping);
             return true;
         },
         true, u"[LS] Registering a function failed: no new global late"},
        {"creating a global object of an unknown class",
         [](LuaScriptManager& m) { return m.CreateGlobalObject(u"object", u"Missing"); }, false,
         u"[LS] Creating a global object failed: no global Missing"},
    };
    for (const Case& c : cases) {
        LogCapture log;
        LuaScriptManager scripts;
        Variable ignored;
        ASSERT_TRUE(scripts.RunString(ignored,
                                      u"setmetatable(_G, {__newindex = function(_, k) error('no new global ' .. k, 2) end, "
                                      u"__index = function(_, k) error('no global ' .. k, 2) end})",
                                      u"strict.lua", _RUN_DISCARD));
        lua_State* state = scripts.GetState();
        int top = lua_gettop(state);
        EXPECT_EQ(c.operation(scripts), c.expected) << c.name;
        EXPECT_EQ(lua_gettop(state), top) << c.name;
        EXPECT_EQ(Occurrences(log.trace, c.logged), 1u) << c.name << ": " << Narrow(log.trace);
    }
}
