#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

#include "codec/cpu.h"
#include "codec/frame_coder.h"
#include "tests/codec/test_support.h"

namespace vardelk {
namespace {

// One job: a picture of its own size and content, coded with its own
// settings and matrix, with the frame's bytes, pixels and macroblock bits.
struct Job {
    FrameGeometry geometry;
    CodingSettings settings;
    std::vector<int32_t> matrix;
    std::vector<Pixel> input;
    bool reference = false;

    struct Result {
        int32_t bytes = 0;
        std::vector<Pixel> output;
        std::vector<int32_t> bits;
    };

    Result Run(FrameCoder& coder) const {
        Result r;
        r.output.assign(static_cast<size_t>(geometry.stride) * geometry.rows, Pixel{7, 7, 7});
        r.bits.resize(static_cast<size_t>(MacroblockColumns(geometry.width)) * MacroblockRows(geometry.height));
        const FrameOutputs outputs{r.bits.data(), nullptr};
        r.bytes =
            reference
                ? coder.CodeFrameReference(settings, matrix.data(), input.data(), r.output.data(), geometry, outputs)
                : coder.CodeFrame(settings, matrix.data(), input.data(), r.output.data(), geometry, outputs);
        return r;
    }
};

std::vector<Job> MakeJobs(int count) {
    testing::Random random(2024);
    std::vector<Job> jobs(static_cast<size_t>(count));
    for (int j = 0; j < count; ++j) {
        Job& job = jobs[static_cast<size_t>(j)];
        const int32_t width = random.Between(1, 70), height = random.Between(1, 50);
        job.geometry = FrameGeometry{width, height, width + random.Between(0, 9), height + random.Between(0, 3)};
        job.settings = CodingSettings{random.Between(1, 31), (j & 1) != 0, ((j >> 1) & 1) != 0, ((j >> 2) & 1) != 0};
        job.matrix.assign(kDefaultIntraMatrix, kDefaultIntraMatrix + kMatrixEntries);
        for (int32_t& w : job.matrix) w = std::max(1, w + random.Between(-8, 40));
        job.input.resize(static_cast<size_t>(job.geometry.stride) * job.geometry.rows);
        if (j % 3 == 0)
            testing::FillExtreme(job.input, random);
        else
            testing::FillNatural(job.input, job.geometry.stride, random);
        job.reference = j % 5 == 4;
    }
    return jobs;
}

// Each thread owns one coder (of its own kernel build, where the machine
// has several) and works through every job starting at a different one, so
// that the same tables, kernels and inputs are in use on all threads at
// once. Every result must equal the serial one.
TEST(ConcurrentCoders, ThreadsGiveTheSerialResults) {
    const std::vector<Job> jobs = MakeJobs(24);
    std::vector<Job::Result> serial;
    FrameCoder serialCoder;
    for (const Job& job : jobs) serial.push_back(job.Run(serialCoder));

    std::vector<uint32_t> flags;
    for (const CpuLevel& level : kCpuLevels)
        if (CpuRuns(level.flags)) flags.push_back(level.flags);
    constexpr int kThreads = 4;
    std::vector<std::vector<Job::Result>> results(kThreads, std::vector<Job::Result>(jobs.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            FrameCoder coder(flags[static_cast<size_t>(t) % flags.size()]);
            for (size_t i = 0; i < jobs.size(); ++i) {
                const size_t j = (i + static_cast<size_t>(t) * 5) % jobs.size();
                results[static_cast<size_t>(t)][j] = jobs[j].Run(coder);
            }
        });
    for (std::thread& thread : threads) thread.join();

    for (int t = 0; t < kThreads; ++t)
        for (size_t j = 0; j < jobs.size(); ++j) {
            const Job::Result& a = serial[j];
            const Job::Result& b = results[static_cast<size_t>(t)][j];
            ASSERT_EQ(a.bytes, b.bytes) << "thread " << t << " job " << j;
            ASSERT_EQ(a.bits, b.bits) << "thread " << t << " job " << j;
            ASSERT_EQ(a.output.size(), b.output.size());
            for (size_t i = 0; i < a.output.size(); ++i)
                ASSERT_TRUE(a.output[i].y == b.output[i].y && a.output[i].cb == b.output[i].cb &&
                            a.output[i].cr == b.output[i].cr)
                    << "thread " << t << " job " << j << " pixel " << i;
        }
}

}  // namespace
}  // namespace vardelk
