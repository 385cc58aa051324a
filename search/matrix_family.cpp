#include "search/matrix_family.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "matrix/known_matrices.h"

namespace vardelk {
namespace {

// The knots of h, at these values of u + v (1..14 for the AC entries).
constexpr double kKnotPositions[kShapeKnots] = {1.0, 3.0, 6.0, 10.0, 14.0};

double KnotFunction(const ShapeParameters& shape, double s) {
    const double* knots = shape.data() + 1;
    for (int k = 1; k < kShapeKnots; ++k) {
        if (s <= kKnotPositions[k]) {
            const double t = (s - kKnotPositions[k - 1]) / (kKnotPositions[k] - kKnotPositions[k - 1]);
            return knots[k - 1] + t * (knots[k] - knots[k - 1]);
        }
    }
    return knots[kShapeKnots - 1];
}

}  // namespace

SearchMatrix DefaultSearchMatrix() {
    SearchMatrix matrix;
    std::copy(kDefaultIntraMatrix, kDefaultIntraMatrix + kMatrixEntries, matrix.begin());
    matrix[0] = kSearchDcEntry;
    return matrix;
}

SearchMatrix FlatSearchMatrix(int32_t value) {
    SearchMatrix matrix;
    matrix.fill(std::clamp(value, kSearchMinEntry, kSearchMaxEntry));
    matrix[0] = kSearchDcEntry;
    return matrix;
}

SearchMatrix RoundedMatrix(const std::array<double, kMatrixEntries>& weights) {
    SearchMatrix matrix;
    for (size_t i = 0; i < matrix.size(); ++i) {
        const double w = std::isfinite(weights[i]) ? weights[i] : double(kSearchMaxEntry);
        matrix[i] = int32_t(std::lround(std::clamp(w, double(kSearchMinEntry), double(kSearchMaxEntry))));
    }
    matrix[0] = kSearchDcEntry;
    return matrix;
}

std::vector<FamilyMatrix> NamedMatrices() {
    std::vector<FamilyMatrix> named;
    for (const KnownMatrix& known : KnownMatrices()) {
        const std::string name = known.name;
        if (name != "default" && name != "flat16") named.push_back(FamilyMatrix{name, known.entries});
    }
    return named;
}

std::vector<FamilyMatrix> StartingFamilies() {
    std::vector<FamilyMatrix> families;
    families.push_back({"flat16", FlatSearchMatrix(16)});
    for (double g : {0.25, 0.5, 0.75, 1.25, 1.5, 2.0, 2.5, 3.0}) {
        std::array<double, kMatrixEntries> w;
        for (int i = 0; i < kMatrixEntries; ++i) w[size_t(i)] = 16.0 * std::pow(kDefaultIntraMatrix[i] / 16.0, g);
        char name[32];
        std::snprintf(name, sizeof name, "default^%.2f", g);
        families.push_back({name, RoundedMatrix(w)});
    }
    for (int k : {1, 2, 3, 4, 6, 8}) {
        std::array<double, kMatrixEntries> w;
        for (int i = 0; i < kMatrixEntries; ++i) w[size_t(i)] = 16.0 + k * (i / 8 + i % 8);
        families.push_back({"16+" + std::to_string(k) + "(u+v)", RoundedMatrix(w)});
    }
    return families;
}

SearchMatrix PerceptualMatrix(const PerceptualShape& shape) {
    std::array<double, kMatrixEntries> w{};
    for (int i = 1; i < kMatrixEntries; ++i) {
        const int u = i / 8, v = i % 8;
        const double s = u + v;
        double weight = std::min(shape.cap, 16.0 * std::pow(kDefaultIntraMatrix[i] / 16.0, shape.power));
        if (i == 1) weight *= shape.horizontal;
        if (i == 8) weight *= shape.vertical;
        if (i == 9) weight *= shape.diagonalLow;
        weight *= std::exp(shape.orientation * (v - u) / s + shape.diagonal * (1.0 - std::abs(v - u) / s));
        w[size_t(i)] = weight;
    }
    return RoundedMatrix(w);
}

std::vector<PerceptualShape> PerceptualStarts() {
    std::vector<PerceptualShape> starts;
    for (double power : {1.5, 1.8, 2.1}) {
        for (double cap : {48.0, 64.0, 96.0, 128.0}) {
            PerceptualShape shape;
            shape.power = power;
            shape.cap = cap;
            starts.push_back(shape);
        }
    }
    return starts;
}

std::vector<FamilyMatrix> PerceptualFamilies() {
    std::vector<FamilyMatrix> families;
    for (const PerceptualShape& shape : PerceptualStarts()) {
        char name[48];
        std::snprintf(name, sizeof name, "default^%.2f cap %.0f", shape.power, shape.cap);
        families.push_back({name, PerceptualMatrix(shape)});
    }
    return families;
}

SearchMatrix ShapedMatrix(const SearchMatrix& base, const ShapeParameters& shape) {
    std::array<double, kMatrixEntries> w{};
    for (int i = 1; i < kMatrixEntries; ++i) {
        const int u = i / 8, v = i % 8;
        const double s = u + v;
        const double b = base[size_t(i)];
        const double f = shape[0] * std::log(b / 16.0) + KnotFunction(shape, s) + shape[kShapeKnots + 1] * (v - u) / s +
                         shape[kShapeKnots + 2] * (1.0 - std::abs(v - u) / s);
        w[size_t(i)] = b * std::exp(f);
    }
    return RoundedMatrix(w);
}

std::string ShapeParameterName(int index) {
    if (index == 0) return "tilt";
    if (index <= kShapeKnots) return "knot" + std::to_string(index);
    return index == kShapeKnots + 1 ? "orientation" : "diagonal";
}

}  // namespace vardelk
