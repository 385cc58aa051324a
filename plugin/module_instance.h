// Everything the module keeps between the host's calls. The host's C
// interface passes nothing of the module's own back to it (only the host's
// records), so the module holds exactly one of these, made when the host
// loads it, and every export and callback works on that one.
#pragma once

#include <optional>

#include "codec/frame_coder.h"
#include "editor/editor_window.h"
#include "host/filter_record.h"
#include "matrix/current_matrix.h"

namespace vardelk {

struct ModuleInstance {
    ModuleInstance();
    ModuleInstance(const ModuleInstance&) = delete;
    ModuleInstance& operator=(const ModuleInstance&) = delete;

    // The matrix and its history; the matrix is also the filter's extra
    // data, so the host may overwrite it with anything: the frame path reads
    // it clamped and never writes it, the editor's commands write it.
    CurrentMatrix matrix;
    EditorWindow editor{matrix};
    // The host calls on one thread, one frame at a time: one coder serves
    // every frame, made when the first one arrives.
    std::optional<FrameCoder> coder;
    // What GetFilterTable hands out; the host copies it into its record.
    host::FilterDescriptor descriptor;
};

// The module's one instance.
ModuleInstance& TheModule();

}  // namespace vardelk
