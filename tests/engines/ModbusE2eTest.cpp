// End to end: the built plug-ins loaded as a host loads them, a Modbus device simulated behind
// a pseudo-terminal, the generic Modbus engine configured by its definition file, and the
// rows it leaves in SQLite.
#include <string.h>

#include <string>

#include "EngineFixture.h"
#include "ISMBase.h"
#include "ISMManager.h"
#include "ISerBase.h"
#include "ISerManager.h"
#include "ModbusSlave.h"
#include "Plugins.h"
#include "PointItem.h"
#include "PtySim.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace {

const int kType = 0x1200;  // SM4608.def

// A temperature/humidity sensor on an RS-485 bus: input registers 0 and 1 in tenths.
const char kSensor[] =
    "[comm]\n"
    "note=TH-485\n"
    "delay=0\n"
    "brief=T=%1% H=%2%\n"
    "Yk01=0600100001\n"
    "[flds]\n"
    "cnt=2\n"
    "1=30001\n"
    "2=30002\n"
    "[flds.def]\n"
    "1='Temp',1,'T',0,10,1,0,'',600,''\n"
    "2='Hum',1,'H',0,10,1,0,'',900,''\n"
    "[regs4]\n"
    "0=2\n";

struct Host {
    BoardRoot root;
    qxhost::SmPlugin sm;
    qxhost::SerPlugin ser;
    TestDb db, hist;
    ISMManager* manager = nullptr;
    ISerManager* channels = nullptr;

    void Load() {
        ASSERT_TRUE(sm.Load(QXSM_PATH)) << sm.Error();
        ASSERT_TRUE(ser.Load(QXSER_PATH)) << ser.Error();
        manager = sm.GetSMManager(0);
        channels = ser.GetSerManager();
        ASSERT_NE(manager, nullptr);
        ASSERT_NE(channels, nullptr);
        manager->SetDb(&db, 0);
    }
    ~Host() {
        if (sm.FreeSMManager) sm.FreeSMManager();
        if (ser.FreeSerManager) ser.FreeSerManager();
    }
    ISMBase* Handler(int type) {
        ISMBase* h = manager->GetSM(type);
        if (h) {
            h->SetDb(&db, 0);
            h->SetDb(&hist, 1);
            h->RegDb(&db, 0);
        }
        return h;
    }
};

struct RtuDevice {
    qxsim::ModbusSlave slave{1};
    qxsim::PtySim pty;
    bool Start() {
        qxsim::ServeModbusRtu(pty, slave);
        return pty.Start();
    }
};

TEST(ModbusE2e, FactoryNeedsTheDefinitionFile) {
    Host host;
    host.root.WriteDef(kType, kSensor);
    host.Load();
    EXPECT_EQ(host.manager->GetSM(0x1234), nullptr);
    ISMBase* h = host.manager->GetSM(kType);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetType(), kType);
    EXPECT_EQ(host.manager->GetSM(kType), h);
    EXPECT_STREQ(h->GetNote(), "TH-485");
}

TEST(ModbusE2e, RtuSensorPolledIntoSqlite) {
    Host host;
    host.root.WriteDef(kType, kSensor);
    host.Load();
    RtuDevice dev;
    if (!dev.Start()) GTEST_SKIP() << "no pseudo-terminal available";
    dev.slave.SetInput(0, 253);
    dev.slave.SetInput(1, 451);

    ISMBase* h = host.Handler(kType);
    ASSERT_NE(h, nullptr);
    std::string def = dev.pty.Definition();
    ISerBase* ch = host.channels->GetSer(def.c_str(), 0x100000);
    ASSERT_NE(ch, nullptr);
    ASSERT_EQ(ch->Open(nullptr), 1) << def;

    qxhost::PointItem item(11, kType);
    item.Name("th").Addr(1).Port(ch->GetType() & 0xFFFF).Ser(ch);
    ASSERT_EQ(h->ChkDb(item), 1);
    host.db.Run("insert into tbSubSysDetail(SID,Type,State) values(11,4608,-1)");

    // A good poll.
    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(ch, 1, 0), 1);
    EXPECT_EQ(h->DataSize(), 2);
    EXPECT_EQ(h->DataVal(1), 253);
    EXPECT_EQ(h->DataVal(2), 451);
    int bits = 0;
    EXPECT_EQ(h->DataUpd(0, &bits, nullptr, -1, &host.hist), 1);
    EXPECT_EQ(host.db.Str("select group_concat(Fld||'='||Val) from (select * from tbModbusDat "
                          "where SID=11 and DID=0 order by Fld)"),
              "V30001=253,V30002=451");
    EXPECT_EQ(host.db.Str("select Brief||'/'||St from tbSMBrief where SID=11"), "T=25.3 H=45.1/0");
    EXPECT_EQ(host.db.Int("select State from tbModbus where SID=11"), 0);
    EXPECT_EQ(host.db.Int("select State from tbSubSysDetail where SID=11"), 0);
    EXPECT_EQ(host.hist.Int("select count(*) from tbModbus where SID=11"), 1);
    EXPECT_EQ(host.hist.Int("select count(*) from tbModbusDat d join tbModbus m on d.DID=m.DID"), 2);
    EXPECT_EQ(host.db.Str("select FldName||'/'||Ratio from tbSMDef where Type=4608 and Fld=2"), "Hum/10");

    // A control command: write holding register 0x10.
    EXPECT_EQ(h->DoFunc(1, nullptr, 0), 1);
    EXPECT_EQ(dev.slave.Holding(0x10), 1);

    // Failed polls: nothing is taken from the reply, the host stores "no answer".
    struct Fault {
        const char* name;
        qxsim::Fault kind;
    } faults[] = {
        {"exception", qxsim::Fault::Exception},
        {"silence", qxsim::Fault::Silence},
        {"bad CRC", qxsim::Fault::BadCheck},
        {"short", qxsim::Fault::Short},
    };
    dev.slave.SetInput(0, 999);
    for (const Fault& f : faults) {
        dev.pty.InjectFault(f.kind, 1);
        h->DoItem(item, 0);
        EXPECT_EQ(h->DataGet(ch, 1, 0), 0) << f.name;
        EXPECT_EQ(h->DataVal(1), -1) << f.name;
        EXPECT_EQ(h->DataUpd(0, nullptr, nullptr, -1, nullptr), 1) << f.name;
        EXPECT_EQ(host.db.Int("select State from tbModbus where SID=11"), 2) << f.name;
        EXPECT_EQ(host.db.Int("select count(*) from tbModbusDat where SID=11 and DID=0"), 0) << f.name;
    }
    // The device answers again.
    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(ch, 1, 0), 1);
    EXPECT_EQ(h->DataVal(1), 999);
    ch->Close();
}

}  // namespace
