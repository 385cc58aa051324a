// vardelk measure REFERENCE DISTORTED: PSNR, SSIM, SSIMULACRA 2 and Butteraugli of two
// pictures, or of two clips frame by frame.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace vardelk {

struct MeasureOptions {
    std::string reference;
    std::string distorted;
    bool json = false;
    std::string threadsText;
};

// The command's arguments and options (the manual page lists them too).
void DefineMeasureOptions(CLI::App& app, MeasureOptions& options);

// Runs the command on the arguments after "measure"; returns the exit status.
int RunMeasureCommand(int argc, char** argv);

}  // namespace vardelk
