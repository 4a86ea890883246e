#include "SingleUps.h"

namespace qxsim {

// ---------------------------------------------------------------- Sentry

void SentryUps::Set(const Readings& r) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_r = r;
}

SentryUps::Readings SentryUps::Get() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_r;
}

void SentryUps::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

Bytes SentryUps::Frame() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    Bytes f(m_r.length < 70 ? 70 : m_r.length, 0x20);
    f[0] = 0x01;  // never 0: a serial port takes a leading NUL for line noise
    f[1] = m_r.mark;
    f[41] = (uint8_t)m_r.fin, f[42] = (uint8_t)(m_r.fin >> 8);
    f[43] = (uint8_t)(m_r.vbatt >> 8), f[44] = (uint8_t)m_r.vbatt;
    f[48] = m_r.tem;
    f[59] = m_r.vout[0], f[60] = m_r.vout[1], f[61] = m_r.vout[2];
    f[68] = (uint8_t)m_r.fout, f[69] = (uint8_t)(m_r.fout >> 8);
    f.resize(m_r.length);
    return f;
}

Responder SentryUps::AsResponder() {
    return [this](const Bytes& request, Fault, Reply& reply) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_silent || request.size() != 1 || request[0] != 0xC0) return false;
        }
        reply.data = Frame();
        return true;
    };
}

// ---------------------------------------------------------------- Smart

SmartUps::SmartUps() {
    const char* const rows[][2] = {
        {"Y", "SM"},    {"C", "031.5"}, {"Q", "08"},    {"g", "024"},   {"B", "27.40"},
        {"f", "100.0"}, {"L", "220.4"}, {"M", "235.0"}, {"N", "196.0"}, {"O", "220.0"},
        {"F", "50.00"}, {"P", "041.0"}, {"j", "0042:"},
    };
    for (const auto& r : rows) m_answers[r[0][0]] = std::string(r[1]) + "\r\n";
}

void SmartUps::SetAnswer(char letter, const std::string& text) { SetRaw(letter, text + "\r\n"); }

void SmartUps::SetRaw(char letter, const std::string& bytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_answers[letter] = bytes;
}

void SmartUps::SetSilent(bool silent) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = silent;
}

std::string SmartUps::Queries() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queries;
}

int SmartUps::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

Responder SmartUps::AsResponder() {
    return [this](const Bytes& request, Fault, Reply& reply) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (request.size() != 1) return false;
        const char letter = (char)request[0];
        m_queries += letter;
        if (letter == 'W') {
            m_commands++;
            return false;
        }
        auto it = m_answers.find(letter);
        if (m_silent || it == m_answers.end() || it->second.empty()) return false;
        reply.data.assign(it->second.begin(), it->second.end());
        return true;
    };
}

// ---------------------------------------------------------------- alarm states

void AlarmSentryUps(SentryUps::Readings& r, int state) {
    if (state != 1) return;
    r.fin = 0;
    r.vbatt = 196;
    r.tem = 45;
}

void AlarmSmartUps(SmartUps& ups, int state) {
    if (state != 1) return;
    const char* const rows[][2] = {
        {"C", "045.5"}, {"Q", "70"},    {"B", "20.10"}, {"f", "012.0"},
        {"L", "000.0"}, {"O", "220.0"}, {"P", "105.0"}, {"j", "0003:"},
    };
    for (const auto& r : rows) ups.SetAnswer(r[0][0], r[1]);
}

}  // namespace qxsim
