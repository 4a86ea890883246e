#pragma once
// A control command of the reference host's command line:
//
//   SID:CMD              the command alone (the handler gets no data: a null buffer, length 0)
//   SID:CMD:int:N        a 32-bit integer in the machine's byte order (4 bytes), as the
//                        set points, minutes and relay states of most commands are given
//   SID:CMD:hex:BYTES    bytes as pairs of hex digits, blanks between them allowed
//                        ("hex:01 02" or "hex:0102")
//   SID:CMD:text:TEXT    a text, UTF-8 here and handed over in GBK as the library's texts
//                        are; the length is that of the text, a NUL follows it in the buffer
//
// SID and CMD are decimal or 0x-hexadecimal; CMD may use all 32 bits (0xFFFFFFFF is -1).
#include <stdint.h>

#include <string>
#include <vector>

namespace qxhost {

// The most data bytes a command takes.
constexpr size_t kMaxDoData = 1024;

struct DoCommand {
    std::string text;        // as given
    int sid = 0;
    int command = 0;
    bool hasData = false;
    std::string dataText;    // the DATA part as given ("int:5")
    std::vector<uint8_t> data;
};

// False with the reason in `error` (which quotes nothing but the part at fault).
bool ParseDoCommand(const std::string& arg, DoCommand& out, std::string& error);

}  // namespace qxhost
