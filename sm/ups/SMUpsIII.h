#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ups/SMUpsTbUps.h"

// III UPS on a serial line (type 0x309), kept in tbUps. Two 8-byte requests framed by 0xEA
// and 0x16, measurements then battery, each answered by a frame of little-endian words; the
// three phases of the output go to Vout/v2/v3 and Aout/Aed/v4.
class CSMUpsIII : public CSMUpsTbUps {
public:
    CSMUpsIII();
    ~CSMUpsIII() override;

    static const int kMeasure = 0x81;  // command of the measurement request
    static const int kBattery = 0x86;  // command of the battery request

    // Builds the request EA 02 02 EA addr cmd (addr + cmd) 16 into m_cmd; returns 8.
    int IIICmd(uint8_t address, uint8_t command);

    // A reply frame: 0xEA, then L twice, at least L + 6 bytes, 0x16 at L + 5, and the bytes
    // before the check byte at L + 4 reaching `need` (the decoding reads bytes [0, need)).
    static bool FrameChk(const uint8_t* reply, int n, int need);
    // Length of the frame at the front of `have` bytes (FrameLength of qx::FrameExchange).
    static int FrameLen(const uint8_t* data, int have);

    // Decoding of each reply (n bytes that passed FrameChk with the reply's need).
    void TakeMeasures(const uint8_t* reply, int n);
    void TakeBattery(const uint8_t* reply, int n);

    // Bytes the decoding reads from each reply.
    static int MeasureNeed();
    static int BatteryNeed();

    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void BriefText(char* out, size_t size) override;
};
