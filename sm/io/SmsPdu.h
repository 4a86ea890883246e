#pragma once
// Short messages in PDU mode (3GPP TS 23.040 SMS-SUBMIT, TS 23.038 alphabets): one message, held
// in an SM_PARAM record, becomes one PDU when its text fits, else several parts joined by a
// concatenation header (information element 0, 8-bit reference). PDUs travel as hexadecimal
// text: two upper-case digits per octet, high nibble first.
//
//   SMSC field   L 91 <swapped centre digits>        L = octets after it (00: none given)
//   single       11 00 <n> 91 <swapped phone> PID DCS 00 UDL <user data>
//   part         51 00 <n> 91 <swapped phone> PID DCS 01 UDL 05 00 03 REF TOTAL SEQ <octets>
//
// The text is GBK; in a message in parts, and with DCS 8, it travels as UCS-2 big-endian
// (134 octets per part, so a part holds 67 Chinese characters).
//
// Every encoder refuses what its buffers or the message cannot hold (a result of 0 or -1),
// never truncates: a number that is not 1 to 15 digits, a text whose UCS-2 form exceeds the
// 1024-octet message buffer, a PDU that does not fit the caller's buffer.
#include <stddef.h>
#include <stdint.h>

class ISerBase;

struct SM_PARAM {
    char Smsc[16];    // message centre, digits, international form without '+'; "" for none
    char Phone[16];   // destination, digits
    uint8_t Pid;      // TP-PID
    uint8_t Dcs;      // TP-DCS: 0 seven-bit, 8 UCS-2, any other eight-bit
    char Aux[16];     // not used
    char Text[1024];  // GBK text, NUL-terminated
};

namespace qx {
namespace sms {
const int kPartOctets = 134;   // UCS-2 octets of text in one part
const int kUcs2Max = 1024;     // octets of the UCS-2 form of one message
const int kPduHexMax = 512;    // hex characters of one PDU
const int kMaxDigits = 15;     // digits of a number
const int kMaxParts = 255;     // the header counts parts in one octet
}  // namespace sms
}  // namespace qx

// Octets to hex text: writes 2n digits and a NUL; returns 2n.
int gsmBytes2String(const uint8_t* src, char* dst, int n);
// Hex text to octets: n characters give n/2 octets ('0'-'9' their value, any other character
// c the value c - 0x37, so 'A'-'F' give 10-15). Returns n/2.
int gsmString2Bytes(const char* src, uint8_t* dst, int n);
// Swaps the digits pairwise ("123" -> "21F3"); an odd count ends in 'F' and the last digit.
// Writes a NUL after them; returns the number of characters written (n, or n+1 when odd).
int gsmInvertNumbers(const char* src, char* dst, int n);
// The inverse: swaps the pairs back and drops a final 'F'. Writes a NUL; returns n, or n-1
// when an 'F' was dropped.
int gsmSerializeNumbers(const char* src, char* dst, int n);
// Seven-bit packing of n characters (each taken to 7 bits); pass the text length plus one so
// that the terminating NUL flushes the last partial octet. Returns the octets written.
int gsmEncode7bit(const char* src, uint8_t* dst, int n);
// Unpacks n octets into characters and a NUL; returns the characters written. dst holds
// n * 8 / 7 + 2 characters.
int gsmDecode7bit(const uint8_t* src, char* dst, int n);
// Eight-bit user data: a copy of n bytes; the decoder writes a NUL after them. Return n.
int gsmEncode8bit(const char* src, uint8_t* dst, int n);
int gsmDecode8bit(const uint8_t* src, char* dst, int n);
// The UCS-2 (big-endian, no mark) form of a GBK text into dst. Returns the octets written, or
// -1 when it does not fit dstSize (dst then holds nothing of it).
int gsmEncodeUcs2(const char* src, uint8_t* dst, size_t dstSize);
// n octets of UCS-2 (big-endian) to GBK text with a NUL. Returns the bytes written, or -1
// when they and the NUL do not fit dstSize.
int gsmDecodeUcs2(const uint8_t* src, int n, char* dst, size_t dstSize);

// The PDU of a message that fits one: hex text into out (NUL-terminated). Returns its length,
// or 0 when the record cannot be sent as one PDU (see above) or the text does not fit outSize.
int gsmEncodePdu(const SM_PARAM* param, char* out, size_t outSize);
// Part seq (1 to total) of a message in parts, with reference ref. Returns the hex length, or
// 0 when the part does not exist for this text (the text's parts do not number total) or the
// record cannot be sent.
int gsmEncodePdul(const SM_PARAM* param, char* out, size_t outSize, int total, int seq, int ref);
// Octets of the SMSC field at the front of a PDU's hex text (its first octet + 1), -1 when the
// text is too short.
int gsmSmscOctets(const char* pdu);

// 0 for n of -1 (and any n below 1), else a pseudo-random number in 0..n-1; the generator is
// seeded with the current time on every call.
int getRandom(int n);

// Sends the message on a modem in PDU mode: one PDU when its UCS-2 form is below 135 octets,
// else parts of 134 octets with one random reference, each through AT+CMGS and its prompt,
// and waits for each completion. Returns 1 when every PDU was accepted, 2 when the modem
// reported an error for one, 0 when the dialogue failed (no prompt, write failed, silence, the
// record could not be encoded).
int gsmSendSms(ISerBase* ser, const SM_PARAM* param);
// The completion of one PDU: 5 s, then the modem's answer. 1 "OK", 0 nothing, 2 anything else
// (after asking for the error with AT+CMEE?).
int endSendSms(ISerBase* ser);
