// The alarm output units through the loaded plug-ins: serial channels of qxSer on
// pseudo-terminals, the unit simulators behind them, the host's SQLite databases. Each unit
// has a silent twin of its type on a second terminal.
#include <stdlib.h>
#include <time.h>

#include <algorithm>
#include <string>
#include <vector>

#include "AlarmUnits.h"
#include "E2eRig.h"
#include "GbkText.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace {

const char* const kLine = "115200,N,8,1";

// The rig, a sound unit and a silent twin, a point on each.
template <class Model>
class AlarmE2e : public ::testing::Test {
protected:
    void Start(int type) {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        model.Serve(pty);
        twinModel.Serve(twinPty);
        if (!pty.Start() || !twinPty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
        twinPty.InjectFault(qxsim::Fault::Silence, -1);
        // Each channel asked for by its own code: the bare serial code is also the code of
        // a port 0 (a terminal whose number ends in 0), whose channel it would hand out again.
        ch = rig.Channel(pty.Definition(kLine), qxtest::E2eRig::kSerial + pty.Number() % 10);
        twinCh = rig.Channel(twinPty.Definition(kLine), qxtest::E2eRig::kSerial + twinPty.Number() % 10);
        ASSERT_NE(nullptr, ch);
        ASSERT_NE(nullptr, twinCh);
        h = rig.Handler(type);
        ASSERT_NE(nullptr, h);
        ASSERT_EQ(type, h->GetType());
        item = new qxhost::PointItem(61, type);
        item->Name("ALM").Port(ch->GetType() & 0xFFFF).Addr(1).Ser(ch);
        twin = new qxhost::PointItem(62, type);
        twin->Name("ALM-2").Port(twinCh->GetType() & 0xFFFF).Addr(2).Ser(twinCh);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *item));
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *twin));
        db.Run("create table tbAlmGsm(SID INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER,"
               "Signal INTEGER,iSignal INTEGER)");
        db.Run("insert into tbAlmGsm(SID,State) values(61,-1)");
        db.Run("insert into tbAlmGsm(SID,State) values(62,-1)");
        h->DoItem(*item, 0);
    }

    void TearDown() override {
        unsetenv("QX_FAKE_TIME");
        rig.Close();
        pty.Stop();
        twinPty.Stop();
        delete item;
        delete twin;
    }

    int Cmd(int cmd, const std::string& buf) {
        return h->DoFunc(cmd, const_cast<char*>(buf.c_str()), (int)buf.size());
    }
    int Cmd(int cmd) { return h->DoFunc(cmd, nullptr, 0); }

    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    Model model, twinModel;
    qxsim::PtySim pty, twinPty;
    ISerBase* ch = nullptr;
    ISerBase* twinCh = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem* item = nullptr;
    qxhost::PointItem* twin = nullptr;
};

// ---------------------------------------------------------------- alarm unit 3000

using Alm3000E2e = AlarmE2e<qxsim::AlarmModule>;

TEST_F(Alm3000E2e, LinkIsExported) {
    ASSERT_NO_FATAL_FAILURE(rig.Load());
    for (const char* name : {"open_port", "send_data", "recv_data", "close_port", "set_timeout",
                             "purge_port", "rmt_ctrl_init", "rmt_get_device_id", "rmt_get_status",
                             "rmt_get_rmt_req", "rmt_clr_tts_text", "rmt_set_tts_text",
                             "rmt_set_snapshot", "rmt_get_sig_qty", "rmt_reset_gsm", "rmt_send_sms",
                             "rmt_send_mms", "rmt_reset_pstn", "rmt_pstn_dial", "rmt_tts_local",
                             "rmt_ctrl_relay", "rmt_read_io", "_Z14rmt_upload_picPKhj"})
        EXPECT_NE(nullptr, rig.sm.Symbol(name)) << name;
    EXPECT_EQ(nullptr, rig.sm.Symbol("rmt_upload_pic"));
}

TEST_F(Alm3000E2e, MessageDialAndRelay) {
    ASSERT_NO_FATAL_FAILURE(Start(0xA00));
    const std::string text = qxtest::Gbk("机房'温度' \"过高\"");
    EXPECT_EQ(13, Cmd(31, "13912345678"));
    EXPECT_EQ((int)text.size(), Cmd(32, text));
    EXPECT_EQ(1, Cmd(34));
    auto sms = model.Sms();
    ASSERT_EQ(1u, sms.size());
    EXPECT_EQ("8613912345678", sms[0].first);
    EXPECT_EQ(Hex(text), Hex(sms[0].second));

    EXPECT_EQ(1, Cmd(53));
    std::vector<uint8_t> cmds;
    for (const auto& r : model.Requests()) cmds.push_back(r.cmd);
    EXPECT_EQ((std::vector<uint8_t>{0x11, 0x04, 0x21}), cmds);
    EXPECT_EQ(std::vector<std::string>{"8613912345678"}, model.Dialled());
    EXPECT_EQ(Hex(text), Hex(model.TtsText()));

    EXPECT_EQ(1, Cmd(11));
    EXPECT_EQ(1, model.Relays()[0]);
    EXPECT_EQ(1, Cmd(50));  // line idle

    // The twin's module does not answer: its point's commands fail, and the next command of
    // the first point goes to its own module again.
    h->DoItem(*twin, 0);
    EXPECT_EQ(0, Cmd(11));
    EXPECT_EQ(0, Cmd(34));
    EXPECT_EQ(1, model.Relays()[0]);
    h->DoItem(*item, 0);
    EXPECT_EQ(1, Cmd(10));
    EXPECT_EQ(0, model.Relays()[0]);

    // A poll makes no traffic and writes no row: the current rows stay as registered.
    size_t before = model.Requests().size();
    int bits[1] = {0};
    EXPECT_EQ(1, rig.Poll(h, *item, ch, bits));
    EXPECT_EQ(1, rig.Poll(h, *twin, twinCh, bits));
    EXPECT_EQ(before, model.Requests().size());
    EXPECT_EQ(-1, db.Int("select State from tbAlarm where SID=61"));
    EXPECT_EQ(-1, db.Int("select State from tbAlarm where SID=62"));
    EXPECT_EQ(-1, db.Int("select State from tbAlmGsm where SID=61"));
    EXPECT_FALSE(hist.TableExists("tbAlarm"));
    EXPECT_EQ("QX3000", db.Str("select Name from tbSMType where Type=2560"));
}

// ---------------------------------------------------------------- touch panels

using PanelE2e = AlarmE2e<qxsim::TouchPanel>;

TEST_F(PanelE2e, DGusFramesAndRows) {
    ASSERT_NO_FATAL_FAILURE(Start(0xB00));
    const uint8_t rtc[7] = {0x24, 0x01, 0x15, 0x03, 0x10, 0x30, 0x00};
    EXPECT_EQ(1, h->DoFunc(1, (void*)(uintptr_t)0x1000, 0x0102));
    EXPECT_EQ(1, h->DoFunc(3, nullptr, 5));
    EXPECT_EQ(1, h->DoFunc(2, (void*)rtc, 7));
    ASSERT_TRUE(model.WaitFrames(3, 3000));
    auto frames = model.Frames();
    EXPECT_EQ("A5 5A 05 82 10 00 01 02", qxsim::ToHex(frames[0]));
    EXPECT_EQ("A5 5A 04 80 03 00 05", qxsim::ToHex(frames[1]));
    EXPECT_EQ("A5 5A 0A 80 1F 5A 24 01 15 03 10 30 00", qxsim::ToHex(frames[2]));

    // The second panel's channel is taken over; the first one stays open.
    h->DoItem(*twin, 0);
    EXPECT_EQ(1, h->DoFunc(3, nullptr, 6));
    ASSERT_TRUE(twinModel.WaitFrames(1, 3000));
    EXPECT_EQ(1, ch->IsOpened());

    int bits[1] = {0};
    EXPECT_EQ(1, rig.Poll(h, *item, ch, bits));
    EXPECT_EQ(0, db.Int("select State from tbAlmGsm where SID=61"));
    EXPECT_EQ(-1, db.Int("select State from tbAlmDGus where SID=61"));
    EXPECT_FALSE(hist.TableExists("tbAlmGsm"));
    EXPECT_TRUE(hist.TableExists("tbAlmDGus"));
    EXPECT_EQ("QX-DGus", db.Str("select Name from tbSMType where Type=2816"));
}

TEST_F(PanelE2e, DiwenClosesThePreviousChannel) {
    ASSERT_NO_FATAL_FAILURE(Start(0xB01));
    EXPECT_EQ(1, h->DoFunc(3, nullptr, 2));
    ASSERT_TRUE(model.WaitFrames(1, 3000));
    EXPECT_EQ("A5 5A 04 80 03 00 02", qxsim::ToHex(model.Frames()[0]));
    h->DoItem(*twin, 0);
    EXPECT_EQ(1, h->DoFunc(1, (void*)(uintptr_t)0x0020, 7));
    ASSERT_TRUE(twinModel.WaitFrames(1, 3000));
    EXPECT_EQ("A5 5A 05 82 00 20 00 07", qxsim::ToHex(twinModel.Frames()[0]));
    EXPECT_EQ(0, ch->IsOpened());
    EXPECT_EQ(1, twinCh->IsOpened());
    // The first point's commands find its channel closed.
    h->DoItem(*item, 0);
    EXPECT_EQ(0, h->DoFunc(3, nullptr, 2));
    int bits[1] = {0};
    EXPECT_EQ(1, rig.Poll(h, *twin, twinCh, bits));
    EXPECT_EQ(-1, db.Int("select State from tbAlmGsm where SID=62"));
}

// ---------------------------------------------------------------- text-command unit SMT-120

using Smt120E2e = AlarmE2e<qxsim::TextUnit>;

TEST_F(Smt120E2e, PollSendAndProbeOnTheClock) {
    ASSERT_NO_FATAL_FAILURE(Start(0xA08));
    const long t = (long)time(nullptr) + 1000;
    auto at = [](long seconds) { setenv("QX_FAKE_TIME", std::to_string(seconds).c_str(), 1); };
    at(t);

    int bits[1] = {0};
    EXPECT_EQ(1, rig.Poll(h, *item, ch, bits));
    EXPECT_EQ(18, h->DataVal(1));
    EXPECT_EQ(0, rig.Poll(h, *twin, twinCh, bits));
    EXPECT_EQ("0|18|0", db.Str("select State||'|'||Signal||'|'||iSignal from tbAlmGsm where SID=61"));
    EXPECT_EQ("2|0|2", db.Str("select State||'|'||Signal||'|'||iSignal from tbAlmGsm where SID=62"));
    EXPECT_EQ(-1, db.Int("select State from tbAlarm where SID=61"));

    h->DoItem(*item, 0);
    const std::string text = qxtest::Gbk("机房温度过高");
    EXPECT_EQ(11, Cmd(31, "13912345678"));
    EXPECT_EQ((int)text.size(), Cmd(32, text));
    EXPECT_EQ(1, Cmd(34));
    auto lines = model.Lines();
    EXPECT_EQ(Hex("send_sms(\"13912345678\",\"" + text + "\")"), Hex(lines.back()));
    EXPECT_EQ(0, Cmd(30));
    at(t + 14);
    EXPECT_EQ(0, Cmd(30));
    at(t + 15);
    EXPECT_EQ(1, Cmd(30));

    // A quote in the stored text is refused: nothing goes to the unit.
    size_t n = model.Lines().size();
    EXPECT_EQ(8, Cmd(32, "say \"hi\""));
    EXPECT_EQ(0, Cmd(34));
    EXPECT_EQ(n, model.Lines().size());

    // The twin does not answer its commands.
    h->DoItem(*twin, 0);
    Cmd(32, "fire");
    EXPECT_EQ(0, Cmd(34));
}

// ---------------------------------------------------------------- CDMA modem

using CdmaE2e = AlarmE2e<qxsim::CdmaModem>;

TEST_F(CdmaE2e, MessageReachesTheModem) {
    ASSERT_NO_FATAL_FAILURE(Start(0xA09));
    const std::string text = qxtest::Gbk("机房'温度' \"过高\"");
    EXPECT_EQ(11, Cmd(31, "13912345678"));
    EXPECT_EQ((int)text.size(), Cmd(32, text));
    EXPECT_EQ(1, Cmd(34));
    auto lines = model.CmgsLines();
    ASSERT_EQ(1u, lines.size());
    qxsim::CdmaSubmit m = qxsim::ParseCdmaSubmit(lines[0]);
    ASSERT_TRUE(m.ok) << m.error;
    EXPECT_EQ("13912345678", m.phone);
    std::string units;
    for (uint16_t u : m.units) units += {(char)(u >> 8), (char)(u & 0xFF)};
    EXPECT_EQ(Hex("\xFE\xFF" + qxtest::Conv(text, "UTF-16BE", "GBK")), Hex(units));
    auto cmds = model.Lines();
    EXPECT_EQ((std::vector<std::string>{"AT", "ATZ", "ATE0", "AT+CSQ?", "AT+CMGF=0"}),
              std::vector<std::string>(cmds.begin(), cmds.begin() + 5));

    int bits[1] = {0};
    EXPECT_EQ(1, rig.Poll(h, *item, ch, bits));
    EXPECT_EQ("0|20|0", db.Str("select State||'|'||Signal||'|'||iSignal from tbAlmGsm where SID=61"));
    EXPECT_EQ("Signal", db.Str("select FldName from tbSMDef where Type=2569"));

    // The twin's modem is silent: its send fails and nothing reaches it as a message.
    h->DoItem(*twin, 0);
    EXPECT_EQ(0, Cmd(3, "10086;fire"));
    EXPECT_TRUE(twinModel.CmgsLines().empty());
    EXPECT_EQ(1u, model.CmgsLines().size());
    EXPECT_EQ(1, rig.Poll(h, *twin, twinCh, bits));  // a poll makes no traffic
}

}  // namespace
