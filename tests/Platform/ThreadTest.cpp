#include <gtest/gtest.h>

#include <vector>

#include "Platform/Thread.h"
#include "Platform/WorkerThread.h"
#include "Support/LogCapture.h"

using namespace Volux;

namespace {

// Long enough never to be reached by a working build; only a hang runs into it.
constexpr _dword _GENEROUS = 10000;

// Polls a condition until it holds or the generous time is over.
template <class Condition>
bool Eventually(Condition condition) {
    for (int i = 0; i < 2000; i++) {
        if (condition())
            return true;
        SleepAlertable(5);
    }
    return condition();
}

// Runs a callable on a new Thread.
template <class Body>
struct Runner {
    explicit Runner(Body body) : mBody(body) {}
    static _dword Routine(void* parameter) {
        static_cast<Runner*>(parameter)->mBody();
        return 0;
    }
    bool Start(bool suspended = false) { return mThread.Create(&Runner::Routine, this, suspended); }
    Body mBody;
    Thread mThread;
};
template <class Body>
Runner<Body> MakeRunner(Body body) {
    return Runner<Body>(body);
}

// ---------------------------------------------------------------------------------------
// Events

struct EventCase {
    const char* name;
    bool manualReset;
    bool initiallySet;
    bool setBeforeWaits;
    bool firstWait;
    bool secondWait;
};

TEST(EventTest, AutoResetIsTakenByOneWaitManualResetStaysSet) {
    const EventCase cases[] = {
        {"auto, set", false, false, true, true, false},
        {"auto, initially set", false, true, false, true, false},
        {"auto, never set", false, false, false, false, false},
        {"manual, set", true, false, true, true, true},
        {"manual, initially set", true, true, false, true, true},
        {"manual, never set", true, false, false, false, false},
    };
    for (const EventCase& c : cases) {
        Event event;
        ASSERT_TRUE(event.Create(c.manualReset, c.initiallySet)) << c.name;
        if (c.setBeforeWaits) {
            EXPECT_TRUE(event.Set());
        }
        EXPECT_EQ(event.Wait(0), c.firstWait) << c.name;
        EXPECT_EQ(event.Wait(0), c.secondWait) << c.name;
        EXPECT_TRUE(event.Reset());
        EXPECT_FALSE(event.Wait(0)) << c.name << " after Reset";
    }
}

TEST(EventTest, WaitTimesOutOnAClearEvent) {
    Event event;
    ASSERT_TRUE(event.Create(true, false));
    EXPECT_FALSE(event.Wait(20));
}

TEST(EventTest, ClosedOrUncreatedEventFailsEverything) {
    Event event;
    EXPECT_FALSE(event.Set());
    EXPECT_FALSE(event.Wait(0));
    ASSERT_TRUE(event.Create(false, true));
    EXPECT_FALSE(event.Create(false, true)) << "a second Create would leak the first";
    event.Close();
    EXPECT_FALSE(event.IsValid());
    EXPECT_FALSE(event.Wait(0));
}

// Two threads wait on one event; counts how many got through.
struct TwoWaiters {
    Event event;
    volatile int released = 0;
    static _dword Wait(void* parameter) {
        TwoWaiters* self = static_cast<TwoWaiters*>(parameter);
        if (self->event.Wait(_GENEROUS))
            __atomic_add_fetch(&self->released, 1, __ATOMIC_SEQ_CST);
        return 0;
    }
    int Released() const { return AtomicRead(&released); }
};

TEST(EventTest, AutoResetSetReleasesOneWaiterAtATime) {
    TwoWaiters waiters;
    ASSERT_TRUE(waiters.event.Create(false, false));
    Thread first, second;
    ASSERT_TRUE(first.Create(&TwoWaiters::Wait, &waiters, false));
    ASSERT_TRUE(second.Create(&TwoWaiters::Wait, &waiters, false));
    waiters.event.Set();
    ASSERT_TRUE(Eventually([&] { return waiters.Released() == 1; }));
    // The second waiter must still be blocked however long we look.
    SleepAlertable(100);
    EXPECT_EQ(waiters.Released(), 1);
    waiters.event.Set();
    EXPECT_TRUE(first.Wait(_GENEROUS));
    EXPECT_TRUE(second.Wait(_GENEROUS));
    EXPECT_EQ(waiters.Released(), 2);
}

TEST(EventTest, ManualResetSetReleasesEveryWaiter) {
    TwoWaiters waiters;
    ASSERT_TRUE(waiters.event.Create(true, false));
    Thread first, second;
    ASSERT_TRUE(first.Create(&TwoWaiters::Wait, &waiters, false));
    ASSERT_TRUE(second.Create(&TwoWaiters::Wait, &waiters, false));
    waiters.event.Set();
    EXPECT_TRUE(first.Wait(_GENEROUS));
    EXPECT_TRUE(second.Wait(_GENEROUS));
    EXPECT_EQ(waiters.Released(), 2);
}

// ---------------------------------------------------------------------------------------
// Critical sections

struct SharedCounter {
    static constexpr int _ROUNDS = 100000;
    CriticalSection lock;
    int value = 0;   // deliberately plain: only the lock keeps the increments whole
    int inside = 0;  // threads inside the lock at once, above 1 = broken exclusion
    int overlaps = 0;
    static _dword Work(void* parameter) {
        SharedCounter* self = static_cast<SharedCounter*>(parameter);
        for (int i = 0; i < _ROUNDS; i++) {
            ScopedLock hold(self->lock);
            if (++self->inside != 1)
                self->overlaps++;
            int seen = self->value;
            self->value = seen + 1;
            self->inside--;
        }
        return 0;
    }
};

TEST(CriticalSectionTest, TwoThreadsNeverHoldTheLockTogether) {
    SharedCounter counter;
    Thread first, second;
    ASSERT_TRUE(first.Create(&SharedCounter::Work, &counter, true));
    ASSERT_TRUE(second.Create(&SharedCounter::Work, &counter, true));
    first.Resume();
    second.Resume();
    ASSERT_TRUE(first.Wait(_GENEROUS * 6));
    ASSERT_TRUE(second.Wait(_GENEROUS * 6));
    EXPECT_EQ(counter.value, 2 * SharedCounter::_ROUNDS);
    EXPECT_EQ(counter.overlaps, 0);
}

TEST(CriticalSectionTest, OwnerMayEnterAgainAndOthersWaitForTheLastLeave) {
    CriticalSection lock;
    lock.Enter();
    lock.Enter();
    volatile int taken = 0;
    auto other = MakeRunner([&] {
        lock.Enter();
        AtomicExchange(&taken, 1);
        lock.Leave();
    });
    ASSERT_TRUE(other.Start());
    lock.Leave();
    SleepAlertable(50);
    EXPECT_EQ(AtomicRead(&taken), 0) << "one Leave of two must keep the lock";
    lock.Leave();
    EXPECT_TRUE(other.mThread.Wait(_GENEROUS));
    EXPECT_EQ(AtomicRead(&taken), 1);
}

// ---------------------------------------------------------------------------------------
// Threads, sleeps, exchanges and the clock

TEST(ThreadTest, SuspendedThreadRunsOnlyAfterResumeAndReportsItsId) {
    volatile int ran = 0;
    volatile int id = 0;
    auto runner = MakeRunner([&] {
        AtomicExchange(&id, int(CurrentThreadId()));
        AtomicExchange(&ran, 1);
    });
    ASSERT_TRUE(runner.Start(true));
    EXPECT_FALSE(runner.Start(false)) << "a Thread holds one thread";
    EXPECT_FALSE(runner.mThread.Wait(50));
    EXPECT_EQ(AtomicRead(&ran), 0);
    ASSERT_TRUE(runner.mThread.Resume());
    ASSERT_TRUE(runner.mThread.Wait(_GENEROUS));
    EXPECT_EQ(AtomicRead(&ran), 1);
    EXPECT_EQ(_dword(AtomicRead(&id)), runner.mThread.Id());
    EXPECT_NE(runner.mThread.Id(), CurrentThreadId());
}

TEST(ThreadTest, ClosingASuspendedThreadNeverRunsIt) {
    volatile int ran = 0;
    {
        auto runner = MakeRunner([&] { AtomicExchange(&ran, 1); });
        ASSERT_TRUE(runner.Start(true));
        runner.mThread.Close();
        EXPECT_FALSE(runner.mThread.IsValid());
    }
    SleepAlertable(50);
    EXPECT_EQ(AtomicRead(&ran), 0);
}

TEST(ThreadTest, AlertEndsAnAlertableSleepEvenWhenSentBeforeIt) {
    for (bool alertFirst : {false, true}) {
        Event running, ready;
        ASSERT_TRUE(running.Create(true, false));
        ASSERT_TRUE(ready.Create(true, false));
        volatile int alerted = -1;
        auto sleeper = MakeRunner([&] {
            running.Set();
            ready.Wait(_GENEROUS);
            AtomicExchange(&alerted, SleepAlertable(_GENEROUS * 6) ? 1 : 0);
        });
        ASSERT_TRUE(sleeper.Start());
        ASSERT_TRUE(running.Wait(_GENEROUS));
        if (alertFirst) {
            ASSERT_TRUE(sleeper.mThread.Alert());
            ready.Set();
        } else {
            ready.Set();
            SleepAlertable(20);
            ASSERT_TRUE(sleeper.mThread.Alert());
        }
        ASSERT_TRUE(sleeper.mThread.Wait(_GENEROUS * 2)) << "alert first: " << alertFirst;
        EXPECT_EQ(AtomicRead(&alerted), 1);
    }
}

TEST(ThreadTest, PlainSleepWithoutAlertReportsNoAlert) { EXPECT_FALSE(SleepAlertable(1)); }

TEST(ThreadTest, ExchangesReturnThePreviousValue) {
    volatile int word = 7;
    EXPECT_EQ(AtomicExchange(&word, -1), 7);
    EXPECT_EQ(AtomicRead(&word), -1);
    volatile float progress = 0.25f;
    EXPECT_EQ(AtomicExchangeFloat(&progress, 1.0f), 0.25f);
    EXPECT_EQ(AtomicReadFloat(&progress), 1.0f);
}

TEST(ThreadTest, PerformanceCounterAdvancesAndConvertsToMilliseconds) {
    _qword frequency = PerformanceFrequency();
    ASSERT_NE(frequency, 0u);
    _qword start = PerformanceCounter();
    SleepAlertable(2);
    _qword end = PerformanceCounter();
    EXPECT_GE(end, start);
    EXPECT_GE(ElapsedMilliseconds(start, end), 0.0);
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(start, start + frequency), 1000.0);
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(start, start + frequency / 4), 250.0);
    EXPECT_DOUBLE_EQ(ElapsedMilliseconds(start, start), 0.0);
}

TEST(ThreadTest, UIThreadIsTheFirstOneRecorded) {
    RecordUIThread();
    EXPECT_TRUE(IsUIThread());
    volatile int otherIsUI = -1;
    auto other = MakeRunner([&] {
        RecordUIThread();  // too late: the first record stays
        AtomicExchange(&otherIsUI, IsUIThread() ? 1 : 0);
    });
    ASSERT_TRUE(other.Start());
    ASSERT_TRUE(other.mThread.Wait(_GENEROUS));
    EXPECT_EQ(AtomicRead(&otherIsUI), 0);
    EXPECT_TRUE(IsUIThread());
}

// ---------------------------------------------------------------------------------------
// Worker thread

// What the tasks of one test saw, written on the worker thread and read after Stop.
struct Journal {
    CriticalSection lock;
    std::vector<int> runs;  // task values in run order
    Event done;
    int stopAfter = -1;     // set done when this many runs are recorded

    Journal() { done.Create(true, false); }
    void Record(int value) {
        ScopedLock hold(lock);
        runs.push_back(value);
        if (int(runs.size()) == stopAfter)
            done.Set();
    }
    std::vector<int> Runs() {
        ScopedLock hold(lock);
        return runs;
    }
    int RunsOf(int value) {
        ScopedLock hold(lock);
        int n = 0;
        for (int run : runs)
            n += run == value;
        return n;
    }
};

// Values encode how often a task asks to run: value / 100 is its run count, value % 100 its
// name, so one function serves every task of a test.
bool CountedTask(WorkerThread*, void* userData, int value) {
    Journal* journal = static_cast<Journal*>(userData);
    journal->Record(value);
    return journal->RunsOf(value) < value / 100;
}

bool OnceTask(WorkerThread*, void* userData, int value) {
    static_cast<Journal*>(userData)->Record(value);
    return false;
}

TEST(WorkerThreadTest, ConstructedWorkerIsStoppedWithTheDefaultPeriod) {
    WorkerThread worker;
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_FALSE(worker.IsStopRequested());
    EXPECT_EQ(worker.Period(), 100);
    EXPECT_EQ(worker.QueuedTasks(), 0u);
    // Stop on a worker that never started returns at once and changes nothing.
    worker.Stop();
    EXPECT_FALSE(worker.IsStopRequested());
    EXPECT_EQ(worker.Period(), 100);
    EXPECT_TRUE(worker.AddTask(CountedTask, nullptr, 0));
    EXPECT_EQ(worker.QueuedTasks(), 1u);
}

TEST(WorkerThreadTest, RepeatingTasksRunOncePerPassInterleavedInQueueOrder) {
    Journal journal;
    journal.stopAfter = 6;
    WorkerThread worker;
    // a: three runs, b: one, c: two.
    ASSERT_TRUE(worker.AddTask(CountedTask, &journal, 301));
    ASSERT_TRUE(worker.AddTask(CountedTask, &journal, 102));
    ASSERT_TRUE(worker.AddTask(CountedTask, &journal, 203));
    ASSERT_TRUE(worker.Start(1, false));
    EXPECT_TRUE(worker.IsRunning());
    ASSERT_TRUE(journal.done.Wait(_GENEROUS));
    worker.Stop();
    EXPECT_EQ(journal.Runs(), (std::vector<int>{301, 102, 203, 301, 203, 301}));
}

bool ForeverTask(WorkerThread*, void* userData, int value) {
    static_cast<Journal*>(userData)->Record(value);
    return true;
}

// Adds a task to its own worker: only possible when tasks run without the queue lock.
bool AddingTask(WorkerThread* worker, void* userData, int value) {
    Journal* journal = static_cast<Journal*>(userData);
    journal->Record(value);
    worker->AddTask(ForeverTask, journal, value + 1);
    journal->done.Set();
    return false;
}

TEST(WorkerThreadTest, APassRunsOnlyWhatWasQueuedAtItsStart) {
    Journal journal;
    WorkerThread worker;
    ASSERT_TRUE(worker.AddTask(ForeverTask, &journal, 1));
    ASSERT_TRUE(worker.AddTask(AddingTask, &journal, 10));
    // A minute between passes: within this test only the first pass can run, and Stop has to
    // cut the sleep short.
    ASSERT_TRUE(worker.Start(60000, false));
    ASSERT_TRUE(journal.done.Wait(_GENEROUS));
    SleepAlertable(100);
    EXPECT_EQ(journal.Runs(), (std::vector<int>{1, 10})) << "the put-back task and the added one wait";
    EXPECT_EQ(worker.QueuedTasks(), 2u);
    worker.Stop();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.QueuedTasks(), 0u) << "Stop drops what is queued";
    EXPECT_EQ(journal.RunsOf(11), 0);
}

TEST(WorkerThreadTest, StopRequestRefusesNewTasksUntilTheNextStart) {
    Journal journal;
    journal.stopAfter = 1;
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(1, false));
    EXPECT_FALSE(worker.Start(1, false)) << "one thread per worker";
    worker.Stop();
    EXPECT_TRUE(worker.IsStopRequested());
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_FALSE(worker.AddTask(CountedTask, &journal, 7));
    EXPECT_EQ(worker.QueuedTasks(), 0u);

    // A stopped worker starts again and runs what it gets.
    ASSERT_TRUE(worker.Start(1, false));
    EXPECT_FALSE(worker.IsStopRequested());
    ASSERT_TRUE(worker.AddTask(CountedTask, &journal, 8));
    ASSERT_TRUE(journal.done.Wait(_GENEROUS));
    worker.Stop();
    EXPECT_EQ(journal.Runs(), (std::vector<int>{8}));
}

TEST(WorkerThreadTest, StopOfASuspendedWorkerEndsItWithoutRunningTasks) {
    Journal journal;
    WorkerThread worker;
    ASSERT_TRUE(worker.AddTask(CountedTask, &journal, 5));
    ASSERT_TRUE(worker.Start(1, true));
    SleepAlertable(50);
    EXPECT_TRUE(journal.Runs().empty());
    worker.Stop();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_TRUE(journal.Runs().empty());
}

struct Gate {
    Event open;
    Event entered;
    volatile int idleInside = -1;
    Gate() {
        open.Create(true, false);
        entered.Create(true, false);
    }
    static bool Task(WorkerThread* worker, void* userData, int) {
        Gate* gate = static_cast<Gate*>(userData);
        AtomicExchange(&gate->idleInside, worker->IsIdle() ? 1 : 0);
        gate->entered.Set();
        gate->open.Wait(_GENEROUS);
        return false;
    }
};

TEST(WorkerThreadTest, IdleFlagFollowsTheQueueAtPassStart) {
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(1, false));
    EXPECT_TRUE(Eventually([&] { return worker.IsIdle(); }));
    Gate gate;
    ASSERT_TRUE(worker.AddTask(&Gate::Task, &gate, 0));
    ASSERT_TRUE(gate.entered.Wait(_GENEROUS));
    EXPECT_EQ(AtomicRead(&gate.idleInside), 0);
    EXPECT_FALSE(worker.IsIdle());
    gate.open.Set();
    EXPECT_TRUE(Eventually([&] { return worker.IsIdle(); }));
    worker.Stop();
}

TEST(WorkerThreadTest, QueueGrowsWhileRunningAndKeepsOrder) {
    Journal journal;
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(1, false));
    // Run a few tasks first so the ring's front has moved away from slot 0 before it grows.
    journal.stopAfter = 10;
    for (int i = 0; i < 10; i++)
        ASSERT_TRUE(worker.AddTask(OnceTask, &journal, i));
    ASSERT_TRUE(journal.done.Wait(_GENEROUS));
    ASSERT_EQ(worker.QueueCapacity(), 16u);

    Gate gate;
    ASSERT_TRUE(worker.AddTask(&Gate::Task, &gate, 0));
    ASSERT_TRUE(gate.entered.Wait(_GENEROUS));
    journal.done.Reset();
    journal.stopAfter = 10 + 40;
    for (int i = 0; i < 40; i++)
        ASSERT_TRUE(worker.AddTask(OnceTask, &journal, 1000 + i));
    EXPECT_EQ(worker.QueuedTasks(), 40u);
    EXPECT_EQ(worker.QueueCapacity(), 64u) << "16, 32, 64";
    gate.open.Set();
    ASSERT_TRUE(journal.done.Wait(_GENEROUS));
    worker.Stop();

    std::vector<int> expected;
    for (int i = 0; i < 10; i++)
        expected.push_back(i);
    for (int i = 0; i < 40; i++)
        expected.push_back(1000 + i);
    EXPECT_EQ(journal.Runs(), expected);
}

struct Producer {
    static constexpr int _TASKS = 300;
    WorkerThread* worker;
    Journal* journal;
    int base;
    static _dword Work(void* parameter) {
        Producer* self = static_cast<Producer*>(parameter);
        for (int i = 0; i < _TASKS; i++)
            self->worker->AddTask(OnceTask, self->journal, self->base + i);
        return 0;
    }
};

TEST(WorkerThreadTest, TasksAddedFromOtherThreadsAllRunInTheirOrder) {
    constexpr int _PRODUCERS = 3;
    Journal journal;
    journal.stopAfter = _PRODUCERS * Producer::_TASKS;
    WorkerThread worker;
    ASSERT_TRUE(worker.Start(0, false));
    Producer producers[_PRODUCERS];
    Thread threads[_PRODUCERS];
    for (int p = 0; p < _PRODUCERS; p++) {
        producers[p] = Producer{&worker, &journal, p * Producer::_TASKS};
        ASSERT_TRUE(threads[p].Create(&Producer::Work, &producers[p], false));
    }
    for (Thread& thread : threads)
        ASSERT_TRUE(thread.Wait(_GENEROUS));
    ASSERT_TRUE(journal.done.Wait(_GENEROUS * 3));
    worker.Stop();

    std::vector<int> runs = journal.Runs();
    ASSERT_EQ(runs.size(), size_t(_PRODUCERS * Producer::_TASKS));
    std::vector<int> last(_PRODUCERS, -1);
    for (int value : runs) {
        int p = value / Producer::_TASKS;
        ASSERT_GE(p, 0);
        ASSERT_LT(p, _PRODUCERS);
        EXPECT_GT(value, last[p]) << "tasks of one producer run in the order it added them";
        last[p] = value;
    }
}

bool RecordThreadTask(WorkerThread*, void* userData, int value) {
    Journal* journal = static_cast<Journal*>(userData);
    journal->Record(int(CurrentThreadId()));
    journal->Record(value);
    return false;
}

TEST(WorkerThreadTest, RunTaskRunsOneTaskOnItsOwnThread) {
    Journal journal;
    journal.stopAfter = 2;
    WorkerThread* worker = WorkerThread::RunTask(RecordThreadTask, &journal);
    ASSERT_NE(worker, nullptr);
    EXPECT_EQ(worker->Period(), 100);
    ASSERT_TRUE(journal.done.Wait(_GENEROUS));
    std::vector<int> runs = journal.Runs();
    EXPECT_EQ(_dword(runs[0]), worker->ThreadId());
    EXPECT_NE(_dword(runs[0]), CurrentThreadId());
    EXPECT_EQ(runs[1], 0) << "the task's value";
    delete worker;
}

bool SelfStoppingTask(WorkerThread* worker, void* userData, int) {
    worker->Stop();
    static_cast<Journal*>(userData)->done.Set();
    return false;
}

TEST(WorkerThreadTest, StopFromOwnTaskIsReportedAndOnlyRequests) {
    VoluxTest::LogCapture log;
    Journal journal;
    WorkerThread worker;
    ASSERT_TRUE(worker.AddTask(SelfStoppingTask, &journal, 0));
    ASSERT_TRUE(worker.Start(1, false));
    ASSERT_TRUE(journal.done.Wait(_GENEROUS)) << "a task stopping its worker must not wait for itself";
    EXPECT_TRUE(worker.IsStopRequested());
    worker.Stop();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_NE(log.error.find(u"Assertion Failed : sCurrentWorker != this"), std::u16string::npos)
        << VoluxTest::Narrow(log.error);
}

} // namespace
