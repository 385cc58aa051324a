// The frames of a clip coded on several threads at once and handed back in
// their order: the calling thread reads and emits, worker threads code.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "clip_runner.h"

namespace vardelk {

class FramePipeline {
public:
    using MakeRunner = std::function<std::unique_ptr<ClipRunner>()>;
    // Fills `frame` with the next frame; false when there is none.
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
    // pipeline and is rethrown here once no worker touches a frame any more.
    void Run(const Read& read, const Emit& emit);

private:
    struct Slot;
    struct Shared;
    void Work();
    void Stop();

    std::unique_ptr<Shared> shared_;
};

}  // namespace vardelk
