#include "Q1Ups.h"

#include <ctype.h>
#include <stdio.h>

namespace qxsim {

namespace {

std::string Pad(const std::string& s, size_t n) {
    std::string t = s.substr(0, n);
    t.resize(n, ' ');
    return t;
}

bool IsCommand(const std::string& line) {
    if (line == "Q" || line == "T" || line == "TL" || line == "CT") return true;
    return line.size() == 3 && line[0] == 'T' && isdigit((unsigned char)line[1]) &&
           isdigit((unsigned char)line[2]);
}

}  // namespace

Q1Ups::Q1Ups(Dialect dialect) {
    switch (dialect) {
    case kDefault:
        replies["Q1"] = "(230.0 000.0 229.5 012 50.0 2.25 30.0 00001001\r";
        replies["Q6"] = replies["Q1"];
        replies["QGS"] = "(231.0 50.1 229.0 50.0 000.0 015 000.0 000.0 2.27 000.0 31.0 HL00000000\r";
        replies["Q2"] = "(230.0 231.5 232.0\r";
        replies["F"] = "#220.0 004 024.0 50.0\r";
        replies["I"] = Ident("ACME POWER", "QX-1000", "V2.10");
        break;
    case kEast:
        replies["Q1"] = "(230.0 000.0 229.5 012 50.0 27.5 30.0 00000000\r";
        replies["G1"] = "!000 095 045 2.5 000 000 000 50.1\r";
        replies["G3"] = "!000 231.0 232.0 1.0 2.0 3.0 000 000 000 000 000 035\r";
        replies["F"] = "#220.0 004 024.0 50.0\r";
        replies["I"] = Ident("EAST", "EA8610", "V1.0");
        break;
    case kGxgd:
        replies["Q1"] = "(230.0 000.0 230.0 012 50.0 2.25 30.0 00000001\r";
        replies["Q6"] = replies["Q1"];
        break;
    case kSantak:
        // Every token ends in a blank but the status closing a Q3GS line.
        replies["Q2"] =
            "(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 30.0 00001000 01.2 100 \r";
        replies["Q6"] = "(220.0 221.0 219.0 50.0 220.0 000.0 000.0 50 012 040 000 27.4 000 045 100 \r";
        replies["WA"] = "(231.0 232.0 00010000\r";
        replies["Q3GS"] =
            "(220.0 221.0 219.0 50.0 220.0 000.0 000.0 50 012 040 000 1 2 3 27.4 0 00001001\r";
        replies["QA"] =
            "(220.0 221.0 219.0 000.0 220.0 000.0 000.0 012 040 000 50.0 27.4 1 2 00001000 01.2 100 \r";
        break;
    case kNmyg:
        // Flags: fault, bypass, mains failure, battery low, discharging.
        replies["RS"] = "(0 0 0 0 0\r";
        // Input A B C, output A B C, load A B C, temperature, input frequency, battery
        // voltage, thirteenth value.
        replies["RD"] = "(220.1 221.0 219.8 220.0 220.2 219.9 35.0 30.1 28.7 26.5 50.0 272.0 45.0\r";
        replies["RN"] = "(0\r";
        break;
    }
}

std::string Q1Ups::Ident(const std::string& maker, const std::string& model,
                         const std::string& version) {
    return "#" + Pad(maker, 15) + " " + Pad(model, 10) + " " + Pad(version, 10) + "\r";
}

std::string Q1Ups::Answer(const std::string& line) {
    requests.push_back(line);
    if (IsCommand(line)) {
        commands.push_back(line);
        return "";
    }
    if (silent) return "";
    auto it = replies.find(line);
    return it == replies.end() ? "" : it->second;
}

std::string Q1Ups::Feed(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\n' && m_pending.empty()) continue;  // the LF of a CR LF pair
        if (c != '\r') {
            m_pending.push_back(c);
            continue;
        }
        out += Answer(m_pending);
        m_pending.clear();
    }
    return out;
}

}  // namespace qxsim

namespace qxsim {

Responder Q1Ups::AsResponder() {
    return [this](const Bytes& request, Fault, Reply& reply) {
        std::string answer;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            answer = Feed(std::string(request.begin(), request.end()));
        }
        if (answer.empty()) return false;
        reply.data.assign(answer.begin(), answer.end());
        return true;
    };
}

void Q1Ups::SetReply(const std::string& request, const std::string& reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    replies[request] = reply;
}

void Q1Ups::SetSilent(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    silent = on;
}

std::vector<std::string> Q1Ups::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return requests;
}

std::vector<std::string> Q1Ups::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return commands;
}

}  // namespace qxsim

namespace qxsim {

std::string Q1Status::Text() const {
    char reply[96];
    snprintf(reply, sizeof reply, "(%05.1f %05.1f %05.1f %03d %04.1f %4.2f %04.1f %.8s\r", vin, vfault,
             vout, load, hz, vcell, tem, bits.c_str());
    return reply;
}

void AlarmQ1Status(Q1Status& s, int state) {
    if (state == 1) {
        s.vin = 0.0;
        s.vfault = 0.0;
        s.vout = 220.0;
        s.load = 45;
        s.vcell = 1.75;
        s.tem = 42.0;
        s.bits = "11001001";
    } else if (state == 2) {
        s.vout = s.vin;
        s.load = 95;
        s.tem = 45.0;
        s.bits = "00111001";
    }
}

void AlarmNmygUps(Q1Ups& ups, int state) {
    if (state == 1) {
        // Flags: fault, bypass, mains failure, battery low, discharging.
        ups.SetReply("RS", "(0 0 1 1 1\r");
        ups.SetReply("RD", "(0.0 0.0 0.0 220.0 220.2 219.9 48.0 46.5 47.1 31.5 0.0 192.0 3.0\r");
    } else if (state == 2) {
        ups.SetReply("RS", "(1 1 0 0 0\r");
        ups.SetReply("RD", "(220.1 221.0 219.8 220.1 221.0 219.8 35.0 30.1 28.7 33.5 50.0 272.0 45.0\r");
    }
}

}  // namespace qxsim
