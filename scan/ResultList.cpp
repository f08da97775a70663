#include "ResultList.h"

#include "ScanWindow.h"

#include <numeric>

namespace {

// Bytewise comparison with only the ASCII letters folded to upper case: the difference of
// the first differing bytes, else the difference of the lengths.
int CompareTextFolded(const std::string& a, const std::string& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        auto fold = [](unsigned char c) -> int { return (c >= 'a' && c <= 'z') ? c - 32 : c; };
        const int difference =
            fold(static_cast<unsigned char>(a[i])) - fold(static_cast<unsigned char>(b[i]));
        if (difference != 0)
            return difference;
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

} // namespace

int ListViewCompare(const ResultEntry* item1, const ResultEntry* item2) {
    const std::uint64_t size1 = item1 ? item1->SizeValue : 0;
    const std::uint64_t size2 = item2 ? item2->SizeValue : 0;
    int result = size1 == size2 ? 0 : (size1 < size2 ? 1 : -1);
    if (item1 && item2 && item1->IsComplete() && item2->IsComplete()) {
        // The size text grows strictly with the number of digits and keeps its separators
        // in the same places for equal lengths, so this is the order of the full sizes.
        const std::string& text1 = item1->SizeText;
        const std::string& text2 = item2->SizeText;
        if (text1.size() != text2.size()) {
            result = text1.size() > text2.size() ? -1 : 1;
        } else {
            result = -CompareTextFolded(text1, text2);
        }
    }
    return result;
}

void ResultList::Clear() {
    const ListChange change{ListChange::Kind::Clear};
    window_.ListChanging(change);
    entries_.clear();
    window_.ListChanged(change);
}

int ResultList::Append(ResultEntry entry) {
    const ListChange change{ListChange::Kind::Append, Count()};
    window_.ListChanging(change);
    entries_.push_back(std::move(entry));
    window_.ListChanged(change);
    return change.Row;
}

int ResultList::SetSizeValue(int row, std::uint64_t sizeValue) {
    if (row < 0 || row >= Count())
        return row;
    ResultEntry& entry = entries_[static_cast<size_t>(row)];
    if (entry.SizeValue == sizeValue)
        return row;
    entry.SizeValue = sizeValue;

    const std::vector<int> newRowOfOldRow = SortByListViewCompare();
    return newRowOfOldRow[static_cast<size_t>(row)];
}

void ResultList::CompleteEntry(int row, std::string folderText, std::string sizeText,
                               std::string dateText, int iconIndex) {
    if (row < 0 || row >= Count())
        return;
    const ListChange change{ListChange::Kind::Update, row};
    window_.ListChanging(change);
    ResultEntry& entry = entries_[static_cast<size_t>(row)];
    entry.FolderText = std::move(folderText);
    entry.SizeText = std::move(sizeText);
    entry.DateText = std::move(dateText);
    entry.IconIndex = iconIndex;
    entry.ColumnTextCount = 3;
    window_.ListChanged(change);
}

void ResultList::RemoveAt(int row) {
    if (row < 0 || row >= Count())
        return;
    TakeAt(row);
}

ResultEntry ResultList::TakeAt(int row) {
    const ListChange change{ListChange::Kind::Remove, row};
    window_.ListChanging(change);
    ResultEntry taken = std::move(entries_[static_cast<size_t>(row)]);
    entries_.erase(entries_.begin() + row);
    window_.ListChanged(change);
    return taken;
}

std::vector<int> ResultList::SortByListViewCompare() {
    const ListChange before{ListChange::Kind::Sort};
    window_.ListChanging(before);
    // `order[newRow]` is the old row of the entry that ends at newRow.
    std::vector<int> order(entries_.size());
    std::iota(order.begin(), order.end(), 0);
    // Insertion sort: the list is sorted but for the one changed entry, so this is one pass
    // and a shift; it is stable and stays within bounds whatever the comparison answers.
    for (size_t i = 1; i < order.size(); ++i) {
        const int moving = order[i];
        size_t j = i;
        while (j > 0 && ListViewCompare(&entries_[static_cast<size_t>(moving)],
                                        &entries_[static_cast<size_t>(order[j - 1])]) < 0) {
            order[j] = order[j - 1];
            --j;
        }
        order[j] = moving;
    }
    std::vector<int> newRowOfOldRow(order.size());
    std::vector<ResultEntry> sorted;
    sorted.reserve(entries_.size());
    for (size_t newRow = 0; newRow < order.size(); ++newRow) {
        newRowOfOldRow[static_cast<size_t>(order[newRow])] = static_cast<int>(newRow);
        sorted.push_back(std::move(entries_[static_cast<size_t>(order[newRow])]));
    }
    entries_ = std::move(sorted);
    const ListChange after{ListChange::Kind::Sort, -1, &newRowOfOldRow};
    window_.ListChanged(after);
    return newRowOfOldRow;
}
