// The small part of the Google Benchmark interface that codec_bench.cpp
// uses, for the 32-bit Windows build, where the library is not packaged.
// Each benchmark runs with growing iteration counts until one run takes at
// least half a second of CPU time; the best of three such runs is printed,
// as CPU time and wall time per iteration.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace benchmark {

double ThreadCpuSeconds();

class State {
public:
    explicit State(int64_t iterations) : iterations_(iterations) {}

    struct Iterator {
        State* state;
        int64_t left;
        bool operator!=(const Iterator&) {
            if (left != 0) return true;
            state->stop_ = std::chrono::steady_clock::now();
            state->cpuStop_ = ThreadCpuSeconds();
            return false;
        }
        void operator++() { --left; }
        // A value with a destructor of its own, so that the loop variable
        // of "for (auto _ : state)" does not count as unused.
        struct Value {
            ~Value() {}
        };
        Value operator*() const { return Value{}; }
    };
    Iterator begin() {
        start_ = std::chrono::steady_clock::now();
        cpuStart_ = ThreadCpuSeconds();
        return Iterator{this, iterations_};
    }
    Iterator end() { return Iterator{this, 0}; }

    int64_t iterations() const { return iterations_; }
    void SetItemsProcessed(int64_t items) { items_ = items; }
    void SetLabel(const std::string& label) { label_ = label; }

    double Seconds() const { return std::chrono::duration<double>(stop_ - start_).count(); }
    double CpuSeconds() const { return cpuStop_ - cpuStart_; }
    int64_t Items() const { return items_; }
    const std::string& Label() const { return label_; }

private:
    int64_t iterations_;
    int64_t items_ = 0;
    std::string label_;
    std::chrono::steady_clock::time_point start_, stop_;
    double cpuStart_ = 0, cpuStop_ = 0;
};

template <class T>
inline void DoNotOptimize(T& value) {
    asm volatile("" : : "r,m"(value) : "memory");
}
inline void ClobberMemory() { asm volatile("" : : : "memory"); }

void RegisterBenchmark(const char* name, std::function<void(State&)> function);
void Initialize(int* argc, char** argv);
void RunSpecifiedBenchmarks();
inline void Shutdown() {}

}  // namespace benchmark
