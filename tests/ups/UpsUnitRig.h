#pragma once
// What the unit tests of the Modbus and YD/T 1363 UPS drivers share: a handler and one point
// of it behind a scripted channel, the faults each protocol's replies are refused for, the
// refusals every poll makes before it sends, and the checks of three-phase definition rows.
//
//   struct Rig : upstest::Rig<CSMUpsX> {
//       Rig() : upstest::Rig<CSMUpsX>(41, 0x3nn) { Serve(slave); }
//       qxsim::ModbusSlave slave{1};
//   };
#include <string>
#include <vector>

#include "ModbusSlave.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"

namespace upstest {

template <class H>
struct Rig {
    Rig(int sid, int type) : item(sid, type) {
        item.Name("UPS").Port(3).Addr(1).Ser(&ch);
        h.DoItem(item, 0);
        qxtest::Sleeps().clear();
    }
    void Serve(qxsim::ModbusSlave& slave) {
        ch.SetResponder([&slave](const qxtest::Bytes& req) { return slave.HandleRtu(req.data(), req.size()).bytes; });
    }
    void Serve(qxsim::YdtDevice& dev) {
        ch.SetResponder([&dev](const qxtest::Bytes& req) { return dev.Handle(req); });
    }
    int Poll(int wait = 0, int addr = 1) { return h.DataGet(&ch, addr, wait); }
    int Val(int fld) { return h.DataVal(fld); }

    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    H h;
};

// A reply fault of the device model and what the test calls it.
template <class Fault>
struct Refusal {
    const char* what;
    Fault fault;
    int param;
};

// Modbus RTU replies a poll refuses.
inline const std::vector<Refusal<qxsim::ModbusFault>>& MbRefusals() {
    using F = qxsim::ModbusFault;
    static const std::vector<Refusal<F>> kAll = {
        {"silence", F::Silence, -1},       {"short", F::Short, -1},
        {"cut to 4 bytes", F::Short, 4},   {"bad CRC", F::BadCrc, -1},
        {"exception", F::Exception, 4},    {"wrong function", F::WrongFunction, -1},
        {"wrong byte count", F::WrongCount, -1}, {"other unit", F::WrongAddress, -1},
    };
    return kAll;
}

// YD/T 1363 replies a poll refuses.
inline const std::vector<Refusal<qxsim::YdtFault>>& YdRefusals() {
    using F = qxsim::YdtFault;
    static const std::vector<Refusal<F>> kAll = {
        {"silence", F::Silence, -1},          {"RTN 02", F::Rtn, 0x02},
        {"RTN 04", F::Rtn, 0x04},             {"bad CHKSUM", F::BadChecksum, -1},
        {"bad LENGTH check", F::BadLength, -1}, {"10 characters", F::Short, 10},
        {"cut before CHKSUM", F::Short, 40},  {"lower-case digits", F::Lowercase, -1},
    };
    return kAll;
}

// A poll sends nothing without a channel, to an address beyond one byte (it would reach
// another unit) or on a closed channel; a short write ends it at its first request.
template <class H>
void ExpectRefusedBeforeSending(Rig<H>& rig) {
    EXPECT_EQ(0, rig.h.DataGet(nullptr, 1, 0));
    for (int addr : {256, -1, 0x101}) EXPECT_EQ(0, rig.Poll(0, addr)) << addr;
    rig.ch.SetOpen(false);
    EXPECT_EQ(0, rig.Poll());
    rig.ch.SetOpen(true);
    EXPECT_TRUE(rig.ch.Written().empty());
    rig.ch.ShortWrite(5);
    EXPECT_EQ(0, rig.Poll());
    EXPECT_EQ(1u, rig.ch.Written().size());
}

// The tbSMDef row of field fld of a type: "select COLUMN" + Where(type, fld).
inline std::string Where(int type, int fld) {
    return " from tbSMDef where Type=" + std::to_string(type) + " and Fld=" + std::to_string(fld);
}

// An analog row: caption, tenths, alarm kind 10, limits and the range texts of its quantity.
struct AnalogRow {
    int fld;
    const char* caption;
    const char* word;
    int lo, hi;
};
inline void ExpectAnalogRows(TestDb& db, int type, const std::vector<AnalogRow>& rows) {
    for (const AnalogRow& a : rows) {
        const std::string w = Where(type, a.fld);
        EXPECT_EQ(Hex(std::string(a.caption)), Hex(db.Str("select Note" + w))) << a.fld;
        EXPECT_EQ(Hex(std::string("最小值|允许最低") + a.word + ",低于此值告警"), Hex(db.Str("select LoText" + w))) << a.fld;
        EXPECT_EQ(Hex(std::string("最大值|允许最高") + a.word + ",超过此值告警"), Hex(db.Str("select HiText" + w))) << a.fld;
        EXPECT_EQ("1/10/10/" + std::to_string(a.lo) + "/" + std::to_string(a.hi),
                  db.Str("select Kind||'/'||Ratio||'/'||AlmKind||'/'||vref||'/'||HiLmt" + w)) << a.fld;
    }
}

// The sixteen state rows, b15 (field 24) to b0 (field 39), whole: a state without limits
// (alarm kind 0), or a fault whose every value but 0 alarms (alarm kind 1).
struct StateRow {
    const char* caption;
    const char* lo;
    const char* hi;
    int alarm = 0;
};
inline void ExpectStateRows(TestDb& db, int type, const std::vector<StateRow>& rows) {
    ASSERT_EQ(16u, rows.size());
    for (int i = 0; i < 16; i++) {
        const StateRow& s = rows[(size_t)i];
        const std::string w = Where(type, 24 + i);
        EXPECT_EQ("b" + std::to_string(15 - i), db.Str("select FldName" + w));
        EXPECT_EQ(Hex(std::string(s.caption)), Hex(db.Str("select Note" + w))) << i;
        EXPECT_EQ(Hex(std::string(s.lo)), Hex(db.Str("select LoText" + w))) << i;
        EXPECT_EQ(Hex(std::string(s.hi)), Hex(db.Str("select HiText" + w))) << i;
        EXPECT_EQ("1/1/" + std::to_string(s.alarm) + "/0/0",
                  db.Str("select Kind||'/'||Ratio||'/'||AlmKind||'/'||vref||'/'||HiLmt" + w)) << i;
    }
}

}  // namespace upstest
