#pragma once
// A YD/T 1363 frame built from its parts, independently of the library's own framing: the
// eight head characters (VER ADR CID1, then CID2 of a request or RTN of a reply), the INFO
// text, and LENGTH with its check nibble and CHKSUM worked out here.
#include <stdint.h>
#include <stdio.h>

#include <string>

namespace qxtest {

inline std::string YdFrame(const std::string& head8, const std::string& info) {
    unsigned lenid = (unsigned)info.size();
    unsigned nib = (lenid & 15) + ((lenid >> 4) & 15) + ((lenid >> 8) & 15);
    char length[8];
    snprintf(length, sizeof length, "%04X", (((16 - nib % 16) % 16) << 12) | lenid);
    std::string body = head8 + length + info;
    unsigned s = 0;
    for (char ch : body) s += (uint8_t)ch;
    char chk[8];
    snprintf(chk, sizeof chk, "%04X", (0x10000 - (s & 0xFFFF)) & 0xFFFF);
    return "~" + body + chk + "\r";
}

}  // namespace qxtest
