#pragma once

#include "AheadReading.h"
#include "DirectoryReader.h"
#include "FileIdentity.h"
#include "MountedDevices.h"
#include "UniqueFd.h"
#include "platform/fs/FolderWalk.h"
#include "platform/readahead/ReadAhead.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <unordered_set>
#include <utility>
#include <vector>

class FolderEnumeration;

struct FileIdentityHash {
    std::size_t operator()(const FileIdentity& identity) const {
        const auto inode = static_cast<std::uint64_t>(identity.Inode);
        const auto device = static_cast<std::uint64_t>(identity.Device);
        return std::hash<std::uint64_t>{}(inode ^ (device * 0x9E3779B97F4A7C15ull));
    }
};

using FileIdentitySet = std::unordered_set<FileIdentity, FileIdentityHash>;

// An entry as the walk classified it: what DirectoryEntry reports plus what opening the
// entry as a folder needs.
struct ClassifiedEntry {
    std::uint32_t Attributes = 0;
    std::uint64_t SizeBytes = 0;
    std::int64_t LastWriteTime = 0;
    std::uint32_t LinkCount = 1;
    // Of the folder itself, of a link's target folder, or of the file (a link delivered as a
    // file: of the link).
    FileIdentity Identity;
    bool ViaLink = false; // a link to a folder, delivered as a folder
    // An entry that a worker looked at and whose file system did not answer: delivered as a
    // folder that is not entered, never looked at by the walk.
    bool Unanswered = false;
};

// An entry kept by a level that holds its folder's entries in memory.
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
    // The folder's path is FolderWalk::State::Path up to here.
    std::size_t PathEnd = 0;
    // The folder, or a folder above it, was reached through a followed link: its path says
    // nothing about where it really is.
    bool UnderLink = false;

    // A shallow level reads lazily from its open folder.
    DirectoryReader Reader;

    // A buffered level holds all its remaining entries in memory: a level deeper than the
    // descriptor budget reads them at opening, a lazy level turns buffered when the walk
    // runs out of descriptors. Its descriptor (LookupFd) is only needed to open its
    // subfolders, so it is closed while the walk is below it and opened again from the
    // subfolder with "..".
    bool Buffered = false;
    std::vector<char> Names;
    std::vector<BufferedEntry> Entries;
    std::size_t Cursor = 0;
    std::size_t FoldersLeft = 0; // folder entries not yet delivered

    // The details of an entry could not be read, or reading the folder failed.
    bool ReadFailed = false;

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
    // The place of the entry a worker waited on in vain (-1: none); the walk does not look at it.
    std::int64_t UnansweredOrdinal = -1;
    // A descriptor of the folder when its own reading keeps none: to check the links it holds
    // and to open its subfolders from. -1 when none is open.
    UniqueFd LookupFd;

    // The entry that Next delivered last, when it was a folder: a child enumeration opens it.
    bool LastIsFolder = false;
    std::string_view LastName;
    ClassifiedEntry LastEntry;
    std::shared_ptr<AheadFolder> LastChild;
    std::uint32_t LastOrdinal = 0;
};

struct FolderWalk::State {
    State();
    ~State();

    std::vector<std::unique_ptr<WalkLevel>> Levels;
    int Depth = 0;     // number of open levels
    int FdBudget = 0;  // levels below this depth read lazily from an open folder
    FileIdentity Root; // of the root folder once it is open
    bool RootOpen = false;
    // The path of the innermost open folder, and of every folder above it as a prefix: names
    // are appended going down and cut off coming up, so no level keeps a copy of its own.
    std::string Path;
    // Every folder the walk has entered: one that is met again by whatever way (a link, a
    // bind mount, the same file system mounted twice) is not entered a second time.
    FileIdentitySet Entered;
    // Folders found to lie outside every entered folder when a link's target was checked
    // (and the folders above the root); the next check that reaches one of them stops there.
    FileIdentitySet Outside;
    // Reads the folders of buffered levels at opening, with one buffer for them all.
    DirectoryReader SharedReader;
    // The file systems met so far: their types and kinds of drive.
    MountedDevices Devices;
    // The kind of drive of the device whose file was delivered last: files of one folder,
    // and mostly of one walk, share it.
    dev_t FilesDevice = 0;
    DriveType FilesDrive = DriveType::Unknown;
    // The root's path without links, when network file systems are mounted anywhere: the
    // folders' paths below it are compared with the mount table. Empty otherwise.
    std::string RealRoot;
    // The folders holding a network mount point, which the workers leave to the walk.
    std::shared_ptr<NetworkMountFolders> AheadAvoids = std::make_shared<NetworkMountFolders>();
    // The descriptors the workers may hold, out of what the walk leaves free; taken back
    // when the walk runs out of its own.
    std::shared_ptr<WorkerDescriptors> WorkerFds;
    bool WorkersDescriptorsTaken = false;
    // The workers that read folders ahead of the walk; null when the walk reads every folder
    // itself. Declared last, so that the workers end before the records they may hold.
    std::unique_ptr<ReadAhead> Ahead;
};
