// The SMS-SUBMIT encoders and their decoders: vectors as rows, each read back by an
// independent PDU reader (the modem simulator's) and decoded to the original text; the split
// into parts; the refusals; the AT+CMGS dialogue over a scripted channel.
#include <string.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "GbkText.h"
#include "GsmModem.h"
#include "QxPlatform.h"
#include "ScriptChannel.h"
#include "gtest/gtest.h"
#include "io/SmsPdu.h"

using qxtest::Gbk;
using qxtest::Repeat;
using qxtest::Utf8;

namespace {

void NoSleep(int) {}

struct SleepOff {
    SleepOff() { qx::SetSleepHook(NoSleep); }
    ~SleepOff() { qx::SetSleepHook(nullptr); }
};

SM_PARAM Param(const char* smsc, const char* phone, int dcs, const std::string& gbk, int pid = 0) {
    SM_PARAM p;
    memset(&p, 0, sizeof(p));
    // Numbers fill their fields to the end, unterminated when 16 long.
    memcpy(p.Smsc, smsc, std::min(strlen(smsc), sizeof(p.Smsc)));
    memcpy(p.Phone, phone, std::min(strlen(phone), sizeof(p.Phone)));
    p.Pid = (uint8_t)pid;
    p.Dcs = (uint8_t)dcs;
    snprintf(p.Text, sizeof(p.Text), "%s", gbk.c_str());
    return p;
}

// The text of a parsed PDU's user data, decoded by its DCS, in UTF-8.
std::string DecodeUd(const qxsim::SubmitPdu& p) {
    std::vector<char> out(p.ud.size() * 4 + 16);
    if (p.dcs == 0) {
        gsmDecode7bit(p.ud.data(), out.data(), (int)p.ud.size());
        return std::string(out.data()).substr(0, (size_t)p.udl);
    }
    if (p.dcs == 8) {
        int n = gsmDecodeUcs2(p.ud.data(), (int)p.ud.size(), out.data(), out.size());
        return n < 0 ? "<too long>" : Utf8(std::string(out.data(), (size_t)n));
    }
    gsmDecode8bit(p.ud.data(), out.data(), (int)p.ud.size());
    return std::string(out.data(), p.ud.size());
}

// ---------------------------------------------------------------- single PDUs

struct SingleCase {
    const char* name;
    const char* smsc;
    const char* phone;
    int dcs;
    const char* text;  // UTF-8
    const char* hex;
};

const SingleCase kSingles[] = {
    // The centre 123 and destination 456 open the PDU with 039121F3 and 11 00 03 91 54F6.
    {"short numbers", "123", "456", 8, "中", "039121F31100039154F6000800024E2D"},
    {"centre and mobile", "8613800100500", "8613912345678", 8, "A",
     "0891683108100005F011000D91683119325476F8000800020041"},
    {"Chinese text", "8613800100500", "8613912345678", 8, "机房告警",
     "0891683108100005F011000D91683119325476F8000800086" "73A623F544A8B66"},
    {"no centre: the modem's own", "", "8613912345678", 8, "A",
     "0011000D91683119325476F8000800020041"},
    {"seven-bit", "", "8613912345678", 0, "hellohello",
     "0011000D91683119325476F80000000AE8329BFD4697D9EC37"},
    {"eight-bit", "8613800100500", "10086", 4, "AB",
     "0891683108100005F0110005910180F6000400024142"},
    {"even digit count has no F", "12", "1234", 8, "", "029121110004912143000800" "00"},
};

TEST(SmsPduSingle, VectorsEncodeAndDecodeBack) {
    for (const SingleCase& c : kSingles) {
        SCOPED_TRACE(c.name);
        SM_PARAM p = Param(c.smsc, c.phone, c.dcs, c.dcs == 8 ? Gbk(c.text) : std::string(c.text));
        char hex[qx::sms::kPduHexMax + 1];
        int len = gsmEncodePdu(&p, hex, sizeof(hex));
        EXPECT_EQ(std::string(c.hex), std::string(hex));
        EXPECT_EQ((int)strlen(c.hex), len);

        qxsim::SubmitPdu back = qxsim::ParseSubmit(hex);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(c.smsc, back.smsc);
        EXPECT_EQ(c.phone, back.phone);
        EXPECT_EQ(0x11, back.first);
        EXPECT_EQ(0x91, back.phoneType);
        EXPECT_EQ(c.dcs, back.dcs);
        EXPECT_EQ(0, back.vp);
        EXPECT_FALSE(back.header);
        EXPECT_EQ(c.text, DecodeUd(back));
        // The centre field's size is what AT+CMGS leaves out.
        EXPECT_EQ(back.smscOctets, gsmSmscOctets(hex));
    }
}

TEST(SmsPduSingle, SixtySevenChineseCharactersGoAsOnePdu) {
    SM_PARAM p = Param("8613800100500", "8613912345678", 8, Gbk(Repeat("警", 67)));
    char hex[qx::sms::kPduHexMax + 1];
    ASSERT_GT(gsmEncodePdu(&p, hex, sizeof(hex)), 0);
    qxsim::SubmitPdu back = qxsim::ParseSubmit(hex);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(0x86, back.udl);
    EXPECT_EQ(Repeat("警", 67), DecodeUd(back));
}

// ---------------------------------------------------------------- parts

struct SplitCase {
    const char* name;
    std::string text;  // UTF-8
    std::vector<int> udl;
};

TEST(SmsPduParts, SplitAtOneHundredThirtyFourOctets) {
    const SplitCase cases[] = {
        {"68 characters: 134 and 2 octets", Repeat("中", 68), {0x8C, 0x08}},
        {"two full parts", Repeat("中", 134), {0x8C, 0x8C}},
        {"three parts", Repeat("中", 135), {0x8C, 0x8C, 0x08}},
        {"mixed Latin and Chinese", Repeat("温度过高 high temperature ", 8), {0x8C, 0x8C, 0x5A}},
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        SM_PARAM p = Param("8613800100500", "8613912345678", 8, Gbk(c.text));
        int total = (int)c.udl.size();
        std::string ucs2;
        for (int seq = 1; seq <= total; seq++) {
            char hex[qx::sms::kPduHexMax + 1];
            ASSERT_GT(gsmEncodePdul(&p, hex, sizeof(hex), total, seq, 0x5A), 0);
            qxsim::SubmitPdu back = qxsim::ParseSubmit(hex);
            ASSERT_TRUE(back.ok) << back.error;
            EXPECT_EQ(0x51, back.first);
            EXPECT_EQ(1, back.vp);
            EXPECT_EQ(8, back.dcs);
            EXPECT_EQ("8613800100500", back.smsc);
            EXPECT_EQ("8613912345678", back.phone);
            EXPECT_EQ(c.udl[(size_t)seq - 1], back.udl);
            ASSERT_TRUE(back.header);
            EXPECT_EQ(0x5A, back.ref);
            EXPECT_EQ(total, back.total);
            EXPECT_EQ(seq, back.seq);
            ucs2.append(back.ud.begin(), back.ud.end());
        }
        std::vector<char> out(ucs2.size() * 2 + 1);
        int n = gsmDecodeUcs2(reinterpret_cast<const uint8_t*>(ucs2.data()), (int)ucs2.size(),
                              out.data(), out.size());
        ASSERT_GE(n, 0);
        EXPECT_EQ(c.text, Utf8(std::string(out.data(), (size_t)n)));
    }
}

TEST(SmsPduParts, PartsThatDoNotExistForTheTextAreRefused) {
    SM_PARAM p = Param("8613800100500", "8613912345678", 8, Gbk(Repeat("中", 68)));  // 2 parts
    struct {
        int total, seq, ref;
    } bad[] = {{3, 1, 0}, {1, 1, 0}, {2, 3, 0}, {2, 0, 0}, {0, 0, 0}, {2, 1, 256}, {2, 1, -1}};
    for (auto b : bad) {
        char hex[qx::sms::kPduHexMax + 1];
        EXPECT_EQ(0, gsmEncodePdul(&p, hex, sizeof(hex), b.total, b.seq, b.ref))
            << b.total << "/" << b.seq << " ref " << b.ref;
    }
}

// ---------------------------------------------------------------- refusals

TEST(SmsPduRefusals, NumbersAreOneToFifteenDigits) {
    struct {
        const char* smsc;
        const char* phone;
        bool ok;
    } cases[] = {
        {"8613800100500", "123456789012345", true},
        {"8613800100500", "1234567890123456", false},  // 16 digits
        {"8613800100500", "", false},
        {"8613800100500", "+8613912345678", false},
        {"8613800100500", "139 1234", false},
        {"86138001005O0", "10086", false},             // a letter O
        {"123456789012345", "10086", true},
    };
    for (auto c : cases) {
        SM_PARAM p = Param(c.smsc, c.phone, 8, "A");
        char hex[qx::sms::kPduHexMax + 1];
        EXPECT_EQ(c.ok, gsmEncodePdu(&p, hex, sizeof(hex)) > 0) << c.smsc << " " << c.phone;
        EXPECT_EQ(c.ok, gsmEncodePdul(&p, hex, sizeof(hex), 1, 1, 0) > 0) << c.smsc << " " << c.phone;
    }
}

TEST(SmsPduRefusals, UnterminatedNumberFieldIsRefused) {
    SM_PARAM p = Param("", "10086", 8, "A");
    memset(p.Phone, '1', sizeof(p.Phone));  // 16 digits run into Pid
    char hex[qx::sms::kPduHexMax + 1];
    EXPECT_EQ(0, gsmEncodePdu(&p, hex, sizeof(hex)));
}

TEST(SmsPduRefusals, UserDataBeyondOneMessageIsRefused) {
    struct {
        const char* name;
        int dcs;
        std::string text;
        bool ok;
    } cases[] = {
        {"70 Chinese characters fill 140 octets", 8, Gbk(Repeat("中", 70)), true},
        {"71 Chinese characters", 8, Gbk(Repeat("中", 71)), false},
        {"160 seven-bit characters", 0, Repeat("a", 160), true},
        {"161 seven-bit characters", 0, Repeat("a", 161), false},
        {"seven-bit takes no GBK", 0, Gbk("中"), false},
        {"140 eight-bit bytes", 4, Repeat("a", 140), true},
        {"141 eight-bit bytes", 4, Repeat("a", 141), false},
    };
    for (auto& c : cases) {
        SM_PARAM p = Param("8613800100500", "10086", c.dcs, c.text);
        char hex[qx::sms::kPduHexMax + 1];
        EXPECT_EQ(c.ok, gsmEncodePdu(&p, hex, sizeof(hex)) > 0) << c.name;
    }
}

TEST(SmsPduRefusals, OutputBufferTooSmallIsRefusedNotOverrun) {
    SM_PARAM p = Param("8613800100500", "8613912345678", 8, "A");
    const std::string full = "0891683108100005F011000D91683119325476F8000800020041";
    std::vector<char> hex(full.size() + 8, 'x');
    EXPECT_EQ(0, gsmEncodePdu(&p, hex.data(), full.size()));  // no room for the NUL
    EXPECT_EQ('x', hex[full.size()]);
    EXPECT_EQ((int)full.size(), gsmEncodePdu(&p, hex.data(), full.size() + 1));
}

TEST(SmsPduUcs2, TextWhoseUcs2FormExceedsTheBufferIsRefused) {
    // 512 Chinese characters are 1024 octets: the most one message holds.
    std::string fits = Gbk(Repeat("中", 512));
    std::string over = Gbk(Repeat("中", 512) + "a");
    std::vector<uint8_t> out(qx::sms::kUcs2Max + 16, 0xEE);
    EXPECT_EQ(1024, gsmEncodeUcs2(fits.c_str(), out.data(), qx::sms::kUcs2Max));
    std::fill(out.begin(), out.end(), 0xEE);
    EXPECT_EQ(-1, gsmEncodeUcs2(over.c_str(), out.data(), qx::sms::kUcs2Max));
    EXPECT_EQ(0xEE, out[0]);  // nothing written
    EXPECT_EQ(0xEE, out[qx::sms::kUcs2Max]);
    // The room given is the room used: a short buffer refuses a short text.
    EXPECT_EQ(-1, gsmEncodeUcs2("abc", out.data(), 5));
    EXPECT_EQ(6, gsmEncodeUcs2("abc", out.data(), 6));
}

TEST(SmsPduUcs2, DecodingConvertsByCountThroughZeroOctets) {
    // Latin letters have a zero high octet: the whole count is converted, not up to it.
    const uint8_t ucs2[] = {0x00, 0x55, 0x00, 0x50, 0x00, 0x53, 0x4E, 0x2D};
    char out[16];
    int n = gsmDecodeUcs2(ucs2, (int)sizeof(ucs2), out, sizeof(out));
    EXPECT_EQ(5, n);
    EXPECT_EQ("UPS中", Utf8(out));
    EXPECT_EQ(-1, gsmDecodeUcs2(ucs2, (int)sizeof(ucs2), out, 5));  // no room for the NUL
}

// ---------------------------------------------------------------- the pieces

TEST(SmsPduPieces, NumberSwapping) {
    struct {
        const char* digits;
        const char* swapped;
    } cases[] = {
        {"123", "21F3"}, {"1234", "2143"}, {"1", "F1"}, {"", ""},
        {"8613800100500", "683108100005F0"}, {"123456789012345", "21436587092143F5"},
    };
    for (auto c : cases) {
        char out[40], back[40];
        int n = gsmInvertNumbers(c.digits, out, (int)strlen(c.digits));
        EXPECT_STREQ(c.swapped, out);
        EXPECT_EQ((int)strlen(c.swapped), n);
        int m = gsmSerializeNumbers(out, back, n);
        EXPECT_STREQ(c.digits, back);
        EXPECT_EQ((int)strlen(c.digits), m);
    }
}

TEST(SmsPduPieces, SevenBitPackingRoundTripsEveryLength) {
    const std::string all = "The quick brown fox jumps over the lazy dog 0123456789";
    for (size_t len = 0; len <= all.size(); len++) {
        std::string text = all.substr(0, len);
        uint8_t packed[64];
        int n = gsmEncode7bit(text.c_str(), packed, (int)len + 1);
        EXPECT_EQ((int)((len * 7 + 7) / 8), n) << len;
        char out[80];
        gsmDecode7bit(packed, out, n);
        EXPECT_EQ(text, std::string(out).substr(0, len)) << len;
    }
}

TEST(SmsPduPieces, HexText) {
    const uint8_t b[] = {0x00, 0x1A, 0xFF, 0x9C};
    char hex[16];
    EXPECT_EQ(8, gsmBytes2String(b, hex, 4));
    EXPECT_STREQ("001AFF9C", hex);
    uint8_t back[4];
    EXPECT_EQ(4, gsmString2Bytes(hex, back, 8));
    EXPECT_EQ(0, memcmp(b, back, 4));
    EXPECT_EQ(2, gsmString2Bytes("0891", back, 4));
    EXPECT_EQ(0x08, back[0]);
    EXPECT_EQ(0x91, back[1]);
}

TEST(SmsPduPieces, RandomReference) {
    EXPECT_EQ(0, getRandom(-1));
    EXPECT_EQ(0, getRandom(0));  // no division by zero
    EXPECT_EQ(0, getRandom(1));
    for (int i = 0; i < 20; i++) {
        int r = getRandom(256);
        EXPECT_GE(r, 0);
        EXPECT_LT(r, 256);
    }
}

// ---------------------------------------------------------------- the send dialogue

using qxtest::ScriptChannel;
using qxtest::TextBytes;

std::string Str(const qxtest::Bytes& b) { return std::string(b.begin(), b.end()); }

const char kPrompt[] = "\r\n> ";
const char kDone[] = "\r\n+CMGS: 7\r\n\r\nOK\r\n";

TEST(SmsSend, OnePduThroughThePrompt) {
    SleepOff quick;
    ScriptChannel ch;
    ch.Reply(kPrompt).Reply(kDone);
    SM_PARAM p = Param("8613800100500", "8613912345678", 8, Gbk("机房告警"));
    EXPECT_EQ(1, gsmSendSms(&ch, &p));
    ASSERT_EQ(2u, ch.Written().size());
    // The count leaves out the centre field: 9 octets of it in 32.
    EXPECT_EQ("AT+CMGS=23\r", Str(ch.Written()[0]));
    std::string pdu = Str(ch.Written()[1]);
    ASSERT_FALSE(pdu.empty());
    EXPECT_EQ('\x1A', pdu.back());
    pdu.pop_back();
    qxsim::SubmitPdu back = qxsim::ParseSubmit(pdu);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(23, back.tpduOctets);
    EXPECT_EQ("机房告警", DecodeUd(back));
}

TEST(SmsSend, PartsShareOneReferenceAndGoInOrder) {
    SleepOff quick;
    ScriptChannel ch;
    for (int i = 0; i < 3; i++) ch.Reply(kPrompt).Reply(kDone);
    std::string text = Repeat("中", 135);
    SM_PARAM p = Param("8613800100500", "8613912345678", 8, Gbk(text));
    EXPECT_EQ(1, gsmSendSms(&ch, &p));
    ASSERT_EQ(6u, ch.Written().size());
    std::set<int> refs;
    std::string ucs2;
    for (int seq = 1; seq <= 3; seq++) {
        std::string cmd = Str(ch.Written()[(size_t)(2 * seq - 2)]);
        std::string pdu = Str(ch.Written()[(size_t)(2 * seq - 1)]);
        ASSERT_EQ('\x1A', pdu.back());
        pdu.pop_back();
        qxsim::SubmitPdu back = qxsim::ParseSubmit(pdu);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ("AT+CMGS=" + std::to_string(back.tpduOctets) + "\r", cmd);
        EXPECT_EQ(3, back.total);
        EXPECT_EQ(seq, back.seq);
        refs.insert(back.ref);
        ucs2.append(back.ud.begin(), back.ud.end());
    }
    EXPECT_EQ(1u, refs.size());
    std::vector<char> out(ucs2.size() + 1);
    int n = gsmDecodeUcs2(reinterpret_cast<const uint8_t*>(ucs2.data()), (int)ucs2.size(),
                          out.data(), out.size());
    EXPECT_EQ(text, Utf8(std::string(out.data(), (size_t)n)));
}

TEST(SmsSend, OnlyTheExactPromptIsAccepted) {
    SleepOff quick;
    const char* replies[] = {"\r\n>", "\r\n>  ", "> ", "\r\nERROR\r\n", "\r\n> \r\n"};
    for (const char* r : replies) {
        ScriptChannel ch;
        ch.Reply(r);
        SM_PARAM p = Param("8613800100500", "10086", 8, "A");
        EXPECT_EQ(0, gsmSendSms(&ch, &p)) << qxtest::Hex(TextBytes(r));
        ASSERT_EQ(2u, ch.Written().size());
        EXPECT_EQ("AT+CMEE=?", Str(ch.Written()[1]));  // asked for the error list, no PDU sent
    }
    ScriptChannel silent;
    SM_PARAM p = Param("8613800100500", "10086", 8, "A");
    EXPECT_EQ(0, gsmSendSms(&silent, &p));
}

TEST(SmsSend, CompletionDecidesTheResult) {
    SleepOff quick;
    struct {
        const char* name;
        std::vector<std::string> afterPdu;  // empty: silence
        int result;
        bool asksError;
    } cases[] = {
        {"OK", {kDone}, 1, false},
        {"modem error", {"\r\n+CMS ERROR: 500\r\n"}, 2, true},
        {"silence", {}, 0, false},
    };
    for (auto& c : cases) {
        ScriptChannel ch;
        ch.Reply(kPrompt);
        if (c.afterPdu.empty()) {
            ch.Silence();
        } else {
            ch.Reply(c.afterPdu[0]);
        }
        SM_PARAM p = Param("8613800100500", "10086", 8, "A");
        EXPECT_EQ(c.result, gsmSendSms(&ch, &p)) << c.name;
        EXPECT_EQ(c.asksError ? 3u : 2u, ch.Written().size()) << c.name;
        if (c.asksError) {
            EXPECT_EQ("AT+CMEE?\r", Str(ch.Written()[2])) << c.name;
        }
    }
}

TEST(SmsSend, AFailedPartEndsTheMessage) {
    SleepOff quick;
    ScriptChannel ch;
    ch.Reply(kPrompt).Reply("\r\n+CMS ERROR: 500\r\n");
    SM_PARAM p = Param("8613800100500", "10086", 8, Gbk(Repeat("中", 68)));
    EXPECT_EQ(2, gsmSendSms(&ch, &p));
    EXPECT_EQ(3u, ch.Written().size());  // CMGS, part 1, CMEE?: part 2 never announced
}

TEST(SmsSend, AWriteThatFailsEndsTheSend) {
    SleepOff quick;
    for (int written : {0, 10}) {
        ScriptChannel ch;
        ch.Reply(kPrompt).ShortWrite(written);
        SM_PARAM p = Param("8613800100500", "10086", 8, "A");
        EXPECT_EQ(0, gsmSendSms(&ch, &p)) << written;
        EXPECT_EQ(1, ch.Reads()) << written;  // the prompt only: no completion awaited
    }
    ScriptChannel ch;
    ch.ShortWrite(0);  // the command itself
    SM_PARAM p = Param("8613800100500", "10086", 8, "A");
    EXPECT_EQ(0, gsmSendSms(&ch, &p));
    EXPECT_EQ(0, ch.Reads());
}

TEST(SmsSend, UnsendableRecordsSendNothing) {
    SleepOff quick;
    struct {
        const char* name;
        SM_PARAM p;
    } cases[] = {
        {"text beyond the message buffer", Param("8613800100500", "10086", 8, Repeat("a", 600))},
        {"phone with a plus", Param("8613800100500", "+10086", 8, "A")},
        {"phone of 16 digits", Param("8613800100500", "8613912345678901", 8, "A")},
    };
    for (auto& c : cases) {
        ScriptChannel ch;
        EXPECT_EQ(0, gsmSendSms(&ch, &c.p)) << c.name;
        EXPECT_TRUE(ch.Written().empty()) << c.name;
    }
    EXPECT_EQ(0, gsmSendSms(nullptr, &cases[1].p));
    ScriptChannel ch;
    EXPECT_EQ(0, gsmSendSms(&ch, nullptr));
}

}  // namespace
