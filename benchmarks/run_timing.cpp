#include "benchmarks/run_timing.h"

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "media/error.h"

namespace vardelk::bench {
namespace {

double ProcessorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// Runs the program to the end, its standard output captured; true when it
// exits with status 0.
bool RunOnce(const std::vector<std::string>& args, ProgramRun& run) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return false;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return false;
    }
    if (pid == 0) {
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    char buffer[256];
    ssize_t got;
    run.output.clear();
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, size_t(got));
    close(pipeEnds[0]);
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

Timing BestTiming(const std::function<void()>& body) {
    Timing best;
    for (int i = 0; i < kBestOfRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const double processorStart = ProcessorSeconds();
        body();
        best.processor = std::min(best.processor, ProcessorSeconds() - processorStart);
        best.wall =
            std::min(best.wall, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

ProgramRun BestProgramRun(const std::vector<std::string>& args, const std::string& folder, bool oneCpu) {
    const std::string measures = folder + "/peak.txt";
    const bool timed = access("/usr/bin/time", X_OK) == 0;
    ProgramRun best, run;
    best.seconds = 1e30;
    best.oneCpu = oneCpu && access("/usr/bin/taskset", X_OK) == 0;
    std::vector<std::string> command;
    if (timed) command = {"/usr/bin/time", "-o", measures, "-f", "%M %U %S"};
    if (best.oneCpu) command.insert(command.end(), {"/usr/bin/taskset", "-c", "0"});
    command.insert(command.end(), args.begin(), args.end());
    for (int i = 0; i < kBestOfRuns; ++i) {
        if (!RunOnce(command, run)) {
            std::remove(measures.c_str());
            throw Error(args.front() + " failed");
        }
        run.peakKilobytes = -1;
        run.processorSeconds = -1;
        if (FILE* f = timed ? std::fopen(measures.c_str(), "r") : nullptr) {
            double user = 0, system = 0;
            if (std::fscanf(f, "%ld %lf %lf", &run.peakKilobytes, &user, &system) == 3) {
                run.processorSeconds = user + system;
            } else {
                run.peakKilobytes = -1;
            }
            std::fclose(f);
        }
        best.seconds = std::min(best.seconds, run.seconds);
        if (best.processorSeconds < 0 || (run.processorSeconds >= 0 && run.processorSeconds < best.processorSeconds))
            best.processorSeconds = run.processorSeconds;
        best.peakKilobytes = std::max(best.peakKilobytes, run.peakKilobytes);
        best.output = run.output;
    }
    std::remove(measures.c_str());
    return best;
}

std::string ThisProgram() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, size_t(length)) : std::string();
}

}  // namespace vardelk::bench
