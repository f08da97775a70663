#pragma once

#include "platform/fs/FolderSource.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// A set of node identities in one array, found by their hash and the slots after it. The walk
// asks it for every folder it enters and adds each one: a set of one allocation per member
// made that cost the walk more than a tenth of its own time on trees of small folders.
class IdentitySet {
public:
    bool Contains(const NodeIdentity& identity) const;
    void Insert(const NodeIdentity& identity);
    template <typename Iterator> void Insert(Iterator first, Iterator last) {
        for (; first != last; ++first) {
            Insert(*first);
        }
    }
    // Empties the set and gives its memory back.
    void Clear();
    std::size_t Size() const { return count_ + (holdsZero_ ? 1 : 0); }

private:
    // The slot that holds `identity`, or the empty one where it would go.
    std::size_t SlotOf(const NodeIdentity& identity) const;
    void Grow();

    // An empty slot holds the identity {0, 0}; that identity itself is kept aside.
    std::vector<NodeIdentity> slots_;
    std::size_t count_ = 0;
    bool holdsZero_ = false;
};
