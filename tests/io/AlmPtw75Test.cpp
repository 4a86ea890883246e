// The CDMA modem alarm over a scripted channel (scripted replies, or the CDMA modem
// simulator's model): the message builders, the initialisation, the send, the host's
// commands, the rows, and the GBK pairs beside them.
#include <string.h>

#include <string>
#include <vector>

#include "AlarmUnits.h"
#include "GbkText.h"
#include "PointItem.h"
#include "QxPlatform.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "io/SMAlmPTW75.h"

using qxtest::Gbk;
using qxtest::ScriptChannel;

namespace {

void NoSleep(int) {}

struct Ptw75 : ::testing::Test {
    Ptw75() {
        qx::SetSleepHook(NoSleep);
        ch.SetResponder([this](const qxtest::Bytes& req) {
            return qxtest::TextBytes(modem.Respond(std::string(req.begin(), req.end())));
        });
    }
    ~Ptw75() override { qx::SetSleepHook(nullptr); }
    int Cmd(int cmd, const char* buf = nullptr) { return h.DoFunc(&ch, 1, cmd, (void*)buf, 0); }
    std::vector<std::string> Sent() const {
        std::vector<std::string> w;
        for (const auto& b : ch.Written()) w.emplace_back(b.begin(), b.end());
        return w;
    }

    qxsim::CdmaModem modem;
    ScriptChannel ch;
    CSMAlmPTW75 h;
};

// ---------------------------------------------------------------- builders

TEST(Ptw75Builders, AddressBits) {
    struct {
        const char* number;
        const char* bits;
    } cases[] = {
        // 2 mode bits, the count 00001011, eleven digits, 2 zero bits: 56 bits, 7 octets.
        {"13912345678", "00" "00001011" "0001" "0011" "1001" "0001" "0010" "0011" "0100" "0101"
                        "0110" "0111" "1000" "00"},
        {"0", "00" "00000001" "0000" "00"},
        {"9AF", "00" "00000011" "1001" "1010" "1111" "00"},
        {"+86-1", "00" "00000011" "1000" "0110" "0001" "00"},  // other characters skipped
        {"", "00" "00000000" "000000"},
    };
    for (auto& c : cases) EXPECT_EQ(c.bits, CSMAlmPTW75::AddressBits(c.number)) << c.number;
    EXPECT_EQ("02c4e448d159e0", CSMAlmPTW75::BitsToHex(CSMAlmPTW75::AddressBits("13912345678")));
}

TEST(Ptw75Builders, BitsToHex) {
    struct {
        const char* bits;
        const char* hex;
    } cases[] = {
        {"0000", "0"}, {"10101111", "af"}, {"", ""}, {"101", ""}, {"10x10001", "1"}, {"00000001", "01"},
    };
    for (auto& c : cases) EXPECT_EQ(c.hex, CSMAlmPTW75::BitsToHex(c.bits)) << c.bits;
}

TEST(Ptw75Builders, UserDataBits) {
    // The mark and one character: encoding, k = 2, 32 bits of units, 3 fill bits.
    EXPECT_EQ("00100" "00000010" "1111111011111111" "0111000001101011" "000",
              CSMAlmPTW75::UserDataBits("FEFF706B"));
}

TEST(Ptw75Builders, WholeCmgsLine) {
    // One Chinese character: k 2, user data length 06, bearer data length 0d.
    EXPECT_EQ("AT+CMGS=,\"0000021002040702c4e448d159e0080d000320000001062017f7fb8358\"\r\n",
              CSMAlmPTW75::CmgsLine("13912345678", Gbk("火")));

    // 122 characters and the mark are the most whose lengths fit one octet each.
    std::string line = CSMAlmPTW75::CmgsLine("10086", std::string(122, 'a'));
    qxsim::CdmaSubmit s = qxsim::ParseCdmaSubmit(line);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(255, s.bearerOctets);
    EXPECT_EQ(248, s.userDataOctets);
    EXPECT_EQ(123u, s.units.size());
    EXPECT_EQ("", CSMAlmPTW75::CmgsLine("10086", std::string(123, 'a')));

    // Refused: too long a number or text, no digit, a text that is not GBK.
    EXPECT_EQ("", CSMAlmPTW75::CmgsLine(std::string(64, '1'), "a"));
    EXPECT_NE("", CSMAlmPTW75::CmgsLine(std::string(63, '1'), "a"));
    EXPECT_EQ("", CSMAlmPTW75::CmgsLine("+-", "a"));
    EXPECT_EQ("", CSMAlmPTW75::CmgsLine("10086", "a\x81"));

    // A quote in the text goes in the units, not the line.
    s = qxsim::ParseCdmaSubmit(CSMAlmPTW75::CmgsLine("10086", Gbk("\"温度\"")));
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ("10086", s.phone);
    EXPECT_EQ((std::vector<uint16_t>{0xFEFF, 0x22, 0x6E29, 0x5EA6, 0x22}), s.units);
}

// ---------------------------------------------------------------- the modem dialogues

TEST_F(Ptw75, InitialisationReadsTheSignal) {
    EXPECT_EQ(1, Cmd(1));
    EXPECT_EQ(20, h.DataVal(1));
    EXPECT_EQ(1, h.m_bGsmInited);
    EXPECT_EQ((std::vector<std::string>{"AT\r\n", "ATZ\r\n", "ATE0\r\n", "AT+CSQ?\r\n"}), Sent());
}

TEST(Ptw75Init, EachStepLooksAtItsOwnReply) {
    qx::SetSleepHook(NoSleep);
    struct {
        const char* name;
        std::vector<const char*> replies;  // nullptr: silence
        int rc;
        int signal;
    } cases[] = {
        {"good", {"\r\nOK\r\n", "\r\nOK\r\n", "\r\nOK\r\n", "\r\n+CSQ: 17,99\r\n\r\nOK\r\n"}, 1, 17},
        {"ERR after a longer OK", {"\r\nOK\r\n", "\r\nOK\r\n\r\nOK\r\n", "ERR\r", "\r\n+CSQ: 17,99\r\n\r\nOK\r\n"}, 0, 0},
        {"silent", {nullptr}, 0, 0},
        {"signal 5", {"OK", "OK", "OK", "+CSQ: 5,99\r\nOK"}, 0, 0},
        {"signal 6", {"OK", "OK", "OK", "+CSQ: 6,99\r\nOK"}, 1, 6},
        {"signal without OK", {"OK", "OK", "OK", "+CSQ: 17,99"}, 0, 0},
        {"signal without comma", {"OK", "OK", "OK", "+CSQ: 17\r\nOK"}, 0, 0},
        {"garbage", {"OK", "\x81\x82\x83", "OK", "OK"}, 0, 0},
    };
    for (auto& c : cases) {
        ScriptChannel ch;
        for (const char* r : c.replies) {
            if (r) ch.Reply(std::string(r));
            else ch.Silence();
        }
        CSMAlmPTW75 h;
        EXPECT_EQ(c.rc, h.CdmaInit(&ch)) << c.name;
        EXPECT_EQ(c.signal, h.m_iSignal) << c.name;
        EXPECT_EQ(c.rc, h.m_bGsmInited) << c.name;
    }
    qx::SetSleepHook(nullptr);
}

TEST_F(Ptw75, SendTheStoredMessage) {
    EXPECT_EQ(11, Cmd(31, "13912345678"));
    EXPECT_EQ("13912345678", h.m_strPhone);  // no 86
    const std::string text = Gbk("火");
    EXPECT_EQ(2, Cmd(32, text.c_str()));
    EXPECT_EQ(1, Cmd(34));
    auto lines = modem.CmgsLines();
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ("AT+CMGS=,\"0000021002040702c4e448d159e0080d000320000001062017f7fb8358\"", lines[0]);
    EXPECT_EQ("AT+CMGF=0\r\n", Sent()[Sent().size() - 2]);

    // Number and text in one command, without the 86 rule.
    EXPECT_EQ(1, Cmd(3, "10086;fire"));
    qxsim::CdmaSubmit s = qxsim::ParseCdmaSubmit(modem.CmgsLines().back());
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ("10086", s.phone);
    EXPECT_EQ((std::vector<uint16_t>{0xFEFF, 'f', 'i', 'r', 'e'}), s.units);
    EXPECT_EQ(1, Cmd(35, "heat"));
    EXPECT_EQ("heat", h.m_strText);
}

TEST_F(Ptw75, SendFailures) {
    Cmd(31, "13912345678");
    Cmd(32, "fire");
    modem.SetReply("AT+CMGS", "\r\nERROR\r\n");
    EXPECT_EQ(0, Cmd(34));
    modem.SetReply("AT+CMGS", "\r\n+CMS ERROR: 500\r\n");
    EXPECT_EQ(0, Cmd(34));
    modem.SetReply("AT+CMGS", "");
    EXPECT_EQ(0, Cmd(34));  // no reply at all
    modem.SetReply("AT+CMGS", "\r\n+CMGS: 7\r\n");
    EXPECT_EQ(1, Cmd(34));  // any reply without an error

    // The message mode refused: the message is not written.
    modem.SetReply("AT+CMGF", "\r\nERROR\r\n");
    size_t n = modem.CmgsLines().size();
    EXPECT_EQ(0, Cmd(34));
    EXPECT_EQ(n, modem.CmgsLines().size());
    modem.ClearReplies();

    // A text too long for the single-octet lengths is refused before anything is written.
    size_t w = ch.Written().size();
    EXPECT_EQ(123, Cmd(32, std::string(123, 'x').c_str()));
    EXPECT_EQ(0, Cmd(34));
    EXPECT_EQ(w, ch.Written().size());

    // Nothing to send.
    Cmd(32, "");
    EXPECT_EQ(0, Cmd(34));
    EXPECT_EQ(w, ch.Written().size());
}

TEST_F(Ptw75, InitialisationFailsTheSend) {
    modem.SetCsq("+CSQ: 3,99");
    Cmd(31, "10086");
    Cmd(32, "fire");
    EXPECT_EQ(0, Cmd(34));
    EXPECT_EQ(0, Cmd(3, "10086;fire"));
    EXPECT_TRUE(modem.CmgsLines().empty());
    EXPECT_EQ(0, h.m_bGsmInited);
}

TEST_F(Ptw75, CommandsAndTheClosedChannel) {
    EXPECT_EQ(1, Cmd(0));
    EXPECT_EQ(1, Cmd(2));
    EXPECT_EQ(1, Cmd(30));
    EXPECT_TRUE(ch.Written().empty());
    EXPECT_EQ(1, Cmd(30, ""));  // with a buffer: the initialisation
    EXPECT_EQ(4u, ch.Written().size());
    for (int cmd : {4, 29, 36, 50, 51, 52, 53, 99}) EXPECT_EQ(0, Cmd(cmd, "x")) << cmd;
    EXPECT_EQ(0, Cmd(35));
    EXPECT_EQ(4u, ch.Written().size());

    ch.SetOpen(false);
    for (int cmd : {0, 1, 2, 3, 30, 31, 32, 33, 34, 35}) EXPECT_EQ(0, Cmd(cmd, "x")) << cmd;
    EXPECT_EQ(0, h.DoFunc(nullptr, 1, 31, (void*)"x", 0));
    EXPECT_EQ("", h.m_strPhone);
    EXPECT_EQ(0, h.DataGet(&ch, 1, 0));
    ch.SetOpen(true);
    EXPECT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ(4u, ch.Written().size());  // a poll makes no traffic
}

TEST(Ptw75Rows, RegistrationAndState) {
    TestDb db, hist;
    CSMAlmPTW75 h;
    EXPECT_EQ(4, h.GetMask());
    h.RegDb(&db, 0);
    EXPECT_EQ(Gbk("短信猫 QX-ALM-PTW75"), db.Str("select Name from tbSMType where Type=2569"));
    EXPECT_EQ(2560, db.Int("select Kind from tbSMType where Type=2569"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMDef where Type=2569"));
    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    qxhost::PointItem item(31, 0xA09);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_TRUE(hist.TableExists("tbAlarm"));
    db.Run("create table tbAlmGsm(SID INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER,"
           "Signal INTEGER,iSignal INTEGER)");
    db.Run("insert into tbAlmGsm(SID,State) values(31,-1)");
    h.DoItem(item, 0);
    h.m_iSignal = 20;
    int bits[1] = {1};
    EXPECT_EQ(1, h.DataUpd(0, bits, nullptr, -1, &hist));
    EXPECT_EQ("0|20|1", db.Str("select State||'|'||Signal||'|'||iSignal from tbAlmGsm where SID=31"));
}

// ---------------------------------------------------------------- the GBK pairs

TEST(Ptw75GbPairs, LookupsBothWays) {
    EXPECT_GT(qx::cdma::GbPairs(), 20000u);
    auto gb = [](const char* two) {
        uint16_t v;
        memcpy(&v, two, 2);
        return v;
    };
    auto net = [](uint16_t u) {
        const uint8_t b[2] = {(uint8_t)(u >> 8), (uint8_t)u};
        uint16_t v;
        memcpy(&v, b, 2);
        return v;
    };
    EXPECT_EQ(net(0x554A), qx::cdma::getun(gb("\xB0\xA1")));  // 啊
    EXPECT_EQ(gb("\xB0\xA1"), qx::cdma::getgb(net(0x554A)));
    EXPECT_EQ(gb("\xBB\xF0"), qx::cdma::getgb(net(0x706B)));  // 火
    EXPECT_EQ(0xFFFF, qx::cdma::getun(gb("AB")));
    EXPECT_EQ(0xFFFF, qx::cdma::getgb(net(0x0041)));

    const std::string text = Gbk("火a");
    uint8_t units[8];
    ASSERT_EQ(4, qx::cdma::gb2unicode(units, sizeof units, (const uint8_t*)text.data(), (int)text.size()));
    EXPECT_EQ("70 6B 00 61", qxtest::Hex(units, 4));
    uint8_t back[8];
    ASSERT_EQ(3, qx::cdma::unicode2gb(back, sizeof back, units, 4));
    EXPECT_EQ(text, std::string((char*)back, 3));
    EXPECT_EQ(-1, qx::cdma::gb2unicode(units, 3, (const uint8_t*)text.data(), (int)text.size()));
    EXPECT_EQ(-1, qx::cdma::unicode2gb(back, 2, units, 4));
}

}  // namespace
