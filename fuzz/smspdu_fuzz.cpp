// The SMS PDU codec on arbitrary input: the hex-text and number readers and the user-data
// decoders on what a modem or a stored PDU may hold, and the encoders on any record the
// host may store (number, centre, text, PID, DCS).
// Input: a selector byte, then the text (decoders: the hex text or the octets; encoders: the
// centre and the number up to a NUL each, then the PID, the DCS and the text).
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "FuzzRig.h"
#include "io/SmsPdu.h"

namespace {

void Decoders(const uint8_t* p, size_t n)
{
    // Exact-size copies without a terminator, so that any read past them is caught.
    std::vector<char> text(p, p + n);
    const int len = (int)n;
    std::vector<uint8_t> octets(n / 2 + 1);
    int k = gsmString2Bytes(text.data(), octets.data(), len);
    if (k != len / 2)
        __builtin_trap();

    std::vector<char> digits(n + 2);
    int d = gsmSerializeNumbers(text.data(), digits.data(), len);
    if (d < 0 || d > len || digits[d] != '\0')
        __builtin_trap();
    std::vector<char> swapped(n + 2);
    int s = gsmInvertNumbers(text.data(), swapped.data(), len);
    if (s < len || s > len + 1)
        __builtin_trap();

    // The decoders on the raw octets.
    const uint8_t* raw = n ? p : nullptr;
    std::vector<char> seven(n * 8 / 7 + 2);
    int c = gsmDecode7bit(raw, seven.data(), len);
    if (c < 0 || (size_t)c >= seven.size() || seven[c] != '\0')
        __builtin_trap();
    std::vector<char> eight(n + 1);
    if (gsmDecode8bit(raw, eight.data(), len) != len)
        __builtin_trap();
    for (size_t room : {(size_t)1, (size_t)n + 1, 2 * n + 2}) {
        std::vector<char> gbk(room);
        int g = gsmDecodeUcs2(raw, len, gbk.data(), room);
        if (g >= 0 && ((size_t)g >= room || gbk[g] != '\0'))
            __builtin_trap();
    }
    std::string terminated(text.begin(), text.end());
    gsmSmscOctets(terminated.c_str());
}

void Encoders(qxfuzz::Input& in)
{
    SM_PARAM p;
    memset(&p, 0, sizeof p);
    std::string smsc = in.Text(), phone = in.Text();
    if (smsc.size() >= sizeof p.Smsc || phone.size() >= sizeof p.Phone)
        return;
    memcpy(p.Smsc, smsc.data(), smsc.size());
    memcpy(p.Phone, phone.data(), phone.size());
    p.Pid = in.Byte();
    uint8_t dcs = in.Byte();
    p.Dcs = dcs % 3 == 0 ? 0 : dcs % 3 == 1 ? 8 : dcs;
    qxfuzz::Bytes text = in.Take(sizeof p.Text - 1);
    if (!text.empty())
        memcpy(p.Text, text.data(), text.size());

    for (size_t room : {(size_t)16, (size_t)qx::sms::kPduHexMax + 1}) {
        std::vector<char> out(room);
        int n = gsmEncodePdu(&p, out.data(), room);
        if (n < 0 || (size_t)n >= room || (n && out[n] != '\0'))
            __builtin_trap();
    }
    std::vector<uint8_t> ucs2(qx::sms::kUcs2Max);
    int u = gsmEncodeUcs2(p.Text, ucs2.data(), ucs2.size());
    int total = u > 0 ? (u + qx::sms::kPartOctets - 1) / qx::sms::kPartOctets : 1;
    for (int seq = 0; seq <= total + 1; seq++) {
        std::vector<char> out(qx::sms::kPduHexMax + 1);
        int n = gsmEncodePdul(&p, out.data(), out.size(), total, seq, 7);
        if (n < 0 || (size_t)n >= out.size())
            __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1 || size > 4096)
        return 0;
    if (data[0] & 1) {
        Decoders(data + 1, size - 1);
    } else {
        qxfuzz::Input in(data + 1, size - 1);
        Encoders(in);
    }
    return 0;
}
