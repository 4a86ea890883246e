// A sound UPS on mains, as the operator sees it: the simulated unit's realistic reply polled
// by its handler, the host's limit check over the type's rows, and the stored row. Each
// stored integer divided by its row's divisor is the reading in the row's unit, the summary
// shows that reading in that unit (volts, hertz), and nothing is out of limits. A unit whose
// poll leaves fields with a row unread is in alarm only on the fields it reads.
#include <ctype.h>
#include <math.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "GbkText.h"
#include "IIIUps.h"
#include "Limits.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SingleUps.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "Ups9EBlock.h"
#include "UpsModbusMaps.h"
#include "YdtDevice.h"
#include "YdtUps.h"
#include "gtest/gtest.h"
#include "ups/SMUPS9EModbus.h"
#include "ups/SMUpsAHP.h"
#include "ups/SMUpsGX.h"
#include "ups/SMUpsGXE.h"
#include "ups/SMUpsHR7000.h"
#include "ups/SMUpsHipulseUSeries.h"
#include "ups/SMUpsIII.h"
#include "ups/SMUpsITrustAdapt.h"
#include "ups/SMUpsSentry.h"

using qxtest::Bytes;
using qxtest::Gbk;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// The unit behind the channel; what is returned keeps the device model alive.
using Serve = std::function<std::shared_ptr<void>(qxtest::ScriptChannel&)>;

// A Modbus unit 1, its registers laid by `lay`.
Serve ModbusModel(const std::function<void(qxsim::ModbusSlave&)>& lay) {
    return [lay](qxtest::ScriptChannel& ch) {
        auto slave = std::make_shared<qxsim::ModbusSlave>(1);
        lay(*slave);
        ch.SetResponder([slave](const Bytes& req) { return slave->HandleRtu(req.data(), req.size()).bytes; });
        return std::shared_ptr<void>(slave);
    };
}

// A single-phase Modbus UPS at 220 V, 50 Hz, its registers laid by `lay`.
Serve ModbusUnit(void (*lay)(qxsim::ModbusSlave&, const qxsim::UpsReadings&)) {
    return ModbusModel([lay](qxsim::ModbusSlave& slave) {
        qxsim::UpsReadings u;
        u.vin1 = 2200, u.vin2 = 2210, u.vin3 = 2190, u.fin = 500;
        u.vout = u.v2 = u.v3 = 2200, u.fout = 500;
        u.aout = u.aed = u.v4 = 120;
        u.vbatt = 2720, u.pbatt = 1000, u.mbatt = 300, u.tem = 250;
        lay(slave, u);
    });
}
void LayGx(qxsim::ModbusSlave& s, const qxsim::UpsReadings& u) { qxsim::SetUpsGx(s, u); }
void LayHr7000(qxsim::ModbusSlave& s, const qxsim::UpsReadings& u) { qxsim::SetUpsHr7000(s, u); }

// A YD/T 1363 unit at address 1 with the simulator's figures of its model.
template <class Figures, void (*Set)(qxsim::YdtDevice&, const Figures&)>
Serve YdtUnit(int cid1 = 0x2A, int ver = 0x21) {
    return [cid1, ver](qxtest::ScriptChannel& ch) {
        auto dev = std::make_shared<qxsim::YdtDevice>(1, cid1, ver);
        Set(*dev, Figures());
        ch.SetResponder([dev](const Bytes& req) { return dev->Handle(req); });
        return std::shared_ptr<void>(dev);
    };
}

std::shared_ptr<void> IIIUnit(qxtest::ScriptChannel& ch) {
    auto ups = std::make_shared<qxsim::IIIUps>(1);
    ch.SetResponder([ups](const Bytes& req) { return ups->Answer(req); });
    return ups;
}

std::shared_ptr<void> SentryUnit(qxtest::ScriptChannel& ch) {
    auto ups = std::make_shared<qxsim::SentryUps>();
    qxsim::Responder answer = ups->AsResponder();
    ch.SetResponder([answer](const Bytes& req) {
        qxsim::Reply reply;
        return answer(req, qxsim::Fault::None, reply) ? reply.data : Bytes();
    });
    return ups;
}

// One stored value: its column (field `fld`), the integer stored, and the reading it is in
// the unit of its row (NAN for a field without a row).
struct Stored {
    const char* column;
    int fld;
    int value;
    double reading;
};

struct Case {
    const char* name;
    int type;
    int variant;
    const char* table;
    std::function<std::unique_ptr<CSMBase>()> make;
    Serve serve;
    std::vector<Stored> stored;
    const char* brief;  // UTF-8
};

template <class H>
std::function<std::unique_ptr<CSMBase>()> Make() {
    return [] { return std::unique_ptr<CSMBase>(new H); };
}

const Case kCases[] = {
    {"III", 0x309, 0, "tbUps", Make<CSMUpsIII>(), IIIUnit,
     {{"Vin1", 1, 2200, 220.0}, {"Vin2", 2, 2200, NAN}, {"Vout", 5, 2200, 220.0},
      {"Fout", 7, 500, 50.0}},
     "输入电压1:220.0V,输入电压2:220.0V,输入电压3:220.0V"},
    {"GX", 0x30C, 0, "tbUps", Make<CSMUpsGX>(), ModbusUnit(LayGx),
     {{"Vin1", 1, 2200, 220.0}, {"Fin", 4, 500, 50.0}, {"Fout", 7, 500, 50.0}},
     "输入频率:50.0Hz,输入电压1:220.0V,输入电压2:221.0V,输入电压3:219.0V"},
    {"HR7000", 0x30B, 0, "tbUps", Make<CSMUpsHR7000>(), ModbusUnit(LayHr7000),
     {{"Vin1", 1, 2200, 220.0}, {"Fin", 4, 500, 50.0}, {"Fout", 7, 500, 50.0}},
     "输入频率:50.0Hz,输入电压1:220.0V,输入电压2:221.0V,输入电压3:219.0V"},
    // The output voltages arrive in whole volts.
    {"Sentry", 0x30A, 0, "tbUps", Make<CSMUpsSentry>(), SentryUnit,
     {{"Vout", 5, 2200, 220.0}, {"v2", 28, 2210, NAN}, {"v3", 29, 2190, NAN},
      {"Fout", 7, 500, 50.0}, {"Fin", 4, 500, NAN}},
     "输入频率:50.0Hz,输出电压1:220.0V,输出电压2:221.0V,输出电压3:219.0V"},
    // The bypass voltage is Pout; v2 is the second output phase.
    {"iTrust 5K-10K", 0x311, 4, "tbUps", Make<CSMUpsITrustAdapt>(),
     YdtUnit<qxsim::ITrust5kFigures, qxsim::SetITrust5k>(),
     {{"Vin1", 1, 2201, 220.1}, {"Vout", 5, 2211, 221.1}, {"v2", 28, 2212, 221.2},
      {"Pout", 8, 2190, 219.0}, {"Fin", 4, 499, 49.9}, {"Fed", 26, 501, 50.1}},
     "输入电压:220.1V,输出电压:221.1V,旁路电压:219.0V"},
    {"GXE", 0x314, 0, "tbUpsGXE", Make<CSMUpsGXE>(), YdtUnit<qxsim::GxeFigures, qxsim::SetGxe>(),
     {{"VinA", 1, 2300, 230.0}, {"VoutA", 4, 2200, 220.0}, {"Pin", 14, 499, 49.9},
      {"Pout", 13, 500, 50.0}, {"IoutA", 8, 1050, 10.5}, {"Lodaout", 17, 4567, NAN}},
     "输入电压:230.0V, 输出电压:220.0V, 输出负载:45%"},
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class SoundUps : public ::testing::TestWithParam<Case> {};

// One point (SID 61) of a handler, its rows in db, its unit behind the channel.
struct Point {
    Point(const std::function<std::unique_ptr<CSMBase>()>& make, int type, int variant,
          const Serve& serve)
        : h(make()), unit(serve(ch)), item(61, type), type(type) {
        h->SetDb(&db, 0);
        h->SetDb(&hist, 1);
        h->RegDb(&db, 0);
        item.Name("UPS").Port(1).Addr(1).Variant(variant).Ser(&ch);
    }
    // One poll and the host's limit check of its values: the fields out of limits in
    // outOfLimits, their bits in `bits`.
    void Poll(std::vector<int>& outOfLimits) {
        ASSERT_EQ(1, h->ChkDb(item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(61," + std::to_string(type) + ",-1)");
        h->DoItem(item, 0);
        ASSERT_EQ(1, h->DataGet(&ch, 1, 0));
        std::vector<qxhost::LimitRow> out;
        qxhost::CheckLimits(qxhost::LoadLimits(db, type), h->DataSize(),
                            [this](int f) { return h->DataVal(f); }, bits, &out);
        for (const qxhost::LimitRow& r : out) outOfLimits.push_back(r.fld);
    }

    TestDb db, hist;
    qxtest::ScriptChannel ch;
    std::unique_ptr<CSMBase> h;
    std::shared_ptr<void> unit;
    qxhost::PointItem item;
    int type;
    std::vector<int32_t> bits;
};

TEST_P(SoundUps, StoresAndShowsTheReadingOfItsRowsWithoutAlarm) {
    const Case& c = GetParam();
    Point p(c.make, c.type, c.variant, c.serve);
    TestDb& db = p.db;
    TestDb& hist = p.hist;
    CSMBase* h = p.h.get();
    std::vector<int> out;
    ASSERT_NO_FATAL_FAILURE(p.Poll(out));
    EXPECT_EQ(std::vector<int>(), out) << "a sound unit is in alarm";
    ASSERT_EQ(1, h->DataUpd(0, p.bits.data(), nullptr, -1, &hist));

    const std::string row = std::string(" from ") + c.table + " where SID=61";
    for (const Stored& s : c.stored) {
        EXPECT_EQ(s.value, h->DataVal(s.fld)) << s.column;
        EXPECT_EQ(s.value, db.Int(std::string("select ") + s.column + row)) << s.column;
        EXPECT_EQ(s.value, hist.Int(std::string("select ") + s.column + row)) << s.column;
        const std::string def = " from tbSMDef where Type=" + std::to_string(c.type) +
                                " and Fld=" + std::to_string(s.fld);
        if (isnan(s.reading)) continue;
        const long long ratio = db.Int("select Ratio" + def);
        ASSERT_GT(ratio, 0) << s.column << ": no row";
        EXPECT_DOUBLE_EQ(s.reading, (double)s.value / (double)ratio) << s.column << " / " << ratio;
    }
    EXPECT_EQ(Hex(Gbk(c.brief)), Hex(db.Str("select Brief from tbSMBrief where SID=61")))
        << qxtest::Utf8(db.Str("select Brief from tbSMBrief where SID=61"));
    EXPECT_EQ(0, db.Int("select State" + row));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=61"));
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}

INSTANTIATE_TEST_SUITE_P(Handlers, SoundUps, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) {
                             std::string n;
                             for (const char* p = i.param.name; *p; p++)
                                 if (isalnum((unsigned char)*p)) n += *p;
                             return n;
                         });

// ---------------------------------------------------------------- fields a poll does not read

// A 9E at 230 V on mains with its battery voltage and capacity (in the units of its path).
qxsim::UpsReadings NineE(uint16_t vbatt, uint16_t pbatt) {
    qxsim::UpsReadings u;
    u.vin1 = u.vin2 = u.vin3 = u.vout = u.v2 = u.v3 = 2300;
    u.aout = u.aed = u.v4 = 120;
    u.vbatt = vbatt, u.pbatt = pbatt, u.mbatt = 300;
    return u;
}

Serve NineEBlock() {
    return [](qxtest::ScriptChannel& ch) {
        auto ups = std::make_shared<qxsim::Ups9EBlock>();
        qxsim::UpsReadings u = NineE(218, 0);  // volts and hertz on this protocol
        u.fin = u.fout = 50;
        ups->SetReadings(u, 0);
        ch.SetResponder([ups](const Bytes& req) { return ups->Answer(req); });
        return std::shared_ptr<void>(ups);
    };
}

// A 9E on Modbus with its battery at `pbatt` tenths of a percent.
Serve NineEModbus(uint16_t pbatt) {
    return ModbusModel([pbatt](qxsim::ModbusSlave& slave) {
        qxsim::UpsReadings u = NineE(2184, pbatt);
        u.fin = u.fout = 500;
        qxsim::SetUps9E(slave, u, 0);
    });
}

struct UnreadCase {
    const char* name;
    int type;
    int variant;
    std::function<std::unique_ptr<CSMBase>()> make;
    Serve serve;
    std::vector<int> outOfLimits;  // the fields the host finds out of limits
    int state;
    const char* alarms;  // the summary's alarm text (UTF-8), "" for none
};

// A unit whose poll leaves fields with a row unread: the host finds their 0 out of limits, but
// the state and the summary's alarm captions pass over them and follow the fields read.
TEST(UnreadFields, StateAndAlarmCaptionsFollowTheFieldsThePollReads) {
    const UnreadCase cases[] = {
        // The YD/T poll reads no output frequency, temperature or battery voltage.
        {"AHP YD/T", 0x313, 2, Make<CSMUpsAHP>(), YdtUnit<qxsim::AhpYdtFigures, qxsim::SetAhpYdt>(0x40, 0x21),
         {7, 9, 19}, 0, ""},
        // The Modbus poll reads the battery voltage: 272.0 V lies above its row's 235.0 V.
        {"AHP Modbus", 0x313, 0, Make<CSMUpsAHP>(),
         ModbusModel([](qxsim::ModbusSlave& s) { qxsim::SetAhpUps(s, qxsim::AhpUpsRegs()); }), {19}, 1, "告警:电池电压"},
        // The block protocol carries no battery capacity; on Modbus a low battery alarms.
        {"9E block", 0x312, 1, Make<CSMUPS9EModbus>(), NineEBlock(), {20}, 0, ""},
        {"9E Modbus", 0x312, 0, Make<CSMUPS9EModbus>(), NineEModbus(200), {20}, 1, "告警:电池容量"},
        // No battery temperature: the battery rows alone alarm.
        {"Hipulse", 0x31A, 0, Make<CSMUpsHipulseUSeries>(),
         YdtUnit<qxsim::HipulseUps, qxsim::SetHipulseUps>(0x2A, 0x11), {22, 40, 42}, 1,
         "告警:电池电压 电池剩于时间"},
    };
    for (const UnreadCase& c : cases) {
        SCOPED_TRACE(c.name);
        Point p(c.make, c.type, c.variant, c.serve);
        std::vector<int> out;
        ASSERT_NO_FATAL_FAILURE(p.Poll(out));
        EXPECT_EQ(c.outOfLimits, out);
        TestDb& db = p.db;
        ASSERT_EQ(1, p.h->DataUpd(out.empty() ? 0 : 1, p.bits.data(), nullptr, -1, nullptr));
        EXPECT_EQ(c.state, db.Int("select State from tbSubSysDetail where SID=61"));
        const std::string brief = db.Str("select Brief from tbSMBrief where SID=61");
        const size_t at = brief.find(Gbk("告警:"));
        EXPECT_EQ(Hex(Gbk(c.alarms)), Hex(at == std::string::npos ? std::string() : brief.substr(at)))
            << qxtest::Utf8(brief);
        EXPECT_EQ(0, db.Failures()) << db.Error();
    }
}

}  // namespace
