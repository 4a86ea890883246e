#include "io/AlmMsg.h"

#include <stdio.h>
#include <string.h>

#include "io/AtModem.h"
#include "core/SMSkeleton.h"

namespace qx {
namespace alm {

const qx::sql::TypeRow kModemType = {2560, "短信猫", "232接口,支持短信 彩信 GPRS等"};

const qx::sql::DefRow kSignalDef = {
    1, "Signal", 1, "信号强度", 1, 0, 2, "最弱|可发出短信最弱强度", 0, "", 0,
};

const qx::sql::TableDef kTbAlarm = {
    "tbAlarm",
    "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
    "DateUpd DATETIME,State INTEGER,SnapID INTEGER,DevId INTEGER,Status INTEGER,"
    "Signal INTEGER,iSignal INTEGER",
};

int ChkDb(CSMBase& h, tagSMItem* item, bool secondDb) {
    const qx::skel::Table t = {kTbAlarm.name, kTbAlarm.columns,
                               secondDb ? qx::skel::kBothDbs : qx::skel::kMainDb};
    return qx::skel::ChkDb(h, &t, 1, item, kTbAlarm.name);
}

int UpdAlmGsm(CSMBase& h, int signal, int flags, const int* alarmBits, const int* snapId, int sid,
              IDbBase* hist, bool signalCols) {
    int state = qx::sql::PollState(flags, alarmBits);
    int snap = qx::sql::PollSnap(flags, snapId);
    int value = alarmBits ? signal : 0;
    int flag = alarmBits ? (alarmBits[0] & 1) : 2;
    if (sid < 0 && h.m_pItem) sid = h.m_pItem->SID;
    // The modem's row is a current row: it lives in the main database. There is no history
    // table of it, so a history database is not written.
    (void)hist;
    IDbBase* db = h.m_pDb;
    if (!db) return 0;
    if (!signalCols) {
        int rc = qx::sql::Exec(db, "update tbAlmGsm set DateUpd=" QX_SQL_NOW ",State=%d,SnapID=%d where sid=%d",
                               state, snap, sid);
        return rc == 0 ? 1 : 0;
    }
    int rc = qx::sql::Exec(db,
                           "update tbAlmGsm set DateUpd=" QX_SQL_NOW
                           ",State=%d,SnapID=%d,Signal=%d,iSignal=%d where sid=%d",
                           state, snap, value, flag, sid);
    return rc == 0 ? 1 : 0;
}

int QuietPoll(CSMBase& h, ISerBase* ser, int addr, const char* tag, int signal) {
    if (!ser || !ser->IsOpened()) return 0;
    printf("[P%02d] %s: s=%d \r\n", h.m_pItem ? h.m_pItem->Addr : addr, tag, signal);
    return 1;
}

// The number stored by rule; false (phone empty) when the rule refuses it.
static bool Number(const char* buf, PhoneRule rule, std::string* phone) {
    if (rule == k86) return qx::at::International(buf, phone);
    *phone = buf;
    return true;
}

int Message::Store(int cmd, const char* buf, PhoneRule rule) {
    std::string* target;
    switch (cmd) {
    case 31:
    case 51:
        if (!buf) return 0;
        Number(buf, cmd == 31 ? rule : kAsGiven, &phone);
        return (int)phone.size();
    case 32:
    case 52:
        target = &text;
        break;
    case 33:
        target = &ext;
        break;
    default:
        return -1;
    }
    if (!buf) return 0;
    *target = buf;
    return (int)target->size();
}

bool Message::SetNumberText(const char* buf, PhoneRule rule) {
    if (!buf) return true;
    const char* semi = strchr(buf, ';');
    if (!semi) {
        text = buf;
        return true;
    }
    if (!Number(std::string(buf, (size_t)(semi - buf)).c_str(), rule, &phone)) return false;
    text = semi + 1;
    return true;
}

}  // namespace alm
}  // namespace qx
