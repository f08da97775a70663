#pragma once

// Fixture trees for the file-system tests: made in a temporary folder by the test that uses
// them and removed afterwards, however deep they are.

#include "platform/fs/Paths.h"
#include "walk/FolderWalk.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testtree {

inline void Check(bool ok, const std::string& what) {
    if (!ok) {
        throw std::runtime_error(what + ": " + std::strerror(errno));
    }
}

// Creates (or extends) a file of `size` bytes without writing data: sizes of several GiB
// cost no disk space.
inline void MakeFile(const std::string& path, std::uint64_t size = 0) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    Check(fd >= 0, "create " + path);
    int result = ftruncate(fd, static_cast<off_t>(size));
    close(fd);
    Check(result == 0, "ftruncate " + path);
}

inline void MakeFolder(const std::string& path, mode_t mode = 0755) {
    Check(mkdir(path.c_str(), mode) == 0, "mkdir " + path);
}

inline void MakeLink(const std::string& target, const std::string& path) {
    Check(symlink(target.c_str(), path.c_str()) == 0, "symlink " + path);
}

// Builds a chain of `levels` nested folders named `name` below `root`, with one file "f" of
// size level + 1 in each, using one descriptor at a time so that paths may exceed PATH_MAX.
inline void MakeDeepChain(const std::string& root, int levels, const std::string& name) {
    int fd = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    Check(fd >= 0, "open " + root);
    for (int level = 0; level < levels; ++level) {
        Check(mkdirat(fd, name.c_str(), 0755) == 0, "mkdirat");
        int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        Check(child >= 0, "openat");
        fd = child;
        int file = openat(fd, "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        Check(file >= 0, "create f");
        int result = ftruncate(file, level + 1);
        close(file);
        Check(result == 0, "ftruncate");
    }
    close(fd);
}

// Removes a tree of any depth with one descriptor at a time, going back up with "..".
inline void RemoveTree(const std::string& path) {
    chmod(path.c_str(), 0700);
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        unlink(path.c_str());
        return;
    }
    std::vector<std::string> below;
    for (;;) {
        std::string subfolder;
        DIR* dir = fdopendir(dup(fd));
        if (dir == nullptr) {
            close(fd);
            return;
        }
        while (struct dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name == "." || name == "..") {
                continue;
            }
            struct stat st;
            if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                continue;
            }
            if (S_ISDIR(st.st_mode)) {
                if (subfolder.empty()) {
                    subfolder = name;
                }
            } else {
                unlinkat(fd, name.c_str(), 0);
            }
        }
        closedir(dir);
        if (!subfolder.empty()) {
            fchmodat(fd, subfolder.c_str(), 0700, 0);
            int child = openat(fd, subfolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
            if (child < 0) {
                close(fd);
                return;
            }
            close(fd);
            fd = child;
            below.push_back(subfolder);
            continue;
        }
        if (below.empty()) {
            close(fd);
            rmdir(path.c_str());
            return;
        }
        int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        close(fd);
        if (parent < 0) {
            return;
        }
        unlinkat(parent, below.back().c_str(), AT_REMOVEDIR);
        below.pop_back();
        fd = parent;
    }
}

// A new empty folder, removed with everything in it at the end of the test.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& base = "") {
        std::string parent = base;
        if (parent.empty()) {
            const char* tmp = std::getenv("TMPDIR");
            parent = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        }
        std::string pattern = JoinPath(parent, "bulkon-fs-XXXXXX");
        Check(mkdtemp(pattern.data()) != nullptr, "mkdtemp " + pattern);
        path_ = pattern;
    }
    ~ScratchFolder() { RemoveTree(path_); }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return JoinPath(path_, name); }

private:
    std::string path_;
};

// One delivered entry with its full path.
struct WalkedEntry {
    std::string Path;
    std::uint64_t SizeBytes = 0;
    bool IsFolder = false;
    std::int64_t LastWriteTime = 0;
    std::uint32_t LinkCount = 1;
    std::uint64_t Device = 0;
    std::uint64_t FileNumber = 0;
    DriveType Drive = DriveType::Unknown;
};

// Walks the innermost open folder of `walk`, whose path is `folder`, depth-first as the scan
// engine does, and leaves it.
inline void WalkOpenFolder(FolderWalk& walk, const std::string& folder,
                           const std::function<void(const WalkedEntry&)>& onEntry,
                           const std::function<void(const std::string&)>& onUnopened) {
    DirectoryEntry entry;
    while (walk.Next(entry)) {
        WalkedEntry walked;
        walked.Path = JoinPath(folder, std::string(entry.Name));
        walked.SizeBytes = entry.SizeBytes;
        walked.IsFolder = (entry.Attributes & FolderAttribute) != 0;
        walked.LastWriteTime = entry.LastWriteTime;
        walked.LinkCount = entry.LinkCount;
        walked.Device = entry.Device;
        walked.FileNumber = entry.FileNumber;
        walked.Drive = entry.Drive;
        onEntry(walked);
        if (walked.IsFolder) {
            if (walk.Enter() == FolderSkip::None) {
                WalkOpenFolder(walk, walked.Path, onEntry, onUnopened);
            } else {
                onUnopened(walked.Path);
            }
        }
    }
    walk.Leave();
}

// Walks the tree of `walk` from its root, calling `onEntry` for every entry and `onUnopened`
// for every folder (the root included) that was not entered.
inline void WalkTree(FolderWalk& walk, const std::function<void(const WalkedEntry&)>& onEntry,
                     const std::function<void(const std::string&)>& onUnopened) {
    if (walk.OpenRoot() != FolderSkip::None) {
        onUnopened(walk.Root());
        return;
    }
    WalkOpenFolder(walk, walk.Root(), onEntry, onUnopened);
}

// Result of a walk of a whole tree.
struct WalkResult {
    std::vector<WalkedEntry> Entries;
    std::vector<std::string> Unopened;
};

inline WalkResult WalkAll(const std::string& root) {
    WalkResult result;
    FolderWalk walk(root);
    WalkTree(
        walk, [&](const WalkedEntry& entry) { result.Entries.push_back(entry); },
        [&](const std::string& folder) { result.Unopened.push_back(folder); });
    return result;
}

// Output and exit status of a program run to its end.
struct ProgramRun {
    int ExitStatus = -1; // -1 when it did not exit normally
    std::string Output;
};

inline ProgramRun RunProgram(const std::vector<std::string>& arguments) {
    int pipeFds[2];
    Check(pipe2(pipeFds, O_CLOEXEC) == 0, "pipe");
    pid_t child = fork();
    Check(child >= 0, "fork");
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    ProgramRun run;
    char buffer[4096];
    ssize_t count;
    while ((count = read(pipeFds[0], buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
        if (count > 0) {
            run.Output.append(buffer, static_cast<std::size_t>(count));
        }
    }
    close(pipeFds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        run.ExitStatus = WEXITSTATUS(status);
    }
    return run;
}

} // namespace testtree
