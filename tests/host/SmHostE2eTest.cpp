// The reference host program end to end: smhost started as a process with a site file,
// polling a Q1-family UPS and a Modbus temperature/humidity sensor served on pseudo-terminals
// by this test; every check reads the rows smhost left in its SQLite databases, its exit code
// and its messages.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ModbusSlave.h"
#include "NetSim.h"
#include "PtySim.h"
#include "Q1Ups.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary);
    f << text;
}

int CountOf(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) n++;
    return n;
}

// A built program's command line: under a cross build the emulator goes first.
std::vector<std::string> Program(const std::string& path) {
    std::vector<std::string> argv;
    std::string emu = QX_EMULATOR;
    for (size_t at = 0; !emu.empty() && at <= emu.size();) {
        size_t bar = emu.find('|', at);
        if (bar == std::string::npos) bar = emu.size();
        argv.push_back(emu.substr(at, bar - at));
        at = bar + 1;
    }
    argv.push_back(path);
    return argv;
}

// Starts a program with its output in files. The argument vector is built before the fork:
// the child of a process with running threads calls nothing that may take a lock.
pid_t Spawn(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = errPath == outPath ? o : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// The channel type code the serial channel gives a pts definition: the digit before ':'.
int PtyCode(const qxsim::PtySim& p) { return 0x100000 + p.Number() % 10; }

// A read-only view of a database smhost wrote.
struct Rows {
    sqlite3* db = nullptr;
    explicit Rows(const std::string& path) {
        EXPECT_EQ(SQLITE_OK, sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr)) << path;
    }
    ~Rows() { sqlite3_close(db); }
    std::string Str(const std::string& sql) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK)
            return std::string("<error: ") + sqlite3_errmsg(db) + ">";
        std::string out = "<none>";
        if (sqlite3_step(st) == SQLITE_ROW) {
            const unsigned char* t = sqlite3_column_text(st, 0);
            out = t ? (const char*)t : "<null>";
        }
        sqlite3_finalize(st);
        return out;
    }
    long long Int(const std::string& sql) {
        std::string s = Str(sql);
        return s[0] == '<' ? -999999 : atoll(s.c_str());
    }
};

class SmHost : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qx-smhost-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(tmpl));
        dir = tmpl;
        // The board root holds the example definition file of the Modbus sensor.
        mkdir((dir + "/root").c_str(), 0755);
        mkdir((dir + "/root/NandFlash").c_str(), 0755);
        mkdir((dir + "/root/NandFlash/SM").c_str(), 0755);
        WriteFile(dir + "/root/NandFlash/SM/SM4608.def",
                  ReadFile(std::string(QX_EXAMPLES) + "/NandFlash/SM/SM4608.def"));
    }
    void TearDown() override {
        for (auto& p : ptys) p->Stop();
        std::string cmd = "rm -rf '" + dir + "'";
        if (system(cmd.c_str()) != 0) ADD_FAILURE() << "could not remove " << dir;
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

    struct Run {
        int rc = -1;
        std::string out, err;
    };
    // Runs smhost with the test's databases and board root; `during` runs while it does.
    Run Host(std::vector<std::string> args, int timeoutS = 60, const std::string& stopAfter = "") {
        std::vector<std::string> all = Program(SMHOST_PATH);
        std::vector<std::string> opts = {"--lib", QXSM_PATH, "--ser", QXSER_PATH, "--db", Db(),
                                        "--history", Hist(), "--root", dir + "/root", "--interval", "0"};
        all.insert(all.end(), opts.begin(), opts.end());
        all.insert(all.end(), args.begin(), args.end());
        std::string outPath = dir + "/out.txt", errPath = dir + "/err.txt";
        pid_t pid = Spawn(all, outPath, errPath);
        Run r;
        int status = 0;
        bool signalled = false;
        for (int waited = 0;; waited += 20) {
            pid_t w = waitpid(pid, &status, WNOHANG);
            if (w == pid) break;
            if (!stopAfter.empty() && !signalled && ReadFile(outPath).find(stopAfter) != std::string::npos) {
                kill(pid, SIGTERM);
                signalled = true;
            }
            if (waited > timeoutS * 1000) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
                ADD_FAILURE() << "smhost did not end in " << timeoutS << " s";
                break;
            }
            usleep(20000);
        }
        r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = ReadFile(outPath);
        r.err = ReadFile(errPath);
        return r;
    }
    std::string Site(const std::string& text) {
        std::string path = dir + "/site.ini";
        WriteFile(path, text);
        return path;
    }
    std::string Db() const { return dir + "/main.db"; }
    std::string Hist() const { return dir + "/hist.db"; }

    std::string dir;
    std::vector<std::unique_ptr<qxsim::PtySim>> ptys, spare;
    std::unique_ptr<qxsim::Q1Ups> ups;
    qxsim::ModbusSlave th{1};
    qxsim::PtySim* upsPty = nullptr;
    qxsim::PtySim* thPty = nullptr;
};

const char* const kExampleSite = QX_EXAMPLES "/site.ini";

TEST_F(SmHost, ExampleSiteTwoCyclesStoreCurrentAndHistoryRows) {
    StartDevices();
    Run r = Host({"--site", kExampleSite, "--cycles", "2"});
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
    Run r = Host({"--site", kExampleSite, "--cycles", "2"});
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
    Run r = Host({"--site", kExampleSite, "--cycles", "1"});
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

TEST_F(SmHost, PointWhoseChannelDoesNotOpenIsReportedAndStoredAsNoAnswer) {
    StartDevices();
    // A port digit that neither simulator's channel has, so the point gets a channel of its own.
    int digit = 0;
    while (0x100000 + digit == PtyCode(*upsPty) || 0x100000 + digit == PtyCode(*thPty)) digit++;
    const std::string def = "ttyQXGONE" + std::to_string(digit) + ":2400,N,8,1";
    std::string site = ReadFile(kExampleSite) + "\n[Gone]\nsid=3\ntype=0x300\nchannel=" + def +
                       "\nchtype=" + std::to_string(0x100000 + digit) + "\n";
    Run r = Host({"--site", Site(site), "--cycles", "2"});
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
        unlink(Db().c_str());
        unlink(Hist().c_str());
        Run r = Host({"--site", Site(ReadFile(kExampleSite) + "\n" + c.section), "--cycles", "1"});
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
        Run r = Host(args);
        EXPECT_EQ(c.rc, r.rc) << r.out << r.err;
        EXPECT_NE(std::string::npos, r.err.find(c.message)) << r.err;
        EXPECT_EQ(std::string::npos, r.out.find("cycle 1:")) << r.out;
    }
}

TEST_F(SmHost, TerminationFinishesThePointAndLeavesWholeRows) {
    StartDevices();
    Run r = Host({"--site", kExampleSite, "--cycles", "0"}, 60, "cycle 1:");
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
        unlink(Db().c_str());
        unlink(Hist().c_str());
        if (c.silent) sim.InjectFault(qxsim::Fault::Silence, -1);
        std::string site = ReadFile(kExampleSite) + "\n[TCP-TH]\nsid=4\ntype=0x1200\nchannel=" + sim.Definition() +
                           "\nchtype=" + codeText + "\nshow=.Temp\n";
        Run r = Host({"--site", Site(site), "--cycles", "2"});
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
        unlink(Db().c_str());
        unlink(Hist().c_str());
        std::string simOut = dir + "/devsim.txt";
        std::vector<std::string> args = Program(DEVSIM_PATH);
        args.insert(args.end(), c.faults.begin(), c.faults.end());
        args.push_back("q1ups");
        args.push_back(c.sensor);
        pid_t sim = Spawn(args, simOut, simOut);
        ASSERT_GT(sim, 0);
        std::string text;
        for (int i = 0; i < 500 && text.find("ready\n") == std::string::npos; i++) {
            usleep(10000);
            text = ReadFile(simOut);
        }
        ASSERT_NE(std::string::npos, text.find("ready\n")) << text;
        // "NAME pts=... def=DEF chtype=CODE"
        auto field = [&](const std::string& name, const std::string& key) {
            size_t line = text.find(name + " ");
            size_t at = text.find(" " + key + "=", line);
            size_t end = text.find_first_of(" \n", at + key.size() + 2);
            return text.substr(at + key.size() + 2, end - at - key.size() - 2);
        };
        setenv("UPS_CHANNEL", field("q1ups", "def").c_str(), 1);
        setenv("UPS_CHTYPE", field("q1ups", "chtype").c_str(), 1);
        setenv("TH_CHANNEL", field("modbus-th", "def").c_str(), 1);
        setenv("TH_CHTYPE", field("modbus-th", "chtype").c_str(), 1);
        Run r = Host({"--site", kExampleSite, "--cycles", "1"});
        kill(sim, SIGTERM);
        int status = 0;
        waitpid(sim, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "devsim status " << status;
        ASSERT_EQ(0, r.rc) << text << r.out << r.err;
        EXPECT_NE(std::string::npos, r.out.find("[TH-1] sid 2: type 0x1200, handler 0x1200 TH-485, channel " +
                                                 field("modbus-th", "def") + " (" + field("modbus-th", "chtype") + ")"))
            << r.out;
        Rows db(Db());
        EXPECT_EQ(c.upsState, db.Int("select State from tbSubSysDetail where SID=1")) << r.out;
        EXPECT_EQ(c.thState, db.Int("select State from tbSubSysDetail where SID=2")) << r.out;
    }
}

}  // namespace
