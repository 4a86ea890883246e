// Whole polls of the electricity meter through the loaded plug-ins, a serial channel and a
// simulated meter of model 0: current and history rows, the energy per day across date
// changes (the plug-in's clock set through QX_FAKE_TIME), failed polls and the register write.
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "ModbusHost.h"

namespace {

class Meter : public iotest::ModbusHost {
protected:
    void TearDown() override {
        unsetenv("QX_FAKE_TIME");
        iotest::ModbusHost::TearDown();
    }
    static void SetDate(time_t t) { setenv("QX_FAKE_TIME", std::to_string((long long)t).c_str(), 1); }
    // A local date at noon, and its day key as the handler forms it.
    static time_t Noon(int y, int m, int d) {
        struct tm tm;
        memset(&tm, 0, sizeof(tm));
        tm.tm_year = y - 1900;
        tm.tm_mon = m - 1;
        tm.tm_mday = d;
        tm.tm_hour = 12;
        tm.tm_isdst = -1;
        return mktime(&tm);
    }
    static std::string Key(time_t t) {
        struct tm tm;
        localtime_r(&t, &tm);
        return std::to_string((tm.tm_year + 1) * 10000 + (tm.tm_mon + 1) * 100 + tm.tm_yday);
    }
    std::string DayRows(int sid) {
        return hist.Str("select group_concat(r, ' ') from (select Day||':'||Val as r from tbElecM "
                        "where SID=" + std::to_string(sid) + " order by Day)");
    }
    // A three-phase meter: PT 1, CT 30, so the energy in Wh is the count / 400.
    qxsim::HcMeter Reading(uint32_t energy) {
        qxsim::HcMeter m;
        m.pt = 1;
        m.ct = 30;
        m.energy = energy;
        m.u[0] = 2205; m.u[1] = 2210; m.u[2] = 2190;  // x 1 / 1000: tenths of a volt stored
        m.i[0] = 500;  m.i[1] = 510;  m.i[2] = 490;   // x 30 / 100
        m.p = -100; m.q = 50; m.s = 400; m.pf = 987; m.f = 5001;
        m.pa[0] = 100; m.pa[1] = -200; m.pa[2] = 300;
        return m;
    }
};

TEST_F(Meter, ThreePhaseIntoSqlite) {
    if (!Start(41, 0x10A)) return;  // an unlisted code of the category
    ASSERT_EQ(0x100, h->GetType());
    qxsim::SetHcMeter(slave, Reading(4000000));
    SetDate(Noon(2026, 7, 1));
    ASSERT_EQ(1, Poll());
    const char* cols =
        "State||'|'||Ygzdn||'|'||Zyggl||'|'||Ayggl||'|'||Byggl||'|'||Zwggl||'|'||Zszgl||'|'||"
        "Zglys||'|'||Pl||'|'||Ady||'|'||Cdy||'|'||Adl||'|'||Cdl";
    // 30 * 4000000 / 12000; 30 * -100 * 3 / 10000; 30 * 100 / 10000; 30 * 50 * 3 / 10000 ...
    const char* expect = "0|10000|0|0|0|0|3|98|5001|2|2|150|147";
    EXPECT_EQ(expect, db.Str(std::string("select ") + cols + " from tbElec where SID=41"));
    EXPECT_EQ(expect, hist.Str(std::string("select ") + cols + " from tbElec where SID=41"));
    EXPECT_EQ(Hex("A相: 0.2V 1.50A,B相: 0.2V 1.53A,C相: 0.2V 1.47A"),
              Hex(db.Str("select Brief from tbSMBrief where SID=41")));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ("0:10000 " + Key(Noon(2026, 7, 1)) + ":0", DayRows(41));
    char text[16] = ".ygzdn";
    EXPECT_EQ(9, h->VarEval(text));
    EXPECT_STREQ("10.000KWH", text);
}

TEST_F(Meter, EnergyPerDayAcrossDateChanges) {
    if (!Start(42, 0x100)) return;
    const time_t d1 = Noon(2026, 12, 31), d2 = Noon(2027, 1, 1);
    SetDate(d1);
    qxsim::SetHcMeter(slave, Reading(400000));  // 1000 Wh
    ASSERT_EQ(1, Poll());
    SetDate(d1 + 3 * 3600);
    qxsim::SetHcMeter(slave, Reading(520000));  // 1300 Wh, same day
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0:1000 " + Key(d1) + ":0", DayRows(42));

    // The first poll of the new year: the energy since the baseline, and the baseline moves.
    SetDate(d2);
    qxsim::SetHcMeter(slave, Reading(880000));  // 2200 Wh
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0:2200 " + Key(d1) + ":0 " + Key(d2) + ":1200", DayRows(42));
    qxsim::SetHcMeter(slave, Reading(1000000));  // 2500 Wh
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0:2200 " + Key(d1) + ":0 " + Key(d2) + ":1200", DayRows(42));
    EXPECT_EQ(4, hist.Int("select count(*) from tbElec where SID=42"));
}

TEST_F(Meter, ExceptionReplyAndSilence) {
    if (!Start(43, 0x100)) return;
    SetDate(Noon(2026, 8, 1));
    qxsim::SetHcMeter(slave, Reading(400000));
    ASSERT_EQ(1, Poll());
    struct Case {
        const char* what;
        int before;  // good exchanges before the fault
        qxsim::ModbusFault fault;
    } cases[] = {
        {"exception on the first request", 0, qxsim::ModbusFault::Exception},
        {"exception on the energy", 1, qxsim::ModbusFault::Exception},
        {"silence on the phase block", 2, qxsim::ModbusFault::Silence},
        {"bad CRC", 2, qxsim::ModbusFault::BadCrc},
    };
    for (const Case& c : cases) {
        for (int i = 0; i < c.before; i++) slave.FaultOnce(qxsim::ModbusFault::None);
        slave.FaultOnce(c.fault);
        SetDate(Noon(2026, 8, 2));  // a new day: a failed poll must not count energy
        EXPECT_EQ(0, Poll()) << c.what;
        EXPECT_EQ("2|0|0|0", db.Str("select State||'|'||Ygzdn||'|'||Ady||'|'||Cdl from tbElec "
                                    "where SID=43"))
            << c.what;
        EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=43")) << c.what;
        EXPECT_EQ("0:1000 " + Key(Noon(2026, 8, 1)) + ":0", DayRows(43)) << c.what;
    }
    EXPECT_EQ(4, hist.Int("select count(*) from tbElec where SID=43 and State=2 and Ygzdn=0"));
    ASSERT_EQ(1, Poll());
    EXPECT_EQ("0:1000 " + Key(Noon(2026, 8, 1)) + ":0 " + Key(Noon(2026, 8, 2)) + ":0",
              DayRows(43));
}

TEST_F(Meter, RegisterWrite) {
    if (!Start(44, 0x100)) return;
    int value = 0x1A5;  // the low 8 bits are written
    h->DoItem(*item, 0);
    EXPECT_EQ(1, h->DoFunc(128, &value, 4));
    EXPECT_EQ(0xA5, slave.Holding(11));
    slave.FaultOnce(qxsim::ModbusFault::Exception);
    value = 3;
    EXPECT_EQ(0, h->DoFunc(128, &value, 4));  // answered with an exception
    size_t requests = slave.RequestCount();
    EXPECT_EQ(0, h->DoFunc(129, &value, 4));  // no such command: nothing sent
    EXPECT_EQ(requests, slave.RequestCount());
}

}  // namespace
