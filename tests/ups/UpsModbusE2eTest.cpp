// Whole polls of the Modbus UPS drivers (GX, HR7000, IPGuard, HTxx, 9E on Modbus) and of the 9E
// on its block protocol as a host makes them: both plug-ins loaded with dlopen, a serial channel
// on a pseudo-terminal to each simulated UPS, and beside each a silent twin of the same type;
// the host's SQLite databases, the history one fresh. Every check reads rows back from SQLite.
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "E2eRig.h"
#include "GbkText.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "Ups9EBlock.h"
#include "UpsModbusMaps.h"
#include "gtest/gtest.h"

namespace {

using qxtest::Gbk;

qxsim::UpsReadings Readings() {
    qxsim::UpsReadings r;
    r.vin1 = 2301, r.vin2 = 2302, r.vin3 = 2303, r.fin = 501;
    r.vout = 2311, r.aout = 121, r.fout = 502, r.pout = 555, r.tem = 251;
    r.vbatt = 2721, r.pbatt = 999, r.mbatt = 301;
    r.ved = 2200, r.aed = 122, r.vaed = 3000, r.vdc = 2722, r.fed = 503;
    r.v2 = 2312, r.v3 = 2313, r.v4 = 123;
    return r;
}

// One simulated UPS behind its own pseudo-terminal, its channel and its point.
struct Unit {
    Unit(int sid, int type, int variant) : item(sid, type) {
        item.Name("UPS").Addr(1).Variant(variant);
        switch (type) {
        case 0x30C: qxsim::SetUpsGx(slave, Readings()); break;
        case 0x30B: qxsim::SetUpsHr7000(slave, Readings(), 0x0010); break;
        case 0x305: {
            bool inputs[21] = {};
            inputs[6] = inputs[14] = true;
            qxsim::SetUpsIpGuard(slave, Readings(), inputs);
            break;
        }
        case 0x315: {
            qxsim::UpsExReadings r;
            for (int p = 0; p < 3; p++) {
                r.vin[p] = (uint16_t)(2301 + p);
                r.iout[p] = (uint16_t)(111 + p);
                r.fin[p] = 5003;
                r.vout[p] = 2311;
            }
            r.vbatt = 2721;
            r.states[0] = 1;  // b15
            qxsim::SetUpsHtxx(slave, r);
            break;
        }
        default: {
            qxsim::UpsReadings r = Readings();
            if (variant != 1) {
                qxsim::SetUps9E(slave, r, 0x81);
                break;
            }
            r.vbatt = 54, r.fin = 50, r.fout = 49;  // volts and hertz on this protocol
            block.SetReadings(r, 0x81);
            pty.SetFramer(qxsim::Ups9EBlock::RequestFramer());
            pty.SetResponder(block.AsResponder());
            return;
        }
        }
        if (type == 0x305) qxsim::ServeUpsIpGuard(pty, slave);
        else qxsim::ServeModbusRtu(pty, slave);
    }

    qxsim::ModbusSlave slave{1};
    qxsim::Ups9EBlock block;
    qxsim::PtySim pty;
    qxhost::PointItem item;
    ISerBase* ch = nullptr;
};

struct Case {
    const char* name;
    int type;
    int variant;
    const char* table;
    std::vector<std::pair<const char*, int>> values;  // columns of the answering point's rows
    const char* brief;                                // its summary (UTF-8)
};

const Case kCases[] = {
    {"GX", 0x30C, 0, "tbUps",
     {{"Vin1", 2301}, {"Vin3", 2303}, {"Fin", 501}, {"Aed", 122}, {"v2", 2312}, {"v4", 123},
      {"Mbatt", 301}, {"Pbatt", 999}, {"status", 0}},
     "输入频率:50.1Hz,输入电压1:230.1V,输入电压2:230.2V,输入电压3:230.3V"},
    {"HR7000", 0x30B, 0, "tbUps",
     {{"Vin1", 2301}, {"Fin", 501}, {"Vout", 2311}, {"v3", 2313}, {"Mbatt", 301}, {"b4", 1},
      {"status", 16}},
     "输入频率:50.1Hz,输入电压1:230.1V,输入电压2:230.2V,输入电压3:230.3V"},
    {"IPGuard", 0x305, 0, "tbUps",
     {{"Vin1", 2301}, {"Pout", 555}, {"Mbatt", 301}, {"Vdc", 2722}, {"Ved", 2200}, {"b6", 1},
      {"b7", 1}, {"status", 0}},
     ""},
    {"HTxx", 0x315, 0, "tbUpsEx",
     {{"Vin1", 2301}, {"Vin3", 2303}, {"Fin1", 500}, {"Iout2", 112}, {"Vbatt", 2721},
      {"b15", 1}, {"status", 32768}},
     nullptr},
    {"9E Modbus", 0x312, 0, "tbUps",
     {{"Vin1", 2301}, {"Vout", 2311}, {"v2", 2312}, {"v3", 2313}, {"Aout", 121}, {"Aed", 122},
      {"v4", 123}, {"Mbatt", 301}, {"b7", 1}, {"b0", 0}},
     "输入电压:230.1V, 输出电压:231.1V, 输出负载:12.1A"},
    {"9E block", 0x312, 1, "tbUps",
     {{"Vin1", 2301}, {"Vout", 2311}, {"v2", 2312}, {"v3", 2313}, {"v4", 123}, {"Vbatt", 540},
      {"Fin", 500}, {"Fout", 490}, {"b7", 1}, {"b0", 1}},
     "输入电压:230.1V, 输出电压:231.1V, 输出负载:12.1A"},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class UpsModbusE2e : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        const Case& c = GetParam();
        h = rig.Handler(c.type);
        ASSERT_NE(nullptr, h);
        good.reset(new Unit(71, c.type, c.variant));
        silent.reset(new Unit(72, c.type, c.variant));
        silent->pty.InjectFault(qxsim::Fault::Silence, -1);
        for (Unit* u : {good.get(), silent.get()}) {
            if (!u->pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
            u->ch = rig.Channel(u->pty.Definition(), qxtest::E2eRig::kSerial | (u->pty.Number() % 10));
            ASSERT_NE(nullptr, u->ch);
            u->item.Port(u->ch->GetType() & 0xFFFF).Ser(u->ch);
            ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, u->item));
        }
    }
    void TearDown() override {
        rig.Close();
        if (good) good->pty.Stop();
        if (silent) silent->pty.Stop();
    }
    int Poll(Unit& u) {
        int bits[2] = {0, 0};
        return rig.Poll(h, u.item, u.ch, bits);
    }
    std::string Row(TestDb& d, const char* col, int sid) {
        return d.Str(std::string("select ") + col + " from " + GetParam().table + " where SID=" +
                     std::to_string(sid) + " order by DID desc limit 1");
    }

    qxtest::E2eRig rig;
    ISMBase* h = nullptr;
    std::unique_ptr<Unit> good, silent;
};

}  // namespace

TEST_P(UpsModbusE2e, PollOfAnAnsweringAndASilentUps) {
    const Case& c = GetParam();
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    EXPECT_EQ(1, Poll(*good));
    EXPECT_EQ(0, Poll(*silent));

    for (const auto& v : c.values) {
        EXPECT_EQ(std::to_string(v.second), Row(db, v.first, 71)) << v.first;
        EXPECT_EQ(std::to_string(v.second), Row(hist, v.first, 71)) << "history " << v.first;
        EXPECT_EQ("0", Row(db, v.first, 72)) << "silent " << v.first;
    }
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=71"));
    EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=72"));
    EXPECT_EQ("2", Row(db, "State", 72));
    EXPECT_EQ(1, hist.Int(std::string("select count(*) from ") + c.table + " where SID=71"));
    EXPECT_EQ("2", Row(hist, "State", 72));
    if (c.brief) {
        EXPECT_EQ(Hex(Gbk(c.brief)), Hex(db.Str("select Brief from tbSMBrief where SID=71")));
    }
    EXPECT_EQ(std::string::npos, db.Str("select Brief from tbSMBrief where SID=72").find(Gbk("正常")));
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();

    // The silent UPS answers again: its own values, the other point's untouched. (Once is
    // enough for the block protocol, whose poll takes seconds.)
    if (c.variant == 1) return;
    silent->pty.ClearFaults();
    EXPECT_EQ(1, Poll(*silent));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=72"));
    EXPECT_EQ(Row(db, c.values[0].first, 71), Row(db, c.values[0].first, 72));
}

INSTANTIATE_TEST_SUITE_P(Drivers, UpsModbusE2e, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) {
                             std::string n = i.param.name;
                             for (char& ch : n)
                                 if (ch == ' ') ch = '_';
                             return n;
                         });

// The beeper command of the IPGuard goes out on the point's line and reaches the UPS.
TEST(UpsModbusE2eCommand, IpGuardBeeperReachesTheUps) {
    qxtest::E2eRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Load());
    ISMBase* h = rig.Handler(0x305);
    ASSERT_NE(nullptr, h);
    Unit u(73, 0x305, 0);
    if (!u.pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
    u.ch = rig.Channel(u.pty.Definition(), qxtest::E2eRig::kSerial | (u.pty.Number() % 10));
    ASSERT_NE(nullptr, u.ch);
    u.item.Port(u.ch->GetType() & 0xFFFF).Ser(u.ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, u.item));
    h->DoItem(u.item, 0);
    EXPECT_EQ(1, h->DoFunc(1, nullptr, 0));
    ASSERT_TRUE(u.pty.WaitRequests(1, 2000));
    EXPECT_EQ("51 0D", qxsim::ToHex(u.pty.LastRequest()));
    EXPECT_EQ(0, h->DoFunc(2, nullptr, 0));
    // The UPS still answers its registers after the command.
    int bits[2] = {0, 0};
    EXPECT_EQ(1, rig.Poll(h, u.item, u.ch, bits));
    EXPECT_EQ(3u, u.pty.RequestCount()) << "the command, then the two reads";
    rig.Close();
    u.pty.Stop();
}

// The block protocol acknowledges every block with 0x06, the last one too, and the next
// transaction starts at once by clearing the line of stale input: each acknowledgement must
// still reach the UPS, in its place between the frames, poll after poll.
TEST(Ups9EBlockE2e, EveryAcknowledgementReachesTheUpsInOrder) {
    qxtest::E2eRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Load());
    ISMBase* h = rig.Handler(0x312);
    ASSERT_NE(nullptr, h);
    Unit u(76, 0x312, 1);
    if (!u.pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
    u.ch = rig.Channel(u.pty.Definition(), qxtest::E2eRig::kSerial | (u.pty.Number() % 10));
    ASSERT_NE(nullptr, u.ch);
    u.item.Port(u.ch->GetType() & 0xFFFF).Ser(u.ch);
    ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, u.item));

    // Fifteen data bytes a block: the input (17 bytes) and the output (23) come in two
    // blocks each, the other seven in one.
    const struct {
        uint8_t id;
        int blocks;
    } kTransactions[] = {{0x31, 2}, {0x78, 2}, {0x0D, 1}, {0x42, 1}, {0x30, 1},
                         {0x01, 1}, {0x2D, 1}, {0x27, 1}, {0x02, 1}};
    std::vector<qxsim::Bytes> poll;
    for (const auto& t : kTransactions) {
        poll.push_back({0x16});
        qxsim::Bytes frame = {0x81, 0x88, 0xA1, 0x01, t.id, 0x03, 0x00, 0x00, 0x40, 0x00};
        uint8_t x = 0;
        for (size_t i = 2; i < frame.size(); i++) x ^= frame[i];
        frame.push_back(x);
        poll.push_back(frame);
        for (int b = 0; b < t.blocks; b++) poll.push_back({0x06});
    }

    const int kPolls = 10;
    std::vector<qxsim::Bytes> want;
    int bits[2] = {0, 0};
    for (int p = 1; p <= kPolls; p++) {
        ASSERT_EQ(1, rig.Poll(h, u.item, u.ch, bits)) << "poll " << p;
        want.insert(want.end(), poll.begin(), poll.end());
    }
    // The last acknowledgement of the last poll is on its way when DataGet returns.
    u.pty.WaitRequests(want.size(), 2000);
    const std::vector<qxsim::Bytes> got = u.block.Received();
    ASSERT_EQ(want.size(), got.size()) << "every 0x06 of " << kPolls << " polls";
    for (size_t i = 0; i < want.size(); i++)
        ASSERT_EQ(qxsim::ToHex(want[i]), qxsim::ToHex(got[i])) << "request " << i;
    EXPECT_EQ(kPolls * 11, u.block.Acks());
    EXPECT_EQ("2301", rig.db.Str("select Vin1 from tbUps where SID=76"));
    EXPECT_EQ(kPolls, rig.hist.Int("select count(*) from tbUps where SID=76 and State=0"));
    rig.Close();
    u.pty.Stop();
}
