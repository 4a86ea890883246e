// Every UPS handler polling its simulated unit in trouble (the simulator's alarm states: on
// battery with the battery low, on the bypass, the output failed): each fault the unit reports
// reaches the host's limit check through the handler's decode and its definition rows. The
// fields out of limits after the poll are exactly those the state raises, with those a sound
// unit already shows against the type's default limits.
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "EdxUps.h"
#include "IIIUps.h"
#include "Limits.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "Q1Ups.h"
#include "ScriptChannel.h"
#include "SingleUps.h"
#include "SleepLog.h"
#include "TestDb.h"
#include "Ups9EBlock.h"
#include "UpsModbusMaps.h"
#include "YdtDevice.h"
#include "YdtUps.h"
#include "gtest/gtest.h"
#include "ups/SMUPS9EModbus.h"
#include "ups/SMUps.h"
#include "ups/SMUpsAHP.h"
#include "ups/SMUpsAPM150.h"
#include "ups/SMUpsApcMegGalaxy5000.h"
#include "ups/SMUpsEdxRt6.h"
#include "ups/SMUpsGX.h"
#include "ups/SMUpsGXE.h"
#include "ups/SMUpsHR7000.h"
#include "ups/SMUpsHTxx.h"
#include "ups/SMUpsHipulseUSeries.h"
#include "ups/SMUpsIII.h"
#include "ups/SMUpsIPGuard.h"
#include "ups/SMUpsITrustAdapt.h"
#include "ups/SMUpsLink.h"
#include "ups/SMUpsNMYG.h"
#include "ups/SMUpsSentry.h"
#include "ups/SMUpsSmart.h"
#include "ups/SMUpsSymmetra.h"

using qxtest::Bytes;
using Responder = qxtest::ScriptChannel::Responder;
using Refs = std::set<std::string>;

namespace {

const auto* const g_env = ::testing::AddGlobalTestEnvironment(new qxtest::RecordSleeps);

// The fields of a polled handler out of limits by the host's rule over the rows it registers,
// as the host names them: NAME(FIELD).
Refs OutOfLimits(CSMBase& h) {
    TestDb db;
    h.RegDb(&db, 0);
    Refs out;
    for (const qxhost::LimitRow& row : qxhost::LoadLimits(db, h.GetType()))
        if (row.fld >= 1 && row.fld <= h.DataSize() && qxhost::OutOfLimits(row, h.DataVal(row.fld)))
            out.insert(row.name + "(" + std::to_string(row.fld) + ")");
    return out;
}

// One poll of a point of handler H (Variant `variant`, address 1) answered by `serve`.
template <class H>
Refs Poll(const Responder& serve, int variant = 0) {
    qxtest::ScriptChannel ch;
    ch.SetResponder(serve);
    std::unique_ptr<H> h(new H);
    qxhost::PointItem item(41, h->GetType());
    item.Name("UPS").Port(3).Addr(1).Variant(variant).Ser(&ch);
    h->DoItem(item, 0);
    EXPECT_EQ(1, h->DataGet(&ch, 1, 0)) << h->GetNote();
    return OutOfLimits(*h);
}

// A device model's transport responder, for the scripted channel.
Responder Through(qxsim::Responder device) {
    return [device](const Bytes& req) {
        qxsim::Reply reply;
        return device(req, qxsim::Fault::None, reply) ? reply.data : Bytes();
    };
}
Responder Through(qxsim::ModbusSlave& slave) {
    return [&slave](const Bytes& req) { return slave.HandleRtu(req.data(), req.size()).bytes; };
}
Responder Through(qxsim::YdtDevice& dev) {
    return [&dev](const Bytes& req) { return dev.Handle(req); };
}

// The Modbus units at rest on mains: 230 V in and out, 50 Hz, a full battery.
qxsim::UpsReadings AtRest(uint16_t vbatt = 2720) {
    qxsim::UpsReadings u;
    u.vin1 = u.vin2 = u.vin3 = u.vout = u.v2 = u.v3 = 2300;
    u.aout = u.aed = u.v4 = 120;
    u.fin = u.fout = 500;
    u.vbatt = vbatt;
    u.pbatt = 1000;
    u.mbatt = 300;
    u.tem = 250;
    return u;
}
qxsim::UpsReadings InState(int state, uint16_t vbatt = 2720) {
    qxsim::UpsReadings u = AtRest(vbatt);
    qxsim::AlarmUpsReadings(u, state);
    return u;
}

// Each kind in each of its alarm states: its poll and the fields out of limits.
struct Case {
    const char* kind;
    int state;
    std::function<Refs(int state)> poll;
    Refs raised;
};

// A device whose model, laid by the model's alarm function for the state, `set` serves.
template <class H, class M, class Dev>
Refs PollModel(Dev& dev, void (*alarm)(M&, int), void (*set)(Dev&, const M&), int state, int variant = 0) {
    M m{};
    alarm(m, state);
    set(dev, m);
    return Poll<H>(Through(dev), variant);
}

Refs PollQ1(int state) {
    qxsim::Q1Ups dev;
    qxsim::Q1Status s;
    qxsim::AlarmQ1Status(s, state);
    dev.replies["Q1"] = s.Text();
    return Poll<CSMUps>([&dev](const Bytes& req) {
        const std::string out = dev.Feed(std::string(req.begin(), req.end()));
        return Bytes(out.begin(), out.end());
    });
}
Refs PollNmyg(int state) {
    qxsim::Q1Ups dev(qxsim::Q1Ups::kNmyg);
    qxsim::AlarmNmygUps(dev, state);
    return Poll<CSMUpsNMYG>([&dev](const Bytes& req) {
        const std::string out = dev.Feed(std::string(req.begin(), req.end()));
        return Bytes(out.begin(), out.end());
    });
}
Refs PollSentry(int state) {
    qxsim::SentryUps dev;
    qxsim::SentryUps::Readings r;
    qxsim::AlarmSentryUps(r, state);
    dev.Set(r);
    return Poll<CSMUpsSentry>(Through(dev.AsResponder()));
}
Refs PollLink(int state) {
    qxsim::ModbusSlave slave(1);
    return PollModel<CSMUpsLink>(slave, qxsim::AlarmLinkUps, qxsim::SetLinkUps, state);
}
Refs PollSmart(int state) {
    qxsim::SmartUps dev;
    qxsim::AlarmSmartUps(dev, state);
    return Poll<CSMUpsSmart>(Through(dev.AsResponder()));
}
Refs PollEdx(int state) {
    qxsim::EdxUps dev;
    qxsim::AlarmEdxUps(dev, state);
    return Poll<CSMUpsEdxRt6>([&dev](const Bytes& req) { return dev.Answer(req); });
}
Refs PollIII(int state) {
    qxsim::IIIUps dev(1);
    qxsim::AlarmIIIUps(dev, state);
    return Poll<CSMUpsIII>([&dev](const Bytes& req) { return dev.Answer(req); });
}
Refs PollSymmetra(int state) {
    qxsim::ModbusSlave slave(1);
    return PollModel<CSMUpsSymmetra>(slave, qxsim::AlarmSymmetraUps, qxsim::SetSymmetraUps, state);
}
Refs PollGalaxy(int state) {
    qxsim::ModbusSlave slave(1);
    return PollModel<CSMUpsApcMegGalaxy5000>(slave, qxsim::AlarmGalaxyUps, qxsim::SetGalaxyUps, state);
}
Refs PollHipulse(int state) {
    qxsim::YdtDevice dev(1, 0x2A, 0x11);
    return PollModel<CSMUpsHipulseUSeries>(dev, qxsim::AlarmHipulseUps, qxsim::SetHipulseUps, state);
}
Refs PollApm(int state) {
    qxsim::YdtDevice dev(1, 0x2A, 0x10);
    qxsim::ApmFigures f;
    qxsim::AlarmApm(f, state);
    qxsim::SetApm150(dev, f, false);
    return Poll<CSMUpsAPM150>(Through(dev), 1);
}
Refs PollITrust5k(int state) {
    qxsim::YdtDevice dev(1, 0x2A, 0x21);
    return PollModel<CSMUpsITrustAdapt>(dev, qxsim::AlarmITrust5k, qxsim::SetITrust5k, state, 4);
}
Refs PollGxe(int state) {
    qxsim::YdtDevice dev(1, 0x2A, 0x21);
    return PollModel<CSMUpsGXE>(dev, qxsim::AlarmGxe, qxsim::SetGxe, state);
}
Refs PollAhp(int state) {
    qxsim::ModbusSlave slave(1);
    return PollModel<CSMUpsAHP>(slave, qxsim::AlarmAhpUps, qxsim::SetAhpUps, state);
}
Refs PollAhpYdt(int state) {
    qxsim::YdtDevice dev(1, 0x40, 0x21);
    return PollModel<CSMUpsAHP>(dev, qxsim::AlarmAhpYdt, qxsim::SetAhpYdt, state, 2);
}
Refs PollGx(int state) {
    qxsim::ModbusSlave slave(1);
    qxsim::SetUpsGx(slave, InState(state));
    return Poll<CSMUpsGX>(Through(slave));
}
Refs PollHr7000(int state) {
    qxsim::ModbusSlave slave(1);
    qxsim::SetUpsHr7000(slave, InState(state), qxsim::AlarmUpsHr7000Fault(state));
    return Poll<CSMUpsHR7000>(Through(slave));
}
Refs PollIpGuard(int state) {
    qxsim::ModbusSlave slave(1);
    bool inputs[21] = {};
    qxsim::AlarmUpsIpGuardInputs(inputs, state);
    qxsim::SetUpsIpGuard(slave, InState(state), inputs);
    return Poll<CSMUpsIPGuard>(Through(slave));
}
Refs PollHtxx(int state) {
    qxsim::ModbusSlave slave(1);
    qxsim::UpsExReadings u;
    for (int p = 0; p < 3; p++) {
        u.vin[p] = u.vout[p] = 2300;
        u.iin[p] = u.iout[p] = 120;
        u.fin[p] = u.fout[p] = 5000;
    }
    u.vbatt = 2720;
    u.pbatt = 1000;
    u.mbatt = 450;
    u.tem = 250;
    u.states[0] = 1;  // b15: battery connected
    qxsim::AlarmUpsHtxx(u, state);
    qxsim::SetUpsHtxx(slave, u);
    return Poll<CSMUpsHTxx>(Through(slave));
}
Refs Poll9E(int state) {
    qxsim::ModbusSlave slave(1);
    qxsim::SetUps9E(slave, InState(state, 2184), qxsim::AlarmUps9EBits(state));
    return Poll<CSMUPS9EModbus>(Through(slave));
}
Refs Poll9EBlock(int state) {
    qxsim::Ups9EBlock dev;
    qxsim::UpsReadings u = InState(state, 2184);
    u.fin /= 10;  // the block protocol sends hertz and volts
    u.fout /= 10;
    u.vbatt /= 10;
    dev.SetReadings(u, qxsim::AlarmUps9EBits(state));
    return Poll<CSMUPS9EModbus>([&dev](const Bytes& req) { return dev.Answer(req); }, 1);
}

const Case kCases[] = {
    {"q1ups", 1, PollQ1, {"Vin1(1)", "b7(11)", "b6(12)", "b0(18)"}},
    {"q1ups", 2, PollQ1, {"b5(13)", "b4(14)", "b0(18)"}},
    {"nmyg-ups", 1, PollNmyg, {"Vin1(1)", "Vin2(2)", "Vin3(3)", "b7(11)", "b6(12)"}},
    {"nmyg-ups", 2, PollNmyg, {"b5(13)", "b4(14)"}},
    {"sentry-ups", 1, PollSentry, {"b7(11)"}},
    {"link-ups", 1, PollLink, {"Vin1(1)", "b7(11)", "b5(13)", "b4(14)", "b3(15)", "b1(17)"}},
    {"link-ups", 2, PollLink, {"b6(12)", "b2(16)", "b0(18)"}},
    {"smart-ups", 1, PollSmart, {"Vin1(1)", "B6(12)", "B5(13)", "B4(14)"}},
    {"edxups", 1, PollEdx, {"Vin1(1)", "B7(11)", "B6(12)", "B3(15)", "B2(16)"}},
    {"edxups", 2, PollEdx, {"B4(14)", "B1(17)"}},
    {"iiiups", 1, PollIII, {"Vin1(1)", "b7(11)"}},
    {"symmetra", 1, PollSymmetra, {"Vin1(1)", "b7(11)", "b6(12)", "b0(18)"}},
    {"symmetra", 2, PollSymmetra, {"b5(13)", "b4(14)", "b0(18)"}},
    {"galaxy5000", 1, PollGalaxy,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Iout1(10)", "Iout2(11)", "Iout3(12)", "Fin1(13)", "Fin2(14)",
      "Fin3(15)", "Tem(22)", "b15(24)", "b9(30)", "b5(34)", "b1(38)", "b0(39)", "Vbatt(40)",
      "Pbatt(41)", "Mbatt(42)", "VB1(55)", "VB2(56)", "VB3(57)", "FB1(61)", "FB2(62)", "FB3(63)"}},
    {"galaxy5000", 2, PollGalaxy,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Vout1(4)", "Vout2(5)", "Vout3(6)", "Iin1(7)", "Iin2(8)",
      "Iin3(9)", "Iout1(10)", "Iout2(11)", "Iout3(12)", "Fin1(13)", "Fin2(14)", "Fin3(15)",
      "Fout1(16)", "Fout2(17)", "Fout3(18)", "b14(25)", "b12(27)", "b5(34)", "VB1(55)", "VB2(56)",
      "VB3(57)", "IB1(58)", "IB2(59)", "IB3(60)", "FB1(61)", "FB2(62)", "FB3(63)",
      // the battery rows carry the input voltage range: a floating battery lies outside it
      "Vbatt(40)", "Pbatt(41)", "Mbatt(42)"}},
    // The Hipulse poll reads no battery temperature: its 0 lies below the row (the handler
    // passes it over).
    {"hipulse", 1, PollHipulse,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Iout1(10)", "Iout2(11)", "Iout3(12)", "Fin1(13)", "Fin2(14)",
      "Fin3(15)", "Vbatt(40)", "Mbatt(42)", "VB1(55)", "VB2(56)", "VB3(57)", "FB1(61)", "FB2(62)",
      "FB3(63)", "Tem(22)"}},
    {"hipulse", 2, PollHipulse,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Vout1(4)", "Vout2(5)", "Vout3(6)", "Iin1(7)", "Iin2(8)",
      "Iin3(9)", "Iout1(10)", "Iout2(11)", "Iout3(12)", "Fin1(13)", "Fin2(14)", "Fin3(15)",
      "Fout1(16)", "Fout2(17)", "Fout3(18)", "VB1(55)", "VB2(56)", "VB3(57)", "FB1(61)", "FB2(62)",
      "FB3(63)", "Tem(22)", "Vbatt(40)", "Mbatt(42)"}},
    {"apm150", 1, PollApm,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "b7(11)", "b6(12)", "b3(15)", "b2(16)", "b1(17)", "b0(18)"}},
    {"apm150", 2, PollApm, {"b5(13)", "b4(14)"}},
    {"itrust-5k", 1, PollITrust5k, {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Pout(8)", "b1(17)", "b0(18)"}},
    {"itrust-5k", 2, PollITrust5k, {"b2(16)", "V2(28)", "V3(29)"}},
    {"gxe", 1, PollGxe, {"VinA(1)", "VinB(2)", "VinC(3)"}},
    {"ahp", 1, PollAhp,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Aout(6)", "Tem(9)", "b7(11)", "b6(12)", "b5(13)", "b3(15)",
      "Aed(23)", "v4(30)"}},
    {"ahp", 2, PollAhp,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Vout(5)", "Fout(7)", "b4(14)", "v2(28)", "v3(29)", "Vbatt(19)"}},
    // Over YD/T 1363 the AHP sends no output frequency, temperature or battery voltage: their 0
    // lies below the rows (the handler passes them over).
    {"ahp-ydt", 1, PollAhpYdt,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Aout(6)", "b7(11)", "b6(12)", "b5(13)", "b3(15)", "v4(30)",
      "Fout(7)", "Tem(9)", "Vbatt(19)"}},
    {"ahp-ydt", 2, PollAhpYdt,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Vout(5)", "b4(14)", "v2(28)", "v3(29)", "Fout(7)", "Tem(9)",
      "Vbatt(19)"}},
    {"ups-gx", 1, PollGx, {"Vin1(1)"}},
    {"ups-hr7000", 1, PollHr7000, {"Vin1(1)", "b4(14)"}},
    {"ups-ipguard", 1, PollIpGuard,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "b7(11)", "b6(12)", "b4(14)", "b3(15)", "b1(17)", "b0(18)"}},
    {"ups-ipguard", 2, PollIpGuard, {"Vin1(1)", "Vin2(2)", "Vin3(3)", "b5(13)", "b2(16)"}},
    {"ups-htxx", 1, PollHtxx,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Iout1(10)", "Iout2(11)", "Iout3(12)", "Fin1(13)", "Fin2(14)",
      "Fin3(15)", "Tem(22)", "b12(27)", "b10(29)", "b9(30)", "b7(32)", "b5(34)", "b3(36)", "b1(38)",
      "Vbatt(40)", "Pbatt(41)", "Mbatt(42)"}},
    {"ups-htxx", 2, PollHtxx,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Vout1(4)", "Vout2(5)", "Vout3(6)", "Iin1(7)", "Iin2(8)",
      "Iin3(9)", "Iout1(10)", "Iout2(11)", "Iout3(12)", "Fin1(13)", "Fin2(14)", "Fin3(15)",
      "Fout1(16)", "Fout2(17)", "Fout3(18)", "b13(26)", "b8(31)", "b4(35)", "b2(37)", "b0(39)",
      "Vbatt(40)", "Pbatt(41)", "Mbatt(42)"}},
    {"ups-9e", 1, Poll9E,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Fin(4)", "b7(11)", "b6(12)", "b5(13)", "b4(14)", "b1(17)",
      "Vbatt(19)", "Pbatt(20)"}},
    {"ups-9e", 2, Poll9E,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Fin(4)", "Vout(5)", "Fout(7)", "b2(16)", "b0(18)", "v2(28)",
      "v3(29)"}},
    // The block protocol sends no battery capacity: its 0 lies below the row (passed over).
    {"ups-9e-block", 1, Poll9EBlock,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Fin(4)", "b7(11)", "b1(17)", "Vbatt(19)", "Pbatt(20)"}},
    {"ups-9e-block", 2, Poll9EBlock,
     {"Vin1(1)", "Vin2(2)", "Vin3(3)", "Fin(4)", "Vout(5)", "Fout(7)", "b2(16)", "b0(18)", "v2(28)",
      "v3(29)", "Pbatt(20)"}},
};

std::string Text(const Refs& refs) {
    std::string s;
    for (const std::string& r : refs) s += (s.empty() ? "" : ",") + r;
    return s;
}

}  // namespace

TEST(UpsAlarmStates, EveryFaultReachesTheHostsLimitCheck) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(std::string(c.kind) + (c.state == 1 ? " alarm" : " alarm2"));
        EXPECT_EQ(Text(c.raised), Text(c.poll(c.state)));
    }
}
