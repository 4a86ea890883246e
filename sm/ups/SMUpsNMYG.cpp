#include "ups/SMUpsNMYG.h"

#include <stdio.h>

// The requests and their replies, one line each, ended by CR or LF; the first byte is passed
// over and the numbers are blank-separated, read in tenths:
//
//   "RS\r"   (1 0 0 0 1\r                      fault, bypass, mains failure, battery low, discharging
//             b4 b5 b7 b6 b3                    (1 when the number is not 0)
//   "RD\r"   (220.1 221.0 219.8 220.0 220.2 219.9 35.0 30.1 28.7 26.5 50.0 272.0 45.0\r
//             Vin1 Vin2 Vin3 Vout v2 v3 Aout Aed v4 Tem Fin Vbatt Mbatt
//             input A B C, output A B C, load A B C, temperature, input frequency, battery
//   "RN\r"   read and not used

namespace {

const qx::sql::DefRow kRows[] = {
    {1, "Vin1", 1, "输入电压A", 10, 6, 2000, "最小值|允许最低输入电压,低于此值告警", 2350,
     "最大值|允许最高输入电压,超过此值告警", 0},
    {2, "Vin2", 1, "输入电压B", 10, 6, 2000, "最小值|允许最低输入电压,低于此值告警", 2350,
     "最大值|允许最高输入电压,超过此值告警", 0},
    {3, "Vin3", 1, "输入电压C", 10, 6, 2000, "最小值|允许最低输入电压,低于此值告警", 2350,
     "最大值|允许最高输入电压,超过此值告警", 0},
    CSMUpsTbUps::DefaultRow(kUpsFin),
    {5, "Vout", 1, "输出电压A", 10, 0, 0, "最小值|允许最低输出电压,低于此值告警", 2350,
     "最大值|允许最高输出电压,超过此值告警", 0},
    {28, "v2", 1, "输出电压B", 10, 0, 0, "最小值|允许最低输出电压,低于此值告警", 2350,
     "最大值|允许最高输出电压,超过此值告警", 0},
    {29, "v3", 1, "输出电压C", 10, 0, 0, "最小值|允许最低输出电压,低于此值告警", 2350,
     "最大值|允许最高输出电压,超过此值告警", 0},
    {6, "Aout", 1, "输出负载A", 10, 0, 0, "最小值|允许最低输出电流,低于此值告警", 1500,
     "最大值|允许最高输出电流,超过此值告警", 0},
    {23, "Aed", 1, "输出负载B", 10, 0, 0, "最小值|允许最低输出电流,低于此值告警", 1500,
     "最大值|允许最高输出电流,超过此值告警", 0},
    {30, "v4", 1, "输出负载C", 10, 0, 0, "最小值|允许最低输出电流,低于此值告警", 1500,
     "最大值|允许最高输出电流,超过此值告警", 0},
    CSMUpsTbUps::DefaultRow(kUpsB7),
    {12, "b6", 1, "b6电池电压", 1, 1, 0, "1表示低电压", 0, "", 0},
    CSMUpsTbUps::DefaultRow(kUpsB5),
    CSMUpsTbUps::DefaultRow(kUpsB4),
    {15, "b3", 1, "b3 放电状态", 1, 0, 0, "1表示后备式,常为0", 0, "", 0},
    CSMUpsTbUps::DefaultRow(kUpsVbatt),
    {9, "Tem", 1, "温度", 10, 0, 200, "最小值|允许最低温度,低于此值告警", 650,
     "最大值|允许最高温度,超过此值告警", 0},
};

// Pout and VAed are not written.
const uint8_t kColumns[] = {
    kUpsVin1, kUpsVin2, kUpsVin3, kUpsFin, kUpsVout, kUpsAout, kUpsFout, kUpsVbatt, kUpsPbatt,
    kUpsMbatt, kUpsTem, kUpsStatus, kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1,
    kUpsB0, kUpsVed, kUpsAed, kUpsVdc, kUpsFed, kUpsV1, kUpsV2, kUpsV3, kUpsV4,
    kUpsCompany, kUpsMode, kUpsVersion,
};

// Every reading in tenths, the temperature and battery included.
const std::vector<TbUpsKey> kKeys = CSMUpsTbUps::DefaultKeysIn(kKeyTenths);

const TbUpsShape kShape = {
    "UPS山特兼容KR APC...",
    kRows, (int)(sizeof kRows / sizeof kRows[0]),
    kColumns, (int)sizeof kColumns,
    kKeys.data(), (int)kKeys.size(),
    3, false, false,
};

const int kFlagsMax = 50;     // reply to "RS"
const int kReadingsMax = 200; // replies to "RD" and "RN"
const int kNumbersMax = 32;

// The request and its line; -1 when the request did not go out whole, 0 when no line came.
int Ask(ISerBase* ch, const char* request, int waitMs, uint8_t* reply, int max) {
    int n = CSMUpsTbUps::Exchange(ch, request, 3, waitMs, reply, max, "\r\n");
    if (n <= 0) return n;
    return reply[n - 1] == '\r' || reply[n - 1] == '\n' ? n : 0;
}

}  // namespace

CSMUpsNMYG::CSMUpsNMYG() : CSMUpsTbUps(0x30E, "QX-NMYG", kShape) {
    ClearRecord();  // nothing before the first reply
}

CSMUpsNMYG::~CSMUpsNMYG() {}

int CSMUpsNMYG::GetVals(int* values, const char* text, int& pos, int length, int wanted) {
    return ScanNumbers(values, text, pos, length, kNumbersMax, " \r\n", 10.0, true);
}

int CSMUpsNMYG::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // After each request the line is given `wait`; none when it is 0 or less, on a network
    // channel as on a serial one.
    const int waitMs = wait > 0 ? wait : 0;
    uint8_t reply[kReadingsMax + 1];
    int num[kNumbersMax];

    int n = Ask(ch, "RS\r", waitMs, reply, kFlagsMax);
    int pos = 1;
    if (n <= 0 || GetVals(num, (const char*)reply, pos, n, 5) < 5) return 0;
    ClearRecord();
    TbUpsRecord& r = m_rec;
    r.b4 = num[0] != 0;
    r.b5 = num[1] != 0;
    r.b7 = num[2] != 0;
    r.b6 = num[3] != 0;
    r.b3 = num[4] != 0;  // status is not packed from them

    // From here a failure keeps the flags.
    n = Ask(ch, "RD\r", waitMs, reply, kReadingsMax);
    pos = 1;
    if (n <= 0 || GetVals(num, (const char*)reply, pos, n, 13) < 13) return 0;
    static const uint8_t kReadings[13] = {kUpsVin1, kUpsVin2, kUpsVin3, kUpsVout, kUpsV2,
                                          kUpsV3,   kUpsAout, kUpsAed,  kUpsV4,   kUpsTem,
                                          kUpsFin,  kUpsVbatt, kUpsMbatt};
    for (int i = 0; i < 13; i++) SetField(kReadings[i], num[i]);

    // Asked for the device's sake; its answer, or none, does not matter.
    if (CSMUpsTbUps::Exchange(ch, "RN\r", 3, waitMs, reply, kReadingsMax, "\r\n") < 0) return 0;
    return 1;
}

void CSMUpsNMYG::BriefText(char* out, size_t size) {
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%1.1f%%", m_rec.Vin1 * 0.1,
             m_rec.Vout * 0.1, m_rec.Aout * 0.1);
}
