// The Modbus precision and in-row air-conditioners (GI, GT, PeX, Hiross, Matrix, Station) on
// the air-conditioner shape: request frames of every map, what the replies decode to, which
// replies are refused and what a refused request leaves, values kept per point, the waits,
// registration and what an update stores.
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "AircModbusMaps.h"
#include "BufHelper.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "UpsUnitRig.h"
#include "aircon/SMCyberHiross.h"
#include "aircon/SMCyberMatrix.h"
#include "aircon/SMCyberPeX.h"
#include "aircon/SMCyberStation.h"
#include "aircon/SMLineGI.h"
#include "aircon/SMLineGT.h"
#include "gtest/gtest.h"

using qxtest::Bytes;
using F = qxsim::ModbusFault;

namespace {

std::vector<int>& g_sleeps = qxtest::Sleeps();
const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// A handler with one point behind a scripted channel answered by a Modbus slave; request n
// (1-based, counted from the last Reset) can be given a fault.
template <class H>
struct Rig {
    explicit Rig(int type, int variant = 0, int sid = 41) : item(sid, type) {
        item.Name("AC").Port(3).Addr(1).Variant(variant).Ser(&ch);
        h.DoItem(item, 0);
        ch.SetResponder([this](const Bytes& q) {
            if (++sent != faultAt) return slave.HandleRtu(q.data(), q.size()).bytes;
            const Bytes clean = slave.HandleRtu(q.data(), q.size()).bytes;
            slave.FaultOnce(fault, param);
            const Bytes faulty = slave.HandleRtu(q.data(), q.size()).bytes;
            faultChanged = faulty != clean;  // a cut beyond a short reply changes nothing
            return faulty;
        });
        g_sleeps.clear();
    }
    int Poll(int wait = 0, int addr = 1) { return h.DataGet(&ch, addr, wait); }
    void FaultAt(int n, F f, int p = -1) { sent = 0, faultAt = n, fault = f, param = p; }
    std::vector<int> Values(int n) {
        std::vector<int> v;
        for (int f = 1; f <= n; f++) v.push_back(h.DataVal(f));
        return v;
    }

    qxsim::ModbusSlave slave{1};
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    H h;
    int sent = 0, faultAt = 0, param = -1;
    F fault = F::None;
    bool faultChanged = false;
};

// The frame sent, without its CRC, after checking the CRC.
std::string Frame(const Bytes& b) {
    if (b.size() != 8) return "length " + std::to_string(b.size());
    EXPECT_EQ(CBufHelper::crc16(b.data(), 6), b[6] | b[7] << 8);
    return qxtest::Hex(Bytes(b.begin(), b.begin() + 6));
}

std::vector<std::string> Frames(const qxtest::ScriptChannel& ch) {
    std::vector<std::string> out;
    for (const Bytes& b : ch.Written()) out.push_back(Frame(b));
    return out;
}

// Every element of the slave at `base` + its address, coils and inputs on or off.
void Fill(qxsim::ModbusSlave& s, uint16_t base, bool on) {
    for (int a = 0; a < 800; a++) {
        s.SetHolding((uint16_t)a, (uint16_t)(base + a));
        s.SetInput((uint16_t)a, (uint16_t)(base + a));
        s.SetCoil((uint16_t)a, on);
        s.SetDiscrete((uint16_t)a, on);
    }
}

// One handler of each driver.
struct Six {
    CSMLineGI gi;
    CSMLineGT gt;
    CSMCyberPeX pex;
    CSMCyberHiross hiross;
    CSMCyberMatrix matrix;
    CSMCyberStation station;
};

}  // namespace

// ---------------------------------------------------------------- frames and maps

TEST(AircModbusFrames, EveryRequestOfEveryMap) {
    struct Case {
        const char* what;
        std::function<int(qxtest::ScriptChannel&, qxhost::PointItem*)> poll;
        std::vector<std::string> frames;
    };
    auto with = [](auto* h, int type) {
        return [h, type](qxtest::ScriptChannel& ch, qxhost::PointItem* item) {
            h->DoItem(item ? (tagSMItem*)*item : nullptr, 0);
            return h->DataGet(&ch, 0x11, 0);
        };
    };
    Six six;
    const std::vector<std::string> pex0 = {"11 02 00 0A 00 15", "11 04 00 0F 00 01",
                                           "11 04 00 6D 00 04", "11 04 00 81 00 02"};
    const std::vector<std::string> station0 = {"11 01 00 08 00 13", "11 01 00 7F 00 0A",
                                               "11 03 02 8C 00 02", "11 03 02 C0 00 02"};
    const Case cases[] = {
        {"GI", with(&six.gi, 0x806),
         {"11 03 00 04 00 03", "11 03 00 0F 00 01", "11 03 00 1B 00 01", "11 03 00 85 00 01",
          "11 01 00 17 00 03", "11 01 00 1E 00 02", "11 01 00 25 00 05", "11 01 00 31 00 07",
          "11 01 00 39 00 01", "11 01 00 3E 00 05"}},
        {"GT", with(&six.gt, 0x805),
         {"11 03 00 01 00 07", "11 03 00 81 00 01", "11 01 00 02 00 04", "11 01 00 08 00 07",
          "11 01 00 25 00 01"}},
        {"PeX", with(&six.pex, 0x808), pex0},
        {"Hiross", with(&six.hiross, 0x80D),
         {"11 03 00 10 00 13", "11 03 00 30 00 06", "11 03 00 70 00 0A"}},
        {"Matrix", with(&six.matrix, 0x80A), {"11 01 00 0E 00 34", "11 03 00 01 00 0F"}},
        {"Station", with(&six.station, 0x80B), station0},
    };
    // Every variant: 0, 1, 2 and no point; PeX and Station read their other map for 1 only.
    for (const Case& c : cases) {
        for (int variant : {0, 1, 2, -1}) {
            qxtest::ScriptChannel ch;
            ch.SetResponder([](const Bytes& q) {
                qxsim::ModbusSlave s(0x11);
                return s.HandleRtu(q.data(), q.size()).bytes;
            });
            qxhost::PointItem item(41, 0x800);
            item.Variant(variant < 0 ? 0 : variant);
            EXPECT_EQ(1, c.poll(ch, variant < 0 ? nullptr : &item)) << c.what << " " << variant;
            std::vector<std::string> want = c.frames;
            if (variant == 1 && std::string(c.what) == "PeX") want = {"11 03 00 00 00 40"};
            if (variant == 1 && std::string(c.what) == "Station")
                want = {"11 01 00 00 00 13", "11 01 00 80 00 0A", "11 03 00 02 00 02",
                        "11 03 02 BF 00 02"};
            EXPECT_EQ(want, Frames(ch)) << c.what << " variant " << variant;
        }
    }
}

TEST(AircModbusFrames, RefusedBeforeSending) {
    upstest::Rig<CSMLineGI> gi(41, 0x806);
    upstest::ExpectRefusedBeforeSending(gi);
    upstest::Rig<CSMCyberStation> station(41, 0x80B);
    upstest::ExpectRefusedBeforeSending(station);
    upstest::Rig<CSMCyberPeX> pex(41, 0x808);
    pex.item.Variant(1);
    upstest::ExpectRefusedBeforeSending(pex);
}

TEST(AircModbusFrames, WaitsAndReadLengths) {
    struct Case {
        const char* what;
        std::function<int(qxtest::ScriptChannel&, int wait)> poll;
        int wait;
        std::vector<int> sleeps;
        int readLength;
    };
    Six six;
    auto with = [](CSMAircShape* h) {
        return [h](qxtest::ScriptChannel& ch, int wait) { return h->DataGet(&ch, 1, wait); };
    };
    const Case cases[] = {
        {"GI 100 ms, wait unused", with(&six.gi), 700, std::vector<int>(10, 100), 20},
        {"GT", with(&six.gt), 700, std::vector<int>(5, 100), 50},
        {"Hiross", with(&six.hiross), 700, std::vector<int>(3, 100), 46},
        {"PeX wait", with(&six.pex), 300, std::vector<int>(4, 300), 256},
        {"PeX no wait", with(&six.pex), 0, {}, 256},
        {"PeX negative wait", with(&six.pex), -5, {}, 256},
        {"Matrix wait", with(&six.matrix), 250, {250, 250}, 120},
        {"Matrix no wait", with(&six.matrix), 0, {}, 120},
        {"Station wait and 200 ms", with(&six.station), 300, std::vector<int>(4, 500), 120},
        {"Station no wait still 200 ms", with(&six.station), 0, std::vector<int>(4, 200), 120},
    };
    for (const Case& c : cases) {
        qxtest::ScriptChannel ch;
        qxsim::ModbusSlave s(1);
        ch.SetResponder([&s](const Bytes& q) { return s.HandleRtu(q.data(), q.size()).bytes; });
        g_sleeps.clear();
        EXPECT_EQ(1, c.poll(ch, c.wait)) << c.what;
        EXPECT_EQ(c.sleeps, g_sleeps) << c.what;
        EXPECT_EQ(c.readLength, ch.ReadLengths().at(0)) << c.what;
        EXPECT_EQ(0, ch.Purges()) << c.what;
    }
}

// ---------------------------------------------------------------- decodes

TEST(AircModbusDecode, LineGi) {
    Rig<CSMLineGI> r(0x806);
    qxsim::LineGi m;
    m.sfwd = 181, m.hfwd = 0xFF38, m.hfsd = 505, m.wdset = 240, m.sdset = 500, m.state = 3;
    for (int k = 0; k < 23; k++) m.faults[k] = k % 2 == 0;
    m.faults[15] = m.faults[16] = true;  // coils 54, 55
    qxsim::SetLineGi(r.slave, m);
    ASSERT_EQ(1, r.Poll());
    const std::vector<int> want = {1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1,
                                   1, 1,  // gz54, gz55: coils 54 and 55
                                   0, 1, 0, 1, 0, 1,
                                   3, 0, 181, 0xFF38, 505, 0, 0, 0, 0, 0, 240, 0, 500, 0, 0};
    EXPECT_EQ(want, r.Values(38));
    EXPECT_EQ(-1, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(39));
    EXPECT_EQ(38, r.h.DataSize());
    EXPECT_STREQ("AIRC-LINE-GI", r.h.GetNote());
}

TEST(AircModbusDecode, LineGiFifthExchangeFailing) {
    Rig<CSMLineGI> r(0x806);
    Fill(r.slave, 1000, true);
    ASSERT_EQ(1, r.Poll());
    const std::vector<int> before = r.Values(38);
    Fill(r.slave, 2000, false);
    r.FaultAt(5, F::Silence);
    EXPECT_EQ(0, r.Poll());
    EXPECT_EQ(5, r.sent) << "the poll ends at the failing exchange";
    std::vector<int> want = before;
    want[25] = 2004, want[26] = 2005, want[27] = 2006;  // sfwd, hfwd, hfsd
    want[33] = 2015, want[35] = 2027, want[23] = 2133;  // wdset, sdset, aircstate
    EXPECT_EQ(want, r.Values(38));
    for (int f : {25, 29, 30, 31, 32, 33, 35, 37, 38}) EXPECT_EQ(0, r.h.DataVal(f)) << f;
}

TEST(AircModbusDecode, LineGt) {
    Rig<CSMLineGT> r(0x805);
    qxsim::LineGt m;
    m.hfwd = 0x8001;
    for (int k = 0; k < 12; k++) m.faults[k] = k != 3;
    qxsim::SetLineGt(r.slave, m);
    ASSERT_EQ(1, r.Poll());
    const std::vector<int> want = {1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1,
                                   1, 0x8001, 480, 180, 230, 250, 500, 550};
    EXPECT_EQ(want, r.Values(20));
    EXPECT_EQ(-1, r.h.DataVal(21));
}

TEST(AircModbusDecode, LineGtFirstReplyReadUpTo50Bytes) {
    Rig<CSMLineGT> r(0x805);
    qxsim::SetLineGt(r.slave, qxsim::LineGt());
    // A good first reply with noise behind it: read up to 50 bytes, the frame is taken.
    Bytes first = r.slave.HandleRtu(Bytes{1, 3, 0, 1, 0, 7, 0x55, 0xC8}.data(), 8).bytes;
    ASSERT_EQ(19u, first.size());
    first.insert(first.end(), 31, 0xEE);
    r.ch.Reply(first);
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ(50, r.ch.ReadLengths().at(0));
    EXPECT_EQ(240, r.h.DataVal(14));
    // A first reply longer than 50 bytes (byte count 48) is cut by the read: refused.
    Bytes longer = {1, 3, 48};
    longer.insert(longer.end(), 48, 0x11);
    uint16_t crc = CBufHelper::crc16(longer.data(), (int)longer.size());
    longer.push_back((uint8_t)crc), longer.push_back((uint8_t)(crc >> 8));
    r.ch.Reply(longer);
    EXPECT_EQ(0, r.Poll());
}

TEST(AircModbusDecode, PexBothMapsSignedWordsUnsignedDs) {
    struct Case {
        const char* what;
        int variant;
        std::vector<int> want;
    } cases[] = {
        {"variant 0, one byte per input", 0, {1, 65535, 1, 1, 0, 1, 1, -20, -1, 450, 240, -500}},
        {"variant 2", 2, {1, 65535, 1, 1, 0, 1, 1, -20, -1, 450, 240, -500}},
        {"variant 1: fields 1-6 never read", 1, {0, 0, 0, 0, 0, 0, 1, -20, -1, 450, 240, -500}},
    };
    for (const Case& c : cases) {
        Rig<CSMCyberPeX> r(0x808, c.variant);
        qxsim::Pex m;
        m.ds = 0xFFFF, m.rTem = -1, m.sTem = -20, m.humset = -500, m.jsq = true, m.csj = true;
        qxsim::SetPex(r.slave, m, c.variant == 1 ? 1 : 0);
        ASSERT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(c.want, r.Values(12)) << c.what;
        EXPECT_EQ(26, r.h.DataSize());
        for (int f : {0, 13, 26, 27}) EXPECT_EQ(-1, r.h.DataVal(f)) << f;
    }
}

TEST(AircModbusDecode, PexPackedInputsTakeTheFirstByteOnly) {
    Rig<CSMCyberPeX> r(0x808);
    qxsim::Pex m;
    m.jsq = true;
    qxsim::SetPex(r.slave, m, 0);
    r.slave.ClearFault();  // inputs packed eight to a byte, as Modbus has it
    r.slave.SetDiscrete(11, true);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(3, r.h.DataVal(1)) << "the whole first byte: inputs 10 and 11";
    for (int f = 3; f <= 7; f++) EXPECT_EQ(0, r.h.DataVal(f)) << f;
    EXPECT_EQ(235, r.h.DataVal(9));
}

TEST(AircModbusDecode, HirossStatusWordAndFlags) {
    Rig<CSMCyberHiross> r(0x80D);
    qxsim::Hiross m;
    m.r[0] = 0x0045;
    m.r[17] = 0x8010;  // a top-bit temperature stays unsigned
    for (int k = 0; k < 6; k++) m.st[k] = (uint16_t)(600 + k);
    for (int k = 0; k < 10; k++) m.v[k] = (uint16_t)(700 + k);
    qxsim::SetHiross(r.slave, m);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(69, r.h.DataVal(1));
    EXPECT_EQ(0x8010, r.h.DataVal(18));
    EXPECT_EQ(480, r.h.DataVal(19));
    EXPECT_EQ(605, r.h.DataVal(25));
    EXPECT_EQ(709, r.h.DataVal(35));
    const std::vector<int> flags = {1, 0, 1, 0, 0, 0, 1};
    for (int k = 0; k < 7; k++) EXPECT_EQ(flags[(size_t)k], r.h.DataVal(36 + k)) << k;
    EXPECT_EQ(-1, r.h.DataVal(0));
    EXPECT_EQ(-1, r.h.DataVal(43));
    EXPECT_EQ(42, r.h.DataSize());
}

TEST(AircModbusDecode, MatrixCoilAndRegisterPositions) {
    Rig<CSMCyberMatrix> r(0x80A);
    // Only the coils and registers of the map set: each lands in its own field.
    const uint16_t coils[] = {14, 15, 16, 17, 18, 19, 25, 31, 32, 33, 34, 61, 63, 64};
    for (int k = 0; k < 14; k++) {
        qxsim::ModbusSlave& s = r.slave;
        Fill(s, 0, false);
        for (int a = 0; a < 20; a++) s.SetHolding((uint16_t)a, 0);
        s.SetCoil(coils[k], true);
        s.SetHolding(1, 481), s.SetHolding(4, 236), s.SetHolding(10, 240), s.SetHolding(13, 0xFFFF);
        ASSERT_EQ(1, r.Poll());
        std::vector<int> want(18, 0);
        want[0] = 236, want[1] = 481, want[2] = 240, want[3] = 0xFFFF;
        want[(size_t)(4 + k)] = 1;
        EXPECT_EQ(want, r.Values(18)) << "coil " << coils[k];
    }
    EXPECT_EQ(-1, r.h.DataVal(19));
}

TEST(AircModbusDecode, StationBothMaps) {
    struct Case {
        int variant;
        std::vector<int> want;  // fields 1..19
    } cases[] = {
        {0, {1, 0, 1, 0, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 241, 502, 236, 481}},
        {2, {1, 0, 1, 0, 1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 241, 502, 236, 481}},
        // ys1 = ys2, jr1 = jr2; no dehumidifier or condenser fans; the humidity and
        // temperature alarms at coils 9 to 12, no fan overloads.
        {1, {1, 1, 1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 0, 0, 241, 502, 236, 481}},
    };
    for (const Case& c : cases) {
        Rig<CSMCyberStation> r(0x80B, c.variant);
        qxsim::Station m;
        m.temset = 241, m.humset = 502, m.tem = 236, m.hum = 481;
        const bool states[9] = {true, false, true, false, true, false, true, false, true};
        const bool alarms[6] = {true, false, true, false, true, true};
        memcpy(m.states, states, sizeof states);
        memcpy(m.alarms, alarms, sizeof alarms);
        if (c.variant == 1) m.states[1] = true;  // the compressors' coil 130
        qxsim::SetStation(r.slave, m, c.variant == 1 ? 1 : 0);
        if (c.variant == 1) r.slave.SetCoil(0, true);  // the first reply gives nothing
        ASSERT_EQ(1, r.Poll()) << c.variant;
        EXPECT_EQ(c.want, r.Values(19)) << c.variant;
        EXPECT_EQ(15, r.h.DataSize());
        EXPECT_EQ(-1, r.h.DataVal(20));
        EXPECT_EQ(-1, r.h.DataVal(0));
        // The block is in table order: set points, temperature, humidity, then the states.
        int32_t block[5];
        memcpy(block, r.h.Data(), sizeof block);
        EXPECT_EQ(241, block[0]);
        EXPECT_EQ(481, block[3]);
        EXPECT_EQ(1, block[4]);
    }
}

TEST(AircModbusDecode, StationThirdExchangeFailingLeavesMeasurementsAtZero) {
    Rig<CSMCyberStation> r(0x80B);
    Fill(r.slave, 1000, true);
    ASSERT_EQ(1, r.Poll());
    EXPECT_EQ(1704, r.h.DataVal(18));
    r.FaultAt(3, F::Silence);
    EXPECT_EQ(0, r.Poll());
    for (int f = 16; f <= 19; f++) EXPECT_EQ(0, r.h.DataVal(f)) << f;
    for (int f = 1; f <= 15; f++) EXPECT_EQ(1, r.h.DataVal(f)) << f;
}

// ---------------------------------------------------------------- refused replies

namespace {

// What a refused request leaves, for every request of a map and every refused form: the
// request's own fields keep the last poll's values; a required one ends the poll (0, the
// later requests' fields kept too), another lets it go on. clearing: the first request
// clears every value, so the fields of a failed poll after it are 0.
template <class H>
void ExpectRefusals(int type, int variant, int n, const std::vector<std::vector<int>>& fields,
                    const std::vector<bool>& required, bool clearing = false) {
    auto polled = [&](uint16_t base, bool on) {
        Rig<H> r(type, variant);
        Fill(r.slave, base, on);
        EXPECT_EQ(1, r.Poll());
        return r.Values(n);
    };
    const std::vector<int> a = polled(1000, true), b = polled(3000, false);
    for (size_t k = 0; k < fields.size(); k++) {
        for (const auto& refusal : upstest::MbRefusals()) {
            Rig<H> r(type, variant);
            Fill(r.slave, 1000, true);
            ASSERT_EQ(1, r.Poll());
            Fill(r.slave, 3000, false);
            r.FaultAt((int)k + 1, refusal.fault, refusal.param);
            const int result = r.Poll();
            if (!r.faultChanged) continue;
            std::vector<int> want = b;
            for (size_t j = 0; j < fields.size(); j++) {
                if (j != k && !(required[k] && j > k)) continue;
                for (int f : fields[j]) want[(size_t)f - 1] = clearing && k > 0 ? 0 : a[(size_t)f - 1];
            }
            const std::string what = std::string(refusal.what) + " at request " + std::to_string(k + 1);
            EXPECT_EQ(required[k] ? 0 : 1, result) << what;
            EXPECT_EQ(want, r.Values(n)) << what;
            if (required[k]) {
                EXPECT_EQ((int)k + 1, r.sent) << what;
            }
        }
    }
}

std::vector<int> Range(int from, int to) {
    std::vector<int> v;
    for (int f = from; f <= to; f++) v.push_back(f);
    return v;
}

}  // namespace

TEST(AircModbusRefusals, LineGi) {
    ExpectRefusals<CSMLineGI>(0x806, 0, 38,
                              {{26, 27, 28}, {34}, {36}, {24}, Range(1, 3), {4, 5}, Range(6, 10),
                               Range(11, 17), {18}, Range(19, 23)},
                              std::vector<bool>(10, true));
}

TEST(AircModbusRefusals, LineGt) {
    ExpectRefusals<CSMLineGT>(0x805, 0, 20, {Range(14, 20), {13}, Range(1, 4), Range(5, 11), {12}},
                              std::vector<bool>(5, true));
}

TEST(AircModbusRefusals, PexBothMaps) {
    ExpectRefusals<CSMCyberPeX>(0x808, 0, 12, {{1, 3, 4, 5, 6, 7}, {2}, {8, 9, 11}, {10, 12}},
                                std::vector<bool>(4, true));
    ExpectRefusals<CSMCyberPeX>(0x808, 1, 12, {Range(7, 12)}, {true});
}

TEST(AircModbusRefusals, HirossOnlyTheFirstBlockIsRequired) {
    std::vector<int> first = Range(1, 19);
    for (int f = 36; f <= 42; f++) first.push_back(f);
    ExpectRefusals<CSMCyberHiross>(0x80D, 0, 42, {first, Range(20, 25), Range(26, 35)},
                                   {true, false, false});
}

TEST(AircModbusRefusals, Matrix) {
    ExpectRefusals<CSMCyberMatrix>(0x80A, 0, 18, {Range(5, 18), Range(1, 4)}, {true, true});
}

TEST(AircModbusRefusals, StationBothMaps) {
    ExpectRefusals<CSMCyberStation>(0x80B, 0, 19,
                                    {Range(10, 15), Range(1, 9), {16, 17}, {18, 19}},
                                    std::vector<bool>(4, true), true);
    ExpectRefusals<CSMCyberStation>(0x80B, 1, 19, {Range(10, 13), {1, 2, 3, 4, 5, 7}, {16, 17}, {18, 19}},
                                    std::vector<bool>(4, true), true);
}

TEST(AircModbusRefusals, ASplitReplyIsGathered) {
    Rig<CSMCyberPeX> r(0x808, 1);
    qxsim::SetPex(r.slave, qxsim::Pex(), 1);
    Bytes whole = r.slave.HandleRtu(Bytes{1, 3, 0, 0, 0, 64, 0x44, 0x3A}.data(), 8).bytes;
    ASSERT_EQ(133u, whole.size());
    r.ch.ReplyChunks({Bytes(whole.begin(), whole.begin() + 2), Bytes(whole.begin() + 2, whole.begin() + 70),
                      Bytes(whole.begin() + 70, whole.end())});
    EXPECT_EQ(1, r.Poll());
    EXPECT_EQ(235, r.h.DataVal(9));
}

// ---------------------------------------------------------------- values per point

TEST(AircModbusPoints, KeptValuesAreThePointsOwn) {
    // Hiross: a point answering only its first block beside a full one keeps 0 (never read)
    // in fields 20..35, not the other point's readings.
    CSMCyberHiross h;
    qxsim::ModbusSlave full(1), partial(2);
    qxsim::Hiross m;
    for (int k = 0; k < 6; k++) m.st[k] = 50;
    for (int k = 0; k < 10; k++) m.v[k] = 70;
    qxsim::SetHiross(full, m);
    qxsim::SetHiross(partial, qxsim::Hiross());
    qxtest::ScriptChannel ch;
    ch.SetResponder([&](const Bytes& q) {
        if (q[0] == 2 && q[3] != 16) return Bytes();  // unit 2 answers only its first block
        return (q[0] == 1 ? full : partial).HandleRtu(q.data(), q.size()).bytes;
    });
    qxhost::PointItem a(61, 0x80D), b(62, 0x80D);
    a.Addr(1).Ser(&ch);
    b.Addr(2).Ser(&ch);
    h.DoItem(a, 0);
    ASSERT_EQ(1, h.DataGet(&ch, 1, 0));
    EXPECT_EQ(50, h.DataVal(20));
    h.DoItem(b, 0);
    ASSERT_EQ(1, h.DataGet(&ch, 2, 0));
    EXPECT_EQ(0, h.DataVal(20));
    EXPECT_EQ(0, h.DataVal(35));
    EXPECT_EQ(235, h.DataVal(18));
    h.DoItem(a, 0);
    full.SetFault(F::Silence);
    ASSERT_EQ(0, h.DataGet(&ch, 1, 0));
    EXPECT_EQ(50, h.DataVal(20)) << "the point's own earlier values";

    // PeX: points of both variants share the handler; variant 1 never reads fields 1..6.
    CSMCyberPeX pex;
    qxsim::ModbusSlave u0(1), u1(2);
    qxsim::Pex p;
    p.fj = p.zl = p.jrq = true;
    qxsim::SetPex(u0, p, 0);
    qxsim::SetPex(u1, p, 1);
    qxtest::ScriptChannel pc;
    pc.SetResponder([&](const Bytes& q) { return (q[0] == 1 ? u0 : u1).HandleRtu(q.data(), q.size()).bytes; });
    qxhost::PointItem v0(71, 0x808), v1(72, 0x808);
    v1.Variant(1);
    pex.DoItem(v0, 0);
    ASSERT_EQ(1, pex.DataGet(&pc, 1, 0));
    EXPECT_EQ(1, pex.DataVal(3));
    pex.DoItem(v1, 0);
    ASSERT_EQ(1, pex.DataGet(&pc, 2, 0));
    for (int f = 1; f <= 6; f++) EXPECT_EQ(0, pex.DataVal(f)) << f;
    EXPECT_EQ(235, pex.DataVal(9));
}

// ---------------------------------------------------------------- commands

TEST(AircModbusCommand, NoCommandIsSent) {
    Six six;
    int v = 1;
    for (CSMBase* h : std::vector<CSMBase*>{&six.gi, &six.gt, &six.pex, &six.hiross, &six.matrix, &six.station}) {
        qxtest::ScriptChannel ch;
        EXPECT_EQ(0, h->DoFunc(&ch, 1, 5, &v, 4)) << h->GetNote();
        EXPECT_EQ(0, h->DoFunc(nullptr, 1, 5, &v, 4)) << h->GetNote();
        EXPECT_TRUE(ch.Written().empty()) << h->GetNote();
    }
}

// ---------------------------------------------------------------- registration and rows

TEST(AircModbusDb, TypeAndDefinitionRows) {
    struct Case {
        CSMAircShape* h;
        int type;
        const char* typeRow;
        int defs;
        int fld;
        const char* defRow;  // one row, whole
    };
    Six six;
    const Case cases[] = {
        {&six.gi, 0x806, "2054|2048|行间空调GI系列 AIRC-LINE-GI|485接口...", 23, 17,
         "0|17|gz55|1|变频器电流过高故障|0|1|1|0|0正常|0||0|"},
        {&six.gt, 0x805, "2053|2048|行间空调GT系列 SMLineGT|485接口...", 12, 5,
         "0|5|yj1gzgz|1|压机1过载或冷凝风机过载|0|1|1|0|0正常|0||0|"},
        {&six.pex, 0x808, "2056|2048|空调控制 QX-AIRC_PeX|485接口...", 2, 10,
         "0|10|r_hum|1|湿度|0|10|6|230|最小值|允许最低温度,低于此值报警|380|最大值|允许最高温度,超过此值报警|0|"},
        {&six.hiross, 0x80D, "2061|3584|发电机 SMCyberHiross|485接口...", 11, 19,
         "0|19|r12|1|当前湿度|0|10|6|350|最小值|允许最低湿度,低于此值告警|780|最大值|允许最高湿度,超过此值告警|0|"},
        {&six.matrix, 0x80A, "2058|2048|精密空调 QX-CyberMatrix|485接口...", 16, 11,
         "0|11|js|1|加湿状态|0|1|0|0|0为关|0||0|"},
        {&six.station, 0x80B, "2059|2048|精密空调 QX-AIRCStation|485接口...", 6, 15,
         "0|15|fj2gz|1|风机2过载报警|0|1|1|0|0无异常|0||0|"},
    };
    for (const Case& c : cases) {
        TestDb db;
        c.h->RegDb(&db, 0);
        EXPECT_EQ(Hex(c.typeRow), Hex(db.Str("select Type||'|'||Kind||'|'||Name||'|'||Note from tbSMType "
                                             "where Type=" + std::to_string(c.type))));
        EXPECT_EQ(c.defs, db.Int("select count(*) from tbSMDef where Type=" + std::to_string(c.type)));
        std::string row = db.Str(
            "select Type||'|'||SID||'|'||Fld||'|'||FldName||'|'||Kind||'|'||Note||'|'||Rsv||'|'||"
            "Ratio||'|'||AlmKind||'|'||vref||'|'||LoText||'|'||HiLmt||'|'||HiText||'|'||Cell||'|'||"
            "ifnull(ANote,'') from tbSMDef where Type=" + std::to_string(c.type) +
            " and Fld=" + std::to_string(c.fld));
        EXPECT_EQ(Hex(std::to_string(c.type) + "|" + c.defRow), Hex(row)) << c.type;
        EXPECT_EQ(0, db.Failures()) << db.Error();
    }
}
