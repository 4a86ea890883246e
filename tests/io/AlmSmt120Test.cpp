// The text-command alarm unit SMT-120 over a scripted channel answered by the text unit
// simulator's model: the value splitter, the command exchange, polls, commands, the hold and
// readiness rule on a set clock, and the rows it writes.
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
#include "io/SMAlmSMT120.h"

using qxtest::ScriptChannel;

namespace {

time_t g_now = 1700000000;
time_t Clock() { return g_now; }
std::vector<int> g_sleeps;
void Sleep(int ms) { g_sleeps.push_back(ms); }

struct Smt120 : ::testing::Test {
    Smt120() : item(21, 0xA08) {
        g_now = 1700000000;
        g_sleeps.clear();
        qx::SetClockHook(Clock);
        qx::SetSleepHook(Sleep);
        h.reset(new CSMAlmSMT120);
        ch.SetResponder([this](const qxtest::Bytes& req) {
            return qxtest::TextBytes(unit.Respond(std::string(req.begin(), req.end())));
        });
        item.Addr(4).Ser(&ch);
        h->DoItem(item, 0);
    }
    ~Smt120() override {
        qx::SetClockHook(nullptr);
        qx::SetSleepHook(nullptr);
    }
    int Cmd(int cmd, const char* buf = nullptr, int len = 0) { return h->DoFunc(&ch, 4, cmd, (void*)buf, len); }
    std::vector<std::string> Sent() const {
        std::vector<std::string> w;
        for (const auto& b : ch.Written()) w.emplace_back(b.begin(), b.end());
        return w;
    }

    qxsim::TextUnit unit;
    ScriptChannel ch;
    qxhost::PointItem item;
    std::unique_ptr<CSMAlmSMT120> h;
};

TEST(Smt120Vals, SplitOnCrCrLf) {
    struct {
        std::string reply;
        std::vector<std::string> vals;
    } cases[] = {
        {"OK\r\r\n", {"OK"}},
        {"OK\r\n", {}},
        {"18\r\r\nOK\r\r\n", {"18", "OK"}},
        {"\r\r\n\r\r\nOK\r\r\n", {"OK"}},
        {"OK\r\r\nmore", {"OK"}},
        {"O\rK\r\r\n", {"O\rK"}},
        {"\r\r", {}},
        {"", {}},
        {"a\r\r\n\r\r\nb\r\r", {"a"}},
    };
    for (auto& c : cases)
        EXPECT_EQ(c.vals, CSMAlmSMT120::GetVals(reinterpret_cast<const uint8_t*>(c.reply.data()),
                                                (int)c.reply.size()))
            << c.reply;
    EXPECT_TRUE(CSMAlmSMT120::GetVals(nullptr, 5).empty());
}

TEST_F(Smt120, ExchangeReplies) {
    struct {
        const char* name;
        std::vector<std::string> chunks;  // empty: silence
        int rc;
        int signal;
    } cases[] = {
        {"value and OK", {"18\r\r\nOK\r\r\n"}, 1, 18},
        {"OK without line end", {"18\r\r\nOK\r\n"}, 0, 0},
        {"ERROR", {"ERROR\r\r\n"}, 0, 0},
        {"silence", {}, 0, 0},
        {"value not a number", {"1x\r\r\nOK\r\r\n"}, 1, 0},
        {"only OK", {"OK\r\r\n"}, 1, 0},
        {"negative", {"-3\r\r\nOK\r\r\n"}, 1, -3},
        {"garbage", {"\x81\xFF\x00\r\r"}, 0, 0},
        {"cut after the value", {"18\r\r\n"}, 0, 0},
    };
    for (auto& c : cases) {
        ScriptChannel s;
        if (c.chunks.empty()) s.Silence();
        else s.Reply(c.chunks[0]);
        CSMAlmSMT120 u;
        EXPECT_EQ(c.rc, u.Csq(&s)) << c.name;
        EXPECT_EQ(c.signal, u.m_iSignal) << c.name;
        EXPECT_EQ("csq()\r\n", std::string(s.Written()[0].begin(), s.Written()[0].end()));
        EXPECT_EQ(std::vector<int>{100}, s.ReadLengths()) << c.name;
    }
    ScriptChannel shortWrite;
    shortWrite.ShortWrite(3);
    CSMAlmSMT120 u;
    EXPECT_EQ(0, u.Csq(&shortWrite));
    EXPECT_EQ(0, shortWrite.Reads());
}

TEST_F(Smt120, PollReadsSignalAndBuzzer) {
    unit.SetBuzzer(1);
    EXPECT_EQ(1, h->DataGet(&ch, 4, 0));
    EXPECT_EQ(18, h->DataVal(1));
    EXPECT_EQ(1, h->m_iBuzzer);
    EXPECT_EQ((std::vector<std::string>{"csq()\r\n", "get_buzzer()\r\n"}), Sent());
    EXPECT_EQ(-1, h->DataVal(2));

    // One answer is enough; none is a failed poll that keeps the last signal.
    unit.SetReply("csq()", "ERROR\r\r\n");
    EXPECT_EQ(1, h->DataGet(&ch, 4, 0));
    unit.SetReply("get_buzzer()", "busy\r\n");
    EXPECT_EQ(0, h->DataGet(&ch, 4, 0));
    EXPECT_EQ(18, h->DataVal(1));
    ch.SetOpen(false);
    EXPECT_EQ(0, h->DataGet(&ch, 4, 0));
    EXPECT_EQ(0, h->DataGet(nullptr, 4, 0));
}

TEST_F(Smt120, CommandsAndTheirLines) {
    EXPECT_EQ(11, Cmd(31, "13912345678"));
    EXPECT_EQ("13912345678", h->m_strPhone);
    EXPECT_EQ(4, Cmd(32, "fire"));
    EXPECT_EQ(3, Cmd(33, "ext"));
    EXPECT_EQ(5, Cmd(51, "10086"));
    EXPECT_EQ(5, Cmd(52, "smoke"));
    EXPECT_TRUE(ch.Written().empty());  // stored without the channel

    EXPECT_EQ(1, Cmd(11));
    EXPECT_EQ(1, unit.Buzzer());
    EXPECT_EQ(1, Cmd(10));
    EXPECT_EQ(1, Cmd(34));
    EXPECT_EQ(1, Cmd(53));
    item.Ext(2, 0);
    EXPECT_EQ(1, Cmd(53));
    EXPECT_EQ(1, Cmd(35, "heat"));
    EXPECT_EQ(1, Cmd(59));
    EXPECT_EQ((std::vector<std::string>{
                  "echo(0)\r\n", "echo(0)\r\n", "set_buzzer(1)\r\n", "set_buzzer(0)\r\n",
                  "send_sms(\"10086\",\"smoke\")\r\n", "rf_call(\"10086\",\"smoke\")\r\n",
                  "line_call(\"10086\",\"smoke\")\r\n", "send_sms(\"10086\",\"heat\")\r\n",
                  "device_reset()\r\n"}),
              Sent());
    // Every command waits 100 ms for its reply, but the reset.
    EXPECT_EQ(std::vector<int>(8, 100), g_sleeps);

    unit.SetReply("send_sms", "ERROR\r\r\n");
    EXPECT_EQ(0, Cmd(34));
    for (int cmd : {0, 12, 21, 37, 54, 99}) EXPECT_EQ(0, Cmd(cmd)) << cmd;
    ch.SetOpen(false);
    size_t n = ch.Written().size();
    for (int cmd : {10, 20, 30, 34, 53, 59}) EXPECT_EQ(0, Cmd(cmd, "x", 1)) << cmd;
    EXPECT_EQ(n, ch.Written().size());
}

TEST_F(Smt120, SpeaksAtMostLenBytesOfTheCallersText) {
    char buf[] = "fire alarm";
    const std::string before(buf, sizeof buf);
    EXPECT_EQ(1, Cmd(20, buf, 4));
    EXPECT_EQ("tts_play(\"fire\", 2)\r\n", Sent().back());
    EXPECT_EQ(before, std::string(buf, sizeof buf));  // never written
    EXPECT_EQ(1, Cmd(20, buf, 1000));                 // stops at the NUL
    EXPECT_EQ("tts_play(\"fire alarm\", 2)\r\n", Sent().back());
    EXPECT_EQ(1, Cmd(20, buf, 0));
    EXPECT_EQ("tts_play(\"\", 2)\r\n", Sent().back());
    size_t n = ch.Written().size();
    EXPECT_EQ(0, Cmd(20, buf, -1));
    EXPECT_EQ(0, Cmd(20, nullptr, 4));
    EXPECT_EQ(n, ch.Written().size());
}

TEST_F(Smt120, QuotesAndLineEndsAreNotSent) {
    struct {
        const char* phone;
        const char* text;
    } cases[] = {
        {"139\"); device_reset(); (\"", "fire"},
        {"13912345678", "fire\"); device_reset(); (\""},
        {"13912345678", "fire\r\ndevice_reset()"},
        {"13912345678", "fire\n"},
    };
    for (auto& c : cases) {
        Cmd(31, c.phone);
        Cmd(32, c.text);
        for (int cmd : {34, 53}) EXPECT_EQ(0, Cmd(cmd)) << c.text;
    }
    EXPECT_EQ(0, Cmd(20, "say \"hi\"", 8));
    for (const auto& l : unit.Lines()) EXPECT_EQ(0u, l.find("echo(0)")) << l;
}

TEST_F(Smt120, ReadinessFollowsTheHoldOnTheClock) {
    // Busy for 20 s after construction.
    EXPECT_EQ(0, Cmd(30));
    g_now += 19;
    EXPECT_EQ(0, Cmd(40));
    g_now += 1;
    EXPECT_EQ(1, Cmd(50));
    struct {
        int cmd;
        int hold;
    } actions[] = {{34, 15}, {53, 45}, {10, 5}, {20, 5}, {59, 5}};
    for (auto& a : actions) {
        EXPECT_EQ(1, Cmd(a.cmd, "x", 1)) << a.cmd;
        g_now += a.hold - 1;
        EXPECT_EQ(0, Cmd(30)) << a.cmd;
        g_now += 1;
        EXPECT_EQ(1, Cmd(30)) << a.cmd;
    }
    // A failed action holds all the same; the probe sends nothing.
    unit.SetReply("send_sms", "ERROR\r\r\n");
    EXPECT_EQ(0, Cmd(34));
    size_t n = ch.Written().size();
    EXPECT_EQ(0, Cmd(36));
    EXPECT_EQ(n, ch.Written().size());
    EXPECT_EQ(10, ch.TimeoutPerByte());
    EXPECT_EQ(1000, ch.TimeoutFixed());
    g_now += 15;
    EXPECT_EQ(1, Cmd(36));
}

TEST(Smt120Rows, RegistrationAndState) {
    TestDb db, hist;
    CSMAlmSMT120 h;
    EXPECT_EQ(0xA08, h.GetType());
    EXPECT_EQ(31, h.GetMask());
    h.RegDb(&db, 0);
    EXPECT_EQ("QX-ALM SMT-120", db.Str("select Name from tbSMType where Type=2568"));
    EXPECT_EQ(2560, db.Int("select Kind from tbSMType where Type=2568"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMDef where Type=2568 and FldName='Signal'"));
    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    qxhost::PointItem item(22, 0xA08);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_TRUE(hist.TableExists("tbAlarm"));
    db.Run("create table tbAlmGsm(SID INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER,"
           "Signal INTEGER,iSignal INTEGER)");
    db.Run("insert into tbAlmGsm(SID,State) values(22,-1)");
    h.m_iSignal = 18;
    int bits[1] = {0};
    EXPECT_EQ(1, h.DataUpd(0, bits, nullptr, 22, &hist));
    EXPECT_EQ("0|18|0", db.Str("select State||'|'||Signal||'|'||iSignal from tbAlmGsm where SID=22"));
    EXPECT_EQ(1, h.DataUpd(0, nullptr, nullptr, 22, &hist));
    EXPECT_EQ("2|0|2", db.Str("select State||'|'||Signal||'|'||iSignal from tbAlmGsm where SID=22"));
}

}  // namespace
