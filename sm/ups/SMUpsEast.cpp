#include "SMUpsEast.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "QxPlatform.h"

// East dialect of the Q1 family, numbers scanned in tenths and stored as they are.
//
//   "Q1\r"   (230.0 000.0 229.5 012 50.0 27.5 30.0 00000000<cr>
//             Vin   -     Vout  load Hz  Vbat Tem  b7..b0
//   "G1\r"   !x Pbatt Mbatt v4 x x x Fout<cr>                  (8 numbers)
//   "G3\r"   !x Vin2 Vin3 v1 v2 v3 x x x x x Pout<cr>          (12 numbers)
//   "F\r"    #220.0 004 024.0 50.0<cr>                         rated V, A, battery V, Hz
//   "I\r"    #<maker 15> <model 10> <version 10><cr>
//
// Battery capacity and remaining time come from the "G1" answer only; a device that never
// answers it keeps the values the record had.

namespace {

const TbUpsShape kShape = {
    "易事特 EA86系列及兼容...",
    kTbUpsDefRows, 16,
    kTbUpsColumns, (int)(sizeof kTbUpsColumns),
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    5, true, false,
};

const int kStatusMax = 50;
const int kExtraMax = 128;

}  // namespace

CSMUpsEast::CSMUpsEast() : CSMUpsTbUps(0x306, "QXUPS-EAST", kShape) {}

CSMUpsEast::~CSMUpsEast() {}

int CSMUpsEast::GetVals(int* out, const char* text, int& pos, int len, int max) {
    return ScanNumbers(out, text, pos, len, max, " /+\r", 10.0);
}

int CSMUpsEast::Exchange(ISerBase* ch, const char* request, int wait, uint8_t* reply, int max) {
    if (wait > 0) qx::SleepMs(wait);
    if (ch->Write((const unsigned char*)request) != (int)strlen(request)) return 0;
    qx::SleepMs(wait <= 100 ? 100 : wait);
    int n = ch->Read(reply, max, 0);
    if (n < 0) n = 0;
    if (n > max) n = max;
    reply[n] = '\0';
    return n;
}

int CSMUpsEast::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;

    if (ch->Write((const unsigned char*)"Q1\r") != 3) return 0;
    qx::SleepMs(100);
    uint8_t reply[kExtraMax + 1];
    int n = ch->Read(reply, kStatusMax, 0);
    if (n > kStatusMax) n = kStatusMax;
    if (n < 1 || !Framed(reply, n, '(')) return 0;
    reply[n] = '\0';
    const char* text = (const char*)reply;

    int N[12] = {0};
    int pos = 1;
    if (GetVals(N, text, pos, n, 7) < 7) return 0;
    if (n - 1 - pos < 8) return 0;  // eight status characters before the final CR

    TbUpsRecord& r = m_rec;
    r.Pout = r.Fout = r.v1 = r.v2 = r.v3 = r.v4 = 0;
    r.Vin1 = N[0];
    r.Vout = N[2];
    r.Aout = N[3];
    r.Fin = N[4];
    r.Fout = N[4];
    r.Vbatt = N[5];
    r.Tem = N[6];
    SetStatusBits(text + pos);
    r.Vin2 = r.Vin3 = 0;
    if (!m_bRatingRead) r.Ved = r.Aed = r.VAed = r.Vdc = r.Fed = 0;
    if (!m_bIdentRead) r.company[0] = r.mode[0] = r.version[0] = '\0';

    // Battery capacity, remaining time, output frequency.
    n = Exchange(ch, "G1\r", wait, reply, kExtraMax);
    pos = 1;
    if (Framed(reply, n, '!') && GetVals(N, (const char*)reply, pos, n, 8) == 8) {
        r.Pbatt = N[1];
        r.Mbatt = N[2];
        r.v4 = N[3];
        r.Fout = N[7];
    }

    // Input voltages of phases 2 and 3, output figures, load.
    n = Exchange(ch, "G3\r", wait, reply, kExtraMax);
    pos = 1;
    if (Framed(reply, n, '!') && GetVals(N, (const char*)reply, pos, n, 12) == 12) {
        r.Vin2 = N[1];
        r.Vin3 = N[2];
        r.v1 = N[3];
        r.v2 = N[4];
        r.v3 = N[5];
        r.Pout = N[11];
    }

    if (!m_bRatingRead) {
        n = Exchange(ch, "F\r", wait, reply, kStatusMax);
        pos = 1;
        if (Framed(reply, n, '#') && GetVals(N, (const char*)reply, pos, n, 4) == 4) {
            m_bRatingRead = 1;
            r.Ved = N[0];
            r.Aed = N[1];
            r.VAed = Trunc((double)((int64_t)N[1] * N[0] / 1000));
            r.Vdc = N[2];
            r.Fed = N[3];
        }
    }

    if (!m_bIdentRead) {
        n = Exchange(ch, "I\r", wait, reply, kStatusMax);
        TakeIdent(reply, n);
    }
    return 1;
}

void CSMUpsEast::BriefText(char* out, size_t size) {
    // The summary is the alarm text alone.
    if (size) out[0] = '\0';
}

int CSMUpsEast::DoFunc(ISerBase* ch, int address, int command, void* buffer, int length) {
    return BeeperToggle(ch, command);  // the only command of this UPS
}
