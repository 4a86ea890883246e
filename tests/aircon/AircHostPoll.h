#pragma once
// One air-conditioner point polled and stored as the reference host does it: the handler's
// rows registered into an in-memory host database, a poll over a scripted channel answered by
// a simulated unit, the host's limit check over fields 1 to DataSize deciding the alarm bits
// (flag bit 0 when any field is out of limits), DataUpd, and what the operator then reads: the
// stored state, the summary and the fields the host found out of limits.
//
//   AircHostPoll<CSMDme3000> p(0x809, 1);                 // type, Variant
//   p.ch.SetResponder([&](const Bytes& q) { return slave.HandleRtu(q.data(), q.size()).bytes; });
//   ASSERT_EQ(1, p.Poll());
//   EXPECT_EQ(1, p.State());
//   EXPECT_EQ(std::vector<int>{16}, p.out);
//   EXPECT_EQ(std::string("空调状态：开"), p.Brief());
#include <stdint.h>

#include <string>
#include <vector>

#include "Limits.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "gtest/gtest.h"

template <class H>
struct AircHostPoll {
    explicit AircHostPoll(int type, int variant = 0, int sid = 90) : type(type), sid(sid), item(sid, type) {
        item.Name("AC").Port(1).Addr(1).Variant(variant).Ser(&ch);
        h.SetDb(&db, 0);
        h.SetDb(&hist, 1);
        h.RegDb(&db, 0);
        EXPECT_EQ(1, h.ChkDb(item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(" + std::to_string(sid) + "," +
               std::to_string(type) + ",-1)");
        h.DoItem(item, 0);
    }
    // A poll and its update; DataGet's result. `out` gets the fields out of limits.
    int Poll(int wait = 0) {
        h.DoItem(item, 0);
        const int got = h.DataGet(&ch, item.Get().Addr, wait);
        std::vector<int32_t> bits;
        std::vector<qxhost::LimitRow> rows;
        out.clear();
        int alarms = 0;
        if (got == 1)
            alarms = qxhost::CheckLimits(qxhost::LoadLimits(db, h.GetType()), h.DataSize(),
                                         [this](int f) { return h.DataVal(f); }, bits, &rows);
        for (const qxhost::LimitRow& r : rows) out.push_back(r.fld);
        EXPECT_EQ(1, h.DataUpd(alarms ? 1 : 0, got == 1 ? bits.data() : nullptr, nullptr, -1, &hist));
        return got;
    }
    long long State() { return db.Int("select State from tbSubSysDetail where SID=" + std::to_string(sid)); }
    std::string Brief() { return db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)); }
    // A column of the point's current row.
    std::string Cur(const char* table, const char* column) {
        return db.Str(std::string("select ") + column + " from " + table + " where SID=" + std::to_string(sid));
    }

    int type, sid;
    qxtest::ScriptChannel ch;
    qxhost::PointItem item;
    TestDb db, hist;
    H h;
    std::vector<int> out;  // fields out of limits in the last poll
};
