// The YD/T 1363 engine's exchange: request frames, the version policy, the field walk over
// each reply, the replies it refuses, the bounds of what a definition file gives, commands.
// The unit is the YD/T device model behind a scripted channel.
#include <string.h>

#include <memory>
#include <string>
#include <vector>

#include "EngineFixture.h"
#include "PointItem.h"
#include "ScriptChannel.h"
#include "TestDb.h"
#include "YdtDevice.h"
#include "engines/SMYdt1363.h"
#include "gtest/gtest.h"

namespace {

using qxsim::YdtFault;
using qxsim::YdtFrame;

const int kType = 0x1401;

struct Rig {
    BoardRoot root;
    NoSleep nosleep;
    qxsim::YdtDevice dev{1, 0x60, 0x21};
    qxtest::ScriptChannel ch;
    std::unique_ptr<CSMYdt1363, void (*)(CSMYdt1363*)> h{nullptr, [](CSMYdt1363* p) { delete p; }};

    Rig() {
        ch.SetResponder([this](const qxtest::Bytes& req) { return dev.Handle(req); });
    }
    CSMYdt1363* Make(const std::string& def) {
        root.WriteDef(kType, def);
        h.reset(static_cast<CSMYdt1363*>(NewYdt1363Handler(kType)));
        return h.get();
    }
    std::string Val(const std::string& key) { return h->Ini().GetValue(SEC_VALS, key, "<none>"); }
    size_t Vals() {
        size_t n = 0;
        for (auto it = h->Ini().beginKey(SEC_VALS); it != h->Ini().endKey(SEC_VALS); ++it) n++;
        return n;
    }
    // A poll of commands 42, 44 and 47, answered with 1, 2 and 3.
    void ThreeCommands() {
        ASSERT_NE(Make(std::string("[comm]\ndelay=0\nbak=1\nver=21\ncid2=42,44,47\n")), nullptr);
        dev.SetInfo(0x42, "0001");
        dev.SetInfo(0x44, "0002");
        dev.SetInfo(0x47, "0003");
    }
    std::string Written(size_t i) const {
        const qxtest::Bytes& b = ch.Written().at(i);
        return std::string(b.begin(), b.end());
    }
};

const char kComm[] = "[comm]\ndelay=0\nbak=1\nver=21\n";

}  // namespace

// ---------------------------------------------------------------- frames and field readers

TEST(YdtEngineFrame, RequestFrameExamples) {
    struct Case {
        const char* ver;
        int adr;
        const char* cid1;
        const char* cid2;
        const char* info;
        const char* frame;
    } cases[] = {
        {"21", 1, "60", "42", nullptr, "~210160420000FDB0\r"},
        {"00", 1, "60", "4F", "", "~0001604F0000FD9F\r"},
        {"20", 1, "60", "45", "0102", "~20016045C0040102FCD4\r"},
        {"20", 1, "40", "4F", "", "~2001404F0000FD9F\r"},
        // LCHKSUM over LENID's nibbles: 2 characters give E002, 0x12 give D012.
        {"21", 1, "60", "45", "01", "~21016045E00201FD35\r"},
        {"21", 1, "60", "45", "000000000000000000", "~21016045D012000000000000000000FA36\r"},
        {"21", 255, "60", "45", "000000000000000000000000000000000000000000000",
         "~21FF6045102D000000000000000000000000000000000000000000000F4FB\r"},
    };
    for (const Case& c : cases) {
        unsigned char buf[64];
        memset(buf, 'x', sizeof buf);
        int n = CSMYdt1363::YdCmd(buf, sizeof buf, c.ver, (unsigned char)c.adr, c.cid1, c.cid2, c.info);
        EXPECT_EQ((int)strlen(c.frame), n) << c.frame;
        EXPECT_STREQ(c.frame, (const char*)buf);  // a NUL follows the CR
    }
}

TEST(YdtEngineFrame, RequestFrameRefusals) {
    unsigned char buf[64];
    EXPECT_EQ(0, CSMYdt1363::YdCmd(buf, sizeof buf, "2", 1, "60", "42", ""));
    EXPECT_EQ(0, CSMYdt1363::YdCmd(buf, sizeof buf, "21", 1, "600", "42", ""));
    EXPECT_EQ(0, CSMYdt1363::YdCmd(buf, sizeof buf, "21", 1, "60", "", ""));
    EXPECT_EQ(0, CSMYdt1363::YdCmd(nullptr, sizeof buf, "21", 1, "60", "42", ""));
    // 18 + 46 characters and the NUL do not fit 64 bytes; 45 do.
    std::string info46(46, '0'), info45(45, '0');
    EXPECT_EQ(0, CSMYdt1363::YdCmd(buf, sizeof buf, "21", 1, "60", "42", info46.c_str()));
    EXPECT_EQ(63, CSMYdt1363::YdCmd(buf, sizeof buf, "21", 1, "60", "42", info45.c_str()));
}

TEST(YdtEngineFrame, FieldReaders) {
    struct Case {
        const char* text;
        const char* format;
        int factor;
        int value;
    } cases[] = {
        {"0000803F", "F", 10, 10},      {"3333B33F", "F", 1, 1},     {"3333B33F", "float", 10, 14},
        {"000080BF", "f", 1, -1},       {"0000807F", "F", 1, 0},     {"F0FF7F4F", "F", 10, INT32_MAX},
        {"2021", "I", 1, 0x2021},       {"FFFF", "i", 5, 65535},     {"E1", "B", 1, 0xE1},
        {"7F", "", 1, 0x7F},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value, CSMYdt1363::YdVal((const unsigned char*)c.text, c.format, c.factor))
            << c.text << " " << c.format;
    EXPECT_EQ(8, CSMYdt1363::YdDatSize("F"));
    EXPECT_EQ(4, CSMYdt1363::YdDatSize("i"));
    EXPECT_EQ(2, CSMYdt1363::YdDatSize("x"));
    EXPECT_EQ(2, CSMYdt1363::YdDatSize(nullptr));
    EXPECT_EQ(1, CSMYdt1363::YdDatNone((const unsigned char*)"2020", 4));
    EXPECT_EQ(1, CSMYdt1363::YdDatNone((const unsigned char*)"20202020", 8));
    EXPECT_EQ(0, CSMYdt1363::YdDatNone((const unsigned char*)"2021", 4));
    EXPECT_EQ(0, CSMYdt1363::YdDatNone((const unsigned char*)"0220", 4));
}

// ---------------------------------------------------------------- polls

TEST(YdtEnginePoll, CommandsOfTheListGoToTheirOwnKeys) {
    Rig r;
    ASSERT_NE(r.Make(std::string(kComm) + "cid2=42,44\n"), nullptr);
    r.dev.SetInfo(0x42, "000A0014");
    r.dev.SetInfo(0x44, "1234");
    ASSERT_EQ(1, r.h->DataGet(&r.ch, 1, 0));
    EXPECT_EQ((std::vector<int>{0x42, 0x44}), r.dev.Commands());
    EXPECT_EQ("~210160420000FDB0", r.dev.Requests().at(0));
    EXPECT_EQ("10", r.Val("42H01"));
    EXPECT_EQ("20", r.Val("42H02"));
    EXPECT_EQ("4660", r.Val("44H01"));
    EXPECT_EQ(3u, r.Vals());
    EXPECT_EQ(2, r.ch.Purges());
}

TEST(YdtEnginePoll, FieldWalkOfASection) {
    struct Case {
        const char* what;
        const char* section;  // the [42H] section's keys
        std::string info;
        std::vector<std::pair<std::string, std::string>> want;  // key, value ("<none>": absent)
        size_t count;
    } cases[] = {
        {"two 16-bit fields", "", "00010002", {{"42H01", "1"}, {"42H02", "2"}}, 2},
        {"no INFO", "", "", {}, 0},
        {"no-data filling", "", "20202021", {{"42H01", ""}, {"42H02", "8225"}}, 2},
        {"skipped float keeps its width", "dinfo=F\n2=-\n",
         qxsim::YdtFloat(1.0f) + qxsim::YdtFloat(2.0f) + qxsim::YdtFloat(3.0f),
         {{"42H01", "1"}, {"42H02", "<none>"}, {"42H03", "3"}}, 2},
        {"own formats", "1=B\n2=F\n3=I\n", "07" + qxsim::YdtFloat(2.5f) + "0100",
         {{"42H01", "7"}, {"42H02", "2"}, {"42H03", "256"}}, 3},
        {"dflag skips leading bytes", "dflag=1\n", "FF0005", {{"42H01", "5"}}, 1},
        {"float factor", "dinfo=F\ndfac=10\n", qxsim::YdtFloat(1.0f) + qxsim::YdtFloat(1.4f),
         {{"42H01", "10"}, {"42H02", "14"}}, 2},
        {"a field cut by the CHKSUM is not read", "", "000100", {{"42H01", "1"}}, 1},
        {"a float cut by the CHKSUM is not read", "dinfo=F\n", "0000803F000080",
         {{"42H01", "1"}}, 1},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(std::string(kComm) + "cid2=42\n[42H]\n" + c.section), nullptr);
        r.dev.SetInfo(0x42, c.info);
        ASSERT_EQ(1, r.h->DataGet(&r.ch, 1, 0)) << c.what;
        for (const auto& w : c.want) EXPECT_EQ(w.second, r.Val(w.first)) << c.what << " " << w.first;
        EXPECT_EQ(c.count, r.Vals()) << c.what;
    }
}

TEST(YdtEnginePoll, BitSplitOfAField) {
    struct Case {
        int bytes;
        size_t bits;
    } cases[] = {{1, 8}, {2, 16}, {4, 32}, {5, 32}, {1000000000, 32}, {0, 0}, {-1, 0}};
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(std::string(kComm) + "cid2=42\n[42H]\n2bit=" + std::to_string(c.bytes) + "\n"),
                  nullptr);
        r.dev.SetInfo(0x42, "00000105");
        ASSERT_EQ(1, r.h->DataGet(&r.ch, 1, 0));
        EXPECT_EQ("261", r.Val("42H02"));
        EXPECT_EQ(2 + c.bits, r.Vals()) << c.bytes;
        for (size_t j = 0; j < c.bits; j++) {
            bool one = j == 0 || j == 2 || j == 8;
            EXPECT_EQ(one ? "1" : "0", r.Val("42H02-" + std::to_string(j))) << c.bytes << " bit " << j;
        }
    }
}

TEST(YdtEnginePoll, VersionPolicy) {
    struct Case {
        const char* what;
        const char* comm;
        int deviceRtnOf4F;         // 0: the device answers its version
        std::vector<int> first;    // commands of the first poll
        std::vector<int> second;   // of the second
        const char* ver;           // VER of the 42 requests
    } cases[] = {
        {"bak 1 with ver: no query", "bak=1\nver=21\n", 0, {0x42}, {0x42}, "21"},
        {"bak 1 without ver: asked once", "bak=1\n", 0, {0x4F, 0x42}, {0x42}, "21"},
        {"bak 0: asked every poll", "bak=0\nver=20\n", 0, {0x4F, 0x42}, {0x4F, 0x42}, "21"},
        {"refused query: VER 10", "bak=0\n", 4, {0x4F, 0x42}, {0x4F, 0x42}, "10"},
        {"bad ver in the file is not used", "bak=1\nver=2'\n", 0, {0x4F, 0x42}, {0x42}, "21"},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(std::string("[comm]\ndelay=0\ncid2=42\n") + c.comm), nullptr);
        r.dev.SetInfo(0x42, "0001");
        if (c.deviceRtnOf4F) {
            // Both polls' version queries are refused (the 42 between them is not).
            r.dev.FaultOnce(YdtFault::Rtn, c.deviceRtnOf4F);
            r.dev.FaultOnce(YdtFault::None);
            r.dev.FaultOnce(YdtFault::Rtn, c.deviceRtnOf4F);
        }
        r.h->DataGet(&r.ch, 1, 0);
        EXPECT_EQ(c.first, r.dev.Commands()) << c.what;
        r.dev.ClearRequests();
        r.h->DataGet(&r.ch, 1, 0);
        EXPECT_EQ(c.second, r.dev.Commands()) << c.what;
        std::string last = r.dev.Requests().back();
        EXPECT_EQ(c.ver, last.substr(1, 2)) << c.what;
        if (!r.dev.Requests().empty() && r.dev.Commands().front() == 0x4F) {
            EXPECT_EQ("~0001604F0000FD9F", r.dev.Requests().front()) << c.what;
        }
    }
}

// The replies the engine refuses: each yields nothing for its own command; the commands
// before and after it are asked and keep their fields, and the poll counts as read.
TEST(YdtEnginePoll, ARefusedReplyFailsItsCommandOnly) {
    struct Case {
        const char* what;
        YdtFault fault;
        int param;
    } cases[] = {
        {"silence", YdtFault::Silence, -1},
        {"RTN 04", YdtFault::Rtn, 0x04},
        {"bad CHKSUM", YdtFault::BadChecksum, -1},
        {"bad LCHKSUM", YdtFault::BadLength, -1},
        {"short reply", YdtFault::Short, 12},
        {"lower-case digits", YdtFault::Lowercase, -1},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NO_FATAL_FAILURE(r.ThreeCommands());
        r.dev.FaultOnce(YdtFault::None);
        r.dev.FaultOnce(c.fault, c.param);
        EXPECT_EQ(1, r.h->DataGet(&r.ch, 1, 0)) << c.what;
        EXPECT_EQ("1", r.Val("42H01")) << c.what;
        EXPECT_EQ("<none>", r.Val("44H01")) << c.what;
        EXPECT_EQ("3", r.Val("47H01")) << c.what;
        EXPECT_EQ(2u, r.Vals()) << c.what;
        EXPECT_EQ((std::vector<int>{0x42, 0x44, 0x47}), r.dev.Commands()) << c.what;
        // The next poll starts afresh.
        EXPECT_EQ(1, r.h->DataGet(&r.ch, 1, 0)) << c.what;
        EXPECT_EQ(3u, r.Vals()) << c.what;
    }
}

TEST(YdtEnginePoll, APollWithoutADecodedReplyFails) {
    struct Case {
        const char* what;
        std::vector<YdtFault> faults;  // one per command of the poll
    } cases[] = {
        {"silent unit", {YdtFault::Silence, YdtFault::Silence, YdtFault::Silence}},
        {"every command refused", {YdtFault::Rtn, YdtFault::Rtn, YdtFault::Rtn}},
        {"refused, damaged, silent", {YdtFault::Rtn, YdtFault::BadChecksum, YdtFault::Silence}},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NO_FATAL_FAILURE(r.ThreeCommands());
        for (YdtFault f : c.faults) r.dev.FaultOnce(f, f == YdtFault::Rtn ? 0x04 : -1);
        EXPECT_EQ(0, r.h->DataGet(&r.ch, 1, 0)) << c.what;
        EXPECT_EQ(0u, r.Vals()) << c.what;
        EXPECT_EQ(3u, r.ch.Written().size()) << c.what << ": every command is asked";
    }
}

TEST(YdtEnginePoll, StaleInputIsNeverTakenForTheReply) {
    Rig r;
    ASSERT_NE(r.Make(std::string(kComm) + "cid2=42\n"), nullptr);
    r.dev.SetInfo(0x42, "0001");
    // A whole reply of another unit waits in the input before the request.
    std::string stale = YdtFrame(0x21, 2, 0x60, 0, "7777");
    r.ch.Inject(qxtest::Bytes(stale.begin(), stale.end()));
    ASSERT_EQ(1, r.h->DataGet(&r.ch, 1, 0));
    EXPECT_EQ("1", r.Val("42H01"));
}

TEST(YdtEnginePoll, RefusesWhatCannotGoIntoAFrame) {
    struct Case {
        const char* what;
        const char* def;
        int sent;  // requests written before the refusal
    } cases[] = {
        {"CID2 code of one character", "cid2=42,4\n", 1},
        {"CID2 code not hexadecimal", "cid2=4G\n", 0},
        {"CID1 of three characters", "cid1=600\ncid2=42\n", 0},
        {"dcmd too long", "cid2=42\n[42H]\ndcmd=0000000000000000000000000000000000000000000000\n", 0},
        {"dcmd with a quote", "cid2=42\n[42H]\ndcmd=01'\n", 0},
        {"negative dflag", "cid2=42\n[42H]\ndflag=-2\n", 0},
    };
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(std::string(kComm) + c.def), nullptr);
        r.dev.SetInfo(0x42, "0001");
        EXPECT_EQ(0, r.h->DataGet(&r.ch, 1, 0)) << c.what;
        EXPECT_EQ((size_t)c.sent, r.ch.Written().size()) << c.what;
    }
}

TEST(YdtEnginePoll, CommandListIsBounded) {
    Rig r;
    std::string list;
    for (int i = 0; i < CSMYdt1363::kMaxCommands + 1; i++) list += i ? ",42" : "42";
    ASSERT_NE(r.Make(std::string(kComm) + "cid2=" + list + "\n"), nullptr);
    r.dev.SetInfo(0x42, "0001");
    EXPECT_EQ(0, r.h->DataGet(&r.ch, 1, 0));
    EXPECT_EQ((size_t)CSMYdt1363::kMaxCommands, r.ch.Written().size());
}

TEST(YdtEnginePoll, DmaxIsHeldToTheReplyBuffer) {
    struct Case {
        const char* def;
        int dmax;
    } cases[] = {{"", 200}, {"dmax=600\n", 511}, {"dmax=5\n", 18}, {"dmax=-1\n", 18}, {"dmax=300\n", 300}};
    for (const Case& c : cases) {
        Rig r;
        ASSERT_NE(r.Make(std::string(kComm) + c.def), nullptr);
        EXPECT_EQ(c.dmax, r.h->Dmax()) << c.def;
    }
    // A section's dmax of 20 cannot hold a reply of 22 characters: the poll fails.
    Rig r;
    ASSERT_NE(r.Make(std::string(kComm) + "cid2=42\n[42H]\ndmax=20\n"), nullptr);
    r.dev.SetInfo(0x42, "0001");
    EXPECT_EQ(0, r.h->DataGet(&r.ch, 1, 0));
    // A long reply within a section's dmax of 600 (held to 511).
    Rig r2;
    ASSERT_NE(r2.Make(std::string(kComm) + "cid2=42\n[42H]\ndmax=600\n"), nullptr);
    r2.dev.SetInfo(0x42, std::string(480, '1'));
    EXPECT_EQ(1, r2.h->DataGet(&r2.ch, 1, 0));
    EXPECT_EQ("4369", r2.Val("42H120"));
}

TEST(YdtEnginePoll, ClosedMissingChannelOrUnloadedFileFail) {
    Rig r;
    ASSERT_NE(r.Make(std::string(kComm) + "cid2=42\n"), nullptr);
    r.dev.SetInfo(0x42, "0001");
    r.h->Ini().SetValue(SEC_VALS, "old", "1");
    EXPECT_EQ(0, r.h->DataGet(nullptr, 1, 0));
    EXPECT_EQ(0u, r.Vals());  // cleared before any check
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h->DataGet(&r.ch, 1, 0));
    EXPECT_TRUE(r.ch.Written().empty());
    r.ch.SetOpen(true);
    r.ch.ShortWrite(3);
    EXPECT_EQ(0, r.h->DataGet(&r.ch, 1, 0));
    EXPECT_EQ(1u, r.ch.Written().size());
    // An empty list: nothing is asked and nothing read, which is no poll.
    Rig e;
    ASSERT_NE(e.Make(std::string(kComm)), nullptr);
    EXPECT_EQ(0, e.h->DataGet(&e.ch, 1, 0));
    EXPECT_EQ(0u, e.Vals());
    EXPECT_TRUE(e.ch.Written().empty());
    // A file that cannot be read: a handler that polls and commands nothing.
    std::unique_ptr<CSMYdt1363> u(new CSMYdt1363(kType));
    EXPECT_EQ(-1, u->LoadDef((e.root.Path() + "/none.def").c_str()));
    EXPECT_FALSE(u->Loaded());
    EXPECT_EQ(0, u->DataGet(&e.ch, 1, 0));
    EXPECT_EQ(0, u->DoFunc(&e.ch, 1, 1, nullptr, 0));
    EXPECT_TRUE(e.ch.Written().empty());
}

// ---------------------------------------------------------------- control commands

TEST(YdtEngineCommand, ControlCommands) {
    struct Case {
        const char* what;
        const char* comm;
        int cmd;
        YdtFault fault;
        int result;
        std::vector<int> sent;
    } cases[] = {
        {"sent and accepted", "ver=20\nYk01=0102\n", 1, YdtFault::None, 1, {0x45}},
        {"no Yk key", "ver=20\nYk01=0102\n", 2, YdtFault::None, 0, {}},
        {"refused by the unit", "ver=20\nYk01=0102\n", 1, YdtFault::Rtn, 0, {0x45}},
        {"unanswered", "ver=20\nYk01=0102\n", 1, YdtFault::Silence, 0, {0x45}},
        {"damaged answer", "ver=20\nYk01=0102\n", 1, YdtFault::BadChecksum, 0, {0x45}},
        {"too long", "ver=20\nYk01=0000000000000000000000000000000000000000000000\n", 1,
         YdtFault::None, 0, {}},
        {"not hexadecimal", "ver=20\nYk01=01 02\n", 1, YdtFault::None, 0, {}},
        {"version asked first", "Yk03=01\n", 3, YdtFault::None, 1, {0x4F, 0x45}},
        {"no version: not sent", "Yk03=01\n", 3, YdtFault::Rtn, 0, {0x4F}},
    };
    for (const Case& c : cases) {
        Rig r;
        r.dev.SetVersion(0x20);
        r.dev.SetInfo(0x45, "");
        ASSERT_NE(r.Make(std::string("[comm]\ndelay=0\n") + c.comm), nullptr);
        if (c.fault != YdtFault::None) r.dev.FaultOnce(c.fault, 0x04);
        EXPECT_EQ(c.result, r.h->DoFunc(&r.ch, 1, c.cmd, nullptr, 0)) << c.what;
        EXPECT_EQ(c.sent, r.dev.Commands()) << c.what;
    }
    Rig r;
    r.dev.SetVersion(0x20);
    r.dev.SetInfo(0x45, "");
    ASSERT_NE(r.Make("[comm]\ndelay=0\nver=20\nYk01=0102\n"), nullptr);
    ASSERT_EQ(1, r.h->DoFunc(&r.ch, 1, 1, nullptr, 0));
    EXPECT_EQ("~20016045C0040102FCD4\r", r.Written(0));
    EXPECT_EQ((std::vector<std::string>{"0102"}), r.dev.Infos(0x45));
}

TEST(YdtEngineCommand, NullOrClosedChannelFailsTheCommand) {
    Rig r;
    r.dev.SetVersion(0x20);
    r.dev.SetInfo(0x45, "");
    ASSERT_NE(r.Make("[comm]\ndelay=0\nver=20\nYk01=0102\n"), nullptr);
    EXPECT_EQ(0, r.h->DoFunc(nullptr, 1, 1, nullptr, 0));
    r.ch.SetOpen(false);
    EXPECT_EQ(0, r.h->DoFunc(&r.ch, 1, 1, nullptr, 0));
    EXPECT_TRUE(r.ch.Written().empty());
    // Through the point: its channel and address.
    r.ch.SetOpen(true);
    qxhost::PointItem item(5, kType);
    item.Addr(1).Ser(&r.ch);
    r.h->DoItem(item, 0);
    EXPECT_EQ(1, r.h->DoFunc(1, nullptr, 0));
}

// ---------------------------------------------------------------- the skeleton on this engine

TEST(YdtEngineStore, PollStoredWithDetailRows) {
    Rig r;
    ASSERT_NE(r.Make(std::string(kComm) + "brief=U=%1%\ncid2=42\n"
                                           "[flds]\ncnt=2\n1=42H01\n2=42H02\n"
                                           "[flds.def]\n1='Ua',1,'U',0,10,1,0,'',2500,''\n"
                                           "2='St',1,'S',0,1,0,0,'',0,''\n"),
              nullptr);
    EXPECT_EQ(kType, r.h->GetType());
    EXPECT_STREQ("QXYD-base", r.h->GetNote());
    r.dev.SetInfo(0x42, "08992020");
    TestDb db, hist;
    r.h->SetDb(&db, 0);
    r.h->SetDb(&hist, 1);
    r.h->RegDb(&db, 0);
    EXPECT_EQ(2, db.Int("select count(*) from tbSMDef where Type=5121"));
    EXPECT_EQ(0x1400, db.Int("select Kind from tbSMType where Type=5121"));
    qxhost::PointItem item(9, kType);
    item.Addr(1).Port(3).Ser(&r.ch);
    ASSERT_EQ(1, r.h->ChkDb(item));
    r.h->DoItem(item, 0);
    ASSERT_EQ(1, r.h->DataGet(&r.ch, 1, 0));
    EXPECT_EQ(2201, r.h->DataVal(1));
    EXPECT_EQ(-1, r.h->DataVal(2));  // no data
    int bits = 0;
    ASSERT_EQ(1, r.h->DataUpd(0, &bits, nullptr, -1, &hist));
    EXPECT_EQ("U=220.1", db.Str("select Brief from tbSMBrief where SID=9"));
    EXPECT_EQ("V42H01=2201,V42H02=<null>",
              db.Str("select group_concat(Fld||'='||ifnull(Val,'<null>')) from (select * from "
                     "tbYdt1363Dat where SID=9 and DID=0 order by Fld)"));
    EXPECT_EQ(1, hist.Int("select count(*) from tbYdt1363 where SID=9"));
    EXPECT_EQ(2, hist.Int("select count(*) from tbYdt1363Dat d join tbYdt1363 m on d.DID=m.DID"));
}

TEST(YdtEngineStore, FactoryNeedsTheDefinitionFile) {
    BoardRoot root;
    EXPECT_EQ(nullptr, NewYdt1363Handler(0x1400));
    root.WriteDef(0x15FF, "[comm]\nnote=YD-UNIT\n");
    ISMBase* h = NewYdt1363Handler(0x15FF);
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(0x15FF, h->GetType());
    EXPECT_STREQ("YD-UNIT", h->GetNote());
    delete static_cast<CSMYdt1363*>(h);
}

// ADR is one byte: an address beyond it is refused before anything is sent, never cut to
// the device its low bits name. 255 and 1 are sent.
TEST(YdtEnginePoll, AddressThatDoesNotFitAdrSendsNothing) {
    struct Case {
        int addr;
        const char* adr;  // ADR characters of the request; nullptr: nothing sent
    } cases[] = {{1, "01"}, {255, "FF"}, {256, nullptr}, {65537, nullptr}, {-1, nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.addr);
        Rig r;
        ASSERT_NE(r.Make(std::string(kComm) + "cid2=42\nYk01=0102\n"), nullptr);
        r.dev.SetInfo(0x42, "000A");
        int got = r.h->DataGet(&r.ch, c.addr, 0);
        int done = r.h->DoFunc(&r.ch, c.addr, 1, nullptr, 0);
        if (!c.adr) {
            EXPECT_EQ(0, got);
            EXPECT_EQ(0, done);
            EXPECT_TRUE(r.ch.Written().empty());
            continue;
        }
        EXPECT_EQ(c.addr == 1 ? 1 : 0, got);  // the device is at address 1
        ASSERT_FALSE(r.ch.Written().empty());
        EXPECT_EQ(c.adr, r.Written(0).substr(3, 2));
    }
}
