// The host's view of the built channel library: loaded with dlopen, exports bound by their
// plain names, a channel obtained and used through the interface only.
#include <sys/stat.h>

#include <string>

#include "ISerBase.h"
#include "ISerManager.h"
#include "Plugins.h"
#include "NetSim.h"
#include "PtySim.h"
#include "QxGpio.h"
#include "SerTestUtil.h"
#include "gtest/gtest.h"

namespace {

struct PluginFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(lib.Load(QXSER_PATH)) << lib.Error();
        ASSERT_EQ(0, mkdir((dir.Path() + "/NandFlash").c_str(), 0700));
        ASSERT_EQ(0, mkdir((dir.Path() + "/NandFlash/tmp").c_str(), 0700));
        setenv("QX_ROOT", dir.Path().c_str(), 1);
    }
    void TearDown() override {
        if (lib.FreeSerManager) lib.FreeSerManager();
        unsetenv("QX_ROOT");
    }
    bool LogFileExists() {
        struct stat st;
        return stat((dir.Path() + "/NandFlash/tmp/qxser.log.ini").c_str(), &st) == 0 && st.st_size == 0;
    }
    sertest::TempDir dir;
    qxhost::SerPlugin lib;
};

TEST_F(PluginFixture, DescribesItselfAndExportsItsDataSymbols) {
    EXPECT_EQ(0, lib.DllType());
    EXPECT_EQ(1, lib.DllVersion());
    EXPECT_STREQ("qxSer.so for ISerBase, support COM, DIO, Net and USB", lib.DllNote());

    void* inst = lib.Symbol("_ZN11CSerManager11m_pInstanceE");
    ASSERT_NE(nullptr, inst);
    EXPECT_EQ(nullptr, *static_cast<void**>(inst));
    ISerManager* m = lib.GetSerManager();
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(static_cast<void*>(m), *static_cast<void**>(inst));
    EXPECT_EQ(m, lib.GetSerManager());
#if QX_SER_REDUCED
    EXPECT_EQ(nullptr, lib.Symbol("trace_log"));
    EXPECT_EQ(nullptr, lib.Symbol("flogIni"));
    EXPECT_EQ(nullptr, lib.Symbol("filename"));
#else
    auto trace = reinterpret_cast<int (*)(const char*, const char*, ...)>(lib.Symbol("trace_log"));
    ASSERT_NE(nullptr, trace);
    EXPECT_EQ(1, trace("RtLog", "%s\r\n", "anything"));
    EXPECT_NE(nullptr, lib.Symbol("flogIni"));
    const char** name = static_cast<const char**>(lib.Symbol("filename"));
    ASSERT_NE(nullptr, name);
    EXPECT_STREQ("/NandFlash/tmp/qxser.log.ini", *name);
#endif
    // The channel classes and the socket wrapper are exported; the manager's operations
    // are not.
    for (const char* name : {"_ZTV7CSerCom", "_ZTV8CSerBase", "_ZTV7CSerNet", "_ZTV7CSerDio", "_ZTV7CSerUsb",
                             "_ZN13CSocketHandle9ConnectToEPKcS1_S1_ii", "_ZN10SockAddrIn10CreateFromEmtib",
                             "_Z12SetLastErrori", "_Z15WSAGetLastErrorv", "_Z11closesocketl",
                             "_Z13StringCbCopyAPciPKc", "_Z19InterlockedExchangePll"})
        EXPECT_NE(nullptr, lib.Symbol(name)) << name;
#if QX_SER_REDUCED
    EXPECT_EQ(nullptr, lib.Symbol("_Z12GetLastErrorv"));
#else
    EXPECT_NE(nullptr, lib.Symbol("_Z12GetLastErrorv"));
#endif
    EXPECT_EQ(nullptr, lib.Symbol("_ZN11CSerManager11GetInstanceEv"));

    lib.FreeSerManager();
    EXPECT_EQ(nullptr, *static_cast<void**>(inst));
}

TEST_F(PluginFixture, FreeLeavesTheLogSettingsFileAndAFreshManagerFollows) {
    ISerManager* m = lib.GetSerManager();
    ISerBase* a = m->GetSer("ttyS1:9600,N,8,1", 0x100001);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(nullptr, m->GetSer(nullptr, 0x400001));
    lib.FreeSerManager();
#if QX_SER_REDUCED
    EXPECT_FALSE(LogFileExists());
#else
    EXPECT_TRUE(LogFileExists());  // created, empty
#endif
    m = lib.GetSerManager();
    ISerBase* b = m->GetSer("ttyS1:4800,E,7,2", 0x100001);
    ASSERT_NE(nullptr, b);
    EXPECT_STREQ("ttyS1:4800,e,7,2", b->GetNote());  // not the first manager's channel
}

TEST_F(PluginFixture, ExchangesWithADeviceThroughTheInterface) {
    qxsim::PtySim sim;
    if (!sim.Start()) GTEST_SKIP() << "no pseudo-terminal available";
    sim.SetTable(qxsim::Table().Add(qxsim::Hex("01 03 00 00 00 01 84 0A"),
                                    qxsim::Hex("00 01 03 02 00 FA 38 07")));
    sertest::ScopedCwd cwd;
    std::string def = sertest::PtyDefinition(sim, dir, cwd);
    ISerManager* m = lib.GetSerManager();
    ISerBase* ch = m->GetSer(def.c_str(), 0x100000);
    ASSERT_NE(nullptr, ch);
    EXPECT_EQ(ch, m->GetSer(def.c_str(), 0x100000 + 77));  // the definition's code finds it
    ASSERT_EQ(1, ch->Open(nullptr)) << def;
    ch->SetTimeout(0, 0);
    ch->Lock();
    EXPECT_TRUE(ch->IsBusy());
    EXPECT_EQ(1, ch->Purge());
    const qxsim::Bytes req = qxsim::Hex("01 03 00 00 00 01 84 0A");
    EXPECT_EQ(8, ch->Write(req.data(), (int)req.size()));
    unsigned char buf[16];
    int n = ch->Read(buf, 7, 3000);
    ch->Unlock();
    EXPECT_EQ("01 03 02 00 FA 38 07", qxsim::ToHex(qxsim::Bytes(buf, buf + (n > 0 ? n : 0))));
    EXPECT_EQ(1, ch->Close());
    EXPECT_EQ(0, ch->IsOpened());
}

TEST_F(PluginFixture, NetworkAndGpioChannelsThroughTheInterface) {
    qxsim::TcpSim dev;
    dev.SetFramer(qxsim::FrameByLength(2));
    dev.SetTable(qxsim::Table().Add(qxsim::Hex("10 20"), qxsim::Hex("30 40 50")));
    ASSERT_TRUE(dev.Start());
    ISerManager* m = lib.GetSerManager();
    ISerBase* net = m->GetSer(dev.Definition().c_str(), 0x200007);
    ASSERT_NE(nullptr, net);
#if QX_SER_REDUCED
    EXPECT_EQ(0x200000 + dev.Port(), net->GetType());
#else
    EXPECT_EQ(0x200007, net->GetType());
    EXPECT_EQ(net, m->GetSer(nullptr, 0x200007));
#endif
    EXPECT_EQ(-1, net->GetHandle());
    EXPECT_EQ(1, net->IsOpened());  // connects
    EXPECT_EQ(1, net->Purge());
    EXPECT_EQ(2, net->Write(qxsim::Hex("10 20").data(), 2));
    unsigned char buf[8];
    EXPECT_EQ(3, net->Read(buf, 3, 0));
    EXPECT_EQ(0x50, buf[2]);

    const std::string image = dir.Path() + "/gpio";
    ASSERT_TRUE(qxgpio::SimCreate(image.c_str()));
    qxgpio::SimUse(image.c_str());
    ISerBase* dio = m->GetSer(nullptr, 0x800003);
    ASSERT_NE(nullptr, dio);
    EXPECT_EQ(0x800001, dio->GetType());
    ASSERT_EQ(1, dio->Open(nullptr));
    const unsigned char on[2] = {1, 1};
    EXPECT_EQ(0, dio->Write(on, 2));
    qxgpio::SimImage state;
    ASSERT_TRUE(qxgpio::SimLoad(image.c_str(), &state));
    EXPECT_EQ(1u, state.requests);
    EXPECT_EQ(1, state.level[1]);
    EXPECT_EQ(1, dio->Read(buf, 2, 0));
    qxgpio::SimUse(nullptr);
}

}  // namespace
