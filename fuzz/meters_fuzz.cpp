// The meter and sensor handlers polled through a scripted channel answered by the fuzz input:
// the electricity meter, the temperature and humidity sensor, the dust sensor and the default
// DIO module; then their values, display texts, stored rows and commands.
// Input: the handler (0..3; 4 the meter with any model), the point (FuzzRig.h Point), for
// handler 4 the meter model (0..34), the wait, a command value, then the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <vector>

#include "FuzzRig.h"
#include "io/SMDio.h"
#include "io/SMEnvir.h"
#include "io/SMEnvirPm.h"
#include "power/SMElec.h"

namespace {

const char* const kKeys[] = {
    ".Ady", ".Cdl", ".ygzdn", ".zyggl", ".pl", ".Tem", ".温度", ".Hum", ".PM", ".D01", ".none", "",
};

template <class T>
void Poll(qxfuzz::Input& in, int cmd, int models = 0)
{
    T h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    if (models > 0)
        item.Variant = in.Int(0, models - 1);
    const int wait = in.Byte() * 2;
    int32_t value = in.Word32();
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 2 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const std::vector<int> before = qxfuzz::Values(h, 40);
        int got = h.DataGet(&ch, item.Addr, wait);
        // A failed poll leaves the values of the last good one.
        if (!got && qxfuzz::Values(h, 40) != before)
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
    switch (in.Int(0, 4)) {
    case 0: Poll<CSMElec>(in, 128); break;
    case 1: Poll<CSMEnvir>(in, 1); break;
    case 2: Poll<CSMEnvirPm>(in, 1); break;
    case 3: Poll<CSMDio>(in, 1); break;
    default: Poll<CSMElec>(in, 128, CSMElec::kModelCount); break;
    }
    return 0;
}
