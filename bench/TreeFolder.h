#pragma once

#include "GeneratedFile.h"

#include <string>
#include <string_view>

// The tree generator's side of the file system, one implementation per platform: folders
// made empty, and sparse files of a given size and time made in them.
class TreeFolder {
public:
    // A piece of a file name that the platform's names hold only oddly: bytes that are not
    // UTF-8 on POSIX (names are bytes there), accented letters on Windows (whose names are
    // UTF-16, and whose emulator here maps them to UTF-8 file names).
    static const std::string_view OddNamePart;
    // Between a folder and a name.
    static const char Separator;
    // What decides whether two names in one folder are the same: the name itself on POSIX,
    // the name with ASCII letters folded on Windows ("a.ISO" and "a.iso" are one file).
    static std::string NameKey(std::string_view name);
    // `name` as the platform can hold it: unchanged on POSIX; on Windows without trailing
    // dots and blanks, which ordinary paths drop (a file "a." is reached as "a").
    static std::string Fit(std::string name);

    // Creates `path` when missing (its parent must exist); an existing one must be empty.
    // Throws std::system_error naming the folder.
    static void EnsureEmpty(const std::string& path);
    // Creates the new folder `path`. Throws std::system_error naming it.
    static void Make(const std::string& path);

    // Opens the existing folder `path` to make files in it. Throws std::system_error.
    explicit TreeFolder(const std::string& path);
    ~TreeFolder();
    TreeFolder(const TreeFolder&) = delete;
    TreeFolder& operator=(const TreeFolder&) = delete;

    // Creates the new folder `name` here and goes on in it instead; `shownAs` names it in
    // messages. Reaches any depth, however long the whole path. Throws std::system_error.
    void EnterNewFolder(const std::string& name, const std::string& shownAs);
    // Creates the symbolic link `name` here to the folder `target` (relative to this one).
    // Throws std::system_error naming `shownAs` (on Windows also without the right to
    // make links).
    void MakeFolderLink(const std::string& name, const std::string& target,
                        const std::string& shownAs);

    // Creates the new file `name` here, `file.SizeBytes` long without writing any data (a
    // sparse file), last written at `file.LastWriteTime`. Throws std::system_error naming
    // `file.Path`.
    void MakeFile(const std::string& name, const GeneratedFile& file);

private:
    std::string path_;
    int descriptor_ = -1;
};
