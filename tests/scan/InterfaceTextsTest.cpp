#include "scan/InterfaceTexts.h"

#include <gtest/gtest.h>

#include <string>

TEST(InterfaceTexts, GermanTextsCarryTheirUmlautsAsUtf8) {
    const InterfaceTexts& german = GermanTexts();
    EXPECT_EQ(german.Caption, "Vantrel - Die Bulkon gr\xC3\xB6\xC3\x9F"
                              "ten Dateien auf Ihrem Computer");
    EXPECT_EQ(german.Columns[2], "Dateigr\xC3\xB6\xC3\x9F"
                                 "e");
    EXPECT_EQ(german.Columns[3], "Ge\xC3\xA4ndert");
    EXPECT_EQ(german.LocateMenu, "&\xC3\x96"
                                 "ffne Dateipfad");
    EXPECT_EQ(german.DeleteMenu, "&L\xC3\xB6schen");
}

TEST(InterfaceTexts, HeadlinesBreakWithACarriageReturn) {
    EXPECT_EQ(EnglishTexts().Headline, "What are the 100 larges files on your computer?\r"
                                       "Check it out.");
    // The German first line ends with a blank before the break; the English one does not.
    EXPECT_EQ(GermanTexts().Headline, "Welches sind die 100 gr\xC3\xB6\xC3\x9F"
                                      "ten Dateien auf ihrem Rechner? \r"
                                      "Finden sie es heraus!");
}

TEST(InterfaceTexts, ButtonsDifferOnlyWhileAScanRuns) {
    EXPECT_EQ(EnglishTexts().StopButton, "Stop");
    EXPECT_EQ(GermanTexts().StopButton, "Stopp");
    EXPECT_EQ(EnglishTexts().BrowseButton, "Browse");
    EXPECT_EQ(GermanTexts().BrowseButton, "Browse");
    EXPECT_EQ(EnglishTexts().IdleButton, " ");
    EXPECT_EQ(GermanTexts().IdleButton, " ");
}

TEST(InterfaceTexts, TemplatesFollowTheLanguage) {
    EXPECT_EQ(EnglishTexts().TemplateResource, "bulkon_en_html");
    EXPECT_EQ(GermanTexts().TemplateResource, "bulkon_de_html");
    EXPECT_EQ(&TextsFor(true), &GermanTexts());
    EXPECT_EQ(&TextsFor(false), &EnglishTexts());
}

TEST(InterfaceTexts, CreditLineNamesThePublisherInBothLanguages) {
    EXPECT_EQ(EnglishTexts().CreditLine, GermanTexts().CreditLine);
    EXPECT_NE(EnglishTexts().CreditLine.find("Vantrel"), std::string_view::npos);
    EXPECT_EQ(EnglishTexts().CreditLine.find('\r'), std::string_view::npos);
}

// Every message exists in German too, with the same places for what is filled in.
TEST(InterfaceTexts, EveryMessageIsTranslatedWithItsPlaceholders) {
    using Text = std::string_view InterfaceTexts::*;
    for (Text text :
         {&InterfaceTexts::UnexpectedError,       &InterfaceTexts::DeleteTitle,
          &InterfaceTexts::DeleteQuestion,        &InterfaceTexts::DeleteIsFolder,
          &InterfaceTexts::DeleteFailed,          &InterfaceTexts::ReportNotCreated,
          &InterfaceTexts::ReportNotOpened,       &InterfaceTexts::ReportNotWritten,
          &InterfaceTexts::ReportNotClosed,       &InterfaceTexts::PageNotShown,
          &InterfaceTexts::RevealFailed,          &InterfaceTexts::NoDisplay,
          &InterfaceTexts::RootUnreadable,        &InterfaceTexts::RootOnPseudoFileSystem,
          &InterfaceTexts::OpenPathTooLong,       &InterfaceTexts::DeletePathTooLong,
          &InterfaceTexts::WindowNotCreated,      &InterfaceTexts::ArgumentsNotFollowed,
          &InterfaceTexts::ArgumentUnknownOption, &InterfaceTexts::ArgumentTwoFolders,
          &InterfaceTexts::ArgumentListUsage,     &InterfaceTexts::ArgumentEmptyFolder,
          &InterfaceTexts::ArgumentNotAFolder,    &InterfaceTexts::ArgumentNoSuchFolder,
          &InterfaceTexts::ScanStopped,           &InterfaceTexts::ListShort,
          &InterfaceTexts::RootUnanswered}) {
        const std::string_view english = EnglishTexts().*text;
        const std::string_view german = GermanTexts().*text;
        SCOPED_TRACE(std::string(english));
        EXPECT_FALSE(english.empty());
        EXPECT_NE(english, german);
        for (std::string_view placeholder : {"%1", "%2", "%s"}) {
            EXPECT_EQ(english.find(placeholder) == std::string_view::npos,
                      german.find(placeholder) == std::string_view::npos);
        }
    }
}

TEST(InterfaceTexts, FillInPutsEachValueInOnceAndLeavesOtherPercentSigns) {
    EXPECT_EQ(FillIn("%1 of %2 is 50%", "a%2", "b"), "a%2 of b is 50%");
    EXPECT_EQ(FillIn("no places", "x"), "no places");
    EXPECT_EQ(FillIn("ends with %", "x"), "ends with %");
}

TEST(InterfaceTexts, LongTextIsShortenedInTheMiddleWithoutCuttingACharacter) {
    EXPECT_EQ(ShortenedInMiddle("C:\\short", 20), "C:\\short");
    EXPECT_EQ(ShortenedInMiddle("abcdefghij", 10), "abcdefghij");
    EXPECT_EQ(ShortenedInMiddle("abcdefghijk", 9), "abc...ijk");
    // Each "\u00e4" is two bytes and counts as one character.
    const std::string umlauts = "C:\\\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\u00e4\\f\u00fc.txt";
    EXPECT_EQ(ShortenedInMiddle(umlauts, 13), "C:\\\u00e4\u00e4...\u00fc.txt");
    EXPECT_EQ(ShortenedInMiddle("abcdef", 2), "..");
}
