// Time of the configuration tool's store at OK for a large configuration: 4 drivers with 4
// ports each, 16 ports of 41 values (about 660 values). "PerValue" writes the model straight
// into the file-backed store, one locked rewrite and fsync per value, as a save did before;
// "OneRewrite" is StoreConfig, which writes the whole model in one transaction. Each iteration
// starts from an empty file, so every value is new, as at the first OK.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "applet/config_store.h"
#include "applet/registry_store.h"
#include "applet/tests/full_model.h"
#include "platform/registry.h"

namespace {

using namespace qorval::applet;

struct Scratch {
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qorval-bench-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
        paths = {dir / "system.reg", dir / "System.ini", dir / "QLConfig.LOG"};
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
    StorePaths paths;
};

template <typename Store>
void RunStore(benchmark::State& state, Store store) {
    Scratch scratch;
    const ConfigModel model = testing::FullModel(4);
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(scratch.paths.registry_file);
        state.ResumeTiming();
        store(model, scratch.paths);
    }
    state.counters["values"] = 4 * 4 * 41;
}

void BM_StoreLargeConfig_PerValue(benchmark::State& state) {
    RunStore(state, [](const ConfigModel& model, const StorePaths& paths) {
        qorval::platform::Registry registry(paths.registry_file);
        WriteRegistryConfig(model, model.driver_count, registry);
    });
}
BENCHMARK(BM_StoreLargeConfig_PerValue)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_StoreLargeConfig_OneRewrite(benchmark::State& state) {
    RunStore(state, [](const ConfigModel& model, const StorePaths& paths) {
        benchmark::DoNotOptimize(StoreConfig(model, StoreKind::Registry, paths));
    });
}
BENCHMARK(BM_StoreLargeConfig_OneRewrite)->Unit(benchmark::kMillisecond);

// The whole OK of the sheet: the OK-time checks, the store and the configuration log, for the
// same 4 drivers and 16 ports, every question answered Yes (so each iteration starts from the
// same model and asks the same questions).
class AnswerYes : public qorval::ui::UserMessages {
  public:
    qorval::ui::MessageAnswer ShowMessage(const qorval::ui::Message& message) override {
        return message.buttons == qorval::ui::MessageButtons::Ok ? qorval::ui::MessageAnswer::Ok
                                                                 : qorval::ui::MessageAnswer::Yes;
    }
    void ShowStatus(std::string_view) override {}
    std::optional<std::string> ChooseFile(const qorval::ui::FileChoice&) override { return {}; }
};

void BM_OkLargeConfig(benchmark::State& state) {
    Scratch scratch;
    ConfigModel model = testing::FullModel(4);
    for (int d = 0; d < model.driver_count; ++d) {
        for (PortEntry& port : model.driver(d).ports) {
            port.Enabled = 1;  // every port takes part in the checks
        }
    }
    AnswerYes user;
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(scratch.paths.registry_file);
        ConfigStore store(StoreKind::Registry, scratch.paths);
        ConfigModel empty;
        (void)store.Load(empty);
        ConfigModel edited = model;
        state.ResumeTiming();
        benchmark::DoNotOptimize(CommitConfig(edited, store, user));
    }
    state.counters["values"] = 4 * 4 * 41;
}
BENCHMARK(BM_OkLargeConfig)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
