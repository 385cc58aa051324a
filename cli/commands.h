// The commands the first word names, the one list that dispatches them and
// that the simulator's help and its words for an unknown command give.
#pragma once

#include <string>
#include <vector>

namespace vardelk {

struct Command {
    const char* name;                   // the first word: "search"
    const char* usage;                  // "vardelk search SET..."
    const char* summary;                // what it does, after the usage in the help
    int (*run)(int argc, char** argv);  // on the arguments from the command's name on
};

const std::vector<Command>& Commands();

// "Commands: vardelk search SET... finds ...; ...", for the help's footer.
std::string CommandsHelp();

}  // namespace vardelk
