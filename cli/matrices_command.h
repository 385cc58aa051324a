// vardelk matrices [NAME]: the intra matrices known by name, listed, or one
// of them with its rows and ffmpeg's option for it.
#pragma once

#include <string>

#include <CLI/CLI.hpp>

namespace vardelk {

struct MatricesOptions {
    std::string name;  // empty: list them all
};

// The command's arguments (the manual page lists them too).
void DefineMatricesOptions(CLI::App& app, MatricesOptions& options);

// Runs the command on the arguments after "matrices"; returns the exit
// status: 2 for a name no matrix has.
int RunMatricesCommand(int argc, char** argv);

}  // namespace vardelk
