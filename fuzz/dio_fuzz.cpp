// The DIO modules polled through a scripted channel answered by the fuzz input: the PD220-6,
// FD220 and RD230 digital modules, the AD5DA5 analog module and its calibrated form, the
// distribution board and the DO alarm output; then a command (the calibrated module's curve
// replacement among them) and a second poll, their values, display texts and stored rows.
// Input: the handler (0..6), the point (FuzzRig.h Point), the wait, the command's function
// byte (0: a plain command) and low byte, the command buffer's length in pairs of bytes and
// its bytes, then the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "FuzzRig.h"
#include "io/SMAlmDo.h"
#include "io/SMDioAd5Da5.h"
#include "io/SMDioAd5Da5Ivc.h"
#include "io/SMDioFd220.h"
#include "io/SMDioMlan7vxpxj.h"
#include "io/SMDioPd2206.h"
#include "io/SMDioRd230.h"

namespace {

const char* const kKeys[] = {".D01", ".D12", ".N1", ".N13", ".Tem", ".温度", ".Hum", ".NH3", ".氨浓度", ".none", ""};

// The scripted channel without a device descriptor: the alarm output's switch requests go
// nowhere (a descriptor of this process is never written to).
class Channel : public qxfuzz::ScriptChannel {
public:
    int GetHandle() override { return -1; }
};

// keepOnFailure: a failed poll leaves every value as it was (the analog modules keep the
// inputs of a first read that answered).
template <class T>
void Poll(qxfuzz::Input& in, bool keepOnFailure)
{
    T h;
    tagSMItem item = qxfuzz::Point(in, h.GetType());
    const int wait = in.Byte() * 2;
    const int fn = in.Byte(), low = in.Byte();
    const int cmd = fn ? (fn << 16 | low) : low;
    const int len = in.Byte() * 2;
    std::vector<uint8_t> buf(512, 0);
    qxfuzz::Bytes given = in.Take((size_t)len);
    if (!given.empty())
        memcpy(buf.data(), given.data(), given.size());
    Channel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Host host(h, item);
    for (int poll = 0; poll < 2; poll++) {
        const std::vector<int> before = qxfuzz::Values(h, 80);
        int got = h.DataGet(&ch, item.Addr, wait);
        if (!got && keepOnFailure && qxfuzz::Values(h, 80) != before)
            __builtin_trap();
        qxfuzz::Trace("DataGet", got);
        qxfuzz::ExpectWaitsBelow(60000, "DataGet");
        qxfuzz::ReadOut(h, -1, 80, kKeys);
        int bits[2] = {got ? qxfuzz::AlarmWord(item.Ext2) : 0, 0};
        host.Store(h, poll ? 0x11 : 0, got ? bits : nullptr);
        if (poll == 0) {
            qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, cmd, buf.data(), len));
            qxfuzz::ExpectWaitsBelow(60000, "DoFunc");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Int(0, 6)) {
    case 0: Poll<CSMDioPd2206>(in, true); break;
    case 1: Poll<CSMDioFd220>(in, true); break;
    case 2: Poll<CSMDioRd230>(in, true); break;
    case 3: Poll<CSMDioAd5Da5>(in, false); break;
    case 4: Poll<CSMDioAd5Da5Ivc>(in, false); break;
    case 5: Poll<CSMDioMlan7vxpxj>(in, true); break;
    default: Poll<CSMAlmDo>(in, true); break;
    }
    return 0;
}
