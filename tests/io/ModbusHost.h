#pragma once
// End-to-end rig of the Modbus sensor and meter handlers: both plug-ins loaded with dlopen as
// a host loads them, a serial channel of qxSer on a pseudo-terminal, a Modbus RTU slave behind
// it, and the host's SQLite databases. One point of one type.
#include <string>

#include "E2eRig.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PtySim.h"
#include "gtest/gtest.h"

namespace iotest {

class ModbusHost : public ::testing::Test {
protected:
    // Loads, starts the device and registers the point (SID sid, type, Variant, Ext1). False
    // when the test cannot go on (a failure, or skipped without a pseudo-terminal):
    //   if (!Start(31, 0x501)) return;
    bool Start(int sid, int type, int variant = 0, int ext1 = 0) {
        StartRig(sid, type, variant, ext1);
        return !HasFatalFailure() && !IsSkipped() && h && ch && item;
    }

    void StartRig(int sid, int type, int variant, int ext1) {
        ASSERT_NO_FATAL_FAILURE(rig.Load());
        qxsim::ServeModbusRtu(pty, slave);
        if (!pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
        ch = rig.Channel(pty.Definition());
        ASSERT_NE(nullptr, ch);
        h = rig.Handler(type);
        ASSERT_NE(nullptr, h);
        item = new qxhost::PointItem(sid, type);
        item->Name("P1").Port(ch->GetType() & 0xFFFF).Addr(1).Variant(variant).Ext(ext1, 0).Ser(ch);
        ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, *item));
    }

    void TearDown() override {
        rig.Close();
        pty.Stop();
        delete item;
    }

    // One poll as the host makes it: the DataGet result; the update stores it (null alarm
    // bits after a failed poll).
    int Poll(int alarmWord = 0, int flags = 0) {
        int bits[1] = {alarmWord};
        return rig.Poll(h, *item, ch, bits, flags);
    }

    qxsim::ModbusSlave slave{1};
    qxsim::PtySim pty;
    qxtest::E2eRig rig;
    TestDb& db = rig.db;
    TestDb& hist = rig.hist;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem* item = nullptr;
};

}  // namespace iotest
