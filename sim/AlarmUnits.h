#pragma once
// The alarm output units of the short-message family, as their handlers see them: the remote
// alarm module (length-framed binary commands), a CDMA modem (AT commands on CR LF lines, the
// message as hexadecimal text inside AT+CMGS), the text-command unit ("csq()\r\n" answered
// "18\r\r\nOK\r\r\n") and a serial touch panel (A5 5A frames, nothing answered).
//
// Each is a model: Serve(dev) puts it behind a transport (PtySim), and the model's Respond
// answers bytes written to it directly, for a scripted in-memory channel. The Device faults
// (silence, short, garbage, split, bad check) apply on top of every answer.
//
//   qxsim::PtySim pty;
//   qxsim::AlarmModule module;
//   module.Serve(pty);
//   pty.Start();
//   ... the handler sends ...
//   module.Sms()   // {phone, text} of every message
#include <stdint.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SimDevice.h"

namespace qxsim {

// ---------------------------------------------------------------- the remote alarm module

// Requests and replies: AA, data length (2 bytes, high first), command, data, XOR of command
// and data, 55. A request whose check or end is wrong goes unanswered.
class AlarmModule {
public:
    // How the reply to one command is spoilt.
    enum class Spoil { None, WrongCheck, End54, Length };

    AlarmModule();

    void Serve(Device& dev);
    // The replies to bytes written to the module (requests may be split or joined).
    Bytes Respond(const Bytes& bytes);
    // The reply frame to one request frame; empty when none is due.
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);

    void SetId(const Bytes& four);        // command 01
    void SetStatus(const Bytes& four);    // command 02: byte 1 GSM state, byte 2 line state
    void SetSignal(uint8_t signal);       // command 06
    void SetRequest(const Bytes& twenty); // command 07
    void SetIo(const Bytes& four);        // command 33
    void SetSmsStatus(uint8_t status);    // commands 11, 12, 14, 15
    // The replies to cmd are spoilt; with Spoil::Length they carry `length` data bytes.
    void SetSpoil(uint8_t cmd, Spoil spoil, int length = 0);
    void ClearSpoils();

    struct Request {
        uint8_t cmd;
        Bytes data;
    };
    std::vector<Request> Requests() const;
    std::vector<std::pair<std::string, std::string>> Sms() const;  // number, text
    std::vector<std::string> Dialled() const;
    std::string TtsText() const;
    std::map<int, int> Relays() const;  // relay -> on
    std::vector<size_t> Pieces() const;  // lengths of the upload pieces

    // Length of the first frame in data (0: incomplete; 1 for a stray byte before a frame).
    static size_t FrameLength(const uint8_t* data, size_t size);
    static Bytes Frame(uint8_t cmd, const Bytes& data);

private:
    mutable std::mutex m_mutex;
    Bytes m_pending;
    Bytes m_id, m_status, m_request, m_io;
    uint8_t m_signal = 23;
    uint8_t m_smsStatus = 0;
    std::map<uint8_t, std::pair<Spoil, int>> m_spoils;
    std::vector<Request> m_requests;
    std::vector<std::pair<std::string, std::string>> m_sms;
    std::vector<std::string> m_dialled;
    std::string m_tts;
    std::map<int, int> m_relays;
    std::vector<size_t> m_pieces;
};

// ---------------------------------------------------------------- the CDMA modem

// A unit that takes one command a line ended by LF: the lines are kept, an answer may be
// replaced per command prefix, and the unit's own Handle answers the rest.
class LineUnit {
public:
    virtual ~LineUnit() = default;
    void Serve(Device& dev);
    std::string Respond(const std::string& bytes);
    // Replaces the answer to the commands that begin with prefix.
    void SetReply(const std::string& prefix, const std::string& answer);
    void ClearReplies();
    std::vector<std::string> Lines() const;  // every line, CR LF removed

protected:
    // The answer to one line (CR LF removed, not empty), under the lock.
    virtual std::string Handle(const std::string& line) = 0;
    mutable std::mutex m_mutex;

private:
    std::string m_pending;
    std::map<std::string, std::string> m_replies;
    std::vector<std::string> m_lines;
};

// AT commands ended by CR LF, answers "\r\nOK\r\n"; "AT+CSQ?" answers the signal; the
// message goes as one line AT+CMGS=,"<hex>" and is recorded.
class CdmaModem : public LineUnit {
public:
    void SetCsq(const std::string& s);  // "+CSQ: 20,99"
    std::vector<std::string> CmgsLines() const; // the AT+CMGS lines

private:
    std::string Handle(const std::string& line) override;
    std::string m_csq = "+CSQ: 20,99";
    std::vector<std::string> m_cmgs;
};

// A point-to-point message read back from its AT+CMGS line.
struct CdmaSubmit {
    bool ok = false;
    std::string error;
    std::string phone;              // the address digits
    int addressOctets = 0;
    int bearerOctets = 0;
    int userDataOctets = 0;
    std::vector<uint16_t> units;    // the user data's 16-bit units, the byte-order mark first
};
CdmaSubmit ParseCdmaSubmit(const std::string& line);

// ---------------------------------------------------------------- the text-command unit

// One command a line ("csq()\r\n"); every answer value ends CR CR LF: "18\r\r\nOK\r\r\n".
class TextUnit : public LineUnit {
public:
    void SetCsq(int v);
    void SetBuzzer(int v);
    int Buzzer() const;

private:
    std::string Handle(const std::string& line) override;
    int m_csq = 18;
    int m_buzzer = 0;
};

// ---------------------------------------------------------------- the touch panel

// Takes A5 5A <n> frames of n more bytes and answers nothing.
class TouchPanel {
public:
    void Serve(Device& dev);
    std::vector<Bytes> Frames() const;
    bool WaitFrames(size_t count, int timeoutMs) const;

private:
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_frames;
};

}  // namespace qxsim
