// The alarm output units' reply parsers over a scripted channel answered by the fuzz input:
// the remote alarm module's link (every command, its data handed out only from a checked
// reply), the text-command unit's value splitter and commands, and the CDMA modem's
// initialisation and send with the message builders on input texts.
// Input: the unit (0 link, 1 text unit, 2 CDMA), then per unit:
//   0: the command (0..17), then the channel's script;
//   1: the command (0..9), the point (FuzzRig.h Point), a stored text (to a NUL), then the
//      script; the rest of the input is also split into values;
//   2: the command (0..5), the number and the text (each to a NUL), then the script.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "FuzzRig.h"
#include "io/SMAlm3000.h"
#include "io/SMAlmPTW75.h"
#include "io/SMAlmSMT120.h"
#include "io/card.h"

namespace {

// Runs one link command; what it hands out must be whole data of a checked reply or nothing.
void Link(qxfuzz::Input& in)
{
    const int which = in.Int(0, 17);
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    CSMAlm3000 h;
    tagSMItem item;
    memset(&item, 0, sizeof item);
    item.Ser = &ch;
    h.DoItem(&item, 0);

    static const size_t kOut[] = {4, 4, 20, 1, 4, 1};  // id, status, request, signal, io, sms
    std::vector<uint8_t> out(64, 0xEE);  // the used part is checked below
    const size_t want = which < 6 ? kOut[which] : 0;
    uint8_t* o = out.data();
    std::vector<uint8_t> pic(300, 0x5A);
    int rc = 1;
    switch (which) {
    case 0: rc = rmt_get_device_id(o); break;
    case 1: rc = rmt_get_status(o); break;
    case 2: rc = rmt_get_rmt_req(o); break;
    case 3: rc = rmt_get_sig_qty(o); break;
    case 4: rc = rmt_read_io(o); break;
    case 5: rc = rmt_send_sms("13912345678", "fire", o); break;
    case 6: rc = rmt_clr_tts_text(); break;
    case 7: rc = rmt_set_tts_text("fire"); break;
    case 8: rc = rmt_set_snapshot("x"); break;
    case 9: rc = rmt_reset_gsm(); break;
    case 10: rc = rmt_send_mms("photo", pic.data(), (uint32_t)pic.size()); break;
    case 11: rc = rmt_reset_pstn(); break;
    case 12: rc = rmt_pstn_dial("10086", "fire"); break;
    case 13: rc = rmt_tts_local("fire"); break;
    case 14: rc = rmt_ctrl_relay(1, 1); break;
    case 15: rc = rmt_upload_pic(pic.data(), 256); break;
    case 16: rc = h.DoFunc(&ch, 0, 50, nullptr, 0) ? 0 : 1; break;
    default: rc = h.DoFunc(&ch, 0, 30, nullptr, 0) ? 0 : 1; break;
    }
    // Nothing beyond the command's data is ever written; on failure nothing at all.
    for (size_t i = (rc == 0 ? want : 0); i < out.size(); i++)
        if (out[i] != 0xEE && which < 6)
            __builtin_trap();
    // A reply is read in at most two reads: 3 bytes, then at most 32.
    for (int n : ch.ReadLengths())
        if (n > 32)
            __builtin_trap();
    CSMAlm3000::_AlarmHandler = nullptr;
}

void TextUnit(qxfuzz::Input& in)
{
    static const int kCmds[] = {10, 11, 20, 30, 34, 35, 53, 59, 36, 0};
    const int cmd = kCmds[in.Int(0, 9)];
    tagSMItem item = qxfuzz::Point(in, 0xA08);
    std::string text = in.Text();
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    CSMAlmSMT120 h;
    h.DoItem(&item, 0);
    h.DoFunc(&ch, item.Addr, 31, (void*)"13912345678", 0);
    h.DoFunc(&ch, item.Addr, 32, (void*)text.c_str(), 0);
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, item.Addr, cmd, (void*)text.c_str(), (int)text.size()));
    int before = h.m_iSignal;
    int got = h.DataGet(&ch, item.Addr, 0);
    if (!got && h.m_iSignal != before)
        __builtin_trap();
    qxfuzz::ExpectWaitsBelow(2000, "SMT-120");
}

void Cdma(qxfuzz::Input& in)
{
    static const int kCmds[] = {1, 3, 34, 35, 30, 0};
    const int cmd = kCmds[in.Int(0, 5)];
    std::string phone = in.Text(), text = in.Text();
    qxfuzz::ScriptChannel ch;
    qxfuzz::Script(in, ch);
    CSMAlmPTW75 h;
    h.DoFunc(&ch, 1, 31, (void*)phone.c_str(), 0);
    h.DoFunc(&ch, 1, 32, (void*)text.c_str(), 0);
    qxfuzz::Trace("DoFunc", h.DoFunc(&ch, 1, cmd, (void*)text.c_str(), 0));
    if (h.m_bGsmInited && h.m_iSignal < 6)
        __builtin_trap();
    // The line is whole or refused: its lengths are single octets.
    std::string line = CSMAlmPTW75::CmgsLine(phone, text);
    if (!line.empty() && (line.size() > 640 || line.compare(line.size() - 3, 3, "\"\r\n") != 0))
        __builtin_trap();
    qxfuzz::ExpectWaitsBelow(2000, "CDMA");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    qxfuzz::SkipWaits();
    // The value splitter on the whole input.
    std::vector<std::string> vals = CSMAlmSMT120::GetVals(data, (int)size);
    size_t total = 0;
    for (const auto& v : vals) {
        if (v.empty())
            __builtin_trap();
        total += v.size() + 3;
    }
    if (total > size)
        __builtin_trap();

    qxfuzz::Input in(data, size);
    switch (in.Int(0, 2)) {
    case 0: Link(in); break;
    case 1: TextUnit(in); break;
    default: Cdma(in); break;
    }
    return 0;
}
