// reference_host: plays the host editor's part for the filter module outside
// the editor. Loads the module, opens its filter window, runs frames from a
// file through it and writes the processed frames and each frame's size.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "reference_host/frame_files.h"
#include "reference_host/host_session.h"

namespace {

using vardelk::HostSession;

const char kUsage[] =
    "usage: reference_host --module PATH --input FILE --width W --height H\n"
    "         [--max-width MW --max-height MH] [--frames N] [--scale S]\n"
    "         [--nonlinear 0|1] [--alternate 0|1] [--interlaced 0|1] [--log 0|1]\n"
    "         [--matrix FILE] --output FILE [--sizes FILE] [--show-window SECONDS]\n"
    "Raw YC input and output: width x height pixels per frame, each three\n"
    "little-endian int16 (Y, Cb, Cr). An input ending in .y4m is read as Y4M.\n"
    "The matrix file holds 64 numbers in 1..4095, row by row; '#' starts a comment.\n"
    "With --show-window the filter window stays up that long after the frames\n"
    "(input and output are then optional).\n";

struct Options {
    std::string module, input, output, sizes, matrix;
    int32_t width = 0, height = 0, maxWidth = 0, maxHeight = 0;
    int32_t frames = -1;  // all
    int32_t scale = 1;
    int32_t checks[vardelk::kHostCheckCount] = {0, 0, 0, 0};
    int32_t showSeconds = 0;
};

bool ParseInt(const char* text, int32_t low, int32_t high, int32_t* value) {
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || parsed < low || parsed > high) {
        return false;
    }
    *value = static_cast<int32_t>(parsed);
    return true;
}

// Where a numeric option goes and which values it takes.
struct NumberOption {
    const char* name;
    int32_t Options::*field;
    int32_t low;
    int32_t high;
};

const NumberOption kNumbers[] = {
    {"--width", &Options::width, 0, 1 << 16},          {"--height", &Options::height, 0, 1 << 16},
    {"--max-width", &Options::maxWidth, 0, 1 << 16},   {"--max-height", &Options::maxHeight, 0, 1 << 16},
    {"--frames", &Options::frames, 0, 1 << 30},        {"--scale", &Options::scale, 1, 31},
    {"--show-window", &Options::showSeconds, 0, 3600},
};
const char* const kCheckOptions[vardelk::kHostCheckCount] = {"--nonlinear", "--alternate", "--interlaced", "--log"};

bool SetOption(Options& o, const std::string& name, const char* value, std::string* error) {
    std::string* texts[] = {&o.module, &o.input, &o.output, &o.sizes, &o.matrix};
    const char* textNames[] = {"--module", "--input", "--output", "--sizes", "--matrix"};
    for (int i = 0; i < 5; ++i) {
        if (name == textNames[i]) {
            *texts[i] = value;
            return true;
        }
    }
    for (const NumberOption& n : kNumbers) {
        if (name == n.name) {
            if (ParseInt(value, n.low, n.high, &(o.*n.field))) {
                return true;
            }
            *error = name + " takes a whole number in " + std::to_string(n.low) + ".." + std::to_string(n.high) +
                     ", not '" + value + "'";
            return false;
        }
    }
    for (int i = 0; i < vardelk::kHostCheckCount; ++i) {
        if (name == kCheckOptions[i]) {
            if (ParseInt(value, 0, 1, &o.checks[i])) {
                return true;
            }
            *error = name + " takes 0 or 1, not '" + value + "'";
            return false;
        }
    }
    *error = "unknown option " + name;
    return false;
}

bool ParseOptions(int argc, char** argv, Options& o, std::string* error) {
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc) {
            *error = std::string("option ") + argv[i] + " needs a value";
            return false;
        }
        if (!SetOption(o, argv[i], argv[i + 1], error)) {
            return false;
        }
    }
    if (o.module.empty()) {
        *error = "--module is required";
        return false;
    }
    if (o.showSeconds == 0 && (o.input.empty() || o.output.empty())) {
        *error = "--input and --output are required";
        return false;
    }
    return true;
}

// Settles the picture and buffer sizes once the input's size is known.
bool SettleGeometry(Options& o, int32_t width, int32_t height, std::string* error) {
    o.width = width;
    o.height = height;
    if (o.maxWidth == 0) o.maxWidth = width;
    if (o.maxHeight == 0) o.maxHeight = height;
    if (width <= 0 || height <= 0) {
        *error = "--width and --height must be positive for raw input";
        return false;
    }
    if (o.maxWidth < width || o.maxHeight < height) {
        *error = "--max-width/--max-height must not be below the picture size";
        return false;
    }
    return true;
}

bool RunFrames(Options& o, HostSession& host, std::string* error) {
    vardelk::FrameReader reader;
    if (!reader.Open(o.input, o.width, o.height, error) || !SettleGeometry(o, reader.Width(), reader.Height(), error)) {
        return false;
    }
    vardelk::FrameWriter writer;
    if (!writer.Open(o.output, o.width, o.height, error)) {
        return false;
    }
    std::FILE* sizes = nullptr;
    if (!o.sizes.empty() && (sizes = std::fopen(o.sizes.c_str(), "w")) == nullptr) {
        *error = "cannot create " + o.sizes;
        return false;
    }
    host.SetGeometry(o.width, o.height, o.maxWidth, o.maxHeight);
    int32_t done = 0;
    bool ok = true;
    while (ok && (o.frames < 0 || done < o.frames)) {
        if (!reader.Read(host.Picture(), o.maxWidth, error)) {
            ok = error->empty();
            break;
        }
        const int reportsBefore = host.events.sizeReports;
        host.RunFrame();
        if (host.events.sizeReports != reportsBefore + 1) {
            *error = "the module did not report the size of frame " + std::to_string(done);
            ok = false;
            break;
        }
        ok = writer.Write(host.Picture(), o.maxWidth, error);
        if (sizes != nullptr) {
            std::fprintf(sizes, "%d\n", static_cast<int>(host.events.lastReportedSize));
        }
        ++done;
    }
    if (sizes != nullptr && std::fclose(sizes) != 0 && ok) {
        *error = "cannot finish " + o.sizes;
        ok = false;
    }
    ok = writer.Close(error) && ok;
    if (ok) {
        std::printf("reference_host: %d frame(s), last frame %d bytes\n", static_cast<int>(done),
                    static_cast<int>(host.events.lastReportedSize));
    }
    return ok;
}

void KeepWindowUp(HostSession& host, int32_t seconds) {
    const DWORD until = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    InvalidateRect(host.filterWindow, nullptr, TRUE);
    host.PumpMessages();
    // Scripts that capture the window wait for this line.
    std::printf("reference_host: window shown\n");
    std::fflush(stdout);
    while (static_cast<int32_t>(until - GetTickCount()) > 0 && IsWindow(host.filterWindow)) {
        host.PumpMessages();
        Sleep(20);
    }
}

int Run(Options& o) {
    std::string error;
    HostSession host;
    int32_t matrix[vardelk::kMatrixEntries];
    if (!o.matrix.empty() && !vardelk::ReadPlainMatrixFile(o.matrix, matrix, &error)) {
        std::fprintf(stderr, "reference_host: %s\n", error.c_str());
        return 1;
    }
    if (!host.LoadModule(o.module, &error)) {
        std::fprintf(stderr, "reference_host: %s\n", error.c_str());
        return 1;
    }
    // The host restores the filter's extra data before it opens the window,
    // as it would for a saved project.
    if (!o.matrix.empty()) {
        std::memcpy(host.record.extraData, matrix, sizeof matrix);
    }
    host.trackValues[0] = o.scale;
    std::memcpy(host.checkValues, o.checks, sizeof o.checks);
    bool ok = host.OpenWindow(o.showSeconds > 0, &error);
    if (ok && !o.input.empty()) {
        ok = RunFrames(o, host, &error);
    }
    if (ok && o.showSeconds > 0) {
        KeepWindowUp(host, o.showSeconds);
    }
    host.CloseWindow();
    if (!ok) {
        std::fprintf(stderr, "reference_host: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (argc < 2 || !ParseOptions(argc, argv, options, &error)) {
        std::fprintf(stderr, "reference_host: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    return Run(options);
}
