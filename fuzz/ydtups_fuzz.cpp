// The YD/T 1363 UPS drivers on the three-phase base (Emerson, each Variant profile; Hipulse U
// series) polled through a device that frames the fuzz input as its replies, then the
// record's values, display texts and stored rows.
// Input: the driver (0 Emerson, 1 Hipulse), the point (FuzzRig.h Point), the wait, then the
// answers (FuzzRig.h YdScript).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "FuzzRig.h"
#include "ups/SMUpsEmerson.h"
#include "ups/SMUpsHipulseUSeries.h"

namespace {

const char* const kKeys[] = {
    ".Vin1", ".Vout1", ".Iout1", ".Fout1", ".Vbatt", ".Mbatt", ".Tem", ".b15", ".status",
    ".company", ".none", "",
};

// A poll that fails keeps the last record (its first exchange refused) or holds what its
// earlier exchanges gave: never a state code, which only the last exchange brings, and never
// a field no exchange of the unit fills.
bool HipulseFailedPollIsSound(const UpsExRecord& kept, const UpsExRecord& r)
{
    if (memcmp(&kept, &r, sizeof kept) == 0)
        return true;
    int32_t states = 0;
    for (const int32_t* b = &r.b15; b <= &r.b0; b++)
        states |= *b;
    return states == 0 && r.status == 0 && r.Tem == 0 && r.Pbatt == 0 && r.IB1 == 0 &&
           r.Pout1 == 0 && r.company[0] == 0;
}

template <class H>
void Poll(qxfuzz::Input& in, bool hipulse)
{
    H h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int wait = in.Byte();
    qxfuzz::ScriptChannel ch;
    qxfuzz::YdScript(in, ch);

    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 2; poll++) {
        const UpsExRecord kept = h.m_rec;
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        if (hipulse && !got && !HipulseFailedPollIsSound(kept, h.m_rec))
            __builtin_trap();
        qxfuzz::ReadOut(h, -1, 70, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, qxfuzz::AlarmWord(item.Ext1)};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    if (in.Int(0, 1) == 0)
        Poll<CSMUpsEmerson>(in, false);
    else
        Poll<CSMUpsHipulseUSeries>(in, true);
    return 0;
}
