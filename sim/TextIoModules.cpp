#include "TextIoModules.h"

#include <stdio.h>
#include <string.h>

namespace qxsim {

namespace {
std::string Hex2(unsigned v) {
    char b[4];
    snprintf(b, sizeof(b), "%02X", v & 0xFF);
    return b;
}
std::string HexN(unsigned v, int digits, bool lower = false) {
    char b[12];
    snprintf(b, sizeof(b), lower ? "%0*x" : "%0*X", digits, v);
    return std::string(b).substr(strlen(b) - (size_t)digits);
}
}  // namespace

void AlarmKw7(Kw7Points& m, int state) {
    if (!state) return;
    const int ins = m.ins < 0 ? 0 : m.ins > 16 ? 16 : m.ins;
    m.inputs = (uint16_t)((1u << ins) - 1);
}

void AlarmBleTags(BleTags& m, int state) {
    if (!state) return;
    for (BleTagReading& t : m.tags) t.r = 677;
}

void Kw7Module::SetPoints(uint16_t inputs, uint16_t outputs) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inputs = inputs;
    m_outputs = outputs;
}

void Kw7Module::SetLayout(int inDigits, int outDigits) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inDigits = inDigits;
    m_outDigits = outDigits;
}

void Kw7Module::SetConfig(const std::string& six) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_config = six.substr(0, 6);
}

void Kw7Module::SetMalformed(Malformed m) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_malformed = m;
}

uint8_t Kw7Module::Address() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_address;
}

uint16_t Kw7Module::Outputs() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outputs;
}

std::vector<std::string> Kw7Module::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

std::string Kw7Module::Answer(const std::string& request) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::string line = request;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    m_commands.push_back(line);
    const std::string aa = Hex2(m_address);
    if (line.size() < 4 || line.compare(1, 2, aa) != 0) return "";  // another module's
    std::string body = line.substr(3);
    std::string answer;
    switch (line[0]) {
    case '$':
        if (body == "6") {
            answer = m_inDigits == 0
                         ? "!" + HexN(m_outputs, 4) + HexN(m_inputs, 4)
                         : "!" + HexN(m_inputs, m_inDigits) + HexN(m_outputs, m_outDigits);
        } else if (body == "2") {
            answer = "!" + aa + m_config;
        }
        break;
    case '%':
        if (body.size() == 8) {
            unsigned nn = 0;
            if (sscanf(body.substr(0, 2).c_str(), "%2X", &nn) != 1) return "";
            m_address = (uint8_t)nn;
            m_config = body.substr(2);
            answer = "!" + Hex2(nn);
        }
        break;
    case '#':
        if (body.size() == 4 && (body[0] == 'A' || body[0] == 'B') && body[1] >= '0' &&
            body[1] <= '7' && (body.substr(2) == "01" || body.substr(2) == "00")) {
            int c = body[1] - '0' + (body[0] == 'B' ? 8 : 0);
            if (body[3] == '1') m_outputs |= (uint16_t)(1u << c);
            else m_outputs &= (uint16_t)~(1u << c);
            answer = ">";
        }
        break;
    case '~':
        if (body == "1" || (body.size() == 4 && body.compare(0, 2, "31") == 0)) answer = "!" + aa;
        break;
    default:
        break;
    }
    if (answer.empty()) return "";
    switch (m_malformed) {
    case Malformed::NoBang: answer[0] = '?'; break;
    case Malformed::BadDigit:
        if (answer.size() > 2) answer[2] = 'G';
        break;
    case Malformed::Unframed: answer = answer.substr(1); return answer;
    case Malformed::NoCr: return answer;
    default: break;
    }
    return answer + "\r";
}

void Kw7Module::Serve(Device& device) {
    device.SetFramer(FrameByTerminator('\r'));
    device.SetResponder([this](const Bytes& request, Fault, Reply& reply) {
        std::string a = Answer(std::string(request.begin(), request.end()));
        if (a.empty()) return false;
        reply.data.assign(a.begin(), a.end());
        return true;
    });
}

void BleScanner::SetTag(const std::string& address, uint16_t r, uint16_t g, bool lowerCase) {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Tag& t : m_tags)
        if (t.address == address) {
            t = Tag{address, r, g, lowerCase};
            return;
        }
    m_tags.push_back(Tag{address, r, g, lowerCase});
}

void BleScanner::ClearTags() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tags.clear();
}

void BleScanner::SetSetupReply(const std::string& reply) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_setup = reply;
}

void BleScanner::SetConfirm(bool confirm) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_confirm = confirm;
}

void BleScanner::SetCutLastRecord(bool cut) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_cut = cut;
}

void BleScanner::SetRotating(bool rotating) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rotating = rotating;
    m_first = 0;
}

std::vector<std::string> BleScanner::Commands() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

std::string BleScanner::Record(const std::string& address, uint16_t r, uint16_t g, bool lower) {
    // A broadcast as the module prints it: maker data, the readings, RSSI, the address.
    std::string body(70, '0');
    body.replace(0, 8, "4C000215");
    body[8] = ':';
    body.replace(42, 4, HexN(r, 4, lower));
    body.replace(46, 4, HexN(g, 4, lower));
    body.replace(50, 3, "C5:");
    body.replace(53, 12, address.substr(0, 12));
    body.replace(65, 5, ":-061");
    return body;
}

std::string BleScanner::Answer(const std::string& command) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_commands.push_back(command);
    if (command == "AT+IMME1" || command == "AT+ROLE1") return m_setup;
    if (command == "AT") return "OK";
    if (command != "AT+DISI?") return "";
    if (!m_confirm) return "OK+DISIE";
    std::string a = "OK+DISIS";
    const size_t n = m_tags.size(), first = m_rotating && n ? m_first % n : 0;
    if (m_rotating) m_first = first + 1;
    for (size_t i = 0; i < n; i++) {
        const Tag& t = m_tags[(first + i) % n];
        std::string rec = Record(t.address, t.r, t.g, t.lower);
        if (m_cut && i + 1 == n) return a + "OK+DISC:" + rec.substr(0, 40);
        a += "OK+DISC:" + rec;
    }
    return a + "OK+DISCE";
}

void BleScanner::Serve(Device& device) {
    // Commands have no line end: each one is what arrives before the line goes quiet.
    device.SetFramer(nullptr);
    device.SetResponder([this](const Bytes& request, Fault, Reply& reply) {
        std::string a = Answer(std::string(request.begin(), request.end()));
        if (a.empty()) return false;
        reply.data.assign(a.begin(), a.end());
        return true;
    });
}

}  // namespace qxsim
