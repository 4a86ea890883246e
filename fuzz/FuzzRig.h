#pragma once
// What the fuzz targets of the handlers share: a reader of the fuzz input, a scripted channel
// answered from it, a point record and an in-memory host database.
//
// Input of a handler target: a few configuration bytes the target reads first (Input::Byte,
// Input::Int), then the channel's script, one step per write:
//
//   step     <kind> <n> <n bytes>
//   kind & 3 0: the n bytes are the answer
//            1: no answer (the bytes are skipped)
//            2: the write reports n bytes written and gets no answer
//            3: the answer arrives in two reads, split after (kind >> 2) % (n + 1) bytes
//
// The first byte of the script sets the channel: bit 0 a read takes bytes across answers (a
// serial port waiting for the line to fall silent), bit 1 a silent read returns -1, bit 2 the
// channel is a network one, bit 3 the first step's bytes are waiting before the first write
// (its kind is ignored). Writes past the script get no answer. Waits are skipped.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ISMBase.h"
#include "QxPlatform.h"
#include "ScriptChannel.h"
#include "SqliteDb.h"
#include "tagSMItem.h"

namespace qxfuzz {

using qxtest::Bytes;
using qxtest::ScriptChannel;

// The fuzz input read front to back; past its end every read gives zeros.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_p(data), m_n(size) {}
    bool Empty() const { return m_at >= m_n; }
    size_t Left() const { return m_at < m_n ? m_n - m_at : 0; }
    uint8_t Byte() { return m_at < m_n ? m_p[m_at++] : 0; }
    // A value in lo..hi from one byte.
    int Int(int lo, int hi) { return lo + (int)(Byte() % (unsigned)(hi - lo + 1)); }
    // A 32-bit value from four bytes, high byte first.
    int32_t Word32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++)
            v = v << 8 | Byte();
        return (int32_t)v;
    }
    // The next n bytes (fewer at the end).
    Bytes Take(size_t n)
    {
        n = n < Left() ? n : Left();
        Bytes b(m_p + m_at, m_p + m_at + n);
        m_at += n;
        return b;
    }
    // A text up to the next NUL (or the end); the NUL is passed over.
    std::string Text()
    {
        std::string s;
        while (m_at < m_n && m_p[m_at])
            s.push_back((char)m_p[m_at++]);
        if (m_at < m_n)
            m_at++;
        return s;
    }

private:
    const uint8_t* m_p;
    size_t m_n;
    size_t m_at = 0;
};

// With QX_FUZZ_TRACE set, a target says what each step gave (for checking the seeds reach the
// paths they are meant for: QX_FUZZ_TRACE=1 fuzz_ups -runs=0 corpus/ups).
inline void Trace(const char* what, int result)
{
    static const bool on = getenv("QX_FUZZ_TRACE") != nullptr;
    if (on)
        fprintf(stderr, "%s: %d\n", what, result);
}

// Every value of fields first..last and every display text of keys read out, as the host and
// its pages do after a poll, whatever the poll gave.
template <class H, size_t N>
void ReadOut(H& h, int first, int last, const char* const (&keys)[N])
{
    for (int f = first; f <= last; f++)
        h.DataVal(f);
    for (const char* k : keys) {
        char text[256];
        snprintf(text, sizeof text, "%s", k);
        h.VarEval(text);
    }
}

// An alarm word with the byte b in each of its four bytes, so that a byte of the input marks
// fields in every quarter of the record.
inline int AlarmWord(int b)
{
    return (int)((uint32_t)(uint8_t)b * 0x01010101u);
}

// Waits are skipped: a fuzz run must not sleep. They are counted instead, so that a target
// can tell a poll that would wait without end on a silent or babbling device.
inline int64_t& WaitedMs()
{
    static int64_t ms = 0;
    return ms;
}
inline void CountSleep(int ms)
{
    if (ms > 0)
        WaitedMs() += ms;
}
inline void SkipWaits()
{
    qx::SetSleepHook(CountSleep);
    WaitedMs() = 0;
}
// The waits since the last check stay below limitMs; else the run stops (a hung poll).
inline void ExpectWaitsBelow(int64_t limitMs, const char* what)
{
    int64_t ms = WaitedMs();
    WaitedMs() = 0;
    if (ms < limitMs)
        return;
    fprintf(stderr, "%s waited %lld ms\n", what, (long long)ms);
    abort();
}

// Sets the channel up from the rest of the input (see above).
inline void Script(Input& in, ScriptChannel& ch)
{
    uint8_t mode = in.Byte();
    ch.SetMergeReads(mode & 1);
    ch.SetSilentRead(mode & 2 ? -1 : 0);
    ch.SetType(mode & 4 ? 0x200001 : 0x100001);
    if (mode & 8) {
        // Input waiting before the first write: stale bytes, noise, or a device that is read
        // without being asked.
        in.Byte();
        ch.Inject(in.Take(in.Byte()));
    }
    while (!in.Empty()) {
        uint8_t kind = in.Byte();
        Bytes b = in.Take(in.Byte());
        switch (kind & 3) {
        case 0: ch.Reply(b); break;
        case 1: ch.Silence(); break;
        case 2: ch.ShortWrite((int)b.size()); break;
        default: {
            size_t at = (kind >> 2) % (b.size() + 1);
            ch.ReplyChunks({Bytes(b.begin(), b.begin() + (long)at), Bytes(b.begin() + (long)at, b.end())});
            break;
        }
        }
    }
}

// The values a handler hands out, fields 1..last: a poll that fails must leave them as they
// were (the host reads them only after a good poll, but a failed poll is no new reading).
inline std::vector<int> Values(ISMBase& h, int last)
{
    std::vector<int> v;
    for (int f = 1; f <= last; f++)
        v.push_back(h.DataVal(f));
    return v;
}

// Answers of a YD/T 1363 device from the input: the steps of the script (same layout, no
// mode byte), each answered through the responder, so that the answer is framed for the
// request it answers. A step of kind 0 whose first byte is below 0x80 becomes a checked reply
// with the request's VER and ADR, that byte as RTN, and the rest of the bytes as the INFO in
// hexadecimal; any other step is sent as its bytes stand (kind 1 and 2: no answer).
inline void YdScript(Input& in, ScriptChannel& ch)
{
    auto steps = std::make_shared<std::deque<std::pair<uint8_t, Bytes>>>();
    while (!in.Empty()) {
        uint8_t kind = in.Byte();
        steps->emplace_back(kind, in.Take(in.Byte()));
    }
    ch.SetResponder([steps](const Bytes& request) -> Bytes {
        if (steps->empty())
            return Bytes();
        std::pair<uint8_t, Bytes> step = steps->front();
        steps->pop_front();
        const Bytes& b = step.second;
        if ((step.first & 3) == 1 || (step.first & 3) == 2)
            return Bytes();
        if ((step.first & 3) != 0 || b.empty() || b[0] >= 0x80 || request.size() < 5)
            return b;
        static const char kHex[] = "0123456789ABCDEF";
        std::string info;
        for (size_t i = 1; i < b.size(); i++) {
            info += kHex[b[i] >> 4];
            info += kHex[b[i] & 15];
        }
        const int lenid = (int)info.size() & 0xFFF;
        const int lsum = (-(lenid & 15) - ((lenid >> 4) & 15) - ((lenid >> 8) & 15)) & 15;
        char head[16];
        snprintf(head, sizeof head, "%c%c%c%c%c%c%02X%04X", request[1], request[2], request[3],
                 request[4], request.size() > 6 ? request[5] : '0',
                 request.size() > 6 ? request[6] : '0', b[0], lsum << 12 | lenid);
        std::string body = head + info;
        unsigned sum = 0;
        for (char c : body)
            sum += (uint8_t)c;
        char tail[8];
        snprintf(tail, sizeof tail, "%04X\r", (unsigned)(-sum) & 0xFFFF);
        std::string frame = "~" + body + tail;
        return Bytes(frame.begin(), frame.end());
    });
}

// A point of the given type and SID 1 with its settings from the input: address, variant
// (0..7), Ext1, Ext2 (-8..247), and a name of up to 31 bytes from the input.
inline tagSMItem Point(Input& in, int type)
{
    tagSMItem item;
    memset(&item, 0, sizeof item);
    item.SID = 1;
    item.Type = type;
    item.Addr = in.Byte();
    item.Variant = in.Int(0, 7);
    item.Ext1 = in.Int(-8, 247);
    item.Ext2 = in.Int(-8, 247);
    Bytes name = in.Take(in.Int(0, 31));
    if (!name.empty())
        memcpy(item.ItemName, name.data(), name.size());
    return item;
}

// The host database, kept for the life of the fuzzing process (one per role): the host tables
// and whatever the handlers create. Rows are emptied now and then.
class Db : public qxhost::SqliteDb {
public:
    static Db& Main() { static Db db; return db.Fresh(); }
    static Db& Hist() { static Db db; return db.Fresh(); }

    // Statements that failed so far are not looked at again.
    void Mark() { m_failuresSeen = Failures(); }
    // Every statement the library ran since the last mark succeeded; when one did not, its
    // error is printed and the run stops: device text reached the SQL unescaped.
    void ExpectNoFailure(const char* what)
    {
        if (Failures() == m_failuresSeen)
            return;
        fprintf(stderr, "%s: a statement failed: %s\n", what, Error().c_str());
        abort();
    }

private:
    Db() { Create(); }
    // The host tables, and the alarm units' state table that a host with such units has.
    void Create()
    {
        if (!Open(":memory:") || !CreateHostTables() ||
            Exec("create table tbAlmGsm(SID INTEGER,DateUpd DATETIME,State INTEGER,"
                 "SnapID INTEGER,Signal INTEGER,iSignal INTEGER)") != 0 ||
            Exec("insert into tbAlmGsm(SID,State) values(1,-1)") != 0)
            abort();
    }
    Db& Fresh()
    {
        if (++m_uses % 256 == 0) {
            Close();
            Create();
        }
        m_failuresSeen = Failures();
        return *this;
    }
    int m_uses = 0;
    int m_failuresSeen = 0;
};

// The host side of one input: its two databases, and the handler given them and its point as
// the host does before the first poll (force as RegDb takes it). What failed while the
// handler set its tables up is not looked at; from then on every statement must succeed.
class Host {
public:
    template <class H>
    Host(H& h, tagSMItem& item, int force = 0) : db(Db::Main()), hist(Db::Hist())
    {
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, force);
        h.ChkDb(&item);
        h.DoItem(&item, 0);
        db.Mark();
        hist.Mark();
    }

    // The poll's rows stored with the given flags and alarm bits (nullptr: the poll failed);
    // a statement that fails stops the run.
    template <class H>
    void Store(H& h, int flags, int* bits)
    {
        h.DataUpd(flags, bits, nullptr, -1, &hist);
        db.ExpectNoFailure("DataUpd");
        hist.ExpectNoFailure("DataUpd history");
    }

    Db& db;
    Db& hist;
};

}  // namespace qxfuzz
