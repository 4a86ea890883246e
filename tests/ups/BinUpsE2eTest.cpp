// Whole polls of the binary-frame UPS units (EDX, III) as a host makes them: both plug-ins
// loaded with dlopen, a serial channel on a pseudo-terminal to each simulated UPS, the host's
// SQLite databases; every check reads rows back from SQLite.
#include <string>
#include <utility>
#include <vector>

#include "E2eRig.h"
#include "EdxUps.h"
#include "IIIUps.h"
#include "NetSim.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

class BinUpsE2e : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(rig.Load()); }
    void TearDown() override {
        rig.Close();
        for (qxsim::PtySim* p : {&p1, &p2}) p->Stop();
    }

    // A terminal of its own and its channel: the type code carries its number, so that two
    // terminals never share one channel.
    ISerBase* Open(qxsim::PtySim& pty) {
        EXPECT_TRUE(pty.Start());
        return rig.Channel(pty.Definition(), qxtest::E2eRig::kSerial | pty.Number());
    }

    // The point of an item, on a channel, registered as the host does it: the handler of the
    // item's type, or null (with a failure) where there is no channel or handler.
    ISMBase* AddPoint(qxhost::PointItem& item, ISerBase* ch) {
        ISMBase* h = ch ? rig.Handler(item.Get().Type) : nullptr;
        if (!h) {
            ADD_FAILURE() << "no channel or handler for point " << item.Get().SID;
            return nullptr;
        }
        item.Ser(ch);
        rig.AddPoint(h, item);
        return ::testing::Test::HasFatalFailure() ? nullptr : h;
    }

    // One poll as the host makes it: DataGet's result and DataUpd's.
    std::pair<int, int> Poll(ISMBase* h, qxhost::PointItem& item, ISerBase* ch) {
        h->DoItem(item, 0);
        int got = h->DataGet(ch, item.Get().Addr, 0);
        int bits[2] = {0, 0};
        return {got, h->DataUpd(0, got ? bits : nullptr, nullptr, -1, &hist)};
    }
    long long Cur(int sid, const char* col) {
        return db.Int(std::string("select ") + col + " from tbUps where SID=" + std::to_string(sid));
    }
    std::string CurText(int sid, const char* col) {
        return db.Str(std::string("select ") + col + " from tbUps where SID=" + std::to_string(sid));
    }
    struct ColIs {
        const char* col;
        long long value;
    };
    void ExpectRow(int sid, const std::vector<ColIs>& want, const std::string& what = "") {
        for (const ColIs& c : want) EXPECT_EQ(c.value, Cur(sid, c.col)) << c.col << " " << what;
    }
    long long Detail(int sid) {
        return db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid));
    }
    std::string Brief(int sid) {
        return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid));
    }

    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    qxsim::PtySim p1, p2;
};

}  // namespace

TEST_F(BinUpsE2e, EdxPollsStoreValuesAndTheIdentityEveryTime) {
    qxsim::EdxUps ups;
    ups.Serve(p1);
    ISerBase* ch = Open(p1);
    qxhost::PointItem item(71, 0x308);
    item.Name("EDX-1").Port(1).Addr(1);
    ISMBase* h = AddPoint(item, ch);
    ASSERT_NE(nullptr, h);

    EXPECT_EQ(768, db.Int("select Kind from tbSMType where Type=776"));
    EXPECT_EQ("UPS QX-UPSEDXRT6", db.Str("select Name from tbSMType where Type=776"));
    EXPECT_EQ(21, db.Int("select count(*) from tbSMDef where Type=776"));

    for (int poll = 1; poll <= 2; poll++) {
        ASSERT_EQ(std::make_pair(1, 1), Poll(h, item, ch)) << poll;
        EXPECT_EQ(0, Detail(71));
        ExpectRow(71,
                  {{"State", 0}, {"Vin1", 2300}, {"Fin", 500}, {"Vout", 2300}, {"Aout", 40},
                   {"Pout", 350}, {"Pbatt", 1000}, {"status", 1}, {"b7", 1}, {"v3", 10000},
                   {"v4", 80}},
                  "poll " + std::to_string(poll));
        EXPECT_EQ("EATON", CurText(71, "company")) << "poll " << poll;
        EXPECT_EQ("EDXRT", CurText(71, "mode")) << "poll " << poll;
        EXPECT_EQ("1000XL", CurText(71, "version")) << "poll " << poll;
        // The load byte 35 is kept as 350 tenths and summarised as 35 %.
        EXPECT_EQ(Hex("输入电压:230.0V, 输出电压:230.0V, 输出负载:35%"), Hex(Brief(71)));
    }
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=71 and company='EATON'"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=71 and Pout=350 and v2=2300"));
    EXPECT_EQ(16u, p1.RequestCount());

    // The UPS has no command: nothing goes out and nothing is claimed.
    const size_t before = p1.RequestCount();
    h->DoItem(item, 0);
    EXPECT_EQ(0, h->DoFunc(1, nullptr, 0));
    EXPECT_FALSE(p1.WaitRequests(before + 1, 300));

    // Blocks that start with 0x06 are taken over the line too.
    ups.SetFault(qxsim::EdxFault::Ack);
    EXPECT_EQ(std::make_pair(1, 1), Poll(h, item, ch));
    EXPECT_EQ(2300, Cur(71, "Vout"));

    // A block of another identifier ends the poll: the point has no answer.
    ups.SetFault(qxsim::EdxFault::WrongId);
    EXPECT_EQ(std::make_pair(0, 1), Poll(h, item, ch));
    EXPECT_EQ(2, Detail(71));
    EXPECT_EQ(2, Cur(71, "State"));
    EXPECT_EQ(0, Cur(71, "Vin1"));
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}

TEST_F(BinUpsE2e, EdxBlocksSplitAcrossReadsKeepTheirZeroBytes) {
    // Every block in two writes 300 ms apart, the first one after the handler has begun to
    // read, so that the second half comes in a read of its own. The defaults put a zero byte
    // first in that half for four of the eight blocks (0x01, 0x38, 0x3A, 0x41): it belongs to
    // the block and is kept.
    qxsim::EdxUps ups;
    ups.Serve(p1);
    p1.SetDelay(150);
    p1.SetSplitGap(300);
    p1.InjectFault(qxsim::Fault::Split, -1);
    ISerBase* ch = Open(p1);
    qxhost::PointItem item(73, 0x308);
    item.Name("EDX-3").Port(1).Addr(1);
    ISMBase* h = AddPoint(item, ch);
    ASSERT_NE(nullptr, h);

    ups.SetData(0x01, {1, 0, 1, 0, 1});
    ups.SetData(0x3A, {0, 0xE7, 0x00});
    ASSERT_EQ(std::make_pair(1, 1), Poll(h, item, ch));
    EXPECT_EQ(0, Detail(73));
    ExpectRow(73, {{"b7", 1}, {"b6", 0}, {"b5", 1}, {"b4", 1}, {"b3", 0}, {"b0", 0},
                   {"v1", 0}, {"v2", 2310}, {"status", 1}, {"Vin1", 2300}, {"Vout", 2300},
                   {"Pout", 350}, {"v3", 10000}});
    EXPECT_EQ("EATON", CurText(73, "company"));
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST_F(BinUpsE2e, EdxBlockOfAByteMoreOrLessEndsThePollWithNothingFromIt) {
    qxsim::EdxUps ups;
    ups.Serve(p1);
    ISerBase* ch = Open(p1);
    qxhost::PointItem item(74, 0x308);
    item.Name("EDX-4").Port(1).Addr(1);
    ISMBase* h = AddPoint(item, ch);
    ASSERT_NE(nullptr, h);

    // The fourth block (0x31, the input) is spoilt: a byte after it, or its last byte missing.
    for (qxsim::EdxFault f : {qxsim::EdxFault::Trailing, qxsim::EdxFault::Shorter}) {
        ASSERT_EQ(std::make_pair(1, 1), Poll(h, item, ch));
        ASSERT_EQ(2300, Cur(74, "Vin1"));
        const size_t asked = ups.Asked().size();
        for (int i = 0; i < 3; i++) ups.FaultOnce(qxsim::EdxFault::None);
        ups.FaultOnce(f);
        EXPECT_EQ(std::make_pair(0, 1), Poll(h, item, ch)) << (int)f;
        EXPECT_EQ(asked + 4, ups.Asked().size()) << "no request after the spoilt block";
        EXPECT_EQ(2, Detail(74)) << (int)f;
        ExpectRow(74, {{"State", 2}, {"Vin1", 0}, {"Fin", 0}, {"Vout", 0}}, "after the spoilt block");
        EXPECT_EQ(1, hist.Int("select count(*) from tbUps where SID=74 and State=2 and Vin1=0 "
                              "and Fin=0 and DID=(select max(DID) from tbUps where SID=74)"));
        EXPECT_EQ(Hex("通讯中断"), Hex(Brief(74))) << (int)f;
    }
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}

TEST_F(BinUpsE2e, EdxBehindASerialServerKeepsItsConnectionPollAfterPoll) {
    // The UPS reached over TCP: the network channel drops its link on a read that finds
    // nothing, so every block is read to its length and no further.
    qxsim::EdxUps ups;
    qxsim::TcpSim tcp;
    ups.Serve(tcp);
    ASSERT_TRUE(tcp.Start());
    ISerBase* ch = rig.Channel(tcp.Definition(), 0x200000 | 75);
    qxhost::PointItem item(75, 0x308);
    item.Name("EDX-5").Port(1).Addr(1);
    ISMBase* h = AddPoint(item, ch);
    ASSERT_NE(nullptr, h);
    for (int poll = 1; poll <= 2; poll++) {
        ASSERT_EQ(std::make_pair(1, 1), Poll(h, item, ch)) << poll;
        ExpectRow(75, {{"State", 0}, {"Vin1", 2300}, {"Vout", 2300}, {"Pout", 350}},
                  "poll " + std::to_string(poll));
    }
    EXPECT_EQ(16u, tcp.RequestCount());
    EXPECT_EQ(1u, tcp.Connections());
    rig.Close();
    tcp.Stop();
}

TEST_F(BinUpsE2e, IIIAtAddressZeroKeepsTheZeroThatOpensTheRestOfItsFrame) {
    // The exchange reads the head EA L L first and the rest in a read of its own; the rest
    // opens with the address byte, 0 here.
    qxsim::IIIUps ups(0);
    ups.Serve(p1);
    ISerBase* ch = Open(p1);
    qxhost::PointItem item(83, 0x309);
    item.Name("III-0").Port(1).Addr(0);
    ISMBase* h = AddPoint(item, ch);
    ASSERT_NE(nullptr, h);
    ups.SetWord(0x81, 6, 2310);
    ups.SetByte(0x86, 22, 97);
    for (int poll = 1; poll <= 2; poll++) {
        ASSERT_EQ(std::make_pair(1, 1), Poll(h, item, ch)) << poll;
        ExpectRow(83, {{"State", 0}, {"Vin1", 2310}, {"Vin2", 2200}, {"v2", 2210}, {"Vdc", 3800},
                       {"Fout", 500}, {"Pbatt", 97}},
                  "poll " + std::to_string(poll));
    }
    EXPECT_EQ((std::vector<uint8_t>{0x81, 0x86, 0x81, 0x86}), ups.Asked());
    EXPECT_EQ(0, db.Failures()) << db.Error();
}

TEST_F(BinUpsE2e, TwoIIIPointsOneSilent) {
    qxsim::IIIUps a(1), b(2);
    a.Serve(p1);
    b.Serve(p2);
    ISerBase* chA = Open(p1);
    ISerBase* chB = Open(p2);
    qxhost::PointItem ia(81, 0x309), ib(82, 0x309);
    ia.Name("III-1").Port(1).Addr(1);
    ib.Name("III-2").Port(2).Addr(2);
    ISMBase* h = AddPoint(ia, chA);
    ASSERT_NE(nullptr, h);
    ASSERT_EQ(h, AddPoint(ib, chB));

    EXPECT_EQ(2054, db.Int("select Kind from tbSMType where Type=777"));
    EXPECT_EQ(Hex("行间空调GI系列 UPS-III"), Hex(db.Str("select Name from tbSMType where Type=777")));
    EXPECT_EQ(6, db.Int("select count(*) from tbSMDef where Type=777"));

    a.SetWord(0x81, 8, 2210);
    a.SetWord(0x81, 10, 2190);
    ASSERT_EQ(std::make_pair(1, 1), Poll(h, ia, chA));
    ASSERT_EQ(std::make_pair(1, 1), Poll(h, ib, chB));
    b.SetSilent(true);
    for (int round = 1; round <= 2; round++) {
        EXPECT_EQ(std::make_pair(1, 1), Poll(h, ia, chA)) << round;
        EXPECT_EQ(std::make_pair(0, 1), Poll(h, ib, chB)) << round;
    }
    EXPECT_EQ(0, Detail(81));
    EXPECT_EQ(2, Detail(82));
    ExpectRow(81, {{"Vin1", 2200}, {"Vin2", 2210}, {"Vin3", 2190}, {"v2", 2210}, {"v4", 50},
                   {"Vdc", 3800}, {"Fout", 500}, {"Pbatt", 100}, {"status", 0}});
    EXPECT_EQ(Hex("输入电压1:220.0V,输入电压2:221.0V,输入电压3:219.0V"), Hex(Brief(81)));
    EXPECT_EQ(2, Cur(82, "State"));
    EXPECT_EQ(0, Cur(82, "Vin1"));
    EXPECT_EQ(3, hist.Int("select count(*) from tbUps where SID=81 and Vin1=2200"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbUps where SID=82 and State=2"));
    EXPECT_EQ((std::vector<uint8_t>{0x81, 0x86, 0x81, 0x86, 0x81, 0x86}), a.Asked());

    // The mains flag over the line, and a battery reply too short for its capacity.
    a.SetByte(0x81, 50, 0x01);
    a.FaultOnce(qxsim::IIIFault::None);
    a.FaultOnce(qxsim::IIIFault::TooSmall);
    EXPECT_EQ(std::make_pair(0, 1), Poll(h, ia, chA));
    EXPECT_EQ(2, Detail(81));
    a.ClearFault();
    EXPECT_EQ(std::make_pair(1, 1), Poll(h, ia, chA));
    EXPECT_EQ(1, Cur(81, "b7"));
    EXPECT_EQ(128, Cur(81, "status"));

    // An address the frame cannot carry is not polled.
    ia.Addr(0x101);
    const size_t before = p1.RequestCount();
    EXPECT_EQ(std::make_pair(0, 1), Poll(h, ia, chA));
    EXPECT_FALSE(p1.WaitRequests(before + 1, 200));
    EXPECT_EQ(0, db.Failures()) << db.Error();
    EXPECT_EQ(0, hist.Failures()) << hist.Error();
}
