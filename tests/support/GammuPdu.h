#pragma once
// An SMS PDU read by an independent decoder: Gammu's, through Debian's python3-gammu
// (gammu.DecodePDU). The PDU is the hex text a modem gets after AT+CMGS, its centre field
// first. The system's Python is tried before the one on PATH (the package installs for the
// former); a test skips when neither has the module:
//
//   qxtest::GammuPdu d = qxtest::DecodeWithGammu(hex);
//   if (d.missing) GTEST_SKIP() << d.why;
//   ASSERT_TRUE(d.ok) << d.why;
//   EXPECT_EQ("+8613912345678", d.number);
#include <stdio.h>

#include <string>
#include <vector>

namespace qxtest {

struct GammuPdu {
    bool ok = false;
    bool missing = false;  // no Python with the gammu module
    std::string why;
    std::string number;    // destination as Gammu reads it ("+" for the international type)
    std::string text;      // the text, UTF-8
    std::string smsc;      // centre number
    std::string coding;    // "Unicode_No_Compression", "Default_No_Compression", ...
    std::string type;      // "Submit"
    std::string udh;       // "NoUDH", "ConcatenatedMessages", ...
};

inline GammuPdu DecodeWithGammu(const std::string& hex) {
    GammuPdu d;
    for (char c : hex) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))) {
            d.why = "not a hex text";
            return d;
        }
    }
    static const char kScript[] =
        "import sys\n"
        "try:\n"
        "    import gammu\n"
        "except Exception:\n"
        "    print(\"NOGAMMU\")\n"
        "    sys.exit(0)\n"
        "try:\n"
        "    d = gammu.DecodePDU(bytes.fromhex(sys.argv[1]), SMSC=True)\n"
        "except Exception as e:\n"
        "    print(\"ERROR\")\n"
        "    print(e)\n"
        "    sys.exit(0)\n"
        "t = d[\"Text\"]\n"
        "t = t if isinstance(t, bytes) else t.encode(\"utf-8\")\n"
        "print(\"OK\")\n"
        "for v in (d[\"Number\"], t.hex(), d[\"SMSC\"][\"Number\"], d[\"Coding\"], d[\"Type\"],"
        " d[\"UDH\"][\"Type\"]):\n"
        "    print(v)\n";
    d.missing = true;
    d.why = "python3-gammu is not installed";
    for (const char* python : {"/usr/bin/python3", "python3"}) {
        std::string cmd = std::string(python) + " -c '" + kScript + "' " + hex + " 2>/dev/null";
        FILE* f = popen(cmd.c_str(), "r");
        if (!f) continue;
        std::vector<std::string> lines;
        std::string line;
        for (int c; (c = fgetc(f)) != EOF;) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line.push_back((char)c);
            }
        }
        pclose(f);
        if (lines.empty() || lines[0] == "NOGAMMU") continue;
        d.missing = false;
        if (lines[0] != "OK" || lines.size() < 7) {
            d.why = "gammu refused the PDU: " + (lines.size() > 1 ? lines[1] : std::string("?"));
            return d;
        }
        d.number = lines[1];
        for (size_t i = 0; i + 1 < lines[2].size(); i += 2)
            d.text.push_back((char)std::stoi(lines[2].substr(i, 2), nullptr, 16));
        d.smsc = lines[3];
        d.coding = lines[4];
        d.type = lines[5];
        d.udh = lines[6];
        d.ok = true;
        d.why.clear();
        return d;
    }
    return d;
}

}  // namespace qxtest
