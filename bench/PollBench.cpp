// Benchmarks of the parts every poll goes through: the frame codecs, and one whole poll of a
// point as the reference host makes it (DoItem, DataGet over a channel that answers at once,
// the limit check, DataUpd into SQLite in one transaction per database) for the default UPS
// handler and the generic Modbus engine, with the databases in memory and on disk. Device
// waits are switched off, so the figures are the CPU's share of a poll.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "BufHelper.h"
#include "ISMBase.h"
#include "InstantChannel.h"
#include "Limits.h"
#include "ModbusSlave.h"
#include "PointItem.h"
#include "QxPlatform.h"
#include "SMManager.h"
#include "SqliteDb.h"
#include "benchmark/benchmark.h"

namespace {

// ---------------------------------------------------------------- codecs

void BM_Crc16(benchmark::State& state) {
    std::vector<uint8_t> frame((size_t)state.range(0));
    for (size_t i = 0; i < frame.size(); i++) frame[i] = (uint8_t)(i * 37 + 11);
    for (auto _ : state) benchmark::DoNotOptimize(CBufHelper::crc16(frame.data(), (int)frame.size()));
    state.SetBytesProcessed((int64_t)state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc16)->Arg(8)->Arg(256);

// The YD/T 1363 frame check (LENGTH's checksum and the frame's CHKSUM) of a reply with an
// INFO of n bytes.
void BM_YdtCheck(benchmark::State& state) {
    std::vector<uint8_t> info((size_t)state.range(0));
    for (size_t i = 0; i < info.size(); i++) info[i] = (uint8_t)(i * 13 + 5);
    std::vector<char> frame(32 + 2 * info.size());
    int len = CBufHelper::YdCmd(frame.data(), frame.size(), 1, 0x2A, 0x42, 0x21, info.data(), (int)info.size());
    if (len <= 0 || CBufHelper::YdChk(frame.data(), len) != 0) {
        state.SkipWithError("frame did not build");
        return;
    }
    for (auto _ : state) benchmark::DoNotOptimize(CBufHelper::YdChk(frame.data(), len));
    state.SetBytesProcessed((int64_t)state.iterations() * len);
}
BENCHMARK(BM_YdtCheck)->Arg(0)->Arg(64)->Arg(400);

// ---------------------------------------------------------------- whole polls

std::string g_root;  // board root holding the example definition file

void NoSleep(int) {}

struct Setup {
    Setup() {
        char tmpl[] = "/tmp/qx-bench-XXXXXX";
        if (!mkdtemp(tmpl)) abort();
        g_root = tmpl;
        std::string sm = g_root + "/NandFlash/SM";
        if (system(("mkdir -p '" + sm + "'").c_str()) != 0) abort();
        std::ifstream in(QX_EXAMPLES "/NandFlash/SM/SM4608.def", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        std::ofstream(sm + "/SM4608.def", std::ios::binary) << text.str();
        setenv("QX_ROOT", g_root.c_str(), 1);
        qx::SetSleepHook(NoSleep);
    }
    ~Setup() {
        CSMManager::FreeInstance();
        if (system(("rm -rf '" + g_root + "'").c_str()) != 0) fprintf(stderr, "could not remove %s\n", g_root.c_str());
    }
} g_setup;

// A Q1-family UPS answering its four requests.
void Q1Device(const unsigned char* req, int len, InstantChannel::Bytes& reply) {
    static const std::map<std::string, std::string> answers = {
        {"Q1", "(230.0 000.0 229.5 012 50.0 2.25 30.0 00001000\r"},
        {"Q2", "(230.0 231.5 232.0\r"},
        {"F", "#220.0 004 024.0 50.0\r"},
        {"I", "#ACME POWER      QX-1000    V2.10     \r"},
    };
    std::string line((const char*)req, (size_t)len);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    auto it = answers.find(line);
    if (it != answers.end()) reply.assign(it->second.begin(), it->second.end());
}

qxsim::ModbusSlave g_sensor(1);

void ModbusDevice(const unsigned char* req, int len, InstantChannel::Bytes& reply) {
    if (g_sensor.RequestCount() > 1024) g_sensor.ClearRequests();  // the slave logs requests
    reply = g_sensor.HandleRtu(req, (size_t)len).bytes;
}

enum Storage { kMemory, kDisk };

void BM_Poll(benchmark::State& state, int type, InstantChannel::Device device, Storage storage) {
    g_sensor.SetInput(0, 253);
    g_sensor.SetInput(1, 451);
    std::string mainPath = ":memory:", histPath = ":memory:";
    if (storage == kDisk) {
        mainPath = g_root + "/main.db";
        histPath = g_root + "/hist.db";
        unlink(mainPath.c_str());
        unlink(histPath.c_str());
    }
    qxhost::SqliteDb db, hist;
    if (!db.Open(mainPath) || !db.CreateHostTables() || !hist.Open(histPath) || !hist.CreateHostTables()) {
        state.SkipWithError("no database");
        return;
    }
    CSMManager* manager = CSMManager::GetInstance();
    manager->SetDb(&db, 0);
    ISMBase* h = manager->GetSM(type);
    if (!h) {
        state.SkipWithError("no handler");
        return;
    }
    h->SetDb(&db, 0);
    h->SetDb(&hist, 1);
    h->RegDb(&db, 0);
    InstantChannel ch(device);
    qxhost::PointItem item(1, type);
    item.Name("bench").Addr(1).Port(1).Ser(&ch);
    h->ChkDb(item);
    db.Exec("insert into tbSubSysDetail(SID,Type,Fld,SIDD,State) values(1,0,0,1,-1)");
    std::vector<qxhost::LimitRow> limits = qxhost::LoadLimits(db, h->GetType());
    std::vector<int32_t> bits;

    for (auto _ : state) {
        h->DoItem(item, 0);
        if (h->DataGet(&ch, 1, 0) != 1) {
            state.SkipWithError("poll failed");
            break;
        }
        int alarms = qxhost::CheckLimits(limits, h->DataSize(), [h](int f) { return h->DataVal(f); }, bits);
        int snap = 0;
        db.Exec("begin");
        hist.Exec("begin");
        int stored = h->DataUpd(alarms ? 1 : 0, bits.data(), &snap, 1, &hist);
        db.Exec("commit");
        hist.Exec("commit");
        if (stored != 1) {
            state.SkipWithError("not stored");
            break;
        }
    }
    state.counters["statements/poll"] =
        benchmark::Counter((double)(db.Statements() + hist.Statements()) / (double)std::max<int64_t>(1, state.iterations()));
    h->SetDb(nullptr, 0);
    h->SetDb(nullptr, 1);
    manager->SetDb(nullptr, 0);
}

BENCHMARK_CAPTURE(BM_Poll, ups_memory, 0x300, Q1Device, kMemory);
BENCHMARK_CAPTURE(BM_Poll, ups_disk, 0x300, Q1Device, kDisk);
BENCHMARK_CAPTURE(BM_Poll, modbus_memory, 0x1200, ModbusDevice, kMemory);
BENCHMARK_CAPTURE(BM_Poll, modbus_disk, 0x1200, ModbusDevice, kDisk);

}  // namespace

BENCHMARK_MAIN();
