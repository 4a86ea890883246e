#pragma once
// Waits through qx::SleepMs recorded instead of slept, so that handler tests run at once and
// can check the waits asked for. For a whole test program:
//   const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);
// or per fixture: qx::SetSleepHook(qxtest::RecordSleep) in SetUp, nullptr in TearDown.
#include <vector>

#include "QxPlatform.h"
#include "gtest/gtest.h"

namespace qxtest {

// The waits recorded so far, in milliseconds, in order.
inline std::vector<int>& Sleeps() {
    static std::vector<int> s;
    return s;
}
inline void RecordSleep(int ms) { Sleeps().push_back(ms); }

struct RecordSleeps : ::testing::Environment {
    void SetUp() override { qx::SetSleepHook(RecordSleep); }
    void TearDown() override { qx::SetSleepHook(nullptr); }
};

}  // namespace qxtest
