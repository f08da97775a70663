#include "platform/fs/FolderEnumeration.h"

#include "FolderWalkState.h"
#include "WideText.h"

#include <cstdint>

namespace {

// Seconds between 1601-01-01 (the FILETIME epoch) and 1970-01-01.
constexpr std::int64_t FileTimeEpochOffsetSeconds = 11644473600;
constexpr std::int64_t FileTimeTicksPerSecond = 10000000;

std::int64_t UnixSecondsFromFileTime(const FILETIME& time) {
    const std::int64_t ticks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    // Floor division, so that a time before 1970 does not round towards it.
    std::int64_t seconds = ticks / FileTimeTicksPerSecond;
    if (ticks % FileTimeTicksPerSecond < 0) {
        --seconds;
    }
    return seconds - FileTimeEpochOffsetSeconds;
}

bool IsDotEntry(const wchar_t* name) {
    return (name[0] == L'.' && name[1] == 0) ||
           (name[0] == L'.' && name[1] == L'.' && name[2] == 0);
}

} // namespace

FolderEnumeration::FolderEnumeration(FolderWalk& walk, const std::string& folder) : walk_(walk) {
    std::wstring pattern = ToWide(folder);
    pattern += L"\\*.*";
    // Windows refuses plain paths of MAX_PATH characters or more; Wine accepts them. Holding
    // to the limit everywhere gives the same listing on both.
    if (pattern.size() >= MAX_PATH) {
        skip_ = FolderSkip::Unreadable;
        return;
    }
    auto& levels = walk_.PlatformState().Levels;
    std::wstring path = pattern.substr(0, pattern.size() - 4);
    std::wstring realPath;
    skip_ = walk_.PlatformState().Locate(path, realPath);
    if (skip_ != FolderSkip::None) {
        return;
    }
    auto level = std::make_unique<FindLevel>();
    level->Path = std::move(path);
    level->RealPath = std::move(realPath);
    // The basic information level skips the short 8.3 names, which the walk never uses.
    level->Find = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &level->Data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (level->Find == INVALID_HANDLE_VALUE) {
        // An empty drive root has not even "." to deliver; it is read, not skipped.
        skip_ = GetLastError() == ERROR_FILE_NOT_FOUND ? FolderSkip::NotEntered
                                                       : FolderSkip::Unreadable;
        return;
    }
    level->HasPending = true;
    levels.push_back(std::move(level));
    level_ = static_cast<int>(levels.size()) - 1;
}

FolderEnumeration::~FolderEnumeration() {
    Close();
}

bool FolderEnumeration::IsOpen() const {
    return level_ >= 0;
}

bool FolderEnumeration::Next(DirectoryEntry& entry) {
    if (level_ < 0) {
        return false;
    }
    auto& levels = walk_.PlatformState().Levels;
    if (static_cast<std::size_t>(level_) >= levels.size()) {
        return false;
    }
    FindLevel& level = *levels[static_cast<std::size_t>(level_)];
    if (level.Find == INVALID_HANDLE_VALUE) {
        return false;
    }
    for (;;) {
        if (level.HasPending) {
            level.HasPending = false;
        } else if (!FindNextFileW(level.Find, &level.Data)) {
            return false;
        }
        if (IsDotEntry(level.Data.cFileName)) {
            continue;
        }
        level.Name = FromWide(level.Data.cFileName);
        entry.Name = level.Name;
        entry.Attributes = level.Data.dwFileAttributes;
        entry.SizeBytes =
            (static_cast<std::uint64_t>(level.Data.nFileSizeHigh) << 32) | level.Data.nFileSizeLow;
        entry.LastWriteTime = UnixSecondsFromFileTime(level.Data.ftLastWriteTime);
        return true;
    }
}

std::optional<DriveType> FolderEnumeration::FileDriveType(std::string_view name) {
    if (!IsOpen()) {
        return std::nullopt;
    }
    // Windows paths stay below MAX_PATH here: the path costs no more than the folder.
    const FindLevel& level = *walk_.PlatformState().Levels[static_cast<std::size_t>(level_)];
    const std::string path = FromWide(level.Path) + "\\" + std::string(name);
    if (!FileExists(path)) {
        return std::nullopt;
    }
    return QueryDriveTypeOfFile(path);
}

void FolderEnumeration::Close() {
    if (level_ < 0) {
        return;
    }
    auto& levels = walk_.PlatformState().Levels;
    const auto level = static_cast<std::size_t>(level_);
    level_ = -1;
    if (level < levels.size() && levels[level]->Find != INVALID_HANDLE_VALUE) {
        FindClose(levels[level]->Find);
        levels[level]->Find = INVALID_HANDLE_VALUE;
    }
    // Enumerations close innermost first; a level closed out of turn keeps its slot until
    // the ones inside it are gone, so that their positions stay valid.
    while (!levels.empty() && levels.back()->Find == INVALID_HANDLE_VALUE) {
        levels.pop_back();
    }
}
