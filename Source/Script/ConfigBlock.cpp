// "LUC1" config blocks: reading them into config trees, writing trees back, and the
// script manager's side (RunBuffer boxing and SaveConfig).
//
// A block, all numbers 32-bit little-endian:
//   "LUC1" | name length n | n name bytes (an identifier)
//   string table: { length | bytes }* then length 0xFFFFFFFF
//   root node
// A node: a 24-byte record (array count, hash count, 16 bytes the reader ignores), then
// per array element a type byte and either a nested node (type 4) or 8 value bytes,
// then per hash entry 24 bytes followed by a nested node when its value type is 4:
//   [0..8) value  [8..16) key value  [16] key type  [21] value type  (rest zero)
// Values: boolean as a 32-bit 0/1, number as a double, string as its number in the
// string table (from 1). Blocks follow each other while the next bytes are "LUC1".
#include "Script/ConfigBlock.h"

#include <cstring>
#include <new>

#include "Common/LittleEndian.h"
#include "Common/Log.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"
#include "Common/StringFormatter.h"
#include "Platform/File.h"
#include "Script/LuaScriptManager.h"
#include "ScriptHost.h"

namespace Volux {

namespace {

constexpr _dword _END_OF_STRINGS = 0xFFFFFFFF;
constexpr _dword _NODE_BYTES = 24;
constexpr _dword _ENTRY_BYTES = 24;
constexpr _dword _ELEMENT_MIN_BYTES = 9;

void PutU32(_byte* p, _dword v) {
    for (int i = 0; i < 4; i++)
        p[i] = _byte(v >> (8 * i));
}

void PutValue(_byte* p, const ConfigValue& value) {
    memset(p, 0, 8);
    if (value.type == _CONFIG_NUMBER)
        memcpy(p, &value.number, 8);
    else if (value.type == _CONFIG_BOOL)
        PutU32(p, value.boolean != 0 ? 1 : 0);
    else if (value.type == _CONFIG_STRING)
        PutU32(p, value.string);
}

// A bounded cursor over untrusted bytes: every read checks what remains.
struct BlockReader {
    const _byte* data;
    _dword size;
    _dword offset;
    _dword stringCount;
    const _dword* stringMap;  // file string number - 1 -> private number

    _dword Remaining() const { return size - offset; }
    bool Take(_dword count, const _byte** out) {
        if (count > Remaining())
            return false;
        *out = data + offset;
        offset += count;
        return true;
    }

    bool ReadScalar(_byte type, const _byte* bytes, ConfigValue& value) {
        value.type = type;
        switch (type) {
            case _CONFIG_NIL:
                return true;
            case _CONFIG_BOOL:
                value.boolean = ReadU32LE(bytes) != 0 ? 1 : 0;
                return true;
            case _CONFIG_NUMBER:
                memcpy(&value.number, bytes, 8);
                return true;
            case _CONFIG_STRING: {
                _dword number = ReadU32LE(bytes);
                if (number == 0 || number > stringCount)
                    return false;
                value.string = stringMap[number - 1];
                return true;
            }
            default:
                return false;
        }
    }

    // reserve: bytes the enclosing nodes still need for their own later elements, so
    // nested counts cannot claim the same bytes again.
    ConfigNode* ReadNode(int depth, uint64_t reserve) {
        const _byte* record = nullptr;
        if (depth > ConfigTree::_MAX_DEPTH || !Take(_NODE_BYTES, &record))
            return nullptr;
        uint64_t arrayCount = ReadU32LE(record);
        uint64_t hashCount = ReadU32LE(record + 4);
        // Each element and entry needs bytes of its own: a count the rest cannot hold
        // is a lie, and is refused before anything is allocated for it.
        uint64_t needed = arrayCount * _ELEMENT_MIN_BYTES + hashCount * _ENTRY_BYTES;
        if (reserve > Remaining() || needed > Remaining() - reserve)
            return nullptr;
        ConfigNode* node = new (std::nothrow) ConfigNode();
        if (node == nullptr)
            return nullptr;
        if (arrayCount > 0) {
            node->array = new (std::nothrow) ConfigValue[size_t(arrayCount)];
            if (node->array == nullptr) {
                delete node;
                return nullptr;
            }
        }
        if (hashCount > 0) {
            node->hash = new (std::nothrow) ConfigEntry[size_t(hashCount)];
            if (node->hash == nullptr) {
                delete node;
                return nullptr;
            }
        }
        for (_dword i = 0; i < arrayCount; i++) {
            const _byte* type = nullptr;
            if (!Take(1, &type))
                return Fail(node);
            node->arrayCount = _dword(i + 1);  // the element is owned from here on
            if (*type == _CONFIG_TABLE) {
                node->array[i].type = _CONFIG_TABLE;
                node->array[i].node =
                    ReadNode(depth + 1, reserve + (arrayCount - i - 1) * _ELEMENT_MIN_BYTES + hashCount * _ENTRY_BYTES);
                if (node->array[i].node == nullptr)
                    return Fail(node);
            } else {
                const _byte* bytes = nullptr;
                if (!Take(8, &bytes) || !ReadScalar(*type, bytes, node->array[i]))
                    return Fail(node);
            }
        }
        for (_dword i = 0; i < hashCount; i++) {
            const _byte* entry = nullptr;
            if (!Take(_ENTRY_BYTES, &entry))
                return Fail(node);
            node->hashCount = _dword(i + 1);
            ConfigEntry& target = node->hash[i];
            _byte keyType = entry[16];
            if (keyType != _CONFIG_BOOL && keyType != _CONFIG_NUMBER && keyType != _CONFIG_STRING)
                return Fail(node);
            if (!ReadScalar(keyType, entry + 8, target.key))
                return Fail(node);
            if (keyType == _CONFIG_NUMBER && target.key.number != target.key.number)
                return Fail(node);  // NaN cannot be a key
            _byte valueType = entry[21];
            if (valueType == _CONFIG_TABLE) {
                target.value.type = _CONFIG_TABLE;
                target.value.node = ReadNode(depth + 1, reserve + (hashCount - i - 1) * _ENTRY_BYTES);
                if (target.value.node == nullptr)
                    return Fail(node);
            } else if (!ReadScalar(valueType, entry, target.value)) {
                return Fail(node);
            }
        }
        return node;
    }

    static ConfigNode* Fail(ConfigNode* node) {
        delete node;
        return nullptr;
    }
};

struct BlockWriter {
    ByteBuffer& out;
    bool ok = true;

    void Bytes(const void* bytes, _dword count) { ok = ok && out.Append(bytes, count); }
    void U32(_dword value) {
        _byte bytes[4];
        PutU32(bytes, value);
        Bytes(bytes, 4);
    }
    void Node(const ConfigNode* node) {
        _byte record[_NODE_BYTES] = {};
        PutU32(record, node->arrayCount);
        PutU32(record + 4, node->hashCount);
        Bytes(record, _NODE_BYTES);
        for (_dword i = 0; i < node->arrayCount; i++) {
            const ConfigValue& value = node->array[i];
            Bytes(&value.type, 1);
            if (value.type == _CONFIG_TABLE) {
                Node(value.node);
            } else {
                _byte bytes[8];
                PutValue(bytes, value);
                Bytes(bytes, 8);
            }
        }
        for (_dword i = 0; i < node->hashCount; i++) {
            const ConfigEntry& entry = node->hash[i];
            _byte bytes[_ENTRY_BYTES] = {};
            if (entry.value.type != _CONFIG_TABLE)
                PutValue(bytes, entry.value);
            PutValue(bytes + 8, entry.key);
            bytes[16] = entry.key.type;
            bytes[21] = entry.value.type;
            Bytes(bytes, _ENTRY_BYTES);
            if (entry.value.type == _CONFIG_TABLE)
                Node(entry.value.node);
        }
    }
};

} // namespace

ConfigNode::~ConfigNode() {
    for (_dword i = 0; i < arrayCount; i++)
        if (array[i].type == _CONFIG_TABLE)
            delete array[i].node;
    for (_dword i = 0; i < hashCount; i++)
        if (hash[i].value.type == _CONFIG_TABLE)
            delete hash[i].value.node;
    delete[] array;
    delete[] hash;
}

ConfigTree::~ConfigTree() {
    delete root;
    if (mPrivateState != nullptr)
        lua_close(mPrivateState);
}

bool ConfigTree::StartsBlock(const _byte* data, _dword size) {
    return data != nullptr && size >= 4 && ReadU32LE(data) == _MAGIC;
}

bool ConfigTree::IsIdentifier(const char* name, size_t length) {
    if (length == 0 || length > _MAX_NAME || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (size_t i = 0; i < length; i++) {
        char c = name[i];
        bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!word)
            return false;
    }
    return true;
}

bool ConfigTree::OpenPrivateState() {
    mPrivateState = luaL_newstate();
    if (mPrivateState == nullptr) {
        PrintBoth(u"[LS] Can't open new lua state");
        return false;
    }
    // Slot 1: number -> string; slot 2: string -> number, for first-appearance numbering.
    // A table instead of one stack slot per string: the stack has a hard size limit.
    lua_newtable(mPrivateState);
    lua_newtable(mPrivateState);
    return true;
}

_dword ConfigTree::InternString(const char* text, size_t length) {
    lua_State* state = mPrivateState;
    lua_pushlstring(state, text, length);
    lua_pushvalue(state, -1);
    lua_rawget(state, 2);
    if (lua_isnumber(state, -1)) {
        _dword number = _dword(lua_tointeger(state, -1));
        lua_pop(state, 2);
        return number;
    }
    lua_pop(state, 1);
    _dword number = ++stringCount;
    lua_pushvalue(state, -1);
    lua_rawseti(state, 1, int(number));
    lua_pushinteger(state, lua_Integer(number));
    lua_rawset(state, 2);
    return number;
}

ConfigTree* ConfigTree::ReadBlock(const _byte* data, _dword size, _dword& offset, WString& name) {
    BlockReader reader{data, size, offset, 0, nullptr};
    const _byte* bytes = nullptr;
    if (!reader.Take(4, &bytes) || ReadU32LE(bytes) != _MAGIC || !reader.Take(4, &bytes)) {
        PrintBoth(u"[LS] Load config nodes failed");
        return nullptr;
    }
    _dword nameLength = ReadU32LE(bytes);
    const _byte* nameBytes = nullptr;
    if (nameLength > _MAX_NAME || !reader.Take(nameLength, &nameBytes) ||
        !IsIdentifier(reinterpret_cast<const char*>(nameBytes), nameLength)) {
        PrintBoth(u"[LS] Load config nodes failed");
        return nullptr;
    }
    ConfigTree* tree = new (std::nothrow) ConfigTree();
    if (tree == nullptr)
        return nullptr;
    if (!tree->OpenPrivateState()) {
        delete tree;
        return nullptr;
    }
    // File string numbers map to private numbers (equal strings share one number).
    Array<_dword> stringMap;
    bool ok = true;
    for (;;) {
        if (!reader.Take(4, &bytes)) {
            ok = false;
            break;
        }
        _dword length = ReadU32LE(bytes);
        if (length == _END_OF_STRINGS)
            break;
        const _byte* text = nullptr;
        if (!reader.Take(length, &text)) {
            ok = false;
            break;
        }
        stringMap.Append(tree->InternString(reinterpret_cast<const char*>(text), length));
    }
    if (ok) {
        reader.stringCount = stringMap.Count();
        reader.stringMap = stringMap.begin();
        tree->root = reader.ReadNode(0, 0);
        ok = tree->root != nullptr;
    }
    if (!ok) {
        PrintBoth(u"[LS] Load config nodes failed");
        delete tree;
        return nullptr;
    }
    name = WideOf(reinterpret_cast<const char*>(nameBytes), nameLength);
    offset = reader.offset;
    return tree;
}

namespace {

struct TableReader {
    ConfigTree* tree;
    lua_State* state;
    bool ok = true;

    bool Scalar(int index, ConfigValue& value) {
        switch (lua_type(state, index)) {
            case LUA_TBOOLEAN:
                value.type = _CONFIG_BOOL;
                value.boolean = lua_toboolean(state, index);
                return true;
            case LUA_TNUMBER:
                value.type = _CONFIG_NUMBER;
                value.number = lua_tonumber(state, index);
                return true;
            case LUA_TSTRING: {
                size_t length = 0;
                const char* text = lua_tolstring(state, index, &length);
                value.type = _CONFIG_STRING;
                value.string = tree->InternStringPublic(text, length);
                return value.string != 0;
            }
            default:
                return false;
        }
    }

    bool Value(int index, ConfigValue& value, int depth) {
        if (lua_type(state, index) == LUA_TTABLE) {
            value.type = _CONFIG_TABLE;
            value.node = Node(index, depth + 1);
            return value.node != nullptr;
        }
        return Scalar(index, value);
    }

    ConfigNode* Node(int index, int depth) {
        if (depth > ConfigTree::_MAX_DEPTH || !lua_checkstack(state, 6)) {
            ok = false;
            return nullptr;
        }
        ConfigNode* node = new (std::nothrow) ConfigNode();
        if (node == nullptr) {
            ok = false;
            return nullptr;
        }
        _dword arrayCount = 0;
        while (true) {
            lua_rawgeti(state, index, int(arrayCount + 1));
            bool present = !lua_isnil(state, -1);
            lua_pop(state, 1);
            if (!present)
                break;
            arrayCount++;
        }
        _dword total = 0;
        lua_pushnil(state);
        while (lua_next(state, index) != 0) {
            total++;
            lua_pop(state, 1);
        }
        node->array = arrayCount > 0 ? new (std::nothrow) ConfigValue[arrayCount] : nullptr;
        node->hash = total > arrayCount ? new (std::nothrow) ConfigEntry[total - arrayCount] : nullptr;
        if ((arrayCount > 0 && node->array == nullptr) || (total > arrayCount && node->hash == nullptr)) {
            ok = false;
            delete node;
            return nullptr;
        }
        for (_dword i = 0; i < arrayCount && ok; i++) {
            lua_rawgeti(state, index, int(i + 1));
            ConfigValue value;
            if (Value(lua_gettop(state), value, depth))
                node->array[node->arrayCount++] = value;
            else
                node->array[node->arrayCount++] = ConfigValue();  // keeps later positions
            lua_pop(state, 1);
        }
        _dword capacity = total > arrayCount ? total - arrayCount : 0;
        lua_pushnil(state);
        while (ok && lua_next(state, index) != 0) {
            int valueIndex = lua_gettop(state);
            int keyIndex = valueIndex - 1;
            bool inArray = lua_type(state, keyIndex) == LUA_TNUMBER && lua_tonumber(state, keyIndex) >= 1 &&
                           lua_tonumber(state, keyIndex) <= double(arrayCount) &&
                           double(lua_Integer(lua_tonumber(state, keyIndex))) == lua_tonumber(state, keyIndex);
            if (!inArray && node->hashCount < capacity) {
                ConfigEntry entry;
                if (Scalar(keyIndex, entry.key) && Value(valueIndex, entry.value, depth))
                    node->hash[node->hashCount++] = entry;
                else if (entry.value.type == _CONFIG_TABLE)
                    delete entry.value.node;
            }
            lua_pop(state, 1);
        }
        if (!ok) {
            delete node;
            return nullptr;
        }
        return node;
    }
};

} // namespace

_dword ConfigTree::InternStringPublic(const char* text, size_t length) { return InternString(text, length); }

ConfigTree* ConfigTree::FromTable(lua_State* state, int index) {
    if (state == nullptr || lua_type(state, index) != LUA_TTABLE) {
        PrintBoth(u"[LS] Convert config needs a conf object");
        return nullptr;
    }
    if (index < 0 && index > LUA_REGISTRYINDEX)
        index = lua_gettop(state) + index + 1;
    ConfigTree* tree = new (std::nothrow) ConfigTree();
    if (tree == nullptr || !tree->OpenPrivateState()) {
        delete tree;
        return nullptr;
    }
    TableReader reader{tree, state};
    tree->root = reader.Node(index, 0);
    if (tree->root == nullptr) {
        PrintBoth(u"[LS] Config table nested too deeply");
        delete tree;
        return nullptr;
    }
    return tree;
}

bool ConfigTree::Write(ByteBuffer& out, const char16_t* name) const {
    if (root == nullptr || mPrivateState == nullptr)
        return false;
    BlockWriter writer{out};
    writer.U32(_MAGIC);
    int nameLength = 0;
    char* utf8 = Utf8Of(name, &nameLength);
    if (!IsIdentifier(utf8, size_t(nameLength))) {
        // The reader puts the name into code and refuses anything else.
        PrintBoth(u"[LS] Config name %ls is not an identifier", NonNull(name));
        MemFree(utf8);
        return false;
    }
    writer.U32(_dword(nameLength));
    writer.Bytes(utf8, _dword(nameLength));
    MemFree(utf8);
    for (_dword i = 1; i <= stringCount; i++) {
        lua_rawgeti(mPrivateState, 1, int(i));
        size_t length = 0;
        const char* text = lua_tolstring(mPrivateState, -1, &length);
        writer.U32(_dword(length));
        writer.Bytes(text, _dword(length));
        lua_pop(mPrivateState, 1);
    }
    writer.U32(_END_OF_STRINGS);
    writer.Node(root);
    return writer.ok;
}

void ConfigTree::PushConfigValue(lua_State* state, const ConfigValue& value) const {
    switch (value.type) {
        case _CONFIG_BOOL:
            lua_pushboolean(state, value.boolean);
            break;
        case _CONFIG_NUMBER:
            lua_pushnumber(state, value.number);
            break;
        case _CONFIG_STRING: {
            lua_rawgeti(mPrivateState, 1, int(value.string));
            size_t length = 0;
            const char* text = lua_tolstring(mPrivateState, -1, &length);
            lua_pushlstring(state, text != nullptr ? text : "", length);
            lua_pop(mPrivateState, 1);
            break;
        }
        case _CONFIG_TABLE:
            PushNodeTable(state, value.node);
            break;
        default:
            lua_pushnil(state);
            break;
    }
}

void ConfigTree::PushNodeTable(lua_State* state, const ConfigNode* node) const {
    if (node == nullptr || !lua_checkstack(state, 4)) {
        lua_pushnil(state);
        return;
    }
    lua_createtable(state, int(node->arrayCount), int(node->hashCount));
    for (_dword i = 0; i < node->arrayCount; i++) {
        PushConfigValue(state, node->array[i]);
        lua_rawseti(state, -2, int(i + 1));
    }
    for (_dword i = 0; i < node->hashCount; i++) {
        PushConfigValue(state, node->hash[i].key);
        PushConfigValue(state, node->hash[i].value);
        if (lua_isnil(state, -2))
            lua_pop(state, 2);
        else
            lua_rawset(state, -3);
    }
}

void ConfigTree::PushTable(lua_State* state) const { PushNodeTable(state, root); }

bool LuaScriptManager::RunConfigBlocks(const ByteBuffer& buffer) {
    bool allRead = true;
    _dword offset = 0;
    while (ConfigTree::StartsBlock(buffer.data + offset, buffer.size - offset)) {
        WString name;
        ConfigTree* tree = ConfigTree::ReadBlock(buffer.data, buffer.size, offset, name);
        if (tree == nullptr) {
            allRead = false;
            break;  // the rest of the buffer cannot be trusted to start a block
        }
        configTrees.Append(tree);
        char* utf8 = Utf8Of(name);
        if (utf8 == nullptr)
            continue;
        // The config host table lives at [1] of the globals' metatable; global reads
        // fall through to it when the metatable has no other __index. The metatable is the
        // scripts' to change: reading its __index may run their code.
        auto host = [&](lua_State* state) {
            if (!lua_getmetatable(state, LUA_GLOBALSINDEX)) {
                lua_newtable(state);
                lua_pushvalue(state, -1);
                lua_setmetatable(state, LUA_GLOBALSINDEX);
            }
            int meta = lua_gettop(state);
            lua_rawgeti(state, meta, 1);
            if (!lua_istable(state, -1)) {
                lua_pop(state, 1);
                lua_newtable(state);
                lua_pushvalue(state, -1);
                lua_rawseti(state, meta, 1);
            }
            int hostTable = lua_gettop(state);
            lua_getfield(state, meta, "__index");
            if (lua_isnil(state, -1)) {
                lua_pushvalue(state, hostTable);
                lua_setfield(state, meta, "__index");
            }
            lua_pop(state, 1);
            lua_pushfstring(state, "%s_host", utf8);
            lua_pushlightuserdata(state, tree);
            lua_rawset(state, hostTable);
            return 0;
        };
        if (!Guard(u"Publishing a config block", host)) {
            MemFree(utf8);
            allRead = false;
            continue;
        }

        WString line = Format(u"_G.%s = __luaconf.box(_G.%s_host)\n", utf8, utf8);
        MemFree(utf8);
        Variable ignored;
        if (!RunString(ignored, line, name, _RUN_DISCARD))
            allRead = false;
    }
    return allRead;
}

const ConfigTree* LuaScriptManager::FindConfigTree(const void* host) const {
    for (const ConfigTree* tree : configTrees)
        if (tree == host)
            return tree;
    return nullptr;
}

bool LuaScriptManager::SaveConfig(const ConfigTree* config, const char16_t* name, const char16_t* path) {
    if (config == nullptr) {
        PrintBoth(u"[LS] Convert config needs a conf object");
        return false;
    }
    WString plainName(NonNull(name));
    plainName.ReplaceAll(u"_G.", u"");
    ByteBuffer bytes;
    if (!config->Write(bytes, plainName))
        return false;
    File file;
    if (!FileSystem::IsFile(path)) {
        if (!file.Open(path, File::_CREATE)) {
            PrintBoth(u"[LS] Can't create file for saving config");
            return false;
        }
    } else if (!file.Open(path, File::_UPDATE) || !file.Seek(0)) {
        PrintBoth(u"[LS] Can't open file for saving config");
        return false;
    }
    // Cutting the file at the block's end keeps an older, longer file's tail from being
    // read as a further block.
    bool ok = file.Write(bytes.data, bytes.size) && file.SetSize(bytes.size);
    if (!ok)
        PrintBoth(u"[LS] Can't write file for saving config");
    return ok;
}

} // namespace Volux
