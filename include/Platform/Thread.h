// Threads and their synchronisation: system threads, critical sections, auto- and
// manual-reset events, alertable sleeps, interlocked exchanges, the UI-thread test and the
// high-resolution clock. Win32 and POSIX give the same contract; nothing here logs.
#pragma once

#include "Common/Base.h"

namespace Volux {

_dword CurrentThreadId();

// Records the calling thread as the UI thread; only the first call counts, as the first
// top-level window of the launcher decides which thread that is.
void RecordUIThread();
// False until a UI thread was recorded.
bool IsUIThread();

// Wait time meaning "no time-out".
constexpr _dword _WAIT_FOREVER = 0xFFFFFFFF;

// The routine's result is the thread's exit code.
using ThreadRoutine = _dword (*)(void* parameter);

// One system thread. The handle is owned: Close (or the destructor) releases it without
// waiting for the thread, which then runs on by itself.
class Thread {
public:
    Thread() = default;
    ~Thread() { Close(); }
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Fails when this object already holds a thread. A suspended thread runs after Resume.
    bool Create(ThreadRoutine routine, void* parameter, bool suspended);
    bool Resume();
    // True when the thread has ended within the time.
    bool Wait(_dword milliseconds);
    // Ends an alertable sleep of the running thread early; sent while it does something else,
    // its next alertable sleep returns at once.
    bool Alert();
    void Close();

    bool IsValid() const { return mHandle != nullptr; }
    _dword Id() const { return mId; }

private:
    void* mHandle = nullptr;
    _dword mId = 0;
};

// A lock the same thread may take again; every Enter needs its Leave.
class CriticalSection {
public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter();
    void Leave();

private:
    void* mHandle;
};

// Holds a critical section for one scope.
class ScopedLock {
public:
    explicit ScopedLock(CriticalSection& lock) : mLock(lock) { mLock.Enter(); }
    ~ScopedLock() { mLock.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    CriticalSection& mLock;
};

// An auto-reset event lets one waiter through and clears itself; a manual-reset event stays
// set, releasing every waiter, until Reset.
class Event {
public:
    Event() = default;
    ~Event() { Close(); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    bool Create(bool manualReset, bool initiallySet);
    void Close();
    bool IsValid() const { return mHandle != nullptr; }

    bool Set();
    bool Reset();
    // True when the event was set within the time (and, auto-reset, has been taken).
    bool Wait(_dword milliseconds);

private:
    void* mHandle = nullptr;
};

// Sleeps for the time unless the thread is alerted (Thread::Alert) first; true when alerted.
bool SleepAlertable(_dword milliseconds);

// Interlocked exchanges: each returns the previous value.
int AtomicExchange(volatile int* target, int value);
float AtomicExchangeFloat(volatile float* target, float value);
// A read that sees the latest exchanged value.
int AtomicRead(const volatile int* target);
float AtomicReadFloat(const volatile float* target);

// The high-resolution counter and its ticks per second (0 when the system has none).
_qword PerformanceCounter();
_qword PerformanceFrequency();
// (end - start) / frequency * 1000; 0 when the system reports no frequency.
double ElapsedMilliseconds(_qword start, _qword end);

} // namespace Volux
