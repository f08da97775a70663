#pragma once

#include "DirectoryReader.h"
#include "platform/readahead/ReadAhead.h"

#include <atomic>
#include <cstddef>

// How a folder is read ahead on POSIX: one fstatat per entry (and a link's target), as the
// walk looks at entries itself.

enum class AheadReadResult {
    Complete,  // every entry is in `folder`
    TooLarge,  // the folder has more than `maxEntries` entries; none are kept
    Cancelled, // `cancel` was set; none are kept
};

// Reads the entries of the folder open in `reader` into `folder`, with a Pending record for
// each subfolder on the folder's own device (`folder.Identity` must be set). A read error
// ends the entries as the end of the folder would. Keeps the reader open.
AheadReadResult ReadFolderAhead(DirectoryReader& reader, AheadFolder& folder,
                                std::size_t maxEntries, const std::atomic<bool>* cancel);

// The worker's part (a ReadAhead::FolderReader): opens `folder.Path` without following a
// link in its last step and reads it. False when it cannot be opened or read whole.
bool ReadFolderAheadByPath(AheadFolder& folder, const std::atomic<bool>& cancel);
