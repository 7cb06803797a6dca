// SEL dump lines formatted per second, over a mix of record types (system event, OEM with and
// without time stamp, with and without svc column).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <iterator>

#include "sel/sel_text.h"

namespace tovrin {
namespace {

using Record = std::array<std::uint8_t, 16>;

// clang-format off
const Record RECORDS[] = {
    {0x01, 0x00, 0x02, 0x1D, 0x2C, 0x3B, 0x4A, 0x20, 0x00, 0x04, 0x07, 0x0C, 0x6F, 0x02, 0xFF, 0xFF},
    {0x5A, 0x01, 0x02, 0x1D, 0x2C, 0x3B, 0x4A, 0x20, 0x00, 0x04, 0x01, 0x30, 0x81, 0x07, 0x52, 0x4E},
    {0x2C, 0x03, 0xC1, 0x1D, 0x2C, 0x3B, 0x4A, 0x57, 0x01, 0x00, 0x3E, 0x11, 0x22, 0x33, 0x44, 0x55},
    {0x40, 0x00, 0xE0, 0x0B, 0xA5, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B},
    {0x41, 0x00, 0xC5, 0xFF, 0xFF, 0xFF, 0xFF, 0x57, 0x01, 0x00, 0x3E, 0x11, 0x22, 0x33, 0x44, 0x55},
    {0x42, 0x00, 0xF0, 0x1D, 0x2C, 0x3B, 0x4A, 0x57, 0x01, 0x00, 0x3E, 0x11, 0x22, 0x33, 0x44, 0x55},
};
// clang-format on
constexpr std::size_t RECORD_COUNT = std::size(RECORDS);

void BM_WriteSelLine(benchmark::State& state) {
    std::array<ReplyBuffer, RECORD_COUNT> replies{};
    for (std::size_t r = 0; r < RECORD_COUNT; ++r) {
        replies[r].bytes[4] = 0x04;  // authenticated reply: record at 39..54
        for (std::size_t i = 0; i < RECORDS[r].size(); ++i) {
            replies[r].bytes[39 + i] = RECORDS[r][i];
        }
        replies[r].length = 55;
    }

    SelLine line;
    std::int32_t record_number = 1;
    std::size_t next = 0;
    for (auto _ : state) {
        write_sel_line(replies[next], line, record_number);
        benchmark::DoNotOptimize(line);
        benchmark::ClobberMemory();
        next = next + 1 == RECORD_COUNT ? 0 : next + 1;
        record_number = record_number == 99999 ? 1 : record_number + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteSelLine);

void BM_WriteTimeText(benchmark::State& state) {
    SelLine line;
    std::uint32_t t = 0x4A3B2C1D;
    for (auto _ : state) {
        line.length = 0;
        write_time_text(t, line);
        benchmark::DoNotOptimize(line);
        t += 86399;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteTimeText);

}  // namespace
}  // namespace tovrin
