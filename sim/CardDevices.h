#pragma once
// The door and card devices as the line sees them: four door controllers and card readers
// that report card events, the door people counter and the RS-485 card reader. Each model
// answers the requests of its protocol from settable state and is served on any transport
// (usually a PtySim) with Serve; the transport's generic faults apply (Silence, Short,
// Garbage, Split), and BadCheck spoils the model's own check value. Every call may come from
// any thread; a model must outlive the device that serves it.
//
//   qxsim::CardA door(1);            // controller A at address 1
//   qxsim::PtySim pty;
//   door.Serve(pty);
//   door.SetEvent(ev);               // the next poll reports this event (its record number)
#include <stdint.h>

#include <mutex>
#include <string>
#include <vector>

#include "SimDevice.h"

namespace qxsim {

// One card event: record number, card, door, status and its time.
struct CardEvent {
    uint32_t rec = 1;
    uint32_t card = 12345;
    uint8_t door = 1;
    uint8_t st = 0;
    int year = 2014, month = 3, day = 5, hour = 8, minute = 9, second = 10;
};

// Controller A: 34-byte frames '~', address and command little-endian, 26 data bytes, 16-bit
// sum of bytes 1-30 little-endian, CR. The poll 0x1081 is answered with the latest event;
// any other command with the status byte at offset 5. Requests for another address or with
// a bad sum go unanswered.
class CardA {
public:
    explicit CardA(uint16_t addr) : m_addr(addr) {}
    void SetEvent(const CardEvent& e);
    void SetStatus(uint8_t status);           // byte 5 of command replies
    // Every poll answered reports the event afresh under the next record number.
    void SetRepeating(bool repeating);
    std::vector<uint16_t> Commands() const;   // the commands asked, in order

    static Bytes Frame(uint16_t addr, uint16_t cmd, const Bytes& data);
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    uint16_t m_addr;
    CardEvent m_event;
    uint8_t m_status = 0;
    bool m_repeat = false;
    std::vector<uint16_t> m_commands;
};

// Controller A in alarm: a door forced and held open, which the controller reports as an
// alarm event (status 0x05) afresh on every poll.
void AlarmCardA(CardA& m, int state);

// Card reader K: 0x7F ASCII-hex frames (VER 10, ADR, CID1 80, CID2, LENGTH, INFO, CHKSUM, CR).
// Its poll (CID2 4A) is answered with the event INFO: door, card (32 bits), the time in 7 BCD
// bytes, 0, and the acceptance byte. Variations of the reply for tests: lower-case digits, a
// wrong CHKSUM or LCHKSUM, another INFO length, a nonzero acceptance byte.
class CardK {
public:
    void SetEvent(const CardEvent& e);
    void SetLowerCase(bool lower);
    void SetBadChecksum(bool bad);
    void SetBadLengthCheck(bool bad);
    void SetInfoLength(int n);   // INFO bytes sent (14 by default)
    void SetAccept(uint8_t b);   // INFO byte 13 (0: the event is accepted)

    // A frame with these fields (upper-case, checked).
    static Bytes Frame(uint8_t adr, uint8_t cid1, uint8_t cid2, const Bytes& info);
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    CardEvent m_event;
    bool m_lower = false, m_badSum = false, m_badLen = false;
    int m_infoLen = 14;
    uint8_t m_accept = 0;
};

// Controller T: frames A6, address, kind, command, length n, n data bytes, 8-bit sum. The poll
// (command 1) is answered with the event report (command byte 0x42, 16 data bytes: door flag,
// door, status, card, a second word, the Unix time, a last byte) or, without an event, with an
// empty reply of command 1. Other commands are answered with the command and the result byte.
class CardT {
public:
    explicit CardT(uint8_t addr) : m_addr(addr) {}
    // The event reported, with its Unix time stamp and door flag (byte 5).
    void SetEvent(const CardEvent& e, uint32_t stamp, uint8_t doorFlag = 1);
    void SetNoEvent();
    void SetResult(uint8_t result);  // data byte 2 of command replies (2: refused)

    static Bytes Frame(uint8_t addr, uint8_t kind, uint8_t cmd, const Bytes& data);
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    uint8_t m_addr;
    bool m_hasEvent = false;
    CardEvent m_event;
    uint32_t m_stamp = 0;
    uint8_t m_doorFlag = 1;
    uint8_t m_result = 0;
};

// Controller W: 64-byte packets 17, function, 00 00, serial number little-endian, ... The poll
// (function B0) is answered with the latest swipe record: record index (bytes 8-11), status
// (13), door (14), card (16-19), BCD time (20-26). Requests for another serial number go
// unanswered; SetReplyLength cuts the reply (a device sending fewer bytes).
class CardW {
public:
    explicit CardW(uint32_t serial) : m_serial(serial) {}
    void SetEvent(const CardEvent& e);
    void SetReplyLength(size_t n);

    static Bytes Request(uint32_t serial, uint8_t func);
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    uint32_t m_serial;
    CardEvent m_event;
    size_t m_len = 64;
};

// People counter: 16-byte frames FA, letter, its complement, address big-endian, 8 data bytes,
// XOR of bytes 0-12, CR LF. 'b' state (8 bytes), 'f' the in and out counts, 'c' twenty record
// replies, 'e' the configuration; 'a' sets the clock: its data are recorded and echoed.
class PeopleCounter {
public:
    explicit PeopleCounter(uint16_t addr) : m_addr(addr) {}
    void SetCounts(int in, int out);
    void SetState(const uint8_t st[8]);
    void SetBadXor(bool bad);  // every reply with a wrong XOR byte
    std::vector<Bytes> ClockFrames() const;  // the data bytes of every 'a' frame received

    static Bytes Frame(uint8_t letter, uint16_t addr, const uint8_t data[8]);
    // The replies to one request, concatenated.
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    uint16_t m_addr;
    int m_in = 0, m_out = 0;
    uint8_t m_state[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    bool m_badXor = false;
    std::vector<Bytes> m_clock;
};

// The people counter's day at t seconds: a person comes in every ten seconds while 35 to 75
// are inside, so that neither count goes back; both start again each day. In alarm a crowd
// of 430 is inside, more than the 380 the room is meant for.
void PeopleCounterDay(PeopleCounter& m, double t, int state);

// RS-485 card reader: ASCII frames 09, 'A', address digit, letter, XOR text "%02X", CR.
// 'B' the serial number (15-byte reply), 'F' the last card (16 bytes with a card, 6 without),
// 'X' 'D' + serial: the device number (8 bytes), with a ninth character: set it (7 bytes).
class Rs485Reader {
public:
    Rs485Reader(int addr, const std::string& serial) : m_addr(addr), m_serial(serial) {}
    void SetCard(const std::string& card);  // 8 characters; "" for no card
    void SetDeviceNumber(int n);
    int DeviceNumber() const;

    // The frame of these characters with its XOR text and CR.
    static Bytes Frame(const std::string& body);
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    int m_addr;
    std::string m_serial;
    std::string m_card;
    int m_devId = 3;
};

// The RS-485 card reader a site has: address 1, serial number 00012345. In alarm another
// reader answers at its address, its serial number 40012345 outside the range the site allows.
struct Rs485ReaderId {
    int addr = 1;
    std::string serial = "00012345";
};
void AlarmRs485Reader(Rs485ReaderId& m, int state);

}  // namespace qxsim
