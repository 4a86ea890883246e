// End to end: the built plug-ins loaded as a host loads them, a device of a template-described
// byte protocol simulated behind a pseudo-terminal, the template engine configured by its
// definition file, and the rows it leaves in SQLite.
#include <string>

#include "E2eRig.h"
#include "EngineFixture.h"
#include "PtySim.h"
#include "TemplateDev.h"
#include "gtest/gtest.h"

namespace {

const int kType = 0x1600;  // SM5632.def

// A meter answering two commands in frames 7E len adr cmd dat crc 0D; command 01 gives two
// words (voltage and current in tenths), command 02 a status byte with its bits; Yk01
// switches an output.
const char kTemplate[] = "7E len adr cmd dat crc 0D";
const char kMeter[] =
    "[comm]\n"
    "note=TPL-METER\n"
    "model=QX-TPL\n"
    "delay=0\n"
    "SND=7E len adr cmd dat crc 0D\n"
    "chk0=1\n"
    "chk=3\n"
    "dat0=4\n"
    "cmds=01,02\n"
    "brief=U=%1% I=%2% it's\n"
    "Yk01=05,01\n"
    "[01H]\n"
    "cdat=0010\n"
    "[02H]\n"
    "dinfo=B\n"
    "1bit=1\n"
    "[flds]\n"
    "cnt=3\n"
    "1=01H01\n"
    "2=01H02\n"
    "3=02H01-7\n"
    "[flds.def]\n"
    "1='Volt',1,'U',0,10,1,0,'',2600,''\n"
    "2='Curr',1,'I',0,10,1,0,'',500,''\n"
    "3='Alarm',1,'A',0,1,0,0,'',0,''\n";

// The host, with the board root its definition files are read from.
struct Host : qxtest::E2eRig {
    BoardRoot root;
    ~Host() { Close(); }
};

TEST(NormalE2e, FactoryNeedsTheDefinitionFile) {
    Host host;
    host.Load();
    EXPECT_EQ(host.mgr->GetSM(kType), nullptr);
    host.root.WriteDef(0x17FF, kMeter);
    ISMBase* h = host.mgr->GetSM(0x17FF);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetType(), 0x17FF);
    EXPECT_STREQ(h->GetNote(), "TPL-METER");
    EXPECT_EQ(host.mgr->GetSM(0x17FF), h);
    h->RegDb(&host.db, 0);
    EXPECT_EQ(host.db.Str("select Type||'/'||Name from tbSMType where Type=6143"), "6143/QX-TPL");
    EXPECT_EQ(host.db.Int("select count(*) from tbSMDef where Type=6143"), 3);
}

TEST(NormalE2e, MeterPolledIntoSqlite) {
    Host host;
    host.root.WriteDef(kType, kMeter);
    host.Load();
    qxsim::TemplateDev dev(7);
    dev.SetRequest(kTemplate, 1);
    dev.SetReply(kTemplate, 1);
    dev.SetData(0x01, qxsim::Hex("08 FC 00 2D"));  // 230.0 V, 4.5 A
    dev.SetData(0x02, qxsim::Hex("81"));
    dev.SetData(0x05, {});
    qxsim::PtySim pty;
    dev.Serve(pty);
    if (!pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";

    ISMBase* h = host.mgr->GetSM(kType);
    ASSERT_NE(h, nullptr);
    host.Bind(h);
    // The serial channel of the terminal, requested by the code its definition describes.
    ISerBase* ch = host.Channel(pty.Definition(), 0x100000 + pty.Number() % 10);
    ASSERT_NE(ch, nullptr);

    qxhost::PointItem item(21, kType);
    item.Name("meter").Addr(7).Port(ch->GetType() & 0xFFFF).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(host.AddPoint(h, item));

    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(ch, 7, 0), 1);
    EXPECT_EQ(h->DataSize(), 3);
    EXPECT_EQ(h->DataVal(1), 2300);
    EXPECT_EQ(h->DataVal(2), 45);
    EXPECT_EQ(h->DataVal(3), 1);
    char text[32] = ".Curr";
    EXPECT_EQ(h->VarEval(text), 2);
    EXPECT_STREQ(text, "45");
    int bits = 0;
    EXPECT_EQ(h->DataUpd(0, &bits, nullptr, -1, &host.hist), 1);
    EXPECT_EQ(host.db.Str("select group_concat(Fld||'='||Val,' ') from (select * from tbNormalDat "
                          "where SID=21 and DID=0 order by Fld)"),
              "V01H01=2300 V01H02=45 V02H01=129 V02H01-0=1 V02H01-1=0 V02H01-2=0 V02H01-3=0 "
              "V02H01-4=0 V02H01-5=0 V02H01-6=0 V02H01-7=1");
    EXPECT_EQ(host.db.Str("select Brief||'/'||St from tbSMBrief where SID=21"), "U=230.0 I=4.5 it's/0");
    EXPECT_EQ(host.db.Int("select State from tbNormal where SID=21"), 0);
    EXPECT_EQ(host.db.Int("select State from tbSubSysDetail where SID=21"), 0);
    EXPECT_EQ(host.hist.Int("select count(*) from tbNormal where SID=21"), 1);
    EXPECT_EQ(host.hist.Int("select count(*) from tbNormalDat d join tbNormal m on d.DID=m.DID"), 11);
    auto cmds = dev.Commands();
    ASSERT_EQ(cmds.size(), 2u);
    EXPECT_EQ(qxsim::ToHex(cmds[0].data), "00 10");

    // The control command through the point's channel.
    EXPECT_EQ(h->DoFunc(1, nullptr, 0), 1);
    cmds = dev.Commands();
    ASSERT_EQ(cmds.size(), 3u);
    EXPECT_EQ(qxsim::ToHex(cmds[2].code) + "/" + qxsim::ToHex(cmds[2].data), "05/01");

    // Failed polls: the device is silent, its check is wrong, its answer short or in parts.
    struct Fault {
        const char* name;
        qxsim::Fault kind;
        int result;
    } faults[] = {
        {"silence", qxsim::Fault::Silence, 0},
        {"bad check", qxsim::Fault::BadCheck, 0},
        {"short", qxsim::Fault::Short, 0},
        {"garbage", qxsim::Fault::Garbage, 0},
        {"split", qxsim::Fault::Split, 1},
    };
    for (const Fault& f : faults) {
        pty.InjectFault(f.kind, 1);
        h->DoItem(item, 0);
        EXPECT_EQ(h->DataGet(ch, 7, 0), f.result) << f.name;
        EXPECT_EQ(h->DataVal(1), f.result ? 2300 : -1) << f.name;
        EXPECT_EQ(h->DataUpd(0, f.result ? &bits : nullptr, nullptr, -1, nullptr), 1) << f.name;
        EXPECT_EQ(host.db.Int("select State from tbNormal where SID=21"), f.result ? 0 : 2) << f.name;
        EXPECT_EQ(host.db.Int("select count(*) from tbNormalDat where SID=21 and DID=0"), f.result ? 11 : 0)
            << f.name;
    }
    ch->Close();
}

}  // namespace
