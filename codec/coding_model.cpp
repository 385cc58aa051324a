#include "codec/coding_model.h"

#include <algorithm>

#include "codec/types.h"

namespace vardelk {
namespace {

struct PresetEntry {
    const char* name;
    CodingModel model;
};

// Each encoder's defaults for intra pictures: the filter codes with the
// intra table and an 11-bit DC; the others' defaults are what they write
// into a stream unless told otherwise. Entry i is the preset of rule i.
constexpr PresetEntry kPresets[kEncoderPresets] = {
    {"filter", {QuantiserRule::kFilter, kIntraVlcTable, 11}},
    {"ffmpeg", {QuantiserRule::kFfmpeg, kMpegVlcTable, 8}},
    {"mpeg2enc", {QuantiserRule::kMpeg2enc, kIntraVlcTable, 9}},
    {"tm5", {QuantiserRule::kTestModel, kIntraVlcTable, 8}},
};

constexpr bool PresetsFollowTheRules() {
    for (int i = 0; i < kEncoderPresets; ++i)
        if (static_cast<int>(kPresets[i].model.rule) != i) return false;
    return kEncoderPresets == kQuantiserRules;
}
static_assert(PresetsFollowTheRules(), "PresetOfRule casts a rule to its preset: one preset per rule, in rule order");
static_assert(static_cast<int>(EncoderPreset::kFfmpeg) == static_cast<int>(QuantiserRule::kFfmpeg) &&
                  static_cast<int>(EncoderPreset::kMpeg2enc) == static_cast<int>(QuantiserRule::kMpeg2enc) &&
                  static_cast<int>(EncoderPreset::kTestModel) == static_cast<int>(QuantiserRule::kTestModel),
              "the presets are named in rule order");

// What each rule's encoder does around its quantiser (CodingModel's
// methods); a rule out of range is the filter's, as SafeModel makes it.
struct RuleBehaviour {
    bool accurateTransform;
    bool extendsEdges;
    bool dcAboutMidGrey;
    int32_t maxMatrixEntry;
    bool streamOverhead;
};

constexpr RuleBehaviour kBehaviours[kQuantiserRules] = {
    // The module: its own transform, zeros beyond the picture, any entry its boxes take, blocks alone.
    {false, false, false, kMaxMatrixEntry, false},
    // ffmpeg transforms and quantises as it does on x86 when no -dct is
    // given (ForwardDctFixed16, quantiser_rules.h) and pads its picture by
    // repeating the edge; its DC rounds as a whole.
    {true, true, false, kMaxStreamMatrixEntry, true},
    // mpeg2enc and the test model: the reference transform's coefficients
    // (the filter's match them), the DC about mid grey.
    {false, false, true, kMaxStreamMatrixEntry, true},
    {false, false, true, kMaxStreamMatrixEntry, true},
};

const RuleBehaviour& BehaviourOf(QuantiserRule rule) {
    const int index = static_cast<int>(rule);
    return kBehaviours[index < kQuantiserRules ? index : 0];
}

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

std::vector<std::string> PresetNames() {
    std::vector<std::string> names;
    for (const PresetEntry& entry : kPresets) names.push_back(entry.name);
    return names;
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

bool CodingModel::UsesAccurateTransform() const { return BehaviourOf(rule).accurateTransform; }

bool CodingModel::ExtendsEdges() const { return BehaviourOf(rule).extendsEdges; }

bool CodingModel::CarriesFilterDc() const {
    const CodingModel safe = SafeModel(*this);
    return safe.rule == QuantiserRule::kFilter && safe.dcPrecision == kMaxDcPrecision;
}

bool CodingModel::RoundsDcAboutMidGrey() const { return BehaviourOf(rule).dcAboutMidGrey; }

int32_t CodingModel::DcPredictorReset() const {
    return CarriesFilterDc() ? 0 : int32_t{1} << (SafeModel(*this).dcPrecision - 1);
}

int32_t CodingModel::MaxMatrixEntry() const { return BehaviourOf(rule).maxMatrixEntry; }

bool CodingModel::CountsStreamOverhead() const { return BehaviourOf(rule).streamOverhead; }

CodingModel SafeModel(const CodingModel& model) {
    CodingModel safe = model;
    if (static_cast<int>(safe.rule) >= kQuantiserRules) safe.rule = QuantiserRule::kFilter;
    safe.intraVlcFormat = safe.intraVlcFormat != 0 ? kIntraVlcTable : kMpegVlcTable;
    safe.dcPrecision = std::clamp(safe.dcPrecision, kMinDcPrecision, kMaxDcPrecision);
    return safe;
}

}  // namespace vardelk
