// The SANTAK UPS on the tbUps shape: the request of each variant, what its reply decodes to,
// which replies are refused, the "WA" flags, the command, and what updates store, the failure
// counter of each point included.
#include <stdio.h>
#include <string.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PointItem.h"
#include "Q1Ups.h"
#include "QxPlatform.h"
#include "SMSql.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "gtest/gtest.h"
#include "ups/SMUpsSANTAK.h"

using qxtest::Bytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// One SANTAK UPS answering through a scripted channel, one point of it.
struct Rig {
    explicit Rig(int variant = 0) : dev(qxsim::Q1Ups::kSantak), item(41, 0x304) {
        ch.SetResponder([this](const Bytes& req) {
            std::string out = dev.Feed(std::string(req.begin(), req.end()));
            return Bytes(out.begin(), out.end());
        });
        item.Name("UPS-S").Port(3).Addr(1).Variant(variant).Ser(&ch);
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll() { return h.DataGet(&ch, 1, 0); }
    std::string Sent(size_t i) {
        const std::vector<Bytes>& w = ch.Written();
        return i < w.size() ? std::string(w[i].begin(), w[i].end()) : "<none>";
    }

    qxsim::Q1Ups dev;
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    CSMUpsSANTAK h;
};

struct Expect {
    int fld;
    int value;
};

void ExpectFields(CSMUpsTbUps& h, const std::vector<Expect>& want, const std::string& what) {
    for (const Expect& e : want) EXPECT_EQ(e.value, h.DataVal(e.fld)) << what << " field " << e.fld;
}

std::string H(const std::string& s) { return Hex(s); }

}  // namespace

// ---------------------------------------------------------------- construction

TEST(Santak, TypeNoteCountsAndBatteryDefaults) {
    CSMUpsSANTAK h;
    EXPECT_EQ(0x304, h.GetType());
    EXPECT_STREQ("RE-RIRA", h.GetNote());
    EXPECT_EQ(35, h.DataSize());
    EXPECT_EQ(1000, h.DataVal(kUpsPbatt));
    EXPECT_EQ(120, h.DataVal(kUpsMbatt));
    EXPECT_EQ(0, h.DataVal(0));
    EXPECT_EQ(0, h.DataVal(kUpsVin1));
    EXPECT_EQ(-1, h.DataVal(36));
    EXPECT_EQ(-1, h.DataVal(-1));
    // Texts are handed out as their address: the handler lives where an int reaches.
    std::unique_ptr<CSMUpsSANTAK> heap(new CSMUpsSANTAK);
    qxtest::ScriptChannel ch;
    ch.Reply(std::string(
        "(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 01.2 100 \r"));
    ASSERT_EQ(1, heap->DataGet(&ch, 1, 0));
    ASSERT_NE(-1, heap->DataVal(kUpsCompany));
    EXPECT_STREQ("", qxhost::TextOfVal(heap->DataVal(kUpsCompany)));
    EXPECT_STREQ("", qxhost::TextOfVal(heap->DataVal(kUpsVersion)));
}

// ---------------------------------------------------------------- polls

TEST(SantakPoll, EachVariantsRequestAndDecode) {
    struct Case {
        int variant;
        std::vector<std::string> sent;
        std::vector<Expect> fields;
    } cases[] = {
        {0, {"Q2\r\n"},
         {{kUpsVin1, 2200}, {kUpsVin2, 2210}, {kUpsVin3, 2190}, {kUpsV1, 0}, {kUpsVout, 2200},
          {kUpsAout, 12}, {kUpsAed, 40}, {kUpsFout, 500}, {kUpsVbatt, 274}, {kUpsTem, 300},
          {kUpsStatus, 8}, {kUpsB3, 1}, {kUpsB7, 0}, {kUpsMbatt, 120}, {kUpsPbatt, 100},
          {kUpsFin, 0}, {kUpsPout, 0}}},
        {1, {"Q6\r\n", "WA\r\n"},
         {{kUpsVin1, 2200}, {kUpsFin, 500}, {kUpsVout, 2200}, {kUpsFout, 50}, {kUpsAout, 12},
          {kUpsAed, 40}, {kUpsVbatt, 274}, {kUpsMbatt, 45}, {kUpsPbatt, 100}, {kUpsTem, 0},
          {kUpsStatus, 16}, {kUpsB4, 1}, {kUpsB3, 0}}},
        {2, {"Q3GS\r"},
         {{kUpsVin1, 2200}, {kUpsVin3, 2190}, {kUpsFin, 500}, {kUpsFout, 50}, {kUpsAout, 12},
          {kUpsAed, 40}, {kUpsVbatt, 274}, {kUpsStatus, 9}, {kUpsB3, 1}, {kUpsB0, 1},
          {kUpsMbatt, 0}, {kUpsPbatt, 0}}},
        {3, {"QA\r"},
         {{kUpsVin1, 2200}, {kUpsVout, 2200}, {kUpsAout, 12}, {kUpsFout, 500}, {kUpsVbatt, 274},
          {kUpsTem, 0}, {kUpsStatus, 8}, {kUpsMbatt, 120}, {kUpsPbatt, 100}}},
        // Any other variant: tokens 1..10 as the first form, the 11th the battery voltage.
        {7, {"Q2\r\n"},
         {{kUpsVin1, 2200}, {kUpsAout, 12}, {kUpsAed, 40}, {kUpsVbatt, 500}, {kUpsFout, 0},
          {kUpsStatus, 0}, {kUpsMbatt, 0}, {kUpsPbatt, 0}}},
        {-1, {"Q2\r\n"}, {{kUpsVin1, 2200}, {kUpsVbatt, 500}}},
    };
    for (const Case& c : cases) {
        Rig r(c.variant);
        const std::string what = "variant " + std::to_string(c.variant);
        ASSERT_EQ(1, r.Poll()) << what;
        ASSERT_EQ(c.sent.size(), r.ch.Written().size()) << what;
        for (size_t i = 0; i < c.sent.size(); i++) EXPECT_EQ(c.sent[i], r.Sent(i)) << what;
        ExpectFields(r.h, c.fields, what);
        // Never read from this UPS: rated values and texts.
        ExpectFields(r.h, {{kUpsVed, 0}, {kUpsVAed, 0}, {kUpsVdc, 0}, {kUpsFed, 0}}, what);
        EXPECT_STREQ("", r.h.m_rec.company) << what;
        EXPECT_STREQ("", r.h.m_rec.version) << what;
        EXPECT_EQ(300, g_sleeps.at(0)) << what;
        if (c.variant == 1) {
            EXPECT_EQ(150, g_sleeps.at(1));
        }
    }
}

TEST(SantakPoll, WithoutACurrentPointTheFirstFormIsAsked) {
    Rig r(3);
    CSMUpsSANTAK h;
    ASSERT_EQ(1, h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ("Q2\r\n", r.Sent(0));
    EXPECT_EQ(2200, h.DataVal(kUpsVin1));
}

TEST(SantakPoll, RefusedRepliesChangeNothing) {
    struct Case {
        int variant;
        const char* reply;  // null: silence
        const char* what;
    } cases[] = {
        {0, nullptr, "silence"},
        {0, "", "empty"},
        {0, "220.0 221.0\r", "no ("},
        {0, "(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 01.2 100 ",
         "no CR"},
        {0, "(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 01.2 100\r",
         "no blank after the last token"},
        {0, "(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 0000100 01.2 100 \r",
         "seven status characters"},
        {3, "(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 1 2 000 01.2 100 \r",
         "three status characters"},
        {2, "(220.0 221.0 219.0 50.0 220.0 000.0 000.0 50 012 040 000 1 2 3 27.4 0 0000\r",
         "status cut short at the end"},
        {2, "(220.0 221.0 219.0 50.0 220.0\r", "five tokens"},
        {0, "(inf 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 01.2 100 \r",
         "an infinite number"},
        {0, "(9e300 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 01.2 100 \r",
         "a number beyond int"},
        {1, "(220.0 221.0 219.0 50.0 220.0 000.0 000.0 50 012 040 000 27.4 000 045 100\r",
         "variant 1 without the last blank"},
    };
    for (const Case& c : cases) {
        Rig r(c.variant);
        r.item.Variant(0);
        ASSERT_EQ(1, r.Poll());
        r.item.Variant(c.variant);
        if (c.reply) r.ch.Reply(std::string(c.reply));
        else r.ch.Silence();
        EXPECT_EQ(0, r.Poll()) << c.what;
        ExpectFields(r.h, {{kUpsVin1, 2200}, {kUpsTem, 300}, {kUpsStatus, 8}, {kUpsPbatt, 100}},
                     c.what);
    }
}

TEST(SantakPoll, Q3gsStatusMayCloseTheReply) {
    Rig r(2);
    r.ch.Reply(std::string("(1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 10000001\r"));
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, {{kUpsB7, 1}, {kUpsB6, 0}, {kUpsB1, 0}, {kUpsB0, 1}, {kUpsStatus, 129},
                       {kUpsVin1, 10}, {kUpsFout, 8}, {kUpsVbatt, 150}},
                 "q3gs");
}

TEST(SantakPoll, StatusCharactersAreFlagsUnlessZero) {
    struct Case {
        const char* chars;
        int status;
    } cases[] = {{"10000001", 129}, {"00000000", 0}, {"11111111", 255}, {"0A0x0001", 81},
                 {"0A0 0x01", 0}};
    for (const Case& c : cases) {
        Rig r(3);
        std::string reply = "(1 2 3 4 5 6 7 8 9 10 11 12 13 14 " + std::string(c.chars) + " 1 2 \r";
        r.ch.Reply(reply);
        // A blank inside the eight characters ends the token: it is too short.
        const bool complete = strchr(c.chars, ' ') == nullptr;
        EXPECT_EQ(complete ? 1 : 0, r.Poll()) << c.chars;
        if (complete) {
            EXPECT_EQ(c.status, r.h.DataVal(kUpsStatus)) << c.chars;
        }
    }
}

TEST(SantakPoll, WaFlags) {
    struct Case {
        const char* wa;  // null: silence
        int result;
        int status;
    } cases[] = {
        {"(00010000\r", 1, 16},
        {"(231.0 232.0 10000001\r", 1, 129},
        {nullptr, 0, 0},
        {"(0001000\r", 0, 0},    // seven characters: the "(" is no flag
        {"00010000\r", 0, 0},    // no "("
        {"(00010000", 0, 0},     // no CR
    };
    for (const Case& c : cases) {
        Rig r(1);
        r.ch.Reply(r.dev.replies["Q6"]);
        if (c.wa) r.ch.Reply(std::string(c.wa));
        else r.ch.Silence();
        EXPECT_EQ(c.result, r.Poll()) << (c.wa ? c.wa : "silence");
        EXPECT_EQ(c.status, r.h.DataVal(kUpsStatus));
        // The values of the first reply are kept either way.
        EXPECT_EQ(2200, r.h.DataVal(kUpsVin1));
        EXPECT_EQ(45, r.h.DataVal(kUpsMbatt));
    }
}

TEST(SantakPoll, ClosedChannelOrShortWrite) {
    Rig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    r.ch.ShortWrite(2);
    EXPECT_EQ(0, r.Poll());
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(1u, r.ch.Written().size());
}

TEST(SantakPoll, InputLeftFromAnEarlierAnswerIsNotTakenForTheReply) {
    Rig r;
    // The head of an answer that came too late: read with the reply, it would shift the
    // tokens and store wrong values.
    r.ch.Inject(qxtest::TextBytes("(231.0 9"));
    ASSERT_EQ(1, r.Poll());
    ExpectFields(r.h, {{kUpsVin1, 2200}, {kUpsVin2, 2210}, {kUpsPbatt, 100}}, "stale input");
}

TEST(SantakPoll, AReplyInPiecesIsGathered) {
    Rig r;
    const std::string q2 = r.dev.replies["Q2"];
    r.ch.ReplyChunks({qxtest::TextBytes(q2.substr(0, 20)), qxtest::TextBytes(q2.substr(20))});
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(100, r.h.DataVal(kUpsPbatt));
}

// ---------------------------------------------------------------- command and display keys

TEST(SantakCommand, OnlyTheBeeperCommandIsSent) {
    struct Case {
        int command;
        bool shortWrite;
        int result;
        const char* sent;
    } cases[] = {
        {1, false, 1, "Q\r"}, {1, true, 0, "Q\r"}, {2, false, 0, nullptr}, {0, false, 0, nullptr},
        {8000, false, 0, nullptr},
    };
    for (const Case& c : cases) {
        Rig r;
        if (c.shortWrite) r.ch.ShortWrite(1);
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.command, nullptr, 0)) << c.command;
        if (c.sent) EXPECT_EQ(c.sent, r.Sent(0));
        else EXPECT_TRUE(r.ch.Written().empty()) << c.command;
    }
    Rig r;
    EXPECT_EQ(1, r.h.DoFunc(1, nullptr, 0)) << "through the point's channel";
    EXPECT_EQ(std::vector<std::string>{"Q"}, r.dev.commands);
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 1, nullptr, 0));
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 1, nullptr, 0));
}

TEST(SantakVarEval, Keys) {
    Rig r;
    r.ch.Reply(std::string(
        "(220.4 221.0 219.0 7 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 01.2 100 \r"));
    ASSERT_EQ(1, r.Poll());
    struct Case {
        const char* key;
        const char* out;
    } cases[] = {
        {".Vin", "220.4"}, {".Vout", "220.0"}, {".Fout", "50.0"}, {".Aout", "1.2"},
        {".Pout", "0.0"},  {".B3", "1"},       {".B7", "0"},      {".status", "8"},
        {".Tem", "300"},   {".Vbatt", "274"},  {".Pbatt", "100"}, {".Aed", "40"},
        {".Vfault", "70"}, {".company", ""},   {".VAed", "0"},
    };
    for (const Case& c : cases) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s", c.key);
        EXPECT_EQ((int)strlen(c.out), r.h.VarEval(buf)) << c.key;
        EXPECT_STREQ(c.out, buf) << c.key;
    }
    for (const char* k : {".Vin1", ".Vin2", ".Mbatt", ".v2", ".vin"}) {
        char buf[32];
        snprintf(buf, sizeof buf, "%s", k);
        EXPECT_EQ(-1, r.h.VarEval(buf)) << k;
        EXPECT_STREQ(k, buf);
    }
}

// ---------------------------------------------------------------- storing

namespace {

struct DbRig : Rig {
    DbRig() : Rig(0), other(42, 0x304) {
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        other.Port(4).Addr(2).Variant(0);
        EXPECT_EQ(1, h.ChkDb(item));
        EXPECT_EQ(1, h.ChkDb(other));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(41,772,-1)");
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(42,772,-1)");
    }
    // Stores a poll of point item: good (bits) or without answer.
    int Upd(qxhost::PointItem& p, bool answered, int flags = 0) {
        h.DoItem(p, 0);
        int bits[2] = {0, 0};
        return h.DataUpd(flags, answered ? bits : nullptr, nullptr, -1, &hist);
    }
    long long State(int sid) {
        return db.Int("select State from tbUps where SID=" + std::to_string(sid));
    }
    std::string Brief(int sid) {
        return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid));
    }

    TestDb db, hist;
    qxhost::PointItem other;
};

}  // namespace

TEST(SantakDb, RegistersTypeAndSixteenRows) {
    TestDb db;
    CSMUpsSANTAK h;
    h.RegDb(&db, 0);
    EXPECT_EQ("772|768", db.Str("select Type||'|'||Kind from tbSMType"));
    EXPECT_EQ(H("UPS RE-RIRA"), H(db.Str("select Name from tbSMType")));
    EXPECT_EQ(H("山特UPS..."), H(db.Str("select Note from tbSMType")));
    EXPECT_EQ("1,4,5,6,7,8,11,12,13,14,15,16,17,18,19,20",
              db.Str("select group_concat(Fld) from (select Fld from tbSMDef order by rowid)"));
    EXPECT_EQ(H("b4 UPS故障"), H(db.Str("select Note from tbSMDef where Fld=14")));
}

TEST(SantakDb, APollIsStoredInEveryTable) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Upd(r.item, true));
    EXPECT_EQ("0|2200|2210|2190|2200|12|500|274|100|300|8|1|40|0|0|0|0|120|||",
              r.db.Str("select State||'|'||Vin1||'|'||Vin2||'|'||Vin3||'|'||Vout||'|'||Aout||'|'||"
                       "Fout||'|'||Vbatt||'|'||Pbatt||'|'||Tem||'|'||status||'|'||b3||'|'||Aed||"
                       "'|'||v1||'|'||v2||'|'||v3||'|'||v4||'|'||Mbatt||'|'||company||'|'||mode||"
                       "'|'||version from tbUps where SID=41"));
    EXPECT_EQ("<null>", r.db.Str("select Pout from tbUps where SID=41")) << "never written";
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(H("输入电压1:220.0V,输入电压2:221.0V,输入电压3:219.0V"), H(r.Brief(41)));
    EXPECT_EQ("2200|120|0", r.hist.Str("select Vin1||'|'||Mbatt||'|'||State from tbUps"));
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
}

TEST(SantakDb, PollsWithoutAnswerAreWrittenTheThirdTimeAlarmsAtOnce) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Upd(r.item, true));
    ASSERT_EQ(1, r.Poll());
    // Withheld twice, written the third time: state 2 and a row of zeros.
    EXPECT_EQ(0, r.Upd(r.item, false));
    EXPECT_EQ(0, r.State(41));
    EXPECT_EQ(0, r.h.DataVal(kUpsVin1)) << "cleared even when withheld";
    EXPECT_EQ(0, r.Upd(r.item, false));
    EXPECT_EQ(1, r.Upd(r.item, false));
    EXPECT_EQ(2, r.State(41));
    EXPECT_EQ("0|0|0", r.db.Str("select Vin1||'|'||Pbatt||'|'||Mbatt from tbUps where SID=41"));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SID=41"));
    // And again on the sixth; a normal state at once.
    EXPECT_EQ(0, r.Upd(r.item, false));
    EXPECT_EQ(0, r.Upd(r.item, false));
    EXPECT_EQ(1, r.Upd(r.item, false));
    EXPECT_EQ(0, r.Upd(r.item, false));
    EXPECT_EQ(1, r.Upd(r.item, true));
    EXPECT_EQ(0, r.State(41));
    // An alarm is written at once, every time: an alarm of one poll is stored too. The flag
    // reports it with or without an answer.
    EXPECT_EQ(1, r.Upd(r.item, true, 1));
    EXPECT_EQ(1, r.State(41));
    EXPECT_EQ(1, r.Upd(r.item, false, 1));
    EXPECT_EQ(1, r.Upd(r.item, true));
    EXPECT_EQ(0, r.State(41));
    // A poll without answer after an alarm is held back as after a normal one.
    EXPECT_EQ(0, r.Upd(r.item, false));
    EXPECT_EQ(0, r.State(41));
}

TEST(SantakDb, ADeadUpsBesideAHealthyOneIsReported) {
    DbRig r;
    // Point 41 is silent, point 42 answers; they are polled in turn.
    for (int round = 0; round < 3; round++) {
        EXPECT_EQ(round == 2 ? 1 : 0, r.Upd(r.item, false)) << round;
        EXPECT_EQ(1, r.Upd(r.other, true)) << round;
    }
    EXPECT_EQ(2, r.State(41));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(0, r.State(42));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=42"));
}

TEST(SantakDb, SummaryAlarmCaptionsAreEscapedAndBounded) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    int bits[2] = {0, 0};
    bits[0] = 1 << (kUpsB7 - 1) | 1 << (kUpsB4 - 1);
    r.db.Run("update tbSMDef set Note='mains''s fault' where Type=772 and Fld=11");
    r.h.DoItem(r.item, 0);
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(H("输入电压1:220.0V,输入电压2:221.0V,输入电压3:219.0V告警:mains's fault b4 UPS故障"),
              H(r.Brief(41)));

    // Captions far longer than a summary: whole captions only, and the statement still runs.
    const std::string longNote(600, 'x');
    r.db.Run("update tbSMDef set Note='" + longNote + "' where Type=772");
    bits[0] = 1 << (kUpsB7 - 1) | 1 << (kUpsB6 - 1) | 1 << (kUpsB5 - 1) | 1 << (kUpsB4 - 1);
    const int dropped = qx::sql::Dropped();
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(dropped, qx::sql::Dropped());
    const std::string brief = r.Brief(41);
    EXPECT_EQ(H("输入电压1:220.0V,输入电压2:221.0V,输入电压3:219.0V告警:") + H(longNote), H(brief));
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
}

TEST(SantakDb, WithoutACurrentPoint) {
    DbRig r;
    ASSERT_EQ(1, r.Poll());
    CSMUpsSANTAK bare;
    bare.SetDb(&r.db, 0);
    int bits[2] = {0, 0};
    EXPECT_EQ(0, bare.DataUpd(0, bits, nullptr, -1, nullptr)) << "no sid to store";
    EXPECT_EQ(1, bare.DataUpd(0, bits, nullptr, 41, nullptr));
    EXPECT_EQ(0, r.State(41));
    EXPECT_EQ(-1, r.db.Int("select State from tbSubSysDetail where SID=41"))
        << "the point's state row needs its type";
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
}
