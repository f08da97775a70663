#pragma once

#include "platform/fs/FolderEnumeration.h"
#include "platform/fs/FolderWalk.h"

#include "Win32Api.h"

#include <memory>
#include <string>
#include <vector>

// One open folder of a walk: its find handle and the entry it is positioned on.
struct FindLevel {
    HANDLE Find = INVALID_HANDLE_VALUE;
    // The find call that opens a folder already returns its first entry; it waits here
    // until the first Next delivers it.
    WIN32_FIND_DATAW Data{};
    bool HasPending = false;
    // The UTF-8 name of the entry last delivered; the DirectoryEntry's view points here.
    std::string Name;
    // The folder as the walk named it, and where it really is: the target's final path
    // for a followed folder link, else the parent's real path and the name. Compared to
    // keep the walk out of link cycles.
    std::wstring Path;
    std::wstring RealPath;
};

// The folders a walk has open, from the root down. Each level sits in its own allocation so
// that opening a subfolder never moves the name that the parent's last entry points to.
struct FolderWalk::State {
    std::vector<std::unique_ptr<FindLevel>> Levels;

    // Closes every level from `level` down to the innermost.
    void CloseFrom(std::size_t level);

    // Where a folder about to be opened really is. Tells why it must not be entered, else
    // None: NotEntered for a link whose target lies inside the tree (the walk reaches it
    // anyway, and would list its files twice) or is a folder the walk is already inside of
    // (a cycle); OtherDrive for a link or mounted folder that leads onto a network or
    // removable drive other than the root's.
    FolderSkip Locate(const std::wstring& path, std::wstring& realPath) const;
};
