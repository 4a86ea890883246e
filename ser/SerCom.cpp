#include "SerCom.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <termios.h>
#include <unistd.h>

#include "QxSer.h"
#include "SerPlatform.h"

namespace {

// Size of the per-thread dump text of the trace lines, and the notice that replaces a dump
// too long for it.
#if QX_SER_REDUCED
constexpr int kDumpSize = 257;
constexpr const char* kDumpTooLong = "msg.len > 256";
#else
constexpr int kDumpSize = 1025;
constexpr const char* kDumpTooLong = "msg.len > 1024";
#endif

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSep(char c) { return c == ':' || c == ','; }

// The decimal number at the start of [p, end), as atoi reads it: leading blanks, an optional
// sign, digits. False when there is no digit. Values beyond the int range are clamped.
bool ParseInt(const char* p, const char* end, int* value) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    bool neg = false;
    if (p < end && (*p == '+' || *p == '-')) {
        neg = *p == '-';
        ++p;
    }
    if (p >= end || !IsDigit(*p)) return false;
    long long v = 0;
    for (; p < end && IsDigit(*p); ++p) {
        v = v * 10 + (*p - '0');
        if (v > (long long)INT_MAX + 1) v = (long long)INT_MAX + 1;
    }
    if (neg) v = -v;
    if (v > INT_MAX) v = INT_MAX;
    if (v < INT_MIN) v = INT_MIN;
    *value = (int)v;
    return true;
}

bool FieldIs(const char* p, const char* end, const char* text) {
    size_t n = strlen(text);
    return (size_t)(end - p) == n && memcmp(p, text, n) == 0;
}

int CategoryOf(const char* text, size_t len) {
    if (len >= 3 && strncasecmp(text, "ESL", 3) == 0) return SER_COM_ESL;
    if (len >= 6 && strncasecmp(text, "ttySBC", 6) == 0) return SER_COM_ESL;
    if (len >= 6 && strncasecmp(text, "ttyUSB", 6) == 0) return SER_COM_USB;
    return SER_KIND_COM;
}

// Settings a definition text describes. Fields the text does not give keep the values the
// caller filled in.
struct ComDef {
    int category = SER_KIND_COM;
    bool portDigit = false;  // the port field was found after a device prefix
    char prefix[16] = {};
    bool prefixTooLong = false;
    int port = 0;
    int baud = 0;
    int parity = 0;
    int dataBits = 0;
    int stopBits = 0;
};

// Walks a definition: the device prefix ends at the port field (in this build the single
// digit before the first ':'; in the reduced build the run of digits from the first digit),
// then port, baud, parity, data bits and stop bits follow, separated by ':' or ','. When the
// first separator does not follow a port field, the text before it is ignored and every
// later field moves up one place. With firstFieldOnly the walk ends with the first field.
void WalkDef(const char* text, ComDef* def, bool firstFieldOnly) {
    size_t len = strlen(text);
    int fieldNo = 0;
    size_t start = 0;
    def->category = SER_KIND_COM;
    for (size_t pos = 0; pos < len; ++pos) {
        char c = text[pos];
        if (fieldNo == 0 && IsDigit(c)) {
#if QX_SER_REDUCED
            bool portStarts = true;
#else
            bool portStarts = pos + 1 < len && text[pos + 1] == ':';
#endif
            if (portStarts) {
                def->category = CategoryOf(text, len);
                def->portDigit = true;
                if (pos < sizeof(def->prefix)) {
                    memcpy(def->prefix, text, pos);
                    def->prefix[pos] = '\0';
                } else {
                    def->prefixTooLong = true;
                }
                start = pos;
                fieldNo = 1;
            }
        }
        bool last = pos + 1 == len;
        if (!IsSep(c) && !last) continue;
        const char* fb = text + start;
        const char* fe = text + pos + (IsSep(c) ? 0 : 1);
        int k = fieldNo++;
        start = pos + 1;
        int v;
        switch (k) {
        case 1:
            def->port = ParseInt(fb, fe, &v) ? v : 0;
            break;
        case 2:
            if (ParseInt(fb, fe, &v)) def->baud = v;
            break;
        case 3: {
            char p = fb < fe ? *fb : '\0';
            def->parity = (p == 'E' || p == 'e') ? 2
                        : (p == 'O' || p == 'o') ? 1
                        : (p == 'M' || p == 'm') ? 3
                        : (p == 'S' || p == 's') ? 4
                        : 0;
            break;
        }
        case 4:
            if (ParseInt(fb, fe, &v)) def->dataBits = v;
            break;
        case 5:
            if (FieldIs(fb, fe, "1")) def->stopBits = 0;
            else if (FieldIs(fb, fe, "1.5")) def->stopBits = 1;
            else if (FieldIs(fb, fe, "2")) def->stopBits = 2;
            break;
        default:
            break;
        }
        if (firstFieldOnly) {
            if (k == 0) def->port = ParseInt(fb, fe, &v) ? v : 0;
            return;
        }
    }
}

char NoteParity(int code) {
    switch (code) {
    case 1: return 'O';
    case 2: return 'e';
    case 3: return 'm';
    case 4: return 's';
    default: return 'n';
    }
}

const char* NoteStop(int code) {
    switch (code) {
    case 1: return "1.5";
    case 2: return "2";
    default: return "1";
    }
}

}  // namespace

CSerCom::CSerCom(const char* definition) : CSerBase(definition) {
    InitCom();
    UpdParams(definition);
}

CSerCom::CSerCom(int port) : CSerBase(port) { InitCom(); }

CSerCom::~CSerCom() {}

void CSerCom::InitCom() {
    strcpy(m_prefix, "COM");
    m_iCategory = SER_KIND_COM;
    m_iBaud = 9600;
    m_iParity = 0;
    m_iDataBits = 8;
    m_iStopBits = 1;
    m_fd = -1;
    m_bWait = false;
    m_bDefRejected = false;
    m_bLost = false;
    m_bReplyStart = true;
    UpdNote();
    SER_TRACE("CSerCom InitCom: %p  %d\r\n", (void*)this, m_iPort);
}

void CSerCom::UpdParams(const char* definition) {
    if (!definition || !definition[0]) return;
    ComDef def;
    memcpy(def.prefix, m_prefix, sizeof(def.prefix));
    def.port = m_iPort;
    def.baud = m_iBaud;
    def.parity = m_iParity;
    def.dataBits = m_iDataBits;
    def.stopBits = m_iStopBits;
    WalkDef(definition, &def, false);
    if (def.prefixTooLong) {
        // The device name cannot be held: keep the settings, and refuse to open something
        // the definition did not name.
        m_bDefRejected = true;
        SER_TRACE("CSerCom UpdParams: device name too long: %.64s\r\n", definition);
        return;
    }
    m_bDefRejected = false;
    m_iCategory = def.category;
    if (def.portDigit) memcpy(m_prefix, def.prefix, sizeof(m_prefix));
    m_iPort = def.port;
    m_iBaud = def.baud;
    m_iParity = def.parity;
    m_iDataBits = def.dataBits;
    m_iStopBits = def.stopBits;
    SER_TRACE("CSerCom UpdParams: ComPort: %s%d, %d, %d\r\n", m_prefix, m_iPort, m_iParity,
              m_iStopBits);
    UpdNote();
}

void CSerCom::UpdNote() {
    char note[64];
    snprintf(note, sizeof(note), "%s%d:%d,%c,%d,%s", m_prefix, m_iPort, m_iBaud,
             NoteParity(m_iParity), m_iDataBits, NoteStop(m_iStopBits));
    m_strNote = note;
}

int CSerCom::GetDefType(const char* definition) {
    if (!definition || !definition[0]) return 0;
    ComDef def;
    WalkDef(definition, &def, true);
    // Summed as GetType sums: a port in the int range must not overflow the code.
    return (int)((uint32_t)(def.portDigit ? def.category : 0) + (uint32_t)def.port);
}

bool CSerCom::DefFits(const char* definition) {
    if (!definition || !definition[0]) return true;
    ComDef def;
    WalkDef(definition, &def, false);
    return !def.prefixTooLong;
}

void CSerCom::DevicePath(char* out, size_t outSize) const {
    if (m_iPort <= 9)
        snprintf(out, outSize, "/dev/%s%d", m_prefix, m_iPort);
    else
        snprintf(out, outSize, "\\\\.\\%s%d", m_prefix, m_iPort);
}

int CSerCom::Open(const char* definition) {
    UpdParams(definition);
    m_bLost = false;
    // A descriptor still open from an earlier Open is given up, not leaked.
    if (m_fd != -1) {
        close(m_fd);
        m_fd = -1;
    }
    if (m_bDefRejected) {
        SER_TRACE("%s[%x] open error!\r\n", m_strNote.c_str(), GetType());
        return 0;
    }
    char path[64];
    DevicePath(path, sizeof(path));
    char parity = m_iParity == 1 ? 'O' : m_iParity == 2 ? 'E' : 'N';
    SER_TRACE("CSerCom::Open: %s,%d,%d,%c,%d\r\n", path, m_iBaud, m_iDataBits, parity,
              m_iStopBits);
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_fd = -1;
        SER_TRACE("%s[%x] open error!\r\n", m_strNote.c_str(), GetType());
        return 0;
    }
    // Reads and writes block from here on; a read waits at most VTIME for a byte.
    fcntl(fd, F_SETFL, 0);
    if (set_opt(fd, m_iBaud, m_iDataBits, parity, m_iStopBits, 'N') < 0) {
        close(fd);
        m_fd = -1;
        m_bLost = false;
        SER_TRACE("%s[%x] set_op error!\r\n", m_strNote.c_str(), GetType());
        return 0;
    }
    m_fd = fd;
    m_bReplyStart = true;
    SER_TRACE("%s[%x] open ok!\r\n", m_strNote.c_str(), GetType());
    return 1;
}

int CSerCom::set_opt(int fd, int baud, int dataBits, char parity, int stopBits, char flow) {
    struct termios tio;
    if (tcgetattr(fd, &tio) != 0) {
        puts("tcgetattr error");
        return -1;
    }
    tcflush(fd, TCIOFLUSH);
    tio.c_cflag |= CLOCAL | CREAD;

    speed_t speed;
    switch (baud) {
    case 600: speed = B600; break;
    case 1200: speed = B1200; break;
    case 2400: speed = B2400; break;
    case 4800: speed = B4800; break;
    case 9600: speed = B9600; break;
    case 19200: speed = B19200; break;
    case 38400: speed = B38400; break;
    case 57600: speed = B57600; break;
    case 115200: speed = B115200; break;
    case 230400: speed = B230400; break;
    default: speed = B115200; break;
    }
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);

    tio.c_cflag &= ~CSIZE;
    switch (dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    default: tio.c_cflag |= CS8; break;
    }

    switch (parity) {
    case 'E':
    case 'e':
        tio.c_cflag |= PARENB;
        tio.c_cflag &= ~PARODD;
        tio.c_iflag |= INPCK;
        break;
    case 'O':
    case 'o':
        tio.c_cflag |= PARENB | PARODD;
        tio.c_iflag |= INPCK;
        break;
    case 'S':
    case 's':
        tio.c_cflag &= ~(PARENB | CSTOPB);
        tio.c_iflag |= INPCK;
        break;
    default:
        tio.c_cflag &= ~PARENB;
        tio.c_iflag &= ~INPCK;
        break;
    }

    if (stopBits == 2)
        tio.c_cflag |= CSTOPB;
    else
        tio.c_cflag &= ~CSTOPB;

    switch (flow) {
    case 'H':
    case 'h':
        tio.c_cflag |= CRTSCTS;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        break;
    case 'S':
    case 's':
        tio.c_cflag &= ~CRTSCTS;
        tio.c_iflag |= IXON | IXOFF | IXANY;
        break;
    default:
        tio.c_cflag &= ~CRTSCTS;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        tio.c_lflag &= ~(ICANON | ECHO | ECHOE | ISIG);
        tio.c_iflag &= ~(INLCR | IGNCR | ICRNL);
        tio.c_oflag &= ~(ONLCR | OCRNL);
        break;
    }

    tio.c_oflag &= ~OPOST;
    tio.c_cc[VTIME] = 2;  // a read returns after 0.2 s without a byte
    tio.c_cc[VMIN] = 0;

    tcflush(fd, TCIOFLUSH);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        SER_TRACE("serial setup error\n");
        puts("serial setup error");
        return -1;
    }
    SER_TRACE("set serial done+!\n");
    return 0;
}

int CSerCom::Close() {
    if (m_fd != -1) {
        close(m_fd);
        m_fd = -1;
    }
    m_bLost = false;
    return 1;
}

bool CSerCom::DropIfGone(int error, bool testHangUp) {
    if (m_fd == -1) return false;
    bool gone = error == EIO || error == ENXIO || error == ENODEV;
    if (!gone && testHangUp) {
        struct pollfd p = {m_fd, POLLIN, 0};
        int r;
        do {
            r = poll(&p, 1, 0);
        } while (r < 0 && errno == EINTR);
        gone = r > 0 && (p.revents & (POLLHUP | POLLNVAL)) != 0;
    }
    if (!gone) return false;
    SER_TRACE("%s[%x] device gone (%d): closed until it is back\r\n", m_strNote.c_str(), GetType(), error);
    close(m_fd);
    m_fd = -1;
    m_bLost = true;
    return true;
}

int CSerCom::IsOpened() {
    if (m_fd != -1 && !DropIfGone(0, true)) return 1;
    // A device that went away is looked for again at every test, as a network channel
    // reconnects.
    if (!m_bLost) return 0;
    if (Open(nullptr) == 1) return 1;
    m_bLost = true;
    return 0;
}

int CSerCom::GetHandle() { return m_fd; }

int CSerCom::SetBaud(int baud) {
    m_iBaud = baud;
    return 1;
}

int CSerCom::Purge() {
    if (m_fd == -1) return 0;
    // Stale input only: bytes that Write accepted (an acknowledgement written just before the
    // next request) still go out.
    m_bReplyStart = true;
    return tcflush(m_fd, TCIFLUSH) == 0 ? 1 : 0;
}

namespace {
// One read that is not cut short by a signal.
ssize_t ReadOnce(int fd, unsigned char* buffer, size_t length) {
    ssize_t r;
    do {
        r = read(fd, buffer, length);
    } while (r < 0 && errno == EINTR);
    return r;
}

// A read of a short read: at most `ms` milliseconds for a byte, then what is there (0: none).
ssize_t ReadWithin(int fd, unsigned char* buffer, size_t length, int ms) {
    if (ms <= 0) return ReadOnce(fd, buffer, length);
    struct pollfd p = {fd, POLLIN, 0};
    int r;
    do {
        r = poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    if (r == 0) return 0;
    return ReadOnce(fd, buffer, length);
}

// Time-outs below this are short reads.
const int kShortReadBelowMs = 1000;
}  // namespace

int CSerCom::Read(unsigned char* buffer, int length, int timeout) {
    if (m_fd == -1) return -1;
    if (!buffer || length < 0) return -1;
    if (length == 0) return 0;

    // A time-out of 1 to 999 ms is a short read: each wait for a byte lasts at most that
    // long in place of the port's 0.2 s, so that a look for a byte that may follow a reply
    // costs a few character times, not a whole silent read.
    const int within = timeout > 0 && timeout < kShortReadBelowMs ? timeout : 0;

    // A zero byte that opens a reply (line noise as an RS-485 driver turns round) is dropped:
    // it is overwritten by the next read. A reply gathered in several reads keeps every byte
    // of its later pieces.
    int count = 0;
    ssize_t r = ReadWithin(m_fd, buffer, 1, within);
    if (r == 1) {
        if (!m_bReplyStart || buffer[0] != 0) count = 1;
        m_bReplyStart = false;
    }
    if (r <= 0 && DropIfGone(r < 0 ? errno : 0, r == 0)) return -1;

    // Each read waits at most 0.2 s (VTIME) for a byte; every full second of the time-out
    // buys one more read after an empty one. A short read that found nothing is over: its
    // one wait was all of it.
    int retries = timeout / 1000;
    while (count < length && !(within && r == 0)) {
        if (retries > 0) {
            --retries;
            qxser::SleepMs(1);
        }
        r = ReadWithin(m_fd, buffer + count, (size_t)(length - count), within);
        if (r <= 0 && DropIfGone(r < 0 ? errno : 0, r == 0)) break;
        if (r < 0) break;
        count += (int)r;
        if (r == 0 && retries <= 0) break;
    }
    SER_TRACE("RECV: %s\r\n", BufToHexStr(buffer, count, 1));
    return count;
}

int CSerCom::Write(const unsigned char* buffer, int length) {
    if (m_fd == -1) return -1;
    if (!buffer || length < 0) return -1;
    ssize_t r;
    do {
        r = write(m_fd, buffer, (size_t)length);
    } while (r < 0 && errno == EINTR);
    if (r < 0) DropIfGone(errno, false);
    if (r > 0) {
        m_bReplyStart = true;
        SER_TRACE("SEND: %s\r\n", BufToHexStr(buffer, (int)r, 1));
    }
    return (int)r;
}

int CSerCom::Wait() {
    m_bWait = false;
    m_bWait = true;
    return 0;
}

void* CSerCom::WaitProc(void* channel) {
    if (!channel) return (void*)0;
    return (void*)(intptr_t)static_cast<CSerCom*>(channel)->Wait();
}

// ---------------------------------------------------------------- hexadecimal dump

char _TOHEX(unsigned char v) { return "0123456789ABCDEF"[v & 0x0F]; }

int BufToHexStr(const unsigned char* buffer, int count, char* out, int outSize, int gap) {
    if (!buffer || !out || count < 0 || gap < 0 || outSize < 0) return -1;
    if ((long long)(gap + 2) * count + 1 > outSize) return -1;
    char* p = out;
    for (int i = 0; i < count; ++i) {
        *p++ = _TOHEX(buffer[i] >> 4);
        *p++ = _TOHEX(buffer[i]);
        for (int g = 0; g < gap; ++g) *p++ = ' ';
    }
    *p = '\0';
    return (int)(p - out);
}

const char* BufToHexStr(const unsigned char* buffer, int count, int gap) {
    // One buffer per thread: channels used from different threads do not garble each
    // other's trace lines.
    static thread_local char text[kDumpSize];
    if (count > 0 && gap >= 0 && (long long)(gap + 2) * count + 1 > kDumpSize - 2) {
        snprintf(text, sizeof(text), "%s", kDumpTooLong);
        return text;
    }
    if (BufToHexStr(buffer, count, text, kDumpSize, gap) < 0) text[0] = '\0';
    return text;
}
