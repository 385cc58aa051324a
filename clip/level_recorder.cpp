#include "clip/level_recorder.h"

namespace vardelk {

void LevelRecorder::Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) {
    if (stage == CoefficientStage::kQuantised) macroblocks_.push_back(Macroblock{x, y, buffer});
}

void LevelRecorder::Replay(CoefficientSink& to, int32_t rowOffset) const {
    for (const Macroblock& m : macroblocks_) to.Take(CoefficientStage::kQuantised, m.x, m.y + rowOffset, m.levels);
}

void SplitSink::Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) {
    if (first_.Wants(stage)) first_.Take(stage, x, y, buffer);
    if (second_.Wants(stage)) second_.Take(stage, x, y, buffer);
}

}  // namespace vardelk
