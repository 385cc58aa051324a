#include "search/picture_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "clip/clip_source.h"
#include "parallel/parallel_for.h"
#include "pictures/picture_file.h"
#include "search/search_error.h"

namespace vardelk {
namespace {

bool IsPicture(const std::string& name) { return FormOfName(name) != FileForm::kOther; }

bool IsFolder(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

// A picture or clip, every picture or clip of a folder (sorted by name), or
// a list file: one path a line, relative to the list's folder, '#' starting
// a comment, anything after the first white space ignored.
void ExpandPictureInput(const std::string& input, std::vector<std::string>& paths) {
    if (IsFolder(input)) {
        std::vector<std::string> names;
        if (DIR* dir = opendir(input.c_str())) {
            while (const dirent* entry = readdir(dir)) {
                if (IsPicture(entry->d_name)) names.push_back(entry->d_name);
            }
            closedir(dir);
        } else {
            throw SearchError(input + ": the folder cannot be read");
        }
        std::sort(names.begin(), names.end());
        if (names.empty()) throw SearchError(input + ": the folder holds no .png, .jpg or .y4m file");
        const std::string folder = input.back() == '/' ? input : input + "/";
        for (const std::string& name : names) paths.push_back(folder + name);
        return;
    }
    if (IsPicture(input)) {
        paths.push_back(input);
        return;
    }
    std::ifstream list(input);
    if (!list) throw SearchError(input + ": cannot be opened as a picture, folder or list");
    const size_t slash = input.find_last_of('/');
    const std::string base = slash == std::string::npos ? "" : input.substr(0, slash + 1);
    std::string line;
    size_t before = paths.size();
    while (std::getline(list, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string path;
        if (!(words >> path)) continue;
        paths.push_back(path[0] == '/' ? path : base + path);
    }
    if (paths.size() == before) throw SearchError(input + ": the list names no picture");
}

std::vector<int64_t> SpreadFrames(int64_t total, int32_t wanted) {
    std::vector<int64_t> frames;
    if (wanted <= 0) return frames;
    if (total < 0 || total <= wanted) {
        for (int64_t n = 0; n < (total < 0 ? wanted : total); ++n) frames.push_back(n);
        return frames;
    }
    for (int64_t i = 0; i < wanted; ++i) frames.push_back((2 * i + 1) * total / (2 * int64_t{wanted}));
    return frames;
}

std::vector<CodedPicture> LoadCodedPictures(const std::vector<std::string>& inputs, int32_t frames,
                                            const CodingModel& model, int32_t threads,
                                            const std::function<void()>& checkStop) {
    std::vector<std::string> paths;
    for (const std::string& input : inputs) ExpandPictureInput(input, paths);
    struct Source {
        std::string name;
        Y4mFormat format;
        Y4mFrame frame;
    };
    std::vector<Source> sources;
    for (const std::string& path : paths) {
        std::unique_ptr<ClipSource> clip = OpenClipSource(path, 1);
        // Frames spread over the clip, each named by its number in it.
        const std::vector<int64_t> wanted = SpreadFrames(clip->ExpectedFrames(), frames);
        Y4mFrame frame;
        size_t next = 0;
        for (int64_t n = 0; next < wanted.size() && clip->ReadFrame(frame); ++n) {
            if (checkStop) checkStop();
            if (n != wanted[next]) continue;
            ++next;
            const std::string name = n == 0 ? path : path + "#" + std::to_string(n);
            sources.push_back(Source{name, clip->Format(), frame});
        }
    }
    std::vector<CodedPicture> pictures(sources.size());
    ParallelFor(threads, int64_t(sources.size()), [&](int64_t i) {
        const Source& s = sources[size_t(i)];
        pictures[size_t(i)] = PrepareCodedPicture(s.name, s.format, s.frame, model);
    });
    return pictures;
}

}  // namespace vardelk
