#include "stream/stream_reader.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <memory>

#include "codec/bit_cost.h"
#include "codec/frame_coder.h"
#include "codec/vlc_tables.h"
#include "stream/stream_error.h"
#include "stream/stream_headers.h"

namespace vardelk {
namespace {

// Bit-level reading with every access checked against the end of the data.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint64_t BitPosition() const { return position_; }

    // The next `bits` (0..32) bits without consuming them; bits past the end read as 0.
    uint32_t Peek(int32_t bits) const {
        uint32_t value = 0;
        for (int32_t i = 0; i < bits; ++i) {
            const uint64_t at = position_ + static_cast<uint64_t>(i);
            const uint32_t bit = at < uint64_t{size_} * 8 ? (data_[at / 8] >> (7 - at % 8)) & 1u : 0u;
            value = (value << 1) | bit;
        }
        return value;
    }
    uint32_t Read(int32_t bits, const char* what) {
        if (position_ + static_cast<uint64_t>(bits) > uint64_t{size_} * 8) {
            Fail(std::string("the stream ends inside ") + what);
        }
        const uint32_t value = Peek(bits);
        position_ += static_cast<uint64_t>(bits);
        return value;
    }
    void Skip(int32_t bits, const char* what) { Read(bits, what); }
    void Marker(const char* what) {
        if (Read(1, what) != 1) {
            Fail(std::string("missing marker bit in ") + what);
        }
    }
    void Align() { position_ = (position_ + 7) / 8 * 8; }

    // Moves to the next start code at or after the current byte; returns its
    // code byte, or -1 at the end of the data. With `zerosOnly`, anything but
    // zero stuffing before it is an error.
    int32_t NextStartCode(bool zerosOnly) {
        Align();
        size_t at = static_cast<size_t>(position_ / 8);
        while (at + 3 < size_ + 0 && !(data_[at] == 0 && data_[at + 1] == 0 && data_[at + 2] == 1)) {
            if (zerosOnly && data_[at] != 0) {
                position_ = uint64_t{at} * 8;
                Fail("unexpected data before the next start code");
            }
            ++at;
        }
        if (at + 3 >= size_) {
            if (zerosOnly) {
                for (size_t i = at; i < size_; ++i) {
                    if (data_[i] != 0) {
                        position_ = uint64_t{i} * 8;
                        Fail("unexpected data at the end of the stream");
                    }
                }
            }
            position_ = uint64_t{size_} * 8;
            return -1;
        }
        position_ = (uint64_t{at} + 4) * 8;
        return data_[at + 3];
    }

    [[noreturn]] void Fail(const std::string& message) const {
        throw StreamError(message + " (byte " + std::to_string(position_ / 8) + ")");
    }

private:
    const uint8_t* data_;
    size_t size_;
    uint64_t position_ = 0;
};

std::array<int32_t, kMatrixEntries> DefaultMatrix() {
    std::array<int32_t, kMatrixEntries> matrix{};
    std::copy(kDefaultIntraMatrix, kDefaultIntraMatrix + kMatrixEntries, matrix.begin());
    return matrix;
}

// The 64 weights of a loaded intra matrix, in zigzag order, into `matrix`
// (natural order). A weight of 0 is refused.
void ReadIntraMatrixWeights(BitReader& reader, const char* what, std::array<int32_t, kMatrixEntries>& matrix) {
    for (int32_t p = 0; p < kMatrixEntries; ++p) {
        const int32_t weight = static_cast<int32_t>(reader.Read(8, what));
        if (weight == 0) {
            reader.Fail("intra matrix entry " + std::to_string(p + 1) + " (zigzag order) is 0");
        }
        matrix[static_cast<size_t>(ZigzagScan[p])] = weight;
    }
}

// The sequence header after its start code.
StreamSequenceHeader ReadSequenceHeader(BitReader& reader) {
    StreamSequenceHeader header;
    header.width = static_cast<int32_t>(reader.Read(12, "the sequence header"));
    header.height = static_cast<int32_t>(reader.Read(12, "the sequence header"));
    header.aspectRatio = static_cast<int32_t>(reader.Read(4, "the sequence header"));
    header.frameRateCode = static_cast<int32_t>(reader.Read(4, "the sequence header"));
    header.bitRateUnits = reader.Read(18, "the sequence header");
    reader.Marker("the sequence header");
    header.vbvBufferUnits = reader.Read(10, "the sequence header");
    reader.Skip(1, "the sequence header");  // constrained_parameters_flag
    header.intraMatrix = DefaultMatrix();
    header.loadsIntraMatrix = reader.Read(1, "the sequence header") != 0;
    if (header.loadsIntraMatrix) {
        ReadIntraMatrixWeights(reader, "the intra matrix", header.intraMatrix);
    }
    if (reader.Read(1, "the sequence header") != 0) {
        reader.Skip(64 * 8, "the non-intra matrix");
    }
    return header;
}

void ReadSequenceExtension(BitReader& reader, StreamSequenceHeader& header) {
    header.profileAndLevel = static_cast<int32_t>(reader.Read(8, "the sequence extension"));
    header.progressiveSequence = reader.Read(1, "the sequence extension") != 0;
    header.chromaFormat = static_cast<int32_t>(reader.Read(2, "the sequence extension"));
    header.width |= static_cast<int32_t>(reader.Read(2, "the sequence extension") << 12);
    header.height |= static_cast<int32_t>(reader.Read(2, "the sequence extension") << 12);
    header.bitRateUnits |= reader.Read(12, "the sequence extension") << 18;
    reader.Marker("the sequence extension");
    header.vbvBufferUnits |= reader.Read(8, "the sequence extension") << 10;
    header.lowDelay = reader.Read(1, "the sequence extension") != 0;
    header.frameRateExtensionN = static_cast<int32_t>(reader.Read(2, "the sequence extension"));
    header.frameRateExtensionD = static_cast<int32_t>(reader.Read(5, "the sequence extension"));
}

void ReadPictureCodingExtension(BitReader& reader, StreamPicture& picture) {
    reader.Skip(16, "the picture coding extension");  // f_codes
    picture.intraDcPrecision = static_cast<int32_t>(reader.Read(2, "the picture coding extension"));
    picture.pictureStructure = static_cast<int32_t>(reader.Read(2, "the picture coding extension"));
    picture.topFieldFirst = reader.Read(1, "the picture coding extension") != 0;
    picture.framePredFrameDct = reader.Read(1, "the picture coding extension") != 0;
    if (reader.Read(1, "the picture coding extension") != 0) {
        reader.Fail("concealment motion vectors are not supported");
    }
    picture.qScaleType = static_cast<int32_t>(reader.Read(1, "the picture coding extension"));
    picture.intraVlcFormat = static_cast<int32_t>(reader.Read(1, "the picture coding extension"));
    picture.alternateScan = reader.Read(1, "the picture coding extension") != 0;
    reader.Skip(1, "the picture coding extension");  // repeat_first_field
    picture.chroma420Type = reader.Read(1, "the picture coding extension") != 0;
    picture.progressiveFrame = reader.Read(1, "the picture coding extension") != 0;
    if (reader.Read(1, "the picture coding extension") != 0) {
        reader.Skip(20, "the composite display fields");
    }
    if (picture.pictureStructure != 3) {
        reader.Fail("field pictures are not supported");
    }
}

// The intra matrix of a quant matrix extension, when it loads one; the
// other matrices it may load are passed over.
void ReadQuantMatrixExtension(BitReader& reader, std::array<int32_t, kMatrixEntries>& intraMatrix) {
    if (reader.Read(1, "the quant matrix extension") == 0) {
        return;
    }
    ReadIntraMatrixWeights(reader, "the quant matrix extension", intraMatrix);
}

// macroblock_address_increment codes of the increments 1..33, and the
// escape that adds 33 to the increment that follows it.
struct IncrementCode {
    uint16_t code;
    uint8_t length;
    uint8_t increment;  // 0: the escape; 255: stuffing (old streams)
};
constexpr IncrementCode kIncrementCodes[35] = {
    {0x1, 1, 1},    {0x3, 3, 2},    {0x2, 3, 3},    {0x3, 4, 4},    {0x2, 4, 5},    {0x3, 5, 6},    {0x2, 5, 7},
    {0x7, 7, 8},    {0x6, 7, 9},    {0xB, 8, 10},   {0xA, 8, 11},   {0x9, 8, 12},   {0x8, 8, 13},   {0x7, 8, 14},
    {0x6, 8, 15},   {0x17, 10, 16}, {0x16, 10, 17}, {0x15, 10, 18}, {0x14, 10, 19}, {0x13, 10, 20}, {0x12, 10, 21},
    {0x23, 11, 22}, {0x22, 11, 23}, {0x21, 11, 24}, {0x20, 11, 25}, {0x1F, 11, 26}, {0x1E, 11, 27}, {0x1D, 11, 28},
    {0x1C, 11, 29}, {0x1B, 11, 30}, {0x1A, 11, 31}, {0x19, 11, 32}, {0x18, 11, 33}, {0x8, 11, 0},   {0xF, 11, 255},
};
constexpr int32_t kIncrementEscape = 33;

int32_t ReadAddressIncrement(BitReader& reader) {
    int32_t escaped = 0;
    for (;;) {
        const uint32_t next = reader.Peek(11);
        const IncrementCode* found = nullptr;
        for (const IncrementCode& code : kIncrementCodes) {
            if (next >> (11 - code.length) == code.code) {
                found = &code;
                break;
            }
        }
        if (found == nullptr) {
            reader.Fail("invalid macroblock address increment");
        }
        reader.Skip(found->length, "a macroblock address increment");
        if (found->increment == 255) {
            continue;
        }
        if (found->increment == 0) {
            // More escapes than a picture of 16383 samples can be wide are damage.
            escaped += kIncrementEscape;
            if (escaped > 1024) {
                reader.Fail("macroblock address increment beyond the widest picture");
            }
            continue;
        }
        return escaped + found->increment;
    }
}

// One block: DC size and differential against the predictor, then run/level
// codes and escapes up to the end-of-block code.
void ReadBlock(BitReader& reader, bool chroma, int32_t& predictor, const int32_t* scan, int32_t intraVlcFormat,
               int32_t* block) {
    const DcSizeSymbol size = DecodeDcSize(chroma, reader.Peek(16));
    if (size.length == 0) {
        reader.Fail("invalid DC size code");
    }
    reader.Skip(size.length, "a DC size code");
    int32_t difference = 0;
    if (size.size > 0) {
        const int32_t bits = static_cast<int32_t>(reader.Read(size.size, "a DC differential"));
        difference = bits >= (1 << (size.size - 1)) ? bits : bits - (1 << size.size) + 1;
    }
    predictor += difference;
    block[0] = predictor;
    int32_t position = 0;
    for (;;) {
        const AcSymbol& symbol = DecodeAc(intraVlcFormat, reader.Peek(16));
        if (symbol.kind == AcSymbol::kInvalid) {
            reader.Fail("invalid run/level code");
        }
        reader.Skip(symbol.length, "a run/level code");
        if (symbol.kind == AcSymbol::kEndOfBlock) {
            return;
        }
        int32_t run = symbol.run;
        int32_t level = symbol.magnitude;
        if (symbol.kind == AcSymbol::kEscape) {
            run = static_cast<int32_t>(reader.Read(kEscapeRunBits, "an escape"));
            const int32_t raw = static_cast<int32_t>(reader.Read(kEscapeLevelBits, "an escape"));
            level = raw >= 2048 ? raw - 4096 : raw;
            if (level == 0 || level == -2048) {
                reader.Fail("forbidden escape level " + std::to_string(level));
            }
        } else if (reader.Read(1, "a level's sign") != 0) {
            level = -level;
        }
        position += run + 1;
        if (position >= kBlockValues) {
            reader.Fail("a block runs past its 64th coefficient");
        }
        block[scan[position]] = level;
    }
}

// The macroblocks of one slice, which begins anywhere in its macroblock row
// and ends at the next start code, no later than the row's end. `next` is
// the picture's next uncoded macroblock: slices leave no macroblock out and
// code none twice.
void ReadSlice(BitReader& reader, StreamPicture& picture, int32_t row, int32_t& next) {
    int32_t scaleCode = static_cast<int32_t>(reader.Read(5, "a slice header"));
    if (scaleCode == 0) {
        reader.Fail("quantiser scale code 0 in a slice header");
    }
    if (reader.Read(1, "a slice header") != 0) {
        reader.Skip(1 + 7, "a slice header");  // intra_slice, reserved bits
        while (reader.Read(1, "a slice header") != 0) {
            reader.Skip(8, "extra slice information");
        }
    }
    const int32_t* scan = picture.alternateScan ? AlternateScan : ZigzagScan;
    const int32_t reset = 1 << (7 + picture.intraDcPrecision);
    int32_t predictors[3] = {reset, reset, reset};
    const int32_t columns = picture.macroblockColumns;
    // The first increment counts from just before the row's first macroblock.
    int32_t column = ReadAddressIncrement(reader) - 1;
    for (;;) {
        if (column >= columns) {
            reader.Fail("a slice runs past the end of macroblock row " + std::to_string(row + 1));
        }
        const int32_t index = row * columns + column;
        if (index != next) {
            reader.Fail(index < next ? "macroblock " + std::to_string(index) + " is coded twice"
                                     : "macroblocks " + std::to_string(next) + " to " + std::to_string(index - 1) +
                                           " are missing");
        }
        if (reader.Read(1, "a macroblock type") != 1) {
            if (reader.Read(1, "a macroblock type") != 1) {
                reader.Fail("a macroblock that is not intra in an intra picture");
            }
            scaleCode = static_cast<int32_t>(reader.Read(5, "a macroblock scale code"));
            if (scaleCode == 0) {
                reader.Fail("quantiser scale code 0 in a macroblock");
            }
        }
        const size_t at = static_cast<size_t>(index);
        if (!picture.framePredFrameDct) {
            picture.fieldDct[at] = static_cast<uint8_t>(reader.Read(1, "a DCT type"));
        }
        picture.scaleCodes[at] = scaleCode;
        int32_t* levels = picture.levels.data() + at * kMacroblockValues;
        for (int32_t b = 0; b < kBlocksPerMacroblock; ++b) {
            const int32_t kind = b < kCbBlock ? 0 : b - kCbBlock + 1;
            ReadBlock(reader, kind != 0, predictors[kind], scan, picture.intraVlcFormat, levels + b * kBlockValues);
        }
        ++next;
        // A slice ends where 23 zeros begin the next start code.
        if (reader.Peek(23) == 0) {
            return;
        }
        if (ReadAddressIncrement(reader) != 1) {
            reader.Fail("a skipped macroblock in an intra picture");
        }
        ++column;
    }
}

}  // namespace

ParsedStream ParseIntraStream(const uint8_t* data, size_t size) {
    BitReader reader(data, size);
    ParsedStream parsed;
    bool haveSequence = false;
    bool haveExtension = false;
    int32_t codedRows = 0;
    int32_t timeSeconds = 0;
    int32_t timePictures = 0;
    // The intra matrix in force: the last sequence header's, or what a quant
    // matrix extension loaded since.
    std::array<int32_t, kMatrixEntries> matrix{};
    // Where the headers in front of the coming picture begin: its sequence
    // header or group header, when it has one.
    int64_t unitStart = 0;
    bool unitOpen = false;
    StreamPicture* picture = nullptr;
    bool pictureCodable = false;  // its coding extension was read
    int32_t nextMacroblock = 0;
    // After user data or an extension passed over, anything may come before
    // the next start code; everywhere else only zero stuffing.
    bool skipping = false;
    enum class After { kNothing, kSequenceHeader, kSequenceExtension, kPictureHeader, kOther } after = After::kNothing;

    const auto finishPicture = [&](int64_t endByte) {
        if (picture != nullptr) {
            const int32_t total = picture->macroblockColumns * picture->macroblockRows;
            if (nextMacroblock != total) {
                reader.Fail("picture " + std::to_string(parsed.pictures.size() - 1) + " has " +
                            std::to_string(nextMacroblock) + " of its " + std::to_string(total) + " macroblocks");
            }
            picture->bytes = endByte - picture->bytes;
            picture = nullptr;
        }
    };

    for (;;) {
        const int32_t code = reader.NextStartCode(!skipping);
        skipping = false;
        const int64_t codeByte = static_cast<int64_t>(reader.BitPosition() / 8) - 4;
        if (code < 0) {
            finishPicture(static_cast<int64_t>(size));
            break;
        }
        if (parsed.ended) {
            reader.Fail("data after the sequence end code");
        }
        if (code >= kFirstSliceStartCode && code <= kLastSliceStartCode) {
            if (picture == nullptr || !pictureCodable) {
                reader.Fail("a slice outside a picture with its coding extension");
            }
            const int32_t row = code - kFirstSliceStartCode;
            if (row >= picture->macroblockRows) {
                reader.Fail("slice of row " + std::to_string(row + 1) + " in a picture of " +
                            std::to_string(picture->macroblockRows) + " macroblock rows");
            }
            ReadSlice(reader, *picture, row, nextMacroblock);
            after = After::kOther;
            continue;
        }
        switch (code) {
            case kSequenceHeaderCode: {
                finishPicture(codeByte);
                unitStart = codeByte;
                unitOpen = true;
                StreamSequenceHeader header = ReadSequenceHeader(reader);
                if (!haveSequence) {
                    parsed.sequence = header;
                    haveSequence = true;
                } else if ((header.width & 0xFFF) != (parsed.sequence.width & 0xFFF) ||
                           (header.height & 0xFFF) != (parsed.sequence.height & 0xFFF) ||
                           header.intraMatrix != parsed.sequence.intraMatrix) {
                    reader.Fail("a repeated sequence header differs from the first");
                }
                matrix = header.intraMatrix;
                after = After::kSequenceHeader;
                break;
            }
            case kExtensionStartCode: {
                const uint32_t id = reader.Read(4, "an extension identifier");
                After next = After::kOther;
                if (id == kSequenceExtensionId && after == After::kSequenceHeader) {
                    StreamSequenceHeader extended = parsed.sequence;
                    extended.width &= 0xFFF;
                    extended.height &= 0xFFF;
                    ReadSequenceExtension(reader, extended);
                    if (haveExtension &&
                        (extended.width != parsed.sequence.width || extended.height != parsed.sequence.height ||
                         extended.progressiveSequence != parsed.sequence.progressiveSequence)) {
                        reader.Fail("a repeated sequence extension differs from the first");
                    }
                    parsed.sequence = extended;
                    haveExtension = true;
                    if (parsed.sequence.chromaFormat != 1) {
                        reader.Fail("chroma format " + std::to_string(parsed.sequence.chromaFormat) +
                                    " is not supported (4:2:0 only)");
                    }
                    if (parsed.sequence.width == 0 || parsed.sequence.height == 0 ||
                        parsed.sequence.height > kMaxStreamHeight) {
                        reader.Fail("picture size " + std::to_string(parsed.sequence.width) + "x" +
                                    std::to_string(parsed.sequence.height) + " is not supported");
                    }
                    codedRows = CodedMacroblockRows(parsed.sequence.height, parsed.sequence.progressiveSequence);
                    next = After::kSequenceExtension;
                } else if (id == kPictureCodingExtensionId && after == After::kPictureHeader) {
                    ReadPictureCodingExtension(reader, *picture);
                    pictureCodable = true;
                } else if (id == kQuantMatrixExtensionId && haveExtension) {
                    ReadQuantMatrixExtension(reader, matrix);
                    if (picture != nullptr && nextMacroblock == 0) {
                        picture->intraMatrix = matrix;
                    }
                    skipping = true;
                } else if (id == kSequenceScalableExtensionId || id == kPictureSpatialScalableExtensionId ||
                           id == kPictureTemporalScalableExtensionId) {
                    reader.Fail("scalable extensions are not supported");
                } else if (id != kSequenceExtensionId && id != kPictureCodingExtensionId && haveExtension) {
                    // Display, copyright and other extensions change no level.
                    skipping = true;
                } else {
                    reader.Fail("extension " + std::to_string(id) + " is not supported here");
                }
                after = next;
                break;
            }
            case kUserDataStartCode:
                skipping = true;
                if (after == After::kPictureHeader) {
                    reader.Fail("user data between a picture header and its coding extension");
                }
                break;
            case kGroupStartCode: {
                finishPicture(codeByte);
                if (!haveSequence) {
                    reader.Fail("a group header before any sequence header");
                }
                if (!unitOpen) {
                    unitStart = codeByte;
                    unitOpen = true;
                }
                reader.Skip(1, "the group header");
                const int32_t hours = static_cast<int32_t>(reader.Read(5, "the group header"));
                const int32_t minutes = static_cast<int32_t>(reader.Read(6, "the group header"));
                reader.Marker("the group header");
                const int32_t seconds = static_cast<int32_t>(reader.Read(6, "the group header"));
                timeSeconds = (hours * 60 + minutes) * 60 + seconds;
                timePictures = static_cast<int32_t>(reader.Read(6, "the group header"));
                reader.Skip(2, "the group header");
                after = After::kOther;
                break;
            }
            case kPictureStartCode: {
                finishPicture(codeByte);
                if (!haveExtension) {
                    reader.Fail("a picture without a sequence extension (MPEG-1 streams are not supported)");
                }
                parsed.pictures.emplace_back();
                picture = &parsed.pictures.back();
                pictureCodable = false;
                picture->byteOffset = codeByte;
                picture->bytes = unitOpen ? unitStart : codeByte;  // the start, until the end is known
                unitOpen = false;
                picture->temporalReference = static_cast<int32_t>(reader.Read(10, "a picture header"));
                picture->codingType = static_cast<int32_t>(reader.Read(3, "a picture header"));
                if (picture->codingType != 1) {
                    reader.Fail("picture coding type " + std::to_string(picture->codingType) +
                                " is not supported (intra pictures only)");
                }
                reader.Skip(16, "a picture header");  // vbv_delay
                while (reader.Read(1, "a picture header") != 0) {
                    reader.Skip(8, "extra picture information");
                }
                picture->timeCodeSeconds = timeSeconds;
                picture->timeCodePictures = timePictures;
                picture->intraMatrix = matrix;
                picture->macroblockColumns = MacroblockColumns(parsed.sequence.width);
                picture->macroblockRows = codedRows;
                const size_t macroblocks =
                    static_cast<size_t>(picture->macroblockColumns) * static_cast<size_t>(codedRows);
                // A macroblock takes at least 26 bits (its 2-bit header, and six
                // blocks of a 2-bit DC size code and a 2-bit end of block): refuse a
                // picture the rest of the data cannot hold before making room for it.
                if (macroblocks * 26 > (size - static_cast<size_t>(codeByte)) * 8) {
                    reader.Fail("the stream is too short for a picture of " + std::to_string(macroblocks) +
                                " macroblocks");
                }
                picture->levels.assign(macroblocks * kMacroblockValues, 0);
                picture->scaleCodes.assign(macroblocks, 0);
                picture->fieldDct.assign(macroblocks, 0);
                nextMacroblock = 0;
                after = After::kPictureHeader;
                break;
            }
            case kSequenceEndCode:
                finishPicture(codeByte + 4);
                parsed.ended = true;
                break;
            default:
                reader.Fail("start code 0x" + std::string(1, "0123456789ABCDEF"[code >> 4]) +
                            std::string(1, "0123456789ABCDEF"[code & 15]) + " is not supported");
        }
    }
    if (!haveSequence) {
        throw StreamError("no sequence header in the stream");
    }
    return parsed;
}

std::array<int32_t, kMatrixEntries> ReadIntraMatrix(const uint8_t* data, size_t size) {
    BitReader reader(data, size);
    bool sawHeader = false;
    for (;;) {
        const int32_t code = reader.NextStartCode(false);
        if (code < 0) {
            break;
        }
        if (code == kSequenceHeaderCode) {
            sawHeader = true;
            const StreamSequenceHeader header = ReadSequenceHeader(reader);
            if (header.loadsIntraMatrix) {
                return header.intraMatrix;
            }
        }
    }
    if (!sawHeader) {
        throw StreamError("the data holds no sequence header");
    }
    return DefaultMatrix();
}

std::array<int32_t, kMatrixEntries> ReadIntraMatrixFromStream(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) {
        throw StreamError("cannot open " + path);
    }
    // A sequence header with both matrices is at most 4 + 8 + 2 x 64 bytes:
    // pieces overlap by that much, so no header is cut in two.
    constexpr size_t kOverlap = 140;
    constexpr size_t kPiece = size_t{1} << 20;
    std::vector<uint8_t> buffer;
    size_t kept = 0;
    bool sawHeader = false;
    for (;;) {
        buffer.resize(kept + kPiece);
        const size_t got = std::fread(buffer.data() + kept, 1, kPiece, file.get());
        buffer.resize(kept + got);
        const bool last = got < kPiece;
        // Scan only up to where a whole header is sure to fit, unless this is the end.
        const size_t scanEnd = last ? buffer.size() : buffer.size() - kOverlap;
        BitReader reader(buffer.data(), buffer.size());
        for (;;) {
            const int32_t code = reader.NextStartCode(false);
            if (code < 0 || reader.BitPosition() / 8 - 4 >= scanEnd) {
                break;
            }
            if (code == kSequenceHeaderCode) {
                sawHeader = true;
                try {
                    const StreamSequenceHeader header = ReadSequenceHeader(reader);
                    if (header.loadsIntraMatrix) {
                        return header.intraMatrix;
                    }
                } catch (const StreamError& error) {
                    throw StreamError(path + ": " + error.what());
                }
            }
        }
        if (last) {
            break;
        }
        buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(scanEnd));
        kept = buffer.size();
    }
    if (std::ferror(file.get())) {
        throw StreamError("cannot read " + path);
    }
    if (!sawHeader) {
        throw StreamError(path + " holds no sequence header");
    }
    return DefaultMatrix();
}

}  // namespace vardelk
