#pragma once

#include <string>
#include <string_view>

// The pieces of JSON text the list is written with. File names are bytes, JSON text is
// Unicode: a name that is not UTF-8 is written twice, readable and losslessly.

// True when `bytes` is well-formed UTF-8: no stray or missing continuation bytes, no
// overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// `bytes` with every byte that is not part of a well-formed UTF-8 sequence replaced by
// U+FFFD; well-formed text comes back unchanged.
std::string WithReplacementCharacters(std::string_view bytes);

// A JSON string literal, quotes included, for well-formed UTF-8 `text`: the quote, the
// backslash and the control characters are escaped, everything else is copied.
std::string JsonQuoted(std::string_view text);

// The standard Base64 form of `bytes` (RFC 4648, with padding).
std::string Base64(std::string_view bytes);
