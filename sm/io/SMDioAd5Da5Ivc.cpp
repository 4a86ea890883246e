#include "io/SMDioAd5Da5Ivc.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "io/SMDioAd5Da5.h"
#include "core/SMSkeleton.h"

namespace {

const qx::sql::DefRow kDefs[] = {
    {6, "D06", 1, "氨浓度", 10, 6, 1000, "最小值,低于此值告警", 5000, "最大值,超过此值告警", 0},
    {7, "D07", 1, "温度", 10, 6, 100, "最小值|允许最低温度,低于此值告警", 300,
     "最大值|允许最高温度,超过此值告警", 0},
    {8, "D08", 1, "湿度", 10, 6, 100, "最小值|允许最低湿度,低于此值告警", 750,
     "最大值|允许最高湿度,超过此值告警", 0},
    {9, "D09", 1, "换气次数", 1, 0, 0, "最小值,低于此值告警", 30, "最大值,超过此值告警", 0},
    {10, "D10", 1, "压差", 1, 0, 0, "最小值,低于此值告警", 500, "最大值,超过此值告警", 0},
};

// The built-in curves, x in volts; the ammonia curve starts at 0.0 V -> 0.5.
const float kAmmonia[][2] = {{0.0f, 0.5f}, {4.25f, 500.0f}};
const float kTemperature[][2] = {{0.49f, 10}, {0.63f, 15}, {0.79f, 20}, {1.0f, 25},
                                 {1.24f, 30}, {1.53f, 35}, {1.88f, 40}};
const float kHumidity[][2] = {{0.74f, 10}, {0.95f, 20}, {1.31f, 30}, {1.68f, 40}, {2.02f, 50},
                              {2.37f, 60}, {2.69f, 70}, {2.99f, 80}, {3.19f, 90}};
const float kAirChanges[][2] = {{0.5f, 0.0f},   {1.18f, 0.7f},  {2.12f, 1.02f}, {2.45f, 1.49f},
                                {2.7f, 1.98f},  {2.91f, 2.49f}, {3.14f, 3.05f}, {3.29f, 3.47f},
                                {3.46f, 4.07f}, {3.68f, 5.04f}, {3.86f, 5.96f}, {4.03f, 6.96f},
                                {4.19f, 7.98f}, {4.34f, 9.01f}, {4.5f, 10.0f}};
const float kPressure[][2] = {{0.25f, 0.0f}, {4.25f, 250.0f}};

struct BuiltIn {
    const float (*pt)[2];
    int n;
};
#define QX_CURVE(t) {t, (int)(sizeof(t) / sizeof(t[0]))}
const BuiltIn kBuiltIn[CSMDioAd5Da5Ivc::kCurves] = {
    QX_CURVE(kAmmonia), QX_CURVE(kTemperature), QX_CURVE(kHumidity), QX_CURVE(kAirChanges),
    QX_CURVE(kPressure)};
#undef QX_CURVE

const qx::skel::Key kKeys[] = {
    {".Tem", 7, 10, 1, ""}, {".温度", 7, 10, 1, ""},   {".Hum", 8, 10, 1, ""},
    {".湿度", 8, 10, 1, ""}, {".NH3", 6, 10, 1, ""}, {".氨浓度", 6, 10, 1, ""},
};

const qx::sql::TableDef kTbIvcDat = {
    "tbIvcDat",
    "BID INTEGER PRIMARY KEY,DateUpd DATETIME,AD1 INTEGER,AD2 INTEGER,AD3 INTEGER,"
    "AD4 INTEGER,AD5 INTEGER,AD1v INTEGER,AD2v INTEGER,AD3v INTEGER,AD4v INTEGER,AD5v INTEGER,"
    "DA1 INTEGER,DA2 INTEGER,DA3 INTEGER,DA1v INTEGER,DA2v INTEGER,DA3v INTEGER,DO1 INTEGER,"
    "DO2 INTEGER,DO3 INTEGER,State INTEGER,iAD1v INTEGER,iAD2v INTEGER,iAD3v INTEGER,"
    "iAD4v INTEGER,iAD5v INTEGER",
};

// Module number of a bus address.
int Bid(int addr) { return ((addr % 10) + 10) % 10; }

// A curve value as a stored word: 0 unless finite and within 0..65535.
uint16_t Word(double v) {
    return (isfinite(v) && v >= 0.0 && v <= 65535.0) ? (uint16_t)v : 0;
}

// The value of an output register as a percentage of its 4095 counts.
uint16_t Percent(uint16_t reg) { return (uint16_t)((reg / 4095.0 + 0.005) * 100); }

}  // namespace

CSMDioAd5Da5Ivc::CSMDioAd5Da5Ivc() : CSMDioBase(0x90A)
{
    m_iDataCnt = 27;
    snprintf(m_note, sizeof(m_note), "%s", "QX-AD5DA5-IVC");
    memset(m_curve, 0, sizeof(m_curve));
    for (int c = 0; c < kCurves; c++) {
        memcpy(m_curve[c].pt, kBuiltIn[c].pt, sizeof(float[2]) * (size_t)kBuiltIn[c].n);
        m_curve[c].n = kBuiltIn[c].n;
    }
    memset(m_smCnt, 0, sizeof(m_smCnt));
    memset(m_smVal, 0, sizeof(m_smVal));
}

float CSMDioAd5Da5Ivc::Lookup(float x, const Curve& c)
{
    int n = c.n < 1 ? 0 : (c.n > kCurvePoints ? kCurvePoints : c.n);
    if (n == 0)
        return 0.0f;
    for (int i = 0; i < n; i++) {
        if (c.pt[i][0] < x)
            continue;
        if (i == 0)
            return c.pt[0][1];
        float x0 = c.pt[i - 1][0], y0 = c.pt[i - 1][1];
        float x1 = c.pt[i][0], y1 = c.pt[i][1];
        return y0 + (x - x0) * (y1 - y0) / (x1 - x0);
    }
    return c.pt[n - 1][1];
}

int CSMDioAd5Da5Ivc::ChkDef(IDbBase* db, int force)
{
    return InsDefs(db, force, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMDioAd5Da5Ivc::ChkDb(tagSMItem* item)
{
    if (!m_pDb)
        return 0;
    qx::sql::EnsureTable(m_pDb, kTbIvcDat);
    if (item) {
        int bid = Bid(item->Addr);
        if (qx::sql::Count(m_pDb, "select count(*) from tbIvcDat where BID=%d", bid) == 0)
            qx::sql::Exec(m_pDb, "insert into tbIvcDat(BID,DateUpd) values(%d," QX_SQL_NOW ")", bid);
    }
    return CSMDioBase::ChkDb(item);
}

void CSMDioAd5Da5Ivc::Load(int sid)
{
    auto it = m_bySid.find(sid);
    if (it == m_bySid.end())
        memset(m_wData, 0, sizeof(m_wData));
    else
        memcpy(m_wData, it->second.data(), sizeof(m_wData));
}

void CSMDioAd5Da5Ivc::Keep(int sid)
{
    memcpy(m_bySid[sid].data(), m_wData, sizeof(m_wData));
}

// The AD5DA5's two reads without waits, then the curves: inputs 0..4095 for 0..10 V. The
// point's own block is read into; a first read that answers while the second fails leaves its
// D01..D05 in the block.
int CSMDioAd5Da5Ivc::DataGet(ISerBase* ser, int addr, int wait)
{
    (void)wait;
    if (!ser || !ser->IsOpened())
        return 0;
    const int sid = m_pItem ? m_pItem->SID : -1;
    Load(sid);
    m_bid = Bid(addr);
    int ok = CSMDioAd5Da5::ReadModule(*this, ser, addr, 0, 11);
    if (!ok) {
        Keep(sid);
        return 0;
    }
    float v[5];
    for (int i = 0; i < 5; i++)
        v[i] = (float)(m_wData[1 + i] / 4095.0 * 10.0);
    for (int i = 0; i < 3; i++)
        m_wData[6 + i] = Word(Lookup(v[i], m_curve[i]) * 10.0);
    // Air changes and pressure difference: the mean of the module's last value and the new
    // one; a module number 0 has no memory and takes the curve value.
    int slot = m_bid - 1;
    for (int k = 0; k < 2; k++) {
        float f = Lookup(v[3 + k], m_curve[3 + k]);
        if (slot >= 0) {
            if (m_smCnt[k][slot] > 0)
                f = (m_smVal[k][slot] + f) / 2;
            m_smVal[k][slot] = f;
            if (m_smCnt[k][slot] < 0x7FFFFFFF)
                m_smCnt[k][slot]++;
        }
        m_wData[9 + k] = Word(f);
    }
    for (int i = 0; i < 5; i++)
        m_wData[16 + i] = Percent(m_wData[11 + i]);
    Keep(sid);
    return 1;
}

void CSMDioAd5Da5Ivc::UpdSt(int flags, int* alarmBits, int sid)
{
    IDbBase* db = m_pDb;
    if (!db)
        return;
    int s = qx::sql::PollState(flags, alarmBits);
    int type = m_pItem ? m_pItem->Type : m_iType;
    if (m_pItem && m_pItem->ItemDetail)
        qx::sql::UpdState(db, s, sid, type);
    qx::skel::Brief b;
    int k = 0;
    for (int i = 5; i <= 9; i++) {
        int p = s;
        if (s == 1 && alarmBits && !((alarmBits[0] >> i) & 1))
            p = 0;
        qx::sql::Exec(db,
                      "update tbSubSysDetail set LastUpd=" QX_SQL_NOW
                      ",State=%d where sid=%d and type=%d and Fld=%d",
                      p, sid, type, i + 1);
        if (p != 1)
            continue;
        std::string name = GetNoteX(i + 1, sid);
        if (i <= 7)
            b.Add("%s=%.1f (告警) ", name.c_str(), m_wData[i + 1] / 10.0);
        else
            b.Add("%s=%d (告警)", name.c_str(), m_wData[i + 1]);
        k++;
    }
    std::string text = !alarmBits ? qx::sql::NoAnswerBrief("故障") : (k ? b.Text() : "全部正常");
    qx::sql::UpdBrief(db, sid, text.c_str(), s);
}

int CSMDioAd5Da5Ivc::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist)
{
    int s = qx::sql::PollState(flags, alarmBits);
    int snap = qx::sql::PollSnap(flags, snapId);
    if (sid < 0 && m_pItem)
        sid = m_pItem->SID;
    // The point's own block: what its last poll read, with the state and flags of its last
    // update.
    Load(sid);
    // State 2 (no answer) clears the values and flags every field 2. The host's alarm flag
    // without alarm bits (state 1) keeps the values and the flags as they were.
    if (s == 2)
        memset(m_wData, 0, sizeof(m_wData));
    UpdSt(flags, alarmBits, sid);
    m_wData[21] = (uint16_t)s;
    for (int i = 0; i < 5; i++) {
        if (s == 2)
            m_wData[22 + i] = 2;
        else if (alarmBits)
            m_wData[22 + i] = (uint16_t)(s == 1 ? (alarmBits[0] >> (5 + i)) & 1 : 0);
    }
    Keep(sid);

    qx::sql::Cols cols = DioCols(true, 26);
    int last = 0;
    if (m_pDb) {
        qx::sql::UpdCurrent(m_pDb, kTbDio.name, s, snap, cols, sid);
        const uint16_t* w = m_wData;
        last = qx::sql::Exec(
            m_pDb,
            "update tbIvcDat set DateUpd=" QX_SQL_NOW ",AD1=%d,AD2=%d,AD3=%d,AD4=%d,AD5=%d,"
            "AD1v=%d,AD2v=%d,AD3v=%d,AD4v=%d,AD5v=%d,DA1=%d,DA2=%d,DA3=%d,DA1v=%d,DA2v=%d,"
            "DA3v=%d,State=%d,iAD1v=%d,iAD2v=%d,iAD3v=%d,iAD4v=%d,iAD5v=%d where BID=%d",
            w[1], w[2], w[3], w[4], w[5], w[6], w[7], w[8], w[9], w[10], w[11], w[12], w[13],
            w[16], w[17], w[18], w[21], w[22], w[23], w[24], w[25], w[26],
            m_pItem ? Bid(m_pItem->Addr) : m_bid);
    }
    if (hist)
        last = qx::sql::InsHistory(hist, kTbDio.name, sid, s, snap, cols);
    return last == 0 ? 1 : 0;
}

int CSMDioAd5Da5Ivc::VarEval(char* buf)
{
    return qx::skel::VarEval(*this, buf, kKeys, sizeof(kKeys) / sizeof(kKeys[0]));
}

// Functions 6 and 16 write the outputs as the AD5DA5 does, without waits. Functions 21..25
// replace curve 0..4 in memory with the count of points in the low bits of cmd and the
// float pairs (x, y) at buf: 1 to 50 points, len at least 8 per point and at most 400.
int CSMDioAd5Da5Ivc::DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len)
{
    int fn = (cmd >> 16) & 0xFF;
    if (fn < 21 || fn > 25)
        return CSMDioAd5Da5::WriteOutputs(*this, ser, addr, cmd, buf, len, 0);
    int n = cmd & 0xFFFF;
    if (!buf || n < 1 || n > kCurvePoints || len < 8 * n || len > 8 * kCurvePoints)
        return 0;
    Curve& c = m_curve[fn - 21];
    memcpy(c.pt, buf, (size_t)n * sizeof(c.pt[0]));
    c.n = n;
    return 1;
}
