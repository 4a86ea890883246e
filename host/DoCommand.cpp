#include "DoCommand.h"

#include <string.h>

#include "Site.h"
#include "Text.h"

namespace qxhost {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool ParseData(const std::string& d, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    if (d.compare(0, 4, "int:") == 0) {
        int v;
        if (!ParseInt(d.substr(4), v)) {
            error = "'" + d.substr(4) + "' after int: is not a 32-bit integer";
            return false;
        }
        out.resize(sizeof v);
        memcpy(out.data(), &v, sizeof v);
        return true;
    }
    if (d.compare(0, 4, "hex:") == 0) {
        const std::string h = d.substr(4);
        for (size_t i = 0; i < h.size();) {
            if (h[i] == ' ') {
                i++;
                continue;
            }
            int hi = HexDigit(h[i]), lo = i + 1 < h.size() ? HexDigit(h[i + 1]) : -1;
            if (hi < 0 || lo < 0) {
                error = "hex: takes pairs of hex digits, not '" + h + "'";
                return false;
            }
            out.push_back((uint8_t)(hi << 4 | lo));
            i += 2;
        }
        if (out.empty()) {
            error = "hex: names no byte";
            return false;
        }
        return true;
    }
    if (d.compare(0, 5, "text:") == 0) {
        std::string gbk;
        if (!Utf8ToGbk(d.substr(5), gbk)) {
            error = "the text after text: is not UTF-8 that GBK can hold";
            return false;
        }
        out.assign(gbk.begin(), gbk.end());
        return true;
    }
    error = "data '" + d + "' is not int:N, hex:BYTES or text:TEXT";
    return false;
}

}  // namespace

bool ParseDoCommand(const std::string& arg, DoCommand& out, std::string& error) {
    out = DoCommand();
    out.text = arg;
    size_t c1 = arg.find(':');
    size_t c2 = c1 == std::string::npos ? std::string::npos : arg.find(':', c1 + 1);
    if (c1 == std::string::npos) {
        error = "expected SID:CMD[:DATA]";
        return false;
    }
    const std::string sid = arg.substr(0, c1);
    const std::string cmd = arg.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1);
    if (!ParseInt(sid, out.sid) || out.sid < 1) {
        error = "'" + sid + "' is not a sid (an integer above 0)";
        return false;
    }
    if (!ParseInt(cmd, out.command)) {
        error = "'" + cmd + "' is not a command code (a 32-bit integer)";
        return false;
    }
    if (c2 == std::string::npos) return true;
    out.hasData = true;
    out.dataText = arg.substr(c2 + 1);
    if (!ParseData(out.dataText, out.data, error)) return false;
    if (out.data.size() > kMaxDoData) {
        error = "data of " + std::to_string(out.data.size()) + " bytes, at most " + std::to_string(kMaxDoData);
        return false;
    }
    return true;
}

}  // namespace qxhost
