// The generic protocol engines (Modbus, template, SNMP, YD/T 1363) from an arbitrary definition file,
// polled through a scripted channel answered by the fuzz input: loading, registration, poll,
// values, display texts, stored rows and a control command. The SNMP engine talks to its
// agent over UDP, not through the channel: it is loaded, registered and stored (with the
// [vals] of the file), and the point's agent text is split, but it is not polled.
// Input: the engine (0 Modbus, 1 template, 2 SNMP, 3 YD/T 1363), the definition file up to
// the first NUL, the point (FuzzRig.h Point), the poll flags (bit 0: RTU on a network
// channel), the command number, then the channel's script (SNMP: the agent text of the point;
// YD/T 1363: the answers, framed for each request as FuzzRig.h YdScript describes).
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>

#include "FuzzRig.h"
#include "engines/SMModbus.h"
#include "engines/SMNormal.h"
#include "engines/SMSnmpPub.h"
#include "engines/SMYdt1363.h"

namespace {

std::string TempPath()
{
    const char* dir = getenv("TMPDIR");
    char path[512];
    snprintf(path, sizeof path, "%s/qxengine_fuzz_%d.def", dir && *dir ? dir : "/tmp", (int)getpid());
    return path;
}

// The poll of an engine that talks over the channel.
template <class T>
int Poll(T& h, qxfuzz::ScriptChannel& ch, const tagSMItem& item, int flags)
{
    return h.DataGet(&ch, item.Addr, flags);
}
// The SNMP engine: its agent text instead.
int Poll(CSMSnmpPub& h, qxfuzz::ScriptChannel&, const tagSMItem& item, int)
{
    CSMSnmpPub::Agent a = CSMSnmpPub::ParseAddr(item.AddrText);
    if (a.host.size() > sizeof item.AddrText)
        __builtin_trap();
    return 0;
}

template <class T>
void Run(qxfuzz::Input& in, int type)
{
    const std::string def = in.Text();
    static const std::string path = TempPath();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return;
    fwrite(def.data(), 1, def.size(), f);
    fclose(f);

    T h(type);
    tagSMItem item = qxfuzz::Point(in, type);
    const int flags = in.Byte() & 1 ? CSMModbus::kRtuOnNet : 0;
    const int cmd = in.Byte();
    qxfuzz::ScriptChannel ch;
    if (type >= 0x1000 && type < 0x1200) {
        qxfuzz::Bytes addr = in.Take(sizeof item.AddrText);
        if (!addr.empty())
            memcpy(item.AddrText, addr.data(), addr.size());
    } else if (type >= 0x1400 && type < 0x1600) {
        qxfuzz::YdScript(in, ch);
    } else {
        qxfuzz::Script(in, ch);
    }

    h.LoadDef(path.c_str());
    // The definition rows are the file's own SQL literals: a statement of them may fail.
    qxfuzz::Host host(h, item, 1);

    int got = Poll(h, ch, item, flags);
    qxfuzz::Trace("DataGet", got);
    // Each request may wait the file's delay; beyond that a poll must not linger.
    const int64_t delay = h.Ini().template GetValue<int>(SEC_COMM, "delay", 10);
    qxfuzz::ExpectWaitsBelow(60000 + (int64_t)ch.Written().size() * (delay > 0 ? delay : 0),
                             "DataGet");
    for (int fld = -1; fld <= h.DataSize() + 1 && fld <= 64; fld++)
        h.DataVal(fld);
    SimpleIni& ini = h.Ini();
    for (auto it = ini.beginKey(SEC_FLDSVAL); it != ini.endKey(SEC_FLDSVAL); ++it) {
        char text[256];
        snprintf(text, sizeof text, ".%s", it->first.c_str());
        h.VarEval(text);
    }
    // The poll's values and the summary go into statements as escaped literals or numbers.
    int bits[2] = {got ? item.Ext2 : 0, 0};
    host.Store(h, 0, got ? bits : nullptr);
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, cmd, nullptr, flags));
    unlink(path.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 16384)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    switch (in.Byte() % 4) {
    case 0: Run<CSMModbus>(in, 0x1200); break;
    case 1: Run<CSMNormal>(in, 0x1600); break;
    case 2: Run<CSMSnmpPub>(in, 0x1000); break;
    default: Run<CSMYdt1363>(in, 0x1400); break;
    }
    return 0;
}
