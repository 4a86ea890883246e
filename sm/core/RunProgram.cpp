#include "core/RunProgram.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

extern char** environ;

namespace qx {

namespace {

long long MonotonicMs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// Milliseconds until end, 0 once it has passed.
int Left(long long end) {
    long long left = end - MonotonicMs();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : (int)left;
}

// True once the child has ended and is reaped (or is no longer ours to wait for, as when the
// process ignores SIGCHLD).
bool Reaped(pid_t pid) {
    int status;
    for (;;) {
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return true;
        if (r == 0) return false;
        if (errno != EINTR) return true;
    }
}

// Kills the child's process group (the child and whatever it started) and reaps the child.
void KillAndReap(pid_t pid) {
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

int RunRead(const char* const argv[], char* out, size_t outSize, int deadlineMs) {
    if (out && outSize) out[0] = '\0';
    if (!argv || !argv[0] || !out || outSize == 0) return -1;
    const long long end = MonotonicMs() + (deadlineMs > 0 ? deadlineMs : 0);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    // A group of its own, so that a deadline stops a wrapper's children with it; no signal
    // blocked, whatever the caller blocks (a ping times its reply wait with SIGALRM).
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, &attr, const_cast<char* const*>(argv),
                          environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return -1;
    }

    // Read until the output ends or the deadline passes.
    bool cut = false;
    size_t kept = 0;
    char drop[512];
    for (;;) {
        pollfd p = {fds[0], POLLIN, 0};
        int ready = poll(&p, 1, Left(end));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) {
            cut = true;
            break;
        }
        ssize_t r;
        if (kept < outSize - 1)
            r = read(fds[0], out + kept, outSize - 1 - kept);
        else
            r = read(fds[0], drop, sizeof(drop));
        if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (r <= 0) break;
        if (kept < outSize - 1) kept += (size_t)r;
    }
    out[kept] = '\0';
    close(fds[0]);

    // The output has ended: the program is about to exit. Wait for it, up to the deadline.
    for (int pause = 1; !cut && !Reaped(pid); pause = pause < 16 ? pause * 2 : 20) {
        int left = Left(end);
        if (left == 0) {
            cut = true;
            break;
        }
        int ms = pause < left ? pause : left;
        timespec ts = {0, (long)ms * 1000000L};
        nanosleep(&ts, nullptr);
    }
    if (cut) {
        KillAndReap(pid);
        printf("[RunRead] %s: not ended after %d ms, stopped\n", argv[0], deadlineMs);
    }
    return (int)kept;
}

}  // namespace qx
