#include "frei0r/filter_instance.h"

#include "clip/named_matrix.h"
#include "frei0r/parameters.h"

namespace vardelk {
namespace frei0r {
namespace {

// Scale code 8 until the host says otherwise: a visible but moderate effect.
constexpr int32_t kDefaultScaleCode = 8;

}  // namespace

FilterInstance::FilterInstance(int32_t width, int32_t height, int32_t threads, std::FILE* messages)
    : runner_(width, height, threads), messages_(messages), scaleValue_(ValueOfScaleCode(kDefaultScaleCode)) {
    settings_.scaleCode = kDefaultScaleCode;
    matrix_ = LoadNamedMatrix("default");
}

void FilterInstance::SetNumber(int parameter, double value) {
    switch (parameter) {
        case kScaleCode:
            scaleValue_ = value;
            settings_.scaleCode = ScaleCodeOfValue(value);
            break;
        case kNonLinearScale:
            settings_.nonLinearScale = SwitchOfValue(value);
            break;
        case kAlternateScan:
            settings_.alternateScan = SwitchOfValue(value);
            break;
        case kFieldDct:
            settings_.interlacedDct = SwitchOfValue(value);
            break;
        default:
            break;
    }
}

double FilterInstance::Number(int parameter) const {
    switch (parameter) {
        case kScaleCode:
            return scaleValue_;
        case kNonLinearScale:
            return settings_.nonLinearScale ? 1.0 : 0.0;
        case kAlternateScan:
            return settings_.alternateScan ? 1.0 : 0.0;
        case kFieldDct:
            return settings_.interlacedDct ? 1.0 : 0.0;
        default:
            return 0.0;
    }
}

void FilterInstance::SetText(int parameter, const char* text) {
    const std::string value = text == nullptr ? std::string() : std::string(text);
    if (parameter == kMatrix) SetMatrix(value);
    if (parameter == kCodingModel) SetModel(value);
}

const char* FilterInstance::Text(int parameter) const {
    if (parameter == kMatrix) return matrixName_.c_str();
    if (parameter == kCodingModel) return modelName_.c_str();
    return "";
}

void FilterInstance::SetMatrix(const std::string& text) {
    if (text == matrixAsked_) return;
    matrixAsked_ = text;
    try {
        matrix_ = LoadNamedMatrix(text);
        matrixName_ = text;
        combinationReported_ = false;
    } catch (const Error& error) {
        std::fprintf(messages_, "vardelk: %s; the matrix stays %s\n", error.what(), matrixName_.c_str());
    }
}

void FilterInstance::SetModel(const std::string& text) {
    if (text == modelAsked_) return;
    modelAsked_ = text;
    EncoderPreset preset = EncoderPreset::kFilter;
    if (!ParsePreset(text, preset)) {
        std::fprintf(messages_,
                     "vardelk: coding model '%s' is unknown (filter, ffmpeg, mpeg2enc, tm5); the model stays %s\n",
                     text.c_str(), modelName_.c_str());
        return;
    }
    settings_.model = PresetModel(preset);
    modelName_ = text;
    combinationReported_ = false;
}

void FilterInstance::CheckCombination() {
    if (combinationReported_ || settings_.model.rule == QuantiserRule::kFilter) return;
    for (int i = 1; i < kMatrixEntries; ++i) {
        const int32_t entry = matrix_[size_t(i)];
        if (entry <= 255) continue;
        std::fprintf(messages_,
                     "vardelk: matrix %s has %d at row %d, column %d; the %s model's streams carry 1..255, so "
                     "no such encoder makes this picture\n",
                     matrixName_.c_str(), entry, i / 8 + 1, i % 8 + 1, modelName_.c_str());
        combinationReported_ = true;
        return;
    }
}

void FilterInstance::Update(const uint8_t* in, uint8_t* out) {
    CheckCombination();
    runner_.Process(settings_, matrix_.data(), in, out);
}

}  // namespace frei0r
}  // namespace vardelk
