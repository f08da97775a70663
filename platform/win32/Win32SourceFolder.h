#pragma once

#include "OwnedHandle.h"
#include "VolumeDriveTypes.h"
#include "Win32Api.h"
#include "platform/fs/FolderSource.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

// What a folder listing or a look at one entry says about an entry: the facts the walk's
// look is made from.
struct Win32EntryRecord {
    DWORD Attributes = 0;
    // The reparse tag of a reparse point; 0 when the system does not tell it.
    DWORD ReparseTag = 0;
    std::uint64_t SizeBytes = 0;
    std::int64_t LastWriteTicks = 0;
    std::uint64_t FileId = 0;
};

// One folder open on Windows: a handle to it, listed with GetFileInformationByHandleEx, which
// gives each entry's name, attributes, size, time and file number in one batch. Opened by its
// extended-length path, so that no depth of the tree meets MAX_PATH.
class Win32SourceFolder final : public SourceFolder {
public:
    // The access a folder is opened with for listing it.
    static constexpr DWORD ListingAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES;

    // Opens the folder at the extended-length path `path`: not through a link in its last
    // name unless `followLink`. `known`, when given, is what the parent's listing said about
    // it. Null on failure, with `failure` telling why. `access` FILE_READ_ATTRIBUTES alone
    // opens it for its identity only: its listing then fails.
    static std::unique_ptr<Win32SourceFolder> Open(std::wstring path, bool followLink,
                                                   const Win32EntryRecord* known,
                                                   std::shared_ptr<VolumeDriveTypes> volumes,
                                                   OpenFailure& failure,
                                                   DWORD access = ListingAccess);
    // Opens the folder at the extended-length path `path`, which its parent's listing showed
    // as `listed`. A plain folder (no reparse point) is taken for what the listing said: asking
    // its handle again would cost, under Wine, a round trip to the mount manager for the
    // volume's serial number, several times the cost of the opening. Another is opened as Open
    // does, not through a link.
    static std::unique_ptr<Win32SourceFolder> OpenListed(std::wstring path,
                                                         const ListedFolder& listed,
                                                         std::shared_ptr<VolumeDriveTypes> volumes,
                                                         OpenFailure& failure);

    NodeIdentity Identity() const override { return identity_; }
    std::string_view ReadName() override;
    bool ReadFailed() const override { return failed_; }
    void Rewind() override;
    LookResult LookAt(std::string_view name, EntryFacts& facts, LinkTarget target) override;
    std::unique_ptr<SourceFolder> OpenBelow(std::string_view name, bool followLink,
                                            OpenFailure& failure) override;
    std::unique_ptr<SourceFolder> OpenListedBelow(std::string_view name, const ListedFolder& listed,
                                                  OpenFailure& failure) override;
    std::unique_ptr<SourceFolder> OpenAbove(OpenFailure& failure) override;
    bool IsOnPseudoFileSystem() override { return false; }
    std::string RealPath() override;

private:
    Win32SourceFolder(std::wstring path, FileHandle handle, NodeIdentity identity,
                      std::shared_ptr<VolumeDriveTypes> volumes);

    // The next record of the listing, "." and ".." included; null at its end or on an error.
    const FILE_ID_BOTH_DIR_INFO* NextRecord();
    // Reads the next batch of records into the buffer. False at the end or on an error.
    bool ReadBatch();
    // True when `name` is the name ReadName gave last, whose record is at hand.
    bool IsLastRead(std::string_view name) const;
    // The record of the entry `name`: from the listing when it was read last, else asked.
    LookResult RecordOf(std::string_view name, Win32EntryRecord& record) const;
    std::wstring PathBelow(std::string_view name) const;
    // The path the folder finally is at, through every link, in extended-length form; empty
    // when the system cannot say.
    std::wstring FinalPath() const;

    std::wstring path_;
    FileHandle handle_;
    NodeIdentity identity_;
    std::shared_ptr<VolumeDriveTypes> volumes_;

    // The listing: one batch of records at a time, in a buffer kept for the folder's life.
    std::unique_ptr<LONGLONG[]> batch_;
    std::size_t nextRecord_ = 0;
    bool batchRead_ = false;
    bool restart_ = true;
    bool ended_ = false;
    bool failed_ = false;
    // The entry ReadName gave last: its record in the batch and its UTF-8 name.
    const FILE_ID_BOTH_DIR_INFO* lastRecord_ = nullptr;
    std::string lastName_;
};
