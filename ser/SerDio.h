#pragma once
#include "SerBase.h"

// The board's general-purpose I/O lines as a channel: Read samples the two input lines,
// Write drives one output line. One per manager; it always reports 0x800001.
class QX_EXPORT CSerDio : public CSerBase {
public:
    explicit CSerDio(const char* definition);
    ~CSerDio() override;

    int Open(const char* definition) override;
    int Close() override;
    int IsOpened() override;
    int GetHandle() override;
    int Read(unsigned char* buffer, int length, int timeout) override;
    int Write(const unsigned char* buffer, int length) override;
    using CSerBase::Write;

    // Lines of the board.
    enum : uint16_t { LINE_IN0 = 18, LINE_IN1 = 17, LINE_OUT0 = 0, LINE_OUT1 = 1, LINE_OUT_OTHER = 17 };

protected:
    int32_t m_fd;
};
