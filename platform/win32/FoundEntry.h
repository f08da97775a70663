#pragma once

#include "AheadEntryStat.h"
#include "Win32Api.h"

#include <cstdint>

// How the walk and the read-ahead workers look at what FindFirstFileExW and FindNextFileW
// found. Both must look the same way, or an entry read ahead would differ from the one the
// walk reads itself.

// Opens the listing of the folder whose pattern (the folder, "\" and "*.*") is `pattern` and
// finds its first entry: the basic information level skips the short 8.3 names, which the
// walk never uses, and the large fetch asks for many entries per call.
inline HANDLE FindFirstEntry(const wchar_t* pattern, WIN32_FIND_DATAW& data) {
    return FindFirstFileExW(pattern, FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

// "." and "..", which the walk never delivers.
inline bool IsDotEntry(const wchar_t* name) {
    return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

inline std::uint64_t FoundSizeBytes(const WIN32_FIND_DATAW& data) {
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The last-write time in seconds since 1970-01-01 00:00:00 UTC.
inline std::int64_t FoundLastWriteTime(const WIN32_FIND_DATAW& data) {
    // Seconds between 1601-01-01 (the FILETIME epoch) and 1970-01-01.
    constexpr std::int64_t epochOffsetSeconds = 11644473600;
    constexpr std::int64_t ticksPerSecond = 10000000;
    const FILETIME& time = data.ftLastWriteTime;
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    // Floor division, so that a time before 1970 does not round towards it.
    std::int64_t seconds = ticks / ticksPerSecond;
    if (ticks % ticksPerSecond < 0) {
        --seconds;
    }
    return seconds - epochOffsetSeconds;
}

// What the listing said about the entry in `data`.
inline EntryStat FoundEntryStat(const WIN32_FIND_DATAW& data) {
    EntryStat stat;
    stat.Attributes = data.dwFileAttributes;
    stat.SizeBytes = FoundSizeBytes(data);
    stat.LastWriteTime = FoundLastWriteTime(data);
    return stat;
}

// A folder the read-ahead may read in turn: a plain one. Junctions, folder links and mounted
// volumes (reparse points) are for the walk to examine.
inline bool IsPlainFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}
