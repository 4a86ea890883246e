// The factory through the built plug-in: which class, reported type and model text each device
// type code gets, how the codes of a category share its default handler, and which codes get
// nothing (with the manager's NULL line on standard output).
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "FactoryCases.h"
#include "ISMBase.h"
#include "ISMManager.h"
#include "Plugins.h"

namespace {

using factory_cases::ClassCase;
using factory_cases::kBaseNote;
using factory_cases::kClasses;

std::string Hex(const char* text)
{
    std::string out;
    if (!text)
        return "(null)";
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        char b[4];
        snprintf(b, sizeof(b), "%02X ", *p);
        out += b;
    }
    return out;
}

std::string CodeText(int32_t code)
{
    char b[32];
    snprintf(b, sizeof(b), "code 0x%X", static_cast<unsigned>(code));
    return b;
}

std::string NullLine(int32_t code)
{
    return "CSMManager::GetSM NULL: type=" + std::to_string(code) + "\r\n";
}

std::string KindFLine(int32_t code)
{
    return "CSMManager::GetSM SMKIND_F " + std::to_string(code) + "\r\n";
}

size_t Count(const std::string& text, const std::string& line)
{
    size_t n = 0;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1))
        ++n;
    return n;
}

class FactoryTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The engines look for definition files under QX_ROOT: an empty folder has none.
        strcpy(s_root, "/tmp/factory_test_root_XXXXXX");
        if (mkdtemp(s_root))
            setenv("QX_ROOT", s_root, 1);
    }
    static void TearDownTestSuite()
    {
        unsetenv("QX_ROOT");
        rmdir(s_root);
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_lib.Load(QXSM_PATH)) << m_lib.Error();
        m_sm = m_lib.GetSMManager(0);
        ASSERT_NE(m_sm, nullptr);
    }
    void TearDown() override
    {
        if (m_lib.FreeSMManager)
            m_lib.FreeSMManager();
    }

    ISMManager* FreshManager()
    {
        m_lib.FreeSMManager();
        return m_sm = m_lib.GetSMManager(0);
    }

    // GetSM with what it printed.
    ISMBase* GetSM(int32_t code, std::string* printed)
    {
        testing::internal::CaptureStdout();
        ISMBase* handler = m_sm->GetSM(code);
        *printed = testing::internal::GetCapturedStdout();
        return handler;
    }

    static char s_root[32];
    qxhost::SmPlugin m_lib;
    ISMManager* m_sm = nullptr;
};

char FactoryTest::s_root[32];


TEST_F(FactoryTest, EachCodeGetsItsClassReportedTypeAndModelText)
{
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(CodeText(c.code) + " " + c.cls);
        ASSERT_NE(FreshManager(), nullptr);
        std::string printed;
        ISMBase* handler = GetSM(c.code, &printed);
        ASSERT_NE(handler, nullptr);
        EXPECT_EQ(handler->GetType(), c.reported);
        EXPECT_EQ(Hex(handler->GetNote()), Hex(c.note));
        EXPECT_EQ(Count(printed, "GetSM NULL"), 0u);
        // Asked again, by its own code or by the type it reports: the same handler.
        EXPECT_EQ(m_sm->GetSM(c.code), handler);
        EXPECT_EQ(m_sm->GetSM(c.reported), handler);
    }
}

TEST_F(FactoryTest, OneManagerKeepsOneHandlerPerReportedType)
{
    std::map<int32_t, ISMBase*> byType;
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(CodeText(c.code) + " " + c.cls);
        ISMBase* handler = m_sm->GetSM(c.code);
        ASSERT_NE(handler, nullptr);
        ASSERT_EQ(handler->GetType(), c.reported);
        auto known = byType.emplace(c.reported, handler);
        EXPECT_EQ(known.first->second, handler);
    }
    // Distinct reported types are distinct handlers, and nothing was replaced meanwhile.
    std::map<ISMBase*, int32_t> byHandler;
    for (const auto& entry : byType)
        EXPECT_TRUE(byHandler.emplace(entry.second, entry.first).second)
            << CodeText(entry.first) << " shares its handler";
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(CodeText(c.code) + " " + c.cls);
        EXPECT_EQ(m_sm->GetSM(c.code), byType[c.reported]);
    }
}

TEST_F(FactoryTest, CodesOfADefaultClassShareOneHandler)
{
    struct Case {
        int32_t first, second, reported;
    };
    const Case cases[] = {
        {0x3FF, 0x3AB, 0x300}, {0x1FF, 0x101, 0x100}, {0x2FF, 0x2AB, 0x200},
        {0x5FF, 0x501, 0x500}, {0x6AB, 0x601, 0x600}, {0x7FF, 0x703, 0x700},
        {0x8FF, 0x800, 0x804}, {0x9FF, 0x908, 0x900}, {0xDFF, 0xD06, 0xD00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CodeText(c.first));
        ISMBase* first = m_sm->GetSM(c.first);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(first->GetType(), c.reported);
        EXPECT_EQ(m_sm->GetSM(c.second), first);
        EXPECT_EQ(m_sm->GetSM(c.reported), first);
        EXPECT_EQ(m_sm->GetSM(c.first), first);
    }
}

TEST_F(FactoryTest, ExactCodesCompareTheWholeValue)
{
    // 0x301 with a high bit set is not the Emerson UPS: it falls to the shared default.
    ISMBase* shared = m_sm->GetSM(0x301 | 0x10000);
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(shared->GetType(), 0x300);
    ISMBase* emerson = m_sm->GetSM(0x301);
    ASSERT_NE(emerson, nullptr);
    EXPECT_EQ(emerson->GetType(), 0x301);
    EXPECT_NE(emerson, shared);
    EXPECT_EQ(m_sm->GetSM(0x300), shared);
}

TEST_F(FactoryTest, UnservedCodesGiveNullAndTheNullLineEveryTime)
{
    const int32_t codes[] = {
        0,      0x0FF,  0x406,  0x4FF,  0xA03,  0xA0A, 0xB02, 0xC02,
        0xE00,  0xE11,  0xEFF,  0x1800, 0x1FFF, 0xFF00, -1,   static_cast<int32_t>(0x80000000u),
    };
    for (int32_t code : codes) {
        SCOPED_TRACE(CodeText(code));
        for (int round = 0; round < 2; ++round) {
            std::string printed;
            EXPECT_EQ(GetSM(code, &printed), nullptr);
            EXPECT_EQ(printed, NullLine(code));
        }
    }
}

TEST_F(FactoryTest, DemonstrationCategoryPrintsItsLineBeforeChoosing)
{
    std::string printed;
    EXPECT_EQ(GetSM(0xF01, &printed), nullptr);
    EXPECT_EQ(printed, KindFLine(0xF01) + NullLine(0xF01));

    ISMBase* demo = GetSM(0xF00, &printed);
    ASSERT_NE(demo, nullptr);
    EXPECT_EQ(demo->GetType(), 0xF00);
    EXPECT_EQ(Hex(demo->GetNote()), Hex(kBaseNote));
    EXPECT_EQ(printed.find(KindFLine(0xF00)), 0u);
    EXPECT_EQ(Count(printed, "GetSM NULL"), 0u);

    // Registered now: found by the search, before any category is looked at.
    EXPECT_EQ(GetSM(0xF00, &printed), demo);
    EXPECT_EQ(Count(printed, "SMKIND_F"), 0u);
}

TEST_F(FactoryTest, EngineCodesWithoutDefinitionFileGiveNullEveryTime)
{
    const int32_t codes[] = {0x1000, 0x10FF, 0x1100, 0x1200, 0x12AB, 0x1300,
                             0x1400, 0x1501, 0x1600, 0x17FF, 0x1200 | 0x10000};
    for (int32_t code : codes) {
        SCOPED_TRACE(CodeText(code));
        for (int round = 0; round < 3; ++round) {
            std::string printed;
            EXPECT_EQ(GetSM(code, &printed), nullptr);
            EXPECT_EQ(Count(printed, NullLine(code)), 1u);
        }
    }
}

}  // namespace
