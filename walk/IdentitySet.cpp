#include "IdentitySet.h"

#include <utility>

namespace {

bool IsZero(const NodeIdentity& identity) {
    return identity.Device == 0 && identity.Number == 0;
}

} // namespace

std::size_t IdentitySet::SlotOf(const NodeIdentity& identity) const {
    // File numbers often run in sequence: the multiplication spreads them over the table.
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot =
        static_cast<std::size_t>((NodeIdentityHash{}(identity)*0x9E3779B97F4A7C15ull) >> 17) & mask;
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
    std::vector<NodeIdentity> old(slots_.empty() ? 64 : slots_.size() * 2);
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
