#include "ups/SMUpsEmerson.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "ReplyCheck.h"
#include "TeFrame.h"

using qx::sql::DefRow;

#define ANALOG UPSEX_ANALOG
#define STATE UPSEX_STATE

// The rows after the base's first 18: the state rows name the codes DataGet stores, the bytes
// of the CID2 0x43 reply (E0H and up) or those Variant 3 derives from its state word.
const DefRow kEmersonRows[25] = {
    ANALOG(22, "Tem", "电池温度", 200, 650, "温度"),
    STATE(24, "b15", "供电方式", "01H：UPS供电 02H：旁路供电 E9H：均不供电", ""),
    STATE(25, "b14", "电池自检中", "E0H：自检中 E1H：没在自检", ""),
    STATE(26, "b13", "均充/浮充（正组）", "E0H：浮充 E1H：均充 E2H：非充电状态", ""),
    STATE(27, "b12", "开机/关机", "E0H：关机 E1H：开机", ""),
    STATE(28, "b11", "UPS供电",
          "E0H：主路逆变供电 E1H：电池逆变供电 E2H：联合逆变供电 E3H:  整流电池均不供电", ""),
    STATE(29, "b10", "发电机接入", "E0H：发电机接入 E1H：发电机没接入", "0"),
    STATE(30, "b9", "输入开关状态", "E0H：断开状态 E1H：闭合状态", ""),
    STATE(31, "b8", "维修旁路开关状态", "E0H：断开状态 E1H：闭合状态", "0"),
    STATE(32, "b7", "旁路开关状态", "E0H：断开状态 E1H：闭合状态", ""),
    STATE(33, "b6", "输出开关状态", "E0H：断开状态 E1H：闭合状态", ""),
    STATE(34, "b5", "并机系统供电状态",
          "E0H：主路逆变供电 E1H：电池逆变供电 E2H：旁路供电 E3H:  均不供电", ""),
    STATE(35, "b4", "旋转开关状态(不用,预留)",
          "E0H：关闭状态 E1H：测试状态（逆变调测模式） E2H：正常状态 E3H：旁路状态 "
          "E4H：维修状态 E5H：逆变步进调试模式",
          ""),
    STATE(36, "b3", "滤波器状态", "E0H：未接入 E1H：接入", ""),
    STATE(37, "b2", "休眠状态", "E0H：未休眠 E1H：本机休眠", "0"),
    STATE(38, "b1", "整流器工作状态", "E0H：正常工作状态 E1H：PFC工作状态", ""),
    STATE(39, "b0", "ECO模式状态", "E0H：正常模式 E1H：ECO模式", "0"),
    ANALOG(40, "Vbatt", "电池电压", 2000, 2350, "电池电压"),
    ANALOG(42, "Mbatt", "电池剩于时间", 2000, 2350, "电池剩于时间"),
    ANALOG(55, "VB1", "旁路电压A", 2000, 2350, "输出电压"),
    ANALOG(56, "VB2", "旁路电压B", 2000, 2350, "输出电压"),
    ANALOG(57, "VB3", "旁路电压C", 2000, 2350, "输出电压"),
    ANALOG(61, "FB1", "旁路频率A", 490, 510, "输出频率"),
    ANALOG(62, "FB2", "旁路频率B", 490, 510, "输出频率"),
    ANALOG(63, "FB3", "旁路频率C", 490, 510, "输出频率"),
};

namespace {

const int kCid1 = 0x2A;

// Reply columns (characters from SOI; INFO starts at 13) of the float and 16-bit profiles.
// A row gives the column for the floats of Variants 0, 1, 4, for the floats of Variant 2
// (where it differs) and for the 16-bit values of Variant 5.
struct Col {
    uint8_t fld;
    int16_t f, f2, w;
};

// CID2 0x41/0x42, the first reply: INFO is a DATAFLAG byte (characters 13-14), then the
// values one after the other (floats: 8 characters, least significant byte first; 16-bit:
// 4 characters), Vin1..3, Vout1..3, Iout1..3, Vbatt, Fout:
//   ~ VER ADR 2A 00 LENGTH | 00 | 00C05C43 00C05C43 ... | CHKSUM CR
//   0 1   3   5  7  9        13   15       23
const Col kFirst[] = {
    {kExVin1, 15, 15, 15},  {kExVin2, 23, 23, 19},  {kExVin3, 31, 31, 23},
    {kExVout1, 39, 39, 27}, {kExVout2, 47, 47, 31}, {kExVout3, 55, 55, 35},
    {kExIout1, 63, 63, 39}, {kExIout2, 71, 71, 43}, {kExIout3, 79, 79, 47},
    {kExVbatt, 87, 87, 51}, {kExFout1, 95, 95, 55},
};
// CID2 0xE1 (0xE0 in Variant 5): input currents, input frequency, bypass.
const Col kSecond[] = {
    {kExIin1, 41, 43, 35}, {kExIin2, 49, 51, 39}, {kExIin3, 57, 59, 43},
    {kExFin1, 65, 67, 47},
    {kExVB1, 81, 99, 63},  {kExVB2, 89, 107, 67}, {kExVB3, 97, 115, 71},
    {kExFB1, 105, 123, 87},
};

// Variant 5 only: 16-bit values of its CID2 0xE1 and 0xE3 replies.
struct WordCol {
    uint8_t fld;
    int16_t w;
};
const WordCol kThird5[] = {{kExV1, 71}, {kExV2, 75}, {kExV3, 79}};
const WordCol kBattery5[] = {{kExVbatt, 23}, {kExMbatt, 47}, {kExTem, 51}, {kExPbatt, 59}};

// Variant 3: CID2 0x8B, 0x80 and 0x82 replies, 16-bit values.
const WordCol kInput3[] = {{kExVin1, 13}, {kExVin2, 17}, {kExVin3, 21}, {kExIin1, 25},
                           {kExIin2, 29}, {kExIin3, 33}, {kExFin1, 61}};
const WordCol kOutput3[] = {{kExVout1, 59}, {kExIout1, 63}, {kExFout1, 79}, {kExTem, 107},
                            {kExPbatt, 111}, {kExMbatt, 115}, {kExVbatt, 123}};

// The first character after the last column read, for a table of 8- or 4-character values.
template <class T, size_t N, class F>
int Need(const T (&rows)[N], F column, int width) {
    int need = 0;
    for (const T& r : rows)
        if (column(r) + width > need) need = column(r) + width;
    return need;
}

}  // namespace

CSMUpsEmerson::CSMUpsEmerson() : CSMUpsBase(0x301) {
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-EMERSON");
    memset(m_reply, 0, sizeof m_reply);
}

CSMUpsEmerson::~CSMUpsEmerson() {}

int CSMUpsEmerson::ChkDef(IDbBase* db, int force) {
    // The base's rows 1-18 (Vin1 .. Fout3), then the family's own.
    return DefRows(db, force, {{kUpsExDefRows, 18}, {kEmersonRows, 25}});
}

CSMUpsEmerson::Profile CSMUpsEmerson::ProfileOf(int variant) {
    switch (variant) {
    case 1: return {0x10, 1.0f, 0x41, false};
    case 2: return {0x10, 10.0f, 0x41, false};
    case 3: return {0x21, 0.1f, 0x8B, true};
    case 4: return {0x21, 0.1f, 0x42, false};
    case 5: return {0x21, 1.0f, 0x42, true};
    default: return {0x11, 1.0f, 0x41, false};
    }
}

bool CSMUpsEmerson::Exchange(ISerBase* ch, int ver, int adr, int cid2, const uint8_t* info,
                             int infoLen, int delayMs, int need) {
    // No character of an earlier reply may stand where this one is read.
    memset(m_reply, 0, sizeof m_reply);
    qx::YdReply r = qx::YdRequest(ch, ver, adr, kCid1, cid2, info, infoLen, m_reply,
                                  sizeof m_reply, delayMs, need);
    if (r.ok()) return true;
    if (r.status == qx::ReplyStatus::ReturnCode)
        printf("[A%02d] UPS-EMERSON %02X: RTN %02X\r\n", adr, cid2, r.rtn);
    else
        printf("[A%02d] UPS-EMERSON %02X: %s\r\n", adr, cid2, qx::ReplyStatusText(r.status));
    return false;
}

int CSMUpsEmerson::Word(int offset, float scale) const {
    float x = (float)TE_Ascii2uint16(m_reply + offset, 4);
    float v = x * scale;  // single precision, as the unit's figures were always scaled
    return ToInt(v);
}

int CSMUpsEmerson::Float(int offset, float scale) const {
    float v = TE_Ascii2float(m_reply + offset, 8) * scale;
    return ToInt(v);
}

int CSMUpsEmerson::DataGet(ISerBase* ch, int adr, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    const int variant = m_pItem ? m_pItem->Variant : 0;
    const Profile p = ProfileOf(variant);
    printf("UPS-EMERSON 0x%02x - %d\r\n", p.ver, (int)p.scale);
    m_iDivisor = (int)p.scale;
    if (wait <= 0) wait = kDefaultWait;

    if (variant == 3) return PollProfile3(ch, adr, wait, p);
    return PollFloatsOrWords(ch, adr, wait, variant, p);
}

int CSMUpsEmerson::PollProfile3(ISerBase* ch, int adr, int wait, const Profile& p) {
    auto w = [](const WordCol& c) { return (int)c.w; };

    if (!Exchange(ch, p.ver, adr, p.firstCid2, nullptr, 0, wait, Need(kInput3, w, 4))) return 0;
    ClearRecord();
    for (const WordCol& c : kInput3) *Field(c.fld) = Word(c.w, p.scale);
    m_rec.Fin2 = m_rec.Fin3 = m_rec.Fin1;

    // Supply mode byte at 13, state word at 19.
    const int need80 = Need(kOutput3, w, 4) > 27 ? Need(kOutput3, w, 4) : 27;
    if (!Exchange(ch, p.ver, adr, 0x80, nullptr, 0, kProfile3Wait, need80)) return 0;
    for (const WordCol& c : kOutput3) *Field(c.fld) = Word(c.w, p.scale);
    m_rec.Vout2 = m_rec.Vout3 = m_rec.Iout2 = m_rec.Iout3 = 0;
    const uint8_t m = TE_Ascii2uint8(m_reply + 13, 2);
    const uint32_t sw = TE_Ascii2uint32(m_reply + 19, 8);
    auto bit = [sw](int n) { return (sw >> n) & 1u; };
    m_rec.b15 = m == 2 ? 2 : m == 3 ? 1 : 0xE9;
    m_rec.b14 = bit(15) ? 0xE0 : 0xE1;
    m_rec.b13 = bit(17) ? 0xE1 : 0xE2;
    m_rec.b12 = bit(23) ? 0xE0 : 0xE1;
    m_rec.b11 = bit(19) ? 0xE1 : 0xE3;
    m_rec.b10 = 0xE1;
    m_rec.b9 = m_rec.b8 = m_rec.b7 = m_rec.b6 = 0xE0;
    const uint32_t parallel = (sw >> 2) & 3u;
    m_rec.b5 = parallel == 1 ? 0xE2 : parallel == 2 ? 0xE0 : 0xE3;
    m_rec.b4 = m_rec.b3 = m_rec.b2 = 0xE0;
    m_rec.b1 = bit(22) ? 0xE1 : 0xE0;
    m_rec.b0 = m == 8 ? 0xE1 : 0xE0;

    if (!Exchange(ch, p.ver, adr, 0x82, nullptr, 0, kProfile3Wait, 17 + 4)) return 0;
    m_rec.VB1 = Word(13, p.scale);
    m_rec.VB2 = m_rec.VB3 = 0;
    // The bypass frequency comes in hundredths: scaled in single precision, then a tenth.
    const float fb = (float)TE_Ascii2uint16(m_reply + 17, 4) * p.scale;
    m_rec.FB1 = ToInt((double)fb * 0.1);
    m_rec.FB2 = m_rec.FB3 = 0;
    printf("UPS-EMERSON ok");
    return 1;
}

int CSMUpsEmerson::PollFloatsOrWords(ISerBase* ch, int adr, int wait, int variant,
                                     const Profile& p) {
    const bool v2 = variant == 2, v5 = variant == 5;
    // The column of a row in this profile, and the characters a value takes.
    auto col = [&](const Col& c) { return (int)(v5 ? c.w : v2 ? c.f2 : c.f); };
    const int width = p.words ? 4 : 8;
    auto take = [&](const Col* rows, size_t n) {
        for (size_t i = 0; i < n; i++) {
            int offset = col(rows[i]);
            *Field(rows[i].fld) = p.words ? Word(offset, p.scale) : Float(offset, p.scale);
        }
    };

    if (!Exchange(ch, p.ver, adr, p.firstCid2, nullptr, 0, wait, Need(kFirst, col, width)))
        return 0;
    ClearRecord();
    take(kFirst, sizeof kFirst / sizeof kFirst[0]);
    m_rec.Fout3 = m_rec.Fout2 = m_rec.Fout1;

    static const uint8_t kZero = 0x00;
    const int cid2 = v5 ? 0xE0 : 0xE1;
    if (!Exchange(ch, p.ver, adr, cid2, v2 ? &kZero : nullptr, v2 ? 1 : 0, wait,
                  Need(kSecond, col, width)))
        return 0;
    take(kSecond, sizeof kSecond / sizeof kSecond[0]);
    m_rec.Fin3 = m_rec.Fin2 = m_rec.Fin1;
    m_rec.FB3 = m_rec.FB2 = m_rec.FB1;

    auto w = [](const WordCol& c) { return (int)c.w; };
    if (v5) {
        if (!Exchange(ch, p.ver, adr, 0xE1, nullptr, 0, wait, Need(kThird5, w, 4))) return 0;
        for (const WordCol& c : kThird5) *Field(c.fld) = Word(c.w, p.scale);
    }

    if (!Exchange(ch, p.ver, adr, 0xE3, nullptr, 0, wait, v5 ? Need(kBattery5, w, 4) : 113 + 8))
        return 0;
    if (v5) {
        for (const WordCol& c : kBattery5) *Field(c.fld) = Word(c.w, p.scale);
    } else {
        m_rec.Mbatt = Float(113, p.scale);
    }

    // CID2 0x43: dataflag, b15, one byte skipped, then b14 .. b0; the state bytes are stored
    // as the unit sends them (E0H and up).
    const int first = CBufHelper::YdIdxF(1, 0, 1);
    if (!Exchange(ch, p.ver, adr, 0x43, nullptr, 0, wait, first + 4 + 15 * 2)) return 0;
    m_rec.b15 = (int32_t)CBufHelper::HexVal(m_reply + first, 2);
    for (int k = 1; k < 16; k++)
        *Field(kExB15 + k) = (int32_t)CBufHelper::HexVal(m_reply + first + 2 + 2 * k, 2);
    PackStatus();
    printf("UPS-EMERSON ok");
    return 1;
}
