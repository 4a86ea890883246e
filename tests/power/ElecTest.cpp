// The electricity meter handler with meter model 0: requests and decoding, refused replies,
// the rows one update stores, the energy counted per day across date changes, and the
// register write.
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <initializer_list>

#include "TestRig.h"
#include "power/SMElec.h"

namespace {

using iotest::BadCrc;
using iotest::Rtu;
using iotest::Sleeps;
using qxtest::Bytes;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// The clock the handler reads.
time_t g_now = 0;
time_t FakeNow() { return g_now; }

// A local date at noon.
time_t Noon(int year, int month, int day) {
    struct tm tm;
    memset(&tm, 0, sizeof(tm));
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    return mktime(&tm);
}

// A read reply carrying these registers.
Bytes Regs(int function, std::initializer_list<int> regs) {
    char head[16];
    snprintf(head, sizeof(head), "01 %02X %02X", function, (unsigned)(2 * regs.size()));
    std::string hex = head;
    for (int r : regs) {
        char w[8];
        snprintf(w, sizeof(w), " %02X %02X", (r >> 8) & 0xFF, r & 0xFF);
        hex += w;
    }
    return Rtu(hex);
}

// The first exchange of model 0: twenty registers with PT at 2 and CT at 3.
Bytes Ratios(int pt, int ct) {
    return Regs(3, {0, 0, pt, ct, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}
Bytes Energy(uint32_t e) { return Regs(3, {(int)(e >> 16), (int)(e & 0xFFFF)}); }
// Registers 192 to 206 of a three-phase meter.
Bytes ThreePhase() {
    return Regs(3, {22000, 22100, 22200, 150, 160, 170, 0xFF38, 100, 1000, 955, 5000, 0xFFFF,
                    50, 0xFFCE, 10});
}
// Input registers 0 to 6 of a single-phase meter.
Bytes SinglePhase() { return Regs(4, {22000, 150, 0xFF38, 100, 1000, 955, 5000}); }

struct ElecRig : iotest::Rig<CSMElec> {
    ElecRig(int sid = 7, int variant = 0, int ext1 = 0) : iotest::Rig<CSMElec>(sid, 0x100) {
        item.Variant(variant).Ext(ext1, 0);
        qx::SetClockHook(FakeNow);
        g_now = Noon(2026, 3, 14);
    }
    ~ElecRig() { qx::SetClockHook(nullptr); }
    // One good three-phase poll of model 0 with PT 10, CT 40 and this energy register.
    int PollThreePhase(uint32_t e = 74565) {
        ch.Reply(Ratios(10, 40)).Reply(Energy(e)).Reply(ThreePhase());
        return Poll();
    }
    std::vector<int> Values() {
        std::vector<int> v;
        for (int f = 1; f <= 24; f++) v.push_back(h.DataVal(f));
        return v;
    }
};

// Expected values by field, 1 to 24.
std::vector<int> V(std::initializer_list<int> v) { return std::vector<int>(v); }

// ---------------------------------------------------------------- model 0

TEST(ElecModel0, Decode) {
    struct Case {
        const char* what;
        int ext1;
        Bytes third;
        const char* thirdRequest;
        std::vector<int> values;
    } cases[] = {
        // K = PT * CT = 400; energy 74565 * 400 / 12000 = 2485.
        {"three-phase", 0, ThreePhase(), "01 03 00 C0 00 0F 05 F2",
         V({2485, -24, 2, -2, 0, 12, 0, 0, 0, 120, 0, 0, 0, 95, 0, 0, 0, 5000,
            220, 221, 222, 60, 64, 68})},
        {"three-phase, Ext1 2", 2, ThreePhase(), "01 03 00 C0 00 0F 05 F2",
         V({2485, -24, 2, -2, 0, 12, 0, 0, 0, 120, 0, 0, 0, 95, 0, 0, 0, 5000,
            220, 221, 222, 60, 64, 68})},
        {"single-phase", 1, SinglePhase(), "01 04 00 00 00 07 B1 C8",
         V({2485, -8, -8, 0, 0, 4, 0, 0, 0, 40, 0, 0, 0, 95, 0, 0, 0, 5000,
            220, 0, 0, 60, 0, 0})},
    };
    for (const Case& c : cases) {
        ElecRig r(7, 0, c.ext1);
        for (int i = 0; i < 24; i++) r.h.m_val[i] = 9999;  // every field is written
        r.ch.Reply(Ratios(10, 40)).Reply(Energy(74565)).Reply(c.third);
        ASSERT_EQ(1, r.Poll()) << c.what;
        ASSERT_EQ(3u, r.ch.Written().size()) << c.what;
        EXPECT_EQ("01 03 00 00 00 14 45 C5", qxtest::Hex(r.ch.Written()[0])) << c.what;
        EXPECT_EQ("01 03 00 40 00 02 C5 DF", qxtest::Hex(r.ch.Written()[1])) << c.what;
        EXPECT_EQ(c.thirdRequest, qxtest::Hex(r.ch.Written()[2])) << c.what;
        EXPECT_EQ(c.values, r.Values()) << c.what;
        EXPECT_EQ(std::vector<int>{200}, Sleeps()) << c.what;  // only before the first reply
    }
}

TEST(ElecModel0, NoItemIsModelZero) {
    ElecRig r;
    r.h.DoItem(nullptr, 0);
    r.ch.Reply(Ratios(10, 40)).Reply(Energy(74565)).Reply(ThreePhase());
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ(2485, r.h.DataVal(CSMElec::kYgzdn));
}

TEST(ElecModel0, LargeProductsDoNotOverflow) {
    // PT * CT * E exceeds 32 bits while the energy itself fits.
    ElecRig r;
    r.ch.Reply(Ratios(1000, 1000)).Reply(Energy(3000000)).Reply(ThreePhase());
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(250000000, r.h.DataVal(CSMElec::kYgzdn));
    EXPECT_EQ(22000, r.h.DataVal(CSMElec::kAdy));            // 1000 * 22000 / 1000
    EXPECT_EQ(-60000, r.h.DataVal(CSMElec::kZyggl));  // 1e6 * -200 * 3 / 10000
}

TEST(ElecModel0, EnergyOfTheLargestRegistersIsExact) {
    // PT * CT * E of the largest registers exceeds 64 bits; the energy is its exact quotient
    // by 12000, kept to its low 32 bits as every value.
    struct Case {
        int pt, ct;
        uint32_t e;
        int32_t energy;
    } cases[] = {
        {65535, 65535, 0xFFFFFFFFu, 80172733},  // 1537181760313021 mod 2^32
        {65535, 65535, 12000, (int32_t)(uint32_t)(65535u * 65535u)},
        {0xFFFF, 1, 0xFFFFFFFFu, (int32_t)(uint32_t)(0xFFFFull * 0xFFFFFFFFull / 12000)},
        {0, 65535, 0xFFFFFFFFu, 0},
    };
    for (const Case& c : cases) {
        ElecRig r;
        r.ch.Reply(Ratios(c.pt, c.ct)).Reply(Energy(c.e)).Reply(ThreePhase());
        ASSERT_EQ(1, r.Poll()) << c.pt << " " << c.ct << " " << c.e;
        EXPECT_EQ(c.energy, r.h.DataVal(CSMElec::kYgzdn)) << c.pt << " " << c.ct << " " << c.e;
    }
}

TEST(ElecModel0, RefusedRepliesLeaveTheValues) {
    struct Case {
        const char* what;
        int at;  // exchange that fails, 0 to 2
        Bytes reply;
    } cases[] = {
        {"silence", 0, {}},
        {"exception", 1, Rtu("01 83 02")},
        {"bad CRC", 2, BadCrc("01 03 1E 00")},
        {"short", 2, HexBytes("01 03 1E 55 F0 00")},
        {"four bytes", 0, HexBytes("01 03 28 00")},
        {"other address", 1, Rtu("09 03 04 00 00 00 01")},
        {"byte count", 1, Rtu("01 03 02 00 01")},
    };
    for (const Case& c : cases) {
        ElecRig r;
        ASSERT_EQ(1, r.PollThreePhase());
        std::vector<int> before = r.Values();
        Bytes good[3] = {Ratios(1, 1), Energy(1), ThreePhase()};
        for (int i = 0; i < c.at; i++) r.ch.Reply(good[i]);
        if (c.reply.empty())
            r.ch.Silence();
        else
            r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(before, r.Values()) << c.what;
        EXPECT_EQ(3u + c.at + 1, r.ch.Written().size()) << c.what;  // stops at the failure
    }
}

TEST(ElecModel0, ChannelFailures) {
    ElecRig r;
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.Poll());
    r.ch.SetOpen(true);
    r.ch.ShortWrite(3);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(1u, r.ch.Written().size());
}

TEST(Elec, ModelWithoutRoutineReadsNothing) {
    for (int variant : {35, -1, 1000}) {
        ElecRig r(7, 0);
        ASSERT_EQ(1, r.PollThreePhase());
        std::vector<int> before = r.Values();
        size_t sent = r.ch.Written().size();
        r.item.Variant(variant);
        EXPECT_EQ(0, r.Poll()) << variant;
        EXPECT_EQ(sent, r.ch.Written().size()) << variant;
        EXPECT_EQ(before, r.Values()) << variant;
    }
}

// ---------------------------------------------------------------- registration

TEST(Elec, Registration) {
    ElecRig r;
    EXPECT_EQ(256, r.h.GetType());
    EXPECT_STREQ("QX-ELEC", r.h.GetNote());
    EXPECT_EQ(24, r.h.DataSize());
    EXPECT_EQ(r.h.m_val, r.h.Data());
    EXPECT_EQ(Hex("电力检测 QX-ELEC"), Hex(r.db.Str("select Name from tbSMType where Type=256")));
    EXPECT_EQ(256, r.db.Int("select Kind from tbSMType where Type=256"));
    EXPECT_EQ(Hex("485接口..."), Hex(r.db.Str("select Note from tbSMType where Type=256")));
    EXPECT_EQ("19,20,21,22,23,24",
              r.db.Str("select group_concat(Fld) from (select Fld from tbSMDef where Type=256 "
                       "order by rowid)"));
    struct Case {
        int fld;
        const char* fields;
        const char* note;
        const char* lo;
        const char* hi;
    } cases[] = {
        {19, "Ady|1|0|10|7|100|3900|0", "A相电压", "A相电压低于Vmin告警", "A相电压高于Vmax告警"},
        {21, "Cdy|1|0|10|7|100|3900|0", "C相电压", "C相电压低于Vmin告警", "C相电压高于Vmax告警"},
        {22, "Adl|1|0|100|7|100|25000|0", "A相电流", "A相电流低于Vmin告警", "A相电流高于Vmax告警"},
        {24, "Cdl|1|0|100|7|100|25000|0", "C相电流", "C相电流低于Vmin告警", "C相电流高于Vmax告警"},
    };
    for (const Case& c : cases) {
        std::string where = " from tbSMDef where Type=256 and Fld=" + std::to_string(c.fld);
        EXPECT_EQ(c.fields, r.db.Str("select FldName||'|'||Kind||'|'||Rsv||'|'||Ratio||'|'||AlmKind||"
                                     "'|'||vref||'|'||HiLmt||'|'||Cell" + where));
        EXPECT_EQ(Hex(c.note), Hex(r.db.Str("select Note" + where)));
        EXPECT_EQ(Hex(c.lo), Hex(r.db.Str("select LoText" + where)));
        EXPECT_EQ(Hex(c.hi), Hex(r.db.Str("select HiText" + where)));
    }
}

TEST(Elec, Tables) {
    TestDb db, hist;
    CSMElec h;
    h.SetDb(&hist, 1);
    EXPECT_EQ(0, h.ChkDb(nullptr));  // no main database
    EXPECT_EQ(0, hist.TableExists("tbElec"));
    h.SetDb(&db, 0);
    EXPECT_EQ(1, h.ChkDb(nullptr));
    EXPECT_EQ(1, db.TableExists("tbElec"));
    EXPECT_EQ(0, db.TableExists("tbElecM"));
    EXPECT_EQ(1, hist.TableExists("tbElec"));
    EXPECT_EQ(1, hist.TableExists("tbElecM"));
    hist.Run("select DID,SID,Type,DateUpd,Day,Val from tbElecM");
    db.Run("select DID,SID,Type,Port,Addr,DateUpd,State,SnapID,Ygzdn,Zyggl,Ayggl,Byggl,Cyggl,"
           "Zwggl,Awggl,Bwggl,Cwggl,Zszgl,Aszgl,Bszgl,Cszgl,Zglys,Aglys,Bglys,Cglys,Pl,Ady,Bdy,Cdy,"
           "Adl,Bdl,Cdl,iYgzdn,iZyggl,iAyggl,iByggl,iCyggl,iZwggl,iAwggl,iBwggl,iCwggl,iZszgl,"
           "iAszgl,iBszgl,iCszgl,iZglys,iAglys,iBglys,iCglys,iPl,iAdy,iBdy,iCdy,iAdl,iBdl,iCdl "
           "from tbElec");
    qxhost::PointItem item(3, 0x102);
    item.Port(1).Addr(5);
    EXPECT_EQ(1, h.ChkDb(item));
    EXPECT_EQ("3|258|1|5|-1",
              db.Str("select SID||'|'||Type||'|'||Port||'|'||Addr||'|'||State from tbElec"));
}

// ---------------------------------------------------------------- DataUpd

const char* kRowCols =
    "State||'|'||SnapID||'|'||Ygzdn||'|'||Zyggl||'|'||Pl||'|'||Ady||'|'||Cdy||'|'||Adl||'|'||"
    "Cdl||'|'||ifnull(iAdy,'-')";

// The alarm bits of fields 20, 21 (B and C voltage) and 23, 24 (B and C current).
const int kBC = (1 << 19) | (1 << 20) | (1 << 22) | (1 << 23);

TEST(Elec, UpdateRows) {
    struct Case {
        const char* what;
        int variant, ext1;
        int flags;
        bool bits;
        int word;
        const char* row;
        const char* brief;
        const char* histRow;
    } cases[] = {
        {"normal", 0, 0, 16, true, 0, "0|5|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A,B相: 22.1V 0.64A,C相: 22.2V 0.68A",
         "0|5|2485|-24|5000|220|222|60|68|-"},
        {"alarm notes", 0, 0, 1, true, (1 << 18) | (1 << 21), "1|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A,B相: 22.1V 0.64A,C相: 22.2V 0.68A告警:A相电压 A相电流",
         "1|0|2485|-24|5000|220|222|60|68|-"},
        {"single-phase wiring", 0, 1, 0, true, 0, "0|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A", "0|0|2485|-24|5000|220|222|60|68|-"},
        // No answer: the summary names the lost link, never the cleared or kept values.
        {"no answer", 0, 0, 16, false, 0, "2|5|0|0|0|0|0|0|0|-", "通讯中断", "2|5|0|0|0|0|0|0|0|-"},
        // The models that keep their values through a failed poll keep the current row's
        // values too, but their summary says the link is lost.
        {"no answer, model 20 that keeps its values", 20, 0, 16, false, 0,
         "2|5|1|1|1|1|1|1|1|-", "通讯中断", "2|5|2485|-24|5000|220|222|60|68|-"},
        {"no answer, model 11 that keeps its values", 11, 0, 0, false, 0,
         "2|0|1|1|1|1|1|1|1|-", "通讯中断", "2|0|2485|-24|5000|220|222|60|68|-"},
        {"no answer, model 21 that keeps its values", 21, 0, 0, false, 0,
         "2|0|1|1|1|1|1|1|1|-", "通讯中断", "2|0|2485|-24|5000|220|222|60|68|-"},
        {"no answer forced to alarm, model that keeps", 21, 0, 1, false, 0,
         "1|0|2485|-24|5000|220|222|60|68|-", "通讯中断", "1|0|2485|-24|5000|220|222|60|68|-"},
        {"model 26 summary", 26, 0, 0, true, 0, "0|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A", "0|0|2485|-24|5000|220|222|60|68|-"},
        {"model 30 summary", 30, 0, 0, true, 0, "0|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A", "0|0|2485|-24|5000|220|222|60|68|-"},
        {"model 12 summary", 12, 0, 0, true, 0, "0|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A", "0|0|2485|-24|5000|220|222|60|68|-"},
        // A single-phase meter reads 0 for phases B and C, which the host's limits find out of
        // range: those bits raise no alarm, and the state follows phase A.
        {"single-phase wiring, B and C out of limits", 0, 1, 1, true, kBC,
         "0|0|2485|-24|5000|220|222|60|68|-", "A相: 22.0V 0.60A", "0|0|2485|-24|5000|220|222|60|68|-"},
        {"model 12, B and C out of limits", 12, 0, 1, true, kBC, "0|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A", "0|0|2485|-24|5000|220|222|60|68|-"},
        {"model 26, B and C out of limits", 26, 0, 1, true, kBC, "0|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A", "0|0|2485|-24|5000|220|222|60|68|-"},
        {"model 30, B and C out of limits", 30, 0, 1, true, kBC, "0|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A", "0|0|2485|-24|5000|220|222|60|68|-"},
        {"model 12, phase A out of limits beside B and C", 12, 0, 1, true, kBC | (1 << 18),
         "1|0|2485|-24|5000|220|222|60|68|-", "A相: 22.0V 0.60A告警:A相电压",
         "1|0|2485|-24|5000|220|222|60|68|-"},
        // Model 32 keeps no phase C current: its summary shows none, and the host's alarm on
        // its 0 is passed over; phase C's voltage still alarms.
        {"model 32 summary", 32, 0, 0, true, 0, "0|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A,B相: 22.1V 0.64A,C相: 22.2V", "0|0|2485|-24|5000|220|222|60|68|-"},
        {"model 32, phase C current out of limits", 32, 0, 1, true, 1 << 23,
         "0|0|2485|-24|5000|220|222|60|68|-", "A相: 22.0V 0.60A,B相: 22.1V 0.64A,C相: 22.2V",
         "0|0|2485|-24|5000|220|222|60|68|-"},
        {"model 32, phase C voltage and current out of limits", 32, 0, 1, true, (1 << 20) | (1 << 23),
         "1|0|2485|-24|5000|220|222|60|68|-", "A相: 22.0V 0.60A,B相: 22.1V 0.64A,C相: 22.2V告警:C相电压",
         "1|0|2485|-24|5000|220|222|60|68|-"},
        // A three-phase meter alarms on every phase.
        {"three-phase, B out of limits", 0, 0, 1, true, 1 << 19, "1|0|2485|-24|5000|220|222|60|68|-",
         "A相: 22.0V 0.60A,B相: 22.1V 0.64A,C相: 22.2V 0.68A告警:B相电压",
         "1|0|2485|-24|5000|220|222|60|68|-"},
    };
    for (const Case& c : cases) {
        ElecRig r;
        ASSERT_EQ(1, r.PollThreePhase()) << c.what;
        r.item.Variant(c.variant).Ext(c.ext1, 0);
        r.db.Run("update tbElec set State=1,SnapID=1,Ygzdn=1,Zyggl=1,Pl=1,Ady=1,Cdy=1,Adl=1,Cdl=1 "
                 "where SID=7");
        r.db.Run("update tbSMBrief set Brief='before' where SID=7");
        int bits[1] = {c.word};
        int snap = 5;
        EXPECT_EQ(1, r.h.DataUpd(c.flags, c.bits ? bits : nullptr, &snap, -1, &r.hist)) << c.what;
        EXPECT_EQ(c.row, r.db.Str(std::string("select ") + kRowCols + " from tbElec where SID=7"))
            << c.what;
        EXPECT_EQ(Hex(c.brief),
                  Hex(r.db.Str("select Brief from tbSMBrief where SID=7")))
            << c.what;
        EXPECT_EQ("<null>", r.db.Str("select St from tbSMBrief where SID=7")) << c.what;
        EXPECT_EQ(c.histRow, r.hist.Str(std::string("select ") + kRowCols + " from tbElec where SID=7"))
            << c.what;
    }
}

TEST(Elec, SummaryAlarmCaptionsAreEscaped) {
    // The host may edit the captions; one with quotes still gives a stored summary.
    ElecRig r;
    ASSERT_EQ(1, r.PollThreePhase());
    r.db.Run("update tbSMDef set Note='A ''hot'' phase' where Type=256 and Fld=19");
    int bits[1] = {1 << 18};
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(Hex("A相: 22.0V 0.60A,B相: 22.1V 0.64A,C相: 22.2V 0.68A告警:A 'hot' phase"),
              Hex(r.db.Str("select Brief from tbSMBrief where SID=7")));
}

TEST(Elec, UpdateWithoutCurrentItemWritesNothing) {
    ElecRig r;
    ASSERT_EQ(1, r.PollThreePhase());
    r.h.DoItem(nullptr, 0);
    int statements = r.db.Statements() + r.hist.Statements();
    int bits[1] = {0};
    EXPECT_EQ(0, r.h.DataUpd(0, bits, nullptr, 7, &r.hist));
    EXPECT_EQ(statements, r.db.Statements() + r.hist.Statements());
}

TEST(Elec, ExtremeValuesAreStoredExactly) {
    // Every value is a 32-bit integer, written with its own width on every build.
    ElecRig r;
    ASSERT_EQ(1, r.PollThreePhase());
    for (int f = 1; f <= 24; f++) r.h.m_val[f - 1] = f % 2 ? INT32_MIN : INT32_MAX;
    int bits[1] = {0};
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    for (TestDb* d : {&r.db, &r.hist}) {
        EXPECT_EQ("-2147483648|2147483647|-2147483648|2147483647",
                  d->Str("select Ygzdn||'|'||Zyggl||'|'||Ady||'|'||Cdl from tbElec where SID=7"));
        EXPECT_EQ(-2147483648LL, d->Int("select min(Ygzdn) from tbElec where SID=7"));
    }
    // The per-day difference of two extreme readings does not wrap.
    g_now += 86400;
    r.h.m_val[0] = INT32_MAX;
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ(4294967295LL, r.hist.Int("select Val from tbElecM where SID=7 and Day=" +
                                       std::to_string(CSMElec::DayKey(g_now))));
}

TEST(Elec, UpdateResultAndSid) {
    ElecRig r;
    ASSERT_EQ(1, r.PollThreePhase());
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(7,256,-1)");
    int bits[1] = {0};
    TestDb empty;  // no tables: every statement fails
    EXPECT_EQ(0, r.h.DataUpd(0, bits, nullptr, -1, &empty));
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=7"));
    r.h.SetDb(&empty, 0);
    EXPECT_EQ(0, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    r.h.SetDb(nullptr, 0);
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(1, r.h.DataUpd(0, bits, nullptr, 12, &r.hist));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbElec where SID=12"));
    // The failure counter is not the meter's business.
    r.h.m_iErrCnt = 2;
    r.h.DataUpd(0, nullptr, nullptr, -1, nullptr);
    EXPECT_EQ(2, r.h.m_iErrCnt);
}

// ---------------------------------------------------------------- energy per day

TEST(Elec, DayKey) {
    const char* tz = getenv("TZ");
    std::string saved = tz ? tz : "";
    setenv("TZ", "UTC", 1);
    tzset();
    struct Case {
        int y, m, d, key;
    } cases[] = {
        {2026, 1, 1, 1270100},   {2026, 3, 14, 1270372},  {2026, 12, 31, 1271564},
        {2027, 1, 1, 1280100},   {2024, 12, 31, 1251565}, {2000, 2, 29, 1010259},
    };
    for (const Case& c : cases) EXPECT_EQ(c.key, CSMElec::DayKey(Noon(c.y, c.m, c.d))) << c.y << c.m << c.d;
    if (tz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// The per-day rows of a SID, "Day:Val" by Day.
std::string DayRows(TestDb& hist, int sid) {
    return hist.Str("select group_concat(r, ' ') from (select Day||':'||Val as r from tbElecM "
                    "where SID=" + std::to_string(sid) + " order by Day)");
}

std::string Key(time_t t) { return std::to_string(CSMElec::DayKey(t)); }

TEST(Elec, EnergyPerDay) {
    ElecRig r;
    int bits[1] = {0};
    const time_t d1 = Noon(2026, 3, 14), d2 = Noon(2026, 3, 15), d3 = Noon(2026, 4, 2);
    // Energy readings are PT * CT * E / 12000 = E / 30 with PT 10 and CT 40.
    g_now = d1;
    ASSERT_EQ(1, r.PollThreePhase(30000));  // 1000 Wh
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0:1000 " + Key(d1) + ":0", DayRows(r.hist, 7));
    EXPECT_EQ(1000, r.hist.Int("select Type from tbElecM where Day=0") == 256 ? 1000 : -1);

    // Later the same day: no new row, the baseline stays.
    g_now = d1 + 3600;
    ASSERT_EQ(1, r.PollThreePhase(36000));  // 1200
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0:1000 " + Key(d1) + ":0", DayRows(r.hist, 7));

    // A poll without an answer counts nothing, even when the host forces the alarm state.
    g_now = d2;
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, -1, &r.hist));
    ASSERT_EQ(1, r.h.DataUpd(1, nullptr, nullptr, -1, &r.hist));
    EXPECT_EQ("0:1000 " + Key(d1) + ":0", DayRows(r.hist, 7));

    // The first answered poll of the next day: the energy since the baseline, which moves.
    ASSERT_EQ(1, r.PollThreePhase(45000));  // 1500
    ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0:1500 " + Key(d1) + ":0 " + Key(d2) + ":500", DayRows(r.hist, 7));
    ASSERT_EQ(1, r.PollThreePhase(60000));  // 2000, same day
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0:1500 " + Key(d1) + ":0 " + Key(d2) + ":500", DayRows(r.hist, 7));

    // Days later, across a month.
    g_now = d3;
    ASSERT_EQ(1, r.PollThreePhase(90000));  // 3000
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0:3000 " + Key(d1) + ":0 " + Key(d2) + ":500 " + Key(d3) + ":1500",
              DayRows(r.hist, 7));

    // No history database: nothing counted.
    g_now = d3 + 86400;
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(4, r.hist.Int("select count(*) from tbElecM"));
    EXPECT_EQ(256, r.hist.Int("select min(Type) from tbElecM"));
}

TEST(Elec, EnergyPerDayIsKeptPerSid) {
    ElecRig r;
    int bits[1] = {0};
    const time_t d1 = Noon(2026, 5, 1), d2 = Noon(2026, 5, 2);
    g_now = d1;
    ASSERT_EQ(1, r.PollThreePhase(30000));  // SID 7: 1000
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    // A second point of the same handler polled on the next day.
    qxhost::PointItem other(8, 0x100);
    ASSERT_EQ(1, r.h.ChkDb(other));
    r.h.DoItem(other, 0);
    g_now = d2;
    ASSERT_EQ(1, r.PollThreePhase(3000));  // SID 8: 100
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0:100 " + Key(d2) + ":0", DayRows(r.hist, 8));
    // SID 7's day has changed too: its own first poll of the day writes its row.
    r.h.DoItem(r.item, 0);
    ASSERT_EQ(1, r.PollThreePhase(33000));  // 1100
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0:1100 " + Key(d1) + ":0 " + Key(d2) + ":100", DayRows(r.hist, 7));
    EXPECT_EQ("0:100 " + Key(d2) + ":0", DayRows(r.hist, 8));
}

TEST(Elec, EnergyPerDayAfterRestart) {
    TestDb hist;
    int bits[1] = {0};
    const time_t d1 = Noon(2026, 6, 1);
    {
        ElecRig r;
        r.h.SetDb(&hist, 1);
        ASSERT_EQ(1, r.h.ChkDb(nullptr));
        g_now = d1;
        ASSERT_EQ(1, r.PollThreePhase(30000));
        ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &hist));
    }
    // A new handler on a day whose row exists writes nothing for it, and learns the day.
    ElecRig r;
    g_now = d1 + 60;
    ASSERT_EQ(1, r.PollThreePhase(60000));
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &hist));
    EXPECT_EQ("0:1000 " + Key(d1) + ":0", DayRows(hist, 7));
    EXPECT_EQ(CSMElec::DayKey(d1), r.h.m_mapDay[7]);
    int statements = hist.Statements();
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &hist));
    EXPECT_EQ(statements + 2, hist.Statements());  // baseline count and history row only
}

// ---------------------------------------------------------------- VarEval

TEST(Elec, VarEval) {
    ElecRig r;
    ASSERT_EQ(1, r.PollThreePhase());
    r.h.m_val[CSMElec::kPl - 1] = 5000;
    r.h.m_val[CSMElec::kZglys - 1] = 955;
    r.h.m_val[CSMElec::kZwggl - 1] = -1500;
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {".pl", "50.000Hz"},      {".Ady", "22.0V"},      {".Cdy", "22.2V"},
        {".Adl", "0.60A"},        {".Cdl", "0.68A"},      {".ygzdn", "2.485KWH"},
        {".zyggl", "-0.024KW"},   {".ayggl", "0.002KW"},  {".zwggl", "-1.500KVar"},
        {".zszgl", "0.120KVA"},   {".zglys", "0.955"},    {".aglys", "0.000"},
        {".Ygzdn", ".Ygzdn"},     {".ady", ".ady"},       {".Pl", ".Pl"},
        {".PL", ".PL"},           {"pl", "pl"},
    };
    for (const Case& c : cases) {
        char text[32];
        snprintf(text, sizeof(text), "%s", c.in);
        int n = r.h.VarEval(text);
        EXPECT_STREQ(c.out, text) << c.in;
        EXPECT_EQ(strcmp(c.in, c.out) == 0 ? -1 : (int)strlen(c.out), n) << c.in;
    }
}

// ---------------------------------------------------------------- DoFunc

TEST(Elec, WriteCommand) {
    struct Case {
        const char* what;
        int variant, cmd, value;
        std::vector<Bytes> replies;
        int result;
        std::vector<std::string> written;
    } cases[] = {
        {"model 0", 0, 128, 0x1234, {Rtu("01 06 00 0B 00 34")}, 1,
         {"01 06 00 0B 00 34 F9 DF"}},
        {"model 0, exception", 0, 128, 0x34, {Rtu("01 86 02")}, 0, {"01 06 00 0B 00 34 F9 DF"}},
        {"model 0, silence", 0, 128, 0x34, {{}}, 0, {"01 06 00 0B 00 34 F9 DF"}},
        {"model 0, bad CRC", 0, 128, 0x34, {BadCrc("01 06 00 0B 00 34")}, 0,
         {"01 06 00 0B 00 34 F9 DF"}},
        {"model 2", 2, 128, 7, {Rtu("01 06 01 00 00 07")}, 1, {"01 06 01 00 00 07 C9 F4"}},
        {"model 1", 1, 128, 0x1A5, {Rtu("01 03 02 12 34"), Rtu("01 10 00 01 00 01")}, 1,
         {"01 03 00 01 00 01 D5 CA", "01 10 00 01 00 01 02 A5 34 DD 06"}},
        {"model 1, read refused", 1, 128, 0xA5, {Rtu("01 83 02")}, 0, {"01 03 00 01 00 01 D5 CA"}},
        {"model 1, write refused", 1, 128, 0xA5, {Rtu("01 03 02 12 34"), Rtu("01 90 04")}, 0,
         {"01 03 00 01 00 01 D5 CA", "01 10 00 01 00 01 02 A5 34 DD 06"}},
        {"other command", 0, 129, 1, {}, 0, {}},
        {"model without a command", 5, 128, 1, {}, 0, {}},
    };
    for (const Case& c : cases) {
        ElecRig r(7, c.variant);
        for (const Bytes& b : c.replies) {
            if (b.empty())
                r.ch.Silence();
            else
                r.ch.Reply(b);
        }
        int value = c.value;
        EXPECT_EQ(c.result, r.h.DoFunc(&r.ch, 1, c.cmd, &value, 4)) << c.what;
        std::vector<std::string> written;
        for (const Bytes& w : r.ch.Written()) written.push_back(qxtest::Hex(w));
        EXPECT_EQ(c.written, written) << c.what;
    }
}

TEST(Elec, WriteCommandArguments) {
    ElecRig r;
    int value = 1;
    EXPECT_EQ(0, r.h.DoFunc(nullptr, 1, 128, &value, 4));
    EXPECT_EQ(0, r.h.DoFunc(&r.ch, 1, 128, nullptr, 4));
    EXPECT_TRUE(r.ch.Written().empty());
    // Through the point's own channel and address.
    r.item.Addr(3);
    r.ch.Reply(Rtu("03 06 00 0B 00 01"));
    EXPECT_EQ(1, r.h.DoFunc(128, &value, 4));
    EXPECT_EQ("03 06 00 0B 00 01 38 2A", qxtest::Hex(r.ch.LastWritten()));
    r.item.Ser(nullptr);
    EXPECT_EQ(0, r.h.DoFunc(128, &value, 4));
}

TEST(Elec, ModBusCmdN) {
    CSMElec h;
    uint8_t data[2] = {0xA5, 0x34};
    ASSERT_EQ(11, h.ModBusCmdN(1, 16, 1, 1, data));
    EXPECT_EQ("01 10 00 01 00 01 02 A5 34 DD 06", qxtest::Hex(h.m_cmd, 11));
}

// ---------------------------------------------------------------- the clock seam

TEST(Clock, FakeTimeFromTheEnvironment) {
    qx::SetClockHook(nullptr);
    struct Case {
        const char* value;
        bool used;
    } cases[] = {{"1700000000", true}, {"0", true}, {"", false}, {"12x", false}, {"x", false}};
    for (const Case& c : cases) {
        setenv("QX_FAKE_TIME", c.value, 1);
        time_t now = qx::Now();
        if (c.used)
            EXPECT_EQ((time_t)atoll(c.value), now) << c.value;
        else
            EXPECT_GT(now, (time_t)1700000000) << c.value;
    }
    unsetenv("QX_FAKE_TIME");
    EXPECT_GT(qx::Now(), (time_t)1700000000);
    qx::SetClockHook(FakeNow);
    setenv("QX_FAKE_TIME", "5", 1);
    g_now = 42;
    EXPECT_EQ(42, qx::Now());  // the hook comes first
    unsetenv("QX_FAKE_TIME");
    qx::SetClockHook(nullptr);
}

}  // namespace
