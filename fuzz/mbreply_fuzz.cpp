// Modbus reply checks on arbitrary requests and replies. Input: one byte of framing (bit 0:
// TCP), one byte of request length (mod 32), the request, then the reply.
#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "BufHelper.h"
#include "ReplyCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 4096)
        return 0;
    qx::MbFraming framing = (data[0] & 1) ? qx::MbFraming::Tcp : qx::MbFraming::Rtu;
    size_t reqLen = data[1] % 32;
    if (size < 2 + reqLen)
        return 0;
    // Exact-size copies, so that any read past either is caught.
    std::vector<uint8_t> req(data + 2, data + 2 + reqLen);
    std::vector<uint8_t> reply(data + 2 + reqLen, data + size);
    const uint8_t* q = req.empty() ? nullptr : req.data();
    const uint8_t* p = reply.empty() ? nullptr : reply.data();
    int n = (int)reply.size();

    qx::MbReply r = qx::MbCheck(framing, p, n, q, (int)reqLen);
    qx::MbReplyLength(q, (int)reqLen, framing);
    if (r.frameLen > n)
        __builtin_trap();
    if (r.ok()) {
        if (r.dataLen < 0 || r.data < p || r.data + r.dataLen > p + r.frameLen)
            __builtin_trap();
        // An accepted frame carries the request's function code and, under RTU, a good CRC.
        int fnAt = framing == qx::MbFraming::Tcp ? 7 : 1;
        if (p[fnAt] != q[fnAt])
            __builtin_trap();
        if (framing == qx::MbFraming::Rtu &&
            CBufHelper::crc16(p, r.frameLen - 2) != CBufHelper::wdFromBufLH(p + r.frameLen - 2))
            __builtin_trap();
        for (int i = 0; i < r.dataLen; i++)
            (void)r.Word(i), (void)r.Bit(i);
    }
    if (r.status == qx::ReplyStatus::Exception && r.frameLen == 0)
        __builtin_trap();
    return 0;
}
