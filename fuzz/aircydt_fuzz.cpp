// The precision air-conditioners over YD/T 1363 (Emerson, EVO DX, DME3000 on either protocol,
// T-MASTER) polled through a device that frames the fuzz input as its replies (raw answers
// stand for noise and for the DME3000's Modbus replies), then their values, stored rows and
// a command.
// Input: the driver (0 Emerson, 1 EVO DX, 2 DME3000, 3 T-MASTER), the point (FuzzRig.h Point;
// its Variant picks the DME3000's protocol and the EVO DX's checks), the wait, the command
// and its value, then the answers (FuzzRig.h YdScript).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "FuzzRig.h"
#include "aircon/SMCyberEvoDx.h"
#include "aircon/SMDme3000.h"
#include "aircon/SMEmerson.h"
#include "aircon/SMTEMaster.h"

namespace {

const char* const kKeys[] = {".tem", ".none", ""};

template <class H>
void Poll(qxfuzz::Input& in)
{
    H h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int wait = in.Byte();
    const int command = in.Byte();
    const int cmd = command << 16 | in.Byte();
    const uint16_t value = (uint16_t)in.Word32();
    qxfuzz::ScriptChannel ch;
    qxfuzz::YdScript(in, ch);

    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 2; poll++) {
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        qxfuzz::ReadOut(h, -1, 70, kKeys);
        int bits[3] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, qxfuzz::AlarmWord(item.Ext1), 0};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
    uint16_t v = value;
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, cmd, &v, sizeof v));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 3)) {
    case 0: Poll<CSMEmerson>(in); break;
    case 1: Poll<CSMCyberEvoDx>(in); break;
    case 2: Poll<CSMDme3000>(in); break;
    default: Poll<CSMTEMaster>(in); break;
    }
    return 0;
}
