// A 1000-record SEL dump over loopback from the fake BMC into a file, with no pause between the
// Get SEL Entry exchanges: time per record, and the datagram bytes one dump sends and receives.
// One logged-on session serves every dump of a run, so the logon is not in the figure.
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tests/support/worker_harness.h"

namespace tovrin::testing {
namespace {

constexpr std::uint32_t RECORD_COUNT = 1000;
constexpr std::size_t SEL_ENTRY_REPLY_DATA = 2 + 16;  // next record ID, then the record

// System event records with varying sensor numbers and time stamps.
std::vector<SelEntry> event_log() {
    std::vector<std::array<std::uint8_t, 16>> records(RECORD_COUNT);
    for (std::uint32_t i = 0; i < RECORD_COUNT; ++i) {
        const auto stamp = static_cast<std::uint8_t>(i);
        const auto sensor = static_cast<std::uint8_t>(i + 1);
        records[i] = {0,    0,    0x02, stamp,  0x2C, 0x3B, 0x4A, 0x20,
                      0x00, 0x04, 0x07, sensor, 0x6F, 0x02, 0xFF, 0xFF};
    }
    return sel_chain(records);
}

void BM_SelDump(benchmark::State& state) {
    TempDir dir;
    WorkerRig rig;  // 1 ms tick, no pause after each exchange
    const std::string path = dir.path("sel.txt").string();
    std::strncpy(rig.control.dump_path, path.c_str(), sizeof rig.control.dump_path - 1);
    rig.bmc.set_sel(event_log());
    if (!rig.connect()) {
        state.SkipWithError("no logon to the fake BMC");
        return;
    }

    std::size_t dumps = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        rig.control.dump_requested = 1;
        const bool saved = rig.link.wait_for(UM_SEL_SAVED, dumps + 1);
        const auto end = std::chrono::steady_clock::now();
        if (!saved || rig.control.records_written.load() != RECORD_COUNT) {
            state.SkipWithError("a dump did not save every record");
            break;
        }
        ++dumps;
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    if (dumps == 0) {
        return;
    }

    // Keep-alives between dumps are left out: only the dump's own exchanges count.
    const std::vector<std::uint8_t> reply_data(SEL_ENTRY_REPLY_DATA);
    double sent = 0;
    double received = 0;
    for (const Request& request : rig.bmc.requests()) {
        if (request.command == GET_SEL_ENTRY) {
            sent += static_cast<double>(request.bytes.size());
            received += static_cast<double>(reply_datagram(request.bytes, 0, reply_data).size());
        }
    }
    const double records = static_cast<double>(dumps) * RECORD_COUNT;
    state.SetItemsProcessed(static_cast<std::int64_t>(records));
    state.counters["s_per_record"] =
        benchmark::Counter(records, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["bytes_sent_per_dump"] = sent / static_cast<double>(dumps);
    state.counters["bytes_received_per_dump"] = received / static_cast<double>(dumps);
}
BENCHMARK(BM_SelDump)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tovrin::testing
