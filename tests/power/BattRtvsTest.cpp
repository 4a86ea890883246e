// The RTVS battery monitor over the scripted channel, answered by the simulated module: its
// frames, the reply offsets, the cell records and their numbering across the channels, the
// bounds on counts and records, and the tbBATTRTVS rows, summary and history of an update.
#include <string.h>

#include <string>
#include <vector>

#include "BattRtvs.h"
#include "HostLimits.h"
#include "TestRig.h"
#include "power/SMBattRTVS.h"

namespace {

using iotest::Bytes;
using qxtest::Hex;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// One handler and point on the scripted channel, answered by a module at address 1.
struct RtvsRig : iotest::Rig<CSMBattRTVS> {
    explicit RtvsRig(int ext1 = 0, int variant = 0) : iotest::Rig<CSMBattRTVS>(7, 0x403) {
        item.Variant(variant).Ext(ext1, 0);
        EXPECT_EQ(1, h.ChkDb(item));
        ch.SetResponder([this](const Bytes& req) { return module.Answer(req); });
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(7,1027,-1)");
    }
    // "State/MAddr/R1/T1/T2/V1/S1/TV" of the point's rows by GlobalId, from first on.
    std::string Rows(TestDb& d, int first = 1) {
        return d.Str("select group_concat(r, ' ') from (select GlobalId||':'||State||'/'||"
                     "ifnull(MAddr,'-')||'/'||ifnull(R1,'-')||'/'||ifnull(T1,'-')||'/'||"
                     "ifnull(T2,'-')||'/'||ifnull(V1,'-')||'/'||ifnull(S1,'-')||'/'||ifnull(TV,'-')"
                     " as r from tbBATTRTVS where SID=7 and GlobalId>=" + std::to_string(first) +
                     " order by GlobalId, DID)");
    }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=7"); }

    qxsim::BattRtvs module{1};
};

std::vector<qxsim::RtvsRecord> Records(int n, uint8_t first = 1) {
    std::vector<qxsim::RtvsRecord> v;
    for (int i = 0; i < n; i++) v.push_back({(uint8_t)(first + i), (uint16_t)(110 + i), 85, 86, 122, 0});
    return v;
}

// ---------------------------------------------------------------- frames and numbering

TEST(BattRtvs, RequestFrames) {
    CSMBattRTVS h;
    const struct {
        uint8_t addr, cmd;
        const char* frame;
    } cases[] = {
        {1, 0xF1, "7E F1 01 00 F2 0D"},
        {1, 0x93, "7E 93 01 00 94 0D"},
        {0x20, 0xE4, "7E E4 20 00 04 0D"},  // the sum keeps its low 8 bits
    };
    for (const auto& c : cases) {
        ASSERT_EQ(6, h.FormatCmd(c.addr, c.cmd, 0));
        EXPECT_EQ(c.frame, Hex(h.m_cmd, 6));
    }
}

TEST(BattRtvs, PointRowsFollowExt1AndStopAtTheArrays) {
    const struct {
        int ext1;
        int rows;
        int lastGid;
    } cases[] = {
        {0, 1, 0},
        {0xA05, 16, 15},                  // channel 1: 5 cells, channel 2: 10
        {0x01000001, 3, 2},               // channels 1 and 4
        {(int)0xFFFFFFFF, 401, 400},      // 4 x 255 cells: cut at the 400 of the arrays
    };
    for (const auto& c : cases) {
        RtvsRig r(c.ext1);
        EXPECT_EQ(c.rows, r.db.Int("select count(*) from tbBATTRTVS where SID=7")) << c.ext1;
        EXPECT_EQ(c.lastGid, r.db.Int("select max(GlobalId) from tbBATTRTVS where SID=7")) << c.ext1;
        EXPECT_EQ(c.rows, r.db.Int("select count(*) from tbBATTRTVS where SID=7 and State=-1 and "
                                   "Type=1027 and Port=2 and Addr=1"));
    }
    // ChkDb again rewrites the rows of the point: a smaller Ext1 leaves fewer.
    RtvsRig r(0xA05);
    r.item.Ext(0x3, 0);
    ASSERT_EQ(1, r.h.ChkDb(r.item));
    EXPECT_EQ(4, r.db.Int("select count(*) from tbBATTRTVS where SID=7"));
}

TEST(BattRtvs, Registration) {
    RtvsRig r;
    EXPECT_EQ(1024, r.db.Int("select Kind from tbSMType where Type=1027"));
    EXPECT_EQ(::Hex(std::string("电池监测 QX-BATTRTVS")), ::Hex(r.db.Str("select Name from tbSMType where Type=1027")));
    EXPECT_EQ(18, r.db.Int("select count(*) from tbSMDef where Type=1027"));
    EXPECT_EQ(-200, r.db.Int("select vref from tbSMDef where Type=1027 and FldName='TI0'"));
    EXPECT_EQ(125, r.db.Int("select HiLmt from tbSMDef where Type=1027 and FldName='TV0'"));
    EXPECT_EQ(-1, r.db.Int("select Cell from tbSMDef where Type=1027 and FldName='Bump'"));
    EXPECT_EQ(nullptr, r.h.Data());
    EXPECT_EQ(2401, r.h.DataSize());
    for (TestDb* db : {&r.db, &r.hist})
        EXPECT_EQ(1, db->Int("select count(*) from sqlite_master where name='tbBATTRTVS'"));
    CSMBattRTVS lone;
    EXPECT_EQ(0, lone.ChkDb(nullptr));
}

// ---------------------------------------------------------------- DataGet

TEST(BattRtvs, PollAsksCurrentsThenEachConfiguredChannel) {
    RtvsRig r(0x0300 | 2);  // channel 1: 2 cells, channel 2: 3
    r.module.SetRecords(0, Records(2, 1));
    r.module.SetRecords(1, Records(3, 11));
    ASSERT_EQ(1, r.Poll());
    std::vector<std::string> sent;
    for (const Bytes& w : r.ch.Written()) sent.push_back(Hex(w));
    const std::vector<std::string> want = {"7E F1 01 00 F2 0D", "7E F2 01 00 F3 0D",
                                           "7E 91 01 00 92 0D", "7E E1 01 00 E2 0D",
                                           "7E 92 01 00 93 0D", "7E E2 01 00 E3 0D"};
    EXPECT_EQ(want, sent);
    EXPECT_EQ(0, r.ch.Purges());
    EXPECT_EQ(std::vector<int>(4, 100), iotest::Sleeps());  // none before the currents
    EXPECT_EQ(2, r.h.DataVal(1));
    EXPECT_EQ(3, r.h.DataVal(2));
    EXPECT_EQ(0, r.h.DataVal(3));
    EXPECT_EQ(535, r.h.DataVal(7));
    EXPECT_EQ(535, r.h.DataVal(8));
    // Cell 2 (GlobalId 3) is channel 2's first: module address 11, resistance 110 - 10.
    EXPECT_EQ(100, r.h.DataVal(11 + 5 * 2));
    EXPECT_EQ(11, r.h.m_v.maddr[2]);
    EXPECT_EQ(102, r.h.DataVal(11 + 5 * 4));
}

TEST(BattRtvs, ValuesAndTheirAdjustments) {
    const struct {
        const char* what;
        uint16_t curr;
        qxsim::RtvsRecord rec;
        int current, res, t1, t2, volt, bulge, state;
    } cases[] = {
        {"charging", 0x0064, {1, 250, 85, 0, 122, 0}, 100, 240, 25, 0, 122, 0, 0},
        {"discharging", 0x1064, {1, 0, 0, 85, 130, 0x21}, -100, 0, 0, 25, 130, 1, 0},
        {"sign in the top nibble", 0x8FFF, {1, 10, 60, 60, 0, 0}, -4095, 0, 0, 0, 0, 0, 2},
        {"all-zero record", 0xF000, {9, 0, 0, 0, 0, 0}, 0, 0, 0, 0, 0, 0, 2},
    };
    for (const auto& c : cases) {
        RtvsRig r(1);
        r.module.SetCurrent(0, c.curr);
        r.module.SetRecords(0, {c.rec});
        ASSERT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(c.current, r.h.DataVal(5)) << c.what;
        EXPECT_EQ(-50, r.h.DataVal(6)) << c.what;
        EXPECT_EQ(c.res, r.h.DataVal(11)) << c.what;
        EXPECT_EQ(c.t1, r.h.DataVal(12)) << c.what;
        EXPECT_EQ(c.t2, r.h.DataVal(13)) << c.what;
        EXPECT_EQ(c.volt, r.h.DataVal(14)) << c.what;
        EXPECT_EQ(c.bulge, r.h.DataVal(15)) << c.what;
        EXPECT_EQ(c.state, r.h.m_v.state[0]) << c.what;
    }
}

TEST(BattRtvs, DataOffsetByLeadAndVariant) {
    // Variant 0 reads module currents and cells one byte further; the channel voltage never.
    const struct {
        const char* what;
        int variant;
        const char* currReply;
        int current;
    } cases[] = {
        {"'~', Variant 0", 0, "7E F1 01 00 00 64 56 0D", 100},
        {"'~', Variant 1", 1, "7E F1 01 00 64 56 0D", 100},
        {"no '~', Variant 0", 0, "F1 01 00 00 64 56 0D", 100},
        {"no '~', Variant 1", 1, "F1 01 00 64 56 0D", 100},
        {"five bytes: no word", 1, "7E F1 01 00 0D", 0},
    };
    for (const auto& c : cases) {
        RtvsRig r(0, c.variant);
        r.ch.Reply(HexBytes(c.currReply)).Reply(HexBytes(c.currReply));
        ASSERT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(c.current, r.h.DataVal(5)) << c.what;
    }
    // Cells of a point with Variant 1 start right after the command byte.
    RtvsRig r(1, 1);
    r.module.SetStepped(false);
    r.module.SetRecords(0, {{3, 250, 85, 86, 122, 1}});
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(3, r.h.m_v.maddr[0]);
    EXPECT_EQ(240, r.h.DataVal(11));
    EXPECT_EQ(1, r.h.DataVal(15));
}

TEST(BattRtvs, RefusedRepliesEndThePoll) {
    const struct {
        const char* what;
        qxsim::RtvsFault fault;
        int param;
        int onRequest;  // 0-based request the fault hits
        size_t written;
    } cases[] = {
        {"module current without CR", qxsim::RtvsFault::NoCr, -1, 0, 1},
        {"second module current short", qxsim::RtvsFault::Short, 3, 1, 2},
        {"channel voltage short", qxsim::RtvsFault::Short, 3, 2, 3},
        {"channel voltage silent", qxsim::RtvsFault::Silence, -1, 2, 3},
    };
    for (const auto& c : cases) {
        RtvsRig r(2);
        ASSERT_EQ(1, r.Poll()) << c.what;
        const size_t before = r.ch.Written().size();
        for (int i = 0; i < c.onRequest; i++) r.module.FaultOnce(qxsim::RtvsFault::None);
        r.module.FaultOnce(c.fault, c.param);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(c.written, r.ch.Written().size() - before) << c.what;
        // The values of the earlier poll are gone; those read before the refusal stay.
        EXPECT_EQ(c.onRequest == 0 ? 0 : 100, r.h.DataVal(5)) << c.what;
        EXPECT_EQ(0, r.h.DataVal(7)) << c.what;
    }
    // A channel voltage without CR is taken; a short write ends the poll.
    RtvsRig r(2);
    r.module.FaultOnce(qxsim::RtvsFault::None, -1);
    r.module.FaultOnce(qxsim::RtvsFault::None, -1);
    r.module.FaultOnce(qxsim::RtvsFault::NoCr, -1);
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ(535, r.h.DataVal(7));
    RtvsRig w(2);
    w.ch.ShortWrite(5);
    EXPECT_EQ(0, w.Poll());
    EXPECT_EQ(1u, w.ch.Written().size());
    // An address beyond the address byte sends nothing; a closed or missing channel neither.
    RtvsRig a(2);
    EXPECT_EQ(0, a.h.DataGet(&a.ch, 0x101, 0));
    EXPECT_EQ(0, a.h.DataGet(nullptr, 1, 0));
    a.ch.SetOpen(false);
    EXPECT_EQ(0, a.h.DataGet(&a.ch, 1, 0));
    EXPECT_TRUE(a.ch.Written().empty());
}

TEST(BattRtvs, CellRepliesShortOfTheChannel) {
    // Channel 1: 5 cells; channel 2: 2 cells whose records must stay theirs.
    const struct {
        const char* what;
        qxsim::RtvsFault fault;
        int param;
        int read;  // records taken from channel 1's reply
    } cases[] = {
        {"whole", qxsim::RtvsFault::None, -1, 5},
        {"three records of five", qxsim::RtvsFault::FewerRecords, 2, 3},
        // 3 + 7 * 3 + 4 bytes: the fourth record is cut inside; only three arrived whole.
        {"cut inside a record", qxsim::RtvsFault::Short, 3 + 7 * 3 + 4, 3},
        {"eight bytes: no records", qxsim::RtvsFault::Short, 8, 0},
    };
    for (const auto& c : cases) {
        RtvsRig r(0x0205);
        r.module.SetRecords(0, Records(5, 1));
        r.module.SetRecords(1, Records(2, 21));
        for (int i = 0; i < 3; i++) r.module.FaultOnce(qxsim::RtvsFault::None);
        r.module.FaultOnce(c.fault, c.param);  // on channel 1's cell reply
        ASSERT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(c.read, r.h.DataVal(1)) << c.what;
        for (int g = 0; g < 5; g++) {
            EXPECT_EQ(g < c.read ? 0 : 2, r.h.m_v.state[g]) << c.what << " cell " << g;
            EXPECT_EQ(g < c.read ? 100 + g : 0, r.h.DataVal(11 + 5 * g)) << c.what << " cell " << g;
        }
        EXPECT_EQ(21, r.h.m_v.maddr[5]) << c.what;
        EXPECT_EQ(22, r.h.m_v.maddr[6]) << c.what;
    }
}

TEST(BattRtvs, RecordsBeyondTheChannelAreNotTaken) {
    // Channel 1 has 2 cells and answers 6 records: cells 3.. are channel 2's.
    RtvsRig r(0x0102);
    r.module.SetRecords(0, Records(6, 1));
    r.module.SetRecords(1, Records(1, 31));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(2, r.h.DataVal(1));
    EXPECT_EQ(1, r.h.DataVal(2));
    EXPECT_EQ(31, r.h.m_v.maddr[2]);
    EXPECT_EQ(0, r.h.m_v.maddr[3]);

    // 255 cells on every channel: the last channel is cut at cell 400.
    RtvsRig big((int)0xFFFFFFFF);
    for (int k = 0; k < 4; k++) big.module.SetRecords(k, Records(255, 1));
    ASSERT_EQ(1, big.Poll());
    EXPECT_EQ(255, big.h.DataVal(1));
    EXPECT_EQ(145, big.h.DataVal(2));
    EXPECT_EQ(0, big.h.DataVal(3));
    EXPECT_EQ(6u, big.ch.Written().size());  // channels 3 and 4 have no cells left
    EXPECT_EQ(100 + 144, big.h.DataVal(2010 - 4));
}

TEST(BattRtvs, DataValNumbers) {
    RtvsRig r(0x030201);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(3, r.h.DataVal(3));
    EXPECT_EQ(2, r.h.DataVal(2));
    EXPECT_EQ(-50, r.h.DataVal(6));
    EXPECT_EQ(535, r.h.DataVal(9));
    EXPECT_EQ(0, r.h.DataVal(10));
    EXPECT_EQ(0, r.h.DataVal(2010));
    for (int fld : {0, -1, 2011, 65535}) EXPECT_EQ(-1, r.h.DataVal(fld)) << fld;
}

TEST(BattRtvs, GetBattStLooksAtTheCellsFiveFields) {
    CSMBattRTVS h;
    int bits[64] = {};
    EXPECT_EQ(0, h.GetBattSt(0, bits));
    EXPECT_EQ(0, h.GetBattSt(0, nullptr));
    bits[0] = 1 << 14;  // field 15: cell 0's bulge
    EXPECT_EQ(1, h.GetBattSt(0, bits));
    EXPECT_EQ(0, h.GetBattSt(1, bits));
    bits[0] = 1 << 15;  // field 16: cell 1's resistance
    EXPECT_EQ(0, h.GetBattSt(0, bits));
    EXPECT_EQ(1, h.GetBattSt(1, bits));
    bits[0] = 0;
    bits[62] = 1 << 25;  // bit 2009: field 2010, cell 399's bulge
    EXPECT_EQ(1, h.GetBattSt(399, bits));
    EXPECT_EQ(0, h.GetBattSt(398, bits));
}

TEST(BattRtvs, CountsBelongToThePointThatWasPolled) {
    RtvsRig r(0x0203);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(3, r.h.DataVal(1));
    // Another point without cells: no counts of the first one.
    qxhost::PointItem other(8, 0x403);
    other.Name("Q").Port(2).Addr(1).Ser(&r.ch);
    r.h.DoItem(other, 0);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ(0, r.h.DataVal(1));
    EXPECT_EQ(0, r.h.DataVal(2));
}

// ---------------------------------------------------------------- DataUpd

TEST(BattRtvs, UpdateWritesModuleCellAndMissingRows) {
    RtvsRig r(0x0205);  // channel 1: 5 cells (three answer), channel 2: 2 cells
    r.module.SetRecords(0, Records(3, 1));
    r.module.SetRecords(1, Records(2, 21));
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(3, r.h.DataVal(1));
    iotest::Sleeps().clear();
    int bits[64] = {};
    int snap = 5;
    ASSERT_EQ(1, r.h.DataUpd(0x10, bits, &snap, -1, &r.hist));
    EXPECT_EQ("0:0/0/100/25/26/122/0/535", r.Rows(r.db, 0).substr(0, 25));
    EXPECT_EQ(100, r.db.Int("select TI1 from tbBATTRTVS where SID=7 and GlobalId=0"));
    EXPECT_EQ(-50, r.db.Int("select TI2 from tbBATTRTVS where SID=7 and GlobalId=0"));
    EXPECT_EQ("1:0/1/100/25/26/122/0/535 2:0/2/101/25/26/122/0/535 3:0/3/102/25/26/122/0/535 "
              "4:2/0/0/0/0/0/0/0 5:2/0/0/0/0/0/0/0 6:0/21/100/25/26/122/0/535 "
              "7:0/22/101/25/26/122/0/535",
              r.Rows(r.db));
    EXPECT_EQ(8, r.db.Int("select count(*) from tbBATTRTVS where SID=7 and SnapID=(case when "
                          "GlobalId in(4,5) then 0 else 5 end)"));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=7"));
    // History: the module row and one per cell read, each with its values.
    EXPECT_EQ(6, r.hist.Int("select count(*) from tbBATTRTVS where SID=7"));
    EXPECT_EQ("1:0/1/100/25/26/122/0/535 2:0/2/101/25/26/122/0/535 3:0/3/102/25/26/122/0/535 "
              "6:0/21/100/25/26/122/0/535 7:0/22/101/25/26/122/0/535",
              r.Rows(r.hist));
    // 10 ms after each cell row and after each channel.
    EXPECT_EQ(std::vector<int>(9, 10), iotest::Sleeps());
    EXPECT_EQ(0, r.db.Failures()) << r.db.Error();
    EXPECT_EQ(0, r.hist.Failures()) << r.hist.Error();
}

TEST(BattRtvs, SummaryByState) {
    const std::string normal = "电流1:正常,电流2:正常,通道1电压:正常,通道2电压:正常,通道3电压:正常,通道4电压:正常";
    const std::string fault = "电流1:故障,电流2:故障,通道1电压:故障,通道2电压:故障,通道3电压:故障,通道4电压:故障";
    const struct {
        const char* what;
        int flags;
        bool answered;
        int bits0;
        std::string brief;
        int state;
    } cases[] = {
        {"normal", 0, true, 0, normal, 0},
        {"alarm bits 4 and 9", 1, true, 1 << 4 | 1 << 9,
         "电流1:告警,电流2:正常,通道1电压:正常,通道2电压:正常,通道3电压:正常,通道4电压:告警", 1},
        {"alarm flag, no bits set", 1, true, 0, normal, 1},
        {"cell 0 in alarm", 1, true, 1 << 12, normal + ",电池告警", 1},
        {"no answer", 0, false, 0, fault + ",电池告警", 2},
    };
    for (const auto& c : cases) {
        RtvsRig r(0x0102);
        ASSERT_EQ(1, r.Poll()) << c.what;
        int bits[64] = {c.bits0};
        ASSERT_EQ(1, r.h.DataUpd(c.flags, c.answered ? bits : nullptr, nullptr, -1, &r.hist)) << c.what;
        EXPECT_EQ(::Hex(c.brief), ::Hex(r.Brief())) << c.what;
        EXPECT_EQ(c.state, r.db.Int("select St from tbSMBrief where SID=7")) << c.what;
        EXPECT_EQ(c.state, r.db.Int("select State from tbBATTRTVS where SID=7 and GlobalId=0")) << c.what;
    }
    // Without an answer every cell row is written State 2 with its values cleared.
    RtvsRig r(0x0102);
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, nullptr));
    EXPECT_EQ("1:2/0/0/0/0/0/0/0 2:2/0/0/0/0/0/0/0 3:2/0/0/0/0/0/0/0", r.Rows(r.db));
    EXPECT_EQ(0, r.h.DataVal(5));
    // A point whose poll read no cell: no ",电池告警".
    RtvsRig none(0);
    ASSERT_EQ(1, none.Poll());
    ASSERT_EQ(1, none.h.DataUpd(0, nullptr, nullptr, -1, nullptr));
    EXPECT_EQ(::Hex(fault), ::Hex(none.Brief()));
}

TEST(BattRtvs, CellAlarmBitsMarkTheirCell) {
    RtvsRig r(0x0102);
    ASSERT_EQ(1, r.Poll());
    int bits[64] = {};
    bits[0] = 1 << 16 | 1 << 30;  // field 17: cell 1's temperature 1; field 31: cell 4
    ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, nullptr));
    EXPECT_EQ("0/1/0", r.db.Str("select group_concat(State,'/') from (select State from "
                                "tbBATTRTVS where SID=7 and GlobalId>0 order by GlobalId)"));
    // Without a current point nothing is written.
    CSMBattRTVS lone;
    lone.SetDb(&r.db, 0);
    EXPECT_EQ(0, lone.DataUpd(0, bits, nullptr, 7, nullptr));
}

// The module in trouble (qxsim::AlarmBattRtvs) polled as the host polls: both strings
// discharging beyond the module currents' rows; with its channels configured, the first cell
// too (aged, hot and bulging: the host checks the cell rows on cell 0) and the channel
// voltages, which lie above their rows' 12.5 V whatever the string does.
TEST(BattRtvs, ModuleInTroubleReachesTheHost) {
    const std::string alarms = "电流1:告警,电流2:告警,通道1电压:告警,通道2电压:告警,通道3电压:告警,通道4电压:告警";
    const struct {
        int ext1;
        const char* out;
        std::string brief;
    } cases[] = {
        {0, "TI0(5),TI1(6)", "电流1:告警,电流2:告警,通道1电压:正常,通道2电压:正常,通道3电压:正常,通道4电压:正常"},
        {0x04040404, "TI0(5),TI1(6),TV0(7),TV1(8),TV2(9),TV3(10),Res(11),Tem2(13),Bump(15)",
         alarms + ",电池告警"},
    };
    for (const auto& c : cases) {
        RtvsRig r(c.ext1);
        qxsim::AlarmBattRtvs(r.module, 1);
        ASSERT_EQ(1, r.Poll()) << c.ext1;
        std::vector<int32_t> bits;
        const std::string out = powertest::OutOfLimits(r.h, r.db, 0x403, bits);
        EXPECT_EQ(c.out, out) << c.ext1;
        ASSERT_EQ(1, r.h.DataUpd(out.empty() ? 0 : 1, bits.data(), nullptr, -1, nullptr)) << c.ext1;
        EXPECT_EQ(::Hex(c.brief), ::Hex(r.Brief())) << c.ext1;
        EXPECT_EQ(1, r.db.Int("select State from tbSubSysDetail where SID=7")) << c.ext1;
    }
}

}  // namespace
