#include "codec/coding_model.h"

#include <algorithm>

namespace vardelk {
namespace {

struct PresetEntry {
    const char* name;
    CodingModel model;
};

// Each encoder's defaults for intra pictures: the filter codes with the
// intra table and an 11-bit DC; the others' defaults are what they write
// into a stream unless told otherwise.
constexpr PresetEntry kPresets[kEncoderPresets] = {
    {"filter", {QuantiserRule::kFilter, kIntraVlcTable, 11}},
    {"ffmpeg", {QuantiserRule::kFfmpeg, kMpegVlcTable, 8}},
    {"mpeg2enc", {QuantiserRule::kMpeg2enc, kIntraVlcTable, 9}},
    {"tm5", {QuantiserRule::kTestModel, kIntraVlcTable, 8}},
};

}  // namespace

CodingModel PresetModel(EncoderPreset preset) { return kPresets[static_cast<int>(preset)].model; }

const char* PresetName(EncoderPreset preset) { return kPresets[static_cast<int>(preset)].name; }

bool ParsePreset(std::string_view name, EncoderPreset& preset) {
    for (int i = 0; i < kEncoderPresets; ++i) {
        if (name == kPresets[i].name) {
            preset = static_cast<EncoderPreset>(i);
            return true;
        }
    }
    return false;
}

EncoderPreset PresetOfRule(QuantiserRule rule) { return static_cast<EncoderPreset>(static_cast<int>(rule)); }

std::string DescribeModel(const CodingModel& model) {
    const EncoderPreset preset = PresetOfRule(model.rule);
    const CodingModel base = PresetModel(preset);
    std::string text = PresetName(preset);
    if (model == base) return text;
    std::string changes;
    if (model.intraVlcFormat != base.intraVlcFormat) changes += "intra_vlc " + std::to_string(model.intraVlcFormat);
    if (model.dcPrecision != base.dcPrecision)
        changes += (changes.empty() ? "" : ", ") + std::string("dc ") + std::to_string(model.dcPrecision);
    return text + " (" + changes + ")";
}

CodingModel SafeModel(const CodingModel& model) {
    CodingModel safe = model;
    if (static_cast<int>(safe.rule) >= kQuantiserRules) safe.rule = QuantiserRule::kFilter;
    safe.intraVlcFormat = safe.intraVlcFormat != 0 ? kIntraVlcTable : kMpegVlcTable;
    safe.dcPrecision = std::clamp(safe.dcPrecision, kMinDcPrecision, kMaxDcPrecision);
    return safe;
}

}  // namespace vardelk
