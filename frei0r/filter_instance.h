// One effect instance: its own coder, settings and matrix, so that any
// number of instances run side by side with nothing shared.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "frei0r/rgba_runner.h"
#include "matrix/matrix_files.h"

namespace vardelk {
namespace frei0r {

class FilterInstance {
public:
    // Frames of width x height RGBA pixels, coded on up to `threads` threads.
    // Messages (a matrix file that cannot be read) go to `messages`.
    FilterInstance(int32_t width, int32_t height, int32_t threads, std::FILE* messages = stderr);

    // The host's value for a number or switch parameter; strings below.
    void SetNumber(int parameter, double value);
    double Number(int parameter) const;
    // A preset or file name for the matrix, a model's name. Hosts may set
    // the same text before every frame: it is read only when it changes. A
    // text that cannot be used leaves the last good one in effect and is
    // reported once.
    void SetText(int parameter, const char* text);
    // The text in effect (its storage lives until the next SetText).
    const char* Text(int parameter) const;

    // Codes one frame; `out` may be `in`.
    void Update(const uint8_t* in, uint8_t* out);

    const CodingSettings& Settings() const { return settings_; }
    const MatrixEntries& Matrix() const { return matrix_; }

private:
    void SetMatrix(const std::string& text);
    void SetModel(const std::string& text);
    // Says once per combination when an encoder's model is given a matrix
    // its streams cannot carry.
    void CheckCombination();

    RgbaRunner runner_;
    std::FILE* messages_;
    double scaleValue_;
    CodingSettings settings_;
    MatrixEntries matrix_{};
    std::string matrixName_ = "default", matrixAsked_ = "default";
    std::string modelName_ = "filter", modelAsked_ = "filter";
    bool combinationReported_ = false;
};

}  // namespace frei0r
}  // namespace vardelk
