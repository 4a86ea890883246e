// The generic SNMP engine through the static library, against the scripted agent on a
// loopback port: the point's address text, scalars, table walks with their row aggregates,
// walks that must end (empty response, identifiers that do not increase, the request bound,
// silence), what a poll returns, and the detail rows in SQLite.
#include <inttypes.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "engines/SMSnmpPub.h"
#include "gtest/gtest.h"
#include "support/SnmpScriptAgent.h"

using qxtest::OidOf;
using qxtest::SnmpBinding;
using qxtest::SnmpOid;
using qxtest::SnmpReply;
using qxtest::SnmpRequest;
using qxtest::SnmpScriptAgent;
using qxtest::SnmpValue;

namespace {

const int kType = 0x1000;  // SM4096.def
const char kEntry[] = "1.3.6.1.4.1.99999.2.1";

typedef std::map<SnmpOid, SnmpValue> Mib;

SnmpOid Cell(const char* entry, uint32_t column, uint32_t row) {
    SnmpOid o = OidOf(entry);
    o.push_back(column);
    o.push_back(row);
    return o;
}

// A table under kEntry: columns 1..cols by the given rows, cell value f(column, row); and one
// object after the table, so that a walk leaves it.
Mib Table(int cols, std::vector<uint32_t> rows, std::function<SnmpValue(int, uint32_t)> f) {
    Mib m;
    for (int c = 1; c <= cols; c++)
        for (uint32_t r : rows) m[Cell(kEntry, c, r)] = f(c, r);
    m[OidOf("1.3.6.1.4.1.99999.3.0")] = SnmpValue::Int(99);
    return m;
}

struct Rig {
    BoardRoot root;
    TestDb db, hist;
    qxhost::PointItem item{21, kType};
    std::unique_ptr<CSMSnmpPub, void (*)(CSMSnmpPub*)> h{nullptr, [](CSMSnmpPub* p) { delete p; }};

    Rig() { item.Name("agent").Addr(1).Port(0); }
    CSMSnmpPub* Make(const std::string& def) {
        root.WriteDef(kType, def);
        h.reset(static_cast<CSMSnmpPub*>(NewSnmpHandler(kType)));
        if (h) {
            h->SetDb(&db, 0);
            h->SetDb(&hist, 1);
            h->RegDb(&db, 0);
            h->ChkDb(item);
        }
        return h.get();
    }
    void Agent(uint16_t port) {
        item.AddrText(("snmp127.0.0.1:" + std::to_string(port) + ":talvik").c_str());
    }
    int Poll() {
        h->DoItem(item, 0);
        return h->DataGet(nullptr, 1, 0);
    }
    std::string Val(const char* key) { return h->Ini().GetValue("vals", key, "<none>"); }
    bool Has(const char* key) { return Val(key) != "<none>"; }
    // The [vals] keys of the last poll, in key order, as "k=v,k=v".
    std::string Vals() {
        std::string s;
        for (auto it = h->Ini().beginKey("vals"); it != h->Ini().endKey("vals"); ++it)
            s += (s.empty() ? "" : ",") + it->first + "=" + it->second.value;
        return s;
    }
};

// ---------------------------------------------------------------- the address text

TEST(SnmpPubAddr, FieldsOfTheAddressText) {
    struct Case {
        const char* text;
        const char* host;
        int port;
        const char* community;
        const char* user;
        const char* password;
    } cases[] = {
        {"snmp10.0.0.5", "10.0.0.5", 161, "talvik", "", ""},
        {"snmp10.0.0.5:1161:pub", "10.0.0.5", 1161, "pub", "", ""},
        {"snmp10.0.0.5::pub", "10.0.0.5", 161, "pub", "", ""},
        {"snmp10.0.0.5:0", "10.0.0.5", 161, "talvik", "", ""},
        {"snmp10.0.0.5:1161:", "10.0.0.5", 1161, "talvik", "", ""},
        {"snmph:2:c:u:p", "h", 2, "c", "u", "p"},
        {"snmph:2:c:u:p:more:fields", "h", 2, "c", "u", "p"},
        {"snmp:::u", "", 161, "talvik", "u", ""},
        {"snmp", "", 161, "talvik", "", ""},
        {"abc", "", 161, "talvik", "", ""},
        {"", "", 161, "talvik", "", ""},
        {"snmph:1161x", "h", 1161, "talvik", "", ""},
        // Beyond 1..65535: kept out of range so that the poll refuses it.
        {"snmph:70000", "h", 65536, "talvik", "", ""},
        {"snmph:-1", "h", -1, "talvik", "", ""},
        // Longer than 15 characters: taken whole, never cut to another host or community.
        {"snmpups-room-a.site.example:161:community-of-site", "ups-room-a.site.example", 161,
         "community-of-site", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CSMSnmpPub::Agent a = CSMSnmpPub::ParseAddr(c.text);
        EXPECT_EQ(a.host, c.host);
        EXPECT_EQ(a.port, c.port);
        EXPECT_EQ(a.community, c.community);
        EXPECT_EQ(a.user, c.user);
        EXPECT_EQ(a.password, c.password);
    }
    CSMSnmpPub::Agent none = CSMSnmpPub::ParseAddr(nullptr);
    EXPECT_EQ(none.host, "");
}

TEST(SnmpPubAddr, AnUnterminatedAddressTextIsReadWithinItsField) {
    tagSMItem item;
    memset(&item, 'a', sizeof item);
    memcpy(item.AddrText, "snmp", 4);
    CSMSnmpPub::Agent a = CSMSnmpPub::ParseAddr(item.AddrText);
    EXPECT_EQ(a.host, std::string(59, 'a'));
}

// ---------------------------------------------------------------- a poll: when it runs

TEST(SnmpPubPoll, NoPointNoPollAndValuesKept) {
    Rig r;
    SnmpScriptAgent agent(SnmpScriptAgent::Table(Table(2, {1}, [](int, uint32_t) {
        return SnmpValue::Int(1);
    })));
    ASSERT_NE(r.Make("[oids]\n1.3.6.1.4.1.99999.3.0=x\n"), nullptr);
    r.h->Ini().SetValue("vals", "kept", "5");
    EXPECT_EQ(r.h->DataGet(nullptr, 1, 0), 0);
    EXPECT_EQ(r.Val("kept"), "5");
    EXPECT_TRUE(agent.requests().empty());
}

// One handler serves every point of its type: a poll reads the agent of the last DoItem.
TEST(SnmpPubPoll, PollsThePointOfTheLastDoItem) {
    SnmpScriptAgent a(SnmpScriptAgent::Table({{OidOf("1.3.6.1.4.1.99999.3.0"), SnmpValue::Int(1)}}));
    SnmpScriptAgent b(SnmpScriptAgent::Table({{OidOf("1.3.6.1.4.1.99999.3.0"), SnmpValue::Int(2)}}));
    Rig r;
    ASSERT_NE(r.Make("[oids]\n1.3.6.1.4.1.99999.3.0=x\n"), nullptr);
    qxhost::PointItem other(22, kType);
    other.AddrText(("snmp127.0.0.1:" + std::to_string(b.port()) + ":talvik").c_str());
    r.Agent(a.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Val("x"), "1");
    r.h->DoItem(other, 0);
    ASSERT_EQ(r.h->DataGet(nullptr, 1, 0), 1);
    EXPECT_EQ(r.Val("x"), "2");
    ASSERT_EQ(r.h->DataGet(nullptr, 1, 0), 1);
    EXPECT_EQ(a.requests().size(), 1u);
    EXPECT_EQ(b.requests().size(), 2u);
}

TEST(SnmpPubPoll, MessagesOfTheHandlersLife) {
    BoardRoot root;
    TestDb db;
    root.WriteDef(kType, "[comm]\ndebug=1\ndelay=7\ntimeout=50\n");
    testing::internal::CaptureStdout();
    ISMBase* h = NewSnmpHandler(kType);
    ASSERT_NE(h, nullptr);
    h->SetDb(&db, 0);
    h->RegDb(&db, 1);
    qxhost::PointItem item(5, kType);
    item.Name("ups-1");
    h->ChkDb(item);
    delete static_cast<CSMSnmpPub*>(h);
    std::string out = testing::internal::GetCapturedStdout();
    char addr[32];
    snprintf(addr, sizeof addr, "%" PRIXPTR, (uintptr_t)h);
    EXPECT_EQ(out, std::string("CSMSnmpPub new 0x") + addr + "=4096(1000)\n"
                   "CSMSnmpPub UpdLoad\n"
                   "CSMSnmpPub::UpdLoad  d=1  7ms  tout=50\n"
                   "CSMSnmpPub RegDb m=1\n"
                   "CSMSnmpPub ChkDb sid=5 ups-1\n"
                   "CSMSnmpPub delete 0x" + addr + "\n");
}

TEST(SnmpPubPoll, UnloadedHandlerEmptiesTheValuesAndSendsNothing) {
    Rig r;
    SnmpScriptAgent agent(SnmpScriptAgent::Table(Table(1, {1}, [](int, uint32_t) {
        return SnmpValue::Int(1);
    })));
    std::unique_ptr<CSMSnmpPub> h(new CSMSnmpPub(kType));
    EXPECT_EQ(h->LoadDef((r.root.Path() + "/none.def").c_str()), -1);
    EXPECT_STREQ(h->GetNote(), "QXMB-base");
    EXPECT_EQ(h->DataSize(), 1);
    EXPECT_EQ(h->DataVal(1), -1);
    h->Ini().SetValue("vals", "old", "1");
    r.Agent(agent.port());
    h->DoItem(r.item, 0);
    EXPECT_EQ(h->DataGet(nullptr, 1, 0), 0);
    EXPECT_EQ(h->Ini().GetValue("vals", "old", "<none>"), "<none>");
    EXPECT_TRUE(agent.requests().empty());
    h->RegDb(&r.db, 1);
    EXPECT_EQ(r.db.Str("select Name||'/'||Note||'/'||Kind from tbSMType where Type=4096"),
              "QXSNMP-base/QXMB-base/4096");
}

TEST(SnmpPubPoll, PointsThatCannotBePolled) {
    struct Case {
        const char* name;
        const char* addr;
    } cases[] = {
        {"no host", "snmp"},
        {"port beyond 65535", "snmp127.0.0.1:70000"},
        {"negative port", "snmp127.0.0.1:-5"},
    };
    Rig r;
    ASSERT_NE(r.Make("[oids]\n1.3.6.1.4.1.99999.3.0=x\n"), nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        r.item.AddrText(c.addr);
        EXPECT_EQ(r.Poll(), 0);
    }
}

TEST(SnmpPubPoll, DoFuncHasNoCommands) {
    Rig r;
    ASSERT_NE(r.Make("[comm]\nYk00=1\nYk05=1\n"), nullptr);
    qxtest::ScriptChannel ch;
    r.item.Ser(&ch);
    r.h->DoItem(r.item, 0);
    uint8_t buf[4] = {1, 2, 3, 4};
    for (int cmd : {0, 1, 5, -1}) {
        EXPECT_EQ(r.h->DoFunc(&ch, 1, cmd, buf, 4), 0);
        EXPECT_EQ(r.h->DoFunc(cmd, buf, 4), 0);
    }
    EXPECT_TRUE(ch.Written().empty());
}

// ---------------------------------------------------------------- scalars

TEST(SnmpPubScalar, DisplayTextOfALongAgentTextIsBounded) {
    // The host's display buffer is not the agent's to fill: at most 63 bytes are written.
    struct Case {
        std::string text;
        std::string shown;
    } cases[] = {
        {"On Line", "On Line"},
        {std::string(63, 'x'), std::string(63, 'x')},
        {std::string(300, 'x'), std::string(63, 'x')},
        {std::string(64, 'x'), std::string(63, 'x')},
    };
    for (const Case& c : cases) {
        Rig r;
        Mib mib = {{OidOf("1.3.6.1.2.1.1.1.0"), SnmpValue::Octets(c.text)}};
        SnmpScriptAgent agent(SnmpScriptAgent::Table(mib));
        ASSERT_NE(r.Make("[flds]\ncnt=1\n1=descr\n"
                         "[flds.def]\n1='Descr',1,'D',0,1,0,0,'',0,''\n"
                         "[oids]\n1.3.6.1.2.1.1.1.0=descr\n"),
                  nullptr);
        r.Agent(agent.port());
        ASSERT_EQ(r.Poll(), 1) << c.text.size();
        char buf[512] = ".Descr";
        EXPECT_EQ(r.h->VarEval(buf), (int)c.shown.size()) << c.text.size();
        EXPECT_EQ(Hex(buf), Hex(c.shown)) << c.text.size();
    }
}

TEST(SnmpPubScalar, ValuesTextsAndTheirRows) {
    Rig r;
    Mib mib = {
        {OidOf("1.3.6.1.2.1.1.5.0"), SnmpValue::Octets("srv\\01\\a")},
        {OidOf("1.3.6.1.2.1.1.6.0"), SnmpValue::Octets("room 'A'\\1")},
        {OidOf("1.3.6.1.4.1.99999.1.1.0"), SnmpValue::Int(230)},
        {OidOf("1.3.6.1.4.1.99999.1.2.0"), SnmpValue::Octets("On Line")},
        {OidOf("1.3.6.1.4.1.99999.1.4.0"), SnmpValue::Gauge32(4000000000u)},
    };
    SnmpScriptAgent agent(SnmpScriptAgent::Table(mib));
    ASSERT_NE(r.Make("[comm]\nbrief=load %1% it's\n"
                     "[flds]\ncnt=3\n1=load\n2=sysName\n3=gone\n"
                     "[flds.def]\n1='Load',1,'L',0,10,0,0,'',0,''\n"
                     "[oids]\n"
                     "1.3.6.1.2.1.1.5.0=sysName\n"
                     "1.3.6.1.2.1.1.6.0=sysLocation\n"
                     "1.3.6.1.4.1.99999.1.1.0=load\n"
                     "1.3.6.1.4.1.99999.1.2.0=status\n"
                     "1.3.6.1.4.1.99999.1.3.0=gone\n"
                     "1.3.6.1.4.1.99999.1.4.0=big\n"
                     "[vals.str]\nsysName=1\nsysLocation=2\n"),
              nullptr);
    r.Agent(agent.port());
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(21,4096,-1)");
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Vals(),
              "big=4000000000,gone=,load=230,status=On Line,sysLocation=room 'A'\\1,"
              "sysName=srv 01 a");
    EXPECT_EQ(r.h->DataVal(1), 230);
    EXPECT_EQ(r.h->DataVal(3), -1);  // an empty value is no number
    EXPECT_EQ(r.h->DataVal(4), -1);
    char buf[64] = ".Load";
    EXPECT_EQ(r.h->VarEval(buf), 3);
    EXPECT_STREQ(buf, "230");

    // Every request a GET of one object, to the point's community.
    for (const SnmpRequest& rq : agent.requests()) {
        EXPECT_EQ(rq.pduType, qxtest::kPduGet);
        EXPECT_EQ(rq.community, "talvik");
        EXPECT_EQ(rq.oids.size(), 1u);
    }

    int bits = 0;
    EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
    struct Row {
        const char* fld;
        const char* val;
        const char* valStr;
    } rows[] = {
        {"big", "4000000000", "<null>"},
        {"gone", "<null>", "<null>"},
        {"load", "230", "<null>"},
        {"status", "<null>", "On Line"},  // no number: text, not a failed statement
        {"sysLocation", "<null>", "room 'A'\\1"},
        {"sysName", "<null>", "srv 01 a"},
    };
    EXPECT_EQ(r.db.Int("select count(*) from tbSnmpDat where SID=21 and DID=0"),
              (long long)(sizeof rows / sizeof rows[0]));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fld);
        std::string where = std::string(" from tbSnmpDat where SID=21 and Fld='") + row.fld + "'";
        EXPECT_EQ(r.db.Str("select ifnull(Val,'<null>')" + where), row.val);
        EXPECT_EQ(r.db.Str("select ifnull(ValStr,'<null>')" + where), row.valStr);
    }
    // The summary is written as it stands, placeholders and quote included.
    EXPECT_EQ(r.db.Str("select Brief||'/'||St from tbSMBrief where SID=21"), "load %1% it's/0");
    EXPECT_EQ(r.db.Int("select State from tbSubSysDetail where SID=21"), 0);
    EXPECT_EQ(r.db.Int("select State from tbSnmp where SID=21"), 0);
}

TEST(SnmpPubScalar, RefusedEntriesAreNotRequested) {
    Rig r;
    SnmpScriptAgent agent(SnmpScriptAgent::Table(Table(2, {1}, [](int c, uint32_t) {
        return SnmpValue::Int(c);
    })));
    std::string def = "[oids]\n"
                      "1.3.6.1.4.1.99999.3.0=ok\n"
                      "1.3.6.1.4.1.99999.3.1=" + std::string(64, 'n') + "\n"
                      "1.3.6.1.4.1.99999.3.2=" + std::string(41, 't') + ":,2,\n"
                      "1.3.6.1.4.1.99999.3.3=:,2,\n"
                      "1.3.6.1.4.1.99999.3.4=\n"
                      "not.an.oid=bad\n"
                      "1.3.6.1.4.1.99999.3.5=" + std::string(63, 's') + "\n"
                      "1.3.6.1.4.1.99999.2.1=" + std::string(40, 'T') + ":,2,\n";
    testing::internal::CaptureStdout();
    ASSERT_NE(r.Make(def), nullptr);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("refused"), std::string::npos);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Val("ok"), "99");
    EXPECT_TRUE(r.Has(std::string(63, 's').c_str()));  // no such object: empty
    EXPECT_EQ(r.Val((std::string(40, 'T') + "1_2").c_str()), "2");
    EXPECT_EQ(r.Val(std::string(40, 'T').c_str()), "1");
    EXPECT_FALSE(r.Has(std::string(64, 'n').c_str()));
    EXPECT_FALSE(r.Has("bad"));
    // ok, the 63-character name, and the walk of three requests (two cells, then out).
    EXPECT_EQ(agent.requests().size(), 5u);
}

// ---------------------------------------------------------------- table walks

TEST(SnmpPubWalk, ListedCellsAndTheRowCount) {
    Rig r;
    SnmpScriptAgent agent(SnmpScriptAgent::Table(Table(5, {1, 2, 3, 4}, [](int c, uint32_t row) {
        return SnmpValue::Int((int)(10 * c + row));
    })));
    ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=tab:,2,3,\n"), nullptr);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Vals(), "tab=4,tab1_2=21,tab1_3=31,tab2_2=22,tab2_3=32,tab3_2=23,tab3_3=33,"
                        "tab4_2=24,tab4_3=34");
    // Version 1: the walk is a run of GETNEXT requests continuing from the last binding.
    std::vector<SnmpRequest> rq = agent.requests();
    ASSERT_EQ(rq.size(), 21u);
    EXPECT_EQ(rq[0].pduType, qxtest::kPduGetNext);
    EXPECT_EQ(rq[0].oids[0], OidOf(kEntry));
    EXPECT_EQ(rq[1].oids[0], Cell(kEntry, 1, 1));
}

TEST(SnmpPubWalk, TextFlagsOfAColumn) {
    Rig r;
    SnmpScriptAgent agent(SnmpScriptAgent::Table(Table(3, {1, 2}, [](int c, uint32_t row) {
        return SnmpValue::Octets("d\\" + std::to_string(c) + "\\" + std::to_string(row));
    })));
    ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=disk:,2,3,\n"
                     "[vals.str]\ndisk.3=1\ndisk2_2=1\n"),
              nullptr);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Val("disk1_2"), "d\\2\\1");
    EXPECT_EQ(r.Val("disk1_3"), "d 3 1");
    int bits = 0;
    ASSERT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
    // Every cell is text, so every one is stored as text: the flag of the cell's own key
    // or, without one, because no text goes in as a number.
    EXPECT_EQ(r.db.Str("select group_concat(Fld||'='||ValStr) from (select * from tbSnmpDat "
                       "where Val is null order by Fld)"),
              "disk1_2=d\\2\\1,disk1_3=d 3 1,disk2_2=d\\2\\2,disk2_3=d 3 2");
    EXPECT_EQ(r.db.Str("select Val from tbSnmpDat where Fld='disk'"), "2");
}

struct AggCase {
    const char* name;
    const char* columns;
    const char* ext;     // [vals.ext] lines
    const char* expect;  // the aggregate keys, "k=v,..."
};

TEST(SnmpPubWalk, RowAggregates) {
    // Rows 1 and 2 of columns 1..3: row 1 holds 10, 20, 30; row 2 holds 11, 21, 31.
    SnmpScriptAgent agent(SnmpScriptAgent::Table(Table(3, {1, 2}, [](int c, uint32_t row) {
        return SnmpValue::Int((int)(10 * c + row - 1));
    })));
    const AggCase cases[] = {
        {"row 1 from column 1", ",1,2,3,", "t.2=1\n", "t_2X=30,t_2a=30,t_2x=10"},
        // Column 1 not listed: the slot starts from 0.
        {"row 1 without column 1", ",2,3,", "t.2=1\n", "t_2X=30,t_2a=25,t_2x=0"},
        {"both rows", ",1,2,3,", "t.2=1\nt.3=7\n",
         "t_2X=30,t_2a=30,t_2x=10,t_3X=31,t_3a=31,t_3x=11"},
        // The switch is its low byte: 256 is off.
        {"switch 256", ",1,2,3,", "t.2=256\n", ""},
        {"no switch", ",1,2,3,", "", ""},
        {"switch of a row not in the table", ",1,2,3,", "t.9=1\n", "t_9X=0,t_9a=0,t_9x=0"},
    };
    for (const AggCase& c : cases) {
        SCOPED_TRACE(c.name);
        Rig r;
        ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=t:" + c.columns + "\n[vals.ext]\n" +
                         c.ext),
                  nullptr);
        r.Agent(agent.port());
        ASSERT_EQ(r.Poll(), 1);
        std::string agg;
        for (auto it = r.h->Ini().beginKey("vals"); it != r.h->Ini().endKey("vals"); ++it)
            if (it->first.find("t_") == 0) agg += (agg.empty() ? "" : ",") + it->first + "=" + it->second.value;
        EXPECT_EQ(agg, c.expect);
        EXPECT_EQ(r.Val("t"), "2");
    }
}

// Gauge32, Counter32 and TimeTicks columns are numbers: each adds its own value, not the
// number an earlier INTEGER left behind.
TEST(SnmpPubWalk, EveryNumericSyntaxIsANumber) {
    SnmpScriptAgent agent(SnmpScriptAgent::Table(Table(6, {1}, [](int c, uint32_t) {
        switch (c) {
        case 1: return SnmpValue::Int(1);
        case 2: return SnmpValue::Gauge32(4000000000u);
        case 3: return SnmpValue::Counter32(5);
        case 4: return SnmpValue::TimeTicks(123);  // printed 0:00:01.23
        case 5: return SnmpValue::Octets("12.5 V");
        default: return SnmpValue::Octets("none");
        }
    })));
    Rig r;
    ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=n:,1,2,3,4,5,6,\n[vals.ext]\nn.2=1\n"),
              nullptr);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Val("n_2a"), "4000000141");  // 1 + 4000000000 + 5 + 123 + 12 + 0
    EXPECT_EQ(r.Val("n_2x"), "0");
    EXPECT_EQ(r.Val("n_2X"), "4000000000");
    EXPECT_EQ(r.Val("n1_4"), "0:00:01.23");
}

// Rows whose index has no slot are stored but never aggregated (the slots are 0..31).
TEST(SnmpPubWalk, RowsBeyondTheSlots) {
    SnmpScriptAgent agent(SnmpScriptAgent::Table(
        Table(2, {0, 5, 31, 32, 4294967295u}, [](int c, uint32_t row) {
            return SnmpValue::Int((int)(c * 100 + (row % 1000)));
        })));
    Rig r;
    ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=w:,1,2,\n[vals.ext]\n"
                     "w.1=1\nw.6=1\nw.32=1\n"),
              nullptr);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Val("w"), "5");
    EXPECT_EQ(r.Val("w32_2"), "232");
    EXPECT_EQ(r.Val("w4294967295_2"), "495");
    // Sum divided by the five rows.
    EXPECT_EQ(r.Val("w_1a"), "60");   // (100 + 200) / 5
    EXPECT_EQ(r.Val("w_6a"), "62");   // (105 + 205) / 5
    EXPECT_EQ(r.Val("w_32a"), "72");  // (131 + 231) / 5
    EXPECT_EQ(r.Val("w_32X"), "231");
    EXPECT_FALSE(r.Has("w_33a"));
}

TEST(SnmpPubWalk, WithoutColumnOneNoAggregates) {
    Mib mib = Table(3, {1, 2}, [](int c, uint32_t) { return SnmpValue::Int(c); });
    mib.erase(Cell(kEntry, 1, 1));
    mib.erase(Cell(kEntry, 1, 2));
    SnmpScriptAgent agent(SnmpScriptAgent::Table(mib));
    Rig r;
    ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=t:,2,3,\n[vals.ext]\nt.2=1\n"), nullptr);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Vals(), "t=0,t1_2=2,t1_3=3,t2_2=2,t2_3=3");
}

// A table at the end of a version-1 agent's objects: the agent answers the GETNEXT past its
// last object with noSuchName, which ends the walk as endOfMibView does.
TEST(SnmpPubWalk, EndOfTheAgentsObjects) {
    Mib mib = Table(2, {1, 2, 3}, [](int c, uint32_t) { return SnmpValue::Int(c); });
    mib.erase(OidOf("1.3.6.1.4.1.99999.3.0"));
    SnmpScriptAgent agent(SnmpScriptAgent::Table(mib));
    Rig r;
    ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=t:,2,\n"), nullptr);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Vals(), "t=3,t1_2=2,t2_2=2,t3_2=2");
}

// Agents whose walk never leaves the table by itself. Every walk ends; what it gathered stays;
// there is no row count; the next entry is polled.
struct MalformedCase {
    const char* name;
    // Answer to the n-th request of the walk (GETNEXT of 1.1, 1.2, 1.3, 2.1, 2.2, 2.3 and
    // the object after the table, when well-behaved), given the well-behaved answer.
    std::function<SnmpReply(const SnmpRequest&, const SnmpReply&, int n)> script;
    const char* vals;
    size_t walkRequests;
};

TEST(SnmpPubWalk, MalformedAgentsEndTheWalk) {
    const MalformedCase cases[] = {
        {"empty successful response",
         [](const SnmpRequest&, const SnmpReply& good, int n) {
             return n == 5 ? SnmpReply::Empty() : good;
         },
         "after=99,t1_2=2", 5},
        {"identifier repeated",
         [](const SnmpRequest& rq, const SnmpReply& good, int n) {
             return n == 5 ? SnmpReply::With({{rq.oids[0], SnmpValue::Int(7)}}) : good;
         },
         "after=99,t1_2=2", 5},
        {"the table's own identifier",
         [](const SnmpRequest&, const SnmpReply& good, int n) {
             return n == 1 ? SnmpReply::With({{OidOf(kEntry), SnmpValue::Int(7)}}) : good;
         },
         "after=99", 1},
        {"identifier going back",
         [](const SnmpRequest&, const SnmpReply& good, int n) {
             return n == 6 ? SnmpReply::With({{Cell(kEntry, 1, 1), SnmpValue::Int(1)}}) : good;
         },
         "after=99,t1_2=2,t2_2=2", 6},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.name);
        SnmpScriptAgent::Script good = SnmpScriptAgent::Table(
            Table(2, {1, 2, 3}, [](int col, uint32_t) { return SnmpValue::Int(col); }));
        int walk = 0;
        SnmpScriptAgent agent([&](const SnmpRequest& rq) {
            SnmpReply g = good(rq);
            if (rq.pduType != qxtest::kPduGetNext) return g;
            return c.script(rq, g, ++walk);
        });
        Rig r;
        ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=t:,2,\n"
                         "1.3.6.1.4.1.99999.3.0=after\n"),
                  nullptr);
        r.Agent(agent.port());
        ASSERT_EQ(r.Poll(), 1);
        EXPECT_EQ(r.Vals(), c.vals);
        EXPECT_EQ(agent.requests().size(), c.walkRequests + 1);
    }
}

// A table that never ends: identifiers keep increasing inside it. The walk stops at its bound.
TEST(SnmpPubWalk, EndlessTableStopsAtTheRequestBound) {
    SnmpScriptAgent agent([](const SnmpRequest& rq) {
        SnmpOid o = rq.oids[0];
        uint32_t row = o.size() > OidOf(kEntry).size() + 1 ? o.back() + 1 : 1;
        return SnmpReply::With({{Cell(kEntry, 2, row), SnmpValue::Int((int)row)}});
    });
    Rig r;
    ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=t:,2,\n"), nullptr);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(agent.requests().size(), (size_t)CSMSnmpPub::kMaxWalkRequests);
    EXPECT_FALSE(r.Has("t"));
    EXPECT_EQ(r.Val("t1000_2"), "1000");
    EXPECT_FALSE(r.Has("t1001_2"));
}

// ---------------------------------------------------------------- silence

// The agent stops answering within a walk: its cells stay, no row count, and the entries after
// it are not requested (one time-out per poll); the poll got answers, so it returns 1.
TEST(SnmpPubSilence, AgentFallsSilentWithinAWalk) {
    SnmpScriptAgent::Script good = SnmpScriptAgent::Table(
        Table(2, {1, 2, 3}, [](int col, uint32_t) { return SnmpValue::Int(col); }));
    int n = 0;
    SnmpScriptAgent agent([&](const SnmpRequest& rq) {
        return ++n > 5 ? SnmpReply::Silence() : good(rq);
    });
    Rig r;
    ASSERT_NE(r.Make(std::string("[oids]\n") + kEntry + "=t:,2,\n"
                     "1.3.6.1.4.1.99999.3.0=after\n1.3.6.1.4.1.99999.3.1=more\n"),
              nullptr);
    r.Agent(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Vals(), "after=,more=,t1_2=2,t2_2=2");
    EXPECT_EQ(agent.requests().size(), 7u);  // five answered, one unanswered with its retry
}

// An agent that never answers: 0 (no answer), after one time-out and its retry, not one per
// entry; the host then stores "no answer".
TEST(SnmpPubSilence, SilentAgentIsNoAnswer) {
    SnmpScriptAgent agent([](const SnmpRequest&) { return SnmpReply::Silence(); });
    Rig r;
    ASSERT_NE(r.Make(std::string("[oids]\n1.3.6.1.2.1.1.5.0=sysName\n") + kEntry + "=t:,2,\n"
                     "1.3.6.1.4.1.99999.3.0=after\n"),
              nullptr);
    r.Agent(agent.port());
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(21,4096,-1)");
    EXPECT_EQ(r.Poll(), 0);
    EXPECT_EQ(agent.requests().size(), 2u);
    EXPECT_EQ(r.Vals(), "after=,sysName=");
    EXPECT_EQ(r.h->DataUpd(0, nullptr, nullptr, -1, nullptr), 1);
    EXPECT_EQ(r.db.Int("select State from tbSnmp where SID=21"), 2);
    EXPECT_EQ(r.db.Int("select State from tbSubSysDetail where SID=21"), 2);
}

// An agent that answers every request with an error status still answered.
TEST(SnmpPubSilence, ErrorStatusesAreAnswers) {
    SnmpScriptAgent agent(SnmpScriptAgent::Table({}));
    Rig r;
    ASSERT_NE(r.Make("[oids]\n1.3.6.1.2.1.1.5.0=sysName\n"), nullptr);
    r.Agent(agent.port());
    EXPECT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Vals(), "sysName=");
}

// ---------------------------------------------------------------- detail rows

struct DetailCase {
    const char* key;
    std::string value;
    const char* flag;  // [vals.str] line or ""
    const char* val;
    std::string valStr;
};

TEST(SnmpPubStore, DetailRowsOfEveryKindOfValue) {
    const DetailCase cases[] = {
        {"load", "230", "", "230", "<null>"},
        {"neg", "-12.5", "", "-12.5", "<null>"},
        {"empty", "", "", "<null>", "<null>"},
        {"word", "On Line", "", "<null>", "On Line"},
        {"quote", "it's", "", "<null>", "it's"},
        {"inject", "1);drop table tbSnmp;--", "", "<null>", "1);drop table tbSnmp;--"},
        {"dot", "1.", "", "<null>", "1."},
        // Looked up with the digits before the first '.' removed: volt12.3 as volt.3.
        {"volt12.3", "7", "volt.3=1", "<null>", "7"},
        {"volt12.4", "7", "volt.3=1", "7", "<null>"},
        // Cell keys have no '.': looked up whole.
        {"temp3_2", "17", "temp.2=1", "17", "<null>"},
        {"temp3_3", "17", "temp3_3=2", "<null>", "17"},
        {"a'b", "1", "", "1", "<null>"},
        {"long", std::string(2000, 'x'), "", "<null>", std::string(CSMSnmpPub::kMaxValText, 'x')},
    };
    for (const DetailCase& c : cases) {
        SCOPED_TRACE(c.key);
        Rig r;
        ASSERT_NE(r.Make(std::string("[vals.str]\n") + c.flag + "\n"), nullptr);
        r.h->DoItem(r.item, 0);
        r.h->Ini().SetValue("vals", c.key, c.value);
        int bits = 0;
        EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, nullptr), 1);
        EXPECT_EQ(r.db.Int("select count(*) from tbSnmp"), 1);
        EXPECT_EQ(r.db.Int("select count(*) from tbSnmpDat"), 1);
        EXPECT_EQ(r.db.Str("select Fld from tbSnmpDat"), c.key);
        EXPECT_EQ(r.db.Str("select ifnull(Val,'<null>') from tbSnmpDat"), c.val);
        EXPECT_EQ(r.db.Str("select ifnull(ValStr,'<null>') from tbSnmpDat"), c.valStr);
    }
}

// History detail rows carry the id of the history row they belong to; the current rows 0.
TEST(SnmpPubStore, HistoryDetailRowsCarryTheirRowsId) {
    Rig r;
    ASSERT_NE(r.Make(""), nullptr);
    for (int poll = 1; poll <= 3; poll++) {
        r.h->DoItem(r.item, 0);
        r.h->Ini().DeleteKey("vals", "#all");
        r.h->Ini().SetValue("vals", "a", std::to_string(poll));
        r.h->Ini().SetValue("vals", "b", "x");
        int bits = 0;
        EXPECT_EQ(r.h->DataUpd(0, &bits, nullptr, -1, &r.hist), 1);
    }
    EXPECT_EQ(r.db.Str("select group_concat(DID||':'||Fld) from tbSnmpDat"), "0:a,0:b");
    EXPECT_EQ(r.db.Int("select Val from tbSnmpDat where Fld='a'"), 3);
    EXPECT_EQ(r.hist.Int("select count(*) from tbSnmp where SID=21"), 3);
    EXPECT_EQ(r.hist.Int("select count(*) from tbSnmpDat where DID=0"), 0);
    EXPECT_EQ(r.hist.Str("select group_concat(d.DID||':'||d.Fld||'='||ifnull(d.Val,d.ValStr)) from "
                         "(select * from tbSnmpDat order by LID) d join tbSnmp m on d.DID=m.DID"),
              "1:a=1,1:b=x,2:a=2,2:b=x,3:a=3,3:b=x");
}

// Without a main database only the history row and its detail rows are written.
TEST(SnmpPubStore, HistoryWithoutMainDatabase) {
    Rig r;
    ASSERT_NE(r.Make(""), nullptr);
    r.h->SetDb(nullptr, 0);
    r.h->DoItem(r.item, 0);
    r.h->Ini().SetValue("vals", "a", "4");
    EXPECT_EQ(r.h->DataUpd(0, nullptr, nullptr, -1, &r.hist), 1);
    EXPECT_EQ(r.db.Int("select count(*) from tbSnmpDat"), 0);
    EXPECT_EQ(r.db.Int("select State from tbSnmp where SID=21"), -1);
    EXPECT_EQ(r.hist.Str("select m.State||'/'||d.Fld||'='||d.Val from tbSnmpDat d join tbSnmp m "
                         "on d.DID=m.DID"),
              "2/a=4");
}

TEST(SnmpPubStore, TablesOfTheEngine) {
    Rig r;
    ASSERT_NE(r.Make(""), nullptr);
    for (TestDb* db : {&r.db, &r.hist}) {
        EXPECT_EQ(db->Str("select sql from sqlite_master where name='tbSnmp'"),
                  "CREATE TABLE tbSnmp(DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTGER,"
                  "Addr INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER)");
        EXPECT_EQ(db->Str("select sql from sqlite_master where name='tbSnmpDat'"),
                  "CREATE TABLE tbSnmpDat(LID INTEGER PRIMARY KEY,DID INTEGER,SID INTEGER,"
                  "Fld VARCHAR(64),Val INTEGER,ValStr VARCHAR(128))");
    }
    EXPECT_EQ(r.db.Int("select State from tbSnmp where SID=21"), -1);
    r.h->SetDb(nullptr, 0);
    EXPECT_EQ(r.h->ChkDb(r.item), 0);
}

}  // namespace
