// Path look-up on a fixed tree of dictionaries and arrays, the path taken from the input
// one byte per character. The result must be the shared empty variable or a node of the
// tree. Then the same path is created in a copy of the tree.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Common/Variable.h"

using namespace Volux;

namespace {
Variable* BuildTree() {
    static Variable root(u"", _KIND_DICT);
    Variable& window = root.AddChild(u"window", _KIND_DICT);
    window.AddChild(u"width", _KIND_INT32).SetInt32(800);
    window.AddChild(u"title", _KIND_TEXT).SetText(u"game");
    Variable& buttons = root.AddChild(u"buttons", _ARRAY_FLAG | _KIND_DICT);
    buttons.CreatePath(u"name", _KIND_TEXT);
    buttons.CreatePath(u"rect.x", _KIND_INT16);
    buttons.Resize(3);
    Variable& ints = root.AddChild(u"ints", _ARRAY_FLAG | _KIND_INT32);
    ints.Resize(12);
    root.AddChild(u"#", _KIND_UINT8).SetUInt8(1);
    return &root;
}

bool InTree(const Variable* tree, const Variable* found) {
    if (tree == found)
        return true;
    if ((tree->counter != nullptr && InTree(tree->counter, found)) ||
        (tree->mTemplate != nullptr && InTree(tree->mTemplate, found)))
        return true;
    for (const Variable* child : tree->children) {
        if (InTree(child, found))
            return true;
    }
    return false;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Variable* tree = BuildTree();
    std::u16string path;
    for (size_t i = 0; i < size; i++)
        path += char16_t(data[i]);
    const Variable& found = tree->Find(path.c_str());
    if (!found.IsShared() && !InTree(tree, &found))
        abort();
    if (Variable::Empty().type != _KIND_NONE || Variable::Empty().ChildCount() != 0)
        abort();
    // Creation is bounded by the path, which is bounded by the input.
    if (size <= 64) {
        Variable copy(*tree);
        copy.CreatePath(path.c_str(), _KIND_INT32);
    }
    return 0;
}
