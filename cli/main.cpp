// The vardelk command: parses the command line and runs a single pass or a
// sweep, turning every failure into a message and a non-zero exit status.
#include <cstdio>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "clip/named_matrix.h"
#include "clip/user_matrix.h"
#include "commands.h"
#include "exit_status.h"
#include "options.h"
#include "run_command.h"
#include "usage_messages.h"

int main(int argc, char** argv) {
    std::vector<std::string> commands;
    for (const vardelk::Command& command : vardelk::Commands()) {
        if (argc > 1 && argv[1] == std::string(command.name)) return command.run(argc - 1, argv + 1);
        commands.push_back(command.name);
    }
    // The simulator itself takes options only: a first word that is none
    // names a command.
    if (argc > 1 && argv[1][0] != '-') {
        std::fprintf(stderr, "vardelk: %s\n", vardelk::UnknownCommandMessage(argv[1], commands, "vardelk").c_str());
        return 2;
    }
    CLI::App app{"vardelk"};
    app.name("vardelk");
    vardelk::CliOptions options;
    vardelk::DefineOptions(app, options);
    return vardelk::RunWithExitStatus(app, argc, argv, {"vardelk", "; unfinished outputs removed"}, [&] {
        vardelk::CheckOptions(app, options);
        if (!options.writeMatrix.empty()) {
            const vardelk::NamedMatrix matrix =
                vardelk::LoadMatrix(options.matrices.empty() ? "default" : options.matrices.front());
            vardelk::WriteMatrix(options.writeMatrix, options.matrixFormat, matrix.entries,
                                 vardelk::MatrixFormsWithStreams());
            if (options.input.empty()) return 0;
        }
        return options.sweep ? vardelk::RunSweepCommand(options) : vardelk::RunClipCommand(options);
    });
}
