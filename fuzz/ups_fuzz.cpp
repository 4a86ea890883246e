// The serial UPS drivers (Q1 family: default, East, GXGD, SANTAK; Modbus: Symmetra on tbUps,
// Galaxy 5000 on the three-phase base; NMYG, Sentry, Link, Smart on tbUps) polled through a
// scripted channel answered by the fuzz input, then their values, display texts, commands and
// stored rows.
// Input: the driver (0..9), the point (FuzzRig.h Point), the wait, the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <memory>
#include <vector>

#include "FuzzRig.h"
#include "ups/SMUps.h"
#include "ups/SMUpsApcMegGalaxy5000.h"
#include "ups/SMUpsEast.h"
#include "ups/SMUpsGXGD.h"
#include "ups/SMUpsLink.h"
#include "ups/SMUpsNMYG.h"
#include "ups/SMUpsSANTAK.h"
#include "ups/SMUpsSentry.h"
#include "ups/SMUpsSmart.h"
#include "ups/SMUpsSymmetra.h"

namespace {

const char* const kKeys[] = {
    ".Vin", ".Fin", ".Vout", ".Aout", ".Fout", ".Pout", ".B7", ".B0", ".status", ".Tem",
    ".Vbatt", ".Pbatt", ".Ved", ".Aed", ".VAed", ".Vdc", ".Fed", ".company", ".mode",
    ".version", ".Vfault", ".none", "",
};

template <class T>
void Poll(qxfuzz::Input& in)
{
    T h;
    const int type = h.GetType();
    tagSMItem item = qxfuzz::Point(in, type);
    const int wait = in.Int(0, 255) * 2;
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Host host(h, item);

    // Several polls, so that the rating and identification read once are taken and kept.
    for (int poll = 0; poll < 3 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const std::vector<int> before = qxfuzz::Values(h, 35);
        const TbUpsRecord kept = h.m_rec;
        int got = h.DataGet(&ch, item.Addr, wait);
        // A refused reply changes nothing; but the SANTAK UPS of variant 1 keeps the values of
        // its status reply when the flags that complete them are refused, and the Symmetra UPS
        // its new status bits when its measurements are refused. NMYG, Link and Smart keep what
        // the requests before a refused one gave.
        const bool keepsHalf = (h.GetType() == 0x304 && item.Variant == 1) ||
                               h.GetType() == 0x30E || h.GetType() == 0x30F ||
                               h.GetType() == 0x303;
        TbUpsRecord flagsOnly = h.m_rec;
        if (h.GetType() == 0x307) {
            memcpy(&flagsOnly.status, &kept.status, 9);  // status, b7 .. b0
        }
        if (!got && !keepsHalf && memcmp(&kept, &flagsOnly, sizeof kept) != 0)
            __builtin_trap();
        if (!got && !keepsHalf && h.GetType() != 0x307 && qxfuzz::Values(h, 35) != before)
            __builtin_trap();
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        const TbUpsRecord& r = h.m_rec;
        if (!memchr(r.company, 0, sizeof r.company) || !memchr(r.mode, 0, sizeof r.mode) ||
            !memchr(r.version, 0, sizeof r.version))
            __builtin_trap();
        qxfuzz::ReadOut(h, -1, 39, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(h, poll == 1 ? 0x11 : 0, got ? bits : nullptr);
    }
    int minutes = item.Ext1;
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, item.Variant == 7 ? 8001 : 1, &minutes, sizeof minutes));
}

// The Galaxy 5000 on the three-phase base: a refused measurement reply changes nothing, a
// refused status reply leaves only new measurements with every state field 0.
void PollGalaxy(qxfuzz::Input& in)
{
    static const char* const kExKeys[] = {
        ".Vin1", ".Vout3", ".Iin2", ".Fin1", ".FB3", ".Tem", ".B15", ".B0", ".status", ".Vbatt",
        ".Pbatt", ".Vdc", ".company", ".none", "",
    };
    CSMUpsApcMegGalaxy5000 h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int wait = in.Int(0, 255) * 2;
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);
    for (int poll = 0; poll < 3 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const UpsExRecord kept = h.m_rec;
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        if (!got && memcmp(&kept, &h.m_rec, sizeof kept) != 0) {
            const UpsExRecord& r = h.m_rec;
            if (r.status != 0 || r.b15 != 0 || r.b0 != 0 || r.Pout1 != 0 || r.Vdc != kept.Vdc ||
                memcmp(r.company, kept.company, sizeof r.company) != 0)
                __builtin_trap();
        }
        qxfuzz::ReadOut(h, -1, 64, kExKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, qxfuzz::AlarmWord(item.Ext1)};
        host.Store(h, poll == 1 ? 0x11 : 0, got ? bits : nullptr);
    }
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, 1, nullptr, 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 9)) {
    case 0: Poll<CSMUps>(in); break;
    case 1: Poll<CSMUpsEast>(in); break;
    case 2: Poll<CSMUpsGXGD>(in); break;
    case 3: Poll<CSMUpsSANTAK>(in); break;
    case 4: Poll<CSMUpsSymmetra>(in); break;
    case 5: PollGalaxy(in); break;
    case 6: Poll<CSMUpsNMYG>(in); break;
    case 7: Poll<CSMUpsSentry>(in); break;
    case 8: Poll<CSMUpsLink>(in); break;
    default: Poll<CSMUpsSmart>(in); break;
    }
    return 0;
}
