// Whole polls of the serial air-conditioners as a host makes them: both plug-ins loaded with
// dlopen, serial channels on pseudo-terminals to the simulated units, the host's SQLite
// databases. Each unit has a silent twin of the same type on a port of its own; every check
// reads rows back from SQLite.
#include <stdio.h>

#include <functional>
#include <memory>
#include <string>

#include "AircMitsubishi.h"
#include "E2eRig.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

using Model = std::shared_ptr<void>;

template <class M, void (*Set)(qxsim::ModbusSlave&, const M&)>
Model ModbusUnit(qxsim::Device& dev) {
    auto s = std::make_shared<qxsim::ModbusSlave>(1);
    Set(*s, M());
    qxsim::ServeModbusRtu(dev, *s);
    return s;
}
Model Mitsubishi(qxsim::Device& dev) {
    auto ac = std::make_shared<qxsim::AircMitsubishi>(1);
    ac->SetData(0x9A, 0x19, 0x85, 0x03);
    ac->Serve(dev);
    return ac;
}

struct Case {
    const char* name;
    int type, twinType, handlerType;  // the points' types and the handler's reported type
    Model (*serve)(qxsim::Device&);
    const char* table;
    const char* cols;
    const char* row;    // the live unit's values
    const char* zeros;  // the silent twin's
    const char* brief;  // the live unit's summary
    const char* dead;   // the silent twin's
    const char* st;     // the live unit's St (null where the summary has none)
    int defs;
};

const Case kCases[] = {
    {"control module", 0x701, 0x701, 0x701, ModbusUnit<qxsim::AircDas, qxsim::SetAircDas>,
     "tbAircDas",
     "WorkStatus||','||WorkMode||','||WindSpeed||','||TempSet||','||Humidity||','||TempGet||','||"
     "CurrentGet||','||CurrentSet||','||LowTemp||','||HighTemp||','||SwitchTime||','||CtrlMode||"
     "','||BrandA||','||BrandB||','||BrandC||','||Address",
     "1,2,3,26,60,25,300,800,16,32,5,1,7,17,9,1", "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0",
     "温度:25, 湿度:60%", "空调,通讯中断", "<null>", 3},
    {"in-row unit", 0x702, 0x702, 0x702, ModbusUnit<qxsim::LcpDx, qxsim::SetLcpDx>,
     "tbAircLcpDx", "RunSt||','||Fault||','||TI1||','||TO1||','||TemSet", "1,0,265,180,220",
     "0,0,0,0,0", "运行状态：正常", "行间空调,通讯中断", "0", 2},
    {"Mitsubishi adapter", 0x705, 0x705, 0x705, Mitsubishi, "tbAircMitsubishi",
     "StOnOff||','||StMode||','||StFan||','||TemSet||','||Tem||','||StWind||','||StFilter||','||"
     "StComp||','||StAir||','||StRemote||','||StFaultCode",
     "1,1,10,250,250,1,0,1,0,1,3", "0,0,0,0,0,0,0,0,0,0,0", "温度:25 ", "空调,通讯中断", "0", 11},
    {"PLC unit", 0x804, 0x8FF, 0x804, ModbusUnit<qxsim::PlcQsm50, qxsim::SetPlcQsm50>, "tbPlc",
     "started||','||fault||','||tem||','||hum||','||tem2||','||hum2", "1,0,253,601,248,555",
     "0,0,0,0,0,0", "温度:25.3,湿度:60.1", "通讯故障", "<null>", 1},
    {"K200", 0x812, 0x812, 0x812, ModbusUnit<qxsim::K200, qxsim::SetK200>, "tbCyberK200",
     "sdwd||','||sdsd||','||hfwd||','||hfsd||','||status||','||cs||','||js||','||zl||','||zr||"
     "','||fj||','||hfwdtt||','||sfwdtt||','||hfsdtt||','||swwdtt",
     "220,50,235,48,1,0,0,1,0,1,0,0,0,0", "0,0,0,0,0,0,0,0,0,0,0,0,0,0",
     "空调(正常),回风温度:23.5℃,回风湿度:48%,空调状态:1(开机)", "空调(故障),通讯中断", "0", 2},
};

// A live unit and its silent twin, each on a pseudo-terminal and a channel of its own, with
// a point each (SID 61 live, 62 silent) of one handler.
struct Site {
    explicit Site(const Case& c) : c(c) {}
    void Start() {
        model = c.serve(pty);
        twinModel = c.serve(twin);
        twin.InjectFault(qxsim::Fault::Silence, -1);
        ASSERT_TRUE(pty.Start());
        ASSERT_TRUE(twin.Start());
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        ch = rig.Channel(pty.Definition(), qxtest::E2eRig::kSerial | pty.Number() % 10);
        twinCh = rig.Channel(twin.Definition(), qxtest::E2eRig::kSerial | twin.Number() % 10);
        ASSERT_TRUE(ch && twinCh);
        h = rig.Handler(c.type);
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(h, rig.mgr->GetSM(c.twinType)) << "one handler for both codes";
        item.Name("AC-1").Port(1).Addr(1).Ser(ch);
        dead.Name("AC-2").Port(2).Addr(1).Ser(twinCh);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, dead));
    }
    ~Site() {
        rig.Close();
        pty.Stop();
        twin.Stop();
    }
    std::string Row(TestDb& d, int sid, const char* extra = "") {
        return d.Str(std::string("select ") + c.cols + extra + " from " + c.table +
                     " where SID=" + std::to_string(sid) + " order by DID desc limit 1");
    }

    const Case& c;
    Model model, twinModel;
    qxsim::PtySim pty, twin;
    qxtest::E2eRig rig;
    ISerBase* ch = nullptr;
    ISerBase* twinCh = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem item{61, c.type};
    qxhost::PointItem dead{62, c.twinType};
};

}  // namespace

namespace {

// One unit beside its silent twin: registration, current, history, summary and state rows,
// then an alarm flag and faults on the line.
void CheckUnit(const Case& c) {
    {
        SCOPED_TRACE(c.name);
        Site s(c);
        ASSERT_NO_FATAL_FAILURE(s.Start());
        TestDb& db = s.rig.db;
        EXPECT_EQ(c.handlerType, s.h->GetType());
        const std::string t = std::to_string(c.handlerType);
        EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=" + t));
        EXPECT_EQ(c.defs, db.Int("select count(*) from tbSMDef where Type=" + t));

        int bits[1] = {0};
        ASSERT_EQ(1, s.rig.Poll(s.h, s.item, s.ch, bits));
        EXPECT_EQ(0, s.rig.Poll(s.h, s.dead, s.twinCh, bits));
        ASSERT_EQ(1, s.rig.Poll(s.h, s.item, s.ch, bits));
        // The live unit: its values in the current and the history rows, its summary.
        EXPECT_EQ(std::string(c.row) + "|0", s.Row(db, 61, "||'|'||State"));
        EXPECT_EQ(std::string(c.row) + "|0", s.Row(s.rig.hist, 61, "||'|'||State"));
        EXPECT_EQ(2, s.rig.hist.Int(std::string("select count(*) from ") + c.table + " where SID=61"));
        EXPECT_EQ(Hex(c.brief), Hex(db.Str("select Brief from tbSMBrief where SID=61")));
        EXPECT_EQ(c.st, db.Str("select St from tbSMBrief where SID=61"));
        EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=61"));
        // The silent twin: state 2 everywhere, zeros, and a summary that says so.
        EXPECT_EQ(std::string(c.zeros) + "|2", s.Row(db, 62, "||'|'||State"));
        EXPECT_EQ(std::string(c.zeros) + "|2", s.Row(s.rig.hist, 62, "||'|'||State"));
        const std::string dead = db.Str("select Brief from tbSMBrief where SID=62");
        EXPECT_EQ(Hex(c.dead), Hex(dead));
        EXPECT_EQ(std::string::npos, dead.find("正常"));
        EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=62 and Type=" +
                            std::to_string(c.twinType)));
        // The live unit with an alarm flag, and its faults on the line.
        ASSERT_EQ(1, s.rig.Poll(s.h, s.item, s.ch, bits, 1));
        EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=61"));
        for (qxsim::Fault f : {qxsim::Fault::Silence, qxsim::Fault::Short}) {
            s.pty.InjectFault(f, 1);
            EXPECT_EQ(0, s.rig.Poll(s.h, s.item, s.ch, bits)) << (int)f;
            EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=61"));
        }
        s.pty.InjectFault(qxsim::Fault::Split, 1);
        EXPECT_EQ(1, s.rig.Poll(s.h, s.item, s.ch, bits)) << "an answer in two pieces";
        EXPECT_EQ(std::string(c.row), s.Row(db, 61));
        EXPECT_EQ(0, db.Failures()) << db.Error();
    }
}

// Replies of a Modbus unit with a bad CRC, an exception or noise fail the poll.
void CheckModbusFaults(const Case& c) {
    {
        SCOPED_TRACE(c.name);
        Site s(c);
        ASSERT_NO_FATAL_FAILURE(s.Start());
        int bits[1] = {0};
        for (qxsim::Fault f : {qxsim::Fault::BadCheck, qxsim::Fault::Exception, qxsim::Fault::Garbage}) {
            s.pty.InjectFault(f, 1);
            EXPECT_EQ(0, s.rig.Poll(s.h, s.item, s.ch, bits)) << (int)f;
            EXPECT_EQ(2, s.rig.db.Int("select State from tbSubSysDetail where SID=61"));
        }
        ASSERT_EQ(1, s.rig.Poll(s.h, s.item, s.ch, bits));
    }
}

}  // namespace

TEST(SerialAircE2e, ControlModule) { CheckUnit(kCases[0]); CheckModbusFaults(kCases[0]); }
TEST(SerialAircE2e, InRowUnit) { CheckUnit(kCases[1]); CheckModbusFaults(kCases[1]); }
TEST(SerialAircE2e, MitsubishiAdapter) { CheckUnit(kCases[2]); }
TEST(SerialAircE2e, PlcUnitsOfTwoCodes) { CheckUnit(kCases[3]); CheckModbusFaults(kCases[3]); }
TEST(SerialAircE2e, K200) { CheckUnit(kCases[4]); CheckModbusFaults(kCases[4]); }

TEST(SerialAircE2e, CommandsReachTheUnits) {
    // Control module: fan speed 9 is written as 4 beside the freshly read set temperature.
    {
        Site s(kCases[0]);
        ASSERT_NO_FATAL_FAILURE(s.Start());
        auto* slave = static_cast<qxsim::ModbusSlave*>(s.model.get());
        s.h->DoItem(s.item, 0);
        int v = 9;
        EXPECT_EQ(1, s.h->DoFunc(17, &v, 4));
        EXPECT_EQ(0x041A, slave->Holding(1));
        v = 0;
        EXPECT_EQ(1, s.h->DoFunc(145, &v, 4));
        EXPECT_EQ(1, v & 0xFF);
        EXPECT_EQ(0, s.h->DoFunc(2, &v, 4));
        s.h->DoItem(s.dead, 0);
        v = 1;
        EXPECT_EQ(0, s.h->DoFunc(0, &v, 4)) << "the twin is silent: no reading, no write";
    }
    // In-row unit: the coil write with value field 0x0001.
    {
        Site s(kCases[1]);
        ASSERT_NO_FATAL_FAILURE(s.Start());
        auto* slave = static_cast<qxsim::ModbusSlave*>(s.model.get());
        s.h->DoItem(s.item, 0);
        EXPECT_EQ(1, s.h->DoFunc(5, nullptr, 0));
        EXPECT_TRUE(slave->Coil(29));
        EXPECT_EQ(0, s.h->DoFunc(4, nullptr, 0));
    }
}
