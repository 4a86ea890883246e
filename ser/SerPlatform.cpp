#include "SerPlatform.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

namespace qxser {

namespace {
void (*g_sleepHook)(int) = nullptr;
}

void SleepMs(int ms) {
    if (g_sleepHook) {
        g_sleepHook(ms);
        return;
    }
    if (ms <= 0) return;
    struct timespec ts;
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = (long)(ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void SetSleepHook(void (*hook)(int ms)) { g_sleepHook = hook; }

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

}  // namespace qxser
