#pragma once
// What the short-message alarm units share (the GSM and CDMA modems, the text-command unit and
// the alarm module): the signal definition row, the table tbAlarm, the state row in the host's
// tbAlmGsm, and the number, text and extra text that the host stores before a send.
//
//   static const qx::sql::TypeRow kType = {2560, "短信猫", "232接口,..."};
//   void RegDb(IDbBase* db, int force)  { qx::sql::RegDb(*this, db, force, kType, &qx::alm::kSignalDef, 1); }
//   int ChkDb(tagSMItem* item)          { return qx::alm::ChkDb(*this, item); }
//   int DataUpd(int f, int* b, int* s, int sid, IDbBase* h) { return qx::alm::UpdAlmGsm(*this, m_iSignal, f, b, s, sid, h); }
//   int DoFunc(...) { int n = qx::alm::Message{m_strPhone, m_strText, m_strExt}.Store(cmd, text, qx::alm::k86); if (n >= 0) return n; ... }
#include <string>

#include "SMBase.h"
#include "SMSql.h"

namespace qx {
namespace alm {

// The type row of the short-message modems (GSM, CDMA): "短信猫 <model>".
extern const qx::sql::TypeRow kModemType;
// Fld 1 'Signal': the weakest signal that still sends a message is 2.
extern const qx::sql::DefRow kSignalDef;
// "create table tbAlarm(<head>,DevId INTEGER,Status INTEGER,Signal INTEGER,iSignal INTEGER)".
extern const qx::sql::TableDef kTbAlarm;

// tbAlarm in the main and, when set, the second database; with an item its current row.
int ChkDb(CSMBase& h, tagSMItem* item, bool secondDb = true);

// The poll's state into the host's tbAlmGsm:
//   "update tbAlmGsm set DateUpd=...,State=%d,SnapID=%d,Signal=%d,iSignal=%d where sid=%d"
// State 0 with alarm bits, 2 without, 1 with flag bit 0; Signal the value with alarm bits, else
// 0; iSignal bit 0 of the first alarm word, else 2; SnapID from flag bit 4. A negative sid is
// the current item's. Runs on the main database (the current row is there, whatever history
// database is given; no history table exists for it); 1 when it succeeded. Without signalCols
// (a unit that has no signal) only DateUpd, State and SnapID are written.
int UpdAlmGsm(CSMBase& h, int signal, int flags, const int* alarmBits, const int* snapId, int sid,
              IDbBase* hist, bool signalCols = true);

// The poll of a unit that is not asked anything: 0 for a null or closed channel, else the
// line "[P<addr>] <tag>: s=<signal>" (the current item's address, else addr) and 1.
int QuietPoll(CSMBase& h, ISerBase* ser, int addr, const char* tag, int signal);

// How a stored number is written.
enum PhoneRule {
    kAsGiven,  // unchanged
    // The international number (qx::at::International): a leading '+' dropped, else "86" put
    // in front when it does not begin with it; a number with any other character than digits
    // is refused and clears the stored one.
    k86,
};

// The message the host stores in the unit before ordering a send: a view of the handler's
// own members ("qx::alm::Message msg{m_strPhone, m_strText, m_strExt};").
struct Message {
    std::string& phone;
    std::string& text;
    std::string& ext;

    // The storing commands: 31 number (by rule), 51 number as given, 32 and 52 text, 33 extra
    // text. Returns the stored length, 0 for a null buffer (nothing stored) or a number the
    // rule refuses (the stored number cleared, so that no later send goes to it or to the one
    // before), -1 for a command that does not store.
    int Store(int cmd, const char* buf, PhoneRule rule);
    // "number;text": the number before the first ';' (by rule) and the text after it; without
    // ';' the whole buffer is the text and the number stays. A null buffer changes nothing.
    // False when the rule refuses the number: the stored number is cleared, the text left as
    // it was.
    bool SetNumberText(const char* buf, PhoneRule rule);
};

// A text for a "%s" of a trace line: "(null)" for a null pointer.
inline const char* Show(const void* text) {
    return text ? static_cast<const char*>(text) : "(null)";
}

}  // namespace alm
}  // namespace qx
