#pragma once
// One door or card handler with its point, scripted channel and databases (TestRig.h), answered
// by a simulator's model, and the host's poll: the point handed over, read, and stored with
// alarm bits only where the device answered.
#include <memory>
#include <utility>

#include "CardDevices.h"
#include "TestRig.h"

namespace iotest {

template <class H, class M>
struct CardRig : Rig<H> {
    template <class... A>
    CardRig(int sid, int type, A&&... modelArgs) : Rig<H>(sid, type), dev(std::forward<A>(modelArgs)...) {
        this->ch.SetResponder([this](const qxtest::Bytes& q) { return dev.Answer(q); });
    }
    // DataGet's result; the update must succeed either way.
    int CycleAt(qxhost::PointItem& p, int flags = 0) {
        this->h.DoItem(p, 0);
        int got = this->h.DataGet(&this->ch, p.Get().Addr, 0);
        int bits[1] = {0};
        EXPECT_EQ(1, this->h.DataUpd(flags, got ? bits : nullptr, nullptr, -1, &this->hist));
        return got;
    }
    int Cycle(int flags = 0) { return CycleAt(this->item, flags); }
    // A second point of the handler's type on the same channel.
    qxhost::PointItem& Twin(int sid, int addr) {
        twin = std::make_unique<qxhost::PointItem>(sid, this->item.Get().Type);
        twin->Name("P2").Port(2).Addr(addr).Ser(&this->ch);
        EXPECT_EQ(1, this->h.ChkDb(*twin));
        return *twin;
    }

    M dev;
    std::unique_ptr<qxhost::PointItem> twin;
};

}  // namespace iotest
