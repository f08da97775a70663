#pragma once

#include "scan/LocaleFormat.h"

#include <cstdint>
#include <string>

class ListWindow;
class ResultList;
class ScanEngine;

// The printed forms of a scan's result list, largest file first.

// The regional formats a listing scan runs with: the same everywhere, so that the list's
// figures read alike in every language.
LocaleFormat ListLocaleFormat();

// A file's date in the list, from its last write time in seconds since 1970-01-01 UTC: the
// local "YYYY-MM-DD HH:MM:SS", also at midnight; a time that the system cannot convert, or
// whose year has not four digits, is UnconvertedTimeText ("@253402300800").
std::string ListDateTime(std::int64_t unixSeconds);

// One line per entry: the size in bytes, a tab, ListDateTime, a tab and the full path with
// EscapedText's escapes, then "\n". A line is always exactly one file.
std::string ListText(const ResultList& list);

// One record per entry as in ListText, but the path as its bytes and the record ended by
// NUL instead of "\n", for `xargs -0` and the `-z` options of sort and cut.
std::string ListNulEnded(const ResultList& list);

// One JSON document: the root, the volume, whether the scan ran to its end, the files
// counted, the folders not read, the totals bar's figures and the entries, each with its
// ListDateTime as "modified" and the raw seconds as "modified_unix". A path that is not
// well-formed UTF-8 is written readably with U+FFFD in "path" and losslessly in
// "path_base64" (the root likewise in "root" and "root_base64").
std::string ListJson(const ScanEngine& engine, const ListWindow& window);
