#include "io/SMDioAdBle_Huawei.h"

#include <stdio.h>
#include <string.h>

#include "QxPlatform.h"
#include "core/SMSkeleton.h"
#include "io/Thermistor.h"

namespace {

const char* const kTagTable[9] = {"",
                                  "D4F51378E69E",
                                  "D4F51378FD80",
                                  "D4F51378E929",
                                  "D4F51378F156",
                                  "987BF3691918",
                                  "987BF3694231",
                                  "",
                                  "D4F51378ED87"};

const int kMaxRecords = 6;
const int kGatherSeconds = 5;
const int kEmptyReadMs = 10;
// Reads in one gathering at most: the five seconds on a line whose reads return at once.
const int kMaxReads = kGatherSeconds * 1000 / kEmptyReadMs;

// Four hex digits (either case); -1 when one is not a hex digit.
int Hex4(const uint8_t* p) {
    int v = 0;
    for (int i = 0; i < 4; i++) {
        uint8_t c = p[i];
        int d = c >= '0' && c <= '9' ? c - '0'
              : c >= 'A' && c <= 'F' ? c - 'A' + 10
              : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (d < 0) return -1;
        v = v << 4 | d;
    }
    return v;
}

// Writes a command (no line end) and prints the answer; the bytes read, -1 for a short write.
int Command(ISerBase* ser, const char* text, char* reply, int size) {
    int len = (int)strlen(text);
    if (ser->Write((const unsigned char*)text, len) != len) return -1;
    int n = ser->Read((unsigned char*)reply, size - 1, 0);
    if (n < 0) n = 0;
    reply[n] = '\0';
    printf("AT resp:%s\r\n", reply);
    return n;
}

}  // namespace

CSMDioAdBle_Huawei::CSMDioAdBle_Huawei() : CSMDioBase(0x90C) {
    m_iDataCnt = 17;
    snprintf(m_note, sizeof(m_note), "%s", "AdBle_Huawei");
    for (int k = 0; k < 9; k++) snprintf(m_tags[k], sizeof(m_tags[k]), "%s", kTagTable[k]);
}

int CSMDioAdBle_Huawei::ChkDef(IDbBase* db, int force) {
    if (!NeedDef(db, force)) return 0;
    int rows = 0;
    for (int i = 0; i < 8; i++) {
        char tn[8], tc[16], wn[8], wc[16];
        snprintf(tn, sizeof(tn), "D%02d", 2 * i + 1);
        snprintf(tc, sizeof(tc), "温度%d", i);
        snprintf(wn, sizeof(wn), "D%02d", 2 * i + 2);
        snprintf(wc, sizeof(wc), "重力%d", i);
        const qx::sql::DefRow t = {2 * i + 1, tn, 1, tc, 100, 6, 1200, "允许最低温度", 0, "允许最高温度", 0};
        const qx::sql::DefRow w = {2 * i + 2, wn, 1, wc, 1, 2, 100, "该值以上为放有设备", 0, "", 0};
        rows += qx::sql::InsDef(db, m_iType, t) == 0;
        rows += qx::sql::InsDef(db, m_iType, w) == 0;
    }
    return rows;
}

int CSMDioAdBle_Huawei::GetSlaveIndex(const char* text) {
    for (int k = 0; k < 9; k++) {
        if (m_tags[k][0] && memcmp(m_tags[k], text, 12) == 0) {
            printf("get index=%d\n", k);
            return k;
        }
    }
    return -1;
}

int CSMDioAdBle_Huawei::Gather(ISerBase* ser, uint8_t* buf, int n) {
    int got = 0;
    time_t start = qx::Now();
    for (int reads = 0; got < n && reads < kMaxReads; reads++) {
        int r = ser->Read(buf + got, n - got, 0);
        if (r > 0) {
            got += r;
            continue;
        }
        if (qx::Now() - start >= kGatherSeconds) break;
        qx::SleepMs(kEmptyReadMs);
    }
    return got;
}

int CSMDioAdBle_Huawei::TakeRecord(const uint8_t* body) {
    int r = Hex4(body + 42), g = Hex4(body + 46);
    if (r < 0 || g < 0) return -1;
    int k = GetSlaveIndex((const char*)body + 53);
    if (k < 1) return -1;
    m_seen |= 1u << (k - 1);
    printf("found slave: %d\r\n", k);
    // The tag's divider: 3.15 V over the thermistor and 10 kOhm, read by a 12-bit converter.
    float v = r / 2047.0f * 3.15f;
    float res = (3.15f - v) * 10000.0f / v;
    float t = (float)qx::thermistor::Celsius(res * 10.0);
    int threshold = m_pItem && m_pItem->Ext2 > 0 ? m_pItem->Ext2 : 500;
    m_wData[2 * k - 1] = qx::thermistor::Centi(t);
    m_wData[2 * k] = g > threshold;
    printf("tempe = %f,%f,%f  fv=%d\r\n", t, res, v, m_wData[2 * k]);
    return k;
}

// Set-up (once per scanner), "AT", then the scan: "AT+DISI?" confirmed by "OK+DISIS", up to
// six "OK+DISC:" records of 70 bytes, "OK+DISCE". A scanner that does not confirm the scan
// fails the poll with its points as they were; a record cut short ends the scan with nothing
// taken from it.
int CSMDioAdBle_Huawei::DataGet(ISerBase* ser, int addr, int wait) {
    (void)addr;
    m_seen = 0;
    if (!qx::skel::Ready(ser, true)) return 0;
    int sid = m_pItem ? m_pItem->SID : -1;
    auto saved = m_bySid.find(sid);
    if (saved != m_bySid.end()) memcpy(m_wData, saved->second.data(), sizeof(m_wData));
    else memset(m_wData, 0, sizeof(m_wData));

    char reply[65];
    if (!m_setUp.count(sid)) {
        int ok = 0;
        for (const char* cmd : {"AT+IMME1", "AT+ROLE1"})
            if (Command(ser, cmd, reply, sizeof(reply)) > 0 && strstr(reply, "OK+Set:1")) ok++;
        if (ok == 2) m_setUp.insert(sid);
    }
    if (Command(ser, "AT", reply, sizeof(reply)) < 0) return 0;
    if (ser->Write((const unsigned char*)"AT+DISI?", 8) != 8) return 0;
    qx::SleepMs(wait > 100 ? wait : 100);
    uint8_t head[9] = {0};
    int n = ser->Read(head, 8, 0);
    if (n != 8 || memcmp(head, "OK+DISIS", 8) != 0) {
        printf("none OK+DISIS\n");
        return 0;
    }
    for (int i = 0; i < kMaxRecords; i++) {
        memset(head, 0, sizeof(head));
        int got = Gather(ser, head, 8);
        printf("read head%s\n", (const char*)head);
        if (got == 8 && memcmp(head, "OK+DISCE", 8) == 0) {
            printf("read data end\n");
            break;
        }
        if (got != 8 || memcmp(head, "OK+DISC:", 8) != 0) {
            printf("read other data\n");
            break;
        }
        printf("timeval = %lf\n", (double)(qx::Now() - m_lastScanEnd));
        uint8_t body[kRecordLen + 1] = {0};
        if (Gather(ser, body, kRecordLen) < kRecordLen) {
            printf("read data err\n");
            break;
        }
        printf("read data%s\n", (const char*)body);
        TakeRecord(body);
    }
    m_lastScanEnd = qx::Now();
    m_wData[0] = (uint16_t)(m_seen & 0xFFFF);
    memcpy(m_bySid[sid].data(), m_wData, sizeof(m_wData));
    return 1;
}

// The points of the slots without a tag (slot 7): never read, their zeros are no reading.
std::vector<int> CSMDioAdBle_Huawei::TaglessFields() const {
    std::vector<int> fields;
    for (int k = 1; k <= 8; k++)
        if (!m_tags[k][0]) {
            fields.push_back(2 * k - 1);
            fields.push_back(2 * k);
        }
    return fields;
}

// The points of the tags heard in the last poll, with Dio; nothing when none was heard. The
// points of a slot without a tag raise no alarm, whatever the host's limits find.
int CSMDioAdBle_Huawei::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    std::vector<int> own;
    alarmBits = qx::sql::PassOver(flags, alarmBits, m_iDataCnt, TaglessFields(), own);
    int state = qx::sql::PollState(flags, alarmBits);
    int snap = qx::sql::PollSnap(flags, snapId);
    if (sid < 0 && m_pItem) sid = m_pItem->SID;
    if (!alarmBits) {
        memset(m_wData, 0, sizeof(m_wData));
        m_bySid.erase(sid);
    }
    m_iPointCnt = 16;
    m_iInCnt = 4;
    UpdSt(flags, alarmBits, sid);
    if (!m_seen) return 1;

    static const char* const kNames[16] = {"D01", "D02", "D03", "D04", "D05", "D06", "D07", "D08",
                                           "D09", "D10", "D11", "D12", "D13", "D14", "D15", "D16"};
    qx::sql::Cols heard;
    heard.Int("Dio", m_wData[0]);
    for (int k = 1; k <= 8; k++) {
        if (!(m_seen >> (k - 1) & 1)) continue;
        heard.Int(kNames[2 * k - 2], m_wData[2 * k - 1]);
        heard.Int(kNames[2 * k - 1], m_wData[2 * k]);
    }
    int last = 0;
    if (m_pDb) {
        last = qx::sql::UpdCurrent(m_pDb, kTbDio.name, state, snap, heard, sid);
        printf("BLE upd dat0: %d  %s\r\n", last, heard.Assign().c_str());
    }
    if (hist) last = qx::sql::InsHistory(hist, kTbDio.name, sid, state, snap, DioCols(true, 16));
    return last == 0 ? 1 : 0;
}
