// The serial air-conditioner drivers on the air-conditioner shape: the control module
// (0x701), the in-row unit (0x702), the Mitsubishi adapter (0x705), the PLC unit (0x804) and
// the K200 (0x812). Request frames and waits, decodes, refused replies and what a failed
// request leaves, commands, display keys, registration and what one update stores.
#include <stdio.h>
#include <string.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AircHostPoll.h"
#include "AircMitsubishi.h"
#include "BufHelper.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "aircon/SMAircDAS.h"
#include "aircon/SMAircLcpDx.h"
#include "aircon/SMAircMitsubishi.h"
#include "aircon/SMCyberK200.h"
#include "aircon/SMPlcQSM50.h"
#include "gtest/gtest.h"

using qxtest::Bytes;
using qxtest::HexBytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// Appends the CRC, low byte first.
Bytes Crc(Bytes b) {
    uint16_t c = CBufHelper::crc16(b.data(), (int)b.size());
    b.push_back((uint8_t)c);
    b.push_back((uint8_t)(c >> 8));
    return b;
}
std::string CrcHex(const char* hex) { return qxtest::Hex(Crc(HexBytes(hex))); }
std::string H(const std::string& s) { return Hex(s); }

// A handler at address 1 behind a scripted channel answered by a Modbus slave (or another
// model), with the host's databases.
template <class Handler>
struct Rig {
    explicit Rig(int type, int sid = 41) : item(sid, type), sid(sid) {
        ch.SetResponder([this](const Bytes& r) {
            return answer ? answer(r) : slave.HandleRtu(r.data(), r.size()).bytes;
        });
        item.Port(2).Addr(1).Ser(&ch);
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    void WithDb() {
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        EXPECT_EQ(1, h.ChkDb(item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(" + std::to_string(sid) + "," +
               std::to_string(item.Get().Type) + ",-1)");
    }
    int Poll(int wait = 0) { return h.DataGet(&ch, 1, wait); }
    std::vector<int> Values(int last) {
        std::vector<int> v;
        for (int f = 1; f <= last; f++) v.push_back(h.DataVal(f));
        return v;
    }
    std::vector<std::string> Frames() {
        std::vector<std::string> f;
        for (const Bytes& b : ch.Written()) f.push_back(qxtest::Hex(b));
        return f;
    }
    int Store(int flags, bool answered, int bits0 = 0, int snap = 0) {
        int bits[1] = {bits0};
        return h.DataUpd(flags, answered ? bits : nullptr, &snap, -1, &hist);
    }
    std::string Row(const char* table, const char* cols, TestDb& d) {
        return d.Str(std::string("select ") + cols + " from " + table + " where SID=" +
                     std::to_string(sid));
    }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)); }
    std::string St() { return db.Str("select St from tbSMBrief where SID=" + std::to_string(sid)); }
    long long Detail() { return db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid)); }

    qxsim::ModbusSlave slave{1};
    std::function<Bytes(const Bytes&)> answer;
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    int sid;
    Handler h;
    TestDb db, hist;
};

// The faults of a Modbus reply that fail the request they answer.
struct ReplyFault {
    const char* what;
    std::function<void(qxsim::ModbusSlave&)> plan;
};
const ReplyFault kFaults[] = {
    {"silence", [](qxsim::ModbusSlave& s) { s.FaultOnce(qxsim::ModbusFault::Silence); }},
    {"short", [](qxsim::ModbusSlave& s) { s.FaultOnce(qxsim::ModbusFault::Short); }},
    {"four bytes", [](qxsim::ModbusSlave& s) { s.FaultOnce(qxsim::ModbusFault::Short, 2); }},
    {"bad CRC", [](qxsim::ModbusSlave& s) { s.FaultOnce(qxsim::ModbusFault::BadCrc); }},
    {"exception", [](qxsim::ModbusSlave& s) { s.FaultOnce(qxsim::ModbusFault::Exception, 2); }},
    {"wrong function", [](qxsim::ModbusSlave& s) { s.FaultOnce(qxsim::ModbusFault::WrongFunction); }},
    {"wrong count", [](qxsim::ModbusSlave& s) { s.FaultOnce(qxsim::ModbusFault::WrongCount); }},
    {"wrong address", [](qxsim::ModbusSlave& s) { s.FaultOnce(qxsim::ModbusFault::WrongAddress); }},
};

// Every refused reply fails the poll and leaves the values of the poll before, although the
// unit holds others by then (change sets them).
template <class R>
void ExpectRefusedRepliesKeepValues(void (*change)(qxsim::ModbusSlave&), const std::vector<int>& kept) {
    for (const ReplyFault& f : kFaults) {
        R r;
        ASSERT_EQ(1, r.Poll());
        change(r.slave);
        f.plan(r.slave);
        EXPECT_EQ(0, r.Poll()) << f.what;
        EXPECT_EQ(kept, r.Values((int)kept.size())) << f.what;
    }
}

}  // namespace

// ================================================================ control module (0x701)

namespace {
struct Das : Rig<CSMAircDAS> {
    Das() : Rig(0x701) { qxsim::SetAircDas(slave, qxsim::AircDas()); }
};
// Fields 1..16 of the default module.
const std::vector<int> kDas = {1, 2, 3, 26, 60, 25, 300, 800, 16, 32, 5, 1, 7, 17, 9, 1};
}  // namespace

TEST(AircDas, ReportsItsTypeAndCounts) {
    CSMAircDAS h;
    EXPECT_EQ(0x701, h.GetType());
    EXPECT_STREQ("QX-AIRCDAS", h.GetNote());
    EXPECT_EQ(26, h.DataSize());
    EXPECT_EQ(0, h.DataVal(16));
    EXPECT_EQ(-1, h.DataVal(17));
    EXPECT_EQ(-1, h.DataVal(0));
}

TEST(AircDas, PollFrameWaitAndDecode) {
    Das r;
    ASSERT_EQ(1, r.Poll(900));
    EXPECT_EQ(std::vector<std::string>{CrcHex("01 03 00 00 00 09")}, r.Frames());
    EXPECT_EQ(std::vector<int>{100}, g_sleeps) << "a fixed 100 ms, the host's wait unused";
    EXPECT_EQ(23, r.ch.ReadLengths().at(0));
    EXPECT_EQ(kDas, r.Values(16));
    // A working status above 1 is stored as 0.
    qxsim::AircDas m;
    m.workStatus = 2;
    qxsim::SetAircDas(r.slave, m);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.h.DataVal(1));
}

TEST(AircDas, RefusedRepliesLeaveThePreviousValues) {
    ExpectRefusedRepliesKeepValues<Das>(
        [](qxsim::ModbusSlave& s) {
            qxsim::AircDas other;
            other.tempGet = 99;
            other.currentGet = 1;
            qxsim::SetAircDas(s, other);
        },
        kDas);
    // A reply in two pieces is gathered.
    Das s;
    const Bytes whole = s.slave.HandleRtu(Crc(HexBytes("01 03 00 00 00 09")).data(), 8).bytes;
    s.ch.ReplyChunks({Bytes(whole.begin(), whole.begin() + 5), Bytes(whole.begin() + 5, whole.end())});
    ASSERT_EQ(1, s.Poll());
    EXPECT_EQ(kDas, s.Values(16));
}

TEST(AircDas, AnAddressBeyondOneByteIsRefused) {
    for (int addr : {256, 0x101, -1}) {
        Das r;
        int v = 1;
        EXPECT_EQ(0, r.h.DataGet(&r.ch, addr, 0)) << addr;
        EXPECT_EQ(0, r.h.DoFunc(&r.ch, addr, 1, &v, 4)) << addr;
        EXPECT_TRUE(r.ch.Written().empty()) << addr;
    }
}

TEST(AircDas, CommandsWriteTheRegisterWithTheOtherByteFreshlyRead) {
    // Module: mode 2, status 1, fan 3, set 26, switch time 5.
    struct Case {
        int cmd, v;
        const char* write;  // the frame after the reading, without its CRC
    } cases[] = {
        {0, 5, "01 06 00 00 02 01"},     // on: mode kept, 1
        {0, 0, "01 06 00 00 02 00"},     // off
        {1, 7, "01 06 00 00 03 01"},     // mode limited to 3, status kept
        {1, 2, "01 06 00 00 02 01"},
        {16, 30, "01 06 00 01 03 1E"},   // set temperature, fan kept
        {17, 9, "01 06 00 01 04 1A"},    // fan limited to 4, set temperature kept
        {96, 2, "01 06 00 06 05 01"},    // control mode 1 unless 4
        {96, 4, "01 06 00 06 05 04"},
        {112, 0x33, "01 06 00 07 02 33"},
        {128, 0x144, "01 06 00 08 02 44"},  // the low 8 bits of the value
    };
    for (const Case& c : cases) {
        Das r;
        int v = c.v;
        EXPECT_EQ(1, r.h.DoFunc(&r.ch, 1, c.cmd, &v, 4)) << c.cmd;
        ASSERT_EQ(2u, r.ch.Written().size()) << c.cmd;
        EXPECT_EQ(CrcHex("01 03 00 00 00 09"), r.Frames()[0]) << c.cmd;
        EXPECT_EQ(CrcHex(c.write), r.Frames()[1]) << c.cmd;
        EXPECT_EQ((std::vector<int>{100, 100}), g_sleeps) << c.cmd;
        EXPECT_EQ(8, r.ch.ReadLengths().back()) << c.cmd;
    }
}

TEST(AircDas, ReadOfTheWorkingStatus) {
    Das r;
    int v = 0x7F7F7F7F;
    EXPECT_EQ(1, r.h.DoFunc(&r.ch, 1, 145, &v, 4));
    ASSERT_EQ(2u, r.ch.Written().size());
    EXPECT_EQ(CrcHex("01 03 00 00 00 01"), r.Frames()[1]);
    uint8_t first;
    memcpy(&first, &v, 1);
    EXPECT_EQ(1, first) << "the low byte of register 0";
    EXPECT_EQ(0x7F7F7F, v >> 8 & 0xFFFFFF) << "one byte only";
}

TEST(AircDas, ACommandAfterAFailedReadingWritesNothingThatMergesAByte) {
    struct Case {
        int cmd;
        int result;
        size_t frames;  // written: the reading, and the write when it goes
    } cases[] = {
        {0, 0, 1}, {1, 0, 1}, {16, 0, 1}, {17, 0, 1}, {96, 0, 1},
        {112, 1, 2}, {128, 1, 2}, {145, 1, 2},
    };
    for (const Case& c : cases) {
        Das r;
        r.slave.FaultOnce(qxsim::ModbusFault::Silence);
        int v = 1;
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, &v, 4)) << c.cmd;
        EXPECT_EQ(c.frames, r.ch.Written().size()) << c.cmd;
    }
}

TEST(AircDas, UnknownCommandsNullBufferAndRefusedWrites) {
    for (int cmd : {2, 3, 15, 32, 144, 146, -1}) {
        Das r;
        int v = 1;
        EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, cmd, &v, 4)) << cmd;
        EXPECT_TRUE(r.ch.Written().empty()) << cmd << ": not even the reading";
    }
    Das r;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, nullptr, 4));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 1, nullptr, 4));
    EXPECT_TRUE(r.ch.Written().empty());
    for (const ReplyFault& f : kFaults) {
        if (std::string(f.what) == "wrong count") continue;  // a write reply has no count
        Das d;
        d.slave.FaultOnce(qxsim::ModbusFault::None);  // the reading answers
        f.plan(d.slave);
        int v = 1;
        EXPECT_EQ(0, d.h.DoFunc(&d.ch, 1, 112, &v, 4)) << f.what;
    }
}

TEST(AircDas, RegistrationAndStoredRows) {
    Das r;
    r.WithDb();
    EXPECT_EQ("1793|1793", r.db.Str("select Type||'|'||Kind from tbSMType where Type=1793"));
    EXPECT_EQ(H("空调控制 QX-AIRCDAS"), H(r.db.Str("select Name from tbSMType where Type=1793")));
    EXPECT_EQ("1,6,5", r.db.Str("select group_concat(Fld) from (select Fld from tbSMDef "
                                "where Type=1793 order by rowid)"));
    ASSERT_EQ(1, r.Poll());
    r.slave.SetHolding(1, 0x0C1A);  // fan speed 12: stored as 0
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Store(16, true, 1 << 5 | 1 << 4, 9));
    const char* cols =
        "WorkStatus||','||WorkMode||','||WindSpeed||','||TempSet||','||Humidity||','||TempGet||"
        "','||CurrentGet||','||CurrentSet||','||LowTemp||','||HighTemp||','||SwitchTime||','||"
        "CtrlMode||','||BrandA||','||BrandB||','||BrandC||','||Address||'|'||State||'|'||SnapID";
    const std::string row = "1,2,0,26,60,25,300,800,16,32,5,1,7,17,9,1|0|9";
    EXPECT_EQ(row, r.Row("tbAircDas", cols, r.db));
    EXPECT_EQ(row, r.Row("tbAircDas", cols, r.hist));
    EXPECT_EQ(H("温度:25, 湿度:60%告警:室内湿度 室内温度"), H(r.Brief()));
    EXPECT_EQ("<null>", r.St()) << "the summary has no state";
    EXPECT_EQ(0, r.Detail());
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
}

TEST(AircDas, NoAnswerSaysSoWithoutValues) {
    Das r;
    r.WithDb();
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Store(0, false));
    EXPECT_EQ(2, r.Detail());
    EXPECT_EQ(H("空调,通讯中断"), H(r.Brief()));
    EXPECT_EQ("2|0,0", r.Row("tbAircDas", "State||'|'||TempGet||','||Address", r.db));
    EXPECT_EQ(std::vector<int>(16, 0), r.Values(16));
}

// ================================================================ in-row unit (0x702)

namespace {
struct Lcp : Rig<CSMAircLcpDx> {
    Lcp() : Rig(0x702) { qxsim::SetLcpDx(slave, qxsim::LcpDx()); }
};
const std::vector<int> kLcp = {1, 0, 265, 180, 220};  // RunSt, Fault, TI1, TO1, TemSet
}  // namespace

TEST(AircLcpDx, FramesWaitsAndDecode) {
    struct Case {
        int wait;
        int ms;
    } cases[] = {{0, 100}, {100, 100}, {101, 101}, {250, 250}};
    for (const Case& c : cases) {
        Lcp r;
        ASSERT_EQ(1, r.Poll(c.wait)) << c.wait;
        EXPECT_EQ((std::vector<std::string>{CrcHex("01 04 00 15 00 1C"), CrcHex("01 03 00 02 00 02")}),
                  r.Frames());
        EXPECT_EQ((std::vector<int>{c.ms, c.ms}), g_sleeps) << c.wait;
        EXPECT_EQ((std::vector<int>{100, 20}), std::vector<int>(r.ch.ReadLengths().begin(),
                                                               r.ch.ReadLengths().begin() + 2));
        EXPECT_EQ(kLcp, r.Values(5));
    }
}

TEST(AircLcpDx, AFailedRequestKeepsWhatTheOtherGave) {
    for (const ReplyFault& f : kFaults) {
        for (int failing = 1; failing <= 2; failing++) {
            Lcp r;
            ASSERT_EQ(1, r.Poll());
            qxsim::LcpDx m;
            m.outlet = 111;
            m.inlet = 222;
            m.tempSet = 333;
            m.runSt = 2;
            m.fault = 1;
            qxsim::SetLcpDx(r.slave, m);
            if (failing == 2) r.slave.FaultOnce(qxsim::ModbusFault::None);
            f.plan(r.slave);
            EXPECT_EQ(0, r.Poll()) << f.what << " " << failing;
            const std::vector<int> want = failing == 1 ? kLcp : std::vector<int>{1, 0, 222, 111, 333};
            EXPECT_EQ(want, r.Values(5)) << f.what << " " << failing;
            EXPECT_EQ((size_t)failing, r.ch.Written().size() - 2) << f.what;
        }
    }
}

TEST(AircLcpDx, TheCoilCommand) {
    Lcp r;
    int v = 0;
    EXPECT_EQ(1, r.h.DoFunc(&r.ch, 1, 5, &v, 4));
    EXPECT_EQ(std::vector<std::string>{CrcHex("01 05 00 1D 00 01")}, r.Frames());
    EXPECT_EQ(std::vector<int>{100}, g_sleeps);
    EXPECT_EQ(20, r.ch.ReadLengths().at(0));
    EXPECT_TRUE(r.slave.Coil(29));
    EXPECT_EQ(1, r.h.DoFunc(&r.ch, 1, 5, nullptr, 0)) << "the buffer is not read";
    // A strict slave refuses the value field 0x0001 with exception 03.
    Lcp strict;
    strict.slave.SetCoilValueOne(false);
    EXPECT_EQ(0, strict.h.DoFunc(&strict.ch, 1, 5, &v, 4));
    for (int cmd : {4, 0, 6, 29}) {
        Lcp o;
        EXPECT_EQ(0, o.h.DoFunc(&o.ch, 1, cmd, &v, 4)) << cmd;
        EXPECT_TRUE(o.ch.Written().empty()) << cmd;
    }
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 5, &v, 4));
    Lcp echo;
    echo.answer = [](const Bytes& q) {
        Bytes a(q.begin(), q.end() - 2);
        a[5] = 0;  // not the echo of the write
        return Crc(a);
    };
    EXPECT_EQ(0, echo.h.DoFunc(&echo.ch, 1, 5, &v, 4));
}

TEST(AircLcpDx, SummaryAndDisplayWords) {
    struct Case {
        int run;
        const char* brief;
        const char* shown;
    } cases[] = {{0, "停止", "停止"}, {1, "正常", "启动"}, {2, "告警", "告警"}, {7, "告警", "告警"}};
    for (const Case& c : cases) {
        Lcp r;
        r.WithDb();
        qxsim::LcpDx m;
        m.runSt = (uint16_t)c.run;
        qxsim::SetLcpDx(r.slave, m);
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.Store(0, true, 1 << 1));
        EXPECT_EQ(H(std::string("运行状态：") + c.brief + "告警:故障标志"), H(r.Brief())) << c.run;
        EXPECT_EQ("0", r.St());
        char key[32] = ".运行状态";
        EXPECT_EQ(4, r.h.VarEval(key));
        EXPECT_EQ(H(c.shown), H(key)) << c.run;
    }
    Lcp r;
    ASSERT_EQ(1, r.Poll());
    struct Key {
        const char* key;
        const char* out;
    } keys[] = {{".fault", "无告警"}, {".故障标志", "无告警"}, {".temIn1", "26.5"},
                {".入风口温度", "26.5"}, {".temOut1", "18.0"}, {".出风口温度", "18.0"},
                {".temSet", "22.0"}, {".设置温度", "22.0"}, {".state", "启动"}};
    for (const Key& k : keys) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s", k.key);
        EXPECT_EQ((int)strlen(k.out), r.h.VarEval(buf)) << H(k.key);
        EXPECT_EQ(H(k.out), H(buf)) << H(k.key);
    }
    r.h.Set(2, 3);
    char buf[32] = ".fault";
    EXPECT_EQ(6, r.h.VarEval(buf));
    EXPECT_EQ(H("有告警"), H(buf));
}

// The unit's fault flag reaches the host: its limit check marks it and the point is in alarm
// with the flag's caption. The running state is a state, also when it says "alarm".
TEST(AircLcpDx, TheFaultFlagReachesTheHost) {
    struct Case {
        uint16_t run, fault;
        std::vector<int> out;
        int state;
        const char* brief;
    } cases[] = {
        {1, 0, {}, 0, "运行状态：正常"},
        {0, 0, {}, 0, "运行状态：停止"},
        {2, 1, {2}, 1, "运行状态：告警告警:故障标志"},
        {1, 4, {2}, 1, "运行状态：正常告警:故障标志"},
    };
    for (const Case& c : cases) {
        AircHostPoll<CSMAircLcpDx> p(0x702);
        qxsim::ModbusSlave slave(1);
        qxsim::LcpDx m;
        m.runSt = c.run;
        m.fault = c.fault;
        qxsim::SetLcpDx(slave, m);
        p.ch.SetResponder([&](const Bytes& q) { return slave.HandleRtu(q.data(), q.size()).bytes; });
        ASSERT_EQ(1, p.Poll()) << c.run << "," << c.fault;
        EXPECT_EQ(c.out, p.out) << c.run << "," << c.fault;
        EXPECT_EQ(c.state, p.State()) << c.run << "," << c.fault;
        EXPECT_EQ(H(c.brief), H(p.Brief())) << c.run << "," << c.fault;
    }
}

TEST(AircLcpDx, RegistrationAndStoredRows) {
    Lcp r;
    r.WithDb();
    EXPECT_EQ(H("1794|1792|行间空调 QX-LCP-DX"),
              H(r.db.Str("select Type||'|'||Kind||'|'||Name from tbSMType where Type=1794")));
    EXPECT_EQ("1,2", r.db.Str("select group_concat(Fld) from tbSMDef where Type=1794"));
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Store(1, true));
    const char* cols = "RunSt||','||Fault||','||TI1||','||TO1||','||TemSet||'|'||State";
    EXPECT_EQ("1,0,265,180,220|1", r.Row("tbAircLcpDx", cols, r.db));
    EXPECT_EQ("1,0,265,180,220|1", r.Row("tbAircLcpDx", cols, r.hist));
    EXPECT_EQ("1", r.St());
    ASSERT_EQ(1, r.Store(0, false));
    EXPECT_EQ("0,0,0,0,0|2", r.Row("tbAircLcpDx", cols, r.db));
    EXPECT_EQ(H("行间空调,通讯中断"), H(r.Brief()));
    EXPECT_EQ(std::string::npos, r.Brief().find("停止"));
    EXPECT_EQ(2, r.Detail());
}

// ================================================================ Mitsubishi adapter (0x705)

namespace {
struct Mit : Rig<CSMAircMitsubishi> {
    Mit() : Rig(0x705) {
        answer = [this](const Bytes& q) { return ac.Answer(q); };
        ac.SetData(0x9A, 0x19, 0x85, 0x03);
    }
    qxsim::AircMitsubishi ac{1};
};
// 0x19 is 25 degrees, kept in tenths as the temperature rows divide by 10.
const std::vector<int> kMit = {1, 1, 10, 250, 250, 1, 0, 1, 0, 1, 3};
}  // namespace

TEST(AircMitsubishi, QueryWaitAndDecodeWithAndWithoutLead) {
    for (bool lead : {true, false}) {
        Mit r;
        r.ac.SetLead(lead);
        ASSERT_EQ(1, r.Poll(700)) << lead;
        EXPECT_EQ(std::vector<std::string>{"55 00 01 00 00 00 00 AA"}, r.Frames());
        EXPECT_EQ(std::vector<int>{150}, g_sleeps);
        EXPECT_EQ(1, r.ch.Purges());
        EXPECT_EQ(kMit, r.Values(11)) << lead;
    }
    // The example answer, lead byte first: 55 x x 9A 19 85 03.
    Mit r;
    r.answer = [](const Bytes&) { return HexBytes("55 31 32 9A 19 85 03"); };
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(kMit, r.Values(11));
    EXPECT_EQ(11, r.h.DataSize()) << "up to the fault code";
    EXPECT_EQ(3, r.h.DataVal(11));
    EXPECT_EQ(-1, r.h.DataVal(12));
    char key[16] = ".Tem";
    EXPECT_EQ(-1, r.h.VarEval(key));
    int v = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, &v, 4));
}

TEST(AircMitsubishi, AnswersWithoutTheirLastDataByteFail) {
    struct Case {
        const char* what;
        const char* answer;  // null: none
        int result;
    } cases[] = {
        {"silence", nullptr, 0},
        {"3 bytes", "55 00 01", 0},
        {"5 bytes without lead", "01 00 9A 19 85", 0},
        {"6 bytes with lead", "55 00 01 9A 19 85", 0},
        {"6 bytes without lead", "01 00 11 22 44 05", 1},
        {"7 bytes with lead", "55 00 01 11 22 44 05", 1},
    };
    for (const Case& c : cases) {
        Mit r;
        ASSERT_EQ(1, r.Poll());
        r.answer = [&c](const Bytes&) { return c.answer ? HexBytes(c.answer) : Bytes(); };
        EXPECT_EQ(c.result, r.Poll()) << c.what;
        if (c.result) EXPECT_EQ((std::vector<int>{0, 1, 1, 340, 340, 0, 0, 1, 0, 0, 5}), r.Values(11)) << c.what;
        else EXPECT_EQ(kMit, r.Values(11)) << c.what << ": values kept";
    }
    // In two pieces, and with stale input before the query.
    Mit r;
    r.answer = nullptr;
    r.ch.ReplyChunks({HexBytes("55 00"), HexBytes("01 9A 19 85 03 AA")});
    r.ch.Inject(HexBytes("01 00 00 00 00 00"));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(kMit, r.Values(11));
    for (int addr : {256, -1}) {
        Mit m;
        EXPECT_EQ(0, m.h.DataGet(&m.ch, addr, 0));
        EXPECT_TRUE(m.ch.Written().empty());
    }
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
}

// The unit's filter-cleaning flag and fault code reach the host: its limit check marks them, the
// point is in alarm and the summary names them. On/off, mode, fan, swing, compressor,
// ventilation and the remote lock are states. The simulated adapter's units: a running one
// (bit 7 of d0 clear, "0 开机") and one in trouble.
TEST(AircMitsubishi, FilterDueAndFaultCodeReachTheHost) {
    struct Case {
        const char* what;
        uint8_t d[4];
        std::vector<int> out;
        int state;
        const char* brief;
    } cases[] = {
        {"running, room 32", {0x73, 0x20, 0x05, 0x00}, {}, 0, "温度:32 "},
        {"off, remote locked", {0xF3, 0x20, 0x80, 0x00}, {}, 0, "温度:32 "},
        {"filter due", {0x73, 0x20, 0x07, 0x00}, {7}, 1, "温度:32 告警:过滤网清洗"},
        {"fault code 21", {0x73, 0x20, 0x01, 0x15}, {11}, 1, "温度:32 告警:故障代码"},
    };
    for (const Case& c : cases) {
        AircHostPoll<CSMAircMitsubishi> p(0x705);
        qxsim::AircMitsubishi ac(1);
        ac.SetData(c.d[0], c.d[1], c.d[2], c.d[3]);
        p.ch.SetResponder([&](const Bytes& q) { return ac.Answer(q); });
        ASSERT_EQ(1, p.Poll()) << c.what;
        EXPECT_EQ(c.out, p.out) << c.what;
        EXPECT_EQ(c.state, p.State()) << c.what;
        EXPECT_EQ(H(c.brief), H(p.Brief())) << c.what;
    }

    // The simulated adapter: its running unit is on by the legend, its unit in trouble alarms.
    AircHostPoll<CSMAircMitsubishi> p(0x705);
    qxsim::AircMitsubishi ac(1);
    p.ch.SetResponder([&](const Bytes& q) { return ac.Answer(q); });
    ASSERT_EQ(1, p.Poll());
    EXPECT_EQ("0", p.Cur("tbAircMitsubishi", "StOnOff")) << "0 开机";
    EXPECT_EQ((std::vector<int>{4, 5}), p.out) << "25 degrees lie below the rows' 30.0";
    qxsim::AlarmAircMitsubishi(ac, 1);
    ASSERT_EQ(1, p.Poll());
    EXPECT_EQ((std::vector<int>{4, 5, 7, 11}), p.out);
    EXPECT_EQ(1, p.State());
    EXPECT_EQ("0|400|1|0|21", p.Cur("tbAircMitsubishi", "StOnOff||'|'||Tem||'|'||StFilter||'|'||StComp||'|'||StFaultCode"));
    EXPECT_EQ(H("温度:40 告警:设定温度 温度值 过滤网清洗..."), H(p.Brief()));
}

TEST(AircMitsubishi, TablesInEachDatabaseThatIsSet) {
    CSMAircMitsubishi h;
    TestDb hist;
    EXPECT_EQ(0, h.ChkDb(nullptr)) << "no database";
    h.SetDb(&hist, 1);
    EXPECT_EQ(1, h.ChkDb(nullptr));
    EXPECT_EQ(1, hist.Int("select count(*) from sqlite_master where name='tbAircMitsubishi'"));
    qxhost::PointItem item(5, 0x705);
    EXPECT_EQ(0, h.ChkDb(item)) << "the point's rows need the main database";
}

TEST(AircMitsubishi, RegistrationAndStoredRows) {
    Mit r;
    r.WithDb();
    EXPECT_EQ(H("1797|1280|温湿度 QX-Airc-Mitsubishi|485接口,量程..."),
              H(r.db.Str("select Type||'|'||Kind||'|'||Name||'|'||Note from tbSMType where Type=1797")));
    EXPECT_EQ(11, r.db.Int("select count(*) from tbSMDef where Type=1797"));
    EXPECT_EQ(H("0 开机 1 关机"), H(r.db.Str("select LoText from tbSMDef where Type=1797 and Fld=1")));
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Store(16, true, 1 << 4, 12));
    const char* cols =
        "StOnOff||','||StMode||','||StFan||','||TemSet||','||Tem||','||StWind||','||StFilter||"
        "','||StComp||','||StAir||','||StRemote||','||StFaultCode||'|'||State||'|'||SnapID";
    EXPECT_EQ("1,1,10,250,250,1,0,1,0,1,3|0|12", r.Row("tbAircMitsubishi", cols, r.db));
    EXPECT_EQ("1,1,10,250,250,1,0,1,0,1,3|0|12", r.Row("tbAircMitsubishi", cols, r.hist));
    EXPECT_EQ(H("温度:25 告警:温度值"), H(r.Brief()));
    EXPECT_EQ("0", r.St());
    // Without an answer: the values cleared, SnapID by flag bit 4, the lost link said.
    ASSERT_EQ(1, r.Store(0, false, 0, 12));
    EXPECT_EQ("0,0,0,0,0,0,0,0,0,0,0|2|0", r.Row("tbAircMitsubishi", cols, r.db));
    EXPECT_EQ(H("空调,通讯中断"), H(r.Brief()));
    EXPECT_EQ("2", r.St());
    EXPECT_EQ(2, r.Detail());
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
}

// ================================================================ PLC unit (0x804)

namespace {
struct Plc : Rig<CSMPlcQSM50> {
    Plc() : Rig(0x8FF) { qxsim::SetPlcQsm50(slave, qxsim::PlcQsm50()); }
};
const std::vector<int> kPlc = {1, 0, 253, 601, 248, 555, 0, 0, 0};
}  // namespace

TEST(AircPlc, FiveReadsEachAfter100Ms) {
    Plc r;
    ASSERT_EQ(1, r.Poll(500));
    EXPECT_EQ((std::vector<std::string>{CrcHex("01 03 00 C8 00 01"), CrcHex("01 03 00 CB 00 01"),
                                        CrcHex("01 03 00 00 00 02"), CrcHex("01 03 00 3C 00 01"),
                                        CrcHex("01 03 00 43 00 01")}),
              r.Frames());
    EXPECT_EQ(std::vector<int>(5, 100), g_sleeps);
    EXPECT_EQ(10, r.ch.ReadLengths().at(0));
    EXPECT_EQ(kPlc, r.Values(9));
    EXPECT_EQ(-1, r.h.DataVal(10));
    EXPECT_EQ(0x804, r.h.GetType());
    EXPECT_STREQ("QX-PLC-QSM50-004", r.h.GetNote());
}

TEST(AircPlc, AFailedRequestEndsThePollAndKeepsTheLaterFields) {
    // Fields of request k: started, fault, tem+hum, tem2, hum2.
    const std::vector<std::vector<int>> fieldsOf = {{1}, {2}, {3, 4}, {5}, {6}};
    const std::vector<int> fresh = {0, 1, 111, 222, 333, 444, 0, 0, 0};
    for (const ReplyFault& f : kFaults) {
        for (int k = 0; k < 5; k++) {
            Plc r;
            ASSERT_EQ(1, r.Poll());
            qxsim::PlcQsm50 m;
            m.started = 0; m.fault = 1; m.tem = 111; m.hum = 222; m.tem2 = 333; m.hum2 = 444;
            qxsim::SetPlcQsm50(r.slave, m);
            for (int i = 0; i < k; i++) r.slave.FaultOnce(qxsim::ModbusFault::None);
            f.plan(r.slave);
            EXPECT_EQ(0, r.Poll()) << f.what << " request " << k + 1;
            std::vector<int> want = kPlc;
            for (int i = 0; i < k; i++)
                for (int fld : fieldsOf[i]) want[fld - 1] = fresh[fld - 1];
            EXPECT_EQ(want, r.Values(9)) << f.what << " request " << k + 1;
            EXPECT_EQ((size_t)(5 + k + 1), r.ch.Written().size()) << f.what;
        }
    }
}

TEST(AircPlc, SummaryRowsAndNoCommand) {
    Plc r;
    r.WithDb();
    EXPECT_EQ(H("2052|2048|海瑞森精密空调 QX-PLC-QSM50-004"),
              H(r.db.Str("select Type||'|'||Kind||'|'||Name from tbSMType where Type=2052")));
    // The one definition row has 1 at position 7.
    EXPECT_EQ("2|fault|1|1", r.db.Str("select Fld||'|'||FldName||'|'||Kind||'|'||Rsv from "
                                      "tbSMDef where Type=2052"));
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Store(0, true, 1 << 1));
    EXPECT_EQ(H("温度:25.3,湿度:60.1告警:有故障标志"), H(r.Brief()));
    EXPECT_EQ("<null>", r.St());
    const char* cols = "started||','||fault||','||tem||','||hum||','||tem2||','||hum2||'|'||State";
    EXPECT_EQ("1,0,253,601,248,555|0", r.Row("tbPlc", cols, r.db));
    EXPECT_EQ("1,0,253,601,248,555|0", r.Row("tbPlc", cols, r.hist));
    for (int flags : {0, 1}) {
        ASSERT_EQ(1, r.Store(flags, false));
        EXPECT_EQ(H("通讯故障"), H(r.Brief())) << flags;
        EXPECT_EQ("0,0,0,0,0,0|" + std::to_string(flags ? 1 : 2), r.Row("tbPlc", cols, r.db));
    }
    int v = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, &v, 4));
    EXPECT_EQ(0, r.h.DoFunc(1, &v, 4));
    for (int addr : {256, -1}) EXPECT_EQ(0, r.h.DataGet(&r.ch, addr, 0));
    EXPECT_EQ(5u, r.ch.Written().size()) << "only the poll was sent";
}

// ================================================================ K200 (0x812)

namespace {
struct K200 : Rig<CSMCyberK200> {
    K200() : Rig(0x812) { qxsim::SetK200(slave, qxsim::K200()); }
};
// sdwd sdsd hfwd hfsd status cs js zl zr fj, four probes.
const std::vector<int> kK200 = {220, 50, 235, 48, 1, 0, 0, 1, 0, 1, 0, 0, 0, 0};
}  // namespace

TEST(AircK200, FrameAndDecode) {
    K200 r;
    ASSERT_EQ(1, r.Poll(800));
    EXPECT_EQ(std::vector<std::string>{CrcHex("01 03 00 00 00 08")}, r.Frames());
    EXPECT_TRUE(g_sleeps.empty());
    EXPECT_EQ(1, r.ch.Purges());
    EXPECT_EQ(30, r.ch.ReadLengths().at(0));
    EXPECT_EQ(kK200, r.Values(14));
    EXPECT_EQ(-1, r.h.DataVal(15));
    struct Case {
        uint16_t status, running, probes;
        std::vector<int> flags;  // status, cs js zl zr fj, four probes
    } cases[] = {
        {0x0100, 0x3E, 0, {1, 1, 1, 1, 1, 1, 0, 0, 0, 0}},
        {0x0000, 0x01, 0x01, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},  // bit 0 of either not used
        {0x0001, 0xFF00, 0x3C, {1, 0, 0, 0, 0, 0, 1, 1, 1, 1}},  // high bytes not used
        {0x8000, 0x20, 0x10, {1, 1, 0, 0, 0, 0, 0, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        qxsim::K200 m;
        m.status = c.status;
        m.running = c.running;
        m.probes = c.probes;
        qxsim::SetK200(r.slave, m);
        ASSERT_EQ(1, r.Poll());
        std::vector<int> got = r.Values(14);
        EXPECT_EQ(c.flags, std::vector<int>(got.begin() + 4, got.end())) << c.status << " " << c.running;
    }
}

TEST(AircK200, RefusedRepliesLeaveThePreviousValues) {
    ExpectRefusedRepliesKeepValues<K200>(
        [](qxsim::ModbusSlave& s) {
            qxsim::K200 m;
            m.retTemp = 999;
            m.probes = 0x20;
            qxsim::SetK200(s, m);
        },
        kK200);
    K200 r;
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 256, 0));
    int v = 0;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, &v, 4));
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(AircK200, AProbeFaultIsStoredAsAFault) {
    struct Case {
        int flags;
        uint16_t probes;
        int state;
    } cases[] = {{0, 0, 0}, {1, 0, 1}, {1, 0x10, 2}, {0, 0x04, 2}, {0, 0x20, 2}};
    for (const Case& c : cases) {
        K200 r;
        r.WithDb();
        qxsim::K200 m;
        m.probes = c.probes;
        qxsim::SetK200(r.slave, m);
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.Store(c.flags, true));
        const char* word = c.state == 0 ? "(正常)" : c.state == 1 ? "(报警)" : "(故障)";
        char brief[128];
        snprintf(brief, sizeof brief, "空调%s,回风温度:23.5℃,回风湿度:48%%,空调状态:1(开机)", word);
        EXPECT_EQ(H(brief), H(r.Brief())) << c.flags << " " << c.probes;
        EXPECT_EQ(std::to_string(c.state), r.St());
        EXPECT_EQ(c.state, r.Detail());
        EXPECT_EQ(std::to_string(c.state), r.Row("tbCyberK200", "State", r.hist));
    }
}

TEST(AircK200, RegistrationRowsAndKeys) {
    K200 r;
    r.WithDb();
    EXPECT_EQ(H("2066|2048|精密空调 QX-AIRCK200"),
              H(r.db.Str("select Type||'|'||Kind||'|'||Name from tbSMType where Type=2066")));
    EXPECT_EQ("3,4", r.db.Str("select group_concat(Fld) from tbSMDef where Type=2066"));
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Store(0, true));
    const char* cols = "sdwd||','||sdsd||','||hfwd||','||hfsd||','||status||','||cs||','||js||"
                       "','||zl||','||zr||','||fj||','||hfwdtt||','||sfwdtt||','||hfsdtt||','||swwdtt";
    EXPECT_EQ("220,50,235,48,1,0,0,1,0,1,0,0,0,0", r.Row("tbCyberK200", cols, r.db));
    EXPECT_EQ("220,50,235,48,1,0,0,1,0,1,0,0,0,0", r.Row("tbCyberK200", cols, r.hist));
    struct Key {
        const char* key;
        const char* out;
    } keys[] = {
        {".sdwd", "22.0"}, {".设定温度", "22.0"}, {".hfwd", "23.5"}, {".回风温度", "23.5"},
        {".sdsd", "50"}, {".设定湿度", "50"}, {".hfsd", "48"}, {".回风湿度", "48"},
        {".St", "开机"}, {".状态", "开机"}, {".cs", "关机"}, {".除湿机", "关机"},
        {".js", "关机"}, {".加湿机", "关机"}, {".zl", "开机"}, {".制冷机", "开机"},
        {".zr", "关机"}, {".制热机", "关机"}, {".fj", "开机"}, {".风机", "开机"},
        {".hfwdtt", "正常"}, {".回风温度探头", "正常"}, {".sfwdtt", "正常"},
        {".送风温度探头", "正常"}, {".hfsdtt", "正常"}, {".回风湿度探头", "正常"},
        {".swwdtt", "正常"}, {".室外温度探头", "正常"},
    };
    for (const Key& k : keys) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s", k.key);
        EXPECT_EQ((int)strlen(k.out), r.h.VarEval(buf)) << H(k.key);
        EXPECT_EQ(H(k.out), H(buf)) << H(k.key);
    }
    r.h.Set(12, 1);
    char buf[32] = ".sfwdtt";
    EXPECT_EQ(4, r.h.VarEval(buf));
    EXPECT_EQ(H("故障"), H(buf));
    char none[32] = ".ST";
    EXPECT_EQ(-1, r.h.VarEval(none));
    // Without an answer: the shape's words after the fault mark, no values.
    ASSERT_EQ(1, r.Store(0, false));
    EXPECT_EQ(H("空调(故障),通讯中断"), H(r.Brief()));
    EXPECT_EQ("0,0,0,0,0,0,0,0,0,0,0,0,0,0", r.Row("tbCyberK200", cols, r.db));
}
