#include "io/SMRS485reader.h"

#include <stdio.h>
#include <string.h>

#include "io/CardLog.h"
#include "core/SMSkeleton.h"

namespace {

const qx::sql::TypeRow kType = {3328, "门禁", "485接口,量程..."};
const qx::sql::DefRow kDefs[] = {
    {1, "idevSN", 1, "设备SN", 1, 11, 30, "最小值|允许最小SN,低于此值告警", 38000000,
     "最大值|允许最大SN,超过此值告警", 0},
};

const char kColumns[] =
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,DateUpd "
    "DATETIME,State INTEGER,SnapID INTEGER,DevSN INTEGER,CardID VARCHAR(128),DevID INTEGER";

const char kHex[] = "0123456789ABCDEF";

// Appends the XOR text of buf[0..n) and CR; the new length.
int Close(uint8_t* buf, int n) {
    uint8_t x = 0;
    for (int i = 0; i < n; i++) x ^= buf[i];
    buf[n] = (uint8_t)kHex[x >> 4];
    buf[n + 1] = (uint8_t)kHex[x & 15];
    buf[n + 2] = 0x0D;
    return n + 3;
}

bool AddrOk(int addr) { return addr >= 0 && addr <= 8; }

}  // namespace

CSMRS485reader::CSMRS485reader() : CSMBase(0xD05) {
    snprintf(m_note, sizeof(m_note), "%s", "RS485reader");
    m_iDataCnt = 3;
}

CSMRS485reader::Reader& CSMRS485reader::Cur() {
    Reader& r = m_points[m_pItem ? m_pItem->SID : 0];
    m_pData = &r;
    return r;
}

void CSMRS485reader::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, 1);
}

int CSMRS485reader::ChkDb(tagSMItem* item) {
    const qx::skel::Table tables[] = {{"tbCardRS485reader", kColumns, qx::skel::kBothDbs}};
    return qx::skel::ChkDb(*this, tables, 1, item, "tbCardRS485reader");
}

int CSMRS485reader::setCMD(uint8_t* buf, const char* cmd) {
    buf[0] = 0x09;
    buf[1] = 'A';
    buf[2] = (uint8_t)cmd[0];
    buf[3] = (uint8_t)cmd[1];
    return Close(buf, 4);
}

int CSMRS485reader::setgetIDCMD(uint8_t* buf, const char* serial) {
    memcpy(buf, "\x09" "AXD", 4);
    memcpy(buf + 4, serial, 8);
    return Close(buf, 12);
}

int CSMRS485reader::setIDCMD(uint8_t* buf, const char* serial, int id) {
    setgetIDCMD(buf, serial);
    buf[12] = (uint8_t)('0' + id);
    return Close(buf, 13);
}

int CSMRS485reader::ChkReply(const uint8_t* r, int n) {
    if (!r || n < 4) return 0;
    uint8_t x = 0;
    for (int i = 0; i <= n - 4; i++) x ^= r[i];
    return r[n - 3] == kHex[x >> 4] && r[n - 2] == kHex[x & 15] ? 1 : 0;
}

int CSMRS485reader::Exchange(ISerBase* ser, const uint8_t* req, int len, uint8_t* rx, int max) {
    if (ser->Write(req, len) != len) return -1;
    return ser->Read(rx, max, 0);
}

int CSMRS485reader::getDevSN(ISerBase* ser, int addr) {
    if (!qx::skel::Ready(ser) || !AddrOk(addr)) return 0;
    const char cmd[2] = {(char)('0' + addr), 'B'};
    uint8_t req[8], rx[15];
    int n = Exchange(ser, req, setCMD(req, cmd), rx, sizeof rx);
    if (n < 15 || !ChkReply(rx, n)) return 0;
    Reader& r = Cur();
    memcpy(r.serial, rx + 4, 8);
    r.serial[8] = '\0';
    int v = 0;
    for (int i = 0; i < 8 && r.serial[i] >= '0' && r.serial[i] <= '9'; i++)
        v = v * 10 + (r.serial[i] - '0');
    r.devSN = v;
    if (m_pItem)
        printf("[A%02d] SMRS485reader: Dev ID%X%X%X%X%X%X%X State8:%X \r\n", addr, rx[4], rx[5],
               rx[6], rx[7], rx[8], rx[9], rx[10], rx[11]);
    return 1;
}

int CSMRS485reader::getID(ISerBase* ser, int addr) {
    if (!qx::skel::Ready(ser) || !AddrOk(addr)) return 0;
    Reader& r = Cur();
    if (strlen(r.serial) != 8) return 0;
    uint8_t req[16], rx[8];
    int n = Exchange(ser, req, setgetIDCMD(req, r.serial), rx, sizeof rx);
    if (n < 8 || !ChkReply(rx, n)) return 0;
    r.devID = rx[4] - '0';
    return 1;
}

int CSMRS485reader::getCard(ISerBase* ser, int addr) {
    if (!qx::skel::Ready(ser) || !AddrOk(addr)) return 0;
    const char cmd[2] = {(char)('0' + addr), 'F'};
    uint8_t req[8], rx[16];
    int n = Exchange(ser, req, setCMD(req, cmd), rx, sizeof rx);
    if ((n != 16 && n != 6) || !ChkReply(rx, n)) return 0;
    if (n == 16) {
        Reader& r = Cur();
        m_newCard = 1;
        memcpy(r.card, rx + 4, 8);
        r.card[8] = '\0';
    }
    return 1;
}

int CSMRS485reader::setID(ISerBase* ser, int id) {
    if (!qx::skel::Ready(ser) || !AddrOk(id)) return 0;
    Reader& r = Cur();
    if (strlen(r.serial) != 8) return 0;
    uint8_t req[16], rx[7];
    int n = Exchange(ser, req, setIDCMD(req, r.serial, id), rx, sizeof rx);
    return n >= 7 && ChkReply(rx, n) ? 1 : 0;
}

int CSMRS485reader::DataGet(ISerBase* ser, int addr, int wait) {
    (void)wait;
    Cur();
    if (!getDevSN(ser, addr)) return 0;
    getID(ser, addr);
    if (!getCard(ser, addr)) m_newCard = 0;
    return 1;
}

int CSMRS485reader::DataVal(int fld) {
    Reader& r = Cur();
    switch (fld) {
    case 1: return r.devSN;
    case 2: return m_newCard;
    case 3: return r.devID;
    default: return -1;
    }
}

int CSMRS485reader::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapZero)) return 0;
    const Reader& r = m_points[u.sid];
    const char* shown = strlen(r.card) < 8 ? "暂无" : r.card;
    IDbBase* db = m_pDb;
    qx::sql::UpdState(db, u.state, u.sid, u.type);
    int rc = 0;
    if (db) {
        rc = qx::sql::Exec(db,
                           "update tbCardRS485reader set DateUpd=" QX_SQL_NOW
                           ",State=%d,SnapID=%d,DevSN=%d,CardID='%s',DevID=%d where sid=%d",
                           u.state, u.snap, r.devSN, qx::sql::Esc(shown).c_str(), r.devID, u.sid);
        qx::skel::Brief b;
        if (u.answered)
            b.Add("当前设备SN：%d,最新刷卡记录：%s", r.devSN, shown);
        else
            b.Add("%s", qx::sql::NoAnswerBrief().c_str());
        qx::sql::UpdBrief(db, u.sid, b.Text(), u.state);
    }
    if (hist && m_newCard) {
        qx::card::TrimAbove1500(hist, "tbCardRS485reader");
        rc = qx::sql::Exec(hist,
                           "insert into tbCardRS485reader(SID,DateUpd,State,SnapID,DevSN,CardID,DevID) "
                           "values(%d," QX_SQL_NOW ",%d,%d,%d,'%s',%d)",
                           u.sid, u.state, u.snap, r.devSN, qx::sql::Esc(r.card).c_str(), r.devID);
        m_newCard = 0;
    }
    return rc == 0 ? 1 : 0;
}

int CSMRS485reader::DoFunc(ISerBase*, int, int, void*, int) { return 0; }
int CSMRS485reader::DoFunc(int, void*, int) { return 0; }

int CSMRS485reader::VarEval(char* text) {
    if (!text) return -1;
    const Reader& r = Cur();
    if (!strcmp(text, ".设备SN") || !strcmp(text, ".idevSN")) return sprintf(text, "%d", r.devSN);
    if (!strcmp(text, ".刷卡ID") || !strcmp(text, ".cardID")) return sprintf(text, "%s", r.card);
    if (!strcmp(text, ".设备地址") || !strcmp(text, ".devID")) return sprintf(text, "%d", r.devID);
    return -1;
}
