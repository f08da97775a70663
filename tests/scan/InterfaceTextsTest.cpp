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
