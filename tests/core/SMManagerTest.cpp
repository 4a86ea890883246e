// Manager mechanics: registration by reported type, the search step, ownership and the order
// of destruction.
#include <vector>

#include "SMBase.h"
#include "SMManager.h"
#include "gtest/gtest.h"

namespace {

std::vector<int> g_destroyed;  // ids of destroyed probes, in order
int g_live = 0;

class Probe : public CSMBase {
public:
    Probe(int type, int id) : CSMBase(type), m_id(id) { g_live++; }
    ~Probe() override {
        g_destroyed.push_back(m_id);
        g_live--;
    }
    int m_id;
};

struct ManagerFixture : ::testing::Test {
    void SetUp() override {
        CSMManager::FreeInstance();
        g_destroyed.clear();
        g_live = 0;
        m = CSMManager::GetInstance();
        ASSERT_NE(nullptr, m);
    }
    void TearDown() override { CSMManager::FreeInstance(); }
    CSMManager* m = nullptr;
};

TEST_F(ManagerFixture, SingletonUntilFreed) {
    EXPECT_EQ(m, CSMManager::GetInstance());
    EXPECT_EQ(m, CSMManager::m_pInstance);
    CSMManager::FreeInstance();
    EXPECT_EQ(nullptr, CSMManager::m_pInstance);
    CSMManager::FreeInstance();  // a second call does nothing
    EXPECT_EQ(nullptr, CSMManager::m_pInstance);
}

TEST_F(ManagerFixture, DatabaseIsStoredWhateverTheIndex) {
    EXPECT_EQ(nullptr, m->GetDb(0));
    IDbBase* a = reinterpret_cast<IDbBase*>(0x1000);
    IDbBase* b = reinterpret_cast<IDbBase*>(0x2000);
    m->SetDb(a, 5);
    EXPECT_EQ(a, m->GetDb(0));
    EXPECT_EQ(a, m->GetDb(9));
    m->SetDb(b, 0);
    EXPECT_EQ(b, m->GetDb(3));
}

TEST_F(ManagerFixture, RegisterNewKeepsOneHandlerPerReportedType) {
    Probe* a = new Probe(0x300, 1);
    Probe* b = new Probe(0x301, 2);
    EXPECT_EQ(0, m->RegisterNew(a));
    EXPECT_EQ(m, a->m_pManager);
    EXPECT_EQ(1, m->RegisterNew(b));
    // A duplicate of the first type: deleted at once, the existing index returned.
    Probe* dup = new Probe(0x300, 3);
    EXPECT_EQ(0, m->RegisterNew(dup));
    EXPECT_EQ(std::vector<int>{3}, g_destroyed);
    EXPECT_EQ(2, g_live);
    EXPECT_EQ(-1, m->RegisterNew(nullptr));
    // The search step finds registered handlers by their whole reported type.
    EXPECT_EQ(a, m->GetSM(0x300));
    EXPECT_EQ(b, m->GetSM(0x301));
    EXPECT_EQ(2, g_live);
}

TEST_F(ManagerFixture, SearchComparesTheWholeCode) {
    Probe* a = new Probe(0x10301, 1);
    ASSERT_EQ(0, m->RegisterNew(a));
    EXPECT_EQ(a, m->GetSM(0x10301));
    testing::internal::CaptureStdout();
    ISMBase* other = m->GetSM(0x20301);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(a, other);
}

TEST_F(ManagerFixture, FreeDestroysNewestFirst) {
    for (int id = 1; id <= 3; id++) ASSERT_EQ(id - 1, m->RegisterNew(new Probe(0x900 + id, id)));
    CSMManager::FreeInstance();
    EXPECT_EQ((std::vector<int>{3, 2, 1}), g_destroyed);
    EXPECT_EQ(0, g_live);
    CSMManager::FreeInstance();
    EXPECT_EQ(3u, g_destroyed.size());
    // A fresh manager starts empty.
    CSMManager* fresh = CSMManager::GetInstance();
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(nullptr, fresh->GetDb(0));
    Probe* p = new Probe(0x901, 4);
    EXPECT_EQ(0, fresh->RegisterNew(p));
}

}  // namespace
