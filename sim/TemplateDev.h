#pragma once
// A device whose byte protocol frame templates describe, as the template engine's definition
// files do: a request template tells how the device reads a request, a reply template how it
// lays out its answer. Tokens, separated by single spaces:
//
//   7E, 0103       literal bytes (pairs of hexadecimal digits)
//   adr            the bus address (1 byte)
//   cmd            the command code (SetCodeBytes bytes in a request, 1 by default; echoed)
//   dat            the data: what the request carries / the answer data of the command
//   len, dlen      the frame's length / the data's length (1 byte each)
//   crc, sum, xor  Modbus CRC-16 low byte first / low byte of the additive sum / XOR, over
//                  the bytes from chk0 up to the check, computed once every other byte,
//                  the length included, is in place
//
//   qxsim::TemplateDev dev(1);
//   dev.SetRequest("7E len adr cmd dat crc 0D", 1);
//   dev.SetReply("7E len adr cmd dat crc 0D", 1);
//   dev.SetData(0x03, qxsim::Hex("00 64 01 F4"));   // the answer to command 03
//   qxsim::PtySim pty;
//   dev.Serve(pty);                                  // no framer: a request ends with a pause
//   pty.InjectFault(qxsim::Fault::BadCheck);         // the next answer's check byte is wrong
//
// A request that does not match the request template exactly (literals, length, checks),
// for another address or for a command without data is not answered, as on a real bus.
// Every call may come from any thread; the device must outlive its service.
#include <stdint.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SimDevice.h"

namespace qxsim {

class TemplateDev {
public:
    struct Command {
        uint8_t adr;
        Bytes code;
        Bytes data;
    };

    explicit TemplateDev(uint8_t address = 1);

    void SetAddress(uint8_t address);
    void SetRequest(const std::string& tmpl, int chk0);
    void SetReply(const std::string& tmpl, int chk0);
    void SetCodeBytes(int n);
    // The answer data of a command code; SetData(code, {}) answers with no data.
    void SetData(uint8_t code, const Bytes& data);
    void SetSilent(bool silent);

    // Requests that matched the template, decoded, in order.
    std::vector<Command> Commands() const;

    // The answer to one request (empty: none).
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

    // A frame laid out from a template; *checkAt (when given) gets the position of the last
    // check token, -1 without one. Empty when a literal is not hexadecimal.
    static Bytes Build(const std::string& tmpl, int chk0, uint8_t adr, const Bytes& code,
                       const Bytes& data, int* checkAt = nullptr);

private:
    bool Parse(const Bytes& request, Command& out) const;

    mutable std::mutex m_mutex;
    uint8_t m_address;
    std::string m_request = "adr cmd dat crc";
    int m_requestChk0 = 0;
    std::string m_reply = "adr cmd dat crc";
    int m_replyChk0 = 0;
    int m_codeBytes = 1;
    std::map<uint8_t, Bytes> m_data;
    bool m_silent = false;
    std::vector<Command> m_commands;
};

}  // namespace qxsim
