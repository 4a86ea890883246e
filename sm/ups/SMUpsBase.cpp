#include "ups/SMUpsBase.h"

#include <stdio.h>
#include <string.h>

#include <string>

using qx::sql::DefRow;

const char kUpsExCreate[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
    "DateUpd DATETIME,State INTEGER,SnapID INTEGER,"
    "Vin1 INTEGER,Vin2 INTEGER,Vin3 INTEGER,Vout1 INTEGER,Vout2 INTEGER,Vout3 INTEGER,"
    "VB1 INTEGER,VB2 INTEGER,VB3 INTEGER,Iin1 INTEGER,Iin2 INTEGER,Iin3 INTEGER,"
    "Iout1 INTEGER,Iout2 INTEGER,Iout3 INTEGER,IB1 INTEGER,IB2 INTEGER,IB3 INTEGER,"
    "Fin1 INTEGER,Fin2 INTEGER,Fin3 INTEGER,Fout1 INTEGER,Fout2 INTEGER,Fout3 INTEGER,"
    "FB1 INTEGER,FB2 INTEGER,FB3 INTEGER,Pout1 INTEGER,Pout2 INTEGER,Pout3 INTEGER,"
    "Tem INTEGER,status INTEGER,"
    "b15 INTEGER,b14 INTEGER,b13 INTEGER,b12 INTEGER,b11 INTEGER,b10 INTEGER,b9 INTEGER,"
    "b8 INTEGER,b7 INTEGER,b6 INTEGER,b5 INTEGER,b4 INTEGER,b3 INTEGER,b2 INTEGER,"
    "b1 INTEGER,b0 INTEGER,"
    "Vbatt INTEGER,Pbatt INTEGER,Mbatt INTEGER,Ved INTEGER,Aed INTEGER,VAed INTEGER,"
    "Vdc INTEGER,Fed INTEGER,v1 INTEGER,v2 INTEGER,v3 INTEGER,v4 INTEGER,"
    "company VARCHAR(16),mode VARCHAR(16),version VARCHAR(16)";

namespace {

#define EX_OFF(f) (int16_t) offsetof(UpsExRecord, f)

// The integer columns of tbUpsEx in table order (= memory order), each with its field.
struct Column {
    const char* name;
    int16_t offset;
};
const Column kColumns[] = {
    {"Vin1", EX_OFF(Vin1)},   {"Vin2", EX_OFF(Vin2)},   {"Vin3", EX_OFF(Vin3)},
    {"Vout1", EX_OFF(Vout1)}, {"Vout2", EX_OFF(Vout2)}, {"Vout3", EX_OFF(Vout3)},
    {"VB1", EX_OFF(VB1)},     {"VB2", EX_OFF(VB2)},     {"VB3", EX_OFF(VB3)},
    {"Iin1", EX_OFF(Iin1)},   {"Iin2", EX_OFF(Iin2)},   {"Iin3", EX_OFF(Iin3)},
    {"Iout1", EX_OFF(Iout1)}, {"Iout2", EX_OFF(Iout2)}, {"Iout3", EX_OFF(Iout3)},
    {"IB1", EX_OFF(IB1)},     {"IB2", EX_OFF(IB2)},     {"IB3", EX_OFF(IB3)},
    {"Fin1", EX_OFF(Fin1)},   {"Fin2", EX_OFF(Fin2)},   {"Fin3", EX_OFF(Fin3)},
    {"Fout1", EX_OFF(Fout1)}, {"Fout2", EX_OFF(Fout2)}, {"Fout3", EX_OFF(Fout3)},
    {"FB1", EX_OFF(FB1)},     {"FB2", EX_OFF(FB2)},     {"FB3", EX_OFF(FB3)},
    {"Pout1", EX_OFF(Pout1)}, {"Pout2", EX_OFF(Pout2)}, {"Pout3", EX_OFF(Pout3)},
    {"Tem", EX_OFF(Tem)},     {"status", EX_OFF(status)},
    {"b15", EX_OFF(b15)},     {"b14", EX_OFF(b14)},     {"b13", EX_OFF(b13)},
    {"b12", EX_OFF(b12)},     {"b11", EX_OFF(b11)},     {"b10", EX_OFF(b10)},
    {"b9", EX_OFF(b9)},       {"b8", EX_OFF(b8)},       {"b7", EX_OFF(b7)},
    {"b6", EX_OFF(b6)},       {"b5", EX_OFF(b5)},       {"b4", EX_OFF(b4)},
    {"b3", EX_OFF(b3)},       {"b2", EX_OFF(b2)},       {"b1", EX_OFF(b1)},
    {"b0", EX_OFF(b0)},
    {"Vbatt", EX_OFF(Vbatt)}, {"Pbatt", EX_OFF(Pbatt)}, {"Mbatt", EX_OFF(Mbatt)},
    {"Ved", EX_OFF(Ved)},     {"Aed", EX_OFF(Aed)},     {"VAed", EX_OFF(VAed)},
    {"Vdc", EX_OFF(Vdc)},     {"Fed", EX_OFF(Fed)},
    {"v1", EX_OFF(v1)},       {"v2", EX_OFF(v2)},       {"v3", EX_OFF(v3)},
    {"v4", EX_OFF(v4)},
};

// Field number -> offset of its int32 in the record; -1 for 0 and the texts 52..54.
const int16_t kFieldOffset[kExLastField + 1] = {
    -1,
    EX_OFF(Vin1), EX_OFF(Vin2), EX_OFF(Vin3), EX_OFF(Vout1), EX_OFF(Vout2), EX_OFF(Vout3),
    EX_OFF(Iin1), EX_OFF(Iin2), EX_OFF(Iin3), EX_OFF(Iout1), EX_OFF(Iout2), EX_OFF(Iout3),
    EX_OFF(Fin1), EX_OFF(Fin2), EX_OFF(Fin3), EX_OFF(Fout1), EX_OFF(Fout2), EX_OFF(Fout3),
    EX_OFF(Pout1), EX_OFF(Pout2), EX_OFF(Pout3), EX_OFF(Tem), EX_OFF(status),
    EX_OFF(b15), EX_OFF(b14), EX_OFF(b13), EX_OFF(b12), EX_OFF(b11), EX_OFF(b10),
    EX_OFF(b9), EX_OFF(b8), EX_OFF(b7), EX_OFF(b6), EX_OFF(b5), EX_OFF(b4),
    EX_OFF(b3), EX_OFF(b2), EX_OFF(b1), EX_OFF(b0),
    EX_OFF(Vbatt), EX_OFF(Pbatt), EX_OFF(Mbatt),
    EX_OFF(Ved), EX_OFF(Aed), EX_OFF(VAed), EX_OFF(Vdc), EX_OFF(Fed),
    EX_OFF(v1), EX_OFF(v2), EX_OFF(v3), EX_OFF(v4),
    -1, -1, -1,
    EX_OFF(VB1), EX_OFF(VB2), EX_OFF(VB3), EX_OFF(IB1), EX_OFF(IB2), EX_OFF(IB3),
    EX_OFF(FB1), EX_OFF(FB2), EX_OFF(FB3),
};

// Display keys of VarEval: the whole text must equal the key.
enum KeyFmt : uint8_t { kTenths, kInt, kText };
struct Key {
    const char* key;
    uint8_t fld;
    KeyFmt fmt;
};
const Key kKeys[] = {
    {".Vin1", kExVin1, kTenths},   {".Vin2", kExVin2, kTenths},   {".Vin3", kExVin3, kTenths},
    {".Vout1", kExVout1, kTenths}, {".Vout2", kExVout2, kTenths}, {".Vout3", kExVout3, kTenths},
    {".VB1", kExVB1, kTenths},     {".VB2", kExVB2, kTenths},     {".VB3", kExVB3, kTenths},
    {".Iin1", kExIin1, kTenths},   {".Iin2", kExIin2, kTenths},   {".Iin3", kExIin3, kTenths},
    {".Iout1", kExIout1, kTenths}, {".Iout2", kExIout2, kTenths}, {".Iout3", kExIout3, kTenths},
    {".IB1", kExIB1, kTenths},     {".IB2", kExIB2, kTenths},     {".IB3", kExIB3, kTenths},
    {".Fin1", kExFin1, kTenths},   {".Fin2", kExFin2, kTenths},   {".Fin3", kExFin3, kTenths},
    {".Fout1", kExFout1, kTenths}, {".Fout2", kExFout2, kTenths}, {".Fout3", kExFout3, kTenths},
    {".FB1", kExFB1, kTenths},     {".FB2", kExFB2, kTenths},     {".FB3", kExFB3, kTenths},
    {".Pout1", kExPout1, kTenths}, {".Pout2", kExPout2, kTenths}, {".Pout3", kExPout3, kTenths},
    {".Tem", kExTem, kTenths},
    {".B15", kExB15, kInt}, {".B14", kExB14, kInt}, {".B13", kExB13, kInt},
    {".B12", kExB12, kInt}, {".B11", kExB11, kInt}, {".B10", kExB10, kInt},
    {".B9", kExB9, kInt},   {".B8", kExB8, kInt},   {".B7", kExB7, kInt},
    {".B6", kExB6, kInt},   {".B5", kExB5, kInt},   {".B4", kExB4, kInt},
    {".B3", kExB3, kInt},   {".B2", kExB2, kInt},   {".B1", kExB1, kInt},
    {".B0", kExB0, kInt},
    {".status", kExStatus, kInt}, {".Vbatt", kExVbatt, kInt}, {".Pbatt", kExPbatt, kInt},
    {".Ved", kExVed, kInt},       {".Aed", kExAed, kInt},     {".VAed", kExVAed, kInt},
    {".Fed", kExFed, kInt},       {".Vdc", kExVdc, kInt},
    {".V1", kExV1, kInt}, {".V2", kExV2, kInt}, {".V3", kExV3, kInt}, {".V4", kExV4, kInt},
    {".company", kExCompany, kText}, {".mode", kExMode, kText}, {".version", kExVersion, kText},
};

#define ANALOG UPSEX_ANALOG
#define FLAG(fld, name, cap, high) UPSEX_STATE(fld, name, cap, "0:否，1:是", high)

// A text of the record, bounded by its array and terminated.
std::string RecText(const char* text, size_t size) {
    return std::string(text, strnlen(text, size));
}

}  // namespace

const DefRow kUpsExDefRows[47] = {
    ANALOG(1, "Vin1", "输入电压A", 2000, 2350, "输入电压"),
    ANALOG(2, "Vin2", "输入电压B", 2000, 2350, "输入电压"),
    ANALOG(3, "Vin3", "输入电压C", 2000, 2350, "输入电压"),
    ANALOG(4, "Vout1", "输出电压A", 2000, 2350, "输出电压"),
    ANALOG(5, "Vout2", "输出电压B", 2000, 2350, "输出电压"),
    ANALOG(6, "Vout3", "输出电压C", 2000, 2350, "输出电压"),
    ANALOG(7, "Iin1", "输入电流A", 0, 150, "输入电流"),
    ANALOG(8, "Iin2", "输入电流B", 0, 150, "输入电流"),
    ANALOG(9, "Iin3", "输入电流C", 0, 150, "输入电流"),
    ANALOG(10, "Iout1", "输出电流A", 0, 150, "输出电流"),
    ANALOG(11, "Iout2", "输出电流B", 0, 150, "输出电流"),
    ANALOG(12, "Iout3", "输出电流C", 0, 150, "输出电流"),
    ANALOG(13, "Fin1", "输入频率A", 490, 510, "输入频率"),
    ANALOG(14, "Fin2", "输入频率B", 490, 510, "输入频率"),
    ANALOG(15, "Fin3", "输入频率C", 490, 510, "输入频率"),
    ANALOG(16, "Fout1", "输出频率A", 490, 510, "输出频率"),
    ANALOG(17, "Fout2", "输出频率B", 490, 510, "输出频率"),
    ANALOG(18, "Fout3", "输出频率C", 490, 510, "输出频率"),
    ANALOG(22, "Tem", "环境温度", 200, 650, "温度"),
    FLAG(24, "b15", "b15", ""),
    FLAG(25, "b14", "b14", ""),
    FLAG(26, "b13", "b13", ""),
    FLAG(27, "b12", "b12", ""),
    FLAG(28, "b11", "b11", ""),
    FLAG(29, "b10", "b10", "0"),
    FLAG(30, "b9", "b09", ""),
    FLAG(31, "b8", "b08", "0"),
    FLAG(32, "b7", "b07", ""),
    FLAG(33, "b6", "b06", ""),
    FLAG(34, "b5", "b05", ""),
    FLAG(35, "b4", "b04", ""),
    FLAG(36, "b3", "b03", ""),
    FLAG(37, "b2", "b02", "0"),
    FLAG(38, "b1", "b01", ""),
    FLAG(39, "b0", "b00", "0"),
    ANALOG(40, "Vbatt", "电池电压", 2000, 2350, "电池电压"),
    // As stored by every installed unit: capacity and remaining time carry the voltage limits.
    ANALOG(41, "Pbatt", "电池容量", 2000, 2350, "电池容量"),
    ANALOG(42, "Mbatt", "电池剩于时间", 2000, 2350, "电池剩于时间"),
    // The bypass rows carry the texts of the output rows.
    ANALOG(55, "VB1", "旁路电压A", 2000, 2350, "输出电压"),
    ANALOG(56, "VB2", "旁路电压B", 2000, 2350, "输出电压"),
    ANALOG(57, "VB3", "旁路电压C", 2000, 2350, "输出电压"),
    ANALOG(58, "IB1", "旁路电流A", 0, 150, "输出电流"),
    ANALOG(59, "IB2", "旁路电流B", 0, 150, "输出电流"),
    ANALOG(60, "IB3", "旁路电流C", 0, 150, "输出电流"),
    ANALOG(61, "FB1", "旁路频率A", 490, 510, "输出频率"),
    ANALOG(62, "FB2", "旁路频率B", 490, 510, "输出频率"),
    ANALOG(63, "FB3", "旁路频率C", 490, 510, "输出频率"),
};

CSMUpsBase::CSMUpsBase(int type) : CSMBase(type), m_iDivisor(10) {
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-Base");
    // The summary may be formatted before any poll: the record starts empty.
    memset(&m_rec, 0, sizeof m_rec);
    m_flags[0] = m_flags[1] = 0;
    m_pData = &m_rec;
    m_iDataCnt = kExLastField;
}

CSMUpsBase::~CSMUpsBase() {}

// ---------------------------------------------------------------- registration and tables

void CSMUpsBase::RegDb(IDbBase* db, int force) {
    if (!db) return;
    static const qx::sql::TypeRow kType = {768, "UPS", "UPS 三相输入输出..."};
    qx::sql::RegType(db, m_iType, m_note, kType);
    if (qx::sql::Count(db, "select count(*) from tbSMDef where Type=%d", m_iType) > 0 && force)
        qx::sql::Exec(db, "delete from tbSMDef where Type=%d", m_iType);
    ChkDef(db, force);
}

int CSMUpsBase::ChkDef(IDbBase* db, int force) {
    return DefRows(db, force, kUpsExDefRows, 47);
}

int CSMUpsBase::DefRows(IDbBase* db, int force, const DefRow* rows, int count) {
    return DefRows(db, force, {{rows, count}});
}

int CSMUpsBase::DefRows(IDbBase* db, int force, std::initializer_list<DefRun> runs) {
    if (!db || !NeedDef(db, force)) return 0;
    int last = 0;
    for (const DefRun& run : runs)
        for (int i = 0; i < run.count; i++) last = qx::sql::InsDef(db, m_iType, run.rows[i]);
    return last;
}

int CSMUpsBase::ChkDb(tagSMItem* item) {
    static const qx::sql::TableDef kTable = {"tbUpsEx", kUpsExCreate};
    return qx::sql::ChkDb(*this, &kTable, 1, item, "tbUpsEx");
}

// ---------------------------------------------------------------- values

int32_t* CSMUpsBase::Field(int fld) {
    if (fld < 1 || fld > kExLastField || kFieldOffset[fld] < 0) return nullptr;
    return reinterpret_cast<int32_t*>(reinterpret_cast<char*>(&m_rec) + kFieldOffset[fld]);
}

const int32_t* CSMUpsBase::Field(int fld) const {
    return const_cast<CSMUpsBase*>(this)->Field(fld);
}

int CSMUpsBase::DataVal(int field) {
    if (field == 0) return 0;
    switch (field) {
    case kExCompany: return TextVal(m_rec.company);
    case kExMode: return TextVal(m_rec.mode);
    case kExVersion: return TextVal(m_rec.version);
    }
    const int32_t* v = Field(field);
    return v ? *v : -1;
}

void CSMUpsBase::ClearRecord() {
    memset(&m_rec, 0, sizeof m_rec);
}

void CSMUpsBase::ClearRange(int32_t& first, int32_t& last) {
    char* begin = reinterpret_cast<char*>(&m_rec);
    char* end = begin + sizeof m_rec;
    char* a = reinterpret_cast<char*>(&first);
    char* b = reinterpret_cast<char*>(&last) + sizeof(int32_t);
    if (a < begin || b > end || a >= b) return;
    memset(a, 0, (size_t)(b - a));
}

void CSMUpsBase::PackStatus() {
    // A plain sum of the stored bytes, each times its bit's weight (codes above 1 overlap);
    // computed without overflow, whatever a driver stored.
    uint32_t sum = 0;
    for (int k = 0; k < 16; k++) sum += (uint32_t)*Field(kExB0 - k) << k;
    m_rec.status = (int32_t)sum;
}

int32_t CSMUpsBase::ToInt(double v) {
    if (v != v) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return (int32_t)v;
}

int CSMUpsBase::VarEval(char* text) {
    if (!text) return -1;
    for (const Key& k : kKeys) {
        if (strcmp(text, k.key) != 0) continue;
        // Every key is shorter than the longest display text it can be replaced by; the
        // caller's buffer holds the display text.
        switch (k.fmt) {
        case kTenths: return sprintf(text, "%.1f", *Field(k.fld) / 10.0);
        case kInt: return sprintf(text, "%d", (int)*Field(k.fld));
        case kText: {
            const char* t = k.fld == kExCompany ? m_rec.company
                          : k.fld == kExMode    ? m_rec.mode
                                                : m_rec.version;
            size_t size = k.fld == kExCompany ? sizeof m_rec.company
                        : k.fld == kExMode    ? sizeof m_rec.mode
                                              : sizeof m_rec.version;
            return sprintf(text, "%s", RecText(t, size).c_str());
        }
        }
    }
    return -1;
}

// ---------------------------------------------------------------- storing

void CSMUpsBase::BriefText(char* out, size_t size) const {
    const double k = m_iDivisor == 100 ? 0.01 : 0.1;
    const UpsExRecord& r = m_rec;
    snprintf(out, size,
             "输入电压:%1.1fV, %1.1fV, %1.1fV, 输出电压:%1.1fV, %1.1fV, %1.1fV, "
             "输出电流:%1.1fA,%1.1fA,%1.1fA, 电池电压:%1.1fV",
             r.Vin1 * k, r.Vin2 * k, r.Vin3 * k, r.Vout1 * k, r.Vout2 * k, r.Vout3 * k,
             r.Iout1 * k, r.Iout2 * k, r.Iout3 * k, r.Vbatt * k);
}

int CSMUpsBase::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) {
    std::vector<int> own;
    alarmBits = qx::sql::PassOver(flags, alarmBits, m_iDataCnt, UnreadFields(), own);
    const int state = qx::sql::PollState(flags, alarmBits);
    const int snap = qx::sql::PollSnap(flags, snapId);
    // A poll without answer stores zeros, never the figures of an earlier poll.
    if (!alarmBits) ClearRecord();
    if (sid < 0) {
        if (!m_pItem) return 0;
        sid = m_pItem->SID;
    }

    qx::sql::Cols cols;
    for (const Column& c : kColumns)
        cols.Int(c.name, *reinterpret_cast<const int32_t*>(
                             reinterpret_cast<const char*>(&m_rec) + c.offset));
    cols.Text("company", RecText(m_rec.company, sizeof m_rec.company).c_str());
    cols.Text("mode", RecText(m_rec.mode, sizeof m_rec.mode).c_str());
    cols.Text("version", RecText(m_rec.version, sizeof m_rec.version).c_str());

    int last = 0;  // the current-row update and the history insert decide the result
    if (m_pDb) {
        if (m_pItem) qx::sql::UpdState(m_pDb, state, sid, m_pItem->Type);
        last = qx::sql::UpdCurrent(m_pDb, "tbUpsEx", state, snap, cols, sid);
        char brief[512];
        if (alarmBits) BriefText(brief, sizeof brief);  // no answer: the shared words, no cleared values
        else snprintf(brief, sizeof brief, "%s", qx::sql::NoAnswerBrief().c_str());
        char alarm[256];
        if (GetAlmDetail(alarm, alarmBits, 3, sizeof alarm) > 0)
            strncat(brief, alarm, sizeof brief - strlen(brief) - 1);
        qx::sql::UpdBrief(m_pDb, sid, brief);
    }
    if (history) last = qx::sql::InsHistory(history, "tbUpsEx", sid, state, snap, cols);
    return last == 0 ? 1 : 0;
}

// ---------------------------------------------------------------- no device here

int CSMUpsBase::DataGet(ISerBase*, int, int) {
    return 0;
}

int CSMUpsBase::DoFunc(ISerBase*, int, int, void*, int) {
    return 0;
}
