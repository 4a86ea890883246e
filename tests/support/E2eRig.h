#pragma once
// The host side of an end-to-end test: the built plug-ins loaded with dlopen as a host loads
// them, the host's SQLite databases (main and history), handlers bound to them, channels of
// qxSer opened on simulated devices, and points registered and polled as the host does it.
// Checks then read the rows back from `db` and `hist`.
//
// The plug-in paths come from the build: QXSM_PATH, and QXSER_PATH where the test has
// channels (qx_add_test(... PLUGINS qxsm qxSer)). Needs tests/core (TestDb.h) on the path.
//
//   qxtest::E2eRig rig;
//   ASSERT_NO_FATAL_FAILURE(rig.Load());
//   ISMBase* h = rig.Handler(0x300);
//   ISerBase* ch = rig.Channel(pty.Definition());
//   qxhost::PointItem item(21, 0x300);
//   item.Name("UPS-1").Port(1).Addr(1).Ser(ch);
//   ASSERT_NO_FATAL_FAILURE(rig.AddPoint(h, item));
//   EXPECT_EQ(1, rig.Poll(h, item, ch, bits));
#include <string>
#include <vector>

#include "ISMBase.h"
#include "ISMManager.h"
#include "ISerBase.h"
#include "ISerManager.h"
#include "Plugins.h"
#include "PointItem.h"
#include "TestDb.h"
#include "gtest/gtest.h"

namespace qxtest {

class E2eRig {
public:
    // The type code of a serial channel, without its port number.
    static const int kSerial = 0x100000;

    E2eRig() = default;
    E2eRig(const E2eRig&) = delete;
    E2eRig& operator=(const E2eRig&) = delete;
    ~E2eRig() { Close(); }

    // Loads the plug-ins and takes their managers; the driver manager gets the main database.
    // A failure is fatal to the caller only through ASSERT_NO_FATAL_FAILURE.
    void Load() {
        ASSERT_TRUE(sm.Load(QXSM_PATH)) << sm.Error();
#ifdef QXSER_PATH
        ASSERT_TRUE(ser.Load(QXSER_PATH)) << ser.Error();
        serMgr = ser.GetSerManager();
        ASSERT_NE(nullptr, serMgr);
#endif
        mgr = sm.GetSMManager(0);
        ASSERT_NE(nullptr, mgr);
        mgr->SetDb(&db, 0);
    }

    // The handler of a type, given the main and the history database and registered in the
    // main one; null where the library has none for the type.
    ISMBase* Handler(int type) {
        ISMBase* h = mgr ? mgr->GetSM(type) : nullptr;
        if (h) Bind(h);
        return h;
    }
    void Bind(ISMBase* h) {
        h->SetDb(&db, 0);
        h->SetDb(&hist, 1);
        h->RegDb(&db, 0);
    }

    // The channel of qxSer for a definition, asked for by type code and opened with the
    // definition; null, with a failure, where it cannot be had. Close() closes it. A serial
    // channel is asked for with the port of its definition (the digit before ':'): asked for
    // as port 0, the manager would hand out a channel already open on a "pts/N0" terminal.
    ISerBase* Channel(const std::string& def, int code = kSerial) {
        size_t colon = def.find(':');
        if (code == kSerial && colon != std::string::npos && colon > 0 && def[colon - 1] >= '0' &&
            def[colon - 1] <= '9')
            code |= def[colon - 1] - '0';
        ISerBase* ch = serMgr ? serMgr->GetSer(def.c_str(), code) : nullptr;
        if (!ch) {
            ADD_FAILURE() << "no channel for " << def;
            return nullptr;
        }
        m_channels.push_back(ch);
        if (ch->Open(def.c_str()) != 1) {
            ADD_FAILURE() << "channel does not open: " << def;
            return nullptr;
        }
        return ch;
    }

    // Registers a point with its handler and gives it the detail row (state -1, not yet
    // polled) the host keeps for it.
    void AddPoint(ISMBase* h, qxhost::PointItem& item) {
        ASSERT_EQ(1, h->ChkDb(item));
        db.Run("insert into tbSubSysDetail(SID,Type,State) values(" +
               std::to_string(item.Get().SID) + "," + std::to_string(item.Get().Type) + ",-1)");
    }

    // One poll as the host makes it: the point is handed over, read, and the result stored
    // with the alarm bits only where the device answered. DataGet's result; the store must
    // succeed either way.
    int Poll(ISMBase* h, qxhost::PointItem& item, ISerBase* ch, int* bits, int flags = 0,
             int wait = 0) {
        h->DoItem(item, 0);
        int got = h->DataGet(ch, item.Get().Addr, wait);
        EXPECT_EQ(1, h->DataUpd(flags, got ? bits : nullptr, nullptr, -1, &hist));
        return got;
    }

    // Closes the channels and frees both managers, as the host does before unloading; the
    // simulated devices are stopped after this.
    void Close() {
        for (ISerBase* ch : m_channels) ch->Close();
        m_channels.clear();
        if (m_closed) return;
        m_closed = true;
        if (sm.FreeSMManager) sm.FreeSMManager();
        if (ser.FreeSerManager) ser.FreeSerManager();
        mgr = nullptr;
        serMgr = nullptr;
    }

    qxhost::SmPlugin sm;
    qxhost::SerPlugin ser;
    TestDb db, hist;
    ISMManager* mgr = nullptr;
    ISerManager* serMgr = nullptr;

private:
    std::vector<ISerBase*> m_channels;
    bool m_closed = false;
};

}  // namespace qxtest
