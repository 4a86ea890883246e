// devsim: serves simulated devices by name until it is stopped, and says where each listens.
//
//   devsim [--fault NAME=KIND]... [--mark N] NAME[:tcp][+KIND]...
//   devsim --list                (one line per device: name, about, forms, its point)
//
// Each device is served on a pseudo-terminal (or, with ":tcp", on a loopback TCP port where
// the device has a network form) and announced on one line of standard output:
//
//   q1ups pts=/dev/pts/5 def=pts/5:2400,N,8,1 chtype=0x100005
//   modbus-th tcp=127.0.0.1:40231 def=127.0.0.1:40231 chtype=0x209D27
//
// `def` and `chtype` are what a site file names as the point's channel and channel type code;
// `type` is the device type code a point of that device takes, and `variant`, `ext1`, `ext2`
// and `wait`, where they are not 0, the point's parameters that the simulated device
// matches (a cell string's length, a model). Every device names them in its row of kKinds,
// so that scripts/soak polls it as a site would. `kept` names where the point's handler
// keeps a poll's state when that is not tbSubSysDetail (a host table, or "none"), and
// "answers=unread" marks a device whose poll does not depend on its answers (the alarm
// outputs), so that a fault planned for it does not show in the poll. "alarms=" names the
// fields on which the sound device still alarms because the type's default limits exclude
// its realistic reading, each with that limit (kSoundAlarms); scripts/soak allows a sound
// point's alarm on those fields only.
// Serial channels are told apart by the port digit in front of the ':', so the devices get
// pseudo-terminals with distinct last digits. After the last device a line "ready" follows.
//
// Faults, for every answer: silence, short, garbage, split, badcheck, exception; "--fault
// NAME=KIND" plans one for every device of that name, "NAME+KIND" for that device alone.
// Device states, the same way: "alarm" (and "alarm2" where a kind has a second) serves the
// device in trouble, reporting the faults its protocol carries; the kind's list line names
// the fields each state raises ("raises=", "raises2=") and the text its summary then shows
// ("brief=", "brief2="), and the device's line ends "(alarm)" or "(alarm2)" (kAlarmRaises).
//
// Marks: with "--mark N" the sound devices that can answer a value of their own do so, the first
// device N, the next N+1 and so on: one field holds a fixed value derived from its mark and
// announced on its line as "mark=FIELD=VALUE" (FIELD as the host's field reference reads it),
// with "stored=TABLE.COLUMN[/KEY/VALUE]" naming where a poll stores it for the point. Many
// devices of one kind then answer distinct values, so that a host that stores one device's
// reading under another point shows it (scripts/soak checks this).
//
// SIGINT or SIGTERM ends the program.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AircMitsubishi.h"
#include "AlarmUnits.h"
#include "AircModbusMaps.h"
#include "BattMonitor.h"
#include "BattRtvs.h"
#include "BodEb90.h"
#include "EdxUps.h"
#include "GsmModem.h"
#include "IIIUps.h"
#include "IoModules.h"
#include "MeterModels.h"
#include "ModbusMaps.h"
#include "ModbusSlave.h"
#include "PowerMaps.h"
#include "PrecisionAirc.h"
#include "PtySim.h"
#include "Q1Ups.h"
#include "SimDevice.h"
#include "SingleUps.h"
#include "TextIoModules.h"
#include "YdtDevice.h"
#include "YdtUps.h"
#include "AircYdtMaps.h"
#include "CardDevices.h"
#include "Camera.h"
#include "Ups9EBlock.h"
#include "UpsModbusMaps.h"
#ifdef QX_SIM_NET
#include "NetSim.h"
#endif

namespace {

// One running device: its transport, the model behind it and a tick for models that change.
// The transport is declared last, so that it stops before the model it serves goes.
struct Running {
    std::string name;
    std::shared_ptr<void> model;
    std::function<void(double)> tick;  // seconds since the start
    int code = 0;                      // channel type code of a serial device
    int mark = -1;                     // the device's mark, -1 without
    std::string marked;                // "FIELD=VALUE" of the marked field, set by the setup
    int alarm = 0;                     // 0 sound; 1 "alarm", 2 "alarm2": the faults it reports
    std::unique_ptr<qxsim::Device> transport;
};

// ---------------------------------------------------------------- the devices

// The model of a device: its sound default, or in an alarm state the default with the faults
// that `Alarm` lays for that state (1 "alarm", 2 "alarm2"). A kind without an alarm state of
// its own gives no `Alarm`.
template <class M, void (*Alarm)(M&, int) = nullptr>
M ModelOf(const Running& r) {
    M m{};
    // Not a constant expression for every compiler (the sanitizer build's): tested at run time.
    void (*const alarm)(M&, int) = Alarm;
    if (alarm && r.alarm) alarm(m, r.alarm);
    return m;
}

// The value of a marked field: inside [low, high], so that marked devices stay in their
// normal range, and distinct for up to high - low + 1 consecutive marks.
int MarkValue(int mark, int low, int high) { return low + mark % (high - low + 1); }

// A Q1-family UPS at rest: mains present, battery full, no alarm bit set; in an alarm state
// on battery or on its bypass (qxsim::AlarmQ1Status). Marked, its temperature is fixed at the
// mark's value (tenths of a degree, 20.0 to 64.9).
void SetupQ1Ups(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::Q1Ups>(qxsim::Q1Ups::kDefault);
    dev.SetFramer(qxsim::FrameByTerminator('\r'));
    dev.SetResponder(ups->AsResponder());
    r.model = ups;
    int tem = r.mark < 0 ? -1 : MarkValue(r.mark, 200, 649);
    if (tem >= 0) r.marked = "Tem=" + std::to_string(tem);
    const qxsim::Q1Status laid = ModelOf<qxsim::Q1Status, qxsim::AlarmQ1Status>(r);
    const bool sound = r.alarm == 0;
    // On mains the input voltage, the output voltage and the load wander a little.
    r.tick = [ups, tem, laid, sound](double t) {
        qxsim::Q1Status s = laid;
        if (sound) {
            s.vin = 230.0 + 3.0 * std::sin(t / 20.0);
            s.vout = 229.5 + 0.5 * std::sin(t / 7.0);
            s.load = 12 + (int)(4.0 * std::sin(t / 30.0));
            s.tem = 30.0 + std::sin(t / 60.0);
        }
        if (tem >= 0) s.tem = tem / 10.0;
        const std::string reply = s.Text();
        ups->SetReply("Q1", reply);
        ups->SetReply("Q6", reply);
    };
    r.tick(0);
}

// The electricity meter of a model of the meter handler (its Variant), Modbus unit 1, holding
// a balanced three-phase reading of about 10 kW at 220 V (qxsim::SoundMeterReading: less
// where the model's registers hold less current); model 0 the meter of the default model,
// its ratio registers at 100 (no transformers: voltages and currents in hundredths, powers in
// watts). Model 13 speaks Modbus TCP and is served on loopback TCP only (its MBAP frames begin
// with a zero byte, which a serial channel takes for line noise). In alarm a phase is lost
// (qxsim::AlarmMeterReading): phase C, or the one phase of a single-phase model.
template <int Model>
void SetupMeter(qxsim::Device& dev, Running& r) {
    auto meter = std::make_shared<qxsim::ModbusSlave>(1);
    const qxsim::MeterReading reading =
        r.alarm ? qxsim::AlarmMeterReading(Model) : qxsim::SoundMeterReading(Model);
    if (Model == 0)
        qxsim::SetHcMeter(*meter, qxsim::HcMeterOf(reading));
    else
        qxsim::SetMeterModel(*meter, Model, reading);
    r.model = meter;
    if (qxsim::MeterModelTcp(Model))
        qxsim::ServeModbusTcp(dev, *meter);
    else
        qxsim::ServeModbusRtu(dev, *meter);
}

#ifdef QX_SIM_NET
#define QX_METER13_TCP SetupMeter<13>
#else
#define QX_METER13_TCP nullptr
#endif

// A temperature/humidity sensor, Modbus unit 1: input registers 30001 (temperature) and
// 30002 (relative humidity) in tenths, the room's (qxsim::ThRoom), wandering a little while
// the room is sound. Marked, the temperature is fixed at the mark's value (5.1 to 34.9
// degrees).
std::shared_ptr<qxsim::ModbusSlave> ThSensor(Running& r) {
    auto th = std::make_shared<qxsim::ModbusSlave>(1);
    th->ServeInput(0, 2);
    r.model = th;
    int temp = r.mark < 0 ? -1 : MarkValue(r.mark, 51, 349);
    if (temp >= 0) r.marked = "Temp=" + std::to_string(temp);
    const qxsim::ThRoom room = ModelOf<qxsim::ThRoom, qxsim::AlarmThRoom>(r);
    const double wander = r.alarm ? 0.0 : 1.0;
    r.tick = [th, temp, room, wander](double t) {
        th->SetInput(0, (uint16_t)(temp >= 0 ? temp : room.tem + (int)(wander * 15.0 * std::sin(t / 40.0))));
        th->SetInput(1, (uint16_t)(room.hum + (int)(wander * 30.0 * std::sin(t / 55.0))));
    };
    r.tick(0);
    return th;
}
void SetupModbusThRtu(qxsim::Device& dev, Running& r) { qxsim::ServeModbusRtu(dev, *ThSensor(r)); }
#ifdef QX_SIM_NET
void SetupModbusThTcp(qxsim::Device& dev, Running& r) { qxsim::ServeModbusTcp(dev, *ThSensor(r)); }
#endif

// A Modbus module at unit 1 whose registers `set` lays once.
void ServeModule(qxsim::Device& dev, Running& r, void (*set)(qxsim::ModbusSlave&)) {
    auto io = std::make_shared<qxsim::ModbusSlave>(1);
    r.model = io;
    set(*io);
    qxsim::ServeModbusRtu(dev, *io);
}

// A Modbus module at unit 1 laid from its model (the sound module, or in an alarm state the
// module in trouble).
template <class M, void (*Set)(qxsim::ModbusSlave&, const M&), void (*Alarm)(M&, int)>
void SetupModule(qxsim::Device& dev, Running& r) {
    auto io = std::make_shared<qxsim::ModbusSlave>(1);
    r.model = io;
    Set(*io, ModelOf<M, Alarm>(r));
    qxsim::ServeModbusRtu(dev, *io);
}

// A six-input switch module, Modbus unit 1, input registers 0-2 one byte per input: every
// input normal (0); in alarm every contact open.
void SetupOnOff(qxsim::Device& dev, Running& r) {
    SetupModule<qxsim::OnOffModule, qxsim::SetOnOff, qxsim::AlarmOnOff>(dev, r);
}

// The Modbus DIO modules, unit 1: the PD220-6 with its six 220 V inputs powered, its dry
// contacts open and its outputs off (in alarm the mains of its inputs lost); the FD220 with
// its switch off; the RD230 with every contact open (in alarm every contact closed).
void SetupPd2206(qxsim::Device& dev, Running& r) {
    SetupModule<qxsim::Pd2206Module, qxsim::SetPd2206, qxsim::AlarmPd2206>(dev, r);
}
void SetupFd220(qxsim::Device& dev, Running& r) {
    ServeModule(dev, r, [](qxsim::ModbusSlave& s) { qxsim::SetFd220(s, false); });
}
void SetupRd230(qxsim::Device& dev, Running& r) {
    SetupModule<qxsim::Rd230Module, qxsim::SetRd230, qxsim::AlarmRd230>(dev, r);
}

// The AD5DA5 module, unit 1, with the room sensors of qxsim::Ad5Da5Module on its inputs (in
// alarm the room's ventilation stopped). Its calibrated form reads the same registers.
void SetupAd5Da5(qxsim::Device& dev, Running& r) {
    SetupModule<qxsim::Ad5Da5Module, qxsim::SetAd5Da5, qxsim::AlarmAd5Da5>(dev, r);
}

// The distribution board, unit 1: every module's first breaker closed, the second open, the
// third not connected; module 24's first breaker opens and closes every minute.
void SetupMlanBoard(qxsim::Device& dev, Running& r) {
    auto io = std::make_shared<qxsim::ModbusSlave>(1);
    r.model = io;
    r.tick = [io](double t) {
        uint8_t b[72];
        for (int i = 0; i < 72; i++) b[i] = (uint8_t)(i % 3 == 0 ? 2 : i % 3 == 1 ? 1 : 0);
        b[69] = (uint8_t)((int)t / 60 % 2 ? 1 : 2);
        qxsim::SetMlanBoard(*io, b);
    };
    r.tick(0);
    qxsim::ServeModbusRtu(dev, *io);
}

// The serial JPEG camera and the 3GE camera, each with a picture of its own.
void SetupCamera(qxsim::Device& dev, Running& r) {
    auto cam = std::make_shared<qxsim::JpegCamera>();
    r.model = cam;
    qxsim::ServeCamera(dev, *cam);
}
void SetupCamera3ge(qxsim::Device& dev, Running& r) {
    auto cam = std::make_shared<qxsim::Camera3ge>();
    r.model = cam;
    qxsim::ServeCamera3ge(dev, *cam);
}

// A leak detector of one model, unit 1, on a dry floor: no water on its cable (a leak is a
// fault of the room, which a sound site does not have). In its alarm states water lies on the
// cable at a distance, or its sensing wires are broken (qxsim::AlarmLeak).
template <int Model>
void SetupLeak(qxsim::Device& dev, Running& r) {
    auto leak = std::make_shared<qxsim::LeakDetector>(1);
    r.model = leak;
    qxsim::Leak l;  // dry, its wires whole
    l.position = 50;
    qxsim::AlarmLeak(l, Model, r.alarm);
    leak->Set(Model, l);
    leak->Serve(dev);
}

// The W70XX module, unit 1, read as the point's Variant says (six inputs and four relays,
// sixteen or fourteen inputs): every input at rest (0, normal), the first and third relays
// on; in alarm every alarm input closed.
void SetupW70xx(qxsim::Device& dev, Running& r) {
    auto io = std::make_shared<qxsim::IoModule>(1);
    r.model = io;
    const qxsim::W70xxPoints p = ModelOf<qxsim::W70xxPoints, qxsim::AlarmW70xx>(r);
    io->SetInputs(p.inputs);
    io->SetCoils(p.coils);
    io->Serve(dev);
}

// The W7017 analog module, unit 1: about 25 degrees on its thermistor, wandering a little, the
// two threshold registers inside their limits; in alarm an overheated thermistor with every
// register in trouble (qxsim::W7017Regs).
void SetupW7017(qxsim::Device& dev, Running& r) {
    auto io = std::make_shared<qxsim::IoModule>(1);
    r.model = io;
    const qxsim::W7017Regs m = ModelOf<qxsim::W7017Regs, qxsim::AlarmW7017>(r);
    const double wander = r.alarm ? 0.0 : 1.0;
    r.tick = [io, m, wander](double t) {
        qxsim::W7017Regs now = m;
        now.r[1] = (uint16_t)(m.r[1] + (int)(wander * 20.0 * std::sin(t / 60.0)));
        io->SetRegisters(now.r);
    };
    r.tick(0);
    io->Serve(dev);
}

// The KW7 module at address 01 in the layout of the point's Ext1 (outputs * 100 + inputs; 0
// for 10 inputs and 6 relays), each group in 4 digits where it has more than 8 points, else
// 2: every input open (0, normal), the first relay closed; in alarm every input closed.
template <int Ext1>
void SetupKw7(qxsim::Device& dev, Running& r) {
    auto kw7 = std::make_shared<qxsim::Kw7Module>(1);
    const int outs = Ext1 <= 0 ? 6 : Ext1 / 100 > 16 ? 16 : Ext1 / 100;
    qxsim::Kw7Points p;
    p.ins = Ext1 <= 0 ? 10 : Ext1 % 100 > 16 ? 16 : Ext1 % 100;
    qxsim::AlarmKw7(p, r.alarm);
    kw7->SetLayout(p.ins > 8 ? 4 : 2, outs > 8 ? 4 : 2);
    kw7->SetPoints(p.inputs, outs ? p.outputs : 0);
    r.model = kw7;
    kw7->Serve(dev);
}

// The BLE scanner with the seven known tags at 24 to 26 degrees, equipment resting on each
// (in alarm the room gone cold: qxsim::BleTags). Each scan lists them from one tag further
// on, so that the handler, which reads six records a scan, has heard every tag from its
// second scan on.
void SetupBle(qxsim::Device& dev, Running& r) {
    auto ble = std::make_shared<qxsim::BleScanner>();
    r.model = ble;
    const qxsim::BleTags tags = ModelOf<qxsim::BleTags, qxsim::AlarmBleTags>(r);
    for (const auto& t : tags.tags) ble->SetTag(t.address, t.r, t.g);
    ble->SetRotating(true);
    ble->Serve(dev);
}

// The EDX UPS on mains at rest, one block per data identifier.
void SetupEdxUps(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::EdxUps>();
    qxsim::AlarmEdxUps(*ups, r.alarm);
    ups->Serve(dev);
    r.model = ups;
}

// The III UPS at bus address 1 on mains at rest.
void SetupIIIUps(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::IIIUps>(1);
    qxsim::AlarmIIIUps(*ups, r.alarm);
    ups->Serve(dev);
    r.model = ups;
}

// The RTVS battery module at bus address 1, in the layout that points with Variant 0 poll:
// two module currents, four channels of four cells each.
void SetupBattRtvs(qxsim::Device& dev, Running& r) {
    auto m = std::make_shared<qxsim::BattRtvs>(1);
    if (r.alarm) qxsim::AlarmBattRtvs(*m, r.alarm);
    m->Serve(dev);
    r.model = m;
}

// A string of four EB90 cell sensors at bus addresses 1 to 4.
void SetupBodEb90(qxsim::Device& dev, Running& r) {
    auto s = std::make_shared<qxsim::BodEb90>(1, 4);
    if (r.alarm) qxsim::AlarmBodEb90(*s, r.alarm);
    s->Serve(dev);
    r.model = s;
}

// A Symmetra UPS, Modbus unit 1: status registers 0-4, measurements 7-51; the input
// voltage wanders a little.
void SetupSymmetra(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::SetSymmetraUps(*ups, ModelOf<qxsim::SymmetraUps, qxsim::AlarmSymmetraUps>(r));
    r.model = ups;
    // On battery there is no input to wander.
    if (r.alarm != 1)
        r.tick = [ups](double t) { ups->SetHolding(20, (uint16_t)(2300 + (int)(30.0 * std::sin(t / 20.0)))); };
    qxsim::ServeModbusRtu(dev, *ups);
}

// A Galaxy 5000 three-phase UPS, Modbus unit 1: measurements 256-331, status 64-79.
void SetupGalaxy(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::SetGalaxyUps(*ups, ModelOf<qxsim::GalaxyUps, qxsim::AlarmGalaxyUps>(r));
    r.model = ups;
    qxsim::ServeModbusRtu(dev, *ups);
}

// A Hipulse U series UPS over YD/T 1363, address 1, VER 11, CID1 2A: CID2 41, E1, E3, 43.
void SetupHipulse(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::YdtDevice>(1, 0x2A, 0x11);
    qxsim::SetHipulseUps(*ups, ModelOf<qxsim::HipulseUps, qxsim::AlarmHipulseUps>(r));
    r.model = ups;
    qxsim::ServeYdt(dev, *ups);
}

// The YD/T 1363 UPS units of the tbUps drivers, address 1.
template <class F, void (*Set)(qxsim::YdtDevice&, const F&), void (*Alarm)(F&, int) = nullptr>
void SetupYdtUps(qxsim::Device& dev, Running& r, int cid1, int ver) {
    auto ups = std::make_shared<qxsim::YdtDevice>(1, cid1, ver);
    Set(*ups, ModelOf<F, Alarm>(r));
    qxsim::ServeYdt(dev, *ups);
    r.model = ups;
}
void SetApm(qxsim::YdtDevice& d, const qxsim::ApmFigures& f) { qxsim::SetApm150(d, f, false); }
void SetupApm150(qxsim::Device& dev, Running& r) {
    SetupYdtUps<qxsim::ApmFigures, SetApm, qxsim::AlarmApm>(dev, r, 0x2A, 0x10);
}
void SetupITrust5k(qxsim::Device& dev, Running& r) {
    SetupYdtUps<qxsim::ITrust5kFigures, qxsim::SetITrust5k, qxsim::AlarmITrust5k>(dev, r, 0x2A, 0x21);
}
void SetupGxe(qxsim::Device& dev, Running& r) {
    SetupYdtUps<qxsim::GxeFigures, qxsim::SetGxe, qxsim::AlarmGxe>(dev, r, 0x2A, 0x21);
}
void SetupAhpYdt(qxsim::Device& dev, Running& r) {
    SetupYdtUps<qxsim::AhpYdtFigures, qxsim::SetAhpYdt, qxsim::AlarmAhpYdt>(dev, r, 0x40, 0x21);
}
// The AHP UPS over Modbus RTU, unit 1.
void SetupAhpModbus(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::SetAhpUps(*ups, ModelOf<qxsim::AhpUpsRegs, qxsim::AlarmAhpUps>(r));
    qxsim::ServeModbusRtu(dev, *ups);
    r.model = ups;
}

// The Modbus RTU UPS units, unit 1, on mains with nothing wrong: 230 V in and out, 50 Hz,
// a full battery; in an alarm state as qxsim::AlarmUpsReadings lays them.
qxsim::UpsReadings UpsAtRest() {
    qxsim::UpsReadings u;
    u.vin1 = u.vin2 = u.vin3 = 2300;
    u.vout = u.v2 = u.v3 = 2300;
    u.aout = u.aed = u.v4 = 120;
    u.fin = u.fout = 500;
    u.vbatt = 2720;
    u.pbatt = 1000;
    u.mbatt = 300;
    u.tem = 250;
    return u;
}
qxsim::UpsReadings UpsIn(const Running& r) {
    qxsim::UpsReadings u = UpsAtRest();
    qxsim::AlarmUpsReadings(u, r.alarm);
    return u;
}
// A UPS over Modbus RTU, unit 1, whose registers `lay` sets for the device's state.
void ServeUps(qxsim::Device& dev, Running& r,
              const std::function<void(qxsim::ModbusSlave&, const Running&)>& lay) {
    auto slave = std::make_shared<qxsim::ModbusSlave>(1);
    lay(*slave, r);
    r.model = slave;
    qxsim::ServeModbusRtu(dev, *slave);
}
void SetupUpsGx(qxsim::Device& dev, Running& r) {
    ServeUps(dev, r, [](qxsim::ModbusSlave& s, const Running& r) { qxsim::SetUpsGx(s, UpsIn(r)); });
}
void SetupUpsHr7000(qxsim::Device& dev, Running& r) {
    ServeUps(dev, r, [](qxsim::ModbusSlave& s, const Running& r) {
        qxsim::SetUpsHr7000(s, UpsIn(r), qxsim::AlarmUpsHr7000Fault(r.alarm));
    });
}
void SetupUpsIpGuard(qxsim::Device& dev, Running& r) {
    ServeUps(dev, r, [](qxsim::ModbusSlave& s, const Running& r) {
        bool inputs[21] = {};
        qxsim::AlarmUpsIpGuardInputs(inputs, r.alarm);
        qxsim::SetUpsIpGuard(s, UpsIn(r), inputs);
    });
    qxsim::ServeUpsIpGuard(dev, *std::static_pointer_cast<qxsim::ModbusSlave>(r.model));
}
// The 9E's battery is a string of 16 blocks floating at 218.4 V, within its battery voltage row
// (200.0-235.0 V).
qxsim::UpsReadings Ups9EIn(const Running& r) {
    qxsim::UpsReadings u = UpsAtRest();
    u.vbatt = 2184;
    qxsim::AlarmUpsReadings(u, r.alarm);
    return u;
}
void SetupUps9E(qxsim::Device& dev, Running& r) {
    ServeUps(dev, r, [](qxsim::ModbusSlave& s, const Running& r) {
        qxsim::SetUps9E(s, Ups9EIn(r), qxsim::AlarmUps9EBits(r.alarm));
    });
}
void SetupUpsHtxx(qxsim::Device& dev, Running& r) {
    ServeUps(dev, r, [](qxsim::ModbusSlave& s, const Running& r) {
        qxsim::UpsExReadings u;
        for (int p = 0; p < 3; p++) {
            u.vin[p] = u.vout[p] = 2300;
            u.iin[p] = u.iout[p] = 120;
            u.fin[p] = u.fout[p] = 5000;  // hundredths of a hertz
        }
        u.vbatt = 2720;
        u.pbatt = 1000;
        u.mbatt = 450;  // 45.0 minutes
        u.tem = 250;
        u.states[0] = 1;  // b15: battery connected
        qxsim::AlarmUpsHtxx(u, r.alarm);
        qxsim::SetUpsHtxx(s, u);
    });
}
// The 9E on its block protocol: readings in the units it sends (frequencies in hertz, battery
// voltage in volts: its string of 16 blocks floating at 218 V).
void SetupUps9EBlock(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::Ups9EBlock>();
    qxsim::UpsReadings u = Ups9EIn(r);
    u.fin /= 10;
    u.fout /= 10;
    u.vbatt /= 10;
    ups->SetReadings(u, qxsim::AlarmUps9EBits(r.alarm));
    dev.SetFramer(qxsim::Ups9EBlock::RequestFramer());
    dev.SetResponder(ups->AsResponder());
    r.model = ups;
}

// The single-phase UPS of small protocols, at rest on mains.
void SetupNmygUps(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::Q1Ups>(qxsim::Q1Ups::kNmyg);
    qxsim::AlarmNmygUps(*ups, r.alarm);
    dev.SetFramer(qxsim::FrameByTerminator('\r'));
    dev.SetResponder(ups->AsResponder());
    r.model = ups;
}
void SetupSentryUps(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::SentryUps>();
    ups->Set(ModelOf<qxsim::SentryUps::Readings, qxsim::AlarmSentryUps>(r));
    dev.SetFramer(qxsim::FrameByLength(1));
    dev.SetResponder(ups->AsResponder());
    r.model = ups;
}
void SetupLinkUps(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::SetLinkUps(*ups, ModelOf<qxsim::LinkUps, qxsim::AlarmLinkUps>(r));
    r.model = ups;
    qxsim::ServeModbusRtu(dev, *ups);
}
void SetupSmartUps(qxsim::Device& dev, Running& r) {
    auto ups = std::make_shared<qxsim::SmartUps>();
    qxsim::AlarmSmartUps(*ups, r.alarm);
    dev.SetFramer(qxsim::FrameByLength(1));
    dev.SetResponder(ups->AsResponder());
    r.model = ups;
}

// The air-conditioners of the serial drivers and the power-plant controllers, unit or
// address 1, laid from the map's default readings.
template <class M, void (*Set)(qxsim::ModbusSlave&, const M&), void (*Alarm)(M&, int) = nullptr>
void SetupModbusAirc(qxsim::Device& dev, Running& r) {
    auto ac = std::make_shared<qxsim::ModbusSlave>(1);
    Set(*ac, ModelOf<M, Alarm>(r));
    qxsim::ServeModbusRtu(dev, *ac);
    r.model = ac;
}
void SetupAircMitsubishi(qxsim::Device& dev, Running& r) {
    auto ac = std::make_shared<qxsim::AircMitsubishi>(1);
    qxsim::AlarmAircMitsubishi(*ac, r.alarm);
    ac->Serve(dev);
    r.model = ac;
}

// The JADC0110 unit, address 1: an 'S', a 'U' and a 'B' block per poll, then the last block
// again. Its rows have no alarm bit and limits 0 to 0 (no upper bound): in alarm it runs in a
// hard winter, the outdoor temperature at -15.0 C below the row's 0.0.
void SetupJadc(qxsim::Device& dev, Running& r) {
    auto unit = std::make_shared<qxsim::JadcUnit>(1);
    const uint16_t outdoor = r.alarm == 1 ? (uint16_t)-150 : 310;
    unit->AddBlock(qxsim::JadcUnit::Words('S', 1, {450, 235, outdoor, 180, 220}));
    unit->AddBlock(qxsim::JadcUnit::Words('U', 11, {1200, 300, 900, 850}));
    unit->AddBlock(qxsim::JadcUnit::Bits(33, {0x23, 0x01, 0x01}));
    unit->Serve(dev);
    r.model = unit;
}
// The Delta unit over Modbus ASCII, unit 1: 23.5 C, 45.0 %, running, no fault. In alarm: every
// fault register set, the fan and system A stopped, 38.0 C.
void SetupDeltaAscii(qxsim::Device& dev, Running& r) {
    auto slave = std::make_shared<qxsim::ModbusSlave>(1);
    const uint16_t regs[] = {2168, 2199, 2208, 2209, 2210, 2216, 2217, 2223, 4312, 4322, 4509, 4513};
    for (uint16_t reg : regs) slave->ServeHolding(reg);
    slave->ServeHolding(2848, 7);  // the running states, read as one block
    slave->SetHolding(4312, 235);
    slave->SetHolding(4322, 450);
    slave->SetHolding(4509, 220);
    slave->SetHolding(4513, 50);
    slave->SetHolding(2168, 1);
    slave->SetHolding(2848, 1);
    slave->SetHolding(2849, 1);
    if (r.alarm == 1) {
        for (uint16_t reg : {2199, 2208, 2209, 2210, 2216, 2217, 2223}) slave->SetHolding(reg, 1);
        slave->SetHolding(2848, 0);
        slave->SetHolding(2849, 0);
        slave->SetHolding(4312, 380);
    }
    qxsim::ServeModbusAscii(dev, *slave);
    r.model = slave;
}
// The Sunrise unit on GOS, address 1: 25.0 C, 50 %, fan and cooling on.
void SetupSunriseGos(qxsim::Device& dev, Running& r) {
    auto unit = std::make_shared<qxsim::GosUnit>(1);
    qxsim::GosUnit::Status s;
    s.state = 0x0A;
    qxsim::GosUnit::Alarm(s, r.alarm);
    unit->Set(s);
    unit->Serve(dev);
    r.model = unit;
}
// The Sunrise unit over Modbus RTU, unit 1, holding registers 1-8: set points, state (fan and
// cooling), 25.0 C and 50 %, the alarm words 6 and 7. In alarm 1, overheating at 39.0 C and
// 80 %, the fan alone running: compressor high pressure, air flow, fan, filter, high
// temperature and humidity, the probes, supply air, humidifier current, water temperature,
// overflow, user, smoke and water-flow alarms; in alarm 2, 15.0 C and 30 % with the heaters
// on: compressor low pressure, heater overload, low temperature and humidity, humidifier
// without water or current.
void SetupSunriseModbus(qxsim::Device& dev, Running& r) {
    auto slave = std::make_shared<qxsim::ModbusSlave>(1);
    slave->ServeHolding(1, 8);
    uint16_t regs[8] = {220, 50, 0x000A, 250, 50, 0, 0, 0};
    if (r.alarm == 1) {
        const uint16_t hot[5] = {0x0002, 390, 80, 0xB6BE, 0x9385};
        for (int k = 0; k < 5; k++) regs[2 + k] = hot[k];
    } else if (r.alarm == 2) {
        const uint16_t cold[5] = {0x0006, 150, 30, 0x4940, 0x6002};
        for (int k = 0; k < 5; k++) regs[2 + k] = cold[k];
    }
    for (int k = 0; k < 8; k++) slave->SetHolding((uint16_t)(1 + k), regs[k]);
    qxsim::ServeModbusRtu(dev, *slave);
    r.model = slave;
}
// The Stulz C5000, address 1, running: the 512-byte record's words 3..15 in tenths, chilled
// water 12.0 C, return air 24.0 C and 45.0 %, supply air 16.0 C and 60.0 %, outdoor 30.0 C
// and 70.0 % (the water, supply and outdoor values the C7000 serves).
// In alarm it has stopped: return air 38.0 C, supply air 37.0 C; its record carries no alarm
// bit, so the chilled water below the row's 20.0 C is what alarms.
void SetupStulzC5000(qxsim::Device& dev, Running& r) {
    auto unit = std::make_shared<qxsim::C5000Unit>(1);
    uint16_t words[7] = {120, 240, 160, 450, 600, 300, 700};
    if (r.alarm == 1) words[1] = 380, words[2] = 370;
    for (int k = 0; k < 7; k++) unit->SetWord((size_t)(3 + 2 * k), words[k]);
    unit->SetByte(134, r.alarm == 1 ? 0 : 1);
    unit->Serve(dev);
    r.model = unit;
}
// The Stulz C7000 over Modbus RTU, unit 1: floats in the holding registers, coil 1013.
void SetupStulzC7000(qxsim::Device& dev, Running& r) {
    auto slave = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::SetStulzC7000(*slave, ModelOf<qxsim::StulzC7000, qxsim::AlarmStulzC7000>(r));
    qxsim::ServeModbusRtu(dev, *slave);
    r.model = slave;
}
template <class M, void (*Set)(qxsim::ModbusSlave&, const M&, int), int Variant,
          void (*Alarm)(M&, int) = nullptr>
void SetupAircVariant(qxsim::Device& dev, Running& r) {
    auto ac = std::make_shared<qxsim::ModbusSlave>(1);
    Set(*ac, ModelOf<M, Alarm>(r), Variant);
    qxsim::ServeModbusRtu(dev, *ac);
    r.model = ac;
}
template <bool FirstBlockOnly>
void SetupHiross(qxsim::Device& dev, Running& r) {
    auto ac = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::SetHiross(*ac, ModelOf<qxsim::Hiross, qxsim::AlarmHiross>(r));
    qxsim::ServeHiross(dev, *ac, FirstBlockOnly);
    r.model = ac;
}
// The precision air-conditioners over YD/T 1363, address 1, CID1 60.
void SetupEmerson(qxsim::Device& dev, Running& r) {
    SetupYdtUps<qxsim::EmersonUnit, qxsim::SetEmerson, qxsim::AlarmEmerson>(dev, r, 0x60, 0x21);
}
void SetupEvoDx(qxsim::Device& dev, Running& r) {
    SetupYdtUps<qxsim::EvoDxUnit, qxsim::SetEvoDx, qxsim::AlarmEvoDx>(dev, r, 0x60, 0x21);
}
void SetupDme3000(qxsim::Device& dev, Running& r) {
    SetupYdtUps<qxsim::Dme3000Unit, qxsim::SetDme3000, qxsim::AlarmDme3000>(dev, r, 0x60, 0x21);
}
void SetupTeMaster(qxsim::Device& dev, Running& r) {
    SetupYdtUps<qxsim::TeMasterUnit, qxsim::SetTeMaster, qxsim::AlarmTeMaster>(dev, r, 0x60, 0x20);
}
// The DME3000 over Modbus RTU, unit 1.
void SetupDme3000Modbus(qxsim::Device& dev, Running& r) {
    auto slave = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::SetDme3000Modbus(*slave, ModelOf<qxsim::Dme3000Regs, qxsim::AlarmDme3000Modbus>(r));
    qxsim::ServeModbusRtu(dev, *slave);
    r.model = slave;
}

// The alarm output units: the remote alarm module (signal 23, GSM and line ready), the GSM
// modem (signal 23, SIM ready, message centre +8613800100500), the CDMA modem (signal 20) and
// the text-command unit (signal 18, buzzer off). Their handlers keep no current row of their
// own: the host's tbAlmGsm holds the state of a poll (types 0xA01, 0xA08, 0xA09), or nothing
// is written (0xA00).
template <class M>
void SetupAlarmUnit(qxsim::Device& dev, Running& r) {
    auto m = std::make_shared<M>();
    m->Serve(dev);
    r.model = m;
}

// A BAT100 battery monitor, Modbus unit 1, on float charge: 24 cells of 13.3 to 13.8 V with
// their resistance and temperatures; the charging current wanders a little.
void SetupBatt100(qxsim::Device& dev, Running& r) {
    auto slave = std::make_shared<qxsim::ModbusSlave>(1);
    r.model = slave;
    const int alarm = r.alarm;
    r.tick = [slave, alarm](double t) {
        qxsim::Batt100 b;
        b.curr1 = (int16_t)(25 + (int)(5.0 * std::sin(t / 30.0)));
        for (int i = 0; i < 24; i++)
            b.cells.push_back({(uint16_t)(133 + i % 6), (uint16_t)(300 + i), 251, 250});
        if (alarm) qxsim::AlarmBatt100(b, alarm);
        qxsim::SetBatt100(*slave, b);
    };
    r.tick(0);
    qxsim::ServeModbusRtu(dev, *slave);
}

// A BOD-800 cell monitor, unit 1, with 24 healthy cells answering one request each.
void SetupBod800(qxsim::Device& dev, Running& r) {
    auto bod = std::make_shared<qxsim::Bod800>(1);
    bod->SetHealthy(24);
    if (r.alarm) bod->SetAlarm(r.alarm);
    r.model = bod;
    bod->Serve(dev);
}

// An ADU1000 battery inspection unit, YD/T 1363 address 1: 49 cells near 13.3 V and two groups.
void SetupAdu1000(qxsim::Device& dev, Running& r) {
    auto adu = std::make_shared<qxsim::YdtDevice>(1, 0x46, 0x20);
    qxsim::SetAdu1000(*adu, ModelOf<qxsim::Adu1000, qxsim::AlarmAdu1000>(r));
    r.model = adu;
    qxsim::ServeYdt(dev, *adu);
}

// A DB100 battery inspection unit, Modbus unit 1, a string of Cells blocks on charge (the unit
// reports the count; the cells beyond it read 0).
template <int Cells>
void SetupDb100(qxsim::Device& dev, Running& r) {
    auto slave = std::make_shared<qxsim::ModbusSlave>(1);
    qxsim::Db100 m = qxsim::Db100String(Cells);
    if (r.alarm) qxsim::AlarmDb100(m, r.alarm);
    qxsim::SetDb100(*slave, m);
    r.model = slave;
    qxsim::ServeModbusRtu(dev, *slave);
}

// Door and card devices: a new card event every 30 seconds (record number, card and time
// moving on), the people counter's counts wandering.
qxsim::CardEvent TickEvent(double t) {
    qxsim::CardEvent e;
    int n = (int)(t / 30);
    e.rec = (uint32_t)(n + 1);
    e.card = (uint32_t)(300000 + 12345 + n);
    e.second = (2 * n) % 60;
    e.minute = (n / 30) % 60;
    return e;
}
template <class M>
void SetupCard(qxsim::Device& dev, Running& r, std::shared_ptr<M> m,
               std::function<void(M&, const qxsim::CardEvent&, double)> set) {
    m->Serve(dev);
    r.model = m;
    r.tick = [m, set](double t) { set(*m, TickEvent(t), t); };
    r.tick(0);
}
// In alarm controller A reports a door forced open on every poll (qxsim::AlarmCardA).
void SetupCardA(qxsim::Device& dev, Running& r) {
    if (r.alarm) {
        auto m = std::make_shared<qxsim::CardA>(1);
        qxsim::AlarmCardA(*m, r.alarm);
        m->Serve(dev);
        r.model = m;
        return;
    }
    SetupCard<qxsim::CardA>(dev, r, std::make_shared<qxsim::CardA>(1),
                            [](qxsim::CardA& m, const qxsim::CardEvent& e, double) { m.SetEvent(e); });
}
void SetupCardK(qxsim::Device& dev, Running& r) {
    SetupCard<qxsim::CardK>(dev, r, std::make_shared<qxsim::CardK>(),
                            [](qxsim::CardK& m, const qxsim::CardEvent& e, double) { m.SetEvent(e); });
}
void SetupCardT(qxsim::Device& dev, Running& r) {
    SetupCard<qxsim::CardT>(dev, r, std::make_shared<qxsim::CardT>(1),
                            [](qxsim::CardT& m, const qxsim::CardEvent& e, double) {
                                m.SetEvent(e, 1394000000u + 30u * e.rec);
                            });
}
void SetupCardW(qxsim::Device& dev, Running& r) {
    SetupCard<qxsim::CardW>(dev, r, std::make_shared<qxsim::CardW>(1),
                            [](qxsim::CardW& m, const qxsim::CardEvent& e, double) { m.SetEvent(e); });
}
// The people counter's day (qxsim::PeopleCounterDay; in alarm a crowd inside).
void SetupPeopleCounter(qxsim::Device& dev, Running& r) {
    const int state = r.alarm;
    SetupCard<qxsim::PeopleCounter>(dev, r, std::make_shared<qxsim::PeopleCounter>(1),
                                    [state](qxsim::PeopleCounter& m, const qxsim::CardEvent&, double t) {
                                        qxsim::PeopleCounterDay(m, t, state);
                                    });
}
// The RS-485 card reader at address 1 (in alarm a reader of a serial number the site does not
// allow: qxsim::Rs485ReaderId).
void SetupRs485Reader(qxsim::Device& dev, Running& r) {
    const qxsim::Rs485ReaderId id = ModelOf<qxsim::Rs485ReaderId, qxsim::AlarmRs485Reader>(r);
    SetupCard<qxsim::Rs485Reader>(dev, r, std::make_shared<qxsim::Rs485Reader>(id.addr, id.serial),
                                  [](qxsim::Rs485Reader& m, const qxsim::CardEvent& e, double) {
                                      char card[16];
                                      snprintf(card, sizeof card, "%08u", (unsigned)(e.card % 100000000u));
                                      m.SetCard(card);
                                  });
}


// A kind of device and the point that matches it: the type code, Variant, Ext1, Ext2 and
// wait (DataGet's third argument) a site gives a point of that device.
struct Kind {
    const char* name;
    const char* about;
    const char* line;  // serial line settings announced in the definition
    void (*serial)(qxsim::Device&, Running&);
    void (*tcp)(qxsim::Device&, Running&);
    int type = 0;                  // device type code a site polls it as
    const char* stored = nullptr;  // where a poll stores the marked field: "TABLE.COLUMN[/KEY/VALUE]"
    int variant = 0;               // the Variant its points take
    int ext1 = 0, ext2 = 0;        // their Ext1 and Ext2
    int wait = 0;                  // their wait (0: the handler's own)
    // The alarm outputs: their handlers keep a poll's state in the host's table tbAlmGsm, or
    // nowhere ("none"), not in tbSubSysDetail ...
    const char* kept = nullptr;
    // ... and a poll of theirs does not depend on what the device answers (no traffic, or
    // answers not looked at), so a device fault never shows in it.
    bool unread = false;
};

const Kind kKinds[] = {
    {"meter0", "electricity meter of model 0, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<0>, nullptr, 0x100, nullptr, 0},
    {"meter1", "electricity meter of model 1, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<1>, nullptr, 0x100, nullptr, 1},
    {"meter2", "electricity meter of model 2, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<2>, nullptr, 0x100, nullptr, 2},
    {"meter3", "electricity meter of model 3, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<3>, nullptr, 0x100, nullptr, 3},
    {"meter4", "electricity meter of model 4, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<4>, nullptr, 0x100, nullptr, 4},
    {"meter5", "electricity meter of model 5, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<5>, nullptr, 0x100, nullptr, 5},
    {"meter6", "electricity meter of model 6, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<6>, nullptr, 0x100, nullptr, 6},
    {"meter7", "electricity meter of model 7, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<7>, nullptr, 0x100, nullptr, 7},
    {"meter8", "electricity meter of model 8, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<8>, nullptr, 0x100, nullptr, 8},
    {"meter9", "electricity meter of model 9, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<9>, nullptr, 0x100, nullptr, 9},
    {"meter10", "electricity meter of model 10, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<10>, nullptr, 0x100, nullptr, 10},
    {"meter11", "electricity meter of model 11, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<11>, nullptr, 0x100, nullptr, 11},
    {"meter12", "electricity meter of model 12, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<12>, nullptr, 0x100, nullptr, 12},
    {"meter13", "electricity meter of model 13, Modbus TCP unit 1", "", nullptr, QX_METER13_TCP, 0x100, nullptr, 13},
    {"meter14", "electricity meter of model 14, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<14>, nullptr, 0x100, nullptr, 14},
    {"meter15", "electricity meter of model 15, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<15>, nullptr, 0x100, nullptr, 15},
    {"meter16", "electricity meter of model 16, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<16>, nullptr, 0x100, nullptr, 16},
    {"meter17", "electricity meter of model 17, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<17>, nullptr, 0x100, nullptr, 17},
    {"meter18", "electricity meter of model 18, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<18>, nullptr, 0x100, nullptr, 18},
    {"meter19", "electricity meter of model 19, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<19>, nullptr, 0x100, nullptr, 19},
    {"meter20", "electricity meter of model 20, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<20>, nullptr, 0x100, nullptr, 20},
    {"meter21", "electricity meter of model 21, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<21>, nullptr, 0x100, nullptr, 21},
    {"meter22", "electricity meter of model 22, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<22>, nullptr, 0x100, nullptr, 22},
    {"meter23", "electricity meter of model 23, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<23>, nullptr, 0x100, nullptr, 23},
    {"meter24", "electricity meter of model 24, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<24>, nullptr, 0x100, nullptr, 24},
    {"meter25", "electricity meter of model 25, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<25>, nullptr, 0x100, nullptr, 25},
    {"meter26", "electricity meter of model 26, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<26>, nullptr, 0x100, nullptr, 26},
    {"meter27", "electricity meter of model 27, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<27>, nullptr, 0x100, nullptr, 27},
    {"meter28", "electricity meter of model 28, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<28>, nullptr, 0x100, nullptr, 28},
    {"meter29", "electricity meter of model 29, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<29>, nullptr, 0x100, nullptr, 29},
    {"meter30", "electricity meter of model 30, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<30>, nullptr, 0x100, nullptr, 30},
    {"meter31", "electricity meter of model 31, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<31>, nullptr, 0x100, nullptr, 31},
    {"meter32", "electricity meter of model 32, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<32>, nullptr, 0x100, nullptr, 32},
    {"meter33", "electricity meter of model 33, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<33>, nullptr, 0x100, nullptr, 33},
    {"meter34", "electricity meter of model 34, Modbus RTU unit 1", "9600,N,8,1", SetupMeter<34>, nullptr, 0x100, nullptr, 34},
    {"emerson-airc", "Emerson precision air-conditioner, YD/T 1363 VER 21 CID1 60, address 1 (CID2 42, 47, 82, 85)",
     "9600,N,8,1", SetupEmerson, nullptr, 0x801},
    {"evo-dx", "EVO CyberMate DX air-conditioner, YD/T 1363 VER 21 CID1 60, address 1 (CID2 42, 43, 44)",
     "9600,N,8,1", SetupEvoDx, nullptr, 0x80E},
    {"dme3000", "DME3000 air-conditioner, YD/T 1363 VER 21 CID1 60, address 1 (CID2 82, 42, 47, 83; 45, 49)",
     "9600,N,8,1", SetupDme3000, nullptr, 0x809},
    {"dme3000-modbus", "DME3000 air-conditioner over Modbus RTU, unit 1, input registers 0-123, inputs 14-86",
     "9600,N,8,1", SetupDme3000Modbus, nullptr, 0x809, nullptr, 1},
    {"tmaster", "T-MASTER/E-MASTER air-conditioner, YD/T 1363 VER 20 CID1 60, address 1 (CID2 E0)",
     "9600,N,8,1", SetupTeMaster, nullptr, 0x80C},
    {"q1ups", "Q1-family UPS (Q1/Q6/QGS status, Q2, F, I; test and beeper commands)", "2400,N,8,1",
     SetupQ1Ups, nullptr, 0x300, "tbUps.Tem"},
    {"nmyg-ups", "NMYG UPS (RS flags, RD readings, RN)", "9600,N,8,1", SetupNmygUps, nullptr, 0x30E},
    {"sentry-ups", "Sentry UPS (one request byte C0, binary reply)", "2400,N,8,1", SetupSentryUps,
     nullptr, 0x30A},
    {"link-ups", "Link UPS, Modbus unit 1, holding registers 170-180 and the alarm word 0",
     "9600,N,8,1", SetupLinkUps, nullptr, 0x30F},
    {"sca-airc", "SCA air-conditioning unit, Modbus unit 1, holding registers 1-36", "9600,N,8,1",
     SetupModbusAirc<qxsim::ScaAirc, qxsim::SetScaAirc, qxsim::AlarmScaAirc>, nullptr, 0x81B},
    {"hst12-airc", "HST12 air-conditioner, Modbus unit 1, holding registers 0-15 (floats)",
     "9600,N,8,1", SetupAircVariant<qxsim::HstAirc, qxsim::SetHstAirc, 0, qxsim::AlarmHst12Airc>, nullptr, 0x819},
    {"hst26jf-airc", "HST26JF air-conditioner, Modbus unit 1, holding registers 0-23 (floats)",
     "9600,N,8,1", SetupAircVariant<qxsim::HstAirc, qxsim::SetHstAirc, 1, qxsim::AlarmHst26JfAirc>, nullptr, 0x819,
     nullptr, 1},
    {"hairuifu-airc", "HaiRuiFu air-conditioner, Modbus unit 1, input registers 1-2, 30-42, "
     "discrete inputs 0-6, 20-22", "9600,N,8,1",
     SetupModbusAirc<qxsim::HaiRuiFuAirc, qxsim::SetHaiRuiFuAirc, qxsim::AlarmHaiRuiFuAirc>, nullptr, 0x815},
    {"rda-airc", "RDA air-conditioner, Modbus unit 1, discrete inputs 14-65, holding 0-3, "
     "input registers 9-12", "9600,N,8,1", SetupModbusAirc<qxsim::RdaAirc, qxsim::SetRdaAirc, qxsim::AlarmRdaAirc>,
     nullptr, 0x80F},
    {"canatal-airc", "Canatal air-conditioner, Modbus unit 1, coil 1, inputs 10001-10007, 10021-10024, "
     "input registers 30002-30003, holding 40015-40022", "9600,N,8,1",
     SetupModbusAirc<qxsim::CanatalAirc, qxsim::SetCanatalAirc, qxsim::AlarmCanatalAirc>, nullptr, 0x807},
    {"smart-ups", "Smart UPS (one-letter queries Y C Q g B f L M N O F P j, command W)",
     "2400,N,8,1", SetupSmartUps, nullptr, 0x303},
    {"modbus-th", "Modbus temperature/humidity sensor, unit 1, input registers 30001-30002 in tenths",
     "9600,N,8,1", SetupModbusThRtu,
#ifdef QX_SIM_NET
     SetupModbusThTcp,
#else
     nullptr,
#endif
     0x1200, "tbModbusDat.Val/Fld/V30001"},
    {"onoff", "six-input switch module, Modbus unit 1, input registers 30001-30006 (one byte per input in the first three)",
     "9600,N,8,1", SetupOnOff, nullptr, 0x200},
    {"dio-pd2206", "PD220-6 DIO module, Modbus unit 1, input registers 30001-30012 one byte each, "
     "outputs 40065-40066 by function 8", "9600,N,8,1", SetupPd2206, nullptr, 0x903},
    {"dio-fd220", "FD220 discharge switch module, Modbus unit 1, coil 1 (written at 501)",
     "9600,N,8,1", SetupFd220, nullptr, 0x902},
    {"dio-rd230", "RD230 eight-input module, Modbus unit 1, inputs 10001-10008", "9600,N,8,1",
     SetupRd230, nullptr, 0x906},
    {"dio-ad5da5", "AD5DA5 analog module, Modbus unit 1, input registers 30001-30005, holding "
     "40001-40005", "9600,N,8,1", SetupAd5Da5, nullptr, 0x905},
    {"dio-ad5da5-ivc", "AD5DA5 analog module with room sensors (calibration curves), Modbus unit 1",
     "9600,N,8,1", SetupAd5Da5, nullptr, 0x90A},
    {"mlan7vxpxj", "distribution board, 24 modules of 3 breakers, Modbus unit 1, holding "
     "registers 41965-42036", "9600,N,8,1", SetupMlanBoard, nullptr, 0x909},
    {"camera", "serial JPEG camera (56 00 commands: reset, frame, length, read picture, settings)",
     "115200,N,8,1", SetupCamera, nullptr, 0xC00},
    {"camera3ge", "3GE serial camera (\"UG3#\" snapshot, UP length header, streamed picture)",
     "115200,N,8,1", SetupCamera3ge, nullptr, 0xC01},
    {"transf", "transformer temperature controller, Modbus unit 1, coils 1-4, input registers 30001-30004",
     "9600,N,8,1", SetupModbusAirc<qxsim::Transformer, qxsim::SetTransformer, qxsim::AlarmTransformer>, nullptr, 0x103},
    {"scada", "generator SCADA interface, Modbus unit 1, holding registers 40102-40117, 40129-40142, 40200-40202, 40301",
     "9600,N,8,1", SetupModbusAirc<qxsim::PowScada, qxsim::SetPowScada, qxsim::AlarmPowScada>, nullptr, 0x104},
    {"fbjk", "DC power system monitor, Modbus unit 1, input registers 30257-30276, 30409-30412, 30439-30442, "
     "30469-30472, 30499-30502, inputs 10257-10261, 10305-10308",
     "9600,N,8,1", SetupModbusAirc<qxsim::Fbjk, qxsim::SetFbjk, qxsim::AlarmFbjk>, nullptr, 0x105},
    {"hc311a", "single-phase meter HC-311A, Modbus unit 1, holding 40001-40018, 40065-40080, input 30001-30008, relay coil 1",
     "9600,N,8,1", SetupModbusAirc<qxsim::Hc311a, qxsim::SetHc311a, qxsim::AlarmHc311a>, nullptr, 0x106},
    {"hgm", "generator-set controller, Modbus unit 1, coils 1-88, holding registers 40001-40035",
     "9600,N,8,1", SetupModbusAirc<qxsim::Hgm, qxsim::SetHgm, qxsim::AlarmHgm>, nullptr, 0x107},
    {"leak", "locating leak detector (model 0), Modbus unit 1, input registers 1-5, holding 1",
     "9600,N,8,1", SetupLeak<0>, nullptr, 0x600},
    {"leak-1", "locating leak detector (model 1), Modbus unit 1, holding 0-1, 8-11, 10-byte length write",
     "9600,N,8,1", SetupLeak<1>, nullptr, 0x600, nullptr, 1},
    {"leak-2", "plain leak detector (model 2), Modbus unit 1, input register 0, holding 0x1000",
     "9600,N,8,1", SetupLeak<2>, nullptr, 0x600, nullptr, 2},
    {"leak-3", "locating leak detector (model 3), Modbus unit 1, input registers 2, 4, 38",
     "9600,N,8,1", SetupLeak<3>, nullptr, 0x600, nullptr, 3},
    {"w70xx", "W70XX I/O module with 6 inputs and 4 relays, Modbus unit 1, inputs 10001-10016, "
     "coils 1-4, holding 40001-40008, function 0x46", "9600,N,8,1", SetupW70xx, nullptr, 0x904, nullptr, 2},
    {"w70xx-16", "W70XX I/O module with 16 inputs, Modbus unit 1, inputs 10001-10016, coils 1-4, holding 40001-40008",
     "9600,N,8,1", SetupW70xx, nullptr, 0x904, nullptr, 1},
    {"w70xx-14", "W70XX I/O module with 14 inputs, Modbus unit 1, inputs 10001-10016, coils 1-4, holding 40001-40008",
     "9600,N,8,1", SetupW70xx, nullptr, 0x904, nullptr, 3},
    {"w7017", "W7017 analog module, Modbus unit 1, holding registers 40001-40008 (inputs 10001-10016, coils 1-4)",
     "9600,N,8,1", SetupW7017, nullptr, 0x90B},
    {"kw7", "KW7 ASCII I/O module, address 01, '$AA6' with 10 inputs and 6 relays",
     "9600,N,8,1", SetupKw7<0>, nullptr, 0x907, nullptr, 1},
    {"kw7-16", "KW7 ASCII I/O module, address 01, '$AA6' with 16 inputs and no relay (Ext1 16)",
     "9600,N,8,1", SetupKw7<16>, nullptr, 0x907, nullptr, 1, 16},
    {"kw7-412", "KW7 ASCII I/O module, address 01, '$AA6' with 12 inputs and 4 relays (Ext1 412)",
     "9600,N,8,1", SetupKw7<412>, nullptr, 0x907, nullptr, 1, 412},
    {"ble-scanner", "BLE scanner module, AT commands without line end, seven wireless tags",
     "9600,N,8,1", SetupBle, nullptr, 0x90C},
    {"edxups", "EDX UPS, 11-byte requests answered by one XOR-checked block per data identifier",
     "9600,N,8,1", SetupEdxUps, nullptr, 0x308},
    {"iiiups", "III UPS, address 1, EA/16-framed measurement (0x81) and battery (0x86) replies",
     "9600,N,8,1", SetupIIIUps, nullptr, 0x309},
    {"symmetra", "Symmetra UPS over Modbus RTU, unit 1, status 40001-40005, measurements 40008-40052",
     "9600,N,8,1", SetupSymmetra, nullptr, 0x307},
    {"galaxy5000", "Galaxy 5000 three-phase UPS over Modbus RTU, unit 1, registers 40065-40080, 40257-40332",
     "9600,N,8,1", SetupGalaxy, nullptr, 0x318},
    {"hipulse", "Hipulse U series three-phase UPS over YD/T 1363, address 1 (CID2 41, E1, E3, 43)",
     "9600,N,8,1", SetupHipulse, nullptr, 0x31A},
    {"apm150", "APM150/iTrust UPS, YD/T 1363 VER 10 CID1 2A, address 1 (CID2 41, E1, E7, 44)",
     "9600,N,8,1", SetupApm150, nullptr, 0x30D, nullptr, 1},
    {"itrust-5k", "iTrust 5K-10K UPS, YD/T 1363 VER 21 CID1 2A, address 1 (CID2 42, 44)",
     "9600,N,8,1", SetupITrust5k, nullptr, 0x311, nullptr, 4},
    {"gxe", "GXE UPS, YD/T 1363 VER 21 CID1 2A, address 1 (CID2 42, 43)", "9600,N,8,1",
     SetupGxe, nullptr, 0x314},
    {"ahp", "AHP UPS, Modbus RTU unit 1, holding registers 100-140", "9600,N,8,1",
     SetupAhpModbus, nullptr, 0x313},
    {"ahp-ydt", "AHP UPS, YD/T 1363 VER 21 CID1 40 and 42, address 1", "9600,N,8,1",
     SetupAhpYdt, nullptr, 0x313, nullptr, 2},
    {"ups-gx", "GX UPS, Modbus unit 1, holding registers 1-56, input register 81", "9600,N,8,1", SetupUpsGx, nullptr, 0x30C},
    {"ups-hr7000", "HR7000 UPS, Modbus unit 1, input registers 1-66", "9600,N,8,1", SetupUpsHr7000,
     nullptr, 0x30B},
    {"ups-ipguard", "IPGuard UPS, Modbus unit 1, input registers 25-75, inputs 17-37 one byte each",
     "9600,N,8,1", SetupUpsIpGuard, nullptr, 0x305},
    {"ups-htxx", "HTxx three-phase UPS, Modbus unit 1, holding 13-69 and input 83-139 registers",
     "9600,N,8,1", SetupUpsHtxx, nullptr, 0x315},
    {"ups-9e", "9E UPS, Modbus unit 1, input registers 257-338, inputs 1128-1225", "9600,N,8,1",
     SetupUps9E, nullptr, 0x312},
    {"ups-9e-block", "9E UPS on its block protocol (0x16, 81 88 frames, blocks acknowledged with 0x06)",
     "9600,N,8,1", SetupUps9EBlock, nullptr, 0x312, nullptr, 1},
    {"airc-das", "air-conditioner control module, Modbus RTU unit 1, holding registers 40001-40009",
     "9600,N,8,1", SetupModbusAirc<qxsim::AircDas, qxsim::SetAircDas, qxsim::AlarmAircDas>, nullptr, 0x701},
    {"lcp-dx", "in-row air-conditioner, Modbus RTU unit 1, input 30022-30049, holding 40003-40004, coil 30",
     "9600,N,8,1", SetupModbusAirc<qxsim::LcpDx, qxsim::SetLcpDx, qxsim::AlarmLcpDx>, nullptr, 0x702},
    {"airc-mitsubishi", "Mitsubishi air-conditioner adapter, address 1, 55 00 addr .. AA queries",
     "9600,N,8,1", SetupAircMitsubishi, nullptr, 0x705},
    {"plc-qsm50", "PLC precision air-conditioner, Modbus RTU unit 1, holding 40001-40002, 40061, 40068, 40201, 40204",
     "9600,N,8,1", SetupModbusAirc<qxsim::PlcQsm50, qxsim::SetPlcQsm50, qxsim::AlarmPlcQsm50>, nullptr, 0x804},
    {"k200", "K200 precision air-conditioner, Modbus RTU unit 1, holding registers 40001-40008",
     "9600,N,8,1", SetupModbusAirc<qxsim::K200, qxsim::SetK200, qxsim::AlarmK200>, nullptr, 0x812},
    {"line-gi", "GI in-row air-conditioner, Modbus unit 1, holding 4-6, 15, 27, 133, coils 23-66",
     "9600,N,8,1", SetupModbusAirc<qxsim::LineGi, qxsim::SetLineGi, qxsim::AlarmLineGi>, nullptr, 0x806},
    {"line-gt", "GT in-row air-conditioner, Modbus unit 1, holding 1-7, 129, coils 2-37",
     "9600,N,8,1", SetupModbusAirc<qxsim::LineGt, qxsim::SetLineGt, qxsim::AlarmLineGt>, nullptr, 0x805},
    {"pex", "PeX precision air-conditioner (variants but 1), Modbus unit 1, inputs 10-30 one byte each, input registers 15, 109-112, 129-130",
     "9600,N,8,1", SetupAircVariant<qxsim::Pex, qxsim::SetPex, 0, qxsim::AlarmPex>, nullptr, 0x808},
    {"pex-1", "PeX precision air-conditioner (variant 1), Modbus unit 1, holding registers 0-63",
     "9600,N,8,1", SetupAircVariant<qxsim::Pex, qxsim::SetPex, 1, qxsim::AlarmPex>, nullptr, 0x808, nullptr, 1},
    {"hiross", "Hiross precision air-conditioner, Modbus unit 1, holding 16-34, 48-53, 112-121",
     "9600,N,8,1", SetupHiross<false>, nullptr, 0x80D},
    {"hiross-block1", "Hiross precision air-conditioner answering only holding 16-34, unit 1",
     "9600,N,8,1", SetupHiross<true>, nullptr, 0x80D},
    {"matrix", "Matrix precision air-conditioner, Modbus unit 1, coils 14-65, holding 1-15",
     "9600,N,8,1", SetupModbusAirc<qxsim::Matrix, qxsim::SetMatrix, qxsim::AlarmMatrix>, nullptr, 0x80A},
    {"station", "Station precision air-conditioner (variants but 1), Modbus unit 1, coils 8-26, 127-136, holding 652-653, 704-705",
     "9600,N,8,1", SetupAircVariant<qxsim::Station, qxsim::SetStation, 0, qxsim::AlarmStation>, nullptr, 0x80B},
    {"station-1", "Station precision air-conditioner (variant 1), Modbus unit 1, coils 0-18, 128-137, holding 2-3, 703-704",
     "9600,N,8,1", SetupAircVariant<qxsim::Station, qxsim::SetStation, 1, qxsim::AlarmStation>, nullptr, 0x80B, nullptr, 1},
    {"jadc0110", "JADC0110 air-conditioner, STX/ENQ/ACK link, address 1 ('S', 'U', 'B' blocks)",
     "9600,N,8,1", SetupJadc, nullptr, 0x81C},
    {"delta-airc", "Delta air-conditioner, Modbus ASCII unit 1, holding registers 2168, 2199, 2208-2210, 2216-2217, "
     "2223, 2848-2854, 4312, 4322, 4509, 4513",
     "9600,N,8,1", SetupDeltaAscii, nullptr, 0x81E},
    {"sunrise-gos", "Sunrise air-conditioner on GOS, address 1 (L status, R03, R04)",
     "9600,N,8,1", SetupSunriseGos, nullptr, 0x810, nullptr, 1},
    {"sunrise-modbus", "Sunrise air-conditioner, Modbus unit 1, holding registers 1-8",
     "9600,N,8,1", SetupSunriseModbus, nullptr, 0x810},
    {"stulz-c5000", "Stulz C5000, address 1, 5-byte request, 512-byte record", "9600,N,8,1",
     SetupStulzC5000, nullptr, 0x802, nullptr, 1},
    {"stulz-c7000", "Stulz C7000, Modbus unit 1, float registers 2340-13623, coil 1013",
     "9600,N,8,1", SetupStulzC7000, nullptr, 0x802},
    {"alarm-module", "remote alarm module, AA-framed commands 01-33 (SMS, TTS, dialling, relays)",
     "115200,N,8,1", SetupAlarmUnit<qxsim::AlarmModule>, nullptr, 0xA00, nullptr, 0, 0, 0, 0, "none",
     true},
    {"gsm-modem", "GSM modem, AT commands ended by CR (ATZ, ATE0, +CSQ, +CPIN?, +COPS?, +CSCA?), "
     "AT+CMGS with its '> ' prompt, the PDU ended by Ctrl-Z answered +CMGS",
     "115200,N,8,1", SetupAlarmUnit<qxsim::GsmModem>, nullptr, 0xA01, nullptr, 0, 0, 0, 0, "tbAlmGsm",
     true},
    {"cdma-modem", "CDMA modem, AT commands on CR LF lines, AT+CMGS with the message as hex text",
     "115200,N,8,1", SetupAlarmUnit<qxsim::CdmaModem>, nullptr, 0xA09, nullptr, 0, 0, 0, 0, "tbAlmGsm",
     true},
    {"text-alarm", "text-command alarm unit, csq() get_buzzer() send_sms(...) ... answered OK",
     "115200,N,8,1", SetupAlarmUnit<qxsim::TextUnit>, nullptr, 0xA08, nullptr, 0, 0, 0, 0, "tbAlmGsm",
     true},
    {"batt100", "BAT100 battery monitor, Modbus unit 1, input registers 0x500-0x503 and 256 cells "
     "at 0x100, 0x200, 0x300, 0x400", "9600,N,8,1", SetupBatt100, nullptr, 0x402},
    {"bod800", "BOD-800 cell monitor, unit 1, function 4 register 128 + cell, 24 cells",
     "9600,N,8,1", SetupBod800, nullptr, 0x404},
    {"adu1000", "ADU1000 battery inspection unit, YD/T 1363 VER 20 CID1 46, address 1 (CID2 41, 49 cells)",
     "9600,N,8,1", SetupAdu1000, nullptr, 0x401},
    {"db100", "DB100 battery inspection unit, Modbus unit 1, holding registers 0x200-0x21D",
     "9600,N,8,1", SetupDb100<24>, nullptr, 0x400},
    {"db100-4", "DB100 battery inspection unit on a string of 4 blocks (cell count 4, cells 5-24 "
     "read 0), Modbus unit 1, holding registers 0x200-0x21D", "9600,N,8,1", SetupDb100<4>, nullptr, 0x400},
    {"card-a", "door controller A, address 1, 34-byte '~' frames with a 16-bit sum (poll 1081)",
     "9600,N,8,1", SetupCardA, nullptr, 0xD00},
    {"rtvs", "RTVS battery module, address 1, '~' requests: module currents F1/F2, channel "
     "voltages 91-94, cell records E1-E4 (four cells per channel)", "9600,N,8,1", SetupBattRtvs,
     nullptr, 0x403},
    {"eb90", "EB90 cell sensor string, addresses 1-4, EB 90 requests: voltage 60, temperature 61, "
     "resistance 62 (points sweep 4 cells: Ext1 and wait 4)", "9600,N,8,1", SetupBodEb90, nullptr,
     0x405, nullptr, 0, 4, 0, 4},
    {"card-k", "card reader K, 0x7F ASCII-hex frames, ADR 01 CID1 80 (CID2 4A)", "9600,N,8,1",
     SetupCardK, nullptr, 0xD01},
    {"card-t", "door controller T, address 1, A6 frames with an 8-bit sum (poll 01, event 42)",
     "9600,N,8,1", SetupCardT, nullptr, 0xD02},
    {"card-w", "door controller W, serial number 1, 64-byte packets (poll B0)", "9600,N,8,1",
     SetupCardW, nullptr, 0xD03},
    {"people-counter", "door people counter, address 1, 16-byte FA frames with XOR (a b c e f)",
     "9600,N,8,1", SetupPeopleCounter, nullptr, 0xD04},
    {"rs485-reader", "RS-485 card reader, address 1, serial 00012345, 09 'A' ASCII frames with XOR text",
     "9600,N,8,1", SetupRs485Reader, nullptr, 0xD05},
};

// The fields on which a sound device of a kind still alarms: its readings are realistic, but
// the type's default limits exclude them (an operator sets a site's own limits). Each is
// named as smhost names a field out of limits, NAME(FIELD), with the limit it falls outside:
// "<30.0" below a low limit, ">3000" above a high one, "!=255" a state other than its normal
// code. A kind not named here polls normal when it is sound.
struct SoundAlarms {
    const char* kind;
    const char* fields;  // "NAME(FIELD)LIMIT", comma-separated
};
const SoundAlarms kSoundAlarms[] = {
    // Air-conditioners. Room and return air at 23.5 to 26.2 C lie below the 30.0 C low limit
    // of the temperature rows (the Mitsubishi's set point of 25 C too), DME3000's outdoor 31.0 C
    // below its 35.0 (over Modbus the unit sends none, which its handler passes over), the HST
    // coil's 12.2 C below 20.0, the Stulz's chilled water at 12.0 C below 20.0 (the C5000
    // sends no room values, passed over). Emerson: 220 V phases, a 3.5 A humidifier and
    // 50.0 Hz against limits 20.0 to 38.0 (78.0 for vb).
    // SCA: 45.2 % and 56.1 % humidity above 35.0, supply air 18.3 C and 2.5 A below 25.0. PeX:
    // supply air 18.0 C below 23.0, 45.0 % humidity above 38.0 (its rows share the limits).
    {"matrix", "tem(1)<30.0"},
    {"sunrise-gos", "tem(1)<30.0"},
    {"sunrise-modbus", "tem(1)<30.0"},
    {"stulz-c5000", "watertemp(8)<20.0"},
    {"stulz-c7000", "watertemp(8)<20.0"},
    {"emerson-airc", "va(3)>38.0,vb(4)>78.0,vc(5)>38.0,c(6)<20.0,pl(7)>38.0"},
    {"dme3000", "Tem(14)<30.0,temout(16)<35.0"},
    {"dme3000-modbus", "Tem(14)<30.0"},
    {"tmaster", "tem(1)<30.0"},
    {"sca-airc", "HumRet(12)>35.0,TemSup(63)<25.0,HumSup(64)>35.0,IHum(65)<25.0"},
    {"hst12-airc", "TemInCiol(15)<20.0"},
    {"hst26jf-airc", "TemInCiol(15)<20.0"},
    {"rda-airc", "tem(1)<30.0"},
    {"airc-mitsubishi", "TemSet(4)<30.0,Tem(5)<30.0"},
    {"pex", "s_tem(8)<23.0,r_hum(10)>38.0"},
    {"pex-1", "s_tem(8)<23.0,r_hum(10)>38.0"},

    // Power: the HC-311A's voltage row admits 10.0-38.0 V and its temperature row 2.5-6.5 C
    // (a meter on 220.0 V at 31.5 C); the DC monitor's line-voltage rows admit up to 250.0 V
    // (380 V inputs) and its bus-bar row nothing below 200.0 V (a 53.5 V bus); the ADU1000's
    // current rows nothing below 10.00 A (float currents of 2.50 and 1.25 A).
    {"hc311a", "m_uiAU(1)>38.0,m_iTemp(24)>6.5"},
    {"fbjk", "dyuv1(1)>250.0,dyvw1(2)>250.0,dywu1(3)>250.0,dyuv2(4)>250.0,dyvw2(5)>250.0,"
             "dywu2(6)>250.0,dymp(7)<200.0"},
    {"adu1000", "Cfddl(2)<10.00,Cfddl2(54)<10.00"},

    // Three-phase UPS units: a battery string of 20 blocks floats at 272 V, a full battery
    // is 100 % with 45 minutes left, where the types' battery rows carry the input voltage
    // range 200.0-235.0 (the AHP's battery voltage 20.0-235.0).
    {"galaxy5000", "Vbatt(40)>235.0,Pbatt(41)<200.0,Mbatt(42)<200.0"},
    {"hipulse", "Vbatt(40)>235.0,Mbatt(42)<200.0"},
    {"ahp", "Vbatt(19)>235.0"},
    {"ups-htxx", "Vbatt(40)>235.0,Pbatt(41)<200.0,Mbatt(42)<200.0"},
    // I/O modules. Their rows take any reading but 0 for an alarm: the W7017's temperature
    // (about 25.21 degrees, stored 2521) and the AD5DA5's analog inputs (counts of 10 V).
    {"w7017", "D01(1)!=0"},
    {"dio-ad5da5", "D01(1)!=0,D02(2)!=0,D03(3)!=0,D04(4)!=0,D05(5)!=0"},
    // Room sensors: about 8 ppm of ammonia, below the default low limit of 100.0.
    {"dio-ad5da5-ivc", "D06(6)<100.0"},
    // Door controller A: a card read or a door opened sets its "进出" row, whose limits take
    // any passage for an alarm.
    {"card-a", "CardFound(17)!=0"},
    // The BLE scanner: a weight field holds 0 or 1 (equipment on the tag or not), below its low
    // limit of 100 either way (slot 7 has no tag, passed over). The seventh tag is beyond the
    // six records of the first scan, so its temperature reads 0 until the second.
    {"ble-scanner", "D02(2)<100,D04(4)<100,D06(6)<100,D08(8)<100,D10(10)<100,D12(12)<100,"
                    "D16(16)<100,D15(15)<12.00"},
};

// The alarm states of the kinds: a device in alarm reports the faults its protocol carries, as
// the real unit does in trouble (inputs closed, alarm bits and fault codes set, a UPS on
// battery with its battery low, a room overheating, a phase lost, water on the cable, a door
// forced), and where a kind has no alarm bit a reading outside its type's default limits
// stands in. "alarm" is every kind's first state; "alarm2" raises what one reply cannot carry
// beside it (on battery versus on bypass). `fields` names, as smhost names a field out of
// limits, every field the state raises (NAME(FIELD), comma-separated); `brief` is a text the
// point's summary then shows, where the handler's summary names its alarms ("告警:" from the
// alarm rows' captions, or a caption of its own; no blank in it), else nullptr.
// scripts/soak requires the point of such a device in state 1 with every field named out of
// limits and its summary showing `brief`.
struct AlarmRaises {
    const char* kind;
    int state;           // 1 "alarm", 2 "alarm2"
    const char* fields;  // "NAME(FIELD)", comma-separated
    const char* brief;   // a text of the summary in alarm, or nullptr
};
const AlarmRaises kAlarmRaises[] = {
    // ---- UPS units
    // "alarm": on battery with the battery low (no input voltage or frequency, the battery run
    // down), with the faults the unit reports beside it (overload, heat, the bypass lost with
    // the mains); "alarm2", where one reply cannot carry it beside that: on the bypass after an
    // inverter fault or an emergency stop, the output failed, the charger faulty.
    {"q1ups", 1, "Vin1(1),b7(11),b6(12),b0(18)", "告警:"},
    {"q1ups", 2, "b5(13),b4(14),b0(18)", "告警:"},
    {"nmyg-ups", 1, "Vin1(1),Vin2(2),Vin3(3),b7(11),b6(12)", "告警:"},
    {"nmyg-ups", 2, "b5(13),b4(14)", "告警:"},
    {"sentry-ups", 1, "b7(11)", "告警:"},
    {"link-ups", 1, "Vin1(1),b7(11),b5(13),b4(14),b3(15),b1(17)", "告警:"},
    {"link-ups", 2, "b6(12),b2(16),b0(18)", "告警:"},
    {"smart-ups", 1, "Vin1(1),B6(12),B5(13),B4(14)", "告警:"},
    {"edxups", 1, "Vin1(1),B7(11),B6(12),B3(15),B2(16)", "告警:"},
    {"edxups", 2, "B4(14),B1(17)", "告警:"},
    {"iiiups", 1, "Vin1(1),b7(11)", "告警:"},
    {"symmetra", 1, "Vin1(1),b7(11),b6(12),b0(18)", "告警:"},
    {"symmetra", 2, "b5(13),b4(14),b0(18)", "告警:"},
    {"galaxy5000", 1,
     "Vin1(1),Vin2(2),Vin3(3),Iout1(10),Iout2(11),Iout3(12),Fin1(13),Fin2(14),Fin3(15),Tem(22),"
     "b15(24),b9(30),b5(34),b1(38),b0(39),Vbatt(40),Pbatt(41),Mbatt(42),VB1(55),VB2(56),VB3(57),"
     "FB1(61),FB2(62),FB3(63)",
     "告警:"},
    {"galaxy5000", 2,
     "Vin1(1),Vin2(2),Vin3(3),Vout1(4),Vout2(5),Vout3(6),Iin1(7),Iin2(8),Iin3(9),Iout1(10),"
     "Iout2(11),Iout3(12),Fin1(13),Fin2(14),Fin3(15),Fout1(16),Fout2(17),Fout3(18),b14(25),b12(27),"
     "b5(34),VB1(55),VB2(56),VB3(57),IB1(58),IB2(59),IB3(60),FB1(61),FB2(62),FB3(63)",
     "告警:"},
    {"hipulse", 1,
     "Vin1(1),Vin2(2),Vin3(3),Iout1(10),Iout2(11),Iout3(12),Fin1(13),Fin2(14),Fin3(15),Vbatt(40),"
     "Mbatt(42),VB1(55),VB2(56),VB3(57),FB1(61),FB2(62),FB3(63)",
     "告警:"},
    {"hipulse", 2,
     "Vin1(1),Vin2(2),Vin3(3),Vout1(4),Vout2(5),Vout3(6),Iin1(7),Iin2(8),Iin3(9),Iout1(10),"
     "Iout2(11),Iout3(12),Fin1(13),Fin2(14),Fin3(15),Fout1(16),Fout2(17),Fout3(18),VB1(55),"
     "VB2(56),VB3(57),FB1(61),FB2(62),FB3(63)",
     "告警:"},
    {"apm150", 1, "Vin1(1),Vin2(2),Vin3(3),b7(11),b6(12),b3(15),b2(16),b1(17),b0(18)", "告警:"},
    {"apm150", 2, "b5(13),b4(14)", "告警:"},
    {"itrust-5k", 1, "Vin1(1),Vin2(2),Vin3(3),Pout(8),b1(17),b0(18)", "告警:"},
    {"itrust-5k", 2, "b2(16),V2(28),V3(29)", "告警:"},
    {"gxe", 1, "VinA(1),VinB(2),VinC(3)", "告警:"},
    {"ahp", 1, "Vin1(1),Vin2(2),Vin3(3),Aout(6),Tem(9),b7(11),b6(12),b5(13),b3(15),Aed(23),v4(30)",
     "告警:"},
    {"ahp", 2, "Vin1(1),Vin2(2),Vin3(3),Vout(5),Fout(7),b4(14),v2(28),v3(29)", "告警:"},
    {"ahp-ydt", 1, "Vin1(1),Vin2(2),Vin3(3),Aout(6),b7(11),b6(12),b5(13),b3(15),v4(30)", "告警:"},
    {"ahp-ydt", 2, "Vin1(1),Vin2(2),Vin3(3),Vout(5),b4(14),v2(28),v3(29)", "告警:"},
    {"ups-gx", 1, "Vin1(1)", "告警:"},
    {"ups-hr7000", 1, "Vin1(1),b4(14)", "告警:"},
    {"ups-ipguard", 1, "Vin1(1),Vin2(2),Vin3(3),b7(11),b6(12),b4(14),b3(15),b1(17),b0(18)", "告警:"},
    {"ups-ipguard", 2, "Vin1(1),Vin2(2),Vin3(3),b5(13),b2(16)", "告警:"},
    {"ups-htxx", 1,
     "Vin1(1),Vin2(2),Vin3(3),Iout1(10),Iout2(11),Iout3(12),Fin1(13),Fin2(14),Fin3(15),Tem(22),"
     "b12(27),b10(29),b9(30),b7(32),b5(34),b3(36),b1(38),Vbatt(40),Pbatt(41),Mbatt(42)",
     "告警:"},
    {"ups-htxx", 2,
     "Vin1(1),Vin2(2),Vin3(3),Vout1(4),Vout2(5),Vout3(6),Iin1(7),Iin2(8),Iin3(9),Iout1(10),"
     "Iout2(11),Iout3(12),Fin1(13),Fin2(14),Fin3(15),Fout1(16),Fout2(17),Fout3(18),b13(26),b8(31),"
     "b4(35),b2(37),b0(39)",
     "告警:"},
    {"ups-9e", 1, "Vin1(1),Vin2(2),Vin3(3),Fin(4),b7(11),b6(12),b5(13),b4(14),b1(17),Vbatt(19),Pbatt(20)",
     "告警:"},
    {"ups-9e", 2, "Vin1(1),Vin2(2),Vin3(3),Fin(4),Vout(5),Fout(7),b2(16),b0(18),v2(28),v3(29)", "告警:"},
    {"ups-9e-block", 1, "Vin1(1),Vin2(2),Vin3(3),Fin(4),b7(11),b1(17),Vbatt(19)", "告警:"},
    {"ups-9e-block", 2, "Vin1(1),Vin2(2),Vin3(3),Fin(4),Vout(5),Fout(7),b2(16),b0(18),v2(28),v3(29)",
     "告警:"},


    // ---- air-conditioners
    // "alarm": the unit overheating, its room above the temperature rows' 38.0 C where it has
    // one, with its high-temperature, high-humidity, high-pressure, filter, humidifier, fan,
    // compressor, water and smoke alarms (DME3000 and T-MASTER: 40.0 C and 80 %); "alarm2"
    // where a unit's alarms of a cold, dry room, low pressure or a weak supply exclude those:
    // 15.0 to 18.0 C. The fields out of limits in the sound state (room readings below the
    // rows' low limits, Emerson's phases, the DME3000's outdoor temperature) stay so and are
    // named. The PeX, Matrix and Station summaries are empty; the K200's names its state.
    // Not raised: the C5000's room temperature and humidity (its record has none, the handler
    // passes them over), the DME3000 over Modbus and the Station of Variant 1 likewise what
    // their maps do not carry.
    {"emerson-airc", 1,
     "Tem(1),Hum(2),va(3),vb(4),vc(5),c(6),pl(7),warn(21)",
     "告警:"},
    {"evo-dx", 1,
     "TemInd1(1),TemInd2(2),TemInd3(3),TemInd4(4),TemInd5(5),HumInd1(8),HumInd2(9),HumInd3(10),"
     "HumInd4(11),HumInd5(12),AStTemRH(19),AStHumRH(21),AStElcHum(23),AStInFan(24),"
     "AStElcHumCH(25),AStElcHumWH(27),AStInfHumWTP(28),AStInfHumWH(29),AStWetHumWH(31),"
     "AStWetHumHL(32),AStFlNotOpen(33),AStAirLose(35),AStAirFilth(36),AStNewAirLose(37),"
     "AStNewAirFilth(38),AStFloorLeak(39),AStSmoke(40),AStElecRate(41),AStPowOV(42),"
     "AStAirTSIn(46),AStAirTSOut(47),AStAIRHSIn(48),AStDifPreSen(49),AStCPLose(50),"
     "AStTSenOut(51),AStHSenOut(52),AStPumpSen(53),AStPumpOV(54),AStPumpWL(58),AStPumpCom(59),"
     "AStNewSysDP(60)",
     "告警:"},
    {"evo-dx", 2,
     "TemInd1(1),TemInd2(2),TemInd3(3),TemInd4(4),TemInd5(5),HumInd1(8),HumInd2(9),HumInd3(10),"
     "HumInd4(11),HumInd5(12),AStTemRL(20),AStHumRL(22),AStElcHumCL(26),AStInfHumWL(30),"
     "AStFlNotClose(34),AStPowUV(43),AStPowPL(44),AStPowAP(45),AStPumpUV(55),AStPumpPL(56),"
     "AStPumpAP(57)",
     "告警:"},
    {"dme3000", 1,
     "s_gy(7),s_gw(9),s_gs(11),Tem(14),Hum(15),temout(16),s_usr1(19),s_usr2(20),s_mainmt(21),"
     "s_hummt(22),s_filtmt(23),s_commfault(24),s_humfault(26),s_senlost(27),s_exhaust(28),"
     "s_leak(33),s_englost(34),s_vhlock(37),s_exhaustlock(39)",
     "告警:"},
    {"dme3000", 2,
     "s_dy(8),s_dw(10),s_ds(12),s_elec(13),Tem(14),Hum(15),temout(16),s_panfrost(25),"
     "s_powlost(29),s_powlow(30),s_phaselost(31),s_freqlost(32),s_vllock(38)",
     "告警:"},
    {"dme3000-modbus", 1,
     "s_gy(7),s_gw(9),s_gs(11),Tem(14),Hum(15)",
     "告警:"},
    {"dme3000-modbus", 2,
     "s_dy(8),s_dw(10),s_ds(12),s_elec(13),Tem(14),Hum(15)",
     "告警:"},
    {"tmaster", 1,
     "tem(1),hum(2),almst1(19),almst2(20),almst3(21),almst4(22)",
     "告警:"},
    {"sca-airc", 1,
     "StAlm(10),TemRet(11),HumRet(12),AlmTRH(13),AlmHRH(15),AlmTSH(17),AlmFanFault(19),"
     "AlmFanOT(20),AlmComp1Hp(21),AlmComp1Hpl(22),AlmComp1SC(25),AlmComp1OT(26),AlmComp2Hp(27),"
     "AlmComp2Hpl(28),AlmComp2SC(31),AlmComp2OT(32),AlmHumLC(33),AlmHumParch(34),AlmHumOT(35),"
     "AlmFreqH(41),AlmVolHA(43),AlmVolHB(44),AlmVolHC(45),AlmAirLose(52),AlmFiltOT(53),"
     "AlmFileJam(54),AlmLeak(56),AlmGrup(57),AlmFire(58),AlmHumFault(59),AlmHumOvL(60),"
     "TemSup(63),HumSup(64),IHum(65),Cond(66),FanSpeed(67)",
     "告警:"},
    {"sca-airc", 2,
     "StAlm(10),TemRet(11),HumRet(12),AlmTRL(14),AlmHRL(16),AlmTSL(18),AlmComp1Lp(23),"
     "AlmComp1Lpl(24),AlmComp2Lp(29),AlmComp2Lpl(30),AlmHeatOVL(36),AlmHeat1OT(37),"
     "AlmHeat2OT(38),AlmPD(39),AlmPhase(40),AlmFreqL(42),AlmVolLA(46),AlmVolLB(47),"
     "AlmVolLC(48),AlmPhaseLA(49),AlmPhaseLB(50),AlmPhaseLC(51),AlmRemoteSD(55),TemSup(63),"
     "HumSup(64),IHum(65)",
     "告警:"},
    {"hst12-airc", 1,
     "StPreHighProt(2),StCompOverLoad(3),TemExtCiol(14),TemInCiol(15),TemIn(16),"
     "AlmPreHighProt(19),AlmCompOverLoad(20),ErrTemExtCiol(22),ErrTemInCiol(23)",
     "告警:"},
    {"hst12-airc", 2,
     "StPhaseErr(1),StPreLowProt(4),TemInCiol(15),TemIn(16),HumIn(17),AlmPhaseErr(18),"
     "AlmPreLowProt(21),ErrTemIn(24),ErrHumIn(25)",
     "告警:"},
    {"hst26jf-airc", 1,
     "StPreHighProt(2),StCompOverLoad(3),TemExtCiol(14),TemInCiol(15),TemIn(16),"
     "AlmPreHighProt(19),AlmCompOverLoad(20),ErrTemExtCiol(22),ErrTemInCiol(23)",
     "告警:"},
    {"hst26jf-airc", 2,
     "StPhaseErr(1),StPreLowProt(4),TemInCiol(15),TemIn(16),HumIn(17),AlmPhaseErr(18),"
     "AlmCompOverLoad(20),AlmPreLowProt(21),ErrTemIn(24),ErrHumIn(25)",
     "告警:"},
    {"hairuifu-airc", 1,
     "FanGz(3),YsGy(4),JsGz(7),Fire(8),Leak(9),TemHigh(11),HumHigh(13),TemSenErr(15),"
     "ComAlm(16)",
     "告警:"},
    {"hairuifu-airc", 2,
     "Tem(1),Hum(2),YsDy(5),JrGz(6),Phase(10),TemLow(12),HumLow(14),ComAlm(16)",
     "告警:"},
    {"rda-airc", 1,
     "tem(1),hum(2),gsbj(10),gwbj(12),yhbj(14)",
     "告警:"},
    {"rda-airc", 2,
     "tem(1),hum(2),dsbj(11),dwbj(13),sjbj(15)",
     "告警:"},
    {"canatal-airc", 1,
     "s_alarm(2)",
     "告警:"},
    {"airc-das", 1,
     "WorkStatus(1),Humidity(5),TempGet(6)",
     "告警:"},
    {"lcp-dx", 1,
     "Fault(2)",
     "告警:"},
    {"airc-mitsubishi", 1,
     "TemSet(4),Tem(5),StFilter(7),StFaultCode(11)",
     "告警:"},
    {"plc-qsm50", 1,
     "fault(2)",
     "告警:"},
    {"k200", 1,
     "hfwd(3),hfsd(4)",
     "空调(报警)"},
    {"line-gi", 1,
     "gz23(1),gz24(2),gz25(3),gz31(5),gz37(6),gz38(7),gz39(8),gz40(9),gz41(10),gz49(11),"
     "gz50(12),gz51(13),gz53(15),gz54(16),gz55(17),gz57(18),gz64(21),gz65(22)",
     "告警:"},
    {"line-gi", 2,
     "gz30(4),gz52(14),gz62(19),gz63(20),gz66(23)",
     "告警:"},
    {"line-gt", 1,
     "hfwdgz(1),sfwdgz(2),hfsdgz(3),sfgz(4),yj1gzgz(5),yj2gzgz(6),yj1dygz(7),yj2dygz(8),"
     "jrgz(9),jsgz(10),flkglgz(11),flkglbj(12)",
     "告警:"},
    {"pex", 1,
     "s_tem(8),r_hum(10)",
     nullptr},
    {"pex-1", 1,
     "s_tem(8),r_hum(10)",
     nullptr},
    {"hiross", 1,
     "r11(18),r12(19),s01(37),s02(38),s03(39),s04(40),s05(41),s06(42)",
     "告警:"},
    {"hiross-block1", 1,
     "r11(18),r12(19),s01(37),s02(38),s03(39),s04(40),s05(41),s06(42)",
     "告警:"},
    {"matrix", 1,
     "tem(1),hum(2),fjgz(12),ys1gz(13),ys2gz(14),jr1gz(15),jr2gz(16),lfj1gz(17),lfj2gz(18)",
     nullptr},
    {"station", 1,
     "gsbj(10),gwbj(12),fj1gz(14),fj2gz(15)",
     nullptr},
    {"station", 2,
     "dsbj(11),dwbj(13)",
     nullptr},
    {"station-1", 1,
     "gsbj(10),gwbj(12)",
     nullptr},
    {"station-1", 2,
     "dsbj(11),dwbj(13)",
     nullptr},
    {"jadc0110", 1,
     "TemExt(2)",
     "告警:"},
    {"delta-airc", 1,
     "Fault(6),FanFault(7),SysAFault(8),SysBFault(9),LowPowAFault(10),LowPowBFault(11),"
     "SenFault(12)",
     "告警:"},
    {"sunrise-gos", 1,
     "tem(1),hum(2),ATemHigh(14),AHumHigh(16),AOverFlow(27),AFire(29)",
     "告警:"},
    {"sunrise-gos", 2,
     "tem(1),hum(2),ATemLow(15),AHumLow(17)",
     "告警:"},
    {"sunrise-modbus", 1,
     "tem(1),hum(2),AComp1High(8),AAircLost(10),AFanOv(11),AFilter(13),ATemHigh(14),"
     "AHumHigh(16),ATSFaultRes(18),ATSFaultSup(19),AHSFaultRes(20),AHSFaultSup(21),ATemSup(22),"
     "ACurHumHigh(23),ATemH2OHigh(26),AOverFlow(27),AUser(28),AFire(29),AComp2High(30),"
     "AH2OOn(32)",
     "告警:"},
    {"sunrise-modbus", 2,
     "tem(1),hum(2),AComp1Low(9),AHeatOv(12),ATemLow(15),AHumLow(17),AHumLackH2O(24),"
     "ACurHumZero(25),AComp2Low(31)",
     "告警:"},
    {"stulz-c5000", 1,
     "watertemp(8)",
     "告警:"},
    {"stulz-c7000", 1,
     "Tem(2),Hum(3),watertemp(8)",
     "告警:"},



    // ---- meters, power plant and batteries
    // A meter loses a phase (qxsim::AlarmMeterReading): phase C of a three-phase model, the one
    // phase of the single-phase models 12, 26 and 30; model 32 has no phase C current.
    {"meter0", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter1", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter2", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter3", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter4", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter5", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter6", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter7", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter8", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter9", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter10", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter11", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter12", 1, "Ady(19),Adl(22)", "告警:"},
    {"meter13", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter14", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter15", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter16", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter17", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter18", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter19", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter20", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter21", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter22", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter23", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter24", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter25", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter26", 1, "Ady(19),Adl(22)", "告警:"},
    {"meter27", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter28", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter29", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter30", 1, "Ady(19),Adl(22)", "告警:"},
    {"meter31", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter32", 1, "Cdy(21)", "告警:"},
    {"meter33", 1, "Cdy(21),Cdl(24)", "告警:"},
    {"meter34", 1, "Cdy(21),Cdl(24)", "告警:"},
    // The transformer: windings past the trip point with the alarm and trip outputs set; then
    // its sensor cable off (every sensor faulty, the temperatures without a reading).
    {"transf", 1, "TemA(1),TemB(2),TemC(3),TemI(4),StAlm(11),StTrip(12)", "(告警)"},
    {"transf", 2, "TemA(1),TemB(2),TemC(3),TemI(4),StSenA(5),StSenB(6),StSenC(7),StSenI(8),StSen(9)",
     "(故障)"},
    // The generator set: phase C lost, the oil pressure low, the coolant cold.
    {"scada", 1, "Cdy(16),Cdl(19),OilTem(20),OilPre(21)", "告警:"},
    // The DC system: the mains lost (the line voltages at 0, below their rows as the 380 V
    // ones are above), every fault input and the under-voltage set; then the over-voltage of a
    // faulty rectifier while the batteries recharge over the current rows' 25.0 A.
    {"fbjk", 1, "dyuv1(1),dyvw1(2),dywu1(3),dyuv2(4),dyvw2(5),dywu2(6),dymp(7),stAC(13),stDC(14),"
                "stBatt(15),stMod(16),stPart(17),stDCQY(19)", "告警:"},
    {"fbjk", 2, "dyuv1(1),dyvw1(2),dywu1(3),dyuv2(4),dyvw2(5),dywu2(6),dymp(7),dlA(8),dlB(9),dlC(10),"
                "dlfc(11),stMod(16),stDCGY(18)", "告警:"},
    // The HC-311A on an overloaded circuit (its voltage and temperature rows alarm when sound).
    {"hc311a", 1, "m_uiAU(1),m_uiAI(4),m_iTemp(24)", nullptr},
    // The generator-set controller stopped on its common, shutdown, warning and trip alarms.
    {"hgm", 1, "s00(1),s01(2),s02(3),s03(4)", nullptr},
    // Battery monitors: the first block failing (the host checks the rows of the first cell).
    {"batt100", 1, "V1(11),T1(12),R1(13)", nullptr},
    {"bod800", 1, "St1(11),V1(12)", nullptr},
    // The ADU1000: block 7 collapsed, group 1 recharging over 25.00 A, both rooms hot (its
    // currents alarm when sound too).
    {"adu1000", 1, "Cfddl(2),Dcwd(3),Dy7(10),Cfddl2(54),Dcwd2(55)", "告警(其他正常)"},
    // The DB100: the string discharging (below the current row's 0), the room hot, block 2
    // collapsed.
    {"db100", 1, "Cfddl(2),Dcwd(3),Dy2(12)", "告警(其他正常)"},
    {"db100-4", 1, "Cfddl(2),Dcwd(3),Dy2(12)", "告警(其他正常)"},
    // The RTVS module: both strings discharging beyond -20.0 A.
    {"rtvs", 1, "TI0(5),TI1(6)", "电流1:告警"},
    // The EB90 string: every cell collapsed, aged and hot.
    {"eb90", 1, "Vol(12),Reg(13),Tem(14)", "告警:"},

    // ---- I/O modules, sensors, leak detectors, cameras, doors and alarm outputs
    // A room whose cooling failed: 41.5 C, its air dried to 18.0 % (the engine's summary is
    // the type's template, without alarm captions).
    {"modbus-th", 1, "Temp(1),Hum(2)", nullptr},
    // Every contact open, which the summary calls 断开.
    {"onoff", 1, "sd1(1),sd2(2),sd3(3),sd4(4),sd5(5),sd6(6)", "断开"},
    // The DIO modules' summary names each point in alarm ("DI n:告警"). The PD220-6's mains
    // lost on its six 220 V inputs (its dry contacts and outputs are states); every RD230
    // contact closed; a stopped ventilation on the AD5DA5's room sensors, whose calibrated
    // form shows each reading out of its limits ("=33.0 (告警)").
    {"dio-pd2206", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6)", ":告警"},
    {"dio-rd230", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6),D07(7),D08(8)", ":告警"},
    {"dio-ad5da5", 1, "D01(1),D02(2),D03(3),D04(4),D05(5)", ":告警"},
    {"dio-ad5da5-ivc", 1, "D06(6),D07(7),D08(8)", "(告警)"},
    // Leak detectors: water on the cable at 12.5 m, the position in the summary; the models
    // whose state register carries it beside the water with their sensing wire broken too,
    // the others with broken wires in a state of their own (qxsim::AlarmLeak).
    {"leak", 1, "status(2)", "泄漏位置:12.5米"},
    {"leak", 2, "LineRB(3),LineYG(4)", "红黑线断"},
    {"leak-1", 1, "status(2),LineRB(3),LineYG(4)", "泄漏位置:12.4米"},
    {"leak-2", 1, "status(2)", "(报警)"},
    {"leak-2", 2, "status(2),LineRB(3),LineYG(4)", "黄绿线断"},
    {"leak-3", 1, "status(2),LineRB(3),LineYG(4)", "泄漏位置:12.4米"},
    // Every alarm input closed: the relay module's six (its D07 and D08 read 0, D09-D12 are
    // its relays), all of the 16- and 14-input modules' (D15, D16 of the 14 read 0).
    {"w70xx", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6)", ":告警"},
    {"w70xx-16", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6),D07(7),D08(8),D09(9),D10(10),"
                     "D11(11),D12(12),D13(13),D14(14),D15(15),D16(16)", ":告警"},
    {"w70xx-14", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6),D07(7),D08(8),D09(9),D10(10),"
                     "D11(11),D12(12),D13(13),D14(14)", ":告警"},
    // An overheated thermistor and every register in trouble; D02 and D09-D16 always read 0.
    {"w7017", 1, "D01(1),D03(3),D04(4),D05(5),D06(6),D07(7),D08(8)", ":告警"},
    // Every input closed; the relays are states.
    {"kw7", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6),D07(7),D08(8),D09(9),D10(10)", ":告警"},
    {"kw7-16", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6),D07(7),D08(8),D09(9),D10(10),D11(11),"
                   "D12(12),D13(13),D14(14),D15(15),D16(16)", ":告警"},
    {"kw7-412", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6),D07(7),D08(8),D09(9),D10(10),"
                    "D11(11),D12(12)", ":告警"},
    // Every tag gone cold (8 C, below 12.00; the seventh tag's temperature reads 0 until the
    // second scan), the weights below their limit as in the sound state. Slot 7 has no tag:
    // D13 and D14 are passed over.
    {"ble-scanner", 1, "D01(1),D02(2),D03(3),D04(4),D05(5),D06(6),D07(7),D08(8),D09(9),D10(10),"
                       "D11(11),D12(12),D15(15),D16(16)", ":告警"},
    // A door forced and held open, reported on every poll.
    {"card-a", 1, "CardFound(17)", "有开门"},
    // A crowd of 430 inside (the summary gives the counts, no alarm caption).
    {"people-counter", 1, "EEnum(3)", nullptr},
    // A reader of a serial number outside the allowed range.
    {"rs485-reader", 1, "idevSN(1)", nullptr},

};

const AlarmRaises* AlarmRaisesOf(const Kind& k, int state) {
    for (const AlarmRaises& a : kAlarmRaises)
        if (!strcmp(a.kind, k.name) && a.state == state) return &a;
    return nullptr;
}

// The fields that the handler of a kind's point passes over, since its model does not have
// them (phases B and C of a single-phase meter, an I/O module's relay outputs, a reading its
// protocol does not carry): the host's limit check finds them outside the type's limits, but
// the handler stores no alarm for them. Each is named as smhost names it, NAME(FIELD).
// scripts/soak and the sound-site test take a sound point that the handler stored normal
// beside such fields only when its kind names each of them here, so a handler that passed
// over a field its device has is caught; on a point in alarm for other reasons smhost cannot
// tell them apart, and they are allowed beside the kind's "alarms=".
const SoundAlarms kSoundPassed[] = {
    // UPS units: the AHP over YD/T 1363 reads no output frequency, temperature or battery
    // voltage, the Hipulse U series no battery temperature, the 9E on its block protocol no
    // battery capacity.
    {"ahp-ydt", "Fout(7),Tem(9),Vbatt(19)"},
    {"hipulse", "Tem(22)"},
    {"ups-9e-block", "Pbatt(20)"},
    // Air-conditioners: the DME3000 over Modbus sends no outdoor temperature, the C5000's
    // record no room temperature or humidity.
    {"dme3000-modbus", "temout(16)"},
    {"stulz-c5000", "Tem(2),Hum(3)"},
    // Meters: the single-phase models have no phases B and C, model 32 no current of phase C.
    {"meter12", "Bdy(20),Cdy(21),Bdl(23),Cdl(24)"},
    {"meter26", "Bdy(20),Cdy(21),Bdl(23),Cdl(24)"},
    {"meter30", "Bdy(20),Cdy(21),Bdl(23),Cdl(24)"},
    {"meter32", "Cdl(24)"},
    // The DB100 on a string of 4 blocks has no cells 5 to 24.
    {"db100-4", "Dy5(15),Dy6(16),Dy7(17),Dy8(18),Dy9(19),Dy10(20),Dy11(21),Dy12(22),Dy13(23),Dy14(24),"
                "Dy15(25),Dy16(26),Dy17(27),Dy18(28),Dy19(29),Dy20(30),Dy21(31),Dy22(32),Dy23(33),Dy24(34)"},
    // I/O modules: relay outputs, whose rows are inputs of other layouts (a relay switched on
    // lies outside the input row's limits); the BLE scanner's slot 7, which has no tag.
    {"w70xx", "D09(9),D10(10),D11(11),D12(12)"},
    {"kw7", "D11(11),D12(12),D13(13),D14(14),D15(15),D16(16)"},
    {"kw7-412", "D13(13),D14(14),D15(15),D16(16)"},
    {"ble-scanner", "D13(13),D14(14)"},
};

const char* FieldsOf(const SoundAlarms* table, size_t n, const Kind& k) {
    for (size_t i = 0; i < n; i++)
        if (!strcmp(table[i].kind, k.name)) return table[i].fields;
    return nullptr;
}
const char* SoundAlarmsOf(const Kind& k) {
    return FieldsOf(kSoundAlarms, sizeof kSoundAlarms / sizeof kSoundAlarms[0], k);
}
const char* SoundPassedOf(const Kind& k) {
    return FieldsOf(kSoundPassed, sizeof kSoundPassed / sizeof kSoundPassed[0], k);
}

// The point of a kind as "type=0x... [variant=N] [ext1=N] [ext2=N] [wait=N] [kept=TABLE]
// [answers=unread] [alarms=NAME(FIELD)LIMIT,...] [passes=NAME(FIELD),...]
// [raises=NAME(FIELD),... [brief=TEXT]]
// [raises2=... [brief2=TEXT]]", with a blank in front; parameters that are 0 are left out.
std::string PointText(const Kind& k) {
    char text[32];
    snprintf(text, sizeof text, " type=0x%X", k.type);
    std::string s = text;
    const struct {
        const char* key;
        int value;
    } params[] = {{"variant", k.variant}, {"ext1", k.ext1}, {"ext2", k.ext2}, {"wait", k.wait}};
    for (const auto& p : params)
        if (p.value) s += std::string(" ") + p.key + "=" + std::to_string(p.value);
    if (k.kept) s += std::string(" kept=") + k.kept;
    if (k.unread) s += " answers=unread";
    if (const char* alarms = SoundAlarmsOf(k)) s += std::string(" alarms=") + alarms;
    if (const char* passes = SoundPassedOf(k)) s += std::string(" passes=") + passes;
    for (int state = 1; state <= 2; state++) {
        const AlarmRaises* a = AlarmRaisesOf(k, state);
        if (!a) continue;
        const std::string n = state == 1 ? "" : std::to_string(state);
        s += " raises" + n + "=" + a->fields;
        if (a->brief) s += " brief" + n + "=" + a->brief;
    }
    return s;
}

const Kind* FindKind(const std::string& name) {
    for (const Kind& k : kKinds)
        if (name == k.name) return &k;
    return nullptr;
}

struct FaultName {
    const char* name;
    qxsim::Fault fault;
} const kFaults[] = {
    {"silence", qxsim::Fault::Silence}, {"short", qxsim::Fault::Short},
    {"garbage", qxsim::Fault::Garbage}, {"split", qxsim::Fault::Split},
    {"badcheck", qxsim::Fault::BadCheck}, {"exception", qxsim::Fault::Exception},
};

int Usage(FILE* f) {
    fprintf(f, "usage: devsim [--fault NAME=KIND]... [--mark N] NAME[:tcp][+KIND]...\n"
               "       devsim --list\n"
               "faults: silence short garbage split badcheck exception\n"
               "device states: alarm alarm2 (where the kind's list line names raises= or raises2=)\n");
    return f == stderr ? 1 : 0;
}

double Now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace

int main(int argc, char** argv) {
    setvbuf(stdout, nullptr, _IOLBF, 0);
    struct Want {
        std::string name;
        const Kind* kind;
        bool tcp;
        std::vector<qxsim::Fault> faults;
        int mark;
        int alarm = 0;  // its alarm state: 0 sound, 1 "alarm", 2 "alarm2"
    };
    std::vector<Want> wants;
    std::vector<std::pair<std::string, qxsim::Fault>> faults;
    std::vector<std::pair<std::string, int>> alarms;  // --fault NAME=alarm: (name, state)
    long nextMark = -1;
    auto faultNamed = [](const std::string& text) -> const FaultName* {
        for (const FaultName& n : kFaults)
            if (text == n.name) return &n;
        return nullptr;
    };
    // "alarm" 1, "alarm2" 2, anything else 0.
    auto alarmNamed = [](const std::string& text) { return text == "alarm" ? 1 : text == "alarm2" ? 2 : 0; };
    for (int i = 1; i < argc; i++) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") return Usage(stdout);
        if (a == "--list") {
            for (const Kind& k : kKinds)
                printf("%-10s %s%s%s\n", k.name, k.about,
                       !k.serial ? " (only :tcp)" : k.tcp ? " (also :tcp)" : "", PointText(k).c_str());
            return 0;
        }
        if (a == "--fault") {
            std::string v = i + 1 < argc ? argv[++i] : "";
            size_t eq = v.find('=');
            const int alarm = eq == std::string::npos ? 0 : alarmNamed(v.substr(eq + 1));
            if (alarm) {
                alarms.emplace_back(v.substr(0, eq), alarm);
                continue;
            }
            const FaultName* f = eq == std::string::npos ? nullptr : faultNamed(v.substr(eq + 1));
            if (!f) {
                fprintf(stderr, "devsim: --fault takes NAME=KIND, not '%s'\n", v.c_str());
                return Usage(stderr);
            }
            faults.emplace_back(v.substr(0, eq), f->fault);
            continue;
        }
        if (a == "--mark") {
            char* end = nullptr;
            const char* v = i + 1 < argc ? argv[++i] : "";
            nextMark = strtol(v, &end, 10);
            if (!*v || *end || nextMark < 0 || nextMark > 1000000) {
                fprintf(stderr, "devsim: --mark takes a number from 0, not '%s'\n", v);
                return Usage(stderr);
            }
            continue;
        }
        std::string name = a;
        const FaultName* own = nullptr;
        int ownAlarm = 0;
        size_t plus = name.find('+');
        if (plus != std::string::npos) {
            ownAlarm = alarmNamed(name.substr(plus + 1));
            own = ownAlarm ? nullptr : faultNamed(name.substr(plus + 1));
            if (!own && !ownAlarm) {
                fprintf(stderr, "devsim: '%s' names no fault after '+'\n", a.c_str());
                return Usage(stderr);
            }
            name.resize(plus);
        }
        bool tcp = false;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ":tcp") == 0) {
            tcp = true;
            name.resize(name.size() - 4);
        }
        const Kind* k = FindKind(name);
        if (!k) {
            fprintf(stderr, "devsim: no device named '%s' (devsim --list names them)\n", name.c_str());
            return 1;
        }
        if (!tcp && !k->serial) {
            fprintf(stderr, "devsim: %s is served on loopback TCP only (%s:tcp)\n", name.c_str(),
                    name.c_str());
            return 1;
        }
        if (tcp && !k->tcp) {
            fprintf(stderr, "devsim: %s has no network form\n", name.c_str());
            return 1;
        }
        wants.push_back(Want{name, k, tcp, {}, nextMark < 0 ? -1 : (int)nextMark++});
        if (own) wants.back().faults.push_back(own->fault);
        wants.back().alarm = ownAlarm;
    }
    if (wants.empty()) return Usage(stderr);
    for (auto& f : faults) {
        bool found = false;
        for (Want& w : wants)
            if (w.name == f.first) {
                w.faults.push_back(f.second);
                found = true;
            }
        if (!found) {
            fprintf(stderr, "devsim: --fault names %s, which is not served\n", f.first.c_str());
            return 1;
        }
    }
    for (auto& a : alarms) {
        bool found = false;
        for (Want& w : wants)
            if (w.name == a.first) {
                w.alarm = a.second;
                found = true;
            }
        if (!found) {
            fprintf(stderr, "devsim: --fault names %s, which is not served\n", a.first.c_str());
            return 1;
        }
    }
    for (Want& w : wants)
        if (w.alarm && !AlarmRaisesOf(*w.kind, w.alarm)) {
            fprintf(stderr, "devsim: %s has no alarm state \"%s\"\n", w.name.c_str(),
                    w.alarm == 1 ? "alarm" : "alarm2");
            return 1;
        }

    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop, nullptr);  // the serving threads inherit the mask

    std::vector<std::unique_ptr<Running>> running;
    std::vector<std::unique_ptr<qxsim::PtySim>> spare;  // held until every device has its port
    for (Want& w : wants) {
        std::unique_ptr<Running> r(new Running);
        r->name = w.name;
        // A device in alarm answers the values of its trouble, not a mark.
        r->mark = w.alarm ? -1 : w.mark;
        r->alarm = w.alarm;
        std::string where, def;
        char code[16] = "";
        if (w.tcp) {
#ifdef QX_SIM_NET
            std::unique_ptr<qxsim::TcpSim> t(new qxsim::TcpSim);
            w.kind->tcp(*t, *r);
            if (!t->Start()) {
                fprintf(stderr, "devsim: %s: no loopback port to listen on\n", w.name.c_str());
                return 2;
            }
            def = t->Definition();
            where = "tcp=" + def;
            snprintf(code, sizeof code, "0x%X", 0x200000 + (t->Port() & 0xFFFF));
            r->transport = std::move(t);
#endif
        } else {
            std::unique_ptr<qxsim::PtySim> p;
            for (int tries = 0; tries < 20 && !p; tries++) {
                // Started unbound: a spare is never served (nobody opens it anyway).
                std::unique_ptr<qxsim::PtySim> c(new qxsim::PtySim);
                if (!c->Start()) {
                    fprintf(stderr, "devsim: %s: no pseudo-terminal\n", w.name.c_str());
                    return 2;
                }
                int mine = 0x100000 + c->Number() % 10;
                bool clash = false;
                for (auto& o : running) clash = clash || (o->code && o->code == mine);
                if (clash) spare.push_back(std::move(c));
                else p = std::move(c), r->code = mine;
            }
            if (!p) {
                fprintf(stderr, "devsim: %s: no pseudo-terminal with a free port digit\n", w.name.c_str());
                return 2;
            }
            w.kind->serial(*p, *r);
            def = p->Definition(w.kind->line);
            where = "pts=" + p->Path();
            snprintf(code, sizeof code, "0x%X", r->code);
            r->transport = std::move(p);
        }
        for (qxsim::Fault f : w.faults) r->transport->InjectFault(f, -1);
        std::string about = PointText(*w.kind);
        if (!r->marked.empty()) {
            about += " mark=" + r->marked;
            if (w.kind->stored) about += std::string(" stored=") + w.kind->stored;
        }
        printf("%s %s def=%s chtype=%s%s%s%s\n", w.name.c_str(), where.c_str(), def.c_str(), code,
               about.c_str(), w.faults.empty() ? "" : " (faulty)",
               w.alarm == 1 ? " (alarm)" : w.alarm == 2 ? " (alarm2)" : "");
        running.push_back(std::move(r));
    }
    for (auto& s : spare) s->Stop();
    spare.clear();
    printf("ready\n");

    double start = Now();
    for (;;) {
        struct timespec second = {1, 0};
        int sig = sigtimedwait(&stop, nullptr, &second);
        if (sig == SIGINT || sig == SIGTERM) break;
        for (auto& r : running)
            if (r->tick) r->tick(Now() - start);
    }
    running.clear();  // stops every transport before its model goes
    return 0;
}
