#include "aircon/AircYdCodec.h"

#include <math.h>

#include "TeFrame.h"

namespace {

const int kCid1 = 0x60;

bool HasBlank(const uint8_t* p, unsigned n) {
    for (unsigned i = 0; i < n; i++)
        if (p[i] == ' ') return true;
    return false;
}

// Nibble of a character: a character that is not hexadecimal is 15.
unsigned Nib(uint8_t c) { return CAircYdCodec::ASCII2HEX(c) & 0x0F; }

}  // namespace

uint8_t CAircYdCodec::ASCII2HEX(uint8_t c) {
    if (c >= '0' && c <= '9') return (uint8_t)(c - '0');
    if (c >= 'A' && c <= 'F') return (uint8_t)(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return (uint8_t)(c - 'a' + 10);
    return 255;
}

uint8_t CAircYdCodec::HASCII(uint8_t b) { return TE_Hex2AsciiHigh(b); }
uint8_t CAircYdCodec::LASCII(uint8_t b) { return TE_Hex2AsciiLow(b); }

uint16_t CAircYdCodec::GetChkLength(int lenid) { return TE_GetChkLength((uint16_t)(lenid & 0xFFF)); }

int CAircYdCodec::CmdPack(uint8_t* out, size_t outSize, uint8_t cid2, uint8_t adr,
                          const uint8_t* info, int infoLen) const {
    const int n = info ? (infoLen & 0xFFF) : 0;
    return TE_CmdPack(out, outSize, m_ver, kCid1, cid2, adr, info, n, '~', '\r');
}

int CAircYdCodec::GetChkASCII(const uint8_t* p, unsigned n) { return TE_GetChkPack(p, (int)n); }

int CAircYdCodec::GetChkSum(const uint8_t* p, unsigned n) { return TE_GetChkSum(p, (int)n); }

uint8_t CAircYdCodec::Acsii2uint8(const uint8_t* p, unsigned n) {
    if (!p || n < 2 || HasBlank(p, 2)) return 0;
    return (uint8_t)(Nib(p[0]) << 4 | Nib(p[1]));
}

uint16_t CAircYdCodec::Acsii2uint16(const uint8_t* p, unsigned n) {
    if (!p || n < 4 || HasBlank(p, 4)) return 0;
    return (uint16_t)(Nib(p[0]) << 12 | Nib(p[1]) << 8 | Nib(p[2]) << 4 | Nib(p[3]));
}

double CAircYdCodec::Acsii2double(const uint8_t* p, unsigned n) {
    if (!p || n < 8 || HasBlank(p, 8)) return 0;
    uint32_t bits = 0;
    for (int i = 3; i >= 0; i--) bits = bits << 8 | Acsii2uint8(p + 2 * i, 2);
    const int sign = (bits >> 31) ? -1 : 1;
    const int exponent = (int)((bits >> 23) & 0xFF);
    const double mantissa = (double)(bits & 0x7FFFFF);
    return sign * (1.0 + mantissa * ldexp(1.0, -23)) * ldexp(1.0, exponent - 127);
}
