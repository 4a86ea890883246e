#pragma once
#include "SerBase.h"

// A device over IPv4: TCP client, UDP to one address ("u" before it) or UDP broadcast ("b"),
// from a definition host:port. Reads wait as long as the expected length allows; a failed
// read or write closes the link, and the next IsOpened reconnects.
class QX_EXPORT CSerNet : public CSerBase {
public:
    explicit CSerNet(const char* definition);
    explicit CSerNet(int port);
    ~CSerNet() override;

    int Open(const char* definition) override;
    int Close() override;
    int IsOpened() override;
    int SetPort(int value) override;
    int Purge() override;
    int Read(unsigned char* buffer, int length, int timeout) override;
    int Write(const unsigned char* buffer, int length) override;
    using CSerBase::Write;
    void UpdParams(const char* definition) override;

    // Slots added after the base's, in this order.
    virtual void InitParams();
    virtual void UpdNote();

    // Whether an error number means the link is gone.
    bool IsConnDropped(unsigned long error);

    enum Mode { MODE_TCP, MODE_UDP, MODE_BROADCAST };
    Mode GetMode() const;
    int RemotePort() const { return m_iRemotePort; }

protected:
    // The peer's address for the current settings; false when the host is not an IPv4
    // address (or did not fit) or the port lies outside 1..65535.
    bool PeerAddress(void* sockaddrIn) const;
    // The link is gone: trace it and close.
    void DropLink(int error);

    char m_host[16];
    int32_t m_iReopenCnt;
    uint32_t m_iReopenEvery;
    int32_t m_iRemotePort;
    int32_t m_sock;
    int32_t m_iAgainCnt;
    // The last definition's host text did not fit m_host: Open fails until one that fits.
    bool m_bHostTooLong;
};
