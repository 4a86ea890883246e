// End to end: the built plug-ins loaded as a host loads them, a YD/T 1363 unit simulated
// behind a pseudo-terminal, the generic YD/T engine configured by its definition file, and the
// rows it leaves in SQLite.
#include <string>
#include <vector>

#include "E2eRig.h"
#include "GbkText.h"
#include "EngineFixture.h"
#include "PtySim.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"

namespace {

const int kType = 0x1400;  // SM5120.def

// A rectifier shelf: CID1 41, analog values as floats (42H), states as bytes (43H),
// one control command.
const char kShelf[] =
    "[comm]\n"
    "note=RECT-YD\n"
    "delay=0\n"
    "bak=1\n"
    "ver=21\n"
    "cid1=41\n"
    "cid2=42,43\n"
    "brief=U=%1% I=%2%\n"
    "Yk01=2F\n"
    "[42H]\n"
    "dinfo=F\n"
    "dflag=1\n"
    "dfac=10\n"
    "[43H]\n"
    "dinfo=B\n"
    "1bit=1\n"
    "[flds]\n"
    "cnt=3\n"
    "1=42H01\n"
    "2=42H02\n"
    "3=43H01\n"
    "[flds.def]\n"
    "1='Uout',1,'U',0,10,1,0,'',600,''\n"
    "2='Iout',1,'I',0,10,1,0,'',1000,''\n"
    "3='St',1,'S',0,1,0,0,'',0,''\n";

// The host, with the board root its definition files are read from.
struct Host : qxtest::E2eRig {
    BoardRoot root;
    ~Host() { Close(); }
};

}  // namespace

TEST(Ydt1363E2e, UnitDescribedByItsFileIsPolledIntoSqlite) {
    Host host;
    host.root.WriteDef(kType, kShelf);
    host.Load();
    EXPECT_EQ(host.mgr->GetSM(0x1401), nullptr);  // no file of its own

    qxsim::YdtDevice dev(1, 0x41, 0x21);
    dev.SetInfo(0x42, "00" + qxsim::YdtFloat(53.5f) + qxsim::YdtFloat(12.25f));
    dev.SetInfo(0x43, "05");
    dev.SetInfo(0x45, "");
    qxsim::PtySim pty;
    qxsim::ServeYdt(pty, dev);
    if (!pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";

    ISMBase* h = host.mgr->GetSM(kType);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetType(), kType);
    EXPECT_STREQ(h->GetNote(), "RECT-YD");
    host.Bind(h);
    EXPECT_EQ(3, host.db.Int("select count(*) from tbSMDef where Type=5120"));

    // The channel code the definition describes: serial, the port's last digit.
    const std::string def = pty.Definition();
    ISerBase* ch = host.Channel(def, 0x100000 | (pty.Number() % 10));
    ASSERT_NE(ch, nullptr);

    qxhost::PointItem item(61, kType);
    item.Name("rect").Addr(1).Port(ch->GetType() & 0xFFFF).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(host.AddPoint(h, item));

    // A good poll.
    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(ch, 1, 0), 1);
    EXPECT_EQ(h->DataVal(1), 535);
    EXPECT_EQ(h->DataVal(2), 122);
    EXPECT_EQ(h->DataVal(3), 5);
    int bits = 0;
    ASSERT_EQ(h->DataUpd(0, &bits, nullptr, -1, &host.hist), 1);
    EXPECT_EQ(host.db.Str("select Brief||'/'||St from tbSMBrief where SID=61"), "U=53.5 I=12.2/0");
    EXPECT_EQ(host.db.Int("select State from tbYdt1363 where SID=61"), 0);
    EXPECT_EQ(host.db.Int("select State from tbSubSysDetail where SID=61"), 0);
    EXPECT_EQ(host.db.Str("select group_concat(Fld||'='||Val) from (select * from tbYdt1363Dat "
                          "where SID=61 and DID=0 order by Fld)"),
              "V42H01=535,V42H02=122,V43H01=5,V43H01-0=1,V43H01-1=0,V43H01-2=1,V43H01-3=0,"
              "V43H01-4=0,V43H01-5=0,V43H01-6=0,V43H01-7=0");
    EXPECT_EQ(host.hist.Int("select count(*) from tbYdt1363 where SID=61"), 1);
    EXPECT_EQ(host.hist.Int("select count(*) from tbYdt1363Dat d join tbYdt1363 m on d.DID=m.DID"), 11);
    EXPECT_EQ((std::vector<int>{0x42, 0x43}), dev.Commands());
    EXPECT_EQ("~210141420000FDB1", dev.Requests().at(0));

    // A control command.
    EXPECT_EQ(h->DoFunc(1, nullptr, 0), 1);
    EXPECT_EQ((std::vector<std::string>{"2F"}), dev.Infos(0x45));

    // Failed polls (both commands of the poll fail): the host stores "no answer".
    struct Fault {
        const char* name;
        qxsim::YdtFault kind;
        int param;
    } faults[] = {
        {"RTN 04", qxsim::YdtFault::Rtn, 0x04},
        {"bad CHKSUM", qxsim::YdtFault::BadChecksum, -1},
        {"silence", qxsim::YdtFault::Silence, -1},
    };
    int history = 1;
    for (const Fault& f : faults) {
        dev.FaultOnce(f.kind, f.param);
        dev.FaultOnce(f.kind, f.param);
        h->DoItem(item, 0);
        EXPECT_EQ(h->DataGet(ch, 1, 0), 0) << f.name;
        EXPECT_EQ(h->DataVal(1), -1) << f.name;
        ASSERT_EQ(h->DataUpd(0, nullptr, nullptr, -1, &host.hist), 1) << f.name;
        EXPECT_EQ(host.db.Int("select State from tbYdt1363 where SID=61"), 2) << f.name;
        EXPECT_EQ(host.db.Int("select State from tbSubSysDetail where SID=61"), 2) << f.name;
        EXPECT_EQ(host.db.Int("select count(*) from tbYdt1363Dat where SID=61 and DID=0"), 0) << f.name;
        // The summary says the unit did not answer, not the emptied values.
        EXPECT_EQ(Hex(qxtest::Gbk("通讯中断")), Hex(host.db.Str("select Brief from tbSMBrief where SID=61")))
            << f.name;
        EXPECT_EQ(host.hist.Int("select count(*) from tbYdt1363 where SID=61"), ++history) << f.name;

        // And the next good poll is stored again.
        h->DoItem(item, 0);
        ASSERT_EQ(h->DataGet(ch, 1, 0), 1) << f.name;
        ASSERT_EQ(h->DataUpd(0, &bits, nullptr, -1, &host.hist), 1);
        history++;
        EXPECT_EQ(host.db.Int("select Val from tbYdt1363Dat where SID=61 and DID=0 and Fld='V42H01'"), 535);
    }
    ch->Close();
    pty.Stop();
}

// The first of the two commands of a poll fails in each way a unit can fail it: the second
// command is still asked, its values are kept, stored and readable, and the poll counts as
// read. When both fail the poll is 0 and nothing is stored as read.
TEST(Ydt1363E2e, AFailedCommandDoesNotCostTheOthers) {
    Host host;
    host.root.WriteDef(kType, kShelf);
    host.Load();
    const std::string good = "00" + qxsim::YdtFloat(53.5f) + qxsim::YdtFloat(12.25f);
    qxsim::YdtDevice dev(1, 0x41, 0x21);
    dev.SetInfo(0x42, good);
    dev.SetInfo(0x43, "05");
    qxsim::PtySim pty;
    qxsim::ServeYdt(pty, dev);
    if (!pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
    ISMBase* h = host.mgr->GetSM(kType);
    ASSERT_NE(h, nullptr);
    host.Bind(h);
    ISerBase* ch = host.Channel(pty.Definition(), 0x100000 | (pty.Number() % 10));
    ASSERT_NE(ch, nullptr);
    qxhost::PointItem item(62, kType);
    item.Name("rect").Addr(1).Port(ch->GetType() & 0xFFFF).Ser(ch);
    ASSERT_NO_FATAL_FAILURE(host.AddPoint(h, item));

    const std::string states =
        "V43H01=5,V43H01-0=1,V43H01-1=0,V43H01-2=1,V43H01-3=0,V43H01-4=0,V43H01-5=0,V43H01-6=0,"
        "V43H01-7=0";
    struct Case {
        const char* what;
        qxsim::YdtFault fault;  // on the reply to 42
        int param;
        std::string info42;     // INFO of 42 for this poll
        int val1, val2;         // DataVal(1), DataVal(2): 42H01, 42H02
        std::string details42;  // detail rows of 42 before those of 43
    } cases[] = {
        {"answered", qxsim::YdtFault::None, -1, good, 535, 122, "V42H01=535,V42H02=122,"},
        {"RTN 04", qxsim::YdtFault::Rtn, 0x04, good, -1, -1, ""},
        {"bad CHKSUM", qxsim::YdtFault::BadChecksum, -1, good, -1, -1, ""},
        {"no SOI", qxsim::YdtFault::NoSoi, -1, good, -1, -1, ""},
        {"bad LCHKSUM", qxsim::YdtFault::BadLength, -1, good, -1, -1, ""},
        {"reply cut short", qxsim::YdtFault::Short, 20, good, -1, -1, ""},
        {"last field cut short", qxsim::YdtFault::None, -1, good.substr(0, good.size() - 2), 535, -1,
         "V42H01=535,"},
        {"silent", qxsim::YdtFault::Silence, -1, good, -1, -1, ""},
    };
    int bits = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dev.SetInfo(0x42, c.info42);
        dev.ClearRequests();
        dev.FaultOnce(c.fault, c.param);
        h->DoItem(item, 0);
        const int got = h->DataGet(ch, 1, 0);
        EXPECT_EQ(1, got);
        EXPECT_EQ((std::vector<int>{0x42, 0x43}), dev.Commands());
        EXPECT_EQ(c.val1, h->DataVal(1));
        EXPECT_EQ(c.val2, h->DataVal(2));
        EXPECT_EQ(5, h->DataVal(3));
        ASSERT_EQ(1, h->DataUpd(0, got ? &bits : nullptr, nullptr, -1, &host.hist));
        EXPECT_EQ(0, host.db.Int("select State from tbYdt1363 where SID=62"));
        EXPECT_EQ(0, host.db.Int("select State from tbSubSysDetail where SID=62"));
        EXPECT_EQ(c.details42 + states,
                  host.db.Str("select group_concat(Fld||'='||Val) from (select * from tbYdt1363Dat "
                              "where SID=62 and DID=0 order by Fld)"));
        EXPECT_EQ(c.details42 + states,
                  host.hist.Str("select group_concat(Fld||'='||Val) from (select * from tbYdt1363Dat "
                                "where DID=(select max(DID) from tbYdt1363 where SID=62) order by Fld)"));
    }

    // Both commands fail: nothing was read.
    dev.SetInfo(0x42, good);
    dev.ClearRequests();
    dev.FaultOnce(qxsim::YdtFault::Rtn, 0x04);
    dev.FaultOnce(qxsim::YdtFault::BadChecksum);
    h->DoItem(item, 0);
    EXPECT_EQ(0, h->DataGet(ch, 1, 0));
    EXPECT_EQ((std::vector<int>{0x42, 0x43}), dev.Commands());
    for (int f = 1; f <= 3; f++) EXPECT_EQ(-1, h->DataVal(f)) << f;
    ASSERT_EQ(1, h->DataUpd(0, nullptr, nullptr, -1, &host.hist));
    EXPECT_EQ(2, host.db.Int("select State from tbSubSysDetail where SID=62"));
    EXPECT_EQ(0, host.db.Int("select count(*) from tbYdt1363Dat where SID=62 and DID=0"));
    EXPECT_EQ(0, host.hist.Int("select count(*) from tbYdt1363Dat where DID=(select max(DID) from "
                               "tbYdt1363 where SID=62)"));
    ch->Close();
    pty.Stop();
}
