// The sources of frames live in clip/; this name stays for the search
// command's include until it names clip/clip_source.h itself.
#pragma once

#include "clip/clip_source.h"
