#pragma once
// Device simulators for tests and for the simulator program.
//
// A simulated device is a `Device` (what it answers, and how it misbehaves) on a transport
// that runs it in a thread of its own: `PtySim` behind a pseudo-terminal, which the serial
// channel opens as `pts/N:9600,N,8,1` (PtySim.h), or `TcpSim` and `UdpSim` on loopback
// sockets (NetSim.h). The device part knows nothing of its transport, so a protocol
// simulator is written once, as a callback or a table, and served on any of them.
//
//   qxsim::PtySim ups;                                  // a Q1-style UPS
//   ups.SetFramer(qxsim::FrameByTerminator('\r'));
//   ups.SetTable(qxsim::Table().Add("Q1\r", "(215.0 215.0 220.0 012 50.0 2.27 25.0 00001000\r"));
//   ups.Start();
//   channel->Open(ups.Definition().c_str());
//
// Requests. Incoming bytes are cut into requests by a framer (a terminator, a fixed
// length, or any function that says how long the first complete request is). Without a
// framer a request is whatever arrived before the line stayed quiet for the idle gap, as a
// Modbus RTU slave sees a frame. Bytes that a framer cannot complete are dropped after a
// quiet second.
//
// Answers. The responder is called once per request with the fault planned for its answer
// and fills a `Reply`: the bytes, and optionally a delay. Returning false leaves the
// request unanswered. `Table` is a ready responder of fixed request/answer rows.
//
// Faults. `InjectFault(kind, count)` plans a fault for the next `count` answers (count < 0:
// every answer until `ClearFaults`). The device applies Silence (no answer), Short (the
// first half, or `SetShortLength` bytes), Garbage (as many bytes of noise), Split (the
// answer in two writes `SetSplitGap` apart) and, unless the responder did it itself, a
// generic BadCheck (the last byte inverted). Exception has no generic form: a protocol
// responder that knows one (a Modbus exception reply) applies it and sets
// `Reply::faultDone`, as it may for BadCheck when the check sits elsewhere.
//
// Log. The latest requests are kept (a few thousand, so that a simulator left running stays
// bounded) and every one is counted; `WaitRequests` and `WaitAnswers` let a test wait for the
// device instead of sleeping. Everything here may be called from any thread.
#include <stddef.h>
#include <stdint.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "RecentLog.h"

namespace qxsim {

using Bytes = std::vector<uint8_t>;

// "01 03 0a ff" (blanks optional) to bytes; a text with an odd digit or a non-hex
// character gives what was read up to it.
Bytes Hex(const char* text);
// The characters of a text, without a terminator.
Bytes Text(const std::string& text);
// Bytes to "01 03 0A FF", for test messages.
std::string ToHex(const Bytes& bytes);

enum class Fault { None, Silence, Short, Garbage, Split, BadCheck, Exception };

struct Reply {
    Bytes data;              // the answer; empty: none
    int delayMs = -1;        // wait before answering; -1: the device's delay
    bool faultDone = false;  // the responder applied the planned fault itself
};

using Responder = std::function<bool(const Bytes& request, Fault fault, Reply& reply)>;
using Framer = std::function<size_t(const uint8_t* data, size_t size)>;

// A request ends with this byte (a CR for Q1-style and AT protocols).
Framer FrameByTerminator(uint8_t last);
// Every request has this length.
Framer FrameByLength(size_t size);

// Fixed request → answer rows, matched exactly.
class Table {
public:
    Table& Add(const Bytes& request, const Bytes& answer, int delayMs = -1);
    Table& Add(const std::string& request, const std::string& answer, int delayMs = -1);
    // The answer to every request no row matches; without it they go unanswered.
    Table& Otherwise(const Bytes& answer);
    size_t Size() const { return m_rows.size(); }
    Responder AsResponder() const;

private:
    struct Row {
        Bytes request;
        Bytes answer;
        int delayMs;
    };
    std::vector<Row> m_rows;
    bool m_hasOtherwise = false;
    Bytes m_otherwise;
};

// One piece of an answer as a transport sends it: wait, then write.
struct Chunk {
    int delayMs;
    Bytes data;
};

class Device {
public:
    Device();
    virtual ~Device();
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    void SetResponder(Responder responder);
    void SetTable(const Table& table) { SetResponder(table.AsResponder()); }
    void SetFramer(Framer framer);   // null: requests end when the line goes quiet
    void SetIdleGap(int ms);         // quiet time that ends a request without framer (20)
    void SetDelay(int ms);           // default wait before each answer (0)
    void SetSplitGap(int ms);        // time between the two writes of a split answer (50)
    void SetShortLength(size_t n);   // length of a short answer; 0: half of it (0)

    void InjectFault(Fault fault, int count = 1);
    void ClearFaults();

    size_t RequestCount() const;         // every request since the start or ClearLog
    std::vector<Bytes> Requests() const;  // the latest of them, oldest first
    Bytes LastRequest() const;
    size_t AnswerCount() const;  // answers completely written
    void ClearLog();
    bool WaitRequests(size_t count, int timeoutMs) const;
    bool WaitAnswers(size_t count, int timeoutMs) const;

    // ---- for transports
    int IdleGap() const;
    bool HasFramer() const;
    // Cuts complete requests off the front of `pending` (framer set) and answers each.
    void Feed(Bytes& pending, std::vector<std::vector<Chunk>>& answers);
    // The line went quiet: without framer the pending bytes are one request.
    void Quiet(Bytes& pending, std::vector<std::vector<Chunk>>& answers);
    // The answer to one request, as the pieces to write (empty: none).
    std::vector<Chunk> Answer(const Bytes& request);
    void NoteAnswered();

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    Responder m_responder;
    Framer m_framer;
    int m_idleGapMs = 20;
    int m_delayMs = 0;
    int m_splitGapMs = 50;
    size_t m_shortLength = 0;
    Fault m_fault = Fault::None;
    int m_faultCount = 0;
    RecentLog<Bytes, 4096> m_requests;
    size_t m_answers = 0;
    uint32_t m_noise = 0x2545F491u;
};

}  // namespace qxsim
