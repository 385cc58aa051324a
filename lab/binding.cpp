// The lab's core as the page's worker sees it: one picture, the settings, the
// matrix with its history of applied versions, and the frame coder, behind a
// C interface. LabCreate() makes a lab and returns it; every other function
// takes that lab first (also those that only answer with the core's
// constants, so that the worker calls them all alike), and LabDestroy()
// frees it. Buffers live in the module's memory; the worker reads them
// through the pointers returned here (which stay valid until the next call
// that changes the picture).
//
// The picture takes the command line's path exactly: 8-bit RGB, the same
// studio-range conversion to a 4:4:4 frame, the same YC samples, the same
// coder and the same conversion back, so bytes, reconstruction and PSNR are
// those of `vardelk -i picture.png`, and so are its SSIM figures.
#include <emscripten/emscripten.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "codec/coding_model.h"
#include "codec/cpu.h"
#include "codec/frame_coder.h"
#include "lab/matrix_io.h"
#include "lab/ssimulacra2_view.h"
#include "lab/views.h"
#include "matrix/box_value.h"
#include "matrix/current_matrix.h"
#include "matrix/known_matrices.h"
#include "media/coded_planes.h"
#include "media/demo_picture.h"
#include "media/psnr.h"
#include "media/rgb_convert.h"
#include "media/yc_convert.h"
#include "quality/ssim.h"
#include "quality/ssimulacra2.h"

namespace vardelk {
namespace {

// The largest picture the lab takes: 4096 pixels a side and no more pixels
// than 3840x2160, which keeps the working buffers (about 50 bytes a pixel)
// well inside the browser's memory for a worker.
constexpr int32_t kMaxSide = 4096;
constexpr int64_t kMaxPixels = 3840 * 2160;

// Box texts as the page's matrix boxes hold them, NUL-terminated.
constexpr int kBoxTextBytes = 256;

enum View { kInputView, kReconstructionView, kDifferenceView, kHeatMapView, kSsimMapView, kViewCount };
constexpr int32_t kDifferenceGain = 8;
constexpr int32_t kMacroblockSide = 16;

// One coded frame: the coder, its output and what is measured from it.
struct CodedFrame {
    FrameCoder coder{DetectedCpuFlags()};
    std::vector<Pixel> output;
    Y4mFrame reconstruction;
    std::vector<int32_t> macroblockBits;
    int32_t bytes = 0;
    FrameError error;
    FrameSsim ssim;
};

struct Lab {
    Y4mFormat format;
    Y4mFrame source;  // the picture as 8-bit 4:4:4 Y'CbCr
    std::vector<Pixel> input;
    CodedFrame current;

    // The rate-distortion point being coded, apart from the shown frame.
    FrameCoder sweepCoder{DetectedCpuFlags()};
    std::vector<Pixel> sweepOutput;
    int32_t sweepBytes = 0;
    double sweepSquaredError = 0.0;
    std::vector<uint8_t> views[kViewCount];
    bool viewFresh[kViewCount] = {};

    std::vector<uint8_t> staging;  // RGBA of a picture not yet taken
    int32_t stagingWidth = 0, stagingHeight = 0;

    CodingSettings settings;
    CurrentMatrix matrix;  // with the history of applied matrices
    char boxTexts[kMatrixEntries][kBoxTextBytes] = {};
    int32_t boxCorrected[kMatrixEntries] = {};

    // Matrix files: the page's file, name and form (NUL-terminated) in
    // three slots; the text written and the last message.
    std::string slots[3];
    std::string text;
    std::string message;
    std::string form;
    double ssimMapWorst = 1.0;
    // The perceptual score of the last measured frame and its map.
    double ssimulacra2 = 0.0;
    double ssimulacra2Top = 0.0;
    std::vector<uint8_t> ssimulacra2View;
    // The picture's half of the measure, kept while the picture stays.
    std::unique_ptr<Ssimulacra2Original> ssimulacra2Original;
    int32_t ssimulacra2Picture = -1;

    std::string modelText;  // the model's description, or its note
};

bool FitsCap(int32_t width, int32_t height) {
    return width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide &&
           int64_t(width) * height <= kMaxPixels;
}

void SizeCodedFrame(CodedFrame& frame, const Y4mFormat& format) {
    frame.output.assign(size_t(format.width) * size_t(format.height), Pixel{0, 0, 0});
    frame.reconstruction.Allocate(format);
    frame.macroblockBits.assign(size_t(MacroblockColumns(format.width)) * size_t(MacroblockRows(format.height)), 0);
    frame.bytes = 0;
    frame.error = FrameError{};
    frame.ssim = FrameSsim{};
}

// Makes an RGB picture the lab's picture; the frame is coded on the next
// LabCode().
void TakePicture(Lab& lab, const RgbImage& image) {
    lab.format = FormatForRgb(image.width, image.height);
    RgbToFrame(image, lab.source);
    lab.input.assign(size_t(image.width) * size_t(image.height), Pixel{0, 0, 0});
    Y4mToYc(lab.format, lab.source, lab.input.data(), lab.format.width);
    SizeCodedFrame(lab.current, lab.format);
    lab.sweepOutput.assign(lab.input.size(), Pixel{0, 0, 0});
    for (int v = 0; v < kViewCount; ++v) {
        lab.views[v].assign(size_t(image.width) * size_t(image.height) * 4, 0);
        lab.viewFresh[v] = false;
    }
    FrameToRgba(lab.source, lab.format.width, lab.format.height, lab.views[kInputView].data());
    lab.viewFresh[kInputView] = true;
}

// Makes the built-in scene (720x486) the picture.
void UseScene(Lab& lab) {
    RgbImage scene;
    scene.Resize(kDemoWidth, kDemoHeight);
    DrawDemoScene(scene, 0);
    TakePicture(lab, scene);
}

void Code(Lab& lab, CodedFrame& frame, const CodingSettings& settings, const int32_t* matrix) {
    const FrameGeometry geometry{lab.format.width, lab.format.height, lab.format.width, lab.format.height};
    FrameOutputs outputs;
    outputs.macroblockBits = frame.macroblockBits.data();
    frame.bytes = frame.coder.CodeFrame(settings, matrix, lab.input.data(), frame.output.data(), geometry, outputs);
    YcToY4m(lab.format, frame.output.data(), lab.format.width, frame.reconstruction);
    frame.error = CompareFrames(lab.source, frame.reconstruction);
    frame.ssim = FrameSsim{};
}

// Makes `typed` (values as read, before clamping) the matrix, as Apply
// does: every entry clamped to 1..4095 and flagged when that changed it; a
// matrix that differs from the current snapshot is recorded right after it
// and becomes current. Returns 1 when the matrix changed, else 0.
int32_t TakeMatrix(Lab& lab, const int32_t typed[kMatrixEntries]) {
    int32_t* matrix = lab.matrix.Entries();
    for (int i = 0; i < kMatrixEntries; ++i) {
        matrix[i] = ClampMatrixEntry(typed[i]);
        lab.boxCorrected[i] = matrix[i] != typed[i];
    }
    return lab.matrix.Commit() ? 1 : 0;
}

double PlanePsnr(const FrameError& error, int32_t plane) {
    switch (plane) {
        case 0:
            return error.y.Psnr();
        case 1:
            return error.cb.Psnr();
        default:
            return error.cr.Psnr();
    }
}

// What the model's encoder could not carry of the matrix: a real encoder's
// stream holds 8-bit entries, so an AC entry above 255 (the DC weight is
// never used for intra blocks). Empty for the filter's rule, which takes
// every entry, and for a matrix that fits.
std::string ModelNote(const CodingModel& model, const int32_t* matrix) {
    const EntriesAbove above = AcEntriesAbove(matrix, model.MaxMatrixEntry());
    const int32_t first = above.first, count = above.count;
    if (count == 0) {
        return {};
    }
    const std::string name = PresetName(PresetOfRule(model.rule));
    std::string note = name + " streams carry matrix entries up to " + std::to_string(model.MaxMatrixEntry()) +
                       ", but entry " + std::to_string(first + 1) + " (row " + std::to_string(first / 8 + 1) +
                       ", column " + std::to_string(first % 8 + 1) + ") of the matrix in effect is " +
                       std::to_string(matrix[first]);
    if (count > 1) {
        note +=
            " (and " + std::to_string(count - 1) + " more " + (count == 2 ? "entry is" : "entries are") + " above it)";
    }
    return note + ". The figures code the matrix as it is; no " + name + " stream could.";
}

}  // namespace
}  // namespace vardelk

using namespace vardelk;

extern "C" {

// A new lab with the built-in scene, the default matrix as the one snapshot
// of the history, and scale code 1 with every flag off.
EMSCRIPTEN_KEEPALIVE Lab* LabCreate() {
    Lab* lab = new Lab;
    std::memcpy(lab->matrix.Entries(), kDefaultIntraMatrix, kMatrixBytes);
    lab->matrix.StartHistory();
    UseScene(*lab);
    return lab;
}

EMSCRIPTEN_KEEPALIVE void LabDestroy(Lab* lab) { delete lab; }

// Makes the built-in scene (720x486) the picture.
EMSCRIPTEN_KEEPALIVE void LabUseScene(Lab* lab) { UseScene(*lab); }

EMSCRIPTEN_KEEPALIVE int32_t LabMaxSide(Lab*) { return kMaxSide; }
EMSCRIPTEN_KEEPALIVE double LabMaxPixels(Lab*) { return double(kMaxPixels); }

// Room for a width x height RGBA picture, or null when it exceeds the cap.
// The current picture stays until LabTakeStaged().
EMSCRIPTEN_KEEPALIVE uint8_t* LabStage(Lab* lab, int32_t width, int32_t height) {
    if (!FitsCap(width, height)) {
        return nullptr;
    }
    lab->staging.assign(size_t(width) * size_t(height) * 4, 0);
    lab->stagingWidth = width;
    lab->stagingHeight = height;
    return lab->staging.data();
}

// Takes the staged RGBA picture. Alpha is composited onto black, as the
// command line reads a PNG with transparency; opaque pictures are taken as
// they are. Returns 0 when nothing is staged.
EMSCRIPTEN_KEEPALIVE int32_t LabTakeStaged(Lab* lab) {
    if (lab->staging.empty()) {
        return 0;
    }
    RgbImage image;
    image.Resize(lab->stagingWidth, lab->stagingHeight);
    const size_t pixels = size_t(lab->stagingWidth) * size_t(lab->stagingHeight);
    for (size_t i = 0; i < pixels; ++i) {
        const uint8_t* in = &lab->staging[i * 4];
        const int32_t alpha = in[3];
        for (size_t c = 0; c < 3; ++c) {
            image.rgb[i * 3 + c] = uint8_t((in[c] * alpha + 127) / 255);
        }
    }
    std::vector<uint8_t>().swap(lab->staging);
    TakePicture(*lab, image);
    return 1;
}

EMSCRIPTEN_KEEPALIVE int32_t LabWidth(Lab* lab) { return lab->format.width; }
EMSCRIPTEN_KEEPALIVE int32_t LabHeight(Lab* lab) { return lab->format.height; }

EMSCRIPTEN_KEEPALIVE void LabSetSettings(Lab* lab, int32_t scaleCode, int32_t nonLinearScale, int32_t alternateScan,
                                         int32_t interlacedDct) {
    lab->settings.scaleCode = scaleCode;
    lab->settings.nonLinearScale = nonLinearScale != 0;
    lab->settings.alternateScan = alternateScan != 0;
    lab->settings.interlacedDct = interlacedDct != 0;
}

// The encoders the page offers, by index ("filter" first): each one's name
// and defaults of AC table (intra_vlc 0 or 1) and DC precision (bits).
EMSCRIPTEN_KEEPALIVE int32_t LabEncoderCount(Lab*) { return kEncoderPresets; }
EMSCRIPTEN_KEEPALIVE const char* LabEncoderName(Lab*, int32_t index) {
    return index < 0 || index >= kEncoderPresets ? nullptr : PresetName(EncoderPreset(index));
}
EMSCRIPTEN_KEEPALIVE int32_t LabEncoderIntraVlc(Lab*, int32_t index) {
    return index < 0 || index >= kEncoderPresets ? -1 : PresetModel(EncoderPreset(index)).intraVlcFormat;
}
EMSCRIPTEN_KEEPALIVE int32_t LabEncoderDcPrecision(Lab*, int32_t index) {
    return index < 0 || index >= kEncoderPresets ? -1 : PresetModel(EncoderPreset(index)).dcPrecision;
}

// Codes from now on with the encoder's rule, the AC table and the DC
// precision given. Returns 0 and changes nothing when any is out of range.
EMSCRIPTEN_KEEPALIVE int32_t LabSetModel(Lab* lab, int32_t encoder, int32_t intraVlc, int32_t dcPrecision) {
    if (encoder < 0 || encoder >= kEncoderPresets || (intraVlc != kMpegVlcTable && intraVlc != kIntraVlcTable) ||
        dcPrecision < kMinDcPrecision || dcPrecision > kMaxDcPrecision) {
        return 0;
    }
    CodingModel model = PresetModel(EncoderPreset(encoder));
    model.intraVlcFormat = intraVlc;
    model.dcPrecision = dcPrecision;
    lab->settings.model = model;
    return 1;
}
// The model in effect as the command line names it: "ffmpeg (dc 10)".
EMSCRIPTEN_KEEPALIVE const char* LabModelDescription(Lab* lab) {
    lab->modelText = DescribeModel(lab->settings.model);
    return lab->modelText.c_str();
}
// Empty when the model's encoder can carry the matrix in effect; otherwise
// a sentence naming the first entry it cannot. The frame is coded either way.
EMSCRIPTEN_KEEPALIVE const char* LabModelNote(Lab* lab) {
    lab->modelText = ModelNote(lab->settings.model, lab->matrix.Entries());
    return lab->modelText.c_str();
}

// Codes the picture with the current settings and matrix; returns the bytes.
EMSCRIPTEN_KEEPALIVE int32_t LabCode(Lab* lab) {
    Code(*lab, lab->current, lab->settings, lab->matrix.Entries());
    for (int v = kReconstructionView; v < kViewCount; ++v) lab->viewFresh[v] = false;
    return lab->current.bytes;
}

EMSCRIPTEN_KEEPALIVE int32_t LabBytes(Lab* lab) { return lab->current.bytes; }
// PSNR of plane 0 (Y), 1 (Cb) or 2 (Cr) in dB; infinity for identical planes.
EMSCRIPTEN_KEEPALIVE double LabPsnr(Lab* lab, int32_t plane) { return PlanePsnr(lab->current.error, plane); }
// Measures the SSIM of the last coded frame (a separate step, so that the
// worker can time it).
EMSCRIPTEN_KEEPALIVE void LabMeasureSsim(Lab* lab) {
    lab->current.ssim = CompareFramesSsim(lab->format, lab->source, lab->current.reconstruction);
}
// After LabMeasureSsim(): SSIM of plane 0 (Y), 1 (Cb), 2 (Cr) or 3 (all,
// weighted by samples); NaN for a plane too small to measure. LabSsimDb() is
// the overall figure in dB.
EMSCRIPTEN_KEEPALIVE double LabSsim(Lab* lab, int32_t plane) {
    const FrameSsim& s = lab->current.ssim;
    return (plane == 0 ? s.y : plane == 1 ? s.cb : plane == 2 ? s.cr : s.all).Ssim();
}
EMSCRIPTEN_KEEPALIVE double LabSsimDb(Lab* lab) { return lab->current.ssim.all.Db(); }
EMSCRIPTEN_KEEPALIVE const int32_t* LabMacroblockBits(Lab* lab) { return lab->current.macroblockBits.data(); }
EMSCRIPTEN_KEEPALIVE int32_t LabMacroblockColumns(Lab* lab) { return MacroblockColumns(lab->format.width); }
EMSCRIPTEN_KEEPALIVE int32_t LabMacroblockRows(Lab* lab) { return MacroblockRows(lab->format.height); }
// The reconstruction as YC pixels (6 bytes each, rows `width` apart) and as
// 8-bit 4:4:4 planes (0 Y, 1 Cb, 2 Cr).
EMSCRIPTEN_KEEPALIVE const Pixel* LabReconstructionYc(Lab* lab) { return lab->current.output.data(); }
EMSCRIPTEN_KEEPALIVE const uint8_t* LabReconstructionPlane(Lab* lab, int32_t plane) {
    const Y4mFrame& frame = lab->current.reconstruction;
    return plane == 0 ? frame.y.data() : plane == 1 ? frame.cb.data() : frame.cr.data();
}

// One view of the last coded frame as RGBA, width x height x 4 bytes:
// 0 input, 1 reconstruction, 2 difference x8, 3 bits per macroblock,
// 4 luma SSIM per macroblock. Views are drawn when first asked for.
EMSCRIPTEN_KEEPALIVE const uint8_t* LabView(Lab* lab, int32_t view) {
    if (view < 0 || view >= kViewCount) {
        return nullptr;
    }
    if (!lab->viewFresh[view]) {
        const int32_t w = lab->format.width, h = lab->format.height;
        if (view == kDifferenceView || view == kReconstructionView) {
            if (!lab->viewFresh[kReconstructionView]) {
                FrameToRgba(lab->current.reconstruction, w, h, lab->views[kReconstructionView].data());
                lab->viewFresh[kReconstructionView] = true;
            }
            if (view == kDifferenceView) {
                DifferenceRgba(lab->views[kInputView].data(), lab->views[kReconstructionView].data(), w * h,
                               kDifferenceGain, lab->views[kDifferenceView].data());
            }
        } else if (view == kHeatMapView) {
            HeatMapRgba(lab->views[kInputView].data(), w, h, lab->current.macroblockBits.data(), MacroblockColumns(w),
                        lab->views[kHeatMapView].data());
        } else if (view == kSsimMapView) {
            const std::vector<double> map =
                MacroblockSsimMap(lab->source.y.data(), w, lab->current.reconstruction.y.data(), w, w, h);
            lab->ssimMapWorst = SsimMapRgba(lab->views[kInputView].data(), w, h, map.data(), MacroblockColumns(w),
                                            lab->views[kSsimMapView].data());
        }
        lab->viewFresh[view] = true;
    }
    return lab->views[view].data();
}
// The lowest macroblock SSIM of the last SSIM view drawn: the top of its scale.
EMSCRIPTEN_KEEPALIVE double LabSsimMapWorst(Lab* lab) { return lab->ssimMapWorst; }

// A point of a rate-distortion curve is coded in bands of macroblock rows,
// so that the worker can take the page's messages between bands. Rows are
// coded independently (predictors reset, bytes rounded per row), so the bands
// add up to exactly the whole frame's bytes; the luma error is summed as the
// command line measures it. The shown frame is left as it is.
EMSCRIPTEN_KEEPALIVE void LabSweepBegin(Lab* lab) {
    lab->sweepBytes = 0;
    lab->sweepSquaredError = 0.0;
}
// Codes macroblock rows firstRow .. firstRow + rowCount - 1 at a scale code,
// with the current flags and either the current (0) or the default (1)
// matrix. Returns the number of the next row, or 0 when the frame is done.
EMSCRIPTEN_KEEPALIVE int32_t LabSweepBand(Lab* lab, int32_t scaleCode, int32_t defaultMatrix, int32_t firstRow,
                                          int32_t rowCount) {
    const int32_t rows = MacroblockRows(lab->format.height);
    if (firstRow < 0 || rowCount < 1 || firstRow >= rows) {
        return 0;
    }
    const int32_t lastRow = std::min(rows, firstRow + rowCount);
    const int32_t top = firstRow * kMacroblockSide;
    const int32_t height = std::min(lab->format.height, lastRow * kMacroblockSide) - top;
    const size_t offset = size_t(top) * size_t(lab->format.width);
    CodingSettings settings = lab->settings;
    settings.scaleCode = scaleCode;
    const FrameGeometry geometry{lab->format.width, height, lab->format.width, height};
    lab->sweepBytes +=
        lab->sweepCoder.CodeFrame(settings, defaultMatrix != 0 ? kDefaultIntraMatrix : lab->matrix.Entries(),
                                  lab->input.data() + offset, lab->sweepOutput.data(), geometry);
    const size_t samples = size_t(height) * size_t(lab->format.width);
    int64_t squaredError = 0;
    for (size_t i = 0; i < samples; ++i) {
        const int32_t d = int32_t(YcToSample(lab->sweepOutput[i].y)) - int32_t(lab->source.y[offset + i]);
        squaredError += d * d;
    }
    lab->sweepSquaredError += double(squaredError);
    return lastRow < rows ? lastRow : 0;
}
EMSCRIPTEN_KEEPALIVE int32_t LabSweepBytes(Lab* lab) { return lab->sweepBytes; }
EMSCRIPTEN_KEEPALIVE double LabSweepPsnrY(Lab* lab) {
    PlaneError error;
    error.squaredError = lab->sweepSquaredError;
    error.samples = double(lab->format.width) * double(lab->format.height);
    return error.Psnr();
}

// The matrix in effect and the default one (the page's "default" preset),
// 64 entries row-major.
EMSCRIPTEN_KEEPALIVE const int32_t* LabMatrix(Lab* lab) { return lab->matrix.Entries(); }
EMSCRIPTEN_KEEPALIVE const int32_t* LabDefaultMatrix(Lab*) { return kDefaultIntraMatrix; }

// The matrices known by name, as the page's Preset menu offers them: the
// default and flat 16 first, then the published ones. Field 0 is the name,
// 1 the name it was published under, 2 what it is for, 3 where it comes
// from; null past either end.
EMSCRIPTEN_KEEPALIVE int32_t LabKnownMatrixCount(Lab*) { return int32_t(KnownMatrices().size()); }
EMSCRIPTEN_KEEPALIVE const char* LabKnownMatrixText(Lab*, int32_t index, int32_t field) {
    if (index < 0 || size_t(index) >= KnownMatrices().size()) return nullptr;
    const KnownMatrix& known = KnownMatrices()[size_t(index)];
    const char* fields[] = {known.name, known.display, known.purpose, known.source};
    return field < 0 || field > 3 ? nullptr : fields[field];
}
// Its 64 entries, row-major.
EMSCRIPTEN_KEEPALIVE const int32_t* LabKnownMatrix(Lab*, int32_t index) {
    return index < 0 || size_t(index) >= KnownMatrices().size() ? nullptr
                                                                : KnownMatrices()[size_t(index)].entries.data();
}

// The page writes the 64 box texts here (entry i at i x 256 bytes, each
// NUL-terminated) before LabApply().
EMSCRIPTEN_KEEPALIVE char* LabBoxTexts(Lab* lab) { return &lab->boxTexts[0][0]; }
EMSCRIPTEN_KEEPALIVE int32_t LabBoxTextBytes(Lab*) { return kBoxTextBytes; }
// After LabApply(): 1 for every box whose value had to be clamped, so that
// the page shows the value taken instead of the text typed.
EMSCRIPTEN_KEEPALIVE const int32_t* LabBoxCorrected(Lab* lab) { return lab->boxCorrected; }

// Takes the 64 box texts into the matrix: each parsed as a decimal number
// (0 when it holds none) and clamped to 1..4095. A matrix that differs from
// the current snapshot is recorded right after it and becomes current.
// Returns 1 when the matrix changed, else 0.
EMSCRIPTEN_KEEPALIVE int32_t LabApply(Lab* lab) {
    int32_t typed[kMatrixEntries];
    for (int i = 0; i < kMatrixEntries; ++i) {
        lab->boxTexts[i][kBoxTextBytes - 1] = '\0';
        typed[i] = ParseBoxText(lab->boxTexts[i]);
    }
    return TakeMatrix(*lab, typed);
}

// Room for `bytes` bytes in slot 0 (a matrix file's bytes), 1 (its name) or
// 2 (a form's name, empty to recognise the form); null for another slot.
EMSCRIPTEN_KEEPALIVE char* LabSlot(Lab* lab, int32_t slot, int32_t bytes) {
    if (slot < 0 || slot > 2 || bytes < 0) {
        return nullptr;
    }
    lab->slots[slot].assign(size_t(bytes), '\0');
    return lab->slots[slot].data();
}

EMSCRIPTEN_KEEPALIVE int32_t LabMaxMatrixFileBytes(Lab*) { return int32_t(kMaxMatrixFileBytes); }

// The form names the page offers, "plain" first.
EMSCRIPTEN_KEEPALIVE int32_t LabMatrixFormCount(Lab*) { return int32_t(MatrixFormCount()); }
EMSCRIPTEN_KEEPALIVE const char* LabMatrixFormName(Lab*, int32_t index) {
    return index < 0 ? nullptr : MatrixFormName(size_t(index));
}

// Reads the file of slot 0 (named by slot 1, in the form of slot 2) and
// takes its matrix as LabApply() takes the boxes. Returns 1 when the matrix
// changed, 0 when it was the one in effect, -1 when the file was refused
// (LabMessage() says why; nothing changes).
EMSCRIPTEN_KEEPALIVE int32_t LabImportMatrix(Lab* lab) {
    const MatrixFileResult read = ImportMatrix(lab->slots[0], lab->slots[1].c_str(), lab->slots[2].c_str());
    std::string().swap(lab->slots[0]);
    lab->message = read.message;
    lab->form = read.form;
    return read.ok ? TakeMatrix(*lab, read.entries.data()) : -1;
}

// Writes the matrix in effect in the form of slot 2, for the file named by
// slot 1. Returns 1 with the file in LabText(), or 0 when the form cannot
// hold the matrix (LabMessage() says which entry).
EMSCRIPTEN_KEEPALIVE int32_t LabExportMatrix(Lab* lab) {
    MatrixEntries matrix;
    std::copy(lab->matrix.Entries(), lab->matrix.Entries() + kMatrixEntries, matrix.begin());
    MatrixFileResult written = ExportMatrix(matrix, lab->slots[1].c_str(), lab->slots[2].c_str());
    lab->message = written.message;
    lab->form = written.form;
    lab->text = std::move(written.text);
    return written.ok ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE const char* LabText(Lab* lab) { return lab->text.data(); }
EMSCRIPTEN_KEEPALIVE int32_t LabTextLength(Lab* lab) { return int32_t(lab->text.size()); }
EMSCRIPTEN_KEEPALIVE const char* LabMessage(Lab* lab) { return lab->message.c_str(); }
// The form of the last file read or written.
EMSCRIPTEN_KEEPALIVE const char* LabMatrixForm(Lab* lab) { return lab->form.c_str(); }

// Steps back (-1) or forward (+1) through the applied matrices and makes the
// snapshot there the matrix. Returns 1 when it moved, 0 at either end.
EMSCRIPTEN_KEEPALIVE int32_t LabStep(Lab* lab, int32_t direction) {
    return (direction < 0 ? lab->matrix.StepBack() : lab->matrix.StepForward()) ? 1 : 0;
}

// Where the current snapshot stands: position (from 1) and count.
EMSCRIPTEN_KEEPALIVE int32_t LabHistoryPosition(Lab* lab) { return lab->matrix.Position(); }
EMSCRIPTEN_KEEPALIVE int32_t LabHistoryCount(Lab* lab) { return lab->matrix.SnapshotCount(); }

// Measures the perceptual score of the last coded frame and draws its map
// (a step of its own, which the worker runs after posting the frame): the
// picture's 4:2:0 planes (each chroma sample the rounded mean of its square)
// against the reconstruction, both to RGB through FrameToRgb, as every face
// scores a coded frame. The picture's half of the work is kept for as long
// as the page's picture number `picture` stays. Returns the score (NaN
// under 8 pixels a side).
EMSCRIPTEN_KEEPALIVE double LabMeasureSsimulacra2(Lab* lab, int32_t picture) {
    if (!lab->ssimulacra2Original || lab->ssimulacra2Picture != picture ||
        lab->ssimulacra2Original->Width() != lab->format.width ||
        lab->ssimulacra2Original->Height() != lab->format.height) {
        // The 4:2:0 planes the coder codes, as every face scores against.
        Y4mFormat planesFormat;
        Y4mFrame planes;
        CodedPlanes420(lab->format, lab->source, planesFormat, planes);
        lab->ssimulacra2Original.reset();
        lab->ssimulacra2Original =
            std::make_unique<Ssimulacra2Original>(planesFormat, planes, Ssimulacra2Options{1, DetectedCpuFlags()});
        lab->ssimulacra2Picture = picture;
    }
    Ssimulacra2Map map;
    lab->ssimulacra2 = lab->ssimulacra2Original->Score(lab->format, lab->current.reconstruction, &map);
    lab->ssimulacra2View.assign(size_t(lab->format.width) * size_t(lab->format.height) * 4, 0);
    lab->ssimulacra2Top = Ssimulacra2MapRgba(lab->views[kInputView].data(), map, lab->ssimulacra2View.data());
    return lab->ssimulacra2;
}
EMSCRIPTEN_KEEPALIVE double LabSsimulacra2(Lab* lab) { return lab->ssimulacra2; }
// The map as RGBA (width x height x 4 bytes) and the error at the top of its
// ramp.
EMSCRIPTEN_KEEPALIVE const uint8_t* LabSsimulacra2Map(Lab* lab) { return lab->ssimulacra2View.data(); }
EMSCRIPTEN_KEEPALIVE double LabSsimulacra2MapTop(Lab* lab) { return lab->ssimulacra2Top; }

}  // extern "C"
