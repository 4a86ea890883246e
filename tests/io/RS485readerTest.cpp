// The RS-485 card reader: its ASCII frames and XOR text, the serial, device number and card
// exchanges, the card log of its own table, card texts from the device kept per point and
// written escaped, and the display texts.
#include <string.h>

#include <string>

#include "CardRig.h"
#include "core/SMSql.h"
#include "io/SMRS485reader.h"

namespace {

using qxtest::Bytes;
using qxtest::TextBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

struct ReaderRig : iotest::CardRig<CSMRS485reader, qxsim::Rs485Reader> {
    ReaderRig() : CardRig(9, 0xD05, 1, "00012345") {}
    std::string Row(int sid = 9) {
        return db.Str("select State||'|'||DevSN||'|'||CardID||'|'||DevID from tbCardRS485reader where SID=" +
                      std::to_string(sid));
    }
};

std::string Text(const uint8_t* p, int n) { return std::string((const char*)p, (size_t)n); }

TEST(RS485reader, Frames) {
    uint8_t f[16];
    ASSERT_EQ(7, CSMRS485reader::setCMD(f, "1B"));
    EXPECT_EQ("\x09" "A1B" "3B\r", Text(f, 7));
    ASSERT_EQ(7, CSMRS485reader::setCMD(f, "1F"));
    EXPECT_EQ("\x09" "A1F" "3F\r", Text(f, 7));
    ASSERT_EQ(15, CSMRS485reader::setgetIDCMD(f, "00012345"));
    EXPECT_EQ("\x09" "AXD00012345" "55\r", Text(f, 15));
    ASSERT_EQ(16, CSMRS485reader::setIDCMD(f, "00012345", 4));
    EXPECT_EQ("\x09" "AXD000123454" "61\r", Text(f, 16));

    struct Case {
        const char* what;
        std::string reply;
        int ok;
    } cases[] = {
        {"no card", "\x09" "1N" "76\r", 1},
        {"last byte not examined", "\x09" "1N" "76!", 1},
        {"upper-case XOR text", "\x09" "A1F" "3F\r", 1},
        {"lower-case XOR text", "\x09" "A1F" "3f\r", 0},
        {"wrong XOR", "\x09" "1N" "77\r", 0},
        {"three bytes", "\x09" "1N", 0},
    };
    for (const Case& c : cases) {
        Bytes b = TextBytes(c.reply);
        EXPECT_EQ(c.ok, CSMRS485reader::ChkReply(b.data(), (int)b.size())) << c.what;
    }
}

TEST(RS485reader, PollRowsAndLog) {
    ReaderRig r;
    ASSERT_EQ(1, r.Cycle());  // no card yet
    EXPECT_EQ("0|12345|" + std::string("暂无") + "|3", r.Row());
    EXPECT_EQ(std::string("当前设备SN：12345,最新刷卡记录：暂无"), r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ(0, r.hist.Int("select count(*) from tbCardRS485reader"));
    struct Field {
        int fld, want;
    } fields[] = {{1, 12345}, {2, 0}, {3, 3}, {0, -1}, {4, -1}};
    for (const Field& f : fields) EXPECT_EQ(f.want, r.h.DataVal(f.fld)) << f.fld;

    // The same card presented twice is logged twice.
    r.dev.SetCard("00001234");
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(1, r.h.DataVal(2));
    int bits[1] = {0};
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ("0|12345|00001234|3", r.Row());
    EXPECT_EQ(std::string("当前设备SN：12345,最新刷卡记录：00001234"), r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ("9|00001234|12345|3|9|00001234|12345|3",
              r.hist.Str("select group_concat(SID||'|'||CardID||'|'||DevSN||'|'||DevID,'|') from tbCardRS485reader"));

    // No card now (6-byte reply): the card and the flag stay.
    r.dev.SetCard("");
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0, r.h.DataVal(2));  // consumed by the last update
    char text[32] = ".cardID";
    EXPECT_EQ(8, r.h.VarEval(text));
    EXPECT_STREQ("00001234", text);
}

TEST(RS485reader, FailuresAndAddresses) {
    {
        ReaderRig r;  // address 9: nothing is sent, the poll fails
        EXPECT_EQ(0, r.h.DataGet(&r.ch, 9, 0));
        EXPECT_EQ(0, r.h.DataGet(&r.ch, -1, 0));
        EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
        EXPECT_EQ(0, r.h.setID(&r.ch, 9));
        EXPECT_TRUE(r.ch.Written().empty());
    }
    {
        ReaderRig r;  // a card read but not logged is dropped when the next card request fails
        r.dev.SetCard("00001234");
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(1, r.h.DataVal(2));
        r.ch.SetResponder([&](const Bytes& q) { return q[3] == 'F' ? Bytes() : r.dev.Answer(q); });
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(0, r.h.DataVal(2));
        // The serial request unanswered: the poll fails; the summary names the lost link.
        r.ch.SetResponder(nullptr);
        EXPECT_EQ(0, r.Cycle());
        EXPECT_EQ("2|12345|00001234|3", r.Row());
        std::string brief = r.db.Str("select Brief from tbSMBrief where SID=9");
        EXPECT_EQ(qx::sql::NoAnswerBrief(), brief);
    }
    {
        ReaderRig r;  // the device number is set with the serial read before
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(1, r.h.setID(&r.ch, 6));
        EXPECT_EQ(6, r.dev.DeviceNumber());
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(6, r.h.DataVal(3));
    }
}

TEST(RS485reader, SerialDigits) {
    struct Case {
        const char* serial;
        int sn;
    } cases[] = {{"00012345", 12345}, {"12AB0000", 12}, {"ABCDEFGH", 0}, {"38000000", 38000000}};
    for (const Case& c : cases) {
        ReaderRig r;
        qxsim::Rs485Reader dev(1, c.serial);
        r.ch.SetResponder([&](const Bytes& q) { return dev.Answer(q); });
        ASSERT_EQ(1, r.Poll()) << c.serial;
        EXPECT_EQ(c.sn, r.h.DataVal(1)) << c.serial;
        char text[32] = ".idevSN";
        r.h.VarEval(text);
        EXPECT_EQ(std::to_string(c.sn), text);
    }
}

// A card text with a quote is stored intact in the row, the summary and the log.
TEST(RS485reader, CardTextIsEscaped) {
    ReaderRig r;
    r.dev.SetCard("12'4;--x");
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ("0|12345|12'4;--x|3", r.Row());
    EXPECT_EQ(std::string("当前设备SN：12345,最新刷卡记录：12'4;--x"), r.db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ("12'4;--x", r.hist.Str("select CardID from tbCardRS485reader"));
}

TEST(RS485reader, TrimAbove1500) {
    for (int rows : {1500, 1501}) {
        ReaderRig r;
        r.hist.Run("begin");
        for (int i = 0; i < rows; i++)
            r.hist.Run("insert into tbCardRS485reader(SID,DateUpd,State) values(1,datetime('now','localtime','-" +
                       std::to_string(rows - i) + " minutes'),0)");
        r.hist.Run("commit");
        r.dev.SetCard("00000001");
        ASSERT_EQ(1, r.Cycle());
        EXPECT_EQ(rows == 1500 ? 1501 : 1001, r.hist.Int("select count(*) from tbCardRS485reader")) << rows;
    }
}

// Two readers on one handler, the second silent: each point shows its own card.
TEST(RS485reader, TwoPoints) {
    ReaderRig r;
    qxhost::PointItem& two = r.Twin(10, 2);
    r.dev.SetCard("00000111");
    ASSERT_EQ(1, r.Cycle());
    EXPECT_EQ(0, r.CycleAt(two));
    EXPECT_EQ("2|0|" + std::string("暂无") + "|0", r.Row(10));
    char text[32] = ".cardID";
    EXPECT_EQ(0, r.h.VarEval(text));
    EXPECT_EQ("0|12345|00000111|3", r.Row(9));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbCardRS485reader"));
}

TEST(RS485reader, CommandsSendNothing) {
    ReaderRig r;
    int arg = 1;
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, &arg, 1));
    EXPECT_EQ(0, r.h.DoFunc(1, &arg, 1));
    EXPECT_TRUE(r.ch.Written().empty());
}

}  // namespace
