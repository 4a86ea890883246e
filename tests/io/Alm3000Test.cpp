// The remote alarm module's link (frames, reply checks, the composite commands) and the alarm
// unit 3000 on it, over a scripted channel: scripted replies for the link's checks, the alarm
// module simulator's model for the handler's commands.
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "AlarmUnits.h"
#include "GbkText.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "io/SMAlm3000.h"
#include "io/card.h"

using qxtest::HexBytes;
using qxtest::ScriptChannel;

namespace {

// A 3000 handler whose item's channel is the scripted one: the link's pointers reach it.
struct Link : ::testing::Test {
    Link() : item(5, 0xA00) {
        item.Addr(2).Ser(&ch);
        h.DoItem(item, 0);
    }
    ~Link() override { CSMAlm3000::_AlarmHandler = nullptr; }

    std::string Sent(size_t i = 0) const {
        return i < ch.Written().size() ? qxtest::Hex(ch.Written()[i]) : "<none>";
    }
    // Replies come from the alarm module model.
    void UseModule() {
        ch.SetResponder([this](const qxtest::Bytes& req) { return module.Respond(req); });
    }

    ScriptChannel ch;
    qxhost::PointItem item;
    CSMAlm3000 h;
    qxsim::AlarmModule module;
};

// ---------------------------------------------------------------- frames and reply checks

TEST_F(Link, FramesAndReplies) {
    uint8_t out[20];
    struct {
        const char* name;
        std::function<int(uint8_t*)> call;
        const char* reply;  // hex
        const char* sent;
        int rc;
        const char* data;  // out after the call (hex of the bytes the command returns)
    } cases[] = {
        {"relay 1 on", [](uint8_t*) { return rmt_ctrl_relay(1, 1); }, "AA 00 00 32 32 55",
         "AA 00 02 32 01 01 32 55", 0, ""},
        {"reset", [](uint8_t*) { return rmt_reset_gsm(); }, "AA 00 00 10 10 55", "AA 00 00 10 10 55", 0, ""},
        {"end 54", [](uint8_t*) { return rmt_reset_gsm(); }, "AA 00 00 10 10 54", "AA 00 00 10 10 55", 1, ""},
        {"wrong check", [](uint8_t*) { return rmt_reset_gsm(); }, "AA 00 00 10 11 55", "AA 00 00 10 10 55", 1, ""},
        {"other command", [](uint8_t*) { return rmt_reset_gsm(); }, "AA 00 00 11 11 55", "AA 00 00 10 10 55", 1, ""},
        {"silence", [](uint8_t*) { return rmt_reset_gsm(); }, "", "AA 00 00 10 10 55", 1, ""},
        {"header only", [](uint8_t*) { return rmt_reset_gsm(); }, "AA 00 00", "AA 00 00 10 10 55", 1, ""},
        {"two bytes", [](uint8_t*) { return rmt_reset_gsm(); }, "AA 00", "AA 00 00 10 10 55", 1, ""},
        {"garbage", [](uint8_t*) { return rmt_reset_gsm(); }, "13 57 9B F0 0D", "AA 00 00 10 10 55", 1, ""},
        {"device id cut short", [](uint8_t* o) { return rmt_get_device_id(o); }, "AA 00 04 01 30 00",
         "AA 00 00 01 01 55", 1, "EE EE EE EE"},
        {"sig_qty", [](uint8_t* o) { return rmt_get_sig_qty(o); }, "AA 00 01 06 17 11 55",
         "AA 00 00 06 06 55", 0, "17"},
        {"sig_qty with 2 data bytes", [](uint8_t* o) { return rmt_get_sig_qty(o); },
         "AA 00 02 06 17 00 11 55", "AA 00 00 06 06 55", 1, "EE"},
        {"sig_qty start byte", [](uint8_t* o) { return rmt_get_sig_qty(o); }, "AB 00 01 06 17 11 55",
         "AA 00 00 06 06 55", 1, "EE"},
        {"snapshot needs no data", [](uint8_t*) { return rmt_set_snapshot("a"); },
         "AA 00 01 05 00 05 55", "AA 00 02 05 61 00 64 55", 1, ""},
        {"snapshot", [](uint8_t*) { return rmt_set_snapshot("a"); }, "AA 00 00 05 05 55",
         "AA 00 02 05 61 00 64 55", 0, ""},
        {"device id", [](uint8_t* o) { return rmt_get_device_id(o); }, "AA 00 04 01 30 00 00 01 30 55",
         "AA 00 00 01 01 55", 0, "30 00 00 01"},
        {"device id, 3 data bytes", [](uint8_t* o) { return rmt_get_device_id(o); },
         "AA 00 03 01 30 00 00 31 55", "AA 00 00 01 01 55", 1, "EE EE EE EE"},
        {"status", [](uint8_t* o) { return rmt_get_status(o); }, "AA 00 04 02 00 05 01 00 06 55",
         "AA 00 00 02 02 55", 0, "00 05 01 00"},
        {"status announcing 300 bytes reads 4",
         [](uint8_t* o) { return rmt_get_status(o); }, "AA 01 2C 02 00 05 01 00 06 55",
         "AA 00 00 02 02 55", 0, "00 05 01 00"},
        {"io", [](uint8_t* o) { return rmt_read_io(o); }, "AA 00 04 33 01 02 03 04 37 55",
         "AA 00 00 33 33 55", 0, "01 02 03 04"},
        {"request, 19 data bytes", [](uint8_t* o) { return rmt_get_rmt_req(o); },
         "AA 00 13 07 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 07 55",
         "AA 00 00 07 07 55", 1, "EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE"},
        {"upload ignores the announced length", [](uint8_t*) {
             const uint8_t pic[2] = {0xFF, 0xD8};
             return rmt_upload_pic(pic, 2);
         }, "AA 00 05 13 13 55", "AA 00 02 13 FF D8 34 55", 0, ""},
        {"sms", [](uint8_t* o) { return rmt_send_sms("1", "a", o); }, "AA 00 01 11 00 11 55",
         "AA 00 04 11 31 00 61 00 41 55", 0, "00"},
    };
    for (auto& c : cases) {
        ScriptChannel fresh;
        h.DoItem(item.Ser(&fresh), 0);
        if (*c.reply) fresh.Reply(HexBytes(c.reply)); else fresh.Silence();
        memset(out, 0xEE, sizeof out);
        EXPECT_EQ(c.rc, c.call(out)) << c.name;
        ASSERT_FALSE(fresh.Written().empty()) << c.name;
        EXPECT_EQ(c.sent, qxtest::Hex(fresh.Written()[0])) << c.name;
        EXPECT_EQ(1, fresh.Purges()) << c.name;
        size_t n = strlen(c.data) ? (strlen(c.data) + 1) / 3 : 0;
        EXPECT_EQ(c.data, qxtest::Hex(out, n)) << c.name;
    }
}

TEST_F(Link, ReplyLongerThanItsBufferIsNotRead) {
    // 30 data bytes announced: more than the 32-byte reply buffer holds.
    std::string body = "AA 00 1E 01";
    for (int i = 0; i < 32; i++) body += " 00";
    ch.Reply(HexBytes(body));
    uint8_t out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(1, rmt_get_device_id(out));
    EXPECT_EQ(std::vector<int>{3}, ch.ReadLengths());
    EXPECT_EQ("EE EE EE EE", qxtest::Hex(out, 4));

    // 29 is the most a reply carries.
    ScriptChannel ok;
    h.DoItem(item.Ser(&ok), 0);
    std::vector<uint8_t> data(29, 0x01);
    ok.Reply(qxsim::AlarmModule::Frame(0x01, data));
    EXPECT_EQ(0, rmt_get_device_id(out));
    EXPECT_EQ((std::vector<int>{3, 32}), ok.ReadLengths());
}

TEST_F(Link, RequestsBeyondTheFrameAreRefused) {
    std::string text(507, 'a');  // with its NUL 508 bytes: the largest request
    ch.Reply(HexBytes("AA 00 00 04 04 55"));
    EXPECT_EQ(0, rmt_set_tts_text(text.c_str()));
    EXPECT_EQ(514u, ch.Written()[0].size());
    text += 'a';
    EXPECT_EQ(1, rmt_set_tts_text(text.c_str()));
    EXPECT_EQ(1, rmt_tts_local(text.c_str()));
    EXPECT_EQ(1, rmt_pstn_dial("10086", text.c_str()));
    uint8_t status = 0xEE;
    EXPECT_EQ(1, rmt_send_sms("13912345678", std::string(496, 'b').c_str(), &status));  // 12 + 497
    EXPECT_EQ(1, rmt_send_mms(text.c_str(), nullptr, 0));
    EXPECT_EQ(1u, ch.Written().size());  // nothing else went out
    EXPECT_EQ(1, ch.Purges());
}

TEST_F(Link, NullPointersFailWithoutTraffic) {
    uint8_t out[20];
    EXPECT_EQ(1, rmt_set_tts_text(nullptr));
    EXPECT_EQ(1, rmt_get_device_id(nullptr));
    EXPECT_EQ(1, rmt_get_status(nullptr));
    EXPECT_EQ(1, rmt_get_rmt_req(nullptr));
    EXPECT_EQ(1, rmt_get_sig_qty(nullptr));
    EXPECT_EQ(1, rmt_read_io(nullptr));
    EXPECT_EQ(1, rmt_send_sms("1", "a", nullptr));
    EXPECT_EQ(1, rmt_send_sms(nullptr, "a", out));
    EXPECT_EQ(1, rmt_pstn_dial(nullptr, "a"));
    EXPECT_EQ(1, rmt_upload_pic(nullptr, 4));
    EXPECT_TRUE(ch.Written().empty());

    auto saved = send_data;
    send_data = nullptr;
    EXPECT_EQ(1, rmt_reset_gsm());
    send_data = saved;
    auto open = open_port;
    open_port = nullptr;
    EXPECT_EQ(1, rmt_ctrl_init());
    open_port = open;
    EXPECT_TRUE(ch.Written().empty());
    EXPECT_EQ(0, ch.Purges());
}

TEST_F(Link, CompositeCommands) {
    UseModule();
    EXPECT_EQ(0, rmt_pstn_dial("10086", "fire"));
    EXPECT_EQ("fire", module.TtsText());
    EXPECT_EQ(std::vector<std::string>{"10086"}, module.Dialled());
    EXPECT_EQ(0, rmt_tts_local("smoke"));

    std::vector<uint8_t> pic(600, 0x5A);
    EXPECT_EQ(0, rmt_send_mms("photo", pic.data(), (uint32_t)pic.size()));
    EXPECT_EQ((std::vector<size_t>{256, 256, 88}), module.Pieces());
    std::vector<uint8_t> cmds;
    for (const auto& r : module.Requests()) cmds.push_back(r.cmd);
    EXPECT_EQ(qxtest::Hex(cmds), "04 21 04 31 12 13 13 13 14 15");

    // A nonzero status stops the upload before any piece.
    module.SetSmsStatus(3);
    EXPECT_EQ(1, rmt_send_mms("photo", pic.data(), (uint32_t)pic.size()));
    EXPECT_EQ(3u, module.Pieces().size());
    // A dial whose speech text is not acknowledged does not dial.
    module.SetSpoil(0x04, qxsim::AlarmModule::Spoil::End54);
    EXPECT_EQ(1, rmt_pstn_dial("10086", "fire"));
    EXPECT_EQ(1u, module.Dialled().size());
}

TEST_F(Link, SendRetriesOnceOnAReopenedPort) {
    ch.SetOpen(false);
    const uint8_t frame[6] = {0xAA, 0, 0, 0x10, 0x10, 0x55};
    EXPECT_EQ(0, send_data(frame, 6));
    EXPECT_TRUE(ch.IsOpened());
    EXPECT_EQ(1u, ch.Written().size());
    ch.ShortWrite(3);
    EXPECT_EQ(1, send_data(frame, 6));
    EXPECT_EQ(0, rmt_ctrl_init());
    uint32_t got = 99;
    uint8_t buf[4];
    EXPECT_EQ(0, recv_data(buf, 4, &got));
    EXPECT_EQ(0u, got);
}

// ---------------------------------------------------------------- the 3000 handler

TEST_F(Link, StoringCommands) {
    struct {
        int cmd;
        const char* buf;
        int rc;
        std::string CSMAlm3000::*member;
        const char* stored;
    } cases[] = {
        {31, "13912345678", 13, &CSMAlm3000::m_strPhone, "8613912345678"},
        {31, "8613912345678", 13, &CSMAlm3000::m_strPhone, "8613912345678"},
        // '+' marks the international number: no further 86. Other characters than digits are
        // refused, and the number before is cleared.
        {31, "+8613912345678", 13, &CSMAlm3000::m_strPhone, "8613912345678"},
        {31, "139-1234-5678", 0, &CSMAlm3000::m_strPhone, ""},
        {51, "+8613912345678", 14, &CSMAlm3000::m_strPhone, "+8613912345678"},
        {51, "13912345678", 11, &CSMAlm3000::m_strPhone, "13912345678"},
        {32, "fire", 4, &CSMAlm3000::m_strText, "fire"},
        {52, "smoke", 5, &CSMAlm3000::m_strText, "smoke"},
        {33, "ext", 3, &CSMAlm3000::m_strExt, "ext"},
    };
    for (auto& c : cases) {
        EXPECT_EQ(c.rc, h.DoFunc(&ch, 2, c.cmd, (void*)c.buf, 0)) << c.cmd;
        EXPECT_EQ(c.stored, h.*c.member) << c.cmd;
    }
    for (int cmd : {31, 32, 33, 51, 52, 20, 35})
        EXPECT_EQ(0, h.DoFunc(&ch, 2, cmd, nullptr, 0)) << cmd;
    EXPECT_EQ("smoke", h.m_strText);
    // Stored without the channel.
    ch.SetOpen(false);
    EXPECT_EQ(4, h.DoFunc(&ch, 2, 32, (void*)"heat", 0));
    EXPECT_TRUE(ch.Written().empty());
}

TEST_F(Link, ModuleCommands) {
    UseModule();
    // Relay: the item's Ext1 picks relay 1, else 0.
    EXPECT_EQ(1, h.DoFunc(&ch, 2, 10, nullptr, 0));
    EXPECT_EQ("AA 00 02 32 00 00 32 55", Sent(0));
    h.DoItem(item.Ext(3, 0), 0);
    EXPECT_EQ(1, h.DoFunc(&ch, 2, 11, nullptr, 0));
    EXPECT_EQ(1, module.Relays()[1]);

    struct {
        const char* status;  // the module's four status bytes
        int cmd;
        int rc;
    } st[] = {
        {"00 0E 00 00", 30, 1}, {"00 0F 00 00", 30, 0}, {"00 05 00 00", 50, 1},
        {"00 05 01 00", 50, 2}, {"00 05 02 00", 50, 0},
    };
    for (auto& s : st) {
        module.SetStatus(HexBytes(s.status));
        EXPECT_EQ(s.rc, h.DoFunc(&ch, 2, s.cmd, nullptr, 0)) << s.status;
    }
    module.SetSpoil(0x02, qxsim::AlarmModule::Spoil::WrongCheck);
    EXPECT_EQ(0, h.DoFunc(&ch, 2, 50, nullptr, 0));
    EXPECT_EQ(0, h.DoFunc(&ch, 2, 30, nullptr, 0));
    module.ClearSpoils();
    EXPECT_EQ(1, h.DoFunc(&ch, 2, 30, (void*)"", 0));  // reset
    EXPECT_EQ(1, h.DoFunc(&ch, 2, 50, (void*)"", 0));

    // A stored message with a quote reaches the module as it is.
    h.DoFunc(&ch, 2, 31, (void*)"13912345678", 0);
    h.DoFunc(&ch, 2, 32, (void*)"it's \"hot\"", 0);
    EXPECT_EQ(1, h.DoFunc(&ch, 2, 34, nullptr, 0));
    EXPECT_EQ(1, h.DoFunc(&ch, 2, 35, (void*)"second", 0));
    auto sms = module.Sms();
    ASSERT_EQ(2u, sms.size());
    EXPECT_EQ("8613912345678", sms[0].first);
    EXPECT_EQ("it's \"hot\"", sms[0].second);
    EXPECT_EQ("second", sms[1].second);

    EXPECT_EQ(1, h.DoFunc(&ch, 2, 53, nullptr, 0));
    EXPECT_EQ("8613912345678", module.Dialled().back());
    EXPECT_EQ("second", module.TtsText());
    EXPECT_EQ(1, h.DoFunc(&ch, 2, 20, (void*)"local", 0));
    EXPECT_EQ("local", module.TtsText());

    // Unknown commands send nothing.
    size_t sent = ch.Written().size();
    for (int cmd : {0, 12, 40, 54, 59, 99}) EXPECT_EQ(0, h.DoFunc(&ch, 2, cmd, nullptr, 0)) << cmd;
    EXPECT_EQ(sent, ch.Written().size());
}

TEST_F(Link, RefusalsWithoutTraffic) {
    UseModule();
    // 36 sets the time-outs and answers 0.
    EXPECT_EQ(0, h.DoFunc(&ch, 2, 36, nullptr, 0));
    EXPECT_EQ(10, ch.TimeoutPerByte());
    EXPECT_EQ(1000, ch.TimeoutFixed());

    // A message whose frame would exceed 508 data bytes is refused, not cut.
    h.DoFunc(&ch, 2, 31, (void*)"13912345678", 0);
    std::string longText(600, 'x');
    EXPECT_EQ(600, h.DoFunc(&ch, 2, 32, (void*)longText.c_str(), 0));
    EXPECT_EQ(0, h.DoFunc(&ch, 2, 34, nullptr, 0));
    EXPECT_EQ(0, h.DoFunc(&ch, 2, 53, nullptr, 0));

    // A closed channel.
    ch.SetOpen(false);
    for (int cmd : {10, 11, 20, 30, 34, 36, 50, 53}) EXPECT_EQ(0, h.DoFunc(&ch, 2, cmd, (void*)"x", 0));
    EXPECT_EQ(0, h.DoFunc(nullptr, 2, 10, nullptr, 0));
    ch.SetOpen(true);
    // The relay needs the current item's Ext1.
    h.DoItem(nullptr, 0);
    EXPECT_EQ(0, h.DoFunc(&ch, 2, 10, nullptr, 0));
    // No DoItem with an item yet: the link has no channel.
    CSMAlm3000::_AlarmHandler = nullptr;
    EXPECT_EQ(0, h.DoFunc(&ch, 2, 30, nullptr, 0));
    EXPECT_TRUE(ch.Written().empty());
    EXPECT_EQ(0, ch.Purges());
}

TEST(Alm3000Rows, RegistrationPollAndUpdate) {
    TestDb db, hist;
    CSMAlm3000 h;
    EXPECT_EQ(0xA00, h.GetType());
    EXPECT_EQ(31, h.GetMask());
    EXPECT_EQ(2, h.DataSize());
    h.RegDb(&db, 0);
    EXPECT_EQ(2560, db.Int("select Kind from tbSMType where Type=2560"));
    EXPECT_EQ("QX3000", db.Str("select Name from tbSMType where Type=2560"));
    EXPECT_EQ(qxtest::Gbk("232接口,支持短信 彩信 电话等"), db.Str("select Note from tbSMType where Type=2560"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMDef where Type=2560"));
    EXPECT_EQ(2, db.Int("select vref from tbSMDef where Type=2560 and FldName='Signal'"));

    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    qxhost::PointItem item(8, 0xA00);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ(-1, db.Int("select State from tbAlarm where SID=8"));
    EXPECT_FALSE(hist.TableExists("tbAlarm"));

    ScriptChannel ch;
    EXPECT_EQ(1, h.DataGet(&ch, 4, 0));  // no current item: the address given
    EXPECT_TRUE(ch.Written().empty());
    ch.SetOpen(false);
    EXPECT_EQ(0, h.DataGet(&ch, 4, 0));
    EXPECT_EQ(0, h.DataGet(nullptr, 4, 0));
    EXPECT_EQ(0, h.DataVal(1));
    EXPECT_EQ(0, h.DataVal(2));
    EXPECT_EQ(-1, h.DataVal(3));
    int bits[1] = {1};
    EXPECT_EQ(1, h.DataUpd(1, bits, nullptr, 8, &hist));
    EXPECT_EQ(-1, db.Int("select State from tbAlarm where SID=8"));
}

TEST(Alm3000Rows, ConstructorBindsTheLink) {
    open_port = nullptr;
    send_data = nullptr;
    CSMAlm3000 h;
    EXPECT_NE(nullptr, open_port);
    EXPECT_NE(nullptr, send_data);
    EXPECT_NE(nullptr, recv_data);
    EXPECT_NE(nullptr, close_port);
    EXPECT_NE(nullptr, set_timeout);
    EXPECT_NE(nullptr, purge_port);
    ScriptChannel ch;
    qxhost::PointItem item(8, 0xA00);
    h.DoItem(item.Ser(&ch), 0);
    EXPECT_EQ(&ch, CSMAlm3000::_AlarmHandler);
    EXPECT_EQ(0, set_timeout(7, 70));
    EXPECT_EQ(7, ch.TimeoutPerByte());
    EXPECT_EQ(0, close_port(0));
    EXPECT_FALSE(ch.IsOpened());
    EXPECT_EQ(0, open_port(0, 115200));
    EXPECT_TRUE(ch.IsOpened());
    CSMAlm3000::_AlarmHandler = nullptr;
}

}  // namespace
