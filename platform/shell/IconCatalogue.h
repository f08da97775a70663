#pragma once

#include "scan/IconLookup.h"

#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <QString>
#include <vector>

// The program's catalogue of small file icons: one index per kind of file (MIME type),
// chosen from the file name alone (the file is never opened), with the icon from the
// desktop theme and a generic fallback. Index 0 is the generic file icon, also used for
// files of no known kind. Indices stay valid for the catalogue's life. Needs a
// QGuiApplication (a QApplication for the style's generic icon).
class IconCatalogue : public IconLookup {
public:
    IconCatalogue();

    // The index for the file at `path` (bytes of its name); never fails, so never -1.
    int SmallIconIndex(const std::string& path) override;

    // The icon at `index`; a null icon for -1 or an index out of range.
    QIcon IconAt(int index) const;
    int Count() const;

private:
    QMimeDatabase mimeDatabase_;
    std::vector<QIcon> icons_;
    // MIME type name -> index, so that a kind's icon is looked up in the theme only once.
    QHash<QString, int> indexByMimeName_;
};
