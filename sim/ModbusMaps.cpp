#include "ModbusMaps.h"

#include <string.h>

namespace qxsim {

void SetThSensor(ModbusSlave& slave, int variant, uint16_t tem, uint16_t hum) {
    const bool input = variant == 1 || variant == 3;
    const bool temFirst = variant == 1 || variant == 2;
    const uint16_t first = temFirst ? tem : hum, second = temFirst ? hum : tem;
    if (input) slave.ServeInput(0, 2);
    else slave.ServeHolding(0, 2);
    if (input) {
        slave.SetInput(0, first);
        slave.SetInput(1, second);
    } else {
        slave.SetHolding(0, first);
        slave.SetHolding(1, second);
    }
}

void SetOnOff(ModbusSlave& slave, const uint8_t in[6]) {
    slave.ServeInput(0, 6);  // read as six, the inputs packed in the first three
    for (int r = 0; r < 3; r++) slave.SetInput((uint16_t)r, (uint16_t)(in[2 * r] << 8 | in[2 * r + 1]));
}

void SetPd2206(ModbusSlave& slave, const uint8_t points[12]) {
    slave.ServeInput(0, 12);
    slave.ServeHolding(0x40, 2);
    for (int i = 0; i < 12; i++) slave.SetInput((uint16_t)i, points[i]);
    slave.SetFault(ModbusFault::BytePerRegister);
}

void SetFd220(ModbusSlave& slave, bool on) {
    slave.ServeCoils(0);
    slave.ServeCoils(500);
    slave.SetCoil(0, on);
}

void SetRd230(ModbusSlave& slave, uint8_t inputs) {
    slave.ServeDiscrete(0, 8);
    for (int i = 0; i < 8; i++) slave.SetDiscrete((uint16_t)i, (inputs >> i) & 1);
}

void SetAd5Da5(ModbusSlave& slave, const uint16_t inputs[5], const uint16_t outputs[5]) {
    slave.ServeInput(0, 5);
    slave.ServeHolding(0, 5);
    for (int i = 0; i < 5; i++) {
        slave.SetInput((uint16_t)i, inputs[i]);
        slave.SetHolding((uint16_t)i, outputs[i]);
    }
}

void SetMlanBoard(ModbusSlave& slave, const uint8_t breakers[72]) {
    slave.ServeHolding(1964, 72);
    for (int i = 0; i < 72; i++) slave.SetHolding((uint16_t)(1964 + i), breakers[i]);
}

void AlarmThRoom(ThRoom& m, int state) {
    if (!state) return;
    m.tem = 415;
    m.hum = 180;
}

void SetOnOff(ModbusSlave& slave, const OnOffModule& m) { SetOnOff(slave, m.in); }
void AlarmOnOff(OnOffModule& m, int state) {
    if (state) memset(m.in, 1, sizeof m.in);
}

void SetPd2206(ModbusSlave& slave, const Pd2206Module& m) { SetPd2206(slave, m.points); }
void AlarmPd2206(Pd2206Module& m, int state) {
    if (state) memset(m.points, 0, 6);
}

void SetRd230(ModbusSlave& slave, const Rd230Module& m) { SetRd230(slave, m.inputs); }
void AlarmRd230(Rd230Module& m, int state) {
    if (state) m.inputs = 0x00;
}

void SetAd5Da5(ModbusSlave& slave, const Ad5Da5Module& m) { SetAd5Da5(slave, m.in, m.out); }
void AlarmAd5Da5(Ad5Da5Module& m, int state) {
    if (!state) return;
    const uint16_t stopped[5] = {156, 580, 1266, 205, 102};
    memcpy(m.in, stopped, sizeof m.in);
}

void SetDustSensor(ModbusSlave& slave, uint16_t pm) {
    slave.ServeHolding(0, 4);
    slave.SetHolding(3, pm);
}

void SetHcMeter(ModbusSlave& slave, const HcMeter& m) {
    slave.ServeHolding(0, 20);  // the ratios at 2 and 3 (read as a block of 20), the address at 11
    slave.ServeHolding(64, 2);
    slave.ServeHolding(192, 15);
    slave.ServeInput(0, 7);
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

void SetAhpUps(ModbusSlave& slave, const AhpUpsRegs& m) {
    slave.ServeHolding(100, 41);
    const struct {
        uint16_t reg, value;
    } regs[] = {
        {100, m.vin[0]},  {101, m.vin[1]},  {102, m.vin[2]},  {110, m.vout[0]}, {111, m.vout[1]},
        {112, m.vout[2]}, {113, m.iout[0]}, {114, m.iout[1]}, {115, m.iout[2]}, {119, m.vbatt},
        {124, m.tem},     {125, m.fin},     {126, m.fout},    {137, m.r137},    {138, m.r138},
        {139, m.r139},
    };
    for (const auto& r : regs) slave.SetHolding(r.reg, r.value);
}

void AlarmAhpUps(AhpUpsRegs& m, int state) {
    if (state == 1) {
        for (uint16_t& v : m.vin) v = 0;
        for (uint16_t& i : m.iout) i = 18;
        m.vbatt = 180;
        m.tem = 70;
        m.fin = 0;
        m.r137 = 0x0001;  // the battery input only
        m.r138 = 0x0001;  // bypass frequency out
        m.r139 = 0x0007;  // room, inverter and rectifier overheated
    } else if (state == 2) {
        for (int p = 0; p < 3; p++) m.vin[p] = m.vout[p] = 250;
        m.fin = m.fout = 52;
        m.r138 = 0x0010;  // inverter output short circuit
    }
}

void SetLinkUps(ModbusSlave& slave, const LinkUps& u) {
    slave.ServeHolding(0);
    slave.ServeHolding(170, 11);
    const uint16_t regs[11] = {u.vin, u.fin, u.vout, u.fout, u.aout, u.pout, 0, 0, u.vbatt, 0, u.tem};
    for (int k = 0; k < 11; k++) slave.SetHolding((uint16_t)(170 + k), regs[k]);
    slave.SetHolding(0, u.alarms);
}

}  // namespace qxsim

namespace qxsim {

void SetSymmetraUps(ModbusSlave& slave, const SymmetraUps& u) {
    slave.ServeHolding(0, 5);
    slave.ServeHolding(7, 45);
    slave.SetHolding(0, u.reg0);
    slave.SetHolding(1, u.reg1);
    slave.SetHolding(3, u.reg3);
    const struct {
        uint16_t reg, value;
    } words[] = {
        {7, u.pbatt},  {8, u.mbatt}, {9, u.vbatt}, {19, u.fin},   {20, u.vin[0]},
        {26, u.vout},  {27, u.aout}, {29, u.vin[1]}, {35, u.v2},  {36, u.aed},
        {38, u.vin[2]}, {44, u.v3},  {45, u.v4},   {47, u.tem[0]}, {49, u.tem[1]},
    };
    for (const auto& w : words) slave.SetHolding(w.reg, w.value);
}

void AlarmLinkUps(LinkUps& u, int state) {
    if (state == 1) {
        u.vin = 0;
        u.fin = 0;
        u.aout = 52;
        u.pout = 1150;
        u.vbatt = 1980;
        u.tem = 55;
        u.alarms = 0xC805;  // overload, fan lock, high temperature; bypass, battery low
    } else if (state == 2) {
        u.vout = 0;
        u.fout = 0;
        u.aout = 0;
        u.pout = 0;
        u.vbatt = 2890;
        u.alarms = 0x2402;  // EPO, charge failure; battery overcharged
    }
}

void AlarmSymmetraUps(SymmetraUps& u, int state) {
    if (state == 1) {
        u.reg3 = 0x00C1;
        u.fin = 0;
        for (uint16_t& v : u.vin) v = 0;
        u.pbatt = 150;
        u.mbatt = 30;
        u.vbatt = 1950;
    } else if (state == 2) {
        u.reg0 = 0x0008;
        u.reg1 = 0x0080;
        u.reg3 = 0x0001;
        u.vout = u.vin[0];
    }
}

void AlarmGalaxyUps(GalaxyUps& u, int state) {
    if (state == 1) {
        for (int p = 0; p < 3; p++) {
            u.vin[p] = u.vb[p] = 0;
            u.iin[p] = u.ib[p] = 0;
            u.iout[p] = (uint16_t)(18 + p);
        }
        u.fin = u.fb = 0;
        u.vbatt = 180;
        u.pbatt = 10;
        u.mbatt = 2;
        u.tem = 70;
        u.status[0] = 0x0808 | 0x0004 | 0x0020 | 0x0001;  // UPS alarm, battery low, overload protection
        u.status[2] = 0x0400;                             // battery temperature
        u.status[15] = 0x0001;                            // output overload
    } else if (state == 2) {
        for (int p = 0; p < 3; p++) {
            u.vin[p] = u.vb[p] = u.vout[p] = 250;
            u.iin[p] = u.ib[p] = u.iout[p] = (uint16_t)(18 + p);
        }
        u.fin = u.fb = u.fout = 52;
        u.status[0] = 0x0808 | 0x0004;  // UPS alarm
        u.status[1] = 0x0040;           // on bypass
        u.status[9] = 0x0001;           // charging fault
        u.status[13] = 0x0020;          // inverter fault
    }
}

void SetGalaxyUps(ModbusSlave& slave, const GalaxyUps& u) {
    slave.ServeHolding(64, 16);
    slave.ServeHolding(256, 76);
    for (int p = 0; p < 3; p++) {
        slave.SetHolding((uint16_t)(256 + p), u.iin[p]);
        slave.SetHolding((uint16_t)(262 + p), u.ib[p]);
        slave.SetHolding((uint16_t)(265 + p), u.iout[p]);
        slave.SetHolding((uint16_t)(277 + p), u.vin[p]);
        slave.SetHolding((uint16_t)(289 + p), u.vb[p]);
        slave.SetHolding((uint16_t)(295 + p), u.vout[p]);
    }
    slave.SetHolding(301, u.vbatt);
    slave.SetHolding(318, u.fin);
    slave.SetHolding(320, u.fb);
    slave.SetHolding(321, u.fout);
    slave.SetHolding(329, u.mbatt);
    slave.SetHolding(330, u.tem);
    slave.SetHolding(331, u.pbatt);
    for (int r = 0; r < 16; r++) slave.SetHolding((uint16_t)(64 + r), u.status[r]);
}

}  // namespace qxsim

namespace qxsim {

void SetAircDas(ModbusSlave& slave, const AircDas& m) {
    slave.ServeHolding(0, 9);
    auto pack = [](uint8_t high, uint8_t low) { return (uint16_t)(high << 8 | low); };
    auto lowFirst = [](uint16_t v) { return (uint16_t)((v & 0xFF) << 8 | v >> 8); };
    const uint16_t regs[9] = {
        pack(m.workMode, m.workStatus), pack(m.windSpeed, m.tempSet),
        pack(m.humidity, m.tempGet),    lowFirst(m.currentGet),
        lowFirst(m.currentSet),         pack(m.lowTemp, m.highTemp),
        pack(m.switchTime, m.ctrlMode), pack(m.brandB, m.brandA),
        pack(m.brandC, m.address),
    };
    for (int r = 0; r < 9; r++) slave.SetHolding((uint16_t)r, regs[r]);
}

void AlarmAircDas(AircDas& m, int state) {
    if (state != 1) return;
    m.workStatus = 0;
    m.tempGet = 38;
    m.humidity = 85;
}

void SetLcpDx(ModbusSlave& slave, const LcpDx& m) {
    slave.ServeInput(21, 28);
    slave.ServeHolding(2, 2);
    slave.ServeCoils(29);  // 00030
    slave.SetInput(21, m.outlet);
    slave.SetInput(22, m.inlet);
    slave.SetInput(45, m.tempSet);
    slave.SetHolding(2, m.runSt);
    slave.SetHolding(3, m.fault);
    slave.SetCoilValueOne(true);
}

void AlarmLcpDx(LcpDx& m, int state) {
    if (state != 1) return;
    m.runSt = 2;
    m.fault = 1;
    m.inlet = 380;
    m.outlet = 370;
}

void SetPlcQsm50(ModbusSlave& slave, const PlcQsm50& m) {
    slave.ServeHolding(0, 2);
    slave.ServeHolding(60);
    slave.ServeHolding(67);
    slave.ServeHolding(200);
    slave.ServeHolding(203);
    slave.SetHolding(200, m.started);
    slave.SetHolding(203, m.fault);
    slave.SetHolding(0, m.tem);
    slave.SetHolding(1, m.hum);
    slave.SetHolding(60, m.tem2);
    slave.SetHolding(67, m.hum2);
}

void AlarmPlcQsm50(PlcQsm50& m, int state) {
    if (state != 1) return;
    m.started = 0;
    m.fault = 1;
    m.tem = 380;
}

void AlarmK200(K200& m, int state) {
    if (state != 1) return;
    m.running = 0x02;  // the fan only
    m.retTemp = 320;
    m.retHum = 82;
}

void SetK200(ModbusSlave& slave, const K200& m) {
    slave.ServeHolding(0, 8);
    const uint16_t regs[8] = {m.status, m.setTemp, m.setHum, m.running,
                              m.retTemp, m.retHum, m.probes, m.reg7};
    for (int r = 0; r < 8; r++) slave.SetHolding((uint16_t)r, regs[r]);
}

}  // namespace qxsim

#include <string.h>

namespace qxsim {

void SetFloatBE(ModbusSlave& slave, uint16_t reg, float value) {
    uint32_t bits;
    memcpy(&bits, &value, sizeof bits);
    slave.SetHolding(reg, (uint16_t)(bits >> 16));
    slave.SetHolding((uint16_t)(reg + 1), (uint16_t)bits);
}

void SetStulzC7000(ModbusSlave& slave, const StulzC7000& s) {
    const struct {
        uint16_t first, count;
    } blocks[] = {{2340, 4}, {2348, 6}, {2356, 2}, {2382, 14}, {4478, 20}, {10416, 2},
                  {10816, 4}, {11618, 2}, {12834, 2}, {12840, 2}, {13618, 6}};
    for (const auto& b : blocks) slave.ServeHolding(b.first, b.count);
    slave.ServeCoils(1013, 8);
    auto floats = [&slave](uint16_t reg, const float* v, int n) {
        for (int k = 0; k < n; k++) SetFloatBE(slave, (uint16_t)(reg + 2 * k), v[k]);
    };
    const float room[2] = {s.tem, s.hum};
    const float sets[3] = {s.temSet, s.temSetS, s.humSet};
    const float dc[2] = {s.dcs, s.dce};
    floats(2340, room, 2);
    floats(2348, sets, 3);
    floats(2356, &s.humSetS, 1);
    floats(2382, s.w, 7);
    floats(4478, s.limits, 10);
    floats(10816, dc, 2);
    floats(11618, &s.pump, 1);
    floats(10416, &s.gc, 1);
    floats(13618, s.humDe, 3);
    floats(12834, &s.humIn, 1);
    floats(12840, &s.humInB, 1);
    for (int i = 0; i < 8; i++) slave.SetCoil((uint16_t)(1013 + i), (s.runSt >> i) & 1);
}

void AlarmStulzC7000(StulzC7000& s, int state) {
    if (state != 1) return;
    s.tem = 38.0f;
    s.hum = 82.0f;
}

void SetScaAirc(ModbusSlave& s, const ScaAirc& a) {
    s.ServeHolding(1, 36);
    const uint16_t regs[] = {a.temRetSet, a.humRetSet, a.status, a.temRet, a.humRet};
    for (int i = 0; i < 5; i++) s.SetHolding((uint16_t)(1 + i), regs[i]);
    for (int i = 0; i < 6; i++) s.SetHolding((uint16_t)(6 + i), a.alarms[i]);
    const uint16_t sup[] = {a.temSupSet, a.humSupSet, a.temSup, a.humSup, a.iHum, a.cond};
    for (int i = 0; i < 6; i++) s.SetHolding((uint16_t)(21 + i), sup[i]);
    s.SetHolding(35, a.fanSpeed);
}

void AlarmScaAirc(ScaAirc& a, int state) {
    if (state != 1 && state != 2) return;
    const bool hot = state == 1;
    a.status |= 1u << 14;
    // Registers 6..11: the bits of the alarms of each state.
    static const uint16_t kHot[6] = {
        1u << 0 | 1u << 2 | 1u << 4 | 1u << 11,                                         // TRH HRH TSH fan
        1u << 1 | 1u << 7 | 1u << 8 | 1u << 13 | 1u << 14 | 1u << 15,                  // fan time, comp 1, comp 2 HP
        1u << 0 | 1u << 5 | 1u << 6 | 1u << 7 | 1u << 9 | 1u << 10,                   // comp 2, humidifier
        1u << 0 | 1u << 2 | 1u << 3 | 1u << 4 | 1u << 11 | 1u << 12 | 1u << 13 | 1u << 15,  // freq, volts, air, filter, leak
        1u << 0 | 1u << 4,                                                              // group, smoke
        1u << 1 | 1u << 3,                                                              // humidifier
    };
    static const uint16_t kCold[6] = {
        1u << 1 | 1u << 3 | 1u << 5,                                                    // TRL HRL TSL
        1u << 9 | 1u << 10,                                                             // comp 1 LP
        1u << 1 | 1u << 2 | 1u << 11 | 1u << 12 | 1u << 13 | 1u << 14 | 1u << 15,      // comp 2 LP, heaters, power
        1u << 1 | 1u << 5 | 1u << 6 | 1u << 7 | 1u << 8 | 1u << 9 | 1u << 10 | 1u << 14,  // freq, volts, phases, remote
        0,
        0,
    };
    for (int i = 0; i < 6; i++) a.alarms[i] = hot ? kHot[i] : kCold[i];
    if (hot) {
        a.temRet = 380, a.temSup = 370, a.cond = 65, a.fanSpeed = 95;
    } else {
        a.temRet = 150, a.humRet = 200, a.temSup = 120, a.humSup = 200, a.iHum = 0;
    }
}

void SetHstAirc(ModbusSlave& s, const HstAirc& a, int variant) {
    s.ServeHolding(0, variant == 1 ? 24 : 16);
    if (variant == 1) {
        SetFloatBE(s, 0, a.temIn);
        SetFloatBE(s, 2, a.humIn);
        SetFloatBE(s, 4, a.temInCoil);
        SetFloatBE(s, 6, a.humSet);
        SetFloatBE(s, 8, a.temExtCoil);
        SetFloatBE(s, 10, a.temSet);
        s.SetHolding(12, a.prot);
        s.SetHolding(13, a.out);
        s.SetHolding(14, (uint16_t)(a.alarm | a.err));
        return;
    }
    s.SetHolding(0, a.prot);
    s.SetHolding(1, a.out);
    SetFloatBE(s, 2, a.temExtCoil);
    SetFloatBE(s, 4, a.temInCoil);
    SetFloatBE(s, 6, a.temIn);
    SetFloatBE(s, 8, a.humIn);
    s.SetHolding(10, a.alarm);
    s.SetHolding(11, a.err);
    SetFloatBE(s, 12, a.humSet);
    SetFloatBE(s, 14, a.temSet);
}

void AlarmHst12Airc(HstAirc& a, int state) {
    // prot and alarm: bit 0 phase, 1 high pressure, 2 overload, 3 low pressure; err: bits
    // 0..3 the outer coil, inner coil, room temperature and humidity sensors.
    if (state == 1) {
        a.prot = a.alarm = 0x0006;
        a.err = 0x0003;
        a.out = 0x0006;  // fans on, the compressor stopped
        a.temIn = 39.0f;
        a.temExtCoil = 45.0f;  // the condenser coil in high pressure
    } else if (state == 2) {
        a.prot = a.alarm = 0x0009;
        a.err = 0x000C;
        a.temIn = 15.0f, a.humIn = 30.0f;
    }
}

void AlarmHst26JfAirc(HstAirc& a, int state) {
    // Register 12 (prot): bit 0 phase, 1 high pressure, 2 overload, 6 low pressure. Register
    // 14 (alarm and err): bit 0 phase, 1 high pressure, 2 low pressure, 5 outer coil sensor,
    // 8 overload and inner coil sensor, 9 overload and room temperature sensor, 10 room
    // humidity sensor.
    if (state == 1) {
        a.prot = 0x0006;
        a.alarm = 0x0122;
        a.temIn = 39.0f;
        a.temExtCoil = 45.0f;
    } else if (state == 2) {
        a.prot = 0x0041;
        a.alarm = 0x0605;
        a.temIn = 15.0f, a.humIn = 30.0f;
    }
    a.err = 0;
}

void SetHaiRuiFuAirc(ModbusSlave& s, const HaiRuiFuAirc& a) {
    s.ServeInput(1, 2);
    s.ServeInput(30, 13);
    s.ServeDiscrete(0, 7);
    s.ServeDiscrete(20, 3);
    s.SetInput(1, a.tem);
    s.SetInput(2, a.hum);
    for (int i = 0; i < 13; i++) s.SetInput((uint16_t)(30 + i), a.alarms[i]);
    for (int b = 0; b < 7; b++) s.SetDiscrete((uint16_t)b, (a.states >> b) & 1);
    for (int b = 0; b < 3; b++) s.SetDiscrete((uint16_t)(20 + b), (a.modes >> b) & 1);
}

void AlarmHaiRuiFuAirc(HaiRuiFuAirc& a, int state) {
    // alarms[k] is field 3 + k.
    if (state == 1) {
        a.tem = 380, a.hum = 800;
        for (int k : {0, 1, 4, 5, 8, 10, 12}) a.alarms[k] = 1;
        a.alarms[6] = 2;  // the leak, acknowledged
        a.states = 0x03;  // common alarm, the fan only
    } else if (state == 2) {
        a.tem = 150, a.hum = 180;
        for (int k : {2, 3, 7, 9, 11}) a.alarms[k] = 1;
        a.states = 0x03;
    }
}

void SetRdaAirc(ModbusSlave& s, const RdaAirc& a) {
    s.ServeHolding(0, 4);
    s.ServeInput(9, 4);
    s.ServeDiscrete(14, 52);
    s.SetHolding(0, a.hum);
    s.SetHolding(3, a.tem);
    s.SetInput(9, a.temset);
    s.SetInput(12, a.humset);
    for (int b = 0; b < 5; b++) s.SetDiscrete((uint16_t)(14 + b), (a.states >> b) & 1);
    s.SetDiscrete(37, a.gsbj);
    s.SetDiscrete(38, a.dsbj);
    s.SetDiscrete(39, a.gwbj);
    s.SetDiscrete(40, a.dwbj);
    s.SetDiscrete(35, a.yhbj);
    s.SetDiscrete(59, a.sjbj);
}

void AlarmRdaAirc(RdaAirc& a, int state) {
    if (state == 1) {
        a.tem = 390, a.hum = 820;
        a.states = 0x01;  // the fan only: the compressors stopped
        a.gsbj = a.gwbj = a.yhbj = true;
    } else if (state == 2) {
        a.tem = 150, a.hum = 300;
        a.dsbj = a.dwbj = a.sjbj = true;
    }
}

void SetCanatalAirc(ModbusSlave& s, const CanatalAirc& a) {
    s.ServeCoils(1);
    s.ServeDiscrete(10001, 7);
    s.ServeDiscrete(10021, 4);
    s.ServeInput(30002, 2);
    s.ServeHolding(40015, 8);
    s.SetCoil(1, a.on);
    for (int b = 0; b < 7; b++) s.SetDiscrete((uint16_t)(10001 + b), (a.s >> b) & 1);
    for (int b = 0; b < 4; b++) s.SetDiscrete((uint16_t)(10021 + b), (a.r >> b) & 1);
    s.SetInput(30002, a.tem);
    s.SetInput(30003, a.hum);
    s.SetHolding(40015, a.temset);
    s.SetHolding(40019, a.humset);
}

void AlarmCanatalAirc(CanatalAirc& a, int state) {
    if (state != 1) return;
    a.s = 0x43;  // alarm, fan, the common alarm input; the compressor stopped
    a.tem = 380;
}

}  // namespace qxsim
