// Script profiling (call costs, slow-call warnings, sorted dumps) and allocation
// statistics per script position. All output goes to the trace stream.
#include <algorithm>
#include <cstring>

#include "Common/Log.h"
#include "Common/Memory.h"
#include "Common/StringFormatter.h"
#include "Platform/Thread.h"
#include "Script/LuaScriptManager.h"
#include "ScriptHost.h"

namespace Volux {

namespace {

constexpr const char16_t* _SOURCE = u"Script/ScriptProfiler";
constexpr int _DUMP_LINES = 100;

// The hook has no user value; the manager that installed it is the one profiling.
LuaScriptManager* sHookManager = nullptr;

void ProfileHook(lua_State* state, lua_Debug* debug) {
    if (sHookManager != nullptr)
        sHookManager->OnHook(state, debug);
}

// The allocation observer: forwards to the state's own allocator and reports growth.
void* ObservingAlloc(void* user, void* pointer, size_t oldSize, size_t newSize) {
    LuaScriptManager* manager = static_cast<LuaScriptManager*>(user);
    lua_Alloc original = reinterpret_cast<lua_Alloc>(manager->OriginalAlloc());
    void* result = original(manager->OriginalAllocUser(), pointer, oldSize, newSize);
    if (result != nullptr && newSize > oldSize)
        manager->OnAllocation(oldSize, newSize);
    return result;
}

const char16_t* KindText(const ProfileRecord* record) { return record->mCFunc ? u"C" : u"Lua"; }

void CopyBounded(char* target, size_t capacity, const char* text) {
    size_t length = text != nullptr ? strlen(text) : 0;
    if (length >= capacity)
        length = capacity - 1;
    if (length > 0)
        memcpy(target, text, length);
    target[length] = 0;
}

struct CostEntry {
    double cost;
    ProfileRecord* record;
};

} // namespace

void LuaScriptManager::UpdateHook() {
    if (mLuaState == nullptr)
        return;
    int mask = (profiling ? (LUA_MASKCALL | LUA_MASKRET) : 0) | (allocThreshold > 0 ? LUA_MASKLINE : 0);
    if (mask != 0) {
        sHookManager = this;
        lua_sethook(MainState(), &ProfileHook, mask, 0);
    } else {
        lua_sethook(MainState(), nullptr, 0, 0);
        if (sHookManager == this)
            sHookManager = nullptr;
    }
}

void LuaScriptManager::StopObservers() {
    if (mOriginalAlloc != nullptr && mAllocState != nullptr)
        lua_setallocf(mAllocState, reinterpret_cast<lua_Alloc>(mOriginalAlloc), mOriginalAllocUser);
    mOriginalAlloc = nullptr;
    mOriginalAllocUser = nullptr;
    mAllocState = nullptr;
    if (sHookManager == this)
        sHookManager = nullptr;
}

void LuaScriptManager::RegisterProfileName(void* function, const WString& name) {
    ProfileRecord** slot = profileTable.Insert(function);
    if (slot == nullptr)
        return;
    if (*slot == nullptr)
        *slot = new ProfileRecord();
    ProfileRecord* record = *slot;
    record->name = name;
    record->mCFunc = true;
    record->line = -1;
    record->key = function;
}

void LuaScriptManager::EnableProfiling(bool on) {
    profiling = on;
    if (!on)
        mProfStack.Clear();
    UpdateHook();
}

void LuaScriptManager::BeginNativeProfile(void* function) {
    if (!profiling)
        return;
    ProfileRecord** it = profileTable.Find(function);
    if (!VOLUX_CHECK(_SOURCE, it))
        return;
    ProfileRecord* p = *it;
    if (!VOLUX_CHECK(_SOURCE, p != _null && p->mCFunc))
        return;
    p->start = PerformanceCounter();
    mProfStack.Push(p);
}

void LuaScriptManager::EndNativeProfile() {
    if (profiling)
        CloseProfileEntry(true);
}

void LuaScriptManager::CloseProfileEntry(bool cfunc) {
    _dword depth = mProfStack.Length();
    if (!VOLUX_CHECK(_SOURCE, mProfStack.Length( ) > 0))
        return;
    (void)depth;
    ProfileRecord* p = mProfStack.Top();
    if (!VOLUX_CHECK(_SOURCE, p !=_null && p->mCFunc == cfunc))
        return;  // left in place: popping someone else's entry would unbalance the rest
    mProfStack.Pop();
    _qword now = PerformanceCounter();
    _qword elapsed = now - p->start;
    p->calls++;
    p->total += elapsed;
    if (profileThreshold < 1)
        return;
    double milliseconds = ElapsedMilliseconds(0, elapsed);
    if (milliseconds <= double(profileThreshold))
        return;
    PrintLine(u"[LS] Cost too much time, threshold is %ld ms", long(profileThreshold));
    PrintLine(u"");
    if (!p->source.IsEmpty())
        PrintLine(u"  [%ls], %ls, (%ls:%d), cost %3.2f ms", KindText(p), p->name.Text(), p->source.Text(), p->line,
                  milliseconds);
    else
        PrintLine(u"  [%ls], %ls, (%ls), cost %3.2f ms", KindText(p), p->name.Text(), p->mCFunc ? u"" : u"Unknown",
                  milliseconds);
    PrintLine(u"");
}

void LuaScriptManager::CloseProfileEntriesToMarker() {
    while (mProfStack.Length() > 0) {
        ProfileRecord* p = mProfStack.Top();
        if (p == nullptr) {
            mProfStack.Pop();
            return;
        }
        CloseProfileEntry(p->mCFunc);
    }
}

void LuaScriptManager::OnHook(lua_State* state, void* debugRecord) {
    lua_Debug* debug = static_cast<lua_Debug*>(debugRecord);
    if (debug->event == LUA_HOOKLINE) {
        if (lua_getinfo(state, "Sn", debug) != 0) {
            const char* source = debug->source != nullptr && debug->source[0] == '@' ? debug->source + 1 : debug->source;
            CopyBounded(mAllocSource, sizeof(mAllocSource), source);
            CopyBounded(mAllocName, sizeof(mAllocName), debug->name != nullptr ? debug->name : "?");
            mAllocLine = debug->currentline;
        }
        return;
    }
    if (!profiling)
        return;
    bool isCall = debug->event == LUA_HOOKCALL;
    if (!isCall && debug->event != LUA_HOOKRET)
        return;  // tail calls are not measured
    if (lua_getinfo(state, isCall ? "nSf" : "Sf", debug) == 0)
        return;
    const void* key = lua_topointer(state, -1);
    lua_pop(state, 1);
    if (debug->what != nullptr && strcmp(debug->what, "C") == 0)
        return;  // native functions are measured by their thunks
    if (isCall) {
        ProfileRecord** slot = profileTable.Insert(key);
        if (slot == nullptr)
            return;
        if (*slot == nullptr) {
            ProfileRecord* record = new ProfileRecord();
            const char* source = debug->source != nullptr && debug->source[0] == '@' ? debug->source + 1 : debug->source;
            record->source = WideOf(source);
            record->line = debug->linedefined;
            record->mCFunc = false;
            record->key = key;
            *slot = record;
        }
        ProfileRecord* p = *slot;
        if (!VOLUX_CHECK(_SOURCE, p != _null && p->mCFunc == _false))
            return;
        if (p->name.IsEmpty() && debug->name != nullptr)
            p->name = WideOf(debug->name);
        p->start = PerformanceCounter();
        mProfStack.Push(p);
        return;
    }
    // A return: frames left by tail calls never return themselves, so every script entry
    // above the returning function's own (up to a marker or a native entry) closes too.
    _dword found = 0;
    for (_dword i = mProfStack.Length(); i > 0; i--) {
        ProfileRecord* p = mProfStack[i - 1];
        if (p == nullptr || p->mCFunc)
            break;
        if (p->key == key) {
            found = i;
            break;
        }
    }
    if (found == 0)
        return;
    while (mProfStack.Length() >= found)
        CloseProfileEntry(false);
}

void LuaScriptManager::DumpProfile() {
    if (!profiling)
        return;
    Array<CostEntry> byTotal;
    Array<CostEntry> byAverage;
    for (auto* node = profileTable.First(); node != nullptr; node = profileTable.Next(node)) {
        ProfileRecord* record = node->value;
        if (record == nullptr || record->name.IsEmpty() || record->calls <= 0)
            continue;
        double total = ElapsedMilliseconds(0, record->total);
        byTotal.Append(CostEntry{total, record});
        byAverage.Append(CostEntry{total / record->calls, record});
    }
    auto descending = [](const CostEntry& a, const CostEntry& b) { return a.cost > b.cost; };
    std::sort(byTotal.begin(), byTotal.end(), descending);
    std::sort(byAverage.begin(), byAverage.end(), descending);

    PrintLine(u"[LS] Dump lua profile Begin");
    PrintLine(u"");
    PrintLine(u"[LS] Order by total call cost (ms)");
    _dword shown = 0;
    for (const CostEntry& entry : byTotal) {
        if (shown++ >= _DUMP_LINES)
            break;
        const ProfileRecord* p = entry.record;
        double average = entry.cost / p->calls;
        if (!p->source.IsEmpty())
            PrintLine(u"  [%ls], %ls, (%ls:%d), called %d time(s), total call cost %3.2f ms, avg %3.2f ms", KindText(p),
                      p->name.Text(), p->source.Text(), p->line, p->calls, entry.cost, average);
        else
            PrintLine(u"  [%ls], %ls, (%ls), called %d time(s), total call cost %3.2f ms, avg %3.2f ms", KindText(p),
                      p->name.Text(), p->mCFunc ? u"" : u"Unknown", p->calls, entry.cost, average);
    }
    if (byTotal.Count() > _dword(_DUMP_LINES))
        PrintLine(u"  %d more ...", int(byTotal.Count()) - _DUMP_LINES);
    PrintLine(u"");
    PrintLine(u"[LS] Order by avg call cost (ms)");
    shown = 0;
    for (const CostEntry& entry : byAverage) {
        if (shown++ >= _DUMP_LINES)
            break;
        const ProfileRecord* p = entry.record;
        if (!p->source.IsEmpty())
            PrintLine(u"  [%ls], %ls, (%ls:%d), called %d time(s), avg call cost %3.2f ms", KindText(p), p->name.Text(),
                      p->source.Text(), p->line, p->calls, entry.cost);
        else
            PrintLine(u"  [%ls], %ls, (Unknown), called %d time(s), avg call cost %3.2f ms", KindText(p),
                      p->name.Text(), p->calls, entry.cost);
    }
    if (byAverage.Count() > _dword(_DUMP_LINES))
        PrintLine(u"  %d more ...", int(byAverage.Count()) - _DUMP_LINES);
    PrintLine(u"");
    PrintLine(u"[LS] Dump lua profile finished");
    for (const CostEntry& entry : byTotal) {
        entry.record->calls = 0;
        entry.record->total = 0;
    }
}

void LuaScriptManager::TrackAllocations(int threshold) {
    if (mLuaState == nullptr)
        return;
    if (threshold > 0) {
        if (mOriginalAlloc == nullptr) {
            void* user = nullptr;
            lua_Alloc original = lua_getallocf(MainState(), &user);
            mOriginalAlloc = reinterpret_cast<void*>(original);
            mOriginalAllocUser = user;
            mAllocState = MainState();
            lua_setallocf(mAllocState, &ObservingAlloc, this);
        }
        allocThreshold = threshold;
        UpdateHook();
        return;
    }
    if (mOriginalAlloc != nullptr && mAllocState != nullptr) {
        lua_setallocf(mAllocState, reinterpret_cast<lua_Alloc>(mOriginalAlloc), mOriginalAllocUser);
        mOriginalAlloc = nullptr;
        mOriginalAllocUser = nullptr;
        mAllocState = nullptr;
    }
    Array<AllocationEntry*> listed;
    for (auto* node = allocationTable.First(); node != nullptr; node = allocationTable.Next(node))
        if (allocThreshold > 0 && node->value.totalBytes >= _dword(allocThreshold))
            listed.Append(&node->value);
    std::sort(listed.begin(), listed.end(),
              [](const AllocationEntry* a, const AllocationEntry* b) { return a->totalBytes > b->totalBytes; });
    PrintLine(u"[LS] Dump Lua Alloc Begin");
    PrintLine(u"[LS] Order by total alloc size (byte)");
    for (const AllocationEntry* entry : listed)
        PrintLine(u"%ls\t\t%d\t%d\t%d", entry->position.Text(), int(entry->totalBytes), int(entry->allocations),
                  int(entry->allocations > 0 ? entry->totalBytes / entry->allocations : 0));
    PrintLine(u"[LS] Dump Lua Alloc End");
    allocationTable.Clear();
    allocThreshold = -1;
    UpdateHook();
}

void LuaScriptManager::OnAllocation(size_t oldSize, size_t newSize) {
    if (mInAllocation)
        return;
    mInAllocation = true;
    WString position = Format(u"%s:%d:%s", mAllocSource, mAllocLine, mAllocName);
    AllocationEntry* entry = allocationTable.Insert(position);
    if (entry != nullptr) {
        if (entry->allocations == 0)
            entry->position = position;
        size_t delta = newSize - oldSize;
        entry->totalBytes += delta > 0xFFFFFFFFu ? 0xFFFFFFFFu : _dword(delta);
        entry->allocations++;
    }
    mInAllocation = false;
}

} // namespace Volux
