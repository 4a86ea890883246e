// The precision air-conditioners over YD/T 1363 (Emerson, EVO DX, DME3000, T-MASTER) and the
// DME3000 over Modbus RTU on the air-conditioner shape: request frames and waits, what the
// replies decode to, which replies are refused and what a refusal leaves, commands, the
// codec of the DME3000 and T-MASTER, and what one update stores.
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "AircHostPoll.h"
#include "AircYdtMaps.h"
#include "BufHelper.h"
#include "GbkText.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "YdFrameText.h"
#include "YdRefusals.h"
#include "YdtDevice.h"
#include "aircon/SMCyberEvoDx.h"
#include "aircon/SMDme3000.h"
#include "aircon/SMEmerson.h"
#include "aircon/SMTEMaster.h"
#include "gtest/gtest.h"

using qxtest::Bytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

std::string Str(const Bytes& b) { return std::string(b.begin(), b.end()); }

// A handler, a unit of its kind behind a scripted channel and the point it is polled for.
// The unit answers every request; fail(k) plans the fault for the k-th request (0-based) of
// the next poll.
template <class H>
struct Rig {
    explicit Rig(int type, int ver = 0x21) : dev(1, 0x60, ver), item(41, type) {
        ch.SetResponder([this](const Bytes& req) {
            if (m_at++ == m_failAt) dev.FaultOnce(m_fault, m_param);
            return dev.Handle(req);
        });
        item.Port(1).Addr(1).Ser(&ch);
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll(int wait = 0, int addr = 1) {
        m_at = 0;
        int r = h.DataGet(&ch, addr, wait);
        m_failAt = -1;
        return r;
    }
    void Fail(int k, qxsim::YdtFault f, int param = -1) {
        m_failAt = k;
        m_fault = f;
        m_param = param;
    }
    std::vector<int> Values(int from, int to) {
        std::vector<int> v;
        for (int f = from; f <= to; f++) v.push_back(h.DataVal(f));
        return v;
    }
    std::vector<std::string> Written() {
        std::vector<std::string> w;
        for (const Bytes& b : ch.Written()) w.push_back(Str(b));
        return w;
    }

    qxsim::YdtDevice dev;
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    H h;

private:
    int m_at = 0, m_failAt = -1, m_param = -1;
    qxsim::YdtFault m_fault = qxsim::YdtFault::None;
};

struct EmersonRig : Rig<CSMEmerson> {
    EmersonRig() : Rig(0x801) { qxsim::SetEmerson(dev, unit); }
    qxsim::EmersonUnit unit;
};
struct EvoRig : Rig<CSMCyberEvoDx> {
    EvoRig() : Rig(0x80E) { qxsim::SetEvoDx(dev, unit); }
    qxsim::EvoDxUnit unit;
};
struct DmeRig : Rig<CSMDme3000> {
    DmeRig() : Rig(0x809) { qxsim::SetDme3000(dev, unit); }
    qxsim::Dme3000Unit unit;
};
struct TeRig : Rig<CSMTEMaster> {
    TeRig() : Rig(0x80C, 0x20) { qxsim::SetTeMaster(dev, unit); }
    qxsim::TeMasterUnit unit;
};

// A reply of a unit at address 1 with this INFO.
std::string Reply(int ver, const std::string& info, int rtn = 0) {
    return qxsim::YdtFrame(ver, 1, 0x60, rtn, info);
}

}  // namespace

// ---------------------------------------------------------------- frames and waits

TEST(AircYdtFrames, RequestsAndWaits) {
    struct Case {
        const char* name;
        std::function<std::vector<std::string>(int wait, std::vector<int>& sleeps)> poll;
        int wait;
        std::vector<std::string> frames;
        std::vector<int> sleeps;
    };
    auto run = [](auto& rig, int wait, std::vector<int>& sleeps) {
        EXPECT_EQ(1, rig.Poll(wait));
        sleeps = g_sleeps;
        return rig.Written();
    };
    const std::vector<std::string> emerson = {"~210160420000FDB0\r", "~210160470000FDAB\r",
                                              "~210160820000FDAC\r", "~210160850000FDA9\r"};
    const std::vector<std::string> evo = {"~210160420000FDB0\r", "~210160430000FDAF\r",
                                          "~210160440000FDAE\r"};
    const std::vector<std::string> dme = {"~210160820000FDAC\r", "~210160420000FDB0\r",
                                          "~210160470000FDAB\r", "~210160830000FDAB\r"};
    const Case cases[] = {
        {"Emerson, 200 ms whatever the wait", [&](int w, std::vector<int>& s) { EmersonRig r; return run(r, w, s); },
         900, emerson, {200, 200, 200, 200}},
        {"EVO DX, no wait given", [&](int w, std::vector<int>& s) { EvoRig r; return run(r, w, s); }, 0, evo,
         {250, 250, 250}},
        {"EVO DX, the host's wait", [&](int w, std::vector<int>& s) { EvoRig r; return run(r, w, s); }, 40, evo,
         {40, 40, 40}},
        {"DME3000, no wait given", [&](int w, std::vector<int>& s) { DmeRig r; return run(r, w, s); }, 0, dme,
         {100, 100, 100, 100}},
        {"DME3000, the host's wait", [&](int w, std::vector<int>& s) { DmeRig r; return run(r, w, s); }, 1, dme,
         {1, 1, 1, 1}},
        {"T-MASTER, no wait", [&](int w, std::vector<int>& s) { TeRig r; return run(r, w, s); }, 500,
         {"~200160E00000FDA2\r"}, {}},
    };
    for (const Case& c : cases) {
        std::vector<int> sleeps;
        EXPECT_EQ(c.frames, c.poll(c.wait, sleeps)) << c.name;
        EXPECT_EQ(c.sleeps, sleeps) << c.name;
    }
}

TEST(AircYdtFrames, AddressesBeyondOneByteSendNothing) {
    EmersonRig e;
    EvoRig v;
    DmeRig d;
    TeRig t;
    for (int addr : {256, -1, 0x101}) {
        EXPECT_EQ(0, e.Poll(0, addr)) << addr;
        EXPECT_EQ(0, v.Poll(0, addr)) << addr;
        EXPECT_EQ(0, d.Poll(0, addr)) << addr;
        d.item.Variant(1);
        EXPECT_EQ(0, d.Poll(0, addr)) << addr << " over Modbus";
        d.item.Variant(0);
        EXPECT_EQ(0, t.Poll(0, addr)) << addr;
        uint16_t v1 = 1;
        EXPECT_EQ(0, d.h.DoFunc(&d.ch, addr, 1 << 16, &v1, 2)) << addr;
    }
    for (auto* ch : {&e.ch, &v.ch, &d.ch, &t.ch}) EXPECT_TRUE(ch->Written().empty());
    d.dev.SetAddress(255);
    EXPECT_EQ(1, d.Poll(0, 255)) << "255 is an address";
}

// ---------------------------------------------------------------- Emerson

TEST(Emerson, DecodesItsFourReplies) {
    EmersonRig r;
    r.unit.sw[17] = 1;
    qxsim::SetEmerson(r.dev, r.unit);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(21, r.h.DataSize());
    EXPECT_EQ((std::vector<int>{235, 450, 2200, 2210, 2220, 35, 500}), r.Values(1, 7));
    EXPECT_EQ((std::vector<int>{300, 240, 10, 50, 5, 10, 350, 150, 800, 200, 300, 180}),
              r.Values(8, 19));
    EXPECT_EQ((std::vector<int>{1, 0}), r.Values(20, 21));
    EXPECT_EQ((std::vector<int>{1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1}),
              r.Values(22, 39));
    EXPECT_EQ(-1, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(40));
}

TEST(Emerson, WarnIsAnyAlarmCharacterOtherThanZero) {
    struct Case {
        int at;       // reply character set to '1'; 0: none
        char ch;
        int warn;
    } cases[] = {{0, '1', 0}, {15, '1', 1}, {25, 'F', 1}, {36, '2', 1}, {13, '1', 0}, {14, '1', 0}, {37, '1', 0}};
    for (const Case& c : cases) {
        EmersonRig r;
        std::string info = qxsim::EmersonInfo(r.unit, 0x85);
        if (c.at) info[(size_t)(c.at - 13)] = c.ch;
        r.dev.SetInfo(0x85, info);
        ASSERT_EQ(1, r.Poll()) << c.at;
        EXPECT_EQ(c.warn, r.h.DataVal(21)) << c.at;
    }
}

TEST(Emerson, BlanksReadAsZero) {
    EmersonRig r;
    std::string a = qxsim::EmersonInfo(r.unit, 0x42);
    a[1] = ' ';  // inside the temperature
    r.dev.SetInfo(0x42, a);
    std::string s = qxsim::EmersonInfo(r.unit, 0x82);
    s.replace(2, 2, "  ");  // the fan's state
    r.dev.SetInfo(0x82, s);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.h.DataVal(1)) << "not 255-garbled";
    EXPECT_EQ(450, r.h.DataVal(2));
    EXPECT_EQ(0, r.h.DataVal(22));
}

TEST(Emerson, AFailedRequestEndsThePollAndKeepsTheEarlierOnes) {
    // Request k fails: fields of requests before k are this poll's, the others the last poll's.
    for (const qxtest::YdRefusal& f : qxtest::YdRefusals()) {
        for (int k = 0; k < 4; k++) {
            EmersonRig r;
            ASSERT_EQ(1, r.Poll());
            const std::vector<int> before = r.Values(1, 39);
            qxsim::EmersonUnit u;
            for (auto& v : u.analogue) v = 7;
            for (auto& v : u.params) v = 8;
            u.status = 0;
            for (auto& v : u.sw) v = !v;
            u.alarms[0] = '1';
            qxsim::SetEmerson(r.dev, u);
            r.Fail(k, f.fault, f.param);
            EXPECT_EQ(0, r.Poll()) << f.what << " at " << k;
            EXPECT_EQ(k + 1u, r.ch.Written().size() - 4) << f.what << ": nothing asked after it";
            for (int fld = 1; fld <= 39; fld++) {
                // CID2 42: fields 1-7, 47: 8-19, 82: 20 and 22-39, 85: 21.
                int req = fld < 8 ? 0 : fld < 20 ? 1 : fld == 21 ? 3 : 2;
                const bool fresh = req < k;
                const int now = r.h.DataVal(fld);
                if (fresh)
                    EXPECT_NE(before[fld - 1], now) << f.what << " at " << k << " field " << fld;
                else
                    EXPECT_EQ(before[fld - 1], now) << f.what << " at " << k << " field " << fld;
            }
        }
    }
}

TEST(Emerson, AnInfoThatEndsBeforeTheLastCharacterReadFails) {
    struct Case {
        int cid2, need;
    } cases[] = {{0x42, 41}, {0x47, 61}, {0x82, 51}, {0x85, 37}};
    for (const Case& c : cases) {
        EmersonRig r;
        const std::string info = qxsim::EmersonInfo(r.unit, c.cid2);
        r.dev.SetInfo(c.cid2, info.substr(0, (size_t)(c.need - 13)));
        EXPECT_EQ(1, r.Poll()) << std::hex << c.cid2 << " just covered";
        r.dev.SetInfo(c.cid2, info.substr(0, (size_t)(c.need - 14)));
        EXPECT_EQ(0, r.Poll()) << std::hex << c.cid2 << " one character short";
    }
}

// ---------------------------------------------------------------- EVO DX

TEST(EvoDx, DecodesValuesStatesAndAlarmCodes) {
    EvoRig r;
    r.unit.alarms[0] = 0x01;
    r.unit.alarms[1] = 0x00;
    r.unit.alarms[2] = 0x02;
    r.unit.alarms[3] = 0xFF;
    r.unit.alarms[41] = 0x01;
    r.unit.alarms[30] = 0x01;
    qxsim::SetEvoDx(r.dev, r.unit);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<int>{231, 232, 233, 234, 235, 0, 150, 451, 452, 453, 454, 455, 0x8000,
                                20, 233, 453, 12, 34}),
              r.Values(1, 18))
        << "7FFF is 0, 8000 is kept";
    EXPECT_EQ((std::vector<int>{1, 0, 0, 0}), r.Values(19, 22)) << "01 is an alarm; 00, 02, FF not";
    EXPECT_EQ(1, r.h.DataVal(49));
    EXPECT_EQ(1, r.h.DataVal(60));
    EXPECT_EQ((std::vector<int>{1, 1, 0, 0, 0, 0, 2, 3}), r.Values(61, 68));
    EXPECT_EQ(0, r.h.DataVal(0));
    EXPECT_EQ(0, r.h.DataVal(69));
    EXPECT_EQ(68, r.h.DataSize());
    EXPECT_EQ(0, CSMCyberEvoDx::GETAST(2));
}

// Each of the EVO DX's 42 alarm states reaches the host: its limit check marks the field, the
// point is in alarm and the summary names the row's caption. A running unit without alarm
// codes is normal, and a code other than 01 is no alarm.
TEST(EvoDx, EveryAlarmStateReachesTheHost) {
    auto poll = [](const qxsim::EvoDxUnit& u, AircHostPoll<CSMCyberEvoDx>& p) {
        qxsim::YdtDevice dev(1, 0x60, 0x21);
        qxsim::SetEvoDx(dev, u);
        p.ch.SetResponder([&](const Bytes& q) { return dev.Handle(q); });
        return p.Poll();
    };
    const std::string readings = "室内平均温度:23.3, 平均湿度:45.3";
    {
        AircHostPoll<CSMCyberEvoDx> p(0x80E);
        qxsim::EvoDxUnit u;
        for (uint8_t& a : u.alarms) a = 0x02;
        ASSERT_EQ(1, poll(u, p));
        EXPECT_TRUE(p.out.empty());
        EXPECT_EQ(0, p.State());
        EXPECT_EQ(readings, p.Brief());
    }
    for (int i = 0; i < 42; i++) {
        AircHostPoll<CSMCyberEvoDx> p(0x80E);
        qxsim::EvoDxUnit u;
        u.alarms[i] = 0x01;
        ASSERT_EQ(1, poll(u, p)) << i;
        EXPECT_EQ(std::vector<int>{19 + i}, p.out) << i;
        EXPECT_EQ(1, p.State()) << i;
        const std::string caption =
            p.db.Str("select Note from tbSMDef where SID=0 and Type=2062 and Fld=" + std::to_string(19 + i));
        EXPECT_EQ(readings + "告警:" + caption, p.Brief()) << i;
    }
}

TEST(EvoDx, RefusalsAndWhatTheyLeave) {
    // Request 1 refused: the last poll's values; later ones: what this poll decoded so far,
    // the rest zero (the record starts again with the first reply).
    for (const qxtest::YdRefusal& f : qxtest::YdRefusals()) {
        for (int k = 0; k < 3; k++) {
            EvoRig r;
            ASSERT_EQ(1, r.Poll());
            r.unit.analogue[0] = 111;
            qxsim::SetEvoDx(r.dev, r.unit);
            r.Fail(k, f.fault, f.param);
            EXPECT_EQ(0, r.Poll()) << f.what << " at " << k;
            EXPECT_EQ(k == 0 ? 231 : 111, r.h.DataVal(1)) << f.what << " at " << k;
            EXPECT_EQ(k == 1 ? 0 : 1, r.h.DataVal(61)) << f.what << " at " << k;
        }
    }
}

TEST(EvoDx, NoiseWithoutSoiIsAFailedExchange) {
    EvoRig r;
    qxtest::ScriptChannel& ch = r.ch;
    ch.Reply(qxtest::TextBytes(std::string(40, 'A') + "\r"));
    EXPECT_EQ(0, r.Poll()) << "not a poll that succeeded";
    EXPECT_EQ(1u, ch.Written().size());
}

TEST(EvoDx, AVariantUnitIsTakenWithoutItsSums) {
    struct Case {
        const char* what;
        qxsim::YdtFault fault;
        int param;
        int variant0, variant1;
    } cases[] = {
        {"bad CHKSUM", qxsim::YdtFault::BadChecksum, -1, 0, 1},
        {"bad LCHKSUM", qxsim::YdtFault::BadLength, -1, 0, 1},
        {"RTN 04", qxsim::YdtFault::Rtn, 4, 0, 0},
        {"no SOI", qxsim::YdtFault::NoSoi, -1, 0, 0},
        {"lower case", qxsim::YdtFault::Lowercase, -1, 0, 0},
        {"cut short", qxsim::YdtFault::Short, 40, 0, 0},
    };
    for (const Case& c : cases) {
        for (int variant : {0, 1}) {
            EvoRig r;
            r.item.Variant(variant);
            r.Fail(1, c.fault, c.param);
            EXPECT_EQ(variant ? c.variant1 : c.variant0, r.Poll()) << c.what << " variant " << variant;
        }
    }
    EvoRig r;
    r.item.Variant(1);
    r.dev.SetInfo(0x44, qxsim::EvoDxInfo(r.unit, 0x44).substr(0, 153));
    EXPECT_EQ(0, r.Poll()) << "the INFO must still cover the characters read";
}

// ---------------------------------------------------------------- DME3000

TEST(Dme3000, YdtRepliesDecodeIntoTheRecord) {
    DmeRig r;
    r.unit.run = 0x3F;
    r.unit.alarm = 0x41;
    r.unit.user = 0x81;
    r.unit.power = 0x80;
    r.unit.mode = 0x1A;
    r.unit.locks = 0x05;
    qxsim::SetDme3000(r.dev, r.unit);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(39, r.h.DataSize()) << "every field with an alarm row";
    EXPECT_EQ((std::vector<int>{1, 1, 1, 1, 1, 1}), r.Values(1, 6));
    EXPECT_EQ((std::vector<int>{1, 0, 0, 0, 0, 0, 1}), r.Values(7, 13)) << "0x41: s_gy and s_elec";
    EXPECT_EQ((std::vector<int>{235, 450, 310, 240, 500}), r.Values(14, 18));
    EXPECT_EQ(1, r.h.DataVal(19));
    EXPECT_EQ(1, r.h.DataVal(26));
    EXPECT_EQ(1, r.h.DataVal(34));
    EXPECT_EQ((std::vector<int>{2, 3, 1, 0, 1}), r.Values(35, 39)) << "0x1A: state 2, mode 3";
    EXPECT_EQ(0, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(40));
    // The record in word order: tem, hum, temout, temset, humset, s_pow, ...
    const int32_t* w = static_cast<const int32_t*>(r.h.Data());
    EXPECT_EQ((std::vector<int>{235, 450, 310, 240, 500, 1}), std::vector<int>(w, w + 6));
    EXPECT_EQ(1, w[17]);  // s_elec
    EXPECT_EQ(2, w[34]);  // s_mstate
}

TEST(Dme3000, YdtRefusalsByExchange) {
    // The first three fail the poll (the record is zeroed after the first reply); the fourth
    // costs only the unit state and locks.
    for (const qxtest::YdRefusal& f : qxtest::YdRefusals()) {
        for (int k = 0; k < 4; k++) {
            DmeRig r;
            r.unit.mode = 0x0A;
            qxsim::SetDme3000(r.dev, r.unit);
            ASSERT_EQ(1, r.Poll());
            r.Fail(k, f.fault, f.param);
            EXPECT_EQ(k == 3 ? 1 : 0, r.Poll()) << f.what << " at " << k;
            EXPECT_EQ(k == 0 ? 1 : k == 3 ? 1 : 1, r.h.DataVal(1)) << f.what << " at " << k;
            EXPECT_EQ(k == 0 ? 235 : k == 1 ? 0 : 235, r.h.DataVal(14)) << f.what << " at " << k;
            EXPECT_EQ(k == 0 ? 2 : 0, r.h.DataVal(35)) << f.what << " at " << k;
        }
    }
}

TEST(Dme3000, ModbusPoll) {
    qxsim::ModbusSlave slave(1);
    qxsim::Dme3000Regs regs;
    regs.temset = -5;
    for (bool& b : regs.inputs) b = false;
    for (int i : {0, 2, 3, 8, 10, 11, 13, 14, 15, 16}) regs.inputs[i] = true;  // d0 0D, d1 FF, d2 01
    regs.power[4] = true;
    qxsim::SetDme3000Modbus(slave, regs);
    qxtest::ScriptChannel ch;
    int at = 0, failAt = -1;
    qxsim::ModbusFault fault = qxsim::ModbusFault::Silence;
    ch.SetResponder([&](const Bytes& req) {
        if (at++ == failAt) slave.FaultOnce(fault);
        return slave.HandleRtu(req.data(), req.size()).bytes;
    });
    qxhost::PointItem item(42, 0x809);
    item.Variant(1).Addr(1).Ser(&ch);
    CSMDme3000 h;
    h.DoItem(item, 0);
    auto vals = [&](int from, int to) {
        std::vector<int> v;
        for (int f = from; f <= to; f++) v.push_back(h.DataVal(f));
        return v;
    };
    g_sleeps.clear();
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    std::vector<std::string> frames;
    for (const Bytes& b : ch.Written()) frames.push_back(qxtest::Hex(b.data(), b.size()));
    EXPECT_EQ((std::vector<std::string>{"01 04 00 00 00 03 B0 0B", "01 04 00 1E 00 02 11 CD",
                                        "01 04 00 7B 00 01 41 D3", "01 02 00 0E 00 14 19 C6",
                                        "01 02 00 29 00 06 29 C0", "01 02 00 51 00 06 A9 D9"}),
              frames);
    EXPECT_EQ((std::vector<int>{100, 100, 100, 100, 100, 100}), g_sleeps);
    EXPECT_EQ((std::vector<int>{235, 450, 0, -5, 500}), vals(14, 18)) << "registers are signed";
    // Every set input is 1, as the YD/T poll stores the same columns; s_pow has no input.
    EXPECT_EQ((std::vector<int>{0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}), vals(1, 13));
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, 0}), vals(35, 39));
    g_sleeps.clear();
    ASSERT_EQ(1, h.DataGet(&ch, 1, 101));
    EXPECT_EQ(std::vector<int>(6, 101), g_sleeps);

    // A refused read ends the poll; the reads before it are kept (the record starts again
    // with the first).
    regs.tem = 77;
    qxsim::SetDme3000Modbus(slave, regs);
    for (qxsim::ModbusFault f : {qxsim::ModbusFault::Silence, qxsim::ModbusFault::BadCrc,
                                 qxsim::ModbusFault::Exception}) {
        for (int k = 0; k < 6; k++) {
            ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
            const int prev = h.DataVal(14);
            regs.tem = (int16_t)(k + 1000);
            qxsim::SetDme3000Modbus(slave, regs);
            at = 0;
            failAt = k;
            fault = f;
            const size_t sent = ch.Written().size();
            EXPECT_EQ(0, h.DataGet(&ch, 1, 0)) << (int)f << " at " << k;
            failAt = -1;
            EXPECT_EQ(sent + k + 1, ch.Written().size()) << (int)f << " at " << k;
            EXPECT_EQ(k == 0 ? prev : k == 1 ? 0 : 1000 + k, h.DataVal(14)) << (int)f << " at " << k;
            EXPECT_EQ(500, h.DataVal(18)) << (int)f << " at " << k;
        }
    }

    const size_t sent = ch.Written().size();
    item.Variant(2);
    EXPECT_EQ(0, h.DataGet(&ch, 1, 0)) << "no such protocol";
    EXPECT_EQ(sent, ch.Written().size());
}

TEST(Dme3000, Commands) {
    struct Case {
        const char* name;
        int cmd;
        uint16_t v;
        std::string frame;  // empty: nothing sent
        int result;
    } cases[] = {
        {"switch off", 1 << 16, 0, qxtest::YdFrame("21016045", "1F"), 1},
        {"switch on", 1 << 16 | 7, 3, qxtest::YdFrame("21016045", "10"), 1},
        {"parameter 5", 2 << 16 | 5, 0x0123, qxtest::YdFrame("21016049", "000000050123"), 1},
        {"no such command", 3 << 16, 1, "", 0},
        {"command 0", 0, 1, "", 0},
    };
    for (const Case& c : cases) {
        DmeRig r;
        uint16_t v = c.v;
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, &v, 2)) << c.name;
        if (c.frame.empty())
            EXPECT_TRUE(r.ch.Written().empty()) << c.name;
        else
            EXPECT_EQ(std::vector<std::string>{c.frame}, r.Written()) << c.name;
        EXPECT_TRUE(g_sleeps.empty()) << c.name;
    }
    DmeRig r;
    uint16_t v = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1 << 16, nullptr, 2)) << "no value";
    r.dev.SetRtn(0x45, 4);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1 << 16, &v, 2)) << "refused";
    r.dev.SetFault(qxsim::YdtFault::Silence);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 2 << 16, &v, 2)) << "unanswered";
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1 << 16, &v, 2));
}

// What the operator reads of a DME3000 point, by protocol: over Modbus the unit sends no on/off
// state and no outdoor temperature, so its running state is that of its evaporator fan (which
// runs whenever the unit is on) and the outdoor temperature's 0 is no alarm; over YD/T 1363
// both come from the unit.
TEST(Dme3000, WhatTheOperatorReadsByProtocol) {
    struct Case {
        const char* name;
        int variant;
        bool fan, cooling;  // Modbus: the fan and cooling inputs
        uint8_t run;        // YD/T: the running-state byte (bit 0 on, bit 1 fan)
        uint16_t tem, temout;
        int state;
        std::vector<int> out;  // fields the host finds out of limits
        const char* brief;
    } cases[] = {
        {"Modbus, running, room 23.5", 1, true, true, 0, 235, 0, 1, {14, 16}, "空调状态：开告警:温度值"},
        {"Modbus, running, room 32.0", 1, true, true, 0, 320, 0, 0, {16}, "空调状态：开"},
        {"Modbus, every running input 0", 1, false, false, 0, 320, 0, 0, {16}, "空调状态：关"},
        {"Modbus, cooling without fan", 1, false, true, 0, 320, 0, 0, {16}, "空调状态：关"},
        {"YD/T, running", 0, false, false, 0x03, 320, 400, 0, {}, "空调状态：开"},
        {"YD/T, fan without power bit", 0, false, false, 0x02, 320, 400, 0, {}, "空调状态：关"},
        {"YD/T, outdoor 0.0 is a reading", 0, false, false, 0x03, 320, 0, 1, {16}, "空调状态：开告警:室外温度值"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AircHostPoll<CSMDme3000> p(0x809, c.variant);
        qxsim::ModbusSlave slave(1);
        qxsim::YdtDevice dev(1, 0x60, 0x21);
        if (c.variant == 1) {
            qxsim::Dme3000Regs regs;
            regs.tem = (int16_t)c.tem;
            regs.fan = c.fan;
            regs.inputs[0] = c.fan;
            regs.cooling = c.cooling;
            qxsim::SetDme3000Modbus(slave, regs);
            p.ch.SetResponder([&](const Bytes& q) { return slave.HandleRtu(q.data(), q.size()).bytes; });
        } else {
            qxsim::Dme3000Unit u;
            u.run = c.run;
            u.tem = c.tem;
            u.temout = c.temout;
            qxsim::SetDme3000(dev, u);
            p.ch.SetResponder([&](const Bytes& q) { return dev.Handle(q); });
        }
        ASSERT_EQ(1, p.Poll());
        EXPECT_EQ(c.out, p.out);
        EXPECT_EQ(c.state, p.State());
        EXPECT_EQ(std::to_string(c.state), p.Cur("tbDME3000", "State"));
        EXPECT_EQ(std::string(c.brief), p.Brief());
        if (c.variant == 1) {
            EXPECT_EQ("0", p.Cur("tbDME3000", "s_pow")) << "no on/off state over Modbus";
        }
    }
}

// ---------------------------------------------------------------- T-MASTER

TEST(TeMaster, DecodesItsOneReply) {
    struct Case {
        const char* name;
        uint16_t tem, hum;
        std::string alarms;  // characters 27-34
        std::vector<int> want;  // tem, hum, almst1..4
    } cases[] = {
        {"normal", 235, 450, "FFFFFFFF", {235, 450, 255, 255, 255, 255}},
        {"no humidity sensor", 235, 0x8001, "FF00FF01", {235, 0, 255, 0, 255, 1}},
        {"8001 is a temperature", 0x8001, 450, "FF F  FF", {32769, 450, 255, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        TeRig r;
        r.unit.tem = c.tem;
        r.unit.hum = c.hum;
        std::string info = qxsim::TeMasterInfo(r.unit);
        info.replace(27 - 13, 8, c.alarms);
        r.dev.SetInfo(0xE0, info);
        ASSERT_EQ(1, r.Poll()) << c.name;
        EXPECT_EQ(c.want, (std::vector<int>{r.h.DataVal(1), r.h.DataVal(2), r.h.DataVal(19),
                                            r.h.DataVal(20), r.h.DataVal(21), r.h.DataVal(22)}))
            << c.name;
        EXPECT_EQ((std::vector<int>{300, 150, 700, 300, 240, 500, 1234, 1}), r.Values(3, 10)) << c.name;
        EXPECT_EQ((std::vector<int>{1, 0, 1, 0, 0, 0, 0, 2}), r.Values(11, 18)) << c.name;
    }
    TeRig r;
    EXPECT_EQ(0, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(23));
    EXPECT_EQ(22, r.h.DataSize());
    int v = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 0, &v, 4)) << "no commands: nothing is sent";
    EXPECT_TRUE(r.ch.Written().empty());
}

TEST(TeMaster, RefusedRepliesKeepThePreviousValues) {
    for (const qxtest::YdRefusal& f : qxtest::YdRefusals()) {
        TeRig r;
        ASSERT_EQ(1, r.Poll());
        r.unit.tem = 99;
        qxsim::SetTeMaster(r.dev, r.unit);
        r.Fail(0, f.fault, f.param);
        EXPECT_EQ(0, r.Poll()) << f.what;
        EXPECT_EQ(235, r.h.DataVal(1)) << f.what;
    }
    TeRig r;
    r.dev.SetInfo(0xE0, qxsim::TeMasterInfo(r.unit).substr(0, 57));
    EXPECT_EQ(0, r.Poll()) << "INFO ends before the last value";
    r.ch.Reply(qxtest::TextBytes(Reply(0x20, qxsim::TeMasterInfo(r.unit), 0)));
    r.dev.SetInfo(0xE0, qxsim::TeMasterInfo(r.unit));
    EXPECT_EQ(1, r.Poll());
}

TEST(AircYdCodec, ThePartsOfTheUnitsCodec) {
    const CAircYdCodec dme(0x21), te(0x20);
    uint8_t f[64];
    int n = te.CmdPack(f, sizeof f, 0xE0, 1, nullptr, 5);
    EXPECT_EQ("~200160E00000FDA2\r", std::string((char*)f, (size_t)n)) << "no INFO without info";
    const uint8_t info[] = {0x1F};
    n = dme.CmdPack(f, sizeof f, 0x45, 1, info, 1);
    EXPECT_EQ(qxtest::YdFrame("21016045", "1F"), std::string((char*)f, (size_t)n));
    EXPECT_EQ(0, dme.CmdPack(f, 19, 0x45, 1, info, 1)) << "bounded by the buffer";
    EXPECT_EQ(0xE002, CAircYdCodec::GetChkLength(0x002));
    EXPECT_EQ(CAircYdCodec::GetChkLength(0x1002), CAircYdCodec::GetChkLength(0x002));
    EXPECT_EQ('A', CAircYdCodec::HASCII(0xA5));
    EXPECT_EQ('5', CAircYdCodec::LASCII(0xA5));

    struct Case {
        const char* text;
        unsigned n;
        int u8, u16;
        uint8_t hex0;
    } cases[] = {
        {"12AB", 4, 0x12, 0x12AB, 1},
        {"12ab", 4, 0x12, 0x12AB, 1},
        {"12AB99", 6, 0x12, 0x12AB, 1},   // a minimum, not an exact count
        {"12A", 3, 0x12, 0, 1},
        {"1", 1, 0, 0, 1},
        {"G2AB", 4, 0xF2, 0xF2AB, 255},   // not hexadecimal: the nibble 15
        {"1 AB", 4, 0, 0, 1},
        {"12 B", 4, 0x12, 0, 1},
    };
    for (const Case& c : cases) {
        const uint8_t* p = (const uint8_t*)c.text;
        EXPECT_EQ(c.u8, CAircYdCodec::Acsii2uint8(p, c.n)) << c.text;
        EXPECT_EQ(c.u16, CAircYdCodec::Acsii2uint16(p, c.n)) << c.text;
        EXPECT_EQ(c.hex0, CAircYdCodec::ASCII2HEX(p[0])) << c.text;
    }
    // 1.5f is 3FC00000, its pairs least significant first.
    EXPECT_DOUBLE_EQ(1.5, CAircYdCodec::Acsii2double((const uint8_t*)"0000C03F", 8));
    EXPECT_DOUBLE_EQ(-1.5, CAircYdCodec::Acsii2double((const uint8_t*)"0000C0BF", 8));
    EXPECT_EQ(0, CAircYdCodec::Acsii2double((const uint8_t*)"0000C03", 7));
    EXPECT_EQ(0, CAircYdCodec::Acsii2double((const uint8_t*)"0000 03F", 8));
    const std::string good = qxtest::YdFrame("20016000", "0123");
    EXPECT_EQ(1, CAircYdCodec::GetChkASCII((const uint8_t*)good.data(), (unsigned)good.size()));
    EXPECT_EQ(1, CAircYdCodec::GetChkSum((const uint8_t*)good.data(), (unsigned)good.size()));
    std::string bad = good;
    bad[14] = 'a';
    EXPECT_EQ(0, CAircYdCodec::GetChkASCII((const uint8_t*)bad.data(), (unsigned)bad.size()));
}

TEST(Emerson, ValuesKeptFromEarlierPollsAreThePointsOwn) {
    // Point 41 answers whole; point 42's first poll fails at its second request: what it
    // has not read is 0, never point 41's readings.
    EmersonRig r;
    ASSERT_EQ(1, r.Poll());
    qxhost::PointItem other(42, 0x801);
    other.Port(1).Addr(1).Ser(&r.ch);
    r.h.DoItem(other, 0);
    r.Fail(1, qxsim::YdtFault::Silence);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(235, r.h.DataVal(1));
    EXPECT_EQ(0, r.h.DataVal(8)) << "not the other point's parameter";
    EXPECT_EQ(0, r.h.DataVal(20));
    r.h.DoItem(r.item, 0);
    r.Fail(0, qxsim::YdtFault::Silence);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(300, r.h.DataVal(8)) << "its own last reading";
}
