// The headers of an intra-only video elementary stream: what they say about
// the pictures (size, rate, scan, field order) decided once per stream, and
// the writers of the sequence header and extension, the group-of-pictures
// header, the picture header and the picture coding extension. Every header
// begins with its start code and ends byte-aligned.
#pragma once

#include <cstdint>

#include "codec/coding_model.h"
#include "codec/macroblock_pipeline.h"
#include "codec/types.h"
#include "stream/bit_writer.h"

namespace vardelk {

constexpr uint8_t kPictureStartCode = 0x00;
constexpr uint8_t kFirstSliceStartCode = 0x01;
constexpr uint8_t kLastSliceStartCode = 0xAF;
constexpr uint8_t kUserDataStartCode = 0xB2;
constexpr uint8_t kSequenceHeaderCode = 0xB3;
constexpr uint8_t kExtensionStartCode = 0xB5;
constexpr uint8_t kSequenceEndCode = 0xB7;
constexpr uint8_t kGroupStartCode = 0xB8;
constexpr uint8_t kSequenceExtensionId = 1;
constexpr uint8_t kQuantMatrixExtensionId = 3;
constexpr uint8_t kSequenceScalableExtensionId = 5;
constexpr uint8_t kPictureCodingExtensionId = 8;
constexpr uint8_t kPictureSpatialScalableExtensionId = 9;
constexpr uint8_t kPictureTemporalScalableExtensionId = 10;
constexpr int32_t kStreamMatrixDcEntry = 8;
constexpr int32_t kMaxStreamWidth = 16383;  // 12-bit size plus 2-bit extension
constexpr int32_t kMaxStreamHeight = 2800;  // taller pictures need slice position extensions

// The pictures as the source describes them.
struct StreamFormat {
    int32_t width = 0;
    int32_t height = 0;
    int32_t rateNum = 25;  // frames per second = rateNum / rateDen
    int32_t rateDen = 1;
    char interlace = 'p';  // as a Y4M header states it: p, t, b, m or ?
};

// Everything the headers carry, decided from the format and the settings.
struct StreamLayout {
    int32_t width = 0;
    int32_t height = 0;
    int32_t macroblockColumns = 0;
    int32_t simulatedRows = 0;  // macroblock rows the frame coder codes
    int32_t codedRows = 0;      // macroblock rows the stream holds (even when frames are not progressive)
    bool progressiveSequence = true;
    bool progressiveFrame = true;
    bool topFieldFirst = false;
    bool fieldDct = false;
    bool alternateScan = false;
    int32_t qScaleType = 0;
    int32_t scaleCode = 1;
    // The coding model, its fields in range: the AC table and DC precision
    // the picture coding extension states, and how the coder's DC levels
    // become the stream's.
    CodingModel model;
    int32_t frameRateCode = 3;
    int32_t frameRateExtensionN = 0;
    int32_t frameRateExtensionD = 0;
    int32_t timeCodeRate = 25;  // whole pictures per second in the time codes
    // The main profile at the smallest level that fits for an 8- to 10-bit
    // DC; the high profile, which allows 11 bits, otherwise.
    uint8_t profileAndLevel = 0x18;
    uint32_t bitRateUnits = 0;                  // 400 bit/s units
    uint32_t vbvBufferUnits = 0;                // 16384-bit units
    uint8_t matrixZigzag[kMatrixEntries] = {};  // the intra matrix as the sequence header loads it
    // Whether the sequence header loads it. Every stream written here does;
    // without the load a decoder takes the default matrix.
    bool loadIntraMatrix = true;
};

// Decides the layout. Throws StreamError for a size the stream cannot
// describe or a matrix entry (other than the unused DC weight) above
// kMaxStreamMatrixEntry.
StreamLayout MakeStreamLayout(const StreamFormat& format, const CodingSettings& settings,
                              const int32_t matrix[kMatrixEntries]);

// The macroblock rows a stream holds for a picture of this height. Without a
// progressive sequence the height counts in pairs of macroblock rows (whole
// fields of macroblocks).
int32_t CodedMacroblockRows(int32_t height, bool progressiveSequence);

// Throws StreamError naming the first AC entry of the matrix (natural order)
// that an 8-bit header field cannot hold.
void CheckMatrixFitsStream(const int32_t matrix[kMatrixEntries]);

// The value intra_dc_precision takes, 0..3.
int32_t IntraDcPrecisionField(const StreamLayout& layout);
// The DC level every predictor starts a slice with, 2^(precision - 1).
int32_t StreamDcReset(const StreamLayout& layout);

void WriteSequenceHeader(BitWriter& writer, const StreamLayout& layout);
void WriteSequenceExtension(BitWriter& writer, const StreamLayout& layout);
void WriteGroupHeader(BitWriter& writer, const StreamLayout& layout, int64_t frameIndex);
void WritePictureHeader(BitWriter& writer);
void WritePictureCodingExtension(BitWriter& writer, const StreamLayout& layout);
// A slice of one macroblock row: start code, scale code and extra bit.
// Returns the bits written.
int64_t WriteSliceHeader(BitWriter& writer, const StreamLayout& layout, int32_t row);
// An intra macroblock's header: address increment 1, type intra without a
// scale code, and dct_type when frames use field DCT. Returns the bits.
int32_t WriteMacroblockHeader(BitWriter& writer, const StreamLayout& layout);

// What a stream of intra pictures spends beyond the blocks' codes, in bits,
// as the writers above write it.
struct StreamOverhead {
    // The headers of a picture that starts its own sequence: sequence
    // header without a loaded matrix and its extension, group, picture
    // header and picture coding extension.
    int64_t pictureHeaderBits = 0;
    int64_t loadedMatrixBits = 0;  // what loading an intra matrix adds to the sequence header
    int64_t sliceHeaderBits = 0;   // per macroblock row
    int64_t macroblockHeaderBits = 0;
};
// For frame or field DCT (the macroblock header names the field DCT).
StreamOverhead StreamOverheadOf(bool fieldDct);

}  // namespace vardelk
