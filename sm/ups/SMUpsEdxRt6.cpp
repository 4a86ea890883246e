#include "ups/SMUpsEdxRt6.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "ReplyCheck.h"
#include "ups/UpsFrame8188.h"

// Request of identifier 0x31, and its answer:
//
//   81 88 A1 01 31 03 00 00 12 00 80        byte 10: XOR of bytes 2..9
//   (06) 84 04 31 32 E6 00 E5
//        |  |  |  '------'  XOR of the n bytes from the identifier
//        |  |  identifier, then the data
//        |  n in the low nibble: identifier and data
//        flag 04 or 84
//
// Bytes are counted from the flag: here byte 3 = 0x32 (input frequency 50 Hz) and the
// little-endian word at 4 = 0x00E6 (input voltage 230 V). Values marked x10 are stored in
// tenths, as their divisor 10 shows them.

namespace {

const uint8_t kColumns[] = {
    kUpsVin1, kUpsVout, kUpsAout, kUpsFin, kUpsFout, kUpsVbatt, kUpsPbatt, kUpsStatus,
    kUpsB7, kUpsB6, kUpsB5, kUpsB4, kUpsB3, kUpsB2, kUpsB1, kUpsB0,
    kUpsVed, kUpsAed, kUpsVAed, kUpsVdc, kUpsV1, kUpsV2, kUpsV3, kUpsV4,
    kUpsPout, kUpsMbatt, kUpsCompany, kUpsMode, kUpsVersion,
};

// The default UPS handler's rows of the input and output, then this UPS's own.
const qx::sql::DefRow kRows[] = {
    CSMUpsTbUps::DefaultRow(kUpsVin1), CSMUpsTbUps::DefaultRow(kUpsFin),
    CSMUpsTbUps::DefaultRow(kUpsVout), CSMUpsTbUps::DefaultRow(kUpsAout),
    CSMUpsTbUps::DefaultRow(kUpsFout), CSMUpsTbUps::DefaultRow(kUpsPout),
    {10, "status", 1, "状态", 10, 0, 0, "", 0, "", 0},
    // Mains present and output on are 1 on a sound UPS: low limit 1, so mains lost (on battery)
    // and output off alarm. Charging is a state, no limit is checked on it. The bypass
    // frequency, bypass and bypass overload flags are faults (1 the fault); the bypass
    // working is a state.
    {11, "B7", 1, "市电状态", 1, 1, 1, "1表示市电正常", 0, "", 0},
    {12, "B6", 1, "电池低电压", 1, 1, 0, "1表示电池低电压", 0, "", 0},
    {13, "B5", 1, "电池充电", 1, 0, 0, "1表示正在充电", 0, "", 0},
    {14, "B4", 1, "UPS输状态", 1, 1, 1, "1表示有输出", 0, "", 0},
    {15, "B3", 1, "旁路频率", 1, 1, 0, "1表示旁路频率异常", 0, "", 0},
    {16, "B2", 1, "旁路异常", 1, 1, 0, "1表示旁路异常", 0, "", 0},
    {17, "B1", 1, "旁路过载", 1, 1, 0, "1表示旁路过载", 0, "", 0},
    {18, "B0", 1, "旁路状态", 1, 0, 0, "1表示旁路工作状态", 0, "", 0},
    {19, "Vbatt", 1, "电池电压", 10, 0, 2000, "最小值|允许最低电池电压,低于此值告警", 2450,
     "最大值|允许最高电池电压,超过此值告警", 0},
    CSMUpsTbUps::DefaultRow(kUpsPbatt),
    {27, "v1", 1, "旁路输出电流", 10, 0, 0, "", 0, "", 0},
    {28, "v2", 1, "旁路输出电压", 10, 0, 0, "", 0, "", 0},
    {29, "v3", 1, "输出功率VA", 10, 0, 0, "", 0, "", 0},
    {30, "v4", 1, "功率因数", 10, 0, 0, "", 0, "", 0},
};

const TbUpsShape kShape = {
    "APC UPS Smart...",
    kRows, (int)(sizeof kRows / sizeof kRows[0]),
    kColumns, (int)sizeof kColumns,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
};

// What each identifier's block gives, bytes counted from the flag. The status of 0x41 is
// the one value no row can say: bits 0..3 from bytes 3..6.
struct Item {
    uint8_t id;
    TbUpsBinField fields[5];
    int count;
};
const Item kItems[CSMUpsEdxRt6::kIds] = {
    {0x01, {{kUpsB7, 3, 1, 1}, {kUpsB6, 4, 1, 1}, {kUpsB5, 5, 1, 1}, {kUpsB4, 7, 1, 1}}, 4},
    {0x06, {{kUpsPbatt, 3, 1, 10}}, 1},
    {0x07, {{kUpsPout, 3, 1, 10}, {kUpsVbatt, 4, 2, 10}}, 2},
    {0x31, {{kUpsFin, 3, 1, 10}, {kUpsVin1, 4, 2, 10}}, 2},
    {0x38, {{kUpsB3, 3, 1, 1}, {kUpsB2, 4, 1, 1}, {kUpsB1, 5, 1, 1}, {kUpsB0, 7, 1, 1}}, 4},
    {0x3A, {{kUpsV1, 3, 1, 10}, {kUpsV2, 4, 2, 10}}, 2},
    {0x41, {}, 0},
    {0x42,
     {{kUpsV3, 5, 2, 10}, {kUpsAout, 7, 1, 10}, {kUpsFout, 8, 1, 10}, {kUpsV4, 9, 1, 1},
      {kUpsVout, 10, 2, 10}},
     5},
};
const int kStatusId = 0x41;
const int kStatusAt = 3;  // bytes 3..6: status bits 0..3

const Item* ItemOf(int id) {
    for (const Item& it : kItems)
        if (it.id == id) return &it;
    return nullptr;
}

// Bytes from the flag that the decoding of an identifier reads.
int NeedOf(int id) {
    if (id == kStatusId) return kStatusAt + 4;
    const Item* it = ItemOf(id);
    return it ? CSMUpsTbUps::BinFieldsEnd(it->fields, it->count) : 0;
}

// The length field of every request.
const uint16_t kRequestLength = 0x12;
const int kReplyMax = 16;
const uint8_t kAck = 0x06;

// Length of the block at the front of `have` bytes, from its flag and length byte after the
// optional 0x06 (FrameLength of qx::FrameExchange). Bytes that start no block end the
// gathering: they are judged as they came.
int BlockLength(const uint8_t* d, int have) {
    const int k = have > 0 && d[0] == kAck ? 1 : 0;
    if (have < k + 2) return k + 2;
    if (d[k] != 0x04 && d[k] != 0x84) return have;
    return k + (d[k + 1] & 0x0F) + 3;
}

}  // namespace

CSMUpsEdxRt6::CSMUpsEdxRt6() : CSMUpsTbUps(0x308, "QX-UPSEDXRT6", kShape) {}

CSMUpsEdxRt6::~CSMUpsEdxRt6() {}

int CSMUpsEdxRt6::EdxId(int i) {
    return i >= 0 && i < kIds ? kItems[i].id : -1;
}

int CSMUpsEdxRt6::EdxCmd(int id) {
    return qx::Frame8188(m_cmd, sizeof m_cmd, (uint8_t)id, 0, kRequestLength);
}

const uint8_t* CSMUpsEdxRt6::EdxChk(const uint8_t* buf, int length, int id) {
    if (!buf || length < 3) return nullptr;
    const int k = buf[0] == kAck ? 1 : 0;
    const uint8_t* b = buf + k;
    if (length < k + 3 || (b[0] != 0x04 && b[0] != 0x84)) return nullptr;
    const int n = b[1] & 0x0F;
    if (k + n + 3 != length) return nullptr;
    // n = 0 covers not even the identifier.
    if (n < 1 || b[2] != (uint8_t)id) return nullptr;
    if (CBufHelper::Xor(b + 2, n) != b[2 + n]) return nullptr;
    // The covered bytes end at 1 + n: the decoding must read none after them.
    if (NeedOf(id) > n + 2) return nullptr;
    return b;
}

void CSMUpsEdxRt6::EdxTake(int id, const uint8_t* b) {
    if (id == kStatusId) {
        const uint8_t* s = b + kStatusAt;
        m_rec.status = (uint8_t)(s[0] | s[1] << 1 | s[2] << 2 | s[3] << 3);
        return;
    }
    const Item* it = ItemOf(id);
    if (it) TakeBinFields(b, NeedOf(id), it->fields, it->count);
}

int CSMUpsEdxRt6::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    const int delay = wait > 100 ? wait : 100;
    ClearRecord();
    uint8_t reply[kReplyMax];
    for (int i = 0; i < kIds; i++) {
        const int id = kItems[i].id;
        const int len = EdxCmd(id);
        // The block is gathered to the length it announces and must come alone: a byte after
        // it is counted against it, one missing leaves it short.
        const int n = qx::FrameExchange(ch, m_cmd, len, reply, sizeof reply, delay, BlockLength,
                                        qx::FrameEnd::Alone);
        const uint8_t* block = EdxChk(reply, n, id);
        if (!block) return 0;
        EdxTake(id, block);
    }
    // Every complete poll carries the identity: the clearing above emptied it.
    snprintf(m_rec.company, sizeof m_rec.company, "EATON");
    snprintf(m_rec.mode, sizeof m_rec.mode, "EDXRT");
    snprintf(m_rec.version, sizeof m_rec.version, "1000XL");
    m_bIdentRead = 1;
    return 1;
}

void CSMUpsEdxRt6::BriefText(char* out, size_t size) {
    // The load is kept in tenths of a percent (its divisor 10); the summary shows whole ones.
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%d%%", m_rec.Vin1 * 0.1,
             m_rec.Vout * 0.1, m_rec.Pout / 10);
}
