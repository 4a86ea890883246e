// The precision air-conditioners on links of their own, polled through a scripted channel
// answered by the fuzz input: the JADC0110 link and its block decoders, the Delta's Modbus
// ASCII replies, the Sunrise's GOS and Modbus replies, the Stulz C5000 record and C7000
// floats; then values, stored rows and, for the Stulz, a register write. The input's tail is
// also given to the block decoders and the ASCII check as it stands.
// Input: the handler (0 JADC0110, 1 Delta, 2 Sunrise, 3 Stulz), the point (FuzzRig.h Point),
// for the Stulz the register of a write (two bytes), then the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "FuzzRig.h"
#include "ReplyCheck.h"
#include "aircon/SMCyberDelta.h"
#include "aircon/SMCyberJADC0110.h"
#include "aircon/SMCyberSunrise.h"
#include "aircon/SMStulzC7000.h"

namespace {

const char* const kNoKeys[] = {""};

template <typename H>
void Run(H& h, int type, qxfuzz::Input& in) {
    tagSMItem item = qxfuzz::Point(in, type);
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);
    for (int poll = 0; poll < 2 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const int got = h.DataGet(&ch, item.Addr, 0);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(200000, "DataGet");
        qxfuzz::ReadOut(h, -1, 36, kNoKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    // The whole input as one block and one ASCII reply.
    {
        std::vector<char> block(data, data + size);
        CSMCyberJADC0110 j;
        j.StxDatS(block.data(), (int)size);
        j.StxDatU(block.data(), (int)size);
        j.StxDatB(block.data(), (int)size);
        std::vector<uint8_t> line(data, data + size);
        const uint8_t req[8] = {1, 3, 0x10, 0xD8, 0, 7, 0, 0};
        qx::MbReply r = qx::MbCheckAscii(line.data(), (int)line.size(), req, 8);
        if (r.ok() && (r.data < line.data() || r.data + r.dataLen > line.data() + line.size()))
            __builtin_trap();
        CSMCyberSunrise s;
        s.GosStatus(data, (int)size);
    }
    qxfuzz::Input in(data, size);
    switch (in.Byte() % 4) {
    case 0: { CSMCyberJADC0110 h; Run(h, 0x81C, in); break; }
    case 1: { CSMCyberDelta h; Run(h, 0x81E, in); break; }
    case 2: { CSMCyberSunrise h; Run(h, 0x810, in); break; }
    default: {
        CSMStulzC7000 h;
        tagSMItem item = qxfuzz::Point(in, 0x802);
        const int reg = in.Byte() << 8 | in.Byte();
        qxfuzz::ScriptChannel ch;
        qxfuzz::Script(in, ch);
        qxfuzz::Host host(h, item);
        const int got = h.DataGet(&ch, item.Addr, 0);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(200000, "DataGet");
        qxfuzz::ReadOut(h, -1, 34, kNoKeys);
        int bits[2] = {0, 0};
        host.Store(h, 0, got ? bits : nullptr);
        int32_t v = (int32_t)reg * 7;
        qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, (item.Variant << 16) | reg, &v, 4));
        break;
    }
    }
    return 0;
}
