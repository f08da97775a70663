#pragma once

#include "platform/fs/FolderEnumeration.h"
#include "platform/fs/FolderWalk.h"

#include "OwnedHandle.h"
#include "Win32Api.h"
#include "platform/readahead/ReadAhead.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// One open folder of a walk: where its entries come from and the entry last delivered.
struct FindLevel {
    // Open from the constructor of its enumeration to its Close.
    bool Open = true;
    // The folder's listing, while entries are still to be read from it.
    FindHandle Find;
    // The find call that opens a folder already returns its first entry; it waits here
    // until the first Next delivers it.
    WIN32_FIND_DATAW Data{};
    bool HasPending = false;
    // With read-ahead: the folder's record (null when it cannot be read ahead). Its entries
    // are delivered first, then whatever Find still has.
    std::shared_ptr<AheadFolder> Ahead;
    std::size_t AheadCursor = 0;
    // The place in the walk's order of the next entry read from Find.
    std::uint32_t Ordinal = 0;

    // The entry last delivered: its UTF-8 name (the DirectoryEntry's view points to it, in
    // NameStorage or in the record), its attributes, and for a folder its record and place.
    std::string NameStorage;
    std::string_view Name;
    DWORD Attributes = 0;
    std::shared_ptr<AheadFolder> LastChild;
    std::uint32_t LastOrdinal = 0;

    // The folder as the walk named it (UTF-8 and wide), and where it really is: the target's
    // final path for a followed folder link, else the parent's real path and the name.
    // Compared to keep the walk out of link cycles.
    std::string PathUtf8;
    std::wstring Path;
    std::wstring RealPath;
};

// The folders a walk has open, from the root down. Each level sits in its own allocation so
// that opening a subfolder never moves the name that the parent's last entry points to.
struct FolderWalk::State {
    std::vector<std::unique_ptr<FindLevel>> Levels;
    // The kind of drive of the walk's files, once asked: it goes by the drive letter, which
    // every path of the walk shares with the root, and asking costs a round trip to the
    // system's mount manager.
    std::optional<DriveType> FilesDriveType;
    // The workers that read folders ahead of the walk; null when the walk reads every folder
    // itself.
    std::unique_ptr<ReadAhead> Ahead;

    // Closes every level from `level` down to the innermost.
    void CloseFrom(std::size_t level);

    // True when `folder` is the subfolder that the innermost open level delivered last.
    bool IsLastEntryOfInnermost(const std::string& folder) const;

    // Where a folder about to be opened really is. Tells why it must not be entered, else
    // None: NotEntered for a link whose target lies inside the tree (the walk reaches it
    // anyway, and would list its files twice) or is a folder the walk is already inside of
    // (a cycle); OtherDrive for a link or mounted folder that leads onto a network or
    // removable drive other than the root's.
    FolderSkip Locate(const std::string& folder, const std::wstring& path,
                      std::wstring& realPath) const;
};
