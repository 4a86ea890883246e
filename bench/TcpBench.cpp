// Side by side in one run: a Modbus TCP read of the same two input registers from the same
// loopback device, once by the generic Modbus engine over the network channel and once by
// libmodbus. Both pay the same round trip to the simulator's thread; the difference is each
// side's framing, checks and socket handling. Real time per read. The engine and the channel
// are the built plug-ins, loaded as a host loads them.
#include <errno.h>
#include <modbus/modbus.h>

#include <string>

#include "ISMBase.h"
#include "ISMManager.h"
#include "ISerBase.h"
#include "ISerManager.h"
#include "ModbusSlave.h"
#include "NetSim.h"
#include "Plugins.h"
#include "benchmark/benchmark.h"

namespace {

struct TcpDevice {
    qxsim::ModbusSlave slave{1};
    qxsim::TcpSim sim;
    bool ok;
    TcpDevice() {
        slave.SetInput(0, 253);
        slave.SetInput(1, 451);
        qxsim::ServeModbusTcp(sim, slave);
        ok = sim.Start();
    }
    void Trim() {
        if (slave.RequestCount() > 1024) slave.ClearRequests();
    }
};

void BM_ModbusTcpRead_Engine(benchmark::State& state) {
    TcpDevice dev;
    if (!dev.ok) {
        state.SkipWithError("no loopback port");
        return;
    }
    qxhost::SmPlugin sm;
    qxhost::SerPlugin ser;
    if (!sm.Load(QXSM_PATH) || !ser.Load(QXSER_PATH)) {
        state.SkipWithError("plug-ins not found");
        return;
    }
    // The engine takes type 0x1200 from the example definition file (PollBench sets QX_ROOT).
    ISMBase* h = sm.GetSMManager(0)->GetSM(0x1200);
    ISerBase* ch = ser.GetSerManager()->GetSer(dev.sim.Definition().c_str(), 0x200000 | (dev.sim.Port() & 0xFFFF));
    if (!h || !ch || ch->Open(nullptr) != 1) {
        state.SkipWithError("no handler or no connection");
    } else {
        for (auto _ : state) {
            if (h->DataGet(ch, 1, 0) != 1 || h->DataVal(1) != 253) {
                state.SkipWithError("read failed");
                break;
            }
            dev.Trim();
        }
    }
    if (ch) ch->Close();
    sm.FreeSMManager();
    ser.FreeSerManager();
}
BENCHMARK(BM_ModbusTcpRead_Engine)->UseRealTime();

void BM_ModbusTcpRead_Libmodbus(benchmark::State& state) {
    TcpDevice dev;
    if (!dev.ok) {
        state.SkipWithError("no loopback port");
        return;
    }
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", dev.sim.Port());
    if (!ctx || modbus_connect(ctx) != 0) {
        state.SkipWithError(ctx ? modbus_strerror(errno) : "no context");
        if (ctx) modbus_free(ctx);
        return;
    }
    modbus_set_slave(ctx, 1);
    uint16_t regs[2];
    for (auto _ : state) {
        if (modbus_read_input_registers(ctx, 0, 2, regs) != 2 || regs[0] != 253) {
            state.SkipWithError(modbus_strerror(errno));
            break;
        }
        dev.Trim();
    }
    modbus_close(ctx);
    modbus_free(ctx);
}
BENCHMARK(BM_ModbusTcpRead_Libmodbus)->UseRealTime();

}  // namespace
