#include "search/progress_line.h"

#include <cstdio>

namespace vardelk {

std::string SearchProgressLine(const SearchProgress& p) {
    char left[32] = "", text[200];
    if (p.secondsLeft >= 0)
        std::snprintf(left, sizeof left, ", %d:%02d left", int(p.secondsLeft) / 60, int(p.secondsLeft) % 60);
    std::snprintf(text, sizeof text, "search %s: objective %+.3f%% (%s) after %lld matrices (%.2f/s)%s",
                  p.phase.c_str(), p.best, p.leader.c_str(), static_cast<long long>(p.evaluations),
                  p.evaluationsPerSecond, left);
    return text;
}

}  // namespace vardelk
