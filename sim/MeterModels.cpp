#include "MeterModels.h"

#include <math.h>
#include <string.h>

namespace qxsim {

namespace {

typedef MeterReading R;

enum Form : uint8_t {
    U16,   // one register
    U32,   // two, high word first
    W32,   // two, low word first
    U64,   // four, high word first
    F32,   // an IEEE single, high word first
    WF32,  // an IEEE single, low word first
    UF32,  // a 32-bit integer the handler takes through a single
};

// Fields fld, fld + 1, ... (n of them) in registers reg, reg + step, ...: the register holds
// value * num / den (plus off), as the meter keeps it. The handler undoes num / den, except
// where `unscaled`: it stores the register's number as it stands (an apparent power of 3.4
// kVA stored as 3).
struct Put {
    uint8_t fld, n, step, kind;  // kind 3 holding, 4 input, 0 the model's
    uint16_t reg;
    uint8_t form;
    int32_t num = 1, den = 1;
    int32_t off = 0;
    bool unscaled = false;
};

struct Fix {
    uint8_t kind;
    uint16_t reg, value;
};

struct Map {
    int model;
    uint8_t kind;  // the kind of puts without their own
    const Put* puts;
    int nPuts;
    const Put* more;  // a second list shared with other models, or null
    int nMore;
    const Fix* fix;
    int nFix;
};

#define N(a) (int)(sizeof(a) / sizeof((a)[0]))

// ---------------------------------------------------------------- integer registers

const Put k1[] = {
    {R::kAdy, 3, 1, 0, 37, U16},  {R::kAdl, 3, 1, 0, 43, U16},  {R::kAyggl, 3, 1, 0, 46, U16},
    {R::kZyggl, 1, 1, 0, 49, U16}, {R::kAwggl, 3, 1, 0, 50, U16}, {R::kZwggl, 1, 1, 0, 53, U16},
    {R::kAglys, 3, 1, 0, 54, U16}, {R::kZglys, 1, 1, 0, 57, U16}, {R::kAszgl, 3, 1, 0, 58, U16},
    {R::kZszgl, 1, 1, 0, 61, U16}, {R::kPl, 1, 1, 0, 62, U16},    {R::kYgzdn, 1, 1, 0, 63, U32},
};
const Fix kFix1[] = {{3, 35, 2}};  // current code 2: amperes in hundredths

const Put k2[] = {
    {R::kYgzdn, 1, 1, 0, 0, U32},
    {R::kZyggl, 12, 1, 0, 34, U16, 1, 10},  // Zyggl to Cszgl in tens
    {R::kZglys, 11, 1, 0, 46, U16},         // Zglys to Cdl
};

const Put k3[] = {
    {R::kZyggl, 1, 1, 0, 256, U32},         {R::kZwggl, 1, 1, 0, 258, U32},
    {R::kZszgl, 1, 1, 0, 260, U32},         {R::kAyggl, 3, 2, 0, 262, U32},
    {R::kAwggl, 3, 2, 0, 268, U32},         {R::kAszgl, 3, 2, 0, 274, U32},
    {R::kZglys, 1, 1, 0, 280, U16},         {R::kAglys, 3, 1, 0, 281, U16},
    {R::kAdl, 3, 2, 0, 512, U32, 1, 10},    {R::kAdy, 3, 2, 0, 520, U32, 10000, 1},
    {R::kYgzdn, 1, 1, 0, 528, U32, 1, 100}, {R::kPl, 1, 1, 0, 538, U16, 100, 1},
};

const Put k4[] = {
    {R::kPl, 1, 1, 0, 7, U16},             {R::kZglys, 1, 1, 0, 8, U16, 1, 10},
    {R::kAyggl, 3, 1, 0, 9, U16, 1, 100},  {R::kZyggl, 1, 1, 0, 12, U16, 1, 100},
    {R::kAwggl, 3, 1, 0, 13, U16, 1, 100}, {R::kZwggl, 1, 1, 0, 16, U16, 1, 100},
    {R::kAszgl, 3, 1, 0, 17, U16, 1, 100}, {R::kZszgl, 1, 1, 0, 20, U16, 1, 100},
    {R::kYgzdn, 1, 1, 0, 24, U16, 1, 100}, {R::kAdy, 3, 1, 0, 29, U16},
    {R::kAdl, 3, 1, 0, 32, U16, 1, 10},
};

const Put k5[] = {
    {R::kAdy, 3, 1, 0, 97, U16},          {R::kAdl, 3, 1, 0, 100, U16},
    {R::kAyggl, 3, 1, 0, 103, U16},       {R::kZyggl, 1, 1, 0, 106, U16},
    {R::kAwggl, 3, 1, 0, 107, U16},       {R::kZwggl, 1, 1, 0, 110, U16},
    {R::kAszgl, 3, 1, 0, 111, U16},       {R::kZszgl, 1, 1, 0, 114, U16},
    {R::kAglys, 3, 1, 0, 115, U16, 1, 10}, {R::kZglys, 1, 1, 0, 118, U16, 1, 10},
    {R::kPl, 1, 1, 0, 119, U16, 1, 10},   {R::kYgzdn, 1, 1, 0, 0, U32, 1, 10},
};
const Fix kFix5[] = {{3, 142, 1}};  // the ratio R

const Put k6[] = {
    {R::kAdy, 3, 1, 0, 20, U16},          {R::kAdl, 3, 1, 0, 26, U16, 10, 1},
    {R::kAyggl, 3, 1, 0, 30, U16, 10, 1}, {R::kZyggl, 1, 1, 0, 33, U16, 10, 1},
    {R::kAwggl, 3, 1, 0, 34, U16, 10, 1}, {R::kZwggl, 1, 1, 0, 37, U16, 10, 1},
    {R::kAszgl, 3, 1, 0, 38, U16, 10, 1}, {R::kZszgl, 1, 1, 0, 41, U16, 10, 1},
    {R::kAglys, 3, 1, 0, 42, U16},        {R::kZglys, 1, 1, 0, 45, U16},
    {R::kPl, 1, 1, 0, 46, U16},           {R::kYgzdn, 1, 1, 0, 47, U32},
};
const Fix kFix6[] = {{4, 2, 1}, {4, 3, 1}, {4, 29, 0}};  // PT, CT, no negative value

// Ranges Ur 300 and Ir 20: voltages in 1/65535 of 10 * Ur tenths of a volt, currents in
// 1/65535 of 100 * Ir hundredths of an ampere, powers and power factors offset by 32768 in
// 1/32768 of Ur * Ir and of 1000.
const Put k8[] = {
    {R::kAdl, 3, 1, 4, 0, U16, 65535, 2000},
    {R::kAdy, 3, 1, 4, 3, U16, 65535, 3000},
    {R::kAyggl, 3, 1, 4, 6, U16, 32768, 6000, 32768},
    {R::kAwggl, 3, 1, 4, 9, U16, 32768, 6000, 32768},
    {R::kAszgl, 3, 1, 4, 12, U16, 32768, 6000, 32768},
    {R::kAglys, 3, 1, 4, 33, U16, 32768, 1000, 32768},
    {R::kPl, 1, 1, 4, 36, U16, 1, 100},
};
const Fix kFix8[] = {{3, 256, 300}, {3, 257, 20}};

// Models 10 and 13, the block at 100 (Ext1 0).
const Put k10[] = {
    {R::kAdl, 3, 1, 0, 100, U16, 1, 10},   {R::kAdy, 3, 1, 0, 103, U16},
    {R::kAyggl, 3, 1, 0, 106, U16, 1, 100}, {R::kAglys, 3, 1, 0, 109, U16},
    {R::kPl, 1, 1, 0, 112, U16, 1, 100},   {R::kAszgl, 3, 1, 0, 113, U16, 1, 100},
    {R::kAwggl, 3, 1, 0, 116, U16, 1, 100}, {R::kYgzdn, 1, 1, 0, 126, U32, 1, 1000},
};

// Single-phase: phase A.
const Put k12[] = {
    {R::kYgzdn, 1, 1, 0, 0, U32, 1, 10}, {R::kAdy, 1, 1, 0, 11, U16},  {R::kAdl, 1, 1, 0, 12, U16},
    {R::kAyggl, 1, 1, 0, 13, U16},       {R::kAwggl, 1, 1, 0, 14, U16}, {R::kAszgl, 1, 1, 0, 15, U16},
    {R::kAglys, 1, 1, 0, 16, U16},       {R::kPl, 1, 1, 0, 17, U16},
};

const Put k14[] = {
    {R::kAdy, 3, 1, 0, 3, U16, 10, 1},    {R::kAdl, 3, 1, 0, 6, U16, 10, 1},
    {R::kZyggl, 1, 1, 0, 10, W32, 10, 1}, {R::kZwggl, 1, 1, 0, 12, W32, 10, 1},
    {R::kZglys, 1, 1, 0, 14, U16},        {R::kAyggl, 3, 1, 0, 15, U16, 10, 1},
    {R::kAwggl, 3, 1, 0, 18, U16, 10, 1}, {R::kAglys, 3, 1, 0, 21, U16},
    {R::kPl, 1, 1, 0, 24, U16},           {R::kYgzdn, 1, 1, 0, 25, U32, 10, 1},
    {R::kAszgl, 3, 1, 0, 46, U16, 1, 10}, {R::kZszgl, 1, 1, 0, 49, U16, 1, 10},
};

// The 32 registers from 0 that the handler reads: currents, voltages, phase active powers.
const Put k15[] = {
    {R::kAdl, 3, 2, 0, 0, U32, 10, 1},
    {R::kAdy, 3, 2, 0, 6, U32},
    {R::kAyggl, 3, 4, 0, 18, U64, 10, 1},
};

// Models 17, 18 and 21 from 70 to 90.
const Put k70[] = {
    {R::kAdy, 3, 1, 0, 70, U16},    {R::kAdl, 3, 1, 0, 76, U16, 10, 1},
    {R::kAyggl, 3, 1, 0, 79, U16},  {R::kZyggl, 1, 1, 0, 82, U16},
    {R::kAwggl, 3, 1, 0, 83, U16},  {R::kZwggl, 1, 1, 0, 86, U16},
    {R::kAszgl, 3, 1, 0, 87, U16},  {R::kZszgl, 1, 1, 0, 90, U16},
};
const Put k17[] = {
    {R::kZglys, 1, 1, 0, 91, U16}, {R::kPl, 1, 1, 0, 92, U16}, {R::kYgzdn, 1, 1, 0, 93, U32},
};
const Put k18[] = {
    {R::kAglys, 3, 1, 0, 91, U16},
    {R::kZglys, 1, 1, 0, 94, U16},
    {R::kPl, 1, 1, 0, 95, U16},
    {R::kYgzdn, 1, 1, 3, 8192, U32, 1, 10},
};

// Models 19 and 33: blocks of 8 registers per phase.
const Put k19[] = {
    {R::kAdy, 3, 8, 0, 0, U16, 10, 1},   {R::kAdl, 3, 8, 0, 2, U16, 100, 1},
    {R::kAyggl, 3, 8, 0, 4, U16, 5, 2},  {R::kAglys, 3, 8, 0, 5, U16, 10, 1},
    {R::kAwggl, 3, 8, 0, 6, U16, 5, 2},  {R::kAszgl, 3, 8, 0, 7, U16, 5, 1},
    {R::kPl, 1, 1, 0, 27, U16, 1000000, 106813},
    {R::kZyggl, 1, 1, 0, 28, U16, 5, 2}, {R::kZglys, 1, 1, 0, 29, U16, 10, 1},
    {R::kZwggl, 1, 1, 0, 30, U16, 5, 2}, {R::kZszgl, 1, 1, 0, 31, U16, 5, 1},
    {R::kYgzdn, 1, 1, 0, 33, W32},
};

const Put k26[] = {{R::kAdy, 1, 1, 0, 16, U16}, {R::kAdl, 1, 1, 0, 17, U16, 10, 1}};

const Put k27[] = {
    {R::kAdy, 3, 2, 0, 0, U32, 100, 1}, {R::kAdl, 3, 2, 0, 12, U32, 10, 1},
    {R::kAyggl, 3, 2, 0, 18, U32},      {R::kZyggl, 1, 1, 0, 24, U32},
    {R::kAwggl, 3, 2, 0, 26, U32},      {R::kZwggl, 1, 1, 0, 32, U32},
    {R::kAszgl, 3, 2, 0, 34, U32},      {R::kZszgl, 1, 1, 0, 40, U32},
    {R::kAglys, 3, 2, 0, 42, U32},      {R::kZglys, 1, 1, 0, 48, U32},
    {R::kPl, 1, 1, 0, 50, U32},         {R::kYgzdn, 1, 1, 0, 52, U32},
};

// Ratios a = 40, b = 30, c = d = 1: voltages in 1/1000 of a * c, currents in 1/100 of b * d,
// powers in 1/10000 of a * b * c * d (totals of three times that).
const Put k28[] = {
    {R::kAdy, 3, 1, 4, 0, U16, 1000, 40},      {R::kAdl, 3, 1, 4, 8, U16, 100, 30},
    {R::kAyggl, 3, 1, 4, 11, U16, 10000, 1200}, {R::kZyggl, 1, 1, 4, 14, U16, 10000, 3600},
    {R::kAwggl, 3, 1, 4, 15, U16, 10000, 1200}, {R::kZwggl, 1, 1, 4, 18, U16, 10000, 3600},
    {R::kAszgl, 3, 1, 4, 19, U16, 10000, 1200}, {R::kZszgl, 1, 1, 4, 22, U16, 10000, 3600},
    {R::kAglys, 3, 1, 4, 23, U16, 10, 1},      {R::kZglys, 1, 1, 4, 26, U16, 10, 1},
    {R::kPl, 1, 1, 4, 27, U16},                {R::kYgzdn, 1, 1, 3, 64, U32},
};
const Fix kFix28[] = {{3, 2, 40}, {3, 3, 30}, {3, 16, 1}, {3, 17, 1}};

const Put k30[] = {
    {R::kAdy, 1, 1, 0, 72, U16, 10, 1}, {R::kAdl, 1, 1, 0, 73, U16, 10, 1},
    {R::kAyggl, 1, 1, 0, 74, U16},      {R::kAwggl, 1, 1, 0, 75, U16},
    {R::kAszgl, 1, 1, 0, 76, U16},      {R::kAglys, 1, 1, 0, 77, U16},
    {R::kPl, 1, 1, 0, 78, U16},         {R::kYgzdn, 1, 1, 0, 79, U32},
};

// Currents of phases A and B only: the meter keeps no phase C current (376 is unused, 377
// the total active power's high word); the frequency and the energy follow at 415 and 417.
const Put k32[] = {
    {R::kAdy, 3, 2, 0, 366, U32, 1000, 1},
    {R::kAdl, 2, 2, 0, 372, U32, 100, 1},
    {R::kZyggl, 16, 2, 0, 377, U32},  // Zyggl to Cglys
    {R::kPl, 1, 1, 0, 415, U32},
    {R::kYgzdn, 1, 1, 0, 417, U32},
};

const Put k34[] = {
    {R::kAdy, 3, 1, 0, 50, U16, 10, 1},   {R::kAdl, 3, 1, 0, 56, U16, 10, 1},
    {R::kZyggl, 1, 1, 0, 59, W32, 10, 1}, {R::kZwggl, 1, 1, 0, 61, W32, 10, 1},
    {R::kZglys, 1, 1, 0, 63, U16},        {R::kAyggl, 3, 1, 0, 64, U16, 10, 1},
    {R::kAwggl, 3, 1, 0, 67, U16, 10, 1}, {R::kAglys, 3, 1, 0, 70, U16},
    {R::kPl, 1, 1, 0, 73, U16},           {R::kYgzdn, 1, 1, 0, 74, W32, 1, 100},
};

// ---------------------------------------------------------------- floating-point registers
// Volts, amperes, hertz; powers in W (or kW where the handler scales by 1000).

const Put k7[] = {
    {R::kAdy, 3, 2, 0, 6, UF32, 1, 10},   {R::kAdl, 3, 2, 0, 18, UF32, 1, 100},
    {R::kAyggl, 3, 2, 0, 24, UF32},       {R::kZyggl, 1, 1, 0, 30, UF32},
    {R::kAwggl, 3, 2, 0, 32, UF32},       {R::kZwggl, 1, 1, 0, 38, UF32},
    {R::kZszgl, 1, 1, 0, 40, UF32},       {R::kZglys, 1, 1, 0, 42, UF32, 1, 1000},
    {R::kYgzdn, 1, 1, 0, 44, UF32, 1, 1000},
};

const Put k9[] = {
    {R::kAdy, 3, 2, 0, 6, F32, 1, 10},    {R::kAdl, 3, 2, 0, 18, F32, 1, 100},
    {R::kAyggl, 3, 2, 0, 24, F32},        {R::kZyggl, 1, 1, 0, 30, F32},
    {R::kAwggl, 3, 2, 0, 32, F32},        {R::kZwggl, 1, 1, 0, 38, F32},
    {R::kZszgl, 1, 1, 0, 40, F32},        {R::kZglys, 1, 1, 0, 42, F32, 1, 1000},
    {R::kPl, 1, 1, 0, 44, F32, 1, 100},   {R::kYgzdn, 1, 1, 0, 54, F32},
};

// kW, kvar, kVA; the energy in hundredths of a Wh (the handler divides by 100).
const Put k11[] = {
    {R::kAdy, 3, 2, 0, 23, F32, 1, 10},     {R::kAdl, 3, 2, 0, 35, F32, 1, 100},
    {R::kAyggl, 3, 2, 0, 41, F32, 1, 1000}, {R::kZyggl, 1, 1, 0, 47, F32, 1, 1000},
    {R::kAwggl, 3, 2, 0, 49, F32, 1, 1000}, {R::kZwggl, 1, 1, 0, 55, F32, 1, 1000},
    {R::kAglys, 3, 2, 0, 57, F32, 1, 1000}, {R::kZglys, 1, 1, 0, 63, F32, 1, 1000},
    {R::kAszgl, 3, 2, 0, 65, F32, 1, 1000}, {R::kZszgl, 1, 1, 0, 71, F32, 1, 1000},
    {R::kPl, 1, 1, 0, 73, F32, 1, 100},     {R::kYgzdn, 1, 1, 0, 79, F32, 100, 1},
};

// Models 16 (holding) and 20 (input registers).
const Put k16[] = {
    {R::kAdy, 3, 2, 0, 10, F32, 1, 10},  {R::kAdl, 3, 2, 0, 22, F32, 1, 100},
    {R::kAyggl, 3, 2, 0, 28, F32},       {R::kZyggl, 1, 1, 0, 34, F32},
    {R::kAwggl, 3, 2, 0, 36, F32},       {R::kZwggl, 1, 1, 0, 42, F32},
    {R::kZszgl, 1, 1, 0, 44, F32},       {R::kZglys, 1, 1, 0, 46, F32, 1, 1000},
    {R::kPl, 1, 1, 0, 48, F32, 1, 100},  {R::kYgzdn, 1, 1, 0, 50, F32},
    {R::kAglys, 3, 2, 0, 58, F32, 1, 1000},
    {R::kAszgl, 3, 2, 0, 64, F32},
};

const Put k22[] = {
    {R::kAdy, 3, 2, 0, 9, F32, 1, 10},   {R::kAdl, 3, 2, 0, 15, F32, 1, 100},
    {R::kZyggl, 1, 1, 0, 23, F32},       {R::kZwggl, 1, 1, 0, 25, F32},
    {R::kZglys, 1, 1, 0, 27, F32, 1, 1000},
    {R::kPl, 1, 1, 0, 29, F32, 1, 100},  {R::kYgzdn, 1, 1, 0, 31, F32, 10, 1},
    {R::kAyggl, 3, 2, 0, 45, F32},       {R::kAwggl, 3, 2, 0, 51, F32},
    {R::kAszgl, 3, 2, 0, 57, F32},       {R::kZszgl, 1, 1, 0, 63, F32},
    {R::kAglys, 3, 2, 0, 65, F32, 1, 1000},
};

// Word-swapped: integers and singles low word first.
const Put k23[] = {
    {R::kAdy, 3, 2, 0, 0, W32},    {R::kAdl, 3, 2, 0, 12, W32, 10, 1},
    {R::kAyggl, 3, 2, 0, 32, WF32}, {R::kZyggl, 1, 1, 0, 38, WF32},
    {R::kAwggl, 3, 2, 0, 40, WF32}, {R::kZwggl, 1, 1, 0, 46, WF32},
    {R::kAglys, 3, 2, 0, 48, W32},  {R::kZglys, 1, 1, 0, 54, W32},
    {R::kAszgl, 3, 2, 0, 56, WF32}, {R::kZszgl, 1, 1, 0, 62, WF32},
    {R::kPl, 1, 1, 0, 64, W32},     {R::kYgzdn, 1, 1, 0, 80, W32},
};

const Put k24[] = {
    {R::kAdy, 3, 2, 0, 57, F32, 1, 10},  {R::kAdl, 3, 2, 0, 69, F32, 1, 100},
    {R::kAyggl, 3, 2, 0, 75, F32},       {R::kZyggl, 1, 1, 0, 81, F32},
    {R::kAwggl, 3, 2, 0, 83, F32},       {R::kZwggl, 1, 1, 0, 89, F32},
    {R::kAszgl, 3, 2, 0, 91, F32},       {R::kZszgl, 1, 1, 0, 97, F32},
    {R::kAglys, 3, 2, 0, 99, F32, 1, 1000},
    {R::kZglys, 1, 1, 0, 105, F32, 1, 1000},
    {R::kPl, 1, 1, 0, 107, F32, 1, 100}, {R::kYgzdn, 1, 1, 0, 109, F32, 10, 1},
};

const Put k25[] = {
    {R::kAdl, 3, 2, 0, 0, F32, 1, 100},  {R::kAdy, 3, 2, 0, 8, F32, 1, 10},
    {R::kAyggl, 3, 2, 0, 24, F32},       {R::kZyggl, 1, 1, 0, 30, F32},
    {R::kAwggl, 3, 2, 0, 32, F32},       {R::kZwggl, 1, 1, 0, 38, F32},
    {R::kAszgl, 3, 2, 0, 40, F32},       {R::kZszgl, 1, 1, 0, 46, F32},
    {R::kAglys, 3, 2, 0, 48, F32, 1, 1000},
    {R::kZglys, 1, 1, 0, 54, F32, 1, 1000},
    {R::kPl, 1, 1, 0, 64, F32, 1, 100},  {R::kYgzdn, 1, 1, 0, 66, F32, 10, 1},
};

const Put k29[] = {
    {R::kAdy, 3, 2, 0, 6, F32, 1, 10},      {R::kAdl, 3, 2, 0, 18, F32, 1, 100},
    {R::kAyggl, 3, 2, 0, 24, F32, 1, 1000}, {R::kZyggl, 1, 1, 0, 30, F32, 1, 1000},
    {R::kAwggl, 3, 2, 0, 32, F32, 1, 1000}, {R::kZwggl, 1, 1, 0, 38, F32, 1, 1000},
    {R::kZszgl, 1, 1, 0, 40, F32, 1, 1000, 0, true},
    {R::kZglys, 1, 1, 0, 42, F32, 1, 1000}, {R::kPl, 1, 1, 0, 44, F32, 1, 100},
    {R::kYgzdn, 1, 1, 0, 46, F32, 1, 1000},
};

// Groups of four singles (phases A to C, then the total) from 41; the apparent powers in
// kVA and the frequency follow the power factors at 65 and 73.
const Put k31[] = {
    {R::kAdy, 3, 2, 0, 23, F32, 1, 10},     {R::kAdl, 3, 2, 0, 35, F32, 1, 100},
    {R::kAyggl, 3, 2, 0, 41, F32, 1, 1000}, {R::kZyggl, 1, 1, 0, 47, F32, 1, 1000},
    {R::kAwggl, 3, 2, 0, 49, F32, 1, 1000}, {R::kZwggl, 1, 1, 0, 55, F32, 1, 1000},
    {R::kAglys, 3, 2, 0, 57, F32, 1, 1000},
    {R::kZglys, 1, 1, 0, 63, F32, 1, 1000},
    {R::kAszgl, 3, 2, 0, 65, F32, 1, 1000, 0, true},
    {R::kZszgl, 1, 1, 0, 71, F32, 1, 1000, 0, true},
    {R::kPl, 1, 1, 0, 73, F32, 1, 100},     {R::kYgzdn, 1, 1, 0, 75, F32, 1, 10},
};

const Map kMaps[] = {
    {1, 3, k1, N(k1), nullptr, 0, kFix1, N(kFix1)},
    {2, 3, k2, N(k2), nullptr, 0, nullptr, 0},
    {3, 3, k3, N(k3), nullptr, 0, nullptr, 0},
    {4, 3, k4, N(k4), nullptr, 0, nullptr, 0},
    {5, 3, k5, N(k5), nullptr, 0, kFix5, N(kFix5)},
    {6, 4, k6, N(k6), nullptr, 0, kFix6, N(kFix6)},
    {7, 3, k7, N(k7), nullptr, 0, nullptr, 0},
    {8, 3, k8, N(k8), nullptr, 0, kFix8, N(kFix8)},
    {9, 3, k9, N(k9), nullptr, 0, nullptr, 0},
    {10, 3, k10, N(k10), nullptr, 0, nullptr, 0},
    {11, 3, k11, N(k11), nullptr, 0, nullptr, 0},
    {12, 3, k12, N(k12), nullptr, 0, nullptr, 0},
    {13, 3, k10, N(k10), nullptr, 0, nullptr, 0},
    {14, 3, k14, N(k14), nullptr, 0, nullptr, 0},
    {15, 3, k15, N(k15), nullptr, 0, nullptr, 0},
    {16, 3, k16, N(k16), nullptr, 0, nullptr, 0},
    {17, 3, k70, N(k70), k17, N(k17), nullptr, 0},
    {18, 3, k70, N(k70), k18, N(k18), nullptr, 0},
    {19, 3, k19, N(k19), nullptr, 0, nullptr, 0},
    {20, 4, k16, N(k16), nullptr, 0, nullptr, 0},
    {21, 4, k70, N(k70), k17, N(k17), nullptr, 0},
    {22, 3, k22, N(k22), nullptr, 0, nullptr, 0},
    {23, 3, k23, N(k23), nullptr, 0, nullptr, 0},
    {24, 3, k24, N(k24), nullptr, 0, nullptr, 0},
    {25, 3, k25, N(k25), nullptr, 0, nullptr, 0},
    {26, 3, k26, N(k26), nullptr, 0, nullptr, 0},
    {27, 3, k27, N(k27), nullptr, 0, nullptr, 0},
    {28, 3, k28, N(k28), nullptr, 0, kFix28, N(kFix28)},
    {29, 3, k29, N(k29), nullptr, 0, nullptr, 0},
    {30, 3, k30, N(k30), nullptr, 0, nullptr, 0},
    {31, 3, k31, N(k31), nullptr, 0, nullptr, 0},
    {32, 3, k32, N(k32), nullptr, 0, nullptr, 0},
    {33, 3, k19, N(k19), nullptr, 0, nullptr, 0},
    {34, 3, k34, N(k34), nullptr, 0, nullptr, 0},
};

// ---------------------------------------------------------------- laying

void SetReg(ModbusSlave& s, int kind, int reg, uint16_t v) {
    if (reg < 0 || reg > 0xFFFF) return;
    if (kind == 4)
        s.SetInput((uint16_t)reg, v);
    else
        s.SetHolding((uint16_t)reg, v);
}

uint16_t Reg(const ModbusSlave& s, int kind, int reg);

int Words(int form) { return form == U16 ? 1 : form == U64 ? 4 : 2; }

// The words of a raw value in the form's order.
void Split(int form, uint64_t raw, uint16_t* w) {
    const int n = Words(form);
    if (form == W32 || form == WF32) {
        w[0] = (uint16_t)raw;
        w[1] = (uint16_t)(raw >> 16);
        return;
    }
    for (int k = 0; k < n; k++) w[k] = (uint16_t)(raw >> (16 * (n - 1 - k)));
}

uint32_t FloatBits(float f) {
    uint32_t u;
    memcpy(&u, &f, 4);
    return u;
}

// The handler's reading of a float register: value * den / num in single precision,
// truncated (0 where it does not fit).
bool FloatBack(float x, int32_t num, int32_t den, int32_t* back) {
    float y = x * (float)den;
    y = y / (float)num;
    if (!(y > -2147483648.0f && y < 2147483648.0f)) return false;
    *back = (int32_t)y;
    return true;
}

// The raw register value of one field; false where the form cannot hold it so that the
// handler reads the value back.
bool Raw(const Put& p, int32_t value, uint64_t* raw) {
    const bool isFloat = p.form == F32 || p.form == WF32;
    if (isFloat) {
        float x = (float)((double)value * p.num / p.den);
        if (!p.unscaled) {
            // The nearest single, scaled back in single precision, may truncate to one below
            // the value: step to the neighbour that reads back whole.
            int32_t back = 0;
            for (int k = 0; k < 4 && FloatBack(x, p.num, p.den, &back) && back != value; k++)
                x = nextafterf(x, back < value ? INFINITY : -INFINITY);
            if (!FloatBack(x, p.num, p.den, &back) || back != value) return false;
        }
        *raw = FloatBits(x);
        return true;
    }
    // Integers: the smallest count (away from zero) whose scaled value truncates back.
    const int64_t q = (int64_t)value * p.num;
    int64_t c = q / p.den;
    if (q % p.den != 0) c += q > 0 ? 1 : -1;
    const int64_t r = c + p.off;
    const int bits = 16 * Words(p.form);
    if (r < 0 || (bits < 64 && r >= ((int64_t)1 << bits))) return false;
    if (p.form == UF32) {
        int32_t back = 0;
        if (!FloatBack((float)(uint32_t)r, p.num, p.den, &back) || back != value) return false;
    } else if ((r - p.off) * p.den / p.num != value) {
        return false;
    }
    *raw = (uint64_t)r;
    return true;
}

struct Laid {
    int kind, reg, form;
    uint16_t w[4];
};

// The registers each model's meter has: the blocks its handler reads (models 10 and 13 one
// block of 110 for each Ext1 setting, from 100, 210 and 320) and the register its command
// writes (model 1 register 1, model 2 register 256).
struct Served {
    uint8_t model, kind;
    uint16_t first, count;
};
const Served kServed[] = {
    {1, 3, 33, 32}, {1, 3, 1, 1}, {2, 3, 0, 57}, {2, 3, 256, 1}, {3, 3, 256, 28}, {3, 3, 512, 28},
    {4, 3, 7, 19}, {4, 3, 29, 6}, {5, 3, 0, 2}, {5, 3, 97, 23}, {5, 3, 141, 2}, {6, 4, 0, 57},
    {7, 3, 6, 55}, {8, 3, 256, 2}, {8, 4, 0, 39}, {9, 3, 0, 64}, {10, 3, 100, 330}, {11, 3, 0, 96},
    {12, 3, 0, 18}, {13, 3, 100, 330}, {14, 3, 0, 50}, {15, 3, 0, 32}, {15, 3, 40, 1},
    {16, 3, 10, 42}, {16, 3, 58, 12}, {17, 3, 70, 30}, {18, 3, 70, 30}, {18, 3, 8192, 2},
    {19, 3, 0, 41}, {20, 4, 10, 42}, {20, 4, 58, 12}, {21, 4, 70, 30}, {22, 3, 9, 24},
    {22, 3, 45, 26}, {23, 3, 0, 18}, {23, 3, 32, 34}, {23, 3, 80, 4}, {24, 3, 57, 64},
    {25, 3, 0, 16}, {25, 3, 24, 32}, {25, 3, 64, 32}, {26, 3, 16, 2}, {27, 3, 0, 70},
    {28, 3, 2, 2}, {28, 3, 16, 2}, {28, 3, 64, 2}, {28, 4, 0, 29}, {29, 3, 6, 42}, {30, 3, 72, 10},
    {31, 3, 23, 60}, {32, 3, 366, 53}, {33, 3, 0, 41}, {34, 3, 50, 41},
};

}  // namespace

MeterReading MeterReading::Typical() {
    MeterReading r;
    const int32_t v[kFields] = {1234000,                      // Ygzdn
                                10200, 3300, 3400, 3500,      // P
                                1800,  500,  600,  700,       // Q
                                10500, 3400, 3500, 3600,      // S
                                950,   950,  950,  950,       // PF
                                5000,                         // Pl
                                2200,  2210, 2220,            // U
                                1500,  1510, 1520};           // I
    memcpy(r.v, v, sizeof(v));
    return r;
}

MeterReading SoundMeterReading(int model) {
    MeterReading r = MeterReading::Typical();
    if (model == 7) {
        for (int f = R::kAdl; f <= R::kCdl; f++) r[f] = r[f] / 100 * 100;
    } else if (model == 19 || model == 33) {
        const struct {
            int fld;
            int32_t a, b, c;  // phases A, B, C; the total is their sum
        } phases[] = {
            {R::kAyggl, 1045, 1071, 1097},
            {R::kAwggl, 343, 352, 360},
            {R::kAszgl, 1100, 1127, 1154},
        };
        for (const auto& p : phases) {
            r[p.fld] = p.a;
            r[p.fld + 1] = p.b;
            r[p.fld + 2] = p.c;
            r[p.fld - 1] = p.a + p.b + p.c;
        }
        r[R::kAdl] = 500;
        r[R::kBdl] = 510;
        r[R::kCdl] = 520;
    }
    return r;
}

MeterReading AlarmMeterReading(int model) {
    MeterReading r = SoundMeterReading(model);
    const bool single = model == 12 || model == 26 || model == 30;
    const int lost = single ? 0 : 2;  // phase A or C
    const int groups[3][2] = {{R::kZyggl, R::kAyggl}, {R::kZwggl, R::kAwggl}, {R::kZszgl, R::kAszgl}};
    for (const auto& g : groups) {
        r[g[0]] -= r[g[1] + lost];
        r[g[1] + lost] = 0;
    }
    r[R::kAglys + lost] = 0;
    r[R::kAdy + lost] = 0;
    r[R::kAdl + lost] = 0;
    return r;
}

HcMeter HcMeterOf(const MeterReading& r) {
    HcMeter m;
    m.pt = 100;
    m.ct = 100;
    m.energy = (uint32_t)((int64_t)r[R::kYgzdn] * 12000 / (m.pt * m.ct));
    for (int k = 0; k < 3; k++) {
        m.u[k] = (uint16_t)(r[R::kAdy + k] * 10);  // pt x u / 1000 tenths of a volt
        m.i[k] = (uint16_t)r[R::kAdl + k];         // ct x i / 100 hundredths of an ampere
        m.pa[k] = (int16_t)r[R::kAyggl + k];       // pt x ct x p / 10000 watts
    }
    m.p = (int16_t)(r[R::kZyggl] / 3);
    m.q = (int16_t)(r[R::kZwggl] / 3);
    m.s = (uint16_t)(r[R::kZszgl] / 3);
    m.pf = (uint16_t)(r[R::kZglys] * 10);
    m.f = (uint16_t)r[R::kPl];
    return m;
}

bool MeterModelTcp(int model) { return model == 13; }

void SetMeterFloat(ModbusSlave& slave, int kind, uint16_t reg, float value, bool lowWordFirst) {
    uint16_t w[2];
    Split(lowWordFirst ? WF32 : F32, FloatBits(value), w);
    SetReg(slave, kind, reg, w[0]);
    SetReg(slave, kind, reg + 1, w[1]);
}

uint32_t SetMeterModel(ModbusSlave& slave, int model, const MeterReading& reading) {
    const Map* map = nullptr;
    for (const Map& m : kMaps)
        if (m.model == model) map = &m;
    if (!map) return 0;
    for (const Served& b : kServed)
        if (b.model == model) {
            if (b.kind == 4) slave.ServeInput(b.first, b.count);
            else slave.ServeHolding(b.first, b.count);
        }
    for (int k = 0; k < map->nFix; k++) SetReg(slave, map->fix[k].kind, map->fix[k].reg, map->fix[k].value);

    // Lay every field, then keep the bits of those whose registers still hold what was laid
    // (a later field may share a register with an earlier one).
    Laid laid[2 * R::kFields];
    int fields[2 * R::kFields];
    int nLaid = 0;
    const Put* lists[2] = {map->puts, map->more};
    const int counts[2] = {map->nPuts, map->nMore};
    for (int l = 0; l < 2; l++)
        for (int k = 0; k < counts[l]; k++) {
            const Put& p = lists[l][k];
            const int kind = p.kind ? p.kind : map->kind;
            for (int i = 0; i < p.n && p.fld + i <= R::kFields && nLaid < 2 * R::kFields; i++) {
                uint64_t raw = 0;
                if (!Raw(p, reading[p.fld + i], &raw)) continue;
                Laid& d = laid[nLaid];
                d.kind = kind;
                d.reg = p.reg + i * p.step;
                d.form = p.form;
                Split(p.form, raw, d.w);
                for (int w = 0; w < Words(p.form); w++) SetReg(slave, kind, d.reg + w, d.w[w]);
                fields[nLaid++] = p.unscaled ? 0 : p.fld + i;
            }
        }
    uint32_t readable = 0;
    for (int k = 0; k < nLaid; k++) {
        bool intact = fields[k] > 0;
        for (int w = 0; intact && w < Words(laid[k].form); w++)
            intact = Reg(slave, laid[k].kind, laid[k].reg + w) == laid[k].w[w];
        if (intact) readable |= 1u << (fields[k] - 1);
    }
    return readable;
}

namespace {
uint16_t Reg(const ModbusSlave& s, int kind, int reg) {
    return kind == 4 ? s.Input((uint16_t)reg) : s.Holding((uint16_t)reg);
}
}  // namespace

}  // namespace qxsim
