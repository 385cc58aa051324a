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
