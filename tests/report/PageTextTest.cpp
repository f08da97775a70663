#include "report/PageText.h"

#include <gtest/gtest.h>

TEST(ReplaceAllIgnoringCase, MatchesLettersWithoutRegardToCase) {
    EXPECT_EQ(ReplaceAllIgnoringCase("a.GIF b.gif c.Gif", ".gif", ""), "a b c");
    EXPECT_EQ(ReplaceAllIgnoringCase("/gif/awards", "/GIF/AWARDS", "[x]"), "[x]");
    // Only ASCII letters fold: other bytes must match exactly.
    EXPECT_EQ(ReplaceAllIgnoringCase("\xC4\xE4", "\xE4", "x"), "\xC4x");
}

TEST(ReplaceAllIgnoringCase, ScansLeftToRightWithoutOverlapOrRescanning) {
    EXPECT_EQ(ReplaceAllIgnoringCase("aaaa", "aa", "b"), "bb");
    EXPECT_EQ(ReplaceAllIgnoringCase("aaa", "aa", "b"), "ba");
    // The inserted text holds the pattern again; it is not searched a second time.
    EXPECT_EQ(ReplaceAllIgnoringCase("xAx", "a", "aa"), "xaax");
    EXPECT_EQ(ReplaceAllIgnoringCase("ab", "ab", "abab"), "abab");
    // A match at the very end and a pattern longer than the text.
    EXPECT_EQ(ReplaceAllIgnoringCase("x.jpg", ".JPG", ""), "x");
    EXPECT_EQ(ReplaceAllIgnoringCase("jp", ".jpg", ""), "jp");
    EXPECT_EQ(ReplaceAllIgnoringCase("keep", "", "zz"), "keep");
}

TEST(EscapeHtml, EscapesMarkupAndQuotesOnly) {
    EXPECT_EQ(EscapeHtml("R&D <draft> \"x\" 'y'"), "R&amp;D &lt;draft&gt; &quot;x&quot; 'y'");
    EXPECT_EQ(EscapeHtml("C:\\Daten\\gr\xC3\xB6\xC3\x9F"), "C:\\Daten\\gr\xC3\xB6\xC3\x9F");
    EXPECT_EQ(EscapeHtml("&amp;"), "&amp;amp;");
}

TEST(Utf8ToPageText, WritesLatin1AsBytesAndTheRestAsReferences) {
    // German letters become their single Windows-1252 bytes.
    EXPECT_EQ(Utf8ToPageText("gr\xC3\xB6\xC3\x9F"
                             "en \xC3\xA4\xC3\xBC\xC3\x96 \xC2\xA0"),
              "gr\xF6\xDF"
              "en \xE4\xFC\xD6 \xA0");
    // Between 0x80 and 0x9F Windows-1252 is not Latin-1: the euro sign and C1 controls are
    // written as references, never as a byte that would decode to something else.
    EXPECT_EQ(Utf8ToPageText("\xE2\x82\xAC"), "&#8364;");
    EXPECT_EQ(Utf8ToPageText("\xC2\x80"), "&#128;");
    EXPECT_EQ(Utf8ToPageText("/data/\xE6\x97\xA5\xF0\x9F\x98\x80"), "/data/&#26085;&#128512;");
}

TEST(Utf8ToPageText, TurnsBytesThatAreNotUtf8IntoReplacementCharacters) {
    EXPECT_EQ(Utf8ToPageText("a\xFF"
                             "b"),
              "a&#65533;b");
    // A truncated sequence, an overlong form and an encoded surrogate.
    EXPECT_EQ(Utf8ToPageText("x\xC3"), "x&#65533;");
    EXPECT_EQ(Utf8ToPageText("\xC0\xAF"), "&#65533;&#65533;");
    EXPECT_EQ(Utf8ToPageText("\xED\xA0\x80"), "&#65533;&#65533;&#65533;");
    EXPECT_EQ(Utf8ToPageText(""), "");
}
