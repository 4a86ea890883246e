// The BLE scanner module over a scripted channel answered by the scanner simulator's model:
// the set-up per scanner, the scan and its records, the readings of a record, scans cut short
// or unconfirmed, and the update that names only the tags heard.
#include <string.h>

#include "TestRig.h"
#include "TextIoModules.h"
#include "io/SMDioAdBle_Huawei.h"

namespace {

using iotest::Sleeps;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// The clock moves with the waits recorded, so that a gathering that waits five seconds ends.
time_t SleptClock() {
    long ms = 0;
    for (int s : Sleeps()) ms += s;
    return 1000000 + ms / 1000;
}

const char kSlot1[] = "D4F51378E69E";
const char kSlot3[] = "D4F51378E929";
const char kSlot8[] = "D4F51378ED87";

struct BleRig : iotest::Rig<CSMDioAdBle_Huawei> {
    explicit BleRig(int ext2 = 0, int sid = 41) : iotest::Rig<CSMDioAdBle_Huawei>(sid, 0x90C) {
        item.Ext(0, ext2);
        qx::SetClockHook(SleptClock);
        ch.SetResponder([this](const qxtest::Bytes& q) {
            std::string a = ble.Answer(std::string(q.begin(), q.end()));
            return qxtest::Bytes(a.begin(), a.end());
        });
    }
    ~BleRig() { qx::SetClockHook(nullptr); }
    std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (const auto& w : ch.Written()) out.emplace_back(w.begin(), w.end());
        return out;
    }
    qxsim::BleScanner ble;
};

TEST(Ble, SetUpOncePerScanner) {
    BleRig r;
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ((std::vector<std::string>{"AT+IMME1", "AT+ROLE1", "AT", "AT+DISI?"}), r.Sent());
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(6u, r.Sent().size());
    EXPECT_EQ("AT", r.Sent()[4]);

    // A scanner that does not accept its role is asked again on the next poll.
    BleRig refusing;
    refusing.ble.SetSetupReply("OK+Set:0");
    ASSERT_EQ(1, refusing.Poll());
    ASSERT_EQ(1, refusing.Poll());
    EXPECT_EQ("AT+IMME1", refusing.Sent()[4]);

    // A second scanner of the same handler gets its own set-up.
    qxhost::PointItem second(42, 0x90C);
    second.Ser(&r.ch);
    r.h.DoItem(second, 0);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ("AT+IMME1", r.Sent()[6]);
}

TEST(Ble, ReadingsOfARecord) {
    struct Case {
        const char* what;
        uint16_t r, g;
        int ext2;
        bool lower;
        int temperature, weight;  // -1: the record is skipped
    } cases[] = {
        {"r 1023", 1023, 500, 0, false, 2518, 0},
        {"weight above 500", 1023, 501, 0, false, 2518, 1},
        {"threshold of the item", 1023, 800, 1000, false, 2518, 0},
        {"threshold of the item passed", 1023, 1001, 1000, false, 2518, 1},
        {"lower case digits", 0x3FF, 0x1F5, 0, true, 2518, 1},
        {"r 0: no temperature", 0, 0, 0, false, 0, 0},
        {"r 2047: no temperature", 2047, 0, 0, false, 0, 0},
        {"r beyond the converter", 0xFFFF, 0, 0, false, 0, 0},
        {"r 1: far below zero", 1, 0, 0, false, 0, 0},
    };
    for (const Case& c : cases) {
        BleRig r(c.ext2);
        r.ble.SetTag(kSlot3, c.r, c.g, c.lower);
        ASSERT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(4, r.h.DataVal(0)) << c.what;
        EXPECT_EQ(c.temperature, r.h.DataVal(5)) << c.what;
        EXPECT_EQ(c.weight, r.h.DataVal(6)) << c.what;
    }
    // A reading that is not four hex digits: the record is skipped, the next one taken.
    for (const char* bad : {"03G1", "03 1", "+3FF"}) {
        BleRig r;
        std::string rec = qxsim::BleScanner::Record(kSlot3, 1023, 0);
        rec.replace(42, 4, bad);
        std::string scan = "OK+DISISOK+DISC:" + rec + "OK+DISC:" +
                           qxsim::BleScanner::Record(kSlot1, 1023, 600) + "OK+DISCE";
        r.ch.Reply("OK+Set:1").Reply("OK+Set:1").Reply("OK").Reply(scan);
        ASSERT_EQ(1, r.Poll()) << bad;
        EXPECT_EQ(1, r.h.DataVal(0)) << bad;
        EXPECT_EQ(2518, r.h.DataVal(1)) << bad;
        EXPECT_EQ(0, r.h.DataVal(5)) << bad;
    }
}

TEST(Ble, ScansCutShortUnconfirmedOrLong) {
    {
        // The second record comes short: the first is taken, nothing of the second.
        BleRig r;
        r.ble.SetTag(kSlot1, 1023, 0);
        r.ble.SetTag(kSlot8, 1023, 900);
        r.ble.SetCutLastRecord(true);
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(1, r.h.DataVal(0));
        EXPECT_EQ(0, r.h.DataVal(15));
        EXPECT_EQ(0, r.h.DataVal(16));
        // The scan waited five seconds for the rest, no longer.
        long waited = 0;
        for (int s : Sleeps()) waited += s;
        EXPECT_GE(waited, 4000);
        EXPECT_LE(waited, 6200);
    }
    {
        // Unconfirmed: the poll fails and the points stay as the last scan left them.
        BleRig r;
        r.ble.SetTag(kSlot1, 1023, 900);
        ASSERT_EQ(1, r.Poll());
        r.ble.SetTag(kSlot1, 0, 0);
        r.ble.SetConfirm(false);
        EXPECT_EQ(0, r.Poll());
        EXPECT_EQ(2518, r.h.DataVal(1));
        EXPECT_EQ(1, r.h.DataVal(2));
    }
    {
        // Seven known tags: six records are read. A scanner that lists them from one further
        // on each scan is heard whole over two scans; the tag the second scan misses keeps
        // what the first one read.
        BleRig r;
        for (const char* a : {"D4F51378E69E", "D4F51378FD80", "D4F51378E929", "D4F51378F156",
                              "987BF3691918", "987BF3694231", "D4F51378ED87"})
            r.ble.SetTag(a, 1023, 0);
        r.ble.SetTag(kSlot1, 1023, 900);
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(0x3F, r.h.DataVal(0));
        EXPECT_EQ(0, r.h.DataVal(15));
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(0x3F, r.h.DataVal(0));
        r.ble.SetRotating(true);
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(0x3F, r.h.DataVal(0));
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(0xBE, r.h.DataVal(0));
        EXPECT_EQ(2518, r.h.DataVal(15));
        EXPECT_EQ(2518, r.h.DataVal(1));
        EXPECT_EQ(1, r.h.DataVal(2));
    }
    {
        // Unknown tags are passed over; an empty scan hears nothing.
        BleRig r;
        r.ble.SetTag("000000000000", 1023, 0);
        r.ble.SetTag(kSlot8, 1023, 0);
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(0x80, r.h.DataVal(0));
        r.ble.ClearTags();
        ASSERT_EQ(1, r.Poll());
        EXPECT_EQ(0, r.h.DataVal(0));
    }
}

TEST(Ble, ScanWaitAndRefusedWrites) {
    struct Case {
        int wait, slept;
    } cases[] = {{0, 100}, {100, 100}, {101, 101}, {2000, 2000}};
    for (const Case& c : cases) {
        BleRig r;
        ASSERT_EQ(1, r.Poll(c.wait));
        EXPECT_EQ(std::vector<int>{c.slept}, Sleeps()) << c.wait;
        Sleeps().clear();
    }
    BleRig r;
    r.ch.Reply("OK+Set:1").Reply("OK+Set:1").ShortWrite(1);
    EXPECT_EQ(0, r.Poll());
    r.ch.Reply("OK").ShortWrite(3);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 0));
}

// Slot 7 has no tag: its temperature and weight are never read, and their zeros, which the
// host finds below the limits, raise no alarm; beside another alarm the point is in alarm
// without them.
TEST(Ble, ASlotWithoutATagRaisesNoAlarm) {
    BleRig r;
    r.item.ItemDetail(1);
    r.db.Run("insert into tbSubSysDetail(SID,Type,Fld,State) values(41,2316,0,-1)");
    r.ble.SetTag(kSlot3, 1023, 900);
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(0, r.h.DataVal(13));
    ASSERT_EQ(0, r.h.DataVal(14));
    auto state = [&r] {
        return r.db.Str("select State from tbSubSysDetail where SID=41") + "|" +
               r.db.Str("select State from tbDio where SID=41") + "|" +
               r.db.Str("select Brief from tbSMBrief where SID=41");
    };
    int slot7[1] = {1 << 12 | 1 << 13};
    ASSERT_EQ(1, r.h.DataUpd(1, slot7, nullptr, -1, &r.hist));
    EXPECT_EQ("0|0|(全部正常)", state());

    int andWeight3[1] = {1 << 12 | 1 << 13 | 1 << 5};
    ASSERT_EQ(1, r.h.DataUpd(1, andWeight3, nullptr, -1, &r.hist));
    EXPECT_EQ("1|1|DI 6:关闭 (其他正常)", state());
}

TEST(Ble, UpdateNamesOnlyTheTagsHeard) {
    BleRig r;
    r.db.Run("update tbDio set D01=7,D02=1,D05=9 where SID=41");
    r.ble.SetTag(kSlot3, 1023, 900);
    ASSERT_EQ(1, r.Poll());
    int bits[1] = {0};
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, -1, &r.hist));
    EXPECT_EQ("0|4|7|1|2518|1",
              r.db.Str("select State||'|'||Dio||'|'||D01||'|'||D02||'|'||D05||'|'||D06 from tbDio where SID=41"));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbDio where SID=41 and D05=2518 and D06=1 and D01=0"));
    EXPECT_EQ(std::string("(全部正常)"), r.db.Str("select Brief from tbSMBrief where SID=41"));

    // A scan that heard nothing writes no row, only the states and the summary.
    r.ble.ClearTags();
    ASSERT_EQ(1, r.Poll());
    r.db.Run("update tbDio set D05=1 where SID=41");
    ASSERT_EQ(1, r.h.DataUpd(1, bits, nullptr, -1, &r.hist));
    EXPECT_EQ(0, r.db.Int("select State from tbDio where SID=41"));
    EXPECT_EQ(1, r.db.Int("select D05 from tbDio where SID=41"));
    EXPECT_EQ(1, r.hist.Int("select count(*) from tbDio where SID=41"));

    // Another scanner's readings are not written as this one's.
    BleRig two(0, 43);
    two.ble.SetTag(kSlot1, 1023, 0);
    ASSERT_EQ(1, two.Poll());
    qxhost::PointItem other(44, 0x90C);
    other.Ser(&two.ch);
    ASSERT_EQ(1, two.h.ChkDb(other));
    two.h.DoItem(other, 0);
    two.ble.ClearTags();
    two.ble.SetTag(kSlot8, 1023, 0);
    ASSERT_EQ(1, two.h.DataGet(&two.ch, 1, 0));
    ASSERT_EQ(1, two.h.DataUpd(0, bits, nullptr, -1, &two.hist));
    EXPECT_EQ("0|2518", two.hist.Str("select D01||'|'||D15 from tbDio where SID=44"));

    EXPECT_EQ(std::string("温度2|重力2"),
              r.db.Str("select group_concat(Note,'|') from (select Note from tbSMDef where Type=2316 "
                       "and Fld in (5,6) order by Fld)"));
}

}  // namespace
