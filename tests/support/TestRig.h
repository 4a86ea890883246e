#pragma once
// What the handler tests of the skeleton families (sensors, I/O, power) share: a recorded
// sleep, RTU frames with their CRC, and one handler with its point, channel and databases.
#include <stdint.h>

#include <string>
#include <vector>

#include "BufHelper.h"
#include "PointItem.h"
#include "QxPlatform.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace iotest {

using qxtest::Bytes;
using qxtest::HexBytes;

// Sleeps are recorded, not slept.
using qxtest::RecordSleep;
using qxtest::Sleeps;
using NoSleep = qxtest::RecordSleeps;

// A frame from hexadecimal text with its Modbus CRC appended, low byte first.
inline Bytes Rtu(const std::string& hex) {
    Bytes b = HexBytes(hex);
    uint16_t crc = CBufHelper::crc16(b.data(), (int)b.size());
    b.push_back((uint8_t)(crc & 0xFF));
    b.push_back((uint8_t)(crc >> 8));
    return b;
}

// The same frame with its CRC spoiled.
inline Bytes BadCrc(const std::string& hex) {
    Bytes b = Rtu(hex);
    b.back() ^= 0x5A;
    return b;
}

// One handler, one point, its channel and a main and a history database.
template <class H>
struct Rig {
    explicit Rig(int sid = 7, int type = 0x500) : item(sid, type) {
        item.Name("P").Port(2).Addr(1);
        item.Ser(&ch);
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        EXPECT_EQ(1, h.ChkDb(item));
        h.DoItem(item, 0);
        Sleeps().clear();
    }
    int Poll(int wait = 0) { return h.DataGet(&ch, item.Get().Addr, wait); }

    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    TestDb db, hist;
    H h;
};

}  // namespace iotest
