#include "aircon/AircShape.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "QxPlatform.h"
#include "TeFrame.h"

using airc::W;

namespace {

int WidthBytes(W w) {
    switch (w) {
    case W::U8:
    case W::I8: return 1;
    case W::U16:
    case W::I16: return 2;
    case W::U32:
    case W::I32: return 4;
    }
    return 4;
}

// Reads after the first that may complete a reply that arrives in pieces.
const int kMaxReads = 8;

// Reads into buf (at most want bytes) until the Modbus frame answering `function` is whole:
// a read reply once its byte count is in, an exception reply at 5 bytes, any other reply
// with what the first read brought. Stops on a read without bytes.
int GatherRtu(ISerBase* ser, uint8_t* buf, int want, int function) {
    int got = 0;
    for (int reads = 0; reads < kMaxReads && got < want; reads++) {
        int r = ser->Read(buf + got, want - got, 0);
        if (r <= 0) break;
        got += r > want - got ? want - got : r;
        if (got >= 2 && buf[1] == (uint8_t)(function | 0x80)) {
            if (got >= 5) break;
            continue;
        }
        if (function < 1 || function > 4) break;  // shape unknown: one read
        if (got >= 3 && got >= 5 + buf[2]) break;
    }
    return got;
}

// The wait of a Link before reading: `wait` when above the driver's threshold, else its own;
// with addWait `wait` (when above the threshold) and then its own.
int WaitMs(const airc::Link& link, int wait) {
    const bool useWait = link.waitAbove >= 0 && wait > link.waitAbove;
    if (!link.addWait) return useWait ? wait : link.sleepMs;
    const long long ms = (useWait ? (long long)wait : 0) + link.sleepMs;
    return ms > 0x7FFFFFFF ? 0x7FFFFFFF : (int)ms;
}

}  // namespace

const char* airc::StateMark(int state) {
    switch (state) {
    case 0: return "(正常)";
    case 1: return "(报警)";
    case 2: return "(故障)";
    default: return "(未知参数)";
    }
}

CSMAircShape::CSMAircShape(int type, const char* note, const airc::Shape& shape)
    : CSMBase(type), m_shape(shape) {
    snprintf(m_note, sizeof(m_note), "%s", note);
    memset(m_block, 0, sizeof(m_block));
    memset(m_off, 0, sizeof(m_off));
    for (int16_t& i : m_idx) i = -1;
    size_t off = 0;
    for (size_t i = 0; i < shape.fieldCount; i++) {
        const airc::Field& f = shape.fields[i];
        const size_t w = (size_t)WidthBytes(f.width);
        off = (off + w - 1) / w * w;  // natural alignment, as the device record is laid out
        if (off + w > sizeof(m_block)) {
            printf("%s: value block full at field %d\r\n", m_note, f.fld);
            break;
        }
        m_off[f.fld] = (uint16_t)off;
        m_idx[f.fld] = (int16_t)i;
        off += w;
    }
    m_used = off;
    m_pData = m_block;
    m_iDataCnt = shape.dataSize;
}

CSMAircShape::~CSMAircShape() {}

// ---------------------------------------------------------------- registration and tables

void CSMAircShape::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, m_shape.type, m_shape.defs, m_shape.defCount);
}

int CSMAircShape::ChkDb(tagSMItem* item) {
    return qx::sql::ChkDb(*this, &m_shape.table, 1, item, m_shape.table.name);
}

// ---------------------------------------------------------------- values

int CSMAircShape::Index(int fld) const {
    if (fld < 0 || fld > 255) return -1;
    return m_idx[fld];
}

int CSMAircShape::Val(int fld) const {
    const int i = Index(fld);
    if (i < 0) return 0;
    const uint8_t* p = m_block + m_off[fld];
    switch (m_shape.fields[i].width) {
    case W::U8: return *p;
    case W::I8: return (int8_t)*p;
    case W::U16: { uint16_t v; memcpy(&v, p, 2); return v; }
    case W::I16: { int16_t v; memcpy(&v, p, 2); return v; }
    case W::U32: { uint32_t v; memcpy(&v, p, 4); return (int)v; }
    case W::I32: { int32_t v; memcpy(&v, p, 4); return v; }
    }
    return 0;
}

void CSMAircShape::Set(int fld, int v) {
    const int i = Index(fld);
    if (i < 0) return;
    uint8_t* p = m_block + m_off[fld];
    switch (m_shape.fields[i].width) {
    case W::U8:
    case W::I8: *p = (uint8_t)v; break;
    case W::U16:
    case W::I16: { uint16_t w = (uint16_t)v; memcpy(p, &w, 2); break; }
    case W::U32:
    case W::I32: { uint32_t w = (uint32_t)v; memcpy(p, &w, 4); break; }
    }
}

void CSMAircShape::ClearFields(int n) {
    for (int f = 1; f <= n && f <= 255; f++) Set(f, 0);
}

int CSMAircShape::DataVal(int field) {
    if (Index(field) >= 0) return Val(field);
    return field == 0 ? m_shape.fieldZero : m_shape.absent;
}

// ---------------------------------------------------------------- exchanges

qx::MbReply CSMAircShape::Request(ISerBase* ser, int frameLen, uint8_t* reply, int replySize,
                                  const airc::Link& link, int wait, int needBytes,
                                  bool shortRead, int altBytes) {
    qx::MbReply r;
    if (!ser || !reply || replySize < 1 || frameLen < 8 || frameLen > (int)sizeof(m_cmd))
        return r;
    if (!ser->IsOpened()) {
        r.status = qx::ReplyStatus::NoReply;
        return r;
    }
    if (link.purge) ser->Purge();
    if (link.framing == qx::MbFraming::Ascii) {
        uint8_t line[2 * sizeof(m_cmd) + 5];
        const int chars = qx::MbRtuToAscii(line, (int)sizeof line, m_cmd, frameLen);
        if (ser->Write(line, chars) != chars) {
            r.status = qx::ReplyStatus::WriteFailed;
            return r;
        }
    } else if (ser->Write(m_cmd, frameLen) != frameLen) {
        r.status = qx::ReplyStatus::WriteFailed;
        return r;
    }
    const int ms = WaitMs(link, wait);
    if (ms > 0) qx::SleepMs(ms);

    const int want = link.replyMax > 0 && link.replyMax < replySize ? link.replyMax : replySize;
    const int fn = m_cmd[1];
    if (link.framing == qx::MbFraming::Ascii) {
        // The frame was sent as its ASCII line; the reply is converted where it arrived.
        r = qx::MbCheckAscii(reply, qx::MbGatherAscii(ser, reply, want), m_cmd, frameLen);
        if (r.ok() && r.frameLen - 1 < needBytes) r.status = qx::ReplyStatus::Short;
        return r;
    }
    const int got = GatherRtu(ser, reply, want, fn);

    // A device that answers a read with fewer registers than asked: check the reply against
    // the request for the registers its byte count says it holds.
    uint8_t asked[8];
    const uint8_t* req = m_cmd;
    if (shortRead && (fn == 3 || fn == 4) && got >= 3 && reply[1] == fn && reply[2] % 2 == 0 &&
        reply[2] / 2 < CBufHelper::wdFromBuf(m_cmd + 4)) {
        CBufHelper::ModBusCmd(asked, m_cmd[0], fn, CBufHelper::wdFromBuf(m_cmd + 2), reply[2] / 2);
        req = asked;
    }
    // A unit that answers with the other byte count it is known for is checked against that.
    const int dataBytes =
        altBytes >= 0 && got >= 3 && reply[1] == fn && reply[2] == altBytes ? altBytes : -1;
    r = qx::MbCheckRtu(reply, got, req, frameLen, dataBytes);
    // Every byte decoded must lie inside the checked frame, before its CRC.
    if (r.ok() && r.frameLen - 2 < needBytes) r.status = qx::ReplyStatus::Short;
    return r;
}

int CSMAircShape::YdFrame(int ver, int adr, int cid1, int cid2, const uint8_t* info,
                          int infoLen) {
    if (!qx::AddrFits(adr)) return 0;
    return TE_CmdPack(m_cmd, sizeof m_cmd, ver, cid1, cid2, adr, info, infoLen, '~', '\r');
}

qx::YdReply CSMAircShape::YdRequest(ISerBase* ser, int frameLen, uint8_t* reply, int replySize,
                                    const airc::Link& link, int wait, int needChars,
                                    unsigned options) {
    qx::YdReply r;
    if (!ser || !reply || replySize < 2 || frameLen < 18 || frameLen > (int)sizeof(m_cmd))
        return r;
    if (!ser->IsOpened()) {
        r.status = qx::ReplyStatus::NoReply;
        return r;
    }
    const int ms = WaitMs(link, wait);
    // replyMax characters and the NUL after them.
    const int size = link.replyMax > 0 && link.replyMax < replySize ? link.replyMax + 1 : replySize;
    if (!link.purge) options |= qx::kYdKeepInput;
    return qx::YdExchange(ser, m_cmd, frameLen, reply, size, ms, needChars, options);
}

int CSMAircShape::RawRequest(ISerBase* ser, int frameLen, uint8_t* reply, int replySize,
                             const airc::Link& link, int wait, qx::FrameLength frameLength) {
    if (!ser || !reply || replySize < 1 || frameLen < 1 || frameLen > (int)sizeof(m_cmd))
        return 0;
    if (!ser->IsOpened()) return 0;
    const int want = link.replyMax > 0 && link.replyMax < replySize ? link.replyMax : replySize;
    return qx::FrameExchange(ser, m_cmd, frameLen, reply, want, WaitMs(link, wait), frameLength);
}

int CSMAircShape::PollMap(ISerBase* ser, int address, int wait, const airc::Req* reqs,
                          size_t count, const airc::Link& link) {
    // An address the unit field cannot hold is refused: cut to its low bits it would read
    // another unit into this point.
    if (!ser || !reqs || !qx::AddrFits(address)) return 0;
    if (m_perPoint) LoadPoint();
    uint8_t reply[256];
    int result = 1;
    for (size_t i = 0; i < count; i++) {
        const airc::Req& q = reqs[i];
        const int len = ModBusCmd(address, q.function, q.start, q.count);
        airc::Link use = link;
        if (link.purgeOnce && i > 0) use.purge = false;
        const qx::MbReply r =
            Request(ser, len, reply, sizeof reply, use, wait, 0, false, q.altBytes);
        if (!r.ok()) {
            Refused(i, r, reply);
            if (q.required) {
                result = 0;
                break;
            }
            continue;
        }
        if (q.clearFirst) ClearFields(q.clearFirst);
        for (size_t k = 0; k < q.pickCount; k++) {
            const airc::Pick& p = q.picks[k];
            int v = 0;
            switch (p.take) {
            case airc::Take::Word: v = r.Word(p.at); break;
            case airc::Take::SWord: v = (int16_t)r.Word(p.at); break;
            case airc::Take::Bit: v = r.Bit(p.at); break;
            case airc::Take::WordBit: v = (r.Word(p.at) >> p.bit) & 1; break;
            case airc::Take::Byte: v = p.at < r.dataLen ? r.data[p.at] : 0; break;
            case airc::Take::Zero: v = 0; break;
            case airc::Take::EitherBit:
                v = ((r.Word(p.at) >> p.bit) | (r.Word(p.at) >> p.bit2)) & 1;
                break;
            case airc::Take::Tenths: v = FloatTenths(p.fld, r.Word(p.at), r.Word(p.at + 1)); break;
            }
            Set(p.fld, v);
        }
    }
    if (m_perPoint) SavePoint();
    return result;
}

int CSMAircShape::FloatTenths(int fld, uint16_t high, uint16_t low) const {
    const uint32_t bits = (uint32_t)high << 16 | low;
    float f;
    memcpy(&f, &bits, sizeof f);
    if (!isfinite(f)) return 0;
    const double t = trunc((double)f * 10.0);
    double lo = -2147483648.0, hi = 2147483647.0;
    const int i = Index(fld);
    if (i >= 0) {
        switch (m_shape.fields[i].width) {
        case W::U8: lo = 0, hi = 255; break;
        case W::I8: lo = -128, hi = 127; break;
        case W::U16: lo = 0, hi = 65535; break;
        case W::I16: lo = -32768, hi = 32767; break;
        case W::U32: lo = 0; break;
        case W::I32: break;
        }
    }
    return t >= lo && t <= hi ? (int)t : 0;
}

void CSMAircShape::PollBy(const airc::Polling& polling) {
    m_polling = &polling;
    KeepPerPoint();
}

int CSMAircShape::DataGet(ISerBase* channel, int address, int wait) {
    if (!m_polling) return 0;
    const airc::Polling& p = *m_polling;
    if (p.variant1 && m_pItem && m_pItem->Variant == 1)
        return PollMap(channel, address, wait, p.variant1, p.variant1Count, p.link);
    return PollMap(channel, address, wait, p.reqs, p.reqCount, p.link);
}

void CSMAircShape::BriefText(char* out, size_t size, int) {
    if (out && size) out[0] = '\0';
}

// ---------------------------------------------------------------- per-point values

namespace {
// Points whose values are kept at most; a configuration holds far fewer.
const size_t kMaxPoints = 4096;
const int kNoPoint = -0x7FFFFFFF - 1;
}  // namespace

int CSMAircShape::PointKey() const { return m_pItem ? m_pItem->SID : kNoPoint; }

void CSMAircShape::LoadPoint() {
    m_blockKey = PointKey();
    m_loaded = true;
    auto it = m_kept.find(m_blockKey);
    memset(m_block, 0, m_used);
    if (it != m_kept.end()) memcpy(m_block, it->second.data(), it->second.size());
}

void CSMAircShape::SavePoint() {
    if (!m_loaded) return;
    auto it = m_kept.find(m_blockKey);
    if (it == m_kept.end()) {
        if (m_kept.size() >= kMaxPoints) return;  // not kept: its next poll starts from 0
        it = m_kept.emplace(m_blockKey, std::vector<uint8_t>()).first;
    }
    it->second.assign(m_block, m_block + m_used);
}

int CSMAircShape::Command(ISerBase* ser, int frameLen, int replyMax, int sleepMs, bool vendor) {
    if (!ser || !ser->IsOpened() || frameLen < 4 || frameLen > (int)sizeof(m_cmd)) return 0;
    ser->Purge();  // an answer is known by what follows the command only
    if (ser->Write(m_cmd, frameLen) != frameLen) return 0;
    if (sleepMs > 0) qx::SleepMs(sleepMs);
    uint8_t reply[256];
    const int want = replyMax > 0 && replyMax < (int)sizeof(reply) ? replyMax : (int)sizeof(reply);
    const int fn = m_cmd[1];
    const int got = GatherRtu(ser, reply, want, vendor ? 0 : fn);
    if (!vendor) return qx::MbCheckRtu(reply, got, m_cmd, frameLen).ok() ? 1 : 0;
    // A vendor frame: its answer is known only by address, function and CRC (low byte first).
    if (got < 5 || reply[0] != m_cmd[0] || reply[1] != fn) return 0;
    return CBufHelper::crc16(reply, got - 2) == CBufHelper::wdFromBufLH(reply + got - 2) ? 1 : 0;
}

// ---------------------------------------------------------------- storing a poll

int CSMAircShape::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* history) {
    // A field the point's poll does not read holds no reading: whatever the host's limits find
    // in its 0 is no alarm.
    std::vector<int> own;
    alarmBits = qx::sql::PassOver(flags, alarmBits, m_iDataCnt, UnreadFields(), own);
    int state = qx::sql::PollState(flags, alarmBits);
    // The values stored are the current point's, also when no poll of it came before.
    if (m_perPoint && (!m_loaded || m_blockKey != PointKey())) LoadPoint();
    if (!alarmBits) ClearFields(m_shape.clearFields);
    if (m_perPoint) SavePoint();
    state = StoredState(state);
    const int snap = qx::sql::PollSnap(flags, snapId);
    if (sid < 0) {
        if (!m_pItem) return 0;  // no point to store for
        sid = m_pItem->SID;
    }
    m_iErrCnt = 0;

    int last = 0;
    if (m_pDb && m_pItem) qx::sql::UpdState(m_pDb, state, sid, m_pItem->Type);
    FixUp();

    qx::sql::Cols cols;
    const size_t columns = m_shape.columns ? m_shape.columnCount : m_shape.fieldCount;
    for (size_t i = 0; i < columns; i++) {
        const int f = m_shape.columns ? m_shape.columns[i] : m_shape.fields[i].fld;
        const int at = Index(f);
        if (at < 0 || !m_shape.fields[at].column) continue;
        cols.Int(m_shape.fields[at].column, Val(f));
    }

    if (m_pDb) {
        // The summary lives in a buffer of its own; its statement escapes it.
        char brief[1024];
        brief[0] = '\0';
        if (alarmBits)
            BriefText(brief, sizeof brief, state);
        else if (m_shape.brief & airc::kBriefOwnFault)
            BriefText(brief, sizeof brief, 2);  // the driver's words for a lost link
        else  // the values were cleared, not read: the summary names the fault only
            snprintf(brief, sizeof brief, "%s", qx::sql::NoAnswerBrief(m_shape.noAnswer).c_str());
        if ((m_shape.brief & airc::kBriefAlarms) && alarmBits) {
            // Whole captions only, bounded by what is left of the summary.
            size_t used = strlen(brief);
            GetAlmDetail(brief + used, alarmBits, 3, sizeof brief - used);
        }
        const int st = (m_shape.brief & airc::kBriefState) ? state : -1;
        if (m_shape.brief & airc::kBriefFirst) qx::sql::UpdBrief(m_pDb, sid, brief, st);
        last = qx::sql::UpdCurrent(m_pDb, m_shape.table.name, state, snap, cols, sid);
        if (!(m_shape.brief & airc::kBriefFirst)) qx::sql::UpdBrief(m_pDb, sid, brief, st);
    }
    if (history) last = qx::sql::InsHistory(history, m_shape.table.name, sid, state, snap, cols);
    return last == 0 ? 1 : 0;
}

// ---------------------------------------------------------------- display texts

const char* CSMAircShape::Word(const airc::Words& words, int v) {
    if (v >= 0 && v < words.count) return words.words[v];
    return words.other;
}

int CSMAircShape::VarEval(char* text) {
    if (!text) return -1;
    for (size_t i = 0; i < m_shape.keyCount; i++) {
        const airc::Key& k = m_shape.keys[i];
        if (strcmp(text, k.key) != 0 && !(k.alias && strcmp(text, k.alias) == 0)) continue;
        const int v = Val(k.fld);
        const double div = k.divisor > 0 ? k.divisor : 1;
        switch (k.fmt) {
        case airc::KeyFmt::Int: return sprintf(text, "%d", v);
        case airc::KeyFmt::Fixed1: return sprintf(text, "%.1f", v / div);
        case airc::KeyFmt::Fixed2: return sprintf(text, "%.2f", v / div);
        case airc::KeyFmt::Word: {
            const char* w = k.words ? Word(*k.words, v) : "";
            return sprintf(text, "%s", w ? w : "");
        }
        }
    }
    return -1;
}
