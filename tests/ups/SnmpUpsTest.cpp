// The SNMP UPS drivers and the SNMP air-conditioner against real agents on port 161: net-snmp's
// snmpd with every driver's objects, the scripted agent for faults, and a host where nothing
// listens. The test process runs in a network namespace of its own (see SnmpUpsAgent.h).
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <memory>
#include <string>

#include "GbkText.h"
#include "PointItem.h"
#include "SnmpUpsAgent.h"
#include "TestDb.h"
#include "aircon/SMSnmpCyberPex.h"
#include "engines/SnmpPoll.h"
#include "gtest/gtest.h"
#include "support/NetNamespace.h"
#include "ups/SMSnmpUpsIta0510k.h"
#include "ups/SMSnmpUpsIta1620k.h"
#include "ups/SMSnmpUpsMgG5000.h"
#include "ups/SMSnmpUpsPowerNet.h"
#include "ups/SMSnmpUpsPowerNet3.h"
#include "ups/SMSnmpUpsWebpow.h"
#include "ups/SMSnmpUpsZh20kl.h"

using namespace snmpups;

namespace {

// A handler of the library, its point and what a poll printed.
template <class H>
struct Rig {
    std::unique_ptr<H, void (*)(H*)> h{new H, [](H* p) { delete p; }};
    qxhost::PointItem item;
    std::string out;
    double seconds = 0;
    explicit Rig(int sid = 7, const char* addr = kLive) : item(sid, h->GetType()) { item.AddrText(addr); }
    int Poll() {
        h->DoItem(item, 0);
        fflush(stdout);
        testing::internal::CaptureStdout();
        auto t0 = std::chrono::steady_clock::now();
        int r = h->DataGet(nullptr, 0, 0);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        fflush(stdout);
        out = testing::internal::GetCapturedStdout();
        return r;
    }
    int Val(int f) { return h->DataVal(f); }
    std::string Eval(const char* key) {
        char text[64];
        snprintf(text, sizeof text, "%s", key);
        int n = h->VarEval(text);
        return n < 0 ? "-1" : std::string(text) + "/" + std::to_string(n);
    }
    bool Printed(const std::string& s) const { return out.find(s) != std::string::npos; }
};

class SnmpUps : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_AGENTS_ON_161(); }
};

// Three fields expected as a, b, c.
#define EXPECT_PHASES(rig, f1, a, b, c)          \
    do {                                         \
        EXPECT_EQ((rig).Val(f1), (a)) << #f1;    \
        EXPECT_EQ((rig).Val(f1 + 1), (b)) << #f1; \
        EXPECT_EQ((rig).Val(f1 + 2), (c)) << #f1; \
    } while (0)

TEST(SnmpPollHost, AddressTexts) {
    struct Case {
        const char* text;
        const char* host;  // null: refused
    } cases[] = {
        {"udp:127.0.0.1:1161:x", "127.0.0.1"},
        {"snmp192.168.1.20:161", "192.168.1.20"},
        {"udp:192.168.1.20", "192.168.1.20"},       // no ':' at all
        {"udp:192.168.100.200", "192.168.100.200"}, // 15 characters
        {"udp:192.168.100.2001", nullptr},          // 16
        {"udp:", nullptr},                          // empty host
        {"udp::161", nullptr},
        {"ud:127.0.0.1", "27.0.0.1"},               // the prefix is four characters, whatever
        {"snmp:127.0.0.1", nullptr},                // they are
        {"udp", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        char host[qx::SnmpPoll::kMaxHost + 1];
        EXPECT_EQ(qx::SnmpPoll::HostOf(c.text, strlen(c.text) + 1, host), c.host != nullptr) << c.text;
        EXPECT_STREQ(host, c.host ? c.host : "") << c.text;
    }
    // A text that fills its field without a terminator is read no further than the field.
    char full[64];
    memset(full, '7', sizeof full);
    char host[qx::SnmpPoll::kMaxHost + 1];
    EXPECT_FALSE(qx::SnmpPoll::HostOf(full, sizeof full, host));
    memcpy(full, "udp:1.2.3.4:", 12);
    EXPECT_TRUE(qx::SnmpPoll::HostOf(full, sizeof full, host));
    EXPECT_STREQ(host, "1.2.3.4");
    EXPECT_FALSE(qx::SnmpPoll::HostOf(nullptr, 64, host));
}

TEST(SnmpPollHost, RefusedPointsSendNothing) {
    for (const char* text : {"snmp:161", "udp:", "udp:192.168.100.2001", "udp:no.such.host.x"}) {
        // A name goes to the resolver: only where the namespace keeps it off every network.
        if (text[4] == 'n' && !NoNamespace().empty()) continue;
        Rig<CSMSnmpUpsZh20kl> z(7, text);
        EXPECT_EQ(z.Poll(), 0) << text;
        EXPECT_LT(z.seconds, 1.0) << text;
        EXPECT_FALSE(z.Printed("SNMP.get")) << z.out;
    }
    Rig<CSMSnmpUpsWebpow> w;
    EXPECT_EQ(w.h->DataGet(nullptr, 0, 0), 0);  // no current point
}

TEST_F(SnmpUps, WebpowTablesAndScalars) {
    Rig<CSMSnmpUpsWebpow> w;
    ASSERT_EQ(w.Poll(), 1) << w.out;
    EXPECT_TRUE(w.Printed("SNMP.def udp:127.0.0.1:1161:x\n"));
    EXPECT_TRUE(w.Printed("SNMP.dst 127.0.0.1\n"));
    EXPECT_TRUE(w.Printed("SNMP.get_vb_cnt 1\n"));
    EXPECT_PHASES(w, kExFin1, 201, 202, 203);
    EXPECT_PHASES(w, kExVin1, 301, 302, 303);
    EXPECT_PHASES(w, kExIin1, 601, 602, 603);
    EXPECT_PHASES(w, kExV1, 701, 702, 703);
    // Row 4 is printed and stored nowhere.
    EXPECT_TRUE(w.Printed("SNMP Phase 3.4 = 304\r\n")) << w.out;
    EXPECT_EQ(w.Val(kExPbatt), 95);
    EXPECT_EQ(w.Val(kExTem), 31);
    EXPECT_EQ(w.Val(kExMbatt), 40);
    EXPECT_EQ(w.Val(kExVdc), 0);  // the agent has no such object
    EXPECT_EQ(w.Val(kExVbatt), 2700);
    EXPECT_PHASES(w, kExFout1, 500, 500, 500);
    // Output table of twelve rows: every column past the tenth binding is read.
    EXPECT_PHASES(w, kExVout1, 2201, 2202, 2203);
    EXPECT_PHASES(w, kExIout1, 2301, 2302, 2303);
    EXPECT_PHASES(w, kExPout1, 25010, 25020, 25030);
    EXPECT_TRUE(w.Printed("SNMP Phase 5.12 = 2512\r\n"));
    EXPECT_EQ(w.Val(kExFB1), 499);
    EXPECT_EQ(w.Val(kExFB3), 499);
    EXPECT_PHASES(w, kExVB1, 3201, 3202, 3203);
    EXPECT_PHASES(w, kExIB1, 3301, 3302, 3303);  // the bypass table's, not the output's
    EXPECT_EQ(w.Val(kExStatus), 0);
    EXPECT_EQ(w.Val(kExV4), 0);
}

TEST_F(SnmpUps, PowerNet3PhasesByRow) {
    Rig<CSMSnmpUpsPowerNet3> p;
    ASSERT_EQ(p.Poll(), 1) << p.out;
    EXPECT_PHASES(p, kExFin1, 500, 500, 500);
    EXPECT_PHASES(p, kExVin1, 5301, 5302, 5303);
    EXPECT_PHASES(p, kExIin1, 5601, 5602, 5603);
    EXPECT_PHASES(p, kExV1, 5901, 5902, 5903);
    EXPECT_TRUE(p.Printed("SNMP Phase 3.4 = 5304\r\n"));
    EXPECT_EQ(p.Val(kExPbatt), 980);
    EXPECT_EQ(p.Val(kExTem), 300);
    EXPECT_EQ(p.Val(kExMbatt), 450);
    EXPECT_EQ(p.Val(kExVdc), 2200);
    EXPECT_EQ(p.Val(kExVbatt), 270);
    EXPECT_PHASES(p, kExFout1, 490, 490, 490);
    // Every mapped column of a three-row table lands at its row's phase.
    EXPECT_PHASES(p, kExVout1, 6301, 6302, 6303);
    EXPECT_PHASES(p, kExIout1, 6401, 6402, 6403);
    EXPECT_PHASES(p, kExVB1, 6701, 6702, 6703);
    EXPECT_PHASES(p, kExPout1, 7001, 7002, 7003);
    EXPECT_PHASES(p, kExIB1, 7301, 7302, 7303);
    EXPECT_PHASES(p, kExFB1, 7601, 7602, 7603);
    EXPECT_EQ(p.Val(kExVed), 80);
    EXPECT_EQ(p.Val(kExAed), 90);
    EXPECT_EQ(p.Val(kExV4), 100);
    EXPECT_EQ(p.Val(kExStatus), 511);  // the whole integer
    EXPECT_EQ(p.Val(kExB0), 0);
}

TEST_F(SnmpUps, Zh20klBothSets) {
    Rig<CSMSnmpUpsZh20kl> z;
    z.item.Variant(1);
    ASSERT_EQ(z.Poll(), 1) << z.out;
    EXPECT_EQ(z.Val(kExVin1), 1000);  // 100 times ten
    EXPECT_EQ(z.Val(kExFin1), 1010);
    EXPECT_EQ(z.Val(kExVin3), 1040);
    EXPECT_PHASES(z, kExVout1, 1060, 1080, 1100);
    EXPECT_PHASES(z, kExPout1, 1070, 1090, 1110);
    EXPECT_PHASES(z, kExFout1, 1120, 1130, 1140);
    EXPECT_PHASES(z, kExVB1, 1150, 1160, 1170);
    EXPECT_PHASES(z, kExFB1, 1180, 1190, 1200);
    EXPECT_EQ(z.Val(kExVbatt), 1210);
    EXPECT_EQ(z.Val(kExMbatt), 1240);
    EXPECT_EQ(z.Val(kExB0), 1);
    EXPECT_EQ(z.Val(kExB3), 1);
    EXPECT_EQ(z.Val(kExB1), 0);
    EXPECT_EQ(z.Val(kExStatus), 9);
    EXPECT_EQ(z.Val(kExIin1), 0);  // not in this set

    z.item.Variant(0);
    ASSERT_EQ(z.Poll(), 1) << z.out;
    EXPECT_PHASES(z, kExVin1, 400, 401, 402);  // as delivered
    EXPECT_PHASES(z, kExIin1, 403, 404, 405);
    EXPECT_PHASES(z, kExFin1, 406, 406, 406);
    EXPECT_PHASES(z, kExVout1, 407, 408, 409);
    EXPECT_PHASES(z, kExIout1, 410, 411, 412);
    EXPECT_PHASES(z, kExPout1, 413, 414, 415);
    EXPECT_PHASES(z, kExFout1, 416, 416, 416);
    EXPECT_PHASES(z, kExVB1, 417, 418, 419);
    EXPECT_PHASES(z, kExIB1, 420, 421, 422);
    EXPECT_PHASES(z, kExFB1, 423, 423, 423);
    EXPECT_EQ(z.Val(kExVbatt), 424);
    EXPECT_EQ(z.Val(kExPbatt), 425);
    EXPECT_EQ(z.Val(kExMbatt), 426);
    EXPECT_EQ(z.Val(kExTem), 427);
    // Flags 1, 2 and -1: each sets its own bit only, the fields keep what was delivered.
    EXPECT_EQ(z.Val(kExB0), 1);
    EXPECT_EQ(z.Val(kExB1), 2);
    EXPECT_EQ(z.Val(kExB3), -1);
    EXPECT_EQ(z.Val(kExStatus), 0x1 | 0x2 | 0x8);
}

TEST_F(SnmpUps, MgG5000LinesAsCounted) {
    Rig<CSMSnmpUpsMgG5000> m;
    ASSERT_EQ(m.Poll(), 1) << m.out;
    EXPECT_PHASES(m, kExVin1, 230, 0, 0);  // one input line: the second is not asked for
    EXPECT_EQ(m.Val(kExFin1), 50);
    EXPECT_EQ(m.Val(kExIin1), 11);
    EXPECT_PHASES(m, kExVout1, 221, 222, 223);
    EXPECT_PHASES(m, kExFout1, 50, 50, 50);
    EXPECT_PHASES(m, kExPout1, 31, 32, 33);
    EXPECT_PHASES(m, kExIout1, 11, 12, 13);
    EXPECT_EQ(m.Val(kExVbatt), 540);
    EXPECT_EQ(m.Val(kExTem), 25);
    EXPECT_EQ(m.Val(kExPbatt), 97);
    EXPECT_EQ(m.Val(kExMbatt), 33);
    EXPECT_EQ(m.Val(kExB1), 1);
    EXPECT_EQ(m.Val(kExB9), 1);
    EXPECT_EQ(m.Val(kExStatus), 2 + 512);
}

TEST_F(SnmpUps, MgG5000AsksAtMostThreeLines) {
    // Counts of 4 and of a million lines, and a negative one: three lines at most are asked.
    struct Case {
        int inputs, outputs;
        int inputGets, outputGets;
    } cases[] = {{4, 1000000, 9, 12}, {-2, 2, 0, 8}};
    for (const Case& c : cases) {
        auto objects = Objects();
        for (auto& o : objects) {
            if (o.oid == MGE "6.1.0") o.value = c.inputs;
            if (o.oid == MGE "7.1.0") o.value = c.outputs;
        }
        for (int r = 2; r <= 4; r++) {
            objects.push_back({Num(MGE "6.2.1.2.", r), 230 + r});
            objects.push_back({Num(MGE "6.2.1.3.", r), 50});
            objects.push_back({Num(MGE "6.2.1.6.", r), 10 + r});
        }
        objects.push_back({MGE "7.2.1.2.4", 999});
        qxtest::SnmpScriptAgent agent(qxtest::SnmpScriptAgent::Table(ScriptObjects(objects)), 161,
                                      kScriptedAddress);
        Rig<CSMSnmpUpsMgG5000> m(7, kScripted);
        ASSERT_EQ(m.Poll(), 1) << m.out;
        int in = 0, out = 0;
        for (const auto& rq : agent.requests()) {
            std::string oid = qxtest::OidText(rq.oids.at(0));
            if (oid.rfind("1.3.6.1.4.1.705.1.6.2.1.", 0) == 0) in++;
            if (oid.rfind("1.3.6.1.4.1.705.1.7.2.1.", 0) == 0) out++;
        }
        EXPECT_EQ(in, c.inputGets) << c.inputs;
        EXPECT_EQ(out, c.outputGets) << c.outputs;
        if (c.inputs > 0) EXPECT_PHASES(m, kExVin1, 230, 232, 233);
        else EXPECT_PHASES(m, kExVin1, 0, 0, 0);
    }
}

TEST_F(SnmpUps, Ita1620kNumbersOfThePattern) {
    Rig<CSMSnmpUpsIta1620k> t;
    ASSERT_EQ(t.Poll(), 1) << t.out;
    EXPECT_PHASES(t, kExVin1, 1004, 1005, 1006);
    EXPECT_PHASES(t, kExIin1, 1007, 1008, 1009);
    EXPECT_PHASES(t, kExVout1, 1016, 1017, 1018);
    EXPECT_PHASES(t, kExPout1, 1035, 1036, 1037);
    EXPECT_PHASES(t, kExIout1, 1019, 1020, 1021);
    EXPECT_PHASES(t, kExVB1, 1041, 1042, 1043);
    EXPECT_PHASES(t, kExFin1, 1010, 1010, 1010);
    EXPECT_PHASES(t, kExFout1, 1022, 1022, 1022);
    EXPECT_PHASES(t, kExFB1, 1044, 1044, 1044);
    EXPECT_EQ(t.Val(kExVbatt), 1045);
    EXPECT_EQ(t.Val(kExTem), 1051);
    EXPECT_EQ(t.Val(kExPbatt), 1049);
    EXPECT_EQ(t.Val(kExMbatt), 1050);
    EXPECT_EQ(t.Val(kExV2), 50);  // object 46 answers 5
    EXPECT_EQ(t.Val(kExB0), 6);
    EXPECT_EQ(t.Val(kExStatus), 6);
    EXPECT_TRUE(t.Printed("Iin2=1008\n")) << t.out;
    EXPECT_TRUE(t.Printed("VB3=1043\n"));
    EXPECT_TRUE(t.Printed("SNMP Iin=1007,1008,1009  Iout=1019,1020,1021 VB=1041,1042,1043\n"));
    EXPECT_STREQ(OIDA_ITA1620K, ".1.3.6.1.4.1.13400.2.27.2.4.%d.0");
    EXPECT_STREQ(OIDA_POWERNET, OIDA_ITA1620K);
    EXPECT_STREQ(OIDA_WEBPOW, ".1.3.6.1.4.1.2468.1.2.1.1.2.%d.0");
}

TEST_F(SnmpUps, PowerNetTimesTenIntoTbUps) {
    Rig<CSMSnmpUpsPowerNet> p;
    ASSERT_EQ(p.Poll(), 1) << p.out;
    const struct {
        int fld, value;
    } want[] = {
        {kUpsVin1, 2310}, {kUpsVin2, 2320}, {kUpsVin3, 2330}, {kUpsFin, 500}, {kUpsV1, 70},
        {kUpsPbatt, 980}, {kUpsTem, 300},   {kUpsMbatt, 450}, {kUpsVdc, 2200}, {kUpsVbatt, 270},
        {kUpsVout, 2290}, {kUpsFout, 490},  {kUpsPout, 350},  {kUpsAout, 120}, {kUpsV2, 80},
        {kUpsV3, 90},     {kUpsV4, 100},    {kUpsStatus, 255}, {kUpsB0, 0},    {kUpsVed, 0},
    };
    for (auto& w : want) EXPECT_EQ(p.Val(w.fld), w.value) << w.fld;
    EXPECT_EQ(p.Eval(".Vin"), "231.0/5");
}

TEST_F(SnmpUps, Ita0510kOneRequest) {
    Rig<CSMSnmpUpsIta0510k> t;
    ASSERT_EQ(t.Poll(), 1) << t.out;
    EXPECT_TRUE(t.Printed("UpsIta0510k upsState 3\n")) << t.out;
    EXPECT_FALSE(t.Printed("SNMP.get_vb_cnt"));
    const struct {
        int fld, value;
    } want[] = {
        {kUpsStatus, 3}, {kUpsB7, 0},       {kUpsVin1, 23000}, {kUpsVin2, 23100},
        {kUpsVin3, 23200}, {kUpsFin, 5000}, {kUpsVout, 0},     {kUpsAout, 1200},
        {kUpsFout, 5000}, {kUpsV1, 800},    {kUpsV2, 900},     {kUpsPout, 3500},
        {kUpsV3, 22800}, {kUpsV4, 100},     {kUpsFed, 5000},   {kUpsVbatt, 5400},
        {kUpsPbatt, 98},
    };
    for (auto& w : want) EXPECT_EQ(t.Val(w.fld), w.value) << w.fld;  // Vout: an octet string
}

TEST_F(SnmpUps, PexValuesAndKeys) {
    Rig<CSMSnmpCyberPex> x;
    ASSERT_EQ(x.Poll(), 1) << x.out;
    EXPECT_FALSE(x.Printed("SNMP.get_vb_cnt"));
    EXPECT_EQ(x.Val(0), 0);
    EXPECT_EQ(x.Val(1), 235);
    EXPECT_EQ(x.Val(5), 456);
    EXPECT_EQ(x.Val(2), 20);
    EXPECT_EQ(x.Val(26), 260);
    EXPECT_EQ(x.Val(27), -1);
    EXPECT_EQ(x.Val(-1), -1);
    EXPECT_EQ(x.Eval(".tem"), "23.5/4");
    EXPECT_EQ(x.Eval(".humL"), "12.0/4");
    EXPECT_EQ(x.Eval(".stRun"), "3/1");
    EXPECT_EQ(x.Eval(".xqJs"), "260/3");
    EXPECT_EQ(x.Eval(".STRUN"), "-1");
}

// ---------------------------------------------------------------- storing

// The host marks a point in alarm (flag bit 0) without passing alarm bits of its own: the
// drivers keep the poll's values and hand their shape zeroed bits, as many words as their
// fields take (35 fields of the tbUps shape: two words), so that the alarm captions read
// nothing beyond them (the sanitizer build catches a read past a single word).
TEST(SnmpUpsStore, AlarmWithoutBitsKeepsTheValuesAndReadsNoFurther) {
    struct Case {
        std::unique_ptr<CSMBase> h;
        const char* table;
    } cases[] = {
        {std::unique_ptr<CSMBase>(new CSMSnmpUpsPowerNet), "tbUps"},
        {std::unique_ptr<CSMBase>(new CSMSnmpUpsIta0510k), "tbUps"},
        {std::unique_ptr<CSMBase>(new CSMSnmpCyberPex), "tbCyberPexS"},
    };
    for (Case& c : cases) {
        TestDb db;
        qxhost::PointItem item(9, c.h->GetType());
        item.AddrText(kDead);
        c.h->SetDb(&db, 0);
        c.h->RegDb(&db, 0);
        ASSERT_EQ(1, c.h->ChkDb(item)) << c.table;
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(9," + std::to_string(c.h->GetType()) + ",-1)");
        c.h->DoItem(item, 0);
        EXPECT_EQ(1, c.h->DataUpd(1, nullptr, nullptr, -1, nullptr)) << c.table;
        EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=9")) << c.table;
        EXPECT_EQ(1, db.Int(std::string("select State from ") + c.table + " where SID=9")) << c.table;
        const std::string brief = qxtest::Utf8(db.Str("select Brief from tbSMBrief where SID=9"));
        EXPECT_EQ(std::string::npos, brief.find("告警")) << c.table << ": " << brief;
        EXPECT_EQ(0, db.Failures()) << db.Error();
    }
}

// ---------------------------------------------------------------- failures

// The scripted agent with every object, and a fault on chosen requests.
qxtest::SnmpScriptAgent::Script Faulty(bool answerWalks, bool answerGets) {
    auto table = qxtest::SnmpScriptAgent::Table(ScriptObjects(Objects()));
    return [=](const qxtest::SnmpRequest& rq) {
        bool walk = rq.pduType != qxtest::kPduGet;
        if ((walk && !answerWalks) || (!walk && !answerGets)) return qxtest::SnmpReply::Silence();
        return table(rq);
    };
}

TEST_F(SnmpUps, AgentWithoutGetNext) {
    qxtest::SnmpScriptAgent agent(Faulty(false, true), 161, kScriptedAddress);
    Rig<CSMSnmpUpsWebpow> w(7, kScripted);
    ASSERT_EQ(w.Poll(), 1) << w.out;
    EXPECT_PHASES(w, kExVin1, 0, 0, 0);
    EXPECT_PHASES(w, kExVout1, 0, 0, 0);
    EXPECT_PHASES(w, kExVB1, 0, 0, 0);
    EXPECT_EQ(w.Val(kExPbatt), 95);
    EXPECT_EQ(w.Val(kExVbatt), 2700);
    EXPECT_PHASES(w, kExFout1, 500, 500, 500);
    EXPECT_PHASES(w, kExFB1, 499, 499, 499);
    // One walk waits for its time-out; the later walks are not tried.
    int walks = 0;
    for (const auto& rq : agent.requests()) walks += rq.pduType != qxtest::kPduGet;
    EXPECT_LE(walks, 2);  // the request and its one retry
    EXPECT_LT(w.seconds, 3.5);

    Rig<CSMSnmpUpsPowerNet3> p(7, kScripted);
    ASSERT_EQ(p.Poll(), 1) << p.out;
    EXPECT_PHASES(p, kExVin1, 0, 0, 0);
    EXPECT_PHASES(p, kExIB1, 0, 0, 0);
    EXPECT_PHASES(p, kExFin1, 500, 500, 500);
    EXPECT_EQ(p.Val(kExTem), 300);
    EXPECT_EQ(p.Val(kExV4), 100);
    EXPECT_EQ(p.Val(kExStatus), 511);
}

// A silent agent and a host where nothing listens: no answer is 0, after one time-out (two
// where the poll opens with a walk), never one per request.
template <class H>
void ExpectNoAnswer(const char* addr, double within, int variant = 0) {
    Rig<H> r(7, addr);
    r.item.Variant(variant);
    EXPECT_EQ(r.Poll(), 0) << addr << "\n" << r.out;
    EXPECT_LT(r.seconds, within) << addr;
    EXPECT_TRUE(r.Printed("not reached: no further request this poll")) << r.out;
}

TEST_F(SnmpUps, NoAnswerEndsThePoll) {
    qxtest::SnmpScriptAgent silent(Faulty(false, false), 161, kScriptedAddress);
    for (const char* addr : {kScripted, kDead}) {
        ExpectNoAnswer<CSMSnmpUpsWebpow>(addr, 5.0);
        ExpectNoAnswer<CSMSnmpUpsZh20kl>(addr, 3.0, 1);
    }
    ExpectNoAnswer<CSMSnmpUpsZh20kl>(kDead, 3.0, 0);
    ExpectNoAnswer<CSMSnmpUpsPowerNet>(kDead, 3.0);
    ExpectNoAnswer<CSMSnmpUpsPowerNet3>(kDead, 3.0);
    ExpectNoAnswer<CSMSnmpUpsMgG5000>(kDead, 3.0);
    ExpectNoAnswer<CSMSnmpUpsIta1620k>(kDead, 3.0);
    ExpectNoAnswer<CSMSnmpUpsIta0510k>(kDead, 3.0);
    ExpectNoAnswer<CSMSnmpCyberPex>(kScripted, 3.0);
}

TEST_F(SnmpUps, MissingObjectsStoreZero) {
    // A version-1 agent answers noSuchName for an object it does not have: that object's fields
    // are 0 (the clearing drivers) and the poll has answered.
    auto objects = Objects();
    std::vector<Object> kept;
    for (auto& o : objects)
        if (o.oid != APC "2.2.2.0" && o.oid != ITA16 "4.45.0" && o.oid != PEX "1.3.3.1.3.1")
            kept.push_back(o);
    qxtest::SnmpScriptAgent agent(qxtest::SnmpScriptAgent::Table(ScriptObjects(kept)), 161,
                                  kScriptedAddress);
    Rig<CSMSnmpUpsPowerNet3> p(7, kScripted);
    ASSERT_EQ(p.Poll(), 1);
    EXPECT_EQ(p.Val(kExTem), 0);
    EXPECT_EQ(p.Val(kExMbatt), 450);
    Rig<CSMSnmpUpsIta1620k> t(7, kScripted);
    ASSERT_EQ(t.Poll(), 1);
    EXPECT_EQ(t.Val(kExVbatt), 0);
    EXPECT_EQ(t.Val(kExTem), 1051);
    Rig<CSMSnmpCyberPex> x(7, kScripted);
    ASSERT_EQ(x.Poll(), 1);
    EXPECT_EQ(x.Val(1), 0);
    EXPECT_EQ(x.Val(5), 456);
    // An agent that knows none of the objects answers every request, and gives nothing: 0.
    qxtest::SnmpScriptAgent empty(qxtest::SnmpScriptAgent::Table({}), 161, 0x7F000004);
    Rig<CSMSnmpUpsPowerNet3> none(7, "udp:127.0.0.4");
    EXPECT_EQ(none.Poll(), 0) << none.out;
    EXPECT_LT(none.seconds, 1.0);
    EXPECT_EQ(none.Val(kExStatus), 0);
    // The one request of Ita0510k fails as a whole on an unknown object: 0, values kept.
    Rig<CSMSnmpUpsIta0510k> i(7, kLive);
    ASSERT_EQ(i.Poll(), 1);
    qxtest::SnmpScriptAgent partial(
        [](const qxtest::SnmpRequest& rq) { return qxtest::SnmpScriptAgent::WithRequestOids(rq, 2, 6); },
        161, 0x7F000003);
    i.item.AddrText("udp:127.0.0.3");
    EXPECT_EQ(i.Poll(), 0);
    EXPECT_TRUE(i.Printed("UpsIta0510k SNMP.get err ")) << i.out;
    EXPECT_EQ(i.Val(kUpsVin1), 23000);
    EXPECT_EQ(i.Val(kUpsStatus), 0);
}

TEST_F(SnmpUps, PointsKeepTheirOwnValues) {
    // One handler, two points: a live PowerNet and a dead one. The dead point shows none of the
    // live one's values, and the live one keeps its own when it is handed back.
    Rig<CSMSnmpUpsPowerNet> p(21, kLive);
    ASSERT_EQ(p.Poll(), 1);
    qxhost::PointItem dead(22, 0x31B);
    dead.AddrText(kDead);
    p.h->DoItem(dead, 0);
    EXPECT_EQ(p.h->DataGet(nullptr, 0, 0), 0);
    EXPECT_EQ(p.Val(kUpsVin1), 0);
    EXPECT_EQ(p.Val(kUpsStatus), 0);
    p.h->DoItem(p.item, 0);
    EXPECT_EQ(p.Val(kUpsVin1), 2310);
    EXPECT_EQ(p.Val(kUpsStatus), 255);

    Rig<CSMSnmpUpsZh20kl> z(31, kLive);
    z.item.Variant(0);
    ASSERT_EQ(z.Poll(), 1);
    qxhost::PointItem other(32, 0x323);
    other.AddrText(kDead).Variant(1);
    z.h->DoItem(other, 0);
    EXPECT_EQ(z.h->DataGet(nullptr, 0, 0), 0);
    EXPECT_EQ(z.Val(kExIin1), 0);  // the other point's second-set field is not shown here
    z.h->DoItem(z.item, 0);
    EXPECT_EQ(z.Val(kExIin1), 403);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests)) NoNamespace() = qxtest::EnterNamespace();
    return RUN_ALL_TESTS();
}
