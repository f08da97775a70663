#pragma once

#include "DirectoryReader.h"
#include "UniqueFd.h"
#include "platform/fs/FolderSource.h"

#include <memory>
#include <string>
#include <string_view>

// One folder open on a POSIX system, owned by its descriptor. Its names are read with a
// DirectoryReader lent by the thread's pool only while the listing runs: a walk opens
// hundreds of thousands of folders, and most of them are listed once and then only kept open
// for what lies below. Safe on any thread, one thread at a time.
class PosixSourceFolder : public SourceFolder {
public:
    // Opens the folder `path` (a name or a relative path of any length, or an absolute path)
    // of the folder `base` (AT_FDCWD: the working folder) for listing, not through a link in
    // its last name unless `followLink`. Null, with `failure` saying why, when it cannot.
    static std::unique_ptr<PosixSourceFolder> Open(int base, std::string_view path, bool followLink,
                                                   OpenFailure& failure);

    explicit PosixSourceFolder(UniqueFd fd);
    ~PosixSourceFolder() override;
    PosixSourceFolder(const PosixSourceFolder&) = delete;
    PosixSourceFolder& operator=(const PosixSourceFolder&) = delete;

    // Asked of the system at the first call: a descriptor names the same folder for as long as
    // it is open, and a walk that knows the folder from its parent's entry never asks. {} when
    // the system cannot say.
    NodeIdentity Identity() const override;
    std::string_view ReadName() override;
    bool ReadFailed() const override { return failed_; }
    void Rewind() override;
    LookResult LookAt(std::string_view name, EntryFacts& facts, LinkTarget target) override;
    std::unique_ptr<SourceFolder> OpenBelow(std::string_view name, bool followLink,
                                            OpenFailure& failure) override;
    std::unique_ptr<SourceFolder> OpenAbove(OpenFailure& failure) override;
    bool IsOnPseudoFileSystem() override;
    std::string RealPath() override;

private:
    static std::unique_ptr<PosixSourceFolder> OpenWithFlags(int base, std::string_view path,
                                                            int flags, OpenFailure& failure);
    void AttachReader();
    void DetachReader();
    void KeepPath(std::string_view above, std::string_view path);

    UniqueFd fd_;
    mutable NodeIdentity identity_;
    mutable bool identityKnown_ = false;
    // Lent by the thread's pool from the first name read to the listing's end.
    std::unique_ptr<DirectoryReader> reader_;
    bool finished_ = false;
    bool failed_ = false;
#ifndef __linux__
    // Off Linux the system cannot name an open folder: RealPath resolves the path it was
    // opened by.
    std::string path_;
#endif
};

// The path without links of what `fd` is open on, as the kernel names it; empty when the
// system cannot say (off Linux, or a path longer than the kernel names).
std::string RealPathOfDescriptor(int fd);

// The path `path` without links, resolved name by name (realpath); empty when it cannot be.
std::string RealPathByName(const std::string& path);
