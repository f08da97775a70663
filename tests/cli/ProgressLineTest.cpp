#include "cli/ProgressLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(ProgressLine, TextFitsTheLineAndKeepsTheEndOfTheFolder) {
    EXPECT_EQ(ProgressText(1, "/data", 80), "1 file  /data");
    EXPECT_EQ(ProgressText(12345, "/data/photos", 80), "12345 files  /data/photos");

    const std::string folder = "/home/user/a/very/long/path/to/the/folder/being/read";
    const std::string text = ProgressText(42, folder, 40);
    EXPECT_EQ(ProgressTextColumns(text), 39) << text; // never the last column: no wrap
    EXPECT_EQ(text.rfind("42 files  ...", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 11), "/being/read") << text;

    // Wide characters count twice and are never cut in half.
    const std::string wide =
        ProgressText(7, "/\xE5\x86\x99\xE7\x9C\x9F/\xE5\x86\x99\xE7\x9C\x9F", 19);
    EXPECT_LE(ProgressTextColumns(wide), 18) << wide;
    EXPECT_EQ(wide, "7 files  .../\xE5\x86\x99\xE7\x9C\x9F") << wide;

    // A terminal narrower than the count: what fits, nothing more.
    EXPECT_EQ(ProgressText(123456, "/x", 5), "1234");
}

TEST(ProgressLine, ControlCharactersAndBrokenBytesShowAsQuestionMarks) {
    // A newline or an escape in a folder's name must not move the cursor or change colours.
    EXPECT_EQ(ProgressText(1, "/a\nb\x1b[31m\t\xE9t\xE9", 80), "1 file  /a?b?[31m??t?");
}

TEST(ProgressLine, RedrawBlanksWhatALongerLineLeftClearEmptiesItKeepEndsIt) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    ProgressLine line(stream, 80);
    line.Clear(); // nothing shown yet: nothing written
    line.Show(100, "/long/folder");
    line.Show(2000, "/x");
    line.Clear();
    line.Clear();
    line.Show(2001, "/y");
    line.Keep();
    line.Keep();
    line.Clear();

    std::rewind(stream);
    std::string written(256, '\0');
    written.resize(std::fread(written.data(), 1, written.size(), stream));
    std::fclose(stream);
    EXPECT_EQ(written, "\r100 files  /long/folder"
                       "\r2000 files  /x         "
                       "\r              \r"
                       "\r2001 files  /y\n");
}

} // namespace
