// "LUC1" config blocks: a saved tree reads back equal, and truncated or hostile blocks
// are refused without reading past the buffer or allocating for lying counts.
#include <gtest/gtest.h>

#include <lua.hpp>
#include <string>

#include "Common/EngineContext.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Script/ConfigBlock.h"
#include "Script/LuaScriptManager.h"
#include "Support/LogCapture.h"

using namespace Volux;
using VoluxTest::LogCapture;
using VoluxTest::Narrow;

namespace {

// The script side's box function for the tests: a plain copy of the host tree.
int Expand(lua_State* state) {
    LuaScriptManager* scripts = static_cast<LuaScriptManager*>(EngineContext::Get().scriptManager);
    const ConfigTree* tree = scripts->FindConfigTree(lua_touserdata(state, 1));
    if (tree == nullptr)
        return luaL_error(state, "not a config host");
    tree->PushTable(state);
    return 1;
}

const char16_t* const _PRELUDE =
    u"__luaconf = {box = expandConfig}\n"
    u"function deepEqual(a, b)\n"
    u"  if type(a) ~= 'table' or type(b) ~= 'table' then return a == b end\n"
    u"  for k, v in pairs(a) do if not deepEqual(v, b[k]) then return false end end\n"
    u"  for k in pairs(b) do if a[k] == nil then return false end end\n"
    u"  return true\n"
    u"end\n"
    u"original = {title = 'Game', size = {w = 800, h = 600}, list = {'a', 'b', 'a', 3.5, true},\n"
    u"  [7] = 'seven', nested = {{deep = {deeper = {'x'}}}}, flag = false, empty = {}}\n";

class ConfigBlockTest : public testing::Test {
protected:
    void SetUp() override {
        mPath = FileSystem::TemporaryName(FileSystem::TemporaryFolder(), u"vcb");
        ASSERT_FALSE(mPath.IsEmpty());
        Prepare(scripts);
    }
    void TearDown() override { FileSystem::DeleteFile(mPath); }

    void Prepare(LuaScriptManager& manager) {
        lua_register(manager.GetState(), "expandConfig", &Expand);
        Variable ignored;
        ASSERT_TRUE(manager.RunString(ignored, _PRELUDE, u"prelude.lua", _RUN_DISCARD))
            << Narrow(manager.GetLastError().Text());
    }
    // The block SaveConfig writes for the script global `global` under `name`.
    ByteBuffer& Saved(const char* global, const char16_t* name) {
        lua_State* state = scripts.GetState();
        lua_getglobal(state, global);
        ConfigTree* tree = ConfigTree::FromTable(state, -1);
        lua_pop(state, 1);
        EXPECT_NE(tree, nullptr);
        EXPECT_TRUE(scripts.SaveConfig(tree, name, mPath));
        delete tree;
        mBytes.Reset();
        EXPECT_TRUE(FileSystem::ReadFile(mPath, mBytes));
        return mBytes;
    }
    bool RunBytes(LuaScriptManager& manager, const std::string& bytes) {
        ByteBuffer buffer;
        buffer.Append(bytes.data(), _dword(bytes.size()));
        Variable ignored;
        return manager.RunBuffer(ignored, buffer, _RUN_DISCARD);
    }
    std::u16string Run(LuaScriptManager& manager, const char16_t* text) {
        Variable result;
        EXPECT_TRUE(manager.RunString(result, text, u"check.lua", _RUN_CONVERT)) << Narrow(manager.GetLastError().Text());
        return result.AsText().Text();
    }

    LogCapture log;
    LuaScriptManager scripts;
    WString mPath;
    ByteBuffer mBytes;
};

std::string U32(_dword v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; i++)
        s[size_t(i)] = char(v >> (8 * i));
    return s;
}

// Block pieces for hand-made blocks.
std::string Header(const std::string& name) { return "LUC1" + U32(_dword(name.size())) + name; }
std::string Strings(std::initializer_list<std::string> texts) {
    std::string s;
    for (const std::string& t : texts)
        s += U32(_dword(t.size())) + t;
    return s + U32(0xFFFFFFFF);
}
std::string NodeRecord(_dword arrayCount, _dword hashCount) {
    return U32(arrayCount) + U32(hashCount) + std::string(16, '\0');
}
std::string Element(char type, _dword low) { return std::string(1, type) + U32(low) + U32(0); }

} // namespace

TEST_F(ConfigBlockTest, SavedTreeReadsBackEqual) {
    ByteBuffer& saved = Saved("original", u"_G.cfg");
    std::string bytes(reinterpret_cast<const char*>(saved.data), saved.size);
    ASSERT_EQ(bytes.substr(0, 4), "LUC1");
    EXPECT_EQ(bytes.substr(4, 7), U32(3) + "cfg");  // "_G." is not part of the name

    LuaScriptManager reader;
    Prepare(reader);
    Variable ignored;
    ASSERT_TRUE(reader.RunFile(ignored, mPath, _RUN_DISCARD)) << Narrow(log.trace);
    EXPECT_TRUE(ignored.IsNone());
    EXPECT_EQ(Run(reader, u"return tostring(deepEqual(cfg, original))"), u"true");
    EXPECT_EQ(Run(reader, u"return type(cfg_host)"), u"userdata");
    ASSERT_EQ(reader.configTrees.Count(), 1u);

    // Writing the loaded tree again gives the same bytes: equal strings are stored once.
    WString again = mPath + u".again";
    ASSERT_TRUE(reader.SaveConfig(reader.configTrees[0], u"cfg", again));
    ByteBuffer second;
    ASSERT_TRUE(FileSystem::ReadFile(again, second));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(second.data), second.size), bytes);
    FileSystem::DeleteFile(again);
}

TEST_F(ConfigBlockTest, BlocksFollowEachOther) {
    ByteBuffer& first = Saved("original", u"one");
    std::string bytes(reinterpret_cast<const char*>(first.data), first.size);
    ByteBuffer& second = Saved("original", u"two");
    bytes += std::string(reinterpret_cast<const char*>(second.data), second.size);
    LuaScriptManager reader;
    Prepare(reader);
    ASSERT_TRUE(RunBytes(reader, bytes)) << Narrow(log.trace);
    EXPECT_EQ(Run(reader, u"return tostring(deepEqual(one, original) and deepEqual(two, original))"), u"true");
}

TEST_F(ConfigBlockTest, EveryTruncationIsRefused) {
    ByteBuffer& saved = Saved("original", u"cfg");
    std::string bytes(reinterpret_cast<const char*>(saved.data), saved.size);
    LuaScriptManager reader;
    Prepare(reader);
    for (size_t length = 4; length < bytes.size(); length++) {
        log.Clear();
        EXPECT_FALSE(RunBytes(reader, bytes.substr(0, length))) << length;
        EXPECT_NE(log.trace.find(u"[LS] Load config nodes failed"), std::u16string::npos) << length;
    }
    EXPECT_EQ(Run(reader, u"return type(cfg)"), u"nil");
    EXPECT_EQ(reader.configTrees.Count(), 0u);
}

TEST_F(ConfigBlockTest, HostileBlocksAreRefused) {
    std::string deep;
    for (int i = 0; i < 1000; i++)
        deep += NodeRecord(1, 0) + "\x04";
    deep += NodeRecord(0, 0);
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"huge array count", Header("c") + Strings({}) + NodeRecord(0xFFFFFFFF, 0)},
        {"huge hash count", Header("c") + Strings({}) + NodeRecord(0, 0x10000000)},
        {"counts sharing the same bytes", Header("c") + Strings({}) + NodeRecord(2, 0) + "\x04" + NodeRecord(2, 0)},
        {"huge string length", Header("c") + U32(0x7FFFFFFF) + "abc"},
        {"huge name length", "LUC1" + U32(0xFFFFFF00) + "c"},
        {"string number out of range", Header("c") + Strings({"a"}) + NodeRecord(1, 0) + Element(3, 2)},
        {"string number zero", Header("c") + Strings({"a"}) + NodeRecord(1, 0) + Element(3, 0)},
        {"unknown value type", Header("c") + Strings({}) + NodeRecord(1, 0) + Element(9, 0)},
        {"table as key", Header("c") + Strings({}) + NodeRecord(0, 1) + std::string(16, '\0') + "\x04" +
                             std::string(4, '\0') + "\x01" + std::string(2, '\0')},
        {"nesting too deep", Header("c") + Strings({}) + deep},
        {"name with code", Header("c=os") + Strings({}) + NodeRecord(0, 0)},
        {"name starting with a digit", Header("1c") + Strings({}) + NodeRecord(0, 0)},
        {"empty name", Header("") + Strings({}) + NodeRecord(0, 0)},
    };
    LuaScriptManager reader;
    Prepare(reader);
    for (const Case& c : cases) {
        log.Clear();
        EXPECT_FALSE(RunBytes(reader, c.bytes)) << c.name;
        EXPECT_NE(log.trace.find(u"[LS] Load config nodes failed"), std::u16string::npos) << c.name;
    }
    EXPECT_EQ(reader.configTrees.Count(), 0u);
    // A hand-made good block, to show the pieces above are well formed.
    std::string good = Header("c") + Strings({"v"}) + NodeRecord(2, 0) + Element(3, 1) + Element(2, 0);
    ASSERT_TRUE(RunBytes(reader, good)) << Narrow(log.trace);
    EXPECT_EQ(Run(reader, u"return c[1] .. tostring(c[2])"), u"v0");
}

TEST_F(ConfigBlockTest, SaveConfigFailuresAndOverwrite) {
    EXPECT_FALSE(scripts.SaveConfig(nullptr, u"cfg", mPath));
    EXPECT_NE(log.trace.find(u"[LS] Convert config needs a conf object"), std::u16string::npos);

    ASSERT_TRUE(FileSystem::WriteFile(mPath, std::string(5000, 'z').data(), 5000));
    ByteBuffer& saved = Saved("original", u"cfg");
    EXPECT_LT(saved.size, 5000u);  // the older, longer content is cut off

    lua_State* state = scripts.GetState();
    lua_getglobal(state, "original");
    ConfigTree* tree = ConfigTree::FromTable(state, -1);
    lua_pop(state, 1);
    ASSERT_NE(tree, nullptr);
    WString directory = mPath + u".dir";
    ASSERT_TRUE(FileSystem::CreateDirectories(directory));
    log.Clear();
    EXPECT_FALSE(scripts.SaveConfig(tree, u"cfg", directory));
    EXPECT_NE(log.trace.find(u"[LS] Can't create file for saving config"), std::u16string::npos);
    // A name the reader would refuse is not written at all.
    for (const char16_t* name : {u"two words", u"9lives", u"x);os=1--", u""}) {
        log.Clear();
        EXPECT_FALSE(scripts.SaveConfig(tree, name, mPath + u".bad"));
        EXPECT_NE(log.trace.find(u"is not an identifier"), std::u16string::npos) << Narrow(name);
        EXPECT_FALSE(FileSystem::IsFile(mPath + u".bad"));
    }
    delete tree;
    FileSystem::RemoveDirectoryTree(directory);
}

TEST_F(ConfigBlockTest, HostValuesThatAreNotTreesAreRefused) {
    EXPECT_EQ(Run(scripts, u"return tostring((pcall(expandConfig, nil)))"), u"false");
    EXPECT_EQ(scripts.FindConfigTree(&scripts), nullptr);
}

TEST_F(ConfigBlockTest, PublishingABlockSurvivesARaisingGlobalsMetatable) {
    // Reading __index of the globals' metatable goes through the metatable's own metatable.
    Variable ignored;
    ASSERT_TRUE(scripts.RunString(ignored, u"setmetatable(_G, setmetatable({}, {__index = function() error('meta boom', 2) end}))",
                                  u"meta.lua", _RUN_DISCARD));
    EXPECT_FALSE(RunBytes(scripts, Header("cfg") + Strings({}) + NodeRecord(0, 0)));
    EXPECT_NE(log.trace.find(u"[LS] Publishing a config block failed: meta boom"), std::u16string::npos) << Narrow(log.trace);
    EXPECT_EQ(Run(scripts, u"return tostring(rawget(_G, 'cfg'))"), u"nil");
}
