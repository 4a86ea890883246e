#pragma once
// Single-phase UPS models of small protocols, for tests and the simulator program. Each is
// a responder for a transport (PtySim) and knows nothing of it; the transport's generic
// faults (silence, short, garbage, split, bad check) come on top, from Device::InjectFault.
//
//   qxsim::SentryUps sentry;                      // one request byte C0, binary reply
//   qxsim::PtySim pty;
//   pty.SetFramer(qxsim::FrameByLength(1));
//   pty.SetResponder(sentry.AsResponder());
//
//   qxsim::SmartUps smart;                        // one-letter queries, CR LF answers
//   pty.SetFramer(qxsim::FrameByLength(1));
//   pty.SetResponder(smart.AsResponder());
//   smart.SetAnswer('P', "041.0");
//
// The NMYG "RS"/"RD"/"RN" lines are a dialect of Q1Ups; the Link UPS is a register map on a
// ModbusSlave (ModbusMaps.h).
#include <stdint.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SimDevice.h"

namespace qxsim {

// Answers the byte C0 with a binary frame: 'g' at offset 1, the input frequency (41-42, low
// byte first), battery voltage (43-44, high byte first), temperature (48), output voltages
// (59-61) and output frequency (68-69, low byte first). Other request bytes go unanswered.
class SentryUps {
public:
    struct Readings {
        uint16_t fin = 500;    // tenths of a hertz; 0 is a mains failure
        uint16_t vbatt = 270;
        uint8_t tem = 31;
        uint8_t vout[3] = {220, 221, 219};
        uint16_t fout = 500;
        size_t length = 80;    // bytes of the frame (at least 70 carry every field)
        uint8_t mark = 'g';    // byte 1
    };

    void Set(const Readings& r);
    Readings Get() const;
    void SetSilent(bool silent);
    Bytes Frame() const;
    Responder AsResponder();

private:
    mutable std::mutex m_mutex;
    Readings m_r;
    bool m_silent = false;
};

// The Sentry in trouble (state 1): on battery, the mains gone (input frequency 0, which is
// how the unit tells a mains failure), the battery run down and the unit warm.
void AlarmSentryUps(SentryUps::Readings& r, int state);

// Answers each query letter with its text and CR LF; "W" is a command without an answer.
// Letters without an answer go unanswered.
class SmartUps {
public:
    SmartUps();  // a healthy unit on mains: "SM", 31.5 C, status 08, ...

    void SetAnswer(char letter, const std::string& text);  // the text before CR LF
    void SetRaw(char letter, const std::string& bytes);    // the whole answer, as sent
    void SetSilent(bool silent);
    std::string Queries() const;                           // every letter received, in order
    int Commands() const;                                  // "W" received
    Responder AsResponder();

private:
    mutable std::mutex m_mutex;
    std::map<char, std::string> m_answers;
    std::string m_queries;
    int m_commands = 0;
    bool m_silent = false;
};

// The Smart unit in trouble (state 1): on battery with its battery low and its output
// overloaded (status 70: bits 6, 5 and 4), no input voltage, the battery nearly empty.
void AlarmSmartUps(SmartUps& ups, int state);

}  // namespace qxsim
