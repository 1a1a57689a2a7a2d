// How long ten setting changes in a row (ten presses of Ctrl+R) hold the thread that
// makes them, the UI thread in the program (argument 0); and until they are on the disk
// (argument 1). The store's file lives in the temporary
// folder, which should be on a real disk (it is on this machine; a tmpfs makes fsync
// free). No display needed:
//   build-bench/bench/settings_bench --benchmark_repetitions=5
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/UserDefaults.h"
#include "settings/Settings.h"

namespace {

namespace fs = std::filesystem;

void TenSettingChanges(benchmark::State& state) {
    std::string pattern = (fs::temp_directory_path() / "talvex-settings-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    const fs::path folder = pattern;
    {
        talvex::UserDefaults store(folder / "Talvex" / "defaults.json");
        std::int64_t value = 0;
        for (auto _ : state) {
            for (int press = 0; press < 10; ++press)
                store.setIntegerForKey(++value % 2, talvex::keys::redStripesEnabled);
            // The save, on the store's own thread: waited for outside the timing, or
            // (argument 1) timed too, for the whole cost of making the changes durable.
            if (state.range(0) == 0)
                state.PauseTiming();
            store.flush();
            if (state.range(0) == 0)
                state.ResumeTiming();
        }
    }
    fs::remove_all(folder);
}
BENCHMARK(TenSettingChanges)
    ->Arg(0)
    ->Arg(1)
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
