#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "benchmarks/mini_benchmark.h"

namespace benchmark {
namespace {

struct Entry {
    std::string name;
    std::function<void(State&)> function;
};

std::vector<Entry>& Entries() {
    static std::vector<Entry> entries;
    return entries;
}
std::string g_filter;

}  // namespace

void RegisterBenchmark(const char* name, std::function<void(State&)> function) {
    Entries().push_back(Entry{name, std::move(function)});
}

// Accepts --benchmark_filter=TEXT: only names containing TEXT run.
void Initialize(int* argc, char** argv) {
    const char* prefix = "--benchmark_filter=";
    for (int i = 1; i < *argc; ++i)
        if (std::strncmp(argv[i], prefix, std::strlen(prefix)) == 0) g_filter = argv[i] + std::strlen(prefix);
}

void RunSpecifiedBenchmarks() {
    std::printf("%-48s %14s %12s %16s\n", "Benchmark", "Time", "Iterations", "Items/s");
    for (const Entry& entry : Entries()) {
        if (!g_filter.empty() && entry.name.find(g_filter) == std::string::npos) continue;
        int64_t iterations = 1;
        double best = 0;
        int64_t bestIterations = 1;
        int64_t items = 0;
        std::string label;
        for (int round = 0; round < 3; ++round) {
            for (;;) {
                State state(iterations);
                entry.function(state);
                if (state.Seconds() >= 0.5 || iterations >= (int64_t{1} << 40)) {
                    const double perIteration = state.Seconds() / static_cast<double>(iterations);
                    if (round == 0 || perIteration < best) {
                        best = perIteration;
                        bestIterations = iterations;
                        items = state.Items();
                        label = state.Label();
                    }
                    break;
                }
                const double scale = state.Seconds() > 0 ? 0.6 / state.Seconds() : 10.0;
                iterations = std::max<int64_t>(iterations + 1,
                                               static_cast<int64_t>(static_cast<double>(iterations) *
                                                                    std::min(scale, 10.0)));
            }
        }
        const double itemsPerSecond = static_cast<double>(items) / (best * static_cast<double>(bestIterations));
        std::printf("%-48s %11.0f ns %12lld %15.4g/s %s\n", entry.name.c_str(), best * 1e9,
                    static_cast<long long>(bestIterations), itemsPerSecond, label.c_str());
        std::fflush(stdout);
    }
}

}  // namespace benchmark
