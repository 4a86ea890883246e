#pragma once
// The RS-485 adapter of a Mitsubishi comfort air-conditioner as the bus sees it. It answers
// the 8-byte query "55 00 addr 00 00 00 00 AA" with four data bytes:
//
//   with the lead byte     55 00 addr d0 d1 d2 d3 AA      (d0..d3 at bytes 3..6)
//   without it             addr 00 d0 d1 d2 d3 AA         (d0..d3 at bytes 2..5)
//
//   d0  bit 7 on/off (0 on, 1 off, as the unit's legend "0 开机 1 关机" has it), bits 4..6
//       mode, bits 0..3 fan speed
//   d1  temperature
//   d2  bit 0 swing, 1 filter due, 2 compressor, 3 ventilation, 7 remote locked
//   d3  fault code
//
// There is no checksum. A query for another address, or any other bytes, get no answer.
// Until SetData the adapter answers for a unit cooling at 25 degrees: on, mode 7 (cool),
// fan 3 (medium), swing and compressor on, no fault (73 19 05 00).
//
//   qxsim::AircMitsubishi ac(1);
//   qxsim::PtySim pty;
//   ac.Serve(pty);
//   ac.SetData(0x9A, 0x19, 0x85, 0x03);
//   ac.SetShort(5);                   // answers cut to 5 bytes until SetShort(0)
//
// Every call may come from any thread.
#include <stdint.h>

#include <mutex>

#include "SimDevice.h"

namespace qxsim {

class AircMitsubishi {
public:
    explicit AircMitsubishi(uint8_t address = 1);

    void SetAddress(uint8_t address);
    void SetData(uint8_t d0, uint8_t d1, uint8_t d2, uint8_t d3);
    void SetLead(bool lead);     // answer with the lead byte 0x55 (the default) or without
    void SetSilent(bool silent); // answer nothing
    void SetShort(size_t n);     // cut every answer to n bytes (0: whole)

    // The answer to one query (empty: none); the generic faults are the transport's.
    Bytes Answer(const Bytes& request) const;
    // Framer (8-byte queries) and responder on a simulated device; the adapter must outlive
    // its service.
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    uint8_t m_address;
    uint8_t m_data[4] = {0x73, 0x19, 0x05, 0x00};
    bool m_lead = true;
    bool m_silent = false;
    size_t m_short = 0;
};

// The adapter of a unit in trouble (state 1): its compressor stopped on fault code 21, the
// filter due for cleaning, the room at 40 degrees with the unit still on, cooling, fan high
// (72 28 03 15).
void AlarmAircMitsubishi(AircMitsubishi& ac, int state);

}  // namespace qxsim
