#pragma once
#include <stddef.h>
#include <stdint.h>

#include "aircon/AircShape.h"

// Stulz precision air-conditioner. Type 0x802. The point's Variant chooses the controller:
// 1 a C5000 (one 5-byte request answered by a 512-byte record, words low byte first), any
// other value a C7000 over Modbus RTU (big-endian IEEE singles in holding registers, stored
// as tenths, and the running-state coil). The same 32 values either way; a C5000 sends no
// room temperature and humidity, which its point passes over.
class CSMStulzC7000 : public CSMAircShape {
public:
    CSMStulzC7000();
    ~CSMStulzC7000() override;

    using CSMBase::DoFunc;
    int DataGet(ISerBase* channel, int address, int wait) override;
    // command: function in bits 16..23 (16 only), register in bits 0..15; buffer: the 32-bit
    // value, written big-endian over the register and the one after it. 1 only when the
    // controller echoes the write.
    int DoFunc(ISerBase* channel, int address, int command, void* buffer, int length) override;

    int DataGet_C5000(ISerBase* channel, int address, int wait);
    int DataGet_C7000(ISerBase* channel, int address, int wait);
    // One Modbus RTU read into reply; 1 when it checked and carries what was asked.
    int GetC7000(ISerBase* channel, int address, int function, int reg, int count,
                 uint8_t* reply, int replyLen);
    // n big-endian IEEE singles (the first register holds the high half).
    static void FvFromBuf(float* out, const uint8_t* in, int n);
    // Multiple-register write frame in m_cmd (count registers, 2 * count data bytes);
    // returns its length, 0 when it does not fit.
    int ModBusCmdN(int address, int function, int reg, int count, const uint8_t* data);
    // The C5000 request for an address of one byte into out (5 bytes); 0 for any other.
    static int C5000Cmd(uint8_t* out, int address);

protected:
    void BriefText(char* out, size_t size, int state) override;
    std::vector<int> UnreadFields() const override;
};
