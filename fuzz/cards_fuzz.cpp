// The door controllers, card readers and the people counter polled on replies from the fuzz
// input: controller A's and T's frame checks, reader K's 0x7F frame decoder and event, W's
// swipe record, the counter's XOR check and twenty records, the RS-485 reader's XOR text;
// then the values, display texts, stored rows and the commands of each.
// Input: the handler (0 A, 1 K, 2 T, 3 W, 4 people counter, 5 RS-485 reader), the point
// (FuzzRig.h Point), the wait, a command and its data length, then the channel's script
// (FuzzRig.h Script).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "FuzzRig.h"
#include "io/SMCXV6V8.h"
#include "io/SMCardA.h"
#include "io/SMCardK.h"
#include "io/SMCardT.h"
#include "io/SMCardW.h"
#include "io/SMRS485reader.h"

namespace {

const char* const kKeys[] = {".icurEnter", ".EEnum", ".idevSN", ".cardID", ".devID", ".none", ""};

template <class H>
void Run(qxfuzz::Input& in, int cmdChoice)
{
    H h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int wait = in.Int(0, 255) * 2;
    int cmd = (int)(in.Word32() & 0xFFFF);
    if (cmdChoice >= 4) cmd &= 7;  // the counter's commands 2, 3, 5, 6
    const int len = in.Int(-2, 64);
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 3; poll++) {
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(2000, "DataGet");
        qxfuzz::ReadOut(h, -1, 20, kKeys);
        int bits[1] = {got ? qxfuzz::AlarmWord(item.Ext1) : 0};
        host.Store(h, poll == 2 ? 1 : 0, got ? bits : nullptr);
    }
    uint8_t data[64];
    memset(data, 0x5A, sizeof data);
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, cmd, data, len));
    qxfuzz::ExpectWaitsBelow(2000, "DoFunc");
}

// The reader K's codec on the raw input: a frame decoded and its event taken, into buffers
// of exactly the documented sizes.
void Codec(qxfuzz::Input& in)
{
    qxfuzz::Bytes frame = in.Take(in.Left());
    uint8_t out[40], info[CSMCardK::kInfo];
    unsigned n = 0;
    int32_t infoLen = 0;
    if (decode_recv_packet(frame.data(), (unsigned)frame.size(), out, &n, sizeof out))
        handle_recv_packet(out, n, info, &infoLen);
    CSMCardA::ChkPack(frame.data(), (int)frame.size());
    CSMCardT::ChkPack(frame.data(), (int)frame.size());
    CSMCXV6V8::ChkReply(frame.data(), (int)frame.size());
    CSMRS485reader::ChkReply(frame.data(), (int)frame.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 6)) {
    case 0: Run<CSMCardA>(in, 0); break;
    case 1: Run<CSMCardK>(in, 1); break;
    case 2: Run<CSMCardT>(in, 2); break;
    case 3: Run<CSMCardW>(in, 3); break;
    case 4: Run<CSMCXV6V8>(in, 4); break;
    case 5: Run<CSMRS485reader>(in, 5); break;
    default: Codec(in); break;
    }
    return 0;
}
