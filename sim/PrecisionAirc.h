#pragma once
// Precision air-conditioners on vendor links, as the device sees them. Each model answers
// one request at a time (Answer), knows how its requests are framed (Serve sets framer and
// responder on a simulated device) and may be told to fall silent; the transport's generic
// faults (Device::InjectFault: silence, short answer, noise, split answer) come on top.
//
// JADC0110 unit, a link of control characters ('1' is the address character of address 1):
//   <- 02 '1' '?' 03 c c       answered with 02 '1' '?' "JADC0110" 03 c c
//   <- 02 '1' 'F' 03 c c       starts the blocks of a poll; answered with 06
//   <- 06                      acknowledgement; no answer
//   <- 05 '1'                  the next block of the queue: 02 '1' type start count data 03 c c
//                              (c c: 0x30 + each nibble of the sum from 02 to 03); after the
//                              last one either the one-byte end 00 (then the queue starts over)
//                              or the last block again, as the unit does when it has no more
//   qxsim::JadcUnit unit(1);
//   unit.AddBlock(qxsim::JadcUnit::Words('S', 1, {240, 400, 0, 0, 200}));
//   unit.AddBlock(qxsim::JadcUnit::Bits(33, {0x41}));
//   unit.Serve(pty);
//
// GOS unit (Sunrise), STX command address ETX, the address as two hexadecimal characters:
//   <- 02 'L' a a 03           status: 02 'L' a a, temperature, humidity (four characters
//                              each), state byte (two), alarm words a and c (four each), 03
//   <- 02 'R' a a '0' '3' 03   temperature set point: 02 'R' a a '0' '3', four characters, 03
//   <- 02 'R' a a '0' '4' 03   humidity set point, the same way
//
// C5000 unit (Stulz): 5-byte request addr 01 02 s s (s: two's complement of the sum of the
// first three, low byte first), answered by the 512-byte record (record bytes as the unit
// keeps them; SetRecordBytes cuts it).
#include <stdint.h>

#include <mutex>
#include <vector>

#include "SimDevice.h"

namespace qxsim {

class JadcUnit {
public:
    explicit JadcUnit(int address = 1);

    // Blocks: words of type 'S' or 'U' from item `start`, or bytes of state bits from bit
    // `start` ('B'; the count character is 0x30 + 8 * bytes).
    static Bytes Words(char type, int start, const std::vector<uint16_t>& items, int address = 1);
    static Bytes Bits(int start, const std::vector<uint8_t>& bytes, int address = 1);
    // 0x30 + each nibble of the sum of the bytes.
    static void AppendCheck(Bytes& frame);

    void AddBlock(const Bytes& block);
    void ClearBlocks();
    // After the last block: the one-byte end (true) or the last block again (false, default).
    void SetEndByte(bool end);
    void SetSilent(bool silent);

    // ENQ frames received.
    int Enquiries() const;

    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    static size_t RequestLength(const uint8_t* data, size_t size);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    uint8_t m_addrChar;
    std::vector<Bytes> m_blocks;
    size_t m_next = 0;
    bool m_endByte = false;
    bool m_silent = false;
    int m_enq = 0;
};

class GosUnit {
public:
    struct Status {
        uint16_t tem = 250;      // tenths of a degree
        uint16_t hum = 50;       // whole percent
        uint8_t state = 0;       // bit 1 fan, 3 cooling, 4 humidifying, 5 dehumidifying
        uint16_t alarmA = 0;     // bit 7 high temperature, 6 low, 9 high humidity, 8 low
        uint16_t alarmC = 0;     // bit 7 smoke, 0 overflow
        uint16_t temSet = 220;   // tenths
        uint16_t humSet = 50;    // whole percent
    };
    explicit GosUnit(int address = 1);

    // A unit in trouble. State 1: high temperature and humidity (39.0 C, 80 %), smoke and
    // overflow, only the fan running; state 2: low temperature and humidity (15.0 C, 30 %).
    static void Alarm(Status& s, int state);

    void Set(const Status& s);
    void SetSilent(bool silent);
    // Answers of this many characters only (0: whole).
    void SetReplyChars(size_t n);

    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    int m_address;
    Status m_status;
    bool m_silent = false;
    size_t m_replyChars = 0;
};

class C5000Unit {
public:
    explicit C5000Unit(int address = 1);

    // Record bytes as the unit keeps them (the request's answer is the record).
    void SetByte(size_t at, uint8_t v);
    void SetWord(size_t at, uint16_t v);  // low byte first
    void SetRecordBytes(size_t n);        // 1..512
    void SetSilent(bool silent);

    static Bytes Request(int address);
    Bytes Answer(const Bytes& request, Fault fault = Fault::None);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    int m_address;
    Bytes m_record;
    size_t m_bytes = 512;
    bool m_silent = false;
};

}  // namespace qxsim
