#pragma once
#include <stddef.h>

#include "ups/SMUpsAPM150.h"

// AHP three-phase UPS (type 0x313), kept in tbUps with the APM150's columns. The point's
// Variant picks the protocol on every poll:
//
//   0 (or no point)  Modbus RTU: holding registers 100..140 in one read, at the point's
//                    address; waits `wait` ms when above 100, else 200 ms
//   any other        YD/T 1363: the version query (VER 00, CID1 40, CID2 4F), then at the
//                    VER the unit answered with: 40/41, 42/41, 40/43, 40/44 and 40/46, each
//                    with INFO the data group g (Variant when above 0, else 1) except 42/41;
//                    a fixed 200 ms before every reply
//
// A Modbus reply is taken only with the request's address and function, the byte count of
// 41 registers and a good CRC; an exception reply fails the poll. The record is cleared
// before a reply is stored, so no value of another point's earlier poll stays in this one's
// row. An Addr outside 0..255 (the Modbus unit or the YD/T ADR) sends nothing. No commands.
class CSMUpsAHP : public CSMUpsAPM150 {
public:
    CSMUpsAHP();
    ~CSMUpsAHP() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

    // The Modbus poll and the YD/T 1363 poll.
    virtual int DataGetAhp(ISerBase* channel, int address, int wait);
    virtual int DataGetCUC06H(ISerBase* channel, int address, int wait);

    static constexpr int kModbusWait = 200;  // when DataGet's wait is 100 or less
    static constexpr int kYdtWait = 200;

protected:
    void BriefText(char* out, size_t size) override;
    // The YD/T poll reads no output frequency, temperature or battery voltage.
    std::vector<int> UnreadFields() const override;
};
