#include "SerNet.h"

#include <arpa/inet.h>
#include <errno.h>
#include <limits.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include "QxSer.h"

namespace {

constexpr int kDefaultPort = 20600;
// Purge drains at most this many receives, so a peer that keeps sending cannot hold it.
constexpr int kPurgeReceives = 256;

int64_t NowMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// Waits for the events on one descriptor for up to ms milliseconds, through signals.
int PollFor(int fd, short events, int64_t ms, short* revents) {
    int64_t end = NowMs() + ms;
    for (;;) {
        struct pollfd p = {fd, events, 0};
        int64_t left = end - NowMs();
        if (left < 0) left = 0;
        int r = poll(&p, 1, left > INT_MAX ? INT_MAX : (int)left);
        if (r < 0 && errno == EINTR) continue;
        if (revents) *revents = p.revents;
        return r;
    }
}

}  // namespace

CSerNet::CSerNet(const char* definition) : CSerBase(definition) {
    InitParams();
    UpdParams(definition);
    SER_TRACE("SerNet new: %p  %s\r\n", (void*)this, definition ? definition : "");
}

CSerNet::CSerNet(int port) : CSerBase(port) {
    InitParams();
    if (port != kDefaultPort) {
        m_iPort = port;
        UpdNote();
    }
    SER_TRACE("SerNet new: %p  %d\r\n", (void*)this, port);
}

CSerNet::~CSerNet() {}

void CSerNet::InitParams() {
    m_sock = -1;
    strcpy(m_host, "127.0.0.1");
    m_bHostTooLong = false;
    m_iCategory = SER_KIND_NET;
    m_iPort = kDefaultPort;
    m_iTimeoutPerByte = 10;
    m_iTimeoutFixed = 1000;
    m_iReopenCnt = 0;
    m_iReopenEvery = 1;
    m_iAgainCnt = 0;
    UpdNote();
}

void CSerNet::UpdParams(const char* definition) {
    if (!definition || !definition[0]) return;
    const char* colon = strchr(definition, ':');
    size_t hostLen = colon ? (size_t)(colon - definition) : strlen(definition);
    // The host text is held only when it fits; one that does not makes Open fail rather
    // than reach some other host.
    m_bHostTooLong = hostLen >= sizeof(m_host);
    if (m_bHostTooLong) hostLen = sizeof(m_host) - 1;
    memcpy(m_host, definition, hostLen);
    m_host[hostLen] = '\0';
    int port = colon ? atoi(colon + 1) : 0;
    m_iPort = port != 0 ? port : kDefaultPort;
    UpdNote();
}

void CSerNet::UpdNote() {
    m_iRemotePort = m_iPort;
    char note[64];
#if QX_SER_REDUCED
    snprintf(note, sizeof(note), "NET %s:%d", m_host, m_iPort);
#else
    snprintf(note, sizeof(note), "NET %d %s:%d", m_iPort, m_host, m_iRemotePort);
#endif
    m_strNote = note;
}

// Above 0xFFFF the value is a channel type code whose port becomes the channel's identity;
// otherwise it is the port the device listens on. The note is not rebuilt.
int CSerNet::SetPort(int value) {
#if QX_SER_REDUCED
    // One port only: the identity is also the device's port.
    m_iPort = value & 0xFFFF;
    m_iRemotePort = m_iPort;
#else
    if (value > 0xFFFF)
        m_iPort = value & 0xFFFF;
    else
        m_iRemotePort = value & 0xFFFF;
#endif
    return 1;
}

CSerNet::Mode CSerNet::GetMode() const {
    if (m_host[0] == 'b' || m_host[0] == 'B') return MODE_BROADCAST;
    if (m_host[0] == 'u' || m_host[0] == 'U') return MODE_UDP;
    return MODE_TCP;
}

bool CSerNet::PeerAddress(void* out) const {
    if (m_bHostTooLong) return false;
    // A port outside 1..65535 (a definition's number beyond it) is refused, never cut to
    // the 16 bits of some other port.
    if (m_iRemotePort < 1 || m_iRemotePort > 65535) return false;
    struct sockaddr_in* addr = static_cast<struct sockaddr_in*>(out);
    memset(addr, 0, sizeof(*addr));
    addr->sin_family = AF_INET;
    addr->sin_port = htons((uint16_t)m_iRemotePort);
    switch (GetMode()) {
    case MODE_BROADCAST:
        addr->sin_addr.s_addr = htonl(INADDR_BROADCAST);
        return true;
    case MODE_UDP:
        return inet_pton(AF_INET, m_host + 1, &addr->sin_addr) == 1;
    default:
        return inet_pton(AF_INET, m_host, &addr->sin_addr) == 1;
    }
}

int CSerNet::Open(const char* definition) {
    UpdParams(definition);
    if (m_sock != -1) {
        close(m_sock);
        m_sock = -1;
    }
    struct sockaddr_in addr;
    if (!PeerAddress(&addr)) {
        SER_TRACE("CSerNet::Open ERROR: not an IPv4 address and port: %s:%d\n", m_host,
                  m_iRemotePort);
        return 0;
    }
    Mode mode = GetMode();
    if (mode == MODE_BROADCAST) {
        int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s < 0) {
            SER_TRACE("CSerNet::Open ERROR: Failed to obtain Socket Descriptor!\n");
            return 0;
        }
        int on = 1;
        if (setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) {
            SER_TRACE("CSerNet::Open ERROR: Failed to setsockopt!\n");
            close(s);
            return 0;
        }
        m_sock = s;
        SER_TRACE("CSerNet::Open ok: %s!\n", m_host);
        return 1;
    }

    int s = socket(AF_INET, (mode == MODE_UDP ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
    if (s < 0) {
        SER_TRACE("CSerNet::Open ERROR: Failed to obtain Socket Descriptor!\n");
        return 0;
    }
    // Bounds the connection attempt and every later send.
    struct timeval tv = {2, 0};
    if (setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv)) != 0) {
        SER_TRACE("CSerNet::Open setsockopt err:%d!\n", errno);
        close(s);
        return 0;
    }
    if (connect(s, (struct sockaddr*)&addr, sizeof(addr)) != 0) {
        SER_TRACE("CSerNet::Open ERROR: Failed to connect to the host!\n");
        close(s);
        return 0;
    }
    SER_TRACE("OK: Have connected to the %s\n", m_host);
    m_sock = s;
    return 1;
}

int CSerNet::Close() {
    if (m_sock != -1) close(m_sock);
    m_sock = -1;
    return 1;
}

void CSerNet::DropLink(int error) {
    SER_TRACE("...%s conn dropped: %d\r\n", m_strNote.c_str(), error);
    Close();
}

int CSerNet::IsOpened() {
    if (m_sock != -1) {
        // A TCP peer that has closed its end is a dropped link: reconnect now.
        short ev = 0;
        if (GetMode() != MODE_TCP || PollFor(m_sock, POLLRDHUP, 0, &ev) <= 0 ||
            !(ev & (POLLRDHUP | POLLHUP | POLLERR)))
            return 1;
        DropLink(ECONNRESET);
    }
    if (++m_iReopenCnt < (int64_t)m_iReopenEvery) return 0;
    m_iReopenCnt = 0;
    return Open(nullptr);
}

int CSerNet::Read(unsigned char* buffer, int length, int timeout) {
    if (m_sock == -1) return -1;
    if (!buffer || length < 0) return -1;
    // The channel's time-out for this length, or the caller's own. A caller's -1 ("wait for
    // the answer") and a time-out that comes to nothing still never wait longer than the
    // channel's time-out: the receive itself never blocks.
    int64_t wait = (int64_t)m_iTimeoutPerByte * length + m_iTimeoutFixed;
    if (timeout >= 1) wait = timeout;
    if (wait < 0) wait = 0;
    Mode mode = GetMode();
    {
        short ev = 0;
        int r = PollFor(m_sock, POLLIN | POLLPRI, wait, &ev);
        if (r <= 0) {
            if (mode == MODE_BROADCAST) return r < 0 ? -1 : 0;
            SER_TRACE("CSerNet::Read select err: %d\r\n", r);
            Close();
            return -1;
        }
    }
    ssize_t n;
    do {
        n = recv(m_sock, buffer, (size_t)length, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        SER_TRACE("CSerNet::Read recv err: %d\r\n", errno);
        Close();
        return -1;
    }
    SER_TRACE("CSerNet::Read recv: %d\r\n", (int)n);
    // Nothing from a TCP peer that was asked for something: it has closed the connection.
    if (n == 0 && length > 0 && mode == MODE_TCP) DropLink(ECONNRESET);
    return (int)n;
}

int CSerNet::Write(const unsigned char* buffer, int length) {
    if (m_sock == -1) return -1;
    if (!buffer || length < 0) return -1;
    ssize_t r;
    // Never SIGPIPE: a peer that has gone is a failed write, not the end of the host.
    if (GetMode() == MODE_TCP) {
        do {
            r = send(m_sock, buffer, (size_t)length, MSG_NOSIGNAL);
        } while (r < 0 && errno == EINTR);
    } else {
        struct sockaddr_in addr;
        PeerAddress(&addr);
        do {
            r = sendto(m_sock, buffer, (size_t)length, MSG_NOSIGNAL, (struct sockaddr*)&addr, sizeof(addr));
        } while (r < 0 && errno == EINTR);
    }
    if (r < 0) {
        SER_TRACE("ERROR: Failed to sent string.\n");
        Close();
    }
    return (int)r;
}

// Drains pending input without ever blocking: readability is tested before every receive.
int CSerNet::Purge() {
    if (m_sock == -1) return 0;
    for (int i = 0; i < kPurgeReceives; ++i) {
        short ev = 0;
        int r = PollFor(m_sock, POLLIN, 0, &ev);
        if (r < 0) return 0;
        if (r == 0) break;
        SER_TRACE("...%s purge recv\r\n", m_strNote.c_str());
        uint8_t buf[256];
        ssize_t n;
        do {
            n = recv(m_sock, buf, sizeof(buf), MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        SER_TRACE("...%s purge recv: %d %02x\r\n", m_strNote.c_str(), (int)n, n > 0 ? buf[0] : 0);
        if (n == 0 && GetMode() == MODE_TCP) {
            DropLink(ECONNRESET);
            break;
        }
        if (n <= 0) break;
    }
    return 1;
}

bool CSerNet::IsConnDropped(unsigned long error) {
    printf("net isdroped: %d\r\n", (int)error);
    if (error == 11) return ++m_iAgainCnt > 2;
    switch (error) {
    case 88: case 100: case 101: case 102: case 103: case 104:
    case 10058: case 10064: case 10065:
        SER_TRACE("...%s conn dropped: %d\r\n", m_strNote.c_str(), (int)error);
        return true;
    default:
        return false;
    }
}
