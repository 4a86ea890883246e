#pragma once
#include <stddef.h>
#include <stdint.h>

// The 11-byte request of the UPS byte protocol that starts with 0x81 0x88, shared by the
// drivers that speak it (the 9E driver's block protocol, the EDX driver):
//
//   byte   0     1     2     3     4    5     6..7           8..9            10
//          0x81  0x88  0xA1  0x01  id   0x03  param (LH)     length (LH)     XOR of 2..9
//
//   uint8_t req[qx::kFrame8188Len];
//   qx::Frame8188(req, sizeof req, 0x31, 0, 0x40);   // 81 88 A1 01 31 03 00 00 40 00 D2
//
// The 16-bit fields go low byte first. The check byte is CBufHelper::Xor over bytes 2 to 9.
namespace qx {

const int kFrame8188Len = 11;

// The usual frame: bytes 0..5 as drawn above, the identifier at 4. Returns 11; 0 for a null
// buffer or one shorter than 11 bytes (nothing written).
int Frame8188(uint8_t* buf, size_t size, uint8_t id, uint16_t param, uint16_t length);

// The same with every header byte given: byte 0, bytes 2 and 3, the identifier (4) and
// byte 5; byte 1 is always 0x88.
int Frame8188(uint8_t* buf, size_t size, uint8_t b0, uint8_t b2, uint8_t b3, uint8_t id,
              uint8_t b5, uint16_t param, uint16_t length);

}  // namespace qx
