#include "UpsModbusMaps.h"

#include <stddef.h>
#include <string.h>

#include <initializer_list>

#include "SimDevice.h"

namespace qxsim {

namespace {

struct Reg {
    uint16_t reg;
    uint16_t UpsReadings::*value;
};

enum Kind { kHolding, kInput };

template <size_t N>
void Put(ModbusSlave& slave, Kind kind, const UpsReadings& r, const Reg (&map)[N]) {
    for (const Reg& m : map) {
        if (kind == kHolding) slave.SetHolding(m.reg, r.*m.value);
        else slave.SetInput(m.reg, r.*m.value);
    }
}

using R = UpsReadings;

const Reg kGx[] = {
    {13, &R::vin1}, {14, &R::vin2}, {15, &R::vin3}, {19, &R::fin},   {25, &R::vout},
    {26, &R::v2},   {27, &R::v3},   {28, &R::aout}, {29, &R::aed},   {30, &R::v4},
    {31, &R::fout}, {49, &R::tem},  {50, &R::vbatt}, {55, &R::mbatt}, {56, &R::pbatt},
};

const Reg kHr7000[] = {
    {1, &R::fin},   {5, &R::vin1},   {6, &R::vin2},   {7, &R::vin3},  {10, &R::fout},
    {14, &R::vout}, {15, &R::v2},    {16, &R::v3},    {17, &R::aout}, {18, &R::aed},
    {19, &R::v4},   {35, &R::vbatt}, {36, &R::pbatt}, {40, &R::tem},  {53, &R::mbatt},
};

const Reg kIpGuard[] = {
    {25, &R::vdc},  {26, &R::mbatt}, {29, &R::vbatt}, {34, &R::fin},  {35, &R::vin1},
    {39, &R::vin2}, {43, &R::vin3},  {47, &R::fout},  {49, &R::vout}, {50, &R::aout},
    {61, &R::fed},  {63, &R::ved},   {64, &R::aed},   {65, &R::vaed}, {73, &R::pout},
    {74, &R::pbatt}, {75, &R::tem},
};

const Reg k9E[] = {
    {278, &R::vin1}, {279, &R::vin2}, {280, &R::vin3}, {266, &R::aout}, {267, &R::aed},
    {268, &R::v4},   {293, &R::vout}, {294, &R::v2},   {295, &R::v3},   {302, &R::vbatt},
    {319, &R::fin},  {321, &R::fout}, {330, &R::mbatt}, {332, &R::pbatt},
};

}  // namespace

void SetUpsGx(ModbusSlave& slave, const UpsReadings& r) {
    slave.ServeHolding(1, 56);
    slave.ServeInput(81);
    Put(slave, kHolding, r, kGx);
    slave.SetInput(81, 1);
}

void SetUpsHr7000(ModbusSlave& slave, const UpsReadings& r, uint16_t fault) {
    slave.ServeInput(1, 66);
    Put(slave, kInput, r, kHr7000);
    slave.SetInput(58, fault);
}

void SetUpsIpGuard(ModbusSlave& slave, const UpsReadings& r, const bool inputs[21]) {
    slave.ServeInput(25, 51);
    slave.ServeDiscrete(17, 21);
    Put(slave, kInput, r, kIpGuard);
    for (int k = 0; k < 21; k++) slave.SetDiscrete((uint16_t)(17 + k), inputs[k]);
    slave.SetFault(ModbusFault::BytePerInput);
}

void ServeUpsIpGuard(Device& device, ModbusSlave& slave) {
    ServeModbusRtu(device, slave);
    device.SetFramer([](const uint8_t* d, size_t n) -> size_t {
        if (n && d[0] == 'Q') {
            const void* cr = memchr(d, '\r', n);
            return cr ? (size_t)((const uint8_t*)cr - d) + 1 : 0;
        }
        const size_t want = ModbusSlave::RtuRequestLength(d, n);
        return want && want <= n ? want : 0;
    });
}

void SetUps9E(ModbusSlave& slave, const UpsReadings& r, uint8_t bits) {
    slave.ServeInput(257, 82);
    slave.ServeDiscrete(1128, 98);  // 1128-1225
    Put(slave, kInput, r, k9E);
    const struct {
        uint16_t input;
        int bit;
    } flags[] = {{1128, 7}, {1130, 6}, {1131, 5}, {1132, 4}, {1133, 3}, {1169, 2}, {1218, 1}};
    for (const auto& f : flags) slave.SetDiscrete(f.input, (bits >> f.bit) & 1);
}

void SetUpsHtxx(ModbusSlave& slave, const UpsExReadings& r) {
    slave.ServeHolding(13, 57);
    slave.ServeInput(83, 57);
    for (int p = 0; p < 3; p++) {
        slave.SetHolding((uint16_t)(13 + p), r.vin[p]);
        slave.SetHolding((uint16_t)(16 + p), r.iin[p]);
        slave.SetHolding((uint16_t)(19 + p), r.fin[p]);
        slave.SetHolding((uint16_t)(25 + p), r.vout[p]);
        slave.SetHolding((uint16_t)(28 + p), r.iout[p]);
        slave.SetHolding((uint16_t)(31 + p), r.fout[p]);
    }
    slave.SetHolding(50, r.vbatt);
    slave.SetHolding(54, r.tem);
    slave.SetHolding(55, r.mbatt);
    slave.SetHolding(56, r.pbatt);
    static const uint16_t kStateRegs[16] = {83, 84, 85, 86, 87, 88, 91, 96,
                                            97, 99, 107, 108, 110, 111, 112, 113};
    for (int k = 0; k < 16; k++) slave.SetInput(kStateRegs[k], r.states[k]);
}

// ---------------------------------------------------------------- alarm states

void AlarmUpsReadings(UpsReadings& r, int state) {
    if (state == 1) {
        r.vin1 = r.vin2 = r.vin3 = 0;
        r.fin = 0;
        r.vbatt = (uint16_t)(r.vbatt * 105 / 136);
        r.pbatt = 150;
        r.mbatt = (uint16_t)(r.mbatt / 10);
        r.tem = 450;
    } else if (state == 2) {
        r.vin1 = r.vin2 = r.vin3 = r.vout = r.v2 = r.v3 = 2500;
        r.fin = r.fout = 485;
    }
}

uint16_t AlarmUpsHr7000Fault(int state) { return state == 1 ? 0x0004 : 0; }

void AlarmUpsIpGuardInputs(bool inputs[21], int state) {
    if (state == 1) {
        for (int k : {0, 1, 3, 4, 6, 14}) inputs[k] = true;
    } else if (state == 2) {
        for (int k : {2, 5}) inputs[k] = true;
    }
}

uint8_t AlarmUps9EBits(int state) {
    return state == 1 ? 0xF2 : state == 2 ? 0x0D : 0;
}

void AlarmUpsHtxx(UpsExReadings& r, int state) {
    // states[k] is b(15 - k).
    auto set = [&r](std::initializer_list<int> bits) {
        for (int b : bits) r.states[15 - b] = 1;
    };
    if (state == 1) {
        for (int p = 0; p < 3; p++) {
            r.vin[p] = r.iin[p] = r.fin[p] = 0;
            r.iout[p] = (uint16_t)(180 + 5 * p);
        }
        r.vbatt = 1750;
        r.pbatt = 50;
        r.mbatt = 20;
        r.tem = 700;
        set({12, 10, 9, 7, 5, 3, 1});
    } else if (state == 2) {
        for (int p = 0; p < 3; p++) {
            r.vin[p] = r.vout[p] = 2500;
            r.iin[p] = r.iout[p] = (uint16_t)(180 + 5 * p);
            r.fin[p] = r.fout[p] = 5200;
        }
        set({13, 8, 4, 2, 0});
    }
}

}  // namespace qxsim
