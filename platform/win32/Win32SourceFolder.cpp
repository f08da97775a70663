#include "Win32SourceFolder.h"

#include "FolderHandle.h"
#include "WideText.h"

#include <utility>

namespace {

// The listing's batch: room for a few hundred entries per call.
constexpr std::size_t BatchBytes = 32 * 1024;

bool IsDotName(const FILE_ID_BOTH_DIR_INFO& record) {
    const std::size_t length = record.FileNameLength / sizeof(wchar_t);
    return record.FileName[0] == L'.' &&
           (length == 1 || (length == 2 && record.FileName[1] == L'.'));
}

Win32EntryRecord RecordOfListing(const FILE_ID_BOTH_DIR_INFO& listed) {
    Win32EntryRecord record;
    record.Attributes = listed.FileAttributes;
    // For a reparse point the listing puts its tag where the size of extended attributes
    // would be.
    if ((listed.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        record.ReparseTag = listed.EaSize;
    }
    record.SizeBytes = static_cast<std::uint64_t>(listed.EndOfFile.QuadPart);
    record.LastWriteTicks = listed.LastWriteTime.QuadPart;
    record.FileId = static_cast<std::uint64_t>(listed.FileId.QuadPart);
    return record;
}

// True for the reparse points that lead elsewhere: folder links and junctions (mounted
// volumes among them) and symbolic links. Other reparse points (folders whose content lives
// in the cloud, deduplicated files) are what they look like. Wine marks a folder's symbolic
// link as a reparse point without telling its tag: it counts as a link.
bool IsLink(DWORD attributes, DWORD tag) {
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return false;
    }
    return tag == IO_REPARSE_TAG_MOUNT_POINT || tag == IO_REPARSE_TAG_SYMLINK ||
           (tag == 0 && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
}

// The link's target: whether it is a folder and who it is. Left as it is when the target
// cannot be opened (a broken link).
void LookAtTarget(const std::wstring& path, VolumeDriveTypes& volumes, EntryFacts& facts) {
    OpenFailure failure = OpenFailure::None;
    const FileHandle target = OpenHandle(path, FILE_READ_ATTRIBUTES, 0, failure);
    BY_HANDLE_FILE_INFORMATION info;
    if (target.IsOpen() && GetFileInformationByHandle(target.Get(), &info)) {
        facts.TargetIsFolder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        facts.TargetIdentity = IdentityOf(info);
        // A link may lead onto another drive, whose kind the walk asks for next.
        volumes.Remember(facts.TargetIdentity.Device, target.Get(), path);
    }
}

// A folder that is neither a link nor any other reparse point, with a file number: what the
// listing says of it is all there is to know for opening it.
bool IsPlainFolder(const ListedFolder& listed) {
    return (listed.Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
           (listed.Attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && listed.Identity.Number != 0;
}

// The record of the entry at `path`, asked of the system: the entry's own listing for its
// attributes and reparse tag, and a handle to the entry itself for its file number.
LookResult AskRecord(const std::wstring& path, Win32EntryRecord& record) {
    WIN32_FIND_DATAW data;
    const FindHandle find(
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
    if (!find.IsOpen()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LookResult::Vanished
                                                                              : LookResult::Failed;
    }
    record.Attributes = data.dwFileAttributes;
    record.ReparseTag =
        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? data.dwReserved0 : 0;
    record.SizeBytes = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    record.LastWriteTicks = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
        data.ftLastWriteTime.dwLowDateTime);
    OpenFailure failure = OpenFailure::None;
    const FileHandle entry =
        OpenHandle(path, FILE_READ_ATTRIBUTES, FILE_FLAG_OPEN_REPARSE_POINT, failure);
    BY_HANDLE_FILE_INFORMATION info;
    if (entry.IsOpen() && GetFileInformationByHandle(entry.Get(), &info)) {
        record.FileId = IdentityOf(info).Number;
    }
    return LookResult::Looked;
}

// True when the handle `folder`, opened without following a link, is a link itself.
bool HandleIsLink(HANDLE folder, DWORD attributes) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
        return false;
    }
    return !GetFileInformationByHandleEx(folder, FileAttributeTagInfo, &tag, sizeof tag) ||
           IsLink(attributes, tag.ReparseTag);
}

// Opens `path` and reads what its handle tells; the handle is not open on failure.
FileHandle OpenWithInfo(const std::wstring& path, DWORD access, DWORD flags,
                        BY_HANDLE_FILE_INFORMATION& info, OpenFailure& failure) {
    FileHandle handle = OpenHandle(path, access, flags, failure);
    if (handle.IsOpen() && !GetFileInformationByHandle(handle.Get(), &info)) {
        handle.Reset();
        failure = OpenFailure::Unreadable;
    }
    return handle;
}

} // namespace

Win32SourceFolder::Win32SourceFolder(std::wstring path, FileHandle handle, NodeIdentity identity,
                                     std::shared_ptr<VolumeDriveTypes> volumes)
    : path_(std::move(path)), handle_(std::move(handle)), identity_(identity),
      volumes_(std::move(volumes)) {}

std::unique_ptr<Win32SourceFolder>
Win32SourceFolder::Open(std::wstring path, bool followLink, const Win32EntryRecord* known,
                        std::shared_ptr<VolumeDriveTypes> volumes, OpenFailure& failure,
                        DWORD access) {
    failure = OpenFailure::Unreadable;
    // Wine opens through a link whatever the flags say; its listing still tells a link.
    if (!followLink && known && IsLink(known->Attributes, known->ReparseTag)) {
        return nullptr;
    }
    BY_HANDLE_FILE_INFORMATION info;
    FileHandle handle =
        OpenWithInfo(path, access, followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT, info, failure);
    if (handle.IsOpen() && !followLink &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        if (HandleIsLink(handle.Get(), info.dwFileAttributes)) {
            failure = OpenFailure::Unreadable;
            return nullptr;
        }
        // A folder whose content lives in the cloud: opened as the system shows it, so that
        // its provider can fill in its listing.
        handle = OpenWithInfo(path, access, 0, info, failure);
    }
    if (!handle.IsOpen()) {
        return nullptr;
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        failure = OpenFailure::Unreadable;
        return nullptr;
    }
    const NodeIdentity identity = IdentityOf(info);
    volumes->Remember(identity.Device, handle.Get(), path);
    return std::unique_ptr<Win32SourceFolder>(
        new Win32SourceFolder(std::move(path), std::move(handle), identity, std::move(volumes)));
}

std::unique_ptr<Win32SourceFolder>
Win32SourceFolder::OpenListed(std::wstring path, const ListedFolder& listed,
                              std::shared_ptr<VolumeDriveTypes> volumes, OpenFailure& failure) {
    if (!IsPlainFolder(listed)) {
        return Open(std::move(path), false, nullptr, std::move(volumes), failure);
    }
    FileHandle handle = OpenHandle(path, ListingAccess, FILE_FLAG_OPEN_REPARSE_POINT, failure);
    if (!handle.IsOpen()) {
        return nullptr;
    }
    return std::unique_ptr<Win32SourceFolder>(new Win32SourceFolder(
        std::move(path), std::move(handle), listed.Identity, std::move(volumes)));
}

std::string_view Win32SourceFolder::ReadName() {
    lastRecord_ = nullptr;
    lastName_.clear();
    while (const FILE_ID_BOTH_DIR_INFO* record = NextRecord()) {
        if (!IsDotName(*record)) {
            lastRecord_ = record;
            lastName_ = FromWide(
                std::wstring_view(record->FileName, record->FileNameLength / sizeof(wchar_t)));
            return lastName_;
        }
    }
    return lastName_; // empty, and still followed by its NUL
}

void Win32SourceFolder::Rewind() {
    restart_ = true;
    batchRead_ = false;
    ended_ = false;
    failed_ = false;
    lastRecord_ = nullptr;
    lastName_.clear();
}

const FILE_ID_BOTH_DIR_INFO* Win32SourceFolder::NextRecord() {
    if (!batchRead_) {
        if (ended_ || !ReadBatch()) {
            return nullptr;
        }
        batchRead_ = true;
        nextRecord_ = 0;
    }
    const auto* record = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(
        reinterpret_cast<const std::byte*>(batch_.get()) + nextRecord_);
    if (record->NextEntryOffset == 0) {
        batchRead_ = false;
    } else {
        nextRecord_ += record->NextEntryOffset;
    }
    return record;
}

bool Win32SourceFolder::ReadBatch() {
    if (!batch_) {
        batch_ = std::make_unique_for_overwrite<LONGLONG[]>(BatchBytes / sizeof(LONGLONG));
    }
    const bool first = std::exchange(restart_, false);
    if (GetFileInformationByHandleEx(
            handle_.Get(), first ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo,
            batch_.get(), static_cast<DWORD>(BatchBytes))) {
        return true;
    }
    const DWORD error = GetLastError();
    ended_ = true;
    // The top folder of an empty volume has not even "." to list.
    failed_ = error != ERROR_NO_MORE_FILES && !(first && error == ERROR_FILE_NOT_FOUND);
    return false;
}

bool Win32SourceFolder::IsLastRead(std::string_view name) const {
    return lastRecord_ != nullptr && name == lastName_;
}

LookResult Win32SourceFolder::RecordOf(std::string_view name, Win32EntryRecord& record) const {
    if (IsLastRead(name)) {
        record = RecordOfListing(*lastRecord_);
        return LookResult::Looked;
    }
    return AskRecord(PathBelow(name), record);
}

LookResult Win32SourceFolder::LookAt(std::string_view name, EntryFacts& facts, LinkTarget target) {
    Win32EntryRecord record;
    const LookResult result = RecordOf(name, record);
    if (result != LookResult::Looked) {
        return result;
    }
    facts = EntryFacts();
    const bool folder = (record.Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    facts.Type = IsLink(record.Attributes, record.ReparseTag) ? EntryFacts::Kind::Link
                 : folder                                     ? EntryFacts::Kind::Folder
                                                              : EntryFacts::Kind::File;
    facts.Attributes = record.Attributes;
    facts.SizeBytes = folder ? 0 : record.SizeBytes;
    facts.LastWriteTime = UnixSecondsOfTicks(record.LastWriteTicks);
    facts.Identity = NodeIdentity{identity_.Device, record.FileId};
    // A link to a file cannot be entered whatever its target is: only a folder link's target
    // is looked at.
    if (facts.Type == EntryFacts::Kind::Link && folder && target == LinkTarget::Look) {
        LookAtTarget(PathBelow(name), *volumes_, facts);
    }
    return LookResult::Looked;
}

std::unique_ptr<SourceFolder> Win32SourceFolder::OpenBelow(std::string_view name, bool followLink,
                                                           OpenFailure& failure) {
    Win32EntryRecord record;
    const Win32EntryRecord* known = nullptr;
    // Wine follows a link however it is opened, so a link is told by its record: the one
    // just listed is at hand; another is asked for only when no link may be followed.
    if ((IsLastRead(name) || !followLink) && RecordOf(name, record) == LookResult::Looked) {
        known = &record;
    }
    // The listing just read told what the folder is and who it is, on this folder's volume.
    if (known && !followLink && IsLastRead(name)) {
        const ListedFolder listed{{identity_.Device, record.FileId}, record.Attributes};
        if (IsPlainFolder(listed)) {
            return OpenListed(PathBelow(name), listed, volumes_, failure);
        }
    }
    return Open(PathBelow(name), followLink, known, volumes_, failure);
}

std::unique_ptr<SourceFolder> Win32SourceFolder::OpenListedBelow(std::string_view name,
                                                                 const ListedFolder& listed,
                                                                 OpenFailure& failure) {
    if (!IsPlainFolder(listed)) {
        return OpenBelow(name, false, failure);
    }
    return OpenListed(PathBelow(name), listed, volumes_, failure);
}

std::unique_ptr<SourceFolder> Win32SourceFolder::OpenAbove(OpenFailure& failure) {
    const std::wstring finalPath = FinalPath();
    if (finalPath.empty()) {
        failure = OpenFailure::Unreadable;
        return nullptr;
    }
    const std::wstring parent = ParentFolderPath(finalPath);
    auto above = Open(parent, true, nullptr, volumes_, failure);
    if (!above && failure == OpenFailure::Unreadable) {
        // Only its identity is needed: a folder that may not be listed still tells it.
        above = Open(parent, true, nullptr, volumes_, failure, FILE_READ_ATTRIBUTES);
    }
    return above;
}

std::string Win32SourceFolder::RealPath() {
    const std::wstring finalPath = FinalPath();
    return finalPath.empty() ? std::string() : PlainPathText(finalPath);
}

std::wstring Win32SourceFolder::PathBelow(std::string_view name) const {
    std::wstring path = path_;
    if (path.empty() || path.back() != L'\\') {
        path += L'\\';
    }
    path += ToWide(name);
    return path;
}

std::wstring Win32SourceFolder::FinalPath() const {
    std::wstring finalPath = FinalPathOf(handle_.Get());
    if (!finalPath.empty()) {
        return finalPath;
    }
    // Wine tells no final path longer than MAX_PATH, but it does tell the path within the
    // volume, whose top is known from where the volume was first met.
    const std::wstring within = PathWithinVolume(handle_.Get());
    std::wstring top = volumes_->TopOf(identity_.Device);
    if (top.empty()) {
        top = VolumeTopOfPath(path_);
    }
    if (within.empty() || top.empty()) {
        return std::wstring();
    }
    top.pop_back(); // its backslash: the path within begins with one
    return top + within;
}
