#pragma once

#include "platform/win32/Win32Shell.h"
#include "scan/IconLookup.h"

// The shell's small icons: an index into the system's small-icon list, which the list view
// shows as it stands.
class ShellIconLookup final : public IconLookup {
public:
    int SmallIconIndex(const std::string& path) override { return ShellSmallIconIndex(path); }
};
