#include "AheadReading.h"

#include "ExtendedPath.h"
#include "FoundEntry.h"
#include "OwnedHandle.h"
#include "WideText.h"

#include <string>
#include <utility>

namespace {

// Adds the entry in `data` to `folder`; returns the memory that a subfolder's record holds.
std::size_t AppendFoundEntry(AheadFolder& folder, const WIN32_FIND_DATAW& data) {
    const std::string name = FromWide(data.cFileName);
    AheadEntry entry;
    entry.Stat = FoundEntryStat(data);
    std::size_t childBytes = 0;
    if (IsPlainFolder(data.dwFileAttributes)) {
        std::vector<std::uint32_t> key = folder.Key;
        key.push_back(static_cast<std::uint32_t>(folder.Entries.size()));
        entry.Child = ReadAhead::MakeFolder(folder.Path + "\\" + name, std::move(key));
        if (entry.Child) {
            childBytes = sizeof(AheadFolder) + entry.Child->Path.capacity() +
                         entry.Child->Key.capacity() * sizeof(std::uint32_t);
        }
    }
    entry.NameOffset = static_cast<std::uint32_t>(folder.Names.size());
    entry.NameLength = static_cast<std::uint32_t>(name.size());
    folder.Names.insert(folder.Names.end(), name.c_str(), name.c_str() + name.size() + 1);
    folder.Entries.push_back(std::move(entry));
    return childBytes;
}

} // namespace

bool ReadFoundEntriesAhead(HANDLE find, WIN32_FIND_DATAW& data, bool& hasPending,
                           AheadFolder& folder, std::size_t maxEntries, bool& failed) {
    failed = false;
    const auto heldBytes = [&] {
        return folder.Names.capacity() + folder.Entries.capacity() * sizeof(AheadEntry);
    };
    const std::size_t heldBefore = heldBytes();
    std::size_t childBytes = 0;
    std::size_t read = 0;
    bool atEnd = false;
    while (read < maxEntries) {
        if (hasPending) {
            hasPending = false;
        } else if (!FindNextFileW(find, &data)) {
            failed = GetLastError() != ERROR_NO_MORE_FILES;
            atEnd = true;
            break;
        }
        ReadAhead::NoteAnswer(folder);
        if (IsDotEntry(data.cFileName)) {
            continue;
        }
        childBytes += AppendFoundEntry(folder, data);
        ++read;
    }
    if (!atEnd) {
        // The next entry is found now, so that the caller knows whether there is one.
        if (FindNextFileW(find, &data)) {
            hasPending = true;
        } else {
            failed = GetLastError() != ERROR_NO_MORE_FILES;
            atEnd = true;
        }
    }
    folder.Bytes += heldBytes() - heldBefore + childBytes;
    return atEnd;
}

bool ReadFolderAheadByPath(AheadFolder& folder, const std::atomic<bool>& cancel) {
    const std::wstring path = ExtendedLengthPath(ToWide(folder.Path));
    const std::wstring pattern = ListingPattern(path);
    WIN32_FIND_DATAW data;
    FindHandle find(FindFirstEntry(pattern.c_str(), data));
    if (!find.IsOpen()) {
        return false;
    }
    ReadAhead::NoteAnswer(folder);
    bool hasPending = true;
    bool complete = false;
    bool failed = false;
    // In slices, so that a stop is seen between them.
    constexpr std::size_t slice = 256;
    while (!cancel.load(std::memory_order_relaxed) &&
           folder.Entries.size() <= ReadAhead::MaxWorkerFolderEntries) {
        if (ReadFoundEntriesAhead(find.Get(), data, hasPending, folder, slice, failed)) {
            complete = !failed;
            break;
        }
    }
    find.Reset();
    // The listing went by the path: a junction put in the folder's place meanwhile would have
    // led it elsewhere. Such a folder is left to the walk, which examines it as it finds it.
    complete = complete && folder.Entries.size() <= ReadAhead::MaxWorkerFolderEntries &&
               IsPlainFolder(GetFileAttributesW(path.c_str()));
    if (!complete) {
        ReadAhead::Discard(folder);
    }
    return complete;
}
