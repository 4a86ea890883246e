// Whole polls of the Emerson YD/T 1363 UPS as a host makes them: both plug-ins loaded with
// dlopen, a serial channel on a pseudo-terminal to the simulated unit, SQLite databases; every
// check reads rows back from SQLite.
#include <string.h>

#include <memory>
#include <string>

#include "EmersonUnit.h"
#include "E2eRig.h"
#include "GbkText.h"
#include "PtySim.h"
#include "YdtDevice.h"
#include "gtest/gtest.h"

namespace {

using qxtest::Gbk;

class EmersonE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        emerson::FloatUnit(dev, 2);
        qxsim::ServeYdt(pty, dev);
        if (!pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";

        // The channel code the definition describes: serial, the port's last digit.
        ch = rig.Channel(pty.Definition(), qxtest::E2eRig::kSerial | (pty.Number() % 10));
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(0x301);
        ASSERT_NE(nullptr, h);
        item.reset(new qxhost::PointItem(51, 0x301));
        item->Name("UPS-E").Port(ch->GetType() & 0xFFFF).Addr(1).Variant(2).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *item));
    }

    void TearDown() override {
        rig.Close();
        pty.Stop();
    }

    int Poll(int* bits) { return rig.Poll(h, *item, ch, bits, 0, 20); }
    long long Cur(const char* col) {
        return db.Int(std::string("select ") + col + " from tbUpsEx where SID=51");
    }

    qxsim::YdtDevice dev{1, 0x2A, 0x10};
    qxsim::PtySim pty;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    std::unique_ptr<qxhost::PointItem> item;
};

}  // namespace

TEST_F(EmersonE2e, PollIsStoredInTbUpsExWithHistory) {
    EXPECT_EQ(43, db.Int("select count(*) from tbSMDef where Type=769"));
    int bits[2] = {0, 0};
    ASSERT_EQ(1, Poll(bits));
    EXPECT_EQ(0, Cur("State"));
    EXPECT_EQ(2205, Cur("Vin1"));
    EXPECT_EQ(2225, Cur("Vin3"));
    EXPECT_EQ(2215, Cur("Vout1"));
    EXPECT_EQ(105, Cur("Iout1"));
    EXPECT_EQ(125, Cur("Iin1"));
    EXPECT_EQ(495, Cur("Fin3"));
    EXPECT_EQ(2195, Cur("VB1"));
    EXPECT_EQ(500, Cur("FB2"));
    EXPECT_EQ(350, Cur("Mbatt"));
    EXPECT_EQ(0xE1, Cur("b15"));
    EXPECT_EQ(0, db.Int("select State from tbSubSysDetail where SID=51"));
    EXPECT_EQ(::Hex(Gbk("输入电压:220.5V, 221.5V, 222.5V, 输出电压:221.5V, 222.5V, 223.5V, "
                        "输出电流:10.5A,11.5A,12.5A, 电池电压:272.5V")),
              ::Hex(db.Str("select Brief from tbSMBrief where SID=51")));
    EXPECT_EQ(1, hist.Int("select count(*) from tbUpsEx where SID=51"));
    EXPECT_EQ(125, hist.Int("select Iin1 from tbUpsEx where SID=51"));
    EXPECT_EQ(135, hist.Int("select Iin2 from tbUpsEx where SID=51"));
    EXPECT_EQ((std::vector<int>{0x41, 0xE1, 0xE3, 0x43}), dev.Commands());

    char text[32] = ".Vin1";
    EXPECT_EQ(5, h->VarEval(text));
    EXPECT_STREQ("220.5", text);
}

TEST_F(EmersonE2e, RefusedRepliesAndSilenceAreStoredAsNoAnswer) {
    struct Case {
        const char* what;
        qxsim::YdtFault fault;
        int param;
    } cases[] = {
        {"RTN 04", qxsim::YdtFault::Rtn, 0x04},
        {"bad CHKSUM", qxsim::YdtFault::BadChecksum, -1},
        {"silence", qxsim::YdtFault::Silence, -1},
    };
    int bits[2] = {0, 0};
    int stored = 0;
    for (const Case& c : cases) {
        ASSERT_EQ(1, Poll(bits)) << c.what;
        EXPECT_EQ(2205, Cur("Vin1")) << c.what;
        dev.FaultOnce(c.fault, c.param);
        EXPECT_EQ(0, Poll(bits)) << c.what;
        EXPECT_EQ(2, Cur("State")) << c.what;
        EXPECT_EQ(0, Cur("Vin1")) << c.what;
        EXPECT_EQ(2, db.Int("select State from tbSubSysDetail where SID=51")) << c.what;
        stored += 2;
        EXPECT_EQ(stored, hist.Int("select count(*) from tbUpsEx where SID=51")) << c.what;
        EXPECT_EQ(2, hist.Int("select State from tbUpsEx where SID=51 order by DID desc limit 1"));
    }
}
