#pragma once

#include "scan/LocaleFormat.h"
#include "scan/ScanState.h"

#include <string>
#include <string_view>

// The folder of the publisher's site that the templates address their pictures under; the
// builder turns references below it into references to the program's own pictures.
std::string SiteImageFolderUrl();

// Where a template's headline band ends its cell's attributes and begins its content. With
// the summary it is replaced; without, the band shows the site name.
inline constexpr std::string_view HeadlinePattern =
    "align=right><FONT FACE=\"Times New Roman,serif\" COLOR=\"#FFFFFF\" SIZE=7 "
    "style=\"font-size:50px;\"><B>Vantrel &nbsp;</B>";

// What the summary sentence is put in: a centred band in white sans-serif bold letters,
// closed by the template's own "</FONT>".
inline constexpr std::string_view SummaryOpening =
    "align=center><FONT FACE=\"Tahoma,Verdana,sans-serif\" COLOR=\"#FFFFFF\" SIZE=4 "
    "style=\"font-size:18px;\"><B>";

// Builds the report page from `templateText` (Windows-1252 bytes, taken as they are).
//
// Every picture reference of the template becomes "res://" + `programPath` + "/TYPE/NAME",
// the form the report view resolves to the program's own pictures: "/GIF/DOWNLOAD" and
// "/GIF/AWARDS"; below SiteImageFolderUrl() a name beginning with "bg" and "space.jpg" as
// JPG pictures, any other as a GIF picture; ".jpg" and ".gif" are removed everywhere.
//
// With `withSummary` the headline band gets the summary sentence in English or German, its
// decimal separator from `locale`, naming the scan root and `volumeLabel`. The sentence
// divides by the counters as they are: the window sets zero counters to 1 before it builds
// the page (SetZeroCountersToOne), so that the totals bar written afterwards agrees. The
// number of folders that could not be read, if any, follows on a line of its own.
// The inserted texts are HTML-escaped and written as Windows-1252 (characters outside it
// as character references), so a folder named "R&D <draft>" shows as that text.
//
// An empty template gives an empty page; a template without the headline pattern gives a
// page without the summary. Never fails.
std::string BuildReportPage(const std::string& templateText, const ScanState& state,
                            bool withSummary, bool german, const LocaleFormat& locale,
                            const std::string& programPath, const std::string& volumeLabel);

// Sets the counters that the summary and the totals divide by (DiskUsedMB, DiskTotalMB,
// FileCount) to 1 where they are 0.
void SetZeroCountersToOne(ScanState& state);
