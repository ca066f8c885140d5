// Threads, critical sections, events, alertable sleeps, interlocked exchanges and the
// performance counter on POSIX, with the Win32 contract: a thread can start suspended and
// be alerted out of a sleep, events are auto- or manual-reset, the lock is recursive.
#include <errno.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <new>

#include "Platform/Thread.h"

namespace Volux {

_dword CurrentThreadId() { return _dword(syscall(SYS_gettid)); }

namespace {
volatile int sUIThread = 0;

void InitCondition(pthread_cond_t* condition) {
    // Time-outs count on the monotonic clock so that a change of the wall clock does not
    // stretch or cut them.
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    pthread_cond_init(condition, &attributes);
    pthread_condattr_destroy(&attributes);
}

struct timespec DeadlineAfter(_dword milliseconds) {
    struct timespec deadline;
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += time_t(milliseconds / 1000);
    deadline.tv_nsec += long(milliseconds % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec++;
        deadline.tv_nsec -= 1000000000L;
    }
    return deadline;
}

// Waits on the condition (its mutex held) until done() holds or the time is over; true when
// done() holds.
template <class Predicate>
bool WaitUntil(pthread_cond_t* condition, pthread_mutex_t* mutex, _dword milliseconds, Predicate done) {
    if (milliseconds == _WAIT_FOREVER) {
        while (!done())
            pthread_cond_wait(condition, mutex);
        return true;
    }
    struct timespec deadline = DeadlineAfter(milliseconds);
    while (!done())
        if (pthread_cond_timedwait(condition, mutex, &deadline) == ETIMEDOUT)
            return done();
    return true;
}

// Shared by the owning Thread object and the thread itself; the last of the two frees it.
struct ThreadRecord {
    pthread_t thread;
    ThreadRoutine routine;
    void* parameter;
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    _dword id;
    bool started;    // the thread has published its id
    bool resumed;    // a suspended thread may run
    bool cancelled;  // closed before it was resumed: the routine is never called
    bool alerted;    // an alert waits for (or ends) an alertable sleep
    bool finished;
    int references;
};

thread_local ThreadRecord* sCurrentRecord = nullptr;

void Release(ThreadRecord* record) {
    pthread_mutex_lock(&record->mutex);
    bool last = --record->references == 0;
    pthread_mutex_unlock(&record->mutex);
    if (!last)
        return;
    pthread_cond_destroy(&record->changed);
    pthread_mutex_destroy(&record->mutex);
    delete record;
}

void* Trampoline(void* parameter) {
    ThreadRecord* record = static_cast<ThreadRecord*>(parameter);
    sCurrentRecord = record;
    pthread_mutex_lock(&record->mutex);
    record->id = CurrentThreadId();
    record->started = true;
    pthread_cond_broadcast(&record->changed);
    while (!record->resumed)
        pthread_cond_wait(&record->changed, &record->mutex);
    bool run = !record->cancelled;
    pthread_mutex_unlock(&record->mutex);

    if (run)
        record->routine(record->parameter);

    pthread_mutex_lock(&record->mutex);
    record->finished = true;
    pthread_cond_broadcast(&record->changed);
    pthread_mutex_unlock(&record->mutex);
    sCurrentRecord = nullptr;
    Release(record);
    return nullptr;
}
} // namespace

void RecordUIThread() {
    int none = 0;
    __atomic_compare_exchange_n(&sUIThread, &none, int(CurrentThreadId()), false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
}

bool IsUIThread() {
    int id = __atomic_load_n(&sUIThread, __ATOMIC_SEQ_CST);
    return id != 0 && _dword(id) == CurrentThreadId();
}

bool Thread::Create(ThreadRoutine routine, void* parameter, bool suspended) {
    if (mHandle != nullptr || routine == nullptr)
        return false;
    ThreadRecord* record = new (std::nothrow) ThreadRecord();
    if (record == nullptr)
        return false;
    record->routine = routine;
    record->parameter = parameter;
    record->resumed = !suspended;
    record->references = 2;
    pthread_mutex_init(&record->mutex, nullptr);
    InitCondition(&record->changed);
    if (pthread_create(&record->thread, nullptr, Trampoline, record) != 0) {
        record->references = 1;
        Release(record);
        return false;
    }
    // The id is the thread's own, known once it runs.
    pthread_mutex_lock(&record->mutex);
    while (!record->started)
        pthread_cond_wait(&record->changed, &record->mutex);
    mId = record->id;
    pthread_mutex_unlock(&record->mutex);
    mHandle = record;
    return true;
}

bool Thread::Resume() {
    ThreadRecord* record = static_cast<ThreadRecord*>(mHandle);
    if (record == nullptr)
        return false;
    pthread_mutex_lock(&record->mutex);
    record->resumed = true;
    pthread_cond_broadcast(&record->changed);
    pthread_mutex_unlock(&record->mutex);
    return true;
}

bool Thread::Wait(_dword milliseconds) {
    ThreadRecord* record = static_cast<ThreadRecord*>(mHandle);
    if (record == nullptr)
        return false;
    pthread_mutex_lock(&record->mutex);
    bool finished = WaitUntil(&record->changed, &record->mutex, milliseconds, [record] { return record->finished; });
    pthread_mutex_unlock(&record->mutex);
    return finished;
}

bool Thread::Alert() {
    ThreadRecord* record = static_cast<ThreadRecord*>(mHandle);
    if (record == nullptr)
        return false;
    pthread_mutex_lock(&record->mutex);
    record->alerted = true;
    pthread_cond_broadcast(&record->changed);
    pthread_mutex_unlock(&record->mutex);
    return true;
}

void Thread::Close() {
    ThreadRecord* record = static_cast<ThreadRecord*>(mHandle);
    if (record != nullptr) {
        pthread_mutex_lock(&record->mutex);
        bool finished = record->finished;
        if (!record->resumed) {
            // Closing a thread that never ran: let it end without calling the routine.
            record->cancelled = true;
            record->resumed = true;
            pthread_cond_broadcast(&record->changed);
        }
        pthread_mutex_unlock(&record->mutex);
        if (finished)
            pthread_join(record->thread, nullptr);
        else
            pthread_detach(record->thread);
        Release(record);
    }
    mHandle = nullptr;
    mId = 0;
}

CriticalSection::CriticalSection() {
    pthread_mutex_t* mutex = new (std::nothrow) pthread_mutex_t;
    if (mutex != nullptr) {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
        pthread_mutex_init(mutex, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    mHandle = mutex;
}

CriticalSection::~CriticalSection() {
    pthread_mutex_t* mutex = static_cast<pthread_mutex_t*>(mHandle);
    if (mutex != nullptr) {
        pthread_mutex_destroy(mutex);
        delete mutex;
    }
}

void CriticalSection::Enter() {
    if (VOLUX_CHECK(u"Platform/Thread", mHandle != _null))
        pthread_mutex_lock(static_cast<pthread_mutex_t*>(mHandle));
}

void CriticalSection::Leave() {
    if (mHandle != nullptr)
        pthread_mutex_unlock(static_cast<pthread_mutex_t*>(mHandle));
}

namespace {
struct EventRecord {
    pthread_mutex_t mutex;
    pthread_cond_t changed;
    bool manualReset;
    bool set;
};
} // namespace

bool Event::Create(bool manualReset, bool initiallySet) {
    if (mHandle != nullptr)
        return false;
    EventRecord* record = new (std::nothrow) EventRecord();
    if (record == nullptr)
        return false;
    pthread_mutex_init(&record->mutex, nullptr);
    InitCondition(&record->changed);
    record->manualReset = manualReset;
    record->set = initiallySet;
    mHandle = record;
    return true;
}

void Event::Close() {
    EventRecord* record = static_cast<EventRecord*>(mHandle);
    if (record != nullptr) {
        pthread_cond_destroy(&record->changed);
        pthread_mutex_destroy(&record->mutex);
        delete record;
    }
    mHandle = nullptr;
}

bool Event::Set() {
    EventRecord* record = static_cast<EventRecord*>(mHandle);
    if (record == nullptr)
        return false;
    pthread_mutex_lock(&record->mutex);
    record->set = true;
    // An auto-reset event releases one waiter, but waking all is harmless: the first to take
    // the mutex clears it and the others wait again.
    pthread_cond_broadcast(&record->changed);
    pthread_mutex_unlock(&record->mutex);
    return true;
}

bool Event::Reset() {
    EventRecord* record = static_cast<EventRecord*>(mHandle);
    if (record == nullptr)
        return false;
    pthread_mutex_lock(&record->mutex);
    record->set = false;
    pthread_mutex_unlock(&record->mutex);
    return true;
}

bool Event::Wait(_dword milliseconds) {
    EventRecord* record = static_cast<EventRecord*>(mHandle);
    if (record == nullptr)
        return false;
    pthread_mutex_lock(&record->mutex);
    bool set = WaitUntil(&record->changed, &record->mutex, milliseconds, [record] { return record->set; });
    if (set && !record->manualReset)
        record->set = false;
    pthread_mutex_unlock(&record->mutex);
    return set;
}

bool SleepAlertable(_dword milliseconds) {
    ThreadRecord* record = sCurrentRecord;
    if (record == nullptr) {
        // Threads not made by Thread cannot be alerted: a plain sleep.
        if (milliseconds == _WAIT_FOREVER) {
            for (;;)
                pause();
        }
        struct timespec left = {time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
        while (nanosleep(&left, &left) != 0 && errno == EINTR) {
        }
        return false;
    }
    pthread_mutex_lock(&record->mutex);
    bool alerted = WaitUntil(&record->changed, &record->mutex, milliseconds, [record] { return record->alerted; });
    record->alerted = false;
    pthread_mutex_unlock(&record->mutex);
    return alerted;
}

int AtomicExchange(volatile int* target, int value) { return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST); }

float AtomicExchangeFloat(volatile float* target, float value) {
    float previous;
    __atomic_exchange(target, &value, &previous, __ATOMIC_SEQ_CST);
    return previous;
}

int AtomicRead(const volatile int* target) { return __atomic_load_n(target, __ATOMIC_SEQ_CST); }

float AtomicReadFloat(const volatile float* target) {
    float value;
    __atomic_load(target, &value, __ATOMIC_SEQ_CST);
    return value;
}

_qword PerformanceCounter() {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return _qword(now.tv_sec) * 1000000000ULL + _qword(now.tv_nsec);
}

_qword PerformanceFrequency() { return 1000000000ULL; }

double ElapsedMilliseconds(_qword start, _qword end) {
    _qword frequency = PerformanceFrequency();
    if (frequency == 0)
        return 0.0;
    return double(int64_t(end - start)) / double(frequency) * 1000.0;
}

} // namespace Volux
