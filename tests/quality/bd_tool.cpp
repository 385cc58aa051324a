// Runs BjontegaardDelta on curves read from a file, for the script that
// checks the figures against a scientific library.
//   bd_tool CURVES.csv
// Input lines: "pair,role,bytes,quality" with role anchor or test (lines of a
// pair may come in any order). Output, for each pair in order of first
// appearance and each method: "pair,method,bd_rate,bd_quality" with %.10g
// values, or "-" where a figure is not computable.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "quality/bd_rate.h"

namespace {

struct Pair {
    std::vector<vardelk::BdPoint> anchor, test;
};

std::string Figure(const vardelk::BdFigure& f) {
    if (!f.computable) return "-";
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", f.value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bd_tool CURVES.csv\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "bd_tool: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<std::string> order;
    std::map<std::string, Pair> pairs;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string name, role, bytes, quality;
        if (!std::getline(fields, name, ',') || !std::getline(fields, role, ',') || !std::getline(fields, bytes, ',') ||
            !std::getline(fields, quality)) {
            std::fprintf(stderr, "bd_tool: malformed line: %s\n", line.c_str());
            return 1;
        }
        if (!pairs.count(name)) order.push_back(name);
        Pair& p = pairs[name];
        (role == "anchor" ? p.anchor : p.test)
            .push_back({std::strtod(bytes.c_str(), nullptr), std::strtod(quality.c_str(), nullptr)});
    }
    for (const std::string& name : order) {
        for (vardelk::BdInterpolation m : {vardelk::BdInterpolation::kPchip, vardelk::BdInterpolation::kAkima,
                                           vardelk::BdInterpolation::kCubicFit}) {
            const vardelk::BdResult r = vardelk::BjontegaardDelta(pairs[name].anchor, pairs[name].test, m);
            std::printf("%s,%s,%s,%s\n", name.c_str(), vardelk::BdInterpolationName(m), Figure(r.rate).c_str(),
                        Figure(r.quality).c_str());
        }
    }
    return 0;
}
