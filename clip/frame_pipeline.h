// The frames of a clip coded on several threads at once and handed back in
// their order: worker threads read (one at a time, in order) and code, the
// calling thread hands the results on.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "clip/clip_runner.h"

namespace vardelk {

class FramePipeline {
public:
    using MakeRunner = std::function<std::unique_ptr<ClipRunner>()>;
    // Fills `frame` with the next frame; false when there is none. Called by
    // one thread at a time, not always the same one.
    using Read = std::function<bool(Y4mFrame& frame)>;
    // Receives each frame in order with the runner that coded it, whose
    // reconstruction and macroblock bits are that frame's until Emit returns.
    using Emit = std::function<void(const ClipRunner& runner, const Y4mFrame& input, const FrameResult& result)>;

    // `threads` workers (1: everything on the calling thread), each frame in
    // flight with a runner of its own.
    FramePipeline(int32_t threads, const MakeRunner& makeRunner);
    ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // Runs the whole clip. An exception from Read, Emit or a worker stops the
    // pipeline and is rethrown here, in the frame's place, once no worker
    // touches a frame any more.
    void Run(const Read& read, const Emit& emit);

private:
    struct Slot;
    struct Shared;
    bool ReadNext(const Read& read, Slot*& slot);
    void Work(const Read& read);

    std::unique_ptr<Shared> shared_;
};

}  // namespace vardelk
