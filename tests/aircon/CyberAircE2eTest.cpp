// Whole polls of the Modbus RTU air-conditioners (SCA, HST12, HST26JF, HaiRuiFu, RDA,
// Canatal) as a host makes them: both plug-ins loaded with dlopen, a serial channel on a
// pseudo-terminal to the simulated unit, the host's SQLite databases. Each type has a point
// that answers and a silent twin (an address no unit answers) on the same line.
#include <string.h>

#include <functional>
#include <string>

#include "E2eRig.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

struct Kind {
    const char* name;
    int type, variant;
    std::function<void(qxsim::ModbusSlave&)> fill;
    const char* table;
    int defs;
    const char* columns;  // a few value columns, joined by ','
    const char* row;      // what they hold after a poll
    const char* brief;    // summary without alarms
    int alarmFld;         // a field whose caption the alarm test changes
};

const Kind kKinds[] = {
    {"SCA four values", 0x81B, 0,
     [](qxsim::ModbusSlave& s) { qxsim::SetScaAirc(s, qxsim::ScaAirc()); }, "tbCyberSCA", 63,
     "TemRetSet||','||StOnOff||','||TemRet||','||HumRet||','||TemSup||','||FanSpeed",
     "240,1,251,452,183,75",
     "送风温度:18.3°C, 回风温度:25.1°C, 送风湿度:56.1%, 回风湿度:45.2%", 22},
    {"SCA two values", 0x81B, 1,
     [](qxsim::ModbusSlave& s) { qxsim::SetScaAirc(s, qxsim::ScaAirc()); }, "tbCyberSCA", 63,
     "TemRet||','||HumRet", "251,452", "回风温度:25.1°C, 回风湿度:45.2%", 22},
    {"HST12", 0x819, 0,
     [](qxsim::ModbusSlave& s) { qxsim::SetHstAirc(s, qxsim::HstAirc(), 0); }, "tbCyberHstx", 25,
     "TemExtCiol||','||TemInCiol||','||TemIn||','||HumIn||','||TemSet||','||HumSet",
     "305,122,234,550,240,500", "外盘管温度:30.5, 内盘管温度:12.2, 室内温度:23.4, 室内湿度:55.0", 20},
    {"HST26JF", 0x819, 1,
     [](qxsim::ModbusSlave& s) { qxsim::SetHstAirc(s, qxsim::HstAirc(), 1); }, "tbCyberHstx", 25,
     "TemExtCiol||','||TemInCiol||','||TemIn||','||HumIn||','||TemSet||','||HumSet",
     "305,122,234,550,240,500", "外盘管温度:30.5, 内盘管温度:12.2, 室内温度:23.4, 室内湿度:55.0", 20},
    {"HaiRuiFu", 0x815, 0,
     [](qxsim::ModbusSlave& s) { qxsim::SetHaiRuiFuAirc(s, qxsim::HaiRuiFuAirc()); },
     "tbCyberHairf", 24, "Tem||','||Hum||','||FanStat||','||YsState||','||ZlMode",
     "235,456,1,1,1", "现场温度:23.5, 现场湿度:45.6", 8},
    {"RDA", 0x80F, 0, [](qxsim::ModbusSlave& s) { qxsim::SetRdaAirc(s, qxsim::RdaAirc()); },
     "tbRDA050CXTILI", 8, "temset||','||humset||','||tem||','||hum||','||fj||','||jr2",
     "220,500,262,540,1,1", "", 14},
    {"Canatal", 0x807, 0,
     [](qxsim::ModbusSlave& s) { qxsim::SetCanatalAirc(s, qxsim::CanatalAirc()); }, "tbCanatal",
     1, "status||','||s_alarm||','||s_fj||','||r_cs||','||tem||','||hum||','||temset||','||humset",
     "1,0,1,1,245,513,230,500", "现场温度24.5℃, 现场湿度51.3%", 2},
};

class CyberAircE2e : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override {
        const Kind& k = GetParam();
        k.fill(unit);
        qxsim::ServeModbusRtu(pty, unit);
        ASSERT_TRUE(pty.Start());
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        ch = rig.Channel(pty.Definition(), qxtest::E2eRig::kSerial | pty.Number());
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(k.type);
        ASSERT_NE(nullptr, h);
        live.Name("AC-1").Port(1).Addr(1).Variant(k.variant).Ser(ch);
        twin.Name("AC-2").Port(1).Addr(2).Variant(k.variant).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, live));
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, twin));
    }
    void TearDown() override {
        rig.Close();
        pty.Stop();
    }
    int Poll(qxhost::PointItem& item, int* bits) { return rig.Poll(h, item, ch, bits, 0, 1); }
    std::string Cur(int sid) {
        return db.Str(std::string("select ") + GetParam().columns + " from " + GetParam().table +
                      " where SID=" + std::to_string(sid));
    }
    std::string Brief(int sid) {
        return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid));
    }

    qxsim::ModbusSlave unit{1};
    qxsim::PtySim pty;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem live{61, GetParam().type};
    qxhost::PointItem twin{62, GetParam().type};
};

}  // namespace

TEST_P(CyberAircE2e, ThePointThatAnswersIsStoredAndItsSilentTwinIsNot) {
    const Kind& k = GetParam();
    const std::string t = std::to_string(k.type);
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=" + t));
    EXPECT_EQ(k.defs, db.Int("select count(*) from tbSMDef where Type=" + t));
    int bits[3] = {0, 0, 0};
    ASSERT_EQ(1, Poll(live, bits));
    EXPECT_EQ(0, Poll(twin, bits));
    EXPECT_EQ(k.row, Cur(61));
    EXPECT_EQ(k.row, hist.Str(std::string("select ") + k.columns + " from " + k.table +
                              " where SID=61"));
    EXPECT_EQ(0, db.Int(std::string("select State from ") + k.table + " where SID=61"));
    EXPECT_EQ(2, db.Int(std::string("select State from ") + k.table + " where SID=62"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=61 and Type=" + t));
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=62 and Type=" + t));
    EXPECT_EQ(Hex(k.brief), Hex(Brief(61)));
    // The silent twin's summary names the lost link and none of the other point's values.
    const std::string silent = Brief(62);
    EXPECT_NE(std::string::npos, silent.find("通讯中断")) << Hex(silent);
    EXPECT_EQ(std::string::npos, silent.find("正常")) << Hex(silent);
    EXPECT_NE(k.row, Cur(62));
    EXPECT_EQ(2, hist.Int(std::string("select count(*) from ") + k.table));
    // Polled again after its twin, the live point still has its own values.
    ASSERT_EQ(1, Poll(live, bits));
    EXPECT_EQ(k.row, Cur(61));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST_P(CyberAircE2e, AnAlarmCaptionWithAQuoteIsAppendedIntact) {
    const Kind& k = GetParam();
    db.Run("update tbSMDef set Note='O''Brien 告警' where Type=" + std::to_string(k.type) +
           " and Fld=" + std::to_string(k.alarmFld));
    int bits[3] = {0, 0, 0};
    bits[(k.alarmFld - 1) / 32] = 1 << ((k.alarmFld - 1) % 32);
    ASSERT_EQ(1, Poll(live, bits));
    EXPECT_EQ(Hex(std::string(k.brief) + "告警:O'Brien 告警"), Hex(Brief(61)));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST_P(CyberAircE2e, FaultyRepliesFailThePollAndASplitReplyIsGathered) {
    int bits[3] = {0, 0, 0};
    for (qxsim::Fault f : {qxsim::Fault::BadCheck, qxsim::Fault::Exception, qxsim::Fault::Short,
                           qxsim::Fault::Garbage, qxsim::Fault::Silence}) {
        pty.InjectFault(f, 1);
        testing::internal::CaptureStdout();
        EXPECT_EQ(0, Poll(live, bits)) << (int)f;
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=61")) << (int)f;
    }
    pty.InjectFault(qxsim::Fault::Split, 1);
    EXPECT_EQ(1, Poll(live, bits)) << "a reply in two pieces";
    EXPECT_EQ(GetParam().row, Cur(61));
}

INSTANTIATE_TEST_SUITE_P(Units, CyberAircE2e, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& i) {
                             std::string n = i.param.name;
                             for (char& c : n)
                                 if (c == ' ') c = '_';
                             return n;
                         });
