#pragma once
// The III UPS as the bus sees it: 8-byte requests "EA 02 02 EA addr cmd sum 16" (sum: the
// low 8 bits of addr + cmd) for command 0x81 (measurements) and 0x86 (battery), each
// answered by a frame
//
//   EA L L addr cmd <data...> sum 16          L + 6 bytes, sum at L + 4, 0x16 at L + 5
//
// whose values are little-endian words (or bytes) at fixed offsets from the EA. The defaults
// are a UPS on mains at rest: 220.0 V on the three input phases, 50.0 Hz, battery full; a
// measurement frame of 53 bytes (L 47) and a battery frame of 25 (L 19), each just long
// enough for its last value to lie before the check byte at L + 4. A request for another
// address, or one that is no frame, gets no answer.
//
//   qxsim::IIIUps ups(1);
//   qxsim::PtySim pty;
//   ups.Serve(pty);
//   ups.SetWord(0x81, 6, 2310);                   // input voltage 1
//   ups.FaultOnce(qxsim::IIIFault::NoEnd);        // the next frame lacks its 0x16
//
// Faults of the next frames (SetFault until ClearFault, FaultOnce for the next one):
//   Silence      no frame
//   LengthsDiffer  byte 2 differs from byte 1
//   NoHead       the first byte is not 0xEA
//   NoEnd        byte L + 5 is not 0x16
//   TooSmall     L too small for the values read from the frame (measurements 40, battery
//                15), the frame well formed otherwise
// Served through Serve, the transport's Fault::BadCheck becomes NoEnd; Silence, Short,
// Garbage and Split apply as for any device. Every call may come from any thread.
#include <stdint.h>

#include <map>
#include <mutex>
#include <vector>

#include "FaultPlan.h"
#include "SimDevice.h"

namespace qxsim {

enum class IIIFault { None, Silence, LengthsDiffer, NoHead, NoEnd, TooSmall };

class IIIUps {
public:
    explicit IIIUps(uint8_t address = 1);

    void SetAddress(uint8_t address);
    // A little-endian word or a byte of the frame answering a command, at its offset from
    // the EA (offsets 5 .. L + 3 are data).
    void SetWord(uint8_t command, int at, uint16_t value);
    void SetByte(uint8_t command, int at, uint8_t value);
    void SetSilent(bool silent);
    void SetFault(IIIFault fault);
    void FaultOnce(IIIFault fault);
    void ClearFault();

    // The commands asked, in order.
    std::vector<uint8_t> Asked() const;

    // The request for a command as the handler sends it.
    static Bytes Request(uint8_t address, uint8_t command);

    // The answer to one request (empty: none). fault: the transport's fault for it.
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    // Framer (8 bytes) and responder on a simulated device; the UPS must outlive it.
    void Serve(Device& device);

private:
    Bytes Frame(uint8_t command, IIIFault fault) const;

    mutable std::mutex m_mutex;
    uint8_t m_address;
    std::map<uint8_t, Bytes> m_frames;  // whole frames by command, sum and end included
    bool m_silent = false;
    FaultPlan<IIIFault> m_faults;
    std::vector<uint8_t> m_asked;
};

// The III in trouble (state 1): on battery, no input on any phase and the mains fault bits
// of byte 50 set, the battery running down.
void AlarmIIIUps(IIIUps& ups, int state);

}  // namespace qxsim
