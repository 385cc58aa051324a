// A coding model: how an encoder quantises and codes an intra block. The
// pipeline is the same for every model; the model picks the AC quantiser
// rule, the AC code table and the precision of the DC.
//
// The filter's own model quantises AC coefficients with its own rule,
// codes them with the intra table and carries the DC at full precision
// against predictors that start each row at 0. The models of real encoders
// quantise the DC to 8..11 bits with rounding to nearest, against
// predictors that start at the middle of the DC range, as a decoder
// expects.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vardelk {

// How AC coefficients become levels. Each rule is described where its
// kernels are (codec/quantiser_rules.h).
enum class QuantiserRule : uint8_t {
    kFilter,     // offset of half a step whatever the sign, truncation toward zero
    kFfmpeg,     // sign-symmetric, 3/8 of a step, with 16-bit reciprocals
    kMpeg2enc,   // sign-symmetric, rounding to nearest
    kTestModel,  // sign-symmetric with the test model's rounding
};
constexpr int kQuantiserRules = 4;

// The AC code table, by the value intra_vlc_format takes in a stream.
constexpr int32_t kMpegVlcTable = 0;   // the table shared with non-intra blocks
constexpr int32_t kIntraVlcTable = 1;  // the intra table

constexpr int32_t kMinDcPrecision = 8;
constexpr int32_t kMaxDcPrecision = 11;

// What differs from one model to another is asked of the model: its
// fields say what a user picks, its methods what the rule's encoder does
// around the quantiser (one table per rule in coding_model.cpp). A model
// out of range answers as SafeModel makes it.
struct CodingModel {
    QuantiserRule rule = QuantiserRule::kFilter;
    int32_t intraVlcFormat = kIntraVlcTable;  // 0 or 1
    int32_t dcPrecision = kMaxDcPrecision;    // bits, 8..11

    bool operator==(const CodingModel& other) const {
        return rule == other.rule && intraVlcFormat == other.intraVlcFormat && dcPrecision == other.dcPrecision;
    }
    bool operator!=(const CodingModel& other) const { return !(*this == other); }

    // The transform: whether the rule works on its encoder's own transform
    // at eight times the scale, X = 8 F (the kernel table's
    // forwardDctAccurate entry: ffmpeg's 16-bit transform, ForwardDctFixed16),
    // rather than the filter's F; and so the fraction bits of its
    // coefficients, 3 or 0.
    bool UsesAccurateTransform() const;
    int32_t CoefficientFractionBits() const { return UsesAccurateTransform() ? 3 : 0; }
    // Partial macroblocks at the right and bottom: whether they repeat the
    // picture's last column and row, as an encoder that pads its picture
    // does, or hold zeros, as the filter's do.
    bool ExtendsEdges() const;
    // The DC. The filter's own (its rule at 11 bits): unscaled, chroma
    // about zero, predictors reset to 0. Any other: a level of dcPrecision
    // bits, rounded about mid grey with halves away from zero
    // (RoundsDcAboutMidGrey) or as a whole with halves up, against
    // predictors that start each row at 2^(precision - 1) (DcPredictorReset).
    bool CarriesFilterDc() const;
    bool RoundsDcAboutMidGrey() const;
    int32_t DcPredictorReset() const;
    // The largest matrix entry the rule's encoder takes: the module's 4095,
    // or a stream's 8-bit kMaxStreamMatrixEntry for a real encoder.
    int32_t MaxMatrixEntry() const;
    // Whether the model's sizes are a real encoder's stream, which spends
    // bytes on headers and a loaded matrix beyond the coded blocks; the
    // filter's count the blocks alone.
    bool CountsStreamOverhead() const;
};

// Named encoders, each with its defaults of rule, table and DC precision.
enum class EncoderPreset : uint8_t { kFilter, kFfmpeg, kMpeg2enc, kTestModel };
constexpr int kEncoderPresets = 4;

CodingModel PresetModel(EncoderPreset preset);
// "filter", "ffmpeg", "mpeg2enc", "tm5".
const char* PresetName(EncoderPreset preset);
// The preset of that name; false for any other text.
bool ParsePreset(std::string_view name, EncoderPreset& preset);
// Every preset's name, in preset order, for option lists.
std::vector<std::string> PresetNames();
// The preset whose rule this is (every rule belongs to one).
EncoderPreset PresetOfRule(QuantiserRule rule);
// "ffmpeg" for a preset's own model, otherwise its name with what was
// changed: "ffmpeg (intra_vlc 1, dc 10)".
std::string DescribeModel(const CodingModel& model);

// The model with its fields forced into range: the table 0 or 1, the DC
// precision 8..11.
CodingModel SafeModel(const CodingModel& model);

}  // namespace vardelk
