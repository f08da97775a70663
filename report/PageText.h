#pragma once

#include <string>
#include <string_view>

// Text helpers for the report page, whose bytes are Windows-1252 with no character-set
// declaration.

// Replaces every occurrence of `pattern` in `text`, scanning from left to right; ASCII letters
// match without regard to case. The text put in is not searched again. An empty pattern
// changes nothing.
std::string ReplaceAllIgnoringCase(std::string_view text, std::string_view pattern,
                                   std::string_view replacement);

// `text` with &, <, > and " written as HTML character references, so that it shows as the
// text it is and can stand inside an attribute value.
std::string EscapeHtml(std::string_view text);

// UTF-8 `text` as bytes of the page: ASCII and the letters of Latin-1 (U+00A0 to U+00FF,
// among them the German umlauts and sharp s) as their single Windows-1252 byte, every other
// character as a numeric character reference ("&#8364;"), so that no character is lost.
// A byte that is not part of valid UTF-8 becomes U+FFFD, the replacement character.
std::string Utf8ToPageText(std::string_view text);
