#include "SMUps.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "QxPlatform.h"

// Q1 family, as this handler speaks it.
//
//   status   "Q1\r\n" (variant 3: "Q1\r", 1: "Q6\r\n", 2: "QGS\r")
//            (230.0 000.0 229.5 012 50.0 2.25 30.0 00001001<cr>
//             Vin   Vfault Vout load Hz  Vbat  Tem  b7..b0
//   variant 2 (QGS): Vin Fin Vout Fout . Aout . . Vbatt . Tem, two characters, b7..b0
//   "Q2\r"   (x Vin2 Vin3<cr>
//   "F\r"    #220.0 004 024.0 50.0<cr>          rated V, A, battery V, Hz
//   "I\r"    #<maker 15> <model 10> <version 10><cr>
//
// Numbers are scanned in hundredths and stored in tenths (N / 10, truncating).

namespace {

const TbUpsShape kShape = {
    "UPS山特兼容KR APC...",
    kTbUpsDefRows, 16,
    kTbUpsColumns, (int)(sizeof kTbUpsColumns),
    kTbUpsKeys, (int)(sizeof kTbUpsKeys / sizeof kTbUpsKeys[0]),
    3, false, false,
};

const int kReplyMax = 256;

// Status characters after the scanned numbers, and what the request is by variant.
struct StatusForm {
    const char* request;
    int numbers;  // numbers scanned before the status characters
    int skip;     // characters passed over before b7..b0
};

StatusForm FormOf(const tagSMItem* item) {
    switch (item ? item->Variant : 0) {
    case 1: return {"Q6\r\n", 7, 0};
    case 2: return {"QGS\r", 11, 2};
    case 3: return {"Q1\r", 7, 0};
    default: return {"Q1\r\n", 7, 0};
    }
}

}  // namespace

CSMUps::CSMUps() : CSMUpsTbUps(0x300, "RE-RIRA", kShape) {}

CSMUps::~CSMUps() {}

int CSMUps::GetVals(int* out, const char* text, int& pos, int len, int max) {
    return ScanNumbers(out, text, pos, len, max, " /\r", 100.0);
}

int CSMUps::Exchange(ISerBase* ch, const char* request, int wait, uint8_t* reply) {
    if (wait > 0) qx::SleepMs(wait);
    const int written = ch->Write((const unsigned char*)request);
    qx::SleepMs(150);
    if (written != (int)strlen(request)) return 0;
    qx::SleepMs(wait > 0 ? wait : 150);
    int n = ch->Read(reply, kReplyMax, 0);
    if (n < 0) n = 0;
    if (n > kReplyMax) n = kReplyMax;
    reply[n] = '\0';
    return n;
}

int CSMUps::DataGet(ISerBase* ch, int address, int wait) {
    if (!ch || !ch->IsOpened()) return 0;
    ch->Purge();

    const StatusForm form = FormOf(m_pItem);
    if (ch->Write((const unsigned char*)form.request) < 1) return 0;
    qx::SleepMs(wait > 0 ? wait : 150);

    uint8_t reply[kReplyMax + 1];
    int n = ch->Read(reply, kReplyMax, 0);
    if (n > kReplyMax) n = kReplyMax;
    if (n < 1 || !Framed(reply, n, '(')) return 0;
    reply[n] = '\0';
    const char* text = (const char*)reply;

    // Every number the variant reads, then the status characters before the final CR: a
    // shorter reply is refused rather than stored with values it does not hold.
    int N[11] = {0};
    int pos = 1;
    if (GetVals(N, text, pos, n, form.numbers) < form.numbers) return 0;
    if (n - 1 - pos < form.skip + 8) return 0;

    ClearRecord(m_bRatingRead != 0, m_bIdentRead != 0);
    TbUpsRecord& r = m_rec;
    const float factor = BatteryFactor();
    if (form.numbers == 11) {
        r.Vin1 = N[0] / 10;
        r.Fin = N[1] / 10;
        r.Vout = N[2] / 10;
        r.Fout = N[3] / 10;
        r.Aout = N[5] / 10;
        r.Vbatt = Trunc(N[8] * factor);
        r.Tem = N[10] / 10;
    } else {
        r.Vin1 = N[0] / 10;
        r.v1 = N[1] / 10;
        r.Vout = N[2] / 10;
        r.Aout = N[3] / 10;
        r.Fin = N[4] / 10;
        r.Fout = N[4] / 10;
        r.Vbatt = Trunc(N[5] * factor);
        r.Tem = N[6] / 10;
    }
    SetStatusBits(text + pos + form.skip);

    // Input voltages of phases 2 and 3.
    n = Exchange(ch, "Q2\r", wait, reply);
    if (Framed(reply, n, '(')) {
        pos = 1;
        if (GetVals(N, (const char*)reply, pos, n, 3) == 3) {
            r.Vin2 = N[1] / 10;
            r.Vin3 = N[2] / 10;
        }
    }

    // Rating, until one point has answered it.
    if (!m_bRatingRead) {
        n = Exchange(ch, "F\r", wait, reply);
        pos = 1;
        if (Framed(reply, n, '#') && GetVals(N, (const char*)reply, pos, n, 4) == 4) {
            m_bRatingRead = 1;
            r.Ved = N[0] / 10;
            r.Aed = N[1] / 10;
            r.VAed = Trunc((double)((int64_t)N[1] * (N[0] / 10) / 10000));
            r.Vdc = N[2] / 10;
            r.Fed = N[3] / 10;
        }
    }

    // Identification, until one point has answered it.
    if (!m_bIdentRead) {
        n = Exchange(ch, "I\r", wait, reply);
        TakeIdent(reply, n);
    }
    return 1;
}

void CSMUps::BriefText(char* out, size_t size) {
    snprintf(out, size, "输入电压:%1.1fV, 输出电压:%1.1fV, 输出负载:%d%%", m_rec.Vin1 * 0.1,
             m_rec.Vout * 0.1, m_rec.Aout / 10);
}

int CSMUps::DoFunc(ISerBase* ch, int address, int command, void* buffer, int length) {
    if (!ch || !ch->IsOpened()) return 0;
    char text[16];
    switch (command) {
    case 1: snprintf(text, sizeof text, "Q\r"); break;        // beeper on/off
    case 8000: snprintf(text, sizeof text, "T\r"); break;     // short battery test
    case 8001: {                                              // test for N minutes
        if (!buffer) return 0;
        int minutes = *(const int*)buffer;
        if (minutes < 0) return 0;
        snprintf(text, sizeof text, "T%02d\r", minutes > 99 ? 99 : minutes);
        break;
    }
    case 8002: snprintf(text, sizeof text, "TL\r"); break;    // test until battery low
    case 8003: snprintf(text, sizeof text, "CT\r"); break;    // cancel the test
    default: return 0;
    }
    return ch->Write((const unsigned char*)text) == (int)strlen(text) ? 1 : 0;
}
