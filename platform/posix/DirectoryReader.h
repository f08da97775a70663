#pragma once

#include <cstddef>
#include <vector>

#ifndef __linux__
#include <dirent.h>
#endif

// Reads the names of one open folder, one at a time, into a buffer that lives as long as
// the reader so that a walk reuses it from folder to folder. On Linux it asks the kernel
// for the entries directly (getdents64), which spares the fstat that fdopendir makes for
// every folder; elsewhere it uses a DIR stream.
class DirectoryReader {
public:
    DirectoryReader() = default;
    ~DirectoryReader();
    DirectoryReader(const DirectoryReader&) = delete;
    DirectoryReader& operator=(const DirectoryReader&) = delete;

    // Takes ownership of the folder descriptor `fd`. False when no stream could be made
    // (the descriptor is closed then).
    bool Open(int fd);

    // The next name, NUL-terminated, including "." and ".."; nullptr at the end or on a read
    // error. Valid until the next call of Read or Close.
    const char* Read();

    // The folder's descriptor while open, else -1.
    int Fd() const { return fd_; }

    // True when reading ended on an error rather than at the end of the folder.
    bool Failed() const { return failed_; }

    // Stops reading and hands the folder's descriptor to the caller, who closes it; -1 when
    // none was open (or, off Linux, when it cannot be kept).
    int Release();

    // Closes the folder. Safe to call twice.
    void Close();

private:
    int fd_ = -1;
    bool failed_ = false;
#ifdef __linux__
    std::vector<char> buffer_;
    std::size_t position_ = 0;
    std::size_t end_ = 0;
    bool finished_ = false;
#else
    DIR* dir_ = nullptr;
#endif
};
