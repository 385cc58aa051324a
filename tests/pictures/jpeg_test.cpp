// The JPEG reader and the choice of reader by content: colour, grey and
// progressive files decoded alike, every kind of refusal with its message,
// Exif orientation, and the names picture outputs may take.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "pictures/jpeg_file.h"
#include "pictures/picture_error.h"
#include "pictures/picture_file.h"
#include "pictures/png_file.h"
#include "tests/pictures/jpeg_fixtures.h"

namespace vardelk {
namespace {

using testing::EncodeJpeg;
using testing::JpegFixture;
using testing::PhotoLike;
using testing::WriteBytes;

class Scratch : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vardelk_jpeg_test_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        WriteBytes(dir_ + "/" + name, bytes);
        return dir_ + "/" + name;
    }
    // The message of the PictureError reading `path` throws ("" if none).
    static std::string RefusalOf(const std::string& path, int32_t maxSide = kMaxJpegSide) {
        try {
            ReadJpeg(path, maxSide);
        } catch (const PictureError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(path + ": ", 0), 0u) << error.what();
            return error.what();
        }
        return "";
    }
    std::string dir_;
};

int MaxDifference(const RgbImage& a, const RgbImage& b) {
    int most = 0;
    for (size_t i = 0; i < a.rgb.size(); ++i) most = std::max(most, std::abs(int(a.rgb[i]) - int(b.rgb[i])));
    return most;
}

using JpegRead = Scratch;

TEST_F(JpegRead, ColourGreyAndProgressiveFilesComeBackAsThePicture) {
    // Odd sizes: partial blocks at the right and bottom.
    const RgbImage source = PhotoLike(37, 21);
    JpegFixture fine;
    fine.quality = 100;
    fine.fullChroma = true;
    const RgbImage colour = ReadJpeg(Write("colour.jpg", EncodeJpeg(source, fine)));
    ASSERT_EQ(colour.width, 37);
    ASSERT_EQ(colour.height, 21);
    // At quality 100 only the colour conversions' rounding is left: a
    // swapped channel or a range error shows as tens of levels.
    EXPECT_LE(MaxDifference(colour, source), 4);

    // Progressive scans refine the same coefficients: the same pixels.
    fine.progressive = true;
    const RgbImage progressive = ReadJpeg(Write("progressive.jpg", EncodeJpeg(source, fine)));
    EXPECT_EQ(progressive.rgb, colour.rgb);

    fine.progressive = false;
    fine.grey = true;
    const RgbImage grey = ReadJpeg(Write("grey.jpg", EncodeJpeg(source, fine)));
    ASSERT_EQ(grey.rgb.size(), source.rgb.size());
    int most = 0;
    for (size_t i = 0; i < grey.rgb.size(); i += 3) {
        ASSERT_TRUE(grey.rgb[i] == grey.rgb[i + 1] && grey.rgb[i] == grey.rgb[i + 2]) << "pixel " << i / 3;
        const uint8_t* s = &source.rgb[i];
        const int luma = (299 * s[0] + 587 * s[1] + 114 * s[2] + 500) / 1000;
        most = std::max(most, std::abs(grey.rgb[i] - luma));
    }
    EXPECT_LE(most, 2);
}

TEST_F(JpegRead, RefusesWhatItCannotReadFaithfully) {
    const RgbImage source = PhotoLike(37, 21);
    const std::vector<uint8_t> good = EncodeJpeg(source, {});
    JpegFixture cmyk;
    cmyk.cmyk = true;
    EXPECT_NE(RefusalOf(Write("cmyk.jpg", EncodeJpeg(source, cmyk))).find("a CMYK JPEG, which is not read"),
              std::string::npos);

    // Cut in the coded data, and in the headers: libjpeg would pad with grey.
    for (const size_t keep : {good.size() / 2, size_t(40)}) {
        const std::string path = Write("cut.jpg", std::vector<uint8_t>(good.begin(), good.begin() + long(keep)));
        EXPECT_NE(RefusalOf(path).find("damaged JPEG (Premature end of JPEG file)"), std::string::npos) << keep;
    }
    // A lossless JPEG, which libjpeg does not decode.
    const std::vector<uint8_t> lossless = {0xff, 0xd8, 0xff, 0xc3, 0, 11, 8, 0, 16, 0, 16, 1, 1, 0x11, 0};
    EXPECT_NE(RefusalOf(Write("lossless.jpg", lossless)).find(": cannot read JPEG (Unsupported JPEG process"),
              std::string::npos);

    const std::string path = Write("good.jpg", good);
    EXPECT_NE(RefusalOf(path, 32).find("picture of 37x21 exceeds 32 per side"), std::string::npos);
    EXPECT_NE(RefusalOf(dir_ + "/missing.jpg").find("cannot be opened (No such file"), std::string::npos);
}

// A valid progressive file of 704 scans (each coefficient's bits one scan at
// a time) would cost a pass over the picture per scan.
TEST_F(JpegRead, RefusesFilesOfTooManyScans) {
    JpegFixture scans;
    scans.grey = scans.bitPerScan = true;
    const std::string path = Write("scans.jpg", EncodeJpeg(PhotoLike(8, 8), scans));
    EXPECT_NE(RefusalOf(path).find("(more than 500 scans)"), std::string::npos);
}

TEST(ExifOrientation, TurnsThePictureAsTheTagSays) {
    // Where the stored picture's first two pixels of the top row are shown,
    // for a 3x2 picture: orientations 5..8 show it 2x3.
    struct Case {
        int orientation;
        int first[2], second[2];
    };
    const Case cases[] = {{1, {0, 0}, {1, 0}}, {2, {2, 0}, {1, 0}}, {3, {2, 1}, {1, 1}}, {4, {0, 1}, {1, 1}},
                          {5, {0, 0}, {0, 1}}, {6, {1, 0}, {1, 1}}, {7, {1, 2}, {1, 1}}, {8, {0, 2}, {0, 1}}};
    RgbImage stored;
    stored.Resize(3, 2);
    for (size_t i = 0; i < stored.rgb.size(); ++i) stored.rgb[i] = uint8_t(i / 3 + 1);  // pixel number + 1
    for (const Case& c : cases) {
        const RgbImage shown = Orient(stored, c.orientation);
        EXPECT_EQ(shown.width, c.orientation >= 5 ? 2 : 3) << c.orientation;
        EXPECT_EQ(shown.At(c.first[0], c.first[1])[0], 1) << c.orientation;
        EXPECT_EQ(shown.At(c.second[0], c.second[1])[0], 2) << c.orientation;
    }
}

using JpegOrientation = Scratch;

TEST_F(JpegOrientation, ExifBlocksOfEitherByteOrderAreApplied) {
    const RgbImage source = PhotoLike(32, 16);
    const RgbImage plain = ReadJpeg(Write("plain.jpg", EncodeJpeg(source, {})));
    for (const bool bigEndian : {true, false}) {
        JpegFixture turned;
        turned.exifOrientation = 6;
        turned.exifBigEndian = bigEndian;
        const RgbImage shown = ReadJpeg(Write("turned.jpg", EncodeJpeg(source, turned)));
        EXPECT_EQ(shown.width, 16);
        EXPECT_EQ(shown.rgb, Orient(plain, 6).rgb) << bigEndian;
    }
    // A directory that runs past its block, and a tag of the wrong type.
    const uint8_t cut[] = {'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1, 0x01, 0x12, 0, 3};
    EXPECT_EQ(ExifOrientation(cut, sizeof(cut)), 1);
    const uint8_t longType[] = {'E',  'x',  'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                0x12, 0x01, 4,   0,   1, 0, 0,   0,   6,  0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ExifOrientation(longType, sizeof(longType)), 1);
}

using PictureFile = Scratch;

TEST_F(PictureFile, TheContentChoosesTheReaderAndOtherFormsAreNamed) {
    const RgbImage source = PhotoLike(20, 10);
    const std::string jpegAsPng = Write("photo.png", EncodeJpeg(source, {}));
    const std::string pngAsJpeg = dir_ + "/picture.jpg";
    WritePng(pngAsJpeg, source);
    EXPECT_EQ(SniffFileForm(jpegAsPng), FileForm::kJpeg);
    EXPECT_EQ(ReadPicture(jpegAsPng).rgb, ReadJpeg(jpegAsPng).rgb);
    EXPECT_EQ(ReadPicture(pngAsJpeg).rgb, source.rgb);

    const auto refusal = [](const std::string& path) -> std::string {
        try {
            ReadPicture(path);
        } catch (const PictureError& error) {
            return error.what();
        }
        return "";
    };
    const std::string clip = Write("clip.dat", {'Y', 'U', 'V', '4', 'M', 'P', 'E', 'G', '2', ' ', 'W', '2'});
    EXPECT_EQ(refusal(clip), clip + ": a Y4M clip, not a picture (PNG or JPEG)");
    const std::string text = Write("notes.txt", {'h', 'i', '\n'});
    EXPECT_EQ(refusal(text), text + ": not a picture or clip in a form read here (PNG, JPEG or Y4M)");
    // A damaged file keeps its own reader's account by its name.
    EXPECT_NE(refusal(Write("empty.jpg", {})).find("cannot read JPEG (Empty input file)"), std::string::npos);
    EXPECT_NE(refusal(Write("empty.png", {})).find("cannot read PNG"), std::string::npos);
}

TEST(PictureOutput, OnlyPngNamesPassAndPictureNamesAreKnown) {
    EXPECT_NO_THROW(CheckPictureOutput("cmp.png", "--picture"));
    EXPECT_NO_THROW(CheckPictureOutput("dir.x/CMP.PNG", "--picture"));
    for (const char* name : {"cmp.jpg", "cmp", "cmp.png.txt", "dir.png/cmp"}) {
        try {
            CheckPictureOutput(name, "--picture");
            ADD_FAILURE() << name << " passed";
        } catch (const PictureError& error) {
            EXPECT_EQ(
                std::string(error.what()).rfind(std::string("--picture ") + name + ": pictures are written as PNG", 0),
                0u)
                << error.what();
        }
    }
    EXPECT_TRUE(NamesPicture("out_%04d.JPEG"));
    EXPECT_TRUE(NamesPicture("out.webp"));
    EXPECT_FALSE(NamesPicture("out.y4m"));
    EXPECT_FALSE(NamesPicture("out.jpg/recon"));
}

}  // namespace
}  // namespace vardelk
