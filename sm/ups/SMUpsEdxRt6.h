#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ups/SMUpsTbUps.h"

// EDX RT6 UPS on a serial line (type 0x308), kept in tbUps. Eight 11-byte requests, one per
// data identifier, each answered by one block checked by its XOR and by its length: the
// block is read to the length it announces and a byte right after it counts too, so a byte
// more or less than the block announces fails it. The frame carries no bus address.
class CSMUpsEdxRt6 : public CSMUpsTbUps {
public:
    CSMUpsEdxRt6();
    ~CSMUpsEdxRt6() override;

    // Builds the request of one data identifier into m_cmd; returns 11.
    int EdxCmd(int id);

    // The flag byte of a valid block of `length` bytes answering identifier `id`, else null.
    // Valid: an optional leading 0x06, the flag 0x04 or 0x84, n in the low 4 bits of the next
    // byte, the identifier, the data, the XOR of the n bytes from the identifier, k + n + 3
    // bytes in all (k = 1 with the 0x06); and the n bytes reach every byte that the decoding
    // of the identifier reads.
    static const uint8_t* EdxChk(const uint8_t* buffer, int length, int id);

    // Decodes a block checked by EdxChk (block: its flag byte).
    void EdxTake(int id, const uint8_t* block);

    // The identifiers in the order they are asked.
    static const int kIds = 8;
    static int EdxId(int i);

    int DataGet(ISerBase* channel, int address, int wait) override;

protected:
    void BriefText(char* out, size_t size) override;
};
