// The serial air-conditioners on the air-conditioner shape polled through a scripted channel
// answered by the fuzz input: the control module (its decode, its commands with their
// preliminary reading), the in-row unit (two requests, the coil command), the Mitsubishi
// adapter (0x55/0xAA answers without a check), the PLC unit (five requests) and the K200
// (flags and the probe-fault state); then their values, display texts and stored rows.
// Input: the driver (0..4), the point (FuzzRig.h Point), the wait, the command and its value,
// then the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <memory>

#include "FuzzRig.h"
#include "aircon/SMAircDAS.h"
#include "aircon/SMAircLcpDx.h"
#include "aircon/SMAircMitsubishi.h"
#include "aircon/SMCyberK200.h"
#include "aircon/SMPlcQSM50.h"

namespace {

const char* const kKeys[] = {
    ".state", ".运行状态", ".fault", ".temIn1", ".temOut1", ".temSet", ".sdwd", ".hfwd",
    ".sdsd", ".hfsd", ".St", ".cs", ".fj", ".hfwdtt", ".swwdtt", ".室外温度探头", ".none", "",
};

// Commands worth reaching: the module's numbered ones, the in-row unit's 5, others.
const int kCommands[] = {0, 1, 16, 17, 96, 112, 128, 145, 5, 2, -1, 0x10000};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    const int which = in.Int(0, 4);
    static const int kTypes[] = {0x701, 0x702, 0x705, 0x8FF, 0x812};
    std::unique_ptr<CSMAircShape> h;
    switch (which) {
    case 0: h.reset(new CSMAircDAS); break;
    case 1: h.reset(new CSMAircLcpDx); break;
    case 2: h.reset(new CSMAircMitsubishi); break;
    case 3: h.reset(new CSMPlcQSM50); break;
    default: h.reset(new CSMCyberK200); break;
    }
    tagSMItem item = qxfuzz::Point(in, kTypes[which]);
    const int wait = in.Byte() * 4;
    const int command = kCommands[in.Byte() % (sizeof kCommands / sizeof kCommands[0])];
    const int32_t value = in.Word32();
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Host host(*h, item);

    for (int poll = 0; poll < 2 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const std::vector<int> before = qxfuzz::Values(*h, 16);
        int got = h->DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        // A Mitsubishi answer that fails changes nothing (the others may keep the fields of
        // the requests that answered before the one that failed).
        if (!got && which == 2 && qxfuzz::Values(*h, 16) != before) {
            fprintf(stderr, "a failed poll changed the values\n");
            abort();
        }
        qxfuzz::ReadOut(*h, -1, 30, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(*h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
    int32_t buf = value;
    int done = h->DoFunc(&ch, item.Addr, command, (void*)&buf, sizeof buf);
    qxfuzz::Trace("DoFunc", done);
    qxfuzz::ExpectWaitsBelow(60000, "DoFunc");
    return 0;
}
