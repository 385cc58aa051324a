// Sinks that sit between the coder and the outputs that want its levels.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/frame_coder.h"

namespace vardelk {

// Keeps every macroblock's quantised levels of a frame so that they can be
// handed on later, in coding order: frames coded on worker threads are
// written into the one stream in their order by the thread that writes.
class LevelRecorder final : public CoefficientSink {
public:
    bool Wants(CoefficientStage stage) const override { return stage == CoefficientStage::kQuantised; }
    void Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) override;

    void Clear() { macroblocks_.clear(); }
    // Hands every macroblock on, its y moved down by `rowOffset` pixels (for
    // a band coded as a picture of its own).
    void Replay(CoefficientSink& to, int32_t rowOffset) const;

private:
    struct Macroblock {
        int32_t x, y;
        MacroblockBuffer levels;
    };
    std::vector<Macroblock> macroblocks_;
};

// Hands each macroblock to two sinks, each at the stages it wants.
class SplitSink final : public CoefficientSink {
public:
    SplitSink(CoefficientSink& first, CoefficientSink& second) : first_(first), second_(second) {}
    bool Wants(CoefficientStage stage) const override { return first_.Wants(stage) || second_.Wants(stage); }
    void Take(CoefficientStage stage, int32_t x, int32_t y, const MacroblockBuffer& buffer) override;

private:
    CoefficientSink& first_;
    CoefficientSink& second_;
};

}  // namespace vardelk
