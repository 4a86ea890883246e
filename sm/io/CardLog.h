#pragma once
// The card log shared by the door controllers and card readers: the table tbCardLog (one
// current row per point in the main database, one row per event in the history database), the
// event a controller decodes, its current-row update, its summary and the keeping rule of the
// history:
//
//   1. more than 1500 rows: the newest 1000 by DateUpd stay;
//   2. an event whose LogDate text is already in the table (any point's) is not logged again;
//   3. otherwise one row is inserted, with the point's SID.
//
// Only an event a poll has just read is logged, and only where a history database is given.
// The controllers keep their last event per point (SID): a point's row never shows another
// controller's card, and each controller is compared with its own last record.
#include <stdint.h>

#include <map>

#include "core/SMBase.h"
#include "core/SMSkeleton.h"

namespace qx {
namespace card {

// The text between the parentheses of "CREATE TABLE tbCardLog(...)".
extern const char kColumns[];

// Creates tbCardLog in the main and the second database (each where set) and, for an item,
// its current row and summary row.
int ChkDb(CSMBase& h, tagSMItem* item);

// How an event's own time is written into LogDate.
enum DateStyle {
    kYearDashed,    // "2014-03-05 08:09:10" ("%d-%02d-%02d ..." of the four-digit year)
    kCenturyYear,   // "2014-03-05 08:09:10" from century and two-digit year ("%02d%02d-...")
};

// One event of a controller.
struct Event {
    uint32_t rec = 0;   // record number (0 where the device has none)
    uint32_t card = 0;
    int door = 0;
    int st = 0;
    int year = 0;       // four digits (century * 100 + year)
    int month = 0, day = 0, hour = 0, minute = 0, second = 0;
    int extra[3] = {0, 0, 0};  // further fields a controller reports with the event
};

// The LogDate text of an event (at least 24 bytes of out).
const char* LogDate(const Event& e, DateStyle style, char* out, size_t outSize);

// What a controller keeps per point: the mark it compares the next reply with (record
// number, time stamp or record index) and the last event decoded.
struct PointLog {
    uint32_t mark = 0;
    Event ev;
};

// The points of one handler, by SID.
class Points {
public:
    PointLog& Of(int sid) { return m_points[sid]; }
    // The point's log; an empty one for a point that never answered.
    const PointLog& Get(int sid) const;

private:
    std::map<int, PointLog> m_points;
};

// The SID of the handler's current point (0 without one).
int CurrentSid(const CSMBase& h);

// The DataUpd of a controller. State 2 without alarm bits, else 0; flags bit 0 makes it 1.
// SnapID 0. On the main database: tbSubSysDetail, the current row (the point's last event in
// full, or with fullRow false only State and SnapID) and the summary ("正常", "有开门" for
// State 1; a poll without answer gets the shared no-answer summary). With a history database
// and newEvent set: the keeping rule. newEvent is cleared. 1 when the last remembered
// statement (current row, then the history insert when one ran) succeeded.
int Store(CSMBase& h, const Points& points, int32_t& newEvent, DateStyle style, bool fullRow,
          int flags, int* alarmBits, int sid, IDbBase* hist);

// The keeping rule on the history database: -1 when the event was not logged (its LogDate is
// there already, or nothing could be run), else the insert's result.
int Log(IDbBase* hist, int sid, int state, int snap, const Event& e, DateStyle style);
// The same for an event whose LogDate text the device gives in a form of its own.
int Log(IDbBase* hist, int sid, int state, int snap, const Event& e, const char* logDate);

// Trims a card table to its newest 1000 rows when it holds more than 1500.
void TrimAbove1500(IDbBase* db, const char* table);

}  // namespace card
}  // namespace qx
