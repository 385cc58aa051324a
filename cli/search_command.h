// vardelk search: finds the intra matrix that saves the most rate against
// the default matrix on a set of pictures, for a chosen quality measure,
// and checks it on other pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "quality/bd_rate.h"
#include "search/objective.h"

namespace vardelk {

// The command line of vardelk search, as parsed.
struct SearchOptions {
    std::vector<std::string> inputs;
    std::vector<std::string> validate;
    std::string measure = "psnr";
    std::string codes = "2..16";
    std::string budget = "10m";
    std::string out = "search-out";
    std::string encoder = "ffmpeg";
    std::string intraVlc;
    std::string dcPrecision;
    double spread = ObjectiveOptions{}.spreadWeight;
    bool noConfirm = false;
    int64_t evaluations = 0;
    uint64_t seed = 1;
    int32_t threads = 0;
    int32_t frames = 1;
    double minOverlap = kBdMinimumOverlap;
    bool shapeOnly = false;
    bool quiet = false;
};

// The command's options, description and footer, as --help and the manual
// page show them; threadsText receives -j as written.
void DefineSearchOptions(CLI::App& app, SearchOptions& options, std::string& threadsText);

// Parses its own options (argv[0] is "search" or the program) and runs;
// returns the exit status: 0 when done, 130 when stopped by Ctrl-C (the
// outputs then hold the best matrix so far), 1 on failure, 2 for a wrong
// command line.
int RunSearchCommand(int argc, char** argv);

}  // namespace vardelk
