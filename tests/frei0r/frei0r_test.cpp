// The frei0r effect's parts and its C interface, loaded from the built
// module as a host loads it.
#include <dlfcn.h>
extern "C" {
#include <frei0r.h>
}
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <vector>

#include "clip/clip_runner.h"
#include "clip/rgba_convert.h"
#include "codec/cpu.h"
#include "frei0r/filter_instance.h"
#include "frei0r/parameters.h"

namespace vardelk {
namespace {

std::vector<uint8_t> RandomRgba(int32_t width, int32_t height, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t((i / 4 % 7) * 30 + random() % 40);
    return rgba;
}

// What the command line writes for a PNG of these pixels: the whole frame
// through one ClipRunner, the alpha left as it was.
std::vector<uint8_t> CommandLineRoute(const std::vector<uint8_t>& rgba, int32_t width, int32_t height,
                                      const CodingSettings& settings, const int32_t* matrix) {
    RgbImage image;
    image.Resize(width, height);
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i)
        for (size_t c = 0; c < 3; ++c) image.rgb[i * 3 + c] = rgba[i * 4 + c];
    Y4mFrame frame;
    RgbToFrame(image, frame);
    ClipRunner runner(FormatForRgb(width, height), settings, matrix, "");
    runner.Process(frame);
    FrameToRgb(runner.Format(), runner.Reconstruction(), image);
    std::vector<uint8_t> out = rgba;
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i)
        for (size_t c = 0; c < 3; ++c) out[i * 4 + c] = image.rgb[i * 3 + c];
    return out;
}

// Every RGB triple and every Y'CbCr triple, in chunks, through each build of
// the fast conversions and through media's: the same samples.
TEST(RgbaConversions, EqualMediasForEveryInput) {
    std::vector<const RgbaConversions*> builds{&PortableRgbaConversions()};
    if (Avx2RgbaConversions() != nullptr && CpuRuns(kCpuAvx2)) builds.push_back(Avx2RgbaConversions());
    constexpr int32_t kSide = 1024;  // a chunk: 2^20 values as a 1024 x 1024 picture
    const Y4mFormat format = FormatForRgb(kSide, kSide);
    const size_t count = size_t(kSide) * kSide;
    RgbImage image;
    image.Resize(kSide, kSide);
    Y4mFrame frame, planes;
    frame.Allocate(format);
    planes.Allocate(format);
    std::vector<uint8_t> rgba(count * 4, 0);
    for (uint32_t chunk = 0; chunk < 16; ++chunk) {
        for (size_t i = 0; i < count; ++i) {
            const uint32_t value = uint32_t(chunk << 20 | i);
            for (size_t c = 0; c < 3; ++c) image.rgb[i * 3 + c] = rgba[i * 4 + c] = uint8_t(value >> (16 - 8 * c));
            frame.y[i] = uint8_t(value >> 16);
            frame.cb[i] = uint8_t(value >> 8);
            frame.cr[i] = uint8_t(value);
        }
        Y4mFrame expectedPlanes;
        RgbToFrame(image, expectedPlanes);
        RgbImage expectedRgb;
        FrameToRgb(format, frame, expectedRgb);
        for (const RgbaConversions* build : builds) {
            build->toPlanes(rgba.data(), count, planes.y.data(), planes.cb.data(), planes.cr.data());
            ASSERT_EQ(planes.y, expectedPlanes.y) << "chunk " << chunk;
            ASSERT_EQ(planes.cb, expectedPlanes.cb) << "chunk " << chunk;
            ASSERT_EQ(planes.cr, expectedPlanes.cr) << "chunk " << chunk;
            std::vector<uint8_t> back(count * 4, 7);
            build->toRgba(frame.y.data(), frame.cb.data(), frame.cr.data(), count, back.data());
            for (size_t i = 0; i < count; ++i) {
                ASSERT_EQ(back[i * 4 + 3], 7) << "alpha written";
                for (size_t c = 0; c < 3; ++c)
                    ASSERT_EQ(back[i * 4 + c], expectedRgb.rgb[i * 3 + c]) << "chunk " << chunk << " value " << i;
            }
        }
    }
}

TEST(RgbaRunner, BandsAndCodingInPlaceGiveTheCommandLinesPixels) {
    CodingSettings field;
    field.scaleCode = 12;
    field.interlacedDct = true;
    field.model = PresetModel(EncoderPreset::kMpeg2enc);
    CodingSettings plain;
    plain.scaleCode = 31;
    plain.nonLinearScale = true;
    CodingSettings edges;  // partial macroblocks repeat the edge
    edges.scaleCode = 3;
    edges.model = PresetModel(EncoderPreset::kFfmpeg);
    const struct {
        int32_t width, height;
        CodingSettings settings;
    } cases[] = {{1, 1, plain}, {17, 9, field}, {45, 70, field}, {64, 49, plain}, {33, 19, edges}};
    // Colours whose luma is an exact half that media's arithmetic rounds down.
    const uint8_t halves[][3] = {{95, 11, 67}, {132, 4, 6}, {240, 60, 180}, {255, 51, 187}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        std::vector<uint8_t> in = RandomRgba(c.width, c.height, uint32_t(c.width));
        for (size_t i = 0; i < 4 && i * 4 < in.size(); ++i)
            for (size_t k = 0; k < 3; ++k) in[in.size() - 4 * (i + 1) + k] = halves[i][k];
        const std::vector<uint8_t> expected = CommandLineRoute(in, c.width, c.height, c.settings, kDefaultIntraMatrix);
        for (int32_t threads : {1, 3}) {
            RgbaRunner runner(c.width, c.height, threads);
            std::vector<uint8_t> out(in.size(), 0);
            runner.Process(c.settings, kDefaultIntraMatrix, in.data(), out.data());
            EXPECT_EQ(out, expected) << threads << " threads, " << runner.Bands() << " bands";
            std::vector<uint8_t> inPlace = in;
            runner.Process(c.settings, kDefaultIntraMatrix, inPlace.data(), inPlace.data());
            EXPECT_EQ(inPlace, expected) << "in place, " << threads << " threads";
        }
    }
}

TEST(Frei0rParameters, HostNumbersMapOntoScaleCodes) {
    using frei0r::ScaleCodeOfValue;
    EXPECT_EQ(ScaleCodeOfValue(0.0), 1);
    EXPECT_EQ(ScaleCodeOfValue(1.0), 31);
    EXPECT_EQ(ScaleCodeOfValue(0.3667), 12);
    EXPECT_EQ(ScaleCodeOfValue(-4.0), 1);
    EXPECT_EQ(ScaleCodeOfValue(12.0), 31);
    EXPECT_EQ(ScaleCodeOfValue(std::nan("")), 1);
    for (int32_t code = 1; code <= 31; ++code) EXPECT_EQ(ScaleCodeOfValue(frei0r::ValueOfScaleCode(code)), code);
}

TEST(Frei0rInstance, BadMatrixOrModelKeepsTheLastGoodOneAndSaysSoOnce) {
    std::FILE* messages = std::tmpfile();
    ASSERT_NE(messages, nullptr);
    frei0r::FilterInstance filter(8, 8, 1, messages);
    filter.SetText(frei0r::kMatrix, "flat16");
    const std::string missing = testing::TempDir() + "/no_such_matrix.txt";
    const std::string bad = testing::TempDir() + "/frei0r_bad_matrix.txt";
    std::ofstream(bad) << "16 16 16\n";
    for (int repeat = 0; repeat < 3; ++repeat) {  // hosts set every parameter before every frame
        filter.SetText(frei0r::kMatrix, missing.c_str());
        filter.SetText(frei0r::kCodingModel, "x262");
    }
    filter.SetText(frei0r::kMatrix, bad.c_str());
    filter.SetText(frei0r::kMatrix, nullptr);
    EXPECT_EQ(filter.Matrix()[63], 16);
    EXPECT_STREQ(filter.Text(frei0r::kMatrix), "flat16");
    EXPECT_EQ(filter.Settings().model, PresetModel(EncoderPreset::kFilter));

    std::rewind(messages);
    std::string text(4096, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), messages));
    std::fclose(messages);
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count("no_such_matrix.txt"), 1u) << text;
    EXPECT_EQ(count("frei0r_bad_matrix.txt"), 1u) << text;
    EXPECT_EQ(count("x262"), 1u) << text;

    {
        std::ofstream good(bad);
        for (int i = 0; i < 64; ++i) good << 8 + i << (i % 8 == 7 ? "\n" : " ");
    }
    filter.SetText(frei0r::kMatrix, "flat16");  // a changed text is read again
    filter.SetText(frei0r::kMatrix, bad.c_str());
    EXPECT_EQ(filter.Matrix()[63], 71);
}

// The module as a host sees it: dlopen and the f0r_ functions.
class Frei0rModule : public testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(VARDELK_FREI0R_MODULE, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
        Load(construct_, "f0r_construct");
        Load(destruct_, "f0r_destruct");
        Load(set_, "f0r_set_param_value");
        Load(update_, "f0r_update");
        Load(info_, "f0r_get_plugin_info");
    }
    void TearDown() override {
        if (handle_ != nullptr) dlclose(handle_);
    }
    template <typename F>
    void Load(F& function, const char* name) {
        function = reinterpret_cast<F>(dlsym(handle_, name));
        ASSERT_NE(function, nullptr) << name;
    }
    void* handle_ = nullptr;
    f0r_instance_t (*construct_)(unsigned, unsigned) = nullptr;
    void (*destruct_)(f0r_instance_t) = nullptr;
    void (*set_)(f0r_instance_t, f0r_param_t, int) = nullptr;
    void (*update_)(f0r_instance_t, double, const uint32_t*, uint32_t*) = nullptr;
    void (*info_)(f0r_plugin_info_t*) = nullptr;
};

TEST_F(Frei0rModule, InstancesSideBySideShareNothing) {
    f0r_plugin_info_t info{};
    info_(&info);
    EXPECT_EQ(info.color_model, F0R_COLOR_MODEL_RGBA8888);
    EXPECT_EQ(info.num_params, frei0r::kParameterCount);
    EXPECT_EQ(construct_(0, 16), nullptr);
    EXPECT_EQ(construct_(16, 1u << 30), nullptr);

    const int32_t width = 40, height = 24;
    const std::vector<uint8_t> in = RandomRgba(width, height, 7);
    f0r_instance_t coarse = construct_(width, height), fine = construct_(width, height);
    ASSERT_NE(coarse, nullptr);
    ASSERT_NE(fine, nullptr);
    double scale = 1.0, on = 1.0;
    const char* flat = "flat16";
    set_(coarse, &scale, frei0r::kScaleCode);
    set_(coarse, &on, frei0r::kFieldDct);
    set_(fine, &flat, frei0r::kMatrix);
    set_(nullptr, &scale, frei0r::kScaleCode);  // ignored, as are bad indices
    set_(fine, &scale, frei0r::kParameterCount);
    std::vector<uint8_t> a(in.size()), b(in.size());
    for (int frame = 0; frame < 2; ++frame) {
        update_(coarse, frame, reinterpret_cast<const uint32_t*>(in.data()), reinterpret_cast<uint32_t*>(a.data()));
        update_(fine, frame, reinterpret_cast<const uint32_t*>(in.data()), reinterpret_cast<uint32_t*>(b.data()));
    }
    CodingSettings coarseSettings;
    coarseSettings.scaleCode = 31;
    coarseSettings.interlacedDct = true;
    CodingSettings fineSettings;
    fineSettings.scaleCode = 8;
    const std::vector<int32_t> flat16(64, 16);
    EXPECT_EQ(a, CommandLineRoute(in, width, height, coarseSettings, kDefaultIntraMatrix));
    EXPECT_EQ(b, CommandLineRoute(in, width, height, fineSettings, flat16.data()));
    destruct_(coarse);
    destruct_(fine);
}

}  // namespace
}  // namespace vardelk
