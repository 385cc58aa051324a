#include "frame_pipeline.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vardelk {

// A frame in flight. Slots form a ring: frame n lives in slot n % size.
struct FramePipeline::Slot {
    enum class State { kFree, kQueued, kBusy, kDone };
    std::unique_ptr<ClipRunner> runner;
    Y4mFrame input;
    FrameResult result;
    int64_t sequence = 0;
    State state = State::kFree;
    std::exception_ptr error;
};

struct FramePipeline::Shared {
    std::vector<Slot> slots;
    std::vector<std::thread> workers;
    std::mutex lock;
    std::condition_variable changed;
    bool stopping = false;
};

FramePipeline::FramePipeline(int32_t threads, const MakeRunner& makeRunner) : shared_(std::make_unique<Shared>()) {
    const int32_t workers = threads < 1 ? 1 : threads;
    // One frame beyond the workers' keeps them busy while the calling thread
    // reads the next frame; more only cost memory and first-touch faults.
    shared_->slots.resize(workers == 1 ? 1 : size_t(workers) + 1);
    for (Slot& slot : shared_->slots) slot.runner = makeRunner();
    if (workers > 1)
        for (int32_t t = 0; t < workers; ++t) shared_->workers.emplace_back([this] { Work(); });
}

FramePipeline::~FramePipeline() { Stop(); }

void FramePipeline::Stop() {
    {
        const std::lock_guard<std::mutex> hold(shared_->lock);
        shared_->stopping = true;
    }
    shared_->changed.notify_all();
    for (std::thread& worker : shared_->workers) worker.join();
    shared_->workers.clear();
}

// Workers take the oldest queued frame, so frames finish roughly in order.
void FramePipeline::Work() {
    Shared& s = *shared_;
    std::unique_lock<std::mutex> hold(s.lock);
    for (;;) {
        Slot* next = nullptr;
        s.changed.wait(hold, [&] {
            if (s.stopping) return true;
            for (Slot& slot : s.slots)
                if (slot.state == Slot::State::kQueued && (next == nullptr || slot.sequence < next->sequence))
                    next = &slot;
            return next != nullptr;
        });
        if (s.stopping) return;
        next->state = Slot::State::kBusy;
        hold.unlock();
        try {
            next->result = next->runner->Process(next->input);
        } catch (...) {
            next->error = std::current_exception();
        }
        hold.lock();
        next->state = Slot::State::kDone;
        s.changed.notify_all();
    }
}

void FramePipeline::Run(const Read& read, const Emit& emit) {
    Shared& s = *shared_;
    const int64_t ring = int64_t(s.slots.size());
    if (s.workers.empty()) {  // one thread: no hand-over at all
        Slot& slot = s.slots.front();
        for (int64_t n = 0; read(slot.input); ++n) {
            slot.result = slot.runner->Process(slot.input);
            slot.result.index = n;
            emit(*slot.runner, slot.input, slot.result);
        }
        return;
    }
    int64_t nextRead = 0;
    int64_t nextEmit = 0;
    bool atEnd = false;
    for (;;) {
        // Slots that are free are the calling thread's alone: read into them
        // without the lock, then queue them.
        while (!atEnd && nextRead - nextEmit < ring) {
            Slot& slot = s.slots[size_t(nextRead % ring)];
            if (!read(slot.input)) {
                atEnd = true;
                break;
            }
            {
                const std::lock_guard<std::mutex> hold(s.lock);
                slot.sequence = nextRead++;
                slot.state = Slot::State::kQueued;
            }
            s.changed.notify_all();
        }
        if (nextEmit == nextRead) return;
        Slot& slot = s.slots[size_t(nextEmit % ring)];
        {
            std::unique_lock<std::mutex> hold(s.lock);
            s.changed.wait(hold, [&] { return slot.state == Slot::State::kDone; });
        }
        if (slot.error) {
            Stop();
            std::rethrow_exception(slot.error);
        }
        slot.result.index = slot.sequence;
        emit(*slot.runner, slot.input, slot.result);
        {
            const std::lock_guard<std::mutex> hold(s.lock);
            slot.state = Slot::State::kFree;
        }
        ++nextEmit;
    }
}

}  // namespace vardelk
