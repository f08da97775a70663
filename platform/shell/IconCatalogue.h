#pragma once

#include "scan/IconLookup.h"

#include <QIcon>
#include <QString>
#include <vector>

// The program's catalogue of small file icons: one index per kind of file (MIME type),
// chosen from the file name alone (the file is never opened), with the icon from the
// desktop theme and a generic fallback. Index 0 is the generic file icon. The list view
// shows an entry's icon by its index.
class IconCatalogue : public IconLookup {
public:
    IconCatalogue();

    // The index for the file at `path` (bytes of its name); never fails, so never -1.
    int SmallIconIndex(const std::string& path) override;

    // The icon at `index`; a null icon for -1 or an index out of range.
    QIcon IconAt(int index) const;
    int Count() const;

private:
    std::vector<QIcon> icons_;
    std::vector<QString> mimeNames_;
};
