#pragma once
// What the unit tests of the binary-frame UPS drivers share: a handler and one point of it,
// and a scripted channel answered by the device model, whose answer to one exchange a test
// may change.
//
//   qxtest::BinUpsRig<CSMUpsIII, qxsim::IIIUps> r(52, 0x309);
//   r.at = 1;                                             // the second exchange ...
//   r.tamper = [](const Bytes&) { return Bytes(); };      // ... goes unanswered
//   EXPECT_EQ(0, r.Poll());
//   ExpectFields(r.h, {{kUpsVin1, 2200}}, "first reply kept");
#include <stddef.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "PointItem.h"
#include "ScriptChannel.h"
#include "SleepLog.h"
#include "gtest/gtest.h"
#include "ups/SMUpsTbUps.h"

namespace qxtest {

template <class Handler, class Model>
struct BinUpsRig {
    BinUpsRig(int sid, int type) : item(sid, type) {
        ch.SetResponder([this](const Bytes& req) {
            Bytes out = dev.Answer(req);
            if (tamper && exchanges == at) out = tamper(out);
            exchanges++;
            return out;
        });
        item.Name("UPS-B").Port(2).Addr(1).Ser(&ch);
        h.DoItem(item, 0);
        Sleeps().clear();
    }
    int Poll(int address = 1, int wait = 0) { return h.DataGet(&ch, address, wait); }

    Model dev;
    ScriptChannel ch;
    qxhost::PointItem item;
    // On the heap, where the texts DataVal hands out as an int are reachable.
    std::unique_ptr<Handler> hp{new Handler};
    Handler& h = *hp;
    size_t exchanges = 0;  // answered so far (tamper counts from the last reset)
    size_t at = 0;         // the exchange tamper changes, 0-based
    std::function<Bytes(const Bytes&)> tamper;
};

struct FieldIs {
    int fld;
    int value;
};

inline void ExpectFields(CSMUpsTbUps& h, const std::vector<FieldIs>& want, const std::string& what) {
    for (const FieldIs& e : want) EXPECT_EQ(e.value, h.DataVal(e.fld)) << what << " field " << e.fld;
}

}  // namespace qxtest
