#pragma once

// File systems that a test mounts inside its own scratch folder: a tmpfs, or a small ext2
// image on a loop device. Mounting needs root; a test that cannot mount skips with the
// reason. Everything is unmounted and detached at the end, also when the test fails.

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/loop.h>
#include <poll.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testtree {

// A file system mounted at `target` (an empty folder of the test's scratch tree).
class ScratchMount {
public:
    ScratchMount(const std::string& source, const std::string& target, const std::string& type,
                 unsigned long flags = 0, const char* options = nullptr)
        : target_(target) {
        if (mount(source.c_str(), target.c_str(), type.c_str(), flags, options) == 0) {
            mounted_ = true;
        } else {
            error_ = "mount " + type + " at " + target + ": " + std::strerror(errno);
        }
    }
    // A bind mount of the folder `source` at `target`.
    static ScratchMount Bind(const std::string& source, const std::string& target) {
        return ScratchMount(source, target, "none", MS_BIND);
    }
    ScratchMount(ScratchMount&& other) noexcept
        : target_(other.target_), error_(other.error_), mounted_(other.mounted_) {
        other.mounted_ = false;
    }
    ~ScratchMount() {
        // A folder still open somewhere keeps the mount busy; it is then detached and goes
        // away with the last user.
        if (mounted_ && umount2(target_.c_str(), 0) != 0) {
            umount2(target_.c_str(), MNT_DETACH);
        }
    }
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;
    ScratchMount& operator=(ScratchMount&&) = delete;

    bool Ok() const { return mounted_; }
    const std::string& Error() const { return error_; }
    // The device number of the mounted file system (st_dev of its files).
    dev_t Device() const {
        struct stat st;
        return stat(target_.c_str(), &st) == 0 ? st.st_dev : 0;
    }

private:
    std::string target_;
    std::string error_;
    bool mounted_ = false;
};

// A loop device over the file `image`, detached at the end.
class LoopDevice {
public:
    explicit LoopDevice(const std::string& image) {
        int control = open("/dev/loop-control", O_RDWR | O_CLOEXEC);
        if (control < 0) {
            error_ = std::string("/dev/loop-control: ") + std::strerror(errno);
            return;
        }
        const int number = ioctl(control, LOOP_CTL_GET_FREE);
        close(control);
        if (number < 0) {
            error_ = std::string("no free loop device: ") + std::strerror(errno);
            return;
        }
        path_ = "/dev/loop" + std::to_string(number);
        const int file = open(image.c_str(), O_RDWR | O_CLOEXEC);
        fd_ = open(path_.c_str(), O_RDWR | O_CLOEXEC);
        if (file < 0 || fd_ < 0 || ioctl(fd_, LOOP_SET_FD, file) != 0) {
            error_ = path_ + ": " + std::strerror(errno);
            if (file >= 0) {
                close(file);
            }
            return;
        }
        close(file);
        attached_ = true;
    }
    ~LoopDevice() {
        if (attached_) {
            ioctl(fd_, LOOP_CLR_FD, 0);
        }
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    bool Ok() const { return attached_; }
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    std::string error_;
    int fd_ = -1;
    bool attached_ = false;
};

// Runs `body` in a child process and returns the text it returns, or a text that says what
// went wrong in the child. For checks that must change the process (its user, its view of
// the mounts) without changing the test program. A child still running after `limitSeconds`
// is killed: it hangs, and the answer says so.
inline std::string RunInChildProcess(const std::function<std::string()>& body,
                                     int limitSeconds = 60) {
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0) {
        return "no pipe";
    }
    const pid_t child = fork();
    if (child < 0) {
        return "no child process";
    }
    if (child == 0) {
        close(channel[0]);
        const std::string text = body();
        const ssize_t written = write(channel[1], text.data(), text.size());
        _exit(written == static_cast<ssize_t>(text.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string answer;
    char buffer[512];
    struct pollfd ready = {channel[0], POLLIN, 0};
    for (int waited = 0;;) {
        const int polled = poll(&ready, 1, 100);
        if (polled == 0) {
            if (++waited < limitSeconds * 10) {
                continue;
            }
            kill(child, SIGKILL);
            answer += "(the child hung and was killed)";
            break;
        }
        const ssize_t got = polled > 0 ? read(channel[0], buffer, sizeof buffer) : -1;
        if (got > 0) {
            answer.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            break;
        }
    }
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        answer += "\n(the child failed)";
    }
    return answer;
}

// Makes this process see the block device `device` as one with a removable medium, as a USB
// stick is: it takes a mount namespace of its own and covers /sys/dev/block there with a
// made-up one that says so. Loop devices cannot be marked removable for real. Call it only in
// a child process (RunInChildProcess): the rest of the system keeps the real /sys. Returns an
// empty text, or what failed.
inline std::string SeeDeviceAsRemovable(dev_t device) {
    if (unshare(CLONE_NEWNS) != 0) {
        return std::string("unshare: ") + std::strerror(errno);
    }
    // Nothing mounted from here on may reach the namespace the test was started in.
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        mount("bulkon-test", "/sys/dev/block", "tmpfs", 0, "size=64k") != 0) {
        return std::string("mount: ") + std::strerror(errno);
    }
    const std::string folder =
        "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    const int flag = mkdir(folder.c_str(), 0755) == 0
                         ? open((folder + "/removable").c_str(), O_WRONLY | O_CREAT, 0644)
                         : -1;
    const bool written = flag >= 0 && write(flag, "1\n", 2) == 2;
    if (flag >= 0) {
        close(flag);
    }
    return written ? std::string() : std::string("cannot write ") + folder + "/removable";
}

// Mounts at `target` a FUSE file system of type "fuse.`subtype`" that no program serves, in
// a mount namespace of this process's own: the mount table lists it like any other, and
// everything that looks at it waits for an answer that never comes, like a share whose
// server is gone. Call it only in a child process (RunInChildProcess), which keeps the
// returned descriptor open until it ends; the mount goes away with the child. Returns the
// descriptor, or -1 with `error` set.
inline int MountUnservedFuse(const std::string& target, const std::string& subtype,
                             std::string& error) {
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr)) {
        error = std::string("private mounts: ") + std::strerror(errno);
        return -1;
    }
    const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error = std::string("/dev/fuse: ") + std::strerror(errno);
        return -1;
    }
    const std::string options = "fd=" + std::to_string(fd) + ",rootmode=40000,user_id=0,group_id=0";
    if (mount("bulkon-test", target.c_str(), ("fuse." + subtype).c_str(), MS_NOSUID | MS_NODEV,
              options.c_str()) != 0) {
        error = std::string("mount fuse: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace testtree
