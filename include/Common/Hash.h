// Hash table with a fixed number of buckets. Each chain is sorted by ascending hash, so a
// look-up stops at the first larger hash; all nodes also sit on one list in insertion
// order, which is the order of iteration.
#pragma once

#include <new>
#include <type_traits>
#include <utility>

#include "Common/Link.h"
#include "Common/Memory.h"
#include "Common/WString.h"

namespace Volux {

inline _dword HashKey(const WString& key) { return Text::HashA(key.Text()); }
inline _dword HashKey(WStringPtr key) { return Text::HashA(key.Text()); }
template <class T>
inline _dword HashKey(T* key) { return _dword(reinterpret_cast<uintptr_t>(key)); }
template <class T, typename std::enable_if<std::is_integral<T>::value, int>::type = 0>
inline _dword HashKey(T key) { return _dword(key); }

template <class K, class V>
class Hash {
public:
    struct Node : LinkNode<Node> {
        K key;
        _dword hash;
        V value;
        Node* chainNext;
    };

    explicit Hash(_dword divisor = 397) : mDivisor(divisor) {}
    Hash(const Hash&) = delete;
    Hash& operator=(const Hash&) = delete;
    ~Hash() {
        Clear();
        MemFree(mBuckets);
    }

    _dword Count() const { return mList.Count(); }
    _dword Divisor() const { return mDivisor; }

    V* Find(const K& key) const {
        Node* node = FindNode(key);
        return node != nullptr ? &node->value : nullptr;
    }

    // Find-or-create; null only when the table cannot hold entries.
    V* Insert(const K& key) {
        _dword divisor = mDivisor;
        if (!VOLUX_CHECK(u"Common/Hash", divisor > 0))
            return nullptr;
        if (mBuckets == nullptr) {
            mBuckets = static_cast<Node**>(MemAlloc(sizeof(Node*) * size_t(mDivisor)));
            if (mBuckets == nullptr)
                return nullptr;
            for (_dword i = 0; i < mDivisor; i++)
                mBuckets[i] = nullptr;
        }
        _dword hash = HashKey(key);
        Node** link = &mBuckets[hash % mDivisor];
        while (*link != nullptr && (*link)->hash < hash)
            link = &(*link)->chainNext;
        for (Node* at = *link; at != nullptr && at->hash == hash; at = at->chainNext)
            if (at->key == key)
                return &at->value;
        Node* node = new (std::nothrow) Node();
        if (node == nullptr)
            return nullptr;
        node->key = key;
        node->hash = hash;
        node->chainNext = *link;
        *link = node;
        mList.Append(node);
        return &node->value;
    }

    V* Insert(const K& key, const V& value) {
        V* slot = Insert(key);
        if (slot != nullptr)
            *slot = value;
        return slot;
    }

    bool Remove(const K& key) {
        if (mBuckets == nullptr || mDivisor == 0)
            return false;
        _dword hash = HashKey(key);
        for (Node** link = &mBuckets[hash % mDivisor]; *link != nullptr && (*link)->hash <= hash;
             link = &(*link)->chainNext) {
            Node* node = *link;
            if (node->hash == hash && node->key == key) {
                *link = node->chainNext;
                mList.Remove(node);
                delete node;
                return true;
            }
        }
        return false;
    }

    void Clear() {
        for (Node* node = mList.Head(); node != nullptr;) {
            Node* next = node->mNext;
            delete node;
            node = next;
        }
        mList.Reset();
        if (mBuckets != nullptr)
            for (_dword i = 0; i < mDivisor; i++)
                mBuckets[i] = nullptr;
    }

    // Insertion-order iteration.
    Node* First() const { return mList.Head(); }
    static Node* Next(const Node* node) { return node->mNext; }

private:
    Node* FindNode(const K& key) const {
        if (mBuckets == nullptr || mDivisor == 0)
            return nullptr;
        _dword hash = HashKey(key);
        for (Node* at = mBuckets[hash % mDivisor]; at != nullptr && at->hash <= hash; at = at->chainNext)
            if (at->hash == hash && at->key == key)
                return at;
        return nullptr;
    }

    _dword mDivisor;
    Node** mBuckets = nullptr;
    Link<Node> mList;
};

} // namespace Volux
