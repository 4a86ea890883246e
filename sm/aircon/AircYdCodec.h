#pragma once
// The YD/T 1363 character codec that the DME3000 and T-MASTER units are documented with: the
// frame routines of TeFrame.h with a fixed VER (0x21 or 0x20) and CID1 60, readers whose
// length argument is a minimum rather than an exact count, and a character that is not
// hexadecimal read as the nibble 15 (ASCII2HEX itself gives 255 for it). Replies that passed
// the shared check hold only upper-case digits and blanks, which both codecs read alike.
#include <stddef.h>
#include <stdint.h>

class CAircYdCodec {
public:
    explicit CAircYdCodec(uint8_t ver) : m_ver(ver) {}

    uint8_t Ver() const { return m_ver; }

    // '0'-'9' 0-9, 'A'-'F' and 'a'-'f' 10-15, any other character 255.
    static uint8_t ASCII2HEX(uint8_t c);
    // The upper-case hexadecimal character of the high or low nibble.
    static uint8_t HASCII(uint8_t b);
    static uint8_t LASCII(uint8_t b);
    // LENGTH: lenid & 0xFFF with its LCHKSUM nibble on top.
    static uint16_t GetChkLength(int lenid);
    // The request '~', VER, ADR, CID1 60, CID2, LENGTH, INFO, CHKSUM, CR into out; its length
    // (18 + 2n, n = infoLen & 0xFFF, 0 without info), or 0 when it does not fit outSize.
    int CmdPack(uint8_t* out, size_t outSize, uint8_t cid2, uint8_t adr, const uint8_t* info,
                int infoLen) const;
    // 1 when each of the n characters is '~', a digit, 'A'-'F', CR or a blank.
    static int GetChkASCII(const uint8_t* p, unsigned n);
    // 1 when the characters n-5 .. n-2 are the CHKSUM of the characters 1 .. n-6.
    static int GetChkSum(const uint8_t* p, unsigned n);
    // Values of the first 2, 4 or 8 characters (n at least that many, else 0; a blank among
    // them gives 0), first most significant; Acsii2double reads the pairs least significant
    // first as sign, exponent and mantissa of a single, with no special case for exponent 0.
    static uint8_t Acsii2uint8(const uint8_t* p, unsigned n);
    static uint16_t Acsii2uint16(const uint8_t* p, unsigned n);
    static double Acsii2double(const uint8_t* p, unsigned n);

private:
    uint8_t m_ver;
};
