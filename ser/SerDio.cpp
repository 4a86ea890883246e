#include "SerDio.h"

#include <unistd.h>

#include "QxGpio.h"
#include "QxSer.h"

CSerDio::CSerDio(const char* definition) : CSerBase(definition) {
    m_iCategory = SER_KIND_DIO;
    m_iPort = 1;
    m_strNote = definition ? definition : "QXI1:";
    m_fd = -1;
    SER_TRACE("CSerDio::CSerDio: Dio Init\n");
}

CSerDio::~CSerDio() {}

int CSerDio::Open(const char* definition) {
    if (definition) m_strNote = definition;
    // A descriptor still open from an earlier Open is given up, not leaked.
    if (m_fd != -1) {
        close(m_fd);
        m_fd = -1;
    }
    m_fd = qxgpio::Open();
    if (m_fd < 0) m_fd = -1;
    if (m_fd != -1) SER_TRACE("%s[%x] open ok!\r\n", m_strNote.c_str(), GetType());
    return IsOpened();
}

int CSerDio::Close() {
    if (m_fd != -1) {
        close(m_fd);
        m_fd = -1;
    }
    return 1;
}

int CSerDio::IsOpened() { return m_fd != -1; }

int CSerDio::GetHandle() { return m_fd; }

// Byte 0 is input line 18, byte 1 (with room for it) input line 17. Returns 1, or -1 when a
// line could not be sampled: a failed read is not a level of 0.
int CSerDio::Read(unsigned char* buffer, int length, int /*timeout*/) {
    if (m_fd == -1 || !buffer || length < 1) return -1;
    uint8_t in0 = 0, in1 = 0;
    if (!qxgpio::ReadLine(m_fd, LINE_IN0, &in0)) return -1;
    if (length >= 2 && !qxgpio::ReadLine(m_fd, LINE_IN1, &in1)) return -1;
    buffer[0] = in0;
    if (length >= 2) buffer[1] = in1;
    return 1;
}

// Byte 0 selects the line (0, 1, anything else 17), byte 1 the level. Returns 0 when the
// request was made, -1 when it failed or the buffer does not hold both bytes.
int CSerDio::Write(const unsigned char* buffer, int length) {
    if (m_fd == -1 || !buffer || length < 2) return -1;
    uint16_t line = buffer[0] == 0 ? LINE_OUT0 : buffer[0] == 1 ? LINE_OUT1 : LINE_OUT_OTHER;
    unsigned long request = buffer[1] ? qxgpio::REQ_SET : qxgpio::REQ_CLEAR;
    return qxgpio::Request(m_fd, request, line) ? 0 : -1;
}
