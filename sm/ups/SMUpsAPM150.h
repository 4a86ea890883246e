#pragma once
#include <stddef.h>
#include <stdint.h>

#include "ups/SMUpsTbUps.h"

// APM150 UPS over YD/T 1363 (type 0x30D), kept in tbUps: three-phase input and output, the
// output voltages of phases A, B, C in Vout, v2, v3 and the output currents in Aout, Aed, v4.
//
// One poll is four requests, VER 10, CID1 2A:
//   41  phase values (INFO 00 for a point of Variant 0, or without a point; else none)
//   E1  input frequency (INFO 00)
//   E7  battery: remaining time and temperature (INFO 01 00)
//   44  alarm bytes (F0 an alarm, anything else none)
// The replies of a Variant-0 unit put the later values at other columns. Floats are taken
// times 10 (the remaining time times 100) in double precision and truncated.
//
// Every exchange goes through the shared YD/T exchange: a reply is taken only when it checks
// (SOI, LCHKSUM, CHKSUM), its RTN is 0 and its INFO holds every column read. A failing
// request ends the poll with 0: the first leaves the previous record, a later one what this
// poll took so far. An Addr that is no YD/T ADR (0..255) sends nothing. No commands.
class CSMUpsAPM150 : public CSMUpsTbUps {
public:
    CSMUpsAPM150();
    ~CSMUpsAPM150() override;

    int DataGet(ISerBase* channel, int address, int wait) override;

    // The default wait before a reply is read, when DataGet's wait is not above 0.
    static constexpr int kDefaultWait = 100;

    // A value of a reply: its field, its column (counted from SOI) in a Variant-0 unit's
    // reply and in any other's, and for a float its factor.
    struct FloatCol {
        int32_t TbUpsRecord::*field;
        uint8_t at0, at;
        uint8_t k;
    };
    struct ByteCol {
        uint8_t TbUpsRecord::*flag;
        uint8_t at0, at;
    };

protected:
    CSMUpsAPM150(int type, const char* note, const TbUpsShape& shape);
    void BriefText(char* out, size_t size) override;

    // How the four-request sequence is run.
    struct Sequence {
        bool variant0;  // read at the columns of a Variant-0 unit's replies
        bool firstInfo; // request 41 carries INFO 00
        bool bypass;    // CID2 E1 also gives the bypass voltage and frequency and two ratings
        bool report;    // the iTrust's lines on the alarm reply and at the end
    };
    int PollSequence(ISerBase* channel, int address, int wait, const Sequence& s);

    // The first character after the last column a table reads, for values of `width`.
    template <class T, size_t N>
    static int Need(const T (&cols)[N], bool variant0, int width) {
        int need = 0;
        for (const T& c : cols) {
            const int end = (variant0 ? c.at0 : c.at) + width;
            if (end > need) need = end;
        }
        return need;
    }
    // Every float of a table from the reply.
    template <size_t N>
    void TakeFloats(const FloatCol (&cols)[N], bool variant0) {
        for (const FloatCol& c : cols) m_rec.*c.field = Float(variant0 ? c.at0 : c.at, c.k);
    }

    // One exchange; the reply lands in m_reply and must cover `need` characters.
    bool Ask(ISerBase* channel, int ver, int address, int cid1, int cid2, const uint8_t* info,
             int infoLen, int delayMs, int need);
    // The float at a column of the reply times k, truncated toward zero.
    int32_t Float(int at, double k) const;
    // The last request, CID2 44 (no INFO): b7 .. b0 from its alarm bytes (F0 an alarm, at
    // the columns of a Variant-0 unit or of any other) and status packed. 1 when taken.
    int PollAlarms(ISerBase* channel, int ver, int address, int wait, bool variant0,
                   bool report);
    // status = b7 * 128 + ... + b0 of the stored flags.
    void PackStatus();

    uint8_t m_reply[512];
};

// Definition rows of the family: a value in tenths with its limits (q: the quantity named in
// the limit texts), and an alarm flag with its legend.
#define TBUPS_LOW(q) "最小值|允许最低" q ",低于此值告警"
#define TBUPS_HIGH(q) "最大值|允许最高" q ",超过此值告警"
#define TBUPS_TENTHS(fld, name, cap, kind, lo, hi, q) \
    {fld, name, 1, cap, 10, kind, lo, TBUPS_LOW(q), hi, TBUPS_HIGH(q), 0}
#define TBUPS_FLAG(fld, name, cap, kind, legend, high) \
    {fld, name, 1, cap, 1, kind, 0, legend, 0, high, 0}
