#include "plot/run_picture.h"

#include <utility>
#include <vector>

#include "codec/coding_model.h"
#include "codec/macroblock_pipeline.h"
#include "plot/side_by_side.h"
#include "quality/ssim.h"

namespace vardelk {

ClipJob::DrawPicture RunPicture(const ClipJob& job, int32_t differenceGain, bool ssimMap) {
    const std::string model = job.namesModel ? DescribeModel(job.settings.model) : "";
    const std::string caption =
        job.input.substr(job.input.find_last_of('/') + 1) + ": " + RunCaption(job.settings, job.matrix);
    return [=](const ClipRunner& runner, const Y4mFrame& input, const FrameResult& r) {
        ComparisonInput in{&runner.Format(),
                           &input,
                           &runner.Reconstruction(),
                           &runner.MacroblockBits(),
                           runner.MacroblockColumnCount(),
                           int32_t(r.index),
                           r.bytes,
                           differenceGain};
        in.model = model;
        in.caption = caption;
        std::vector<double> map;
        if (ssimMap) {
            const Y4mFormat& f = runner.Format();
            map = MacroblockSsimMap(input.y.data(), f.width, runner.Reconstruction().y.data(), f.width, f.width,
                                    f.height);
            in.ssimMap = &map;
        }
        Canvas canvas = DrawComparison(in);
        return std::move(canvas.Image());
    };
}

std::string RunCaption(const CodingSettings& s, const std::string& matrix) {
    std::string text = "scale code " + std::to_string(s.scaleCode) + " (qscale " +
                       std::to_string(QuantiserScale(s.scaleCode, s.nonLinearScale)) + "), " +
                       (s.nonLinearScale ? "non-linear" : "linear") + " mapping, matrix " + matrix + ", model " +
                       DescribeModel(s.model);
    if (s.alternateScan) text += ", alternate scan";
    if (s.interlacedDct) text += ", field DCT";
    return text;
}

}  // namespace vardelk
