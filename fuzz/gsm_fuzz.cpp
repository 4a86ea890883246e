// The GSM modem alarm's AT dialogues over a scripted channel answered by the fuzz input:
// initialisation, readiness test, message centre query and the send of a stored message,
// then the AT reply readers on one reply of the script.
// Input: the command (0..6), the point (FuzzRig.h Point), the stored number and text (each up
// to a NUL), then the channel's script.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>

#include "FuzzRig.h"
#include "io/AtModem.h"
#include "io/SMAlmGsm.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 8192)
        return 0;
    qxfuzz::SkipWaits();
    qxfuzz::Input in(data, size);
    static const int kCmds[] = {0, 1, 2, 3, 34, 35, 30};
    const int cmd = kCmds[in.Int(0, 6)];
    CSMAlmGsm h;
    tagSMItem item = qxfuzz::Point(in, 0xA01);
    std::string phone = in.Text(), text = in.Text();
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);

    qxfuzz::Db& db = qxfuzz::Db::Main();
    h.SetDb(&db, 0);
    h.ChkDb(&item);
    h.DoItem(&item, 0);
    h.DoFunc(&ch, item.Addr, 31, (void*)phone.c_str(), (int)phone.size());
    h.DoFunc(&ch, item.Addr, 32, (void*)text.c_str(), (int)text.size());
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, cmd, (void*)text.c_str(), (int)text.size()));
    // The longest dialogue: the readiness tests, the initialisation and eight parts.
    qxfuzz::ExpectWaitsBelow(120000, "DoFunc");
    if (h.m_strSmsc.find_first_not_of("0123456789") != std::string::npos)
        __builtin_trap();
    h.DataGet(&ch, item.Addr, 0);
    db.Mark();
    int bits[2] = {1, 0};
    h.DataUpd(0, bits, nullptr, -1, nullptr);
    db.ExpectNoFailure("DataUpd");

    // The readers on whatever the script still holds.
    qx::at::Reply r;
    r.Read(&ch, qx::at::kReplyMax);
    int v = 0;
    qx::at::CsqValue(r, &v);
    qx::at::NumberAfter(r, ": ", &v);
    std::string q;
    if (qx::at::Quoted(r, 0, &q) && q.size() >= (size_t)r.Len())
        __builtin_trap();
    r.Find("OK", r.Len() - 1);
    return 0;
}
