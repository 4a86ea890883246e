#pragma once
// A string of EB90 cell sensors as the bus sees it: one sensor per cell, each at its own bus
// address (the first at `first`, the next one up), asked with 10-byte requests
//
//   EB 90 addr cmd 00 00 00 00 sum 16           sum: bytes 2 to 7, low 8 bits
//
// for the cell's voltage (0x60, mV), temperature (0x61, tenths of a degree Celsius) and
// internal resistance (0x62, µΩ), each answered by
//
//   EB 90 addr cmd v0 v1 v2 sum 16              value 24-bit little-endian; sum: bytes 2 to 6
//
// The defaults: 13.200 V, 3.500 mΩ, 25.1 °C on every cell, within the definition limits. A
// request for an address without a sensor, or one that is no frame, gets no answer.
//
//   qxsim::BodEb90 s(10, 4);                          // sensors 10 to 13
//   qxsim::PtySim pty;
//   s.Serve(pty);
//   s.SetCell(2, 12800, 4100, 300);
//   s.FaultOnce(qxsim::Eb90Fault::BadSum);
//
// Faults of the next replies (SetFault until ClearFault, FaultOnce for the next one):
// Silence; Short (the first 6 bytes); BadSum (the sum byte off by one); BadHeader (0xEA in
// place of 0xEB). Served through Serve, the transport's Fault::BadCheck becomes BadSum.
#include <stdint.h>

#include <mutex>
#include <utility>
#include <vector>

#include "FaultPlan.h"
#include "SimDevice.h"

namespace qxsim {

enum class Eb90Fault { None, Silence, Short, BadSum, BadHeader };

class BodEb90 {
public:
    explicit BodEb90(uint8_t first = 1, int cells = 4);

    // Cell i (0-based) of the string; cells beyond the string are added.
    void SetCell(int i, int mv, int uohm, int tenths);
    int Cells() const;
    void SetFault(Eb90Fault fault);
    void FaultOnce(Eb90Fault fault);
    void ClearFault();

    // (address, command) of every request answered or refused by a fault, in order.
    std::vector<std::pair<uint8_t, uint8_t>> Asked() const;

    static Bytes Request(uint8_t address, uint8_t command);
    // A reply frame of a value.
    static Bytes Frame(uint8_t address, uint8_t command, int value);
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    // Framer (10 bytes) and responder on a simulated device; the string must outlive it.
    void Serve(Device& device);

private:
    struct Cell {
        int mv, uohm, tenths;
    };
    mutable std::mutex m_mutex;
    uint8_t m_first;
    std::vector<Cell> m_cells;
    FaultPlan<Eb90Fault> m_faults;
    std::vector<std::pair<uint8_t, uint8_t>> m_asked;
};

// The string in trouble ("alarm"): every cell collapsed and aged after a long discharge in a
// hot room, 7.600 V, 12.500 mOhm, 41.0 C; a point sweeping the string finds each cell it polls
// out of range.
void AlarmBodEb90(BodEb90& s, int state);

}  // namespace qxsim
