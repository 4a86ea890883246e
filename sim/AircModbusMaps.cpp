#include "AircModbusMaps.h"


namespace qxsim {

const uint16_t kLineGiCoils[23] = {23, 24, 25, 30, 31, 37, 38, 39, 40, 41, 49, 50,
                                   51, 52, 53, 54, 55, 57, 62, 63, 64, 65, 66};
const uint16_t kLineGtCoils[12] = {2, 3, 4, 5, 8, 9, 10, 11, 12, 13, 14, 37};
const uint16_t kMatrixCoils[14] = {14, 15, 16, 17, 18, 19, 25, 31, 32, 33, 34, 61, 63, 64};

namespace {
template <size_t N>
void Coils(ModbusSlave& s, const uint16_t (&at)[N], const bool (&on)[N]) {
    for (size_t k = 0; k < N; k++) s.SetCoil(at[k], on[k]);
}
}  // namespace

void SetLineGi(ModbusSlave& s, const LineGi& m) {
    s.ServeHolding(4, 3);
    s.ServeHolding(15);
    s.ServeHolding(27);
    s.ServeHolding(133);
    s.ServeCoils(23, 44);  // 23-66, read in blocks around the fault coils
    s.SetHolding(4, m.sfwd);
    s.SetHolding(5, m.hfwd);
    s.SetHolding(6, m.hfsd);
    s.SetHolding(15, m.wdset);
    s.SetHolding(27, m.sdset);
    s.SetHolding(133, m.state);
    Coils(s, kLineGiCoils, m.faults);
}

void AlarmLineGi(LineGi& m, int state) {
    // Faults by their place in kLineGiCoils.
    static const int kHot[] = {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 14, 15, 16, 17, 20, 21};
    static const int kCold[] = {3, 13, 18, 19, 22};
    if (state != 1 && state != 2) return;
    m.hfwd = 380;
    if (state == 1)
        for (int k : kHot) m.faults[k] = true;
    else
        for (int k : kCold) m.faults[k] = true;
}

void SetLineGt(ModbusSlave& s, const LineGt& m) {
    s.ServeHolding(1, 7);
    s.ServeHolding(129);
    s.ServeCoils(2, 36);  // 2-37
    const uint16_t regs[7] = {m.hfwd, m.hfsd, m.sfwd, m.wdset, m.wdset2, m.sdset, m.sdset2};
    for (int k = 0; k < 7; k++) s.SetHolding((uint16_t)(1 + k), regs[k]);
    s.SetHolding(129, m.state);
    Coils(s, kLineGtCoils, m.faults);
}

void AlarmLineGt(LineGt& m, int state) {
    if (state != 1) return;
    m.hfwd = 380;
    for (bool& f : m.faults) f = true;
}

void SetPex(ModbusSlave& s, const Pex& m, int variant) {
    if (variant == 1) {
        s.ServeHolding(0, 64);
        s.SetHolding(3, (uint16_t)m.rTem);
        s.SetHolding(4, (uint16_t)m.rHum);
        s.SetHolding(60, (uint16_t)m.temset);
        s.SetHolding(61, (uint16_t)m.sTem);
        s.SetHolding(62, (uint16_t)m.humset);
        s.SetHolding(63, m.csj);
        return;
    }
    s.ServeDiscrete(10, 21);
    s.ServeInput(15);
    s.ServeInput(109, 4);
    s.ServeInput(129, 2);
    s.SetDiscrete(10, m.unit);
    s.SetDiscrete(24, m.fj);
    s.SetDiscrete(25, m.zl);
    s.SetDiscrete(28, m.jrq);
    s.SetDiscrete(29, m.jsq);
    s.SetDiscrete(30, m.csj);
    s.SetInput(15, m.ds);
    s.SetInput(109, (uint16_t)m.rTem);
    s.SetInput(110, (uint16_t)m.temset);
    s.SetInput(111, (uint16_t)m.sTem);
    s.SetInput(129, (uint16_t)m.rHum);
    s.SetInput(130, (uint16_t)m.humset);
    s.SetFault(ModbusFault::BytePerInput);  // the unit's own way of answering function 2
}

void AlarmPex(Pex& m, int state) {
    if (state != 1) return;
    m.zl = false;
    m.sTem = 390;
    m.rTem = 395;
}

void SetHiross(ModbusSlave& s, const Hiross& m) {
    s.ServeHolding(16, 19);
    s.ServeHolding(48, 6);
    s.ServeHolding(112, 10);
    for (int k = 0; k < 19; k++) s.SetHolding((uint16_t)(16 + k), m.r[k]);
    for (int k = 0; k < 6; k++) s.SetHolding((uint16_t)(48 + k), m.st[k]);
    for (int k = 0; k < 10; k++) s.SetHolding((uint16_t)(112 + k), m.v[k]);
}

void ServeHiross(Device& device, ModbusSlave& slave, bool firstBlockOnly) {
    if (!firstBlockOnly) return ServeModbusRtu(device, slave);
    // Only the first block: function 3 from register 16.
    ServeModbusRtu(device, slave, [](const uint8_t* q, size_t n) {
        return n >= 4 && q[1] == 3 && q[2] == 0 && q[3] == 16;
    });
}

void AlarmHiross(Hiross& m, int state) {
    if (state != 1) return;
    m.r[0] = 0x007E;  // flags 1..6, not running
    m.r[17] = 400;
    m.r[18] = 800;
}

void SetMatrix(ModbusSlave& s, const Matrix& m) {
    s.ServeHolding(1, 15);
    s.ServeCoils(14, 52);
    s.SetHolding(1, m.hum);
    s.SetHolding(4, m.tem);
    s.SetHolding(10, m.settem);
    s.SetHolding(13, m.sethum);
    Coils(s, kMatrixCoils, m.coils);
}

void AlarmMatrix(Matrix& m, int state) {
    if (state != 1) return;
    m.tem = 400, m.hum = 800;
    for (int k = 0; k < 14; k++) m.coils[k] = k >= 7;  // no state, every overload
}

void AlarmStation(Station& m, int state) {
    // alarms: high humidity, low humidity, high temperature, low temperature, fan 1, fan 2.
    if (state == 1) {
        m.tem = 380, m.hum = 800;
        m.alarms[0] = m.alarms[2] = m.alarms[4] = m.alarms[5] = true;
    } else if (state == 2) {
        m.tem = 150, m.hum = 250;
        m.alarms[1] = m.alarms[3] = true;
    }
}

void SetStation(ModbusSlave& s, const Station& m, int variant) {
    if (variant == 1) {
        s.ServeCoils(0, 19);
        s.ServeCoils(128, 10);
        s.ServeHolding(2, 2);
        s.ServeHolding(703, 2);
        for (int k = 0; k < 4; k++) s.SetCoil((uint16_t)(9 + k), m.alarms[k]);
        s.SetCoil(128, m.states[0]);
        s.SetCoil(129, m.states[3]);
        s.SetCoil(130, m.states[1]);
        s.SetCoil(131, m.states[6]);
        s.SetHolding(2, m.temset);
        s.SetHolding(3, m.humset);
        s.SetHolding(703, m.hum);
        s.SetHolding(704, m.tem);
        return;
    }
    s.ServeCoils(8, 19);
    s.ServeCoils(127, 10);
    s.ServeHolding(652, 2);
    s.ServeHolding(704, 2);
    const uint16_t alarms[6] = {8, 9, 10, 11, 18, 26};
    for (int k = 0; k < 6; k++) s.SetCoil(alarms[k], m.alarms[k]);
    for (int k = 0; k < 9; k++) s.SetCoil((uint16_t)(127 + k), m.states[k]);
    s.SetHolding(652, m.temset);
    s.SetHolding(653, m.humset);
    s.SetHolding(704, m.tem);
    s.SetHolding(705, m.hum);
}

}  // namespace qxsim
