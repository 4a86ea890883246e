#pragma once
// The replies a YD/T 1363 driver must refuse, as the device model makes them: silence, a
// refusal code, each of the two checks broken, a reply cut short and one in lower case. One
// table for the refusal tests of the YD/T drivers.
#include <vector>

#include "YdtDevice.h"

namespace qxtest {

struct YdRefusal {
    const char* what;
    qxsim::YdtFault fault;
    int param;
};

inline const std::vector<YdRefusal>& YdRefusals() {
    static const std::vector<YdRefusal> kAll = {
        {"silence", qxsim::YdtFault::Silence, -1},
        {"RTN 04", qxsim::YdtFault::Rtn, 0x04},
        {"RTN 01", qxsim::YdtFault::Rtn, 0x01},
        {"bad CHKSUM", qxsim::YdtFault::BadChecksum, -1},
        {"bad LCHKSUM", qxsim::YdtFault::BadLength, -1},
        {"cut short", qxsim::YdtFault::Short, 40},
        {"10 characters", qxsim::YdtFault::Short, 10},
        {"21 characters", qxsim::YdtFault::Short, 21},
        {"lower-case digits", qxsim::YdtFault::Lowercase, -1},
    };
    return kAll;
}

}  // namespace qxtest
