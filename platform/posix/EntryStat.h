#pragma once

#include <fcntl.h>

// How the walk and the read-ahead workers look at a folder's entries. Both must look the
// same way, or an entry read ahead would differ from the one the walk reads itself.

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
