// The coefficients of the measure's recursive Gaussian.
//
// The Gaussian of sigma s is approximated over a window of radius
// N = round(3.2795 s + 0.2546) by three cosines of the frequencies
// w_k = (2k + 1) pi / (2N). Each cosine is a resonator fed by the pair of
// samples entering and leaving the window, so the filter costs the same for
// any sigma. The cosines' weights beta solve three conditions: the filter
// sums to 1, its variance is s^2, and the truncated cosines fit the
// Gaussian's spectrum at the three frequencies. With
//     p_k = (+-) cot(w_k / 2),   r_k = (+-) p_k^2 / sin(w_k)   (signs +, -, +)
//     rho_k = exp(-s^2 w_k^2 / 2) / N
//     D_ij = p_i r_j - r_i p_j,  z_0 = D_12 / D_01,  z_1 = D_20 / D_01
// beta = A^-1 g with A = [p_0 p_1 p_2; r_0 r_1 r_2; z_0 z_1 1] and
// g = [1; N^2 - s^2; z_0 rho_0 + z_1 rho_1 + rho_2]. Each resonator runs
// y[m] = feed s[m] - feedback y[m-1] - y[m-2] with
// feed = -beta_k cos(w_k (N + 1)) and feedback = -2 cos(w_k).
//
// Along a row the recursion is unrolled four outputs at a time: writing out
// four steps of it, output j of a block is
//     sum_{i <= j} in_j-i s_i + prev_j y[m-1] + prev2_j y[m-2]
// with in = feed (1, -f, f^2 - 1, -f^3 + 2f), prev = (-f, f^2 - 1,
// -f^3 + 2f, f^4 - 3f^2 + 1) and prev2 = (-1, f, -f^2 + 1, f^3 - 2f) for
// f = feedback, all worked out in double and rounded to float once. Every
// figure is computed in the order written here, so that the floats are the
// same on every machine.
#include <cmath>

#include "quality/ssimulacra2_kernels.h"

namespace vardelk {
namespace ssimulacra2 {
namespace {

constexpr double kSigma = 1.5;

BlurCoefficients Design(double sigma) {
    const double pi = 3.141592653589793238;
    const double radius = std::round(3.2795 * sigma + 0.2546);
    const double step = pi / (2.0 * radius);
    const double w[3] = {step, 3.0 * step, 5.0 * step};
    const double p[3] = {1.0 / std::tan(0.5 * w[0]), -1.0 / std::tan(0.5 * w[1]), 1.0 / std::tan(0.5 * w[2])};
    const double r[3] = {p[0] * p[0] / std::sin(w[0]), -p[1] * p[1] / std::sin(w[1]), p[2] * p[2] / std::sin(w[2])};
    const double halfSigma2 = -0.5 * sigma * sigma;
    const double perRadius = 1.0 / radius;
    double rho[3];
    for (int k = 0; k < 3; ++k) rho[k] = std::exp(halfSigma2 * w[k] * w[k]) * perRadius;
    const double d01 = p[0] * r[1] - r[0] * p[1];
    const double d12 = p[1] * r[2] - r[1] * p[2];
    const double d20 = p[2] * r[0] - r[2] * p[0];
    const double perD01 = 1.0 / d01;
    const double z0 = d12 * perD01, z1 = d20 * perD01;
    const double a[9] = {p[0], p[1], p[2], r[0], r[1], r[2], z0, z1, 1.0};
    // The inverse through the adjugate.
    double adj[9];
    adj[0] = a[4] * a[8] - a[5] * a[7];
    adj[1] = a[2] * a[7] - a[1] * a[8];
    adj[2] = a[1] * a[5] - a[2] * a[4];
    adj[3] = a[5] * a[6] - a[3] * a[8];
    adj[4] = a[0] * a[8] - a[2] * a[6];
    adj[5] = a[2] * a[3] - a[0] * a[5];
    adj[6] = a[3] * a[7] - a[4] * a[6];
    adj[7] = a[1] * a[6] - a[0] * a[7];
    adj[8] = a[0] * a[4] - a[1] * a[3];
    const double det = a[0] * adj[0] + a[1] * adj[3] + a[2] * adj[6];
    const double perDet = 1.0 / det;
    double inverse[9];
    for (int i = 0; i < 9; ++i) inverse[i] = adj[i] * perDet;
    const double g[3] = {1.0, radius * radius - sigma * sigma, z0 * rho[0] + z1 * rho[1] + rho[2]};

    BlurCoefficients c{};
    c.radius = static_cast<int32_t>(radius);
    for (int k = 0; k < 3; ++k) {
        double beta = 0.0;
        for (int z = 0; z < 3; ++z) beta += inverse[3 * k + z] * g[z];
        const double feed = -beta * std::cos(w[k] * (radius + 1.0));
        const double f = -2.0 * std::cos(w[k]);
        const double f2 = f * f;
        c.feed[k] = static_cast<float>(feed);
        c.feedback[k] = static_cast<float>(f);
        const double in[4] = {feed, -f * feed, f2 * feed - feed, -f2 * f * feed + 2.0 * f * feed};
        const double prev[4] = {-f, f2 - 1.0, -f2 * f + 2.0 * f, f2 * f2 - 3.0 * f2 + 1.0};
        const double prev2[4] = {-1.0, f, -f2 + 1.0, f2 * f - 2.0 * f};
        for (int j = 0; j < 4; ++j) {
            c.blockIn[k][j] = static_cast<float>(in[j]);
            c.blockPrev[k][j] = static_cast<float>(prev[j]);
            c.blockPrev2[k][j] = static_cast<float>(prev2[j]);
        }
    }
    return c;
}

}  // namespace

const BlurCoefficients& Blur() {
    static const BlurCoefficients coefficients = Design(kSigma);
    return coefficients;
}

}  // namespace ssimulacra2
}  // namespace vardelk
