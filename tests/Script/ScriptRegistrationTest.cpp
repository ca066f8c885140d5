// Field descriptors, the constructor helper and the optional-text rule, through scripts.
#include <gtest/gtest.h>

#include <string>

#include "Script/LuaScriptManager.h"
#include "Script/ScriptRegistration.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::Narrow;

namespace {

struct Settings {
    int32_t size = 7;
    uint32_t flags = 0x1;
    bool on = false;
    _byte kept = 0;
    WString name{u"first"};
    WString label{u"plain"};
    WString fixed{u"fixed"};
} sSettings;

int sMade = 0;

class Gadget : public ScriptObject {
public:
    static constexpr const char16_t* _SCRIPT_CLASS = u"Gadget";
    Gadget() { sMade++; }
};

// A getter and setter pair sharing a context: the setter doubles what it stores.
int GetDoubled(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    return scripts.ReturnInt32(*static_cast<int32_t*>(field.context));
}
void SetDoubled(IScriptManager& scripts, ScriptObject*, const ScriptField& field) {
    *static_cast<int32_t*>(field.context) = scripts.GetArgInt32(0) * 2;
}

class ScriptRegistrationTest : public testing::Test {
protected:
    void SetUp() override {
        sSettings = Settings();
        sMade = 0;
        ASSERT_TRUE(BeginScriptClass<Gadget>(scripts));
        ScriptField doubled;
        doubled.get = &GetDoubled;
        doubled.set = &SetDoubled;
        doubled.context = &sSettings.size;
        // Descriptors are temporaries here: the manager keeps its own copies.
        EXPECT_TRUE(RegisterField(scripts, u"doubled", doubled));
        EXPECT_TRUE(RegisterField(scripts, u"size", Int32Field(&sSettings.size)));
        EXPECT_TRUE(RegisterField(scripts, u"flags", UInt32Field(&sSettings.flags)));
        EXPECT_TRUE(RegisterField(scripts, u"on", BoolField(&sSettings.on)));
        EXPECT_TRUE(RegisterField(scripts, u"kept", ByteFlagField(&sSettings.kept)));
        EXPECT_TRUE(RegisterField(scripts, u"name", FilteredTextField(&sSettings.name)));
        EXPECT_TRUE(RegisterField(scripts, u"label", TextField(&sSettings.label)));
        EXPECT_TRUE(RegisterField(scripts, u"fixed", TextField(&sSettings.fixed, true)));
        EXPECT_TRUE(RegisterField(scripts, u"wide", FlagBitField(&sSettings.flags, 0x100, false)));
        EXPECT_TRUE(RegisterField(scripts, u"narrow", FlagBitField(&sSettings.flags, 0x80, true)));
        scripts.EndClass();
    }
    std::u16string Run(const char16_t* text) {
        Variable result;
        EXPECT_TRUE(scripts.RunString(result, text, u"fields.lua", _RUN_CONVERT)) << Narrow(scripts.GetLastError().Text());
        return std::u16string(result.AsText().Text());
    }

    LuaScriptManager scripts;
};

TEST_F(ScriptRegistrationTest, TypedFieldsReadAndWriteTheirValues) {
    struct Case {
        const char16_t* script;
        const char16_t* result;
    };
    // In order, on the same values.
    const Case cases[] = {
        {u"g = Gadget.new() return tostring(g.size)", u"7"},
        {u"g.size = 12.9 return tostring(g.size)", u"12"},
        {u"g.doubled = 5 return tostring(g.size) .. ',' .. tostring(g.doubled)", u"10,10"},
        {u"g.on = 1 g.kept = true return tostring(g.on) .. tostring(g.kept)", u"truetrue"},
        {u"g.kept = nil return tostring(g.kept)", u"false"},
        {u"g.name = '' g.name = nil g.name = 'nil' return g.name", u"first"},
        {u"g.name = 'second' return g.name", u"second"},
        {u"g.label = '' return '[' .. g.label .. ']'", u"[]"},
        {u"g.wide = true g.narrow = false return tostring(g.flags)", u"385"},
        {u"g.narrow = true return tostring(g.narrow) .. tostring(g.flags)", u"true257"},
        {u"g.flags = 4294967295 return tostring(g.flags)", u"4294967295"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(Narrow(row.script));
        EXPECT_EQ(Run(row.script), row.result);
    }
    EXPECT_EQ(sSettings.name, u"second");
    EXPECT_EQ(sMade, 1);
}

TEST_F(ScriptRegistrationTest, ReadOnlyFieldKeepsTheNativeValue) {
    Run(u"g = Gadget.new() g.fixed = 'changed'");
    EXPECT_EQ(sSettings.fixed, u"fixed");
}

TEST_F(ScriptRegistrationTest, FieldsWorkFromInsideACoroutine) {
    EXPECT_EQ(Run(u"g = Gadget.new() "
                  u"local co = coroutine.create(function() g.size = 3 coroutine.yield(g.size) g.name = 'co' "
                  u"return g.name end) "
                  u"local _, a = coroutine.resume(co) local _, b = coroutine.resume(co) "
                  u"return tostring(a) .. b"),
              u"3co");
    EXPECT_EQ(sSettings.size, 3);
}

TEST_F(ScriptRegistrationTest, ConstructorBindsANewObjectPerCall) {
    EXPECT_EQ(Run(u"local a, b = Gadget.new(), Gadget.new() return tostring(a ~= b)"), u"true");
    EXPECT_EQ(sMade, 2);
}

TEST(ScriptRegistration, GivenTextExcludesNothingEmptyAndNil) {
    struct Case {
        const char16_t* text;
        bool given;
    };
    const Case cases[] = {{nullptr, false}, {u"", false}, {u"nil", false}, {u"Nil", true}, {u"nil ", true}, {u"x", true}};
    for (const Case& row : cases)
        EXPECT_EQ(IsGivenText(row.text), row.given) << (row.text != nullptr ? Narrow(row.text) : "null");
}

TEST(ScriptRegistration, FieldWithoutGetterIsRefused) {
    LuaScriptManager scripts;
    VoluxTest::LogCapture log;
    ASSERT_TRUE(scripts.BeginClass(u"Bare", nullptr));
    EXPECT_FALSE(RegisterField(scripts, u"nothing", ScriptField()));
    scripts.EndClass();
    EXPECT_NE(log.error.find(u"[LS]"), std::u16string::npos);
}

} // namespace
