#pragma once
// A UPS of the Q1 family as the device sees it: one ASCII request per line (ended by CR,
// an LF after it is ignored), one reply per request. The replies are plain texts that a test
// sets as it likes; a request without a reply is met with silence.
//
//   qxsim::Q1Ups ups(qxsim::Q1Ups::kEast);
//   qxsim::PtySim pty;
//   pty.SetFramer(qxsim::FrameByTerminator('\r'));
//   pty.SetResponder(ups.AsResponder());
//   ups.SetReply("G1", "!000 095 045 2.5 000 000 000 50.1\r");
//
// Served from a transport's thread, the device is used through the locked calls (SetReply,
// SetSilent, Requests, Commands); a test that drives Feed itself may use the members.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SimDevice.h"

namespace qxsim {

class Q1Ups {
public:
    enum Dialect {
        kDefault,  // Q1/Q6/QGS status, Q2, F, I
        kEast,     // Q1 status, G1, G3, F, I
        kGxgd,     // Q1/Q6 status only
        kSantak,   // Q2, Q6 with WA, Q3GS, QA long status lines
        kNmyg,     // RS alarm flags, RD thirteen readings, RN
    };
    explicit Q1Ups(Dialect dialect = kDefault);

    // The request line (without CR/LF) → reply. Preset per dialect; tests change them.
    std::map<std::string, std::string> replies;
    // Commands the device accepts without a reply: "Q", "T", "Tnn", "TL", "CT".
    std::vector<std::string> commands;  // those received, in order
    std::vector<std::string> requests;  // every line received, in order
    bool silent = false;                // answers nothing at all

    // Feeds received bytes; returns the replies of the requests they complete.
    std::string Feed(const std::string& bytes);

    // The device behind a transport (PtySim): each framed request is fed, its reply sent.
    Responder AsResponder();
    void SetReply(const std::string& request, const std::string& reply);
    void SetSilent(bool silent);
    std::vector<std::string> Requests() const;
    std::vector<std::string> Commands() const;
    // The reply to one request line ("" for none).
    std::string Answer(const std::string& line);

    // An "I" reply: '#', maker (15), blank, model (10), blank, version (10), CR.
    static std::string Ident(const std::string& maker, const std::string& model,
                             const std::string& version);

private:
    mutable std::mutex m_mutex;
    std::string m_pending;
};

// The figures of a Q1 status reply, "(MMM.M NNN.N PPP.P QQQ RR.R S.SS TT.T b7b6b5b4b3b2b1b0\r":
// input voltage, input fault voltage, output voltage, load in per cent, frequency, battery
// voltage per cell, temperature and the eight status bits (b7 mains failed, b6 battery low,
// b5 on bypass, b4 UPS failed, b3 standby type, b2 testing, b1 shutting down, b0 beeper on).
// The defaults are the standby unit on mains at rest.
struct Q1Status {
    double vin = 230.0, vfault = 0.0, vout = 229.5;
    int load = 12;
    double hz = 50.0, vcell = 2.25, tem = 30.0;
    std::string bits = "00001000";
    std::string Text() const;  // the reply, CR included
};
// The unit in trouble: state 1 on battery with its battery low (mains gone, the cells run
// down, the beeper on), state 2 failed over to its bypass (mains present, the beeper on).
void AlarmQ1Status(Q1Status& s, int state);

// The NMYG dialect in trouble: state 1 on battery with its battery low (flags mains failure,
// battery low and discharging; no input on any phase), state 2 failed over to its bypass
// (flags fault and bypass, mains present).
void AlarmNmygUps(Q1Ups& ups, int state);

}  // namespace qxsim
