#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "Common/Array.h"
#include "Common/Hash.h"
#include "Common/Link.h"
#include "Common/PointerMap.h"
#include "Common/Queue.h"
#include "Common/Singleton.h"
#include "Common/Stack.h"
#include "Support/LogCapture.h"

using namespace Volux;

TEST(Array, CapacityDoublesFrom16) {
    Array<int> array;
    EXPECT_EQ(array.Capacity(), 0u);
    for (int i = 0; i < 16; i++)
        array.Append(i);
    EXPECT_EQ(array.Capacity(), 16u);
    array.Append(16);
    EXPECT_EQ(array.Capacity(), 32u);
    for (int i = 0; i < 17; i++)
        EXPECT_EQ(array[_dword(i)], i);
}

TEST(Array, InsertRemoveAndOwnedElements) {
    Array<WString> array;
    array.Append(WString(u"b"));
    array.Insert(0, WString(u"a"));
    array.Insert(99, WString(u"d"));
    array.Insert(2, WString(u"c"));
    array.Append(array[0]);  // an element of the array itself
    std::vector<std::u16string> seen;
    for (const WString& s : array)
        seen.emplace_back(s.Text());
    EXPECT_EQ(seen, (std::vector<std::u16string>{u"a", u"b", u"c", u"d", u"a"}));
    EXPECT_TRUE(array.Remove(1));
    EXPECT_EQ(std::u16string(array[1].Text()), u"c");
    EXPECT_EQ(array.Count(), 4u);
}

TEST(Array, InvalidIndexIsReportedWithoutTouchingStorage) {
    VoluxTest::LogCapture log;
    Array<int> array;
    array.Append(5);
    array[3] = 99;  // lands in the fallback element, not past the end
    EXPECT_EQ(array[0], 5);
    EXPECT_EQ(array.Count(), 1u);
    EXPECT_FALSE(array.Remove(1));
    EXPECT_NE(log.error.find(u"Assertion Failed : IsIndexValid( index )\r\nCommon/Array:"), std::u16string::npos);
}

// An element of the container passed back into it must be read before growth frees the
// storage it lives in. Long strings keep their text on the heap, so a read of a moved-from
// or freed element shows as a wrong value (or an address-sanitizer report).
TEST(Containers, OwnElementPassedBackSurvivesGrowth) {
    auto text = [](int i) { return std::string(40, char('a' + i % 26)) + std::to_string(i); };
    struct Case {
        const char* label;
        std::function<std::string(Array<std::string>&)> addOwn;  // returns what must arrive
    } cases[] = {
        {"Append copy", [](Array<std::string>& a) { std::string want = a[3]; a.Append(a[3]); return want; }},
        {"Append move", [](Array<std::string>& a) { std::string want = a[3]; a.Append(std::move(a[3])); return want; }},
        {"Insert", [](Array<std::string>& a) { std::string want = a[3]; a.Insert(0, a[3]); return want; }},
    };
    for (const Case& c : cases) {
        Array<std::string> array;
        for (int i = 0; i < 16; i++)
            array.Append(text(i));
        ASSERT_EQ(array.Count(), array.Capacity()) << c.label;
        std::string want = c.addOwn(array);
        EXPECT_EQ(array.Capacity(), 32u) << c.label;
        EXPECT_TRUE(array[16] == want || array[0] == want) << c.label;
    }

    Stack<std::string> stack;
    for (int i = 0; i < 16; i++)
        stack.Push(text(i));
    stack.Push(stack.Top());
    EXPECT_EQ(stack.Top(), text(15));

    Queue<std::string> queue;
    for (int i = 0; i < 16; i++)
        queue.Push(text(i));
    ASSERT_EQ(queue.Count(), queue.Capacity());
    EXPECT_TRUE(queue.Push(queue.Front()));
    EXPECT_EQ(queue.Capacity(), 32u);
    EXPECT_EQ(queue.At(16), text(0));
    EXPECT_EQ(queue.Front(), text(0));
}

TEST(Stack, PushPopTopAndEmptyChecks) {
    VoluxTest::LogCapture log;
    Stack<int> stack;
    stack.Push(1);
    stack.Push(2);
    EXPECT_EQ(stack.Top(), 2);
    int out = 0;
    EXPECT_TRUE(stack.Pop(&out));
    EXPECT_EQ(out, 2);
    EXPECT_TRUE(stack.Pop());
    EXPECT_FALSE(stack.Pop());
    stack.Top();
    EXPECT_NE(log.error.find(u"Assertion Failed : mLength > 0\r\nCommon/Stack:"), std::u16string::npos);
}

TEST(Queue, WrappedQueueKeepsOrderWhenItGrows) {
    Queue<int> queue;
    int next = 0, expected = 0;
    for (int i = 0; i < 10; i++)
        queue.Push(next++);
    for (int i = 0; i < 8; i++) {
        int out;
        ASSERT_TRUE(queue.Pop(&out));
        EXPECT_EQ(out, expected++);
    }
    // Fill past the end of the ring so it wraps, then once more to force growth.
    while (queue.Count() < 16)
        queue.Push(next++);
    EXPECT_EQ(queue.Capacity(), 16u);
    EXPECT_LT(queue.BackIndex(), queue.FrontIndex());
    queue.Push(next++);
    EXPECT_EQ(queue.Capacity(), 32u);
    EXPECT_EQ(queue.FrontIndex(), 0u);
    EXPECT_EQ(queue.BackIndex(), queue.Count());
    int out;
    while (queue.Count() > 0) {
        queue.Pop(&out);
        EXPECT_EQ(out, expected++);
    }
    EXPECT_EQ(expected, next);
}

TEST(Queue, EmptyQueueIsReported) {
    VoluxTest::LogCapture log;
    Queue<int> queue;
    EXPECT_FALSE(queue.Pop());
    queue.Front();
    EXPECT_NE(log.error.find(u"Assertion Failed : IsIndexValid( mFront )\r\nCommon/Queue:"), std::u16string::npos);
}

namespace {
struct Item : LinkNode<Item> {
    int value;
    explicit Item(int v) : value(v) {}
};

std::vector<int> Values(const Link<Item>& list) {
    std::vector<int> out;
    for (Item* at = list.Head(); at != nullptr; at = at->mNext)
        out.push_back(at->value);
    std::vector<int> backwards;
    for (Item* at = list.Tail(); at != nullptr; at = at->mPrev)
        backwards.insert(backwards.begin(), at->value);
    EXPECT_EQ(out, backwards);
    EXPECT_EQ(out.size(), size_t(list.Count()));
    return out;
}
} // namespace

TEST(Link, InsertAndRemoveKeepBothDirections) {
    Item a(1), b(2), c(3), d(4);
    Link<Item> list;
    list.Append(&b);
    list.InsertBefore(&b, &a);
    list.Append(&d);
    list.InsertAfter(&b, &c);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 4}));
    list.Remove(&a);
    list.Remove(&d);
    EXPECT_EQ(Values(list), (std::vector<int>{2, 3}));
    list.Remove(&c);
    list.Remove(&b);
    EXPECT_EQ(Values(list), std::vector<int>{});
    VoluxTest::LogCapture log;
    list.Remove(nullptr);
    EXPECT_NE(log.error.find(u"Assertion Failed : node != _null\r\nCommon/Link:"), std::u16string::npos);
}

TEST(Hash, IteratesInInsertionOrderAcrossBuckets) {
    Hash<WString, int> table(7);
    const char16_t* keys[] = {u"zeta", u"alpha", u"Mid", u"beta", u"omega", u"k1", u"k2", u"k3", u"k4", u"k5"};
    int value = 0;
    for (const char16_t* key : keys)
        *table.Insert(WString(key)) = value++;
    std::vector<int> order;
    for (auto* node = table.First(); node != nullptr; node = table.Next(node))
        order.push_back(node->value);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    ASSERT_NE(table.Find(WString(u"beta")), nullptr);
    EXPECT_EQ(*table.Find(WString(u"beta")), 3);
    EXPECT_EQ(table.Find(WString(u"BETA")), nullptr);  // keys compare exactly
    EXPECT_EQ(*table.Insert(WString(u"alpha")), 1);   // find-or-create finds
    EXPECT_EQ(table.Count(), 10u);
    EXPECT_TRUE(table.Remove(WString(u"Mid")));
    EXPECT_FALSE(table.Remove(WString(u"Mid")));
    EXPECT_EQ(table.Count(), 9u);
}

TEST(Hash, KeysWithEqualHashShareAChain) {
    // "BETA" and "beta" fold to one hash but are different keys.
    Hash<WString, int> table(1);
    table.Insert(WString(u"beta"), 1);
    table.Insert(WString(u"BETA"), 2);
    table.Insert(WString(u"x"), 3);
    EXPECT_EQ(*table.Find(WString(u"beta")), 1);
    EXPECT_EQ(*table.Find(WString(u"BETA")), 2);
    EXPECT_TRUE(table.Remove(WString(u"beta")));
    EXPECT_EQ(*table.Find(WString(u"BETA")), 2);
    EXPECT_EQ(*table.Find(WString(u"x")), 3);
}

TEST(Hash, PointerKeysAndZeroDivisor) {
    int a = 0, b = 0;
    Hash<int*, int> table;
    table.Insert(&a, 10);
    table.Insert(&b, 20);
    EXPECT_EQ(*table.Find(&b), 20);
    VoluxTest::LogCapture log;
    Hash<int, int> broken(0);
    EXPECT_EQ(broken.Insert(1), nullptr);
    EXPECT_EQ(broken.Find(1), nullptr);
    EXPECT_NE(log.error.find(u"Assertion Failed : divisor > 0\r\nCommon/Hash:"), std::u16string::npos);
}

namespace {
struct Only : Singleton<Only> {};
} // namespace

// Removals shift later entries of a probe run back; a wrong shift loses entries or
// leaves them unreachable. Few distinct keys keep the table small, so runs often wrap
// around its end.
TEST(PointerMap, RandomOperationsAgreeWithAModel) {
    static double window[300];
    for (size_t keys : {size_t(6), size_t(12), size_t(40), size_t(300)}) {
        PointerMap map;
        std::map<const void*, void*> model;
        std::mt19937 random(7);
        for (int step = 0; step < 20000; step++) {
            const void* key = &window[random() % keys];
            void* value = &window[random() % keys];
            switch (random() % 3) {
                case 0:
                    ASSERT_TRUE(map.Insert(key, value));
                    model[key] = value;
                    break;
                case 1: ASSERT_EQ(map.Remove(key), model.erase(key) == 1) << keys << " keys, step " << step; break;
                default: {
                    auto found = model.find(key);
                    ASSERT_EQ(map.Find(key), found != model.end() ? found->second : nullptr)
                        << keys << " keys, step " << step;
                }
            }
            ASSERT_EQ(map.Count(), _dword(model.size()));
        }
        size_t visited = 0;
        map.ForEach([&](const void* key, void* value) {
            visited++;
            EXPECT_EQ(model[key], value);
        });
        EXPECT_EQ(visited, model.size());
    }
}

TEST(PointerMap, NullKeyIsRefusedAndClearEmpties) {
    PointerMap map;
    int a = 0;
    EXPECT_FALSE(map.Insert(nullptr, &a));
    EXPECT_EQ(map.Find(nullptr), nullptr);
    EXPECT_FALSE(map.Remove(&a));
    ASSERT_TRUE(map.Insert(&a, &a));
    map.Clear();
    EXPECT_EQ(map.Count(), 0u);
    EXPECT_EQ(map.Find(&a), nullptr);
}

TEST(Singleton, SecondInstanceIsReportedAndTheFirstStays) {
    VoluxTest::LogCapture log;
    Only first;
    EXPECT_EQ(Only::Instance(), &first);
    {
        Only second;
        EXPECT_EQ(Only::Instance(), &first);
    }
    EXPECT_EQ(Only::Instance(), &first);
    EXPECT_NE(log.error.find(u"Assertion Failed : sSingleton == _null\r\nCommon/Singleton:"), std::u16string::npos);
}
