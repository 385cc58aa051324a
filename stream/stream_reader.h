// Reading streams back: a strict parser of intra-only streams, the writer's
// and other encoders', which returns every syntax element and every block's
// levels for checking, and a lenient scan of any MPEG-1 or MPEG-2 video file
// for the intra matrix its first sequence header loads.
//
// Both accept any bytes: they never read outside the data, and anything they
// cannot follow raises StreamError naming the element and its byte offset.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/types.h"

namespace vardelk {

struct StreamSequenceHeader {
    int32_t width = 0;  // with the extension's high bits when one follows
    int32_t height = 0;
    int32_t aspectRatio = 0;
    int32_t frameRateCode = 0;
    uint32_t bitRateUnits = 0;
    uint32_t vbvBufferUnits = 0;
    bool loadsIntraMatrix = false;
    std::array<int32_t, kMatrixEntries> intraMatrix{};  // natural order; the default when not loaded
    // From the sequence extension.
    int32_t profileAndLevel = 0;
    bool progressiveSequence = false;
    int32_t chromaFormat = 0;
    bool lowDelay = false;
    int32_t frameRateExtensionN = 0;
    int32_t frameRateExtensionD = 0;
};

struct StreamPicture {
    int32_t temporalReference = 0;
    int32_t codingType = 0;
    int32_t timeCodeSeconds = 0;  // from the group header before the picture
    int32_t timeCodePictures = 0;
    // From the picture coding extension.
    int32_t intraDcPrecision = 0;
    int32_t pictureStructure = 0;
    bool topFieldFirst = false;
    bool framePredFrameDct = false;
    int32_t qScaleType = 0;
    int32_t intraVlcFormat = 0;
    bool alternateScan = false;
    bool progressiveFrame = false;
    bool chroma420Type = false;
    // The intra matrix the picture is coded with (natural order): its
    // sequence header's, or what a quant matrix extension loaded since.
    std::array<int32_t, kMatrixEntries> intraMatrix{};
    // The picture's macroblocks, row-major: levels as the stream holds them
    // (natural order; the DC level as coded, 0..2^(8 + intraDcPrecision) - 1
    // for luma and chroma alike), the scale code each was coded with (the
    // slice's, or its own) and whether it used field DCT.
    int32_t macroblockColumns = 0;
    int32_t macroblockRows = 0;
    std::vector<int32_t> levels;  // kMacroblockValues per macroblock
    std::vector<int32_t> scaleCodes;
    std::vector<uint8_t> fieldDct;
    int64_t byteOffset = 0;  // of the picture start code
    int64_t bytes = 0;       // from the sequence or group header before it to the next picture's
};

struct ParsedStream {
    StreamSequenceHeader sequence;  // the first; later ones must match it
    std::vector<StreamPicture> pictures;
    bool ended = false;  // a sequence end code closed the stream
};

// Parses a whole stream of 4:2:0 intra frame pictures: either AC table, any
// DC precision, slices that start anywhere in a row and may set their own
// scale codes, macroblocks that change the scale code; user data and
// display, copyright and quant matrix extensions are accepted. Every
// macroblock of a picture must be coded exactly once.
ParsedStream ParseIntraStream(const uint8_t* data, size_t size);

// The intra matrix (natural order) of the first sequence header in the data
// that loads one, or the default intra matrix when the sequence headers
// load none. Throws StreamError when the data holds no sequence header.
std::array<int32_t, kMatrixEntries> ReadIntraMatrix(const uint8_t* data, size_t size);
// The same from a file of any size, read piece by piece; errors name the path.
std::array<int32_t, kMatrixEntries> ReadIntraMatrixFromStream(const std::string& path);

}  // namespace vardelk
