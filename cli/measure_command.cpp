#include "measure_command.h"

#include <cstdio>

#include "clip/pair_measure.h"
#include "clip/pair_report.h"
#include "exit_status.h"
#include "interrupt.h"
#include "options.h"

namespace vardelk {

void DefineMeasureOptions(CLI::App& app, MeasureOptions& o) {
    app.description(
        "Measures a distorted picture or clip against its reference: PSNR of Y, Cb and Cr, SSIM, SSIMULACRA 2 and "
        "Butteraugli (max norm and 3-norm), per frame and over the clip. Two PNG or JPEG pictures are scored by "
        "SSIMULACRA 2 and Butteraugli in their own RGB; Y4M "
        "clips (or a picture against a 4:4:4 clip) through their planes turned to RGB with BT.601 in studio range, "
        "each pixel taking the chroma sample that covers it.");
    app.add_option("REFERENCE", o.reference, "The original: PNG, JPEG or Y4M")->required()->type_name("REFERENCE");
    app.add_option("DISTORTED", o.distorted, "The same size (and chroma layout, for clips), and as many frames")
        ->required()
        ->type_name("DISTORTED");
    app.add_flag("--json", o.json, "Print the figures as JSON instead of a table");
    app.add_option("-j,--threads", o.threadsText,
                   "Threads for SSIMULACRA 2 and Butteraugli, 1..1024 (default: every core)")
        ->type_name("N");
    app.footer(
        "Exit status: 0 on success, 1 when an input cannot be read or the two do not match, 2 for a wrong "
        "command line.");
}

int RunMeasureCommand(int argc, char** argv) {
    return RunCommand("vardelk measure", argc, argv, DefineMeasureOptions, [](const MeasureOptions& o) {
        const Ssimulacra2Options options{ParseThreads(o.threadsText), DetectedCpuFlags()};
        const PairMeasure m = MeasurePair(o.reference, o.distorted, options, ThrowIfInterrupted);
        if (o.json)
            std::fputs(PairJson(o.reference, o.distorted, m).c_str(), stdout);
        else
            PrintPairTable(stdout, o.reference, o.distorted, m);
        return std::fflush(stdout) == 0 ? 0 : 1;
    });
}

}  // namespace vardelk
