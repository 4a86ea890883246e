#pragma once
// Serving a device on a byte stream (a pseudo-terminal master, a TCP connection): the
// transports' shared loop. Private to the simulator library.
#include "SimDevice.h"

namespace qxsim {

// Why ServeStream returned.
enum class StreamEnd { Stopped, Closed };

// Reads requests from fd and writes the answers until the wake descriptor becomes readable
// (Stopped) or the stream ends or fails (Closed).
StreamEnd ServeStream(Device& device, int fd, int wakeFd);

// Waits up to ms for the wake descriptor; true when it woke (stop requested).
bool WaitWake(int wakeFd, int ms);

// Writes all bytes to a (possibly non-blocking) descriptor within about a second.
bool WriteAll(int fd, const uint8_t* data, size_t size);

// A self-pipe that wakes a transport's thread.
class Waker {
public:
    Waker();
    ~Waker();
    bool Ok() const { return m_fd[0] >= 0; }
    int Fd() const { return m_fd[0]; }
    void Wake();
    void Reset();

private:
    int m_fd[2];
};

}  // namespace qxsim
