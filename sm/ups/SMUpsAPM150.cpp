#include "ups/SMUpsAPM150.h"

#include <stdio.h>
#include <string.h>

#include "ReplyCheck.h"
#include "TeFrame.h"

using qx::sql::DefRow;
using R = TbUpsRecord;

namespace {

const int kVer = 0x10;
const int kCid1 = 0x2A;

const DefRow kRows[21] = {
    TBUPS_TENTHS(1, "Vin1", "输入电压A", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(2, "Vin2", "输入电压B", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(3, "Vin3", "输入电压C", 6, 2000, 2350, "输入电压"),
    TBUPS_TENTHS(4, "Fin", "输入频率", 0, 490, 510, "输入频率"),
    TBUPS_TENTHS(5, "Vout", "输出电压A", 0, 0, 2350, "输出电压"),
    TBUPS_TENTHS(28, "v2", "输出电压B", 0, 0, 2350, "输出电压"),
    TBUPS_TENTHS(29, "v3", "输出电压C", 0, 0, 2350, "输出电压"),
    TBUPS_TENTHS(6, "Aout", "输出电流A", 0, 0, 1500, "输出电流"),
    TBUPS_TENTHS(23, "Aed", "输出电流B", 0, 0, 1500, "输出电流"),
    TBUPS_TENTHS(30, "v4", "输出电流C", 0, 0, 1500, "输出电流"),
    TBUPS_TENTHS(7, "Fout", "输出频率", 0, 490, 2350, "输出频率"),
    TBUPS_FLAG(11, "b7", "b7主路电压异常", 1, "1表示异常", ""),
    TBUPS_FLAG(12, "b6", "b6电池组状态", 1, "1表示低电压", ""),
    TBUPS_FLAG(13, "b5", "b5旁路状态", 1, "1表示旁路模式", ""),
    TBUPS_FLAG(14, "b4", "b4紧急关机", 1, "1表示UPS故障", ""),
    // Every alarm byte is a fault: the room too hot, a fan failed, the mains fuse blown too.
    TBUPS_FLAG(15, "b3", "b3环境温度过高", 1, "1表示后备式,常为0", ""),
    TBUPS_FLAG(16, "b2", "b2风扇故障", 1, "1表示测试中", "0"),
    TBUPS_FLAG(17, "b1", "b1主路熔丝断", 1, "1表示配置关机后有效", ""),
    TBUPS_FLAG(18, "b0", "b0容量过载告警", 1, "1表示蜂鸣响起", "0"),
    TBUPS_TENTHS(19, "Vbatt", "电池电压", 0, 2000, 2350, "电池电压"),
    TBUPS_TENTHS(9, "Tem", "电池温度", 0, 200, 650, "温度"),
};

const TbUpsShape kShape = {
    "UPS APM150...",
    kRows, 21,
    kTbUpsColumnsWide, (int)sizeof kTbUpsColumnsWide,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
};

using FloatCol = CSMUpsAPM150::FloatCol;
using ByteCol = CSMUpsAPM150::ByteCol;

// CID2 41: DATAFLAG, then eleven floats (the same columns for every unit).
//   ~10012A00105A 00 | 00806643 ... | CHKSUM CR     (00806643 = 230.5)
//   0        9     13   15
const FloatCol kPhases[] = {
    {&R::Vin1, 15, 15, 10}, {&R::Vin2, 23, 23, 10}, {&R::Vin3, 31, 31, 10},
    {&R::Vout, 39, 39, 10}, {&R::v2, 47, 47, 10},   {&R::v3, 55, 55, 10},
    {&R::Aout, 63, 63, 10}, {&R::Aed, 71, 71, 10},  {&R::v4, 79, 79, 10},
    {&R::Vbatt, 87, 87, 10}, {&R::Fout, 95, 95, 10},
};
// CID2 E1: the input frequency; the iTrust TV also takes the bypass values after it (it
// reads every reply at the columns of a nonzero Variant).
const FloatCol kInput[] = {{&R::Fin, 65, 67, 10}};
const FloatCol kBypass[] = {
    {&R::Pout, 99, 99, 10}, {&R::Ved, 107, 107, 10}, {&R::Vdc, 115, 115, 10},
    {&R::Fed, 123, 123, 10},
};
// CID2 E7: battery remaining time (times 100) and temperature.
const FloatCol kBattery[] = {{&R::Mbatt, 17, 19, 100}, {&R::Tem, 63, 69, 10}};

// CID2 44: one byte (2 characters) per flag, b7 .. b0.
const ByteCol kAlarms[] = {
    {&R::b7, 15, 17}, {&R::b6, 23, 25}, {&R::b5, 21, 23}, {&R::b4, 57, 59},
    {&R::b3, 55, 57}, {&R::b2, 53, 55}, {&R::b1, 129, 131}, {&R::b0, 203, 205},
};

}  // namespace

CSMUpsAPM150::CSMUpsAPM150() : CSMUpsAPM150(0x30D, "QX-APM150", kShape) {
    // Nothing before the first poll: no battery figures of a default unit.
    m_rec.Pbatt = m_rec.Mbatt = 0;
}

CSMUpsAPM150::CSMUpsAPM150(int type, const char* note, const TbUpsShape& shape)
    : CSMUpsTbUps(type, note, shape) {
    memset(m_reply, 0, sizeof m_reply);
}

CSMUpsAPM150::~CSMUpsAPM150() {}

int CSMUpsAPM150::DataGet(ISerBase* ch, int adr, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    const bool variant0 = !m_pItem || m_pItem->Variant == 0;
    return PollSequence(ch, adr, wait, {variant0, variant0, false, false});
}

bool CSMUpsAPM150::Ask(ISerBase* ch, int ver, int adr, int cid1, int cid2, const uint8_t* info,
                       int infoLen, int delayMs, int need) {
    qx::YdReply r = qx::YdRequest(ch, ver, adr, cid1, cid2, info, infoLen, m_reply,
                                  sizeof m_reply, delayMs, need);
    if (r.ok()) return true;
    if (r.status == qx::ReplyStatus::ReturnCode)
        printf("[A%02d] %s %02X/%02X: RTN %02X\r\n", adr, m_note, cid1, cid2, r.rtn);
    else
        printf("[A%02d] %s %02X/%02X: %s\r\n", adr, m_note, cid1, cid2,
               qx::ReplyStatusText(r.status));
    return false;
}

int32_t CSMUpsAPM150::Float(int at, double k) const {
    return Trunc(TE_Ascii2double(m_reply + at, 8) * k);
}

void CSMUpsAPM150::PackStatus() {
    m_rec.status = 0;
    for (const ByteCol& c : kAlarms) m_rec.status = (uint8_t)(m_rec.status << 1 | m_rec.*c.flag);
}

int CSMUpsAPM150::PollSequence(ISerBase* ch, int adr, int wait, const Sequence& s) {
    // The ADR is one byte: another address is not cut to it, which would ask another unit.
    if (adr < 0 || adr > 0xFF) return 0;
    if (wait <= 0) wait = kDefaultWait;

    static const uint8_t kZero = 0x00;
    if (!Ask(ch, kVer, adr, kCid1, 0x41, s.firstInfo ? &kZero : nullptr, s.firstInfo ? 1 : 0,
             wait, Need(kPhases, s.variant0, 8)))
        return 0;
    ClearRecord();
    TakeFloats(kPhases, s.variant0);

    const int needE1 = s.bypass ? Need(kBypass, s.variant0, 8) : Need(kInput, s.variant0, 8);
    if (!Ask(ch, kVer, adr, kCid1, 0xE1, &kZero, 1, wait, needE1)) return 0;
    TakeFloats(kInput, s.variant0);
    if (s.bypass) TakeFloats(kBypass, s.variant0);

    static const uint8_t kBatteryInfo[2] = {0x01, 0x00};
    if (!Ask(ch, kVer, adr, kCid1, 0xE7, kBatteryInfo, 2, wait, Need(kBattery, s.variant0, 8)))
        return 0;
    TakeFloats(kBattery, s.variant0);

    return PollAlarms(ch, kVer, adr, wait, s.variant0, s.report);
}

int CSMUpsAPM150::PollAlarms(ISerBase* ch, int ver, int adr, int wait, bool variant0,
                             bool report) {
    if (!Ask(ch, ver, adr, kCid1, 0x44, nullptr, 0, wait, Need(kAlarms, variant0, 2))) return 0;
    if (report) printf("iTrustAdapt 0x44 ok\r\niTrustAdapt 0x44 chksum...\r\n");
    for (const ByteCol& c : kAlarms)
        m_rec.*c.flag = TE_Ascii2uint8(m_reply + (variant0 ? c.at0 : c.at), 2) == 0xF0;
    PackStatus();
    if (report) printf("iTrustAdapt all ok\r\n");
    return 1;
}

void CSMUpsAPM150::BriefText(char* out, size_t size) {
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%1.1fA", m_rec.Vin1 * 0.1,
             m_rec.Vout * 0.1, m_rec.Aout * 0.1);
}
