#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "benchmarks/mini_benchmark.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <ctime>
#endif

namespace benchmark {
namespace {

struct Entry {
    std::string name;
    std::function<void(State&)> function;
};

// The one registry: the BENCHMARK macro registers its function from a
// static initialiser, before main, so the list cannot live in an object main
// owns. It holds the benchmarks and the filter of the command line.
struct Registry {
    std::vector<Entry> entries;
    std::string filter;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

}  // namespace

// CPU time of the calling thread in seconds: on a shared machine wall time
// mostly measures the other processes.
double ThreadCpuSeconds() {
#if defined(_WIN32)
    FILETIME creation, exit, kernel, user;
    GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return static_cast<double>((uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
    };
    return (ticks(kernel) + ticks(user)) * 1e-7;
#else
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
#endif
}

void RegisterBenchmark(const char* name, std::function<void(State&)> function) {
    TheRegistry().entries.push_back(Entry{name, std::move(function)});
}

// Accepts --benchmark_filter=TEXT: only names containing TEXT run.
void Initialize(int* argc, char** argv) {
    const char* prefix = "--benchmark_filter=";
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0)
            TheRegistry().filter = argv[i] + std::strlen(prefix);
}

void RunSpecifiedBenchmarks() {
    std::printf("%-40s %14s %14s %10s %14s\n", "Benchmark", "CPU", "Time", "Iterations", "Items/s (CPU)");
    const Registry& registry = TheRegistry();
    for (const Entry& entry : registry.entries) {
        if (!registry.filter.empty() && entry.name.find(registry.filter) == std::string::npos) continue;
        int64_t iterations = 1;
        double bestCpu = 0, bestWall = 0;
        int64_t bestIterations = 1, items = 0;
        std::string label;
        for (int round = 0; round < 3; ++round) {
            for (;;) {
                State state(iterations);
                entry.function(state);
                if (state.CpuSeconds() >= 0.5 || iterations >= (int64_t{1} << 40)) {
                    const double n = static_cast<double>(iterations);
                    if (round == 0 || state.CpuSeconds() / n < bestCpu) {
                        bestCpu = state.CpuSeconds() / n;
                        bestWall = state.Seconds() / n;
                        bestIterations = iterations;
                        items = state.Items();
                        label = state.Label();
                    }
                    break;
                }
                const double scale = state.CpuSeconds() > 0.01 ? 0.6 / state.CpuSeconds() : 10.0;
                iterations = std::max<int64_t>(
                    iterations + 1, static_cast<int64_t>(static_cast<double>(iterations) * std::min(scale, 10.0)));
            }
        }
        const double itemsPerSecond = static_cast<double>(items) / (bestCpu * static_cast<double>(bestIterations));
        std::printf("%-40s %11.0f ns %11.0f ns %10lld %14.4g %s\n", entry.name.c_str(), bestCpu * 1e9, bestWall * 1e9,
                    static_cast<long long>(bestIterations), itemsPerSecond, label.c_str());
        std::fflush(stdout);
    }
}

}  // namespace benchmark
