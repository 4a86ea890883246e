#pragma once
// I/O modules on text protocols: the KW7 digital I/O module ('$AA6' ASCII commands ended by
// CR) and the BLE scanner module (AT commands without a line end) with its wireless tags.
//
//   qxsim::Kw7Module kw7(1);                     // address 01
//   kw7.SetPoints(0x03FF, 0x15);                 // inputs, outputs
//   kw7.Serve(pty);
//
//   qxsim::BleScanner ble;
//   ble.SetTag("D4F51378E929", 1023, 501);       // thermistor and weight readings
//   ble.Serve(pty);
#include <stdint.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "SimDevice.h"

namespace qxsim {

// The KW7 module. Commands (AA its address, two upper-case hex digits):
//   $AA6  → '!' and the points: outputs then inputs, 4 + 4 digits (SetLayout(0, 0)), or the
//           inputs in inDigits, then the outputs in outDigits;
//   $AA2  → '!', AA, the six configuration characters;
//   %AANN + six characters → '!NN', and the address becomes NN;
//   #AAAc01 / #AABc00 ...  → '>' (relay c, or 8 + c, on or off);
//   ~AA31VV / ~AA1         → '!AA'.
// Every answer ends with CR. SetMalformed spoils the next answers.
class Kw7Module {
public:
    explicit Kw7Module(uint8_t address = 1) : m_address(address) {}
    enum class Malformed { None, NoBang, NoCr, BadDigit, Unframed };

    void SetPoints(uint16_t inputs, uint16_t outputs);
    void SetLayout(int inDigits, int outDigits);  // 0, 0: outputs first, 4 + 4 digits
    void SetConfig(const std::string& six);
    void SetMalformed(Malformed m);
    uint8_t Address() const;
    uint16_t Outputs() const;
    std::vector<std::string> Commands() const;  // every line received, CR removed

    std::string Answer(const std::string& line);
    void Serve(Device& device);

private:
    mutable std::mutex m_mutex;
    uint8_t m_address;
    uint16_t m_inputs = 0, m_outputs = 0;
    int m_inDigits = 0, m_outDigits = 0;
    std::string m_config = "400600";
    Malformed m_malformed = Malformed::None;
    std::vector<std::string> m_commands;
};

// A KW7 module's points for a layout of `ins` inputs (the point's Ext1, 10 without one): every
// input open (0, normal), the first relay closed. In alarm every input is closed; the relays
// stay as they were switched.
struct Kw7Points {
    int ins = 10;
    uint16_t inputs = 0, outputs = 0x01;
};
void AlarmKw7(Kw7Points& m, int state);

// The seven known tags of a site with the thermistor and weight readings of 24 to 26 degrees
// and equipment resting on each. In alarm the room they stand in has gone cold: every tag at
// about 8 degrees (thermistor reading 677); the equipment stays on them.
struct BleTagReading {
    const char* address;
    uint16_t r, g;
};
struct BleTags {
    BleTagReading tags[7] = {{"D4F51378E69E", 1023, 820}, {"D4F51378FD80", 1010, 760},
                             {"D4F51378E929", 1040, 900}, {"D4F51378F156", 1030, 640},
                             {"987BF3691918", 1000, 700}, {"987BF3694231", 1015, 880},
                             {"D4F51378ED87", 1035, 600}};
};
void AlarmBleTags(BleTags& m, int state);

// The BLE scanner: "AT+IMME1" and "AT+ROLE1" answer "OK+Set:1" (or a set-up reply of the
// test's), "AT" answers "OK", "AT+DISI?" answers "OK+DISIS", one "OK+DISC:" record of 70
// bytes per tag (the readings as four hex digits at 42 and 46, the address at 53), then
// "OK+DISCE". Faults of its own: no "OK+DISIS", the last record cut short (and no end).
// Rotating, each scan lists the tags from the next one on (a scanner lists them in the order
// it heard them), so that a reader of fewer records than there are tags hears every tag over
// a few scans.
class BleScanner {
public:
    void SetTag(const std::string& address, uint16_t r, uint16_t g, bool lowerCase = false);
    void ClearTags();
    void SetSetupReply(const std::string& reply);
    void SetConfirm(bool confirm);
    void SetCutLastRecord(bool cut);
    void SetRotating(bool rotating);
    std::vector<std::string> Commands() const;

    std::string Answer(const std::string& command);
    // The 70-byte record body of a tag.
    static std::string Record(const std::string& address, uint16_t r, uint16_t g,
                              bool lowerCase = false);
    void Serve(Device& device);

private:
    struct Tag {
        std::string address;
        uint16_t r, g;
        bool lower;
    };
    mutable std::mutex m_mutex;
    std::vector<Tag> m_tags;
    std::string m_setup = "OK+Set:1";
    bool m_confirm = true, m_cut = false, m_rotating = false;
    size_t m_first = 0;  // the tag a rotating scan lists first
    std::vector<std::string> m_commands;
};

}  // namespace qxsim
