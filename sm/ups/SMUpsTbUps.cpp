#include "SMUpsTbUps.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <iterator>

#include "BufHelper.h"
#include "QxPlatform.h"

using qx::sql::DefRow;

const char kTbUpsCreate[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
    "DateUpd DATETIME,State INTEGER,SnapID INTEGER,Vin1 INTEGER,Vin2 INTEGER,Vin3 INTEGER,"
    "Fin INTEGER,Vout INTEGER,Aout INTEGER,Fout INTEGER,Pout INTEGER,Tem INTEGER,"
    "status INTEGER,b7 INTEGER,b6 INTEGER,b5 INTEGER,b4 INTEGER,b3 INTEGER,b2 INTEGER,"
    "b1 INTEGER,b0 INTEGER,Vbatt INTEGER,Pbatt INTEGER,Mbatt INTEGER,Ved INTEGER,Aed INTEGER,"
    "VAed INTEGER,Vdc INTEGER,Fed INTEGER,v1 INTEGER,v2 INTEGER,v3 INTEGER,v4 INTEGER,"
    "company VARCHAR(16),mode VARCHAR(16),version VARCHAR(16)";

// Definition rows of the default UPS handler: Fld, name, kind, caption, divisor, alarm kind,
// low limit and text, high limit and text, cell.
const DefRow kTbUpsDefRows[16] = {
    {1, "Vin1", 1, "输入电压", 10, 6, 2000, "最小值|允许最低输入电压,低于此值告警", 2350,
     "最大值|允许最高输入电压,超过此值告警", 0},
    {4, "Fin", 1, "输入频率", 10, 0, 490, "最小值|允许最低输入频率,低于此值告警", 510,
     "最大值|允许最高输入频率,超过此值告警", 0},
    {5, "Vout", 1, "输出电压", 10, 0, 0, "最小值|允许最低输出电压,低于此值告警", 2350,
     "最大值|允许最高输出电压,超过此值告警", 0},
    {6, "Aout", 1, "输出电流", 10, 0, 0, "最小值|允许最低输出电流,低于此值告警", 1500,
     "最大值|允许最高输出电流,超过此值告警", 0},
    {7, "Fout", 1, "输出频率", 10, 0, 490, "最小值|允许最低输出频率,低于此值告警", 2350,
     "最大值|允许最高输出频率,超过此值告警", 0},
    {8, "Pout", 1, "输出负载", 10, 0, 2000, "最小值|允许最低输出负载,低于此值告警", 2350,
     "最大值|允许最高输出负载,超过此值告警", 0},
    {11, "b7", 1, "b7市电异常", 1, 1, 0, "1表示异常", 0, "", 0},
    {12, "b6", 1, "b6电池低电压", 1, 1, 0, "1表示低电压", 0, "", 0},
    {13, "b5", 1, "b5旁路模式", 1, 1, 0, "1表示旁路模式", 0, "", 0},
    {14, "b4", 1, "b4 UPS故障", 1, 1, 0, "1表示UPS故障", 0, "", 0},
    {15, "b3", 1, "b3 UPS在线式", 1, 0, 0, "1表示后备式,常为0", 0, "", 0},
    {16, "b2", 1, "b2 UPS测试中", 1, 0, 0, "1表示测试中", 0, "0", 0},
    {17, "b1", 1, "b1关机有效", 1, 0, 0, "1表示配置关机后有效", 0, "", 0},
    {18, "b0", 1, "b0蜂鸣", 1, 1, 0, "1表示蜂鸣响起", 0, "0", 0},
    {19, "Vbatt", 1, "电池电压", 10, 0, 2000, "最小值|允许最低电池电压,低于此值告警", 2350,
     "最大值|允许最高电池电压,超过此值告警", 0},
    {20, "Pbatt", 1, "电池容量", 10, 0, 300, "最小值|允许最低容量,低于此值告警", 0, "", 0},
};

// Columns of the default handler's current-row update and history insert. Pout, Mbatt, VAed
// and v2..v4 are not written: those columns keep what the row had.
const uint8_t kTbUpsColumns[27] = {
    kUpsVin1, kUpsVin2, kUpsVin3, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsVbatt, kUpsPbatt,
    kUpsTem, kUpsStatus, kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1, kUpsB0,
    kUpsVed, kUpsAed, kUpsVdc, kUpsFed, kUpsV1, kUpsCompany, kUpsMode, kUpsVersion,
};

const uint8_t kTbUpsColumnsWide[31] = {
    kUpsVin1, kUpsVin2, kUpsVin3, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsVbatt, kUpsPbatt,
    kUpsTem, kUpsStatus, kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1, kUpsB0,
    kUpsVed, kUpsAed, kUpsVdc, kUpsFed, kUpsV1, kUpsCompany, kUpsMode, kUpsVersion,
    kUpsV2, kUpsV3, kUpsV4, kUpsMbatt,
};

const TbUpsKey kTbUpsKeys[27] = {
    {".Vin", kUpsVin1, kKeyTenths},    {".Fin", kUpsFin, kKeyTenths},
    {".Vout", kUpsVout, kKeyTenths},   {".Aout", kUpsAout, kKeyTenths},
    {".Fout", kUpsFout, kKeyTenths},   {".Pout", kUpsPout, kKeyTenths},
    {".B7", kUpsB7, kKeyInt},          {".B6", kUpsB6, kKeyInt},
    {".B5", kUpsB5, kKeyInt},          {".B4", kUpsB4, kKeyInt},
    {".B3", kUpsB3, kKeyInt},          {".B2", kUpsB2, kKeyInt},
    {".B1", kUpsB1, kKeyInt},          {".B0", kUpsB0, kKeyInt},
    {".status", kUpsStatus, kKeyInt},  {".Tem", kUpsTem, kKeyInt},
    {".Vbatt", kUpsVbatt, kKeyInt},    {".Pbatt", kUpsPbatt, kKeyInt},
    {".Ved", kUpsVed, kKeyInt},        {".Aed", kUpsAed, kKeyInt},
    {".VAed", kUpsVAed, kKeyInt},      {".Vdc", kUpsVdc, kKeyInt},
    {".Fed", kUpsFed, kKeyInt},        {".company", kUpsCompany, kKeyText},
    {".mode", kUpsMode, kKeyText},     {".version", kUpsVersion, kKeyText},
    {".Vfault", kUpsV1, kKeyInt},
};

namespace {

// Column names by field number (index 0 unused).
const char* const kNames[kUpsLastField + 1] = {
    nullptr, "Vin1", "Vin2", "Vin3", "Fin", "Vout", "Aout", "Fout", "Pout", "Tem", "status",
    "b7", "b6", "b5", "b4", "b3", "b2", "b1", "b0", "Vbatt", "Pbatt", "Mbatt", "Ved", "Aed",
    "VAed", "Vdc", "Fed", "v1", "v2", "v3", "v4", "company", "mode", "version",
};

bool IsSeparator(char c, const char* separators) {
    return c != '\0' && strchr(separators, c) != nullptr;
}

}  // namespace

CSMUpsTbUps::CSMUpsTbUps(int type, const char* note, const TbUpsShape& shape)
    : CSMBase(type), m_bIdentRead(0), m_bRatingRead(0), m_shape(shape) {
    snprintf(m_note, sizeof(m_note), "%s", note);
    m_pData = &m_rec;
    m_iDataCnt = 35;
    memset(&m_rec, 0, sizeof(m_rec));
    m_rec.Pbatt = 1000;
    m_rec.Mbatt = 120;
}

CSMUpsTbUps::~CSMUpsTbUps() {}

// ---------------------------------------------------------------- registration and tables

void CSMUpsTbUps::RegDb(IDbBase* db, int force) {
    RegDbRows(db, force, m_shape.defRows, m_shape.defRowCount);
}

void CSMUpsTbUps::RegDbRows(IDbBase* db, int force, const DefRow* rows, int count) {
    const qx::sql::TypeRow type = {m_shape.typeClass ? m_shape.typeClass : 768,
                                   m_shape.typeFamily ? m_shape.typeFamily : "UPS",
                                   m_shape.typeDesc};
    qx::sql::RegDb(*this, db, force, type, rows, (size_t)count);
}

int CSMUpsTbUps::ChkDb(tagSMItem* item) {
    static const qx::sql::TableDef kTable = {"tbUps", kTbUpsCreate};
    return qx::sql::ChkDb(*this, &kTable, 1, item, "tbUps");
}

// ---------------------------------------------------------------- values

int CSMUpsTbUps::FieldValue(int field) const {
    const TbUpsRecord& r = m_rec;
    switch (field) {
    case kUpsVin1: return r.Vin1;
    case kUpsVin2: return r.Vin2;
    case kUpsVin3: return r.Vin3;
    case kUpsFin: return r.Fin;
    case kUpsVout: return r.Vout;
    case kUpsAout: return r.Aout;
    case kUpsFout: return r.Fout;
    case kUpsPout: return r.Pout;
    case kUpsTem: return r.Tem;
    case kUpsStatus: return r.status;
    case kUpsB7: return r.b7;
    case kUpsB6: return r.b6;
    case kUpsB5: return r.b5;
    case kUpsB4: return r.b4;
    case kUpsB3: return r.b3;
    case kUpsB2: return r.b2;
    case kUpsB1: return r.b1;
    case kUpsB0: return r.b0;
    case kUpsVbatt: return r.Vbatt;
    case kUpsPbatt: return r.Pbatt;
    case kUpsMbatt: return r.Mbatt;
    case kUpsVed: return r.Ved;
    case kUpsAed: return r.Aed;
    case kUpsVAed: return r.VAed;
    case kUpsVdc: return r.Vdc;
    case kUpsFed: return r.Fed;
    case kUpsV1: return r.v1;
    case kUpsV2: return r.v2;
    case kUpsV3: return r.v3;
    case kUpsV4: return r.v4;
    case kUpsCompany: return TextVal(r.company);
    case kUpsMode: return TextVal(r.mode);
    case kUpsVersion: return TextVal(r.version);
    default: return -1;
    }
}

DefRow CSMUpsTbUps::DefaultRow(int field) {
    for (const DefRow& r : kTbUpsDefRows)
        if (r.fld == field) return r;
    return DefRow{field, "", 1, "", 1, 0, 0, "", 0, "", 0};
}

std::vector<DefRow> CSMUpsTbUps::DefaultRows(std::initializer_list<uint8_t> fields) {
    std::vector<DefRow> rows;
    for (uint8_t f : fields) rows.push_back(DefaultRow(f));
    return rows;
}

std::vector<DefRow> CSMUpsTbUps::DefaultMeasuresWith(std::initializer_list<DefRow> own) {
    std::vector<DefRow> rows(own);
    for (const DefRow& r : kTbUpsDefRows)
        if (r.fld < kUpsB7 || r.fld > kUpsB0) rows.push_back(r);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const DefRow& a, const DefRow& b) { return a.fld < b.fld; });
    return rows;
}

std::vector<TbUpsKey> CSMUpsTbUps::DefaultKeysIn(TbUpsKeyFmt readings) {
    std::vector<TbUpsKey> keys(std::begin(kTbUpsKeys), std::end(kTbUpsKeys));
    for (TbUpsKey& k : keys)
        if (k.fmt != kKeyText && (k.fld < kUpsStatus || k.fld > kUpsB0)) k.fmt = readings;
    return keys;
}

TbUpsShape CSMUpsTbUps::WideShape(const std::vector<DefRow>& rows, const char* family) {
    return {
        "232接口...",
        rows.data(), (int)rows.size(),
        kTbUpsColumnsWide, (int)sizeof kTbUpsColumnsWide,
        nullptr, 0,  // no display keys
        3, false, false,
        0, family,
    };
}

void CSMUpsTbUps::SetField(int field, int32_t v) {
    TbUpsRecord& r = m_rec;
    int32_t* const words[] = {
        &r.Vin1, &r.Vin2, &r.Vin3, &r.Fin, &r.Vout, &r.Aout, &r.Fout, &r.Pout, &r.Tem,
    };
    uint8_t* const bytes[] = {&r.status, &r.b7, &r.b6, &r.b5, &r.b4, &r.b3, &r.b2, &r.b1, &r.b0};
    int32_t* const more[] = {
        &r.Vbatt, &r.Pbatt, &r.Mbatt, &r.Ved, &r.Aed, &r.VAed, &r.Vdc, &r.Fed,
        &r.v1, &r.v2, &r.v3, &r.v4,
    };
    if (field >= kUpsVin1 && field <= kUpsTem) *words[field - kUpsVin1] = v;
    else if (field >= kUpsStatus && field <= kUpsB0) *bytes[field - kUpsStatus] = (uint8_t)v;
    else if (field >= kUpsVbatt && field <= kUpsV4) *more[field - kUpsVbatt] = v;
}

int CSMUpsTbUps::BinFieldsEnd(const TbUpsBinField* fields, int count) {
    int end = 0;
    for (int i = 0; i < count; i++)
        if (fields[i].at + fields[i].width > end) end = fields[i].at + fields[i].width;
    return end;
}

bool CSMUpsTbUps::TakeBinFields(const uint8_t* reply, int n, const TbUpsBinField* fields,
                                int count) {
    if (!reply || n < BinFieldsEnd(fields, count)) return false;
    for (int i = 0; i < count; i++) {
        const TbUpsBinField& f = fields[i];
        const int raw = f.width != 2  ? reply[f.at]
                        : f.msbFirst ? CBufHelper::wdFromBuf(reply + f.at)
                                     : CBufHelper::wdFromBufLH(reply + f.at);
        SetField(f.fld, f.scale ? raw * f.scale : raw != 0);
    }
    return true;
}

int CSMUpsTbUps::DataVal(int field) {
    if (field == 0) return 0;
    if (field == 34) return m_shape.readFlagFields ? m_bIdentRead : -1;
    if (field == 35) return m_shape.readFlagFields ? m_bRatingRead : -1;
    return FieldValue(field);
}

void CSMUpsTbUps::TakeWords(const qx::MbReply& reply, int start, const TbUpsReg* map, size_t n) {
    for (size_t i = 0; i < n; i++) SetField(map[i].fld, reply.Word(map[i].reg - start));
}

qx::MbReply CSMUpsTbUps::ReadBlock(ISerBase* ch, int address, const TbUpsRegBlock& block,
                                   int waitMs, uint8_t* rx, int rxSize) {
    if (!ch || !ch->IsOpened()) return qx::MbReply();
    qx::MbReply r = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, block.function, block.start,
                               block.count, rx, rxSize, waitMs);
    if (!r.ok()) return r;
    ClearRecord();
    TakeWords(r, block.start, block.regs, block.regCount);
    return r;
}

int CSMUpsTbUps::DoItem(tagSMItem* item, int n) {
    // Another point: the record's rating, identification and their flags go with the point
    // that had them, and the new point's own come back (none before its first reply).
    if (item && (!m_bHasPoint || item->SID != m_iIdentSid)) {
        TbUpsRecord& r = m_rec;
        if (m_bHasPoint) {
            PointIdent& o = m_identBySid[m_iIdentSid];
            o.Ved = r.Ved, o.Aed = r.Aed, o.VAed = r.VAed, o.Vdc = r.Vdc, o.Fed = r.Fed;
            memcpy(o.company, r.company, sizeof o.company);
            memcpy(o.mode, r.mode, sizeof o.mode);
            memcpy(o.version, r.version, sizeof o.version);
            o.identRead = m_bIdentRead;
            o.ratingRead = m_bRatingRead;
        }
        auto it = m_identBySid.find(item->SID);
        const PointIdent p = it == m_identBySid.end() ? PointIdent() : it->second;
        r.Ved = p.Ved, r.Aed = p.Aed, r.VAed = p.VAed, r.Vdc = p.Vdc, r.Fed = p.Fed;
        memcpy(r.company, p.company, sizeof r.company);
        memcpy(r.mode, p.mode, sizeof r.mode);
        memcpy(r.version, p.version, sizeof r.version);
        m_bIdentRead = p.identRead;
        m_bRatingRead = p.ratingRead;
        m_bHasPoint = true;
        m_iIdentSid = item->SID;
    }
    return CSMBase::DoItem(item, n);
}

void CSMUpsTbUps::ClearRecord(bool keepRating, bool keepIdent) {
    TbUpsRecord& r = m_rec;
    const int32_t ved = r.Ved, aed = r.Aed, vaed = r.VAed, vdc = r.Vdc, fed = r.Fed;
    char company[sizeof r.company], mode[sizeof r.mode], version[sizeof r.version];
    memcpy(company, r.company, sizeof company);
    memcpy(mode, r.mode, sizeof mode);
    memcpy(version, r.version, sizeof version);
    memset(&r, 0, sizeof r);
    if (keepRating) {
        r.Ved = ved, r.Aed = aed, r.VAed = vaed, r.Vdc = vdc, r.Fed = fed;
    }
    if (keepIdent) {
        memcpy(r.company, company, sizeof company);
        memcpy(r.mode, mode, sizeof mode);
        memcpy(r.version, version, sizeof version);
    }
}

void CSMUpsTbUps::SetStatusBits(const char* c) {
    TbUpsRecord& r = m_rec;
    uint8_t* bits[8] = {&r.b7, &r.b6, &r.b5, &r.b4, &r.b3, &r.b2, &r.b1, &r.b0};
    r.status = 0;
    for (int i = 0; i < 8; i++) {
        *bits[i] = c[i] != '0';
        r.status = (uint8_t)(r.status << 1 | *bits[i]);
    }
}

int32_t CSMUpsTbUps::Trunc(double v) {
    if (v != v) return 0;
    if (v >= 2147483647.0) return INT32_MAX;
    if (v <= -2147483648.0) return INT32_MIN;
    return (int32_t)v;
}

float CSMUpsTbUps::BatteryFactor() const {
    if (m_pItem && m_pItem->Ext2 > 0) return (float)(m_pItem->Ext2 * 0.1);
    return 1.0f;
}

// ---------------------------------------------------------------- reply helpers

int CSMUpsTbUps::BeeperToggle(ISerBase* ch, int command) {
    if (!ch || !ch->IsOpened() || command != 1) return 0;
    return ch->Write((const unsigned char*)"Q\r") == 2 ? 1 : 0;
}

bool CSMUpsTbUps::Framed(const uint8_t* reply, int n, char first) {
    return n >= 1 && reply[0] == (uint8_t)first && reply[n - 1] == '\r';
}

int CSMUpsTbUps::ScanNumbers(int* out, const char* text, int& pos, int len, int max,
                             const char* separators, double scale, bool opensAtDigit) {
    int count = 0;
    int start = -1;  // first index of the open field
    for (int i = pos; i < len; i++) {
        if (!IsSeparator(text[i], separators)) {
            if (start < 0) {
                if (opensAtDigit && (text[i] < '0' || text[i] > '9')) continue;
                if (count >= max) {
                    pos = i;
                    return count;
                }
                start = i;
            }
            continue;
        }
        if (start < 0) continue;  // a run of separators ends one field only
        // The field's text, bounded and terminated, so the conversion reads nothing else.
        char field[64];
        int n = i - start;
        if (n > (int)sizeof(field) - 1) n = sizeof(field) - 1;
        memcpy(field, text + start, n);
        field[n] = '\0';
        double v = atof(field) * scale;
        if (!isfinite(v) || v >= 2147483648.0 || v <= -2147483649.0) {
            pos = start;
            return count;
        }
        out[count++] = (int)v;
        start = -1;
        pos = i + 1;
    }
    return count;
}

int CSMUpsTbUps::Exchange(ISerBase* ch, const void* request, int requestLen, int waitMs,
                          uint8_t* reply, int max, const char* endBytes, int least) {
    static const int kMaxReads = 8;
    ch->Purge();
    if (ch->Write((const unsigned char*)request, requestLen) != requestLen) return -1;
    if (waitMs > 0) qx::SleepMs(waitMs);
    int got = 0;
    for (int reads = 0; reads < kMaxReads && got < max; reads++) {
        int r = ch->Read(reply + got, max - got, 0);
        if (r <= 0) break;
        got += r > max - got ? max - got : r;
        if (least > 0 && got >= least) break;
        if (endBytes && reply[got - 1] && strchr(endBytes, reply[got - 1])) break;
    }
    reply[got] = '\0';
    return got;
}

int CSMUpsTbUps::IvalTrim(char* out, const char* text, int n) {
    int b = 0, e = n;
    while (b < e && text[b] == ' ') b++;
    while (e > b && text[e - 1] == ' ') e--;
    memcpy(out, text + b, e - b);
    out[e - b] = '\0';
    return e - b;
}

void CSMUpsTbUps::CopyGbk(char* out, size_t size, const char* src, size_t srcMax) {
    size_t n = 0;
    if (size == 0) return;
    while (n < srcMax && src[n]) {
        // A GBK lead byte (0x81..0xFE) starts a two-byte character.
        size_t w = ((uint8_t)src[n] >= 0x81 && (uint8_t)src[n] <= 0xFE) ? 2 : 1;
        if (n + w > srcMax || (w == 2 && !src[n + 1]) || n + w > size - 1) break;
        n += w;
    }
    memcpy(out, src, n);
    out[n] = '\0';
}

bool CSMUpsTbUps::TakeIdent(const uint8_t* reply, int n) {
    if (n < 39 || !Framed(reply, n, '#')) return false;
    TbUpsRecord& r = m_rec;
    const char* t = (const char*)reply;
    char field[16];
    // Maker: bytes 1..15; model: 17..26; version: 28..37.
    IvalTrim(field, t + 1, 15);
    if (field[0]) {
        memcpy(r.company, field, sizeof r.company);
    } else if (m_pItem) {
        CopyGbk(r.company, sizeof r.company, m_pItem->ItemName, sizeof m_pItem->ItemName);
    } else {
        snprintf(r.company, sizeof r.company, " ");
    }
    IvalTrim(r.mode, t + 17, 10);
    IvalTrim(r.version, t + 28, 10);
    m_bIdentRead = 1;
    return true;
}

// ---------------------------------------------------------------- storing a poll

bool CSMUpsTbUps::FailureGate(int sid, int state) {
    return qx::sql::ErrGate(*this, m_errBySid, sid, state);
}

int CSMUpsTbUps::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) {
    std::vector<int> own;
    alarmBits = qx::sql::PassOver(flags, alarmBits, m_iDataCnt, UnreadFields(), own);
    const int state = qx::sql::PollState(flags, alarmBits);
    const int snap = qx::sql::PollSnap(flags, snapId);
    if (!alarmBits) {
        // A poll without answer stores zeros. The rating and identification go with the rest,
        // so they are asked again at the next answer rather than lost for the handler's life.
        ClearRecord();
        m_bIdentRead = m_bRatingRead = 0;
    }
    if (sid < 0) {
        if (!m_pItem) return 0;  // no point to store for
        sid = m_pItem->SID;
    }
    // The failure counter belongs to the point: a silent UPS is reported even when a healthy
    // one of the same type is polled in between.
    if (m_shape.failureCounter && !FailureGate(sid, state)) return 0;

    qx::sql::Cols cols;
    for (int i = 0; i < m_shape.columnCount; i++) {
        const int f = m_shape.columns[i];
        if (f == kUpsCompany) cols.Text(kNames[f], m_rec.company);
        else if (f == kUpsMode) cols.Text(kNames[f], m_rec.mode);
        else if (f == kUpsVersion) cols.Text(kNames[f], m_rec.version);
        else cols.Int(kNames[f], FieldValue(f));
    }

    // The result is that of the current row or, when given, of the history row; the state and
    // summary statements do not decide it.
    int last = 0;
    if (m_pDb) {
        // The point's state row is keyed by its Type: without a current point there is none.
        if (m_pItem) qx::sql::UpdState(m_pDb, state, sid, m_pItem->Type);
        last = qx::sql::UpdCurrent(m_pDb, "tbUps", state, snap, cols, sid);

        // The summary: the driver's text, then the captions of the out-of-limit fields.
        // It is built in a buffer of its own; whole captions only, bounded by what is left of
        // it; the statement escapes it.
        char brief[768];
        brief[0] = '\0';
        // No answer: the shared words (or the driver's own), no cleared values.
        if (alarmBits || m_shape.ownFault) BriefText(brief, sizeof brief);
        else snprintf(brief, sizeof brief, "%s", qx::sql::NoAnswerBrief().c_str());
        const size_t used = strlen(brief);
        if (m_shape.alarmNotes > 0)
            GetAlmDetail(brief + used, alarmBits, m_shape.alarmNotes, sizeof brief - used);
        qx::sql::UpdBrief(m_pDb, sid, brief, m_shape.briefWithState ? state : -1);
    }
    if (history) last = qx::sql::InsHistory(history, "tbUps", sid, state, snap, cols);
    return last == 0 ? 1 : 0;
}

// ---------------------------------------------------------------- display texts

int CSMUpsTbUps::VarEval(char* text) {
    if (!text) return -1;
    for (int i = 0; i < m_shape.keyCount; i++) {
        const TbUpsKey& k = m_shape.keys[i];
        if (!k.key || strcmp(text, k.key) != 0) continue;
        const int v = FieldValue(k.fld);
        switch (k.fmt) {
        case kKeyTenths: return sprintf(text, "%.1f", v / 10.0);
        case kKeyHundredths: return sprintf(text, "%.1f", v / 100.0);
        case kKeyInt: return sprintf(text, "%d", v);
        case kKeyText:
            return sprintf(text, "%s",
                           k.fld == kUpsCompany ? m_rec.company
                           : k.fld == kUpsMode  ? m_rec.mode
                                                : m_rec.version);
        }
    }
    return -1;
}
