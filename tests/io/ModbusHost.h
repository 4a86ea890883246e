#pragma once
// End-to-end rig of the Modbus sensor and meter handlers: both plug-ins loaded with dlopen as
// a host loads them, a serial channel of qxSer on a pseudo-terminal, a Modbus RTU slave behind
// it, and the host's SQLite databases. One point of one type.
#include <string>

#include "ISMBase.h"
#include "ISMManager.h"
#include "ISerBase.h"
#include "ISerManager.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "Plugins.h"
#include "PointItem.h"
#include "PtySim.h"
#include "TestDb.h"
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
        ASSERT_TRUE(sm.Load(QXSM_PATH)) << sm.Error();
        ASSERT_TRUE(ser.Load(QXSER_PATH)) << ser.Error();
        qxsim::ServeModbusRtu(pty, slave);
        if (!pty.Start()) GTEST_SKIP() << "no pseudo-terminal available";
        mgr = sm.GetSMManager(0);
        ASSERT_NE(nullptr, mgr);
        ISerManager* serMgr = ser.GetSerManager();
        ASSERT_NE(nullptr, serMgr);
        const std::string def = pty.Definition();
        ch = serMgr->GetSer(def.c_str(), 0x100000);
        ASSERT_NE(nullptr, ch);
        ASSERT_EQ(1, ch->Open(def.c_str()));

        mgr->SetDb(&db, 0);
        h = mgr->GetSM(type);
        ASSERT_NE(nullptr, h);
        h->SetDb(&db, 0);
        h->SetDb(&hist, 1);
        h->RegDb(&db, 0);
        item = new qxhost::PointItem(sid, type);
        item->Name("P1").Port(ch->GetType() & 0xFFFF).Addr(1).Variant(variant).Ext(ext1, 0).Ser(ch);
        ASSERT_EQ(1, h->ChkDb(*item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(" + std::to_string(sid) + "," +
               std::to_string(type) + ",-1)");
    }

    void TearDown() override {
        if (ch) ch->Close();
        if (sm.FreeSMManager) sm.FreeSMManager();
        if (ser.FreeSerManager) ser.FreeSerManager();
        pty.Stop();
        delete item;
    }

    // One poll as the host makes it: the DataGet result; the update stores it (null alarm
    // bits after a failed poll).
    int Poll(int alarmWord = 0, int flags = 0) {
        h->DoItem(*item, 0);
        int got = h->DataGet(ch, item->Get().Addr, 0);
        int bits[1] = {alarmWord};
        EXPECT_EQ(1, h->DataUpd(flags, got ? bits : nullptr, nullptr, -1, &hist));
        return got;
    }

    qxhost::SmPlugin sm;
    qxhost::SerPlugin ser;
    qxsim::ModbusSlave slave{1};
    qxsim::PtySim pty;
    TestDb db, hist;
    ISMManager* mgr = nullptr;
    ISerBase* ch = nullptr;
    ISMBase* h = nullptr;
    qxhost::PointItem* item = nullptr;
};

}  // namespace iotest
