// The options of vardelk search: their definitions, as --help and the
// manual page show them, and the parsing of those given as text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "quality/bd_rate.h"
#include "search/objective.h"

namespace vardelk {

// The short form of the command line, for the message of one given no pictures.
constexpr char kSearchUsage[] =
    "vardelk search PICTURES... [--measure psnr|ssim|psnr611|ssimulacra2|...] [--out FOLDER]; "
    "vardelk search --help for every option";

// The command line of vardelk search, as parsed.
struct SearchOptions {
    std::vector<std::string> inputs;
    std::vector<std::string> validate;
    std::string measure = "psnr";
    std::string codes = "2..16";
    std::string band;  // low, mid or high
    std::string bpp;   // A..B
    std::string budget = "10m";
    std::string out = "search-out";
    std::string encoder = "ffmpeg";
    std::string intraVlc;
    std::string dcPrecision;
    double spread = ObjectiveOptions{}.spreadWeight;
    bool noConfirm = false;
    int64_t evaluations = 0;
    uint64_t seed = 1;
    int32_t frames = 1;
    double minOverlap = kBdMinimumOverlap;
    bool shapeOnly = false;
    bool quiet = false;
};

// The command's options, description and footer, as --help and the manual
// page show them; threadsText receives -j as written.
void DefineSearchOptions(CLI::App& app, SearchOptions& options, std::string& threadsText);

}  // namespace vardelk
