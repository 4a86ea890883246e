// The power-plant controllers and the single-phase meter polled through a scripted channel
// answered by the fuzz input: transformer temperature controller, generator SCADA, DC power
// monitor, generator-set controller and HC-311A; then their values, display texts, stored
// rows and commands.
// Input: the handler (0..4), the point (FuzzRig.h Point), the wait, a command value, a byte
// for the command's buffer, then the channel's script.
#include <stddef.h>
#include <stdint.h>

#include "FuzzRig.h"
#include "power/SMFBJK002G3S.h"
#include "power/SMHC311A.h"
#include "power/SMHgm6300.h"
#include "power/SMPowSCADA.h"
#include "power/SMTransf.h"

namespace {

const char* const kKeys[] = {
    ".Vol", ".电压", ".SPow", ".EpPH", ".Ep_n", ".Eq_n", ".Tem", ".RelayState", ".继电器状态",
    ".TemA", ".none", "",
};

template <class T>
void Poll(qxfuzz::Input& in)
{
    T h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int wait = in.Byte() * 2;
    const int cmd = in.Word32();
    uint8_t buf[4] = {in.Byte(), 0, 0, 0};
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 2 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        qxfuzz::ReadOut(h, -1, 110, kKeys);
        int bits[4] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0, 0, 0};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, cmd, buf, sizeof buf));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 4)) {
    case 0: Poll<CSMTransf>(in); break;
    case 1: Poll<CSMPowSCADA>(in); break;
    case 2: Poll<CSMFBJK002G3S>(in); break;
    case 3: Poll<CSMHgm6300>(in); break;
    default: Poll<CSMHC311A>(in); break;
    }
    return 0;
}
