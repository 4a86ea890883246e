#pragma once
// The generic YD/T 1363 engine: device types 0x1400..0x15FF, each described by its definition
// file (the common part in SMEngine.h). What a poll asks and how the replies split:
//
//   [comm]
//   cid1=60          ; CID1 of every request (two hexadecimal characters)
//   cid2=42,44       ; the commands of a poll, one code every three characters
//   ver=21           ; VER of the requests (two characters)
//   bak=1            ; 0: ask the unit for its version (CID2 4F) before every poll;
//                    ; other: use ver, and ask once while it is empty
//   dinfo=I          ; field format of commands whose section gives none
//   dmax=200         ; characters to read per reply (18..511)
//   Yk01=0102        ; INFO of control command 1, sent with CID2 45
//   [42H]            ; the command 42
//   dinfo=F          ;   F: float, 8 characters, least significant byte first, times dfac
//                    ;   I: unsigned 16-bit, 4 characters; any other letter: a byte
//   dflag=1          ;   INFO bytes before the first field
//   dfac=10          ;   factor of the float fields
//   dcmd=01          ;   INFO of the request, sent as it stands (at most 45 characters)
//   dmax=300         ;   characters to read for this reply
//   2=-              ;   field 2 is skipped (it still takes its width)
//   3=I              ;   field 3 has a format of its own
//   3bit=2           ;   and is split into 16 bits: 42H03-0 .. 42H03-15
//
// Field n of command 42 goes to [vals] 42H01, 42H02, ...; a field the unit fills with "20"
// pairs (no data) stores an empty value.
//
// Every reply goes through the shared YD/T check (ReplyCheck.h) after the input was purged:
// SOI, upper-case hexadecimal fields, LCHKSUM, CHKSUM, EOI and RTN 0. Fields are taken only
// from the INFO: one that would run into the CHKSUM is not decoded. A missing, damaged or
// refused reply yields no fields for its command and the poll goes on with the next one, so a
// unit that refuses one command of its file is still read; DataGet is 1 when at least one
// reply was decoded, 0 when none was. A request not written whole ends the poll (0). Codes
// (ver, cid1, cid2), INFO texts and dmax from the file are checked before use; a cid2 list
// that cannot go into frames fails the poll, a section's dcmd or dflag that cannot fails its
// command, each with a message.
#include <string>

#include "SMEngine.h"

class CSMYdt1363 : public CSMEngine {
public:
    static constexpr int kReplySize = 512;    // the longest reply read, with its terminator
    static constexpr int kMaxInfo = 45;       // INFO characters of a request (in m_cmd)
    static constexpr int kMaxCommands = 64;   // commands of one poll
    static constexpr int kMinRead = 18;       // the shortest frame

    explicit CSMYdt1363(int type);
    ~CSMYdt1363() override;

    int DataGet(ISerBase* ser, int addr, int ext) override;
    int DoFunc(ISerBase* ser, int addr, int cmd, void* buf, int len) override;
    using CSMBase::DoFunc;

    // One request frame into buf (size bytes, a NUL after the CR): VER, CID1 and CID2 as two
    // characters each, INFO as the characters to send. Returns 18 + its length, or 0 when a
    // code is not two characters or the frame does not fit.
    static int YdCmd(unsigned char* buf, size_t size, const char* ver, unsigned char adr,
                     const char* cid1, const char* cid2, const char* info);
    // The unit's protocol version (CID2 4F), or "" when it gives none.
    std::string YdVer(ISerBase* ser, int addr);
    // Characters of a field by the first letter of its format: F 8, I 4, others 2.
    static int YdDatSize(const char* format);
    // The value of the field at text: a float times factor (truncated toward zero, 0 when
    // not finite, held to the int range), or the 16-bit or 8-bit unsigned value.
    static int YdVal(const unsigned char* text, const char* format, int factor);
    // 1 when every pair of the field's characters is "20" (no data).
    static int YdDatNone(const unsigned char* text, int size);

    const std::string& Ver() const { return m_sVer; }
    int32_t Dmax() const { return m_iDmax; }

protected:
    const SMEngineDesc& Desc() const override;
    void LoadEngine() override;

private:
    enum class Outcome { Decoded, Failed, WriteFailed };
    // One command of a poll: request, reply, fields into [vals]. Failed: nothing of it was
    // stored; WriteFailed: the request did not go out whole, which ends the poll.
    Outcome PollCommand(ISerBase* ser, int addr, const std::string& ver, const std::string& code,
                     int index);
    // dmax held to what the reply buffer can take; where (a section or [comm]) names it in
    // the message.
    int BoundDmax(int dmax, const char* where) const;

    std::string m_sDinfo;
    int32_t m_iDmax;
    int32_t m_iChk;
    int32_t m_iBak;
    std::string m_sVer;
    std::string m_sCid1;
    uint8_t m_data[256];  // the value area Data() shows; the values live in [vals]
};
