// The inputs and relays of the W70XX and KW7 modules under the host's limit check: the rows
// belong to the type and alarm on every point, since a field that one layout wires to a relay
// is an input in another. An input at its alarm value puts its point in alarm; a relay switched
// on does not, on the point whose own layout (Variant, Ext1) makes the field a relay. One
// handler serves every point, so points of different layouts are polled in turn.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Limits.h"
#include "TestRig.h"
#include "io/SMDioKW7.h"
#include "io/SMDioW70XX.h"

namespace {

using iotest::Rtu;
using qxtest::Bytes;
using qxtest::TextBytes;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

// A module's layout: its points and which of them are inputs.
struct Layout {
    int type, variant, ext1;
    int points;               // D01..Dn have a value
    std::vector<int> relays;  // of them, relay outputs
    const char* what;
};

bool IsRelay(const Layout& l, int fld) {
    for (int r : l.relays)
        if (r == fld) return true;
    return false;
}

// The module's reply (or replies) with point fld set and every other point at rest: an input
// at rest is 0 on both modules (W70XX "0正常", KW7 open).
std::vector<Bytes> Replies(const Layout& l, int fld) {
    const uint32_t on = fld ? 1u << (fld - 1) : 0;
    char text[32];
    if (l.type == 0x904) {
        if ((l.variant & 0x7F) == 2) {
            // Six inputs (D01..D06, D07 and D08 unwired) by function 2, relays D09..D12 by 1.
            snprintf(text, sizeof text, "01 02 01 %02X", on & 0x3F);
            const std::string inputs = text;
            snprintf(text, sizeof text, "01 01 01 %02X", (on >> 8) & 0x0F);
            return {Rtu(inputs), Rtu(text)};
        }
        snprintf(text, sizeof text, "01 02 02 %02X %02X", on & 0xFF, (on >> 8) & 0xFF);
        return {Rtu(text)};
    }
    // KW7, Variant 1: the input value, then the output value, each 4 digits above 8 points.
    // Ext1 is outputs * 100 + inputs, each at most 16; 0 is 10 inputs and 6 outputs.
    const int inputs = l.ext1 ? std::min(l.ext1 % 100, 16) : 10;
    const int outputs = l.ext1 ? std::min(l.ext1 / 100, 16) : 6;
    const uint32_t in = on & ((1u << inputs) - 1), out = on >> inputs;
    snprintf(text, sizeof text, "!%0*X%0*X\r", inputs > 8 ? 4 : 2, in, outputs > 8 ? 4 : 2, out);
    return {TextBytes(text)};
}

// One handler and its points, polled as the reference host polls them: DoItem, DataGet, the
// limit check of the type's rows over DataSize fields, DataUpd.
template <class H>
struct Host {
    Host() {
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        limits = qxhost::LoadLimits(db, h.GetType());
    }
    // The point's state row (field 0) and its point rows, keyed by SIDD and Fld.
    void Add(qxhost::PointItem& p) {
        ASSERT_EQ(1, h.ChkDb(p));
        const std::string sid = std::to_string(p.Get().SID);
        for (int f = 0; f <= 16; f++)
            db.Run("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(" + sid + "," +
                   std::to_string(p.Get().Type) + "," + std::to_string(f) + "," + sid + ",-1)");
    }
    void Poll(qxhost::PointItem& p, const std::vector<Bytes>& replies) {
        for (const Bytes& b : replies) ch.Reply(b);
        h.DoItem(p, 0);
        ASSERT_EQ(1, h.DataGet(&ch, p.Get().Addr, 0));
        std::vector<int32_t> bits;
        const int alarms =
            qxhost::CheckLimits(limits, h.DataSize(), [this](int f) { return h.DataVal(f); }, bits);
        int snap = 0;
        ASSERT_EQ(1, h.DataUpd(alarms ? 1 : 0, bits.data(), &snap, p.Get().SID, &hist));
    }
    long long State(int sid, int fld = 0) {
        return db.Int("select State from tbSubSysDetail where SIDD=" + std::to_string(sid) +
                      " and Fld=" + std::to_string(fld));
    }

    qxtest::ScriptChannel ch;
    TestDb db, hist;
    H h;
    std::vector<qxhost::LimitRow> limits;
};

std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int f = first; f <= last; f++) v.push_back(f);
    return v;
}

const Layout kLayouts[] = {
    {0x904, 1, 0, 16, {}, "W70XX, 16 inputs"},
    {0x904, 3, 0, 14, {}, "W70XX, 14 inputs"},
    {0x904, 2, 0, 12, Range(9, 12), "W70XX, 6 inputs and 4 relays"},
    {0x904, 0x82, 0, 12, Range(9, 12), "W70XX polled as the relay module, counted as 8 points"},
    {0x907, 1, 16, 16, {}, "KW7, Ext1 16: 16 inputs"},
    {0x907, 1, 412, 16, Range(13, 16), "KW7, Ext1 412: 12 inputs, 4 relays"},
    {0x907, 1, 0, 16, Range(11, 16), "KW7, Ext1 0: 10 inputs, 6 relays"},
    {0x907, 1, 808, 16, Range(9, 16), "KW7, Ext1 808: 8 inputs, 8 relays"},
    {0x907, 1, 2020, 16, {}, "KW7, Ext1 2020: 16 inputs (and 16 relays beyond D16)"},
};

template <class H>
void EachPointAlone(const Layout& l) {
    SCOPED_TRACE(l.what);
    Host<H> host;
    qxhost::PointItem p(40, l.type);
    p.Name("P").Addr(1).Variant(l.variant).Ext(l.ext1, 0).ItemDetail(1);
    ASSERT_NO_FATAL_FAILURE(host.Add(p));
    // At rest: no alarm.
    ASSERT_NO_FATAL_FAILURE(host.Poll(p, Replies(l, 0)));
    EXPECT_EQ(0, host.State(40));
    for (int fld = 1; fld <= l.points; fld++) {
        if (l.type == 0x904 && (l.variant & 0x7F) == 2 && (fld == 7 || fld == 8)) continue;  // unwired
        ASSERT_NO_FATAL_FAILURE(host.Poll(p, Replies(l, fld)));
        ASSERT_EQ(1, host.h.DataVal(fld)) << "D" << fld;
        const int want = IsRelay(l, fld) ? 0 : 1;
        EXPECT_EQ(want, host.State(40)) << (want ? "input " : "relay ") << fld << " set";
        EXPECT_EQ(want, host.State(40, fld)) << "point row " << fld;
    }
}

TEST(DioRelays, InputsAlarmAndRelaysDoNotByTheirPointsLayout) {
    for (const Layout& l : kLayouts) {
        if (l.type == 0x904) EachPointAlone<CSMDioW70XX>(l);
        else EachPointAlone<CSMDioKW7>(l);
    }
}

// Two points of one handler with different layouts, polled in turn: each poll is judged by the
// layout of the point it stores, never by the point polled before it.
template <class H>
void TwoPointsInTurn(const Layout& inputs, const Layout& relays, int fld) {
    SCOPED_TRACE(std::string(inputs.what) + " and " + relays.what);
    Host<H> host;
    qxhost::PointItem a(41, inputs.type), b(42, relays.type);
    a.Name("A").Addr(1).Variant(inputs.variant).Ext(inputs.ext1, 0).ItemDetail(1);
    b.Name("B").Addr(1).Variant(relays.variant).Ext(relays.ext1, 0).ItemDetail(1);
    ASSERT_NO_FATAL_FAILURE(host.Add(a));
    ASSERT_NO_FATAL_FAILURE(host.Add(b));
    for (int round = 0; round < 2; round++) {
        ASSERT_NO_FATAL_FAILURE(host.Poll(a, Replies(inputs, fld)));
        EXPECT_EQ(1, host.State(41)) << "input " << fld << ", round " << round;
        ASSERT_NO_FATAL_FAILURE(host.Poll(b, Replies(relays, fld)));
        EXPECT_EQ(0, host.State(42)) << "relay " << fld << ", round " << round;
        EXPECT_EQ(1, host.State(41)) << "the input's point keeps its own state";
    }
}

TEST(DioRelays, PointsOfTwoLayoutsPolledInTurn) {
    TwoPointsInTurn<CSMDioW70XX>(kLayouts[0], kLayouts[2], 10);  // 16 inputs, relay module
    TwoPointsInTurn<CSMDioW70XX>(kLayouts[1], kLayouts[2], 12);  // 14 inputs, relay module
    TwoPointsInTurn<CSMDioKW7>(kLayouts[4], kLayouts[6], 11);    // Ext1 16, Ext1 0
    TwoPointsInTurn<CSMDioKW7>(kLayouts[5], kLayouts[7], 9);     // Ext1 412, Ext1 808
}

}  // namespace
