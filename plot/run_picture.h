// The comparison picture of a frame of a run (side_by_side.h), captioned
// with the input's name and the settings it was coded with, as a ClipJob
// draws it.
#pragma once

#include <cstdint>
#include <string>

#include "clip/clip_job.h"
#include "codec/types.h"

namespace vardelk {

// What the job's drawPicture does: the input, the reconstruction, their
// difference times `differenceGain` and the bits per macroblock, with a
// panel of luma SSIM per macroblock when `ssimMap` is set. Takes the job's
// input, settings, matrix and namesModel as they are when called.
ClipJob::DrawPicture RunPicture(const ClipJob& job, int32_t differenceGain, bool ssimMap);

// The settings a run codes with, for the caption of its pictures: "scale
// code 8 (qscale 16), linear mapping, matrix default, model filter", with
// the scan and field DCT when they are not the usual; `matrix` as the user
// named it.
std::string RunCaption(const CodingSettings& settings, const std::string& matrix);

}  // namespace vardelk
