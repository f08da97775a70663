#include "HardLinkSet.h"

namespace {

// Device and inode numbers are small and dense: they are mixed before they pick a slot.
std::uint64_t Mix(std::uint64_t device, std::uint64_t fileNumber) {
    std::uint64_t x = fileNumber ^ (device * 0x9e3779b97f4a7c15ULL);
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    x ^= x >> 31;
    return x;
}

} // namespace

bool HardLinkSet::FirstMeeting(std::uint64_t device, std::uint64_t fileNumber) {
    if (fileNumber == 0) {
        return true;
    }
    if ((count_ + 1) * 4 > slots_.size() * 3) {
        Grow();
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = Mix(device, fileNumber) & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.FileNumber == 0) {
            slot = Slot{device, fileNumber};
            ++count_;
            return true;
        }
        if (slot.FileNumber == fileNumber && slot.Device == device) {
            return false;
        }
    }
}

void HardLinkSet::Clear() {
    std::vector<Slot>().swap(slots_);
    count_ = 0;
}

void HardLinkSet::Grow() {
    std::vector<Slot> old;
    old.swap(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.FileNumber == 0) {
            continue;
        }
        std::size_t i = Mix(slot.Device, slot.FileNumber) & mask;
        while (slots_[i].FileNumber != 0) {
            i = (i + 1) & mask;
        }
        slots_[i] = slot;
    }
}
