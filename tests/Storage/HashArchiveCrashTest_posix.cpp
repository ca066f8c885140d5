// The crash test with a forked child killed by SIGKILL (see HashArchiveCrash.h).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "Storage/HashArchiveCrash.h"
#include "Support/LogCapture.h"
#include "Support/ScratchFolder.h"

using namespace Volux;
using namespace VoluxTest::Crash;

namespace {

TEST(HashArchiveCrash, EveryResourceIsOldOrNewAfterAKillAtAnyPoint) {
    VoluxTest::ScratchFolder folder;
    VoluxTest::LogCapture log;
    WString path = folder.At(u"crash.qod");
    ASSERT_TRUE(CreateArchive(path));
    std::mt19937 random(20240611);
    const int rounds = 120;
    for (int round = 0; round < rounds; round++) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RunWriter(path, unsigned(round + 1), [] {});
            _exit(3);
        }
        usleep(useconds_t(200 + random() % 15000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "writer ended by itself in round " << round;
        CheckArchive(path, round);
        if (HasFatalFailure())
            return;
    }
}

} // namespace
