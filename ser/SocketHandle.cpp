#include "SocketHandle.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <netdb.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {
// The wrapper's error state, per thread as the routines it imitates keep it.
thread_local int _lastError = 0;
thread_local int _lastWSA = 0;

constexpr unsigned long kInfinite = 0xFFFFFFFFul;

// Waits for events on one descriptor for up to ms milliseconds (through signals).
int PollOne(int fd, short events, unsigned long ms, short* revents) {
    struct pollfd p = {fd, events, 0};
    int timeout = ms > (unsigned long)INT_MAX ? INT_MAX : (int)ms;
    int r;
    do {
        r = poll(&p, 1, timeout);
    } while (r < 0 && errno == EINTR);
    if (revents) *revents = p.revents;
    return r;
}

// Copies text into out when it fits with its terminator.
bool CopyIfFits(char* out, unsigned size, const char* text) {
    size_t n = strlen(text);
    if ((size_t)size <= n) {
        SetLastError(1000);
        return false;
    }
    memcpy(out, text, n + 1);
    return true;
}

// The host name, or its official name when a lookup knows one.
bool LocalName(char* name, size_t size) {
    if (gethostname(name, size) != 0) return false;
    name[size - 1] = '\0';
    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    hints.ai_flags = AI_CANONNAME;
    struct addrinfo* res = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &res) == 0 && res) {
        if (res->ai_canonname && strlen(res->ai_canonname) < size) strcpy(name, res->ai_canonname);
        freeaddrinfo(res);
    }
    return true;
}

// The first IPv4 address a name lookup gives, in network order.
bool LookupIPv4(const char* host, in_addr_t* address) {
    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_INET;
    struct addrinfo* res = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &res) != 0 || !res) return false;
    bool found = false;
    for (struct addrinfo* a = res; a; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(struct sockaddr_in)) {
            *address = reinterpret_cast<struct sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
            found = true;
            break;
        }
    }
    freeaddrinfo(res);
    return found;
}
}  // namespace

// ---------------------------------------------------------------- functions beside the classes

void SetLastError(int error) { _lastError = error; }
#if !QX_SER_REDUCED
int GetLastError() { return _lastError; }
#endif
void WSASetLastError(int error) { _lastWSA = error; }

int WSAGetLastError() {
    if (_lastWSA != 0) {
        int e = _lastWSA;
        _lastWSA = 0;
        return e;
    }
    return errno;
}

long InterlockedExchange(long* target, long value) {
    long old = *target;
    *target = value;
    return old;
}

int StringCbPrintfA(char* text, int size, const char* format, ...) {
    if (!text || size <= 0) return 0;
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, (size_t)size, format, ap);
    va_end(ap);
    return 0;
}

int StringCbLengthA(const char* text, int size, unsigned* length) {
    if (length) *length = (text && size > 0) ? (unsigned)strnlen(text, (size_t)size) : 0;
    return 0;
}

int StringCbCopyA(char* text, int size, const char* source) {
    if (!text || size <= 0) return 0;
    size_t n = source ? strnlen(source, (size_t)size - 1) : 0;
    if (n) memcpy(text, source, n);
    text[n] = '\0';
    return 0;
}

int closesocket(long socket) { return close((int)socket); }

// ---------------------------------------------------------------- SockAddrIn

SockAddrIn& SockAddrIn::Copy(const SockAddrIn& other) {
    memcpy(static_cast<sockaddr_in*>(this), static_cast<const sockaddr_in*>(&other), sizeof(sockaddr_in));
    return *this;
}

void SockAddrIn::Clear() { memset(static_cast<sockaddr_in*>(this), 0, sizeof(sockaddr_in)); }

bool SockAddrIn::IsEqual(const SockAddrIn& other) const {
    return sin_family == other.sin_family && sin_port == other.sin_port &&
           sin_addr.s_addr == other.sin_addr.s_addr;
}

bool SockAddrIn::IsNull() const { return sin_addr.s_addr == 0 && sin_port == 0; }

bool SockAddrIn::CreateFrom(unsigned long address, unsigned short port, int family, bool hostOrder) {
    Clear();
    sin_addr.s_addr = hostOrder ? htonl((uint32_t)address) : (uint32_t)address;
    sin_port = hostOrder ? htons(port) : port;
    sin_family = (sa_family_t)family;
    return !IsNull();
}

bool SockAddrIn::CreateFrom(const char* host, const char* service, int family) {
    Clear();
    sin_addr.s_addr = htonl((uint32_t)CSocketHandle::GetIPAddress(host));
    sin_port = htons(CSocketHandle::GetPortNumber(service));
    sin_family = (sa_family_t)family;
    return !IsNull();
}

// ---------------------------------------------------------------- CSocketHandle

CSocketHandle::CSocketHandle() : m_hSocket(-1) {}

CSocketHandle::~CSocketHandle() { Close(); }

bool CSocketHandle::IsOpen() const { return m_hSocket != -1; }

long CSocketHandle::GetSocket() const { return m_hSocket; }

bool CSocketHandle::Attach(long socket) {
    if (IsOpen()) return false;
    m_hSocket = socket;
    return true;
}

long CSocketHandle::Detach() { return InterlockedExchange(&m_hSocket, -1); }

bool CSocketHandle::InitLibrary(unsigned short) { return true; }
bool CSocketHandle::ReleaseLibrary() { return true; }

// The first octet of a network-order address is its first byte in memory.
bool CSocketHandle::IsUnicastIP(unsigned long address) {
    uint32_t a = (uint32_t)address;
    uint8_t first = ((const uint8_t*)&a)[0];
    return first >= chMinClassA_IP && first < chMinClassD_IP;
}

bool CSocketHandle::IsMulticastIP(unsigned long address) {
    uint32_t a = (uint32_t)address;
    uint8_t first = ((const uint8_t*)&a)[0];
    return first >= chMinClassD_IP && first <= chMaxClassD_IP;
}

bool CSocketHandle::GetLocalName(char* text, unsigned size) {
    if (!text || size == 0) {
        SetLastError(1001);
        return false;
    }
    char name[HOST_NAME_MAX + 256];
    if (!LocalName(name, sizeof(name))) return false;
    return CopyIfFits(text, size, name);
}

bool CSocketHandle::GetLocalAddress(char* text, unsigned size) {
    if (!text || size == 0) {
        SetLastError(1001);
        return false;
    }
    char name[HOST_NAME_MAX + 256];
    in_addr_t a;
    if (!LocalName(name, sizeof(name)) || !LookupIPv4(name, &a)) return false;
    const uint8_t* o = (const uint8_t*)&a;
    char dotted[16];
    snprintf(dotted, sizeof(dotted), "%u.%u.%u.%u", o[0], o[1], o[2], o[3]);
    return CopyIfFits(text, size, dotted);
}

unsigned long CSocketHandle::GetIPAddress(const char* host) {
    char name[HOST_NAME_MAX + 256];
    if (!host || !host[0]) {
        if (!LocalName(name, sizeof(name))) return 0xFFFFFFFFul;
        host = name;
    }
    struct in_addr a;
    if (inet_pton(AF_INET, host, &a) == 1) return ntohl(a.s_addr);
    if (strcmp(host, "255.255.255.255") == 0) return 0xFFFFFFFFul;
    in_addr_t found;
    if (LookupIPv4(host, &found)) return ntohl(found);
    return 0xFFFFFFFFul;
}

unsigned short CSocketHandle::GetPortNumber(const char* service) {
    if (!service || !service[0]) return 0;
    if (service[0] >= '0' && service[0] <= '9') return (unsigned short)atoi(service);
    struct servent entry;
    struct servent* found = nullptr;
    char buf[1024];
    if (getservbyname_r(service, nullptr, &entry, buf, sizeof(buf), &found) != 0 || !found) return 0;
    return ntohs((uint16_t)found->s_port);
}

bool CSocketHandle::FormatIP(char* text, unsigned size, unsigned long address, bool hostOrder) {
    if (!text) return false;
    uint32_t a = hostOrder ? htonl((uint32_t)address) : (uint32_t)address;
    int n = snprintf(text, size, "%u.%u.%u.%u", a & 0xFF, (a >> 8) & 0xFF, (a >> 16) & 0xFF, (a >> 24) & 0xFF);
    // A text that does not fit is not written in part.
    if (n < 0 || (unsigned)n >= size) {
        if (size) text[0] = '\0';
        return false;
    }
    return true;
}

bool CSocketHandle::ShutdownConnection(long socket) {
    shutdown((int)socket, SHUT_RDWR);
    return close((int)socket) == 0;
}

void CSocketHandle::Close() {
    if (!IsOpen()) return;
    long s = InterlockedExchange(&m_hSocket, -1);
    ShutdownConnection(s);
}

long CSocketHandle::WaitForConnection(long socket) {
    int s;
    do {
        s = accept4((int)socket, nullptr, nullptr, SOCK_CLOEXEC);
    } while (s < 0 && errno == EINTR);
    return s;
}

int CSocketHandle::GetSocketType() const {
    if (!IsOpen()) return -1;
    int type = 0;
    socklen_t len = sizeof(type);
    if (getsockopt((int)m_hSocket, SOL_SOCKET, SO_TYPE, &type, &len) != 0) return -1;
    return type;
}

bool CSocketHandle::GetPeerName(SockAddrIn& address) const {
    socklen_t len = sizeof(sockaddr_in);
    if (getpeername((int)m_hSocket, (sockaddr*)address, &len) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

bool CSocketHandle::GetSockName(SockAddrIn& address) const {
    socklen_t len = sizeof(sockaddr_in);
    if (getsockname((int)m_hSocket, (sockaddr*)address, &len) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

bool CSocketHandle::ConnectTo(const char* local, const char* remote, const char* service, int family, int type) {
    if (IsOpen()) {
        SetLastError(5);
        return false;
    }
    int s = socket(family, type | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    SockAddrIn localAddr, remoteAddr;
    // The local address is only tested, never bound.
    if (!localAddr.CreateFrom(local, "0", family)) {
        SetLastError(errno);
        closesocket(s);
        return false;
    }
    remoteAddr.CreateFrom(remote, service, AF_INET);
    // The socket's time-out bounds the connection attempt as it bounds every receive: a
    // peer that never completes the handshake costs that long, never more.
#if QX_SER_REDUCED
    struct timeval tv = {2, 0};
#else
    struct timeval tv = {3, 0};
#endif
    int flags = fcntl(s, F_GETFL);
    fcntl(s, F_SETFL, flags | O_NONBLOCK);
    int r = connect(s, (const sockaddr*)remoteAddr, sizeof(sockaddr_in));
    if (r != 0 && errno == EINPROGRESS) {
        short ev = 0;
        int err = ETIMEDOUT;
        socklen_t len = sizeof(err);
        if (PollOne(s, POLLOUT, (unsigned long)tv.tv_sec * 1000, &ev) > 0)
            getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) errno = err;
        r = err == 0 ? 0 : -1;
    }
    fcntl(s, F_SETFL, flags);
    if (r != 0) {
        SetLastError(errno);
        closesocket(s);
        return false;
    }
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    m_hSocket = s;
    return true;
}

bool CSocketHandle::CreateSocket(const char* local, const char* service, int family, int type, unsigned options) {
    if (IsOpen()) {
        SetLastError(5);
        return false;
    }
    int s = socket(family, type | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    int on = 1;
    bool ok = true;
    if (options & 2) ok = setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) == 0;
    if (ok && type == SOCK_DGRAM && (options & (2 | 4)))
        ok = setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) == 0;
    SockAddrIn addr;
    addr.CreateFrom(local, service, family);
    if (ok) ok = bind(s, (const sockaddr*)addr, sizeof(sockaddr_in)) == 0;
    if (ok && type == SOCK_STREAM) ok = listen(s, 128) == 0;
    if (!ok) {
        SetLastError(errno);
        closesocket(s);
        return false;
    }
    m_hSocket = s;
    return true;
}

long CSocketHandle::Read(unsigned char* buffer, unsigned long size, sockaddr* from, unsigned long milliseconds) {
    if (!IsOpen() || !buffer || size == 0) return -1;
    int s = (int)m_hSocket;
    long res = 1;  // ready unless a wait says otherwise
    if (milliseconds != 0 && milliseconds != kInfinite) {
        short ev = 0;
        int r = PollOne(s, POLLIN | POLLPRI, milliseconds, &ev);
        printf("SocketHandle::Read select %d errno=%d\r\n", r, errno);
        if (r < 0) {
            printf("SocketHandle::Read select err: %d\r\n", r);
            WSASetLastError(104);
            res = -1;
        } else {
            res = r;  // 0: nothing came in time
        }
    }
    if (res > 0) {
        ssize_t n;
        do {
            if (from) {
                socklen_t len = sizeof(sockaddr_in);
                n = recvfrom(s, buffer, size, 0, from, &len);
            } else {
                n = recv(s, buffer, size, 0);
            }
        } while (n < 0 && errno == EINTR);
        if (n == 0) {
            printf("Read0 connreset: %d\r\n", 104);
            WSASetLastError(104);
            n = -1;
        }
        res = n < 0 ? -1 : (long)n;
    }
    printf("SocketHandle::Read res=%ld/%lu errno=%d\r\n", res, size, errno);
    if (res == -1) {
        SetLastError(errno);
        printf("SocketHandle::Read err lastErr=%d errno=%d\r\n", _lastError, errno);
    }
    return res;
}

long CSocketHandle::Write(const unsigned char* buffer, unsigned long length, const sockaddr* to, unsigned long milliseconds) {
    if (!IsOpen() || !buffer) return -1;
    int s = (int)m_hSocket;
    if (milliseconds != kInfinite) {
        short ev = 0;
        int r = PollOne(s, POLLOUT, milliseconds, &ev);
        if (r <= 0 || !(ev & POLLOUT)) return r < 0 ? -1 : 0;
    }
    ssize_t n;
    do {
        // Never SIGPIPE when the peer has gone.
        n = to ? sendto(s, buffer, length, MSG_NOSIGNAL, to, sizeof(sockaddr_in))
               : send(s, buffer, length, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        SetLastError(errno);
        return -1;
    }
    return (long)n;
}

bool CSocketHandle::AddMembership(const char* group, const char* interfaceAddress) {
    if (!IsOpen() || GetSocketType() != SOCK_DGRAM) return false;
    int s = (int)m_hSocket;
    struct ip_mreq mreq;
    mreq.imr_multiaddr.s_addr = htonl((uint32_t)GetIPAddress(group));
    mreq.imr_interface.s_addr = htonl((uint32_t)GetIPAddress(interfaceAddress));
    if (setsockopt(s, IPPROTO_IP, IP_MULTICAST_IF, &mreq.imr_interface, sizeof(mreq.imr_interface)) != 0) {
        WSASetLastError(92);
        SetLastError(errno);
        return false;
    }
    unsigned char ttl = 5;
    if (setsockopt(s, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl)) != 0 ||
        setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof(mreq)) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}

bool CSocketHandle::DropMembership(const char* group, const char* interfaceAddress) {
    if (!IsOpen()) return false;
    if (GetSocketType() != SOCK_DGRAM) {
        WSASetLastError(92);
        return false;
    }
    struct ip_mreq mreq;
    mreq.imr_multiaddr.s_addr = htonl((uint32_t)GetIPAddress(group));
    mreq.imr_interface.s_addr = htonl((uint32_t)GetIPAddress(interfaceAddress));
    if (setsockopt((int)m_hSocket, IPPROTO_IP, IP_DROP_MEMBERSHIP, &mreq, sizeof(mreq)) != 0) {
        SetLastError(errno);
        return false;
    }
    return true;
}
