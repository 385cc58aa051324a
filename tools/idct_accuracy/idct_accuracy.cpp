// Measures the coder's integer inverse DCT by the IEEE 1180-1990 accuracy
// procedure and prints the figures against the procedure's limits.
//
// For each input range (-256..255, -5..5, -300..300), once as generated and
// once negated, 10,000 blocks of random samples from the procedure's own
// generator (restarted for each run) go through a double-precision forward
// DCT, rounded and clipped to -2048..2047. Those coefficients go through a
// double-precision inverse DCT (rounded, clipped to -256..255: the
// reference) and through InverseDct (the transform under test). The errors
// test - reference are gathered per coefficient position.
//
// Usage: idct_accuracy [--positions] [blocks]   (default 10000 blocks per run)
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "codec/inverse_dct.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The procedure's generator: a 32-bit linear congruential sequence, of
// which bits 1..30 scaled to the range give the sample.
class IeeeRandom {
public:
    int32_t Next(int32_t low, int32_t high) {
        state_ = state_ * 1103515245u + 12345u;
        const double unit = static_cast<double>(state_ & 0x7FFFFFFEu) / static_cast<double>(0x7FFFFFFF);
        return static_cast<int32_t>(unit * (high - low + 1)) + low;
    }

private:
    uint32_t state_ = 1;
};

// basis[a][b] = C(b)/2 x cos((2a + 1) b pi / 16), C(0) = 1/sqrt(2), else 1.
struct Basis {
    double value[8][8];
    Basis() {
        for (int a = 0; a < 8; ++a) {
            for (int b = 0; b < 8; ++b) {
                const double c = std::cos((2 * a + 1) * b * kPi / 16.0);
                value[a][b] = (b == 0 ? c / std::sqrt(2.0) : c) * 0.5;
            }
        }
    }
};

// Nearest integer, halves away from zero.
int32_t RoundHalfAway(double v) { return v < 0.0 ? -static_cast<int32_t>(0.5 - v) : static_cast<int32_t>(v + 0.5); }

int32_t Clip(int32_t v, int32_t low, int32_t high) { return v < low ? low : (v > high ? high : v); }

void ReferenceForward(const Basis& basis, const int32_t in[64], int32_t out[64]) {
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            double sum = 0.0;
            for (int y = 0; y < 8; ++y) {
                double row = 0.0;
                for (int x = 0; x < 8; ++x) {
                    row += in[y * 8 + x] * basis.value[x][u];
                }
                sum += basis.value[y][v] * row;
            }
            out[v * 8 + u] = Clip(RoundHalfAway(sum), -2048, 2047);
        }
    }
}

void ReferenceInverse(const Basis& basis, const int32_t in[64], int32_t out[64]) {
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            double sum = 0.0;
            for (int v = 0; v < 8; ++v) {
                double row = 0.0;
                for (int u = 0; u < 8; ++u) {
                    row += in[v * 8 + u] * basis.value[x][u];
                }
                sum += basis.value[y][v] * row;
            }
            out[y * 8 + x] = Clip(RoundHalfAway(sum), -256, 255);
        }
    }
}

struct RunResult {
    int32_t peak[64] = {};
    int64_t sum[64] = {};
    int64_t sumSquares[64] = {};
};

RunResult Measure(const Basis& basis, int32_t low, int32_t high, int32_t sign, int64_t blocks) {
    IeeeRandom random;
    RunResult result;
    for (int64_t n = 0; n < blocks; ++n) {
        int32_t samples[64], coefficients[64], reference[64], test[64];
        for (int32_t& sample : samples) {
            sample = random.Next(low, high) * sign;
        }
        ReferenceForward(basis, samples, coefficients);
        ReferenceInverse(basis, coefficients, reference);
        std::memcpy(test, coefficients, sizeof test);
        vardelk::InverseDct(test);
        for (int i = 0; i < 64; ++i) {
            const int32_t error = test[i] - reference[i];
            result.sum[i] += error;
            result.sumSquares[i] += error * error;
            result.peak[i] = std::abs(error) > result.peak[i] ? std::abs(error) : result.peak[i];
        }
    }
    return result;
}

const char* Verdict(double value, double limit) { return std::fabs(value) <= limit ? "meets" : "FAILS"; }

void PrintPositions(const char* title, const double values[64]) {
    std::printf("    %s\n", title);
    for (int row = 0; row < 8; ++row) {
        std::printf("     ");
        for (int column = 0; column < 8; ++column) {
            std::printf(" %8.4f", values[row * 8 + column]);
        }
        std::printf("\n");
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool positions = false;
    int64_t blocks = 10000;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--positions") == 0) {
            positions = true;
        } else if (std::atoll(argv[i]) > 0) {
            blocks = std::atoll(argv[i]);
        } else {
            std::fprintf(stderr, "usage: %s [--positions] [blocks]\n", argv[0]);
            return 2;
        }
    }
    const Basis basis;
    struct Range {
        int32_t low, high;
    };
    const Range ranges[] = {{-256, 255}, {-5, 5}, {-300, 300}};
    std::printf("Inverse DCT accuracy, IEEE 1180-1990 procedure, %lld blocks per run\n",
                static_cast<long long>(blocks));
    std::printf(
        "limits: peak 1, worst position MSE 0.06, overall MSE 0.02, worst position |mean| 0.015, "
        "overall |mean| 0.0015\n\n");
    std::printf("%-12s %4s  %4s  %12s  %11s  %13s  %12s\n", "range", "sign", "peak", "worst pMSE", "overall MSE",
                "worst |pMean|", "overall mean");
    bool allMeet = true;
    for (const Range& range : ranges) {
        for (int32_t sign : {1, -1}) {
            const RunResult run = Measure(basis, range.low, range.high, sign, blocks);
            int32_t peak = 0;
            double worstMse = 0.0, worstMean = 0.0, totalSquares = 0.0, total = 0.0;
            double mse[64], mean[64];
            for (int i = 0; i < 64; ++i) {
                mse[i] = static_cast<double>(run.sumSquares[i]) / static_cast<double>(blocks);
                mean[i] = static_cast<double>(run.sum[i]) / static_cast<double>(blocks);
                peak = run.peak[i] > peak ? run.peak[i] : peak;
                worstMse = mse[i] > worstMse ? mse[i] : worstMse;
                worstMean = std::fabs(mean[i]) > worstMean ? std::fabs(mean[i]) : worstMean;
                totalSquares += static_cast<double>(run.sumSquares[i]);
                total += static_cast<double>(run.sum[i]);
            }
            const double overallMse = totalSquares / (64.0 * static_cast<double>(blocks));
            const double overallMean = total / (64.0 * static_cast<double>(blocks));
            char name[32];
            std::snprintf(name, sizeof name, "%d..%d", range.low, range.high);
            std::printf("%-12s %4s  %1d %-5s %7.4f %-5s %6.4f %-5s %8.4f %-5s %7.4f %-5s\n", name, sign > 0 ? "+" : "-",
                        peak, Verdict(peak, 1.0), worstMse, Verdict(worstMse, 0.06), overallMse,
                        Verdict(overallMse, 0.02), worstMean, Verdict(worstMean, 0.015), overallMean,
                        Verdict(overallMean, 0.0015));
            allMeet = allMeet && peak <= 1 && worstMse <= 0.06 && overallMse <= 0.02 && worstMean <= 0.015 &&
                      std::fabs(overallMean) <= 0.0015;
            if (positions) {
                PrintPositions("mean error by position (row = vertical, column = horizontal sample)", mean);
                PrintPositions("mean square error by position", mse);
            }
        }
    }
    int32_t zero[64] = {};
    vardelk::InverseDct(zero);
    int32_t nonZero = 0;
    for (int32_t value : zero) {
        nonZero += value != 0;
    }
    std::printf("\nall-zero input: %d of 64 outputs non-zero (%s)\n", nonZero, nonZero == 0 ? "meets" : "FAILS");
    std::printf("overall: %s\n", allMeet && nonZero == 0 ? "meets every limit" : "does not meet every limit");
    return 0;
}
