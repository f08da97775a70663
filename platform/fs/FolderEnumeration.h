#pragma once

#include "DirectoryEntry.h"
#include "Volume.h"

#include <string>
#include <string_view>

class FolderWalk;

// Why a folder was not read.
enum class FolderSkip {
    None,
    // It could not be opened or read: no access, vanished, out of descriptors with no way
    // round it, or a read error midway (then part of its entries may have been delivered).
    Unreadable,
    // It was deliberately not entered: a pseudo file system, a link back into the tree or
    // round a cycle, a folder the walk has already entered by another way.
    NotEntered,
    // A network or removable mount below the root.
    OtherDrive,
    // Its file system has not answered for a while (a share whose server is gone, a file
    // system whose daemon hangs): it is left out, so that the walk goes on.
    NoAnswer,
};

// Reads the entries of one folder during a walk. Construct it for the walk's root, or for a
// subfolder entry that the innermost open enumeration of the same walk has just delivered
// (its path is that enumeration's folder, the separator and the entry's name); the walk
// uses that relation to follow the tree's rules (links, cycles, pseudo file systems, depth).
//
// The entries "." and ".." are not delivered. An entry whose details cannot be read (it
// vanished after it was listed) is skipped. Closing happens at destruction at the latest.
class FolderEnumeration {
public:
    FolderEnumeration(FolderWalk& walk, const std::string& folder);
    ~FolderEnumeration();
    FolderEnumeration(const FolderEnumeration&) = delete;
    FolderEnumeration& operator=(const FolderEnumeration&) = delete;

    // True when the folder could be opened for reading. False when it cannot be read (no
    // access, not a folder, vanished), must not be entered (a pseudo file system, a link
    // back into the tree, a folder the walk has already entered), or once closed.
    bool IsOpen() const;

    // Why the folder is not open: None while it is open and after an ordinary end or Close.
    // A read error midway closes the enumeration and gives Unreadable.
    FolderSkip Skip() const { return skip_; }

    // Fills `entry` with the next entry. False at the end, on a read error and once closed.
    bool Next(DirectoryEntry& entry);

    // Releases the folder; Next returns false afterwards. Safe to call twice.
    void Close();

private:
    FolderWalk& walk_;
    // Depth of this folder in the walk's stack of open folders; -1 when not open.
    int level_ = -1;
    FolderSkip skip_ = FolderSkip::None;
};
