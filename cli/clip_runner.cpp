#include "clip_runner.h"

#include "media/coefficient_log_files.h"
#include "media/yc_convert.h"

namespace vardelk {

ClipRunner::ClipRunner(const Y4mFormat& format, const FilterSettings& settings, const int32_t* matrix,
                       const std::string& logDir)
    : format_(format), settings_(settings), matrix_(matrix), logDir_(logDir) {
    settings_.logOutput = logDir.empty() ? 0 : 1;
    const size_t pixels = size_t(format.width) * size_t(format.height);
    input_.resize(pixels);
    output_.resize(pixels);
    macroblockBits_.resize(size_t(MacroblockColumns(format.width)) * size_t(MacroblockRows(format.height)));
    reconstruction_.Allocate(format);
}

FrameResult ClipRunner::Process(const Y4mFrame& input) {
    Y4mToYc(format_, input, input_.data(), format_.width);
    FrameResult result;
    result.index = processed_++;
    const FrameGeometry geometry{format_.width, format_.height, format_.width, format_.height};
    FrameOutputs outputs;
    outputs.macroblockBits = macroblockBits_.data();
    if (logDir_.empty()) {
        result.bytes = coder_.CodeFrame(settings_, matrix_, input_.data(), output_.data(), geometry, outputs);
    } else {
        CoefficientLogFiles logs(logDir_ + "/dct.txt", logDir_ + "/qdct.txt");
        outputs.sink = &logs;
        result.bytes = coder_.CodeFrame(settings_, matrix_, input_.data(), output_.data(), geometry, outputs);
    }
    YcToY4m(format_, output_.data(), format_.width, reconstruction_);
    result.error = CompareFrames(input, reconstruction_);
    return result;
}

}  // namespace vardelk
