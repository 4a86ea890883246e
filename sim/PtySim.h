#pragma once
// A simulated device behind a pseudo-terminal. The serial channel opens the terminal side
// as a serial port with the definition `Definition()` ("pts/N:9600,N,8,1"); the simulator
// serves the other side in a thread of its own until Stop or destruction.
//
// The simulator holds the terminal side open itself as well, so the channel may close and
// reopen the port as often as it likes without the simulator seeing a hang-up; line
// settings do not matter to a pseudo-terminal.
//
// The serial channel numbers a port by the digit in front of the ':' (pts/13 is port 3, as
// pts/3 is), and the channel manager gives one channel per port. So that the simulators of
// one process are always ports of their own, each running simulator gets a terminal whose
// number ends in a digit no other running one has (as long as there are fewer than ten).
#include <atomic>
#include <string>
#include <thread>

#include "SimDevice.h"
#include "SimStream.h"

namespace qxsim {

class PtySim : public Device {
public:
    PtySim();
    ~PtySim() override;

    // Creates the terminal pair and starts serving; false when no pseudo-terminal can be had.
    bool Start();
    // The same on the terminal /dev/pts/`number` (a device that went away coming back on its
    // own name); false when that terminal is taken.
    bool StartAs(int number);
    void Stop();
    bool Running() const { return m_thread.joinable(); }

    int Number() const { return m_number; }      // N of /dev/pts/N, -1 before Start
    std::string Path() const;                    // "/dev/pts/N"
    std::string Definition(const std::string& line = "9600,N,8,1") const;  // "pts/N:<line>"

    // Unsolicited bytes to the port (a modem's RING, noise on the line).
    bool Send(const Bytes& data);

private:
    void Run();
    bool OpenPair();
    bool Serve();  // opens the terminal side and starts the serving thread

    int m_master = -1;
    int m_slave = -1;
    int m_number = -1;
    Waker m_waker;
    std::thread m_thread;
};

}  // namespace qxsim
