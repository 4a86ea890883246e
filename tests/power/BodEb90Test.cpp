// The EB90 cell monitor over the scripted channel, answered by the simulated sensor string:
// its frames and reply check, the walk of one cell per poll through the point's record, the
// resistance schedule on the clock seam, the keep-last rules, the summary and the rows.
#include <string.h>
#include <time.h>

#include <string>
#include <utility>
#include <vector>

#include "BodEb90.h"
#include "HostLimits.h"
#include "TestRig.h"
#include "power/SMBattBodEB90.h"

namespace {

using iotest::Bytes;
using qxtest::Hex;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

time_t g_now = 1700000000;
time_t FakeNow() { return g_now; }

// One handler and a point at Addr 10 with four cell rows, answered by sensors 10 to 13.
struct Eb90Rig : iotest::Rig<CSMBattBodEB90> {
    explicit Eb90Rig(int count = 4, int ext1 = 4, int ext2 = 0, int variant = 0)
        : iotest::Rig<CSMBattBodEB90>(7, 0x405), count(count) {
        g_now = 1700000000;
        qx::SetClockHook(FakeNow);
        item.Addr(10).Ext(ext1, ext2).Variant(variant);
        EXPECT_EQ(1, h.ChkDb(item));
        ch.SetResponder([this](const Bytes& req) { return cells.Answer(req); });
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(7,1029,-1)");
    }
    ~Eb90Rig() { qx::SetClockHook(nullptr); }

    // A poll and its update as the host makes them; DataGet's result.
    int Cycle(int flags = 0, int bits0 = 0, IDbBase* history = nullptr) {
        h.DoItem(item, 0);
        int got = h.DataGet(&ch, item.Get().Addr, count);
        int bits[2] = {bits0, 0};
        EXPECT_EQ(1, h.DataUpd(flags, got ? bits : nullptr, nullptr, -1, history));
        return got;
    }
    // (address, command) of the requests since the last call.
    std::vector<std::pair<int, int>> Sent() {
        std::vector<std::pair<int, int>> out;
        for (size_t i = seen; i < ch.Written().size(); i++)
            out.emplace_back(ch.Written()[i][2], ch.Written()[i][3]);
        seen = ch.Written().size();
        return out;
    }
    const tagDataGetEB90& Rec(int sid = 7) { return h.m_cache.at(sid); }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=7"); }

    int count;
    size_t seen = 0;
    qxsim::BodEb90 cells{10, 8};
};

using Asked = std::vector<std::pair<int, int>>;

// ---------------------------------------------------------------- frames

TEST(BodEb90, RequestFrame) {
    CSMBattBodEB90 h;
    ASSERT_EQ(10, h.BodSBusCmd(10, 0x60, 0));
    EXPECT_EQ("EB 90 0A 60 00 00 00 00 6A 16", Hex(h.m_cmd, 10));
    ASSERT_EQ(10, h.BodSBusCmd(0xF0, 0x62, 0x01020304ul));
    EXPECT_EQ("EB 90 F0 62 01 02 03 04 5C 16", Hex(h.m_cmd, 10));
}

TEST(BodEb90, ReplyCheck) {
    const struct {
        const char* what;
        const char* reply;
        bool ok;
        int value;
    } cases[] = {
        {"voltage 13.200 V", "EB 90 0A 60 90 33 00 2D 16", true, 13200},
        {"24-bit value", "EB 90 0A 62 01 02 03 72 16", true, 0x030201},
        {"end byte not looked at", "EB 90 0A 60 90 33 00 2D 00", true, 13200},
        {"bad sum", "EB 90 0A 60 90 33 00 2E 16", false, 0},
        {"bad header", "EA 90 0A 60 90 33 00 2D 16", false, 0},
        {"eight bytes", "EB 90 0A 60 90 33 2D 16", false, 0},
        {"six bytes", "EB 90 0A 60 90 33", false, 0},
        {"nothing", "", false, 0},
    };
    for (const auto& c : cases) {
        Bytes b = HexBytes(c.reply);
        int v = 0;
        EXPECT_EQ(c.ok, CSMBattBodEB90::ReplyValue(b.data(), (int)b.size(), &v)) << c.what;
        EXPECT_EQ(c.value, v) << c.what;
    }
}

TEST(BodEb90, Registration) {
    Eb90Rig r;
    EXPECT_EQ(7, r.db.Int("select count(*) from tbSMDef where Type=1029"));
    EXPECT_EQ(::Hex(std::string("电池监测 QX-BOD-EB90")), ::Hex(r.db.Str("select Name from tbSMType where Type=1029")));
    EXPECT_EQ(14, r.h.DataSize());
    EXPECT_EQ(&r.h.m_v, r.h.Data());
    for (TestDb* db : {&r.db, &r.hist})
        EXPECT_EQ(2, db->Int("select count(*) from sqlite_master where name in('tbBattEB90','tbBattEb90Val')"));
    EXPECT_EQ("1:10 2:11 3:12 4:13",
              r.db.Str("select group_concat(Fld||':'||Addr,' ') from (select * from tbBattEb90Val "
                       "where SID=7 and State=-1 order by Fld)"));
    // Ext1 beyond the record's 64 cells: 64 rows.
    r.item.Ext(100, 0);
    ASSERT_EQ(1, r.h.ChkDb(r.item));
    EXPECT_EQ(64, r.db.Int("select count(*) from tbBattEb90Val where SID=7"));
    // The host sends every battery type its cell count: answered, nothing sent.
    EXPECT_EQ(1, r.h.DoFunc(0, nullptr, 24));
    EXPECT_TRUE(r.ch.Written().empty());
}

// ---------------------------------------------------------------- the walk

TEST(BodEb90, OneCellPerCycleResistanceInTheFirstSweep) {
    Eb90Rig r;
    const Asked first = {{10, 0x62}, {10, 0x60}, {10, 0x61}};
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ(first, r.Sent());
    EXPECT_EQ(1, r.ch.Purges());
    EXPECT_EQ((std::vector<int>{5000, 250, 250}), iotest::Sleeps());
    EXPECT_EQ(3500, r.h.DataVal(13));
    for (int cell : {11, 12, 13}) {
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ((Asked{{cell, 0x62}, {cell, 0x60}, {cell, 0x61}}), r.Sent());
    }
    EXPECT_EQ(0, r.Rec().index);  // the update after cell 13 wrapped
    EXPECT_EQ(1, r.Rec().sweeps);
    // The next sweep, within the day: no resistance, the stored one written again.
    r.cells.SetCell(0, 13100, 9999, 250);
    iotest::Sleeps().clear();
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ((Asked{{10, 0x60}, {10, 0x61}}), r.Sent());
    EXPECT_EQ((std::vector<int>{250, 250}), iotest::Sleeps());
    EXPECT_EQ(3500, r.h.DataVal(13));
    EXPECT_EQ(13100, r.h.DataVal(12));
    EXPECT_EQ("13100/3500/250", r.db.Str("select Vol||'/'||Reg||'/'||Tem from tbBattEb90Val "
                                         "where SID=7 and Addr=10"));
}

TEST(BodEb90, MeasuringInterval) {
    const struct {
        int ext2;
        int waitS;
        bool measured;
    } cases[] = {
        {0, 86399, false}, {14, 86399, false}, {14, 86400, true}, {15, 899, false}, {15, 900, true},
    };
    for (const auto& c : cases) {
        Eb90Rig r(2, 2, c.ext2);
        ASSERT_EQ(1, r.Cycle());
        ASSERT_EQ(1, r.Cycle());  // the last cell: the sweep's time is taken
        g_now += c.waitS;
        r.Sent();
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(c.measured, r.Sent().size() == 3) << c.ext2 << " " << c.waitS;
    }
}

TEST(BodEb90, IndexWrapsWithoutUpdates) {
    // Polls whose updates did not follow: the next poll starts a new sweep itself.
    Eb90Rig r;
    for (int i = 0; i < 6; i++) ASSERT_EQ(1, r.h.DataGet(&r.ch, 10, 4));
    std::vector<int> addrs;
    for (const auto& s : r.Sent())
        if (s.second == 0x60) addrs.push_back(s.first);
    EXPECT_EQ((std::vector<int>{10, 11, 12, 13, 10, 11}), addrs);
    EXPECT_EQ(2, r.Rec().index);
    EXPECT_EQ(1, r.Rec().sweeps);
}

TEST(BodEb90, CountOfTheRecord) {
    const struct {
        int arg, count;
    } cases[] = {{0, 32}, {4, 4}, {64, 64}, {100, 64}, {-3, 32}};
    for (const auto& c : cases) {
        Eb90Rig r(c.arg);
        r.Cycle();
        EXPECT_EQ(c.count, r.Rec().count) << c.arg;
    }
    // A cell beyond the address byte is not asked: its poll fails.
    Eb90Rig r(64);
    r.item.Addr(250);
    for (int i = 0; i < 6; i++) r.Cycle();
    r.Sent();
    EXPECT_EQ(0, r.Cycle());
    EXPECT_TRUE(r.Sent().empty());
    EXPECT_EQ(1, r.Rec().errors[6]);
}

// ---------------------------------------------------------------- values kept

TEST(BodEb90, KeepLastByVariant) {
    const struct {
        int variant;
        int volt, tem;  // after a failed poll of the second sweep
    } cases[] = {{0, 0, 0}, {3, 13200, 251}, {1, 13200, 0}, {2, 0, 251}};
    for (const auto& c : cases) {
        Eb90Rig r(1, 1, 0, c.variant);
        ASSERT_EQ(1, r.Cycle());
        r.cells.FaultOnce(qxsim::Eb90Fault::Silence);
        ASSERT_EQ(0, r.Cycle());
        EXPECT_EQ(c.volt, r.h.DataVal(12)) << c.variant;
        EXPECT_EQ(c.tem, r.h.DataVal(14)) << c.variant;
        EXPECT_EQ(2, r.h.DataVal(11)) << c.variant;
        // Resistance, bit 2 clear: a failed poll stores 0 too.
        EXPECT_EQ(0, r.h.DataVal(13)) << c.variant;
        EXPECT_EQ(1, r.Rec().errors[0]);
        EXPECT_EQ(2, r.Rec().tries[0]);
    }
    // Bit 2 keeps the resistance of a failed poll.
    Eb90Rig r(1, 1, 0, 4);
    ASSERT_EQ(1, r.Cycle());
    r.cells.FaultOnce(qxsim::Eb90Fault::Silence);
    ASSERT_EQ(0, r.Cycle());
    EXPECT_EQ(3500, r.h.DataVal(13));
}

TEST(BodEb90, RepliesThatGiveNoValue) {
    // On the first poll of a cell (nothing kept yet) a refused voltage reply gives 0; the poll
    // stands as long as some reply of four bytes or more came.
    const struct {
        const char* what;
        qxsim::Eb90Fault fault;
        int result;
    } cases[] = {
        {"bad sum", qxsim::Eb90Fault::BadSum, 1},
        {"bad header", qxsim::Eb90Fault::BadHeader, 1},
        {"six bytes", qxsim::Eb90Fault::Short, 1},
        {"silence", qxsim::Eb90Fault::Silence, 0},
    };
    for (const auto& c : cases) {
        Eb90Rig r;
        r.cells.FaultOnce(qxsim::Eb90Fault::None);  // the resistance
        r.cells.FaultOnce(c.fault);
        EXPECT_EQ(c.result, r.Cycle()) << c.what;
        EXPECT_EQ(0, r.h.DataVal(12)) << c.what;
        EXPECT_EQ(3500, r.h.DataVal(13)) << c.what;
        if (c.result) {
            EXPECT_EQ(251, r.h.DataVal(14)) << c.what;
        }
    }
    // A later bad reply keeps the cell's last voltage.
    Eb90Rig r(1, 1);
    ASSERT_EQ(1, r.Cycle());
    r.cells.FaultOnce(qxsim::Eb90Fault::BadSum);
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ(13200, r.h.DataVal(12));
}

TEST(BodEb90, CellWithoutValuesIsNotStored) {
    Eb90Rig r(2, 2);
    r.cells.SetCell(0, 0, 0, 0);
    ASSERT_EQ(1, r.Cycle(0, 0, &r.hist));
    EXPECT_EQ(0, r.Rec().upd[0]);
    EXPECT_EQ(-1, r.db.Int("select State from tbBattEb90Val where SID=7 and Addr=10"));
    EXPECT_EQ(0, r.hist.Int("select count(*) from tbBattEb90Val"));
    EXPECT_EQ(::Hex(std::string("正常 ")), ::Hex(r.Brief()));
}

// ---------------------------------------------------------------- update and summary

TEST(BodEb90, UpdateRowsAndSummaryOverASweep) {
    Eb90Rig r;
    int snap = 3;
    r.h.DoItem(r.item, 0);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 10, 4));
    int bits[2] = {0, 0};
    ASSERT_EQ(1, r.h.DataUpd(0x10, bits, &snap, -1, &r.hist));
    EXPECT_EQ("0/13200/3500/251", r.db.Str("select State||'/'||Vol||'/'||Reg||'/'||Tem from "
                                           "tbBattEb90Val where SID=7 and Addr=10"));
    EXPECT_EQ("0/3/0/0", r.db.Str("select State||'/'||SnapID||'/'||Volt||'/'||Curr from tbBattEB90 "
                                  "where SID=7"));
    EXPECT_EQ(::Hex(std::string("正常 ")), ::Hex(r.Brief()));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbBattEB90 where SID=7 and SnapID=3"));
    EXPECT_EQ("1/0/10/13200", r.hist.Str("select Fld||'/'||State||'/'||Addr||'/'||Vol from tbBattEb90Val"));

    // Cell 2 in alarm on its voltage (field 12), cell 3 without answer, cell 4 normal.
    r.Cycle(1, 1 << 11, &r.hist);
    EXPECT_EQ(4, r.db.Int("select State from tbBattEb90Val where SID=7 and Addr=11"));
    EXPECT_EQ(5, r.Rec().state[1]);
    EXPECT_EQ(::Hex(std::string("告警: 2 ")), ::Hex(r.Brief()));
    r.cells.FaultOnce(qxsim::Eb90Fault::Silence);  // resistance
    r.cells.FaultOnce(qxsim::Eb90Fault::Silence);  // voltage: the poll fails
    EXPECT_EQ(0, r.Cycle(0, 0, &r.hist));
    EXPECT_EQ(::Hex(std::string("告警: 2 故障: 3")), ::Hex(r.Brief()));
    EXPECT_EQ(1, r.db.Int("select St from tbSMBrief where SID=7"));
    EXPECT_EQ(1, r.db.Int("select State from tbSubSysDetail where SID=7"));
    // The last cell covers the string: the total of the cells stored (3 is 0, not answered).
    ASSERT_EQ(1, r.Cycle(0, 0, &r.hist));
    EXPECT_EQ(::Hex(std::string("总电压: 39.600V 告警: 2 故障: 3")), ::Hex(r.Brief()));
    EXPECT_EQ(4, r.hist.Int("select count(*) from tbBattEB90"));
    // Each history update writes the cells seen so far in this sweep: 1 + 2 + 3 + 4.
    EXPECT_EQ(10, r.hist.Int("select count(*) from tbBattEb90Val"));
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
    EXPECT_EQ(0, r.hist.Failures()) << r.hist.Error();
}

TEST(BodEb90, CellNumbersFromTheItemName) {
    const struct {
        const char* name;
        const char* brief;
    } cases[] = {
        {"x-2", "告警: 25 26 27... "},
        {"x-1", "告警: 1 2 3... "},
        {"x", "告警: 1 2 3... "},
        {"x-0", "告警: 1 2 3... "},
        {"a-3-9", "告警: 49 50 51... "},
    };
    for (const auto& c : cases) {
        Eb90Rig r(5, 24);
        r.item.Name(c.name);
        for (int i = 0; i < 5; i++) r.Cycle(1);
        EXPECT_EQ(::Hex(std::string("总电压: 66.000V ") + c.brief), ::Hex(r.Brief())) << c.name;
    }
}

TEST(BodEb90, CombinedStateOfTheOtherCells) {
    Eb90Rig r;
    r.h.DoItem(r.item, 0);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 10, 4));
    EXPECT_EQ(0, r.h.DataVal(65535));  // no other cell seen yet
    int bits[2] = {1 << 11, 0};
    ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, nullptr));  // cell 1: alarm with flags (5)
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 10, 4));
    EXPECT_EQ(1, r.h.DataVal(65535));
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, nullptr));  // cell 2: fault
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 10, 4));
    EXPECT_EQ(1, r.h.DataVal(65535));
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, nullptr));  // cell 3: fault
    // Once the sweep is done, every cell but the one polled last.
    r.Cycle();
    r.h.DoItem(r.item, 0);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 10, 4));  // cell 1 again: cells 2 and 3 are faults
    EXPECT_EQ(2, r.h.DataVal(65535));
}

TEST(BodEb90, EachPointHasItsRecord) {
    Eb90Rig r;
    qxsim::BodEb90 other(20, 2);
    qxtest::ScriptChannel ch2;
    ch2.SetResponder([&other](const Bytes& req) { return other.Answer(req); });
    qxhost::PointItem b(8, 0x405);
    b.Name("B").Port(3).Addr(20).Ext(2, 15).Ser(&ch2);
    ASSERT_EQ(1, r.h.ChkDb(b));
    r.item.Ext(4, 15);
    auto cycleB = [&]() {
        r.h.DoItem(b, 0);
        int got = r.h.DataGet(&ch2, 20, 2);
        int bits[2] = {0, 0};
        EXPECT_EQ(1, r.h.DataUpd(0, got ? bits : nullptr, nullptr, -1, nullptr));
    };
    // A's first sweep and B's interleaved: each walks its own cells.
    for (int i = 0; i < 4; i++) {
        r.Cycle();
        cycleB();
    }
    std::vector<int> addrsB;
    for (const Bytes& w : ch2.Written())
        if (w[3] == 0x60) addrsB.push_back(w[2]);
    EXPECT_EQ((std::vector<int>{20, 21, 20, 21}), addrsB);
    EXPECT_EQ(1, r.Rec(7).sweeps);
    EXPECT_EQ(2, r.Rec(8).sweeps);
    EXPECT_EQ(2, r.db.Int("select count(*) from tbBattEb90Val where SID=8 and State=0"));

    // A's next sweep starts within its interval (900 s): its cells are not measured, also not
    // after B begins a sweep of its own a while later.
    g_now += 500;
    r.Sent();
    r.Cycle();  // A cell 10, sweep start
    g_now += 500;
    cycleB();   // B cell 20, its own sweep start
    r.Cycle();  // A cell 11
    EXPECT_EQ((Asked{{10, 0x60}, {10, 0x61}, {11, 0x60}, {11, 0x61}}), r.Sent());
}

TEST(BodEb90, WithoutPointOrRecord) {
    Eb90Rig r;
    CSMBattBodEB90 lone;
    lone.SetDb(&r.db, 0);
    EXPECT_EQ(0, lone.DataGet(&r.ch, 10, 4));
    EXPECT_TRUE(lone.m_cache.empty());
    EXPECT_TRUE(r.ch.Written().empty());
    int bits[2] = {};
    EXPECT_EQ(0, lone.DataUpd(0, bits, nullptr, 7, nullptr));
    // A point not yet polled: nothing written, answered 1.
    r.h.DoItem(r.item, 0);
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ(-1, r.db.Int("select State from tbBattEB90 where SID=7"));
    EXPECT_EQ(0, r.hist.Int("select count(*) from tbBattEB90"));
    EXPECT_EQ(0, r.h.DataGet(nullptr, 10, 4));
    EXPECT_TRUE(r.h.m_cache.empty());
}

// The string in trouble (qxsim::AlarmBodEb90) swept as the host polls it: every cell polled
// is out of its voltage, resistance and temperature rows, also in the sweeps that carry the
// resistance measured in the first; the summary numbers the cells in alarm.
TEST(BodEb90, StringInTroubleReachesTheHost) {
    Eb90Rig r;
    qxsim::AlarmBodEb90(r.cells, 1);
    for (int cycle = 0; cycle < 8; cycle++) {
        r.h.DoItem(r.item, 0);
        ASSERT_EQ(1, r.h.DataGet(&r.ch, r.item.Get().Addr, r.count)) << cycle;
        std::vector<int32_t> bits;
        const std::string out = powertest::OutOfLimits(r.h, r.db, 0x405, bits);
        EXPECT_EQ("Vol(12),Reg(13),Tem(14)", out) << cycle;
        ASSERT_EQ(1, r.h.DataUpd(out.empty() ? 0 : 1, bits.data(), nullptr, -1, nullptr)) << cycle;
        EXPECT_EQ(1, r.db.Int("select State from tbSubSysDetail where SID=7")) << cycle;
    }
    EXPECT_EQ(::Hex("总电压: 30.400V 告警: 1 2 3... "), ::Hex(r.Brief()));
    EXPECT_EQ("7600|12500|410", r.db.Str("select Vol||'|'||Reg||'|'||Tem from tbBattEb90Val "
                                         "where SID=7 and Fld=4"));
}

}  // namespace
