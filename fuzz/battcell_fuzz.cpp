// The RTVS battery monitor and the EB90 cell monitor: whole polls through a scripted channel
// answered by the fuzz input (the RTVS module-current, channel-voltage and cell-record replies;
// the EB90 cell replies), then their values and stored rows; and the EB90 reply check on raw
// bytes.
// Input: the mode (0 RTVS polls, 1 EB90 cycles, 2 the EB90 check alone), then
//   RTVS:  the point (FuzzRig.h Point), its Ext1 (4 bytes), the channel's script;
//   EB90:  the point, the cell count byte, the clock step byte, the channel's script;
//   check: the bytes.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "FuzzRig.h"
#include "power/SMBattBodEB90.h"
#include "power/SMBattRTVS.h"

namespace {

const char* const kNoKeys[] = {""};

time_t g_now = 1700000000;
time_t FakeNow() { return g_now; }

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

void Eb90(qxfuzz::Input& in) {
    CSMBattBodEB90 h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int count = in.Int(-2, 100);
    const int step = in.Byte() * 600;
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);
    g_now = 1700000000;
    qx::SetClockHook(FakeNow);

    for (int cycle = 0; cycle < 8 && (cycle == 0 || ch.StepsLeft() > 0); cycle++) {
        int got = h.DataGet(&ch, item.Addr, count);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(6000, "DataGet");
        const tagDataGetEB90& rec = h.m_cache.at(item.SID);
        if (rec.count < 1 || rec.count > tagDataGetEB90::kCells || rec.index < 1 ||
            rec.index > rec.count)
            __builtin_trap();
        qxfuzz::ReadOut(h, -1, 20, kNoKeys);
        h.DataVal(65535);
        int bits[2] = {qxfuzz::AlarmWord(item.Ext2), 0};
        host.Store(h, cycle & 1, got ? bits : nullptr);
        g_now += step;
    }
    qx::SetClockHook(nullptr);
    // The host's cell count (command 0) is answered and sends nothing.
    const size_t sent = ch.Written().size();
    if (h.DoFunc(0, nullptr, 24) != 1 || ch.Written().size() != sent) __builtin_trap();
}

void Check(qxfuzz::Input& in) {
    const qxfuzz::Bytes b = in.Take(in.Left());
    const int n = (int)b.size();
    std::vector<uint8_t> buf(b.begin(), b.end());  // exactly n bytes: a read past them is seen
    int v = -1;
    bool ok = CSMBattBodEB90::ReplyValue(buf.data(), n, &v);
    qxfuzz::Trace("ReplyValue", ok);
    if (ok && (n < 9 || buf[0] != 0xEB || buf[1] != 0x90 || v < 0 || v > 0xFFFFFF)) __builtin_trap();
    if (!ok && v != -1) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 8192) return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 2)) {
    case 0: Rtvs(in); break;
    case 1: Eb90(in); break;
    default: Check(in); break;
    }
    return 0;
}
