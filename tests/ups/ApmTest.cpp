// The tbUps drivers of the APM150 family: APM150 and iTrust over YD/T 1363, and AHP over
// Modbus RTU or YD/T 1363. Requests, decode, the replies they refuse, waits, and what they
// store. The units are the simulator's models behind a scripted channel.
#include <string.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "YdtDevice.h"
#include "YdRefusals.h"
#include "YdtUps.h"
#include "gtest/gtest.h"
#include "ups/SMUpsAHP.h"
#include "ups/SMUpsAPM150.h"
#include "ups/SMUpsITrustAdapt.h"

using qxtest::Bytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// One handler and one point of it; the channel answers with the YD/T unit or, where one is
// given, the Modbus slave.
template <class H>
struct Rig {
    Rig(int type, int variant, int cid1 = 0x2A, int ver = 0x10)
        : dev(1, cid1, ver), item(41, type) {
        item.Name("UPS-A").Port(1).Addr(1).Variant(variant).Ser(&ch);
        ch.SetResponder([this](const Bytes& req) {
            if (modbus) return modbus->HandleRtu(req.data(), req.size()).bytes;
            return dev.Handle(req);
        });
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll(int wait = 0, int adr = 1) { return h.DataGet(&ch, adr, wait); }
    std::string Sent(size_t i) const {
        const std::vector<Bytes>& w = ch.Written();
        return i < w.size() ? std::string(w[i].begin(), w[i].end()) : "<none>";
    }
    int Val(int fld) { return h.DataVal(fld); }
    void UseModbus() {
        modbus.reset(new qxsim::ModbusSlave(1));
        qxsim::SetAhpUps(*modbus, qxsim::AhpUpsRegs());
    }

    qxsim::YdtDevice dev;
    std::unique_ptr<qxsim::ModbusSlave> modbus;
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    H h;
};

struct Apm : Rig<CSMUpsAPM150> {
    explicit Apm(int variant, const qxsim::ApmFigures& f = qxsim::ApmFigures())
        : Rig(0x30D, variant) {
        qxsim::SetApm150(dev, f, variant == 0);
    }
};

struct ITrust : Rig<CSMUpsITrustAdapt> {
    explicit ITrust(int variant) : Rig(0x311, variant, 0x2A, variant == 4 ? 0x21 : 0x10) {
        if (variant == 4)
            qxsim::SetITrust5k(dev, qxsim::ITrust5kFigures());
        else
            qxsim::SetApm150(dev, qxsim::ApmFigures(), false);
    }
};

struct Ahp : Rig<CSMUpsAHP> {
    explicit Ahp(int variant, int ver = 0x21) : Rig(0x313, variant, 0x40, ver) {
        qxsim::SetAhpYdt(dev, qxsim::AhpYdtFigures());
        if (variant == 0) UseModbus();
    }
};

std::string H(const std::string& s) { return Hex(s); }

}  // namespace

// ---------------------------------------------------------------- requests

TEST(ApmFamily, FrameExamples) {
    auto apm = [](int variant, size_t i) {
        return [=] {
            Apm r(variant);
            EXPECT_EQ(1, r.Poll());
            return r.Sent(i);
        };
    };
    auto itrust = [](size_t i) {
        return [=] {
            ITrust r(4);
            EXPECT_EQ(1, r.Poll());
            return r.Sent(i);
        };
    };
    auto ahp = [](int variant, size_t i) {
        return [=] {
            Ahp r(variant);
            EXPECT_EQ(1, r.Poll());
            return r.Sent(i);
        };
    };
    const struct {
        const char* what;
        std::function<std::string()> sent;
        std::string frame;
    } cases[] = {
        {"APM150 Variant 0, first", apm(0, 0), "~10012A41E00200FD2F\r"},
        {"APM150 Variant 1, first", apm(1, 0), "~10012A410000FDA6\r"},
        {"APM150 Variant 1, third", apm(1, 2), "~10012AE7C0040100FCB7\r"},
        {"APM150 Variant 0, third", apm(0, 2), "~10012AE7C0040100FCB7\r"},
        {"iTrust Variant 4, first", itrust(0), "~21012A420000FDA3\r"},
        {"iTrust Variant 4, second", itrust(1), "~21012A440000FDA1\r"},
        {"AHP Variant 0", ahp(0, 0), std::string("\x01\x03\x00\x64\x00\x29\xC5\xCB", 8)},
        {"AHP Variant 2, version", ahp(2, 0), "~0001404F0000FDA1\r"},
        {"AHP Variant 2, at VER 21", ahp(2, 1), "~21014041E00202FD3A\r"},
    };
    for (const auto& c : cases) EXPECT_EQ(H(c.frame), H(c.sent())) << c.what;
}

TEST(ApmFamily, EachPathAsksItsCommands) {
    {
        Apm r(1);
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ((std::vector<int>{0x41, 0xE1, 0xE7, 0x44}), r.dev.Commands());
        EXPECT_EQ((std::vector<std::string>{""}), r.dev.Infos(0x41));
        EXPECT_EQ((std::vector<std::string>{"00"}), r.dev.Infos(0xE1));
        EXPECT_EQ((std::vector<std::string>{"0100"}), r.dev.Infos(0xE7));
        EXPECT_EQ(4, r.ch.Purges()) << "each request on an emptied input";
    }
    // iTrust: TV and NX ask the APM150 sequence with INFO 00 first only for Variant 0.
    for (int variant : {0, 1, 2, 5, -1}) {
        ITrust r(variant);
        ASSERT_EQ(1, r.Poll()) << variant;
        EXPECT_EQ((std::vector<int>{0x41, 0xE1, 0xE7, 0x44}), r.dev.Commands()) << variant;
        EXPECT_EQ((std::vector<std::string>{variant == 0 ? "00" : ""}), r.dev.Infos(0x41))
            << variant;
    }
    {
        ITrust r(4);
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ((std::vector<int>{0x42, 0x44}), r.dev.Commands());
    }
    // AHP over YD/T: the version, then five requests at the unit's VER with the data group.
    for (int variant : {2, -1, 1}) {
        Ahp r(variant, 0x22);
        ASSERT_EQ(1, r.Poll()) << variant;
        const std::string g = variant == 2 ? "02" : "01";
        std::vector<std::string> heads, infos;
        for (const std::string& q : r.dev.Requests()) {
            heads.push_back(q.substr(1, 8));
            infos.push_back(q.substr(13, q.size() - 17));
        }
        EXPECT_EQ((std::vector<std::string>{"0001404F", "22014041", "22014241", "22014043",
                                            "22014044", "22014046"}),
                  heads)
            << variant;
        EXPECT_EQ((std::vector<std::string>{"", g, "", g, g, g}), infos) << variant;
    }
}

TEST(ApmFamily, AddressBeyondOneByteSendsNothing) {
    for (int adr : {256, 257, 0x101, -1}) {
        Apm apm(1);
        EXPECT_EQ(0, apm.Poll(0, adr)) << adr;
        ITrust it5(4);
        EXPECT_EQ(0, it5.Poll(0, adr)) << adr;
        Ahp modbus(0), ydt(1);
        EXPECT_EQ(0, modbus.Poll(0, adr)) << adr;
        EXPECT_EQ(0, ydt.Poll(0, adr)) << adr;
        EXPECT_TRUE(apm.ch.Written().empty() && it5.ch.Written().empty() &&
                    modbus.ch.Written().empty() && ydt.ch.Written().empty())
            << adr;
    }
    // 255 is an address like any other.
    Apm apm(1);
    apm.dev.SetAddress(255);
    EXPECT_EQ(1, apm.Poll(0, 255));
}

TEST(ApmFamily, NoCommandIsSent) {
    Apm apm(1);
    ITrust it(1);
    Ahp ahp(0);
    for (int cmd : {0, 1, 8000, 8001, 77}) {
        int minutes = 5;
        EXPECT_EQ(0, apm.h.DoFunc(&apm.ch, 1, cmd, &minutes, 4)) << cmd;
        EXPECT_EQ(0, it.h.DoFunc(&it.ch, 1, cmd, &minutes, 4)) << cmd;
        EXPECT_EQ(0, ahp.h.DoFunc(&ahp.ch, 1, cmd, &minutes, 4)) << cmd;
        EXPECT_EQ(0, ahp.h.DoFunc(cmd, &minutes, 4)) << cmd;
    }
    EXPECT_TRUE(apm.ch.Written().empty());
    EXPECT_TRUE(it.ch.Written().empty());
    EXPECT_TRUE(ahp.ch.Written().empty());
}

TEST(ApmFamily, WaitsFollowTheWaitArgument) {
    struct Case {
        int wait;
        int apm, ahpModbus;
    } cases[] = {{0, 100, 200}, {-3, 100, 200}, {1, 1, 200}, {100, 100, 200}, {101, 101, 101},
                 {350, 350, 350}};
    for (const Case& c : cases) {
        Apm apm(1);
        ASSERT_EQ(1, apm.Poll(c.wait));
        EXPECT_EQ(std::vector<int>(4, c.apm), g_sleeps) << c.wait;
        ITrust it(4);
        ASSERT_EQ(1, it.Poll(c.wait));
        EXPECT_EQ(std::vector<int>(2, c.apm), g_sleeps) << c.wait;
        Ahp modbus(0);
        ASSERT_EQ(1, modbus.Poll(c.wait));
        EXPECT_EQ(std::vector<int>(1, c.ahpModbus), g_sleeps) << c.wait;
        Ahp ydt(3);
        ASSERT_EQ(1, ydt.Poll(c.wait));
        EXPECT_EQ(std::vector<int>(6, 200), g_sleeps) << "fixed, whatever the wait";
    }
}

// ---------------------------------------------------------------- decode

TEST(Apm150, FloatsAreTakenTimesTenAndTruncated) {
    struct Case {
        float vin, mbatt;
        int vin1, stored;
    } cases[] = {
        {230.5f, 0.75f, 2305, 75},
        {230.4f, 1.239f, 2303, 123},  // single precision lies just below 230.4 and 1.239
        {-12.25f, 0.0f, -122, 0},
        {3.0e10f, 1.0f, INT32_MAX, 100},  // beyond the int range: held to it
    };
    for (int variant : {0, 1}) {
        for (const Case& c : cases) {
            qxsim::ApmFigures f;
            f.vin[0] = c.vin;
            f.mbatt = c.mbatt;
            Apm r(variant, f);
            ASSERT_EQ(1, r.Poll());
            EXPECT_EQ(c.vin1, r.Val(kUpsVin1)) << variant << " " << c.vin;
            EXPECT_EQ(c.stored, r.Val(kUpsMbatt)) << variant << " " << c.mbatt;
        }
    }
}

TEST(Apm150, EveryFieldFromItsColumnInBothLayouts) {
    for (int variant : {0, 1, 7}) {
        Apm r(variant);
        ASSERT_EQ(1, r.Poll());
        const struct {
            int fld, value;
        } want[] = {
            {kUpsVin1, 2205}, {kUpsVin2, 2215}, {kUpsVin3, 2225}, {kUpsVout, 2305},
            {kUpsV2, 2315},   {kUpsV3, 2325},   {kUpsAout, 105},  {kUpsAed, 115},
            {kUpsV4, 125},    {kUpsVbatt, 2725}, {kUpsFout, 505}, {kUpsFin, 495},
            {kUpsMbatt, 75},  {kUpsTem, 255},   {kUpsPout, 0},    {kUpsVed, 0},
            {kUpsFed, 0},     {kUpsPbatt, 0},   {kUpsStatus, 0},  {34, 0}, {35, 0},
        };
        for (const auto& w : want) EXPECT_EQ(w.value, r.Val(w.fld)) << variant << " field " << w.fld;
    }
    // Without a current point the unit is read as one of Variant 0.
    Apm r(0);
    r.h.DoItem(nullptr, 0);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ("~10012A41E00200FD2F", r.dev.Requests().at(0));
    EXPECT_EQ(255, r.Val(kUpsTem));
}

TEST(Apm150, AlarmBytesAreFlagsOnlyForF0) {
    struct Case {
        uint8_t bytes[8];
        int status;
    } cases[] = {
        {{0xF0, 0, 0, 0, 0, 0, 0, 0xF0}, 129},
        {{0x01, 0xE0, 0x00, 0xF1, 0x0F, 0xFF, 0xF0, 0x00}, 2},
        {{0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0}, 255},
        {{0x00, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, 64},
    };
    for (int variant : {0, 1}) {
        for (const Case& c : cases) {
            qxsim::ApmFigures f;
            memcpy(f.alarm, c.bytes, 8);
            Apm r(variant, f);
            ASSERT_EQ(1, r.Poll());
            for (int i = 0; i < 8; i++)
                EXPECT_EQ(c.bytes[i] == 0xF0 ? 1 : 0, r.Val(kUpsB7 + i)) << variant << " b" << 7 - i;
            EXPECT_EQ(c.status, r.Val(kUpsStatus)) << variant;
        }
    }
}

TEST(ITrust, BeforeItsFirstPollAndTheTestPath) {
    ITrust r(3);
    EXPECT_EQ(0x311, r.h.GetType());
    EXPECT_STREQ("QX-ITrustAdapt", r.h.GetNote());
    EXPECT_EQ(35, r.h.DataSize());
    EXPECT_EQ(1000, r.Val(kUpsPbatt));
    EXPECT_EQ(120, r.Val(kUpsMbatt));
    // The demonstration unit: its values, nothing sent; 0 on a closed channel.
    ASSERT_EQ(1, r.Poll());
    EXPECT_TRUE(r.ch.Written().empty());
    const struct {
        int fld, value;
    } want[] = {{kUpsVin1, 2235}, {kUpsVin2, 2210}, {kUpsVin3, 2324}, {kUpsVout, 2341},
                {kUpsV2, 2267},   {kUpsV3, 2250},   {kUpsFin, 498},   {kUpsFout, 499},
                {kUpsTem, 310},   {kUpsAout, 0},    {kUpsVbatt, 0},   {kUpsPbatt, 0},
                {kUpsMbatt, 0},   {kUpsStatus, 0}};
    for (const auto& w : want) EXPECT_EQ(w.value, r.Val(w.fld)) << "field " << w.fld;
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
}

TEST(ITrust, TvTakesTheBypassNxDoesNot) {
    const struct {
        int variant;
        int pout, ved, vdc, fed;
    } cases[] = {{0, 2195, 2200, 2400, 500}, {1, 2195, 2200, 2400, 500},
                 {9, 2195, 2200, 2400, 500}, {2, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        ITrust r(c.variant);
        ASSERT_EQ(1, r.Poll()) << c.variant;
        EXPECT_EQ(c.pout, r.Val(kUpsPout)) << c.variant;
        EXPECT_EQ(c.ved, r.Val(kUpsVed)) << c.variant;
        EXPECT_EQ(c.vdc, r.Val(kUpsVdc)) << c.variant;
        EXPECT_EQ(c.fed, r.Val(kUpsFed)) << c.variant;
        // Both read every reply at the columns of a nonzero Variant, Variant 0 included.
        EXPECT_EQ(495, r.Val(kUpsFin)) << c.variant;
        EXPECT_EQ(255, r.Val(kUpsTem)) << c.variant;
        EXPECT_EQ(75, r.Val(kUpsMbatt)) << c.variant;
        EXPECT_EQ(2305, r.Val(kUpsVout)) << c.variant;
    }
}

TEST(ITrust, FiveToTenKTakesRawWords) {
    ITrust r(4);
    ASSERT_EQ(1, r.Poll());
    const struct {
        int fld, value;
    } want[] = {
        {kUpsVin1, 2201}, {kUpsVin2, 2202}, {kUpsVin3, 2203}, {kUpsVout, 2211}, {kUpsV2, 2212},
        {kUpsV3, 2213},   {kUpsAout, 101},  {kUpsAed, 102},   {kUpsV4, 103},    {kUpsVbatt, 2720},
        {kUpsFout, 500},  {kUpsFin, 499},   {kUpsPout, 2190}, {kUpsV1, 7},      {kUpsFed, 501},
        {kUpsMbatt, 0},   {kUpsTem, 0},     {kUpsPbatt, 0},
    };
    for (const auto& w : want) EXPECT_EQ(w.value, r.Val(w.fld)) << "field " << w.fld;
    qxsim::ITrust5kFigures f;
    f.vin[0] = 0xFFFF;
    f.alarm[0] = f.alarm[7] = 0xF0;
    qxsim::SetITrust5k(r.dev, f);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(65535, r.Val(kUpsVin1)) << "unsigned";
    EXPECT_EQ(129, r.Val(kUpsStatus));
}

TEST(Ahp, ModbusRegistersTimesTenAndFlagBits) {
    struct Case {
        uint16_t r137, r138, r139;
        int b[8];  // b0 .. b7
        int status;
    } cases[] = {
        {0x0005, 0, 0, {1, 0, 1, 0, 0, 0, 0, 0}, 5},
        {0, 0x0010, 0, {0, 0, 0, 0, 1, 0, 0, 0}, 16},
        {0, 0x0001, 0x0007, {0, 0, 0, 1, 0, 1, 1, 1}, 232},
        {0xFFF8, 0xFFEE, 0xFFF8, {0, 0, 0, 0, 0, 0, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        Ahp r(0);
        qxsim::AhpUpsRegs m;
        m.r137 = c.r137, m.r138 = c.r138, m.r139 = c.r139;
        qxsim::SetAhpUps(*r.modbus, m);
        ASSERT_EQ(1, r.Poll());
        for (int i = 0; i < 8; i++) EXPECT_EQ(c.b[i], r.Val(kUpsB0 - i)) << c.r137 << " b" << i;
        EXPECT_EQ(c.status, r.Val(kUpsStatus));
    }
    Ahp r(0);
    ASSERT_EQ(1, r.Poll());
    const struct {
        int fld, value;
    } want[] = {
        {kUpsVin1, 2200}, {kUpsVin2, 2210}, {kUpsVin3, 2220}, {kUpsVout, 2300}, {kUpsV2, 2310},
        {kUpsV3, 2320},   {kUpsAout, 100},  {kUpsAed, 110},   {kUpsV4, 120},    {kUpsVbatt, 2720},
        {kUpsTem, 250},   {kUpsFin, 500},   {kUpsFout, 500},  {kUpsMbatt, 0},   {kUpsPbatt, 0},
    };
    for (const auto& w : want) EXPECT_EQ(w.value, r.Val(w.fld)) << "field " << w.fld;
    EXPECT_EQ(1u, r.modbus->RequestCount());
}

TEST(Ahp, YdtStateBytesAsSentAndNoStatus) {
    // A code of its own in each state byte.
    qxsim::AhpYdtFigures f;
    f.b7 = 0xE0;
    for (int i = 0; i < 5; i++) f.b6b2[i] = (uint8_t)(0xE1 + i);
    for (int variant : {-1, 1, 5}) {
        Ahp r(variant);
        qxsim::SetAhpYdt(r.dev, f);
        ASSERT_EQ(1, r.Poll()) << variant;
        const struct {
            int fld, value;
        } want[] = {
            {kUpsVin1, 2205}, {kUpsVin2, 2215}, {kUpsVin3, 2225}, {kUpsFin, 495},
            {kUpsVout, 2305}, {kUpsAout, 105},  {kUpsB7, 0xE0},   {kUpsB6, 0xE1},
            {kUpsB5, 0xE2},   {kUpsB4, 0xE3},   {kUpsB3, 0xE4},   {kUpsB2, 0xE5},
            {kUpsB1, 0},      {kUpsB0, 0},      {kUpsStatus, 0},  {kUpsV1, 2195},
            {kUpsV2, 2315},   {kUpsV3, 2325},   {kUpsV4, 115},    {kUpsFed, 505},
            {kUpsVbatt, 0},   {kUpsTem, 0},
        };
        for (const auto& w : want) EXPECT_EQ(w.value, r.Val(w.fld)) << variant << " field " << w.fld;
    }
    // A group that does not fit its INFO byte is not cut to it.
    Ahp r(256);
    EXPECT_EQ(0, r.Poll());
    EXPECT_TRUE(r.ch.Written().empty());
}

// A YD/T poll of one AHP point leaves values the Modbus poll of another does not read (Fed,
// v1, the state bytes): the Modbus poll must not carry them into its point's row.
TEST(Ahp, ModbusPollKeepsNothingOfAnotherPointsPoll) {
    Ahp r(1);
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(505, r.Val(kUpsFed));
    r.UseModbus();
    qxhost::PointItem other(42, 0x313);
    other.Name("UPS-M").Port(1).Addr(1).Variant(0).Ser(&r.ch);
    r.h.DoItem(other, 0);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.Val(kUpsFed));
    EXPECT_EQ(0, r.Val(kUpsV1));
    EXPECT_EQ(0, r.Val(kUpsB5));
    EXPECT_EQ(2200, r.Val(kUpsVin1));
}

// ---------------------------------------------------------------- refusals

namespace {

// A refused reply on request `at` of a poll, after the record was marked as the previous
// poll's.
template <class R>
void FailAt(R& r, const qxtest::YdRefusal& f, int at) {
    ASSERT_EQ(1, r.Poll());
    r.h.m_rec.Vin1 = 1234;  // the previous poll's record
    r.h.m_rec.Tem = 4321;
    r.h.m_rec.b0 = 1;
    r.dev.ClearRequests();
    for (int i = 0; i < at; i++) r.dev.FaultOnce(qxsim::YdtFault::None);
    r.dev.FaultOnce(f.fault, f.param);
    EXPECT_EQ(0, r.Poll()) << f.what << " at " << at;
    EXPECT_EQ((size_t)at + 1, r.dev.Requests().size()) << f.what << ": nothing asked after it";
}

}  // namespace

TEST(ApmFamily, RefusedYdtRepliesFailThePoll) {
    for (const qxtest::YdRefusal& f : qxtest::YdRefusals()) {
        for (int variant : {0, 1}) {
            Apm first(variant);
            FailAt(first, f, 0);
            EXPECT_EQ(1234, first.Val(kUpsVin1)) << f.what << ": the previous record stays";
            EXPECT_EQ(4321, first.Val(kUpsTem)) << f.what;
            Apm later(variant);
            FailAt(later, f, 2);  // CID2 E7
            EXPECT_EQ(2205, later.Val(kUpsVin1)) << f.what << ": this poll's first reply";
            EXPECT_EQ(495, later.Val(kUpsFin)) << f.what;
            EXPECT_EQ(0, later.Val(kUpsTem)) << f.what << ": nothing of the refused reply";
            EXPECT_EQ(0, later.Val(kUpsMbatt)) << f.what;
            EXPECT_EQ(0, later.Val(kUpsB0)) << f.what;
            Apm last(variant);
            FailAt(last, f, 3);  // CID2 44
            EXPECT_EQ(0, last.Val(kUpsB0)) << f.what;
            EXPECT_EQ(0, last.Val(kUpsStatus)) << f.what;
        }
        ITrust tv(1), k5(4);
        FailAt(tv, f, 1);
        EXPECT_EQ(0, tv.Val(kUpsPout)) << f.what;
        EXPECT_EQ(2205, tv.Val(kUpsVin1)) << f.what;
        FailAt(k5, f, 0);
        EXPECT_EQ(1234, k5.Val(kUpsVin1)) << f.what;
        Ahp ahpFirst(1), ahpLater(1);
        FailAt(ahpFirst, f, 0);
        EXPECT_EQ(1234, ahpFirst.Val(kUpsVin1)) << f.what;
        FailAt(ahpLater, f, 5);  // 40/46
        EXPECT_EQ(2205, ahpLater.Val(kUpsVin1)) << f.what;
        EXPECT_EQ(0, ahpLater.Val(kUpsFed)) << f.what;
    }
}

TEST(ApmFamily, ReplyMustCoverEveryColumnRead) {
    // Valid frames whose INFO ends just before the last character read.
    {
        Apm r(1);
        r.dev.SetInfo(0x44, std::string(205 + 2 - 13 - 1, '0'));
        EXPECT_EQ(0, r.Poll());
        r.dev.SetInfo(0x44, std::string(205 + 2 - 13, '0'));
        EXPECT_EQ(1, r.Poll());
    }
    {
        Apm r(0);  // Variant 0 reads less: b0 at 203
        r.dev.SetInfo(0x44, std::string(203 + 2 - 13, '0'));
        EXPECT_EQ(1, r.Poll());
        r.dev.SetInfo(0xE7, std::string(63 + 8 - 13 - 1, '0'));
        EXPECT_EQ(0, r.Poll());
    }
    {
        ITrust tv(1), nx(2);
        const std::string upToFin(67 + 8 - 13, '0');
        tv.dev.SetInfo(0xE1, upToFin);
        nx.dev.SetInfo(0xE1, upToFin);
        EXPECT_EQ(0, tv.Poll()) << "TV reads the bypass up to 130";
        EXPECT_EQ(1, nx.Poll()) << "NX reads Fin only";
    }
    {
        ITrust r(4);
        r.dev.SetInfo(0x42, std::string(91 + 4 - 13 - 1, '0'));
        EXPECT_EQ(0, r.Poll());
    }
    {
        Ahp r(1);
        r.dev.SetInfo(0x40, 0x46, std::string(45 + 8 - 13 - 1, '0'));
        EXPECT_EQ(0, r.Poll());
        r.dev.SetInfo(0x40, 0x46, std::string(45 + 8 - 13, '0'));
        EXPECT_EQ(1, r.Poll());
    }
}

TEST(ApmFamily, RefusedModbusRepliesChangeNothing) {
    const struct {
        const char* what;
        qxsim::ModbusFault fault;
        int param;
    } cases[] = {
        {"silence", qxsim::ModbusFault::Silence, -1},
        {"exception", qxsim::ModbusFault::Exception, 4},
        {"short", qxsim::ModbusFault::Short, 40},
        {"one byte", qxsim::ModbusFault::Short, 1},
        {"bad CRC", qxsim::ModbusFault::BadCrc, -1},
        {"other unit", qxsim::ModbusFault::WrongAddress, -1},
        {"other function", qxsim::ModbusFault::WrongFunction, -1},
        {"wrong count", qxsim::ModbusFault::WrongCount, -1},
    };
    for (const auto& c : cases) {
        Ahp r(0);
        ASSERT_EQ(1, r.Poll());
        r.h.m_rec.Vin1 = 1234;
        r.h.m_rec.Fed = 77;
        r.modbus->FaultOnce(c.fault, c.param);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(1234, r.Val(kUpsVin1)) << c.what;
        EXPECT_EQ(77, r.Val(kUpsFed)) << c.what;
    }
}

TEST(ApmFamily, ClosedMissingOrUnwritableChannel) {
    Apm apm(1);
    Ahp ahp(0);
    EXPECT_EQ(0, apm.h.DataGet(nullptr, 1, 0));
    EXPECT_EQ(0, ahp.h.DataGet(nullptr, 1, 0));
    apm.ch.SetOpen(false);
    ahp.ch.SetOpen(false);
    EXPECT_EQ(0, apm.Poll());
    EXPECT_EQ(0, ahp.Poll());
    EXPECT_TRUE(apm.ch.Written().empty() && ahp.ch.Written().empty());
    apm.ch.SetOpen(true);
    apm.ch.ShortWrite(5);
    EXPECT_EQ(0, apm.Poll());
    EXPECT_EQ(1u, apm.ch.Written().size());
}

// ---------------------------------------------------------------- storing

namespace {

template <class R>
struct Stored : R {
    template <class... A>
    explicit Stored(A... a) : R(a...) {
        this->h.SetDb(&db, 0);
        this->h.SetDb(&hist, 1);
        this->h.RegDb(&db, 0);
        EXPECT_EQ(1, this->h.ChkDb(this->item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(41," +
               std::to_string(this->item.Get().Type) + ",-1)");
    }
    int Upd(bool answered, int* bits = nullptr) {
        int none[2] = {0, 0};
        return this->h.DataUpd(0, answered ? (bits ? bits : none) : nullptr, nullptr, -1, &hist);
    }
    std::string Cur(const std::string& cols) {
        return db.Str("select " + cols + " from tbUps where SID=41");
    }
    std::string Hist(const std::string& cols) {
        return hist.Str("select " + cols + " from tbUps where SID=41 order by DID desc");
    }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=41"); }
    TestDb db, hist;
};

std::string Fields(TestDb& db, int type) {
    return db.Str("select group_concat(Fld) from (select Fld from tbSMDef where Type=" +
                  std::to_string(type) + " order by rowid)");
}

}  // namespace

TEST(ApmFamilyDb, TypeAndDefinitionRows) {
    TestDb db;
    CSMUpsAPM150 apm;
    CSMUpsITrustAdapt it;
    CSMUpsAHP ahp;
    apm.RegDb(&db, 0);
    it.RegDb(&db, 0);
    ahp.RegDb(&db, 0);
    EXPECT_EQ(H("UPS QX-APM150|768|UPS APM150..."),
              H(db.Str("select Name||'|'||Kind||'|'||Note from tbSMType where Type=781")));
    EXPECT_EQ(H("UPS QX-ITrustAdapt|768|UPS山特兼容KR APC..."),
              H(db.Str("select Name||'|'||Kind||'|'||Note from tbSMType where Type=785")));
    EXPECT_EQ(H("UPS QXUPS-AHP|768|AHP-ModbusRTU通信..."),
              H(db.Str("select Name||'|'||Kind||'|'||Note from tbSMType where Type=787")));
    EXPECT_EQ("1,2,3,4,5,28,29,6,23,30,7,11,12,13,14,15,16,17,18,19,9", Fields(db, 781));
    EXPECT_EQ("1,2,3,4,5,6,7,28,29,8,26,16,17,18,19", Fields(db, 785));
    EXPECT_EQ("1,2,3,5,28,29,6,23,30,7,11,12,13,14,15,16,17,18,19,9", Fields(db, 787));
    const struct {
        int type, fld;
        const char* row;  // FldName|Note|Ratio|AlmKind|vref|LoText|HiLmt|HiText
    } rows[] = {
        {781, 7, "Fout|输出频率|10|0|490|最小值|允许最低输出频率,低于此值告警|2350|"
                 "最大值|允许最高输出频率,超过此值告警"},
        {781, 18, "b0|b0容量过载告警|1|1|0|1表示蜂鸣响起|0|0"},
        {781, 9, "Tem|电池温度|10|0|200|最小值|允许最低温度,低于此值告警|650|"
                 "最大值|允许最高温度,超过此值告警"},
        {785, 28, "V2|输出电压2|10|6|2000|最小值|允许最低输入电压,低于此值告警|2350|"
                  "最大值|允许最高输入电压,超过此值告警"},
        {781, 16, "b2|b2风扇故障|1|1|0|1表示测试中|0|0"},
        {785, 17, "b1|b1 电池状态|1|1|0|0－正常；1－电池电压低|0|"},
        {785, 16, "b2|b2 UPS输出状态|1|1|0|0－正常；1－故障|0|0"},
        {787, 11, "b7|整流器过温|1|1|0|0:否，1:是|0|"},
        {785, 26, "Fed|旁路频率|10|0|490|最小值|允许最低输出频率,低于此值告警|2350|"
                  "最大值|允许最高输出频率,超过此值告警"},
        {787, 6, "Aout|输出电流A|10|10|0|最小值|允许最低输出电流,低于此值告警|150|"
                 "最大值|允许最高输出电流,超过此值告警"},
        {787, 17, "b1|有市电输入|1|0|0|0:关闭，1:开启|0|"},
        {787, 9, "Tem|环境温度|10|10|20|最小值|允许最低温度,低于此值告警|650|"
                 "最大值|允许最高温度,超过此值告警"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(H(std::string(r.row)),
                  H(db.Str("select FldName||'|'||Note||'|'||Ratio||'|'||AlmKind||'|'||vref||'|'||"
                           "LoText||'|'||HiLmt||'|'||HiText from tbSMDef where Type=" +
                           std::to_string(r.type) + " and Fld=" + std::to_string(r.fld))))
            << r.type << " " << r.fld;
}

TEST(ApmFamilyDb, Apm150StoresItsColumnsAndSummary) {
    Stored<Apm> r(1);
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Upd(true));
    const std::string cols = "State||'|'||Vin1||'|'||Vin3||'|'||Fin||'|'||Vout||'|'||v2||'|'||"
                             "v3||'|'||Aout||'|'||Aed||'|'||v4||'|'||Fout||'|'||Vbatt||'|'||"
                             "Mbatt||'|'||Tem||'|'||status";
    const std::string want = "0|2205|2225|495|2305|2315|2325|105|115|125|505|2725|75|255|0";
    EXPECT_EQ(want, r.Cur(cols));
    EXPECT_EQ(want, r.Hist(cols));
    EXPECT_EQ("<null>|<null>", r.Cur("ifnull(Pout,'<null>')||'|'||ifnull(VAed,'<null>')"));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(H("输入电压:220.5V, 输出电压:230.5V, 输出负载:10.5A"), H(r.Brief()));
    // Out-of-limit fields add their captions.
    int bits[2] = {1 << (kUpsVin1 - 1), 0};
    ASSERT_EQ(1, r.Upd(true, bits));
    EXPECT_EQ(H("输入电压:220.5V, 输出电压:230.5V, 输出负载:10.5A告警:输入电压A"), H(r.Brief()));
    // No answer: state 2, zeros, and a summary that reads no cleared value as a reading.
    ASSERT_EQ(1, r.Upd(false));
    EXPECT_EQ("2|0|0", r.Cur("State||'|'||Vin1||'|'||Mbatt"));
    EXPECT_EQ(H("通讯中断"), H(r.Brief()));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
    EXPECT_EQ(0, r.hist.Failures()) << r.hist.Error();
}

// The bypass voltage (Pout) goes to the history row as to the current one.
TEST(ApmFamilyDb, ITrustStoresTheBypassVoltageInBothRows) {
    Stored<ITrust> r(1);
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Upd(true));
    EXPECT_EQ("2195|500|2315", r.Cur("Pout||'|'||Fed||'|'||v2"));
    EXPECT_EQ("2195|500|2315", r.Hist("Pout||'|'||Fed||'|'||v2"));
    EXPECT_EQ(H("输入电压1:220.5V,输入电压2:221.5V,输入电压3:222.5V"), H(r.Brief()));
}

TEST(ApmFamilyDb, SummaryByVariant) {
    {
        Stored<ITrust> r(4);
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.Upd(true));
        // Hundredths of the raw values, the third one named the bypass.
        EXPECT_EQ(H("输入电压:220.1V,输出电压:221.1V,旁路电压:219.0V"), H(r.Brief()));
    }
    for (int variant : {0, -1}) {
        Stored<Ahp> r(variant);
        ASSERT_EQ(1, r.Poll());
        ASSERT_EQ(1, r.Upd(true));
        if (variant == 0)
            EXPECT_EQ(H("输入电压:220.0V, 221.0V, 222.0V, 输出电压:230.0V, 231.0V, 232.0V, "
                            "输出电流:10.0A,11.0A,12.0A, 电池电压:272.0V"),
                      H(r.Brief()));
        else
            EXPECT_EQ(H("输入电压:220.5V, 221.5V, 222.5V, 输出电压:230.5V, 231.5V, 232.5V, "
                            "输出电流:10.5A,0.0A,11.5A, 电池电压:0.0V"),
                      H(r.Brief()))
                << "Variant -1: the YD/T poll, the long summary";
    }
    Stored<Ahp> r(3);
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Upd(true));
    EXPECT_EQ(H("输入电压:220.5V, 221.5V, 222.5V"), H(r.Brief()));
    EXPECT_EQ("<null>|0", r.Cur("ifnull(Pout,'<null>')||'|'||status"));
}
