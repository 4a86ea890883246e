#pragma once
#include <stdint.h>

class ISerBase;

// Reply checks and one-call exchanges for Modbus RTU, Modbus TCP and YD/T 1363, shared by
// every handler so that none writes its own. A reply is accepted only when every byte the
// caller will read arrived and belongs to a frame that checks:
//
//   Modbus RTU  the request's address and function, the byte count the request asks for
//               (read functions 1-4) or the echo of the request (writes 5, 6, 15, 16), and
//               a good CRC. An exception reply (function | 0x80) is a failure that reports
//               its exception code.
//   Modbus ASCII the RTU request sent as ':', the hexadecimal characters of its bytes (CRC
//               left out), their LRC and CR LF; the reply converted back to bytes and then
//               checked as RTU, with the LRC in place of the CRC.
//   Modbus TCP  the request's transaction id, protocol id 0, a length field that matches,
//               the unit, the function and the byte count or echo as for RTU.
//   YD/T 1363   SOI '~', upper-case hexadecimal fields (INFO may hold blanks, read as 0
//               by the field readers), LCHKSUM, LENID within what
//               arrived, EOI CR, CHKSUM, RTN 0, and an INFO that covers the offsets the
//               caller reads. The RTN is handed back either way.
//
// Checks take the request that was sent, so write and vendor functions are checked with the
// same call as reads. Bytes after a checked frame are ignored.
//
// Typical handler code:
//
//   uint8_t rx[64];
//   qx::MbReply r = qx::MbRead(ser, qx::MbFraming::Rtu, 0, addr, 3, 0x10, 4, rx, sizeof rx, wait);
//   if (!r.ok()) return 0;               // r.status says why, r.exception for code 0x83 etc.
//   m_volt = r.Word(0); m_freq = r.Word(3);
//
//   uint8_t rx[256];
//   qx::YdReply y = qx::YdRequest(ser, 0x21, addr, 0x2A, 0x42, nullptr, 0, rx, sizeof rx, 200, 59 + 4);
//   if (!y.ok()) return 0;               // chars 0..62 arrived and lie in a checked INFO
//   v = CBufHelper::HexVal(rx + 59, 4);
namespace qx {

enum class ReplyStatus : int {
    Ok = 0,
    BadArgument,  // null channel, request or buffer, or a request too short to check against
    WriteFailed,  // the request was not written whole
    NoReply,      // nothing arrived
    Short,        // fewer bytes than the frame needs
    BadCrc,       // Modbus RTU CRC
    BadAddress,   // RTU address, TCP unit or (when asked) YD/T ADR differs from the request's
    BadFunction,  // function code differs from the request's
    Exception,    // Modbus exception reply; the code is in `exception`
    BadCount,     // Modbus byte count or TCP length field does not match the request
    BadHeader,    // Modbus TCP transaction id or protocol id
    BadEcho,      // a Modbus write reply that does not echo the request
    BadFrame,     // YD/T: no SOI, a character that is not an upper-case hex digit, no EOI CR
    BadLength,    // YD/T: LENGTH with a wrong LCHKSUM
    BadChecksum,  // YD/T: CHKSUM
    ReturnCode,   // YD/T: RTN not 0; the code is in `rtn`
    NotCovered,   // YD/T: the INFO ends before the last character the caller reads
    AddressTooWide,  // the host's address does not fit the frame's address field: not sent
};

// Short English name of a status, for log lines.
const char* ReplyStatusText(ReplyStatus status);

// ------------------------------------------------------------------ addresses
// An address from the host (`Addr`) fits an address field of `bits` bits (8: a Modbus unit,
// a YD/T 1363 ADR, the one-byte address of a vendor protocol) only from 0 to 2^bits - 1. A
// handler refuses one that does not fit: nothing is sent and the poll is 0. It is never cut
// to its low bits, which would read another device into this point. MbRead, YdRequest and
// the handler base's exchanges refuse it themselves (AddressTooWide); a handler that builds
// its frame on its own tests it with AddrFits first.
inline bool AddrFits(int address, int bits = 8)
{
    return address >= 0 && (bits >= 31 || address < (1 << bits));
}

// ------------------------------------------------------------------ Modbus
enum class MbFraming { Rtu, Tcp, Ascii };

struct MbReply {
    ReplyStatus status = ReplyStatus::BadArgument;
    int exception = 0;              // exception code of a function | 0x80 reply
    const uint8_t* data = nullptr;  // functions 1-4: the first byte after the byte count;
                                    // others: the first byte after the function code
    int dataLen = 0;                // bytes at data (CRC excluded)
    int frameLen = 0;               // bytes of the checked frame
    int received = 0;               // bytes that arrived (or were given to the check)

    bool ok() const { return status == ReplyStatus::Ok; }
    // Big-endian register i of the data (0-based); 0 when it lies beyond the data.
    uint16_t Word(int i) const
    {
        return (i >= 0 && 2 * i + 1 < dataLen) ? (uint16_t)(data[2 * i] << 8 | data[2 * i + 1]) : 0;
    }
    // Coil or input i of the data, least significant bit of the first byte first.
    int Bit(int i) const
    {
        return (i >= 0 && i / 8 < dataLen) ? (data[i / 8] >> (i % 8)) & 1 : 0;
    }
};

// Bytes of the data part of a read reply: ceil(count / 8) for functions 1 and 2, 2 * count
// for 3 and 4; -1 for other functions.
int MbDataBytes(int function, int count);
// Bytes of a good reply to this request: fixed for functions 1-6, 15 and 16; -1 for others,
// whose replies are taken as they arrive.
//
// dataBytes (here and below): the byte count a good reply to a read (functions 1-4) carries
// when the device does not follow MbDataBytes, for example one byte per input of a function 2
// read; -1 for the standard count.
int MbReplyLength(const uint8_t* request, int requestLen, MbFraming framing, int dataBytes = -1);

// Modbus ASCII. The LRC: the two's complement of the sum of n bytes, low 8 bits.
uint8_t MbLrc(const uint8_t* bytes, int n);
// The ASCII frame of an RTU frame of len bytes (its CRC, the last two, is left out):
// ':', upper-case hexadecimal characters high nibble first, the LRC's two, CR LF; no NUL.
// Returns 2 * (len - 2) + 5, or 0 when len is below 3 or out holds fewer characters.
int MbRtuToAscii(uint8_t* out, int outSize, const uint8_t* rtu, int len);
// Characters back to bytes: from character 1 when character 0 is ':', else from character 0,
// one byte per pair of characters (a character that is not hexadecimal counts as 0) as long as
// the pair starts before the closing CR LF (the last two characters). out may be ascii itself:
// the conversion then runs in place. Returns the bytes written.
int MbAsciiToRtu(uint8_t* out, const uint8_t* ascii, int n);
// Checks n reply characters of an ASCII exchange against the RTU request that was converted
// and sent (with its CRC): the characters are converted in place to bytes (address, function,
// data, LRC), which must hold the request's address and function (an exception reply is an
// Exception), the byte count the request asks for and a good LRC (reported as BadCrc). The
// result's data points into reply, frameLen counts the converted bytes with the LRC.
MbReply MbCheckAscii(uint8_t* reply, int n, const uint8_t* request, int requestLen,
                     int dataBytes = -1);
// Reads an ASCII reply into buf (at most size characters) until its LF, gathering one that
// comes in pieces; stops on a read without characters and after a few reads. Returns the
// characters read.
int MbGatherAscii(ISerBase* channel, uint8_t* buf, int size);

// Checks n reply bytes against the request that was sent (RTU: with its CRC; TCP: the MBAP
// request). The result's data points into reply. ASCII replies are checked by MbCheckAscii,
// which converts them.
MbReply MbCheckRtu(const uint8_t* reply, int n, const uint8_t* request, int requestLen,
                   int dataBytes = -1);
MbReply MbCheckTcp(const uint8_t* reply, int n, const uint8_t* request, int requestLen,
                   int dataBytes = -1);
MbReply MbCheck(MbFraming framing, const uint8_t* reply, int n, const uint8_t* request,
                int requestLen, int dataBytes = -1);

// One exchange: Purge, Write the request (short write: WriteFailed), sleep delayMs through
// qx::SleepMs when above 0, Read the reply (asking for the length a good reply has; a reply
// split across reads is gathered, stopping on a read without bytes and after a few reads),
// then MbCheck. ASCII: the request is given as its RTU frame and sent converted; the reply
// is gathered until its LF and checked by MbCheckAscii.
MbReply MbExchange(ISerBase* channel, MbFraming framing, const uint8_t* request, int requestLen,
                   uint8_t* reply, int replySize, int delayMs, int dataBytes = -1);

// Read of count elements with function 1-4 starting at reg: builds the request (TCP with the
// low 16 bits of transaction, unit = address) and runs MbExchange. An address that does not
// fit the unit byte sends nothing (AddressTooWide).
MbReply MbRead(ISerBase* channel, MbFraming framing, int transaction, int address, int function,
               int reg, int count, uint8_t* reply, int replySize, int delayMs,
               int dataBytes = -1);

// ------------------------------------------------------------------ YD/T 1363
struct YdReply {
    ReplyStatus status = ReplyStatus::BadArgument;
    int rtn = -1;       // RTN of a reply whose frame checked (0 normal), else -1
    int adr = -1;       // ADR of that reply, else -1
    int infoLen = 0;    // LENID: INFO characters, from offset 13
    int frameLen = 0;   // characters from SOI to EOI
    int received = 0;   // characters that arrived (or were given to the check)

    bool ok() const { return status == ReplyStatus::Ok; }
};

// Options of YdCheck and YdExchange.
enum YdOption : unsigned {
    kYdSkipSums = 1,   // LCHKSUM and CHKSUM are not compared, for units known to send them
                       // wrong; SOI, the alphabet, LENID within what arrived, EOI, RTN and
                       // the coverage of the characters read still are
    kYdKeepInput = 2,  // YdExchange: no Purge before the request
};

// Checks n reply characters. needChars: the caller reads characters [0, needChars) of the
// reply, which must end within the INFO (needChars <= 13 + LENID; 0 or less for none).
// adr >= 0 also requires that ADR. options: YdOption bits.
YdReply YdCheck(const uint8_t* reply, int n, int needChars, int adr = -1, unsigned options = 0);

// One exchange with a ready request (for example from TE_CmdPack): Purge, Write, sleep
// delayMs when above 0, Read until the EOI CR arrives (gathering a reply split across reads,
// stopping on a read without characters and after a few reads), then YdCheck. The reply is
// NUL-terminated after the characters read, so at most replySize - 1 are read. options:
// YdOption bits (kYdKeepInput leaves out the Purge).
YdReply YdExchange(ISerBase* channel, const uint8_t* request, int requestLen, uint8_t* reply,
                   int replySize, int delayMs, int needChars, unsigned options = 0);

// Builds the request with TE_CmdPack (SOI '~', EOI CR; INFO of at most 255 bytes, else
// BadArgument) and runs YdExchange. An ADR that does not fit its byte sends nothing
// (AddressTooWide).
YdReply YdRequest(ISerBase* channel, int ver, int adr, int cid1, int cid2, const uint8_t* info,
                  int infoLen, uint8_t* reply, int replySize, int delayMs, int needChars);

// ------------------------------------------------------------------ vendor byte frames
// What the bytes of a vendor frame gathered so far say of its length: the length of the
// whole frame once its head tells it, else the bytes needed before it can tell (more than
// `have`). A value not above `have` ends the gathering: the frame is whole, or the bytes can
// start no frame of the protocol.
using FrameLength = int (*)(const uint8_t* data, int have);

// How FrameExchange ends once the frame is whole.
enum class FrameEnd {
    // At once: bytes after the frame are left unread.
    Whole,
    // The frame must come alone: one short look, a few character times of the line
    // (LineCharsMs), for a byte more, which is then counted in the result, so that the
    // caller's length check fails the frame. No look when the frame fills the reply buffer,
    // nor on a network link, whose read without data drops the link: there a byte more stays
    // for the next exchange's purge.
    Alone,
    // Bytes after the frame are no part of it (a check byte nobody examines, noise): one short
    // look, as for Alone, takes whatever follows the frame, and drops it unjudged; the result
    // counts the frame alone. On a network link, whose read without data drops the link, what
    // has arrived after the frame is purged instead.
    Drop,
};

// One exchange of a vendor byte protocol: Purge, Write the request, sleep delayMs through
// qx::SleepMs when above 0, then Read the reply, asking each time for no more than the frame
// needs, so that a frame split across reads is gathered to its announced length and bytes
// after it are left unread (FrameEnd::Alone: but one, see there). Stops when the frame is
// whole, replySize bytes arrived, a read brings nothing or a few reads are spent. Returns the
// bytes gathered (0: none), -1 when the request was not written whole or an argument is null.
int FrameExchange(ISerBase* channel, const uint8_t* request, int requestLen, uint8_t* reply,
                  int replySize, int delayMs, FrameLength frameLength,
                  FrameEnd end = FrameEnd::Whole);

// The reading half of FrameExchange, for a protocol whose requests the caller writes itself
// (a control byte, an acknowledgement): gathers the frame into reply as FrameExchange does and
// ends as `end` says. Returns the bytes gathered (0: none), -1 when an argument is null.
int FrameRead(ISerBase* channel, uint8_t* reply, int replySize, FrameLength frameLength,
              FrameEnd end = FrameEnd::Whole);

// Milliseconds that `chars` characters take on the channel's line, rounded up and at least
// 2 (the scheduler's grain): eleven bits a character (start, eight data bits, parity, stop)
// at the speed a serial channel's description names (ttyS1:2400,N,8,1), 9600 where it names
// none. The time-out of a short read, which the serial channel takes below one second.
int LineCharsMs(ISerBase* channel, int chars);

}  // namespace qx
