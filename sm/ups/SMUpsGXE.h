#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// GXE three-phase UPS over YD/T 1363 (type 0x314), kept in a table of its own, tbUpsGXE (in
// each database that is set). Two requests, VER 21, CID1 2A: CID2 42 for the analog values
// (16-bit, three of them 8-bit) and CID2 43 for nine state bytes; every value is stored as
// the unit sends it, unscaled.
//
// A reply is taken only when it checks (SOI, LCHKSUM, CHKSUM), its RTN is 0 and its INFO
// holds every column read. A failing CID2 42 leaves the previous record; a failing CID2 43
// leaves the analog values of this poll with the state bytes 0. Both fail the poll. An Addr
// that is no YD/T ADR (0..255) sends nothing. No commands.
class CSMUpsGXE : public CSMBase {
public:
    CSMUpsGXE();
    ~CSMUpsGXE() override;

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int field) override;
    int DataGet(ISerBase* channel, int address, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) override;
    int VarEval(char* text) override;

    static constexpr int kDefaultWait = 100;  // when DataGet's wait is below 1

    // The value record: fields 1..22 (VinA .. userDefNum) as int32, 23..31 (powerType ..
    // powerStatus) as bytes, in the order of the table's columns.
    struct Record {
        int32_t num[22];
        uint8_t state[9];
    };
    Record m_rec;

private:
    void ClearRecord();
    int Field(int field) const;  // 1..31

    uint8_t m_reply[512];
};
