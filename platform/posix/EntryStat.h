#pragma once

#include "AheadEntryStat.h"

#include <fcntl.h>
#include <sys/stat.h>

// How the walk and the read-ahead workers look at a folder's entries. Both look through
// LookAtEntry, so an entry read ahead is the entry the walk would have read itself.

#ifdef AT_NO_AUTOMOUNT
// Listing a folder must not mount every automount point below it.
inline constexpr int LinkStatFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT;
inline constexpr int TargetStatFlags = AT_NO_AUTOMOUNT;
#else
inline constexpr int LinkStatFlags = AT_SYMLINK_NOFOLLOW;
inline constexpr int TargetStatFlags = 0;
#endif

// "." and "..", which the walk never delivers.
inline bool IsDotOrDotDot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Reads what the system says about the entry `name` of the folder `dirFd`: the entry itself
// and, for a link, its target. False, with errno set, when the entry's details cannot be read
// (ENOENT: it vanished after it was listed).
inline bool LookAtEntry(int dirFd, const char* name, EntryStat& out) {
    struct stat st;
    if (fstatat(dirFd, name, &st, LinkStatFlags) != 0) {
        return false;
    }
    out = EntryStat{};
    out.Mode = st.st_mode;
    out.SizeBytes = static_cast<std::int64_t>(st.st_size);
    out.LastWriteTime = static_cast<std::int64_t>(st.st_mtime);
    out.LinkCount = static_cast<std::uint32_t>(st.st_nlink);
    out.Identity = IdentityOf(st);
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (fstatat(dirFd, name, &target, TargetStatFlags) == 0) {
            out.TargetKnown = true;
            out.TargetMode = target.st_mode;
            out.TargetIdentity = IdentityOf(target);
        }
    }
    return true;
}
