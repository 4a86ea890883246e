#include "PowerMaps.h"

namespace qxsim {

namespace {
void SetPair(ModbusSlave& slave, uint16_t reg, uint32_t v) {
    slave.SetHolding(reg, (uint16_t)(v >> 16));
    slave.SetHolding((uint16_t)(reg + 1), (uint16_t)(v & 0xFFFF));
}
uint32_t Offset(int32_t v) { return (uint32_t)v + 2000000000u; }
uint16_t PfCode(int pf) { return (uint16_t)(((pf / 1000 + 1) & 3) << 14); }
}  // namespace

void SetTransformer(ModbusSlave& slave, const Transformer& t) {
    slave.ServeCoils(0, 4);
    slave.ServeInput(0, 4);
    const bool bits[4] = {t.sensor, t.fan, t.alarm, t.trip};
    for (int k = 0; k < 4; k++) {
        slave.SetCoil((uint16_t)k, bits[k]);
        slave.SetInput((uint16_t)k, t.fault[k] ? t.rawFault : (uint16_t)(t.tem[k] + 40));
    }
}

void AlarmTransformer(Transformer& t, int state) {
    t.fan = true;
    if (state == 2) {
        for (bool& f : t.fault) f = true;
        t.sensor = true;
        return;
    }
    const int hot[4] = {172, 168, 171, 155};
    for (int k = 0; k < 4; k++) t.tem[k] = hot[k];
    t.alarm = true;
    t.trip = true;
}

void SetPowScada(ModbusSlave& slave, const PowScada& s) {
    slave.ServeHolding(101, 16);
    slave.ServeHolding(128, 14);
    slave.ServeHolding(199, 3);
    slave.ServeHolding(300);
    slave.SetHolding(101, (uint16_t)(s.plTenths * 128 / 10));
    slave.SetHolding(102, PfCode(s.pf));
    SetPair(slave, 105, Offset(s.p));
    for (int k = 0; k < 3; k++) {
        slave.SetHolding((uint16_t)(110 + k), s.amps[k]);
        slave.SetHolding((uint16_t)(113 + k), s.volts[k]);
        SetPair(slave, (uint16_t)(128 + 2 * k), Offset(s.qPhase[k]));
        slave.SetHolding((uint16_t)(134 + k), PfCode(s.pfPhase[k]));
    }
    SetPair(slave, 140, Offset(s.q));
    slave.SetHolding(199, s.oilPreRaw);
    slave.SetHolding(200, s.oilTemRaw);
    slave.SetHolding(201, s.vbattRaw);
    slave.SetHolding(300, s.autoOnOff);
}

void AlarmPowScada(PowScada& s, int) {
    s.volts[2] = 0;
    s.amps[2] = 0;
    s.p = s.p * 2 / 3;
    s.q -= s.qPhase[2];
    s.qPhase[2] = 0;
    s.pfPhase[2] = 0;
    s.oilPreRaw = 160;                               // 20 units
    s.oilTemRaw = (uint16_t)((12 + 273) * 32);       // 12 C
}

void SetFbjk(ModbusSlave& slave, const Fbjk& f) {
    slave.ServeInput(256, 20);
    for (int g = 0; g < 4; g++) slave.ServeInput((uint16_t)(408 + 30 * g), 4);
    slave.ServeDiscrete(256, 5);
    slave.ServeDiscrete(304, 4);
    for (int k = 0; k < 3; k++) {
        slave.SetInput((uint16_t)(256 + k), f.ac1[k]);
        slave.SetInput((uint16_t)(259 + k), f.ac2[k]);
        slave.SetInput((uint16_t)(262 + k), f.amps[k]);
    }
    slave.SetInput(272, f.tem);
    slave.SetInput(273, f.dymp);
    slave.SetInput(274, f.dlfc);
    for (int b = 0; b < 5; b++) slave.SetDiscrete((uint16_t)(256 + b), (f.faults >> b) & 1);
    for (int b = 0; b < 2; b++) slave.SetDiscrete((uint16_t)(304 + b), (f.dcLimits >> b) & 1);
    for (int g = 0; g < 4; g++) {
        slave.SetInput((uint16_t)(408 + 30 * g), f.batt[g][0]);
        slave.SetInput((uint16_t)(409 + 30 * g), f.batt[g][1]);
    }
}

void AlarmFbjk(Fbjk& f, int state) {
    if (state == 2) {
        const uint16_t amps[3] = {262, 265, 258};
        for (int k = 0; k < 3; k++) f.amps[k] = amps[k];
        f.dymp = 585;
        f.dlfc = 268;
        f.faults = 0x08;    // module
        f.dcLimits = 0x01;  // over-voltage
        return;
    }
    for (int k = 0; k < 3; k++) f.ac1[k] = f.ac2[k] = f.amps[k] = 0;
    f.dymp = 470;
    f.faults = 0x1F;    // AC, DC, battery, module, branch
    f.dcLimits = 0x02;  // under-voltage
    for (auto& b : f.batt) b[0] = 470;
}

void SetHgm(ModbusSlave& slave, const Hgm& h) {
    slave.ServeCoils(0, 88);
    slave.ServeHolding(0, 35);
    for (int c = 0; c < 88; c++) slave.SetCoil((uint16_t)c, (h.coils[c / 8] >> (c % 8)) & 1);
    for (int r = 0; r < 35; r++) slave.SetHolding((uint16_t)r, h.regs[r]);
}

void AlarmHgm(Hgm& h, int) {
    h.coils[0] |= 0x0F;
    h.regs[6] = h.regs[7] = h.regs[8] = 0;
}

void AlarmHc311a(Hc311a& m, int) {
    m.i = 1250;  // x KI1 x KI2 / 1000: 12.5 A
    m.p = 2750;
    m.q = -500;
    m.s = 2800;
}

void SetHc311a(ModbusSlave& slave, const Hc311a& m) {
    slave.ServeHolding(0, 18);
    slave.ServeHolding(64, 16);
    slave.ServeInput(0, 8);
    slave.ServeCoils(0);
    slave.SetHolding(2, m.ku1);
    slave.SetHolding(3, m.ki1);
    slave.SetHolding(16, m.ku2);
    slave.SetHolding(17, m.ki2);
    const uint16_t inst[8] = {m.u, m.i, (uint16_t)m.p, (uint16_t)m.q, m.s, (uint16_t)m.pf, m.f,
                              (uint16_t)m.tem};
    for (int r = 0; r < 8; r++) slave.SetInput((uint16_t)r, inst[r]);
    for (int c = 0; c < 8; c++) SetPair(slave, (uint16_t)(64 + 2 * c), m.counters[c]);
    slave.SetCoil(0, m.relay);
}

}  // namespace qxsim
