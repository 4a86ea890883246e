#include "ReplyCheck.h"

#include <stdlib.h>
#include <string.h>

#include "BufHelper.h"
#include "ISerBase.h"
#include "QxPlatform.h"
#include "TeFrame.h"

namespace qx {

namespace {

// Reads after the first that may complete a reply split by the line or the network.
const int kMaxReads = 8;
const int kYdMaxInfoBytes = 255;

// The look for a byte after a frame (FrameEnd::Alone): this many characters of the line.
const int kLookChars = 5;
// The bytes one read of the look takes when they are dropped (FrameEnd::Drop).
const int kDropChunk = 64;
// LineCharsMs: a character of eight data bits with start, parity and stop bit; the speed of
// a channel that names none (the serial channel's default); the shortest wait the scheduler
// keeps, and the longest a short read of the serial channel takes (one second or more buys
// it reads of the port's own 0.2 s instead).
const int kBitsPerChar = 11;
const long kDefaultBaud = 9600;
const int kLeastWaitMs = 2;
const int kMostShortMs = 999;
// The kind of a channel, from its type code: a read of a network link that times out drops
// the link.
const int kChannelKindMask = 0xF00000;
const int kNetworkChannel = 0x200000;

bool IsReadFunction(int fn)
{
    return fn >= 1 && fn <= 4;
}

bool IsWriteFunction(int fn)
{
    return fn == 5 || fn == 6 || fn == 15 || fn == 16;
}

bool IsUpperHex(uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

bool AllUpperHex(const uint8_t* p, int n)
{
    for (int i = 0; i < n; i++)
        if (!IsUpperHex(p[i]))
            return false;
    return true;
}

// INFO characters: upper-case hexadecimal digits, or the blank some units send for a value
// they do not have (the field then reads 0).
bool AllInfoChars(const uint8_t* p, int n)
{
    for (int i = 0; i < n; i++)
        if (!IsUpperHex(p[i]) && p[i] != ' ')
            return false;
    return true;
}

// The data bytes a good reply to a read carries: the caller's count when it gives one.
int ReadDataBytes(int fn, const uint8_t* reqPdu, int dataBytes)
{
    return dataBytes >= 0 ? dataBytes : MbDataBytes(fn, CBufHelper::wdFromBuf(reqPdu + 3));
}

// The checks common to RTU and TCP once the envelope is good: pdu starts at the reply's
// function code and holds pduLen bytes (no CRC); req is the request's PDU.
void CheckPdu(MbReply& r, const uint8_t* pdu, int pduLen, const uint8_t* req, int dataBytes)
{
    int fn = req[0];
    if (pdu[0] == (fn | 0x80)) {
        if (pduLen != 2) {
            r.status = ReplyStatus::BadCount;
            return;
        }
        r.exception = pdu[1];
        r.status = ReplyStatus::Exception;
        return;
    }
    if (pdu[0] != fn) {
        r.status = ReplyStatus::BadFunction;
        return;
    }
    if (IsReadFunction(fn)) {
        int bytes = ReadDataBytes(fn, req, dataBytes);
        if (pduLen < 2 || pdu[1] != bytes || pduLen != 2 + bytes) {
            r.status = ReplyStatus::BadCount;
            return;
        }
        r.data = pdu + 2;
        r.dataLen = bytes;
    } else if (IsWriteFunction(fn)) {
        // Single writes echo register and value, multiple writes register and count.
        if (pduLen != 5) {
            r.status = ReplyStatus::BadCount;
            return;
        }
        if (memcmp(pdu + 1, req + 1, 4) != 0) {
            r.status = ReplyStatus::BadEcho;
            return;
        }
        r.data = pdu + 1;
        r.dataLen = 4;
    } else {
        r.data = pdu + 1;
        r.dataLen = pduLen - 1;
    }
    r.status = ReplyStatus::Ok;
}

// Bytes of the request's PDU needed to know what the reply must hold.
bool RequestPduUsable(const uint8_t* pdu, int pduLen)
{
    if (pduLen < 1)
        return false;
    if (IsReadFunction(pdu[0]) || IsWriteFunction(pdu[0]))
        return pduLen >= 5;
    return true;
}

// Reads into buf until `complete` says the frame is whole, the buffer is full, a read brings
// nothing, or the read budget is spent. Returns the bytes gathered.
template <typename Complete>
int Gather(ISerBase* channel, uint8_t* buf, int want, Complete complete)
{
    int got = 0;
    for (int reads = 0; reads < kMaxReads && got < want; reads++) {
        int r = channel->Read(buf + got, want - got, 0);
        if (r <= 0)
            break;
        got += r > want - got ? want - got : r;
        if (complete(got))
            break;
    }
    return got;
}

// What every check of a Modbus reply starts with: the count that arrived, a request the reply
// can be checked against (a status of BadArgument otherwise), a reply at all and at least
// `least` bytes of it. False where the check ends here.
bool Arrived(MbReply& r, const uint8_t* reply, int n, bool requestUsable, int least)
{
    r.received = n > 0 ? n : 0;
    if (!requestUsable)
        return false;
    if (!reply || n <= 0) {
        r.status = ReplyStatus::NoReply;
        return false;
    }
    if (n < least) {
        r.status = ReplyStatus::Short;
        return false;
    }
    return true;
}

}  // namespace

int MbGatherAscii(ISerBase* channel, uint8_t* buf, int size)
{
    if (!channel || !buf || size < 1)
        return 0;
    return Gather(channel, buf, size, [&](int have) { return buf[have - 1] == '\n'; });
}

const char* ReplyStatusText(ReplyStatus status)
{
    switch (status) {
    case ReplyStatus::Ok: return "ok";
    case ReplyStatus::BadArgument: return "bad argument";
    case ReplyStatus::WriteFailed: return "write failed";
    case ReplyStatus::NoReply: return "no reply";
    case ReplyStatus::Short: return "short reply";
    case ReplyStatus::BadCrc: return "bad CRC";
    case ReplyStatus::BadAddress: return "wrong address";
    case ReplyStatus::BadFunction: return "wrong function";
    case ReplyStatus::Exception: return "exception reply";
    case ReplyStatus::BadCount: return "wrong byte count";
    case ReplyStatus::BadHeader: return "wrong header";
    case ReplyStatus::BadEcho: return "wrong echo";
    case ReplyStatus::BadFrame: return "bad frame";
    case ReplyStatus::BadLength: return "bad length check";
    case ReplyStatus::BadChecksum: return "bad checksum";
    case ReplyStatus::ReturnCode: return "return code";
    case ReplyStatus::NotCovered: return "reply too short for its fields";
    case ReplyStatus::AddressTooWide: return "address does not fit the frame";
    }
    return "?";
}

int MbDataBytes(int function, int count)
{
    if (count < 0)
        return -1;
    if (function == 1 || function == 2)
        return (count + 7) / 8;
    if (function == 3 || function == 4)
        return 2 * count;
    return -1;
}

int MbReplyLength(const uint8_t* request, int requestLen, MbFraming framing, int dataBytes)
{
    int head = framing == MbFraming::Tcp ? 7 : 1;  // bytes before the function code
    int tail = framing == MbFraming::Tcp ? 0 : 2;  // CRC
    if (!request || requestLen < head + 5)
        return -1;
    const uint8_t* pdu = request + head;
    int fn = pdu[0];
    if (IsReadFunction(fn)) {
        int bytes = ReadDataBytes(fn, pdu, dataBytes);
        return head + 2 + bytes + tail;
    }
    if (IsWriteFunction(fn))
        return head + 5 + tail;
    return -1;
}

MbReply MbCheckRtu(const uint8_t* reply, int n, const uint8_t* request, int requestLen,
                   int dataBytes)
{
    MbReply r;
    // The shortest frame (an exception) is address, function, code and the CRC: nothing is
    // checked, the CRC least of all, on fewer bytes.
    if (!Arrived(r, reply, n,
                 request && requestLen >= 4 && RequestPduUsable(request + 1, requestLen - 3), 5))
        return r;
    if (reply[0] != request[0]) {
        r.status = ReplyStatus::BadAddress;
        return r;
    }
    int fn = request[1];
    int len;
    if (reply[1] == (fn | 0x80))
        len = 5;  // address, function | 0x80, exception code, CRC
    else if (reply[1] != fn) {
        r.status = ReplyStatus::BadFunction;
        return r;
    } else if (IsReadFunction(fn))
        len = 5 + reply[2];  // the frame the reply says it is; its count is checked below
    else if (IsWriteFunction(fn))
        len = 8;
    else
        len = n;  // a reply of unknown shape is what arrived
    if (n < len) {
        r.status = ReplyStatus::Short;
        return r;
    }
    // The low-order CRC byte comes first.
    if (CBufHelper::crc16(reply, len - 2) != CBufHelper::wdFromBufLH(reply + len - 2)) {
        r.status = ReplyStatus::BadCrc;
        return r;
    }
    r.frameLen = len;
    CheckPdu(r, reply + 1, len - 3, request + 1, dataBytes);
    return r;
}

MbReply MbCheckTcp(const uint8_t* reply, int n, const uint8_t* request, int requestLen,
                   int dataBytes)
{
    MbReply r;
    // MBAP header (7 bytes), then at least a function code and one more byte.
    if (!Arrived(r, reply, n,
                 request && requestLen >= 8 && RequestPduUsable(request + 7, requestLen - 7), 9))
        return r;
    if (reply[0] != request[0] || reply[1] != request[1] || reply[2] != 0 || reply[3] != 0) {
        r.status = ReplyStatus::BadHeader;
        return r;
    }
    int length = CBufHelper::wdFromBuf(reply + 4);  // unit and PDU
    if (length < 3) {
        r.status = ReplyStatus::BadCount;
        return r;
    }
    if (n < 6 + length) {
        r.status = ReplyStatus::Short;
        return r;
    }
    if (reply[6] != request[6]) {
        r.status = ReplyStatus::BadAddress;
        return r;
    }
    r.frameLen = 6 + length;
    CheckPdu(r, reply + 7, length - 1, request + 7, dataBytes);
    return r;
}

uint8_t MbLrc(const uint8_t* bytes, int n)
{
    uint8_t s = 0;
    for (int i = 0; bytes && i < n; i++)
        s = (uint8_t)(s + bytes[i]);
    return (uint8_t)(0x100 - s);
}

int MbRtuToAscii(uint8_t* out, int outSize, const uint8_t* rtu, int len)
{
    const int chars = 2 * (len - 2) + 5;
    if (!out || !rtu || len < 3 || outSize < chars)
        return 0;
    int k = 0;
    out[k++] = ':';
    for (int i = 0; i < len - 2; i++) {
        out[k++] = (uint8_t)CBufHelper::hex2asciiHigh(rtu[i]);
        out[k++] = (uint8_t)CBufHelper::hex2asciiLow(rtu[i]);
    }
    const uint8_t lrc = MbLrc(rtu, len - 2);
    out[k++] = (uint8_t)CBufHelper::hex2asciiHigh(lrc);
    out[k++] = (uint8_t)CBufHelper::hex2asciiLow(lrc);
    out[k++] = '\r';
    out[k++] = '\n';
    return k;
}

int MbAsciiToRtu(uint8_t* out, const uint8_t* ascii, int n)
{
    if (!out || !ascii || n <= 0)
        return 0;
    int m = 0;
    // Byte m is written at m, its characters read from 2m + from and on: never overtaken.
    for (int c = ascii[0] == ':' ? 1 : 0; c + 1 < n && c < n - 2; c += 2)
        out[m++] = (uint8_t)(CBufHelper::ascii2hex(ascii[c]) << 4 | CBufHelper::ascii2hex(ascii[c + 1]));
    return m;
}

MbReply MbCheckAscii(uint8_t* reply, int n, const uint8_t* request, int requestLen,
                     int dataBytes)
{
    MbReply r;
    const bool usable = request && requestLen >= 4 && RequestPduUsable(request + 1, requestLen - 3);
    if (!Arrived(r, reply, n, usable, 1))
        return r;
    const int m = MbAsciiToRtu(reply, reply, n);
    // The shortest frame (an exception) is address, function, code and the LRC.
    if (m < 4) {
        r.status = m > 0 ? ReplyStatus::Short : ReplyStatus::NoReply;
        return r;
    }
    if (reply[0] != request[0]) {
        r.status = ReplyStatus::BadAddress;
        return r;
    }
    const int fn = request[1];
    int len;
    if (reply[1] == (fn | 0x80))
        len = 4;
    else if (reply[1] != fn) {
        r.status = ReplyStatus::BadFunction;
        return r;
    } else if (IsReadFunction(fn))
        len = 4 + reply[2];
    else if (IsWriteFunction(fn))
        len = 7;
    else
        len = m;
    if (m < len) {
        r.status = ReplyStatus::Short;
        return r;
    }
    if (MbLrc(reply, len - 1) != reply[len - 1]) {
        r.status = ReplyStatus::BadCrc;
        return r;
    }
    r.frameLen = len;
    CheckPdu(r, reply + 1, len - 2, request + 1, dataBytes);
    return r;
}

MbReply MbCheck(MbFraming framing, const uint8_t* reply, int n, const uint8_t* request,
                int requestLen, int dataBytes)
{
    if (framing == MbFraming::Ascii) {
        MbReply r;  // converted in place: MbCheckAscii
        return r;
    }
    return framing == MbFraming::Tcp ? MbCheckTcp(reply, n, request, requestLen, dataBytes)
                                     : MbCheckRtu(reply, n, request, requestLen, dataBytes);
}

MbReply MbExchange(ISerBase* channel, MbFraming framing, const uint8_t* request, int requestLen,
                   uint8_t* reply, int replySize, int delayMs, int dataBytes)
{
    MbReply r;
    if (!channel || !request || requestLen <= 0 || !reply || replySize < 1)
        return r;
    channel->Purge();
    if (framing == MbFraming::Ascii) {
        uint8_t line[2 * 64 + 5];
        const int chars = MbRtuToAscii(line, (int)sizeof line, request, requestLen);
        if (chars <= 0)
            return r;
        if (channel->Write(line, chars) != chars) {
            r.status = ReplyStatus::WriteFailed;
            return r;
        }
        if (delayMs > 0)
            SleepMs(delayMs);
        const int got = MbGatherAscii(channel, reply, replySize);
        return MbCheckAscii(reply, got, request, requestLen, dataBytes);
    }
    if (channel->Write(request, requestLen) != requestLen) {
        r.status = ReplyStatus::WriteFailed;
        return r;
    }
    if (delayMs > 0)
        SleepMs(delayMs);
    int expect = MbReplyLength(request, requestLen, framing, dataBytes);
    int want = expect > 0 && expect < replySize ? expect : replySize;
    bool tcp = framing == MbFraming::Tcp;
    int fnAt = tcp ? 7 : 1;
    int got = Gather(channel, reply, want, [&](int have) {
        if (expect < 0)
            return true;  // unknown length: take what the first read brought
        if (have > fnAt && (reply[fnAt] & 0x80))
            return have >= (tcp ? 9 : 5);  // an exception reply is shorter
        return have >= expect;
    });
    return MbCheck(framing, reply, got, request, requestLen, dataBytes);
}

MbReply MbRead(ISerBase* channel, MbFraming framing, int transaction, int address, int function,
               int reg, int count, uint8_t* reply, int replySize, int delayMs, int dataBytes)
{
    uint8_t req[12];
    int len;
    if (!AddrFits(address)) {
        MbReply refused;
        refused.status = ReplyStatus::AddressTooWide;
        return refused;
    }
    if (framing == MbFraming::Tcp) {
        CBufHelper::wdToBuf(req, (uint16_t)transaction);
        CBufHelper::wdToBuf(req + 2, 0);
        CBufHelper::wdToBuf(req + 4, 6);
        req[6] = (uint8_t)address;
        req[7] = (uint8_t)function;
        CBufHelper::wdToBuf(req + 8, (uint16_t)reg);
        CBufHelper::wdToBuf(req + 10, (uint16_t)count);
        len = 12;
    } else {
        len = CBufHelper::ModBusCmd(req, address, function, reg, count);
    }
    return MbExchange(channel, framing, req, len, reply, replySize, delayMs, dataBytes);
}

YdReply YdCheck(const uint8_t* reply, int n, int needChars, int adr, unsigned options)
{
    const bool sums = !(options & kYdSkipSums);
    YdReply r;
    r.received = n > 0 ? n : 0;
    if (!reply || n <= 0) {
        r.status = ReplyStatus::NoReply;
        return r;
    }
    if (reply[0] != '~') {
        r.status = ReplyStatus::BadFrame;
        return r;
    }
    if (n < 18) {
        r.status = ReplyStatus::Short;
        return r;
    }
    if (!AllUpperHex(reply + 1, 12)) {
        r.status = ReplyStatus::BadFrame;
        return r;
    }
    uint16_t length = (uint16_t)CBufHelper::HexVal(reply + 9, 4);
    int lenid = length & 0x0FFF;
    if (sums && TE_GetChkLength((uint16_t)lenid) != length) {
        r.status = ReplyStatus::BadLength;
        return r;
    }
    int len = 18 + lenid;
    if (n < len) {
        r.status = ReplyStatus::Short;
        return r;
    }
    if (!AllInfoChars(reply + 13, lenid) || !AllUpperHex(reply + 13 + lenid, 4) ||
        reply[len - 1] != '\r') {
        r.status = ReplyStatus::BadFrame;
        return r;
    }
    if (sums && !TE_GetChkSum(reply, len)) {
        r.status = ReplyStatus::BadChecksum;
        return r;
    }
    r.infoLen = lenid;
    r.frameLen = len;
    r.adr = (int)CBufHelper::HexVal(reply + 3, 2);
    r.rtn = (int)CBufHelper::HexVal(reply + 7, 2);
    if (adr >= 0 && r.adr != (adr & 0xFF))
        r.status = ReplyStatus::BadAddress;
    else if (r.rtn != 0)
        r.status = ReplyStatus::ReturnCode;
    else if (needChars > 13 + lenid)
        r.status = ReplyStatus::NotCovered;
    else
        r.status = ReplyStatus::Ok;
    return r;
}

YdReply YdExchange(ISerBase* channel, const uint8_t* request, int requestLen, uint8_t* reply,
                   int replySize, int delayMs, int needChars, unsigned options)
{
    YdReply r;
    if (!channel || !request || requestLen <= 0 || !reply || replySize < 2)
        return r;
    if (!(options & kYdKeepInput))
        channel->Purge();
    if (channel->Write(request, requestLen) != requestLen) {
        r.status = ReplyStatus::WriteFailed;
        return r;
    }
    if (delayMs > 0)
        SleepMs(delayMs);
    int got = Gather(channel, reply, replySize - 1, [&](int have) {
        return memchr(reply + 1, '\r', (size_t)have - 1) != nullptr;
    });
    reply[got] = 0;
    return YdCheck(reply, got, needChars, -1, options);
}

YdReply YdRequest(ISerBase* channel, int ver, int adr, int cid1, int cid2, const uint8_t* info,
                  int infoLen, uint8_t* reply, int replySize, int delayMs, int needChars)
{
    uint8_t req[18 + 2 * kYdMaxInfoBytes];
    if (!AddrFits(adr)) {
        YdReply refused;
        refused.status = ReplyStatus::AddressTooWide;
        return refused;
    }
    if (infoLen > kYdMaxInfoBytes)
        return YdReply();
    int len = TE_CmdPack(req, sizeof req, ver, cid1, cid2, adr, info, infoLen, '~', '\r');
    if (len <= 0)
        return YdReply();
    return YdExchange(channel, req, len, reply, replySize, delayMs, needChars);
}

int LineCharsMs(ISerBase* channel, int chars)
{
    long baud = 0;
    const char* note = channel ? channel->GetNote() : nullptr;
    const char* colon = note ? strchr(note, ':') : nullptr;
    if (colon)
        baud = strtol(colon + 1, nullptr, 10);
    if (baud <= 0)
        baud = kDefaultBaud;
    const long long bits = (long long)(chars > 0 ? chars : 1) * kBitsPerChar;
    const long long ms = (bits * 1000 + baud - 1) / baud;
    return ms < kLeastWaitMs ? kLeastWaitMs : ms > kMostShortMs ? kMostShortMs : (int)ms;
}

int FrameExchange(ISerBase* channel, const uint8_t* request, int requestLen, uint8_t* reply,
                  int replySize, int delayMs, FrameLength frameLength, FrameEnd end)
{
    if (!channel || !request || requestLen <= 0 || !reply || replySize < 1 || !frameLength)
        return -1;
    channel->Purge();
    if (channel->Write(request, requestLen) != requestLen)
        return -1;
    if (delayMs > 0)
        SleepMs(delayMs);
    return FrameRead(channel, reply, replySize, frameLength, end);
}

int FrameRead(ISerBase* channel, uint8_t* reply, int replySize, FrameLength frameLength,
              FrameEnd end)
{
    if (!channel || !reply || replySize < 1 || !frameLength)
        return -1;
    int got = 0;
    for (int reads = 0; reads < kMaxReads && got < replySize; reads++) {
        int need = frameLength(reply, got);
        if (need <= got)
            break;
        int want = (need < replySize ? need : replySize) - got;
        int r = channel->Read(reply + got, want, 0);
        if (r <= 0)
            break;
        got += r > want ? want : r;
    }
    // A frame that stayed short has been read until the line fell silent: nothing to look for.
    const bool whole = got > 0 && frameLength(reply, got) <= got;
    if (end == FrameEnd::Whole || !whole)
        return got;
    const bool network = (channel->GetType() & kChannelKindMask) == kNetworkChannel;
    if (end == FrameEnd::Alone) {
        if (got < replySize && !network &&
            channel->Read(reply + got, 1, LineCharsMs(channel, kLookChars)) > 0)
            got++;
        return got;
    }
    // Drop: the look reads on as long as bytes keep coming, a bounded number of times.
    if (network) {
        channel->Purge();
        return got;
    }
    uint8_t after[kDropChunk];
    for (int looks = 0; looks < kMaxReads; looks++) {
        if (channel->Read(after, (int)sizeof after, LineCharsMs(channel, kLookChars)) <
            (int)sizeof after)
            break;
    }
    return got;
}

}  // namespace qx
