// The factory through the built plug-in: which class, reported type and model text each device
// type code gets, how the codes of a category share its default handler, and which codes get
// nothing (with the manager's NULL line on standard output).
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <map>
#include <string>

#include <gtest/gtest.h>

#include "ISMBase.h"
#include "ISMManager.h"
#include "Plugins.h"

namespace {

// "ISMBase" and two GBK characters: the text of a handler that copies no model text.
const char kBaseNote[] = "ISMBase\xBB\xF9\xC0\xE0";

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
        static char root[] = "/tmp/factory_test_root_XXXXXX";
        if (mkdtemp(root))
            setenv("QX_ROOT", root, 1);
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

    qxhost::SmPlugin m_lib;
    ISMManager* m_sm = nullptr;
};

struct ClassCase {
    int32_t code;
    int32_t reported;
    const char* note;
    const char* cls;
};

// Every class of the factory, and codes that fall to a category's default class.
const ClassCase kClasses[] = {
    {0x100, 0x100, "QX-ELEC", "CSMElec"},
    {0x103, 0x103, "QX-Transf", "CSMTransf"},
    {0x104, 0x104, "QX-PowSCADA", "CSMPowSCADA"},
    {0x105, 0x105, "QX-FBJK002G3S", "CSMFBJK002G3S"},
    {0x106, 0x106, "HC-311A", "CSMHC311A"},
    {0x107, 0x107, "SMHGM6300", "CSMHgm6300"},
    {0x101, 0x100, "QX-ELEC", "CSMElec"},
    {0x1FF, 0x100, "QX-ELEC", "CSMElec"},
    {0x200, 0x200, "QX-PD220-6", "CSMOnOff"},
    {0x2AB, 0x200, "QX-PD220-6", "CSMOnOff"},
    {0x300, 0x300, "RE-RIRA", "CSMUps"},
    {0x301, 0x301, "QXUPS-EMERSON", "CSMUpsEmerson"},
    {0x303, 0x303, "QX-UPSSMART", "CSMUpsSmart"},
    {0x304, 0x304, "RE-RIRA", "CSMUpsSANTAK"},
    {0x305, 0x305, "QX-UPSIPG", "CSMUpsIPGuard"},
    {0x306, 0x306, "QXUPS-EAST", "CSMUpsEast"},
    {0x307, 0x307, "QXUPS-Symmetra", "CSMUpsSymmetra"},
    {0x308, 0x308, "QX-UPSEDXRT6", "CSMUpsEdxRt6"},
    {0x309, 0x309, "UPS-III", "CSMUpsIII"},
    {0x30A, 0x30A, "UPS-SENTRY", "CSMUpsSentry"},
    {0x30B, 0x30B, "UPS-HR7000", "CSMUpsHR7000"},
    {0x30C, 0x30C, "UPS-GX", "CSMUpsGX"},
    {0x30D, 0x30D, "QX-APM150", "CSMUpsAPM150"},
    {0x30E, 0x30E, "QX-NMYG", "CSMUpsNMYG"},
    {0x30F, 0x30F, "QXUPS-EAST", "CSMUpsLink"},
    {0x310, 0x310, "RE-RIRA", "CSMUpsGXGD"},
    {0x311, 0x311, "QX-ITrustAdapt", "CSMUpsITrustAdapt"},
    {0x312, 0x312, "QX-9E", "CSMUPS9EModbus"},
    {0x313, 0x313, "QXUPS-AHP", "CSMUpsAHP"},
    {0x314, 0x314, "QX-GXE", "CSMUpsGXE"},
    {0x315, 0x315, "QXUPS-HTxx-RMX", "CSMUpsHTxx"},
    {0x318, 0x318, "QXUPS-KSTAR-Modbus", "CSMUpsApcMegGalaxy5000"},
    {0x31A, 0x31A, "QXUPS-Hipulse-U Series", "CSMUpsHipulseUSeries"},
    {0x31B, 0x31B, "RE-RIRA", "CSMSnmpUpsPowerNet"},
    {0x31E, 0x31E, "QX-UPS-ITA0510K", "CSMSnmpUpsIta0510k"},
    {0x323, 0x323, "QX-UPS-ZH20KL", "CSMSnmpUpsZh20kl"},
    {0x324, 0x324, "QX-UPS-MG Galaxy5000", "CSMSnmpUpsMgG5000"},
    {0x327, 0x327, "QX-UPS-ita 1620k", "CSMSnmpUpsIta1620k"},
    {0x328, 0x328, "QX-UPS-POWERNET3", "CSMSnmpUpsPowerNet3"},
    {0x32C, 0x32C, "QX-UPS-WEBPOW", "CSMSnmpUpsWebpow"},
    {0x302, 0x300, "RE-RIRA", "CSMUps"},
    {0x3FF, 0x300, "RE-RIRA", "CSMUps"},
    {0x301 | 0x10000, 0x300, "RE-RIRA", "CSMUps"},
    {static_cast<int32_t>(0xFFFF0303u), 0x300, "RE-RIRA", "CSMUps"},
    {0x400, 0x400, "QX-BATTDB100", "CSMDb100"},
    {0x401, 0x401, "QX-BATTADU1000", "CSMADU1000"},
    {0x402, 0x402, "QX-BAT100", "CSMBatt100"},
    {0x403, 0x403, "QX-BATTRTVS", "CSMBattRTVS"},
    {0x404, 0x404, "QX-BOD-800", "CSMBattBod800"},
    {0x405, 0x405, "QX-BOD-EB90", "CSMBattBodEB90"},
    {0x500, 0x500, "QX-TH485", "CSMEnvir"},
    {0x502, 0x502, "QX-PM485", "CSMEnvirPm"},
    {0x501, 0x500, "QX-TH485", "CSMEnvir"},
    {0x5FF, 0x500, "QX-TH485", "CSMEnvir"},
    {0x600, 0x600, "QX-LEAK", "CSMLeak"},
    {0x6FF, 0x600, "QX-LEAK", "CSMLeak"},
    {0x700, 0x700, "QX-AIRC", "CSMAirc"},
    {0x701, 0x701, "QX-AIRCDAS", "CSMAircDAS"},
    {0x702, 0x702, "QX-LCP-DX", "CSMAircLcpDx"},
    {0x705, 0x705, "QX-Airc-Mitsubishi", "CSMAircMitsubishi"},
    {0x703, 0x700, "QX-AIRC", "CSMAirc"},
    {0x7FF, 0x700, "QX-AIRC", "CSMAirc"},
    {0x801, 0x801, "QX-EMERSON", "CSMEmerson"},
    {0x802, 0x802, "QX-STULZ-C7000", "CSMStulzC7000"},
    {0x804, 0x804, "QX-PLC-QSM50-004", "CSMPlcQSM50"},
    {0x805, 0x805, "SMLineGT", "CSMLineGT"},
    {0x806, 0x806, "AIRC-LINE-GI", "CSMLineGI"},
    {0x807, 0x807, "AIRC-CANATAL", "CSMCanatal"},
    {0x808, 0x808, "QX-AIRC_PeX", "CSMCyberPeX"},
    {0x809, 0x809, "QX-DME3000", "CSMDme3000"},
    {0x80A, 0x80A, "QX-CyberMatrix", "CSMCyberMatrix"},
    {0x80B, 0x80B, "QX-AIRCStation", "CSMCyberStation"},
    {0x80C, 0x80C, "QX-TEMaster", "CSMTEMaster"},
    {0x80D, 0x80D, "SMCyberHiross", "CSMCyberHiross"},
    {0x80E, 0x80E, "QX-EVO-CyberMate-DX", "CSMCyberEvoDx"},
    {0x80F, 0x80F, "QX-Cyber-RDAxxx", "CSMCyberRDAx"},
    {0x810, 0x810, "QX-Cyber-Sunrise", "CSMCyberSunrise"},
    {0x812, 0x812, "QX-AIRCK200", "CSMCyberK200"},
    {0x815, 0x815, "QX-Cyber-Hairf", "CSMCyberHaiRuiFu"},
    {0x819, 0x819, "QX-Cyber-HST-XX", "CSMCyberHSTXX"},
    {0x81B, 0x81B, "QX-Cyber-SCA", "CSMCyberSCA"},
    {0x81C, 0x81C, "QX-Cyber-JADC0110", "CSMCyberJADC0110"},
    {0x81E, 0x81E, "QX-Cyber-JADC0110", "CSMCyberDelta"},
    {0x831, 0x831, "QX-CYBER-PEX", "CSMSnmpCyberPex"},
    {0x800, 0x804, "QX-PLC-QSM50-004", "CSMPlcQSM50"},
    {0x803, 0x804, "QX-PLC-QSM50-004", "CSMPlcQSM50"},
    {0x8FF, 0x804, "QX-PLC-QSM50-004", "CSMPlcQSM50"},
    {0x900, 0x900, "DI-2416", "CSMDio"},
    {0x902, 0x902, "QX-FD220", "CSMDioFd220"},
    {0x903, 0x903, "QX-PD220-6", "CSMDioPd2206"},
    {0x904, 0x904, "W70XX", "CSMDioW70XX"},
    {0x905, 0x905, "QX-AD5DA5", "CSMDioAd5Da5"},
    {0x906, 0x906, "DI-RD230", "CSMDioRd230"},
    {0x907, 0x907, "QX-KW7", "CSMDioKW7"},
    {0x909, 0x909, "QX-MLAN-7VXPXJ", "CSMDioMlan7vxpxj"},
    {0x90A, 0x90A, "QX-AD5DA5-IVC", "CSMDioAd5Da5Ivc"},
    {0x90B, 0x90B, "W7017_Huawei", "CSMDioW7017_Huawei"},
    {0x90C, 0x90C, "AdBle_Huawei", "CSMDioAdBle_Huawei"},
    {0x901, 0x900, "DI-2416", "CSMDio"},
    {0x908, 0x900, "DI-2416", "CSMDio"},
    {0x9FF, 0x900, "DI-2416", "CSMDio"},
    {0xA00, 0xA00, "QX3000", "CSMAlm3000"},
    {0xA01, 0xA01, "QX-ALM PT", "CSMAlmGsm"},
    {0xA02, 0xA02, "QX-ALMDO6", "CSMAlmDo"},
    {0xA08, 0xA08, "QX-ALM SMT-120", "CSMAlmSMT120"},
    {0xA09, 0xA09, "QX-ALM-PTW75", "CSMAlmPTW75"},
    {0xB00, 0xB00, "QX-DGus", "CSMDGusMonitor"},
    {0xB01, 0xB01, "QX-Diwen", "CSMAlmDiwen"},
    {0xC00, 0xC00, "QX-CAM", "CSMCamera"},
    {0xC01, 0xC01, "QX-CAM_3GE", "SMCamera3ge"},
    {0xD00, 0xD00, kBaseNote, "CSMCardA"},
    {0xD01, 0xD01, "QX-CARD_K", "CSMCardK"},
    {0xD02, 0xD02, kBaseNote, "CSMCardT"},
    {0xD03, 0xD03, "QX-WEIGENG", "CSMCardW"},
    {0xD04, 0xD04, "CX-V6-V8", "CSMCXV6V8"},
    {0xD05, 0xD05, "RS485reader", "CSMRS485reader"},
    {0xD07, 0xD07, kBaseNote, "CSMNetPing"},
    {0xD06, 0xD00, kBaseNote, "CSMCardA"},
    {0xDFF, 0xD00, kBaseNote, "CSMCardA"},
    {0xE10, 0xE10, "QX-SVRWIN", "CSMSnmpSvr"},
    {0xF00, 0xF00, kBaseNote, "CSMSnmpDemo"},
};

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
