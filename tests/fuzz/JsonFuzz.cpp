// Parses the input as a JSON document and reads every member of every object of the tree
// both ways; checks that a tree is handed over exactly for a successful parse.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "Common/Json.h"
#include "Common/Memory.h"
#include "Common/StringEncoding.h"

using namespace Volux;

namespace {
void ReadMembers(const Json::Node* object) {
    for (const Json::Node* member = object->child; member != nullptr; member = member->next) {
        char16_t* label = Utf8ToWide(nullptr, 0, member->text);
        GetMemberText(object, label, false);
        GetMemberText(object, label, true);
        MemFree(label);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader takes NUL-terminated text; an embedded NUL ends the document there.
    std::string text(reinterpret_cast<const char*>(data), size);
    Json::Node* root = nullptr;
    int result = Json::ParseDocument(text.c_str(), &root);
    bool known = result == Json::_PARSE_OK || result == Json::_PARSE_INCOMPLETE || result == Json::_PARSE_MALFORMED ||
                 result == Json::_PARSE_OUT_OF_MEMORY || result == Json::_PARSE_BAD_TREE ||
                 result == Json::_PARSE_OTHER;
    if (!known || (root != nullptr) != (result == Json::_PARSE_OK))
        abort();
    // Walk the tree without recursion, through the parent links.
    const Json::Node* node = root;
    while (node != nullptr) {
        if (node->type == Json::_OBJECT)
            ReadMembers(node);
        if (node->text != nullptr) {
            MemFree(Json::Unescape(node->text));
            MemFree(Json::RawToWide(node->text));
        }
        if (node->child != nullptr) {
            node = node->child;
            continue;
        }
        while (node != nullptr && node != root && node->next == nullptr)
            node = node->parent;
        node = (node == nullptr || node == root) ? nullptr : node->next;
    }
    Json::FreeTree(root);
    return 0;
}
