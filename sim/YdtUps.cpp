#include "YdtUps.h"

namespace qxsim {

void SetHipulseUps(YdtDevice& dev, const HipulseUps& u) {
    std::vector<std::pair<int, std::string>> f;
    for (int p = 0; p < 3; p++) {
        f.push_back({15 + 8 * p, YdtFloat(u.vin[p])});
        f.push_back({39 + 8 * p, YdtFloat(u.vout[p])});
        f.push_back({63 + 8 * p, YdtFloat(u.iout[p])});
    }
    f.push_back({87, YdtFloat(u.vbatt)});
    f.push_back({95, YdtFloat(u.fout)});
    dev.SetInfo(0x41, YdtInfoAt(f, 103));

    f.clear();
    for (int p = 0; p < 3; p++) {
        f.push_back({41 + 8 * p, YdtFloat(u.iin[p])});
        f.push_back({81 + 8 * p, YdtFloat(u.vb[p])});
    }
    f.push_back({65, YdtFloat(u.fin)});
    f.push_back({105, YdtFloat(u.fb)});
    dev.SetInfo(0xE1, YdtInfoAt(f, 113));

    dev.SetInfo(0xE3, YdtInfoAt({{113, YdtFloat(u.mbatt)}}, 121));

    auto code = [](unsigned c) { return c > 0xFF ? std::string("  ") : YdtByte(c); };
    f = {{13, code(u.state[0])}};
    for (int k = 1; k < 16; k++) f.push_back({17 + 2 * (k - 1), code(u.state[k])});
    dev.SetInfo(0x43, YdtInfoAt(f, 47));
}

}  // namespace qxsim
