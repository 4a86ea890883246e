// The Modbus UPS drivers (GX, HR7000, IPGuard, HTxx, 9E; the 9E with Variant 1 on its block
// protocol) polled through a scripted channel answered by the fuzz input, then their values,
// display texts, command and stored rows; and the 9E block reassembly alone.
// Input: the mode (0 GX, 1 HR7000, 2 IPGuard, 3 HTxx, 4 9E, 5 the block reassembly), then
//   polls:      the point (FuzzRig.h Point), the wait, the channel's script;
//   reassembly: the size of the area (1..256), the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "FuzzRig.h"
#include "ups/SMUPS9EModbus.h"
#include "ups/SMUpsGX.h"
#include "ups/SMUpsHR7000.h"
#include "ups/SMUpsHTxx.h"
#include "ups/SMUpsIPGuard.h"

namespace {

const char* const kKeys[] = {
    ".Vin", ".Fin", ".Vout", ".Aout", ".Fout", ".Pout", ".B7", ".B0", ".status", ".Vbatt",
    ".Pbatt", ".Vin1", ".Fin1", ".B15", ".company", ".none", "",
};

// The record a poll may change, as bytes: a failed first exchange must leave all of it.
template <class T>
std::vector<uint8_t> Record(const T& h) {
    const uint8_t* p = reinterpret_cast<const uint8_t*>(&h.m_rec);
    return std::vector<uint8_t>(p, p + sizeof h.m_rec);
}

template <class T>
void Poll(qxfuzz::Input& in) {
    T h;
    const int type = h.GetType();
    tagSMItem item = qxfuzz::Point(in, type);
    const int wait = in.Int(0, 255) * 2;
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);
    const bool block = type == 0x312 && item.Variant == 1;
    const int fields = h.DataSize() + 2;

    for (int poll = 0; poll < 3 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const std::vector<uint8_t> kept = Record(h);
        const size_t sent = ch.Written().size();
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        // A block poll of nine transactions with their blocks is bounded too.
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        // A Modbus poll whose first request failed takes nothing.
        if (!got && !block && ch.Written().size() <= sent + 1 && Record(h) != kept)
            __builtin_trap();
        // Every request of a Modbus poll is one 8-byte frame.
        if (!block)
            for (size_t i = sent; i < ch.Written().size(); i++)
                if (ch.Written()[i].size() != 8) __builtin_trap();
        qxfuzz::ReadOut(h, -1, fields, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, qxfuzz::AlarmWord(item.Ext1)};
        host.Store(h, poll == 1 ? 0x11 : 0, got ? bits : nullptr);
    }
    // Only the IPGuard has a command: the beeper toggle, command 1.
    const size_t sent = ch.Written().size();
    const int command = item.Variant;
    const int done = h.DoFunc(&ch, item.Addr, command, nullptr, 0);
    const bool beeper = type == 0x305 && command == 1;
    if (beeper) {
        const qxfuzz::Bytes q = {'Q', '\r'};
        if (ch.Written().size() != sent + 1 || ch.Written().back() != q) __builtin_trap();
        if (done != 0 && done != 1) __builtin_trap();
    } else if (done != 0 || ch.Written().size() != sent) {
        __builtin_trap();
    }
}

// One block transaction into an area of the input's size: what it joins stays in the area,
// and a device that never ends its answer is given up.
void Reassembly(qxfuzz::Input& in) {
    const int size = in.Int(1, 256);
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    CSMUPS9EModbus h;
    std::vector<uint8_t> out((size_t)size);  // exactly the area: a write past it is reported
    const int n = h.CmdPack(&ch, 0x81, 0xA1, 0x01, 0x31, 0x03, 0, 0x40, out.data(), size);
    qxfuzz::Trace("CmdPack", n);
    qxfuzz::ExpectWaitsBelow(60000, "CmdPack");
    if (n < 0 || n > size) __builtin_trap();
    int acks = 0;
    for (const qxfuzz::Bytes& w : ch.Written()) acks += w.size() == 1 && w[0] == 0x06;
    if (acks > 16) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 5)) {
    case 0: Poll<CSMUpsGX>(in); break;
    case 1: Poll<CSMUpsHR7000>(in); break;
    case 2: Poll<CSMUpsIPGuard>(in); break;
    case 3: Poll<CSMUpsHTxx>(in); break;
    case 4: Poll<CSMUPS9EModbus>(in); break;
    default: Reassembly(in); break;
    }
    return 0;
}
