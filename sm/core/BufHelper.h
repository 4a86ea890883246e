#pragma once
#include <iconv.h>
#include <stddef.h>
#include <stdint.h>

// Codecs shared by every driver: fixed-width fields in either byte order, the additive, XOR
// and Modbus checks, hexadecimal text, a bit test, code page conversion, and the Modbus RTU
// and YD/T 1363 request builders. Stateless and free of allocation: any driver may call them
// at any time.
//
// Byte-order names: dw = 32-bit, wd = 16-bit, fv = 32-bit IEEE float; FromBuf reads, ToBuf
// writes; no suffix is most significant byte first, LH least significant byte first. Every
// field is read and written byte by byte, so buffers may have any alignment.
class CBufHelper {
public:
    static uint32_t dwFromBuf(const uint8_t* p);
    static void dwToBuf(uint8_t* p, uint32_t v);
    static uint32_t dwFromBufLH(const uint8_t* p);
    static void dwToBufLH(uint8_t* p, uint32_t v);
    static uint16_t wdFromBuf(const uint8_t* p);
    static void wdToBuf(uint8_t* p, uint16_t v);
    static uint16_t wdFromBufLH(const uint8_t* p);
    static void wdToBufLH(uint8_t* p, uint16_t v);
    // The four bytes in buffer order are the float's bytes least significant first (the
    // order YD/T 1363 INFO and several devices send). fvToBuf writes the bit pattern most
    // significant byte first, as dwToBuf does: the two are not inverses of each other.
    static float fvFromBuf(const uint8_t* p);
    static void fvToBuf(uint8_t* p, float v);

    // 16-bit additive sum (kept to 16 bits) and 8-bit XOR of n bytes; 0 for n <= 0.
    static uint16_t sum(const uint8_t* p, int n);
    static uint8_t Xor(const uint8_t* p, int n);
    // Modbus CRC-16: start 0xFFFF, reflected polynomial 0xA001, no final inversion. Frames
    // carry it low byte first. Taken over all n bytes (0 bytes for n <= 0 gives 0xFFFF).
    static uint16_t crc16(const uint8_t* p, int n);

    // Hexadecimal digits: '0'-'9', 'A'-'F', 'a'-'f' -> 0..15, anything else 0; the upper-case
    // digit of a byte's high or low nibble.
    static uint8_t ascii2hex(uint8_t c);
    static char hex2asciiHigh(uint8_t b);
    static char hex2asciiLow(uint8_t b);

    // Value of up to n hexadecimal characters, most significant first; stops at a NUL; a
    // character that is not hexadecimal counts as the digit 0. 0 for a null text.
    static uint32_t HexVal(const char* text, int n);
    static uint32_t HexVal(const uint8_t* text, int n) { return HexVal(reinterpret_cast<const char*>(text), n); }
    // Float of 8 hexadecimal characters: four bytes of two characters each in text order,
    // then fvFromBuf (so "0000803F" is 1.0).
    static float HexValF(const char* text);
    static float HexValF(const uint8_t* text) { return HexValF(reinterpret_cast<const char*>(text)); }

    // Each pair of hexadecimal characters of text (len characters, 0 = up to its NUL, never
    // past its NUL) becomes one byte of out. Returns the number of bytes; 0 for a null text.
    static int BufFromStr(uint8_t* out, const char* text, int len = 0);
    // Kept for callers of the old dump routine: always the empty text.
    static const char* BufToStr(const uint8_t* p, int n, char sep);
    // Tokens of hexadecimal digits separated by spaces become one byte each: a space moves to
    // the next byte, any other character shifts the current byte left by 4 bits and ORs in its
    // digit. The caller clears out first. Walks len characters (stopping at a NUL), then sets
    // the byte after the last index to 0 and returns the last index + 1; -1 for null pointers.
    static int AsciiStr2HexStr(uint8_t* out, const char* text, int len);
    // Two upper-case digits per byte; with sep >= 1 the character sep follows each byte and
    // the last one becomes the terminator. Returns the text length (2n, or 3n - 1 with a
    // separator, 0 for no bytes); -1 for null pointers. out needs 3n + 1 characters.
    static int HexStr2AsciiStr(char* out, const uint8_t* in, int n, int sep);
    // Bit (bit mod 8) of byte (bit / 8), bit 0 least significant; 0 when that byte lies at or
    // beyond count.
    static int GetBitState(const uint8_t* p, int count, int bit);

    // Converts len bytes of in with an open iconv converter into out, which must hold 4 * len
    // bytes; returns the number of bytes written (what was converted before an invalid
    // sequence). With the invalid handle (iconv_t)-1 the bytes are copied unchanged.
    static int conv_code(iconv_t cd, char* out, const char* in, int len);
    // Converts the NUL-terminated text in from code page `from` to `to` (out holds four times
    // its length). Byte orders are those the devices use: "UCS-2" is big-endian without a
    // mark; "UTF-16" is written as the mark FE FF followed by big-endian units and read
    // big-endian unless a mark says otherwise. When no converter can be opened the text is
    // copied unchanged and its length returned.
    static int conv_code(const char* to, const char* from, char* out, const char* in);

    // Modbus RTU read request: address, function, register, count (high bytes first), CRC
    // low byte first. Returns 8; 0 for a null buffer.
    static int ModBusCmd(uint8_t* buf, int address, int function, int reg, int count);
    // Modbus RTU request with data: function 15 adds a byte count ceil(count / 8) and that many
    // data bytes, function 16 a byte count 2 * count and that many data bytes (count written
    // as 0 and no data when data is null); other functions are the six head bytes and the CRC.
    // Returns the frame length; 0 for a null buffer or a byte count above 255.
    static int ModBusCmdN(uint8_t* buf, int address, int function, int reg, int count,
                          const uint8_t* data);
    // The same, refusing (0) a frame longer than bufSize.
    static int ModBusCmdN(uint8_t* buf, size_t bufSize, int address, int function, int reg,
                          int count, const uint8_t* data);
    // A register write of a module's own shape: address, function, register and count (high
    // bytes first), with byteCount a byte count 2 * count, then the 2 * count data bytes as they
    // lie in data (wire order), then the CRC low byte first. Returns 2 * count + 8 (+ 1 with
    // the byte count); 0 for a null buffer, a count below 0, data null with a count, a byte
    // count above 255 or a frame longer than bufSize.
    static int ModBusRegs(uint8_t* buf, size_t bufSize, int address, int function, int reg,
                          int count, const uint8_t* data, bool byteCount);

    // YD/T 1363 request "~VVAACCDDLLLL<INFO>SSSS\r" with a NUL after the CR: returns
    // 18 + 2 * infoLen (the NUL not counted); infoLen is taken mod 2048, a null info as none.
    static int YdCmd(char* buf, int adr, int cid1, int cid2, int ver, const uint8_t* info,
                     int infoLen);
    // The same, refusing (0) a frame whose characters and NUL exceed bufSize.
    static int YdCmd(char* buf, size_t bufSize, int adr, int cid1, int cid2, int ver,
                     const uint8_t* info, int infoLen);
    // 0 when the frame checks, else the first failed test: 1 shorter than 18; 2 no '~' first;
    // 3 a character other than a hexadecimal digit (either case) after SOI before the first
    // CR; 4 shorter than 18 once cut after the first CR; 5 LENID differs from the cut length
    // - 18; 6 wrong LCHKSUM; 7 wrong CHKSUM.
    static int YdChk(const uint8_t* frame, int len);
    static int YdChk(const char* frame, int len) { return YdChk(reinterpret_cast<const uint8_t*>(frame), len); }
    // LENID of a frame (LENGTH & 0xFFF), -1 for a null frame or one shorter than 18.
    static int YdDatLen(const uint8_t* frame, int len);
    static int YdDatLen(const char* frame, int len) { return YdDatLen(reinterpret_cast<const uint8_t*>(frame), len); }
    // Character offset of field n of an INFO of b one-byte fields followed by four-byte floats
    // (fields numbered from 1), after a one-byte DATAFLAG when flag is nonzero.
    static int YdIdxF(int n, int b, int flag);
    // HexValF of the 8 characters at YdIdxF(n, b, flag). The second form returns 0 when those
    // characters lie beyond len.
    static float YdDatF(const uint8_t* frame, int n, int b, int flag);
    static float YdDatF(const uint8_t* frame, int len, int n, int b, int flag);
};
