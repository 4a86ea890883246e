#pragma once
// The template engine: device types 0x1600..0x17FF, command/response devices whose frames a
// definition file describes (the common part in SMEngine.h). What a poll sends and reads:
//
//   [comm]
//   SND=7E len adr cmd dat crc 0D   ; request template, tokens separated by single spaces
//   chk0=1                          ; first byte the check covers, in request and reply
//   chk=3                           ; reply must begin (bit 0) / end (bit 1) as the request
//   dat0=4                          ; first field byte of a reply
//   dinfo=I                         ; default field format: F float, I 16-bit, else a byte
//   dmax=200                        ; bytes read per reply (1..256)
//   cmds=01,03                      ; the commands of a poll, two hex digits every three
//   Yk01=05,0102                    ; control command 1: code 05, data 0102
//   [01H]                           ; command 01
//   cdat=0010                       ;   its data (hex) for "dat"
//   dinfo=B  dmax=32  dfac=10       ;   its own format, read length, float factor
//   1=F                             ;   field 1 is a float (times dfac), 2=- skips field 2
//   3bit=1                          ;   field 3 also split into 8 bits: 01H03-0 .. 01H03-7
//
// Template tokens: a token starting with 0-9 or A-F is a literal (pairs of hex digits);
// "adr" the bus address, "cmd" the code, "dat" the data, "len" the request's length, "dlen"
// the data's byte count, "crc" Modbus CRC-16 low byte first, "sum" the low byte of the
// additive sum, "xor" the XOR; a check covers the bytes from chk0 up to itself and is
// computed once every other byte, the length byte included, is in place. The last check
// token decides how replies are checked: its position counted from the end is the same in
// the reply. A leading literal is the head and a trailing one the tail of the frame.
//
// Field n of command 01 is stored as [vals] 01H<nn>. Only fields whose bytes all lie
// between dat0 and the reply's check (its end without one) are decoded; a float that is not
// finite or does not fit an int gives no value.
//
// Bounds: a request is at most 64 bytes, a reply at most 256; a template, command or data
// that is not hexadecimal where it must be, or that does not fit, is refused with a message
// and nothing is sent. A reply is refused when it is empty or too short to hold its check,
// its head or tail, or (in a poll) the data start.
#include <stdint.h>

#include <string>

#include "SMEngine.h"

class CSMNormal : public CSMEngine {
public:
    static constexpr int kMaxRequest = 64;
    static constexpr int kMaxReply = 256;
    // NormalChk results.
    static constexpr int kChkCrc = 1;
    static constexpr int kChkSum = 2;
    static constexpr int kChkXor = 3;
    static constexpr int kChkHead = 0x10;
    static constexpr int kChkTail = 0x20;
    static constexpr int kChkShort = 0x40;  // empty, or shorter than its check, head, tail or data

    explicit CSMNormal(int type);
    ~CSMNormal() override;

    int DataGet(ISerBase* ser, int addr, int ext) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    // Lays out one request from the template into buffer (kMaxRequest bytes) and returns its
    // length; 0 when it cannot be built (the reason printed), also when the template sends
    // the address and adr does not fit its byte. Describes the request in SendLen() ..
    // ChkDist().
    int NormalCmd(unsigned char* buffer, int adr, const char* cmd, const char* dat);
    // 0 when a reply of length bytes passes the checks of the request built last, else the
    // failed check's code. dataStart: the reply's data part (before its check) must reach it.
    int NormalChk(const unsigned char* reply, int length, int dataStart = 0);
    // Stores the fields of a checked reply in [vals] under section + field number.
    void ValsByDefault(const unsigned char* reply, int length, const char* section,
                       const char* dinfo);

    static int NormalSize(const char* format);
    // The field's value; *ok false for a float that is not finite or beyond int.
    static int NormalVal(const unsigned char* bytes, const char* format, int factor,
                         bool* ok = nullptr);
    static int _ishex(char c);

    int SendLen() const { return m_iSendLen; }
    int HeadLen() const { return m_iHeadLen; }
    int TailLen() const { return m_iTailLen; }
    int ChkKind() const { return m_wChkKind; }
    int ChkDist() const { return m_wChkDist; }

protected:
    const SMEngineDesc& Desc() const override;
    void LoadEngine() override;

private:
    // Bytes to read for a command's reply: its section's dmax or [comm] dmax, held to
    // 1..kMaxReply.
    int Dmax(const std::string& section) const;
    // Write the request in m_cmd, wait, read a reply of up to max bytes into reply; the
    // bytes read (gathered while a reply that arrived in parts does not yet check), -1 when
    // the request was not written whole.
    int Exchange(ISerBase* ser, int len, unsigned char* reply, int max, int dataStart);

    std::string m_sDinfo;
    int32_t m_iDmax;
    std::string m_sSnd;
    std::string m_sRcv;
    int32_t m_iChk;
    int32_t m_iChk0;
    int32_t m_iDat0;
    int32_t m_iSendLen;
    int32_t m_iHeadLen;
    int32_t m_iTailLen;
    uint16_t m_wChkKind;
    uint16_t m_wChkDist;
    uint8_t m_data[256];  // the value area Data() shows; the values live in [vals]
};
