#include "clip/frame_pipeline.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vardelk {

// A frame in flight. Slots form a ring: frame n lives in slot n % size.
struct FramePipeline::Slot {
    std::unique_ptr<ClipRunner> runner;
    Y4mFrame input;
    FrameResult result;
    bool done = false;
    std::exception_ptr error;
};

// Each worker reads the next frame itself, under the read lock, so frames
// are read in their order and land in the cache of the core that codes
// them; the calling thread only hands the finished frames on, in order.
struct FramePipeline::Shared {
    std::vector<Slot> slots;
    int32_t workerCount = 1;
    std::mutex readLock;  // held while a frame is claimed and read
    std::mutex lock;      // the counters and the slots' done flags
    std::condition_variable changed;
    int64_t nextRead = 0;  // frames claimed by a reader
    int64_t nextEmit = 0;  // frames handed on
    bool atEnd = false;    // the source is exhausted, or a read failed
    bool stopping = false;
};

FramePipeline::FramePipeline(int32_t threads, const MakeRunner& makeRunner) : shared_(std::make_unique<Shared>()) {
    shared_->workerCount = threads < 1 ? 1 : threads;
    // One frame beyond the workers' lets a worker read ahead while the
    // oldest frame waits to be handed on; more only cost memory and
    // first-touch faults.
    shared_->slots.resize(shared_->workerCount == 1 ? 1 : size_t(shared_->workerCount) + 1);
    for (Slot& slot : shared_->slots) slot.runner = makeRunner();
}

FramePipeline::~FramePipeline() = default;

// Claims the next frame and reads it into its slot, or returns false at the
// end (or when the pipeline stops). A read that throws ends the clip there;
// the error is handed on in the frame's place.
bool FramePipeline::ReadNext(const Read& read, Slot*& slot) {
    Shared& s = *shared_;
    const int64_t ring = int64_t(s.slots.size());
    const std::lock_guard<std::mutex> reading(s.readLock);
    int64_t sequence = 0;
    {
        std::unique_lock<std::mutex> hold(s.lock);
        s.changed.wait(hold, [&] { return s.stopping || s.atEnd || s.nextRead - s.nextEmit < ring; });
        if (s.stopping || s.atEnd) return false;
        sequence = s.nextRead;
    }
    slot = &s.slots[size_t(sequence % ring)];  // free: the claim above keeps every other thread off it
    bool more = false;
    try {
        more = read(slot->input);
    } catch (...) {
        slot->error = std::current_exception();
    }
    const std::lock_guard<std::mutex> hold(s.lock);
    if (!more || slot->error) s.atEnd = true;
    if (!more && !slot->error) return false;
    ++s.nextRead;
    return true;
}

void FramePipeline::Work(const Read& read) {
    Shared& s = *shared_;
    for (;;) {
        Slot* slot = nullptr;
        if (!ReadNext(read, slot)) break;
        if (!slot->error) {
            try {
                slot->result = slot->runner->Process(slot->input);
            } catch (...) {
                slot->error = std::current_exception();
            }
        }
        {
            const std::lock_guard<std::mutex> hold(s.lock);
            slot->done = true;
        }
        s.changed.notify_all();
    }
    s.changed.notify_all();  // the calling thread may be waiting for the end
}

void FramePipeline::Run(const Read& read, const Emit& emit) {
    Shared& s = *shared_;
    if (s.workerCount == 1) {  // one thread: no hand-over at all
        Slot& slot = s.slots.front();
        for (int64_t n = 0; read(slot.input); ++n) {
            slot.result = slot.runner->Process(slot.input);
            slot.result.index = n;
            emit(*slot.runner, slot.input, slot.result);
        }
        return;
    }
    std::vector<std::thread> workers;
    auto stop = [&] {
        {
            const std::lock_guard<std::mutex> hold(s.lock);
            s.stopping = true;
        }
        s.changed.notify_all();
        for (std::thread& worker : workers) worker.join();
        workers.clear();
    };
    for (int32_t t = 0; t < s.workerCount; ++t) workers.emplace_back([this, &read] { Work(read); });
    const int64_t ring = int64_t(s.slots.size());
    try {
        for (;;) {
            Slot& slot = s.slots[size_t(s.nextEmit % ring)];
            {
                std::unique_lock<std::mutex> hold(s.lock);
                s.changed.wait(hold, [&] { return slot.done || (s.atEnd && s.nextEmit == s.nextRead); });
                if (!slot.done) break;  // every frame read has been handed on
            }
            if (slot.error) std::rethrow_exception(slot.error);
            slot.result.index = s.nextEmit;
            emit(*slot.runner, slot.input, slot.result);
            {
                const std::lock_guard<std::mutex> hold(s.lock);
                slot.done = false;
                ++s.nextEmit;
            }
            s.changed.notify_all();
        }
    } catch (...) {
        stop();
        throw;
    }
    stop();
}

}  // namespace vardelk
