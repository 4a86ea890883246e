#include "aircon/SMLineGI.h"

#include <stdio.h>

namespace {

using namespace airc;

enum Fld : uint8_t {
    kAircState = 24, kPqyl, kSfwd, kHfwd, kHfsd, kYsjzs, kXqyl, kXqwd, kPqwd, kYsjdl, kWdset,
    kZlset, kSdset, kSdset2, kZrset,
};

#define F(n, c) {n, c, W::I32}
const Field kFields[] = {
    F(1, "gz23"),  F(2, "gz24"),  F(3, "gz25"),  F(4, "gz30"),  F(5, "gz31"),  F(6, "gz37"),
    F(7, "gz38"),  F(8, "gz39"),  F(9, "gz40"),  F(10, "gz41"), F(11, "gz49"), F(12, "gz50"),
    F(13, "gz51"), F(14, "gz52"), F(15, "gz53"), F(16, "gz54"), F(17, "gz55"), F(18, "gz57"),
    F(19, "gz62"), F(20, "gz63"), F(21, "gz64"), F(22, "gz65"), F(23, "gz66"),
    F(kAircState, "aircstate"), F(kPqyl, "pqyl"), F(kSfwd, "sfwd"), F(kHfwd, "hfwd"),
    F(kHfsd, "hfsd"), F(kYsjzs, "ysjzs"), F(kXqyl, "xqyl"), F(kXqwd, "xqwd"), F(kPqwd, "pqwd"),
    F(kYsjdl, "ysjdl"), F(kWdset, "wdset"), F(kZlset, "zlset"), F(kSdset, "sdset"),
    F(kSdset2, "sdset2"), F(kZrset, "zrset"),
};
#undef F
const uint8_t kColumns[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13,
                            14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                            27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38};

#define D(n, name, caption) FlagRow(n, name, caption, "0正常")
const qx::sql::DefRow kDefs[] = {
    D(1, "gz23", "过滤器堵塞报警故障"),   D(2, "gz24", "送风机故障"),
    D(3, "gz25", "烟火报警故障"),         D(4, "gz30", "压缩机低压报警故障"),
    D(5, "gz31", "回风温度探头故障"),     D(6, "gz37", "运行超时报警故障"),
    D(7, "gz38", "高排气温度报警故障"),   D(8, "gz39", "变频器故障"),
    D(9, "gz40", "吸排气压差报警故障"),   D(10, "gz41", "变频器离线故障"),
    D(11, "gz49", "压缩机电流过高故障"),  D(12, "gz50", "压缩机过载故障"),
    D(13, "gz51", "压机电源电压过高故障"), D(14, "gz52", "压机电源电压过低故障"),
    D(15, "gz53", "变频器温度过高故障"),  D(16, "gz54", "压机电机温度过高故障"),
    D(17, "gz55", "变频器电流过高故障"),  D(18, "gz57", "启动失败故障"),
    D(19, "gz62", "低过热度报警故障"),    D(20, "gz63", "低蒸发温度报警故障"),
    D(21, "gz64", "高蒸发温度报警故障"),  D(22, "gz65", "高冷凝温度报警故障"),
    D(23, "gz66", "低吸气温度报警故障"),
};
#undef D

const airc::Shape kShape = {
    {2048, "行间空调GI系列", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbLinegi",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,gz23 INTEGER,gz24 INTEGER,gz25 INTEGER,"
     "gz30 INTEGER,gz31 INTEGER,gz37 INTEGER,gz38 INTEGER,gz39 INTEGER,gz40 INTEGER,"
     "gz41 INTEGER,gz49 INTEGER,gz50 INTEGER,gz51 INTEGER,gz52 INTEGER,gz53 INTEGER,"
     "gz54 INTEGER,gz55 INTEGER,gz57 INTEGER,gz62 INTEGER,gz63 INTEGER,gz64 INTEGER,"
     "gz65 INTEGER,gz66 INTEGER,aircstate INTEGER,pqyl INTEGER,sfwd INTEGER,hfwd INTEGER,"
     "hfsd INTEGER,ysjzs INTEGER,xqyl INTEGER,xqwd INTEGER,pqwd INTEGER,ysjdl INTEGER,"
     "wdset INTEGER,zlset INTEGER,sdset INTEGER,sdset2 INTEGER,zrset INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    38,
    kColumns, sizeof kColumns,
    38,  // no answer: every value zeroed
    nullptr, 0,
    airc::kBriefAlarms,
    "空调(故障)",
};

// Registers as the unit sends them (0..65535), coils 0 or 1; field gzNN is the fault coil NN,
// coils 54 and 55 too (motor over-temperature, inverter over-current), which come with the
// read from 49. The registers no request reads stay 0.
const Pick kReg4[] = {Reg(kSfwd, 0), Reg(kHfwd, 1), Reg(kHfsd, 2)};
const Pick kReg15[] = {Reg(kWdset, 0)};
const Pick kReg27[] = {Reg(kSdset, 0)};
const Pick kReg133[] = {Reg(kAircState, 0), Zero(kPqyl),  Zero(kYsjzs), Zero(kXqyl),
                        Zero(kXqwd),        Zero(kPqwd),  Zero(kYsjdl), Zero(kZlset),
                        Zero(kSdset2),      Zero(kZrset)};
const Pick kCoil23[] = {Bit(1, 0), Bit(2, 1), Bit(3, 2)};
const Pick kCoil30[] = {Bit(4, 0), Bit(5, 1)};
const Pick kCoil37[] = {Bit(6, 0), Bit(7, 1), Bit(8, 2), Bit(9, 3), Bit(10, 4)};
const Pick kCoil49[] = {Bit(11, 0), Bit(12, 1), Bit(13, 2), Bit(14, 3), Bit(15, 4),
                        Bit(16, 5), Bit(17, 6)};
const Pick kCoil57[] = {Bit(18, 0)};
const Pick kCoil62[] = {Bit(19, 0), Bit(20, 1), Bit(21, 2), Bit(22, 3), Bit(23, 4)};

const Req kReqs[] = {
    Read(3, 4, 3, kReg4),    Read(3, 15, 1, kReg15),  Read(3, 27, 1, kReg27),
    Read(3, 133, 1, kReg133), Read(1, 23, 3, kCoil23), Read(1, 30, 2, kCoil30),
    Read(1, 37, 5, kCoil37), Read(1, 49, 7, kCoil49), Read(1, 57, 1, kCoil57),
    Read(1, 62, 5, kCoil62),
};

// Every request is required; 100 ms before each reply, no purge.
const airc::Polling kPolling = {{false, 100, -1, 20}, kReqs, 10, nullptr, 0};

}  // namespace

CSMLineGI::CSMLineGI() : CSMAircShape(0x806, "AIRC-LINE-GI", kShape) { PollBy(kPolling); }

void CSMLineGI::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "回风温度%.1f℃, 回风湿度%.1f%%", Val(kHfwd) * 0.1, Val(kHfsd) * 0.1);
}
