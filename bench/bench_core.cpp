// Micro-benchmarks of the core's hot paths: the module table, the frames, and
// finding the serial ports.

#include <benchmark/benchmark.h>

#include "link/CommandFrame.h"
#include "link/PortList.h"
#include "link/ResponseFrame.h"
#include "link/SystemPorts.h"
#include "model/ModuleTable.h"

using namespace quorval;

// A scan of n modules: duplicate test for each answer, then one sort.
static void BM_ScanBookkeeping(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    ModuleTable t;
    for (int id = 0; id < n; ++id) {
        t.Modules(id).SetSide(id % 2 ? 'L' : 'R');
    }
    for (auto _ : state) {
        t.ModuleCount = 0;
        for (int id = 0; id < n; ++id) {
            if (!t.IsInOrder(id)) {
                t.AppendToOrder(id);
            }
        }
        t.SortModulesBySide();
        benchmark::DoNotOptimize(t.ModuleOrder(1));
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ScanBookkeeping)->Arg(16)->Arg(64)->Arg(255);

static void BM_DecodeResponse(benchmark::State& state) {
    const std::uint8_t frame[11] = {0x4C, 0x05, 0x00, 0x0C, 0x85, 0x00,
                                    0x00, 0x03, 0x80, 0x0A, 0x0D};
    for (auto _ : state) {
        benchmark::DoNotOptimize(DecodeResponseFrame(frame));
    }
}
BENCHMARK(BM_DecodeResponse);

static void BM_BuildCommand(benchmark::State& state) {
    std::uint8_t id = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BuildCommandFrame(kCmdWrite, id++, 1, 0x35));
    }
}
BENCHMARK(BM_BuildCommand);

// What the system reports of its serial ports (QSerialPortInfo, /dev/serial).
static void BM_SystemPorts(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(SystemPorts());
    }
}
BENCHMARK(BM_SystemPorts)->Unit(benchmark::kMillisecond);

// The rule over four adapters, two of them twins, and four UARTs.
static void BM_AssignComPorts(benchmark::State& state) {
    std::vector<PortInfo> ports;
    for (int i = 0; i < 4; ++i) {
        const QString n = QString::number(i);
        ports.push_back({"/dev/ttyUSB" + n, i < 2 ? QString() : "usb-FTDI_" + n,
                         "pci-0000:00:14.0-usb-0:" + n + ":1.0-port0", "USB-Serial Controller",
                         "Prolific", i < 2 ? QString() : n, 0x067b, 0x2303, PortKind::Usb});
        PortInfo uart;
        uart.device = "/dev/ttyS" + n;
        ports.push_back(uart);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(AssignComPorts(ports, {}, PortNaming::Devices));
    }
}
BENCHMARK(BM_AssignComPorts);

BENCHMARK_MAIN();
