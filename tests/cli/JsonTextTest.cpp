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

// A name escaped for a line of text: one line, no terminal command, valid UTF-8, and every
// name gives its own text (a backslash in a name cannot pose as an escape).
TEST(JsonText, EscapedTextKeepsEachNameOnOneHarmlessLine) {
    const struct {
        std::string Bytes;
        std::string Text;
    } cases[] = {
        {"plain /x/y.bin", "plain /x/y.bin"},
        {"d\xC3\xA9j\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x93\x81",
         "d\xC3\xA9j\xC3\xA0 \xE2\x82\xAC \xF0\x9F\x93\x81"},
        {"spoof\n77777777777\t2020-01-01 00:00:00\t/etc/passwd",
         "spoof\\n77777777777\\t2020-01-01 00:00:00\\t/etc/passwd"},
        {"a\\n", "a\\\\n"},                         // a backslash and an "n"
        {"\x1B]0;owned\x07", "\\x1b]0;owned\\x07"}, // sets a terminal's title
        {"cr\rdel\x7F", "cr\\x0ddel\\x7f"},
        {std::string("nul\0end", 7), "nul\\x00end"},
        {"\xC2\x9B"
         "31m",
         "\\xc2\\x9b"
         "31m"},                                    // C1 CSI, obeyed by some terminals
        {"\xC2\xA0nbsp", "\xC2\xA0nbsp"},           // U+00A0 is text
        {"caf\xE9 \xFF.bin", "caf\\xe9 \\xff.bin"}, // Latin-1, a stray byte
        {"\xE2\x82", "\\xe2\\x82"},                 // cut short
    };
    for (const auto& each : cases) {
        const std::string text = EscapedText(each.Bytes);
        EXPECT_EQ(text, each.Text);
        EXPECT_TRUE(IsValidUtf8(text)) << text;
        for (const char c : text) {
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << text;
        }
    }
    // A message keeps a Windows path's backslashes, and is as harmless.
    EXPECT_EQ(EscapedMessageText("C:\\Users\\a\nb\x1B[2J"), "C:\\Users\\a\\nb\\x1b[2J");
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
