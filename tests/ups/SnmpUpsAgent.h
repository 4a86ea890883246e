#pragma once
// The SNMP agents of the SNMP UPS and air-conditioner tests. Their handlers always ask port 161,
// so the test process runs in a network namespace of its own (support/NetNamespace.h) with
// net-snmp's snmpd on 127.0.0.1:161 serving kObjects, the scripted agent on 127.0.0.2:161
// where a fault is needed, and nothing on 127.0.0.9 (an unreachable UPS).
#include <stdio.h>

#include <map>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "support/SnmpScriptAgent.h"
#include "support/SnmpdAgent.h"

namespace snmpups {

inline std::string& NoNamespace() {
    static std::string why = "not set up";
    return why;
}

// Skips without a namespace or snmpd; fails where snmpd (started once) did not come up.
#define REQUIRE_AGENTS_ON_161()                                                                 \
    do {                                                                                        \
        if (!snmpups::NoNamespace().empty())                                                    \
            GTEST_SKIP() << "needs a network namespace of its own (unshare -rn): "             \
                         << snmpups::NoNamespace();                                             \
        if (qxtest::SnmpdAgent::Program().empty()) GTEST_SKIP() << "snmpd is not installed";   \
        std::string snmpdWhy;                                                                   \
        snmpups::Snmpd(&snmpdWhy);                                                              \
        ASSERT_TRUE(snmpdWhy.empty()) << snmpdWhy;                                              \
    } while (0)

// Address texts: four characters not read, the host, fields that are not used.
constexpr const char* kLive = "udp:127.0.0.1:1161:x";
constexpr const char* kScripted = "udp:127.0.0.2:1161:x";
constexpr const char* kDead = "udp:127.0.0.9:1161:x";
constexpr uint32_t kScriptedAddress = 0x7F000002;

// One object of the agents: an integer, or an octet string when text is set.
struct Object {
    std::string oid;
    int value;
    const char* text = nullptr;
};

inline std::string Num(const char* prefix, int a) { return std::string(prefix) + std::to_string(a); }
inline std::string Row(const char* entry, int column, int row) {
    return std::string(entry) + "." + std::to_string(column) + "." + std::to_string(row);
}

#define WEBPOW ".1.3.6.1.4.1.2468.1.2.1.1."
#define APC ".1.3.6.1.4.1.318.1.1.1."
#define ZH1 ".1.3.6.1.4.1.30966.1."
#define ZH2 ".1.3.6.1.4.1.45514.2."
#define MGE ".1.3.6.1.4.1.705.1."
#define ITA16 ".1.3.6.1.4.1.13400.2.27.2."
#define ITA05 ".1.3.6.1.4.1.13400.2.16.2."
#define PEX ".1.3.6.1.4.1.476.1.42.3.4."

// The first Zh20kl set in request order (values 100 + index), and the second (400 + index).
inline const std::vector<std::string>& Zh1Values() {
    static const std::vector<std::string> v = {
        "2.1.0", "2.4.0", "2.5.0", "2.8.0", "2.9.0", "2.12.0", "4.1.0", "4.2.0", "4.3.0",
        "4.4.0", "4.5.0", "4.6.0", "4.7.0", "4.8.0", "4.9.0", "9.1.0", "9.2.0", "9.3.0",
        "9.4.0", "9.5.0", "9.6.0", "3.1.0", "3.2.0", "3.3.0", "3.4.0"};
    return v;
}
inline const std::vector<std::string>& Zh2Values() {
    static const std::vector<std::string> v = {
        "2.1.0", "2.2.0", "2.3.0", "2.7.0", "2.8.0", "2.9.0", "2.12.0", "6.1.0", "6.2.0",
        "6.3.0", "6.7.0", "6.8.0", "6.9.0", "6.13.0", "6.14.0", "6.15.0", "6.12.0", "4.1.0",
        "4.2.0", "4.3.0", "4.7.0", "4.8.0", "4.9.0", "4.12.0", "8.1.0", "8.3.0", "8.4.0",
        "12.4.0"};
    return v;
}
inline const std::vector<std::string>& Zh2Flags() {
    static const std::vector<std::string> v = {
        "3.1.0", "9.1.0", "9.4.0", "9.5.0", "12.1.0", "12.5.0", "5.1.0", "7.4.0",
        "7.1.0", "7.2.0", "7.3.0", "10.1.0", "11.1.0", "11.2.0", "11.3.0"};
    return v;
}
// PeX field n (1..26) and its object.
inline const std::vector<std::string>& PexObjects() {
    static const std::vector<std::string> v = {
        "1.3.3.1.3.1", "1.3.1.0", "1.3.2.0", "1.3.4.0", "2.2.3.1.3.1", "2.2.1.0", "2.2.2.0",
        "2.2.4.0", "1.3.3.1.4.1", "1.3.3.1.5.1", "2.2.3.1.4.1", "2.2.3.1.5.1", "3.1.0",
        "3.2.0", "3.4.0", "3.5.0", "3.7.0", "3.21.0", "3.14.0", "3.15.0", "3.9.0", "3.10.0",
        "3.16.0", "3.17.0", "3.18.0", "3.19.0"};
    return v;
}

// Every object of every driver. Table cells hold 1000s + column * 100 + row so that each one
// shows where it went.
inline std::vector<Object> Objects() {
    std::vector<Object> o;
    // Webpow: input table rows 1..4 (row 4 is no phase), output table rows 1..12 (more than
    // ten rows of one table), bypass table; no Vdc object (2.1.0).
    for (int c = 2; c <= 7; c++)
        for (int r = 1; r <= 4; r++) o.push_back({Row(WEBPOW "3.3.1", c, r), c * 100 + r});
    for (int c = 2; c <= 5; c++)
        for (int r = 1; r <= 12; r++) o.push_back({Row(WEBPOW "4.4.1", c, r), 2000 + c * 100 + r});
    for (int c = 2; c <= 3; c++)
        for (int r = 1; r <= 3; r++) o.push_back({Row(WEBPOW "5.3.1", c, r), 3000 + c * 100 + r});
    o.push_back({WEBPOW "2.4.0", 95});
    o.push_back({WEBPOW "2.7.0", 31});
    o.push_back({WEBPOW "2.3.0", 40});
    o.push_back({WEBPOW "2.5.0", 2700});
    o.push_back({WEBPOW "4.2.0", 50});
    o.push_back({WEBPOW "5.1.0", 499});
    // PowerNet and PowerNet3 scalars; the state integer does not fit 8 bits.
    const std::pair<const char*, int> apc[] = {
        {"3.2.1.0", 231}, {"3.2.2.0", 232}, {"3.2.3.0", 233}, {"3.2.4.0", 50}, {"3.2.5.0", 7},
        {"2.2.1.0", 98},  {"2.2.2.0", 30},  {"2.2.3.0", 45},  {"2.2.7.0", 220}, {"2.2.8.0", 27},
        {"4.2.1.0", 229}, {"4.2.2.0", 49},  {"4.2.3.0", 35},  {"4.2.4.0", 12},  {"4.2.8.0", 8},
        {"4.2.11.0", 9},  {"4.2.12.0", 10}, {"11.1.1.0", 511},
    };
    for (auto& a : apc) o.push_back({std::string(APC) + a.first, a.second});
    // PowerNet3 phase tables: input rows 1..4, output rows 1..3.
    for (int c = 1; c <= 9; c++)
        for (int r = 1; r <= 4; r++) o.push_back({Row(APC "9.2.3.1", c, r), 5000 + c * 100 + r});
    for (int c = 1; c <= 16; c++)
        for (int r = 1; r <= 3; r++) o.push_back({Row(APC "9.3.3.1", c, r), 6000 + c * 100 + r});
    // Zh20kl: first set with flags 8.1 and 8.4 set; second set with flag values 1, 2 and -1.
    for (size_t i = 0; i < Zh1Values().size(); i++)
        o.push_back({std::string(ZH1) + Zh1Values()[i], 100 + (int)i});
    for (int k = 1; k <= 10; k++) o.push_back({Num(ZH1 "8.", k) + ".0", k == 1 || k == 4});
    for (size_t i = 0; i < Zh2Values().size(); i++)
        o.push_back({std::string(ZH2) + Zh2Values()[i], 400 + (int)i});
    for (size_t k = 0; k < Zh2Flags().size(); k++)
        o.push_back({std::string(ZH2) + Zh2Flags()[k], k == 0 ? 1 : k == 1 ? 2 : k == 3 ? -1 : 0});
    // MgG5000: 1 input line (a second one exists but is not counted), 3 output lines; flags
    // 6.4 (bit 1) and 5.9 (bit 9).
    o.push_back({MGE "6.1.0", 1});
    o.push_back({MGE "6.2.1.2.1", 230});
    o.push_back({MGE "6.2.1.3.1", 50});
    o.push_back({MGE "6.2.1.6.1", 11});
    o.push_back({MGE "6.2.1.2.2", 999});
    o.push_back({MGE "7.1.0", 3});
    for (int r = 1; r <= 3; r++) {
        o.push_back({Num(MGE "7.2.1.2.", r), 220 + r});
        o.push_back({Num(MGE "7.2.1.3.", r), 50});
        o.push_back({Num(MGE "7.2.1.4.", r), 30 + r});
        o.push_back({Num(MGE "7.2.1.5.", r), 10 + r});
    }
    o.push_back({MGE "5.5.0", 540});
    o.push_back({MGE "5.7.0", 25});
    o.push_back({MGE "5.2.0", 97});
    o.push_back({MGE "5.1.0", 33});
    for (const char* f : {"6.3.0", "7.3.0", "7.4.0", "7.5.0", "7.6.0", "7.7.0", "7.10.0", "7.11.0"})
        o.push_back({std::string(MGE) + f, 0});
    o.push_back({MGE "6.4.0", 1});
    o.push_back({MGE "5.9.0", 1});
    // Ita1620k: object k holds 1000 + k, object 46 holds 5; the flag object 6.
    for (int k = 4; k <= 51; k++) o.push_back({Num(ITA16 "4.", k) + ".0", k == 46 ? 5 : 1000 + k});
    o.push_back({ITA16 "1.1.0", 6});
    // Ita0510k: state 3; output voltage as an octet string.
    const std::pair<const char*, int> ita[] = {
        {"1.1.0", 3},     {"2.1.0", 23000}, {"2.2.0", 23100}, {"2.3.0", 23200},
        {"2.4.0", 5000},  {"3.2.0", 1200},  {"3.3.0", 5000},  {"3.4.0", 800},
        {"3.5.0", 900},   {"3.6.0", 3500},  {"4.1.0", 22800}, {"4.2.0", 100},
        {"4.3.0", 5000},  {"5.1.0", 5400},  {"5.2.0", 98},
    };
    for (auto& a : ita) o.push_back({std::string(ITA05) + a.first, a.second});
    o.push_back({ITA05 "3.1.0", 0, "22900"});
    // PeX: field n holds 10 n, except tem 235, hum 456 and stRun 3.
    for (size_t n = 1; n <= PexObjects().size(); n++) {
        int v = n == 1 ? 235 : n == 5 ? 456 : n == 20 ? 3 : 10 * (int)n;
        o.push_back({std::string(PEX) + PexObjects()[n - 1], v});
    }
    return o;
}

inline std::string SnmpdConfig(const std::vector<Object>& objects) {
    std::string c;
    for (const Object& o : objects) {
        if (o.text) c += "override " + o.oid + " octet_str \"" + o.text + "\"\n";
        else c += "override " + o.oid + " integer " + std::to_string(o.value) + "\n";
    }
    return c;
}

inline std::map<qxtest::SnmpOid, qxtest::SnmpValue> ScriptObjects(const std::vector<Object>& objects) {
    std::map<qxtest::SnmpOid, qxtest::SnmpValue> m;
    for (const Object& o : objects)
        m[qxtest::OidOf(o.oid.c_str())] =
            o.text ? qxtest::SnmpValue::Octets(std::string(o.text)) : qxtest::SnmpValue::Int(o.value);
    return m;
}

// snmpd on 127.0.0.1:161 with every object, for the whole test program.
inline qxtest::SnmpdAgent& Snmpd(std::string* why) {
    static qxtest::SnmpdAgent agent;
    static bool started = false;
    static std::string failure;
    if (!started && failure.empty() && !agent.Start(SnmpdConfig(Objects()), &failure, 161))
        failure = failure.empty() ? "snmpd did not start" : failure;
    started = failure.empty();
    if (why) *why = failure;
    return agent;
}

}  // namespace snmpups
