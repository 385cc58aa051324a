#include "progress.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdio>

namespace vardelk {
namespace {

constexpr double kDelaySeconds = 0.5;
constexpr double kRedrawSeconds = 0.1;

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

Progress::Progress(int64_t total, bool enabled)
    : total_(total), enabled_(enabled), start_(Clock::now()), lastDraw_(start_) {}

Progress::~Progress() { Finish(); }

void Progress::Update(int64_t done, bool force) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    const double elapsed = Seconds(now - start_);
    if (elapsed < kDelaySeconds || (!force && shown_ && Seconds(now - lastDraw_) < kRedrawSeconds)) return;
    lastDraw_ = now;
    shown_ = true;
    const double rate = done / elapsed;
    if (total_ > 0 && done <= total_) {
        const int64_t left = rate > 0 ? int64_t((total_ - done) / rate + 0.5) : 0;
        std::fprintf(stderr, "\r\033[K%" PRId64 "/%" PRId64 " frames  %.1f fps  %" PRId64 ":%02" PRId64 " left", done,
                     total_, rate, left / 60, left % 60);
    } else {
        std::fprintf(stderr, "\r\033[K%" PRId64 " frames  %.1f fps", done, rate);
    }
    std::fflush(stderr);
}

void Progress::Finish() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace vardelk
