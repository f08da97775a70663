#include "scan/Totals.h"

#include <gtest/gtest.h>

namespace {

LocaleFormat PointLocale() {
    return LocaleFormat{};
}

LocaleFormat CommaLocale() {
    LocaleFormat locale;
    locale.DecimalSeparator = ",";
    return locale;
}

ScanState State(std::uint32_t listedMB, std::uint32_t totalMB, std::uint32_t usedMB,
                std::uint32_t files) {
    ScanState state;
    state.ListedTotalMB = listedMB;
    state.DiskTotalMB = totalMB;
    state.DiskUsedMB = usedMB;
    state.FileCount = files;
    state.ScanRoot = "D:\\Data";
    return state;
}

} // namespace

TEST(TotalsPanels, EnglishFiguresOfATypicalScan) {
    const auto panels =
        MakeTotalsPanelTexts(State(5120, 102400, 51200, 200000), "D:", false, PointLocale());
    EXPECT_EQ(panels[0], "Total 5.00 GB (5% of D:)");
    EXPECT_EQ(panels[1], "10 % of uses disk spaces on D:");
    EXPECT_EQ(panels[2], "0.050 % of all files on D:");
}

TEST(TotalsPanels, GermanFiguresWithADecimalComma) {
    const auto panels =
        MakeTotalsPanelTexts(State(5120, 102400, 51200, 200000), "D:", true, CommaLocale());
    EXPECT_EQ(panels[0], "Zusammen 5,00 GB (5% von D:)");
    EXPECT_EQ(panels[1], "10 % des belegten Platzes auf D:");
    EXPECT_EQ(panels[2], "0,050 % aller Dateien auf D:");
}

TEST(TotalsPanels, FiguresAreRoundedAsShown) {
    // 128 MiB are 0.125 GB; 256 files make 39.0625 %.
    auto panels = MakeTotalsPanelTexts(State(128, 1000, 1000, 256), "/", false, PointLocale());
    EXPECT_EQ(panels[0], "Total 0.13 GB (13% of /)");
    EXPECT_EQ(panels[2], "39.063 % of all files on /");
    // Shares of exactly a half go to the even neighbour: 5 of 200 and 7 of 200 MiB.
    panels = MakeTotalsPanelTexts(State(5, 200, 200, 1000), "/", false, PointLocale());
    EXPECT_EQ(panels[0], "Total 0.00 GB (2% of /)");
    EXPECT_EQ(panels[1], "2 % of uses disk spaces on /");
    panels = MakeTotalsPanelTexts(State(7, 200, 200, 1000), "/", false, PointLocale());
    EXPECT_EQ(panels[1], "4 % of uses disk spaces on /");
}

TEST(TotalsPanels, ZeroCountersAreTakenAsOne) {
    const auto panels = MakeTotalsPanelTexts(State(0, 0, 0, 0), "/media/usb", false, PointLocale());
    EXPECT_EQ(panels[0], "Total 0.00 GB (0% of /media/usb)");
    EXPECT_EQ(panels[1], "0 % of uses disk spaces on /media/usb");
    EXPECT_EQ(panels[2], "100.000 % of all files on /media/usb");

    const TotalsFigures figures = ComputeTotals(State(3, 0, 0, 0));
    EXPECT_EQ(figures.ShareOfCapacity, 300);
    EXPECT_EQ(figures.ShareOfUsedSpace, 300);
}

TEST(TotalsPanels, ShareOfFilesNeverShowsMoreThanAll) {
    auto panels = MakeTotalsPanelTexts(State(0, 1, 1, 7), "/", false, PointLocale());
    EXPECT_EQ(panels[2], "100.000 % of all files on /");
    panels = MakeTotalsPanelTexts(State(0, 1, 1, 100), "/", false, PointLocale());
    EXPECT_EQ(panels[2], "100.000 % of all files on /");
    panels = MakeTotalsPanelTexts(State(0, 1, 1, 101), "/", false, PointLocale());
    EXPECT_EQ(panels[2], "99.010 % of all files on /");
}

TEST(TotalsPanels, LargestCountersStayExact) {
    const std::uint32_t most = 0xFFFFFFFFu;
    const auto panels =
        MakeTotalsPanelTexts(State(most, most, most, most), "/", false, PointLocale());
    EXPECT_EQ(panels[0], "Total 4194304.00 GB (100% of /)");
    EXPECT_EQ(panels[1], "100 % of uses disk spaces on /");
    EXPECT_EQ(panels[2], "0.000 % of all files on /");
}

TEST(SummarySentence, EnglishAndGerman) {
    const ScanState state = State(5120, 102400, 51200, 200000);
    EXPECT_EQ(MakeSummarySentence(state, state.ScanRoot, "D:", false, PointLocale()),
              "The 100 largest files on D:\\Data occupy 5.00 GB.<BR>These are 5% of total hard "
              "disk space and 10% of the occupied disk space on D:.");
    EXPECT_EQ(MakeSummarySentence(state, state.ScanRoot, "D:", true, CommaLocale()),
              "Die 100 gr\u00f6\u00dften Dateien auf D:\\Data belegen zusammen 5,00 GB.<BR>Das "
              "sind 5% des gesamten Speicherplatzes und 10% des belegten Speicherplatzes von "
              "D:.");
}

TEST(SummarySentence, ZeroUsedSpaceCountsAsOneMiB) {
    EXPECT_EQ(MakeSummarySentence(State(3, 102400, 0, 5), "/srv", "/", false, PointLocale()),
              "The 100 largest files on /srv occupy 0.00 GB.<BR>These are 0% of total hard "
              "disk space and 300% of the occupied disk space on /.");
    EXPECT_EQ(
        MakeSummarySentence(State(0, 0, 0, 0), "\\\\server\\share", "\\\\", false, PointLocale()),
        "The 100 largest files on \\\\server\\share occupy 0.00 GB.<BR>These are 0% of "
        "total hard disk space and 0% of the occupied disk space on \\\\.");
}
