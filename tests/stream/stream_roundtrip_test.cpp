// Streams written from the coder's levels and read back: every syntax
// element and level as written, the matrix, what the stream cannot carry,
// and the accounting of the estimate against the stream's bytes.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <string>

#include "codec/bit_cost.h"
#include "codec/coding_model.h"
#include "media/rgb_convert.h"
#include "pictures/png_file.h"
#include "stream/bit_writer.h"
#include "stream/stream_error.h"
#include "stream/stream_headers.h"
#include "stream/stream_reader.h"
#include "testing/coded_streams.h"

namespace vardelk {
namespace {

using testing::StreamedFrame;

struct Clip {
    Y4mFormat format;
    CodingSettings settings;
    std::vector<int32_t> matrix = std::vector<int32_t>(kDefaultIntraMatrix, kDefaultIntraMatrix + kMatrixEntries);
    std::vector<StreamedFrame> frames;
    std::vector<uint8_t> stream;
    FrameAccounting end;
};

void Code(Clip& clip, const std::vector<Y4mFrame>& frames) {
    StreamFormat format{clip.format.width, clip.format.height, clip.format.rateNum, clip.format.rateDen,
                        clip.format.interlace};
    StreamWriter writer(format, clip.settings, clip.matrix.data());
    FrameCoder coder;
    for (const Y4mFrame& frame : frames) {
        clip.frames.push_back(
            testing::CodeIntoStream(coder, writer, clip.settings, clip.matrix.data(), clip.format, frame, clip.stream));
    }
    clip.end = writer.FinishStream(clip.stream);
}

Y4mFormat Format(int32_t width, int32_t height, char interlace = 'p', ChromaFormat chroma = ChromaFormat::k420) {
    Y4mFormat format;
    format.width = width;
    format.height = height;
    format.interlace = interlace;
    format.chroma = chroma;
    return format;
}

// Levels as the stream must hold them: the filter's chroma DC offset by
// 1024, every other model's DC as the coder gave it, and
// nothing clipped for ordinary pictures.
void ExpectLevelsRead(const Clip& clip, const StreamPicture& picture, const StreamedFrame& frame) {
    const int32_t columns = MacroblockColumns(clip.format.width);
    const int32_t rows = MacroblockRows(clip.format.height);
    for (int32_t m = 0; m < columns * rows; ++m) {
        for (int32_t i = 0; i < kMacroblockValues; ++i) {
            const size_t at = static_cast<size_t>(m) * kMacroblockValues + static_cast<size_t>(i);
            const bool chromaDc = i % kBlockValues == 0 && i >= kCbBlock * kBlockValues;
            const int32_t offset = chromaDc && clip.settings.model.CarriesFilterDc() ? kChromaDcOffset : 0;
            ASSERT_EQ(picture.levels[at], frame.levels[at] + offset) << "macroblock " << m << " value " << i;
        }
        EXPECT_EQ(picture.fieldDct[static_cast<size_t>(m)], clip.settings.interlacedDct ? 1 : 0);
        EXPECT_EQ(picture.scaleCodes[static_cast<size_t>(m)], clip.settings.scaleCode);
    }
    // Rows below the picture (interlaced heights) hold mid grey and nothing else.
    for (size_t at = static_cast<size_t>(columns) * rows * kMacroblockValues; at < picture.levels.size(); ++at) {
        ASSERT_EQ(picture.levels[at], at % kBlockValues == 0 ? 1 << (clip.settings.model.dcPrecision - 1) : 0);
    }
}

TEST(StreamRoundTrip, EverySettingReadsBackExactly) {
    for (int32_t combination = 0; combination < 8; ++combination) {
        for (char interlace : {'p', 't', 'b'}) {
            Clip clip;
            clip.format = Format(interlace == 'p' ? 33 : 50, interlace == 'p' ? 17 : 35, interlace);
            clip.settings.nonLinearScale = combination & 1;
            clip.settings.alternateScan = (combination >> 1) & 1;
            clip.settings.interlacedDct = (combination >> 2) & 1;
            clip.settings.scaleCode = 3 + combination;
            // Every preset model, each with both AC tables over the field orders.
            clip.settings.model = PresetModel(static_cast<EncoderPreset>(combination % kEncoderPresets));
            clip.settings.model.intraVlcFormat = ((combination >> 2) ^ (interlace == 't' ? 1 : 0)) & 1;
            clip.matrix[0] = 99;  // unused by the coder, written as 8
            clip.matrix[63] = 255;
            Code(clip, {testing::MakeTestFrame(clip.format, 1), testing::MakeTestFrame(clip.format, 2)});
            SCOPED_TRACE("combination " + std::to_string(combination) + " interlace " + interlace + " model " +
                         DescribeModel(clip.settings.model));

            const ParsedStream parsed = ParseIntraStream(clip.stream.data(), clip.stream.size());
            EXPECT_TRUE(parsed.ended);
            EXPECT_EQ(parsed.sequence.width, clip.format.width);
            EXPECT_EQ(parsed.sequence.height, clip.format.height);
            EXPECT_EQ(parsed.sequence.chromaFormat, 1);
            EXPECT_EQ(parsed.sequence.intraMatrix[0], 8);
            for (int32_t i = 1; i < kMatrixEntries; ++i) {
                EXPECT_EQ(parsed.sequence.intraMatrix[static_cast<size_t>(i)], clip.matrix[static_cast<size_t>(i)]);
            }
            const bool progressive = interlace == 'p' && !clip.settings.interlacedDct;
            EXPECT_EQ(parsed.sequence.progressiveSequence, progressive);
            ASSERT_EQ(parsed.pictures.size(), 2u);
            int64_t total = clip.end.streamBytes;
            for (size_t f = 0; f < 2; ++f) {
                const StreamPicture& picture = parsed.pictures[f];
                EXPECT_EQ(picture.intraDcPrecision, clip.settings.model.dcPrecision - 8);
                EXPECT_EQ(picture.intraVlcFormat, clip.settings.model.intraVlcFormat);
                EXPECT_EQ(picture.qScaleType, clip.settings.nonLinearScale);
                EXPECT_EQ(picture.alternateScan, clip.settings.alternateScan != 0);
                EXPECT_EQ(picture.framePredFrameDct, clip.settings.interlacedDct == 0);
                EXPECT_EQ(picture.progressiveFrame, progressive);
                EXPECT_EQ(picture.topFieldFirst, !progressive && interlace != 'b');
                EXPECT_EQ(picture.timeCodePictures, static_cast<int32_t>(f));
                EXPECT_EQ(picture.bytes, clip.frames[f].accounting.streamBytes + (f == 1 ? 4 : 0));
                ExpectLevelsRead(clip, picture, clip.frames[f]);
                EXPECT_EQ(clip.frames[f].accounting.clippedLevels, 0);
                total += clip.frames[f].accounting.streamBytes;
            }
            EXPECT_EQ(total, static_cast<int64_t>(clip.stream.size()));
        }
    }
}

TEST(StreamRoundTrip, WhatTheStreamCannotCarry) {
    CodingSettings settings;
    std::vector<int32_t> matrix(kDefaultIntraMatrix, kDefaultIntraMatrix + kMatrixEntries);
    matrix[0] = 4000;  // the DC weight is not used and does not count
    matrix[13] = 256;
    try {
        StreamWriter writer(StreamFormat{16, 16}, settings, matrix.data());
        FAIL() << "a matrix entry of 256 was accepted";
    } catch (const StreamError& error) {
        EXPECT_NE(std::string(error.what()).find("256 at row 2, column 6"), std::string::npos) << error.what();
    }
    matrix[13] = 255;
    EXPECT_NO_THROW(StreamWriter(StreamFormat{16, 16}, settings, matrix.data()));
    EXPECT_THROW(StreamWriter(StreamFormat{16, 2801}, settings, matrix.data()), StreamError);
    EXPECT_THROW(StreamWriter(StreamFormat{0, 16}, settings, matrix.data()), StreamError);

    // Weights of 1 at the finest scale give AC levels far beyond 2047: the
    // stream holds them clipped, counted, and the bytes still add up.
    Clip clip;
    clip.format = Format(32, 16);
    clip.settings.nonLinearScale = 1;
    clip.matrix.assign(kMatrixEntries, 1);
    Y4mFrame frame = testing::MakeTestFrame(clip.format, 3);
    for (size_t i = 0; i < frame.y.size(); ++i) {
        frame.y[i] = (i / 3) % 2 ? 255 : 0;  // hard stripes: large AC coefficients
    }
    Code(clip, {frame});
    const FrameAccounting& account = clip.frames[0].accounting;
    EXPECT_GT(account.clippedLevels, 0);
    EXPECT_EQ(account.TermBits(), 8 * (account.streamBytes - account.estimatedBytes));
    const ParsedStream parsed = ParseIntraStream(clip.stream.data(), clip.stream.size());
    int64_t clipped = 0;
    for (size_t i = 0; i < parsed.pictures[0].levels.size(); ++i) {
        const int32_t level = clip.frames[0].levels[i];
        const int32_t read = parsed.pictures[0].levels[i];
        if (i % kBlockValues != 0) {
            EXPECT_EQ(read, std::clamp(level, -2047, 2047));
            clipped += read != level;
        }
    }
    EXPECT_EQ(clipped, account.clippedLevels);
}

// The terms that explain estimate against stream, recounted from the levels
// the coder produced.
void ExpectAccountingAddsUp(const Clip& clip) {
    const int32_t columns = MacroblockColumns(clip.format.width);
    const int32_t rows = MacroblockRows(clip.format.height);
    const int32_t* scan = clip.settings.alternateScan ? AlternateScan : ZigzagScan;
    int64_t sum = clip.end.streamBytes;
    for (const StreamedFrame& frame : clip.frames) {
        const FrameAccounting& a = frame.accounting;
        EXPECT_EQ(a.estimatedBytes, frame.estimatedBytes);
        EXPECT_EQ(8 * (a.streamBytes - a.estimatedBytes), a.TermBits());
        EXPECT_EQ(a.headerBits, 8 * (76 + 10 + 8 + 8 + 9));
        EXPECT_EQ(a.sliceHeaderBits, 38 * rows);
        EXPECT_EQ(a.macroblockBits, (clip.settings.interlacedDct ? 3 : 2) * columns * rows);
        int64_t endingBlocks = 0;
        for (size_t block = 0; block < frame.levels.size() / kBlockValues; ++block) {
            endingBlocks += frame.levels[block * kBlockValues + static_cast<size_t>(scan[63])] != 0;
        }
        EXPECT_EQ(a.endOfBlockBits, EndOfBlockBits(clip.settings.model.intraVlcFormat) * endingBlocks);
        EXPECT_EQ(a.clippingBits, 0);
        if (!clip.settings.model.CarriesFilterDc()) {
            EXPECT_EQ(a.dcResetBits, 0);
        }
        EXPECT_GE(a.alignmentBits, -7 * rows);
        EXPECT_LE(a.alignmentBits, 7 * rows);
        sum += a.streamBytes;
    }
    EXPECT_EQ(sum, static_cast<int64_t>(clip.stream.size()));
}

TEST(StreamAccounting, TermsAddUpOnAPhotoAndOnNoise) {
    const std::string photo = "/usr/share/libjxl-testdata/external/wesaturate/500px/u76c0g_bliznaca_srgb8.png";
    if (access(photo.c_str(), R_OK) != 0) {
        GTEST_SKIP() << photo << " is missing (package libjxl-testdata)";
    }
    const RgbImage image = ReadPng(photo);
    Y4mFrame photoFrame;
    RgbToFrame(image, photoFrame);
    for (int32_t preset = 0; preset < kEncoderPresets; ++preset) {
        for (int32_t scaleCode : {2, 12}) {
            Clip clip;
            clip.format = FormatForRgb(image.width, image.height);
            clip.settings.scaleCode = scaleCode;
            clip.settings.alternateScan = scaleCode > 2;
            clip.settings.model = PresetModel(static_cast<EncoderPreset>(preset));
            SCOPED_TRACE(DescribeModel(clip.settings.model));
            Code(clip, {photoFrame});
            ExpectAccountingAddsUp(clip);
        }
    }

    Clip noise;
    noise.format = Format(72, 40, 't');
    noise.settings.interlacedDct = 1;
    noise.settings.model = PresetModel(EncoderPreset::kFfmpeg);
    Y4mFrame frame = testing::MakeTestFrame(noise.format, 9);
    uint32_t state = 7;
    for (uint8_t* plane : {frame.y.data(), frame.cb.data(), frame.cr.data()}) {
        const size_t count = plane == frame.y.data() ? frame.y.size() : frame.cb.size();
        for (size_t i = 0; i < count; ++i) {
            state = state * 1103515245u + 12345u;
            plane[i] = static_cast<uint8_t>(state >> 23);
        }
    }
    Code(noise, {frame, frame});
    ExpectAccountingAddsUp(noise);
    EXPECT_GT(noise.frames[0].accounting.paddingRowBits, 0);  // 40 rows need 4 macroblock rows as field pairs
}

// What a stream spends beyond the blocks, as the search counts it: 47 bytes
// of headers before the slices (sequence header 12, its extension 10, group
// 8, picture header 8, coding extension 9), 64 more to load a matrix, 38
// bits a slice and 2 a macroblock (3 with field DCT). A sequence header
// that does not load its matrix reads back as the default.
TEST(StreamHeaders, OverheadBeyondTheBlocks) {
    const StreamOverhead frame = StreamOverheadOf(false);
    EXPECT_EQ(frame.pictureHeaderBits, 8 * 47);
    EXPECT_EQ(frame.loadedMatrixBits, 8 * 64);
    EXPECT_EQ(frame.sliceHeaderBits, 32 + 5 + 1);
    EXPECT_EQ(frame.macroblockHeaderBits, 2);
    EXPECT_EQ(StreamOverheadOf(true).macroblockHeaderBits, 3);

    const std::vector<int32_t> flat(kMatrixEntries, 40);
    StreamLayout layout = MakeStreamLayout(StreamFormat{16, 16}, CodingSettings{}, flat.data());
    for (bool load : {true, false}) {
        layout.loadIntraMatrix = load;
        BitWriter writer;
        WriteSequenceHeader(writer, layout);
        const auto read = ReadIntraMatrix(writer.Bytes().data(), writer.Bytes().size());
        EXPECT_EQ(read[9], load ? 40 : kDefaultIntraMatrix[9]);
    }
}

TEST(StreamReader, MatrixImportAndDamagedStreams) {
    Clip clip;
    clip.format = Format(24, 24);
    for (int32_t i = 0; i < kMatrixEntries; ++i) {
        clip.matrix[static_cast<size_t>(i)] = 10 + i * 3;
    }
    Code(clip, {testing::MakeTestFrame(clip.format, 4)});
    const auto matrix = ReadIntraMatrix(clip.stream.data(), clip.stream.size());
    EXPECT_EQ(matrix[0], 8);
    for (int32_t i = 1; i < kMatrixEntries; ++i) {
        EXPECT_EQ(matrix[static_cast<size_t>(i)], clip.matrix[static_cast<size_t>(i)]);
    }
    const std::string path = ::testing::TempDir() + "stream_reader_matrix.m2v";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    // Bytes in front of the stream move its header off any alignment the reader might assume.
    std::fwrite("junk", 1, 3, file);
    std::fwrite(clip.stream.data(), 1, clip.stream.size(), file);
    std::fclose(file);
    EXPECT_EQ(ReadIntraMatrixFromStream(path), matrix);
    std::remove(path.c_str());
    EXPECT_THROW(ReadIntraMatrixFromStream(path), StreamError);

    // A sequence header that loads no matrix gives the default; data with
    // no sequence header at all is refused, in memory and in a file.
    BitWriter header;
    header.PutStartCode(kSequenceHeaderCode);
    header.Put(16, 12);
    header.Put(16, 12);
    header.Put(0x13, 8);  // aspect ratio, frame rate
    header.Put(0, 18);
    header.Put(1, 1);       // marker
    header.Put(0, 10 + 3);  // buffer size, constrained parameters, no matrices
    std::vector<uint8_t> none = header.Bytes();
    const auto fallback = ReadIntraMatrix(none.data(), none.size());
    EXPECT_TRUE(std::equal(fallback.begin(), fallback.end(), kDefaultIntraMatrix));
    none.assign(4000, 0);
    uint32_t state = 11;
    for (uint8_t& byte : none) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    none[100] = 0xB7;  // other start codes do not count
    none[99] = 1;
    none[98] = none[97] = 0;
    EXPECT_THROW(ReadIntraMatrix(none.data(), none.size()), StreamError);
    file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(none.data(), 1, none.size(), file);
    std::fclose(file);
    try {
        ReadIntraMatrixFromStream(path);
        ADD_FAILURE() << "random bytes gave a matrix";
    } catch (const StreamError& error) {
        EXPECT_NE(std::string(error.what()).find(path + " holds no sequence header"), std::string::npos)
            << error.what();
    }
    std::remove(path.c_str());

    // Every truncation and a flipped bit in each byte either parses or is
    // refused with a StreamError: nothing else escapes.
    for (size_t length = 0; length < clip.stream.size(); ++length) {
        try {
            ParseIntraStream(clip.stream.data(), length);
        } catch (const StreamError&) {
        }
    }
    std::vector<uint8_t> damaged = clip.stream;
    int32_t refused = 0;
    for (size_t i = 0; i < damaged.size(); ++i) {
        damaged[i] ^= static_cast<uint8_t>(1u << (i % 8));
        try {
            ParseIntraStream(damaged.data(), damaged.size());
        } catch (const StreamError&) {
            ++refused;
        }
        damaged[i] = clip.stream[i];
    }
    EXPECT_GT(refused, 0);

    // Messages count rows and matrix entries from 1, as users do. The
    // sequence header's first matrix weight takes the last bit of its 12th
    // byte and 7 bits of the 13th; the second row's slice becomes a third's.
    const auto messageOf = [](const std::vector<uint8_t>& bytes) {
        try {
            ParseIntraStream(bytes.data(), bytes.size());
        } catch (const StreamError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    ASSERT_EQ(clip.stream[3], kSequenceHeaderCode);
    damaged = clip.stream;
    damaged[11] &= 0xFE;
    damaged[12] &= 0x01;
    EXPECT_NE(messageOf(damaged).find("intra matrix entry 1 (zigzag order) is 0"), std::string::npos)
        << messageOf(damaged);
    damaged = clip.stream;
    const uint8_t secondSlice[] = {0, 0, 1, kFirstSliceStartCode + 1};
    const auto slice = std::search(damaged.begin(), damaged.end(), secondSlice, secondSlice + 4);
    ASSERT_NE(slice, damaged.end());
    slice[3] = kFirstSliceStartCode + 2;
    EXPECT_NE(messageOf(damaged).find("slice of row 3 in a picture of 2 macroblock rows"), std::string::npos)
        << messageOf(damaged);
}

}  // namespace
}  // namespace vardelk
