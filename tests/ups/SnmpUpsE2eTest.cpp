// End to end: the built plug-in loaded as a host loads it, every SNMP UPS driver and the SNMP
// air-conditioner polling net-snmp's snmpd on 127.0.0.1:161, each with a twin of its type on a
// host where nothing listens, and the rows they leave in SQLite. The test process runs in a
// network namespace of its own (see SnmpUpsAgent.h).
#include <dlfcn.h>

#include <string>
#include <vector>

#include "E2eRig.h"
#include "GbkText.h"
#include "SnmpUpsAgent.h"
#include "gtest/gtest.h"
#include "support/NetNamespace.h"

using namespace snmpups;
using qxtest::Gbk;

namespace {

// net-snmp stays resident between plug-in loads, as in a host that keeps the plug-in.
void* const g_netsnmp = dlopen(NETSNMP_PATH, RTLD_NOW | RTLD_NODELETE);

struct Driver {
    int type;
    const char* name;   // tbSMType Name
    const char* note;   // tbSMType Note (UTF-8)
    int defRows;
    const char* table;
    int variant;
};
const Driver kDrivers[] = {
    {0x32C, "UPS QX-UPS-WEBPOW", "UPS 三相输入输出...", 47, "tbUpsEx", 0},
    {0x31B, "UPS RE-RIRA", "UPS山特兼容KR APC...", 16, "tbUps", 0},
    {0x31E, "UPS QX-UPS-ITA0510K", "UPS山特兼容KR APC...", 15, "tbUps", 0},
    {0x323, "UPS QX-UPS-ZH20KL", "UPS 三相输入输出...", 47, "tbUpsEx", 1},
    {0x324, "UPS QX-UPS-MG Galaxy5000", "UPS 三相输入输出...", 47, "tbUpsEx", 0},
    {0x327, "UPS QX-UPS-ita 1620k", "UPS 三相输入输出...", 47, "tbUpsEx", 0},
    {0x328, "UPS QX-UPS-POWERNET3", "UPS 三相输入输出...", 47, "tbUpsEx", 0},
    {0x831, "UPS QX-CYBER-PEX", "UPS山特兼容KR APC...", 15, "tbCyberPexS", 0},
};

class SnmpUpsE2e : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_AGENTS_ON_161();
        ASSERT_NO_FATAL_FAILURE(rig.Load());
    }
    std::string Row(const std::string& sql) { return rig.db.Str(sql); }
    std::string Brief(int sid) {
        return qxtest::Utf8(rig.db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)));
    }
    qxtest::E2eRig rig;
};

TEST_F(SnmpUpsE2e, EveryDriverIntoSqlite) {
    std::vector<ISMBase*> handlers;
    std::vector<qxhost::PointItem> live, dead;
    for (size_t i = 0; i < sizeof kDrivers / sizeof kDrivers[0]; i++) {
        const Driver& d = kDrivers[i];
        ISMBase* h = rig.Handler(d.type);
        ASSERT_NE(h, nullptr) << d.name;
        EXPECT_EQ(h->GetType(), d.type);
        const std::string t = std::to_string(d.type);
        EXPECT_EQ(Row("select Kind||'/'||Name from tbSMType where Type=" + t), "768/" + std::string(d.name));
        EXPECT_EQ(Hex(Row("select Note from tbSMType where Type=" + t)), Hex(Gbk(d.note))) << d.name;
        EXPECT_EQ(rig.db.Int("select count(*) from tbSMDef where Type=" + t), d.defRows) << d.name;
        handlers.push_back(h);
        live.emplace_back(100 + (int)i, d.type);
        live.back().Name("live").AddrText(kLive).Variant(d.variant);
        dead.emplace_back(200 + (int)i, d.type);
        dead.back().Name("dead").AddrText(kDead).Variant(d.variant);
    }
    // Definition rows as registered.
    EXPECT_EQ(Row("select FldName||'/'||Ratio||'/'||AlmKind||'/'||vref||'/'||HiLmt from tbSMDef "
                  "where Type=798 and Fld=29"), "V3/100/6/20000/23500");
    EXPECT_EQ(Hex(Row("select Note from tbSMDef where Type=2097 and Fld=20")), Hex(Gbk("运行模式")));

    for (size_t i = 0; i < handlers.size(); i++) {
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(handlers[i], live[i]));
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(handlers[i], dead[i]));
    }
    for (size_t i = 0; i < handlers.size(); i++) {
        int bits[4] = {0, 0, 0, 0};
        EXPECT_EQ(rig.Poll(handlers[i], live[i], nullptr, bits), 1) << kDrivers[i].name;
        EXPECT_EQ(rig.Poll(handlers[i], dead[i], nullptr, bits), 0) << kDrivers[i].name;
    }

    // Current rows in the main database.
    auto ex = [&](int sid, const char* cols) {
        return rig.db.Str(std::string("select ") + cols + " from tbUpsEx where SID=" + std::to_string(sid));
    };
    EXPECT_EQ(ex(100, "Vin1||','||Vout3||','||IB2||','||Pout1||','||FB3||','||State"),
              "301,2203,3302,25010,499,0");                                       // Webpow
    EXPECT_EQ(ex(103, "Vin1||','||status||','||b0||','||b3"), "1000,9,1,1");       // Zh20kl
    EXPECT_EQ(ex(104, "Vin1||','||Vin2||','||Vout3||','||status"), "230,0,223,514");  // MgG5000
    EXPECT_EQ(ex(105, "Vin1||','||VB3||','||v2||','||status"), "1004,1043,50,6");  // Ita1620k
    EXPECT_EQ(ex(106, "Vout1||','||IB1||','||FB3||','||status"), "6301,7301,7603,511");  // PowerNet3
    auto ups = [&](int sid, const char* cols) {
        return rig.db.Str(std::string("select ") + cols + " from tbUps where SID=" + std::to_string(sid));
    };
    EXPECT_EQ(ups(101, "Vin1||','||Vout||','||status||','||v4||','||State"), "2310,2290,255,100,0");
    EXPECT_EQ(ups(102, "Vin1||','||Pout||','||status||','||Mbatt||','||v2"), "23000,3500,3,0,900");
    EXPECT_EQ(rig.db.Str("select tem||','||hum||','||stRun||','||xqJs from tbCyberPexS where SID=107"),
              "235,456,3,260");
    // The twins: no answer, state 2, nothing of the live points.
    for (int sid = 200; sid < 208; sid++) {
        EXPECT_EQ(rig.db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid)), 2) << sid;
        EXPECT_EQ(rig.db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid - 100)), 0) << sid;
    }
    EXPECT_EQ(ex(200, "Vin1||','||State"), "0,2");
    EXPECT_EQ(ups(201, "Vin1||','||status||','||State"), "0,0,2");
    EXPECT_EQ(rig.db.Str("select tem||','||State from tbCyberPexS where SID=207"), "0,2");

    EXPECT_EQ(rig.hist.Int("select count(*) from sqlite_master where name in "
                           "('tbUps','tbUpsEx','tbCyberPexS')"), 3);
    // History rows in the history database, one per poll.
    EXPECT_EQ(rig.hist.Int("select count(*) from tbUpsEx"), 10);
    EXPECT_EQ(rig.hist.Int("select count(*) from tbUps"), 4);
    EXPECT_EQ(rig.hist.Str("select Vin1||','||status from tbUps where SID=101"), "2310,255");
    EXPECT_EQ(rig.hist.Str("select VB1||','||State from tbUpsEx where SID=100"), "3201,0");
    EXPECT_EQ(rig.hist.Str("select tem||','||State from tbCyberPexS where SID=207"), "0,2");

    // Summaries.
    EXPECT_EQ(Brief(101), "输入电压:231.0V, 输出电压:229.0V, 输出负载:35.0%");
    EXPECT_EQ(Brief(201), "通讯中断");
    EXPECT_EQ(Brief(102), "输入电压:230.00V, 输出电压:0.00V, 输出负载:35.00%");
    EXPECT_EQ(Brief(202), "通讯故障");
    // Divisor 100: hundredths (10.04 V), not tenths (100.4 V).
    EXPECT_EQ(Brief(105).rfind("输入电压:10.0V, 10.1V, 10.1V, 输出电压:10.2V, 10.2V, 10.2V", 0), 0u)
        << Brief(105);
    EXPECT_EQ(Brief(107), "当前温度:235.0 ℃, 当前湿度:456.0 %");
    EXPECT_EQ(Brief(207), "通讯故障");

    // State 1 (flag bit 0) without alarm bits keeps the values of the poll.
    for (int i : {2, 7}) {
        handlers[i]->DoItem(live[i], 0);
        EXPECT_EQ(handlers[i]->DataGet(nullptr, 0, 0), 1);
        EXPECT_EQ(handlers[i]->DataUpd(1, nullptr, nullptr, -1, &rig.hist), 1);
    }
    EXPECT_EQ(ups(102, "Vin1||','||State"), "23000,1");
    EXPECT_EQ(rig.db.Str("select tem||','||State from tbCyberPexS where SID=107"), "235,1");

    // The identifier patterns the plug-in exports.
    for (const char* sym : {"OIDA_WEBPOW", "OIDA_POWERNET", "OIDA_ITA1620K"}) {
        auto p = (const char* const*)dlsym(rig.sm.Handle(), sym);
        ASSERT_NE(p, nullptr) << sym;
        EXPECT_NE(std::string(*p).find("%d"), std::string::npos) << sym;
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (!::testing::GTEST_FLAG(list_tests)) NoNamespace() = qxtest::EnterNamespace();
    return RUN_ALL_TESTS();
}
