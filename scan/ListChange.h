#pragma once

#include <vector>

// A change of the result list, announced to the window before and after it happens, so
// that a list view reading the entries in place can follow (Qt's begin/end model calls).
struct ListChange {
    enum class Kind {
        Clear,  // every entry removed
        Append, // one entry appended at Row (it has no column texts yet)
        Update, // the texts and icon of the entry at Row were filled in
        Sort,   // the list was re-sorted; NewRowOfOldRow is set in the "after" call only
        Remove, // the entry at Row removed
    };
    Kind What = Kind::Clear;
    int Row = -1;
    // For Kind::Sort after the change: the new row of the entry that was at each old row.
    const std::vector<int>* NewRowOfOldRow = nullptr;
};
