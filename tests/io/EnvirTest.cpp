// The temperature/humidity and dust sensors: requests and decoding per Variant, the replies
// refused, the waits, and what one update stores.
#include <string.h>

#include "TestRig.h"
#include "io/SMEnvir.h"
#include "io/SMEnvirPm.h"

namespace {

using iotest::BadCrc;
using iotest::Rtu;
using iotest::Sleeps;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

using EnvirRig = iotest::Rig<CSMEnvir>;
using PmRig = iotest::Rig<CSMEnvirPm>;

// ---------------------------------------------------------------- CSMEnvir: DataGet

TEST(Envir, VariantSelectsFunctionAndRegisterOrder) {
    // Registers 0 and 1 hold 0x01C2 and 0x00EB.
    struct Case {
        int variant;
        const char* request;
        int tem, hum;
    } cases[] = {
        {0, "01 03 00 00 00 02 C4 0B", 0x00EB, 0x01C2},
        {1, "01 04 00 00 00 02 71 CB", 0x01C2, 0x00EB},
        {2, "01 03 00 00 00 02 C4 0B", 0x01C2, 0x00EB},
        {3, "01 04 00 00 00 02 71 CB", 0x00EB, 0x01C2},
    };
    for (const Case& c : cases) {
        EnvirRig r;
        r.item.Variant(c.variant);
        int fn = HexBytes(c.request)[1];
        r.ch.Reply(Rtu(fn == 3 ? "01 03 04 01 C2 00 EB" : "01 04 04 01 C2 00 EB"));
        ASSERT_EQ(1, r.Poll(200)) << c.variant;
        ASSERT_EQ(1u, r.ch.Written().size());
        EXPECT_EQ(c.request, qxtest::Hex(r.ch.Written()[0])) << c.variant;
        EXPECT_EQ(c.tem, r.h.DataVal(1)) << c.variant;
        EXPECT_EQ(c.hum, r.h.DataVal(2)) << c.variant;
        // The wire-order copy holds temperature then humidity, big-endian.
        const uint8_t* block = (const uint8_t*)r.h.Data();
        EXPECT_EQ(c.tem, block[0] << 8 | block[1]);
        EXPECT_EQ(c.hum, block[2] << 8 | block[3]);
    }
}

TEST(Envir, UnknownVariantReadsNothing) {
    for (int variant : {4, -1, 99}) {
        EnvirRig r;
        r.item.Variant(0);
        r.ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
        ASSERT_EQ(1, r.Poll());
        r.item.Variant(variant);
        EXPECT_EQ(0, r.Poll()) << variant;
        EXPECT_EQ(1u, r.ch.Written().size()) << variant;  // no second request
        EXPECT_EQ(0x00EB, r.h.DataVal(1));
    }
}

TEST(Envir, RefusedRepliesLeaveTheValues) {
    struct Case {
        const char* what;
        qxtest::Bytes reply;
    } cases[] = {
        {"exception", Rtu("01 83 02")},
        {"short", HexBytes("01 03 04 02 00")},
        {"four bytes", HexBytes("01 03 04 02")},
        {"bad CRC", BadCrc("01 03 04 02 00 01 00")},
        {"other function", Rtu("01 04 04 02 00 01 00")},
        {"other address", Rtu("02 03 04 02 00 01 00")},
        {"byte count", Rtu("01 03 02 02 00")},
        {"silence", {}},
    };
    for (const Case& c : cases) {
        EnvirRig r;
        r.ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
        ASSERT_EQ(1, r.Poll());
        if (c.reply.empty())
            r.ch.Silence();
        else
            r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(0x00EB, r.h.DataVal(1)) << c.what;
        EXPECT_EQ(0x01C2, r.h.DataVal(2)) << c.what;
    }
}

TEST(Envir, ChannelFailures) {
    EnvirRig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.ch.Purges());
    r.ch.SetOpen(true);
    r.ch.ShortWrite(7);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.ch.Reads());  // nothing is read after a short write
}

TEST(Envir, NoCurrentItemReadsNothing) {
    CSMEnvir h;
    qxtest::ScriptChannel ch;
    ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
    EXPECT_EQ(0, h.DataGet(&ch, 1, 0));
    EXPECT_EQ(0, h.DataUpd(0, nullptr, nullptr, 5, nullptr));
}

TEST(Envir, WaitBeforeReading) {
    struct Case {
        int wait, slept;
    } cases[] = {{3, 100}, {4, 100}, {0, 100}, {-5, 100}, {5, 5}, {250, 250}};
    for (const Case& c : cases) {
        EnvirRig r;
        r.ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
        ASSERT_EQ(1, r.Poll(c.wait));
        EXPECT_EQ(std::vector<int>{c.slept}, Sleeps()) << c.wait;
    }
}

TEST(Envir, ValuesAreUnsigned) {
    EnvirRig r;
    r.item.Variant(2);
    r.ch.Reply(Rtu("01 03 04 FF 9C 80 00"));  // -10.0 C in two's complement
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(0xFF9C, r.h.DataVal(1));
    EXPECT_EQ(0x8000, r.h.DataVal(2));
    char text[32] = ".Tem";
    EXPECT_EQ(6, r.h.VarEval(text));
    EXPECT_STREQ("6543.6", text);
}

TEST(Envir, DataValAndSize) {
    EnvirRig r;
    r.ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(4, r.h.DataSize());
    for (int f : {0, 3, 4, 5, -1}) EXPECT_EQ(-1, r.h.DataVal(f)) << f;
    EXPECT_EQ(0x0500, r.h.GetType());
    EXPECT_STREQ("QX-TH485", r.h.GetNote());
}

TEST(Envir, VarEvalKeys) {
    EnvirRig r;
    r.ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
    ASSERT_EQ(1, r.Poll());
    struct Case {
        const char* in;
        int len;
        const char* out;
    } cases[] = {
        {".Tem", 4, "23.5"}, {".温度", 4, "23.5"}, {".Hum", 4, "45.0"}, {".湿度", 4, "45.0"},
        {".tem", -1, ".tem"}, {"Tem", -1, "Tem"}, {".Tem ", -1, ".Tem "}, {"", -1, ""},
        {".Te", -1, ".Te"},
    };
    for (const Case& c : cases) {
        char text[32];
        snprintf(text, sizeof(text), "%s", c.in);
        EXPECT_EQ(c.len, r.h.VarEval(text)) << Hex(c.in);
        EXPECT_STREQ(c.out, text) << Hex(c.in);
    }
    EXPECT_EQ(-1, r.h.VarEval(nullptr));
}

// ---------------------------------------------------------------- CSMEnvir: registration

TEST(Envir, Registration) {
    TestDb db;
    CSMEnvir h;
    h.RegDb(&db, 0);
    EXPECT_EQ(Hex("温湿度 QX-TH485"), Hex(db.Str("select Name from tbSMType where Type=1280")));
    EXPECT_EQ(1280, db.Int("select Kind from tbSMType where Type=1280"));
    EXPECT_EQ(Hex("485接口,量程..."), Hex(db.Str("select Note from tbSMType where Type=1280")));
    EXPECT_EQ(2, db.Int("select count(*) from tbSMDef where Type=1280"));
    EXPECT_EQ("1|Tem|1|0|10|6|300|380|0",
              db.Str("select Fld||'|'||FldName||'|'||Kind||'|'||Rsv||'|'||Ratio||'|'||AlmKind||'|'||"
                     "vref||'|'||HiLmt||'|'||Cell from tbSMDef where Type=1280 and Fld=1"));
    EXPECT_EQ("2|Hum|10|350|780",
              db.Str("select Fld||'|'||FldName||'|'||Ratio||'|'||vref||'|'||HiLmt from tbSMDef "
                     "where Type=1280 and Fld=2"));
    EXPECT_EQ(Hex("湿度值"), Hex(db.Str("select Note from tbSMDef where Type=1280 and Fld=2")));
    EXPECT_EQ(Hex("最小值|允许最低湿度,低于此值告警"),
              Hex(db.Str("select LoText from tbSMDef where Type=1280 and Fld=2")));
    EXPECT_EQ(Hex("最大值|允许最高湿度,超过此值告警"),
              Hex(db.Str("select HiText from tbSMDef where Type=1280 and Fld=2")));
    EXPECT_EQ("<null>", db.Str("select ANote from tbSMDef where Type=1280 and Fld=1"));

    // Without force nothing changes; with force the rows are written again; the type row is
    // never rewritten.
    db.Run("update tbSMDef set vref=1 where Type=1280");
    db.Run("update tbSMType set Note='mine' where Type=1280");
    h.RegDb(&db, 0);
    EXPECT_EQ(2, db.Int("select count(*) from tbSMDef where Type=1280"));
    EXPECT_EQ(2, db.Int("select count(*) from tbSMDef where Type=1280 and vref=1"));
    h.RegDb(&db, 1);
    EXPECT_EQ(2, db.Int("select count(*) from tbSMDef where Type=1280"));
    EXPECT_EQ(0, db.Int("select count(*) from tbSMDef where Type=1280 and vref=1"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMType where Type=1280"));
    EXPECT_EQ("mine", db.Str("select Note from tbSMType where Type=1280"));
}

TEST(Envir, TablesAndPointRows) {
    TestDb db, hist;
    CSMEnvir h;
    EXPECT_EQ(0, h.ChkDb(nullptr));  // no database at all
    h.SetDb(&db, 0);
    h.SetDb(&hist, 1);
    EXPECT_EQ(1, h.ChkDb(nullptr));
    const char* cols =
        "DID,SID,Type,Port,Addr,DateUpd,State,SnapID,Tem,Hum,iTem,iHum";
    for (TestDb* d : {&db, &hist}) {
        EXPECT_EQ(1, d->TableExists("tbEnvir"));
        EXPECT_EQ("0", d->Str(std::string("select count(*) from (select ") + cols + " from tbEnvir)"));
    }
    int before = db.Statements() + hist.Statements();
    EXPECT_EQ(1, h.ChkDb(nullptr));  // present: no create runs
    EXPECT_EQ(before, db.Statements() + hist.Statements());

    qxhost::PointItem item(9, 0x503);
    item.Port(3).Addr(4);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ("9|1283|3|4|-1", db.Str("select SID||'|'||Type||'|'||Port||'|'||Addr||'|'||State "
                                      "from tbEnvir"));
    EXPECT_EQ(1, db.Int("select count(*) from tbSMBrief where SID=9"));
    EXPECT_EQ(0, hist.Int("select count(*) from tbEnvir"));
}

TEST(Envir, TablesOnTheSecondDatabaseAlone) {
    TestDb hist;
    CSMEnvir h;
    h.SetDb(&hist, 1);
    EXPECT_EQ(1, h.ChkDb(nullptr));
    EXPECT_EQ(1, hist.TableExists("tbEnvir"));
    qxhost::PointItem item(9, 0x500);
    EXPECT_EQ(0, h.ChkDb(item));  // the point's rows need the main database
}

// ---------------------------------------------------------------- CSMEnvir: DataUpd

struct Stored {
    std::string row;    // State|SnapID|Tem|Hum|iTem|iHum of the current row
    std::string brief;  // GBK text
    int st;
};

Stored Read(TestDb& db, int sid) {
    Stored s;
    s.row = db.Str("select State||'|'||SnapID||'|'||Tem||'|'||Hum||'|'||iTem||'|'||iHum from "
                   "tbEnvir where SID=" + std::to_string(sid));
    s.brief = db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid));
    s.st = (int)db.Int("select St from tbSMBrief where SID=" + std::to_string(sid));
    return s;
}

TEST(Envir, UpdateRows) {
    struct Case {
        const char* what;
        int flags;
        bool bits;
        int word;
        const char* row;
        const char* brief;
    } cases[] = {
        {"normal", 0, true, 0, "0|0|235|450|0|0", "温度:23.5 (正常),湿度:45.0 (正常)"},
        {"humidity out", 0, true, 2, "1|0|235|450|0|1", "温度:23.5 (正常),湿度:45.0 (告警)"},
        {"both out", 0, true, 3, "1|0|235|450|1|1", "温度:23.5 (告警),湿度:45.0 (告警)"},
        {"other bits only", 0, true, 4, "0|0|235|450|0|0", "温度:23.5 (正常),湿度:45.0 (正常)"},
        {"forced alarm", 1, true, 0, "1|0|235|450|0|0", "温度:23.5 (正常),湿度:45.0 (正常)"},
        {"snapshot flag ignored", 16, true, 0, "0|0|235|450|0|0",
         "温度:23.5 (正常),湿度:45.0 (正常)"},
        // No answer: the summary names the lost link and shows none of the cleared values.
        {"no answer", 0, false, 0, "2|0|0|0|2|2", "通讯中断"},
        {"no answer, forced alarm", 1, false, 0, "1|0|0|0|2|2", "通讯中断"},
    };
    for (const Case& c : cases) {
        EnvirRig r;
        r.ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
        ASSERT_EQ(1, r.Poll());
        int bits[1] = {c.word};
        int snap = 77;
        EXPECT_EQ(1, r.h.DataUpd(c.flags, c.bits ? bits : nullptr, &snap, -1, &r.hist)) << c.what;
        Stored s = Read(r.db, 7);
        EXPECT_EQ(c.row, s.row) << c.what;
        EXPECT_EQ(Hex(c.brief), Hex(s.brief)) << c.what;
        EXPECT_EQ(s.row[0] - '0', s.st) << c.what;
        EXPECT_EQ(c.row, r.hist.Str("select State||'|'||SnapID||'|'||Tem||'|'||Hum||'|'||iTem||'|'||"
                                    "iHum from tbEnvir where SID=7"))
            << c.what;
        // The values of the last poll stay readable.
        EXPECT_EQ(0x00EB, r.h.DataVal(1)) << c.what;
    }
}

TEST(Envir, UpdateStateRowAndSid) {
    EnvirRig r;
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(7,1280,-1)");
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(8,1280,-1)");
    r.ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {1};
    // A negative sid is the point's; any other is used as given.
    qxhost::PointItem other(8, 1280);
    ASSERT_EQ(1, r.h.ChkDb(other));
    r.h.DoItem(r.item, 0);
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(1, r.db.Int("select State from tbSubSysDetail where SID=7"));
    EXPECT_EQ(-1, r.db.Int("select State from tbSubSysDetail where SID=8"));
    EXPECT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, 8, nullptr));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SID=8"));
    EXPECT_EQ("2|0|0|0|2|2", Read(r.db, 8).row);
    EXPECT_EQ(0, r.hist.Int("select count(*) from tbEnvir"));  // no history database given
    // The failure counter is reset by every update.
    r.h.m_iErrCnt = 2;
    r.h.DataUpd(0, bits, nullptr, -1, nullptr);
    EXPECT_EQ(0, r.h.m_iErrCnt);
}

TEST(Envir, UpdateResult) {
    // With a history database its insert decides; without one the current-row update.
    EnvirRig r;
    r.ch.Reply(Rtu("01 03 04 01 C2 00 EB"));
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {0};
    TestDb noTable;  // lacks tbEnvir: the history insert fails
    EXPECT_EQ(0, r.h.DataUpd(0, bits, nullptr, -1, &noTable));
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    r.h.SetDb(&noTable, 0);
    EXPECT_EQ(0, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    r.h.SetDb(nullptr, 0);
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));  // nothing to write to
    EXPECT_EQ(2, r.hist.Int("select count(*) from tbEnvir"));
}

// ---------------------------------------------------------------- CSMEnvirPm

TEST(EnvirPm, Replies) {
    struct Case {
        const char* what;
        qxtest::Bytes reply;
        int ok;
        int pm;
    } cases[] = {
        {"seven bytes", Rtu("01 03 02 00 23"), 1, 0x23},
        {"six bytes, no byte count", Rtu("01 03 01 F4"), 1, 0x1F4},
        {"exception", Rtu("01 83 02"), 0, 7},
        {"seven bytes, bad CRC", BadCrc("01 03 02 00 23"), 0, 7},
        {"six bytes, bad CRC", BadCrc("01 03 01 F4"), 0, 7},
        {"six bytes, other function", Rtu("01 04 01 F4"), 0, 7},
        {"five bytes", HexBytes("01 03 02 00 23"), 0, 7},
        {"silence", {}, 0, 7},
    };
    for (const Case& c : cases) {
        PmRig r(7, 0x502);
        r.ch.Reply(Rtu("01 03 02 00 07"));
        ASSERT_EQ(1, r.Poll());
        if (c.reply.empty())
            r.ch.Silence();
        else
            r.ch.Reply(c.reply);
        EXPECT_EQ(c.ok, r.Poll()) << c.what;
        EXPECT_EQ("01 03 00 03 00 01 74 0A", qxtest::Hex(r.ch.LastWritten())) << c.what;
        EXPECT_EQ(c.pm, r.h.DataVal(1)) << c.what;
        const uint8_t* block = (const uint8_t*)r.h.Data();
        EXPECT_EQ(c.pm, block[0] << 8 | block[1]) << c.what;
    }
}

TEST(EnvirPm, Wait) {
    struct Case {
        int wait;
        std::vector<int> slept;
    } cases[] = {{0, {}}, {100, {}}, {101, {101}}, {500, {500}}};
    for (const Case& c : cases) {
        PmRig r(7, 0x502);
        r.ch.Reply(Rtu("01 03 02 00 23"));
        ASSERT_EQ(1, r.Poll(c.wait));
        EXPECT_EQ(c.slept, Sleeps()) << c.wait;
    }
}

TEST(EnvirPm, RegistrationAndKeys) {
    PmRig r(7, 0x502);
    EXPECT_EQ(1282, r.h.GetType());
    EXPECT_EQ(1, r.h.DataSize());
    EXPECT_EQ(Hex("粉尘 QX-PM485"), Hex(r.db.Str("select Name from tbSMType where Type=1282")));
    EXPECT_EQ(1280, r.db.Int("select Kind from tbSMType where Type=1282"));
    EXPECT_EQ("1|Pm|10|6|300|380", r.db.Str("select Fld||'|'||FldName||'|'||Ratio||'|'||AlmKind||'|'||"
                                            "vref||'|'||HiLmt from tbSMDef where Type=1282"));
    EXPECT_EQ(Hex("Pm值"), Hex(r.db.Str("select Note from tbSMDef where Type=1282")));
    EXPECT_EQ(1, r.hist.TableExists("tbEnvirPm"));
    r.ch.Reply(Rtu("01 03 02 01 2C"));
    ASSERT_EQ(1, r.Poll());
    char text[16] = ".PM";
    EXPECT_EQ(3, r.h.VarEval(text));
    EXPECT_STREQ("300", text);  // the raw value, not divided
    for (const char* k : {".Pm", ".pm", "PM"}) {
        snprintf(text, sizeof(text), "%s", k);
        EXPECT_EQ(-1, r.h.VarEval(text));
        EXPECT_STREQ(k, text);
    }
    for (int f : {0, 2}) EXPECT_EQ(-1, r.h.DataVal(f));
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, nullptr, 0));
}

TEST(EnvirPm, UpdateRows) {
    struct Case {
        int flags;
        bool bits;
        int word;
        const char* row;
        const char* brief;
    } cases[] = {
        {0, true, 0, "0|0|35|0", "PM2.5:35 ug/m3(正常)"},
        {0, true, 1, "1|0|35|1", "PM2.5:35 ug/m3(告警)"},
        {1, true, 0, "1|0|35|0", "PM2.5:35 ug/m3(正常)"},
        {0, false, 0, "2|0|0|2", "通讯中断"},  // no answer: no cleared value shown
        {1, false, 0, "1|0|0|2", "通讯中断"},
    };
    for (const Case& c : cases) {
        PmRig r(7, 0x502);
        r.ch.Reply(Rtu("01 03 02 00 23"));
        ASSERT_EQ(1, r.Poll());
        int bits[1] = {c.word};
        int snap = 5;
        EXPECT_EQ(1, r.h.DataUpd(c.flags | 16, c.bits ? bits : nullptr, &snap, -1, &r.hist));
        const char* q = "select State||'|'||SnapID||'|'||Pm||'|'||iPm from tbEnvirPm where SID=7";
        EXPECT_EQ(c.row, r.db.Str(q));
        EXPECT_EQ(c.row, r.hist.Str(q));
        EXPECT_EQ(Hex(c.brief), Hex(r.db.Str("select Brief from tbSMBrief where SID=7")));
        EXPECT_EQ(c.row[0] - '0', r.db.Int("select St from tbSMBrief where SID=7"));
    }
}

}  // namespace
