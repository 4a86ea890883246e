#include "io/DiwenPanel.h"

#include <stdint.h>

#include "ISerBase.h"

namespace qx {
namespace diwen {

const Trait kDGus = {false};
const Trait kDiwen = {true};

namespace {

int WriteFrame(ISerBase* ser, const uint8_t* frame, int n) {
    if (!ser || !ser->IsOpened()) return 0;
    return ser->Write(frame, n) == n ? 1 : 0;
}

}  // namespace

int SetData(ISerBase* ser, uint16_t vp, uint16_t value) {
    const uint8_t f[8] = {0xA5, 0x5A, 0x05, 0x82, (uint8_t)(vp >> 8), (uint8_t)vp,
                          (uint8_t)(value >> 8), (uint8_t)value};
    return WriteFrame(ser, f, sizeof f);
}

int SetDisplay(ISerBase* ser, uint16_t page) {
    const uint8_t f[7] = {0xA5, 0x5A, 0x04, 0x80, 0x03, (uint8_t)(page >> 8), (uint8_t)page};
    return WriteFrame(ser, f, sizeof f);
}

int SetRtc(ISerBase* ser, const DIWEN_RTC_DATA& rtc) {
    uint8_t f[13] = {0xA5, 0x5A, 0x0A, 0x80, 0x1F, 0x5A};
    for (int i = 0; i < 7; i++) f[6 + i] = rtc.b[i];
    return WriteFrame(ser, f, sizeof f);
}

int Init(ISerBase* ser) {
    if (!ser) return 0;
    ser->Open(nullptr);
    return 1;
}

void TakeOver(ISerBase*& handler, const Trait& t, ISerBase* ser) {
    if (t.closePrevious && handler && handler != ser) handler->Close();
    handler = ser;
}

int DoFunc(ISerBase*& handler, const Trait& t, ISerBase* ser, int cmd, void* buf, int len) {
    if (!ser || !ser->IsOpened()) return 0;
    TakeOver(handler, t, ser);
    switch (cmd) {
    case 1:
        return SetData(handler, (uint16_t)(uintptr_t)buf, (uint16_t)len);
    case 2: {
        if (!buf) return 0;
        DIWEN_RTC_DATA rtc;
        const uint8_t* p = static_cast<const uint8_t*>(buf);
        for (int i = 0; i < 7; i++) rtc.b[i] = p[i];
        return SetRtc(handler, rtc);
    }
    case 3:
        return SetDisplay(handler, (uint16_t)len);
    default:
        return 0;
    }
}

}  // namespace diwen
}  // namespace qx
