#pragma once
#include <stdint.h>
#include <time.h>

#include <array>
#include <map>
#include <set>
#include <vector>

#include "io/SMDioBase.h"

// BLE scanner module on a serial line (type 0x90C), driven by AT commands: it scans for the
// broadcasts of up to eight wireless tags, known by their 12-digit addresses, each with a
// thermistor and a weight reading. Slot k of the tag table owns D(2k-1), the temperature in
// hundredths of a degree, and D(2k), 1 when equipment rests on the tag. Points of tags not
// heard in a poll keep their stored values; the points of a slot without a tag (slot 7) are
// never read and raise no alarm.
class CSMDioAdBle_Huawei : public CSMDioBase {
public:
    CSMDioAdBle_Huawei();

    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    int ChkDef(IDbBase* db, int force) override;

    // The first slot 0..8 whose address equals the 12 characters at text; -1 for none.
    int GetSlaveIndex(const char* text);

    // Record body: the readings as four hex digits at 42 and 46, the tag's address at 53.
    static const int kRecordLen = 70;
    // A record body read into the points of its slot; the slot, or -1 when the record is
    // skipped (an unknown tag, a reading that is not four hex digits).
    int TakeRecord(const uint8_t* body);

    // The fields of the slots 1..8 that have no tag: never read, passed over by DataUpd.
    std::vector<int> TaglessFields() const;

    char m_tags[9][13];  // slot -> address, "" for an empty slot
    uint32_t m_seen = 0; // bit k-1: slot k heard in this poll

private:
    // Collects n bytes into buf, reading until they have come or 5 seconds have passed.
    int Gather(ISerBase* ser, uint8_t* buf, int n);

    // Points that a poll keeps from the last one belong to the scanner that heard them.
    std::map<int, std::array<uint16_t, 33>> m_bySid;
    std::set<int> m_setUp;      // scanners that accepted their role commands
    time_t m_lastScanEnd = 0;
};
