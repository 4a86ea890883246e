#include "QxPlatform.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace qx {

namespace {
void (*g_sleepHook)(int) = nullptr;
time_t (*g_clockHook)() = nullptr;
}  // namespace

void SleepMs(int ms) {
    if (g_sleepHook) {
        g_sleepHook(ms);
        return;
    }
    if (ms <= 0) return;
    struct timespec req;
    req.tv_sec = ms / 1000;
    req.tv_nsec = (long)(ms % 1000) * 1000000L;
    // Resume after a signal so that a wait is never cut short.
    while (nanosleep(&req, &req) != 0 && errno == EINTR) {
    }
}

time_t Now() {
    if (g_clockHook) return g_clockHook();
    // A test that drives the loaded plug-in sets the clock from outside: QX_FAKE_TIME holds
    // seconds since the epoch. Anything else in it is ignored.
    if (const char* fake = getenv("QX_FAKE_TIME")) {
        char* end = nullptr;
        errno = 0;
        long long t = strtoll(fake, &end, 10);
        if (*fake && end && *end == '\0' && errno == 0) return (time_t)t;
    }
    return time(nullptr);
}

void SetSleepHook(void (*hook)(int ms)) { g_sleepHook = hook; }
void SetClockHook(time_t (*hook)()) { g_clockHook = hook; }

char* BoardPath(const char* path, char* out, size_t outSize) {
    if (!path || !out || outSize == 0) return nullptr;
    const char* root = getenv("QX_ROOT");
    if (!root) root = "";
    int n = snprintf(out, outSize, "%s%s", root, path);
    if (n < 0 || (size_t)n >= outSize) {
        out[0] = '\0';
        return nullptr;
    }
    return out;
}

}  // namespace qx
