#pragma once
#include <stdint.h>
#include <time.h>

#include <map>

#include "core/SMBase.h"

// The per-point record of the EB90 cell monitor: where the point's sweep over its cells
// stands, the resistance schedule and the last kept values of each cell (indexed by the
// cell's position in the string).
struct tagDataGetEB90 {
    static constexpr int kCells = 64;

    time_t tLas;     // when the last resistance sweep reached its last cell; 0 = never
    int32_t count;   // cells in the string
    int32_t index;   // position of the next cell to poll
    int32_t sweeps;  // completed sweeps
    time_t tStart;   // when the current sweep started (its first cell was polled)
    int32_t upd[kCells];       // update flag of each cell's last poll
    int32_t measured[kCells];  // 1 when the cell's last poll measured its resistance
    uint8_t state[kCells];     // bits 0-1 the point state of that update, bits 2.. alarm flags
    int32_t volt[kCells];      // mV
    int32_t res[kCells];       // µΩ
    int32_t tem[kCells];       // tenths of a degree Celsius
    int32_t tries[kCells];
    int32_t errors[kCells];
};

// BOD-EB90 cell monitor. Type 0x405: one sensor per cell on an RS-485 bus, the first cell at
// the point's Addr, the next at Addr + 1 and so on, spoken to with 10-byte frames
//
//   EB 90 addr cmd a3 a2 a1 a0 sum 16       sum: bytes 2 to 7, low 8 bits
//
// answered by  EB 90 addr cmd v0 v1 v2 sum 16  (value 24-bit little-endian, sum over bytes 2
// to n-3). Each DataGet polls one cell (voltage 0x60, temperature 0x61 and, once per
// measuring interval, resistance 0x62 after a 5 s settle); each DataUpd stores that cell and
// the point's summary; the point's record (per SID) walks the string one cell per cycle.
class CSMBattBodEB90 : public CSMBase {
public:
    CSMBattBodEB90();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int fld) override;
    // count: the cells of the string, taken when the point's record is created (0: 32).
    int DataGet(ISerBase* ser, int addr, int count) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;
    using CSMBase::DoFunc;
    int DoFunc(int cmd, void* buf, int len) override;

    // The request frame into m_cmd; its length, 10.
    int BodSBusCmd(unsigned char addr, unsigned char cmd, unsigned long arg);
    // Polls the cell at addr + rec.index into the value block: 1 when the voltage and the
    // temperature exchanges took place.
    int DataGetBy(ISerBase* ser, int addr, tagDataGetEB90& rec);

    // The value of a reply of n bytes: 1 with *value set when it is whole and checks.
    static bool ReplyValue(const uint8_t* rx, int n, int* value);

    static constexpr int kCells = tagDataGetEB90::kCells;
    static constexpr int kDefaultCount = 32;

    // The value block of the cell polled last.
    struct Values {
        int32_t state, volt, res, tem;
    };
    Values m_v = {};
    int m_update = 0;
    std::map<int, tagDataGetEB90> m_cache;

private:
    int Ask(ISerBase* ser, int addr, uint8_t cmd, int waitMs, int* value);
};
