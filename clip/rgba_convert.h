// The RGBA conversions live in media/ now; this name stays only until
// tests/frei0r/frei0r_test.cpp includes media/rgba_convert.h.
#pragma once

#include "media/rgba_convert.h"
