// The RTVS battery monitor: whole polls through a scripted channel answered by the fuzz input
// (the module-current, channel-voltage and cell-record replies), then its values and stored rows.
// Input: the mode (0 RTVS polls), then the point (FuzzRig.h Point), its Ext1 (4 bytes), the
// channel's script.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "FuzzRig.h"
#include "power/SMBattRTVS.h"

namespace {

const char* const kNoKeys[] = {""};

void Rtvs(qxfuzz::Input& in) {
    CSMBattRTVS h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    item.Ext1 = in.Word32();
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);
    int count[CSMBattRTVS::kChannels];
    CSMBattRTVS::Channels(item.Ext1, count);

    for (int poll = 0; poll < 3 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        int got = h.DataGet(&ch, item.Addr, 0);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        // Records are taken only within their channel's cells.
        for (int k = 0; k < CSMBattRTVS::kChannels; k++)
            if (h.m_v.cellsRead[k] > count[k]) __builtin_trap();
        qxfuzz::ReadOut(h, -1, 2012, kNoKeys);
        int bits[76];
        for (int& b : bits) b = got ? qxfuzz::AlarmWord(item.Ext2) : 0;
        host.Store(h, poll == 1 ? 0x11 : 0, got ? bits : nullptr);
        qxfuzz::ExpectWaitsBelow(60000, "DataUpd");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 2)) {
    case 0: Rtvs(in); break;
    default: break;
    }
    return 0;
}
