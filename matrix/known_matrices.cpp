#include "matrix/known_matrices.h"

#include <algorithm>
#include <cstdio>

#include "matrix/ffmpeg_option.h"

namespace vardelk {
namespace {

// The published matrices, numbers as published (each has DC 8). The table
// in docs/matrices.md and a test hold these to the list they were copied
// from.
const KnownMatrix kPublished[] = {
    {"notch",
     "KVCD \"Notch\"",
     "VCD/KVCD at low bitrates",
     "MPlayer documentation, custom matrices (section 7.9); mjpegtools mpeg2enc tables (-K kvcd)",
     {{
         8,  9,  12, 22, 26, 27, 29, 34,  //
         9,  10, 14, 26, 27, 29, 34, 37,  //
         12, 14, 18, 27, 29, 34, 37, 38,  //
         22, 26, 27, 31, 36, 37, 38, 40,  //
         26, 27, 29, 36, 39, 38, 40, 48,  //
         27, 29, 34, 37, 38, 40, 48, 58,  //
         29, 34, 37, 38, 40, 48, 58, 69,  //
         34, 37, 38, 40, 48, 58, 69, 79,  //
     }}},
    {"mvcd",
     "MVCD",
     "VCD at low bitrates",
     "mjpegtools scripts/anytovcd.sh (INTRA_MVCD, passed to ffmpeg -intra_matrix)",
     {{
         8,  10, 16, 20, 25, 28, 33, 44,  //
         10, 10, 14, 26, 27, 29, 34, 47,  //
         16, 14, 18, 27, 29, 34, 37, 48,  //
         20, 26, 27, 31, 36, 37, 38, 50,  //
         25, 27, 29, 32, 37, 40, 48, 58,  //
         28, 33, 36, 42, 45, 50, 58, 68,  //
         33, 37, 39, 44, 48, 56, 66, 79,  //
         37, 39, 45, 48, 56, 66, 79, 83,  //
     }}},
    {"hires",
     "mpeg2enc hi-res",
     "high bitrates (mpeg2enc -K hi-res)",
     "mjpegtools mpeg2enc tables (hires_intra_quantizer_matrix)",
     {{
         8,  16, 18, 20, 24, 25, 26, 30,  //
         16, 16, 20, 23, 25, 26, 30, 30,  //
         18, 20, 22, 24, 26, 28, 29, 31,  //
         20, 21, 23, 24, 26, 28, 31, 31,  //
         21, 23, 24, 25, 28, 30, 30, 33,  //
         23, 24, 25, 28, 30, 30, 33, 36,  //
         24, 25, 26, 29, 29, 31, 34, 38,  //
         25, 26, 28, 29, 31, 34, 38, 42,  //
     }}},
    {"fox-new",
     "FOX New",
     "DVD at 3000 kbit/s and above",
     "'Coding to DVD with FFMPEG' v4.2 (doom9 forum), in jeanslack/Videomass-presets; DVDStyler's 'Fox New.txt', chosen by its ff_vbr.ini above 3500 kbit/s",
     {{
         8,  8,  9,  9,  10, 10, 11, 11,  //
         8,  9,  9,  10, 10, 11, 11, 12,  //
         9,  9,  10, 10, 11, 11, 12, 12,  //
         9,  10, 10, 11, 11, 12, 13, 13,  //
         10, 10, 11, 11, 12, 13, 13, 14,  //
         10, 11, 11, 12, 13, 13, 14, 15,  //
         11, 11, 12, 13, 13, 14, 15, 15,  //
         11, 12, 12, 13, 14, 15, 15, 16,  //
     }}},
    {"fox-home",
     "FOX Home Entertainment",
     "DVD",
     "'Coding to DVD with FFMPEG' v4.2, jeanslack/Videomass-presets",
     {{
         8,  8,  9,  11, 13, 13, 14, 17,  //
         8,  8,  11, 12, 13, 14, 17, 18,  //
         9,  11, 13, 13, 14, 17, 17, 16,  //
         11, 11, 13, 13, 13, 17, 18, 20,  //
         11, 13, 13, 13, 16, 17, 20, 24,  //
         13, 13, 13, 16, 17, 20, 24, 29,  //
         13, 12, 13, 17, 19, 23, 28, 34,  //
         12, 13, 17, 19, 23, 28, 34, 41,  //
     }}},
    {"fox1",
     "FOX1 (FOX2 and FOX3 share this intra matrix)",
     "DVD",
     "'Coding to DVD with FFMPEG' v4.2, jeanslack/Videomass-presets; HCenc's built-in fox1..3",
     {{
         8,  8,  9,  11, 13, 13, 14, 17,  //
         8,  8,  11, 12, 13, 14, 17, 18,  //
         9,  11, 13, 13, 14, 17, 17, 19,  //
         11, 11, 13, 13, 14, 17, 18, 20,  //
         11, 13, 13, 14, 16, 17, 20, 24,  //
         13, 13, 14, 16, 17, 20, 24, 29,  //
         13, 13, 14, 17, 19, 23, 28, 34,  //
         13, 14, 17, 19, 23, 28, 34, 41,  //
     }}},
    {"sixofnine",
     "SixOfNine-HVS",
     "DVD at 3000 kbit/s and above",
     "'Coding to DVD with FFMPEG' v4.2, jeanslack/Videomass-presets",
     {{
         8,  11, 12, 12, 13, 15, 16, 17,  //
         11, 11, 12, 12, 14, 15, 16, 17,  //
         12, 12, 13, 14, 15, 16, 17, 18,  //
         12, 12, 14, 16, 17, 18, 19, 19,  //
         13, 14, 15, 17, 19, 20, 20, 20,  //
         15, 15, 16, 18, 20, 21, 22, 22,  //
         16, 16, 17, 19, 21, 22, 23, 24,  //
         17, 17, 18, 19, 20, 22, 24, 24,  //
     }}},
    {"manono1",
     "Manono1",
     "DVD at low bitrates (DVDStyler's choice below 3500 kbit/s)",
     "'Coding to DVD with FFMPEG' v4.2, jeanslack/Videomass-presets; DVDStyler's 'Manono1.txt'; HCenc's built-in manono1",
     {{
         8,  8,  8,  9,  11, 13, 14, 17,  //
         8,  8,  9,  11, 13, 13, 14, 17,  //
         8,  8,  11, 12, 13, 14, 17, 94,  //
         9,  11, 13, 13, 14, 17, 17, 94,  //
         11, 11, 13, 13, 14, 17, 94, 94,  //
         13, 13, 14, 16, 17, 20, 94, 94,  //
         13, 13, 14, 17, 94, 94, 94, 94,  //
         13, 14, 17, 94, 94, 94, 94, 94,  //
     }}},
    {"manono2",
     "Manono2",
     "DVD",
     "'Coding to DVD with FFMPEG' v4.2, jeanslack/Videomass-presets; DVDStyler's 'Manono2.txt'; HCenc's built-in manono2",
     {{
         8,  12, 13, 14, 15, 16, 19, 22,   //
         12, 13, 14, 15, 16, 19, 22, 26,   //
         13, 14, 15, 16, 19, 22, 26, 32,   //
         14, 15, 16, 19, 22, 26, 32, 41,   //
         15, 16, 19, 22, 26, 32, 41, 53,   //
         16, 19, 22, 26, 32, 41, 53, 70,   //
         19, 22, 26, 32, 41, 53, 70, 94,   //
         22, 26, 32, 41, 53, 70, 94, 127,  //
     }}},
    {"manono3",
     "Manono3",
     "DVD, sources that compress badly",
     "'Coding to DVD with FFMPEG' v4.2, jeanslack/Videomass-presets; HCenc's built-in manono3",
     {{
         8,  10, 10, 12, 13, 15, 16, 20,  //
         10, 10, 12, 15, 17, 19, 20, 20,  //
         10, 12, 15, 17, 19, 20, 20, 23,  //
         12, 15, 17, 19, 20, 20, 25, 25,  //
         13, 17, 19, 20, 23, 25, 25, 27,  //
         15, 19, 20, 23, 25, 27, 27, 30,  //
         16, 20, 20, 25, 25, 27, 30, 35,  //
         20, 20, 23, 25, 27, 30, 35, 45,  //
     }}},
    {"hvs-best",
     "HVS Best",
     "DVD at low bitrates",
     "'Coding to DVD with FFMPEG' v4.2, jeanslack/Videomass-presets; HCenc's built-in hvsbest",
     {{
         8,  16, 16, 16, 17, 18, 21, 24,   //
         16, 16, 16, 16, 17, 19, 22, 25,   //
         16, 16, 17, 18, 20, 22, 25, 29,   //
         16, 16, 18, 21, 24, 27, 31, 36,   //
         17, 17, 20, 24, 30, 35, 41, 47,   //
         18, 19, 22, 27, 35, 44, 54, 65,   //
         21, 22, 25, 31, 41, 54, 70, 88,   //
         24, 25, 29, 36, 47, 65, 88, 115,  //
     }}},
    {"avamat7",
     "AVAMAT7 (AUTO-Q2)",
     "DVD at low bitrates",
     "'Coding to DVD with FFMPEG' v4.2, jeanslack/Videomass-presets; HCenc's built-in avamat7",
     {{
         8,  16, 19, 22, 26, 28, 32, 38,  //
         16, 16, 22, 24, 28, 32, 38, 44,  //
         19, 22, 26, 28, 32, 38, 44, 48,  //
         22, 22, 26, 32, 38, 44, 48, 54,  //
         22, 26, 32, 38, 44, 48, 54, 64,  //
         26, 32, 38, 44, 48, 54, 64, 74,  //
         32, 38, 44, 48, 54, 64, 74, 84,  //
         38, 44, 48, 54, 64, 74, 84, 94,  //
     }}},
};

}  // namespace

const std::vector<KnownMatrix>& KnownMatrices() {
    static const std::vector<KnownMatrix> matrices = [] {
        KnownMatrix standard{"default",
                             "MPEG-2 default",
                             "what a stream that loads no matrix of its own is decoded with",
                             "the MPEG-2 video standard's default intra matrix",
                             {}};
        std::copy(kDefaultIntraMatrix, kDefaultIntraMatrix + kMatrixEntries, standard.entries.begin());
        KnownMatrix flat{"flat16",
                         "flat 16",
                         "every frequency weighted alike",
                         "the MPEG-2 video standard's default non-intra matrix",
                         {}};
        flat.entries.fill(16);
        std::vector<KnownMatrix> all = {standard, flat};
        all.insert(all.end(), std::begin(kPublished), std::end(kPublished));
        return all;
    }();
    return matrices;
}

const KnownMatrix* FindKnownMatrix(const std::string& name) {
    for (const KnownMatrix& matrix : KnownMatrices()) {
        if (name == matrix.name) return &matrix;
    }
    return nullptr;
}

std::string KnownMatrixNames() {
    std::string names;
    for (const KnownMatrix& matrix : KnownMatrices()) names += (names.empty() ? "" : ", ") + std::string(matrix.name);
    return names;
}

namespace {

std::string Block(const KnownMatrix& matrix, size_t width) {
    const std::string name = matrix.name, indent(width + 2, ' ');
    return name + std::string(width + 2 - name.size(), ' ') + matrix.display + "\n" + indent +
           "for:  " + matrix.purpose + "\n" + indent + "from: " + matrix.source + "\n";
}

}  // namespace

std::string KnownMatricesListing() {
    size_t width = 0;
    for (const KnownMatrix& matrix : KnownMatrices()) width = std::max(width, std::string(matrix.name).size());
    std::string text;
    for (const KnownMatrix& matrix : KnownMatrices()) text += Block(matrix, width);
    return text;
}

std::string KnownMatrixText(const KnownMatrix& matrix) {
    std::string text = Block(matrix, std::string(matrix.name).size());
    for (size_t i = 0; i < matrix.entries.size(); ++i) {
        char value[16];
        std::snprintf(value, sizeof value, "%4d", int(matrix.entries[i]));
        text += value + std::string(i % 8 == 7 ? "\n" : "");
    }
    return text + "ffmpeg: " + FfmpegMatrixOption(matrix.entries, matrix.name) + "\n";
}

}  // namespace vardelk
