#include "RecordingWindow.h"

#include "scan/ResultList.h"
#include "scan/TextFormat.h"

#include <gtest/gtest.h>

#include <random>

namespace {

ResultEntry Complete(std::uint64_t size, const std::string& caption = "f") {
    ResultEntry entry;
    entry.Caption = caption;
    entry.FolderText = "/data";
    entry.SizeText = SizeText(size) + " Byte";
    entry.DateText = "1/1/2024";
    entry.SizeValue = size;
    entry.ColumnTextCount = 3;
    return entry;
}

ResultEntry Incomplete(std::uint64_t size) {
    ResultEntry entry;
    entry.Caption = "new";
    entry.SizeValue = size;
    return entry;
}

// Adds a file the way the scan does: append, set the size, then fill in the texts.
int Add(ResultList& list, std::uint64_t size, const std::string& caption) {
    ResultEntry entry;
    entry.Caption = caption;
    int row = list.Append(std::move(entry));
    row = list.SetSizeValue(row, size);
    list.CompleteEntry(row, "/data", SizeText(size) + " Byte", "1/1/2024", 1);
    return row;
}

// A list view's own copy of the captions, kept only from the announced changes.
class FollowingView : public RecordingWindow {
public:
    const ResultList* Source = nullptr;
    std::vector<std::string> Rows;

    void ListChanged(const ListChange& change) override {
        RecordingWindow::ListChanged(change);
        switch (change.What) {
        case ListChange::Kind::Clear:
            Rows.clear();
            break;
        case ListChange::Kind::Append:
            Rows.insert(Rows.begin() + change.Row, Source->At(change.Row).Caption);
            break;
        case ListChange::Kind::Remove:
            Rows.erase(Rows.begin() + change.Row);
            break;
        case ListChange::Kind::Sort: {
            std::vector<std::string> moved(Rows.size());
            for (size_t old = 0; old < Rows.size(); ++old)
                moved[static_cast<size_t>((*change.NewRowOfOldRow)[old])] = Rows[old];
            Rows = moved;
            break;
        }
        case ListChange::Kind::Update:
            break;
        }
    }
};

} // namespace

TEST(ListViewCompare, LargerSizeValueGoesFirst) {
    const ResultEntry small = Incomplete(10), large = Incomplete(20);
    EXPECT_LT(ListViewCompare(&large, &small), 0);
    EXPECT_GT(ListViewCompare(&small, &large), 0);
    EXPECT_EQ(ListViewCompare(&small, &small), 0);
    // Sizes above 32 bits are compared in full.
    const ResultEntry fourGiB = Incomplete(4294967296), oneGiB = Incomplete(1073741824);
    EXPECT_LT(ListViewCompare(&fourGiB, &oneGiB), 0);
}

TEST(ListViewCompare, CompleteEntriesAreComparedByTheirSizeTexts) {
    // Texts that disagree with the values show that the texts decide for complete entries.
    ResultEntry longText = Complete(2000), shortText = Complete(999);
    longText.SizeValue = 1;
    shortText.SizeValue = 5;
    EXPECT_LT(ListViewCompare(&longText, &shortText), 0);
    EXPECT_GT(ListViewCompare(&shortText, &longText), 0);

    const ResultEntry a = Complete(1235), b = Complete(1234);
    EXPECT_LT(ListViewCompare(&a, &b), 0);
    EXPECT_GT(ListViewCompare(&b, &a), 0);

    ResultEntry lower = Complete(1), upper = Complete(1);
    lower.SizeText = "abc";
    upper.SizeText = "ABC";
    upper.SizeValue = 99;
    EXPECT_EQ(ListViewCompare(&lower, &upper), 0);
}

TEST(ListViewCompare, IncompleteOrMissingEntriesUseTheSizeValue) {
    ResultEntry complete = Complete(2000);
    complete.SizeValue = 3;
    const ResultEntry fresh = Incomplete(5);
    EXPECT_LT(ListViewCompare(&fresh, &complete), 0);
    EXPECT_GT(ListViewCompare(&complete, &fresh), 0);

    EXPECT_GT(ListViewCompare(nullptr, &fresh), 0);
    EXPECT_LT(ListViewCompare(&fresh, nullptr), 0);
    EXPECT_EQ(ListViewCompare(nullptr, nullptr), 0);
    const ResultEntry zero = Complete(0);
    EXPECT_EQ(ListViewCompare(&zero, nullptr), 0);
}

TEST(ListViewCompare, OrdersCompleteEntriesByFullSize) {
    const std::uint64_t sizes[] = {0,          1,          999,        1000,
                                   999999,     1000000,    4294967295, 4294967296,
                                   5368709120, 9999999999, 10000000000};
    for (std::uint64_t a : sizes) {
        for (std::uint64_t b : sizes) {
            const ResultEntry x = Complete(a), y = Complete(b);
            const int result = ListViewCompare(&x, &y);
            if (a > b)
                EXPECT_LT(result, 0) << a << " vs " << b;
            else if (a < b)
                EXPECT_GT(result, 0) << a << " vs " << b;
            else
                EXPECT_EQ(result, 0) << a << " vs " << b;
        }
    }
}

TEST(ResultList, NewEntryIsPlacedByItsSizeAndAnnounced) {
    RecordingWindow window;
    ResultList list(window);
    EXPECT_EQ(Add(list, 5, "five"), 0);
    EXPECT_EQ(Add(list, 9, "nine"), 0);
    EXPECT_EQ(Add(list, 7, "seven"), 1);
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(list.At(0).Caption, "nine");
    EXPECT_EQ(list.At(1).Caption, "seven");
    EXPECT_EQ(list.At(2).Caption, "five");
    // "seven" was appended at row 2 and moved to row 1; "five" moved down to row 2.
    EXPECT_EQ(window.LastPermutation, (std::vector<int>{0, 2, 1}));
    EXPECT_EQ(window.WithPrefix("list"),
              (std::vector<std::string>{"list append 0", "list sort", "list update 0",
                                        "list append 1", "list sort", "list update 0",
                                        "list append 2", "list sort", "list update 1"}));
}

TEST(ResultList, UnchangedOrZeroSizeCausesNoSort) {
    RecordingWindow window;
    ResultList list(window);
    Add(list, 10, "ten");
    EXPECT_EQ(Add(list, 0, "empty"), 1);
    EXPECT_EQ(list.SetSizeValue(0, 10), 0);
    EXPECT_EQ(window.Count("list sort"), 1);
    EXPECT_EQ(list.At(1).Caption, "empty");
}

TEST(ResultList, CompletingAnEntryDoesNotMoveIt) {
    RecordingWindow window;
    ResultList list(window);
    Add(list, 100, "big");
    ResultEntry fresh;
    fresh.Caption = "odd";
    const int row = list.Append(std::move(fresh));
    // A text that claims a larger size does not move the entry until the next sort.
    list.CompleteEntry(row, "/data", SizeText(1000000) + " Byte", "", -1);
    EXPECT_EQ(list.At(1).Caption, "odd");
    EXPECT_TRUE(list.At(1).IsComplete());
    EXPECT_EQ(list.At(1).IconIndex, -1);
}

TEST(ResultList, RemoveAndClearIgnoreWhatIsNotThere) {
    RecordingWindow window;
    ResultList list(window);
    Add(list, 3, "a");
    Add(list, 2, "b");
    window.Lines.clear();
    list.RemoveAt(-1);
    list.RemoveAt(2);
    EXPECT_EQ(list.SetSizeValue(5, 1), 5);
    list.CompleteEntry(7, "x", "y", "z", 0);
    EXPECT_TRUE(window.Lines.empty());
    EXPECT_EQ(list.Count(), 2);
    list.RemoveAt(0);
    EXPECT_EQ(list.At(0).Caption, "b");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(window.Lines, (std::vector<std::string>{"list remove 0", "list clear"}));
}

TEST(ResultList, AViewFollowingTheAnnouncementsStaysInStep) {
    FollowingView view;
    ResultList list(view);
    view.Source = &list;
    std::mt19937 random(20260101);
    std::uniform_int_distribution<std::uint64_t> size(0, 50);
    for (int i = 0; i < 400; ++i) {
        Add(list, size(random) << (i % 3 == 0 ? 32 : 0), "file" + std::to_string(i));
        if (list.Count() > 100)
            list.RemoveAt(list.Count() - 1);
        if (i % 37 == 0)
            list.RemoveAt(static_cast<int>(random() % static_cast<unsigned>(list.Count())));
    }
    ASSERT_EQ(static_cast<int>(view.Rows.size()), list.Count());
    for (int row = 0; row < list.Count(); ++row) {
        EXPECT_EQ(view.Rows[static_cast<size_t>(row)], list.At(row).Caption) << "row " << row;
        if (row > 0) {
            EXPECT_GE(list.At(row - 1).SizeValue, list.At(row).SizeValue) << "row " << row;
        }
    }
    EXPECT_EQ(view.Count("list unpaired"), 0);
    EXPECT_EQ(view.Count("list bad permutation"), 0);
}
