// The vardelk command: parses the command line and runs a single pass or a
// sweep, turning every failure into a message and a non-zero exit status.
#include <string>

#include <CLI/CLI.hpp>

#include "exit_status.h"
#include "matrix_source.h"
#include "measure_command.h"
#include "options.h"
#include "run_command.h"
#include "search_command.h"
#include "sweep_command.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "search") return vardelk::RunSearchCommand(argc - 1, argv + 1);
    if (argc > 1 && std::string(argv[1]) == "measure") return vardelk::RunMeasureCommand(argc - 1, argv + 1);
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
                                 vardelk::CommandLineMatrixForms());
            if (options.input.empty()) return 0;
        }
        return options.sweep ? vardelk::RunSweepCommand(options) : vardelk::RunClipCommand(options);
    });
}
