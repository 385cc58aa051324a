// The frei0r effect through its C entry points, as a host drives it: an
// instance of any small size, any parameter values (numbers outside 0..1,
// NaN, unknown models, matrix files of any content and form), frames
// updated in place or not. Nothing may crash; the alpha must come back
// untouched; an instance must not be disturbed by another's settings.
extern "C" {
#include <frei0r.h>
}

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

// Reads the input front to back; zeros once it runs out.
struct Reader {
    const uint8_t* data;
    size_t size;
    uint8_t Byte() {
        if (size == 0) return 0;
        --size;
        return *data++;
    }
    double Number() {
        uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits = bits << 8 | Byte();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
};

const std::string& MatrixPath() {
    static const std::string path = "/tmp/fuzz_frei0r_" + std::to_string(getpid()) + ".txt";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in{data, size};
    const unsigned width = 1 + in.Byte() % 48, height = 1 + in.Byte() % 48;
    f0r_instance_t instance = f0r_construct(width, height);
    f0r_instance_t bystander = f0r_construct(width, height);
    FUZZ_CHECK(instance != nullptr && bystander != nullptr);
    const size_t bytes = size_t(width) * height * 4;
    std::vector<uint8_t> frame(bytes), out(bytes), alone(bytes), beside(bytes);
    for (size_t i = 0; i < bytes; ++i) frame[i] = uint8_t(i * 37 + (i >> 5));
    auto update = [&](f0r_instance_t which, const std::vector<uint8_t>& source, std::vector<uint8_t>& target) {
        f0r_update(which, 0.0, reinterpret_cast<const uint32_t*>(source.data()),
                   reinterpret_cast<uint32_t*>(target.data()));
    };
    update(bystander, frame, alone);

    for (int step = 0; step < 8 && in.size > 0; ++step) {
        const uint8_t command = in.Byte();
        const int index = command % 8 - 1;  // -1 and 6 are no parameter
        f0r_param_info_t info{nullptr, F0R_PARAM_DOUBLE, nullptr};
        f0r_get_param_info(&info, index);  // leaves info alone for -1 and 6
        if (info.type == F0R_PARAM_STRING) {
            const char* presets[] = {"default", "flat16", "filter", "ffmpeg", "mpeg2enc", "tm5", "", "x"};
            std::string text;
            const uint8_t kind = in.Byte() % 10;
            if (kind < 8) {
                text = presets[kind];
            } else {
                // A matrix file: some of the input's bytes, optionally named with a form.
                const size_t length = std::min<size_t>(in.Byte() * 4u, in.size);
                if (FILE* file = std::fopen(MatrixPath().c_str(), "wb")) {
                    std::fwrite(in.data, 1, length, file);
                    std::fclose(file);
                }
                in.data += length;
                in.size -= length;
                const char* forms[] = {"", "plain:", "ffmpeg:", "x264:", "mpeg2enc:", "cjpeg:", "stream:", "none:"};
                text = std::string(forms[in.Byte() % 8]) + MatrixPath();
            }
            char* value = (command & 0x80) ? nullptr : &text[0];
            f0r_set_param_value(instance, &value, index);
            char* back = nullptr;
            f0r_get_param_value(instance, &back, index);
            FUZZ_CHECK(back != nullptr);
        } else {
            double value = in.Number();
            f0r_set_param_value(instance, &value, index);
            double back = -1.0;
            f0r_get_param_value(instance, &back, index);
            FUZZ_CHECK(index < 0 || index > 3 || std::isnan(value) || !std::isnan(back));
        }
        if (command & 0x40) {
            out = frame;
            update(instance, out, out);  // in place
        } else {
            update(instance, frame, out);
        }
        for (size_t i = 3; i < bytes; i += 4) FUZZ_CHECK(out[i] == frame[i]);
    }
    update(bystander, frame, beside);
    FUZZ_CHECK(beside == alone);
    f0r_destruct(instance);
    f0r_destruct(bystander);
    return 0;
}
