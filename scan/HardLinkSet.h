#pragma once

#include <cstdint>
#include <vector>

// The files with more than one name met in a scan, by device and file number, so that a file
// reached under a second name is counted once. Open addressing over 16-byte slots, grown at
// three quarters full: between about 21 and 43 bytes per file, 64 for a moment while it grows
// (backup snapshots hold millions of such files).
class HardLinkSet {
public:
    // True when the file is met for the first time (it is remembered now); false when it
    // was met before under another name. A file number of 0 (unknown) is never remembered
    // and always counts as new.
    bool FirstMeeting(std::uint64_t device, std::uint64_t fileNumber);
    // Forgets every file and gives the memory back.
    void Clear();
    std::size_t Count() const { return count_; }
    // The bytes the set holds now.
    std::size_t MemoryBytes() const { return slots_.capacity() * sizeof(Slot); }

private:
    struct Slot {
        std::uint64_t Device = 0;
        std::uint64_t FileNumber = 0; // 0: the slot is free
    };
    void Grow();

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};
