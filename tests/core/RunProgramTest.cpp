// The program runner: the bounded read of a talkative program, a program that is not there, and
// the deadline: a program that never ends (or leaves a child holding its output, or closes its
// output and stays) is killed with whatever it started and reaped within the deadline, and what
// it printed before is kept. Real children and real time: the deadlines here are short.
#include "core/RunProgram.h"

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>

#include <fstream>
#include <string>

#include "gtest/gtest.h"

namespace {

long long ElapsedMs(const timespec& from) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)(now.tv_sec - from.tv_sec) * 1000 + (now.tv_nsec - from.tv_nsec) / 1000000;
}

// No child of this process is left, not even a zombie.
bool NoChildLeft() {
    int status;
    return waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
}

// The process is gone or a zombie that is no longer ours (its new parent reaps it).
bool NotRunning(pid_t pid) {
    if (pid <= 0) return false;
    for (int i = 0; i < 100; i++) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string line;
        if (!std::getline(stat, line)) return true;
        size_t close = line.rfind(')');
        if (close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z') return true;
        struct timespec ts = {0, 10 * 1000000L};
        nanosleep(&ts, nullptr);
    }
    return false;
}

TEST(RunProgram, KeepsTheFirstBytesAndDrainsTheRest) {
    char out[512];
    // Far more than a pipe holds: the runner must read it all before it waits.
    const char* const seq[] = {"seq", "1", "200000", nullptr};
    EXPECT_EQ(511, qx::RunRead(seq, out, sizeof(out)));
    EXPECT_EQ(511u, strlen(out));
    EXPECT_EQ(0, strncmp(out, "1\n2\n3\n", 6));

    const char* const echo[] = {"echo", "a;b $(x) `y`", nullptr};
    EXPECT_EQ(13, qx::RunRead(echo, out, sizeof(out)));
    EXPECT_EQ(std::string("a;b $(x) `y`\n"), std::string(out));

    // A program that is not there: -1, or, under user emulation, where the spawn itself
    // succeeds and the child fails, nothing read.
    const char* const none[] = {"no-such-program-here", nullptr};
    EXPECT_GE(0, qx::RunRead(none, out, sizeof(out)));
    EXPECT_EQ('\0', out[0]);
    EXPECT_EQ(-1, qx::RunRead(nullptr, out, sizeof(out)));
    EXPECT_TRUE(NoChildLeft());
}

TEST(RunProgram, AProgramThatEndsInTimeIsNotHurried) {
    char out[64];
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const char* const sh[] = {"sh", "-c", "sleep 0.2; echo done", nullptr};
    EXPECT_EQ(5, qx::RunRead(sh, out, sizeof(out), 3000));
    EXPECT_EQ(std::string("done\n"), std::string(out));
    EXPECT_LT(ElapsedMs(start), 2500);
    EXPECT_TRUE(NoChildLeft());
}

// A host that blocks its stop signals (smhost does) does not pass them on blocked: the
// program can be stopped, and a ping that times its reply wait with SIGALRM gets its alarm.
TEST(RunProgram, TheProgramStartsWithNoSignalBlocked) {
    sigset_t block, old;
    sigemptyset(&block);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGALRM);
    ASSERT_EQ(0, pthread_sigmask(SIG_BLOCK, &block, &old));
    char out[64];
    const char* const sh[] = {"sh", "-c", "kill -TERM $$; echo survived", nullptr};
    int n = qx::RunRead(sh, out, sizeof(out), 3000);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    EXPECT_EQ(0, n);
    EXPECT_EQ(std::string(), std::string(out));
    EXPECT_TRUE(NoChildLeft());
}

// Past the deadline the program and whatever it started are killed and the child reaped; the
// runner returns what was printed so far, within the deadline and a little.
TEST(RunProgram, DeadlineStopsTheProgramAndKeepsWhatItPrinted) {
    const int deadline = 300;
    struct Case {
        const char* name;
        const char* script;  // for sh -c
        const char* out;     // what is kept ("$pid": a process id, checked to be stopped too)
    } cases[] = {
        {"never ends, silent", "exec sleep 100", ""},
        {"printed, then hangs", "echo '64 bytes from 10.0.0.1: ttl=64'; exec sleep 100",
         "64 bytes from 10.0.0.1: ttl=64\n"},
        {"closed its output and stays", "echo partial; exec sleep 100 >&-", "partial\n"},
        {"ended, a child holds the output", "sleep 100 & echo $!", "$pid"},
        {"waits for a child that hangs", "sleep 100 & echo $!; wait", "$pid"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char out[128];
        memset(out, 'q', sizeof(out));
        const char* const argv[] = {"sh", "-c", c.script, nullptr};
        timespec start;
        clock_gettime(CLOCK_MONOTONIC, &start);
        int n = qx::RunRead(argv, out, sizeof(out), deadline);
        long long took = ElapsedMs(start);
        EXPECT_GE(took, deadline - 20);
        EXPECT_LT(took, deadline + 1500);
        EXPECT_EQ((int)strlen(out), n);
        if (std::string(c.out) == "$pid") {
            pid_t child = (pid_t)atoi(out);
            EXPECT_GT(child, 0) << out;
            EXPECT_TRUE(NotRunning(child)) << child;
        } else {
            EXPECT_EQ(std::string(c.out), std::string(out));
        }
        EXPECT_TRUE(NoChildLeft());
    }
}

}  // namespace
