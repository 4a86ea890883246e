// The meter models: a simulated meter's registers (integers, IEEE singles either word
// order), the requests each model sends and the 24 values it stores; Ext1/Ext2 variants;
// floats that are not numbers or do not fit; refused replies at every exchange leave the
// last reading; the Modbus TCP model's transaction ids.
#include <stdint.h>
#include <string.h>

#include <algorithm>
#include <limits>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "GbkText.h"
#include "Limits.h"
#include "MeterModels.h"
#include "ModbusSlave.h"
#include "TestRig.h"
#include "power/SMElec.h"

namespace {

using qxsim::ModbusFault;
using qxsim::ModbusSlave;

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new iotest::NoSleep);

typedef CSMElec E;

// One register of the simulated meter: holding (3) or input (4).
struct Reg {
    int kind;
    int reg;
    int value;
};
typedef std::vector<Reg> Regs;
typedef std::vector<std::pair<int, int>> Fields;  // field, value; every other field 0

struct MeterRig : iotest::Rig<E> {
    MeterRig(int model, int ext1 = 0, int ext2 = 0, bool tcp = false) : iotest::Rig<E>(7, 0x100) {
        item.Variant(model).Ext(ext1, ext2);
        h.DoItem(item, 0);
        ch.SetResponder([this, tcp](const qxtest::Bytes& req) {
            return (tcp ? slave.HandleTcp(req.data(), req.size())
                        : slave.HandleRtu(req.data(), req.size()))
                .bytes;
        });
    }
    void Lay(const Regs& regs) {
        for (const Reg& r : regs) {
            if (r.kind == 4)
                slave.SetInput((uint16_t)r.reg, (uint16_t)r.value);
            else
                slave.SetHolding((uint16_t)r.reg, (uint16_t)r.value);
        }
    }
    // The requests the slave received as "function register:count" (address 1 checked).
    std::vector<std::string> Requests() {
        std::vector<std::string> out;
        for (const auto& q : slave.Requests()) {
            const uint8_t* p = q.data() + (q.size() > 8 && q[2] == 0 && q[3] == 0 && q.size() == 12 ? 6 : 0);
            char t[32];
            snprintf(t, sizeof t, "%d %d %d:%d", p[0], p[1], p[2] << 8 | p[3], p[4] << 8 | p[5]);
            out.push_back(t);
        }
        return out;
    }
    std::vector<int> Values() {
        std::vector<int> v;
        for (int f = 1; f <= E::kFields; f++) v.push_back(h.DataVal(f));
        return v;
    }
    ModbusSlave slave{1};
};

std::vector<int> Expect(const Fields& f) {
    std::vector<int> v(E::kFields, 0);
    for (const auto& p : f) v[p.first - 1] = p.second;
    return v;
}

// Registers of models 10 and 13 from start s.
Regs Block10(int s) {
    return {{3, s, 15},       {3, s + 3, 2200}, {3, s + 6, 12}, {3, s + 9, 950},
            {3, s + 12, 50},  {3, s + 13, 13},  {3, s + 16, 4}, {3, s + 26, 0}, {3, s + 27, 77}};
}
Fields Block10Values() {
    return {{E::kAdl, 150}, {E::kAdy, 2200}, {E::kAyggl, 1200}, {E::kAglys, 950},
            {E::kPl, 5000}, {E::kAszgl, 1300}, {E::kAwggl, 400}, {E::kYgzdn, 77000}};
}

// Models 19 and 33: phase A's block, the totals and the energy (low word first).
const Regs kBlocks = {{3, 0, 2200}, {3, 2, 1500}, {3, 4, 1000}, {3, 5, 950}, {3, 6, 500},
                      {3, 7, 1000}, {3, 27, 4681}, {3, 28, 1000}, {3, 29, 960}, {3, 30, 10},
                      {3, 31, 10},  {3, 33, 5},   {3, 34, 1}};

const Regs kModel1 = {{3, 35, 0x0302}, {3, 37, 2200}, {3, 38, 2210}, {3, 39, 2220},
                      {3, 43, 150},    {3, 44, 160},  {3, 45, 170},  {3, 46, 100},
                      {3, 49, 330},    {3, 50, 5},    {3, 53, 15},   {3, 54, 950},
                      {3, 57, 960},    {3, 58, 200},  {3, 61, 600},  {3, 62, 5000},
                      {3, 63, 1},      {3, 64, 0}};
Regs Code(int c) {
    Regs r = kModel1;
    r[0].value = 0x0300 | c;  // the high byte is not part of the code
    return r;
}
Fields Model1(int a, int b, int c) {
    return {{E::kAdy, 2200}, {E::kBdy, 2210}, {E::kCdy, 2220}, {E::kAdl, a}, {E::kBdl, b},
            {E::kCdl, c},    {E::kAyggl, 100}, {E::kZyggl, 330}, {E::kAwggl, 5},
            {E::kZwggl, 15}, {E::kAglys, 950}, {E::kZglys, 960}, {E::kAszgl, 200},
            {E::kZszgl, 600}, {E::kPl, 5000}, {E::kYgzdn, 65536 * 25 / 10}};
}

const int kUI = 10 * 65536 + 5;  // voltage factor 10, current factor 5

Regs operator+(Regs a, const Regs& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Pairs of registers: IEEE singles high word first (F) or low word first (WF), 32-bit
// integers high word first (U32) or low word first (W32).
Regs Pairs(int kind, std::initializer_list<std::pair<int, uint32_t>> vals, bool lowFirst) {
    Regs out;
    for (const auto& p : vals) {
        const int hi = (int)(p.second >> 16), lo = (int)(p.second & 0xFFFF);
        out.push_back({kind, p.first, lowFirst ? lo : hi});
        out.push_back({kind, p.first + 1, lowFirst ? hi : lo});
    }
    return out;
}
uint32_t Bits(float f) {
    uint32_t u;
    memcpy(&u, &f, sizeof u);
    return u;
}
Regs F(int kind, std::initializer_list<std::pair<int, float>> vals, bool lowFirst = false) {
    Regs out;
    for (const auto& p : vals) out = out + Pairs(kind, {{p.first, Bits(p.second)}}, lowFirst);
    return out;
}
Regs WF(std::initializer_list<std::pair<int, float>> vals) { return F(3, vals, true); }
Regs U32(std::initializer_list<std::pair<int, uint32_t>> vals) { return Pairs(3, vals, false); }
Regs W32(std::initializer_list<std::pair<int, uint32_t>> vals) { return Pairs(3, vals, true); }

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Models 16 and 20 (holding or input registers): the currents times Ext1.
Regs Regs16(int kind) {
    return F(kind, {{10, 229.96f}, {22, 1.5f}, {28, 3300.0f}, {34, 10200.0f}, {36, 500.0f},
                    {42, 1800.0f}, {44, 10500.0f}, {46, 0.95f}, {48, 50.0f}, {50, 1234000.0f},
                    {58, 0.95f}, {64, 3400.0f}});
}
Fields Values16(int adl) {
    // Power factors in thousandths: 0.95 times 1000 in single precision is 950.
    return {{E::kAdy, 2299}, {E::kAdl, adl}, {E::kAyggl, 3300}, {E::kZyggl, 10200},
            {E::kAwggl, 500}, {E::kZwggl, 1800}, {E::kZszgl, 10500}, {E::kZglys, 950},
            {E::kPl, 5000}, {E::kYgzdn, 1234000}, {E::kAglys, 950}, {E::kAszgl, 3400}};
}

struct Case {
    const char* what;
    int model, ext1, ext2;
    Regs regs;
    std::vector<std::string> requests;
    Fields values;
};

const std::vector<Case>& Cases() {
    static const std::vector<Case> cases = {
        {"1 code 2", 1, 0, 25, Code(2), {"1 3 33:32"}, Model1(150, 160, 170)},
        {"1 code 4", 1, 0, 25, Code(4), {"1 3 33:32"}, Model1(15000, 16000, 17000)},
        {"1 code 1", 1, 0, 25, Code(1), {"1 3 33:32"}, Model1(15, 16, 17)},
        {"1 code 3", 1, 0, 25, Code(3), {"1 3 33:32"}, Model1(1500, 1600, 1700)},
        {"1 code 5", 1, 0, 25, Code(5), {"1 3 33:32"}, Model1(150000, 160000, 170000)},
        {"2", 2, 0, 0,
         {{3, 0, 0}, {3, 1, 1000}, {3, 34, 12}, {3, 45, 7}, {3, 46, 950}, {3, 51, 2200}, {3, 56, 33}},
         {"1 3 0:57"},
         {{E::kYgzdn, 1000}, {E::kZyggl, 120}, {E::kCszgl, 70}, {E::kZglys, 950},
          {E::kAdy, 2200}, {E::kCdl, 33}}},
        {"3", 3, 0, 0,
         {{3, 257, 5000}, {3, 262, 1}, {3, 280, 950}, {3, 283, 900}, {3, 513, 150},
          {3, 520, 335}, {3, 521, 45440}, {3, 524, 6103}, {3, 525, 33792}, {3, 529, 1234},
          {3, 538, 5000}},
         {"1 3 256:28", "1 3 512:28"},
         // 400000000 / 10000 = 40000, kept to 15 bits: 7232.
         {{E::kZyggl, 5000}, {E::kAyggl, 65536}, {E::kZglys, 950}, {E::kCglys, 900},
          {E::kAdl, 1500}, {E::kAdy, 2200}, {E::kCdy, 7232}, {E::kYgzdn, 123400}, {E::kPl, 50}}},
        {"4", 4, 0, 2,
         {{3, 7, 5000}, {3, 8, 95}, {3, 9, 1}, {3, 12, 3}, {3, 16, 4}, {3, 17, 5}, {3, 24, 100},
          {3, 25, 6000}, {3, 29, 220}, {3, 34, 15}},
         {"1 3 7:19", "1 3 29:6"},
         // energy 2 * (100 + 6000 / 3000) * 100
         {{E::kPl, 5000}, {E::kZglys, 950}, {E::kAyggl, 100}, {E::kZyggl, 300},
          {E::kZwggl, 400}, {E::kAszgl, 500}, {E::kYgzdn, 20400}, {E::kAdy, 220}, {E::kCdl, 150}}},
        {"5", 5, 0, 0,
         {{3, 97, 2200}, {3, 141, 999}, {3, 142, 2}, {3, 100, 15}, {3, 106, 100}, {3, 110, 7},
          {3, 111, 8}, {3, 115, 95}, {3, 118, 96}, {3, 119, 500}, {3, 1, 100}},
         {"1 3 97:23", "1 3 141:2", "1 3 0:2"},
         {{E::kAdy, 2200}, {E::kAdl, 30}, {E::kZyggl, 200}, {E::kZwggl, 14}, {E::kAszgl, 16},
          {E::kAglys, 950}, {E::kZglys, 960}, {E::kPl, 5000}, {E::kYgzdn, 2000}}},
        {"6, phase A P and PF negative", 6, 0, 0,
         {{4, 2, 10}, {4, 3, 2}, {4, 20, 220}, {4, 26, 1500}, {4, 29, 0x0101}, {4, 30, 100},
          {4, 31, 50}, {4, 33, 300}, {4, 38, 10}, {4, 42, 950}, {4, 45, 960}, {4, 46, 5000},
          {4, 47, 1}, {4, 49, 500}},
         {"1 4 0:57"},
         {{E::kAdy, 2200}, {E::kAdl, 300}, {E::kAyggl, -200}, {E::kByggl, 100},
          {E::kZyggl, 600}, {E::kAszgl, 20}, {E::kAglys, -950}, {E::kZglys, 960},
          {E::kPl, 5000}, {E::kYgzdn, 65586}}},
        {"8 Ext1 0", 8, 0, 0,
         {{3, 256, 300}, {3, 257, 5}, {4, 0, 65535}, {4, 3, 65535}, {4, 6, 49152}, {4, 9, 16384},
          {4, 33, 49152}, {4, 36, 50}},
         {"1 3 256:2", "1 4 0:39"},
         // registers at 0 read as -32768: -1 times Ur * Ir, PF -1000
         {{E::kAdl, 500}, {E::kAdy, 3000}, {E::kAyggl, 750}, {E::kByggl, -1500},
          {E::kCyggl, -1500}, {E::kAwggl, -750}, {E::kBwggl, -1500}, {E::kCwggl, -1500},
          {E::kAszgl, -1500}, {E::kBszgl, -1500}, {E::kCszgl, -1500}, {E::kAglys, 500},
          {E::kBglys, -1000}, {E::kCglys, -1000}, {E::kPl, 5000}}},
        {"8 Ext1 3", 8, 3, 0,
         {{3, 256, 300}, {3, 257, 5}, {4, 0, 65535}},
         {"1 3 256:2", "1 4 0:39"},
         {{E::kAdl, 1500}, {E::kAyggl, -1500}, {E::kByggl, -1500}, {E::kCyggl, -1500},
          {E::kAwggl, -1500}, {E::kBwggl, -1500}, {E::kCwggl, -1500}, {E::kAszgl, -1500},
          {E::kBszgl, -1500}, {E::kCszgl, -1500}, {E::kAglys, -1000}, {E::kBglys, -1000},
          {E::kCglys, -1000}}},
        {"10 Ext1 0", 10, 0, 0, Block10(100), {"1 3 100:110"}, Block10Values()},
        {"10 Ext1 1", 10, 1, 0, Block10(210), {"1 3 210:110"}, Block10Values()},
        {"10 Ext1 2", 10, 2, 0, Block10(320), {"1 3 320:110"}, Block10Values()},
        {"10 Ext1 3", 10, 3, 0, Block10(100), {"1 3 100:110"}, Block10Values()},
        {"12", 12, 0, 0,
         {{3, 1, 123}, {3, 11, 2200}, {3, 12, 150}, {3, 13, 100}, {3, 14, 5}, {3, 15, 110},
          {3, 16, 950}, {3, 17, 5000}},
         {"1 3 0:18"},
         {{E::kYgzdn, 1230}, {E::kAdy, 2200}, {E::kAdl, 150}, {E::kZyggl, 100},
          {E::kAyggl, 100}, {E::kZwggl, 5}, {E::kAwggl, 5}, {E::kZszgl, 110}, {E::kAszgl, 110},
          {E::kZglys, 950}, {E::kAglys, 950}, {E::kPl, 5000}}},
        {"14", 14, 0, 0,
         {{3, 3, 2200}, {3, 6, 1500}, {3, 10, 0xFC18}, {3, 11, 0xFFFF}, {3, 12, 500},
          {3, 14, 950}, {3, 15, 100}, {3, 21, 940}, {3, 24, 5000}, {3, 26, 12345}, {3, 46, 11},
          {3, 49, 33}},
         {"1 3 0:50"},
         {{E::kAdy, 220}, {E::kAdl, 150}, {E::kZyggl, -100}, {E::kZwggl, 50}, {E::kZglys, 950},
          {E::kAyggl, 10}, {E::kAglys, 940}, {E::kPl, 5000}, {E::kYgzdn, 1234},
          {E::kAszgl, 110}, {E::kZszgl, 330}}},
        // Offsets beyond the 64 data bytes (total P and everything after) are not read.
        {"15", 15, 0, 0,
         {{3, 1, 1500}, {3, 7, 2200}, {3, 21, 1000}, {3, 31, 1}, {3, 40, 9}},
         {"1 3 40:1", "1 3 0:32"},
         {{E::kAdl, 150}, {E::kAdy, 2200}, {E::kAyggl, 100}}},
        {"17", 17, 0, 0,
         {{3, 70, 2200}, {3, 76, 1500}, {3, 79, 100}, {3, 82, 300}, {3, 86, 30}, {3, 90, 600},
          {3, 91, 950}, {3, 92, 5000}, {3, 93, 1}},
         {"1 3 70:30"},
         {{E::kAdy, 2200}, {E::kAdl, 150}, {E::kAyggl, 100}, {E::kZyggl, 300}, {E::kZwggl, 30},
          {E::kZszgl, 600}, {E::kZglys, 950}, {E::kAglys, 950}, {E::kBglys, 950},
          {E::kCglys, 950}, {E::kPl, 5000}, {E::kYgzdn, 65536}}},
        {"21", 21, 0, 0,
         {{4, 70, 2200}, {4, 76, 1500}, {4, 91, 950}, {4, 94, 1}},
         {"1 4 70:30"},
         {{E::kAdy, 2200}, {E::kAdl, 150}, {E::kZglys, 950}, {E::kAglys, 950},
          {E::kBglys, 950}, {E::kCglys, 950}, {E::kYgzdn, 1}}},
        {"18", 18, 0, 0,
         {{3, 70, 2200}, {3, 91, 950}, {3, 93, 930}, {3, 94, 960}, {3, 95, 5000}, {3, 8193, 100}},
         {"1 3 70:30", "1 3 8192:2"},
         {{E::kAdy, 2200}, {E::kAglys, 950}, {E::kCglys, 930}, {E::kZglys, 960},
          {E::kPl, 5000}, {E::kYgzdn, 1000}}},
        {"19 Ext1 0", 19, 0, 0, kBlocks, {"1 3 0:41"},
         {{E::kAdy, 220}, {E::kAdl, 15}, {E::kAyggl, 400}, {E::kAglys, 95}, {E::kAwggl, 200},
          {E::kAszgl, 200}, {E::kPl, 499}, {E::kZyggl, 400}, {E::kZglys, 96}, {E::kZwggl, 4},
          {E::kZszgl, 2}, {E::kYgzdn, 65541}}},
        {"19 Ext1 3", 19, 3, 0, kBlocks, {"1 3 0:41"},
         {{E::kAdy, 220}, {E::kAdl, 45}, {E::kAyggl, 400}, {E::kAglys, 95}, {E::kAwggl, 200},
          {E::kAszgl, 200}, {E::kPl, 499}, {E::kZyggl, 400}, {E::kZglys, 96}, {E::kZwggl, 4},
          {E::kZszgl, 2}, {E::kYgzdn, 65541}}},
        {"33 Ext1 0", 33, 0, 0, kBlocks, {"1 3 0:41"},
         {{E::kAdy, 220}, {E::kAdl, 15}, {E::kAyggl, 400}, {E::kAglys, 95}, {E::kAwggl, 200},
          {E::kAszgl, 200}, {E::kPl, 499}, {E::kZyggl, 400}, {E::kZglys, 96}, {E::kZwggl, 4},
          {E::kZszgl, 2}, {E::kYgzdn, 65541}}},
        {"33 kU 10 kI 5", 33, kUI, 0, kBlocks, {"1 3 0:41"},
         {{E::kAdy, 2200}, {E::kAdl, 75}, {E::kAyggl, 20000}, {E::kAglys, 95},
          {E::kAwggl, 10000}, {E::kAszgl, 10000}, {E::kPl, 499}, {E::kZyggl, 20000},
          {E::kZglys, 96}, {E::kZwggl, 200}, {E::kZszgl, 100}, {E::kYgzdn, 3277050}}},
        {"26 Ext1 4", 26, 4, 0, {{3, 16, 2200}, {3, 17, 155}}, {"1 3 16:2"},
         {{E::kAdy, 2200}, {E::kAdl, 60}}},
        {"27 Ext1 0", 27, 0, 0,
         {{3, 1, 22000}, {3, 13, 1500}, {3, 19, 100}, {3, 25, 300}, {3, 49, 950},
          {3, 51, 5000}, {3, 52, 1}},
         {"1 3 0:70"},
         {{E::kAdy, 220}, {E::kAdl, 150}, {E::kAyggl, 100}, {E::kZyggl, 300},
          {E::kZglys, 950}, {E::kPl, 5000}, {E::kYgzdn, 65536}}},
        {"27 kU 10 kI 5", 27, kUI, 0,
         {{3, 1, 22000}, {3, 13, 1500}, {3, 19, 100}, {3, 25, 300}, {3, 49, 950},
          {3, 51, 5000}, {3, 52, 1}},
         {"1 3 0:70"},
         {{E::kAdy, 2200}, {E::kAdl, 750}, {E::kAyggl, 100}, {E::kZyggl, 300},
          {E::kZglys, 950}, {E::kPl, 5000}, {E::kYgzdn, 65536}}},
        {"28", 28, 0, 0,
         {{3, 2, 10}, {3, 3, 2}, {3, 16, 1}, {3, 17, 5}, {4, 0, 22000}, {4, 8, 150},
          {4, 11, 5000}, {4, 14, 1000}, {4, 23, 950}, {4, 26, 960}, {4, 27, 5000}, {3, 65, 777}},
         {"1 3 2:2", "1 3 16:2", "1 4 0:29", "1 3 64:2"},
         {{E::kAdy, 220}, {E::kAdl, 15}, {E::kAyggl, 50}, {E::kZyggl, 30}, {E::kAglys, 95},
          {E::kZglys, 96}, {E::kPl, 5000}, {E::kYgzdn, 777}}},
        {"30 Ext1 2", 30, 2, 0,
         {{3, 72, 2200}, {3, 73, 155}, {3, 74, 100}, {3, 77, 950}, {3, 78, 5000}, {3, 79, 1},
          {3, 80, 2}},
         {"1 3 72:10"},
         {{E::kAdy, 220}, {E::kAdl, 30}, {E::kAyggl, 100}, {E::kAglys, 950}, {E::kPl, 5000},
          {E::kYgzdn, 65538}}},
        // No phase C current: 376 holds nothing of it and 377-378 is the total active power.
        // The request reaches 418, the energy's low word.
        {"32", 32, 0, 0,
         {{3, 366, 3}, {3, 367, 23392}, {3, 373, 1500}, {3, 375, 1600}, {3, 376, 9},
          {3, 377, 1700}, {3, 378, 5}, {3, 408, 900}, {3, 416, 5000}, {3, 417, 18},
          {3, 418, 54352}},
         {"1 3 366:53"},
         {{E::kAdy, 220}, {E::kAdl, 15}, {E::kBdl, 16}, {E::kZyggl, 1700 * 65536 + 5},
          {E::kCglys, 900}, {E::kPl, 5000}, {E::kYgzdn, 1234000}}},
        {"32 kU 10 kI 5", 32, kUI, 0, {{3, 366, 3}, {3, 367, 23392}, {3, 373, 1500}},
         {"1 3 366:53"},
         {{E::kAdy, 2200}, {E::kAdl, 75}}},
        {"34", 34, 0, 0,
         {{3, 50, 2200}, {3, 56, 155}, {3, 59, 0xFC18}, {3, 60, 0xFFFF}, {3, 61, 500},
          {3, 63, 950}, {3, 64, 100}, {3, 70, 940}, {3, 73, 5000}, {3, 74, 5}, {3, 75, 1}},
         {"1 3 50:41"},
         {{E::kAdy, 220}, {E::kAdl, 15}, {E::kZyggl, -100}, {E::kZwggl, 50}, {E::kZglys, 950},
          {E::kAyggl, 10}, {E::kAglys, 940}, {E::kPl, 5000}, {E::kYgzdn, 6554100}}},
        {"34 kU 10 kI 5", 34, kUI, 0,
         {{3, 50, 2200}, {3, 56, 155}, {3, 59, 0xFC18}, {3, 60, 0xFFFF}, {3, 64, 100}},
         {"1 3 50:41"},
         {{E::kAdy, 2200}, {E::kAdl, 75}, {E::kZyggl, -5000}, {E::kAyggl, 500}}},
        // ------------------------------------------------ floating-point registers
        // 32-bit integers taken as singles; phase S, phase PF and the frequency set to 0.
        {"7", 7, 0, 0,
         U32({{6, 220}, {8, 221}, {10, 222}, {18, 15}, {24, 3300}, {30, 10200}, {32, 500},
              {38, 1800}, {40, 10500}, {42, 1}, {44, 1234}}),
         {"1 3 6:55"},
         {{E::kAdy, 2200}, {E::kBdy, 2210}, {E::kCdy, 2220}, {E::kAdl, 1500},
          {E::kAyggl, 3300}, {E::kZyggl, 10200}, {E::kAwggl, 500}, {E::kZwggl, 1800},
          {E::kZszgl, 10500}, {E::kZglys, 1000}, {E::kYgzdn, 1234000}}},
        // 229.96 V truncates to 2299; the one power factor fills all four fields.
        {"9", 9, 0, 0,
         F(3, {{6, 229.96f}, {8, 221.0f}, {10, 222.0f}, {18, 15.0f}, {24, 3300.5f},
               {30, 10200.0f}, {32, -500.0f}, {38, 1800.0f}, {40, 10500.0f}, {42, 0.875f},
               {44, 50.0f}, {54, 1234000.0f}}),
         {"1 3 0:64"},
         {{E::kAdy, 2299}, {E::kBdy, 2210}, {E::kCdy, 2220}, {E::kAdl, 1500},
          {E::kAyggl, 3300}, {E::kZyggl, 10200}, {E::kAwggl, -500}, {E::kZwggl, 1800},
          {E::kZszgl, 10500}, {E::kZglys, 875}, {E::kAglys, 875}, {E::kBglys, 875},
          {E::kCglys, 875}, {E::kPl, 5000}, {E::kYgzdn, 1234000}}},
        // Signs cleared: a negative voltage and reactive power read positive.
        {"11", 11, 0, 0,
         F(3, {{23, -230.0f}, {25, 231.0f}, {27, 232.0f}, {35, 15.5f}, {41, 3.5f},
               {47, 10.25f}, {49, -0.5f}, {55, 1.75f}, {57, 0.875f}, {63, 0.5f}, {65, 3.625f},
               {71, 10.5f}, {73, 50.0f}, {79, 123400000.0f}}),
         {"1 3 0:96"},
         {{E::kAdy, 2300}, {E::kBdy, 2310}, {E::kCdy, 2320}, {E::kAdl, 1550},
          {E::kAyggl, 3500}, {E::kZyggl, 10250}, {E::kAwggl, 500}, {E::kZwggl, 1750},
          {E::kAglys, 875}, {E::kZglys, 500}, {E::kAszgl, 3625}, {E::kZszgl, 10500},
          {E::kPl, 5000}, {E::kYgzdn, 1234000}}},
        {"16 Ext1 2", 16, 2, 0, Regs16(3), {"1 3 10:18", "1 3 28:24", "1 3 58:12"},
         Values16(300)},
        {"16 Ext1 0", 16, 0, 0, Regs16(3), {"1 3 10:18", "1 3 28:24", "1 3 58:12"},
         Values16(150)},
        {"20", 20, 0, 0, Regs16(4), {"1 4 10:18", "1 4 28:24", "1 4 58:12"}, Values16(150)},
        {"22", 22, 0, 0,
         F(3, {{9, 220.0f}, {15, 15.0f}, {23, 10200.0f}, {25, 1800.0f}, {27, 1.0f},
               {29, 50.0f}, {31, 123400.0f}, {45, 3300.0f}, {51, 500.0f}, {57, 3400.0f},
               {63, 10500.0f}, {65, 0.95f}}),
         {"1 3 9:24", "1 3 45:26"},
         {{E::kAdy, 2200}, {E::kAdl, 1500}, {E::kZyggl, 10200}, {E::kZwggl, 1800},
          {E::kZglys, 1000}, {E::kPl, 5000}, {E::kYgzdn, 12340}, {E::kAyggl, 3300},
          {E::kAwggl, 500}, {E::kAszgl, 3400}, {E::kZszgl, 10500}, {E::kAglys, 950}}},
        // Word-swapped integers and singles.
        {"23", 23, 0, 0,
         W32({{0, 2200}, {12, 15000}, {48, 950}, {54, 960}, {64, 5000}, {80, 1234000}}) +
             WF({{32, 3300.0f}, {38, 10200.0f}, {40, 500.0f}, {46, 1800.0f}, {56, 3400.0f},
                 {62, 10500.0f}}),
         {"1 3 0:18", "1 3 32:16", "1 3 48:8", "1 3 56:8", "1 3 64:2", "1 3 80:4"},
         {{E::kAdy, 2200}, {E::kAdl, 1500}, {E::kAyggl, 3300}, {E::kZyggl, 10200},
          {E::kAwggl, 500}, {E::kZwggl, 1800}, {E::kAglys, 950}, {E::kZglys, 960},
          {E::kAszgl, 3400}, {E::kZszgl, 10500}, {E::kPl, 5000}, {E::kYgzdn, 1234000}}},
        {"24", 24, 0, 0,
         F(3, {{57, 220.0f}, {69, 15.0f}, {75, 3300.0f}, {81, 10200.0f}, {83, 500.0f},
               {89, 1800.0f}, {91, 3400.0f}, {97, 10500.0f}, {99, 0.95f}, {105, 0.96f},
               {107, 50.0f}, {109, 123400.0f}}),
         {"1 3 57:18", "1 3 75:34", "1 3 109:12"},
         {{E::kAdy, 2200}, {E::kAdl, 1500}, {E::kAyggl, 3300}, {E::kZyggl, 10200},
          {E::kAwggl, 500}, {E::kZwggl, 1800}, {E::kAszgl, 3400}, {E::kZszgl, 10500},
          {E::kAglys, 950}, {E::kZglys, 960}, {E::kPl, 5000}, {E::kYgzdn, 12340}}},
        // Power factors that are not numbers, or beyond 32 bits once in thousandths, store
        // 0; a leading one keeps its sign.
        {"24 power factors that do not convert", 24, 0, 0,
         F(3, {{57, 220.0f}, {99, kNaN}, {101, -kInf}, {103, 3.0e6f}, {105, -0.5f}}),
         {"1 3 57:18", "1 3 75:34", "1 3 109:12"},
         {{E::kAdy, 2200}, {E::kZglys, -500}}},
        {"25", 25, 0, 0,
         F(3, {{0, 15.0f}, {8, 220.0f}, {24, 3300.0f}, {30, 10200.0f}, {32, 500.0f},
               {38, 1800.0f}, {40, 3400.0f}, {46, 10500.0f}, {48, 2.0f}, {54, 0.95f},
               {64, 50.0f}, {66, 123400.0f}}),
         {"1 3 0:16", "1 3 24:32", "1 3 64:32"},
         {{E::kAdl, 1500}, {E::kAdy, 2200}, {E::kAyggl, 3300}, {E::kZyggl, 10200},
          {E::kAwggl, 500}, {E::kZwggl, 1800}, {E::kAszgl, 3400}, {E::kZszgl, 10500},
          {E::kAglys, 2000}, {E::kZglys, 950}, {E::kPl, 5000}, {E::kYgzdn, 12340}}},
        {"29 Ext1 3", 29, 3, 0,
         F(3, {{6, 220.0f}, {18, 1.5f}, {24, 3.5f}, {30, 10.25f}, {32, 0.5f}, {38, 1.75f},
               {40, 10.5f}, {42, 0.875f}, {44, 50.0f}, {46, 1234.0f}}),
         {"1 3 6:42"},
         {{E::kAdy, 2200}, {E::kAdl, 450}, {E::kAyggl, 3500}, {E::kZyggl, 10250},
          {E::kAwggl, 500}, {E::kZwggl, 1750}, {E::kZszgl, 10500}, {E::kZglys, 875},
          {E::kPl, 5000}, {E::kYgzdn, 1234000}}},
        // Phase power factors in thousandths like the total; apparent powers in kVA, stored
        // in VA as the active and reactive powers, and the frequency after the power factors.
        {"31", 31, 0, 0,
         F(3, {{23, 220.0f}, {35, 15.0f}, {41, 3.5f}, {47, 10.25f}, {49, 0.5f}, {55, 1.75f},
               {57, 0.875f}, {59, 0.95f}, {63, 0.875f}, {65, 3.5f}, {71, 10.5f}, {73, 50.0f},
               {75, 123400.0f}}),
         {"1 3 23:60"},
         {{E::kAdy, 2200}, {E::kAdl, 1500}, {E::kAyggl, 3500}, {E::kZyggl, 10250},
          {E::kAwggl, 500}, {E::kZwggl, 1750}, {E::kAglys, 875}, {E::kBglys, 950},
          {E::kZglys, 875}, {E::kAszgl, 3500},
          {E::kZszgl, 10500}, {E::kPl, 5000}, {E::kYgzdn, 1234000}}},
        // Not a number, infinite, or beyond 32 bits once scaled: that field 0, the others
        // decoded; the largest single below 2^31 still converts.
        {"9 odd floats", 9, 0, 0,
         F(3, {{6, kNaN}, {8, 1e30f}, {10, 222.0f}, {18, kInf}, {20, -kInf}, {22, 15.0f},
               {24, 2147483520.0f}, {26, 2147483648.0f}, {28, -2147483648.0f}}),
         {"1 3 0:64"},
         {{E::kCdy, 2220}, {E::kCdl, 1500}, {E::kAyggl, 2147483520}}},
    };
    return cases;
}

TEST(ElecModels, RequestsAndValues) {
    for (const Case& c : Cases()) {
        MeterRig r(c.model, c.ext1, c.ext2);
        r.Lay(c.regs);
        for (int i = 0; i < E::kFields; i++) r.h.m_val[i] = 9999;  // each field is written
        ASSERT_EQ(1, r.Poll()) << c.what;
        EXPECT_EQ(c.requests, r.Requests()) << c.what;
        EXPECT_EQ(Expect(c.values), r.Values()) << c.what;
    }
}

// Fields a model leaves as they were are the point's own: a point polled after another one
// never shows that point's values, and gets its own back when it is polled again.
TEST(ElecModels, ValuesBelongToTheirPoint) {
    for (const Case& c : Cases()) {
        MeterRig r(c.model, c.ext1, c.ext2);
        r.Lay(c.regs);
        qxhost::PointItem other(8, 0x100);
        other.Name("P2").Port(2).Addr(1).Variant(c.model).Ext(c.ext1, c.ext2).Ser(&r.ch);
        // The first point holds a reading of its own.
        ASSERT_EQ(1, r.Poll()) << c.what;
        for (int i = 0; i < E::kFields; i++) r.h.m_val[i] = 7777;
        r.h.DoItem(other, 0);
        ASSERT_EQ(1, r.h.DataGet(&r.ch, 1, 0)) << c.what;
        EXPECT_EQ(Expect(c.values), r.Values()) << c.what;
        // A failed poll of the first point keeps its own values.
        r.h.DoItem(r.item, 0);
        r.ch.SetResponder(nullptr);
        EXPECT_EQ(0, r.Poll()) << c.what;
        EXPECT_EQ(std::vector<int>(E::kFields, 7777), r.Values()) << c.what;
    }
}

// Model 32 keeps no phase C current: register 377, the low word of what was once read as one,
// is the high word of the total active power. A change of 377 alone moves the power and
// leaves phase C's stored current as it was (0).
TEST(ElecModels, Model32HasNoPhaseCCurrent) {
    MeterRig r(32);
    // 220.000 V; 15.00 A and 15.10 A in ten-thousandths; 377-378 the total power, 10.2 kW.
    r.Lay(U32({{366, 220000}, {372, 150000}, {374, 151000}, {377, 10200}}));
    ASSERT_EQ(1, r.Poll());
    const int cdl = r.h.DataVal(E::kCdl);
    EXPECT_EQ(0, cdl);
    EXPECT_EQ(10200, r.h.DataVal(E::kZyggl));
    for (int high : {0, 1, 0x1234}) {
        r.slave.SetHolding(377, (uint16_t)high);
        ASSERT_EQ(1, r.Poll()) << high;
        EXPECT_EQ(cdl, r.h.DataVal(E::kCdl)) << high;
        EXPECT_EQ(high * 65536 + 10200, r.h.DataVal(E::kZyggl)) << high;
        EXPECT_EQ(1500, r.h.DataVal(E::kAdl)) << high;
        EXPECT_EQ(1510, r.h.DataVal(E::kBdl)) << high;
    }
}

TEST(ElecModels, EveryModelHasARoutine) {
    const int models[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17,
                          18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34};
    for (int m : models) EXPECT_NE(nullptr, E::kModels[m]) << m;
}

TEST(ElecModels, LargeProductsKeepTheirLow32Bits) {
    // R * u32 * 10 (model 5) and kU * kI * w32 (model 33) exceed 32 bits.
    MeterRig five(5);
    five.Lay({{3, 142, 65535}, {3, 0, 0xFFFF}, {3, 1, 0xFFFF}});
    ASSERT_EQ(1, five.Poll());
    EXPECT_EQ((int32_t)(uint32_t)(65535ull * 0xFFFFFFFFull * 10), five.h.DataVal(E::kYgzdn));

    MeterRig yd(33, (int)0xFFFFFFFF);
    yd.Lay({{3, 33, 0xFFFF}, {3, 34, 0xFFFF}});
    ASSERT_EQ(1, yd.Poll());
    EXPECT_EQ((int32_t)(uint32_t)(65535ull * 65535ull * 0xFFFFFFFFull), yd.h.DataVal(E::kYgzdn));

    // kI * kU * w32 / 10 (model 34): 4294836225 * 4294967295 / 10 =
    // 1844617561196156149.5..., low 32 bits of the whole part.
    MeterRig xsy(34, (int)0xFFFFFFFF);
    xsy.Lay({{3, 61, 0xFFFF}, {3, 62, 0xFFFF}});
    ASSERT_EQ(1, xsy.Poll());
    const unsigned long long q = 4294836225ull / 10 * 4294967295ull + 4294836225ull % 10 * 4294967295ull / 10;
    EXPECT_EQ((int32_t)(uint32_t)q, xsy.h.DataVal(E::kZwggl));
}

// Modbus TCP (model 13): the transaction id counts from 1 across every point of the model
// and wraps from 65535 to 0; the reply is checked against it.
TEST(ElecModels, TcpTransactionIds) {
    MeterRig r(13, 1, 0, true);
    r.Lay(Block10(210));
    for (int i = 0; i < 3; i++) ASSERT_EQ(1, r.Poll()) << i;
    EXPECT_EQ(Expect(Block10Values()), r.Values());
    r.h.m_tid = 65535;
    ASSERT_EQ(1, r.Poll());
    ASSERT_EQ(1, r.Poll());
    std::vector<int> tids;
    for (const auto& q : r.slave.Requests()) {
        tids.push_back(q[0] << 8 | q[1]);
        EXPECT_EQ("1 3 210:110", r.Requests()[0]);
    }
    EXPECT_EQ((std::vector<int>{1, 2, 3, 65535, 0}), tids);

    // A reply to another transaction or of another protocol is refused.
    const std::vector<int> before = r.Values();
    r.Lay({{3, 210, 99}});
    for (ModbusFault f : {ModbusFault::WrongTransaction, ModbusFault::WrongProtocol,
                          ModbusFault::Exception, ModbusFault::WrongCount, ModbusFault::Silence}) {
        r.slave.FaultOnce(f);
        EXPECT_EQ(0, r.Poll()) << (int)f;
        EXPECT_EQ(before, r.Values()) << (int)f;
    }
}

// A refused reply at any exchange fails the poll and leaves every value of the last one.
TEST(ElecModels, RefusedRepliesKeepTheLastReading) {
    struct Fault {
        const char* what;
        ModbusFault fault;
    } faults[] = {
        {"silence", ModbusFault::Silence},
        {"bad CRC", ModbusFault::BadCrc},
        {"exception", ModbusFault::Exception},
        {"a byte short", ModbusFault::Short},
        {"byte count", ModbusFault::WrongCount},
        {"wrong function", ModbusFault::WrongFunction},
        {"wrong address", ModbusFault::WrongAddress},
    };
    // One model of each decode form, the multi-exchange ones at every exchange.
    const char* const models[] = {"1 code 2", "3", "5", "6, phase A P and PF negative",
                                  "8 Ext1 0", "10 Ext1 0", "15", "17", "19 Ext1 0", "27 Ext1 0",
                                  "28", "34", "7", "9", "11", "16 Ext1 2", "20", "22", "23",
                                  "24", "25", "29 Ext1 3", "31"};
    for (const char* name : models) {
        const Case* c = nullptr;
        for (const Case& k : Cases())
            if (std::string(k.what) == name) c = &k;
        ASSERT_NE(nullptr, c) << name;
        for (size_t at = 0; at < c->requests.size(); at++)
            for (const Fault& f : faults) {
                MeterRig r(c->model, c->ext1, c->ext2);
                r.Lay(c->regs);
                ASSERT_EQ(1, r.Poll()) << name;
                const std::vector<int> before = r.Values();
                r.Lay({{3, c->regs[0].reg, 4321}, {4, c->regs[0].reg, 4321}});
                r.slave.ClearRequests();
                for (size_t k = 0; k < at; k++) r.slave.FaultOnce(ModbusFault::None);
                r.slave.FaultOnce(f.fault);
                EXPECT_EQ(0, r.Poll()) << name << " at " << at << ": " << f.what;
                EXPECT_EQ(before, r.Values()) << name << " at " << at << ": " << f.what;
                // Nothing is asked after the failed exchange.
                EXPECT_EQ(at + 1, r.slave.RequestCount()) << name << " at " << at << ": " << f.what;
            }
    }
}

// A meter of every model, sound and with a phase lost (qxsim::AlarmMeterReading), polled as
// the host polls it: its limits checked on the type's rows, the alarm bits handed over. The
// lost phase's voltage and current alarm and the summary names them; the fields a model does
// not have (phases B and C of the single-phase models, model 32's phase C current) raise
// nothing, sound or not.
TEST(ElecModels, EveryModelLosingAPhaseAlarmsOnIt) {
    const std::vector<qxhost::LimitRow> rows = [] {
        MeterRig r(1);
        return qxhost::LoadLimits(r.db, 0x100);
    }();
    ASSERT_EQ(6u, rows.size());
    for (int model = 0; model < E::kModelCount; model++) {
        const bool single = model == 12 || model == 26 || model == 30;
        for (bool lost : {false, true}) {
            SCOPED_TRACE(std::to_string(model) + (lost ? " phase lost" : " sound"));
            MeterRig r(model, 0, model == 1 ? 10 : model == 4 ? 1 : 0, qxsim::MeterModelTcp(model));
            const qxsim::MeterReading reading =
                lost ? qxsim::AlarmMeterReading(model) : qxsim::SoundMeterReading(model);
            if (model == 0)
                qxsim::SetHcMeter(r.slave, qxsim::HcMeterOf(reading));
            else
                qxsim::SetMeterModel(r.slave, model, reading);
            ASSERT_EQ(1, r.Poll());
            std::vector<int32_t> bits;
            const int out = qxhost::CheckLimits(rows, r.h.DataSize(), [&](int f) { return r.h.DataVal(f); }, bits);
            ASSERT_EQ(1, r.h.DataUpd(out ? 1 : 0, bits.data(), nullptr, -1, &r.hist));
            const std::string alarm = !lost ? ""
                                      : single ? "告警:A相电压 A相电流"
                                      : model == 32 ? "告警:C相电压"
                                                    : "告警:C相电压 C相电流";
            EXPECT_EQ(lost ? 1 : 0, r.db.Int("select State from tbElec where SID=7"));
            const std::string brief = qxtest::Utf8(r.db.Str("select Brief from tbSMBrief where SID=7"));
            EXPECT_EQ(alarm, brief.substr(std::min(brief.size(), brief.find("告警"))));
            EXPECT_EQ(lost ? 0 : single ? 2200 : 2220, r.h.DataVal(single ? E::kAdy : E::kCdy));
        }
    }
}

TEST(ElecModels, AddressBeyondTheUnitByteSendsNothing) {
    MeterRig r(17);
    EXPECT_EQ(0, r.h.DataGet(&r.ch, 256, 0));
    EXPECT_EQ(0u, r.ch.Written().size());
}

}  // namespace
