#include "media/nearest_name.h"

#include <algorithm>

namespace vardelk {

int32_t EditDistance(const std::string& a, const std::string& b) {
    // Three rows of the table: two rows back are needed for a swap.
    const size_t n = b.size();
    std::vector<int32_t> before(n + 1), previous(n + 1), current(n + 1);
    for (size_t j = 0; j <= n; ++j) previous[j] = int32_t(j);
    for (size_t i = 1; i <= a.size(); ++i) {
        current[0] = int32_t(i);
        for (size_t j = 1; j <= n; ++j) {
            const int32_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                current[j] = std::min(current[j], before[j - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, current);
    }
    return previous[n];
}

std::string NearestName(const std::string& word, const std::vector<std::string>& names) {
    // Leading dashes say how a name was typed, not which one: "--scael"
    // against "--scale" is judged on "scael" against "scale".
    auto bare = [](const std::string& s) { return s.substr(std::min(s.find_first_not_of('-'), s.size())); };
    const std::string typed = bare(word);
    // A third of the word, one edit for a short one, but never all of it:
    // "--x" is no slip for "-s".
    const int32_t allowed =
        std::min<int32_t>(std::max<int32_t>(1, int32_t(typed.size()) / 3), int32_t(typed.size()) - 1);
    std::string nearest;
    int32_t best = allowed + 1;
    for (const std::string& name : names) {
        const int32_t d = EditDistance(typed, bare(name));
        if (d < best) best = d, nearest = name;
    }
    return nearest;
}

}  // namespace vardelk
