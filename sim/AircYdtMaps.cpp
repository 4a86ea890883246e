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

std::string TeMasterInfo(const TeMasterUnit& u) {
    Fields f = {{13, YdtWord(u.tem)},      {17, YdtWord(u.hum)},    {21, YdtByte(u.onoff)},
                {23, YdtByte(u.states)},   {25, YdtByte(u.workmode)}, {35, YdtWord(u.temh)},
                {39, YdtWord(u.teml)},     {43, YdtWord(u.humh)},   {47, YdtWord(u.huml)},
                {51, YdtWord(u.temset)},   {59, YdtWord(u.humset)}, {67, YdtWord(u.worktime)}};
    for (int i = 0; i < 4; i++) f.push_back({27 + 2 * i, YdtByte(u.alarms[i])});
    return YdtInfoAt(f, 71);
}

void SetTeMaster(YdtDevice& dev, const TeMasterUnit& u) { dev.SetInfo(0xE0, TeMasterInfo(u)); }

}  // namespace qxsim
