#include "aircon/SMCyberStation.h"

namespace {

using namespace airc;

enum Fld : uint8_t {
    kFj = 1, kYs1, kYs2, kJr1, kJr2, kCs, kJs, kLfj1, kLfj2, kGsbj, kDsbj, kGwbj, kDwbj, kFj1gz,
    kFj2gz, kTemset, kHumset, kTem, kHum,
};

// The block holds the values in table order: set points, temperature and humidity first.
const Field kFields[] = {
    {kTemset, "temset", W::I32}, {kHumset, "humset", W::I32}, {kTem, "tem", W::I32},
    {kHum, "hum", W::I32},       {kFj, "fj", W::I32},         {kYs1, "ys1", W::I32},
    {kYs2, "ys2", W::I32},       {kJr1, "jr1", W::I32},       {kJr2, "jr2", W::I32},
    {kCs, "cs", W::I32},         {kJs, "js", W::I32},         {kLfj1, "lfj1", W::I32},
    {kLfj2, "lfj2", W::I32},     {kGsbj, "gsbj", W::I32},     {kDsbj, "dsbj", W::I32},
    {kGwbj, "gwbj", W::I32},     {kDwbj, "dwbj", W::I32},     {kFj1gz, "fj1gz", W::I32},
    {kFj2gz, "fj2gz", W::I32},
};
const uint8_t kColumns[] = {kTemset, kHumset, kTem, kHum, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                            11, 12, 13, 14, 15};

#define D(n, name, caption) FlagRow(n, name, caption, "0无异常")
const qx::sql::DefRow kDefs[] = {
    D(kGsbj, "gsbj", "高湿报警"),       D(kDsbj, "dsbj", "低湿报警"),
    D(kGwbj, "gwbj", "高温报警"),       D(kDwbj, "dwbj", "低温报警"),
    D(kFj1gz, "fj1gz", "风机1过载报警"), D(kFj2gz, "fj2gz", "风机2过载报警"),
};
#undef D

const airc::Shape kShape = {
    {2048, "精密空调", "485接口..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbStation",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,temset INTEGER,humset INTEGER,tem INTEGER,"
     "hum INTEGER,fj INTEGER,ys1 INTEGER,ys2 INTEGER,jr1 INTEGER,jr2 INTEGER,cs INTEGER,"
     "js INTEGER,lfj1 INTEGER,lfj2 INTEGER,gsbj INTEGER,dsbj INTEGER,gwbj INTEGER,dwbj INTEGER,"
     "fj1gz INTEGER,fj2gz INTEGER"},
    kFields, sizeof kFields / sizeof kFields[0],
    15,  // DataSize: the states and alarms
    kColumns, sizeof kColumns,
    19,  // no answer: every value zeroed
    nullptr, 0,
    0,   // empty summary
    "空调(故障)",
};

// The first request clears every value when it answers: a poll failing later leaves the
// fields of the later requests at 0.
const Pick kAlarms[] = {Bit(kGsbj, 0),  Bit(kDsbj, 1),   Bit(kGwbj, 2),
                        Bit(kDwbj, 3),  Bit(kFj1gz, 10), Bit(kFj2gz, 18)};
const Pick kStates[] = {Bit(kFj, 0),  Bit(kYs1, 1), Bit(kYs2, 2), Bit(kJr1, 3),  Bit(kJr2, 4),
                        Bit(kCs, 5),  Bit(kJs, 6),  Bit(kLfj1, 7), Bit(kLfj2, 8)};
const Pick kSets[] = {Reg(kTemset, 0), Reg(kHumset, 1)};
const Pick kMeasured[] = {Reg(kTem, 0), Reg(kHum, 1)};
const Req kReqs[] = {
    Read(1, 8, 19, kAlarms, true, 19), Read(1, 127, 10, kStates), Read(3, 652, 2, kSets),
    Read(3, 704, 2, kMeasured),
};

// Variant 1: the unit counts its coils and registers from 1 where the other map counts from 0
// (its fan is coil 128, not 127): the high- and low-humidity and -temperature alarms are coils
// 9 to 12 of the first read; its fan overloads (coils 19 and 27) lie beyond that read and stay
// 0. It reports one state for both compressors and one for both heaters, no dehumidifier or
// condenser fans; humidity comes before temperature.
const Pick kStates1[] = {Bit(kFj, 0), Bit(kYs1, 2), Bit(kYs2, 2), Bit(kJr1, 1), Bit(kJr2, 1),
                         Bit(kJs, 3)};
const Pick kMeasured1[] = {Reg(kHum, 0), Reg(kTem, 1)};
const Pick kAlarms1[] = {Bit(kGsbj, 9), Bit(kDsbj, 10), Bit(kGwbj, 11), Bit(kDwbj, 12)};
const Req kVariant1[] = {
    Read(1, 0, 19, kAlarms1, true, 19), Read(1, 128, 10, kStates1), Read(3, 2, 2, kSets),
    Read(3, 703, 2, kMeasured1),
};

// `wait` (when above 0) and then 200 ms before every reply, no purge.
const airc::Polling kPolling = {{false, 200, 0, 120, true}, kReqs, 4, kVariant1, 4};

}  // namespace

CSMCyberStation::CSMCyberStation() : CSMAircShape(0x80B, "QX-AIRCStation", kShape) {
    PollBy(kPolling);
}

std::vector<int> CSMCyberStation::UnreadFields() const {
    if (Variant() == 1) return {kFj1gz, kFj2gz};
    return {};
}
