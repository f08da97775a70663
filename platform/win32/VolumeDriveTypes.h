#pragma once

#include "Win32Api.h"
#include "platform/fs/Volume.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

// The kinds of drive of the volumes a walk has met, and their top folders, by volume serial
// number. A volume is remembered when a folder on it is first opened, so that asking for a
// volume's kind later never touches its drive again (a network share whose server is gone
// would not answer). Safe on any thread.
class VolumeDriveTypes {
public:
    // Remembers the volume that holds the open folder `folder`, opened by the extended-length
    // path `path`, whose volume has the serial number `serial`, unless it is known already.
    void Remember(std::uint64_t serial, HANDLE folder, const std::wstring& path);
    // The kind of drive of the volume `serial`; Unknown for a volume not remembered.
    DriveType Of(std::uint64_t serial) const;
    // The top folder of the volume `serial` in extended-length form ("\\?\D:\"); empty for a
    // volume not remembered or whose top the system did not tell.
    std::wstring TopOf(std::uint64_t serial) const;

private:
    // The volume remembered last: almost every folder lies on it, and is then told from it
    // without a lock.
    std::atomic<std::uint64_t> last_{~std::uint64_t{0}};
    mutable std::mutex mutex_;
    struct Volume {
        DriveType Kind = DriveType::Unknown;
        std::wstring Top;
    };
    std::unordered_map<std::uint64_t, Volume> volumes_;
};
