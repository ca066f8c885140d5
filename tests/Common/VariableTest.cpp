#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Common/Variable.h"
#include "Support/LogCapture.h"

using namespace Volux;

namespace {

std::u16string Str(WStringPtr text) { return std::u16string(text.Text()); }

// An array of two dictionaries, each with "name" (text) and "size" (32-bit), the way a
// configuration table with two entries is typed.
struct TwoEntries {
    TwoEntries() : list(u"list", _ARRAY_FLAG | _KIND_DICT) {
        list.CreatePath(u"name", _KIND_TEXT);
        list.CreatePath(u"size", _KIND_INT32);
        list.Resize(2);
        list.Find(u"[0].name").SetText(u"first");
        list.Find(u"[1].name").SetText(u"second");
        list.Find(u"[1].size").SetInt32(7);
    }
    Variable list;
};

struct ObserverLog {
    static std::vector<std::pair<const Variable*, int>>& Events() {
        static std::vector<std::pair<const Variable*, int>> events;
        return events;
    }
    static void Observe(Variable* variable, int event) { Events().emplace_back(variable, event); }
};

} // namespace

TEST(Variable, ConstructionGivesArraysCounterAndDictionaryArraysTemplate) {
    Variable scalar(u"n", _KIND_INT32);
    EXPECT_EQ(Str(scalar.name), u"n");
    EXPECT_EQ(scalar.counter, nullptr);
    EXPECT_EQ(scalar.mTemplate, nullptr);
    EXPECT_EQ(scalar.AsInt64(), 0);

    Variable ints(u"ints", _ARRAY_FLAG | _KIND_INT32);
    ASSERT_NE(ints.counter, nullptr);
    EXPECT_EQ(Str(ints.counter->name), u"#");
    EXPECT_EQ(ints.counter->type, _dword(_KIND_UINT32));
    EXPECT_EQ(ints.mTemplate, nullptr);

    Variable dicts(u"dicts", _ARRAY_FLAG | _KIND_DICT);
    ASSERT_NE(dicts.mTemplate, nullptr);
    EXPECT_EQ(dicts.mTemplate->type, _dword(_KIND_DICT));
    EXPECT_TRUE(dicts.mTemplate->name.IsEmpty());
}

TEST(Variable, GettersFollowTheKind) {
    struct Case {
        const char* what;
        std::function<void(Variable&)> set;
        int32_t asInt32;
        int64_t asInt64;
        uint64_t asUInt64;
        double asDouble;
    };
    const uint64_t big = (uint64_t(1) << 32) + 5;
    int object = 0;
    const std::vector<Case> cases = {
        {"int64 2^32+5 reads its low half as double", [&](Variable& v) { v.SetInt64(int64_t(big)); }, 5, int64_t(big), big, 5.0},
        {"int8 -1 keeps its sign", [](Variable& v) { v.SetInt8(-1); }, -1, -1, ~uint64_t(0), -1.0},
        {"uint8 255", [](Variable& v) { v.SetUInt8(255); }, 255, 255, 255, 255.0},
        {"uint32 max reads as -1 in 32 bits", [](Variable& v) { v.SetUInt32(0xFFFFFFFFu); }, -1, 0xFFFFFFFFll, 0xFFFFFFFFull, -1.0},
        {"bool", [](Variable& v) { v.SetBool(true); }, 1, 1, 1, 1.0},
        {"char16", [](Variable& v) { v.SetChar16(u'A'); }, 65, 65, 65, 65.0},
        {"double truncates", [](Variable& v) { v.SetDouble(-2.75); }, -2, -2, 0xFFFFFFFEull, -2.75},
        {"float", [](Variable& v) { v.SetFloat(3.5f); }, 3, 3, 3, 3.5},
        {"double past 32 bits keeps the low half unsigned", [](Variable& v) { v.SetDouble(6e9); }, INT32_MAX, INT32_MAX,
         uint64_t(6000000000ll) & 0xFFFFFFFFu, 6e9},
        {"text", [](Variable& v) { v.SetText(u"12"); }, 0, 0, 0, 0.0},
        {"object", [&](Variable& v) { v.SetPointer(&object); }, 0, 0, 0, 0.0},
        {"dictionary", [](Variable& v) { v.type = _KIND_DICT; }, 0, 0, 0, 0.0},
        {"none", [](Variable&) {}, 0, 0, 0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Variable v(u"v");
        c.set(v);
        EXPECT_EQ(v.AsInt32(), c.asInt32);
        EXPECT_EQ(v.AsInt64(), c.asInt64);
        EXPECT_EQ(v.AsUInt64(), c.asUInt64);
        EXPECT_DOUBLE_EQ(v.AsDouble(), c.asDouble);
    }
}

TEST(Variable, SetNumberConvertsToThePresentKind) {
    Variable byte(u"b", _KIND_UINT8);
    EXPECT_TRUE(byte.SetNumber(300.9));
    EXPECT_EQ(byte.type, _dword(_KIND_UINT8));
    EXPECT_EQ(byte.AsInt32(), 44);  // 300 truncated to 8 bits
    Variable none(u"n");
    EXPECT_TRUE(none.SetNumber(1.25));
    EXPECT_EQ(none.type, _dword(_KIND_DOUBLE));
    Variable huge(u"h", _KIND_INT32);
    EXPECT_TRUE(huge.SetNumber(1e300));  // saturates instead of undefined conversion
    Variable text(u"t", _KIND_TEXT);
    EXPECT_FALSE(text.SetNumber(1.0));
}

TEST(Variable, TextAndBytesOwnTheirStorage) {
    VoluxTest::LogCapture log;
    Variable text(u"t", _KIND_TEXT);
    EXPECT_TRUE(text.SetText(u"hello"));
    EXPECT_EQ(Str(text.AsText()), u"hello");
    EXPECT_TRUE(text.SetText(u""));
    EXPECT_EQ(text.value.text, nullptr);
    EXPECT_EQ(Str(text.AsText()), u"");

    Variable bytes(u"b");
    const _byte data[3] = {1, 2, 3};
    EXPECT_TRUE(bytes.SetBytes(data, 3));
    EXPECT_EQ(bytes.type, _dword(_KIND_BYTES));
    ASSERT_EQ(bytes.BytesLength(), 3u);
    EXPECT_NE(bytes.AsBytes(), data);
    EXPECT_EQ(memcmp(bytes.AsBytes(), data, 3), 0);
    EXPECT_TRUE(bytes.SetBytes(data, 0));
    EXPECT_EQ(bytes.AsBytes(), nullptr);

    Variable number(u"n", _KIND_INT32);
    EXPECT_FALSE(number.SetText(u"x"));
    EXPECT_FALSE(number.SetBytes(data, 3));
    EXPECT_EQ(number.type, _dword(_KIND_INT32));
    EXPECT_NE(log.error.find(u"Assertion Failed : type == _KIND_TEXT"), std::u16string::npos);
}

TEST(Variable, CopyIsDeep) {
    TwoEntries fixture;
    Variable source(u"root", _KIND_DICT);
    source.AddChild(u"title", _KIND_TEXT).SetText(u"game");
    const _byte data[2] = {9, 8};
    source.AddChild(u"blob", _KIND_BYTES).SetBytes(data, 2);
    source.AddChild(u"list", 0) = fixture.list;
    source.key = 3.0;
    source.hasKey = true;

    Variable copy(source);
    EXPECT_EQ(copy.key, 3.0);
    EXPECT_TRUE(copy.hasKey);
    EXPECT_NE(copy.Find(u"title").value.text, source.Find(u"title").value.text);
    EXPECT_NE(copy.Find(u"blob").AsBytes(), source.Find(u"blob").AsBytes());
    Variable& list = copy.Find(u"list");
    EXPECT_EQ(list.type, _dword(_ARRAY_FLAG | _KIND_DICT));
    ASSERT_NE(list.counter, nullptr);
    EXPECT_NE(list.counter, fixture.list.counter);
    EXPECT_NE(list.mTemplate, fixture.list.mTemplate);
    EXPECT_EQ(Str(copy.Find(u"list[1].name").AsText()), u"second");

    copy.Find(u"list[1].name").SetText(u"changed");
    copy.Clear();
    EXPECT_EQ(copy.type, _dword(_KIND_NONE));
    EXPECT_TRUE(copy.name.IsEmpty());
    EXPECT_EQ(copy.ChildCount(), 0);
    EXPECT_EQ(Str(source.Find(u"title").AsText()), u"game");
    EXPECT_EQ(Str(source.Find(u"list[1].name").AsText()), u"second");
    EXPECT_EQ(source.Find(u"blob").AsBytes()[1], 8);

    // Assignment replaces what was there.
    Variable target(u"old", _KIND_TEXT);
    target.SetText(u"gone");
    target = source;
    EXPECT_EQ(Str(target.name), u"root");
    EXPECT_EQ(target.ChildCount(), 3);
    target = target;  // self-assignment keeps everything
    EXPECT_EQ(Str(target.Find(u"title").AsText()), u"game");
}

TEST(Variable, ObserverIsToldOfReadsAndClears) {
    std::vector<std::pair<const Variable*, int>>& events = ObserverLog::Events();
    events.clear();
    {
        Variable watched(u"w", _KIND_INT32);
        watched.observer = &ObserverLog::Observe;
        Variable copy(watched);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0], std::make_pair(static_cast<const Variable*>(&watched), 0));
        EXPECT_EQ(copy.observer, &ObserverLog::Observe);  // carried over

        copy.Clear();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[1], std::make_pair(static_cast<const Variable*>(&copy), 1));
        copy.Clear();  // forgotten after the first clear
        EXPECT_EQ(events.size(), 2u);
    }
    // watched was destroyed at the end of the scope.
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].second, 1);
}

TEST(Variable, FindFollowsPaths) {
    TwoEntries fixture;
    Variable root(u"", _KIND_DICT);
    root.AddChild(u"list", 0) = fixture.list;
    Variable& window = root.AddChild(u"window", _KIND_DICT);
    window.AddChild(u"width", _KIND_INT32).SetInt32(640);
    window.AddChild(u"Width", _KIND_INT32).SetInt32(1);

    EXPECT_EQ(&root.Find(u""), &root);
    EXPECT_EQ(&root.Find(nullptr), &root);
    EXPECT_EQ(root.Find(u"window.width").AsInt32(), 640);
    EXPECT_EQ(root.Find(u"window.Width").AsInt32(), 1);  // case-sensitive
    EXPECT_EQ(Str(root.Find(u"list[1].name").AsText()), u"second");
    EXPECT_EQ(Str(root.Find(u"list.[0].name").AsText()), u"first");
    EXPECT_EQ(Str(root.Find(u"list[1].name").name), u"name");
    EXPECT_EQ(root.Find(u"list[1].size").AsInt32(), 7);
    EXPECT_EQ(root.Find(u"list#").AsInt32(), 2);
    EXPECT_EQ(root.Find(u"list.#").AsInt32(), 2);
    // A field name on the array itself is the template's field.
    EXPECT_EQ(&root.Find(u"list.name"), root.Find(u"list").mTemplate->FindChild(u"name"));

    const Variable& constRoot = root;
    EXPECT_EQ(constRoot.Find(u"window.width").AsInt32(), 640);
}

TEST(Variable, FindMissesYieldTheSharedEmptyVariable) {
    TwoEntries fixture;
    const char16_t* misses[] = {
        u"[2].name", u"[2]", u"missing", u"[0].missing", u"[-1]", u"[99999999999999999999]",
        u"[4294967297]",  // would wrap to 1 in 32 bits
        u"[18446744073709551617]", u"[2147483648]", u"[]", u"[1x]", u"[", u"[1", u"1", u"[0]name.x",
    };
    for (const char16_t* path : misses) {
        SCOPED_TRACE(VoluxTest::Narrow(path));
        const Variable& found = fixture.list.Find(path);
        EXPECT_TRUE(found.IsShared());
        EXPECT_EQ(found.type, _dword(_KIND_NONE));
    }
    EXPECT_EQ(Str(fixture.list.Find(u"[01].name").AsText()), u"second");
}

TEST(Variable, SharedEmptyVariableRefusesChanges) {
    VoluxTest::LogCapture log;
    TwoEntries fixture;
    Variable& missing = fixture.list.Find(u"nothing");
    EXPECT_FALSE(missing.SetInt32(5));
    EXPECT_FALSE(missing.SetText(u"x"));
    EXPECT_TRUE(missing.AddChild(u"c", _KIND_INT32).IsShared());
    EXPECT_TRUE(missing.CreatePath(u"a.b", _KIND_INT32).IsShared());
    missing = fixture.list;
    EXPECT_EQ(Variable::Empty().type, _dword(_KIND_NONE));
    EXPECT_EQ(Variable::Empty().ChildCount(), 0);
    EXPECT_EQ(Variable::Empty().AsInt64(), 0);
    EXPECT_NE(log.error.find(u"Assertion Failed : this != &Empty()"), std::u16string::npos);
}

TEST(Variable, ResizeAppendsNamedElementsAndKeepsTheCounter) {
    VoluxTest::LogCapture log;
    Variable ints(u"ints", _ARRAY_FLAG | _KIND_INT16);
    EXPECT_FALSE(ints.Resize(0));
    EXPECT_FALSE(ints.Resize(-1));
    EXPECT_EQ(ints.ChildCount(), 0);
    EXPECT_TRUE(ints.Resize(2));
    EXPECT_TRUE(ints.Resize(1));
    ASSERT_EQ(ints.ChildCount(), 3);
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(Str(ints.Child(i).name), std::u16string(u"[") + char16_t(u'0' + i) + u"]");
        EXPECT_EQ(ints.Child(i).type, _dword(_KIND_INT16));
    }
    EXPECT_EQ(ints.Find(u"#").AsInt32(), 3);
    EXPECT_EQ(&ints.Find(u"#"), ints.counter);

    // A counter retyped to 32-bit signed still follows; any other kind is left alone.
    ints.counter->type = _KIND_INT32;
    ints.Resize(1);
    EXPECT_EQ(ints.Find(u"#").AsInt32(), 4);
    ints.counter->SetDouble(0.0);
    ints.Resize(1);
    EXPECT_EQ(ints.Find(u"#").AsDouble(), 0.0);

    // Elements of a dictionary array copy the template.
    TwoEntries fixture;
    fixture.list.mTemplate->FindChild(u"size")->SetInt32(42);
    fixture.list.Resize(1);
    EXPECT_EQ(fixture.list.Find(u"[2].size").AsInt32(), 42);
    EXPECT_EQ(Str(fixture.list.Child(2).name), u"[2]");

    Variable scalar(u"s", _KIND_INT32);
    EXPECT_FALSE(scalar.Resize(3));
    EXPECT_FALSE(ints.Resize(0x7FFFFFFF));  // refused before allocating
    EXPECT_EQ(ints.ChildCount(), 5);
}

TEST(Variable, ChildWithInvalidIndexIsReported) {
    VoluxTest::LogCapture log;
    TwoEntries fixture;
    EXPECT_EQ(Str(fixture.list.Child(1).name), u"[1]");
    EXPECT_TRUE(fixture.list.Child(2).IsShared());
    EXPECT_TRUE(fixture.list.Child(-1).IsShared());
    EXPECT_NE(log.error.find(u"Assertion Failed : IsIndexValid( index )\r\nCommon/Variable:"), std::u16string::npos);
}

TEST(Variable, CreatePathFindsOrCreates) {
    Variable root;
    Variable& width = root.CreatePath(u"window.size.width", _KIND_INT32);
    ASSERT_FALSE(width.IsShared());
    EXPECT_EQ(width.type, _dword(_KIND_INT32));
    EXPECT_EQ(root.type, _dword(_KIND_DICT));
    EXPECT_EQ(root.Find(u"window.size").type, _dword(_KIND_DICT));
    width.SetInt32(800);
    // Found again, not duplicated, whatever type is asked for.
    EXPECT_EQ(&root.CreatePath(u"window.size.width", _KIND_TEXT), &width);
    EXPECT_EQ(root.Find(u"window").ChildCount(), 1);

    // Below an array of dictionaries the template and the existing elements get the field.
    Variable& list = root.CreatePath(u"buttons", _ARRAY_FLAG | _KIND_DICT);
    list.Resize(2);
    Variable& field = root.CreatePath(u"buttons.caption", _KIND_TEXT);
    EXPECT_EQ(&field, list.mTemplate->FindChild(u"caption"));
    EXPECT_EQ(root.Find(u"buttons[0].caption").type, _dword(_KIND_TEXT));
    EXPECT_EQ(root.Find(u"buttons[1].caption").type, _dword(_KIND_TEXT));
    list.Resize(1);
    EXPECT_EQ(root.Find(u"buttons[2].caption").type, _dword(_KIND_TEXT));
    EXPECT_EQ(&root.CreatePath(u"buttons[1].caption", _KIND_TEXT), &root.Find(u"buttons[1].caption"));
    EXPECT_EQ(&root.CreatePath(u"buttons#", _KIND_INT32), list.counter);
}

TEST(Variable, CreatePathBelowArrayWithoutTemplateCreatesNothing) {
    VoluxTest::LogCapture log;
    Variable root;
    Variable& ints = root.CreatePath(u"ints", _ARRAY_FLAG | _KIND_INT32);
    ints.Resize(1);
    EXPECT_TRUE(root.CreatePath(u"ints.field", _KIND_INT32).IsShared());
    EXPECT_NE(log.error.find(u"Assertion Failed : subvar.mTemplate != _null"), std::u16string::npos);
    EXPECT_EQ(ints.ChildCount(), 1);
    EXPECT_EQ(ints.Child(0).ChildCount(), 0);
    // An element index past the end creates nothing either.
    EXPECT_TRUE(root.CreatePath(u"ints[5]", _KIND_INT32).IsShared());
    EXPECT_EQ(ints.ChildCount(), 1);
    // A scalar cannot take children.
    root.CreatePath(u"n", _KIND_INT32);
    EXPECT_TRUE(root.CreatePath(u"n.x", _KIND_INT32).IsShared());
}

TEST(Variable, MovingKeepsTheTreeAndTellsNoObserver) {
    std::vector<std::pair<const Variable*, int>>& events = ObserverLog::Events();
    events.clear();
    // An array of values relocates its elements as it grows past 16.
    Array<Variable> values;
    for (int i = 0; i < 20; i++) {
        Variable& added = values.Append(Variable(u"v", _KIND_TEXT));
        added.SetText(u"text");
        added.AddChild(u"c", _KIND_INT32).SetInt32(i);
        added.observer = &ObserverLog::Observe;
    }
    EXPECT_TRUE(events.empty());
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(Str(values[_dword(i)].AsText()), u"text");
        EXPECT_EQ(values[_dword(i)].Find(u"c").AsInt32(), i);
    }
    Variable taken(std::move(values[0]));
    EXPECT_EQ(values[0].type, _dword(_KIND_NONE));
    EXPECT_EQ(values[0].ChildCount(), 0);
    EXPECT_EQ(taken.Find(u"c").AsInt32(), 0);
    EXPECT_TRUE(events.empty());
    values.Clear();
    EXPECT_EQ(events.size(), 19u);  // each remaining value told once of its destruction
    events.clear();
}

namespace {
// Stands in for the script host: references are numbers, duplicates count upwards, and
// each is released with the owner it was issued by, recorded as reference * 10 + owner.
struct FakeReferences {
    static std::vector<int32_t>& Released() {
        static std::vector<int32_t> released;
        return released;
    }
    static int32_t& Next() {
        static int32_t next = 100;
        return next;
    }
    static int32_t Duplicate(int32_t, uint32_t owner) { return owner == 0 ? 0 : Next()++; }
    static void Release(int32_t reference, uint32_t owner) { Released().push_back(reference * 10 + int32_t(owner)); }
};
} // namespace

TEST(Variable, OwnedFunctionReferencesAreDuplicatedAndReleasedOnce) {
    const VariableFunctionHooks hooks = {&FakeReferences::Duplicate, &FakeReferences::Release};
    Variable::SetFunctionHooks(&hooks);
    std::vector<int32_t>& released = FakeReferences::Released();
    released.clear();
    FakeReferences::Next() = 100;
    {
        Variable tree(u"tree", _KIND_DICT);
        tree.AddChild(u"onClick", _KIND_NONE).AdoptFunction(7, 3);
        tree.AddChild(u"borrowed", _KIND_NONE).SetFunction(8);  // the caller keeps this one
        Variable copy(tree);
        EXPECT_EQ(copy.Find(u"onClick").AsFunction(), 100);
        EXPECT_TRUE(copy.Find(u"onClick").OwnsFunction());
        EXPECT_EQ(copy.Find(u"onClick").functionOwner, 3u);
        EXPECT_EQ(copy.Find(u"borrowed").AsFunction(), 8);
        EXPECT_FALSE(copy.Find(u"borrowed").OwnsFunction());
        Variable moved(static_cast<Variable&&>(copy));
        EXPECT_TRUE(released.empty());
        moved.Find(u"onClick").SetInt32(1);  // overwriting gives the reference back
        EXPECT_EQ(released, std::vector<int32_t>({1003}));

        Variable taken;
        taken.AdoptFunction(9, 3);
        EXPECT_EQ(taken.TakeFunction(), 9);
        EXPECT_FALSE(taken.OwnsFunction());
        EXPECT_EQ(taken.AsFunction(), 9);
    }
    EXPECT_EQ(released, std::vector<int32_t>({1003, 73}));
    // Without hooks an owned reference is only forgotten, and a copy owns nothing.
    Variable::SetFunctionHooks(nullptr);
    Variable alone;
    alone.AdoptFunction(5, 3);
    Variable copy(alone);
    EXPECT_FALSE(copy.OwnsFunction());
    alone.Clear();
    EXPECT_EQ(released.size(), 2u);
}

TEST(Variable, AssignedFromItsOwnDescendant) {
    // root {a {b {leaf = "deep"}, n = 7}}
    auto build = [](Variable& root) {
        root = Variable(u"root", _KIND_DICT);
        root.CreatePath(u"a.b.leaf", _KIND_TEXT).SetText(u"deep");
        root.CreatePath(u"a.n", _KIND_INT32).SetInt32(7);
    };
    struct Case {
        const char* label;
        std::function<void(Variable&)> assign;
        const char16_t* name;
        const char16_t* leafPath;  // where "deep" is afterwards
    } cases[] = {
        {"copy of a child", [](Variable& root) { root = root.Child(0); }, u"a", u"b.leaf"},
        {"copy of a grandchild", [](Variable& root) { root = root.Child(0).Child(0); }, u"b", u"leaf"},
        {"move of a child", [](Variable& root) { root = std::move(root.Child(0)); }, u"a", u"b.leaf"},
        {"move of a grandchild", [](Variable& root) { root = std::move(root.Find(u"a.b")); }, u"b", u"leaf"},
    };
    for (const Case& c : cases) {
        Variable root;
        build(root);
        c.assign(root);
        EXPECT_EQ(Str(root.name), c.name) << c.label;
        EXPECT_EQ(Str(root.Find(c.leafPath).AsText()), u"deep") << c.label;
    }
    // An element of an array of dictionaries, its fields made from the template.
    TwoEntries entries;
    entries.list = entries.list.Child(1);
    EXPECT_TRUE(entries.list.IsDictionary());
    EXPECT_EQ(Str(entries.list.Find(u"name").AsText()), u"second");
    EXPECT_EQ(entries.list.Find(u"size").AsInt32(), 7);
}
