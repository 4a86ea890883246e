#include "ModbusMaps.h"

namespace qxsim {

void SetThSensor(ModbusSlave& slave, int variant, uint16_t tem, uint16_t hum) {
    const bool input = variant == 1 || variant == 3;
    const bool temFirst = variant == 1 || variant == 2;
    const uint16_t first = temFirst ? tem : hum, second = temFirst ? hum : tem;
    if (input) {
        slave.SetInput(0, first);
        slave.SetInput(1, second);
    } else {
        slave.SetHolding(0, first);
        slave.SetHolding(1, second);
    }
}

void SetDustSensor(ModbusSlave& slave, uint16_t pm) { slave.SetHolding(3, pm); }

void SetHcMeter(ModbusSlave& slave, const HcMeter& m) {
    slave.SetHolding(2, m.pt);
    slave.SetHolding(3, m.ct);
    slave.SetHolding(64, (uint16_t)(m.energy >> 16));
    slave.SetHolding(65, (uint16_t)(m.energy & 0xFFFF));
    const uint16_t three[15] = {m.u[0], m.u[1], m.u[2], m.i[0], m.i[1], m.i[2],
                                (uint16_t)m.p, (uint16_t)m.q, m.s, m.pf, m.f, 0,
                                (uint16_t)m.pa[0], (uint16_t)m.pa[1], (uint16_t)m.pa[2]};
    for (int r = 0; r < 15; r++) slave.SetHolding((uint16_t)(192 + r), three[r]);
    const uint16_t single[7] = {m.u[0], m.i[0], (uint16_t)m.p, (uint16_t)m.q, m.s, m.pf, m.f};
    for (int r = 0; r < 7; r++) slave.SetInput((uint16_t)r, single[r]);
}

}  // namespace qxsim
