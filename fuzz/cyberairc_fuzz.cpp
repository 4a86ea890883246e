// The Modbus RTU air-conditioners (SCA, HST12/HST26JF, HaiRuiFu, RDA, Canatal) polled through
// a scripted channel answered by the fuzz input, then their values, stored rows and the
// command entry, which sends nothing.
// Input: the mode (0 SCA, 1 HSTXX, 2 HaiRuiFu, 3 RDA, 4 Canatal), the point (FuzzRig.h
// Point; its Variant picks the HST map), the wait, then the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <memory>

#include "FuzzRig.h"
#include "aircon/SMCanatal.h"
#include "aircon/SMCyberHSTXX.h"
#include "aircon/SMCyberHaiRuiFu.h"
#include "aircon/SMCyberRDAx.h"
#include "aircon/SMCyberSCA.h"

namespace {

const char* const kKeys[] = {".none", ""};

void Poll(CSMAircShape& h, qxfuzz::Input& in) {
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int wait = in.Int(0, 255) * 4;
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 3 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const size_t sent = ch.Written().size();
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        // Every request is one 8-byte frame, at most five to a poll.
        if (ch.Written().size() - sent > 5) __builtin_trap();
        for (size_t i = sent; i < ch.Written().size(); i++)
            if (ch.Written()[i].size() != 8) __builtin_trap();
        qxfuzz::ReadOut(h, -1, h.DataSize() + 2, kKeys);
        int bits[3] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, qxfuzz::AlarmWord(item.Ext1), 0};
        host.Store(h, poll == 1 ? 0x11 : 0, got ? bits : nullptr);
    }
    const size_t sent = ch.Written().size();
    int32_t v = item.Variant;
    if (h.DoFunc(&ch, item.Addr, item.Variant, &v, sizeof v) != 0 || ch.Written().size() != sent)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    std::unique_ptr<CSMAircShape> h;
    switch (in.Int(0, 4)) {
    case 0: h.reset(new CSMCyberSCA); break;
    case 1: h.reset(new CSMCyberHSTXX); break;
    case 2: h.reset(new CSMCyberHaiRuiFu); break;
    case 3: h.reset(new CSMCyberRDAx); break;
    default: h.reset(new CSMCanatal); break;
    }
    Poll(*h, in);
    return 0;
}
