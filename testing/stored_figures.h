// A perceptual measure's test against the stored figures of a reference
// program (testing/measure_pairs.h's pairs): each pair checked with the
// figures of its name, a pair without figures a failure, and a word when
// the photographs are missing.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "testing/measure_pairs.h"
#include "testing/skip.h"

namespace vardelk::testing {

// Outside CI the photographs' pairs are left out, with a line saying so;
// with CI=true their absence fails the test.
inline void NoteMissingPhotographs() {
    if (SkipFails())
        ADD_FAILURE() << "the photographs of Debian's libjxl-testdata are missing (" << kPhotographFolder << ")";
    else
        std::printf("libjxl-testdata missing: the photographs are left out\n");
}

// Calls check(pair, figure) for each pair with the Figure (a struct with
// `name`) of its name; returns how many pairs were checked.
template <typename Figure, size_t N, typename Check>
int32_t CheckEachPair(const std::vector<MeasurePair>& pairs, const Figure (&figures)[N], Check check) {
    int32_t checked = 0;
    for (const MeasurePair& pair : pairs) {
        const Figure* figure =
            std::find_if(std::begin(figures), std::end(figures), [&](const Figure& f) { return pair.name == f.name; });
        if (figure == std::end(figures)) {
            ADD_FAILURE() << pair.name << " has no reference figure";
            continue;
        }
        check(pair, *figure);
        ++checked;
    }
    return checked;
}

}  // namespace vardelk::testing
