#include "platform/fs/RootCheck.h"

#include "LongPath.h"
#include "MountTable.h"
#include "OpenFolder.h"

#include <cerrno>
#include <sys/stat.h>
#ifdef __linux__
#include <sys/vfs.h>
#endif

namespace {

#ifdef __linux__
// devtmpfs gives the magic number of tmpfs; only the mount table tells them apart, so it
// is read only for folders on a tmpfs.
constexpr unsigned long TmpfsMagic = 0x01021994;

bool IsOnPseudoFileSystem(int fd, dev_t device) {
    struct statfs fs;
    if (fstatfs(fd, &fs) != 0) {
        return false;
    }
    const unsigned long magic = static_cast<unsigned long>(fs.f_type) & 0xffffffffUL;
    if (IsPseudoFsMagic(magic)) {
        return true;
    }
    return magic == TmpfsMagic && IsPseudoFsType(FindFsTypeOfDevice(ReadMountTable(), device));
}
#else
bool IsOnPseudoFileSystem(int, dev_t) {
    return false;
}
#endif

} // namespace

RootCheck CheckScanRoot(const std::string& root) {
    const OpenFolder folder(root);
    if (!folder.IsOpen()) {
        struct stat st;
        switch (folder.Error()) {
        case ENOTDIR:
            // The root itself, or a name on the way to it, is a file.
            return StatLongPath(root, st) && !S_ISDIR(st.st_mode) ? RootCheck::NotAFolder
                                                                  : RootCheck::Missing;
        case ENOENT:
            return RootCheck::Missing;
        default:
            // No access to the folder or to one above it, a link loop, out of descriptors:
            // it is there, and it cannot be read.
            return RootCheck::Unreadable;
        }
    }
    struct stat st;
    if (fstat(folder.Fd(), &st) != 0) {
        return RootCheck::Unreadable;
    }
    // A folder that was removed while it was someone's working folder still opens, and
    // lists as empty: that would read as an empty tree.
    if (st.st_nlink == 0) {
        return RootCheck::Removed;
    }
    // Listing needs read access, looking at the entries needs search access: a folder that
    // can be listed but not searched gives names without sizes, which is no result.
    struct stat self;
    if (fstatat(folder.Fd(), ".", &self, 0) != 0) {
        return RootCheck::Unreadable;
    }
    if (IsOnPseudoFileSystem(folder.Fd(), st.st_dev)) {
        return RootCheck::PseudoFileSystem;
    }
    return RootCheck::Readable;
}
