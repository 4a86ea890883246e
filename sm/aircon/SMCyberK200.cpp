#include "aircon/SMCyberK200.h"

#include <stdio.h>

using namespace airc::tables;

namespace {

enum Fld : uint8_t {
    kSdwd = 1, kSdsd, kHfwd, kHfsd, kStatus, kCs, kJs, kZl, kZr, kFj, kHfwdtt, kSfwdtt,
    kHfsdtt, kSwwdtt,
};

const Field kFields[] = {
    {kSdwd, "sdwd", W::I32},     {kSdsd, "sdsd", W::I32},     {kHfwd, "hfwd", W::I32},
    {kHfsd, "hfsd", W::I32},     {kStatus, "status", W::I32}, {kCs, "cs", W::I32},
    {kJs, "js", W::I32},         {kZl, "zl", W::I32},         {kZr, "zr", W::I32},
    {kFj, "fj", W::I32},         {kHfwdtt, "hfwdtt", W::I32}, {kSfwdtt, "sfwdtt", W::I32},
    {kHfsdtt, "hfsdtt", W::I32}, {kSwwdtt, "swwdtt", W::I32},
};
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};

// Reply to "addr 03 00 00 00 08": registers 0..7 big-endian; a flag is a bit of a register's
// low byte (its second byte on the wire).
//   01 03 10 | 01 00 | 00 DC | 00 32 | 00 3E | 00 E6 | 00 37 | 00 10 | 00 00 | crc
//   adr fn n   status  sdwd    sdsd    run     hfwd    hfsd    probes
struct Bit {
    uint8_t fld;
    uint8_t at;   // reply byte
    uint8_t bit;
};
const Bit kBits[] = {
    {kCs, 10, 5},     {kJs, 10, 4},     {kZl, 10, 3},     {kZr, 10, 2},     {kFj, 10, 1},
    {kHfwdtt, 16, 5}, {kSfwdtt, 16, 4}, {kHfsdtt, 16, 3}, {kSwwdtt, 16, 2},
};
const int kRecordBytes = 19;  // registers 0..7

const qx::sql::DefRow kDefs[] = {
    {kHfwd, "hfwd", 1, "回风温度", 10, 11, 160, "最小值|允许最低温度,低于此值报警", 300,
     "最大值|允许最高温度,超过此值报警", 0},
    {kHfsd, "hfsd", 1, "回风湿度", 1, 11, 35, "最小值|允许最低湿度,低于此值报警", 78,
     "最大值|允许最高湿度,超过此值报警", 0},
};

const char* const kOffOn[] = {"关机"};
const Words kRunning = {kOffOn, 1, "开机"};
const char* const kProbeOk[] = {"正常"};
const Words kProbe = {kProbeOk, 1, "故障"};

const Key kKeys[] = {
    {".sdwd", ".设定温度", kSdwd, KeyFmt::Fixed1, 10, nullptr},
    {".hfwd", ".回风温度", kHfwd, KeyFmt::Fixed1, 10, nullptr},
    {".sdsd", ".设定湿度", kSdsd, KeyFmt::Int, 1, nullptr},
    {".hfsd", ".回风湿度", kHfsd, KeyFmt::Int, 1, nullptr},
    {".St", ".状态", kStatus, KeyFmt::Word, 1, &kRunning},
    {".cs", ".除湿机", kCs, KeyFmt::Word, 1, &kRunning},
    {".js", ".加湿机", kJs, KeyFmt::Word, 1, &kRunning},
    {".zl", ".制冷机", kZl, KeyFmt::Word, 1, &kRunning},
    {".zr", ".制热机", kZr, KeyFmt::Word, 1, &kRunning},
    {".fj", ".风机", kFj, KeyFmt::Word, 1, &kRunning},
    {".hfwdtt", ".回风温度探头", kHfwdtt, KeyFmt::Word, 1, &kProbe},
    {".sfwdtt", ".送风温度探头", kSfwdtt, KeyFmt::Word, 1, &kProbe},
    {".hfsdtt", ".回风湿度探头", kHfsdtt, KeyFmt::Word, 1, &kProbe},
    {".swwdtt", ".室外温度探头", kSwwdtt, KeyFmt::Word, 1, &kProbe},
};

const airc::Shape kShape = {
    {2048, "精密空调", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCyberK200",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,sdwd INTEGER,sdsd INTEGER,hfwd INTEGER,"
     "hfsd INTEGER,status INTEGER,cs INTEGER,js INTEGER,zl INTEGER,zr INTEGER,fj INTEGER,"
     "hfwdtt INTEGER,sfwdtt INTEGER,hfsdtt INTEGER,swwdtt INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    14,
    kColumns, sizeof kColumns,
    14,
    kKeys, sizeof kKeys / sizeof kKeys[0],
    airc::kBriefState,
    "空调(故障)",
};

// Answered at once; a reply fits 30 bytes.
const airc::Link kLink = {true, 0, -1, 30};

const char* StatusText(int v) {
    switch (v) {
    case 0: return "(关机)";
    case 1: return "(开机)";
    default: return "(未知参数)";
    }
}

}  // namespace

CSMCyberK200::CSMCyberK200() : CSMAircShape(0x812, "QX-AIRCK200", kShape) {}

CSMCyberK200::~CSMCyberK200() {}

int CSMCyberK200::DataGet(ISerBase* channel, int address, int wait) {
    if (!channel || !qx::AddrFits(address)) return 0;  // no Modbus unit: nothing sent
    uint8_t reply[32];
    const int len = ModBusCmd(address, 3, 0, 8);
    qx::MbReply r = Request(channel, len, reply, sizeof reply, kLink, wait, kRecordBytes);
    if (!r.ok()) return 0;
    Set(kStatus, r.Word(0) != 0 ? 1 : 0);
    Set(kSdwd, r.Word(1));
    Set(kSdsd, r.Word(2));
    Set(kHfwd, r.Word(4));
    Set(kHfsd, r.Word(5));
    for (const Bit& b : kBits) Set(b.fld, reply[b.at] >> b.bit & 1);
    return 1;
}

int CSMCyberK200::DoFunc(ISerBase*, int, int, void*, int) { return 0; }

int CSMCyberK200::StoredState(int state) {
    // A failed probe makes the unit's readings unusable: a fault, above an alarm.
    for (int f = kHfwdtt; f <= kSwwdtt; f++)
        if (Val(f) == 1) return 2;
    return state;
}

void CSMCyberK200::BriefText(char* out, size_t size, int state) {
    snprintf(out, size, "空调%s,回风温度:%.1f℃,回风湿度:%d%%,空调状态:%d%s", airc::StateMark(state),
             Val(kHfwd) / 10.0, Val(kHfsd), Val(kStatus), StatusText(Val(kStatus)));
}
