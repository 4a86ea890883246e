// The one-call exchanges over a scripted channel answered by the fuzz input: Modbus reads
// (RTU and TCP), YD/T 1363 requests, and the handler base's own Modbus and YD/T exchanges.
// Input: the exchange (0..3), the address, function, register and count (or CID2 and the
// characters read), the reply buffer size, then the channel's script (FuzzRig.h).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "FuzzRig.h"
#include "ReplyCheck.h"
#include "SMBase.h"

namespace {

struct Base : CSMBase {
    Base() : CSMBase(0x1) {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    const int which = in.Int(0, 3);
    const int addr = in.Byte();
    const int fn = in.Byte();
    const int reg = in.Byte() << 8 | in.Byte();
    const int count = in.Byte() << 8 | in.Byte();
    const int replySize = in.Int(1, 300);
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    // An exact-size reply buffer, so that a write past it is caught.
    std::vector<uint8_t> reply((size_t)replySize);

    switch (which) {
    case 0: {
        qx::MbFraming framing = count & 0x8000 ? qx::MbFraming::Tcp : qx::MbFraming::Rtu;
        qx::MbReply r = qx::MbRead(&ch, framing, reg, addr, fn % 8, reg, count & 0x7FF,
                                   reply.data(), replySize, 0);
        if (r.frameLen > r.received || r.received > replySize)
            __builtin_trap();
        if (r.ok() && (r.data < reply.data() || r.data + r.dataLen > reply.data() + r.frameLen))
            __builtin_trap();
        break;
    }
    case 1: {
        // INFO of the request: `count` bytes of a pattern (the request may exceed its bound).
        std::vector<uint8_t> info((size_t)(count % 300), 0x30);
        qx::YdReply r = qx::YdRequest(&ch, 0x21, addr, 0x2A, fn, info.empty() ? nullptr : info.data(),
                                      (int)info.size(), reply.data(), replySize, 0, reg % 512);
        if (r.frameLen > r.received || r.received > replySize - 1)
            __builtin_trap();
        if (r.ok() && 13 + r.infoLen > r.frameLen)
            __builtin_trap();
        break;
    }
    case 2: {
        Base h;
        int n = h.GetModBusData(reply.data(), replySize, &ch, addr, fn % 8, reg, count & 0x7FF, 0,
                                reg, count >> 15);
        if (n > replySize)
            __builtin_trap();
        break;
    }
    default: {
        Base h;
        std::vector<uint8_t> info((size_t)(count % 40), 0x41);
        int n = h.GetYdn23Data(reply.data(), replySize, &ch, addr, 0x21, 0x2A, fn,
                               info.empty() ? nullptr : info.data(), (int)info.size(), '~', '\r', 0);
        if (n > replySize)
            __builtin_trap();
        break;
    }
    }
    return 0;
}
