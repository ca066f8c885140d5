// Native classes and object tables: registration, properties, the host slot, object
// lifetime across returns, drops, collections and native holds, children and members.
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

int sDeleted = 0;
int sGetterCalls = 0;

class Widget : public ScriptObject {
public:
    ~Widget() override { sDeleted++; }
    int size = 3;
    std::u16string label = u"plain";
    std::u16string lastField;
};

Widget* sLastMade = nullptr;

int NewWidget(lua_State*) {
    IScriptManager& scripts = *EngineContext::Get().scriptManager;
    scripts.BeginCall(reinterpret_cast<void*>(&NewWidget));
    Widget* widget = new Widget();
    sLastMade = widget;
    scripts.BindObject(u"Widget", widget, false);
    return scripts.ReturnObject(widget);
}

int Add(IScriptManager& scripts, ScriptObject* self) {
    if (self == nullptr)
        return scripts.ReturnInt32(-1);
    return scripts.ReturnInt32(static_cast<Widget*>(self)->size + scripts.GetArgInt32(0) + scripts.GetArgInt32(1));
}

int GetSize(IScriptManager& scripts, ScriptObject* self) {
    sGetterCalls++;
    return scripts.ReturnInt32(self != nullptr ? static_cast<Widget*>(self)->size : -1);
}

int SetSize(IScriptManager& scripts, ScriptObject* self) {
    if (self != nullptr)
        static_cast<Widget*>(self)->size = scripts.GetArgInt32(0);
    return scripts.ReturnNothing();  // the object: the assignment is complete
}

int GetLabel(IScriptManager& scripts, ScriptObject* self) {
    return scripts.ReturnString(self != nullptr ? static_cast<Widget*>(self)->label.c_str() : u"");
}

int Twice(IScriptManager& scripts, ScriptObject*) { return scripts.ReturnDouble(scripts.GetArgDouble(0) * 2); }

// Catch-all: reads answer "any:<field>", writes of fields starting with "x" are taken.
int AnyGet(IScriptManager& scripts, ScriptObject*) {
    std::u16string text = u"any:";
    text += scripts.GetArgString(0);
    return scripts.ReturnString(text.c_str());
}
int AnySet(IScriptManager& scripts, ScriptObject* self) {
    std::u16string field = scripts.GetArgString(0);
    if (self == nullptr || field.empty() || field[0] != u'x') {
        scripts.BeginCall(nullptr);  // no result: the value is stored raw
        return 0 * scripts.ReturnNothing();
    }
    static_cast<Widget*>(self)->lastField = field;
    return scripts.ReturnNothing();
}

// A method through a thunk of its own: BeginCall, FetchThis, one return.
int RawSize(lua_State*) {
    IScriptManager& scripts = *EngineContext::Get().scriptManager;
    scripts.BeginCall(nullptr);
    ScriptObject* self = scripts.FetchThis(false);
    return scripts.ReturnInt32(self != nullptr ? static_cast<Widget*>(self)->size : -1);
}

int IsWidget(IScriptManager& scripts, ScriptObject*) { return scripts.ReturnBool(scripts.GetArgObject(0) != nullptr); }

class ScriptBindingTest : public testing::Test {
protected:
    void SetUp() override {
        sDeleted = 0;
        sGetterCalls = 0;
        ASSERT_TRUE(scripts.BeginClass(u"Widget", &NewWidget));
        RegisterMethod(scripts, u"add", &Add);
        scripts.RegisterFunction(u"rawSize", nullptr, &RawSize, false);
        RegisterStatic(scripts, u"twice", &Twice);
        RegisterAccessors(scripts, u"size", &GetSize, &SetSize);
        RegisterAccessors(scripts, u"label", &GetLabel, nullptr);
        Variable kind;
        kind.SetText(u"widget");
        scripts.SetClassField(u"kind", kind, false);
        Variable version;
        version.SetInt32(4);
        scripts.SetClassField(u"version", version, true);
        scripts.EndClass();
        ASSERT_TRUE(scripts.BeginClass(u"Loose", nullptr));
        RegisterAccessors(scripts, u"", &AnyGet, &AnySet);
        scripts.EndClass();
        RegisterStatic(scripts, u"isWidget", &IsWidget);
    }
    std::u16string Run(const char16_t* text) {
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, text, u"bind.lua", _RUN_CONVERT)) << Narrow(scripts.GetLastError().Text());
        return std::u16string(result.AsText().Text());
    }
    void Exec(const char16_t* text) {
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, text, u"bind.lua", _RUN_DISCARD)) << Narrow(scripts.GetLastError().Text());
    }
    // A widget as native code makes one: bound, not yet seen by scripts.
    Widget* Bound(bool withProxy = false) {
        Widget* widget = new Widget();
        EXPECT_EQ(scripts.BindObject(u"Widget", widget, withProxy), widget);
        return widget;
    }
    // Gives the object to scripts as the global g, the way a native return does.
    void GiveToScripts(ScriptObject* object, const char* name = "g") {
        scripts.PushObject(object);
        lua_setglobal(scripts.GetState(), name);
    }
    LogCapture log;
    LuaScriptManager scripts;
};

} // namespace

TEST_F(ScriptBindingTest, ObjectsAreTablesWithMethodsPropertiesAndFields) {
    Exec(u"w = Widget.new()");
    EXPECT_EQ(Run(u"return type(w)"), u"table");
    EXPECT_EQ(Run(u"return tostring(w:add(10, 20))"), u"33");
    EXPECT_EQ(Run(u"return tostring(w.size)"), u"3");
    Exec(u"w.size = 8");
    EXPECT_EQ(sLastMade->size, 8);
    EXPECT_EQ(Run(u"return w.label .. ' ' .. w.kind .. ' ' .. Widget.version .. ' ' .. Widget.twice(4)"),
              u"plain widget 4 8");
    EXPECT_EQ(Run(u"return tostring(getmetatable(w) == Widget)"), u"true");
    // Fields scripts store live in the table; pairs sees nothing of the host.
    Exec(u"w.note = 'mine'");
    EXPECT_EQ(Run(u"local keys = {} for k in pairs(w) do keys[#keys + 1] = tostring(k) end "
                  u"return table.concat(keys, ',')"),
              u"note");
    EXPECT_EQ(Run(u"return tostring(isWidget(w)) .. tostring(isWidget({})) .. "
                  u"tostring(isWidget(setmetatable({}, {__index = w})))"),
              u"truefalsefalse");
}

TEST_F(ScriptBindingTest, FieldWithoutSetterIsStoredRawAndReadBackWithoutGetter) {
    Exec(u"w = Widget.new() w.label = 'own'");
    EXPECT_EQ(Run(u"return rawget(w, 'label')"), u"own");
    sGetterCalls = 0;
    EXPECT_EQ(Run(u"return w.label"), u"own");
    Exec(u"local s = w.size");
    EXPECT_EQ(sGetterCalls, 1);
    Exec(u"w.size = 5");
    EXPECT_EQ(Run(u"return tostring(rawget(w, 'size'))"), u"nil");
}

TEST_F(ScriptBindingTest, CatchAllAccessorReceivesTheFieldName) {
    Widget* widget = new Widget();
    ASSERT_EQ(scripts.BindObject(u"Loose", widget, false), widget);
    GiveToScripts(widget, "loose");
    EXPECT_EQ(Run(u"return loose.anything"), u"any:anything");
    Exec(u"loose.xray = 1 loose.other = 2");
    EXPECT_EQ(widget->lastField, u"xray");
    EXPECT_EQ(Run(u"return tostring(rawget(loose, 'xray')) .. tostring(rawget(loose, 'other'))"), u"nil2");
}

TEST_F(ScriptBindingTest, ClassTableWritesAddInstanceFunctions) {
    Exec(u"function Widget:describe() return 'size ' .. self.size end w = Widget.new()");
    EXPECT_EQ(Run(u"return w:describe()"), u"size 3");
    EXPECT_EQ(Run(u"return tostring(Widget.describe ~= nil)"), u"true");
}

TEST_F(ScriptBindingTest, TextOfObjects) {
    Exec(u"w = Widget.new()");
    std::u16string expected = Format(u"table: 0x%p", static_cast<void*>(sLastMade)).Text();
    EXPECT_EQ(Run(u"return tostring(w)"), expected);
    // Read on the thread that asks, a coroutine's included.
    EXPECT_EQ(Run(u"return coroutine.wrap(function() return tostring(w) end)()"), expected);
    Exec(u"function Widget.tostring(self) return 'W' .. self.size end");
    EXPECT_EQ(Run(u"return tostring(w)"), u"W3");
}

TEST_F(ScriptBindingTest, BindingTwiceKeepsOneTable) {
    Widget* widget = Bound();
    ScriptBinding* binding = widget->binding;
    EXPECT_EQ(scripts.BindObject(u"Widget", widget, false), widget);
    EXPECT_EQ(widget->binding, binding);
    lua_State* state = scripts.GetState();
    scripts.PushObject(widget);
    scripts.PushObject(widget);
    EXPECT_TRUE(lua_rawequal(state, -1, -2));
    lua_pop(state, 2);
    Widget unbound;
    EXPECT_EQ(scripts.BindObject(u"Unknown", &unbound, false), nullptr);
    EXPECT_EQ(unbound.binding, nullptr);
    EXPECT_EQ(scripts.BindObject(u"Widget", nullptr, false), nullptr);
}

TEST_F(ScriptBindingTest, LifetimeAcrossReturnsDropsCollectionsAndHolds) {
    enum Hold { _NONE, _BINDING_REF, _HOLD_OBJECT, _ATTACHED, _NEVER_GIVEN, _SCRIPT_KEEPS };
    struct Case {
        const char* name;
        Hold hold;
        bool survives;
    } cases[] = {
        {"dropped", _NONE, false},         {"binding ref", _BINDING_REF, true}, {"held", _HOLD_OBJECT, true},
        {"attached", _ATTACHED, true},     {"never given", _NEVER_GIVEN, true}, {"kept", _SCRIPT_KEEPS, true},
    };
    for (const Case& c : cases) {
        scripts.CollectGarbage();
        sDeleted = 0;
        Widget* parent = Bound();
        scripts.PushObject(parent);  // parent: held by the stack slot below until the case ends
        int parentSlot = lua_gettop(scripts.GetState());
        Widget* widget = Bound();
        if (c.hold == _BINDING_REF)
            scripts.AddBindingRef(widget);
        if (c.hold == _HOLD_OBJECT)
            scripts.HoldObject(widget);
        if (c.hold == _ATTACHED)
            scripts.AttachChild(parent, widget);
        if (c.hold != _NEVER_GIVEN)
            GiveToScripts(widget);
        if (c.hold == _SCRIPT_KEEPS)
            Exec(u"kept = g");
        Exec(u"g = nil");
        scripts.CollectGarbage();
        EXPECT_EQ(sDeleted, c.survives ? 0 : 1) << c.name;
        if (!c.survives) {
            lua_remove(scripts.GetState(), parentSlot);
            continue;
        }
        // Undo the hold: the object goes at the next collection (a binding ref keeps
        // the native object but not its table, so the native side deletes it).
        switch (c.hold) {
            case _BINDING_REF:
                EXPECT_EQ(widget->binding->slot, nullptr) << c.name;
                scripts.ReleaseBindingRef(widget);
                delete widget;
                break;
            case _HOLD_OBJECT: scripts.ReleaseObject(widget); break;
            case _ATTACHED: scripts.DetachChild(parent, widget); break;
            case _NEVER_GIVEN: GiveToScripts(widget, "tmp"); Exec(u"tmp = nil"); break;
            case _SCRIPT_KEEPS: Exec(u"kept = nil"); break;
            default: break;
        }
        scripts.CollectGarbage();
        EXPECT_EQ(sDeleted, 1) << c.name;
        lua_remove(scripts.GetState(), parentSlot);
    }
    scripts.CollectGarbage();
}

TEST_F(ScriptBindingTest, ObjectReturnedByConstructorIsDeletedWhenScriptDropsIt) {
    Exec(u"local w = Widget.new() w.size = 1");
    EXPECT_EQ(sDeleted, 0);
    scripts.CollectGarbage();
    EXPECT_EQ(sDeleted, 1);
}

TEST_F(ScriptBindingTest, HeldObjectGetsANewTableAfterItsTableWasCollected) {
    Widget* widget = Bound();
    scripts.AddBindingRef(widget);
    GiveToScripts(widget);
    Exec(u"g.note = 'old' g = nil");
    scripts.CollectGarbage();
    ASSERT_EQ(sDeleted, 0);
    GiveToScripts(widget);
    EXPECT_EQ(Run(u"return tostring(g.note) .. ' ' .. g:add(1, 1)"), u"nil 5");
    scripts.ReleaseBindingRef(widget);
    Exec(u"g = nil");
    scripts.CollectGarbage();
    EXPECT_EQ(sDeleted, 1);
}

TEST_F(ScriptBindingTest, TableOutlivingItsNativeObjectNeverReachesIt) {
    Widget* widget = Bound();
    GiveToScripts(widget);
    delete widget;  // the native owner ends it while scripts still hold the table
    EXPECT_EQ(Run(u"return tostring(g:add(1, 2)) .. ' ' .. tostring(isWidget(g)) .. ' ' .. tostring(g.size)"),
              u"-1 false -1");
    Exec(u"g = nil");
    scripts.CollectGarbage();
    EXPECT_EQ(sDeleted, 1);
}

TEST_F(ScriptBindingTest, ProxyTablesTakeTheFieldsScriptsStore) {
    Widget* widget = Bound(true);
    GiveToScripts(widget);
    Exec(u"g.note = 'in proxy'");
    EXPECT_EQ(Run(u"return g.note .. ' ' .. tostring(rawget(g, 'note')) .. ' ' .. g:add(0, 0)"), u"in proxy nil 3");
}

TEST_F(ScriptBindingTest, GlobalObjectsAndMembersUnderLightKeys) {
    ASSERT_TRUE(scripts.CreateGlobalObject(u"_widget", u"Widget"));
    Widget* widget = sLastMade;
    EXPECT_EQ(Run(u"return tostring(_widget.size)"), u"3");
    EXPECT_FALSE(scripts.CreateGlobalObject(u"_none", u"NoSuchClass"));

    // A function kept on the object under a light key and called from native code.
    int ref = scripts.LoadString(u"return function(x) return x + 100 end");
    ASSERT_GT(ref, 0);
    Variable maker;
    ASSERT_TRUE(scripts.CallFunction(nullptr, ref, &maker));
    scripts.ReleaseRef(ref);
    ASSERT_EQ(maker.Kind(), _dword(_KIND_FUNCTION));
    int functionRef = maker.TakeFunction();
    const intptr_t key = 0x1234;
    EXPECT_EQ(scripts.MoveRefToMember(widget, key, functionRef), key);
    EXPECT_EQ(functionRef, 0);
    Variable argument;
    argument.SetInt32(1);
    Variable result;
    ASSERT_TRUE(scripts.CallFunction(widget, key, argument, &result));
    EXPECT_EQ(result.AsDouble(), 101.0);
    intptr_t cleared = key;
    scripts.ClearMember(widget, cleared);
    EXPECT_EQ(cleared, 0);
    EXPECT_FALSE(scripts.CallFunction(widget, key, argument, &result));

    // Members and globals of the object table.
    Variable value;
    value.SetText(u"set natively");
    ASSERT_TRUE(scripts.SetGlobal(widget, "note", value));
    EXPECT_EQ(Run(u"return _widget.note"), u"set natively");
    Variable read;
    ASSERT_TRUE(scripts.GetGlobal(read, widget, "size"));
    EXPECT_EQ(read.AsDouble(), 3.0);
}

TEST_F(ScriptBindingTest, RegistrationChecks) {
    EXPECT_TRUE(scripts.BeginClass(u"First", nullptr));
    EXPECT_FALSE(scripts.BeginClass(u"Second", nullptr));
    EXPECT_NE(log.error.find(u"mClassName == _null"), std::u16string::npos);
    scripts.EndClass();
    log.Clear();
    scripts.EndClass();
    EXPECT_NE(log.error.find(u"mClassName != _null"), std::u16string::npos);
    log.Clear();
    scripts.RegisterReadOnlyProperty(u"p", nullptr, &ScriptMethodThunk);
    EXPECT_NE(log.error.find(u"mClassName != _null"), std::u16string::npos);
}

TEST_F(ScriptBindingTest, ObjectsOfClassesWithoutPropertiesBehaveAlike) {
    ASSERT_TRUE(scripts.BeginClass(u"Plain", nullptr));
    RegisterMethod(scripts, u"add", &Add);
    scripts.EndClass();
    Widget* widget = new Widget();
    ASSERT_EQ(scripts.BindObject(u"Plain", widget, false), widget);
    GiveToScripts(widget, "p");
    Exec(u"function Plain:later() return 'added ' .. self:add(1, 1) end p.own = 1");
    EXPECT_EQ(Run(u"return p:later() .. ' ' .. tostring(p.missing) .. ' ' .. p.own .. ' ' .. "
                  u"tostring(getmetatable(p) == Plain)"),
              u"added 5 nil 1 true");
    EXPECT_EQ(Run(u"return tostring(p)"), std::u16string(Format(u"table: 0x%p", static_cast<void*>(widget)).Text()));
}

TEST_F(ScriptBindingTest, InstanceFunctionsComeBeforeGettersOfTheSameName) {
    Exec(u"w = Widget.new()");
    Exec(u"function Widget:size() return 'method' end");
    EXPECT_EQ(Run(u"return w:size()"), u"method");
    sGetterCalls = 0;
    Exec(u"Widget.size = nil");  // the getter is found again once the function went
    EXPECT_EQ(Run(u"return tostring(w.size)"), u"3");
    EXPECT_EQ(sGetterCalls, 1);
    // A method registered after the property takes the name as well.
    ASSERT_TRUE(scripts.BeginClass(u"Late", nullptr));
    RegisterAccessors(scripts, u"add", &GetSize, nullptr);
    RegisterMethod(scripts, u"add", &Add);
    scripts.EndClass();
    Widget* late = new Widget();
    ASSERT_EQ(scripts.BindObject(u"Late", late, false), late);
    GiveToScripts(late, "late");
    EXPECT_EQ(Run(u"return tostring(late:add(1, 1))"), u"5");
}

TEST_F(ScriptBindingTest, LightUserdataInAClassIsAValueNeverCalled) {
    ASSERT_TRUE(scripts.BeginClass(u"Marked", nullptr));
    RegisterAccessors(scripts, u"size", &GetSize, nullptr);
    Variable marker;
    marker.SetPointer(&sDeleted);  // no object: reaches scripts as light userdata
    scripts.SetClassField(u"marker", marker, false);
    scripts.EndClass();
    Widget* widget = new Widget();
    ASSERT_EQ(scripts.BindObject(u"Marked", widget, false), widget);
    GiveToScripts(widget, "m");
    Exec(u"Marked.copy = m.marker");
    EXPECT_EQ(Run(u"return type(m.marker) .. ' ' .. type(m.copy) .. ' ' .. tostring(m.marker == m.copy) .. ' ' .. m.size"),
              u"userdata userdata true 3");
}

TEST_F(ScriptBindingTest, OnlyTablesTheHostMadeAreObjects) {
    Exec(u"w = Widget.new()");
    // A plain table given an object's metatable, and plain tables made where collected
    // object tables were, are not objects.
    EXPECT_EQ(Run(u"local fake = {} debug.setmetatable(fake, debug.getmetatable(w)) "
                  u"return tostring(isWidget(fake)) .. ' ' .. tostring(fake:add(0, 0))"),
              u"false -1");
    Exec(u"for i = 1, 200 do Widget.new() end");
    scripts.CollectGarbage();
    EXPECT_EQ(sDeleted, 200);
    EXPECT_EQ(Run(u"local objects = 0 for i = 1, 2000 do if isWidget({}) then objects = objects + 1 end end "
                  u"return tostring(objects) .. ' ' .. tostring(isWidget(w))"),
              u"0 true");
}

TEST(ScriptBindingStateTest, StateOutlivingTheManagerDoesNotCallIntoIt) {
    lua_State* state = luaL_newstate();
    Widget widget;
    {
        LuaScriptManager scripts;
        ASSERT_GE(scripts.CreateState(state), 0);
        ASSERT_TRUE(scripts.BeginClass(u"Widget", nullptr));
        RegisterMethod(scripts, u"add", &Add);
        scripts.EndClass();
        ASSERT_EQ(scripts.BindObject(u"Widget", &widget, false), &widget);
        scripts.AddBindingRef(&widget);
        scripts.PushObject(&widget);
        lua_setglobal(state, "w");
    }
    // The object's table goes with the state; its collection hook finds no manager.
    lua_pushnil(state);
    lua_setglobal(state, "w");
    lua_gc(state, LUA_GCCOLLECT, 0);
    lua_close(state);
    EXPECT_NE(widget.binding, nullptr);  // freed by the object itself, without a manager
}

TEST_F(ScriptBindingTest, NativeCallsFromCoroutinesReadTheirOwnArguments) {
    Exec(u"w = Widget.new()");
    EXPECT_EQ(Run(u"local co = coroutine.wrap(function(a) local x = w:add(a, 2) coroutine.yield(x) "
                  u"return w.size + Widget.twice(x) + Widget.new():add(0, 0) end) "
                  u"return co(10) .. ' ' .. co() .. ' ' .. w:add(0, 0)"),
              u"15 36 3");
    // A native call a coroutine's error ended leaves no frame behind: the next calls,
    // in this run and the next, read their own arguments on their own thread.
    Widget* widget = new Widget();
    ASSERT_EQ(scripts.BindObject(u"Loose", widget, false), widget);
    GiveToScripts(widget, "loose");
    EXPECT_EQ(Run(u"local bad = setmetatable({}, {__tostring = function() error('no text') end}) "
                  u"local ok = coroutine.resume(coroutine.create(function() return loose[bad] end)) "
                  u"return tostring(ok) .. ' ' .. w:add(1, 1) .. ' ' .. loose.name"),
              u"false 5 any:name");
    EXPECT_EQ(Run(u"return tostring(w:add(2, 2))"), u"7");
}

TEST_F(ScriptBindingTest, HeldObjectPassedAsAValueGetsANewTable) {
    Widget* widget = Bound();
    scripts.AddBindingRef(widget);
    GiveToScripts(widget);
    Exec(u"g = nil");
    scripts.CollectGarbage();
    ASSERT_EQ(widget->binding->slot, nullptr);
    Variable value;
    value.SetPointer(widget);
    ASSERT_TRUE(scripts.SetGlobal(nullptr, "v", value));
    EXPECT_EQ(Run(u"return type(v) .. ' ' .. v:add(1, 1)"), u"table 5");
    scripts.ReleaseBindingRef(widget);
    Exec(u"v = nil");
    scripts.CollectGarbage();
    EXPECT_EQ(sDeleted, 1);
}

TEST_F(ScriptBindingTest, ObjectMadeInACoroutineIsUnlinkedWhenDeletedNatively) {
    // Made inside a coroutine, held natively, then deleted natively: the hold must go
    // with it, so the table can be collected.
    Exec(u"weak = setmetatable({}, {__mode = 'v'}) "
         u"coroutine.wrap(function() local w = Widget.new() weak[1] = w end)()");
    Widget* widget = sLastMade;
    scripts.HoldObject(widget);
    scripts.CollectGarbage();
    EXPECT_EQ(Run(u"return type(weak[1])"), u"table");
    delete widget;
    // The first collection runs the table's collection hook, the second frees it.
    scripts.CollectGarbage();
    scripts.CollectGarbage();
    EXPECT_EQ(Run(u"return type(weak[1])"), u"nil");
}

namespace {

// Widgets that hold their partner when they are deleted: a native hold made while the
// partner's table is found dead but not yet finalised, or the partner stored as a value
// in the global "kept".
int sHoldersAlive = 0;
class Holder;
Holder* sHeld = nullptr;  // the partner a deleted holder held
class Holder : public Widget {
public:
    explicit Holder(bool asGlobal = false) : asGlobal(asGlobal) { sHoldersAlive++; }
    ~Holder() override {
        sHoldersAlive--;
        if (partner == nullptr)
            return;
        partner->partner = nullptr;
        sHeld = partner;
        IScriptManager* scripts = EngineContext::Get().scriptManager;
        if (!asGlobal) {
            scripts->HoldObject(partner);
            return;
        }
        Variable value;
        value.SetPointer(partner);
        scripts->SetGlobal(nullptr, "kept", value);
    }
    bool asGlobal;
    Holder* partner = nullptr;
};

int NewGadget(lua_State*) {
    IScriptManager& scripts = *EngineContext::Get().scriptManager;
    scripts.BeginCall(nullptr);
    Widget* gadget = new Widget();
    gadget->size = 50;
    scripts.BindObject(u"Gadget", gadget, false);
    return scripts.ReturnObject(gadget);
}

} // namespace

TEST_F(ScriptBindingTest, TableFoundDeadIsNeverHandedOutAgain) {
    sHoldersAlive = 0;
    sHeld = nullptr;
    Holder* first = new Holder();
    Holder* second = new Holder();
    ASSERT_EQ(scripts.BindObject(u"Widget", first, false), first);
    ASSERT_EQ(scripts.BindObject(u"Widget", second, false), second);
    first->partner = second;
    second->partner = first;
    GiveToScripts(first, "a");
    GiveToScripts(second, "b");
    Exec(u"a = nil b = nil");
    // Both tables die in the same cycle; whichever is deleted first holds the other.
    scripts.CollectGarbage();
    scripts.CollectGarbage();
    ASSERT_EQ(sHoldersAlive, 1);
    ASSERT_NE(sHeld, nullptr);
    // The survivor has a live table of its own: usable from scripts, deleted once let go.
    sHeld->size = 8;
    GiveToScripts(sHeld, "held");
    EXPECT_EQ(Run(u"return tostring(held:add(1, 1))"), u"10");
    Exec(u"held = nil");
    scripts.CollectGarbage();
    EXPECT_EQ(sHoldersAlive, 1);
    scripts.ReleaseObject(sHeld);
    scripts.CollectGarbage();
    EXPECT_EQ(sHoldersAlive, 0);
}

TEST_F(ScriptBindingTest, ObjectStoredAsAValueWhileItsTableIsFoundDeadGetsANewOne) {
    sHoldersAlive = 0;
    Holder* first = new Holder(true);
    Holder* second = new Holder(true);
    ASSERT_EQ(scripts.BindObject(u"Widget", first, false), first);
    ASSERT_EQ(scripts.BindObject(u"Widget", second, false), second);
    first->partner = second;
    second->partner = first;
    GiveToScripts(first, "a");
    GiveToScripts(second, "b");
    Exec(u"a = nil b = nil");
    scripts.CollectGarbage();
    scripts.CollectGarbage();
    ASSERT_EQ(sHoldersAlive, 1);
    // An object, not a bare pointer, and one the script's reference keeps alive.
    EXPECT_EQ(Run(u"return type(kept) .. ' ' .. kept:add(1, 1)"), u"table 5");
    Exec(u"kept = nil");
    scripts.CollectGarbage();
    EXPECT_EQ(sHoldersAlive, 0);
}

TEST_F(ScriptBindingTest, MethodsRefuseObjectsOfAnotherClassAsSelf) {
    ASSERT_TRUE(scripts.BeginClass(u"Gadget", &NewGadget));
    RegisterMethod(scripts, u"add", &Add);
    scripts.EndClass();
    Exec(u"w = Widget.new() g = Gadget.new()");
    struct Case {
        const char16_t* call;
        const char16_t* expected;  // result, or the error message's end
    } cases[] = {
        {u"w:add(1, 2)", u"6"},
        {u"g:add(1, 2)", u"53"},
        {u"w.add({}, 1, 2)", u"-1"},  // not an object: no self
        {u"w:rawSize()", u"3"},
        {u"w.add(g, 1, 2)", u"expected an object of class Widget"},
        {u"g.add(w, 1, 2)", u"expected an object of class Gadget"},
        {u"(function() g.borrowed = w.add return g:borrowed(1, 2) end)()", u"expected an object of class Widget"},
        {u"w.rawSize(g)", u"expected an object of class Widget"},
    };
    for (const Case& c : cases) {
        std::u16string result =
            Run(Format(u"local ok, result = pcall(function() return %ls end) return tostring(result)", c.call));
        std::u16string expected = c.expected;
        ASSERT_GE(result.size(), expected.size()) << Narrow(c.call) << " -> " << Narrow(result);
        EXPECT_EQ(result.substr(result.size() - expected.size()), expected) << Narrow(c.call) << " -> " << Narrow(result);
    }
    // GetArgObject takes objects of any class.
    EXPECT_EQ(Run(u"return tostring(isWidget(g))"), u"true");
}

TEST_F(ScriptBindingTest, AccessorsRefuseObjectsOfAnotherClassAsSelf) {
    ASSERT_TRUE(scripts.BeginClass(u"Gadget", &NewGadget));
    RegisterMethod(scripts, u"add", &Add);
    scripts.EndClass();
    Widget* loose = new Widget();
    ASSERT_EQ(scripts.BindObject(u"Loose", loose, false), loose);
    GiveToScripts(loose, "l");
    // A script holding an object metatable can call its accessors with any table.
    Exec(u"w = Widget.new() g = Gadget.new() widgetMeta = debug.getmetatable(w) looseMeta = debug.getmetatable(l)");
    struct Case {
        const char16_t* call;
        const char16_t* expected;  // result, or the error message's end
    } cases[] = {
        {u"widgetMeta.__index(w, 'size')", u"3"},
        {u"widgetMeta.__index({}, 'size')", u"-1"},  // not an object: no self
        {u"widgetMeta.__index(g, 'size')", u"expected an object of class Widget"},
        {u"widgetMeta.__index(g, 'label')", u"expected an object of class Widget"},
        {u"looseMeta.__index(l, 'free')", u"any:free"},
        {u"looseMeta.__index(w, 'free')", u"expected an object of class Loose"},
        {u"widgetMeta.__newindex(g, 'size', 9)", u"expected an object of class Widget"},
        {u"looseMeta.__newindex(w, 'xfield', 1)", u"expected an object of class Loose"},
    };
    for (const Case& c : cases) {
        std::u16string result =
            Run(Format(u"local ok, result = pcall(function() return %ls end) return tostring(result)", c.call));
        std::u16string expected = c.expected;
        ASSERT_GE(result.size(), expected.size()) << Narrow(c.call) << " -> " << Narrow(result);
        EXPECT_EQ(result.substr(result.size() - expected.size()), expected) << Narrow(c.call) << " -> " << Narrow(result);
    }
    EXPECT_EQ(Run(u"return tostring(g:add(0, 0))"), u"50");
}

TEST_F(ScriptBindingTest, ClassTablesKeepTheFieldsLaterObjectsCopy) {
    Exec(u"Widget.__metatable = nil Widget.__index = nil Widget.__newindex = rawset "
         u"Widget.__tostring = function() return 'forged' end Widget.extra = function() return 'added' end");
    struct Case {
        const char16_t* expression;
        const char16_t* expected;
    } cases[] = {
        {u"getmetatable(Widget.new()) == Widget", u"true"},
        {u"Widget.new().size", u"3"},
        {u"(function() local w = Widget.new() w.size = 8 return w.size end)()", u"8"},
        {u"tostring(Widget.new()):sub(1, 9)", u"table: 0x"},
        {u"rawget(Widget, '__metatable')", u"nil"},
        {u"Widget.new():extra()", u"added"},  // other names still add instance functions
    };
    for (const Case& c : cases)
        EXPECT_EQ(Run(Format(u"return tostring(%ls)", c.expression)), c.expected) << Narrow(c.expression);
    // Logged for the first refused write only.
    EXPECT_NE(log.trace.find(u"[LS] Class Widget keeps its field __metatable"), std::u16string::npos) << Narrow(log.trace);
    EXPECT_EQ(log.trace.find(u"keeps its field __index"), std::u16string::npos) << Narrow(log.trace);
}

TEST_F(ScriptBindingTest, ObjectWritesRefuseValuesThatAreNotObjectsOfTheClass) {
    Widget* proxied = Bound(true);
    GiveToScripts(proxied, "p");
    Widget* loose = new Widget();
    ASSERT_EQ(scripts.BindObject(u"Loose", loose, false), loose);
    GiveToScripts(loose, "l");
    Exec(u"w = Widget.new() widgetMeta = debug.getmetatable(w) proxyMeta = debug.getmetatable(p) "
         u"looseMeta = debug.getmetatable(l)");
    struct Case {
        const char16_t* call;
        const char16_t* expected;  // result, or the error message's end
    } cases[] = {
        {u"widgetMeta.__newindex(5, 'nosuch', 1)", u"number value: expected an object of class Widget"},
        {u"widgetMeta.__newindex('text', 'nosuch', 1)", u"string value: expected an object of class Widget"},
        {u"widgetMeta.__newindex(nil, 'nosuch', 1)", u"nil value: expected an object of class Widget"},
        {u"widgetMeta.__newindex({}, 'nosuch', 1)", u"table value: expected an object of class Widget"},
        {u"widgetMeta.__newindex({}, 'size', 1)", u"table value: expected an object of class Widget"},
        {u"proxyMeta.__newindex(5, 'nosuch', 1)", u"number value: expected an object of class Widget"},
        {u"widgetMeta.__newindex(l, 'nosuch', 1)", u"expected an object of class Widget"},
        {u"proxyMeta.__newindex(l, 'nosuch', 1)", u"expected an object of class Widget"},
        {u"looseMeta.__newindex(w, 'nosuch', 1)", u"expected an object of class Loose"},
        {u"widgetMeta.__newindex(w, 'nosuch', 7) or rawget(w, 'nosuch')", u"7"},
        {u"proxyMeta.__newindex(p, 'size', 9) or p.size", u"9"},
    };
    for (const Case& c : cases) {
        std::u16string result =
            Run(Format(u"local ok, result = pcall(function() return %ls end) return tostring(result)", c.call));
        std::u16string expected = c.expected;
        ASSERT_GE(result.size(), expected.size()) << Narrow(c.call) << " -> " << Narrow(result);
        EXPECT_EQ(result.substr(result.size() - expected.size()), expected) << Narrow(c.call) << " -> " << Narrow(result);
    }
    // A refused write leaves the other class's object as it was.
    EXPECT_EQ(Run(u"return tostring(rawget(l, 'nosuch')) .. ' ' .. tostring(rawget(w, 'size'))"), u"nil nil");
}

TEST_F(ScriptBindingTest, ClassTableMetamethodsRefuseOtherValuesAndStayHidden) {
    Exec(u"classMeta = debug.getmetatable(Widget)");
    struct Case {
        const char16_t* call;
        const char16_t* expected;  // result, or the error message's end
    } cases[] = {
        {u"classMeta.__newindex(5, 'x', 1)", u"number value: expected a class table"},
        {u"classMeta.__newindex('text', 'x', 1)", u"string value: expected a class table"},
        {u"classMeta.__newindex(nil, 'x', 1)", u"nil value: expected a class table"},
        {u"classMeta.__newindex(print, 'x', 1)", u"function value: expected a class table"},
        {u"classMeta.__index(5, 'x')", u"number value: expected a class table"},
        {u"classMeta.__index(true, 'x')", u"boolean value: expected a class table"},
        {u"getmetatable(Widget)", u"false"},
        {u"setmetatable(Widget, nil)", u"cannot change a protected metatable"},
        {u"Widget.version", u"4"},
        {u"(function() Widget.fresh = function() return 'fresh' end return Widget.new():fresh() end)()", u"fresh"},
    };
    for (const Case& c : cases) {
        std::u16string result =
            Run(Format(u"local ok, result = pcall(function() return %ls end) return tostring(result)", c.call));
        std::u16string expected = c.expected;
        ASSERT_GE(result.size(), expected.size()) << Narrow(c.call) << " -> " << Narrow(result);
        EXPECT_EQ(result.substr(result.size() - expected.size()), expected) << Narrow(c.call) << " -> " << Narrow(result);
    }
}

TEST_F(ScriptBindingTest, ReplacedRegistryEntriesFailOperationsWithoutReachingTheHost) {
    const char16_t* replacements[] = {u"false", u"0", u"'text'", u"print"};
    for (const char16_t* replacement : replacements) {
        Widget* given = Bound();
        GiveToScripts(given);
        Exec(u"w = Widget.new()");
        Exec(Format(u"saved = {} local registry = debug.getregistry() for k, v in pairs(registry) do "
                    u"if type(k) == 'number' and type(v) == 'table' then saved[k] = v registry[k] = %ls end end",
                    replacement));
        log.Clear();
        Widget* fresh = new Widget();
        EXPECT_EQ(scripts.BindObject(u"Widget", fresh, false), nullptr) << Narrow(replacement);
        delete fresh;
        EXPECT_NE(log.trace.find(u"[LS] Binding an object failed: the host's registry entry was replaced"),
                  std::u16string::npos)
            << Narrow(log.trace);
        EXPECT_FALSE(scripts.BeginClass(u"Later", nullptr)) << Narrow(replacement);
        scripts.PushObject(given);
        EXPECT_TRUE(lua_isnil(scripts.GetState(), -1)) << Narrow(replacement);
        lua_pop(scripts.GetState(), 1);
        for (const char16_t* access : {u"Widget.fresh = 1", u"return Widget.missing"}) {
            std::u16string result =
                Run(Format(u"local ok, e = pcall(function() %ls end) return tostring(ok) .. ' ' .. tostring(e)", access));
            EXPECT_EQ(result.substr(0, 6), u"false ") << Narrow(access) << " -> " << Narrow(result);
            EXPECT_NE(result.find(u"the host's registry entry was replaced"), std::u16string::npos)
                << Narrow(access) << " -> " << Narrow(result);
        }
        // Objects deleted natively, and tables collected, while the entries are gone.
        delete given;
        Exec(u"w = nil g = nil");
        scripts.CollectGarbage();
        Exec(u"local registry = debug.getregistry() for k, v in pairs(saved) do registry[k] = v end saved = nil");
        EXPECT_EQ(Run(u"return tostring(Widget.new():add(1, 2))"), u"6") << Narrow(replacement);
    }
}
