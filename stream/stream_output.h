// A video stream file written while a clip is coded: owns the .m2v file,
// collects each frame's levels through a sink while the frame is coded,
// writes the frame's pictures and returns its accounting row (estimated
// bytes, stream bytes and the terms between them) for the statistics table,
// CSV and JSON.
//
// The file appears only when complete: it is written under a temporary name
// and renamed by Finish(); an output never finished leaves nothing behind.
//
// Per clip:
//   StreamOutput stream(path, format, settings, matrix);    // refuses before any work
//   per frame: outputs.sink = stream.Sink();
//              bytes = coder.CodeFrame(settings, matrix, in, out, geometry, outputs);
//              FrameAccounting row = stream.WriteFrame(bytes);
//   at the end: FrameAccounting end = stream.Finish();       // the end code's 4 bytes
// A clip's stream bytes = the rows' streamBytes plus end.streamBytes = the file's size.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "codec/frame_coder.h"
#include "media/y4m.h"
#include "stream/stream_writer.h"

namespace vardelk {

class OutputFile;

// True for the extensions that select the stream format (.m2v, .mpv, .m2v
// in any case).
bool IsStreamPath(const std::string& path);

class StreamOutput {
public:
    // Throws StreamError naming the path and the reason when the matrix (an AC
    // entry above 255), the picture size or the file cannot be used; nothing
    // is created in the first two cases.
    StreamOutput(const std::string& path, const Y4mFormat& format, const CodingSettings& settings,
                 const int32_t matrix[kMatrixEntries]);
    ~StreamOutput();
    StreamOutput(const StreamOutput&) = delete;
    StreamOutput& operator=(const StreamOutput&) = delete;

    // The sink to hand to FrameCoder::CodeFrame for every frame.
    CoefficientSink* Sink();
    // Writes the frame just coded; estimatedBytes is CodeFrame's result.
    FrameAccounting WriteFrame(int32_t estimatedBytes);
    // Writes the end code and commits the file.
    FrameAccounting Finish();
    // The same in two steps, so that a command can write its other outputs
    // between them: the end code, then the file's commit.
    FrameAccounting WriteEnd();
    void Commit();

    // Levels clipped to what the stream can carry, over all frames so far:
    // the command warns when this is not 0 (the decoded picture then differs
    // from the simulation in those blocks).
    int64_t ClippedLevels() const { return clippedLevels_; }
    int64_t BytesWritten() const { return bytesWritten_; }

private:
    void Write(const std::vector<uint8_t>& bytes);

    std::string path_;
    StreamWriter writer_;
    std::unique_ptr<OutputFile> file_;
    int64_t clippedLevels_ = 0;
    int64_t bytesWritten_ = 0;
};

// The statistics columns for the stream, in order, and one row's values.
// The difference column is stream - estimated bytes; the bit terms after it
// add up to 8 x that difference.
const std::vector<std::string>& StreamStatsColumns();
std::vector<int64_t> StreamStatsValues(const FrameAccounting& row);

}  // namespace vardelk
