// The battery monitors that share the battery tables: the cell count from the definition row
// and command 0, the requests of a poll, the replies refused, and the tbBatt100 / tbBattVal
// rows of an update.
#include <string.h>

#include <algorithm>
#include <functional>

#include "HostLimits.h"
#include "TestRig.h"
#include "power/SMBatt100.h"
#include "power/SMBattBod800.h"

namespace {

using iotest::BadCrc;
using iotest::Bytes;
using iotest::Rtu;
using qxtest::Hex;
using qxtest::HexBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

using Batt100Rig = iotest::Rig<CSMBatt100>;
using Bod800Rig = iotest::Rig<CSMBattBod800>;

// A function 4 reply of `count` registers from `reg` on, each register's value given by f.
Bytes InputReply(int reg, int count, const std::function<uint16_t(int)>& f, uint8_t unit = 1) {
    Bytes b = {unit, 4, (uint8_t)(2 * count)};
    for (int i = 0; i < count; i++) {
        uint16_t w = f(reg + i);
        b.push_back((uint8_t)(w >> 8));
        b.push_back((uint8_t)w);
    }
    return Rtu(Hex(b));
}

// A BAT100 answering every read from its register map: group 0x500.., cells 0x100.. (value
// = register), so each cell entry tells which register it came from.
Bytes Batt100Map(const Bytes& req) {
    if (req.size() != 8 || req[1] != 4) return {};
    int reg = req[2] << 8 | req[3], count = req[4] << 8 | req[5];
    return InputReply(reg, count, [](int r) -> uint16_t {
        switch (r) {
        case 0x500: return 125;
        case 0x501: return 0xFFF6;  // -1.0 A: stored as 0
        case 0x502: return 5350;
        case 0x503: return 251;
        }
        return (uint16_t)r;
    });
}

std::vector<std::string> Requests(const qxtest::ScriptChannel& ch) {
    std::vector<std::string> out;
    for (const Bytes& w : ch.Written()) out.push_back(Hex(w));
    return out;
}

// Register numbers asked for by the block requests after the group request.
std::vector<int> BlockRegs(const qxtest::ScriptChannel& ch) {
    std::vector<int> regs;
    for (const Bytes& w : ch.Written())
        if ((w[2] << 8 | w[3]) != 0x500) regs.push_back(w[2] << 8 | w[3]);
    return regs;
}

void SetVref(TestDb& db, int type, long long vref) {
    db.Run("update tbSMDef set vref=" + std::to_string(vref) + " where Type=" +
           std::to_string(type) + " and FldName='BT100_Itm'");
}

// ---------------------------------------------------------------- Batt100: DataGet

TEST(Batt100, RequestSequenceForTenCells) {
    Batt100Rig r(7, 0x402);
    r.ch.SetResponder(Batt100Map);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 10));
    const std::vector<std::string> want = {
        Hex(Rtu("01 04 05 00 00 04")), Hex(Rtu("01 04 01 00 00 40")),
        Hex(Rtu("01 04 04 00 00 40")), Hex(Rtu("01 04 02 00 00 40")),
        Hex(Rtu("01 04 03 00 00 40"))};
    EXPECT_EQ(want, Requests(r.ch));
    EXPECT_EQ("01 04 05 00 00 04 F1 05", Requests(r.ch)[0]);
    // 100 ms between each request and its reply.
    EXPECT_EQ(std::vector<int>(5, 100), iotest::Sleeps());
    // Group values, the negative current as 0; cells 0..5 through DataVal.
    EXPECT_EQ(125, r.h.DataVal(1));
    EXPECT_EQ(0, r.h.DataVal(2));
    EXPECT_EQ(5350, r.h.DataVal(3));
    EXPECT_EQ(251, r.h.DataVal(4));
    EXPECT_EQ(0, r.h.DataVal(7));
    EXPECT_EQ(0x100, r.h.DataVal(11));  // voltage of cell 0
    EXPECT_EQ(0x200, r.h.DataVal(12));  // temperature of cell 0
    EXPECT_EQ(0x400, r.h.DataVal(13));  // resistance of cell 0
    EXPECT_EQ(0x205, r.h.DataVal(27));  // temperature of cell 5
    for (int fld : {0, -1, 29, 1000}) EXPECT_EQ(-1, r.h.DataVal(fld)) << fld;
}

TEST(Batt100, CellCountFromDefinitionAndCommand) {
    // The cell count decides how many 64-cell blocks a poll with argument 0 reads.
    struct Case {
        const char* what;
        long long vref;   // -1: no definition change
        int doFuncLen;    // -1: no command
        size_t blocks;
    } cases[] = {
        {"stored default 20", -1, -1, 1},
        {"vref 0 reads 4", 0, -1, 1},
        {"vref 100", 100, -1, 2},
        {"vref modulo 65536", 65536 + 70, -1, 2},
        {"vref above the arrays", 1000, -1, 4},
        {"command 0 with 24", -1, 24, 1},
        {"command 0 low 16 bits", -1, 0x10000 + 130, 3},
        {"command 0 above the arrays", -1, 300, 4},
    };
    for (const Case& c : cases) {
        Batt100Rig r(7, 0x402);
        if (c.vref >= 0) {
            SetVref(r.db, 0x402, c.vref);
            r.h.RegDb(&r.db, 0);
        }
        if (c.doFuncLen >= 0) {
            EXPECT_EQ(1, r.h.DoFunc(0, nullptr, c.doFuncLen)) << c.what;
        }
        r.ch.SetResponder(Batt100Map);
        ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0)) << c.what;
        EXPECT_EQ(4 * c.blocks, BlockRegs(r.ch).size()) << c.what;
    }
}

TEST(Batt100, CountArgumentIsCappedAndWalksStopAtTheArrays) {
    Batt100Rig r(7, 0x402);
    r.ch.SetResponder(Batt100Map);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 5000));
    std::vector<int> regs = BlockRegs(r.ch);
    ASSERT_EQ(16u, regs.size());
    EXPECT_EQ(0x100 + 192, regs[12]);  // the last block starts at cell 192
    EXPECT_EQ(0x300 + 192, regs[15]);
}

TEST(Batt100, RefusedBlocksFailThePoll) {
    // The group block, then the first cell block (0x100) of a poll of 10 cells.
    Bytes full = Batt100Map(HexBytes("01 04 01 00 00 40 00 00"));
    Bytes shortBlock = Rtu("01 04 02 01 00");  // one word instead of 64: not a block
    struct Case {
        const char* what;
        Bytes reply;
    } cases[] = {
        {"seven-byte block", shortBlock},
        {"block cut short", Bytes(full.begin(), full.end() - 3)},
        {"bad CRC", BadCrc(Hex(Bytes(full.begin(), full.end() - 2)))},
        {"exception", Rtu("01 84 02")},
        {"silence", {}},
    };
    for (const Case& c : cases) {
        Batt100Rig r(7, 0x402);
        r.ch.Reply(Batt100Map(HexBytes("01 04 05 00 00 04 00 00")));
        if (c.reply.empty())
            r.ch.Silence();
        else
            r.ch.Reply(c.reply);
        EXPECT_EQ(0, r.h.DataGet(&r.ch, 1, 10)) << c.what;
        EXPECT_EQ(2u, r.ch.Written().size()) << c.what;  // nothing asked after the failure
        EXPECT_EQ(5350, r.h.DataVal(3)) << c.what;       // the group block read stays
        EXPECT_EQ(0, r.h.DataVal(11)) << c.what;
    }
}

TEST(Batt100, AddressBeyondTheUnitByteSendsNothing) {
    Batt100Rig r(7, 0x402);
    r.ch.SetResponder(Batt100Map);
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 0x101, 10));
    EXPECT_TRUE(r.ch.Written().empty());
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 10));
}

// ---------------------------------------------------------------- Batt100: DataUpd

std::string BattVal(TestDb& db, int sid) {
    return db.Str("select group_concat(r, ' ') from (select Fld||':'||State||'/'||V||'/'||R||'/'||"
                  "T||'/'||T2 as r from tbBattVal where SID=" + std::to_string(sid) +
                  " order by Fld)");
}

TEST(Batt100, UpdateRewritesTheRowsOfThePoint) {
    Batt100Rig r(7, 0x402);
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(7,1026,-1)");
    r.item.Ext(2, 0);
    r.ch.SetResponder(Batt100Map);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 10));
    int bits[1] = {0}, snap = 9;
    ASSERT_EQ(1, r.h.DataUpd(0x10, bits, &snap, 7, &r.hist));
    EXPECT_EQ("0|9|125|5350|251",
              r.db.Str("select State||'|'||SnapID||'|'||Curr||'|'||Volt||'|'||Minutes from "
                       "tbBatt100 where SID=7"));
    EXPECT_EQ("0:0/5350/125/251/0 1:0/256/1024/512/768 2:0/257/1025/513/769", BattVal(r.db, 7));
    EXPECT_EQ(0, r.db.Int("select State from tbSubSysDetail where SID=7"));
    EXPECT_EQ(0, r.hist.Int("select count(*) from tbBattVal"));  // no history
    EXPECT_EQ(0, r.hist.Int("select count(*) from tbBatt100"));

    // A failed poll: cells 0, the group values kept, state 2; rows rewritten, not added.
    r.ch.SetResponder(nullptr);
    ASSERT_EQ(0, r.h.DataGet(&r.ch, 1, 10));
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, 7, nullptr));
    EXPECT_EQ("2|125|5350|251",
              r.db.Str("select State||'|'||Curr||'|'||Volt||'|'||Minutes from tbBatt100 where SID=7"));
    EXPECT_EQ("0:2/5350/125/251/0 1:2/0/0/0/0 2:2/0/0/0/0", BattVal(r.db, 7));

    // Ext1 0 leaves the group row only; Ext1 beyond the arrays writes 256 cell rows.
    r.item.Ext(0, 0);
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, 7, nullptr));
    EXPECT_EQ("0:2/5350/125/251/0", BattVal(r.db, 7));
    r.item.Ext(100000, 0);
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, 7, nullptr));
    EXPECT_EQ(257, r.db.Int("select count(*) from tbBattVal where SID=7"));
}

TEST(Batt100, GroupValuesBelongToTheirPoint) {
    // Two points of the type on one handler: the silent one never shows the other's values.
    Batt100Rig r(7, 0x402);
    r.item.Ext(1, 0);
    qxhost::PointItem other(8, 0x402);
    other.Name("Q").Port(2).Addr(2).Ext(1, 0).Ser(&r.ch);
    ASSERT_EQ(1, r.h.ChkDb(other));

    r.ch.SetResponder(Batt100Map);
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 4));
    int bits[1] = {0};
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, 7, nullptr));

    r.h.DoItem(other, 0);
    r.ch.SetResponder(nullptr);
    ASSERT_EQ(0, r.h.DataGet(&r.ch, 2, 4));
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, 8, nullptr));
    EXPECT_EQ("2|0|0|0", r.db.Str("select State||'|'||Curr||'|'||Volt||'|'||Minutes from "
                                  "tbBatt100 where SID=8"));
    EXPECT_EQ("0:2/0/0/0/0 1:2/0/0/0/0", BattVal(r.db, 8));
    EXPECT_EQ("0:0/5350/125/251/0 1:0/256/1024/512/768", BattVal(r.db, 7));
}

TEST(Batt100, Registration) {
    Batt100Rig r(7, 0x402);
    EXPECT_EQ(10, r.db.Int("select count(*) from tbSMDef where Type=1026"));
    EXPECT_EQ(20, r.db.Int("select vref from tbSMDef where Type=1026 and FldName='BT100_Itm'"));
    EXPECT_EQ(1024, r.db.Int("select Kind from tbSMType where Type=1026"));
    EXPECT_EQ(::Hex(std::string("电池监测 QX-BAT100")), ::Hex(r.db.Str("select Name from tbSMType where Type=1026")));
    EXPECT_EQ(nullptr, r.h.Data());
    EXPECT_EQ(773, r.h.DataSize());
    // Both tables on both databases; none without a main database.
    for (TestDb* db : {&r.db, &r.hist})
        EXPECT_EQ(2, db->Int("select count(*) from sqlite_master where name in('tbBatt100','tbBattVal')"));
    CSMBatt100 lone;
    lone.SetDb(&r.hist, 1);
    EXPECT_EQ(0, lone.ChkDb(nullptr));
}

// ---------------------------------------------------------------- Bod800

// A BOD-800 string of cells: status, voltage byte and temperature per cell; cells listed in
// silent do not answer, those in corrupt answer with a bad CRC.
struct Cells {
    std::vector<int> silent, corrupt, shortReply;
    Bytes operator()(const Bytes& req) const {
        if (req.size() != 8 || req[1] != 4) return {};
        int cell = (req[2] << 8 | req[3]) - 128;
        auto in = [cell](const std::vector<int>& v) {
            return std::find(v.begin(), v.end(), cell) != v.end();
        };
        if (in(silent)) return {};
        char hex[64];
        snprintf(hex, sizeof hex, "01 04 06 %02X %02X %02X %02X 00 00", cell, 120 + cell,
                 (250 + cell) >> 8, (250 + cell) & 0xFF);
        if (in(corrupt)) return BadCrc(hex);
        if (in(shortReply)) {
            Bytes b = Rtu(hex);
            return Bytes(b.begin(), b.begin() + 9);
        }
        return Rtu(hex);
    }
};

TEST(Bod800, OneRequestPerCell) {
    Bod800Rig r(7, 0x404);
    r.ch.SetResponder(Cells{});
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 3));
    const std::vector<std::string> want = {"01 04 00 80 00 03 B1 E3", Hex(Rtu("01 04 00 81 00 03")),
                                           Hex(Rtu("01 04 00 82 00 03"))};
    EXPECT_EQ(want, Requests(r.ch));
    EXPECT_EQ(std::vector<int>(3, 10), iotest::Sleeps());
    EXPECT_EQ(0, r.h.DataVal(11));     // status of cell 0
    EXPECT_EQ(120, r.h.DataVal(12));   // voltage
    EXPECT_EQ(250, r.h.DataVal(13));   // temperature
    EXPECT_EQ(2, r.h.DataVal(17));
    EXPECT_EQ(252, r.h.DataVal(19));
    EXPECT_EQ(256, r.h.DataVal(20));   // cell 3 was not read
    EXPECT_EQ(-1, r.h.DataVal(395));
    EXPECT_EQ(-1, r.h.DataVal(10));
    EXPECT_EQ(256, r.h.DataVal(392));  // status of cell 127
}

TEST(Bod800, CellsThatDoNotAnswerAreMarked) {
    struct Case {
        const char* what;
        Cells cells;
        int result;
    } cases[] = {
        {"only cell 2 answers, 0 and 1 corrupt", Cells{{}, {0, 1}, {}}, 1},
        {"only cell 2 answers, 0 short, 1 corrupt", Cells{{}, {1}, {0}}, 1},
        {"no cell answers", Cells{{}, {0, 1, 2}, {}}, 0},
    };
    for (const Case& c : cases) {
        Bod800Rig r(7, 0x404);
        r.ch.SetResponder(c.cells);
        EXPECT_EQ(c.result, r.h.DataGet(&r.ch, 1, 3)) << c.what;
        EXPECT_EQ(3u, r.ch.Written().size()) << c.what;
        for (int cell : {0, 1}) {
            EXPECT_EQ(256, r.h.DataVal(11 + 3 * cell)) << c.what;
            EXPECT_EQ(0, r.h.DataVal(12 + 3 * cell)) << c.what;
            EXPECT_EQ(0, r.h.DataVal(13 + 3 * cell)) << c.what;
        }
        EXPECT_EQ(c.result ? 2 : 256, r.h.DataVal(17)) << c.what;
    }
}

TEST(Bod800, SilentCellEndsThePoll) {
    Bod800Rig r(7, 0x404);
    r.ch.SetResponder(Cells{{1}, {}, {}});
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 1, 3));
    EXPECT_EQ(2u, r.ch.Written().size());  // cell 2 is not asked
    EXPECT_EQ(0, r.h.DataVal(11));
    EXPECT_EQ(256, r.h.DataVal(14));
    EXPECT_EQ(256, r.h.DataVal(17));
}

TEST(Bod800, CountAndRows) {
    Bod800Rig r(7, 0x404);
    EXPECT_EQ(20, r.h.DataVal(1));
    SetVref(r.db, 0x404, 0);
    r.h.RegDb(&r.db, 0);
    EXPECT_EQ(4, r.h.DataVal(1));
    EXPECT_EQ(1, r.h.DoFunc(0, nullptr, 500));
    EXPECT_EQ(128, r.h.DataVal(1));
    EXPECT_EQ(1, r.h.DoFunc(0, nullptr, 0x10003));
    EXPECT_EQ(3, r.h.DataVal(1));

    r.item.Ext(4, 0);
    r.ch.SetResponder(Cells{{}, {1}, {}});
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0));
    EXPECT_EQ(3u, r.ch.Written().size());
    int bits[1] = {0};
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, 7, nullptr));
    EXPECT_EQ("1:0/120/0/250/0 2:256/0/0/0/0 3:2/122/0/252/0 4:256/0/0/0/0", BattVal(r.db, 7));
    EXPECT_EQ("0|0|0|0", r.db.Str("select State||'|'||Curr||'|'||Volt||'|'||Minutes from "
                                  "tbBatt100 where SID=7"));
    r.item.Ext(1000, 0);
    ASSERT_EQ(1, r.h.DataUpd(0, bits, nullptr, 7, nullptr));
    EXPECT_EQ(128, r.db.Int("select count(*) from tbBattVal where SID=7"));
}

TEST(Bod800, FailedPollWritesStateTwoAndCellStatus) {
    Bod800Rig r(7, 0x404);
    r.db.Run("insert into tbSubSysDetail(SID,Type,State) values(7,1028,-1)");
    r.item.Ext(2, 0);
    r.ch.SetResponder(Cells{});
    ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 2));
    r.ch.SetResponder(Cells{{0}, {}, {}});
    ASSERT_EQ(0, r.h.DataGet(&r.ch, 1, 2));
    ASSERT_EQ(1, r.h.DataUpd(0, nullptr, nullptr, 7, nullptr));
    EXPECT_EQ(2, r.db.Int("select State from tbBatt100 where SID=7"));
    EXPECT_EQ(2, r.db.Int("select State from tbSubSysDetail where SID=7"));
    EXPECT_EQ("1:256/0/0/0/0 2:256/0/0/0/0", BattVal(r.db, 7));
}

TEST(Bod800, ChannelFailures) {
    Bod800Rig r(7, 0x404);
    EXPECT_EQ(0, r.h.DataGet(nullptr, 1, 3));
    r.ch.ShortWrite(7);
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 1, 3));
    EXPECT_EQ(1u, r.ch.Written().size());
    r.ch.SetResponder(Cells{});
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 256, 3));
    EXPECT_EQ(1u, r.ch.Written().size());
}

// ---------------------------------------------------------------- cells out of range

// The fields of a polled monitor out of the limits of its type's rows, as the host checks
// them over fields 1 to DataSize and names them; the update with those bits stores state 1.
template <class Rig>
std::string HostCheck(Rig& r, int type, int count) {
    if (r.h.DataGet(&r.ch, 1, count) != 1) return "no answer";
    std::vector<int32_t> bits;
    const std::string out = powertest::OutOfLimits(r.h, r.db, type, bits);
    EXPECT_EQ(1, r.h.DataUpd(out.empty() ? 0 : 1, bits.data(), nullptr, 7, nullptr));
    EXPECT_EQ(out.empty() ? 0 : 1, r.db.Int("select State from tbBatt100 where SID=7"));
    return out;
}

// The cell rows stand for every cell; the host checks them on the first cell (fields 11 to
// 13). Their legends call a cell out of range an alarm: a failing block raises its fields, a
// sound one none. The BOD-800's status is an alarm code (0 normal; 256 a cell that gave no
// reply); its temperature row keeps no alarm (limits of 10.0 to 20.0 C).
TEST(BattMonitors, AFirstCellOutOfRangeAlarms) {
    const struct {
        const char* what;
        uint16_t v, r, t;  // tenths of a volt, of a milliohm, of a degree
        const char* out;
    } batt100[] = {
        {"sound", 133, 300, 251, ""},
        {"collapsed", 79, 300, 251, "V1(11)"},
        {"overcharged", 161, 300, 251, "V1(11)"},
        {"hot", 133, 300, 365, "T1(12)"},
        {"frozen", 133, 300, (uint16_t)-60, "T1(12)"},
        {"aged", 133, 1850, 251, "R1(13)"},
        {"failing", 79, 1850, 365, "V1(11),T1(12),R1(13)"},
    };
    for (const auto& c : batt100) {
        Batt100Rig r(7, 0x402);
        r.ch.SetResponder([&c](const Bytes& req) {
            if (req.size() != 8 || req[1] != 4) return Bytes();
            const int reg = req[2] << 8 | req[3], count = req[4] << 8 | req[5];
            return InputReply(reg, count, [&c](int x) -> uint16_t {
                switch (x) {
                case 0x100: return c.v;
                case 0x400: return c.r;
                case 0x200: return c.t;
                case 0x500: return 25;
                case 0x502: return 3200;
                case 0x503: return 251;
                }
                return x >= 0x100 && x < 0x200 ? 133 : x >= 0x200 && x < 0x300 ? 251 : x >= 0x400 ? 300 : 0;
            });
        });
        EXPECT_EQ(c.out, HostCheck(r, 0x402, 6)) << c.what;
    }
    const struct {
        const char* what;
        int status, volt, temp;
        bool corrupt;  // the cell's reply fails its CRC: no reply from the cell
        const char* out;
    } bod800[] = {
        {"sound", 0, 120, 250, false, ""},
        {"alarm status", 1, 120, 250, false, "St1(11)"},
        {"collapsed", 0, 75, 250, false, "V1(12)"},
        {"overcharged", 0, 161, 250, false, "V1(12)"},
        {"hot: no alarm row", 0, 120, 450, false, ""},
        {"no reply", 0, 0, 0, true, "St1(11),V1(12)"},
    };
    for (const auto& c : bod800) {
        Bod800Rig r(7, 0x404);
        r.ch.SetResponder([&c](const Bytes& req) {
            if (req.size() != 8 || req[1] != 4) return Bytes();
            const int cell = (req[2] << 8 | req[3]) - 128;
            char hex[64];
            snprintf(hex, sizeof hex, "01 04 06 %02X %02X %02X %02X 00 00", cell ? 0 : c.status,
                     cell ? 121 : c.volt, (cell ? 250 : c.temp) >> 8, (cell ? 250 : c.temp) & 0xFF);
            return cell == 0 && c.corrupt ? BadCrc(hex) : Rtu(hex);
        });
        EXPECT_EQ(c.out, HostCheck(r, 0x404, 3)) << c.what;
    }
}

}  // namespace
