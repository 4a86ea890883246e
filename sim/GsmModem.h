#pragma once
// A GSM modem in PDU mode behind a pseudo-terminal, as the alarm handlers see one: AT commands
// ended by CR, echo until ATE0 (and again after ATZ), the SIM, signal, operator and message
// centre queries, and AT+CMGS with its "> " prompt, the PDU ended by Ctrl-Z and the
// completion. Every PDU received is kept, with the length AT+CMGS announced for it, and can be
// read back with ParseSubmit.
//
//   qxsim::GsmModem modem;
//   modem.Start();
//   channel->Open(modem.Definition().c_str());
//   ... the handler sends ...
//   auto pdus = modem.Pdus();            // hex texts, in order
//   qxsim::SubmitPdu p = qxsim::ParseSubmit(pdus[0]);
//
// The modem answers on its own pseudo-terminal (Start, Definition) or, through Serve, on any
// other transport (the simulator program's).
//
// Faults: SetReply(prefix, text) replaces the answer to every command that begins with prefix
// ("AT+CMGS" → "\r\nERROR\r\n"; "PDU" stands for the PDU itself → "\r\n+CMS ERROR: 500\r\n"),
// and the Device faults apply to every answer: silence, short, garbage, split and a bad
// check (the last byte spoilt) as on any device, and an exception as the modem's refusal:
// "\r\nERROR\r\n" answers the command or PDU, which does nothing.
#include <stdint.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "PtySim.h"

namespace qxsim {

// An SMS-SUBMIT PDU read back from its hex text.
struct SubmitPdu {
    bool ok = false;
    std::string error;     // why it did not parse
    std::string smsc;      // centre digits ("" when the field is 00)
    int smscOctets = 0;    // the centre field's octets, its length octet included
    uint8_t smscType = 0;
    uint8_t first = 0;     // first TPDU octet (0x11 single, 0x51 with a header)
    uint8_t mr = 0;        // message reference
    std::string phone;     // destination digits
    uint8_t phoneType = 0;
    uint8_t pid = 0, dcs = 0, vp = 0;
    int udl = 0;           // user data length as sent
    bool header = false;   // a concatenation header came first
    int ref = -1, total = 0, seq = 0;
    Bytes ud;              // user data after the header (seven-bit: the packed octets)
    int tpduOctets = 0;    // octets after the centre field
};
SubmitPdu ParseSubmit(const std::string& hex);

class GsmModem {
public:
    GsmModem();
    ~GsmModem();

    bool Start();
    void Stop();
    std::string Definition() const { return m_pty.Definition(); }
    Device& Dev() { return m_pty; }
    // Answers on another transport too (framer and responder); the modem must outlive its
    // service there.
    void Serve(Device& dev);

    // Answers of the queries (the text between "\r\n" and "\r\n\r\nOK\r\n").
    void SetCsq(const std::string& s);        // "+CSQ: 23,99"
    void SetCpin(const std::string& s);       // "+CPIN: READY"
    void SetCops(const std::string& s);       // "+COPS: 0,0,\"China Mobile\""
    void SetCsca(const std::string& s);       // "+CSCA: \"+8613800100500\",145"
    void SetEsims(const std::string& s);      // "+ESIMS: 1"
    // Replaces the answer to the commands beginning with prefix ("PDU": the PDU itself).
    void SetReply(const std::string& prefix, const std::string& answer);
    void ClearReplies();

    std::vector<std::string> Commands() const;   // every command line received, CR removed
    std::vector<std::string> Pdus() const;       // the PDUs' hex texts, Ctrl-Z removed
    std::vector<int> CmgsLengths() const;        // the length given with each AT+CMGS
    bool WaitPdus(size_t count, int timeoutMs) const;

    // The modem without its terminal: the answers to bytes written to it, for a scripted
    // in-memory channel (requests may be split or joined across calls).
    std::string Respond(const std::string& bytes);

private:
    bool Answer(const Bytes& request, Fault fault, Reply& reply);
    std::string Handle(const std::string& line);

    PtySim m_pty;
    mutable std::mutex m_mutex;
    bool m_echo = true;
    bool m_pduMode = false;
    std::string m_pending;  // bytes given to Respond that end no request yet
    int m_nextRef = 1;
    std::map<std::string, std::string> m_info;
    std::map<std::string, std::string> m_replies;
    std::vector<std::string> m_commands;
    std::vector<std::string> m_pdus;
    std::vector<int> m_cmgs;
};

}  // namespace qxsim
