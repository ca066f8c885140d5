// Config trees and the "LUC1" block files they are saved in and loaded from.
#pragma once

#include "Common/Base.h"
#include "Common/ByteBuffer.h"
#include "Common/WString.h"

struct lua_State;

namespace Volux {

struct ConfigNode;

// A value of a config node: one type byte and eight value bytes on disk.
enum ConfigValueType : _byte {
    _CONFIG_NIL = 0,
    _CONFIG_BOOL = 1,
    _CONFIG_NUMBER = 2,
    _CONFIG_STRING = 3,   // value: number of the string in the tree's string table (from 1)
    _CONFIG_TABLE = 4,    // followed by a nested node
};

struct ConfigValue {
    _byte type = _CONFIG_NIL;
    union {
        double number;
        int boolean;
        _dword string;
        ConfigNode* node;
    };
    ConfigValue() : number(0.0) {}
};

struct ConfigEntry {
    ConfigValue key;    // boolean, number or string
    ConfigValue value;
};

struct ConfigNode {
    _dword arrayCount = 0;
    _dword hashCount = 0;
    ConfigValue* array = nullptr;  // elements 1..arrayCount
    ConfigEntry* hash = nullptr;
    ~ConfigNode();
};

// A config tree: nodes over a string table kept on a private script state.
class ConfigTree {
public:
    // Nesting deeper than this is refused: the reader and writer recurse.
    static constexpr int _MAX_DEPTH = 100;
    static constexpr _dword _MAGIC = 0x3143554C;  // "LUC1"
    static constexpr _dword _MAX_NAME = 1023;

    ConfigTree() = default;
    ~ConfigTree();
    ConfigTree(const ConfigTree&) = delete;
    ConfigTree& operator=(const ConfigTree&) = delete;

    static bool StartsBlock(const _byte* data, _dword size);
    // Reads the block at offset and advances it past the block. Null (logged) when the
    // block is malformed; name receives the block's name.
    static ConfigTree* ReadBlock(const _byte* data, _dword size, _dword& offset, WString& name);
    // A tree from the script table at index (functions and other values without a
    // config form are left out). Null (logged) for a non-table or too deep nesting.
    static ConfigTree* FromTable(lua_State* state, int index);

    // Appends the block ("LUC1", name, string table, nodes) to out.
    bool Write(ByteBuffer& out, const char16_t* name) const;
    // Pushes a plain script table with the tree's content onto state.
    void PushTable(lua_State* state) const;

    // A name the generated boxing line can use: an identifier of at most _MAX_NAME bytes.
    static bool IsIdentifier(const char* name, size_t length);

    // Used by the table reader; adds the string on first appearance.
    _dword InternStringPublic(const char* text, size_t length);

    ConfigNode* root = nullptr;
    lua_State* mPrivateState = nullptr;  // slot 1: table of the strings by number
    _dword stringCount = 0;

private:
    bool OpenPrivateState();
    // The number of the string (added on first appearance), 0 on failure.
    _dword InternString(const char* text, size_t length);
    void PushNodeTable(lua_State* state, const ConfigNode* node) const;
    void PushConfigValue(lua_State* state, const ConfigValue& value) const;
};

} // namespace Volux
