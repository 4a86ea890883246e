// The reachability check without the network: how a HostText becomes a target, and the rows
// and summary of tbPingNet (the program runner is tested with the core).
#include <string.h>

#include <string>

#include "TestRig.h"
#include "core/SMSql.h"
#include "io/SMNetPing.h"

namespace {

TEST(NetPingTarget, HostAndPort) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"127.0.0.1", true, "127.0.0.1", 0},
        {"10.1.2.3:80", true, "10.1.2.3", 80},
        {"host.example:65535", true, "host.example", 65535},
        {"h:80x", true, "h", 80},
        {"h:", true, "h", -1},
        {"h:0", true, "h", -1},
        {"h:65536", true, "h", -1},
        {"h:-1", true, "h", -1},
        {"h:http", true, "h", -1},
        {"h:99999999999999999999", true, "h", -1},
        {"x;touch f;", true, "x;touch f;", 0},
        {"", false, "", 0},
        {":80", false, "", 0},
        {"-oN/tmp/x", false, "", 0},
        {"-c:80", false, "", 0},
        {"abcdefghijklmnopqrstuvwxyz01234", true, "abcdefghijklmnopqrstuvwxyz01234", 0},
        {"abcdefghijklmnopqrstuvwxyz012345", false, "", 0},
    };
    for (const Case& c : cases) {
        char host[32];
        int port = 7;
        EXPECT_EQ(c.ok, CSMNetPing::Target(c.text, strlen(c.text) + 1, host, sizeof(host), &port))
            << c.text;
        EXPECT_EQ(std::string(c.host), std::string(host)) << c.text;
        EXPECT_EQ(c.port, port) << c.text;
    }
    // A HostText that fills its field without a terminator is read only within the field.
    char field[12];
    memcpy(field, "10.0.0.1:443", 12);
    char host[32];
    int port = 0;
    ASSERT_TRUE(CSMNetPing::Target(field, sizeof(field), host, sizeof(host), &port));
    EXPECT_EQ(std::string("10.0.0.1"), std::string(host));
    EXPECT_EQ(443, port);
}

struct PingRig : iotest::Rig<CSMNetPing> {
    PingRig() : iotest::Rig<CSMNetPing>(21, 0xD07) {}
    int Upd(int* bits, int flags = 0) { return h.DataUpd(flags, bits, nullptr, -1, &hist); }
};

TEST(NetPing, RowsSummaryAndHistory) {
    PingRig r;
    EXPECT_EQ("3329|Ping Net ISMBase基类", r.db.Str("select Kind||'|'||Name from tbSMType where Type=3335"));
    EXPECT_EQ("1|iPingState|是否在线|1|1|1: 在线 0: 离线",
              r.db.Str("select Fld||'|'||FldName||'|'||Note||'|'||Ratio||'|'||AlmKind||'|'||LoText "
                       "from tbSMDef where Type=3335"));
    int bits[1] = {0};
    for (int state : {1, 0, 1}) {
        r.h.m_iPingState = state;
        ASSERT_EQ(1, r.Upd(bits));
        EXPECT_EQ("0|0|" + std::to_string(state),
                  r.db.Str("select State||'|'||SnapID||'|'||iPingState from tbPingNet where SID=21"));
        EXPECT_EQ(state ? "在线" : "离线", r.db.Str("select Brief from tbSMBrief where SID=21"));
        EXPECT_EQ(0, r.db.Int("select St from tbSMBrief where SID=21"));
    }
    // A history row on every call; SnapID always 0; the host's alarm flag.
    int snap = 9;
    ASSERT_EQ(1, r.h.DataUpd(0x11, bits, &snap, -1, &r.hist));
    EXPECT_EQ("1|0", r.db.Str("select State||'|'||SnapID from tbPingNet where SID=21"));
    EXPECT_EQ(1, r.db.Int("select St from tbSMBrief where SID=21"));
    EXPECT_EQ(4, r.hist.Int("select count(*) from tbPingNet where SID=21"));
    EXPECT_EQ("1,0,1,1", r.hist.Str("select group_concat(iPingState) from (select iPingState from "
                                    "tbPingNet where SID=21 order by DID)"));
    // No current point: nothing written, 0; DataGet too.
    CSMNetPing bare;
    EXPECT_EQ(0, bare.DataUpd(0, bits, nullptr, -1, nullptr));
    EXPECT_EQ(0, bare.DataGet(nullptr, 0, 0));
    EXPECT_EQ(-1, bare.DataVal(2));
}

}  // namespace
