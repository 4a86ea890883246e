#include "core/RunProgram.h"

#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qx {

int RunRead(const char* const argv[], char* out, size_t outSize) {
    if (out && outSize) out[0] = '\0';
    if (!argv || !argv[0] || !out || outSize == 0) return -1;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        close(fds[0]);
        close(fds[1]);
        return -1;
    }
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    pid_t pid = -1;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, const_cast<char* const*>(argv),
                          environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return -1;
    }

    size_t kept = 0;
    char drop[512];
    for (;;) {
        ssize_t r;
        if (kept < outSize - 1)
            r = read(fds[0], out + kept, outSize - 1 - kept);
        else
            r = read(fds[0], drop, sizeof(drop));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        if (kept < outSize - 1) kept += (size_t)r;
    }
    out[kept] = '\0';
    close(fds[0]);
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return (int)kept;
}

}  // namespace qx
