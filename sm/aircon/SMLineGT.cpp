#include "aircon/SMLineGT.h"

#include <stdio.h>

namespace {

using namespace airc;

enum Fld : uint8_t { kAircState = 13, kHfwd, kHfsd, kSfwd, kWdset, kWdset2, kSdset, kSdset2 };

const Field kFields[] = {
    {1, "hfwdgz", W::I32},  {2, "sfwdgz", W::I32},  {3, "hfsdgz", W::I32},
    {4, "sfgz", W::I32},    {5, "yj1gzgz", W::I32}, {6, "yj2gzgz", W::I32},
    {7, "yj1dygz", W::I32}, {8, "yj2dygz", W::I32}, {9, "jrgz", W::I32},
    {10, "jsgz", W::I32},   {11, "flkglgz", W::I32}, {12, "flkglbj", W::I32},
    {kAircState, "aircstate", W::I32}, {kHfwd, "hfwd", W::I32}, {kHfsd, "hfsd", W::I32},
    {kSfwd, "sfwd", W::I32}, {kWdset, "wdset", W::I32}, {kWdset2, "wdset2", W::I32},
    {kSdset, "sdset", W::I32}, {kSdset2, "sdset2", W::I32},
};
const uint8_t kColumns[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};

#define D(n, name, caption) FlagRow(n, name, caption, "0正常")
const qx::sql::DefRow kDefs[] = {
    D(1, "hfwdgz", "回风温度探头故障"),        D(2, "sfwdgz", "送风温度探头故障"),
    D(3, "hfsdgz", "回风湿度探头故障"),        D(4, "sfgz", "送风机或电源故障"),
    D(5, "yj1gzgz", "压机1过载或冷凝风机过载"), D(6, "yj2gzgz", "压机2过载或冷凝风机过载"),
    D(7, "yj1dygz", "压机1低压保护"),          D(8, "yj2dygz", "压机2低压保护"),
    D(9, "jrgz", "电加热故障"),                D(10, "jsgz", "加湿器故障"),
    D(11, "flkglgz", "风流量开关"),            D(12, "flkglbj", "风流量开关报警"),
};
#undef D

const airc::Shape kShape = {
    {2048, "行间空调GT系列", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbLinegt",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,hfwdgz INTEGER,sfwdgz INTEGER,"
     "hfsdgz INTEGER,sfgz INTEGER,yj1gzgz INTEGER,yj2gzgz INTEGER,yj1dygz INTEGER,"
     "yj2dygz INTEGER,jrgz INTEGER,jsgz INTEGER,flkglgz INTEGER,flkglbj INTEGER, "
     "aircstate INTEGER,hfwd INTEGER,hfsd INTEGER,sfwd INTEGER,wdset INTEGER,wdset2 INTEGER,"
     "sdset INTEGER,sdset2 INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    20,
    kColumns, sizeof kColumns,
    20,  // no answer: every value zeroed
    nullptr, 0,
    airc::kBriefAlarms,
    "空调(故障)",
};

// Registers as the unit sends them (0..65535), coils 0 or 1.
const Pick kReg1[] = {Reg(kHfwd, 0),   Reg(kHfsd, 1),  Reg(kSfwd, 2),  Reg(kWdset, 3),
                      Reg(kWdset2, 4), Reg(kSdset, 5), Reg(kSdset2, 6)};
const Pick kReg129[] = {Reg(kAircState, 0)};
const Pick kCoil2[] = {Bit(1, 0), Bit(2, 1), Bit(3, 2), Bit(4, 3)};
const Pick kCoil8[] = {Bit(5, 0), Bit(6, 1), Bit(7, 2), Bit(8, 3), Bit(9, 4), Bit(10, 5), Bit(11, 6)};
const Pick kCoil37[] = {Bit(12, 0)};

const Req kReqs[] = {
    Read(3, 1, 7, kReg1), Read(3, 129, 1, kReg129), Read(1, 2, 4, kCoil2),
    Read(1, 8, 7, kCoil8), Read(1, 37, 1, kCoil37),
};

// Every request is required; 100 ms before each reply, no purge; a reply is read up to 50
// bytes.
const airc::Polling kPolling = {{false, 100, -1, 50}, kReqs, 5, nullptr, 0};

}  // namespace

CSMLineGT::CSMLineGT() : CSMAircShape(0x805, "SMLineGT", kShape) { PollBy(kPolling); }

void CSMLineGT::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "回风温度%.1f℃,回风湿度%.1f%%", Val(kHfwd) * 0.1, Val(kHfsd) * 0.1);
}
