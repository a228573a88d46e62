// Cost of the registry store and profile reads as the driver and the tools use them: a query
// re-reads the shared file to see other processes' writes; a change rewrites it with fsync.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/profile.h"
#include "platform/registry.h"

namespace {

using qorval::platform::ProfileFile;
using qorval::platform::Registry;

constexpr const char* kPort = "System\\CurrentControlSet\\Services\\Wyvel32\\Parameters\\Port002";

struct Scratch {
    Scratch() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "qorval-bench-XXXXXX").string();
        dir = ::mkdtemp(pattern.data());
    }
    ~Scratch() { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

// Four ports of 50 values each: about the size of a configured system's file.
void Fill(Registry& reg) {
    for (int port = 1; port <= 4; ++port) {
        std::string key = kPort;
        key.back() = static_cast<char>('0' + port);
        (void)reg.CreateKey(key);
        for (int v = 0; v < 50; ++v) {
            (void)reg.SetDword(key, "Value" + std::to_string(v), v);
        }
    }
}

void BM_QueryDwordInMemory(benchmark::State& state) {
    Registry reg;
    Fill(reg);
    uint32_t out = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(reg.QueryDword(kPort, "Value25", out));
    }
}
BENCHMARK(BM_QueryDwordInMemory);

void BM_QueryDwordFromFile(benchmark::State& state) {
    Scratch scratch;
    Registry reg(scratch.dir / "system.reg");
    Fill(reg);
    uint32_t out = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(reg.QueryDword(kPort, "Value25", out));
    }
}
BENCHMARK(BM_QueryDwordFromFile);

void BM_SetDwordToFile(benchmark::State& state) {
    Scratch scratch;
    Registry reg(scratch.dir / "system.reg");
    Fill(reg);
    uint32_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(reg.SetDword(kPort, "Value25", ++n));
    }
}
BENCHMARK(BM_SetDwordToFile)->Unit(benchmark::kMicrosecond);

void BM_ProfileGetString(benchmark::State& state) {
    Scratch scratch;
    ProfileFile ini(scratch.dir / "System.ini");
    for (int i = 0; i < 40; ++i) {
        (void)ini.WriteString("Wyvel32", "Key" + std::to_string(i), std::to_string(i));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(ini.GetString("wyvel32", "Key30", ""));
    }
}
BENCHMARK(BM_ProfileGetString);

}  // namespace

BENCHMARK_MAIN();
