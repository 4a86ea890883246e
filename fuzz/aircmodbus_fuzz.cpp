// The Modbus precision and in-row air-conditioners (GI, GT, PeX, Hiross, Matrix, Station)
// polled through a scripted channel answered by the fuzz input: every request of every map
// (the point's Variant picks PeX's and Station's), then the values, the stored rows and a
// command.
// Input: the driver (byte mod 6), the point (FuzzRig.h Point), the wait, then the channel's
// script.
#include <stddef.h>
#include <stdint.h>

#include <memory>

#include "FuzzRig.h"
#include "aircon/SMCyberHiross.h"
#include "aircon/SMCyberMatrix.h"
#include "aircon/SMCyberPeX.h"
#include "aircon/SMCyberStation.h"
#include "aircon/SMLineGI.h"
#include "aircon/SMLineGT.h"

namespace {

std::unique_ptr<CSMAircShape> Make(int which) {
    switch (which % 6) {
    case 0: return std::unique_ptr<CSMAircShape>(new CSMLineGI);
    case 1: return std::unique_ptr<CSMAircShape>(new CSMLineGT);
    case 2: return std::unique_ptr<CSMAircShape>(new CSMCyberPeX);
    case 3: return std::unique_ptr<CSMAircShape>(new CSMCyberHiross);
    case 4: return std::unique_ptr<CSMAircShape>(new CSMCyberMatrix);
    default: return std::unique_ptr<CSMAircShape>(new CSMCyberStation);
    }
}

const char* const kKeys[] = {".tem", ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    std::unique_ptr<CSMAircShape> h = Make(in.Byte());
    tagSMItem item = qxfuzz::Point(in, h->GetType());
    const int wait = in.Byte() * 4;
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Host host(*h, item);
    for (int poll = 0; poll < 2 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        int got = h->DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        qxfuzz::ReadOut(*h, -1, 50, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(*h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
    int v = 1;
    qxfuzz::Trace("DoFunc", h->DoFunc(&ch, item.Addr, 1, &v, sizeof v));
    return 0;
}
