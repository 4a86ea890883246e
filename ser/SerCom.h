#pragma once
#include "SerBase.h"

// Serial port channel over a terminal device: a definition such as ttyS1:9600,N,8,1 names
// the device and the line settings; the device is used raw, without flow control.
//
// A device that reports itself gone (a read or write failing with EIO, ENXIO or ENODEV, or a
// hang-up: a USB adapter unplugged, a pseudo-terminal whose far end closed) closes the
// channel's descriptor, and every later IsOpened tries to open the definition again, so that
// the device is read again as soon as it is back. A channel closed by Close stays closed.
class QX_EXPORT CSerCom : public CSerBase {
public:
    explicit CSerCom(const char* definition);
    explicit CSerCom(int port);
    ~CSerCom() override;

    int Open(const char* definition) override;
    int Close() override;
    int IsOpened() override;
    int GetHandle() override;
    int SetBaud(int baud) override;
    int Purge() override;
    int Read(unsigned char* buffer, int length, int timeout) override;
    int Write(const unsigned char* buffer, int length) override;
    using CSerBase::Write;
    void UpdParams(const char* definition) override;

    // Slots added after the base's, in this order.
    virtual void InitCom();
    virtual void UpdNote();
    virtual int Wait();

    // The channel type code a definition describes (0 for a null or empty text), without
    // changing any channel.
    static int GetDefType(const char* definition);
    // False for a definition whose device name does not fit the channel.
    static bool DefFits(const char* definition);

    // Configures an open terminal: speed, character size, parity, stop bits and flow
    // control ('N' also makes it raw). 0 or -1.
    static int set_opt(int fd, int baud, int dataBits, char parity, int stopBits, char flow);

    // Thread procedure that calls Wait() on its argument.
    static void* WaitProc(void* channel);

    // The path Open uses for the current settings.
    void DevicePath(char* out, size_t outSize) const;
    // The last definition given was refused (its device name does not fit).
    bool DefRejected() const { return m_bDefRejected; }

protected:
    char m_prefix[16];
    int32_t m_iBaud;
    int32_t m_iParity;
    int32_t m_iDataBits;
    int32_t m_iStopBits;
    int32_t m_fd;
    bool m_bWait;
    // Set while the last definition given could not be taken (its device prefix does not
    // fit): Open fails until a valid definition is applied.
    bool m_bDefRejected;
    // The open device went away: IsOpened opens it again.
    bool m_bLost;
    // No byte has been read since the last Open, Write or Purge: the next byte read opens a
    // reply, and only that byte is dropped when it is zero (line noise as an RS-485 driver
    // turns round).
    bool m_bReplyStart;

    // After a read, write or test of the descriptor: an error or hang-up that means the
    // device is gone closes the descriptor and marks the channel lost. True when it did.
    bool DropIfGone(int error, bool testHangUp);
};

// Hexadecimal dump for the SEND and RECV trace lines: two upper-case digits per byte, each
// followed by `gap` spaces. Returns the text length, or -1 when an argument is null or
// negative or the text and its terminator do not fit in outSize.
int BufToHexStr(const unsigned char* buffer, int count, char* out, int outSize, int gap);
// The same into a buffer of the calling thread; a dump too long for it is replaced by a
// short notice.
const char* BufToHexStr(const unsigned char* buffer, int count, int gap);
// Upper-case hexadecimal digit of the low four bits.
char _TOHEX(unsigned char v);
