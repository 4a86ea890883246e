// The server monitor through the static library: against the scripted agent (table layouts,
// no progress, silence, texts), against net-snmp's snmpd with overridden scalars, and
// against snmpd's own host tables as it serves them on this machine; the rows in SQLite.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "PointItem.h"
#include "TestDb.h"
#include "engines/SMSnmpSvr.h"
#include "gtest/gtest.h"
#include "support/SnmpScriptAgent.h"
#include "support/SnmpdAgent.h"

using qxtest::OidOf;
using qxtest::SnmpOid;
using qxtest::SnmpReply;
using qxtest::SnmpRequest;
using qxtest::SnmpScriptAgent;
using qxtest::SnmpValue;

namespace {

typedef std::map<SnmpOid, SnmpValue> Mib;

const char kCpu[] = "1.3.6.1.2.1.25.3.3.1";
const char kStor[] = "1.3.6.1.2.1.25.2.3.1";

SnmpOid Cell(const char* entry, uint32_t column, uint32_t row) {
    SnmpOid o = OidOf(entry);
    o.push_back(column);
    o.push_back(row);
    return o;
}

// A server: name, uptime, processes, ip counters, processors (index -> load) and storage
// areas (index -> description, units, size, used, failures).
struct Server {
    std::string name = "srv-01";
    uint32_t ticks = 9650405;  // 1 day 2:48:24.05
    uint32_t procs = 87;
    std::vector<std::pair<uint32_t, int>> cpus;
    struct Stor {
        uint32_t index;
        std::string descr;
        int units, size, used, fail;
    };
    std::vector<Stor> stors;

    Mib Objects() const {
        Mib m;
        m[OidOf("1.3.6.1.2.1.1.1.0")] = SnmpValue::Octets("descr");
        m[OidOf("1.3.6.1.2.1.1.5.0")] = SnmpValue::Octets(name);
        m[OidOf("1.3.6.1.2.1.25.1.1.0")] = SnmpValue::TimeTicks(ticks);
        m[OidOf("1.3.6.1.2.1.25.1.6.0")] = SnmpValue::Gauge32(procs);
        const int ip[6] = {3, 4, 5, 10, 11, 12};
        for (int i = 0; i < 6; i++)
            m[OidOf(("1.3.6.1.2.1.4." + std::to_string(ip[i]) + ".0").c_str())] =
                SnmpValue::Counter32(1000u + (uint32_t)i);
        for (auto& c : cpus) {
            m[Cell(kCpu, 1, c.first)] = SnmpValue::ObjectId("0.0");
            m[Cell(kCpu, 2, c.first)] = SnmpValue::Int(c.second);
        }
        for (const Stor& s : stors) {
            m[Cell(kStor, 1, s.index)] = SnmpValue::Int((int)s.index);
            m[Cell(kStor, 3, s.index)] = SnmpValue::Octets(s.descr);
            m[Cell(kStor, 4, s.index)] = SnmpValue::Int(s.units);
            m[Cell(kStor, 5, s.index)] = SnmpValue::Int(s.size);
            m[Cell(kStor, 6, s.index)] = SnmpValue::Int(s.used);
            m[Cell(kStor, 7, s.index)] = SnmpValue::Counter32((uint32_t)s.fail);
        }
        m[OidOf("1.3.6.1.2.1.25.4.1.0")] = SnmpValue::Int(0);  // after the tables
        return m;
    }
};

struct Rig {
    TestDb db, hist;
    qxhost::PointItem item{31, 0xE10};
    std::unique_ptr<CSMSnmpSvr, void (*)(CSMSnmpSvr*)> h{new CSMSnmpSvr, [](CSMSnmpSvr* p) { delete p; }};

    explicit Rig(int port, const char* community = "public") {
        std::string addr = "snmp127.0.0.1:" + std::to_string(port) + ":" + community;
        item.Name("server").Addr(1).AddrText(addr.c_str());
        h->SetDb(&db, 0);
        h->RegDb(&db, 0);
        EXPECT_EQ(h->ChkDb(item), 1);
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(31,3600,-1)");
    }
    int Poll() {
        h->DoItem(item, 0);
        return h->DataGet(nullptr, 1, 0);
    }
    int Store(bool answered = true) {
        int bits = 0;
        return h->DataUpd(0, answered ? &bits : nullptr, nullptr, -1, &hist);
    }
    // "Fld=value" of every tbSvrDat row in field order (texts quoted).
    std::string Rows() {
        return db.Str("select group_concat(v,' ') from (select Fld||'='||coalesce(Val,''''||ValStr||'''') v "
                      "from tbSvrDat where SID=31 order by Fld)");
    }
    std::string Fld(int f) {
        return db.Str("select coalesce(Val,ValStr) from tbSvrDat where SID=31 and Fld=" + std::to_string(f));
    }
};

const char kHead[] = "1='srv-01' 2='1 day 2:48:24.05' 3=96504 4=87 5=1000 6=1001 7=1002 8=1003 9=1004 10=1005";

TEST(SnmpSvr, ProcessorsAndStorageIntoTheirFields) {
    struct Case {
        const char* name;
        std::vector<std::pair<uint32_t, int>> cpus;
        std::vector<Server::Stor> stors;
        const char* rows;  // after the head
    } cases[] = {
        {"indexes from 1", {{1, 5}, {2, 7}, {3, 3}, {4, 9}},
         {{1, "X:\\ Label", 4096, 1000, 250, 0}, {2, "Physical Memory", 1024, 8000, 6000, 0}},
         "11=4 12=2 13=5 14=7 15=3 16=9 17='X:  Label' 18=4096 19=1000 20=250 21=0 "
         "22='Physical Memory' 23=1024 24=8000 25=6000 26=0"},
        // Rows take slots as they arrive, whatever the agent numbers them.
        {"indexes from 2", {{2, 5}, {3, 7}, {4, 3}, {5, 9}}, {}, "11=4 12=0 13=5 14=7 15=3 16=9"},
        {"indexes as snmpd gives them", {{196608, 12}, {196609, 40}},
         {{34, "/dev/shm", 4096, 100, 1, 0}, {36, "/", 4096, 500, 250, 2}},
         "11=2 12=2 13=12 14=40 15='/dev/shm' 16=4096 17=100 18=1 19=0 20='/' 21=4096 22=500 23=250 24=2"},
        {"none", {}, {}, "11=0 12=0"},
        // A quote is stored as it is; the third character only when it is a backslash.
        {"texts", {}, {{1, "it's", 1, 2, 3, 4}, {2, "a\\b\\c", 1, 2, 3, 4}},
         "11=0 12=2 13='it's' 14=1 15=2 16=3 17=4 18='a\\b\\c' 19=1 20=2 21=3 22=4"},
    };
    for (const Case& c : cases) {
        Server s;
        s.cpus = c.cpus;
        s.stors = c.stors;
        SnmpScriptAgent agent(SnmpScriptAgent::Table(s.Objects()));
        Rig r(agent.port());
        EXPECT_EQ(r.Poll(), 1) << c.name;
        EXPECT_EQ(r.Store(), 1) << c.name;
        EXPECT_EQ(r.Rows(), std::string(kHead) + " " + c.rows) << c.name;
        EXPECT_EQ(Hex(r.db.Str("select Brief from tbSMBrief where SID=31")),
                  Hex("\xC9\xE8\xB1\xB8: srv-01 \xD4\xCB\xD0\xD0: 1 day 2:48:24.05")) << c.name;
        EXPECT_EQ(r.db.Int("select State from tbSvr where SID=31"), 0);
        EXPECT_EQ(r.db.Int("select State from tbSubSysDetail where SID=31"), 0);
        EXPECT_EQ(r.hist.Int("select count(*) from sqlite_master where name='tbSvr'"), 0) << "no history";
    }
}

TEST(SnmpSvr, TablesAreBoundedAndTextsCut) {
    Server s;
    s.name = std::string(40, 'n');
    for (uint32_t i = 0; i < 70; i++) s.cpus.push_back({1000 + i, (int)i});
    for (uint32_t i = 0; i < 40; i++) s.stors.push_back({i + 1, std::string(80, 'd'), 1, 2, 3, 4});
    SnmpScriptAgent agent(SnmpScriptAgent::Table(s.Objects()));
    Rig r(agent.port());
    EXPECT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Store(), 1);
    EXPECT_EQ(r.Fld(1), std::string(31, 'n'));
    EXPECT_EQ(r.Fld(11), "64");
    EXPECT_EQ(r.Fld(12), "32");
    EXPECT_EQ(r.Fld(13 + 63), "63");  // the 64th processor; the rest ignored
    EXPECT_EQ(r.Fld(13 + 64), std::string(63, 'd'));
    EXPECT_EQ(r.db.Int("select count(*) from tbSvrDat where SID=31"), 12 + 64 + 5 * 32);
}

// One server's rows never appear under the next one polled by the same handler.
TEST(SnmpSvr, EveryPollStartsEmpty) {
    Server a, b;
    a.cpus = {{1, 50}, {2, 60}, {3, 70}};
    a.stors = {{1, "A-disk", 1, 2, 3, 4}, {2, "A-mem", 1, 2, 3, 4}};
    b.name = "srv-02";
    b.cpus = {{1, 10}};
    SnmpScriptAgent agentA(SnmpScriptAgent::Table(a.Objects()));
    SnmpScriptAgent agentB(SnmpScriptAgent::Table(b.Objects()));
    Rig r(agentA.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.h->m_iCpuCnt, 3);
    qxhost::PointItem other(32, 0xE10);
    std::string addr = "snmp127.0.0.1:" + std::to_string(agentB.port()) + ":public";
    other.AddrText(addr.c_str());
    r.h->DoItem(other, 0);
    ASSERT_EQ(r.h->DataGet(nullptr, 1, 0), 1);
    EXPECT_STREQ(r.h->m_sysName, "srv-02");
    EXPECT_EQ(r.h->m_iCpuCnt, 1);
    EXPECT_EQ(r.h->m_iStorCnt, 0);
    EXPECT_EQ(r.h->m_iCpuLoad[1], 0);
    EXPECT_EQ(r.h->m_storDescr[0][0], '\0');
    EXPECT_EQ(r.h->m_stor[1][2], 0);
}

// Walks end when the agent makes no progress; a silent agent costs one request and is no
// answer.
TEST(SnmpSvr, AgentsThatMisbehave) {
    Server s;
    s.cpus = {{1, 5}, {2, 7}};
    const Mib mib = s.Objects();
    auto table = SnmpScriptAgent::Table(mib);
    struct Case {
        const char* name;
        std::function<SnmpReply(const SnmpRequest&)> script;
        int result;
        int maxRequests;
        int cpus;  // processors stored
    } cases[] = {
        {"same row again", [&](const SnmpRequest& rq) {
             if (rq.pduType != qxtest::kPduGet)
                 return SnmpReply::With({{Cell(kCpu, 2, 1), SnmpValue::Int(5)}});
             return table(rq);
         }, 1, 9 + 2 * 2, 1},
        {"going back", [&](const SnmpRequest& rq) {
             if (rq.pduType != qxtest::kPduGet && rq.oids[0] > Cell(kCpu, 2, 1))
                 return SnmpReply::With({{Cell(kCpu, 1, 1), SnmpValue::Int(5)}});
             return table(rq);
         }, 1, 9 + 6, 2},
        {"empty response", [&](const SnmpRequest& rq) {
             if (rq.pduType != qxtest::kPduGet) return SnmpReply::Empty();
             return table(rq);
         }, 1, 9 + 2, 0},
        {"silent", [](const SnmpRequest&) { return SnmpReply::Silence(); }, 0, 2, 0},
    };
    for (const Case& c : cases) {
        SnmpScriptAgent agent(c.script);
        Rig r(agent.port());
        EXPECT_EQ(r.Poll(), c.result) << c.name;
        EXPECT_LE((int)agent.requests().size(), c.maxRequests) << c.name;
        EXPECT_EQ(r.Store(c.result == 1), 1) << c.name;
        if (c.result) {
            EXPECT_EQ(r.Fld(11), std::to_string(c.cpus)) << c.name;
            if (c.cpus) {
                EXPECT_EQ(r.Fld(13), "5") << c.name;
            }
        } else {
            EXPECT_EQ(r.Rows(), "1='' 2='' 3=0 4=0 5=0 6=0 7=0 8=0 9=0 10=0 11=0 12=0") << c.name;
            EXPECT_EQ(r.db.Int("select State from tbSvr where SID=31"), 2);
        }
    }
}

TEST(SnmpSvr, CallsWithoutWhatTheyNeed) {
    CSMSnmpSvr* h = new CSMSnmpSvr;
    EXPECT_EQ(h->DataGet(nullptr, 1, 0), 0);  // no current item
    EXPECT_EQ(h->ChkDb(nullptr), 0);           // no database
    EXPECT_EQ(h->DataUpd(0, nullptr, nullptr, 5, nullptr), 1);
    qxhost::PointItem bad(1, 0xE10);
    bad.AddrText("snmp127.0.0.1:70000");
    h->DoItem(bad, 0);
    EXPECT_EQ(h->DataGet(nullptr, 1, 0), 0);
    EXPECT_EQ(h->DataSize(), 0);
    EXPECT_EQ(h->DataVal(1), -1);
    EXPECT_STREQ(h->GetNote(), "QX-SVRWIN");
    TestDb db;
    h->RegDb(&db, 1);
    EXPECT_EQ(db.Str("select Kind||'/'||Name from tbSMType where Type=3600"), "3584/SVR QX-SVRWIN");
    EXPECT_EQ(db.Int("select count(*) from tbSMDef where Type=3600"), 0);
    delete h;
}

// ---------------------------------------------------------------- net-snmp's agent

TEST(SnmpSvrSnmpd, OverriddenScalars) {
    if (qxtest::SnmpdAgent::Program().empty()) GTEST_SKIP() << "snmpd is not installed";
    qxtest::SnmpdAgent agent;
    std::string why;
    ASSERT_TRUE(agent.Start("override .1.3.6.1.2.1.1.5.0 octet_str \"it's-srv\"\n"
                            "override .1.3.6.1.2.1.25.1.1.0 timeticks 9650405\n"
                            "override .1.3.6.1.2.1.25.1.6.0 uinteger 123\n"
                            "override .1.3.6.1.2.1.4.3.0 counter 4000000000\n"
                            "override .1.3.6.1.2.1.4.12.0 counter 7\n",
                            &why))
        << why;
    Rig r(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    EXPECT_EQ(r.Store(), 1);
    EXPECT_EQ(r.Fld(1), "it's-srv");
    EXPECT_EQ(r.Fld(2), "1 day 2:48:24.05");
    EXPECT_EQ(r.Fld(3), "96504");
    EXPECT_EQ(r.Fld(4), "123");
    EXPECT_EQ(r.Fld(5), "2147483647");  // a counter beyond int is held to it
    EXPECT_EQ(r.Fld(10), "7");

    // The wrong community: the agent stays silent, the poll is no answer.
    Rig wrong(agent.port(), "secret");
    EXPECT_EQ(wrong.Poll(), 0);
}

// The numbers of the rows under a subtree's columns, by a plain GETNEXT walk of our own.
std::map<uint32_t, std::set<uint32_t>> Columns(uint16_t port, const char* entry) {
    std::map<uint32_t, std::set<uint32_t>> out;
    const SnmpOid base = OidOf(entry);
    SnmpOid cur = base;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    for (int i = 0; i < 2000; i++) {
        auto msg = SnmpScriptAgent::EncodeMessage(1, "public", qxtest::kPduGetNext, 100 + i, 0, 0,
                                                  {{cur, SnmpValue::Null()}});
        sendto(fd, msg.data(), msg.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 2000) <= 0) break;
        uint8_t buf[4096];
        ssize_t n = recv(fd, buf, sizeof buf, 0);
        SnmpRequest rs;
        if (n <= 0 || !SnmpScriptAgent::DecodeRequest(buf, (size_t)n, rs) || rs.oids.empty()) break;
        const SnmpOid& o = rs.oids[0];
        if (o.size() < base.size() + 2 || !std::equal(base.begin(), base.end(), o.begin()) || !(cur < o)) break;
        out[o[base.size()]].insert(o[base.size() + 1]);
        cur = o;
    }
    close(fd);
    return out;
}

TEST(SnmpSvrSnmpd, HostTablesAsSnmpdServesThem) {
    if (qxtest::SnmpdAgent::Program().empty()) GTEST_SKIP() << "snmpd is not installed";
    qxtest::SnmpdAgent agent;
    std::string why;
    ASSERT_TRUE(agent.Start("", &why)) << why;
    Rig r(agent.port());
    ASSERT_EQ(r.Poll(), 1);
    ASSERT_EQ(r.Store(), 1);

    auto cpu = Columns(agent.port(), kCpu);
    auto stor = Columns(agent.port(), kStor);
    std::set<uint32_t> storIndexes;
    for (auto& col : stor)
        if (col.first <= 7) storIndexes.insert(col.second.begin(), col.second.end());
    const int P = std::min<int>((int)cpu[2].size(), CSMSnmpSvr::kMaxCpu);
    const int S = std::min<int>((int)storIndexes.size(), CSMSnmpSvr::kMaxStor);
    EXPECT_EQ(r.Fld(11), std::to_string(P));
    EXPECT_EQ(r.Fld(12), std::to_string(S));
    EXPECT_EQ(r.db.Int("select count(*) from tbSvrDat where SID=31"), 12 + P + 5 * S);
    for (int j = 0; j < S; j++) {
        int f = 13 + P + 5 * j;
        EXPECT_NE(r.Fld(f), "") << "storage " << j + 1;
        EXPECT_GE(r.db.Int("select Val from tbSvrDat where SID=31 and Fld=" + std::to_string(f + 2)), 0);
    }
    for (int i = 0; i < P; i++) {
        long long load = r.db.Int("select Val from tbSvrDat where SID=31 and Fld=" + std::to_string(13 + i));
        EXPECT_GE(load, 0);
        EXPECT_LE(load, 100);
    }
    EXPECT_GT(r.db.Int("select Val from tbSvrDat where SID=31 and Fld=4"), 0);  // processes
}

}  // namespace
