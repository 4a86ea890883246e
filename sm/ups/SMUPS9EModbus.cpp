#include "ups/SMUPS9EModbus.h"

#include <stdio.h>
#include <string.h>

#include "BufHelper.h"
#include "QxPlatform.h"
#include "ReplyCheck.h"
#include "ups/SMUpsBase.h"
#include "ups/UpsFrame8188.h"

using qx::sql::DefRow;

namespace {

// ---------------------------------------------------------------- block protocol
//
//   -> 16                                   synchronisation; its answer is not examined
//   <- ..
//   -> 81 88 A1 01 31 03 00 00 40 00 D2     identifier 0x31, 64 bytes asked for
//   <- 06 04 0F d0 .. d14                   first block: flag at 1, data bytes in the low
//   -> 06                                   nibble at 2, data from 3
//   <- 84 05 d15 .. d19                     later blocks: flag at 0, nibble at 1, data from 2;
//   -> 06                                   bit 7 of the flag ends the answer
//
// The data of the blocks, joined, hold little-endian words and one-byte flags. Each answer is
// read to the length it announces (a block) or to its first byte (the sync's answer), then
// the line is looked at for a few character times and what comes after is dropped unjudged
// (a block's check byte, which nothing examines): no read waits for the line to fall silent.
const uint8_t kSync = 0x16, kAck = 0x06;
const uint16_t kAskLength = 0x40;
const int kFirstHead = 3;  // 06, flag, length
const int kLaterHead = 2;  // flag, length
const int kBlockMax = kFirstHead + 15;
const int kArea = 256;  // the joined data of one transaction
// A transaction asks for 64 bytes: five blocks of fifteen. A device that never sets bit 7 is
// given up after this many blocks.
const int kMaxBlocks = 16;
const int kBlockWaitMs = 200;

// One transaction per identifier, in this order; the first one's answer renews the record.
// Words are little-endian; Vbatt, Fout and Fin come in whole units and are kept in tenths;
// the flags are 1 when their byte is not 0 (scale 0).
struct Transaction {
    uint8_t id;
    uint8_t count;
    TbUpsBinField fields[6];
};
const Transaction kTransactions[] = {
    {0x31, 3, {{kUpsVin1, 3, 2, 1}, {kUpsVin2, 9, 2, 1}, {kUpsVin3, 15, 2, 1}}},
    {0x78, 6, {{kUpsVout, 5, 2, 1}, {kUpsV2, 13, 2, 1}, {kUpsV3, 21, 2, 1},
               {kUpsAout, 1, 2, 1}, {kUpsAed, 9, 2, 1}, {kUpsV4, 17, 2, 1}}},
    {0x0D, 1, {{kUpsVbatt, 1, 2, 10}}},
    {0x42, 1, {{kUpsFout, 11, 2, 10}}},
    {0x30, 1, {{kUpsFin, 11, 2, 10}}},
    {0x01, 1, {{kUpsB7, 1, 1, 0}}},
    {0x2D, 1, {{kUpsB3, 1, 1, 0}}},
    {0x27, 2, {{kUpsB2, 6, 1, 0}, {kUpsB0, 5, 1, 0}}},
    {0x02, 1, {{kUpsB1, 1, 1, 0}}},
};

// Lengths of the answers (qx::FrameLength): the sync's is its first byte; a block is its
// header and the data count in the low nibble of the header's last byte.
int SyncAnswerLength(const uint8_t*, int) {
    return 1;
}
int BlockLength(const uint8_t* d, int have, int head) {
    return have < head ? head : head + (d[head - 1] & 0x0F);
}
int FirstBlockLength(const uint8_t* d, int have) {
    return BlockLength(d, have, kFirstHead);
}
int LaterBlockLength(const uint8_t* d, int have) {
    return BlockLength(d, have, kLaterHead);
}

// ---------------------------------------------------------------- Modbus
//
// 01 04 01 01 00 52: input registers 257..338, every value the register's word unchanged.
const int kRegStart = 257, kRegCount = 82;
const TbUpsReg kRegs[] = {
    {278, kUpsVin1}, {279, kUpsVin2}, {280, kUpsVin3}, {266, kUpsAout}, {267, kUpsAed},
    {268, kUpsV4},   {293, kUpsVout}, {294, kUpsV2},   {295, kUpsV3},   {302, kUpsVbatt},
    {319, kUpsFin},  {321, kUpsFout}, {330, kUpsMbatt}, {332, kUpsPbatt},
};
// 01 02 <start> 00 08: eight inputs each; an input's flag is its bit of the data byte.
const int kInputCount = 8;
struct InputRead {
    uint16_t start;
    uint8_t count;
    struct {
        uint8_t bit, fld;
    } flags[5];
};
const InputRead kInputReads[] = {
    {1128, 5, {{0, kUpsB7}, {2, kUpsB6}, {3, kUpsB5}, {4, kUpsB4}, {5, kUpsB3}}},
    {1169, 1, {{0, kUpsB2}}},
    {1218, 1, {{0, kUpsB1}}},
    {1169, 1, {{0, kUpsB0}}},  // read again: this UPS reports b0 with the input of b2
};

// ---------------------------------------------------------------- registration
//
// Every flag whose 1 is abnormal is a fault (alarm kind 1): the bypass, charger, rectifier and
// inverter flags; the MBS or bypass running is a state.

#define ANALOG UPSEX_ANALOG
#define FLAG(fld, name, caption, alarm, legend, high) \
    {fld, name, 1, caption, 1, alarm, 0, legend, 0, high, 0}

const DefRow kRows[] = {
    ANALOG(1, "Vin1", "输入电压A", 2000, 2350, "输入电压"),
    ANALOG(2, "Vin2", "输入电压B", 2000, 2350, "输入电压"),
    ANALOG(3, "Vin3", "输入电压C", 2000, 2350, "输入电压"),
    ANALOG(4, "Fin", "输入频率", 490, 510, "输入频率"),
    ANALOG(5, "Vout", "输出电压A", 0, 2350, "输出电压"),
    ANALOG(28, "v2", "输出电压B", 0, 2350, "输出电压"),
    ANALOG(29, "v3", "输出电压C", 0, 2350, "输出电压"),
    ANALOG(6, "Aout", "输出电流A", 0, 1500, "输出电流"),
    ANALOG(23, "Aed", "输出电流B", 0, 1500, "输出电流"),
    ANALOG(30, "v4", "输出电流C", 0, 1500, "输出电流"),
    ANALOG(7, "Fout", "输出频率", 490, 2350, "输出频率"),
    FLAG(11, "b7", "b7旁路有电压", 1, "1表示异常", ""),
    FLAG(12, "b6", "b6旁路频率异常", 1, "1表示异常", ""),
    FLAG(13, "b5", "b5旁路电压异常", 1, "1表示异常", ""),
    FLAG(14, "b4", "b4旁路相序异常", 1, "1表示异常", ""),
    FLAG(15, "b3", "b3MBS或旁路运行", 0, "1表示后旁路", ""),
    FLAG(16, "b2", "b2充电器故障", 1, "1表示故障", "0"),
    FLAG(17, "b1", "b1整流故障", 1, "1表示故障", ""),
    FLAG(18, "b0", "b0逆变异常", 1, "1表示异常", "0"),
    ANALOG(19, "Vbatt", "电池电压", 2000, 2350, "电池电压"),
    {20, "Pbatt", 1, "电池容量", 10, 10, 300, UPSEX_LOW("容量"), 0, "", 0},
};

#undef ANALOG
#undef FLAG

const TbUpsShape kShape = {
    "UPS 9E...",
    kRows, (int)(sizeof kRows / sizeof kRows[0]),
    kTbUpsColumnsWide, (int)sizeof kTbUpsColumnsWide,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
    0, nullptr, false,
    false,  // DataVal stops at field 33
};

}  // namespace

CSMUPS9EModbus::CSMUPS9EModbus() : CSMUpsTbUps(0x312, "QX-9E", kShape) {
    m_iDataCnt = 33;
}

int CSMUPS9EModbus::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    if (m_pItem && m_pItem->Variant == 1) return DataGet_SHUT(ch, address, wait);
    return DataGet_ModBus(ch, address, wait);
}

// ---------------------------------------------------------------- block protocol

int CSMUPS9EModbus::CmdPack(ISerBase* ch, uint8_t b0, uint8_t b2, uint8_t b3, uint8_t id,
                            uint8_t b5, uint16_t param, uint16_t length, uint8_t* out,
                            int outSize) {
    if (!ch || !out || outSize <= 0) return 0;
    const int frameLen = qx::Frame8188(m_cmd, sizeof m_cmd, b0, b2, b3, id, b5, param, length);
    uint8_t block[kBlockMax];

    // Nothing of an earlier transaction may be taken for this one's answer.
    ch->Purge();
    if (ch->Write(&kSync, 1) < 1) return 0;
    qx::SleepMs(kBlockWaitMs);
    if (qx::FrameRead(ch, block, kBlockMax, SyncAnswerLength, qx::FrameEnd::Drop) < 1) return 0;

    if (ch->Write(m_cmd, frameLen) != frameLen) return 0;
    qx::SleepMs(kBlockWaitMs);
    int n = qx::FrameRead(ch, block, kBlockMax, FirstBlockLength, qx::FrameEnd::Drop);
    int head = kFirstHead;
    int joined = 0;
    for (int blocks = 1;; blocks++) {
        // A block must bring all the data its header counts: the data of the blocks after a
        // short one would be joined at the wrong offsets.
        if (n < head) return 0;
        const uint8_t flag = block[head - 2];
        const int count = block[head - 1] & 0x0F;
        if (n < head + count) return 0;
        if (count > outSize - joined) return 0;
        memcpy(out + joined, block + head, (size_t)count);
        joined += count;
        if (flag & 0x80) break;
        if (blocks >= kMaxBlocks) return 0;
        if (ch->Write(&kAck, 1) < 1) return 0;
        qx::SleepMs(kBlockWaitMs);
        n = qx::FrameRead(ch, block, kBlockMax, LaterBlockLength, qx::FrameEnd::Drop);
        head = kLaterHead;
    }
    ch->Write(&kAck, 1);  // acknowledges the last block; the answer is complete either way
    return joined;
}

int CSMUPS9EModbus::DataGet_SHUT(ISerBase* ch, int address, int wait) {
    if (!ch) return 0;
    uint8_t area[kArea];
    for (const Transaction& t : kTransactions) {
        const int got = CmdPack(ch, 0x81, 0xA1, 0x01, t.id, 0x03, 0, kAskLength, area, kArea);
        // Data that do not reach every offset decoded fail the transaction: nothing is taken
        // from bytes that did not come in this answer.
        if (got < 1 || got < BinFieldsEnd(t.fields, t.count)) return 0;
        if (&t == kTransactions) ClearRecord();
        TakeBinFields(area, got, t.fields, t.count);
    }
    return 1;
}

// ---------------------------------------------------------------- Modbus

int CSMUPS9EModbus::DataGet_ModBus(ISerBase* ch, int address, int wait) {
    if (!ch || !qx::AddrFits(address)) return 0;
    const int delay = wait > 100 ? wait : 100;
    uint8_t rx[256];
    ch->Purge();
    qx::MbReply r = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 4, kRegStart, kRegCount, rx,
                               sizeof rx, delay);
    if (!r.ok()) return 0;
    ClearRecord();
    TakeWords(r, kRegStart, kRegs, sizeof kRegs / sizeof kRegs[0]);
    for (const InputRead& in : kInputReads) {
        r = qx::MbRead(ch, qx::MbFraming::Rtu, 0, address, 2, in.start, kInputCount, rx,
                       sizeof rx, delay);
        if (!r.ok()) return 0;
        for (int k = 0; k < in.count; k++) SetField(in.flags[k].fld, r.Bit(in.flags[k].bit));
    }
    return 1;
}

std::vector<int> CSMUPS9EModbus::UnreadFields() const {
    if (m_pItem && m_pItem->Variant == 1) return {kUpsPbatt};
    return {};
}

void CSMUPS9EModbus::BriefText(char* out, size_t size) {
    // The load is shown as the first phase's output current, as every installed unit shows it.
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%1.1fA", m_rec.Vin1 * 0.1,
             m_rec.Vout * 0.1, m_rec.Aout * 0.1);
}
