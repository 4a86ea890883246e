#include "Site.h"

#include <arpa/inet.h>
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <map>
#include <set>

#include "Text.h"

namespace qxhost {

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return "";
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// ${NAME} from the environment.
bool Expand(const std::string& in, std::string& out, std::string& why) {
    out.clear();
    for (size_t i = 0; i < in.size(); i++) {
        if (in[i] == '$' && i + 1 < in.size() && in[i + 1] == '{') {
            size_t end = in.find('}', i + 2);
            if (end == std::string::npos) {
                why = "unterminated ${ in value";
                return false;
            }
            std::string name = in.substr(i + 2, end - i - 2);
            const char* v = name.empty() ? nullptr : getenv(name.c_str());
            if (!v) {
                why = "environment variable " + (name.empty() ? std::string("(empty name)") : name) +
                      " is not set";
                return false;
            }
            out += v;
            i = end;
        } else {
            out += in[i];
        }
    }
    return true;
}

// The line settings of a serial definition ("ttyS1:9600,N,8,1") that the serial channel
// takes: a speed it knows, parity N, O, E, M or S, 5 to 8 data bits, 1, 1.5 or 2 stop bits.
// The channel would poll with its defaults in place of a setting it does not take, so such
// a definition is refused. Fields left out keep the channel's defaults.
bool SerialSettingsOk(const std::string& def, std::string& why) {
    size_t colon = def.find(':');
    if (colon == std::string::npos) return true;
    std::vector<std::string> fields;
    std::string cur;
    for (size_t i = colon + 1; i <= def.size(); i++) {
        if (i == def.size() || def[i] == ',' || def[i] == ':') {
            fields.push_back(cur);
            cur.clear();
        } else {
            cur += def[i];
        }
    }
    static const char* const speeds[] = {"600",   "1200",  "2400",   "4800",   "9600",
                                         "19200", "38400", "57600", "115200", "230400"};
    static const char* const parities[] = {"N", "O", "E", "M", "S", "n", "o", "e", "m", "s"};
    static const char* const dataBits[] = {"5", "6", "7", "8"};
    static const char* const stopBits[] = {"1", "1.5", "2"};
    struct Field {
        const char* what;
        const char* const* allowed;
        size_t count;
    } const kinds[] = {
        {"speed", speeds, sizeof speeds / sizeof *speeds},
        {"parity", parities, sizeof parities / sizeof *parities},
        {"data bits", dataBits, sizeof dataBits / sizeof *dataBits},
        {"stop bits", stopBits, sizeof stopBits / sizeof *stopBits},
    };
    if (fields.size() > 4) {
        why = "more than speed, parity, data bits and stop bits after ':'";
        return false;
    }
    for (size_t i = 0; i < fields.size(); i++) {
        std::string v = Trim(fields[i]);
        bool ok = v.empty();
        for (size_t k = 0; k < kinds[i].count && !ok; k++) ok = v == kinds[i].allowed[k];
        if (!ok) {
            why = std::string(kinds[i].what) + " '" + (v.size() > 20 ? v.substr(0, 20) + "..." : v) +
                  "' is not one the serial channel takes";
            return false;
        }
    }
    return true;
}

// A network definition the network channel takes: the host, at most 15 characters, is a
// dotted IPv4 address (TCP), 'u' or 'U' and one (UDP to that address), or starts with 'b' or
// 'B' (broadcast); then optionally ':' and a port from 1 to 65535. The channel reads the host
// by its first letter and the port with atoi, so "udp:127.0.0.1" would be UDP to a host "dp"
// at port 127: such a definition is refused rather than polled.
bool NetworkDefinitionOk(const std::string& def, std::string& why) {
    const std::string quoted = "'" + (def.size() > 40 ? def.substr(0, 40) + "..." : def) + "'";
    size_t colon = def.find(':');
    std::string host = def.substr(0, colon);
    bool ok = !host.empty() && host.size() <= 15;
    if (ok) {
        struct in_addr a;
        char first = host[0];
        if (first == 'b' || first == 'B') ok = true;
        else if (first == 'u' || first == 'U') ok = inet_pton(AF_INET, host.c_str() + 1, &a) == 1;
        else ok = inet_pton(AF_INET, host.c_str(), &a) == 1;
    }
    if (!ok) {
        why = "network channel " + quoted + ": host '" + (host.size() > 20 ? host.substr(0, 20) + "..." : host) +
              "' is not one the network channel takes (a dotted IPv4 address, u and one for UDP, "
              "b for broadcast); a point whose handler reaches its device itself takes channel = none";
        return false;
    }
    if (colon == std::string::npos) return true;
    std::string port = def.substr(colon + 1);
    long v = 0;
    ok = !port.empty() && port.size() <= 5;
    for (size_t i = 0; ok && i < port.size(); i++) {
        ok = port[i] >= '0' && port[i] <= '9';
        v = v * 10 + (port[i] - '0');
    }
    if (!ok || v < 1 || v > 65535) {
        why = "network channel " + quoted + ": port '" + (port.size() > 20 ? port.substr(0, 20) + "..." : port) +
              "' is not a number from 1 to 65535";
        return false;
    }
    return true;
}

struct Parser {
    const std::string& source;
    std::string& error;

    bool Fail(int line, const std::string& why) {
        error = source + ":" + std::to_string(line) + ": " + why;
        return false;
    }
};

}  // namespace

// A decimal or 0x-hexadecimal integer of 32 bits, optionally signed; a leading zero does not
// make it octal.
bool ParseInt(const std::string& text, int& value) {
    const char* p = text.c_str();
    bool neg = false;
    if (*p == '+' || *p == '-') neg = *p++ == '-';
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    if (!*p) return false;
    long long v = 0;
    for (; *p; p++) {
        int d;
        if (*p >= '0' && *p <= '9') d = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f') d = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F') d = *p - 'A' + 10;
        else return false;
        v = v * base + d;
        if (v > 0xFFFFFFFFLL) return false;
    }
    if (neg) v = -v;
    // Hexadecimal codes may use all 32 bits (0xFFFFFFFF is -1); decimals must fit an int.
    if (base == 16 && !neg && v > INT_MAX) v -= 0x100000000LL;
    if (v < INT_MIN || v > INT_MAX) return false;
    value = (int)v;
    return true;
}

bool ParseSite(const std::string& text, const std::string& source, std::vector<SitePoint>& points,
               std::string& error) {
    Parser P{source, error};
    points.clear();
    std::set<std::string> labels;
    std::map<std::string, int> keys;   // keys seen in the current section, and their lines
    std::set<int> sids;
    SitePoint* cur = nullptr;

    // The line of a key of the current section, else of its header.
    auto lineOf = [&](SitePoint* p, const char* key) {
        auto k = keys.find(key);
        return k != keys.end() ? k->second : p->line;
    };
    auto finish = [&](SitePoint* p) -> bool {
        if (!p) return true;
        static const char* const required[] = {"sid", "type", "channel", "chtype"};
        for (const char* k : required)
            if (!keys.count(k) && !(p->noChannel && !strcmp(k, "chtype")))
                return P.Fail(p->line, "point [" + p->label + "] lacks the key " + k);
        if (p->noChannel && keys.count("chtype"))
            return P.Fail(lineOf(p, "chtype"), "point [" + p->label + "]: channel none takes no chtype");
        if (!sids.insert(p->sid).second)
            return P.Fail(p->line, "point [" + p->label + "]: sid " + std::to_string(p->sid) +
                                       " is used by another point");
        if (p->name.empty()) p->name = p->label;
        // The point record's texts are fixed fields: refuse what would be cut.
        if (!Utf8ToGbk(p->name, p->nameGbk))
            return P.Fail(lineOf(p, "name"), "point [" + p->label + "]: the name is not UTF-8 text that GBK can hold");
        if (p->nameGbk.size() > 31)
            return P.Fail(lineOf(p, "name"), "point [" + p->label + "]: the name takes " +
                                                 std::to_string(p->nameGbk.size()) + " bytes in GBK, at most 31");
        if (p->host.size() > 35)
            return P.Fail(lineOf(p, "host"), "point [" + p->label + "]: host is longer than 35 characters");
        if (p->addrText.size() > 63)
            return P.Fail(lineOf(p, "addrtext"), "point [" + p->label + "]: addrtext holds at most 63 characters");
        if (p->noChannel) return true;
        const bool network = (p->chtype & 0xF00000) == 0x200000;
        if (network && p->channel.size() > 63)
            return P.Fail(lineOf(p, "channel"),
                          "point [" + p->label + "]: a network definition holds at most 63 characters");
        std::string why;
        if (network && !NetworkDefinitionOk(p->channel, why))
            return P.Fail(lineOf(p, "channel"), "point [" + p->label + "]: " + why);
        if ((p->chtype & 0xF00000) == 0x100000 && !SerialSettingsOk(p->channel, why))
            return P.Fail(lineOf(p, "channel"), "point [" + p->label + "]: serial channel " + why);
        return true;
    };

    int lineNo = 0;
    size_t pos = 0;
    // A UTF-8 byte-order mark, as some editors write one, is not part of the first line.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) pos = 3;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        std::string raw = text.substr(pos, nl - pos);
        pos = nl + 1;
        lineNo++;
        if (raw.find('\0') != std::string::npos) return P.Fail(lineNo, "NUL byte in the file");
        std::string line = Trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            if (nl == text.size()) break;
            continue;
        }
        if (line[0] == '[') {
            size_t close = line.find(']');
            if (close == std::string::npos) return P.Fail(lineNo, "section header without ']'");
            std::string rest = Trim(line.substr(close + 1));
            if (!rest.empty() && rest[0] != ';' && rest[0] != '#')
                return P.Fail(lineNo, "text after the section header");
            if (!finish(cur)) return false;
            std::string label = Trim(line.substr(1, close - 1));
            if (label.empty()) return P.Fail(lineNo, "empty section name");
            if (!labels.insert(label).second) return P.Fail(lineNo, "section [" + label + "] appears twice");
            points.emplace_back();
            cur = &points.back();
            cur->label = label;
            cur->line = lineNo;
            keys.clear();
        } else {
            size_t eq = line.find('=');
            if (eq == std::string::npos) return P.Fail(lineNo, "expected 'key = value'");
            if (!cur) return P.Fail(lineNo, "key outside a [point] section");
            std::string key = Trim(line.substr(0, eq));
            for (char& c : key) c = (char)tolower((unsigned char)c);
            std::string value;
            std::string why;
            if (!Expand(Trim(line.substr(eq + 1)), value, why)) return P.Fail(lineNo, why);
            if (key.empty()) return P.Fail(lineNo, "empty key");
            if (!keys.emplace(key, lineNo).second) return P.Fail(lineNo, "key " + key + " given twice");

            struct IntKey {
                const char* name;
                int SitePoint::*field;
                int min;
            } static const ints[] = {
                {"sid", &SitePoint::sid, 1},          {"type", &SitePoint::type, 1},
                {"chtype", &SitePoint::chtype, 0},    {"addr", &SitePoint::addr, 0},
                {"variant", &SitePoint::variant, INT_MIN}, {"ext1", &SitePoint::ext1, INT_MIN},
                {"ext2", &SitePoint::ext2, INT_MIN},  {"wait", &SitePoint::wait, INT_MIN},
            };
            bool done = false;
            for (const IntKey& k : ints) {
                if (key != k.name) continue;
                int v;
                if (!ParseInt(value, v)) return P.Fail(lineNo, key + ": '" + value + "' is not an integer");
                if (v < k.min)
                    return P.Fail(lineNo, key + ": " + value + " is below " + std::to_string(k.min));
                cur->*k.field = v;
                done = true;
            }
            if (done) continue;
            if (key == "channel") {
                if (value.empty()) return P.Fail(lineNo, "channel: empty definition");
                cur->channel = value;
                cur->noChannel = value == "none";
            } else if (key == "name") {
                cur->name = value;
            } else if (key == "host") {
                cur->host = value;
            } else if (key == "addrtext") {
                cur->addrText = value;
            } else if (key == "timeout") {
                size_t comma = value.find(',');
                int a, b;
                if (comma == std::string::npos || !ParseInt(Trim(value.substr(0, comma)), a) ||
                    !ParseInt(Trim(value.substr(comma + 1)), b) || a < 0 || b < 0)
                    return P.Fail(lineNo, "timeout: expected 'ms per byte, fixed ms', got '" + value + "'");
                // A poll must never hold the host for minutes.
                if (a > kMaxTimeoutMs || b > kMaxTimeoutMs)
                    return P.Fail(lineNo, "timeout: at most " + std::to_string(kMaxTimeoutMs) +
                                              " ms per value, got '" + value + "'");
                cur->hasTimeout = true;
                cur->timeoutPerByte = a;
                cur->timeoutFixed = b;
            } else if (key == "show") {
                size_t i = 0;
                while (i < value.size()) {
                    size_t b = value.find_first_not_of(" \t", i);
                    if (b == std::string::npos) break;
                    size_t e = value.find_first_of(" \t", b);
                    if (e == std::string::npos) e = value.size();
                    std::string ref = value.substr(b, e - b);
                    if (ref[0] != '.') return P.Fail(lineNo, "show: '" + ref + "' is not a .field reference");
                    cur->show.push_back(ref);
                    i = e;
                }
            } else {
                return P.Fail(lineNo, "unknown key '" + key + "'");
            }
        }
        if (nl == text.size()) break;
    }
    if (!finish(cur)) return false;
    if (points.empty()) return P.Fail(lineNo, "no point: the site names no [section]");
    return true;
}

bool LoadSite(const std::string& path, std::vector<SitePoint>& points, std::string& error) {
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) {
        error = path + ": " + strerror(errno);
        return false;
    }
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) {
        text.append(buf, n);
        if (text.size() > (1u << 20)) {
            fclose(f);
            error = path + ": larger than 1 MiB, not a site file";
            return false;
        }
    }
    bool readErr = ferror(f);
    fclose(f);
    if (readErr) {
        error = path + ": read error";
        return false;
    }
    return ParseSite(text, path, points, error);
}

}  // namespace qxhost
