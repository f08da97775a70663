#pragma once

#include "scan/LocaleFormat.h"

#include <string>

class ListWindow;
class ResultList;
class ScanEngine;

// The printed forms of a scan's result list, largest file first.

// The regional formats a listing scan runs with, so that the list's date texts read
// "yyyy-MM-dd HH:MM:SS" (the engine writes the date alone at midnight; see ListDateTime).
LocaleFormat ListLocaleFormat();

// An entry's date text, written with ListLocaleFormat, as "yyyy-MM-dd HH:MM:SS": a date
// alone gets " 00:00:00".
std::string ListDateTime(const std::string& dateText);

// One line per entry: the size in bytes, a tab, ListDateTime, a tab and the full path as
// its bytes, then "\n".
std::string ListText(const ResultList& list);

// One JSON document: the root, the volume, whether the scan ran to its end, the files
// counted, the folders not read, the totals bar's figures and the entries. A path that is
// not well-formed UTF-8 is written readably with U+FFFD in "path" and losslessly in
// "path_base64" (the root likewise in "root" and "root_base64").
std::string ListJson(const ScanEngine& engine, const ListWindow& window);
