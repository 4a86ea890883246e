#include "power/SMDb100.h"

#include <stdio.h>

#include <string>
#include <vector>

#include "core/SMSkeleton.h"
#include "power/BattInspect.h"

using qx::sql::DefRow;

namespace {

// Holding registers, function 3, 30 from 0x200, signed:
//   0x200 total voltage (1/100 V)   0x201 current (1/100 A)   0x202 temperature (1/10 degree)
//   0x203 + i voltage of cell i + 1 (1/1000 V), i = 0..23
//   0x21B current range   0x21C number of cells   0x21D cell model
//   request  01 03 02 00 00 1E C5 BA
constexpr int kFirstReg = 0x200;

// Field -> register index: fields 1-3 the first three, 4-6 the last three, 11-34 the cells.
int RegOf(int fld) {
    if (fld >= 1 && fld <= 3) return fld - 1;
    if (fld >= 4 && fld <= 6) return fld + 23;
    if (fld >= 11 && fld <= 34) return fld - 8;
    return -1;
}

const qx::sql::TypeRow kType = {1024, "电池巡检仪", "485接口..."};

const std::vector<DefRow>& Defs() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (int i = 1; i <= CSMDb100::kCells; i++) {
            v.push_back("Dy" + std::to_string(i));
            v.push_back("电压" + std::to_string(i));
        }
        return v;
    }();
    static const std::vector<DefRow> defs = [] {
        std::vector<DefRow> v = {
            {0, "", 1, "整体信息", 0, 0, 0, "", 0, "", 0},
            {1, "Dczdy", 1, "电池总电压", 100, 0, 48, "电池总电压", 0, "", 0},
            {2, "Cfddl", 1, "充放电电流", 100, 6, 0, "最小值|允许最低充放电电流,低于此值报警", 380,
             "最大值|允许最高充放电电流,超过此值报警", 0},
            {3, "Dcwd", 1, "环境温度", 10, 6, 0, "最小值|允许最低温度,低于此值报警", 350,
             "最大值|允许最高温度,超过此值报警", 0},
            {4, "Lc", 1, "电流量程", 100, 0, 0, "传感器量程", 0, "", 0},
            {5, "dcsl", 1, "电池数量", 1, 0, 0, "最多24节", 0, "", 0},
            {6, "dcxh", 1, "电池型号", 1, 0, 0, "一般为单体12V", 0, "", 0},
            {0, "", 2, "详细信息", 0, 0, 0, "", 0, "", 0},
        };
        for (int i = 1; i <= CSMDb100::kCells; i++)
            v.push_back({i + 10, names[2 * (i - 1)].c_str(), 2, names[2 * (i - 1) + 1].c_str(), 1000, 6,
                         10000, "最小值|允许最低电压,低于此值报警", 16000,
                         "最大值|允许最高电压,超过此值报警", 0});
        return v;
    }();
    return defs;
}

// The table's value columns in register order.
const std::vector<qx::skel::Column>& Columns() {
    static const std::vector<std::string> cells = [] {
        std::vector<std::string> v;
        for (int i = 1; i <= CSMDb100::kCells; i++) v.push_back("Dy" + std::to_string(i));
        return v;
    }();
    static const std::vector<qx::skel::Column> cols = [] {
        std::vector<qx::skel::Column> v = {{"Dczdy", 1, false}, {"Cfddl", 2, false}, {"Dcwd", 3, false}};
        for (int i = 1; i <= CSMDb100::kCells; i++)
            v.push_back({cells[(size_t)i - 1].c_str(), (uint8_t)(i + 10), false});
        for (const qx::skel::Column& c : {qx::skel::Column{"Lc", 4, false}, qx::skel::Column{"Dcsl", 5, false},
                                          qx::skel::Column{"Dcxh", 6, false}})
            v.push_back(c);
        return v;
    }();
    return cols;
}

const qx::skel::Key kKeys[] = {
    {".总电压", 1, 100, 2, ""}, {".zdy", 1, 100, 2, ""}, {".总电流", 2, 100, 2, ""},
    {".zdl", 2, 100, 2, ""},    {".温度", 3, 10, 1, ""}, {".Tem", 3, 10, 1, ""},
    {".量程", 4, 100, 2, ""},   {".lc", 4, 100, 2, ""},  {".数量", 5, 1, 0, ""},
    {".num", 5, 1, 0, ""},
};

}  // namespace

CSMDb100::CSMDb100() : CSMBase(0x400) {
    m_pData = m_val;
    m_iDataCnt = kFields;
    snprintf(m_note, sizeof(m_note), "%s", "QX-BATTDB100");
}

void CSMDb100::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, Defs().data(), Defs().size());
}

int CSMDb100::ChkDb(tagSMItem* item) {
    static const std::string columns = qx::skel::TableColumns(Columns().data(), Columns().size());
    const qx::skel::Table tables[] = {{"tbBattDb100", columns.c_str(), qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbBattDb100", true);
}

int CSMDb100::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    if (!qx::skel::Ready(ser, false)) return 0;
    // The reply must carry the 60 bytes of the 30 registers: a shorter one is refused,
    // never filled up from whatever the buffer held.
    uint8_t rx[5 + 2 * kRegs];
    qx::MbReply r = qx::skel::MbPoll(*this, ser, addr, 3, kFirstReg, kRegs, rx, sizeof rx, 0);
    if (!r.ok()) return 0;
    for (int i = 0; i < kRegs; i++) m_val[i] = (int16_t)r.Word(i);
    m_valSid = m_pItem ? m_pItem->SID : -1;
    return 1;
}

int CSMDb100::DataVal(int fld) {
    int reg = RegOf(fld);
    return reg < 0 ? -1 : m_val[reg];
}

// The summary of an update in alarm: the marked values of word 0 bits 0-5 by name, then
// "电池电压" when any cell (fields 11-34: bits 10-31 of word 0, 0-1 of word 1) is marked.
static void Db100AlarmText(qx::skel::Brief& b, const int* alarmBits) {
    static const char* const kNames[] = {"总电压,", "充放电电流,", "环境温度,",
                                         "电流量程,", "电池数量,", "电池型号,"};
    for (int bit = 0; bit < 6; bit++)
        if (alarmBits[0] & (1 << bit)) b.Add("%s", kNames[bit]);
    bool cell = false;
    for (int fld = 11; fld <= 34; fld++) cell = cell || qx::sql::FieldAlarm(alarmBits, fld);
    if (cell) b.Add("电池电压");
}

// The unit reports the cells of its string (register 0x21C, Dcsl): on a string of fewer than
// 24 the cells beyond are fields it does not have. Their 0 is no reading, so the alarms the
// host raised on them are passed over; a count outside 1..24 names no such cells (every cell
// is judged). The count is the point's own: the one its poll read.
int CSMDb100::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    std::vector<int> absent, own;
    const int count = m_val[RegOf(5)];
    if (alarmBits && m_pItem && m_valSid == m_pItem->SID && count >= 1 && count <= kCells)
        for (int cell = count + 1; cell <= kCells; cell++) absent.push_back(10 + cell);
    alarmBits = qx::sql::PassOver(flags, alarmBits, kFields, absent, own);
    return qx::inspect::Update(*this, m_valSid, m_val, sizeof m_val, flags, alarmBits, snapId, sid,
                               hist, "tbBattDb100", Columns(), Db100AlarmText);
}

int CSMDb100::VarEval(char* text) {
    return qx::inspect::Eval(*this, text, kKeys, sizeof kKeys / sizeof kKeys[0], kCells, 10);
}
