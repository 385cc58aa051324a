// Test helper for the encoder round trip: writes the canary matrix in a file
// form or as ffmpeg's option, and reads back the matrix an encoder put in its output (a JPEG's
// first quantisation table, an MPEG-2 sequence header's intra matrix, an
// H.264 sequence parameter set's 8x8 intra luma list), printing 64 numbers
// in natural order.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "matrix/ffmpeg_option.h"
#include "matrix/matrix_files.h"
#include "tests/matrix/canary.h"

namespace {

using vardelk::MatrixEntries;

// Scan position -> natural index; the same zigzag in all three formats.
constexpr int kZigzag[64] = {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
                             41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
                             30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

class Bits {
public:
    explicit Bits(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint32_t Read(int count) {
        uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++position_) {
            if (position_ / 8 >= bytes_.size()) throw std::runtime_error("bit stream ends early");
            value = value << 1 | ((bytes_[position_ / 8] >> (7 - position_ % 8)) & 1);
        }
        return value;
    }
    uint32_t Golomb() {
        int zeros = 0;
        while (Read(1) == 0) ++zeros;
        return (1u << zeros) - 1 + Read(zeros);
    }
    int32_t SignedGolomb() {
        const uint32_t code = Golomb();
        return code & 1 ? int32_t((code + 1) / 2) : -int32_t(code / 2);
    }

private:
    std::vector<uint8_t> bytes_;
    size_t position_ = 0;
};

std::vector<uint8_t> Slurp(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

size_t FindStartCode(const std::vector<uint8_t>& s, size_t from, uint8_t code, uint8_t mask) {
    for (size_t i = from; i + 3 < s.size(); ++i) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && (s[i + 3] & mask) == code) return i + 4;
    }
    throw std::runtime_error("start code not found");
}

MatrixEntries FromScan(const uint32_t* scanned) {
    MatrixEntries m{};
    for (int k = 0; k < 64; ++k) m[size_t(kZigzag[k])] = int32_t(scanned[k]);
    return m;
}

MatrixEntries JpegTable(const std::vector<uint8_t>& s) {
    for (size_t i = 2; i + 4 < s.size();) {
        if (s[i] != 0xFF) throw std::runtime_error("JPEG marker expected");
        const size_t length = size_t(s[i + 2]) << 8 | s[i + 3];
        if (s[i + 1] == 0xDB && s[i + 4] == 0 && i + 4 + 65 <= s.size()) {  // 8-bit table 0
            uint32_t scanned[64];
            for (int k = 0; k < 64; ++k) scanned[k] = s[i + 5 + size_t(k)];
            return FromScan(scanned);
        }
        i += 2 + length;
    }
    throw std::runtime_error("no 8-bit table 0 in the JPEG");
}

MatrixEntries Mpeg2IntraMatrix(const std::vector<uint8_t>& s) {
    const size_t at = FindStartCode(s, 0, 0xB3, 0xFF);
    Bits bits(std::vector<uint8_t>(s.begin() + long(at), s.end()));
    bits.Read(12 + 12 + 4 + 4 + 18 + 1 + 10 + 1);  // size, aspect, rate, bit rate, marker, buffer, constrained
    if (bits.Read(1) == 0) throw std::runtime_error("the sequence header loads no intra matrix");
    uint32_t scanned[64];
    for (uint32_t& v : scanned) v = bits.Read(8);
    return FromScan(scanned);
}

// The NAL unit's payload after its start code, without emulation prevention bytes.
std::vector<uint8_t> NalPayload(const std::vector<uint8_t>& s, uint8_t type) {
    std::vector<uint8_t> payload;
    for (size_t i = FindStartCode(s, 0, type, 0x1F); i < s.size(); ++i) {
        if (i + 2 < s.size() && s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 3) {
            payload.insert(payload.end(), {0, 0});
            i += 2;
        } else {
            payload.push_back(s[i]);
        }
    }
    return payload;
}

// The present-flags and lists of a parameter set's matrices (4:2:0): six 4x4
// lists, then the 8x8 intra luma list, which is returned.
MatrixEntries IntraLuma8x8List(Bits& bits) {
    for (int list = 0; list < 7; ++list) {
        if (bits.Read(1) == 0) continue;
        const int size = list < 6 ? 16 : 64;
        uint32_t scanned[64];
        int32_t last = 8, next = 8;
        for (int j = 0; j < size; ++j) {
            if (next != 0) next = (last + bits.SignedGolomb() + 256) % 256;
            scanned[j] = uint32_t(next == 0 ? last : next);
            last = int32_t(scanned[j]);
        }
        if (list == 6) return FromScan(scanned);
    }
    throw std::runtime_error("no 8x8 intra luma list");
}

// x264 puts its matrices in the sequence or the picture parameter set.
MatrixEntries H264IntraLuma8x8(const std::vector<uint8_t>& s) {
    Bits sps(NalPayload(s, 7));
    if (sps.Read(8) != 100) throw std::runtime_error("not a High profile stream");
    sps.Read(16), sps.Golomb();
    if (sps.Golomb() != 1) throw std::runtime_error("not 4:2:0");
    sps.Golomb(), sps.Golomb(), sps.Read(1);
    if (sps.Read(1) == 1) return IntraLuma8x8List(sps);
    Bits pps(NalPayload(s, 8));
    pps.Golomb(), pps.Golomb(), pps.Read(2);
    if (pps.Golomb() != 0) throw std::runtime_error("slice groups are not expected");
    pps.Golomb(), pps.Golomb(), pps.Read(3);
    pps.SignedGolomb(), pps.SignedGolomb(), pps.SignedGolomb(), pps.Read(3);
    if (pps.Read(1) == 0) throw std::runtime_error("8x8 transform is off");
    if (pps.Read(1) == 0) throw std::runtime_error("neither parameter set holds matrices");
    return IntraLuma8x8List(pps);
}

void Print(const MatrixEntries& m) {
    for (size_t i = 0; i < m.size(); ++i) std::printf("%d%c", m[i], i == 63 ? '\n' : ' ');
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "canary" && argc == 2)
            Print(vardelk::CanaryMatrix());
        else if (command == "write" && argc == 4)
            vardelk::WriteMatrix(argv[3], argv[2], vardelk::CanaryMatrix());
        else if (command == "option" && argc == 2)
            std::printf("%s\n", vardelk::FfmpegMatrixOption(vardelk::CanaryMatrix(), "canary").c_str());
        else if (command == "jpeg" && argc == 3)
            Print(JpegTable(Slurp(argv[2])));
        else if (command == "mpeg2" && argc == 3)
            Print(Mpeg2IntraMatrix(Slurp(argv[2])));
        else if (command == "h264" && argc == 3)
            Print(H264IntraLuma8x8(Slurp(argv[2])));
        else {
            std::fprintf(stderr, "usage: matrix_probe canary | write FORMAT PATH | option | jpeg|mpeg2|h264 FILE\n");
            return 2;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "matrix_probe: %s\n", e.what());
        return 1;
    }
    return 0;
}
