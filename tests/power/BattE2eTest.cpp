// Whole polls of the battery monitors and inspection units through the loaded plug-ins, a serial channel on a
// pseudo-terminal and the simulated units; rows read back from SQLite.
#include <memory>
#include <string>
#include <vector>

#include "BattMonitor.h"
#include "E2eRig.h"
#include "GbkText.h"
#include "Limits.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"

namespace {

// The tbBattVal rows of a point, "Fld:State/V/R/T/T2" in field order.
std::string BattVal(TestDb& db, int sid) {
    return db.Str("select group_concat(r, ' ') from (select Fld||':'||State||'/'||V||'/'||R||'/'||"
                  "T||'/'||T2 as r from tbBattVal where SID=" + std::to_string(sid) +
                  " order by Fld)");
}

std::string Current(TestDb& db, int sid) {
    return db.Str("select State||'|'||Curr||'|'||Volt||'|'||Minutes from tbBatt100 where SID=" +
                  std::to_string(sid));
}

// One monitor behind a pseudo-terminal, its channel and the handler of its type.
class BattHost : public ::testing::Test {
protected:
    // Loads the plug-ins and starts the monitor served on pty; false when the test cannot go
    // on (skipped sets when there is no pseudo-terminal).
    bool Start(int type) {
        EXPECT_NO_FATAL_FAILURE(rig.Load());
        if (HasFatalFailure()) return false;
        if (!pty.Start()) {
            skipped = true;
            return false;
        }
        ch = rig.Channel(pty.Definition());
        h = rig.Handler(type);
        return ch && h;
    }

    // A point of the handler on the channel, registered, with Ext1 cells in its rows.
    qxhost::PointItem& Point(int sid, int type, int addr, int cells) {
        points.emplace_back(new qxhost::PointItem(sid, type));
        qxhost::PointItem& p = *points.back();
        p.Name(("B" + std::to_string(sid)).c_str()).Port(ch->GetType() & 0xFFFF).Addr(addr).Ext(cells, 0).Ser(ch);
        EXPECT_NO_FATAL_FAILURE(rig.AddPoint(h, p));
        return p;
    }

    int Poll(qxhost::PointItem& p, int cells) {
        int bits[1] = {0};
        return rig.Poll(h, p, ch, bits, 0, cells);
    }

    void TearDown() override {
        rig.Close();
        pty.Stop();
    }

    qxsim::PtySim pty;
    qxtest::E2eRig rig;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    std::vector<std::unique_ptr<qxhost::PointItem>> points;
    bool skipped = false;
};

TEST_F(BattHost, Batt100GroupAndCells) {
    qxsim::ModbusSlave slave(1);
    qxsim::Batt100 b;
    b.curr1 = -30;  // discharging: stored as 0
    b.volt = 5310;
    b.temp = 248;
    b.cells = {{1330, 410, 250, 251}, {1325, 420, 252, 253}, {1340, 400, 249, 250}};
    qxsim::SetBatt100(slave, b);
    qxsim::ServeModbusRtu(pty, slave);
    if (!Start(0x402)) {
        if (skipped) GTEST_SKIP() << "no pseudo-terminal available";
        return;
    }
    qxhost::PointItem& p = Point(51, 0x402, 1, 3);

    ASSERT_EQ(1, Poll(p, 3));
    EXPECT_EQ("0|0|5310|248", Current(rig.db, 51));
    EXPECT_EQ("0:0/5310/0/248/0 1:0/1330/410/250/251 2:0/1325/420/252/253 3:0/1340/400/249/250",
              BattVal(rig.db, 51));
    EXPECT_EQ(0, rig.db.Int("select State from tbSubSysDetail where SID=51"));

    // A block that fails its check fails the poll: cells cleared, group values kept.
    slave.FaultOnce(qxsim::ModbusFault::BadCrc);
    EXPECT_EQ(0, Poll(p, 3));
    EXPECT_EQ("2|0|5310|248", Current(rig.db, 51));
    EXPECT_EQ("0:2/5310/0/248/0 1:2/0/0/0/0 2:2/0/0/0/0 3:2/0/0/0/0", BattVal(rig.db, 51));
    ASSERT_EQ(1, Poll(p, 3));
    EXPECT_EQ("1:0/1330/410/250/251", rig.db.Str("select Fld||':'||State||'/'||V||'/'||R||'/'||T||'/'||T2 "
                                                "from tbBattVal where SID=51 and Fld=1"));
}

TEST_F(BattHost, Bod800CellsBesideASilentTwin) {
    qxsim::Bod800 bod(1);
    bod.SetHealthy(4);
    bod.SetCell(2, {3, 131, 255});
    bod.Serve(pty);
    if (!Start(0x404)) {
        if (skipped) GTEST_SKIP() << "no pseudo-terminal available";
        return;
    }
    qxhost::PointItem& p = Point(61, 0x404, 1, 4);
    qxhost::PointItem& twin = Point(62, 0x404, 2, 4);

    ASSERT_EQ(1, Poll(p, 4));
    EXPECT_EQ(0, Poll(twin, 4));
    EXPECT_EQ("1:0/120/0/250/0 2:0/121/0/250/0 3:3/131/0/255/0 4:0/123/0/250/0",
              BattVal(rig.db, 61));
    EXPECT_EQ("1:256/0/0/0/0 2:256/0/0/0/0 3:256/0/0/0/0 4:256/0/0/0/0", BattVal(rig.db, 62));
    EXPECT_EQ("0|0|0|0", Current(rig.db, 61));
    EXPECT_EQ(2, rig.db.Int("select State from tbBatt100 where SID=62"));
    EXPECT_EQ(2, rig.db.Int("select State from tbSubSysDetail where SID=62"));
    EXPECT_EQ(0, rig.db.Int("select State from tbSubSysDetail where SID=61"));

    // A corrupt reply marks only its cell; the others are read.
    pty.InjectFault(qxsim::Fault::BadCheck);
    ASSERT_EQ(1, Poll(p, 4));
    EXPECT_EQ("1:256/0/0/0/0 2:0/121/0/250/0 3:3/131/0/255/0 4:0/123/0/250/0",
              BattVal(rig.db, 61));
    // The twin's rows never show the answering point's cells.
    EXPECT_EQ(0, Poll(twin, 4));
    EXPECT_EQ(4, rig.db.Int("select count(*) from tbBattVal where SID=62 and State=256"));
}

TEST_F(BattHost, Adu1000BesideASilentTwin) {
    qxsim::YdtDevice adu(1, 0x46, 0x20);
    qxsim::Adu1000 a;
    a.cells[4] = 12.5f;
    a.curr1 = 3.25f;
    qxsim::SetAdu1000(adu, a);
    qxsim::ServeYdt(pty, adu);
    if (!Start(0x401)) {
        if (skipped) GTEST_SKIP() << "no pseudo-terminal available";
        return;
    }
    qxhost::PointItem& p = Point(71, 0x401, 1, 0);
    qxhost::PointItem& twin = Point(72, 0x401, 2, 0);

    ASSERT_EQ(1, Poll(p, 0));
    EXPECT_EQ(0, Poll(twin, 0));
    const std::string cols = "select State||'|'||Dczdy||'|'||Cfddl||'|'||Dcwd||'|'||Dy1||'|'||Dy5||'|'||"
                             "Dczdy2||'|'||Dcwd2||'|'||Dcsl from tbBattAdu1000 where SID=";
    EXPECT_EQ("0|33334|325|251|13300|12500|32004|246|49", rig.db.Str(cols + "71"));
    EXPECT_EQ("2|0|0|0|0|0|0|0|0", rig.db.Str(cols + "72"));
    EXPECT_EQ(1, rig.hist.Int("select count(*) from tbBattAdu1000 where SID=71"));
    EXPECT_EQ(2, rig.db.Int("select State from tbSubSysDetail where SID=72"));

    // A reply that fails its checks is no poll.
    adu.FaultOnce(qxsim::YdtFault::BadChecksum);
    EXPECT_EQ(0, Poll(p, 0));
    EXPECT_EQ(2, rig.db.Int("select State from tbBattAdu1000 where SID=71"));
    ASSERT_EQ(1, Poll(p, 0));
    EXPECT_EQ("0|33334|325|251|13300|12500|32004|246|49", rig.db.Str(cols + "71"));
}

TEST_F(BattHost, Db100BesideASilentTwin) {
    qxsim::ModbusSlave slave(1);
    qxsim::Db100 d;
    d.curr = -420;
    d.cells[23] = 12900;
    qxsim::SetDb100(slave, d);
    qxsim::ServeModbusRtu(pty, slave);
    if (!Start(0x400)) {
        if (skipped) GTEST_SKIP() << "no pseudo-terminal available";
        return;
    }
    qxhost::PointItem& p = Point(81, 0x400, 1, 0);
    qxhost::PointItem& twin = Point(82, 0x400, 2, 0);

    ASSERT_EQ(1, Poll(p, 0));
    EXPECT_EQ(0, Poll(twin, 0));
    const std::string cols = "select State||'|'||Dczdy||'|'||Cfddl||'|'||Dcwd||'|'||Dy1||'|'||Dy24||'|'||"
                             "Lc||'|'||Dcsl||'|'||Dcxh from tbBattDb100 where SID=";
    EXPECT_EQ("0|5350|-420|251|13300|12900|10000|24|12", rig.db.Str(cols + "81"));
    EXPECT_EQ("2|0|0|0|0|0|0|0|0", rig.db.Str(cols + "82"));
    EXPECT_EQ(1, rig.hist.Int("select count(*) from tbBattDb100 where SID=81"));

    slave.FaultOnce(qxsim::ModbusFault::Short);
    EXPECT_EQ(0, Poll(p, 0));
    EXPECT_EQ("2|0|0|0|0|0|0|0|0", rig.db.Str(cols + "81"));
    ASSERT_EQ(1, Poll(p, 0));
    EXPECT_EQ(0, rig.db.Int("select State from tbBattDb100 where SID=81"));
}

// Every cell's limits reach the host, the last ten (fields 25 to 34) as the first fourteen: a
// host checks the type's alarm rows over fields 1 to DataSize. The rows read are all of the
// type's alarm rows, the cells' detail rows among them.
TEST_F(BattHost, Db100EveryCellIsChecked) {
    qxsim::ModbusSlave slave(1);
    qxsim::Db100 d;
    qxsim::SetDb100(slave, d);
    qxsim::ServeModbusRtu(pty, slave);
    if (!Start(0x400)) {
        if (skipped) GTEST_SKIP() << "no pseudo-terminal available";
        return;
    }
    qxhost::PointItem& p = Point(83, 0x400, 1, 0);
    // The host's own rows: the cells are rows of row kind 2, which its check takes as well.
    const std::vector<qxhost::LimitRow> rows = qxhost::LoadLimits(rig.db, 0x400);
    auto poll = [&] {
        h->DoItem(p, 0);
        int got = h->DataGet(ch, 1, 0);
        std::vector<int32_t> bits;
        int alarms = got ? qxhost::CheckLimits(rows, h->DataSize(), [&](int f) { return h->DataVal(f); }, bits) : 0;
        EXPECT_EQ(1, h->DataUpd(alarms ? 1 : 0, got ? bits.data() : nullptr, nullptr, -1, &rig.hist));
        return got;
    };
    const std::string normal = qxtest::Gbk("(全部正常)");
    const std::string cellAlarm = qxtest::Gbk("电池电压告警(其他正常)");
    const std::string brief = "select Brief from tbSMBrief where SID=83";

    ASSERT_EQ(1, poll());
    EXPECT_EQ(0, rig.db.Int("select State from tbBattDb100 where SID=83"));
    EXPECT_EQ(Hex(normal), Hex(rig.db.Str(brief)));
    for (int cell : {1, 14, 15, 20, 24}) {
        SCOPED_TRACE(cell);
        qxsim::Db100 low = d;
        low.cells[cell - 1] = 9500;  // below the row's 10000
        qxsim::SetDb100(slave, low);
        ASSERT_EQ(1, poll());
        EXPECT_EQ(1, rig.db.Int("select State from tbBattDb100 where SID=83"));
        EXPECT_EQ(1, rig.db.Int("select State from tbSubSysDetail where SID=83"));
        EXPECT_EQ(Hex(cellAlarm), Hex(rig.db.Str(brief)));
    }
    qxsim::SetDb100(slave, d);
    ASSERT_EQ(1, poll());
    EXPECT_EQ(0, rig.db.Int("select State from tbBattDb100 where SID=83"));
}

}  // namespace
