#pragma once
// The EDX UPS as the line sees it: 11-byte requests "81 88 A1 01 id 03 00 00 12 00 xor"
// (xor of bytes 2..9), each answered by one block for its data identifier:
//
//   (06) 84 n id data... xor          n = 1 + data bytes (low nibble), xor of id and data
//
// The data of each identifier are set by the test; the defaults are a UPS on mains at rest
// (230 V in and out, 50 Hz, battery full, 35 % load). A request that is no frame (length,
// head, xor) gets no answer.
//
//   qxsim::EdxUps ups;
//   qxsim::PtySim pty;
//   ups.Serve(pty);
//   ups.SetData(0x31, qxsim::Hex("32 E6 00"));
//   ups.FaultOnce(qxsim::EdxFault::WrongId);   // the next block names identifier + 1
//
// Faults of the next blocks (SetFault until ClearFault, FaultOnce for the next one):
//   Silence      no block
//   Ack          the block starts with 0x06 (accepted by the handler as well)
//   WrongId      the block names another identifier (its xor right)
//   BadXor       the xor byte is wrong
//   Longer       the block is a byte longer than its n says (n one less)
//   Shorter      the block is a byte shorter than its n says (n one more)
//   Trailing     a valid block, then one byte more (0x00) in the same answer
//   TooShort     a valid block without its last data byte (n one less, xor right): too short
//                for what the identifier's data are read for
// Served through Serve, the transport's Fault::BadCheck becomes BadXor; Silence, Short,
// Garbage and Split apply as for any device. Every call may come from any thread.
#include <stdint.h>

#include <map>
#include <mutex>
#include <vector>

#include "FaultPlan.h"
#include "RecentLog.h"
#include "SimDevice.h"

namespace qxsim {

enum class EdxFault { None, Silence, Ack, WrongId, BadXor, Longer, Shorter, TooShort, Trailing };

class EdxUps {
public:
    EdxUps();

    // The data bytes after the identifier in the block of an identifier (at most 14).
    void SetData(uint8_t id, const Bytes& data);
    void SetSilent(bool silent);
    void SetFault(EdxFault fault);
    void FaultOnce(EdxFault fault);
    void ClearFault();

    // The identifiers asked, in order (the latest RecentLog::kKept).
    std::vector<uint8_t> Asked() const;

    // The request of an identifier as the handler sends it.
    static Bytes Request(uint8_t id);
    // A block for an identifier with these data (flag 0x84, no 0x06).
    static Bytes Block(uint8_t id, const Bytes& data);

    // The answer to one request (empty: none). fault: the transport's fault for it.
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    // Framer (11 bytes) and responder on a simulated device; the UPS must outlive it.
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    std::map<uint8_t, Bytes> m_data;
    bool m_silent = false;
    FaultPlan<EdxFault> m_faults;
    RecentLog<uint8_t> m_asked;
};

// The EDX in trouble: state 1 on battery with its battery low (mains gone, and with it the
// bypass: its frequency and its state abnormal), the output still on; state 2 on mains with
// its bypass overloaded and the output lost.
void AlarmEdxUps(EdxUps& ups, int state);

}  // namespace qxsim
