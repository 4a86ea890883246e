// End to end: the built plug-ins loaded as a host loads them, a Modbus device simulated behind
// a pseudo-terminal, the generic Modbus engine configured by its definition file, and the
// rows it leaves in SQLite.
#include <string.h>

#include <string>

#include "E2eRig.h"
#include "EngineFixture.h"
#include "ModbusSlave.h"
#include "NetSim.h"
#include "PtySim.h"
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

// The host, with the board root its definition files are read from.
struct Host : qxtest::E2eRig {
    BoardRoot root;
    ~Host() { Close(); }
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
    EXPECT_EQ(host.mgr->GetSM(0x1234), nullptr);
    ISMBase* h = host.mgr->GetSM(kType);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetType(), kType);
    EXPECT_EQ(host.mgr->GetSM(kType), h);
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
    ISerBase* ch = host.Channel(def, 0x100000);
    ASSERT_NE(ch, nullptr);

    qxhost::PointItem item(11, kType);
    item.Name("th").Addr(1).Port(ch->GetType() & 0xFFFF).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(host.AddPoint(h, item));

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

// A Modbus TCP device (a meter behind a gateway, unit 5) on a loopback port: holding registers
// 0x100.. and two coils.
const char kMeter[] =
    "[comm]\n"
    "note=TCP-METER\n"
    "delay=0\n"
    "brief=U=%1% S=%3%\n"
    "Yk02=05000AFF00\n"
    "[flds]\n"
    "cnt=3\n"
    "1=40257\n"
    "2=40258\n"
    "3=00001\n"
    "[flds.def]\n"
    "1='Volt',1,'U',0,10,1,0,'',2600,''\n"
    "2='Curr',1,'I',0,100,1,0,'',10000,''\n"
    "3='Run',1,'S',0,1,0,0,'',0,''\n"
    "[regs1]\n"
    "0=2\n"
    "[regs3]\n"
    "256=2\n";

TEST(ModbusE2e, TcpDevicePolledIntoSqlite) {
    Host host;
    const int type = 0x1301;
    host.root.WriteDef(type, kMeter);
    host.Load();
    qxsim::ModbusSlave slave(5);
    qxsim::TcpSim dev;
    qxsim::ServeModbusTcp(dev, slave);
    ASSERT_TRUE(dev.Start());
    slave.SetHolding(0x100, 2301);
    slave.SetHolding(0x101, 1234);
    slave.SetCoil(0, true);

    ISMBase* h = host.Handler(type);
    ASSERT_NE(h, nullptr);
    std::string def = dev.Definition();
    ISerBase* ch = host.Channel(def, 0x200009);
    ASSERT_NE(ch, nullptr);
    ch->SetTimeout(10, 300);  // a silent device costs a third of a second

    qxhost::PointItem item(21, type);
    item.Name("meter").Addr(5).Port(9).Ser(ch);
    ASSERT_EQ(h->ChkDb(item), 1);

    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(ch, 5, 0), 1);
    std::vector<qxsim::Bytes> reqs = dev.Requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(qxsim::ToHex(reqs[0]), "00 01 00 00 00 06 05 01 00 00 00 02");
    EXPECT_EQ(qxsim::ToHex(reqs[1]), "00 02 00 00 00 06 05 03 01 00 00 02");
    int bits = 0;
    EXPECT_EQ(h->DataUpd(0, &bits, nullptr, -1, &host.hist), 1);
    EXPECT_EQ(host.db.Str("select group_concat(Fld||'='||Val) from (select * from tbModbusDat "
                          "where SID=21 and DID=0 and Fld in ('V00001','V00002','V40257','V40258') "
                          "order by Fld)"),
              "V00001=1,V00002=0,V40257=2301,V40258=1234");
    EXPECT_EQ(host.db.Str("select Brief from tbSMBrief where SID=21"), "U=230.1 S=1");
    EXPECT_EQ(host.hist.Int("select count(*) from tbModbusDat d join tbModbus m on d.DID=m.DID "
                            "where m.SID=21"),
              host.db.Int("select count(*) from tbModbusDat where SID=21"));

    // Write coil 10 on.
    EXPECT_EQ(h->DoFunc(2, nullptr, 0), 1);
    EXPECT_TRUE(slave.Coil(10));

    // Failed polls take nothing: an exception, silence, a short answer, a stale transaction.
    slave.SetHolding(0x100, 2399);
    struct Fault {
        const char* name;
        qxsim::Fault device;
        qxsim::ModbusFault modbus;
    } faults[] = {
        {"exception", qxsim::Fault::Exception, qxsim::ModbusFault::None},
        {"silence", qxsim::Fault::Silence, qxsim::ModbusFault::None},
        {"short", qxsim::Fault::Short, qxsim::ModbusFault::None},
        {"transaction", qxsim::Fault::None, qxsim::ModbusFault::WrongTransaction},
    };
    for (const Fault& f : faults) {
        dev.ClearFaults();
        if (f.device != qxsim::Fault::None) dev.InjectFault(f.device, 1);
        if (f.modbus != qxsim::ModbusFault::None) slave.FaultOnce(f.modbus);
        h->DoItem(item, 0);
        EXPECT_EQ(h->DataGet(ch, 5, 0), 0) << f.name;
        EXPECT_EQ(h->DataVal(1), -1) << f.name;
        EXPECT_EQ(h->DataVal(3), -1) << f.name;
        EXPECT_EQ(h->DataUpd(0, nullptr, nullptr, -1, nullptr), 1) << f.name;
        EXPECT_EQ(host.db.Int("select State from tbModbus where SID=21"), 2) << f.name;
        EXPECT_EQ(host.db.Int("select count(*) from tbModbusDat where SID=21"), 0) << f.name;
        slave.ClearFault();
    }
    dev.ClearFaults();
    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(ch, 5, 0), 1);  // a dropped link is made again by IsOpened
    EXPECT_EQ(h->DataVal(1), 2399);
    ch->Close();
}

// A serial sensor behind a serial-to-Ethernet converter: RTU frames on a TCP link, chosen per
// call by the flag.
TEST(ModbusE2e, RtuFramesOnANetworkChannel) {
    Host host;
    host.root.WriteDef(kType, kSensor);
    host.Load();
    qxsim::ModbusSlave slave(1);
    qxsim::TcpSim dev;
    qxsim::ServeModbusRtu(dev, slave);
    ASSERT_TRUE(dev.Start());
    slave.SetInput(0, 215);
    slave.SetInput(1, 600);

    ISMBase* h = host.Handler(kType);
    ASSERT_NE(h, nullptr);
    std::string def = dev.Definition();
    ISerBase* ch = host.Channel(def, 0x20000A);
    ASSERT_NE(ch, nullptr);
    qxhost::PointItem item(31, kType);
    item.Addr(1).Ser(ch);
    ASSERT_EQ(h->ChkDb(item), 1);
    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(ch, 1, 0x10000), 1);
    ASSERT_EQ(dev.RequestCount(), 1u);
    EXPECT_EQ(qxsim::ToHex(dev.LastRequest()), "01 04 00 00 00 02 71 CB");
    EXPECT_EQ(h->DataVal(1), 215);
    EXPECT_EQ(h->DataVal(2), 600);
    int bits = 0;
    EXPECT_EQ(h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
    EXPECT_EQ(host.db.Str("select Brief from tbSMBrief where SID=31"), "T=21.5 H=60.0");
    ch->Close();
}

}  // namespace
