#pragma once
// The RTVS battery monitoring module as the bus sees it: 6-byte requests
//
//   7E cmd addr 00 sum 0D                       sum: (addr + cmd + arg) mod 256
//
// for its module currents (F1, F2), the total voltage of each of its four channels (91 + k)
// and the cell records of each channel (E1 + k), answered by
//
//   module current   7E cmd addr [00] hi lo sum 0D
//   channel voltage  7E cmd addr hi lo sum 0D
//   cell records     7E cmd [addr] rec... sum 0D      rec: maddr resH resL t1 t2 volt status
//
// (sum: bytes 1 to n-3, low 8 bits). The bracketed byte is there in the layout of the modules
// that points with Variant 0 poll (`stepped`, the default), and not in the other one. Words
// are big-endian; a current is 12 bits with a sign flag in the high nibble (0x1064 = -10.0 A).
// The defaults: 10.0 A and -5.0 A, 53.5 V on each channel, four cells per channel within the
// definition limits. A request for another address, or one that is no frame, gets no answer.
//
//   qxsim::BattRtvs m(1);
//   qxsim::PtySim pty;
//   m.Serve(pty);
//   m.SetRecords(1, {{1, 250, 85, 0, 122, 0}});       // channel 2: one cell
//   m.FaultOnce(qxsim::RtvsFault::NoCr);               // the next reply lacks its CR
//
// Faults of the next replies (SetFault until ClearFault, FaultOnce for the next one; param
// where it has one): Silence; Short (the first param bytes, 3 by default); NoCr (the last byte
// is 0x0A); FewerRecords (param records fewer, 1 by default); ZeroRecord (the first record all
// zero). Served through Serve, the transport's Fault::BadCheck becomes NoCr.
#include <stdint.h>

#include <mutex>
#include <vector>

#include "FaultPlan.h"
#include "SimDevice.h"

namespace qxsim {

enum class RtvsFault { None, Silence, Short, NoCr, FewerRecords, ZeroRecord };

struct RtvsRecord {
    uint8_t maddr;
    uint16_t res;  // raw: the handler takes 10 off
    uint8_t t1, t2;  // raw: the handler takes 60 off
    uint8_t volt;
    uint8_t status;
};

class BattRtvs {
public:
    explicit BattRtvs(uint8_t address = 1, bool stepped = true);

    void SetAddress(uint8_t address);
    void SetStepped(bool stepped);
    void SetCurrent(int k, uint16_t word);  // k 0, 1
    void SetVoltage(int k, uint16_t word);  // channel k 0..3
    void SetRecords(int k, const std::vector<RtvsRecord>& records);
    void SetFault(RtvsFault fault, int param = -1);
    void FaultOnce(RtvsFault fault, int param = -1);
    void ClearFault();

    // The commands asked, in order.
    std::vector<uint8_t> Asked() const;

    static Bytes Request(uint8_t address, uint8_t command);
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    // Framer (6 bytes) and responder on a simulated device; the module must outlive it.
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    uint8_t m_address;
    bool m_stepped;
    uint16_t m_curr[2];
    uint16_t m_volt[4];
    std::vector<RtvsRecord> m_records[4];
    FaultPlan<RtvsFault> m_faults;
    std::vector<uint8_t> m_asked;
};

// The module in trouble ("alarm"): both strings discharging beyond the module's range (-35.0 A
// and -26.0 A), the channels down to 46.0 V, the first cell of channel 1 bulging, low (9.8 V),
// its resistance up to 15.0 mOhm and its surface at 47 C.
void AlarmBattRtvs(BattRtvs& m, int state);

}  // namespace qxsim
