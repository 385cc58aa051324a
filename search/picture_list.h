// The pictures a search is given: a picture or clip (.png, .y4m), every
// picture or clip of a folder (sorted by name), or a list file: one path a
// line, relative to the list's folder, '#' starting a comment, anything
// after the first white space ignored.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "search/coded_picture.h"

namespace vardelk {

// Appends the paths `input` stands for; throws SearchError for a folder
// that cannot be read or holds none, a list that cannot be opened or names
// none.
void ExpandPictureInput(const std::string& input, std::vector<std::string>& paths);

// Which `wanted` frames of a clip of `total` stand for it: the middle frame
// of each of `wanted` equal stretches, so that every part of a film has its
// say, in increasing order. Every frame when the clip has no more; the
// first `wanted` when its length is unknown (total < 0).
std::vector<int64_t> SpreadFrames(int64_t total, int32_t wanted);

// The pictures `inputs` stand for (ExpandPictureInput), `frames` spread over
// each clip (SpreadFrames), each named by its path and, after the first, its
// frame number ("clip.y4m#12"), prepared for `model` on `threads`.
// `checkStop` (may be empty) is asked before every frame kept and throws to
// stop.
std::vector<CodedPicture> LoadCodedPictures(const std::vector<std::string>& inputs, int32_t frames,
                                            const CodingModel& model, int32_t threads,
                                            const std::function<void()>& checkStop);

}  // namespace vardelk
