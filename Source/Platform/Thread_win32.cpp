// Threads, critical sections, events, alertable sleeps, interlocked exchanges and the
// performance counter on Win32.
#include <windows.h>

#include <new>

#include "Platform/Thread.h"

namespace Volux {

static_assert(sizeof(LONG) == sizeof(int), "interlocked exchanges work on 32-bit values");
static_assert(sizeof(float) == sizeof(LONG), "a float is exchanged through its 32 bits");

_dword CurrentThreadId() { return GetCurrentThreadId(); }

namespace {
volatile LONG sUIThread = 0;

// The engine routine is a plain C++ function; the system wants its own calling convention
// (stdcall on 32-bit), so a small record carries the routine into a trampoline.
struct StartRecord {
    ThreadRoutine routine;
    void* parameter;
};

DWORD WINAPI Trampoline(LPVOID parameter) {
    StartRecord record = *static_cast<StartRecord*>(parameter);
    delete static_cast<StartRecord*>(parameter);
    return record.routine(record.parameter);
}

// Queued to wake an alertable sleep; the call itself has nothing to do.
void CALLBACK WakeUp(ULONG_PTR) {}
} // namespace

void RecordUIThread() { InterlockedCompareExchange(&sUIThread, LONG(GetCurrentThreadId()), 0); }

bool IsUIThread() {
    LONG id = InterlockedCompareExchange(&sUIThread, 0, 0);
    return id != 0 && _dword(id) == GetCurrentThreadId();
}

bool Thread::Create(ThreadRoutine routine, void* parameter, bool suspended) {
    if (mHandle != nullptr || routine == nullptr)
        return false;
    StartRecord* record = new (std::nothrow) StartRecord{routine, parameter};
    if (record == nullptr)
        return false;
    DWORD id = 0;
    HANDLE handle = CreateThread(nullptr, 0, Trampoline, record, suspended ? CREATE_SUSPENDED : 0, &id);
    if (handle == nullptr) {
        delete record;
        return false;
    }
    mHandle = handle;
    mId = id;
    return true;
}

bool Thread::Resume() { return mHandle != nullptr && ResumeThread(mHandle) != DWORD(-1); }

bool Thread::Wait(_dword milliseconds) {
    return mHandle != nullptr && WaitForSingleObject(mHandle, milliseconds) == WAIT_OBJECT_0;
}

bool Thread::Alert() { return mHandle != nullptr && QueueUserAPC(WakeUp, mHandle, 0) != 0; }

void Thread::Close() {
    if (mHandle != nullptr)
        CloseHandle(mHandle);
    mHandle = nullptr;
    mId = 0;
}

// The system structure's size differs between 32 and 64 bits, so it lives on the heap.
CriticalSection::CriticalSection() {
    CRITICAL_SECTION* section = new (std::nothrow) CRITICAL_SECTION;
    if (section != nullptr)
        InitializeCriticalSection(section);
    mHandle = section;
}

CriticalSection::~CriticalSection() {
    CRITICAL_SECTION* section = static_cast<CRITICAL_SECTION*>(mHandle);
    if (section != nullptr) {
        DeleteCriticalSection(section);
        delete section;
    }
}

void CriticalSection::Enter() {
    if (VOLUX_CHECK(u"Platform/Thread", mHandle != _null))
        EnterCriticalSection(static_cast<CRITICAL_SECTION*>(mHandle));
}

void CriticalSection::Leave() {
    if (mHandle != nullptr)
        LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(mHandle));
}

bool Event::Create(bool manualReset, bool initiallySet) {
    if (mHandle != nullptr)
        return false;
    mHandle = CreateEventW(nullptr, manualReset ? TRUE : FALSE, initiallySet ? TRUE : FALSE, nullptr);
    return mHandle != nullptr;
}

void Event::Close() {
    if (mHandle != nullptr)
        CloseHandle(mHandle);
    mHandle = nullptr;
}

bool Event::Set() { return mHandle != nullptr && SetEvent(mHandle) != FALSE; }
bool Event::Reset() { return mHandle != nullptr && ResetEvent(mHandle) != FALSE; }

bool Event::Wait(_dword milliseconds) {
    return mHandle != nullptr && WaitForSingleObject(mHandle, milliseconds) == WAIT_OBJECT_0;
}

bool SleepAlertable(_dword milliseconds) { return SleepEx(milliseconds, TRUE) == WAIT_IO_COMPLETION; }

int AtomicExchange(volatile int* target, int value) {
    return int(InterlockedExchange(reinterpret_cast<volatile LONG*>(target), LONG(value)));
}

float AtomicExchangeFloat(volatile float* target, float value) {
    LONG bits;
    CopyMemory(&bits, &value, sizeof(bits));
    LONG previous = InterlockedExchange(reinterpret_cast<volatile LONG*>(target), bits);
    float result;
    CopyMemory(&result, &previous, sizeof(result));
    return result;
}

int AtomicRead(const volatile int* target) {
    return int(InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(const_cast<volatile int*>(target)), 0, 0));
}

float AtomicReadFloat(const volatile float* target) {
    LONG bits = InterlockedCompareExchange(reinterpret_cast<volatile LONG*>(const_cast<volatile float*>(target)), 0, 0);
    float result;
    CopyMemory(&result, &bits, sizeof(result));
    return result;
}

_qword PerformanceCounter() {
    LARGE_INTEGER value;
    return QueryPerformanceCounter(&value) ? _qword(value.QuadPart) : 0;
}

_qword PerformanceFrequency() {
    LARGE_INTEGER value;
    return QueryPerformanceFrequency(&value) ? _qword(value.QuadPart) : 0;
}

double ElapsedMilliseconds(_qword start, _qword end) {
    _qword frequency = PerformanceFrequency();
    if (frequency == 0)
        return 0.0;
    return double(int64_t(end - start)) / double(frequency) * 1000.0;
}

} // namespace Volux
