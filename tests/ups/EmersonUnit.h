#pragma once
// An Emerson three-phase UPS on the YD/T device model: the replies of every profile, built
// from a few figures at the columns the unit sends them in.
#include <initializer_list>
#include <string>
#include <utility>

#include "YdtDevice.h"

namespace emerson {

// INFO whose fields stand at the given frame columns (13 = first INFO character); the rest
// is '0', up to the column `end`.
inline std::string InfoAt(std::initializer_list<std::pair<int, std::string>> fields, int end) {
    return qxsim::YdtInfoAt(fields, end);
}

// The figures the unit reports (floats as the unit sends them; 16-bit raw values).
struct Figures {
    float vin = 220.5f, vout = 221.5f, iout = 10.5f, vbatt = 272.5f, fout = 50.5f;
    float iin = 12.5f, fin = 49.5f, vb = 219.5f, fb = 50.0f, mbatt = 35.0f;
    unsigned state[16] = {0xE1, 0, 0xE1, 0xE2, 0xE1, 0xE0, 0xE1, 0xE0, 0xE1, 0xE0, 0xE1, 0xE0,
                          0xE2, 0xE1, 0xE0, 0xE0};  // b15, (skipped), b14 .. b1; b0 below
    unsigned b0 = 0xE0;
};

// Float profiles (Variant 0, 1, 2, 4).
inline void FloatUnit(qxsim::YdtDevice& d, int variant, const Figures& f = Figures()) {
    using qxsim::YdtFloat;
    const int first = variant == 4 ? 0x42 : 0x41;
    d.SetInfo(first, InfoAt({{15, YdtFloat(f.vin)}, {23, YdtFloat(f.vin + 1)},
                             {31, YdtFloat(f.vin + 2)}, {39, YdtFloat(f.vout)},
                             {47, YdtFloat(f.vout + 1)}, {55, YdtFloat(f.vout + 2)},
                             {63, YdtFloat(f.iout)}, {71, YdtFloat(f.iout + 1)},
                             {79, YdtFloat(f.iout + 2)}, {87, YdtFloat(f.vbatt)},
                             {95, YdtFloat(f.fout)}},
                            103));
    if (variant == 2)
        d.SetInfo(0xE1, InfoAt({{43, YdtFloat(f.iin)}, {51, YdtFloat(f.iin + 1)},
                                {59, YdtFloat(f.iin + 2)}, {67, YdtFloat(f.fin)},
                                {99, YdtFloat(f.vb)}, {107, YdtFloat(f.vb + 1)},
                                {115, YdtFloat(f.vb + 2)}, {123, YdtFloat(f.fb)}},
                               131));
    else
        d.SetInfo(0xE1, InfoAt({{41, YdtFloat(f.iin)}, {49, YdtFloat(f.iin + 1)},
                                {57, YdtFloat(f.iin + 2)}, {65, YdtFloat(f.fin)},
                                {81, YdtFloat(f.vb)}, {89, YdtFloat(f.vb + 1)},
                                {97, YdtFloat(f.vb + 2)}, {105, YdtFloat(f.fb)}},
                               113));
    d.SetInfo(0xE3, InfoAt({{113, YdtFloat(f.mbatt)}}, 121));
    std::string states;
    for (unsigned s : f.state) states += qxsim::YdtByte(s);
    states += qxsim::YdtByte(f.b0);
    d.SetInfo(0x43, "00" + states);
}

// Variant 5: 16-bit values.
inline void WordUnit(qxsim::YdtDevice& d) {
    using qxsim::YdtWord;
    d.SetInfo(0x42, InfoAt({{15, YdtWord(2201)}, {19, YdtWord(2202)}, {23, YdtWord(2203)},
                            {27, YdtWord(2211)}, {31, YdtWord(2212)}, {35, YdtWord(2213)},
                            {39, YdtWord(101)}, {43, YdtWord(102)}, {47, YdtWord(103)},
                            {51, YdtWord(2700)}, {55, YdtWord(501)}},
                           59));
    d.SetInfo(0xE0, InfoAt({{35, YdtWord(121)}, {39, YdtWord(122)}, {43, YdtWord(123)},
                            {47, YdtWord(499)}, {63, YdtWord(2191)}, {67, YdtWord(2192)},
                            {71, YdtWord(2193)}, {87, YdtWord(500)}},
                           91));
    d.SetInfo(0xE1, InfoAt({{71, YdtWord(7)}, {75, YdtWord(8)}, {79, YdtWord(9)}}, 83));
    d.SetInfo(0xE3, InfoAt({{23, YdtWord(2724)}, {47, YdtWord(45)}, {51, YdtWord(253)},
                            {59, YdtWord(98)}},
                           63));
    d.SetInfo(0x43, "00" + std::string(34, '0'));
}

// Variant 3: CID2 8B, 80, 82 with 16-bit values, a supply-mode byte and a state word.
inline void Profile3Unit(qxsim::YdtDevice& d, unsigned mode = 2, uint32_t word = 0,
                         unsigned fbRaw = 5000) {
    using qxsim::YdtWord;
    d.SetInfo(0x8B, InfoAt({{13, YdtWord(2205)}, {17, YdtWord(2215)}, {21, YdtWord(2225)},
                            {25, YdtWord(125)}, {29, YdtWord(126)}, {33, YdtWord(127)},
                            {61, YdtWord(499)}},
                           65));
    d.SetInfo(0x80, InfoAt({{13, qxsim::YdtByte(mode)}, {19, qxsim::YdtDword(word)},
                            {59, YdtWord(2210)}, {63, YdtWord(105)}, {79, YdtWord(500)},
                            {107, YdtWord(250)}, {111, YdtWord(980)}, {115, YdtWord(450)},
                            {123, YdtWord(2720)}},
                           127));
    d.SetInfo(0x82, InfoAt({{13, YdtWord(2195)}, {17, YdtWord(fbRaw)}}, 21));
}

}  // namespace emerson
