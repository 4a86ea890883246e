// The reference host program end to end: smhost started as a process with a site file,
// polling a Q1-family UPS and a Modbus temperature/humidity sensor served on pseudo-terminals
// by this test; every check reads the rows smhost left in its SQLite databases, its exit code
// and its messages.
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "AircYdtMaps.h"
#include "GsmModem.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "NetSim.h"
#include "PtySim.h"
#include "Q1Ups.h"
#include "SmHostRun.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"

namespace {

using namespace smhosttest;

// The channel type code the serial channel gives a pts definition: the digit before ':'.
int PtyCode(const qxsim::PtySim& p) { return 0x100000 + p.Number() % 10; }

class SmHost : public SmHostFixture {
protected:
    void TearDown() override {
        for (auto& p : ptys) p->Stop();
        SmHostFixture::TearDown();
    }

    // Starts a simulator on a pseudo-terminal whose channel code no other one here has (the
    // channel manager keys serial ports by the digit in front of the ':').
    qxsim::PtySim* NewPty() {
        for (int tries = 0; tries < 12; tries++) {
            std::unique_ptr<qxsim::PtySim> p(new qxsim::PtySim);
            if (!p->Start()) return nullptr;
            bool clash = false;
            for (auto& q : ptys) clash = clash || PtyCode(*q) == PtyCode(*p);
            if (clash) {
                spare.push_back(std::move(p));  // keep it, so the next one gets another number
                continue;
            }
            ptys.push_back(std::move(p));
            return ptys.back().get();
        }
        return nullptr;
    }
    // The two devices of the example site.
    void StartDevices() {
        ups.reset(new qxsim::Q1Ups(qxsim::Q1Ups::kDefault));
        // A normal UPS: no bit of an alarm kind set (b3 only says "standby type").
        ups->SetReply("Q1", "(230.0 000.0 229.5 012 50.0 2.25 30.0 00001000\r");
        upsPty = NewPty();
        ASSERT_NE(nullptr, upsPty) << "no pseudo-terminal";
        upsPty->SetFramer(qxsim::FrameByTerminator('\r'));
        upsPty->SetResponder(ups->AsResponder());
        thPty = NewPty();
        ASSERT_NE(nullptr, thPty);
        qxsim::ServeModbusRtu(*thPty, th);
        th.SetInput(0, 253);
        th.SetInput(1, 451);
        for (auto& p : spare) p->Stop();
        setenv("UPS_CHANNEL", upsPty->Definition("2400,N,8,1").c_str(), 1);
        setenv("TH_CHANNEL", thPty->Definition().c_str(), 1);
        setenv("UPS_CHTYPE", std::to_string(PtyCode(*upsPty)).c_str(), 1);
        setenv("TH_CHTYPE", std::to_string(PtyCode(*thPty)).c_str(), 1);
    }

    std::vector<std::unique_ptr<qxsim::PtySim>> ptys, spare;
    std::unique_ptr<qxsim::Q1Ups> ups;
    qxsim::ModbusSlave th{1};
    qxsim::PtySim* upsPty = nullptr;
    qxsim::PtySim* thPty = nullptr;
};

const char* const kExampleSite = QX_EXAMPLES "/site.ini";

TEST_F(SmHost, ExampleSiteTwoCyclesStoreCurrentAndHistoryRows) {
    StartDevices();
    Run r = Poll({"--site", kExampleSite, "--cycles", "2"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_EQ("", r.err);
    EXPECT_EQ(2, CountOf(r.out, "[UPS-1] sid 1: state 0 normal")) << r.out;
    EXPECT_EQ(2, CountOf(r.out, "[TH-1] sid 2: state 0 normal")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("cycle 2: 2 polled, 2 normal, 0 alarm, 0 no answer")) << r.out;
    // Summaries on the terminal are UTF-8; show references go through VarEval.
    EXPECT_NE(std::string::npos, r.out.find("输入电压:230.0V")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("T=25.3C RH=45.1% | Temp=253 Hum=451")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("Vin=230.0 Vout=229.5")) << r.out;

    Rows db(Db()), hist(Hist());
    EXPECT_EQ("0/2300/2295/300/8", db.Str("select State||'/'||Vin1||'/'||Vout||'/'||Tem||'/'||status "
                                           "from tbUps where SID=1"));
    EXPECT_EQ(1, db.Int("select count(*) from tbUps"));
    EXPECT_EQ("ACME POWER", db.Str("select company from tbUps where SID=1"));
    EXPECT_EQ(0, db.Int("select State from tbModbus where SID=2"));
    EXPECT_EQ("V30001=253,V30002=451",
              db.Str("select group_concat(Fld||'='||Val) from (select * from tbModbusDat where SID=2 "
                     "and DID=0 order by Fld)"));
    EXPECT_EQ("T=25.3C RH=45.1%", db.Str("select Brief from tbSMBrief where SID=2"));
    // The host's rows: one state row per point, updated by the handlers.
    EXPECT_EQ("1/768/0,2/4608/0", db.Str("select group_concat(SID||'/'||Type||'/'||State) from "
                                         "(select * from tbSubSysDetail order by SID)"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=768"));
    EXPECT_EQ("Temp/10/50/350", db.Str("select FldName||'/'||Ratio||'/'||vref||'/'||HiLmt from tbSMDef "
                                       "where Type=4608 and Fld=1"));
    // One history row per poll, with the detail rows of the engine's polls.
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=1 and State=0"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbModbus where SID=2 and State=0"));
    EXPECT_EQ(4, hist.Int("select count(*) from tbModbusDat d join tbModbus m on d.DID=m.DID"));
}

TEST_F(SmHost, SilentDeviceIsNoAnswerAndTheOtherPointGoesOn) {
    StartDevices();
    ups->SetSilent(true);
    Run r = Poll({"--site", kExampleSite, "--cycles", "2"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_EQ(2, CountOf(r.out, "[UPS-1] sid 1: state 2 no answer")) << r.out;
    EXPECT_EQ(2, CountOf(r.out, "[TH-1] sid 2: state 0 normal")) << r.out;
    Rows db(Db()), hist(Hist());
    EXPECT_EQ("2/0", db.Str("select State||'/'||Vin1 from tbUps where SID=1"));
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=1"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=2"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=1 and State=2"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbModbus where SID=2 and State=0"));
}

TEST_F(SmHost, ValuesOutOfLimitsGiveAlarmState) {
    StartDevices();
    th.SetInput(0, 412);  // 41.2 C, above the 35.0 C of the definition file
    ups->SetReply("Q1", "(230.0 000.0 229.5 012 50.0 2.25 30.0 10001000\r");  // b7: mains failure
    Run r = Poll({"--site", kExampleSite, "--cycles", "1"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_EQ(1, CountOf(r.out, "[TH-1] sid 2: state 1 alarm")) << r.out;
    EXPECT_EQ(1, CountOf(r.out, "[UPS-1] sid 1: state 1 alarm")) << r.out;
    Rows db(Db());
    EXPECT_EQ(1, db.Int("select State from tbModbus where SID=2"));
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=2"));
    EXPECT_EQ(1, db.Int("select State from tbUps where SID=1"));
    EXPECT_EQ(1, db.Int("select State from tbSubSysDetail where SID=1"));
    EXPECT_EQ(1, db.Int("select St from tbSMBrief where SID=2"));
    // The UPS handler quotes the caption of the field out of limits (GBK, shown as UTF-8).
    EXPECT_NE(std::string::npos, r.out.find("输出负载:12%告警:b7市电异常")) << r.out;
}

// State rows judged by their own legends: a PD220-6 220 V input is normal while powered
// ("1有输入,0断开,一般0报警": low limit 1), a T-MASTER alarm byte while it reads 255 ("255
// 无异常"), a DAS module's work state while it runs (low limit 1, "0关机"). Each alarms on the
// value its legend calls the fault, and the host names the field.
TEST_F(SmHost, StateRowsAlarmOnTheValueTheirLegendCallsTheFault) {
    qxsim::ModbusSlave dio(1), das(1);
    qxsim::YdtDevice tm(1, 0x60, 0x20);
    qxsim::PtySim* dioPty = NewPty();
    qxsim::PtySim* dasPty = NewPty();
    qxsim::PtySim* tmPty = NewPty();
    ASSERT_TRUE(dioPty && dasPty && tmPty) << "no pseudo-terminal";
    for (auto& p : spare) p->Stop();
    qxsim::ServeModbusRtu(*dioPty, dio);
    qxsim::ServeModbusRtu(*dasPty, das);
    qxsim::ServeYdt(*tmPty, tm);
    auto section = [](const char* label, int sid, int type, qxsim::PtySim* p) {
        return "[" + std::string(label) + "]\nsid=" + std::to_string(sid) + "\ntype=" + std::to_string(type) +
               "\nchannel=" + p->Definition("9600,N,8,1") + "\nchtype=" + std::to_string(PtyCode(*p)) +
               "\naddr=1\n";
    };
    const std::string site = Site(section("DIO-1", 1, 0x903, dioPty) + section("AC-1", 2, 0x701, dasPty) +
                                  section("TM-1", 3, 0x80C, tmPty));

    struct Case {
        const char* what;
        uint8_t input3;    // PD220-6 220 V input 3
        uint8_t working;   // DAS work state
        uint8_t alarms2;   // T-MASTER alarm byte 2
        uint8_t dryAndOutput;  // PD220-6 dry contact 7 and output 11: states, never alarms
        int dioState, dasState, tmState;
        const char* named;  // the fields the host names, one per point in alarm
    } cases[] = {
        {"powered, running, no fault", 1, 1, 0xFF, 0, 0, 0, 0, ""},
        {"input lost, unit off, an alarm bit", 0, 0, 0xFE, 0, 1, 1, 1, "D03(3)|WorkStatus(1)|almst2(20)"},
        {"a relay output and a dry contact set", 1, 1, 0xFF, 1, 0, 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const uint8_t points[12] = {1, 1, c.input3, 1, 1, 1, c.dryAndOutput, 0, 0, 0, c.dryAndOutput, 0};
        qxsim::SetPd2206(dio, points);
        qxsim::AircDas m;
        m.workStatus = c.working;
        qxsim::SetAircDas(das, m);
        qxsim::TeMasterUnit u;
        u.tem = 320;  // inside the unit's default 30.0 to 38.0 degrees
        u.alarms[1] = c.alarms2;
        qxsim::SetTeMaster(tm, u);

        Run r = Poll({"--site", site, "--cycles", "1"});
        ASSERT_EQ(0, r.rc) << r.out << r.err;
        Rows db(Db());
        EXPECT_EQ(c.dioState, db.Int("select State from tbSubSysDetail where SID=1")) << r.out;
        EXPECT_EQ(c.dasState, db.Int("select State from tbSubSysDetail where SID=2")) << r.out;
        EXPECT_EQ(c.tmState, db.Int("select State from tbSubSysDetail where SID=3")) << r.out;
        const std::string named = c.named;
        if (named.empty()) {
            EXPECT_EQ(std::string::npos, r.out.find("outside the type's limits")) << r.out;
        } else {
            for (size_t at = 0; at < named.size();) {
                size_t bar = named.find('|', at);
                if (bar == std::string::npos) bar = named.size();
                const std::string field = named.substr(at, bar - at);
                EXPECT_EQ(1, CountOf(r.out, "outside the type's limits: " + field + "\n")) << field << "\n" << r.out;
                at = bar + 1;
            }
        }
    }
}

TEST_F(SmHost, PointWhoseChannelDoesNotOpenIsReportedAndStoredAsNoAnswer) {
    StartDevices();
    // A port digit that neither simulator's channel has, so the point gets a channel of its own.
    int digit = 0;
    while (0x100000 + digit == PtyCode(*upsPty) || 0x100000 + digit == PtyCode(*thPty)) digit++;
    const std::string def = "ttyQXGONE" + std::to_string(digit) + ":2400,N,8,1";
    std::string site = ReadFile(kExampleSite) + "\n[Gone]\nsid=3\ntype=0x300\nchannel=" + def +
                       "\nchtype=" + std::to_string(0x100000 + digit) + "\n";
    Run r = Poll({"--site", Site(site), "--cycles", "2"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.err.find("[Gone] sid 3: channel " + def + " does not open")) << r.err;
    EXPECT_EQ(2, CountOf(r.out, "[Gone] sid 3: state 2 no answer (channel " + def + " not open)")) << r.out;
    EXPECT_EQ(2, CountOf(r.out, "[UPS-1] sid 1: state 0 normal")) << r.out;
    EXPECT_EQ(2, CountOf(r.out, "[TH-1] sid 2: state 0 normal")) << r.out;
    Rows db(Db());
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=3"));
    EXPECT_EQ(2, db.Int("select State from tbUps where SID=3"));
}

TEST_F(SmHost, PointsLeftOutWithAReasonAndTheRestPolled) {
    StartDevices();
    struct Case {
        const char* name;
        std::string section;
        std::string message;
    } cases[] = {
        {"unserved type", "[Odd]\nsid=5\ntype=0x1234\nchannel=ttyS1:9600,N,8,1\nchtype=0x100000\n",
         "[Odd] sid 5: no handler serves type 0x1234; the point is left out"},
        {"USB channel", "[Usb]\nsid=6\ntype=0x300\nchannel=ttyUSB0:9600,N,8,1\nchtype=0x400000\n",
         "[Usb] sid 6: no channel for ttyUSB0:9600,N,8,1 (channel type 0x400000); the point is left out"},
        // The sensor's port again, at another speed: one device must not be polled as two.
        {"one port, two definitions",
         "[Twin]\nsid=7\ntype=0x1200\nchannel=" + thPty->Definition("19200,N,8,1") + "\nchtype=" +
             std::to_string(PtyCode(*thPty)) + "\n",
         "[Twin] sid 7: channel " + thPty->Definition("19200,N,8,1") + " (type 0x" +
             [&] { char b[16]; snprintf(b, sizeof b, "%X", PtyCode(*thPty)); return std::string(b); }() +
             ") is the port that [TH-1] uses as " + thPty->Definition()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ForgetDatabases();
        Run r = Poll({"--site", Site(ReadFile(kExampleSite) + "\n" + c.section), "--cycles", "1"});
        EXPECT_EQ(0, r.rc) << r.out << r.err;
        EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
        EXPECT_NE(std::string::npos, r.out.find("cycle 1: 2 polled, 2 normal")) << r.out;
    }
}

TEST_F(SmHost, FailuresBeforePollingGiveAClearMessageAndExitCode) {
    std::string good = "[P]\nsid=1\ntype=0x300\nchannel=ttyQXGONE1:2400,N,8,1\nchtype=0x100000\n";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string site;  // empty: no file written
        int rc;
        std::string message;
    } cases[] = {
        {"no site option", {}, "", 1, "no site file (--site FILE)"},
        {"bad cycle count", {"--cycles", "two"}, good, 1, "--cycles takes a count, not 'two'"},
        {"missing site file", {"--site", "/nonexistent/site.ini"}, "", 2,
         "bad site file: /nonexistent/site.ini: No such file or directory"},
        {"syntax", {}, "[P]\nsid=1\nthis line has no equals sign\n", 2, "site.ini:3: expected 'key = value'"},
        {"missing key", {}, "[P]\nsid=1\ntype=0x300\nchtype=0x100000\n", 2,
         "site.ini:1: point [P] lacks the key channel"},
        {"not a number", {}, "[P]\nsid=1\ntype=ups\nchannel=x\nchtype=0\n", 2,
         "site.ini:3: type: 'ups' is not an integer"},
        {"duplicate sid", {}, good + "[Q]\nsid=1\ntype=0x300\nchannel=ttyS2:2400,N,8,1\nchtype=0x100000\n", 2,
         "site.ini:6: point [Q]: sid 1 is used by another point"},
        {"unknown key", {}, "[P]\nsid=1\nadress=3\n", 2, "site.ini:3: unknown key 'adress'"},
        {"unset variable", {}, "[P]\nsid=1\nchannel=${QX_TEST_NOT_SET}\n", 2,
         "site.ini:3: environment variable QX_TEST_NOT_SET is not set"},
        {"no point", {}, "; nothing\n", 2, "no point: the site names no [section]"},
        {"serial settings the channel does not take", {},
         "[P]\nsid=1\ntype=0x300\nchannel=pts/12:abc,Q,99,7\nchtype=0x100002\n", 2,
         "site.ini:4: point [P]: serial channel speed 'abc' is not one the serial channel takes"},
        {"a 300-digit speed", {},
         "[P]\nsid=1\ntype=0x300\nchtype=0x100002\nchannel=ttyS2:" + std::string(300, '9') + ",N,8,1\n", 2,
         "site.ini:5: point [P]: serial channel speed '99999999999999999999...'"},
        {"time-out beyond a minute", {}, good + "timeout=2147483647,2147483647\n", 2,
         "site.ini:6: timeout: at most 60000 ms per value, got '2147483647,2147483647'"},
        {"name too long, at its line", {}, "[P]\nname=" + std::string(32, 'n') + "\n" + good.substr(4), 2,
         "site.ini:2: point [P]: the name takes 32 bytes in GBK, at most 31"},
        {"byte-order mark then a fault", {}, "\xEF\xBB\xBF[P]\nsid=1\nadress=3\n", 2,
         "site.ini:3: unknown key 'adress'"},
        {"byte-order mark is no fault", {}, "\xEF\xBB\xBF" + good, 5, "no point of the site can be polled"},
        {"missing driver library", {"--lib", "/nonexistent/libqxsm.so"}, good, 3,
         "driver library /nonexistent/libqxsm.so: "},
        {"channel library without the exports", {"--ser", QXSM_PATH}, good, 3, "missing export GetSerManager"},
        {"database in a missing folder", {"--db", "/nonexistent/dir/main.db"}, good, 4,
         "main database /nonexistent/dir/main.db: "},
        {"no point can be polled", {}, good, 5, "no point of the site can be polled"},
        // Read by the network channel as UDP to a host "dp", port 127.
        {"a network definition the channel reads as another host", {},
         "[P]\nsid=1\ntype=0x31B\nchtype=0x2000A1\nchannel=udp:127.0.0.1\n", 2,
         "site.ini:5: point [P]: network channel 'udp:127.0.0.1': host 'udp' is not one the network channel takes"},
    };
    unsetenv("QX_TEST_NOT_SET");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = c.args;
        if (!c.site.empty()) {
            args.push_back("--site");
            args.push_back(Site(c.site));
        }
        if (c.args.empty() || c.args[0] != "--cycles") {
            args.push_back("--cycles");
            args.push_back("1");
        }
        Run r = Poll(args);
        EXPECT_EQ(c.rc, r.rc) << r.out << r.err;
        EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
        EXPECT_EQ(std::string::npos, r.out.find("cycle 1:")) << r.out;
    }
}

TEST_F(SmHost, TerminationFinishesThePointAndLeavesWholeRows) {
    StartDevices();
    Run r = Poll({"--site", kExampleSite, "--cycles", "0"}, 60, "cycle 1:");
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_NE(std::string::npos, r.out.find("Terminated received, stopping after")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("smhost: stopped, databases closed")) << r.out;
    // Every poll printed is stored, and nothing else.
    Rows hist(Hist());
    int ups = CountOf(r.out, "[UPS-1] sid 1: state"), sensor = CountOf(r.out, "[TH-1] sid 2: state");
    EXPECT_GE(ups, 1);
    EXPECT_EQ(ups, hist.Int("select count(*) from tbUps where SID=1"));
    EXPECT_EQ(sensor, hist.Int("select count(*) from tbModbus where SID=2"));
    EXPECT_EQ(2 * sensor, hist.Int("select count(*) from tbModbusDat"));
}

// A Modbus TCP point beside the serial ones: the network channel is opened without a
// definition, so it keeps the code the site gives it, and the engine frames for TCP.
TEST_F(SmHost, ModbusTcpPointOnTheNetworkChannel) {
    StartDevices();
    qxsim::ModbusSlave tcpTh(1);
    tcpTh.SetInput(0, 199);
    tcpTh.SetInput(1, 555);
    qxsim::TcpSim sim;
    qxsim::ServeModbusTcp(sim, tcpTh);
    ASSERT_TRUE(sim.Start());
    const int code = 0x200000 | 0x4D2;  // the site's identity port 1234
    char codeText[16];
    snprintf(codeText, sizeof codeText, "0x%X", code);
    struct Case {
        const char* name;
        bool silent;
        int state;
    } cases[] = {{"answers", false, 0}, {"silent", true, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ForgetDatabases();
        if (c.silent) sim.InjectFault(qxsim::Fault::Silence, -1);
        std::string site = ReadFile(kExampleSite) + "\n[TCP-TH]\nsid=4\ntype=0x1200\nchannel=" + sim.Definition() +
                           "\nchtype=" + codeText + "\nshow=.Temp\n";
        Run r = Poll({"--site", Site(site), "--cycles", "2"});
        ASSERT_EQ(0, r.rc) << r.out << r.err;
        EXPECT_NE(std::string::npos, r.out.find("channel " + sim.Definition() + " (" + codeText + ")")) << r.out;
        EXPECT_EQ(2, CountOf(r.out, "[TH-1] sid 2: state 0 normal")) << r.out;
        Rows db(Db()), hist(Hist());
        EXPECT_EQ(c.state, db.Int("select State from tbSubSysDetail where SID=4")) << r.out;
        EXPECT_EQ(2, hist.Int("select count(*) from tbModbus where SID=4"));
        if (!c.silent) {
            EXPECT_EQ(2, CountOf(r.out, "[TCP-TH] sid 4: state 0 normal | T=19.9C RH=55.5% | Temp=199")) << r.out;
            EXPECT_EQ(1234, db.Int("select Port from tbModbus where SID=4"));
        }
    }
}

// The README's main job in small: devsim serves the example site's devices, smhost polls them
// with the definitions devsim announces; a fault planned in devsim shows in the stored state.
TEST_F(SmHost, DevsimServesTheExampleSite) {
    struct Case {
        std::vector<std::string> faults;
        const char* sensor;  // the sensor on a pseudo-terminal or on a loopback TCP port
        int upsState, thState;
    } cases[] = {
        {{}, "modbus-th", 0, 0},
        {{}, "modbus-th:tcp", 0, 0},
        {{"--fault", "modbus-th=silence"}, "modbus-th", 0, 2},
        {{"--fault", "q1ups=garbage"}, "modbus-th", 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sensor) + (c.faults.empty() ? "" : " " + c.faults[1]));
        ForgetDatabases();
        std::vector<std::string> names = c.faults;
        names.push_back("q1ups");
        names.push_back(c.sensor);
        Devsim sim;
        ASSERT_TRUE(sim.Start(names, dir + "/devsim.txt")) << sim.Text();
        setenv("UPS_CHANNEL", sim.Field("q1ups", "def").c_str(), 1);
        setenv("UPS_CHTYPE", sim.Field("q1ups", "chtype").c_str(), 1);
        setenv("TH_CHANNEL", sim.Field("modbus-th", "def").c_str(), 1);
        setenv("TH_CHTYPE", sim.Field("modbus-th", "chtype").c_str(), 1);
        Run r = Poll({"--site", kExampleSite, "--cycles", "1"});
        EXPECT_TRUE(sim.Stop()) << "devsim did not end cleanly";
        ASSERT_EQ(0, r.rc) << sim.Text() << r.out << r.err;
        EXPECT_NE(std::string::npos, r.out.find("[TH-1] sid 2: type 0x1200, handler 0x1200 TH-485, channel " +
                                                 sim.Field("modbus-th", "def") + " (" +
                                                 sim.Field("modbus-th", "chtype") + ")"))
            << r.out;
        Rows db(Db());
        EXPECT_EQ(c.upsState, db.Int("select State from tbSubSysDetail where SID=1")) << r.out;
        EXPECT_EQ(c.thState, db.Int("select State from tbSubSysDetail where SID=2")) << r.out;
    }
}

// Control commands end to end: an air-conditioner's set point and a relay of an I/O module
// switched on devsim's devices; what the channel sent and got is shown, and the next poll
// reads what the commands set.
TEST_F(SmHost, DoRunsControlCommandsOnTheDevices) {
    Devsim sim;
    ASSERT_TRUE(sim.Start({"airc-das", "w70xx"}, dir + "/devsim.txt")) << sim.Text();
    const std::string site = Site(Section(sim, "airc-das", "AC-1", 3) + Section(sim, "w70xx", "RELAY-1", 4));
    const char* const kTempSet = "select TempSet from tbAircDas where SID=3";
    const char* const kRelays = "select D09||D10||D11||D12 from tbDio where SID=4";
    {
        Run r = Poll({"--site", site, "--cycles", "1"});
        ASSERT_EQ(0, r.rc) << r.out << r.err;
        Rows db(Db());
        EXPECT_EQ(26, db.Int(kTempSet));
        EXPECT_EQ("1010", db.Str(kRelays));
    }

    Run r = Host({"--site", site, "--do", "3:16:int:22", "--do", "4:0x50001:hex:01", "--do", "4:0x50000:int:0"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_EQ("", r.err);
    // The set point goes into the low byte of register 1, the fan speed just read beside it.
    const std::string ac = "do [AC-1] sid 3: command 16 (0x10), data int:22 (4 bytes)\n";
    size_t at = r.out.find(ac);
    ASSERT_NE(std::string::npos, at) << r.out;
    size_t end = r.out.find("do [AC-1] sid 3: command 16 result 1\n", at);
    ASSERT_NE(std::string::npos, end) << r.out;
    const std::string traced = r.out.substr(at, end - at);
    EXPECT_NE(std::string::npos, traced.find("  channel: SEND: 01 06 00 01 03 16 59 34")) << traced;
    EXPECT_NE(std::string::npos, traced.find("  channel: RECV: 01 06 00 01 03 16 59 34")) << traced;
    EXPECT_NE(std::string::npos, r.out.find("do [RELAY-1] sid 4: command 327681 (0x50001), data hex:01 (1 byte)\n"
                                            "  channel: SEND: 01 05 00 01 FF 00 DD FA \n"
                                            "  channel: RECV: 01 05 00 01 FF 00 DD FA \n"
                                            "do [RELAY-1] sid 4: command 327681 result 1\n"))
        << r.out;
    EXPECT_NE(std::string::npos, r.out.find("do [RELAY-1] sid 4: command 327680 result 1\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("smhost: 3 of 3 commands answered 1\n")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("cycle ")) << r.out;  // commands only, no poll

    Run after = Poll({"--site", site, "--cycles", "1"});
    ASSERT_EQ(0, after.rc) << after.out << after.err;
    Rows db(Db());
    EXPECT_EQ(22, db.Int(kTempSet));
    EXPECT_EQ("0110", db.Str(kRelays));
    EXPECT_TRUE(sim.Stop());
}

// A command the handler refuses answers 0 and sends nothing; smhost then exits 6.
TEST_F(SmHost, DoOfARefusedCommandAnswersZeroAndExitsSix) {
    Devsim sim;
    ASSERT_TRUE(sim.Start({"airc-das", "w70xx"}, dir + "/devsim.txt")) << sim.Text();
    const std::string site = Site(Section(sim, "airc-das", "AC-1", 3) + Section(sim, "w70xx", "RELAY-1", 4));
    Run r = Host({"--site", site, "--do", "3:77:int:1", "--do", "3:16", "--do", "4:0x50001:hex:01"});
    EXPECT_EQ(6, r.rc) << r.out << r.err;
    // 77 is no command of the module; 16 without its data has no value to send.
    EXPECT_NE(std::string::npos, r.out.find("do [AC-1] sid 3: command 77 (0x4D), data int:1 (4 bytes)\n"
                                            "do [AC-1] sid 3: command 77 result 0\n"))
        << r.out;
    EXPECT_NE(std::string::npos, r.out.find("do [AC-1] sid 3: command 16 (0x10)\n"
                                            "do [AC-1] sid 3: command 16 result 0\n"))
        << r.out;
    EXPECT_NE(std::string::npos, r.out.find("do [RELAY-1] sid 4: command 327681 result 1\n")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("smhost: 1 of 3 commands answered 1\n")) << r.out;
    EXPECT_TRUE(sim.Stop());
}

TEST_F(SmHost, DoMistakesGiveAClearMessageAndExitCode) {
    const std::string def = "ttyQXGONE1:2400,N,8,1";
    const std::string site = Site("[P]\nsid=1\ntype=0x300\nchannel=" + def + "\nchtype=0x100001\n");
    struct Case {
        std::vector<std::string> args;
        int rc;
        std::string message;  // in what smhost printed, out or err
    } cases[] = {
        {{"--do", "9:1"}, 1, "smhost: --do 9:1: the site has no point of sid 9"},
        {{"--do", "1:1", "--cycles", "1"}, 1, "--do runs commands and does not poll"},
        {{"--do", "1:1:5"}, 1, "smhost: --do 1:1:5: data '5' is not int:N, hex:BYTES or text:TEXT"},
        {{"--do", "1"}, 1, "smhost: --do 1: expected SID:CMD[:DATA]"},
        // The point's channel does not open: the command is given anyway and answers 0.
        {{"--do", "1:8001:int:5"}, 6, "do [P] sid 1: command 8001 result 0 (channel " + def + " not open)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        std::vector<std::string> args = {"--site", site};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Run r = Host(args);
        EXPECT_EQ(c.rc, r.rc) << r.out << r.err;
        EXPECT_NE(std::string::npos, (r.out + r.err).find(c.message)) << r.out << r.err;
    }
}

// A UPS handler with a failure counter holds back a point's first two failures in a row and
// writes the third: smhost says so, and keeps "NOT STORED" for a store that failed.
TEST_F(SmHost, PollHeldBackByTheHandlerIsSaidSo) {
    Devsim sim;
    ASSERT_TRUE(sim.Start({"symmetra+silence"}, dir + "/devsim.txt")) << sim.Text();
    Run r = Poll({"--site", Site(Section(sim, "symmetra", "UPS-S", 1)), "--cycles", "4"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    for (int cycle = 1; cycle <= 4; cycle++) {
        SCOPED_TRACE(cycle);
        std::string prefix = "cycle " + std::to_string(cycle) + " [UPS-S] sid 1: state 2 no answer";
        size_t at = r.out.find(prefix);
        ASSERT_NE(std::string::npos, at) << r.out;
        std::string line = r.out.substr(at, r.out.find('\n', at) - at);
        int failure = cycle == 3 ? 0 : cycle == 4 ? 1 : cycle;  // the third is written
        if (failure) {
            EXPECT_NE(std::string::npos,
                      line.find("| held back by the handler (failure " + std::to_string(failure) + " in a row)"))
                << line;
        } else {
            EXPECT_EQ(std::string::npos, line.find("held back")) << line;
        }
        std::string summary = "cycle " + std::to_string(cycle) + ": 1 polled, 0 normal, 0 alarm, 1 no answer";
        EXPECT_NE(std::string::npos, r.out.find(summary + (failure ? ", 1 held back (" : " ("))) << r.out;
    }
    EXPECT_EQ(std::string::npos, r.out.find("NOT STORED")) << r.out;
    Rows hist(Hist()), db(Db());
    EXPECT_EQ(1, hist.Int("select count(*) from tbUps where SID=1 and State=2"));
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=1"));
    EXPECT_TRUE(sim.Stop());
}

TEST_F(SmHost, StoreThatFailsIsNotStoredWithTheDatabaseError) {
    StartDevices();
    ASSERT_EQ(0, Poll({"--site", kExampleSite, "--cycles", "1"}).rc);
    {
        sqlite3* h = nullptr;
        ASSERT_EQ(SQLITE_OK, sqlite3_open(Hist().c_str(), &h));
        EXPECT_EQ(SQLITE_OK, sqlite3_exec(h, "create trigger refuse before insert on tbUps begin "
                                             "select raise(abort, 'history refused'); end",
                                          nullptr, nullptr, nullptr));
        sqlite3_close(h);
    }
    Run r = Poll({"--site", kExampleSite, "--cycles", "1"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_EQ(1, CountOf(r.out, "[UPS-1] sid 1: state 0 normal")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("| NOT STORED: history refused\n")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("held back")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("cycle 1: 2 polled, 2 normal, 0 alarm, 0 no answer, 1 not stored")) << r.out;
}

// The GSM alarm unit keeps its state in the host's tbAlmGsm, which smhost makes with a row
// per alarm output, as it makes the state rows of tbSubSysDetail.
TEST_F(SmHost, AlarmOutputStateGoesToTheHostsAlarmTable) {
    qxsim::GsmModem modem;
    qxsim::PtySim* pty = NewPty();
    ASSERT_NE(nullptr, pty) << "no pseudo-terminal";
    modem.Serve(*pty);
    const std::string site = "[GSM-1]\nsid=7\ntype=0xA01\nchannel=" + pty->Definition("115200,N,8,1") +
                             "\nchtype=" + std::to_string(PtyCode(*pty)) + "\n";
    Run r = Poll({"--site", Site(site), "--cycles", "2"});
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    EXPECT_EQ(2, CountOf(r.out, "[GSM-1] sid 7: state 0 normal")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("NOT STORED")) << r.out;
    Rows db(Db());
    EXPECT_EQ("1|0", db.Str("select count(*)||'|'||State from tbAlmGsm"));
    pty->Stop();
}

// Running units polled from devsim: their on/off, fan, compressor, heating, cooling, relay and
// charging states hold their running value and none of them is out of limits; a UPS on mains
// with its output on, whose mains and output states are 1, is normal as a whole, as are the
// transformer controller with its fan running, the Hiross unit with its running flag set and
// the I/O modules with relays on and their inputs at rest. The relay fields of the I/O modules
// are inputs in other layouts of their types: their rows alarm, so smhost lists a relay that
// is on, and the module's point, whose own layout makes it a relay, is normal all the same.
TEST_F(SmHost, RunningStatesOfDevsimUnitsAreNoAlarm) {
    struct State {
        const char* device;
        const char* table;
        const char* column;
        const char* name;  // the field's name in smhost's list of fields out of limits
        int fld;
        int value;    // as the running unit stores it
        bool listed;  // out of the type's limits (an input in another layout)
    };
    const State states[] = {
        {"sca-airc", "tbCyberSCA", "StOnOff", "StOnOff", 3, 1, false},
        {"transf", "tbTransf", "StWind", "StWind", 10, 1, false},
        {"matrix", "tbMatrix", "fj", "fj", 5, 1, false},
        {"matrix", "tbMatrix", "ys1", "ys1", 6, 1, false},
        {"hiross", "tbCyberHiross", "s00", "s00", 36, 1, false},
        {"sunrise-modbus", "tbSunrise", "fj", "StFj", 3, 1, false},
        {"sunrise-modbus", "tbSunrise", "zl", "StZl", 6, 1, false},
        {"sunrise-gos", "tbSunrise", "zl", "StZl", 6, 1, false},
        {"sunrise-gos", "tbSunrise", "zr", "StZr", 7, -1, false},  // the protocol sends no heating state
        {"emerson-airc", "tbEmerson", "status", "status", 20, 1, false},
        {"w70xx", "tbDio", "D09", "D09", 9, 1, true},
        {"w70xx", "tbDio", "D11", "D11", 11, 1, true},
        {"kw7", "tbDio", "D11", "D11", 11, 1, true},
        {"edxups", "tbUps", "b7", "B7", 11, 1, false},
        {"edxups", "tbUps", "b5", "B5", 13, 1, false},
        {"edxups", "tbUps", "b4", "B4", 14, 1, false},
    };
    const char* const devices[] = {"sca-airc",    "transf",       "matrix", "hiross", "sunrise-modbus",
                                   "sunrise-gos", "emerson-airc", "w70xx",  "kw7",    "edxups"};
    const char* const normal[] = {"transf", "hiross", "w70xx", "kw7", "edxups"};
    Devsim sim;
    ASSERT_TRUE(sim.Start(std::vector<std::string>(std::begin(devices), std::end(devices)), dir + "/devsim.txt"))
        << sim.Text();
    std::string site;
    auto sidOf = [&](const std::string& device) {
        for (size_t i = 0; i < sizeof devices / sizeof devices[0]; i++)
            if (device == devices[i]) return (int)i + 1;
        return 0;
    };
    for (const char* d : devices) site += Section(sim, d, d, sidOf(d));
    Run r = Poll({"--site", Site(site), "--cycles", "1"});
    EXPECT_TRUE(sim.Stop());
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    auto line = [&](const std::string& device) { return PointLine(r.out, device); };
    Rows db(Db());
    for (const State& s : states) {
        SCOPED_TRACE(std::string(s.device) + " " + s.column);
        const int sid = sidOf(s.device);
        const std::string polled = line(s.device);
        ASSERT_NE("", polled) << r.out;
        EXPECT_EQ(s.value, db.Int(std::string("select ") + s.column + " from " + s.table + " where SID=" + std::to_string(sid)));
        EXPECT_EQ(s.listed, polled.find(" " + std::string(s.name) + "(" + std::to_string(s.fld) + ")") !=
                                std::string::npos)
            << polled;
    }
    for (const char* d : normal) {
        SCOPED_TRACE(d);
        EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sidOf(d)))) << line(d);
    }
}

// Sound power devices polled from devsim read in their rows' units: the meters' 220 V as
// 220.0 V and their currents as each model's registers carry them; a point is normal, or out
// of limits on exactly the fields its kind names on devsim's line (a realistic reading that
// the type's default limits exclude).
TEST_F(SmHost, SoundPowerDevicesOfDevsimReadInTheirUnits) {
    const struct {
        const char* device;
        const char* summary;  // the summary's start, "" where it shows the alarm notes
    } devices[] = {
        {"meter0", "A相: 220.0V 15.00A,B相: 221.0V 15.10A,C相: 222.0V 15.20A"},
        {"meter7", "A相: 220.0V 15.00A,B相: 221.0V 15.00A,C相: 222.0V 15.00A"},
        {"meter19", "A相: 220.0V 5.00A,B相: 221.0V 5.10A,C相: 222.0V 5.20A"},
        {"meter33", "A相: 220.0V 5.00A,B相: 221.0V 5.10A,C相: 222.0V 5.20A"},
        {"hc311a", "电压:220.0V,电流:5.0A"},
        {"hgm", "发电AB相电压400V,发电BC相电压401V,发电CA相电压399V"},
        {"fbjk", ""},
        {"adu1000", ""},
        {"scada", ""},
    };
    std::vector<std::string> names;
    for (const auto& d : devices) names.push_back(d.device);
    Devsim sim;
    Run r = PollServed(names, sim);
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    for (size_t i = 0; i < names.size(); i++) {
        SCOPED_TRACE(names[i]);
        const std::string head = "cycle 1 [" + names[i] + "] sid " + std::to_string(i + 1) + ": state ";
        const std::string line = PointLine(r.out, names[i]);
        ASSERT_NE("", line) << r.out;
        const std::set<std::string> named = FieldRefs(sim.Field(names[i], "alarms"));
        EXPECT_EQ(named, OutOfLimits(line)) << line;
        const std::string start = head + (named.empty() ? "0 normal | " : "1 alarm | ") + devices[i].summary;
        EXPECT_EQ(start, line.substr(0, start.size())) << line;
    }
}


// The poll line lists the fields outside the type's limits as the host found them, and says
// when the handler passed them over: a single-phase meter stores itself normal with its
// phases B and C at 0, while a UPS whose battery rows alarm is in alarm on its list.
TEST_F(SmHost, PollLineSaysWhenTheHandlerPassedItsFieldsOver) {
    const struct {
        const char* device;
        const char* state;   // "state N TEXT"
        bool passedOver;     // the line says the handler passed its list over
        const char* listed;  // a field the line lists
    } cases[] = {
        {"meter12", "state 0 normal", true, "Bdy("},
        {"hipulse", "state 1 alarm", false, "Vbatt(40)"},
    };
    std::vector<std::string> names;
    for (const auto& c : cases) names.push_back(c.device);
    Devsim sim;
    Run r = PollServed(names, sim);
    ASSERT_EQ(0, r.rc) << r.out << r.err;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        const std::string line = PointLine(r.out, c.device);
        EXPECT_NE(std::string::npos, line.find(c.state)) << line;
        EXPECT_EQ(c.passedOver, PassedOver(line)) << line;
        const size_t list = line.find("| outside the type's limits");
        ASSERT_NE(std::string::npos, list) << line;
        EXPECT_NE(std::string::npos, line.find(c.listed, list)) << line;
    }
}

}  // namespace
