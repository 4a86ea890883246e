#pragma once
// A device that speaks YD/T 1363 ASCII frames, for the UPS, air-conditioner and power drivers
// and the generic engine. It knows no transport: ServeYdt puts it behind a pseudo-terminal
// (or any qxsim transport), and tests that drive a handler over a scripted channel call
// Handle directly.
//
//   qxsim::YdtDevice ups(1, 0x2A, 0x21);         // address 1, CID1 2A, VER 21
//   ups.SetInfo(0x42, "00" + qxsim::YdtFloat(220.5f) + qxsim::YdtWord(500));
//   ups.SetRtn(0x44, 0x04);                      // CID2 44 is answered with RTN 04
//   ups.FaultOnce(qxsim::YdtFault::BadChecksum); // the next reply's CHKSUM is wrong
//   qxsim::PtySim pty;
//   qxsim::ServeYdt(pty, ups);
//   pty.Start();                                  // channel->Open(pty.Definition().c_str())
//
// A request is '~' ... CR. The device answers as such units do:
//   - a frame of another address, of a CID1 it does not serve, or one that is not a frame:
//     no reply;
//   - a wrong CHKSUM: RTN 02; a wrong LCHKSUM or a LENID that is not the INFO's length:
//     RTN 03 (no INFO);
//   - CID2 4F (version query), whatever VER it carries: RTN 00 with the device's VER;
//   - another VER: RTN 01;
//   - a CID2 it has no answer for: RTN 04;
//   - otherwise the RTN set for the command (SetRtn, no INFO) or RTN 00 with its INFO.
// Every reply carries the device's VER and ADR, the request's CID1 and the RTN at CID2's
// place. A unit may serve several CID1 at one address (a UPS that answers its rectifier
// group under 40 and its inverter under 42): SetInfo(cid1, cid2, info) adds one.
//
// Faults for the next replies: Silence, Rtn (RTN param with no INFO), BadChecksum (a CHKSUM
// digit changed), BadLength (the LCHKSUM nibble changed), Short (cut to param characters,
// default half), OtherAddress (the reply carries ADR + 1), Lowercase (hexadecimal digits
// after SOI in lower case, checksum kept right), NoSoi (the reply without its '~'). Served through ServeYdt, the transport's
// Fault::BadCheck becomes BadChecksum; its Silence, Short, Garbage and Split apply as for any
// device.
#include <stdint.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "FaultPlan.h"
#include "SimDevice.h"

namespace qxsim {

// A whole frame: '~', VER, ADR, CID1, CID2 (or RTN), LENGTH, INFO, CHKSUM, CR.
std::string YdtFrame(int ver, int adr, int cid1, int cid2, const std::string& info);
// CHKSUM of the characters of a frame from VER to the end of INFO.
uint16_t YdtChecksum(const std::string& body);
// LENGTH of an INFO of lenid characters (LCHKSUM in the top nibble).
uint16_t YdtLength(int lenid);
// INFO fields: a float as 8 characters whose pairs are its bytes least significant first,
// an unsigned 16-bit value as 4 characters, a byte as 2, a 32-bit value as 8 (most
// significant first).
std::string YdtFloat(float v);
std::string YdtWord(unsigned v);
std::string YdtByte(unsigned v);
std::string YdtDword(uint32_t v);

// An INFO whose fields stand at the given frame columns (13 = first INFO character), '0'
// elsewhere, up to the column `end`.
std::string YdtInfoAt(const std::vector<std::pair<int, std::string>>& fields, int end);

enum class YdtFault { None, Silence, Rtn, BadChecksum, BadLength, Short, OtherAddress, Lowercase, NoSoi };

class YdtDevice {
public:
    explicit YdtDevice(int adr = 1, int cid1 = 0x2A, int ver = 0x21);

    void SetAddress(int adr);
    void SetVersion(int ver);
    int Version() const;
    // The INFO characters of the reply to a CID2 (the command then exists).
    void SetInfo(int cid2, const std::string& info);
    // The INFO of a CID2 under another CID1, which the device then serves too.
    void SetInfo(int cid1, int cid2, const std::string& info);
    // The RTN of every reply to a CID2 (0: the INFO again).
    void SetRtn(int cid2, int rtn);
    // Forgets a command: it is answered with RTN 04.
    void Remove(int cid2);

    // SetFault holds until ClearFault; FaultOnce plans one for the next reply (planned ones
    // go first, in order).
    void SetFault(YdtFault fault, int param = -1);
    void FaultOnce(YdtFault fault, int param = -1);
    void ClearFault();

    // The reply to one request (with or without its CR); empty: none. A forced fault is
    // applied to this reply instead of the planned ones.
    std::string Handle(const std::string& request, YdtFault forced = YdtFault::None);
    std::vector<uint8_t> Handle(const std::vector<uint8_t>& request);

    // Every request received, without its CR, in order.
    std::vector<std::string> Requests() const;
    // The CID2 of each request received, in order (whatever its CID1).
    std::vector<int> Commands() const;
    // The INFO of every request with this CID2, in order (control commands).
    std::vector<std::string> Infos(int cid2) const;
    void ClearRequests();

private:
    using Planned = FaultPlan<YdtFault>::Planned;
    std::string Answer(const std::string& frame, YdtFault forced);
    bool Serves(int cid1) const;  // the device's own CID1, or one given an INFO

    mutable std::mutex m_mutex;
    int m_adr, m_cid1, m_ver;
    std::map<int, std::string> m_info;  // by CID1 << 8 | CID2
    std::map<int, int> m_rtn;           // by CID2 of the device's own CID1
    FaultPlan<YdtFault> m_faults;
    RecentLog<std::string, 4096> m_requests;  // the latest, every one counted
};

// Serves the device on a simulated transport: requests end with CR; the transport's
// Fault::BadCheck becomes a wrong CHKSUM. The device must outlive the service.
void ServeYdt(Device& transport, YdtDevice& device);

}  // namespace qxsim
