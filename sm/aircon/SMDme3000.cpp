#include "aircon/SMDme3000.h"

#include <stdio.h>
#include <string.h>

#include "TeFrame.h"

using airc::Field;
using airc::W;

namespace {

enum Fld : uint8_t {
    kPow = 1, kFj = 2, kZl = 3, kJrq = 4, kJsq = 5, kCsj = 6, kGy = 7, kDy = 8, kGw = 9,
    kDw = 10, kGs = 11, kDs = 12, kElec = 13, kTem = 14, kHum = 15, kTemout = 16,
    kTemset = 17, kHumset = 18, kMstate = 35, kMmode = 36, kVhlock = 37, kCount = 39,
};

// In word order, the unit's record; each word under its field number.
#define F(n, name) {n, name, W::I32}
const Field kFields[kCount] = {
    F(14, "tem"), F(15, "hum"), F(16, "temout"), F(17, "temset"), F(18, "humset"),
    F(1, "s_pow"), F(2, "s_fj"), F(3, "s_zl"), F(4, "s_jrq"), F(5, "s_jsq"), F(6, "s_csj"),
    F(7, "s_gy"), F(8, "s_dy"), F(9, "s_gw"), F(10, "s_dw"), F(11, "s_gs"), F(12, "s_ds"),
    F(13, "s_elec"), F(19, "s_usr1"), F(20, "s_usr2"), F(21, "s_mainmt"), F(22, "s_hummt"),
    F(23, "s_filtmt"), F(24, "s_commfault"), F(25, "s_panfrost"), F(26, "s_humfault"),
    F(27, "s_senlost"), F(28, "s_exhaust"), F(29, "s_powlost"), F(30, "s_powlow"),
    F(31, "s_phaselost"), F(32, "s_freqlost"), F(33, "s_leak"), F(34, "s_englost"),
    F(35, "s_mstate"), F(36, "s_mmode"), F(37, "s_vhlock"), F(38, "s_vllock"),
    F(39, "s_exhaustlock"),
};
#undef F
const uint8_t kColumns[kCount] = {14, 15, 16, 17, 18, 1,  2,  3,  4,  5,  6,  7,  8,
                                  9,  10, 11, 12, 13, 19, 20, 21, 22, 23, 24, 25, 26,
                                  27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39};

#define ALM(n, name, cap) {n, name, 1, cap, 1, 1, 0, "0无异常", 0, "", 0}
const qx::sql::DefRow kDefs[] = {
    ALM(7, "s_gy", "高压报警"), ALM(8, "s_dy", "低压报警"), ALM(9, "s_gw", "高温报警"),
    ALM(10, "s_dw", "低温报警"), ALM(11, "s_gs", "高湿报警"), ALM(12, "s_ds", "低湿报警"),
    ALM(13, "s_elec", "电源故障报警"),
    {14, "Tem", 1, "温度值", 10, 6, 300, "最小值|允许最低温度,低于此值告警", 380,
     "最大值|允许最高温度,超过此值告警", 0},
    {15, "Hum", 1, "湿度值", 10, 6, 350, "最小值|允许最低湿度,低于此值告警", 780,
     "最大值|允许最高湿度,超过此值告警", 0},
    {16, "temout", 1, "室外温度值", 10, 6, 350, "最小值|允许最低湿度,低于此值告警", 780,
     "最大值|允许最高湿度,超过此值告警", 0},
    ALM(19, "s_usr1", "用户自定义1报警"), ALM(20, "s_usr2", "用户自定义2报警"),
    ALM(21, "s_mainmt", "主风机维护报警"), ALM(22, "s_hummt", "加湿器维护报警"),
    ALM(23, "s_filtmt", "过滤网维护报警"), ALM(24, "s_commfault", "通讯故障报警"),
    ALM(25, "s_panfrost", "盘管冻结报警"), ALM(26, "s_humfault", "加湿器故障报警"),
    ALM(27, "s_senlost", "传感器板丢失报警"), ALM(28, "s_exhaust", "排气温度故障报警"),
    ALM(29, "s_powlost", "电源丢失故障报警"), ALM(30, "s_powlow", "电源过欠压报警"),
    ALM(31, "s_phaselost", "电源缺相报警"), ALM(32, "s_freqlost", "电源频率偏移报警"),
    ALM(33, "s_leak", "地板溢水报警"), ALM(34, "s_englost", "节能卡故障"),
    // The unit's state and work mode (0 to 7) are states, not alarms: no limit is checked.
    {35, "s_mstate", 1, "机组状态", 1, 0, 0, "0-关机, 1-运行, 2-待机, 3-锁定", 0, "", 0},
    {36, "s_mmode", 1, "工作模式", 1, 0, 0, "0单机，1备机，2主机", 0, "", 0},
    ALM(37, "s_vhlock", "高压锁定"), ALM(38, "s_vllock", "低压锁定"),
    ALM(39, "s_exhaustlock", "排气锁定"),
};
#undef ALM

const airc::Shape kShape = {
    {768, "UPS", "UPS APM150..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbDME3000",
     AIRC_TABLE_HEAD
     "tem INTEGER,hum INTEGER,temout INTEGER,"
     "temset INTEGER,humset INTEGER,s_pow INTEGER,s_fj INTEGER,s_zl INTEGER,s_jrq INTEGER,"
     "s_jsq INTEGER,s_csj INTEGER,s_gy INTEGER,s_dy INTEGER,s_gw INTEGER,s_dw INTEGER,"
     "s_gs INTEGER,s_ds INTEGER,s_elec INTEGER,s_usr1 INTEGER,s_usr2 INTEGER,"
     "s_mainmt INTEGER,s_hummt INTEGER,s_filtmt INTEGER,s_commfault INTEGER,"
     "s_panfrost INTEGER,s_humfault INTEGER,s_senlost INTEGER,s_exhaust INTEGER,"
     "s_powlost INTEGER,s_powlow INTEGER,s_phaselost INTEGER,s_freqlost INTEGER,"
     "s_leak INTEGER,s_englost INTEGER,s_mstate INTEGER,s_mmode INTEGER,s_vhlock INTEGER,"
     "s_vllock INTEGER,s_exhaustlock INTEGER"},
    kFields, kCount,
    kCount,  // DataSize: every field with an alarm row (the locks are fields 37..39)
    kColumns, kCount,
    kCount,
    nullptr, 0,
    airc::kBriefAlarms,
    "精密空调",
    0,  // DataVal(0) is 0
};

const int kCid1 = 0x60;
// YD/T 1363: `wait` when above 0, else 100 ms; replies fit 256 bytes.
const airc::Link kYdLink = {true, 100, 0, 255};
// Modbus RTU: `wait` from 101 ms on, else 100 ms; replies fit 120 bytes.
const airc::Link kMbLink = {true, 100, 100, 120};
// Commands are answered at once.
const airc::Link kCmdLink = {true, 0, -1, 255};

// Bits of a state byte of the CID2 82 reply: the byte at `at`, bits 0.. to fields first...
struct Bits {
    uint8_t at, first, count;
};
const Bits kStateBytes[] = {{15, kPow, 6}, {19, kGy, 7}, {21, 19, 8}, {23, 27, 8}};

// A discrete input of the Modbus poll's fourth read: data byte, bit, field.
struct Input {
    uint8_t byte, bit, fld;
};
const Input kInputs[] = {
    {0, 0, kFj}, {0, 2, kJrq}, {0, 3, kJsq}, {1, 0, kCsj}, {1, 2, kGy}, {1, 3, kDy},
    {1, 5, kGw}, {1, 6, kDw}, {1, 7, kGs}, {2, 0, kDs},
};

struct Read {
    uint8_t fn;
    uint16_t reg, count;
};
const Read kReads[] = {{4, 0, 3}, {4, 30, 2}, {4, 123, 1}, {2, 14, 20}, {2, 41, 6}, {2, 81, 6}};

int16_t Signed(uint16_t w) { return (int16_t)w; }

}  // namespace

CSMDme3000::CSMDme3000() : CSMAircShape(0x809, "QX-DME3000", kShape) { KeepPerPoint(); }

CSMDme3000::~CSMDme3000() {}

int CSMDme3000::DataGet(ISerBase* channel, int address, int wait) {
    if (!channel || !channel->IsOpened()) return 0;
    channel->Purge();
    const int variant = m_pItem ? m_pItem->Variant : 0;
    if (variant != 0 && variant != 1) return 0;  // no protocol of this unit
    // A failed request leaves the point's own values of the requests it did not reach.
    return OnPoint([&] {
        return variant == 0 ? PollYdt(channel, address, wait) : PollModbus(channel, address, wait);
    });
}

int CSMDme3000::PollYdt(ISerBase* channel, int address, int wait) {
    uint8_t rx[256];
    auto ask = [&](int cid2, int need) {
        return YdRequest(channel, YdFrame(codec.Ver(), address, kCid1, cid2), rx, sizeof rx,
                         kYdLink, wait, need).ok();
    };

    // Switch and alarm states: the record starts again from them.
    if (!ask(0x82, 25)) return 0;
    ClearFields(kCount);
    for (const Bits& b : kStateBytes) {
        const int v = TE_Ascii2uint8(rx + b.at, 2);
        for (int i = 0; i < b.count; i++) Set(b.first + i, (v >> i) & 1);
    }

    if (!ask(0x42, 25)) return 0;
    Set(kTem, TE_Ascii2uint16(rx + 13, 4));
    Set(kHum, TE_Ascii2uint16(rx + 17, 4));
    Set(kTemout, TE_Ascii2uint16(rx + 21, 4));

    if (!ask(0x47, 33)) return 0;
    Set(kTemset, TE_Ascii2uint16(rx + 21, 4));
    Set(kHumset, TE_Ascii2uint16(rx + 29, 4));

    // The unit state is a bonus: without it the poll still stands, state and locks 0.
    if (!ask(0x83, 17)) return 1;
    const int b0 = TE_Ascii2uint8(rx + 13, 2), b1 = TE_Ascii2uint8(rx + 15, 2);
    Set(kMstate, b0 & 7);
    Set(kMmode, (b0 >> 3) & 7);
    for (int i = 0; i < 3; i++) Set(kVhlock + i, (b1 >> i) & 1);
    return 1;
}

int CSMDme3000::PollModbus(ISerBase* channel, int address, int wait) {
    if (!qx::AddrFits(address)) return 0;  // never cut to another unit's address
    uint8_t rx[120];
    for (size_t k = 0; k < sizeof kReads / sizeof kReads[0]; k++) {
        const Read& q = kReads[k];
        const int len = ModBusCmd(address, q.fn, q.reg, q.count);
        const qx::MbReply r = Request(channel, len, rx, sizeof rx, kMbLink, wait, 0);
        if (!r.ok()) return 0;
        switch (k) {
        case 0:
            ClearFields(kCount);
            Set(kTemset, Signed(r.Word(0)));
            Set(kHumset, Signed(r.Word(2)));
            break;
        case 1:
            Set(kTem, Signed(r.Word(0)));
            Set(kHum, Signed(r.Word(1)));
            break;
        case 2: Set(kFj, Signed(r.Word(0))); break;  // the fan input of the next read replaces it
        case 3:
            for (const Input& in : kInputs) Set(in.fld, (r.data[in.byte] >> in.bit) & 1);
            break;
        case 4: Set(kElec, (r.data[0] & 0x3F) ? 1 : 0); break;
        case 5: Set(kZl, r.data[0] & 1); break;
        }
    }
    return 1;
}

int CSMDme3000::DoFunc(ISerBase* channel, int address, int command, void* buffer, int) {
    if (!channel || !channel->IsOpened() || !buffer) return 0;
    uint16_t v;
    memcpy(&v, buffer, sizeof v);
    const int param = command & 0xFFFF;
    uint8_t info[6];
    int n, cid2;
    switch (command >> 16) {
    case 1:  // on or off
        info[0] = v ? 0x10 : 0x1F;
        n = 1;
        cid2 = 0x45;
        break;
    case 2:  // a parameter
        info[0] = info[1] = 0;
        info[2] = (uint8_t)(param >> 8);
        info[3] = (uint8_t)param;
        info[4] = (uint8_t)(v >> 8);
        info[5] = (uint8_t)v;
        n = 6;
        cid2 = 0x49;
        break;
    default: return 0;  // no such command: nothing sent
    }
    uint8_t rx[256];
    return YdRequest(channel, YdFrame(codec.Ver(), address, kCid1, cid2, info, n), rx, sizeof rx,
                     kCmdLink, 0, 0).ok() ? 1 : 0;
}

std::vector<int> CSMDme3000::UnreadFields() const {
    if (Variant() != 1) return {};
    // The Modbus map has no outdoor temperature, user, maintenance and power alarms or locks.
    std::vector<int> unread = {kTemout};
    for (int f = 19; f <= 34; f++) unread.push_back(f);
    for (int f = kVhlock; f <= kCount; f++) unread.push_back(f);
    return unread;
}

void CSMDme3000::BriefText(char* out, size_t size, int) {
    // Over Modbus the unit reports no on/off state; its evaporator fan runs whenever it is on.
    const int on = Variant() == 1 ? Val(kFj) : Val(kPow);
    snprintf(out, size, "空调状态：%s", on ? "开" : "关");
}
