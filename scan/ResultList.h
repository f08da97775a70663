#pragma once

#include "ListChange.h"
#include "ResultEntry.h"

#include <vector>

class ScanWindow;

// The entries of the result list, largest first, and their only home: the list view reads
// them here. Every change is announced to the window before and after it happens.
class ResultList {
public:
    explicit ResultList(ScanWindow& window) : window_(window) {}

    int Count() const { return static_cast<int>(entries_.size()); }
    const ResultEntry& At(int row) const { return entries_[static_cast<size_t>(row)]; }
    const std::vector<ResultEntry>& Entries() const { return entries_; }

    // Removes every entry.
    void Clear();
    // Appends `entry` at the end and returns its row.
    int Append(ResultEntry entry);
    // Sets the size value of the entry at `row`; a value different from the current one
    // re-sorts the whole list with ListViewCompare. Returns the entry's row afterwards.
    int SetSizeValue(int row, std::uint64_t sizeValue);
    // Sets the column texts and the icon of the entry at `row`; does not re-sort.
    void CompleteEntry(int row, std::string folderText, std::string sizeText, std::string dateText,
                       int iconIndex);
    // Removes the entry at `row`; out-of-range rows are ignored.
    void RemoveAt(int row);
    // Removes the entry at `row`, which must be in range, and hands it over.
    ResultEntry TakeAt(int row);

private:
    // Re-sorts every entry with ListViewCompare, announcing it as one Sort change, and
    // returns the new row of the entry that was at each old row.
    std::vector<int> SortByListViewCompare();

    ScanWindow& window_;
    std::vector<ResultEntry> entries_;
};

// The list's ordering rule: negative when item1 goes before item2, positive when after,
// 0 when equal. Larger files go first. Two complete entries are compared by their size
// texts (longer first, then bytewise with ASCII letters folded); otherwise by size value.
// A missing (null) item counts as size value 0 and never as complete.
int ListViewCompare(const ResultEntry* item1, const ResultEntry* item2);
