#include "ups/SMUpsHipulseUSeries.h"

#include <stdio.h>
#include <string.h>

#include "ReplyCheck.h"
#include "TeFrame.h"
#include "ups/SMUpsEmerson.h"

namespace {

const int kVer = 0x11, kCid1 = 0x2A;

// A float of a reply: 8 characters from `offset` (counted from SOI; INFO starts at 13), its
// bytes least significant first, stored times 10 into up to three fields.
struct Float {
    int16_t offset;
    uint8_t fld[3];
};

// CID2 41:  ~ 11 01 2A 00 LENGTH | DATAFLAG | Vin1..3 Vout1..3 Iout1..3 Vbatt Fout | CHKSUM CR
//           0 1  3  5  7  9        13         15                                 95
const Float k41[] = {
    {15, {kExVin1}},  {23, {kExVin2}},  {31, {kExVin3}},  {39, {kExVout1}},
    {47, {kExVout2}}, {55, {kExVout3}}, {63, {kExIout1}}, {71, {kExIout2}},
    {79, {kExIout3}}, {87, {kExVbatt}}, {95, {kExFout1, kExFout2, kExFout3}},
};
// CID2 E1: input currents from 41, input frequency at 65, bypass voltages from 81, bypass
// frequency at 105.
const Float kE1[] = {
    {41, {kExIin1}}, {49, {kExIin2}}, {57, {kExIin3}}, {65, {kExFin1, kExFin2, kExFin3}},
    {81, {kExVB1}},  {89, {kExVB2}},  {97, {kExVB3}},  {105, {kExFB1, kExFB2, kExFB3}},
};
// CID2 E3: remaining battery time at 113.
const Float kE3[] = {{113, {kExMbatt}}};

struct Request {
    uint8_t cid2;
    const Float* floats;
    int count;
};
const Request kFloatRequests[] = {
    {0x41, k41, (int)(sizeof k41 / sizeof k41[0])},
    {0xE1, kE1, (int)(sizeof kE1 / sizeof kE1[0])},
    {0xE3, kE3, (int)(sizeof kE3 / sizeof kE3[0])},
};

// CID2 43: the state code of b15 at 13 (after it two characters unused), then b14 .. b0 from
// 17, two characters each (E0H, E1H, ... as the unit sends them).
//   ~ 11 01 2A 00 LENGTH | b15 .. | b14 b13 .. b0 | CHKSUM CR
//                          13      17          45
const int kStateCid2 = 0x43, kB15At = 13, kB14At = 17;

// The first character after the last float of a request: the reply must reach it.
int Need(const Request& r) {
    int need = 0;
    for (int i = 0; i < r.count; i++)
        if (r.floats[i].offset + 8 > need) need = r.floats[i].offset + 8;
    return need;
}

}  // namespace

CSMUpsHipulseUSeries::CSMUpsHipulseUSeries() : CSMUpsBase(0x31A) {
    snprintf(m_note, sizeof(m_note), "%s", "QXUPS-Hipulse-U Series");
    memset(m_reply, 0, sizeof m_reply);
}

CSMUpsHipulseUSeries::~CSMUpsHipulseUSeries() {}

int CSMUpsHipulseUSeries::ChkDef(IDbBase* db, int force) {
    return DefRows(db, force, {{kUpsExDefRows, 18}, {kEmersonRows, 25}});
}

int CSMUpsHipulseUSeries::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // ADR is one byte: another number would read another unit into this point.
    if (address < 0 || address > 0xFF) return 0;
    const int delay = ReplyWait(wait);

    // A refused first reply keeps the last poll's record; a later one keeps what this poll
    // decoded before it, the rest 0.
    for (const Request& q : kFloatRequests) {
        qx::YdReply r = qx::YdRequest(ch, kVer, address, kCid1, q.cid2, nullptr, 0, m_reply,
                                      sizeof m_reply, delay, Need(q));
        if (!r.ok()) return 0;
        if (q.cid2 == 0x41) ClearRecord();
        for (int i = 0; i < q.count; i++) {
            const Float& f = q.floats[i];
            // Single precision, as the unit's figures; NaN and infinities are no number.
            const int32_t v = ToInt(TE_Ascii2float(m_reply + f.offset, 8) * 10.0f);
            for (uint8_t fld : f.fld)
                if (fld) *Field(fld) = v;
        }
    }

    qx::YdReply r = qx::YdRequest(ch, kVer, address, kCid1, kStateCid2, nullptr, 0, m_reply,
                                  sizeof m_reply, delay, kB14At + 15 * 2);
    if (!r.ok()) return 0;
    m_rec.b15 = TE_Ascii2uint8(m_reply + kB15At, 2);
    for (int k = 1; k < 16; k++) *Field(kExB15 + k) = TE_Ascii2uint8(m_reply + kB14At + 2 * (k - 1), 2);
    PackStatus();
    return 1;
}
