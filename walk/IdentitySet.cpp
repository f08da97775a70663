#include "IdentitySet.h"

#include <utility>

namespace {

bool IsZero(const NodeIdentity& identity) {
    return identity.Device == 0 && identity.Number == 0;
}

} // namespace

std::size_t IdentitySet::SlotOf(const NodeIdentity& identity) const {
    // Folders made together get numbers close together, and the walk comes to them together:
    // runs of GroupSize numbers keep to neighbouring slots, so that the walk finds them in
    // memory it has just used, and the runs are spread over the table by a multiplication.
    constexpr unsigned GroupBits = 4;
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t group = (identity.Number >> GroupBits) ^ (identity.Device << 40);
    std::size_t slot =
        ((static_cast<std::size_t>((group * 0x9E3779B97F4A7C15ull) >> 20) << GroupBits) +
         (identity.Number & ((1u << GroupBits) - 1))) &
        mask;
    while (!IsZero(slots_[slot]) && !(slots_[slot] == identity)) {
        slot = (slot + 1) & mask;
    }
    return slot;
}

bool IdentitySet::Contains(const NodeIdentity& identity) const {
    if (IsZero(identity)) {
        return holdsZero_;
    }
    return !slots_.empty() && !IsZero(slots_[SlotOf(identity)]);
}

void IdentitySet::Insert(const NodeIdentity& identity) {
    if (IsZero(identity)) {
        holdsZero_ = true;
        return;
    }
    // At most half full, so that a search ends soon.
    if ((count_ + 1) * 2 > slots_.size()) {
        Grow();
    }
    NodeIdentity& slot = slots_[SlotOf(identity)];
    if (IsZero(slot)) {
        slot = identity;
        ++count_;
    }
}

void IdentitySet::Grow() {
    std::vector<NodeIdentity> old(slots_.empty() ? 1024 : slots_.size() * 2);
    old.swap(slots_);
    for (const NodeIdentity& identity : old) {
        if (!IsZero(identity)) {
            slots_[SlotOf(identity)] = identity;
        }
    }
}

void IdentitySet::Clear() {
    std::vector<NodeIdentity>().swap(slots_);
    count_ = 0;
    holdsZero_ = false;
}
