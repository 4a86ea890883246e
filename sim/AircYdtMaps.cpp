#include "AircYdtMaps.h"

#include <vector>

namespace qxsim {

namespace {

using Fields = std::vector<std::pair<int, std::string>>;

// Field -> character of the EVO DX analogue reply.
const int kEvoAnalogueAt[18] = {13, 17, 21, 25, 29, 113, 33, 61, 65, 69, 73, 77,
                                117, 133, 137, 141, 105, 129};
const int kEvoStateAt[8] = {13, 15, 17, 19, 21, 23, 57, 63};

// Character of the alarm code of field 19 + i.
int EvoAlarmAt(int i) {
    if (i < 5) return 13 + 2 * i;
    if (i < 30) return 65 + 2 * (i - 5);
    if (i == 30) return 129;
    if (i < 41) return 141 + 2 * (i - 31);
    return 165;
}

}  // namespace

std::string EmersonInfo(const EmersonUnit& u, int cid2) {
    Fields f;
    switch (cid2) {
    case 0x42:
        for (int k = 0; k < 7; k++) f.push_back({13 + 4 * k, YdtWord(u.analogue[k])});
        return YdtInfoAt(f, 41);
    case 0x47:
        for (int k = 0; k < 12; k++) f.push_back({13 + 4 * k, YdtWord(u.params[k])});
        return YdtInfoAt(f, 61);
    case 0x82:
        f.push_back({13, YdtByte(u.status)});
        for (int k = 0; k < 18; k++) f.push_back({15 + 2 * k, YdtByte(u.sw[k])});
        return YdtInfoAt(f, 51);
    case 0x85:
        return YdtInfoAt({{15, std::string(u.alarms, 22)}}, 41);
    }
    return "";
}

void SetEmerson(YdtDevice& dev, const EmersonUnit& u) {
    for (int cid2 : {0x42, 0x47, 0x82, 0x85}) dev.SetInfo(cid2, EmersonInfo(u, cid2));
}

void AlarmEmerson(EmersonUnit& u, int state) {
    if (state != 1) return;
    u.analogue[0] = 400;  // 40.0 C
    u.analogue[1] = 800;  // 80.0 %
    u.sw[2] = 0;          // compressor 1 stopped
    u.sw[6] = 1;          // the common alarm output
    for (int i : {0, 4, 8, 10}) u.alarms[i] = '1';
}

std::string EvoDxInfo(const EvoDxUnit& u, int cid2) {
    Fields f;
    switch (cid2) {
    case 0x42:
        for (int k = 0; k < 18; k++) f.push_back({kEvoAnalogueAt[k], YdtWord(u.analogue[k])});
        return YdtInfoAt(f, 145);
    case 0x43:
        for (int k = 0; k < 8; k++) f.push_back({kEvoStateAt[k], YdtByte(u.states[k])});
        return YdtInfoAt(f, 65);
    case 0x44:
        for (int i = 0; i < 42; i++) f.push_back({EvoAlarmAt(i), YdtByte(u.alarms[i])});
        return YdtInfoAt(f, 167);
    }
    return "";
}

void SetEvoDx(YdtDevice& dev, const EvoDxUnit& u) {
    for (int cid2 : {0x42, 0x43, 0x44}) dev.SetInfo(cid2, EvoDxInfo(u, cid2));
}

void AlarmEvoDx(EvoDxUnit& u, int state) {
    // Alarm codes by field less 19.
    static const int kHot[] = {0,  2,  4,  5,  6,  8,  9,  10, 12, 13, 14, 16, 17, 18, 19, 20,
                               21, 22, 23, 27, 28, 29, 30, 31, 32, 33, 34, 35, 39, 40, 41};
    static const int kCold[] = {1, 3, 7, 11, 15, 24, 25, 26, 36, 37, 38};
    if (state != 1 && state != 2) return;
    const bool hot = state == 1;
    const uint16_t tem = hot ? 361 : 181, hum = hot ? 781 : 181;
    for (int k = 0; k < 5; k++) {
        u.analogue[k] = (uint16_t)(tem + k);       // fields 1..5
        u.analogue[7 + k] = (uint16_t)(hum + k);   // fields 8..12
    }
    u.analogue[14] = (uint16_t)(tem + 2);  // the averages, fields 15 and 16
    u.analogue[15] = (uint16_t)(hum + 2);
    if (hot) u.states[1] = 0;  // compressor 1 stopped
    if (hot)
        for (int i : kHot) u.alarms[i] = 1;
    else
        for (int i : kCold) u.alarms[i] = 1;
}

std::string Dme3000Info(const Dme3000Unit& u, int cid2) {
    switch (cid2) {
    case 0x82:
        return YdtInfoAt({{15, YdtByte(u.run)}, {19, YdtByte(u.alarm)}, {21, YdtByte(u.user)},
                          {23, YdtByte(u.power)}},
                         25);
    case 0x42:
        return YdtInfoAt({{13, YdtWord(u.tem)}, {17, YdtWord(u.hum)}, {21, YdtWord(u.temout)}},
                         25);
    case 0x47: return YdtInfoAt({{21, YdtWord(u.temset)}, {29, YdtWord(u.humset)}}, 33);
    case 0x83: return YdtInfoAt({{13, YdtByte(u.mode)}, {15, YdtByte(u.locks)}}, 17);
    }
    return "";
}

bool Dme3000Unit::Raise(int field) {
    // The state bytes in field order: running 1-6, alarms 7-13, 19-26, 27-34, locks 37-39.
    struct Byte {
        int first, count;
        uint8_t Dme3000Unit::*byte;
    };
    static const Byte kBytes[] = {{1, 6, &Dme3000Unit::run},    {7, 7, &Dme3000Unit::alarm},
                                  {19, 8, &Dme3000Unit::user},  {27, 8, &Dme3000Unit::power},
                                  {37, 3, &Dme3000Unit::locks}};
    for (const Byte& b : kBytes) {
        if (field < b.first || field >= b.first + b.count) continue;
        this->*b.byte |= (uint8_t)(1u << (field - b.first));
        return true;
    }
    return false;
}

void AlarmDme3000(Dme3000Unit& u, int state) {
    static const int kHot[] = {7, 9, 11, 19, 20, 21, 22, 23, 24, 26, 27, 28, 33, 34, 37, 39};
    static const int kCold[] = {8, 10, 12, 13, 25, 29, 30, 31, 32, 38};
    if (state == 1) {
        u.tem = 400, u.hum = 800;
        for (int f : kHot) u.Raise(f);
    } else if (state == 2) {
        u.tem = 150, u.hum = 300;
        for (int f : kCold) u.Raise(f);
    }
}

void SetDme3000(YdtDevice& dev, const Dme3000Unit& u) {
    for (int cid2 : {0x82, 0x42, 0x47, 0x83}) dev.SetInfo(cid2, Dme3000Info(u, cid2));
    dev.SetInfo(0x45, "");
    dev.SetInfo(0x49, "");
}

void SetDme3000Modbus(ModbusSlave& s, const Dme3000Regs& r) {
    s.ServeInput(0, 124);
    s.ServeDiscrete(14, 73);  // 14-86
    s.SetInput(0, (uint16_t)r.temset);
    s.SetInput(1, 0);
    s.SetInput(2, (uint16_t)r.humset);
    s.SetInput(30, (uint16_t)r.tem);
    s.SetInput(31, (uint16_t)r.hum);
    s.SetInput(123, (uint16_t)r.fan);
    for (int i = 0; i < 20; i++) s.SetDiscrete((uint16_t)(14 + i), r.inputs[i]);
    for (int i = 0; i < 6; i++) s.SetDiscrete((uint16_t)(41 + i), r.power[i]);
    for (int i = 0; i < 6; i++) s.SetDiscrete((uint16_t)(81 + i), i == 0 && r.cooling);
}

void AlarmDme3000Modbus(Dme3000Regs& r, int state) {
    // Inputs 14..33: high pressure 24, low 25, high temperature 27, low 28, high humidity 29,
    // low 30; power 41.
    if (state == 1) {
        r.tem = 400, r.hum = 800;
        r.inputs[10] = r.inputs[13] = r.inputs[15] = true;
    } else if (state == 2) {
        r.tem = 150, r.hum = 300;
        r.inputs[11] = r.inputs[14] = r.inputs[16] = true;
        r.power[0] = true;
    }
}

std::string TeMasterInfo(const TeMasterUnit& u) {
    Fields f = {{13, YdtWord(u.tem)},      {17, YdtWord(u.hum)},    {21, YdtByte(u.onoff)},
                {23, YdtByte(u.states)},   {25, YdtByte(u.workmode)}, {35, YdtWord(u.temh)},
                {39, YdtWord(u.teml)},     {43, YdtWord(u.humh)},   {47, YdtWord(u.huml)},
                {51, YdtWord(u.temset)},   {59, YdtWord(u.humset)}, {67, YdtWord(u.worktime)}};
    for (int i = 0; i < 4; i++) f.push_back({27 + 2 * i, YdtByte(u.alarms[i])});
    return YdtInfoAt(f, 71);
}

void SetTeMaster(YdtDevice& dev, const TeMasterUnit& u) { dev.SetInfo(0xE0, TeMasterInfo(u)); }

void AlarmTeMaster(TeMasterUnit& u, int state) {
    if (state != 1) return;
    u.tem = 400, u.hum = 800;
    for (int i = 0; i < 4; i++) u.alarms[i] = (uint8_t)(1 + i);
}

}  // namespace qxsim
