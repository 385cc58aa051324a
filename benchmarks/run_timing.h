// Timings of runs for the benchmarks that set our work beside another
// program's: the best of a few runs of a piece of this process, and the
// best of a few runs of a whole program with its peak memory. On a busy
// machine the processor time is the steadier figure.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vardelk::bench {

constexpr int kBestOfRuns = 3;

// The best wall-clock and processor times (all threads of this process) of
// a few runs of the body.
struct Timing {
    double wall = 1e30;
    double processor = 1e30;
};
Timing BestTiming(const std::function<void()>& body);
inline double BestSeconds(const std::function<void()>& body) { return BestTiming(body).wall; }

struct ProgramRun {
    double seconds = 0;
    double processorSeconds = -1;  // user and system time; -1: unknown
    long peakKilobytes = -1;       // -1: unknown
    bool oneCpu = false;           // pinned to one CPU
    std::string output;            // what it printed on standard output
};

// Runs the program (args[0], a path) a few times: the best time and
// processor time, the largest peak memory, and what the last run printed.
// The peak memory and the processor time come from /usr/bin/time, which
// starts the program from its own small process: a program started
// straight from this one would count this process's memory as its own.
// With oneCpu, where taskset is installed, every run is pinned to CPU 0.
// The folder holds a scratch file. Throws Error naming the program when a
// run fails.
ProgramRun BestProgramRun(const std::vector<std::string>& args, const std::string& folder, bool oneCpu);

// The path of this program, to run it again as a child.
std::string ThisProgram();

}  // namespace vardelk::bench
