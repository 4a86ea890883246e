#include "power/SMHgm6300.h"

#include <stdio.h>
#include <string.h>

#include "core/SMSkeleton.h"

using qx::skel::Column;
using qx::sql::DefRow;
using qx::sql::TypeRow;

namespace {

typedef CSMHgm6300 H;

const TypeRow kType = {3584, "发电机", "485接口..."};

const DefRow kDefs[] = {
    {1, "s00", 1, "公共报警", 1, 1, 0, "0正常", 0, "", 0},
    {2, "s01", 1, "公共停机报警", 1, 1, 0, "0正常", 0, "", 0},
    {3, "s02", 1, "公共警告报警", 1, 1, 0, "0正常", 0, "", 0},
    {4, "s03", 1, "公共电气跳闸报警", 1, 1, 0, "0正常", 0, "", 0},
};

// The coils kept: 0x00-0x3E, then 0x54-0x57 (0x3F-0x53 are read but not kept).
constexpr int kLowCoils = 63;
constexpr int kHighCoil = 0x54;

// The columns in block order: s<coil> and r<register>, two lower-case hex digits each.
struct Columns {
    char names[H::kFields][4];
    Column cols[H::kFields];
    Columns() {
        for (int i = 0; i < H::kFields; i++) {
            if (i < H::kCoils)
                snprintf(names[i], sizeof names[i], "s%02x",
                         i < kLowCoils ? i : kHighCoil + i - kLowCoils);
            else
                snprintf(names[i], sizeof names[i], "r%02x", i - H::kCoils);
            cols[i] = {names[i], (uint8_t)(i + 1), false};
        }
    }
};
const Columns& Cols() {
    static const Columns c;
    return c;
}

// Five reads, 100 ms each; for unit 1:
//   01 01 00 00 00 58 3D F0   (coils, 11 data bytes)   01 03 00 00 00 10 44 06
//   01 03 00 11 00 01 D4 0F   01 03 00 13 00 01 75 CF   01 03 00 15 00 0E D5 CA
// Registers 0x10, 0x12 and 0x14 are never asked for.
const qx::skel::Read kReads[] = {{1, 0, 88}, {3, 0, 16}, {3, 17, 1}, {3, 19, 1}, {3, 21, 14}};

}  // namespace

CSMHgm6300::CSMHgm6300() : CSMBase(0x107) {
    m_pData = &m_val;
    m_iDataCnt = kFields;
    snprintf(m_note, sizeof(m_note), "%s", "SMHGM6300");
}

void CSMHgm6300::RegDb(IDbBase* db, int force) {
    qx::sql::RegDb(*this, db, force, kType, kDefs, sizeof(kDefs) / sizeof(kDefs[0]));
}

int CSMHgm6300::ChkDb(tagSMItem* item) {
    return qx::skel::ChkDb(*this, "tbHgm", Cols().cols, kFields, item, true);
}

// Each read is kept as soon as it answers; after a failure the reads before it hold new
// values and the others the last poll's.
int CSMHgm6300::DataGet(ISerBase* ser, int addr, int) {
    if (!qx::skel::Ready(ser, false)) return 0;
    auto take = [this](size_t i, const qx::MbReply& r) {
        if (i == 0) {
            for (int k = 0; k < kCoils; k++)
                m_val.s[k] = (uint8_t)r.Bit(k < kLowCoils ? k : kHighCoil + k - kLowCoils);
            return;
        }
        const qx::skel::Read& rd = kReads[i];
        for (int k = 0; k < rd.count; k++) m_val.r[rd.reg + k] = r.Word(k);
    };
    return qx::skel::Reads(*this, ser, addr, kReads, 5, 100, take);
}

int CSMHgm6300::DataVal(int fld) {
    if (fld >= 1 && fld <= kCoils) return m_val.s[fld - 1];
    if (fld > kCoils && fld <= kFields) return m_val.r[fld - kCoils - 1];
    return -1;
}

int CSMHgm6300::DataUpd(int flags, int* alarmBits, int* snapId, int sid, IDbBase* hist) {
    qx::skel::Upd u;
    if (!qx::skel::Begin(*this, u, flags, alarmBits, snapId, sid, qx::skel::kSnapFromFlags))
        return 0;
    if (!u.answered) memset(&m_val, 0, sizeof(m_val));
    qx::sql::Cols cols = qx::skel::PollCols(*this, u, alarmBits, Cols().cols, kFields, 0);
    qx::skel::Brief b;
    b.Add("发电AB相电压%dV,发电BC相电压%dV,发电CA相电压%dV", m_val.r[6], m_val.r[7], m_val.r[8]);
    const std::string none = qx::sql::NoAnswerBrief("(故障)");
    return qx::skel::Store(*this, u, "tbHgm", cols, b.Text(), false, hist, none.c_str());
}

// Command 30 switches coil 0 on, 31 coil 1 (01 05 00 00 FF 00 8C 3A for unit 1); the
// controller's echo of the request is the answer. Other commands send nothing: 0.
int CSMHgm6300::DoFunc(ISerBase* ser, int addr, int cmd, void*, int) {
    if (cmd != 30 && cmd != 31) return 0;
    if (!qx::skel::Ready(ser, false) || !qx::AddrFits(addr)) return 0;
    int len = ModBusCmd(addr, 5, cmd - 30, 0xFF00);
    uint8_t rx[16];
    return qx::skel::MbSend(*this, ser, len, rx, sizeof(rx), 100).ok() ? 1 : 0;
}
