#include "clip_runner.h"

#include "media/yc_convert.h"

namespace vardelk {

ClipRunner::ClipRunner(const Y4mFormat& format, const FilterSettings& settings, const int32_t* matrix,
                       const std::string& logDir)
    : format_(format), settings_(settings), matrix_(matrix) {
    settings_.logOutput = logDir.empty() ? 0 : 1;
    if (!logDir.empty()) {
        coefficientLog_ = logDir + "/dct.txt";
        levelLog_ = logDir + "/qdct.txt";
        logNames_.coefficients = coefficientLog_.c_str();
        logNames_.levels = levelLog_.c_str();
    }
    const size_t pixels = size_t(format.width) * size_t(format.height);
    bufferA_.resize(pixels);
    bufferB_.resize(pixels);
    frame_.editFrame = bufferA_.data();
    frame_.tempFrame = bufferB_.data();
    frame_.width = format.width;
    frame_.height = format.height;
    frame_.maxWidth = format.width;
    frame_.maxHeight = format.height;
    macroblockBits_.resize(size_t(MacroblockColumns(format.width)) * size_t(MacroblockRows(format.height)));
    reconstruction_.Allocate(format);
}

FrameResult ClipRunner::Process(const Y4mFrame& input) {
    // The pipeline exchanges the two frame pointers on every call, so the
    // input always goes to whichever buffer is the edit frame now.
    Y4mToYc(format_, input, frame_.editFrame, format_.width);
    FrameResult result;
    result.index = processed_++;
    result.bytes = SimulateFrame(settings_, matrix_, frame_, logNames_, macroblockBits_.data());
    YcToY4m(format_, frame_.editFrame, format_.width, reconstruction_);
    result.error = CompareFrames(input, reconstruction_);
    return result;
}

}  // namespace vardelk
