// Whole polls of the power-plant controllers and the single-phase meter through the loaded
// plug-ins, a serial channel and the simulated units; rows read back from SQLite.
#include "ModbusHost.h"
#include "PowerMaps.h"

namespace {

using Plant = iotest::ModbusHost;

const qxsim::ModbusFault kFaults[] = {qxsim::ModbusFault::Exception, qxsim::ModbusFault::Silence,
                                      qxsim::ModbusFault::BadCrc, qxsim::ModbusFault::Short};

TEST_F(Plant, TransformerBesideASilentTwin) {
    if (!Start(51, 0x103)) return;
    qxsim::Transformer t;
    t.tem[1] = 150;
    t.fault[3] = true;
    t.trip = true;
    qxsim::SetTransformer(slave, t);
    qxhost::PointItem twin(52, 0x103);
    twin.Name("P2").Port(ch->GetType() & 0xFFFF).Addr(2).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));

    ASSERT_EQ(1, Poll(0x2));  // phase B over its limit
    int bits[1] = {0};
    EXPECT_EQ(0, rig.Poll(h, twin, ch, bits));
    ASSERT_EQ(1, Poll());
    const std::string row = "select State||'|'||TemA||'|'||TemB||'|'||TemI||'|'||StSenI||'|'||"
                            "StWind||'|'||StTrip from tbTransf where SID=";
    EXPECT_EQ("0|65|150|0|1|1|1", db.Str(row + "51"));
    EXPECT_EQ("2|0|0|0|0|0|0", db.Str(row + "52"));
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=52"));
    EXPECT_EQ(Hex("A相: 0℃(故障),B相: 0℃(故障),C相: 0℃(故障),铁心: 0℃(故障)"),
              Hex(db.Str("select Brief from tbSMBrief where SID=52")));
    EXPECT_EQ(3, hist.Int("select count(*) from tbTransf"));
    EXPECT_EQ("1|150",
              hist.Str("select State||'|'||TemB from tbTransf where SID=51 order by DID limit 1"));

    for (qxsim::ModbusFault f : kFaults) {
        slave.FaultOnce(f);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|0|0|0|0|0|0", db.Str(row + "51"));
    }
    ASSERT_EQ(1, Poll());
    // The core's sensor is faulty: no reading, neither normal nor an alarm on 0 degrees.
    EXPECT_EQ(Hex("A相: 65℃(正常),B相: 150℃(正常),C相: 67℃(正常),铁心: 0℃(故障)"),
              Hex(db.Str("select Brief from tbSMBrief where SID=51")));
}

TEST_F(Plant, GeneratorScada) {
    if (!Start(53, 0x104)) return;
    ASSERT_EQ(0x104, h->GetType());
    qxsim::SetPowScada(slave, qxsim::PowScada());
    ASSERT_EQ(1, Poll(1 << 19));  // field 20, the coolant temperature
    EXPECT_EQ("0|15000|-2000|1000|2300|2100|800|500|2700|1|500",
              db.Str("select State||'|'||zsjgl||'|'||zwggl||'|'||zglys||'|'||ady||'|'||adl||'|'||"
                     "OilTem||'|'||OilPre||'|'||Vbatt||'|'||AutoOnOff||'|'||pl from tbPowSCADA "
                     "where SID=53"));
    EXPECT_EQ(Hex("告警:冷却液温度"), Hex(db.Str("select Brief from tbSMBrief where SID=53")));
    EXPECT_EQ(260, db.Int("select Kind from tbSMType where Type=260"));
    for (qxsim::ModbusFault f : kFaults) {
        slave.FaultOnce(f);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|0", db.Str("select State||'|'||ady from tbPowSCADA where SID=53"));
        EXPECT_EQ(Hex("(故障),通讯中断"), Hex(db.Str("select Brief from tbSMBrief where SID=53")));
    }
    EXPECT_EQ(5, hist.Int("select count(*) from tbPowSCADA where SID=53"));
}

TEST_F(Plant, DcPowerMonitor) {
    if (!Start(54, 0x105)) return;
    qxsim::Fbjk f;
    f.faults = 0x02;
    qxsim::SetFbjk(slave, f);
    ASSERT_EQ(1, Poll(1 << 13));  // field 14, the DC fault
    const std::string cols = "select State||'|'||dyuv1||'|'||dymp||'|'||tem||'|'||stDC||'|'||"
                             "PBatt1||'|'||PTem4 from tbFBJK002G3S where SID=54";
    EXPECT_EQ("0|3800|535|25|1|535|25", db.Str(cols));
    EXPECT_EQ("0|3800|535|25|1|535|25", hist.Str(cols));
    EXPECT_EQ(Hex("告警:直流故障"), Hex(db.Str("select Brief from tbSMBrief where SID=54")));
    slave.FaultOnce(qxsim::ModbusFault::Silence);
    EXPECT_EQ(0, Poll());
    EXPECT_EQ("2|0|0|0|0|0|0", db.Str(cols));
}

TEST_F(Plant, GeneratorSetAndItsCoilCommands) {
    if (!Start(55, 0x107)) return;
    qxsim::SetHgm(slave, qxsim::Hgm());
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|0|0|1|400|0|1034",
              db.Str("select State||'|'||s00||'|'||s01||'|'||s54||'|'||r06||'|'||r10||'|'||r22 "
                     "from tbHgm where SID=55"));
    EXPECT_EQ(Hex("发电AB相电压400V,发电BC相电压401V,发电CA相电压399V"),
              Hex(db.Str("select Brief from tbSMBrief where SID=55")));
    EXPECT_EQ(1, hist.Int("select count(*) from tbHgm where SID=55 and r22=1034"));
    EXPECT_EQ(3584, db.Int("select Kind from tbSMType where Type=263"));

    slave.SetCoil(0, false);
    ASSERT_EQ(1, h->DoItem(*item, 0));
    EXPECT_EQ(1, h->DoFunc(ch, 1, 31, nullptr, 0));
    EXPECT_TRUE(slave.Coil(1));
    slave.FaultOnce(qxsim::ModbusFault::Exception);
    EXPECT_EQ(0, h->DoFunc(ch, 1, 30, nullptr, 0));
    EXPECT_EQ(1, h->DoFunc(ch, 1, 30, nullptr, 0));
    EXPECT_TRUE(slave.Coil(0));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("1|1", db.Str("select s00||'|'||s01 from tbHgm where SID=55"));
}

TEST_F(Plant, SinglePhaseMeterBesideASilentTwinAndItsRelay) {
    if (!Start(56, 0x106)) return;
    ASSERT_EQ(0x106, h->GetType());
    qxsim::SetHc311a(slave, qxsim::Hc311a());
    qxhost::PointItem twin(57, 0x106);
    twin.Name("P2").Port(ch->GetType() & 0xFFFF).Addr(2).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));

    ASSERT_EQ(1, Poll());
    int bits[1] = {0};
    EXPECT_EQ(0, rig.Poll(h, twin, ch, bits));
    const std::string cols =
        "State||'|'||m_uiAU||'|'||m_uiAI||'|'||m_iP||'|'||m_uiFR||'|'||m_iEpPH||'|'||"
        "m_iEp_net||'|'||m_uRelayState from tbHC311A where SID=";
    EXPECT_EQ("0|2200|50|1100|5000|1000000|0|1", db.Str("select " + cols + "56"));
    EXPECT_EQ("0|2200|50|1100|5000|1000000|0|1", hist.Str("select " + cols + "56"));
    EXPECT_EQ("2|0|0|0|0|0|0|0", db.Str("select " + cols + "57"));
    EXPECT_EQ("2|0|0|0|0|0|0|0", hist.Str("select " + cols + "57"));
    EXPECT_EQ(Hex("电压:220.0V,电流:5.0A"), Hex(db.Str("select Brief from tbSMBrief where SID=56")));
    EXPECT_EQ(Hex("(故障),通讯中断"), Hex(db.Str("select Brief from tbSMBrief where SID=57")));

    // The relay: function 15 on coil 0, read back by the next poll.
    ASSERT_EQ(1, h->DoItem(*item, 0));
    uint8_t off = 0;
    EXPECT_EQ(1, h->DoFunc(ch, 1, 15 << 16, &off, 1));
    EXPECT_FALSE(slave.Coil(0));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(0, db.Int("select m_uRelayState from tbHC311A where SID=56"));
    char text[32] = ".RelayState";
    EXPECT_EQ(4, h->VarEval(text));
    EXPECT_EQ(Hex("断开"), Hex(text));

    for (qxsim::ModbusFault f : kFaults) {
        slave.FaultOnce(f);
        EXPECT_EQ(0, Poll());
        EXPECT_EQ("2|0|0|0|0|0|0|0", db.Str("select " + cols + "56"));
    }
}

}  // namespace
