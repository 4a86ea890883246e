// The switch-input module, the leak detectors and the I/O modules of the DIO family polled
// through a scripted channel answered by the fuzz input: their reply checks and decoders, then
// their values, display texts, stored rows and a command.
// Input: the handler (0 switch inputs, 1 leak, 2 W70XX, 3 W7017, 4 KW7, 5 the BLE
// scanner), the point (FuzzRig.h Point), a command and its
// value, then the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "FuzzRig.h"
#include "io/SMDioAdBle_Huawei.h"
#include "io/SMDioKW7.h"
#include "io/SMDioW7017_Huawei.h"
#include "io/SMDioW70XX.h"
#include "io/SMLeak.h"
#include "io/SMOnOff.h"

namespace {

const char* const kKeys[] = {
    ".sd1", ".sd6", ".Locate", ".位置", ".D01", ".D16", ".N03", ".none", "",
};

// keeps: a failed poll leaves the values of the last good one (the leak detectors clear
// theirs first; a module of several reads keeps what the reads before the failure gave).
template <class T>
void Poll(qxfuzz::Input& in, bool keeps)
{
    T h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int cmd = in.Byte() << 16 | in.Byte();
    int32_t value = in.Word32();
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 3 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const std::vector<int> before = qxfuzz::Values(h, 40);
        int got = h.DataGet(&ch, item.Addr, 0);
        if (keeps && !got && qxfuzz::Values(h, 40) != before)
            __builtin_trap();
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        qxfuzz::ReadOut(h, -1, 40, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, cmd, &value, sizeof value));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 5)) {
    case 0: Poll<CSMOnOff>(in, true); break;
    case 1: Poll<CSMLeak>(in, false); break;
    case 2: Poll<CSMDioW70XX>(in, false); break;
    case 3: Poll<CSMDioW7017_Huawei>(in, true); break;
    case 4: Poll<CSMDioKW7>(in, true); break;
    default: Poll<CSMDioAdBle_Huawei>(in, true); break;
    }
    return 0;
}
