// The transfer layer against the local game server over loopback: outputs, ranges and
// resume, redirects, time-outs, progress, abort, queued transfers and every misbehaviour the
// server offers.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "Common/ByteBuffer.h"
#include "Platform/File.h"
#include "Platform/Thread.h"
#include "Platform/WorkerThread.h"
#include "Storage/WebTransfer.h"
#include "Support/GameServer.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"

using namespace Volux;
using namespace VoluxTest;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A tag makes a test's requests findable in the server log.
std::string Tagged(const std::string& tag, const std::string& rest) { return "/tag=" + tag + rest; }

struct Fetched {
    bool ok;
    float progress;
    int code;
    std::string body;
};

// Fetches into a buffer; progress starts at a value no transfer writes, so an untouched float shows.
Fetched FetchBuffer(const WString& address, int64_t begin = 0, int64_t end = -1, int timeout = 0) {
    ByteBuffer buffer;
    volatile float progress = -2.0f;
    WebRequest request;
    request.address = address;
    request.output = WebRequest::_BUFFER;
    request.buffer = &buffer;
    request.progress = &progress;
    request.begin = begin;
    request.end = end;
    request.timeout = timeout;
    bool ok = FetchOffThread(request);
    return Fetched{ok, AtomicReadFloat(&progress), request.responseCode, Bytes(buffer)};
}

void AppendPiece(const _byte* bytes, _dword length, _qword delivered, void* argument1, void* argument2) {
    std::string* out = static_cast<std::string*>(argument1);
    // Pieces arrive in order: delivered counts what came before.
    EXPECT_EQ(delivered, out->size());
    EXPECT_EQ(argument2, out);
    out->append(reinterpret_cast<const char*>(bytes), length);
}

} // namespace

TEST(WebTransfer, WholeBodyReachesEachOutputWithProgressOne) {
    REQUIRE_GAME_SERVER();
    const int64_t size = 300000;
    const std::string expected = Pattern(0, size);
    ScratchFolder folder;

    Fetched buffer = FetchBuffer(ServerUrl("/gen/300000"));
    EXPECT_TRUE(buffer.ok);
    EXPECT_EQ(buffer.code, 200);
    EXPECT_EQ(buffer.progress, 1.0f);
    EXPECT_TRUE(buffer.body == expected);

    WebRequest toFile;
    volatile float progress = 0;
    toFile.address = ServerUrl("/gen/300000");
    toFile.output = WebRequest::_FILE;
    toFile.filePath = folder.At(u"sub\\body.bin");
    toFile.progress = &progress;
    ASSERT_TRUE(FetchOffThread(toFile));
    EXPECT_EQ(progress, 1.0f);
    EXPECT_EQ(toFile.received, size);
    ByteBuffer onDisk;
    ASSERT_TRUE(FileSystem::ReadFile(toFile.filePath, onDisk));
    EXPECT_TRUE(Bytes(onDisk) == expected);

    std::string streamed;
    WebRequest toStream;
    toStream.address = ServerUrl("/gen/300000");
    toStream.output = WebRequest::_STREAM;
    toStream.stream = &AppendPiece;
    toStream.streamArgument1 = &streamed;
    toStream.streamArgument2 = &streamed;
    ASSERT_TRUE(FetchOffThread(toStream));
    EXPECT_TRUE(streamed == expected);

    // An empty body is a success that leaves an empty file.
    WebRequest empty;
    empty.address = ServerUrl("/gen/0");
    empty.output = WebRequest::_FILE;
    empty.filePath = folder.At(u"empty.bin");
    ASSERT_TRUE(FetchOffThread(empty));
    EXPECT_TRUE(FileSystem::IsFile(empty.filePath));
}

TEST(WebTransfer, TemporaryConnectionLogsBothEndsAndTheCode) {
    REQUIRE_GAME_SERVER();
    LogCapture log;
    Fetched fetched = FetchBuffer(ServerUrl("/gen/10"));
    ASSERT_TRUE(fetched.ok);
    std::string trace = Narrow(log.trace);
    std::string port = GameServerHost().substr(GameServerHost().find(':'));
    EXPECT_NE(trace.find("[WS] Web download finish : 127.0.0.1:"), std::string::npos) << trace;
    EXPECT_NE(trace.find(" <-> 127.0.0.1" + port + " (200)"), std::string::npos) << trace;
}

TEST(WebTransfer, RangesAndResumeDeliverExactlyTheAskedBytes) {
    REQUIRE_GAME_SERVER();
    struct Case {
        const char* name;
        int64_t begin, end;
        int64_t bodyFirst, bodyCount;  // the pattern bytes expected in the buffer
        const char* rangeHeader;       // what the server must have seen, "" = none
    } cases[] = {
        {"whole", 0, -1, 0, 100000, ""},
        {"bounded", 1000, 2000, 1000, 1000, "range=bytes=1000-1999"},
        {"from the start", 0, 10, 0, 10, "range=bytes=0-9"},
        {"open-ended", 5000, -1, 5000, 95000, "range=bytes=5000-"},
        {"past the end is cut by the server", 99000, 200000, 99000, 1000, "range=bytes=99000-199999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string tag = std::string("range-") + std::to_string(c.begin) + "-" + std::to_string(c.end);
        Fetched fetched = FetchBuffer(ServerUrl(Tagged(tag, "/gen/100000")), c.begin, c.end);
        EXPECT_TRUE(fetched.ok);
        EXPECT_EQ(fetched.progress, 1.0f);
        EXPECT_TRUE(fetched.body == Pattern(c.bodyFirst, c.bodyCount)) << fetched.body.size();
        std::string line = LogLinesWith(ServerLog(), "/tag=" + tag + "/");
        if (c.rangeHeader[0] == 0) {
            EXPECT_EQ(line.find("range="), std::string::npos) << line;
        } else {
            EXPECT_NE(line.find(c.rangeHeader), std::string::npos) << line;
        }
    }
}

TEST(WebTransfer, ResumeAppendsAfterThePresentBytesOfTheFile) {
    REQUIRE_GAME_SERVER();
    ScratchFolder folder;
    WString path = folder.At(u"resume.bin");
    // The first 40000 bytes are there, followed by junk a broken earlier run left.
    std::string start = Pattern(0, 40000) + "junk";
    ASSERT_TRUE(FileSystem::WriteFile(path, start.data(), _dword(start.size())));
    volatile float progress = 0;
    WebRequest request;
    request.address = ServerUrl(Tagged("resume", "/gen/100000"));
    request.output = WebRequest::_FILE;
    request.filePath = path;
    request.present = 40000;
    request.progress = &progress;
    ASSERT_TRUE(FetchOffThread(request));
    EXPECT_EQ(progress, 1.0f);
    ByteBuffer onDisk;
    ASSERT_TRUE(FileSystem::ReadFile(path, onDisk));
    EXPECT_TRUE(Bytes(onDisk) == Pattern(0, 100000));
    EXPECT_NE(LogLinesWith(ServerLog(), "/tag=resume/").find("range=bytes=40000-"), std::string::npos);
}

TEST(WebTransfer, RedirectsUpToEightAreFollowedTheNinthFails) {
    REQUIRE_GAME_SERVER();
    struct Case {
        const char* path;
        bool ok;
        const char* logged;  // part of the failure line
    } cases[] = {
        {"/redirect=1/gen/64", true, ""},
        {"/redirect=8/gen/64", true, ""},
        {"/redirect=9/gen/64", false, "[WS] Too many redirects"},
        {"/loop/gen/64", false, "[WS] Too many redirects"},
        {"/location=ftp/gen/64", false, "[WS] Redirect to another scheme refused"},
        {"/location=file/gen/64", false, "[WS] Redirect to another scheme refused"},
        {"/location=long/gen/64", false, "[WS] Redirect target too long"},
        {"/location=huge/gen/64", false, "[WS] Web download failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        LogCapture log;
        Fetched fetched = FetchBuffer(ServerUrl(c.path));
        EXPECT_EQ(fetched.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(fetched.progress, 1.0f);
            EXPECT_TRUE(fetched.body == Pattern(0, 64));
        } else {
            EXPECT_EQ(fetched.progress, 0.0f);
            EXPECT_TRUE(fetched.body.empty()) << "a redirect body was delivered";
            EXPECT_NE(Narrow(log.trace).find(c.logged), std::string::npos) << Narrow(log.trace);
        }
    }
}

TEST(WebTransfer, ConnectionRemembersTheRedirectTarget) {
    REQUIRE_GAME_SERVER();
    WebConnection* connection = CreateConnection(false);
    ASSERT_NE(connection, nullptr);
    WString address = ServerUrl("/redirect=2/tag=remembered/gen/32");
    for (int round = 0; round < 2; round++) {
        ByteBuffer buffer;
        WebRequest request;
        request.address = address;
        request.output = WebRequest::_BUFFER;
        request.buffer = &buffer;
        request.connection = connection;
        ASSERT_TRUE(FetchOffThread(request));
        EXPECT_TRUE(Bytes(buffer) == Pattern(0, 32));
    }
    DestroyConnection(connection);
    // Two hops the first time; the second fetch goes straight to the last target.
    std::string lines = LogLinesWith(ServerLog(), "/tag=remembered/");
    EXPECT_EQ(LogLinesWith(lines, "redirect=2").size() > 0, true) << lines;
    EXPECT_EQ(LogLinesWith(lines, " GET /tag=remembered/gen/32 200"),
              std::string("gen 127.0.0.1 GET /tag=remembered/gen/32 200\n") +
                  "gen 127.0.0.1 GET /tag=remembered/gen/32 200\n")
        << lines;
    EXPECT_EQ(LogLinesWith(lines, "redirect=2/").size(), LogLinesWith(lines, "redirect=2/").find('\n') + 1) << lines;
}

TEST(WebTransfer, TimeOutCountsWholeSecondsAtLeastOne) {
    struct Case {
        int milliseconds;
        long seconds;
    } cases[] = {{0, 0}, {-1, 0}, {1, 1}, {500, 1}, {999, 1}, {1000, 1}, {1999, 1}, {2500, 2}, {60000, 60}};
    for (const Case& c : cases)
        EXPECT_EQ(TransferTimeoutSeconds(c.milliseconds), c.seconds) << c.milliseconds;
}

TEST(WebTransfer, StalledServerEndsAtTheRoundedTimeOut) {
    REQUIRE_GAME_SERVER();
    Clock::time_point start = Clock::now();
    Fetched fetched = FetchBuffer(ServerUrl("/stall/gen/64"), 0, -1, 500);
    double seconds = SecondsSince(start);
    EXPECT_FALSE(fetched.ok);
    EXPECT_EQ(fetched.progress, 0.0f);
    // 500 ms counts as one second, not half of one and not none.
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 4.0);
}

TEST(WebTransfer, MisbehavingServerGivesTheBodyOrAReportedFailure) {
    REQUIRE_GAME_SERVER();
    struct Case {
        const char* path;
        int64_t begin, end;
        int timeout;
        bool ok;
        const char* logged;  // part of the failure line
    } cases[] = {
        {"/status=503/gen/1000", 0, -1, 0, false, "[WS] Web download failed"},
        {"/status=404/gen/1000", 0, -1, 0, false, "[WS] Web download failed"},
        {"/ignore-range/gen/100000", 1000, 2000, 0, false, "[WS] Range answer does not match the request"},
        {"/ignore-range/gen/100000", 1000, -1, 0, false, "[WS] Range answer does not match the request"},
        {"/wrong-range/gen/100000", 1000, 2000, 0, false, "[WS] Range answer does not match the request"},
        {"/close-after=5000/gen/100000", 0, -1, 0, false, "[WS] Web download failed"},
        {"/close-after=10/gen/100000", 1000, 2000, 0, false, "[WS] Web download failed"},
        {"/stall-after=1000/gen/100000", 0, -1, 1000, false, "[WS] Web download failed"},
        {"/redirect=2/status=500/gen/64", 0, -1, 0, false, "[WS] Web download failed"},
        {"/redirect=3/close-after=100/gen/1000", 0, -1, 0, false, "[WS] Web download failed"},
        {"/slow=400000/gen/100000", 0, -1, 0, true, ""},
        {"/redirect=2/slow=400000/gen/100000", 500, 90000, 0, true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.path << " " << c.begin << "-" << c.end);
        LogCapture log;
        Fetched fetched = FetchBuffer(ServerUrl(c.path), c.begin, c.end, c.timeout);
        EXPECT_EQ(fetched.ok, c.ok);
        if (c.ok) {
            EXPECT_EQ(fetched.progress, 1.0f);
            int64_t last = c.end < 0 ? 100000 : c.end;
            EXPECT_TRUE(fetched.body == Pattern(c.begin, last - c.begin));
        } else {
            EXPECT_EQ(fetched.progress, 0.0f);
            // A refused range delivers nothing; a cut body only the correct bytes before the cut.
            int64_t first = c.begin;
            EXPECT_TRUE(fetched.body == Pattern(first, int64_t(fetched.body.size())));
            if (std::string(c.logged).find("Range") != std::string::npos) {
                EXPECT_TRUE(fetched.body.empty());
            }
            EXPECT_NE(Narrow(log.trace).find(c.logged), std::string::npos) << Narrow(log.trace);
        }
    }
}

TEST(WebTransfer, OnlyHttpAddressesAreFetched) {
    REQUIRE_GAME_SERVER();
    const char* addresses[] = {"file:///etc/hostname", "ftp://127.0.0.1/x", "gopher://127.0.0.1/", "no address", ""};
    for (const char* address : addresses) {
        SCOPED_TRACE(address);
        LogCapture log;
        Fetched fetched = FetchBuffer(WideOf(address));
        EXPECT_FALSE(fetched.ok);
        EXPECT_TRUE(fetched.body.empty());
        EXPECT_EQ(fetched.progress, 0.0f);
        EXPECT_NE(Narrow(log.trace).find("[WS] Web download failed"), std::string::npos);
    }
}

TEST(WebTransfer, UntrustedCertificateIsRefused) {
    REQUIRE_GAME_SERVER();
    std::string port = ServerPort("TLS");
    if (port.empty() || port == "0")
        GTEST_SKIP() << "the game server has no TLS port";
    LogCapture log;
    Fetched fetched = FetchBuffer(WideOf("https://127.0.0.1:" + port + "/tag=untrusted/gen/64"));
    EXPECT_FALSE(fetched.ok);
    EXPECT_TRUE(fetched.body.empty());
    EXPECT_EQ(fetched.progress, 0.0f);
    EXPECT_NE(Narrow(log.trace).find("[WS] "), std::string::npos);
    // Refused before the request went out.
    EXPECT_EQ(LogLinesWith(ServerLog(), "tag=untrusted"), "");
}

TEST(WebTransfer, ProgressStaysBelowOneUntilSuccessAndDropsToZeroOnFailure) {
    REQUIRE_GAME_SERVER();
    struct Case {
        const char* path;
        WebFetchState end;
        float last;
    } cases[] = {
        {"/slow=200000/gen/200000", _FETCH_SUCCEEDED, 1.0f},
        {"/slow=200000/close-after=120000/gen/200000", _FETCH_FAILED, 0.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        ByteBuffer buffer;
        volatile float progress = 0;
        WebRequest request;
        request.address = ServerUrl(c.path);
        request.output = WebRequest::_BUFFER;
        request.buffer = &buffer;
        request.progress = &progress;
        WebBackgroundFetch* fetch = FetchInBackground(request);
        ASSERT_NE(fetch, nullptr);
        float seen = 0, highest = 0;
        bool between = false, decreased = false, sawOne = false;
        Clock::time_point start = Clock::now();
        while (BackgroundFetchState(fetch) == _FETCH_RUNNING && SecondsSince(start) < 20) {
            seen = AtomicReadFloat(&progress);
            if (seen < highest)
                decreased = true;
            if (seen > highest)
                highest = seen;
            if (seen == 1.0f && !sawOne) {
                sawOne = true;
                // 1.0 means the output is complete: it may be taken at once.
                EXPECT_EQ(buffer.size, 200000u);
            }
            if (seen > 0.1f && seen < 0.9f)
                between = true;
            SleepAlertable(5);
        }
        EXPECT_EQ(BackgroundFetchState(fetch), c.end);
        if (c.end == _FETCH_FAILED) {
            EXPECT_FALSE(sawOne);
        }
        EXPECT_TRUE(between) << "no progress was seen on the way";
        EXPECT_FALSE(decreased);
        EXPECT_EQ(AtomicReadFloat(&progress), c.last);
        EndBackgroundFetch(fetch);
    }
}

TEST(WebTransfer, StoppingTheWorkerAbortsItsTransfer) {
    REQUIRE_GAME_SERVER();
    struct Job {
        WebRequest request;
        volatile int started = 0;
        volatile int result = -1;
    } job;
    ByteBuffer buffer;
    job.request.address = ServerUrl("/stall/gen/64");
    job.request.output = WebRequest::_BUFFER;
    job.request.buffer = &buffer;
    WorkerThread worker;
    job.request.abortSource = &worker;
    ASSERT_TRUE(worker.AddTask(
        [](WorkerThread*, void* user, int) {
            Job* j = static_cast<Job*>(user);
            AtomicExchange(&j->started, 1);
            AtomicExchange(&j->result, Fetch(j->request) ? 1 : 0);
            return false;
        },
        &job, 0));
    LogCapture log;
    ASSERT_TRUE(worker.Start(10, false));
    while (AtomicRead(&job.started) == 0)
        SleepAlertable(5);
    SleepAlertable(300);  // the request is at the server, which never answers
    Clock::time_point start = Clock::now();
    worker.Stop();
    EXPECT_LT(SecondsSince(start), 1.0);
    EXPECT_EQ(AtomicRead(&job.result), 0);
    EXPECT_NE(Narrow(log.trace).find("[WS] Web download aborted at thread"), std::string::npos) << Narrow(log.trace);
}

TEST(WebTransfer, EndingABackgroundFetchAbortsItAtOnce) {
    REQUIRE_GAME_SERVER();
    ByteBuffer buffer;
    volatile float progress = 0;
    WebRequest request;
    request.address = ServerUrl("/slow=20000/gen/1000000");
    request.output = WebRequest::_BUFFER;
    request.buffer = &buffer;
    request.progress = &progress;
    WebBackgroundFetch* fetch = FetchInBackground(request);
    ASSERT_NE(fetch, nullptr);
    SleepAlertable(300);
    EXPECT_EQ(BackgroundFetchState(fetch), _FETCH_RUNNING);
    Clock::time_point start = Clock::now();
    EndBackgroundFetch(fetch);
    EXPECT_LT(SecondsSince(start), 0.5);
    EXPECT_LT(AtomicReadFloat(&progress), 1.0f);
}

TEST(WebTransfer, SynchronousFetchIsRefusedOnTheUIThread) {
    RecordUIThread();
    if (!IsUIThread())
        GTEST_SKIP() << "another thread of this test program is the UI thread";
    LogCapture log;
    volatile float progress = 0.5f;
    WebRequest request;
    request.address = u"http://127.0.0.1:9/";
    request.progress = &progress;
    EXPECT_FALSE(Fetch(request));
    EXPECT_EQ(AtomicReadFloat(&progress), 0.0f);
    EXPECT_NE(Narrow(log.trace).find("[WS] Web download refused on the UI thread"), std::string::npos);
}

TEST(WebTransfer, QueuedTransfersAdvanceByPumpsThatNeverBlock) {
    REQUIRE_GAME_SERVER();
    WebConnection* connection = CreateConnection(true);
    ASSERT_NE(connection, nullptr);
    ASSERT_TRUE(AddConnectionHeader(connection, u"X-Volux-Check: 1"));
    struct Item {
        const char* path;
        bool ok;
        std::string expected;
    } items[] = {
        {"/tag=queue1/slow=100000/gen/50000", true, Pattern(0, 50000)},
        {"/tag=queue2/redirect=2/gen/70000", true, Pattern(0, 70000)},
        {"/tag=queue3/stall-after=10/gen/100", false, ""},
        {"/tag=queue4/status=502/gen/10", false, ""},
        {"/tag=queue5/s?g=My_Game_2&p=p", true, "ok\n"},
    };
    const int count = sizeof(items) / sizeof(items[0]);
    ByteBuffer buffers[count];
    volatile float progress[count] = {};
    for (int i = 0; i < count; i++) {
        WebRequest request;
        request.address = ServerUrl(items[i].path);
        request.output = WebRequest::_BUFFER;
        request.buffer = &buffers[i];
        request.progress = &progress[i];
        request.connection = connection;
        request.timeout = 1000;
        ASSERT_TRUE(Fetch(request));  // queued, also on the UI thread
    }
    double longest = 0;
    Clock::time_point start = Clock::now();
    bool done = false;
    while (!done && SecondsSince(start) < 20) {
        Clock::time_point before = Clock::now();
        done = PumpConnection(connection);
        double took = SecondsSince(before);
        if (took > longest)
            longest = took;
        SleepAlertable(2);
    }
    EXPECT_TRUE(done);
    EXPECT_LT(longest, 0.1) << "a pump blocked";
    for (int i = 0; i < count; i++) {
        SCOPED_TRACE(items[i].path);
        EXPECT_EQ(AtomicReadFloat(&progress[i]), items[i].ok ? 1.0f : 0.0f);
        if (items[i].ok) {
            EXPECT_TRUE(Bytes(buffers[i]) == items[i].expected);
        }
    }
    DestroyConnection(connection);
    // One at a time, in the order queued.
    std::string log = LogLinesWith(ServerLog(), "/tag=queue");
    size_t previous = 0;
    for (int i = 1; i <= count; i++) {
        size_t at = log.find("/tag=queue" + std::to_string(i) + "/");
        EXPECT_NE(at, std::string::npos) << log;
        EXPECT_GE(at, previous) << log;
        previous = at;
    }
}

TEST(WebTransfer, DestroyingAConnectionDropsItsQueue) {
    REQUIRE_GAME_SERVER();
    WebConnection* connection = CreateConnection(true);
    ASSERT_NE(connection, nullptr);
    volatile float progress[2] = {0.5f, 0.5f};
    for (int i = 0; i < 2; i++) {
        WebRequest request;
        request.address = ServerUrl("/stall/gen/10");
        request.progress = &progress[i];
        request.connection = connection;
        ASSERT_TRUE(Fetch(request));
    }
    for (int i = 0; i < 5; i++)
        EXPECT_FALSE(PumpConnection(connection));
    DestroyConnection(connection);
    EXPECT_EQ(AtomicReadFloat(&progress[0]), 0.0f);
}

TEST(WebTransfer, ServerThatNeverAnswersEndsInAFailure) {
    REQUIRE_GAME_SERVER();
    std::string hole = ServerPort("BLACKHOLE");
    ASSERT_FALSE(hole.empty());
    // No time-outs of the request's own: the connect time-out and the low-speed limit end
    // these. Both run at once so the test waits only for the longer one.
    ByteBuffer buffers[2];
    volatile float progress[2] = {0.5f, 0.5f};
    const std::string addresses[2] = {"http://127.0.0.1:" + hole + "/gen/10", ""};
    WebBackgroundFetch* fetches[2];
    Clock::time_point start = Clock::now();
    for (int i = 0; i < 2; i++) {
        WebRequest request;
        request.address = i == 0 ? WideOf(addresses[0]) : ServerUrl("/stall/gen/10");
        request.output = WebRequest::_BUFFER;
        request.buffer = &buffers[i];
        request.progress = &progress[i];
        fetches[i] = FetchInBackground(request);
        ASSERT_NE(fetches[i], nullptr);
    }
    double ended[2] = {0, 0};
    while ((ended[0] == 0 || ended[1] == 0) && SecondsSince(start) < 30) {
        for (int i = 0; i < 2; i++)
            if (ended[i] == 0 && BackgroundFetchState(fetches[i]) != _FETCH_RUNNING)
                ended[i] = SecondsSince(start);
        SleepAlertable(20);
    }
    // Connecting gives up after 5 s (not 5000), a silent answer after 10 s.
    EXPECT_GE(ended[0], 4.5);
    EXPECT_LT(ended[0], 8.0);
    EXPECT_GE(ended[1], 9.0);
    EXPECT_LT(ended[1], 14.0);
    for (int i = 0; i < 2; i++) {
        EXPECT_EQ(BackgroundFetchState(fetches[i]), _FETCH_FAILED);
        EXPECT_EQ(AtomicReadFloat(&progress[i]), 0.0f);
        EndBackgroundFetch(fetches[i]);
    }
}
