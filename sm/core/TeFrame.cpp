#include "TeFrame.h"

#include <string.h>

#include "BufHelper.h"

namespace {

const int kMaxInfoBytes = 2047;  // 2 * 2047 characters is the largest LENID

// Minus the 16-bit sum of n characters, as carried in CHKSUM.
uint16_t FrameChecksum(const uint8_t* p, int n)
{
    return (uint16_t)(0x10000 - CBufHelper::sum(p, n));
}

bool HasSpace(const uint8_t* p, unsigned n)
{
    return memchr(p, ' ', n) != nullptr;
}

uint32_t Digits(const uint8_t* p, unsigned n)
{
    uint32_t v = 0;
    for (unsigned i = 0; i < n; i++)
        v = v << 4 | CBufHelper::ascii2hex(p[i]);
    return v;
}

}  // namespace

int TE_CmdPack(uint8_t* buf, int ver, int cid1, int cid2, int adr, const uint8_t* info,
               int infoLen, int soi, int eoi)
{
    return TE_CmdPack(buf, SIZE_MAX, ver, cid1, cid2, adr, info, infoLen, soi, eoi);
}

int TE_CmdPack(uint8_t* buf, size_t bufSize, int ver, int cid1, int cid2, int adr,
               const uint8_t* info, int infoLen, int soi, int eoi)
{
    if (!buf)
        return 0;
    if (!info || infoLen < 0)
        infoLen = 0;
    if (infoLen > kMaxInfoBytes)
        return 0;
    size_t len = 18 + 2 * (size_t)infoLen;
    if (len > bufSize)
        return 0;
    int o = 0;
    buf[o++] = (uint8_t)soi;
    auto put = [&](uint8_t b) {
        buf[o++] = (uint8_t)CBufHelper::hex2asciiHigh(b);
        buf[o++] = (uint8_t)CBufHelper::hex2asciiLow(b);
    };
    put((uint8_t)ver);
    put((uint8_t)adr);
    put((uint8_t)cid1);
    put((uint8_t)cid2);
    uint16_t length = TE_GetChkLength((uint16_t)(2 * infoLen));
    put((uint8_t)(length >> 8));
    put((uint8_t)length);
    for (int i = 0; i < infoLen; i++)
        put(info[i]);
    uint16_t chk = FrameChecksum(buf + 1, o - 1);
    put((uint8_t)(chk >> 8));
    put((uint8_t)chk);
    buf[o++] = (uint8_t)eoi;
    return o;
}

uint16_t TE_GetChkLength(uint16_t lenid)
{
    lenid &= 0x0FFF;
    unsigned nibbles = (lenid & 0xF) + ((lenid >> 4) & 0xF) + ((lenid >> 8) & 0xF);
    unsigned lchk = (16 - nibbles % 16) % 16;
    return (uint16_t)(lchk << 12 | lenid);
}

int TE_GetChkPack(const uint8_t* frame, int len)
{
    if (!frame)
        return 0;
    for (int i = 0; i < len; i++) {
        uint8_t c = frame[i];
        bool ok = c == '~' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == '\r' ||
                  c == ' ';
        if (!ok)
            return 0;
    }
    return 1;
}

int TE_GetChkSum(const uint8_t* frame, int len)
{
    if (!frame || len < 6)
        return 0;
    uint16_t chk = FrameChecksum(frame + 1, len - 6);
    uint8_t text[4] = {
        (uint8_t)CBufHelper::hex2asciiHigh((uint8_t)(chk >> 8)),
        (uint8_t)CBufHelper::hex2asciiLow((uint8_t)(chk >> 8)),
        (uint8_t)CBufHelper::hex2asciiHigh((uint8_t)chk),
        (uint8_t)CBufHelper::hex2asciiLow((uint8_t)chk),
    };
    return memcmp(frame + len - 5, text, 4) == 0 ? 1 : 0;
}

uint8_t TE_Ascii2uint8(const uint8_t* p, unsigned n)
{
    if (!p || n != 2 || HasSpace(p, 2))
        return 0;
    return (uint8_t)Digits(p, 2);
}

uint16_t TE_Ascii2uint16(const uint8_t* p, unsigned n)
{
    if (!p || n != 4 || HasSpace(p, 4))
        return 0;
    return (uint16_t)Digits(p, 4);
}

uint32_t TE_Ascii2uint32(const uint8_t* p, unsigned n)
{
    if (!p || n != 8 || HasSpace(p, 8))
        return 0;
    return Digits(p, 8);
}

float TE_Ascii2float(const uint8_t* p, unsigned n)
{
    if (!p || n != 8 || HasSpace(p, 8))
        return 0.0f;
    uint8_t b[4];
    for (int i = 0; i < 4; i++)
        b[i] = (uint8_t)Digits(p + 2 * i, 2);
    return CBufHelper::fvFromBuf(b);
}

double TE_Ascii2double(const uint8_t* p, unsigned n)
{
    return (double)TE_Ascii2float(p, n);
}

uint8_t TE_Ascii2Hex(uint8_t c)
{
    return CBufHelper::ascii2hex(c);
}

uint8_t TE_Hex2AsciiHigh(uint8_t b)
{
    return (uint8_t)CBufHelper::hex2asciiHigh(b);
}

uint8_t TE_Hex2AsciiLow(uint8_t b)
{
    return (uint8_t)CBufHelper::hex2asciiLow(b);
}
