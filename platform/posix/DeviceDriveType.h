#pragma once

#include "platform/fs/Volume.h"

#include <sys/types.h>

// The kind of drive of the file system on `device`, found once per device for the whole
// program: the mount table and /sys are read only for a device not asked about before.
DriveType CachedDriveTypeOfDevice(dev_t device);
