// The frei0r effect's parts and its C interface, loaded from the built
// module as a host loads it.
#include <dlfcn.h>
extern "C" {
#include <frei0r.h>
}
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "clip/clip_runner.h"
#include "codec/cpu.h"
#include "frei0r/filter_instance.h"
#include "frei0r/parameters.h"
#include "matrix/known_matrices.h"
#include "media/rgba_convert.h"
#include "testing/kernel_builds.h"

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

// The builds the conversions' table holds on this machine, each once (a
// family that fills nothing repeats the one below it).
std::vector<testing::Build<RgbaConversions>> RgbaBuilds() {
    std::vector<testing::Build<RgbaConversions>> builds;
    for (const auto& build : testing::BuildsOf<RgbaConversions>()) {
        const RgbaConversions& t = *build.table;
        const bool seen = std::any_of(builds.begin(), builds.end(), [&](const auto& other) {
            const RgbaConversions& o = *other.table;
            return o.toPlanes == t.toPlanes && o.toRgba == t.toRgba && o.rowsTo420 == t.rowsTo420 &&
                   o.rows420ToRgba == t.rows420ToRgba;
        });
        if (!seen) builds.push_back(build);
    }
    return builds;
}

// Empty when equal, else where the bytes first differ.
std::string Difference(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want) {
    if (got.size() != want.size()) return "sizes " + std::to_string(got.size()) + ", " + std::to_string(want.size());
    const auto at = std::mismatch(got.begin(), got.end(), want.begin());
    if (at.first == got.end()) return "";
    return "byte " + std::to_string(at.first - got.begin()) + ": " + std::to_string(*at.first) + ", not " +
           std::to_string(*at.second);
}

// Every RGB triple and every Y'CbCr triple, in chunks, through each build of
// each conversion and through media's: the same samples. The rows to 4:2:0
// pair each row with itself, so that a chroma sample is one pixel's, once
// from the even pixels and once from the odd ones; neighbouring pixels share
// their chroma (and differ in the luma's lowest bit), so that the rows from
// 4:2:0 see every triple too, the lower row from the upper's luma with the
// alpha of another row.
TEST(RgbaConversions, EqualMediasForEveryInput) {
    constexpr int32_t kSide = 1024;  // a chunk: 2^20 values as a 1024 x 1024 picture
    const Y4mFormat format = FormatForRgb(kSide, kSide);
    const size_t count = size_t(kSide) * kSide;
    RgbImage image;
    image.Resize(kSide, kSide);
    Y4mFrame frame, planes;
    frame.Allocate(format);
    planes.Allocate(format);
    std::vector<uint8_t> rgba(count * 4, 0), rowsCb(count), rowsCr(count), alphas(count * 4);
    std::vector<uint8_t> chromaCb(kSide / 2), chromaCr(kSide / 2);
    for (size_t i = 0; i < count; ++i) alphas[i * 4 + 3] = uint8_t(i * 13);
    for (uint32_t chunk = 0; chunk < 16; ++chunk) {
        for (size_t i = 0; i < count; ++i) {
            const uint32_t value = uint32_t(chunk << 20 | i);
            for (size_t c = 0; c < 3; ++c) image.rgb[i * 3 + c] = rgba[i * 4 + c] = uint8_t(value >> (16 - 8 * c));
            const uint32_t shared = value >> 1;
            frame.y[i] = uint8_t((shared >> 16) << 1 | (value & 1));
            frame.cb[i] = uint8_t(shared >> 8);
            frame.cr[i] = uint8_t(shared);
        }
        Y4mFrame expectedPlanes;
        RgbToFrame(image, expectedPlanes);
        RgbImage expectedRgb;
        FrameToRgb(format, frame, expectedRgb);
        std::vector<uint8_t> expectedRgba(count * 4, 7), expectedLower(alphas);
        for (size_t i = 0; i < count; ++i)
            for (size_t c = 0; c < 3; ++c)
                expectedRgba[i * 4 + c] = expectedLower[i * 4 + c] = expectedRgb.rgb[i * 3 + c];
        for (const auto& build : RgbaBuilds()) {
            SCOPED_TRACE(std::string(build.name) + " build, chunk " + std::to_string(chunk));
            const RgbaConversions& f = *build.table;
            f.toPlanes(rgba.data(), count, planes.y.data(), planes.cb.data(), planes.cr.data());
            ASSERT_EQ(Difference(planes.y, expectedPlanes.y), "");
            ASSERT_EQ(Difference(planes.cb, expectedPlanes.cb), "");
            ASSERT_EQ(Difference(planes.cr, expectedPlanes.cr), "");

            std::fill(planes.y.begin(), planes.y.end(), 0);
            for (size_t first : {0, 1}) {
                for (size_t row = 0; row < size_t(kSide); ++row) {
                    const size_t at = row * kSide + first, width = kSide - first;
                    f.rowsTo420(&rgba[at * 4], &rgba[at * 4], width, &planes.y[at], &planes.y[at], chromaCb.data(),
                                chromaCr.data());
                    for (size_t j = 0; j < (width + 1) / 2; ++j) {
                        rowsCb[at + 2 * j] = chromaCb[j];
                        rowsCr[at + 2 * j] = chromaCr[j];
                    }
                }
            }
            ASSERT_EQ(Difference(planes.y, expectedPlanes.y), "") << "rows";
            ASSERT_EQ(Difference(rowsCb, expectedPlanes.cb), "") << "rows";
            ASSERT_EQ(Difference(rowsCr, expectedPlanes.cr), "") << "rows";

            std::vector<uint8_t> back(count * 4, 7), upper(count * 4, 7), lower(count * 4, 0);
            f.toRgba(frame.y.data(), frame.cb.data(), frame.cr.data(), count, back.data());
            ASSERT_EQ(Difference(back, expectedRgba), "");
            for (size_t row = 0; row < size_t(kSide); ++row) {
                const size_t at = row * kSide;
                for (size_t j = 0; j < size_t(kSide / 2); ++j) {
                    chromaCb[j] = frame.cb[at + 2 * j];
                    chromaCr[j] = frame.cr[at + 2 * j];
                }
                f.rows420ToRgba(&frame.y[at], &frame.y[at], chromaCb.data(), chromaCr.data(), kSide, &upper[at * 4],
                                &alphas[at * 4], &upper[at * 4], &lower[at * 4]);
            }
            ASSERT_EQ(Difference(upper, expectedRgba), "") << "rows, alpha of the output";
            ASSERT_EQ(Difference(lower, expectedLower), "") << "rows, alpha of another row";
        }
    }
}

// Each build's conversions against the plain build's on random pixels, the
// rows in widths below, at and around a vector's pixels: a pair of rows and
// a single one, colours whose luma is an exact half among them, the alpha
// from the output row or another row, nothing written beyond the pixels.
TEST(RgbaConversions, EveryWidthEqualsThePlainBuild) {
    const RgbaConversions& plain = KernelTableOf<RgbaConversions>(0);
    const uint8_t halves[][3] = {{95, 11, 67}, {132, 4, 6}, {240, 60, 180}, {255, 51, 187}};
    std::mt19937 random(5);
    auto bytes = [&](size_t n) {
        std::vector<uint8_t> v(n);
        for (uint8_t& b : v) b = uint8_t(random());
        return v;
    };
    constexpr size_t kGuard = 64;
    std::vector<size_t> widths{255, 1920, 1921};
    for (size_t width = 1; width <= 70; ++width) widths.push_back(width);
    for (const auto& build : RgbaBuilds()) {
        const RgbaConversions& f = *build.table;
        for (size_t width : widths) {
            SCOPED_TRACE(std::string(build.name) + " build, width " + std::to_string(width));
            const size_t chroma = (width + 1) / 2;
            std::vector<uint8_t> rows = bytes(width * 8);
            for (size_t h = 0; h < 4; ++h)
                std::copy(halves[h], halves[h] + 3, &rows[(h * 5 + h / 2 * width) % (width * 2) * 4]);
            const uint8_t* upper = rows.data();
            const uint8_t* lower = rows.data() + width * 4;
            for (bool pair : {true, false}) {
                std::vector<uint8_t> want = bytes(width * 2 + chroma * 2 + kGuard), got = want;
                auto run = [&](const RgbaConversions& t, std::vector<uint8_t>& out) {
                    uint8_t* y = out.data();
                    t.rowsTo420(upper, pair ? lower : upper, width, y, pair ? y + width : y, y + width * 2,
                                y + width * 2 + chroma);
                };
                run(plain, want);
                run(f, got);
                EXPECT_EQ(Difference(got, want), "") << "to 4:2:0, " << (pair ? "two rows" : "one row");
            }
            std::vector<uint8_t> want = bytes(width * 5 + kGuard), got = want;
            plain.toPlanes(upper, width, want.data(), want.data() + width, want.data() + width * 2);
            f.toPlanes(upper, width, got.data(), got.data() + width, got.data() + width * 2);
            EXPECT_EQ(Difference(got, want), "") << "to planes";

            const std::vector<uint8_t> planes = bytes(width * 2 + chroma * 2), alpha = bytes(width * 4);
            const uint8_t* yRows = planes.data();
            const uint8_t* cb = yRows + width * 2;
            const uint8_t* cr = cb + chroma;
            for (bool pair : {true, false}) {
                std::vector<uint8_t> wantRgba = bytes(width * 8 + kGuard), gotRgba = wantRgba;
                auto run = [&](const RgbaConversions& t, std::vector<uint8_t>& out) {
                    uint8_t* top = out.data();
                    t.rows420ToRgba(yRows, pair ? yRows + width : nullptr, cb, cr, width, top, alpha.data(), top,
                                    pair ? top + width * 4 : nullptr);
                };
                run(plain, wantRgba);
                run(f, gotRgba);
                EXPECT_EQ(Difference(gotRgba, wantRgba), "") << "from 4:2:0, " << (pair ? "two rows" : "one row");
            }
            std::vector<uint8_t> wantRgba = bytes(width * 4 + kGuard), gotRgba = wantRgba;
            plain.toRgba(yRows, yRows + width, cb, width, wantRgba.data());
            f.toRgba(yRows, yRows + width, cb, width, gotRgba.data());
            EXPECT_EQ(Difference(gotRgba, wantRgba), "") << "from planes";
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

// Kdenlive's description offers every named matrix, in the table's order,
// each with a name to show.
TEST(Frei0rDescription, MatrixListHoldsEveryNamedMatrix) {
    std::ifstream file(VARDELK_FREI0R_XML);
    ASSERT_TRUE(file) << VARDELK_FREI0R_XML;
    const std::string xml((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::string names;
    for (const KnownMatrix& m : KnownMatrices()) names += (names.empty() ? "" : ";") + std::string(m.name);
    const size_t list = xml.find("paramlist=\"" + names + "\"");
    ASSERT_NE(list, std::string::npos) << "the matrix list is not " << names;
    const size_t shown = xml.find("<paramlistdisplay>", list) + std::string("<paramlistdisplay>").size();
    const std::string display = xml.substr(shown, xml.find('<', shown) - shown);
    EXPECT_EQ(size_t(std::count(display.begin(), display.end(), ',')) + 1, KnownMatrices().size()) << display;
}

TEST(Frei0rInstance, BadMatrixOrModelKeepsTheLastGoodOneAndSaysSoOnce) {
    std::FILE* messages = std::tmpfile();
    ASSERT_NE(messages, nullptr);
    frei0r::FilterInstance filter(8, 8, 1, messages);
    filter.SetText(frei0r::kMatrix, "flat16");
    const std::string missing = ::testing::TempDir() + "/no_such_matrix.txt";
    const std::string bad = ::testing::TempDir() + "/frei0r_bad_matrix.txt";
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
class Frei0rModule : public ::testing::Test {
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
