#pragma once
// The 9E UPS on its block protocol, as the device sees it. Requests are single control bytes
// and 11-byte frames:
//
//   <- 16                                   synchronisation, answered with 06
//   <- 81 88 A1 01 id 03 p p l l x          a request for the data of identifier id (x: the
//                                           XOR of bytes 2..9; a frame that does not check
//                                           goes unanswered)
//   -> 06 flag len d d d ...                first block: flag at 1, data count in the low
//                                           nibble of 2 (the high nibble numbers the block)
//   <- 06                                   each block is acknowledged ...
//   -> flag len d d ...                     ... and the next one follows: flag at 0, count at 1
//   <- 06                                   the last block's flag has bit 7 set (0x84, others
//                                           0x04); its acknowledgement gets no answer
//
//   qxsim::Ups9EBlock ups;
//   ups.SetReadings(readings, 0x81);        // b7 and b0 set
//   qxsim::PtySim pty;
//   pty.SetFramer(qxsim::Ups9EBlock::RequestFramer());
//   pty.SetResponder(ups.AsResponder());
//
// Faults of the protocol (SetFault, for every transaction until cleared): silence at the
// synchronisation, at the frame or at the acknowledgement that asks for the second block; a
// block carrying two bytes more, or one byte less, than its count says; blocks that never set
// bit 7. The transport's generic faults (Device::InjectFault) come on top, per answer.
#include <stdint.h>

#include <map>
#include <mutex>
#include <vector>

#include "RecentLog.h"
#include "SimDevice.h"
#include "UpsModbusMaps.h"

namespace qxsim {

class Ups9EBlock {
public:
    enum class Fault { None, SilentSync, SilentFrame, SilentAck, LongBlock, ShortBlock, Endless };

    Ups9EBlock();

    // The data of an identifier (an identifier without data goes unanswered).
    void SetData(uint8_t id, const Bytes& data);
    // The nine identifiers the handler asks, from readings: voltages and currents as words in
    // tenths, vbatt in volts, fin and fout in hertz; bits holds b7, b3, b2, b1, b0 at bits
    // 7, 3, 2, 1, 0.
    void SetReadings(const UpsReadings& r, uint8_t bits);
    // Data bytes per block, 1..15 (15 at the start).
    void SetBlockSize(int bytes);
    void SetFault(Fault fault);

    // The identifiers of the frames received, in order; the acknowledgements received.
    // Identifiers and requests are those of the latest RecentLog::kKept of each, so that a
    // simulator left running does not grow.
    std::vector<uint8_t> Identifiers() const;
    int Acks() const;
    // The requests received, in order: synchronisation bytes, frames, acknowledgements.
    std::vector<Bytes> Received() const;

    Responder AsResponder();
    // A frame is 11 bytes from its 0x81; any other byte is a request of its own.
    static Framer RequestFramer();

    // The answer to one request (empty: none).
    Bytes Answer(const Bytes& request);

private:
    Bytes Block(size_t index) const;

    mutable std::mutex m_mutex;
    std::map<uint8_t, Bytes> m_data;
    int m_blockSize = 15;
    Fault m_fault = Fault::None;
    RecentLog<uint8_t> m_ids;
    int m_acks = 0;
    RecentLog<Bytes> m_received;
    // The transaction under way: its data and the next block to send (-1: none).
    Bytes m_current;
    long m_next = -1;
};

}  // namespace qxsim
