// Helpers for the fault-injection tests: scratch folders, whole-file reads
// and a way to lose root's right to write anything, so that a read-only
// file is read-only for the test too.
#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace vardelk::testing {

namespace fs = std::filesystem;

// A fresh folder that every user may write into, removed at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "vardelk_fault_XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
        fs::permissions(path_, fs::perms::all);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::all, ignored);
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    fs::path operator/(const std::string& name) const { return path_ / name; }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

inline std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWholeFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Root ignores file permissions. While one of these lives, a process
// running as root acts as the unprivileged user "nobody" (65534), so that
// permissions apply; for any other user it changes nothing.
class WithoutRoot {
public:
    WithoutRoot() {
        if (geteuid() == 0 && seteuid(kNobody) == 0) dropped_ = true;
    }
    ~WithoutRoot() {
        if (dropped_ && seteuid(0) != 0) std::abort();  // cannot go on as the wrong user
    }
    WithoutRoot(const WithoutRoot&) = delete;
    WithoutRoot& operator=(const WithoutRoot&) = delete;

private:
    static constexpr uid_t kNobody = 65534;
    bool dropped_ = false;
};

// Whether the effective user could open the path for writing.
inline bool Writable(const fs::path& path) { return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0; }

}  // namespace vardelk::testing
