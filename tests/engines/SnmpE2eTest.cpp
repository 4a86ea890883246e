// End to end: the built plug-in loaded as a host loads it, net-snmp's snmpd as the agent, the
// generic SNMP engine configured by its definition file, and the rows it leaves in SQLite.
#include <dlfcn.h>

#include <string>

#include "E2eRig.h"
#include "EngineFixture.h"
#include "gtest/gtest.h"
#include "support/SnmpdAgent.h"

namespace {

const int kType = 0x1000;  // SM4096.def

// net-snmp sets up its transports and defaults once per load and frees them only with the
// process. A host keeps the plug-in, and so net-snmp, loaded for its lifetime; these tests
// load and unload the plug-in per test, so net-snmp is kept resident here as it would be
// (otherwise each unload drops that state unfreed and the leak checker reports it).
void* const g_netsnmp = dlopen(NETSNMP_PATH, RTLD_NOW | RTLD_NODELETE);

// A UPS-like agent: scalars under .1, a table (entry .2.1) of four columns by three rows, and
// an object after the table.
std::string AgentConfig() {
    std::string c =
        "rocommunity talvik 127.0.0.1\n"
        "override .1.3.6.1.4.1.99999.1.1.0 integer 230\n"
        // In quoted text a backslash escapes the next one: the value is C:\ Label.
        "override .1.3.6.1.4.1.99999.1.2.0 octet_str \"C:\\\\ Label\"\n"
        "override .1.3.6.1.4.1.99999.1.3.0 uinteger 4000000000\n"
        "override .1.3.6.1.4.1.99999.1.4.0 octet_str \"On Line\"\n"
        "override .1.3.6.1.4.1.99999.1.5.0 timeticks 9650405\n"
        "override .1.3.6.1.4.1.99999.3.0 integer 99\n";
    for (int row = 1; row <= 3; ++row) {
        std::string r = std::to_string(row);
        c += "override .1.3.6.1.4.1.99999.2.1.1." + r + " integer " + r + "\n";
        c += "override .1.3.6.1.4.1.99999.2.1.2." + r + " uinteger " + r + "000\n";
        c += "override .1.3.6.1.4.1.99999.2.1.3." + r + " counter 1" + r + "\n";
        c += "override .1.3.6.1.4.1.99999.2.1.4." + r + " octet_str \"d\\\\" + r + "\"\n";
    }
    return c;
}

const char kDef[] =
    "[comm]\n"
    "note=UPS-SNMP\n"
    "brief=UPS %1% it's\n"
    "[flds]\n"
    "cnt=3\n"
    "1=load\n"
    "2=tab\n"
    "3=tab_2a\n"
    "[flds.def]\n"
    "1='Load',1,'L',0,10,0,0,'',0,''\n"
    "2='Rows',1,'R',0,1,0,0,'',0,''\n"
    "3='Avg',1,'A',0,1,0,0,'',0,''\n"
    "[oids]\n"
    "1.3.6.1.4.1.99999.1.1.0=load\n"
    "1.3.6.1.4.1.99999.1.2.0=label\n"
    "1.3.6.1.4.1.99999.1.3.0=gauge\n"
    "1.3.6.1.4.1.99999.1.4.0=status\n"
    "1.3.6.1.4.1.99999.1.5.0=uptime\n"
    "1.3.6.1.4.1.99999.2.1=tab:,2,3,4,\n"
    "[vals.str]\n"
    "label=1\n"
    "tab.4=1\n"
    "[vals.ext]\n"
    "tab.2=1\n"
    "tab.3=1\n";

// The host, with the board root its definition files are read from.
struct Host : qxtest::E2eRig {
    BoardRoot root;
    ~Host() { Close(); }
};

class SnmpE2e : public qxtest::SnmpdSuite<AgentConfig> {};

struct Row {
    const char* fld;
    const char* val;
    const char* valStr;
};

TEST_F(SnmpE2e, AgentPolledIntoSqlite) {
    Host host;
    host.root.WriteDef(kType, kDef);
    host.Load();
    EXPECT_EQ(host.mgr->GetSM(kType + 1), nullptr);  // no SM4097.def
    ISMBase* h = host.mgr->GetSM(kType);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->GetType(), kType);
    EXPECT_STREQ(h->GetNote(), "UPS-SNMP");
    EXPECT_EQ(h->DataSize(), 3);
    host.Bind(h);
    EXPECT_EQ(host.db.Str("select Type||'/'||Kind||'/'||Name||'/'||Note from tbSMType"),
              "4096/4096/QXSNMP-base/UPS-SNMP");
    EXPECT_EQ(host.db.Str("select group_concat(Fld||'='||FldName) from tbSMDef where Type=4096"),
              "1=Load,2=Rows,3=Avg");

    qxhost::PointItem item(31, kType);
    item.Name("ups").AddrText(("snmp127.0.0.1:" + std::to_string(s_agent->port())).c_str());
    ASSERT_EQ(h->ChkDb(item), 1);
    host.db.Run("insert into tbSubSysDetail(SID,Type,State) values(31,4096,-1)");

    h->DoItem(item, 0);
    ASSERT_EQ(h->DataGet(nullptr, 1, 0), 1);
    EXPECT_EQ(h->DataVal(1), 230);
    EXPECT_EQ(h->DataVal(2), 3);
    // Row 1 across columns 2..4 (column 1 not listed, so from 0): 1000 + 11 + 0, by 3 rows.
    EXPECT_EQ(h->DataVal(3), 337);
    char buf[32] = ".Rows";
    EXPECT_EQ(h->VarEval(buf), 1);
    EXPECT_STREQ(buf, "3");

    int bits = 0;
    ASSERT_EQ(h->DataUpd(0, &bits, nullptr, -1, &host.hist), 1);
    const Row rows[] = {
        {"gauge", "4000000000", "<null>"},
        {"label", "<null>", "C:  Label"},
        {"load", "230", "<null>"},
        {"status", "<null>", "On Line"},
        {"tab", "3", "<null>"},
        {"tab1_2", "1000", "<null>"},
        {"tab1_3", "11", "<null>"},
        {"tab1_4", "<null>", "d 1"},
        {"tab2_2", "2000", "<null>"},
        {"tab2_3", "12", "<null>"},
        {"tab2_4", "<null>", "d 2"},
        {"tab3_2", "3000", "<null>"},
        {"tab3_3", "13", "<null>"},
        {"tab3_4", "<null>", "d 3"},
        {"tab_2X", "1000", "<null>"},
        {"tab_2a", "337", "<null>"},
        {"tab_2x", "0", "<null>"},
        {"tab_3X", "2000", "<null>"},
        {"tab_3a", "670", "<null>"},  // (2000 + 12 + 0) / 3
        {"tab_3x", "0", "<null>"},
        {"uptime", "<null>", "1 day 2:48:24.05"},
    };
    EXPECT_EQ(host.db.Int("select count(*) from tbSnmpDat where SID=31 and DID=0"),
              (long long)(sizeof rows / sizeof rows[0]));
    const long long did = host.hist.Int("select DID from tbSnmp where SID=31");
    EXPECT_GT(did, 0);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.fld);
        std::string main = std::string(" from tbSnmpDat where SID=31 and DID=0 and Fld='") + r.fld + "'";
        EXPECT_EQ(host.db.Str("select ifnull(Val,'<null>')" + main), r.val);
        EXPECT_EQ(host.db.Str("select ifnull(ValStr,'<null>')" + main), r.valStr);
        std::string hist = std::string(" from tbSnmpDat where SID=31 and DID=") +
                           std::to_string(did) + " and Fld='" + r.fld + "'";
        EXPECT_EQ(host.hist.Str("select ifnull(Val,'<null>')" + hist), r.val);
        EXPECT_EQ(host.hist.Str("select ifnull(ValStr,'<null>')" + hist), r.valStr);
    }
    EXPECT_EQ(host.db.Str("select Brief||'/'||St from tbSMBrief where SID=31"), "UPS %1% it's/0");
    EXPECT_EQ(host.db.Int("select State from tbSnmp where SID=31"), 0);
    EXPECT_EQ(host.db.Int("select State from tbSubSysDetail where SID=31"), 0);
}

// A point whose agent does not answer: no answer, stored as such.
TEST_F(SnmpE2e, PointWithoutAgentIsNoAnswer) {
    Host host;
    host.root.WriteDef(kType, kDef);
    host.Load();
    ISMBase* h = host.mgr->GetSM(kType);
    ASSERT_NE(h, nullptr);
    h->SetDb(&host.db, 0);
    h->RegDb(&host.db, 0);

    // The agent's port with a community it does not know: snmpd drops such requests.
    qxhost::PointItem item(32, kType);
    item.Name("gone").AddrText(
        ("snmp127.0.0.1:" + std::to_string(s_agent->port()) + ":nobody").c_str());
    ASSERT_EQ(h->ChkDb(item), 1);
    host.db.Run("insert into tbSubSysDetail(SID,Type,State) values(32,4096,-1)");
    h->DoItem(item, 0);
    EXPECT_EQ(h->DataGet(nullptr, 1, 0), 0);
    EXPECT_EQ(h->DataVal(1), -1);
    EXPECT_EQ(h->DataUpd(0, nullptr, nullptr, -1, nullptr), 1);
    EXPECT_EQ(host.db.Int("select State from tbSnmp where SID=32"), 2);
    EXPECT_EQ(host.db.Int("select State from tbSubSysDetail where SID=32"), 2);
}

}  // namespace
