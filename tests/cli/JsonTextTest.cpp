#include "cli/JsonText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(JsonText, Utf8IsCheckedAgainstTheStandardsTableOfWellFormedSequences) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ASCII"));
    EXPECT_TRUE(IsValidUtf8("d\xC3\xA9j\xC3\xA0")); // déjà
    EXPECT_TRUE(IsValidUtf8("\xE2\x82\xAC"));       // €
    EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x93\x81"));   // 📁
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));   // U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE9t\xE9"));         // Latin-1
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate U+D800
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE2\x82"));          // cut short
    EXPECT_FALSE(IsValidUtf8("\x80"));              // stray continuation

    // One U+FFFD per byte that is not part of a well-formed sequence.
    EXPECT_EQ(WithReplacementCharacters("a\xE9"
                                        "b\xE2\x82"
                                        "c\xE2\x82\xAC"),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\xEF\xBF\xBD"
              "c\xE2\x82\xAC");
    EXPECT_EQ(WithReplacementCharacters("d\xC3\xA9j\xC3\xA0"), "d\xC3\xA9j\xC3\xA0");
}

TEST(JsonText, QuotingEscapesQuotesBackslashesAndControlsOnly) {
    EXPECT_EQ(JsonQuoted(""), "\"\"");
    EXPECT_EQ(JsonQuoted("C:\\a \"b\""), "\"C:\\\\a \\\"b\\\"\"");
    EXPECT_EQ(JsonQuoted("tab\tnew\nline\x01\x1f\x7f"),
              "\"tab\\tnew\\nline\\u0001\\u001f\\u007f\"");
    EXPECT_EQ(JsonQuoted("d\xC3\xA9j\xC3\xA0 /"), "\"d\xC3\xA9j\xC3\xA0 /\"");
}

TEST(JsonText, Base64GivesTheRfc4648TestVectors) {
    EXPECT_EQ(Base64(""), "");
    EXPECT_EQ(Base64("f"), "Zg==");
    EXPECT_EQ(Base64("fo"), "Zm8=");
    EXPECT_EQ(Base64("foo"), "Zm9v");
    EXPECT_EQ(Base64("foob"), "Zm9vYg==");
    EXPECT_EQ(Base64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(Base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(Base64(std::string("\xFF\xFE\x00\xE9", 4)), "//4A6Q==");
}

} // namespace
