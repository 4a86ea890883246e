#pragma once
#include <stdint.h>

#include "core/SMBase.h"

// RTVS battery monitor. Type 0x403: a module with four channels (battery strings) on an
// RS-485 bus, asked with 6-byte frames
//
//   7E cmd addr 00 sum 0D          sum = (addr + cmd + arg) mod 256
//
// for its two module currents (F1, F2), the total voltage of each channel (91 + k) and the
// 7-byte cell records of each channel (E1 + k):
//
//   module address, resistance high, resistance low, temperature 1, temperature 2, voltage,
//   status
//
// The cells connected to each channel are the point's Ext1, one byte per channel (channel 1
// in the low byte); the cells are numbered across the channels, channel 1's first, and keep
// one row each in tbBATTRTVS (GlobalId 1..), beside the module row (GlobalId 0). The arrays
// hold kCells cells: counts beyond them are cut there, and a reply's records beyond its
// channel's count are not taken.
class CSMBattRTVS : public CSMBase {
public:
    CSMBattRTVS();

    void RegDb(IDbBase* db, int force) override;
    int ChkDb(tagSMItem* item) override;
    int DataVal(int fld) override;
    int DataGet(ISerBase* ser, int addr, int wait) override;
    int DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) override;

    // The request frame into m_cmd; its length, 6.
    int FormatCmd(unsigned char addr, unsigned char cmd, unsigned char arg);
    // 1 when one of the alarm bits of cell g's five fields (fields 11 + 5g to 15 + 5g) is set.
    int GetBattSt(int g, const int* alarmBits) const;

    static constexpr int kCells = 400;
    static constexpr int kChannels = 4;
    static constexpr int kReplyMax = 4400;

    // The cells of each channel from Ext1, the total cut at kCells; returns the total.
    static int Channels(int ext1, int count[kChannels]);

    // The value block of the last poll.
    struct Values {
        uint16_t cellsRead[kChannels];
        int32_t res[kCells];    // tenths of a milliohm
        int32_t t1[kCells];     // degrees Celsius
        int32_t t2[kCells];
        uint8_t volt[kCells];   // tenths of a volt
        uint8_t bulge[kCells];  // 0 normal, 1 alarm
        int32_t chanVolt[kChannels];
        int32_t curr[2];        // tenths of an ampere, signed
        int32_t state[kCells];  // 0 normal, 1 alarm, 2 no data
        uint8_t maddr[kCells];
    };
    Values m_v;

private:
    int Exchange(ISerBase* ser, uint8_t addr, uint8_t cmd, int waitMs, uint8_t* rx);
    void ClearValues();

    uint8_t m_rx[kReplyMax];
    int m_countsSid = -1;  // the point whose poll left the cells-read counts
};
