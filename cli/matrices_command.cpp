#include "matrices_command.h"

#include <cstdio>

#include "exit_status.h"
#include "matrix/known_matrices.h"
#include "options.h"

namespace vardelk {

void DefineMatricesOptions(CLI::App& app, MatricesOptions& o) {
    app.description(
        "Lists the intra matrices known by name (what each was published for and where), or shows one: its rows "
        "and the ffmpeg option that codes with it. Every -m and --matrix takes these names.");
    app.add_option("NAME", o.name, "A matrix's name: " + KnownMatrixNames())->type_name("NAME");
    app.footer("Exit status: 0 on success, 2 for a wrong command line or a name no matrix has.");
}

int RunMatricesCommand(int argc, char** argv) {
    return RunCommand("vardelk matrices", argc, argv, DefineMatricesOptions, [](const MatricesOptions& o) {
        if (o.name.empty()) {
            std::fputs(KnownMatricesListing().c_str(), stdout);
        } else {
            const KnownMatrix* matrix = FindKnownMatrix(o.name);
            if (matrix == nullptr)
                throw UsageError("no matrix is called " + o.name + "; the names are " + KnownMatrixNames());
            std::fputs(KnownMatrixText(*matrix).c_str(), stdout);
        }
        return std::fflush(stdout) == 0 ? 0 : 1;
    });
}

}  // namespace vardelk
