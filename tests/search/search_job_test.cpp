// The search as one job: an output folder it cannot write is refused before
// any picture is read, and its plots' axis names the measure searched by.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "encoders/child_process.h"
#include "pictures/png_file.h"
#include "search/search_error.h"
#include "search/search_job.h"
#include "test_pictures.h"

namespace vardelk {
namespace {

TEST(SearchJob, AnUnwritableFolderIsRefusedBeforeThePicturesAreRead) {
    TemporaryFolder folder("search-job");
    std::ofstream(folder.File("file")) << "not a folder";
    SearchJob job;
    job.inputs = {folder.File("missing.png")};  // read first, this would fail otherwise
    job.codes = {2, 4, 8, 16};
    job.out = folder.File("file") + "/out";
    try {
        RunSearchJob(job);
        ADD_FAILURE();
    } catch (const SearchError& e) {
        EXPECT_NE(std::string(e.what()).find("the output folder cannot be created (Not a directory)"),
                  std::string::npos)
            << e.what();
    }
}

TEST(SearchJob, ThePlotsAxisNamesTheMeasure) {
    TemporaryFolder folder("search-job");
    Y4mFormat format;
    const Y4mFrame frame = GrainyScene(64, 48, 3, &format);
    RgbImage image;
    FrameToRgb(format, frame, image);
    WritePng(folder.File("scene.png"), image);
    SearchJob job;
    job.inputs = {folder.File("scene.png")};
    job.measure = QualityMeasure::kSsimulacra2;
    job.codes = {2, 4, 8, 16};
    job.budgetSeconds = 0;
    job.evaluations = 1;
    job.threads = 2;
    job.skipConfirmation = "a test";
    job.out = folder.File("out");
    RunSearchJob(job);
    std::ifstream file(folder.File("out/rd.svg"));
    const std::string svg{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    EXPECT_NE(svg.find("SSIMULACRA 2"), std::string::npos);
    EXPECT_EQ(svg.find("PSNR"), std::string::npos);
}

}  // namespace
}  // namespace vardelk
