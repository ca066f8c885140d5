// The worker thread: a task queue run in passes over the thread primitives.
#include "Platform/WorkerThread.h"

#include <new>

#include "Common/Log.h"

namespace Volux {

namespace {
// The worker whose thread is the calling one, so Stop can tell it is called from a task.
thread_local WorkerThread* sCurrentWorker = nullptr;

// Ten periods while idle must not overflow, nor reach the "wait forever" value.
_dword SleepTime(int period, bool queued) {
    _qword wait = queued ? _qword(period) : _qword(period) * 10;
    return wait >= _WAIT_FOREVER ? _WAIT_FOREVER - 1 : _dword(wait);
}
} // namespace

WorkerThread::WorkerThread() : mThreadId(0), mPeriod(_DEFAULT_PERIOD), mIdle(0), mSuspended(false) {}

WorkerThread::~WorkerThread() {
    Stop();
    // Events left by a start that failed half-way.
    mStarted.Close();
    mStopped.Close();
}

bool WorkerThread::Enqueue(const Task& task) {
    if (mQueue.Push(task))
        return true;
    PrintBoth(u"[KL] Out of memory");
    return false;
}

bool WorkerThread::AddTask(WorkerTask function, void* userData, int value) {
    ScopedLock hold(mLock);
    // Checked under the lock, so a task can never slip in after Stop emptied the queue.
    if (IsStopRequested())
        return false;
    return Enqueue(Task{function, userData, value});
}

_dword WorkerThread::QueuedTasks() {
    ScopedLock hold(mLock);
    return mQueue.Count();
}

_dword WorkerThread::QueueCapacity() {
    ScopedLock hold(mLock);
    return mQueue.Capacity();
}

bool WorkerThread::Start(int period, bool suspended) {
    if (IsRunning())
        return false;
    if (!VOLUX_CHECK(u"Platform/WorkerThread", period >= 0))
        return false;
    if (!mStarted.Create(false, false) || !mStopped.Create(true, false)) {
        ReleaseThread();
        return false;
    }
    // Stored before the thread exists: a restarted worker still holds the stop request of
    // its last Stop, which the new thread must not see.
    AtomicExchange(&mPeriod, period);
    AtomicExchange(&mIdle, 0);
    if (!mThread.Create(&WorkerThread::Routine, this, suspended)) {
        ReleaseThread();
        return false;
    }
    mThreadId = mThread.Id();
    mSuspended = suspended;
    if (!suspended)
        mStarted.Wait(_WAIT_FOREVER);
    return true;
}

bool WorkerThread::Resume() {
    if (!IsRunning())
        return false;
    if (!mSuspended)
        return true;
    mSuspended = false;
    return mThread.Resume();
}

WorkerThread* WorkerThread::RunTask(WorkerTask function, void* userData) {
    WorkerThread* worker = new (std::nothrow) WorkerThread();
    if (worker == nullptr) {
        PrintBoth(u"[KL] Out of memory");
        return nullptr;
    }
    // Started suspended so the thread's first pass already finds the task and the period.
    if (!worker->AddTask(function, userData, 0) || !worker->Start(_DEFAULT_PERIOD, true) || !worker->Resume()) {
        delete worker;
        return nullptr;
    }
    return worker;
}

void WorkerThread::Stop() {
    // Waiting here would wait for this very thread. Tested before IsRunning: a first task may
    // run before Start has stored the thread.
    if (!VOLUX_CHECK(u"Platform/WorkerThread", sCurrentWorker != this)) {
        AtomicExchange(&mPeriod, _STOP_REQUEST);
        return;
    }
    if (!IsRunning())
        return;
    AtomicExchange(&mPeriod, _STOP_REQUEST);
    // A thread that never ran must run to see the request; the alert cuts its sleep short.
    Resume();
    mThread.Alert();
    mStopped.Wait(_WAIT_FOREVER);
    {
        ScopedLock hold(mLock);
        mQueue.Clear();
    }
    ReleaseThread();
}

void WorkerThread::ReleaseThread() {
    mStarted.Close();
    mStopped.Close();
    mThread.Close();
    mThreadId = 0;
    mSuspended = false;
}

_dword WorkerThread::Routine(void* parameter) {
    WorkerThread* worker = static_cast<WorkerThread*>(parameter);
    sCurrentWorker = worker;
    worker->mStarted.Set();
    worker->RunPasses();
    sCurrentWorker = nullptr;
    worker->mStopped.Set();
    return 0;
}

// One pass runs each task queued at its start at most once; tasks added or put back during
// the pass wait for the next one.
void WorkerThread::RunPasses() {
    for (;;) {
        _dword count;
        {
            ScopedLock hold(mLock);
            count = mQueue.Count();
        }
        AtomicExchange(&mIdle, count == 0 ? 1 : 0);
        for (_dword i = 0; i < count && !IsStopRequested(); i++) {
            Task task;
            {
                ScopedLock hold(mLock);
                if (mQueue.Count() == 0)
                    break;
                mQueue.Pop(&task);
            }
            if (task.function != nullptr && task.function(this, task.userData, task.value)) {
                ScopedLock hold(mLock);
                Enqueue(task);
            }
        }
        // Read once: the sleep must never use the stop value as a time.
        int period = AtomicRead(&mPeriod);
        if (period == _STOP_REQUEST)
            break;
        bool queued;
        {
            ScopedLock hold(mLock);
            queued = mQueue.Count() > 0;
        }
        SleepAlertable(SleepTime(period, queued));
    }
}

} // namespace Volux
