#pragma once
// A general socket wrapper with its IPv4 address record and the error and text routines it
// expects, exported for hosts that want one.
#include <netinet/in.h>
#include <stdint.h>
#include <sys/socket.h>

#include "QxExport.h"

// First octets of the address classes.
enum : uint8_t { chMinClassA_IP = 1, chMinClassD_IP = 224, chMaxClassD_IP = 239 };

// A 16-byte IPv4 socket address laid out as sockaddr_in.
struct QX_EXPORT SockAddrIn : public sockaddr_in {
    SockAddrIn() { Clear(); }
    SockAddrIn(const SockAddrIn& other) { Copy(other); }
    SockAddrIn& operator=(const SockAddrIn& other) { return Copy(other); }
    SockAddrIn& Copy(const SockAddrIn& other);
    void Clear();
    // Family, port and address equal.
    bool IsEqual(const SockAddrIn& other) const;
    // Address and port both 0.
    bool IsNull() const;
    int Size() const { return (int)sizeof(sockaddr_in); }
    operator sockaddr*() { return reinterpret_cast<sockaddr*>(static_cast<sockaddr_in*>(this)); }
    operator const sockaddr*() const {
        return reinterpret_cast<const sockaddr*>(static_cast<const sockaddr_in*>(this));
    }
    bool CreateFrom(unsigned long address, unsigned short port, int family = AF_INET, bool hostOrder = true);
    bool CreateFrom(const char* host, const char* service, int family = AF_INET);
};
static_assert(sizeof(SockAddrIn) == 16, "the record is a sockaddr_in");

class QX_EXPORT CSocketHandle {
public:
    CSocketHandle();
    ~CSocketHandle();
    CSocketHandle(const CSocketHandle&) = delete;
    CSocketHandle& operator=(const CSocketHandle&) = delete;

    bool IsOpen() const;
    long GetSocket() const;
    bool Attach(long socket);
    long Detach();
    int GetSocketType() const;
    bool GetPeerName(SockAddrIn& address) const;
    bool GetSockName(SockAddrIn& address) const;

    bool ConnectTo(const char* local, const char* remote, const char* service, int family = AF_INET,
                   int type = SOCK_STREAM);
    bool CreateSocket(const char* local, const char* service, int family = AF_INET, int type = SOCK_STREAM,
                      unsigned options = 0);
    void Close();
    // Up to size bytes; with `from`, one datagram and its sender. Waits up to milliseconds
    // (0 or 0xFFFFFFFF: no wait). The count, 0 when nothing came in time, or -1.
    long Read(unsigned char* buffer, unsigned long size, sockaddr* from = nullptr,
              unsigned long milliseconds = 0xFFFFFFFFul);
    // Sends when writable within milliseconds (0: only when writable at once; 0xFFFFFFFF: no
    // wait). The count, 0 when it did not become writable, or -1.
    long Write(const unsigned char* buffer, unsigned long length, const sockaddr* to = nullptr,
               unsigned long milliseconds = 0xFFFFFFFFul);
    bool AddMembership(const char* group, const char* interfaceAddress);
    bool DropMembership(const char* group, const char* interfaceAddress);

    static bool InitLibrary(unsigned short version);
    static bool ReleaseLibrary();
    static bool IsUnicastIP(unsigned long address);    // network byte order
    static bool IsMulticastIP(unsigned long address);  // network byte order
    static bool GetLocalName(char* text, unsigned size);
    static bool GetLocalAddress(char* text, unsigned size);
    static unsigned long GetIPAddress(const char* host);  // host byte order
    static unsigned short GetPortNumber(const char* service);
    static bool FormatIP(char* text, unsigned size, unsigned long address, bool hostOrder = true);
    static bool ShutdownConnection(long socket);
    static long WaitForConnection(long socket);

private:
    long m_hSocket;
};

QX_EXPORT void SetLastError(int error);
#if !QX_SER_REDUCED
QX_EXPORT int GetLastError();
#endif
QX_EXPORT void WSASetLastError(int error);
QX_EXPORT int WSAGetLastError();
QX_EXPORT long InterlockedExchange(long* target, long value);
QX_EXPORT int StringCbPrintfA(char* text, int size, const char* format, ...) __attribute__((format(printf, 3, 4)));
QX_EXPORT int StringCbLengthA(const char* text, int size, unsigned* length);
QX_EXPORT int StringCbCopyA(char* text, int size, const char* source);
QX_EXPORT int closesocket(long socket);
