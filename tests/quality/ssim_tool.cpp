// Prints the SSIM of two Y4M clips frame by frame and over the clip, for the
// script that checks our figures against another tool's.
//   ssim_tool REFERENCE.y4m TEST.y4m
// Lines: "frame N y u v all" per frame, then "total y u v all all_db"
// (chroma columns "-" for mono), values with 8 decimals.
#include <cstdio>
#include <exception>
#include <string>

#include "quality/ssim.h"

namespace {

std::string Value(const vardelk::PlaneSsim& p) {
    if (!p.Measured()) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.8f", p.Ssim());
    return text;
}

std::string Columns(const vardelk::FrameSsim& f) {
    return Value(f.y) + " " + Value(f.cb) + " " + Value(f.cr) + " " + Value(f.all);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ssim_tool REFERENCE.y4m TEST.y4m\n");
        return 2;
    }
    std::FILE* a = std::fopen(argv[1], "rb");
    std::FILE* b = std::fopen(argv[2], "rb");
    if (a == nullptr || b == nullptr) {
        std::fprintf(stderr, "ssim_tool: cannot open %s\n", a == nullptr ? argv[1] : argv[2]);
        return 1;
    }
    try {
        vardelk::Y4mReader ra(a, argv[1]), rb(b, argv[2]);
        vardelk::Y4mFrame fa, fb;
        fa.Allocate(ra.Format());
        fb.Allocate(rb.Format());
        vardelk::FrameSsim clip;
        while (ra.ReadFrame(fa) && rb.ReadFrame(fb)) {
            const vardelk::FrameSsim f = vardelk::CompareFramesSsim(ra.Format(), fa, fb);
            std::printf("frame %lld %s\n", static_cast<long long>(ra.FrameCount()), Columns(f).c_str());
            clip.Add(f);
        }
        std::printf("total %s %.6f\n", Columns(clip).c_str(), clip.all.Db());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "ssim_tool: %s\n", e.what());
        return 1;
    }
    return 0;
}
