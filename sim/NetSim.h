#pragma once
// Simulated devices on loopback sockets, with the same devices (tables, responders, framers,
// faults) as the pseudo-terminal simulator.
//
//   qxsim::TcpSim meter;                  // a Modbus TCP meter on 127.0.0.1:<Port()>
//   meter.SetFramer(qxsim::FrameByLength(12));
//   meter.SetResponder(...);
//   meter.Start();
//   channel->Open(("127.0.0.1:" + std::to_string(meter.Port())).c_str());
//
// TcpSim serves one connection at a time and accepts the next when it ends. Besides the
// answer faults, a connection can be refused service: `CloseOnAccept(n)` closes the next n
// connections as soon as they are accepted, and `DropConnection()` closes the current one,
// as a device that restarts does. UdpSim takes every datagram as one request and answers
// its sender (a split answer is two datagrams).
#include <atomic>
#include <string>
#include <thread>

#include "SimDevice.h"
#include "SimStream.h"

namespace qxsim {

class TcpSim : public Device {
public:
    TcpSim();
    ~TcpSim() override;

    // Listens on address:port (port 0: one the system picks) and starts serving.
    bool Start(const std::string& address = "127.0.0.1", int port = 0);
    void Stop();
    int Port() const { return m_port; }
    std::string Definition() const;  // "127.0.0.1:<port>"

    void CloseOnAccept(int count);
    void DropConnection();
    size_t Connections() const { return m_accepted.load(); }  // accepted so far

private:
    void Run();

    int m_listen = -1;
    int m_port = 0;
    std::string m_address;
    std::atomic<int> m_closeOnAccept{0};
    std::atomic<bool> m_drop{false};
    std::atomic<size_t> m_accepted{0};
    Waker m_waker;
    std::thread m_thread;
};

class UdpSim : public Device {
public:
    UdpSim();
    ~UdpSim() override;

    // Binds address:port (port 0: one the system picks) and starts serving.
    bool Start(const std::string& address = "127.0.0.1", int port = 0);
    void Stop();
    int Port() const { return m_port; }
    std::string Definition() const;  // "u127.0.0.1:<port>"

private:
    void Run();

    int m_sock = -1;
    int m_port = 0;
    std::string m_address;
    Waker m_waker;
    std::thread m_thread;
};

}  // namespace qxsim
