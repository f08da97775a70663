#pragma once

#include "scan/IconLookup.h"

#include <string>
#include <unordered_map>

// The shell's small icons: an index into the system's small-icon list, which the list view
// shows as it stands.
//
// Most files show the icon of their type, the same for every file with that extension; the
// shell is asked once per extension while the window lives, as a request costs far more
// than the walk spends on a file (under Wine several milliseconds, the first one of a type
// up to a hundred). Types whose files carry icons of their own (programs, icons, cursors,
// shortcuts, screen savers…) are asked every time.
class ShellIconLookup final : public IconLookup {
public:
    int SmallIconIndex(const std::string& path) override;

private:
    std::unordered_map<std::string, int> byExtension_;
};
