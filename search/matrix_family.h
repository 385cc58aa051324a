// Matrices with few degrees of freedom: the families the search starts
// from, and a smooth reshaping of a base matrix by a handful of parameters.
// Every matrix made here has its DC entry at 8 and its AC entries in 1..255.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "search/objective.h"

namespace vardelk {

constexpr int32_t kSearchDcEntry = 8;
constexpr int32_t kSearchMinEntry = 1;
constexpr int32_t kSearchMaxEntry = kMaxStreamMatrixEntry;  // what a real encoder's stream carries

SearchMatrix DefaultSearchMatrix();
SearchMatrix FlatSearchMatrix(int32_t value);
// Sets the DC entry to 8 and rounds and clamps real AC weights into 1..255.
SearchMatrix RoundedMatrix(const std::array<double, kMatrixEntries>& weights);

struct FamilyMatrix {
    std::string name;
    SearchMatrix matrix;
};

// The starting points: flat 16, the default raised to a few powers
// (16 (W/16)^g, g = 0 being flat and 1 the default), dense near flat where
// the real encoders' rules favour nearly flat matrices, and straight
// slopes 16 + k (u + v) for a few k.
std::vector<FamilyMatrix> StartingFamilies();

// The published matrices known by name (matrix/known_matrices.h), the
// default and flat 16 left out, each under its name: starting points of
// every search and rivals of its answer.
std::vector<FamilyMatrix> NamedMatrices();

// The family SSIMULACRA 2 favours: steeper than the default and capped.
// Each AC weight is 16 (W/16)^power of the default's W, at most `cap`,
// then the three lowest frequencies, (0,1) horizontal, (1,0) vertical and
// (1,1) diagonal, each multiplied by its own factor; `orientation` and
// `diagonal` then tilt horizontal against vertical detail and diagonal
// against axial detail as in ShapedMatrix, e^(a (v - u)/(u + v)) and
// e^(d (1 - |v - u|/(u + v))). Measured in ffmpeg on photographs, the
// SSIMULACRA 2 optimum lies at powers 1.5-2.1 and caps 48-128.
struct PerceptualShape {
    double power = 1.0;
    double cap = kSearchMaxEntry;
    double horizontal = 1.0, vertical = 1.0, diagonalLow = 1.0;
    double orientation = 0.0, diagonal = 0.0;
};
SearchMatrix PerceptualMatrix(const PerceptualShape& shape);
// Its starting points: powers 1.5, 1.8 and 2.1, each capped at 48, 64,
// 96 and 128; as matrices named like "default^1.80 cap 64".
std::vector<PerceptualShape> PerceptualStarts();
std::vector<FamilyMatrix> PerceptualFamilies();

// A base matrix reshaped, every AC weight multiplied by e^f(u, v) with
//   f = t log(B/16) + h(u + v) + a (v - u)/(u + v) + d (1 - |v - u|/(u + v)),
// u the vertical and v the horizontal frequency: t steepens or flattens the
// base as a whole, h is piecewise linear in u + v through kShapeKnots knots
// (so neighbouring frequencies move together), a tilts horizontal against
// vertical detail and d diagonal against axial detail. All zero gives the
// base back.
constexpr int kShapeKnots = 5;
constexpr int kShapeParameters = 3 + kShapeKnots;
using ShapeParameters = std::array<double, kShapeParameters>;
SearchMatrix ShapedMatrix(const SearchMatrix& base, const ShapeParameters& shape);
// "tilt", "knot1", ..., "orientation", "diagonal".
std::string ShapeParameterName(int index);

}  // namespace vardelk
