#include "aircon/SMCyberJADC0110.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "QxPlatform.h"

using airc::Field;
using airc::W;

namespace {

// Field numbers. Field 2 answers the outdoor temperature and field 3 the humidity, as their
// definition rows name them; the value block and the table keep Hum before TemExt.
enum Fld : uint8_t {
    kTem = 1, kTemExt, kHum, kTemSup, kTemSet, kTemCool, kEmHeat, kTemMin, kTemMax, kHumSet,
    kHumMin, kHumMax, kFanRun, kFilRun, kCompRun, kCompRun2, kCoolMode, kHeadMode, kHumMng,
    kStOn, kStComp, kStComp2, kStHeat, kStHeat2, kStFan, kStDehum, kStEnHum, kStKey,
};
const int kFieldCount = 28;

const Field kFields[] = {
    {kTem, "Tem", W::I16},           {kHum, "Hum", W::I16},         {kTemExt, "TemExt", W::I16},
    {kTemSup, "TemSup", W::I16},     {kTemSet, "TemSet", W::I16},   {kTemCool, "TemCool", W::I16},
    {kEmHeat, "emHeat", W::I16},     {kTemMin, "TemMin", W::I16},   {kTemMax, "TemMax", W::I16},
    {kHumSet, "HumSet", W::I16},     {kHumMin, "HumMin", W::I16},   {kHumMax, "HumMax", W::I16},
    {kFanRun, "FanRun", W::I16},     {kFilRun, "FilRun", W::I16},   {kCompRun, "CompRun", W::I16},
    {kCompRun2, "CompRun2", W::I16}, {kCoolMode, "CoolMode", W::I16},
    {kHeadMode, "HeadMode", W::I16}, {kHumMng, "HumMng", W::I16},
    {kStOn, "StOn", W::U8},          {kStComp, "StComp", W::U8},    {kStComp2, "StComp2", W::U8},
    {kStHeat, "StHeat", W::U8},      {kStHeat2, "StHeat2", W::U8},  {kStFan, "StFan", W::U8},
    {kStDehum, "StDehum", W::U8},    {kStEnHum, "StEnHum", W::U8},  {kStKey, "StKey", W::U8},
};
const uint8_t kColumns[] = {kTem,      kHum,     kTemExt,   kTemSup,  kTemSet,  kTemCool,
                            kEmHeat,   kTemMin,  kTemMax,   kHumSet,  kHumMin,  kHumMax,
                            kFanRun,   kFilRun,  kCompRun,  kCompRun2, kCoolMode, kHeadMode,
                            kHumMng,   kStOn,    kStComp,   kStComp2, kStHeat,  kStHeat2,
                            kStFan,    kStDehum, kStEnHum,  kStKey};

#define T(n, name, caption) \
    {n, name, 1, caption, 10, 10, 0, "最小值,低于此值告警", 0, "最大值,超过此值告警", 0}
// On/off, compressor, heating and fan are states of the running unit: no limit is checked.
#define S(n, caption, legend) airc::StateRow(n, "StOn", caption, legend)
const qx::sql::DefRow kDefs[] = {
    T(1, "TemIn", "室内温度"),
    T(2, "TemExt", "室外温度"),
    T(3, "HumAmb", "室内湿度"),
    T(4, "TemSup", "送风温度"),
    S(20, "开关机", "开关机状态"),
    S(21, "压缩机", "压缩机状态"),
    S(23, "制热", "制热状态"),
    S(25, "风扇", "风扇状态"),
    // The key's state lies beyond DataSize and is no alarm: no limit is checked on it.
    airc::FlagRow(28, "StOn", "开关按键", "开关按键状态", 0),
};
#undef T
#undef S

const airc::Shape kShape = {
    {2048, "Cyber", "JADC0110 海瑞弗空调 ..."},
    kDefs, sizeof kDefs / sizeof kDefs[0],
    {"tbCyberJADC0110b",
     "DID INTEGER PRIMARY KEY,SID INTEGER,Type INTEGER,Port INTEGER,Addr INTEGER,"
     "DateUpd DATETIME,State INTEGER,SnapID INTEGER,Tem INTEGER,Hum INTEGER,TemExt DATETIME,"
     "TemSup INTEGER,TemSet INTEGER,TemCool INTEGER,emHeat INTEGER,TemMin INTEGER,"
     "TemMax INTEGER,HumSet INTEGER,HumMin INTEGER,HumMax INTEGER, FanRun INTEGER,"
     "FilRun INTEGER,CompRun INTEGER,CompRun2 INTEGER,CoolMode INTEGER,HeadMode INTEGER,"
     "HumMng INTEGER, StOn INTEGER,StComp INTEGER,StComp2 INTEGER,StHeat INTEGER,"
     "StHeat2 INTEGER,StFan INTEGER,StDehum INTEGER,StEnHum INTEGER,StKey INTEGER "},
    kFields, sizeof kFields / sizeof kFields[0],
    27,  // DataSize; DataVal also answers field 28
    kColumns, sizeof kColumns,
    kFieldCount,  // no answer: every value zeroed
    nullptr, 0,
    airc::kBriefAlarms,  // no St column
    "精密空调",
};

const uint8_t kStx = 0x02, kEtx = 0x03, kEnq = 0x05, kAck = 0x06, kSoh = 0x01;
const int kCycles = 30;
const int kSilentEnd = 6;  // silent cycles in a row that end the poll
const int kRecv = 256;

// One read of the exchange; a failed read (negative) counts as silence.
int ReadSome(ISerBase* ser, uint8_t* buf) {
    const int n = ser->Read(buf, kRecv, 0);
    const int got = n > 0 ? (n < kRecv ? n : kRecv) : 0;
    buf[got] = '\0';
    return got;
}

// Where a block's data ends: its ETX, else what arrived.
int DataEnd(const char* block, int len) {
    for (int i = 5; i < len; i++)
        if ((uint8_t)block[i] == kEtx) return i;
    return len;
}

}  // namespace

CSMCyberJADC0110::CSMCyberJADC0110() : CSMAircShape(0x81C, "QX-Cyber-JADC0110", kShape) { KeepPerPoint(); }

CSMCyberJADC0110::~CSMCyberJADC0110() {}

// ---------------------------------------------------------------- frames

char* CSMCyberJADC0110::StxCmd(char* buf, int addr, const char* text) {
    if (!buf) return nullptr;
    int k = 0;
    buf[k++] = (char)kStx;
    buf[k++] = (char)(0x30 + addr);
    for (const char* t = text; t && *t && k < kFrameMax - 4; t++) buf[k++] = *t;
    buf[k++] = (char)kEtx;
    const uint8_t s = (uint8_t)CBufHelper::sum((const uint8_t*)buf, k);
    buf[k++] = (char)(0x30 + (s >> 4));
    buf[k++] = (char)(0x30 + (s & 0x0F));
    buf[k] = '\0';
    return buf;
}

char* CSMCyberJADC0110::AckCmd(char* buf, int) {
    if (!buf) return nullptr;
    buf[0] = (char)kAck;
    buf[1] = '\0';
    return buf;
}

char* CSMCyberJADC0110::Enq5Cmd(char* buf, int addr) {
    if (!buf) return nullptr;
    buf[0] = (char)kEnq;
    buf[1] = (char)(0x30 + addr);
    buf[2] = '\0';
    return buf;
}

char* CSMCyberJADC0110::EnqCmd(char* buf, int addr) {
    if (!buf) return nullptr;
    buf[0] = (char)kSoh;
    buf[1] = (char)(0x30 + addr);
    buf[2] = '\0';
    return buf;
}

// ---------------------------------------------------------------- blocks

int CSMCyberJADC0110::Words(const char* block, int len, Take take) {
    if (!block || len < 5) return 0;
    const int start = (uint8_t)block[3] - 0x30, count = (uint8_t)block[4] - 0x30;
    const int end = DataEnd(block, len);
    int taken = 0;
    for (int k = 0; k < count && 5 + 4 * k + 4 <= end; k++, taken++)
        (this->*take)(start + k, (int)CBufHelper::HexVal(block + 5 + 4 * k, 4));
    return taken > 0 ? 1 : 0;
}

void CSMCyberJADC0110::TakeS(int item, int v) {
    static const uint8_t kItems[21] = {0,       kHum,    kTem,    kTemExt, kTemSup, kTemSet, 0,
                                       0,       0,       0,       0,       kTemCool, kEmHeat,
                                       kTemMin, kTemMax, 0,       0,       0,       kHumSet,
                                       kHumMin, kHumMax};
    if (item < 1 || item > 20 || !kItems[item]) return;
    // An outdoor or supply-air temperature of 0 means none measured: the last one stays.
    if ((item == 3 || item == 4) && v == 0) return;
    Set(kItems[item], v);
}

void CSMCyberJADC0110::TakeU(int item, int v) {
    static const uint8_t kItems[22] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                       kFanRun, kFilRun, kCompRun, kCompRun2, 0, 0, 0, 0,
                                       kCoolMode, kHeadMode, kHumMng};
    if (item < 1 || item > 21 || !kItems[item]) return;
    Set(kItems[item], v);
}

int CSMCyberJADC0110::StxDatS(const char* block, int len) {
    return Words(block, len, &CSMCyberJADC0110::TakeS);
}

int CSMCyberJADC0110::StxDatU(const char* block, int len) {
    return Words(block, len, &CSMCyberJADC0110::TakeU);
}

int CSMCyberJADC0110::StxDatB(const char* block, int len) {
    if (!block || len < 5) return 0;
    const int start = (uint8_t)block[3] - 0x30, count = (uint8_t)block[4] - 0x30;
    const int end = DataEnd(block, len);
    int taken = 0;
    for (int j = 0; j < count / 8 && 5 + 2 * j + 2 <= end; j++, taken++) {
        const int b = (int)CBufHelper::HexVal(block + 5 + 2 * j, 2);
        switch (start + 8 * j) {
        case 33:
            for (int i = 0; i < 7; i++) Set(kStOn + i, b >> i & 1);
            break;
        case 41: Set(kStEnHum, b & 1); break;
        case 49: Set(kStKey, b & 1); break;
        default: break;
        }
    }
    return taken > 0 ? 1 : 0;
}

// ---------------------------------------------------------------- poll

int CSMCyberJADC0110::DataGet(ISerBase* ser, int addr, int) {
    if (!ser || !ser->IsOpened()) return 0;
    if (addr < 0 || addr > 0xFF - 0x30) return 0;  // no address character holds it
    return OnPoint([&] { return Link(ser, addr); });
}

int CSMCyberJADC0110::Link(ISerBase* ser, int addr) {
    char* cmd = reinterpret_cast<char*>(m_cmd);
    uint8_t recv[kRecv + 1], ack[kRecv + 1];
    ser->Purge();
    printf("CyberJADC0110 addr=%d\r\n", addr);

    // The commands that open the poll; their answers tell nothing the poll uses.
    ser->Write((const unsigned char*)StxCmd(cmd, addr, "?"));
    qx::SleepMs(100);
    ReadSome(ser, recv);
    ser->Write((const unsigned char*)StxCmd(cmd, addr, "F"));
    qx::SleepMs(100);
    ReadSome(ser, recv);
    ser->Write((const unsigned char*)AckCmd(cmd, addr));
    qx::SleepMs(100);
    ReadSome(ser, recv);

    int decoded = 0, silent = 0;
    uint8_t head[5];
    bool haveHead = false;
    for (int cycle = 0; cycle < kCycles; cycle++) {
        ser->Write((const unsigned char*)Enq5Cmd(cmd, addr));
        qx::SleepMs(2000);
        int n = ReadSome(ser, recv);
        if (n == 0) {
            ser->Write((const unsigned char*)AckCmd(cmd, addr));
            qx::SleepMs(1000);
            ReadSome(ser, recv);
            if (++silent >= kSilentEnd) break;
            continue;
        }
        silent = 0;
        if (n == 1 && recv[0] == 0x00) break;  // the unit's end
        if (recv[0] == kStx && n >= 3) {
            const char* block = reinterpret_cast<const char*>(recv);
            switch (recv[2]) {
            case 'S': decoded += StxDatS(block, n); break;
            case 'U': decoded += StxDatU(block, n); break;
            case 'B': decoded += StxDatB(block, n); break;
            default: break;
            }
        }
        ser->Write((const unsigned char*)AckCmd(cmd, addr));
        qx::SleepMs(1000);
        const int more = ReadSome(ser, ack);
        if (more > 0) {  // an answer to the acknowledgement takes the block's place
            memcpy(recv, ack, (size_t)more + 1);
            n = more;
        }
        // The unit repeats itself: the same head as the cycle before.
        if (n >= 5 && haveHead && memcmp(recv, head, 5) == 0) break;
        haveHead = n >= 5;
        if (haveHead) memcpy(head, recv, 5);
    }
    if (!decoded) return 0;
    printf("CyberJADC0110 done\r\n");
    return 1;
}

void CSMCyberJADC0110::BriefText(char* out, size_t size, int) {
    snprintf(out, size, "室内温度:%1.1f°C, 室内湿度:%1.1f%%", Val(kTem) / 10.0, Val(kHum) / 10.0);
}
