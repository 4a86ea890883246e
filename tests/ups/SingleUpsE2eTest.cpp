// Whole polls of NMYG, Sentry, Link and Smart UPS points as a host makes them: both plug-ins
// loaded with dlopen, a serial channel on a pseudo-terminal to each simulated UPS, the host's
// SQLite databases. Each type has two points, one of them silent; every check reads rows
// back from SQLite.
#include <functional>
#include <memory>
#include <string>

#include "E2eRig.h"
#include "GbkText.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "Q1Ups.h"
#include "SingleUps.h"
#include "gtest/gtest.h"

using qxtest::Gbk;

namespace {

// What one driver's point looks like from the host.
struct Kind {
    const char* what;
    int type;
    int defRows;
    const char* typeName;
    // The device model on a terminal; returns the model to keep alive.
    std::function<std::shared_ptr<void>(qxsim::PtySim&)> serve;
    const char* columns;  // checked columns of the current and history rows
    const char* values;   // their values after a good poll
    int alarmField;       // a field reported out of limits with the poll
    const char* brief;    // the summary of a good poll with that alarm (UTF-8)
    const char* command;  // bytes command 1 sends, null for none
};

std::shared_ptr<void> ServeNmyg(qxsim::PtySim& pty) {
    auto ups = std::make_shared<qxsim::Q1Ups>(qxsim::Q1Ups::kNmyg);
    ups->SetReply("RS", "(1 0 0 0 1\r");
    pty.SetFramer(qxsim::FrameByTerminator('\r'));
    pty.SetResponder(ups->AsResponder());
    return ups;
}
std::shared_ptr<void> ServeSentry(qxsim::PtySim& pty) {
    auto ups = std::make_shared<qxsim::SentryUps>();
    pty.SetFramer(qxsim::FrameByLength(1));
    pty.SetResponder(ups->AsResponder());
    return ups;
}
std::shared_ptr<void> ServeLink(qxsim::PtySim& pty) {
    auto ups = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::LinkUps u;
    u.alarms = 0x8007;
    qxsim::SetLinkUps(*ups, u);
    qxsim::ServeModbusRtu(pty, *ups);
    return ups;
}
std::shared_ptr<void> ServeSmart(qxsim::PtySim& pty) {
    auto ups = std::make_shared<qxsim::SmartUps>();
    pty.SetFramer(qxsim::FrameByLength(1));
    pty.SetResponder(ups->AsResponder());
    return ups;
}

const char kCols[] =
    "Vin1||'|'||Vin2||'|'||Fin||'|'||Vout||'|'||Aout||'|'||Fout||'|'||ifnull(Pout,'-')||'|'||"
    "Tem||'|'||status||'|'||b7||'|'||b4||'|'||b3||'|'||Vbatt||'|'||ifnull(Mbatt,'-')||'|'||"
    "Ved||'|'||ifnull(VAed,'-')||'|'||Vdc||'|'||v1||'|'||ifnull(v2,'-')||'|'||ifnull(v4,'-')||"
    "'|'||company||'|'||mode";

const Kind kKinds[] = {
    {"nmyg", 0x30E, 17, "UPS QX-NMYG", ServeNmyg, kCols,
     "2201|2210|500|2200|350|0|-|265|0|0|1|1|2720|450|0|-|0|0|2202|287||", 14,
     "输入电压:220.1V, 输出电压:220.0V, 输出负载:35.0%告警:b4 UPS故障", nullptr},
    {"sentry", 0x30A, 3, "SENTRY UPS UPS-SENTRY", ServeSentry, kCols,
     "0|0|500|2200|0|500|-|31|0|0|0|0|270|0|0|-|0|0|2210|0||", 5,
     "输入频率:50.0Hz,输出电压1:220.0V,输出电压2:221.0V,输出电压3:219.0V告警:输出电压", nullptr},
    {"link", 0x30F, 16, "UPS QXUPS-EAST", ServeLink, kCols,
     "2200|0|500|2201|35|499|-|28|240|1|1|0|2720|-|0|-|0|0|-|-||", 11,
     "输入电压:220.0V, 输出电压:220.1V, 输出负载:4.1%, 电池电压:272.0V告警:b7旁路频率不稳定",
     nullptr},
    {"smart", 0x303, 13, "UPS QX-UPSSMART", ServeSmart, kCols,
     "2204|0|500|2200|410|500|410|315|8|0|0|1|274|42|2200|0|24|2350|1960|-|APC|UPS Smart", 1,
     "输入电压:220.4V, 输出电压:220.0V, 输出负载:41.0%告警:输入电压", "57"},
};

// One UPS behind its own pseudo-terminal and serial channel, and its point.
struct Ups {
    Ups(const Kind& k, int sid) : item(sid, k.type) {
        model = k.serve(pty);
        item.Port(sid).Addr(1);
    }
    std::shared_ptr<void> model;
    qxsim::PtySim pty;
    qxhost::PointItem item;
    ISerBase* ch = nullptr;
};

class SingleUpsE2e : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        h = rig.Handler(kind.type);
        ASSERT_NE(nullptr, h);
        ASSERT_NO_FATAL_FAILURE(Add(a));
        ASSERT_NO_FATAL_FAILURE(Add(b));
        b.pty.InjectFault(qxsim::Fault::Silence, -1);
    }
    void TearDown() override {
        rig.Close();
        a.pty.Stop();
        b.pty.Stop();
    }
    void Add(Ups& u) {
        ASSERT_TRUE(u.pty.Start());
        u.ch = rig.Channel(u.pty.Definition(), qxtest::E2eRig::kSerial | u.pty.Number());
        ASSERT_NE(nullptr, u.ch);
        u.item.Ser(u.ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, u.item));
    }
    // One poll as the host makes it; the alarm field is reported out of limits.
    int Poll(Ups& u) {
        int bits[2] = {1 << (kind.alarmField - 1), 0};
        return rig.Poll(h, u.item, u.ch, bits);
    }
    std::string Cur(const Ups& u, const std::string& cols) {
        return db.Str("select " + cols + " from tbUps where SID=" + std::to_string(u.item.Get().SID));
    }
    std::string Hist(const Ups& u, const std::string& cols) {
        return hist.Str("select " + cols + " from tbUps where SID=" +
                        std::to_string(u.item.Get().SID) + " order by DID desc limit 1");
    }
    long long Detail(const Ups& u) {
        return db.Int("select State from tbSubSysDetail where SID=" + std::to_string(u.item.Get().SID));
    }

    const Kind& kind = kKinds[GetParam()];
    Ups a{kind, 71}, b{kind, 72};
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISMBase* h = nullptr;
};

std::string Name(const ::testing::TestParamInfo<int>& info) { return kKinds[info.param].what; }

}  // namespace

TEST_P(SingleUpsE2e, TwoPointsOneSilent) {
    EXPECT_EQ(kind.defRows, db.Int("select count(*) from tbSMDef where Type=" + std::to_string(kind.type)));
    EXPECT_EQ(::Hex(kind.typeName), ::Hex(db.Str("select Name from tbSMType where Type=" +
                                                 std::to_string(kind.type))));

    EXPECT_EQ(1, Poll(a));
    EXPECT_EQ(0, Poll(b));
    EXPECT_EQ(std::string("0|") + kind.values, Cur(a, std::string("State||'|'||") + kind.columns));
    EXPECT_EQ(std::string("0|") + kind.values, Hist(a, std::string("State||'|'||") + kind.columns));
    EXPECT_EQ(::Hex(Gbk(kind.brief)), ::Hex(db.Str("select Brief from tbSMBrief where SID=71")));
    EXPECT_EQ(0, Detail(a));
    // The silent point: state 2 at once, in both databases and its state row.
    EXPECT_EQ("2|0|0", Cur(b, "State||'|'||Vin1||'|'||Vbatt"));
    EXPECT_EQ("2", Hist(b, "State"));
    EXPECT_EQ(2, Detail(b));
    // Its summary names the lost link, with no cleared value under a caption.
    EXPECT_EQ(::Hex(Gbk("通讯中断")), ::Hex(db.Str("select Brief from tbSMBrief where SID=72")));

    // The answering point's rows are its own, whatever its silent twin did meanwhile.
    EXPECT_EQ(1, Poll(a));
    EXPECT_EQ(0, Poll(b));
    EXPECT_EQ(std::string("0|") + kind.values, Cur(a, std::string("State||'|'||") + kind.columns));
    EXPECT_EQ(0, Detail(a));
    EXPECT_EQ(2, Detail(b));
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=71"));
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}

TEST_P(SingleUpsE2e, LineFaults) {
    struct Case {
        qxsim::Fault fault;
        int result;
    } cases[] = {{qxsim::Fault::Split, 1}, {qxsim::Fault::Short, 0}, {qxsim::Fault::Garbage, 0},
                 {qxsim::Fault::BadCheck, kind.type == 0x30F ? 0 : -1},
                 {qxsim::Fault::Exception, kind.type == 0x30F ? 0 : -1}};
    for (const Case& c : cases) {
        if (c.result < 0) continue;  // no such fault in this protocol
        a.pty.InjectFault(c.fault, 1);
        EXPECT_EQ(c.result, Poll(a)) << (int)c.fault;
        EXPECT_EQ(c.result ? 0 : 2, Detail(a)) << (int)c.fault;
        a.pty.ClearFaults();
    }
    EXPECT_EQ(1, Poll(a));
    EXPECT_EQ(std::string("0|") + kind.values, Cur(a, std::string("State||'|'||") + kind.columns));
}

TEST_P(SingleUpsE2e, Commands) {
    h->DoItem(a.item, 0);
    const size_t before = a.pty.RequestCount();
    EXPECT_EQ(kind.command ? 1 : 0, h->DoFunc(1, nullptr, 0));
    EXPECT_EQ(0, h->DoFunc(2, nullptr, 0));
    if (kind.command) {
        ASSERT_TRUE(a.pty.WaitRequests(before + 1, 2000));
        EXPECT_EQ(kind.command, qxsim::ToHex(a.pty.LastRequest()));
    } else {
        // Nothing reaches the device: a poll's request is the next thing it hears.
        EXPECT_EQ(1, Poll(a));
        EXPECT_GT(a.pty.RequestCount(), before);
        EXPECT_NE("57", qxsim::ToHex(a.pty.Requests().at(before)));
        return;
    }
    EXPECT_EQ(before + 1, a.pty.RequestCount()) << "command 2 sends nothing";
}

INSTANTIATE_TEST_SUITE_P(Drivers, SingleUpsE2e, ::testing::Range(0, 4), Name);
