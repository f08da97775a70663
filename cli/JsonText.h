#pragma once

#include <string>
#include <string_view>

// The pieces of text the list is written with. File names are bytes, text is Unicode: in
// JSON a name that is not UTF-8 is written twice, readable and losslessly; in lines of text
// every byte that could break a line or reach the terminal as a command is escaped.

// True when `bytes` is well-formed UTF-8: no stray or missing continuation bytes, no
// overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(std::string_view bytes);

// `bytes` with every byte that is not part of a well-formed UTF-8 sequence replaced by
// U+FFFD; well-formed text comes back unchanged.
std::string WithReplacementCharacters(std::string_view bytes);

// A JSON string literal, quotes included, for well-formed UTF-8 `text`: the quote, the
// backslash and the control characters are escaped, everything else is copied.
std::string JsonQuoted(std::string_view text);

// `bytes` with C-style escapes, so that the text holds no control character and is valid
// UTF-8: "\n", "\t", "\\" for a line end, a tab and a backslash; "\xHH" (two lower-case
// hex digits) for every other control byte (below 0x20, 0x7F), for each byte of a C1
// control character (U+0080 to U+009F, which some terminals obey) and for every byte that
// is not part of a well-formed UTF-8 sequence. Everything else is copied.
std::string EscapedText(std::string_view bytes);

// `bytes` for a message to the user: as EscapedText, but a backslash stays as it is, so that
// a Windows path reads as the user knows it. Nothing reaches the terminal as a command.
std::string EscapedMessageText(std::string_view bytes);

// The standard Base64 form of `bytes` (RFC 4648, with padding).
std::string Base64(std::string_view bytes);
