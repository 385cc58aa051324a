// Every entry of every kernel build against its plain version, on inputs
// from the whole domain the entry states: they must agree exactly. Frames
// for the gather/scatter pairs are allocated at their exact size so that
// ASan sees any access beyond them.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "codec/bit_cost.h"
#include "codec/coding_model.h"
#include "codec/frame_coder.h"
#include "codec/inverse_dct.h"
#include "codec/kernels/kernel_table.h"
#include "codec/kernels/sparse_bit_cost.h"
#include "codec/macroblock_interlaced.h"
#include "codec/macroblock_progressive.h"
#include "codec/quantise.h"
#include "codec/quantiser_rules.h"
#include "codec/types.h"
#include "fuzz/fuzz_support.h"
#include "media/yc_convert.h"
#include "testing/kernel_builds.h"

namespace {

using namespace vardelk;

// Every kernel build this machine runs; each is checked on every input.
const std::vector<testing::KernelBuild> kBuilds = testing::KernelBuilds();

bool SameBlock(const int32_t* a, const int32_t* b, size_t count = 64) {
    return std::memcmp(a, b, count * sizeof(int32_t)) == 0;
}

// Values in low..high, with the ends of the range much more likely than
// uniform bytes would make them: those are where vector paths overflow.
int32_t Value(FuzzedDataProvider& p, int32_t low, int32_t high) {
    switch (p.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:
            return low;
        case 1:
            return high;
        case 2:
            return p.ConsumeBool() ? low + 1 : high - 1;
        case 3:
            return low <= 0 && high >= 0 ? 0 : low;
        default:
            return p.ConsumeIntegralInRange<int32_t>(low, high);
    }
}

void FillBlock(FuzzedDataProvider& p, int32_t* block, int32_t low, int32_t high) {
    // A whole block of one extreme is the hardest case for the transforms.
    if (p.ConsumeIntegralInRange<int>(0, 5) == 0) {
        const int32_t v = p.ConsumeBool() ? low : high;
        for (int i = 0; i < 64; ++i) block[i] = (p.ConsumeBool() || i == 0) ? v : low + high - v;
        return;
    }
    for (int i = 0; i < 64; ++i) block[i] = Value(p, low, high);
}

// Every build of one transform against the plain one on this block.
void CheckTransform(const int32_t input[64], kernels::BlockTransform kernels::KernelTable::*entry) {
    int32_t plain[64];
    std::memcpy(plain, input, sizeof plain);
    (kernels::KernelTableFor(0).*entry)(plain);
    for (const testing::KernelBuild& build : kBuilds) {
        int32_t quick[64];
        std::memcpy(quick, input, sizeof quick);
        (build.table->*entry)(quick);
        FUZZ_CHECK(SameBlock(plain, quick));
    }
}

void CheckTransforms(FuzzedDataProvider& p) {
    int32_t input[64];
    FillBlock(p, input, -2048, 2047);
    CheckTransform(input, &kernels::KernelTable::forwardDct);
    CheckTransform(input, &kernels::KernelTable::forwardDctAccurate);
    FillBlock(p, input, kMinCoefficient, kMaxCoefficient);
    CheckTransform(input, &kernels::KernelTable::inverseDct);
}

void CheckQuantisation(FuzzedDataProvider& p) {
    int32_t weights[kMatrixEntries];
    for (int32_t& w : weights) w = Value(p, kMinMatrixEntry, kMaxMatrixEntry);
    const int32_t q = QuantiserScale(p.ConsumeIntegralInRange<int32_t>(1, 31), p.ConsumeBool());
    kernels::QuantiserTables tables;
    kernels::PrepareQuantiser(weights, q, tables);

    int32_t input[64];
    int32_t plain[64];
    int32_t fast[64];
    FillBlock(p, input, -40000, 40000);
    std::memcpy(plain, input, sizeof plain);
    QuantiseBlock(plain, weights, q);
    for (const testing::KernelBuild& build : kBuilds) {
        std::memcpy(fast, input, sizeof fast);
        const uint64_t nonZero = build.table->quantise(fast, tables);
        FUZZ_CHECK(SameBlock(plain, fast));
        for (int i = 0; i < 64; ++i) FUZZ_CHECK(((nonZero >> i) & 1u) == (fast[i] != 0 ? 1u : 0u));
    }

    // A real encoder's rule, on coefficients of its transform's range.
    constexpr QuantiserRule kRules[] = {QuantiserRule::kFfmpeg, QuantiserRule::kMpeg2enc, QuantiserRule::kTestModel};
    const QuantiserRule rule = kRules[p.ConsumeIntegralInRange<int>(0, 2)];
    kernels::QuantiserTables ruleTables;
    kernels::PrepareQuantiser(rule, weights, q, ruleTables);
    const int32_t limit = CodingModel{rule}.UsesAccurateTransform() ? 320000 : 40000;
    FillBlock(p, input, -limit, limit);
    std::memcpy(plain, input, sizeof plain);
    QuantiseBlockByRule(rule, plain, weights, q);
    for (const testing::KernelBuild& build : kBuilds) {
        std::memcpy(fast, input, sizeof fast);
        const uint64_t nonZero = build.table->quantiseSymmetric(fast, ruleTables);
        FUZZ_CHECK(SameBlock(plain, fast));
        for (int i = 0; i < 64; ++i) FUZZ_CHECK(((nonZero >> i) & 1u) == (fast[i] != 0 ? 1u : 0u));
    }
    // ffmpeg's rule in integer products, on any coefficients.
    if (rule == QuantiserRule::kFfmpeg) {
        FillBlock(p, input, INT32_MIN, INT32_MAX);
        std::memcpy(plain, input, sizeof plain);
        QuantiseBlockByRule(rule, plain, weights, q);
        for (const testing::KernelBuild& build : kBuilds) {
            std::memcpy(fast, input, sizeof fast);
            const uint64_t nonZero = build.table->quantiseReciprocal(fast, ruleTables);
            FUZZ_CHECK(SameBlock(plain, fast));
            for (int i = 0; i < 64; ++i) FUZZ_CHECK(((nonZero >> i) & 1u) == (fast[i] != 0 ? 1u : 0u));
        }
    }

    // Any levels at all.
    for (int i = 0; i < 64; ++i) input[i] = p.ConsumeBool() ? p.ConsumeIntegral<int32_t>() : Value(p, -2048, 2047);
    std::memcpy(plain, input, sizeof plain);
    DequantiseBlock(plain, weights, q);
    for (const testing::KernelBuild& build : kBuilds) {
        std::memcpy(fast, input, sizeof fast);
        build.table->dequantise(fast, tables);
        FUZZ_CHECK(SameBlock(plain, fast));
    }

    // A block without AC levels, any DC level, straight to samples.
    std::memset(plain, 0, sizeof plain);
    plain[0] = p.ConsumeBool() ? p.ConsumeIntegral<int32_t>() : Value(p, -2048 * 8, 2047 * 8);
    const int32_t dc = plain[0];
    DequantiseBlock(plain, weights, q);
    InverseDct(plain);
    for (const testing::KernelBuild& build : kBuilds) {
        std::memset(fast, 0, sizeof fast);
        fast[0] = dc;
        build.table->reconstructFlat(fast);
        FUZZ_CHECK(SameBlock(plain, fast));
    }
}

void CheckBitCosts(FuzzedDataProvider& p) {
    MacroblockBuffer levels;
    for (int32_t& v : levels.value) {
        switch (p.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                v = 0;
                break;
            case 1:
                v = p.ConsumeIntegralInRange<int32_t>(-3, 3);
                break;
            case 2:
                v = p.ConsumeIntegralInRange<int32_t>(-2048, 2047);
                break;
            default:
                v = p.ConsumeIntegral<int32_t>();
                break;
        }
    }
    const AcCoding coding{p.ConsumeIntegral<int32_t>(), p.ConsumeIntegral<int32_t>()};
    uint64_t nonZero[kBlocksPerMacroblock];
    for (int b = 0; b < kBlocksPerMacroblock; ++b) nonZero[b] = kernels::NonZeroMask(levels.Block(b));
    FUZZ_CHECK(AcBlockBits(levels.Block(0), coding) == kernels::SparseAcBlockBits(levels.Block(0), nonZero[0], coding));
    DcPredictors plain;
    plain.luma = p.ConsumeIntegral<int32_t>();
    plain.cb = p.ConsumeIntegral<int32_t>();
    plain.cr = p.ConsumeIntegral<int32_t>();
    const DcPredictors start = plain;
    const int32_t bits = EstimateMacroblockBits(levels, coding, plain);
    for (const testing::KernelBuild& build : kBuilds) {
        DcPredictors quick = start;
        FUZZ_CHECK(bits == build.table->macroblockBits(levels, nonZero, coding, quick));
        FUZZ_CHECK(plain.luma == quick.luma && plain.cb == quick.cb && plain.cr == quick.cr);
    }
}

// One macroblock at a fuzzed position of a fuzzed picture, gathered and
// scattered by both versions of a pair.
void CheckTransfer(FuzzedDataProvider& p) {
    const bool interlaced = p.ConsumeBool();
    const kernels::GatherFunction plainGather = interlaced ? GatherMacroblockInterlaced : GatherMacroblockProgressive;
    const kernels::ScatterFunction plainScatter =
        interlaced ? ScatterMacroblockInterlaced : ScatterMacroblockProgressive;

    const int32_t width = p.ConsumeIntegralInRange<int32_t>(1, 40);
    const int32_t height = p.ConsumeIntegralInRange<int32_t>(1, 40);
    const int32_t stride = width + p.ConsumeIntegralInRange<int32_t>(0, 3);
    const int32_t frameHeight = height + p.ConsumeIntegralInRange<int32_t>(0, 3);
    const int32_t x = 16 * p.ConsumeIntegralInRange<int32_t>(0, (width - 1) / 16);
    const int32_t y = 16 * p.ConsumeIntegralInRange<int32_t>(0, (height - 1) / 16);
    const size_t pixels = static_cast<size_t>(stride) * static_cast<size_t>(frameHeight);
    std::unique_ptr<Pixel[]> frame(new Pixel[pixels]);
    for (size_t i = 0; i < pixels; ++i) {
        frame[i] = Pixel{p.ConsumeIntegral<int16_t>(), p.ConsumeIntegral<int16_t>(), p.ConsumeIntegral<int16_t>()};
    }
    const size_t offset = static_cast<size_t>(y) * static_cast<size_t>(stride) + static_cast<size_t>(x);

    MacroblockBuffer plain{};
    plainGather(frame.get() + offset, plain, width - x, height - y, stride);
    for (const testing::KernelBuild& build : kBuilds) {
        MacroblockBuffer fast{};
        build.table->gather[interlaced ? 1 : 0](frame.get() + offset, fast, width - x, height - y, stride);
        FUZZ_CHECK(SameBlock(plain.value, fast.value, kMacroblockValues));
    }

    // Reconstructed samples lie in -256..255.
    for (int32_t& v : plain.value) v = Value(p, kMinSample, kMaxSample);
    std::unique_ptr<Pixel[]> plainOut(new Pixel[pixels]);
    std::unique_ptr<Pixel[]> fastOut(new Pixel[pixels]);
    std::memcpy(plainOut.get(), frame.get(), pixels * sizeof(Pixel));
    plainScatter(plain, plainOut.get() + offset, width - x, height - y, stride);
    for (const testing::KernelBuild& build : kBuilds) {
        std::memcpy(fastOut.get(), frame.get(), pixels * sizeof(Pixel));
        build.table->scatter[interlaced ? 1 : 0](plain, fastOut.get() + offset, width - x, height - y, stride);
        FUZZ_CHECK(std::memcmp(plainOut.get(), fastOut.get(), pixels * sizeof(Pixel)) == 0);
    }
}

// A small 4:2:0 picture coded from its planes by every build against the
// host-frame route (conversion in, plain coder, conversion back). The
// planes are allocated at their exact sizes.
void CheckPlanarFrame(FuzzedDataProvider& p) {
    Y4mFormat format;
    format.width = p.ConsumeIntegralInRange<int32_t>(1, 40);
    format.height = p.ConsumeIntegralInRange<int32_t>(1, 40);
    CodingSettings settings;
    settings.scaleCode = p.ConsumeIntegralInRange<int32_t>(1, 31);
    settings.nonLinearScale = p.ConsumeBool();
    settings.alternateScan = p.ConsumeBool();
    settings.interlacedDct = p.ConsumeBool();
    int32_t matrix[kMatrixEntries];
    for (int32_t& entry : matrix) entry = Value(p, kMinMatrixEntry, kMaxMatrixEntry);
    Y4mFrame picture;
    picture.Allocate(format);
    for (auto* plane : {&picture.y, &picture.cb, &picture.cr})
        for (uint8_t& v : *plane) v = static_cast<uint8_t>(Value(p, 0, 255));

    const size_t pixels = static_cast<size_t>(format.width) * static_cast<size_t>(format.height);
    std::vector<Pixel> in(pixels), out(pixels);
    Y4mToYcReference(format, picture, in.data(), format.width);
    FrameCoder reference(0);
    const int32_t bytes =
        reference.CodeFrameReference(settings, matrix, in.data(), out.data(),
                                     FrameGeometry{format.width, format.height, format.width, format.height});
    Y4mFrame expected;
    YcToY4mReference(format, out.data(), format.width, expected);

    const int32_t chromaWidth = ChromaWidth(format);
    const PlanarInput input{picture.y.data(), picture.cb.data(), picture.cr.data(), format.width, chromaWidth};
    for (const testing::KernelBuild& build : kBuilds) {
        Y4mFrame coded;
        coded.Allocate(format);
        FrameCoder coder(build.flags);
        const PlanarOutput output{coded.y.data(), coded.cb.data(), coded.cr.data(), format.width, chromaWidth};
        FUZZ_CHECK(coder.CodePlanarFrame(settings, matrix, input, output, format.width, format.height) == bytes);
        FUZZ_CHECK(coded.y == expected.y && coded.cb == expected.cb && coded.cr == expected.cr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    switch (provider.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            CheckTransforms(provider);
            break;
        case 1:
            CheckQuantisation(provider);
            break;
        case 2:
            CheckBitCosts(provider);
            break;
        case 3:
            CheckTransfer(provider);
            break;
        default:
            CheckPlanarFrame(provider);
            break;
    }
    return 0;
}
