#pragma once

#include <cstdint>
#include <string>

// One row of the result list. The list view reads these directly; there is no other copy.
struct ResultEntry {
    // Column 0: the file's name, exactly the bytes the file system gave.
    std::string Caption;
    // Column 1: the folder as the walk passed it (no trailing separator).
    std::string FolderText;
    // Column 2: SizeText of the full size, then " Byte" (UTF-8).
    std::string SizeText;
    // Column 3: the local last-write date and time (UTF-8).
    std::string DateText;
    // The file's last write time in seconds since 1970-01-01 00:00:00 UTC, the raw value
    // behind DateText.
    std::int64_t LastWriteTime = 0;
    // The file's full 64-bit size; the value the list is ordered by while the entry is new.
    std::uint64_t SizeValue = 0;
    // Index into the icon catalogue; -1 shows no icon.
    int IconIndex = -1;
    // How many of the three column texts beside the caption are set; 3 when complete.
    int ColumnTextCount = 0;

    bool IsComplete() const { return ColumnTextCount == 3; }
};
