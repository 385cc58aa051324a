#include "interrupt.h"

#include <csignal>

namespace vardelk {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void NoteSignal(int) { interrupted = 1; }

}  // namespace

void InstallInterruptHandler() {
    std::signal(SIGINT, NoteSignal);
    std::signal(SIGTERM, NoteSignal);
}

void ThrowIfInterrupted() {
    if (interrupted) throw InterruptedError();
}

}  // namespace vardelk
