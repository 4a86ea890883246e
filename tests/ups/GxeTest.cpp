// The GXE UPS with its own table tbUpsGXE: requests, decode of the raw values, the replies it
// refuses, its display keys and what it stores. The unit is the simulator's model behind a
// scripted channel.
#include <string.h>

#include <string>
#include <vector>

#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "YdtDevice.h"
#include "YdRefusals.h"
#include "YdtUps.h"
#include "gtest/gtest.h"
#include "ups/SMUpsGXE.h"

using qxtest::Bytes;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

struct Gxe {
    Gxe() : dev(1, 0x2A, 0x21), item(41, 0x314) {
        qxsim::SetGxe(dev, qxsim::GxeFigures());
        item.Name("UPS-G").Port(1).Addr(1).Ser(&ch);
        ch.SetResponder([this](const Bytes& req) { return dev.Handle(req); });
        h.DoItem(item, 0);
        g_sleeps.clear();
    }
    int Poll(int wait = 0, int adr = 1) { return h.DataGet(&ch, adr, wait); }
    int Val(int fld) { return h.DataVal(fld); }

    qxsim::YdtDevice dev;
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    CSMUpsGXE h;
};

const char* const kNames[31] = {
    "VinA", "VinB", "VinC", "VoutA", "VoutB", "VoutC", "BV", "IoutA", "IoutB", "IoutC", "BI",
    "AVin", "Pout", "Pin", "APout", "RPout", "Lodaout", "BP", "ibatt", "Mbatt", "iTem",
    "userDefNum", "powerType", "userDefStatusNum", "powerStatus2", "battCharge", "battCheck",
    "battCheck2", "VbattAlam", "battMaintain", "powerStatus",
};
// The table as the host's tools know it.
const char kCreate[] =
    "create table tbUpsGXE(DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,"
    "Addr INTEGER,DateUpd DATETIME,State INTEGER,SnapID INTEGER,VinA INTEGER,VinB INTEGER,"
    "VinC INTEGER,VoutA INTEGER,VoutB INTEGER,VoutC INTEGER,BV INTEGER,IoutA INTEGER,"
    "IoutB INTEGER,IoutC INTEGER,BI INTEGER,AVin INTEGER,Pout INTEGER,Pin INTEGER,"
    "APout INTEGER,RPout INTEGER,Lodaout INTEGER,BP INTEGER,ibatt INTEGER,Mbatt INTEGER,"
    "iTem INTEGER,userDefNum INTEGER,powerType INTEGER,userDefStatusNum INTEGER,"
    "powerStatus2 INTEGER,battCharge INTEGER,battCheck INTEGER,battCheck2 INTEGER,"
    "VbattAlam INTEGER,battMaintain INTEGER,powerStatus INTEGER)";
// The simulator's default figures, field by field.
const int kDefault[31] = {2300, 2301, 2302, 2200, 2201, 2202, 2720, 1050, 1051, 1052, 15,
                          11,   500,  499,  4000, 300,  4567, 98,   3,    120,  255,  4,
                          1,    2,    3,    4,    5,    6,    7,    8,    9};

}  // namespace

TEST(Gxe, TypeNoteAndRequests) {
    Gxe r;
    EXPECT_EQ(0x314, r.h.GetType());
    EXPECT_STREQ("QX-GXE", r.h.GetNote());
    EXPECT_EQ(35, r.h.DataSize());
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(2u, r.ch.Written().size());
    const struct {
        size_t i;
        const char* frame;
    } cases[] = {{0, "~21012A420000FDA3\r"}, {1, "~21012A430000FDA2\r"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.frame, std::string(r.ch.Written()[c.i].begin(), r.ch.Written()[c.i].end()));
    EXPECT_EQ(std::vector<int>(2, 100), g_sleeps);
    for (int wait : {1, 250}) {
        g_sleeps.clear();
        ASSERT_EQ(1, r.Poll(wait));
        EXPECT_EQ(std::vector<int>(2, wait), g_sleeps);
    }
}

TEST(Gxe, EveryFieldRawFromItsColumn) {
    Gxe r;
    ASSERT_EQ(1, r.Poll());
    for (int f = 1; f <= 31; f++) EXPECT_EQ(kDefault[f - 1], r.Val(f)) << kNames[f - 1];
    EXPECT_EQ(0, r.Val(0));
    EXPECT_EQ(-1, r.Val(32));
    EXPECT_EQ(-1, r.Val(-1));

    // 08FC at column 15: 2300; the widest values; bytes as bytes.
    qxsim::GxeFigures f;
    f.vin[0] = 0x08FC;
    f.mbatt = 0xFFFF;
    f.ibatt = 0xFF;
    f.state[8] = 0xE1;
    qxsim::SetGxe(r.dev, f);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(2300, r.Val(1));
    EXPECT_EQ(65535, r.Val(20));
    EXPECT_EQ(255, r.Val(19));
    EXPECT_EQ(0xE1, r.Val(31));
}

TEST(Gxe, DisplayKeysAreTheExactNamesUnscaled) {
    Gxe r;
    ASSERT_EQ(1, r.Poll());
    for (int f = 1; f <= 31; f++) {
        char text[64];
        snprintf(text, sizeof text, ".%s", kNames[f - 1]);
        const std::string want = std::to_string(kDefault[f - 1]);
        EXPECT_EQ((int)want.size(), r.h.VarEval(text)) << kNames[f - 1];
        EXPECT_EQ(want, text);
    }
    for (const char* other : {".vina", ".VINA", "VinA", ".VinA ", ".Vin", ".", ""}) {
        char text[32];
        snprintf(text, sizeof text, "%s", other);
        EXPECT_EQ(-1, r.h.VarEval(text)) << other;
        EXPECT_STREQ(other, text) << "left unchanged";
    }
    EXPECT_EQ(-1, r.h.VarEval(nullptr));
}

// A refused CID2 42 reply leaves the previous record; a refused CID2 43 the analog values of
// this poll with the state bytes 0. Either fails the poll.
TEST(Gxe, RefusedRepliesFailThePoll) {
    for (const qxtest::YdRefusal& c : qxtest::YdRefusals()) {
        for (int at : {0, 1}) {
            Gxe r;
            ASSERT_EQ(1, r.Poll());
            r.h.m_rec.num[0] = 1234;
            r.h.m_rec.state[8] = 77;
            if (at) r.dev.FaultOnce(qxsim::YdtFault::None);
            r.dev.FaultOnce(c.fault, c.param);
            EXPECT_EQ(0, r.Poll()) << c.what << " at " << at;
            if (at == 0) {
                EXPECT_EQ(1234, r.Val(1)) << c.what;
                EXPECT_EQ(77, r.Val(31)) << c.what;
                EXPECT_EQ(3u, r.ch.Written().size()) << c.what << ": nothing asked after it";
            } else {
                EXPECT_EQ(2300, r.Val(1)) << c.what;
                for (int f = 23; f <= 31; f++) EXPECT_EQ(0, r.Val(f)) << c.what << " " << f;
            }
        }
    }
}

TEST(Gxe, ReplyMustCoverEveryColumnRead) {
    const struct {
        int cid2;
        int need;  // the first character after the last one read
    } cases[] = {{0x42, 99}, {0x43, 33}};
    for (const auto& c : cases) {
        Gxe r;
        r.dev.SetInfo(c.cid2, std::string((size_t)(c.need - 13 - 2), '0'));
        EXPECT_EQ(0, r.Poll()) << c.cid2;
        r.dev.SetInfo(c.cid2, std::string((size_t)(c.need - 13), '0'));
        EXPECT_EQ(1, r.Poll()) << c.cid2;
    }
}

TEST(Gxe, NoAddressBeyondOneByteNoCommandNoClosedChannel) {
    Gxe r;
    EXPECT_EQ(0, r.Poll(0, 256));
    EXPECT_EQ(0, r.Poll(0, -1));
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    int minutes = 5;
    for (int cmd : {0, 1, 8000, 8001}) EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, cmd, &minutes, 4));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    EXPECT_TRUE(r.ch.Written().empty());
}

// ---------------------------------------------------------------- storing

namespace {

struct GxeDb : Gxe {
    GxeDb() {
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        EXPECT_EQ(1, h.ChkDb(item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(41,788,-1)");
    }
    int Upd(bool answered, int* bits = nullptr) {
        int none[2] = {0, 0};
        return h.DataUpd(0, answered ? (bits ? bits : none) : nullptr, nullptr, -1, &hist);
    }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=41"); }
    TestDb db, hist;
};

std::string Concat(const char* table) {
    std::string cols;
    for (const char* n : kNames) cols += std::string(cols.empty() ? "" : "||'|'||") + n;
    return std::string("select ") + cols + " from " + table + " where SID=41 order by DID desc";
}

}  // namespace

TEST(GxeDb, TypeRowAndElevenRowsVoltsAndHertzInTenths) {
    TestDb db;
    CSMUpsGXE h;
    h.RegDb(&db, 0);
    EXPECT_EQ(Hex("UPS QX-GXE|768|UPS GXE..."),
              Hex(db.Str("select Name||'|'||Kind||'|'||Note from tbSMType where Type=788")));
    EXPECT_EQ("1,2,3,14,4,5,6,8,9,10,13",
              db.Str("select group_concat(Fld) from (select Fld from tbSMDef order by rowid)"));
    // Voltages and frequencies in tenths (the limits 2000 and 2350 are 200.0 V and 235.0 V), the
    // output currents in hundredths.
    EXPECT_EQ("10,10,10,10,10,10,10,100,100,100,10",
              db.Str("select group_concat(Ratio) from (select Ratio from tbSMDef order by rowid)"));
    const struct {
        int fld;
        const char* row;
    } rows[] = {
        {14, "Pin|输入频率|10|0|490|最小值|允许最低输入频率,低于此值告警|510|"
             "最大值|允许最高输入频率,超过此值告警"},
        {13, "Pout|输出频率|10|0|490|最小值|允许最低输出频率,低于此值告警|2350|"
             "最大值|允许最高输出频率,超过此值告警"},
        {1, "VinA|输入电压A|10|6|2000|最小值|允许最低输入电压,低于此值告警|2350|"
            "最大值|允许最高输入电压,超过此值告警"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(Hex(r.row),
                  Hex(db.Str("select FldName||'|'||Note||'|'||Ratio||'|'||AlmKind||'|'||vref||"
                             "'|'||LoText||'|'||HiLmt||'|'||HiText from tbSMDef where Fld=" +
                             std::to_string(r.fld))))
            << r.fld;
}

TEST(GxeDb, TableInBothDatabasesAndItsRows) {
    GxeDb r;
    EXPECT_EQ(1, r.db.TableExists("tbUpsGXE"));
    EXPECT_EQ(1, r.hist.TableExists("tbUpsGXE"));
    // The columns as the host's tools know them, in both databases.
    const std::string columns = strchr(kCreate, '(');
    for (TestDb* d : {&r.db, &r.hist}) {
        const std::string sql = d->Str("select sql from sqlite_master where name='tbUpsGXE'");
        EXPECT_EQ(columns, sql.substr(sql.find('(')));
    }
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Upd(true));
    std::string want;
    for (int v : kDefault) want += std::string(want.empty() ? "" : "|") + std::to_string(v);
    EXPECT_EQ(want, r.db.Str(Concat("tbUpsGXE")));
    EXPECT_EQ(want, r.hist.Str(Concat("tbUpsGXE")));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbUpsGXE"));
    EXPECT_EQ(0, r.db.Int("select State from tbUpsGXE where SID=41"));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=41"));
    // Tenths of a volt, the load in whole percent.
    EXPECT_EQ(Hex("输入电压:230.0V, 输出电压:220.0V, 输出负载:45%"), Hex(r.Brief()));
    int bits[2] = {1 << 0, 0};
    ASSERT_EQ(1, r.Upd(true, bits));
    EXPECT_EQ(Hex("输入电压:230.0V, 输出电压:220.0V, 输出负载:45%告警:输入电压A"), Hex(r.Brief()));

    // No answer: state 2, zeros, and a summary that says so with no value read as a reading.
    ASSERT_EQ(1, r.Upd(false));
    EXPECT_EQ(2, r.db.Int("select State from tbUpsGXE where SID=41"));
    EXPECT_EQ(0, r.db.Int("select VinA from tbUpsGXE where SID=41"));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SID=41"));
    EXPECT_EQ(0, r.Val(1));
    const std::string brief = r.Brief();
    EXPECT_EQ(Hex("通讯中断"), Hex(brief));
    EXPECT_EQ(std::string::npos, brief.find("正常"));
    EXPECT_EQ(std::string::npos, brief.find("0.0V"));
    EXPECT_EQ(3, r.hist.Int("select count(*) from tbUpsGXE"));
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
    EXPECT_EQ(0, r.hist.Failures()) << r.hist.Error();
}

TEST(GxeDb, WithoutAMainDatabase) {
    Gxe r;
    TestDb hist;
    r.h.SetDb(&hist, 1);
    EXPECT_EQ(0, r.h.ChkDb(r.item));
    hist.Run(kCreate);
    ASSERT_EQ(1, r.Poll());
    int bits[2] = {0, 0};
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &hist)) << "the history row alone";
    EXPECT_EQ(4567, hist.Int("select Lodaout from tbUpsGXE where SID=41"));
}
