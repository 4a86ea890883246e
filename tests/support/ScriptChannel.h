#pragma once
// A scripted in-memory channel for unit tests: an ISerBase whose replies are queued by the
// test and whose writes are recorded.
//
//   qxtest::ScriptChannel ch;                    // open, type 0x100001 (a serial port)
//   ch.Reply(qxtest::HexBytes("01 03 02 00 FA 38 07"));   // answer to the 1st write
//   ch.Silence();                                // the 2nd write gets no answer
//   ch.ReplyChunks({qxtest::HexBytes("01 03"), qxtest::HexBytes("02 00 FA 38 07")});
//                                                // the 3rd answer arrives in two reads
//   ... run the code under test ...
//   EXPECT_EQ(qxtest::Hex(ch.Written()[0]), "01 03 00 00 00 01 84 0A");
//   EXPECT_EQ(ch.Purges(), 1);
//
// Model: every Write takes the next scripted step (Reply, ReplyChunks, Silence, ShortWrite)
// or, when none is left, asks the responder (SetResponder), else gets no answer. An answer is
// appended to the input queue as one or more chunks; each Read returns bytes of the first
// chunk only (at most the length asked for; the rest of the chunk stays for the next Read),
// so a reply split into chunks takes several reads, as on a network link. With SetMergeReads
// a Read takes bytes across chunks up to its length, as a serial port that waits for the
// line to fall silent. Bytes not read stay queued until Purge (which empties the queue) or a
// later Read: stale bytes are modelled with Inject. A Read with nothing queued returns the
// silent result (0, or -1 as a network channel that gives up). A closed channel (SetOpen)
// returns -1 from Read and Write and 0 from Purge.
#include <stdint.h>
#include <string.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ISerBase.h"

namespace qxtest {

using Bytes = std::vector<uint8_t>;

// Bytes from hexadecimal text; characters other than hexadecimal digits are skipped, so
// "01 03 00" and "010300" give the same bytes.
inline Bytes HexBytes(const std::string& hex)
{
    Bytes out;
    int nibbles = 0;
    uint8_t cur = 0;
    for (char c : hex) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else
            continue;
        cur = (uint8_t)(cur << 4 | v);
        if (++nibbles == 2) {
            out.push_back(cur);
            nibbles = 0;
            cur = 0;
        }
    }
    return out;
}

// The bytes of a text (no terminator), for ASCII protocols.
inline Bytes TextBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

// "01 03 0A" for assertions and failure messages.
inline std::string Hex(const uint8_t* p, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; i++) {
        if (i)
            s += ' ';
        s += digits[p[i] >> 4];
        s += digits[p[i] & 15];
    }
    return s;
}
inline std::string Hex(const Bytes& b)
{
    return Hex(b.data(), b.size());
}

class ScriptChannel : public ISerBase {
public:
    using Responder = std::function<Bytes(const Bytes& request)>;

    // ---- script
    // The next unanswered write is answered by reply (one chunk).
    ScriptChannel& Reply(const Bytes& reply) { return ReplyChunks({reply}); }
    ScriptChannel& Reply(const std::string& text) { return ReplyChunks({TextBytes(text)}); }
    // The next write is answered by these chunks, one Read each.
    ScriptChannel& ReplyChunks(const std::vector<Bytes>& chunks)
    {
        Step s;
        s.chunks = chunks;
        m_steps.push_back(s);
        return *this;
    }
    // The next write gets no answer.
    ScriptChannel& Silence() { return ReplyChunks({}); }
    // The next write reports `written` bytes instead of its length, and gets no answer.
    ScriptChannel& ShortWrite(int written)
    {
        Step s;
        s.writeResult = written;
        m_steps.push_back(s);
        return *this;
    }
    // Answers writes when no scripted step is left (a small device model).
    void SetResponder(Responder r) { m_responder = std::move(r); }
    // Bytes waiting in the input now, before any write (stale bytes, noise).
    void Inject(const Bytes& bytes) { m_input.push_back(bytes); }

    // ---- settings
    void SetOpen(bool open) { m_open = open; }
    void SetType(int type) { m_type = type; }
    // What Read returns with nothing queued: 0 (a silent serial port) or -1.
    void SetSilentRead(int result) { m_silentRead = result; }
    void SetMergeReads(bool merge) { m_mergeReads = merge; }
    // What GetNote describes, as a serial channel names its line ("ttyS1:2400,N,8,1").
    void SetNote(const std::string& note) { m_note = note; }

    // ---- records
    const std::vector<Bytes>& Written() const { return m_written; }
    Bytes LastWritten() const { return m_written.empty() ? Bytes() : m_written.back(); }
    int Purges() const { return m_purges; }
    int Reads() const { return (int)m_readLengths.size(); }
    // The length argument of every Read, in order.
    const std::vector<int>& ReadLengths() const { return m_readLengths; }
    // The time-out argument of every Read, in order.
    const std::vector<int>& ReadTimeouts() const { return m_readTimeouts; }
    int Locks() const { return m_locks; }
    int Unlocks() const { return m_unlocks; }
    // Scripted steps not yet used by a write.
    size_t StepsLeft() const { return m_steps.size(); }
    // Bytes queued and not read.
    size_t Pending() const
    {
        size_t n = 0;
        for (const Bytes& c : m_input)
            n += c.size();
        return n;
    }
    int TimeoutPerByte() const { return m_timeoutPerByte; }
    int TimeoutFixed() const { return m_timeoutFixed; }

    // ---- ISerBase
    void Lock() override { m_locks++; }
    void Unlock() override { m_unlocks++; }
    bool IsBusy() override { return m_locks > m_unlocks; }
    int GetType() override { return m_type; }
    const char* GetNote() override { return m_note.c_str(); }
    int Open(const char*) override
    {
        m_open = true;
        return 1;
    }
    int Close() override
    {
        m_open = false;
        return 1;
    }
    int IsOpened() override { return m_open ? 1 : 0; }
    int GetHandle() override { return m_open ? 3 : -1; }
    int SetDef(const char*) override { return 1; }
    int SetPort(int) override { return 1; }
    int SetBaud(int) override { return 1; }
    int SetTimeout(int perByte, int fixed) override
    {
        m_timeoutPerByte = perByte;
        m_timeoutFixed = fixed;
        return 1;
    }
    int Purge() override
    {
        if (!m_open)
            return 0;
        m_purges++;
        m_input.clear();
        return 1;
    }
    int Read(unsigned char* buffer, int length, int timeout) override
    {
        m_readLengths.push_back(length);
        m_readTimeouts.push_back(timeout);
        if (!m_open || !buffer)
            return -1;
        if (m_input.empty())
            return m_silentRead;
        int got = 0;
        while (got < length && !m_input.empty()) {
            Bytes& chunk = m_input.front();
            size_t take = chunk.size() < (size_t)(length - got) ? chunk.size() : (size_t)(length - got);
            if (take)
                memcpy(buffer + got, chunk.data(), take);
            got += (int)take;
            chunk.erase(chunk.begin(), chunk.begin() + (long)take);
            if (chunk.empty())
                m_input.pop_front();
            if (!m_mergeReads)
                break;
        }
        return got;
    }
    int Write(const unsigned char* buffer, int length) override
    {
        if (!m_open || !buffer || length < 0)
            return -1;
        Bytes request(buffer, buffer + length);
        m_written.push_back(request);
        if (!m_steps.empty()) {
            Step s = m_steps.front();
            m_steps.pop_front();
            for (const Bytes& c : s.chunks)
                if (!c.empty())
                    m_input.push_back(c);
            return s.writeResult >= 0 ? s.writeResult : length;
        }
        if (m_responder) {
            Bytes reply = m_responder(request);
            if (!reply.empty())
                m_input.push_back(reply);
        }
        return length;
    }
    int Write(const unsigned char* text) override
    {
        return Write(text, text ? (int)strlen(reinterpret_cast<const char*>(text)) : -1);
    }
    int InsertObserver(ISerObserver*) override { return 1; }
    int RemoveObserver(ISerObserver*) override { return 1; }

private:
    struct Step {
        std::vector<Bytes> chunks;
        int writeResult = -1;  // -1: the full length
    };

    bool m_open = true;
    int m_type = 0x100001;
    int m_silentRead = 0;
    bool m_mergeReads = false;
    int m_purges = 0;
    int m_locks = 0;
    int m_unlocks = 0;
    int m_timeoutPerByte = 0;
    int m_timeoutFixed = 0;
    std::deque<Step> m_steps;
    std::deque<Bytes> m_input;
    std::vector<Bytes> m_written;
    std::vector<int> m_readLengths;
    std::vector<int> m_readTimeouts;
    std::string m_note = "script";
    Responder m_responder;
};

}  // namespace qxtest
