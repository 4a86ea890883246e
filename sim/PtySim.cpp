#include "PtySim.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <mutex>
#include <vector>

namespace qxsim {

namespace {
// Last digits of the terminals the running simulators of this process hold.
std::mutex g_digitsMutex;
int g_digitUsers[10];
}  // namespace

PtySim::PtySim() {}

PtySim::~PtySim() { Stop(); }

bool PtySim::OpenPair() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (m_master < 0) return false;
    unsigned int n = 0;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0 || ioctl(m_master, TIOCGPTN, &n) != 0) {
        close(m_master);
        m_master = -1;
        return false;
    }
    m_number = (int)n;
    return true;
}

bool PtySim::Start() {
    if (Running()) return true;
    if (!m_waker.Ok()) return false;
    {
        // Terminals whose number ends in a digit already held are kept open while looking
        // further, so the next one is another, then given back.
        std::lock_guard<std::mutex> lock(g_digitsMutex);
        std::vector<int> spare;
        bool ok = false;
        for (int attempt = 0; attempt < 20; ++attempt) {
            ok = OpenPair();
            // With ten or more simulators running, digits are shared.
            if (!ok || g_digitUsers[m_number % 10] == 0 || attempt == 19) break;
            spare.push_back(m_master);
            m_master = -1;
            ok = false;
        }
        for (int fd : spare) close(fd);
        if (!ok) return false;
        ++g_digitUsers[m_number % 10];
    }
    return Serve();
}

bool PtySim::StartAs(int number) {
    if (Running()) return m_number == number;
    if (!m_waker.Ok() || number < 0) return false;
    {
        // Terminals get the lowest free number: the ones below it are held while looking,
        // then given back; one above it means that it is taken.
        std::lock_guard<std::mutex> lock(g_digitsMutex);
        std::vector<int> below;
        bool ok = false;
        while ((int)below.size() <= number && OpenPair()) {
            if (m_number == number) {
                ok = true;
                break;
            }
            if (m_number > number) break;
            below.push_back(m_master);
            m_master = -1;
        }
        for (int fd : below) close(fd);
        if (!ok) {
            if (m_master >= 0) close(m_master);
            m_master = -1;
            m_number = -1;
            return false;
        }
        ++g_digitUsers[m_number % 10];
    }
    return Serve();
}

bool PtySim::Serve() {
    m_slave = open(Path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        Stop();
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
    if (m_master >= 0) {
        close(m_master);
        std::lock_guard<std::mutex> lock(g_digitsMutex);
        --g_digitUsers[m_number % 10];
    }
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
