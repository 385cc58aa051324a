#include "sweep/sweep_curves.h"

#include <cmath>
#include <string>

namespace vardelk {
namespace {

double PlotQuality(RdMetric metric, const FrameError& error, const FrameSsim& ssim, double ssimulacra2,
                   const ButteraugliDistance& butteraugli) {
    if (metric == RdMetric::kSsimulacra2) return ssimulacra2;
    if (metric == RdMetric::kButteraugli) return -std::log(butteraugli.norm3);
    return metric == RdMetric::kSsim ? ssim.all.Ssim() : error.y.Psnr();
}

}  // namespace

std::vector<RdCurve> SweepRdCurves(const SweepReport& report, RdMetric metric) {
    std::vector<RdCurve> predicted, measured;
    for (const SweepRow& r : report.rows) {
        const std::string label = CurveLabel(r);
        if (predicted.empty() || predicted.back().label != label) {
            const int32_t colour = int32_t(predicted.size());
            predicted.push_back(RdCurve{label, {}, false, colour});
            measured.push_back(RdCurve{label + " (" + report.confirmedBy + ")", {}, true, colour});
        }
        predicted.back().points.push_back(
            RdPoint{r.meanBytes, PlotQuality(metric, r.error, r.ssim, r.ssimulacra2, r.butteraugli), r.scaleCode});
        const MeasuredPoint& m = r.measured;
        if (m.measured)
            measured.back().points.push_back(
                RdPoint{m.meanBytes, PlotQuality(metric, m.error, m.ssim, m.ssimulacra2, m.butteraugli), r.scaleCode});
    }
    if (report.confirmedBy.empty()) return predicted;
    std::vector<RdCurve> curves;
    for (size_t i = 0; i < predicted.size(); ++i) {
        curves.push_back(predicted[i]);
        curves.push_back(measured[i]);
    }
    return curves;
}

}  // namespace vardelk
