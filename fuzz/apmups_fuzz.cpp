// The UPS drivers of the APM150 family (APM150, iTrust on every path, AHP over YD/T 1363 and
// over Modbus RTU) and the GXE polled through a device that answers from the fuzz input, then
// their values, display texts and stored rows.
// Input: the driver (0 APM150, 1 iTrust, 2 GXE, 3 AHP), the point (FuzzRig.h Point), the
// wait, then the answers: for the YD/T paths framed for each request (FuzzRig.h YdScript),
// for the AHP's Modbus path (Variant 0) the channel's script as it stands (FuzzRig.h Script).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "FuzzRig.h"
#include "ups/SMUpsAHP.h"
#include "ups/SMUpsAPM150.h"
#include "ups/SMUpsGXE.h"
#include "ups/SMUpsITrustAdapt.h"

namespace {

const char* const kKeys[] = {
    ".Vin", ".Fin", ".Vout", ".Aout", ".Fout", ".Pout", ".B7", ".B0", ".status", ".Tem",
    ".Vbatt", ".Fed", ".company", ".Vfault", ".VinA", ".Lodaout", ".powerStatus", ".vina",
    ".none", "", ".",
};

template <class T>
void Poll(qxfuzz::Input& in)
{
    T h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    // Now and then an address that is no one-byte address, which must send nothing.
    if (item.Ext1 == 247)
        item.Addr += 256;
    const int wait = in.Byte();
    qxfuzz::ScriptChannel ch;
    const bool modbus = h.GetType() == 0x313 && item.Variant == 0;
    if (modbus)
        qxfuzz::Script(in, ch);
    else
        qxfuzz::YdScript(in, ch);

    qxfuzz::Host host(h, item);
    for (int poll = 0; poll < 2; poll++) {
        const size_t written = ch.Written().size();
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        // An address beyond one byte sends nothing and reads nothing (the iTrust's
        // demonstration path sends nothing whatever the address, and gives its values).
        const bool demo = h.GetType() == 0x311 && item.Variant == 3;
        if (item.Addr > 255 && ((got && !demo) || ch.Written().size() != written))
            __builtin_trap();
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        qxfuzz::ReadOut(h, -1, 36, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
    // No command of these units is ever sent.
    const size_t written = ch.Written().size();
    int minutes = 5;
    if (h.DoFunc(&ch, item.Addr, 1, &minutes, sizeof minutes) != 0 || ch.Written().size() != written)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 3)) {
    case 0: Poll<CSMUpsAPM150>(in); break;
    case 1: Poll<CSMUpsITrustAdapt>(in); break;
    case 2: Poll<CSMUpsGXE>(in); break;
    default: Poll<CSMUpsAHP>(in); break;
    }
    return 0;
}
