#include "stream/stream_output.h"

#include <algorithm>
#include <cctype>

#include "media/output_file.h"
#include "stream/stream_error.h"

namespace vardelk {
namespace {

StreamWriter MakeWriter(const std::string& path, const Y4mFormat& format, const CodingSettings& settings,
                        const int32_t matrix[kMatrixEntries]) {
    try {
        return StreamWriter(StreamFormat{format.width, format.height, format.rateNum, format.rateDen, format.interlace},
                            settings, matrix);
    } catch (const StreamError& error) {
        throw StreamError(path + ": " + error.what());
    }
}

}  // namespace

bool IsStreamPath(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "m2v" || extension == "mpv";
}

StreamOutput::StreamOutput(const std::string& path, const Y4mFormat& format, const CodingSettings& settings,
                           const int32_t matrix[kMatrixEntries])
    : path_(path), writer_(MakeWriter(path, format, settings, matrix)), file_(std::make_unique<OutputFile>(path)) {}

StreamOutput::~StreamOutput() = default;

CoefficientSink* StreamOutput::Sink() { return &writer_; }

void StreamOutput::Write(const std::vector<uint8_t>& bytes) {
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_->Stream()) != bytes.size()) {
        throw StreamError(path_ + ": cannot write the stream");
    }
    bytesWritten_ += static_cast<int64_t>(bytes.size());
}

FrameAccounting StreamOutput::WriteFrame(int32_t estimatedBytes) {
    std::vector<uint8_t> bytes;
    FrameAccounting row;
    try {
        row = writer_.FinishFrame(estimatedBytes, bytes);
    } catch (const StreamError& error) {
        throw StreamError(path_ + ": " + error.what());
    }
    Write(bytes);
    clippedLevels_ += row.clippedLevels;
    return row;
}

FrameAccounting StreamOutput::Finish() {
    const FrameAccounting row = WriteEnd();
    Commit();
    return row;
}

FrameAccounting StreamOutput::WriteEnd() {
    std::vector<uint8_t> bytes;
    const FrameAccounting row = writer_.FinishStream(bytes);
    Write(bytes);
    return row;
}

void StreamOutput::Commit() { file_->Commit(); }

const std::vector<std::string>& StreamStatsColumns() {
    static const std::vector<std::string> columns = {"stream_bytes",      "stream_minus_estimate", "header_bits",
                                                     "slice_header_bits", "macroblock_bits",       "end_of_block_bits",
                                                     "dc_reset_bits",     "padding_row_bits",      "clipping_bits",
                                                     "alignment_bits",    "clipped_levels"};
    return columns;
}

std::vector<int64_t> StreamStatsValues(const FrameAccounting& row) {
    return {row.streamBytes,    row.streamBytes - row.estimatedBytes,
            row.headerBits,     row.sliceHeaderBits,
            row.macroblockBits, row.endOfBlockBits,
            row.dcResetBits,    row.paddingRowBits,
            row.clippingBits,   row.alignmentBits,
            row.clippedLevels};
}

}  // namespace vardelk
