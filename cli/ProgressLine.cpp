#include "ProgressLine.h"

#include "JsonText.h"

#include <algorithm>
#include <vector>

namespace {

// One character of the folder's name as the terminal is to show it.
struct ShownCharacter {
    std::string_view Text;
    int Columns;
};

int ColumnsOf(std::string_view character) {
    return character.size() >= 3 ? 2 : 1;
}

// Splits well-formed UTF-8 into characters, control characters shown as "?".
std::vector<ShownCharacter> ShownCharacters(std::string_view text) {
    std::vector<ShownCharacter> characters;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t length = 1;
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xF0) {
            length = 4;
        } else if (lead >= 0xE0) {
            length = 3;
        } else if (lead >= 0xC0) {
            length = 2;
        }
        length = std::min(length, text.size() - i);
        const std::string_view character = text.substr(i, length);
        if (lead < 0x20 || lead == 0x7F) {
            characters.push_back({"?", 1});
        } else {
            characters.push_back({character, ColumnsOf(character)});
        }
        i += length;
    }
    return characters;
}

} // namespace

std::string ProgressText(std::uint64_t fileCount, std::string_view folder, int columns) {
    std::string text = std::to_string(fileCount) + (fileCount == 1 ? " file  " : " files  ");
    // The last column stays empty: a line that fills the terminal's width wraps on some
    // terminals, and then the next redraw no longer lands on it.
    const int room = columns - 1 - static_cast<int>(text.size());
    if (room <= 0) {
        return text.substr(0, static_cast<std::size_t>(std::max(columns - 1, 0)));
    }

    // Replacement characters stand for the bytes that are not UTF-8; they show as "?".
    std::string readable = WithReplacementCharacters(folder);
    std::vector<ShownCharacter> characters = ShownCharacters(readable);
    for (ShownCharacter& character : characters) {
        if (character.Text == "\xEF\xBF\xBD") {
            character = {"?", 1};
        }
    }
    int width = 0;
    for (const ShownCharacter& character : characters) {
        width += character.Columns;
    }
    std::size_t first = 0;
    if (width > room) {
        // The end of a path says most about where the walk is; its start is cut.
        const int ellipsis = 3;
        while (first < characters.size() && width > room - ellipsis) {
            width -= characters[first++].Columns;
        }
        if (room >= ellipsis) {
            text += "...";
        }
    }
    for (std::size_t i = first; i < characters.size(); ++i) {
        text += characters[i].Text;
    }
    return text;
}

int ProgressTextColumns(std::string_view text) {
    int width = 0;
    for (const ShownCharacter& character : ShownCharacters(text)) {
        width += character.Columns;
    }
    return width;
}

void ProgressLine::Show(std::uint64_t fileCount, std::string_view folder) {
    const std::string text = ProgressText(fileCount, folder, columns_);
    const int width = ProgressTextColumns(text);
    std::string line = "\r" + text;
    // What is left of a longer line before is blanked out.
    if (width < shownColumns_) {
        line.append(static_cast<std::size_t>(shownColumns_ - width), ' ');
    }
    shownColumns_ = width;
    std::fwrite(line.data(), 1, line.size(), stream_);
    std::fflush(stream_);
}

void ProgressLine::Clear() {
    if (shownColumns_ == 0) {
        return;
    }
    std::string line = "\r";
    line.append(static_cast<std::size_t>(shownColumns_), ' ');
    line += '\r';
    shownColumns_ = 0;
    std::fwrite(line.data(), 1, line.size(), stream_);
    std::fflush(stream_);
}

void ProgressLine::Keep() {
    if (shownColumns_ == 0) {
        return;
    }
    shownColumns_ = 0;
    std::fputc('\n', stream_);
    std::fflush(stream_);
}
