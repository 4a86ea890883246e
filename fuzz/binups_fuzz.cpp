// The binary-frame UPS drivers (EDX, III): their block and frame checks and decoders on raw
// bytes, and whole polls through a scripted channel answered by the fuzz input, then their
// values, display texts and stored rows.
// Input: the mode (0 EDX poll, 1 III poll, 2 the checks alone), then
//   polls:  the point (FuzzRig.h Point), the wait, the channel's script;
//   checks: the EDX identifier, the III need, the bytes.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "FuzzRig.h"
#include "ups/SMUpsEdxRt6.h"
#include "ups/SMUpsIII.h"

namespace {

const char* const kKeys[] = {
    ".Vin", ".Fin", ".Vout", ".Aout", ".Fout", ".Pout", ".B7", ".B0", ".status",
    ".Vbatt", ".Pbatt", ".company", ".mode", ".version", ".none", "",
};

bool Terminated(const TbUpsRecord& r) {
    return memchr(r.company, 0, sizeof r.company) && memchr(r.mode, 0, sizeof r.mode) &&
           memchr(r.version, 0, sizeof r.version);
}

template <class T>
void Poll(qxfuzz::Input& in) {
    T h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int wait = in.Int(0, 255) * 2;
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    qxfuzz::Host host(h, item);
    const bool edx = h.GetType() == 0x308;

    for (int poll = 0; poll < 3 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        const TbUpsRecord kept = h.m_rec;
        const size_t sent = ch.Written().size();
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        if (!Terminated(h.m_rec)) __builtin_trap();
        if (edx) {
            // A complete poll names the UPS; a broken one has no texts at all.
            if (got != (strcmp(h.m_rec.company, "EATON") == 0)) __builtin_trap();
            if (!got && (h.m_rec.mode[0] || h.m_rec.version[0])) __builtin_trap();
        } else if (!got) {
            // What the battery reply zeroes, and its capacity, stay as they were.
            if (h.m_rec.Pbatt != kept.Pbatt || h.m_rec.Fin != kept.Fin ||
                h.m_rec.v1 != kept.v1 || strcmp(h.m_rec.company, kept.company) != 0)
                __builtin_trap();
            // Nothing of a first exchange that failed is taken.
            if (ch.Written().size() <= sent + 1 && memcmp(&kept, &h.m_rec, sizeof kept) != 0)
                __builtin_trap();
        }
        if (!edx && (item.Addr < 0 || item.Addr > 255) && ch.Written().size() != sent)
            __builtin_trap();
        qxfuzz::ReadOut(h, -1, 38, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(h, poll == 1 ? 0x11 : 0, got ? bits : nullptr);
    }
    const size_t sent = ch.Written().size();
    if (h.DoFunc(&ch, item.Addr, 1, nullptr, 0) != 0 || ch.Written().size() != sent)
        __builtin_trap();
}

void Checks(qxfuzz::Input& in) {
    const int id = in.Byte();
    const int need = in.Int(0, 80);
    const qxfuzz::Bytes b = in.Take(in.Left());
    const int n = (int)b.size();
    // Copies of exactly n bytes, so that a read past them is reported.
    std::vector<uint8_t> buf(b.begin(), b.end());
    const uint8_t* flag = CSMUpsEdxRt6::EdxChk(buf.data(), n, id);
    qxfuzz::Trace("EdxChk", flag != nullptr);
    if (flag) {
        const int k = (int)(flag - buf.data());
        if (k < 0 || k > 1 || flag[2] != (uint8_t)id || k + (flag[1] & 0x0F) + 3 != n)
            __builtin_trap();
        CSMUpsEdxRt6 h;
        h.EdxTake(id, flag);
    }
    const bool framed = CSMUpsIII::FrameChk(buf.data(), n, need);
    qxfuzz::Trace("FrameChk", framed);
    if (framed && (buf[0] != 0xEA || n < buf[1] + 6 || need > buf[1] + 5)) __builtin_trap();
    CSMUpsIII h;
    if (CSMUpsIII::FrameChk(buf.data(), n, CSMUpsIII::MeasureNeed())) h.TakeMeasures(buf.data(), n);
    if (CSMUpsIII::FrameChk(buf.data(), n, CSMUpsIII::BatteryNeed())) h.TakeBattery(buf.data(), n);
    // The length function of the III exchange reads only the bytes it is given.
    for (int have = 0; have <= n; have++) CSMUpsIII::FrameLen(buf.data(), have);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 2)) {
    case 0: Poll<CSMUpsEdxRt6>(in); break;
    case 1: Poll<CSMUpsIII>(in); break;
    default: Checks(in); break;
    }
    return 0;
}
