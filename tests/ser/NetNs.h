#pragma once
#include <string>

namespace netns {
// Empty when the test runs in its own network namespace; otherwise why it does not.
const std::string& Unavailable();
}  // namespace netns

#define REQUIRE_NETNS()                                                                 \
    do {                                                                                \
        if (!netns::Unavailable().empty())                                              \
            GTEST_SKIP() << "needs its own network namespace: " << netns::Unavailable(); \
    } while (0)
