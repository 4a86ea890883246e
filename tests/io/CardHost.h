#pragma once
// End-to-end rig of the door and card handlers: both plug-ins loaded with dlopen, a serial
// channel of qxSer on a pseudo-terminal served by one simulated device, the host's SQLite
// databases, the polled point and a silent twin of the same type at an address nobody
// answers.
#include <string>

#include "CardDevices.h"
#include "E2eRig.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace iotest {

class CardHost : public ::testing::Test {
protected:
    // Loads, serves the model and registers the point (SID sid, address addr) and its silent
    // twin (SID sid + 1, address twinAddr). False when the test cannot go on.
    template <class M>
    bool Start(M& model, int sid, int type, int addr, int twinAddr) {
        StartRig([&] { model.Serve(pty); }, sid, type, addr, twinAddr);
        return !HasFatalFailure() && !IsSkipped() && h && ch && item;
    }

    template <class F>
    void StartRig(F serve, int sid, int type, int addr, int twinAddr) {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        serve();
        if (!pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
        ch = rig.Channel(pty.Definition());
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(type);
        ASSERT_NE(nullptr, h);
        item = new qxhost::PointItem(sid, type);
        item->Name("P1").Port(ch->GetType() & 0xFFFF).Addr(addr).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *item));
        twin = new qxhost::PointItem(sid + 1, type);
        twin->Name("P2").Port(ch->GetType() & 0xFFFF).Addr(twinAddr).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *twin));
    }

    void TearDown() override {
        rig.Close();
        pty.Stop();
        delete item;
        delete twin;
    }

    int Poll(int flags = 0, int wait = 0) {
        int bits[1] = {0};
        return rig.Poll(h, *item, ch, bits, flags, wait);
    }
    int PollTwin(int wait = 0) {
        int bits[1] = {0};
        return rig.Poll(h, *twin, ch, bits, 0, wait);
    }
    std::string Brief(int sid) {
        return Hex(db.Str("select Brief from tbSMBrief where SID=" + std::to_string(sid)));
    }

    qxsim::PtySim pty;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem* item = nullptr;
    qxhost::PointItem* twin = nullptr;
};

}  // namespace iotest
