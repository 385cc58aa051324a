// vardelk search: finds the intra matrix that saves the most rate against
// the default matrix on a set of pictures, for a chosen quality measure,
// and checks it on other pictures.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

#include "search/search_job.h"
#include "shared_options.h"

namespace vardelk {

// The short form of the command line, for the message of one given no pictures.
constexpr char kSearchUsage[] =
    "vardelk search PICTURES... [--measure psnr|ssim|psnr611|ssimulacra2|...] [--out FOLDER]; "
    "vardelk search --help for every option";

// The command line of vardelk search: what the job takes as it is goes
// straight into it, the rest as written.
struct SearchOptions {
    SearchJob job;
    std::string measure = "psnr";
    std::string codes = "2..16";
    std::string band;  // low, mid or high
    std::string bpp;   // A..B
    std::string budget = "10m";
    ModelOptions model{"ffmpeg", "", ""};
    bool noConfirm = false;
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
