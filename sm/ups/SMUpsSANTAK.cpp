#include "ups/SMUpsSANTAK.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


// Requests by the point's Variant and the tokens of their replies. A reply is "(" then
// blank-separated tokens, CR last; every token the variant reads must be ended by a blank,
// except the status characters that close a "Q3GS" reply.
//
//   0 "Q2\r\n"   (220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 01.2 100 \r
//                 Vin1  Vin2  Vin3  v1    Vout  v2    v3    Aout Aed v4 Fout Vbatt Tem b7..b0 Mbatt Pbatt
//   1 "Q6\r\n"   Vin1 Vin2 Vin3 Fin Vout v2 v3 Fout Aout Aed v4 Vbatt . Mbatt Pbatt, then
//     "WA\r\n"   (... 00001000\r   the eight characters before the CR are b7..b0
//   2 "Q3GS\r"   Vin1 Vin2 Vin3 Fin Vout v2 v3 Fout Aout Aed v4 . . . Vbatt . b7..b0
//   3 "QA\r"     Vin1 Vin2 Vin3 v1 Vout v2 v3 Aout Aed v4 Fout Vbatt . . b7..b0 Mbatt Pbatt
//   other        tokens 1..10 as variant 0, then Vbatt
//
// A number is the token's value times the factor, truncated toward zero.

namespace {

const TbUpsShape kShape = {
    "山特UPS...",
    kTbUpsDefRows, 16,
    kTbUpsColumnsWide, (int)sizeof kTbUpsColumnsWide,
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, true,
};

enum TokenKind : uint8_t { kEnd, kNum, kSkip, kStatus };
struct Token {
    TokenKind kind;
    uint8_t fld;
    uint8_t factor;  // 1, 10 or 100
};

#define N(f, x) {kNum, f, x}
#define SKIP {kSkip, 0, 0}
#define STATUS {kStatus, 0, 0}
#define END {kEnd, 0, 0}

const Token kVariant0[] = {
    N(kUpsVin1, 10), N(kUpsVin2, 10), N(kUpsVin3, 10), N(kUpsV1, 10), N(kUpsVout, 10),
    N(kUpsV2, 10), N(kUpsV3, 10), N(kUpsAout, 1), N(kUpsAed, 1), N(kUpsV4, 1),
    N(kUpsFout, 10), N(kUpsVbatt, 10), N(kUpsTem, 10), STATUS, N(kUpsMbatt, 100),
    N(kUpsPbatt, 1), END,
};
const Token kVariant1[] = {
    N(kUpsVin1, 10), N(kUpsVin2, 10), N(kUpsVin3, 10), N(kUpsFin, 10), N(kUpsVout, 10),
    N(kUpsV2, 10), N(kUpsV3, 10), N(kUpsFout, 1), N(kUpsAout, 1), N(kUpsAed, 1),
    N(kUpsV4, 1), N(kUpsVbatt, 10), SKIP, N(kUpsMbatt, 1), N(kUpsPbatt, 1), END,
};
const Token kVariant2[] = {
    N(kUpsVin1, 10), N(kUpsVin2, 10), N(kUpsVin3, 10), N(kUpsFin, 10), N(kUpsVout, 10),
    N(kUpsV2, 10), N(kUpsV3, 10), N(kUpsFout, 1), N(kUpsAout, 1), N(kUpsAed, 1),
    N(kUpsV4, 1), SKIP, SKIP, SKIP, N(kUpsVbatt, 10), SKIP, STATUS, END,
};
const Token kVariant3[] = {
    N(kUpsVin1, 10), N(kUpsVin2, 10), N(kUpsVin3, 10), N(kUpsV1, 10), N(kUpsVout, 10),
    N(kUpsV2, 10), N(kUpsV3, 10), N(kUpsAout, 1), N(kUpsAed, 1), N(kUpsV4, 1),
    N(kUpsFout, 10), N(kUpsVbatt, 10), SKIP, SKIP, STATUS, N(kUpsMbatt, 100),
    N(kUpsPbatt, 1), END,
};
const Token kVariantOther[] = {
    N(kUpsVin1, 10), N(kUpsVin2, 10), N(kUpsVin3, 10), N(kUpsV1, 10), N(kUpsVout, 10),
    N(kUpsV2, 10), N(kUpsV3, 10), N(kUpsAout, 1), N(kUpsAed, 1), N(kUpsV4, 1),
    N(kUpsVbatt, 10), END,
};

#undef N
#undef SKIP
#undef STATUS
#undef END

struct Form {
    const char* request;
    const Token* tokens;
    bool lastUnended;  // the status characters close the reply: no blank after them
};

Form FormOf(int variant) {
    switch (variant) {
    case 0: return {"Q2\r\n", kVariant0, false};
    case 1: return {"Q6\r\n", kVariant1, false};
    case 2: return {"Q3GS\r", kVariant2, true};
    case 3: return {"QA\r", kVariant3, false};
    default: return {"Q2\r\n", kVariantOther, false};
    }
}

const int kReplyMax = 150;

// The request and its reply, gathered until the final CR.
int Ask(ISerBase* ch, const char* request, int waitMs, uint8_t* reply) {
    return CSMUpsTbUps::Exchange(ch, request, (int)strlen(request), waitMs, reply, kReplyMax,
                                 "\r");
}

}  // namespace

CSMUpsSANTAK::CSMUpsSANTAK() : CSMUpsTbUps(0x304, "RE-RIRA", kShape) {}

CSMUpsSANTAK::~CSMUpsSANTAK() {}

int CSMUpsSANTAK::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    // Without a current point the first form is asked.
    const int variant = m_pItem ? m_pItem->Variant : 0;
    const Form form = FormOf(variant);

    uint8_t reply[kReplyMax + 1];
    int n = Ask(ch, form.request, 300, reply);
    if (!Framed(reply, n, '(')) return 0;
    reply[n - 1] = '\0';  // the CR
    char* text = (char*)reply + 1;

    // Decoded into a record of its own: a reply that fails half way changes nothing.
    int32_t num[kUpsLastField + 1] = {0};
    const char* status = nullptr;
    char* pos = text;
    for (const Token* t = form.tokens; t->kind != kEnd; t++) {
        char* blank = strchr(pos, ' ');
        const bool last = t[1].kind == kEnd;
        if (!blank && !(last && form.lastUnended)) return 0;
        if (blank) *blank = '\0';
        if (t->kind == kStatus) {
            if (strlen(pos) < 8) return 0;  // all eight flags, or none
            status = pos;
        } else if (t->kind == kNum) {
            double v = atof(pos) * t->factor;
            if (!isfinite(v) || v >= 2147483648.0 || v <= -2147483649.0) return 0;
            num[t->fld] = (int32_t)v;
        }
        pos = blank ? blank + 1 : pos + strlen(pos);
    }

    ClearRecord();
    TbUpsRecord& r = m_rec;
    int32_t* const slots[] = {
        nullptr, &r.Vin1, &r.Vin2, &r.Vin3, &r.Fin, &r.Vout, &r.Aout, &r.Fout, &r.Pout, &r.Tem,
    };
    for (int f = kUpsVin1; f <= kUpsTem; f++) *slots[f] = num[f];
    r.Vbatt = num[kUpsVbatt];
    r.Pbatt = num[kUpsPbatt];
    r.Mbatt = num[kUpsMbatt];
    r.Aed = num[kUpsAed];
    r.v1 = num[kUpsV1];
    r.v2 = num[kUpsV2];
    r.v3 = num[kUpsV3];
    r.v4 = num[kUpsV4];
    if (status) SetStatusBits(status);

    if (variant == 1) {
        // The flags come with "WA": the eight characters before the CR, after the "(".
        n = Ask(ch, "WA\r\n", 150, reply);
        if (n < 10 || !Framed(reply, n, '(')) return 0;
        SetStatusBits((const char*)reply + n - 9);
    }
    // Rated values and texts are not read from this UPS (ClearRecord emptied them).
    return 1;
}

void CSMUpsSANTAK::VinBrief(const TbUpsRecord& r, char* out, size_t size) {
    snprintf(out, size, "输入电压1:%.1fV,输入电压2:%.1fV,输入电压3:%.1fV", r.Vin1 * 0.1,
             r.Vin2 * 0.1, r.Vin3 * 0.1);
}

void CSMUpsSANTAK::BriefText(char* out, size_t size) { VinBrief(m_rec, out, size); }

int CSMUpsSANTAK::DoFunc(ISerBase* ch, int address, int command, void* buffer, int length) {
    return BeeperToggle(ch, command);  // the only command of this UPS
}
