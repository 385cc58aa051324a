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

bool Progress::Due(bool force) {
    if (!enabled_) return false;
    const Clock::time_point now = Clock::now();
    if (Seconds(now - start_) < kDelaySeconds || (!force && shown_ && Seconds(now - lastDraw_) < kRedrawSeconds))
        return false;
    lastDraw_ = now;
    shown_ = true;
    return true;
}

void Progress::Update(int64_t done, bool force) {
    if (!Due(force)) return;
    const double rate = done / Seconds(lastDraw_ - start_);
    char text[160];
    if (total_ > 0 && done <= total_) {
        const int64_t left = rate > 0 ? int64_t((total_ - done) / rate + 0.5) : 0;
        std::snprintf(text, sizeof text, "%" PRId64 "/%" PRId64 " frames  %.1f fps  %" PRId64 ":%02" PRId64 " left",
                      done, total_, rate, left / 60, left % 60);
    } else {
        std::snprintf(text, sizeof text, "%" PRId64 " frames  %.1f fps", done, rate);
    }
    Draw(text);
}

void Progress::Show(const std::string& text) {
    if (Due(false)) Draw(text);
}

void Progress::Draw(const std::string& text) {
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    std::fflush(stderr);
}

void Progress::Finish() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace vardelk
