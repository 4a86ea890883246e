// Whole polls of the Modbus DIO modules through the loaded plug-ins, a serial channel on a
// pseudo-terminal and the simulated modules; rows read back from SQLite.
#include <memory>
#include <string>

#include "ModbusHost.h"

namespace {

class DioModules : public iotest::ModbusHost {
protected:
    // Point rows of the point (SIDD form) and a name of its own for point 1 with a quote in it.
    void PointRows(int sid, int n) {
        for (int f = 1; f <= n; f++)
            db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(" + std::to_string(1000 + f) +
                   ",0," + std::to_string(f) + "," + std::to_string(sid) + ",-1)");
    }
    void NamePoint(int sid, int fld, const std::string& name) {
        db.Run("insert into tbSMDefVal(SID,Fld,ANote,Type) values(" + std::to_string(sid) + "," +
               std::to_string(fld) + ",'" + name + "'," + std::to_string(h->GetType()) + ")");
        h->RegDb(&db, 0);
    }
    int PointState(int sid, int f) {
        return (int)db.Int("select State from tbSubSysDetail where SIDD=" + std::to_string(sid) +
                           " and Fld=" + std::to_string(f));
    }
    std::string Row(int sid, const std::string& cols) {
        return db.Str("select " + cols + " from tbDio where SID=" + std::to_string(sid));
    }
    std::string Brief(int sid) {
        return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid));
    }
    // A second point of the same type at an address nobody answers.
    qxhost::PointItem* Twin(int sid) {
        twin.reset(new qxhost::PointItem(sid, item->Get().Type));
        twin->Name("P2").Port(ch->GetType() & 0xFFFF).Addr(2).Ser(ch);
        rig.AddPoint(h, *twin);
        return twin.get();
    }
    std::unique_ptr<qxhost::PointItem> twin;
};

TEST_F(DioModules, Pd2206PointsStatesAndOutputs) {
    if (!Start(61, 0x903)) return;
    PointRows(61, 12);
    NamePoint(61, 1, "Door''s 220V");
    const uint8_t points[12] = {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 1};
    qxsim::SetPd2206(slave, points);

    ASSERT_EQ(1, Poll(1, 1));  // point 1 in alarm
    EXPECT_EQ("1|2111|1|0|1", Row(61, "State||'|'||Dio||'|'||D01||'|'||D07||'|'||D12"));
    EXPECT_EQ(1, PointState(61, 1));
    EXPECT_EQ(0, PointState(61, 2));
    EXPECT_EQ(Hex("Door's 220V:告警 (其他正常)"), Hex(Brief(61)));

    // Output 12 on: the module keeps it and answers it on the next poll.
    int on = 1;
    h->DoItem(*item, 0);
    EXPECT_EQ(1, h->DoFunc(8 << 16 | 0x41, &on, 4));
    EXPECT_EQ(1, slave.Holding(0x41));
    EXPECT_EQ(0, h->DoFunc(8 << 16 | 0x42, &on, 4));
    slave.FaultOnce(qxsim::ModbusFault::Exception);
    EXPECT_EQ(0, h->DoFunc(8 << 16 | 0x40, &on, 4));

    // A fault of the module: cleared row, fault states and summary.
    for (qxsim::ModbusFault f : {qxsim::ModbusFault::Silence, qxsim::ModbusFault::BadCrc,
                                 qxsim::ModbusFault::Exception, qxsim::ModbusFault::Short,
                                 qxsim::ModbusFault::WrongCount}) {
        slave.FaultOnce(f);
        EXPECT_EQ(0, Poll()) << (int)f;
        EXPECT_EQ("2|0|0", Row(61, "State||'|'||Dio||'|'||D01"));
        EXPECT_EQ(2, PointState(61, 12));
        EXPECT_EQ(Hex("(故障),通讯中断"), Hex(Brief(61)));
    }
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(Hex("(全部正常)"), Hex(Brief(61)));
    EXPECT_EQ(7, hist.Int("select count(*) from tbDio where SID=61"));
    EXPECT_EQ(2111, hist.Int("select Dio from tbDio where SID=61 order by DID limit 1"));
}

TEST_F(DioModules, Fd220SwitchAndSilentTwin) {
    if (!Start(62, 0x902)) return;
    db.Run("insert into tbSubSysDetail(SID,Type,State) values(62,2306,-1)");
    qxhost::PointItem* p2 = Twin(63);
    qxsim::SetFd220(slave, true);
    int bits[1] = {0};
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(0, rig.Poll(h, *p2, ch, bits));
    EXPECT_EQ("0|1|1", Row(62, "State||'|'||Dio||'|'||D01"));
    EXPECT_EQ(Hex("电池正在放电"), Hex(Brief(62)));
    EXPECT_EQ("2|0", Row(63, "State||'|'||D01"));
    EXPECT_EQ(Hex("故障,通讯中断"), Hex(Brief(63)));
    EXPECT_EQ(1, hist.Int("select count(*) from tbDio where SID=63"));

    // Switched off by the command (coil 500), on Variant 1 coil 0.
    const uint8_t off[2] = {0x00, 0x00};
    h->DoItem(*item, 0);
    slave.SetCoil(500, true);
    EXPECT_EQ(1, h->DoFunc(5, (void*)off, 2));
    EXPECT_FALSE(slave.Coil(500));
    item->Variant(1);
    EXPECT_EQ(1, h->DoFunc(5, (void*)off, 2));
    EXPECT_FALSE(slave.Coil(0));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(Hex("电池停止放电"), Hex(Brief(62)));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=62"));
}

TEST_F(DioModules, Rd230InputsBesideASilentTwin) {
    if (!Start(64, 0x906)) return;
    PointRows(64, 8);
    qxhost::PointItem* p2 = Twin(65);
    PointRows(65, 8);
    qxsim::SetRd230(slave, 0x7F);  // input 8 closed
    int bits[1] = {0x80};
    ASSERT_EQ(1, Poll(0x80, 1));
    EXPECT_EQ(0, rig.Poll(h, *p2, ch, bits));
    EXPECT_EQ("1|127|0|1", Row(64, "State||'|'||Dio||'|'||D01||'|'||D08"));
    EXPECT_EQ(1, PointState(64, 8));
    EXPECT_EQ(0, PointState(64, 7));
    EXPECT_EQ(Hex("DI 8:告警 (其他正常)"), Hex(Brief(64)));
    EXPECT_EQ("2|0", Row(65, "State||'|'||D08"));
    EXPECT_EQ(2, PointState(65, 8)) << "the silent twin's points are not read";
    EXPECT_EQ(Hex("(故障),通讯中断"), Hex(Brief(65)));
}

TEST_F(DioModules, Ad5Da5RegistersAndOutputWrites) {
    if (!Start(66, 0x905)) return;
    PointRows(66, 8);
    const uint16_t in[5] = {1, 2, 3, 4, 40000}, out[5] = {6, 7, 8, 9, 10};
    qxsim::SetAd5Da5(slave, in, out);
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|0|1|40000|6|10", Row(66, "State||'|'||Dio||'|'||D01||'|'||D05||'|'||D06||'|'||D10"));
    EXPECT_EQ(Hex("(全部正常)"), Hex(Brief(66)));

    h->DoItem(*item, 0);
    int value = 4095;
    EXPECT_EQ(1, h->DoFunc(6 << 16 | 2, &value, 4));
    const uint8_t two[4] = {0x01, 0x00, 0x02, 0x00};
    EXPECT_EQ(1, h->DoFunc(16 << 16 | 3, (void*)two, 4));
    EXPECT_EQ(0, h->DoFunc(16 << 16 | 3, (void*)two, 1));
    slave.FaultOnce(qxsim::ModbusFault::Exception);
    EXPECT_EQ(0, h->DoFunc(6 << 16 | 2, &value, 4));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("4095|256|512", Row(66, "D08||'|'||D09||'|'||D10"));

    // The outputs' read failing: the poll fails and the row is cleared.
    slave.FaultOnce(qxsim::ModbusFault::None);
    slave.FaultOnce(qxsim::ModbusFault::Silence);
    EXPECT_EQ(0, Poll());
    EXPECT_EQ("2|0|0", Row(66, "State||'|'||D01||'|'||D06"));
    EXPECT_EQ(2, PointState(66, 1));
}

TEST_F(DioModules, Ad5Da5IvcCurvesIntoTbIvcDat) {
    if (!Start(67, 0x90A)) return;
    item->Addr(3);
    ASSERT_EQ(1, h->ChkDb(*item));
    slave.SetUnit(3);
    qxhost::PointItem* p2 = Twin(68);  // address 2: module 2, silent
    for (int f = 6; f <= 10; f++)
        db.Run("insert into tbSubSysDetail(SID,Type,Fld,State) values(67,2314," + std::to_string(f) + ",-1)");
    NamePoint(67, 7, "Room''s air");
    const uint16_t in[5] = {8, 410, 830, 1000, 2000}, out[5] = {2048, 0, 4095, 0, 0};
    qxsim::SetAd5Da5(slave, in, out);

    ASSERT_EQ(1, Poll(1 << 6, 1));  // temperature out of limits
    int bits[1] = {0};
    EXPECT_EQ(0, rig.Poll(h, *p2, ch, bits));
    EXPECT_EQ("1|410|250|50|100|1|1",
              Row(67, "State||'|'||D02||'|'||D07||'|'||D16||'|'||D18||'|'||D21||'|'||D23"));
    EXPECT_EQ(Hex("Room's air=25.0 (告警) "), Hex(Brief(67)));
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=67 and Fld=7"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=67 and Fld=8"));
    EXPECT_EQ("410|250|2048|50|1|1",
              db.Str("select AD2||'|'||AD2v||'|'||DA1||'|'||DA1v||'|'||State||'|'||iAD2v from tbIvcDat where BID=3"));
    EXPECT_EQ("2|2", db.Str("select State||'|'||iAD5v from tbIvcDat where BID=2"));
    EXPECT_EQ("2|0|2", Row(68, "State||'|'||D07||'|'||D26"));
    EXPECT_EQ(Hex("故障,通讯中断"), Hex(Brief(68)));

    // A new curve for the temperature: 10 degrees a volt, from the host's command.
    const float line[2][2] = {{0.0f, 0.0f}, {10.0f, 100.0f}};
    h->DoItem(*item, 0);
    EXPECT_EQ(1, h->DoFunc(22 << 16 | 2, (void*)line, 16));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(100, db.Int("select D07 from tbDio where SID=67")) << "1.0012 V";
    EXPECT_EQ(Hex("全部正常"), Hex(Brief(67)));
    EXPECT_EQ(2, hist.Int("select count(*) from tbDio where SID=67"));
}

TEST_F(DioModules, Mlan7vxpxjBreakersInBothDatabases) {
    if (!Start(69, 0x909)) return;
    qxhost::PointItem* p2 = Twin(70);
    uint8_t b[72] = {2, 1};
    b[71] = 2;
    qxsim::SetMlanBoard(slave, b);
    int bits[1] = {0};
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(0, rig.Poll(h, *p2, ch, bits));
    EXPECT_EQ("0|2|1|0|2", db.Str("select State||'|'||D01||'|'||D02||'|'||D03||'|'||D72 from tbMlan7vxpxj where SID=69"));
    EXPECT_EQ("0|2|1", hist.Str("select State||'|'||D01||'|'||D02 from tbMlan7vxpxj where SID=69"));
    EXPECT_EQ("2|0", db.Str("select State||'|'||D01 from tbMlan7vxpxj where SID=70"));
    EXPECT_EQ(Hex("故障,通讯中断"), Hex(Brief(70)));
    EXPECT_EQ("", Brief(69));
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=70"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=69"));
    slave.FaultOnce(qxsim::ModbusFault::Short);
    EXPECT_EQ(0, Poll());
    EXPECT_EQ(2, hist.Int("select count(*) from tbMlan7vxpxj where SID=69"));
}

// The host's alarm flag over a module that did not answer keeps that module's readings and
// flags; a second module on the same handler keeps its own.
TEST_F(DioModules, Ad5Da5IvcHostFlagKeepsEachModulesValues) {
    if (!Start(67, 0x90A)) return;
    item->Addr(3);
    ASSERT_EQ(1, h->ChkDb(*item));
    qxhost::PointItem four(69, 0x90A);
    four.Name("P4").Port(ch->GetType() & 0xFFFF).Addr(4).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, four));
    const std::string block =
        "D01||','||D02||','||D06||','||D07||','||D08||','||D10||','||D11||','||D16||','||D21||','||D22||','||"
        "D23||','||D24||','||D25||','||D26";
    const std::string ivc = "AD2||','||AD2v||','||DA1v||','||State||','||iAD2v||','||iAD5v";

    slave.SetUnit(3);
    const uint16_t in3[5] = {8, 410, 830, 1000, 2000}, out3[5] = {2048, 0, 4095, 0, 0};
    qxsim::SetAd5Da5(slave, in3, out3);
    ASSERT_EQ(1, Poll(1 << 6 | 1 << 9, 1));  // temperature and pressure difference
    const std::string row3 = Row(67, block), ivc3 = db.Str("select " + ivc + " from tbIvcDat where BID=3");
    EXPECT_EQ("8,410,27,250,501,250,2048,50,1,0,1,0,0,1", row3);
    EXPECT_EQ("410,250,50,1,1,1", ivc3);

    slave.SetUnit(4);
    const uint16_t in4[5] = {100, 0, 4095, 0, 0}, out4[5] = {0, 4095, 0, 0, 0};
    qxsim::SetAd5Da5(slave, in4, out4);
    int none[1] = {0};
    ASSERT_EQ(1, rig.Poll(h, four, ch, none));
    const std::string row4 = Row(69, block);
    EXPECT_EQ("0,0,0,0", Row(69, "D21||','||D22||','||D23||','||D26"));

    // Module 3 does not answer; the host's flag makes the update state 1.
    EXPECT_EQ(0, Poll(0, 1));
    EXPECT_EQ(row3, Row(67, block));
    EXPECT_EQ(ivc3, db.Str("select " + ivc + " from tbIvcDat where BID=3"));
    EXPECT_EQ(row4, Row(69, block));
    EXPECT_EQ(1, hist.Int("select count(*) from tbDio where SID=67 and D07=250 and D23=1 and D21=1 "
                          "and DID=(select max(DID) from tbDio)"));
    // Without the flag: cleared, every flag 2.
    EXPECT_EQ(0, Poll());
    EXPECT_EQ("0,0,0,0,0,0,0,0,2,2,2,2,2,2", Row(67, block));
    EXPECT_EQ(row4, Row(69, block));
}

}  // namespace
