// A system thread that runs a queue of tasks in passes, sleeping between passes.
// A task is a step function: returning true puts it back at the end of the queue, so a
// long job (a download, a copy) is written as a step called once per pass until it is done.
#pragma once

#include "Common/Base.h"
#include "Common/Queue.h"
#include "Platform/Thread.h"

namespace Volux {

class WorkerThread;

// Called on the worker's thread without its lock held; true = run again next pass.
using WorkerTask = bool (*)(WorkerThread* worker, void* userData, int value);

class WorkerThread {
public:
    static constexpr int _DEFAULT_PERIOD = 100;
    // The period value that asks the thread to end.
    static constexpr int _STOP_REQUEST = -1;

    WorkerThread();
    // Stops the thread first.
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Appends at the back; false when a stop was requested (the worker then stays stopped
    // until the next Start) or memory ran out.
    bool AddTask(WorkerTask function, void* userData, int value);

    // period: ms between passes while tasks are queued, ten times that while the queue is
    // empty. Fails when a thread exists. Unless suspended, returns once the thread runs;
    // a suspended worker runs after Resume.
    bool Start(int period, bool suspended);
    bool Resume();

    // A new worker running one task (value 0) with the default period; null on failure.
    // The caller deletes it.
    static WorkerThread* RunTask(WorkerTask function, void* userData);

    // Requests the stop, waits without time-out until the current task has returned and the
    // thread has ended, then drops the queued tasks. Nothing happens when not running. Must
    // not be called from one of the worker's own tasks (that is reported and only requests).
    void Stop();

    bool IsRunning() const { return mThread.IsValid(); }
    bool IsStopRequested() const { return AtomicRead(&mPeriod) == _STOP_REQUEST; }
    // True when the queue was empty at the start of the last pass.
    bool IsIdle() const { return AtomicRead(&mIdle) != 0; }
    int Period() const { return AtomicRead(&mPeriod); }
    _dword ThreadId() const { return mThreadId; }
    _dword QueuedTasks();
    _dword QueueCapacity();

private:
    struct Task {
        WorkerTask function;
        void* userData;
        int value;
    };

    static _dword Routine(void* parameter);
    void RunPasses();
    bool Enqueue(const Task& task);
    void ReleaseThread();

    Thread mThread;
    _dword mThreadId;
    volatile int mPeriod;  // ms; _STOP_REQUEST asks the thread to end
    volatile int mIdle;
    bool mSuspended;       // created suspended and not resumed yet
    CriticalSection mLock; // every queue access is made under it
    Event mStarted;        // auto-reset, set when the thread begins
    Event mStopped;        // manual-reset, set when the thread ends
    Queue<Task> mQueue;
};

} // namespace Volux
