#include "MountTable.h"

#include <algorithm>
#include <array>
#include <cstdio>
#if __has_include(<sys/sysmacros.h>)
#include <sys/sysmacros.h> // major() and minor() on glibc; elsewhere in <sys/types.h>
#endif

namespace {

// Splits off the next blank-separated field of a mountinfo line.
bool NextField(std::string_view& line, std::string_view& field) {
    std::size_t start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        return false;
    }
    line.remove_prefix(start);
    std::size_t end = line.find(' ');
    field = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return true;
}

bool ParseUnsigned(std::string_view text, unsigned& value) {
    if (text.empty() || text.size() > 9) {
        return false;
    }
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return true;
}

bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}

} // namespace

std::string UnescapeMountField(std::string_view field) {
    std::string result;
    result.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
            IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
            int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF) {
                result.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        result.push_back(field[i]);
    }
    return result;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        // Fields: id, parent id, major:minor, root, mount point, options, optional fields
        // up to a lone "-", then type, source, super options.
        std::string_view id, parent, device, root, mountPoint, field;
        if (!NextField(line, id) || !NextField(line, parent) || !NextField(line, device) ||
            !NextField(line, root) || !NextField(line, mountPoint) || !NextField(line, field)) {
            continue;
        }
        bool separatorFound = false;
        while (NextField(line, field)) {
            if (field == "-") {
                separatorFound = true;
                break;
            }
        }
        std::string_view type, source;
        if (!separatorFound || !NextField(line, type)) {
            continue;
        }
        if (!NextField(line, source)) {
            source = {};
        }
        std::size_t colon = device.find(':');
        MountEntry entry;
        if (colon == std::string_view::npos ||
            !ParseUnsigned(device.substr(0, colon), entry.Major) ||
            !ParseUnsigned(device.substr(colon + 1), entry.Minor)) {
            continue;
        }
        entry.MountPoint = UnescapeMountField(mountPoint);
        entry.FsType = UnescapeMountField(type);
        entry.Source = UnescapeMountField(source);
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<MountEntry> ReadMountTable() {
    std::FILE* file = std::fopen("/proc/self/mountinfo", "re");
    if (file == nullptr) {
        return {};
    }
    std::string text;
    std::array<char, 8192> buffer;
    std::size_t count;
    while ((count = std::fread(buffer.data(), 1, buffer.size(), file)) > 0) {
        text.append(buffer.data(), count);
    }
    std::fclose(file);
    return ParseMountInfo(text);
}

std::string FindMountPointFor(const std::vector<MountEntry>& mounts, const std::string& path) {
    const std::string* best = nullptr;
    for (const MountEntry& mount : mounts) {
        const std::string& point = mount.MountPoint;
        if (point.empty() || point[0] != '/') {
            continue;
        }
        // "/home" holds "/home" and "/home/u" but not "/homework".
        bool holds = point == "/" || (path.compare(0, point.size(), point) == 0 &&
                                      (path.size() == point.size() || path[point.size()] == '/'));
        if (holds && (best == nullptr || point.size() >= best->size())) {
            best = &point;
        }
    }
    return best != nullptr ? *best : std::string();
}

std::string FindFsTypeOfDevice(const std::vector<MountEntry>& mounts, dev_t device) {
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (it->Major == major(device) && it->Minor == minor(device)) {
            return it->FsType;
        }
    }
    return {};
}

bool IsPseudoFsType(std::string_view fsType) {
    static constexpr std::string_view pseudo[] = {
        "proc",      "sysfs",      "devtmpfs",    "devpts", "cgroup",     "cgroup2", "debugfs",
        "tracefs",   "securityfs", "pstore",      "bpf",    "configfs",   "fusectl", "mqueue",
        "hugetlbfs", "efivarfs",   "binfmt_misc", "autofs", "rpc_pipefs", "nsfs",    "selinuxfs"};
    return std::find(std::begin(pseudo), std::end(pseudo), fsType) != std::end(pseudo);
}

bool IsPseudoFsMagic(unsigned long magic) {
    static constexpr unsigned long pseudo[] = {
        0x9fa0,     // proc
        0x62656572, // sysfs
        0x1cd1,     // devpts
        0x27e0eb,   // cgroup
        0x63677270, // cgroup2
        0x64626720, // debugfs
        0x74726163, // tracefs
        0x73636673, // securityfs
        0x6165676c, // pstore
        0xcafe4a11, // bpf
        0x62656570, // configfs
        0x65735543, // fusectl
        0x19800202, // mqueue
        0x958458f6, // hugetlbfs
        0xde5e81e4, // efivarfs
        0x42494e4d, // binfmt_misc
        0x0187,     // autofs
        0x67596969, // rpc_pipefs
        0x6e736673, // nsfs
        0xf97cff8c, // selinuxfs
    };
    // f_type is signed on some ABIs; only the low 32 bits carry the magic number.
    magic &= 0xffffffffUL;
    return std::find(std::begin(pseudo), std::end(pseudo), magic) != std::end(pseudo);
}

bool IsNetworkFsType(std::string_view fsType) {
    static constexpr std::string_view network[] = {
        "nfs",  "nfs4",  "cifs",  "smb3",      "smbfs",  "ncpfs", "ncp",
        "9p",   "afs",   "ceph",  "glusterfs", "lustre", "gpfs",  "beegfs",
        "coda", "davfs", "sshfs", "orangefs",  "pvfs2"};
    // FUSE file systems name themselves "fuse.<program>"; those that talk to a server.
    static constexpr std::string_view fuseNetwork[] = {
        "sshfs",     "glusterfs", "s3fs",     "rclone",     "davfs2",   "gcsfuse",
        "goofys",    "curlftpfs", "smbnetfs", "gvfsd-fuse", "cephfs",   "ceph-fuse",
        "moosefs",   "mfs",       "juicefs",  "seaweedfs",  "lizardfs", "blobfuse",
        "blobfuse2", "onedriver", "kio-fuse", "httpdirfs",  "afpfs"};
    if (fsType.substr(0, 5) == "fuse.") {
        std::string_view program = fsType.substr(5);
        return std::find(std::begin(fuseNetwork), std::end(fuseNetwork), program) !=
               std::end(fuseNetwork);
    }
    return std::find(std::begin(network), std::end(network), fsType) != std::end(network);
}

DriveType DriveTypeOfMount(const MountEntry& mount, bool onRemovableDevice) {
    if (IsNetworkFsType(mount.FsType)) {
        return DriveType::Network;
    }
    // FUSE mounts made by old tools say only "fuse"; the source names the program then.
    if ((mount.FsType == "fuse" || mount.FsType == "fuse3") &&
        (mount.Source.rfind("sshfs#", 0) == 0 || mount.Source.rfind("curlftpfs#", 0) == 0)) {
        return DriveType::Network;
    }
    return onRemovableDevice ? DriveType::Removable : DriveType::Fixed;
}

namespace {

bool ReadsOne(const std::string& file) {
    std::FILE* f = std::fopen(file.c_str(), "re");
    if (f == nullptr) {
        return false;
    }
    int c = std::fgetc(f);
    std::fclose(f);
    return c == '1';
}

} // namespace

bool IsRemovableBlockDevice(unsigned majorNumber, unsigned minorNumber) {
    if (majorNumber == 0) {
        return false;
    }
    // A partition has no "removable" of its own; the disk above it has.
    std::string base =
        "/sys/dev/block/" + std::to_string(majorNumber) + ":" + std::to_string(minorNumber);
    return ReadsOne(base + "/removable") || ReadsOne(base + "/../removable");
}
