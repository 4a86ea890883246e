#include "power/SMADU1000.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "core/ReplyCheck.h"
#include "core/TeFrame.h"
#include "core/SMSkeleton.h"
#include "power/BattInspect.h"

using qx::sql::DefRow;

namespace {

// Request: VER 20, CID1 46, CID2 41, INFO one byte 01; address 1 gives
//   ~20014641E00201FD36 CR
// Reply of 470 characters (INFO 452): RTN at 7-8, then from character 17 the 49 cell floats,
// and the group floats at fixed characters; every float is 8 characters whose pairs are its
// bytes, least significant first.
constexpr int kVer = 0x20, kCid1 = 0x46, kCid2 = 0x41;
constexpr int kReplyLen = 470;
constexpr int kFirstCell = 17;
constexpr int kLastRead = 463;  // characters 0..462 are read

// The group floats: field, character, decimals of the text it is rounded through.
const struct {
    int fld, at, decimals;
} kGroup[] = {
    {1, 411, 2},   // total voltage 1 (hundredths of a volt)
    {53, 419, 2},  // total voltage 2
    {2, 429, 2},   // current 1 (hundredths of an ampere)
    {54, 437, 2},  // current 2
    {3, 447, 1},   // temperature 1 (tenths of a degree)
    {55, 455, 1},  // temperature 2
};

const qx::sql::TypeRow kType = {1024, "48电池巡检仪", "485接口..."};

const char* const kVoltLow = "最小值|允许最低电压,低于此值报警";
const char* const kVoltHigh = "最大值|允许最高电压,超过此值报警";
const char* const kCurrLow = "最小值|允许最低电流,低于此值报警";
const char* const kCurrHigh = "最大值|允许最高电流,超过此值报警";
const char* const kTempLow = "最小值|允许最低温度,低于此值报警";
const char* const kTempHigh = "最大值|允许最高温度,超过此值报警";

// The table's value columns: field 1..58 in field order.
const char* ColumnName(int fld) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v = {"Dczdy", "Cfddl", "Dcwd"};
        for (int n = 1; n <= CSMADU1000::kCells; n++) v.push_back("Dy" + std::to_string(n));
        for (const char* s : {"Dczdy2", "Cfddl2", "Dcwd2", "Lc", "Dcsl", "Dcxh"}) v.push_back(s);
        return v;
    }();
    return names[(size_t)fld - 1].c_str();
}

const std::vector<qx::skel::Column>& Columns() {
    static const std::vector<qx::skel::Column> cols = [] {
        std::vector<qx::skel::Column> v;
        for (int f = 1; f <= CSMADU1000::kFields; f++) v.push_back({ColumnName(f), (uint8_t)f, false});
        return v;
    }();
    return cols;
}

// Definition rows of fields 1..55; the cells from one template.
const std::vector<DefRow>& Defs() {
    static const std::vector<std::string> captions = [] {
        std::vector<std::string> v;
        for (int n = 1; n <= CSMADU1000::kCells; n++) v.push_back("单体电压" + std::to_string(n));
        return v;
    }();
    static const std::vector<DefRow> defs = [] {
        std::vector<DefRow> v = {
            {1, "Dczdy", 1, "总电压值", 100, 6, 21000, kVoltLow, 39000, kVoltHigh, 0},
            {2, "Cfddl", 1, "总电流值", 100, 6, 1000, kCurrLow, 2500, kCurrHigh, 0},
            {3, "Dcwd", 1, "温度", 10, 6, 150, kTempLow, 300, kTempHigh, 0},
        };
        for (int n = 1; n <= CSMADU1000::kCells; n++)
            v.push_back({n + 3, ColumnName(n + 3), 1, captions[(size_t)n - 1].c_str(), 1000, 6, 10000,
                         kVoltLow, 15000, kVoltHigh, 0});
        v.push_back({53, "Dczdy2", 1, "总电压值2", 100, 6, 21000, kVoltLow, 39000, kVoltHigh, 0});
        v.push_back({54, "Cfddl2", 1, "总电流值2", 100, 6, 1000, kCurrLow, 2500, kCurrHigh, 0});
        v.push_back({55, "Dcwd2", 1, "温度2", 10, 6, 150, kTempLow, 300, kTempHigh, 0});
        return v;
    }();
    return defs;
}

const qx::skel::Key kKeys[] = {
    {".总电压1", 1, 100, 2, ""}, {".zdy1", 1, 100, 2, ""},  {".总电压2", 53, 100, 2, ""},
    {".zdy2", 53, 100, 2, ""},   {".总电流1", 2, 100, 2, ""}, {".zdl1", 2, 100, 2, ""},
    {".总电流2", 54, 100, 2, ""}, {".zdl2", 54, 100, 2, ""}, {".温度1", 3, 10, 1, ""},
    {".Tem1", 3, 10, 1, ""},     {".温度2", 55, 10, 1, ""},  {".Tem2", 55, 10, 1, ""},
};

// A transmitted float without its sign. A value that is not finite or whose scaled value
// does not fit 16 bits is stored as 0; the others are truncated toward zero.
uint16_t Scaled(const uint8_t* p, int decimals, double scale) {
    const double v = fabs((double)TE_Ascii2float(p, 8));
    if (!isfinite(v) || v * scale >= 65536.0) return 0;
    double x = v;
    if (decimals >= 0) {
        // Group values go through their display text, which rounds them.
        char text[32];
        snprintf(text, sizeof text, "%.*f", decimals, v);
        x = atof(text);
    }
    x *= scale;
    return x < 65536.0 ? (uint16_t)x : 0;
}

}  // namespace

CSMADU1000::CSMADU1000() : CSMBase(0x401) {
    m_pData = m_val;
    m_iDataCnt = kFields;
    snprintf(m_note, sizeof(m_note), "%s", "QX-BATTADU1000");
}

void CSMADU1000::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, Defs().data(), Defs().size());
}

int CSMADU1000::ChkDb(tagSMItem* item) {
    static const std::string columns = qx::skel::TableColumns(Columns().data(), Columns().size());
    const qx::skel::Table tables[] = {{"tbBattAdu1000", columns.c_str(), qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbBattAdu1000", true);
}

bool CSMADU1000::Decode(const uint8_t* reply, int n) {
    qx::YdReply y = qx::YdCheck(reply, n, kLastRead);
    if (!y.ok() || y.frameLen != kReplyLen) return false;
    // Every character is a digit, an upper-case hex letter, the SOI or the EOI: a blank is
    // no value of this unit.
    if (memchr(reply, ' ', kReplyLen)) return false;
    for (int c = 0; c < kCells; c++) m_val[3 + c] = Scaled(reply + kFirstCell + 8 * c, -1, 1000.0);
    for (const auto& g : kGroup)
        m_val[g.fld - 1] = Scaled(reply + g.at, g.decimals, g.decimals == 2 ? 100.0 : 10.0);
    m_val[55] = 1000;
    m_val[56] = kCells;
    m_val[57] = 4;
    return true;
}

int CSMADU1000::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    // The exchange purges first, so that what a longer reply left is not read as this one.
    if (!qx::skel::Ready(ser, false)) return 0;
    const uint8_t info[1] = {0x01};
    uint8_t rx[kReplyLen + 64];
    qx::YdReply y = qx::YdRequest(ser, kVer, addr, kCid1, kCid2, info, 1, rx, sizeof rx, 0, kLastRead);
    if (!y.ok() || !Decode(rx, y.received)) return 0;
    m_valSid = m_pItem ? m_pItem->SID : -1;
    return 1;
}

int CSMADU1000::DataVal(int fld) {
    return fld >= 1 && fld <= kFields ? (int)m_val[fld - 1] : -1;
}

// The summary of an update in alarm: the group-1 values, then the cells with the group-2
// values ("总电压1,电压5,7", "电压,温度2").
static void AduAlarmText(qx::skel::Brief& b, const int* alarmBits) {
    auto marked = [&](int fld) { return qx::sql::FieldAlarm(alarmBits, fld); };
    static const char* const kGroup1[] = {"总电压1,", "总电流1,", "温度1,"};
    for (int f = 1; f <= 3; f++)
        if (marked(f)) b.Add("%s", kGroup1[f - 1]);
    std::string cells = "电压";
    bool any = false;
    for (int n = 1; n <= CSMADU1000::kCells; n++) {
        if (!marked(n + 3)) continue;
        cells += (any ? "," : "") + std::to_string(n);
        any = true;
    }
    static const char* const kGroup2[] = {",总电压2", ",总电流2", ",温度2"};
    for (int f = 53; f <= 55; f++) {
        if (!marked(f)) continue;
        cells += kGroup2[f - 53];
        any = true;
    }
    if (any) b.Add("%s", cells.c_str());
}

int CSMADU1000::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    return qx::inspect::Update(*this, m_valSid, m_val, sizeof m_val, flags, alarmBits, snapId, sid,
                               hist, "tbBattAdu1000", Columns(), AduAlarmText);
}

int CSMADU1000::VarEval(char* text) {
    return qx::inspect::Eval(*this, text, kKeys, sizeof kKeys / sizeof kKeys[0], kCells, 3);
}
