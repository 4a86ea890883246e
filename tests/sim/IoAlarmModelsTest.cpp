// The alarm states of the I/O simulators where they carry rules of their own: controller A
// reporting a door alarm afresh on every poll, a KW7 module closing the inputs of its layout,
// the people counter's crowd, and the leak detector's trouble in each model's registers.
#include <cmath>

#include "CardDevices.h"
#include "IoModules.h"
#include "TextIoModules.h"
#include "gtest/gtest.h"

namespace {

using qxsim::Bytes;

uint32_t RecordOf(const Bytes& reply) { return reply[12] | reply[13] << 8 | reply[14] << 16; }

TEST(CardAAlarm, EveryPollReportsTheDoorAlarmUnderANewRecord) {
    const Bytes poll = qxsim::CardA::Frame(1, 0x1081, {});
    qxsim::CardA sound(1);
    EXPECT_EQ(RecordOf(sound.Answer(poll)), RecordOf(sound.Answer(poll)));

    qxsim::CardA door(1);
    qxsim::AlarmCardA(door, 1);
    const Bytes first = door.Answer(poll), second = door.Answer(poll);
    ASSERT_EQ(34u, first.size());
    EXPECT_EQ(0x05, first[20]);
    EXPECT_EQ(RecordOf(first) + 1, RecordOf(second));

    // The 24-bit record number starts again at 1, never at 0 (no record).
    qxsim::CardEvent last;
    last.rec = 0xFFFFFF;
    door.SetEvent(last);
    EXPECT_EQ(1u, RecordOf(door.Answer(poll)));
}

TEST(Kw7Alarm, EveryInputOfTheLayoutClosedTheRelaysAsSwitched) {
    struct Case {
        int ins, inDigits, outDigits;
        uint16_t outputs;
        const char* answer;
    } cases[] = {
        {10, 4, 2, 0x01, "!03FF01\r"},  // 10 inputs, 6 relays
        {16, 4, 2, 0x00, "!FFFF00\r"},  // 16 inputs, no relay
        {12, 4, 2, 0x01, "!0FFF01\r"},  // 12 inputs, 4 relays
        {20, 4, 4, 0x01, "!FFFF0001\r"},  // more than 16 inputs: 16
    };
    for (const Case& c : cases) {
        qxsim::Kw7Points p;
        p.ins = c.ins;
        qxsim::AlarmKw7(p, 0);
        EXPECT_EQ(0, p.inputs) << c.ins << " inputs, sound";
        qxsim::AlarmKw7(p, 1);
        qxsim::Kw7Module m(1);
        m.SetLayout(c.inDigits, c.outDigits);
        m.SetPoints(p.inputs, c.outputs);
        EXPECT_EQ(c.answer, m.Answer("$016\r")) << c.ins << " inputs";
    }
}

// Persons inside and the two counts of the 'f' answer over a day, every ten minutes.
TEST(PeopleCounterAlarm, ACrowdInsideAndCountsThatNeverGoBack) {
    const uint8_t none[8] = {0};
    const Bytes ask = qxsim::PeopleCounter::Frame('f', 1, none);
    for (int state : {0, 1}) {
        qxsim::PeopleCounter m(1);
        int lastIn = 0, lastOut = 0;
        for (double t = 0; t < 86400.0; t += 600.0) {
            qxsim::PeopleCounterDay(m, t, state);
            const Bytes f = m.Answer(ask);
            ASSERT_EQ(16u, f.size());
            const int in = f[7] << 8 | f[8], out = f[11] << 8 | f[12];
            if (state) EXPECT_EQ(430, in - out) << t;
            else EXPECT_TRUE(in - out >= 35 && in - out <= 75) << t << ": " << in - out;
            EXPECT_GE(in, lastIn) << t;
            EXPECT_GE(out, lastOut) << t;
            lastIn = in;
            lastOut = out;
        }
    }
}

// A leak detector's registers in each state, as its model's map carries water and wires: a
// locating model's water lies on the cable short of its length, the dry pair A 2000, B 3 of
// model 0 gone; model 0's broken wires both above 4095, the first (also the length) leaving
// the position short of it with the pair still dry.
TEST(LeakAlarm, EachModelsRegistersInItsStates) {
    struct Reg {
        bool input;
        uint16_t address, value;
    };
    struct Case {
        int model, state;
        std::vector<Reg> regs;
    } cases[] = {
        {0, 1, {{true, 1, 125}, {true, 2, 500}, {true, 3, 10}, {true, 4, 500}, {true, 5, 100}}},
        {0, 2, {{true, 1, 500}, {true, 2, 2000}, {true, 3, 3}, {true, 4, 5000}, {true, 5, 5000}}},
        {1, 1, {{false, 0, 3}, {false, 1, 96}, {false, 8, 385}}},
        {2, 1, {{true, 0, 1}}},
        {2, 2, {{true, 0, 2}}},
        {3, 1, {{true, 2, 0x0300}, {true, 4, 96}, {true, 38, 385}}},
    };
    for (const Case& c : cases) {
        qxsim::Leak l;
        qxsim::AlarmLeak(l, c.model, c.state);
        qxsim::LeakDetector d(1);
        d.Set(c.model, l);
        for (const Reg& r : c.regs)
            EXPECT_EQ(r.value, r.input ? d.Slave().Input(r.address) : d.Slave().Holding(r.address))
                << "model " << c.model << " state " << c.state << (r.input ? " input " : " holding ")
                << r.address;
    }
    // The second state is the wires' where a model has one; the others stay dry and whole.
    for (int model = 0; model < 4; model++) {
        qxsim::Leak l;
        qxsim::AlarmLeak(l, model, 2);
        EXPECT_EQ(model == 0 || model == 2, qxsim::LeakHasAlarm2(model)) << model;
        EXPECT_EQ(qxsim::LeakHasAlarm2(model), l.wire) << model;
        EXPECT_FALSE(l.water) << model;
    }
}

}  // namespace
