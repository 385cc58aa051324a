#include "commands.h"

#include "compare_command.h"
#include "matrices_command.h"
#include "measure_command.h"
#include "search_command.h"

namespace vardelk {

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"search", "vardelk search SET...",
         "finds the intra matrix a set of pictures deserves for an encoder's coding model", RunSearchCommand},
        {"compare", "vardelk compare SET...",
         "ranks matrices (by default the named ones) on a set of pictures per band of rates, against the default",
         RunCompareCommand},
        {"measure", "vardelk measure REFERENCE DISTORTED",
         "measures a picture or clip against its original by PSNR, SSIM, SSIMULACRA 2 and Butteraugli",
         RunMeasureCommand},
        {"matrices", "vardelk matrices [NAME]",
         "lists the intra matrices known by name, or shows one with its rows and ffmpeg's option", RunMatricesCommand},
    };
    return commands;
}

std::string CommandsHelp() {
    std::string text = "Commands: ";
    for (const Command& command : Commands()) text += std::string(command.usage) + " " + command.summary + "; ";
    return text + "vardelk COMMAND --help lists a command's options.";
}

}  // namespace vardelk
