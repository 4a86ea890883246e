#pragma once
#include <stddef.h>
#include <stdint.h>

// YD/T 1363 frame routines written character by character, with the SOI and EOI characters
// given by the caller, and the readers of hexadecimal fields. A frame is
//   SOI VER ADR CID1 CID2/RTN LENGTH INFO CHKSUM EOI
// with every field after SOI in upper-case hexadecimal characters: LENGTH is four characters
// whose low 12 bits (LENID) count the INFO characters and whose top nibble is the LCHKSUM of
// LENID's three nibbles; CHKSUM is minus the sum of the characters from VER to the end of
// INFO, modulo 65536.

// Writes the frame (no terminating NUL) and returns its length, 18 + 2 * infoLen. A null
// info counts as none, a negative infoLen as 0. 0 for a null buffer or an INFO of more than
// 2047 bytes (its length would not fit LENID).
int TE_CmdPack(uint8_t* buf, int ver, int cid1, int cid2, int adr, const uint8_t* info,
               int infoLen, int soi, int eoi);
// The same, refusing (0) a frame longer than bufSize.
int TE_CmdPack(uint8_t* buf, size_t bufSize, int ver, int cid1, int cid2, int adr,
               const uint8_t* info, int infoLen, int soi, int eoi);
// The LENGTH word of an INFO of lenid characters: LCHKSUM << 12 | (lenid & 0xFFF).
uint16_t TE_GetChkLength(uint16_t lenid);
// 1 when every one of the len characters is '~', '0'-'9', 'A'-'F', CR or a space (lower-case
// digits fail), else 0; 0 for a null frame.
int TE_GetChkPack(const uint8_t* frame, int len);
// 1 when the four characters before the last (the EOI) equal, as upper-case hexadecimal, the
// CHKSUM of characters 1 to len - 6; else 0, and 0 for a frame too short to hold one.
int TE_GetChkSum(const uint8_t* frame, int len);

// Value of exactly 2, 4 or 8 hexadecimal characters (first most significant); 0 when n is not
// that count or one of the characters is a space. Other non-hexadecimal characters count 0.
uint8_t TE_Ascii2uint8(const uint8_t* p, unsigned n);
uint16_t TE_Ascii2uint16(const uint8_t* p, unsigned n);
uint32_t TE_Ascii2uint32(const uint8_t* p, unsigned n);
// Float of exactly 8 characters whose pairs are its bytes least significant first
// (characters 6 and 7 the most significant byte); 0 for another count or a space.
float TE_Ascii2float(const uint8_t* p, unsigned n);
double TE_Ascii2double(const uint8_t* p, unsigned n);

// The digit helpers under their frame-routine names.
uint8_t TE_Ascii2Hex(uint8_t c);
uint8_t TE_Hex2AsciiHigh(uint8_t b);
uint8_t TE_Hex2AsciiLow(uint8_t b);
