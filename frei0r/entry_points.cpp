// The frei0r interface: plain C functions over FilterInstance. No exception
// leaves here; a frame that cannot be coded is passed through unchanged and
// the reason said once.
extern "C" {
#include <frei0r.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>

#include "frei0r/filter_instance.h"
#include "frei0r/parameters.h"
#include "parallel/parallel_for.h"

#define VARDELK_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using vardelk::frei0r::FilterInstance;

// The largest frame side taken; a host asking for more gets no instance.
constexpr unsigned kMaxSide = 16384;
constexpr int kVersionMajor = 0;
constexpr int kVersionMinor = 4;

struct Instance {
    Instance(unsigned w, unsigned h)
        : width(w), height(h), filter(int32_t(w), int32_t(h), vardelk::HardwareThreads()) {}
    unsigned width, height;
    FilterInstance filter;
    bool failureReported = false;
};

Instance* Cast(f0r_instance_t instance) { return static_cast<Instance*>(instance); }

bool ValidIndex(int index) { return index >= 0 && index < vardelk::frei0r::kParameterCount; }

}  // namespace

VARDELK_EXPORT int f0r_init(void) { return 1; }

VARDELK_EXPORT void f0r_deinit(void) {}

VARDELK_EXPORT void f0r_get_plugin_info(f0r_plugin_info_t* info) {
    if (info == nullptr) return;
    info->name = "vardelk";
    info->author = "Vardelk team";
    info->plugin_type = F0R_PLUGIN_TYPE_FILTER;
    info->color_model = F0R_COLOR_MODEL_RGBA8888;
    info->frei0r_version = FREI0R_MAJOR_VERSION;
    info->major_version = kVersionMajor;
    info->minor_version = kVersionMinor;
    info->num_params = vardelk::frei0r::kParameterCount;
    info->explanation =
        "Shows what an MPEG-2 intra quantiser matrix does to the picture: every frame through a simulated intra "
        "codec (4:2:0 macroblocks, DCT, quantisation with the matrix and scale, and back)";
}

VARDELK_EXPORT void f0r_get_param_info(f0r_param_info_t* info, int index) {
    if (info == nullptr || !ValidIndex(index)) return;
    const vardelk::frei0r::ParameterInfo& described = vardelk::frei0r::DescribeParameter(index);
    info->name = described.name;
    info->type = described.type;
    info->explanation = described.explanation;
}

VARDELK_EXPORT f0r_instance_t f0r_construct(unsigned int width, unsigned int height) {
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
    try {
        return new Instance(width, height);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vardelk: no instance for %ux%u frames: %s\n", width, height, error.what());
        return nullptr;
    }
}

VARDELK_EXPORT void f0r_destruct(f0r_instance_t instance) { delete Cast(instance); }

VARDELK_EXPORT void f0r_set_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    if (instance == nullptr || param == nullptr || !ValidIndex(index)) return;
    FilterInstance& filter = Cast(instance)->filter;
    try {
        if (vardelk::frei0r::DescribeParameter(index).type == F0R_PARAM_STRING)
            filter.SetText(index, *static_cast<f0r_param_string*>(param));
        else
            filter.SetNumber(index, *static_cast<const double*>(param));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "vardelk: parameter %d not set: %s\n", index, error.what());
    }
}

VARDELK_EXPORT void f0r_get_param_value(f0r_instance_t instance, f0r_param_t param, int index) {
    if (instance == nullptr || param == nullptr || !ValidIndex(index)) return;
    const FilterInstance& filter = Cast(instance)->filter;
    if (vardelk::frei0r::DescribeParameter(index).type == F0R_PARAM_STRING)
        *static_cast<f0r_param_string*>(param) = const_cast<char*>(filter.Text(index));
    else
        *static_cast<double*>(param) = filter.Number(index);
}

VARDELK_EXPORT void f0r_update(f0r_instance_t instance, double, const uint32_t* inframe, uint32_t* outframe) {
    if (instance == nullptr || inframe == nullptr || outframe == nullptr) return;
    Instance& self = *Cast(instance);
    const auto* in = reinterpret_cast<const uint8_t*>(inframe);
    auto* out = reinterpret_cast<uint8_t*>(outframe);
    try {
        self.filter.Update(in, out);
    } catch (const std::exception& error) {
        if (!self.failureReported) std::fprintf(stderr, "vardelk: frames pass through uncoded: %s\n", error.what());
        self.failureReported = true;
        if (in != out) std::memmove(out, in, size_t(self.width) * size_t(self.height) * 4);
    }
}

VARDELK_EXPORT void f0r_update2(f0r_instance_t instance, double time, const uint32_t* inframe1, const uint32_t*,
                                const uint32_t*, uint32_t* outframe) {
    f0r_update(instance, time, inframe1, outframe);
}
