// The GSM modem alarm through the loaded plug-ins: a serial channel of qxSer on a
// pseudo-terminal, the GSM modem simulator behind it, the host's SQLite databases. The host
// stores a number and a text and orders the send; the modem must receive the PDUs.
#include <algorithm>
#include <string>
#include <vector>

#include "E2eRig.h"
#include "GammuPdu.h"
#include "GbkText.h"
#include "GsmModem.h"
#include "gtest/gtest.h"

namespace {

class GsmE2e : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        if (!modem.Start()) GTEST_SKIP() << "no pseudo-terminal available";
        ch = rig.Channel(modem.Definition());
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(0xA01);
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(0xA01, h->GetType());
        item = new qxhost::PointItem(41, 0xA01);
        item->Name("GSM").Port(ch->GetType() & 0xFFFF).Addr(1).Variant(0).Ser(ch);
        ASSERT_EQ(1, h->ChkDb(*item));
        db.Run("create table tbAlmGsm(SID INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER,"
               "Signal INTEGER,iSignal INTEGER)");
        db.Run("insert into tbAlmGsm(SID,State) values(41,-1)");
        h->DoItem(*item, 0);
    }

    void TearDown() override {
        rig.Close();
        modem.Stop();
        delete item;
    }

    int Cmd(int cmd, const std::string& buf) {
        return h->DoFunc(cmd, const_cast<char*>(buf.c_str()), (int)buf.size());
    }

    qxsim::GsmModem modem;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem* item = nullptr;
};

TEST_F(GsmE2e, TwoPartMessageReachesTheModem) {
    const std::string text = qxtest::Repeat("机房温度过高", 12);  // 144 octets of UCS-2
    EXPECT_EQ(13, Cmd(31, "13912345678"));
    const std::string gbk = qxtest::Gbk(text);
    EXPECT_EQ((int)gbk.size(), Cmd(32, gbk));
    EXPECT_EQ(1, Cmd(34, ""));

    std::vector<std::string> pdus = modem.Pdus();
    ASSERT_EQ(2u, pdus.size());
    std::vector<int> lengths = modem.CmgsLengths();
    ASSERT_EQ(2u, lengths.size());
    std::string ucs2;
    int ref = -1;
    for (size_t i = 0; i < pdus.size(); i++) {
        qxsim::SubmitPdu p = qxsim::ParseSubmit(pdus[i]);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ("8613800100500", p.smsc);  // from the modem's AT+CSCA? answer
        EXPECT_EQ("8613912345678", p.phone);
        EXPECT_EQ(0x51, p.first);
        EXPECT_EQ(8, p.dcs);
        EXPECT_EQ(2, p.total);
        EXPECT_EQ((int)i + 1, p.seq);
        EXPECT_EQ(i == 0 ? 140 : 16, p.udl);
        EXPECT_EQ(p.tpduOctets, lengths[i]);
        if (i == 0) ref = p.ref;
        EXPECT_EQ(ref, p.ref);
        ucs2.append(p.ud.begin(), p.ud.end());
    }
    EXPECT_EQ(qxtest::Conv(text, "UCS-2BE", "UTF-8"), ucs2);

    // The modem was tested, brought up and asked for its centre on the way.
    std::vector<std::string> cmds = modem.Commands();
    for (const char* c : {"AT", "AT+CPIN?", "ATZ", "ATE0", "AT+ESIMS?", "AT+CSQ", "AT+CMGF=0"})
        EXPECT_NE(cmds.end(), std::find(cmds.begin(), cmds.end(), c)) << c;

    // A poll reports the signal of the initialisation; the state goes to tbAlmGsm.
    EXPECT_EQ(1, h->DataGet(ch, 1, 0));
    EXPECT_EQ(23, h->DataVal(1));
    // The host passes its history database, which holds no tbAlmGsm: the main row of this
    // point is updated all the same, and no other.
    db.Run("insert into tbAlmGsm(SID,State) values(42,-1)");
    int bits[1] = {0};
    EXPECT_EQ(1, h->DataUpd(0, bits, nullptr, -1, &hist));
    EXPECT_EQ("0|23|0", db.Str("select State||'|'||Signal||'|'||iSignal from tbAlmGsm where SID=41"));
    EXPECT_EQ(-1, db.Int("select State from tbAlmGsm where SID=42"));
    EXPECT_EQ(0, hist.Int("select count(*) from sqlite_master where name='tbAlmGsm'"));
    EXPECT_EQ(Hex(qxtest::Gbk("短信猫 QX-ALM PT")), Hex(db.Str("select Name from tbSMType where Type=2561")));
    EXPECT_EQ(-1, db.Int("select State from tbAlarm where SID=41"));
}

// A number written with '+' is international: the modem gets AT+CMGS and a PDU addressed to
// 0D 91 683119325476F8, which Gammu's decoder reads as the number and text given. A number with
// another character than digits is refused and clears the stored one: nothing more is sent.
TEST_F(GsmE2e, PlusNumberIsSentAsInternational) {
    EXPECT_EQ(13, Cmd(31, "+8613912345678"));
    const std::string text = "机房温度过高";
    EXPECT_EQ(12, Cmd(32, qxtest::Gbk(text)));
    EXPECT_EQ(1, Cmd(34, ""));
    std::vector<std::string> pdus = modem.Pdus();
    ASSERT_EQ(1u, pdus.size());
    EXPECT_NE(std::string::npos, pdus[0].find("11000D91683119325476F8")) << pdus[0];
    qxsim::SubmitPdu p = qxsim::ParseSubmit(pdus[0]);
    ASSERT_TRUE(p.ok) << p.error;
    ASSERT_EQ(1u, modem.CmgsLengths().size());
    EXPECT_EQ(p.tpduOctets, modem.CmgsLengths()[0]);
    std::vector<std::string> cmds = modem.Commands();
    EXPECT_EQ(1, std::count(cmds.begin(), cmds.end(), "AT+CMGS=" + std::to_string(p.tpduOctets)));

    EXPECT_EQ(0, Cmd(31, "139-1234-5678"));
    EXPECT_EQ(0, Cmd(34, ""));
    EXPECT_EQ(0, Cmd(3, "86+8613912345678;fire"));
    EXPECT_EQ(1u, modem.Pdus().size());
    cmds = modem.Commands();
    EXPECT_EQ(1, std::count_if(cmds.begin(), cmds.end(),
                               [](const std::string& c) { return c.rfind("AT+CMGS", 0) == 0; }));

    qxtest::GammuPdu d = qxtest::DecodeWithGammu(pdus[0]);
    if (d.missing) GTEST_SKIP() << d.why;
    ASSERT_TRUE(d.ok) << d.why;
    EXPECT_EQ("Submit", d.type);
    EXPECT_EQ("+8613912345678", d.number);
    EXPECT_EQ("+8613800100500", d.smsc);
    EXPECT_EQ(text, d.text);
}

TEST_F(GsmE2e, ErrorReplyFailsTheSend) {
    modem.SetReply("AT+CMGS", "\r\nERROR\r\n");
    Cmd(31, "13912345678");
    Cmd(32, "fire");
    EXPECT_EQ(0, Cmd(34, ""));
    EXPECT_TRUE(modem.Pdus().empty());
    // The modem's centre and signal were still read.
    EXPECT_EQ(23, h->DataVal(1));
}

}  // namespace
