// Whole polls of the temperature/humidity and dust sensors through the loaded plug-ins, a
// serial channel and a simulated Modbus sensor; every check reads rows back from SQLite.
#include "ModbusHost.h"

namespace {

using Sensor = iotest::ModbusHost;

TEST_F(Sensor, TemperatureHumidityIntoSqlite) {
    if (!Start(31, 0x501, 1)) return;  // an unlisted code of the category; input registers
    ASSERT_EQ(0x500, h->GetType());
    qxsim::SetThSensor(slave, 1, 235, 612);

    ASSERT_EQ(1, Poll(2));  // humidity out of limits
    EXPECT_EQ("1|0|235|612|0|1",
              db.Str("select State||'|'||SnapID||'|'||Tem||'|'||Hum||'|'||iTem||'|'||iHum from "
                     "tbEnvir where SID=31"));
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=31"));
    EXPECT_EQ(Hex("温度:23.5 (正常),湿度:61.2 (告警)"),
              Hex(db.Str("select Brief from tbSMBrief where SID=31")));
    EXPECT_EQ(1, db.Int("select St from tbSMBrief where SID=31"));
    char text[16] = ".温度";
    EXPECT_EQ(4, h->VarEval(text));
    EXPECT_STREQ("23.5", text);

    // Two more readings; each update adds a history row.
    qxsim::SetThSensor(slave, 1, 241, 500);
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("241|500|0", db.Str("select Tem||'|'||Hum||'|'||State from tbEnvir where SID=31"));
    EXPECT_EQ("235/612/1 241/500/0",
              hist.Str("select group_concat(r, ' ') from (select Tem||'/'||Hum||'/'||State as r "
                       "from tbEnvir where SID=31 order by DID)"));
    EXPECT_EQ(1, db.Int("select count(*) from tbEnvir"));
}

TEST_F(Sensor, ExceptionReplyAndSilence) {
    if (!Start(32, 0x500, 0)) return;
    qxsim::SetThSensor(slave, 0, 199, 402);
    ASSERT_EQ(1, Poll());
    EXPECT_EQ(199, h->DataVal(1));

    struct Case {
        const char* what;
        qxsim::ModbusFault fault;
    } cases[] = {
        {"exception", qxsim::ModbusFault::Exception},
        {"silence", qxsim::ModbusFault::Silence},
        {"bad CRC", qxsim::ModbusFault::BadCrc},
        {"short", qxsim::ModbusFault::Short},
        {"other function", qxsim::ModbusFault::WrongFunction},
    };
    for (const Case& c : cases) {
        slave.FaultOnce(c.fault);
        EXPECT_EQ(0, Poll()) << c.what;
        EXPECT_EQ("2|0|0|2|2", db.Str("select State||'|'||Tem||'|'||Hum||'|'||iTem||'|'||iHum "
                                      "from tbEnvir where SID=32"))
            << c.what;
        EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=32")) << c.what;
        EXPECT_EQ(Hex("通讯中断"),
                  Hex(db.Str("select Brief from tbSMBrief where SID=32")))
            << c.what;
        EXPECT_EQ(199, h->DataVal(1)) << c.what;  // the last reading stays readable
    }
    // The device answers again.
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|199|402", db.Str("select State||'|'||Tem||'|'||Hum from tbEnvir where SID=32"));
    EXPECT_EQ(7, hist.Int("select count(*) from tbEnvir where SID=32"));
    EXPECT_EQ(5, hist.Int("select count(*) from tbEnvir where SID=32 and State=2"));
}

TEST_F(Sensor, DustIntoSqlite) {
    if (!Start(33, 0x502)) return;
    ASSERT_EQ(0x502, h->GetType());
    qxsim::SetDustSensor(slave, 35);
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0|35|0", db.Str("select State||'|'||Pm||'|'||iPm from tbEnvirPm where SID=33"));
    EXPECT_EQ(Hex("PM2.5:35 ug/m3(正常)"), Hex(db.Str("select Brief from tbSMBrief where SID=33")));
    slave.FaultOnce(qxsim::ModbusFault::Exception);
    EXPECT_EQ(0, Poll());
    EXPECT_EQ("2|0|2", db.Str("select State||'|'||Pm||'|'||iPm from tbEnvirPm where SID=33"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbEnvirPm where SID=33"));
}

}  // namespace
