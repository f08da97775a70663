#pragma once

#include <string>

// Finds the small icon that the desktop shows for a file. The window's icon catalogue
// implements it; the scan engine only asks for an index.
class IconLookup {
public:
    virtual ~IconLookup() = default;
    // The index of the small icon for the file at `path`, or -1 when there is none.
    virtual int SmallIconIndex(const std::string& path) = 0;
};
