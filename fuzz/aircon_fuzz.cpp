// The comfort air-conditioner controller polled through a scripted channel answered by the
// fuzz input (record decode, the vendor function), then its values, display texts, stored
// rows and a command.
// Input: the point (FuzzRig.h Point), the wait, the command register and value, then the
// channel's script.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "FuzzRig.h"
#include "aircon/SMAirc.h"

namespace {

const char* const kKeys[] = {
    ".sfkwd1", ".hfkwd1", ".ct1", ".dl1", ".status1", ".sfkwd2", ".ldl2", ".status2", ".DI1",
    ".DO2", ".送风口温度1", ".空调状态2", ".none", "",
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    CSMAirc h;
    tagSMItem item = qxfuzz::Point(in, 0x700);
    const int wait = in.Byte() * 4;
    const int reg = in.Byte();
    const int32_t value = in.Word32();
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Host host(h, item);

    for (int poll = 0; poll < 2 && (poll == 0 || ch.StepsLeft() > 0); poll++) {
        int got = h.DataGet(&ch, item.Addr, wait);
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        qxfuzz::ReadOut(h, -1, 30, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
    }
    int done = h.DoFunc(&ch, item.Addr, (item.Variant << 16) | (reg > 127 ? 42 : reg), (void*)&value,
             sizeof value);
    qxfuzz::Trace("DoFunc", done);
    return 0;
}
