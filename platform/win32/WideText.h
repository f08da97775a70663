#pragma once

#include <string>
#include <string_view>

// Conversions between the program's UTF-8 strings and the wide strings of the Windows API.
//
// Windows file names are sequences of 16-bit units that need not be valid UTF-16: NTFS
// accepts an unpaired surrogate. Such a unit is kept as the three-byte sequence that
// UTF-8's scheme would give it (the "generalised UTF-8" of WTF-8), so that a name converts
// back to exactly the units the file system gave and every action on a listed file reaches
// that file. Displaying such a name shows replacement characters.

// UTF-8 (or the generalised form above) to UTF-16 units. Bytes that do not form a sequence
// become U+FFFD, one per byte.
std::wstring ToWide(std::string_view utf8);

// UTF-16 units to UTF-8; an unpaired surrogate becomes its own three-byte sequence.
std::string FromWide(std::wstring_view wide);

// The first `count` characters of a UTF-8 string, never cutting a sequence in two (a
// stray byte counts as one character). The whole string when it is shorter.
std::string_view LeadingCharacters(std::string_view utf8, std::size_t count);
