#include "report/ReportPage.h"

#include "scan/Totals.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kProgram = "/opt/bulkon/bin/bulkon";
const std::string kRes = "res://" + kProgram;

std::string Build(const std::string& templateText, bool withSummary = false) {
    ScanState state;
    return BuildReportPage(templateText, state, withSummary, false, LocaleFormat{}, kProgram, "/");
}

ScanState ExampleScan() {
    ScanState state;
    state.ScanRoot = "D:\\Data";
    state.ListedTotalMB = 5120;
    state.DiskTotalMB = 102400;
    state.DiskUsedMB = 51200;
    state.FileCount = 200000;
    return state;
}

LocaleFormat DecimalComma() {
    LocaleFormat locale;
    locale.DecimalSeparator = ",";
    return locale;
}

// The headline band as a template writes it, with its closing tag.
const std::string kBand = "<TD height=100 " + std::string(HeadlinePattern) + "</FONT></TD>";

std::string SummaryBand(const std::string& sentence) {
    return "<TD height=100 " + std::string(SummaryOpening) + sentence + "</B></FONT></TD>";
}

} // namespace

TEST(ReportPageReplacements, RewritesEveryPictureReferenceToTheProgramsPictures) {
    const std::string img = SiteImageFolderUrl();
    EXPECT_EQ(img, "https://www.vantrel.example/img/");
    EXPECT_EQ(Build("<td background=\"" + img + "bgverlauf.jpg\">"),
              "<td background=\"" + kRes + "/JPG/BGverlauf\">");
    EXPECT_EQ(Build("<img src=\"" + img + "space.gif\">"), "<img src=\"" + kRes + "/GIF/space\">");
    EXPECT_EQ(Build("<img src=\"" + img + "space.jpg\">"), "<img src=\"" + kRes + "/JPG/SPACE\">");
    EXPECT_EQ(Build("<img src=\"" + img + "home.gif\">"), "<img src=\"" + kRes + "/GIF/home\">");
    EXPECT_EQ(Build("<img src=\"/gif/awards.gif\">"), "<img src=\"" + kRes + "/GIF/AWARDS\">");
    EXPECT_EQ(Build("<img src=\"/GIF/Download\">"), "<img src=\"" + kRes + "/GIF/DOWNLOAD\">");
    // The site folder and the picture names match without regard to case.
    EXPECT_EQ(Build("HTTPS://WWW.Vantrel.Example/IMG/BGmenuTop.JPG"), kRes + "/JPG/BGmenuTop");
}

TEST(ReportPageReplacements, RemovesPictureExtensionsEverywhereAndLeavesTheRest) {
    EXPECT_EQ(Build("<a href=\"https://example.org/a.GIF\">see logo.jpg and x.Jpg</a>"),
              "<a href=\"https://example.org/a\">see logo and x</a>");
    const std::string untouched = "<a href=\"https://www.vantrel.example/\">Home</a> "
                                  "<img src=\"other/pic.png\"> \xE4\xF6\xFC\xDF";
    EXPECT_EQ(Build(untouched), untouched);
    EXPECT_EQ(Build(""), "");
}

TEST(ReportPageReplacements, InsertsTheProgramPathIntactAndEscaped) {
    ScanState state;
    // A path holding what the replacements look for, markup characters and a German letter.
    const std::string program = "/home/j\xC3\xBCrgen/my.gifts & \"jpgs\"/bg/bulkon";
    const std::string page = BuildReportPage("<img src=\"/GIF/AWARDS\"><img src=\"" +
                                                 SiteImageFolderUrl() + "space.gif\">",
                                             state, false, false, LocaleFormat{}, program, "/");
    const std::string path = "/home/j\xFCrgen/my.gifts &amp; &quot;jpgs&quot;/bg/bulkon";
    EXPECT_EQ(page, "<img src=\"res://" + path + "/GIF/AWARDS\"><img src=\"res://" + path +
                        "/GIF/space\">");
}

TEST(ReportPageReplacements, KeepsControlBytesOfTheTemplate) {
    std::string withControls;
    for (char c = 1; c < 32; ++c) {
        withControls.push_back(c);
    }
    const std::string page = Build(withControls + "/GIF/AWARDS.gif");
    EXPECT_EQ(page, withControls + kRes + "/GIF/AWARDS");
}

TEST(ReportPageSummary, EnglishSentenceFillsTheHeadlineBand) {
    ScanState state = ExampleScan();
    const std::string page = BuildReportPage("<TR>" + kBand + "</TR>", state, true, false,
                                             LocaleFormat{}, kProgram, "D:");
    EXPECT_EQ(page, "<TR>" +
                        SummaryBand("The 100 largest files on D:\\Data occupy 5.00 GB.<BR>These "
                                    "are 5% of total hard disk space and 10% of the occupied "
                                    "disk space on D:.") +
                        "</TR>");
}

TEST(ReportPageSummary, GermanSentenceHasWindows1252LettersAndTheDecimalComma) {
    ScanState state = ExampleScan();
    const std::string page =
        BuildReportPage(kBand, state, true, true, DecimalComma(), kProgram, "D:");
    EXPECT_EQ(page, SummaryBand("Die 100 gr\xF6\xDF"
                                "ten Dateien auf D:\\Data belegen zusammen 5,00 GB.<BR>Das sind "
                                "5% des gesamten Speicherplatzes und 10% des belegten "
                                "Speicherplatzes von D:."));
}

TEST(ReportPageSummary, DrivesLeftOutAreNamedUnderTheSentenceInEitherLanguage) {
    const std::string english = "The 100 largest files on / occupy 0.00 GB.<BR>These are 0% of "
                                "total hard disk space and 0% of the occupied disk space on /.";
    const std::string german = "Die 100 gr\xF6\xDFten Dateien auf / belegen zusammen 0,00 "
                               "GB.<BR>Das sind 0% des gesamten Speicherplatzes und 0% des "
                               "belegten Speicherplatzes von /.";
    ScanState state;
    state.ScanRoot = "/";
    state.SkippedMountCount = 2;
    EXPECT_EQ(BuildReportPage(kBand, state, true, false, LocaleFormat{}, kProgram, "/"),
              SummaryBand(english + "<BR>2 network or removable drives were left out."));
    EXPECT_EQ(BuildReportPage(kBand, state, true, true, DecimalComma(), kProgram, "/"),
              SummaryBand(german + "<BR>2 Netzlaufwerke oder Wechseldatentr\xE4ger wurden "
                                   "ausgelassen."));
    state.SkippedMountCount = 1;
    EXPECT_EQ(BuildReportPage(kBand, state, true, false, LocaleFormat{}, kProgram, "/"),
              SummaryBand(english + "<BR>1 network or removable drive was left out."));
    EXPECT_EQ(BuildReportPage(kBand, state, true, true, DecimalComma(), kProgram, "/"),
              SummaryBand(german + "<BR>1 Netzlaufwerk oder Wechseldatentr\xE4ger wurde "
                                   "ausgelassen."));
    state.SkippedMountCount = 0;
    EXPECT_EQ(BuildReportPage(kBand, state, true, false, LocaleFormat{}, kProgram, "/"),
              SummaryBand(english));
}

TEST(ReportPageSummary, SkippedFoldersAreCountedUnderTheSentenceInBothLanguages) {
    const std::string english =
        "The 100 largest files on D:\\Data occupy 5.00 GB.<BR>These are 5% of total hard disk "
        "space and 10% of the occupied disk space on D:.";
    const std::string german = "Die 100 gr\xF6\xDF"
                               "ten Dateien auf D:\\Data belegen zusammen 5,00 GB.<BR>Das sind "
                               "5% des gesamten Speicherplatzes und 10% des belegten "
                               "Speicherplatzes von D:.";
    ScanState state = ExampleScan();
    state.UnreadableFolderCount = 12;
    EXPECT_EQ(BuildReportPage(kBand, state, true, false, LocaleFormat{}, kProgram, "D:"),
              SummaryBand(english + "<BR>12 folders could not be read."));
    EXPECT_EQ(BuildReportPage(kBand, state, true, true, DecimalComma(), kProgram, "D:"),
              SummaryBand(german + "<BR>12 Ordner konnten nicht gelesen werden."));
    state.UnreadableFolderCount = 1;
    EXPECT_EQ(BuildReportPage(kBand, state, true, false, LocaleFormat{}, kProgram, "D:"),
              SummaryBand(english + "<BR>1 folder could not be read."));
    EXPECT_EQ(BuildReportPage(kBand, state, true, true, DecimalComma(), kProgram, "D:"),
              SummaryBand(german + "<BR>1 Ordner konnte nicht gelesen werden."));
}

TEST(ReportPageSummary, WithoutSummaryTheBandStaysAsItIs) {
    ScanState state;
    state.ScanRoot = "/data";
    EXPECT_EQ(BuildReportPage(kBand, state, false, false, LocaleFormat{}, kProgram, "/"), kBand);
}

TEST(ReportPageSummary, ZeroCountersSetToOneServeThePageAndTheTotalsBarAlike) {
    ScanState state;
    state.ScanRoot = "/mnt/empty";
    state.ListedTotalMB = 3;
    state.DiskTotalMB = 7;
    SetZeroCountersToOne(state);
    EXPECT_EQ(state.DiskUsedMB, 1u);
    EXPECT_EQ(state.DiskTotalMB, 7u);
    EXPECT_EQ(state.FileCount, 1u);
    const std::string page =
        BuildReportPage(kBand, state, true, false, LocaleFormat{}, kProgram, "/mnt");
    EXPECT_NE(page.find("These are 43% of total hard disk space and 300% of the occupied disk "
                        "space on /mnt."),
              std::string::npos)
        << page;
    const TotalsPanelTexts panels = MakeTotalsPanelTexts(state, "/mnt", false, LocaleFormat{});
    EXPECT_EQ(panels[0], "Total 0.00 GB (43% of /mnt)");
    EXPECT_EQ(panels[1], "300 % of uses disk spaces on /mnt");

    // Nothing listed on an empty volume: the shares are 0, without failing.
    ScanState empty;
    empty.ScanRoot = "/e";
    SetZeroCountersToOne(empty);
    const std::string emptyPage =
        BuildReportPage(kBand, empty, true, false, LocaleFormat{}, kProgram, "/e");
    EXPECT_NE(emptyPage.find("occupy 0.00 GB.<BR>These are 0% of total hard disk space and 0% "
                             "of the occupied disk space on /e."),
              std::string::npos)
        << emptyPage;
}

TEST(ReportPageSummary, TemplateWithoutHeadlineKeepsItsText) {
    ScanState state;
    SetZeroCountersToOne(state);
    const std::string text = "<P>no band here</P>";
    EXPECT_EQ(BuildReportPage(text, state, true, false, LocaleFormat{}, kProgram, "/"), text);
    EXPECT_EQ(BuildReportPage("", state, true, true, LocaleFormat{}, kProgram, "/"), "");
}

TEST(ReportPageSummary, NetworkRootGivesItsLabelAsPassed) {
    ScanState state = ExampleScan();
    state.ScanRoot = "\\\\server\\share";
    const std::string page =
        BuildReportPage(kBand, state, true, false, LocaleFormat{}, kProgram, "\\\\");
    EXPECT_NE(page.find("files on \\\\server\\share occupy"), std::string::npos) << page;
    EXPECT_NE(page.find("occupied disk space on \\\\.</B>"), std::string::npos) << page;
}

TEST(ReportPageSummary, RootAndLabelShowAsTextNotMarkup) {
    ScanState state = ExampleScan();
    state.ScanRoot = "/srv/R&D <draft>";
    const std::string page =
        BuildReportPage(kBand + kBand, state, true, false, LocaleFormat{}, kProgram, "/srv/\"q\"");
    const std::string sentence = "The 100 largest files on /srv/R&amp;D &lt;draft&gt; occupy "
                                 "5.00 GB.<BR>These are 5% of total hard disk space and 10% of "
                                 "the occupied disk space on /srv/&quot;q&quot;.";
    // Every band is filled, each with the escaped texts.
    EXPECT_EQ(page, SummaryBand(sentence) + SummaryBand(sentence));
}

TEST(ReportPageSummary, RootOutsideWindows1252KeepsItsCharacters) {
    ScanState state = ExampleScan();
    state.ScanRoot = "/daten/m\xC3\xBCll/\xE6\x97\xA5/\xFF";
    const std::string page =
        BuildReportPage(kBand, state, true, true, DecimalComma(), kProgram, "/");
    EXPECT_NE(page.find("auf /daten/m\xFCll/&#26085;/&#65533; belegen"), std::string::npos) << page;
}
