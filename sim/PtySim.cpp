#include "PtySim.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace qxsim {

PtySim::PtySim() {}

PtySim::~PtySim() { Stop(); }

bool PtySim::Start() {
    if (Running()) return true;
    if (!m_waker.Ok()) return false;
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_master < 0) return false;
    unsigned int n = 0;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ioctl(m_master, TIOCGPTN, &n) != 0) {
        close(m_master);
        m_master = -1;
        return false;
    }
    m_number = (int)n;
    m_slave = open(Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        close(m_master);
        m_master = -1;
        m_number = -1;
        return false;
    }
    // Raw until the channel sets its own mode: nothing echoed back, nothing translated.
    struct termios tio;
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    m_waker.Reset();
    m_thread = std::thread(&PtySim::Run, this);
    return true;
}

void PtySim::Stop() {
    if (m_thread.joinable()) {
        m_waker.Wake();
        m_thread.join();
        m_waker.Reset();
    }
    if (m_slave >= 0) close(m_slave);
    if (m_master >= 0) close(m_master);
    m_slave = m_master = -1;
}

std::string PtySim::Path() const { return "/dev/pts/" + std::to_string(m_number); }

std::string PtySim::Definition(const std::string& line) const {
    return "pts/" + std::to_string(m_number) + ":" + line;
}

bool PtySim::Send(const Bytes& data) {
    if (m_master < 0) return false;
    return WriteAll(m_master, data.data(), data.size());
}

void PtySim::Run() {
    // The simulator's own hold on the terminal side keeps the master from ever seeing a
    // hang-up; should the stream still fail, wait a little and serve again.
    while (ServeStream(*this, m_master, m_waker.Fd()) == StreamEnd::Closed) {
        if (WaitWake(m_waker.Fd(), 20)) break;
    }
}

}  // namespace qxsim
