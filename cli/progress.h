// A one-line progress display on standard error: frames done, frames per
// second and, when the total is known, the time left; or a line of the
// caller's own. It appears only when
// standard error is a terminal, and only once the work has taken longer than
// half a second; it is erased when the work ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace vardelk {

class Progress {
public:
    // `total` may be -1 when unknown; `enabled` false makes every call a no-op.
    Progress(int64_t total, bool enabled);
    ~Progress();
    // Redraws at most ten times a second unless `force` is set.
    void Update(int64_t done, bool force = false);
    // Shows the caller's own line, as often as Update would.
    void Show(const std::string& text);
    // Erases the line, e.g. before other text is printed to the terminal.
    void Finish();

private:
    bool Due(bool force);  // whether to draw now; notes the drawing
    void Draw(const std::string& text);

    using Clock = std::chrono::steady_clock;
    int64_t total_;
    bool enabled_;
    bool shown_ = false;
    Clock::time_point start_;
    Clock::time_point lastDraw_;
};

// True when standard error is a terminal.
bool StderrIsTerminal();

}  // namespace vardelk
