#include "ups/SMUpsGXE.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "ReplyCheck.h"
#include "SMSql.h"
#include "TeFrame.h"
#include "ups/SMUpsAPM150.h"  // the limit texts of the definition rows

using qx::sql::DefRow;

namespace {

const int kVer = 0x21;
const int kCid1 = 0x2A;
const int kFields = 31;

// The columns of tbUpsGXE after SnapID, which are the record's fields 1..31, and where each
// comes from: fields 1..22 from the CID2 42 reply (16-bit values in 4 characters, three
// 8-bit ones in 2), fields 23..31 the state bytes of the CID2 43 reply.
//
//   CID2 42  ~21012A00 LLLL 00 | 08FC 08FD 08FE ... | CHKSUM CR
//            0         9    13   15   19   23
//   CID2 43  ~21012A00 LLLL 00 | 01 02 03 04 05 06 07 08 09 | CHKSUM CR
//                               15                      31
struct Column {
    const char* name;
    uint8_t at;
    uint8_t width;
};
const Column kColumns[kFields] = {
    {"VinA", 15, 4},       {"VinB", 19, 4},         {"VinC", 23, 4},
    {"VoutA", 27, 4},      {"VoutB", 31, 4},        {"VoutC", 35, 4},
    {"BV", 71, 4},         {"IoutA", 39, 4},        {"IoutB", 43, 4},
    {"IoutC", 47, 4},      {"BI", 75, 4},           {"AVin", 51, 4},
    {"Pout", 55, 4},       {"Pin", 67, 4},          {"APout", 83, 4},
    {"RPout", 79, 4},      {"Lodaout", 87, 4},      {"BP", 91, 4},
    {"ibatt", 59, 2},      {"Mbatt", 95, 4},        {"iTem", 61, 4},
    {"userDefNum", 65, 2},
    {"powerType", 15, 2},  {"userDefStatusNum", 17, 2}, {"powerStatus2", 19, 2},
    {"battCharge", 21, 2}, {"battCheck", 23, 2},    {"battCheck2", 25, 2},
    {"VbattAlam", 27, 2},  {"battMaintain", 29, 2}, {"powerStatus", 31, 2},
};
const int kAnalog = 22;  // fields from the CID2 42 reply; the rest from CID2 43
enum : int { kVinA = 1, kVoutA = 4, kLodaout = 17 };  // the summary's fields

int NeedOf(int first, int last) {
    int need = 0;
    for (int i = first; i < last; i++)
        if (kColumns[i].at + kColumns[i].width > need) need = kColumns[i].at + kColumns[i].width;
    return need;
}

const qx::sql::TypeRow kType = {768, "UPS", "UPS GXE..."};

// Voltages and frequencies come in tenths (08FC = 230.0 V, 01F4 = 50.0 Hz), the output
// currents and the load in hundredths (041A = 10.50 A, 11D7 = 45.67 %).
#define GXE_ROW(fld, name, cap, div, kind, lo, hi, q) \
    {fld, name, 1, cap, div, kind, lo, TBUPS_LOW(q), hi, TBUPS_HIGH(q), 0}
const DefRow kRows[11] = {
    GXE_ROW(1, "VinA", "输入电压A", 10, 6, 2000, 2350, "输入电压"),
    GXE_ROW(2, "VinB", "输入电压B", 10, 6, 2000, 2350, "输入电压"),
    GXE_ROW(3, "VinC", "输入电压C", 10, 6, 2000, 2350, "输入电压"),
    GXE_ROW(14, "Pin", "输入频率", 10, 0, 490, 510, "输入频率"),
    GXE_ROW(4, "VoutA", "输出电压A", 10, 0, 0, 2350, "输出电压"),
    GXE_ROW(5, "VoutB", "输出电压B", 10, 0, 0, 2350, "输出电压"),
    GXE_ROW(6, "VoutC", "输出电压C", 10, 0, 0, 2350, "输出电压"),
    GXE_ROW(8, "IoutA", "输出电流A", 100, 0, 0, 1500, "输出电流"),
    GXE_ROW(9, "IoutB", "输出电流B", 100, 0, 0, 1500, "输出电流"),
    GXE_ROW(10, "IoutC", "输出电流C", 100, 0, 0, 1500, "输出电流"),
    GXE_ROW(13, "Pout", "输出频率", 10, 0, 490, 2350, "输出频率"),
};
#undef GXE_ROW

}  // namespace

CSMUpsGXE::CSMUpsGXE() : CSMBase(0x314) {
    snprintf(m_note, sizeof(m_note), "%s", "QX-GXE");
    m_pData = &m_rec;
    m_iDataCnt = 35;
    ClearRecord();
    memset(m_reply, 0, sizeof m_reply);
}

CSMUpsGXE::~CSMUpsGXE() {}

void CSMUpsGXE::ClearRecord() { memset(&m_rec, 0, sizeof m_rec); }

void CSMUpsGXE::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kRows, sizeof kRows / sizeof kRows[0]);
}

int CSMUpsGXE::ChkDb(tagSMItem* item) {
    static const std::string columns = [] {
        std::string c = qx::sql::kHead;
        for (const Column& col : kColumns) c.append(",").append(col.name).append(" INTEGER");
        return c;
    }();
    const qx::sql::TableDef table = {"tbUpsGXE", columns.c_str()};
    return qx::sql::ChkDb(*this, &table, 1, item, "tbUpsGXE");
}

int CSMUpsGXE::Field(int field) const {
    return field <= kAnalog ? m_rec.num[field - 1] : m_rec.state[field - kAnalog - 1];
}

int CSMUpsGXE::DataVal(int field) {
    if (field == 0) return 0;
    if (field < 1 || field > kFields) return -1;
    return Field(field);
}

int CSMUpsGXE::DataGet(ISerBase* ch, int adr, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // The ADR is one byte: another address is not cut to it, which would ask another unit.
    if (adr < 0 || adr > 0xFF) return 0;
    if (wait < 1) wait = kDefaultWait;
    auto ask = [&](int cid2, int need) {
        qx::YdReply r = qx::YdRequest(ch, kVer, adr, kCid1, cid2, nullptr, 0, m_reply,
                                      sizeof m_reply, wait, need);
        if (!r.ok())
            printf("[A%02d] QX-GXE %02X: %s RTN %d\r\n", adr, cid2, qx::ReplyStatusText(r.status),
                   r.rtn);
        return r.ok();
    };

    if (!ask(0x42, NeedOf(0, kAnalog))) return 0;
    ClearRecord();
    for (int i = 0; i < kAnalog; i++) {
        const Column& c = kColumns[i];
        m_rec.num[i] = c.width == 4 ? TE_Ascii2uint16(m_reply + c.at, 4)
                                    : TE_Ascii2uint8(m_reply + c.at, 2);
    }

    if (!ask(0x43, NeedOf(kAnalog, kFields))) return 0;
    for (int i = kAnalog; i < kFields; i++)
        m_rec.state[i - kAnalog] = TE_Ascii2uint8(m_reply + kColumns[i].at, 2);
    return 1;
}

int CSMUpsGXE::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) {
    if (!alarmBits) ClearRecord();
    qx::sql::Cols cols;
    for (int f = 1; f <= kFields; f++) cols.Int(kColumns[f - 1].name, Field(f));

    // The summary of an answered poll; the store words one without answer itself.
    char brief[128];
    snprintf(brief, sizeof brief, "输入电压:%.1fV, 输出电压:%.1fV, 输出负载:%d%%",
             Field(kVinA) * 0.1, Field(kVoutA) * 0.1, Field(kLodaout) / 100);
    qx::sql::PollRow row = {"tbUpsGXE", &cols, brief, false, true};
    return qx::sql::StorePoll(*this, row, flags, alarmBits, snapId, sid, history);
}

int CSMUpsGXE::VarEval(char* text) {
    if (!text || text[0] != '.') return -1;
    for (int f = 1; f <= kFields; f++)
        if (strcmp(text + 1, kColumns[f - 1].name) == 0) return sprintf(text, "%d", Field(f));
    return -1;
}
