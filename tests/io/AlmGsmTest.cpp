// The GSM modem alarm over a scripted channel answered by the modem simulator's model, and the
// AT exchange it is built on: initialisation, readiness test, message centre, the host's
// storing and sending commands, the rows it writes.
#include <string.h>

#include <string>
#include <vector>

#include "GammuPdu.h"
#include "GbkText.h"
#include "GsmModem.h"
#include "PointItem.h"
#include "QxPlatform.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "io/AtModem.h"
#include "io/SMAlmGsm.h"
#include "io/SmsPdu.h"

using qxtest::Gbk;
using qxtest::Repeat;
using qxtest::ScriptChannel;
using qxtest::Utf8;

namespace {

void NoSleep(int) {}

std::string Str(const qxtest::Bytes& b) { return std::string(b.begin(), b.end()); }

// A handler on a scripted channel whose writes the modem model answers.
struct Gsm : ::testing::Test {
    Gsm() : item(7, 0xA01) {
        qx::SetSleepHook(NoSleep);
        ch.SetResponder([this](const qxtest::Bytes& req) {
            return qxtest::TextBytes(modem.Respond(Str(req)));
        });
        item.Addr(3).Variant(1).Ser(&ch);
        h.DoItem(item, 0);
    }
    ~Gsm() override { qx::SetSleepHook(nullptr); }

    std::vector<std::string> Writes() const {
        std::vector<std::string> w;
        for (const auto& b : ch.Written()) w.push_back(Str(b));
        return w;
    }
    int Count(const std::string& cmd) const {
        int n = 0;
        for (const auto& w : Writes()) n += w == cmd;
        return n;
    }
    int Cmd(int cmd, const char* buf) { return h.DoFunc(&ch, 3, cmd, (void*)buf, 0); }

    qxsim::GsmModem modem;
    ScriptChannel ch;
    qxhost::PointItem item;
    CSMAlmGsm h;
};

// ---------------------------------------------------------------- the AT exchange

TEST(AtExchange, ReplyIsTextWithinItsBuffer) {
    ScriptChannel ch;
    ch.Reply(std::string(300, 'x') + "OK");
    qx::at::Reply r;
    EXPECT_EQ(qx::at::kReplyMax, qx::at::Exchange(&ch, "AT\r", 0, r, 1000));
    EXPECT_EQ(qx::at::kReplyMax, (int)strlen(r.Text()));  // terminated, never past its buffer
    EXPECT_EQ(qx::at::kReplyMax, ch.ReadLengths().back());
    EXPECT_FALSE(r.Has("OK"));  // the rest was never read
}

TEST(AtExchange, MarkersAfterAnEmbeddedNulAreFound) {
    ScriptChannel ch;
    ch.Reply(qxtest::Bytes{'\r', '\n', 0, 'O', 'K'});
    qx::at::Reply r;
    EXPECT_EQ(5, qx::at::Exchange(&ch, "AT\r", 0, r));
    EXPECT_TRUE(r.Has("OK"));
    EXPECT_EQ(3, r.Find("OK"));
}

TEST(AtExchange, AnUnwrittenCommandIsNotAnswered) {
    for (int written : {0, 2}) {
        ScriptChannel ch;
        ch.ShortWrite(written);
        qx::at::Reply r;
        EXPECT_EQ(-1, qx::at::Exchange(&ch, "ATZ\r", 0, r)) << written;
        EXPECT_EQ(0, ch.Reads()) << written;
    }
    ScriptChannel closed;
    closed.SetOpen(false);
    qx::at::Reply r;
    EXPECT_EQ(-1, qx::at::Exchange(&closed, "ATZ\r", 0, r));
    EXPECT_EQ(-1, qx::at::Exchange(nullptr, "ATZ\r", 0, r));
    EXPECT_FALSE(qx::at::Expect(nullptr, "ATZ\r", 0, nullptr));
}

TEST(AtExchange, SignalReplies) {
    struct {
        const char* reply;
        bool ok;
        int value;
    } cases[] = {
        {"\r\n+CSQ: 23,99\r\n\r\nOK\r\n", true, 23},
        {"\r\n+CSQ: 5,99\r\n", true, 5},
        {"+CSQ:7,0", true, 7},
        {"+CSQ: 99,99", true, 99},
        {"+CSQ 23,99", false, 0},  // no ':'
        {"+CSQ: 23", false, 0},    // no ','
        {"+CSQ: ,99", false, 0},
        {"+CSQ: x1,99", false, 0},
        {"+CSQ: 2 3,99", false, 0},
        {"OK", false, 0},
    };
    for (auto c : cases) {
        ScriptChannel ch;
        ch.Reply(c.reply);
        qx::at::Reply r;
        qx::at::Exchange(&ch, "AT+CSQ\r", 0, r);
        int v = -7;
        EXPECT_EQ(c.ok, qx::at::CsqValue(r, &v)) << c.reply;
        EXPECT_EQ(c.ok ? c.value : -7, v) << c.reply;
    }
}

TEST(AtExchange, NumberPrefix) {
    EXPECT_EQ("8613912345678", qx::at::With86("13912345678"));
    EXPECT_EQ("8613912345678", qx::at::With86("8613912345678"));
    EXPECT_EQ("868", qx::at::With86("8"));
    EXPECT_EQ("", qx::at::With86(nullptr));
}

// A leading '+' marks the international form (TS 23.040 9.1.2.5): its digits are sent as they
// are with the international type of address. Anything else that is not a digit is refused.
TEST(AtExchange, InternationalNumbers) {
    struct {
        const char* given;
        bool ok;
        const char* kept;
    } cases[] = {
        {"13912345678", true, "8613912345678"},
        {"8613912345678", true, "8613912345678"},
        {"+8613912345678", true, "8613912345678"},
        {"+447785016005", true, "447785016005"},
        {"+13912345678", true, "13912345678"},
        {"10086", true, "8610086"},
        {"86+8613912345678", false, ""},
        {"139 1234 5678", false, ""},
        {"139-1234-5678", false, ""},
        {"+86 13912345678", false, ""},
        {"++8613912345678", false, ""},
        {"13912345678;", false, ""},
        {"1391234567A", false, ""},
        {"\xA3\xB1\xA3\xB3", false, ""},  // full-width digits (GBK)
        {"+", false, ""},
        {"", false, ""},
    };
    for (auto c : cases) {
        std::string out = "old";
        EXPECT_EQ(c.ok, qx::at::International(c.given, &out)) << c.given;
        EXPECT_EQ(c.kept, out) << c.given;
    }
    std::string out = "old";
    EXPECT_FALSE(qx::at::International(nullptr, &out));
    EXPECT_EQ("", out);
}

// ---------------------------------------------------------------- registration and rows

TEST(AlmGsmRows, RegistrationAndTables) {
    TestDb db, hist;
    CSMAlmGsm h;
    EXPECT_EQ(0xA01, h.GetType());
    EXPECT_EQ(12, h.GetMask());
    EXPECT_EQ(1, h.DataSize());
    EXPECT_EQ(nullptr, h.Data());
    h.RegDb(&db, 0);
    EXPECT_EQ(2560, db.Int("select Kind from tbSMType where Type=2561"));
    EXPECT_EQ(Gbk("短信猫 QX-ALM PT"), db.Str("select Name from tbSMType where Type=2561"));
    EXPECT_EQ(Gbk("232接口,支持短信 彩信 GPRS等"), db.Str("select Note from tbSMType where Type=2561"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMDef where Type=2561"));
    EXPECT_EQ("Signal", db.Str("select FldName from tbSMDef where Type=2561 and Fld=1"));
    EXPECT_EQ(Gbk("信号强度"), db.Str("select Note from tbSMDef where Type=2561"));
    EXPECT_EQ(2, db.Int("select vref from tbSMDef where Type=2561"));
    EXPECT_EQ(Gbk("最弱|可发出短信最弱强度"), db.Str("select LoText from tbSMDef where Type=2561"));

    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    qxhost::PointItem item(9, 0xA01);
    item.Addr(2).Port(4);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_TRUE(db.TableExists("tbAlarm"));
    EXPECT_TRUE(hist.TableExists("tbAlarm"));
    EXPECT_EQ(-1, db.Int("select State from tbAlarm where SID=9"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMBrief where SID=9"));
}

TEST(AlmGsmRows, StateRowInTbAlmGsm) {
    struct {
        const char* name;
        int flags;
        std::vector<int> bits;  // empty: none given
        int snap;
        int sid;
        bool toHist;
        int state, signal, iSignal, snapId, rowSid;
    } cases[] = {
        {"no answer", 0, {}, 5, 9, false, 2, 0, 2, 0, 9},
        {"no answer, alarm flag", 1, {}, 0, 9, false, 1, 0, 2, 0, 9},
        {"normal", 0, {0}, 0, 9, false, 0, 17, 0, 0, 9},
        {"signal out of limits", 1, {1}, 0, 9, false, 1, 17, 1, 0, 9},
        {"snapshot by flag bit 4", 16, {0}, 44, 9, false, 0, 17, 0, 44, 9},
        {"current item's SID", 0, {0}, 0, -1, false, 0, 17, 0, 0, 7},
        // The row is a current row: a history database given beside it is not written.
        {"history database given", 0, {0}, 0, 9, true, 0, 17, 0, 0, 9},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDb db, hist;
        for (TestDb* d : {&db, &hist}) {
            d->Run("create table tbAlmGsm(SID INTEGER,DateUpd DATETIME,State INTEGER,"
                   "SnapID INTEGER,Signal INTEGER,iSignal INTEGER)");
            d->Run("insert into tbAlmGsm(SID,State) values(" + std::to_string(c.rowSid) + ",-1)");
        }
        CSMAlmGsm h;
        h.m_iSignal = 17;
        h.SetDb(&db, 0);
        qxhost::PointItem item(7, 0xA01);
        h.DoItem(item, 0);
        int snap = c.snap;
        EXPECT_EQ(1, h.DataUpd(c.flags, c.bits.empty() ? nullptr : c.bits.data(), &snap, c.sid,
                               c.toHist ? &hist : nullptr));
        TestDb& written = db;
        TestDb& other = hist;
        std::string where = " from tbAlmGsm where SID=" + std::to_string(c.rowSid);
        EXPECT_EQ(c.state, written.Int("select State" + where));
        EXPECT_EQ(c.signal, written.Int("select Signal" + where));
        EXPECT_EQ(c.iSignal, written.Int("select iSignal" + where));
        EXPECT_EQ(c.snapId, written.Int("select SnapID" + where));
        EXPECT_EQ(-1, other.Int("select State" + where));
    }
    CSMAlmGsm none;
    int bits = 0;
    EXPECT_EQ(0, none.DataUpd(0, &bits, nullptr, 1, nullptr));  // no database at all
    TestDb hist;
    EXPECT_EQ(0, none.DataUpd(0, &bits, nullptr, 1, &hist));  // a history database only
}

// ---------------------------------------------------------------- poll and values

TEST_F(Gsm, PollReportsTheLastSignalWithoutTraffic) {
    h.m_iSignal = 21;
    EXPECT_EQ(1, h.DataGet(&ch, 3, 0));
    EXPECT_TRUE(ch.Written().empty());
    EXPECT_EQ(21, h.DataVal(1));
    EXPECT_EQ(-1, h.DataVal(0));
    EXPECT_EQ(-1, h.DataVal(2));
    ch.SetOpen(false);
    EXPECT_EQ(0, h.DataGet(&ch, 3, 0));
    EXPECT_EQ(0, h.DataGet(nullptr, 3, 0));
}

// ---------------------------------------------------------------- storing commands

TEST_F(Gsm, StoringCommandsNeedNoChannel) {
    ch.SetOpen(false);
    struct {
        int cmd;
        const char* buf;
        int result;
    } cases[] = {
        {31, "13912345678", 13}, {31, "8613912345678", 13}, {32, "abc", 3},
        {33, "extra", 5},        {31, nullptr, 0},           {32, nullptr, 0},
    };
    for (auto c : cases) EXPECT_EQ(c.result, Cmd(c.cmd, c.buf)) << c.cmd << " " << qx::alm::Show(c.buf);
    EXPECT_EQ("8613912345678", h.m_strPhone);
    EXPECT_EQ("abc", h.m_strText);
    EXPECT_EQ("extra", h.m_strExt);
    EXPECT_EQ(1, Cmd(30, nullptr));  // readiness without a buffer: nothing sent
    EXPECT_TRUE(ch.Written().empty());
    for (int cmd : {0, 1, 2, 3, 34, 35}) EXPECT_EQ(0, Cmd(cmd, "x")) << cmd;
    EXPECT_EQ(0, h.DoFunc(nullptr, 3, 34, nullptr, 0));
}

// ---------------------------------------------------------------- readiness test

TEST_F(Gsm, TestPassesOnAGoodModem) {
    EXPECT_EQ(1, Cmd(0, nullptr));
    EXPECT_EQ((std::vector<std::string>{"AT\r", "AT+CSQ\r", "AT+CPIN?\r", "AT+COPS?\r"}), Writes());
}

TEST_F(Gsm, TestSignalThreshold) {
    struct {
        const char* csq;
        int result;
    } cases[] = {{"+CSQ: 9,99", 0}, {"+CSQ: 10,99", 1}, {"+CSQ: ,99", 0}, {"+CSQ:9,99", 1}};
    for (auto c : cases) {
        modem.SetCsq(c.csq);
        ScriptChannel fresh;
        fresh.SetResponder([this](const qxtest::Bytes& req) {
            return qxtest::TextBytes(modem.Respond(Str(req)));
        });
        EXPECT_EQ(c.result, h.DoFunc(&fresh, 3, 0, nullptr, 0)) << c.csq;
        int ats = 0;
        for (const auto& w : fresh.Written()) ats += Str(w) == "AT\r";
        EXPECT_EQ(c.result ? 1 : 5, ats) << c.csq;  // five runs before giving up
    }
}

TEST_F(Gsm, SimNotReadyRestartsTheModemAndForcesInitialisation) {
    h.m_bGsmInited = 1;
    modem.SetCpin("+CPIN: SIM PIN");
    EXPECT_EQ(0, Cmd(0, nullptr));
    EXPECT_GE(Count("AT+CFUN=1,1\r"), 1);
    EXPECT_EQ(0, h.m_bGsmInited);
    // Once the modem is back with its SIM ready, the next send initialises it again.
    qxsim::GsmModem back;
    ScriptChannel fresh;
    fresh.SetResponder([&back](const qxtest::Bytes& req) { return qxtest::TextBytes(back.Respond(Str(req))); });
    h.m_strSmsc = "8613800100500";
    h.DoFunc(&fresh, 3, 31, (void*)"13912345678", 0);
    h.DoFunc(&fresh, 3, 32, (void*)"A", 0);
    EXPECT_EQ(1, h.DoFunc(&fresh, 3, 34, nullptr, 0));
    int atz = 0;
    for (const auto& w : fresh.Written()) atz += Str(w) == "ATZ\r";
    EXPECT_EQ(1, atz);
    EXPECT_EQ(1, h.m_bGsmInited);
}

TEST_F(Gsm, ATestThatNeverSeesOkGivesUp) {
    ch.SetResponder(nullptr);  // a modem that never answers
    EXPECT_EQ(0, Cmd(0, nullptr));
    EXPECT_EQ(5, Count("AT\r"));
    EXPECT_EQ(5, (int)ch.Written().size());
}

// ---------------------------------------------------------------- initialisation

TEST_F(Gsm, InitialisationReadsTheSignal) {
    modem.SetCsq("+CSQ: 18,99");
    EXPECT_EQ(1, Cmd(1, nullptr));
    EXPECT_EQ(18, h.m_iSignal);
    EXPECT_EQ(1, h.m_bGsmInited);
    std::vector<std::string> w = Writes();
    std::vector<std::string> init(w.end() - 5, w.end());
    EXPECT_EQ((std::vector<std::string>{"ATZ\r", "ATE0\r", "AT+CSQ\r", "AT+CMGF=0\r", "AT+CMEE=2\r"}),
              init);
}

TEST_F(Gsm, InitialisationFailures) {
    struct {
        const char* name;
        int variant;
        const char* esims;
        const char* cops;
        const char* csq;
        int result;
    } cases[] = {
        {"variant 0 checks SIM and operator", 0, "+ESIMS: 1", "+COPS: 0,0,\"China Unicom\"", "+CSQ: 20,99", 1},
        {"SIM absent", 0, "+ESIMS: 0", "+COPS: 0,0,\"China Unicom\"", "+CSQ: 20,99", 0},
        {"unknown operator", 0, "+ESIMS: 1", "+COPS: 0,0,\"Vodafone\"", "+CSQ: 20,99", 0},
        {"other variants skip them", 2, "+ESIMS: 0", "+COPS: 0", "+CSQ: 20,99", 1},
        {"weak signal with a blank", 1, "", "", "+CSQ: 5,99", 0},
        {"weak signal without a blank", 1, "", "", "+CSQ:5,99", 0},
        {"signal 6", 1, "", "", "+CSQ: 6,99", 1},
        {"signal reply without comma", 1, "", "", "+CSQ: 20", 0},
        {"signal reply without colon", 1, "", "", "+CSQ 20,99", 0},
    };
    for (auto& c : cases) {
        qxsim::GsmModem m;
        m.SetEsims(c.esims);
        m.SetCops(c.cops);
        m.SetCsq(c.csq);
        ScriptChannel fresh;
        fresh.SetResponder([&m](const qxtest::Bytes& req) { return qxtest::TextBytes(m.Respond(Str(req))); });
        qxhost::PointItem it(7, 0xA01);
        it.Variant(c.variant);
        CSMAlmGsm g;
        g.DoItem(it, 0);
        EXPECT_EQ(c.result, g.GsmInit(&fresh)) << c.name;
        EXPECT_EQ(c.result, g.m_bGsmInited) << c.name;
        EXPECT_EQ(c.result ? 1 : 0, g.m_iSignal > 0) << c.name;  // no signal kept from a failure
    }
}

// ---------------------------------------------------------------- message centre

TEST_F(Gsm, MessageCentreQuery) {
    struct {
        const char* reply;
        const char* smsc;
    } cases[] = {
        {"\r\n+CSCA: \"+8613800100500\",145\r\n\r\nOK\r\n", "8613800100500"},
        {"\r\n+CSCA: \"13800100500\",129\r\n\r\nOK\r\n", "8613800100500"},
        // Echo still on: the command's own quotes and '+' come first.
        {"AT+CSCS=\"GSM\";+CSCA?\r\r\n+CSCA: \"+8613800100500\",145\r\n\r\nOK\r\n", "8613800100500"},
        {"\r\n+CSCA: \"+447785016005\",145\r\n\r\nOK\r\n", "86447785016005"},
        {"\r\n+CSCA: \"\",129\r\n\r\nOK\r\n", ""},
        {"\r\n+CSCA: +8613800100500,145\r\n\r\nOK\r\n", ""},  // unquoted
        {"\r\n+CSCA: \"+86138001\r\n\r\nOK\r\n", ""},          // quote not closed
        {"\r\n+CSCA: \"86A3800100500\",145\r\n\r\nOK\r\n", ""},  // not a number
        {"\r\nOK\r\n", ""},
        {"\r\nERROR\r\n", ""},
        {"+CSCA:OK", ""},
    };
    for (auto c : cases) {
        ScriptChannel s;
        s.Reply(c.reply);
        CSMAlmGsm g;
        g.m_strSmsc = "stale";
        EXPECT_EQ((int)strlen(c.smsc), g.GsmSmsc(&s)) << qxtest::Hex(qxtest::TextBytes(c.reply));
        EXPECT_EQ(c.smsc, g.m_strSmsc);
        ASSERT_EQ(1u, s.Written().size());
        EXPECT_EQ("AT+CSCS=\"GSM\";+CSCA?\r\n", Str(s.Written()[0]));
    }
    EXPECT_EQ(13, Cmd(2, nullptr));
}

// ---------------------------------------------------------------- sending

TEST_F(Gsm, SendTheStoredMessageInTwoParts) {
    std::string text = Repeat("机房温度过高", 12);  // 72 characters: 144 octets
    EXPECT_EQ(13, Cmd(31, "13912345678"));
    EXPECT_EQ((int)Gbk(text).size(), Cmd(32, Gbk(text).c_str()));
    EXPECT_EQ(1, Cmd(34, nullptr));
    std::vector<std::string> pdus = modem.Pdus();
    ASSERT_EQ(2u, pdus.size());
    std::string ucs2;
    for (size_t i = 0; i < pdus.size(); i++) {
        qxsim::SubmitPdu p = qxsim::ParseSubmit(pdus[i]);
        ASSERT_TRUE(p.ok) << p.error;
        EXPECT_EQ("8613800100500", p.smsc);
        EXPECT_EQ("8613912345678", p.phone);
        EXPECT_EQ(8, p.dcs);
        EXPECT_EQ(2, p.total);
        EXPECT_EQ((int)i + 1, p.seq);
        EXPECT_EQ(p.tpduOctets, modem.CmgsLengths()[i]);
        ucs2.append(p.ud.begin(), p.ud.end());
    }
    EXPECT_EQ(qxsim::ParseSubmit(pdus[0]).ref, qxsim::ParseSubmit(pdus[1]).ref);
    char out[512];
    int n = gsmDecodeUcs2(reinterpret_cast<const uint8_t*>(ucs2.data()), (int)ucs2.size(), out, sizeof(out));
    ASSERT_GT(n, 0);
    EXPECT_EQ(text, Utf8(std::string(out, (size_t)n)));
}

TEST_F(Gsm, NumberAndTextInOneCommand) {
    EXPECT_EQ(1, Cmd(3, "13912345678;fire"));
    EXPECT_EQ("8613912345678", h.m_strPhone);
    EXPECT_EQ("fire", h.m_strText);
    EXPECT_EQ(1, Cmd(3, "smoke"));  // without ';' the number stays
    EXPECT_EQ("8613912345678", h.m_strPhone);
    EXPECT_EQ("smoke", h.m_strText);
    ASSERT_EQ(2u, modem.Pdus().size());
    EXPECT_EQ("8613912345678", qxsim::ParseSubmit(modem.Pdus()[1]).phone);
    EXPECT_EQ(1, Cmd(35, "water"));
    EXPECT_EQ("water", h.m_strText);
    EXPECT_EQ(0, Cmd(35, nullptr));
    EXPECT_EQ(3u, modem.Pdus().size());
}

// "+8613912345678" is the international number 86 13912345678: stored without '+' and without
// another 86, sent as 0D 91 683119325476F8, read back by Gammu's own decoder as the number and
// the text that were given.
TEST_F(Gsm, PlusNumberIsSentAsInternational) {
    EXPECT_EQ(13, Cmd(31, "+8613912345678"));
    EXPECT_EQ("8613912345678", h.m_strPhone);
    const std::string text = "机房告警 fire";
    EXPECT_EQ((int)Gbk(text).size(), Cmd(32, Gbk(text).c_str()));
    EXPECT_EQ(1, Cmd(34, nullptr));
    ASSERT_EQ(1u, modem.Pdus().size());
    const std::string pdu = modem.Pdus()[0];
    EXPECT_EQ("0891683108100005F0" "1100" "0D91683119325476F8" "000800", pdu.substr(0, 46));
    qxsim::SubmitPdu p = qxsim::ParseSubmit(pdu);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(0x91, p.phoneType);
    EXPECT_EQ(p.tpduOctets, modem.CmgsLengths()[0]);

    qxtest::GammuPdu d = qxtest::DecodeWithGammu(pdu);
    if (d.missing) GTEST_SKIP() << d.why;
    ASSERT_TRUE(d.ok) << d.why;
    EXPECT_EQ("Submit", d.type);
    EXPECT_EQ("+8613912345678", d.number);
    EXPECT_EQ("+8613800100500", d.smsc);
    EXPECT_EQ("Unicode_No_Compression", d.coding);
    EXPECT_EQ(text, d.text);
}

// The number of commands 31 and 3: the forms a host may give, and the ones refused. A refused
// number clears the stored one, so that neither it nor the number before gets the message.
TEST_F(Gsm, NumberFormsOfTheStoringAndSendingCommands) {
    struct {
        const char* number;
        int stored;         // command 31's answer: the stored length, 0 refused
        const char* phone;  // the destination in the PDU ("" nothing sent)
    } cases[] = {
        {"13912345678", 13, "8613912345678"},
        {"8613912345678", 13, "8613912345678"},
        {"+8613912345678", 13, "8613912345678"},
        {"+447785016005", 12, "447785016005"},
        {"86+8613912345678", 0, ""},
        {"139-1234-5678", 0, ""},
        {"139 1234 5678", 0, ""},
        {"+", 0, ""},
        {"", 0, ""},
    };
    for (auto c : cases) {
        SCOPED_TRACE(c.number);
        for (bool inSend : {false, true}) {
            SCOPED_TRACE(inSend ? "command 3" : "command 31");
            qxsim::GsmModem m;
            ScriptChannel s;
            CSMAlmGsm g;  // brought up by its first send, echo off
            g.DoItem(item, 0);
            s.SetResponder([&m](const qxtest::Bytes& req) { return qxtest::TextBytes(m.Respond(Str(req))); });
            g.DoFunc(&s, 3, 31, (void*)"13800000000", 0);  // the number before
            g.DoFunc(&s, 3, 32, (void*)"old", 0);
            int rc;
            if (inSend) {
                std::string buf = std::string(c.number) + ";fire";
                rc = g.DoFunc(&s, 3, 3, (void*)buf.c_str(), 0);
                EXPECT_EQ(c.stored ? 1 : 0, rc);
                EXPECT_EQ(c.stored ? "fire" : "old", g.m_strText);
            } else {
                rc = g.DoFunc(&s, 3, 31, (void*)c.number, 0);
                EXPECT_EQ(c.stored, rc);
                EXPECT_EQ(c.stored ? 1 : 0, g.DoFunc(&s, 3, 34, nullptr, 0));
            }
            EXPECT_EQ((size_t)c.stored, g.m_strPhone.size());
            if (c.stored) {
                ASSERT_EQ(1u, m.Pdus().size());
                qxsim::SubmitPdu p = qxsim::ParseSubmit(m.Pdus()[0]);
                EXPECT_EQ(c.phone, p.phone);
                EXPECT_EQ(0x91, p.phoneType);
            } else {
                EXPECT_TRUE(m.Pdus().empty());
                for (const auto& w : s.Written()) EXPECT_NE(0u, Str(w).rfind("AT+CMGS", 0)) << Str(w);
            }
        }
    }
}

TEST_F(Gsm, ErrorRepliesFailTheSend) {
    struct {
        const char* prefix;
        const char* answer;
        int pdus;
    } cases[] = {
        {"AT+CMGS", "\r\nERROR\r\n", 0},
        {"PDU", "\r\n+CMS ERROR: 500\r\n", 1},
        {"AT+CSCS", "\r\nERROR\r\n", 0},
    };
    for (auto c : cases) {
        qxsim::GsmModem m;
        m.SetReply(c.prefix, c.answer);
        ScriptChannel s;
        s.SetResponder([&m](const qxtest::Bytes& req) { return qxtest::TextBytes(m.Respond(Str(req))); });
        CSMAlmGsm g;
        g.DoItem(item, 0);
        g.DoFunc(&s, 3, 31, (void*)"13912345678", 0);
        g.DoFunc(&s, 3, 32, (void*)"A", 0);
        EXPECT_EQ(0, g.DoFunc(&s, 3, 34, nullptr, 0)) << c.prefix;
        EXPECT_EQ((size_t)c.pdus, m.Pdus().size()) << c.prefix;
    }
}

TEST_F(Gsm, NothingToSendSendsNothing) {
    h.m_strSmsc = "8613800100500";
    h.m_bGsmInited = 1;
    EXPECT_EQ(0, Cmd(34, nullptr));  // no number, no text
    Cmd(31, "13912345678");
    EXPECT_EQ(0, Cmd(34, nullptr));  // no text
    Cmd(32, Repeat("a", 1024).c_str());
    EXPECT_EQ(0, Cmd(34, nullptr));  // longer than a message record holds
    Cmd(32, "A");
    Cmd(31, "139+12345678");         // not a number: refused, nothing stored
    EXPECT_EQ(0, Cmd(34, nullptr));
    Cmd(31, "13912345678901");       // 16 digits with 86 in front
    EXPECT_EQ(0, Cmd(34, nullptr));
    for (const auto& w : Writes()) EXPECT_NE(0u, w.rfind("AT+CMGS", 0)) << w;
    EXPECT_TRUE(modem.Pdus().empty());
}

TEST_F(Gsm, UnknownCommandsAnswerZero) {
    for (int cmd : {4, 10, 29, 36, 99}) EXPECT_EQ(0, Cmd(cmd, "x")) << cmd;
}

}  // namespace
