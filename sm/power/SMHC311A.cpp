#include "power/SMHC311A.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::skel::Key;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

typedef CSMHC311A M;

const TypeRow kType = {256, "单相导轨式电表", "RS-485接口,量程..."};

// As the meter's stored definitions have them, the high texts of the current and temperature
// rows included.
const DefRow kDefs[] = {
    {M::kAU, "m_uiAU", 1, "电压值", 10, 10, 100, "最小值|允许最低电压,低于此值告警", 380,
     "最大值|允许最高电压,超过此值告警", 0},
    {M::kAI, "m_uiAI", 1, "电流值", 10, 10, 0, "最小值|允许最低电流,低于此值告警", 100,
     "最大值|允许最高电压,超过此值告警", 0},
    {M::kTemp, "m_iTemp", 1, "温度值", 10, 10, 25, "最小值|允许最低电流,低于此值告警", 65,
     "最大值|允许最高电压,超过此值告警", 0},
};

// The table's value columns; the factors are not stored.
const Column kCols[] = {
    {"m_uiAU", M::kAU, false},       {"m_uiBU", M::kBU, false},     {"m_uiCU", M::kCU, false},
    {"m_uiAI", M::kAI, false},       {"m_uiBI", M::kBI, false},     {"m_uiCI", M::kCI, false},
    {"m_uiAS", M::kAS, false},       {"m_uiBS", M::kBS, false},     {"m_uiCS", M::kCS, false},
    {"m_uiS", M::kS, false},         {"m_uiFR", M::kFR, false},     {"m_iAP", M::kAP, false},
    {"m_iBP", M::kBP, false},        {"m_iCP", M::kCP, false},      {"m_iP", M::kP, false},
    {"m_iAQ", M::kAQ, false},        {"m_iBQ", M::kBQ, false},      {"m_iCQ", M::kCQ, false},
    {"m_iQ", M::kQ, false},          {"m_iAPF", M::kAPF, false},    {"m_iBPF", M::kBPF, false},
    {"m_iCPF", M::kCPF, false},      {"m_iPF", M::kPF, false},      {"m_iTemp", M::kTemp, false},
    {"m_iEpPH", M::kEpPH, false},    {"m_iEpNH", M::kEpNH, false},  {"m_iEqPH", M::kEqPH, false},
    {"m_iEqNH", M::kEqNH, false},    {"m_iEp_total", M::kEpTotal, false},
    {"m_iEp_net", M::kEpNet, false}, {"m_iEq_total", M::kEqTotal, false},
    {"m_iEq_net", M::kEqNet, false}, {"m_uRelayState", M::kRelayState, false},
};
constexpr size_t kN = sizeof(kCols) / sizeof(kCols[0]);

// Display keys, the GBK alias of each before its ASCII key. The apparent power shows "KVar"
// as screens have it.
const Key kKeys[] = {
    {".电压", M::kAU, 10, 1, "V", true},          {".Vol", M::kAU, 10, 1, "V", true},
    {".电流", M::kAI, 10, 1, "A", true},          {".Cur", M::kAI, 10, 1, "A", true},
    {".有功功率", M::kP, 1000, 3, "KW"},          {".APow", M::kP, 1000, 3, "KW"},
    {".无功功率", M::kQ, 1000, 3, "KVar"},        {".RPow", M::kQ, 1000, 3, "KVar"},
    {".视在功率", M::kS, 1000, 3, "KVar", true},  {".SPow", M::kS, 1000, 3, "KVar", true},
    {".功率因素", M::kPF, 1000, 3, ""},           {".PFac", M::kPF, 1000, 3, ""},
    {".频率", M::kFR, 100, 2, "Hz", true},        {".Freq", M::kFR, 100, 2, "Hz", true},
    {".模块温度", M::kTemp, 10, 1, "°C"},         {".Tem", M::kTemp, 10, 1, "°C"},
    {".正向有功电度", M::kEpPH, 1000, 3, "KWH", true}, {".EpPH", M::kEpPH, 1000, 3, "KWH", true},
    {".反向有功电度", M::kEpNH, 1000, 3, "KWH", true}, {".EpNH", M::kEpNH, 1000, 3, "KWH", true},
    {".感性无功电度", M::kEqPH, 1000, 3, "KWH", true}, {".EqPH", M::kEqPH, 1000, 3, "KWH", true},
    {".容性无功电度", M::kEqNH, 1000, 3, "KWH", true}, {".EqNH", M::kEqNH, 1000, 3, "KWH", true},
    {".和有功电度", M::kEpTotal, 1000, 3, "KWH", true},
    {".Ep_t", M::kEpTotal, 1000, 3, "KWH", true},
    {".净有功电度", M::kEpNet, 1000, 3, "KWH"},   {".Ep_n", M::kEpNet, 1000, 3, "KWH"},
    {".和无功电度", M::kEqTotal, 1000, 3, "KWH", true},
    {".Eq_t", M::kEqTotal, 1000, 3, "KWH", true},
    {".净无功电度", M::kEqNet, 1000, 3, "KWH"},   {".Eq_n", M::kEqNet, 1000, 3, "KWH"},
};

// Four reads, 200 ms each; for unit 1 the first is 01 03 00 00 00 12 C5 C7.
const qx::skel::Read kReads[] = {{3, 0, 18}, {4, 0, 8}, {3, 64, 16}, {1, 0, 1}};

// A scaled value truncated toward zero into its field: an unsigned field takes 0 to
// 4294967295 (a negative result gives 0), a signed one the int32 range. A result outside
// the range, which converting would leave undefined, stores 0.
int32_t Checked(double x, bool isUnsigned) {
    if (!isfinite(x)) return 0;
    x = trunc(x);
    if (isUnsigned) {
        if (x < 0.0 || x >= 4294967296.0) return 0;
        return (int32_t)(uint32_t)x;
    }
    if (x < -2147483648.0 || x >= 2147483648.0) return 0;
    return (int32_t)x;
}

}  // namespace

CSMHC311A::CSMHC311A() : CSMBase(0x106) {
    m_pData = m_val;
    m_iDataCnt = kFields;
    snprintf(m_note, sizeof(m_note), "%s", "HC-311A");
}

void CSMHC311A::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMHC311A::ChkDb(tagSMItem* item) {
    return qx::skel::ChkDb(*this, "tbHC311A", kCols, kN, item);
}

void CSMHC311A::ClearValues() {
    int32_t f[4];
    memcpy(f, &m_val[kKU1 - 1], sizeof(f));
    memset(m_val, 0, sizeof(m_val));
    memcpy(&m_val[kKU1 - 1], f, sizeof(f));
}

// Factors first: once they answered, every other value is cleared and each later read is
// stored as soon as it answers, so a failure keeps the new factors and what came before.
int CSMHC311A::DataGet(ISerBase* ser, int addr, int) {
    if (!qx::skel::Ready(ser)) return 0;
    auto take = [this](size_t i, const qx::MbReply& r) {
        const double ku1 = (uint32_t)m_val[kKU1 - 1], ku2 = (uint32_t)m_val[kKU2 - 1];
        const double ki1 = (uint32_t)m_val[kKI1 - 1], ki2 = (uint32_t)m_val[kKI2 - 1];
        // x times the four factors, in the order KU1, KU2, KI1, KI2.
        auto byK = [&](double x) { return x * ku1 * ku2 * ki1 * ki2; };
        auto s16 = [&](int reg) { return (double)(int16_t)r.Word(reg); };
        switch (i) {
        case 0:
            ClearValues();
            m_val[kKU1 - 1] = r.Word(2);
            m_val[kKI1 - 1] = r.Word(3);
            m_val[kKU2 - 1] = r.Word(16);
            m_val[kKI2 - 1] = r.Word(17);
            break;
        case 1:
            m_val[kAU - 1] = Checked(r.Word(0) / 1000.0 * ku1 * ku2, true);
            m_val[kAI - 1] = Checked(r.Word(1) / 1000.0 * ki1 * ki2, true);
            m_val[kP - 1] = Checked(byK(s16(2) / 10000.0), false);
            m_val[kQ - 1] = Checked(byK(s16(3) / 10000.0), false);
            m_val[kS - 1] = Checked(byK(r.Word(4) / 10000.0), true);
            m_val[kPF - 1] = (int16_t)r.Word(5) / 10;
            m_val[kFR - 1] = r.Word(6);
            m_val[kTemp - 1] = (int16_t)r.Word(7);
            break;
        case 2: {
            static const uint8_t counters[8] = {kEpPH, kEpNH, kEqPH, kEqNH,
                                                kEpTotal, kEpNet, kEqTotal, kEqNet};
            for (int c = 0; c < 8; c++) {
                uint32_t d = (uint32_t)r.Word(2 * c) << 16 | r.Word(2 * c + 1);
                bool net = counters[c] == kEpNet || counters[c] == kEqNet;
                double v = net ? (double)(int32_t)d : (double)d;
                m_val[counters[c] - 1] = Checked(byK(v / 12000.0), !net);
            }
            break;
        }
        default:
            m_val[kRelayState - 1] = r.Bit(0);
            break;
        }
    };
    return qx::skel::Reads(*this, ser, addr, kReads, 4, 200, take);
}

int CSMHC311A::DataVal(int fld) {
    return fld >= 1 && fld <= kFields ? m_val[fld - 1] : -1;
}

int CSMHC311A::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    if (!u.answered) ClearValues();
    qx::sql::Cols cols = qx::skel::PollCols(*this, u, alarmBits, kCols, kN, 0);
    qx::skel::Brief b;
    b.Add("电压:%.1fV,电流:%.1fA", (uint32_t)m_val[kAU - 1] / 10.0,
          (uint32_t)m_val[kAI - 1] / 10.0);
    const std::string none = qx::sql::NoAnswerBrief("(故障)");
    return qx::skel::Store(*this, u, "tbHC311A", cols, b.Text(), true, hist, none.c_str());
}

int CSMHC311A::VarEval(char* text) {
    if (!text) return -1;
    if (strcmp(text, ".继电器状态") == 0 || strcmp(text, ".RelayState") == 0) {
        const char* word = m_val[kRelayState - 1] ? "吸合" : "断开";
        memcpy(text, word, strlen(word) + 1);
        return (int)strlen(word);
    }
    return qx::skel::VarEval(*this, text, kKeys, sizeof(kKeys) / sizeof(kKeys[0]));
}

// Function 15 (bits 16-23 of cmd) on coil 0: bit 0 of the first byte of buf is the relay
// state to set. The meter's echo of the request is the answer; a refused or unanswered
// write, and any other function (nothing sent), answer 0.
//   01 0F 00 00 00 01 01 01 EF 57   relay on, unit 1
int CSMHC311A::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int) {
    if (((cmd >> 16) & 0xFF) != 15 || !buf) return 0;
    if (!qx::skel::Ready(ser, false) || !qx::AddrFits(addr)) return 0;
    const uint8_t frame[8] = {(uint8_t)addr, 0x0F, 0x00, 0x00, 0x00, 0x01, 0x01,
                              *(const uint8_t*)buf};
    memcpy(m_cmd, frame, sizeof(frame));
    uint16_t crc = CBufHelper::crc16(m_cmd, sizeof(frame));
    m_cmd[8] = (uint8_t)(crc & 0xFF);
    m_cmd[9] = (uint8_t)(crc >> 8);
    uint8_t rx[16];
    return qx::skel::MbSend(*this, ser, 10, rx, sizeof(rx), 200).ok() ? 1 : 0;
}
