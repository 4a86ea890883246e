#include "YdtUps.h"

namespace qxsim {

namespace {

// The CID2 44 reply of the APM150 family: alarm bytes b7 .. b0 at their columns, which lie
// `shift` lower in a Variant-0 unit's reply.
std::string AlarmInfo(const uint8_t (&alarm)[8], int shift) {
    const int cols[8] = {17, 25, 23, 59, 57, 55, 131, 205};
    std::string info((size_t)(207 - shift - 13), '0');
    for (int i = 0; i < 8; i++) info.replace((size_t)(cols[i] - shift - 13), 2, YdtByte(alarm[i]));
    return info;
}

}  // namespace

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

void SetApm150(YdtDevice& d, const ApmFigures& f, bool variant0) {
    // CID2 41: DATAFLAG, then Vin A..C, Vout A..C, Iout A..C, Vbatt, Fout.
    d.SetInfo(0x41, YdtInfoAt({{15, YdtFloat(f.vin[0])}, {23, YdtFloat(f.vin[1])},
                               {31, YdtFloat(f.vin[2])}, {39, YdtFloat(f.vout[0])},
                               {47, YdtFloat(f.vout[1])}, {55, YdtFloat(f.vout[2])},
                               {63, YdtFloat(f.iout[0])}, {71, YdtFloat(f.iout[1])},
                               {79, YdtFloat(f.iout[2])}, {87, YdtFloat(f.vbatt)},
                               {95, YdtFloat(f.fout)}},
                              103));
    const int s = variant0 ? 2 : 0;
    d.SetInfo(0xE1, YdtInfoAt({{67 - s, YdtFloat(f.fin)}, {99 - s, YdtFloat(f.bypass)},
                               {107 - s, YdtFloat(f.ved)}, {115 - s, YdtFloat(f.vdc)},
                               {123 - s, YdtFloat(f.fbypass)}},
                              131 - s));
    d.SetInfo(0xE7, YdtInfoAt({{19 - s, YdtFloat(f.mbatt)},
                               {variant0 ? 63 : 69, YdtFloat(f.tem)}},
                              77 - s));
    d.SetInfo(0x44, AlarmInfo(f.alarm, s));
}

void SetITrust5k(YdtDevice& d, const ITrust5kFigures& f) {
    d.SetInfo(0x42, YdtInfoAt({{15, YdtWord(f.vin[0])}, {19, YdtWord(f.vin[1])},
                               {23, YdtWord(f.vin[2])}, {27, YdtWord(f.vout[0])},
                               {31, YdtWord(f.vout[1])}, {35, YdtWord(f.vout[2])},
                               {39, YdtWord(f.iout[0])}, {43, YdtWord(f.iout[1])},
                               {47, YdtWord(f.iout[2])}, {51, YdtWord(f.vbatt)},
                               {55, YdtWord(f.fout)}, {67, YdtWord(f.fin)},
                               {71, YdtWord(f.bypass)}, {75, YdtWord(f.v1)},
                               {91, YdtWord(f.fbypass)}},
                              95));
    d.SetInfo(0x44, AlarmInfo(f.alarm, 0));
}

void SetGxe(YdtDevice& d, const GxeFigures& f) {
    d.SetInfo(0x42, YdtInfoAt({{15, YdtWord(f.vin[0])}, {19, YdtWord(f.vin[1])},
                               {23, YdtWord(f.vin[2])}, {27, YdtWord(f.vout[0])},
                               {31, YdtWord(f.vout[1])}, {35, YdtWord(f.vout[2])},
                               {39, YdtWord(f.iout[0])}, {43, YdtWord(f.iout[1])},
                               {47, YdtWord(f.iout[2])}, {51, YdtWord(f.avin)},
                               {55, YdtWord(f.fout)}, {59, YdtByte(f.ibatt)},
                               {61, YdtWord(f.tem)}, {65, YdtByte(f.userDefNum)},
                               {67, YdtWord(f.fin)}, {71, YdtWord(f.bv)}, {75, YdtWord(f.bi)},
                               {79, YdtWord(f.rpout)}, {83, YdtWord(f.apout)},
                               {87, YdtWord(f.load)}, {91, YdtWord(f.bp)},
                               {95, YdtWord(f.mbatt)}},
                              99));
    std::string states = "00";
    for (uint8_t b : f.state) states += YdtByte(b);
    d.SetInfo(0x43, states);
}

void SetAhpYdt(YdtDevice& d, const AhpYdtFigures& f) {
    // Group and DATAFLAG bytes first (characters 13..16).
    d.SetInfo(0x40, 0x41, YdtInfoAt({{17, YdtFloat(f.vin[0])}, {25, YdtFloat(f.vin[1])},
                                     {33, YdtFloat(f.vin[2])}, {41, YdtFloat(f.fin)}},
                                    49));
    d.SetInfo(0x42, 0x41, YdtInfoAt({{17, YdtFloat(f.vout)}, {25, YdtFloat(f.iout)}}, 33));
    d.SetInfo(0x40, 0x43, YdtInfoAt({{19, YdtByte(f.b7)}}, 21));
    d.SetInfo(0x40, 0x44, YdtInfoAt({{17, YdtByte(f.b6b2[0])}, {19, YdtByte(f.b6b2[1])},
                                     {21, YdtByte(f.b6b2[2])}, {23, YdtByte(f.b6b2[3])},
                                     {27, YdtByte(f.b6b2[4])}},
                                    29));
    d.SetInfo(0x40, 0x46, YdtInfoAt({{13, YdtFloat(f.v[0])}, {21, YdtFloat(f.v[1])},
                                     {29, YdtFloat(f.v[2])}, {37, YdtFloat(f.v[3])},
                                     {45, YdtFloat(f.fbypass)}},
                                    53));
}

// ---------------------------------------------------------------- alarm states

void AlarmHipulseUps(HipulseUps& u, int state) {
    if (state == 1) {
        for (int p = 0; p < 3; p++) {
            u.vin[p] = u.iin[p] = u.vb[p] = 0.0f;
            u.iout[p] = 18.0f + (float)p;
        }
        u.fin = u.fb = 0.0f;
        u.vbatt = 180.5f;
        u.mbatt = 3.0f;
        u.state[4] = 0xE1;   // b11: battery inverter supply
        u.state[10] = 0xE1;  // b5: the parallel system on battery
        u.state[2] = 0xE2;   // b13: not charging
    } else if (state == 2) {
        for (int p = 0; p < 3; p++) {
            u.vin[p] = u.vb[p] = u.vout[p] = 250.0f;
            u.iin[p] = u.iout[p] = 18.0f + (float)p;
        }
        u.fin = u.fb = u.fout = 52.0f;
        u.state[0] = 0x02;   // b15: bypass supply
        u.state[10] = 0xE2;  // b5: the parallel system on bypass
    }
}

void AlarmApm(ApmFigures& f, int state) {
    const uint8_t kAlarm = 0xF0;
    if (state == 1) {
        for (float& v : f.vin) v = 0.0f;
        for (float& i : f.iout) i = 18.5f;
        f.fin = 0.0f;
        f.bypass = 0.0f;
        f.fbypass = 0.0f;
        f.vbatt = 190.5f;
        f.mbatt = 0.03f;
        f.tem = 45.5f;
        for (int k : {0, 1, 4, 5, 6, 7}) f.alarm[k] = kAlarm;  // b7 b6 b3 b2 b1 b0
    } else if (state == 2) {
        f.alarm[2] = f.alarm[3] = kAlarm;  // b5 b4
    }
}

void AlarmITrust5k(ITrust5kFigures& f, int state) {
    const uint8_t kAlarm = 0xF0;
    if (state == 1) {
        for (uint16_t& v : f.vin) v = 0;
        f.fin = 0;
        f.bypass = 0;
        f.fbypass = 0;
        f.vbatt = 1905;
        f.alarm[6] = f.alarm[7] = kAlarm;  // b1 battery low, b0 on battery
    } else if (state == 2) {
        for (uint16_t& v : f.vout) v = 0;
        for (uint16_t& i : f.iout) i = 0;
        f.fout = 0;
        f.alarm[5] = kAlarm;  // b2 output fault
    }
}

void AlarmGxe(GxeFigures& f, int state) {
    if (state != 1) return;
    for (uint16_t& v : f.vin) v = 0;
    f.fin = 0;
    f.bv = 1910;
    f.bi = 210;
    f.bp = 12;
    f.mbatt = 3;
    f.load = 9850;
}

void AlarmAhpYdt(AhpYdtFigures& f, int state) {
    if (state == 1) {
        for (float& v : f.vin) v = 0.0f;
        f.fin = 0.0f;
        f.iout = 18.0f;
        f.v[0] = 0.0f;   // no bypass
        f.v[3] = 18.5f;  // output current C
        f.fbypass = 0.0f;
        f.b7 = 1;                       // rectifier overheated
        const uint8_t b6b2[5] = {1, 1, 0, 1, 0};  // inverter and room overheated, bypass frequency out
        for (int k = 0; k < 5; k++) f.b6b2[k] = b6b2[k];
    } else if (state == 2) {
        for (float& v : f.vin) v = 250.0f;
        f.fin = f.fbypass = 52.0f;
        f.vout = f.v[0] = f.v[1] = f.v[2] = 250.0f;
        f.b6b2[2] = 1;  // inverter output short circuit
    }
}

}  // namespace qxsim
