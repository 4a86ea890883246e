#include "BufHelper.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include "TeFrame.h"

uint32_t CBufHelper::dwFromBuf(const uint8_t* p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

void CBufHelper::dwToBuf(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)(v >> 24);
    p[1] = (uint8_t)(v >> 16);
    p[2] = (uint8_t)(v >> 8);
    p[3] = (uint8_t)v;
}

uint32_t CBufHelper::dwFromBufLH(const uint8_t* p)
{
    return (uint32_t)p[3] << 24 | (uint32_t)p[2] << 16 | (uint32_t)p[1] << 8 | p[0];
}

void CBufHelper::dwToBufLH(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

uint16_t CBufHelper::wdFromBuf(const uint8_t* p)
{
    return (uint16_t)(p[0] << 8 | p[1]);
}

void CBufHelper::wdToBuf(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)(v >> 8);
    p[1] = (uint8_t)v;
}

uint16_t CBufHelper::wdFromBufLH(const uint8_t* p)
{
    return (uint16_t)(p[1] << 8 | p[0]);
}

void CBufHelper::wdToBufLH(uint8_t* p, uint16_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
}

float CBufHelper::fvFromBuf(const uint8_t* p)
{
    uint32_t bits = dwFromBufLH(p);
    float f;
    memcpy(&f, &bits, sizeof f);
    return f;
}

void CBufHelper::fvToBuf(uint8_t* p, float v)
{
    uint32_t bits;
    memcpy(&bits, &v, sizeof bits);
    dwToBuf(p, bits);
}

uint16_t CBufHelper::sum(const uint8_t* p, int n)
{
    uint16_t s = 0;
    for (int i = 0; p && i < n; i++)
        s = (uint16_t)(s + p[i]);
    return s;
}

uint8_t CBufHelper::Xor(const uint8_t* p, int n)
{
    uint8_t x = 0;
    for (int i = 0; p && i < n; i++)
        x ^= p[i];
    return x;
}

uint16_t CBufHelper::crc16(const uint8_t* p, int n)
{
    uint16_t crc = 0xFFFF;
    for (int i = 0; p && i < n; i++) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; bit++)
            crc = (crc & 1) ? (uint16_t)((crc >> 1) ^ 0xA001) : (uint16_t)(crc >> 1);
    }
    return crc;
}

uint8_t CBufHelper::ascii2hex(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return (uint8_t)(c - '0');
    if (c >= 'A' && c <= 'F')
        return (uint8_t)(c - 'A' + 10);
    if (c >= 'a' && c <= 'f')
        return (uint8_t)(c - 'a' + 10);
    return 0;
}

static const char kHexDigits[] = "0123456789ABCDEF";

char CBufHelper::hex2asciiHigh(uint8_t b)
{
    return kHexDigits[b >> 4];
}

char CBufHelper::hex2asciiLow(uint8_t b)
{
    return kHexDigits[b & 0x0F];
}

uint32_t CBufHelper::HexVal(const char* text, int n)
{
    uint32_t v = 0;
    for (int i = 0; text && i < n && text[i] != '\0'; i++)
        v = v << 4 | ascii2hex((uint8_t)text[i]);
    return v;
}

float CBufHelper::HexValF(const char* text)
{
    uint8_t b[4] = {0, 0, 0, 0};
    if (text) {
        // Stop at a NUL: the characters after it were never part of the text.
        size_t len = strnlen(text, 8);
        for (size_t i = 0; i < 4 && 2 * i < len; i++)
            b[i] = (uint8_t)HexVal(text + 2 * i, 2);
    }
    return fvFromBuf(b);
}

int CBufHelper::BufFromStr(uint8_t* out, const char* text, int len)
{
    if (!text || !out)
        return 0;
    size_t avail = len > 0 ? strnlen(text, (size_t)len) : strlen(text);
    int bytes = (int)(avail / 2);
    for (int i = 0; i < bytes; i++)
        out[i] = (uint8_t)HexVal(text + 2 * i, 2);
    return bytes;
}

const char* CBufHelper::BufToStr(const uint8_t* p, int n, char sep)
{
    return "";
}

int CBufHelper::AsciiStr2HexStr(uint8_t* out, const char* text, int len)
{
    if (!out || !text)
        return -1;
    int idx = 0;
    for (int i = 0; i < len && text[i] != '\0'; i++) {
        if (text[i] == ' ')
            idx++;
        else
            out[idx] = (uint8_t)(out[idx] << 4 | ascii2hex((uint8_t)text[i]));
    }
    out[idx + 1] = 0;
    return idx + 1;
}

int CBufHelper::HexStr2AsciiStr(char* out, const uint8_t* in, int n, int sep)
{
    if (!out || !in)
        return -1;
    if (n <= 0) {
        out[0] = '\0';
        return 0;
    }
    int o = 0;
    for (int i = 0; i < n; i++) {
        out[o++] = hex2asciiHigh(in[i]);
        out[o++] = hex2asciiLow(in[i]);
        if (sep >= 1)
            out[o++] = (char)sep;
    }
    if (sep >= 1)
        o--;  // the separator after the last byte becomes the terminator
    out[o] = '\0';
    return o;
}

int CBufHelper::GetBitState(const uint8_t* p, int count, int bit)
{
    if (!p || bit < 0 || bit / 8 >= count)
        return 0;
    return (p[bit / 8] >> (bit % 8)) & 1;
}

int CBufHelper::conv_code(iconv_t cd, char* out, const char* in, int len)
{
    if (!out || !in || len <= 0)
        return 0;
    if (cd == (iconv_t)-1) {
        memcpy(out, in, (size_t)len);
        return len;
    }
    char* src = const_cast<char*>(in);
    size_t srcLeft = (size_t)len;
    char* dst = out;
    size_t room = 4 * (size_t)len;
    size_t dstLeft = room;
    // An invalid or incomplete sequence stops the conversion: what came before it is kept.
    iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv(cd, nullptr, nullptr, &dst, &dstLeft);
    return (int)(room - dstLeft);
}

// Code page names as the devices mean them. glibc's plain "UCS-2" and "UTF-16" use the
// machine's byte order; the protocols that name them mean big-endian units.
static bool SameName(const char* a, const char* b)
{
    return strcasecmp(a, b) == 0;
}

int CBufHelper::conv_code(const char* to, const char* from, char* out, const char* in)
{
    if (!out || !in)
        return 0;
    int len = (int)strlen(in);
    if (!to || !from) {
        memcpy(out, in, (size_t)len);
        return len;
    }
    const char* src = in;
    int srcLen = len;
    const char* fromName = from;
    if (SameName(from, "UCS-2")) {
        fromName = "UCS-2BE";
    } else if (SameName(from, "UTF-16")) {
        fromName = "UTF-16BE";
        if (srcLen >= 2 && (uint8_t)src[0] == 0xFF && (uint8_t)src[1] == 0xFE) {
            fromName = "UTF-16LE";
            src += 2;
            srcLen -= 2;
        } else if (srcLen >= 2 && (uint8_t)src[0] == 0xFE && (uint8_t)src[1] == 0xFF) {
            src += 2;
            srcLen -= 2;
        }
    }
    const char* toName = to;
    int mark = 0;
    if (SameName(to, "UCS-2")) {
        toName = "UCS-2BE";
    } else if (SameName(to, "UTF-16")) {
        toName = "UTF-16BE";
        mark = srcLen > 0 ? 2 : 0;
    }
    iconv_t cd = iconv_open(toName, fromName);
    if (cd == (iconv_t)-1) {
        memcpy(out, in, (size_t)len);
        return len;
    }
    if (mark) {
        out[0] = (char)0xFE;
        out[1] = (char)0xFF;
    }
    // The output holds 4 * len bytes; a mark takes 2 of them, and the units of the rest never
    // need more than 2 bytes per input byte.
    int n = conv_code(cd, out + mark, src, srcLen);
    iconv_close(cd);
    return n + mark;
}

int CBufHelper::ModBusCmd(uint8_t* buf, int address, int function, int reg, int count)
{
    if (!buf)
        return 0;
    buf[0] = (uint8_t)address;
    buf[1] = (uint8_t)function;
    wdToBuf(buf + 2, (uint16_t)reg);
    wdToBuf(buf + 4, (uint16_t)count);
    wdToBufLH(buf + 6, crc16(buf, 6));
    return 8;
}

namespace {

// A write frame in buf: address, function, register, count field, with byteCount the byte
// count of the data, the data bytes, the CRC low byte first. Returns its length. The caller
// has checked that it fits.
size_t PutWrite(uint8_t* buf, int address, int function, int reg, uint16_t count, bool byteCount,
                size_t bytes, const uint8_t* data)
{
    buf[0] = (uint8_t)address;
    buf[1] = (uint8_t)function;
    CBufHelper::wdToBuf(buf + 2, (uint16_t)reg);
    CBufHelper::wdToBuf(buf + 4, count);
    size_t o = 6;
    if (byteCount)
        buf[o++] = (uint8_t)bytes;
    if (bytes)
        memcpy(buf + o, data, bytes);
    o += bytes;
    // The low-order CRC byte goes first.
    CBufHelper::wdToBufLH(buf + o, CBufHelper::crc16(buf, (int)o));
    return o + 2;
}

}  // namespace

int CBufHelper::ModBusRegs(uint8_t* buf, size_t bufSize, int address, int function, int reg,
                           int count, const uint8_t* data, bool byteCount)
{
    if (!buf || count < 0 || count > 0xFFFF || (count > 0 && !data))
        return 0;
    size_t bytes = 2u * (size_t)count;
    if ((byteCount && bytes > 255) || 8 + bytes + (byteCount ? 1 : 0) > bufSize)
        return 0;
    return (int)PutWrite(buf, address, function, reg, (uint16_t)count, byteCount, bytes, data);
}

int CBufHelper::ModBusCmdN(uint8_t* buf, int address, int function, int reg, int count,
                           const uint8_t* data)
{
    return ModBusCmdN(buf, SIZE_MAX, address, function, reg, count, data);
}

int CBufHelper::ModBusCmdN(uint8_t* buf, size_t bufSize, int address, int function, int reg,
                           int count, const uint8_t* data)
{
    if (!buf)
        return 0;
    uint8_t fn = (uint8_t)function;
    uint16_t n = (uint16_t)count;
    bool withData = fn == 15 || fn == 16;
    if (withData && !data)
        n = 0;
    size_t bytes = 0;
    if (fn == 15)
        bytes = (n + 7u) / 8u;
    else if (fn == 16)
        bytes = 2u * n;
    // The byte count is one byte on the wire: a longer write cannot be framed.
    if (bytes > 255)
        return 0;
    if ((withData ? 9 + bytes : 8) > bufSize)
        return 0;
    return (int)PutWrite(buf, address, fn, reg, n, withData, bytes, data);
}

int CBufHelper::YdCmd(char* buf, int adr, int cid1, int cid2, int ver, const uint8_t* info,
                      int infoLen)
{
    return YdCmd(buf, SIZE_MAX, adr, cid1, cid2, ver, info, infoLen);
}

int CBufHelper::YdCmd(char* buf, size_t bufSize, int adr, int cid1, int cid2, int ver,
                      const uint8_t* info, int infoLen)
{
    if (!buf)
        return 0;
    int bytes = (info && infoLen > 0) ? infoLen % 2048 : 0;
    int lenid = 2 * bytes;
    size_t need = 18 + (size_t)lenid + 1;
    if (need > bufSize)
        return 0;
    int o = snprintf(buf, need, "~%02X%02X%02X%02X%04X", ver & 0xFF, adr & 0xFF, cid1 & 0xFF,
                     cid2 & 0xFF, TE_GetChkLength((uint16_t)lenid));
    for (int i = 0; i < bytes; i++) {
        buf[o++] = hex2asciiHigh(info[i]);
        buf[o++] = hex2asciiLow(info[i]);
    }
    uint16_t chk = (uint16_t)(0x10000 - sum(reinterpret_cast<const uint8_t*>(buf) + 1, o - 1));
    o += snprintf(buf + o, need - (size_t)o, "%04X\r", chk);
    return o;
}

static bool IsHexDigit(uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int CBufHelper::YdChk(const uint8_t* frame, int len)
{
    if (!frame || len < 18)
        return 1;
    if (frame[0] != '~')
        return 2;
    // The frame ends just after its first CR; without a CR every character counts.
    const uint8_t* cr = static_cast<const uint8_t*>(memchr(frame + 1, '\r', (size_t)len - 1));
    int body = cr ? (int)(cr - frame) : len;  // characters before the CR
    int cut = cr ? body + 1 : len;
    for (int i = 1; i < body; i++)
        if (!IsHexDigit(frame[i]))
            return 3;
    if (cut < 18)
        return 4;
    uint16_t length = (uint16_t)HexVal(frame + 9, 4);
    int lenid = length & 0xFFF;
    if (lenid != cut - 18)
        return 5;
    if (TE_GetChkLength((uint16_t)lenid) != length)
        return 6;
    uint16_t chk = (uint16_t)(0x10000 - sum(frame + 1, 12 + lenid));
    if ((uint16_t)HexVal(frame + cut - 5, 4) != chk)
        return 7;
    return 0;
}

int CBufHelper::YdDatLen(const uint8_t* frame, int len)
{
    if (!frame || len < 18)
        return -1;
    return (int)(HexVal(frame + 9, 4) & 0xFFF);
}

int CBufHelper::YdIdxF(int n, int b, int flag)
{
    int start = flag ? 15 : 13;
    if (b < 0)
        b = 0;
    if (n > b)
        return start + 2 * b + 8 * (n - b - 1);
    // A one-byte field: two characters each, from the start.
    return n >= 1 ? start + 2 * (n - 1) : start;
}

float CBufHelper::YdDatF(const uint8_t* frame, int n, int b, int flag)
{
    if (!frame)
        return 0.0f;
    return HexValF(frame + YdIdxF(n, b, flag));
}

float CBufHelper::YdDatF(const uint8_t* frame, int len, int n, int b, int flag)
{
    if (!frame)
        return 0.0f;
    int at = YdIdxF(n, b, flag);
    if (at + 8 > len)
        return 0.0f;
    return HexValF(frame + at);
}
