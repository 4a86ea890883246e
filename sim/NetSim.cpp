#include "NetSim.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qxsim {

namespace {
int BoundSocket(int type, const std::string& address, int port, int* boundPort) {
    struct sockaddr_in a;
    memset(&a, 0, sizeof(a));
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    if (inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1) return -1;
    int s = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (s < 0) return -1;
    int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    socklen_t len = sizeof(a);
    if (bind(s, (struct sockaddr*)&a, sizeof(a)) != 0 || getsockname(s, (struct sockaddr*)&a, &len) != 0 ||
        (type == SOCK_STREAM && listen(s, 8) != 0)) {
        close(s);
        return -1;
    }
    *boundPort = ntohs(a.sin_port);
    return s;
}
}  // namespace

// ---------------------------------------------------------------- TCP

TcpSim::TcpSim() {}
TcpSim::~TcpSim() { Stop(); }

bool TcpSim::Start(const std::string& address, int port) {
    if (m_thread.joinable()) return true;
    if (!m_waker.Ok()) return false;
    m_listen = BoundSocket(SOCK_STREAM, address, port, &m_port);
    if (m_listen < 0) return false;
    m_address = address;
    m_waker.Reset();
    m_thread = std::thread(&TcpSim::Run, this);
    return true;
}

void TcpSim::Stop() {
    if (m_thread.joinable()) {
        m_drop = false;
        m_waker.Wake();
        m_thread.join();
        m_waker.Reset();
    }
    if (m_listen >= 0) close(m_listen);
    m_listen = -1;
}

std::string TcpSim::Definition() const { return m_address + ":" + std::to_string(m_port); }

void TcpSim::CloseOnAccept(int count) { m_closeOnAccept = count; }

void TcpSim::DropConnection() {
    m_drop = true;
    m_waker.Wake();
}

void TcpSim::Run() {
    for (;;) {
        struct pollfd p[2] = {{m_listen, POLLIN, 0}, {m_waker.Fd(), POLLIN, 0}};
        if (poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (p[1].revents) {
            if (!m_drop.exchange(false)) return;  // a stop
            m_waker.Reset();                      // a drop with no connection: nothing to do
            continue;
        }
        int c = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (c < 0) continue;
        ++m_accepted;
        if (m_closeOnAccept > 0) {
            --m_closeOnAccept;
            close(c);
            continue;
        }
        StreamEnd end = ServeStream(*this, c, m_waker.Fd());
        close(c);
        if (end == StreamEnd::Stopped) {
            if (!m_drop.exchange(false)) return;
            m_waker.Reset();
        }
    }
}

// ---------------------------------------------------------------- UDP

UdpSim::UdpSim() {}
UdpSim::~UdpSim() { Stop(); }

bool UdpSim::Start(const std::string& address, int port) {
    if (m_thread.joinable()) return true;
    if (!m_waker.Ok()) return false;
    m_sock = BoundSocket(SOCK_DGRAM, address, port, &m_port);
    if (m_sock < 0) return false;
    m_address = address;
    m_waker.Reset();
    m_thread = std::thread(&UdpSim::Run, this);
    return true;
}

void UdpSim::Stop() {
    if (m_thread.joinable()) {
        m_waker.Wake();
        m_thread.join();
        m_waker.Reset();
    }
    if (m_sock >= 0) close(m_sock);
    m_sock = -1;
}

std::string UdpSim::Definition() const { return "u" + m_address + ":" + std::to_string(m_port); }

void UdpSim::Run() {
    for (;;) {
        struct pollfd p[2] = {{m_sock, POLLIN, 0}, {m_waker.Fd(), POLLIN, 0}};
        if (poll(p, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (p[1].revents) return;
        uint8_t buf[2048];
        struct sockaddr_in from;
        socklen_t len = sizeof(from);
        ssize_t n = recvfrom(m_sock, buf, sizeof(buf), 0, (struct sockaddr*)&from, &len);
        if (n < 0) continue;
        std::vector<Chunk> answer = Answer(Bytes(buf, buf + n));
        if (answer.empty()) continue;
        bool sent = true;
        for (const Chunk& chunk : answer) {
            if (chunk.delayMs > 0 && WaitWake(m_waker.Fd(), chunk.delayMs)) return;
            sent = sendto(m_sock, chunk.data.data(), chunk.data.size(), 0, (struct sockaddr*)&from, len) ==
                       (ssize_t)chunk.data.size() && sent;
        }
        if (sent) NoteAnswered();
    }
}

}  // namespace qxsim
