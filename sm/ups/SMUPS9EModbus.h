#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ups/SMUpsTbUps.h"

// 9E UPS (type 0x312), kept in tbUps, over either of two protocols chosen per point: Variant 1
// the vendor's block protocol (a synchronisation byte, an 11-byte 0x81 0x88 request, the answer
// in blocks acknowledged one by one), any other Variant Modbus RTU. The three output phases go
// to Vout/v2/v3 (voltage) and Aout/Aed/v4 (current).
class CSMUPS9EModbus : public CSMUpsTbUps {
public:
    CSMUPS9EModbus();

    int DataGet(ISerBase* channel, int address, int wait) override;

    // The block protocol: nine transactions, one per data identifier. The request carries no
    // bus address; address and wait are not used. 1 when all nine were decoded.
    int DataGet_SHUT(ISerBase* channel, int address, int wait);
    // Modbus RTU at unit `address`: input registers 257..338, then four reads of eight inputs.
    // Each reply is read `wait` ms after its request when wait > 100, else 100 ms.
    int DataGet_ModBus(ISerBase* channel, int address, int wait);

    // One block-protocol transaction: 0x16, its answer; the request (bytes 0, 2..5, param and
    // length as given); the blocks, each acknowledged with 0x06, until one has bit 7 of its
    // flag set. Each block is read to the length its header announces, and bytes after it
    // are dropped; the data of the blocks are joined into out. Returns the data bytes joined;
    // 0 when a write fails, the sync goes unanswered, a block brings fewer bytes than its
    // header counts, the blocks would overrun out or do not end within a bounded number.
    int CmdPack(ISerBase* channel, uint8_t b0, uint8_t b2, uint8_t b3, uint8_t id, uint8_t b5,
                uint16_t param, uint16_t length, uint8_t* out, int outSize);

protected:
    void BriefText(char* out, size_t size) override;
    // The block protocol reads no battery capacity.
    std::vector<int> UnreadFields() const override;
};
