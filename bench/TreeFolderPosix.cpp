#include "TreeFolder.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <system_error>
#include <unistd.h>

namespace {

[[noreturn]] void ThrowErrno(int code, const std::string& what) {
    throw std::system_error(code, std::generic_category(), what);
}

} // namespace

const std::string_view TreeFolder::OddNamePart = "\xE9t\xE9";
const char TreeFolder::Separator = '/';

std::string TreeFolder::NameKey(std::string_view name) {
    return std::string(name);
}

std::string TreeFolder::Fit(std::string name) {
    return name;
}

void TreeFolder::EnsureEmpty(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0755) == 0) {
        return;
    }
    if (errno != EEXIST) {
        ThrowErrno(errno, "cannot create folder " + folder);
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        ThrowErrno(errno, "cannot open folder " + folder);
    }
    bool empty = true;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") {
            empty = false;
            break;
        }
    }
    ::closedir(dir);
    if (!empty) {
        ThrowErrno(ENOTEMPTY, "the folder for a new tree must be empty: " + folder);
    }
}

void TreeFolder::Make(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) != 0) {
        ThrowErrno(errno, "cannot create folder " + path);
    }
}

TreeFolder::TreeFolder(const std::string& path)
    : path_(path), descriptor_(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (descriptor_ < 0) {
        ThrowErrno(errno, "cannot open folder " + path);
    }
}

TreeFolder::~TreeFolder() {
    if (descriptor_ >= 0) {
        ::close(descriptor_);
    }
}

void TreeFolder::EnterNewFolder(const std::string& name, const std::string& shownAs) {
    if (::mkdirat(descriptor_, name.c_str(), 0755) != 0) {
        ThrowErrno(errno, "cannot create folder " + shownAs);
    }
    const int child = ::openat(descriptor_, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (child < 0) {
        ThrowErrno(errno, "cannot open folder " + shownAs);
    }
    ::close(descriptor_);
    descriptor_ = child;
    path_ = shownAs;
}

void TreeFolder::MakeFolderLink(const std::string& name, const std::string& target,
                                const std::string& shownAs) {
    if (::symlinkat(target.c_str(), descriptor_, name.c_str()) != 0) {
        ThrowErrno(errno, "cannot create link " + shownAs);
    }
}

void TreeFolder::MakeFile(const std::string& name, const GeneratedFile& file) {
    const int fd =
        ::openat(descriptor_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        ThrowErrno(errno, "cannot create file " + file.Path);
    }
    const timespec times[2] = {{file.LastWriteTime, 0}, {file.LastWriteTime, 0}};
    if (::ftruncate(fd, static_cast<off_t>(file.SizeBytes)) != 0) {
        const int error = errno;
        ::close(fd);
        ThrowErrno(error, "cannot set the size of " + file.Path);
    }
    if (::futimens(fd, times) != 0) {
        const int error = errno;
        ::close(fd);
        ThrowErrno(error, "cannot set the time of " + file.Path);
    }
    // A failed close can mean lost metadata on some file systems.
    if (::close(fd) != 0) {
        ThrowErrno(errno, "cannot close " + file.Path);
    }
}
