#include "SimStream.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qxsim {

Waker::Waker() {
    if (pipe2(m_fd, O_CLOEXEC | O_NONBLOCK) != 0) m_fd[0] = m_fd[1] = -1;
}

Waker::~Waker() {
    if (m_fd[0] >= 0) close(m_fd[0]);
    if (m_fd[1] >= 0) close(m_fd[1]);
}

void Waker::Wake() {
    if (m_fd[1] < 0) return;
    uint8_t b = 1;
    ssize_t r = write(m_fd[1], &b, 1);
    (void)r;
}

void Waker::Reset() {
    uint8_t b[64];
    while (m_fd[0] >= 0 && read(m_fd[0], b, sizeof(b)) > 0) {
    }
}

bool WaitWake(int wakeFd, int ms) {
    struct pollfd p = {wakeFd, POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    return r > 0;
}

namespace {
ssize_t WriteSome(int fd, const uint8_t* data, size_t size) {
    // Sockets must not raise SIGPIPE when the peer has gone; other descriptors take write.
    ssize_t r = send(fd, data, size, MSG_NOSIGNAL);
    if (r < 0 && errno == ENOTSOCK) r = write(fd, data, size);
    return r;
}
}  // namespace

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    int waits = 0;
    while (done < size) {
        ssize_t r = WriteSome(fd, data + done, size - done);
        if (r > 0) {
            done += (size_t)r;
            continue;
        }
        if (r < 0 && errno == EINTR) continue;
        if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waits++ < 10) {
            struct pollfd p = {fd, POLLOUT, 0};
            poll(&p, 1, 100);
            continue;
        }
        return false;
    }
    return true;
}

StreamEnd ServeStream(Device& device, int fd, int wakeFd) {
    Bytes pending;
    std::vector<std::vector<Chunk>> answers;
    for (;;) {
        int timeout = -1;
        if (!pending.empty()) timeout = device.HasFramer() ? 1000 : device.IdleGap();
        struct pollfd p[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        int r = poll(p, 2, timeout);
        if (r < 0) {
            if (errno == EINTR) continue;
            return StreamEnd::Closed;
        }
        if (p[1].revents) return StreamEnd::Stopped;
        if (r == 0) {
            device.Quiet(pending, answers);
        } else if (p[0].revents & POLLIN) {
            uint8_t buf[512];
            ssize_t n = read(fd, buf, sizeof(buf));
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n <= 0) return StreamEnd::Closed;
            pending.insert(pending.end(), buf, buf + n);
            device.Feed(pending, answers);
        } else if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            return StreamEnd::Closed;
        }
        for (auto& answer : answers) {
            if (answer.empty()) continue;
            for (auto& chunk : answer) {
                if (chunk.delayMs > 0 && WaitWake(wakeFd, chunk.delayMs)) return StreamEnd::Stopped;
                if (!WriteAll(fd, chunk.data.data(), chunk.data.size())) return StreamEnd::Closed;
            }
            device.NoteAnswered();
        }
        answers.clear();
    }
}

}  // namespace qxsim
