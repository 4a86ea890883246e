// The battery monitors and inspection units polled on replies from the fuzz input: the BAT100
// group and 64-cell blocks, the BOD-800 cell replies, the ADU1000's YD/T 1363 reply of floats
// and the DB100's register block; then their values, display texts and stored rows. A poll of
// the ADU1000 or the DB100 that fails leaves their values as they were.
// Input: the unit (0 BAT100, 1 BOD-800, 2 ADU1000, 3 DB100), the point (FuzzRig.h Point),
// the cell count of DataGet and of command 0 (one byte each, doubled, so that both pass the
// arrays' caps), then the answers (FuzzRig.h Script; the ADU1000's through YdScript).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "FuzzRig.h"
#include "power/SMADU1000.h"
#include "power/SMBatt100.h"
#include "power/SMBattBod800.h"
#include "power/SMDb100.h"

namespace {

const char* const kKeys[] = {".dy1", ".dy49", ".dy50", ".dy24", ".dy-3", ".dy99999999999",
                             ".zdy1", ".zdl", ".Tem", ".num", ".单体电压7", ".dy"};

template <class H>
void Poll(qxfuzz::Input& in, bool yd, bool keepsOnFailure, int last)
{
    H h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int count = 2 * in.Byte();
    const int command = 2 * in.Byte();
    qxfuzz::ScriptChannel ch;
    if (yd)
        qxfuzz::YdScript(in, ch);
    else
        qxfuzz::Script(in, ch);

    qxfuzz::Host host(h, item);
    if (command)
        h.DoFunc(0, nullptr, command);
    for (int poll = 0; poll < 2; poll++) {
        const std::vector<int> before = qxfuzz::Values(h, last);
        int got = h.DataGet(&ch, item.Addr, count);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        if (!got && keepsOnFailure && qxfuzz::Values(h, last) != before) {
            fprintf(stderr, "a failed poll changed the values\n");
            abort();
        }
        qxfuzz::ReadOut(h, -1, last + 2, kKeys);
        int bits[13] = {};
        for (int& w : bits)
            w = qxfuzz::AlarmWord(item.Ext2);
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
    switch (in.Int(0, 3)) {
    case 0: Poll<CSMBatt100>(in, false, false, 28); break;
    case 1: Poll<CSMBattBod800>(in, false, false, 394); break;
    case 2: Poll<CSMADU1000>(in, true, true, 58); break;
    default: Poll<CSMDb100>(in, false, true, 34); break;
    }
    return 0;
}
