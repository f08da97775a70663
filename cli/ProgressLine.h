#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// A one-line progress display on a terminal: the files counted so far and the folder being
// read, redrawn in place. Whoever owns it decides how often it is drawn.
class ProgressLine {
public:
    // Draws on `stream`, a terminal whose lines hold `columns` characters.
    ProgressLine(std::FILE* stream, int columns) : stream_(stream), columns_(columns) {}

    // Replaces the line on display with the current figures.
    void Show(std::uint64_t fileCount, std::string_view folder);
    // Blanks the line and returns to its start, so that what follows starts on a clean line.
    // Does nothing when nothing is on display.
    void Clear();
    // Ends the line on display where it stands, so that it stays in view above what follows.
    // Does nothing when nothing is on display.
    void Keep();

private:
    std::FILE* stream_;
    int columns_;
    int shownColumns_ = 0; // how many columns the text on display takes
};

// The progress text for a terminal line of `columns` characters: "N files  FOLDER", the
// folder cut at its start ("...") so that the text fits in columns - 1 and never wraps.
// Control characters and bytes that are not UTF-8 show as "?"; a character of three or
// four bytes counts as two columns, for the wide characters of East Asian scripts.
std::string ProgressText(std::uint64_t fileCount, std::string_view folder, int columns);

// How many terminal columns ProgressText's result takes, by the same counting.
int ProgressTextColumns(std::string_view text);
