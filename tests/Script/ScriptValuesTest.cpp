// Conversions between script values and Variable, both ways, typed targets included.
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

class Thing : public ScriptObject {};

int NewThing(lua_State*) {
    IScriptManager& scripts = *EngineContext::Get().scriptManager;
    scripts.BeginCall(nullptr);
    Thing* thing = new Thing();
    scripts.BindObject(u"Thing", thing, false);
    return scripts.ReturnObject(thing);
}

// Whether argument 0 converts into an array.
int IsArrayArgument(IScriptManager& scripts, ScriptObject*) {
    Variable value;
    scripts.GetArgValue(0, value);
    return scripts.ReturnBool(value.IsArray());
}

class ScriptValuesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(scripts.BeginClass(u"Thing", &NewThing));
        scripts.EndClass();
    }
    // The script expression converted into target.
    void Read(const char16_t* expression, Variable& target) {
        std::u16string text = u"return ";
        text += expression;
        ASSERT_TRUE(scripts.RunString(target, text.c_str(), u"values.lua", _RUN_CONVERT))
            << Narrow(scripts.GetLastError().Text());
    }
    // The script's verdict on the value stored as the global v.
    std::u16string Check(const Variable& value, const char16_t* expression) {
        EXPECT_TRUE(scripts.SetGlobal(nullptr, "v", value));
        Variable result;
        std::u16string text = u"return tostring(";
        text += expression;
        text += u")";
        EXPECT_TRUE(scripts.RunString(result, text.c_str(), u"values.lua", _RUN_CONVERT))
            << Narrow(scripts.GetLastError().Text());
        return result.AsText().Text();
    }
    void Exec(const char16_t* text) {
        Variable ignored;
        EXPECT_TRUE(scripts.RunString(ignored, text, u"values.lua", _RUN_DISCARD)) << Narrow(scripts.GetLastError().Text());
    }
    LogCapture log;
    LuaScriptManager scripts;
};

} // namespace

TEST_F(ScriptValuesTest, ScriptValuesIntoUntypedVariables) {
    struct Case {
        const char16_t* expression;
        _dword kind;
    } cases[] = {
        {u"nil", _KIND_NONE},          {u"true", _KIND_BOOL},       {u"1.5", _KIND_DOUBLE},
        {u"'text'", _KIND_TEXT},       {u"print", _KIND_FUNCTION},  {u"Thing.new()", _KIND_OBJECT},
        {u"{1, nil, 3}", _KIND_DICT},  {u"{}", _KIND_DICT},         {u"{x = {y = 1}}", _KIND_DICT},
    };
    for (const Case& c : cases) {
        Variable value;
        Read(c.expression, value);
        EXPECT_EQ(value.Kind(), c.kind) << Narrow(c.expression);
        EXPECT_FALSE(value.IsArray()) << Narrow(c.expression);
        if (c.kind == _KIND_FUNCTION) {
            EXPECT_GT(value.AsFunction(), 0);
        }
    }
    Variable text;
    Read(u"'gr\u00fc\u00dfe'", text);
    EXPECT_EQ(std::u16string(text.AsText().Text()), u"gr\u00fc\u00dfe");
}

TEST_F(ScriptValuesTest, SequencesBecomeArraysAndOtherTablesDictionaries) {
    Variable array;
    Read(u"{10, 20, 30}", array);
    ASSERT_TRUE(array.IsArray());
    ASSERT_EQ(array.ChildCount(), 3);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(array.Child(i).AsDouble(), 10.0 * (i + 1));

    Variable dictionary;
    Read(u"{a = 1, [5] = 2}", dictionary);
    ASSERT_TRUE(dictionary.IsDictionary());
    ASSERT_EQ(dictionary.ChildCount(), 2);
    Variable* five = dictionary.FindChild(u"5");
    ASSERT_NE(five, nullptr);
    EXPECT_TRUE(five->hasKey);
    EXPECT_EQ(five->key, 5.0);
    EXPECT_EQ(five->AsDouble(), 2.0);
    Variable* a = dictionary.FindChild(u"a");
    ASSERT_NE(a, nullptr);
    EXPECT_FALSE(a->hasKey);

    Variable nested;
    Read(u"{list = {'x', 'y'}, flag = false}", nested);
    EXPECT_EQ(std::u16string(nested.Find(u"list[1]").AsText().Text()), u"y");
    EXPECT_EQ(nested.Find(u"flag").Kind(), _dword(_KIND_BOOL));
}

TEST_F(ScriptValuesTest, TypedTargetsKeepTheirKind) {
    struct Case {
        const char16_t* expression;
        _dword kind;
        double number;            // checked for numeric kinds
        const char16_t* text;     // checked for text
    } cases[] = {
        {u"3.9", _KIND_INT32, 3, nullptr},     {u"-3.9", _KIND_INT8, -3, nullptr},
        {u"300", _KIND_UINT8, 44, nullptr},    {u"'12'", _KIND_INT16, 12, nullptr},
        {u"0.25", _KIND_FLOAT, 0.25, nullptr}, {u"true", _KIND_UINT32, 1, nullptr},
        {u"5", _KIND_TEXT, 0, u"5"},           {u"false", _KIND_TEXT, 0, u"false"},
        {u"2", _KIND_BOOL, 1, nullptr},        {u"4294967295", _KIND_UINT32, 4294967295.0, nullptr},
    };
    for (const Case& c : cases) {
        Variable target(u"t", c.kind);
        Read(c.expression, target);
        EXPECT_EQ(target.Kind(), c.kind) << Narrow(c.expression);
        EXPECT_EQ(std::u16string(target.name.Text()), u"t");
        if (c.text != nullptr)
            EXPECT_EQ(std::u16string(target.AsText().Text()), c.text) << Narrow(c.expression);
        else if (c.kind == _KIND_FLOAT)
            EXPECT_EQ(target.value.f32, float(c.number));
        else if (c.kind == _KIND_UINT32)
            EXPECT_EQ(double(uint32_t(target.AsUInt64())), c.number) << Narrow(c.expression);
        else if (c.kind == _KIND_BOOL)
            EXPECT_TRUE(target.AsBool());
        else
            EXPECT_EQ(double(target.AsInt32()), c.number) << Narrow(c.expression);
    }
}

TEST_F(ScriptValuesTest, VariablesIntoScriptValues) {
    struct Case {
        const char16_t* name;
        Variable value;
        const char16_t* expression;
        const char16_t* expected;
    };
    Case cases[] = {
        {u"bool", Variable(), u"v == true", u"true"},
        {u"char", Variable(), u"v", u"65"},
        {u"int8", Variable(), u"v", u"-8"},
        {u"int32", Variable(), u"v", u"-70000"},
        {u"int64", Variable(), u"v", u"-5000000000"},
        {u"uint16", Variable(), u"v", u"65535"},
        {u"uint32", Variable(), u"v", u"4294967295"},
        {u"uint64", Variable(), u"v", u"10000000000"},
        {u"float", Variable(), u"v", u"0.5"},
        {u"double", Variable(), u"v", u"2.75"},
        {u"bytes", Variable(), u"#v .. v:sub(2, 2)", u"3b"},
        {u"text", Variable(), u"v", u"\u00fcber"},
        {u"none", Variable(), u"v", u"nil"},
        {u"pointer", Variable(), u"type(v)", u"userdata"},
    };
    cases[0].value.SetBool(true);
    cases[1].value.SetChar16(u'A');
    cases[2].value.SetInt8(-8);
    cases[3].value.SetInt32(-70000);
    cases[4].value.SetInt64(-5000000000LL);
    cases[5].value.SetUInt16(65535);
    cases[6].value.SetUInt32(4294967295u);
    cases[7].value.SetUInt64(10000000000ULL);
    cases[8].value.SetFloat(0.5f);
    cases[9].value.SetDouble(2.75);
    cases[10].value.SetBytes("abc", 3);
    cases[11].value.SetText(u"\u00fcber");
    static int notAnObject = 0;
    cases[13].value.SetPointer(&notAnObject);  // unknown pointers stay light userdata
    for (Case& c : cases)
        EXPECT_EQ(Check(c.value, c.expression), c.expected) << Narrow(c.name);
}

TEST_F(ScriptValuesTest, TreesObjectsAndFunctionsIntoScriptValues) {
    Variable array(u"list", _ARRAY_FLAG);
    array.AddChild(u"[0]", _KIND_NONE).SetInt32(7);
    array.AddChild(u"[1]", _KIND_NONE).SetText(u"eight");
    EXPECT_EQ(Check(array, u"#v .. v[1] .. v[2]"), u"27eight");

    Variable dictionary(u"d", _KIND_DICT);
    dictionary.AddChild(u"name", _KIND_NONE).SetText(u"n");
    Variable& keyed = dictionary.AddChild(u"9", _KIND_NONE);
    keyed.SetInt32(1);
    keyed.key = 9;
    keyed.hasKey = true;
    EXPECT_EQ(Check(dictionary, u"v.name .. v[9] .. tostring(v['9'])"), u"n1nil");

    Variable object;
    Read(u"Thing.new()", object);
    ASSERT_EQ(object.Kind(), _dword(_KIND_OBJECT));
    EXPECT_EQ(Check(object, u"type(v) == 'table' and getmetatable(v) == Thing"), u"true");

    Variable function;
    Read(u"function(x) return x .. '!' end", function);
    EXPECT_EQ(Check(function, u"v('hey')"), u"hey!");

    // Round trip through both conversions.
    Variable tree;
    Read(u"{a = {1, 2, {b = 'c'}}, d = true}", tree);
    EXPECT_EQ(Check(tree, u"v.a[3].b .. #v.a .. tostring(v.d)"), u"c3true");
}

namespace {
size_t Occurrences(const std::u16string& haystack, const std::u16string& needle) {
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::u16string::npos; at = haystack.find(needle, at + 1))
        count++;
    return count;
}

// Registry entries that are functions: the references conversions take.
int FunctionReferences(lua_State* state) {
    int count = 0;
    lua_pushnil(state);
    while (lua_next(state, LUA_REGISTRYINDEX) != 0) {
        if (lua_type(state, -2) == LUA_TNUMBER && lua_isfunction(state, -1))
            count++;
        lua_pop(state, 1);
    }
    return count;
}
} // namespace

TEST_F(ScriptValuesTest, TablesAlreadyOnThePathAreCutOnce) {
    struct Case {
        const char16_t* expression;
        const char16_t* cutPath;  // the child left empty
    } cases[] = {
        {u"(function() local t = {} t.self = t return t end)()", u"self"},
        {u"(function() local t = {} t[1] = t t[2] = t return t end)()", u"[0]"},
        {u"(function() local root = {name = 'root', kids = {}} for i = 1, 3 do "
         u"root.kids[i] = {parent = root} end return root end)()", u"kids[2].parent"},
    };
    for (const Case& c : cases) {
        log.Clear();
        Variable value;
        Read(c.expression, value);
        EXPECT_TRUE(value.Find(c.cutPath).IsNone()) << Narrow(c.expression);
        EXPECT_FALSE(value.Find(c.cutPath).IsShared()) << Narrow(c.expression);
        EXPECT_EQ(Occurrences(log.trace, u"[LS] "), 1u) << Narrow(c.expression) << Narrow(log.trace);
    }
    // A table met twice but never inside itself is converted both times.
    Variable shared;
    Read(u"(function() local s = {1, 2} return {a = s, b = s} end)()", shared);
    EXPECT_EQ(shared.Find(u"a[1]").AsDouble(), 2.0);
    EXPECT_EQ(shared.Find(u"b[1]").AsDouble(), 2.0);
}

TEST_F(ScriptValuesTest, SharedTablesStopAtTheNodeCeiling) {
    // 2^40 nodes when expanded: the conversion stops at its ceiling, logged once.
    Variable value;
    EXPECT_TRUE(scripts.RunString(value, u"local t = {} for i = 1, 40 do t = {t, t} end return t", u"wide.lua",
                                  _RUN_CONVERT));
    EXPECT_TRUE(value.IsArray());
    EXPECT_EQ(Occurrences(log.trace, u"[LS] "), 1u) << Narrow(log.trace);
    // The same from inside a native call's argument and from a global.
    Exec(u"wide = {} for i = 1, 40 do wide = {wide, wide} end");
    Variable global;
    EXPECT_TRUE(scripts.GetGlobal(global, nullptr, "wide"));
    EXPECT_TRUE(global.IsArray());
    RegisterStatic(scripts, u"isArrayArgument", &IsArrayArgument);
    Variable seen;
    EXPECT_TRUE(scripts.RunString(seen, u"return tostring(isArrayArgument(wide))", u"wide.lua", _RUN_CONVERT));
    EXPECT_EQ(std::u16string(seen.AsText().Text()), u"true");
}

TEST_F(ScriptValuesTest, FunctionValuesReadIntoVariablesReleaseTheirReferences) {
    lua_State* state = scripts.GetState();
    Exec(u"handlers = {onClick = function() return 1 end, onClose = function() return 2 end}");
    int before = FunctionReferences(state);
    for (int i = 0; i < 1000; i++) {
        Variable handlers;
        ASSERT_TRUE(scripts.GetGlobal(handlers, nullptr, "handlers"));
        ASSERT_EQ(handlers.Find(u"onClick").Kind(), _dword(_KIND_FUNCTION));
    }
    EXPECT_EQ(FunctionReferences(state), before);

    // Copies own references of their own; a moved value keeps its one.
    Variable read;
    ASSERT_TRUE(scripts.GetGlobal(read, nullptr, "handlers"));
    EXPECT_EQ(FunctionReferences(state), before + 2);
    {
        Variable copy(read);
        EXPECT_EQ(FunctionReferences(state), before + 4);
        Variable moved(static_cast<Variable&&>(copy));
        EXPECT_EQ(FunctionReferences(state), before + 4);
        EXPECT_EQ(Check(moved, u"v.onClose()"), u"2");
    }
    EXPECT_EQ(FunctionReferences(state), before + 2);
    // A reference taken out of the tree is the caller's to release.
    int taken = read.Find(u"onClick").TakeFunction();
    read.Clear();
    EXPECT_EQ(FunctionReferences(state), before + 1);
    Variable result;
    EXPECT_TRUE(scripts.CallFunction(nullptr, taken, &result));
    EXPECT_EQ(result.AsDouble(), 1.0);
    scripts.ReleaseRef(taken);
    EXPECT_EQ(FunctionReferences(state), before);

    // Typed re-reads and arguments release what the target held.
    Variable target;
    Read(u"print", target);
    Read(u"print", target);
    Read(u"1", target);
    EXPECT_EQ(FunctionReferences(state), before);
}

TEST_F(ScriptValuesTest, OwnedReferencesStayWithTheStateThatIssuedThem) {
    lua_State* zero = scripts.GetState();
    Variable kept;
    Read(u"function() return 'zero' end", kept);
    ASSERT_TRUE(kept.OwnsFunction());
    int before = FunctionReferences(zero);
    ASSERT_EQ(scripts.CreateState(nullptr), 1);
    ASSERT_TRUE(scripts.SwitchState(1));
    int ref = scripts.LoadString(u"return 'one'");
    ASSERT_EQ(ref, kept.AsFunction());  // the same number in the other state's registry
    {
        Variable copy(kept);
        EXPECT_EQ(FunctionReferences(zero), before + 1);
        EXPECT_EQ(Check(copy, u"v"), u"nil");  // names nothing in this state
    }
    EXPECT_EQ(FunctionReferences(zero), before);
    kept.Clear();
    EXPECT_EQ(FunctionReferences(zero), before - 1);
    Variable result;
    ASSERT_TRUE(scripts.CallFunction(nullptr, ref, &result));
    EXPECT_EQ(std::u16string(result.AsText().Text()), u"one");
    scripts.ReleaseRef(ref);
    ASSERT_TRUE(scripts.SwitchState(0));
}

TEST(ScriptValuesManagerTest, OwnedReferenceOutlivingItsManagerIsLeftAlone) {
    LogCapture log;
    Variable kept;
    {
        LuaScriptManager first;
        ASSERT_TRUE(first.RunString(kept, u"return function() return 'first' end", u"first.lua", _RUN_CONVERT));
        ASSERT_TRUE(kept.OwnsFunction());
    }
    LuaScriptManager second;
    int ref = second.LoadString(u"return 'second'");
    ASSERT_EQ(ref, kept.AsFunction());  // a new state hands out the same numbers
    Variable copy(kept);
    EXPECT_FALSE(copy.OwnsFunction());
    kept.Clear();
    Variable result;
    ASSERT_TRUE(second.CallFunction(nullptr, ref, &result));
    EXPECT_EQ(std::u16string(result.AsText().Text()), u"second");
    second.ReleaseRef(ref);
}
