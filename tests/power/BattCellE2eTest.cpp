// Whole polls of the RTVS battery monitor and the EB90 cell monitor as a host makes them: both
// plug-ins loaded with dlopen, a serial channel on a pseudo-terminal to each simulated device,
// a silent point of the same type beside each, and every check read back from SQLite.
#include <string>

#include "BattRtvs.h"
#include "BodEb90.h"
#include "E2eRig.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

class BattCellE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(rig.Load()); }
    void TearDown() override {
        rig.Close();
        pty.Stop();
    }
    ISerBase* Open() {
        EXPECT_TRUE(pty.Start());
        return rig.Channel(pty.Definition(), qxtest::E2eRig::kSerial | pty.Number());
    }
    std::string Brief(int sid) {
        return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid));
    }
    long long Detail(int sid) {
        return db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid));
    }

    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    qxsim::PtySim pty;
};

}  // namespace

TEST_F(BattCellE2e, RtvsModuleAndSilentTwin) {
    qxsim::BattRtvs module(1);
    module.SetRecords(1, {{21, 250, 85, 0, 122, 0}});  // channel 2: one cell of two
    module.Serve(pty);
    ISerBase* ch = Open();
    ASSERT_NE(nullptr, ch);
    ISMBase* h = rig.Handler(0x403);
    ASSERT_NE(nullptr, h);
    qxhost::PointItem item(31, 0x403), twin(32, 0x403);
    item.Name("RTVS-1").Port(1).Addr(1).Ext(0x0203, 0).Ser(ch);
    twin.Name("RTVS-2").Port(1).Addr(2).Ext(0x0101, 0).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));
    EXPECT_EQ(6, db.Int("select count(*) from tbBATTRTVS where SID=31"));
    EXPECT_EQ(::Hex(std::string("电池监测 QX-BATTRTVS")),
              ::Hex(db.Str("select Name from tbSMType where Type=1027")));

    int bits[76] = {};
    for (int poll = 1; poll <= 2; poll++) {
        EXPECT_EQ(1, rig.Poll(h, item, ch, bits)) << poll;
        EXPECT_EQ(0, rig.Poll(h, twin, ch, bits)) << poll;
    }
    EXPECT_EQ("0/100/-50/535", db.Str("select State||'/'||TI1||'/'||TI2||'/'||TV from tbBATTRTVS "
                                      "where SID=31 and GlobalId=0"));
    EXPECT_EQ("1:0/1/90/25/26/122 2:0/2/90/25/26/122 3:0/3/90/25/26/122 4:0/21/240/25/0/122 "
              "5:2/0/0/0/0/0",
              db.Str("select group_concat(r,' ') from (select GlobalId||':'||State||'/'||MAddr||'/'"
                     "||R1||'/'||T1||'/'||T2||'/'||V1 as r from tbBATTRTVS where SID=31 and "
                     "GlobalId>0 order by GlobalId)"));
    EXPECT_EQ(::Hex(std::string("电流1:正常,电流2:正常,通道1电压:正常,通道2电压:正常,通道3电压:正常,"
                                "通道4电压:正常")),
              ::Hex(Brief(31)));
    EXPECT_EQ(0, Detail(31));
    // Two polls: the module row and four cells read, twice.
    EXPECT_EQ(10, hist.Int("select count(*) from tbBATTRTVS where SID=31"));

    // The twin never answered: its rows and summary say so.
    EXPECT_EQ(2, Detail(32));
    EXPECT_EQ(3, db.Int("select count(*) from tbBATTRTVS where SID=32 and State=2"));
    EXPECT_EQ(::Hex(std::string("电流1:故障,电流2:故障,通道1电压:故障,通道2电压:故障,通道3电压:故障,"
                                "通道4电压:故障")),
              ::Hex(Brief(32)));

    // A module-current reply without its CR: the point has no answer.
    module.FaultOnce(qxsim::RtvsFault::NoCr);
    EXPECT_EQ(0, rig.Poll(h, item, ch, bits));
    EXPECT_EQ(2, Detail(31));
    EXPECT_EQ(0, db.Int("select TI1 from tbBATTRTVS where SID=31 and GlobalId=0"));
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}

TEST_F(BattCellE2e, Eb90SweepOfTwoCellsAndSilentTwin) {
    qxsim::BodEb90 cells(10, 2);
    cells.SetCell(1, 12900, 4100, 263);
    cells.Serve(pty);
    ISerBase* ch = Open();
    ASSERT_NE(nullptr, ch);
    ISMBase* h = rig.Handler(0x405);
    ASSERT_NE(nullptr, h);
    qxhost::PointItem item(41, 0x405), twin(42, 0x405);
    item.Name("EB90-1").Port(1).Addr(10).Ext(2, 0).Ser(ch);
    twin.Name("EB90-2").Port(1).Addr(30).Ext(1, 0).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));

    // The first sweep measures each cell's resistance after its 5 s settle.
    int bits[2] = {};
    EXPECT_EQ(1, rig.Poll(h, item, ch, bits, 0, 2));
    EXPECT_EQ(0, rig.Poll(h, twin, ch, bits, 0, 1));
    EXPECT_EQ(1, rig.Poll(h, item, ch, bits, 0, 2));
    EXPECT_EQ("1:0/10/13200/3500/251 2:0/11/12900/4100/263",
              db.Str("select group_concat(r,' ') from (select Fld||':'||State||'/'||Addr||'/'||Vol"
                     "||'/'||Reg||'/'||Tem as r from tbBattEb90Val where SID=41 order by Fld)"));
    EXPECT_EQ(::Hex(std::string("总电压: 26.100V 正常 ")), ::Hex(Brief(41)));
    EXPECT_EQ("0/0/0", db.Str("select State||'/'||Volt||'/'||Curr from tbBattEB90 where SID=41"));
    EXPECT_EQ(0, Detail(41));
    EXPECT_EQ(3, hist.Int("select count(*) from tbBattEb90Val where SID=41"));
    EXPECT_EQ(6u, cells.Asked().size());

    // The twin's cell never answered; named "-2", its string's cells are numbered after the
    // first string's one cell.
    EXPECT_EQ(2, Detail(42));
    EXPECT_EQ(::Hex(std::string("总电压: 0.000V  故障: 2")), ::Hex(Brief(42)));
    EXPECT_EQ(2, db.Int("select State from tbBattEb90Val where SID=42 and Addr=30"));

    // The second sweep within the day: voltage and temperature only, resistance kept.
    cells.SetCell(0, 13000, 9000, 240);
    EXPECT_EQ(1, rig.Poll(h, item, ch, bits, 0, 2));
    EXPECT_EQ("13000/3500/240",
              db.Str("select Vol||'/'||Reg||'/'||Tem from tbBattEb90Val where SID=41 and Fld=1"));
    EXPECT_EQ(8u, cells.Asked().size());
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}
