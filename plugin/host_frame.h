// The module's adapter between the host's records and the codec: the
// host's slider and check-box values as the codec's settings, and the
// host's frame record run through a frame coder the way the per-frame
// callback does it (reconstruction into tempFrame, the exchange of the two
// pointers, the coefficient logs while the log box is checked). Free of
// Windows types, so that it is tested and fuzzed on every platform.
#pragma once

#include <cstdint>

#include "codec/frame_coder.h"
#include "host/frame_record.h"

namespace vardelk {

// Paths of the two log files; the module writes them to the host's current
// folder.
struct LogFileNames {
    const char* coefficients = "dct.txt";
    const char* levels = "qdct.txt";
};

// The module's settings: how to code, and whether to write the logs.
struct ModuleSettings {
    CodingSettings coding;
    bool logOutput = false;
};

// The settings of the host's one slider (the scale code, passed on as the
// host holds it) and four check boxes (non-linear scale, alternate scan,
// interlaced DCT, log output), where any non-zero value means checked.
// Missing value arrays leave the defaults; the coding model is the filter's.
ModuleSettings SettingsFromHost(const int32_t* trackValues, const int32_t* checkValues);

// Codes editFrame into tempFrame (geometry made safe as FrameCoder does,
// with maxWidth as the stride and maxHeight as the rows), exchanges the two
// pointers and returns the estimated bytes. A missing or unaddressable
// frame leaves everything as it was and gives 0 bytes. With logOutput on,
// both log files are truncated and rewritten for every frame, empty ones
// included; a file that cannot be opened is skipped. macroblockBits, when
// not null, receives each macroblock's bits as FrameOutputs describes.
int32_t CodeHostFrame(FrameCoder& coder, const ModuleSettings& settings, const int32_t matrix[kMatrixEntries],
                      host::FrameProcInfo& frame, const LogFileNames& logNames = LogFileNames{},
                      int32_t* macroblockBits = nullptr);

}  // namespace vardelk
