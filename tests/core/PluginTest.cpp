// The host's view of the built plug-in: loaded with dlopen, exports bound by plain name.
#include <dlfcn.h>

#include <string>

#include "ISMManager.h"
#include "Plugins.h"
#include "gtest/gtest.h"

namespace {

struct PluginFixture : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(lib.Load(QXSM_PATH)) << lib.Error(); }
    void TearDown() override {
        if (lib.FreeSMManager) lib.FreeSMManager();
    }
    qxhost::SmPlugin lib;
};

TEST_F(PluginFixture, DescribesItself) {
    EXPECT_EQ(0, lib.DllType());
    EXPECT_EQ(1, lib.DllVersion());
    EXPECT_STREQ("libqxsm.so for Supervison Module", lib.DllNote());
}

TEST_F(PluginFixture, ExportsTheManagerAndBufferDataSymbols) {
    void* inst = lib.Symbol("_ZN10CSMManager11m_pInstanceE");
    void* buf = lib.Symbol("_ZN7CSMBase8m_bufferE");
    ASSERT_NE(nullptr, inst);
    ASSERT_NE(nullptr, buf);
    ISMManager* m = lib.GetSMManager(0);
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(static_cast<void*>(m), *static_cast<void**>(inst));
    EXPECT_EQ(m, lib.GetSMManager(12345));  // the argument is ignored
    lib.FreeSMManager();
    EXPECT_EQ(nullptr, *static_cast<void**>(inst));
    // Nothing but the exports is visible.
    EXPECT_EQ(nullptr, lib.Symbol("_ZN10CSMManager11GetInstanceEv"));
    EXPECT_EQ(nullptr, lib.Symbol("SMFactoryNew"));
}

TEST_F(PluginFixture, UnservedCodesPrintTheNullLine) {
    ISMManager* m = lib.GetSMManager(0);
    ASSERT_NE(nullptr, m);
    struct Case {
        int code;
        const char* out;
    } cases[] = {
        {0, "CSMManager::GetSM NULL: type=0\r\n"},
        {0x406, "CSMManager::GetSM NULL: type=1030\r\n"},
        {0xA03, "CSMManager::GetSM NULL: type=2563\r\n"},
        {0x1800, "CSMManager::GetSM NULL: type=6144\r\n"},
        {-1, "CSMManager::GetSM NULL: type=-1\r\n"},
        {0xF01, "CSMManager::GetSM SMKIND_F 3841\r\nCSMManager::GetSM NULL: type=3841\r\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout();
        ISMBase* h = m->GetSM(c.code);
        std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(nullptr, h) << c.code;
        EXPECT_EQ(c.out, out) << c.code;
    }
}

TEST_F(PluginFixture, FreeTwiceIsHarmlessAndAFreshManagerFollows) {
    ISMManager* m = lib.GetSMManager(0);
    ASSERT_NE(nullptr, m);
    IDbBase* db = reinterpret_cast<IDbBase*>(0x4000);
    m->SetDb(db, 0);
    EXPECT_EQ(db, m->GetDb(1));
    lib.FreeSMManager();
    lib.FreeSMManager();
    ISMManager* fresh = lib.GetSMManager(0);
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(nullptr, fresh->GetDb(0));
}

TEST(Plugin, MissingFileIsReported) {
    qxhost::SmPlugin lib;
    EXPECT_FALSE(lib.Load("/nonexistent/libqxsm.so"));
    EXPECT_FALSE(lib.Error().empty());
    EXPECT_EQ(nullptr, lib.GetSMManager);
}

}  // namespace
