// The seams: board paths under QX_ROOT, and the sleep and clock hooks.
#include "QxPlatform.h"

#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"

namespace {

TEST(QxPlatform, BoardPathTakesTheRootPrefix) {
    struct Case {
        const char* root;  // null: unset
        const char* path;
        const char* out;   // null: does not fit
        size_t size;
    } cases[] = {
        {nullptr, "/NandFlash/SM/SM4608.def", "/NandFlash/SM/SM4608.def", 64},
        {"", "/NandFlash/SM/SM4608.def", "/NandFlash/SM/SM4608.def", 64},
        {"/tmp/qx", "/NandFlash/SM/SM4608.def", "/tmp/qx/NandFlash/SM/SM4608.def", 64},
        {"/tmp/qx", "/dev/gpio", "/tmp/qx/dev/gpio", 17},  // exactly fits
        {"/tmp/qx", "/dev/gpio", nullptr, 16},             // one byte short
        {nullptr, "/NandFlash/x", nullptr, 5},
    };
    for (const Case& c : cases) {
        if (c.root)
            setenv("QX_ROOT", c.root, 1);
        else
            unsetenv("QX_ROOT");
        std::vector<char> out(c.size, 'q');
        char* r = qx::BoardPath(c.path, out.data(), out.size());
        if (c.out) {
            EXPECT_EQ(out.data(), r) << c.path;
            EXPECT_STREQ(c.out, out.data());
        } else {
            EXPECT_EQ(nullptr, r) << c.path << " in " << c.size;
            EXPECT_EQ('\0', out[0]);  // never a cut path
        }
    }
    unsetenv("QX_ROOT");
    char out[8];
    EXPECT_EQ(nullptr, qx::BoardPath(nullptr, out, sizeof(out)));
    EXPECT_EQ(nullptr, qx::BoardPath("/x", nullptr, 8));
    EXPECT_EQ(nullptr, qx::BoardPath("/x", out, 0));
}

std::vector<int> g_slept;
void RecordSleep(int ms) { g_slept.push_back(ms); }
time_t FixedClock() { return 1700000000; }

TEST(QxPlatform, SleepAndClockHooks) {
    g_slept.clear();
    qx::SetSleepHook(RecordSleep);
    qx::SleepMs(5000);
    qx::SleepMs(0);
    qx::SetSleepHook(nullptr);
    EXPECT_EQ((std::vector<int>{5000, 0}), g_slept);
    qx::SleepMs(1);  // the real sleep again: returns, not recorded
    qx::SleepMs(-5);
    EXPECT_EQ(2u, g_slept.size());

    qx::SetClockHook(FixedClock);
    EXPECT_EQ(1700000000, qx::Now());
    qx::SetClockHook(nullptr);
    time_t now = time(nullptr);
    EXPECT_LE(now, qx::Now());
    EXPECT_GT(qx::Now(), (time_t)1700000000);
}

}  // namespace
