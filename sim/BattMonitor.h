#pragma once
// The battery monitors and inspection units on RS-485. Modbus function 4:
//   - BAT100: input registers laid on a ModbusSlave (group block 0x500-0x503, cell arrays
//     0x100 voltage, 0x400 resistance, 0x200 temperature, 0x300 T2, 256 cells each);
//   - BOD-800: one request per cell (register 128 + cell, count 3) answered with the cell's
//     status byte, voltage byte and temperature word; its reply overlaps the next cell's
//     registers, so it is a responder of its own, not a register map. Another function is
//     answered with exception 01 (illegal function), a count outside 1-125 with 03, any
//     other read with 02 (illegal data address).
//
//   qxsim::ModbusSlave slave(1);
//   qxsim::Batt100 b; b.volt = 5350; b.cells = {{136, 310, 251, 0}, ...};
//   qxsim::SetBatt100(slave, b);
//
//   qxsim::Bod800 bod(1);
//   bod.SetCell(0, {0, 131, 255});
//   bod.Serve(pty);
#include <stdint.h>

#include <mutex>
#include <string>
#include <vector>

#include "ModbusSlave.h"
#include "SimDevice.h"
#include "YdtDevice.h"

namespace qxsim {

struct Batt100 {
    int16_t curr1 = 125, curr2 = 0;  // tenths of an ampere, negative while discharging
    uint16_t volt = 5350, temp = 251;
    struct Cell {
        uint16_t v, r, t, t2;
    };
    std::vector<Cell> cells;  // at most 256 are laid
};
void SetBatt100(ModbusSlave& slave, const Batt100& m);
// The monitor in trouble ("alarm"): its first block failing, 7.9 V with 185.0 mOhm of internal
// resistance at 36.5 C.
void AlarmBatt100(Batt100& m, int state);

class Bod800 {
public:
    static constexpr int kCells = 128;
    struct Cell {
        uint8_t status = 0, volt = 0;
        uint16_t temp = 0;
        bool silent = false;  // this cell's module does not answer
    };

    explicit Bod800(uint8_t unit = 1);
    void SetCell(int cell, const Cell& c);
    // Cells 0..n-1 answer with status 0, 12.0 + cell/10 V and 25.0 C.
    void SetHealthy(int n);
    // The first cell in trouble ("alarm"): status 1 (not 0, normal) and 7.5 V.
    void SetAlarm(int state);
    void Serve(Device& device);
    // The answer to one request frame; empty for none. Exception and BadCheck faults are
    // applied here.
    Bytes Answer(const Bytes& request, Fault fault);
    size_t RequestCount() const;

private:
    mutable std::mutex m_mutex;
    uint8_t m_unit;
    Cell m_cells[kCells];
    size_t m_requests = 0;
};

// ADU1000 battery inspection unit, YD/T 1363 VER 20 CID1 46: CID2 41 answered with the 49
// cell voltages and the two groups' totals, currents and temperatures as floats (INFO of 452
// characters, reply of 470). The defaults: 12 V blocks on float charge, near 13.3 V; blocks
// 1-25 make group 1 and 26-49 group 2, whose totals are their sums, and each group takes a
// float current of a few amperes.
//
//   qxsim::YdtDevice adu(1, 0x46, 0x20);
//   qxsim::Adu1000 a; a.cells[0] = 13.3f; qxsim::SetAdu1000(adu, a);
struct Adu1000 {
    float cells[49];
    float total1 = 333.34f, total2 = 320.04f;  // volts
    float curr1 = 2.5f, curr2 = 1.25f;         // amperes
    float temp1 = 25.1f, temp2 = 24.6f;    // degrees
    Adu1000() {
        for (int i = 0; i < 49; i++) cells[i] = 13.3f + 0.01f * (float)(i % 8);
    }
};
void SetAdu1000(YdtDevice& device, const Adu1000& m);
// The unit in trouble ("alarm"): block 7 collapsed to 9.2 V, group 1 recharging at 31.2 A
// after a discharge, both battery rooms hot (33.5 and 32.0 C); the totals the sums of their
// blocks.
void AlarmAdu1000(Adu1000& m, int state);
// The INFO of its reply.
std::string Adu1000Info(const Adu1000& m);

// DB100 battery inspection unit, Modbus unit 1: holding registers 0x200-0x21D, signed.
struct Db100 {
    int16_t volt = 5350;  // hundredths of a volt
    int16_t curr = 250;   // hundredths of an ampere, negative while discharging
    int16_t temp = 251;   // tenths of a degree
    uint16_t cells[24];   // thousandths of a volt
    uint16_t range = 10000, count = 24, model = 12;
    Db100() {
        for (int i = 0; i < 24; i++) cells[i] = (uint16_t)(13300 + 10 * (i % 8));
    }
};
void SetDb100(ModbusSlave& slave, const Db100& m);
// A string of n blocks (1 to 24): the unit reports n cells, the cells beyond read 0, the
// total is the sum of the blocks.
Db100 Db100String(int n);
// The unit in trouble ("alarm"): its string discharging at 15.20 A, 12.40 V a block but the
// second collapsed to 9.80 V, the room at 38.2 C.
void AlarmDb100(Db100& m, int state);

}  // namespace qxsim
