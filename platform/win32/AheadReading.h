#pragma once

#include "Win32Api.h"
#include "platform/readahead/ReadAhead.h"

#include <atomic>
#include <cstddef>

// How a folder is read ahead on Windows: with the listing calls of the walk itself.

// Reads entries of the listing `find` into `folder`, starting with the one in `data` when
// `hasPending` is set, with a Pending record for each plain subfolder. Stops after
// `maxEntries` entries, leaving `data` and `hasPending` on the next one, so that the walk can
// go on with the listing itself. True when the listing reached its end; `failed` tells
// whether that end was a failure rather than the last entry.
bool ReadFoundEntriesAhead(HANDLE find, WIN32_FIND_DATAW& data, bool& hasPending,
                           AheadFolder& folder, std::size_t maxEntries, bool& failed);

// The worker's part (a ReadAhead::FolderReader): lists `folder.Path` and checks afterwards
// that the path still names a plain folder. False when it cannot be listed whole, holds more
// than ReadAhead::MaxWorkerFolderEntries entries.
bool ReadFolderAheadByPath(AheadFolder& folder, const std::atomic<bool>& cancel);
