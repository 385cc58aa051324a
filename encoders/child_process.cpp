#include "encoders/child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "encoders/encoder_error.h"

extern char** environ;

namespace vardelk {

std::string FindOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr || name.empty() || name.find('/') != std::string::npos) return "";
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        const std::string candidate = (folder.empty() ? "." : folder) + "/" + name;
        struct stat node;
        if (stat(candidate.c_str(), &node) == 0 && S_ISREG(node.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

std::string ChildResult::Describe() const {
    return (exited ? "exit status " : "killed by signal ") + std::to_string(status);
}

ChildResult RunChild(const std::vector<std::string>& arguments, const std::string& outputPath,
                     const std::string& errorPath) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const int writeFlags = O_WRONLY | O_CREAT | O_TRUNC;
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.empty() ? "/dev/null" : outputPath.c_str(), writeFlags,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, errorPath.empty() ? "/dev/null" : errorPath.c_str(), writeFlags,
                                     0600);
    pid_t child = 0;
    const int error = posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw EncoderError(arguments.front() + ": cannot be started (" + std::strerror(error) + ")");
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) throw EncoderError(arguments.front() + ": lost track of the process");
    }
    ChildResult result;
    result.exited = WIFEXITED(status);
    result.status = result.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    return result;
}

std::string FileTail(const std::string& path, size_t limit) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    std::string all = text.str();
    while (!all.empty() && (all.back() == '\n' || all.back() == '\r')) all.pop_back();
    if (all.size() <= limit) return all;
    const size_t line = all.find('\n', all.size() - limit);
    return "..." + all.substr(line == std::string::npos ? all.size() - limit : line);
}

std::string FileFirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

TemporaryFolder::TemporaryFolder(const std::string& prefix) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/" + prefix + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw EncoderError(pattern + ": cannot make a temporary folder (" + std::strerror(errno) + ")");
    path_ = pattern;
}

// The folder holds only the plain files put there by this program.
TemporaryFolder::~TemporaryFolder() {
    if (DIR* folder = opendir(path_.c_str())) {
        while (const dirent* entry = readdir(folder)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") unlink(File(name).c_str());
        }
        closedir(folder);
    }
    rmdir(path_.c_str());
}

}  // namespace vardelk
