// End to end: the built plug-in loaded as a host loads it, net-snmp's snmpd as a server's
// agent, the server monitor (type 0xE10), and the rows it leaves in SQLite.
#include <dlfcn.h>

#include <string>

#include "E2eRig.h"
#include "GbkText.h"
#include "gtest/gtest.h"
#include "support/SnmpdAgent.h"

namespace {

// net-snmp stays resident between plug-in loads, as in a host that keeps the plug-in.
void* const g_netsnmp = dlopen(NETSNMP_PATH, RTLD_NOW | RTLD_NODELETE);

TEST(SnmpSvrE2e, ServerPolledIntoSqlite) {
    if (qxtest::SnmpdAgent::Program().empty()) GTEST_SKIP() << "snmpd is not installed";
    qxtest::SnmpdAgent agent;
    std::string why;
    ASSERT_TRUE(agent.Start("override .1.3.6.1.2.1.1.5.0 octet_str \"db-srv\"\n"
                            "override .1.3.6.1.2.1.25.1.1.0 timeticks 366100\n"
                            "override .1.3.6.1.2.1.25.1.6.0 uinteger 42\n",
                            &why))
        << why;

    qxtest::E2eRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Load());
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISMBase* h = rig.mgr->GetSM(0xE10);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetType(), 0xE10);
    rig.Bind(h);
    EXPECT_EQ(db.Str("select Kind||'/'||Name from tbSMType where Type=3600"), "3584/SVR QX-SVRWIN");

    std::string addr = "snmp127.0.0.1:" + std::to_string(agent.port()) + ":public";
    qxhost::PointItem item(41, 0xE10);
    item.Name("db server").AddrText(addr.c_str());
    ASSERT_EQ(h->ChkDb(item), 1);
    EXPECT_EQ(hist.Int("select count(*) from sqlite_master where name in ('tbSvr','tbSvrDat')"), 2);
    db.Run("insert into tbSubSysDetail(SID,Type,State) values(41,3600,-1)");

    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(nullptr, 0, 0), 1);
    int bits = 0;
    EXPECT_EQ(h->DataUpd(0, &bits, nullptr, -1, &hist), 1);
    EXPECT_EQ(db.Str("select group_concat(coalesce(Val,ValStr),'|') from (select * from tbSvrDat "
                     "where SID=41 and Fld<=4 order by Fld)"),
              "db-srv|1:01:01.00|3661|42");
    const long long P = db.Int("select Val from tbSvrDat where SID=41 and Fld=11");
    const long long S = db.Int("select Val from tbSvrDat where SID=41 and Fld=12");
    EXPECT_EQ(db.Int("select count(*) from tbSvrDat where SID=41"), 12 + P + 5 * S);
    EXPECT_EQ(Hex(db.Str("select Brief from tbSMBrief where SID=41")),
              Hex("\xC9\xE8\xB1\xB8: db-srv \xD4\xCB\xD0\xD0: 1:01:01.00"));
    EXPECT_EQ(db.Int("select State from tbSvr where SID=41"), 0);
    EXPECT_EQ(db.Int("select State from tbSubSysDetail where SID=41"), 0);
    EXPECT_EQ(hist.Int("select count(*) from tbSvr"), 0);  // no history is kept

    // The agent goes away: no answer, and the rows of the last poll do not stay.
    agent.Stop();
    h->DoItem(item, 0);
    EXPECT_EQ(h->DataGet(nullptr, 0, 0), 0);
    EXPECT_EQ(h->DataUpd(0, nullptr, nullptr, -1, nullptr), 1);
    EXPECT_EQ(db.Int("select State from tbSvr where SID=41"), 2);
    EXPECT_EQ(db.Int("select count(*) from tbSvrDat where SID=41"), 12);
    EXPECT_EQ(db.Int("select count(*) from tbSvrDat where SID=41 and Fld=1 and ValStr=''"), 1);
    // Its summary says the agent did not answer, not an emptied name and uptime.
    EXPECT_EQ(Hex(qxtest::Gbk("通讯中断")), Hex(db.Str("select Brief from tbSMBrief where SID=41")));
}

}  // namespace
