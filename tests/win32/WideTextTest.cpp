#include "platform/win32/WideText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WideText, RoundTripsTextOfEveryLength) {
    // One-, two-, three- and four-byte sequences, the last a pair of surrogates in UTF-16.
    const std::string utf8 = "a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80z"; // a ä € 😀 z
    const std::wstring wide = ToWide(utf8);
    ASSERT_EQ(wide.size(), 6u);
    EXPECT_EQ(wide[0], L'a');
    EXPECT_EQ(wide[1], static_cast<wchar_t>(0x00E4));
    EXPECT_EQ(wide[2], static_cast<wchar_t>(0x20AC));
    EXPECT_EQ(wide[3], static_cast<wchar_t>(0xD83D));
    EXPECT_EQ(wide[4], static_cast<wchar_t>(0xDE00));
    EXPECT_EQ(wide[5], L'z');
    EXPECT_EQ(FromWide(wide), utf8);
    EXPECT_EQ(FromWide(L""), "");
    EXPECT_EQ(ToWide(""), L"");
}

TEST(WideText, UnpairedSurrogatesOfNamesSurviveTheRoundTrip) {
    // NTFS allows names that are not valid UTF-16; the file must still be reachable.
    const std::wstring names[] = {
        std::wstring(1, static_cast<wchar_t>(0xD800)) + L"x",                     // high alone
        L"x" + std::wstring(1, static_cast<wchar_t>(0xDFFF)),                     // low alone
        std::wstring{static_cast<wchar_t>(0xDC00), static_cast<wchar_t>(0xD800)}, // reversed
        std::wstring(1, static_cast<wchar_t>(0xDBFF)), // high at the very end
    };
    for (const std::wstring& name : names) {
        const std::string utf8 = FromWide(name);
        EXPECT_EQ(ToWide(utf8), name) << utf8.size();
    }
    EXPECT_EQ(FromWide(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xED\xA0\x80");
}

TEST(WideText, MalformedBytesBecomeOneReplacementEach) {
    const wchar_t replacement = static_cast<wchar_t>(0xFFFD);
    EXPECT_EQ(ToWide("a\xFF"
                     "b"),
              std::wstring(L"a") + replacement + L"b");
    // A sequence cut short by the end of the text, and one cut by an ASCII byte.
    EXPECT_EQ(ToWide("\xE2\x82"), std::wstring(2, replacement));
    EXPECT_EQ(ToWide("\xC3z"), std::wstring(1, replacement) + L"z");
    // Overlong forms and values beyond U+10FFFF are not characters.
    EXPECT_EQ(ToWide("\xC0\xAF"), std::wstring(2, replacement));
    EXPECT_EQ(ToWide("\xF4\x90\x80\x80"), std::wstring(4, replacement));
}

TEST(WideText, LeadingCharactersNeverCutASequence) {
    EXPECT_EQ(LeadingCharacters("D:\\Data", 2), "D:");
    EXPECT_EQ(LeadingCharacters("D", 2), "D");
    EXPECT_EQ(LeadingCharacters("", 1), "");
    EXPECT_EQ(LeadingCharacters("\xC3\x84:\\", 1), "\xC3\x84"); // Ä
    EXPECT_EQ(LeadingCharacters("\xF0\x9F\x98\x80x", 2), "\xF0\x9F\x98\x80x");
    EXPECT_EQ(LeadingCharacters("\xFF\xFEx", 2), "\xFF\xFE");
}

} // namespace
