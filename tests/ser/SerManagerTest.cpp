// The channel manager: one channel per code, the serial sharing rule, registration and
// destruction, and the library's entry points with the log-settings file.
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "QxSer.h"
#include "SerCom.h"
#include "SerManager.h"
#include "SerTestUtil.h"
#include "gtest/gtest.h"

namespace {

struct ManagerFixture : ::testing::Test {
    void SetUp() override { m = CSerManager::GetInstance(); }
    void TearDown() override { CSerManager::FreeInstance(); }
    CSerManager* m = nullptr;
};

// A channel with a chosen code that says when it is destroyed.
struct Tracked : CSerBase {
    Tracked(int code, std::vector<int>* log) : CSerBase(code & 0xFFFF), log(log) {
        m_iCategory = code & ~0xFFFF;
    }
    ~Tracked() override { log->push_back(GetType()); }
    std::vector<int>* log;
};

TEST_F(ManagerFixture, SameCodeGivesTheSameChannelAndIgnoresTheNewDefinition) {
    ISerBase* a = m->GetSer("ttyS1:9600,N,8,1", 0x100001);
    ASSERT_NE(nullptr, a);
    ISerBase* b = m->GetSer("ttyS1:4800,E,7,2", 0x100001);
    EXPECT_EQ(a, b);
    EXPECT_STREQ("ttyS1:9600,n,8,1", b->GetNote());
    EXPECT_EQ(a, m->GetSer(nullptr, 0x100001));
    EXPECT_EQ(1, m->Count());
}

TEST_F(ManagerFixture, SerialRequestsShareByTheCodeTheirDefinitionDescribes) {
    // Nothing registered yet: the channel reports the definition's code, not the request's.
    ISerBase* com1 = m->GetSer("COM1:9600,N,8,1", 0x100005);
    ASSERT_NE(nullptr, com1);
    EXPECT_EQ(0x100001, com1->GetType());
    EXPECT_EQ(com1, m->GetSer("COM1:9600,N,8,1", 0x100005));
    EXPECT_EQ(com1, m->GetSer("ttyS1:19200,E,8,1", 0x100007));  // same sub-kind and port
    EXPECT_STREQ("COM1:9600,n,8,1", com1->GetNote());

    ISerBase* usb0 = m->GetSer("ttyUSB0:115200,E,8,2", 0x100000);
    ASSERT_NE(nullptr, usb0);
    EXPECT_NE(com1, usb0);
    EXPECT_EQ(0x120000, usb0->GetType());
    ISerBase* esl2 = m->GetSer("ESL2:4800,O,7,1", 0x100002);
    ASSERT_NE(nullptr, esl2);
    EXPECT_EQ(0x110002, esl2->GetType());
    EXPECT_EQ(esl2, m->GetSer("ttySBC2:9600,N,8,1", 0));
    EXPECT_EQ(3, m->Count());
}

TEST_F(ManagerFixture, PortOnlyRequestsMakeDefaultSerialChannels) {
    struct Case {
        const char* def;  // null and empty both mean none
        int code;
        int reports;
        const char* note;
    } cases[] = {
        {nullptr, 0x100003, 0x100003, "COM3:9600,n,8,1.5"},
        {"", 0x000004, 0x100004, "COM4:9600,n,8,1.5"},       // kind 0 is serial
        {nullptr, 0x300006, 0x100006, "COM6:9600,n,8,1.5"},  // and so is any unknown kind
        {"", 0x120002, 0x100002, "COM2:9600,n,8,1.5"},       // sub-kind bits are not looked at
    };
    std::vector<ISerBase*> made;
    for (const Case& c : cases) {
        ISerBase* ch = m->GetSer(c.def, c.code);
        ASSERT_NE(nullptr, ch) << std::hex << c.code;
        EXPECT_EQ(c.reports, ch->GetType()) << std::hex << c.code;
        EXPECT_STREQ(c.note, ch->GetNote()) << std::hex << c.code;
        made.push_back(ch);
    }
    EXPECT_EQ(4, m->Count());
    EXPECT_EQ(made[1], m->GetSer(nullptr, 0x100004));  // found under the code it reports
}

TEST_F(ManagerFixture, UsbGivesNothingAndLeavesTheListAlone) {
    m->GetSer("ttyS1:9600,N,8,1", 0x100001);
    EXPECT_EQ(nullptr, m->GetSer("ttyUSB0:9600,N,8,1", 0x400000));
    EXPECT_EQ(nullptr, m->GetSer(nullptr, 0x400003));
    EXPECT_EQ(1, m->Count());
}

TEST_F(ManagerFixture, DefinitionItCannotHoldGivesNothing) {
    m->GetSer("COM1:9600,N,8,1", 0x100001);
    // Not the registered COM1 either: a channel for another device is never handed out.
    EXPECT_EQ(nullptr, m->GetSer("abcdefghijklmnopqrstuvwxyz1:9600,N,8,1", 0x100009));
    EXPECT_EQ(1, m->Count());
}

TEST_F(ManagerFixture, RegistrationKeepsOneChannelPerCode) {
    std::vector<int> destroyed;
    EXPECT_EQ(-1, m->RegisterNew(nullptr));
    EXPECT_EQ(-1, m->FindType(0x100001));
    EXPECT_EQ(0, m->RegisterNew(new Tracked(0x100001, &destroyed)));
    EXPECT_EQ(1, m->RegisterNew(new Tracked(0x100002, &destroyed)));
    // A second object for a registered code is destroyed at once.
    EXPECT_EQ(0, m->RegisterNew(new Tracked(0x100001, &destroyed)));
    EXPECT_EQ(std::vector<int>{0x100001}, destroyed);
    EXPECT_EQ(2, m->Count());
    EXPECT_EQ(1, m->FindType(0x100002));
    EXPECT_EQ(-1, m->FindType(0x100003));
    CSerManager::FreeInstance();  // while the log is still there
}

TEST(SerManager, ChannelsAreDestroyedNewestFirst) {
    std::vector<int> destroyed;
    CSerManager* m = CSerManager::GetInstance();
    for (int code : {0x100001, 0x100002, 0x200007, 0x800001}) m->RegisterNew(new Tracked(code, &destroyed));
    CSerManager::FreeInstance();
    EXPECT_EQ((std::vector<int>{0x800001, 0x200007, 0x100002, 0x100001}), destroyed);
    EXPECT_EQ(nullptr, CSerManager::m_pInstance);
    CSerManager::FreeInstance();  // a second free does nothing
    EXPECT_EQ(nullptr, CSerManager::m_pInstance);
}

TEST(SerManager, SingletonLivesFromFirstRequestToFree) {
    EXPECT_EQ(nullptr, CSerManager::m_pInstance);
    CSerManager* a = CSerManager::GetInstance();
    EXPECT_EQ(a, CSerManager::m_pInstance);
    EXPECT_EQ(a, CSerManager::GetInstance());
    a->GetSer("ttyS1:9600,N,8,1", 0x100001);
    CSerManager::FreeInstance();
    CSerManager* b = CSerManager::GetInstance();
    EXPECT_EQ(0, b->Count());  // a fresh, empty manager
    ISerBase* ch = b->GetSer("ttyS1:4800,E,7,2", 0x100001);
    ASSERT_NE(nullptr, ch);
    EXPECT_STREQ("ttyS1:4800,e,7,2", ch->GetNote());
    CSerManager::FreeInstance();
}

// ---------------------------------------------------------------- entry points

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

struct EntryFixture : ::testing::Test {
    void SetUp() override {
        ASSERT_FALSE(dir.Path().empty());
        ASSERT_EQ(0, mkdir((dir.Path() + "/NandFlash").c_str(), 0700));
        ASSERT_EQ(0, mkdir((dir.Path() + "/NandFlash/tmp").c_str(), 0700));
        setenv("QX_ROOT", dir.Path().c_str(), 1);
        logFile = dir.Path() + "/NandFlash/tmp/qxser.log.ini";
    }
    void TearDown() override {
        FreeSerManager();
        unsetenv("QX_ROOT");
    }
    sertest::TempDir dir;
    std::string logFile;
};

TEST_F(EntryFixture, DescribesItself) {
    EXPECT_EQ(0, DllType());
    EXPECT_EQ(1, DllVersion());
    EXPECT_STREQ("qxSer.so for ISerBase, support COM, DIO, Net and USB", DllNote());
    ISerManager* m = GetSerManager();
    EXPECT_EQ(static_cast<ISerManager*>(CSerManager::m_pInstance), m);
    EXPECT_EQ(m, GetSerManager());
}

#if !QX_SER_REDUCED
std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(EntryFixture, FreeWritesAnEmptyLogSettingsFileWhenThereWasNone) {
    EXPECT_STREQ("/NandFlash/tmp/qxser.log.ini", filename);
    flogIni.Reset();
    GetSerManager();
    EXPECT_FALSE(Exists(logFile));
    FreeSerManager();
    ASSERT_TRUE(Exists(logFile));
    EXPECT_EQ("", ReadFile(logFile));
    // A fresh manager afterwards.
    ISerManager* m = GetSerManager();
    ASSERT_NE(nullptr, m);
    EXPECT_EQ(0, CSerManager::m_pInstance->Count());
}

TEST_F(EntryFixture, LogSettingsPassThroughUnchanged) {
    flogIni.Reset();
    {
        std::ofstream out(logFile);
        out << "[RtLog]\nLevel = 3\n\n[Other]\nkey = some value\n";
    }
    GetSerManager();
    EXPECT_STREQ("3", flogIni.GetValue("rtlog", "LEVEL", ""));  // names without regard to case
    FreeSerManager();
    flogIni.Reset();
    ASSERT_EQ(SI_OK, flogIni.LoadFile(logFile.c_str()));
    EXPECT_STREQ("3", flogIni.GetValue("RtLog", "Level", ""));
    EXPECT_STREQ("some value", flogIni.GetValue("Other", "key", ""));
    flogIni.Reset();
}

TEST_F(EntryFixture, MissingFolderIsIgnored) {
    setenv("QX_ROOT", (dir.Path() + "/nowhere").c_str(), 1);
    ASSERT_NE(nullptr, GetSerManager());
    FreeSerManager();
    EXPECT_FALSE(Exists(dir.Path() + "/nowhere"));
}

TEST(SerTrace, TraceLinesWriteNothingInThisBuild) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(1, trace_log("RtLog", "SerManager new: %p\r\n", (void*)nullptr));
    CSerCom ch("ttyS1:9600,N,8,1");
    CSerManager::GetInstance();
    CSerManager::FreeInstance();
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}
#else
TEST_F(EntryFixture, ReducedBuildHasNoLogSettingsFile) {
    GetSerManager();
    FreeSerManager();
    EXPECT_FALSE(Exists(logFile));
}

TEST(SerTrace, ReducedBuildPrintsTraceLines) {
    testing::internal::CaptureStdout();
    CSerCom ch("ttyS1:9600,N,8,1");
    CSerManager::GetInstance();
    CSerManager::FreeInstance();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(std::string::npos, out.find("CSerCom InitCom: ")) << out;
    EXPECT_NE(std::string::npos, out.find("CSerCom UpdParams: ComPort: ttyS1, 0, 0\r\n")) << out;
    EXPECT_NE(std::string::npos, out.find("SerManager new: ")) << out;
    EXPECT_NE(std::string::npos, out.find("SerManager delete: ")) << out;
    EXPECT_NE(std::string::npos, out.find("SerManager free: ")) << out;
}
#endif

}  // namespace
