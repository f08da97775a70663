#pragma once

#include "AheadFolder.h"
#include "DirectoryReader.h"
#include "FileIdentity.h"
#include "MountedDevices.h"
#include "ReadAhead.h"
#include "platform/fs/FolderWalk.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

class FolderEnumeration;

// An entry as the walk classified it: what DirectoryEntry reports plus what opening the
// entry as a folder needs.
struct ClassifiedEntry {
    std::uint32_t Attributes = 0;
    std::uint64_t SizeBytes = 0;
    std::int64_t LastWriteTime = 0;
    FileIdentity Identity; // of the folder itself, or of a link's target folder
    bool ViaLink = false;  // a link to a folder, delivered as a folder
};

// An entry kept by a level that read its folder completely at opening.
struct BufferedEntry {
    std::uint32_t NameOffset = 0; // into WalkLevel::Names, NUL-terminated there
    std::uint32_t NameLength = 0;
    ClassifiedEntry Details;
    // The read-ahead's record of the folder the entry names, if any, and the entry's place.
    std::shared_ptr<AheadFolder> Child;
    std::uint32_t Ordinal = 0;
};

// One open folder of the walk. Levels are kept from folder to folder, so their buffers
// grow to what the tree needs once and are then reused.
struct WalkLevel {
    const FolderEnumeration* Owner = nullptr;
    FileIdentity Identity;
    // The folder, or a folder above it, was reached through a followed link; only then can
    // an ordinary folder turn out to be one the walk has already listed.
    bool UnderLink = false;

    // A shallow level reads lazily from its open folder.
    DirectoryReader Reader;

    // A level deeper than the descriptor budget reads all its entries at opening and keeps
    // no descriptor. Its children are opened from the descriptor of level `Anchor` (-1: the
    // current directory) along `PathFromAnchor`.
    bool Buffered = false;
    int Anchor = -1;
    std::string PathFromAnchor;
    std::vector<char> Names;
    std::vector<BufferedEntry> Entries;
    std::size_t Cursor = 0;

    // Entries of this folder on which a network file system is mounted: they are not looked
    // at, only left out. Empty in nearly every folder.
    std::vector<MountedDevices::NetworkMount> NetworkMounts;
    // With read-ahead: the folder's record (null when it lies too deep to be read ahead),
    // and whether the entries come from it instead of from Reader or Entries.
    std::shared_ptr<AheadFolder> Ahead;
    bool FromAhead = false;
    std::size_t AheadCursor = 0;
    // Entries listed so far from Reader: their places in the walk's order.
    std::uint32_t Ordinal = 0;
    // A descriptor of the folder opened when its own reading did not keep one: to check the
    // links it holds and to open its subfolders from. -1 when none is open.
    int LookupFd = -1;

    // The entry that Next delivered last, when it was a folder: a child enumeration opens it.
    bool LastIsFolder = false;
    std::string_view LastName;
    ClassifiedEntry LastEntry;
    std::shared_ptr<AheadFolder> LastChild;
    std::uint32_t LastOrdinal = 0;
};

struct FolderWalk::State {
    State();

    std::vector<std::unique_ptr<WalkLevel>> Levels;
    int Depth = 0;     // number of open levels
    int FdBudget = 8;  // levels below this depth keep their folder open
    FileIdentity Root; // of the root folder once it is open
    bool RootOpen = false;
    // Targets of the links followed so far: a second link to one of them, or into one of
    // them, would list the same files again.
    std::vector<FileIdentity> FollowedTargets;
    // Reads the folders of buffered levels, one at a time, with one buffer for them all.
    DirectoryReader SharedReader;
    // The file systems met so far: their types and kinds of drive.
    MountedDevices Devices;
    // The root's path without links, when network file systems are mounted anywhere: the
    // folders' paths below it are compared with the mount table. Empty otherwise.
    std::string RealRoot;
    // The workers that read folders ahead of the walk; null when the walk reads every folder
    // itself. Declared last, so that the workers end before the records they may hold.
    std::unique_ptr<ReadAhead> Ahead;
};
