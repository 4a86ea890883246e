// The YD/T 1363 UPS drivers on the three-phase base (Emerson, each Variant profile) polled
// through a device that frames the fuzz input as its replies, then the record's values,
// display texts and stored rows.
// Input: the point (FuzzRig.h Point), the wait, then the answers (FuzzRig.h YdScript).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "FuzzRig.h"
#include "ups/SMUpsEmerson.h"

namespace {

const char* const kKeys[] = {
    ".Vin1", ".Vout1", ".Iout1", ".Fout1", ".Vbatt", ".Mbatt", ".Tem", ".b15", ".status",
    ".company", ".none", "",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    CSMUpsEmerson h;
    tagSMItem item = qxfuzz::Point(in, 0x301);
    const int wait = in.Byte();
    qxfuzz::ScriptChannel ch;
    qxfuzz::YdScript(in, ch);

    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 2; poll++) {
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        qxfuzz::ReadOut(h, -1, 70, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, qxfuzz::AlarmWord(item.Ext1)};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
    return 0;
}
